#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "platform/file_system_parts.h"
#include "platform/interrupts.h"
#include "platform/io_error.h"
#include "platform/quoted.h"

namespace orv::platform {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int err) {
  std::string message = what;
  message.append(" ").append(Quoted(path)).append(": ").append(std::strerror(err));
  throw IoError(message);
}

[[noreturn]] void Refuse(const std::string& path, const std::string& why) {
  throw IoError("cannot write " + Quoted(path) + ": " + why);
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// What tells a file read apart from the same name written over since.
struct Identity {
  bool plain = false;  // only plain files are compared
  struct stat st {};
};

Identity IdentityOf(const struct stat& st) {
  Identity id;
  id.plain = S_ISREG(st.st_mode);
  id.st = st;
  return id;
}

void CheckIdentity(const Identity& read, const std::string& path) {
  if (!read.plain) return;
  struct stat now;
  const bool same = ::stat(path.c_str(), &now) == 0 && now.st_dev == read.st.st_dev &&
                    now.st_ino == read.st.st_ino && now.st_size == read.st.st_size &&
                    now.st_mtim.tv_sec == read.st.st_mtim.tv_sec &&
                    now.st_mtim.tv_nsec == read.st.st_mtim.tv_nsec &&
                    now.st_ctim.tv_sec == read.st.st_ctim.tv_sec &&
                    now.st_ctim.tv_nsec == read.st.st_ctim.tv_nsec;
  if (!same) {
    throw IoError("the world save " + Quoted(path) +
                  " changed while it was read (did the server save over it?); convert it again "
                  "once it is written");
  }
}

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

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

long NameMax(const std::string& folder) {
  errno = 0;
  const long max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  return max > 0 ? max : 255;
}

// A fresh temporary name ".NAME.orvantor-PID-N.tmp" beside `file`.
std::string NextTemporaryName(const std::string& file) {
  const std::string dir = FolderOf(file);
  return (file.find('/') == std::string::npos ? std::string() : dir + "/") +
         TemporaryName(BaseName(file), NameMax(dir), static_cast<unsigned long>(::getpid()));
}

// Makes `temp` a new name beside `file` with `make` (which answers -1 and
// sets errno on failure) and notes it for removal on an interrupt, both
// under one hold, so that no interrupt falls between. Returns what `make`
// did; throws on any failure but a name taken.
template <class Make>
int MakeTemporary(const std::string& file, std::string& temp, const std::string& what, Make make) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = NextTemporaryName(file);
    InterruptHold hold;
    const int made = make(temp);
    if (made >= 0) {
      NoteTemporaryFile(temp.c_str());
      return made;
    }
    if (errno != EEXIST) {
      const int err = errno;
      temp.clear();
      Fail(what, file, err);
    }
  }
  temp.clear();
  Fail(what, file, EEXIST);
}

int CreateTemporary(const std::string& file, std::string& temp) {
  return MakeTemporary(file, temp, "cannot write", [](const std::string& name) {
    return ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  });
}

// Copies the bytes, mode, owner and group of `from` into the new file `to`.
int CopyInto(const std::string& from, int to) {
  Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) return errno;
  struct stat st;
  if (::fstat(in.get(), &st) != 0) return errno;
  if (::fchown(to, st.st_uid, st.st_gid) != 0) {
    // Not ours to give away: the copy stays ours.
  }
  ::fchmod(to, st.st_mode & 07777);
  char chunk[1 << 16];
  for (;;) {
    const ssize_t n = ::read(in.get(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return 0;
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(to, chunk + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) return errno;
      done += w;
    }
  }
}

}  // namespace

void UnmapFile(const void* base, std::size_t size) { ::munmap(const_cast<void*>(base), size); }

bool NameExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::string RenameOver(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? std::string() : std::strerror(errno);
}

std::string RemoveFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0 ? std::string() : std::strerror(errno);
}

void ForgetAndRemove(std::string& temp) {
  if (temp.empty()) return;
  InterruptHold hold;
  ::unlink(temp.c_str());
  ForgetTemporaryFile(temp.c_str());
  temp.clear();
}

void KeepOld(const std::string& file, std::string& kept) {
  constexpr const char* kWhat = "cannot keep the old file, to put it back should the other fail,";
  int link_error = 0;
  const int made = MakeTemporary(file, kept, kWhat, [&](const std::string& name) {
    if (::link(file.c_str(), name.c_str()) == 0) return 0;
    if (errno == EEXIST) return -1;
    link_error = errno;
    return ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  });
  if (link_error == 0) return;
  Fd out(made);
  const int err = CopyInto(file, out.get());
  if (err != 0) {
    ForgetAndRemove(kept);
    Fail(kWhat, file, err);
  }
}

std::string SyncFolder(const std::string& folder) {
  Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) return "cannot sync the folder " + Quoted(folder) + ": " + std::strerror(errno);
  if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS)
    return "cannot sync the folder " + Quoted(folder) + " to the disk: " + std::strerror(errno);
  return {};
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

