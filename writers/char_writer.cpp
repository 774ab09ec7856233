#include "writers/char_writer.h"

#include <algorithm>

#include "engine/kept_lines.h"
#include "engine/line_sink.h"
#include "engine/prefetch.h"
#include "engine/pump.h"
#include "writers/item_writer.h"

namespace orv {

std::string RewriteHeaderLine(std::string_view line) {
  const std::string_view t = StripLeading(line);
  if (StartsWith(t, "TITLE=ORV")) return "TITLE=VANTOR" + std::string(ValueCut(t, 10, 30));
  if (StartsWith(t, "VERSION=")) return "VERSION=0.99f";
  if (StartsWith(t, "SAVECOUNT=")) return "SAVECOUNT=0";
  return std::string(line);
}

void WriteHeader(World& w) {
  ForEachHeaderLine(w, [&w](std::string_view line) {
    if (w.CharLines != nullptr) w.CharLines->Append(line);
    if (w.WorldLines != nullptr) w.WorldLines->Append(line);
  });
}

namespace {

// Starts loading the item records a character holds, for the walk that
// writes them soon: they lie after ItemsFrom up to its newest item and a
// little beyond (that item's contents), mostly in one stretch, but the walk
// follows their links one record at a time.
void PrefetchItemsOf(const World& w, const TWorldChar& c) {
  if (c.Items == kNone || c.ItemsFrom == kNone || c.ItemsFrom > c.Items) return;
  constexpr RecordId kPerLine = 64 / sizeof(TWorldItem);
  constexpr RecordId kMaxLines = 48;
  const RecordId last = std::min<RecordId>(c.Items + 4 * kPerLine, c.ItemsFrom + kMaxLines * kPerLine);
  const RecordId end = std::min<RecordId>(last, static_cast<RecordId>(w.Items.Size()));
  for (RecordId id = c.ItemsFrom; id < end; id += kPerLine) PrefetchLine(&w.Items[id]);
}

}  // namespace

void WriteChars(World& w, RunHost& host) {
  Pump pump;
  Progress progress;
  // The character whose items are loaded ahead, a few behind the one written.
  constexpr int kCharsAhead = 2;
  RecordId ahead = w.FirstChar;
  for (int k = 0; k < kCharsAhead && ahead != kNone; ++k) {
    PrefetchItemsOf(w, w.Chars[ahead]);
    ahead = w.Chars[ahead].Next;
  }
  for (RecordId id = w.FirstChar; id != kNone; id = w.Chars[id].Next) {
    if (ahead != kNone) {
      PrefetchItemsOf(w, w.Chars[ahead]);
      ahead = w.Chars[ahead].Next;
    }
    pump.Step(host);
    progress.Step(host, w.CharsPerPercent);
    const TWorldChar& c = w.Chars[id];
    LineSink* out = c.IsNpc ? w.WorldLines : w.CharLines;
    if (out != nullptr) AppendKeptLines(w, c, *out);
    WriteItems(w, host, c.Items, c.IsNpc ? kWorldFile : kCharFile, false);
  }
}

}  // namespace orv
