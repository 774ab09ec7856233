#ifndef ORVANTOR_WRITERS_WORLD_FILE_WRITER_H_
#define ORVANTOR_WRITERS_WORLD_FILE_WRITER_H_

#include <atomic>
#include <string_view>

#include "engine/line_sink.h"
#include "engine/world.h"
#include "writers/item_writer.h"

namespace orv {

// Makes the whole world file of a run in one go, without pumping, so that it
// can be made on a thread of its own while the walk that pumps makes the
// character file: the caption line and a blank line, the header, every NPC
// with everything it holds, then, when `unowned_heading`, "// unowned items"
// and a blank line, the unowned items and "[EOF]". These are the lines the
// pumping writers put into the world file, in the same order. Reads the
// world only. Returns early, the file unfinished, once `stop` is set. When
// `unowned_shape` is given, the walk over the unowned items is noted in it.
void WriteWorldFile(const World& w, LineSink& out, std::string_view caption_line,
                    bool unowned_heading, const std::atomic<bool>& stop,
                    ItemWalkShape* unowned_shape = nullptr);

}  // namespace orv

#endif  // ORVANTOR_WRITERS_WORLD_FILE_WRITER_H_
