#include "platform/spawn.h"

#include <gtest/gtest.h>

#include "launcher/platform_ops.h"
#include "platform/command.h"
#include "platform/utf16.h"
#include "tests/sim/sim_fixture.h"

namespace launcher {
namespace {

using sim::state;

const char* const CHROME = R"(C:\Program Files\Google\Chrome\Application\chrome.exe)";
const char16_t* const CHROME16 = uR"(C:\Program Files\Google\Chrome\Application\chrome.exe)";
const char16_t* const SYSTEM_CMD = u"C:\\Windows\\system32\\cmd.exe";

class Spawn : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    sim::add_directory(u"C:\\Windows\\system32");
    sim::add_file(SYSTEM_CMD);
  }

  static ProcessCommand browser_command(const std::string& program) {
    ProcessCommand c = create_command(program);
    add_argument(c, "--app=https://example.com/");
    add_argument(c, "--window-size=1280,820");
    return c;
  }

  static std::vector<std::u16string> attribute_probes() {
    std::vector<std::u16string> out;
    for (const sim::Call& c : sim::calls_of("GetFileAttributesW")) out.push_back(c.text);
    return out;
  }
};

TEST_F(Spawn, StartsABrowserPathWithExactlyTheFixedArguments) {
  sim::add_file(CHROME16);
  {
    Result<ChildProcess> child = spawn(browser_command(CHROME));
    ASSERT_TRUE(child);
    EXPECT_NE(child->process_handle(), nullptr);
    EXPECT_NE(child->thread_handle(), nullptr);
    EXPECT_TRUE(sim::calls_of("GetFileAttributesW").empty());  // ".exe": not tested
    EXPECT_EQ(sim::calls_of("GetFullPathNameW").size(), 1u);    // the batch-script test
    ASSERT_EQ(state().starts.size(), 1u);
    const sim::ProcessStart& s = state().starts[0];
    EXPECT_EQ(s.application, CHROME16);
    EXPECT_EQ(s.command_line, u"\"" + std::u16string(CHROME16) +
                                  u"\" --app=https://example.com/ --window-size=1280,820");
    EXPECT_TRUE(s.process_attributes_null);
    EXPECT_TRUE(s.thread_attributes_null);
    EXPECT_EQ(s.inherit_handles, TRUE);
    EXPECT_EQ(s.creation_flags, 0x400u);
    EXPECT_TRUE(s.environment_null);
    EXPECT_TRUE(s.current_directory_null);
    EXPECT_EQ(s.startup.cb, 104u);
    EXPECT_TRUE(s.lock_held);
    EXPECT_EQ(s.startup.lpDesktop, nullptr);
    EXPECT_EQ(s.startup.wShowWindow, 0);
    // The launcher's three handles are present: all passed on as duplicates.
    EXPECT_EQ(s.startup.dwFlags, 0x100u);
    const ChildProcess::Handle process = child->process_handle();
    const ChildProcess::Handle thread = child->thread_handle();
    state().closed.clear();
    child->release();
    EXPECT_EQ(state().closed, (std::vector<HANDLE>{process, thread}));
  }
  EXPECT_FALSE(state().lock_held);
}

