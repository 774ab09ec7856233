#ifndef ORVANTOR_PLATFORM_SOURCE_FAULT_H_
#define ORVANTOR_PLATFORM_SOURCE_FAULT_H_

// A mapped world save that another program cuts short (a server that
// rewrites its save in place) makes every later read of the lost pages a
// bus error, anywhere in the engine. Rather than crash with the temporary
// output files left behind, the process then removes them, says in one line
// what happened and exits with status 1; the targets stay as they were.
// Used by the file services of file_system_posix.cpp; the temporary files
// are those noted with interrupts.h.

#include <cstddef>
#include <string>

namespace orv::platform {

// Watches [base, base + size), the mapping of `path`, until ForgetMapping.
// Installs the bus-error handler the first time. Watches a few at most; a
// mapping beyond that is left unwatched.
void WatchMapping(const void* base, std::size_t size, const std::string& path);
void ForgetMapping(const void* base);

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_SOURCE_FAULT_H_
