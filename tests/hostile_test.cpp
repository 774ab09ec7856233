// Saves from crashed servers, old versions, hand edits and strangers: every
// one converts to two framed files, or fails with a clear error, without a
// crash and in time linear in its size. Each case runs with every clean-up
// pass on, the walks that could recurse or loop included.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "engine/host.h"
#include "engine/line_sink.h"
#include "engine/run.h"
#include "engine/world.h"
#include "tests/test_util.h"

namespace orv::testing {
namespace {

// A host that records nothing, for saves of a million sections.
class QuietHost final : public SilentHost {
 public:
  bool all_passes = true;
  LineList positions{"1,1,1"}, illegal{"0eed", "0e75"};

  bool Checked(Switch s) override { return s != Switch::kTurnOffPc && all_passes; }
  LineList PositionList() override { return positions; }
  LineList IllegalList() override { return illegal; }
  int Position() override { return 500; }
};

struct Output {
  std::string chars;
  std::string world;
};

Output Convert(std::string_view save, QuietHost host = QuietHost()) {
  World w;
  w.SourceLines.LoadFromBytes(save);
  MemoryLineSink chars, world;
  AnalyseCleanAndWrite(w, host, chars, world);
  return {chars.Bytes(), world.Bytes()};
}

constexpr std::string_view kOpening = "// ORVANTOR v4.0 FULL - Pellacord\r\n\r\n";

bool Framed(const std::string& file) {
  return file.rfind(kOpening, 0) == 0 && file.size() >= 7 &&
         file.compare(file.size() - 7, 7, "[EOF]\r\n") == 0;
}

std::size_t Count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

TEST(Hostile, EmptyHeaderOnlyAndNoEndMarker) {
  Output empty = Convert("");
  EXPECT_EQ(empty.chars, std::string(kOpening) + "[EOF]\r\n");
  EXPECT_EQ(empty.world, std::string(kOpening) + "[EOF]\r\n");

  Output header = Convert("// only a header\r\nTITLE=ORV\r\n");
  EXPECT_EQ(header.chars, std::string(kOpening) + "// only a header\r\nTITLE=VANTOR\r\n[EOF]\r\n");

  // The last section runs to the end of the file; it is kept.
  QuietHost keep;
  keep.all_passes = false;
  Output open = Convert("[WORLDITEM 0eed]\r\nSERIAL=1", keep);
  EXPECT_EQ(open.world, std::string(kOpening) +
                            "// unowned items\r\n\r\n[WORLDITEM 0eed]\r\nSERIAL=1\r\n[EOF]\r\n");
}

TEST(Hostile, NothingAfterTheEndMarkerIsRead) {
  QuietHost keep;
  keep.all_passes = false;
  Output out = Convert("[EOF]\r\n[WORLDITEM 0eed]\r\nSERIAL=1\r\n\x01\x02garbage", keep);
  EXPECT_EQ(Count(out.world, "WORLDITEM"), 0u);
}

TEST(Hostile, BinaryGarbageWithNulAndHighBytesPassesByteForByte) {
  using namespace std::string_literals;
  const std::string save = "[WORLDITEM 0eed]\r\nSERIAL=\x00\xff\r\n"s +
                           "\x00\x80\xfe junk \x00\r\n"s +
                           "[WORLDCHAR \xe9]\r\nNAME=\xc3\xa9\x00x\r\nACCOUNT=\r\n[EOF]\r\n"s;
  QuietHost keep;
  keep.all_passes = false;
  Output out = Convert(save, keep);
  EXPECT_TRUE(Framed(out.chars));
  EXPECT_TRUE(Framed(out.world));
  // Leading bytes below 33 are stripped, the rest of a line is kept whole.
  EXPECT_NE(out.world.find("\x80\xfe junk \x00\r\n"s), std::string::npos);
  EXPECT_NE(out.world.find("SERIAL=\x00\xff\r\n"s), std::string::npos);
  EXPECT_NE(out.chars.find("NAME=\xc3\xa9\x00x\r\n"s), std::string::npos);
  EXPECT_NE(out.chars.find("[WORLDCHAR 0\xe9]\r\n"), std::string::npos);
}

TEST(Hostile, CrOnlyLineEndsAreLines) {
  QuietHost keep;
  keep.all_passes = false;
  Output out = Convert("[WORLDITEM 0eed]\rSERIAL=1\r[EOF]\r", keep);
  EXPECT_NE(out.world.find("[WORLDITEM 0eed]\r\nSERIAL=1\r\n[EOF]\r\n"), std::string::npos);
}

TEST(Hostile, OneLineOfOneHundredMebibytes) {
  std::string save = "[WORLDITEM 0eed]\r\nNOTE=";
  save.append(std::size_t{100} << 20, 'x');
  save += "\r\n[EOF]\r\n";
  QuietHost keep;
  keep.all_passes = false;
  Output out = Convert(save, keep);
  EXPECT_GT(out.world.size(), std::size_t{100} << 20);
  EXPECT_TRUE(Framed(out.world));
}

TEST(Hostile, AMillionContainersNestedOneInsideTheOther) {
  std::string save;
  constexpr int kDepth = 1000000;
  save.reserve(kDepth * 40);
  for (int i = 0; i < kDepth; ++i) {
    save += "[WORLDITEM 0e75]\r\nSERIAL=" + std::to_string(i) + "\r\n";
    if (i > 0) save += "CONT=" + std::to_string(i - 1) + "\r\n";
  }
  save += "[EOF]\r\n";
  Output out = Convert(save);
  EXPECT_EQ(Count(out.world, "[WORLDITEM 0e75]"), 0u) << "all inside an illegal container";

  QuietHost keep;
  keep.illegal = {};
  Output kept = Convert(save, keep);
  EXPECT_EQ(Count(kept.world, "[WORLDITEM 0e75]"), static_cast<std::size_t>(kDepth));
  // Every container comes right before what it holds.
  EXPECT_LT(kept.world.find("SERIAL=0\r\n"), kept.world.find("SERIAL=1\r\n"));
  EXPECT_LT(kept.world.find("SERIAL=999998\r\n"), kept.world.find("SERIAL=999999\r\n"));
}

TEST(Hostile, AMillionItemsInOneContainerAndAMillionWithOneSerial) {
  std::string save = "[WORLDITEM 0e75]\r\nSERIAL=1\r\n";
  for (int i = 0; i < 1000000; ++i) save += "[WORLDITEM 0f00]\r\nSERIAL=2\r\nCONT=1\r\n";
  save += "[EOF]\r\n";
  QuietHost keep;
  keep.illegal = {};
  Output out = Convert(save, keep);
  EXPECT_EQ(Count(out.world, "[WORLDITEM 0f00]"), 1000000u);
}

TEST(Hostile, SelfContainingItemsAndShortHeads) {
  QuietHost keep;
  keep.all_passes = false;
  Output out = Convert(
      "[WORLDITEM 0eed]\r\nSERIAL=5\r\nCONT=5\r\n"
      "[WORLDITEM 0eed]\r\n"
      "[WORLDCHAR]\r\nSERIAL=7\r\n"
      "[WORLDITEM\r\nSERIAL=8\r\nCONT=7\r\n"
      "[WORLDITEM \r\n"
      "COLOR=\r\nFLAGS=8\r\n[EOF]\r\n",
      keep);
  EXPECT_NE(out.world.find("[WORLDCHAR]\r\nSERIAL=7\r\n[WORLDITEM\r\nSERIAL=8\r\nCONT=7\r\n"),
            std::string::npos);
  EXPECT_NE(out.world.find("[WORLDITEM 0eed]\r\nSERIAL=5\r\nCONT=5\r\n"), std::string::npos);
  EXPECT_NE(out.world.find("[WORLDITEM \r\nCOLOR=\r\nFLAGS=8\r\n"), std::string::npos);
}

TEST(Hostile, ValuesAtAndBeyondTheirLongestAreCutNotOverrun) {
  const std::string serial10 = "0123456789", serial12 = "0123456789ab";
  const std::string name40(40, 'n');
  QuietHost host;
  host.illegal = {"0123456789", std::string(300, '0'), ""};
  Output out = Convert("[WORLDCHAR 01234567890123]\r\nSERIAL=" + serial12 + "\r\nNAME=" + name40 +
                           "\r\nP=1,2,3\r\n"
                           "[WORLDITEM 02007]\r\nSERIAL=x\r\nCONT=" +
                           serial10 + "\r\nLINK=" + serial12 + "\r\nTYPE=123456789\r\n[EOF]\r\n",
                       host);
  EXPECT_TRUE(Framed(out.chars));
  EXPECT_TRUE(Framed(out.world));
}

TEST(Hostile, HugeAndBinaryLists) {
  QuietHost host;
  LineList many;
  for (int i = 0; i < 200000; ++i) many.Append("0" + std::to_string(i));
  host.illegal = many;
  host.positions.LoadFromBytes(std::string("\x00\xff\r\n\r\n\x01", 6));
  Output out = Convert(
      "[WORLDCHAR 0190]\r\nSERIAL=1\r\nACCOUNT=a\r\nP=1\r\n"
      "[WORLDCHAR 0190]\r\nSERIAL=2\r\nACCOUNT=a\r\nP=1\r\n"
      "[WORLDITEM 01000]\r\nSERIAL=3\r\nCONT=1\r\n[EOF]\r\n",
      host);
  EXPECT_NE(out.chars.find(std::string("P=\x00\xff\r\n", 6)), std::string::npos);
  EXPECT_NE(out.chars.find("P=\r\n"), std::string::npos);
  EXPECT_EQ(out.chars.find("[WORLDITEM 01000]"), std::string::npos) << "on the illegal list";
}

}  // namespace
}  // namespace orv::testing
