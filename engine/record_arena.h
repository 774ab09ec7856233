#ifndef ORVANTOR_ENGINE_RECORD_ARENA_H_
#define ORVANTOR_ENGINE_RECORD_ARENA_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

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
      // The table has room for every chunk, so the push cannot throw.
      chunks_.push_back(Allocate());
    }
    new (&chunks_[chunk][size_ % kChunkSize]) T();
    return static_cast<RecordId>(size_++);
  }

  // Moves every record of `other` to the end of this arena, in order, calls
  // fix(record) on each where it now lies, and leaves `other` empty and
  // without chunks. Each chunk of `other` is freed as soon as it is copied,
  // so that the next chunk here mostly takes the same memory again.
  template <class Fix>
  void TakeAll(RecordArena& other, Fix&& fix) {
    std::size_t from = 0;
    while (from < other.size_) {
      if (size_ >= kNone) throw std::length_error("too many sections in the world save");
      if (size_ / kChunkSize == chunks_.size()) chunks_.push_back(Allocate());
      // The longest stretch that lies in one chunk on both sides.
      const std::size_t n = std::min({kChunkSize - size_ % kChunkSize, kChunkSize - from % kChunkSize,
                                      other.size_ - from, std::size_t{kNone} - size_});
      T* to = &chunks_[size_ / kChunkSize][size_ % kChunkSize];
      T* moved = &other.chunks_[from / kChunkSize][from % kChunkSize];
      if constexpr (std::is_trivially_copyable_v<T>) {
        std::memcpy(static_cast<void*>(to), moved, n * sizeof(T));
      } else {
        for (std::size_t k = 0; k < n; ++k) new (&to[k]) T(std::move(moved[k]));
      }
      for (std::size_t k = 0; k < n; ++k) fix(to[k]);
      size_ += n;
      from += n;
      if (from % kChunkSize == 0 || from == other.size_) other.FreeChunk((from - 1) / kChunkSize);
    }
    other.size_ = 0;
    other.chunks_.clear();
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
    size_ = 0;
  }

 private:
  // Destroys the records of chunk `chunk` and frees it.
  void FreeChunk(std::size_t chunk) {
    if constexpr (!std::is_trivially_destructible_v<T>) {
      const std::size_t first = chunk * kChunkSize;
      const std::size_t last = std::min(first + kChunkSize, size_);
      for (std::size_t i = first; i < last; ++i) (*this)[static_cast<RecordId>(i)].~T();
    }
    platform::FreeBulk(chunks_[chunk], kChunkBytes);
    chunks_[chunk] = nullptr;
  }

  static constexpr std::size_t kMaxChunks = (std::size_t{kNone} + kChunkSize - 1) / kChunkSize;

  static T* Allocate() {
    return static_cast<T*>(platform::AllocateBulk(kChunkBytes));
  }

  std::vector<T*> chunks_;
  std::size_t size_ = 0;
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_RECORD_ARENA_H_
