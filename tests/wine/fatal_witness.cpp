// Drives the program's fatal paths: `fatal_witness alloc N` asks the program's own operator new
// for N bytes; `fatal_witness invariant` breaks an internal invariant; `... quiet` first removes the
// standard error handle, as a GUI program started normally has none. Never returns normally from
// these; exit code 0 means the fatal path did not end the process.

#include <cstdlib>
#include <cwchar>
#include <new>

#include "platform/fatal.h"
#include "platform/win32.h"

int wmain(int argc, wchar_t** argv) {
  if (argc >= 3 && std::wcscmp(argv[argc - 1], L"quiet") == 0) {
    ::SetStdHandle(STD_ERROR_HANDLE, nullptr);
  }
  if (argc >= 3 && std::wcscmp(argv[1], L"alloc") == 0) {
    const std::size_t size = std::wcstoull(argv[2], nullptr, 10);
    void* volatile p = ::operator new(size);
    ::operator delete(p);
  } else if (argc >= 2 && std::wcscmp(argv[1], L"invariant") == 0) {
    launcher::unreachable();
  }
  return 0;
}
