#pragma once

namespace launcher {

// Start-up before the launch sequence: a report on standard error when a thread overflows its
// stack (the exception itself is left to the system), stack reserved for writing that report, and
// the main thread named "main" where the system can name threads.
void start_runtime() noexcept;

}  // namespace launcher
