#include "platform/power_off.h"

#include <unistd.h>

#if defined(ORVANTOR_HAVE_SDBUS)
#include <systemd/sd-bus.h>

#include <cstring>
#endif

namespace orv::platform {

std::string RequestPowerOff() {
  // The files just saved may still sit in the page cache; they must be on
  // disk before the power goes, whatever the login manager does first.
  ::sync();
#if defined(ORVANTOR_HAVE_SDBUS)
  sd_bus* bus = nullptr;
  int r = sd_bus_open_system(&bus);
  if (r < 0) return std::string("cannot reach the system bus: ") + std::strerror(-r);
  sd_bus_error error{};  // the same as SD_BUS_ERROR_NULL, without a C compound literal
  sd_bus_message* reply = nullptr;
  r = sd_bus_call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                         "org.freedesktop.login1.Manager", "PowerOff", &error, &reply, "b", 0);
  std::string result;
  if (r < 0) {
    result = std::string("the login manager refused the power-off: ") +
             (error.message ? error.message : std::strerror(-r));
  }
  sd_bus_error_free(&error);
  sd_bus_message_unref(reply);
  sd_bus_unref(bus);
  return result;
#else
  return "powering off is not supported here";
#endif
}

}  // namespace orv::platform
