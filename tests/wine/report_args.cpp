// A witness for the spawner: reports how it was started. Output, UTF-8, one item per line:
//   command_line=<GetCommandLineW>
//   argv=<each argument as the real CommandLineToArgvW splits it>   (one line each, program first)
//   crt_argv=<each argument as the C runtime's own argv has it>     (one line each)
//   stdin=<0|1> stdout=<0|1> stderr=<0|1>                             (a usable handle present)
// written to standard output when there is one, and to the file named by REPORT_ARGS_FILE when set.
// With REPORT_ARGS_STARTED set, that file is created at once; with REPORT_ARGS_WAIT_FOR set, the
// report waits until that file exists (at most a minute), so a test can see its parent exit first.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/utf16.h"
#include "platform/win32.h"

#include <shellapi.h>

namespace {

std::string env(const wchar_t* name) {
  wchar_t buffer[1024];
  const DWORD n = ::GetEnvironmentVariableW(name, buffer, 1024);
  if (n == 0 || n >= 1024) return {};
  return launcher::to_utf8(std::u16string(reinterpret_cast<const char16_t*>(buffer), n));
}

std::string utf8(const wchar_t* text) {
  return launcher::to_utf8(reinterpret_cast<const char16_t*>(text));
}

bool usable(DWORD which) {
  HANDLE h = ::GetStdHandle(which);
  return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetFileType(h) != FILE_TYPE_UNKNOWN;
}

void write_all(HANDLE h, const std::string& text) {
  DWORD written = 0;
  ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::wstring wide(const std::string& text) {
  const std::u16string w = launcher::to_utf16(text);
  return std::wstring(w.begin(), w.end());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (const std::string started = env(L"REPORT_ARGS_STARTED"); !started.empty()) {
    HANDLE f = ::CreateFileW(wide(started).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                             nullptr);
    ::CloseHandle(f);
  }
  if (const std::string wait_for = env(L"REPORT_ARGS_WAIT_FOR"); !wait_for.empty()) {
    for (int i = 0; i < 600 && ::GetFileAttributesW(wide(wait_for).c_str()) ==
                                   INVALID_FILE_ATTRIBUTES; ++i) {
      ::Sleep(100);
    }
  }
  std::string report = "command_line=" + utf8(::GetCommandLineW()) + "\n";
  int count = 0;
  LPWSTR* split = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  for (int i = 0; split != nullptr && i < count; ++i) report += "argv=" + utf8(split[i]) + "\n";
  ::LocalFree(split);
  for (int i = 0; i < argc; ++i) report += "crt_argv=" + utf8(argv[i]) + "\n";
  report += std::string("stdin=") + (usable(STD_INPUT_HANDLE) ? "1" : "0") +
            " stdout=" + (usable(STD_OUTPUT_HANDLE) ? "1" : "0") +
            " stderr=" + (usable(STD_ERROR_HANDLE) ? "1" : "0") + "\n";
  if (usable(STD_OUTPUT_HANDLE)) write_all(::GetStdHandle(STD_OUTPUT_HANDLE), report);
  if (const std::string file = env(L"REPORT_ARGS_FILE"); !file.empty()) {
    HANDLE f = ::CreateFileW(wide(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                             nullptr);
    write_all(f, report);
    ::CloseHandle(f);
  }
  return 0;
}
