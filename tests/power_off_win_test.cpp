// The Windows power-off, built here against a stand-in of the system
// header: the calls it makes, in order, with their values; the error box of
// each failing step; and a refusal of the power-off told apart from them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/power_off.h"
#include "windows.h"

namespace {

struct System {
  DWORD platform_id = VER_PLATFORM_WIN32_NT;
  BOOL open_token = 1;
  BOOL lookup = 1;
  BOOL adjust = 1;
  BOOL exit_windows = 1;
  std::vector<std::string> calls;
};
System sys;

HANDLE const kProcess = reinterpret_cast<HANDLE>(0x1234);
HANDLE const kToken = reinterpret_cast<HANDLE>(0x5678);
constexpr LUID kShutdownLuid{19, 0};

}  // namespace

BOOL GetVersionExA(LPOSVERSIONINFOA info) {
  sys.calls.push_back("GetVersionExA size=" + std::to_string(info->dwOSVersionInfoSize));
  info->dwPlatformId = sys.platform_id;
  return 1;
}

HANDLE GetCurrentProcess() {
  sys.calls.push_back("GetCurrentProcess");
  return kProcess;
}

BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
  sys.calls.push_back(std::string("OpenProcessToken process=") +
                      (process == kProcess ? "current" : "other") +
                      " access=" + std::to_string(access));
  if (sys.open_token) *token = kToken;
  return sys.open_token;
}

BOOL LookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid) {
  sys.calls.push_back(std::string("LookupPrivilegeValueA system=") + (system ? system : "local") +
                      " name=" + name);
  if (sys.lookup) *luid = kShutdownLuid;
  return sys.lookup;
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disable_all, PTOKEN_PRIVILEGES state, DWORD length,
                           PTOKEN_PRIVILEGES previous, PDWORD return_length) {
  sys.calls.push_back(
      std::string("AdjustTokenPrivileges token=") + (token == kToken ? "opened" : "other") +
      " disable_all=" + std::to_string(disable_all) +
      " count=" + std::to_string(state->PrivilegeCount) +
      " luid=" + std::to_string(state->Privileges[0].Luid.LowPart) +
      " attributes=" + std::to_string(state->Privileges[0].Attributes) +
      " length=" + std::to_string(length) + " previous=" + (previous ? "asked" : "none") +
      " return_length=" + (return_length ? "asked" : "none"));
  return sys.adjust;
}

BOOL ExitWindowsEx(UINT flags, DWORD reserved) {
  sys.calls.push_back("ExitWindowsEx flags=" + std::to_string(flags) +
                      " reserved=" + std::to_string(reserved));
  return sys.exit_windows;
}

namespace orv::platform {
namespace {

using Outcome = PowerOffResult::Outcome;

class PowerOffWin : public ::testing::Test {
 protected:
  void SetUp() override { sys = System(); }
};

TEST_F(PowerOffWin, TheNtFamilyTakesThePrivilegeThenPowersOff) {
  EXPECT_EQ(RequestPowerOff().outcome, Outcome::kAsked);
  const std::vector<std::string> expected = {
      "GetVersionExA size=148",
      "GetCurrentProcess",
      "OpenProcessToken process=current access=40",
      "LookupPrivilegeValueA system=local name=SeShutdownPrivilege",
      "AdjustTokenPrivileges token=opened disable_all=0 count=1 luid=19 attributes=2 length=16 "
      "previous=none return_length=none",
      "ExitWindowsEx flags=12 reserved=0",
  };
  EXPECT_EQ(sys.calls, expected);
}

TEST_F(PowerOffWin, TheWindows95FamilyGoesStraightToThePowerOff) {
  sys.platform_id = VER_PLATFORM_WIN32_WINDOWS;
  EXPECT_EQ(RequestPowerOff().outcome, Outcome::kAsked);
  const std::vector<std::string> expected = {"GetVersionExA size=148",
                                             "ExitWindowsEx flags=12 reserved=0"};
  EXPECT_EQ(sys.calls, expected);
}

TEST_F(PowerOffWin, EachFailingStepHasItsErrorBoxAndAsksForNoPowerOff) {
  struct Step {
    const char* caption;
    const char* message;
  };
  const Step steps[] = {{"ShutDown Error #1", "OpenProcessToken failed"},
                        {"ShutDown Error #2", "LookupPrivilegeValue failed"},
                        {"ShutDown Error #3", "AdjustTokenPrivileges failed"}};
  for (int step = 1; step <= 3; ++step) {
    SCOPED_TRACE(step);
    sys = System();
    sys.open_token = step != 1;
    sys.lookup = step != 2;
    sys.adjust = step != 3;
    const PowerOffResult result = RequestPowerOff();
    EXPECT_EQ(result.outcome, Outcome::kUnreachable);
    EXPECT_EQ(result.caption, steps[step - 1].caption);
    EXPECT_EQ(result.message, steps[step - 1].message);
    EXPECT_EQ(sys.calls.size(), static_cast<std::size_t>(2 + step)) << "stops at the failed step";
    EXPECT_NE(sys.calls.back().rfind("ExitWindowsEx", 0), 0u);
  }
}

TEST_F(PowerOffWin, APowerOffTheSystemTurnsDownIsARefusalWithoutAnErrorBox) {
  // A user without the shutdown right: the privilege call succeeds without
  // granting it, and ExitWindowsEx fails.
  sys.exit_windows = 0;
  const PowerOffResult result = RequestPowerOff();
  EXPECT_EQ(result.outcome, Outcome::kRefused);
  EXPECT_EQ(result.caption, "");
  EXPECT_NE(result.message.find("refused the power-off"), std::string::npos) << result.message;
}

}  // namespace
}  // namespace orv::platform
