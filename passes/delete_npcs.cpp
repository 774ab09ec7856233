#include "engine/pump.h"
#include "passes/passes.h"

namespace orv {

void DeleteNpcs(World& w, RunHost& host) {
  Pump pump;
  Progress progress;
  ItemsLoadedAhead ahead(w);
  for (RecordId id = w.FirstChar; id != kNone; id = w.Chars[id].Next) {
    ahead.Step();
    pump.Step(host);
    progress.Step(host, w.CharsPerPercent);
    TWorldChar& c = w.Chars[id];
    if (!c.IsNpc) continue;
    // The record stays in the list and the index, with no lines and no
    // items, so that it writes nothing.
    w.Stats.npc_items_destroyed += ReleaseItems(w, c.Items);
    c.Items = kNone;
    if (c.State != LinesState::kCleared) ++w.Stats.npcs_deleted;
    c.State = LinesState::kCleared;
  }
}

}  // namespace orv
