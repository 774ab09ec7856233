// The POSIX side of bulk_memory.h: anonymous mappings on huge-page
// boundaries. Huge pages are not asked for: where the system backs memory
// with them on its own, the blocks are placed to take them, but on the
// virtual machines that servers mostly run on, a huge page the guest zeroes
// comes from memory the host has taken back, and backing it again costs the
// host hundreds of faults. Zeroing 512 MiB took 0.8-1.5 s in huge pages
// against 0.2-0.4 s in small ones on such a machine.
//
// What they would save is real but smaller than that risk. On an Intel
// virtual machine whose memory had just been backed, MADV_HUGEPAGE on every
// block of a 1 GiB conversion (the item index, the records, the hand-over
// ring) cut its CPU time by 0.42 s of 4.4 (less in 11 of 11 alternating
// rounds; 0.21 s, less in 8 of 9, with ascending serials), mostly in the
// filing and the writers' walks, which miss the address cache on nearly
// every record. The wall time moved by only -0.09 s (faster in 8 of 11;
// -0.20 s, faster in 6 of 9), with a wider spread: the reader, which the
// analysis waits for, reads the source and fills the records in order and
// gains little.

#include "platform/bulk_memory.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace orv::platform {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t n, std::size_t to) { return (n + to - 1) / to * to; }

// The mappings that DiscardNotedPages takes back, by their start.
struct Discardable {
  std::mutex mutex;
  std::map<const void*, std::size_t> spans;
};
// Never destroyed: a world kept in a static (as the fuzz targets keep
// theirs) frees its blocks when the statics go, after a note made at its
// first block would be gone.
Discardable& Noted() {
  alignas(Discardable) static unsigned char storage[sizeof(Discardable)];
  static Discardable* const noted = ::new (static_cast<void*>(storage)) Discardable;
  return *noted;
}

}  // namespace

void* MapBulkPages(std::size_t bytes) {
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
  NoteDiscardable(block, size);
  return block;
}

void UnmapBulkPages(void* memory, std::size_t bytes) noexcept {
  ForgetDiscardable(memory);
  ::munmap(memory, RoundUp(bytes, kHugePage));
}

void NoteDiscardable(const void* memory, std::size_t bytes) noexcept {
  Discardable& d = Noted();
  const std::lock_guard<std::mutex> lock(d.mutex);
  try {
    d.spans[memory] = bytes;
  } catch (const std::bad_alloc&) {
    // Not noted: the exit takes this one back as ever.
  }
}

void ForgetDiscardable(const void* memory) noexcept {
  Discardable& d = Noted();
  const std::lock_guard<std::mutex> lock(d.mutex);
  d.spans.erase(memory);
}

void DiscardNotedPages() noexcept {
  Discardable& d = Noted();
  const std::lock_guard<std::mutex> lock(d.mutex);
  // Pieces of 64 MiB, taken in turn by both threads.
  constexpr std::size_t kPiece = std::size_t{64} << 20;
  std::vector<std::pair<char*, std::size_t>> pieces;
  try {
    for (const auto& [at, bytes] : d.spans) {
      char* const base = static_cast<char*>(const_cast<void*>(at));
      for (std::size_t o = 0; o < bytes; o += kPiece)
        pieces.emplace_back(base + o, std::min(kPiece, bytes - o));
    }
  } catch (const std::bad_alloc&) {
    return;  // the exit frees them as ever
  }
  std::atomic<std::size_t> next{0};
  const auto discard = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < pieces.size();)
      ::madvise(pieces[i].first, pieces[i].second, MADV_DONTNEED);
  };
  std::thread helper;
  try {
    helper = std::thread(discard);
  } catch (const std::system_error&) {
  }
  discard();
  if (helper.joinable()) helper.join();
}

}  // namespace orv::platform
