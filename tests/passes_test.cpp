// The clean-up passes, each run on an analysed save and judged by what the
// writers then write.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <tuple>
#include <vector>

#include "engine/change_report.h"
#include "engine/errors.h"
#include "passes/passes.h"
#include "tests/test_util.h"

namespace orv::testing {
namespace {

using Lines = std::vector<std::string>;

// Appends the lines of `part` to `save`.
void Add(Lines& save, const Lines& part) { save.insert(save.end(), part.begin(), part.end()); }

class PassTest : public ::testing::Test {
 protected:
  void Load(const Lines& save) {
    Analyse(w, host, Crlf(save));
    host.ClearEvents();
  }
  Bodies Out() { return WriteBodies(w, host); }

  World w;
  RecordingHost host;
};

Lines Player(const std::string& serial, const Lines& body = {}) {
  Lines l = {"[WORLDCHAR 01]", "SERIAL=" + serial, "ACCOUNT=a"};
  l.insert(l.end(), body.begin(), body.end());
  return l;
}
Lines Npc(const std::string& serial, const Lines& body = {}) {
  Lines l = {"[WORLDCHAR 01]", "SERIAL=" + serial};
  l.insert(l.end(), body.begin(), body.end());
  return l;
}
Lines Item(const std::string& id, const std::string& serial, const std::string& cont,
           const Lines& body = {}) {
  Lines l = {"[WORLDITEM " + id + "]", "SERIAL=" + serial};
  if (!cont.empty()) l.push_back("CONT=" + cont);
  l.insert(l.end(), body.begin(), body.end());
  return l;
}
Lines Save(std::initializer_list<Lines> sections) {
  Lines all;
  for (const Lines& s : sections) all.insert(all.end(), s.begin(), s.end());
  all.push_back("[EOF]");
  return all;
}
// The lines of `file` that begin with `prefix`.
Lines Grep(const Lines& file, const std::string& prefix) {
  Lines out;
  for (const auto& l : file)
    if (l.compare(0, prefix.size(), prefix) == 0) out.push_back(l);
  return out;
}
std::vector<int> OneTo(int n) {
  std::vector<int> v;
  for (int i = 1; i <= n; ++i) v.push_back(i);
  return v;
}

// ---- moving characters

TEST_F(PassTest, MoveCharsHandsPositionsOutInFileOrderAndWraps) {
  Load(Save({Player("1", {"P=0,0,0"}), Npc("n", {"P=9,9,9"}), Player("2", {"P=0,0,0"}),
             Player("nopos", {"p=1,1,1", "X=P="}), Player("3", {"  P=0,0,0", "P=7,7,7"}),
             Player("4", {"P=0,0,0"}), Player("5", {"P=0,0,0"})}));
  host.positions = LineList{"1,1,1", " 2,2,2 ", "3,3,3"};
  MoveChars(w, host);
  const Bodies out = Out();
  EXPECT_EQ(Grep(out.chars, "P="),
            (Lines{"P=1,1,1", "P= 2,2,2 ", "P=3,3,3", "P=7,7,7", "P=1,1,1", "P= 2,2,2 "}));
  EXPECT_EQ(Grep(out.chars, "p="), Lines{"p=1,1,1"});
  EXPECT_EQ(Grep(out.world, "P="), Lines{"P=9,9,9"}) << "NPCs keep theirs and use none";

  // Every run starts again at the top of the list.
  Load(Save({Player("1", {"P=0,0,0"})}));
  MoveChars(w, host);
  EXPECT_EQ(Grep(Out().chars, "P="), Lines{"P=1,1,1"});
}

TEST_F(PassTest, MoveCharsSeesShortAndIndentedPositionLinesButNotComments) {
  Load(Save({Player("short", {"P="}), Player("tab", {"\tP=1"}), Player("comment", {"// P=1,1,1"}),
             Player("bare", {"P", "P1="}), Player("late", {"NAME=x", "COLOR=5", "P=1,2"})}));
  host.positions = LineList{"1,1,1", "2,2,2", "3,3,3"};
  MoveChars(w, host);
  EXPECT_EQ(w.Stats.chars_moved, 3u);
  EXPECT_EQ(Grep(Out().chars, "P"), (Lines{"P=1,1,1", "P=2,2,2", "P", "P1=", "P=3,3,3"}));
}

TEST_F(PassTest, MoveCharsWithAnEmptyListMovesNobody) {
  Load(Save({Player("1", {"P=0,0,0"})}));
  MoveChars(w, host);
  EXPECT_EQ(Grep(Out().chars, "P="), Lines{"P=0,0,0"});
}

TEST_F(PassTest, MoveCharsCountsEveryCharacterOnTheGauge) {
  Lines save;
  for (int i = 0; i < 150; ++i) {
    const Lines c = i % 3 ? Npc(std::to_string(i)) : Player(std::to_string(i), {"P=1"});
    Add(save, c);
  }
  Load(save);
  host.positions = LineList{"2"};
  MoveChars(w, host);
  EXPECT_EQ(host.ProgressValues(), OneTo(150));
}

// ---- shrinking pets

const Lines kShrunkRex = {"[WORLDITEM 0186b]",
                          "SERIAL=pet",
                          "NAME=Rex (shrinked by Pellacord)",
                          "ATTR=020",
                          "TYPE=37",
                          "MORE1=0e1",
                          "MORE2=0f5f",
                          "CONT=bp",
                          "P=95,131,0",
                          ""};

Lines PetOf(const std::string& serial, const std::string& link, const Lines& body = {"NAME=Rex"}) {
  Lines pet = {"[WORLDCHAR e1]", "SERIAL=" + serial};
  pet.insert(pet.end(), body.begin(), body.end());
  const Lines memory = Item("2007", serial + "m", serial, {"LINK=" + link});
  pet.insert(pet.end(), memory.begin(), memory.end());
  return pet;
}

TEST_F(PassTest, ShrinkPetsPutsTheTenLinesAfterTheContainersOtherContents) {
  Load(Save({Player("o"), Item("09b2", "bp", "o"), Item("0a", "gold", "bp"), PetOf("pet", "o")}));
  ShrinkPets(w, host);
  Lines expected = Player("o");
  for (const Lines& part : {Item("09b2", "bp", "o"), Item("0a", "gold", "bp"), kShrunkRex})
    expected.insert(expected.end(), part.begin(), part.end());
  EXPECT_EQ(Out().chars, expected);
}

// What a pass did on an analysed save: the host's events during it, the
// run's figures and the files' bodies after it, for comparing its walk on
// one thread with its walk on two.
struct PassOutcome {
  std::vector<std::string> events;
  PassStats stats;
  BodyBytes bytes;
};

template <class Pass>
PassOutcome RunPass(const std::string& save, int position, Pass&& pass) {
  World w;
  RecordingHost host;
  host.position = position;
  Analyse(w, host, save);
  host.ClearEvents();
  pass(w, host);
  PassOutcome out{host.events, w.Stats, {}};
  out.bytes = WriteBodyBytes(w, host);
  return out;
}

TEST(ShrinkPetsOnTwoThreads, ShrinksTheSamePetsInTheSameOrder) {
  // Owners with and without a bank box, pets linking to them, to nobody or
  // to an NPC, several pets to one box, and NPCs that are no pets: the
  // look-ups made on two threads first must shrink what the walk shrinks.
  Lines save;
  for (int i = 0; i < 3000; ++i) {
    const std::string n = std::to_string(i);
    Add(save, Player("o" + n));
    if (i % 4 != 0) Add(save, Item("09b2", "box" + n, "o" + n));
    Add(save, Item("0a", "gold" + n, i % 4 != 0 ? "box" + n : "o" + n));
    const std::string link = i % 7 == 0    ? "nobody"
                             : i % 11 == 0 ? "plain" + n
                                           : "o" + std::to_string(i * 7 % 3000);
    Add(save, PetOf("pet" + n, link, {"NAME=Rex" + n}));
    if (i % 5 == 0) Add(save, Npc("plain" + n, {"NAME=guard"}));
  }
  const std::string bytes = Crlf(Save({save}));
  const auto run = [&](RunThreads threads, int position) {
    return RunPass(bytes, position,
                   [threads](World& w, RecordingHost& host) { ShrinkPets(w, host, threads); });
  };
  for (int position : {0, 5, 250}) {
    const PassOutcome one = run(RunThreads::kOne, position);
    const PassOutcome two = run(RunThreads::kTwo, position);
    ASSERT_GT(one.stats.pets_shrunk, 1500u);
    EXPECT_EQ(one.events, two.events) << position;
    EXPECT_EQ(one.stats.pets_shrunk, two.stats.pets_shrunk);
    EXPECT_EQ(one.bytes.chars, two.bytes.chars);
  }
}

TEST_F(PassTest, ShrinkPetsTriesOnlyTheFirstMemoryObjectOfAPet) {
  // The memory object read last comes first: it links nowhere, so the pet
  // gets no item although the earlier one leads to the owner.
  Load(Save({Player("o"), Item("09b2", "bp", "o"), PetOf("pet", "o"),
             Item("2007", "m2", "pet", {"LINK=nobody"})}));
  ShrinkPets(w, host);
  EXPECT_TRUE(Grep(Out().chars, "[WORLDITEM 0186b]").empty());
}

TEST_F(PassTest, ShrinkPetsFindsNoPetOrNoContainer) {
  const Lines owner_and_bag = Save({Player("o"), Item("09b2", "bp", "o")});
  auto shrunk_items = [&](const Lines& extra) {
    Lines save(owner_and_bag.begin(), owner_and_bag.end() - 1);
    Add(save, extra);
    Load(save);
    ShrinkPets(w, host);
    const Bodies out = Out();
    return Grep(out.chars, "[WORLDITEM 0186b]").size() +
           Grep(out.world, "[WORLDITEM 0186b]").size();
  };
  Lines player_pet = PetOf("pp", "o");
  player_pet.insert(player_pet.begin() + 2, "ACCOUNT=x");
  EXPECT_EQ(shrunk_items(player_pet), 0u) << "a player is never a pet";
  EXPECT_EQ(
      shrunk_items(Save({Npc("n"), Item("0b", "box", "n"), Item("2007", "m", "box", {"LINK=o"})})),
      0u)
      << "memory object inside a container";
  EXPECT_EQ(shrunk_items(PetOf("p", "bp")), 0u) << "link names an item";
  EXPECT_EQ(shrunk_items(PetOf("p", "")), 0u) << "empty link";
  EXPECT_EQ(shrunk_items(Save({Player("o2"), Item("0c", "c", "o2"), Item("09b2", "nested", "c"),
                               PetOf("p", "o2")})),
            0u)
      << "the owner's only 09b2 container is nested";
  EXPECT_EQ(shrunk_items(PetOf("p", "o")), 1u);
}

TEST_F(PassTest, ShrinkPetsUsesTheOwnersLastReadContainerAndKeepsPetsInOrder) {
  Load(Save({Player("o"), Item("09b2", "first", "o"), Item("09b2", "bp", "o"), PetOf("pet", "o"),
             PetOf("cat", "o", {}), PetOf("dog", "o", {"NAME=" + std::string(40, 'd')})}));
  ShrinkPets(w, host);
  const Lines chars = Out().chars;
  EXPECT_EQ(Grep(chars, "CONT="), (Lines{"CONT=o", "CONT=o", "CONT=bp", "CONT=bp", "CONT=bp"}));
  EXPECT_EQ(Grep(chars, "NAME="),
            (Lines{"NAME=Rex (shrinked by Pellacord)", "NAME=NAMELESS (shrinked by Pellacord)",
                   "NAME=" + std::string(30, 'd') + " (shrinked by Pellacord)"}));
}

TEST_F(PassTest, ShrunkPetOfAnNpcOwnerGoesToTheWorldFileAndNoIllegalEntryMatchesIt) {
  Load(Save({Npc("o"), Item("09b2", "bp", "o"), PetOf("pet", "o")}));
  ShrinkPets(w, host);
  host.illegal = LineList{"0186b", "", "0186b]"};
  DeleteIllegalItems(w, host);
  EXPECT_EQ(Grep(Out().world, "[WORLDITEM 0186b]").size(), 1u);
  DeleteNpcs(w, host);
  EXPECT_TRUE(Out().world.empty()) << "the owner takes the item with it";
}

// ---- deleting NPCs

TEST_F(PassTest, DeleteNpcsDestroysWhatTheyHoldAtEveryDepth) {
  Load(Save({Item("0f", "early", "n"), Npc("n", {"NAME=guard"}), Item("0a", "bag", "n"),
             Item("0b", "box", "bag"), Item("0c", "coin", "box"), Player("p"),
             Item("0d", "mine", "p")}));
  DeleteNpcs(w, host);
  const Bodies out = Out();
  Lines chars = Player("p");
  const Lines mine = Item("0d", "mine", "p");
  chars.insert(chars.end(), mine.begin(), mine.end());
  EXPECT_EQ(out.chars, chars);
  EXPECT_EQ(out.world, Item("0f", "early", "n")) << "read before its NPC: unowned, kept";
  DeleteNpcs(w, host);
  EXPECT_EQ(Out().world, out.world) << "a second pass changes nothing";
}

TEST_F(PassTest, DeleteNpcsGaugeAndPumpWithNoOrManyCharacters) {
  Load(Save({}));
  DeleteNpcs(w, host);
  EXPECT_TRUE(host.events.empty());

  Lines save;
  for (int i = 0; i < 250; ++i) {
    const Lines c = Npc(std::to_string(i));
    Add(save, c);
  }
  Load(save);
  DeleteNpcs(w, host);
  std::vector<int> halves;
  for (int i = 1; i <= 250; ++i) halves.push_back(i / 2);
  EXPECT_EQ(host.ProgressValues(), halves);
  EXPECT_EQ(host.PumpTurns(), (std::vector<int>{1}));
}

// ---- deleting respawn points

TEST_F(PassTest, DeleteRespawnPointsRemovesOnlyUnownedTypes69And34) {
  Load(Save({Npc("n"), Item("01", "a", "n", {"TYPE=34"}), Item("02", "b", "", {"TYPE=69"}),
             Item("03", "inside", "b"), Item("04", "c", "", {"TYPE=069"}),
             Item("05", "d", "", {"TYPE=69 "}), Item("06", "e", "", {"TYPE=34"}),
             Item("07", "f", "", {"TYPE=3", "TYPE=34"})}));
  DeleteRespawnPoints(w, host);
  const Bodies out = Out();
  EXPECT_EQ(Grep(out.world, "SERIAL="),
            (Lines{"SERIAL=n", "SERIAL=a", "SERIAL=inside", "SERIAL=c", "SERIAL=d"}));
  EXPECT_EQ(host.Only("status:"), Lines{"deleting memory objects linked to spawn points"});
}

TEST_F(PassTest, DeleteRespawnPointsTakesNpcsMemoryObjectsOfSpawnPointsOnly) {
  const Lines save =
      Save({Player("p"), Item("2007", "m5", "p", {"LINK=s34"}),
            Item("0c", "held34", "p", {"TYPE=34"}), Item("0a", "s34", "", {"TYPE=34"}),
            Item("0b", "s69", "", {"TYPE=69"}), Npc("n"), Item("2007", "m1", "n", {"LINK=s34"}),
            Item("2007", "m2", "n", {"LINK=s69"}), Item("2007", "m3", "n", {"LINK=held34"}),
            Item("0d", "box", "n"), Item("2007", "m4", "box", {"LINK=s34"})});
  Load(save);
  DeleteRespawnPoints(w, host);
  Bodies out = Out();
  EXPECT_EQ(Grep(out.world, "SERIAL=m"), (Lines{"SERIAL=m2", "SERIAL=m3", "SERIAL=m4"}));
  EXPECT_EQ(Grep(out.chars, "SERIAL=m"), Lines{"SERIAL=m5"});

  // A later run never matches the spawn points of an earlier one.
  Load(Save({Npc("n"), Item("2007", "m1", "n", {"LINK=s34"})}));
  DeleteRespawnPoints(w, host);
  EXPECT_EQ(Grep(Out().world, "SERIAL=m"), Lines{"SERIAL=m1"});
}

TEST_F(PassTest, DeleteRespawnPointsFindsNothingLeftAfterNpcsAreGone) {
  Load(Save({Item("0a", "s34", "", {"TYPE=34"}), Npc("n"), Item("2007", "m1", "n", {"LINK=s34"})}));
  DeleteNpcs(w, host);
  host.ClearEvents();
  DeleteRespawnPoints(w, host);
  EXPECT_EQ(host.Only("pump").size(), 1u) << "both phases still walk";
  EXPECT_TRUE(Out().world.empty());
}

TEST_F(PassTest, DeleteRespawnPointsRestartsTheGaugeButNotThePumpBetweenPhases) {
  Lines save;
  for (int i = 0; i < 150; ++i) {
    const Lines c = Npc("c" + std::to_string(i));
    Add(save, c);
  }
  for (int i = 0; i < 150; ++i) {
    const Lines it = Item("01", "i" + std::to_string(i), "", {"TYPE=34"});
    Add(save, it);
  }
  Load(save);
  host.position = 2;
  DeleteRespawnPoints(w, host);
  std::vector<int> expected = OneTo(150);
  const std::vector<int> again = OneTo(150);
  expected.insert(expected.end(), again.begin(), again.end());
  EXPECT_EQ(host.ProgressValues(), expected);
  // 300 turns, one pump every third: a countdown started afresh for the
  // characters would pump 101 times.
  EXPECT_EQ(host.Only("pump").size(), 100u);
}

// ---- deleting illegal items

TEST_F(PassTest, DeleteIllegalItemsRemovesListedKindsWithTheirContents) {
  const Lines save =
      Save({Player("p"), Item("0a", "bag", "p"), Item("0bad", "badbag", "bag"),
            Item("0c", "x", "badbag"), Item("0d", "y", "bag"), Npc("n"), Item("0bad", "npcs", "n"),
            Item("0bad", "loose", ""), Item("0c", "kept", "loose"), Item("0e", "z", "")});
  Load(save);
  host.illegal = LineList{"0bad"};
  DeleteIllegalItems(w, host);
  const Bodies out = Out();
  EXPECT_EQ(Grep(out.chars, "SERIAL="), (Lines{"SERIAL=p", "SERIAL=bag", "SERIAL=y"}));
  EXPECT_EQ(Grep(out.world, "SERIAL="), (Lines{"SERIAL=n", "SERIAL=z"}));
}

TEST_F(PassTest, DeleteIllegalItemsComparesEntriesVerbatim) {
  Load(Save({Item("bad", "a", ""), Item("0Bad", "b", ""), Item("0bad", "c", "")}));
  host.illegal = LineList{"bad", "0BAD", "0bad ", "0bad]", " 0bad", ""};
  DeleteIllegalItems(w, host);
  EXPECT_EQ(Grep(Out().world, "[WORLDITEM"),
            (Lines{"[WORLDITEM 0bad]", "[WORLDITEM 0Bad]", "[WORLDITEM 0bad]"}));
}

TEST_F(PassTest, DeleteIllegalItemsVisitsEveryItemStillThere) {
  // 150 items, a listed container holding 49 of them: 101 are visited,
  // and the gauge climbs from 0 again on a second run.
  Lines save = Item("0bad", "bag", "");
  for (int i = 0; i < 49; ++i) {
    const Lines it = Item("01", "in" + std::to_string(i), "bag");
    Add(save, it);
  }
  for (int i = 0; i < 100; ++i) {
    const Lines it = Item("01", "out" + std::to_string(i), "");
    Add(save, it);
  }
  for (int run = 0; run < 2; ++run) {
    Load(save);
    host.illegal = LineList{"0bad"};
    DeleteIllegalItems(w, host);
    EXPECT_EQ(host.ProgressValues(), OneTo(101));
  }
  host.illegal = LineList{};
  Load(save);
  DeleteIllegalItems(w, host);
  EXPECT_EQ(host.ProgressValues(), OneTo(150)) << "an empty list still walks every item";
  EXPECT_EQ(Grep(Out().world, "[WORLDITEM").size(), 150u);
}

TEST(DeleteIllegalItemsInRecordOrder, GivesTheWalk) {
  // Listed kinds at every depth, in characters and loose, held by items read
  // before or after them; the scan of a large world goes through the records
  // first and the pumps follow, which the host must not be able to tell from
  // the walk. The passes before it leave destroyed and emptied records behind.
  const std::string save = MixedSave(60000, true);
  for (const bool passes_before : {false, true}) {
    const auto run = [&](RunThreads threads, int position) {
      return RunPass(save, position, [&](World& w, RecordingHost& host) {
        if (passes_before) {
          DeleteNpcs(w, host);
          DeleteRespawnPoints(w, host);
        }
        host.illegal = LineList{"03590", "03600", "03611", "0e05", "0e17", "0f"};
        DeleteIllegalItems(w, host, threads);
      });
    };
    for (int position : {0, 3, 250}) {
      const PassOutcome one = run(RunThreads::kOne, position);
      const PassOutcome two = run(RunThreads::kTwo, position);
      ASSERT_GT(one.stats.illegal_items_removed, 1000u);
      ASSERT_GT(one.stats.illegal_contents_destroyed, 100u) << "listed items hold items";
      if (passes_before) {
        ASSERT_GT(one.stats.npc_items_destroyed, 100u);
      }
      EXPECT_EQ(one.events, two.events) << position;
      EXPECT_EQ(one.stats.illegal_items_removed, two.stats.illegal_items_removed);
      EXPECT_EQ(one.stats.illegal_contents_destroyed, two.stats.illegal_contents_destroyed);
      EXPECT_EQ(one.bytes.chars, two.bytes.chars);
      EXPECT_EQ(one.bytes.world, two.bytes.world);
    }
  }
}

TEST(DeleteIllegalItemsInRecordOrder, ReachesShrunkPetsAndTheirBoxes) {
  // Pets shrunk into listed bank boxes go with them; a box that is not
  // listed keeps its pet, which the scan meets after the box.
  Lines save;
  for (int i = 0; i < 400; ++i) {
    const std::string n = std::to_string(i);
    Add(save, Player("o" + n));
    Add(save, Item(i % 2 == 0 ? "09b2" : "0a", "box" + n, "o" + n));
    Add(save, Item("09b2", "box2" + n, "o" + n));
    Add(save, Item(i % 3 == 0 ? "0bad" : "0c", "in" + n, "box2" + n));
    Add(save, PetOf("pet" + n, "o" + n, {"NAME=Rex" + n}));
  }
  const std::string bytes = Crlf(Save({save}));
  const auto run = [&](RunThreads threads) {
    return RunPass(bytes, 7, [threads](World& w, RecordingHost& host) {
      ShrinkPets(w, host);
      host.illegal = LineList{"09b2", "0bad"};
      DeleteIllegalItems(w, host, threads);
    });
  };
  const PassOutcome one = run(RunThreads::kOne);
  const PassOutcome two = run(RunThreads::kTwo);
  ASSERT_EQ(one.stats.pets_shrunk, 400u);
  EXPECT_EQ(one.stats.illegal_items_removed, 600u);
  EXPECT_EQ(one.events, two.events);
  EXPECT_EQ(one.stats.illegal_contents_destroyed, two.stats.illegal_contents_destroyed);
  EXPECT_EQ(one.bytes.chars, two.bytes.chars);
  EXPECT_EQ(one.bytes.world, two.bytes.world);
}

// ---- the passes together, and what is found for them ahead

// A save in which every pass finds work: players with bank boxes, pets
// linking to them, NPCs holding memory objects of spawn points, loose
// respawn and spawn points with contents, listed kinds at every depth.
std::string AllPassesSave() {
  Lines save;
  for (int i = 0; i < 2500; ++i) {
    const std::string n = std::to_string(i);
    Add(save, Player("o" + n, {"P=1,1,1"}));
    Add(save, Item(i % 3 == 0 ? "0bad" : "09b2", "box" + n, "o" + n));
    Add(save, Item("0bad", "in" + n, "box" + n));
    Add(save, PetOf("pet" + n, i % 5 == 0 ? "sp" + n : "o" + std::to_string(i * 7 % 2500)));
    Add(save, Item("0c", "sp" + n, "", {i % 2 == 0 ? "TYPE=34" : "TYPE=69"}));
    Add(save, Item("0bad", "on" + n, "sp" + n));
    Add(save, Npc("guard" + n));
    Add(save, Item("2007", "m" + n, "guard" + n, {"LINK=sp" + std::to_string(i / 2 * 2)}));
  }
  const std::string mixed = MixedSave(20000, false);
  return Crlf(Save({save})).substr(0, Crlf(Save({save})).size() - 7) + mixed;
}

struct AllPassesOutcome {
  PassOutcome pass;
  std::vector<std::string> spawn_serials;
  std::vector<ChangeEntry> report;
};

AllPassesOutcome RunAllPasses(const std::string& save, RunThreads threads, int position,
                              const std::vector<Switch>& switches) {
  World w;
  ChangeReport report;
  w.Report = &report;
  RecordingHost host;
  host.position = position;
  for (Switch s : switches) host.Set(s, true);
  host.positions = LineList{"1,2,3", "4,5,6"};
  host.illegal = LineList{"0bad", "0e05", "0e17"};
  Analyse(w, host, save);
  host.ClearEvents();
  RunCleanUpPasses(w, host, threads);
  AllPassesOutcome out{{host.events, w.Stats, {}}, {}, report.Entries()};
  out.spawn_serials = w.SpawnSerials.Lines();
  out.pass.bytes = WriteBodyBytes(w, host);
  w.Report = nullptr;
  return out;
}

TEST(CleanUpPasses, FindingWhatTheLastTwoLookForAheadChangesNothingTheHostOrFilesShow) {
  // The respawn points and listed items are found on a second thread
  // while the passes before them run (from the start, or once the pets'
  // look-ups are done); the pumps, gauge, figures, report and files must
  // be those of the passes on one thread.
  const std::string save = AllPassesSave();
  const std::vector<std::vector<Switch>> switch_sets = {
      {Switch::kMoveChars, Switch::kShrinkPets, Switch::kDeleteNpcs, Switch::kDeleteRespawnPoints,
       Switch::kIllegalItems},
      {Switch::kMoveChars, Switch::kDeleteRespawnPoints, Switch::kIllegalItems},
      {Switch::kDeleteRespawnPoints},
      {Switch::kShrinkPets, Switch::kDeleteNpcs, Switch::kIllegalItems},
  };
  for (std::size_t set = 0; set < switch_sets.size(); ++set) {
    for (int position : {0, 7, 250}) {
      const AllPassesOutcome one = RunAllPasses(save, RunThreads::kOne, position, switch_sets[set]);
      const AllPassesOutcome two = RunAllPasses(save, RunThreads::kTwo, position, switch_sets[set]);
      const PassStats& a = one.pass.stats;
      const PassStats& b = two.pass.stats;
      if (set == 0) {
        ASSERT_GT(a.pets_shrunk, 1000u);
        ASSERT_GT(a.respawn_points_removed, 2000u);
        ASSERT_GT(a.illegal_items_removed, 1000u);
      }
      if (set == 1) {
        ASSERT_GT(a.memory_objects_removed, 1000u) << "NPCs keep their memory objects";
      }
      EXPECT_EQ(one.pass.events, two.pass.events) << set << " " << position;
      EXPECT_EQ(std::tie(a.chars_moved, a.pets_shrunk, a.npcs_deleted, a.npc_items_destroyed,
                         a.respawn_points_removed, a.memory_objects_removed,
                         a.illegal_items_removed, a.illegal_contents_destroyed),
                std::tie(b.chars_moved, b.pets_shrunk, b.npcs_deleted, b.npc_items_destroyed,
                         b.respawn_points_removed, b.memory_objects_removed,
                         b.illegal_items_removed, b.illegal_contents_destroyed));
      EXPECT_EQ(one.spawn_serials, two.spawn_serials);
      ASSERT_EQ(one.report.size(), two.report.size());
      for (std::size_t k = 0; k < one.report.size(); ++k) {
        const ChangeEntry& x = one.report[k];
        const ChangeEntry& y = two.report[k];
        ASSERT_EQ(std::tie(x.change, x.by_char, x.subject, x.other, x.owner),
                  std::tie(y.change, y.by_char, y.subject, y.other, y.owner))
            << set << " " << position << " entry " << k;
      }
      EXPECT_EQ(one.pass.bytes.chars, two.pass.bytes.chars);
      EXPECT_EQ(one.pass.bytes.world, two.pass.bytes.world);
    }
  }
}

TEST(CleanUpPasses, ACancelWhileTheSweepRunsStopsIt) {
  const std::string save = AllPassesSave();
  for (const char* stage : {"moving chars to specified positions", "shrinking pets",
                            "deleting NPCs", "deleting respawn points"}) {
    World w;
    RecordingHost host;
    host.position = 0;
    for (Switch s : {Switch::kMoveChars, Switch::kShrinkPets, Switch::kDeleteNpcs,
                     Switch::kDeleteRespawnPoints, Switch::kIllegalItems})
      host.Set(s, true);
    host.positions = LineList{"1,2,3"};
    host.illegal = LineList{"0bad"};
    Analyse(w, host, save);
    // Cancels at the third pump after the stage's status text.
    const std::string status = std::string("status:") + stage;
    std::size_t seen = 0;
    int pumps_in_stage = -1;
    host.on_process_messages = [&](RecordingHost& h) {
      for (; seen < h.events.size(); ++seen) {
        if (h.events[seen].rfind("status:", 0) == 0)
          pumps_in_stage = h.events[seen] == status ? 0 : -1;
      }
      if (pumps_in_stage >= 0 && ++pumps_in_stage == 3) h.cancel = true;
    };
    EXPECT_THROW(RunCleanUpPasses(w, host, RunThreads::kTwo), RunCancelled) << stage;
    // The stores are free to go, and the next run of the same world is
    // whole.
    host.on_process_messages = nullptr;
    host.cancel = false;
    Analyse(w, host, save);
    RunCleanUpPasses(w, host, RunThreads::kTwo);
    EXPECT_GT(w.Stats.illegal_items_removed, 1000u) << stage;
  }
}

TEST(ItemSweep, FindsWhatTheWalksFindInWhateverOrderTheLooseItemsAreListed) {
  World w;
  RecordingHost host;
  Analyse(w, host, AllPassesSave());
  const LineList illegal{"0bad", "0e05"};
  const std::vector<bool> ids = IllegalIds(w, illegal);
  const auto walked = [&] {
    std::vector<RecordId> points;
    std::vector<std::string> serials;
    std::uint64_t loose = 0;
    for (RecordId id = w.UnownedItems; id != kNone; id = w.Items[id].Next, ++loose) {
      const std::string_view type = TypeOf(w, w.Items[id]);
      if (type == "69" || type == "34") points.push_back(id);
      if (type == "34") serials.push_back(w.Items[id].Serial.str());
    }
    return std::tuple(loose, points, serials);
  };
  std::vector<RecordId> listed;
  for (RecordId id = 0; id < w.Items.Size(); ++id)
    if (ids[BaseIdRef(w, w.Items[id])]) listed.push_back(id);
  ASSERT_GT(listed.size(), 2000u);

  const std::atomic<bool> go_on{false};
  for (const bool reordered : {false, true}) {
    if (reordered) {
      // The loose items listed oldest first, as a save read some other way
      // might leave them: the sweep cannot follow, and walks the list.
      std::vector<RecordId> loose;
      for (RecordId id = w.UnownedItems; id != kNone; id = w.Items[id].Next) loose.push_back(id);
      RecordId next = kNone;
      for (const RecordId id : loose) {
        w.Items[id].Next = next;
        next = id;
      }
      w.UnownedItems = next;
    }
    ItemSweep sweep(w, true, &illegal);
    sweep.Run(w, go_on);
    const auto [loose, points, serials] = walked();
    ASSERT_GT(points.size(), 2000u);
    EXPECT_EQ(sweep.LooseCount(), loose) << reordered;
    EXPECT_EQ(sweep.RespawnPoints(), points) << reordered;
    EXPECT_EQ(sweep.TakeSpawnSerials().Lines(), serials) << reordered;
    EXPECT_EQ(sweep.Listed(), listed) << reordered;
  }
}

}  // namespace
}  // namespace orv::testing
