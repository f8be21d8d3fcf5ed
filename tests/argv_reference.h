#pragma once
// A reference splitter with the documented CommandLineToArgvW rules, as the oracle for the encoder:
// - the program name is taken up to the next double quote when it begins with one, else up to the
//   first space or tab, with no escaping;
// - arguments are separated by runs of spaces and tabs outside double quotes;
// - 2n backslashes and a quote give n backslashes and toggle quoting; 2n+1 backslashes and a quote
//   give n backslashes and a literal quote; backslashes not before a quote are literal;
// - inside quotes, two quotes in a row give one literal quote.

#include <string>
#include <vector>

namespace reference {

inline std::vector<std::u16string> split_command_line(std::u16string_view line) {
  std::vector<std::u16string> argv;
  std::size_t i = 0;
  std::u16string program;
  if (i < line.size() && line[i] == u'"') {
    ++i;
    while (i < line.size() && line[i] != u'"') program.push_back(line[i++]);
    if (i < line.size()) ++i;
  } else {
    while (i < line.size() && line[i] != u' ' && line[i] != u'\t') program.push_back(line[i++]);
  }
  argv.push_back(program);
  for (;;) {
    while (i < line.size() && (line[i] == u' ' || line[i] == u'\t')) ++i;
    if (i >= line.size()) break;
    std::u16string arg;
    bool quoted = false;
    while (i < line.size()) {
      const char16_t c = line[i];
      if (!quoted && (c == u' ' || c == u'\t')) break;
      if (c == u'\\') {
        std::size_t n = 0;
        while (i < line.size() && line[i] == u'\\') ++n, ++i;
        if (i < line.size() && line[i] == u'"') {
          arg.append(n / 2, u'\\');
          if (n % 2 == 1) {
            arg.push_back(u'"');
            ++i;
          }
        } else {
          arg.append(n, u'\\');
        }
      } else if (c == u'"') {
        ++i;
        if (quoted && i < line.size() && line[i] == u'"') {
          arg.push_back(u'"');
          ++i;
        } else {
          quoted = !quoted;
        }
      } else {
        arg.push_back(c);
        ++i;
      }
    }
    argv.push_back(arg);
  }
  return argv;
}

}  // namespace reference
