// The encoder and the spawner against the parsers a real child runs: random argument lists, started
// by `spawn` in a witness program, must come back unchanged from the real CommandLineToArgvW on the
// child's GetCommandLineW and from the child's own C runtime argv (msvcrt's start-up).
//
// A process start under Wine costs tens of milliseconds, and the C runtime splits nothing but its
// own process's command line, so thousands of lists are checked by packing them: one child start
// carries as many lists as fit in the command-line limit, each followed by a marker argument that
// the generator can never produce, and the parts between markers are compared list by list. A fault
// that leaves a quote open swallows the following markers too; it is pinned on the first list whose
// part differs, and that list is started again alone to show it cleanly. What packing cannot show
// is a list whose last argument ends the line, where a parser meets the end of the text instead of
// a space; a few hundred lists are also started each alone for that.

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "launcher/platform_ops.h"
#include "platform/command.h"
#include "platform/utf16.h"
#include "platform/win32.h"
#include "tests/wine/test_paths.h"
#include "tests/random_args.h"

namespace launcher {
namespace {

constexpr int LIST_COUNT = 10000;
constexpr int ALONE_COUNT = 200;         // the first lists of the same sequence, each started alone
constexpr unsigned SEED = 20240607;
// CreateProcessW takes at most 32,767 units, its terminating NUL included.
constexpr std::size_t LINE_LIMIT = 32766;
// No generated argument can equal it, nor a fault make one: the generator has none of its letters.
constexpr std::string_view MARKER = "--next-list--";
// Children started before the oldest is waited for. A start under Wine is mostly waiting, so
// overlapping them more than halves the time.
constexpr std::size_t IN_FLIGHT = 6;
constexpr std::size_t SHOW_LIMIT = 10;   // mismatching lists shown, packed ones started again alone

using Args = std::vector<std::u16string>;

std::vector<std::vector<std::string>> random_lists() {
  std::mt19937 rng(SEED);
  std::vector<std::vector<std::string>> lists(LIST_COUNT);
  for (auto& list : lists) list = random_args::random_argument_list(rng);
  return lists;
}

using wine_test::from_wide;
using wine_test::own_directory;

std::string witness_path() { return own_directory() + "\\argv_witness.exe"; }

// Every unit visible, so a lost backslash, a split surrogate pair or a tab turned space reads
// plainly. As a C literal: quote, backslash, tab and line feed escaped, other non-ASCII as \u{...}.
// Raw (a command line, between brackets): quote and backslash as they are, the rest as <tab>, <lf>
// and <U+...>, which no generated argument can be mistaken for.
std::string readable(std::u16string_view text, bool literal = true) {
  std::string out = literal ? "\"" : "[";
  char buffer[16];
  auto code_point = [&](unsigned cp) {
    std::snprintf(buffer, sizeof buffer, literal ? "\\u{%x}" : "<U+%X>", cp);
    out += buffer;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (literal && (c == u'"' || c == u'\\')) {
      out += '\\', out += static_cast<char>(c);
    } else if (c == u'\t') {
      out += literal ? "\\t" : "<tab>";
    } else if (c == u'\n') {
      out += literal ? "\\n" : "<lf>";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
               text[i + 1] < 0xE000) {
      code_point(0x10000 + ((c - 0xD800u) << 10) + (text[++i] - 0xDC00u));
    } else {
      code_point(c);
    }
  }
  return out + (literal ? "\"" : "]");
}

// A list of arguments; one that swallowed its neighbours' markers can run long, so only its first
// few are shown.
std::string readable(const Args& args) {
  constexpr std::size_t SHOWN = 8;
  std::string out = "{";
  for (std::size_t i = 0; i < std::min(args.size(), SHOWN); ++i) {
    out += (i ? ", " : "") + readable(args[i]);
  }
  if (args.size() > SHOWN) out += ", ... " + std::to_string(args.size() - SHOWN) + " more";
  return out + "}";
}

Args wide_args(const std::vector<std::string>& list) {
  Args out;
  for (const std::string& a : list) out.push_back(to_utf16(a));
  return out;
}

// One child start: the lists it carries, in order, and whether each is followed by the marker.
struct Start {
  std::vector<std::size_t> lists;
  bool packed = false;
  bool always_quote = false;
};

// What the witness wrote; `failure` says why there is nothing when the start itself went wrong.
struct Report {
  std::u16string command_line;
  Args shell;  // CommandLineToArgvW
  Args crt;    // wmain's argv
  std::string failure;
};

ProcessCommand command_for(const Start& start, const std::vector<std::vector<std::string>>& lists) {
  ProcessCommand command = create_command(witness_path());
  command.always_quote = start.always_quote;
  for (const std::size_t k : start.lists) {
    for (const std::string& a : lists[k]) add_argument(command, a);
    if (start.packed) add_argument(command, MARKER);
  }
  return command;
}

// The units a list adds to a command line, each argument after its space, the marker included.
std::size_t packed_size(const std::vector<std::string>& list, bool always_quote) {
  std::u16string scratch;
  for (const std::string& a : list) {
    scratch += u' ';
    EXPECT_TRUE(encode_argument(scratch, a, always_quote));
  }
  scratch += u' ';
  EXPECT_TRUE(encode_argument(scratch, MARKER, always_quote));
  return scratch.size();
}

// Every list once, in order, packed into as few starts as the limit allows. Every fifth start
// quotes every argument, so that mode meets the real parsers too.
std::vector<Start> pack(const std::vector<std::vector<std::string>>& lists) {
  std::vector<Start> starts;
  const std::size_t program_size = to_utf16(witness_path()).size() + 2;
  std::size_t size = 0;
  for (std::size_t k = 0; k < lists.size(); ++k) {
    std::size_t add = starts.empty() ? 0 : packed_size(lists[k], starts.back().always_quote);
    if (starts.empty() || size + add > LINE_LIMIT) {
      const bool always_quote = starts.size() % 5 == 4;
      starts.push_back({{}, true, always_quote});
      size = program_size;
      add = packed_size(lists[k], always_quote);
    }
    starts.back().lists.push_back(k);
    size += add;
  }
  return starts;
}

std::u16string read_utf16_file(const std::u16string& path) {
  std::u16string text;
  HANDLE f = ::CreateFileW(win::wide(path.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return text;
  char16_t buffer[8192];
  DWORD got = 0;
  while (::ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    text.append(buffer, got / sizeof(char16_t));
  }
  ::CloseHandle(f);
  return text;
}

// The witness's fields: the command line, then two counted lists.
Report parse_report(const std::u16string& text) {
  Report report;
  std::vector<std::u16string> fields;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find(u'\0', at);
    if (end == std::u16string::npos) break;
    fields.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  std::size_t next = 0;
  auto take_list = [&](Args& out) {
    if (next >= fields.size()) return false;
    const std::string count = to_utf8(fields[next++]);
    std::size_t n = 0;
    const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), n);
    if (error != std::errc() || end != count.data() + count.size() || fields.size() - next < n) {
      return false;
    }
    out.assign(fields.begin() + next, fields.begin() + next + n);
    next += n;
    return true;
  };
  if (fields.empty() || (report.command_line = fields[next++], !take_list(report.shell)) ||
      !take_list(report.crt) || next != fields.size()) {
    report.failure = "the witness's report is malformed or missing";
  }
  return report;
}

// Starts one witness per command, at most IN_FLIGHT at a time, each told its own report file;
// the reports in the order of the commands.
std::vector<Report> run_witnesses(const std::vector<ProcessCommand>& commands) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  const std::u16string dir =
      from_wide(temp) + u"spawn-round-trip-" + to_utf16(std::to_string(::GetCurrentProcessId()));
  ::CreateDirectoryW(win::wide(dir.c_str()), nullptr);
  auto report_path = [&](std::size_t i) {
    return dir + u"\\" + to_utf16(std::to_string(i)) + u".bin";
  };

