#pragma once
// Base fixture over the simulated kernel32: a fresh machine for every test, and at its end no
// handle left open, no handle closed twice, and the spawn lock free.

#include <gtest/gtest.h>

#include "tests/sim/kernel32_sim.h"

class SimTest : public testing::Test {
 protected:
  void SetUp() override { sim::reset(); }
  void TearDown() override;
};
