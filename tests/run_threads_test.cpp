// Sharing work between two threads: every index once, and a failure on
// either thread reaches the caller after both are done.

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/run_threads.h"

namespace orv::testing {
namespace {

TEST(ForEachOnTwoThreads, CallsEveryIndexOnceWhateverTheBlock) {
  for (std::size_t count : {0u, 1u, 511u, 512u, 513u, 100000u}) {
    for (std::size_t block : {1u, 7u, 512u, 1000000u}) {
      std::vector<std::atomic<int>> calls(count);
      ForEachOnTwoThreads(count, block, [&](int, std::size_t i) { calls[i].fetch_add(1); });
      for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(calls[i].load(), 1) << count << " " << block << " " << i;
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
                                       while (!called[0].load() || !called[1].load()) std::this_thread::yield();
                                       if (thread == failing) throw std::runtime_error("no memory");
                                     }),
                 std::runtime_error)
        << "thread " << failing;
  }
}

}  // namespace
}  // namespace orv::testing
