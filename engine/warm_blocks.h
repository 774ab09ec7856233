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
// platform::AllocateBulk, and are handed out in order.
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
  // yet. A block asked for too early is never made later: the caller made
  // its own. One thread at a time may take.
  void* Take();

  std::size_t BlockBytes() const { return block_bytes_; }

 private:
  void Make();

  const std::size_t block_bytes_;
  const std::size_t count_;
  std::unique_ptr<void*[]> blocks_;     // made and not yet taken; null otherwise
  std::atomic<std::size_t> ready_{0};   // blocks_[0, ready_) are settled
  std::atomic<std::size_t> wanted_{0};  // blocks asked for, ready or not
  BackgroundThread thread_;             // last: starts once the rest is set up
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_WARM_BLOCKS_H_
