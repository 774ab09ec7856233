// What a process hands back before its exit: the pages of the bulk blocks
// and of the mapped save, and nothing else.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/bulk_memory.h"
#include "platform/file_system.h"
#include "tests/test_util.h"

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>

#include <vector>
#endif

namespace orv::testing {
namespace {

// Whether every byte of [p, p + n) is `value`.
bool All(const void* p, std::size_t n, unsigned char value) {
  const auto* bytes = static_cast<const unsigned char*>(p);
  for (std::size_t i = 0; i < n; ++i) {
    if (bytes[i] != value) return false;
  }
  return true;
}

TEST(BulkMemory, DiscardingTakesBackBlocksAndSaveButNoHeapMemory) {
  // Forked, not run again: the child sees the same folder.
  GTEST_FLAG_SET(death_test_style, "fast");
  TempDir dir;
  std::string save;
  for (int i = 0; i < 100000; ++i)
    save += "[WORLDITEM 0eed]\r\nSERIAL=0" + std::to_string(i) + "\r\n";
  WriteFile(dir.File("save.scp"), save);
  // In a child process: whatever else the test program holds in bulk
  // blocks would read as zeros too.
  const auto discard_and_check = [&] {
    constexpr std::size_t kBig = std::size_t{4} << 20;
    constexpr std::size_t kSmall = 1000;  // from the heap, which must be left alone
    void* big = platform::AllocateBulk(kBig);
    void* small = platform::AllocateBulk(kSmall);
    void* freed = platform::AllocateBulk(kBig);
    std::memset(big, 0x5a, kBig);
    std::memset(small, 0x5a, kSmall);
    platform::FreeBulk(freed, kBig);
    const std::unique_ptr<platform::FileBytes> mapped =
        platform::OpenWholeFile(dir.File("save.scp"));

    platform::DiscardNotedPages();
    const bool ok = All(big, kBig, 0) && All(small, kSmall, 0x5a) && mapped->Bytes() == save;
    std::_Exit(ok ? 0 : 1);
  };
  EXPECT_EXIT(discard_and_check(), ::testing::ExitedWithCode(0), "");
}

TEST(BulkMemory, ABlockFreedByAStaticAtTheExitFindsItsNoteStillThere) {
  // A world kept in a static frees its blocks when the statics go; its
  // first block, made after the static, is what first needs the notes. Run
  // again in a process of its own, where nothing has made a block yet.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto exit_with_a_block_in_a_static = [] {
    struct Holder {
      void* block = nullptr;
      ~Holder() { platform::FreeBulk(block, std::size_t{4} << 20); }
    };
    static Holder holder;
    holder.block = platform::AllocateBulk(std::size_t{4} << 20);
    std::exit(0);
  };
  EXPECT_EXIT(exit_with_a_block_in_a_static(), ::testing::ExitedWithCode(0), "");
}

TEST(BulkMemory, AScatteredTableIsZeroedAndBackedBeforeItsFirstUse) {
  // From the heap, mapped but too small for huge pages, and big enough to
  // be probed for them: the same promise for each.
  for (const std::size_t bytes :
       {std::size_t{1000}, std::size_t{1} << 20, (std::size_t{40} << 20) + 12345}) {
    SCOPED_TRACE(bytes);
    void* table = platform::AllocateScatteredBulk(bytes);
    ASSERT_NE(table, nullptr);
#if defined(__linux__)
    // Every page is in memory already, so no look-up waits for a fault.
    if (bytes >= (std::size_t{256} << 10)) {
      const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
      std::vector<unsigned char> resident((bytes + page - 1) / page);
      ASSERT_EQ(::mincore(table, bytes, resident.data()), 0);
      std::size_t missing = 0;
      for (const unsigned char r : resident) missing += (r & 1) == 0 ? 1 : 0;
      EXPECT_EQ(missing, 0u);
    }
#endif
    EXPECT_TRUE(All(table, bytes, 0));
    std::memset(table, 0x5a, bytes);
    EXPECT_TRUE(All(table, bytes, 0x5a));
    platform::FreeBulk(table, bytes);
  }
}

}  // namespace
}  // namespace orv::testing
