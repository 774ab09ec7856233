// The interrupt handlers on their own, in a child process each: what an
// interrupt does in each phase of a run, and that a hold keeps it off until
// its end (the two renames of a commit are made under one).

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/file_system.h"
#include "platform/interrupts.h"
#include "tests/test_util.h"

namespace orv::testing {
namespace {

using platform::InterruptHold;
using platform::RunPhase;

TEST(InterruptsDeathTest, EachPhaseEndsAsItPromises) {
  // Forked, not run again: the child sees the same folder.
  GTEST_FLAG_SET(death_test_style, "fast");
  TempDir dir;
  const std::string temporary = dir.File(".out.scp.orvantor-1-0.tmp");
  const auto interrupted_in = [&](RunPhase phase) {
    platform::InstallInterruptHandlers(3);
    WriteFile(temporary, "half a file");
    platform::NoteTemporaryFile(temporary.c_str());
    platform::SetRunPhase(phase);
    ::raise(SIGINT);
    std::exit(0);  // not reached
  };
  // Working: the temporary file goes, the process ends by the signal.
  EXPECT_EXIT(interrupted_in(RunPhase::kWorking), ::testing::KilledBySignal(SIGINT),
              "^[^\n]*: interrupted by SIGINT; the targets are unchanged\n$");
  EXPECT_FALSE(std::filesystem::exists(temporary));
  // Saved: said so, with the status given.
  EXPECT_EXIT(interrupted_in(RunPhase::kSaved), ::testing::ExitedWithCode(3),
              "interrupted by SIGINT after both files were saved");
  // Idle: what the signal did before, silently.
  EXPECT_EXIT(interrupted_in(RunPhase::kIdle), ::testing::KilledBySignal(SIGINT), "^$");
}

TEST(InterruptsDeathTest, AnInterruptDuringAHoldWaitsForItsEnd) {
  // Forked, not run again: the child sees the same folder.
  GTEST_FLAG_SET(death_test_style, "fast");
  TempDir dir;
  const std::string marker = dir.File("held");
  const auto interrupted_in_a_hold = [&] {
    platform::InstallInterruptHandlers(3);
    platform::SetRunPhase(RunPhase::kWorking);
    {
      InterruptHold outer;
      {
        InterruptHold inner;
        ::raise(SIGTERM);
      }
      ::raise(SIGTERM);  // the first still waits for the outer hold
      WriteFile(marker, "the hold ran to its end");
    }
    std::exit(0);  // not reached: the interrupt is acted on here
  };
  EXPECT_EXIT(interrupted_in_a_hold(), ::testing::KilledBySignal(SIGTERM),
              "interrupted by SIGTERM; the targets are unchanged");
  EXPECT_EQ(ReadFile(marker), "the hold ran to its end");
}

TEST(InterruptsDeathTest, OnlyThePairsCommitMarksTheRunSaved) {
  // A dry run commits its report alone, and an interrupt after it must not
  // claim that both files were saved.
  GTEST_FLAG_SET(death_test_style, "fast");
  TempDir dir;
  const auto interrupted_after = [&](bool the_pair) {
    platform::InstallInterruptHandlers(3);
    platform::SetRunPhase(RunPhase::kWorking);
    platform::AtomicFileWriter report(dir.File("report.jsonl"));
    report.Write("{}\n", 3);
    if (the_pair) {
      platform::AtomicFileWriter world(dir.File("world.scp"));
      world.Write("[EOF]\n", 6);
      platform::AtomicFileWriter* files[] = {&report, &world};
      platform::CommitTogether(files, false);
    } else {
      report.Commit(false);
    }
    ::raise(SIGINT);
    std::exit(0);  // not reached
  };
  EXPECT_EXIT(interrupted_after(false), ::testing::KilledBySignal(SIGINT),
              "interrupted by SIGINT; the targets are unchanged");
  EXPECT_EXIT(interrupted_after(true), ::testing::ExitedWithCode(3),
              "interrupted by SIGINT after both files were saved");
}

}  // namespace
}  // namespace orv::testing
