#include "writers/char_writer.h"

#include "engine/kept_lines.h"
#include "engine/line_sink.h"
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
  if (w.CharLines == nullptr) return;
  ForEachHeaderLine(w, [&w](std::string_view line) { w.CharLines->Append(line); });
}

void WriteChars(World& w, RunHost& host) {
  Pump pump;
  Progress progress;
  ItemsLoadedAhead ahead(w);
  for (RecordId id = w.FirstChar; id != kNone; id = w.Chars[id].Next) {
    ahead.Step();
    pump.Step(host);
    progress.Step(host, w.CharsPerPercent);
    const TWorldChar& c = w.Chars[id];
    LineSink* out = c.IsNpc ? nullptr : w.CharLines;
    if (out != nullptr) AppendKeptLines(w, c, *out);
    WriteItems(w, host, c.Items, c.IsNpc ? kWorldFile : kCharFile, false);
  }
}

}  // namespace orv
