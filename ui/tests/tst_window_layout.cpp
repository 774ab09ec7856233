// The window as it opens: every control of the design where the design
// puts it, as created and as shown, with its text, state and colours; the
// tab order, the caption and frame; and a picture of it for people to look
// at.

#include <algorithm>
#include <iterator>
#include <string_view>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTest>

#include "engine/caption.h"
#include "ui/cgauge.h"
#include "ui/status_bar.h"
#include "ui/tests/window_fixture.h"

class WindowLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void everyControlAtItsPlace();
  void shownAsDesigned();
  void textsAndInitialStates();
  void colours();
  void windowFrameAndCaption();
  void tabOrder();
  void renderToPng();
};

namespace {

// The window's design, row by row from the top of the window: each control
// with its kind, its left and top within the client area, its width and its
// height, in pixels at 96 pixels per inch. Typed from the design itself,
// not from the code that builds the window, so that a slip in either shows.
struct Designed {
  const char* name;
  const char* kind;
  int left, top, width, height;

  QRect Rect() const { return QRect(left, top, width, height); }
};
constexpr Designed kDesign[] = {
    {"Label4", "label", 8, 8, 73, 13},
    {"Edit1", "one-line text box", 112, 8, 257, 21},
    {"Button1", "push button", 384, 8, 75, 25},
    {"Label3", "label", 8, 40, 68, 13},
    {"Edit2", "one-line text box", 112, 40, 257, 21},
    {"Button2", "push button", 384, 40, 75, 25},
    {"Label2", "label", 8, 72, 88, 13},
    {"Edit3", "one-line text box", 112, 72, 257, 21},
    {"Button3", "push button", 384, 72, 75, 25},
    {"CheckBox4", "check box", 8, 120, 81, 17},
    {"CheckBox3", "check box", 8, 136, 73, 17},
    {"CheckBox5", "check box", 8, 152, 129, 17},
    {"CheckBox6", "check box", 8, 168, 129, 17},
    {"Label1", "label", 344, 120, 70, 13},
    {"Label5", "label", 312, 136, 16, 13},
    {"Label6", "label", 400, 136, 52, 13},
    {"TrackBar1", "horizontal slider", 312, 152, 150, 45},
    {"BitBtn3", "picture button", 8, 208, 33, 25},
    {"BitBtn2", "picture button", 40, 208, 33, 25},
    {"CheckBox2", "check box", 88, 214, 81, 17},
    {"BitBtn5", "picture button", 240, 208, 33, 25},
    {"BitBtn4", "picture button", 272, 208, 33, 25},
    {"CheckBox1", "check box", 320, 214, 81, 17},
    {"Memo4", "multi-line text box", 8, 240, 217, 137},
    {"Memo5", "multi-line text box", 240, 240, 217, 137},
    {"BitBtn1", "picture button", 8, 384, 97, 25},
    {"ProgressBar1", "percentage gauge", 112, 384, 345, 25},
    {"StatusBar1", "status bar", 0, 416, 466, 19},
};
constexpr QSize kClientArea(466, 435);

// Whether `w` is the kind of control that the design names.
bool IsKind(const QWidget* w, std::string_view kind) {
  if (kind == "label") return qobject_cast<const QLabel*>(w) != nullptr;
  if (kind == "one-line text box") return qobject_cast<const QLineEdit*>(w) != nullptr;
  if (kind == "push button" || kind == "picture button")
    return qobject_cast<const QPushButton*>(w) != nullptr;
  if (kind == "check box") return qobject_cast<const QCheckBox*>(w) != nullptr;
  if (kind == "horizontal slider") {
    const auto* slider = qobject_cast<const QSlider*>(w);
    return slider != nullptr && slider->orientation() == Qt::Horizontal;
  }
  if (kind == "multi-line text box") return qobject_cast<const QPlainTextEdit*>(w) != nullptr;
  if (kind == "percentage gauge") return qobject_cast<const TCGauge*>(w) != nullptr;
  if (kind == "status bar") return qobject_cast<const TStatusBar*>(w) != nullptr;
  return false;
}

// The control of `form` that a click at `point` of its client area reaches:
// the child of the form that holds the widget there.
QWidget* ControlAt(QWidget* form, QPoint point) {
  QWidget* w = form->childAt(point);
  while (w != nullptr && w->parentWidget() != form) w = w->parentWidget();
  return w;
}

// A widget as a failure names it.
QString Described(const QWidget* w) {
  if (w == nullptr) return QStringLiteral("nothing");
  const QString name = w->objectName().isEmpty() ? QStringLiteral("(unnamed)") : w->objectName();
  return QLatin1String(w->metaObject()->className()) + QLatin1Char(' ') + name;
}

}  // namespace

