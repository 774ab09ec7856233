// "convert !" end to end through the window: the files it writes, the
// status and gauge, the lock and unlock of the controls, the pump cadence
// that the slider sets, what stays usable during a run, closing the window
// in the middle of a run, the power-off, and the failures.

#include <chrono>
#include <functional>
#include <thread>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "engine/host.h"
#include "engine/run.h"
#include "tests/vector_state_probe.h"
#include "ui/tests/window_fixture.h"

class ConversionRunTest : public QObject {
  Q_OBJECT

 private slots:
  void fullRunWritesBothFiles();
  void filesFollowTheSwitches();
  void unlockFollowsTheSwitches();
  void controlsLockedDuringRun();
  void statusDrawnBeforeEveryStage();
  void hostCallsIntoQtLeaveTheVectorStateUnused();
  void pumpCadenceFollowsTheSlider_data();
  void pumpCadenceFollowsTheSlider();
  void sliderMoveTakesEffectAtNextPump();
  void saveListAndPowerSwitchUsableDuringRun();
  void closeDuringRunCancelsThenCloses();
  void closeWhenIdleReleasesStores();
  void powerOffAskedThroughServices();
  void powerOffErrorShownAndRunEnds();
  void powerOffRefusalUnreportedAndRunEnds();
  void missingSourceChangesNothing();
  void failedRunReportsAndUnlocks();
  void readyOnceTheErrorBoxIsClosed();
  void sameFileTwiceRefused();
};

namespace {

const std::string kHead = "// ORVANTOR v4.0 FULL - Pellacord\r\n\r\n";

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}
bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}
bool Contains(const std::string& s, const std::string& part) {
  return s.find(part) != std::string::npos;
}

// Every switch off: no pass runs, so the pumps are those of the analysis
// and of the two writers.
void AllSwitchesOff(TForm1& w) {
  if (w.CheckBox4->isChecked()) w.CheckBox4->click();
  if (w.CheckBox5->isChecked()) w.CheckBox5->click();
  QVERIFY(!w.CheckBox3->isChecked());
}

void ExpectUnlocked(TForm1& w) {
  QVERIFY(w.BitBtn1->isEnabled());
  QVERIFY(w.CheckBox1->isEnabled());
  QVERIFY(w.CheckBox2->isEnabled());
  QCOMPARE(w.CheckBox3->isEnabled(), w.CheckBox4->isChecked());
  QVERIFY(w.CheckBox4->isEnabled());
  QVERIFY(w.CheckBox5->isEnabled());
  const bool move = w.CheckBox2->isChecked();
  QCOMPARE(w.BitBtn2->isEnabled(), move);
  QCOMPARE(w.BitBtn3->isEnabled(), move);
  QCOMPARE(w.Memo4->isEnabled(), move);
  const bool illegal = w.CheckBox1->isChecked();
  QCOMPARE(w.BitBtn4->isEnabled(), illegal);
  QCOMPARE(w.BitBtn5->isEnabled(), illegal);
  QCOMPARE(w.Memo5->isEnabled(), illegal);
  QVERIFY(w.Button1->isEnabled());
  QVERIFY(w.Button2->isEnabled());
  QVERIFY(w.Button3->isEnabled());
  QCOMPARE(w.StatusBar1->PanelText(0), QString("ready"));
  QCOMPARE(w.ProgressBar1->Progress(), 0);
}

// Notes what `what` gives each time `widget` is drawn.
class PaintLog : public QObject {
 public:
  PaintLog(QWidget* widget, std::function<QString()> what) : what_(std::move(what)) {
    widget->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) shown << what_();
    return false;
  }
  QStringList shown;

 private:
  std::function<QString()> what_;
};

// A run of 1000 bare player characters with every switch off: one pump turn
// per character in each walk, nothing else.
void PrepareThousandPlayers(WindowFixture& f) {
  WorldShape shape;
  shape.players = 1000;
  shape.backpacks = false;
  shape.npcs = 0;
  shape.loose = 0;
  f.PrepareRun(shape);
  AllSwitchesOff(*f.form);
}

}  // namespace

