#include "tests/fake_platform.h"

#include <cstdlib>
#include <new>

#include "launcher/platform_ops.h"

namespace fake {
namespace {

Script script;
std::vector<std::string> recorded;
std::vector<Start> started;
// The argument buffer of each command handed to spawn: freeing it is the command's release. A
// command's argument list is heap-allocated and never grows after spawn, so its buffer pointer
// identifies it until it is released.
std::vector<const void*> watched;
int next_handle = 1;

}  // namespace

void reset(Script s) {
  script = std::move(s);
  recorded.clear();
  started.clear();
  watched.clear();
}

const std::vector<std::string>& events() { return recorded; }
const std::vector<Start>& starts() { return started; }

void note_free(void* p) {
  for (auto it = watched.begin(); it != watched.end(); ++it) {
    if (*it == p) {
      watched.erase(it);
      recorded.push_back("release command");
      return;
    }
  }
}

}  // namespace fake

// Allocation replaced together with release, so the pair stays matched (a sanitizer checks that
// what operator new gave is what operator delete frees).
void* operator new(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void operator delete(void* p) noexcept {
  if (p != nullptr) fake::note_free(p);
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace launcher {

bool path_exists(std::string_view path) {
  fake::recorded.push_back("probe " + std::string(path));
  return fake::script.present.contains(std::string(path));
}

Result<ChildProcess> spawn(const ProcessCommand& command) {
  fake::recorded.push_back("start " + command.program);
  fake::started.push_back({command.program, command.arguments, {}});
  if (auto line = encode_command_line(command)) fake::started.back().command_line = *line;
  if (!command.arguments.empty()) fake::watched.push_back(command.arguments.data());
  if (fake::script.failing.contains(command.program)) {
    return std::unexpected(ServiceError::os(2));
  }
  auto process = reinterpret_cast<ChildProcess::Handle>(static_cast<std::intptr_t>(fake::next_handle++));
  auto thread = reinterpret_cast<ChildProcess::Handle>(static_cast<std::intptr_t>(fake::next_handle++));
  return ChildProcess(process, thread);
}

void ChildProcess::release() noexcept {
  if (process_ == nullptr && thread_ == nullptr) return;
  fake::recorded.push_back("release child");
  process_ = thread_ = nullptr;
}

}  // namespace launcher
