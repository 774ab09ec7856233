#include "writers/world_file_writer.h"

#include <vector>

#include "engine/kept_lines.h"
#include "writers/char_writer.h"
#include "writers/file_frame.h"
#include "writers/item_writer.h"

namespace orv {

void WriteWorldFile(const World& w, LineSink& out, std::string_view caption, bool unowned_heading,
                    const std::atomic<bool>& stop, ItemWalkShape* unowned_shape) {
  // The stop flag is looked at once per this many records.
  constexpr unsigned kStopCheckEvery = 4096;
  unsigned until_check = kStopCheckEvery;
  bool stopped = false;
  const auto stopping = [&] {
    if (--until_check == 0) {
      until_check = kStopCheckEvery;
      stopped = stop.load(std::memory_order_relaxed);
    }
    return stopped;
  };
  std::vector<RecordId> stack;
  const auto write_items = [&](RecordId list, ItemWalkShape* shape) {
    ForEachItemInWriteOrder(
        w, list, stack,
        [&](const TWorldItem& item, bool top_level) {
          if (stopping()) return false;
          if (shape != nullptr) shape->Visit(top_level);
          AppendKeptLines(w, item, out);
          return true;
        },
        [&w](const TWorldItem& next) { PrefetchLines(w, next); });
  };

  AppendFileOpening(out, caption);
  ForEachHeaderLine(w, [&out](std::string_view line) { out.Append(line); });
  for (RecordId id = w.FirstChar; id != kNone; id = w.Chars[id].Next) {
    const TWorldChar& c = w.Chars[id];
    if (!c.IsNpc) continue;
    if (stopping()) return;
    AppendKeptLines(w, c, out);
    write_items(c.Items, nullptr);
  }
  if (unowned_heading) AppendUnownedItemsHeading(out);
  write_items(w.UnownedItems, unowned_shape);
  if (stopped) return;
  AppendFileEnd(out);
}

}  // namespace orv
