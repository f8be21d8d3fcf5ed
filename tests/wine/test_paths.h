#pragma once
// Small helpers the Windows test programs share: text from the wide Win32 functions, and the
// directory the test program runs from (where its witness programs are built beside it).

#include <string>

#include "platform/utf16.h"
#include "platform/win32.h"

namespace wine_test {

inline std::u16string from_wide(const wchar_t* text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}

// The directory of the running test program, without a trailing separator.
inline std::string own_directory() {
  wchar_t buffer[MAX_PATH];
  ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::string path = launcher::to_utf8(from_wide(buffer));
  return path.substr(0, path.find_last_of('\\'));
}

}  // namespace wine_test
