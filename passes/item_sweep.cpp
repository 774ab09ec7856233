#include "passes/item_sweep.h"

#include <algorithm>
#include <string>

#include "passes/item_kinds.h"

namespace orv {

std::vector<bool> IllegalIds(const World& w, const LineList& entries) {
  // Every entry is compared, so marking the interned ids of the completed
  // entries gives the same answer in one look-up per item.
  std::vector<bool> illegal(w.ItemTexts.Size(), false);
  for (const std::string& entry : entries) {
    const TextPool::Ref ref = w.ItemTexts.Find(entry + "]");
    // The empty id is never "]"-terminated, so it is never marked.
    if (ref != TextPool::kAbsent && ref != TextPool::kEmpty) illegal[ref] = true;
  }
  return illegal;
}

ItemSweep::ItemSweep(const World& w, bool respawn_points, const LineList* illegal_list)
    : kinds_(w.ItemKindPool.Size(), 0),
      size_(static_cast<RecordId>(w.Items.Size())),
      first_loose_(w.UnownedItems),
      respawn_points_wanted_(respawn_points),
      listed_wanted_(illegal_list != nullptr) {
  std::vector<bool> illegal;
  if (illegal_list != nullptr) illegal = IllegalIds(w, *illegal_list);
  const TextPool::Ref respawn_point = w.ItemTexts.Find(kRespawnPointType);
  const TextPool::Ref spawn_point = w.ItemTexts.Find(kSpawnPointType);
  for (std::size_t k = 0; k < kinds_.size(); ++k) {
    const ItemKinds::Kind& kind = w.ItemKindPool[static_cast<ItemKinds::Ref>(k)];
    if (listed_wanted_ && illegal[kind.base_id]) kinds_[k] |= kListed;
    // TextPool::kAbsent, for a type no item has, is no item's type.
    if (respawn_points_wanted_ && (kind.type == respawn_point || kind.type == spawn_point))
      kinds_[k] |= kRespawnPoint;
    if (respawn_points_wanted_ && kind.type == spawn_point) kinds_[k] |= kSpawnPoint;
  }
}

void ItemSweep::Run(const World& w, const std::atomic<bool>& stop) {
  constexpr std::size_t kChunk = RecordArena<TWorldItem>::kChunkSize;
  const std::uint8_t* const kinds = kinds_.data();
  const std::size_t kind_count = kinds_.size();
  // Never an id, when no loose item is wanted.
  RecordId next_loose = respawn_points_wanted_ ? first_loose_ : kNone;
  // A chunk at a time, whose records lie side by side, newest first.
  for (std::size_t end = size_; end > 0;) {
    if (stop.load(std::memory_order_relaxed)) return;
    const std::size_t begin = (end - 1) / kChunk * kChunk;
    const TWorldItem* const chunk = &w.Items[static_cast<RecordId>(begin)];
    for (std::size_t i = end - begin; i-- > 0;) {
      const TWorldItem& item = chunk[i];
      const auto id = static_cast<RecordId>(begin + i);
      const std::uint8_t flags = item.Kind < kind_count ? kinds[item.Kind] : 0;
      if ((flags & kListed) != 0) listed_.push_back(id);
      if (id == next_loose) {
        MeetLoose(id, item, flags);
        next_loose = item.Next;
      }
    }
    end = begin;
  }
  std::reverse(listed_.begin(), listed_.end());
  // A loose item not met: one came after an older one in the list.
  if (next_loose != kNone) WalkLooseItems(w);
}

void ItemSweep::WalkLooseItems(const World& w) {
  loose_count_ = 0;
  respawn_points_.clear();
  spawn_serials_.Clear();
  for (RecordId id = first_loose_; id != kNone; id = w.Items[id].Next) {
    const TWorldItem& item = w.Items[id];
    MeetLoose(id, item, FlagsOf(item));
  }
}

void ItemSweepAhead::Start(const World& w, bool respawn_points, const LineList* illegal_list) {
  sweep_.emplace(w, respawn_points, illegal_list);
  // Without a thread, Result makes the sweep.
  thread_.Start([this, &w] { sweep_->Run(w, thread_.StopFlag()); });
}

ItemSweep* ItemSweepAhead::Result(const World& w) {
  if (!sweep_) return nullptr;
  if (!done_) {
    done_ = true;
    if (thread_.Started()) {
      thread_.Join();
    } else {
      sweep_->Run(w, thread_.StopFlag());
    }
  }
  return &*sweep_;
}

}  // namespace orv