void WindowLayoutTest::everyControlAtItsPlace() {
  WindowFixture f;
  for (const Designed& d : kDesign) {
    auto* w = f.form->findChild<QWidget*>(QLatin1String(d.name));
    QVERIFY2(w != nullptr, d.name);
    QCOMPARE(w->parentWidget(), f.form.get());
    QVERIFY2(IsKind(w, d.kind), d.name);
    QCOMPARE(w->geometry(), d.Rect());
  }
  QCOMPARE(f.form->size(), kClientArea);

  // Whatever font stands in for the window's, no text is cut off.
  for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6", "CheckBox1",
                           "CheckBox2", "CheckBox3", "CheckBox4", "CheckBox5", "CheckBox6"}) {
    auto* w = f.form->findChild<QWidget*>(QLatin1String(name));
    QVERIFY2(w->sizeHint().width() <= w->width(), name);
  }
  for (QPushButton* b : {f.form->Button1, f.form->BitBtn1}) {
    const int text = b->fontMetrics().horizontalAdvance(b->text());
    const int picture = b->icon().isNull() ? 0 : b->iconSize().width() + 4;
    QVERIFY2(text + picture + 8 <= b->width(), qPrintable(b->objectName()));
  }
}

void WindowLayoutTest::shownAsDesigned() {
  WindowFixture f;
  TForm1& w = *f.form;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QCOMPARE(w.size(), kClientArea);

  // Shown, every control stands where the design puts it, and a click
  // there reaches it: at its middle and just inside each corner, wherever
  // the design lays no other control over the spot. A control moved,
  // resized, hidden or covered by another once the window is up fails here.
  for (const Designed& d : kDesign) {
    auto* control = w.findChild<QWidget*>(QLatin1String(d.name));
    QVERIFY2(control != nullptr && control->isVisible(), d.name);
    QCOMPARE(QRect(control->mapTo(&w, QPoint(0, 0)), control->size()), d.Rect());
    const QRect inner = d.Rect().adjusted(1, 1, -1, -1);
    for (const QPoint spot : {d.Rect().center(), inner.topLeft(), inner.topRight(),
                              inner.bottomLeft(), inner.bottomRight()}) {
      const bool shared =
          std::any_of(std::begin(kDesign), std::end(kDesign),
                      [&](const Designed& o) { return &o != &d && o.Rect().contains(spot); });
      if (shared) continue;
      QWidget* reached = ControlAt(&w, spot);
      QVERIFY2(reached == control, qPrintable(QStringLiteral("%1 at %2,%3 reaches %4")
                                                  .arg(QLatin1String(d.name))
                                                  .arg(spot.x())
                                                  .arg(spot.y())
                                                  .arg(Described(reached))));
    }
  }

  // And nothing else is shown on the window.
  for (QWidget* child : w.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (!child->isVisible()) continue;
    const bool designed = std::any_of(
        std::begin(kDesign), std::end(kDesign),
        [&](const Designed& d) { return child->objectName() == QLatin1String(d.name); });
    QVERIFY2(designed,
             qPrintable(QStringLiteral("a control the design does not have: ") + Described(child)));
  }
}

