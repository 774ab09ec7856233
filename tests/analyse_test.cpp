// Reading a world save into records: counters, progress divisors, the gauge
// and the pump cadence, and which lines are read at all.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstddef>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/analyse.h"
#include "engine/errors.h"
#include "engine/turn_ring.h"
#include "tests/test_util.h"

namespace orv::testing {
namespace {

using Lines = std::vector<std::string>;

Lines Repeat(const std::string& line, int n) { return Lines(static_cast<std::size_t>(n), line); }

Lines Join(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// The analysis may read on a second thread while it files on the first; the
// gauge, the pumps and the records must not tell the two apart.
class AnalyseOnEitherThreading : public ::testing::TestWithParam<RunThreads> {};

INSTANTIATE_TEST_SUITE_P(Threads, AnalyseOnEitherThreading,
                         ::testing::Values(RunThreads::kOne, RunThreads::kTwo),
                         [](const ::testing::TestParamInfo<RunThreads>& info) {
                           return info.param == RunThreads::kOne ? "OneThread" : "TwoThreads";
                         });

TEST(Analyse, CountersAndDivisors) {
  Lines save;
  for (int i = 0; i < 250; ++i) {
    save.push_back("[WORLDCHAR 01]");
    save.push_back("SERIAL=c" + std::to_string(i));
    if (i % 2 == 0) save.push_back("ACCOUNT=a");
  }
  for (int i = 0; i < 1234; ++i) {
    save.push_back("[WORLDITEM 0a]");
    save.push_back(i < 1000 ? "CONT=c1" : "CONT=nowhere");
  }
  World w;
  RecordingHost host;
  Analyse(w, host, Crlf(save));
  EXPECT_EQ(w.CharCount, 250);
  EXPECT_EQ(w.ItemCount, 1234);
  EXPECT_EQ(w.ContainedCount, 1000);
  EXPECT_EQ(w.UnownedCount, 234);
  EXPECT_EQ(w.CharsPerPercent, 2);
  EXPECT_EQ(w.ItemsPerPercent, 12);
  EXPECT_EQ(w.UnownedPerPercent, 2);

  // A second analysis after the stores are emptied starts from nothing.
  Analyse(w, host, Crlf({"[WORLDITEM 0a]"}));
  EXPECT_EQ(w.CharCount, 0);
  EXPECT_EQ(w.ItemCount, 1);
  EXPECT_EQ(w.CharsPerPercent, 0);
}

TEST(Analyse, EmptySourceLeavesEverythingAtZero) {
  World w;
  RecordingHost host;
  Analyse(w, host, "");
  EXPECT_EQ(w.CharCount + w.ItemCount + w.ContainedCount + w.UnownedCount, 0);
  EXPECT_TRUE(host.events.empty()) << "no turn, so no pump and no gauge";
}

TEST_P(AnalyseOnEitherThreading, GaugeFollowsTheLineIndex) {
  // 1000 lines: 10 lines a percent. The section on lines 498 and 499 is one
  // turn, after which the gauge shows 49; the last line read gives 99.
  // Lines beginning with "[" after the section are top-level turns of their
  // own (heads of other kinds with empty bodies).
  Lines save = Join(
      {Repeat("// header", 498), {"[WORLDITEM 01]", "SERIAL=1"}, Repeat("[x]", 499), {"[EOF]"}});
  ASSERT_EQ(save.size(), 1000u);
  World w;
  RecordingHost host;
  Analyse(w, host, Crlf(save), GetParam());
  std::vector<int> expected;
  for (int i = 0; i < 498; ++i) expected.push_back(i / 10);
  expected.push_back(49);
  for (int i = 500; i < 999; ++i) expected.push_back(i / 10);
  EXPECT_EQ(host.ProgressValues(), expected);
}

TEST_P(AnalyseOnEitherThreading, GaugeWithOneLineAPercentAndWithFewerThan100Lines) {
  World w;
  RecordingHost host;
  Analyse(w, host, Crlf(Repeat("x", 199)), GetParam());
  const std::vector<int> values = host.ProgressValues();
  ASSERT_EQ(values.size(), 199u);
  for (int i = 0; i < 199; ++i) ASSERT_EQ(values[i], i) << "shows as full from 100 on";

  host.ClearEvents();
  Analyse(w, host, Crlf(Repeat("x", 99)), GetParam());
  EXPECT_TRUE(host.ProgressValues().empty());
}

TEST_P(AnalyseOnEitherThreading, PumpCadenceFollowsTheSlider) {
  World w;
  RecordingHost host;
  host.position = 1;
  Analyse(w, host, Crlf(Repeat("x", 600)), GetParam());
  std::vector<int> turns = host.PumpTurns();
  ASSERT_EQ(turns.size(), 300u);
  EXPECT_EQ(turns[0], 1);
  EXPECT_EQ(turns[1], 3);
  EXPECT_EQ(turns[2], 5);

  host.ClearEvents();
  host.position = 250;
  Analyse(w, host, Crlf(Repeat("x", 600)), GetParam());
  EXPECT_EQ(host.PumpTurns(), (std::vector<int>{1, 252, 503}));
  // Every pump serves the messages, then repaints.
  EXPECT_EQ(host.events[0], "pump");
  EXPECT_EQ(host.events[1], "refresh");
}

TEST_P(AnalyseOnEitherThreading, ASectionIsOneTurnHoweverLong) {
  World w;
  RecordingHost host;
  host.position = 1;
  Analyse(w, host, Crlf(Join({{"[WORLDITEM 01]"}, Repeat("A=1", 300), Repeat("[x]", 200)})),
          GetParam());
  // Turn 1 is the section, turns 2 to 201 the heads of another kind.
  EXPECT_EQ(host.PumpTurns().size(), 101u);
}

TEST_P(AnalyseOnEitherThreading, ASliderMoveTakesEffectAtTheNextPump) {
  World w;
  RecordingHost host;
  host.position = 250;
  host.on_process_messages = [](RecordingHost& h) { h.position = 1; };
  Analyse(w, host, Crlf(Repeat("x", 300)), GetParam());
  std::vector<int> turns = host.PumpTurns();
  ASSERT_GE(turns.size(), 3u);
  EXPECT_EQ(turns[1], 3);
  EXPECT_EQ(turns[2], 5);
}

TEST_P(AnalyseOnEitherThreading, NothingAfterTheEndMarkerIsRead) {
  World w;
  RecordingHost host;
  Analyse(w, host,
          Crlf({"[WORLDITEM 01]", "SERIAL=1", "  [EOF]", "[WORLDITEM 02]", "[WORLDCHAR 03]"}),
          GetParam());
  EXPECT_EQ(w.ItemCount, 1);
  EXPECT_EQ(w.CharCount, 0);
}

TEST(Analyse, EndMarkerWithATrailingBlankOnlyEndsTheSection) {
  Bodies out =
      RoundTrip(Crlf({"[WORLDITEM 01]", "A=1", "[EOF] ", "B=2", "[WORLDITEM 02]", "[EOF]"}));
  EXPECT_EQ(out.world, (Lines{"[WORLDITEM 01]", "A=1", "[WORLDITEM 02]"}));
}

TEST(Analyse, SectionsOfOtherKindsAreSkipped) {
  Bodies out = RoundTrip(
      Crlf({"[WORLDITEM 01]", "SERIAL=1", "[WORLDSCRIPT x]", "SERIAL=2", "[WORLDCHAR 0c]",
            "ACCOUNT=a", "[worlditem 0eed]", "CONT=c", "[WORLDITEM 02]", "CONT=1", "[EOF]"}));
  EXPECT_EQ(out.chars, (Lines{"[WORLDCHAR 0c]", "ACCOUNT=a"}));
  EXPECT_EQ(out.world, (Lines{"[WORLDITEM 01]", "SERIAL=1", "[WORLDITEM 02]", "CONT=1"}));
}

TEST(Analyse, AccountOnAnyLineMakesAPlayer) {
  Bodies out = RoundTrip(Crlf({"[WORLDCHAR 01]", "NAME=x", "P=1,2,3", "ACCOUNT=", "[WORLDCHAR 02]",
                               "account=a", "ACCOUNT =a", "[EOF]"}));
  EXPECT_EQ(out.chars, (Lines{"[WORLDCHAR 01]", "NAME=x", "P=1,2,3", "ACCOUNT="}));
  EXPECT_EQ(out.world, (Lines{"[WORLDCHAR 02]", "account=a", "ACCOUNT =a"}));
}

TEST(Analyse, HeaderLinesAreNotEdited) {
  Bodies out =
      RoundTrip(Crlf({"COLOR=455", " FLAGS=08", "[WORLDITEM 01]", "COLOR=455", "[EOF]"}), true);
  EXPECT_EQ(out.chars, (Lines{"COLOR=455", " FLAGS=08"}));
  EXPECT_EQ(out.world, (Lines{"COLOR=455", " FLAGS=08", "[WORLDITEM 01]", "COLOR=0455"}));
}

TEST(Analyse, ALastSectionWithoutEndMarkerIsKept) {
  Bodies out = RoundTrip("[WORLDITEM 01]\r\nSERIAL=1\r\n[WORLDITEM 02]\r\nSERIAL=2");
  EXPECT_EQ(out.world, (Lines{"[WORLDITEM 01]", "SERIAL=1", "[WORLDITEM 02]", "SERIAL=2"}));
}

struct AnalysisOutcome {
  std::vector<std::string> events;
  std::int64_t counters[4];
  BodyBytes bytes;
};

AnalysisOutcome AnalyseAndWrite(std::string_view save, RunThreads threads, int position,
                                SourceText::Counting counting = SourceText::Counting::kLater) {
  World w;
  RecordingHost host;
  host.position = position;
  Analyse(w, host, save, threads, counting);
  AnalysisOutcome out{host.events, {w.CharCount, w.PlayerCount, w.ItemCount, w.ContainedCount}, {}};
  out.bytes = WriteBodyBytes(w, host);
  return out;
}

TEST(Analyse, TwoThreadsGiveTheSameWorldAsOne) {
  // With two threads the reader starts while the lines are still being
  // counted (or, counted at load, right away); the gauge needs the count
  // from the first turn on.
  for (bool end_marker : {true, false}) {
    for (int position : {0, 7, 250}) {
      const std::string save = MixedSave(60000, end_marker);
      const AnalysisOutcome one =
          AnalyseAndWrite(save, RunThreads::kOne, position, SourceText::Counting::kNow);
      ASSERT_GT(one.counters[3], 10000) << "the save nests items";
      for (auto [threads, counting] : {std::pair{RunThreads::kOne, SourceText::Counting::kLater},
                                       std::pair{RunThreads::kTwo, SourceText::Counting::kNow},
                                       std::pair{RunThreads::kTwo, SourceText::Counting::kLater}}) {
        const AnalysisOutcome other = AnalyseAndWrite(save, threads, position, counting);
        EXPECT_EQ(one.events, other.events) << "gauge and pumps, position " << position;
        EXPECT_TRUE(std::equal(std::begin(one.counters), std::end(one.counters), other.counters));
        EXPECT_EQ(one.bytes.chars, other.bytes.chars);
        EXPECT_EQ(one.bytes.world, other.bytes.world);
      }
    }
  }
}

TEST(Analyse, AReaderAWholeRingAheadWaitsAndLosesNothing) {
  // More turns than the hand-over ring holds (every line outside a section
  // is one), and a first pump that keeps the filing away long enough for
  // the reader to fill the ring and wait.
  std::string save;
  for (int i = 0; i < 100000; ++i) save += "x\r\n";
  save += MixedSave(2000, true);
  const AnalysisOutcome one = AnalyseAndWrite(save, RunThreads::kOne, 250);

  World w;
  RecordingHost host;
  bool first = true;
  host.on_process_messages = [&first](RecordingHost&) {
    if (std::exchange(first, false)) std::this_thread::sleep_for(std::chrono::milliseconds(300));
  };
  Analyse(w, host, save, RunThreads::kTwo);
  EXPECT_EQ(host.events, one.events);
  EXPECT_EQ(w.ItemCount, one.counters[2]);
  EXPECT_EQ(w.ContainedCount, one.counters[3]);
  EXPECT_EQ(WriteBodyBytes(w, host).chars, one.bytes.chars);
}

TEST(Analyse, TheHandOverRingGrowsWithTheSaveBeyondAGigabyte) {
  // The reader runs ahead by a share of the save while the lines are
  // counted: a ring that stopped growing at 1 GiB made it wait for the
  // count.
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  for (const std::size_t mib : {5, 64, 128, 300, 1024, 1100, 1536, 2047, 2048, 3000, 6144}) {
    const std::size_t bytes = mib * kMiB;
    const std::uint32_t size = TurnRing::Size(bytes);
    EXPECT_TRUE(std::has_single_bit(size)) << mib << " MiB";
    const std::size_t per_512 = bytes / 512;
    EXPECT_GE(std::size_t{size} * 2, per_512) << mib << " MiB";
    EXPECT_LE(std::size_t{size}, per_512) << mib << " MiB";
  }
  EXPECT_EQ(TurnRing::Size(2048 * kMiB), 2 * TurnRing::Size(1024 * kMiB));
  EXPECT_EQ(TurnRing::Size(0), TurnRing::kLeast);
  EXPECT_EQ(TurnRing::Size(std::size_t{64} << 30), TurnRing::kMost);
}

TEST(Analyse, ACancelStopsTheReaderThreadAndTheWorldCanBeReadAgain) {
  const std::string save = MixedSave(60000, true);
  World w;
  RecordingHost host;
  host.position = 0;
  int pumps = 0;
  host.on_process_messages = [&pumps](RecordingHost& h) { h.cancel = ++pumps == 1000; };
  EXPECT_THROW(Analyse(w, host, save, RunThreads::kTwo), RunCancelled);
  EXPECT_EQ(pumps, 1000);
  EXPECT_LT(w.ItemCount + w.CharCount, 1000) << "nothing is filed after the cancelling pump";

  host.on_process_messages = nullptr;
  host.cancel = false;
  Analyse(w, host, save, RunThreads::kTwo);
  const AnalysisOutcome one = AnalyseAndWrite(save, RunThreads::kOne, 0);
  EXPECT_EQ(w.ItemCount, one.counters[2]);
  EXPECT_EQ(w.ContainedCount, one.counters[3]);
}

// The unowned items, newest first, carry the (id, type) pairs of
// `expected` in file order.
void ExpectIdsAndTypesInFileOrder(
    const World& w, const std::vector<std::pair<std::string, std::string>>& expected) {
  std::size_t k = expected.size();
  for (RecordId id = w.UnownedItems; id != kNone; id = w.Items[id].Next) {
    ASSERT_GT(k, 0u);
    --k;
    ASSERT_EQ(BaseIdOf(w, w.Items[id]), expected[k].first) << k;
    ASSERT_EQ(TypeOf(w, w.Items[id]), expected[k].second) << k;
  }
  EXPECT_EQ(k, 0u);
}

TEST(Analyse, EveryItemKeepsItsOwnIdAndTypeAmongManyKinds) {
  // More (id, type) pairs than the reader remembers at once, in an order
  // that keeps replacing them, some differing only in where id ends and
  // type begins.
  Lines save;
  std::vector<std::pair<std::string, std::string>> expected;
  for (int i = 0; i < 3000; ++i) {
    const std::string id = "0" + std::to_string((i * 7) % 700) + (i % 5 == 0 ? "1]" : "]");
    const std::string type = i % 3 == 0 ? "" : (i % 5 == 0 ? "]" : std::to_string(i % 13));
    save.push_back("[WORLDITEM " + id);
    save.push_back("SERIAL=" + std::to_string(i));  // an empty one would hold the rest
    if (!type.empty() || i % 2 == 0) save.push_back("TYPE=" + type);
    expected.emplace_back(id, type);
  }
  World w;
  RecordingHost host;
  Analyse(w, host, Crlf(save), RunThreads::kTwo);
  ExpectIdsAndTypesInFileOrder(w, expected);
}

TEST(Analyse, IdsAndTypesOfEveryLengthThatDifferInOneByteAreKeptApart) {
  // Ids of 2 to 10 characters and types of 0 to 8, each also with one byte
  // changed at every position: the longest the records keep.
  Lines save;
  std::vector<std::pair<std::string, std::string>> expected;
  int serial = 0;
  const auto add = [&](const std::string& id, const std::string& type) {
    save.push_back("[WORLDITEM " + id);
    save.push_back("SERIAL=" + std::to_string(++serial));
    save.push_back("TYPE=" + type);
    expected.emplace_back(id, type);
  };
  for (std::size_t id_size = 2; id_size <= 10; ++id_size) {
    for (std::size_t type_size = 0; type_size <= 8; ++type_size) {
      const std::string id = "0" + std::string(id_size - 2, 'a') + "]";
      const std::string type(type_size, '7');
      add(id, type);
      for (std::size_t at = 1; at + 1 < id_size; ++at) {
        std::string other = id;
        other[at] = 'b';
        add(other, type);
      }
      for (std::size_t at = 0; at < type_size; ++at) {
        std::string other = type;
        other[at] = '8';
        add(id, other);
      }
    }
  }
  World w;
  RecordingHost host;
  Analyse(w, host, Crlf(save), RunThreads::kTwo);
  ExpectIdsAndTypesInFileOrder(w, expected);
}

TEST(Analyse, ManyLooseItemsGetTheirReasonsAlikeOnOneAndOnTwoThreads) {
  // Enough loose items for the reasons to be looked up on two threads, of
  // every reason in turn: a holder filed later, one nowhere in the save,
  // the item itself. One character and one item come last, so that every
  // first kind finds its holder only after the item.
  std::string save;
  constexpr int kLoose = 3 * 3000;
  for (int i = 0; i < kLoose; ++i) {
    const std::string serial = "0" + std::to_string(100000 + i);
    const std::string container = i % 3 == 0   ? (i % 2 == 0 ? "0c1" : "0i1")
                                  : i % 3 == 1 ? "0nowhere"
                                               : serial;
    save += "[WORLDITEM 0e75]\r\nSERIAL=" + serial + "\r\nCONT=" + container + "\r\n";
  }
  save += "[WORLDCHAR 0190]\r\nSERIAL=0c1\r\n[WORLDITEM 0e75]\r\nSERIAL=0i1\r\n[EOF]\r\n";

  std::vector<LooseReason> reasons[2];
  for (RunThreads threads : {RunThreads::kOne, RunThreads::kTwo}) {
    World w;
    RecordingHost host;
    Analyse(w, host, save, threads);
    ExplainLooseItems(w, threads);
    ASSERT_EQ(w.Notes.loose_items.size(), static_cast<std::size_t>(kLoose));
    EXPECT_EQ(w.Notes.LooseCount(LooseReason::kLaterInFile), kLoose / 3u);
    EXPECT_EQ(w.Notes.LooseCount(LooseReason::kNotFound), kLoose / 3u);
    EXPECT_EQ(w.Notes.LooseCount(LooseReason::kSelfContainer), kLoose / 3u);
    for (const LooseItem& l : w.Notes.loose_items)
      reasons[threads == RunThreads::kTwo].push_back(l.reason);
  }
  EXPECT_EQ(reasons[0], reasons[1]) << "each item keeps its own reason";
}

}  // namespace
}  // namespace orv::testing