  std::vector<Report> reports(commands.size());
  struct Running {
    std::size_t index;
    ChildProcess child;
  };
  std::vector<Running> running;
  auto finish_oldest = [&] {
    Running r = std::move(running.front());
    running.erase(running.begin());
    Report& report = reports[r.index];
    DWORD code = 1;
    if (::WaitForSingleObject(r.child.process_handle(), 60000) != WAIT_OBJECT_0) {
      report.failure = "the witness did not finish within a minute";
      ::TerminateProcess(r.child.process_handle(), 1);
      return;
    }
    ::GetExitCodeProcess(r.child.process_handle(), &code);
    const std::u16string path = report_path(r.index);
    report = parse_report(read_utf16_file(path));
    ::DeleteFileW(win::wide(path.c_str()));
    if (code != 0) report.failure = "the witness exited " + std::to_string(code);
  };
  for (std::size_t i = 0; i < commands.size(); ++i) {
    if (running.size() == IN_FLIGHT) finish_oldest();
    const std::u16string path = report_path(i);
    ::SetEnvironmentVariableW(L"ARGV_WITNESS_FILE", win::wide(path.c_str()));
    Result<ChildProcess> child = spawn(commands[i]);
    if (!child) {
      reports[i].failure = "spawn failed with OS code " + std::to_string(child.error().os_code());
      continue;
    }
    running.push_back({i, std::move(*child)});
  }
  while (!running.empty()) finish_oldest();
  ::SetEnvironmentVariableW(L"ARGV_WITNESS_FILE", nullptr);
  ::RemoveDirectoryW(win::wide(dir.c_str()));
  return reports;
}

// The arguments after the program, cut at each marker when the start was packed.
std::vector<Args> segments(const Args& argv, bool packed) {
  std::vector<Args> out;
  if (!packed) {
    out.emplace_back(argv.begin() + std::min<std::size_t>(1, argv.size()), argv.end());
    return out;
  }
  const std::u16string marker = to_utf16(MARKER);
  Args current;
  for (std::size_t i = 1; i < argv.size(); ++i) {
    if (argv[i] == marker) {
      out.push_back(std::move(current));
      current.clear();
    } else {
      current.push_back(argv[i]);
    }
  }
  if (!current.empty()) out.push_back(std::move(current));  // text after the last marker
  return out;
}

// A list that did not come back: what each parser made of its part of the line; `shell` and `crt`
// are empty when that parser gave it back intact.
struct Mismatch {
  std::size_t list;
  bool always_quote;
  std::optional<Args> shell;
  std::optional<Args> crt;
};

// Compares one start's report with its lists; the failures it cannot pin on a list go to
// `failures`. Once a packed start's markers are lost or split, the later lists' segments are
// shifted, so only its first mismatching list is recorded.
void compare(const Start& start, const Report& report, const std::u16string& line,
             const std::vector<std::vector<std::string>>& lists, std::vector<Mismatch>& mismatches,
             std::vector<std::string>& failures) {
  const std::string where = "the start carrying list #" + std::to_string(start.lists.front());
  if (!report.failure.empty()) {
    failures.push_back(report.failure + " (" + where + ")");
    return;
  }
  if (report.command_line != line) {
    const auto [at, unused] = std::ranges::mismatch(report.command_line, line);
    const std::size_t from = std::max<std::ptrdiff_t>(at - report.command_line.begin() - 40, 0);
    failures.push_back("the child's GetCommandLineW differs from the line spawn was given (" +
                       where + "), " + std::to_string(report.command_line.size()) + " units for " +
                       std::to_string(line.size()) + "; from unit " + std::to_string(from) +
                       ":\n  got  " + readable(report.command_line.substr(from, 80), false) +
                       "\n  want " + readable(line.substr(from, 80), false));
  }
  const std::u16string program = to_utf16(witness_path());
  const std::pair<const char*, const Args*> parsers[] = {{"CommandLineToArgvW", &report.shell},
                                                         {"C runtime argv", &report.crt}};
  for (const auto& [name, argv] : parsers) {
    if (argv->empty() || (*argv)[0] != program) {
      failures.push_back(std::string(name) + " gave the program as " +
                         (argv->empty() ? std::string("nothing") : readable((*argv)[0])) + " (" +
                         where + ")");
    }
  }
  const std::vector<Args> shell = segments(report.shell, start.packed);
  const std::vector<Args> crt = segments(report.crt, start.packed);
  const std::size_t count = start.lists.size();
  for (std::size_t s = 0; s < count; ++s) {
    const Args expected = wide_args(lists[start.lists[s]]);
    const bool shell_ok = s < shell.size() && shell[s] == expected;
    const bool crt_ok = s < crt.size() && crt[s] == expected;
    if (shell_ok && crt_ok) continue;
    auto got = [&](const std::vector<Args>& parsed, bool ok) -> std::optional<Args> {
      if (ok) return std::nullopt;
      return s < parsed.size() ? parsed[s] : Args{};
    };
    mismatches.push_back({start.lists[s], start.always_quote, got(shell, shell_ok),
                          got(crt, crt_ok)});
    if ((!shell_ok && shell.size() != count) || (!crt_ok && crt.size() != count)) break;
  }
  if (shell.size() > count || crt.size() > count) {
    failures.push_back("arguments after the last marker (" + where + "): " +
                       readable(shell.size() > count ? shell.back() : crt.back()));
  }
}

std::string describe_parsers(const Mismatch& m) {
  if (m.shell && m.crt && *m.shell == *m.crt) return "both parsers gave " + readable(*m.shell);
  std::string out;
  if (m.shell) out += "CommandLineToArgvW gave " + readable(*m.shell);
  if (m.crt) {
    out += std::string(out.empty() ? "" : "; ") + "C runtime argv gave " + readable(*m.crt);
  }
  return out;
}

std::string describe(const Mismatch& m, const std::vector<std::vector<std::string>>& lists) {
  std::u16string encoded;
  for (const std::string& a : lists[m.list]) {
    if (!encoded.empty()) encoded += u' ';
    (void)encode_argument(encoded, a, m.always_quote);  // generated arguments hold no NUL
  }
  return "list #" + std::to_string(m.list) + " " + readable(wide_args(lists[m.list])) +
         (m.always_quote ? ", every argument quoted" : "") + "\n  encoded as " +
         readable(encoded, false);
}

void expect_round_trip(const std::vector<Start>& starts,
                       const std::vector<std::vector<std::string>>& lists) {
  std::vector<ProcessCommand> commands;
  std::vector<std::u16string> lines;
  for (const Start& start : starts) {
    commands.push_back(command_for(start, lists));
    const Result<std::u16string> line = encode_command_line(commands.back());
    ASSERT_TRUE(line);
    ASSERT_LE(line->size(), LINE_LIMIT);
    lines.push_back(*line);
  }
  const std::vector<Report> reports = run_witnesses(commands);
  std::vector<Mismatch> mismatches;
  std::vector<std::string> failures;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    compare(starts[i], reports[i], lines[i], lists, mismatches, failures);
  }
  if (mismatches.empty()) {
    for (const std::string& f : failures) ADD_FAILURE() << f;
    return;
  }

