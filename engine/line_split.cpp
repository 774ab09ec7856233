#include "engine/line_split.h"

#include <algorithm>
#include <cstring>
#include <thread>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "engine/background_thread.h"

namespace orv {

namespace {

constexpr std::string_view kItemHead = "[WORLDITEM";
constexpr std::string_view kCharHead = "[WORLDCHAR";
static_assert(kItemHead.size() == kCharHead.size());

struct Counts {
  std::uint64_t separators = 0;
  std::uint64_t item_heads = 0;  // "[WORLDITEM" right after an LF
  std::uint64_t char_heads = 0;  // "[WORLDCHAR" right after an LF
};

// Counts the head that begins at `p` (inside [p, end)), if any.
void CountHeadAt(const char* p, const char* end, Counts& counts) {
  if (static_cast<std::size_t>(end - p) < kItemHead.size()) return;
  if (std::memcmp(p, kItemHead.data(), kItemHead.size()) == 0) {
    ++counts.item_heads;
  } else if (std::memcmp(p, kCharHead.data(), kCharHead.size()) == 0) {
    ++counts.char_heads;
  }
}

// The separators and heads of [p, end) by the rules of
// CountSeparators below, byte by byte.
void CountBytewise(const char* p, const char* end, const char* buffer_end, Counts& counts) {
  for (; p < end; ++p) {
    if (*p == '\n') {
      ++counts.separators;
      CountHeadAt(p + 1, buffer_end, counts);
    } else if (*p == '\r') {
      if (p + 1 >= end || p[1] != '\n') ++counts.separators;
    }
  }
}

#if defined(__x86_64__)
// The same 32 bytes at a time, for processors with AVX2 (nearly all that
// run this).
__attribute__((target("avx2,popcnt"))) Counts CountSeparatorsAvx2(const char* p, const char* end,
                                                                  const char* buffer_end) {
  Counts counts;
  const __m256i cr = _mm256_set1_epi8('\r');
  const __m256i lf = _mm256_set1_epi8('\n');
  const __m256i bracket = _mm256_set1_epi8('[');
  // One byte of look-ahead stays inside the range for the CR LF test.
  while (end - p >= 33) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
    const __m256i lfs = _mm256_cmpeq_epi8(v, lf);
    const __m256i lone_crs =
        _mm256_andnot_si256(_mm256_cmpeq_epi8(w, lf), _mm256_cmpeq_epi8(v, cr));
    counts.separators += static_cast<unsigned>(__builtin_popcount(
        static_cast<unsigned>(_mm256_movemask_epi8(_mm256_or_si256(lfs, lone_crs)))));
    unsigned starts = static_cast<unsigned>(
        _mm256_movemask_epi8(_mm256_and_si256(lfs, _mm256_cmpeq_epi8(w, bracket))));
    while (starts != 0) {
      CountHeadAt(p + 1 + __builtin_ctz(starts), buffer_end, counts);
      starts &= starts - 1;
    }
    p += 32;
  }
  CountBytewise(p, end, buffer_end, counts);
  return counts;
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
  return has;
}
#endif

// Counts separators in [p, end): every LF, and every CR not directly
// followed by an LF inside the range; and the item and character heads
// that begin right after an LF inside the range, looking at most up to
// `buffer_end`.
Counts CountSeparators(const char* p, const char* end, const char* buffer_end) {
#if defined(__x86_64__)
  if (HasAvx2()) return CountSeparatorsAvx2(p, end, buffer_end);
#endif
  // Byte by byte elsewhere: slower, the same counts.
  Counts counts;
  CountBytewise(p, end, buffer_end, counts);
  return counts;
}

}  // namespace

