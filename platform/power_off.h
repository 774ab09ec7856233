#ifndef ORVANTOR_PLATFORM_POWER_OFF_H_
#define ORVANTOR_PLATFORM_POWER_OFF_H_

#include <string>

namespace orv::platform {

// What became of a request to power the computer off.
struct PowerOffResult {
  enum class Outcome {
    kAsked,        // the system took the request: the computer goes down
    kUnreachable,  // the request could not be made: nobody to ask, or a step before it failed
    kRefused,      // the system turned the request down (the account may not power off)
  };
  Outcome outcome = Outcome::kAsked;
  // Unless kAsked, what went wrong, as an error box shows it: the caption
  // ("ShutDown Error #1" to "#3" for a step that failed; empty for a
  // refusal) and the text ("OpenProcessToken failed", or the system's own
  // words).
  std::string caption;
  std::string message;
};

// Asks the system to power the computer off, ending running programs
// without asking them or the user. On Linux the request goes to the login
// manager over D-Bus (org.freedesktop.login1, Manager.PowerOff, not
// interactive), every file system synced first; on Windows to ExitWindowsEx,
// after taking the shutdown privilege where the system has privileges.
PowerOffResult RequestPowerOff();

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_POWER_OFF_H_
