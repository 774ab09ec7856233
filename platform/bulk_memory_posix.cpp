#include "platform/bulk_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace orv::platform {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Small blocks are not worth a mapping of their own.
constexpr std::size_t kMapFrom = std::size_t{256} << 10;

std::size_t RoundUp(std::size_t n, std::size_t to) { return (n + to - 1) / to * to; }

}  // namespace

void* AllocateBulk(std::size_t bytes) {
  if (bytes == 0) bytes = 1;
  if (bytes < kMapFrom) {
    void* p = std::calloc(1, bytes);
    if (p == nullptr) throw std::bad_alloc();
    return p;
  }
  const std::size_t size = RoundUp(bytes, kHugePage);
  // Map one huge page more than needed and trim, so that the block starts on
  // a huge-page boundary.
  const std::size_t span = size + kHugePage;
  void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  auto begin = reinterpret_cast<std::uintptr_t>(raw);
  auto aligned = RoundUp(begin, kHugePage);
  if (aligned > begin) ::munmap(raw, aligned - begin);
  const std::uintptr_t tail = begin + span - (aligned + size);
  if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + size), tail);
  void* block = reinterpret_cast<void*>(aligned);
#if defined(MADV_HUGEPAGE)
  ::madvise(block, size, MADV_HUGEPAGE);
#endif
  return block;
}

void FreeBulk(void* memory, std::size_t bytes) noexcept {
  if (memory == nullptr) return;
  if (bytes == 0) bytes = 1;
  if (bytes < kMapFrom) {
    std::free(memory);
    return;
  }
  ::munmap(memory, RoundUp(bytes, kHugePage));
}

}  // namespace orv::platform
