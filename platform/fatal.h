#pragma once
// Fatal internal errors: not returned, but reported and ended at once.

#include <cstddef>
#include <string_view>

namespace launcher {

// Writes `message` and a line feed to the standard error handle when the process has one (a
// graphical program started normally has none, and then nothing is written), then ends the process
// through the fail-fast request with code 7: no unwinding, no clean-up, no exit status of its own.
[[noreturn]] void fatal_error(std::string_view message) noexcept;

// fatal_error("memory allocation of <size> bytes failed"); allocates nothing itself.
[[noreturn]] void fatal_allocation_failure(std::size_t size) noexcept;

// A broken internal invariant.
[[noreturn]] inline void unreachable() noexcept {
  fatal_error("internal error: entered unreachable code");
}

}  // namespace launcher
