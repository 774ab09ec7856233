// The world save's line grammar: how a file becomes lines and back, and what
// the reader keeps of each line of a section.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "engine/line_list.h"
#include "engine/line_rules.h"
#include "engine/line_split.h"
#include "engine/section_walk.h"
#include "engine/source_text.h"
#include "tests/test_util.h"

namespace orv::testing {
namespace {

using Lines = std::vector<std::string>;

Lines Split(std::string_view bytes) {
  LineList list;
  list.LoadFromBytes(bytes);
  return list.Lines();
}

// The line rules, the slow and obvious way.
std::uint64_t ReferenceLineCount(std::string_view b) {
  std::uint64_t lines = 0;
  for (std::size_t i = 0; i < b.size();) {
    std::size_t j = i;
    while (j < b.size() && b[j] != '\r' && b[j] != '\n') ++j;
    ++lines;
    if (j < b.size()) j += (b[j] == '\r' && j + 1 < b.size() && b[j + 1] == '\n') ? 2 : 1;
    i = j;
  }
  return lines;
}

TEST(LineSplit, EverySeparatorKind) {
  EXPECT_EQ(Split("a\rb\nc\r\nd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(Split("a\n\rb"), (Lines{"a", "", "b"})) << "LF CR is two separators";
  EXPECT_EQ(Split("a\r\n"), (Lines{"a"})) << "no empty last line";
  EXPECT_EQ(Split("a\r\n\r\n"), (Lines{"a", ""}));
  EXPECT_EQ(Split("a\r"), (Lines{"a"}));
  EXPECT_EQ(Split(""), Lines{});
  EXPECT_EQ(Split("\r\n"), (Lines{""}));
  EXPECT_EQ(Split(std::string("x\0y\n", 4)), (Lines{std::string("x\0y", 3)}));
}

TEST(LineSplit, CountAgreesWithTheCursorOnRandomBytes) {
  std::mt19937 rng(7);
  const char alphabet[] = {'\r', '\n', 'a', ' ', '['};
  for (int round = 0; round < 2000; ++round) {
    // Short buffers for the edges, long ones for the wide blocks.
    std::string bytes(round % 4 == 0 ? rng() % 3000 : rng() % 80, ' ');
    for (char& c : bytes) c = alphabet[rng() % 5];
    std::uint64_t cursor_lines = 0;
    for (LineCursor c(bytes); c.HasLine(); c.Advance()) ++cursor_lines;
    ASSERT_EQ(CountLines(bytes), ReferenceLineCount(bytes)) << round;
    ASSERT_EQ(cursor_lines, ReferenceLineCount(bytes)) << round;
  }
}

TEST(LineSplit, CursorFindsTheEndOfLinesOfEveryLength) {
  // The search for a line's end takes wide steps; a line of any length, and
  // a last line without separator, must end exactly where it does.
  for (std::size_t length = 0; length <= 100; ++length) {
    for (const std::string_view separator : {"\r\n", "\n", "\r"}) {
      const std::string line(length, 'k');
      const std::string bytes = line + std::string(separator) + "v" + std::string(separator) + line;
      Lines expected{line, "v"};
      if (length > 0) expected.push_back(line);
      Lines seen;
      for (LineCursor c(bytes); c.HasLine(); c.Advance()) seen.emplace_back(c.Line());
      EXPECT_EQ(seen, expected) << length;
    }
  }
}

TEST(LineSplit, LargeSaveCountedInTwoHalvesLosesNoLine) {
  // Big enough to be counted on two threads; CR LF pairs and lone CRs lie
  // all around the middle, where the halves meet.
  std::string bytes(65u << 20, 'x');
  const std::size_t mid = bytes.size() / 2;
  for (std::size_t i = mid - 40; i < mid + 40; i += 3) bytes[i] = '\r';
  for (std::size_t i = mid - 39; i < mid + 40; i += 6) bytes[i] = '\n';
  for (std::size_t i = 0; i < bytes.size(); i += 4099) bytes[i] = '\n';
  bytes.back() = '\r';
  EXPECT_EQ(CountLines(bytes), ReferenceLineCount(bytes));
}

// Lines that begin with `head` at the start or after an LF, by brute force.
std::uint64_t ReferenceHeads(const std::string& bytes, std::string_view head) {
  std::uint64_t n = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if ((i == 0 || bytes[i - 1] == '\n') && bytes.compare(i, head.size(), head) == 0) ++n;
  }
  return n;
}

TEST(LineSplit, HeadsAreCountedWhereALineBeginsUnindented) {
  const LineCounts both = CountLinesAndHeads("[WORLDITEM 01]\r\n[WORLDCHAR 02]\n[WORLDITEM 03]\n");
  EXPECT_EQ(both.item_heads, 2u);
  EXPECT_EQ(both.char_heads, 1u);
  const LineCounts none =
      CountLinesAndHeads(" [WORLDITEM 01]\r\nx[WORLDITEM\r\n\t[WORLDCHAR 01]\n[WORLDCHA");
  EXPECT_EQ(none.item_heads, 0u);
  EXPECT_EQ(none.char_heads, 0u);
  EXPECT_EQ(CountLinesAndHeads("a\r[WORLDITEM 01]\n[WORLDITE").item_heads, 0u)
      << "only heads after an LF are counted: the count is a guess to size the index";
  std::mt19937 rng(11);
  const std::string pieces[] = {
      "\r\n", "\n", "\r", "[WORLDITEM", "[WORLDITEM 0e]", "x", "[WORLDCHAR 7]", " ", "[WORLDCHAR"};
  for (int round = 0; round < 2000; ++round) {
    std::string bytes;
    for (unsigned k = round % 4 == 0 ? rng() % 400 : rng() % 30; k > 0; --k)
      bytes += pieces[rng() % std::size(pieces)];
    const LineCounts counts = CountLinesAndHeads(bytes);
    ASSERT_EQ(counts.lines, ReferenceLineCount(bytes)) << round;
    ASSERT_EQ(counts.item_heads, ReferenceHeads(bytes, "[WORLDITEM")) << round;
    ASSERT_EQ(counts.char_heads, ReferenceHeads(bytes, "[WORLDCHAR")) << round;
  }
}

TEST(LineSplit, HeadsWhereTheTwoHalvesMeetAreCountedOnce) {
  // Large enough for two threads, which split the bytes in the middle: a
  // head that begins right at the middle, and one that straddles it.
  for (const std::string_view head : {"\n[WORLDITEM", "\n[WORLDCHAR"}) {
    for (std::size_t before_middle : {1u, 6u}) {
      std::string bytes(65u << 20, 'x');
      const std::size_t mid = bytes.size() / 2;
      bytes.replace(mid - before_middle, head.size(), head);
      for (std::size_t i = 0; i < bytes.size(); i += 1 << 20) bytes.replace(i, head.size(), head);
      const LineCounts counts = CountLinesAndHeads(bytes);
      const bool items = head == "\n[WORLDITEM";
      EXPECT_EQ(items ? counts.item_heads : counts.char_heads,
                ReferenceHeads(bytes, head.substr(1)))
          << head.substr(1) << " " << before_middle;
      EXPECT_EQ(items ? counts.char_heads : counts.item_heads, 0u) << head.substr(1);
    }
  }
}

TEST(LineList, SavesEveryLineWithCrLfAndReplacesTheFile) {
  TempDir dir;
  const std::string path = dir.File("list.txt");
  WriteFile(path, "old content that is longer than the new one\n");
  LineList list{"1495,1629,10", "", "0186b"};
  list.SaveToFile(path);
  EXPECT_EQ(ReadFile(path), "1495,1629,10\r\n\r\n0186b\r\n");
  LineList back;
  back.LoadFromFile(path);
  EXPECT_EQ(back, list);
  EXPECT_EQ(dir.Names(), Lines{"list.txt"}) << "no temporary file left";
  EXPECT_EQ(LineList().ToBytes(), "");
  EXPECT_THROW(back.LoadFromFile(dir.File("missing.txt")), IoError);
}

TEST(SourceText, ABigSaveIsLoadedWholeFromItsFile) {
  // Big enough to be mapped in two halves at once: bytes that tell every
  // stretch apart, so that a half mapped twice or not at all shows.
  TempDir dir;
  const std::string path = dir.File("big.scp");
  std::string bytes(std::size_t{65} << 20, '\0');
  std::mt19937_64 random(7);
  for (char& b : bytes) b = static_cast<char>(random());
  WriteFile(path, bytes);
  SourceText source;
  source.LoadFromFile(path, SourceText::Counting::kNow);
  ASSERT_EQ(source.Bytes().size(), bytes.size());
  EXPECT_TRUE(source.Bytes() == bytes);
  EXPECT_EQ(source.LineCount(), ReferenceLineCount(bytes));
}

TEST(LineRules, StrippingAndValueCut) {
  EXPECT_EQ(StripLeading(std::string("\t \x01\x1f\0 x y ", 10)), "x y ");
  EXPECT_EQ(StripLeading("\x7f"
                         "a"),
            "\x7f"
            "a")
      << "only codes 0 to 32 are set aside";
  EXPECT_EQ(StripLeading("\xa0"
                         "a"),
            "\xa0"
            "a");
  EXPECT_EQ(ValueCut("SERIAL=", 8, 10), "");
  EXPECT_EQ(ValueCut("SERIAL=0123456789abc", 8, 10), "0123456789");
  EXPECT_EQ(ValueCut("NAME=Bo", 6, 30), "Bo");
}

// What the reader keeps of a head or a body line, seen in the written file.
std::string KeptItemLine(const std::string& line) {
  Bodies out = RoundTrip(Crlf({"[WORLDITEM 01]", line, "[EOF]"}));
  EXPECT_EQ(out.world.size(), 2u);
  return out.world.size() == 2 ? out.world[1] : "";
}

std::string KeptHead(const std::string& head) {
  Bodies out = RoundTrip(Crlf({head, "SERIAL=1", "[EOF]"}));
  EXPECT_EQ(out.world.size(), 2u) << head;
  return out.world.empty() ? "" : out.world[0];
}

TEST(LineRules, HeadsGetALeadingZero) {
  EXPECT_EQ(KeptHead("[WORLDITEM 2007]"), "[WORLDITEM 02007]");
  EXPECT_EQ(KeptHead("[WORLDITEM 0eed]"), "[WORLDITEM 0eed]");
  EXPECT_EQ(KeptHead("[WORLDCHAR c]"), "[WORLDCHAR 0c]");
  EXPECT_EQ(KeptHead("[WORLDCHAR 190]"), "[WORLDCHAR 0190]");
  EXPECT_EQ(KeptHead("  [WORLDITEM 0eed]"), "[WORLDITEM 0eed]");
  // An item head (its first 10 characters match); position 12 is the blank.
  EXPECT_EQ(KeptHead("[WORLDITEMS 0eed]"), "[WORLDITEMS0 0eed]");
  EXPECT_EQ(KeptHead("[WORLDITEMxeed]"), "[WORLDITEMx0eed]") << "position 11 is not checked";
  // Too short for position 12: kept as it is.
  EXPECT_EQ(KeptHead("[WORLDCHAR]"), "[WORLDCHAR]");
  EXPECT_EQ(KeptHead("[WORLDITEM "), "[WORLDITEM ");
  EXPECT_EQ(KeptHead("[WORLDITEM x"), "[WORLDITEM 0x");
}

TEST(LineRules, BodyLinesAreStrippedAndColoursNormalised) {
  EXPECT_EQ(KeptItemLine("COLOR=83ea"), "COLOR=083ea");
  EXPECT_EQ(KeptItemLine("COLOR=0455"), "COLOR=0455");
  EXPECT_EQ(KeptItemLine("COLOR= "), "COLOR=0 ");
  EXPECT_EQ(KeptItemLine("COLOR="), "COLOR=") << "no value: unchanged";
  EXPECT_EQ(KeptItemLine("color=455"), "color=455");
  EXPECT_EQ(KeptItemLine(" \tCOLOR=455 "), "COLOR=0455 ") << "trailing blanks stay";
  EXPECT_EQ(KeptItemLine("FLAGS=08"), "FLAGS=08");
  EXPECT_EQ(KeptItemLine("MORE=a // not a comment"), "MORE=a // not a comment");
  EXPECT_EQ(KeptItemLine("   "), "") << "a blank line is kept, stripped";
}

TEST(LineRules, CommentsInASectionAreDropped) {
  Bodies out = RoundTrip(Crlf({"[WORLDITEM 01]", "//x", "  // y", "A=1", "[EOF]"}));
  EXPECT_EQ(out.world, (Lines{"[WORLDITEM 01]", "A=1"}));
}

TEST(LineRules, FlagsEditOnlyForCharactersWhenNpcsAreDeleted) {
  const std::string save = Crlf({"[WORLDCHAR 01]", "ACCOUNT=a", "FLAGS=08", "FLAGS=0800",
                                 "FLAGS=48", "FLAGS=8", "FLAGS=0", "COLOR=1", "[EOF]"});
  EXPECT_EQ(RoundTrip(save, true).chars,
            (Lines{"[WORLDCHAR 01]", "ACCOUNT=a", "FLAGS=00", "FLAGS=0000", "FLAGS=40", "FLAGS=8",
                   "FLAGS=0", "COLOR=01"}));
  EXPECT_EQ(RoundTrip(save, false).chars,
            (Lines{"[WORLDCHAR 01]", "ACCOUNT=a", "FLAGS=08", "FLAGS=0800", "FLAGS=48", "FLAGS=8",
                   "FLAGS=0", "COLOR=01"}));
}

TEST(SectionWalk, EndsAtTheNextStrippedBracketAndTellsCommentsApart) {
  // The one walk the reader and the writers share: where a section ends,
  // which lines are comments, each line as it stands and stripped, and
  // whether CR LF follows it.
  const std::string save = "  [WORLDITEM 01]\r\nA=1\n\t// note\r\n  B=2\r\n\r\n  [x]\r\nC=3";
  LineCursor c(save);
  std::vector<std::string> seen;
  const auto note = [&](const char* what) {
    return [&seen, what](const SectionLine& l) {
      seen.push_back(std::string(what) + ":" + std::string(l.raw) + "|" + std::string(l.stripped) +
                     (l.crlf ? "|crlf" : "") + (l.Unchanged() ? "|as is" : ""));
    };
  };
  EXPECT_EQ(WalkSection(c, note("head"), note("body"), note("comment")), 5u);
  EXPECT_EQ(seen, (std::vector<std::string>{"head:  [WORLDITEM 01]|[WORLDITEM 01]|crlf",
                                            "body:A=1|A=1", "comment:\t// note|// note|crlf",
                                            "body:  B=2|B=2|crlf", "body:||crlf|as is"}));
  EXPECT_EQ(c.Line(), "  [x]") << "left on the line that ends the section";

  // A section that runs to the end of the source ends there.
  seen.clear();
  EXPECT_EQ(WalkSection(c, note("head"), note("body"), note("comment")), 2u);
  EXPECT_EQ(seen.back(), "body:C=3|C=3");
  EXPECT_FALSE(c.HasLine());
}

TEST(SectionWalk, EveryFirstByteOfALineIsTakenByTheLineRules) {
  // The walk takes most lines by their first byte alone; whatever that byte
  // is, the walk must see what stripping and the rules make of the line.
  for (int first = 0; first < 256; ++first) {
    for (const std::string_view rest : {"X=1", "/X=1", "[x]", ""}) {
      const std::string save = "[WORLDITEM 01]\r\n" + std::string(1, static_cast<char>(first)) +
                               std::string(rest) + "\r\nB=2\r\n[next]\r\n";
      std::vector<std::string> walked;
      LineCursor c(save);
      const auto note = [&walked](const char* what) {
        return [&walked, what](const SectionLine& l) {
          walked.push_back(std::string(what) + ":" + std::string(l.raw) + "|" +
                           std::string(l.stripped) + (l.crlf ? "|crlf" : ""));
        };
      };
      const std::uint64_t lines = WalkSection(c, note("head"), note("body"), note("comment"));

      std::vector<std::string> expected;
      std::uint64_t expected_lines = 0;
      LineCursor r(save);
      for (; r.HasLine(); r.Advance()) {
        const std::string_view s = StripLeading(r.Line());
        if (expected_lines > 0 && IsSectionStart(s)) break;
        const char* what = expected_lines == 0 ? "head" : IsComment(s) ? "comment" : "body";
        expected.push_back(std::string(what) + ":" + std::string(r.Line()) + "|" + std::string(s) +
                           (r.EndsWithCrLf() ? "|crlf" : ""));
        ++expected_lines;
      }
      ASSERT_EQ(walked, expected) << "first byte " << first << ", then " << rest;
      ASSERT_EQ(lines, expected_lines) << "first byte " << first << ", then " << rest;
      ASSERT_EQ(c.Offset(), r.Offset()) << "first byte " << first << ", then " << rest;
    }
  }
}

}  // namespace
}  // namespace orv::testing
