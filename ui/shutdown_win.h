#ifndef ORVANTOR_UI_SHUTDOWN_WIN_H_
#define ORVANTOR_UI_SHUTDOWN_WIN_H_

// Windows only: switching the computer off through ExitWindowsEx, after
// taking the shutdown privilege on the NT family.

#include <optional>

#include "ui/window_services.h"

namespace orv::ui {

// Takes the shutdown privilege where the system has privileges, then asks
// for a forced power-off. Returns the error box of the step that failed, or
// nothing once the power-off was asked for, granted or not.
std::optional<PowerOffError> WindowsPowerOff();

}  // namespace orv::ui

#endif  // ORVANTOR_UI_SHUTDOWN_WIN_H_
