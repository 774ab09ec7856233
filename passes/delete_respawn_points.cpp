#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/change_report.h"
#include "engine/pump.h"
#include "passes/item_kinds.h"
#include "passes/passes.h"

namespace orv {

void DeleteRespawnPoints(World& w, RunHost& host, ItemSweep* sweep) {
  Pump pump;
  Progress progress;
  w.SpawnSerials.Clear();
  ChangeReport* const report = w.Report;
  if (sweep != nullptr && sweep->FoundRespawnPoints()) {
    w.SpawnSerials = sweep->TakeSpawnSerials();
    const std::vector<RecordId>& found = sweep->RespawnPoints();
    for (std::size_t k = 0; k < found.size(); ++k) {
      // The records lie far apart; each is loaded well before it is written.
      if (k + 16 < found.size()) PrefetchLine(&w.Items[found[k + 16]]);
      w.Items[found[k]].State = LinesState::kCleared;
      if (report != nullptr) report->Note(Change::kRespawnPointDeleted, found[k]);
    }
    w.Stats.respawn_points_removed += found.size();
    pump.Turns(host, progress, w.UnownedPerPercent, sweep->LooseCount());
  } else {
    const TextPool::Ref respawn_point = w.ItemTexts.Find(kRespawnPointType);
    const TextPool::Ref spawn_point = w.ItemTexts.Find(kSpawnPointType);
    for (RecordId id = w.UnownedItems; id != kNone; id = w.Items[id].Next) {
      pump.Step(host);
      progress.Step(host, w.UnownedPerPercent);
      TWorldItem& item = w.Items[id];
      const TextPool::Ref type = TypeRef(w, item);
      if (type != respawn_point && type != spawn_point) continue;
      if (type == spawn_point) w.SpawnSerials.Append(item.Serial.view());
      item.State = LinesState::kCleared;
      ++w.Stats.respawn_points_removed;
      if (report != nullptr) report->Note(Change::kRespawnPointDeleted, id);
    }
  }
  host.SetStatus("deleting memory objects linked to spawn points");

  // A memory object goes when its link equals any spawn serial; a set
  // answers that without comparing it with every serial in turn. It is
  // made for the first NPC that holds anything.
  std::optional<std::unordered_set<std::string_view>> spawn_serials;
  const TextPool::Ref memory_object = w.ItemTexts.Find(kMemoryObjectId);
  progress.Reset();
  if (w.NpcsEmptied || w.SpawnSerials.Empty()) {
    // Nothing to find: only the pumps and gauge steps of the walk over the
    // characters, the same in number and order (the list holds CharCount).
    pump.Turns(host, progress, w.CharsPerPercent, static_cast<std::uint64_t>(w.CharCount));
    return;
  }
  for (RecordId id = w.FirstChar; id != kNone; id = w.Chars[id].Next) {
    pump.Step(host);
    progress.Step(host, w.CharsPerPercent);
    const TWorldChar& c = w.Chars[id];
    if (!c.IsNpc || c.Items == kNone) continue;
    if (!spawn_serials) spawn_serials.emplace(w.SpawnSerials.begin(), w.SpawnSerials.end());
    for (RecordId m = c.Items; m != kNone; m = w.Items[m].Next) {
      TWorldItem& item = w.Items[m];
      if (BaseIdRef(w, item) == memory_object &&
          spawn_serials->count(LinkOf(w, item).view()) != 0) {
        if (item.State != LinesState::kCleared) {
          ++w.Stats.memory_objects_removed;
          if (report != nullptr) report->Note(Change::kMemoryObjectDeleted, m);
        }
        item.State = LinesState::kCleared;
      }
    }
  }
}

}  // namespace orv
