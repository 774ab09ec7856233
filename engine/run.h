#ifndef ORVANTOR_ENGINE_RUN_H_
#define ORVANTOR_ENGINE_RUN_H_

#include <cstdint>
#include <string>

#include "engine/analyse.h"
#include "engine/host.h"
#include "engine/world.h"

namespace orv {

// The message of a source that vanished after it was chosen.
inline constexpr const char* kMissingSourceMessage =
    "Error: can't find Source Worldfile\n maybe you moved, renamed or deleted it after selecting "
    "it?";

struct RunSummary {
  std::int64_t chars = 0, players = 0, npcs = 0;
  std::int64_t items = 0, contained = 0, unowned = 0;
  std::uint64_t char_file_lines = 0, char_file_bytes = 0;
  std::uint64_t world_file_lines = 0, world_file_bytes = 0;
  double seconds = 0;
  PassStats passes;
};

enum class RunStatus {
  kCompleted,      // both files saved
  kSourceMissing,  // the source check failed; nothing changed
  kRefused,        // the targets were refused before anything was done
  kFailed,         // an error ended the run; the targets are as they were
  kCancelled,      // the host asked the run to stop; targets as they were
  kHalfSaved,      // the commit failed half way and could not be undone:
                   // one target is new, the other old (error says which)
};

struct RunResult {
  RunStatus status = RunStatus::kFailed;
  std::string error;  // for kRefused, kFailed and kHalfSaved
  // For kCompleted: what failed after both files were saved (a folder that
  // could not be flushed to the disk), or empty.
  std::string after_save_error;
  RunSummary summary;
};

// How a run treats the files around it. The window runs with the defaults.
struct RunOptions {
  // Flush both files, and then their folders, to the disk before relying
  // on them, so that a power cut cannot leave a renamed but empty file.
  bool sync = true;
  // Wait for another run that writes into a target's folder to end,
  // instead of failing at once.
  bool wait_for_lock = false;
  // Replace read-only targets, and convert a source that is not a world
  // save.
  bool force = false;
  // Added to a refusal that `force` would pass: how the user gives it.
  std::string force_hint;
  // Do everything but create or replace a target: the files are only
  // counted, and nothing is written or removed beside the targets.
  bool dry_run = false;
  // Keep each replaced target under its name and this suffix ("~"); ""
  // keeps none.
  std::string backup_suffix;
};

// The conversion run of "convert !": checks the source, empties the stores,
// locks the window, loads and analyses the source, runs the switched-on
// passes in their fixed order, writes both files and replaces the targets,
// asks for the power-off when wanted, and unlocks the window. Each stage is
// announced by its status text. Before any work, the targets are checked
// (platform::CheckReplaceable), their folders locked against other runs and
// cleared of temporary files that killed runs left; the source must be a
// world save. Both files are committed together (platform::CommitTogether)
// once the source is found unchanged since it was loaded (or, in a dry run,
// only counted: see RunOptions). A failure at any
// step leaves both targets as they were and no temporary file behind; the
// window is unlocked afterwards.
RunResult RunConversion(World& w, RunHost& host, const RunOptions& options = {});

class LineSink;

// The middle of a run, on a source already in w.SourceLines and stores
// already empty: the analysis, the switched-on passes, and both files
// written into the two sinks, framing lines included. For tests, fuzzing
// and benchmarks that keep the output in memory.
void AnalyseCleanAndWrite(World& w, RunHost& host, LineSink& char_lines, LineSink& world_lines,
                          RunThreads threads = RunThreads::kAuto);

}  // namespace orv

#endif  // ORVANTOR_ENGINE_RUN_H_
