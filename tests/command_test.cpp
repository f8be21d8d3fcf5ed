#include "platform/command.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/utf16.h"
#include "tests/argv_reference.h"
#include "tests/round_trip.h"

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
  round_trip::expect_round_trips(reference::split_command_line, 20261210, 20000);
}

}  // namespace
}  // namespace launcher
