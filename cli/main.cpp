// orvantor: converts an ORV world save into a VANTOR character file and
// world file from the command line.

#include "cli/main.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "cli/check.h"
#include "cli/cli_host.h"
#include "cli/list_warnings.h"
#include "cli/report_file.h"
#include "cli/suggest.h"
#include "cli/summary.h"
#include "engine/caption.h"
#include "engine/change_report.h"
#include "engine/errors.h"
#include "engine/run.h"
#include "engine/world.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "platform/interrupts.h"
#include "platform/power_off.h"
#include "platform/quoted.h"
#include "platform/sanitizers.h"

namespace orv::cli {
namespace {

// What `convert` takes beyond the window's settings.
struct ConvertExtras {
  std::string move_list, illegal_list;
  std::string report;  // "" for none, "-" for stdout
  bool json = false;
  bool backup = false;
  std::string suffix;  // set: keep backups under it
};

void Warn(const std::vector<std::string>& warnings) {
  for (const std::string& w : warnings) std::fprintf(stderr, "orvantor: warning: %s\n", w.c_str());
}

// Reports a failure as the summary would have been: one line on stderr,
// and with --json one object on stdout too.
int Fail(const std::string& error, int status, bool json) {
  orv::platform::WriteText(stderr, error + "\n");
  if (json) orv::platform::WriteText(stdout, FailureJson(error, status));
  return status;
}

// What the summary says of the files and switches, taken before the run
// replaces anything.
SummaryFacts FactsBeforeTheRun(const ConvertOptions& o, const ConvertExtras& x,
                               const orv::RunOptions& run_options) {
  SummaryFacts facts;
  facts.source = AbsolutePath(o.source);
  facts.dry_run = run_options.dry_run;
  facts.char_file = {AbsolutePath(o.char_file), orv::platform::FileExists(o.char_file)};
  facts.world_file = {AbsolutePath(o.world_file), orv::platform::FileExists(o.world_file)};
  facts.backup_suffix = run_options.dry_run ? "" : run_options.backup_suffix;
  facts.move_chars = o.move_chars;
  facts.shrink_pets = o.shrink_pets;
  facts.delete_npcs = o.delete_npcs;
  facts.delete_respawn_points = o.delete_respawn_points;
  facts.illegal_items = o.illegal_items;
  if (!x.report.empty()) {
    facts.report = true;
    facts.report_file = {AbsolutePath(x.report),
                         x.report != "-" && orv::platform::FileExists(x.report)};
  }
  return facts;
}

// Owns the world of one conversion. Left to the exit, the world of a 1 GiB
// save (half a million pages and the mapped save) is taken back by the
// system in one go: the end of the run took 0.08 s instead of 0.11 s with
// the destructors returning it block by block. Builds under the sanitizers
// free it, for their leak checks.
class WorldOfTheRun {
 public:
  explicit WorldOfTheRun(WorldMemory memory)
      : world_(std::make_unique<orv::World>()), leave_(memory == WorldMemory::kLeaveToTheExit) {}
  ~WorldOfTheRun() {
    if (leave_ && !orv::platform::kSanitized) static_cast<void>(world_.release());
  }
  WorldOfTheRun(const WorldOfTheRun&) = delete;
  WorldOfTheRun& operator=(const WorldOfTheRun&) = delete;
  orv::World& operator*() { return *world_; }