void WindowLayoutTest::textsAndInitialStates() {
  WindowFixture f;
  TForm1& w = *f.form;
  QCOMPARE(w.Label4->text(), QString("source worldfile"));
  QCOMPARE(w.Label3->text(), QString("target worldfile"));
  QCOMPARE(w.Label2->text(), QString("target characterfile"));
  QCOMPARE(w.Label1->text(), QString("process priority"));
  QCOMPARE(w.Label5->text(), QString("idle"));
  QCOMPARE(w.Label6->text(), QString("time critical"));
  for (QLineEdit* e : {w.Edit1, w.Edit2, w.Edit3}) {
    QVERIFY(e->isReadOnly());
    QVERIFY(e->text().isEmpty());
  }
  for (QPushButton* b : {w.Button1, w.Button2, w.Button3}) {
    QCOMPARE(b->text(), QString("Browse..."));
    QVERIFY(b->isEnabled());
  }
  struct Box {
    QCheckBox* box;
    const char* text;
    bool ticked;
  };
  for (const Box& b :
       {Box{w.CheckBox4, "delete NPCs", true}, Box{w.CheckBox3, "shrink pets", true},
        Box{w.CheckBox5, "delete respawn points", true},
        Box{w.CheckBox6, "turn off PC when done", false}, Box{w.CheckBox2, "move chars", false},
        Box{w.CheckBox1, "illegal items:", false}}) {
    QCOMPARE(b.box->text(), QString(b.text));
    QCOMPARE(b.box->isChecked(), b.ticked);
    QVERIFY(b.box->isEnabled());
  }
  QCOMPARE(w.TrackBar1->orientation(), Qt::Horizontal);
  QCOMPARE(w.TrackBar1->minimum(), 1);
  QCOMPARE(w.TrackBar1->maximum(), 500);
  QCOMPARE(w.TrackBar1->tickInterval(), 50);
  QCOMPARE(w.TrackBar1->tickPosition(), QSlider::TicksAbove);
  QCOMPARE(w.TrackBar1->value(), 250);
  QCOMPARE(w.Position(), 250);

  // The four list buttons: pictures without text, disabled; the lists off.
  for (QPushButton* b : {w.BitBtn2, w.BitBtn3, w.BitBtn4, w.BitBtn5}) {
    QVERIFY(b->text().isEmpty());
    QVERIFY(!b->icon().isNull());
    QVERIFY(!b->isEnabled());
  }
  // Folder on both load buttons, disk on both save buttons; each with its
  // own greyed picture.
  auto image = [](QPushButton* b, QIcon::Mode mode) {
    return b->icon().pixmap(16, 16, mode).toImage();
  };
  QCOMPARE(image(w.BitBtn3, QIcon::Normal), image(w.BitBtn5, QIcon::Normal));
  QCOMPARE(image(w.BitBtn2, QIcon::Normal), image(w.BitBtn4, QIcon::Normal));
  QVERIFY(image(w.BitBtn3, QIcon::Normal) != image(w.BitBtn2, QIcon::Normal));
  QVERIFY(image(w.BitBtn3, QIcon::Normal) != image(w.BitBtn3, QIcon::Disabled));
  for (QPlainTextEdit* m : {w.Memo4, w.Memo5}) {
    QVERIFY(!m->isEnabled());
    QVERIFY(m->toPlainText().isEmpty());
    QCOMPARE(m->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(m->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(m->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  }

  QCOMPARE(w.BitBtn1->text(), QString("convert !"));
  QVERIFY(!w.BitBtn1->icon().isNull());
  QVERIFY(!w.BitBtn1->isEnabled());
  QCOMPARE(w.ProgressBar1->Progress(), 0);
  QCOMPARE(w.ProgressBar1->PercentText(), QString("0%"));

  QCOMPARE(w.StatusBar1->PanelCount(), 2);
  QCOMPARE(w.StatusBar1->PanelText(0), QString("ready"));
  QCOMPARE(w.StatusBar1->PanelWidth(0), 250);
  QCOMPARE(w.StatusBar1->PanelWidth(1), 50);
  QVERIFY(w.StatusBar1->PanelAlignment(1) & Qt::AlignRight);
  QVERIFY(!w.StatusBar1->PanelText(1).isEmpty());
  // The last panel reaches the right edge.
  QCOMPARE(w.StatusBar1->PanelRect(0).left(), 0);
  QVERIFY(w.StatusBar1->PanelRect(1).right() >= 466 - 3);

  // Nothing was read or asked at start.
  QVERIFY(f.services.calls.empty());
  QVERIFY(w.OpenDialog1.FileName.empty());
  QVERIFY(w.SaveDialog3.FileName.empty());
  QVERIFY(w.SaveDialog4.FileName.empty());
}

void WindowLayoutTest::colours() {
  WindowFixture f;
  TForm1& w = *f.form;
  QCOMPARE(w.Memo4->palette().color(QPalette::Base), TForm1::MenuColor());
  QCOMPARE(w.Memo5->palette().color(QPalette::Base), TForm1::MenuColor());
  QCOMPARE(w.BitBtn1->palette().color(QPalette::Active, QPalette::ButtonText), QColor(255, 0, 0));
  QCOMPARE(w.ProgressBar1->ForeColor(), QColor(0, 0, 128));
  QCOMPARE(w.ProgressBar1->TextColor(), QColor(128, 128, 0));

  // Drawn: a value above 100 fills the whole bar in navy.
  w.ProgressBar1->SetProgress(250);
  QCOMPARE(w.ProgressBar1->PercentText(), QString("100%"));
  const QImage full = w.ProgressBar1->grab().toImage();
  QCOMPARE(QColor(full.pixel(3, 3)), QColor(0, 0, 128));
  QCOMPARE(QColor(full.pixel(full.width() - 4, full.height() - 4)), QColor(0, 0, 128));
  w.ProgressBar1->SetProgress(0);
  const QImage empty = w.ProgressBar1->grab().toImage();
  QCOMPARE(QColor(empty.pixel(3, 3)), QColor(255, 255, 255));
  // The percentage is written in olive: its pixels, smoothed into the white
  // or not, have red equal to green and far less blue.
  bool olive = false;
  for (int y = 0; y < empty.height() && !olive; ++y)
    for (int x = 0; x < empty.width() && !olive; ++x) {
      const QColor c(empty.pixel(x, y));
      olive = c.red() == c.green() && c.blue() + 60 < c.red() && c.red() < 200;
    }
  QVERIFY(olive);
}

void WindowLayoutTest::windowFrameAndCaption() {
  WindowFixture f;
  TForm1& w = *f.form;
  QCOMPARE(w.objectName(), QString("Form1"));
  QCOMPARE(w.windowTitle(), QString("ORVANTOR v4.0 FULL - Pellacord"));
  QCOMPARE(w.Caption(), std::string("ORVANTOR v4.0 FULL - Pellacord"));
  QCOMPARE(orv::kVersionLabel, std::string_view("v4.0 FULL"));
  QCOMPARE(orv::kApplicationTitle, std::string_view("ORVANTOR 4"));
  QCOMPARE(w.minimumSize(), QSize(466, 435));
  QCOMPARE(w.maximumSize(), QSize(466, 435));
  const Qt::WindowFlags flags = w.windowFlags();
  QVERIFY(flags & Qt::WindowSystemMenuHint);
  QVERIFY(flags & Qt::WindowMinimizeButtonHint);
  QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
  QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
  QVERIFY(!w.windowIcon().isNull());
  QCOMPARE(w.windowIcon().availableSizes().value(0), QSize(32, 32));
  QCOMPARE(w.font().pixelSize(), 11);
  // Centred on the desktop.
  const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
  QVERIFY(qAbs(w.geometry().center().x() - desktop.center().x()) <= 1);
  QVERIFY(qAbs(w.geometry().center().y() - desktop.center().y()) <= 1);
}

void WindowLayoutTest::tabOrder() {
  WindowFixture f;
  TForm1& w = *f.form;
  // Switch the lists on and enable "convert !", so that no control of the
  // order is skipped as disabled.
  w.CheckBox1->click();
  w.CheckBox2->click();
  w.BitBtn1->setEnabled(true);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QApplication::setActiveWindow(&w);
  const char* const expected[] = {
      "CheckBox2", "Memo4",   "CheckBox1", "Memo5",   "CheckBox4", "CheckBox3", "CheckBox5",
      "TrackBar1", "BitBtn1", "CheckBox6", "Edit1",   "Edit2",     "Edit3",     "Button1",
      "Button2",   "Button3", "BitBtn2",   "BitBtn3", "BitBtn4",   "BitBtn5",   "CheckBox2"};
  w.CheckBox2->setFocus(Qt::TabFocusReason);
  QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.CheckBox2));
  for (std::size_t i = 1; i < std::size(expected); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus != nullptr);
    QCOMPARE(focus->objectName(), QString(expected[i]));
  }

  // Disabled controls are skipped: with the lists off, Tab goes from
  // CheckBox2 straight to CheckBox1.
  w.CheckBox1->click();
  w.CheckBox2->click();
  w.CheckBox2->setFocus(Qt::TabFocusReason);
  QTest::keyClick(w.CheckBox2, Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget()->objectName(), QString("CheckBox1"));
}

void WindowLayoutTest::renderToPng() {
  WindowFixture f;
  TForm1& w = *f.form;
  // Show something in every part: the three files chosen (so "convert !"
  // is usable), a list switched on with entries, the gauge part full.
  f.ChooseFiles("/srv/kelmarch/save/world.scp", "/srv/vantor/save/world.scp",
                "/srv/vantor/save/chars.scp");
  QVERIFY(w.BitBtn1->isEnabled());
  w.CheckBox2->click();
  TForm1::SetMemoLines(*w.Memo4, orv::LineList{"1495,1629,10", "1500,1600,0"});
  w.ProgressBar1->SetProgress(42);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  const QImage shot = w.grab().toImage();
  QCOMPARE(shot.size() / shot.devicePixelRatio(), QSize(466, 435));
  const QString dir = QStringLiteral(ORVANTOR_ARTIFACT_DIR);
  QVERIFY(QDir().mkpath(dir));
  const QString path = dir + QStringLiteral("/orvantor-gui.png");
  QVERIFY(shot.save(path, "PNG"));
  QVERIFY(QFileInfo(path).size() > 0);
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ORVANTOR 4"));
  WindowLayoutTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_window_layout.moc"
