// What the file services do alike on every system: the commit of several
// files, all or nothing, and the names of our temporary files.

#include "platform/file_system.h"

#include <algorithm>
#include <atomic>

#include "platform/file_system_parts.h"
#include "platform/interrupts.h"
#include "platform/io_error.h"
#include "platform/quoted.h"

namespace orv::platform {
namespace {

std::atomic<unsigned> temp_counter{0};

constexpr std::string_view kTempMark = ".orvantor-";
constexpr std::string_view kTempEnd = ".tmp";

}  // namespace

std::string TemporaryName(std::string base, long name_max, unsigned long pid) {
  // Room for the dot and the mark within the folder's limit on names.
  const long room = name_max - 40;
  if (room > 0 && base.size() > static_cast<std::size_t>(room))
    base.resize(static_cast<std::size_t>(room));
  return "." + base + std::string(kTempMark) + std::to_string(pid) + "-" +
         std::to_string(temp_counter++) + std::string(kTempEnd);
}

bool TemporaryOwner(std::string_view name, unsigned long& pid) {
  if (name.size() < 2 || name[0] != '.' || name.size() < kTempEnd.size() ||
      name.substr(name.size() - kTempEnd.size()) != kTempEnd)
    return false;
  name.remove_suffix(kTempEnd.size());
  const std::size_t mark = name.rfind(kTempMark);
  if (mark == std::string_view::npos || mark == 0) return false;
  std::string_view numbers = name.substr(mark + kTempMark.size());
  const std::size_t dash = numbers.find('-');
  if (dash == std::string_view::npos || dash == 0 || dash + 1 == numbers.size()) return false;
  const auto digits = [](std::string_view s) {
    return s.size() <= 10 &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (!digits(numbers.substr(0, dash)) || !digits(numbers.substr(dash + 1))) return false;
  pid = std::stoul(std::string(numbers.substr(0, dash)));
  return pid > 0;
}

void AtomicFileWriter::Commit(bool sync) {
  AtomicFileWriter* self = this;
  CommitFiles(std::span<AtomicFileWriter* const>(&self, 1), sync, "", false);
}

std::string CommitTogether(std::span<AtomicFileWriter* const> files, bool sync,
                           const std::string& backup_suffix) {
  return CommitFiles(files, sync, backup_suffix, true);
}

std::string CommitFiles(std::span<AtomicFileWriter* const> files, bool sync,
                        const std::string& backup_suffix, bool marks_run_saved) {
  for (AtomicFileWriter* f : files) f->Finish(sync);
  for (AtomicFileWriter* f : files) {
    if (f->committed_ || f->temp_.empty())
      throw IoError("cannot write " + Quoted(f->target_) +
                    ": the file is already saved or given up");
  }
  // The old content of every target but the last, to put back should a
  // later rename fail. Made before the hold: an interrupt meanwhile only
  // removes them with the other temporary files.
  std::vector<std::string> kept(files.size());
  std::vector<bool> existed(files.size());
  std::string backup_problems;
  for (std::size_t i = 0; i < files.size(); ++i) {
    existed[i] = NameExists(files[i]->file_);
    if (existed[i] && (i + 1 < files.size() || !backup_suffix.empty()))
      KeepOld(files[i]->file_, kept[i]);
  }
  {
    InterruptHold hold;
    for (std::size_t i = 0; i < files.size(); ++i) {
      AtomicFileWriter& f = *files[i];
      const std::string why = RenameOver(f.temp_, f.file_);
      if (why.empty()) {
        ForgetTemporaryFile(f.temp_.c_str());
        f.committed_ = true;
        continue;
      }
      std::string failure = "cannot replace " + Quoted(f.target_) + ": " + why;
      // Put back, last first, what this commit replaced.
      std::string put_back;
      for (std::size_t j = i; j-- > 0;) {
        AtomicFileWriter& done = *files[j];
        const std::string not_back =
            existed[j] ? RenameOver(kept[j], done.file_) : RemoveFile(done.file_);
        if (!not_back.empty()) {
          // The old content stays where it is kept: forget it, keep it.
          for (std::string& k : kept) {
            if (!k.empty()) ForgetTemporaryFile(k.c_str());
          }
          throw HalfSaved(failure + "; and " + Quoted(done.target_) +
                          ", already replaced, could not be put back (" + not_back +
                          "): it is new" +
                          (existed[j] ? ", its old content is kept as " + Quoted(kept[j]) : "") +
                          ", while " + Quoted(f.target_) + " is as it was");
        }
        ForgetTemporaryFile(kept[j].c_str());
        kept[j].clear();
        put_back += (put_back.empty() ? "" : ", ") + Quoted(done.target_);
      }
      for (std::string& k : kept) ForgetAndRemove(k);
      if (!put_back.empty()) failure += "; " + put_back + " was put back as it was";
      throw IoError(failure);
    }
    for (std::size_t i = 0; i < kept.size(); ++i) {
      std::string& k = kept[i];
      if (k.empty() || backup_suffix.empty()) {
        ForgetAndRemove(k);
        continue;
      }
      // A backup is the old file's second name, made above, put in place.
      const std::string backup = files[i]->file_ + backup_suffix;
      const std::string why = RenameOver(k, backup);
      if (!why.empty()) {
        backup_problems += (backup_problems.empty() ? "" : "; ") +
                           std::string("cannot keep the old ") + Quoted(files[i]->target_) +
                           " as " + Quoted(backup) + " (" + why + "): it is kept as " + Quoted(k);
      }
      ForgetTemporaryFile(k.c_str());
    }
    if (marks_run_saved && CurrentRunPhase() == RunPhase::kWorking) SetRunPhase(RunPhase::kSaved);
  }
  if (!sync) return backup_problems;
  std::vector<std::string> folders;
  for (AtomicFileWriter* f : files) {
    const std::string folder = FolderOf(f->file_);
    if (std::find(folders.begin(), folders.end(), folder) == folders.end())
      folders.push_back(folder);
  }
  std::string problems = backup_problems;
  for (const std::string& folder : folders) {
    const std::string problem = SyncFolder(folder);
    if (!problem.empty()) problems += (problems.empty() ? "" : "; ") + problem;
  }
  return problems;
}

}  // namespace orv::platform
