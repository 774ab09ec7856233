#ifndef ORVANTOR_ENGINE_FIXED_TEXT_H_
#define ORVANTOR_ENGINE_FIXED_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/short_text.h"

namespace orv {

// Text of at most N bytes stored inline, for the record fields whose length
// the world-save reader caps (a serial keeps at most 10 characters, a name
// 30). Any byte is allowed, NUL included; the unused tail is kept zeroed so
// that two texts compare and hash as fixed-size blocks.
template <std::size_t N>
class FixedText {
  static_assert(N > 0 && N < 256, "length is kept in one byte");

 public:
  static constexpr std::size_t kCapacity = N;

  FixedText() { std::memset(data_, 0, N); }
  explicit FixedText(std::string_view text) { Assign(text); }

  // Keeps the first N bytes of `text`; the rest is cut off.
  void Assign(std::string_view text) {
    len_ = static_cast<std::uint8_t>(text.size() < N ? text.size() : N);
    std::memset(data_, 0, N);
    if (len_ != 0) std::memcpy(data_, text.data(), len_);
  }

  // Empties the text in place (assigning an empty FixedText builds one on
  // the stack and copies it over in pieces the processor stalls on).
  void Clear() {
    len_ = 0;
    std::memset(data_, 0, N);
  }

  std::string_view view() const { return {data_, len_}; }
  std::string str() const { return std::string(view()); }
  std::size_t size() const { return len_; }
  bool empty() const { return len_ == 0; }
  const char* data() const { return data_; }

  friend bool operator==(const FixedText& a, const FixedText& b) {
    return a.len_ == b.len_ && std::memcmp(a.data_, b.data_, N) == 0;
  }
  // Serials are compared for every index hit: short texts are compared as
  // words, with no call.
  friend bool operator==(const FixedText& a, std::string_view b) {
    if constexpr (N <= 16) {
      return a.len_ == b.size() && WordsOfShortText(a.view()) == WordsOfShortText(b);
    } else {
      return a.view() == b;
    }
  }

 private:
  std::uint8_t len_ = 0;
  char data_[N];
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_FIXED_TEXT_H_
