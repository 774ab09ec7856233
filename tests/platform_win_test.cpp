// The promises on Windows, through the same interfaces as on POSIX and
// through orvantor.exe itself: names outside the ANSI code page, device
// names, read-only targets and targets another program holds open, the
// all-or-nothing commit, the leftovers of a killed run, folder locks, a
// source written to meanwhile, the console's interrupts and a read fault
// under the source.

#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "engine/errors.h"
#include "engine/run.h"
#include "platform/file_system.h"
#include "platform/interrupts.h"
#include "platform/utf16_win.h"
#include "tests/test_util.h"

namespace orv::testing {
namespace {

using Names = std::vector<std::string>;
using platform::Utf16;

const std::string kSave =
    Crlf({"// saved by ORV", "[WORLDCHAR 01]", "SERIAL=p", "ACCOUNT=a", "[WORLDCHAR 02]",
          "SERIAL=n", "[WORLDITEM 03]", "SERIAL=i", "[EOF]"});

// orvantor.exe, beside this program.
std::wstring CliPath() {
  wchar_t self[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, n);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"orvantor.exe";
}

// Starts orvantor.exe with `arguments` (UTF-8), each quoted as the system
// splits a command line.
PROCESS_INFORMATION StartCli(const std::vector<std::string>& arguments, DWORD flags = 0) {
  std::wstring line = L"\"" + CliPath() + L"\"";
  for (const std::string& a : arguments) line += L" \"" + Utf16(a) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  EXPECT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr,
                               nullptr, &startup, &process))
      << platform::SystemErrorText(::GetLastError());
  return process;
}

DWORD WaitForExit(const PROCESS_INFORMATION& process) {
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  return code;
}

DWORD RunCli(const std::vector<std::string>& arguments) { return WaitForExit(StartCli(arguments)); }

DWORD AttributesOf(const std::string& path) { return ::GetFileAttributesW(Utf16(path).c_str()); }

bool HasTemporaryFile(const TempDir& dir) {
  const Names names = dir.Names();
  return std::any_of(names.begin(), names.end(), [](const std::string& n) {
    return n.find(".orvantor-") != std::string::npos;
  });
}

TEST(WindowsFiles, NamesOutsideTheAnsiCodePageConvertThroughTheCommandLine) {
  const std::string source = "w\xc3\xb6rld-\xe4\xb8\x96\xe7\x95\x8c.scp";    // wörld-世界
  const std::string world = "\xce\xa9\xce\xbc\xce\xad\xce\xb3\xce\xb1.scp";  // Ωμέγα
  const std::string chars = "\xd0\xb3\xd0\xb5\xd1\x80\xd0\xbe\xd0\xb8.scp";  // герои
  // The test means something only where the ANSI code page lacks them.
  BOOL lost = FALSE;
  const std::wstring wide = Utf16(source + world + chars);
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), static_cast<int>(wide.size()),
                        nullptr, 0, nullptr, &lost);
  ASSERT_TRUE(lost) << "the ANSI code page holds every character of the names";

  TempDir dir;
  WriteFile(dir.File(source), kSave);
  EXPECT_EQ(RunCli({"convert", dir.File(source), "--world-file", dir.File(world), "--char-file",
                    dir.File(chars), "-q"}),
            0u);
  Names expected = {chars, source, world};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(dir.Names(), expected);
  EXPECT_EQ(ReadFile(dir.File(chars)).rfind("// ORVANTOR v4.0 FULL - Pellacord\r\n\r\n", 0), 0u);
  EXPECT_NE(ReadFile(dir.File(world)).find("SERIAL=i\r\n[EOF]\r\n"), std::string::npos);
}

TEST(WindowsFiles, DeviceNamesAreRefusedBeforeAnythingIsWritten) {
  for (const std::string device : {"NUL", "CON", "COM1", "\\\\.\\NUL", "nul"}) {
    try {
      platform::CheckReplaceable(device, true);
      ADD_FAILURE() << device << " was not refused";
    } catch (const IoError& e) {
      EXPECT_NE(std::string(e.what()).find("device"), std::string::npos) << e.what();
    }
  }
  FileRun run(kSave);
  run.host.world_file = "NUL";
  EXPECT_EQ(run.Run().status, RunStatus::kFailed);
  EXPECT_EQ(run.dir.Names(), Names{"world.scp"}) << "nothing written beside the source";
}

