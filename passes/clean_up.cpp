#include <utility>

#include "passes/passes.h"

namespace orv {

void RunCleanUpPasses(World& w, RunHost& host, RunThreads threads) {
  // The check boxes are locked during a run: they read the same now as
  // when each pass begins, and so does the illegal-item list.
  const bool move_chars = host.Checked(Switch::kMoveChars);
  const bool shrink_pets = host.Checked(Switch::kShrinkPets);
  const bool delete_npcs = host.Checked(Switch::kDeleteNpcs);
  const bool respawn_points = host.Checked(Switch::kDeleteRespawnPoints);
  const bool illegal_items = host.Checked(Switch::kIllegalItems);
  const bool second_thread = UseSecondThread(w, threads);

  // The sweep for the last two passes starts once the pets' look-ups, which
  // take both cores, are done; it then runs beside the walks of the passes
  // before those two.
  ItemSweepAhead sweep;
  const auto start_sweep = [&] {
    if (!second_thread || sweep.Started() || !(respawn_points || illegal_items)) return;
    const LineList illegal = illegal_items ? host.IllegalList() : LineList{};
    sweep.Start(w, respawn_points, illegal_items ? &illegal : nullptr);
  };
  if (!shrink_pets) start_sweep();

  if (move_chars) {
    host.SetStatus("moving chars to specified positions");
    MoveChars(w, host);
  }
  if (shrink_pets) {
    host.SetStatus("shrinking pets");
    if (second_thread) {
      PetHomes homes = FindPetHomes(w);
      start_sweep();
      ShrinkPets(w, host, std::move(homes));
    } else {
      ShrinkPets(w, host, threads);
    }
  }
  if (delete_npcs) {
    host.SetStatus("deleting NPCs");
    DeleteNpcs(w, host);
  }
  if (respawn_points) {
    host.SetStatus("deleting respawn points");
    DeleteRespawnPoints(w, host, sweep.Result(w));
  }
  if (illegal_items) {
    host.SetStatus("deleting illegal items");
    DeleteIllegalItems(w, host, threads, sweep.Result(w));
  }
}

}  // namespace orv