void ConversionRunTest::fullRunWritesBothFiles() {
  WindowFixture f;
  TForm1& w = *f.form;
  const QString sample = QStringLiteral(ORVANTOR_SOURCE_DIR "/samples/world.scp");
  if (QFileInfo::exists(sample)) {
    f.ChooseFiles(sample.toStdString(), f.Path("out_world.scp"), f.Path("out_chars.scp"));
  } else {
    f.PrepareRun();
  }
  QVERIFY(w.BitBtn1->isEnabled());
  w.BitBtn1->click();
  QCOMPARE(w.LastRunStatus(), orv::RunStatus::kCompleted);
  const std::string chars = ReadFile(f.Path("out_chars.scp"));
  const std::string world = ReadFile(f.Path("out_world.scp"));
  QVERIFY(StartsWith(chars, kHead));
  QVERIFY(StartsWith(world, kHead));
  QVERIFY(EndsWith(chars, "[EOF]\r\n"));
  QVERIFY(EndsWith(world, "[EOF]\r\n"));
  if (QFileInfo::exists(sample)) {
    // The window's initial switches, byte for byte the files that the
    // command line writes with its defaults.
    const std::string golden = ORVANTOR_SOURCE_DIR "/tests/golden/sample-npcs-pets-respawn/";
    QVERIFY(chars == ReadFile(golden + "chars.scp"));
    QVERIFY(world == ReadFile(golden + "world.scp"));
  }
  ExpectUnlocked(w);
  QVERIFY(!w.BitBtn2->isEnabled());
  QVERIFY(f.services.boxes.empty());
  // Nothing else was left in the folder.
  const QStringList entries = QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden);
  for (const QString& e : entries)
    QVERIFY2(!e.contains(QLatin1String(".orvantor-")), qPrintable(e));
}

void ConversionRunTest::filesFollowTheSwitches() {
  {
    // Defaults: NPCs deleted, so nothing of them and no separator.
    WindowFixture f;
    f.PrepareRun();
    f.form->BitBtn1Click();
    const std::string chars = ReadFile(f.Path("out_chars.scp"));
    const std::string world = ReadFile(f.Path("out_world.scp"));
    QVERIFY(Contains(chars, "TITLE=VANTOR"));
    QVERIFY(Contains(chars, "NAME=Player 1\r\n"));
    QVERIFY(Contains(chars, "NAME=Player 3\r\n"));
    QVERIFY(!Contains(chars, "NAME=Npc"));
    QVERIFY(!Contains(world, "NAME=Npc"));
    QVERIFY(!Contains(world, "// unowned items"));
    QVERIFY(Contains(world, "[WORLDITEM 0eed]"));
  }
  {
    // NPCs kept, players moved to listed positions, one item kind banned.
    WindowFixture f;
    TForm1& w = *f.form;
    f.PrepareRun();
    w.CheckBox4->click();
    w.CheckBox2->click();
    TForm1::SetMemoLines(*w.Memo4, orv::LineList{"1495,1629,10"});
    w.CheckBox1->click();
    TForm1::SetMemoLines(*w.Memo5, orv::LineList{"0f3f"});
    w.BitBtn1Click();
    const std::string chars = ReadFile(f.Path("out_chars.scp"));
    const std::string world = ReadFile(f.Path("out_world.scp"));
    QVERIFY(Contains(world, "NAME=Npc 1\r\n"));
    QVERIFY(Contains(world, "\r\n// unowned items\r\n\r\n"));
    QVERIFY(Contains(chars, "P=1495,1629,10\r\n"));
    QVERIFY(!Contains(chars, "P=100,1,0"));
    QVERIFY(!Contains(chars, "[WORLDITEM 0f3f]"));
    QVERIFY(Contains(chars, "[WORLDITEM 0e75]"));
  }
}

