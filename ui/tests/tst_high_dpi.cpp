// The window at a high scale factor (2, as QT_SCALE_FACTOR=2 gives on a
// small screen): it opens inside the screen, and the pictures of its
// buttons are drawn sharp, each pixel of a glyph a square of its colour.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "ui/tests/window_fixture.h"

class HighDpiTest : public QObject {
  Q_OBJECT

 private slots:
  void windowInsideTheScreen();
  void pictureButtonsDrawnSharp();
  void renderToPng();
};

namespace {

// The normal (left) or greyed (right) half of a glyph strip.
QImage GlyphHalf(const QString& resource, bool greyed) {
  const QImage both = QImage(resource).convertToFormat(QImage::Format_ARGB32);
  const int side = both.height();
  return both.copy(greyed ? side : 0, 0, side, side);
}

// Whether `shot` shows `glyph` enlarged `scale` times with no pixel
// blended: somewhere in it, every opaque pixel of the glyph is a square of
// exactly its colour.
bool ShowsSharp(const QImage& shot, const QImage& glyph, int scale) {
  const int size = glyph.width() * scale;
  for (int top = 0; top + size <= shot.height(); ++top)
    for (int left = 0; left + size <= shot.width(); ++left) {
      bool all = true;
      for (int y = 0; y < glyph.height() && all; ++y)
        for (int x = 0; x < glyph.width() && all; ++x) {
          const QRgb g = glyph.pixel(x, y);
          if (qAlpha(g) != 255) continue;
          for (int dy = 0; dy < scale && all; ++dy)
            for (int dx = 0; dx < scale && all; ++dx)
              all = (shot.pixel(left + x * scale + dx, top + y * scale + dy) & 0xFFFFFF) ==
                    (g & 0xFFFFFF);
        }
      if (all) return true;
    }
  return false;
}

}  // namespace

void HighDpiTest::windowInsideTheScreen() {
  QCOMPARE(qApp->devicePixelRatio(), 2.0);
  WindowFixture f;
  TForm1& w = *f.form;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  // The offscreen screen is 800 x 600 pixels, 400 x 300 at this scale: the
  // window is larger than it and keeps its top left corner, frame and all,
  // on it.
  const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
  QVERIFY(desktop.width() < w.width() && desktop.height() < w.height());
  QCOMPARE(w.frameGeometry().topLeft(), desktop.topLeft());
  // The layout is as at any scale.
  QCOMPARE(w.size(), QSize(466, 435));
  QCOMPARE(w.BitBtn3->geometry(), QRect(8, 208, 33, 25));
}

void HighDpiTest::pictureButtonsDrawnSharp() {
  WindowFixture f;
  TForm1& w = *f.form;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  const QString folder = QStringLiteral(":/orvantor/images/open_folder.xpm");
  const QString disk = QStringLiteral(":/orvantor/images/floppy_disk.xpm");
  const QString pen = QStringLiteral(":/orvantor/images/pen_sheet.xpm");
  struct Case {
    QPushButton* button;
    QString resource;
  };
  // Disabled as the window opens: the greyed pictures.
  for (const Case& c : {Case{w.BitBtn3, folder}, Case{w.BitBtn2, disk}, Case{w.BitBtn1, pen}}) {
    const QImage shot = c.button->grab().toImage();
    QCOMPARE(shot.size(), c.button->size() * 2);
    QVERIFY2(ShowsSharp(shot, GlyphHalf(c.resource, true), 2), qPrintable(c.button->objectName()));
  }
  // Enabled: the normal ones.
  w.CheckBox2->click();
  w.BitBtn1->setEnabled(true);
  for (const Case& c : {Case{w.BitBtn3, folder}, Case{w.BitBtn2, disk}, Case{w.BitBtn1, pen}}) {
    const QImage shot = c.button->grab().toImage();
    QVERIFY2(ShowsSharp(shot, GlyphHalf(c.resource, false), 2), qPrintable(c.button->objectName()));
  }
}

void HighDpiTest::renderToPng() {
  WindowFixture f;
  TForm1& w = *f.form;
  f.ChooseFiles("/srv/kelmarch/save/world.scp", "/srv/vantor/save/world.scp",
                "/srv/vantor/save/chars.scp");
  w.CheckBox1->click();
  w.ProgressBar1->SetProgress(42);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  const QImage shot = w.grab().toImage();
  QCOMPARE(shot.size(), QSize(932, 870));
  const QString dir = QStringLiteral(ORVANTOR_ARTIFACT_DIR);
  QVERIFY(QDir().mkpath(dir));
  QVERIFY(shot.save(dir + QStringLiteral("/orvantor-gui-scale2.png"), "PNG"));
}

int main(int argc, char** argv) {
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  HighDpiTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_high_dpi.moc"
