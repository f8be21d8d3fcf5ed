// The launch sequence over the real probe and spawner and the simulated kernel32, for every
// combination of what the three candidate paths hold and of the starts failing or not: the order
// of probes and starts, where it stops, and that every handle it opened is closed each time.

#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "launcher/constants.h"
#include "launcher/launch.h"
#include "platform/utf16.h"
#include "tests/sim/sim_fixture.h"

namespace launcher {
namespace {

using sim::state;

constexpr DWORD APP_ALIAS = 0x8000001B;

// What a candidate path holds. The three failing kinds are entries whose first open fails with
// that code; the probe still finds each of them (the directory entry for 5 and 32, the reparse
// point itself for 1920), so they are started.
enum class Holds { Nothing, File, Directory, OpenDenied5, OpenLocked32, CantAccess1920 };
constexpr std::array ALL_KINDS = {Holds::Nothing,     Holds::File,         Holds::Directory,
                                  Holds::OpenDenied5, Holds::OpenLocked32, Holds::CantAccess1920};

const char* name_of(Holds kind) {
  switch (kind) {
    case Holds::Nothing: return "absent";
    case Holds::File: return "file";
    case Holds::Directory: return "directory";
    case Holds::OpenDenied5: return "open fails 5";
    case Holds::OpenLocked32: return "open fails 32";
    case Holds::CantAccess1920: return "open fails 1920";
  }
  return "?";
}

void arrange(const std::u16string& path, Holds kind) {
  const std::u16string key = sim::normalise(path);
  switch (kind) {
    case Holds::Nothing: break;
    case Holds::File: sim::add_file(path); break;
    case Holds::Directory: sim::add_directory(path); break;
    case Holds::OpenDenied5:
      sim::add_file(path);
      state().open_failures[key] = {ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED};
      break;
    case Holds::OpenLocked32:
      sim::add_file(path);
      state().open_failures[key] = {ERROR_SHARING_VIOLATION, ERROR_SHARING_VIOLATION};
      break;
    case Holds::CantAccess1920:
      sim::add_reparse_point(path, APP_ALIAS);
      state().open_failures[key] = {ERROR_CANT_ACCESS_FILE, 0};
      break;
  }
}

constexpr const char* FALLBACK = "cmd";

// "probe N" / "start N" for candidate N, "start cmd" for the fallback, in the order the calls
// reached kernel32. The several calls of one probe count once.
std::vector<std::string> observed_events(const std::array<std::u16string, 3>& candidates) {
  std::vector<std::string> events;
  std::size_t start = 0;
  for (const sim::Call& call : state().calls) {
    std::string event;
    if (call.function == "CreateFileW" || call.function == "FindFirstFileExW") {
      for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (sim::normalise(call.text) == sim::normalise(candidates[i])) {
          event = "probe " + std::to_string(i);
        }
      }
      if (event.empty()) event = "probe of something else: " + to_utf8(call.text);
    } else if (call.function == "CreateProcessW") {
      const std::u16string& application = state().starts.at(start++).application;
      event = "start of something else: " + to_utf8(application);
      for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (application == candidates[i]) event = "start " + std::to_string(i);
      }
      if (sim::normalise(application) == sim::normalise(u"C:\\Windows\\system32\\cmd.exe")) {
        event = std::string("start ") + FALLBACK;
      }
    } else {
      continue;
    }
    if (events.empty() || events.back() != event) events.push_back(event);
  }
  return events;
}

// Probe, then start when present, then the next probe only if that start failed; the fallback
// when no browser started.
std::vector<std::string> expected_events(const std::array<Holds, 3>& kinds, bool starts_fail) {
  std::vector<std::string> events;
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    events.push_back("probe " + std::to_string(i));
    if (kinds[i] == Holds::Nothing) continue;
    events.push_back("start " + std::to_string(i));
    if (!starts_fail && kinds[i] != Holds::Directory) return events;
  }
  events.push_back(std::string("start ") + FALLBACK);
  return events;
}

class LaunchOverPlatform : public SimTest {};

TEST_F(LaunchOverPlatform, EveryCombinationOfCandidatesAndStartFailures) {
  std::array<std::u16string, 3> candidates;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    candidates[i] = to_utf16(BROWSER_CANDIDATES[i]);
  }
  int combinations = 0;
  for (const Holds first : ALL_KINDS) {
    for (const Holds second : ALL_KINDS) {
      for (const Holds third : ALL_KINDS) {
        for (const bool starts_fail : {false, true}) {
          const std::array<Holds, 3> kinds = {first, second, third};
          SCOPED_TRACE(std::string(name_of(first)) + ", " + name_of(second) + ", " +
                       name_of(third) + (starts_fail ? "; every start fails" : ""));
          sim::reset();
          sim::add_file(u"C:\\Windows\\system32\\cmd.exe");
          for (std::size_t i = 0; i < kinds.size(); ++i) arrange(candidates[i], kinds[i]);
          if (starts_fail) state().create_process_failure = ERROR_ACCESS_DENIED;

          run_launcher();

          EXPECT_EQ(observed_events(candidates), expected_events(kinds, starts_fail));
          EXPECT_EQ(sim::open_handle_count(), 0u);
          EXPECT_EQ(state().bad_closes, 0);
          EXPECT_FALSE(state().lock_held);
          ++combinations;
        }
      }
    }
  }
  EXPECT_EQ(combinations, 6 * 6 * 6 * 2);
}

}  // namespace
}  // namespace launcher
