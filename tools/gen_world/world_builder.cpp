#include "tools/gen_world/world_builder.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace gen_world {
namespace {

using enum ItemRole;

constexpr ItemKind kBackpack = {"0e75", kBox, 21, false};
// Always written "09b2": the pet shrinker looks for "09b2]".
constexpr ItemKind kBankBox = {"09b2", kBox, 29, false};
constexpr ItemKind kMemory0 = {"02007", kMemory, 0, false};
constexpr ItemKind kMemoryBare = {"2007", kMemory, 0, false};
constexpr ItemKind kRespawnPoint = {"01f13", kRespawn, 0, false};
constexpr ItemKind kSpawnPoint = {"01f13", kSpawn, 0, false};
constexpr ItemKind kHair = {"0203b", kCloth, 11, true};
constexpr ItemKind kBeard = {"0204b", kCloth, 16, true};

constexpr ItemKind kClothes[] = {
    {"01517", kCloth, 5, true},  {"0152e", kCloth, 4, true},  {"0170f", kCloth, 3, true},
    {"01f03", kCloth, 22, true}, {"01541", kCloth, 10, true}, {"013bf", kCloth, 13, true},
    {"01515", kCloth, 20, true}, {"01f7b", kCloth, 5, true},  {"01537", kCloth, 4, true},
    {"0170b", kCloth, 3, true},  {"01efd", kCloth, 5, true},  {"013b9", kCloth, 1, true},
    {"01b76", kCloth, 2, true},  {"01408", kCloth, 6, true},
};
constexpr ItemKind kSubBoxes[] = {
    {"0e76", kBox, 0, true}, {"0e79", kBox, 0, true}, {"09aa", kBox, 0, true},
    {"0e7d", kBox, 0, true}, {"0e3f", kBox, 0, true},
};
constexpr ItemKind kChests[] = {
    {"0e42", kBox, 0, true}, {"0e43", kBox, 0, true}, {"09a9", kBox, 0, true}};
constexpr ItemKind kLeaves[] = {
    {"0eed", kStack, 0, true}, {"0f7a", kStack, 0, true},  {"0f7b", kStack, 0, true},
    {"0f84", kStack, 0, true}, {"0f85", kStack, 0, true},  {"0f86", kStack, 0, true},
    {"0f88", kStack, 0, true}, {"0f8c", kStack, 0, true},  {"0f8d", kStack, 0, true},
    {"0e21", kStack, 0, true}, {"0f3f", kStack, 0, true},  {"01bfb", kStack, 0, true},
    {"0f0e", kLeaf, 0, true},  {"0f0c", kLeaf, 0, true},   {"01f4c", kLeaf, 0, true},
    {"013b9", kLeaf, 0, true}, {"0f5e", kLeaf, 0, true},   {"0e86", kLeaf, 0, true},
    {"0fbf", kLeaf, 0, true},  {"014f0", kLeaf, 0, true},  {"09d0", kStack, 0, true},
    {"097b", kStack, 0, true}, {"01bf2", kStack, 0, true}, {"01bdd", kStack, 0, true},
    {"0f9f", kLeaf, 0, true},  {"0e9b", kLeaf, 0, true},   {"0fb1", kLeaf, 0, true},
};
constexpr ItemKind kDecorations[] = {
    {"0a2a", kDecor, 0, true},  {"0b2c", kDecor, 0, true}, {"01e5e", kDecor, 0, true},
    {"0a0f", kDecor, 0, true},  {"0a28", kDecor, 0, true}, {"0b41", kDecor, 0, true},
    {"0ea2", kDecor, 0, true},  {"0ee8", kDecor, 0, true}, {"0fa6", kDecor, 0, true},
    {"01bdd", kStack, 0, true}, {"0eed", kStack, 0, true}, {"0f3f", kStack, 0, true},
    {"0b90", kDecor, 0, true},  {"0c10", kDecor, 0, true}, {"0edd", kDecor, 0, true},
};
// Kinds an admin is likely to put on the illegal list.
constexpr ItemKind kIllegal[] = {{"0186b", kLeaf, 0, true}, {"01f14", kLeaf, 0, true}};
constexpr ItemKind kIllegalBoxes[] = {{"0186b", kBox, 0, false}, {"01f14", kBox, 0, false}};

constexpr CharKind kPlayerBodies[] = {{"0190", true, true}, {"0191", true, true}};
constexpr CharKind kNpcBodies[] = {
    {"0190", true, true},  {"0191", true, true}, {"0190", true, false}, {"0191", true, false},
    {"03e", false, false}, {"01d", false, true}, {"032", false, true},  {"01a", false, true},
};
constexpr CharKind kPetBodies[] = {
    {"0c9", false, true}, {"0d9", false, true}, {"0e1", false, true},
    {"0cc", false, true}, {"0e4", false, true}, {"0dc", false, true},
};

// Whether an item is of a kind an admin is likely to ban, loose or a
// container.
bool IsIllegal(const ItemKind& kind) {
  for (const ItemKind& illegal : kIllegal)
    if (std::strcmp(kind.id, illegal.id) == 0) return true;
  return false;
}

// Keeps the last of what later units may refer to.
void Remember(std::vector<std::uint32_t>& recent, std::uint32_t serial) {
  recent.push_back(serial);
  if (recent.size() > 256) recent.erase(recent.begin(), recent.begin() + 128);
}

}  // namespace

