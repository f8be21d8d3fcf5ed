#include "platform/command.h"

#include <cstddef>

#include "platform/utf16.h"

namespace launcher {

ProcessCommand create_command(std::string_view program) {
  ProcessCommand command;
  command.program.assign(program);
  return command;
}

void add_argument(ProcessCommand& command, std::string_view argument) {
  command.arguments.emplace_back(argument);
}

Result<void> encode_argument(std::u16string& line, std::string_view argument, bool always_quote) {
  if (argument.find('\0') != std::string_view::npos) {
    return std::unexpected(ServiceError::of(ErrorCategory::InvalidInput, MSG_DATA_NUL));
  }
  const bool enclose = always_quote || argument.empty() ||
                       argument.find_first_of(" \t") != std::string_view::npos;
  if (enclose) line.push_back(u'"');

  // Escaping works on the UTF-16 form; backslash and double quote are single units in both forms.
  const std::u16string units = to_utf16(argument);
  std::size_t backslashes = 0;
  for (const char16_t unit : units) {
    if (unit == u'\\') {
      ++backslashes;
    } else if (unit == u'"') {
      line.append(backslashes + 1, u'\\');
      backslashes = 0;
    } else {
      backslashes = 0;
    }
    line.push_back(unit);
  }
  if (enclose) {
    line.append(backslashes, u'\\');
    line.push_back(u'"');
  }
  return {};
}

Result<std::u16string> encode_command_line(const ProcessCommand& command) {
  std::u16string line;
  line.push_back(u'"');
  append_utf16(line, command.program);
  line.push_back(u'"');
  for (const std::string& argument : command.arguments) {
    line.push_back(u' ');
    if (auto ok = encode_argument(line, argument, command.always_quote); !ok) {
      return std::unexpected(ok.error());
    }
  }
  return line;
}

}  // namespace launcher
