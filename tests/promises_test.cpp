// The README's guarantees under real events, through the real command line
// on real folders: interrupts and kills, a commit that fails half way, the
// disk flushes, odd targets (devices, FIFOs, sockets, links, other owners,
// read-only files), two runs at once, a source that changes or is no world
// save, and the exit status of each. Whatever needs the superuser (device
// nodes, other owners, immutable files, mount namespaces) is skipped with a
// message elsewhere.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/run.h"
#include "engine/world.h"
#include "tests/cli_run.h"
#include "tests/recording_host.h"
#include "tests/test_util.h"

namespace orv::testing {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

const std::string kSave =
    Crlf({"TITLE=ORV", "[WORLDCHAR 01]", "SERIAL=p", "ACCOUNT=a", "[WORLDCHAR 02]", "SERIAL=n",
          "[WORLDITEM 03]", "SERIAL=i", "[EOF]"});
const std::string kOldChars = "old chars\r\n";
const std::string kOldWorld = "old world\r\n";

std::size_t Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }
bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A Unix stream socket bound to `path`, or -1.
int BoundSocket(const std::string& path) {
  const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
  if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return -1;
  return s;
}

// A source that is a FIFO holds a run after it has made its temporary
// files, until the test writes the save into it: the moment to interrupt,
// kill, lock against or break the targets under the run.
class HeldRun {
 public:
  // Starts `args` (a conversion of `fifo`, made here) with its output in
  // `scratch`.
  HeldRun(const std::string& fifo, const std::vector<std::string>& args, const std::string& scratch)
      : fifo_(fifo) {
    if (::mkfifo(fifo.c_str(), 0644) != 0) ADD_FAILURE() << "cannot make a FIFO";
    process_ = std::make_unique<CliProcess>(args, scratch);
  }
  CliProcess& process() { return *process_; }
  // Hands the save to the held run.
  void Release(const std::string& save = kSave) {
    // The run makes its temporary files before it opens the source, so it
    // may not be reading the FIFO yet (ENXIO): wait for it to, unless it is
    // gone.
    int fd = -1;
    WaitUntil([&] {
      fd = ::open(fifo_.c_str(), O_WRONLY | O_NONBLOCK);
      return fd >= 0 || errno != ENXIO || !process_->Running();
    });
    if (fd < 0) return;  // the run is gone
    ::fcntl(fd, F_SETFL, 0);
    if (::write(fd, save.data(), save.size()) != static_cast<ssize_t>(save.size())) ADD_FAILURE();
    ::close(fd);
  }
  ~HeldRun() { std::remove(fifo_.c_str()); }

 private:
  std::string fifo_;
  std::unique_ptr<CliProcess> process_;
};

