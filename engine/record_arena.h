#ifndef ORVANTOR_ENGINE_RECORD_ARENA_H_
#define ORVANTOR_ENGINE_RECORD_ARENA_H_

#include <atomic>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/warm_blocks.h"
#include "platform/bulk_memory.h"

namespace orv {

// Records are named by 32-bit ids instead of pointers: half the size in every
// list link and index slot.
using RecordId = std::uint32_t;
inline constexpr RecordId kNone = std::numeric_limits<RecordId>::max();

// Bulk storage for the records of one run. Records are made one after the
// other in large chunks, never move, and are all released at once by Clear:
// releasing millions of records frees a few hundred blocks.
template <class T>
class RecordArena {
 public:
  // Each chunk fills two huge pages exactly; the division by the constant
  // record count compiles to a multiplication.
  static constexpr std::size_t kChunkBytes = std::size_t{4} << 20;
  static constexpr std::size_t kChunkSize = kChunkBytes / sizeof(T);

  // The chunk table is sized once for every id there can be, so it never
  // moves: a reader thread may make records while another thread uses the
  // ones made before (untouched capacity costs no memory).
  RecordArena() { chunks_.reserve(kMaxChunks); }
  ~RecordArena() {
    Clear();
    if (!chunks_.empty()) platform::FreeBulk(chunks_[0], kChunkBytes);
  }
  RecordArena(const RecordArena&) = delete;
  RecordArena& operator=(const RecordArena&) = delete;

  // Makes a default record and returns its id. Throws std::length_error when
  // the ids are used up.
  RecordId Make() {
    if (size_ >= kNone) throw std::length_error("too many sections in the world save");
    const std::size_t chunk = size_ / kChunkSize;
    if (chunk == chunks_.size()) {
      T* fresh = nullptr;
      if (WarmBlocks* warm = warm_.load(std::memory_order_acquire))
        fresh = static_cast<T*>(warm->Take());
      // The table has room for every chunk, so the push cannot throw.
      chunks_.push_back(fresh != nullptr ? fresh : Allocate());
      chunk_count_.store(chunks_.size(), std::memory_order_relaxed);
    }
    new (&chunks_[chunk][size_ % kChunkSize]) T();
    return static_cast<RecordId>(size_++);
  }

  // Takes new chunks from `warm` (blocks of kChunkBytes) while it has them
  // ready; null goes back to allocating them. May be called while another
  // thread makes records; `warm` must outlive its use here.
  void UseWarmBlocks(WarmBlocks* warm) {
    assert(warm == nullptr || warm->BlockBytes() == kChunkBytes);
    warm_.store(warm, std::memory_order_release);
  }

  // The number of chunks held; may be asked while another thread makes
  // records, and is then soon out of date.
  std::size_t ChunkCount() const { return chunk_count_.load(std::memory_order_relaxed); }

  // The number of chunks `records` records fill.
  static std::size_t ChunksFor(std::size_t records) {
    return (records + kChunkSize - 1) / kChunkSize;
  }

  T& operator[](RecordId id) { return chunks_[id / kChunkSize][id % kChunkSize]; }
  const T& operator[](RecordId id) const { return chunks_[id / kChunkSize][id % kChunkSize]; }

  std::size_t Size() const { return size_; }

  void Clear() {
    if constexpr (!std::is_trivially_destructible_v<T>) {
      for (std::size_t i = 0; i < size_; ++i) (*this)[static_cast<RecordId>(i)].~T();
    }
    // The first chunk is kept for the next run: small worlds then cost no
    // fresh memory at all.
    for (std::size_t i = 1; i < chunks_.size(); ++i) platform::FreeBulk(chunks_[i], kChunkBytes);
    if (chunks_.size() > 1) chunks_.erase(chunks_.begin() + 1, chunks_.end());
    chunk_count_.store(chunks_.size(), std::memory_order_relaxed);
    size_ = 0;
  }

 private:
  static constexpr std::size_t kMaxChunks = (std::size_t{kNone} + kChunkSize - 1) / kChunkSize;

  static T* Allocate() { return static_cast<T*>(platform::AllocateBulk(kChunkBytes)); }

  std::vector<T*> chunks_;
  std::atomic<WarmBlocks*> warm_{nullptr};
  std::atomic<std::size_t> chunk_count_{0};
  // Written for every record made; kept off the line of the chunk table,
  // which another thread may be reading meanwhile.
  alignas(64) std::size_t size_ = 0;
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_RECORD_ARENA_H_
