// Where the file dialogs open while the program runs (the folder of the
// file last chosen, in any dialog), and world saves dropped on the window,
// which choose the source as "Browse..." does.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "ui/tests/window_fixture.h"

class FoldersDropTest : public QObject {
  Q_OBJECT

 private slots:
  void firstDialogOpensWhereThePlatformLikes();
  void everyDialogOpensInTheLastChosenFolder();
  void cancelledDialogKeepsTheFolder();
  void droppedWorldSaveChoosesTheSource();
  void droppedSaveAfterARunReleasesTheStores();
  void otherDropsRefused();
  void dropDuringARunRefused();
};

namespace {

std::string MakeFolder(const WindowFixture& f, const std::string& name) {
  const std::string path = f.Path(name);
  QDir().mkpath(QString::fromStdString(path));
  return path;
}

// Offers `files` to the window as a drag from a file manager: whether the
// window took the drag when it entered, and whether it took the drop.
struct DropOutcome {
  bool entered = false;
  bool dropped = false;
};

DropOutcome Drop(TForm1& w, const QStringList& files) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& file : files) urls << QUrl::fromLocalFile(file);
  data.setUrls(urls);
  const QPoint at(200, 300);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &enter);
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &drop);
  return {enter.isAccepted(), drop.isAccepted()};
}

QStringList One(const std::string& path) { return {QString::fromStdString(path)}; }

}  // namespace

void FoldersDropTest::firstDialogOpensWhereThePlatformLikes() {
  WindowFixture f;
  f.services.dialog_answers.push_back(std::nullopt);
  f.form->Button2->click();
  QCOMPARE(f.services.dialog_folders, std::vector<std::string>{""});
}

void FoldersDropTest::everyDialogOpensInTheLastChosenFolder() {
  WindowFixture f;
  TForm1& w = *f.form;
  const std::string saves = MakeFolder(f, "kelmarch/save");
  const std::string vantor = MakeFolder(f, "vantor");
  const std::string lists = MakeFolder(f, "lists");
  WriteFile(lists + "/positions.txt", "1,2,3\r\n");
  WriteFile(vantor + "/locked.scp", "old\r\n");
  f.services.read_only.insert(vantor + "/locked.scp");
  w.CheckBox2->click();

  f.services.dialog_answers = {saves + "/world.scp",        // source
                               vantor + "/world.scp",       // target world file
                               lists + "/positions.txt",    // position list, loaded
                               vantor + "/locked.scp",      // target refused as read-only
                               saves + "/chars.scp",        // target character file
                               vantor + "/positions.txt"};  // position list, saved
  w.Button1->click();
  w.Button2->click();
  w.BitBtn3->click();
  w.Button3->click();
  w.Button3->click();
  w.BitBtn2->click();
  // Each dialog opened where the one before it was confirmed, whatever
  // dialog that was, and a refused target still counts as chosen there.
  const std::vector<std::string> expected = {"", saves, vantor, lists, vantor, saves};
  QCOMPARE(f.services.dialog_folders, expected);
  QCOMPARE(w.SaveDialog3.FileName, saves + "/chars.scp");
  QCOMPARE(ReadFile(vantor + "/positions.txt"), std::string("1,2,3\r\n"));
  // The dialogs keep their own file names.
  QCOMPARE(w.OpenDialog1.FileName, saves + "/world.scp");
  QCOMPARE(w.OpenDialog2.FileName, lists + "/positions.txt");
}

void FoldersDropTest::cancelledDialogKeepsTheFolder() {
  WindowFixture f;
  TForm1& w = *f.form;
  const std::string saves = MakeFolder(f, "saves");
  f.services.dialog_answers = {saves + "/world.scp", std::nullopt, std::nullopt};
  w.Button1->click();
  w.Button2->click();
  w.Button3->click();
  const std::vector<std::string> expected = {"", saves, saves};
  QCOMPARE(f.services.dialog_folders, expected);
}

