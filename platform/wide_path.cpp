#include "platform/wide_path.h"

#include <array>
#include <memory>

#include "platform/fatal.h"
#include "platform/utf16.h"
#include "platform/win32.h"

namespace launcher {
namespace {

constexpr DWORD MAX_DWORD = 0xFFFFFFFF;

bool is_separator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

// One call of `call` with `size` units at `buffer`. Size conventions:
// - GetFullPathNameW, GetSystemDirectoryW, GetWindowsDirectoryW, GetEnvironmentVariableW: success
//   returns the length without terminator (< size); a buffer too small returns the size needed,
//   terminator included (> size). GetEnvironmentVariableW returns 0 with ERROR_ENVVAR_NOT_FOUND for
//   an unset variable, and 0 with the last error untouched for an empty one.
// - GetModuleFileNameW: a buffer too small is filled with a truncated path and the call returns
//   `size` with ERROR_INSUFFICIENT_BUFFER; it never reports the size it needs.
DWORD invoke(BufferCall call, const char16_t* name, char16_t* buffer, DWORD size) {
  switch (call) {
    case BufferCall::FullPathName:
      return ::GetFullPathNameW(win::wide(name), size, win::wide(buffer), nullptr);
    case BufferCall::ModuleFileName:
      return ::GetModuleFileNameW(nullptr, win::wide(buffer), size);
    case BufferCall::SystemDirectory:
      return ::GetSystemDirectoryW(win::wide(buffer), size);
    case BufferCall::WindowsDirectory:
      return ::GetWindowsDirectoryW(win::wide(buffer), size);
    case BufferCall::EnvironmentVariable:
      return ::GetEnvironmentVariableW(win::wide(name), win::wide(buffer), size);
  }
  unreachable();
}

Result<WideString> encode_for_winapi(std::string_view path) {
  WideString w = to_utf16(path);
  if (w.find(u'\0') != WideString::npos) {
    return std::unexpected(ServiceError::of(ErrorCategory::InvalidInput, MSG_WINAPI_NUL));
  }
  return w;
}

// Steps after the encoding, shared by both conversions.
Result<WideString> finish_wide_path(WideString w, bool always_prefix) {
  if (!needs_full_path(w)) return w;
  Result<std::u16string> abs = full_path_name(w);
  if (!abs) return std::unexpected(abs.error());
  if (always_prefix || abs->size() + 1 >= SHORT_PATH_LIMIT) return with_long_path_prefix(*abs);
  return std::move(*abs);
}

// For a prefixed program path: the plain form `rest` when GetFullPathNameW leaves it unchanged,
// else the prefixed original `w`.
Result<WideString> strip_prefix_if_same(WideString w, WideString rest) {
  Result<std::u16string> full = full_path_name(rest);
  if (!full) return std::unexpected(full.error());
  if (*full == rest) return rest;
  return w;
}

}  // namespace

Result<std::u16string> call_with_growing_buffer(BufferCall call, const char16_t* name) {
  std::array<char16_t, FIRST_BUFFER_UNITS> stack_buffer;
  std::unique_ptr<char16_t[]> heap_buffer;
  char16_t* buffer = stack_buffer.data();
  DWORD size = FIRST_BUFFER_UNITS;
  for (;;) {
    ::SetLastError(0);
    const DWORD k = invoke(call, name, buffer, size);
    // The last error is read only where the result alone does not tell: 0 is a failure when an
    // error was set and an empty text when none was (the error is cleared just before the call).
    if (k == 0) {
      const DWORD error = ::GetLastError();
      if (error != 0) return std::unexpected(ServiceError::os(error));
      return std::u16string();
    }
    if (k < size) return std::u16string(buffer, k);
    if (k == size) {
      if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) unreachable();
      size = size > MAX_DWORD / 2 ? MAX_DWORD : size * 2;
    } else {
      size = k;
    }
    heap_buffer.reset();  // release the old buffer before taking the larger one
    heap_buffer.reset(new char16_t[size]);
    buffer = heap_buffer.get();
  }
}

Result<std::u16string> full_path_name(const WideString& path) {
  return call_with_growing_buffer(BufferCall::FullPathName, path.c_str());
}

bool needs_full_path(std::u16string_view w) {
  const std::size_t n = w.size() + 1;
  if (w.starts_with(LONG_PATH_PREFIX) || w.starts_with(NT_PATH_PREFIX)) return false;
  if (n == 1) return false;
  if (n >= SHORT_PATH_LIMIT || w.size() < 2) return true;
  const bool drive_absolute =
      w[1] == u':' && !is_separator(w[0]) && (w.size() == 2 || is_separator(w[2]));
  const bool two_separators = is_separator(w[0]) && is_separator(w[1]);
  return !(drive_absolute || two_separators);
}

WideString with_long_path_prefix(std::u16string_view abs) {
  WideString out;
  if (abs.size() >= 3 && abs[1] == u':' && abs[2] == u'\\') {
    out.reserve(LONG_PATH_PREFIX.size() + abs.size());
    out.append(LONG_PATH_PREFIX).append(abs);
  } else if (abs.starts_with(DEVICE_PATH_PREFIX)) {
    out.append(LONG_PATH_PREFIX).append(abs.substr(DEVICE_PATH_PREFIX.size()));
  } else if (abs.starts_with(LONG_PATH_PREFIX) || abs.starts_with(u"\\?")) {
    out.assign(abs);
  } else if (abs.starts_with(u"\\\\")) {
    out.reserve(LONG_UNC_PREFIX.size() + abs.size());
    out.append(LONG_UNC_PREFIX).append(abs.substr(2));
  } else {
    out.assign(abs);
  }
  return out;
}

Result<WideString> to_wide_path(std::string_view path, bool always_prefix) {
  Result<WideString> w = encode_for_winapi(path);
  if (!w) return w;
  return finish_wide_path(std::move(*w), always_prefix);
}

Result<WideString> to_wide_program_path(std::string_view path) {
  Result<WideString> w = encode_for_winapi(path);
  if (!w) return w;
  if (w->size() + 1 > PROGRAM_PATH_LIMIT) return w;
  if (w->starts_with(LONG_PATH_PREFIX) && w->size() >= 7 && (*w)[5] == u':' && (*w)[6] == u'\\') {
    WideString rest = w->substr(LONG_PATH_PREFIX.size());
    return strip_prefix_if_same(std::move(*w), std::move(rest));
  }
  if (w->starts_with(LONG_UNC_PREFIX)) {
    WideString rest = u"\\\\" + w->substr(LONG_UNC_PREFIX.size());
    return strip_prefix_if_same(std::move(*w), std::move(rest));
  }
  return finish_wide_path(std::move(*w), false);
}

}  // namespace launcher
