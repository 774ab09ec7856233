// The Windows power-off, built here against a stand-in of the system
// header: the calls it makes, in order, with their values, and the error
// box of each failing step.

#include <QTest>

#include <string>
#include <vector>

#include "ui/shutdown_win.h"
#include "windows.h"

namespace {

struct System {
  DWORD platform_id = VER_PLATFORM_WIN32_NT;
  BOOL open_token = 1;
  BOOL lookup = 1;
  BOOL adjust = 1;
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
      " disable_all=" + std::to_string(disable_all) + " count=" +
      std::to_string(state->PrivilegeCount) + " luid=" +
      std::to_string(state->Privileges[0].Luid.LowPart) + " attributes=" +
      std::to_string(state->Privileges[0].Attributes) + " length=" + std::to_string(length) +
      " previous=" + (previous ? "asked" : "none") + " return_length=" +
      (return_length ? "asked" : "none"));
  return sys.adjust;
}

BOOL ExitWindowsEx(UINT flags, DWORD reserved) {
  sys.calls.push_back("ExitWindowsEx flags=" + std::to_string(flags) +
                      " reserved=" + std::to_string(reserved));
  return 1;
}

class ShutdownWinTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { sys = System(); }
  void ntFamilyTakesThePrivilegeThenPowersOff();
  void windows95FamilyGoesStraightToThePowerOff();
  void eachFailingStepShowsItsErrorAndStops_data();
  void eachFailingStepShowsItsErrorAndStops();
};

void ShutdownWinTest::ntFamilyTakesThePrivilegeThenPowersOff() {
  QVERIFY(!orv::ui::WindowsPowerOff().has_value());
  const std::vector<std::string> expected = {
      "GetVersionExA size=148",
      "GetCurrentProcess",
      "OpenProcessToken process=current access=40",
      "LookupPrivilegeValueA system=local name=SeShutdownPrivilege",
      "AdjustTokenPrivileges token=opened disable_all=0 count=1 luid=19 attributes=2 length=16 "
      "previous=none return_length=none",
      "ExitWindowsEx flags=12 reserved=0",
  };
  QCOMPARE(sys.calls, expected);
}

void ShutdownWinTest::windows95FamilyGoesStraightToThePowerOff() {
  sys.platform_id = VER_PLATFORM_WIN32_WINDOWS;
  QVERIFY(!orv::ui::WindowsPowerOff().has_value());
  const std::vector<std::string> expected = {"GetVersionExA size=148",
                                             "ExitWindowsEx flags=12 reserved=0"};
  QCOMPARE(sys.calls, expected);
}

void ShutdownWinTest::eachFailingStepShowsItsErrorAndStops_data() {
  QTest::addColumn<int>("step");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QString>("message");
  QTest::newRow("token") << 1 << "ShutDown Error #1" << "OpenProcessToken failed";
  QTest::newRow("lookup") << 2 << "ShutDown Error #2" << "LookupPrivilegeValue failed";
  QTest::newRow("adjust") << 3 << "ShutDown Error #3" << "AdjustTokenPrivileges failed";
}

void ShutdownWinTest::eachFailingStepShowsItsErrorAndStops() {
  QFETCH(int, step);
  QFETCH(QString, caption);
  QFETCH(QString, message);
  sys.open_token = step != 1;
  sys.lookup = step != 2;
  sys.adjust = step != 3;
  const auto error = orv::ui::WindowsPowerOff();
  QVERIFY(error.has_value());
  QCOMPARE(QString::fromStdString(error->caption), caption);
  QCOMPARE(QString::fromStdString(error->message), message);
  // No power-off is asked for after a failed step.
  QVERIFY(sys.calls.back().rfind("ExitWindowsEx", 0) != 0);
  QCOMPARE(static_cast<int>(sys.calls.size()), 2 + step);
}

QTEST_APPLESS_MAIN(ShutdownWinTest)

#include "tst_shutdown_win.moc"
