// The change report: which objects a run writes, in which order, with which
// line numbers, and that their numbers agree with the run's own counts.

#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/change_report.h"
#include "engine/json_text.h"
#include "engine/line_sink.h"
#include "engine/line_split.h"
#include "engine/run.h"
#include "tests/test_util.h"

namespace orv::testing {
namespace {

using Lines = std::vector<std::string>;
using Json = nlohmann::json;

// A run in memory with a report: the switches of `host` decide the passes.
std::vector<Json> ReportOf(World& w, RecordingHost& host, const std::string& save,
                           RunThreads threads = RunThreads::kAuto, bool note_lines = true) {
  ChangeReport report;
  w.Report = &report;
  ReleaseStores(w);
  w.SourceLines.LoadFromBytes(save, SourceText::Counting::kLater);
  MemoryLineSink chars, world;
  AnalyseCleanAndWrite(w, host, chars, world, threads);
  if (!note_lines) w.SectionLines = HeadLines{};  // as for a save of 2^32 lines or more
  MemoryLineSink out;
  WriteChangeReport(w, report, out);
  w.Report = nullptr;
  std::vector<Json> objects;
  const std::string& bytes = out.Bytes();
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t end = bytes.find('\n', at);
    EXPECT_NE(end, std::string::npos) << "every object ends with a line feed";
    objects.push_back(Json::parse(bytes.substr(at, end - at)));
    at = end + 1;
  }
  return objects;
}

// "change serial line" and the kind's own fields, for comparing in one go.
std::vector<std::string> Brief(const std::vector<Json>& objects) {
  std::vector<std::string> out;
  for (const Json& o : objects) {
    std::string line = o["change"].get<std::string>() + " " + o["serial"].get<std::string>() + " " +
                       std::to_string(o["line"].get<std::uint64_t>());
    for (const auto& [key, value] : o.items()) {
      if (key == "change" || key == "serial" || key == "line") continue;
      line += " " + key + "=" + value.get<std::string>();
    }
    out.push_back(line);
  }
  return out;
}

class ChangeReportTest : public ::testing::Test {
 protected:
  void SetUp() override { host.ClearSwitches(); }
  World w;
  RecordingHost host;
};

TEST_F(ChangeReportTest, EveryKindWithItsFieldsInTheOrderOfThePasses) {
  // Lines are numbered from 1; the comments count.
  const std::string save = Crlf({
      // clang-format off
      "TITLE=ORV",                                  // 1
      "[WORLDCHAR 01]", "SERIAL=p1", "ACCOUNT=a", "P=1,1,1",  // 2-5
      "[WORLDITEM 0a]", "SERIAL=early", "CONT=box",           // 6-8: its container comes later
      "[WORLDITEM 09b2]", "SERIAL=box", "CONT=p1",            // 9-11
      "[WORLDITEM 0186b]", "SERIAL=bad", "CONT=box",          // 12-14: illegal, holds two levels
      "[WORLDITEM 0b]", "SERIAL=in1", "CONT=bad",             // 15-17
      "[WORLDITEM 0c]", "SERIAL=in2", "CONT=in1",             // 18-20
      "[WORLDITEM 0d]", "SERIAL=lost", "CONT=nowhere",        // 21-23
      "[WORLDITEM 0e]", "SERIAL=sp", "TYPE=34",               // 24-26: a spawn point
      "[WORLDCHAR 02]", "SERIAL=npc",                         // 27-28
      "[WORLDITEM 2007]", "SERIAL=mem", "CONT=npc", "LINK=sp",  // 29-32
      "[WORLDITEM 0f]", "SERIAL=rp", "TYPE=69",               // 33-35
      "[EOF]",
      // clang-format on
  });
  host.Set(Switch::kMoveChars, true);
  host.Set(Switch::kDeleteRespawnPoints, true);
  host.Set(Switch::kIllegalItems, true);
  host.positions = LineList{"5,5,5"};
  host.illegal = LineList{"0186b"};
  EXPECT_EQ(Brief(ReportOf(w, host, save)),
            (Lines{
                "left_loose early 6 container=box reason=later_in_file",
                "left_loose lost 21 container=nowhere reason=not_found",
                "char_moved p1 2 from=1,1,1 to=5,5,5",
                "respawn_point_deleted rp 33 type=69",
                "respawn_point_deleted sp 24 type=34",
                "memory_object_deleted mem 29 link=sp",
                "illegal_item_deleted bad 12 id=0186b",
                // The contents of what is removed, each before what holds it.
                "item_destroyed in2 18 by=bad",
                "item_destroyed in1 15 by=bad",
            }));
}

TEST_F(ChangeReportTest, PetsAndNpcsWithEverythingTheyHeldAtEveryDepth) {
  const std::string save = Crlf({
      // clang-format off
      "[WORLDCHAR 01]", "SERIAL=owner", "ACCOUNT=a",        // 1-3
      "[WORLDITEM 09b2]", "SERIAL=bank", "CONT=owner",      // 4-6
      "[WORLDCHAR e1]", "SERIAL=pet", "NAME=Rex",           // 7-9
      "[WORLDITEM 2007]", "SERIAL=m", "CONT=pet", "LINK=owner",  // 10-13
      "[WORLDCHAR 02]", "SERIAL=guard",                     // 14-15
      "[WORLDITEM 0a]", "SERIAL=bag", "CONT=guard",         // 16-18
      "[WORLDITEM 0b]", "SERIAL=purse", "CONT=bag",         // 19-21
      "[WORLDITEM 0c]", "SERIAL=coin", "CONT=purse",        // 22-24
      "[WORLDITEM 0d]", "SERIAL=hat", "CONT=guard",         // 25-27
      "[EOF]",
      // clang-format on
  });
  host.Set(Switch::kDeleteNpcs, true);
  host.Set(Switch::kShrinkPets, true);
  EXPECT_EQ(Brief(ReportOf(w, host, save)),
            (Lines{
                "pet_shrunk pet 7 container=bank owner=owner",
                "npc_deleted pet 7",
                "item_destroyed m 10 by=pet",
                "npc_deleted guard 14",
                // The list newest first, each item's contents before it.
                "item_destroyed hat 25 by=guard",
                "item_destroyed coin 22 by=guard",
                "item_destroyed purse 19 by=guard",
                "item_destroyed bag 16 by=guard",
            }));
  EXPECT_EQ(w.Stats.npc_items_destroyed, 5u);
}

TEST_F(ChangeReportTest, AShrunkPetDestroyedWithItsNpcOwnerStandsForThePet) {
  const std::string save = Crlf({
      // clang-format off
      "[WORLDCHAR 01]", "SERIAL=keeper",                    // 1-2: an NPC owner
      "[WORLDITEM 09b2]", "SERIAL=bank", "CONT=keeper",     // 3-5
      "[WORLDCHAR e1]", "SERIAL=pet",                       // 6-7
      "[WORLDITEM 2007]", "SERIAL=m", "CONT=pet", "LINK=keeper",  // 8-11
      "[EOF]",
      // clang-format on
  });
  host.Set(Switch::kDeleteNpcs, true);
  host.Set(Switch::kShrinkPets, true);
  EXPECT_EQ(
      Brief(ReportOf(w, host, save)),
      (Lines{
          "pet_shrunk pet 6 container=bank owner=keeper",
          "npc_deleted keeper 1",
          "item_destroyed pet 6 by=keeper",  // the shrunk pet, made after the bank's other contents
          "item_destroyed bank 3 by=keeper",
          "npc_deleted pet 6",
          "item_destroyed m 8 by=pet",
      }));
}

TEST_F(ChangeReportTest, SectionsOfOneSerialAreEachReportedWithTheirOwnLine) {
  const std::string save = Crlf({
      // clang-format off
      "[WORLDCHAR 02]", "SERIAL=twin",                  // 1-2
      "[WORLDCHAR 02]", "SERIAL=twin",                  // 3-4: its items go to the first
      "[WORLDITEM 0a]", "SERIAL=cap", "CONT=twin",      // 5-7
      "[WORLDITEM 0186b]", "SERIAL=x",                  // 8-9
      "[WORLDITEM 0186b]", "SERIAL=x",                  // 10-11: illegal twice, its
      "[WORLDITEM 0b]", "SERIAL=in", "CONT=x",          // 12-14: content in the first
      "[EOF]",
      // clang-format on
  });
  host.Set(Switch::kDeleteNpcs, true);
  host.Set(Switch::kIllegalItems, true);
  host.illegal = LineList{"0186b"};
  EXPECT_EQ(Brief(ReportOf(w, host, save)),
            (Lines{
                "npc_deleted twin 1",
                "item_destroyed cap 5 by=twin",
                "npc_deleted twin 3",
                "illegal_item_deleted x 10 id=0186b",  // the unowned items newest first
                "illegal_item_deleted x 8 id=0186b",
                "item_destroyed in 12 by=x",
            }));
}

TEST_F(ChangeReportTest, NamesOfAnyBytesAreWrittenAsValidJson) {
  const std::string serial = std::string("q\"\\\x01\t", 5) + "\xff\xc3\xa9";
  const std::string save = Crlf({"[WORLDCHAR 02]", "SERIAL=" + serial, "[EOF]"});
  host.Set(Switch::kDeleteNpcs, true);
  const std::vector<Json> objects = ReportOf(w, host, save);
  ASSERT_EQ(objects.size(), 1u);
  // Well-formed UTF-8 passes; a byte that is not becomes the character of
  // its number.
  EXPECT_EQ(objects[0]["serial"].get<std::string>(),
            std::string("q\"\\\x01\t", 5) + "\xc3\xbf\xc3\xa9");
  EXPECT_EQ(JsonString(serial), "\"q\\\"\\\\\\u0001\\t\\u00ff\xc3\xa9\"");
}

TEST_F(ChangeReportTest, LineNumbersFollowEveryKindOfLineEnd) {
  // CR, LF and CR LF ends, an indented head, comments and an unknown section.
  const std::string save =
      "// x\r[WORLDSCRIPT s]\nfoo\r\n  [WORLDCHAR 02]\rSERIAL=a\n\n// c\r\n[WORLDCHAR "
      "02]\r\nSERIAL=b\r[EOF]\n";
  host.Set(Switch::kDeleteNpcs, true);
  const Lines expected = {"npc_deleted a 4", "npc_deleted b 8"};
  EXPECT_EQ(Brief(ReportOf(w, host, save)), expected);
  EXPECT_EQ(Brief(ReportOf(w, host, save, RunThreads::kAuto, false)), expected)
      << "lines found by sweeping the source when the analysis noted none";
  EXPECT_EQ(LineNumbersAt("a\r\nb\rc\nd", {0, 3, 4, 5, 7, 8}),
            (std::vector<std::uint64_t>{1, 2, 2, 3, 4, 4}));
}

// The objects of each kind, counted.
std::map<std::string, std::uint64_t> Counts(const std::vector<Json>& objects) {
  std::map<std::string, std::uint64_t> counts;
  for (const Json& o : objects) ++counts[o["change"].get<std::string>()];
  return counts;
}

TEST_F(ChangeReportTest, CountsMatchTheRunAndOneThreadMatchesTwo) {
  const std::string save = MixedSave(20000, true);
  for (Switch s : {Switch::kMoveChars, Switch::kShrinkPets, Switch::kDeleteNpcs,
                   Switch::kDeleteRespawnPoints, Switch::kIllegalItems})
    host.Set(s, true);
  host.positions = LineList{"1,1,1", "2,2,2"};
  host.illegal = LineList{"03590", "03600", "03601", "03611"};
  const std::vector<Json> two = ReportOf(w, host, save, RunThreads::kTwo);
  const PassStats& s = w.Stats;
  std::map<std::string, std::uint64_t> counts = Counts(two);
  EXPECT_EQ(counts["char_moved"], s.chars_moved);
  EXPECT_EQ(counts["pet_shrunk"], s.pets_shrunk);
  EXPECT_EQ(counts["npc_deleted"], s.npcs_deleted);
  EXPECT_EQ(counts["item_destroyed"], s.npc_items_destroyed + s.illegal_contents_destroyed);
  EXPECT_EQ(counts["respawn_point_deleted"], s.respawn_points_removed);
  EXPECT_EQ(counts["memory_object_deleted"], s.memory_objects_removed);
  EXPECT_EQ(counts["illegal_item_deleted"], s.illegal_items_removed);
  EXPECT_EQ(counts["left_loose"], w.Notes.loose_items.size());
  EXPECT_GT(s.illegal_items_removed, 10u) << "the save exercises the illegal-item pass";
  EXPECT_GT(counts["item_destroyed"], 10u);
  // A large world's illegal items are found by a scan in id order, a small
  // one's by the walk: the report follows the walk either way.
  EXPECT_EQ(Brief(ReportOf(w, host, save, RunThreads::kOne)), Brief(two));
  EXPECT_EQ(Brief(ReportOf(w, host, save, RunThreads::kTwo, false)), Brief(two))
      << "lines swept from the source are those the analysis notes";
}

TEST_F(ChangeReportTest, HolderOfFindsWhereTheAnalysisPutEveryItem) {
  Analyse(w, host, MixedSave(3000, true));
  const auto items = static_cast<RecordId>(w.Items.Size());
  std::vector<RecordId> holder(items, kNone);
  std::vector<bool> by_char(items, false);
  for (RecordId c = w.FirstChar; c != kNone; c = w.Chars[c].Next) {
    for (RecordId id = w.Chars[c].Items; id != kNone; id = w.Items[id].Next) {
      holder[id] = c;
      by_char[id] = true;
    }
  }
  for (RecordId p = 0; p < items; ++p) {
    for (RecordId id = w.Items[p].Contents; id != kNone; id = w.Items[id].Next) holder[id] = p;
  }
  std::size_t held = 0;
  for (RecordId id = 0; id < items; ++id) {
    bool is_char = false;
    const RecordId found = HolderOf(w, id, is_char);
    ASSERT_EQ(found, holder[id]) << "item " << id;
    EXPECT_EQ(is_char, by_char[id]) << "item " << id;
    held += found != kNone ? 1 : 0;
  }
  EXPECT_EQ(held, static_cast<std::size_t>(w.ContainedCount));
  EXPECT_GT(w.ContainedCount, 100);
}

TEST_F(ChangeReportTest, ARunWithoutAReportNotesNothing) {
  host.Set(Switch::kDeleteNpcs, true);
  Analyse(w, host, MixedSave(500, true));
  EXPECT_FALSE(w.SectionLines.noted);
  EXPECT_TRUE(w.SectionLines.items.empty());
  EXPECT_FALSE(w.Notes.loose_items.empty()) << "the notes of the analysis are kept in every run";
}

}  // namespace
}  // namespace orv::testing
