// The switch rules of the two lists and of "delete NPCs", and loading and
// saving the lists.

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "engine/host.h"
#include "ui/tests/window_fixture.h"

class SwitchesListsTest : public QObject {
  Q_OBJECT

 private slots:
  void illegalItemSwitch();
  void moveSwitch();
  void eachToggleEmptiesItsList();
  void npcSwitchCouplesShrinkPets();
  void loadListSplitsAtEveryLineEnd();
  void saveListWritesCrLf();
  void eightBitBytesSurvive();
  void emptyFileAndEmptyList();
  void cancelledDialogChangesNothing();
  void unreadableListShowsItsError();
  void memoLinesRule();
};

namespace {

void ExpectListState(TForm1& w, QPlainTextEdit* memo, QPushButton* load, QPushButton* save,
                     bool on) {
  QCOMPARE(memo->isEnabled(), on);
  QCOMPARE(load->isEnabled(), on);
  QCOMPARE(save->isEnabled(), on);
  QVERIFY(memo->toPlainText().isEmpty());
  QCOMPARE(memo->palette().color(QPalette::Base), on ? TForm1::WindowColor() : TForm1::MenuColor());
  (void)w;
}

}  // namespace

void SwitchesListsTest::illegalItemSwitch() {
  WindowFixture f;
  TForm1& w = *f.form;
  w.CheckBox1->click();
  QVERIFY(w.CheckBox1->isChecked());
  ExpectListState(w, w.Memo5, w.BitBtn5, w.BitBtn4, true);
  // The other list is not touched.
  ExpectListState(w, w.Memo4, w.BitBtn3, w.BitBtn2, false);
  w.CheckBox1->click();
  ExpectListState(w, w.Memo5, w.BitBtn5, w.BitBtn4, false);
  QVERIFY(TForm1::WindowColor() != TForm1::MenuColor());
}

void SwitchesListsTest::moveSwitch() {
  WindowFixture f;
  TForm1& w = *f.form;
  w.CheckBox2->click();
  ExpectListState(w, w.Memo4, w.BitBtn3, w.BitBtn2, true);
  ExpectListState(w, w.Memo5, w.BitBtn5, w.BitBtn4, false);
  // The keyboard toggles it as well as the mouse.
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  w.CheckBox2->setFocus();
  QTest::keyClick(w.CheckBox2, Qt::Key_Space);
  QVERIFY(!w.CheckBox2->isChecked());
  ExpectListState(w, w.Memo4, w.BitBtn3, w.BitBtn2, false);
}

void SwitchesListsTest::eachToggleEmptiesItsList() {
  WindowFixture f;
  TForm1& w = *f.form;
  w.CheckBox2->click();
  QTest::keyClicks(w.Memo4, "1495,1629,10");
  QCOMPARE(TForm1::MemoLines(*w.Memo4).Count(), std::size_t{1});
  w.CheckBox2->click();
  w.CheckBox2->click();
  QVERIFY(w.Memo4->toPlainText().isEmpty());
  QVERIFY(w.Memo4->isEnabled());

  w.CheckBox1->click();
  QTest::keyClicks(w.Memo5, "0186b");
  w.CheckBox1->click();
  QVERIFY(w.Memo5->toPlainText().isEmpty());
}

void SwitchesListsTest::npcSwitchCouplesShrinkPets() {
  WindowFixture f;
  TForm1& w = *f.form;
  w.CheckBox4->click();  // off
  QVERIFY(!w.CheckBox4->isChecked());
  QVERIFY(!w.CheckBox3->isChecked());
  QVERIFY(!w.CheckBox3->isEnabled());
  QVERIFY(!w.Checked(orv::Switch::kShrinkPets));
  w.CheckBox4->click();  // on again: "shrink pets" stays cleared, usable
  QVERIFY(w.CheckBox4->isChecked());
  QVERIFY(!w.CheckBox3->isChecked());
  QVERIFY(w.CheckBox3->isEnabled());
  w.CheckBox3->click();
  QVERIFY(w.CheckBox3->isChecked());
  // Every click clears it again.
  w.CheckBox4->click();
  QVERIFY(!w.CheckBox3->isChecked());
}

void SwitchesListsTest::loadListSplitsAtEveryLineEnd() {
  WindowFixture f;
  TForm1& w = *f.form;
  w.CheckBox2->click();
  WriteFile(f.Path("positions.txt"), "1495,1629,10\r\n1500,1600,0\r1,2,3\n\n4,5,6");
  f.services.dialog_answers.push_back(f.Path("positions.txt"));
  w.BitBtn3->click();
  QCOMPARE(f.services.calls.front(), std::string("OpenFileDialog OpenDialog2"));
  QCOMPARE(TForm1::MemoLines(*w.Memo4),
           (orv::LineList{"1495,1629,10", "1500,1600,0", "1,2,3", "", "4,5,6"}));
  QCOMPARE(w.PositionList(), TForm1::MemoLines(*w.Memo4));
  QCOMPARE(w.OpenDialog2.FileName, f.Path("positions.txt"));

  w.CheckBox1->click();
  WriteFile(f.Path("illegal.txt"), "0186b\r\n01f2a\r\n");
  f.services.dialog_answers.push_back(f.Path("illegal.txt"));
  w.BitBtn5->click();
  QCOMPARE(f.services.calls.back(), std::string("OpenFileDialog OpenDialog3"));
  QCOMPARE(w.IllegalList(), (orv::LineList{"0186b", "01f2a"}));
}

