#include "platform/interrupts.h"

#include <errno.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>

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

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction previous_actions[4];
std::once_flag installed;

constexpr int kTemporaryFiles = 16;
std::atomic<const char*> temporary_files[kTemporaryFiles];

int IndexOf(int signal) {
  for (int i = 0; i < 4; ++i)
    if (kInterrupts[i] == signal) return i;
  return 0;
}

const char* NameOf(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    case SIGQUIT: return "SIGQUIT";
  }
  return "a signal";
}

void RemoveTemporaryFiles() {
  for (std::atomic<const char*>& slot : temporary_files) {
    if (const char* path = slot.load(std::memory_order_acquire)) ::unlink(path);
  }
}

// Ends the process by `signal` itself, as if it had no handler: a shell
// then sees an interrupted command and stops its script.
[[noreturn]] void DieBy(int signal) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal, &action, nullptr);
  if (signal == SIGQUIT) {
    // No core dump of a process that may hold gigabytes of a world save.
    struct rlimit none = {0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
  }
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);
}

// Acts on `signal` for a process whose end this thread has claimed.
[[noreturn]] void End(int signal) {
  RemoveTemporaryFiles();
  SayFromHandler(program_invocation_short_name);
  SayFromHandler(": interrupted by ");
  SayFromHandler(NameOf(signal));
  if (phase.load(std::memory_order_acquire) == static_cast<int>(RunPhase::kSaved)) {
    SayFromHandler(" after both files were saved\n");
    ::_exit(saved_exit_status.load(std::memory_order_relaxed));
  }
  SayFromHandler("; the targets are unchanged\n");
  DieBy(signal);
}

// What the signal did before our handler: used outside a run.
void Chain(int signal, siginfo_t* info, void* context) {
  const struct sigaction& p = previous_actions[IndexOf(signal)];
  if (p.sa_flags & SA_SIGINFO) {
    if (p.sa_sigaction != nullptr) p.sa_sigaction(signal, info, context);
    return;
  }
  if (p.sa_handler == SIG_IGN) return;
  if (p.sa_handler == SIG_DFL) DieBy(signal);
  p.sa_handler(signal);
}

// True when this caller now owns the end of the process; false when a hold
// is on (the signal is left for the hold's end) or the end is owned already.
bool ClaimOrLeave(int signal) {
  std::uint32_t s = state.load(std::memory_order_acquire);
  for (;;) {
    if (s & kEnding) return false;
    const bool held = (s & kHolds) != 0;
    const std::uint32_t next =
        held ? ((s & ~kPending) | (static_cast<std::uint32_t>(signal) << kPendingShift))
             : (s | kEnding);
    if (state.compare_exchange_weak(s, next, std::memory_order_acq_rel)) return !held;
  }
}

void OnInterrupt(int signal, siginfo_t* info, void* context) {
  const int saved_errno = errno;
  if (phase.load(std::memory_order_acquire) == static_cast<int>(RunPhase::kIdle)) {
    Chain(signal, info, context);
  } else if (ClaimOrLeave(signal)) {
    End(signal);
  }
  errno = saved_errno;
}

[[noreturn]] void AwaitTheEnd() {
  for (;;) ::pause();
}

void Install() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = OnInterrupt;
  action.sa_flags = SA_SIGINFO | SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int s : kInterrupts) sigaddset(&action.sa_mask, s);
  for (int i = 0; i < 4; ++i) ::sigaction(kInterrupts[i], &action, &previous_actions[i]);

  struct sigaction ignore;
  std::memset(&ignore, 0, sizeof ignore);
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, nullptr);
#if defined(SIGXFSZ)
  ::sigaction(SIGXFSZ, &ignore, nullptr);
#endif
}

}  // namespace

void InstallInterruptHandlers(int saved_status) {
  saved_exit_status.store(saved_status, std::memory_order_relaxed);
  std::call_once(installed, Install);
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
    int signal = 0;
    if ((next & kHolds) == 0 && (next & kPending) != 0) {
      signal = static_cast<int>((next & kPending) >> kPendingShift);
      next = (next & ~kPending) | kEnding;
    }
    if (state.compare_exchange_weak(s, next, std::memory_order_acq_rel)) {
      if (signal != 0) End(signal);
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
      ::sched_yield();
      s = state.load(std::memory_order_acquire);
      continue;
    }
    if (state.compare_exchange_weak(s, s | kEnding, std::memory_order_acq_rel)) break;
  }
  RemoveTemporaryFiles();
  return true;
}

void SayFromHandler(const char* text) {
  std::size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t n = ::write(STDERR_FILENO, text, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text += n;
    left -= static_cast<std::size_t>(n);
  }
}

}  // namespace orv::platform