std::uint32_t WorldBuilder::Scramble::operator()(std::uint32_t x) const {
  constexpr std::uint32_t kMask = (1u << 28) - 1;
  x = (x ^ key1) & kMask;
  x = (x * 0x9E3779B1u) & kMask;
  x ^= x >> 13;
  x = (x * 0x85EBCA6Bu) & kMask;
  x ^= x >> 15;
  x = (x * 0xC2B2AE35u) & kMask;
  x ^= x >> 11;
  return (x ^ key2) & kMask;
}

WorldBuilder::WorldBuilder(Random& random, std::uint64_t seed, bool ascending_serials)
    : random_(random), ascending_serials_(ascending_serials) {
  Random keys(seed ^ 0x5EED5EED5EED5EEDull);
  scramble_.key1 = static_cast<std::uint32_t>(keys.Next());
  scramble_.key2 = static_cast<std::uint32_t>(keys.Next());
  unit_.nodes.reserve(512);
  unit_.file_order.reserve(512);
}

void WorldBuilder::Build(std::uint64_t size, WorldSink& sink) {
  while (sink.BytesWritten() < size) {
    if (static_cast<double>(stats_.chars) * 33.3 + jitter_ <= static_cast<double>(sections_)) {
      if (random_.Chance(3000)) {
        BuildPlayer();
      } else {
        BuildNpc();
      }
      sink.WriteUnit(unit_);
      jitter_ = static_cast<double>(random_.Below(40)) - 20.0;
    } else if (random_.Chance(8)) {
      ++stats_.other;
      ++sections_;
      sink.WriteOtherSection();
    } else {
      BuildLooseItem();
      sink.WriteUnit(unit_);
    }
  }
}

void WorldBuilder::BuildPlayer() {
  BeginUnit();
  const int player = Add(true, -1);
  unit_.nodes[0].role = CharRole::kPlayer;
  unit_.nodes[0].char_kind = &random_.Pick(kPlayerBodies);
  Dress(player, 2, 6);
  Fill(AddItem(player, &kBackpack), 3, 22);
  // Some players hold memory objects too (guild, party); a player is never
  // a pet, whatever it holds.
  if (random_.Chance(1500)) {
    const int memory = AddMemory(player);
    At(memory).link = RecentItem();
  }
  Fill(AddItem(player, &kBankBox), 3, 30);
  FinishUnit();
  Remember(players_, unit_.nodes[0].serial);
}

