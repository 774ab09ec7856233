#ifndef ORVANTOR_WRITERS_FILE_FRAME_H_
#define ORVANTOR_WRITERS_FILE_FRAME_H_

// The lines a run frames both of its files with. Each file opens with a
// comment line that holds the window caption and a blank line, before the
// header, and ends with "[EOF]". The world file also parts its NPCs from
// the unowned items with "// unowned items" and a blank line, left out
// when NPCs are deleted.

#include <string_view>

#include "engine/line_sink.h"

namespace orv {

// "// " + caption, then a blank line.
void AppendFileOpening(LineSink& out, std::string_view caption);

// "// unowned items", then a blank line.
void AppendUnownedItemsHeading(LineSink& out);

// "[EOF]".
void AppendFileEnd(LineSink& out);

}  // namespace orv

#endif  // ORVANTOR_WRITERS_FILE_FRAME_H_
