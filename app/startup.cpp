#include "app/startup.h"

#include <string_view>

#include "platform/win32.h"

namespace launcher {
namespace {

constexpr ULONG STACK_OVERFLOW_REPORT_BYTES = 20480;

LONG CALLBACK report_stack_overflow(EXCEPTION_POINTERS* exception) {
  if (exception->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
    constexpr std::string_view text = "\nthread 'main' has overflowed its stack\n";
    HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    if (err != nullptr && err != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      ::WriteFile(err, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

// SetThreadDescription exists from Windows 10 1607 on; older systems (and Wine's kernel32 in some
// versions) lack it, so it is looked up instead of imported.
void name_main_thread() {
  using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  HMODULE kernel32 = ::GetModuleHandleA("kernel32");
  if (kernel32 == nullptr) return;
  FARPROC proc = ::GetProcAddress(kernel32, "SetThreadDescription");
  if (proc == nullptr) return;
  auto set_description = reinterpret_cast<SetDescription>(reinterpret_cast<void (*)()>(proc));
  set_description(::GetCurrentThread(), L"main");
}

}  // namespace

void start_runtime() noexcept {
  ::AddVectoredExceptionHandler(0, report_stack_overflow);
  ULONG reserve = STACK_OVERFLOW_REPORT_BYTES;
  ::SetThreadStackGuarantee(&reserve);
  name_main_thread();
}

}  // namespace launcher
