// The POSIX side of interrupts.h: SIGINT, SIGTERM, SIGHUP and SIGQUIT.

#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>

#include "platform/interrupts.h"
#include "platform/process_end.h"

namespace orv::platform {
namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction previous_actions[4];

int IndexOf(int signal) {
  for (int i = 0; i < 4; ++i)
    if (kInterrupts[i] == signal) return i;
  return 0;
}

// What the signal did before our handler: used outside a run.
void Chain(int signal, siginfo_t* info, void* context) {
  const struct sigaction& p = previous_actions[IndexOf(signal)];
  if (p.sa_flags & SA_SIGINFO) {
    if (p.sa_sigaction != nullptr) p.sa_sigaction(signal, info, context);
    return;
  }
  if (p.sa_handler == SIG_IGN) return;
  if (p.sa_handler == SIG_DFL) EndByInterrupt(signal);
  p.sa_handler(signal);
}

void OnInterrupt(int signal, siginfo_t* info, void* context) {
  const int saved_errno = errno;
  if (!ActOnInterrupt(signal)) Chain(signal, info, context);
  errno = saved_errno;
}

}  // namespace

void InstallSystemInterruptHandlers() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = OnInterrupt;
  action.sa_flags = SA_SIGINFO | SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int s : kInterrupts) sigaddset(&action.sa_mask, s);
  for (int i = 0; i < 4; ++i) ::sigaction(kInterrupts[i], &action, &previous_actions[i]);

  // A closed output is an error to report, not a silent death; a file grown
  // past its limit is a write error, cleaned up after.
  struct sigaction ignore;
  std::memset(&ignore, 0, sizeof ignore);
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, nullptr);
#if defined(SIGXFSZ)
  ::sigaction(SIGXFSZ, &ignore, nullptr);
#endif
}

const char* InterruptName(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    case SIGQUIT: return "SIGQUIT";
  }
  return "a signal";
}

// Ends the process by `signal` itself, as if it had no handler: a shell
// then sees an interrupted command and stops its script.
void EndByInterrupt(int signal) {
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

void ExitNow(int status) { ::_exit(status); }

void AwaitTheEnd() {
  for (;;) ::pause();
}

void RemoveFileNow(const char* path) { ::unlink(path); }

const char* ProgramName() { return program_invocation_short_name; }

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
