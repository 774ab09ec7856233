#ifndef ORVANTOR_ENGINE_SECTION_READER_H_
#define ORVANTOR_ENGINE_SECTION_READER_H_

// The reading half of the analysis: turns the character and item sections
// of a stretch of the source into records and notes the stretch's turns for
// the filing (see turn_list.h). It touches only the source, the stores it
// is given and its stretch, never the indexes or the lists, so two readers
// may read two stretches at once.

#include <atomic>
#include <string_view>

#include "engine/record_arena.h"
#include "engine/text_pool.h"
#include "engine/turn_list.h"
#include "engine/world.h"

namespace orv {

// Where a reader puts the records it makes: the world's own stores, or, for
// a stretch read beside the first one, stores of its own whose records are
// moved into the world's once both stretches are read (see TakeRecords).
struct RecordStores {
  RecordArena<TWorldChar>& chars;
  RecordArena<TWorldItem>& items;
  TextPool& texts;
  ItemKinds& kinds;

  static RecordStores Of(World& w) { return {w.Chars, w.Items, w.ItemTexts, w.ItemKindPool}; }
};

struct OwnStores {
  RecordArena<TWorldChar> chars;
  RecordArena<TWorldItem> items;
  TextPool texts;
  ItemKinds kinds;

  RecordStores Stores() { return {chars, items, texts, kinds}; }
};

// Reads the stretch [stretch.begin, stretch.end) of `source` turn by turn:
// makes a record in `stores` for every character and item section (the
// section, its serial, name or kind, and whether the writers may copy it
// as it stands), and notes each turn in stretch.turns. Stops at the end of
// the stretch, at an "[EOF]" line (left unread), on a failure, or once
// `give_up` (if not null) is set; stretch.how says which, and stretch.lines
// counts every line of the stretch. Never throws: a failure is kept in
// stretch.failure.
void ReadStretch(std::string_view source, RecordStores stores, Stretch& stretch,
                 const std::atomic<bool>* give_up) noexcept;

// Moves the records of `own`, read from the stretch after the one read into
// the world's stores, behind the world's records, with their (id, type)
// pairs interned anew: the ids then run in file order as if one reader had
// made them all. Leaves `own` empty.
void TakeRecords(World& w, OwnStores& own);

}  // namespace orv

#endif  // ORVANTOR_ENGINE_SECTION_READER_H_
