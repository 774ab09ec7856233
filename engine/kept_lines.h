#ifndef ORVANTOR_ENGINE_KEPT_LINES_H_
#define ORVANTOR_ENGINE_KEPT_LINES_H_

// The kept lines of a record, made again from its section in the source:
// what the writers write and what the passes inspect.

#include <cstdint>
#include <string_view>

#include "engine/line_rules.h"
#include "engine/line_split.h"
#include "engine/world.h"

namespace orv {

// Calls fn(KeptLine) for each kept line of the section whose head starts at
// byte `offset`: the head stripped and normalised, then every body line
// stripped, comments dropped, with the reader's edits. The section ends
// before the next line whose stripped form begins with "[", or at the end.
template <class Fn>
void ForEachSectionLine(std::string_view bytes, std::uint64_t offset, bool char_section,
                        bool flags_edit, Fn&& fn) {
  LineCursor c(bytes, static_cast<std::size_t>(offset));
  if (!c.HasLine()) return;
  fn(NormaliseHead(StripLeading(c.Line())));
  for (c.Advance(); c.HasLine(); c.Advance()) {
    const std::string_view s = StripLeading(c.Line());
    if (IsSectionStart(s)) break;
    if (IsComment(s)) continue;
    fn(EditBodyLine(s, char_section, flags_edit));
  }
}

// A position line: a kept line whose first two characters are "P=".
inline bool IsPositionLine(const KeptLine& l) {
  return !l.zero && StartsWith(l.head, "P=");
}

template <class Fn>
void ForEachKeptLine(const World& w, const TWorldItem& item, Fn&& fn) {
  switch (item.State) {
    case LinesState::kSource:
      ForEachSectionLine(w.SourceLines.Bytes(), item.Lines, false, false, fn);
      break;
    case LinesState::kOwned:
      for (const auto& line : w.OwnedLines[static_cast<std::size_t>(item.Lines)]) fn(Unedited(line));
      break;
    case LinesState::kCleared:
    case LinesState::kReleased:
      break;
  }
}

template <class Fn>
void ForEachKeptLine(const World& w, const TWorldChar& ch, Fn&& fn) {
  switch (ch.State) {
    case LinesState::kSource:
      if (!ch.Moved) {
        ForEachSectionLine(w.SourceLines.Bytes(), ch.Lines, true, w.FlagsEdit, fn);
      } else {
        bool replaced = false;
        ForEachSectionLine(w.SourceLines.Bytes(), ch.Lines, true, w.FlagsEdit,
                           [&](const KeptLine& l) {
                             if (!replaced && IsPositionLine(l)) {
                               replaced = true;
                               fn(KeptLine{"P=", false, ch.Position});
                             } else {
                               fn(l);
                             }
                           });
      }
      break;
    case LinesState::kOwned:
      for (const auto& line : w.OwnedLines[static_cast<std::size_t>(ch.Lines)]) fn(Unedited(line));
      break;
    case LinesState::kCleared:
    case LinesState::kReleased:
      break;
  }
}

}  // namespace orv

#endif  // ORVANTOR_ENGINE_KEPT_LINES_H_