class Promises : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(source, kSave);
    WriteFile(chars, kOldChars);
    WriteFile(world, kOldWorld);
  }

  std::vector<std::string> Convert(const std::vector<std::string>& extra = {},
                                   const std::string& from = "") const {
    std::vector<std::string> args = {
        "convert", from.empty() ? source : from, "--world-file", world, "--char-file", chars, "-q"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  CliRun Run(const std::vector<std::string>& extra = {}, const std::vector<std::string>& env = {}) {
    return RunCli(Convert(extra), scratch.path(), {}, env);
  }

  // Both targets as they were, and nothing else in the folder.
  void ExpectUnchanged(const Names& also = {}) const {
    EXPECT_EQ(ReadFile(chars), kOldChars);
    EXPECT_EQ(ReadFile(world), kOldWorld);
    Names names = {"chars.scp", "source.scp", "world.scp"};
    names.insert(names.end(), also.begin(), also.end());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(dir.Names(), names);
  }
  void ExpectSaved() const {
    EXPECT_TRUE(Has(ReadFile(chars), "SERIAL=p\r\nACCOUNT=a\r\n[EOF]\r\n"));
    EXPECT_TRUE(Has(ReadFile(world), "SERIAL=i\r\n[EOF]\r\n"));
  }
  // A run of the FIFO "held.scp", held until released.
  HeldRun Held() {
    return HeldRun(dir.File("held.scp"), Convert({}, dir.File("held.scp")), scratch.path());
  }

  bool HasTemporaries() const {
    const Names names = dir.Names();
    return std::count_if(names.begin(), names.end(),
                         [](const std::string& n) { return Has(n, ".orvantor-"); }) == 2;
  }

  TempDir dir;      // source and targets
  TempDir scratch;  // what the runs print
  std::string source = dir.File("source.scp");
  std::string chars = dir.File("chars.scp");
  std::string world = dir.File("world.scp");
};

// ---- 1. Interrupts

TEST_F(Promises, AnInterruptRemovesTheTemporaryFilesAndEndsByItsSignal) {
  if (UnderThreadSanitizer()) GTEST_SKIP() << "the sanitizer holds signals during a blocked call";
  for (const auto& [signal, name] : {std::pair{SIGINT, "SIGINT"}, std::pair{SIGTERM, "SIGTERM"},
                                     std::pair{SIGHUP, "SIGHUP"}, std::pair{SIGQUIT, "SIGQUIT"}}) {
    SCOPED_TRACE(name);
    HeldRun held = Held();
    ASSERT_TRUE(WaitUntil([&] { return HasTemporaries(); }));
    held.process().Signal(signal);
    const CliRun r = held.process().Wait();
    EXPECT_TRUE(r.KilledBy(signal)) << r.status << " " << r.err;
    EXPECT_EQ(r.ShellStatus(), 128 + signal);
    EXPECT_EQ(r.err,
              std::string("orvantor: interrupted by ") + name + "; the targets are unchanged\n");
    ExpectUnchanged({"held.scp"});
  }
}

TEST_F(Promises, AClosedOutputAfterTheSaveIsExitStatus3NotADeathBySignal) {
  // Nobody reads the summary: stdout closed, or a pipe whose reader has
  // gone (which would raise SIGPIPE).
  for (const CliStdout how : {CliStdout::kClosed, CliStdout::kBrokenPipe}) {
    SetUp();
    std::vector<std::string> args = Convert();
    args.pop_back();  // not quiet
    CliProcess p(args, scratch.path(), {}, {}, how);
    const CliRun r = p.Wait();
    EXPECT_TRUE(r.Exited(3)) << r.status << " " << r.err;
    EXPECT_TRUE(Has(r.err, "orvantor: the files are saved, but the summary could not be written\n"))
        << r.err;
    ExpectSaved();
  }
}

TEST_F(Promises, AKilledRunsTemporaryFilesAreRemovedByTheNextRunWhichSaysSo) {
  {
    HeldRun held = Held();
    ASSERT_TRUE(WaitUntil([&] { return HasTemporaries(); }));
    held.process().Signal(SIGKILL);
    EXPECT_TRUE(held.process().Wait().KilledBy(SIGKILL));
  }
  // A temporary file of a process that still runs (this one) stays.
  const std::string alive =
      dir.File(".chars.scp.orvantor-" + std::to_string(::getpid()) + "-7.tmp");
  WriteFile(alive, "busy");
  ASSERT_EQ(dir.Names().size(), 6u) << "the killed run's two temporary files are left";
  const CliRun r = Run();
  EXPECT_TRUE(r.Exited(0)) << r.err;
  EXPECT_EQ(Lines(r.err), 1u) << r.err;
  EXPECT_TRUE(Has(r.err,
                  "orvantor: removed 2 temporary files left by an earlier run that was "
                  "stopped: '" +
                      dir.path() + "/.chars.scp.orvantor-"))
      << r.err;
  ExpectSaved();
  EXPECT_EQ(dir.Names(), (Names{".chars.scp.orvantor-" + std::to_string(::getpid()) + "-7.tmp",
                                "chars.scp", "source.scp", "world.scp"}));
}

// ---- 2. The pair, all or nothing

TEST_F(Promises, ASecondRenameThatFailsPutsTheFirstTargetBack) {
  // The world file, checked up front, becomes immutable while the run
  // works; its rename fails after the character file's has succeeded.
  if (!IsRoot()) GTEST_SKIP() << "making a file immutable needs the superuser";
  if (std::system(("chattr +i '" + world + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "this file system cannot mark a file immutable";
  std::system(("chattr -i '" + world + "'").c_str());
  const struct stat before = [&] {
    struct stat st;
    ::stat(chars.c_str(), &st);
    return st;
  }();
  HeldRun held = Held();
  ASSERT_TRUE(WaitUntil([&] { return HasTemporaries(); }));
  ASSERT_EQ(std::system(("chattr +i '" + world + "'").c_str()), 0);
  held.Release();
  const CliRun r = held.process().Wait();
  std::system(("chattr -i '" + world + "'").c_str());
  EXPECT_TRUE(r.Exited(1)) << r.status << r.err;
  EXPECT_EQ(Lines(r.err), 1u) << r.err;
  EXPECT_TRUE(Has(r.err, "cannot replace '" + world + "': Operation not permitted")) << r.err;
  EXPECT_TRUE(Has(r.err, "'" + chars + "' was put back as it was")) << r.err;
  ExpectUnchanged({"held.scp"});
  struct stat after;
  ::stat(chars.c_str(), &after);
  EXPECT_EQ(after.st_ino, before.st_ino) << "the very same old file is back";
}

TEST_F(Promises, ACommitThatCannotBeUndoneIsExitStatus4AndSaysWhichFileIsNew) {
  // Renames that fail on demand: the world file's, and then putting the
  // character file back.
  const CliRun r =
      Run({}, {"LD_PRELOAD=" ORVANTOR_RENAME_FAULT, "ASAN_OPTIONS=verify_asan_link_order=0",
               "ORVANTOR_FAIL_RENAMES=world.scp:1,chars.scp:2"});
  EXPECT_TRUE(r.Exited(4)) << r.status << r.err;
  EXPECT_EQ(Lines(r.err), 1u) << r.err;
  EXPECT_TRUE(Has(r.err, "'" + chars + "', already replaced, could not be put back")) << r.err;
  EXPECT_TRUE(Has(r.err, "its old content is kept as '" + dir.path() + "/.chars.scp.orvantor-"))
      << r.err;
  EXPECT_TRUE(Has(ReadFile(chars), "SERIAL=p"));
  EXPECT_EQ(ReadFile(world), kOldWorld);
  const Names names = dir.Names();
  ASSERT_EQ(names.size(), 4u);
  EXPECT_EQ(ReadFile(dir.File(names[0])), kOldChars) << names[0];

  // The first rename failing changes nothing; the second failing puts
  // the first back.
  for (const char* rule : {"chars.scp:1", "world.scp:1"}) {
    SetUp();
    fs::remove(dir.File(names[0]));
    const CliRun once =
        Run({}, {"LD_PRELOAD=" ORVANTOR_RENAME_FAULT, "ASAN_OPTIONS=verify_asan_link_order=0",
                 std::string("ORVANTOR_FAIL_RENAMES=") + rule});
    EXPECT_TRUE(once.Exited(1)) << rule << once.err;
    ExpectUnchanged();
  }
}

TEST_F(Promises, WhatCanBeKnownBeforeTheWorkIsRefusedBeforeIt) {
  // A name longer than the folder allows.
  const std::string long_name = dir.File(std::string(256, 'w'));
  CliRun r = RunCli({"convert", source, "--world-file", long_name, "--char-file", chars, "-q"},
                    scratch.path());
  EXPECT_TRUE(r.Exited(1));
  EXPECT_TRUE(Has(r.err, "File name too long")) << r.err;
  ExpectUnchanged();
  // A folder that does not exist.
  r = RunCli(
      {"convert", source, "--world-file", dir.File("gone/w.scp"), "--char-file", chars, "-q"},
      scratch.path());
  EXPECT_TRUE(r.Exited(1));
  ExpectUnchanged();
  if (!IsRoot()) GTEST_SKIP() << "immutable files and other users need the superuser";
  // An immutable target.
  if (std::system(("chattr +i '" + world + "' 2>/dev/null").c_str()) == 0) {
    r = Run();
    std::system(("chattr -i '" + world + "'").c_str());
    EXPECT_TRUE(r.Exited(1));
    EXPECT_TRUE(Has(r.err, "it is marked immutable or append-only")) << r.err;
    ExpectUnchanged();
  }
  // Another user's file in a sticky folder (as /tmp), run as nobody.
  const std::string sticky = dir.File("sticky");
  fs::create_directory(sticky);
  ::chmod(dir.path().c_str(), 0755);
  ::chmod(sticky.c_str(), 01777);
  ::chmod(source.c_str(), 0644);
  WriteFile(sticky + "/w.scp", kOldWorld);
  ::chmod((sticky + "/w.scp").c_str(), 0666);  // writable, but not nobody's
  r = RunCli({"convert", source, "--world-file", sticky + "/w.scp", "--char-file",
              sticky + "/c.scp", "-q"},
             scratch.path(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
  EXPECT_TRUE(r.Exited(1)) << r.err;
  EXPECT_TRUE(Has(r.err, "belongs to another user in a folder where only the owner may replace"))
      << r.err;
  EXPECT_EQ(ReadFile(sticky + "/w.scp"), kOldWorld);
  EXPECT_FALSE(fs::exists(sticky + "/c.scp"));
}

// ---- 3. Durable saves

TEST_F(Promises, EachFileIsSyncedBeforeTheRenamesAndTheFolderAfter) {
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  const std::string trace = scratch.File("trace");
  for (const bool sync : {true, false}) {
    SCOPED_TRACE(sync ? "synced" : "--no-sync");
    std::vector<std::string> extra;
    if (!sync) extra.push_back("--no-sync");
    // (The leak checker of a sanitized build cannot work under a tracer.)
    const CliRun r = RunCli(Convert(extra), scratch.path(),
                            {"strace", "-f", "-y", "-qq", "-o", trace, "-e", "trace=fsync,rename"},
                            {"ASAN_OPTIONS=detect_leaks=0"});
    ASSERT_TRUE(r.Exited(0)) << r.err;
    // The calls in order, with the files they were made on.
    std::vector<std::string> calls;
    const std::string text = ReadFile(trace);
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
      end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      lines.push_back(text.substr(at, end - at));
    }
    for (const std::string& line : lines) {
      const bool is_sync = Has(line, "fsync(");
      if (!is_sync && !Has(line, "rename(")) continue;
      if (is_sync && Has(line, ".chars.scp.orvantor-"))
        calls.push_back("sync chars");
      else if (is_sync && Has(line, ".world.scp.orvantor-"))
        calls.push_back("sync world");
      else if (is_sync && Has(line, "<" + dir.path() + ">"))
        calls.push_back("sync folder");
      else if (Has(line, "\"" + chars + "\""))
        calls.push_back("rename chars");
      else if (Has(line, "\"" + world + "\""))
        calls.push_back("rename world");
    }
    if (sync) {
      EXPECT_EQ(calls,
                (Names{"sync chars", "sync world", "rename chars", "rename world", "sync folder"}));
    } else {
      EXPECT_EQ(calls, (Names{"rename chars", "rename world"}));
    }
    ExpectSaved();
  }
}

TEST_F(Promises, ASyncThatFailsIsNamedAndTellsWhetherTheFilesAreSaved) {
  const std::vector<std::string> shim = {"LD_PRELOAD=" ORVANTOR_RENAME_FAULT,
                                         "ASAN_OPTIONS=verify_asan_link_order=0"};
  // A file that cannot reach the disk: nothing is renamed.
  std::vector<std::string> env = shim;
  env.push_back("ORVANTOR_FAIL_SYNC=file");
  CliRun r = Run({}, env);
  EXPECT_TRUE(r.Exited(1)) << r.status << r.err;
  EXPECT_TRUE(Has(r.err, "cannot sync to the disk '" + chars + "': Input/output error")) << r.err;
  EXPECT_EQ(Lines(r.err), 1u) << r.err;
  ExpectUnchanged();
  // The folder, after the renames: saved, but said.
  env = shim;
  env.push_back("ORVANTOR_FAIL_SYNC=folder");
  r = Run({}, env);
  EXPECT_TRUE(r.Exited(3)) << r.status << r.err;
  EXPECT_EQ(r.err, "orvantor: the files are saved, but cannot sync the folder '" + dir.path() +
                       "' to the disk: Input/output error\n");
  ExpectSaved();
}

// ---- 4. Targets that are not plain files

TEST_F(Promises, DevicesFifosAndSocketsAreRefusedEvenForRoot) {
  std::vector<std::string> odd;
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
  odd.push_back(fifo);
  const std::string socket_path = dir.File("socket");
  const int s = BoundSocket(socket_path);
  ASSERT_GE(s, 0);
  ::close(s);
  odd.push_back(socket_path);
  // A device of our own, like /dev/null (1, 3), and a link to it, like
  // /dev/stdout: refused as the system's would be, with nothing of the
  // system's at stake should the refusal ever fail.
  const std::string device = dir.File("null");
  if (IsRoot() && ::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
    odd.push_back(device);
    fs::create_symlink(device, dir.File("stdout"));
    odd.push_back(dir.File("stdout"));
  } else {
    std::fprintf(stderr, "note: not root, or no device nodes here: the device case is skipped\n");
  }
  for (const std::string& target : odd) {
    SCOPED_TRACE(target);
    for (const bool as_world : {true, false}) {
      const CliRun r = RunCli({"convert", source, "--world-file", as_world ? target : world,
                               "--char-file", as_world ? chars : target, "-q", "--force"},
                              scratch.path());
      EXPECT_TRUE(r.Exited(1)) << r.err;
      EXPECT_EQ(Lines(r.err), 1u) << r.err;
      EXPECT_TRUE(Has(r.err, "it is a device, FIFO or socket, not a plain file")) << r.err;
    }
    EXPECT_FALSE(fs::is_regular_file(target));
  }
  EXPECT_EQ(ReadFile(chars), kOldChars);
  EXPECT_EQ(ReadFile(world), kOldWorld);
  if (fs::exists(device)) {
    EXPECT_TRUE(fs::is_character_file(device));
  }
  for (const std::string& n : dir.Names()) EXPECT_FALSE(Has(n, ".orvantor-")) << n;
}

TEST_F(Promises, ALinkedTargetIsWrittenWhereItLeadsAndTheLinkStays) {
  fs::create_directory(dir.File("real"));
  WriteFile(dir.File("real/chars.scp"), kOldChars);
  fs::remove(chars);
  fs::remove(world);
  fs::create_symlink("real/chars.scp", chars);                // relative, to a file
  fs::create_symlink(dir.File("real/new-world.scp"), world);  // dangling
  CliRun r = Run();
  ASSERT_TRUE(r.Exited(0)) << r.err;
  EXPECT_TRUE(fs::is_symlink(chars));
  EXPECT_TRUE(fs::is_symlink(world));
  EXPECT_TRUE(Has(ReadFile(dir.File("real/chars.scp")), "SERIAL=p"));
  EXPECT_TRUE(Has(ReadFile(dir.File("real/new-world.scp")), "SERIAL=i"));
  EXPECT_EQ(dir.Names(), (Names{"chars.scp", "real", "source.scp", "world.scp"}));

  // A link to the other target, dangling while that one does not exist,
  // still leads to the same file.
  fs::remove(world);
  fs::remove(dir.File("real/chars.scp"));
  fs::create_symlink(dir.File("real/chars.scp"), world);
  r = Run();
  EXPECT_TRUE(r.Exited(1));
  EXPECT_TRUE(Has(r.err, "are the same file")) << r.err;
  EXPECT_FALSE(fs::exists(dir.File("real/chars.scp")));

  // A loop.
  fs::remove(world);
  fs::create_symlink(dir.File("loop2"), world);
  fs::create_symlink(world, dir.File("loop2"));
  r = Run();
  EXPECT_TRUE(r.Exited(1));
  EXPECT_EQ(r.err, "Error: cannot write '" + world +
                       "': its symbolic links lead round in a loop; point the link at a file\n");
}

TEST_F(Promises, AReplacedTargetKeepsItsModeOwnerAndGroup) {
  ::chmod(chars.c_str(), 0640);
  if (IsRoot()) {
    // Root replacing the server account's files.
    ASSERT_EQ(::chown(chars.c_str(), 65534, 65534), 0);
  } else {
    std::fprintf(stderr, "note: not root: only the mode is checked\n");
  }
  struct stat before;
  ::stat(chars.c_str(), &before);
  ASSERT_TRUE(Run().Exited(0));
  struct stat after;
  ::stat(chars.c_str(), &after);
  EXPECT_NE(after.st_ino, before.st_ino) << "a new file";
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
}

TEST_F(Promises, AReadOnlyTargetIsReplacedOnlyWithForce) {
  // No write bit: read-only for root too.
  ::chmod(world.c_str(), 0444);
  CliRun r = Run();
  EXPECT_TRUE(r.Exited(1));
  EXPECT_EQ(r.err, "Error: cannot write '" + world +
                       "': it is read-only (give --force to go ahead anyway)\n");
  ExpectUnchanged();
  r = Run({"--force"});
  EXPECT_TRUE(r.Exited(0)) << r.err;
  ExpectSaved();
  struct stat st;
  ::stat(world.c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
}

// ---- 5. A live server

TEST_F(Promises, ASecondRunIntoTheSameFolderFailsAtOnceOrWaitsWithWait) {
  HeldRun first = Held();
  ASSERT_TRUE(WaitUntil([&] { return HasTemporaries(); }));
  const CliRun second = Run();
  EXPECT_TRUE(second.Exited(1));
  EXPECT_EQ(second.err, "Error: another conversion is writing into the folder '" + dir.path() +
                            "'; try again once it has ended\n");

  CliProcess waiting(Convert({"--wait"}), scratch.path());
  ::usleep(300000);
  EXPECT_EQ(::waitpid(waiting.pid(), nullptr, WNOHANG), 0) << "still waiting";
  first.Release();
  EXPECT_TRUE(first.process().Wait().Exited(0));
  const CliRun after = waiting.Wait();
  EXPECT_TRUE(after.Exited(0)) << after.err;
  ExpectSaved();
}

TEST_F(Promises, ASourceWrittenInPlaceDuringTheRunIsNotCommitted) {
  // The server saves over its file without truncating it (the same inode)
  // while the run reads it; appending is caught the same way. In process,
  // at the run's first pump, so that the moment is certain.
  for (const bool append : {false, true}) {
    SCOPED_TRACE(append ? "appended" : "rewritten");
    SetUp();
    World w;
    RecordingHost host;
    host.source = source;
    host.world_file = world;
    host.char_file = chars;
    bool written = false;
    host.on_process_messages = [&](RecordingHost&) {
      if (written) return;
      written = true;
      const int fd = ::open(source.c_str(), O_WRONLY | (append ? O_APPEND : 0));
      const std::string bytes = append ? "[WORLDITEM 04]\r\n" : "TITLE=ORX";
      EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
      ::close(fd);
    };
    const RunResult result = RunConversion(w, host);
    EXPECT_EQ(result.status, RunStatus::kFailed);
    EXPECT_EQ(result.error, "Error: the world save '" + source +
                                "' changed while it was read (did the server save over it?); "
                                "convert it again once it is written");
    ExpectUnchanged();
  }
}

TEST_F(Promises, ASourceThatIsNoWorldSaveIsRefusedUnlessForced) {
  const std::string message =
      "' is not a world save: it has no [WORLDCHAR or [WORLDITEM section "
      "and no [EOF] line (give --force to go ahead anyway)\n";
  for (const std::string& bytes : {std::string(),
                                   std::string("\x7f"
                                               "ELF\x02\x01\x01\0\0\0",
                                               10),
                                   Crlf({"1495,1629,10", "0186b"})}) {
    const std::string other = dir.File("other.bin");
    WriteFile(other, bytes);
    CliRun r = RunCli(Convert({}, other), scratch.path());
    EXPECT_TRUE(r.Exited(1));
    EXPECT_EQ(r.err, "Error: '" + other + message);
    ExpectUnchanged({"other.bin"});
    r = RunCli(Convert({"--force"}, other), scratch.path());
    EXPECT_TRUE(r.Exited(0)) << r.err;
    EXPECT_TRUE(Has(ReadFile(chars), "[EOF]\r\n"));
    SetUp();
    fs::remove(other);
  }
  // A save of a world with nothing in it, its header and end marker.
  WriteFile(source, Crlf({"TITLE=ORV", "[EOF]"}));
  EXPECT_TRUE(Run().Exited(0));
}

// ---- 6. Clear errors

TEST_F(Promises, ThePowerOffIsAskedOnlyOnceTheSummaryIsOut) {
  if (UnderThreadSanitizer()) GTEST_SKIP() << "the sanitizer holds signals during a blocked call";
  // A system bus that takes the call and never answers holds the run in
  // its power-off request: by then the summary must be written, and an
  // interrupt there finds both files saved.
  const std::string bus = scratch.File("bus");
  const int listener = BoundSocket(bus);
  ASSERT_GE(listener, 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  std::vector<std::string> args = Convert({"--power-off"});
  args.erase(std::find(args.begin(), args.end(), std::string("-q")));
  CliProcess p(args, scratch.path(), {}, {"DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + bus});
  ::fcntl(listener, F_SETFL, O_NONBLOCK);
  int caller = -1;
  const bool called = WaitUntil([&] {
    caller = ::accept(listener, nullptr, nullptr);
    return caller >= 0 || ::waitpid(p.pid(), nullptr, WNOHANG) != 0;
  });
  if (caller < 0) {
    ::close(listener);
    GTEST_SKIP() << "this build asks for the power-off without the system bus";
  }
  ASSERT_TRUE(called);
  ExpectSaved();
  std::string summary;
  for (const auto& e : fs::directory_iterator(scratch.path()))
    if (e.path().extension() == ".out") summary = ReadFile(e.path().string());
  EXPECT_TRUE(Has(summary, "characters: 2 (players 1, NPCs 1)")) << "written before the call";
  p.Signal(SIGTERM);
  const CliRun r = p.Wait();
  ::close(caller);
  ::close(listener);
  EXPECT_TRUE(r.Exited(3)) << r.status << r.err;
  EXPECT_TRUE(Has(r.err, "orvantor: interrupted by SIGTERM after both files were saved\n"))
      << r.err;
  ExpectSaved();
}

TEST_F(Promises, FileNamesInMessagesCannotSplitOrForgeALine) {
  const std::string odd = dir.File("gone\nError: forged\x1b[2J");
  const CliRun r = RunCli(Convert({}, odd + "/w.scp"), scratch.path());
  EXPECT_TRUE(r.Exited(1));
  EXPECT_EQ(Lines(r.err), 1u) << r.err;
  const CliRun t =
      RunCli({"convert", source, "--world-file", odd + "/w.scp", "--char-file", chars, "-q"},
             scratch.path());
  EXPECT_TRUE(t.Exited(1));
  EXPECT_EQ(t.err, "Error: cannot write into the folder '" + dir.path() +
                       "/gone\\nError: forged\\x1b[2J': No such file or directory\n");
}

TEST_F(Promises, AThreadThatCannotStartIsNamed) {
  if (!IsRoot()) GTEST_SKIP() << "running as another user with a process limit needs the superuser";
  if (UnderThreadSanitizer()) GTEST_SKIP() << "the sanitizer needs threads of its own";
  // nobody may run one process: the writer thread cannot start.
  ::chmod(dir.path().c_str(), 0777);
  ::chmod(source.c_str(), 0644);
  const std::string c = dir.File("new-chars.scp"), w = dir.File("new-world.scp");
  const CliRun r = RunCli(
      {"convert", source, "--world-file", w, "--char-file", c, "-q"}, scratch.path(),
      {"prlimit", "--nproc=1", "setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"},
      {"ASAN_OPTIONS=detect_leaks=0"});  // the leak checker needs a thread too
  EXPECT_TRUE(r.Exited(1)) << r.status << r.err;
  EXPECT_EQ(Lines(r.err), 1u) << r.err;
  EXPECT_TRUE(Has(r.err, "cannot start a worker thread to write '")) << r.err;
  EXPECT_FALSE(fs::exists(c));
  EXPECT_FALSE(fs::exists(w));
  ExpectUnchanged();
}

TEST_F(Promises, ADiskThatFillsUpLosesNothing) {
  // A real full disk: a 1 MiB tmpfs in a mount namespace of the run's own,
  // holding both targets; the source (about 4 MB) lies outside.
  if (!IsRoot()) GTEST_SKIP() << "mounting a small tmpfs needs the superuser";
  std::string big = "TITLE=ORV\r\n";
  for (int i = 0; i < 100000; ++i)
    big += "[WORLDITEM 0eed]\r\nSERIAL=" + std::to_string(i) + "\r\n";
  big += "[EOF]\r\n";
  WriteFile(source, big);
  const std::string small = dir.File("small");
  fs::create_directory(small);
  const std::string out = scratch.File("small-");
  const std::string script =
      "mount -t tmpfs -o size=1m none \"$0\" || exit 77; "
      "printf 'old world\\r\\n' >\"$0/world.scp\"; printf 'old chars\\r\\n' >\"$0/chars.scp\"; "
      "\"$@\"; s=$?; ls -A \"$0\" >'" +
      out + "ls'; cat \"$0/world.scp\" >'" + out +
      "world'; "
      "cat \"$0/chars.scp\" >'" +
      out + "chars'; exit $s";
  const CliRun r = RunCli({"convert", source, "--world-file", small + "/world.scp", "--char-file",
                           small + "/chars.scp", "-q"},
                          scratch.path(),
                          {"unshare", "-m", "--propagation", "private", "sh", "-c", script, small});
  if (r.Exited(77)) GTEST_SKIP() << "no private mount namespace here: " << r.err;
  EXPECT_TRUE(r.Exited(1)) << r.status << r.err;
  EXPECT_TRUE(Has(r.err, "No space left on device")) << r.err;
  EXPECT_EQ(Lines(r.err), 1u) << r.err;
  EXPECT_EQ(ReadFile(out + "ls"), "chars.scp\nworld.scp\n");
  EXPECT_EQ(ReadFile(out + "world"), kOldWorld);
  EXPECT_EQ(ReadFile(out + "chars"), kOldChars);
}

}  // namespace
}  // namespace orv::testing
