// The writers: the converted header, the order in which records come out,
// which file they go to, and the gauge and pump of the writing walks.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "engine/kept_lines.h"
#include "engine/line_sink.h"
#include "passes/passes.h"
#include "tests/test_util.h"
#include "writers/char_writer.h"
#include "writers/item_writer.h"
#include "writers/world_file_writer.h"

namespace orv::testing {
namespace {

using Lines = std::vector<std::string>;

// The header of a save without players, as both files get it: the whole
// character file, and the world file up to its first section.
Lines HeaderOf(const Lines& source) {
  const Bodies out = RoundTrip(Crlf(source));
  const std::size_t header = std::min(out.chars.size(), out.world.size());
  EXPECT_EQ(out.chars, Lines(out.world.begin(), out.world.begin() + header))
      << "both files get the same header";
  return out.chars;
}

TEST(WriteHeader, RewritesTitleVersionAndSaveCount) {
  EXPECT_EQ(HeaderOf({"TITLE=ORV"}), Lines{"TITLE=VANTOR"});
  EXPECT_EQ(HeaderOf({"TITLE=ORV 0.55i"}), Lines{"TITLE=VANTOR 0.55i"});
  EXPECT_EQ(HeaderOf({"TITLE=ORVish"}), Lines{"TITLE=VANTORish"});
  EXPECT_EQ(HeaderOf({"  TITLE=ORV 1"}), Lines{"TITLE=VANTOR 1"}) << "indent lost when rewritten";
  EXPECT_EQ(HeaderOf({"TITLE=ORV" + std::string(40, 'x')}),
            Lines{"TITLE=VANTOR" + std::string(30, 'x')});
  EXPECT_EQ(HeaderOf({"title=ORV", "TITLE=SPHERE", "TITLE=OR"}),
            (Lines{"title=ORV", "TITLE=SPHERE", "TITLE=OR"}));
  EXPECT_EQ(HeaderOf({"VERSION=0.55i", "VERSION=", "VERSION =1", "\tVERSION=2"}),
            (Lines{"VERSION=0.99f", "VERSION=0.99f", "VERSION =1", "VERSION=0.99f"}));
  EXPECT_EQ(HeaderOf({"SAVECOUNT=1234", "SAVECOUNT="}), (Lines{"SAVECOUNT=0", "SAVECOUNT=0"}));
  EXPECT_EQ(HeaderOf({"  // indented comment", "", "   ", "OTHER=1"}),
            (Lines{"  // indented comment", "", "   ", "OTHER=1"}));
}

TEST(WriteHeader, EndsAtTheFirstLineBeginningWithABracket) {
  EXPECT_EQ(HeaderOf({"// a", "  [WORLDSCRIPT x]", "VERSION=1", "[WORLDITEM 01]"}), Lines{"// a"});
  EXPECT_EQ(HeaderOf({"// no section", "VERSION=1"}), (Lines{"// no section", "VERSION=0.99f"}));
  EXPECT_EQ(HeaderOf({}), Lines{});
}

TEST(WriteOrder, PlayersToTheCharacterFileNpcsToTheWorldFileEachWithWhatTheyHold) {
  Bodies out = RoundTrip(Crlf(
      {// clang-format off
      "[WORLDCHAR 01]", "SERIAL=p", "ACCOUNT=a",
      "[WORLDCHAR 02]", "SERIAL=n",
      "[WORLDITEM 0b]", "SERIAL=bag", "CONT=p",
      "[WORLDITEM 0a]", "SERIAL=a", "CONT=bag",
      "[WORLDITEM 0c]", "SERIAL=inner", "CONT=bag",
      "[WORLDITEM 0d]", "SERIAL=deep", "CONT=inner",
      "[WORLDITEM 0e]", "SERIAL=c", "CONT=bag",
      "[WORLDITEM 0f]", "SERIAL=npcitem", "CONT=n",
      "[WORLDITEM 01]", "SERIAL=x",
      "[WORLDITEM 02]", "SERIAL=y",
      "[WORLDITEM 03]", "SERIAL=z", "CONT=p2",
      "[WORLDCHAR 03]", "SERIAL=p2", "ACCOUNT=b",
      "[EOF]"}));
       // clang-format on
  EXPECT_EQ(out.chars,
            (Lines{"[WORLDCHAR 01]", "SERIAL=p",       "ACCOUNT=a",      "[WORLDITEM 0b]",
                   "SERIAL=bag",     "CONT=p",         "[WORLDITEM 0a]", "SERIAL=a",
                   "CONT=bag",       "[WORLDITEM 0c]", "SERIAL=inner",   "CONT=bag",
                   "[WORLDITEM 0d]", "SERIAL=deep",    "CONT=inner",     "[WORLDITEM 0e]",
                   "SERIAL=c",       "CONT=bag",       "[WORLDCHAR 03]", "SERIAL=p2",
                   "ACCOUNT=b"}));
  // The item read before its owner lies among the unowned items.
  EXPECT_EQ(out.world, (Lines{"[WORLDCHAR 02]", "SERIAL=n", "[WORLDITEM 0f]", "SERIAL=npcitem",
                              "CONT=n", "[WORLDITEM 01]", "SERIAL=x", "[WORLDITEM 02]", "SERIAL=y",
                              "[WORLDITEM 03]", "SERIAL=z", "CONT=p2"}));
}

// A save of `chars` NPCs, or of `unowned` loose items.
std::string ManyChars(int chars) {
  Lines save;
  for (int i = 0; i < chars; ++i)
    save.insert(save.end(), {"[WORLDCHAR 01]", "SERIAL=" + std::to_string(i)});
  return Crlf(save);
}
std::string ManyItems(int items) {
  Lines save;
  for (int i = 0; i < items; ++i)
    save.insert(save.end(), {"[WORLDITEM 01]", "SERIAL=" + std::to_string(i)});
  return Crlf(save);
}

std::vector<int> Halves(int n) {
  std::vector<int> v;
  for (int i = 1; i <= n; ++i) v.push_back(i / 2);
  return v;
}

TEST(WriteGauge, CharacterWalkAndUnownedItemsMoveTheGaugeByTheirDivisors) {
  World w;
  RecordingHost host;
  Analyse(w, host, ManyChars(250));
  host.ClearEvents();
  WriteBodies(w, host);
  EXPECT_EQ(host.ProgressValues(), Halves(250)) << "up to 125: shown full";

  Analyse(w, host, ManyItems(250));
  host.ClearEvents();
  WriteBodies(w, host);
  EXPECT_EQ(host.ProgressValues(), Halves(250));

  // A second walk counts from 0 again.
  host.ClearEvents();
  WriteBodies(w, host);
  EXPECT_EQ(host.ProgressValues(), Halves(250));

  // NPCs emptied by "delete NPCs" write nothing but still take their turns.
  Analyse(w, host, ManyChars(250));
  DeleteNpcs(w, host);
  host.ClearEvents();
  const Bodies emptied = WriteBodies(w, host);
  EXPECT_TRUE(emptied.world.empty());
  EXPECT_EQ(host.ProgressValues(), Halves(250));

  Analyse(w, host, ManyChars(99) + ManyItems(99));
  host.ClearEvents();
  WriteBodies(w, host);
  EXPECT_TRUE(host.ProgressValues().empty());
}

TEST(WriteGauge, ItemsInsideOthersAndCharactersItemsAreNotCounted) {
  Lines save = {"[WORLDCHAR 01]", "SERIAL=c", "ACCOUNT=a"};
  for (int i = 0; i < 150; ++i)
    save.insert(save.end(), {"[WORLDITEM 01]", "SERIAL=k" + std::to_string(i), "CONT=c"});
  for (int i = 0; i < 100; ++i)
    save.insert(save.end(), {"[WORLDITEM 01]", "SERIAL=" + std::to_string(i)});
  for (int i = 0; i < 150; ++i)
    save.insert(save.end(), {"[WORLDITEM 01]", "SERIAL=i" + std::to_string(i), "CONT=0"});
  World w;
  RecordingHost host;
  Analyse(w, host, Crlf(save));
  ASSERT_EQ(w.UnownedPerPercent, 1);
  host.ClearEvents();
  WriteBodies(w, host);
  std::vector<int> expected;
  for (int i = 1; i <= 100; ++i) expected.push_back(i);
  EXPECT_EQ(host.ProgressValues(), expected);
}

// The world-file thread notes its walk over the unowned items, and the walk
// that pumps replays it instead of chasing the records again: the host must
// see the very same pumps and gauge values either way.
TEST(ItemWalkShape, ReplayGivesThePumpsAndGaugeOfTheWalk) {
  // Deep nesting under the first and the last unowned item, items inside an
  // item that is cleared, and a broad random world with forward references.
  const std::string nested =
      Crlf({"[WORLDITEM 01]", "SERIAL=top", "[WORLDITEM 01]", "SERIAL=in1", "CONT=top",
            "[WORLDITEM 01]", "SERIAL=in2", "CONT=in1", "[WORLDITEM 01]", "SERIAL=in3", "CONT=in2",
            "[WORLDITEM 01]", "SERIAL=side", "CONT=top", "[WORLDITEM 01]", "SERIAL=loose"});
  for (const std::string& save : {nested, MixedSave(4000, false), nested + MixedSave(3000, true)}) {
    for (int position : {0, 1, 3}) {
      World w;
      RecordingHost host;
      host.position = position;
      Analyse(w, host, save);
      ASSERT_GT(w.ContainedCount, 0u);

      host.ClearEvents();
      w.ItemWalkCountdown = 0;
      WriteItems(w, host, w.UnownedItems, kWorldFile, true);  // no sink: pumps only
      const std::vector<std::string> walked = host.events;

      ItemWalkShape shape;
      MemoryLineSink world;
      const std::atomic<bool> stop{false};
      WriteWorldFile(w, world, "caption", true, stop, &shape);
      host.ClearEvents();
      w.ItemWalkCountdown = 0;
      shape.Replay(w, host, true);
      EXPECT_EQ(host.events, walked) << "position " << position;
      EXPECT_FALSE(walked.empty());
    }
  }
}

TEST(WriteItems, AllItemWalksShareOnePumpCountdown) {
  World w;
  RecordingHost host;
  host.position = 2;
  const std::string save =
      Crlf({"[WORLDITEM 01]", "SERIAL=1", "[WORLDITEM 01]", "SERIAL=a", "CONT=1", "[WORLDITEM 01]",
            "SERIAL=2", "[WORLDITEM 01]", "SERIAL=b", "CONT=2"});
  Analyse(w, host, save);
  MemoryLineSink chars;
  w.CharLines = &chars;
  auto pumps_during = [&](RecordId list) {
    host.ClearEvents();
    WriteItems(w, host, list, kCharFile, false);
    return host.Only("pump").size();
  };
  // A walk of two items, then one of four: the countdown runs on across the
  // calls, so pumps fall on items 1 and 4 of the six; a walk with its own
  // countdown would pump twice in the second call.
  const RecordId first = w.UnownedItems;  // the second container, read last
  const RecordId second = w.Items[first].Next;
  EXPECT_EQ(pumps_during(second), 1u);
  EXPECT_EQ(pumps_during(first), 1u);
  EXPECT_EQ(pumps_during(kNone), 0u) << "an empty list pumps nothing";
  const std::string first_container =
      Crlf({"[WORLDITEM 01]", "SERIAL=1", "[WORLDITEM 01]", "SERIAL=a", "CONT=1"});
  EXPECT_EQ(chars.Bytes(), first_container + save);
  w.CharLines = nullptr;
}

TEST(WriteChars, PumpsOncePerCharacterWhateverItHolds) {
  World w;
  RecordingHost host;
  host.position = 1;
  Lines save;
  for (int i = 0; i < 120; ++i)
    save.insert(save.end(), {"[WORLDCHAR 01]", "SERIAL=" + std::to_string(i)});
  Analyse(w, host, Crlf(save));
  host.ClearEvents();
  WriteBodies(w, host);
  EXPECT_EQ(host.PumpTurns().size(), 60u);
  EXPECT_EQ(host.PumpTurns()[1], 3);
}

// Sections are copied in runs of lines that stand in the source exactly as
// they are kept. Whatever the mix of separators, indents, comments and
// edited lines, the bytes must be those of making every kept line anew.
TEST(KeptLines, CopiedRunsGiveTheSameBytesAsLineByLine) {
  const std::vector<std::string> pieces = {// clang-format off
      "SERIAL=1", "COLOR=455", "COLOR=0455", "  P=1,2,3", "// note", "FLAGS=0000008",
      "FLAGS=8", "\tNAME=x", "", " ", "TYPE=69", "LINK=4", "X", "CONT=04a", "/x", "Fx",
      "\x01ctl", "MORE1=0f5f", "ATTR=020", std::string(100, 'Z'), std::string(61, 'Y')};
                                           // clang-format on
  const std::vector<std::string> separators = {"\r\n", "\n", "\r", "\n\r", "\r\n\r\n"};
  std::uint32_t seed = 7;
  const auto next = [&seed](std::size_t n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<std::size_t>((seed >> 8) % n);
  };
  for (int round = 0; round < 6000; ++round) {
    const bool char_section = round % 2 == 1;
    std::string save = next(3) == 0 ? " [WORLDITEM e75]"
                                    : (char_section ? "[WORLDCHAR 0190]" : "[WORLDITEM 0e75]");
    save += separators[next(separators.size())];
    // Long sections too, so that whole windows of lines are passed at once.
    const std::size_t lines = round % 3 == 0 ? next(80) : next(12);
    for (std::size_t i = 0; i < lines; ++i) {
      save += pieces[next(pieces.size())];
      save += separators[next(separators.size())];
    }
    if (next(4) == 0)
      save += "[WORLDITEM 01]\r\n";
    else if (next(2) == 0)
      save.resize(
          save.size() -
          (save.back() == '\n' && save.size() > 1 && save[save.size() - 2] == '\r' ? 2 : 1));

    for (bool flags_edit : {false, true}) {
      MemoryLineSink by_line, by_run;
      ForEachSectionLine(save, 0, char_section, flags_edit,
                         [&](const KeptLine& l) { by_line.Append(l); });
      ForEachSectionPiece(
          save, 0, char_section, flags_edit, [&](const KeptLine& l) { by_run.Append(l); },
          [&](std::string_view bytes, std::uint64_t n) { by_run.AppendLines(bytes, n); });
      ASSERT_EQ(by_line.Bytes(), by_run.Bytes()) << "round " << round;
      ASSERT_EQ(by_line.LineCount(), by_run.LineCount()) << "round " << round;
    }
  }
}

TEST(KeptLines, SectionsCopiedWholeGiveTheSameBytesAsLineByLine) {
  // Item sections as the analysis reads them: most written as they stand
  // (copied whole), others with an edit, a comment, an indented or a lone-CR
  // line, a normalised head, too many lines or bytes to note, or the save's
  // last line without a line break.
  const std::vector<std::string> pieces = {
      // clang-format off
      "SERIAL=1", "COLOR=455", "COLOR=0455", "COLOR=", "COLOR=7", "COLOR", "  P=1,2,3", "// note", "FLAGS=8",
      "", "X", "TYPE=69", "CONT=04a", "ATTR=020", "/x", std::string(300, 'Z')};
  // clang-format on
  std::uint32_t seed = 11;
  const auto next = [&seed](std::size_t n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<std::size_t>((seed >> 8) % n);
  };
  std::size_t with_color_zero = 0;
  std::size_t with_head_zero = 0;
  for (int round = 0; round < 300; ++round) {
    std::string save = "[HEADER]\r\n";
    for (int section = 0; section < 40; ++section) {
      const std::size_t head = next(8);
      save += head == 0 ? " [WORLDITEM 0e75]" : head == 1 ? "[WORLDITEM e75]" : "[WORLDITEM 0e75]";
      save += "\r\n";
      if (next(30) == 0) {  // 100 lines but over 32 KiB, or 64 KiB
        const std::size_t width = next(2) == 0 ? 400 : 700;
        for (int i = 0; i < 100; ++i) save += std::string(width, 'W') + "\r\n";
        continue;
      }
      if (next(15) == 0) {  // plain lines around the most that can be noted
        for (std::size_t i = 120 + next(16); i > 0; --i) save += "ATTR=020\r\n";
        continue;
      }
      const std::size_t lines = next(10) == 0 ? 100 + next(300) : next(12);
      for (std::size_t i = 0; i < lines; ++i) {
        const std::size_t piece =
            next(10) < 7 ? next(3) == 0 ? 1 + next(2) : 7 + next(5) : next(pieces.size());
        save += pieces[piece];
        save += next(40) == 0 ? "\n" : next(40) == 0 ? "\r" : "\r\n";
      }
    }
    if (next(2) == 0) save.resize(save.size() - 2);  // no line break after the last line
    World w;
    RecordingHost host;
    Analyse(w, host, save, RunThreads::kOne);
    std::size_t whole = 0;
    for (RecordId id = 0; id < w.Items.Size(); ++id) {
      const TWorldItem& item = w.Items[id];
      if (VerbatimOf(item).bytes != 0) ++whole;
      if (VerbatimOf(item).color_zero) ++with_color_zero;
      if (VerbatimOf(item).head_zero) ++with_head_zero;
      MemoryLineSink by_line, copied;
      ForEachKeptLine(w, item, [&](const KeptLine& l) { by_line.Append(l); });
      AppendKeptLines(w, item, copied);
      ASSERT_EQ(by_line.Bytes(), copied.Bytes()) << "round " << round << " item " << id;
      ASSERT_EQ(by_line.LineCount(), copied.LineCount()) << "round " << round << " item " << id;
    }
    ASSERT_GT(whole, 0u) << round;
    ASSERT_LT(whole, w.Items.Size()) << round;
  }
  EXPECT_GT(with_color_zero, 100u);
  EXPECT_GT(with_head_zero, 100u);
}

}  // namespace
}  // namespace orv::testing
