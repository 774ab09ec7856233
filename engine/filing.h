#ifndef ORVANTOR_ENGINE_FILING_H_
#define ORVANTOR_ENGINE_FILING_H_

// The filing half of the analysis: takes the turns the section reader noted
// in file order, pumps once per turn, links the characters in file order,
// files every record by serial, hangs every item under a container filed
// before it, counts, and sets the gauge.

#include <array>
#include <cstdint>

#include "engine/host.h"
#include "engine/pump.h"
#include "engine/section_reader.h"
#include "engine/turn_ring.h"
#include "engine/world.h"

namespace orv {

// Counts the source's lines if the load left that to the analysis, then
// sizes the item index for the items the save announces: it then does not
// have to rehash every key into fresh memory as it fills. Before the first
// turn is filed.
void PrepareFiling(World& w);

class Filer {
 public:
  // Files the turns of `reader` into `w`; pumps and sets the gauge on `host`.
  Filer(World& w, RunHost& host, const SectionReader& reader);

  // Files the turns [first, last) in order. Returns false once a turn ended
  // the analysis; the turns after it are not looked at. Rethrows the
  // reader's failure at its turn, after its pump; a cancelling pump
  // leaves its turn unfiled. The turns [last, ahead), read already and
  // filed by the next call, have their index slots loaded ahead too.
  bool File(const Turn* first, const Turn* last) { return File(first, last, last); }
  bool File(const Turn* first, const Turn* last, const Turn* ahead);

 private:
  template <bool kNoteLines>
  bool FileTurns(const Turn* first, const Turn* last, const Turn* ahead);
  void LoadFirstTurnsAhead(const Turn* first, const Turn* ahead);
  void NoteHeadLine(const Turn& t);
  void PrefetchSlots(const Turn& t) const;
  void PrefetchHolder(const Turn& t) const;
  void FileChar(const Turn& t);
  void FileItem(const Turn& t);

  // A holder found for a "CONT=" value, kept by its hash so that the items
  // after it that name it skip both index look-ups: the items of a container
  // mostly follow it, so most values were looked up a few sections before.
  // The first record filed under a serial stays the one found, so an entry
  // holds, except that a character filed later under an item holder's
  // serial takes over; filing a character forgets the entry of its hash.
  struct Holder {
    FixedText<10> serial;
    std::uint32_t hash = 0;
    RecordId id = kNone;  // kNone: no holder kept here
    bool is_char = false;
  };
  static std::size_t HolderSlot(std::uint32_t hash) { return hash >> 24; }
  const Holder* KnownHolder(const Turn& t) const;

  World& w_;
  RunHost& host_;
  const SectionReader& reader_;
  const std::uint64_t lines_per_percent_;
  const bool note_lines_;
  std::uint64_t next_line_ = 0;  // the index of the first line of the next turn
  Pump pump_;
  std::array<Holder, 256> holders_{};
  // Where the last call ended and how far past it the loads ahead reached:
  // a call that goes on from there has its first turns loaded already.
  const Turn* end_ = nullptr;
  const Turn* slots_to_ = nullptr;
  const Turn* holders_to_ = nullptr;
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_FILING_H_
