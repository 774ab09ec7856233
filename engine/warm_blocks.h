#ifndef ORVANTOR_ENGINE_WARM_BLOCKS_H_
#define ORVANTOR_ENGINE_WARM_BLOCKS_H_

#include <atomic>
#include <cstddef>
#include <memory>

#include "engine/background_thread.h"

namespace orv {

// Blocks of bulk memory made ready ahead of use on a thread of their own.
// Every fresh page costs a fault and, on virtual machines, the host's work
// of backing it; on a big world that is a good share of the analysis. A
// thread that only runs while a core would otherwise idle pays it instead of
// the thread that fills the records. The blocks are zeroed, as from
// platform::AllocateBulk. A block made too late for one request serves the
// next: with the thread starved of a core, it would otherwise come late
// time after time, and every such block would lie unused until the end.
class WarmBlocks {
 public:
  // Starts making `count` blocks of `block_bytes` each. When no thread is to
  // be had, no block is ever ready and the caller allocates its own.
  WarmBlocks(std::size_t block_bytes, std::size_t count);
  // Stops the thread and frees the blocks not taken.
  ~WarmBlocks();
  WarmBlocks(const WarmBlocks&) = delete;
  WarmBlocks& operator=(const WarmBlocks&) = delete;

  // The next ready block, now owned by the caller (free it with
  // platform::FreeBulk and the block size), or nullptr when none is ready
  // yet: the caller then makes its own, and one block fewer is made here.
  // One thread at a time may take.
  void* Take();
  // How many blocks are made and not taken (they are freed with the supply).
  std::size_t Waiting() const;

  std::size_t BlockBytes() const { return block_bytes_; }

 private:
  void Make();

  const std::size_t block_bytes_;
  const std::size_t count_;
  // Made in order by the thread, taken in order by the taker; null where a
  // block is not made yet or was taken.
  std::unique_ptr<std::atomic<void*>[]> blocks_;
  std::atomic<std::size_t> made_{0};   // blocks_[0, made_) were made
  std::atomic<std::size_t> taken_{0};  // blocks_[0, taken_) were taken
  std::atomic<std::size_t> asked_{0};  // Take calls, served or not
  BackgroundThread thread_;            // last: starts once the rest is set up
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_WARM_BLOCKS_H_
