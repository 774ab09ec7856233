#include <string>
#include <vector>

#include "engine/change_report.h"
#include "engine/pump.h"
#include "passes/item_kinds.h"
#include "passes/passes.h"

namespace orv {

namespace {

// Where a pet goes: its owner and the owner's container, or none.
struct PetHome {
  RecordId owner = kNone;
  RecordId container = kNone;
};

PetHome PetHomeOf(const World& w, std::string_view serial) {
  const RecordId owner = w.CharTree.Find(serial);
  if (owner == kNone) return {};
  const TextPool::Ref bank_box = w.ItemTexts.Find(kBankBoxId);
  for (RecordId id = w.Chars[owner].Items; id != kNone; id = w.Items[id].Next) {
    if (BaseIdRef(w, w.Items[id]) == bank_box) return {owner, id};
  }
  return {};
}

}  // namespace

RecordId FindPetContainer(const World& w, std::string_view serial) {
  return PetHomeOf(w, serial).container;
}

namespace {

RecordId FirstMemoryObject(const World& w, const TWorldChar& c, TextPool::Ref memory_object) {
  for (RecordId id = c.Items; id != kNone; id = w.Items[id].Next) {
    if (BaseIdRef(w, w.Items[id]) == memory_object) return id;
  }
  return kNone;
}

LineList ShrunkPetLines(const TWorldChar& pet, const TWorldItem& container) {
  std::string base_id = pet.BaseId.str();
  if (!base_id.empty()) base_id.pop_back();
  const std::string name = pet.Name.empty() ? std::string("NAMELESS") : pet.Name.str();
  return LineList{
      "[WORLDITEM 0186b]",
      "SERIAL=" + pet.Serial.str(),
      "NAME=" + name + " (shrinked by Pellacord)",
      "ATTR=020",
      "TYPE=37",
      "MORE1=" + base_id,
      "MORE2=0f5f",
      "CONT=" + container.Serial.str(),
      "P=95,131,0",
      "",
  };
}

// Where the NPC `c` goes as a shrunk pet; no container when it is no pet.
// Only reads the stores.
PetHome PetHomeOf(const World& w, const TWorldChar& c, TextPool::Ref memory_object) {
  if (!c.IsNpc) return {};
  const RecordId memory = FirstMemoryObject(w, c, memory_object);
  if (memory == kNone) return {};
  return PetHomeOf(w, LinkOf(w, w.Items[memory]).view());
}

// The shrunk-pet item: an empty record that owns its ten lines, put at the
// front of the container so that it is written after the rest.
void Shrink(World& w, RecordId pet_char, const PetHome& home) {
  const RecordId container = home.container;
  w.OwnedLines.push_back(ShrunkPetLines(w.Chars[pet_char], w.Items[container]));
  w.OwnedFrom.push_back(pet_char);
  if (w.Report != nullptr)
    w.Report->Note({Change::kPetShrunk, false, pet_char, container, home.owner});
  const RecordId pet = w.Items.Make();
  TWorldItem& s = w.Items[pet];
  s.State = LinesState::kOwned;
  s.Lines = w.OwnedLines.size() - 1;
  s.Next = w.Items[container].Contents;
  w.Items[container].Contents = pet;
  ++w.Stats.pets_shrunk;
}

}  // namespace

void ShrinkPets(World& w, RunHost& host, RunThreads threads) {
  Pump pump;
  Progress progress;
  const TextPool::Ref memory_object = w.ItemTexts.Find(kMemoryObjectId);
  if (!UseSecondThread(w, threads)) {
    for (RecordId id = w.FirstChar; id != kNone; id = w.Chars[id].Next) {
      pump.Step(host);
      progress.Step(host, w.CharsPerPercent);
      const PetHome home = PetHomeOf(w, w.Chars[id], memory_object);
      if (home.container != kNone) Shrink(w, id, home);
    }
    return;
  }
  // The look-ups chase records all over memory and only read; shrinking
  // changes only the containers' contents, which no look-up reads, and makes
  // items no look-up finds. So the look-ups are made first on two threads,
  // then the characters are walked in order with the pumps and shrunk.
  std::vector<RecordId> chars;
  chars.reserve(w.CharCount);
  for (RecordId id = w.FirstChar; id != kNone; id = w.Chars[id].Next) chars.push_back(id);
  std::vector<PetHome> homes(chars.size());
  ForEachOnTwoThreads(chars.size(), 256, [&](int, std::size_t i) {
    if (i + 2 < chars.size()) PrefetchItemsOf(w, w.Chars[chars[i + 2]]);
    homes[i] = PetHomeOf(w, w.Chars[chars[i]], memory_object);
  });
  for (std::size_t i = 0; i < chars.size(); ++i) {
    pump.Step(host);
    progress.Step(host, w.CharsPerPercent);
    if (homes[i].container != kNone) Shrink(w, chars[i], homes[i]);
  }
}

}  // namespace orv
