// The POSIX side of source_fault.h: a read of a page that a truncation took
// away from a mapping is a bus error (SIGBUS).

#include <signal.h>

#include <cstring>

#include "platform/source_fault.h"

namespace orv::platform {
namespace {

struct sigaction previous_action;

void OnBusError(int, siginfo_t* info, void*) {
  EndIfSourceFault(info->si_addr,
                   "was cut short while it was being read (did another program write to it?)");
  // Not the source: whatever handled the signal before us does, once the
  // faulting access is made again.
  ::sigaction(SIGBUS, &previous_action, nullptr);
}

}  // namespace

void InstallSourceFaultHandler() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, &previous_action);
}

}  // namespace orv::platform
