// Work on a second thread: a failure there reaches the owner, an owner
// that leaves stops and joins it first; and the sharing of work between two
// threads: every index once, and a failure on either thread reaches the
// caller after both are done.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/background_thread.h"
#include "engine/run_threads.h"

namespace orv::testing {
namespace {

TEST(BackgroundThread, WhatTheWorkThrowsReachesJoin) {
  BackgroundThread thread;
  ASSERT_TRUE(thread.Start([] { throw std::runtime_error("disk full"); }));
  EXPECT_TRUE(thread.Started());
  try {
    thread.Join();
    FAIL() << "the failure was lost";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "disk full");
  }
  EXPECT_FALSE(thread.Started());
  EXPECT_NO_THROW(thread.Join()) << "a failure is carried back once";
}

TEST(BackgroundThread, AnOwnerThatLeavesStopsTheWorkAndWaitsForIt) {
  std::atomic<bool> ended{false};
  {
    BackgroundThread thread;
    ASSERT_TRUE(thread.Start([&] {
      while (!thread.StopRequested()) std::this_thread::yield();
      ended = true;
      throw std::runtime_error("dropped: the owner is leaving anyway");
    }));
    EXPECT_FALSE(thread.EndsWithin(std::chrono::milliseconds(20))) << "it runs until told to stop";
  }
  EXPECT_TRUE(ended);
}

TEST(BackgroundThread, EndsWithinTellsWhenTheWorkIsDone) {
  BackgroundThread thread;
  std::atomic<bool> go{false};
  ASSERT_TRUE(thread.Start([&] {
    while (!go) std::this_thread::yield();
  }));
  EXPECT_FALSE(thread.EndsWithin(std::chrono::milliseconds(0)));
  go = true;
  EXPECT_TRUE(thread.EndsWithin(std::chrono::seconds(60)));
  thread.Join();
}

TEST(ForEachOnTwoThreads, CallsEveryIndexOnceWhateverTheBlock) {
  for (std::size_t count : {0u, 1u, 511u, 512u, 513u, 100000u}) {
    for (std::size_t block : {1u, 7u, 512u, 1000000u}) {
      std::vector<std::atomic<int>> calls(count);
      ForEachOnTwoThreads(count, block, [&](int, std::size_t i) { calls[i].fetch_add(1); });
      for (std::size_t i = 0; i < count; ++i)
        ASSERT_EQ(calls[i].load(), 1) << count << " " << block << " " << i;
    }
  }
}

TEST(ForEachOnTwoThreads, AFailureOnEitherThreadReachesTheCaller) {
  for (int failing : {0, 1}) {
    // Each thread's calls wait until both threads have made one, so that
    // both take part; the failing one throws at its first call.
    std::atomic<bool> called[2] = {false, false};
    EXPECT_THROW(ForEachOnTwoThreads(1000, 1,
                                     [&](int thread, std::size_t) {
                                       called[thread].store(true);
                                       while (!called[0].load() || !called[1].load())
                                         std::this_thread::yield();
                                       if (thread == failing) throw std::runtime_error("no memory");
                                     }),
                 std::runtime_error)
        << "thread " << failing;
  }
}

}  // namespace
}  // namespace orv::testing