void WorldBuilder::BuildNpc() {
  BeginUnit();
  const int npc = Add(true, -1);
  // 12% pets of a recent player, 33% spawned by a recent spawn point.
  const std::uint32_t r = random_.Below(100);
  CharRole role = CharRole::kPlainNpc;
  if (r < 12 && !players_.empty()) {
    role = CharRole::kPet;
  } else if (r < 45 && !spawns_.empty()) {
    role = CharRole::kSpawnedNpc;
  }
  unit_.nodes[0].role = role;
  unit_.nodes[0].char_kind =
      role == CharRole::kPet ? &random_.Pick(kPetBodies) : &random_.Pick(kNpcBodies);
  if (unit_.nodes[0].char_kind->human) {
    Dress(npc, 2, 5);
    if (random_.Chance(2000)) Fill(AddItem(npc, &kBackpack), 1, 6);
  }
  if (role == CharRole::kPlainNpc && random_.Chance(2000)) {
    const int memory = AddMemory(npc);
    At(memory).link = RecentItem();
  }
  if (role == CharRole::kSpawnedNpc) {
    const int memory = AddMemory(npc);
    At(memory).link = spawns_[random_.Below(static_cast<std::uint32_t>(spawns_.size()))];
  }
  if (role == CharRole::kPet) {
    // Sometimes an older memory object comes first in the file; the
    // owner's memory is read last, so it heads the NPC's item list.
    if (random_.Chance(2000)) {
      const int old = AddMemory(npc);
      At(old).link = RecentItem();
    }
    const int memory = AddMemory(npc);
    Node& owner_memory = At(memory);
    owner_memory.link = players_[random_.Below(static_cast<std::uint32_t>(players_.size()))];
    owner_memory.link_char = true;
  }
  FinishUnit();
}

void WorldBuilder::BuildLooseItem() {
  BeginUnit();
  // 2% respawn points, 2% spawns, 0.35% contraband (a few of them
  // containers), 1.65% chests with contents, the rest decoration.
  const std::uint32_t r = random_.Below(10000);
  if (r < 200) {
    AddItem(-1, &kRespawnPoint);
  } else if (r < 400) {
    AddItem(-1, &kSpawnPoint);
  } else if (r < 430) {
    AddItem(-1, &random_.Pick(kIllegal));
  } else if (r < 435) {
    Fill(AddItem(-1, &random_.Pick(kIllegalBoxes)), 1, 4);
  } else if (r < 600) {
    Fill(AddItem(-1, &random_.Pick(kChests)), 1, 10);
  } else {
    AddItem(-1, &random_.Pick(kDecorations));
  }
  FinishUnit();
  const Node& item = unit_.nodes[0];
  if (item.kind->role == kSpawn) Remember(spawns_, item.serial);
  recent_items_[recent_item_count_++ & 63] = item.serial;
}

void WorldBuilder::BeginUnit() {
  unit_.nodes.clear();
  unit_.file_order.clear();
}

int WorldBuilder::Add(bool is_char, int parent) {
  Node node;
  node.is_char = is_char;
  node.parent = parent;
  node.depth = 1;
  const int index = static_cast<int>(unit_.nodes.size());
  if (parent >= 0) {
    Node& holder = At(parent);
    node.depth = static_cast<std::uint8_t>(holder.is_char ? 1 : holder.depth + 1);
    if (holder.last < 0) {
      holder.first = index;
    } else {
      At(holder.last).sibling = index;
    }
    holder.last = index;
  }
  unit_.nodes.push_back(node);
  return index;
}

int WorldBuilder::AddItem(int parent, const ItemKind* kind) {
  const int index = Add(false, parent);
  At(index).kind = kind;
  return index;
}

int WorldBuilder::AddLeaf(int parent) {
  // Now and then one of the contraband kinds.
  const ItemKind* kind = random_.Chance(25) ? &random_.Pick(kIllegal) : &random_.Pick(kLeaves);
  const int index = AddItem(parent, kind);
  // About 0.5% of held items come before their holder in the file.
  if (random_.Chance(55)) At(index).forward = true;
  return index;
}

