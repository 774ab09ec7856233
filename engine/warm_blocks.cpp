#include "engine/warm_blocks.h"

#include <new>

#include "platform/bulk_memory.h"
#include "platform/thread_priority.h"

namespace orv {

WarmBlocks::WarmBlocks(std::size_t block_bytes, std::size_t count)
    : block_bytes_(block_bytes),
      count_(count),
      blocks_(std::make_unique<std::atomic<void*>[]>(count)) {
  // Without a thread, every block is made by the one who needs it, as usual.
  if (count != 0) thread_.Start([this] { Make(); });
}

WarmBlocks::~WarmBlocks() {
  thread_.RequestStop();
  try {
    thread_.Join();
  } catch (...) {
    // Make lets nothing out.
  }
  // Taken blocks were cleared from the table; what is left is ours.
  const std::size_t made = made_.load(std::memory_order_acquire);
  for (std::size_t i = 0; i < made; ++i)
    platform::FreeBulk(blocks_[i].load(std::memory_order_relaxed), block_bytes_);
}

void* WarmBlocks::Take() {
  asked_.store(asked_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
  const std::size_t i = taken_.load(std::memory_order_relaxed);
  if (i >= count_) return nullptr;
  void* block = blocks_[i].load(std::memory_order_acquire);
  if (block == nullptr) return nullptr;  // the one being made serves the next request
  blocks_[i].store(nullptr, std::memory_order_relaxed);
  // Released after asked_, so that the thread never sees more blocks taken
  // than asked for.
  taken_.store(i + 1, std::memory_order_release);
  return block;
}

std::size_t WarmBlocks::Waiting() const {
  return made_.load(std::memory_order_acquire) - taken_.load(std::memory_order_relaxed);
}

void WarmBlocks::Make() {
  platform::LowerThisThreadsPriority();
  for (std::size_t i = 0; i < count_; ++i) {
    if (thread_.StopRequested()) break;
    // Blocks the taker made itself are not to be made here as well.
    const std::size_t taken = taken_.load(std::memory_order_acquire);
    const std::size_t made_by_taker = asked_.load(std::memory_order_relaxed) - taken;
    if (i + made_by_taker >= count_) break;
    void* block;
    try {
      block = platform::AllocateBulk(block_bytes_);
    } catch (const std::bad_alloc&) {
      break;  // the taker runs into the shortage itself, and reports it
    }
    platform::TouchBulk(block, block_bytes_);
    blocks_[i].store(block, std::memory_order_release);
    made_.store(i + 1, std::memory_order_release);
  }
}

}  // namespace orv