void ConversionRunTest::unlockFollowsTheSwitches() {
  WindowFixture f;
  TForm1& w = *f.form;
  f.PrepareRun();
  w.CheckBox2->click();
  w.CheckBox1->click();
  w.CheckBox4->click();
  w.BitBtn1Click();
  ExpectUnlocked(w);
  QVERIFY(w.BitBtn2->isEnabled());
  QVERIFY(w.BitBtn5->isEnabled());
  QVERIFY(!w.CheckBox3->isEnabled());
}

void ConversionRunTest::controlsLockedDuringRun() {
  WindowFixture f;
  TForm1& w = *f.form;
  f.PrepareRun();
  w.CheckBox1->click();
  int pumps = 0;
  w.SetPumpObserver([&] {
    ++pumps;
    QVERIFY(w.Running());
    for (QWidget* c : std::initializer_list<QWidget*>{
             w.BitBtn1, w.CheckBox1, w.CheckBox2, w.CheckBox3, w.CheckBox4, w.CheckBox5, w.BitBtn3,
             w.BitBtn4, w.BitBtn5, w.Button1, w.Button2, w.Button3, w.Memo4, w.Memo5})
      QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
    // Left as they were.
    QVERIFY(!w.BitBtn2->isEnabled());
    QVERIFY(w.CheckBox6->isEnabled());
    QVERIFY(w.TrackBar1->isEnabled());
    QVERIFY(w.Edit1->isEnabled());
    // A click on a locked control does nothing.
    w.BitBtn1->click();
    w.Button1->click();
  });
  w.BitBtn1Click();
  QVERIFY(pumps > 0);
  QVERIFY(!w.Running());
  QVERIFY(f.services.CallsOf("OpenFileDialog").size() == 1);  // the source choice only
  ExpectUnlocked(w);
}

void ConversionRunTest::statusDrawnBeforeEveryStage() {
  WindowFixture f;
  TForm1& w = *f.form;
  WorldShape shape;
  shape.players = 300;  // enough records for the gauge to move
  f.PrepareRun(shape);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QCoreApplication::processEvents();
  // What the status bar and the gauge showed each time they were drawn.
  PaintLog status(w.StatusBar1, [&] { return w.StatusBar1->PanelText(0); });
  PaintLog gauge(w.ProgressBar1, [&] { return w.ProgressBar1->PercentText(); });
  w.BitBtn1Click();
  QCoreApplication::processEvents();
  // Loading and saving serve no events: their texts are drawn before they
  // begin, or the user would never see what the window waits for.
  QVERIFY(status.shown.contains("loading file into memory (this may take some minutes)"));
  QVERIFY(status.shown.contains("analysing worldfile"));
  QVERIFY(status.shown.contains("saving files"));
  QCOMPARE(status.shown.value(status.shown.size() - 1), QString("ready"));
  // The gauge, whose paints a run holds back, ends drawn as it stands.
  QVERIFY(w.ProgressBar1->Progress() == 0 && !gauge.shown.isEmpty());
  QCOMPARE(gauge.shown.value(gauge.shown.size() - 1), QString("0%"));
}

// Qt's event and paint code may return with the upper halves of the vector
// registers in use, and the run's loops, and the threads it starts, would
// pay for that at every SSE instruction: each host call of a run that
// enters Qt leaves them unused.
void ConversionRunTest::hostCallsIntoQtLeaveTheVectorStateUnused() {
  if (!orv::testing::CanSeeUpperVectorState()) QSKIP("the processor does not tell");
  WindowFixture f;
  TForm1& w = *f.form;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  const auto after_a_while = [](int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));  // past the calls' throttles
  };
  orv::RunHost& host = w;
  for (int progress = 1; progress <= 3; ++progress) {
    orv::testing::PutUpperVectorStateInUse();
    host.SetStatus("analysing worldfile");
    QVERIFY2(!orv::testing::UpperVectorStateInUse(), "SetStatus");
    after_a_while(2);
    orv::testing::PutUpperVectorStateInUse();
    host.ProcessMessages();
    QVERIFY2(!orv::testing::UpperVectorStateInUse(), "ProcessMessages");
    host.SetProgress(progress * 10);
    after_a_while(50);
    orv::testing::PutUpperVectorStateInUse();
    host.Refresh();
    QVERIFY2(!orv::testing::UpperVectorStateInUse(), "Refresh");
  }
}

