#include "tests/sim/kernel32_sim.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace sim {
namespace {

enum class Kind { File, Find, Process, Thread, Duplicate };

struct OpenHandle {
  Kind kind;
  std::u16string path;  // normalised, for files and finds
  Entry entry;
};

State current;
std::map<HANDLE, OpenHandle> open;
std::uintptr_t next_handle = 0x1000;
thread_local DWORD last_error = 0;

HANDLE const STD_HANDLES[3] = {reinterpret_cast<HANDLE>(0x11), reinterpret_cast<HANDLE>(0x12),
                               reinterpret_cast<HANDLE>(0x13)};
HANDLE const CURRENT_PROCESS = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

HANDLE new_handle(Kind kind, std::u16string path = {}, Entry entry = {}) {
  next_handle += 4;
  HANDLE h = reinterpret_cast<HANDLE>(next_handle);
  open[h] = {kind, std::move(path), std::move(entry)};
  return h;
}

std::u16string text_of(const char16_t* s) { return s ? std::u16string(s) : std::u16string(); }

void record(std::string function, std::u16string text, std::vector<std::uint64_t> args = {}) {
  current.calls.push_back({std::move(function), std::move(text), std::move(args)});
}

std::uint64_t as_number(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

const Entry* find_entry(const std::u16string& normalised) {
  auto it = current.files.find(normalised);
  return it == current.files.end() ? nullptr : &it->second;
}

// Copies `text` with its NUL when it fits; returns what the size-reporting calls return.
DWORD fill(const std::u16string& text, char16_t* buffer, DWORD size) {
  if (text.size() + 1 > size) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(char16_t));
  return static_cast<DWORD>(text.size());
}

// Removes "." and ".." components after the root of `path` (whose first `root` units stay).
std::u16string collapse(const std::u16string& path, std::size_t root) {
  std::vector<std::u16string> parts;
  std::u16string part;
  const bool trailing = path.size() > root && path.back() == u'\\';
  for (std::size_t i = root; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == u'\\') {
      if (part == u"..") {
        if (!parts.empty()) parts.pop_back();
      } else if (!part.empty() && part != u".") {
        parts.push_back(part);
      }
      part.clear();
    } else {
      part.push_back(path[i]);
    }
  }
  std::u16string out = path.substr(0, root);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) out.push_back(u'\\');
    out += parts[i];
  }
  if (trailing && !parts.empty()) out.push_back(u'\\');
  return out;
}

// GetFullPathNameW's computation, for the forms the tests use.
std::u16string full_path(std::u16string p) {
  if (p.starts_with(u"\\\\?\\")) return p;
  for (char16_t& c : p) c = c == u'/' ? u'\\' : c;
  const std::u16string& cwd = current.current_directory;
  if (p.starts_with(u"\\\\.\\")) return p;
  if (p.starts_with(u"\\\\")) {
    // \\server\share is the root of a UNC path.
    std::size_t server_end = p.find(u'\\', 2);
    std::size_t share_end = server_end == std::u16string::npos ? std::u16string::npos
                                                               : p.find(u'\\', server_end + 1);
    if (share_end == std::u16string::npos) return p;
    return collapse(p, share_end + 1);
  }
  if (p.size() >= 2 && p[1] == u':') {
    if (p.size() >= 3 && p[2] == u'\\') return collapse(p, 3);
    // Drive-relative: against the current directory when it is on that drive.
    std::u16string base = (std::toupper(p[0]) == std::toupper(cwd[0])) ? cwd
                                                                        : p.substr(0, 2) + u"\\";
    if (!base.ends_with(u"\\")) base.push_back(u'\\');
    return collapse(base + p.substr(2), 3);
  }
  if (p.starts_with(u"\\")) return collapse(cwd.substr(0, 2) + p, 3);
  std::u16string base = cwd;
  if (!base.ends_with(u"\\")) base.push_back(u'\\');
  return collapse(base + p, 3);
}

}  // namespace

std::u16string normalise(std::u16string_view path) {
  std::u16string p(path);
  if (p.starts_with(u"\\\\?\\UNC\\")) {
    p = u"\\\\" + p.substr(8);
  } else if (p.starts_with(u"\\\\?\\")) {
    p = p.substr(4);
  }
  for (char16_t& c : p) {
    if (c == u'/') c = u'\\';
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  while (p.size() > 3 && p.back() == u'\\') p.pop_back();
  return p;
}

State& state() { return current; }

void reset() {
  current = State{};
  current.std_input = STD_HANDLES[0];
  current.std_output = STD_HANDLES[1];
  current.std_error = STD_HANDLES[2];
  open.clear();
  last_error = 0;
}

std::size_t open_handle_count() { return open.size(); }

HANDLE standard_handle(int which) { return STD_HANDLES[which]; }

void add_file(std::u16string_view path, DWORD attributes) {
  current.files[normalise(path)] = Entry{attributes, 0, {}};
}

void add_directory(std::u16string_view path) { add_file(path, FILE_ATTRIBUTE_DIRECTORY); }

void add_reparse_point(std::u16string_view path, DWORD tag, std::u16string_view target) {
  current.files[normalise(path)] =
      Entry{FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT, tag, std::u16string(target)};
}

std::vector<Call> calls_of(std::string_view function) {
  std::vector<Call> out;
  for (const Call& c : current.calls) {
    if (c.function == function) out.push_back(c);
  }
  return out;
}

std::vector<std::string> call_names() {
  std::vector<std::string> out;
  for (const Call& c : current.calls) out.push_back(c.function);
  return out;
}

}  // namespace sim

