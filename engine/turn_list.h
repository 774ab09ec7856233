#ifndef ORVANTOR_ENGINE_TURN_LIST_H_
#define ORVANTOR_ENGINE_TURN_LIST_H_

// The hand-off between the two halves of the analysis: the readers note
// every turn of the analysis loop (a line outside any section, or a whole
// character or item section) of their stretch of the source in file order,
// and the filing then takes the stretches' turns in that order on both
// cores.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string_view>
#include <vector>

namespace orv {

// What the filing needs of one turn, in 16 bytes; the records the readers
// made hold the rest. The record of a section is the next one of its kind.
struct TurnNote {
  enum Kind : std::uint8_t { kLine = 0, kChar = 1, kItem = 2 };
  static constexpr std::uint8_t kKindBits = 3;
  static constexpr std::uint8_t kSerialPartBit = 4;     // the index part of the serial
  static constexpr std::uint8_t kContainerPartBit = 8;  // and of the "CONT=" value

  // The lines the turn spans, at least 1; 0 when more than 32 bits hold
  // (see TurnList::AddLongSpan).
  std::uint32_t lines;
  std::uint8_t flags;
  std::uint8_t container_size;
  char container[10];  // an item's "CONT=" value

  Kind kind() const { return static_cast<Kind>(flags & kKindBits); }
  int SerialPart() const { return (flags & kSerialPartBit) != 0 ? 1 : 0; }
  int ContainerPart() const { return (flags & kContainerPartBit) != 0 ? 1 : 0; }
  std::string_view Container() const { return {container, container_size}; }
};
static_assert(sizeof(TurnNote) == 16, "a turn for every ~70 bytes of the densest saves");

// The turns of one stretch of the source, appended by one thread and read,
// once it is done, by any number. Kept in blocks, so that it never moves what
// it holds and never holds twice as much as it needs.
class TurnList {
 public:
  static constexpr std::size_t kBlockShift = 16;
  static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockShift;

  // A new turn at the end, to be filled in completely.
  TurnNote& Add() {
    if ((size_ & (kBlockSize - 1)) == 0 && (size_ >> kBlockShift) == blocks_.size())
      blocks_.push_back(std::make_unique_for_overwrite<TurnNote[]>(kBlockSize));
    const std::size_t at = size_++;
    return blocks_[at >> kBlockShift][at & (kBlockSize - 1)];
  }
  // The turn just added spans `lines` lines, too many for its note.
  void AddLongSpan(std::uint64_t lines) {
    blocks_[(size_ - 1) >> kBlockShift][(size_ - 1) & (kBlockSize - 1)].lines = 0;
    long_spans_.push_back(lines);
  }

  std::size_t Size() const { return size_; }
  const TurnNote& operator[](std::size_t i) const { return blocks_[i >> kBlockShift][i & (kBlockSize - 1)]; }
  // The spans of the turns noted with 0 lines, in order.
  const std::vector<std::uint64_t>& LongSpans() const { return long_spans_; }

 private:
  std::vector<std::unique_ptr<TurnNote[]>> blocks_;
  std::vector<std::uint64_t> long_spans_;
  std::size_t size_ = 0;
};

// How the reading of a stretch ended.
enum class StretchEnd : std::uint8_t {
  kNextStretch,  // at the head that begins the next stretch
  kEndMarker,    // at "[EOF]": its turn is pumped, then the analysis ends
  kSourceEnd,    // no line is left: the analysis ends without a pump
  kFailed,       // reading failed (out of memory, too many records): pumped, then thrown
  kAbandoned,    // given up: a stretch before it ended the analysis
};

// One stretch of the source as read: [begin, end) in bytes, `begin` the
// start of a line that a reading of the whole source takes at the top
// level (one that begins with "["), or 0. Two are read at once, each by
// its own thread, so each has cache lines of its own.
struct alignas(64) Stretch {
  std::size_t begin = 0;
  std::size_t end = 0;
  TurnList turns;
  StretchEnd how = StretchEnd::kNextStretch;
  std::exception_ptr failure;  // for kFailed
  // Every line of the stretch, those after an "[EOF]" included: the
  // analysis sets the gauge against the lines of the whole source.
  std::uint64_t lines = 0;
  std::uint64_t end_marker_offset = ~std::uint64_t{0};  // the "[EOF]" line's, for kEndMarker
  // Serials of the records made, by index part: each part's table is sized
  // for its keys before the filing.
  std::size_t char_serials[2] = {0, 0};
  std::size_t item_serials[2] = {0, 0};
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_TURN_LIST_H_
