#include <string>
#include <string_view>
#include <vector>

#include "engine/pump.h"
#include "passes/passes.h"

namespace orv {

namespace {

// One walk state for the whole pass: every level of every list shares the
// pump countdown and the progress count.
struct IllegalWalk {
  World& w;
  RunHost& host;
  const std::vector<bool>& illegal;  // by interned item id
  Pump pump;
  Progress progress;
  std::vector<RecordId> pending;  // next siblings still to visit

  // Visits the items of `list` in list order, each before its contents.
  void DeleteIllegalIn(RecordId list) {
    RecordId id = list;
    for (;;) {
      while (id != kNone) {
        pump.Step(host);
        progress.Step(host, w.ItemsPerPercent);
        TWorldItem& item = w.Items[id];
        if (illegal[BaseIdRef(w, item)]) Remove(item);
        if (item.Next != kNone) pending.push_back(item.Next);
        id = item.Contents;  // empty after a removal
      }
      if (pending.empty()) return;
      id = pending.back();
      pending.pop_back();
    }
  }

  // The record stays in its list with no lines and no contents.
  void Remove(TWorldItem& item) {
    w.Stats.illegal_contents_destroyed += ReleaseItems(w, item.Contents);
    item.Contents = kNone;
    if (item.State != LinesState::kCleared) ++w.Stats.illegal_items_removed;
    item.State = LinesState::kCleared;
  }
};

}  // namespace

void DeleteIllegalItems(World& w, RunHost& host) {
  // An item matches an entry when its id equals the entry followed by "]".
  // Every entry is compared, so marking the interned ids of the completed
  // entries gives the same answer in one look-up per item.
  std::vector<bool> illegal(w.ItemTexts.Size(), false);
  for (const std::string& entry : host.IllegalList()) {
    const TextPool::Ref ref = w.ItemTexts.Find(entry + "]");
    // The empty id is never "]"-terminated, so it is never marked.
    if (ref != TextPool::kAbsent && ref != TextPool::kEmpty) illegal[ref] = true;
  }
  IllegalWalk walk{w, host, illegal, {}, {}, {}};
  for (RecordId id = w.FirstChar; id != kNone; id = w.Chars[id].Next)
    walk.DeleteIllegalIn(w.Chars[id].Items);
  walk.DeleteIllegalIn(w.UnownedItems);
}

}  // namespace orv
