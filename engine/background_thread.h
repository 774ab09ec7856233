#ifndef ORVANTOR_ENGINE_BACKGROUND_THREAD_H_
#define ORVANTOR_ENGINE_BACKGROUND_THREAD_H_

#include <atomic>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>

namespace orv {

// One piece of a run's work on a thread of its own, beside the calling
// thread. Whatever way the caller leaves (done, cancelled, failed), the
// thread is told to stop and joined before the data it works on goes, and
// what it threw reaches the caller at Join.
class BackgroundThread {
 public:
  BackgroundThread() = default;
  // Asks the work to stop and waits for it; a failure it had is dropped (the
  // caller is leaving anyway).
  ~BackgroundThread() {
    stop_.store(true, std::memory_order_relaxed);
    if (thread_.joinable()) thread_.join();
  }
  BackgroundThread(const BackgroundThread&) = delete;
  BackgroundThread& operator=(const BackgroundThread&) = delete;

  // Starts fn() on a new thread; false when no thread is to be had (the
  // caller then does the work itself). At most one start per object.
  template <class Fn>
  bool Start(Fn&& fn) {
    try {
      thread_ = std::thread([this, fn = std::forward<Fn>(fn)]() mutable {
        try {
          fn();
        } catch (...) {
          failure_ = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      return false;
    }
    return true;
  }

  // Waits for the work to end, then rethrows what it threw.
  void Join() {
    if (thread_.joinable()) thread_.join();
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  }

  // Set once the caller gave up on the work; long work looks now and then.
  bool StopRequested() const { return stop_.load(std::memory_order_relaxed); }
  void RequestStop() { stop_.store(true, std::memory_order_relaxed); }

 private:
  std::atomic<bool> stop_{false};
  std::exception_ptr failure_;
  std::thread thread_;  // last: started once the rest is set up
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_BACKGROUND_THREAD_H_
