#include "platform/wide_path.h"

#include <gtest/gtest.h>

#include "platform/utf16.h"
#include "tests/sim/sim_fixture.h"

namespace launcher {
namespace {

using sim::state;

std::string u8(std::u16string_view s) { return to_utf8(s); }

class WidePath : public SimTest {};

// Paths that come back as their UTF-16 form with no GetFullPathNameW call.
TEST_F(WidePath, EarlyReturnsMakeNoSystemCall) {
  const std::string long_drive = "C:\\" + std::string(300, 'a');
  const char* const cases[] = {
      R"(C:\Program Files (x86)\Microsoft\Edge\Application\msedge.exe)",
      R"(C:\Program Files\Google\Chrome\Application\chrome.exe)",
      "C:",
      "C:\\x",
      "C:/x",
      "\\\\srv\\share",
      "//srv/share",
      "\\\\.\\pipe\\x",
      "",
      "\\\\?\\C:\\x",
      "\\??\\C:\\x",
  };
  for (const bool always_prefix : {false, true}) {
    for (const char* path : cases) {
      sim::reset();
      const Result<WideString> w = to_wide_path(path, always_prefix);
      ASSERT_TRUE(w) << path;
      EXPECT_EQ(*w, to_utf16(path));
      EXPECT_TRUE(state().calls.empty()) << path;
    }
    // A prefixed path stays untouched at any length.
    sim::reset();
    const std::string prefixed = "\\\\?\\" + long_drive;
    EXPECT_EQ(*to_wide_path(prefixed, always_prefix), to_utf16(prefixed));
    EXPECT_TRUE(state().calls.empty());
  }
}

TEST_F(WidePath, OtherFormsAreResolvedAndPrefixedOnRequest) {
  struct Case {
    const char* path;
    bool always_prefix;
    const char16_t* expected;
  };
  const Case cases[] = {
      {"x", true, u"\\\\?\\C:\\work\\x"},
      {"x", false, u"C:\\work\\x"},
      {"..\\x", true, u"\\\\?\\C:\\x"},
      {"C:x", true, u"\\\\?\\C:\\work\\x"},
      {"D:x", false, u"D:\\x"},
      {"\\x", true, u"\\\\?\\C:\\x"},
      {"\\x", false, u"C:\\x"},
      {"a/b", false, u"C:\\work\\a\\b"},
  };
  for (const Case& c : cases) {
    sim::reset();
    const Result<WideString> w = to_wide_path(c.path, c.always_prefix);
    ASSERT_TRUE(w) << c.path;
    EXPECT_EQ(*w, c.expected) << c.path;
    EXPECT_EQ(sim::calls_of("GetFullPathNameW").size(), 1u);
  }
}

// The limit is counted in UTF-16 units with the NUL: 247 characters (248 units) reach it. "é" is two
// UTF-8 bytes but one unit; U+1F600 is four bytes but two units.
TEST_F(WidePath, ShortPathLimitCountsUtf16Units) {
  struct Case {
    std::string fill;  // one character's UTF-8
    std::size_t units_per_char;
  };
  for (const Case& c : {Case{"a", 1}, Case{"\xC3\xA9", 1}, Case{"\xF0\x9F\x98\x80", 2}}) {
    for (const std::size_t total : {246u, 247u}) {  // characters of the whole path, in units
      sim::reset();
      const std::size_t fill_units = total - 3;
      if (fill_units % c.units_per_char) continue;
      std::string path = "C:\\";
      for (std::size_t i = 0; i < fill_units / c.units_per_char; ++i) path += c.fill;
      ASSERT_EQ(to_utf16(path).size(), total);
      const Result<WideString> w = to_wide_path(path, false);
      ASSERT_TRUE(w);
      const bool resolved = !sim::calls_of("GetFullPathNameW").empty();
      EXPECT_EQ(resolved, total >= 247) << total;
      // A resolved full path of 247 or more characters gets the prefix even without the request.
      EXPECT_EQ(w->starts_with(LONG_PATH_PREFIX), total >= 247) << total;
    }
  }
}

TEST_F(WidePath, LongRelativeAndUncPathsGetTheirPrefixes) {
  const std::string name(250, 'n');
  const Result<WideString> unc = to_wide_path("\\\\srv\\share\\" + name, false);
  ASSERT_TRUE(unc);
  EXPECT_EQ(*unc, u"\\\\?\\UNC\\srv\\share\\" + to_utf16(name));

  // Short full path without the request: no prefix.
  EXPECT_EQ(*to_wide_path("y", false), u"C:\\work\\y");
}

TEST_F(WidePath, PrefixTable) {
  struct Case {
    const char16_t* abs;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"C:\\a", u"\\\\?\\C:\\a"},
      {u"\\\\.\\X", u"\\\\?\\X"},
      {u"\\\\?\\C:\\a", u"\\\\?\\C:\\a"},
      {u"\\??\\C:\\a", u"\\??\\C:\\a"},
      {u"\\?x", u"\\?x"},
      {u"\\\\srv\\share\\a", u"\\\\?\\UNC\\srv\\share\\a"},
      {u"\\\\", u"\\\\?\\UNC\\"},
      {u"\\\\s", u"\\\\?\\UNC\\s"},
      {u"C:", u"C:"},
      {u"\\x", u"\\x"},
  };
  for (const Case& c : cases) EXPECT_EQ(with_long_path_prefix(c.abs), c.expected) << u8(c.abs);
}

TEST_F(WidePath, NulIsRefusedBeforeAnyCall) {
  const std::string with_nul("C:\\a\0b", 6);
  for (const auto& w : {to_wide_path(with_nul, true), to_wide_path(with_nul, false),
                        to_wide_program_path(with_nul)}) {
    ASSERT_FALSE(w);
    EXPECT_EQ(w.error(), ServiceError::of(ErrorCategory::InvalidInput, MSG_WINAPI_NUL));
    EXPECT_EQ(w.error().message(), "strings passed to WinAPI cannot contain NULs");
  }
  EXPECT_TRUE(state().calls.empty());
}

TEST_F(WidePath, FullPathFailureIsPassedOn) {
  state().full_path_failures[u"x"] = 3;
  const Result<WideString> w = to_wide_path("x", true);
  ASSERT_FALSE(w);
  EXPECT_EQ(w.error(), ServiceError::os(3));
}

TEST_F(WidePath, ProgramPathPrefixRules) {
  struct Case {
    std::string path;
    std::u16string expected;
    std::size_t full_path_calls;
  };
  const std::string long_program = "C:\\" + std::string(257, 'p');  // 260 characters: 261 units
  const Case cases[] = {
      {"\\\\?\\C:\\Tools\\app.exe", u"C:\\Tools\\app.exe", 1},
      {"\\\\?\\C:\\a\\..\\app.exe", u"\\\\?\\C:\\a\\..\\app.exe", 1},
      {"\\\\?\\UNC\\srv\\share\\app.exe", u"\\\\srv\\share\\app.exe", 1},
      {"\\\\?\\UNC\\srv\\share\\a\\..\\app.exe", u"\\\\?\\UNC\\srv\\share\\a\\..\\app.exe", 1},
      {"\\\\?\\pipe\\x", u"\\\\?\\pipe\\x", 0},
      {"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe",
       u"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe", 0},
      {long_program, to_utf16(long_program), 0},
      {"\\\\?\\" + long_program, to_utf16("\\\\?\\" + long_program), 0},
      {"tool.exe", u"C:\\work\\tool.exe", 1},
  };
  for (const Case& c : cases) {
    sim::reset();
    const Result<WideString> w = to_wide_program_path(c.path);
    ASSERT_TRUE(w) << c.path;
    EXPECT_EQ(*w, c.expected) << c.path;
    EXPECT_EQ(sim::calls_of("GetFullPathNameW").size(), c.full_path_calls) << c.path;
  }
  // 259 characters (260 units): still examined.
  sim::reset();
  const std::string at_limit = "\\\\?\\C:\\" + std::string(252, 'p');
  ASSERT_EQ(at_limit.size() + 1, 260u);
  EXPECT_EQ(*to_wide_program_path(at_limit), to_utf16(at_limit.substr(4)));
}

// ---- the growing-buffer loop, through GetSystemDirectoryW ----

TEST_F(WidePath, GrowingBufferStartsWith512AndGrowsToTheReportedSize) {
  const std::u16string text(700, u'd');
  std::vector<DWORD> offered;
  state().system_directory_responder = [&](const char16_t*, char16_t* buffer, DWORD size) {
    offered.push_back(size);
    if (text.size() + 1 > size) return static_cast<DWORD>(text.size() + 1);
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    return static_cast<DWORD>(text.size());
  };
  const Result<std::u16string> r = call_with_growing_buffer(BufferCall::SystemDirectory);
  ASSERT_TRUE(r);
  EXPECT_EQ(*r, text);
  EXPECT_EQ(offered, (std::vector<DWORD>{512, 701}));
}

TEST_F(WidePath, GrowingBufferDoublesOnInsufficientBuffer) {
  const std::u16string text(1500, u'm');
  state().module_path = u"C:\\" + text;
  const Result<std::u16string> r = call_with_growing_buffer(BufferCall::ModuleFileName);
  ASSERT_TRUE(r);
  EXPECT_EQ(*r, state().module_path);
  std::vector<std::uint64_t> sizes;
  for (const sim::Call& c : sim::calls_of("GetModuleFileNameW")) sizes.push_back(c.args[1]);
  EXPECT_EQ(sizes, (std::vector<std::uint64_t>{512, 1024, 2048}));
}

TEST_F(WidePath, GrowingBufferZeroResults) {
  // Zero with an error: that error. Zero with the last error still 0: the empty text.
  state().environment_responder = [](const char16_t*, char16_t*, DWORD) {
    ::SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return DWORD{0};
  };
  const Result<std::u16string> missing =
      call_with_growing_buffer(BufferCall::EnvironmentVariable, u"PATH");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error(), ServiceError::os(ERROR_ENVVAR_NOT_FOUND));

