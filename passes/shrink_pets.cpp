#include <string>

#include "engine/pump.h"
#include "passes/passes.h"

namespace orv {

RecordId FindPetContainer(const World& w, std::string_view serial) {
  const RecordId owner = w.CharTree.Find(serial);
  if (owner == kNone) return kNone;
  const TextPool::Ref bank_box = w.ItemTexts.Find("09b2]");
  for (RecordId id = w.Chars[owner].Items; id != kNone; id = w.Items[id].Next) {
    if (BaseIdRef(w, w.Items[id]) == bank_box) return id;
  }
  return kNone;
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

}  // namespace

void ShrinkPets(World& w, RunHost& host) {
  Pump pump;
  Progress progress;
  const TextPool::Ref memory_object = w.ItemTexts.Find("02007]");
  for (RecordId id = w.FirstChar; id != kNone; id = w.Chars[id].Next) {
    pump.Step(host);
    progress.Step(host, w.CharsPerPercent);
    const TWorldChar& c = w.Chars[id];
    if (!c.IsNpc) continue;
    const RecordId memory = FirstMemoryObject(w, c, memory_object);
    if (memory == kNone) continue;
    const RecordId container = FindPetContainer(w, LinkOf(w, w.Items[memory]).view());
    if (container == kNone) continue;
    // The shrunk-pet item: an empty record that owns its ten lines, put at
    // the front of the container so that it is written after the rest.
    w.OwnedLines.push_back(ShrunkPetLines(c, w.Items[container]));
    const RecordId pet = w.Items.Make();
    TWorldItem& s = w.Items[pet];
    s.State = LinesState::kOwned;
    s.Lines = w.OwnedLines.size() - 1;
    s.Next = w.Items[container].Contents;
    w.Items[container].Contents = pet;
    ++w.Stats.pets_shrunk;
  }
}

}  // namespace orv
