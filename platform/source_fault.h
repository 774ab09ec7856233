#ifndef ORVANTOR_PLATFORM_SOURCE_FAULT_H_
#define ORVANTOR_PLATFORM_SOURCE_FAULT_H_

// A mapped world save that another program cuts short (a server that
// rewrites its save in place) makes every later read of the lost pages a
// bus error (on Windows, a save on a network share that goes away makes
// them an in-page error), anywhere in the engine. Rather than crash with the
// temporary output files left behind, the process then removes them, says
// in one line what happened and exits with status 1; the targets stay as
// they were. Used by the file services; the temporary files are those
// noted with interrupts.h. The handler is the system's side, in
// source_fault_posix.cpp and source_fault_win.cpp.

#include <cstddef>
#include <string>

namespace orv::platform {

// Watches [base, base + size), the mapping of `path`, until ForgetMapping.
// Installs the bus-error handler the first time. Watches a few at most; a
// mapping beyond that is left unwatched.
void WatchMapping(const void* base, std::size_t size, const std::string& path);
void ForgetMapping(const void* base);

// For the system's fault handler: when `address` lies in a watched mapping,
// ends the process as above, the line saying `what_happened` to the save
// (and does not return). Async-signal-safe.
void EndIfSourceFault(const void* address, const char* what_happened);
// Installs the system's fault handler; called once, by WatchMapping.
void InstallSourceFaultHandler();

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_SOURCE_FAULT_H_