std::uint64_t CountLines(std::string_view bytes) { return CountLinesAndHeads(bytes).lines; }

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
    Counts second;
    {
      BackgroundThread worker;
      const auto count_first = [&] { first = CountSeparators(begin, mid, end); };
      const bool started = worker.Start(count_first);
      second = CountSeparators(mid, end, end);
      if (!started) count_first();  // no thread to be had: this one counts both halves
      worker.Join();
    }
    counts.separators = first.separators + second.separators;
    counts.item_heads = first.item_heads + second.item_heads;
    counts.char_heads = first.char_heads + second.char_heads;
  } else {
    counts = CountSeparators(begin, end, end);
  }
  const char last = end[-1];
  LineCounts result;
  result.lines = counts.separators + ((last == '\r' || last == '\n') ? 0 : 1);
  CountHeadAt(begin, end, counts);  // the first line follows no LF
  result.item_heads = counts.item_heads;
  result.char_heads = counts.char_heads;
  return result;
}

}  // namespace

LineCounts CountLinesAndHeads(std::string_view bytes) { return Count(bytes, true); }

namespace {

// The NULs of [begin, end), one a line, with the line numbers counted from
// `begin` (the range ends after an LF or at a byte that is not CR, see
// Count). Lines are counted only up to the last NUL: a save has none, and
// then the sweep is one memchr.
std::vector<NulByte> SweepForNuls(const char* begin, const char* end, const char* buffer_end) {
  std::vector<NulByte> nuls;
  std::uint64_t separators = 0;
  for (const char* p = begin; p < end;) {
    const void* found = std::memchr(p, 0, static_cast<std::size_t>(end - p));
    if (found == nullptr) break;
    const char* nul = static_cast<const char*>(found);
    // A CR right before the NUL ended a line of its own.
    separators += CountSeparators(p, nul, buffer_end).separators;
    const std::uint64_t line = separators + 1;
    if (nuls.empty() || nuls.back().line != line)
      nuls.push_back({static_cast<std::uint64_t>(nul - begin), line});
    p = nul + 1;
  }
  return nuls;
}

}  // namespace

std::vector<NulByte> FindNulBytes(std::string_view bytes) {
  const char* begin = bytes.data();
  const char* end = begin + bytes.size();
  constexpr std::size_t kParallelFrom = 64u << 20;
  if (bytes.size() < kParallelFrom || std::thread::hardware_concurrency() < 2) {
    return SweepForNuls(begin, end, end);
  }
  // Split as Count does: a CR LF never straddles the halves.
  const char* mid = begin + bytes.size() / 2;
  while (mid < end && mid[-1] == '\r') ++mid;
  std::vector<NulByte> first;
  std::vector<NulByte> second;
  {
    BackgroundThread worker;
    if (!worker.Start([&] { second = SweepForNuls(mid, end, end); })) {
      return SweepForNuls(begin, end, end);  // no thread to be had
    }
    first = SweepForNuls(begin, mid, end);
    worker.Join();
  }
  if (second.empty()) return first;
  // The second half's lines follow all of the first half's.
  const std::uint64_t lines_before = CountSeparators(begin, mid, end).separators;
  for (NulByte& n : second) {
    n.offset += static_cast<std::uint64_t>(mid - begin);
    n.line += lines_before;
  }
  // A line that runs across the middle keeps its first NUL only.
  if (!first.empty() && second.front().line == first.back().line) second.erase(second.begin());
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

std::vector<std::uint64_t> LineNumbersAt(std::string_view bytes,
                                         const std::vector<std::uint64_t>& offsets) {
  std::vector<std::uint64_t> numbers(offsets.size());
  const char* begin = bytes.data();
  const char* end = begin + bytes.size();
  // The line of a byte is one more than the separators before it. No byte
  // asked for is an LF, so a CR right before one is a whole separator, as
  // CountSeparators takes a CR at the end of its range.
  std::uint64_t line = 1;
  std::uint64_t at = 0;
  for (std::size_t k = 0; k < offsets.size(); ++k) {
    const std::uint64_t offset = std::min<std::uint64_t>(offsets[k], bytes.size());
    if (offset > at) {
      line += CountSeparators(begin + at, begin + offset, end).separators;
      at = offset;
    }
    numbers[k] = line;
  }
  return numbers;
}

LineCounts CountLinesAndHeadsOnThisThread(std::string_view bytes) { return Count(bytes, false); }

}  // namespace orv
