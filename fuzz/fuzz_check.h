#pragma once
// What the fuzzers share: a check that stops the run where libFuzzer records the input, and a
// readable form of UTF-16 text for its report.

#include <cstdio>
#include <string>
#include <string_view>

namespace fuzz {

// Printable ASCII as it is, every other unit as \u{XXXX}.
inline std::string show(std::u16string_view text) {
  std::string out;
  for (const char16_t unit : text) {
    if (unit >= 0x20 && unit < 0x7F) {
      out.push_back(static_cast<char>(unit));
    } else {
      char escaped[16];
      std::snprintf(escaped, sizeof escaped, "\\u{%04X}", static_cast<unsigned>(unit));
      out += escaped;
    }
  }
  return out;
}

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "fuzz check failed at %s:%d: %s\n", file, line, what);
  __builtin_trap();
}

}  // namespace fuzz

// A broken property: the input that reached it is a finding. Traps rather than aborts, so that no
// handler can hide it.
#define FUZZ_REQUIRE(condition)                                    \
  do {                                                             \
    if (!(condition)) ::fuzz::fail(#condition, __FILE__, __LINE__); \
  } while (0)
