#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "engine/change_report.h"
#include "engine/pump.h"
#include "passes/item_kinds.h"
#include "passes/passes.h"

namespace orv {

namespace {

using PetHome = PetHomes::Home;

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
  std::string_view base_id = pet.BaseId.view();
  if (!base_id.empty()) base_id.remove_suffix(1);
  const std::string_view name = pet.Name.empty() ? std::string_view("NAMELESS") : pet.Name.view();
  std::vector<std::string> lines;
  lines.reserve(10);
  lines.emplace_back("[WORLDITEM 0186b]");
  lines.push_back(std::string("SERIAL=").append(pet.Serial.view()));
  lines.push_back(std::string("NAME=").append(name).append(" (shrinked by Pellacord)"));
  lines.emplace_back("ATTR=020");
  lines.emplace_back("TYPE=37");
  lines.push_back(std::string("MORE1=").append(base_id));
  lines.emplace_back("MORE2=0f5f");
  lines.push_back(std::string("CONT=").append(container.Serial.view()));
  lines.emplace_back("P=95,131,0");
  lines.emplace_back();
  return LineList(std::move(lines));
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
void Shrink(World& w, RecordId pet_char, const PetHome& home, LineList lines) {
  const RecordId container = home.container;
  w.OwnedLines.push_back(std::move(lines));
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

void Shrink(World& w, RecordId pet_char, const PetHome& home) {
  Shrink(w, pet_char, home, ShrunkPetLines(w.Chars[pet_char], w.Items[home.container]));
}

// The look-ups of a run of characters in list order, with the answers of
// PetHomeOf. Each is a chain of loads from far apart in memory: the
// character's items, its memory object's section in the source, the index
// slot of the link, the owner's record, the owner's items. A chain is begun
// some characters before its answer is due and taken one link further at
// every character, its next load started ahead, so that the loads of a
// dozen chains are under way at once instead of one after the other. The
// pets found are added to `pets` in list order, with their lines made
// while their records are at hand.
class PetLookUps {
 public:
  PetLookUps(const World& w, const std::vector<RecordId>& chars, std::vector<PetHomes::Pet>& pets)
      : w_(w),
        chars_(chars),
        pets_(pets),
        memory_object_(w.ItemTexts.Find(kMemoryObjectId)),
        bank_box_(w.ItemTexts.Find(kBankBoxId)) {}

  // Looks up chars[i] for every i in [begin, end).
  void Run(std::size_t begin, std::size_t end) {
    for (std::size_t t = begin; t < end + kOwnersItems; ++t) {
      if (t < end) LoadItems(t);
      if (Due(t, kMemoryObject, begin, end)) FindMemoryObject(t - kMemoryObject);
      if (Due(t, kLink, begin, end)) ReadLink(t - kLink);
      if (Due(t, kOwnerRecord, begin, end)) LoadOwner(t - kOwnerRecord);
      if (Due(t, kOwner, begin, end)) FindOwner(t - kOwner);
      if (Due(t, kOwnersItems, begin, end)) FindBankBox(t - kOwnersItems);
    }
  }

 private:
  // How many characters behind the newest one each link is taken.
  static constexpr std::size_t kMemoryObject = 4;
  static constexpr std::size_t kLink = 8;
  static constexpr std::size_t kOwnerRecord = 10;
  static constexpr std::size_t kOwner = 12;
  static constexpr std::size_t kOwnersItems = 15;
  static constexpr std::size_t kChains = 16;  // more than kOwnersItems

  struct Chain {
    RecordId memory = kNone;
    FixedText<10> link;
    std::uint32_t hash = 0;
    RecordId owner = kNone;
  };

  static bool Due(std::size_t t, std::size_t behind, std::size_t begin, std::size_t end) {
    return t >= begin + behind && t - behind < end;
  }
  Chain& ChainOf(std::size_t i) { return chains_[i % kChains]; }

  // Only an NPC's items are looked at. A player's run far longer (its bank
  // box, everything in it) and would only crowd the memory bus.
  void LoadItems(std::size_t i) {
    const TWorldChar& c = w_.Chars[chars_[i]];
    if (c.IsNpc) PrefetchItemsOf(w_, c);
  }
  void FindMemoryObject(std::size_t i) {
    Chain& chain = ChainOf(i);
    chain = Chain{};
    const TWorldChar& c = w_.Chars[chars_[i]];
    if (!c.IsNpc) return;
    chain.memory = FirstMemoryObject(w_, c, memory_object_);
    if (chain.memory == kNone) return;
    const TWorldItem& memory = w_.Items[chain.memory];
    if (memory.State == LinesState::kOwned) return;
    const char* section = w_.SourceLines.Bytes().data() + SectionOffset(memory);
    PrefetchLine(section);
    PrefetchLine(section + 64);
  }
  void ReadLink(std::size_t i) {
    Chain& chain = ChainOf(i);
    if (chain.memory == kNone) return;
    chain.link = LinkOf(w_, w_.Items[chain.memory]);
    chain.hash = Tree<TWorldChar>::SlotHash(chain.link.view());
    w_.CharTree.Prefetch(chain.hash);
  }
  void LoadOwner(std::size_t i) {
    const Chain& chain = ChainOf(i);
    if (chain.memory != kNone) w_.CharTree.PrefetchRecord(chain.hash);
  }
  void FindOwner(std::size_t i) {
    Chain& chain = ChainOf(i);
    if (chain.memory == kNone) return;
    chain.owner = w_.CharTree.Find(chain.link.view(), chain.hash);
    // The owner's newest item first: a bank box mostly is, made after the
    // backpack and all in it. The rest of its items, far more than an
    // NPC's, are only loaded when walked to.
    if (chain.owner == kNone) return;
    const RecordId newest = w_.Chars[chain.owner].Items;
    if (newest != kNone) PrefetchLine(&w_.Items[newest]);
  }
  void FindBankBox(std::size_t i) {
    const Chain& chain = ChainOf(i);
    if (chain.owner == kNone) return;
    for (RecordId id = w_.Chars[chain.owner].Items; id != kNone; id = w_.Items[id].Next) {
      if (BaseIdRef(w_, w_.Items[id]) == bank_box_) {
        const RecordId pet = chars_[i];
        pets_.push_back({pet, {chain.owner, id}, ShrunkPetLines(w_.Chars[pet], w_.Items[id])});
        return;
      }
    }
  }

  const World& w_;
  const std::vector<RecordId>& chars_;
  std::vector<PetHomes::Pet>& pets_;
  const TextPool::Ref memory_object_;
  const TextPool::Ref bank_box_;
  Chain chains_[kChains];
};

}  // namespace

PetHomes FindPetHomes(const World& w) {
  // The look-ups chase records all over memory and only read; shrinking
  // changes only the containers' contents, which no look-up reads, and makes
  // items no look-up finds. So they can all be made first, on two threads.
  std::vector<RecordId> chars;
  chars.reserve(static_cast<std::size_t>(w.CharCount));
  for (RecordId id = w.FirstChar; id != kNone; id = w.Chars[id].Next) chars.push_back(id);
  constexpr std::size_t kBlock = 2048;
  std::vector<std::vector<PetHomes::Pet>> by_block((chars.size() + kBlock - 1) / kBlock);
  ForEachOnTwoThreads(by_block.size(), 1, [&](int, std::size_t block) {
    PetLookUps look_ups(w, chars, by_block[block]);
    look_ups.Run(block * kBlock, std::min(chars.size(), (block + 1) * kBlock));
  });
  PetHomes found;
  found.char_count = chars.size();
  for (auto& pets : by_block) {
    for (auto& pet : pets) found.pets.push_back(std::move(pet));
  }
  return found;
}

void ShrinkPets(World& w, RunHost& host, PetHomes found) {
  w.OwnedLines.reserve(w.OwnedLines.size() + found.pets.size());
  w.OwnedFrom.reserve(w.OwnedFrom.size() + found.pets.size());
  for (std::size_t k = 0; k < found.pets.size(); ++k) {
    // The containers lie far apart; each is loaded well before it is
    // changed.
    if (k + 8 < found.pets.size()) PrefetchLine(&w.Items[found.pets[k + 8].home.container]);
    PetHomes::Pet& pet = found.pets[k];
    Shrink(w, pet.pet, pet.home, std::move(pet.lines));
  }
  // The pumps and gauge steps of the walk over the characters, the same in
  // number and order, follow.
  Pump pump;
  Progress progress;
  pump.Turns(host, progress, w.CharsPerPercent, found.char_count);
}

void ShrinkPets(World& w, RunHost& host, RunThreads threads) {
  if (UseSecondThread(w, threads)) {
    ShrinkPets(w, host, FindPetHomes(w));
    return;
  }
  Pump pump;
  Progress progress;
  const TextPool::Ref memory_object = w.ItemTexts.Find(kMemoryObjectId);
  for (RecordId id = w.FirstChar; id != kNone; id = w.Chars[id].Next) {
    pump.Step(host);
    progress.Step(host, w.CharsPerPercent);
    const PetHome home = PetHomeOf(w, w.Chars[id], memory_object);
    if (home.container != kNone) Shrink(w, id, home);
  }
}

}  // namespace orv
