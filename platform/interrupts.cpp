#include "platform/interrupts.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/process_end.h"

namespace orv::platform {
namespace {

// One word for the holds, an interrupt that waits for them and the claim
// on the end of the process, so that the handler and the end of a hold
// settle between them in one compare-and-swap who acts.
constexpr std::uint32_t kHolds = 0xffff;
constexpr int kPendingShift = 16;
constexpr std::uint32_t kPending = 0xffu << kPendingShift;
constexpr std::uint32_t kEnding = 1u << 31;
std::atomic<std::uint32_t> state{0};

std::atomic<int> phase{static_cast<int>(RunPhase::kIdle)};
std::atomic<int> saved_exit_status{3};
std::once_flag installed;

constexpr int kTemporaryFiles = 16;
std::atomic<const char*> temporary_files[kTemporaryFiles];

void RemoveTemporaryFiles() {
  for (std::atomic<const char*>& slot : temporary_files) {
    if (const char* path = slot.load(std::memory_order_acquire)) RemoveFileNow(path);
  }
}

// Acts on `interrupt` for a process whose end this thread has claimed.
[[noreturn]] void End(int interrupt) {
  RemoveTemporaryFiles();
  SayFromHandler(ProgramName());
  SayFromHandler(": interrupted by ");
  SayFromHandler(InterruptName(interrupt));
  if (phase.load(std::memory_order_acquire) == static_cast<int>(RunPhase::kSaved)) {
    SayFromHandler(" after both files were saved\n");
    ExitNow(saved_exit_status.load(std::memory_order_relaxed));
  }
  SayFromHandler("; the targets are unchanged\n");
  EndByInterrupt(interrupt);
}

// True when this caller now owns the end of the process; false when a hold
// is on (the interrupt is left for the hold's end) or the end is owned
// already.
bool ClaimOrLeave(int interrupt) {
  std::uint32_t s = state.load(std::memory_order_acquire);
  for (;;) {
    if (s & kEnding) return false;
    const bool held = (s & kHolds) != 0;
    const std::uint32_t next =
        held ? ((s & ~kPending) | (static_cast<std::uint32_t>(interrupt) << kPendingShift))
             : (s | kEnding);
    if (state.compare_exchange_weak(s, next, std::memory_order_acq_rel)) return !held;
  }
}

}  // namespace

bool ActOnInterrupt(int interrupt) {
  if (phase.load(std::memory_order_acquire) == static_cast<int>(RunPhase::kIdle)) return false;
  if (ClaimOrLeave(interrupt)) End(interrupt);
  return true;
}

void InstallInterruptHandlers(int saved_status) {
  saved_exit_status.store(saved_status, std::memory_order_relaxed);
  std::call_once(installed, InstallSystemInterruptHandlers);
}

void SetRunPhase(RunPhase p) { phase.store(static_cast<int>(p), std::memory_order_release); }

RunPhase CurrentRunPhase() { return static_cast<RunPhase>(phase.load(std::memory_order_acquire)); }

InterruptHold::InterruptHold() {
  std::uint32_t s = state.load(std::memory_order_acquire);
  for (;;) {
    if (s & kEnding) AwaitTheEnd();
    if (state.compare_exchange_weak(s, s + 1, std::memory_order_acq_rel)) return;
  }
}

InterruptHold::~InterruptHold() {
  std::uint32_t s = state.load(std::memory_order_acquire);
  for (;;) {
    std::uint32_t next = s - 1;
    int interrupt = 0;
    if ((next & kHolds) == 0 && (next & kPending) != 0) {
      interrupt = static_cast<int>((next & kPending) >> kPendingShift);
      next = (next & ~kPending) | kEnding;
    }
    if (state.compare_exchange_weak(s, next, std::memory_order_acq_rel)) {
      if (interrupt != 0) End(interrupt);
      return;
    }
  }
}

void NoteTemporaryFile(const char* path) {
  for (std::atomic<const char*>& slot : temporary_files) {
    const char* expected = nullptr;
    if (slot.compare_exchange_strong(expected, path, std::memory_order_acq_rel)) return;
  }
}

void ForgetTemporaryFile(const char* path) {
  for (std::atomic<const char*>& slot : temporary_files) {
    const char* expected = path;
    if (slot.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel)) return;
  }
}

bool ClaimEndAndRemoveTemporaryFiles() {
  std::uint32_t s = state.load(std::memory_order_acquire);
  for (;;) {
    if (s & kEnding) return false;
    if (s & kHolds) {
      std::this_thread::yield();
      s = state.load(std::memory_order_acquire);
      continue;
    }
    if (state.compare_exchange_weak(s, s | kEnding, std::memory_order_acq_rel)) break;
  }
  RemoveTemporaryFiles();
  return true;
}

}  // namespace orv::platform
