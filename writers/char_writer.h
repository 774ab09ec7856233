#ifndef ORVANTOR_WRITERS_CHAR_WRITER_H_
#define ORVANTOR_WRITERS_CHAR_WRITER_H_

#include <string>
#include <string_view>

#include "engine/host.h"
#include "engine/line_rules.h"
#include "engine/line_split.h"
#include "engine/world.h"

namespace orv {

// The header line as the target server expects it.
std::string RewriteHeaderLine(std::string_view line);

// Calls fn(line) for every line of the source's header (every line before
// the first line whose stripped form begins with "["), with the title,
// version and save count rewritten for the target server.
template <class Fn>
void ForEachHeaderLine(const World& w, Fn&& fn) {
  for (LineCursor c = w.SourceLines.Lines(); c.HasLine(); c.Advance()) {
    const std::string_view line = c.Line();
    const std::string_view t = StripLeading(line);
    if (IsSectionStart(t)) break;
    // Most header lines pass unchanged and need no copy.
    if (StartsWith(t, "TITLE=ORV") || StartsWith(t, "VERSION=") || StartsWith(t, "SAVECOUNT=")) {
      fn(std::string_view(RewriteHeaderLine(line)));
    } else {
      fn(line);
    }
  }
}

// Copies the header into the character file, when its sink is set.
void WriteHeader(World& w);

// Walks every character in file order, each followed at once by everything
// it holds, and writes the players with their belongings into the
// character file (when its sink is set). The NPCs belong to the world file,
// which WriteWorldFile makes apart: for them the walk only pumps and moves
// the gauge, as writing them would.
void WriteChars(World& w, RunHost& host);

}  // namespace orv

#endif  // ORVANTOR_WRITERS_CHAR_WRITER_H_
