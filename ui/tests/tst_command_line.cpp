// orvantor-gui's own arguments: --help and --version answer and end the
// program without a display, as the real program is started from a shell.

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

class CommandLineTest : public QObject {
  Q_OBJECT

 private slots:
  void answersWithoutADisplay_data();
  void answersWithoutADisplay();
  void unwritableOutputFails();
};

namespace {

struct Outcome {
  int status = -1;
  QByteArray out, err;
};

// Runs the program where no window can be opened: a window would end it
// with the platform's failure instead of an answer.
Outcome Run(const QStringList& args, const QString& out_file = QString()) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  p.setProcessEnvironment(env);
  if (!out_file.isEmpty()) p.setStandardOutputFile(out_file);
  p.start(QStringLiteral(ORVANTOR_GUI), args);
  Outcome o;
  if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit) return o;
  o.status = p.exitCode();
  o.out = p.readAllStandardOutput();
  o.err = p.readAllStandardError();
  return o;
}

}  // namespace

void CommandLineTest::answersWithoutADisplay_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QString>("begins");
  const QString usage = QStringLiteral("Usage: orvantor-gui [-h | --help] [-V | --version]");
  const QString version = QStringLiteral("orvantor-gui 4.0 (ORVANTOR v4.0 FULL - Pellacord)\n");
  QTest::newRow("--help") << QStringList{"--help"} << usage;
  QTest::newRow("-h") << QStringList{"-h"} << usage;
  QTest::newRow("--version") << QStringList{"--version"} << version;
  QTest::newRow("-V") << QStringList{"-V"} << version;
  // Qt's own options around them change nothing.
  QTest::newRow("after a Qt option")
      << QStringList{"-platform", "offscreen", "--version"} << version;
}

void CommandLineTest::answersWithoutADisplay() {
  QFETCH(QStringList, args);
  QFETCH(QString, begins);
  const Outcome o = Run(args);
  QCOMPARE(o.status, 0);
  QVERIFY2(o.out.startsWith(begins.toUtf8()), o.out.constData());
  QCOMPARE(o.err, QByteArray());
  if (begins.startsWith(QLatin1String("Usage"))) {
    QVERIFY(o.out.contains("-V, --version"));
    QVERIFY(o.out.contains("orvantor convert --help"));
    QVERIFY(o.out.endsWith("\n"));
  } else {
    QCOMPARE(o.out, begins.toUtf8());
  }
}

void CommandLineTest::unwritableOutputFails() {
  const Outcome o = Run({"--help"}, QStringLiteral("/dev/full"));
  QCOMPARE(o.status, 1);
  QVERIFY(o.err.contains("cannot write"));
}

QTEST_GUILESS_MAIN(CommandLineTest)

#include "tst_command_line.moc"