using namespace sim;

void SetLastError(DWORD code) { last_error = code; }
DWORD GetLastError() { return last_error; }

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                   DWORD disposition, DWORD flags, HANDLE templ) {
  record("CreateFileW", text_of(name),
         {access, share, as_number(security), disposition, flags, as_number(templ)});
  const std::u16string path = normalise(text_of(name));
  const bool follow = (flags & FILE_FLAG_OPEN_REPARSE_POINT) == 0;
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (auto it = current.open_failures.find(path); it != current.open_failures.end()) {
    const DWORD error = follow ? it->second.follow : it->second.no_follow;
    if (error != 0) {
      SetLastError(error);
      return INVALID_HANDLE_VALUE;
    }
  }
  const Entry* entry = find_entry(path);
  if (entry && follow && (entry->attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    entry = entry->link_target.empty() ? nullptr : find_entry(normalise(entry->link_target));
  }
  if (!entry) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  return new_handle(Kind::File, path, *entry);
}

BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
  record("GetFileInformationByHandle", {}, {as_number(file)});
  auto it = open.find(file);
  if (it == open.end() || it->second.kind != Kind::File) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (auto f = current.information_failures.find(it->second.path);
      f != current.information_failures.end()) {
    SetLastError(f->second);
    return FALSE;
  }
  *info = {};
  info->dwFileAttributes = it->second.entry.attributes;
  info->nNumberOfLinks = 1;
  return TRUE;
}

