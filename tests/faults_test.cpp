// Failures around a run: the disk fills up while saving, memory runs out on
// a giant save, another program cuts the save short while it is read. Each
// must end with exit status 1 and one clear line, both
// existing targets unchanged, no temporary file left and the source as it
// was. The limits are set on the command line's process with prlimit.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/run.h"
#include "engine/world.h"
#include "platform/sanitizers.h"
#include "tests/recording_host.h"
#include "tests/test_util.h"

namespace orv::testing {
namespace {

struct Exit {
  int code = -1;
  std::string err;
};

Exit RunLimited(const std::string& limit, const TempDir& dir, const std::string& source) {
  const std::string err_file = dir.File("stderr.txt");
  const std::string command = "prlimit " + limit + " '" + std::string(ORVANTOR_CLI) +
                              "' convert '" + source + "' --world-file '" + dir.File("world.scp") +
                              "' --char-file '" + dir.File("chars.scp") + "' -q >/dev/null 2>'" +
                              err_file + "'";
  const int status = std::system(command.c_str());
  Exit e;
  e.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  e.err = ReadFile(err_file);
  std::remove(err_file.c_str());
  return e;
}

std::string BigSave(std::size_t items) {
  std::string save = "TITLE=ORV\r\n";
  save.reserve(items * 40);
  for (std::size_t i = 0; i < items; ++i)
    save += "[WORLDITEM 0eed]\r\nSERIAL=" + std::to_string(i) + "\r\nCOLOR=455\r\n";
  save += "[EOF]\r\n";
  return save;
}

void ExpectNothingLost(const TempDir& dir, const std::string& source, const std::string& save,
                       const Exit& e) {
  EXPECT_EQ(e.code, 1) << e.err;
  EXPECT_EQ(std::count(e.err.begin(), e.err.end(), '\n'), 1) << e.err;
  EXPECT_EQ(ReadFile(dir.File("world.scp")), "old world\r\n");
  EXPECT_EQ(ReadFile(dir.File("chars.scp")), "old chars\r\n");
  EXPECT_EQ(ReadFile(source), save);
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"chars.scp", "source.scp", "world.scp"}));
}

// Writes the source and two old targets into `dir`; returns the source path.
std::string PrepareFolder(const TempDir& dir, const std::string& save) {
  const std::string source = dir.File("source.scp");
  WriteFile(source, save);
  WriteFile(dir.File("world.scp"), "old world\r\n");
  WriteFile(dir.File("chars.scp"), "old chars\r\n");
  return source;
}

TEST(Faults, TheDiskFillingUpWhileSavingLosesNothing) {
  TempDir dir;
  const std::string save = BigSave(50000);
  const std::string source = PrepareFolder(dir, save);
  // Files may grow to 64 KiB: the world file's temporary copy hits the
  // limit half way.
  const Exit e = RunLimited("--fsize=65536", dir, source);
  ExpectNothingLost(dir, source, save, e);
  EXPECT_NE(e.err.find("cannot write"), std::string::npos) << e.err;
}

TEST(Faults, TheDiskFillingUpMidwayThroughABigFileLosesNothing) {
  TempDir dir;
  const std::string save = BigSave(300000);  // about 12 MB, many full buffers
  const std::string source = PrepareFolder(dir, save);
  // The limit falls in the middle of the world file, after several buffers
  // went out whole.
  const Exit e = RunLimited("--fsize=5000000", dir, source);
  ExpectNothingLost(dir, source, save, e);
  EXPECT_NE(e.err.find("cannot write"), std::string::npos) << e.err;
}

TEST(Faults, MemoryRunningOutOnAGiantSaveIsAnError) {
  if (platform::kSanitized)
    GTEST_SKIP() << "the sanitizers need more address space than the limit leaves";
  TempDir dir;
  const std::string save = BigSave(2000000);  // about 80 MB
  const std::string source = PrepareFolder(dir, save);
  // 64 MiB of address space cannot hold the save.
  const Exit e = RunLimited("--as=67108864", dir, source);
  ExpectNothingLost(dir, source, save, e);
  EXPECT_NE(e.err.find("memory"), std::string::npos) << e.err;
}

