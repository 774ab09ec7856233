#include "tests/cli_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "tests/test_util.h"

namespace orv::testing {

bool CliRun::Exited(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }

bool CliRun::KilledBy(int signal) const {
  return WIFSIGNALED(status) && WTERMSIG(status) == signal;
}

int CliRun::ShellStatus() const {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

CliProcess::CliProcess(const std::vector<std::string>& args, const std::string& scratch_dir,
                       const std::vector<std::string>& prefix,
                       const std::vector<std::string>& environment, CliStdout how) {
  static int serial = 0;
  const std::string stem =
      scratch_dir + "/cli-" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
  out_file_ = stem + ".out";
  err_file_ = stem + ".err";
  std::vector<std::string> argv = prefix;
  argv.push_back(ORVANTOR_CLI);
  argv.insert(argv.end(), args.begin(), args.end());
  pid_ = ::fork();
  if (pid_ != 0) return;
  // The child: nothing but async-signal-safe calls would be strictly
  // needed here, but the test process has no other threads at this point
  // that matter for these few calls.
  for (const std::string& e : environment) ::putenv(const_cast<char*>(e.c_str()));
  const int in = ::open("/dev/null", O_RDONLY);
  const int out = ::open(out_file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = ::open(err_file_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::dup2(in, 0);
  ::dup2(out, 1);
  ::dup2(err, 2);
  if (how == CliStdout::kClosed) ::close(1);
  int pipe_ends[2];
  if (how == CliStdout::kBrokenPipe && ::pipe(pipe_ends) == 0) {
    ::close(pipe_ends[0]);
    ::dup2(pipe_ends[1], 1);
  }
  // A fresh signal state, as a shell gives its commands.
  ::signal(SIGPIPE, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  std::vector<char*> c_args;
  for (std::string& a : argv) c_args.push_back(a.data());
  c_args.push_back(nullptr);
  ::execvp(c_args[0], c_args.data());
  ::_exit(127);
}

bool CliProcess::Running() const {
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == 0;
}

CliProcess::~CliProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  std::remove(out_file_.c_str());
  std::remove(err_file_.c_str());
}

void CliProcess::Signal(int signal) const { ::kill(pid_, signal); }

CliRun CliProcess::Wait() {
  CliRun r;
  ::waitpid(pid_, &r.status, 0);
  pid_ = -1;
  r.out = ReadFile(out_file_);
  r.err = ReadFile(err_file_);
  return r;
}

CliRun RunCli(const std::vector<std::string>& args, const std::string& scratch_dir,
              const std::vector<std::string>& prefix, const std::vector<std::string>& environment) {
  CliProcess p(args, scratch_dir, prefix, environment);
  return p.Wait();
}

bool IsRoot() { return ::geteuid() == 0; }

bool UnderThreadSanitizer() {
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
  return true;
#endif
#endif
  return false;
}

}  // namespace orv::testing
