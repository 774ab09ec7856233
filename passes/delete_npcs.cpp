#include "engine/change_report.h"
#include "engine/pump.h"
#include "passes/passes.h"

namespace orv {

void DeleteNpcs(World& w, RunHost& host) {
  Pump pump;
  Progress progress;
  // A character takes little time here, so the items are loaded further
  // ahead than for a walk that writes them.
  ItemsLoadedAhead ahead(w, 8, ItemsLoadedAhead::Whose::kNpcs);
  ChangeReport* const report = w.Report;
  for (RecordId id = w.FirstChar; id != kNone; id = w.Chars[id].Next) {
    ahead.Step();
    pump.Step(host);
    progress.Step(host, w.CharsPerPercent);
    TWorldChar& c = w.Chars[id];
    if (!c.IsNpc) continue;
    // The record stays in the list and the index, with no lines and no
    // items, so that it writes nothing.
    const bool deleted_now = c.State != LinesState::kCleared;
    if (report != nullptr) {
      if (deleted_now) report->Note(Change::kNpcDeleted, id);
      report->NoteDestroyed(w, c.Items, id, true);
    }
    w.Stats.npc_items_destroyed += ReleaseItems(w, c.Items);
    c.Items = kNone;
    if (deleted_now) ++w.Stats.npcs_deleted;
    c.State = LinesState::kCleared;
  }
  w.NpcsEmptied = true;
}

}  // namespace orv
