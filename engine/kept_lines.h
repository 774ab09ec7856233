#ifndef ORVANTOR_ENGINE_KEPT_LINES_H_
#define ORVANTOR_ENGINE_KEPT_LINES_H_

// The kept lines of a record, made again from its section in the source:
// what the writers write and what the passes inspect.

#include <cstdint>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/line_rules.h"
#include "engine/line_sink.h"
#include "engine/line_split.h"
#include "engine/section_walk.h"
#include "engine/world.h"

namespace orv {

// Calls fn(KeptLine) for each kept line of the section whose head starts at
// byte `offset`: the head stripped and normalised, then every body line
// stripped, comments dropped, with the reader's edits (see WalkSection).
template <class Fn>
void ForEachSectionLine(std::string_view bytes, std::uint64_t offset, bool char_section,
                        bool flags_edit, Fn&& fn) {
  LineCursor c(bytes, static_cast<std::size_t>(offset));
  if (!c.HasLine()) return;
  WalkSection(
      c, [&](const SectionLine& head) { fn(NormaliseHead(head.stripped)); },
      [&](const SectionLine& line) { fn(EditBodyLine(line.stripped, char_section, flags_edit)); },
      [](const SectionLine&) {});
}

// The same lines as ForEachSectionLine, for writing them out: every run of
// lines that are kept exactly as they stand in the source, each followed
// there by CR LF, goes to run(bytes, n) in one piece (the n lines with their
// CR LFs); every other kept line goes to line(KeptLine). Most sections are
// one such run, which saves making them line by line.
template <class LineFn, class RunFn>
void ForEachSectionPiece(std::string_view bytes, std::uint64_t offset, bool char_section,
                         bool flags_edit, LineFn&& line, RunFn&& run) {
  LineCursor c(bytes, static_cast<std::size_t>(offset));
  if (!c.HasLine()) return;
  const char* run_begin = nullptr;
  const char* run_end = nullptr;
  std::uint64_t run_lines = 0;
  const auto flush = [&] {
    if (run_lines == 0) return;
    run(std::string_view(run_begin, static_cast<std::size_t>(run_end - run_begin)), run_lines);
    run_lines = 0;
  };
  // A kept line joins the run when it is the raw line itself, unstripped and
  // unedited, with CR LF after it.
  const auto keep = [&](const SectionLine& source, const KeptLine& kept) {
    if (!kept.zero && source.Unchanged()) {
      if (run_lines == 0) run_begin = source.raw.data();
      run_end = source.raw.data() + source.raw.size() + 2;
      ++run_lines;
    } else {
      flush();
      line(kept);
    }
  };
  WalkSection(
      c, [&](const SectionLine& head) { keep(head, NormaliseHead(head.stripped)); },
      [&](const SectionLine& body) {
        keep(body, EditBodyLine(body.stripped, char_section, flags_edit));
      },
      [&](const SectionLine&) { flush(); });
  flush();
}

// A position line: a kept line whose first two characters are "P=".
inline bool IsPositionLine(const KeptLine& l) { return !l.zero && StartsWith(l.head, "P="); }

template <class Fn>
void ForEachKeptLine(const World& w, const TWorldItem& item, Fn&& fn) {
  switch (item.State) {
    case LinesState::kSource:
      ForEachSectionLine(w.SourceLines.Bytes(), SectionOffset(item), false, false, fn);
      break;
    case LinesState::kOwned:
      for (const auto& line : w.OwnedLines[static_cast<std::size_t>(item.Lines)])
        fn(Unedited(line));
      break;
    case LinesState::kCleared:
    case LinesState::kReleased: break;
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
    case LinesState::kReleased: break;
  }
}

// Where the "0" goes in a section noted with a colour edit: after the
// "COLOR=" of its first line that EditBodyLine edits. Every line of such a
// section ends with CR LF and none is indented, so each line but the head
// follows an LF. Nearly every item section is written through here, so the
// lines that begin with "C" are found 16 bytes at a time.
inline std::size_t ColorZeroAt(std::string_view section) {
  const char* p = section.data();
  const std::size_t n = section.size();
  // Where the "0" goes if the line beginning at `begin` is the one, else 0.
  const auto zero_at = [&](std::size_t begin) -> std::size_t {
    const char* line_end = FindLineBreak(p + begin, p + n);
    const std::string_view line(p + begin, static_cast<std::size_t>(line_end - (p + begin)));
    const KeptLine kept = EditBodyLine(line, false, false);
    return kept.zero ? begin + kept.head.size() : 0;
  };
  std::size_t at = 1;  // the head is not the line
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i c = _mm_set1_epi8('C');
  for (; at + 16 <= n; at += 16) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
    const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at - 1));
    unsigned starts = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(here, c)) &
                                            _mm_movemask_epi8(_mm_cmpeq_epi8(before, lf)));
    for (; starts != 0; starts &= starts - 1) {
      if (const std::size_t z = zero_at(at + static_cast<std::size_t>(__builtin_ctz(starts))))
        return z;
    }
  }
#endif
  for (; at < n; ++at) {
    if (p[at] != 'C' || p[at - 1] != '\n') continue;
    if (const std::size_t z = zero_at(at)) return z;
  }
  return n;  // not reached for a section noted so
}

// Appends the kept lines of a record to `out`: the same lines as
// ForEachKeptLine gives, copied in runs where the source allows.
inline void AppendKeptLines(const World& w, const TWorldItem& item, LineSink& out) {
  const auto line = [&out](const KeptLine& l) { out.Append(l); };
  if (const VerbatimSection v = VerbatimOf(item); v.bytes != 0) {
    std::string_view section = w.SourceLines.Bytes().substr(SectionOffset(item), v.bytes);
    if (v.head_zero) {
      // The head stands unstripped, so its "0" goes where NormaliseHead
      // puts it, after "[WORLDITEM ".
      const std::size_t at = NormaliseHead(section.substr(0, 12)).head.size();
      out.AppendLines(section.substr(0, at), 0);
      out.AppendLines("0", 0);
      section.remove_prefix(at);
    }
    if (!v.color_zero) {
      out.AppendLines(section, v.lines);
    } else {
      const std::size_t at = ColorZeroAt(section);
      out.AppendLines(section.substr(0, at), 0);
      out.AppendLines("0", 0);
      out.AppendLines(section.substr(at), v.lines);
    }
  } else if (item.State == LinesState::kSource) {
    ForEachSectionPiece(
        w.SourceLines.Bytes(), SectionOffset(item), false, false, line,
        [&out](std::string_view lines, std::uint64_t n) { out.AppendLines(lines, n); });
  } else {
    ForEachKeptLine(w, item, line);
  }
}

inline void AppendKeptLines(const World& w, const TWorldChar& ch, LineSink& out) {
  const auto line = [&out](const KeptLine& l) { out.Append(l); };
  if (ch.State == LinesState::kSource && !ch.Moved) {
    ForEachSectionPiece(
        w.SourceLines.Bytes(), ch.Lines, true, w.FlagsEdit, line,
        [&out](std::string_view lines, std::uint64_t n) { out.AppendLines(lines, n); });
  } else {
    ForEachKeptLine(w, ch, line);
  }
}

}  // namespace orv

#endif  // ORVANTOR_ENGINE_KEPT_LINES_H_
