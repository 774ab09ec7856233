#include "engine/filing.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/background_thread.h"
#include "engine/prefetch.h"
#include "engine/pump.h"
#include "engine/tree.h"

namespace orv {
namespace {

// The filing of the keys of some index parts: takes the turns in file order
// and files each record whose serial falls in them, and hangs each item
// whose "CONT=" value does. One such filer per part may work on a thread
// of its own: the records, lists and index slots each one changes are its
// own (an item's Next belongs to its container's part, a holder's list to
// its serial's). Each look-up is prepared some turns ahead, since the index
// slots and the holders miss the caches on a big world: first the slots,
// then the holders those slots name. Each filer has cache lines of its own:
// they change with every turn.
class alignas(64) PartFiler {
 public:
  PartFiler(World& w, unsigned parts) : w_(w), parts_(parts) {}

  // Files the turns [from, to) of `turns`; the records are the next ones
  // of their kinds after those of the turns filed before. Looks ahead into
  // the rest of `turns`.
  void File(const TurnList& turns, std::size_t from, std::size_t to) {
    if (&turns != ahead_list_) {
      ahead_list_ = &turns;
      slots_ahead_ = from;
      holders_ahead_ = from;
    }
    const std::size_t n = turns.Size();
    for (std::size_t k = from; k < to; ++k) {
      for (; slots_ahead_ < n && slots_ahead_ < k + kSlotsAhead; ++slots_ahead_)
        LoadSlots(turns[slots_ahead_], slots_ahead_);
      for (; holders_ahead_ < slots_ahead_ && holders_ahead_ < k + kHoldersAhead; ++holders_ahead_)
        LoadHolder(turns[holders_ahead_], holders_ahead_);
      File(turns[k], k);
    }
  }

  // Makes room for the Next links of `items` items.
  void Reserve(std::size_t items) { next_items.reserve(items); }

  // What the filing found, for the world once every part is done.
  // The Next link of each item hung by this filer, in file order: written
  // into the records afterwards (see LinkItems), since two records share a
  // cache line, and two threads writing into them would take it from each
  // other at every item.
  std::vector<RecordId> next_items;
  RecordId unowned = kNone;  // newest first
  std::int64_t contained = 0;
  std::vector<LooseItem> loose_items;     // in file order
  std::vector<RecordId> duplicate_chars;  // in file order
  std::vector<RecordId> duplicate_items;

 private:
  static constexpr std::size_t kSlotsAhead = 32;
  static constexpr std::size_t kHoldersAhead = 16;
  static constexpr std::size_t kRing = 32;  // at least kSlotsAhead

  bool Mine(int part) const { return (parts_ >> part & 1) != 0; }

  // Far ahead: the slots of the serial and of the "CONT=" value.
  void LoadSlots(const TurnNote& t, std::size_t k) {
    if (t.kind() == TurnNote::kItem) {
      if (Mine(t.SerialPart())) w_.ItemTree.Prefetch(t.serial_hash);
      if (Mine(t.ContainerPart())) {
        const std::uint32_t hash = Tree<TWorldItem>::SlotHash(t.Container());
        container_hashes_[k % kRing] = hash;
        w_.CharTree.Prefetch(hash);
        w_.ItemTree.Prefetch(hash);
      }
    } else if (t.kind() == TurnNote::kChar) {
      if (Mine(t.SerialPart())) w_.CharTree.Prefetch(t.serial_hash);
    }
  }

  // Nearer: the holder that the slot of the "CONT=" value names.
  void LoadHolder(const TurnNote& t, std::size_t k) {
    if (t.kind() != TurnNote::kItem || !Mine(t.ContainerPart())) return;
    const std::uint32_t hash = container_hashes_[k % kRing];
    w_.CharTree.PrefetchRecord(hash);
    w_.ItemTree.PrefetchRecord(hash);
  }

  void File(const TurnNote& t, std::size_t k) {
    if (t.kind() == TurnNote::kItem) {
      const RecordId id = next_item_++;
      if (Mine(t.SerialPart()) && !w_.ItemTree.InsertOwnSerial(t.serial_hash, id)) duplicate_items.push_back(id);
      if (Mine(t.ContainerPart())) {
        RecordId next;
        if (AttachToContainer(w_, id, t.Container(), container_hashes_[k % kRing], next)) {
          ++contained;
        } else {
          next = unowned;
          unowned = id;
          if (!t.Container().empty()) loose_items.push_back({id, LooseReason::kNotFound});
        }
        next_items.push_back(next);
      }
    } else if (t.kind() == TurnNote::kChar) {
      const RecordId id = next_char_++;
      if (Mine(t.SerialPart()) && !w_.CharTree.InsertOwnSerial(t.serial_hash, id)) duplicate_chars.push_back(id);
    }
  }

