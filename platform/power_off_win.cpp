#include "platform/power_off.h"

#include <windows.h>

namespace orv::platform {
namespace {

// The records as the system expects them: the version record with its size
// field, and room for exactly one privilege.
static_assert(sizeof(OSVERSIONINFOA) == 148);
static_assert(sizeof(TOKEN_PRIVILEGES) == 16);

PowerOffResult StepFailed(const char* caption, const char* message) {
  return {PowerOffResult::Outcome::kUnreachable, caption, message};
}

}  // namespace

PowerOffResult RequestPowerOff() {
  // The files were flushed to the disk before their renames (unless the
  // user said not to), and Windows flushes its caches before it powers off.
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  // The result is not tested: on failure the platform id stays 0 and the
  // privilege steps are skipped, as on the Windows 95 family.
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)  // deprecated, and still what tells the family
#endif
  GetVersionExA(&version);

  if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    // Only the NT family has privileges; without SeShutdownPrivilege the
    // power-off below would be refused.
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token) == 0)
      return StepFailed("ShutDown Error #1", "OpenProcessToken failed");

    TOKEN_PRIVILEGES privileges{};
    if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid) == 0)
      return StepFailed("ShutDown Error #2", "LookupPrivilegeValue failed");
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;

    // Only the call's result is tested: a call that succeeds without
    // granting the privilege (a user who does not hold it) counts as
    // success, and the system then turns the power-off down.
    if (AdjustTokenPrivileges(token, FALSE, &privileges, sizeof(TOKEN_PRIVILEGES), nullptr,
                              nullptr) == 0)
      return StepFailed("ShutDown Error #3", "AdjustTokenPrivileges failed");
  }

  // Power off and end running programs without asking them; the request
  // completes while the caller finishes its run.
  if (ExitWindowsEx(EWX_POWEROFF | EWX_FORCE, 0) == 0) {
    return {PowerOffResult::Outcome::kRefused, "",
            "Windows refused the power-off (does this account hold the right to shut the system "
            "down?)"};
  }
  return {};
}

}  // namespace orv::platform
