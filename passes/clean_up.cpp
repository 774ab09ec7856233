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

  // What the last two passes look for is found by one sweep over the item
  // records on a thread of its own, from the start, while the passes before
  // them run. The sweep waits for memory to stream in, the pets' look-ups
  // (on two threads as well) mostly for records and pages of the source to
  // be found: the three threads share the two cores with little loss.
  ItemSweepAhead sweep;
  if (second_thread && (respawn_points || illegal_items)) {
    const LineList illegal = illegal_items ? host.IllegalList() : LineList{};
    sweep.Start(w, respawn_points, illegal_items ? &illegal : nullptr);
  }

  if (move_chars) {
    host.SetStatus("moving chars to specified positions");
    MoveChars(w, host);
  }
  if (shrink_pets) {
    host.SetStatus("shrinking pets");
    if (second_thread) {
      ShrinkPets(w, host, FindPetHomes(w));
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
