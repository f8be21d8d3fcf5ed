// The encoder against the real CommandLineToArgvW: every random argument list comes back unchanged.

#include <gtest/gtest.h>

#include <random>

#include "platform/command.h"
#include "platform/utf16.h"
#include "platform/win32.h"
#include "tests/round_trip.h"

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
  round_trip::expect_round_trips(split_with_windows, 7, 5000);
}

TEST(CommandLineToArgvW, SplitsTheLaunchersOwnLines) {
  EXPECT_EQ(split_with_windows(u"\"cmd\" /C start \"\" https://example.com/"),
            (std::vector<std::u16string>{u"cmd", u"/C", u"start", u"", u"https://example.com/"}));
}

}  // namespace
}  // namespace launcher
