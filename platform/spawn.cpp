#include "platform/spawn.h"

#include "launcher/platform_ops.h"
#include "platform/command.h"
#include "platform/utf16.h"
#include "platform/win32.h"

namespace launcher {
namespace {

bool is_separator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

bool ends_with_program_suffix(std::string_view p) {
  if (p.size() < PROGRAM_SUFFIX.size()) return false;
  const std::string_view tail = p.substr(p.size() - PROGRAM_SUFFIX.size());
  for (std::size_t i = 0; i < tail.size(); ++i) {
    char c = tail[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != PROGRAM_SUFFIX[i]) return false;
  }
  return true;
}

bool has_no_file_name(std::string_view p) {
  if (p.empty()) return true;
  const char last = p.back();
  // A verbatim path takes "/" as an ordinary character.
  if (p.starts_with(R"(\\?\)")) return last == '\\';
  return last == '\\' || last == '/';
}

// The directory part of the running program's path, with its final separator kept, so that a
// program at a drive's root gives "C:\" and not the drive-relative "C:".
std::optional<std::u16string> own_directory() {
  Result<std::u16string> module = call_with_growing_buffer(BufferCall::ModuleFileName);
  if (!module) return std::nullopt;
  const std::size_t last = module->find_last_of(u"\\/");
  if (last == std::u16string::npos) return std::nullopt;  // never a relative search directory
  module->resize(last + 1);
  return std::move(*module);
}

std::optional<std::u16string> directory_from(BufferCall call) {
  Result<std::u16string> dir = call_with_growing_buffer(call);
  if (!dir) return std::nullopt;
  return std::move(*dir);
}

Result<WideString> search_bare_name(std::string_view program) {
  if (program.find('\0') != std::string_view::npos) {
    return std::unexpected(ServiceError::of(ErrorCategory::InvalidInput, MSG_DATA_NUL));
  }
  const std::u16string name = to_utf16(program);
  const bool add_extension = program.find('.') == std::string_view::npos;
  auto try_in = [&](const std::optional<std::u16string>& dir) -> std::optional<WideString> {
    if (!dir) return std::nullopt;
    return try_program_file(search_candidate(*dir, name, add_extension));
  };
  for (const BufferCall call :
       {BufferCall::ModuleFileName, BufferCall::SystemDirectory, BufferCall::WindowsDirectory}) {
    const std::optional<std::u16string> dir =
        call == BufferCall::ModuleFileName ? own_directory() : directory_from(call);
    if (auto found = try_in(dir)) return std::move(*found);
  }
  const WideString variable(SEARCH_VARIABLE);
  const Result<std::u16string> path = call_with_growing_buffer(BufferCall::EnvironmentVariable,
                                                               variable.c_str());
  if (path) {
    for (const std::u16string& entry : split_search_path(*path)) {
      if (auto found = try_in(entry)) return std::move(*found);
    }
  }
  return std::unexpected(ServiceError::of(ErrorCategory::NotFound, MSG_NOT_FOUND));
}

// Refuses a batch script: starting one needs a command line for the command interpreter, whose
// own parsing these arguments were not quoted for.
Result<void> refuse_batch_script(const WideString& app) {
  if (app.starts_with(LONG_PATH_PREFIX) || app.starts_with(NT_PATH_PREFIX)) {
    if (is_batch_script_name(app)) {
      return std::unexpected(
          ServiceError::of(ErrorCategory::InvalidInput, "batch scripts cannot be started"));
    }
    return {};
  }
  const Result<std::u16string> full = full_path_name(app);
  if (!full) return std::unexpected(full.error());
  if (is_batch_script_name(*full)) {
    return std::unexpected(
        ServiceError::of(ErrorCategory::InvalidInput, "batch scripts cannot be started"));
  }
  return {};
}

// The process-wide lock held around duplicating the standard handles and CreateProcessW, so that
// no other start inherits the duplicates meant for this child.
SRWLOCK spawn_lock = SRWLOCK_INIT;

class SpawnLockGuard {
 public:
  SpawnLockGuard() { ::AcquireSRWLockExclusive(&spawn_lock); }
  ~SpawnLockGuard() { ::ReleaseSRWLockExclusive(&spawn_lock); }
  SpawnLockGuard(const SpawnLockGuard&) = delete;
  SpawnLockGuard& operator=(const SpawnLockGuard&) = delete;
};

}  // namespace

std::vector<std::u16string> split_search_path(std::u16string_view value) {
  std::vector<std::u16string> entries;
  std::u16string current;
  bool quoted = false;
  for (const char16_t unit : value) {
    if (unit == u'"') {
      quoted = !quoted;
    } else if (unit == u';' && !quoted) {
      if (!current.empty()) entries.push_back(std::move(current));
      current.clear();
    } else {
      current.push_back(unit);
    }
  }
  if (!current.empty()) entries.push_back(std::move(current));
  return entries;
}

std::u16string search_candidate(std::u16string_view directory, std::u16string_view name,
                                bool add_extension) {
  std::u16string candidate;
  const bool name_has_drive = name.size() >= 2 && name[1] == u':';
  if (!name_has_drive) {
    candidate.assign(directory);
    const bool drive_alone = directory.size() == 2 && directory[1] == u':';
    if (!directory.empty() && !is_separator(directory.back()) && !drive_alone) {
      candidate.push_back(u'\\');
    }
  }
  candidate.append(name);
  if (add_extension) {
    candidate.push_back(u'.');
    append_utf16(candidate, PROGRAM_EXTENSION);
  }
  return candidate;
}

bool is_batch_script_name(std::u16string_view path) {
  if (path.size() < 4) return false;
  std::u16string tail(path.substr(path.size() - 4));
  for (char16_t& unit : tail) {
    if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit - u'A' + u'a');
  }
  return tail == u".bat" || tail == u".cmd";
}

