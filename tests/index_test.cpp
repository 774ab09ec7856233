// Filing records by serial and hanging items under their containers: which
// record a "CONT=" value finds, and what stays unowned.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/tree.h"
#include "engine/world.h"
#include "passes/passes.h"
#include "tests/test_util.h"

namespace orv::testing {
namespace {

using Lines = std::vector<std::string>;

struct Analysed {
  World w;
  RecordingHost host;
  Bodies out;
  explicit Analysed(const Lines& save) {
    Analyse(w, host, Crlf(save));
    out = WriteBodies(w, host);
  }
};

TEST(Index, ItemsHangUnderTheFirstCharacterFiledUnderTheirContainer) {
  Analysed a({"[WORLDCHAR 01]", "SERIAL=5", "ACCOUNT=a", "NAME=first", "[WORLDCHAR 01]", "SERIAL=5",
              "ACCOUNT=b", "NAME=second", "[WORLDITEM 02]", "SERIAL=9", "CONT=5", "[EOF]"});
  EXPECT_EQ(a.out.chars, (Lines{"[WORLDCHAR 01]", "SERIAL=5", "ACCOUNT=a", "NAME=first",
                                "[WORLDITEM 02]", "SERIAL=9", "CONT=5", "[WORLDCHAR 01]",
                                "SERIAL=5", "ACCOUNT=b", "NAME=second"}));
  EXPECT_EQ(a.w.ContainedCount, 1);
  EXPECT_EQ(a.w.UnownedCount, 0);
}

TEST(Index, CharactersAreSearchedBeforeItems) {
  // The item with serial 5 comes first, yet the character wins.
  Analysed a({"[WORLDITEM 03]", "SERIAL=5", "[WORLDCHAR 01]", "SERIAL=5", "[WORLDITEM 02]",
              "SERIAL=9", "CONT=5", "[EOF]"});
  EXPECT_EQ(a.out.world, (Lines{"[WORLDCHAR 01]", "SERIAL=5", "[WORLDITEM 02]", "SERIAL=9",
                                "CONT=5", "[WORLDITEM 03]", "SERIAL=5"}));
  EXPECT_EQ(a.w.ContainedCount, 1);
}

TEST(Index, DuplicateItemSerialsFindTheFirstContainer) {
  Analysed a({"[WORLDITEM 0a]", "SERIAL=7", "[WORLDITEM 0b]", "SERIAL=7", "[WORLDITEM 0c]",
              "SERIAL=8", "CONT=7", "[EOF]"});
  EXPECT_EQ(a.out.world, (Lines{"[WORLDITEM 0a]", "SERIAL=7", "[WORLDITEM 0c]", "SERIAL=8",
                                "CONT=7", "[WORLDITEM 0b]", "SERIAL=7"}));
}

TEST(Index, AContainerReadLaterIsNeverFound) {
  Analysed a({"[WORLDITEM 02]", "SERIAL=9", "CONT=5", "[WORLDCHAR 01]", "SERIAL=5", "ACCOUNT=a",
              "[WORLDITEM 03]", "SERIAL=10", "CONT=5", "[WORLDITEM 04]", "CONT=404", "[EOF]"});
  EXPECT_EQ(a.out.chars, (Lines{"[WORLDCHAR 01]", "SERIAL=5", "ACCOUNT=a", "[WORLDITEM 03]",
                                "SERIAL=10", "CONT=5"}));
  EXPECT_EQ(a.out.world,
            (Lines{"[WORLDITEM 02]", "SERIAL=9", "CONT=5", "[WORLDITEM 04]", "CONT=404"}));
  EXPECT_EQ(a.w.ContainedCount, 1);
  EXPECT_EQ(a.w.UnownedCount, 2);
}

TEST(Index, EmptySerialsAreKeysToo) {
  // An item without "CONT=" looks its container up under the empty key:
  // first among the characters without a serial.
  Analysed with_char({"[WORLDITEM 0a]", "[WORLDCHAR 01]", "NAME=x", "[WORLDITEM 0b]", "[EOF]"});
  EXPECT_EQ(with_char.out.world,
            (Lines{"[WORLDCHAR 01]", "NAME=x", "[WORLDITEM 0b]", "[WORLDITEM 0a]"}));
  // Without such a character, the first item without a serial holds the
  // next ones; the first finds only itself and stays unowned.
  Analysed items_only({"[WORLDITEM 0a]", "[WORLDITEM 0b]", "[WORLDITEM 0c]", "[EOF]"});
  EXPECT_EQ(items_only.out.world, (Lines{"[WORLDITEM 0a]", "[WORLDITEM 0b]", "[WORLDITEM 0c]"}));
  EXPECT_EQ(items_only.w.ContainedCount, 2);
  EXPECT_EQ(items_only.w.UnownedCount, 1);
}

TEST(Index, AnItemThatNamesItselfAsContainerStaysUnowned) {
  Analysed a(
      {"[WORLDITEM 0a]", "SERIAL=3", "CONT=3", "[WORLDITEM 0b]", "SERIAL=4", "CONT=3", "[EOF]"});
  EXPECT_EQ(a.out.world, (Lines{"[WORLDITEM 0a]", "SERIAL=3", "CONT=3", "[WORLDITEM 0b]",
                                "SERIAL=4", "CONT=3"}));
  EXPECT_EQ(a.w.ContainedCount, 1);
  EXPECT_EQ(a.w.UnownedCount, 1);
}

TEST(Index, LaterCONTLineWins) {
  Analysed a({"[WORLDCHAR 01]", "SERIAL=1", "[WORLDCHAR 01]", "SERIAL=2", "[WORLDITEM 0a]",
              "CONT=1", "SERIAL=3", "CONT=2", "[EOF]"});
  EXPECT_EQ(a.out.world, (Lines{"[WORLDCHAR 01]", "SERIAL=1", "[WORLDCHAR 01]", "SERIAL=2",
                                "[WORLDITEM 0a]", "CONT=1", "SERIAL=3", "CONT=2"}));
}

TEST(Index, EveryItemHangsUnderTheHolderItsContainerNamesInARandomWorld) {
  // A few serials used again and again by characters and items alike, in
  // random order: the same "CONT=" value is looked up many times, and a
  // character may take over a serial that so far found an item. Each item
  // must hang where the rule, applied afresh to the whole world, puts it.
  std::uint64_t state = 7;
  const auto next = [&state](std::uint32_t n) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>((state >> 33) % n);
  };
  Lines save;
  for (int k = 0; k < 5000; ++k) {
    const std::string serial = "SERIAL=" + std::to_string(next(40));
    if (next(10) == 0) {
      save.insert(save.end(), {"[WORLDCHAR 01]", serial});
    } else {
      save.insert(save.end(), {"[WORLDITEM 02]", serial, "CONT=" + std::to_string(next(40))});
    }
  }
  save.push_back("[EOF]");
  for (const RunThreads threads : {RunThreads::kOne, RunThreads::kTwo}) {
    World w;
    RecordingHost host;
    Analyse(w, host, Crlf(save), threads);
    std::vector<RecordId> holder(w.Items.Size(), kNone);
    std::vector<bool> by_char(w.Items.Size(), false);
    for (RecordId c = w.FirstChar; c != kNone; c = w.Chars[c].Next) {
      for (RecordId i = w.Chars[c].Items; i != kNone; i = w.Items[i].Next) {
        holder[i] = c;
        by_char[i] = true;
      }
    }
    for (RecordId p = 0; p < w.Items.Size(); ++p) {
      for (RecordId i = w.Items[p].Contents; i != kNone; i = w.Items[i].Next) holder[i] = p;
    }
    std::size_t contained = 0;
    for (RecordId id = 0; id < w.Items.Size(); ++id) {
      bool is_char = false;
      const RecordId expected = HolderOf(w, id, is_char);
      ASSERT_EQ(holder[id], expected) << "item " << id;
      if (expected != kNone) {
        ASSERT_EQ(by_char[id], is_char) << "item " << id;
        ++contained;
      }
    }
    EXPECT_EQ(w.ContainedCount, contained);
    EXPECT_GT(contained, 4000u);
  }
}

TEST(Index, SerialsAreComparedAsWholeTexts) {
  // "05" is not "5", and only the first 10 characters of a serial count.
  Analysed a({"[WORLDCHAR 01]", "SERIAL=5", "[WORLDCHAR 01]", "SERIAL=0123456789", "[WORLDITEM 0a]",
              "CONT=05", "[WORLDITEM 0b]", "CONT=0123456789xyz", "[EOF]"});
  EXPECT_EQ(a.out.world,
            (Lines{"[WORLDCHAR 01]", "SERIAL=5", "[WORLDCHAR 01]", "SERIAL=0123456789",
                   "[WORLDITEM 0b]", "CONT=0123456789xyz", "[WORLDITEM 0a]", "CONT=05"}));
}

TEST(Index, ASerialEqualsOnlyTheSameText) {
  // Serials are compared a word at a time: every length up to the cap, and
  // a change of any one byte or of the length, must tell two texts apart.
  for (std::size_t n = 0; n <= 10; ++n) {
    const std::string base = std::string("0123456789").substr(0, n);
    FixedText<10> serial(base);
    EXPECT_TRUE(serial == std::string_view(base)) << base;
    EXPECT_FALSE(serial == std::string_view(base + "x")) << base;
    if (n > 0) {
      EXPECT_FALSE(serial == std::string_view(base).substr(0, n - 1)) << base;
    }
    for (std::size_t at = 0; at < n; ++at) {
      std::string other = base;
      other[at] = 'x';
      EXPECT_FALSE(serial == std::string_view(other)) << other;
    }
    serial.Clear();
    EXPECT_TRUE(serial == std::string_view());
  }
}

TEST(Index, ItemKindsKeepEveryPairApartAndTheEmptyPairFirst) {
  // Items keep their id and type as one interned pair; the passes compare
  // either half. Many distinct pairs, interned twice over with the table
  // growing in between, must come back as the same numbers and halves.
  TextPool texts;
  ItemKinds kinds;
  EXPECT_EQ(kinds.Intern(TextPool::kEmpty, TextPool::kEmpty), ItemKinds::kPlain);
  std::vector<ItemKinds::Ref> first;
  for (int i = 0; i < 5000; ++i) {
    const TextPool::Ref id = texts.Intern("0" + std::to_string(i % 700) + "]");
    const TextPool::Ref type = i % 3 == 0 ? TextPool::kEmpty : texts.Intern(std::to_string(i % 11));
    first.push_back(kinds.Intern(id, type));
  }
  for (int i = 0; i < 5000; ++i) {
    const TextPool::Ref id = texts.Find("0" + std::to_string(i % 700) + "]");
    const TextPool::Ref type = i % 3 == 0 ? TextPool::kEmpty : texts.Find(std::to_string(i % 11));
    ASSERT_EQ(kinds.Intern(id, type), first[static_cast<std::size_t>(i)]);
    EXPECT_EQ(kinds[first[static_cast<std::size_t>(i)]].base_id, id);
    EXPECT_EQ(kinds[first[static_cast<std::size_t>(i)]].type, type);
  }
  kinds.Clear();
  EXPECT_EQ(kinds[ItemKinds::kPlain].base_id, TextPool::kEmpty);
  EXPECT_EQ(kinds.Intern(texts.Find("01]"), TextPool::kEmpty), 1u);
}

TEST(Index, TreeFindsEveryKeyAndTheFirstRecordOfEach) {
  RecordArena<TWorldItem> records;
  Tree<TWorldItem> tree(records);
  EXPECT_EQ(tree.Find("1"), kNone);
  std::vector<RecordId> first;
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 5000; ++i) {
      const RecordId id = records.Make();
      records[id].Serial.Assign(std::to_string(i));
      tree.Insert(records[id].Serial.view(), id);
      if (round == 0) first.push_back(id);
    }
  }
  for (int i = 0; i < 5000; ++i) ASSERT_EQ(tree.Find(std::to_string(i)), first[i]) << i;
  EXPECT_EQ(tree.Find("5000"), kNone);
  EXPECT_EQ(tree.Find(""), kNone);
  tree.ReleaseTree();
  EXPECT_EQ(tree.Find("1"), kNone);
}

