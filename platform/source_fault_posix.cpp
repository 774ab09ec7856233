#include "platform/source_fault.h"

#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "platform/interrupts.h"
#include "platform/quoted.h"

namespace orv::platform {
namespace {

// Everything the handler reads lives in fixed slots of atomics, so that it
// needs no lock and no allocation.
constexpr int kMappings = 4;
constexpr std::size_t kPathBytes = 512;

struct Mapping {
  std::atomic<std::uintptr_t> begin{0};  // 0: the slot is free
  std::atomic<std::uintptr_t> end{0};
  char path[kPathBytes] = {};  // quoted; written before begin is set
};

Mapping mappings[kMappings];
struct sigaction previous_action;
std::once_flag handler_installed;

void OnBusError(int, siginfo_t* info, void*) {
  const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
  const Mapping* hit = nullptr;
  for (const Mapping& m : mappings) {
    const std::uintptr_t begin = m.begin.load(std::memory_order_acquire);
    if (begin != 0 && at >= begin && at < m.end.load(std::memory_order_acquire)) hit = &m;
  }
  if (hit == nullptr) {
    // Not the source: whatever handled the signal before us does, once the
    // faulting access is made again.
    ::sigaction(SIGBUS, &previous_action, nullptr);
    return;
  }
  // An interrupt that ends the process already has removed the files.
  if (!ClaimEndAndRemoveTemporaryFiles()) {
    for (;;) ::pause();
  }
  SayFromHandler(program_invocation_short_name);
  SayFromHandler(": the world save ");
  SayFromHandler(hit->path);
  SayFromHandler(" was cut short while it was being read (did another program write to it?); "
                 "the targets are unchanged\n");
  ::_exit(1);
}

void InstallHandler() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, &previous_action);
}

}  // namespace

void WatchMapping(const void* base, std::size_t size, const std::string& path) {
  std::call_once(handler_installed, InstallHandler);
  const auto begin = reinterpret_cast<std::uintptr_t>(base);
  for (Mapping& m : mappings) {
    std::uintptr_t expected = 0;
    // Claim the slot with a placeholder, fill it, then publish the range.
    if (!m.begin.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) continue;
    const std::string quoted = Quoted(path);
    const std::size_t n = quoted.size() < kPathBytes - 1 ? quoted.size() : kPathBytes - 1;
    std::memcpy(m.path, quoted.data(), n);
    m.path[n] = '\0';
    m.end.store(begin + size, std::memory_order_release);
    m.begin.store(begin, std::memory_order_release);
    return;
  }
}

void ForgetMapping(const void* base) {
  const auto begin = reinterpret_cast<std::uintptr_t>(base);
  for (Mapping& m : mappings) {
    std::uintptr_t expected = begin;
    if (m.begin.compare_exchange_strong(expected, 0, std::memory_order_acq_rel)) return;
  }
}

}  // namespace orv::platform
