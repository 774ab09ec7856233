#ifndef ORVANTOR_PLATFORM_FILE_SYSTEM_H_
#define ORVANTOR_PLATFORM_FILE_SYSTEM_H_

// The file services that the engine and the window need: whole-file input,
// atomic whole-file output, the all-or-nothing commit of several files and
// a few queries. Names are UTF-8 on every system. The commit is shared
// (file_system.cpp); the system's side is in file_system_posix.cpp and
// file_system_win.cpp. Every failure throws IoError with a message that
// names the file (quoted, see quoted.h) and says what went wrong.
//
// On Windows the POSIX rules hold as far as Windows has them: a device
// name (NUL, CON, COM1 ...) is refused like a device; "read-only" is the
// file's read-only attribute; the attributes and the access rules of a
// replaced file pass to the new one; folders have no sticky bit and files
// no immutable flag, so those checks fall away; a folder's entries cannot
// be synced apart from the files (MoveFileEx writes the rename through).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv::platform {

// The bytes of a whole file, read-only, for as long as the object lives.
class FileBytes {
 public:
  virtual ~FileBytes() = default;
  virtual std::string_view Bytes() const = 0;
  // Throws IoError when the name the file was opened by no longer leads to
  // the file as it was read: another file, or another size, modification
  // or change time (another program wrote to it meanwhile). Files that are
  // not plain files (pipes) are never found changed.
  virtual void CheckUnchanged() const = 0;
};

// Opens `path` read-only and makes its whole content available (mapped where
// the system allows, else read). The file is never written.
std::unique_ptr<FileBytes> OpenWholeFile(const std::string& path);

// The file that the target name leads to: symbolic links followed, a
// dangling one to the file it names (which a writer then creates). Throws
// when the links lead round in a loop.
std::string ResolveTarget(const std::string& target);

// Checks, before any work, that a run can replace `target` by a new file:
// it leads to a plain file or to none (a device, FIFO, socket or folder is
// refused, to everyone); its folder exists and takes new files; the name
// fits the folder's limit; an existing file is neither immutable nor
// append-only, may be replaced in a sticky folder, and is not read-only
// (see IsReadOnly; NeedsForce then) unless `force`.
void CheckReplaceable(const std::string& target, bool force);

// Writes a file so that it replaces its target only when complete: the bytes
// go to a temporary file ".NAME.orvantor-PID-N.tmp" beside the file the
// target leads to, which a commit renames over it. Until then the target is
// untouched; a writer destroyed without a commit removes its temporary
// file, and so does an interrupt (interrupts.h). A target that is a
// symbolic link is replaced where the link leads; the link stays. An
// existing target's mode passes to the new file, and so do its owner and
// group where the process may set them.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(const std::string& target);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Write(const char* data, std::size_t size);
  // For a file that is synced when finished: from now on, what is written
  // is handed to the disk every few MiB as it goes, so that the sync at the
  // end has little left to wait for, and the disk works while the program
  // does. Where the system has no such hint, nothing changes.
  void WriteBackAsItGoes() { write_back_ = true; }
  // Closes the temporary file, flushed to the disk first when `sync`; every
  // write error surfaces here at the latest.
  void Finish(bool sync);
  // Finishes and renames the temporary file over the target (one file on
  // its own: a list, a report). Unlike CommitTogether it leaves a run's
  // phase as it is: a dry run's report is no saved target.
  void Commit(bool sync = true);
  // Removes the temporary file; the target stays as it was.
  void Discard();

  // The name given, and the file it leads to.
  const std::string& Target() const { return target_; }
  const std::string& File() const { return file_; }
  const std::string& TempPath() const { return temp_; }

 private:
  friend std::string CommitFiles(std::span<AtomicFileWriter* const>, bool, const std::string&,
                                 bool);

  std::string target_;
  std::string file_;
  std::string temp_;
  std::intptr_t handle_ = -1;  // a descriptor, or a Windows HANDLE
  bool committed_ = false;
  bool write_back_ = false;
  std::uint64_t written_ = 0;       // bytes written so far
  std::uint64_t written_back_ = 0;  // of which handed to the disk
};

// Replaces the target of every writer by its temporary file, all or
// nothing: each file is finished (flushed to the disk when `sync`) before
// the first rename; the renames are made with interrupts held off; when one
// fails, the targets already replaced are put back as they were from a link
// (or copy) of each old file made beforehand, and IoError says so. Should
// putting one back fail too, HalfSaved says which file is new and where
// its old content is kept. After the renames the folders are flushed to the
// disk when `sync`, and a run in progress is marked saved (interrupts.h).
// With a `backup_suffix`, the old content of each replaced target (that
// same link) stays as the target's file name and the suffix, replacing an
// older backup. Returns what went wrong after the renames (a folder that
// could not be synced, a backup that could not be named), or an empty text.
std::string CommitTogether(std::span<AtomicFileWriter* const> files, bool sync,
                           const std::string& backup_suffix = "");
// CommitTogether, which marks a run in progress saved only when
// `marks_run_saved`.
std::string CommitFiles(std::span<AtomicFileWriter* const> files, bool sync,
                        const std::string& backup_suffix, bool marks_run_saved);

// Temporary files of ours in `folder` (".NAME.orvantor-PID-N.tmp") whose
// process no longer runs, left by a run that was killed or lost its power:
// removes them and returns their paths.
std::vector<std::string> RemoveStaleTemporaryFiles(const std::string& folder);

// The folder that holds `path` ("." for a bare name).
std::string FolderOf(const std::string& path);

// An advisory lock on a folder, so that two runs never write into the same
// folder at once. Released when the object goes (or the process ends).
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Takes the lock without waiting; false when another process holds it.
  bool TryLock();
  // Waits for the lock.
  void Lock();
  // Whether the two locks are on the same folder.
  bool SameFolder(const FolderLock& other) const;

 private:
  std::string folder_;
  std::intptr_t handle_ = -1;  // a descriptor, or a Windows HANDLE
  std::uint64_t device_ = 0, inode_ = 0;
};

// Whether a file (or anything) of this name exists.
bool FileExists(const std::string& path);

// Whether the two names lead to the same file: the same device and inode
// when both exist, else the same absolute path once links are resolved.
bool SameFile(const std::string& a, const std::string& b);

// Whether an existing file may not be written by us: it has no write
// permission bit at all (root too is held to that), or we lack the right
// to write it. A file whose attributes cannot be read counts as read-only.
bool IsReadOnly(const std::string& path);

// Free bytes available to us on the file system that holds `path`'s folder,
// or -1 when that cannot be told.
std::int64_t FreeBytes(const std::string& path);

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_FILE_SYSTEM_H_
