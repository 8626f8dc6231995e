// Test fixture: a fresh simulated machine per test, and no block or handle left behind after it.
#pragma once

#include "setup/classify.h"
#include "setup/setup_main.h"
#include "sim/sim.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class SimTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::Reset();
        // The process-wide values start as a new process has them.
        Is64BitHost = 0;
        SystemDriveLetter = 0;
    }
    void TearDown() override { EXPECT_EQ(sim::Leaks(), std::vector<std::string>{}); }
};

using Lines = std::vector<std::string>;

// The messages the run traced, each behind its tag.
inline Lines Traced() {
    return sim::Messages();
}
