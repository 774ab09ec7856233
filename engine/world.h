#ifndef ORVANTOR_ENGINE_WORLD_H_
#define ORVANTOR_ENGINE_WORLD_H_

// The records of an analysed world save and the stores that hold them for
// the life of the process.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/fixed_text.h"
#include "engine/line_list.h"
#include "engine/prefetch.h"
#include "engine/record_arena.h"
#include "engine/source_text.h"
#include "engine/text_pool.h"
#include "engine/tree.h"

namespace orv {

class ChangeReport;
class LineSink;

// Where a record's kept lines are. A record read from the source keeps no
// copy of its lines: they are the lines of its section in the source buffer,
// stripped, without comments and with the reader's edits, and are made again
// when written. A pass that empties a record clears them; a record made by a
// pass owns its lines.
enum class LinesState : std::uint8_t {
  kSource,    // the section at byte offset `Lines` of the source (for items: SectionOffset)
  kCleared,   // no lines (emptied by a pass; contents, if any, stay)
  kOwned,     // the line list number `Lines` of World::OwnedLines
  kReleased,  // destroyed with its holder; no lines and unreachable
};

// One item section. Millions of these make up a world, so the record is
// kept to 32 bytes: the section id and type are one interned pair (see
// BaseIdRef and TypeRef), and the "CONT=" and "LINK=" values, which only the
// analysis and a few memory objects need, are read again from the section
// when asked for.
struct TWorldItem {
  FixedText<10> Serial;  // "SERIAL=" value
  LinesState State = LinesState::kSource;
  ItemKinds::Ref Kind = ItemKinds::kPlain;  // the id from the head with its "]" and "TYPE="
  RecordId Next = kNone;                    // next item of the list that holds this one
  RecordId Contents = kNone;                // first item inside this one, newest first
  std::uint64_t Lines = 0;                  // see LinesState and SectionOffset
};
static_assert(sizeof(TWorldItem) == 32, "item records are sized for millions");

// Most item sections are written exactly as they stand in the source: every
// line unstripped and followed by CR LF, no comment among them, and no edit
// but a head whose id gets its "0" and at most one colour that does. The
// analysis notes such a section's length and line count in `Lines` next to
// its offset, so that the writers copy it without looking at its lines
// (around the "0"s). Packed: the top bit set, the offset in the low 39
// bits, the colour edit in bit 39, the length in the next 15, the head edit
// in bit 55 and the line count in the 7 below the top. Sections too long
// for that, or past the first 512 GiB of the source, are made line by line.
struct VerbatimSection {
  std::uint64_t bytes = 0;  // 0: the section is made line by line
  std::uint64_t lines = 0;
  bool color_zero = false;  // one "COLOR=" line gets its "0" (see EditBodyLine)
  bool head_zero = false;   // the head's id gets its "0" (see NormaliseHead)
};

inline constexpr std::uint64_t kVerbatimTag = std::uint64_t{1} << 63;
inline constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << 39) - 1;
inline constexpr std::uint64_t kColorZeroBit = std::uint64_t{1} << 39;
inline constexpr std::uint64_t kHeadZeroBit = std::uint64_t{1} << 55;
inline constexpr std::uint64_t kMostVerbatimBytes = 0x7fff;

// The byte offset of a source item's section.
inline std::uint64_t SectionOffset(const TWorldItem& item) {
  return (item.Lines & kVerbatimTag) != 0 ? item.Lines & kOffsetMask : item.Lines;
}

inline VerbatimSection VerbatimOf(const TWorldItem& item) {
  if (item.State != LinesState::kSource || (item.Lines & kVerbatimTag) == 0) return {};
  return {(item.Lines >> 40) & kMostVerbatimBytes, (item.Lines >> 56) & 0x7f,
          (item.Lines & kColorZeroBit) != 0, (item.Lines & kHeadZeroBit) != 0};
}

// Notes that the source item's section, `bytes` long and `lines` lines, is
// written as it stands (but for the head's "0" when `head_zero` is set and
// one colour's when `color_zero` is), when the packing has room for it.
inline void MarkVerbatim(TWorldItem& item, std::uint64_t bytes, std::uint64_t lines,
                         bool color_zero = false, bool head_zero = false) {
  const std::uint64_t offset = SectionOffset(item);
  if (offset > kOffsetMask || bytes == 0 || bytes > kMostVerbatimBytes || lines > 0x7f) return;
  item.Lines = kVerbatimTag | offset | (color_zero ? kColorZeroBit : 0) | (bytes << 40) |
               (head_zero ? kHeadZeroBit : 0) | (lines << 56);
}

