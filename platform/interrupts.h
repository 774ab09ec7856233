#ifndef ORVANTOR_PLATFORM_INTERRUPTS_H_
#define ORVANTOR_PLATFORM_INTERRUPTS_H_

// Interrupts: Ctrl-C, a closed terminal or SSH connection, a kill from
// another program (SIGINT, SIGHUP, SIGTERM, SIGQUIT on POSIX). A run that
// is interrupted must leave no temporary file behind and both targets as
// they were; one that is interrupted after both files are replaced must
// say so. The handler reads only what this module keeps in fixed slots of
// atomics, so it needs no lock and no allocation. On Windows the
// interrupts are the console's: Ctrl+C, Ctrl+Break, closing the console
// window, logging off and shutting down. The system's side is in
// interrupts_posix.cpp and interrupts_win.cpp.

namespace orv::platform {

// Where the process stands; an interrupt does what the phase says.
enum class RunPhase {
  kIdle,     // no run: the signal does what it did before the handlers
  kWorking,  // temporary files may exist: they are removed, one line says
             // the targets are unchanged, and the process ends by the same
             // signal (a shell reports 128 + its number; on Windows, the
             // status of a program ended by Ctrl+C)
  kSaved,    // both targets are replaced: one line says so, and the process
             // exits with the status given to InstallInterruptHandlers
};

// Installs the handlers, once for the process; later calls only change
// `saved_status`. On POSIX also ignores SIGPIPE (a closed output is an
// error to report, not a silent death) and SIGXFSZ (a file grown past its
// limit is a write error, cleaned up after).
void InstallInterruptHandlers(int saved_status);

void SetRunPhase(RunPhase phase);
RunPhase CurrentRunPhase();

// Holds interrupts off while it lives, on every thread: one that arrives
// meanwhile is acted upon when the outermost hold ends. Keeps a temporary
// file from being made unnoticed and the two renames of a commit apart.
// Cheap (two atomic operations). In a process already ending by an
// interrupt, waits here for the end.
class InterruptHold {
 public:
  InterruptHold();
  ~InterruptHold();
  InterruptHold(const InterruptHold&) = delete;
  InterruptHold& operator=(const InterruptHold&) = delete;
};

// A temporary file to remove when an interrupt or a fault ends the process.
// `path` must stay valid until ForgetTemporaryFile. Sixteen at most are
// noted at once; call both under an InterruptHold.
void NoteTemporaryFile(const char* path);
void ForgetTemporaryFile(const char* path);

// For a fatal fault's handler: waits for any hold to end, claims the end of
// the process (false when an interrupt has claimed it already) and removes
// every noted temporary file. Async-signal-safe.
bool ClaimEndAndRemoveTemporaryFiles();

// Writes `text` to stderr without allocating. Async-signal-safe.
void SayFromHandler(const char* text);

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_INTERRUPTS_H_
