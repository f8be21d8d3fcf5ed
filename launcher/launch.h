#pragma once

namespace launcher {

// Opens APP_URL in the first browser candidate that is present and starts, or else through the
// command interpreter's `start`. Probes and starts alternate: a candidate is probed only after the
// one before it was found absent or failed to start. Never fails: every failure is absorbed and the
// next way taken; the fallback's result is ignored. Never waits for what it started.
void run_launcher();

}  // namespace launcher
