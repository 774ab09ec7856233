#include <string>
#include <string_view>
#include <vector>

#include "engine/pump.h"
#include "passes/passes.h"

namespace orv {

namespace {

// What one walk did, added to the run's figures once the walk is over.
struct IllegalCounts {
  std::uint64_t visits = 0;
  std::uint64_t removed = 0;
  std::uint64_t destroyed = 0;
};

// Walks item lists depth first, each item before its contents, and removes
// the illegal ones. It touches only the items of the lists it is given, so
// walks over different lists may run side by side.
struct IllegalWalk {
  World& w;
  const std::vector<bool>& illegal;  // by interned item id
  IllegalCounts counts;
  std::vector<RecordId> pending;  // next siblings still to visit

  // Visits the items of `list` in list order, each before its contents;
  // calls step() before every visit.
  template <class Step>
  void DeleteIllegalIn(RecordId list, Step&& step) {
    RecordId id = list;
    for (;;) {
      while (id != kNone) {
        step();
        TWorldItem& item = Visit(id);
        if (item.Next != kNone) pending.push_back(item.Next);
        id = item.Contents;  // empty after a removal
      }
      if (pending.empty()) return;
      id = pending.back();
      pending.pop_back();
    }
  }

  TWorldItem& Visit(RecordId id) {
    ++counts.visits;
    TWorldItem& item = w.Items[id];
    if (illegal[BaseIdRef(w, item)]) Remove(item);
    return item;
  }

  // The record stays in its list with no lines and no contents.
  void Remove(TWorldItem& item) {
    counts.destroyed += ReleaseItems(w, item.Contents);
    item.Contents = kNone;
    if (item.State != LinesState::kCleared) ++counts.removed;
    item.State = LinesState::kCleared;
  }
};

// The lists the pass walks, in its order: every character's, then the
// unowned items.
template <class Fn>
void ForEachRootList(const World& w, Fn&& fn) {
  for (RecordId id = w.FirstChar; id != kNone; id = w.Chars[id].Next) fn(w.Chars[id].Items);
  fn(w.UnownedItems);
}

// The walk on the calling thread, pumping and moving the gauge once per item.
IllegalCounts WalkOnOneThread(World& w, RunHost& host, const std::vector<bool>& illegal) {
  IllegalWalk walk{w, illegal, {}, {}};
  Pump pump;
  Progress progress;
  const auto step = [&] {
    pump.Step(host);
    progress.Step(host, w.ItemsPerPercent);
  };
  ForEachRootList(w, [&](RecordId list) { walk.DeleteIllegalIn(list, step); });
  return walk.counts;
}

// The same work shared by two threads, then the pumps and gauge steps of
// the walk above. No two lists share an item, and the pumps and the gauge
// depend only on the number of items visited, so the lists can be walked
// in any order and on any thread. The unowned items come first: theirs is
// the longest list, which one thread walks while the other takes the
// characters' lists.
IllegalCounts WalkOnTwoThreads(World& w, RunHost& host, const std::vector<bool>& illegal) {
  std::vector<RecordId> lists = {w.UnownedItems};
  lists.reserve(w.CharCount + 1);
  for (RecordId id = w.FirstChar; id != kNone; id = w.Chars[id].Next) lists.push_back(w.Chars[id].Items);
  IllegalWalk walks[2] = {{w, illegal, {}, {}}, {w, illegal, {}, {}}};
  ForEachOnTwoThreads(lists.size(), 64, [&](int thread, std::size_t i) {
    walks[thread].DeleteIllegalIn(lists[i], [] {});
  });

  IllegalCounts counts = walks[0].counts;
  counts.visits += walks[1].counts.visits;
  counts.removed += walks[1].counts.removed;
  counts.destroyed += walks[1].counts.destroyed;
  Pump pump;
  Progress progress;
  for (std::uint64_t k = 0; k < counts.visits; ++k) {
    pump.Step(host);
    progress.Step(host, w.ItemsPerPercent);
  }
  return counts;
}

}  // namespace

void DeleteIllegalItems(World& w, RunHost& host, RunThreads threads) {
  // An item matches an entry when its id equals the entry followed by "]".
  // Every entry is compared, so marking the interned ids of the completed
  // entries gives the same answer in one look-up per item.
  std::vector<bool> illegal(w.ItemTexts.Size(), false);
  for (const std::string& entry : host.IllegalList()) {
    const TextPool::Ref ref = w.ItemTexts.Find(entry + "]");
    // The empty id is never "]"-terminated, so it is never marked.
    if (ref != TextPool::kAbsent && ref != TextPool::kEmpty) illegal[ref] = true;
  }
  const IllegalCounts counts = UseSecondThread(w, threads) ? WalkOnTwoThreads(w, host, illegal)
                                                           : WalkOnOneThread(w, host, illegal);
  w.Stats.illegal_items_removed += counts.removed;
  w.Stats.illegal_contents_destroyed += counts.destroyed;
}

}  // namespace orv
