#include "platform/source_fault.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "platform/interrupts.h"
#include "platform/process_end.h"
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
std::once_flag handler_installed;

}  // namespace

void WatchMapping(const void* base, std::size_t size, const std::string& path) {
  std::call_once(handler_installed, InstallSourceFaultHandler);
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

void EndIfSourceFault(const void* address, const char* what_happened) {
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  const Mapping* hit = nullptr;
  for (const Mapping& m : mappings) {
    const std::uintptr_t begin = m.begin.load(std::memory_order_acquire);
    if (begin != 0 && at >= begin && at < m.end.load(std::memory_order_acquire)) hit = &m;
  }
  if (hit == nullptr) return;
  // An interrupt that ends the process already has removed the files.
  if (!ClaimEndAndRemoveTemporaryFiles()) AwaitTheEnd();
  SayFromHandler(ProgramName());
  SayFromHandler(": the world save ");
  SayFromHandler(hit->path);
  SayFromHandler(" ");
  SayFromHandler(what_happened);
  SayFromHandler("; the targets are unchanged\n");
  ExitNow(1);
}

}  // namespace orv::platform
