#include "writers/item_writer.h"

#include "engine/kept_lines.h"
#include "engine/line_sink.h"
#include "engine/pump.h"

namespace orv {
namespace {

// The host's side of visiting one item of a walk: a pump on the countdown
// all item walks share and, for an item of the list itself, a gauge step.
// Both the walk and its replay step through here.
void StepItem(World& w, RunHost& host, Progress& progress, bool top_level, bool count_progress) {
  PumpStep(host, w.ItemWalkCountdown);
  if (top_level && count_progress) progress.Step(host, w.UnownedPerPercent);
}

}  // namespace

void WriteItems(World& w, RunHost& host, RecordId list, int target, bool count_progress) {
  if (list == kNone) return;
  LineSink* out = target == kCharFile ? w.CharLines : nullptr;
  Progress progress;
  std::vector<RecordId> stack;
  const auto visit = [&](const TWorldItem& item, bool top_level) {
    StepItem(w, host, progress, top_level, count_progress);
    if (out != nullptr) AppendKeptLines(w, item, *out);
  };
  if (out != nullptr) {
    ForEachItemInWriteOrder(w, list, stack, visit,
                            [&w](const TWorldItem& next) { PrefetchLines(w, next); });
  } else {
    ForEachItemInWriteOrder(w, list, stack, visit);
  }
}

// The visits in runs: the top-level items up to each group of nested ones
// step the gauge, the nested ones only pump.
void ItemWalkShape::Replay(World& w, RunHost& host, bool count_progress) const {
  Progress progress;
  const std::int64_t divisor = count_progress ? w.UnownedPerPercent : 0;
  std::uint32_t visited = 0;
  for (const Nested& nested : nested_) {
    PumpTurns(host, w.ItemWalkCountdown, progress, divisor, nested.after - visited);
    PumpTurns(host, w.ItemWalkCountdown, progress, 0, nested.count);
    visited = nested.after;
  }
  PumpTurns(host, w.ItemWalkCountdown, progress, divisor, top_level_ - visited);
}

}  // namespace orv
