#include "engine/run.h"

#include <chrono>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "engine/analyse.h"
#include "engine/background_thread.h"
#include "engine/change_report.h"
#include "engine/counting_line_sink.h"
#include "engine/errors.h"
#include "engine/line_rules.h"
#include "engine/line_sink.h"
#include "passes/passes.h"
#include "platform/file_system.h"
#include "platform/interrupts.h"
#include "platform/quoted.h"
#include "writers/char_writer.h"
#include "writers/file_frame.h"
#include "writers/item_writer.h"
#include "writers/world_file_writer.h"

namespace orv {
namespace {

void Lock(RunHost& host) {
  for (Control c : {Control::BitBtn1, Control::CheckBox1, Control::CheckBox2, Control::CheckBox3,
                    Control::CheckBox4, Control::CheckBox5, Control::BitBtn3, Control::BitBtn4,
                    Control::BitBtn5, Control::Button1, Control::Button2, Control::Button3,
                    Control::Memo4, Control::Memo5})
    host.SetEnabled(c, false);
}

void Unlock(RunHost& host) {
  host.SetEnabled(Control::BitBtn1, true);
  host.SetEnabled(Control::CheckBox1, true);
  host.SetEnabled(Control::CheckBox2, true);
  host.SetEnabled(Control::CheckBox3, host.Checked(Switch::kDeleteNpcs));
  host.SetEnabled(Control::CheckBox4, true);
  host.SetEnabled(Control::CheckBox5, true);
  const bool move = host.Checked(Switch::kMoveChars);
  host.SetEnabled(Control::BitBtn2, move);
  host.SetEnabled(Control::BitBtn3, move);
  const bool illegal = host.Checked(Switch::kIllegalItems);
  host.SetEnabled(Control::BitBtn4, illegal);
  host.SetEnabled(Control::BitBtn5, illegal);
  host.SetEnabled(Control::Button1, true);
  host.SetEnabled(Control::Button2, true);
  host.SetEnabled(Control::Button3, true);
  host.SetEnabled(Control::Memo4, host.Checked(Switch::kMoveChars));
  host.SetEnabled(Control::Memo5, host.Checked(Switch::kIllegalItems));
}

// The targets must be two files, neither the source: the second save would
// silently destroy the first, and the source is the user's only copy of the
// world. Returns the refusal text, or nothing when the names are fine.
std::optional<std::string> CheckTargets(const std::string& source, const std::string& world_name,
                                        const std::string& chars_name) {
  if (world_name.empty()) return "Error: no target worldfile chosen";
  if (chars_name.empty()) return "Error: no target characterfile chosen";
  // Where the names lead: a dangling link to the other target is the same
  // file too, before either exists.
  const auto resolved = [](const std::string& name) {
    try {
      return platform::ResolveTarget(name);
    } catch (const IoError&) {
      return name;  // a loop: refused when the target is checked
    }
  };
  const std::string world = resolved(world_name);
  const std::string chars = resolved(chars_name);
  if (platform::SameFile(source, world))
    return "Error: the target worldfile is the source worldfile; choose another file";
  if (platform::SameFile(source, chars))
    return "Error: the target characterfile is the source worldfile; choose another file";
  if (platform::SameFile(world, chars))
    return "Error: the target worldfile and the target characterfile are the same file; choose two "
           "different files";
  return std::nullopt;
}

RunSummary Summarise(const World& w, const LineSink& chars, const LineSink& world) {
  RunSummary s;
  s.chars = w.CharCount;
  s.players = w.PlayerCount;
  s.npcs = w.CharCount - w.PlayerCount;
  s.items = w.ItemCount;
  s.contained = w.ContainedCount;
  s.unowned = w.UnownedCount;
  s.char_file_lines = chars.LineCount();
  s.char_file_bytes = chars.ByteCount();
  s.world_file_lines = world.LineCount();
  s.world_file_bytes = world.ByteCount();
  s.passes = w.Stats;
  return s;
}

// Takes the lock of each target's folder (each folder once), waiting for
// another run when asked, and removes what killed runs left there. Throws
// IoError when a folder is busy and no wait is asked.
std::vector<std::unique_ptr<platform::FolderLock>> LockFolders(RunHost& host,
                                                               const RunOptions& options) {
  std::vector<std::unique_ptr<platform::FolderLock>> locks;
  for (const std::string& target : {host.CharFileName(), host.WorldFileName()}) {
    const std::string folder = platform::FolderOf(platform::ResolveTarget(target));
    auto lock = std::make_unique<platform::FolderLock>(folder);
    bool again = false;
    for (const auto& held : locks) again = again || held->SameFolder(*lock);
    if (again) continue;
    if (!lock->TryLock()) {
      if (!options.wait_for_lock) {
        throw IoError("another conversion is writing into the folder " + platform::Quoted(folder) +
                      "; try again once it has ended");
      }
      host.SetStatus("waiting for another conversion into " + platform::Quoted(folder) + " to end");
      lock->Lock();
    }
    const std::vector<std::string> removed = platform::RemoveStaleTemporaryFiles(folder);
    if (!removed.empty()) {
      std::string line = "removed " + std::to_string(removed.size()) +
                         (removed.size() == 1 ? " temporary file" : " temporary files") +
                         " left by an earlier run that was stopped:";
      for (std::size_t i = 0; i < removed.size(); ++i)
        line += (i == 0 ? " " : ", ") + platform::Quoted(removed[i]);
      host.Notice(line);
    }
    locks.push_back(std::move(lock));
  }
  return locks;
}

// A world save has a character or item section, or at least its end
// marker (a save of a world with nothing in it). Anything else (a binary,
// a list file, an empty file) would only be copied into both targets.
bool LooksLikeWorldSave(std::string_view bytes) {
  for (LineCursor c(bytes); c.HasLine(); c.Advance()) {
    const std::string_view s = StripLeading(c.Line());
    if (IsCharHead(s) || IsItemHead(s) || IsEndMarker(s)) return true;
  }
  return false;
}

// Refuses, unless forced, a source that is no world save: it would only be
// copied into both targets.
void CheckWorldSave(const World& w, const std::string& source, const RunOptions& options) {
  if (!options.force && !LooksLikeWorldSave(w.SourceLines.Bytes())) {
    throw NeedsForce(platform::Quoted(source) +
                     " is not a world save: it has no [WORLDCHAR or [WORLDITEM section and no "
                     "[EOF] line");
  }
}

// A dry run: everything but the files, which are only counted. No
// temporary file, no lock, nothing removed or written beside the targets.
RunSummary CountWithoutWriting(World& w, RunHost& host, const RunOptions& options) {
  const std::string source = host.SourceFileName();
  host.SetStatus("loading file into memory (this may take some minutes)");
  w.SourceLines.LoadFromFile(source, SourceText::Counting::kLater);
  CheckWorldSave(w, source, options);
  CountingLineSink char_lines, world_lines;
  AnalyseCleanAndWrite(w, host, char_lines, world_lines);
  w.SourceLines.CheckUnchanged();
  return Summarise(w, char_lines, world_lines);
}

// The files written and committed together, the old targets kept as
// backups when asked.
RunSummary ConvertAndCommit(World& w, RunHost& host, const RunOptions& options,
                            std::string& after_save) {
  const std::string source = host.SourceFileName();
  const auto locks = LockFolders(host, options);
  host.SetStatus("loading file into memory (this may take some minutes)");
  // Both files are written straight into temporary files next to their
  // targets; "saving files" then only completes and renames them. Made
  // first, so that a folder that takes no file fails before the long load.
  FileLineSink char_lines(host.CharFileName(), options.sync);
  FileLineSink world_lines(host.WorldFileName(), options.sync);
  w.SourceLines.LoadFromFile(source, SourceText::Counting::kLater);
  CheckWorldSave(w, source, options);
  AnalyseCleanAndWrite(w, host, char_lines, world_lines);

  host.SetStatus("saving files");
  // Every write error surfaces while finishing, before either target is
  // touched; a source written to meanwhile (a live server saving over it)
  // gave a mix of two saves. Only then are the files committed.
  char_lines.Finish(options.sync);
  world_lines.Finish(options.sync);
  w.SourceLines.CheckUnchanged();
  platform::AtomicFileWriter* const files[] = {&char_lines.File(), &world_lines.File()};
  after_save = platform::CommitTogether(files, options.sync, options.backup_suffix);
  return Summarise(w, char_lines, world_lines);
}

// Steps 4 to 10: everything between lock and unlock. Throws on failure; the
// sinks' destructors then remove the temporary files.
RunSummary Convert(World& w, RunHost& host, const RunOptions& options, std::string& after_save) {
  // Before any work, in a dry run too: what can be known about the targets
  // now.
  platform::CheckReplaceable(host.CharFileName(), options.force);
  platform::CheckReplaceable(host.WorldFileName(), options.force);
  RunSummary summary = options.dry_run ? CountWithoutWriting(w, host, options)
                                       : ConvertAndCommit(w, host, options, after_save);
  if (host.Checked(Switch::kTurnOffPc)) {
    host.SetStatus("shutting down the PC");
    host.ShutDownPC();
  }
  return summary;
}

// Makes the world file, on a thread of its own when asked, while the
// calling thread walks the characters and items with the pumps. A run that
// fails or is cancelled stops the thread and joins it before the world is
// touched again.
class WorldFileMaker {
 public:
  WorldFileMaker(const World& w, LineSink& out, const std::string& caption, bool unowned_heading,
                 bool own_thread)
      : w_(w), out_(out), caption_(caption), unowned_heading_(unowned_heading) {
    // Without a thread, Finish makes the file instead.
    if (own_thread) {
      thread_.Start([this] {
        WriteWorldFile(w_, out_, caption_, unowned_heading_, thread_.StopFlag(), &unowned_shape_);
      });
    }
  }
  WorldFileMaker(const WorldFileMaker&) = delete;
  WorldFileMaker& operator=(const WorldFileMaker&) = delete;

