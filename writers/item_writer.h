#ifndef ORVANTOR_WRITERS_ITEM_WRITER_H_
#define ORVANTOR_WRITERS_ITEM_WRITER_H_

#include "engine/host.h"
#include "engine/world.h"

namespace orv {

// Target codes of WriteItems.
inline constexpr int kCharFile = 2;
inline constexpr int kWorldFile = 3;

// Writes the items of a list in the order they were linked into it (the
// reverse of list order), each followed at once by its whole content tree,
// depth first, into the character file (target 2) or the world file (any
// other code). Pumps once per item at every depth on the countdown that all
// item walks share; with `count_progress` moves the gauge once per item of
// the list itself. Walks with an explicit stack, so nesting depth costs no
// call depth.
void WriteItems(World& w, RunHost& host, RecordId list, int target, bool count_progress);

}  // namespace orv

#endif  // ORVANTOR_WRITERS_ITEM_WRITER_H_
