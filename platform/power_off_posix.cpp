#include "platform/power_off.h"

#include <unistd.h>

#if defined(ORVANTOR_HAVE_SDBUS)
#include <dlfcn.h>
#include <systemd/sd-bus.h>

#include <cstring>
#endif

namespace orv::platform {

std::string RequestPowerOff() {
  // The files just saved may still sit in the page cache; they must be on
  // disk before the power goes, whatever the login manager does first.
  ::sync();
#if defined(ORVANTOR_HAVE_SDBUS)
  // libsystemd is opened only here: linked in, it and the libraries it pulls
  // in would be loaded at every start of the program, for a call that most
  // runs never make.
  void* library = ::dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return "cannot load libsystemd to reach the login manager";
  struct Close {
    void* library;
    ~Close() { ::dlclose(library); }
  } close{library};
  const auto open_system = reinterpret_cast<decltype(&sd_bus_open_system)>(::dlsym(library, "sd_bus_open_system"));
  const auto call_method = reinterpret_cast<decltype(&sd_bus_call_method)>(::dlsym(library, "sd_bus_call_method"));
  const auto error_free = reinterpret_cast<decltype(&sd_bus_error_free)>(::dlsym(library, "sd_bus_error_free"));
  const auto message_unref = reinterpret_cast<decltype(&sd_bus_message_unref)>(::dlsym(library, "sd_bus_message_unref"));
  const auto bus_unref = reinterpret_cast<decltype(&sd_bus_unref)>(::dlsym(library, "sd_bus_unref"));
  if (!open_system || !call_method || !error_free || !message_unref || !bus_unref)
    return "the libsystemd found lacks the calls to reach the login manager";

  sd_bus* bus = nullptr;
  int r = open_system(&bus);
  if (r < 0) return std::string("cannot reach the system bus: ") + std::strerror(-r);
  sd_bus_error error{};  // the same as SD_BUS_ERROR_NULL, without a C compound literal
  sd_bus_message* reply = nullptr;
  r = call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                  "org.freedesktop.login1.Manager", "PowerOff", &error, &reply, "b", 0);
  std::string result;
  if (r < 0) {
    result = std::string("the login manager refused the power-off: ") +
             (error.message ? error.message : std::strerror(-r));
  }
  error_free(&error);
  message_unref(reply);
  bus_unref(bus);
  return result;
#else
  return "powering off is not supported here";
#endif
}

}  // namespace orv::platform
