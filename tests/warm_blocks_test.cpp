#include "engine/warm_blocks.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <thread>

#include "engine/record_arena.h"
#include "engine/world.h"
#include "platform/bulk_memory.h"

namespace orv {
namespace {

constexpr std::size_t kBlock = RecordArena<TWorldItem>::kChunkBytes;

TEST(WarmBlocks, HandsOutZeroedBlocksInOrderThenNoMore) {
  WarmBlocks warm(kBlock, 3);
  // Give the thread time to make all three, so none is asked for too early.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  for (int i = 0; i < 3; ++i) {
    void* block = warm.Take();
    if (block == nullptr) continue;  // a very slow machine: the caller makes its own
    const char* bytes = static_cast<const char*>(block);
    for (std::size_t i = 0; i < kBlock; i += 4093) ASSERT_EQ(bytes[i], 0);
    platform::FreeBulk(block, kBlock);
  }
  EXPECT_EQ(warm.Take(), nullptr);
  EXPECT_EQ(warm.Take(), nullptr);
}

TEST(WarmBlocks, BlocksAskedForTooEarlyOrNeverAreFreedWithTheSupply) {
  // Run under the sanitizers, a block lost on either path shows as a leak.
  {
    WarmBlocks warm(kBlock, 4);
    for (int i = 0; i < 4; ++i) {
      if (void* block = warm.Take()) platform::FreeBulk(block, kBlock);
    }
  }
  {
    WarmBlocks warm(kBlock, 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  WarmBlocks none(kBlock, 0);
  EXPECT_EQ(none.Take(), nullptr);
}

TEST(WarmBlocks, BlocksMadeTooLateServeTheNextRequests) {
  // A taker asking about as fast as the thread makes blocks asks again and
  // again while one is being made, and then makes its own: each block that
  // comes too late must serve a later request instead of lying unused (a
  // thread starved of a core would otherwise waste one block every time).
  constexpr std::size_t kCount = 200;
  constexpr std::size_t kSmall = std::size_t{1} << 20;
  WarmBlocks warm(kSmall, kCount);
  for (std::size_t i = 0; i < kCount; ++i) {
    if (void* block = warm.Take()) platform::FreeBulk(block, kSmall);
    std::this_thread::sleep_for(std::chrono::microseconds(150));
  }
  // What the thread makes after the last request is more than was asked
  // for: at most the one it was making then.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_LE(warm.Waiting(), 1u);
}

TEST(WarmBlocks, AnArenaFedByThemKeepsEveryRecordAsMade) {
  const std::size_t records = 3 * RecordArena<TWorldItem>::kChunkSize + 17;
  WarmBlocks warm(kBlock, 2);
  RecordArena<TWorldItem> arena;
  arena.UseWarmBlocks(&warm);
  for (std::size_t i = 0; i < records; ++i) {
    if (i == records / 2) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      arena.UseWarmBlocks(nullptr);  // the rest allocated as usual
    }
    const RecordId id = arena.Make();
    ASSERT_EQ(id, i);
    TWorldItem& item = arena[id];
    ASSERT_EQ(item.Next, kNone);
    ASSERT_EQ(item.Contents, kNone);
    item.Next = static_cast<RecordId>(i * 7);
  }
  EXPECT_EQ(arena.ChunkCount(), RecordArena<TWorldItem>::ChunksFor(records));
  for (std::size_t i = 0; i < records; ++i) ASSERT_EQ(arena[static_cast<RecordId>(i)].Next, i * 7);
  arena.Clear();
  EXPECT_EQ(arena.ChunkCount(), 1u);
}

}  // namespace
}  // namespace orv
