// Choosing the source and the two targets through "Browse...": when
// "convert !" becomes usable, and the read-only, overwrite and free-space
// checks of a target with their refusals.

#include <algorithm>
#include <array>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "engine/host.h"
#include "ui/tests/window_fixture.h"

class FileChoiceTest : public QObject {
  Q_OBJECT

 private slots:
  void convertEnabledAtTheLastOfThreeChoices();
  void cancelledChoiceChangesNothing();
  void existingTargetAsksBeforeOverwrite();
  void cancelledOverwriteRefusesTheTarget();
  void readOnlyTargetShowsOnlyItsMessage();
  void fullFileSystemRefusedAfterTheQuestion();
  void fullFileSystemRefusesNewFile();
  void unknownFreeSpacePasses();
  void sourceChoiceReleasesStoresOnly();
};

namespace {

const std::string kFull = "This drive is either full or a ROM Drive!";
const std::string kReadOnly = "File exists and is read only!";
const std::string kOverwrite = "File Exists, overwrite?";

void ExpectRefused(TForm1& w, const orv::ui::FileDialog& dialog, QLineEdit* box) {
  QVERIFY(dialog.FileName.empty());
  QVERIFY(box->text().isEmpty());
  QVERIFY(!w.BitBtn1->isEnabled());
}

}  // namespace

void FileChoiceTest::convertEnabledAtTheLastOfThreeChoices() {
  std::array<int, 3> order{0, 1, 2};
  do {
    WindowFixture f;
    TForm1& w = *f.form;
    const std::string names[] = {f.Path("source.scp"), f.Path("world.scp"), f.Path("chars.scp")};
    for (std::size_t step = 0; step < order.size(); ++step) {
      const int which = order[step];
      f.services.dialog_answers.push_back(names[which]);
      if (which == 0) w.Button1Click();
      if (which == 1) w.Button2Click();
      if (which == 2) w.Button3Click();
      QCOMPARE(w.BitBtn1->isEnabled(), step == 2);
    }
    QCOMPARE(w.OpenDialog1.FileName, names[0]);
    QCOMPARE(w.SaveDialog4.FileName, names[1]);
    QCOMPARE(w.SaveDialog3.FileName, names[2]);
    QCOMPARE(w.Edit1->text().toStdString(), names[0]);
    QCOMPARE(w.Edit2->text().toStdString(), names[1]);
    QCOMPARE(w.Edit3->text().toStdString(), names[2]);
    // New targets: no question, no message.
    QVERIFY(f.services.boxes.empty());
  } while (std::next_permutation(order.begin(), order.end()));
}

void FileChoiceTest::cancelledChoiceChangesNothing() {
  WindowFixture f;
  TForm1& w = *f.form;
  f.PrepareRun();
  const auto calls = f.services.calls.size();
  for (QPushButton* b : {w.Button1, w.Button2, w.Button3}) {
    f.services.dialog_answers.push_back(std::nullopt);
    b->click();
  }
  QCOMPARE(w.OpenDialog1.FileName, f.Path("world.scp"));
  QCOMPARE(w.SaveDialog4.FileName, f.Path("out_world.scp"));
  QCOMPARE(w.SaveDialog3.FileName, f.Path("out_chars.scp"));
  QVERIFY(w.BitBtn1->isEnabled());
  // Only the three dialogs were shown.
  QCOMPARE(f.services.calls.size(), calls + 3);
}

void FileChoiceTest::existingTargetAsksBeforeOverwrite() {
  WindowFixture f;
  TForm1& w = *f.form;
  f.PrepareRun();
  WriteFile(f.Path("old.scp"), "old\r\n");
  f.services.calls.clear();
  f.services.box_answers.push_back(orv::kIdOk);
  f.services.dialog_answers.push_back(f.Path("old.scp"));
  w.Button2->click();
  QCOMPARE(f.services.boxes.size(), std::size_t{1});
  QCOMPARE(f.services.boxes[0].text, kOverwrite);
  QCOMPARE(f.services.boxes[0].caption, std::string("Question"));
  QCOMPARE(f.services.boxes[0].style, orv::kMbOkCancel | orv::kMbIconQuestion);
  QCOMPARE(w.SaveDialog4.FileName, f.Path("old.scp"));
  QCOMPARE(w.Edit2->text().toStdString(), f.Path("old.scp"));
  QVERIFY(w.BitBtn1->isEnabled());
  // The checks, in their order; free space asked for the path in the box.
  const std::vector<std::string> expected = {
      // clang-format off
      "SaveFileDialog SaveDialog4", "FileExists " + f.Path("old.scp"),
      "IsReadOnly " + f.Path("old.scp"), "MessageBox Question|" + kOverwrite + "|33",
      "FreeBytes " + f.Path("old.scp")};
  // clang-format on
  QCOMPARE(f.services.calls, expected);
  // Nothing was written: the file is replaced only by a run.
  QCOMPARE(ReadFile(f.Path("old.scp")), std::string("old\r\n"));
}

