#pragma once
// A scripted stand-in for the probe and the spawner, linked in place of the Windows ones. Each case
// says which paths are present and which programs fail to start; the fake records every probe,
// start, child release and command release, in order.

#include <set>
#include <string>
#include <vector>

namespace fake {

struct Start {
  std::string program;
  std::vector<std::string> arguments;
  std::u16string command_line;  // as the real encoder makes it
};

struct Script {
  std::set<std::string> present;
  std::set<std::string> failing;  // programs whose start fails
};

// Resets the record and installs `script`.
void reset(Script script);

// "probe <path>", "start <program>", "release child", "release command".
const std::vector<std::string>& events();
const std::vector<Start>& starts();

}  // namespace fake
