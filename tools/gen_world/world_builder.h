#ifndef ORVANTOR_TOOLS_GEN_WORLD_WORLD_BUILDER_H_
#define ORVANTOR_TOOLS_GEN_WORLD_WORLD_BUILDER_H_

// Builds a world that looks like one a live shard keeps: players with a
// backpack and a bank box full of nested containers, NPCs with clothing and
// memory objects, pets of recent players, NPCs spawned by recent spawn
// points, loose items (respawn points, chests, kinds an admin may ban) and a
// few sections of other kinds.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/gen_world/random.h"
#include "tools/gen_world/world.h"

namespace gen_world {

// Where a world goes while it is built, unit by unit in file order.
class WorldSink {
 public:
  virtual ~WorldSink() = default;
  // A unit whose nodes all have their serials.
  virtual void WriteUnit(const Unit& unit) = 0;
  // A section of a kind the converter passes over (a script, a GM page).
  virtual void WriteOtherSection() = 0;
  virtual std::uint64_t BytesWritten() const = 0;
};

class WorldBuilder {
 public:
  // Draws from `random`, which the sink may draw from too. Serials are
  // handed out in file order from a counter each for characters and items:
  // with `ascending_serials` the counter itself, else the counter through a
  // bijection on 28 bits keyed by `seed` (unique values in no order).
  WorldBuilder(Random& random, std::uint64_t seed, bool ascending_serials);

  // Builds units, and hands each to `sink` as soon as it is made, until the
  // sink holds at least `size` bytes. Characters make about 3% of the
  // sections; loose items fill in.
  void Build(std::uint64_t size, WorldSink& sink);

  const WorldStats& Stats() const { return stats_; }

 private:
  // A bijection on 28 bits: ascending counters in, unique values in
  // scrambled order out.
  struct Scramble {
    std::uint32_t key1 = 0, key2 = 0;
    std::uint32_t operator()(std::uint32_t x) const;
  };

  void BuildPlayer();
  void BuildNpc();
  void BuildLooseItem();

  // The nodes of the unit being built; each returns the new node's index.
  void BeginUnit();
  int Add(bool is_char, int parent);
  int AddItem(int parent, const ItemKind* kind);
  int AddLeaf(int parent);
  int AddMemory(int holder);
  // Puts `low` to `high` items into a container: leaves, and, while it is
  // held less than three deep, now and then a smaller container filled in
  // turn. A unit stops growing at kMostNodes.
  void Fill(int box, std::uint32_t low, std::uint32_t high);
  void Dress(int who, std::uint32_t low, std::uint32_t high);
  std::uint32_t RecentItem();
  Node& At(int index) { return unit_.nodes[static_cast<std::size_t>(index)]; }

  // Lays the unit out in file order, gives it serials and counts it.
  void FinishUnit();
  void LayOut();
  std::uint32_t NextSerial(bool is_char);
  void Count(const Node& node);

  // The most nodes Fill lets a unit have.
  static constexpr std::size_t kMostNodes = 400;
  // A container being filled, and how many items it is still to get.
  struct Filling {
    int box;
    std::uint32_t left;
  };

  Random& random_;
  const bool ascending_serials_;
  Scramble scramble_;
  Unit unit_;
  // The stacks of Fill and LayOut, kept to spare an allocation per unit.
  std::vector<Filling> filling_;
  std::vector<int> laying_out_;
  // What later units may refer to: recent players (owners of pets), spawn
  // points (makers of spawned NPCs) and loose items (memory links).
  std::vector<std::uint32_t> players_;
  std::vector<std::uint32_t> spawns_;
  std::uint32_t recent_items_[64] = {};
  std::uint32_t recent_item_count_ = 0;
  std::uint32_t char_counter_ = 0;
  std::uint32_t item_counter_ = 0;
  std::uint64_t sections_ = 0;
  double jitter_ = 0;
  WorldStats stats_;
};

}  // namespace gen_world

#endif  // ORVANTOR_TOOLS_GEN_WORLD_WORLD_BUILDER_H_
