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

void ItemWalkShape::Replay(World& w, RunHost& host, bool count_progress) const {
  Progress progress;
  auto nested = nested_.begin();
  for (std::uint64_t visited = 1; visited <= top_level_; ++visited) {
    StepItem(w, host, progress, true, count_progress);
    if (nested != nested_.end() && nested->after == visited) {
      for (std::uint32_t k = 0; k < nested->count; ++k)
        StepItem(w, host, progress, false, count_progress);
      ++nested;
    }
  }
}

}  // namespace orv
