// libFuzzer target at the file level: the whole command line (orv::cli::Main)
// on a real folder, with list files and targets of every kind the input
// asks for, checked against the README's promises after each run:
//   - the exit status is 0 or 1 (nothing here can make the others happen);
//   - the source is never written;
//   - no temporary file of ours is left, but one of a live process stays;
//   - on 0 both targets are framed files, everything else is as it was;
//   - on 1 the whole folder is as it was (a dead run's leftovers aside);
//   - a dry run changes nothing but its report;
//   - with --backup each replaced file's old content stays as NAME~;
//   - a report, when asked for, is whole JSON Lines of changes.
// Input: byte 0 the switches, byte 1 the kinds of the two targets, byte 2
// the leftovers planted beside them and the switches --dry-run, --backup
// and --report, bytes 3 and 4 the lengths of the
// position list and the illegal-item list taken from what follows; the rest
// is the world save.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/main.h"

namespace {

namespace fs = std::filesystem;

std::string folder;
pid_t dead_pid = 0;

void Write(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Everything in the folder: kind, link text or bytes, and mode.
std::map<std::string, std::string> Snapshot() {
  std::map<std::string, std::string> entries;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string path = e.path().string();
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) continue;
    std::string what = std::to_string(st.st_mode) + ":";
    if (S_ISLNK(st.st_mode))
      what += fs::read_symlink(e.path()).string();
    else if (S_ISREG(st.st_mode))
      what += Read(path);
    entries[e.path().filename().string()] = what;
  }
  return entries;
}

// Makes a target of the kind asked for at `path`; returns the file that a
// saved run writes (where a link leads), or empty when none may be saved.
std::string MakeTarget(int kind, const std::string& path, const std::string& other) {
  switch (kind & 7) {
    case 0: return path;  // new
    case 1: Write(path, "old\r\n"); return path;
    case 2:
      Write(path, "old read-only\r\n");
      ::chmod(path.c_str(), 0444);
      return path;
    case 3:
      Write(path + ".real", "old linked\r\n");
      fs::create_symlink(fs::path(path).filename().string() + ".real", path);
      return path + ".real";
    case 4: fs::create_symlink(path + ".new", path); return path + ".new";  // dangling
    case 5: ::mkfifo(path.c_str(), 0644); return {};
    case 6: fs::create_directory(path); return {};
    default:  // the other target, through a link
      fs::create_symlink(other, path);
      return {};
  }
}

[[noreturn]] void Broken(const char* promise) {
  std::fprintf(stderr, "broken promise: %s\n", promise);
  __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string pattern = std::string(base) + "/orvantor-file-fuzz-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  folder = pattern;
  // The summary is of no interest here.
  const int null = ::open("/dev/null", O_WRONLY);
  ::dup2(null, 1);
  ::close(null);
  // A process that has ended, for leftovers that a new run may remove.
  dead_pid = ::fork();
  if (dead_pid == 0) ::_exit(0);
  ::waitpid(dead_pid, nullptr, 0);
  std::atexit([] { fs::remove_all(folder); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder)) fs::remove_all(e.path(), ec);

  const std::uint8_t switches = data[0], kinds = data[1], planted = data[2];
  std::string_view rest(reinterpret_cast<const char*>(data + 5), size - 5);
  const std::size_t n_positions = data[3] < rest.size() ? data[3] : rest.size();
  const std::string_view positions = rest.substr(0, n_positions);
  rest.remove_prefix(n_positions);
  const std::size_t n_illegal = data[4] < rest.size() ? data[4] : rest.size();
  const std::string_view illegal = rest.substr(0, n_illegal);
  rest.remove_prefix(n_illegal);

  const std::string source = folder + "/source.scp";
  const std::string chars = folder + "/chars.scp";
  const std::string world = folder + "/world.scp";
  Write(source, rest);
  std::vector<std::string> args = {"orvantor", "convert",     source, "--world-file",
                                   world,      "--char-file", chars,  "-q"};
  if (switches & 1) args.push_back("--no-delete-npcs");
  if (switches & 2) args.push_back("--no-shrink-pets");
  if (switches & 4) args.push_back("--no-delete-respawn-points");
  if (switches & 8) {
    Write(folder + "/positions.txt", positions);
    args.insert(args.end(), {"--move-chars", folder + "/positions.txt"});
  }
  if (switches & 16) {
    Write(folder + "/illegal.txt", illegal);
    args.insert(args.end(), {"--illegal-items", folder + "/illegal.txt"});
  }
  if (switches & 32) args.push_back("--force");
  if (!(switches & 64)) args.push_back("--no-sync");
  if (switches & 128) args.push_back("--json");

  const bool dry_run = planted & 4, backup = planted & 8;
  const std::string report = folder + "/report.jsonl";
  if (dry_run) args.push_back("--dry-run");
  if (backup) args.push_back("--backup");
  if (planted & 16) args.insert(args.end(), {"--report", report});

  const std::string chars_file = MakeTarget(kinds, chars, world);
  const std::string world_file = MakeTarget(kinds >> 3, world, chars);
  const std::string dead = folder + "/.chars.scp.orvantor-" + std::to_string(dead_pid) + "-0.tmp";
  const std::string alive =
      folder + "/.world.scp.orvantor-" + std::to_string(::getpid()) + "-99.tmp";
  if (planted & 1) Write(dead, "left by a killed run");
  if (planted & 2) Write(alive, "still being written");

  auto before = Snapshot();
  before.erase(fs::path(dead).filename().string());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int status = orv::cli::Main(static_cast<int>(args.size()), argv.data());

  if (status != 0 && status != 1) Broken("exit status 0 or 1");
  if (Read(source) != rest) Broken("the source is never written");
  auto after = Snapshot();
  // A run refused before it locks the folder leaves a dead run's file.
  after.erase(fs::path(dead).filename().string());
  for (const auto& [name, what] : after) {
    if (name.find(".orvantor-") != std::string::npos && folder + "/" + name != alive)
      Broken("no temporary file is left behind");
  }
  if ((planted & 2) && after.count(fs::path(alive).filename().string()) == 0)
    Broken("a live process's temporary file stays");
  if (status == 0 && (planted & 16)) {
    const std::string lines = Read(report);
    for (std::size_t at = 0; at < lines.size();) {
      const std::size_t end = lines.find('\n', at);
      if (end == std::string::npos || lines.compare(at, 11, "{\"change\":\"") != 0 ||
          lines[end - 1] != '}')
        Broken("a report is whole JSON Lines of changes");
      at = end + 1;
    }
    after.erase(fs::path(report).filename().string());
  }
  if (status == 0 && !dry_run) {
    if (chars_file.empty() || world_file.empty()) Broken("only plain files are replaced");
    for (const std::string& file : {chars_file, world_file}) {
      const std::string name = fs::path(file).filename().string();
      if (backup && before.count(name)) {
        if (after[name + "~"] != before[name]) Broken("--backup keeps the old file as NAME~");
        after.erase(name + "~");
      }
      const std::string bytes = Read(file);
      if (bytes.rfind("// ORVANTOR", 0) != 0 || bytes.size() < 7 ||
          bytes.compare(bytes.size() - 7, 7, "[EOF]\r\n") != 0)
        Broken("a saved target is a whole framed file");
      after.erase(fs::path(file).filename().string());
      before.erase(fs::path(file).filename().string());
    }
  }
  if (before != after) {
    Broken(status != 0 ? "exit 1 changes nothing"
           : dry_run   ? "a dry run changes nothing but its report"
                       : "nothing but the targets changes");
  }
  return 0;
}
