#ifndef ORVANTOR_TESTS_CLI_RUN_H_
#define ORVANTOR_TESTS_CLI_RUN_H_

// Runs the real `orvantor` command line as a child process, as a user's
// shell would: arguments as given, stdout and stderr caught in files, the
// raw wait status kept so that a death by signal can be told from an exit.

#include <sys/types.h>

#include <string>
#include <vector>

namespace orv::testing {

struct CliRun {
  int status = -1;  // the raw wait status
  std::string out, err;

  bool Exited(int code) const;
  bool KilledBy(int signal) const;
  // The status as a shell reports it in $?: the exit code, or 128 + the
  // number of the signal that ended the process.
  int ShellStatus() const;
};

// Where the command line's stdout goes.
enum class CliStdout {
  kFile,        // a file, read back by Wait
  kClosed,      // nowhere: the descriptor is closed
  kBrokenPipe,  // a pipe whose reader has gone
};

// A command line started but not yet waited for.
class CliProcess {
 public:
  // `prefix` goes before the program (e.g. {"setpriv", "--reuid=65534", ...});
  // `environment` entries ("NAME=value") are added to the test's own.
  CliProcess(const std::vector<std::string>& args, const std::string& scratch_dir,
             const std::vector<std::string>& prefix = {},
             const std::vector<std::string>& environment = {}, CliStdout out = CliStdout::kFile);
  ~CliProcess();
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  pid_t pid() const { return pid_; }
  void Signal(int signal) const;
  // Whether the process has not ended yet (an ended one is not reaped).
  bool Running() const;
  CliRun Wait();

 private:
  pid_t pid_ = -1;
  std::string out_file_, err_file_;
};

// Starts and waits.
CliRun RunCli(const std::vector<std::string>& args, const std::string& scratch_dir,
              const std::vector<std::string>& prefix = {},
              const std::vector<std::string>& environment = {});

// Waits up to ten seconds for `done` to hold; false if it never did.
template <class Done>
bool WaitUntil(Done done);

// Whether the machine lets this test do what needs the superuser.
bool IsRoot();

// Whether the command line runs under ThreadSanitizer, which holds a signal
// back until the thread it falls on returns from its system call: a run
// blocked in one (a FIFO, a bus) cannot be interrupted there.
bool UnderThreadSanitizer();

}  // namespace orv::testing

#include <chrono>
#include <thread>

namespace orv::testing {
template <class Done>
bool WaitUntil(Done done) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}
}  // namespace orv::testing

#endif  // ORVANTOR_TESTS_CLI_RUN_H_
