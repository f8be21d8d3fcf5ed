#pragma once
// The compiled-in address and the rule it must meet. The build checks the same rule when it is
// configured; this copy makes sure no other way of compiling can ship an address that breaks it.

#include <string_view>

#ifndef LAUNCHER_APP_URL
#define LAUNCHER_APP_URL "https://example.com/"
#endif

namespace launcher {

// True when `c` may appear in the address. The fallback hands the address unquoted to the command
// interpreter, which acts on & | < > ^ % ! ( ) (command separators, redirection, escapes, variable
// expansion); blank, tab, double quote and backslash would change how the argument is quoted or
// split. Only printable ASCII is allowed.
constexpr bool is_allowed_url_char(char c) {
  if (c <= 0x20 || c >= 0x7F) return false;
  return std::string_view("\"\\&|<>^%!()").find(c) == std::string_view::npos;
}

// True for "https://", a non-empty host (the text up to the first "/", "?" or "#"), and only
// allowed characters.
constexpr bool is_valid_app_url(std::string_view url) {
  constexpr std::string_view scheme = "https://";
  if (!url.starts_with(scheme)) return false;
  const std::string_view rest = url.substr(scheme.size());
  if (rest.empty() || rest.front() == '/' || rest.front() == '?' || rest.front() == '#') {
    return false;
  }
  for (const char c : url) {
    if (!is_allowed_url_char(c)) return false;
  }
  return true;
}

inline constexpr std::string_view APP_URL = LAUNCHER_APP_URL;

static_assert(is_valid_app_url(APP_URL),
              "APP_URL must begin with https://, name a host, and hold only printable ASCII "
              "without blank, tab, \" \\ & | < > ^ % ! ( )");

}  // namespace launcher
