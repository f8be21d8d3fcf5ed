// A witness for the round trip through the spawner: writes how its own command line came apart to
// the file named by ARGV_WITNESS_FILE (the command line is the subject; it carries nothing else).
// The file is UTF-16LE, a sequence of fields each ended by U+0000, which no argument can hold:
//   GetCommandLineW
//   N, then N fields: the arguments as the real CommandLineToArgvW splits that line, program first
//   M, then M fields: the C runtime's own argv, as wmain received it from msvcrt's start-up
// N and M are decimal. Exits 0 once the file is written, 1 when it could not be.

#include <string>

#include "platform/win32.h"

#include <shellapi.h>

namespace {

void append_field(std::wstring& out, const wchar_t* text) {
  out += text;
  out += L'\0';
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  wchar_t path[1024];
  const DWORD n = ::GetEnvironmentVariableW(L"ARGV_WITNESS_FILE", path, 1024);
  if (n == 0 || n >= 1024) return 1;

  std::wstring report;
  append_field(report, ::GetCommandLineW());
  int count = 0;
  LPWSTR* split = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (split == nullptr) return 1;
  append_field(report, std::to_wstring(count).c_str());
  for (int i = 0; i < count; ++i) append_field(report, split[i]);
  ::LocalFree(split);
  append_field(report, std::to_wstring(argc).c_str());
  for (int i = 0; i < argc; ++i) append_field(report, argv[i]);

  HANDLE f = ::CreateFileW(path, GENERIC_WRITE, 0, /*lpSecurityAttributes=*/nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, /*hTemplateFile=*/nullptr);
  if (f == INVALID_HANDLE_VALUE) return 1;
  const DWORD size = static_cast<DWORD>(report.size() * sizeof(wchar_t));
  DWORD written = 0;
  const BOOL ok = ::WriteFile(f, report.data(), size, &written, /*lpOverlapped=*/nullptr);
  ::CloseHandle(f);
  return ok && written == size ? 0 : 1;
}
