#ifndef ORVANTOR_WRITERS_CHAR_WRITER_H_
#define ORVANTOR_WRITERS_CHAR_WRITER_H_

#include "engine/host.h"
#include "engine/world.h"

namespace orv {

// Copies the source's header (every line before the first line whose
// stripped form begins with "[") into both output files, line by line, each
// first into the character file, rewriting the title, version and save count
// for the target server.
void WriteHeader(World& w);

// The header line as the target server expects it.
std::string RewriteHeaderLine(std::string_view line);

// Writes every character in file order, each followed at once by everything
// it holds: players into the character file, NPCs into the world file.
void WriteChars(World& w, RunHost& host);

}  // namespace orv

#endif  // ORVANTOR_WRITERS_CHAR_WRITER_H_
