#ifndef ORVANTOR_ENGINE_TREE_H_
#define ORVANTOR_ENGINE_TREE_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "engine/record_arena.h"

namespace orv {

// Hash of a serial as the records keep it (at most 10 bytes).
inline std::uint64_t HashSerial(std::string_view key) {
  // FNV-1a over the bytes, then a final mix so that the low bits used for
  // the slot are spread well also for serials that differ in one digit.
  std::uint64_t h = 1469598103934665603ull ^ key.size();
  for (unsigned char c : key) h = (h ^ c) * 1099511628211ull;
  h ^= h >> 32;
  h *= 0xd6e8feb86659fd93ull;
  h ^= h >> 32;
  return h;
}

// The index of the records of one kind by serial. `Find` answers the record
// filed first under a key, so a later record with the same serial never
// shadows an earlier one. An open-addressing hash table: Insert and Find take
// constant expected time whatever order the serials come in, where a search
// tree fed ascending serials would degrade to a chain. The table owns only
// its slots; the records belong to their arena.
template <class T>
class Tree {
 public:
  explicit Tree(const RecordArena<T>& records) : records_(&records) {}

  // Files record `data` under `key` (the record's serial). When the key is
  // already filed the earlier record stays the one found.
  void Insert(std::string_view key, RecordId data) {
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    const std::uint64_t h = HashSerial(key);
    const std::uint32_t tag = static_cast<std::uint32_t>(h >> 32) | 1u;
    std::size_t i = static_cast<std::size_t>(h) & mask_;
    for (;;) {
      Slot& s = slots_[i];
      if (s.tag == 0) {
        s.tag = tag;
        s.id = data;
        ++count_;
        return;
      }
      if (s.tag == tag && (*records_)[s.id].Serial == key) return;
      i = (i + 1) & mask_;
    }
  }

  // The record filed first under `key`, or kNone.
  RecordId Find(std::string_view key) const {
    if (count_ == 0) return kNone;
    const std::uint64_t h = HashSerial(key);
    const std::uint32_t tag = static_cast<std::uint32_t>(h >> 32) | 1u;
    std::size_t i = static_cast<std::size_t>(h) & mask_;
    for (;;) {
      const Slot& s = slots_[i];
      if (s.tag == 0) return kNone;
      if (s.tag == tag && (*records_)[s.id].Serial == key) return s.id;
      i = (i + 1) & mask_;
    }
  }

  bool Empty() const { return count_ == 0; }
  // Number of distinct keys filed.
  std::size_t KeyCount() const { return count_; }

  // Releases every slot (never the records): the index is empty again.
  void ReleaseTree() {
    std::vector<Slot>().swap(slots_);
    mask_ = 0;
    count_ = 0;
  }

 private:
  struct Slot {
    std::uint32_t tag = 0;  // 0 marks a free slot; filed tags are odd
    RecordId id = kNone;
  };

  void Grow() {
    std::size_t size = slots_.empty() ? 1024 : slots_.size() * 2;
    std::vector<Slot> bigger(size);
    const std::size_t mask = size - 1;
    for (const Slot& s : slots_) {
      if (s.tag == 0) continue;
      std::size_t i = static_cast<std::size_t>(HashSerial((*records_)[s.id].Serial.view())) & mask;
      while (bigger[i].tag != 0) i = (i + 1) & mask;
      bigger[i] = s;
    }
    slots_.swap(bigger);
    mask_ = mask;
  }

  const RecordArena<T>* records_;
  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
  std::size_t count_ = 0;
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_TREE_H_
