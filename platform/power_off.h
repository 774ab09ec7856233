#ifndef ORVANTOR_PLATFORM_POWER_OFF_H_
#define ORVANTOR_PLATFORM_POWER_OFF_H_

#include <string>

namespace orv::platform {

// Asks the system to power the computer off, without asking the user again.
// On Linux the request goes to the login manager over D-Bus
// (org.freedesktop.login1, Manager.PowerOff), every file system synced
// first; on Windows to ExitWindowsEx, after taking the shutdown privilege
// (shutdown_win.h). Returns an empty string when the request was made, else
// a text that says why it could not be made.
std::string RequestPowerOff();

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_POWER_OFF_H_
