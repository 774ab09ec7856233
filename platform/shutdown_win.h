#ifndef ORVANTOR_PLATFORM_SHUTDOWN_WIN_H_
#define ORVANTOR_PLATFORM_SHUTDOWN_WIN_H_

// Windows only: switching the computer off through ExitWindowsEx, after
// taking the shutdown privilege on the NT family. The window shows a failed
// step in its error box; the command line says it in one line.

#include <optional>

namespace orv::platform {

// The error box of a step that failed: its caption and its text.
struct ShutDownError {
  const char* caption;
  const char* message;
};

// Takes the shutdown privilege where the system has privileges, then asks
// for a forced power-off. Returns the error of the step that failed, or
// nothing once the power-off was asked for, granted or not. When `refused`
// is given, it tells whether the system turned the request itself down.
std::optional<ShutDownError> ShutDownWindows(bool* refused = nullptr);

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_SHUTDOWN_WIN_H_
