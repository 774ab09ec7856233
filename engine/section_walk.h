#ifndef ORVANTOR_ENGINE_SECTION_WALK_H_
#define ORVANTOR_ENGINE_SECTION_WALK_H_

// The walk over one character or item section, the same for the reader
// that makes the records and for the helpers that make a record's kept lines
// again: where a section ends, which of its lines are comments, and each
// line as it stands in the source next to its stripped form.

#include <cstdint>
#include <string_view>

#include "engine/line_rules.h"
#include "engine/line_split.h"

namespace orv {

// A line of a section as the walk meets it.
struct SectionLine {
  std::string_view raw;       // as it stands in the source, without its line end
  std::string_view stripped;  // without its leading characters of code 0 to 32
  bool crlf = false;          // followed by CR LF in the source (not a lone CR or LF, nor the end)

  // Whether the line is kept exactly as it stands, CR LF included, when no
  // edit changes it: not indented, and ended by CR LF.
  bool Unchanged() const { return stripped.size() == raw.size() && crlf; }
};

// Walks the section whose head is the line `c` stands on: calls head(line)
// for the head, then body(line) for every body line that is not a comment
// and comment(line) for each comment ("//" after the stripping). The
// section ends before the next line whose stripped form begins with "[",
// or at the end of the source; `c` is left there. Returns the number of
// lines walked, the head included. `c` must stand on a line.
template <class HeadFn, class BodyFn, class CommentFn>
std::uint64_t WalkSection(LineCursor& c, HeadFn&& head, BodyFn&& body, CommentFn&& comment) {
  {
    const std::string_view raw = c.Line();
    head(SectionLine{raw, StripLeading(raw), c.EndsWithCrLf()});
  }
  std::uint64_t lines = 1;
  for (c.Advance(); c.HasLine(); c.Advance()) {
    const std::string_view raw = c.Line();
    // The byte the line begins with is its line end when it is empty.
    if (BeginsPlainLine(c.FirstByte())) {
      ++lines;
      body(SectionLine{raw, raw, c.EndsWithCrLf()});
      continue;
    }
    const std::string_view s = StripLeading(raw);
    if (IsSectionStart(s)) break;
    ++lines;
    const SectionLine line{raw, s, c.EndsWithCrLf()};
    if (IsComment(s)) {
      comment(line);
    } else {
      body(line);
    }
  }
  return lines;
}

}  // namespace orv

#endif  // ORVANTOR_ENGINE_SECTION_WALK_H_
