#include "writers/item_writer.h"

#include <vector>

#include "engine/kept_lines.h"
#include "engine/line_sink.h"
#include "engine/pump.h"

namespace orv {

namespace {
void PushList(const World& w, RecordId list, std::vector<RecordId>& stack) {
  for (RecordId id = list; id != kNone; id = w.Items[id].Next) stack.push_back(id);
}
}  // namespace

void WriteItems(World& w, RunHost& host, RecordId list, int target, bool count_progress) {
  if (list == kNone) return;
  LineSink& out = target == kCharFile ? *w.CharLines : *w.WorldLines;
  Progress progress;
  // One stack for the whole walk. An item's contents are pushed when it is
  // written, above the rest of its own list, so they come out before its
  // next sibling: the order of a recursive walk, without the recursion. The
  // items of `list` itself lie at the bottom; `top_level_left` tells how many
  // of them are still on the stack.
  std::vector<RecordId> stack;
  PushList(w, list, stack);
  std::size_t top_level_left = stack.size();
  auto emit = [&out](const KeptLine& line) { out.Append(line); };
  while (!stack.empty()) {
    PumpStep(host, w.ItemWalkCountdown);
    const bool top_level = stack.size() == top_level_left;
    if (top_level) {
      --top_level_left;
      if (count_progress) progress.Step(host, w.UnownedPerPercent);
    }
    const RecordId id = stack.back();
    stack.pop_back();
    const TWorldItem& item = w.Items[id];
    ForEachKeptLine(w, item, emit);
    PushList(w, item.Contents, stack);
  }
}

}  // namespace orv
