#ifndef ORVANTOR_ENGINE_LINE_SPLIT_H_
#define ORVANTOR_ENGINE_LINE_SPLIT_H_

// How a whole file becomes lines: a line ends at a CR, an LF or a CR LF; the
// separators are not part of the line. LF CR is two separators. A file that
// ends with a separator has no empty last line, and an empty file has none.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orv {

// The first CR or LF in [p, end), or `end` when there is none. Inline: it
// runs once for every line read or written.
inline const char* FindLineBreak(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  // A world save's lines are mostly 10 to 30 bytes long: looking at 32 bytes
  // at a time ends nearly every search in the first step, where 16 bytes at
  // a time would take one step or two at random and mispredict the loop.
  while (end - p >= 32) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    const unsigned low = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(a, cr), _mm_cmpeq_epi8(a, lf))));
    const unsigned high = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(b, cr), _mm_cmpeq_epi8(b, lf))));
    const unsigned mask = low | (high << 16);
    if (mask != 0) return p + __builtin_ctz(mask);
    p += 32;
  }
  while (end - p >= 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
    if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#endif
  while (p < end && *p != '\r' && *p != '\n') ++p;
  return p;
}

// The number of lines of `bytes` by the rules above. Large inputs are
// counted on two threads.
std::uint64_t CountLines(std::string_view bytes);

// The same count, and in the same pass the numbers of lines that begin with
// "[WORLDITEM" and with "[WORLDCHAR" (at the start or after an LF; not
// indented): close to the numbers of item and character sections, to size
// the item index and the records' memory before they fill.
struct LineCounts {
  std::uint64_t lines = 0;
  std::uint64_t item_heads = 0;
  std::uint64_t char_heads = 0;
};
LineCounts CountLinesAndHeads(std::string_view bytes);
// The same on the calling thread only, for a caller that keeps the other
// cores busy meanwhile.
LineCounts CountLinesAndHeadsOnThisThread(std::string_view bytes);

// The 1-based number of the line that holds the byte at each of the
// `offsets` (ascending; each a byte that is not a line feed, or the end of
// `bytes`), found in one sweep.
std::vector<std::uint64_t> LineNumbersAt(std::string_view bytes,
                                         const std::vector<std::uint64_t>& offsets);

// Where NUL bytes are: for each line that holds one, the offset of its
// first NUL and the line's 1-based number, in one sweep (on two threads
// for large inputs).
struct NulByte {
  std::uint64_t offset = 0;
  std::uint64_t line = 0;
};
std::vector<NulByte> FindNulBytes(std::string_view bytes);

// A forward cursor over the lines of a buffer. No allocation: each line is a
// view into the buffer.
//
// Each line's end is searched for from the line's start, so a walk waits
// for one line's search before it starts the next. A cursor that noted the
// line ends of 64 bytes at a time and stepped by the lowest bit of a mask
// walked the lines of a 256 MiB save in 160 ms against 220 ms, but in the
// section reader alone it made whole 1 GiB conversions take 0.15 s more
// CPU (less in 4 of 15 alternating rounds), and used everywhere 0.26 s more
// (less in 3 of 15). In the reader it executed as many instructions as this
// search (cachegrind), which is bound by that count rather than by the
// wait, and the writers start a cursor for every section they copy.
class LineCursor {
 public:
  LineCursor() = default;
  explicit LineCursor(std::string_view bytes)
      : begin_(bytes.data()), pos_(bytes.data()), end_(bytes.data() + bytes.size()) {
    Scan();
  }
  // A cursor that starts at byte `offset` of `bytes`, which must be the start
  // of a line.
  LineCursor(std::string_view bytes, std::size_t offset)
      : begin_(bytes.data()), pos_(bytes.data() + offset), end_(bytes.data() + bytes.size()) {
    Scan();
  }

  // Whether the cursor stands on a line.
  bool HasLine() const { return pos_ < end_; }
  // The current line, without its separator.
  std::string_view Line() const { return {pos_, static_cast<std::size_t>(line_end_ - pos_)}; }
  // The byte at the current line's start: its first, or its separator when
  // it is empty. Only while the cursor stands on a line.
  char FirstByte() const { return *pos_; }
  // Byte offset of the current line's start (the end of the buffer when past
  // the last line).
  std::size_t Offset() const { return static_cast<std::size_t>(pos_ - begin_); }
  // Whether the current line is followed by CR LF (not by a lone CR or LF,
  // nor by the end of the buffer).
  bool EndsWithCrLf() const { return next_ - line_end_ == 2; }
  // Steps to the next line.
  void Advance() {
    pos_ = next_;
    Scan();
  }

 private:
  void Scan() {
    if (pos_ >= end_) {
      line_end_ = next_ = end_;
      return;
    }
    line_end_ = FindLineBreak(pos_, end_);
    next_ = line_end_;
    if (next_ < end_) {
      if (*next_ == '\r' && next_ + 1 < end_ && next_[1] == '\n')
        next_ += 2;
      else
        next_ += 1;
    }
  }

  const char* begin_ = nullptr;
  const char* pos_ = nullptr;
  const char* end_ = nullptr;
  const char* line_end_ = nullptr;
  const char* next_ = nullptr;
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_LINE_SPLIT_H_
