// The Windows side of bulk_memory.h. Large pages need a privilege that a
// server's account seldom holds, so the blocks are plain committed pages.

#include <windows.h>

#include <new>

#include "platform/bulk_memory.h"

namespace orv::platform {

void* MapBulkPages(std::size_t bytes) {
  // Committed pages read as zero until written.
  void* block = ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* MapScatteredPages(std::size_t bytes) {
  void* block = MapBulkPages(bytes);
  TouchBulk(block, bytes);
  return block;
}

void UnmapBulkPages(void* memory, std::size_t) noexcept { ::VirtualFree(memory, 0, MEM_RELEASE); }

// Nothing is noted: the exit takes the memory back as it is.
void DiscardNotedPages() noexcept {}
void NoteDiscardable(const void*, std::size_t) noexcept {}
void ForgetDiscardable(const void*) noexcept {}

}  // namespace orv::platform
