// Preloaded into the command line by a test (LD_PRELOAD) to make chosen
// renames and syncs fail: a commit that fails half way and cannot be
// undone, a disk that cannot flush. Faults no real file system gives on
// demand.
//   ORVANTOR_FAIL_RENAMES="SUFFIX:N[,SUFFIX:N...]"
// makes the N-th rename (counted from 1) whose new name ends in SUFFIX fail
// with EIO;
//   ORVANTOR_FAIL_SYNC=file or =folder
// makes every fsync of a plain file, or of a folder, fail with EIO.

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int counts[8];

bool ShouldFail(const char* to) {
  const char* rules = std::getenv("ORVANTOR_FAIL_RENAMES");
  if (rules == nullptr) return false;
  std::string all(rules);
  std::size_t start = 0;
  bool fail = false;
  for (int i = 0; i < 8 && start < all.size(); ++i) {
    std::size_t end = all.find(',', start);
    if (end == std::string::npos) end = all.size();
    const std::string rule = all.substr(start, end - start);
    start = end + 1;
    const std::size_t colon = rule.rfind(':');
    if (colon == std::string::npos) continue;
    const std::string suffix = rule.substr(0, colon);
    const int nth = std::atoi(rule.c_str() + colon + 1);
    const std::size_t n = std::strlen(to);
    if (n < suffix.size() || suffix.compare(0, suffix.size(), to + n - suffix.size()) != 0)
      continue;
    if (++counts[i] == nth) fail = true;
  }
  return fail;
}

}  // namespace

extern "C" int rename(const char* from, const char* to) {
  using Rename = int (*)(const char*, const char*);
  static const Rename real = reinterpret_cast<Rename>(::dlsym(RTLD_NEXT, "rename"));
  if (ShouldFail(to)) {
    errno = EIO;
    return -1;
  }
  return real(from, to);
}

extern "C" int fsync(int fd) {
  using Fsync = int (*)(int);
  static const Fsync real = reinterpret_cast<Fsync>(::dlsym(RTLD_NEXT, "fsync"));
  if (const char* which = std::getenv("ORVANTOR_FAIL_SYNC")) {
    struct stat st;
    if (::fstat(fd, &st) == 0 &&
        (std::strcmp(which, "folder") == 0 ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode))) {
      errno = EIO;
      return -1;
    }
  }
  return real(fd);
}
