#include "platform/vector_state.h"

#include <gtest/gtest.h>

#include "engine/background_thread.h"
#include "tests/vector_state_probe.h"

namespace orv {
namespace {

using testing::CanSeeUpperVectorState;
using testing::PutUpperVectorStateInUse;
using testing::UpperVectorStateInUse;

TEST(VectorState, ClearingMarksTheUpperHalvesUnused) {
  if (!CanSeeUpperVectorState()) GTEST_SKIP() << "the processor does not tell";
  PutUpperVectorStateInUse();
  ASSERT_TRUE(UpperVectorStateInUse());
  platform::ClearUpperVectorState();
  EXPECT_FALSE(UpperVectorStateInUse());
  platform::ClearUpperVectorState();  // harmless when already unused
  EXPECT_FALSE(UpperVectorStateInUse());
}

// The writers' and the analysis' threads start while the host's code may
// have left the state in use; they must not take it over.
TEST(VectorState, AThreadOfTheRunStartsWithTheUpperHalvesUnused) {
  if (!CanSeeUpperVectorState()) GTEST_SKIP() << "the processor does not tell";
  for (int round = 0; round < 3; ++round) {
    bool in_use = true;
    BackgroundThread thread;
    PutUpperVectorStateInUse();
    ASSERT_TRUE(thread.Start([&in_use] { in_use = UpperVectorStateInUse(); }));
    thread.Join();
    EXPECT_FALSE(in_use) << "round " << round;
  }
}

}  // namespace
}  // namespace orv