TEST_F(Spawn, MissingBrowserFailsAtTheStartWithItsCode) {
  const Result<ChildProcess> child = spawn(browser_command(CHROME));
  ASSERT_FALSE(child);
  EXPECT_EQ(child.error(), ServiceError::os(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(state().starts.size(), 1u);
  EXPECT_EQ(state().closed.size(), 3u);  // the three duplicates
}

TEST_F(Spawn, BareNameSearchOrder) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::vector<std::u16string> probes;  // GetFileAttributesW, in order
    std::u16string application;          // empty: NotFound
  };
  const Case cases[] = {
      {"ordinary installation", [] {},
       {u"C:\\app\\cmd.exe", SYSTEM_CMD}, SYSTEM_CMD},
      {"a cmd.exe beside the launcher wins", [] { sim::add_file(u"C:\\app\\cmd.exe"); },
       {u"C:\\app\\cmd.exe"}, u"C:\\app\\cmd.exe"},
      {"launcher at a drive's root",
       [] {
         state().module_path = u"C:\\launcher.exe";
         sim::add_file(u"C:\\cmd.exe");
       },
       {u"C:\\cmd.exe"}, u"C:\\cmd.exe"},
      {"Windows directory after the system directory",
       [] {
         state().files.erase(sim::normalise(SYSTEM_CMD));
         sim::add_file(u"C:\\Windows\\cmd.exe");
       },
       {u"C:\\app\\cmd.exe", SYSTEM_CMD, u"C:\\Windows\\cmd.exe"}, u"C:\\Windows\\cmd.exe"},
      {"PATH entries: empty skipped, quoted semicolon kept",
       [] {
         state().files.erase(sim::normalise(SYSTEM_CMD));
         state().environment[u"PATH"] = u";C:\\a;;\"C:\\b;c\";C:\\d\\;";
         sim::add_file(u"C:\\d\\cmd.exe");
       },
       {u"C:\\app\\cmd.exe", SYSTEM_CMD, u"C:\\Windows\\cmd.exe", u"C:\\a\\cmd.exe",
        u"C:\\b;c\\cmd.exe", u"C:\\d\\cmd.exe"},
       u"C:\\d\\cmd.exe"},
      {"directories that cannot be read are skipped",
       [] {
         state().module_responder = [](const char16_t*, char16_t*, DWORD) {
           ::SetLastError(5);
           return DWORD{0};
         };
         state().system_directory_responder = state().module_responder;
       },
       {u"C:\\Windows\\cmd.exe"}, u""},
      {"PATH not set", [] { state().files.erase(sim::normalise(SYSTEM_CMD)); },
       {u"C:\\app\\cmd.exe", SYSTEM_CMD, u"C:\\Windows\\cmd.exe"}, u""},
      {"PATH of separators only",
       [] {
         state().files.erase(sim::normalise(SYSTEM_CMD));
         state().environment[u"PATH"] = u";;;";
       },
       {u"C:\\app\\cmd.exe", SYSTEM_CMD, u"C:\\Windows\\cmd.exe"}, u""},
  };
  for (const Case& c : cases) {
    sim::reset();
    sim::add_file(SYSTEM_CMD);
    c.arrange();
    const Result<WideString> app = resolve_program("cmd");
    EXPECT_EQ(attribute_probes(), c.probes) << c.name;
    if (c.application.empty()) {
      ASSERT_FALSE(app) << c.name;
      EXPECT_EQ(app.error(), ServiceError::of(ErrorCategory::NotFound, MSG_NOT_FOUND));
      EXPECT_EQ(app.error().message(), "program not found");
    } else {
      ASSERT_TRUE(app) << c.name;
      EXPECT_EQ(*app, c.application) << c.name;
    }
  }
}

TEST_F(Spawn, ExtensionRuleAndDriveNames) {
  state().environment[u"PATH"] = u"C:\\t";
  EXPECT_FALSE(resolve_program("tool.com"));
  EXPECT_EQ(attribute_probes(),
            (std::vector<std::u16string>{u"C:\\app\\tool.com", u"C:\\Windows\\system32\\tool.com",
                                         u"C:\\Windows\\tool.com", u"C:\\t\\tool.com"}));
  sim::reset();
  state().environment[u"PATH"] = u"C:\\t";
  EXPECT_FALSE(resolve_program("D:tool"));
  EXPECT_EQ(attribute_probes(), std::vector<std::u16string>(4, u"D:\\tool.exe"));
}

TEST_F(Spawn, CommandLineBeginsWithTheProgramAsGiven) {
  ProcessCommand c = create_command("cmd");
  for (const char* a : {"/C", "start", "", "https://example.com/"}) add_argument(c, a);
  const Result<ChildProcess> child = spawn(c);
  ASSERT_TRUE(child);
  EXPECT_EQ(state().starts.at(0).application, SYSTEM_CMD);
  EXPECT_EQ(state().starts.at(0).command_line, u"\"cmd\" /C start \"\" https://example.com/");
}

TEST_F(Spawn, DirectoryNamedLikeTheProgramBesideTheLauncherStopsTheSearch) {
  sim::add_directory(u"C:\\app\\cmd.exe");
  const Result<ChildProcess> child = spawn(create_command("cmd"));
  ASSERT_FALSE(child);
  EXPECT_EQ(state().starts.at(0).application, u"C:\\app\\cmd.exe");
  EXPECT_EQ(attribute_probes().size(), 1u);
}

