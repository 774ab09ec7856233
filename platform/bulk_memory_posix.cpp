// The POSIX side of bulk_memory.h: anonymous mappings on huge-page
// boundaries. Huge pages are asked for only for the scattered tables, and
// only where they come cheap. On the virtual machines that servers mostly
// run on, a huge page the guest zeroes may come from memory the host has
// taken back, and backing it again costs the host hundreds of faults:
// zeroing 512 MiB took 0.8-1.5 s in huge pages against 0.2-0.4 s in small
// ones on such a machine, and that changed within the hour.
//
// Where they are cheap, they pay. On an Intel virtual machine whose memory
// had just been backed, MADV_HUGEPAGE on every block of a 1 GiB conversion
// (the item index, the records, the hand-over ring) cut its CPU time by
// 0.42 s of 4.4 (less in 11 of 11 alternating rounds; 0.21 s, less in 8 of
// 9, with ascending serials). Most of that is the item index, whose 128 MiB
// of slots the filing and the passes visit at random: in huge pages alone
// it took 0.10-0.24 s of CPU and 0.03-0.07 s of wall time off the
// conversion (five comparisons of 9 or 11 alternating rounds, faster in 6
// to 8 of them, random and ascending serials). The records and the ring
// are filled in order; in huge pages they gained 0.005-0.04 s of wall
// time, and the ring on top of the index none.
//
// So a scattered table finds out first: of its first two huge pages, one is
// backed as a huge page and one as 512 small ones, each timed by the
// thread's CPU time, which takes in the host's backing too. The rest of the
// table is asked for in huge pages only when the huge one cost no more. The
// probe backs nothing the table would not back anyway, and every table
// asks afresh, as the host's costs change.

#include "platform/bulk_memory.h"

#include <sys/mman.h>
#include <time.h>

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

// Tables smaller than this are backed in small pages without a probe.
constexpr std::size_t kProbeFrom = std::size_t{16} << 20;

// The CPU time this thread has used, faults included.
std::int64_t ThreadNanoseconds() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

// Backs `bytes` at `p` now and returns the CPU time that took.
std::int64_t TimedTouch(char* p, std::size_t bytes) {
  const std::int64_t start = ThreadNanoseconds();
  TouchBulk(p, bytes);
  return ThreadNanoseconds() - start;
}

}  // namespace

void* MapScatteredPages(std::size_t bytes) {
  void* const block = MapBulkPages(bytes);
  char* const p = static_cast<char*>(block);
  std::size_t backed = 0;
  if (bytes >= kProbeFrom && ::madvise(p, kHugePage, MADV_HUGEPAGE) == 0 &&
      ::madvise(p + kHugePage, kHugePage, MADV_NOHUGEPAGE) == 0) {
    const std::int64_t small = TimedTouch(p + kHugePage, kHugePage);
    const std::int64_t huge = TimedTouch(p, kHugePage);
    backed = 2 * kHugePage;
    if (huge <= small) ::madvise(p + backed, RoundUp(bytes, kHugePage) - backed, MADV_HUGEPAGE);
  }
  TouchBulk(p + backed, bytes - backed);
  return block;
}

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
