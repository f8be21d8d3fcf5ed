#include "platform/fatal.h"

#include "platform/win32.h"

namespace launcher {
namespace {

constexpr unsigned FATAL_APP_EXIT_CODE = 7;

void write_stderr(const char* data, std::size_t size) noexcept {
  HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
  if (err == nullptr || err == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(err, data, static_cast<DWORD>(size), &written, nullptr);
}

}  // namespace

void fatal_error(std::string_view message) noexcept {
  // One write, so the line is not interleaved with another writer's output.
  char line[256];
  const std::size_t n = message.size() < sizeof line - 1 ? message.size() : sizeof line - 1;
  for (std::size_t i = 0; i < n; ++i) line[i] = message[i];
  line[n] = '\n';
  write_stderr(line, n + 1);
  win::fail_fast(FATAL_APP_EXIT_CODE);
}

void fatal_allocation_failure(std::size_t size) noexcept {
  constexpr std::string_view head = "memory allocation of ";
  constexpr std::string_view tail = " bytes failed";
  char digits[20];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + size % 10);
    size /= 10;
  } while (size != 0);
  char text[64];
  std::size_t n = 0;
  for (const char c : head) text[n++] = c;
  while (count != 0) text[n++] = digits[--count];
  for (const char c : tail) text[n++] = c;
  fatal_error(std::string_view(text, n));
}

}  // namespace launcher
