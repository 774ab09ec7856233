// peak_memory: runs a command and reports its wall time and the peak of its
// anonymous memory (RssAnon in /proc/PID/status), sampled every 2 ms. The
// mapped source of a conversion is file-backed and left out, where the
// kernel's own peak (VmHWM, /usr/bin/time's %M) counts every page of it.
//
//   peak_memory OUT COMMAND [ARGS...]
//
// Appends "WALL_SECONDS PEAK_ANON_KIB" to the file OUT and exits with the
// command's status (128 + the signal when a signal ended it).

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

// RssAnon of `pid` in KiB, or 0 when it cannot be read (the process has
// ended, or is a zombie, which has no memory left).
long RssAnonKib(pid_t pid) {
  const std::string path = "/proc/" + std::to_string(pid) + "/status";
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char buf[4096];
  const ssize_t n = read(fd, buf, sizeof buf - 1);
  close(fd);
  if (n <= 0) return 0;
  buf[n] = '\0';
  const char* at = std::strstr(buf, "RssAnon:");
  return at != nullptr ? std::strtol(at + 8, nullptr, 10) : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: peak_memory OUT COMMAND [ARGS...]\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("peak_memory: fork");
    return 2;
  }
  if (pid == 0) {
    execvp(argv[2], argv + 2);
    std::perror("peak_memory: exec");
    _exit(127);
  }
  long peak = 0;
  int status = 0;
  for (;;) {
    const long now = RssAnonKib(pid);
    if (now > peak) peak = now;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) {
      std::perror("peak_memory: waitpid");
      return 2;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (FILE* out = std::fopen(argv[1], "a")) {
    std::fprintf(out, "%.6f %ld\n", seconds, peak);
    std::fclose(out);
  }
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}
