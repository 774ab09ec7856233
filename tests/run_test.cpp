// The whole "convert !" run on files: framing of both outputs, status texts,
// locking the window, the source check, and what a failed or refused run
// leaves behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/errors.h"
#include "engine/line_sink.h"
#include "engine/run.h"
#include "tests/test_util.h"

namespace orv::testing {
namespace {

using Lines = std::vector<std::string>;
const std::string kCaption = "// ORVANTOR v4.0 FULL - Pellacord";

const std::string kSave =
    Crlf({"// saved by ORV", "TITLE=ORV 0.55", "[WORLDCHAR 01]", "SERIAL=p", "ACCOUNT=a",
          "[WORLDCHAR 02]", "SERIAL=n", "[WORLDITEM 03]", "SERIAL=i", "[EOF]"});

TEST(Run, FramesBothFiles) {
  FileRun run(kSave);
  ASSERT_EQ(run.Run().status, RunStatus::kCompleted);
  EXPECT_EQ(SplitCrlf(run.Chars()), (Lines{kCaption, "", "// saved by ORV", "TITLE=VANTOR 0.55",
                                           "[WORLDCHAR 01]", "SERIAL=p", "ACCOUNT=a", "[EOF]"}));
  EXPECT_EQ(SplitCrlf(run.WorldFile()),
            (Lines{kCaption, "", "// saved by ORV", "TITLE=VANTOR 0.55", "[WORLDCHAR 02]",
                   "SERIAL=n", "// unowned items", "", "[WORLDITEM 03]", "SERIAL=i", "[EOF]"}));

  run.host.Set(Switch::kDeleteNpcs, true);
  ASSERT_EQ(run.Run().status, RunStatus::kCompleted);
  EXPECT_EQ(SplitCrlf(run.WorldFile()), (Lines{kCaption, "", "// saved by ORV", "TITLE=VANTOR 0.55",
                                               "[WORLDITEM 03]", "SERIAL=i", "[EOF]"}));
}

TEST(Run, AnEmptyWorldStillGivesTwoFramedFiles) {
  // A world with nothing in it is a save of its end marker alone.
  FileRun run("[EOF]\r\n");
  run.host.caption = "other caption";
  ASSERT_EQ(run.Run().status, RunStatus::kCompleted);
  EXPECT_EQ(run.Chars(), Crlf({"// other caption", "", "[EOF]"}));
  EXPECT_EQ(run.WorldFile(), Crlf({"// other caption", "", "// unowned items", "", "[EOF]"}));
}

TEST(Run, StatusTextsInOrder) {
  FileRun run(kSave);
  ASSERT_EQ(run.Run().status, RunStatus::kCompleted);
  EXPECT_EQ(run.host.Only("status:"),
            (Lines{"loading file into memory (this may take some minutes)", "analysing worldfile",
                   "processing chars", "processing items", "saving files", "ready"}));

  run.host.ClearEvents();
  for (Switch s : {Switch::kIllegalItems, Switch::kMoveChars, Switch::kShrinkPets,
                   Switch::kDeleteNpcs, Switch::kDeleteRespawnPoints, Switch::kTurnOffPc})
    run.host.Set(s, true);
  ASSERT_EQ(run.Run().status, RunStatus::kCompleted);
  EXPECT_EQ(run.host.Only("status:"),
            (Lines{"loading file into memory (this may take some minutes)", "analysing worldfile",
                   "moving chars to specified positions", "shrinking pets", "deleting NPCs",
                   "deleting respawn points", "deleting memory objects linked to spawn points",
                   "deleting illegal items", "processing chars", "processing items", "saving files",
                   "shutting down the PC", "ready"}));
}

TEST(Run, PowerOffIsRequestedAndTheRunStillEndsReady) {
  FileRun run(kSave);
  run.host.Set(Switch::kTurnOffPc, true);
  ASSERT_EQ(run.Run().status, RunStatus::kCompleted);
  const Lines& e = run.host.events;
  auto at = [&](const std::string& event) {
    return std::find(e.begin(), e.end(), event) - e.begin();
  };
  EXPECT_EQ(at("shutdown"), at("status:shutting down the PC") + 1);
  EXPECT_EQ(at("status:ready"), at("shutdown") + 1);
  EXPECT_EQ(e[at("status:ready") + 1], "progress:0");
  EXPECT_EQ(std::count(e.begin(), e.end(), "shutdown"), 1);
}

Lines LockEvents() {
  Lines l;
  for (const char* c :
       {"BitBtn1", "CheckBox1", "CheckBox2", "CheckBox3", "CheckBox4", "CheckBox5", "BitBtn3",
        "BitBtn4", "BitBtn5", "Button1", "Button2", "Button3", "Memo4", "Memo5"})
    l.push_back(std::string(c) + "=0");
  return l;
}

Lines UnlockEvents(bool move, bool illegal, bool delete_npcs) {
  auto on = [](bool b) { return b ? std::string("=1") : std::string("=0"); };
  return {"BitBtn1=1",
          "CheckBox1=1",
          "CheckBox2=1",
          "CheckBox3" + on(delete_npcs),
          "CheckBox4=1",
          "CheckBox5=1",
          "BitBtn2" + on(move),
          "BitBtn3" + on(move),
          "BitBtn4" + on(illegal),
          "BitBtn5" + on(illegal),
          "Button1=1",
          "Button2=1",
          "Button3=1",
          "Memo4" + on(move),
          "Memo5" + on(illegal)};
}

TEST(Run, LocksTheWindowFirstAndUnlocksItLastAsTheSwitchesSay) {
  for (int combo = 0; combo < 8; ++combo) {
    const bool move = combo & 1, illegal = combo & 2, delete_npcs = combo & 4;
    FileRun run(kSave);
    run.host.Set(Switch::kMoveChars, move);
    run.host.Set(Switch::kIllegalItems, illegal);
    run.host.Set(Switch::kDeleteNpcs, delete_npcs);
    ASSERT_EQ(run.Run().status, RunStatus::kCompleted);
    Lines expected = LockEvents();
    const Lines unlock = UnlockEvents(move, illegal, delete_npcs);
    expected.insert(expected.end(), unlock.begin(), unlock.end());
    EXPECT_EQ(run.host.Only("enable:"), expected) << combo;
    const Lines& e = run.host.events;
    ASSERT_GE(e.size(), 16u);
    EXPECT_EQ(e[0], "enable:BitBtn1=0") << "nothing happens before the lock";
    EXPECT_EQ(e[14], "status:loading file into memory (this may take some minutes)");
    EXPECT_EQ(e[e.size() - 17], "status:ready");
    EXPECT_EQ(e[e.size() - 16], "progress:0");
  }
}

TEST(Run, AMissingSourceShowsTheMessageAndChangesNothing) {
  if (UnderWine())
    GTEST_SKIP() << "Wine keeps a file removed while it is mapped until it is unmapped";
  FileRun run(kSave);
  ASSERT_EQ(run.Run().status, RunStatus::kCompleted);
  const std::string chars = run.Chars(), world = run.WorldFile();
  const std::int64_t char_count = run.w.CharCount;
  std::filesystem::remove(run.host.source);
  run.host.ClearEvents();
  run.host.caption = "my caption";
  EXPECT_EQ(run.Run().status, RunStatus::kSourceMissing);
  EXPECT_EQ(run.host.events,
            Lines{"msgbox:my caption:Error: can't find Source Worldfile\n maybe you moved, renamed "
                  "or deleted it after selecting it?:16"});
  EXPECT_EQ(run.Chars(), chars);
  EXPECT_EQ(run.WorldFile(), world);
  EXPECT_EQ(run.w.CharCount, char_count) << "the last run's records stay";
}

TEST(Run, TwoRunsInARowWriteTheSameFiles) {
  FileRun run(kSave);
  for (Switch s : {Switch::kIllegalItems, Switch::kMoveChars, Switch::kDeleteRespawnPoints})
    run.host.Set(s, true);
  run.host.positions = LineList{"1,2,3"};
  run.host.illegal = LineList{"03"};
  ASSERT_EQ(run.Run().status, RunStatus::kCompleted);
  const std::string chars = run.Chars(), world = run.WorldFile();
  const RunResult second = run.Run();
  ASSERT_EQ(second.status, RunStatus::kCompleted);
  EXPECT_EQ(run.Chars(), chars);
  EXPECT_EQ(run.WorldFile(), world);
  EXPECT_EQ(second.summary.chars, 2);
  EXPECT_EQ(second.summary.items, 1);
}

// A failed run must leave both targets as they were, no temporary file
// behind, an unlocked window, and say what went wrong.
void ExpectFailedCleanly(FileRun& run, const std::string& old_chars, const std::string& old_world) {
  const RunResult result = run.Run();
  EXPECT_EQ(result.status, RunStatus::kFailed);
  EXPECT_FALSE(result.error.empty());
  ASSERT_EQ(run.host.Only("error:").size(), 1u);
  EXPECT_EQ(run.host.Only("error:")[0], result.error);
  EXPECT_TRUE(run.host.Only("status:ready").empty());
  EXPECT_EQ(run.host.Only("enable:").back(), "Memo5=0") << "unlocked at the end";
  EXPECT_EQ(run.host.ProgressValues().back(), 0);
  if (std::filesystem::is_regular_file(run.host.char_file)) {
    EXPECT_EQ(run.Chars(), old_chars);
  }
  if (std::filesystem::is_regular_file(run.host.world_file)) {
    EXPECT_EQ(run.WorldFile(), old_world);
  }
}

TEST(Run, AnUnreadableSourceLeavesTheTargetsAlone) {
  FileRun run(kSave);
  WriteFile(run.host.char_file, "old chars");
  WriteFile(run.host.world_file, "old world");
  std::filesystem::remove(run.host.source);
  std::filesystem::create_directory(run.host.source);  // exists, but cannot be read as a file
  ExpectFailedCleanly(run, "old chars", "old world");
  EXPECT_EQ(run.dir.Names(), (Lines{"out-chars.scp", "out-world.scp", "world.scp"}));
}

TEST(Run, AnUnwritableTargetFolderLeavesTheOtherTargetAlone) {
  for (bool world_missing : {true, false}) {
    FileRun run(kSave);
    WriteFile(run.host.char_file, "old chars");
    WriteFile(run.host.world_file, "old world");
    (world_missing ? run.host.world_file : run.host.char_file) = run.dir.File("no/such/folder.scp");
    ExpectFailedCleanly(run, "old chars", "old world");
    EXPECT_EQ(run.dir.Names(), (Lines{"out-chars.scp", "out-world.scp", "world.scp"}));
  }
}

TEST(Run, ATargetThatIsAFolderFailsBeforeTheOtherIsReplaced) {
  FileRun run(kSave);
  WriteFile(run.host.char_file, "old chars");
  std::filesystem::create_directory(run.host.world_file);
  ExpectFailedCleanly(run, "old chars", "");
  EXPECT_EQ(run.Chars(), "old chars");
  EXPECT_EQ(run.dir.Names(), (Lines{"out-chars.scp", "out-world.scp", "world.scp"}));
}

#ifndef _WIN32  // mode bits; Windows keeps attributes and access rules (platform_win_test)
TEST(Run, AReplacedTargetKeepsItsPermissions) {
  FileRun run(kSave);
  WriteFile(run.host.char_file, "old chars");
  namespace fs = std::filesystem;
  fs::permissions(run.host.char_file, fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_EQ(run.Run().status, RunStatus::kCompleted);
  EXPECT_EQ(fs::status(run.host.char_file).permissions(),
            fs::perms::owner_read | fs::perms::owner_write)
      << "a private character file must not become readable by others";
}
#endif

TEST(Run, ACancelledRunLeavesTheTargetsAlone) {
  FileRun run(kSave);
  WriteFile(run.host.char_file, "old chars");
  run.host.cancel = true;
  EXPECT_EQ(run.Run().status, RunStatus::kCancelled);
  EXPECT_EQ(run.Chars(), "old chars");
  EXPECT_FALSE(std::filesystem::exists(run.host.world_file));
  EXPECT_EQ(run.dir.Names(), (Lines{"out-chars.scp", "world.scp"}));
  EXPECT_EQ(run.host.Only("enable:").back(), "Memo5=0");
}

TEST(Run, TargetsThatAreTheSourceOrEachOtherAreRefusedBeforeAnything) {
  FileRun run(kSave);
  const std::string link = run.dir.File("hard-link.scp");
  std::filesystem::create_hard_link(run.host.source, link);
  const std::string out = run.dir.File("out.scp");
  struct Case {
    std::string world, chars;
  };
  for (const Case& c :
       {Case{run.host.source, out}, Case{out, link}, Case{out, run.dir.path() + "/./out.scp"}}) {
    run.host.ClearEvents();
    run.host.world_file = c.world;
    run.host.char_file = c.chars;
    const RunResult result = run.Run();
    EXPECT_EQ(result.status, RunStatus::kRefused) << c.world << " " << c.chars;
    ASSERT_EQ(run.host.events.size(), 1u);
    EXPECT_EQ(run.host.events[0], "msgbox:Error:" + result.error + ":16");
  }
  EXPECT_EQ(ReadFile(run.host.source), kSave);
  EXPECT_EQ(run.dir.Names(), (Lines{"hard-link.scp", "world.scp"}));
}

TEST(Run, AMillionSectionSaveConverts) {
  std::string save;
  save.reserve(40u << 20);
  for (int i = 0; i < 1000000; ++i) {
    save += i % 4 ? "[WORLDITEM 0e75]\r\nSERIAL=" : "[WORLDCHAR 0190]\r\nACCOUNT=a\r\nSERIAL=";
    save += std::to_string(i);
    save += "\r\nCONT=";
    save += std::to_string(i - i % 4);
    save += "\r\n";
  }
  FileRun run(save + "[EOF]\r\n");
  run.host.Set(Switch::kDeleteNpcs, true);
  const RunResult result = run.Run();
  ASSERT_EQ(result.status, RunStatus::kCompleted);
  EXPECT_EQ(result.summary.chars, 250000);
  EXPECT_EQ(result.summary.contained, 750000);
  EXPECT_EQ(result.summary.char_file_bytes, save.size() + kCaption.size() + 4 + 7);
}

// The sample save's sections twenty times over (its "[EOF]" and what
// follows cut off), then a generated save: every pass finds work in it.
std::string PassRichSave() {
  const std::string sample = ReadFile(std::string(ORVANTOR_SOURCE_DIR) + "/samples/world.scp");
  const std::string body = sample.substr(0, sample.find("[EOF]"));
  std::string save;
  for (int i = 0; i < 20; ++i) save += body;
  return save + MixedSave(30000, true);
}

struct MemoryRun {
  std::vector<std::string> events;
  std::string chars, world;
};

MemoryRun RunInMemory(const std::string& save, RunThreads threads, int position, bool delete_npcs) {
  World w;
  RecordingHost host;
  host.position = position;
  host.Set(Switch::kDeleteNpcs, delete_npcs);
  host.Set(Switch::kShrinkPets, delete_npcs);
  host.positions.LoadFromFile(std::string(ORVANTOR_SOURCE_DIR) + "/samples/positions.txt");
  host.illegal.LoadFromFile(std::string(ORVANTOR_SOURCE_DIR) + "/samples/illegal.txt");
  w.SourceLines.LoadFromBytes(save);
  MemoryLineSink chars, world;
  AnalyseCleanAndWrite(w, host, chars, world, threads);
  return {host.events, chars.Bytes(), world.Bytes()};
}

TEST(Run, TwoThreadsWriteTheSameFilesWithTheSamePumpsAsOne) {
  const std::string save = PassRichSave();
  for (bool delete_npcs : {true, false}) {
    for (int position : {0, 250}) {
      const MemoryRun one = RunInMemory(save, RunThreads::kOne, position, delete_npcs);
      const MemoryRun two = RunInMemory(save, RunThreads::kTwo, position, delete_npcs);
      ASSERT_GT(one.world.size(), 100000u);
      EXPECT_EQ(one.events, two.events)
          << "delete NPCs " << delete_npcs << ", position " << position;
      EXPECT_EQ(one.chars, two.chars);
      EXPECT_EQ(one.world, two.world);
    }
  }
}

TEST(Run, ACancelWhileWritingStopsTheWorldFileThread) {
  const std::string save = PassRichSave();
  for (const char* stage : {"processing chars", "processing items"}) {
    World w;
    RecordingHost host;
    host.position = 0;
    // Cancels at the second pump after the stage's status text.
    const std::string status = std::string("status:") + stage;
    std::size_t seen = 0;
    int pumps_in_stage = 0;
    host.on_process_messages = [&](RecordingHost& h) {
      for (; seen < h.events.size(); ++seen) {
        if (h.events[seen].rfind("status:", 0) == 0)
          pumps_in_stage = h.events[seen] == status ? 0 : -1;
      }
      if (pumps_in_stage >= 0 && ++pumps_in_stage == 2) h.cancel = true;
    };
    w.SourceLines.LoadFromBytes(save);
    MemoryLineSink chars, world;
    EXPECT_THROW(AnalyseCleanAndWrite(w, host, chars, world, RunThreads::kTwo), RunCancelled)
        << stage;
    EXPECT_EQ(w.CharLines, nullptr);
  }
}

// Fails every hand-over once `budget` bytes were taken, as a full disk would.
class FailingSink final : public LineSink {
 public:
  explicit FailingSink(std::size_t budget) : LineSink(4096), budget_(budget) {}
  ~FailingSink() override = default;

 protected:
  void Drain(const char*, std::size_t size) override {
    if (size > budget_) throw IoError("no space left on device");
    budget_ -= size;
  }

 private:
  std::size_t budget_;
};

TEST(Run, AWriteErrorOfTheWorldFileThreadReachesTheRun) {
  const std::string save = PassRichSave();
  for (RunThreads threads : {RunThreads::kOne, RunThreads::kTwo}) {
    World w;
    RecordingHost host;
    w.SourceLines.LoadFromBytes(save);
    MemoryLineSink chars;
    FailingSink world(100000);
    EXPECT_THROW(AnalyseCleanAndWrite(w, host, chars, world, threads), IoError);
  }
}

}  // namespace
}  // namespace orv::testing
