#ifndef ORVANTOR_PASSES_ITEM_SWEEP_H_
#define ORVANTOR_PASSES_ITEM_SWEEP_H_

// What the last two passes look for among the item records, found in one
// go through them from the newest record to the oldest: the respawn points
// lying loose in the world, and the items of the kinds on the illegal-item
// list. The loose items are listed newest first, so the sweep meets them in
// list order as it goes, and both passes then cost one read of the records
// instead of a chase along the list and a read of every record.
//
// A sweep reads only the records' kinds and the links of the loose items,
// which none of the passes before those two changes (they move and empty
// characters, release what NPCs hold, make shrunk pets and put them into
// held containers). So it can run on a second thread while those passes
// work.

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/background_thread.h"
#include "engine/line_list.h"
#include "engine/world.h"

namespace orv {

// The interned item ids that the entries of an illegal-item list match:
// an item matches an entry when its id equals the entry followed by "]".
std::vector<bool> IllegalIds(const World& w, const LineList& entries);

class ItemSweep {
 public:
  // Prepares a sweep of the records made so far, for the respawn points
  // when `respawn_points` is set and for the kinds of `illegal_list` when
  // it is given. Reads the world: call it on the thread that changes it.
  ItemSweep(const World& w, bool respawn_points, const LineList* illegal_list);

  // Sweeps. May run on another thread while the passes before the respawn
  // points change the world; returns early, with the findings incomplete,
  // once `stop` is set.
  void Run(const World& w, const std::atomic<bool>& stop);

  // For the respawn points: whether they were looked for, how many items
  // UnownedItems holds, those of type "69" or "34" in list order, and the
  // serials of those of type "34" (the spawn points) in the same order.
  bool FoundRespawnPoints() const { return respawn_points_wanted_; }
  std::uint64_t LooseCount() const { return loose_count_; }
  const std::vector<RecordId>& RespawnPoints() const { return respawn_points_; }
  LineList TakeSpawnSerials() { return std::move(spawn_serials_); }

  // For the illegal items: whether they were looked for, and the items of a
  // listed kind among the records swept, by rising id.
  bool FoundListed() const { return listed_wanted_; }
  const std::vector<RecordId>& Listed() const { return listed_; }
  // Whether a record is of a listed kind. Records made after the sweep was
  // prepared (shrunk pets) are not among Listed.
  bool IsListed(const TWorldItem& item) const { return (FlagsOf(item) & kListed) != 0; }
  RecordId SweptCount() const { return size_; }

 private:
  static constexpr std::uint8_t kListed = 1;
  static constexpr std::uint8_t kRespawnPoint = 2;  // type "69" or "34"
  static constexpr std::uint8_t kSpawnPoint = 4;    // type "34"

  // Notes a loose item.
  void MeetLoose(RecordId id, const TWorldItem& item, std::uint8_t flags) {
    ++loose_count_;
    if ((flags & kRespawnPoint) == 0) return;
    respawn_points_.push_back(id);
    if ((flags & kSpawnPoint) != 0) spawn_serials_.Append(item.Serial.view());
  }
  std::uint8_t FlagsOf(const TWorldItem& item) const {
    return item.Kind < kinds_.size() ? kinds_[item.Kind] : 0;
  }
  // The loose items in list order, when the list is not in falling id
  // order after all.
  void WalkLooseItems(const World& w);

  std::vector<std::uint8_t> kinds_;  // the flags above, by ItemKinds::Ref
  RecordId size_ = 0;
  RecordId first_loose_ = kNone;
  bool respawn_points_wanted_ = false;
  bool listed_wanted_ = false;
  std::uint64_t loose_count_ = 0;
  std::vector<RecordId> respawn_points_;
  LineList spawn_serials_;
  std::vector<RecordId> listed_;
};

// An ItemSweep made on a thread of its own while the calling thread works
// on. However the caller leaves, the thread is stopped and joined first.
class ItemSweepAhead {
 public:
  // Prepares the sweep here and starts it on another thread; with no thread
  // to be had, Result makes it. At most once.
  void Start(const World& w, bool respawn_points, const LineList* illegal_list);
  bool Started() const { return sweep_.has_value(); }

  // Waits for the sweep and rethrows what it threw; null when never started.
  ItemSweep* Result(const World& w);

 private:
  std::optional<ItemSweep> sweep_;
  bool done_ = false;
  BackgroundThread thread_;  // last: joined before the sweep goes
};

}  // namespace orv

#endif  // ORVANTOR_PASSES_ITEM_SWEEP_H_