TEST(WindowsFiles, AReadOnlyTargetIsReplacedOnlyWithForceAndStaysReadOnly) {
  FileRun run(kSave);
  WriteFile(run.host.char_file, "old chars");
  const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
  ASSERT_TRUE(::SetFileAttributesW(Utf16(run.host.char_file).c_str(), kept));

  RunResult refused = run.Run();
  EXPECT_EQ(refused.status, RunStatus::kFailed);
  EXPECT_NE(refused.error.find("read-only"), std::string::npos) << refused.error;
  EXPECT_EQ(run.Chars(), "old chars");
  EXPECT_FALSE(HasTemporaryFile(run.dir));

  RunOptions force;
  force.force = true;
  ASSERT_EQ(RunConversion(run.w, run.host, force).status, RunStatus::kCompleted);
  EXPECT_EQ(run.Chars().rfind("// ORVANTOR", 0), 0u);
  EXPECT_EQ(AttributesOf(run.host.char_file) & kept, kept) << "the attributes pass to the new file";
  EXPECT_EQ(run.dir.Names(), (Names{"out-chars.scp", "out-world.scp", "world.scp"}));
  ::SetFileAttributesW(Utf16(run.host.char_file).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WindowsFiles, ATargetAnotherProgramHoldsOpenIsRefused) {
  FileRun run(kSave);
  WriteFile(run.host.world_file, "old world");
  // As a server holds its files: readable by others, but not to be replaced.
  const HANDLE held = ::CreateFileW(Utf16(run.host.world_file).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const RunResult result = run.Run();
  ::CloseHandle(held);
  EXPECT_EQ(result.status, RunStatus::kFailed);
  EXPECT_NE(result.error.find("another program has it open"), std::string::npos) << result.error;
  EXPECT_EQ(run.WorldFile(), "old world");
  EXPECT_EQ(run.dir.Names(), (Names{"out-world.scp", "world.scp"}));
}

TEST(WindowsFiles, ASecondRenameThatFailsPutsTheFirstTargetBack) {
  TempDir dir;
  const std::string a = dir.File("a.scp"), b = dir.File("b.scp");
  WriteFile(a, "old a");
  WriteFile(b, "old b");
  {
    platform::AtomicFileWriter first(a), second(b);
    first.Write("new a", 5);
    second.Write("new b", 5);
    // Taken only now, after the checks a run makes: the rename over b fails.
    const HANDLE held = ::CreateFileW(Utf16(b).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    platform::AtomicFileWriter* const files[] = {&first, &second};
    try {
      platform::CommitTogether(files, true);
      ADD_FAILURE() << "the commit went through";
    } catch (const HalfSaved& e) {
      ADD_FAILURE() << e.what();
    } catch (const IoError& e) {
      EXPECT_NE(std::string(e.what()).find("'" + a + "' was put back as it was"), std::string::npos)
          << e.what();
    }
    ::CloseHandle(held);
  }
  EXPECT_EQ(ReadFile(a), "old a");
  EXPECT_EQ(ReadFile(b), "old b");
  EXPECT_EQ(dir.Names(), (Names{"a.scp", "b.scp"}));
}

TEST(WindowsFiles, AKilledRunsTemporaryFilesAreRemovedByTheNextRun) {
  TempDir dir;
  // A process that has ended, one that still runs (held suspended) and
  // this one.
  PROCESS_INFORMATION ended = StartCli({"--version"}, CREATE_NO_WINDOW);
  const DWORD ended_pid = ended.dwProcessId;
  WaitForExit(ended);
  PROCESS_INFORMATION running = StartCli({"--version"}, CREATE_SUSPENDED);
  const auto temporary = [&](DWORD pid) {
    const std::string name = ".c.scp.orvantor-" + std::to_string(pid) + "-3.tmp";
    WriteFile(dir.File(name), "part");
    return name;
  };
  const std::string dead = temporary(ended_pid);
  const std::string alive = temporary(running.dwProcessId);
  const std::string own = temporary(::GetCurrentProcessId());
  WriteFile(dir.File(".c.scp.orvantor-x-3.tmp"), "not ours");

  EXPECT_EQ(platform::RemoveStaleTemporaryFiles(dir.path()), Names{dir.path() + "\\" + dead});
  ::TerminateProcess(running.hProcess, 1);
  WaitForExit(running);
  EXPECT_EQ(platform::RemoveStaleTemporaryFiles(dir.path()), Names{dir.path() + "\\" + alive});
  Names left = {own, ".c.scp.orvantor-x-3.tmp"};
  std::sort(left.begin(), left.end());
  EXPECT_EQ(dir.Names(), left);
}

TEST(WindowsFiles, TwoRunsIntoTheSameFolderNeverOverlap) {
  TempDir dir;
  const HANDLE taken = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const HANDLE let_go = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread first_run([&] {
    platform::FolderLock lock(dir.path());
    EXPECT_TRUE(lock.TryLock());
    ::SetEvent(taken);
    ::WaitForSingleObject(let_go, INFINITE);
  });
  ::WaitForSingleObject(taken, INFINITE);
  // The second run names the folder otherwise.
  platform::FolderLock second(dir.path() + "\\.");
  EXPECT_TRUE(second.SameFolder(platform::FolderLock(dir.path())));
  EXPECT_FALSE(second.TryLock());
  ::SetEvent(let_go);
  second.Lock();  // returns once the first run has ended
  first_run.join();
  ::CloseHandle(taken);
  ::CloseHandle(let_go);
}

TEST(WindowsFiles, ALinkedTargetIsWrittenWhereItLeadsAndTheLinkStays) {
  FileRun run(kSave);
  const std::string real = run.dir.File("real-chars.scp");
  WriteFile(real, "old chars");
  // Wine says yes and makes none.
  if (!::CreateSymbolicLinkW(Utf16(run.host.char_file).c_str(), Utf16(real).c_str(),
                             SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) ||
      AttributesOf(run.host.char_file) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "no symbolic links to be made here";
  ASSERT_EQ(run.Run().status, RunStatus::kCompleted);
  EXPECT_EQ(ReadFile(real).rfind("// ORVANTOR", 0), 0u);
  EXPECT_NE(AttributesOf(run.host.char_file) & FILE_ATTRIBUTE_REPARSE_POINT, 0u)
      << "the link stays";
  // One that leads nowhere is refused before anything is written.
  ::DeleteFileW(Utf16(real).c_str());
  EXPECT_EQ(run.Run().status, RunStatus::kFailed);
  EXPECT_FALSE(HasTemporaryFile(run.dir));
}

TEST(WindowsFiles, FreeSpaceAndTheReadOnlyAttributeAreTold) {
  TempDir dir;
  EXPECT_GT(platform::FreeBytes(dir.File("new.scp")), 0);
  EXPECT_EQ(platform::FreeBytes(dir.File("missing\\new.scp")), -1);
  WriteFile(dir.File("chars.scp"), "x");
  EXPECT_FALSE(platform::IsReadOnly(dir.File("chars.scp")));
  ::SetFileAttributesW(Utf16(dir.File("chars.scp")).c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(platform::IsReadOnly(dir.File("chars.scp")));
  EXPECT_TRUE(platform::IsReadOnly(dir.File("missing.scp")))
      << "what cannot be read counts as read-only";
  ::SetFileAttributesW(Utf16(dir.File("chars.scp")).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WindowsFiles, SameFileSeesLinksAndIgnoresCase) {
  TempDir dir;
  WriteFile(dir.File("save.scp"), kSave);
  ASSERT_TRUE(::CreateHardLinkW(Utf16(dir.File("link.scp")).c_str(),
                                Utf16(dir.File("save.scp")).c_str(), nullptr));
  EXPECT_TRUE(platform::SameFile(dir.File("save.scp"), dir.File("link.scp")));
  EXPECT_TRUE(platform::SameFile(dir.File("New.scp"), dir.path() + "\\.\\new.SCP"));
  EXPECT_FALSE(platform::SameFile(dir.File("save.scp"), dir.File("new.scp")));
  EXPECT_FALSE(platform::SameFile(dir.File("a.scp"), dir.File("b.scp")));
}

TEST(WindowsFiles, ASourceWrittenMeanwhileIsCaughtAndABigOneIsMapped) {
  TempDir dir;
  const std::string source = dir.File("world.scp");
  WriteFile(source, kSave);
  auto bytes = platform::OpenWholeFile(source);
  EXPECT_EQ(bytes->Bytes(), kSave);
  EXPECT_NO_THROW(bytes->CheckUnchanged());
  // Rewritten in place, as a server saves over its file: same size, new
  // bytes. The mapping lets it, and sees it.
  std::string other = kSave;
  other[0] = '#';
  const HANDLE h = ::CreateFileW(Utf16(source).c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  Sleep(20);
  DWORD written = 0;
  ::WriteFile(h, other.data(), static_cast<DWORD>(other.size()), &written, nullptr);
  ::CloseHandle(h);
  EXPECT_EQ(bytes->Bytes(), other);
  try {
    bytes->CheckUnchanged();
    ADD_FAILURE() << "the change went unseen";
  } catch (const IoError& e) {
    EXPECT_NE(std::string(e.what()).find("changed while it was read"), std::string::npos)
        << e.what();
  }
}

TEST(WindowsFiles, ASaveOver4GiBIsMappedWhole) {
  TempDir dir;
  const std::string source = dir.File("huge.scp");
  // Sparse where the file system allows: only the end is written.
  const std::uint64_t size = (std::uint64_t{5} << 30) + 3;
  {
    const HANDLE h =
        ::CreateFileW(Utf16(source).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD unused = 0;
    ::DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size - 7);
    ::SetFilePointerEx(h, end, nullptr, FILE_BEGIN);
    DWORD written = 0;
    ::WriteFile(h, "[EOF]\r\n", 7, &written, nullptr);
    ::CloseHandle(h);
  }
  {
    const auto bytes = platform::OpenWholeFile(source);
    ASSERT_EQ(bytes->Bytes().size(), size);
    EXPECT_EQ(bytes->Bytes().substr(size - 7), "[EOF]\r\n");
  }
  ::DeleteFileW(Utf16(source).c_str());
}

// Ctrl+C and Ctrl+Break go to every program of the console, this one too,
// which has its children send them: while this lives, they pass it by. Its
// end waits until every event sent meanwhile has come (on a thread of the
// system's), so that none comes after its handler is gone.
class ConsoleEventsPassBy {
 public:
  ConsoleEventsPassBy() : expected_(seen.load()) { ::SetConsoleCtrlHandler(Count, TRUE); }
  ~ConsoleEventsPassBy() {
    for (int waited = 0; waited < 5000 && seen.load() < expected_; ++waited) ::Sleep(1);
    ::SetConsoleCtrlHandler(Count, FALSE);
  }
  // One more event is sent to the console.
  void Sent() { ++expected_; }

 private:
  static BOOL WINAPI Count(DWORD) {
    ++seen;
    return TRUE;
  }
  static inline std::atomic<int> seen{0};
  int expected_;
};

bool HasConsole() {
  DWORD pid = 0;
  return ::GetConsoleProcessList(&pid, 1) > 0;
}

// In the child: a run in `phase` with a temporary file beside `target`,
// and then the console event.
void InterruptedRun(const std::string& target, platform::RunPhase phase, DWORD event) {
  platform::InstallInterruptHandlers(3);
  ::SetConsoleCtrlHandler(nullptr, FALSE);  // Ctrl+C taken again, if ignored
  platform::AtomicFileWriter file(target);
  file.Write("part", 4);
  platform::SetRunPhase(phase);
  if (!::GenerateConsoleCtrlEvent(event, 0)) std::exit(77);
  Sleep(10000);
}

constexpr int kInterrupted = static_cast<int>(0xC000013A);

TEST(WindowsInterruptsDeathTest, EachPhaseEndsAsItPromises) {
  if (!HasConsole()) GTEST_SKIP() << "no console to send events on (run on a terminal)";
  TempDir dir;
  const std::string target = dir.File("chars.scp");
  {
    ConsoleEventsPassBy events;
    events.Sent();
    EXPECT_EXIT(InterruptedRun(target, platform::RunPhase::kWorking, CTRL_C_EVENT),
                ::testing::ExitedWithCode(kInterrupted),
                "interrupted by Ctrl\\+C; the targets are unchanged");
    // Wine cannot make a Ctrl+Break; the same handler takes it.
    if (!UnderWine()) {
      events.Sent();
      EXPECT_EXIT(InterruptedRun(target, platform::RunPhase::kWorking, CTRL_BREAK_EVENT),
                  ::testing::ExitedWithCode(kInterrupted),
                  "interrupted by Ctrl\\+Break; the targets are unchanged");
    }
    events.Sent();
    EXPECT_EXIT(InterruptedRun(target, platform::RunPhase::kSaved, CTRL_C_EVENT),
                ::testing::ExitedWithCode(3),
                "interrupted by Ctrl\\+C after both files were saved");
    // Outside a run the event does what it does to any program. (Wine ends
    // such a program differently, and a death test's child not at all.)
    if (!UnderWine()) {
      events.Sent();
      EXPECT_EXIT(InterruptedRun(target, platform::RunPhase::kIdle, CTRL_C_EVENT),
                  ::testing::ExitedWithCode(kInterrupted), "");
    }
  }
  EXPECT_EQ(dir.Names(), Names{}) << "the temporary files of the runs in progress are removed";
}

TEST(WindowsInterruptsDeathTest, CtrlCRemovesTheTemporaryFilesOfTheCommandLine) {
  if (!HasConsole()) GTEST_SKIP() << "no console to send events on (run on a terminal)";
  // A save big enough to be at work on when the event comes.
  FileRun run("");
  std::string save;
  for (int i = 0; save.size() < (std::size_t{96} << 20); ++i)
    save += "[WORLDITEM 0e75]\r\nSERIAL=" + std::to_string(i) + "\r\nCOLOR=0481\r\n";
  WriteFile(run.host.source, save + "[EOF]\r\n");
  WriteFile(run.host.char_file, "old chars");
  {
    ConsoleEventsPassBy events;
    PROCESS_INFORMATION cli =
        StartCli({"convert", run.host.source, "--world-file", run.host.world_file, "--char-file",
                  run.host.char_file, "-q"});
    while (!HasTemporaryFile(run.dir) && ::WaitForSingleObject(cli.hProcess, 1) == WAIT_TIMEOUT) {
    }
    events.Sent();
    ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    EXPECT_EQ(WaitForExit(cli), 0xC000013Au);
  }
  EXPECT_EQ(run.Chars(), "old chars");
  EXPECT_EQ(run.dir.Names(), (Names{"out-chars.scp", "world.scp"}));
}

// In the child: a run reading the mapped source when the system cannot
// bring a page of it in (its network share went away).
void ReadFaultUnderTheSource(const std::string& source, const std::string& target) {
  const auto bytes = platform::OpenWholeFile(source);
  platform::AtomicFileWriter file(target);
  // Read, the address, and the status of the read: a device data error.
  const ULONG_PTR fault[3] = {0, reinterpret_cast<ULONG_PTR>(bytes->Bytes().data() + 7),
                              ULONG_PTR{0xC000009C}};
  ::RaiseException(EXCEPTION_IN_PAGE_ERROR, 0, 3, fault);
}

TEST(WindowsFaultsDeathTest, AReadFaultUnderTheSourceEndsTheRunAndLeavesNoTemporaryFile) {
  TempDir dir;
  const std::string source = dir.File("source.scp");
  WriteFile(source, kSave);
  EXPECT_EXIT(ReadFaultUnderTheSource(source, dir.File("chars.scp")), ::testing::ExitedWithCode(1),
              "the world save '.*source.scp' could no longer be read while it was being read .*the "
              "targets are unchanged");
  EXPECT_EQ(dir.Names(), Names{"source.scp"});
}

}  // namespace
}  // namespace orv::testing
