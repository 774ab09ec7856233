#include "platform/bulk_memory.h"

#include <cstdlib>
#include <new>

namespace orv::platform {
namespace {

// Small blocks are not worth pages of their own.
constexpr std::size_t kMapFrom = std::size_t{256} << 10;

}  // namespace

void* AllocateBulk(std::size_t bytes) {
  if (bytes == 0) bytes = 1;
  if (bytes >= kMapFrom) return MapBulkPages(bytes);
  void* p = std::calloc(1, bytes);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void* AllocateScatteredBulk(std::size_t bytes) {
  if (bytes == 0) bytes = 1;
  if (bytes >= kMapFrom) return MapScatteredPages(bytes);
  void* p = AllocateBulk(bytes);
  TouchBulk(p, bytes);
  return p;
}

void FreeBulk(void* memory, std::size_t bytes) noexcept {
  if (memory == nullptr) return;
  if (bytes == 0) bytes = 1;
  if (bytes >= kMapFrom) {
    UnmapBulkPages(memory, bytes);
  } else {
    std::free(memory);
  }
}

void TouchBulk(void* memory, std::size_t bytes) noexcept {
  // One write in every small page: a huge page is backed at its first
  // write, but a virtual machine may still map it to the process page by
  // page. Writing a zero keeps the memory as it was.
  volatile char* bytes_at = static_cast<volatile char*>(memory);
  for (std::size_t i = 0; i < bytes; i += 4096) bytes_at[i] = 0;
}

}  // namespace orv::platform
