#pragma once
// Move-only owners of kernel handles, parameterised by how the handle is closed.

#include "platform/win32.h"

namespace launcher {

template <BOOL (*Close)(HANDLE)>
class UniqueAny {
 public:
  UniqueAny() = default;
  explicit UniqueAny(HANDLE handle) : handle_(handle) {}
  UniqueAny(UniqueAny&& other) noexcept : handle_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  ~UniqueAny() { reset(); }

  // Both NULL and INVALID_HANDLE_VALUE mean "owns nothing".
  static bool is_handle(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
  }
  bool valid() const { return is_handle(handle_); }
  HANDLE get() const { return handle_; }
  [[nodiscard]] HANDLE release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  // Closes what is owned (the result of the close is ignored) and takes `handle`.
  void reset(HANDLE handle = nullptr) {
    if (valid()) Close(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = nullptr;
};

inline BOOL close_kernel_handle(HANDLE handle) { return ::CloseHandle(handle); }
inline BOOL close_find_handle(HANDLE handle) { return ::FindClose(handle); }

using UniqueHandle = UniqueAny<close_kernel_handle>;  // CloseHandle
using FindHandle = UniqueAny<close_find_handle>;      // FindClose

}  // namespace launcher
