#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "engine/change_report.h"
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

// Removes listed items: the record stays in its list with no lines and no
// contents.
struct IllegalRemover {
  World& w;
  IllegalCounts counts;

  void Remove(RecordId id) {
    TWorldItem& item = w.Items[id];
    const bool removed_now = item.State != LinesState::kCleared;
    if (w.Report != nullptr) {
      if (removed_now) w.Report->Note(Change::kIllegalItemDeleted, id);
      w.Report->NoteDestroyed(w, item.Contents, id, false);
    }
    counts.destroyed += ReleaseItems(w, item.Contents);
    item.Contents = kNone;
    if (removed_now) ++counts.removed;
    item.State = LinesState::kCleared;
  }
};

// Walks item lists depth first, each item before its contents, and removes
// the illegal ones.
struct IllegalWalk {
  IllegalRemover remover;
  const std::vector<bool>& illegal;  // by interned item id
  std::vector<RecordId> pending;     // next siblings still to visit

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
    ++remover.counts.visits;
    TWorldItem& item = remover.w.Items[id];
    if (illegal[BaseIdRef(remover.w, item)]) remover.Remove(id);
    return item;
  }
};

// The lists the pass walks, in its order: every character's, then the
// unowned items.
template <class Fn>
void ForEachRootList(const World& w, Fn&& fn) {
  for (RecordId id = w.FirstChar; id != kNone; id = w.Chars[id].Next) fn(w.Chars[id].Items);
  fn(w.UnownedItems);
}

// Where the walk meets an item: the character whose items hold it (or the
// unowned items, after every character), then the path down to it. The
// lists keep their items newest first, and every item is filed after those
// before it, so a list is walked in falling id order.
struct WalkPlace {
  RecordId root = kNone;       // the character, or kNone for the unowned items
  std::vector<RecordId> path;  // from the top-level item down to the item

  friend bool operator<(const WalkPlace& a, const WalkPlace& b) {
    if (a.root != b.root) return a.root < b.root;  // kNone sorts last
    for (std::size_t k = 0; k < a.path.size() && k < b.path.size(); ++k) {
      if (a.path[k] != b.path[k]) return a.path[k] > b.path[k];
    }
    return a.path.size() < b.path.size();  // a holder before what it holds
  }
};

WalkPlace PlaceOf(const World& w, RecordId id) {
  WalkPlace place;
  bool is_char = false;
  for (RecordId at = id; at != kNone; at = HolderOf(w, at, is_char)) {
    if (is_char) {
      place.root = at;
      break;
    }
    place.path.push_back(at);
  }
  std::reverse(place.path.begin(), place.path.end());
  return place;
}

// Puts the report's blocks of one removal each, noted in id order from
// `starts` on for the items `removed`, in the order the walk would have
// made them.
void ReportInWalkOrder(const World& w, const std::vector<std::size_t>& starts,
                       const std::vector<RecordId>& removed) {
  // Each place reads a few sections and indexes; the other core is idle.
  std::vector<WalkPlace> places(removed.size());
  ForEachOnTwoThreads(removed.size(), 64,
                      [&](int, std::size_t k) { places[k] = PlaceOf(w, removed[k]); });
  std::vector<std::size_t> order(removed.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return places[a] < places[b]; });
  w.Report->ReorderBlocks(starts, order);
}

// The walk on the calling thread, pumping and moving the gauge once per item.
IllegalCounts WalkOnOneThread(World& w, RunHost& host, const std::vector<bool>& illegal) {
  IllegalWalk walk{{w, {}}, illegal, {}};
  Pump pump;
  Progress progress;
  const auto step = [&] {
    pump.Step(host);
    progress.Step(host, w.ItemsPerPercent);
  };
  ForEachRootList(w, [&](RecordId list) { walk.DeleteIllegalIn(list, step); });
  return walk.remover.counts;
}

// The same removals without chasing the lists, then the pumps and gauge
// steps of the walk above, the same in number and order. An item is always
// filed after the container that holds it (a shrunk pet is made after its
// bank box), so its id is higher: going through the listed items in id
// order meets every container before what it holds. An item still there
// when it is met is one the walk visits, and one that an earlier removal
// destroyed is one the walk never reaches. Every record not destroyed
// before the pass is one the walk reaches, so it visits them all but those
// the removals destroy. `listed` holds the items of a listed kind, by
// rising id.
IllegalCounts RemoveInIdOrder(World& w, RunHost& host, const std::vector<RecordId>& listed) {
  const std::uint64_t there = w.Items.Size() - w.ReleasedItemCount;
  IllegalRemover remover{w, {}};
  std::vector<std::size_t> starts;  // of each removal's entries in the report
  std::vector<RecordId> removed;
  for (const RecordId id : listed) {
    // Destroyed with a listed container met before it.
    if (w.Items[id].State == LinesState::kReleased) continue;
    if (w.Report != nullptr) {
      // Where the item lies must be found before its contents go.
      starts.push_back(w.Report->Entries().size());
      removed.push_back(id);
    }
    remover.Remove(id);
  }
  if (w.Report != nullptr) ReportInWalkOrder(w, starts, removed);
  IllegalCounts counts = remover.counts;
  counts.visits = there - counts.destroyed;
  Pump pump;
  Progress progress;
  pump.Turns(host, progress, w.ItemsPerPercent, counts.visits);
  return counts;
}

// The items of a listed kind, by rising id. The records are read in the
// order they lie in memory, where the walk waits for every record it
// follows a link to.
std::vector<RecordId> ListedInIdOrder(const World& w, const std::vector<bool>& illegal) {
  std::vector<RecordId> listed;  // few: the list names kinds an admin bans
  const auto size = static_cast<RecordId>(w.Items.Size());
  for (RecordId id = 0; id < size; ++id) {
    if (illegal[BaseIdRef(w, w.Items[id])]) listed.push_back(id);
  }
  return listed;
}

// What a sweep found, and the listed items made since (none but shrunk
// pets are made, and those are of no listed kind, but a look costs little).
std::vector<RecordId> ListedInIdOrder(const World& w, const ItemSweep& sweep) {
  std::vector<RecordId> listed = sweep.Listed();
  const auto size = static_cast<RecordId>(w.Items.Size());
  for (RecordId id = sweep.SweptCount(); id < size; ++id) {
    if (sweep.IsListed(w.Items[id])) listed.push_back(id);
  }
  return listed;
}

}  // namespace

void DeleteIllegalItems(World& w, RunHost& host, RunThreads threads, const ItemSweep* sweep) {
  IllegalCounts counts;
  if (sweep != nullptr && sweep->FoundListed()) {
    counts = RemoveInIdOrder(w, host, ListedInIdOrder(w, *sweep));
  } else {
    const std::vector<bool> illegal = IllegalIds(w, host.IllegalList());
    // A small world is walked with the pumps as it goes; a large one is
    // scanned first, which is far quicker, and pumped after.
    counts = UseSecondThread(w, threads) ? RemoveInIdOrder(w, host, ListedInIdOrder(w, illegal))
                                         : WalkOnOneThread(w, host, illegal);
  }
  w.Stats.illegal_items_removed += counts.removed;
  w.Stats.illegal_contents_destroyed += counts.destroyed;
}

}  // namespace orv
