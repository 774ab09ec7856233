// Where the file dialogs open while the program runs: the folder of the
// file last chosen, in any dialog.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ui/tests/window_fixture.h"

class FoldersDropTest : public QObject {
  Q_OBJECT

 private slots:
  void firstDialogOpensWhereThePlatformLikes();
  void everyDialogOpensInTheLastChosenFolder();
  void cancelledDialogKeepsTheFolder();
};

namespace {

std::string MakeFolder(const WindowFixture& f, const std::string& name) {
  const std::string path = f.Path(name);
  QDir().mkpath(QString::fromStdString(path));
  return path;
}

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

  f.services.dialog_answers = {saves + "/world.scp",  // source
                               vantor + "/world.scp",  // target world file
                               lists + "/positions.txt",  // position list, loaded
                               vantor + "/locked.scp",    // target refused as read-only
                               saves + "/chars.scp",      // target character file
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

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  FoldersDropTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_folders_drop.moc"
