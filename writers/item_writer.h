#ifndef ORVANTOR_WRITERS_ITEM_WRITER_H_
#define ORVANTOR_WRITERS_ITEM_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/host.h"
#include "engine/prefetch.h"
#include "engine/world.h"

namespace orv {

// Target codes of WriteItems.
inline constexpr int kCharFile = 2;
inline constexpr int kWorldFile = 3;

// Calls visit(item, top_level) for the items of `list` in the order they
// were linked into it (the reverse of list order), each followed at once by
// its whole content tree, depth first; `top_level` is set for the items of
// `list` itself. A visit that returns a bool ends the walk by returning
// false. The walk keeps its stack in `stack` (left as it was found), so
// nesting depth costs no call depth and one stack serves many walks.
//
// `ahead(item)` is called, before an item is visited, for the item that will
// be visited next (when there is one), so that a writer can start loading
// its lines while it makes the current ones.
template <class Visit, class Ahead>
void ForEachItemInWriteOrder(const World& w, RecordId list, std::vector<RecordId>& stack,
                             Visit&& visit, Ahead&& ahead) {
  // An item's contents are pushed when it is visited, above the rest of its
  // own list, so they come out before its next sibling: the order of a
  // recursive walk. The items of `list` lie at the bottom; `top_level_left`
  // tells how many of them are still on the stack.
  const auto push_list = [&](RecordId id) {
    // A list is mostly items read one after another and linked newest
    // first, so its records lie in falling order: the records eight lines
    // further down are loaded while the links are followed one by one.
    constexpr RecordId kAhead = 8 * (64 / sizeof(TWorldItem));
    for (; id != kNone; id = w.Items[id].Next) {
      if (id >= kAhead) PrefetchLine(&w.Items[id - kAhead]);
      stack.push_back(id);
    }
  };
  const std::size_t bottom = stack.size();
  push_list(list);
  std::size_t top_level_left = stack.size() - bottom;
  while (stack.size() > bottom) {
    const bool top_level = stack.size() - bottom == top_level_left;
    if (top_level) --top_level_left;
    const RecordId id = stack.back();
    stack.pop_back();
    const TWorldItem& item = w.Items[id];
    // The contents go on the stack before the visit, which never touches it:
    // the order is the same, and the next item is known during the visit.
    push_list(item.Contents);
    if (stack.size() > bottom) ahead(w.Items[stack.back()]);
    if constexpr (std::is_same_v<decltype(visit(item, top_level)), bool>) {
      if (!visit(item, top_level)) {
        stack.resize(bottom);
        return;
      }
    } else {
      visit(item, top_level);
    }
  }
}

template <class Visit>
void ForEachItemInWriteOrder(const World& w, RecordId list, std::vector<RecordId>& stack,
                             Visit&& visit) {
  ForEachItemInWriteOrder(w, list, stack, visit, [](const TWorldItem&) {});
}

// Starts loading the first lines of an item's section, for a writer that
// will make them soon: items are written in container order, so their
// sections lie all over the source and each would otherwise wait for memory.
inline void PrefetchLines(const World& w, const TWorldItem& item) {
  if (item.State != LinesState::kSource) return;
  const char* lines = w.SourceLines.Bytes().data() + SectionOffset(item);
  PrefetchLine(lines);
  PrefetchLine(lines + 64);
}

// Walks the items of a list in write order (see above) and writes them into
// the character file (target 2) when its sink is set. For the world file
// (any other code), made apart by WriteWorldFile, and without a sink, the
// walk runs all the same without making the lines. Pumps once per item at
// every depth on the countdown that all item walks share; with
// `count_progress` moves the gauge once per item of the list itself.
void WriteItems(World& w, RunHost& host, RecordId list, int target, bool count_progress);

// What the pumps and the gauge of an item walk depend on: how many items of
// the list itself it visits and, for those with contents, how many items
// inside them follow. Made by a walk that writes, to spare the walk that
// pumps from chasing the same records again.
class ItemWalkShape {
 public:
  // Notes the walk's visits in order.
  void Visit(bool top_level) {
    if (top_level) {
      ++top_level_;
    } else if (!nested_.empty() && nested_.back().after == top_level_) {
      ++nested_.back().count;
    } else {
      nested_.push_back({top_level_, 1});
    }
  }

  // Pumps and moves the gauge exactly as WriteItems does for a list walked
  // in this shape when the target's sink is not set.
  void Replay(World& w, RunHost& host, bool count_progress) const;

 private:
  struct Nested {
    std::uint32_t after;  // the items inside follow the after-th top-level visit
    std::uint32_t count;
  };
  std::uint32_t top_level_ = 0;
  std::vector<Nested> nested_;  // in walk order
};

}  // namespace orv

#endif  // ORVANTOR_WRITERS_ITEM_WRITER_H_
