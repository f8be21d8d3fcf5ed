#include "launcher/launch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/constants.h"
#include "platform/utf16.h"
#include "tests/fake_platform.h"

namespace launcher {
namespace {

const std::string EDGE_X86(BROWSER_CANDIDATES[0]);
const std::string EDGE(BROWSER_CANDIDATES[1]);
const std::string CHROME(BROWSER_CANDIDATES[2]);
const std::string CMD(FALLBACK_PROGRAM);

std::string probe(const std::string& p) { return "probe " + p; }
std::string start(const std::string& p) { return "start " + p; }
const std::string CHILD = "release child";
const std::string COMMAND = "release command";

struct Case {
  const char* name;
  fake::Script script;
  std::vector<std::string> events;
};

const Case CASES[] = {
    {"no candidate present",
     {{}, {}},
     {probe(EDGE_X86), probe(EDGE), probe(CHROME), start(CMD), CHILD, COMMAND}},
    {"only the 32-bit Edge",
     {{EDGE_X86}, {}},
     {probe(EDGE_X86), start(EDGE_X86), CHILD, COMMAND}},
    {"only the 64-bit Edge",
     {{EDGE}, {}},
     {probe(EDGE_X86), probe(EDGE), start(EDGE), CHILD, COMMAND}},
    {"only Chrome",
     {{CHROME}, {}},
     {probe(EDGE_X86), probe(EDGE), probe(CHROME), start(CHROME), CHILD, COMMAND}},
    {"first present but failing, second starts",
     {{EDGE_X86, EDGE, CHROME}, {EDGE_X86}},
     {probe(EDGE_X86), start(EDGE_X86), COMMAND, probe(EDGE), start(EDGE), CHILD, COMMAND}},
    {"first present but failing, the rest absent",
     {{EDGE_X86}, {EDGE_X86}},
     {probe(EDGE_X86), start(EDGE_X86), COMMAND, probe(EDGE), probe(CHROME), start(CMD), CHILD,
      COMMAND}},
    {"all present",
     {{EDGE_X86, EDGE, CHROME}, {}},
     {probe(EDGE_X86), start(EDGE_X86), CHILD, COMMAND}},
    {"every start failing, the fallback too",
     {{EDGE_X86, EDGE, CHROME}, {EDGE_X86, EDGE, CHROME, CMD}},
     {probe(EDGE_X86), start(EDGE_X86), COMMAND, probe(EDGE), start(EDGE), COMMAND,
      probe(CHROME), start(CHROME), COMMAND, start(CMD), COMMAND}},
};

class LaunchSequence : public testing::TestWithParam<Case> {};

TEST_P(LaunchSequence, ProbesAndStartsInOrderAndReleasesChildBeforeCommand) {
  fake::reset(GetParam().script);
  run_launcher();
  EXPECT_EQ(fake::events(), GetParam().events);
}

TEST_P(LaunchSequence, EveryStartGetsExactlyItsArguments) {
  fake::reset(GetParam().script);
  run_launcher();
  const std::string app_arg = "--app=" + std::string(APP_URL);
  for (const fake::Start& s : fake::starts()) {
    if (s.program == CMD) {
      EXPECT_EQ(s.arguments, (std::vector<std::string>{"/C", "start", "", std::string(APP_URL)}));
      EXPECT_EQ(s.command_line, to_utf16("\"cmd\" /C start \"\" " + std::string(APP_URL)));
    } else {
      EXPECT_EQ(s.arguments, (std::vector<std::string>{app_arg, "--window-size=1280,820"}));
      EXPECT_EQ(s.command_line,
                to_utf16("\"" + s.program + "\" " + app_arg + " --window-size=1280,820"));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, LaunchSequence, testing::ValuesIn(CASES),
                         [](const testing::TestParamInfo<Case>& param) {
                           std::string name;
                           for (const char* c = param.param.name; *c; ++c) {
                             name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                           }
                           return name;
                         });

TEST(LaunchConstants, CandidatePathsAndArgumentsAreExact) {
  EXPECT_EQ(BROWSER_CANDIDATES[0], R"(C:\Program Files (x86)\Microsoft\Edge\Application\msedge.exe)");
  EXPECT_EQ(BROWSER_CANDIDATES[0].size(), 60u);
  EXPECT_EQ(BROWSER_CANDIDATES[1].size(), 54u);
  EXPECT_EQ(BROWSER_CANDIDATES[2].size(), 53u);
  EXPECT_EQ(APP_ARG_PREFIX, "--app=");
  EXPECT_EQ(WINDOW_SIZE_ARG, "--window-size=1280,820");
}

}  // namespace
}  // namespace launcher
