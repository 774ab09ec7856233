#include "platform/power_off.h"

#include <unistd.h>

#include <utility>

#if defined(ORVANTOR_HAVE_SDBUS)
#include <dlfcn.h>
#include <systemd/sd-bus.h>

#include <cstring>
#include <string_view>
#endif

namespace orv::platform {
namespace {

PowerOffResult Unreachable(std::string message) {
  // The window's first error box: the right to power off could not even be
  // asked for.
  return {PowerOffResult::Outcome::kUnreachable, "ShutDown Error #1", std::move(message)};
}

#if defined(ORVANTOR_HAVE_SDBUS)
// Whether a failed call never reached a login manager that could answer it:
// no such service on the bus, no answer, or a service without the call.
// Every other error is the manager's own answer.
bool NeverReachedTheManager(const sd_bus_error& error) {
  if (error.name == nullptr) return true;  // failed on our side of the bus
  constexpr std::string_view kUnreachable[] = {
      "org.freedesktop.DBus.Error.ServiceUnknown",   "org.freedesktop.DBus.Error.NameHasNoOwner",
      "org.freedesktop.DBus.Error.NoReply",          "org.freedesktop.DBus.Error.Timeout",
      "org.freedesktop.DBus.Error.TimedOut",         "org.freedesktop.DBus.Error.Disconnected",
      "org.freedesktop.DBus.Error.NoServer",         "org.freedesktop.DBus.Error.UnknownObject",
      "org.freedesktop.DBus.Error.UnknownInterface", "org.freedesktop.DBus.Error.UnknownMethod",
  };
  for (const std::string_view name : kUnreachable)
    if (name == error.name) return true;
  return false;
}
#endif

}  // namespace

PowerOffResult RequestPowerOff() {
  // The files just saved may still sit in the page cache; they must be on
  // disk before the power goes, whatever the login manager does first.
  ::sync();
#if defined(ORVANTOR_HAVE_SDBUS)
  // libsystemd is opened only here: linked in, it and the libraries it pulls
  // in would be loaded at every start of the program, for a call that most
  // runs never make.
  void* library = ::dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return Unreachable("cannot load libsystemd to reach the login manager");
  struct Close {
    void* library;
    ~Close() { ::dlclose(library); }
  } close{library};
  const auto open_system =
      reinterpret_cast<decltype(&sd_bus_open_system)>(::dlsym(library, "sd_bus_open_system"));
  const auto call_method =
      reinterpret_cast<decltype(&sd_bus_call_method)>(::dlsym(library, "sd_bus_call_method"));
  const auto error_free =
      reinterpret_cast<decltype(&sd_bus_error_free)>(::dlsym(library, "sd_bus_error_free"));
  const auto message_unref =
      reinterpret_cast<decltype(&sd_bus_message_unref)>(::dlsym(library, "sd_bus_message_unref"));
  const auto bus_unref =
      reinterpret_cast<decltype(&sd_bus_unref)>(::dlsym(library, "sd_bus_unref"));
  if (!open_system || !call_method || !error_free || !message_unref || !bus_unref)
    return Unreachable("the libsystemd found lacks the calls to reach the login manager");

  sd_bus* bus = nullptr;
  int r = open_system(&bus);
  if (r < 0) return Unreachable(std::string("cannot reach the system bus: ") + std::strerror(-r));
  sd_bus_error error{};  // the same as SD_BUS_ERROR_NULL, without a C compound literal
  sd_bus_message* reply = nullptr;
  // Not interactive: no password prompt in the middle of the night.
  r = call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                  "org.freedesktop.login1.Manager", "PowerOff", &error, &reply, "b", 0);
  PowerOffResult result;
  if (r < 0) {
    const std::string why = error.message ? error.message : std::strerror(-r);
    if (NeverReachedTheManager(error)) {
      result = Unreachable(
          "cannot ask the login manager (org.freedesktop.login1) for the power-off: " + why);
    } else {
      result = {PowerOffResult::Outcome::kRefused, "",
                "the login manager refused the power-off: " + why};
    }
  }
  error_free(&error);
  message_unref(reply);
  bus_unref(bus);
  return result;
#else
  return Unreachable("powering off is not supported here");
#endif
}

}  // namespace orv::platform
