#pragma once
// The one error value of the process and file services.

#include <cstdint>
#include <expected>
#include <string_view>

namespace launcher {

enum class ErrorCategory : std::uint8_t { InvalidInput, NotFound };

// Either an OS error code (GetLastError() read right after the failing call) or a category with a
// fixed message. Holds no resource: the messages are static texts.
class ServiceError {
 public:
  static constexpr ServiceError os(std::uint32_t code) { return ServiceError(code); }
  static constexpr ServiceError of(ErrorCategory category, std::string_view message) {
    return ServiceError(category, message);
  }

  constexpr bool is_os() const { return is_os_; }
  // The OS code; 0 for a categorised error.
  constexpr std::uint32_t os_code() const { return is_os_ ? code_ : 0; }
  // Meaningful only when !is_os().
  constexpr ErrorCategory category() const { return category_; }
  // Empty for an OS error.
  constexpr std::string_view message() const { return message_; }

  friend constexpr bool operator==(const ServiceError&, const ServiceError&) = default;

 private:
  constexpr explicit ServiceError(std::uint32_t code) : is_os_(true), code_(code) {}
  constexpr ServiceError(ErrorCategory category, std::string_view message)
      : category_(category), message_(message) {}

  bool is_os_ = false;
  std::uint32_t code_ = 0;
  ErrorCategory category_ = ErrorCategory::InvalidInput;
  std::string_view message_;
};

template <class T>
using Result = std::expected<T, ServiceError>;

// Fixed messages, exactly as callers and tests compare them.
inline constexpr std::string_view MSG_WINAPI_NUL = "strings passed to WinAPI cannot contain NULs";
inline constexpr std::string_view MSG_DATA_NUL = "nul byte found in provided data";
inline constexpr std::string_view MSG_NO_FILE_NAME = "program path has no file name";
inline constexpr std::string_view MSG_NOT_FOUND = "program not found";

}  // namespace launcher
