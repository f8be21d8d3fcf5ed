// The program search over the simulated kernel32: PATH values taken apart, and the files the
// search looks at. A bare name may only be looked for in the launcher's own directory, the system
// directory, the Windows directory and the PATH entries, in that order, stopping at the first hit;
// never in the current directory unless PATH names it.
//
// Input:
//   byte 0  bit 0: PATH is set; bit 1: a decoy file of that name in the current directory;
//           bits 2-3: the launcher's own path (C:\app\..., C:\ root, \\srv\share\tools\..., a
//           "\\?\" path longer than the first 512-unit buffer); bit 4: system and Windows
//           directories on D:\ (the Windows directory a root, ending in a separator);
//           bit 5: what is found is a directory, not a file
//   byte 1  which of the first eight candidates exist (bit i: candidate i)
//   byte 2  the separator
//   rest    the program name, the separator, the PATH value (UTF-8)

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/service_error.h"
#include "platform/spawn.h"
#include "platform/utf16.h"
#include "platform/wide_path.h"
#include "tests/sim/kernel32_sim.h"

namespace {

using launcher::ErrorCategory;
using launcher::Result;
using launcher::ServiceError;
using launcher::WideString;

bool is_separator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

// ---- PATH values --------------------------------------------------------------------------------

// Entries are what lies between unquoted ';', quotes removed, empties dropped. Checked as
// properties: nothing is lost or invented, and the entries written back as a PATH value (quoted
// where they hold a ';') read back the same.
void check_split(std::u16string_view value) {
  const std::vector<std::u16string> entries = launcher::split_search_path(value);
  std::u16string joined;
  for (const std::u16string& entry : entries) {
    FUZZ_REQUIRE(!entry.empty());
    FUZZ_REQUIRE(entry.find(u'"') == std::u16string::npos);
    joined += entry;
  }

  std::u16string kept;
  std::size_t separators = 0;
  bool quoted = false;
  for (const char16_t unit : value) {
    if (unit == u'"') {
      quoted = !quoted;
    } else if (unit == u';' && !quoted) {
      ++separators;
    } else {
      kept.push_back(unit);
    }
  }
  FUZZ_REQUIRE(joined == kept);
  FUZZ_REQUIRE(entries.size() <= separators + 1);

  std::u16string written;
  for (const std::u16string& entry : entries) {
    if (!written.empty()) written.push_back(u';');
    if (entry.find(u';') != std::u16string::npos) {
      written += u'"' + entry + u'"';
    } else {
      written += entry;
    }
  }
  FUZZ_REQUIRE(launcher::split_search_path(written) == entries);
}

// ---- the machine --------------------------------------------------------------------------------

std::u16string own_path(unsigned choice) {
  switch (choice) {
    case 0: return u"C:\\app\\launcher.exe";
    case 1: return u"C:\\launcher.exe";
    case 2: return u"\\\\srv\\share\\tools\\launcher.exe";
    default: {
      std::u16string deep = u"\\\\?\\C:\\";
      for (int i = 0; i < 120; ++i) deep += u"deep\\";
      return deep + u"launcher.exe";
    }
  }
}

bool exists(std::u16string_view path) {
  return sim::state().files.count(sim::normalise(path)) != 0;
}

struct Recorded {
  std::vector<std::u16string> probes;  // GetFileAttributesW, in order
  bool unexpected_call = false;        // anything that is not a query of names or directories
};

Recorded recorded() {
  static const std::set<std::string> queries = {
      "GetModuleFileNameW", "GetSystemDirectoryW", "GetWindowsDirectoryW",
      "GetEnvironmentVariableW", "GetFullPathNameW", "GetFileAttributesW"};
  Recorded out;
  for (const sim::Call& call : sim::state().calls) {
    if (call.function == "GetFileAttributesW") out.probes.push_back(call.text);
    if (queries.count(call.function) == 0) out.unexpected_call = true;
  }
  return out;
}

void require_error(const Result<WideString>& r, ErrorCategory category, std::string_view message) {
  FUZZ_REQUIRE(!r);
  FUZZ_REQUIRE(r.error() == ServiceError::of(category, message));
}

void require_same(const Result<WideString>& got, const Result<WideString>& expected) {
  FUZZ_REQUIRE(got.has_value() == expected.has_value());
  if (got) {
    FUZZ_REQUIRE(*got == *expected);
  } else {
    FUZZ_REQUIRE(got.error() == expected.error());
  }
}

// The candidate lies in the directory: one "\" between them unless the directory ends in a
// separator or is a bare drive ("C:" + name is that drive's current directory, as in PATH); a name
// with its own drive is taken as it is.
void check_candidate(std::u16string_view directory, std::u16string_view name, bool add_extension,
                     std::u16string_view candidate) {
  std::u16string tail(name);
  if (add_extension) tail += u".exe";
  FUZZ_REQUIRE(candidate.ends_with(tail));
  if (name.size() >= 2 && name[1] == u':') {
    FUZZ_REQUIRE(candidate == tail);
    return;
  }
  FUZZ_REQUIRE(candidate.starts_with(directory));
  const std::u16string_view between =
      candidate.substr(directory.size(), candidate.size() - directory.size() - tail.size());
  const bool joined_as_is = directory.empty() || is_separator(directory.back()) ||
                            (directory.size() == 2 && directory[1] == u':');
  FUZZ_REQUIRE(between == (joined_as_is ? u"" : u"\\"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::uint8_t flags = size > 0 ? data[0] : 0;
  const std::uint8_t placed = size > 1 ? data[1] : 0;
  const char separator = size > 2 ? static_cast<char>(data[2]) : '\n';
  const std::string_view rest =
      size > 3 ? std::string_view(reinterpret_cast<const char*>(data) + 3, size - 3) : "";
  const std::size_t cut = rest.find(separator);
  const std::string_view program = rest.substr(0, cut);
  const std::string_view path_value =
      cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
  const bool path_set = (flags & 1) != 0;
  const bool decoy = (flags & 2) != 0;
  const bool as_directory = (flags & 0x20) != 0;

  const std::u16string path16 = launcher::to_utf16(path_value);
  check_split(path16);

  sim::reset();
  sim::State& machine = sim::state();
  machine.module_path = own_path((flags >> 2) & 3);
  if (flags & 0x10) {
    machine.system_directory = u"D:\\System32";
    machine.windows_directory = u"D:\\";
  }
  if (path_set) machine.environment[u"PATH"] = path16;

  const std::u16string name = launcher::to_utf16(program);
  const bool bare = program.find_first_of("\\/") == std::string_view::npos;
  const bool add_extension = program.find('.') == std::string_view::npos;

  // The search order, each candidate in the form a lookup uses.
  std::vector<std::u16string> directories;
  directories.push_back(machine.module_path.substr(0, machine.module_path.find_last_of(u"\\/") + 1));
  directories.push_back(machine.system_directory);
  directories.push_back(machine.windows_directory);
  if (path_set) {
    for (std::u16string& entry : launcher::split_search_path(path16)) directories.push_back(entry);
  }
  std::vector<Result<WideString>> lookups;
  for (const std::u16string& directory : directories) {
    const std::u16string candidate = launcher::search_candidate(directory, name, add_extension);
    check_candidate(directory, name, add_extension, candidate);
    lookups.push_back(launcher::to_wide_program_path(launcher::to_utf8(candidate)));
  }
  const std::u16string extension = add_extension ? u".exe" : u"";
  const auto add = [&](std::u16string_view at) {
    if (as_directory) {
      sim::add_directory(at);
    } else {
      sim::add_file(at);
    }
  };
  for (std::size_t i = 0; i < lookups.size() && i < 8; ++i) {
    if ((placed >> i) & 1 && lookups[i]) add(*lookups[i]);
  }
  if (decoy && name.find(u'\0') == std::u16string::npos) {
    add(machine.current_directory + u"\\" + name + extension);
  }

  // For a path: the ".exe" form when it names anything, else the path itself.
  Result<WideString> with_suffix = std::unexpected(ServiceError::os(0));
  std::u16string lower_tail = name.size() >= 4 ? name.substr(name.size() - 4) : u"";
  for (char16_t& unit : lower_tail) {
    if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit - u'A' + u'a');
  }
  const bool ends_exe = lower_tail == u".exe";
  if (!bare && !ends_exe) {
    with_suffix = launcher::to_wide_program_path(std::string(program) + ".exe");
  }
  const Result<WideString> as_given = launcher::to_wide_program_path(program);

  machine.calls.clear();
  const Result<WideString> r = launcher::resolve_program(program);
  const Recorded seen = recorded();
  FUZZ_REQUIRE(!seen.unexpected_call);
  FUZZ_REQUIRE(sim::open_handle_count() == 0);
  if (r) FUZZ_REQUIRE(exists(*r) || !bare);

  const bool verbatim = program.starts_with(R"(\\?\)");
  const bool no_file_name =
      program.empty() || program.back() == '\\' || (program.back() == '/' && !verbatim);
  if (no_file_name) {
    require_error(r, ErrorCategory::InvalidInput, launcher::MSG_NO_FILE_NAME);
    FUZZ_REQUIRE(machine.calls.empty());
    return 0;
  }

  if (!bare) {
    // A path is not searched; at most its ".exe" form is looked at.
    if (ends_exe || !with_suffix) {
      FUZZ_REQUIRE(seen.probes.empty());
      require_same(r, as_given);
    } else {
      FUZZ_REQUIRE(seen.probes == std::vector<std::u16string>{*with_suffix});
      require_same(r, exists(*with_suffix) ? with_suffix : as_given);
    }
    return 0;
  }

  if (name.find(u'\0') != std::u16string::npos) {
    require_error(r, ErrorCategory::InvalidInput, launcher::MSG_DATA_NUL);
    FUZZ_REQUIRE(seen.probes.empty());
    return 0;
  }

  // Every file looked at is the next candidate in order (one that cannot be converted is skipped),
  // and the search stops at the first that exists.
  std::vector<std::u16string> expected_probes;
  std::optional<std::u16string> found;
  for (const Result<WideString>& lookup : lookups) {
    if (!lookup) continue;
    expected_probes.push_back(*lookup);
    if (exists(*lookup)) {
      found = *lookup;
      break;
    }
  }
  FUZZ_REQUIRE(seen.probes == expected_probes);
  if (found) {
    FUZZ_REQUIRE(r && *r == *found);
  } else {
    require_error(r, ErrorCategory::NotFound, launcher::MSG_NOT_FOUND);
  }
  return 0;
}