int WorldBuilder::AddMemory(int holder) {
  ++stats_.memory;
  return AddItem(holder, random_.Chance(5000) ? &kMemory0 : &kMemoryBare);
}

void WorldBuilder::Fill(int box, std::uint32_t low, std::uint32_t high) {
  // The containers being filled, the innermost on top, each with the number
  // of items it is still to get. A container gets its number when it is
  // made, before anything goes into it.
  filling_.clear();
  filling_.push_back({box, random_.Range(low, high)});
  while (!filling_.empty()) {
    Filling& top = filling_.back();
    if (top.left == 0 || unit_.nodes.size() >= kMostNodes) {
      filling_.pop_back();
      continue;
    }
    --top.left;
    const int container = top.box;
    // Items nest up to four deep: a container held at depth 3 holds only
    // leaves.
    if (At(container).depth < 3 && random_.Chance(1200)) {
      const int inner = AddItem(container, &random_.Pick(kSubBoxes));
      filling_.push_back({inner, random_.Range(1, 8)});
    } else {
      AddLeaf(container);
    }
  }
}

void WorldBuilder::Dress(int who, std::uint32_t low, std::uint32_t high) {
  if (random_.Chance(8000)) AddItem(who, &kHair);
  if (random_.Chance(2500)) AddItem(who, &kBeard);
  const std::uint32_t count = random_.Range(low, high);
  for (std::uint32_t i = 0; i < count; ++i) {
    const int cloth = AddItem(who, &random_.Pick(kClothes));
    if (random_.Chance(55)) At(cloth).forward = true;
  }
}

std::uint32_t WorldBuilder::RecentItem() { return recent_items_[random_.Below(64)]; }

void WorldBuilder::FinishUnit() {
  LayOut();
  for (int index : unit_.file_order) {
    Node& node = At(index);
    node.serial = NextSerial(node.is_char);
    Count(node);
  }
  sections_ += unit_.file_order.size();
}

void WorldBuilder::LayOut() {
  // A node's forward-referenced children first, then the node, then the
  // rest of its children, each with its own subtree. The nodes whose
  // subtrees are still to be laid out wait on a stack, the next on top.
  laying_out_.assign(1, 0);
  while (!laying_out_.empty()) {
    const int index = laying_out_.back();
    laying_out_.pop_back();
    const Node& node = At(index);
    for (int child = node.first; child >= 0; child = At(child).sibling)
      if (At(child).forward) unit_.file_order.push_back(child);
    unit_.file_order.push_back(index);
    const std::size_t first_waiting = laying_out_.size();
    for (int child = node.first; child >= 0; child = At(child).sibling)
      if (!At(child).forward) laying_out_.push_back(child);
    std::reverse(laying_out_.begin() + static_cast<std::ptrdiff_t>(first_waiting),
                 laying_out_.end());
  }
}

std::uint32_t WorldBuilder::NextSerial(bool is_char) {
  const std::uint32_t n = is_char ? ++char_counter_ : ++item_counter_;
  return ascending_serials_ ? n : scramble_(n);
}

void WorldBuilder::Count(const Node& node) {
  if (node.is_char) {
    ++stats_.chars;
    if (node.role == CharRole::kPlayer) {
      ++stats_.players;
    } else {
      ++stats_.npcs;
    }
    if (node.role == CharRole::kPet) ++stats_.pets;
    if (node.role == CharRole::kSpawnedNpc) ++stats_.spawned;
    return;
  }
  const ItemKind& kind = *node.kind;
  ++stats_.items;
  if (node.parent < 0) {
    ++stats_.loose;
  } else {
    ++stats_.contained;
  }
  if (node.forward) ++stats_.forward;
  if (node.depth > stats_.max_depth) stats_.max_depth = node.depth;
  if (kind.role == kBox) ++stats_.containers;
  if (kind.role == kRespawn) ++stats_.respawn69;
  if (kind.role == kSpawn) ++stats_.spawn34;
  if (IsIllegal(kind)) ++stats_.illegal;
}

}  // namespace gen_world