TEST_F(Spawn, ResolutionErrorsComeBeforeAnySystemCall) {
  struct Case {
    std::string program;
    ServiceError error;
  };
  const Case cases[] = {
      {"", ServiceError::of(ErrorCategory::InvalidInput, MSG_NO_FILE_NAME)},
      {"C:\\dir\\", ServiceError::of(ErrorCategory::InvalidInput, MSG_NO_FILE_NAME)},
      {"dir/", ServiceError::of(ErrorCategory::InvalidInput, MSG_NO_FILE_NAME)},
      {"\\\\?\\C:\\dir\\", ServiceError::of(ErrorCategory::InvalidInput, MSG_NO_FILE_NAME)},
      {std::string("c\0md", 4), ServiceError::of(ErrorCategory::InvalidInput, MSG_DATA_NUL)},
      {std::string("C:\\a\0.exe", 9), ServiceError::of(ErrorCategory::InvalidInput, MSG_WINAPI_NUL)},
  };
  for (const Case& c : cases) {
    sim::reset();
    const Result<ChildProcess> child = spawn(create_command(c.program));
    ASSERT_FALSE(child);
    EXPECT_EQ(child.error(), c.error);
    EXPECT_TRUE(state().calls.empty());
  }
  EXPECT_EQ(ServiceError::of(ErrorCategory::InvalidInput, MSG_NO_FILE_NAME).message(),
            "program path has no file name");
}

TEST_F(Spawn, VerbatimPathTreatsSlashAsAName) {
  // Only "\" ends a verbatim path's file name; "/" is an ordinary character there.
  const Result<WideString> app = resolve_program("\\\\?\\C:\\dir\\a/");
  ASSERT_TRUE(app);
}

TEST_F(Spawn, PathWithoutSuffixPrefersTheExeBesideIt) {
  sim::add_file(u"C:\\tools\\prog.exe");
  EXPECT_EQ(*resolve_program("C:\\tools\\prog"), u"C:\\tools\\prog.exe");
  EXPECT_EQ(*resolve_program("C:\\tools\\other"), u"C:\\tools\\other");  // untested
}

TEST_F(Spawn, ArgumentWithNulReleasesEverythingAndStartsNothing) {
  sim::add_file(CHROME16);
  ProcessCommand c = create_command(CHROME);
  add_argument(c, std::string("a\0b", 3));
  const Result<ChildProcess> child = spawn(c);
  ASSERT_FALSE(child);
  EXPECT_EQ(child.error(), ServiceError::of(ErrorCategory::InvalidInput, MSG_DATA_NUL));
  EXPECT_EQ(state().lock_acquisitions, 0);
  EXPECT_TRUE(state().starts.empty());
}

TEST_F(Spawn, BatchScriptsAreRefused) {
  sim::add_file(u"C:\\x\\run.bat");
  struct Case {
    const char* program;
    std::size_t full_path_calls;
  };
  // A plain path takes one GetFullPathNameW, the batch test's. A path that keeps its prefix is
  // judged by its own last units: only the lookup's two calls (for "<p>.exe" and for p).
  const Case cases[] = {{"C:\\x\\run.bat", 1}, {"C:\\x\\RUN.Cmd", 1},
                        {"\\\\?\\D:\\a\\..\\run.BAT", 2}};
  for (const Case& c : cases) {
    sim::reset();
    const Result<ChildProcess> child = spawn(create_command(c.program));
    ASSERT_FALSE(child) << c.program;
    EXPECT_EQ(child.error().category(), ErrorCategory::InvalidInput);
    EXPECT_TRUE(state().starts.empty());
    EXPECT_EQ(sim::calls_of("GetFullPathNameW").size(), c.full_path_calls) << c.program;
  }
}

TEST_F(Spawn, BatchTestFailureIsReturned) {
  state().full_path_failures[u"C:\\x\\a.exe"] = 206;
  const Result<ChildProcess> child = spawn(create_command("C:\\x\\a.exe"));
  ASSERT_FALSE(child);
  EXPECT_EQ(child.error(), ServiceError::os(206));
  EXPECT_EQ(state().lock_acquisitions, 0);
}

