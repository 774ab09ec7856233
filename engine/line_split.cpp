#include "engine/line_split.h"

#include <cstring>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orv {

namespace {

// Counts separators in [p, end): every LF, and every CR not directly
// followed by an LF inside the range.
std::uint64_t CountSeparators(const char* p, const char* end) {
  std::uint64_t n = 0;
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  // Per-byte counters: a byte is an LF or a lone CR, never both, so each
  // lane grows by at most 1 a block and is summed before it can wrap. One
  // byte of look-ahead stays inside the range for the CR LF test.
  const __m128i zero = _mm_setzero_si128();
  while (end - p >= 17) {
    __m128i acc = zero;
    for (int block = 0; block < 255 && end - p >= 17; ++block, p += 16) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
      __m128i lfs = _mm_cmpeq_epi8(v, lf);
      __m128i lone_crs = _mm_andnot_si128(_mm_cmpeq_epi8(w, lf), _mm_cmpeq_epi8(v, cr));
      acc = _mm_sub_epi8(acc, _mm_or_si128(lfs, lone_crs));
    }
    __m128i sums = _mm_sad_epu8(acc, zero);
    n += static_cast<std::uint64_t>(_mm_cvtsi128_si64(sums)) +
         static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
  }
#endif
  for (; p < end; ++p) {
    if (*p == '\n') {
      ++n;
    } else if (*p == '\r') {
      if (p + 1 >= end || p[1] != '\n') ++n;
    }
  }
  return n;
}

}  // namespace

std::uint64_t CountLines(std::string_view bytes) {
  if (bytes.empty()) return 0;
  const char* begin = bytes.data();
  const char* end = begin + bytes.size();
  std::uint64_t separators = 0;
  constexpr std::size_t kParallelFrom = 64u << 20;
  if (bytes.size() >= kParallelFrom && std::thread::hardware_concurrency() > 1) {
    // Split so that a CR LF pair never straddles the halves: the first half
    // ends after an LF or at a byte that is not CR.
    const char* mid = begin + bytes.size() / 2;
    while (mid < end && mid[-1] == '\r') ++mid;
    std::uint64_t first = 0;
    std::thread worker([&] { first = CountSeparators(begin, mid); });
    std::uint64_t second = CountSeparators(mid, end);
    worker.join();
    separators = first + second;
  } else {
    separators = CountSeparators(begin, end);
  }
  const char last = end[-1];
  return separators + ((last == '\r' || last == '\n') ? 0 : 1);
}

}  // namespace orv
