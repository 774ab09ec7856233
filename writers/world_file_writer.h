#ifndef ORVANTOR_WRITERS_WORLD_FILE_WRITER_H_
#define ORVANTOR_WRITERS_WORLD_FILE_WRITER_H_

#include <atomic>
#include <string_view>

#include "engine/line_sink.h"
#include "engine/world.h"
#include "writers/item_writer.h"

namespace orv {

// Makes the whole world file of a run in one go, without pumping, so that it
// can be made on a thread of its own while the walk that pumps (WriteChars,
// WriteItems) makes the character file: the opening with the `caption`, the
// header, every NPC with everything it holds in write order, then, when
// `unowned_heading`, its heading, the unowned items and "[EOF]" (see
// file_frame.h). Reads the world only. Returns early, the file unfinished,
// once `stop` is set. When `unowned_shape` is given, the walk over the
// unowned items is noted in it.
void WriteWorldFile(const World& w, LineSink& out, std::string_view caption, bool unowned_heading,
                    const std::atomic<bool>& stop, ItemWalkShape* unowned_shape = nullptr);

}  // namespace orv

#endif  // ORVANTOR_WRITERS_WORLD_FILE_WRITER_H_