// One character section.
struct TWorldChar {
  FixedText<10> Serial;  // "SERIAL=" value
  FixedText<10> BaseId;  // id from the head with its "]"
  FixedText<30> Name;    // "NAME=" value
  bool IsNpc = true;     // false once an "ACCOUNT=" line was read
  LinesState State = LinesState::kSource;
  bool Moved = false;            // the first "P=" line is replaced by "P=" + Position
  bool HasPositionLine = false;  // the section has a "P=" line (set by the analysis)
  // The id the first item read after this section got: in a save the items
  // a character holds mostly follow it, so a walk over them can load the
  // records from there on ahead of it (see PrefetchItemsOf).
  RecordId ItemsFrom = kNone;
  std::uint64_t Lines = 0;  // see LinesState
  RecordId Next = kNone;    // next character in file order
  RecordId Items = kNone;   // first item held directly, newest first
  std::string Position;     // the new position when Moved
};

// Why an item whose "CONT=" names a serial was not put under a holder.
enum class LooseReason : std::uint8_t {
  kLaterInFile,    // a section with that serial comes later in the save
  kNotFound,       // no character or item section has that serial
  kSelfContainer,  // the item names its own serial, and no section before it has it
};

// An item left loose in the world although its "CONT=" names a holder.
// The "CONT=" value is read again from the section when asked for: a save
// written contents first would have millions of these.
struct LooseItem {
  RecordId id = kNone;
  LooseReason reason = LooseReason::kNotFound;
};

// What the analysis noticed that an administrator should know before
// converting. Only unusual sections add to it, so it is kept in every run.
struct AnalysisNotes {
  std::vector<LooseItem> loose_items;     // in file order
  std::vector<RecordId> duplicate_chars;  // sections whose serial was already filed,
  std::vector<RecordId> duplicate_items;  // in file order: they get no contents
  // The byte offset of the "[EOF]" line that ended the analysis, or
  // kNoOffset when the save ended without one.
  std::uint64_t end_marker_offset = kNoOffset;
  static constexpr std::uint64_t kNoOffset = ~std::uint64_t{0};
  // Whether the reasons of loose_items are told (ExplainLooseItems).
  bool loose_explained = false;

  // How many loose items there are for `reason`.
  std::uint64_t LooseCount(LooseReason reason) const;
};

// The 1-based source line of each record's section head, by record id:
// noted by the analysis of a run that writes a change report, or that is
// `wanted` (a check), when the save has fewer than 2^32 lines; else left
// empty and `noted` false.
struct HeadLines {
  std::vector<std::uint32_t> chars;
  std::vector<std::uint32_t> items;
  std::uint64_t end_marker = 0;  // the line of the "[EOF]" that ended the analysis, if any
  bool noted = false;
  bool wanted = false;  // set before the analysis; kept by ReleaseStores
};

// What the clean-up passes did in a run, for the summary.
struct PassStats {
  std::uint64_t chars_moved = 0;
  std::uint64_t pets_shrunk = 0;
  std::uint64_t npcs_deleted = 0;
  std::uint64_t npc_items_destroyed = 0;
  std::uint64_t respawn_points_removed = 0;
  std::uint64_t memory_objects_removed = 0;
  std::uint64_t illegal_items_removed = 0;
  std::uint64_t illegal_contents_destroyed = 0;
};

// The program-wide stores. One World lives as long as the window (or the
// command) does; a run releases and refills it.
struct World {
  World();
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  SourceText SourceLines;
  // The character file of the running conversion, which the walk that
  // pumps writes into; set by the run. The world file is made apart from
  // that walk (writers/world_file_writer.h).
  LineSink* CharLines = nullptr;

  // The analysis may read sections on one thread (which makes the records
  // and interns their texts) while it files them on another (which changes
  // the lists, indexes and counters below). The two groups live on separate
  // cache lines, so that neither thread's writes keep evicting the data the
  // other one reads.
  alignas(64) RecordArena<TWorldChar> Chars;
  alignas(64) RecordArena<TWorldItem> Items;
  // The texts of the items' ids and types, and their pairs.
  alignas(64) TextPool ItemTexts;
  ItemKinds ItemKindPool;
  std::vector<LineList> OwnedLines;
  // For each of OwnedLines, the character it was made from (a shrunk pet).
  std::vector<RecordId> OwnedFrom;
  // The "CONT=" value of the item just read, for AttachToContainer.
  alignas(64) FixedText<10> LastContainer;
  Tree<TWorldItem> ItemTree;
  Tree<TWorldChar> CharTree;
  RecordId UnownedItems = kNone;
  RecordId FirstChar = kNone;
  RecordId LastChar = kNone;

  // Counters of the analysis and the progress divisors derived from them.
  std::int64_t CharCount = 0;
  std::int64_t ItemCount = 0;
  std::int64_t ContainedCount = 0;
  std::int64_t CharsPerPercent = 0;
  std::int64_t ItemsPerPercent = 0;
  std::int64_t UnownedCount = 0;
  std::int64_t UnownedPerPercent = 0;
  std::int64_t PlayerCount = 0;
  // Item records destroyed by ReleaseItems since the stores were emptied:
  // every other record is reachable from a character or UnownedItems.
  std::uint64_t ReleasedItemCount = 0;

