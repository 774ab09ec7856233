#ifndef ORVANTOR_PASSES_PASSES_H_
#define ORVANTOR_PASSES_PASSES_H_

// The clean-up passes, run in this order by the conversion when their
// switches are on. Each walks the analysed records, pumping the window and
// moving the gauge as it goes, and edits the records in place.

#include <string_view>
#include <vector>

#include "engine/host.h"
#include "engine/run_threads.h"
#include "engine/world.h"
#include "passes/item_sweep.h"

namespace orv {

// Hands the lines of the position list to the player characters in file
// order, wrapping round: each player's first "P=" line becomes "P=" and its
// position. A player without a "P=" line uses up none. An empty list moves
// nobody.
void MoveChars(World& w, RunHost& host);

// The first "09b2]" item held directly by the character filed first under
// `serial`, or kNone.
RecordId FindPetContainer(const World& w, std::string_view serial);

// Turns every pet (an NPC whose first directly held memory object "02007]"
// links to a character holding a "09b2]" container) into a new shrunk-pet
// item at the front of that container. With a second thread the look-ups
// are made on two threads before the walk (FindPetHomes).
void ShrinkPets(World& w, RunHost& host, RunThreads threads = RunThreads::kAuto);

// What the look-ups of ShrinkPets find over the whole character list, made
// ahead of its walk on two threads (they only read the stores): the pets,
// where each goes, and the lines of its shrunk-pet item.
struct PetHomes {
  // Where a pet goes: its owner and the owner's container.
  struct Home {
    RecordId owner = kNone;
    RecordId container = kNone;
  };
  struct Pet {
    RecordId pet = kNone;  // the NPC
    Home home;
    LineList lines;  // of its shrunk-pet item
  };
  std::size_t char_count = 0;  // the characters looked at: the whole list
  std::vector<Pet> pets;       // in list order
};
PetHomes FindPetHomes(const World& w);
// ShrinkPets with the look-ups made ahead, on the world they were made on.
void ShrinkPets(World& w, RunHost& host, PetHomes found);

// Empties every NPC and destroys everything it holds, at every depth.
void DeleteNpcs(World& w, RunHost& host);

// Removes the unowned items of type "69" and "34"; then the memory objects
// held directly by NPCs that link to a removed "34" item (a spawn point).
// Given a sweep that found the respawn points (made on this world since the
// analysis), takes them and their serials from it, and the pumps and gauge
// steps of the walk over the unowned items, the same in number and order,
// follow.
void DeleteRespawnPoints(World& w, RunHost& host, ItemSweep* sweep = nullptr);

// Removes every item whose id is on the illegal-item list, with everything
// inside it, wherever it lies. A world large enough for a second thread
// is scanned in record order instead of walked, and the pumps and gauge
// steps, the same in number and order, follow. Given a sweep that found the
// listed items, takes the list and the items from it instead.
void DeleteIllegalItems(World& w, RunHost& host, RunThreads threads = RunThreads::kAuto,
                        const ItemSweep* sweep = nullptr);

// The switched-on passes in their fixed order, each announced by its status
// text. With a second thread, what the last two look for is found on it
// (ItemSweep) while the others run.
void RunCleanUpPasses(World& w, RunHost& host, RunThreads threads = RunThreads::kAuto);

}  // namespace orv

#endif  // ORVANTOR_PASSES_PASSES_H_
