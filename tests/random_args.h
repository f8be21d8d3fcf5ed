#pragma once
// Random argument lists that stress command-line quoting: empty arguments, spaces, tabs, quotes,
// runs of backslashes before quotes and at the end, line feeds, and characters above U+FFFF.

#include <random>
#include <string>
#include <vector>

namespace random_args {

inline std::string random_argument(std::mt19937& rng) {
  static const char* const PIECES[] = {"a", "b", " ", "\t", "\"", "\\", "\\\\", "\\\\\\\"", "\n",
                                       "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "=", "-x"};
  std::uniform_int_distribution<int> length(0, 8);
  std::uniform_int_distribution<std::size_t> piece(0, std::size(PIECES) - 1);
  std::string arg;
  for (int n = length(rng); n > 0; --n) arg += PIECES[piece(rng)];
  return arg;
}

inline std::vector<std::string> random_argument_list(std::mt19937& rng) {
  std::uniform_int_distribution<int> count(0, 6);
  std::vector<std::string> list;
  for (int n = count(rng); n > 0; --n) list.push_back(random_argument(rng));
  return list;
}

}  // namespace random_args
