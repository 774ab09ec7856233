#ifndef ORVANTOR_ENGINE_SHORT_TEXT_H_
#define ORVANTOR_ENGINE_SHORT_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace orv {

// A text of at most 16 bytes as two words: for 8 to 16 bytes the first and
// the last eight (overlapping), for 4 to 7 the first and the last four, for
// 1 to 3 the first, middle and last byte; nothing for none. Together with
// the length they tell texts apart exactly, and only bytes of the text are
// read: no loop over the bytes, and no stores to load back, which the
// processor could not forward to word loads.
struct ShortTextWords {
  std::uint64_t a = 0;
  std::uint64_t b = 0;
  friend bool operator==(const ShortTextWords&, const ShortTextWords&) = default;
};

inline std::uint64_t LoadWord(const char* at) {
  std::uint64_t v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

inline std::uint64_t LoadHalfWord(const char* at) {
  std::uint32_t v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

// `text` must be at most 16 bytes long.
inline ShortTextWords WordsOfShortText(std::string_view text) {
  const char* p = text.data();
  const std::size_t n = text.size();
  if (n >= 8) return {LoadWord(p), LoadWord(p + n - 8)};
  if (n >= 4) return {LoadHalfWord(p), LoadHalfWord(p + n - 4)};
  if (n > 0) {
    return {static_cast<unsigned char>(p[0]),
            std::uint64_t{static_cast<unsigned char>(p[n / 2])} << 8 |
                static_cast<unsigned char>(p[n - 1])};
  }
  return {};
}

}  // namespace orv

#endif  // ORVANTOR_ENGINE_SHORT_TEXT_H_
