#ifndef ORVANTOR_PLATFORM_PROCESS_END_H_
#define ORVANTOR_PLATFORM_PROCESS_END_H_

// The system's side of ending the process from an interrupt or a fault
// handler, for interrupts.cpp and source_fault.cpp, which keep what is the
// same everywhere (who acts, which files go, what is said). Each is
// implemented in interrupts_posix.cpp and interrupts_win.cpp, and may be
// called from a signal handler (async-signal-safe on POSIX).

namespace orv::platform {

// Hooks the system's interrupts (signals, console events) up to
// ActOnInterrupt. Called once.
void InstallSystemInterruptHandlers();

// What a handler calls for `interrupt` (a number of the system's side, never
// 0). False when no run is in progress: the interrupt then does what it did
// before our handlers. Else ends the process, or leaves the interrupt to the
// end of the hold that is on (or to the interrupt that ends the process
// already) and returns true.
bool ActOnInterrupt(int interrupt);

// The name of the interrupt in a message ("SIGINT", "Ctrl+C" ...).
const char* InterruptName(int interrupt);
// Ends the process as `interrupt` ends a program that has no handler, so
// that its caller sees an interrupted command.
[[noreturn]] void EndByInterrupt(int interrupt);
// Ends the process at once with `status`, without running anything else.
[[noreturn]] void ExitNow(int status);
// Waits for another thread to end the process.
[[noreturn]] void AwaitTheEnd();
// Removes a file by its UTF-8 name, without allocating.
void RemoveFileNow(const char* path);
// The program's name for the start of a message line.
const char* ProgramName();

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_PROCESS_END_H_
