// The encoder against the real CommandLineToArgvW: every random argument list comes back unchanged.

#include <gtest/gtest.h>

#include <random>

#include "platform/command.h"
#include "platform/utf16.h"
#include "platform/win32.h"
#include "tests/random_args.h"

#include <shellapi.h>  // CommandLineToArgvW, the oracle; after the gate, which brings <windows.h>

namespace launcher {
namespace {

std::vector<std::u16string> split_with_windows(const std::u16string& line) {
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(win::wide(line.c_str()), &argc);
  std::vector<std::u16string> out;
  if (argv == nullptr) return out;
  for (int i = 0; i < argc; ++i) out.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
  ::LocalFree(argv);
  return out;
}

TEST(CommandLineToArgvW, SplitsTheEncodedLineBackIntoTheArguments) {
  std::mt19937 rng(7);
  for (int i = 0; i < 5000; ++i) {
    ProcessCommand command = create_command("C:\\some dir\\prog.exe");
    const std::vector<std::string> args = random_args::random_argument_list(rng);
    for (const std::string& a : args) add_argument(command, a);
    command.always_quote = (i % 7 == 0);
    const Result<std::u16string> line = encode_command_line(command);
    ASSERT_TRUE(line);
    const std::vector<std::u16string> argv = split_with_windows(*line);
    ASSERT_EQ(argv.size(), args.size() + 1) << to_utf8(*line);
    EXPECT_EQ(argv[0], u"C:\\some dir\\prog.exe");
    for (std::size_t k = 0; k < args.size(); ++k) {
      ASSERT_EQ(argv[k + 1], to_utf16(args[k])) << to_utf8(*line);
    }
  }
}

TEST(CommandLineToArgvW, SplitsTheLaunchersOwnLines) {
  EXPECT_EQ(split_with_windows(u"\"cmd\" /C start \"\" https://example.com/"),
            (std::vector<std::u16string>{u"cmd", u"/C", u"start", u"", u"https://example.com/"}));
}

}  // namespace
}  // namespace launcher