void ConversionRunTest::pumpCadenceFollowsTheSlider_data() {
  QTest::addColumn<int>("position");
  QTest::addColumn<int>("pumps");
  // 1000 players without items and no pass: the analysis takes the 4
  // header lines, 1000 sections and the "[EOF]" line as 1005 turns; the
  // character writer takes 1000. A pump on the first turn, then on every
  // (position + 1)-th.
  QTest::newRow("idle") << 1 << (503 + 500);
  QTest::newRow("time critical") << 500 << (3 + 2);
  QTest::newRow("start") << 250 << (5 + 4);
}

void ConversionRunTest::pumpCadenceFollowsTheSlider() {
  QFETCH(int, position);
  QFETCH(int, pumps);
  WindowFixture f;
  TForm1& w = *f.form;
  PrepareThousandPlayers(f);
  w.TrackBar1->setValue(position);
  int count = 0;
  w.SetPumpObserver([&] { ++count; });
  w.BitBtn1Click();
  QCOMPARE(w.LastRunStatus(), orv::RunStatus::kCompleted);
  QCOMPARE(count, pumps);
}

void ConversionRunTest::sliderMoveTakesEffectAtNextPump() {
  WindowFixture f;
  TForm1& w = *f.form;
  PrepareThousandPlayers(f);
  w.TrackBar1->setValue(1);
  int count = 0;
  w.SetPumpObserver([&] {
    // The user drags the slider to "time critical" during the tenth pump.
    if (++count == 10) w.TrackBar1->setValue(500);
  });
  w.BitBtn1Click();
  // Analysis: turns 1, 3, ..., 19 at position 1; the tenth pump reads 500,
  // so the next falls on turn 520 and none after it; the writer: 1 and 502.
  QCOMPARE(count, 11 + 2);
  QCOMPARE(w.Position(), 500);
}

void ConversionRunTest::saveListAndPowerSwitchUsableDuringRun() {
  WindowFixture f;
  TForm1& w = *f.form;
  f.PrepareRun();
  w.CheckBox2->click();
  TForm1::SetMemoLines(*w.Memo4, orv::LineList{"1,2,3", "4,5,6"});
  bool acted = false;
  w.SetPumpObserver([&] {
    if (acted) return;
    acted = true;
    QVERIFY(w.BitBtn2->isEnabled());
    QVERIFY(w.CheckBox6->isEnabled());
    f.services.dialog_answers.push_back(f.Path("positions.txt"));
    w.BitBtn2->click();
    w.CheckBox6->click();
  });
  w.BitBtn1Click();
  QVERIFY(acted);
  QCOMPARE(ReadFile(f.Path("positions.txt")), std::string("1,2,3\r\n4,5,6\r\n"));
  // "turn off PC when done" is read at the end of the run.
  QCOMPARE(f.services.power_offs, 1);
  QCOMPARE(w.LastRunStatus(), orv::RunStatus::kCompleted);
  ExpectUnlocked(w);
}

void ConversionRunTest::closeDuringRunCancelsThenCloses() {
  WindowFixture f;
  TForm1& w = *f.form;
  f.PrepareRun();
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  bool still_visible_after_close = false;
  w.SetPumpObserver([&] {
    if (!w.close()) still_visible_after_close = w.isVisible();
  });
  w.BitBtn1Click();
  // The first close was refused while the records were in use ...
  QVERIFY(still_visible_after_close);
  QCOMPARE(w.LastRunStatus(), orv::RunStatus::kCancelled);
  // ... and the window closed once the run had returned.
  QVERIFY(!w.isVisible());
  QVERIFY(!QFileInfo::exists(QString::fromStdString(f.Path("out_world.scp"))));
  QVERIFY(!QFileInfo::exists(QString::fromStdString(f.Path("out_chars.scp"))));
  QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"world.scp"});
  QCOMPARE(f.world.CharCount, std::int64_t{0});
  QCOMPARE(f.world.FirstChar, orv::kNone);
  QVERIFY(f.services.boxes.empty());
  QCOMPARE(f.services.power_offs, 0);
}