TEST(FaultsDeathTest, ASaveCutShortWhileItIsReadEndsTheRunAndLeavesNoTemporaryFile) {
  // A server that rewrites its save in place, here at the run's first pump:
  // the mapped pages are gone, and every later read of them is a bus error.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The run ends in the fault handler with the analysis's helper threads
  // unjoined, on purpose; ThreadSanitizer would count them as leaked and
  // change the exit status.
  const char* tsan = std::getenv("TSAN_OPTIONS");
  ::setenv("TSAN_OPTIONS", (std::string(tsan ? tsan : "") + ":report_thread_leaks=0").c_str(), 1);
  // A small save is mapped in one go, a big one (80 MB) in two halves at
  // once: the same promise holds for both.
  for (const std::size_t items : {std::size_t{300000}, std::size_t{2000000}}) {
    TempDir dir;
    const std::string save = BigSave(items);
    const std::string source = PrepareFolder(dir, save);
    const auto run = [&] {
      World w;
      RecordingHost host;
      host.source = source;
      host.world_file = dir.File("world.scp");
      host.char_file = dir.File("chars.scp");
      host.on_process_messages = [&](RecordingHost&) {
        if (::truncate(source.c_str(), 0) != 0) std::abort();
      };
      RunConversion(w, host);
      std::exit(0);  // not reached: the run reads the source after the pump
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(1),
                "the world save '.*source.scp' was cut short while it was being read .*"
                "the targets are unchanged");
    EXPECT_EQ(ReadFile(dir.File("world.scp")), "old world\r\n");
    EXPECT_EQ(ReadFile(dir.File("chars.scp")), "old chars\r\n");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"chars.scp", "source.scp", "world.scp"}));
  }
}

TEST(Faults, AReadOnlyTargetFolderLeavesBothTargetsAlone) {
  TempDir dir;
  const std::string folder = dir.File("locked");
  std::filesystem::create_directory(folder);
  const std::string source = dir.File("source.scp");
  WriteFile(source, "[WORLDITEM 0eed]\r\nSERIAL=1\r\n[EOF]\r\n");
  WriteFile(folder + "/world.scp", "old world\r\n");
  WriteFile(dir.File("chars.scp"), "old chars\r\n");
  using std::filesystem::perms;
  std::filesystem::permissions(dir.path(), perms::owner_all | perms::group_read |
                                               perms::group_exec | perms::others_read |
                                               perms::others_exec);
  std::filesystem::permissions(folder, perms::owner_read | perms::owner_exec | perms::group_read |
                                           perms::group_exec | perms::others_read |
                                           perms::others_exec);
  std::filesystem::permissions(source, perms::owner_read | perms::owner_write | perms::others_read);
  // The superuser may write anywhere: run the command as nobody then.
  const std::string as_user =
      ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  const std::string command = as_user + "'" + std::string(ORVANTOR_CLI) + "' convert '" + source +
                              "' --world-file '" + folder + "/world.scp' --char-file '" +
                              dir.File("chars.scp") + "' -q >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  EXPECT_EQ(ReadFile(folder + "/world.scp"), "old world\r\n");
  EXPECT_EQ(ReadFile(dir.File("chars.scp")), "old chars\r\n");
  std::filesystem::permissions(folder, perms::owner_all);
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"chars.scp", "locked", "source.scp"}));
}

TEST(Faults, PathsWithBlanksHighBytesAndLongNamesWork) {
  TempDir dir;
  const std::string folder = dir.File("a folder \xe9\xff");
  std::filesystem::create_directory(folder);
  const std::string long_name(240, 'n');
  const std::string source = folder + "/world save \xc3\xa9.scp";
  WriteFile(source, "[WORLDCHAR 0190]\r\nSERIAL=1\r\nACCOUNT=a\r\n[EOF]\r\n");
  const std::string world = folder + "/" + long_name + ".scp";
  const std::string chars = folder + "/chars \x01 file.scp";
  const std::string command = "'" + std::string(ORVANTOR_CLI) + "' convert '" + source +
                              "' --world-file '" + world + "' --char-file '" + chars +
                              "' -q >/dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(ReadFile(chars).substr(0, 35), "// ORVANTOR v4.0 FULL - Pellacord\r\n");
  EXPECT_NE(ReadFile(world).find("[EOF]"), std::string::npos);
  // Only the three files: no temporary file next to them.
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++entries;
  EXPECT_EQ(entries, 3u);
}

}  // namespace
}  // namespace orv::testing
