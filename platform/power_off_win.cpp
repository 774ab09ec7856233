// The Windows side of power_off.h: the window's own power-off sequence
// (shutdown_win.h), its failures said in a line.

#include "platform/power_off.h"
#include "platform/shutdown_win.h"

namespace orv::platform {

std::string RequestPowerOff() {
  // The files were flushed to the disk before their renames (unless the
  // user said not to), and Windows flushes its caches before it powers off.
  bool refused = false;
  if (const auto error = ShutDownWindows(&refused))
    return std::string(error->caption) + ": " + error->message;
  if (refused)
    return "Windows refused the power-off (does this account hold the right to shut the system "
           "down?)";
  return {};
}

}  // namespace orv::platform