// The standard handles: each present one is passed on as an inheritable duplicate, closed after the
// start; none present leaves the child's to CreateProcessW's default.
TEST_F(Spawn, StandardHandles) {
  const HANDLE in = sim::standard_handle(0), out = sim::standard_handle(1),
               err = sim::standard_handle(2);
  struct Case {
    const char* name;
    HANDLE in, out, err;
    int duplicates;
    DWORD flags;
  };
  const Case cases[] = {
      {"all three", in, out, err, 3, 0x100},
      {"none (NULL)", nullptr, nullptr, nullptr, 0, 0},
      {"none (INVALID_HANDLE_VALUE)", INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE,
       INVALID_HANDLE_VALUE, 0, 0},
      {"only output", nullptr, out, INVALID_HANDLE_VALUE, 1, 0x100},
  };
  for (const Case& c : cases) {
    sim::reset();
    sim::add_file(CHROME16);
    state().std_input = c.in, state().std_output = c.out, state().std_error = c.err;
    Result<ChildProcess> child = spawn(browser_command(CHROME));
    ASSERT_TRUE(child) << c.name;
    const auto dups = sim::calls_of("DuplicateHandle");
    ASSERT_EQ(dups.size(), static_cast<std::size_t>(c.duplicates)) << c.name;
    for (const sim::Call& d : dups) {
      // Within the launcher's own process, inheritable, same access.
      EXPECT_EQ(d.args[0], d.args[2]);
      EXPECT_EQ(d.args[3], 0u);
      EXPECT_EQ(d.args[4], 1u);
      EXPECT_EQ(d.args[5], 2u);
    }
    const STARTUPINFOW& s = state().starts.at(0).startup;
    EXPECT_EQ(s.dwFlags, c.flags) << c.name;
    const bool has[3] = {UniqueHandle::is_handle(c.in), UniqueHandle::is_handle(c.out),
                         UniqueHandle::is_handle(c.err)};
    const HANDLE given[3] = {s.hStdInput, s.hStdOutput, s.hStdError};
    for (int k = 0; k < 3; ++k) {
      if (has[k]) {
        EXPECT_NE(given[k], nullptr) << c.name << k;
        EXPECT_NE(given[k], sim::standard_handle(k)) << "a duplicate, not the handle itself";
      } else {
        EXPECT_EQ(given[k], nullptr) << c.name << k;
      }
    }
    // The duplicates are closed after the start, error first; the launcher's own stay open.
    std::vector<HANDLE> expected_closes;
    for (int k = 2; k >= 0; --k) {
      if (has[k]) expected_closes.push_back(given[k]);
    }
    EXPECT_EQ(state().closed, expected_closes) << c.name;
  }
}

TEST_F(Spawn, DuplicationFailingPartWayClosesWhatWasMadeInReverse) {
  sim::add_file(CHROME16);
  state().duplicate_failures[sim::standard_handle(2)] = 6;
  const Result<ChildProcess> child = spawn(browser_command(CHROME));
  ASSERT_FALSE(child);
  EXPECT_EQ(child.error(), ServiceError::os(6));
  EXPECT_TRUE(state().starts.empty());
  ASSERT_EQ(state().closed.size(), 2u);
  // Output's duplicate was made after input's: handles grow, so the first closed is the larger.
  EXPECT_GT(reinterpret_cast<std::uintptr_t>(state().closed[0]),
            reinterpret_cast<std::uintptr_t>(state().closed[1]));
  EXPECT_EQ(state().lock_acquisitions, 1);
}

TEST_F(Spawn, LockIsHeldFromTheFirstStandardHandleToTheLastClose) {
  sim::add_file(CHROME16);
  Result<ChildProcess> child = spawn(browser_command(CHROME));
  ASSERT_TRUE(child);
  const std::vector<std::string> names = sim::call_names();
  const auto at = [&](const std::string& n) {
    return std::find(names.begin(), names.end(), n) - names.begin();
  };
  const auto last_close = std::find(names.rbegin(), names.rend(), "CloseHandle").base() - 1 -
                          names.begin();
  EXPECT_LT(at("GetFullPathNameW"), at("AcquireSRWLockExclusive"));
  EXPECT_LT(at("AcquireSRWLockExclusive"), at("GetStdHandle"));
  EXPECT_LT(at("CreateProcessW"), last_close);
  EXPECT_LT(last_close, at("ReleaseSRWLockExclusive"));
  EXPECT_EQ(state().lock_acquisitions, 1);
}

TEST_F(Spawn, SplitSearchPath) {
  struct Case {
    std::u16string value;
    std::vector<std::u16string> entries;
  };
  const Case cases[] = {
      {u"", {}},
      {u";;", {}},
      {u"a;b", {u"a", u"b"}},
      {u"a;;b;", {u"a", u"b"}},
      {u"\"a;b\";c", {u"a;b", u"c"}},
      {u"x\"y\"z", {u"xyz"}},
      {u"\"\";a", {u"a"}},
      {u"\"unterminated;x", {u"unterminated;x"}},
  };
  for (const Case& c : cases) EXPECT_EQ(split_search_path(c.value), c.entries);
}

}  // namespace
}  // namespace launcher
