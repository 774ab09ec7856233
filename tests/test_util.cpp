#include "tests/test_util.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "engine/analyse.h"
#include "engine/line_sink.h"
#include "writers/char_writer.h"
#include "writers/item_writer.h"
#include "writers/world_file_writer.h"

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

std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string name = path.generic_u8string();
  return std::string(name.begin(), name.end());
}

bool UnderWine() {
#ifdef _WIN32
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TempDir::TempDir() {
  // A name no other process can take before us: create_directory fails on
  // one that exists.
  std::random_device random;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const std::filesystem::path dir = base / ("orvantor-test-" + std::to_string(random()));
    std::error_code ec;
    if (std::filesystem::create_directory(dir, ec)) path_ = Utf8Of(dir);
  }
  if (path_.empty()) ADD_FAILURE() << "cannot make a temporary folder";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(PathOf(path_), ec);
}

std::vector<std::string> TempDir::Names() const {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(PathOf(path_)))
    names.push_back(Utf8Of(e.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

void Analyse(World& w, RecordingHost& host, std::string_view source, RunThreads threads,
             SourceText::Counting counting) {
  ReleaseStores(w);
  w.SourceLines.LoadFromBytes(source, counting);
  AnalyseWorld(w, host, threads);
}

namespace {

// The world file's bytes without the lines that frame it: the opening with
// `caption` and the end marker, which must be there.
std::string Unframed(std::string_view file, std::string_view caption) {
  const std::string opening = "// " + std::string(caption) + "\r\n\r\n";
  const std::string_view end = "[EOF]\r\n";
  if (file.substr(0, opening.size()) != opening || file.size() < opening.size() + end.size() ||
      file.substr(file.size() - end.size()) != end) {
    ADD_FAILURE() << "the world file is not framed as a run frames it:\n" << file;
    return std::string(file);
  }
  return std::string(file.substr(opening.size(), file.size() - opening.size() - end.size()));
}

}  // namespace

BodyBytes WriteBodyBytes(World& w, RecordingHost& host) {
  // The walk that pumps, as a run makes it: the character file and, for the
  // world file, the pumps and the gauge.
  MemoryLineSink chars;
  w.CharLines = &chars;
  WriteHeader(w);
  WriteChars(w, host);
  WriteItems(w, host, w.UnownedItems, kWorldFile, true);
  w.CharLines = nullptr;
  // The world file as a run makes it, on its own.
  MemoryLineSink world;
  const std::atomic<bool> stop{false};
  const std::string_view caption = "the caption";
  WriteWorldFile(w, world, caption, false, stop);
  return {chars.Bytes(), Unframed(world.Bytes(), caption)};
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

// A save of every kind of turn, large enough for many hand-overs between the
// reader and the filing: players and NPCs, items in characters and in items
// read before and after them, duplicate and missing serials, sections of
// other kinds, comments and indented lines.
std::string MixedSave(int sections, bool end_marker) {
  using Lines = std::vector<std::string>;
  Lines save = {"// saved by ORV", "TITLE=ORV x", "VERSION=0.55", "[HEADER]", "// a comment"};
  std::uint32_t seed = 12345;
  auto next = [&seed](std::uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  for (int i = 0; i < sections; ++i) {
    const std::uint32_t kind = next(20);
    if (kind == 0) {
      save.push_back("[WORLDCHAR 0190]");
      save.push_back("SERIAL=c" + std::to_string(i));
      if (next(3) == 0) save.push_back("ACCOUNT=a" + std::to_string(i));
      save.push_back("NAME=someone");
      save.push_back("FLAGS=0000008" + std::to_string(next(10)));
    } else if (kind == 1) {
      save.push_back("[WORLDSCRIPT " + std::to_string(i) + "]");
      save.push_back("SERIAL=" + std::to_string(i));
      save.push_back("CONT=" + std::to_string(i - 1));
    } else {
      save.push_back("  [WORLDITEM 0" + std::to_string(0xe00 + next(40)) + "]");
      if (next(50) != 0)
        save.push_back("SERIAL=" + std::to_string(next(2) == 0 ? i : next(sections)));
      save.push_back("// comment " + std::to_string(i));
      const std::uint32_t where = next(4);
      if (where == 0) save.push_back("CONT=c" + std::to_string(next(sections)));
      if (where == 1) save.push_back("\tCONT=" + std::to_string(next(sections)));
      if (next(5) == 0) save.push_back("TYPE=" + std::to_string(next(80)));
      save.push_back("COLOR=" + std::to_string(next(2000)));
    }
  }
  if (end_marker) save.push_back("[EOF]");
  save.push_back("[WORLDITEM 0f]");
  save.push_back("SERIAL=after");
  return Crlf(save);
}

}  // namespace orv::testing
