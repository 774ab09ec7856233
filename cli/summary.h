#ifndef ORVANTOR_CLI_SUMMARY_H_
#define ORVANTOR_CLI_SUMMARY_H_

#include <cstdint>
#include <string>

#include "engine/json_text.h"
#include "engine/run.h"
#include "engine/world.h"

namespace orv::cli {

// One target of a run as the summary names it.
struct TargetFacts {
  std::string path;      // absolute
  bool existed = false;  // before the run: replaced rather than created
};

// What the summary says beyond the run's own counts.
struct SummaryFacts {
  std::string source;  // absolute
  TargetFacts char_file, world_file;
  bool dry_run = false;
  std::string backup_suffix;  // a replaced target was kept under its name and this
  // The switches of the passes, as the run used them.
  bool move_chars = false, shrink_pets = false, delete_npcs = false, delete_respawn_points = false,
       illegal_items = false;
  // Items of the source left loose although their "CONT=" names a holder.
  std::uint64_t loose_later_in_file = 0, loose_not_found = 0, loose_self_container = 0;
  // The change report, when one was asked for.
  bool report = false;
  TargetFacts report_file;  // path "-" for stdout
  std::uint64_t report_changes = 0;
  std::string finished;  // local date and time, "2024-05-01 12:00:00"
};

// The loose-item counts of an analysed world into `facts`, their reasons
// told first if they are not yet.
void NoteLooseCounts(World& w, SummaryFacts& facts);

// `path` made absolute (not resolving links), for naming files plainly.
std::string AbsolutePath(const std::string& path);

// The local date and time now, "2024-05-01 12:00:00".
std::string LocalTimeNow();

// The end-of-run summary as text lines for a person.
std::string SummaryText(const RunSummary& s, const SummaryFacts& facts);

// The same as one JSON object on one line, "ok" true.
std::string SummaryJson(const RunSummary& s, const SummaryFacts& facts);

// A failed command as one JSON object on one line: "ok" false, the error
// and the exit status.
std::string FailureJson(std::string_view error, int exit_status);

}  // namespace orv::cli

#endif  // ORVANTOR_CLI_SUMMARY_H_
