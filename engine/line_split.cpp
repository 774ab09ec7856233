#include "engine/line_split.h"

#include <cstring>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orv {

namespace {

constexpr std::string_view kItemHead = "[WORLDITEM";

// Whether an item head begins at `p` (inside [p, end)).
bool ItemHeadAt(const char* p, const char* end) {
  return static_cast<std::size_t>(end - p) >= kItemHead.size() &&
         std::memcmp(p, kItemHead.data(), kItemHead.size()) == 0;
}

struct Counts {
  std::uint64_t separators = 0;
  std::uint64_t item_heads = 0;  // "[WORLDITEM" right after an LF
};

// Counts separators in [p, end): every LF, and every CR not directly
// followed by an LF inside the range; and the item heads that begin right
// after an LF inside the range, looking at most up to `buffer_end`.
Counts CountSeparators(const char* p, const char* end, const char* buffer_end) {
  std::uint64_t n = 0;
  std::uint64_t heads = 0;
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  // Per-byte counters: a byte is an LF or a lone CR, never both, so each
  // lane grows by at most 1 a block and is summed before it can wrap. One
  // byte of look-ahead stays inside the range for the CR LF test.
  const __m128i zero = _mm_setzero_si128();
  const __m128i bracket = _mm_set1_epi8('[');
  while (end - p >= 17) {
    __m128i acc = zero;
    for (int block = 0; block < 255 && end - p >= 17; ++block, p += 16) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
      __m128i lfs = _mm_cmpeq_epi8(v, lf);
      __m128i lone_crs = _mm_andnot_si128(_mm_cmpeq_epi8(w, lf), _mm_cmpeq_epi8(v, cr));
      acc = _mm_sub_epi8(acc, _mm_or_si128(lfs, lone_crs));
      // An LF with "[" after it starts a line that may be an item head.
      unsigned starts = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(lfs, _mm_cmpeq_epi8(w, bracket))));
      while (starts != 0) {
        heads += ItemHeadAt(p + 1 + __builtin_ctz(starts), buffer_end);
        starts &= starts - 1;
      }
    }
    __m128i sums = _mm_sad_epu8(acc, zero);
    n += static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
         static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
  }
#endif
  for (; p < end; ++p) {
    if (*p == '\n') {
      ++n;
      heads += ItemHeadAt(p + 1, buffer_end);
    } else if (*p == '\r') {
      if (p + 1 >= end || p[1] != '\n') ++n;
    }
  }
  return {n, heads};
}

}  // namespace

std::uint64_t CountLines(std::string_view bytes) { return CountLinesAndItemHeads(bytes).lines; }

namespace {

LineCounts Count(std::string_view bytes, bool parallel) {
  if (bytes.empty()) return {};
  const char* begin = bytes.data();
  const char* end = begin + bytes.size();
  Counts counts;
  constexpr std::size_t kParallelFrom = 64u << 20;
  if (parallel && bytes.size() >= kParallelFrom && std::thread::hardware_concurrency() > 1) {
    // Split so that a CR LF pair never straddles the halves: the first half
    // ends after an LF or at a byte that is not CR.
    const char* mid = begin + bytes.size() / 2;
    while (mid < end && mid[-1] == '\r') ++mid;
    // A head right after an LF that ends the first half is seen by the
    // first half (it looks one byte ahead, into the second).
    Counts first;
    std::thread worker([&] { first = CountSeparators(begin, mid, end); });
    const Counts second = CountSeparators(mid, end, end);
    worker.join();
    counts.separators = first.separators + second.separators;
    counts.item_heads = first.item_heads + second.item_heads;
  } else {
    counts = CountSeparators(begin, end, end);
  }
  const char last = end[-1];
  LineCounts result;
  result.lines = counts.separators + ((last == '\r' || last == '\n') ? 0 : 1);
  result.item_heads = counts.item_heads + (ItemHeadAt(begin, end) ? 1 : 0);
  return result;
}

}  // namespace

LineCounts CountLinesAndItemHeads(std::string_view bytes) { return Count(bytes, true); }

LineCounts CountLinesAndItemHeadsOnThisThread(std::string_view bytes) {
  return Count(bytes, false);
}

}  // namespace orv
