#include "launcher/platform_ops.h"
#include "platform/win32.h"

namespace launcher {

// Closes the process handle, then the thread handle, then any pipes. Closing a process handle
// neither waits for the process nor ends it.
void ChildProcess::release() noexcept {
  for (Handle* handle : {&process_, &thread_, &stdin_pipe_, &stdout_pipe_, &stderr_pipe_}) {
    if (*handle != nullptr) ::CloseHandle(*handle);
    *handle = nullptr;
  }
}

}  // namespace launcher
