#pragma once
// The description of a process to start, and the command line Windows hands to it.
// Portable: no Windows header.

#include <string>
#include <string_view>
#include <vector>

#include "platform/service_error.h"

namespace launcher {

// A program and its ordered arguments, each an owned UTF-8 copy. The options that a start could
// take (working directory, environment, standard streams, creation flags, window options) are not
// fields: the spawner applies their defaults, which are the only values this program uses.
struct ProcessCommand {
  std::string program;             // exactly as given; neither resolved nor normalised
  std::vector<std::string> arguments;
  bool always_quote = false;       // enclose every argument in double quotes
};

// A new command for `program` with no arguments and every option at its default.
ProcessCommand create_command(std::string_view program);

// Appends a copy of `argument`; the empty text is a valid argument and is passed, not skipped.
void add_argument(ProcessCommand& command, std::string_view argument);

// The command line, without terminator: the program in double quotes, copied unchanged, then each
// argument after one space, quoted as the CommandLineToArgvW rules need to give it back unchanged.
// Fails with InvalidInput "nul byte found in provided data" when an argument holds U+0000.
Result<std::u16string> encode_command_line(const ProcessCommand& command);

// Appends one argument to `line`: enclosed in double quotes when `always_quote`, when empty, or
// when it holds a space or tab; a double quote is escaped with one backslash more than doubles the
// backslashes before it; an enclosed argument's trailing backslashes are doubled. On failure
// (U+0000 in the argument) nothing has been appended.
Result<void> encode_argument(std::u16string& line, std::string_view argument, bool always_quote);

}  // namespace launcher
