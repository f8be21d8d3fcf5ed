#include "platform/command.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/utf16.h"
#include "tests/argv_reference.h"
#include "tests/random_args.h"

namespace launcher {
namespace {

struct Case {
  std::string program;
  std::vector<std::string> arguments;
  bool always_quote;
  std::u16string line;
};

const std::string EDGE = R"(C:\Program Files (x86)\Microsoft\Edge\Application\msedge.exe)";

const Case CASES[] = {
    {EDGE, {"--app=https://example.com/", "--window-size=1280,820"}, false,
     u"\"C:\\Program Files (x86)\\Microsoft\\Edge\\Application\\msedge.exe\" "
     u"--app=https://example.com/ --window-size=1280,820"},
    {"cmd", {"/C", "start", "", "https://example.com/"}, false,
     u"\"cmd\" /C start \"\" https://example.com/"},
    {"prog", {}, false, u"\"prog\""},
    {"prog", {""}, false, u"\"prog\" \"\""},
    {"prog", {"a b"}, false, u"\"prog\" \"a b\""},
    {"prog", {"a\tb"}, false, u"\"prog\" \"a\tb\""},
    {"prog", {"a\"b"}, false, u"\"prog\" a\\\"b"},
    {"prog", {"say \"hi\""}, false, u"\"prog\" \"say \\\"hi\\\"\""},
    {"prog", {"a\\\"b"}, false, u"\"prog\" a\\\\\\\"b"},
    {"prog", {"a\\\\\"b"}, false, u"\"prog\" a\\\\\\\\\\\"b"},
    {"prog", {"C:\\dir\\"}, false, u"\"prog\" C:\\dir\\"},
    {"prog", {"C:\\my dir\\"}, false, u"\"prog\" \"C:\\my dir\\\\\""},
    {"prog", {"x \"y\\"}, false, u"\"prog\" \"x \\\"y\\\\\""},
    {"prog", {"\\\\server\\share"}, false, u"\"prog\" \\\\server\\share"},
    {"prog", {"a\nb"}, false, u"\"prog\" a\nb"},
    {"prog", {"\xF0\x9F\x98\x80"}, false, u"\"prog\" \xD83D\xDE00"},
    {"prog", {"abc", ""}, true, u"\"prog\" \"abc\" \"\""},
    // The program is copied as it is, spaces and all, never escaped.
    {"my prog\\", {}, false, u"\"my prog\\\""},
};

TEST(EncodeCommandLine, GivesTheExactLine) {
  for (const Case& c : CASES) {
    ProcessCommand command = create_command(c.program);
    for (const std::string& a : c.arguments) add_argument(command, a);
    command.always_quote = c.always_quote;
    const Result<std::u16string> line = encode_command_line(command);
    ASSERT_TRUE(line) << c.program;
    EXPECT_EQ(*line, c.line) << to_utf8(c.line);
  }
}

TEST(EncodeCommandLine, RefusesNulInAnArgument) {
  ProcessCommand command = create_command("prog");
  add_argument(command, "ok");
  add_argument(command, std::string("a\0b", 3));
  const Result<std::u16string> line = encode_command_line(command);
  ASSERT_FALSE(line);
  EXPECT_EQ(line.error(), ServiceError::of(ErrorCategory::InvalidInput, MSG_DATA_NUL));
  EXPECT_EQ(line.error().message(), "nul byte found in provided data");
}

TEST(EncodeArgument, AppendsNothingOnFailure) {
  std::u16string line = u"\"prog\" ";
  EXPECT_FALSE(encode_argument(line, std::string("a b\0", 4), true));
  EXPECT_EQ(line, u"\"prog\" ");
}

TEST(CreateCommand, KeepsItsOwnCopies) {
  std::string program = "prog";
  std::string argument = "arg";
  ProcessCommand command = create_command(program);
  add_argument(command, argument);
  program.assign("changed");
  argument.assign("changed");
  EXPECT_EQ(command.program, "prog");
  EXPECT_EQ(command.arguments, std::vector<std::string>{"arg"});
  EXPECT_FALSE(command.always_quote);
}

// The encoder is the inverse of the splitter: every list comes back unchanged, empty arguments
// included, with and without always_quote.
TEST(EncodeCommandLine, RoundTripsThroughTheReferenceSplitter) {
  std::mt19937 rng(20261210);
  for (int i = 0; i < 20000; ++i) {
    ProcessCommand command = create_command("C:\\some dir\\prog.exe");
    const std::vector<std::string> args = random_args::random_argument_list(rng);
    for (const std::string& a : args) add_argument(command, a);
    command.always_quote = (i % 7 == 0);
    const Result<std::u16string> line = encode_command_line(command);
    ASSERT_TRUE(line);
    const std::vector<std::u16string> argv = reference::split_command_line(*line);
    ASSERT_EQ(argv.size(), args.size() + 1) << to_utf8(*line);
    EXPECT_EQ(argv[0], u"C:\\some dir\\prog.exe");
    for (std::size_t k = 0; k < args.size(); ++k) {
      ASSERT_EQ(argv[k + 1], to_utf16(args[k])) << to_utf8(*line);
    }
  }
}

}  // namespace
}  // namespace launcher
