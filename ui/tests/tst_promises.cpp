// The README's promises on the window's face: under the interrupt handlers
// the program installs, closing the window during a run still cancels
// cleanly and a SIGTERM during a run removes the temporary files and keeps
// the targets; a target without write permission bits is read-only to the
// real file queries, for root too; a source that is no world save is
// refused.

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "platform/interrupts.h"
#include "ui/qt_window_services.h"
#include "ui/tests/window_fixture.h"

class PromisesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { orv::platform::InstallInterruptHandlers(0); }
  void closeDuringRunKeepsItsCleanCancel();
  void terminatedDuringRunLeavesNoTemporaryFile();
  void targetWithoutWriteBitsIsReadOnlyForRootToo();
  void sourceThatIsNoWorldSaveIsRefused();
};

namespace {

const char* const kChildFlag = "--run-and-be-terminated";
const std::string kOldChars = "old chars\r\n";
const std::string kOldWorld = "old world\r\n";

QStringList FolderEntries(const QTemporaryDir& dir) {
  return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// The child of terminatedDuringRunLeavesNoTemporaryFile: a window run in
// `folder` that gets SIGTERM at its first pump. Never returns.
[[noreturn]] void RunAndBeTerminated(const std::string& folder) {
  orv::World world;
  ScriptedServices services;
  TForm1 form(world, services);
  services.dialog_answers = {folder + "/world.scp", folder + "/out_world.scp",
                             folder + "/out_chars.scp"};
  services.box_answers = {orv::kIdOk, orv::kIdOk};  // overwrite both
  form.Button1Click();
  form.Button2Click();
  form.Button3Click();
  form.SetPumpObserver([] { ::raise(SIGTERM); });
  form.BitBtn1Click();
  ::_exit(0);  // not reached: the signal ends the process
}

// Real file queries, scripted dialogs and boxes.
class RealQueries final : public orv::ui::WindowServices {
 public:
  std::string next_file;
  std::vector<std::string> boxes;

  bool OpenFileDialog(QWidget*, const orv::ui::FileDialog&, std::string& chosen) override {
    chosen = next_file;
    return true;
  }
  bool SaveFileDialog(QWidget*, const orv::ui::FileDialog&, std::string& chosen) override {
    chosen = next_file;
    return true;
  }
  int MessageBox(QWidget*, std::string_view text, std::string_view, int) override {
    boxes.emplace_back(text);
    return orv::kIdOk;
  }
  bool FileExists(const std::string& path) override { return real_.FileExists(path); }
  bool IsReadOnly(const std::string& path) override { return real_.IsReadOnly(path); }
  std::int64_t FreeBytes(const std::string& path) override { return real_.FreeBytes(path); }
  orv::platform::PowerOffResult PowerOff() override { return {}; }

 private:
  orv::ui::QtWindowServices real_;
};

}  // namespace

void PromisesTest::closeDuringRunKeepsItsCleanCancel() {
  WindowFixture f;
  TForm1& w = *f.form;
  WriteFile(f.Path("out_world.scp"), kOldWorld);
  WriteFile(f.Path("out_chars.scp"), kOldChars);
  f.services.box_answers = {orv::kIdOk, orv::kIdOk};
  f.PrepareRun();
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  w.SetPumpObserver([&] { w.close(); });
  w.BitBtn1Click();
  QCOMPARE(w.LastRunStatus(), orv::RunStatus::kCancelled);
  QVERIFY(!w.isVisible());
  QCOMPARE(ReadFile(f.Path("out_world.scp")), kOldWorld);
  QCOMPARE(ReadFile(f.Path("out_chars.scp")), kOldChars);
  QCOMPARE(FolderEntries(f.dir), (QStringList{"out_chars.scp", "out_world.scp", "world.scp"}));
  // The process is idle again: a later interrupt does what it did before.
  QCOMPARE(orv::platform::CurrentRunPhase(), orv::platform::RunPhase::kIdle);
}

void PromisesTest::terminatedDuringRunLeavesNoTemporaryFile() {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  WriteFile(folder + "/world.scp", SmallWorld(WorldShape()));
  WriteFile(folder + "/out_world.scp", kOldWorld);
  WriteFile(folder + "/out_chars.scp", kOldChars);
  const std::string err_file =
      folder + "/../" + QFileInfo(dir.path()).fileName().toStdString() + ".err";
  const pid_t child = ::fork();
  QVERIFY(child >= 0);
  if (child == 0) {
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    const std::string redirect =
        "exec '" + self + "' " + kChildFlag + " '" + folder + "' 2>'" + err_file + "'";
    ::execl("/bin/sh", "sh", "-c", redirect.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  QCOMPARE(::waitpid(child, &status, 0), child);
  QFile err(QString::fromStdString(err_file));
  QVERIFY(err.open(QIODevice::ReadOnly));
  const QByteArray said = err.readAll();
  err.remove();
  QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM, said.constData());
  QVERIFY2(said.endsWith(": interrupted by SIGTERM; the targets are unchanged\n"),
           said.constData());
  QCOMPARE(ReadFile(folder + "/out_world.scp"), kOldWorld);
  QCOMPARE(ReadFile(folder + "/out_chars.scp"), kOldChars);
  QCOMPARE(FolderEntries(dir), (QStringList{"out_chars.scp", "out_world.scp", "world.scp"}));
}

void PromisesTest::targetWithoutWriteBitsIsReadOnlyForRootToo() {
  QTemporaryDir dir;
  const std::string target = dir.path().toStdString() + "/locked.scp";
  WriteFile(target, kOldWorld);
  QCOMPARE(::chmod(target.c_str(), 0444), 0);
  orv::World world;
  RealQueries services;
  TForm1 form(world, services);
  services.next_file = target;
  form.Button2Click();
  // Only the read-only message, never the overwrite question; refused.
  QCOMPARE(services.boxes, (std::vector<std::string>{"File exists and is read only!"}));
  QVERIFY(form.Edit2->text().isEmpty());

  // Writable again: the overwrite question.
  QCOMPARE(::chmod(target.c_str(), 0644), 0);
  services.boxes.clear();
  form.Button2Click();
  QCOMPARE(services.boxes, (std::vector<std::string>{"File Exists, overwrite?"}));
}

void PromisesTest::sourceThatIsNoWorldSaveIsRefused() {
  WindowFixture f;
  TForm1& w = *f.form;
  WriteFile(f.Path("positions.txt"), "1495,1629,10\r\n");
  WriteFile(f.Path("out_world.scp"), kOldWorld);
  f.services.box_answers = {orv::kIdOk};
  f.ChooseFiles(f.Path("positions.txt"), f.Path("out_world.scp"), f.Path("out_chars.scp"));
  w.BitBtn1Click();
  QCOMPARE(w.LastRunStatus(), orv::RunStatus::kFailed);
  QCOMPARE(f.services.boxes.back().caption, std::string("Error"));
  QCOMPARE(f.services.boxes.back().text,
           "Error: '" + f.Path("positions.txt") +
               "' is not a world save: it has no [WORLDCHAR or [WORLDITEM section and no [EOF] "
               "line");
  QCOMPARE(ReadFile(f.Path("out_world.scp")), kOldWorld);
  QCOMPARE(FolderEntries(f.dir), (QStringList{"out_world.scp", "positions.txt"}));
}

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == kChildFlag) {
    orv::platform::InstallInterruptHandlers(0);
    QApplication app(argc, argv);
    RunAndBeTerminated(argv[2]);
  }
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  PromisesTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_promises.moc"
