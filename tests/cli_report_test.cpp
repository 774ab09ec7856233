// What the command line tells an administrator about a conversion: the
// change report, the check of a save, the warnings about the lists, the
// summary, the help and the naming of misspelled options.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/check.h"
#include "cli/list_warnings.h"
#include "cli/progress_line.h"
#include "cli/suggest.h"
#include "engine/line_split.h"
#include "tests/cli_run.h"
#include "tests/test_util.h"

namespace orv::testing {
namespace {

using Json = nlohmann::json;
using Lines = std::vector<std::string>;

std::vector<Json> JsonLines(const std::string& text) {
  std::vector<Json> objects;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    objects.push_back(Json::parse(text.substr(at, end - at)));
    at = end == std::string::npos ? text.size() : end + 1;
  }
  return objects;
}

class ReportCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source = dir.File("world.scp");
    world = dir.File("out-world.scp");
    chars = dir.File("out-chars.scp");
    WriteFile(source, Crlf({"[WORLDCHAR 01]", "SERIAL=p", "ACCOUNT=a", "P=1,1,1",  // 1-4
                            "[WORLDITEM 03]", "SERIAL=early", "CONT=n",            // 5-7
                            "[WORLDCHAR 02]", "SERIAL=n",                          // 8-9
                            "[WORLDITEM 03]", "SERIAL=i", "CONT=n",                // 10-12
                            "[EOF]"}));
  }
  CliRun Cli(const Lines& args, const Lines& prefix = {}) {
    return RunCli(args, dir.path(), prefix);
  }
  CliRun Convert(const Lines& extra) {
    Lines args = {"convert", source, "--world-file", world, "--char-file", chars};
    args.insert(args.end(), extra.begin(), extra.end());
    return Cli(args);
  }

  TempDir dir;
  std::string source, world, chars;
};