  // Whether the analysis of this run turned "FLAGS=" values of characters
  // from 8 to 0 ("delete NPCs" was on when it ran).
  bool FlagsEdit = false;
  // Whether "delete NPCs" has emptied every NPC in this run: none holds an
  // item any more, and none can be given one.
  bool NpcsEmptied = false;

  // Serials of the spawn points removed in this run.
  LineList SpawnSerials;

  // The pump countdown that every item walk of every run shares.
  int ItemWalkCountdown = 0;

  PassStats Stats;
  AnalysisNotes Notes;
  HeadLines SectionLines;

  // Where the analysis and the passes note each change they make, when the
  // run was asked for a report; none otherwise. Not a store: it stays set
  // across runs until its owner clears it.
  ChangeReport* Report = nullptr;
};

// Takes the item just read (the first of UnownedItems) and, when its
// container is known, moves it to the front of that container's list:
// characters are searched before items. An item is never put inside itself.
// `container_hash` is SlotHash(LastContainer), worked out ahead. Answers the
// holder (kNone when the item was not moved) and sets `is_char` when it is
// a character. A holder is always filed before what it holds, so an item's
// id is higher than those of all its holders.
RecordId AttachToContainer(World& w, std::uint32_t container_hash, bool& is_char);
// Moves the item just read (the first of UnownedItems) to the front of the
// list of `holder`, a character when `is_char`, else an item.
void MoveUnder(World& w, RecordId holder, bool is_char);

// The holder the analysis put a source item under, found again from its
// "CONT=" value by the rule of AttachToContainer: the first character with
// that serial when it was read before the item, else the first item with
// that serial when that one came before it. kNone for an unowned item;
// `is_char` tells which arena the answer is in.
RecordId HolderOf(const World& w, RecordId item, bool& is_char);

// An item's section id ("02007]"), "TYPE=", "CONT=" and "LINK=" values, as
// the analysis took them (the last line of each key in the section wins).
std::string_view BaseIdOf(const World& w, const TWorldItem& item);
// The interned numbers of the id and the type, to compare with ItemTexts.
inline TextPool::Ref BaseIdRef(const World& w, const TWorldItem& item) {
  return w.ItemKindPool[item.Kind].base_id;
}
inline TextPool::Ref TypeRef(const World& w, const TWorldItem& item) {
  return w.ItemKindPool[item.Kind].type;
}
std::string_view TypeOf(const World& w, const TWorldItem& item);
FixedText<10> ContainerOf(const World& w, const TWorldItem& item);
FixedText<10> LinkOf(const World& w, const TWorldItem& item);

// Starts loading the item records `c` holds, for a walk over them soon:
// they lie from ItemsFrom up to its newest item and a little beyond (that
// item's contents), mostly in one stretch, but a walk follows their links
// one record at a time and would wait for each.
inline void PrefetchItemsOf(const World& w, const TWorldChar& c) {
  if (c.Items == kNone || c.ItemsFrom == kNone || c.ItemsFrom > c.Items) return;
  constexpr RecordId kPerLine = 64 / sizeof(TWorldItem);
  constexpr RecordId kMaxLines = 48;
  const RecordId last =
      std::min<RecordId>(c.Items + 4 * kPerLine, c.ItemsFrom + kMaxLines * kPerLine);
  const RecordId end = std::min<RecordId>(last, static_cast<RecordId>(w.Items.Size()));
  for (RecordId id = c.ItemsFrom; id < end; id += kPerLine) PrefetchLine(&w.Items[id]);
}

// For a walk over the characters in file order that visits their items:
// each Step (one per character) starts loading the items of the character
// `distance` further on; with kNpcs only those of NPCs, for a walk that
// visits no player's items (a player's run far longer, and loading them
// would only crowd the memory bus).
class ItemsLoadedAhead {
 public:
  enum class Whose { kEveryone, kNpcs };
  explicit ItemsLoadedAhead(const World& w, int distance = 2, Whose whose = Whose::kEveryone)
      : w_(w), ahead_(w.FirstChar), npcs_only_(whose == Whose::kNpcs) {
    for (int k = 0; k < distance; ++k) Step();
  }
  void Step() {
    if (ahead_ == kNone) return;
    const TWorldChar& c = w_.Chars[ahead_];
    if (!npcs_only_ || c.IsNpc) PrefetchItemsOf(w_, c);
    ahead_ = c.Next;
  }

 private:
  const World& w_;
  RecordId ahead_;
  bool npcs_only_;
};

// Destroys every item of a list with everything inside it, at every depth.
// Returns how many items were destroyed (and adds them to
// ReleasedItemCount). Walks without recursion.
std::uint64_t ReleaseItems(World& w, RecordId list);

// Releases every character with everything it holds; FirstChar and LastChar
// become none.
void ReleaseChars(World& w);

// Empties every store: characters, unowned items, both indexes, the records
// made by passes, and zeroes the counters. The line lists are kept.
void ReleaseStores(World& w);

}  // namespace orv

#endif  // ORVANTOR_ENGINE_WORLD_H_
