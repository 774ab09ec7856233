// orvantor: converts an ORV world save into a VANTOR character file and
// world file from the command line.

#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>

#include "cli/cli_host.h"
#include "cli/summary.h"
#include "engine/errors.h"
#include "engine/run.h"
#include "engine/world.h"

namespace {

constexpr const char* kVersion = "orvantor 4.0 (ORVANTOR v4.0 FULL - Pellacord)";

// Exit status when both files are saved but the asked-for power-off could
// not be requested.
constexpr int kExitSavedButNoPowerOff = 3;

int RunConvert(orv::cli::ConvertOptions& o, const std::string& move_list,
               const std::string& illegal_list, bool json) {
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
    std::fprintf(stderr, "orvantor: %s\n", e.what());
    return 1;
  }
  if (!o.delete_npcs) o.shrink_pets = false;

  orv::World world;
  orv::cli::CliHost host(o, stderr);
  const orv::RunResult result = orv::RunConversion(world, host);
  switch (result.status) {
    case orv::RunStatus::kCompleted: break;
    case orv::RunStatus::kCancelled:
      std::fprintf(stderr, "orvantor: conversion cancelled; the targets are unchanged\n");
      return 1;
    default: return 1;
  }
  const std::string text = json ? orv::cli::SummaryJson(result.summary, o.char_file, o.world_file)
                                : orv::cli::SummaryText(result.summary, o.char_file, o.world_file);
  std::fputs(text.c_str(), stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "orvantor: the files are saved, but the summary could not be written\n");
    return 1;
  }
  // The files are saved, but what was asked did not all happen: a script
  // that powers a server off this way must be able to tell.
  if (host.PowerOffFailed()) return kExitSavedButNoPowerOff;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
#if defined(SIGXFSZ)
  // Past a file-size limit a write should fail with an error we report and
  // clean up after, not kill the process with the temporary file left.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  CLI::App app{"ORVANTOR: converts an ORV world save (.scp) into the character file and the world "
               "file that VANTOR expects, cleaning the world on the way.",
               "orvantor"};
  app.set_version_flag("--version", kVersion);
  app.footer(
      "Exit status: 0 when both files are saved; 3 when they are saved but the power-off could "
      "not be requested; 2 on a usage error; 1 on any other failure (the targets are then "
      "unchanged).");
  app.require_subcommand(1);

  orv::cli::ConvertOptions o;
  std::string move_list, illegal_list;
  bool no_delete_npcs = false, no_shrink_pets = false, no_delete_respawn = false;
  bool json = false;

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
  convert->add_flag("--json", json, "Print the summary as one JSON object");
  convert->add_flag("-q,--quiet", o.quiet, "Print no status texts");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }

  o.delete_npcs = !no_delete_npcs;
  o.shrink_pets = !no_shrink_pets;
  o.delete_respawn_points = !no_delete_respawn;
  try {
    return RunConvert(o, move_list, illegal_list, json);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orvantor: %s\n", e.what());
    return 1;
  }
}