  World& w_;
  const unsigned parts_;
  RecordId next_item_ = 0;
  RecordId next_char_ = 0;
  const TurnList* ahead_list_ = nullptr;
  std::size_t slots_ahead_ = 0;    // the next turn whose slots to load
  std::size_t holders_ahead_ = 0;  // the next turn whose holder to load
  std::uint32_t container_hashes_[kRing] = {};
};

// Takes the turns in order on the calling thread: pumps, moves the gauge,
// links the character list, counts, notes head lines, and files the keys of
// its index parts.
class Filer {
 public:
  Filer(World& w, RunHost& host, std::uint64_t lines, PartFiler& parts)
      : w_(w), host_(host), parts_(parts), lines_per_percent_(lines / 100),
        note_lines_((w.Report != nullptr || w.SectionLines.wanted) && lines <= 0xffffffffu) {}

  // Files every stretch in order up to the one that ends the analysis.
  void File(const std::vector<Stretch>& stretches) {
    w_.SectionLines.noted = note_lines_;
    for (const Stretch& s : stretches) {
      if (note_lines_) {
        w_.SectionLines.chars.reserve(w_.SectionLines.chars.size() + s.char_serials[0] + s.char_serials[1]);
        w_.SectionLines.items.reserve(w_.SectionLines.items.size() + s.item_serials[0] + s.item_serials[1]);
      }
      note_lines_ ? FileTurns<true>(s.turns) : FileTurns<false>(s.turns);
      switch (s.how) {
        case StretchEnd::kNextStretch:
          continue;
        case StretchEnd::kEndMarker:
          pump_.Step(host_);
          w_.Notes.end_marker_offset = s.end_marker_offset;
          if (note_lines_) w_.SectionLines.end_marker = next_line_ + 1;
          return;
        case StretchEnd::kFailed:
          pump_.Step(host_);
          std::rethrow_exception(s.failure);
        case StretchEnd::kSourceEnd:
        case StretchEnd::kAbandoned:
          return;
      }
    }
  }

 private:
  static constexpr std::size_t kBatch = 256;

  template <bool kNoteLines>
  void FileTurns(const TurnList& turns) {
    std::size_t long_span = 0;
    for (std::size_t from = 0; from < turns.Size(); from += kBatch) {
      const std::size_t to = std::min(turns.Size(), from + kBatch);
      // The pumps come first: a cancel leaves the batch unfiled.
      for (std::size_t k = from; k < to; ++k) {
        const TurnNote& t = turns[k];
        pump_.Step(host_);
        if (t.kind() == TurnNote::kChar) {
          LinkChar();
          if constexpr (kNoteLines) w_.SectionLines.chars.push_back(static_cast<std::uint32_t>(next_line_ + 1));
        } else if (t.kind() == TurnNote::kItem) {
          ++w_.ItemCount;
          if constexpr (kNoteLines) w_.SectionLines.items.push_back(static_cast<std::uint32_t>(next_line_ + 1));
        }
        next_line_ += t.lines != 0 ? t.lines : turns.LongSpans()[long_span++];
        if (lines_per_percent_ != 0) host_.SetProgress(static_cast<int>((next_line_ - 1) / lines_per_percent_));
      }
      parts_.File(turns, from, to);
    }
  }

  void LinkChar() {
    const RecordId id = next_char_++;
    if (w_.FirstChar == kNone) {
      w_.FirstChar = id;
    } else {
      w_.Chars[w_.LastChar].Next = id;
    }
    w_.LastChar = id;
    ++w_.CharCount;
    if (!w_.Chars[id].IsNpc) ++w_.PlayerCount;
  }