  // Pumps and moves the gauge for the unowned items as WriteItems does
  // without a world-file sink, then finishes the file. When the thread is
  // done by now, or within a moment, the walk it noted is replayed instead
  // of walking the items again; otherwise they are walked while it works
  // on, so that the window is served all the while. (The walk competes with
  // the thread for the cores: waiting a little first is often quicker.)
  void PumpUnownedItemsAndFinish(World& w, RunHost& host) {
    if (thread_.Started() && thread_.EndsWithin(std::chrono::milliseconds(100))) {
      Finish();
      unowned_shape_.Replay(w, host, true);
      return;
    }
    WriteItems(w, host, w.UnownedItems, kWorldFile, true);
    Finish();
  }

 private:
  // Waits for the file (or makes it now, without a thread); rethrows what
  // went wrong making it.
  void Finish() {
    if (thread_.Started()) {
      thread_.Join();
    } else {
      WriteWorldFile(w_, out_, caption_, unowned_heading_, thread_.StopFlag());
    }
  }

  const World& w_;
  LineSink& out_;
  const std::string& caption_;
  const bool unowned_heading_;
  ItemWalkShape unowned_shape_;  // the thread's walk over the unowned items
  BackgroundThread thread_;
};

}  // namespace

void AnalyseCleanAndWrite(World& w, RunHost& host, LineSink& char_lines, LineSink& world_lines,
                          RunThreads threads) {
  host.SetStatus("analysing worldfile");
  AnalyseWorld(w, host, threads);

  RunCleanUpPasses(w, host, threads);
  if (w.Report != nullptr) w.Report->Complete();

  host.SetStatus("processing chars");
  const std::string caption = host.Caption();
  // Checkboxes are locked during a run, so the switch reads the same now as
  // at "processing items".
  WorldFileMaker world_file(w, world_lines, caption, !host.Checked(Switch::kDeleteNpcs),
                            UseSecondThread(w, threads));
  // The walk below makes the character file and, for the world file, only
  // pumps and moves the gauge: WorldFileMaker makes that file's lines.
  w.CharLines = &char_lines;
  struct Detach {
    World& w;
    ~Detach() { w.CharLines = nullptr; }
  } detach{w};

  AppendFileOpening(char_lines, caption);
  WriteHeader(w);
  WriteChars(w, host);
  AppendFileEnd(char_lines);

  host.SetStatus("processing items");
  world_file.PumpUnownedItemsAndFinish(w, host);
}

RunResult RunConversion(World& w, RunHost& host, const RunOptions& options) {
  const auto start = std::chrono::steady_clock::now();
  RunResult result;
  const std::string source = host.SourceFileName();
  if (!host.FileExists(source)) {
    host.MessageBox(kMissingSourceMessage, host.Caption(), kMbOk | kMbIconHand);
    result.status = RunStatus::kSourceMissing;
    return result;
  }
  if (auto refusal = CheckTargets(source, host.WorldFileName(), host.CharFileName())) {
    host.MessageBox(*refusal, "Error", kMbOk | kMbIconHand);
    result.status = RunStatus::kRefused;
    result.error = *refusal;
    return result;
  }

  ReleaseStores(w);
  Lock(host);
  // From here an interrupt removes the temporary files; CommitTogether
  // marks the run saved once both files are in place.
  platform::SetRunPhase(platform::RunPhase::kWorking);
  try {
    result.summary = Convert(w, host, options, result.after_save_error);
    result.status = RunStatus::kCompleted;
    host.SetStatus("ready");
  } catch (const RunCancelled&) {
    result.status = RunStatus::kCancelled;
  } catch (const std::bad_alloc&) {
    result.status = RunStatus::kFailed;
    result.error = "Error: not enough memory for this worldfile";
  } catch (const HalfSaved& e) {
    result.status = RunStatus::kHalfSaved;
    result.error = std::string("Error: ") + e.what();
  } catch (const NeedsForce& e) {
    result.status = RunStatus::kFailed;
    result.error = std::string("Error: ") + e.what();
    if (!options.force_hint.empty()) result.error += " (" + options.force_hint + ")";
  } catch (const std::exception& e) {
    result.status = RunStatus::kFailed;
    result.error = std::string("Error: ") + e.what();
  }
  if (result.status != RunStatus::kCompleted) platform::SetRunPhase(platform::RunPhase::kIdle);
  host.SetProgress(0);
  Unlock(host);
  if (result.status == RunStatus::kFailed || result.status == RunStatus::kHalfSaved)
    host.ReportError(result.error);
  result.summary.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result;
}

}  // namespace orv
