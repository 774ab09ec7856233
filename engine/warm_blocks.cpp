#include "engine/warm_blocks.h"

#include <new>

#include "platform/bulk_memory.h"
#include "platform/thread_priority.h"

namespace orv {

WarmBlocks::WarmBlocks(std::size_t block_bytes, std::size_t count)
    : block_bytes_(block_bytes), count_(count), blocks_(std::make_unique<void*[]>(count)) {
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
  const std::size_t ready = ready_.load(std::memory_order_acquire);
  for (std::size_t i = 0; i < ready; ++i) platform::FreeBulk(blocks_[i], block_bytes_);
}

void* WarmBlocks::Take() {
  const std::size_t i = wanted_.load(std::memory_order_relaxed);
  if (i >= count_) return nullptr;
  wanted_.store(i + 1, std::memory_order_relaxed);
  if (i >= ready_.load(std::memory_order_acquire)) return nullptr;
  void* block = blocks_[i];
  blocks_[i] = nullptr;
  return block;
}

void WarmBlocks::Make() {
  platform::LowerThisThreadsPriority();
  for (std::size_t i = 0; i < count_; ++i) {
    if (thread_.StopRequested()) break;
    // Blocks the taker already went without are not worth making.
    const std::size_t wanted = wanted_.load(std::memory_order_relaxed);
    if (i < wanted) i = wanted;
    if (i >= count_) break;
    void* block;
    try {
      block = platform::AllocateBulk(block_bytes_);
    } catch (const std::bad_alloc&) {
      break;  // the taker runs into the shortage itself, and reports it
    }
    platform::TouchBulk(block, block_bytes_);
    blocks_[i] = block;
    ready_.store(i + 1, std::memory_order_release);
  }
}

}  // namespace orv
