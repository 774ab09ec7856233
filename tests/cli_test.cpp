// The `orvantor` command line, run as a user would: exit codes, what goes
// to stdout and stderr, and that a failure creates no target.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/summary.h"
#include "tests/cli_run.h"
#include "tests/test_util.h"

namespace orv::testing {
namespace {

// What a run left: the status as a shell reports it, and the output.
struct Result {
  int code = -1;
  std::string out, err;
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source = dir.File("world.scp");
    world = dir.File("out-world.scp");
    chars = dir.File("out-chars.scp");
    WriteFile(source, Crlf({"[WORLDCHAR 01]", "SERIAL=p", "ACCOUNT=a", "P=1,1,1", "[WORLDCHAR 02]",
                            "SERIAL=n", "[WORLDITEM 03]", "SERIAL=i", "[EOF]"}));
  }

  // Runs the command line; `environment` ("NAME=value") is added to the
  // test's own.
  Result Cli(const std::vector<std::string>& args, const std::string& environment = "") {
    std::vector<std::string> env;
    if (!environment.empty()) env.push_back(environment);
    const CliRun r = RunCli(args, dir.path(), {}, env);
    return {r.ShellStatus(), r.out, r.err};
  }
  Result Convert(std::vector<std::string> extra, const std::string& environment = "") {
    std::vector<std::string> args = {"convert", source,        "--world-file",
                                     world,     "--char-file", chars};
    args.insert(args.end(), extra.begin(), extra.end());
    return Cli(args, environment);
  }

  TempDir dir;
  std::string source, world, chars;
};

// Whether `text` is exactly one JSON object (and a line feed). Walks with
// an explicit stack of open brackets.
bool IsOneJsonObject(const std::string& text) {
  std::size_t i = 0;
  std::string open;
  auto skip_blanks = [&] {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  };
  auto value = [&]() -> bool {  // a scalar, or the start of a container
    skip_blanks();
    if (i >= text.size()) return false;
    const char c = text[i];
    if (c == '{' || c == '[') {
      open.push_back(c);
      ++i;
      return true;
    }
    if (c == '"') {
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (static_cast<unsigned char>(text[i]) < 0x20) return false;
        if (text[i] == '\\') ++i;
      }
      return i++ < text.size();
    }
    const std::size_t start = i;
    while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) ||
                               text[i] == '-' || text[i] == '+' || text[i] == '.'))
      ++i;
    const std::string word = text.substr(start, i - start);
    return word == "true" || word == "false" || word == "null" ||
           (!word.empty() && (std::isdigit(static_cast<unsigned char>(word[0])) || word[0] == '-'));
  };
  skip_blanks();
  if (i >= text.size() || text[i] != '{') return false;
  open.push_back('{');
  ++i;
  bool expect_value = true;  // right after an opening bracket or a comma
  while (!open.empty()) {
    skip_blanks();
    if (i >= text.size()) return false;
    const char closing = open.back() == '{' ? '}' : ']';
    if (text[i] == closing) {
      open.pop_back();
      ++i;
      expect_value = false;
      continue;
    }
    if (!expect_value) {
      if (text[i] != ',') return false;
      ++i;
    }
    if (open.back() == '{') {
      skip_blanks();
      const std::size_t depth = open.size();
      if (i >= text.size() || text[i] != '"' || !value() || open.size() != depth) return false;
      skip_blanks();
      if (i >= text.size() || text[i++] != ':') return false;
    }
    const std::size_t depth = open.size();
    if (!value()) return false;
    expect_value = open.size() > depth;
  }
  skip_blanks();
  return i == text.size();
}

TEST(JsonCheck, TellsOneObjectFromAnythingElse) {
  EXPECT_TRUE(IsOneJsonObject("{\"a\":{\"b\":[1,2,{}]},\"c\":\"x\\\"y\",\"d\":-1.5}\n"));
  EXPECT_FALSE(IsOneJsonObject("{\"a\":1}{\"b\":2}"));
  EXPECT_FALSE(IsOneJsonObject("{\"a\":1,}"));
  EXPECT_FALSE(IsOneJsonObject("{\"a\" 1}"));
  EXPECT_FALSE(IsOneJsonObject("[1]"));
}

TEST_F(CliTest, ConvertsAndPrintsASummary) {
  const Result r = Convert({"--move-chars", dir.File("positions.txt")});
  EXPECT_EQ(r.code, 1) << "a missing list file is a failure";
  WriteFile(dir.File("positions.txt"), "7,7,7\r\n");
  const Result ok = Convert({"--move-chars", dir.File("positions.txt")});
  EXPECT_EQ(ok.code, 0) << ok.err;
  EXPECT_NE(ok.out.find("characters: 2 (players 1, NPCs 1)"), std::string::npos) << ok.out;
  EXPECT_NE(ReadFile(chars).find("P=7,7,7\r\n"), std::string::npos);
  EXPECT_EQ(ReadFile(world).find("SERIAL=n"), std::string::npos) << "NPCs deleted by default";
  EXPECT_NE(ok.err.find("ready"), std::string::npos) << "status texts go to stderr";

  const Result kept = Convert({"--no-delete-npcs", "-q"});
  EXPECT_EQ(kept.code, 0);
  EXPECT_TRUE(kept.err.empty()) << kept.err;
  EXPECT_NE(ReadFile(world).find("// unowned items\r\n"), std::string::npos);
}

