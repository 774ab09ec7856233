#ifndef ORVANTOR_PLATFORM_FILE_SYSTEM_H_
#define ORVANTOR_PLATFORM_FILE_SYSTEM_H_

// The file services that the engine and the window need: whole-file input,
// atomic whole-file output and a few queries. POSIX implementation in
// file_system_posix.cpp.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace orv::platform {

// The bytes of a whole file, read-only, for as long as the object lives.
class FileBytes {
 public:
  virtual ~FileBytes() = default;
  virtual std::string_view Bytes() const = 0;
};

// Opens `path` read-only and makes its whole content available (mapped where
// the system allows, else read). The file is never written. Throws IoError.
std::unique_ptr<FileBytes> OpenWholeFile(const std::string& path);

// Writes a file so that it replaces `target` only when complete: the bytes go
// to a temporary file in the target's folder, which Commit renames over the
// target. Until then the target is untouched; a writer destroyed without a
// commit removes its temporary file. A target that is a symbolic link is
// replaced where the link points. All failures throw IoError.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(const std::string& target);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  void Write(const char* data, std::size_t size);
  // Writes out what is buffered and closes the temporary file; every write
  // error surfaces here at the latest.
  void Finish();
  // Finishes if needed, then renames the temporary file over the target.
  void Commit();
  // Removes the temporary file; the target stays as it was.
  void Discard();

  const std::string& Target() const { return target_; }
  const std::string& TempPath() const { return temp_; }

 private:
  std::string target_;
  std::string temp_;
  int fd_ = -1;
  bool committed_ = false;
};

// Whether a file (or anything) of this name exists.
bool FileExists(const std::string& path);

// Whether the two names lead to the same file: the same device and inode
// when both exist, else the same absolute path once links are resolved.
bool SameFile(const std::string& a, const std::string& b);

// Whether an existing file may not be written by us. A file whose attributes
// cannot be read counts as read-only.
bool IsReadOnly(const std::string& path);

// Free bytes available to us on the file system that holds `path`'s folder,
// or -1 when that cannot be told.
std::int64_t FreeBytes(const std::string& path);

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_FILE_SYSTEM_H_
