#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/errors.h"
#include "platform/source_fault.h"

namespace orv::platform {
namespace {

std::string Quote(const std::string& path) {
  std::string quoted;
  quoted.reserve(path.size() + 2);
  quoted.push_back('\'');
  quoted.append(path);
  quoted.push_back('\'');
  return quoted;
}

[[noreturn]] void Fail(const std::string& what, const std::string& path, int err) {
  std::string message = what;
  message.append(" ").append(Quote(path)).append(": ").append(std::strerror(err));
  throw IoError(message);
}

// The mapping is watched while it lives: a save cut short by another
// program under it ends the run cleanly (see source_fault.h).
class MappedBytes final : public FileBytes {
 public:
  MappedBytes(void* base, std::size_t size, const std::string& path) : base_(base), size_(size) {
    WatchMapping(base_, size_, path);
  }
  ~MappedBytes() override {
    ForgetMapping(base_);
    ::munmap(base_, size_);
  }
  std::string_view Bytes() const override {
    return {static_cast<const char*>(base_), size_};
  }

 private:
  void* base_;
  std::size_t size_;
};

class OwnedBytes final : public FileBytes {
 public:
  explicit OwnedBytes(std::string bytes) : bytes_(std::move(bytes)) {}
  std::string_view Bytes() const override { return bytes_; }

 private:
  std::string bytes_;
};

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string ReadAll(int fd, const std::string& path) {
  std::string bytes;
  char chunk[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("cannot read", path, errno);
    }
    if (n == 0) break;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
  return bytes;
}

std::string ResolveTarget(const std::string& target) {
  struct stat st;
  if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    std::error_code ec;
    auto resolved = std::filesystem::canonical(target, ec);
    if (!ec) return resolved.string();
  }
  return target;
}

std::atomic<unsigned> temp_counter{0};

}  // namespace

std::unique_ptr<FileBytes> OpenWholeFile(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) Fail("cannot open", path, errno);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) Fail("cannot read", path, errno);
  if (S_ISDIR(st.st_mode)) Fail("cannot read", path, EISDIR);
  if (!S_ISREG(st.st_mode)) return std::make_unique<OwnedBytes>(ReadAll(fd.get(), path));
  if (st.st_size == 0) return std::make_unique<OwnedBytes>(std::string());
  const auto size = static_cast<std::size_t>(st.st_size);
  // A private read-only mapping: the whole save is in memory without a copy,
  // and the populate flag maps it in one go instead of a fault per page.
  void* base = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd.get(), 0);
  if (base == MAP_FAILED) {
    if (errno == ENOMEM) Fail("not enough memory to load", path, errno);
    return std::make_unique<OwnedBytes>(ReadAll(fd.get(), path));
  }
  return std::make_unique<MappedBytes>(base, size, path);
}

AtomicFileWriter::AtomicFileWriter(const std::string& target) : target_(ResolveTarget(target)) {
  // The rename at Commit could never replace a folder. Saying so now, before
  // anything is written, keeps a run from replacing one target and then
  // failing on the other.
  struct stat st;
  const bool replacing = ::stat(target_.c_str(), &st) == 0;
  if (replacing && S_ISDIR(st.st_mode)) Fail("cannot write", target, EISDIR);
  std::filesystem::path p(target_);
  std::string dir = p.parent_path().string();
  std::string base = p.filename().string();
  if (base.empty()) Fail("cannot write", target, EISDIR);
  // Keep the temporary name within the usual limit of 255 bytes.
  if (base.size() > 200) base.resize(200);
  const std::string prefix = (dir.empty() ? std::string() : dir + "/") + "." + base + ".orvantor-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_ = prefix + std::to_string(::getpid()) + "-" + std::to_string(temp_counter++) + ".tmp";
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      NoteTemporaryFile(temp_.c_str());
      // The new file takes the old one's permissions: a character file kept
      // private must not become readable by everyone when it is replaced.
      if (replacing) ::fchmod(fd_, st.st_mode & 07777);
      return;
    }
    if (errno != EEXIST) {
      int err = errno;
      temp_.clear();
      Fail("cannot write", target, err);
    }
  }
  temp_.clear();
  Fail("cannot write", target, EEXIST);
}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

void AtomicFileWriter::Write(const char* data, std::size_t size) {
  if (fd_ < 0) throw IoError("cannot write " + Quote(target_) + ": file already closed");
  while (size > 0) {
    ssize_t n = ::write(fd_, data, size < (1u << 30) ? size : (1u << 30));
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("cannot write", target_, errno);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

void AtomicFileWriter::Finish() {
  if (fd_ < 0) return;
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) Fail("cannot write", target_, errno);
}

void AtomicFileWriter::Commit() {
  Finish();
  if (committed_ || temp_.empty()) return;
  if (::rename(temp_.c_str(), target_.c_str()) != 0) Fail("cannot replace", target_, errno);
  ForgetTemporaryFile(temp_.c_str());
  committed_ = true;
}

void AtomicFileWriter::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!committed_ && !temp_.empty()) {
    ForgetTemporaryFile(temp_.c_str());
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

bool FileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  const bool ea = ::stat(a.c_str(), &sa) == 0;
  const bool eb = ::stat(b.c_str(), &sb) == 0;
  if (ea && eb) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  if (ea != eb) return false;
  std::error_code ec1, ec2;
  auto ca = std::filesystem::weakly_canonical(std::filesystem::absolute(a, ec1), ec1);
  auto cb = std::filesystem::weakly_canonical(std::filesystem::absolute(b, ec2), ec2);
  if (ec1 || ec2) return a == b;
  return ca == cb;
}

bool IsReadOnly(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return true;
  return ::access(path.c_str(), W_OK) != 0;
}

std::int64_t FreeBytes(const std::string& path) {
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = std::filesystem::path(".");
  struct statvfs vfs;
  if (::statvfs(folder.c_str(), &vfs) != 0) return -1;
  const unsigned long long bytes =
      static_cast<unsigned long long>(vfs.f_bavail) * static_cast<unsigned long long>(vfs.f_frsize);
  return bytes > static_cast<unsigned long long>(INT64_MAX) ? INT64_MAX
                                                            : static_cast<std::int64_t>(bytes);
}

}  // namespace orv::platform
