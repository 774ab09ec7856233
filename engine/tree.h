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
    for (std::size_t i = 0; i + 16 < n; i += 8) words.a = (words.a ^ LoadWord(p + i)) * 0x9e3779b97f4a7c15ull;
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
//
// The keys fall into two parts by one bit of their hash, each a table of its
// own: every look-up of a key goes to the same part, so one thread may file
// into part 0 while another files into part 1.
template <class T>
class Tree {
 public:
  static constexpr int kParts = 2;

  explicit Tree(const RecordArena<T>& records) : records_(&records) {}
  ~Tree() { ReleaseTree(); }
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;

  // The 32 hash bits of `key` that its slot keeps. Computing them ahead lets
  // a reader prepare a look-up long before it is made.
  static std::uint32_t SlotHash(std::string_view key) {
    return static_cast<std::uint32_t>(HashSerial(key));
  }
  // The part a key with SlotHash `hash` is filed in: the top bit, which no
  // slot number of a part uses.
  static int PartOf(std::uint32_t hash) { return static_cast<int>(hash >> 31); }

  // Files record `data` under `key` (the record's serial). When the key is
  // already filed the earlier record stays the one found, and the answer is
  // false.
  bool Insert(std::string_view key, RecordId data) { return Insert(key, SlotHash(key), data); }
  // The same, with `hash` = SlotHash(key).
  bool Insert(std::string_view key, std::uint32_t hash, RecordId data) {
    return parts_[PartOf(hash)].Insert(*records_, key, hash, data);
  }
  // The same with the serial of record `data` itself as the key, which is
  // then only read when another key has the same hash.
  bool InsertOwnSerial(std::uint32_t hash, RecordId data) {
    return parts_[PartOf(hash)].Insert(*records_, (*records_)[data].Serial, hash, data);
  }

  // The record filed first under `key`, or kNone.
  RecordId Find(std::string_view key) const { return Find(key, SlotHash(key)); }
  // The same, with `hash` = SlotHash(key).
  RecordId Find(std::string_view key, std::uint32_t hash) const {
    return parts_[PartOf(hash)].Find(*records_, key, hash);
  }

  // Starts loading the home slot of a key with SlotHash `hash`, for an
  // Insert or Find soon after: the table is far larger than the caches, so
  // each look-up would otherwise wait for memory.
  void Prefetch(std::uint32_t hash) const { parts_[PartOf(hash)].Prefetch(hash); }
  void Prefetch(std::string_view key) const { Prefetch(SlotHash(key)); }

  // When the home slot of `hash` (loaded by an earlier Prefetch) holds a
  // record with that hash, starts loading the record too: a Find that hits
  // compares the record's serial, and its caller usually changes it.
  void PrefetchRecord(std::uint32_t hash) const { parts_[PartOf(hash)].PrefetchRecord(*records_, hash); }

  // Makes room for `keys` keys in part `part` before it needs to grow: each
  // growth rehashes every key into fresh memory. Never shrinks a part.
  void Reserve(int part, std::size_t keys) { parts_[part].Reserve(keys); }
  // The same for `keys` keys spread over both parts.
  void Reserve(std::size_t keys) {
    for (Part& p : parts_) p.Reserve(keys / kParts + keys / 64 + 16);
  }

  bool Empty() const { return KeyCount() == 0; }
  // Number of distinct keys filed.
  std::size_t KeyCount() const { return parts_[0].count + parts_[1].count; }

  // Releases every slot (never the records): the index is empty again.
  void ReleaseTree() {
    for (Part& p : parts_) p.Release();
  }

 private:
  // A slot keeps 32 bits of the key's hash: they pick the home slot, filter
  // the comparisons, and let the table grow without reading any record.
  // Zeroed memory is a table of free slots.
  struct Slot {
    std::uint32_t hash;
    std::uint32_t id_plus_one;  // 0 marks a free slot
  };

  // One part: linear probing in a power-of-two table at most 3/4 full. On
  // a cache line of its own, as two threads may file into the two parts.
  struct alignas(64) Part {
    Slot* table = nullptr;
    std::size_t size = 0;
    std::size_t mask = 0;
    std::size_t count = 0;

    template <class Key>
    bool Insert(const RecordArena<T>& records, const Key& key, std::uint32_t hash, RecordId data) {
      if ((count + 1) * 4 > size * 3) Grow();
      for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot& s = table[i];
        if (s.id_plus_one == 0) {
          s.hash = hash;
          s.id_plus_one = data + 1;
          ++count;
          return true;
        }
        if (s.hash == hash && records[s.id_plus_one - 1].Serial == key) return false;
      }
    }

    RecordId Find(const RecordArena<T>& records, std::string_view key, std::uint32_t hash) const {
      if (count == 0) return kNone;
      for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& s = table[i];
        if (s.id_plus_one == 0) return kNone;
        if (s.hash == hash && records[s.id_plus_one - 1].Serial == key) return s.id_plus_one - 1;
      }
    }

    void Prefetch(std::uint32_t hash) const {
      if (size != 0) PrefetchLine(&table[hash & mask]);
    }

    void PrefetchRecord(const RecordArena<T>& records, std::uint32_t hash) const {
      if (size == 0) return;
      const Slot& s = table[hash & mask];
      if (s.id_plus_one != 0 && s.hash == hash) PrefetchLine(&records[s.id_plus_one - 1]);
    }

    void Reserve(std::size_t keys) {
      std::size_t wanted = size == 0 ? 1024 : size;
      while (keys * 4 > wanted * 3) wanted *= 2;
      if (wanted > size) GrowTo(wanted);
    }

    void Grow() { GrowTo(size == 0 ? 1024 : size * 2); }

    void GrowTo(std::size_t new_size) {
      // The top bit of a hash picks the part, so a part's slot numbers use
      // only the 31 below it.
      if (new_size - 1 > 0x7fffffffu) throw std::length_error("too many serials in the world save");
      auto* bigger = static_cast<Slot*>(platform::AllocateBulk(new_size * sizeof(Slot)));
      const std::size_t new_mask = new_size - 1;
      for (std::size_t k = 0; k < size; ++k) {
        const Slot& s = table[k];
        if (s.id_plus_one == 0) continue;
        std::size_t i = s.hash & new_mask;
        while (bigger[i].id_plus_one != 0) i = (i + 1) & new_mask;
        bigger[i] = s;
      }
      platform::FreeBulk(table, size * sizeof(Slot));
      table = bigger;
      size = new_size;
      mask = new_mask;
    }

    void Release() {
      platform::FreeBulk(table, size * sizeof(Slot));
      table = nullptr;
      size = 0;
      mask = 0;
      count = 0;
    }
  };

  const RecordArena<T>* records_;
  Part parts_[kParts];
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_TREE_H_
