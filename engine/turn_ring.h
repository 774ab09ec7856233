#ifndef ORVANTOR_ENGINE_TURN_RING_H_
#define ORVANTOR_ENGINE_TURN_RING_H_

// The hand-off between the two halves of the analysis: the section reader
// notes each turn of the analysis loop (a line outside any section, or a
// whole character or item section) as a Turn, and the filing takes the
// turns in the same order, on the same thread or, through a TurnRing, on
// another one.

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "engine/fixed_text.h"
#include "engine/record_arena.h"
#include "platform/bulk_memory.h"

namespace orv {

// One turn of the analysis loop as the section reader found it. The loop
// pumps once per turn, files what the turn read and then sets the gauge.
struct Turn {
  enum class Kind : std::uint8_t {
    kLine,       // a line outside any character or item section
    kChar,       // a character section, read into record `id`
    kItem,       // an item section, read into record `id`
    kEndMarker,  // the "[EOF]" line: pumped, then the analysis ends
    kSourceEnd,  // no line is left: the analysis ends without a pump
    kFailed,     // reading failed (out of memory, too many records)
  };
  Kind kind = Kind::kLine;
  FixedText<10> container;  // an item's "CONT=" value
  RecordId id = kNone;
  // SlotHash of the serial and of the "CONT=" value, worked out by the
  // reader so that the filing can load the index slots well ahead.
  std::uint32_t serial_hash = 0;
  std::uint32_t container_hash = 0;
  std::uint64_t index = 0;  // the line, or the section's last line, for the gauge
};
static_assert(sizeof(Turn) == 32, "the ring holds up to two million turns");

// Whether no turn follows one of this kind.
inline bool EndsAnalysis(Turn::Kind kind) {
  return kind == Turn::Kind::kEndMarker || kind == Turn::Kind::kSourceEnd ||
         kind == Turn::Kind::kFailed;
}

// The turns on their way from the reader's thread to the filing: a ring
// with one writer and one reader. Positions count turns modulo 2^32 and are
// handed over in batches, so the two threads seldom touch the same line.
// The reader starts while the filing thread still counts the source's
// lines, and gets about a fifth of the source ahead meanwhile (counting is
// bound by memory bandwidth, which the reader shares). The ring holds a
// turn for every 512 bytes of the source, about that lead: the reader is
// what the whole analysis waits for, but every page of the ring is fresh
// memory that the reader faults in on its first round, and on a virtual
// machine those faults cost it more than the short wait for the filing
// that a ring of the lead's size may bring. Side by side with a ring twice
// the size (a turn for every 256 bytes), this one took a 128 MiB conversion
// from 0.222 to 0.210 s (medians of 40 alternating runs; quicker in 29 of
// them) and a 256 MiB one from 0.465 to 0.445 s. On an Intel host this
// size was the best too: a ring half this size made a 1 GiB conversion
// 0.053 s slower (faster in 2 of 21 rounds), one twice this size 0.063 s
// slower (faster in 6 of 21). A save has more turns than that, so the ring
// goes round and all of it is touched.
//
// The lead grows with the save, and so must the ring: capped at two
// million turns, the reader of a 2 GiB save waited 0.37-0.39 s for the
// count with the ring full (5 runs), against 0.03 s with the turn per 512
// bytes. A ring bigger than this rule gives did not pay, though: on a dense
// 1 GiB save (a section in every 70 bytes), whose reader waits 0.18-0.25 s,
// a ring twice the size took the wait away, but its fresh pages cost as
// much: the runs took 0.06 s longer (faster in 5 of 15 alternating rounds).
// So a size between two powers of two is still rounded down.
struct TurnRing {
  static constexpr std::uint32_t kBatch = 128;
  explicit TurnRing(std::size_t source_bytes)
      : size(Size(source_bytes)),
        wake_every(std::min<std::uint32_t>(4096, size / 2)),
        turns(static_cast<Turn*>(platform::AllocateBulk(size * sizeof(Turn)))) {}
  ~TurnRing() { platform::FreeBulk(turns, size * sizeof(Turn)); }
  TurnRing(const TurnRing&) = delete;
  TurnRing& operator=(const TurnRing&) = delete;

  // A power of two, so that positions modulo 2^32 wrap with the ring;
  // rounded down, so that the ring never takes more than its share of the
  // memory: between half a turn and a turn per 512 bytes, 8192 turns at
  // least and 16 million (512 MiB, for saves of 8 GiB and more) at most. A
  // world has a section in about every hundred bytes.
  static constexpr std::uint32_t kLeast = 1u << 13;
  static constexpr std::uint32_t kMost = 1u << 24;
  static std::uint32_t Size(std::size_t source_bytes) {
    const std::size_t wanted = std::clamp<std::size_t>(source_bytes / 512, kLeast, kMost);
    return static_cast<std::uint32_t>(std::bit_floor(wanted));
  }

  const std::uint32_t size;
  // Each side wakes the other only once per this many turns, and always
  // before it waits itself, so that both never sleep at once: a wake-up is a
  // system call, and a filing that keeps up with the reader would otherwise
  // be woken for every batch.
  const std::uint32_t wake_every;
  Turn* const turns;                                // zeroed memory: a Turn's bytes are all it is
  alignas(64) std::atomic<std::uint32_t> read{0};   // turns handed over by the reader
  alignas(64) std::atomic<std::uint32_t> filed{0};  // turns the filing is done with
  std::atomic<bool> stop{false};                    // the filing gave up
};

// One side's wake-ups of the other, which waits on `position`.
class Wakeups {
 public:
  Wakeups(std::atomic<std::uint32_t>& position, std::uint32_t every)
      : position_(position), every_(every) {}
  // Wakes the other side for the turns up to `at` (already stored).
  void Now(std::uint32_t at) {
    position_.notify_one();
    told_ = at;
  }
  // The same when `every` turns went by untold.
  void WhenDue(std::uint32_t at) {
    if (at - told_ >= every_) Now(at);
  }
  // The same before this side waits, when any turn is untold.
  void BeforeWaiting(std::uint32_t at) {
    if (at != told_) Now(at);
  }

 private:
  std::atomic<std::uint32_t>& position_;
  const std::uint32_t every_;
  std::uint32_t told_ = 0;
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_TURN_RING_H_