 private:
  std::unique_ptr<orv::World> world_;
  const bool leave_;
};

int RunConvert(ConvertOptions& o, const ConvertExtras& x, const orv::RunOptions& run_options,
               WorldMemory memory) {
  try {
    if (!x.move_list.empty()) {
      o.move_chars = true;
      o.positions.LoadFromFile(x.move_list);
      Warn(PositionListWarnings(o.positions, x.move_list));
    }
    if (!x.illegal_list.empty()) {
      o.illegal_items = true;
      o.illegal.LoadFromFile(x.illegal_list);
      Warn(IllegalListWarnings(o.illegal, x.illegal_list));
    }
  } catch (const orv::IoError& e) {
    return Fail(std::string("orvantor: ") + e.what(), kExitUnchanged, x.json);
  }
  if (!o.delete_npcs) o.shrink_pets = false;
  if (!x.report.empty() && x.report != "-") {
    for (const std::string* other : {&o.source, &o.world_file, &o.char_file}) {
      if (orv::platform::SameFile(x.report, *other)) {
        return Fail("orvantor: the report would overwrite " + orv::platform::Quoted(*other) +
                        "; choose another file",
                    kExitUsage, x.json);
      }
    }
  }

  SummaryFacts facts = FactsBeforeTheRun(o, x, run_options);
  WorldOfTheRun world_of_the_run(memory);
  orv::World& world = *world_of_the_run;
  orv::ChangeReport changes;
  ReportFile report_file(x.report, run_options.sync);
  if (!x.report.empty()) {
    world.Report = &changes;
    changes.WhenComplete([&] { report_file.Start(world, changes); });
  }
  CliHost host(o, stderr);
  const orv::RunResult result = orv::RunConversion(world, host, run_options);
  switch (result.status) {
    case orv::RunStatus::kCompleted: break;
    case orv::RunStatus::kCancelled:
      return Fail("orvantor: conversion cancelled; the targets are unchanged", kExitUnchanged,
                  x.json);
    default: {
      // The host has said what went wrong on stderr already.
      const int status =
          result.status == orv::RunStatus::kHalfSaved ? kExitHalfSaved : kExitUnchanged;
      std::string error = result.error;
      if (result.status == orv::RunStatus::kSourceMissing) error = orv::kMissingSourceMessage;
      if (x.json) std::fputs(FailureJson(error, status).c_str(), stdout);
      return status;
    }
  }
  // Both files are in place (or, in a dry run, counted). What follows can
  // still fail, but can no longer change them: the report, the summary
  // first, flushed, then the power-off.
  int status = kExitSaved;
  if (!result.after_save_error.empty()) {
    orv::platform::WriteText(
        stderr, "orvantor: the files are saved, but " + result.after_save_error + "\n");
    status = kExitSavedButIncomplete;
  }
  if (o.illegal_items) Warn(UnmatchedIllegalWarnings(world, o.illegal, x.illegal_list));
  if (o.move_chars) Warn(PositionCountWarnings(o.positions, world.Stats.chars_moved, x.move_list));
  if (!x.report.empty()) {
    try {
      report_file.Finish(world, changes);
      report_file.Commit();
      facts.report_changes = report_file.Changes();
    } catch (const std::exception& e) {
      if (run_options.dry_run)
        return Fail(std::string("orvantor: ") + e.what(), kExitUnchanged, x.json);
      orv::platform::WriteText(
          stderr,
          std::string("orvantor: the files are saved, but not the report: ") + e.what() + "\n");
      status = kExitSavedButIncomplete;
      facts.report = false;
    }
  }
  NoteLooseCounts(world, facts);
  facts.finished = LocalTimeNow();
  const std::string text =
      x.json ? SummaryJson(result.summary, facts) : SummaryText(result.summary, facts);
  // The report has stdout to itself when it goes there.
  std::FILE* summary_out = report_file.ToStdout() ? stderr : stdout;
  if (!orv::platform::WriteText(summary_out, text)) {
    std::fprintf(stderr, "orvantor: the files are saved, but the summary could not be written\n");
    status = kExitSavedButIncomplete;
  }
  if (host.PowerOffAsked()) {
    const orv::platform::PowerOffResult power_off = orv::platform::RequestPowerOff();
    if (power_off.outcome != orv::platform::PowerOffResult::Outcome::kAsked) {
      // The files are saved, but what was asked did not happen: a script
      // that powers a server off this way must be able to tell, whether the
      // request could not be made or the system refused it.
      std::fprintf(stderr, "orvantor: cannot power off: %s\n", power_off.message.c_str());
      status = kExitSavedButIncomplete;
    }
  }
  return status;
}

// The long options of a command (or of the program itself for ""), with
// their "--", for naming a misspelled one.
std::vector<std::string> LongOptions(CLI::App& app, const std::string& command) {
  CLI::App* scope = &app;
  if (!command.empty()) {
    try {
      scope = app.get_subcommand(command);
    } catch (const CLI::OptionNotFound&) {
      return {};
    }
  }
  std::vector<std::string> names;
  for (const CLI::Option* option : scope->get_options()) {
    for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
  }
  return names;
}

// A list file given as "" would silently mean no list at all.
const auto kNonEmptyFile = [](const std::string& value) -> std::string {
  return value.empty() ? "the file name is empty" : "";
};

}  // namespace

int Main(int argc, char** argv, WorldMemory memory) {
  // Ctrl-C, a dropped SSH connection or a kill remove the temporary files;
  // past a file-size limit a write fails with an error we report and clean
  // up after; a closed stdout is an error, not a death by SIGPIPE.
  orv::platform::InstallInterruptHandlers(kExitSavedButIncomplete);
  CLI::App app{
      "ORVANTOR: converts an ORV world save (.scp) into the character file and the world "
      "file that VANTOR expects, cleaning the world on the way.",
      "orvantor"};
  app.set_version_flag("-V,--version", "orvantor 4.0 (" + std::string(orv::kCaption) + ")");
  // Options begin with "-" everywhere: on Windows "/" would take a path
  // such as "/saves/world.scp" for an option.
  app.allow_windows_style_options(false);
  app.footer(
      "Run 'orvantor help COMMAND' or 'orvantor COMMAND --help' for a command's options.\n"
      "Exit status: 0 both files saved (check: nothing found); 1 failed, both targets unchanged "
      "(check: the save cannot be read); 2 usage error, nothing done; 3 both files saved, but "
      "what came after failed (the report or the summary could not be written, the power-off "
      "could not be requested or was refused, the folder could not be synced, or an interrupt "
      "came after the save); 4 the commit failed half way and could not be undone (the message "
      "says which file is new); 5 check listed findings; 128+N interrupted by signal N (130 for "
      "Ctrl-C), both targets unchanged.");
  app.require_subcommand(1);

  ConvertOptions o;
  ConvertExtras x;
  bool no_delete_npcs = false, no_shrink_pets = false, no_delete_respawn = false;
  bool no_sync = false;
  orv::RunOptions run_options;

  CLI::App* convert =
      app.add_subcommand("convert", "Convert a world save into the two target files");
  convert->footer(
      "By default the run cleans the world as the window does: it deletes every NPC with all it "
      "holds, shrinks pets into items in their owners' bank boxes, and deletes respawn points "
      "with the memory objects linked to them; the --no-... switches turn these off. Characters "
      "are moved and items removed only when a list file is given.\n"
      "--priority is the window's \"process priority\" slider: how many records the run works "
      "through between two updates of the progress display (1 updates most often, 500 least; "
      "default 250). It does not change the files.");
  convert->add_option("SOURCE", o.source, "The ORV world save to read (never written)")->required();
  convert->add_option("--world-file", o.world_file, "Target world file: NPCs and unowned items")
      ->required();
  convert->add_option("--char-file", o.char_file, "Target character file: player characters")
      ->required();
  convert->add_flag("--no-delete-npcs", no_delete_npcs,
                    "Keep the NPCs (default: deleted; also keeps pets from being shrunk)");
  convert->add_flag("--no-shrink-pets", no_shrink_pets,
                    "Keep pets as NPCs (default: shrunk into items)");
  convert->add_flag("--no-delete-respawn-points", no_delete_respawn,
                    "Keep respawn points and their memory objects (default: deleted)");
  convert
      ->add_option("--move-chars", x.move_list,
                   "Hand player characters the positions listed in this file, one a line, in "
                   "file order (default: nobody is moved)")
      ->check(kNonEmptyFile);
  convert
      ->add_option("--illegal-items", x.illegal_list,
                   "Remove items whose ids are listed in this file, one a line, with the "
                   "leading 0, e.g. 0186b (default: none is removed)")
      ->check(kNonEmptyFile);
  convert
      ->add_option("--report", x.report,
                   "Write every change as JSON Lines to this file ('-' for standard output; "
                   "the summary then goes to standard error)")
      ->check(kNonEmptyFile);
  convert->add_flag("--dry-run", run_options.dry_run,
                    "Do everything but create or replace a target: the summary gives the lines and "
                    "bytes each file would have");
  convert->add_flag("--backup", x.backup, "Keep each replaced target as NAME~");
  convert
      ->add_option("--suffix", x.suffix,
                   "Keep replaced targets as NAME and SUFFIX instead (implies --backup)")
      ->check(kNonEmptyFile);
  convert->add_flag("--power-off", o.power_off, "Power the computer off when done");
  convert
      ->add_option("--priority", o.position,
                   "Records between two progress updates, 1 to 500 (default 250)")
      ->check(CLI::Range(1, 500))
      ->default_val(250);
  convert->add_flag("--no-sync", no_sync,
                    "Do not wait for the files to reach the disk before renaming them (quicker; a "
                    "power cut soon after may then leave empty or old files)");
  convert->add_flag("--force", run_options.force,
                    "Replace read-only targets, and convert a source that is not a world save");
  convert->add_flag("--wait", run_options.wait_for_lock,
                    "Wait for another conversion into the same folder to end instead of failing");
  convert->add_flag("--json", x.json, "Print the summary (or the failure) as one JSON object");
  convert->add_flag("-q,--quiet", o.quiet, "Print no status texts");

  CheckOptions check_options;
  CLI::App* check = app.add_subcommand(
      "check",
      "Read and analyse a world save without writing anything, and list what to know "
      "before converting it");
  check->footer(
      "Findings: left_loose (an item written loose although its CONT= names a holder, with the "
      "reason), duplicate_serial, self_container, no_end_marker, text_after_end, short_head, "
      "nul_byte; each with its line number and serial.\n"
      "Exit status: 0 when nothing was found, 5 when findings were listed, 1 when the save "
      "cannot be read, 2 on a usage error.");
  check->add_option("SOURCE", check_options.source, "The world save to check (never written)")
      ->required();
  check->add_flag("--all", check_options.all, "List every finding, not the first 10 of each kind");
  check->add_flag("--json", check_options.json,
                  "Print the findings as JSON Lines, one object each");
  check->add_flag("-q,--quiet", check_options.quiet, "Print no status texts");

  std::vector<std::string> help_topic;
  CLI::App* help = app.add_subcommand("help", "Show the help of orvantor or of one command");
  help->add_option("COMMAND", help_topic, "convert or check");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() != 0) {
      const std::vector<std::string> args(argv + 1, argv + argc);
      const std::string unknown =
          UnknownWordMessage(args, {"convert", "check", "help"},
                             [&](const std::string& command) { return LongOptions(app, command); });
      // A script that asked for JSON gets its failure as JSON too.
      const bool json = std::find(args.begin(), args.end(), "--json") != args.end();
      if (!unknown.empty()) {
        std::fprintf(stderr, "orvantor: %s\nRun with --help for more information.\n",
                     unknown.c_str());
        if (json) std::fputs(FailureJson("orvantor: " + unknown, kExitUsage).c_str(), stdout);
        return kExitUsage;
      }
      if (json) return Fail(std::string("orvantor: ") + e.what(), kExitUsage, true);
    }
    const int code = app.exit(e);
    return code == 0 ? 0 : kExitUsage;
  }

  if (help->parsed()) {
    if (help_topic.empty()) {
      std::fputs(app.help().c_str(), stdout);
      return 0;
    }
    for (CLI::App* command : {convert, check}) {
      if (command->get_name() == help_topic.front()) {
        std::fputs(command->help(app.get_name()).c_str(), stdout);
        return 0;
      }
    }
    std::fprintf(stderr, "orvantor: no command %s (convert or check)\n",
                 help_topic.front().c_str());
    return kExitUsage;
  }
  if (check->parsed()) return RunCheck(check_options);

  o.delete_npcs = !no_delete_npcs;
  o.shrink_pets = !no_shrink_pets;
  o.delete_respawn_points = !no_delete_respawn;
  o.dry_run = run_options.dry_run;
  run_options.sync = !no_sync;
  run_options.force_hint = "give --force to go ahead anyway";
  if (x.backup || !x.suffix.empty()) run_options.backup_suffix = x.suffix.empty() ? "~" : x.suffix;
  try {
    return RunConvert(o, x, run_options, memory);
  } catch (const std::exception& e) {
    return Fail(std::string("orvantor: ") + e.what(), kExitUnchanged, x.json);
  }
}

}  // namespace orv::cli
