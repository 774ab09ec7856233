#include "tests/test_util.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/analyse.h"
#include "engine/line_sink.h"
#include "writers/char_writer.h"
#include "writers/item_writer.h"

namespace orv::testing {

std::string Crlf(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

std::vector<std::string> SplitCrlf(std::string_view bytes) {
  std::vector<std::string> lines;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find("\r\n");
    if (end == std::string_view::npos) {
      ADD_FAILURE() << "last line not ended by CR LF: " << bytes;
      lines.emplace_back(bytes);
      break;
    }
    lines.emplace_back(bytes.substr(0, end));
    bytes.remove_prefix(end + 2);
  }
  return lines;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "orvantor-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot make a temporary folder";
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> TempDir::Names() const {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(path_))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void Analyse(World& w, RecordingHost& host, std::string_view source, AnalysisThreads threads) {
  ReleaseStores(w);
  w.SourceLines.LoadFromBytes(source);
  AnalyseWorld(w, host, threads);
}

BodyBytes WriteBodyBytes(World& w, RecordingHost& host) {
  MemoryLineSink chars, world;
  w.CharLines = &chars;
  w.WorldLines = &world;
  WriteHeader(w);
  WriteChars(w, host);
  WriteItems(w, host, w.UnownedItems, kWorldFile, true);
  w.CharLines = w.WorldLines = nullptr;
  return {chars.Bytes(), world.Bytes()};
}

Bodies WriteBodies(World& w, RecordingHost& host) {
  const BodyBytes bytes = WriteBodyBytes(w, host);
  return {SplitCrlf(bytes.chars), SplitCrlf(bytes.world)};
}

Bodies RoundTrip(std::string_view source, bool delete_npcs_checked) {
  World w;
  RecordingHost host;
  host.Set(Switch::kDeleteNpcs, delete_npcs_checked);
  Analyse(w, host, source);
  return WriteBodies(w, host);
}

FileRun::FileRun(std::string_view save) {
  host.source = dir.File("world.scp");
  host.world_file = dir.File("out-world.scp");
  host.char_file = dir.File("out-chars.scp");
  WriteFile(host.source, save);
}

RunResult FileRun::Run() { return RunConversion(w, host); }

}  // namespace orv::testing