std::optional<WideString> try_program_file(std::u16string_view path) {
  Result<WideString> w = to_wide_program_path(to_utf8(path));
  if (!w) return std::nullopt;
  if (::GetFileAttributesW(win::wide(w->c_str())) == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return std::move(*w);
}

Result<WideString> resolve_program(std::string_view program) {
  if (has_no_file_name(program)) {
    return std::unexpected(ServiceError::of(ErrorCategory::InvalidInput, MSG_NO_FILE_NAME));
  }
  if (program.find_first_of("\\/") == std::string_view::npos) return search_bare_name(program);
  if (!ends_with_program_suffix(program)) {
    std::u16string with_suffix = to_utf16(program);
    append_utf16(with_suffix, PROGRAM_SUFFIX);
    if (auto found = try_program_file(with_suffix)) return std::move(*found);
  }
  return to_wide_program_path(program);
}

Result<UniqueHandle> duplicate_standard_handle(DWORD which) {
  HANDLE own = ::GetStdHandle(which);
  if (!UniqueHandle::is_handle(own)) return UniqueHandle();
  HANDLE duplicate = nullptr;
  HANDLE self = ::GetCurrentProcess();
  if (!::DuplicateHandle(self, own, self, &duplicate, /*dwDesiredAccess=*/0,
                         /*bInheritHandle=*/TRUE, DUPLICATE_SAME_ACCESS)) {
    return std::unexpected(ServiceError::os(::GetLastError()));
  }
  return UniqueHandle(duplicate);
}

Result<ChildProcess> spawn(const ProcessCommand& command) {
  const Result<WideString> app = resolve_program(command.program);
  if (!app) return std::unexpected(app.error());
  if (Result<void> ok = refuse_batch_script(*app); !ok) return std::unexpected(ok.error());
  Result<std::u16string> line = encode_command_line(command);
  if (!line) return std::unexpected(line.error());
  // CreateProcessW may write into the command line: it must be a writable, owned buffer.
  line->push_back(u'\0');

  PROCESS_INFORMATION info{};
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;

  const SpawnLockGuard lock;
  Result<UniqueHandle> in = duplicate_standard_handle(STD_INPUT_HANDLE);
  if (!in) return std::unexpected(in.error());
  Result<UniqueHandle> out = duplicate_standard_handle(STD_OUTPUT_HANDLE);
  if (!out) return std::unexpected(out.error());
  Result<UniqueHandle> err = duplicate_standard_handle(STD_ERROR_HANDLE);
  if (!err) return std::unexpected(err.error());
  if (in->valid() || out->valid() || err->valid()) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in->get();
    startup.hStdOutput = out->get();
    startup.hStdError = err->get();
  }
  if (!::CreateProcessW(win::wide(app->c_str()), win::wide(line->data()),
                        /*lpProcessAttributes=*/nullptr, /*lpThreadAttributes=*/nullptr,
                        /*bInheritHandles=*/TRUE, CREATE_UNICODE_ENVIRONMENT,
                        /*lpEnvironment=*/nullptr, /*lpCurrentDirectory=*/nullptr, &startup,
                        &info)) {
    return std::unexpected(ServiceError::os(::GetLastError()));
  }
  return ChildProcess(info.hProcess, info.hThread);
}

}  // namespace launcher
