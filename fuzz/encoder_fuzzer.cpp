// The command-line encoder against the CommandLineToArgvW rules: whatever the arguments, the child
// must get exactly them back, and an argument the line cannot carry (one holding U+0000) must be
// refused without touching the line.
//
// Input: byte 0 bit 0 sets always_quote; byte 1 is the separator; the rest, split at every
// separator, is the program followed by the arguments (so "a<sep><sep>" gives one empty argument).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/command.h"
#include "platform/utf16.h"
#include "tests/argv_reference.h"

namespace {

using launcher::ErrorCategory;
using launcher::MSG_DATA_NUL;

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

bool holds_nul(std::string_view text) { return text.find('\0') != std::string_view::npos; }

// A refused argument leaves the line it was to be appended to exactly as it was.
void check_refused(std::string_view argument, bool always_quote) {
  for (const std::u16string& before : {std::u16string(), std::u16string(u"\"prog\" x \\\"")}) {
    std::u16string line = before;
    const launcher::Result<void> ok = launcher::encode_argument(line, argument, always_quote);
    FUZZ_REQUIRE(!ok);
    FUZZ_REQUIRE(!ok.error().is_os());
    FUZZ_REQUIRE(ok.error().category() == ErrorCategory::InvalidInput);
    FUZZ_REQUIRE(ok.error().message() == MSG_DATA_NUL);
    FUZZ_REQUIRE(line == before);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const bool always_quote = size > 0 && (data[0] & 1) != 0;
  const char separator = size > 1 ? static_cast<char>(data[1]) : '\n';
  const std::string_view rest =
      size > 2 ? std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2) : "";
  const std::vector<std::string_view> parts = split(rest, separator);

  // The program goes between double quotes as it is: a Windows file name never holds one.
  std::string program;
  for (const char c : parts[0]) {
    if (c != '"') program.push_back(c);
  }
  launcher::ProcessCommand command = launcher::create_command(program);
  command.always_quote = always_quote;
  const std::vector<std::string_view> arguments(parts.begin() + 1, parts.end());
  bool any_nul = false;
  for (const std::string_view argument : arguments) {
    launcher::add_argument(command, argument);
    any_nul = any_nul || holds_nul(argument);
  }
  FUZZ_REQUIRE(command.program == program);
  FUZZ_REQUIRE(command.arguments.size() == arguments.size());

  const launcher::Result<std::u16string> line = launcher::encode_command_line(command);
  if (any_nul) {
    FUZZ_REQUIRE(!line);
    FUZZ_REQUIRE(!line.error().is_os());
    FUZZ_REQUIRE(line.error().category() == ErrorCategory::InvalidInput);
    FUZZ_REQUIRE(line.error().message() == MSG_DATA_NUL);
    for (const std::string_view argument : arguments) {
      if (holds_nul(argument)) check_refused(argument, always_quote);
    }
    return 0;
  }
  FUZZ_REQUIRE(line);

  // What the child's CommandLineToArgvW gives back. Malformed UTF-8 reaches the child as U+FFFD,
  // so the arguments compare in their UTF-16 form.
  const std::vector<std::u16string> argv = reference::split_command_line(*line);
  FUZZ_REQUIRE(argv.size() == arguments.size() + 1);
  FUZZ_REQUIRE(argv[0] == launcher::to_utf16(program));
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    FUZZ_REQUIRE(argv[i + 1] == launcher::to_utf16(arguments[i]));
  }

  // Each argument appends on its own, behind whatever the line already holds; one that needs
  // neither quotes nor escapes (no space, tab or double quote, not empty) goes as it is, so that a
  // child reading its raw command line sees it unchanged too.
  for (const std::string_view argument : arguments) {
    std::u16string alone = u"\"p\"";
    FUZZ_REQUIRE(launcher::encode_argument(alone, argument, always_quote));
    FUZZ_REQUIRE(alone.starts_with(u"\"p\""));
    const std::u16string_view encoded = std::u16string_view(alone).substr(3);
    const std::vector<std::u16string> back =
        reference::split_command_line(u"\"p\" " + std::u16string(encoded));
    FUZZ_REQUIRE(back.size() == 2 && back[1] == launcher::to_utf16(argument));
    const bool plain = !argument.empty() &&
                       argument.find_first_of(" \t\"") == std::string_view::npos;
    if (plain && !always_quote) FUZZ_REQUIRE(encoded == launcher::to_utf16(argument));
    if (always_quote) FUZZ_REQUIRE(encoded.size() >= 2 && encoded.front() == u'"');
  }
  return 0;
}