namespace {

// Maps a save's pages in before it is read, so that the reading takes no
// fault per page. Mapping them is work per page (about 0.1 s per GiB on one
// core) while the other core has nothing to do yet, so a big save is
// mapped in two halves at once. Without MADV_POPULATE_READ the mapping
// flag does it on one core.
constexpr std::size_t kMapInTwoFrom = std::size_t{64} << 20;

int MappingFlags(std::size_t size) {
#ifdef MADV_POPULATE_READ
  if (size >= kMapInTwoFrom) return MAP_PRIVATE;
#endif
  (void)size;
  return MAP_PRIVATE | MAP_POPULATE;
}

void MapPagesIn(char* base, std::size_t size) {
#ifdef MADV_POPULATE_READ
  if (size < kMapInTwoFrom) return;
  // A failure here (an older kernel, a save cut short meanwhile) only
  // leaves pages to fault in when read; a save cut short is caught there.
  const std::size_t half = (size / 2) & ~std::size_t{0xffff};
  std::thread helper;
  try {
    helper = std::thread([=] { ::madvise(base + half, size - half, MADV_POPULATE_READ); });
  } catch (const std::system_error&) {
    ::madvise(base + half, size - half, MADV_POPULATE_READ);
  }
  ::madvise(base, half, MADV_POPULATE_READ);
  if (helper.joinable()) helper.join();
#else
  (void)base;
  (void)size;
#endif
}

}  // namespace

std::unique_ptr<FileBytes> OpenWholeFile(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) Fail("cannot open", path, errno);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) Fail("cannot read", path, errno);
  if (S_ISDIR(st.st_mode)) Fail("cannot read", path, EISDIR);
  const Identity id = IdentityOf(st);
  if (!S_ISREG(st.st_mode) || st.st_size == 0)
    return std::make_unique<OwnedBytes<Identity>>(ReadAll(fd.get(), path), path, id);
  const auto size = static_cast<std::size_t>(st.st_size);
  // A private read-only mapping: the whole save is in memory without a copy,
  // mapped in one go instead of a fault per page.
  void* base = ::mmap(nullptr, size, PROT_READ, MappingFlags(size), fd.get(), 0);
  if (base == MAP_FAILED) {
    if (errno == ENOMEM) Fail("not enough memory to load", path, errno);
    return std::make_unique<OwnedBytes<Identity>>(ReadAll(fd.get(), path), path, id);
  }
  MapPagesIn(static_cast<char*>(base), size);
  return std::make_unique<MappedBytes<Identity>>(base, size, path, id);
}

std::string ResolveTarget(const std::string& target) {
  std::string path = target;
  // The kernel's own limit on links followed in one name.
  for (int hops = 0; hops <= 40; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
      if (errno == ENOENT) return path;  // a new file, or where a dangling link leads
      Fail("cannot write", target, errno);
    }
    if (!S_ISLNK(st.st_mode)) return path;
    std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
    const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n < 0) Fail("cannot write", target, errno);
    link.resize(static_cast<std::size_t>(n));
    path = (link.empty() || link[0] == '/' || path.find('/') == std::string::npos)
               ? link
               : FolderOf(path) + "/" + link;
  }
  throw IoError("cannot write " + Quoted(target) +
                ": its symbolic links lead round in a loop; point the link at a file");
}

void CheckReplaceable(const std::string& target, bool force) {
  struct stat st;
  // Through every link, the kernel's magic ones of /proc and /dev included.
  if (::stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) Refuse(target, "it is a folder; choose a file name");
    if (!S_ISREG(st.st_mode))
      Refuse(target, "it is a device, FIFO or socket, not a plain file; choose a file name");
  } else if (errno == ELOOP) {
    ResolveTarget(target);  // says so
  }
  const std::string file = ResolveTarget(target);
  const std::string folder = FolderOf(file);
  struct stat dir;
  if (::stat(folder.c_str(), &dir) != 0) Fail("cannot write into the folder", folder, errno);
  if (!S_ISDIR(dir.st_mode)) Fail("cannot write into the folder", folder, ENOTDIR);
  if (::access(folder.c_str(), W_OK | X_OK) != 0)
    Fail("cannot write into the folder", folder, errno);
  const std::string base = BaseName(file);
  if (base.empty() || base == "." || base == "..")
    Refuse(target, "it is a folder; choose a file name");
  if (static_cast<long>(base.size()) > NameMax(folder)) Fail("cannot write", target, ENAMETOOLONG);
  {
    Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    int flags = 0;
    if (fd.get() >= 0 && ::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) == 0 &&
        (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL)) != 0)
      Fail("cannot write into the folder", folder, EPERM);
  }
  if (::lstat(file.c_str(), &st) != 0) return;  // a new file
  {
    Fd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    int flags = 0;
    if (fd.get() >= 0 && ::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) == 0 &&
        (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL)) != 0)
      Refuse(target, "it is marked immutable or append-only (see chattr)");
  }
  const uid_t me = ::geteuid();
  if ((dir.st_mode & S_ISVTX) != 0 && me != 0 && st.st_uid != me && dir.st_uid != me)
    Refuse(target, "it belongs to another user in a folder where only the owner may replace files");
  if (!force && IsReadOnly(file))
    throw NeedsForce("cannot write " + Quoted(target) + ": it is read-only");
}

