#ifndef ORVANTOR_TOOLS_GEN_WORLD_WORLD_H_
#define ORVANTOR_TOOLS_GEN_WORLD_WORLD_H_

// What a generated world is made of. It is built and written one unit at a
// time: a character with everything it holds, or an item lying loose with
// its contents, or now and then a section of another kind.

#include <cstdint>
#include <vector>

namespace gen_world {

// What an item is, which decides the keys of its section.
enum class ItemRole : std::uint8_t {
  kLeaf,
  kStack,    // has an amount
  kCloth,    // worn on a layer
  kBox,      // a container
  kMemory,   // a memory object: links to a character or an item
  kRespawn,  // TYPE=69
  kSpawn,    // TYPE=34
  kDecor,
};

// An item kind. `id` is the head id as ORV writes it, with its leading 0;
// `bare` lets the head drop that 0 now and then.
struct ItemKind {
  const char* id;
  ItemRole role;
  std::uint8_t layer;  // clothing layer
  bool bare;
};

// A body a character may have.
struct CharKind {
  const char* id;
  bool human;
  bool bare;
};

// What a character is in the world.
enum class CharRole : std::uint8_t { kPlainNpc, kPet, kSpawnedNpc, kPlayer };

// One character or item of a unit.
struct Node {
  bool is_char = false;
  bool forward = false;                 // written before its holder
  CharRole role = CharRole::kPlainNpc;  // characters
  std::uint8_t depth = 0;               // items: 1 when held by a character or lying loose
  const ItemKind* kind = nullptr;       // items
  const CharKind* char_kind = nullptr;  // characters
  std::int32_t parent = -1;             // the holder's index in the unit, or -1
  std::int32_t first = -1, last = -1, sibling = -1;  // what it holds, in order
  std::uint32_t serial = 0;
  std::uint32_t link = 0;  // memory objects: the serial they name (0: none)
  bool link_char = false;  // the link names a character
};

// A character or a loose item with everything it holds: the nodes as they
// were made (the first one heads the unit), and the order in which their
// sections stand in the file.
struct Unit {
  std::vector<Node> nodes;
  std::vector<int> file_order;
};

// What a world holds, for --stats.
struct WorldStats {
  std::uint64_t chars = 0, players = 0, npcs = 0, pets = 0, spawned = 0;
  std::uint64_t items = 0, loose = 0, contained = 0, forward = 0, memory = 0;
  std::uint64_t respawn69 = 0, spawn34 = 0, illegal = 0, containers = 0, other = 0;
  unsigned max_depth = 0;
};

}  // namespace gen_world

#endif  // ORVANTOR_TOOLS_GEN_WORLD_WORLD_H_
