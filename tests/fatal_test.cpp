#include "platform/fatal.h"

#include <gtest/gtest.h>

#include "tests/sim/sim_fixture.h"

namespace launcher {
namespace {

using FatalDeathTest = SimTest;

TEST_F(FatalDeathTest, AllocationFailureReportsTheSize) {
  EXPECT_DEATH(fatal_allocation_failure(18446744073709551615u),
               "^memory allocation of 18446744073709551615 bytes failed\n$");
  EXPECT_DEATH(fatal_allocation_failure(0), "^memory allocation of 0 bytes failed\n$");
}

TEST_F(FatalDeathTest, WritesNothingWithoutAStandardErrorHandle) {
  EXPECT_DEATH(
      {
        sim::state().std_error = nullptr;
        fatal_error("internal error: entered unreachable code");
      },
      "^$");
}

}  // namespace
}  // namespace launcher
