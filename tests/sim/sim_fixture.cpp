#include "tests/sim/sim_fixture.h"

void SimTest::TearDown() {
  EXPECT_EQ(sim::open_handle_count(), 0u) << "handles left open";
  EXPECT_EQ(sim::state().bad_closes, 0) << "a handle closed that was not open";
  EXPECT_FALSE(sim::state().lock_held) << "spawn lock still held";
}