TEST_F(ReportCliTest, TheReportGoesToAFileOrToStdout) {
  const CliRun r = Convert({"--report", dir.File("report.jsonl"), "-q"});
  ASSERT_EQ(r.ShellStatus(), 0) << r.err;
  const std::vector<Json> report = JsonLines(ReadFile(dir.File("report.jsonl")));
  ASSERT_EQ(report.size(), 3u);
  EXPECT_EQ(
      report[0],
      Json::parse(
          R"({"change":"left_loose","serial":"early","line":5,"container":"n","reason":"later_in_file"})"));
  EXPECT_EQ(report[1], Json::parse(R"({"change":"npc_deleted","serial":"n","line":8})"));
  EXPECT_EQ(report[2],
            Json::parse(R"({"change":"item_destroyed","serial":"i","line":10,"by":"n"})"));
  EXPECT_NE(r.out.find("report: '" + dir.File("report.jsonl") + "' (created): 3 changes"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(dir.Names(), (Lines{"out-chars.scp", "out-world.scp", "report.jsonl", "world.scp"}))
      << "no temporary file is left";

  const CliRun to_stdout = Convert({"--report", "-", "-q"});
  ASSERT_EQ(to_stdout.ShellStatus(), 0) << to_stdout.err;
  EXPECT_EQ(JsonLines(to_stdout.out), report) << "stdout holds the report alone";
  EXPECT_NE(to_stdout.err.find("report: standard output: 3 changes"), std::string::npos)
      << to_stdout.err;

  // A run that fails leaves no report either.
  std::filesystem::remove(dir.File("report.jsonl"));
  const CliRun failed = Cli({"convert", source, "--world-file", dir.File("no/such/w.scp"),
                             "--char-file", chars, "--report", dir.File("report.jsonl"), "-q"});
  EXPECT_EQ(failed.ShellStatus(), 1);
  EXPECT_EQ(dir.Names(), (Lines{"out-chars.scp", "out-world.scp", "world.scp"}));

  for (const std::string& clash : {source, world}) {
    const CliRun refused = Convert({"--report", clash, "-q"});
    EXPECT_EQ(refused.ShellStatus(), 2) << clash;
  }
  EXPECT_EQ(Convert({"--report", ""}).ShellStatus(), 2);
}

TEST_F(ReportCliTest, ReportCountsMatchTheSummaryOnAGeneratedSave) {
  const std::string save = dir.File("generated.scp");
  const std::string generate =
      std::string(ORVANTOR_GEN_WORLD) + " --size 3M --seed 7 --out '" + save + "' 2>/dev/null";
  ASSERT_EQ(std::system(generate.c_str()), 0);
  WriteFile(dir.File("positions.txt"), "1,1,1\r\n2,2,2\r\n");
  const std::string samples = std::string(ORVANTOR_SOURCE_DIR) + "/samples/";
  const CliRun r = Cli({"convert", save, "--world-file", world, "--char-file", chars, "--json",
                        "-q", "--move-chars", dir.File("positions.txt"), "--illegal-items",
                        samples + "illegal.txt", "--report", dir.File("r.jsonl")});
  ASSERT_EQ(r.ShellStatus(), 0) << r.err;
  const Json summary = Json::parse(r.out);
  std::map<std::string, std::uint64_t> counts;
  for (const Json& o : JsonLines(ReadFile(dir.File("r.jsonl"))))
    ++counts[o["change"].get<std::string>()];
  const Json& c = summary["changes"];
  const Json& items = summary["source"]["items"];
  EXPECT_EQ(counts["char_moved"], c["chars_moved"]);
  EXPECT_EQ(counts["pet_shrunk"], c["pets_shrunk"]);
  EXPECT_EQ(counts["npc_deleted"], c["npcs_deleted"]);
  EXPECT_EQ(counts["item_destroyed"], c["npc_items_destroyed"].get<std::uint64_t>() +
                                          c["illegal_contents_destroyed"].get<std::uint64_t>());
  EXPECT_EQ(counts["respawn_point_deleted"], c["respawn_points_removed"]);
  EXPECT_EQ(counts["memory_object_deleted"], c["memory_objects_removed"]);
  EXPECT_EQ(counts["illegal_item_deleted"], c["illegal_items_removed"]);
  EXPECT_EQ(counts["left_loose"], items["loose_later_in_file"].get<std::uint64_t>() +
                                      items["loose_not_found"].get<std::uint64_t>() +
                                      items["loose_self_container"].get<std::uint64_t>());
  for (const char* kind : {"char_moved", "pet_shrunk", "npc_deleted", "item_destroyed",
                           "respawn_point_deleted", "illegal_item_deleted", "left_loose"})
    EXPECT_GT(counts[kind], 0u) << kind << ": the generated save has some of every kind";
  EXPECT_EQ(summary["report"]["changes"].get<std::uint64_t>(),
            ReadFile(dir.File("r.jsonl")).size() == 0
                ? 0u
                : JsonLines(ReadFile(dir.File("r.jsonl"))).size());

  // The check finds the same loose items, with the same lines.
  const CliRun check = Cli({"check", save, "--json", "-q"});
  EXPECT_EQ(check.ShellStatus(), cli::kExitFindings);
  std::uint64_t loose = 0;
  for (const Json& o : JsonLines(check.out)) loose += o["finding"] == "left_loose" ? 1 : 0;
  EXPECT_EQ(loose, counts["left_loose"]);
}

TEST_F(ReportCliTest, TheSummarySaysWhatItDescribes) {
  WriteFile(world, "old\r\n");
  const CliRun r = Convert({});
  ASSERT_EQ(r.ShellStatus(), 0) << r.err;
  for (const std::string& expected :
       {"source: '" + source + "'\n",
        std::string("passes: move chars off, shrink pets on, delete NPCs on, "
                    "delete respawn points on, illegal items off\n"),
        std::string("in the source:\n  characters: 2 (players 1, NPCs 1)\n"),
        std::string("  items left loose because their container comes later in the file: 1\n"),
        std::string("changes made:\n"), "character file: '" + chars + "' (created): ",
        "world file: '" + world + "' (replaced): ", std::string("finished: ")})
    EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;

  // Relative names are made absolute.
  const CliRun relative = Cli({"convert", "world.scp", "--world-file", "out-world.scp",
                               "--char-file", "out-chars.scp", "--json", "-q"},
                              {"env", "-C", dir.path()});
  ASSERT_EQ(relative.ShellStatus(), 0) << relative.err;
  const Json summary = Json::parse(relative.out);
  EXPECT_EQ(summary["ok"], true);
  EXPECT_EQ(summary["source"]["path"], source);
  EXPECT_EQ(summary["char_file"]["path"], chars);
  EXPECT_EQ(summary["char_file"]["action"], "replaced");
  EXPECT_EQ(summary["passes"]["delete_npcs"], true);
}

TEST_F(ReportCliTest, ADryRunTouchesNoFileButTheReport) {
  WriteFile(world, "old world\r\n");
  const auto before = std::filesystem::last_write_time(world);
  const CliRun r = Convert({"--dry-run", "--report", dir.File("r.jsonl"), "--backup"});
  ASSERT_EQ(r.ShellStatus(), 0) << r.err;
  EXPECT_EQ(dir.Names(), (Lines{"out-world.scp", "r.jsonl", "world.scp"}))
      << "no target, no temporary file";
  EXPECT_EQ(ReadFile(world), "old world\r\n");
  EXPECT_EQ(std::filesystem::last_write_time(world), before);
  EXPECT_EQ(JsonLines(ReadFile(dir.File("r.jsonl"))).size(), 3u);
  EXPECT_NE(r.out.find("dry run: nothing was written\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("world file: '" + world + "' (would be replaced): "), std::string::npos)
      << r.out;
  EXPECT_EQ(r.err.find("saving files"), std::string::npos) << r.err;

  // The counts are those of the files a real run writes.
  const Json dry = Json::parse(Convert({"--dry-run", "--json", "-q"}).out);
  ASSERT_EQ(Convert({"-q"}).ShellStatus(), 0);
  EXPECT_EQ(dry["dry_run"], true);
  EXPECT_EQ(dry["world_file"]["bytes"].get<std::uint64_t>(), std::filesystem::file_size(world));
  EXPECT_EQ(dry["char_file"]["bytes"].get<std::uint64_t>(), std::filesystem::file_size(chars));
  EXPECT_EQ(dry["char_file"]["lines"].get<std::uint64_t>(), SplitCrlf(ReadFile(chars)).size());
}

TEST_F(ReportCliTest, BackupsKeepTheReplacedTargets) {
  WriteFile(world, "old world\r\n");
  WriteFile(world + "~", "older world\r\n");
  const CliRun r = Convert({"--backup", "-q"});
  ASSERT_EQ(r.ShellStatus(), 0) << r.err;
  EXPECT_EQ(ReadFile(world + "~"), "old world\r\n") << "the last one replaced";
  EXPECT_FALSE(std::filesystem::exists(chars + "~")) << "a created target has nothing to keep";
  EXPECT_NE(r.out.find("(replaced; the old one kept as '" + world + "~')"), std::string::npos)
      << r.out;

  const std::string converted = ReadFile(world);
  ASSERT_EQ(Convert({"--suffix", ".bak", "-q"}).ShellStatus(), 0);
  EXPECT_EQ(ReadFile(world + ".bak"), converted);
  EXPECT_EQ(ReadFile(chars + ".bak"), ReadFile(chars));
  EXPECT_EQ(dir.Names(), (Lines{"out-chars.scp", "out-chars.scp.bak", "out-world.scp",
                                "out-world.scp.bak", "out-world.scp~", "world.scp"}));
  EXPECT_EQ(Convert({"--suffix", ""}).ShellStatus(), 2);
}

TEST_F(ReportCliTest, AFailureWithJsonIsAJsonObjectToo) {
  std::filesystem::remove(source);
  const CliRun r = Convert({"--json", "-q"});
  EXPECT_EQ(r.ShellStatus(), 1);
  const Json failure = Json::parse(r.out);
  EXPECT_EQ(failure["ok"], false);
  EXPECT_EQ(failure["exit_status"], 1);
  EXPECT_NE(failure["error"].get<std::string>().find("can't find Source Worldfile"),
            std::string::npos)
      << r.out;
  EXPECT_FALSE(r.err.empty()) << "the error is on stderr as well";

  const CliRun usage = Convert({"--json", "--priority", "0"});
  EXPECT_EQ(usage.ShellStatus(), 2);
  EXPECT_EQ(Json::parse(usage.out)["exit_status"], 2) << usage.out;
  EXPECT_NE(
      Json::parse(Convert({"--json", "--world-fil", "x"}).out)["error"].get<std::string>().find(
          "--world-file"),
      std::string::npos);
}

TEST_F(ReportCliTest, CheckListsFindingsWithTheirLinesAndExitsWithItsOwnStatus) {
  const std::string odd = dir.File("odd.scp");
  std::string save = Crlf({"[WORLDCHAR 1]", "SERIAL=5",              // 1-2
                           "[WORLDITEM 2]", "SERIAL=7", "CONT=7",    // 3-5: inside itself
                           "[WORLDITEM]", "SERIAL=5",                // 6-7: no id
                           "[WORLDITEM 3]", "SERIAL=5", "NAME=a#b",  // 8-10: a NUL
                           "[WORLDCHAR 4]", "SERIAL=5",              // 11-12: a second character 5
                           "[EOF]", "more"});                        // 13-14
  save[save.find('#')] = '\0';
  WriteFile(odd, save);
  const CliRun json = Cli({"check", odd, "--json", "-q"});
  EXPECT_EQ(json.ShellStatus(), cli::kExitFindings) << json.err;
  Lines found;
  for (const Json& o : JsonLines(json.out)) {
    found.push_back(o["finding"].get<std::string>() + " " + std::to_string(o["line"].get<int>()) +
                    " " + o["serial"].get<std::string>());
  }
  EXPECT_EQ(found,
            (Lines{"left_loose 3 7", "self_container 3 7", "short_head 6 5", "duplicate_serial 8 5",
                   "nul_byte 10 ", "duplicate_serial 11 5", "text_after_end 14 "}));

  const CliRun text = Cli({"check", odd, "-q"});
  EXPECT_EQ(text.ShellStatus(), cli::kExitFindings);
  EXPECT_NE(text.out.find("duplicate_serial         2"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("  line 8, serial \"5\", section \"item\", first_line 6\n"),
            std::string::npos)
      << text.out;

  WriteFile(odd, Crlf({"[WORLDCHAR 1]", "SERIAL=5", "[EOF]"}));
  const CliRun clean = Cli({"check", odd});
  EXPECT_EQ(clean.ShellStatus(), 0) << clean.out;
  EXPECT_NE(clean.out.find("nothing found"), std::string::npos);
  EXPECT_NE(clean.err.find("[2/2] analysing worldfile"), std::string::npos) << clean.err;

  WriteFile(odd, Crlf({"[WORLDCHAR 1]", "SERIAL=5"}));
  EXPECT_NE(Cli({"check", odd, "--json"}).out.find("\"no_end_marker\""), std::string::npos);
  EXPECT_EQ(Cli({"check", dir.File("missing.scp")}).ShellStatus(), 1);
  EXPECT_EQ(Cli({"check"}).ShellStatus(), 2);
}

TEST(SaveCheck, LinesNotedByTheAnalysisAreThoseASweepFinds) {
  std::string save = MixedSave(3000, true);
  save.insert(save.find("[WORLDITEM", save.size() / 2), std::string("NAME=a\0\0b\r", 10));
  save += Crlf({"", "text after the end"});
  const auto findings = [&](bool noted) {
    World w;
    w.SectionLines.wanted = noted;
    RecordingHost host;
    Analyse(w, host, save);
    EXPECT_EQ(w.SectionLines.noted, noted);
    std::vector<std::string> out;
    for (const Finding& f : CheckAnalysedWorld(w)) out.push_back(cli::FindingJson(f));
    return out;
  };
  const std::vector<std::string> noted = findings(true);
  EXPECT_EQ(noted, findings(false));
  EXPECT_GT(noted.size(), 20u);
  const auto nul = FindNulBytes(save);
  ASSERT_EQ(nul.size(), 1u) << "one finding a line";
  EXPECT_EQ(nul[0].line, LineNumbersAt(save, {nul[0].offset})[0]);
}

TEST(FindingsText, ListsTheFirstOfEachKindUnlessAllAreAsked) {
  std::vector<Finding> findings;
  for (int i = 1; i <= 12; ++i)
    findings.push_back({"nul_byte", "", static_cast<std::uint64_t>(i), 0, {}});
  const std::string some = cli::FindingsText(findings, "/w.scp", false);
  EXPECT_NE(some.find("  line 10\n  ... and 2 more (--all lists every one)\n"), std::string::npos)
      << some;
  const std::string all = cli::FindingsText(findings, "/w.scp", true);
  EXPECT_NE(all.find("  line 12\n"), std::string::npos);
  EXPECT_EQ(all.find("more"), std::string::npos);
}

TEST_F(ReportCliTest, ListsAreWarnedAboutOncePerKindWithLineNumbers) {
  WriteFile(dir.File("illegal.txt"), Crlf({"\xef\xbb\xbf"
                                           "0186b",
                                           "186b", "", "0a]", " 0b", "0zzz "}));
  WriteFile(dir.File("positions.txt"), "1,1,1\r\n2,2,2\r\n3,3,3\r\n");
  const CliRun r = Convert({"-q", "--illegal-items", dir.File("illegal.txt"), "--move-chars",
                            dir.File("positions.txt")});
  ASSERT_EQ(r.ShellStatus(), 0) << r.err;
  const std::string list = "'" + dir.File("illegal.txt") + "'";
  for (const std::string& expected :
       {list + ": line 1: a UTF-8 byte-order mark begins the file",
        list + ": line 3: a blank line is an entry that matches no item",
        list + ": lines 5 and 6: blanks before or after an entry are part of it",
        list + ": line 2: an id without its leading \"0\" matches nothing",
        list + ": line 4: an id ending in \"]\" matches nothing",
        list + ": lines 1, 2, 4, 5 and 6: no item of the save has this id",
        "'" + dir.File("positions.txt") +
            "': 3 positions, but 1 player character has a position line: the last 2 "
            "are not used"}) {
    EXPECT_NE(r.err.find("orvantor: warning: " + expected), std::string::npos) << expected << "\n"
                                                                               << r.err;
  }

  WriteFile(dir.File("empty.txt"), "");
  const CliRun empty = Convert({"-q", "--illegal-items", dir.File("empty.txt")});
  EXPECT_EQ(empty.ShellStatus(), 0);
  EXPECT_NE(empty.err.find("empty.txt': the file is empty: no item is removed"), std::string::npos)
      << empty.err;
  EXPECT_EQ(Convert({"--illegal-items", ""}).ShellStatus(), 2);
  EXPECT_EQ(Convert({"--move-chars", ""}).ShellStatus(), 2);
}

TEST(ListWarnings, FewerPositionsThanPlayersAreHandedOutAgain) {
  const std::vector<std::string> w = cli::PositionCountWarnings(LineList{"1", "2"}, 5, "p.txt");
  ASSERT_EQ(w.size(), 1u);
  EXPECT_NE(w[0].find("handed out again from the top"), std::string::npos);
  EXPECT_TRUE(cli::PositionCountWarnings(LineList{"1", "2"}, 2, "p.txt").empty());
  EXPECT_EQ(cli::LineNumbersText({3}), "line 3");
  EXPECT_EQ(cli::LineNumbersText({1, 2, 3, 4}, 2), "lines 1, 2 and 2 more");
}

TEST_F(ReportCliTest, HelpStatesTheDefaultsAndMisspellingsAreNamed) {
  const CliRun help = Cli({"convert", "--help"});
  EXPECT_EQ(help.ShellStatus(), 0);
  for (const char* expected : {"deletes every NPC", "--report", "(default: deleted)",
                               "process priority", "It does not change the files"})
    EXPECT_NE(help.out.find(expected), std::string::npos) << expected;
  EXPECT_EQ(Cli({"help", "convert"}).out, help.out);
  EXPECT_NE(Cli({"help"}).out.find("check"), std::string::npos);
  EXPECT_NE(Cli({"help", "check"}).out.find("--all"), std::string::npos);
  EXPECT_EQ(Cli({"-V"}).out, Cli({"--version"}).out);

  const CliRun typo = Convert({"--world-fil", world});
  EXPECT_EQ(typo.ShellStatus(), 2);
  EXPECT_NE(typo.err.find("unknown option --world-fil; did you mean --world-file?"),
            std::string::npos)
      << typo.err;
  const CliRun command = Cli({"conver", source});
  EXPECT_EQ(command.ShellStatus(), 2);
  EXPECT_NE(command.err.find("unknown command conver; did you mean convert?"), std::string::npos)
      << command.err;
  EXPECT_EQ(cli::ClosestName("--xyzzy", {"--world-file", "--char-file"}), "");
  EXPECT_EQ(cli::ClosestName("--ill", {"--illegal-items", "--json"}), "--illegal-items");
}

TEST(ProgressLine, FitsTheTerminalAndShowsTheStepAndTheWhole) {
  const std::string line = cli::ProgressLine(2, 4, 50, 60);
  EXPECT_EQ(line.size(), 59u) << line;
  EXPECT_EQ(line.rfind("  2/4 [########", 0), 0u) << line;
  EXPECT_NE(line.find("]  50%  overall  37%"), std::string::npos) << line;
  for (int width : {8, 20, 40, 80, 200}) {
    EXPECT_LT(static_cast<int>(cli::ProgressLine(3, 9, 42, width).size()), std::max(width, 2))
        << width;
  }
  EXPECT_EQ(cli::ProgressLine(1, 2, 500, 60).find("overall  50%") != std::string::npos, true)
      << "a full gauge";
  EXPECT_EQ(cli::StepLine(3, 8, "deleting NPCs"), "[3/8] deleting NPCs");
}

}  // namespace
}  // namespace orv::testing
