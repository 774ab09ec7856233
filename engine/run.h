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
    "Error: can't find Source Worldfile\n maybe you moved, renamed or deleted it after selecting it?";

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
  kRefused,        // the file names were refused before anything was done
  kFailed,         // an error ended the run; the targets are as they were
  kCancelled,      // the host asked the run to stop; targets as they were
};

struct RunResult {
  RunStatus status = RunStatus::kFailed;
  std::string error;  // for kRefused and kFailed
  RunSummary summary;
};

// The conversion run of "convert !": checks the source, empties the stores,
// locks the window, loads and analyses the source, runs the switched-on
// passes in their fixed order, writes both files and replaces the targets,
// asks for the power-off when wanted, and unlocks the window. Each stage is
// announced by its status text. A failure at any step leaves both targets as
// they were and no temporary file behind; the window is unlocked afterwards.
RunResult RunConversion(World& w, RunHost& host);

class LineSink;

// The middle of a run, on a source already in w.SourceLines and stores
// already empty: the analysis, the switched-on passes, and both files
// written into the two sinks, framing lines included. For tests, fuzzing
// and benchmarks that keep the output in memory.
void AnalyseCleanAndWrite(World& w, RunHost& host, LineSink& char_lines, LineSink& world_lines,
                          RunThreads threads = RunThreads::kAuto);

}  // namespace orv

#endif  // ORVANTOR_ENGINE_RUN_H_