TEST(Index, TextsOfEveryLengthAreKeptApart) {
  // Each length takes its own way through the hash; texts that differ in a
  // single byte anywhere must still be told apart and found again.
  TextPool texts;
  std::vector<std::string> all;
  for (std::size_t n = 0; n <= 40; ++n) {
    const std::string base(n, '0');
    all.push_back(base);
    for (std::size_t at = 0; at < n; ++at) {
      std::string t = base;
      t[at] = '7';
      all.push_back(t);
    }
  }
  std::vector<TextPool::Ref> refs;
  for (const std::string& t : all) refs.push_back(texts.Intern(t));
  for (std::size_t i = 0; i < all.size(); ++i) {
    ASSERT_EQ(texts.Find(all[i]), refs[i]) << all[i];
    ASSERT_EQ(texts.Text(refs[i]), all[i]);
  }
  std::vector<TextPool::Ref> sorted = refs;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
}

TEST(Index, SerialsThatDifferInOneDigitSpreadOverTheSlots) {
  // The index picks a slot by the low bits of the hash: ascending serials
  // that share them would pile up in one run of slots and make filing a
  // big world quadratic again.
  for (const std::string prefix : {"04000", "0x4000", "0"}) {
    std::vector<bool> used(4096, false);
    for (int i = 0; i < 4096; ++i) {
      char digits[8];
      std::snprintf(digits, sizeof digits, "%04x", i);
      used[Tree<TWorldItem>::SlotHash(prefix + digits) & 4095] = true;
    }
    EXPECT_GT(std::count(used.begin(), used.end(), true), 2400) << prefix;
  }
}

