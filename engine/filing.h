#ifndef ORVANTOR_ENGINE_FILING_H_
#define ORVANTOR_ENGINE_FILING_H_

// The filing half of the analysis: takes the turns the readers noted, in
// file order, pumps and moves the gauge once per turn, links the characters
// in file order, files every record by serial and hangs every item under a
// container filed before it.

#include <vector>

#include "engine/host.h"
#include "engine/turn_list.h"
#include "engine/world.h"

namespace orv {

// Files the turns of `stretches` in order, up to the stretch that ends the
// analysis: at an "[EOF]" (pumped, noted) or a failure of its reader
// (pumped, then rethrown). Their records are the world's records in order.
// Counts the characters, players, items and held items, and notes the
// unowned items (newest first), the loose items and the duplicate serials
// in file order. Keys of index part 1 are filed on a second thread when
// `two_threads` is set and one is to be had; the calling thread pumps. A
// cancelling pump leaves the world half filed, every thread joined.
void FileStretches(World& w, RunHost& host, const std::vector<Stretch>& stretches, bool two_threads);

}  // namespace orv

#endif  // ORVANTOR_ENGINE_FILING_H_
