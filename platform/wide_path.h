#pragma once
// Paths on their way to the Windows wide-character functions: UTF-16, long-path prefixes, and the
// one loop that reads any text Windows writes into a caller's buffer.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/service_error.h"

namespace launcher {

// UTF-16 text for a "W" function; c_str() supplies the terminating NUL. Limits below count its
// length as Windows does, in units including that NUL: size() + 1.
using WideString = std::u16string;

inline constexpr std::size_t SHORT_PATH_LIMIT = 248;
inline constexpr std::size_t PROGRAM_PATH_LIMIT = 260;
inline constexpr std::size_t FIRST_BUFFER_UNITS = 512;
inline constexpr std::u16string_view LONG_PATH_PREFIX = u"\\\\?\\";
inline constexpr std::u16string_view LONG_UNC_PREFIX = u"\\\\?\\UNC\\";
inline constexpr std::u16string_view NT_PATH_PREFIX = u"\\??\\";
inline constexpr std::u16string_view DEVICE_PATH_PREFIX = u"\\\\.\\";

// The calls that fill a caller's buffer; each one's size convention is stated at its adapter.
enum class BufferCall {
  FullPathName,         // GetFullPathNameW(name, size, buffer, NULL)
  ModuleFileName,       // GetModuleFileNameW(NULL, buffer, size)
  SystemDirectory,      // GetSystemDirectoryW(buffer, size)
  WindowsDirectory,     // GetWindowsDirectoryW(buffer, size)
  EnvironmentVariable,  // GetEnvironmentVariableW(name, buffer, size)
};

// Runs `call` first with a 512-unit buffer on the stack, then with a heap buffer as large as the
// call reports it needs, or twice as large when it reports ERROR_INSUFFICIENT_BUFFER by filling
// the buffer. Returns the units written, without terminator; a zero result with the last error
// still 0 is the empty text. Fails with the OS code of a zero result. A result equal to the size
// offered with any other last error breaks the calls' contract and ends the process.
Result<std::u16string> call_with_growing_buffer(BufferCall call, const char16_t* name = nullptr);

// The absolute, normalised form GetFullPathNameW computes for `path`, without terminator.
Result<std::u16string> full_path_name(const WideString& path);

// `path` as UTF-16. Short drive-absolute paths, short paths beginning with two separators, the
// empty path and paths already carrying "\\?\" or "\??\" come back as they are, with no system
// call. Anything else is made absolute by GetFullPathNameW and, when `always_prefix` or when the
// full path reaches 247 characters, given the long-path prefix its form needs. Fails with
// InvalidInput "strings passed to WinAPI cannot contain NULs" (before any call), or with
// GetFullPathNameW's error.
Result<WideString> to_wide_path(std::string_view path, bool always_prefix);

// `path` as UTF-16 for lpApplicationName and program lookups: a path of 260 characters or more goes
// as it is; a "\\?\C:\..." or "\\?\UNC\..." path loses its prefix when GetFullPathNameW leaves the
// rest unchanged (so the plain path names the same file); everything else goes through
// to_wide_path without `always_prefix`.
Result<WideString> to_wide_program_path(std::string_view path);

// The pure decisions, exposed for tests.
// True when to_wide_path must consult GetFullPathNameW for `w` (which holds no NUL).
bool needs_full_path(std::u16string_view w);
// `abs`, a full path from GetFullPathNameW, with the long-path prefix its beginning calls for.
WideString with_long_path_prefix(std::u16string_view abs);

}  // namespace launcher
