#include "ui/shutdown_win.h"

#include "platform/shutdown_win.h"

namespace orv::ui {

std::optional<PowerOffError> WindowsPowerOff() {
  if (const auto error = platform::ShutDownWindows()) return PowerOffError{error->caption, error->message};
  return std::nullopt;
}

}  // namespace orv::ui
