#ifndef ORVANTOR_ENGINE_CHANGE_REPORT_H_
#define ORVANTOR_ENGINE_CHANGE_REPORT_H_

// The change report: every change a run makes to the world, noted by the
// analysis and the passes as it happens and written afterwards as JSON
// Lines. A run without a report leaves World::Report unset, and the passes
// then note nothing: each tests the pointer once, outside its loops where
// it can.

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "engine/record_arena.h"
#include "engine/world.h"

namespace orv {

class LineSink;

// The kinds of change, in the report's words (see ChangeName).
enum class Change : std::uint8_t {
  kLeftLoose,            // "left_loose": an item written loose although its "CONT=" names a holder
  kCharMoved,            // "char_moved": a player character given a position
  kPetShrunk,            // "pet_shrunk": a pet turned into an item
  kNpcDeleted,           // "npc_deleted"
  kItemDestroyed,        // "item_destroyed": removed with the NPC or illegal item that held it
  kRespawnPointDeleted,  // "respawn_point_deleted": a loose item of type "69" or "34"
  kMemoryObjectDeleted,  // "memory_object_deleted": linked to a removed spawn point
  kIllegalItemDeleted,   // "illegal_item_deleted": an item of a listed kind
};
inline constexpr std::size_t kChangeKinds = 8;

std::string_view ChangeName(Change c);

// A loose item's reason in the report's words: "later_in_file",
// "not_found", "self_container".
std::string_view LooseReasonName(LooseReason r);

// One change as it is noted: record ids only; the texts are looked up when
// the report is written, from the records (which a run keeps) and the
// source.
struct ChangeEntry {
  Change change = Change::kLeftLoose;
  bool by_char = false;      // item_destroyed: `other` is a character, not an item
  RecordId subject = kNone;  // the character (char_moved, pet_shrunk, npc_deleted) or the item
  // left_loose: the index in World::Notes.loose_items; pet_shrunk: the
  // container the pet went into; item_destroyed: the removed holder.
  RecordId other = kNone;
  RecordId owner = kNone;  // pet_shrunk: the owner character
};

class ChangeReport {
 public:
  void Note(const ChangeEntry& entry) {
    entries_.push_back(entry);
    ++counts_[static_cast<std::size_t>(entry.change)];
  }
  void Note(Change change, RecordId subject) {
    Note(ChangeEntry{change, false, subject, kNone, kNone});
  }

  // Notes every item of `list`, at every depth, as destroyed by `holder`
  // (a character when `holder_is_char`), in the order in which ReleaseItems
  // lets them go: the list in list order, each item's contents before it.
  // Call it before the release, which unlinks them.
  void NoteDestroyed(const World& w, RecordId list, RecordId holder, bool holder_is_char);

  // Puts blocks of entries in another order: block k runs from starts[k]
  // to the next start (the last to the end); they are put in the order of
  // `order`, a permutation of the block numbers. Entries before starts[0]
  // stay where they are.
  void ReorderBlocks(const std::vector<std::size_t>& starts, const std::vector<std::size_t>& order);

  // What to do once every change is noted: the run calls Complete after
  // the passes, while the writers, which change nothing, make the files.
  // The report may then be written alongside them.
  void WhenComplete(std::function<void()> fn) { when_complete_ = std::move(fn); }
  void Complete() {
    if (when_complete_) when_complete_();
  }

  const std::vector<ChangeEntry>& Entries() const { return entries_; }
  std::uint64_t Count(Change c) const { return counts_[static_cast<std::size_t>(c)]; }
  void Clear();

 private:
  std::vector<ChangeEntry> entries_;
  std::array<std::uint64_t, kChangeKinds> counts_{};
  std::vector<RecordId> path_;  // scratch of NoteDestroyed
  std::function<void()> when_complete_;
};

// Writes the noted changes into `out` as JSON Lines (each object followed
// by a line feed), in the order they were noted. Every object has
// "change", "serial" (as recorded, "" when none) and "line" (the 1-based
// source line of the section's head; for a shrunk pet's item, that of the
// pet), and the fields of its kind. Reads the world, which must be the one
// the changes were noted on, with its source still loaded.
void WriteChangeReport(const World& w, const ChangeReport& report, LineSink& out);

}  // namespace orv

#endif  // ORVANTOR_ENGINE_CHANGE_REPORT_H_
