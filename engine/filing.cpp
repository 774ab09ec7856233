#include "engine/filing.h"

#include <algorithm>
#include <exception>

#include "engine/prefetch.h"
#include "engine/tree.h"

namespace orv {
namespace {

// The index look-ups miss the caches on a big world, so each turn's slots,
// and then the container's record, are loaded this many turns before they
// are needed. The loads still wait for their page walks: a 1 GiB save has
// 128 MiB of item slots in small pages, and nearly every slot lies on a
// page that the address cache no longer holds, unless the index lies in
// huge pages (where the machine backs them cheaply; see
// platform::AllocateScatteredBulk).
constexpr std::ptrdiff_t kSlotsAhead = 12;
constexpr std::ptrdiff_t kRecordsAhead = 6;

// `from` moved on by `n` turns, but not past `end`.
const Turn* Within(const Turn* from, std::ptrdiff_t n, const Turn* end) {
  return end - from > n ? from + n : end;
}

}  // namespace

void PrepareFiling(World& w) {
  if (!w.SourceLines.Counted()) w.SourceLines.CountOnThisThread();
  try {
    w.ItemTree.Reserve(static_cast<std::size_t>(
        std::min<std::uint64_t>(w.SourceLines.ItemHeadCount(), std::uint64_t{1} << 31)));
  } catch (const std::exception&) {
    // Too many heads to make room for at once (many may lie after "[EOF]"):
    // the index grows as it fills, and runs out of memory only if it must.
  }
}

Filer::Filer(World& w, RunHost& host, const SectionReader& reader)
    : w_(w),
      host_(host),
      reader_(reader),
      lines_per_percent_(w.SourceLines.LineCount() / 100),
      note_lines_((w.Report != nullptr || w.SectionLines.wanted) &&
                  w.SourceLines.LineCount() <= 0xffffffffu) {
  w_.SectionLines.noted = note_lines_;
  if (note_lines_) {
    w_.SectionLines.items.reserve(static_cast<std::size_t>(
        std::min<std::uint64_t>(w.SourceLines.ItemHeadCount(), std::uint64_t{1} << 31)));
  }
}

// The loop below loads each turn's slots while it files the turn
// kSlotsAhead before it, so the first turns of a call were loaded by the
// call before only when that one went on right before them and saw them.
void Filer::LoadFirstTurnsAhead(const Turn* first, const Turn* ahead) {
  const bool goes_on = first == end_;
  const Turn* slots_from = goes_on ? std::max(first, slots_to_) : first;
  const Turn* slots_to = Within(first, kSlotsAhead, ahead);
  for (const Turn* t = slots_from; t < slots_to; ++t) PrefetchSlots(*t);
  // A holder's record is found through its slot: only those whose slots
  // were on their way before this call.
  if (!goes_on) return;
  const Turn* holders_to = std::min(Within(first, kRecordsAhead, ahead), slots_from);
  for (const Turn* t = std::max(first, holders_to_); t < holders_to; ++t) PrefetchHolder(*t);
}

template <bool kNoteLines>
bool Filer::FileTurns(const Turn* first, const Turn* last, const Turn* ahead) {
  for (const Turn* t = first; t != last; ++t) {
    if (ahead - t > kSlotsAhead) PrefetchSlots(t[kSlotsAhead]);
    if (ahead - t > kRecordsAhead) PrefetchHolder(t[kRecordsAhead]);
    if (t->kind == Turn::Kind::kSourceEnd) return false;
    pump_.Step(host_);
    switch (t->kind) {
      case Turn::Kind::kEndMarker:
        if constexpr (kNoteLines) w_.SectionLines.end_marker = next_line_ + 1;
        return false;
      case Turn::Kind::kFailed: std::rethrow_exception(reader_.Failure());
      case Turn::Kind::kChar: FileChar(*t); break;
      case Turn::Kind::kItem: FileItem(*t); break;
      default: break;
    }
    if constexpr (kNoteLines) NoteHeadLine(*t);
    if (lines_per_percent_ != 0) host_.SetProgress(static_cast<int>(t->index / lines_per_percent_));
  }
  return true;
}

bool Filer::File(const Turn* first, const Turn* last, const Turn* ahead) {
  if (first == last) return true;
  LoadFirstTurnsAhead(first, ahead);
  end_ = last;
  slots_to_ = Within(last, kSlotsAhead, ahead);
  holders_to_ = Within(last, kRecordsAhead, ahead);
  // Decided once for every batch: a run without a report notes no lines.
  return note_lines_ ? FileTurns<true>(first, last, ahead) : FileTurns<false>(first, last, ahead);
}

// Every line belongs to one turn, in order, so a section's head is the
// line after the last one of the turn before.
void Filer::NoteHeadLine(const Turn& t) {
  const auto head = static_cast<std::uint32_t>(next_line_ + 1);
  if (t.kind == Turn::Kind::kChar) w_.SectionLines.chars.push_back(head);
  if (t.kind == Turn::Kind::kItem) w_.SectionLines.items.push_back(head);
  next_line_ = t.index + 1;
}

const Filer::Holder* Filer::KnownHolder(const Turn& t) const {
  const Holder& h = holders_[HolderSlot(t.container_hash)];
  return h.id != kNone && h.hash == t.container_hash && h.serial == t.container.view() ? &h
                                                                                       : nullptr;
}

void Filer::PrefetchSlots(const Turn& t) const {
  if (t.kind == Turn::Kind::kItem) {
    // The record itself was just written by the reader's core.
    PrefetchLine(&w_.Items[t.id]);
    w_.ItemTree.Prefetch(t.serial_hash);
    if (KnownHolder(t) != nullptr) return;
    w_.CharTree.Prefetch(t.container_hash);
    w_.ItemTree.Prefetch(t.container_hash);
  } else if (t.kind == Turn::Kind::kChar) {
    w_.CharTree.Prefetch(t.serial_hash);
  }
}

void Filer::PrefetchHolder(const Turn& t) const {
  if (t.kind != Turn::Kind::kItem) return;
  if (KnownHolder(t) != nullptr) return;  // filed a few turns ago: still cached
  w_.CharTree.PrefetchRecord(t.container_hash);
  w_.ItemTree.PrefetchRecord(t.container_hash);
}

void Filer::FileChar(const Turn& t) {
  TWorldChar& c = w_.Chars[t.id];
  if (w_.FirstChar == kNone) {
    w_.FirstChar = t.id;
  } else {
    w_.Chars[w_.LastChar].Next = t.id;
  }
  w_.LastChar = t.id;
  ++w_.CharCount;
  if (!c.IsNpc) ++w_.PlayerCount;
  if (!w_.CharTree.Insert(c.Serial.view(), t.serial_hash, t.id))
    w_.Notes.duplicate_chars.push_back(t.id);
  holders_[HolderSlot(t.serial_hash)].id = kNone;
}

void Filer::FileItem(const Turn& t) {
  TWorldItem& item = w_.Items[t.id];
  item.Next = w_.UnownedItems;
  w_.UnownedItems = t.id;
  ++w_.ItemCount;
  w_.LastContainer = t.container;
  if (!w_.ItemTree.Insert(item.Serial.view(), t.serial_hash, t.id))
    w_.Notes.duplicate_items.push_back(t.id);
  if (const Holder* known = KnownHolder(t)) {
    MoveUnder(w_, known->id, known->is_char);  // where AttachToContainer would put it
    ++w_.ContainedCount;
    return;
  }
  bool is_char = false;
  const RecordId holder = AttachToContainer(w_, t.container_hash, is_char);
  if (holder != kNone) {
    ++w_.ContainedCount;
    holders_[HolderSlot(t.container_hash)] = {t.container, t.container_hash, holder, is_char};
  } else if (!t.container.empty()) {
    w_.Notes.loose_items.push_back({t.id, LooseReason::kNotFound});
  }
}

}  // namespace orv
