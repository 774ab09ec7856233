#ifndef ORVANTOR_ENGINE_RUN_THREADS_H_
#define ORVANTOR_ENGINE_RUN_THREADS_H_

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>

#include "engine/background_thread.h"
#include "engine/world.h"

namespace orv {

// How a run uses the machine. The analysis can read sections on a second
// thread while the first files them, and the world file can be made on a
// second thread while the first walks the characters with the pumps and the
// gauge. The files, the gauge and the pumps are the same either way.
enum class RunThreads {
  kAuto,  // two for a large source on a machine with two cores or more
  kOne,
  kTwo,
};

// Whether a run on the source loaded into `w` takes a second thread.
inline bool UseSecondThread(const World& w, RunThreads threads) {
  switch (threads) {
    case RunThreads::kOne: return false;
    case RunThreads::kTwo: return true;
    case RunThreads::kAuto: break;
  }
  // Below a few megabytes a second thread costs more than it saves.
  constexpr std::size_t kTwoThreadsFrom = std::size_t{4} << 20;
  return w.SourceLines.Bytes().size() >= kTwoThreadsFrom && std::thread::hardware_concurrency() > 1;
}

// Calls fn(thread, i) once for every i in [0, count), on this thread (0) and
// one more (1), handing out blocks of `block` indexes in turn; returns when
// every call is done. Each call runs on one thread, in no particular order
// with the others. Without a thread to be had, this one makes every call.
// Rethrows what a call threw; the other thread's calls may be left undone.
template <class Fn>
void ForEachOnTwoThreads(std::size_t count, std::size_t block, Fn&& fn) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  const auto work = [&](int thread) {
    try {
      while (!failed.load(std::memory_order_relaxed)) {
        const std::size_t begin = next.fetch_add(block, std::memory_order_relaxed);
        if (begin >= count) return;
        const std::size_t end = std::min(begin + block, count);
        for (std::size_t i = begin; i < end; ++i) fn(thread, i);
      }
    } catch (...) {
      failed.store(true, std::memory_order_relaxed);
      throw;
    }
  };
  // Without a thread to be had, this one makes every call. A failure here
  // leaves the helper to be joined on the way out.
  BackgroundThread helper;
  helper.Start([&] { work(1); });
  work(0);
  helper.Join();
}

}  // namespace orv

#endif  // ORVANTOR_ENGINE_RUN_THREADS_H_
