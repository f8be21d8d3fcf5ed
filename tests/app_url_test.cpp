#include "launcher/app_url.h"

#include <gtest/gtest.h>

namespace launcher {
namespace {

// The compiled-in rule, checked where it is used: at compile time.
static_assert(is_valid_app_url("https://example.com/"));
static_assert(is_valid_app_url("https://example.com"));
static_assert(is_valid_app_url("https://h:8443/a?b=c#d"));
static_assert(!is_valid_app_url("http://example.com/"));
static_assert(!is_valid_app_url("https://"));
static_assert(!is_valid_app_url("https:///path"));
static_assert(!is_valid_app_url("https://?q"));
static_assert(!is_valid_app_url("HTTPS://example.com/"));
static_assert(!is_valid_app_url("https://exa mple.com/"));

TEST(AppUrl, RefusesEveryCharacterTheInterpreterOrTheQuotingActsOn) {
  for (const char c : std::string_view(" \t\"\\&|<>^%!()\x01\x7f\x80\xC3")) {
    std::string url = "https://example.com/";
    url += c;
    EXPECT_FALSE(is_valid_app_url(url)) << static_cast<int>(static_cast<unsigned char>(c));
  }
  EXPECT_TRUE(is_valid_app_url("https://example.com/a-b_c.d~e:f/g?h=i;j,k+l*m'n@o$p[q]r#s"));
}

}  // namespace
}  // namespace launcher