void ConversionRunTest::closeWhenIdleReleasesStores() {
  WindowFixture f;
  TForm1& w = *f.form;
  f.PrepareRun();
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  w.BitBtn1Click();
  QVERIFY(f.world.CharCount > 0);
  QVERIFY(w.close());
  QVERIFY(!w.isVisible());
  QCOMPARE(f.world.CharCount, std::int64_t{0});
  QCOMPARE(f.world.FirstChar, orv::kNone);
  QCOMPARE(f.world.UnownedItems, orv::kNone);
}

void ConversionRunTest::powerOffAskedThroughServices() {
  WindowFixture f;
  TForm1& w = *f.form;
  f.PrepareRun();
  // Not ticked: never asked.
  w.BitBtn1Click();
  QCOMPARE(f.services.power_offs, 0);

  w.CheckBox6->click();
  QString status_then;
  bool files_saved_then = false;
  f.services.on_power_off = [&] {
    status_then = w.StatusBar1->PanelText(0);
    files_saved_then = QFileInfo::exists(QString::fromStdString(f.Path("out_chars.scp")));
  };
  QFile::remove(QString::fromStdString(f.Path("out_chars.scp")));
  w.BitBtn1Click();
  QCOMPARE(f.services.power_offs, 1);
  QCOMPARE(status_then, QString("shutting down the PC"));
  QVERIFY(files_saved_then);
  QVERIFY(f.services.boxes.empty());
  ExpectUnlocked(w);
}

void ConversionRunTest::powerOffErrorShownAndRunEnds() {
  WindowFixture f;
  TForm1& w = *f.form;
  f.PrepareRun();
  w.CheckBox6->click();
  f.services.power_off_result = {orv::platform::PowerOffResult::Outcome::kUnreachable,
                                 "ShutDown Error #1", "OpenProcessToken failed"};
  w.BitBtn1Click();
  QCOMPARE(f.services.power_offs, 1);
  QCOMPARE(f.services.boxes.size(), std::size_t{1});
  QCOMPARE(f.services.boxes[0].caption, std::string("ShutDown Error #1"));
  QCOMPARE(f.services.boxes[0].text, std::string("OpenProcessToken failed"));
  QCOMPARE(f.services.boxes[0].style, orv::kMbOk | orv::kMbIconHand);
  QCOMPARE(w.LastRunStatus(), orv::RunStatus::kCompleted);
  QCOMPARE(w.StatusBar1->PanelText(0), QString("ready"));
  ExpectUnlocked(w);
}

void ConversionRunTest::powerOffRefusalUnreportedAndRunEnds() {
  // The request was made and the system turned it down (the user may not
  // power off): no box, as when it is granted.
  WindowFixture f;
  TForm1& w = *f.form;
  f.PrepareRun();
  w.CheckBox6->click();
  f.services.power_off_result = {orv::platform::PowerOffResult::Outcome::kRefused, "",
                                 "the login manager refused the power-off: Access denied"};
  w.BitBtn1Click();
  QCOMPARE(f.services.power_offs, 1);
  QVERIFY(f.services.boxes.empty());
  QCOMPARE(w.LastRunStatus(), orv::RunStatus::kCompleted);
  QCOMPARE(w.StatusBar1->PanelText(0), QString("ready"));
  ExpectUnlocked(w);
}

void ConversionRunTest::missingSourceChangesNothing() {
  WindowFixture f;
  TForm1& w = *f.form;
  f.PrepareRun();
  QFile::remove(QString::fromStdString(f.Path("world.scp")));
  w.SetStatus("before");
  w.ProgressBar1->SetProgress(12);
  w.BitBtn1Click();
  QCOMPARE(w.LastRunStatus(), orv::RunStatus::kSourceMissing);
  QCOMPARE(f.services.boxes.size(), std::size_t{1});
  QCOMPARE(f.services.boxes[0].text, std::string(orv::kMissingSourceMessage));
  QCOMPARE(f.services.boxes[0].caption, std::string("ORVANTOR v4.0 FULL - Pellacord"));
  QCOMPARE(f.services.boxes[0].style, orv::kMbOk | orv::kMbIconHand);
  QCOMPARE(w.StatusBar1->PanelText(0), QString("before"));
  QCOMPARE(w.ProgressBar1->Progress(), 12);
  QVERIFY(w.BitBtn1->isEnabled());
  QVERIFY(!QFileInfo::exists(QString::fromStdString(f.Path("out_world.scp"))));
}

