// The probe, the conversions and the spawner on real Win32 (under Wine), with a helper program
// that reports how it was started.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "launcher/platform_ops.h"
#include "platform/spawn.h"
#include "platform/utf16.h"
#include "platform/wide_path.h"
#include "platform/win32.h"
#include "tests/wine/test_paths.h"

namespace launcher {
namespace {

using wine_test::from_wide;
using wine_test::own_directory;

std::string temp_directory() {
  wchar_t buffer[MAX_PATH];
  ::GetTempPathW(MAX_PATH, buffer);
  std::string dir = to_utf8(from_wide(buffer)) + "launcher-test-" +
                    std::to_string(::GetCurrentProcessId());
  ::CreateDirectoryW(win::wide(to_utf16(dir).c_str()), nullptr);
  return dir;
}

std::string read_file(const std::string& path) {
  std::string text;
  FILE* f = _wfopen(reinterpret_cast<const wchar_t*>(to_utf16(path).c_str()), L"rb");
  if (f == nullptr) return text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
  std::fclose(f);
  return text;
}

void write_file(const std::string& path, const std::string& text) {
  FILE* f = _wfopen(reinterpret_cast<const wchar_t*>(to_utf16(path).c_str()), L"wb");
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

std::vector<std::string> lines_with(const std::string& report, const std::string& key) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < report.size()) {
    std::size_t end = report.find('\n', at);
    if (end == std::string::npos) end = report.size();
    const std::string line = report.substr(at, end - at);
    if (line.starts_with(key + "=")) out.push_back(line.substr(key.size() + 1));
    at = end + 1;
  }
  return out;
}

void set_env(const wchar_t* name, const std::string& value) {
  ::SetEnvironmentVariableW(name, value.empty() ? nullptr
                                                : reinterpret_cast<const wchar_t*>(
                                                      to_utf16(value).c_str()));
}

// Starts the helper with `args` and waits for it; its report.
std::string run_helper(const std::vector<std::string>& args) {
  const std::string report = temp_directory() + "\\report.txt";
  ::DeleteFileW(win::wide(to_utf16(report).c_str()));
  set_env(L"REPORT_ARGS_FILE", report);
  ProcessCommand command = create_command(own_directory() + "\\report_args.exe");
  for (const std::string& a : args) add_argument(command, a);
  Result<ChildProcess> child = spawn(command);
  set_env(L"REPORT_ARGS_FILE", "");
  EXPECT_TRUE(child);
  if (!child) return {};
  EXPECT_EQ(::WaitForSingleObject(child->process_handle(), 60000), WAIT_OBJECT_0);
  return read_file(report);
}

TEST(RealProbe, FilesDirectoriesMissingAndRelativePaths) {
  const std::string dir = temp_directory();
  write_file(dir + "\\file.txt", "x");
  ::CreateDirectoryW(win::wide(to_utf16(dir + "\\sub").c_str()), nullptr);
  EXPECT_TRUE(path_exists(dir + "\\file.txt"));
  EXPECT_TRUE(path_exists(dir + "\\sub"));
  EXPECT_TRUE(path_exists(dir + "/sub"));
  EXPECT_FALSE(path_exists(dir + "\\missing.txt"));
  EXPECT_FALSE(path_exists(dir + "\\missing\\file.txt"));
  EXPECT_FALSE(path_exists(""));

  wchar_t previous[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(::SetCurrentDirectoryW(win::wide(to_utf16(dir).c_str())));
  EXPECT_TRUE(path_exists("file.txt"));
  EXPECT_TRUE(path_exists("..\\" + dir.substr(dir.find_last_of('\\') + 1) + "\\file.txt"));
  const Result<WideString> w = to_wide_path("file.txt", true);
  ASSERT_TRUE(w);
  EXPECT_EQ(*w, u"\\\\?\\" + to_utf16(dir) + u"\\file.txt");
  ::SetCurrentDirectoryW(previous);
}

TEST(RealProbe, LongPathsThroughThePrefix) {
  std::string dir = temp_directory();
  for (int i = 0; i < 6; ++i) {
    dir += "\\" + std::string(50, static_cast<char>('a' + i));
    ::CreateDirectoryW(win::wide((u"\\\\?\\" + to_utf16(dir)).c_str()), nullptr);
  }
  ASSERT_GT(dir.size(), 300u);
  EXPECT_TRUE(path_exists(dir));
  EXPECT_FALSE(path_exists(dir + "\\nothing"));
}

TEST(RealSpawner, ChildGetsEveryArgumentBackFromBothParsers) {
  const std::vector<std::string> args = {"",       "a b",     "a\"b", "say \"hi\"", "a\\\"b",
                                         "C:\\dir\\", "C:\\my dir\\", "x \"y\\", "tab\there",
                                         "\xC3\xA9\xF0\x9F\x98\x80", "\\\\server\\share"};
  const std::string report = run_helper(args);
  const std::vector<std::string> argv = lines_with(report, "argv");
  const std::vector<std::string> crt_argv = lines_with(report, "crt_argv");
  ASSERT_EQ(argv.size(), args.size() + 1) << report;
  ASSERT_EQ(crt_argv.size(), args.size() + 1) << report;
  for (std::size_t i = 0; i < args.size(); ++i) {
    EXPECT_EQ(argv[i + 1], args[i]);
    EXPECT_EQ(crt_argv[i + 1], args[i]);
  }
  // The command line begins with the program exactly as given, in quotes.
  const std::vector<std::string> line = lines_with(report, "command_line");
  ASSERT_EQ(line.size(), 1u);
  EXPECT_TRUE(line[0].starts_with("\"" + own_directory() + "\\report_args.exe\" \"\" ")) << line[0];
}

TEST(RealSpawner, ChildOutputArrivesOnTheRedirectedStandardOutput) {
  const std::string out_path = temp_directory() + "\\stdout.txt";
  HANDLE file = ::CreateFileW(win::wide(to_utf16(out_path).c_str()), GENERIC_WRITE,
                              FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE saved = ::GetStdHandle(STD_OUTPUT_HANDLE);
  ::SetStdHandle(STD_OUTPUT_HANDLE, file);  // not inheritable: the spawner duplicates it
  run_helper({"hello"});
  ::SetStdHandle(STD_OUTPUT_HANDLE, saved);
  ::CloseHandle(file);
  const std::string output = read_file(out_path);
  EXPECT_EQ(lines_with(output, "argv"), (std::vector<std::string>{
                                            own_directory() + "\\report_args.exe", "hello"}));
  EXPECT_NE(output.find("stdout=1"), std::string::npos) << output;
}

TEST(RealSpawner, StartsWithoutStandardHandles) {
  HANDLE saved[3] = {::GetStdHandle(STD_INPUT_HANDLE), ::GetStdHandle(STD_OUTPUT_HANDLE),
                     ::GetStdHandle(STD_ERROR_HANDLE)};
  ::SetStdHandle(STD_INPUT_HANDLE, nullptr);
  ::SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
  ::SetStdHandle(STD_ERROR_HANDLE, nullptr);
  const std::string report = run_helper({"x"});
  ::SetStdHandle(STD_INPUT_HANDLE, saved[0]);
  ::SetStdHandle(STD_OUTPUT_HANDLE, saved[1]);
  ::SetStdHandle(STD_ERROR_HANDLE, saved[2]);
  EXPECT_EQ(lines_with(report, "argv").size(), 2u) << report;
}

TEST(RealSpawner, FindsTheCommandInterpreterInTheSystemDirectory) {
  wchar_t system[MAX_PATH];
  const UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
  const Result<WideString> app = resolve_program("cmd");
  ASSERT_TRUE(app);
  EXPECT_EQ(to_utf8(*app), to_utf8(std::u16string(reinterpret_cast<const char16_t*>(system), n)) +
                               "\\cmd.exe");
}

TEST(RealSpawner, MissingProgramFailsWithFileNotFound) {
  const Result<ChildProcess> child = spawn(create_command(temp_directory() + "\\none.exe"));
  ASSERT_FALSE(child);
  EXPECT_EQ(child.error(), ServiceError::os(ERROR_FILE_NOT_FOUND));
}

}  // namespace
}  // namespace launcher
