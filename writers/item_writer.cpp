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
  const auto visit = [&](const TWorldItem& item, bool top_level) {
    PumpStep(host, w.ItemWalkCountdown);
    if (top_level && count_progress) progress.Step(host, w.UnownedPerPercent);
    if (out != nullptr) AppendKeptLines(w, item, *out);
  };
  if (out != nullptr) {
    ForEachItemInWriteOrder(w, list, stack, visit,
                            [&w](const TWorldItem& next) { PrefetchLines(w, next); });
  } else {
    ForEachItemInWriteOrder(w, list, stack, visit);
  }
}

void ItemWalkShape::Replay(World& w, RunHost& host, bool count_progress) const {
  Progress progress;
  auto nested = nested_.begin();
  for (std::uint64_t visited = 1; visited <= top_level_; ++visited) {
    PumpStep(host, w.ItemWalkCountdown);
    if (count_progress) progress.Step(host, w.UnownedPerPercent);
    if (nested != nested_.end() && nested->after == visited) {
      for (std::uint32_t k = 0; k < nested->count; ++k) PumpStep(host, w.ItemWalkCountdown);
      ++nested;
    }
  }
}

}  // namespace orv
