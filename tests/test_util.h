#ifndef ORVANTOR_TESTS_TEST_UTIL_H_
#define ORVANTOR_TESTS_TEST_UTIL_H_

// Helpers shared by the tests: world saves written as line lists, temporary
// folders, and driving the analysis and the writers in memory.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/analyse.h"
#include "engine/run.h"
#include "engine/world.h"
#include "tests/recording_host.h"

namespace orv::testing {

// The lines joined as the target server expects them: each followed by CR LF.
std::string Crlf(const std::vector<std::string>& lines);
// The lines of a written file; fails the test when a line is not ended by
// CR LF.
std::vector<std::string> SplitCrlf(std::string_view bytes);

// A UTF-8 name as a path of the system, and back (the same bytes on POSIX;
// on Windows UTF-16, whatever the ANSI code page).
std::filesystem::path PathOf(const std::string& utf8);
std::string Utf8Of(const std::filesystem::path& path);

// Whether the tests run under Wine, whose file system differs from
// Windows' in a few points.
bool UnderWine();

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, std::string_view bytes);

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }
  // The names of everything in the folder, sorted.
  std::vector<std::string> Names() const;

 private:
  std::string path_;
};

// A save of every kind of section, large enough for many hand-overs
// between threads: players and NPCs, items in characters and in items read
// before and after them, duplicate and missing serials, sections of other
// kinds, comments and indented lines, optionally an "[EOF]" with a section
// after it. The same for the same arguments.
std::string MixedSave(int sections, bool end_marker);

// Empties the stores, loads `source` as the world save and analyses it. By
// default the lines are counted by the analysis, as in a run.
void Analyse(World& w, RecordingHost& host, std::string_view source,
             RunThreads threads = RunThreads::kAuto,
             SourceText::Counting counting = SourceText::Counting::kLater);

// What the writers produce after the analysis and any passes: the header,
// the characters and then the unowned items, without the lines that the run
// frames the files with. The character file comes from the walk that pumps
// (whose pumps and gauge steps the host records), the world file from
// WriteWorldFile, as in a run.
struct Bodies {
  std::vector<std::string> chars;
  std::vector<std::string> world;
};
Bodies WriteBodies(World& w, RecordingHost& host);
// The same as the bytes of the two files, for saves too large to split.
struct BodyBytes {
  std::string chars;
  std::string world;
};
BodyBytes WriteBodyBytes(World& w, RecordingHost& host);

// Analyses `source` and writes it back with no pass: the quickest way to see
// what the reader keeps of a save.
Bodies RoundTrip(std::string_view source, bool delete_npcs_checked = false);

// A whole run on files: the source is written into a fresh folder, the
// targets lie beside it.
struct FileRun {
  explicit FileRun(std::string_view save);
  RunResult Run();
  std::string Chars() const { return ReadFile(host.char_file); }
  std::string WorldFile() const { return ReadFile(host.world_file); }

  TempDir dir;
  World w;
  RecordingHost host;
};

}  // namespace orv::testing

#endif  // ORVANTOR_TESTS_TEST_UTIL_H_
