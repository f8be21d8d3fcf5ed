#pragma once
// What the launch sequence needs from the system. Bound at link time: the program links the
// Windows implementations, the launch sequence's tests a scripted substitute. No Windows header.

#include <string_view>

#include "platform/command.h"
#include "platform/service_error.h"

namespace launcher {

// True when something (a file or a directory) is at `path`; false on every failure. Never fails;
// keeps nothing open.
bool path_exists(std::string_view path);

// Owns the handles of a started child: the process, its main thread, and pipes a command could
// ask for (this program never does). Move-only. Releasing closes the process handle, then the
// thread handle, then any pipes; it neither waits for the child nor ends it.
class ChildProcess {
 public:
  using Handle = void*;

  ChildProcess() = default;
  ChildProcess(Handle process, Handle thread) : process_(process), thread_(thread) {}
  ChildProcess(ChildProcess&& other) noexcept { take(other); }
  ChildProcess& operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
      release();
      take(other);
    }
    return *this;
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() { release(); }

  Handle process_handle() const { return process_; }
  Handle thread_handle() const { return thread_; }

  // Closes what the record holds and leaves it empty; defined by the platform.
  void release() noexcept;

 private:
  void take(ChildProcess& other) noexcept {
    process_ = other.process_, thread_ = other.thread_;
    stdin_pipe_ = other.stdin_pipe_, stdout_pipe_ = other.stdout_pipe_;
    stderr_pipe_ = other.stderr_pipe_;
    other.process_ = other.thread_ = nullptr;
    other.stdin_pipe_ = other.stdout_pipe_ = other.stderr_pipe_ = nullptr;
  }

  Handle process_ = nullptr;
  Handle thread_ = nullptr;
  Handle stdin_pipe_ = nullptr;  // null: no pipe
  Handle stdout_pipe_ = nullptr;
  Handle stderr_pipe_ = nullptr;
};

// Starts the described process and returns as soon as the system has created it. The command stays
// with the caller. On failure no process has been started.
Result<ChildProcess> spawn(const ProcessCommand& command);

}  // namespace launcher