AtomicFileWriter::AtomicFileWriter(const std::string& target)
    : target_(target), file_(ResolveTarget(target)) {
  // The rename at the commit could never replace a folder. Saying so now,
  // before anything is written, keeps a run from replacing one target and
  // then failing on the other.
  struct stat st;
  const bool replacing = ::stat(file_.c_str(), &st) == 0;
  if (replacing && S_ISDIR(st.st_mode)) Fail("cannot write", target, EISDIR);
  if (BaseName(file_).empty()) Fail("cannot write", target, EISDIR);
  handle_ = CreateTemporary(file_, temp_);
  if (replacing) {
    // The new file takes the old one's owner and group (root replacing a
    // server account's files must leave them usable by that account) where
    // we may give them, else at least the group; then its permissions: a
    // character file kept private must not become readable by everyone.
    if (::fchown(handle_, st.st_uid, st.st_gid) != 0 &&
        ::fchown(handle_, static_cast<uid_t>(-1), st.st_gid) != 0) {
      // Ours, then, as any file we make.
    }
    ::fchmod(handle_, st.st_mode & 07777);
  }
}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

void AtomicFileWriter::Write(const char* data, std::size_t size) {
  if (handle_ < 0) throw IoError("cannot write " + Quoted(target_) + ": file already closed");
  // At most 256 KiB a call: the page cache then takes small folios, which
  // the kernel hands out warm, where a 1 MiB call makes it allocate folios
  // of 1 MiB from memory that may not have been touched for long. On a
  // virtual machine, whose host backs such memory only when first touched,
  // that made writing a 600 MB file four to five times slower.
  constexpr std::size_t kMostPerCall = std::size_t{256} << 10;
  while (size > 0) {
    ssize_t n = ::write(handle_, data, size < kMostPerCall ? size : kMostPerCall);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("cannot write", target_, errno);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
    written_ += static_cast<std::uint64_t>(n);
  }
#if defined(__linux__)
  // Only starts the writing of the dirty pages; a failure shows at the sync.
  constexpr std::uint64_t kWriteBackEvery = std::uint64_t{8} << 20;
  if (write_back_ && written_ - written_back_ >= kWriteBackEvery) {
    ::sync_file_range(handle_, static_cast<off_t>(written_back_),
                      static_cast<off_t>(written_ - written_back_), SYNC_FILE_RANGE_WRITE);
    written_back_ = written_;
  }
#endif
}

void AtomicFileWriter::Finish(bool sync) {
  if (handle_ < 0) return;
  const int fd = handle_;
  handle_ = -1;
  if (sync && ::fsync(fd) != 0 && errno != EINVAL) {
    const int err = errno;
    ::close(fd);
    Fail("cannot sync to the disk", target_, err);
  }
  if (::close(fd) != 0) Fail("cannot write", target_, errno);
}

void AtomicFileWriter::Discard() {
  if (handle_ >= 0) {
    ::close(handle_);
    handle_ = -1;
  }
  if (!committed_) ForgetAndRemove(temp_);
}

std::vector<std::string> RemoveStaleTemporaryFiles(const std::string& folder) {
  std::vector<std::string> removed;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return removed;
  const std::string prefix = folder == "/" ? "/" : folder + "/";
  while (const dirent* entry = ::readdir(dir)) {
    unsigned long pid = 0;
    if (!TemporaryOwner(entry->d_name, pid) || pid == static_cast<unsigned long>(::getpid()))
      continue;
    // A process that still runs (or that we may not even ask about) may
    // still be writing it.
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    const std::string path = prefix + entry->d_name;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::unlink(path.c_str()) == 0) removed.push_back(path);
  }
  ::closedir(dir);
  std::sort(removed.begin(), removed.end());
  return removed;
}

FolderLock::FolderLock(const std::string& folder) : folder_(folder) {
  handle_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (handle_ < 0) Fail("cannot lock the folder", folder, errno);
  struct stat st;
  if (::fstat(handle_, &st) == 0) {
    device_ = st.st_dev;
    inode_ = st.st_ino;
  }
}

FolderLock::~FolderLock() {
  if (handle_ >= 0) ::close(handle_);  // releases the lock
}

bool FolderLock::TryLock() {
  for (;;) {
    if (::flock(handle_, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EWOULDBLOCK) return false;
    if (errno != EINTR) Fail("cannot lock the folder", folder_, errno);
  }
}

void FolderLock::Lock() {
  for (;;) {
    if (::flock(handle_, LOCK_EX) == 0) return;
    if (errno != EINTR) Fail("cannot lock the folder", folder_, errno);
  }
}

bool FolderLock::SameFolder(const FolderLock& other) const {
  return device_ == other.device_ && inode_ == other.inode_;
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
  // The superuser may write any file, but a file that nobody may write was
  // made so on purpose: root is held to its mode bits too.
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
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
