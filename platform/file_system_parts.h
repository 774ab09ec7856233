#ifndef ORVANTOR_PLATFORM_FILE_SYSTEM_PARTS_H_
#define ORVANTOR_PLATFORM_FILE_SYSTEM_PARTS_H_

// The parts of the file services that file_system.cpp builds the commit of
// several files on, and the naming of our temporary files that all share.
// The system's side is in file_system_posix.cpp and file_system_win.cpp;
// each takes and gives names in UTF-8.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "platform/bulk_memory.h"
#include "platform/file_system.h"
#include "platform/source_fault.h"

namespace orv::platform {

// Lets a mapping of a whole file go.
void UnmapFile(const void* base, std::size_t size);

// The bytes of a whole file, mapped (and watched while they live: a read
// fault under them ends the run cleanly, see source_fault.h) or held in
// memory. `Identity` is the system's record of the file as it was read;
// CheckUnchanged calls the system's CheckIdentity(identity, path).
template <class Identity>
class MappedBytes final : public FileBytes {
 public:
  MappedBytes(const void* base, std::size_t size, const std::string& path, const Identity& id)
      : base_(base), size_(size), path_(path), id_(id) {
    WatchMapping(base_, size_, path);
    NoteDiscardable(base_, size_);
  }
  ~MappedBytes() override {
    ForgetDiscardable(base_);
    ForgetMapping(base_);
    UnmapFile(base_, size_);
  }
  std::string_view Bytes() const override { return {static_cast<const char*>(base_), size_}; }
  void CheckUnchanged() const override { CheckIdentity(id_, path_); }

 private:
  const void* base_;
  std::size_t size_;
  std::string path_;
  Identity id_;
};

template <class Identity>
class OwnedBytes final : public FileBytes {
 public:
  OwnedBytes(std::string bytes, const std::string& path, const Identity& id)
      : bytes_(std::move(bytes)), path_(path), id_(id) {}
  std::string_view Bytes() const override { return bytes_; }
  void CheckUnchanged() const override { CheckIdentity(id_, path_); }

 private:
  std::string bytes_;
  std::string path_;
  Identity id_;
};

// Whether anything exists under this name (a dangling link too).
bool NameExists(const std::string& path);

// Keeps the old content of `file` under a fresh temporary name, set in
// `kept` and noted for removal on an interrupt, to put it back should a
// later rename of the same commit fail: a hard link where the file system
// allows one (no copy, and owner and mode stay), else a copy. Throws
// IoError.
void KeepOld(const std::string& file, std::string& kept);

// Renames `from` over `to`, replacing it. Returns an empty text, or the
// system's reason it failed.
std::string RenameOver(const std::string& from, const std::string& to);

// Removes a file. Returns an empty text, or the system's reason.
std::string RemoveFile(const std::string& path);

// Removes the temporary file `temp` (when not empty), forgets it for the
// interrupts, and empties `temp`.
void ForgetAndRemove(std::string& temp);

// Flushes the folder's entries (the renames) to the disk. Returns an error
// text, or an empty one; a file system that cannot do so passes.
std::string SyncFolder(const std::string& folder);

// A temporary name ".NAME.orvantor-PID-N.tmp" (N counts up in the process)
// for `base`, cut so that the whole fits in `name_max` bytes.
std::string TemporaryName(std::string base, long name_max, unsigned long pid);

// Whether `name` is a temporary name of ours: then its process id.
bool TemporaryOwner(std::string_view name, unsigned long& pid);

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_FILE_SYSTEM_PARTS_H_