TEST_F(CliTest, JsonSummaryIsOneObject) {
  const Result r = Convert({"--json", "-q"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(IsOneJsonObject(r.out)) << r.out;
  EXPECT_NE(r.out.find("\"characters\""), std::string::npos);
}

TEST(JsonString, PathsOfAnyBytesStayValidJson) {
  EXPECT_EQ(JsonString("caf\xc3\xa9/\xe2\x82\xac/\xf0\x9f\x8c\x8d"),
            "\"caf\xc3\xa9/\xe2\x82\xac/\xf0\x9f\x8c\x8d\"");
  EXPECT_EQ(JsonString("a\xff\xe9z"), "\"a\\u00ff\\u00e9z\"") << "Latin-1 bytes";
  EXPECT_EQ(JsonString("\xc3"), "\"\\u00c3\"") << "a sequence cut short";
  EXPECT_EQ(JsonString("\xc0\xaf"), "\"\\u00c0\\u00af\"") << "an overlong slash";
  EXPECT_EQ(JsonString("\xed\xa0\x80"), "\"\\u00ed\\u00a0\\u0080\"") << "a surrogate";
  EXPECT_EQ(JsonString("q\"\\\x01"), "\"q\\\"\\\\\\u0001\"");
}

TEST_F(CliTest, APowerOffThatCannotBeRequestedExitsWith3AfterSaving) {
  // No system bus at that address: the request fails and nothing is
  // powered off, whatever machine the test runs on.
  const Result r = Convert({"--power-off"}, "DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/bus");
  EXPECT_EQ(r.code, 3) << r.err;
  EXPECT_NE(r.err.find("orvantor: cannot power off: "), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("characters: 2"), std::string::npos) << "the summary still comes";
  EXPECT_NE(ReadFile(chars).find("SERIAL=p"), std::string::npos) << "the files are saved first";
}

TEST_F(CliTest, UsageErrorsExitWith2) {
  EXPECT_EQ(Cli({}).code, 2);
  EXPECT_EQ(Cli({"frobnicate"}).code, 2);
  EXPECT_EQ(Cli({"convert", source, "--char-file", chars}).code, 2);
  EXPECT_EQ(Convert({"--priority", "0"}).code, 2);
  EXPECT_EQ(Convert({"--priority", "fast"}).code, 2);
  EXPECT_EQ(Convert({"--no-such-switch"}).code, 2);
  EXPECT_FALSE(std::filesystem::exists(chars));
}

TEST_F(CliTest, HelpAndVersion) {
  const Result help = Cli({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("convert"), std::string::npos);
  const Result convert_help = Cli({"convert", "--help"});
  EXPECT_EQ(convert_help.code, 0);
  EXPECT_NE(convert_help.out.find("--world-file"), std::string::npos);
  EXPECT_EQ(Cli({"--version"}).code, 0);
}

TEST_F(CliTest, AMissingSourceFailsAndCreatesNoTarget) {
  std::filesystem::remove(source);
  const Result r = Convert({"-q"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err.rfind("Error: can't find Source Worldfile", 0), 0u) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
  EXPECT_TRUE(r.out.empty());
  EXPECT_FALSE(std::filesystem::exists(chars));
  EXPECT_FALSE(std::filesystem::exists(world));
}

TEST_F(CliTest, FailuresSayWhatWentWrongInOneLine) {
  const std::string unwritable = dir.File("no/such/folder/world.scp");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"convert", source, "--world-file", unwritable, "--char-file",
                                 chars, "-q"},
        std::vector<std::string>{"convert", source, "--world-file", source, "--char-file", chars,
                                 "-q"},
        std::vector<std::string>{"convert", dir.path(), "--world-file", world, "--char-file", chars,
                                 "-q"},
        std::vector<std::string>{"convert", source, "--world-file", world, "--char-file", chars,
                                 "--illegal-items", dir.File("missing.txt"), "-q"}}) {
    const Result r = Cli(args);
    EXPECT_EQ(r.code, 1) << args[1] << " " << args[3];
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_FALSE(std::filesystem::exists(chars)) << r.err;
    EXPECT_FALSE(std::filesystem::exists(world)) << r.err;
  }
}

}  // namespace
}  // namespace orv::testing