  // The last error is cleared before the call: a stale one must not turn an empty value into
  // an error.
  state().environment_responder = nullptr;
  state().environment[u"EMPTY"] = u"";
  ::SetLastError(5);
  const Result<std::u16string> empty =
      call_with_growing_buffer(BufferCall::EnvironmentVariable, u"EMPTY");
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->empty());
}

TEST_F(WidePath, GrowingBufferClearsLastErrorBeforeEveryCall) {
  const std::u16string text(600, u'x');
  std::vector<DWORD> seen;
  state().windows_directory_responder = [&](const char16_t*, char16_t* buffer, DWORD size) {
    seen.push_back(::GetLastError());
    ::SetLastError(87);  // a stale value the next round must not see
    if (text.size() + 1 > size) return static_cast<DWORD>(text.size() + 1);
    std::copy(text.begin(), text.end(), buffer);
    return static_cast<DWORD>(text.size());
  };
  ASSERT_TRUE(call_with_growing_buffer(BufferCall::WindowsDirectory));
  EXPECT_EQ(seen, (std::vector<DWORD>{0, 0}));
}

using WidePathDeathTest = WidePath;

TEST_F(WidePathDeathTest, BrokenContractEndsTheProcess) {
  // Returning the size offered without ERROR_INSUFFICIENT_BUFFER is outside every call's contract.
  EXPECT_DEATH(
      {
        state().system_directory_responder = [](const char16_t*, char16_t*, DWORD size) {
          return size;
        };
        static_cast<void>(call_with_growing_buffer(BufferCall::SystemDirectory));
      },
      "internal error: entered unreachable code");
}

}  // namespace
}  // namespace launcher
