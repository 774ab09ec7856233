#ifndef ORVANTOR_ENGINE_BACKGROUND_THREAD_H_
#define ORVANTOR_ENGINE_BACKGROUND_THREAD_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/vector_state.h"

namespace orv {

// One piece of work on a thread of its own, beside the calling thread.
// Whatever way the owner goes (done, cancelled, failed), the thread is told
// to stop and joined before the data it works on goes, and what the work
// threw reaches the owner at Join. Every thread the program starts is one
// of these. As a member, it comes after every member its work uses, so that
// it is joined before they go.
class BackgroundThread {
 public:
  BackgroundThread() = default;
  // Asks the work to stop and waits for it; a failure it had is dropped
  // (the owner is leaving anyway).
  ~BackgroundThread() {
    RequestStop();
    if (thread_.joinable()) thread_.join();
  }
  BackgroundThread(const BackgroundThread&) = delete;
  BackgroundThread& operator=(const BackgroundThread&) = delete;

  // Starts fn() on a new thread; false when no thread is to be had (the
  // caller then does the work itself, or fails, telling StartError). At
  // most one start.
  template <class Fn>
  bool Start(Fn&& fn) {
    try {
      thread_ = std::thread([this, fn = std::forward<Fn>(fn)]() mutable {
        // A new thread takes over its starter's vector state, which the
        // host's code may have left slow for SSE code.
        platform::ClearUpperVectorState();
        try {
          fn();
        } catch (...) {
          failure_ = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
        ended_changed_.notify_all();
      });
    } catch (const std::system_error& e) {
      start_error_ = e.code();
      return false;
    }
    return true;
  }

  // Why Start found no thread.
  const std::error_code& StartError() const { return start_error_; }

  // Whether the work runs on its thread (started, not yet joined).
  bool Started() const { return thread_.joinable(); }

  // Waits for the work to end, then rethrows what it threw. Nothing to wait
  // for when it was never started.
  void Join() {
    if (thread_.joinable()) thread_.join();
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
  }

  // Whether the work has ended, or ends within `wait`.
  bool EndsWithin(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    return ended_changed_.wait_for(lock, wait, [this] { return ended_; });
  }

  // Tells the work to stop; long work looks at StopRequested (or the flag
  // itself) now and then.
  void RequestStop() { stop_.store(true, std::memory_order_relaxed); }
  bool StopRequested() const { return stop_.load(std::memory_order_relaxed); }
  const std::atomic<bool>& StopFlag() const { return stop_; }

 private:
  std::atomic<bool> stop_{false};
  std::exception_ptr failure_;
  std::mutex mutex_;
  std::condition_variable ended_changed_;
  bool ended_ = false;
  std::error_code start_error_;
  std::thread thread_;  // last: started once the rest is set up
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_BACKGROUND_THREAD_H_
