#ifndef ORVANTOR_ENGINE_TURN_LIST_H_
#define ORVANTOR_ENGINE_TURN_LIST_H_

// The hand-off between the two halves of the analysis: the readers note
// every turn of the analysis loop (a line outside any section, or a whole
// character or item section) of their stretch of the source in file order,
// and the filing then takes the stretches' turns in that order on both
// cores.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <string_view>
#include <vector>

namespace orv {

// What the filing needs of one turn, in 16 bytes; the records the readers
// made hold the rest. The record of a section is the next one of its kind.
// The readers work out the serial's hash, so that the filing never has to
// load a record to know where to file it.
struct TurnNote {
  enum Kind : std::uint8_t { kLine = 0, kChar = 1, kItem = 2 };

  std::uint32_t serial_hash;  // Tree's SlotHash of a section's serial
  // The lines the turn spans, 1 to 255; 0 for more (see TurnList::LongSpans).
  std::uint8_t lines;
  // The kind in bits 0-1, the index part of the "CONT=" value in bit 2 and
  // the value's length in bits 4-7.
  std::uint8_t flags;
  char container[10];  // an item's "CONT=" value

  Kind kind() const { return static_cast<Kind>(flags & 3); }
  int SerialPart() const { return static_cast<int>(serial_hash >> 31); }
  int ContainerPart() const { return (flags >> 2) & 1; }
  std::string_view Container() const { return {container, static_cast<std::size_t>(flags >> 4)}; }
};
static_assert(sizeof(TurnNote) == 16, "a turn for every ~70 bytes of the densest saves");

// The turns of one stretch of the source, appended by one thread and read,
// once it is done, by any number. Kept in blocks, so that it never moves what
// it holds and never holds twice as much as it needs.
class TurnList {
 public:
  static constexpr std::size_t kBlockShift = 16;
  static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockShift;

  // A new turn of `kind` spanning `lines` lines at the end; the caller fills
  // in the rest of a section's turn.
  TurnNote& Add(TurnNote::Kind kind, std::uint64_t lines) {
    if ((size_ & (kBlockSize - 1)) == 0 && (size_ >> kBlockShift) == blocks_.size())
      blocks_.push_back(std::make_unique_for_overwrite<TurnNote[]>(kBlockSize));
    const std::size_t at = size_++;
    TurnNote& t = blocks_[at >> kBlockShift][at & (kBlockSize - 1)];
    t.flags = kind;
    if (lines <= 255) {
      t.lines = static_cast<std::uint8_t>(lines);
    } else {
      t.lines = 0;
      long_spans_.push_back(lines);
    }
    return t;
  }

  // Notes the "CONT=" value of the item turn just added: `container` (at
  // most 10 bytes) and its index part.
  static void SetContainer(TurnNote& t, std::string_view container, int part) {
    t.flags = static_cast<std::uint8_t>(t.flags | part << 2 | container.size() << 4);
    if (!container.empty()) std::memcpy(t.container, container.data(), container.size());
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
  // Items by the index part of their "CONT=" value, where they are hung.
  std::size_t item_containers[2] = {0, 0};
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_TURN_LIST_H_