  // A packed list's part may hold its neighbours' arguments; started alone it shows cleanly.
  const bool packed = starts.front().packed;
  const std::size_t shown = std::min<std::size_t>(mismatches.size(), SHOW_LIMIT);
  std::vector<Mismatch> alone;
  if (packed) {
    std::vector<ProcessCommand> reruns;
    for (std::size_t i = 0; i < shown; ++i) {
      reruns.push_back(command_for({{mismatches[i].list}, false, mismatches[i].always_quote},
                                   lists));
    }
    const std::vector<Report> again = run_witnesses(reruns);
    for (std::size_t i = 0; i < shown; ++i) {
      compare({{mismatches[i].list}, false, mismatches[i].always_quote}, again[i],
              *encode_command_line(reruns[i]), lists, alone, failures);
    }
  }
  for (std::size_t i = 0; i < shown; ++i) {
    const Mismatch& m = mismatches[i];
    std::string text = describe(m, lists) + "\n  " + (packed ? "packed with other lists, " : "") +
                       describe_parsers(m);
    if (packed) {
      const auto solo = std::find_if(alone.begin(), alone.end(),
                                     [&](const Mismatch& a) { return a.list == m.list; });
      text += "\n  started alone, " +
              (solo == alone.end() ? std::string("it came back intact") : describe_parsers(*solo));
    }
    ADD_FAILURE() << text;
  }
  // Counted up to the first lost marker of each start, so for packed starts a lower bound.
  ADD_FAILURE() << (packed ? "at least " : "") << mismatches.size() << " lists did not come back"
                << (mismatches.size() > shown ? " (the first " + std::to_string(shown) + " shown)"
                                              : std::string());
  for (const std::string& f : failures) ADD_FAILURE() << f;
}

TEST(SpawnRoundTrip, TenThousandListsComeBackFromBothParsersOfTheChild) {
  const std::vector<std::vector<std::string>> lists = random_lists();
  const std::vector<Start> starts = pack(lists);
  std::size_t carried = 0;
  for (const Start& s : starts) carried += s.lists.size();
  ASSERT_EQ(carried, lists.size());
  expect_round_trip(starts, lists);
  std::printf("%zu lists in %zu child starts\n", lists.size(), starts.size());
}

TEST(SpawnRoundTrip, ListsAloneComeBackWithTheirLastArgumentAtTheEndOfTheLine) {
  const std::vector<std::vector<std::string>> lists = random_lists();
  std::vector<Start> starts;
  for (std::size_t k = 0; k < ALONE_COUNT; ++k) starts.push_back({{k}, false, k % 7 == 6});
  expect_round_trip(starts, lists);
}

}  // namespace
}  // namespace launcher
