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
// the illegal ones.
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

// The same removals without chasing the lists, then the pumps and gauge
// steps of the walk above, the same in number and order. An item is always
// filed after the container that holds it (a shrunk pet is made after its
// bank box), so its id is higher: going through the records in id order
// meets every container before what it holds. An item still there when it
// is met is one the walk visits, and one that an earlier removal destroyed
// is one the walk never reaches. The records are read in the order they lie
// in memory, where the walk waits for every record it follows a link to.
IllegalCounts ScanInIdOrder(World& w, RunHost& host, const std::vector<bool>& illegal) {
  std::vector<RecordId> listed;  // few: the list names kinds an admin bans
  std::uint64_t there = 0;       // items not destroyed before the pass
  const auto size = static_cast<RecordId>(w.Items.Size());
  for (RecordId id = 0; id < size; ++id) {
    const TWorldItem& item = w.Items[id];
    if (item.State == LinesState::kReleased) continue;
    ++there;
    if (illegal[BaseIdRef(w, item)]) listed.push_back(id);
  }
  IllegalWalk walk{w, illegal, {}, {}};
  for (const RecordId id : listed) {
    TWorldItem& item = w.Items[id];
    // Destroyed with a listed container met before it.
    if (item.State != LinesState::kReleased) walk.Remove(item);
  }
  IllegalCounts counts = walk.counts;
  counts.visits = there - counts.destroyed;
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
  // A small world is walked with the pumps as it goes; a large one is
  // scanned first, which is far quicker, and pumped after.
  const IllegalCounts counts = UseSecondThread(w, threads) ? ScanInIdOrder(w, host, illegal)
                                                           : WalkOnOneThread(w, host, illegal);
  w.Stats.illegal_items_removed += counts.removed;
  w.Stats.illegal_contents_destroyed += counts.destroyed;
}

}  // namespace orv
