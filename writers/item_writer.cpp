#include "writers/item_writer.h"

#include "engine/kept_lines.h"
#include "engine/line_sink.h"
#include "engine/pump.h"

namespace orv {

void WriteItems(World& w, RunHost& host, RecordId list, int target, bool count_progress) {
  if (list == kNone) return;
  LineSink* out = target == kCharFile ? w.CharLines : w.WorldLines;
  Progress progress;
  std::vector<RecordId> stack;
  ForEachItemInWriteOrder(w, list, stack, [&](const TWorldItem& item, bool top_level) {
    PumpStep(host, w.ItemWalkCountdown);
    if (top_level && count_progress) progress.Step(host, w.UnownedPerPercent);
    if (out != nullptr) AppendKeptLines(w, item, *out);
  });
}

}  // namespace orv