// Serials in ascending order would make a plain search tree one long chain;
// nesting a million containers one inside the other makes every walk as
// deep as the save is long. Both must convert, quickly and without
// exhausting the call stack.
std::string NestedSave(int depth, bool owned_by_npc) {
  std::string save;
  save.reserve(static_cast<std::size_t>(depth) * 40 + 64);
  if (owned_by_npc) save += "[WORLDCHAR 01]\r\nSERIAL=c\r\n";
  for (int i = 0; i < depth; ++i) {
    save += "[WORLDITEM 0e75]\r\nSERIAL=";
    save += std::to_string(i);
    save += "\r\nCONT=";
    save +=
        i == 0 ? (owned_by_npc ? std::string("c") : std::string("none")) : std::to_string(i - 1);
    save += "\r\n";
  }
  return save + "[EOF]\r\n";
}

constexpr int kDepth = 1000000;

TEST(Index, AMillionNestedContainersAreWrittenOutermostFirst) {
  const std::string save = NestedSave(kDepth, false);
  World w;
  RecordingHost host;
  Analyse(w, host, save);
  EXPECT_EQ(w.ContainedCount, kDepth - 1);
  EXPECT_EQ(w.UnownedCount, 1);
  // Each container is written before the one inside it: the world file is
  // the save itself, less the end marker.
  EXPECT_EQ(WriteBodyBytes(w, host).world, save.substr(0, save.size() - 7));
  ReleaseStores(w);
  EXPECT_EQ(w.ItemCount, 0);
}

TEST(Index, AMillionNestedContainersGoWithTheNpcHoldingThem) {
  World w;
  RecordingHost host;
  Analyse(w, host, NestedSave(kDepth, true));
  DeleteNpcs(w, host);
  EXPECT_TRUE(WriteBodyBytes(w, host).world.empty());
}

TEST(Index, AMillionNestedContainersGoWithAnIllegalOutermost) {
  World w;
  RecordingHost host;
  host.illegal = LineList{"0e75"};
  Analyse(w, host, NestedSave(kDepth, false));
  DeleteIllegalItems(w, host);
  EXPECT_TRUE(WriteBodyBytes(w, host).world.empty());
}

}  // namespace
}  // namespace orv::testing