  World& w_;
  RunHost& host_;
  PartFiler& parts_;
  const std::uint64_t lines_per_percent_;
  const bool note_lines_;
  RecordId next_char_ = 0;
  std::uint64_t next_line_ = 0;  // the index of the first line of the next turn
  Pump pump_;
};

// Writes the Next link of every item filed, in file order, from the part
// filer that hung it: `second` for the items whose "CONT=" value is in
// index part 1, if it filed that part.
void LinkItems(World& w, const std::vector<Stretch>& stretches, const PartFiler& first,
               const PartFiler* second) {
  const std::vector<RecordId>* next[2] = {&first.next_items, second != nullptr ? &second->next_items : nullptr};
  std::size_t taken[2] = {0, 0};
  RecordId id = 0;
  for (const Stretch& s : stretches) {
    for (std::size_t k = 0; k < s.turns.Size(); ++k) {
      const TurnNote& t = s.turns[k];
      if (t.kind() != TurnNote::kItem) continue;
      const int part = second != nullptr ? t.ContainerPart() : 0;
      if (taken[part] == next[part]->size()) return;  // the filing ended before this item
      w.Items[id++].Next = (*next[part])[taken[part]++];
    }
  }
}

// The items whose "CONT=" value is in index part `part` (both parts: 2).
std::size_t ItemsHungIn(const std::vector<Stretch>& stretches, int part) {
  std::size_t items = 0;
  for (const Stretch& s : stretches) {
    items += part == 2 ? s.item_containers[0] + s.item_containers[1] : s.item_containers[part];
  }
  return items;
}

// Puts the findings of both parts' filing together, in file order: the
// unowned items newest first, the notes oldest first.
void MergeParts(World& w, PartFiler& a, PartFiler& b) {
  w.ContainedCount = a.contained + b.contained;
  RecordId* tail = &w.UnownedItems;
  RecordId x = a.unowned;
  RecordId y = b.unowned;
  while (x != kNone || y != kNone) {
    RecordId& from = (y == kNone || (x != kNone && x > y)) ? x : y;
    *tail = from;
    tail = &w.Items[from].Next;
    from = *tail;
  }
  *tail = kNone;
  const auto by_id = [](const LooseItem& l, const LooseItem& r) { return l.id < r.id; };
  w.Notes.loose_items.resize(a.loose_items.size() + b.loose_items.size());
  std::merge(a.loose_items.begin(), a.loose_items.end(), b.loose_items.begin(), b.loose_items.end(),
             w.Notes.loose_items.begin(), by_id);
  w.Notes.duplicate_chars.resize(a.duplicate_chars.size() + b.duplicate_chars.size());
  std::merge(a.duplicate_chars.begin(), a.duplicate_chars.end(), b.duplicate_chars.begin(),
             b.duplicate_chars.end(), w.Notes.duplicate_chars.begin());
  w.Notes.duplicate_items.resize(a.duplicate_items.size() + b.duplicate_items.size());
  std::merge(a.duplicate_items.begin(), a.duplicate_items.end(), b.duplicate_items.begin(),
             b.duplicate_items.end(), w.Notes.duplicate_items.begin());
}

// Sizes each index part for the serials that will be filed in it: it then
// does not have to rehash every key into fresh memory as it fills.
void SizeIndexes(World& w, const std::vector<Stretch>& stretches) {
  for (int part = 0; part < 2; ++part) {
    std::size_t chars = 0;
    std::size_t items = 0;
    for (const Stretch& s : stretches) {
      chars += s.char_serials[part];
      items += s.item_serials[part];
    }
    w.CharTree.Reserve(part, chars);
    w.ItemTree.Reserve(part, items);
  }
}

}  // namespace

// Files the turns of every stretch: the calling thread pumps and files the
// keys of index part 0, a second thread (when asked, and to be had) those of
// part 1. Whatever way the filing ends, the second thread is stopped and
// joined before the stores are touched again.
void FileStretches(World& w, RunHost& host, const std::vector<Stretch>& stretches, bool two_threads) {
  std::uint64_t lines = 0;
  for (const Stretch& s : stretches) lines += s.lines;
  SizeIndexes(w, stretches);
  PartFiler second(w, 2u);
  {
    BackgroundThread filing_second;
    const auto file_second = [&] {
      second.Reserve(ItemsHungIn(stretches, 1));
      for (const Stretch& s : stretches) {
        for (std::size_t from = 0; from < s.turns.Size() && !filing_second.StopRequested(); from += 4096)
          second.File(s.turns, from, std::min(s.turns.Size(), from + 4096));
        if (s.how != StretchEnd::kNextStretch) break;
      }
    };
    // Without a second thread this one files both parts.
    const bool both = !two_threads || !filing_second.Start(file_second);
    PartFiler first(w, both ? 3u : 1u);
    first.Reserve(ItemsHungIn(stretches, both ? 2 : 0));
    Filer(w, host, lines, first).File(stretches);
    filing_second.Join();
    LinkItems(w, stretches, first, both ? nullptr : &second);
    MergeParts(w, first, second);
  }
}

}  // namespace orv