void SwitchesListsTest::saveListWritesCrLf() {
  WindowFixture f;
  TForm1& w = *f.form;
  w.CheckBox2->click();
  w.CheckBox1->click();
  TForm1::SetMemoLines(*w.Memo4, orv::LineList{"1495,1629,10", "", "1500,1600,0"});
  TForm1::SetMemoLines(*w.Memo5, orv::LineList{"0186b"});
  WriteFile(f.Path("old.txt"), "something longer that must go away\r\n");
  f.services.dialog_answers.push_back(f.Path("old.txt"));
  w.BitBtn2->click();
  QCOMPARE(f.services.calls.back(), std::string("SaveFileDialog SaveDialog1"));
  QCOMPARE(ReadFile(f.Path("old.txt")), std::string("1495,1629,10\r\n\r\n1500,1600,0\r\n"));
  f.services.dialog_answers.push_back(f.Path("illegal.txt"));
  w.BitBtn4->click();
  QCOMPARE(f.services.calls.back(), std::string("SaveFileDialog SaveDialog2"));
  QCOMPARE(ReadFile(f.Path("illegal.txt")), std::string("0186b\r\n"));
  // No overwrite question: the file was replaced without one.
  QVERIFY(f.services.boxes.empty());
}

void SwitchesListsTest::eightBitBytesSurvive() {
  WindowFixture f;
  TForm1& w = *f.form;
  w.CheckBox1->click();
  std::string all;
  for (int c = 1; c < 256; ++c)
    if (c != '\r' && c != '\n') all.push_back(static_cast<char>(c));
  const std::string bytes = all + "\r\n" + "caf\xe9 \xa0 \x85 \xff" + "\r\n";
  WriteFile(f.Path("in.txt"), bytes);
  f.services.dialog_answers.push_back(f.Path("in.txt"));
  w.BitBtn5->click();
  QCOMPARE(w.IllegalList(), (orv::LineList{all, "caf\xe9 \xa0 \x85 \xff"}));
  f.services.dialog_answers.push_back(f.Path("out.txt"));
  w.BitBtn4->click();
  QCOMPARE(ReadFile(f.Path("out.txt")), bytes);
}

void SwitchesListsTest::emptyFileAndEmptyList() {
  WindowFixture f;
  TForm1& w = *f.form;
  w.CheckBox2->click();
  TForm1::SetMemoLines(*w.Memo4, orv::LineList{"1,2,3"});
  WriteFile(f.Path("empty.txt"), "");
  f.services.dialog_answers.push_back(f.Path("empty.txt"));
  w.BitBtn3->click();
  QVERIFY(w.PositionList().Empty());
  f.services.dialog_answers.push_back(f.Path("saved.txt"));
  w.BitBtn2->click();
  QVERIFY(QFileInfo::exists(QString::fromStdString(f.Path("saved.txt"))));
  QCOMPARE(ReadFile(f.Path("saved.txt")), std::string());
}

void SwitchesListsTest::cancelledDialogChangesNothing() {
  WindowFixture f;
  TForm1& w = *f.form;
  w.CheckBox2->click();
  TForm1::SetMemoLines(*w.Memo4, orv::LineList{"1,2,3"});
  f.services.dialog_answers.push_back(std::nullopt);
  w.BitBtn3->click();
  f.services.dialog_answers.push_back(std::nullopt);
  w.BitBtn2->click();
  QCOMPARE(w.PositionList(), (orv::LineList{"1,2,3"}));
  QVERIFY(w.OpenDialog2.FileName.empty());
  QVERIFY(w.SaveDialog1.FileName.empty());
  QVERIFY(f.services.boxes.empty());
}

void SwitchesListsTest::unreadableListShowsItsError() {
  WindowFixture f;
  TForm1& w = *f.form;
  w.CheckBox2->click();
  TForm1::SetMemoLines(*w.Memo4, orv::LineList{"1,2,3"});
  const std::string missing = f.Path("no such list.txt");
  f.services.dialog_answers.push_back(missing);
  w.BitBtn3->click();
  QCOMPARE(f.services.boxes.size(), std::size_t{1});
  QVERIFY2(f.services.boxes[0].text.find(missing) != std::string::npos,
           f.services.boxes[0].text.c_str());
  QCOMPARE(f.services.boxes[0].style, orv::kMbOk | orv::kMbIconHand);
  QCOMPARE(w.PositionList(), (orv::LineList{"1,2,3"}));

  // A list saved into a folder that does not exist.
  f.services.dialog_answers.push_back(f.Path("no/such/folder/list.txt"));
  w.BitBtn2->click();
  QCOMPARE(f.services.boxes.size(), std::size_t{2});
  QVERIFY(f.services.boxes[1].text.find("no/such/folder") != std::string::npos);
}

void SwitchesListsTest::memoLinesRule() {
  QPlainTextEdit memo;
  memo.setPlainText(QString());
  QVERIFY(TForm1::MemoLines(memo).Empty());
  memo.setPlainText(QStringLiteral("a\nb"));
  QCOMPARE(TForm1::MemoLines(memo), (orv::LineList{"a", "b"}));
  // A box that ends in a line break has no empty line after it.
  memo.setPlainText(QStringLiteral("a\nb\n"));
  QCOMPARE(TForm1::MemoLines(memo), (orv::LineList{"a", "b"}));
  memo.setPlainText(QStringLiteral("\n"));
  QCOMPARE(TForm1::MemoLines(memo), (orv::LineList{""}));
  for (const orv::LineList& lines :
       {orv::LineList{}, orv::LineList{""}, orv::LineList{"", ""}, orv::LineList{"x", ""},
        orv::LineList{"  leading", "trailing  "}}) {
    TForm1::SetMemoLines(memo, lines);
    QCOMPARE(TForm1::MemoLines(memo), lines);
  }
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  SwitchesListsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_switches_lists.moc"
