#include "platform/utf16.h"

#include <gtest/gtest.h>

namespace launcher {
namespace {

TEST(Utf16, EncodesAndReplacesMalformedBytes) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
  };
  const Case cases[] = {
      {"abc", u"abc"},
      {"\xC3\xA9", u"\u00E9"},
      {"\xE4\xB8\xAD", u"\u4E2D"},
      {"\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},  // kept: callers check for U+0000
      {"\x80", u"\uFFFD"},                                   // stray continuation byte
      {"\xC3", u"\uFFFD"},                                   // truncated
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                         // overlong "/" must not become "/"
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},               // encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},     // above U+10FFFF
  };
  for (const Case& c : cases) EXPECT_EQ(to_utf16(c.utf8), c.utf16);
}

TEST(Utf16, DecodesBackAndReplacesUnpairedSurrogates) {
  EXPECT_EQ(to_utf8(u"a\u00E9\u4E2D\xD83D\xDE00"), "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
  EXPECT_EQ(to_utf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace launcher
