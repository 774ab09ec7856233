// The Windows side of bulk_memory.h. Large pages need a privilege that a
// server's account seldom holds, so the blocks are plain committed pages.

#include <windows.h>

#include <cstdlib>
#include <new>

#include "platform/bulk_memory.h"

namespace orv::platform {
namespace {

// Small blocks are not worth pages of their own.
constexpr std::size_t kMapFrom = std::size_t{256} << 10;

}  // namespace

void* AllocateBulk(std::size_t bytes) {
  if (bytes == 0) bytes = 1;
  if (bytes < kMapFrom) {
    void* p = std::calloc(1, bytes);
    if (p == nullptr) throw std::bad_alloc();
    return p;
  }
  // Committed pages read as zero until written.
  void* block = ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void FreeBulk(void* memory, std::size_t bytes) noexcept {
  if (memory == nullptr) return;
  if (bytes == 0) bytes = 1;
  if (bytes < kMapFrom) {
    std::free(memory);
    return;
  }
  ::VirtualFree(memory, 0, MEM_RELEASE);
}

}  // namespace orv::platform
