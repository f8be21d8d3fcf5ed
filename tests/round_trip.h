#pragma once
// The encoder's round trip, shared by the host test (the reference splitter) and the Windows test
// (the real CommandLineToArgvW): `count` random argument lists from `seed`, every seventh with
// always_quote, each encoded and split again by `split`, must come back unchanged.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/command.h"
#include "platform/utf16.h"
#include "tests/random_args.h"

namespace round_trip {

template <typename Split>
void expect_round_trips(Split split, unsigned seed, int count) {
  using namespace launcher;
  std::mt19937 rng(seed);
  for (int i = 0; i < count; ++i) {
    ProcessCommand command = create_command("C:\\some dir\\prog.exe");
    const std::vector<std::string> args = random_args::random_argument_list(rng);
    for (const std::string& a : args) add_argument(command, a);
    command.always_quote = (i % 7 == 0);
    const Result<std::u16string> line = encode_command_line(command);
    ASSERT_TRUE(line);
    const std::vector<std::u16string> argv = split(*line);
    ASSERT_EQ(argv.size(), args.size() + 1) << to_utf8(*line);
    EXPECT_EQ(argv[0], u"C:\\some dir\\prog.exe");
    for (std::size_t k = 0; k < args.size(); ++k) {
      ASSERT_EQ(argv[k + 1], to_utf16(args[k])) << to_utf8(*line);
    }
  }
}

}  // namespace round_trip
