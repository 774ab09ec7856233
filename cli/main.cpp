// orvantor: converts an ORV world save into a VANTOR character file and
// world file from the command line.

#include "cli/main.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <string>

#include "cli/cli_host.h"
#include "cli/summary.h"
#include "engine/errors.h"
#include "engine/run.h"
#include "engine/world.h"
#include "platform/console.h"
#include "platform/interrupts.h"
#include "platform/power_off.h"

namespace orv::cli {
namespace {

constexpr const char* kVersion = "orvantor 4.0 (ORVANTOR v4.0 FULL - Pellacord)";

int RunConvert(orv::cli::ConvertOptions& o, const std::string& move_list,
               const std::string& illegal_list, bool json, const orv::RunOptions& run_options) {
  try {
    if (!move_list.empty()) {
      o.move_chars = true;
      o.positions.LoadFromFile(move_list);
    }
    if (!illegal_list.empty()) {
      o.illegal_items = true;
      o.illegal.LoadFromFile(illegal_list);
    }
  } catch (const orv::IoError& e) {
    orv::platform::WriteText(stderr, std::string("orvantor: ") + e.what() + "\n");
    return kExitUnchanged;
  }
  if (!o.delete_npcs) o.shrink_pets = false;

  orv::World world;
  orv::cli::CliHost host(o, stderr);
  const orv::RunResult result = orv::RunConversion(world, host, run_options);
  switch (result.status) {
    case orv::RunStatus::kCompleted: break;
    case orv::RunStatus::kCancelled:
      std::fprintf(stderr, "orvantor: conversion cancelled; the targets are unchanged\n");
      return kExitUnchanged;
    case orv::RunStatus::kHalfSaved: return kExitHalfSaved;
    default: return kExitUnchanged;
  }
  // Both files are in place. What follows can still fail, but can no
  // longer change them: the summary first, flushed, then the power-off.
  int status = kExitSaved;
  if (!result.after_save_error.empty()) {
    orv::platform::WriteText(stderr,
                             "orvantor: the files are saved, but " + result.after_save_error + "\n");
    status = kExitSavedButIncomplete;
  }
  const std::string text = json ? orv::cli::SummaryJson(result.summary, o.char_file, o.world_file)
                                : orv::cli::SummaryText(result.summary, o.char_file, o.world_file);
  if (!orv::platform::WriteText(stdout, text)) {
    std::fprintf(stderr, "orvantor: the files are saved, but the summary could not be written\n");
    status = kExitSavedButIncomplete;
  }
  if (host.PowerOffAsked()) {
    const std::string error = orv::platform::RequestPowerOff();
    if (!error.empty()) {
      // The files are saved, but what was asked did not all happen: a
      // script that powers a server off this way must be able to tell.
      std::fprintf(stderr, "orvantor: cannot power off: %s\n", error.c_str());
      status = kExitSavedButIncomplete;
    }
  }
  return status;
}

}  // namespace

int Main(int argc, char** argv) {
  // Ctrl-C, a dropped SSH connection or a kill remove the temporary files;
  // past a file-size limit a write fails with an error we report and clean
  // up after; a closed stdout is an error, not a death by SIGPIPE.
  orv::platform::InstallInterruptHandlers(kExitSavedButIncomplete);
  CLI::App app{"ORVANTOR: converts an ORV world save (.scp) into the character file and the world "
               "file that VANTOR expects, cleaning the world on the way.",
               "orvantor"};
  app.set_version_flag("--version", kVersion);
  // Options begin with "-" everywhere: on Windows "/" would take a path
  // such as "/saves/world.scp" for an option.
  app.allow_windows_style_options(false);
  app.footer(
      "Exit status: 0 both files saved; 1 failed, both targets unchanged; 2 usage error, nothing "
      "done; 3 both files saved, but what came after failed (the summary could not be written, "
      "the power-off could not be requested, the folder could not be synced, or an interrupt "
      "came after the save); 4 the commit failed half way and could not be undone (the message "
      "says which file is new); 128+N interrupted by signal N (130 for Ctrl-C), both targets "
      "unchanged.");
  app.require_subcommand(1);

  orv::cli::ConvertOptions o;
  std::string move_list, illegal_list;
  bool no_delete_npcs = false, no_shrink_pets = false, no_delete_respawn = false;
  bool json = false;
  bool no_sync = false;
  orv::RunOptions run_options;

  CLI::App* convert = app.add_subcommand("convert", "Convert a world save into the two target files");
  convert->add_option("SOURCE", o.source, "The ORV world save to read (never written)")->required();
  convert->add_option("--world-file", o.world_file, "Target world file: NPCs and unowned items")
      ->required();
  convert->add_option("--char-file", o.char_file, "Target character file: player characters")
      ->required();
  convert->add_flag("--no-delete-npcs", no_delete_npcs,
                    "Keep the NPCs (also keeps pets from being shrunk)");
  convert->add_flag("--no-shrink-pets", no_shrink_pets, "Do not turn pets into items");
  convert->add_flag("--no-delete-respawn-points", no_delete_respawn,
                    "Keep respawn points and their memory objects");
  convert->add_option("--move-chars", move_list,
                      "Hand player characters the positions listed in this file, one a line");
  convert->add_option("--illegal-items", illegal_list,
                      "Remove items whose ids are listed in this file, one a line (with the "
                      "leading 0, e.g. 0186b)");
  convert->add_flag("--power-off", o.power_off, "Power the computer off when done");
  convert->add_option("--priority", o.position,
                      "Records between two progress updates (1 to 500)")
      ->check(CLI::Range(1, 500))
      ->default_val(250);
  convert->add_flag("--no-sync", no_sync,
                    "Do not wait for the files to reach the disk before renaming them (quicker; a "
                    "power cut soon after may then leave empty or old files)");
  convert->add_flag("--force", run_options.force,
                    "Replace read-only targets, and convert a source that is not a world save");
  convert->add_flag("--wait", run_options.wait_for_lock,
                    "Wait for another conversion into the same folder to end instead of failing");
  convert->add_flag("--json", json, "Print the summary as one JSON object");
  convert->add_flag("-q,--quiet", o.quiet, "Print no status texts");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : kExitUsage;
  }

  o.delete_npcs = !no_delete_npcs;
  o.shrink_pets = !no_shrink_pets;
  o.delete_respawn_points = !no_delete_respawn;
  run_options.sync = !no_sync;
  run_options.force_hint = "give --force to go ahead anyway";
  try {
    return RunConvert(o, move_list, illegal_list, json, run_options);
  } catch (const std::exception& e) {
    orv::platform::WriteText(stderr, std::string("orvantor: ") + e.what() + "\n");
    return kExitUnchanged;
  }
}

}  // namespace orv::cli