void FileChoiceTest::cancelledOverwriteRefusesTheTarget() {
  WindowFixture f;
  TForm1& w = *f.form;
  f.PrepareRun();
  WriteFile(f.Path("old.scp"), "old\r\n");
  f.services.box_answers.push_back(orv::kIdCancel);
  f.services.dialog_answers.push_back(f.Path("old.scp"));
  w.Button3->click();
  ExpectRefused(w, w.SaveDialog3, w.Edit3);
  // The other target stays set.
  QCOMPARE(w.SaveDialog4.FileName, f.Path("out_world.scp"));
  QVERIFY(f.services.CallsOf("FreeBytes " + f.Path("old.scp")).empty());
  // A later accepted choice of that target, with the other two set,
  // enables "convert !" again.
  f.services.dialog_answers.push_back(f.Path("new.scp"));
  w.Button3->click();
  QVERIFY(w.BitBtn1->isEnabled());
}

void FileChoiceTest::readOnlyTargetShowsOnlyItsMessage() {
  WindowFixture f;
  TForm1& w = *f.form;
  f.PrepareRun();
  const std::string locked = f.Path("locked.scp");
  WriteFile(locked, "locked\r\n");
  f.services.read_only.insert(locked);
  f.services.boxes.clear();
  f.services.dialog_answers.push_back(locked);
  w.Button2->click();
  QCOMPARE(f.services.boxes.size(), std::size_t{1});
  QCOMPARE(f.services.boxes[0].text, kReadOnly);
  QCOMPARE(f.services.boxes[0].caption, std::string("Error"));
  QCOMPARE(f.services.boxes[0].style, orv::kMbOk | orv::kMbIconHand);
  ExpectRefused(w, w.SaveDialog4, w.Edit2);
  QVERIFY(f.services.CallsOf("FreeBytes " + locked).empty());
}

void FileChoiceTest::fullFileSystemRefusedAfterTheQuestion() {
  WindowFixture f;
  TForm1& w = *f.form;
  f.PrepareRun();
  const std::string target = f.Path("on_full_disk.scp");
  WriteFile(target, "x\r\n");
  f.services.free_bytes[target] = 0;
  f.services.boxes.clear();
  f.services.dialog_answers.push_back(target);
  w.Button2->click();
  QCOMPARE(f.services.boxes.size(), std::size_t{2});
  QCOMPARE(f.services.boxes[0].text, kOverwrite);
  QCOMPARE(f.services.boxes[1].text, kFull);
  QCOMPARE(f.services.boxes[1].caption, std::string("Error"));
  QCOMPARE(f.services.boxes[1].style, orv::kMbOk | orv::kMbIconHand);
  ExpectRefused(w, w.SaveDialog4, w.Edit2);
}

void FileChoiceTest::fullFileSystemRefusesNewFile() {
  WindowFixture f;
  TForm1& w = *f.form;
  const std::string target = f.Path("new_on_full_disk.scp");
  f.services.free_bytes[target] = 0;
  f.services.dialog_answers.push_back(target);
  w.Button3->click();
  QCOMPARE(f.services.boxes.size(), std::size_t{1});
  QCOMPARE(f.services.boxes[0].text, kFull);
  ExpectRefused(w, w.SaveDialog3, w.Edit3);
}

void FileChoiceTest::unknownFreeSpacePasses() {
  WindowFixture f;
  TForm1& w = *f.form;
  f.services.default_free_bytes = -1;
  f.ChooseFiles(f.Path("s.scp"), f.Path("w.scp"), f.Path("c.scp"));
  QVERIFY(f.services.boxes.empty());
  QVERIFY(w.BitBtn1->isEnabled());
}

void FileChoiceTest::sourceChoiceReleasesStoresOnly() {
  WindowFixture f;
  TForm1& w = *f.form;
  f.PrepareRun();
  w.BitBtn1Click();
  QVERIFY(f.world.CharCount > 0);
  QVERIFY(f.world.FirstChar != orv::kNone);
  w.ProgressBar1->SetProgress(37);
  w.SetStatus("something");

  f.services.dialog_answers.push_back(f.Path("other.scp"));
  w.Button1->click();
  QCOMPARE(f.world.CharCount, std::int64_t{0});
  QCOMPARE(f.world.FirstChar, orv::kNone);
  QCOMPARE(f.world.UnownedItems, orv::kNone);
  QCOMPARE(f.world.SourceLines.LineCount(), std::uint64_t{0});
  QCOMPARE(w.ProgressBar1->Progress(), 0);
  // The status, the targets and "convert !" stay as they were.
  QCOMPARE(w.StatusBar1->PanelText(0), QString("something"));
  QCOMPARE(w.SaveDialog4.FileName, f.Path("out_world.scp"));
  QCOMPARE(w.SaveDialog3.FileName, f.Path("out_chars.scp"));
  QVERIFY(w.BitBtn1->isEnabled());
  // The source is not opened or tested when chosen.
  QVERIFY(f.services.CallsOf("FileExists " + f.Path("other.scp")).empty());

  // Choosing a source never disables "convert !".
  w.BitBtn1->setEnabled(false);
  w.Edit2->clear();
  f.services.dialog_answers.push_back(f.Path("third.scp"));
  w.Button1->click();
  QVERIFY(!w.BitBtn1->isEnabled());
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  FileChoiceTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_file_choice.moc"