void ConversionRunTest::failedRunReportsAndUnlocks() {
  WindowFixture f;
  TForm1& w = *f.form;
  WriteFile(f.Path("world.scp"), SmallWorld(WorldShape()));
  // A target folder that does not exist: the choice passes (nothing there
  // to overwrite, and the free space is no proof), and the run fails when it
  // writes.
  f.ChooseFiles(f.Path("world.scp"), f.Path("gone/out_world.scp"), f.Path("out_chars.scp"));
  QVERIFY(w.BitBtn1->isEnabled());
  w.BitBtn1Click();
  QCOMPARE(w.LastRunStatus(), orv::RunStatus::kFailed);
  QCOMPARE(w.StatusBar1->PanelText(0), QString("ready"));
  QCOMPARE(f.services.boxes.size(), std::size_t{1});
  QCOMPARE(f.services.boxes[0].caption, std::string("Error"));
  QCOMPARE(f.services.boxes[0].style, orv::kMbOk | orv::kMbIconHand);
  QVERIFY(Contains(f.services.boxes[0].text, "gone"));
  // Neither target was written: the pair is written whole or not at all.
  QVERIFY(!QFileInfo::exists(QString::fromStdString(f.Path("out_chars.scp"))));
  QCOMPARE(w.ProgressBar1->Progress(), 0);
  QVERIFY(w.BitBtn1->isEnabled());
  QVERIFY(w.Button1->isEnabled());
  QVERIFY(w.CheckBox4->isEnabled());
}

void ConversionRunTest::readyOnceTheErrorBoxIsClosed() {
  WindowFixture f;
  TForm1& w = *f.form;
  // A list file chosen as the source by mistake: the run loads it, finds
  // it is no world save and fails.
  WriteFile(f.Path("positions.txt"), "1495,1629,10\r\n");
  f.ChooseFiles(f.Path("positions.txt"), f.Path("out_world.scp"), f.Path("out_chars.scp"));
  QString status_during_box;
  f.services.on_box = [&] { status_during_box = w.StatusBar1->PanelText(0); };
  w.BitBtn1Click();
  QCOMPARE(w.LastRunStatus(), orv::RunStatus::kFailed);
  QCOMPARE(f.services.boxes.size(), std::size_t{1});
  // The box tells the error while the status still names the stage that
  // failed; once it is closed, the window is ready for another try.
  QCOMPARE(status_during_box, QString("loading file into memory (this may take some minutes)"));
  QCOMPARE(w.StatusBar1->PanelText(0), QString("ready"));
  QCOMPARE(w.ProgressBar1->Progress(), 0);
  QVERIFY(w.BitBtn1->isEnabled());
}

void ConversionRunTest::sameFileTwiceRefused() {
  WindowFixture f;
  TForm1& w = *f.form;
  WriteFile(f.Path("world.scp"), SmallWorld(WorldShape()));
  f.ChooseFiles(f.Path("world.scp"), f.Path("same.scp"), f.Path("same.scp"));
  w.BitBtn1Click();
  QCOMPARE(w.LastRunStatus(), orv::RunStatus::kRefused);
  QCOMPARE(f.services.boxes.size(), std::size_t{1});
  QCOMPARE(f.services.boxes[0].caption, std::string("Error"));
  QVERIFY(!QFileInfo::exists(QString::fromStdString(f.Path("same.scp"))));
  QVERIFY(w.BitBtn1->isEnabled());
  QCOMPARE(w.StatusBar1->PanelText(0), QString("ready"));
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  ConversionRunTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_conversion_run.moc"