void FoldersDropTest::droppedWorldSaveChoosesTheSource() {
  WindowFixture f;
  TForm1& w = *f.form;
  const std::string saves = MakeFolder(f, "saves");
  WriteFile(saves + "/WORLD.SCP", SmallWorld(WorldShape()));
  // The targets first: the drop then makes "convert !" usable, as the
  // source's "Browse..." would.
  f.services.dialog_answers = {f.Path("out_world.scp"), f.Path("out_chars.scp")};
  w.Button2Click();
  w.Button3Click();
  QVERIFY(!w.BitBtn1->isEnabled());
  w.ProgressBar1->SetProgress(40);
  w.SetStatus("before");

  const DropOutcome outcome = Drop(w, One(saves + "/WORLD.SCP"));
  QVERIFY(outcome.entered);
  QVERIFY(outcome.dropped);
  QCOMPARE(w.OpenDialog1.FileName, saves + "/WORLD.SCP");
  QCOMPARE(w.Edit1->text().toStdString(), saves + "/WORLD.SCP");
  QVERIFY(w.BitBtn1->isEnabled());
  QCOMPARE(w.ProgressBar1->Progress(), 0);
  QCOMPARE(w.StatusBar1->PanelText(0), QString("before"));
  // The dropped file was chosen: the next dialog opens in its folder.
  f.services.dialog_answers.push_back(std::nullopt);
  w.Button3->click();
  QCOMPARE(f.services.dialog_folders.back(), saves);

  w.BitBtn1Click();
  QCOMPARE(w.LastRunStatus(), orv::RunStatus::kCompleted);
  QVERIFY(ReadFile(f.Path("out_chars.scp")).find("NAME=Player 1") != std::string::npos);
}

void FoldersDropTest::droppedSaveAfterARunReleasesTheStores() {
  WindowFixture f;
  TForm1& w = *f.form;
  f.PrepareRun();
  w.BitBtn1Click();
  QVERIFY(f.world.CharCount > 0);
  WriteFile(f.Path("next.scp"), SmallWorld(WorldShape()));
  QVERIFY(Drop(w, One(f.Path("next.scp"))).dropped);
  QCOMPARE(f.world.CharCount, std::int64_t{0});
  QCOMPARE(f.world.FirstChar, orv::kNone);
  QCOMPARE(f.world.UnownedItems, orv::kNone);
  QVERIFY(f.world.SourceLines.Bytes().empty());
  // The targets and "convert !" stay as they were.
  QCOMPARE(w.SaveDialog4.FileName, f.Path("out_world.scp"));
  QVERIFY(w.BitBtn1->isEnabled());
}

void FoldersDropTest::otherDropsRefused() {
  WindowFixture f;
  TForm1& w = *f.form;
  WriteFile(f.Path("a.scp"), "[EOF]\r\n");
  WriteFile(f.Path("b.scp"), "[EOF]\r\n");
  WriteFile(f.Path("positions.txt"), "1,2,3\r\n");
  MakeFolder(f, "folder.scp");
  const QStringList refused[] = {
      One(f.Path("positions.txt")),  // not a world save
      {QString::fromStdString(f.Path("a.scp")), QString::fromStdString(f.Path("b.scp"))},  // two
      One(f.Path("folder.scp")),  // a folder
  };
  for (const QStringList& files : refused) {
    const DropOutcome outcome = Drop(w, files);
    QVERIFY2(!outcome.entered, qPrintable(files.join(' ')));
    QVERIFY2(!outcome.dropped, qPrintable(files.join(' ')));
  }
  {
    // Not a file at all: text dragged from an editor.
    QMimeData text;
    text.setText(QString::fromStdString(f.Path("a.scp")));
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    QVERIFY(!enter.isAccepted());
  }
  QVERIFY(w.OpenDialog1.FileName.empty());
  QVERIFY(w.Edit1->text().isEmpty());
  QVERIFY(f.services.calls.empty());
}

void FoldersDropTest::dropDuringARunRefused() {
  WindowFixture f;
  TForm1& w = *f.form;
  f.PrepareRun();
  WriteFile(f.Path("other.scp"), SmallWorld(WorldShape()));
  bool tried = false;
  DropOutcome outcome;
  std::int64_t chars_before = 0;
  w.SetPumpObserver([&] {
    if (tried || f.world.CharCount == 0) return;
    tried = true;
    chars_before = f.world.CharCount;
    // Under a running conversion the drop must not release its records.
    outcome = Drop(w, One(f.Path("other.scp")));
    QCOMPARE(f.world.CharCount, chars_before);
  });
  w.BitBtn1Click();
  QVERIFY(tried);
  QVERIFY(!outcome.entered);
  QVERIFY(!outcome.dropped);
  QCOMPARE(w.LastRunStatus(), orv::RunStatus::kCompleted);
  QCOMPARE(w.OpenDialog1.FileName, f.Path("world.scp"));
  // After the run a drop is taken again.
  QVERIFY(Drop(w, One(f.Path("other.scp"))).dropped);
  QCOMPARE(w.OpenDialog1.FileName, f.Path("other.scp"));
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  FoldersDropTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_folders_drop.moc"
