#pragma once
// UTF-8 inside, UTF-16 at the Windows boundary.

#include <string>
#include <string_view>

namespace launcher {

// Appends the UTF-16 form of `text`: a character above U+FFFF becomes a surrogate pair. A byte
// that does not begin or continue a well-formed sequence (a stray continuation byte, a truncated
// or overlong sequence, an encoded surrogate, a value above U+10FFFF) becomes one U+FFFD, as
// MultiByteToWideChar does for CP_UTF8; U+0000 is copied, so callers must check for it.
void append_utf16(std::u16string& out, std::string_view text);

inline std::u16string to_utf16(std::string_view text) {
  std::u16string out;
  append_utf16(out, text);
  return out;
}

// The inverse, for texts that Windows hands back; an unpaired surrogate becomes U+FFFD.
std::string to_utf8(std::u16string_view text);

}  // namespace launcher
