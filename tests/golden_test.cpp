// Whole conversions compared byte for byte: small saves whose expected files
// are worked out by hand from the format's rules, and the bundled sample
// save under every combination of the clean-up switches.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace orv::testing {
namespace {

using Lines = std::vector<std::string>;

// The save's lines joined by every kind of separator in turn, so that the
// loader's rules take part too.
std::string MixedSeparators(const Lines& lines) {
  static const char* const kSeparators[] = {"\r\n", "\n", "\r"};
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) out += lines[i] + kSeparators[i % 3];
  return out;
}

const Lines kSmallSave = {
    // clang-format off
    "// ORV world save", "TITLE=ORV 0.55i", "VERSION=0.55i", "SAVECOUNT=812", "  COLOR=455", "",
    "[WORLDCHAR 190]", "SERIAL=040", "NAME=Aldric", "ACCOUNT=aldric", "P=1000,1000,0",
    "COLOR=83ea", "FLAGS=08", "// remark",
    "[WORLDITEM 9b2]", "SERIAL=041", "CONT=040", "TYPE=1",
    "[WORLDITEM eed]", "SERIAL=042", "CONT=041", "COLOR=0455",
    "[WORLDCHAR 0e1]", "SERIAL=050", "NAME=Rex", "P=5,5,0", "FLAGS=0800",
    "[WORLDITEM 2007]", "SERIAL=051", "CONT=050", "LINK=040",
    "[WORLDSCRIPT 1]", "SERIAL=999",
    "[WORLDITEM 1f4]", "SERIAL=060", "TYPE=34",
    "[WORLDITEM 1f5]", "SERIAL=061", "TYPE=69",
    "[WORLDCHAR 3]", "SERIAL=070", "NAME=Guard",
    "[WORLDITEM 2007]", "SERIAL=071", "CONT=070", "LINK=060",
    "[WORLDITEM 0bad]", "SERIAL=080",
    "  [WORLDITEM 0c]", "SERIAL=081", "CONT=080",
    "[EOF]",
    "[WORLDITEM 0ff]", "SERIAL=090"};
// clang-format on

const Lines kOpening = {"// ORVANTOR v4.0 FULL - Pellacord",
                        "",
                        "// ORV world save",
                        "TITLE=VANTOR 0.55i",
                        "VERSION=0.99f",
                        "SAVECOUNT=0",
                        "  COLOR=455",
                        ""};

std::string Expected(const Lines& body) {
  Lines all = kOpening;
  all.insert(all.end(), body.begin(), body.end());
  return Crlf(all);
}

const Lines kAldricUnchanged = {
    // clang-format off
    "[WORLDCHAR 0190]", "SERIAL=040", "NAME=Aldric", "ACCOUNT=aldric", "P=1000,1000,0",
    "COLOR=083ea", "FLAGS=08",
    "[WORLDITEM 09b2]", "SERIAL=041", "CONT=040", "TYPE=1",
    "[WORLDITEM 0eed]", "SERIAL=042", "CONT=041", "COLOR=0455", "[EOF]"};
// clang-format on

TEST(Golden, SmallSaveWithNoSwitch) {
  FileRun run(MixedSeparators(kSmallSave));
  ASSERT_EQ(run.Run().status, RunStatus::kCompleted);
  EXPECT_EQ(run.Chars(), Expected(kAldricUnchanged));
  EXPECT_EQ(run.WorldFile(), Expected({// clang-format off
      "[WORLDCHAR 0e1]", "SERIAL=050", "NAME=Rex", "P=5,5,0", "FLAGS=0800",
      "[WORLDITEM 02007]", "SERIAL=051", "CONT=050", "LINK=040",
      "[WORLDCHAR 03]", "SERIAL=070", "NAME=Guard",
      "[WORLDITEM 02007]", "SERIAL=071", "CONT=070", "LINK=060",
      "// unowned items", "",
      "[WORLDITEM 01f4]", "SERIAL=060", "TYPE=34",
      "[WORLDITEM 01f5]", "SERIAL=061", "TYPE=69",
      "[WORLDITEM 0bad]", "SERIAL=080",
      "[WORLDITEM 0c]", "SERIAL=081", "CONT=080",
      "[EOF]"}));
                                       // clang-format on
}

TEST(Golden, SmallSaveWithEverySwitch) {
  FileRun run(MixedSeparators(kSmallSave));
  for (Switch s : {Switch::kIllegalItems, Switch::kMoveChars, Switch::kShrinkPets,
                   Switch::kDeleteNpcs, Switch::kDeleteRespawnPoints})
    run.host.Set(s, true);
  run.host.positions = LineList{"1495,1629,10"};
  run.host.illegal = LineList{"0bad"};
  ASSERT_EQ(run.Run().status, RunStatus::kCompleted);
  // Aldric is moved and his flags cleared; Rex, whose first memory object
  // links to Aldric, becomes an item in Aldric's "09b2" container, after
  // what it held; the guard's link names no character. Every NPC goes, the
  // respawn points go, and the listed kind goes with what it holds.
  EXPECT_EQ(run.Chars(), Expected({// clang-format off
      "[WORLDCHAR 0190]", "SERIAL=040", "NAME=Aldric", "ACCOUNT=aldric", "P=1495,1629,10",
      "COLOR=083ea", "FLAGS=00",
      "[WORLDITEM 09b2]", "SERIAL=041", "CONT=040", "TYPE=1",
      "[WORLDITEM 0eed]", "SERIAL=042", "CONT=041", "COLOR=0455",
      "[WORLDITEM 0186b]", "SERIAL=050", "NAME=Rex (shrinked by Pellacord)", "ATTR=020",
      "TYPE=37", "MORE1=0e1", "MORE2=0f5f", "CONT=041", "P=95,131,0", "",
      "[EOF]"}));
                                   // clang-format on
  EXPECT_EQ(run.WorldFile(), Expected({"[EOF]"}));
}