BOOL GetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS cls, LPVOID out,
                                  DWORD size) {
  record("GetFileInformationByHandleEx", {}, {as_number(file), static_cast<std::uint64_t>(cls), size});
  auto it = open.find(file);
  if (it == open.end() || it->second.kind != Kind::File || cls != FileAttributeTagInfo ||
      size != sizeof(FILE_ATTRIBUTE_TAG_INFO)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (auto f = current.tag_information_failures.find(it->second.path);
      f != current.tag_information_failures.end()) {
    SetLastError(f->second);
    return FALSE;
  }
  auto* tag = static_cast<FILE_ATTRIBUTE_TAG_INFO*>(out);
  tag->FileAttributes = it->second.entry.attributes;
  tag->ReparseTag = it->second.entry.reparse_tag;
  return TRUE;
}

HANDLE FindFirstFileExW(LPCWSTR name, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS op,
                        LPVOID filter, DWORD flags) {
  record("FindFirstFileExW", text_of(name),
         {static_cast<std::uint64_t>(level), static_cast<std::uint64_t>(op), as_number(filter),
          flags});
  const std::u16string path = normalise(text_of(name));
  if (auto f = current.find_failures.find(path); f != current.find_failures.end()) {
    SetLastError(f->second);
    return INVALID_HANDLE_VALUE;
  }
  const Entry* entry = find_entry(path);
  if (!entry) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  auto* record_out = static_cast<WIN32_FIND_DATAW*>(data);
  record_out->dwFileAttributes = entry->attributes;
  record_out->dwReserved0 = entry->reparse_tag;
  return new_handle(Kind::Find, path, *entry);
}

static BOOL close_kind(HANDLE h, bool find) {
  auto it = open.find(h);
  if (it == open.end() || (it->second.kind == Kind::Find) != find) {
    ++current.bad_closes;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  open.erase(it);
  current.closed.push_back(h);
  return TRUE;
}

BOOL FindClose(HANDLE h) {
  record("FindClose", {}, {as_number(h)});
  return close_kind(h, true);
}

BOOL CloseHandle(HANDLE h) {
  record("CloseHandle", {}, {as_number(h)});
  return close_kind(h, false);
}

DWORD GetFullPathNameW(LPCWSTR name, DWORD size, LPWSTR buffer, LPWSTR* file_part) {
  record("GetFullPathNameW", text_of(name), {size, as_number(file_part)});
  if (current.full_path_responder) return current.full_path_responder(name, buffer, size);
  if (auto f = current.full_path_failures.find(text_of(name));
      f != current.full_path_failures.end()) {
    SetLastError(f->second);
    return 0;
  }
  const std::u16string input = text_of(name);
  if (input.empty()) {
    SetLastError(123);  // ERROR_INVALID_NAME
    return 0;
  }
  return fill(full_path(input), buffer, size);
}

DWORD GetFileAttributesW(LPCWSTR name) {
  record("GetFileAttributesW", text_of(name));
  const Entry* entry = find_entry(normalise(text_of(name)));
  if (!entry) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  return entry->attributes;
}

BOOL CreateProcessW(LPCWSTR application, LPWSTR command_line, SECURITY_ATTRIBUTES* process_attributes,
                    SECURITY_ATTRIBUTES* thread_attributes, BOOL inherit, DWORD flags,
                    LPVOID environment, LPCWSTR directory, STARTUPINFOW* startup,
                    PROCESS_INFORMATION* info) {
  record("CreateProcessW", text_of(command_line));
  current.starts.push_back({text_of(application), text_of(command_line),
                            process_attributes == nullptr, thread_attributes == nullptr, inherit,
                            flags, environment == nullptr, directory == nullptr, *startup,
                            current.lock_held});
  DWORD error = 0;
  if (current.create_process_failure) {
    error = *current.create_process_failure;
  } else if (const Entry* entry = find_entry(normalise(text_of(application))); !entry) {
    error = ERROR_FILE_NOT_FOUND;
  } else if (entry->attributes & FILE_ATTRIBUTE_DIRECTORY) {
    error = ERROR_ACCESS_DENIED;
  }
  if (error != 0) {
    SetLastError(error);
    return FALSE;
  }
  info->hProcess = new_handle(Kind::Process);
  info->hThread = new_handle(Kind::Thread);
  info->dwProcessId = 100;
  info->dwThreadId = 101;
  return TRUE;
}

HANDLE GetStdHandle(DWORD which) {
  record("GetStdHandle", {}, {which});
  if (which == STD_INPUT_HANDLE) return current.std_input;
  if (which == STD_OUTPUT_HANDLE) return current.std_output;
  if (which == STD_ERROR_HANDLE) return current.std_error;
  SetLastError(ERROR_INVALID_HANDLE);
  return INVALID_HANDLE_VALUE;
}

BOOL DuplicateHandle(HANDLE source_process, HANDLE source, HANDLE target_process, HANDLE* target,
                     DWORD access, BOOL inherit, DWORD options) {
  record("DuplicateHandle", {},
         {as_number(source_process), as_number(source), as_number(target_process), access,
          static_cast<std::uint64_t>(inherit), options});
  if (auto f = current.duplicate_failures.find(source); f != current.duplicate_failures.end()) {
    SetLastError(f->second);
    return FALSE;
  }
  *target = new_handle(Kind::Duplicate);
  return TRUE;
}

HANDLE GetCurrentProcess() { return CURRENT_PROCESS; }

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
  record("GetModuleFileNameW", {}, {as_number(module), size});
  if (current.module_responder) return current.module_responder(nullptr, buffer, size);
  // Truncates and reports ERROR_INSUFFICIENT_BUFFER instead of the size needed.
  const std::u16string& path = current.module_path;
  if (path.size() + 1 > size) {
    if (size > 0) {
      std::memcpy(buffer, path.data(), (size - 1) * sizeof(char16_t));
      buffer[size - 1] = 0;
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  return fill(path, buffer, size);
}

UINT GetSystemDirectoryW(LPWSTR buffer, UINT size) {
  record("GetSystemDirectoryW", {}, {size});
  if (current.system_directory_responder) {
    return current.system_directory_responder(nullptr, buffer, size);
  }
  return fill(current.system_directory, buffer, size);
}

UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size) {
  record("GetWindowsDirectoryW", {}, {size});
  if (current.windows_directory_responder) {
    return current.windows_directory_responder(nullptr, buffer, size);
  }
  return fill(current.windows_directory, buffer, size);
}

DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size) {
  record("GetEnvironmentVariableW", text_of(name), {size});
  if (current.environment_responder) return current.environment_responder(name, buffer, size);
  auto it = current.environment.find(text_of(name));
  if (it == current.environment.end()) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  if (it->second.empty()) {
    if (size > 0) buffer[0] = 0;
    return 0;  // an empty value: zero with the last error untouched
  }
  return fill(it->second, buffer, size);
}

void AcquireSRWLockExclusive(SRWLOCK*) {
  record("AcquireSRWLockExclusive", {});
  if (current.lock_held) std::abort();  // not re-entrant: a second acquire would deadlock
  current.lock_held = true;
  ++current.lock_acquisitions;
}

void ReleaseSRWLockExclusive(SRWLOCK*) {
  record("ReleaseSRWLockExclusive", {});
  if (!current.lock_held) std::abort();
  current.lock_held = false;
}

BOOL WriteFile(HANDLE file, LPCVOID data, DWORD size, DWORD* written, void*) {
  record("WriteFile", {}, {as_number(file), size});
  if (file != current.std_error || file == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  current.stderr_text.append(static_cast<const char*>(data), size);
  // The host's own standard error, so that death tests see the report.
  ssize_t n = ::write(2, data, size);
  if (written) *written = n > 0 ? static_cast<DWORD>(n) : 0;
  return TRUE;
}

namespace launcher::win {

void fail_fast(unsigned code) {
  record("fail_fast", {}, {code});
  std::abort();
}

}  // namespace launcher::win
