#ifndef ORVANTOR_ENGINE_TREE_H_
#define ORVANTOR_ENGINE_TREE_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "engine/prefetch.h"
#include "engine/record_arena.h"
#include "engine/short_text.h"
#include "platform/bulk_memory.h"

namespace orv {

// Hash of a serial as the records keep it (at most 10 bytes). Every item
// is hashed twice on its way into the index (its serial and its "CONT="
// value), so keys up to 16 bytes are taken as two overlapping words with
// no loop over the bytes; longer ones are folded a word at a time. Only
// bytes of the key are read.
inline std::uint64_t HashSerial(std::string_view key) {
  const std::size_t n = key.size();
  ShortTextWords words;
  if (n <= 16) {
    words = WordsOfShortText(key);
  } else {
    const char* p = key.data();
    for (std::size_t i = 0; i + 16 < n; i += 8)
      words.a = (words.a ^ LoadWord(p + i)) * 0x9e3779b97f4a7c15ull;
    words.a ^= LoadWord(p + n - 16);
    words.b = LoadWord(p + n - 8);
  }
  const std::uint64_t a = words.a;
  const std::uint64_t b = words.b;
  // A final mix, so that the low bits used for the slot are spread well
  // also for serials that differ in one digit.
  std::uint64_t h = (a ^ 0xbf58476d1ce4e5b9ull) * 0x94d049bb133111ebull;
  h ^= (b + n) * 0xd6e8feb86659fd93ull;
  h ^= h >> 32;
  h *= 0xd6e8feb86659fd93ull;
  h ^= h >> 29;
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
  ~Tree() { ReleaseTree(); }
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;

  // The 32 hash bits of `key` that its slot keeps. Computing them ahead lets
  // a reader prepare a look-up long before it is made.
  static std::uint32_t SlotHash(std::string_view key) {
    return static_cast<std::uint32_t>(HashSerial(key));
  }

  // Files record `data` under `key` (the record's serial). When the key is
  // already filed the earlier record stays the one found, and the answer is
  // false.
  bool Insert(std::string_view key, RecordId data) { return Insert(key, SlotHash(key), data); }
  // The same, with `hash` = SlotHash(key).
  bool Insert(std::string_view key, std::uint32_t hash, RecordId data) {
    if ((count_ + 1) * 4 > size_ * 3) Grow();
    for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
      Slot& s = slots_[i];
      if (s.id_plus_one == 0) {
        s.hash = hash;
        s.id_plus_one = data + 1;
        ++count_;
        return true;
      }
      if (s.hash == hash && (*records_)[s.id_plus_one - 1].Serial == key) return false;
    }
  }

  // The record filed first under `key`, or kNone.
  RecordId Find(std::string_view key) const { return Find(key, SlotHash(key)); }
  // The same, with `hash` = SlotHash(key).
  RecordId Find(std::string_view key, std::uint32_t hash) const {
    if (count_ == 0) return kNone;
    for (std::size_t i = hash & mask_;; i = (i + 1) & mask_) {
      const Slot& s = slots_[i];
      if (s.id_plus_one == 0) return kNone;
      if (s.hash == hash && (*records_)[s.id_plus_one - 1].Serial == key) return s.id_plus_one - 1;
    }
  }

  // Starts loading the home slot of a key with SlotHash `hash`, for an
  // Insert or Find soon after: the table is far larger than the caches, so
  // each look-up would otherwise wait for memory.
  void Prefetch(std::uint32_t hash) const {
    if (size_ != 0) PrefetchLine(&slots_[hash & mask_]);
  }
  void Prefetch(std::string_view key) const { Prefetch(SlotHash(key)); }

  // When the home slot of `hash` (loaded by an earlier Prefetch) holds a
  // record with that hash, starts loading the record too: a Find that hits
  // compares the record's serial, and its caller usually changes it.
  void PrefetchRecord(std::uint32_t hash) const {
    if (size_ == 0) return;
    const Slot& s = slots_[hash & mask_];
    if (s.id_plus_one != 0 && s.hash == hash) PrefetchLine(&(*records_)[s.id_plus_one - 1]);
  }

  // Makes room for `keys` keys in all before the table needs to grow: each
  // growth rehashes every key into fresh memory. Never shrinks the table.
  void Reserve(std::size_t keys) {
    std::size_t size = size_ == 0 ? 1024 : size_;
    while (keys * 4 > size * 3) size *= 2;
    if (size > size_) GrowTo(size);
  }

  bool Empty() const { return count_ == 0; }
  // Number of distinct keys filed.
  std::size_t KeyCount() const { return count_; }

  // Releases every slot (never the records): the index is empty again.
  void ReleaseTree() {
    platform::FreeBulk(slots_, size_ * sizeof(Slot));
    slots_ = nullptr;
    size_ = 0;
    mask_ = 0;
    count_ = 0;
  }

 private:
  // A slot keeps 32 bits of the key's hash: they pick the home slot, filter
  // the comparisons, and let the table grow without reading any record.
  // Zeroed memory is a table of free slots.
  struct Slot {
    std::uint32_t hash;
    std::uint32_t id_plus_one;  // 0 marks a free slot
  };

  void Grow() { GrowTo(size_ == 0 ? 1024 : size_ * 2); }

  void GrowTo(std::size_t size) {
    if (size - 1 > 0xffffffffu) throw std::length_error("too many serials in the world save");
    // Backed at once: filing reads a slot before it writes it, and a page
    // first read is mapped to the system's shared zero page, so the write
    // after it would cost a second fault and a flush of every other core's
    // address cache.
    auto* bigger = static_cast<Slot*>(platform::AllocateScatteredBulk(size * sizeof(Slot)));
    const std::size_t mask = size - 1;
    for (std::size_t k = 0; k < size_; ++k) {
      const Slot& s = slots_[k];
      if (s.id_plus_one == 0) continue;
      std::size_t i = s.hash & mask;
      while (bigger[i].id_plus_one != 0) i = (i + 1) & mask;
      bigger[i] = s;
    }
    platform::FreeBulk(slots_, size_ * sizeof(Slot));
    slots_ = bigger;
    size_ = size;
    mask_ = mask;
  }

  const RecordArena<T>* records_;
  Slot* slots_ = nullptr;
  std::size_t size_ = 0;
  std::size_t mask_ = 0;
  std::size_t count_ = 0;
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_TREE_H_