TEST(Golden, SmallSaveDeletingRespawnPointsOnly) {
  FileRun run(MixedSeparators(kSmallSave));
  run.host.Set(Switch::kDeleteRespawnPoints, true);
  ASSERT_EQ(run.Run().status, RunStatus::kCompleted);
  // The guard's memory object links to the removed type 34 item; Rex's
  // links to a character and stays.
  EXPECT_EQ(run.Chars(), Expected(kAldricUnchanged));
  EXPECT_EQ(run.WorldFile(), Expected({// clang-format off
      "[WORLDCHAR 0e1]", "SERIAL=050", "NAME=Rex", "P=5,5,0", "FLAGS=0800",
      "[WORLDITEM 02007]", "SERIAL=051", "CONT=050", "LINK=040",
      "[WORLDCHAR 03]", "SERIAL=070", "NAME=Guard",
      "// unowned items", "",
      "[WORLDITEM 0bad]", "SERIAL=080",
      "[WORLDITEM 0c]", "SERIAL=081", "CONT=080",
      "[EOF]"}));
                                       // clang-format on
}

// ---- the bundled sample

const std::string kSampleDir = std::string(ORVANTOR_SOURCE_DIR) + "/samples";
const std::string kGoldenDir = std::string(ORVANTOR_SOURCE_DIR) + "/tests/golden";

struct Combo {
  bool delete_npcs, shrink_pets, delete_respawn, move_chars, illegal_items;
  std::string Name() const {
    std::string n = "sample";
    if (delete_npcs) n += "-npcs";
    if (shrink_pets) n += "-pets";
    if (delete_respawn) n += "-respawn";
    if (move_chars) n += "-move";
    if (illegal_items) n += "-illegal";
    return n;
  }
};

// "shrink pets" can be ticked only while "delete NPCs" is: 24 combinations.
std::vector<Combo> AllCombos() {
  std::vector<Combo> combos;
  for (int bits = 0; bits < 32; ++bits) {
    Combo c{bool(bits & 1), bool(bits & 2), bool(bits & 4), bool(bits & 8), bool(bits & 16)};
    if (c.shrink_pets && !c.delete_npcs) continue;
    combos.push_back(c);
  }
  return combos;
}

class SampleGolden : public ::testing::TestWithParam<Combo> {};

// Compares with tests/golden/<combo>/; with ORVANTOR_UPDATE_GOLDEN=1 in the
// environment, writes the files there instead (after a change of the sample
// save, checked by hand first).
TEST_P(SampleGolden, MatchesTheGoldenFiles) {
  const std::string sample = kSampleDir + "/world.scp";
  for (const char* name : {"/world.scp", "/positions.txt", "/illegal.txt"})
    if (!std::filesystem::exists(kSampleDir + name)) GTEST_SKIP() << "no samples" << name;
  const Combo c = GetParam();
  FileRun run(ReadFile(sample));
  run.host.Set(Switch::kDeleteNpcs, c.delete_npcs);
  run.host.Set(Switch::kShrinkPets, c.shrink_pets);
  run.host.Set(Switch::kDeleteRespawnPoints, c.delete_respawn);
  run.host.Set(Switch::kMoveChars, c.move_chars);
  run.host.Set(Switch::kIllegalItems, c.illegal_items);
  run.host.positions.LoadFromFile(kSampleDir + "/positions.txt");
  run.host.illegal.LoadFromFile(kSampleDir + "/illegal.txt");
  ASSERT_EQ(run.Run().status, RunStatus::kCompleted);

  const std::string dir = kGoldenDir + "/" + c.Name();
  const char* update = std::getenv("ORVANTOR_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    std::filesystem::create_directories(dir);
    WriteFile(dir + "/chars.scp", run.Chars());
    WriteFile(dir + "/world.scp", run.WorldFile());
    return;
  }
  ASSERT_TRUE(std::filesystem::exists(dir + "/chars.scp")) << "no golden files for " << c.Name();
  EXPECT_TRUE(run.Chars() == ReadFile(dir + "/chars.scp"))
      << c.Name() << ": character file differs";
  EXPECT_TRUE(run.WorldFile() == ReadFile(dir + "/world.scp"))
      << c.Name() << ": world file differs";
}

INSTANTIATE_TEST_SUITE_P(AllSwitches, SampleGolden, ::testing::ValuesIn(AllCombos()),
                         [](const ::testing::TestParamInfo<Combo>& info) {
                           std::string name = info.param.Name();
                           for (char& ch : name)
                             if (ch == '-') ch = '_';
                           return name;
                         });

}  // namespace
}  // namespace orv::testing
