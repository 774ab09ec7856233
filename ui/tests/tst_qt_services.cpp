// The real services as far as they can be driven without a user: the
// dialog filter form, the file dialogs as the window describes them, and
// the message boxes with their buttons and answers.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include "engine/host.h"
#include "ui/qt_window_services.h"

class QtServicesTest : public QObject {
  Q_OBJECT

 private slots:
  void settingsNeitherReadNorWritten();
  void filterForm();
  void saveDialogAsDescribed();
  void openDialogWithDefaults();
  void cancelledDialog();
  void dialogOpensInItsFolder();
  void errorBox();
  void questionBoxAnswers();
  void fileQueries();
};

namespace {

// While it lives, hands every modal window that comes up to `act`, again
// at each tick while it stays up (a file dialog may still be reading its
// folder and refuse the first accept).
class ModalDriver {
 public:
  explicit ModalDriver(std::function<void(QWidget*)> act) {
    QObject::connect(&timer_, &QTimer::timeout, [act] {
      if (QWidget* modal = QApplication::activeModalWidget()) act(modal);
    });
    timer_.start(10);
  }

 private:
  QTimer timer_;
};

// The user's settings folder of this test, and a folder that an earlier
// start of the program would have left in it as the dialogs' last one.
QString ConfigFolder() {
  static QTemporaryDir config;
  return config.path();
}
QString SeededFolder() {
  static QTemporaryDir seeded;
  return seeded.path();
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Types `name` into a file dialog, as a user would, and confirms it.
void TypeAndAccept(QFileDialog* box, const QString& name) {
  auto* edit = box->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  QVERIFY(edit != nullptr);
  edit->setText(name);
  static_cast<QDialog*>(box)->accept();  // the dialog's own accept, as its button
}

}  // namespace

void QtServicesTest::settingsNeitherReadNorWritten() {
  // main() pointed the user's settings folder at ConfigFolder() and left
  // there what Qt's file dialogs keep from an earlier start.
  const QString seeded = ConfigFolder() + QStringLiteral("/QtProject.conf");
  const QByteArray before = ReadAll(seeded);
  QVERIFY(before.contains("lastVisited"));
  orv::ui::QtWindowServices services;
  orv::ui::FileDialog dialog{
      {"OpenDialog1", "Select the worldfile you wish to convert", "", ""}, "", ""};
  QString folder;
  ModalDriver driver([&](QWidget* w) {
    auto* box = qobject_cast<QFileDialog*>(w);
    QVERIFY(box != nullptr);
    folder = box->directory().absolutePath();
    TypeAndAccept(box, QStringLiteral("/tmp/orvantor-chosen.scp"));
  });
  std::string chosen;
  QVERIFY(services.OpenFileDialog(nullptr, dialog, chosen));
  // Not where the earlier start left off, and nothing kept for the next.
  QVERIFY2(folder != SeededFolder(), qPrintable(folder));
  QCOMPARE(ReadAll(seeded), before);
  QCOMPARE(QDir(ConfigFolder()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
           QStringList{"QtProject.conf"});
}

void QtServicesTest::filterForm() {
  using orv::ui::QtFilter;
  QCOMPARE(QtFilter("Kelmarch Worldfile (*.scp)|*.scp"), QString("Kelmarch Worldfile (*.scp)"));
  QCOMPARE(QtFilter("Kelmarch charfile (*.scp)|*.scp"), QString("Kelmarch charfile (*.scp)"));
  QCOMPARE(QtFilter("Lists|*.txt;*.lst|All|*.*"), QString("Lists (*.txt *.lst);;All (*.*)"));
  QCOMPARE(QtFilter(""), QString());
}

void QtServicesTest::saveDialogAsDescribed() {
  orv::ui::QtWindowServices services;
  orv::ui::FileDialog dialog{
      {"SaveDialog4", "save to worldfile", "Kelmarch Worldfile (*.scp)|*.scp", "scp"},
      "/tmp/previous.scp",
      ""};
  QString title, filter, suffix;
  bool confirms_overwrite = true;
  QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
  ModalDriver driver([&](QWidget* w) {
    auto* box = qobject_cast<QFileDialog*>(w);
    QVERIFY(box != nullptr);
    title = box->windowTitle();
    filter = box->nameFilters().join(";;");
    suffix = box->defaultSuffix();
    confirms_overwrite = !box->testOption(QFileDialog::DontConfirmOverwrite);
    mode = box->acceptMode();
    TypeAndAccept(box, QStringLiteral("/tmp/orvantor-chosen"));
  });
  std::string chosen;
  QVERIFY(services.SaveFileDialog(nullptr, dialog, chosen));
  QCOMPARE(title, QString("save to worldfile"));
  QCOMPARE(filter, QString("Kelmarch Worldfile (*.scp)"));
  QCOMPARE(suffix, QString("scp"));
  QVERIFY(!confirms_overwrite);
  QCOMPARE(mode, QFileDialog::AcceptSave);
  // The default extension is added to a name typed without one.
  QCOMPARE(chosen, std::string("/tmp/orvantor-chosen.scp"));
}

void QtServicesTest::openDialogWithDefaults() {
  orv::ui::QtWindowServices services;
  orv::ui::FileDialog dialog{{"OpenDialog2", "", "", ""}, "", ""};
  QString title;
  QFileDialog::FileMode file_mode = QFileDialog::ExistingFile;
  ModalDriver driver([&](QWidget* w) {
    auto* box = qobject_cast<QFileDialog*>(w);
    QVERIFY(box != nullptr);
    title = box->windowTitle();
    file_mode = box->fileMode();
    // A name that does not exist is still accepted: the window decides.
    TypeAndAccept(box, QStringLiteral("/tmp/orvantor-no-such-file.txt"));
  });
  std::string chosen;
  QVERIFY(services.OpenFileDialog(nullptr, dialog, chosen));
  QVERIFY(!title.isEmpty());  // the platform's own
  QCOMPARE(file_mode, QFileDialog::AnyFile);
  QCOMPARE(chosen, std::string("/tmp/orvantor-no-such-file.txt"));
}

void QtServicesTest::cancelledDialog() {
  orv::ui::QtWindowServices services;
  orv::ui::FileDialog dialog{
      {"OpenDialog1", "Select the worldfile you wish to convert", "", ""}, "", ""};
  ModalDriver driver([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
  std::string chosen = "unchanged";
  QVERIFY(!services.OpenFileDialog(nullptr, dialog, chosen));
  QCOMPARE(chosen, std::string("unchanged"));
}

void QtServicesTest::dialogOpensInItsFolder() {
  orv::ui::QtWindowServices services;
  QTemporaryDir here, there;
  const std::string in_here = here.filePath(QStringLiteral("w.scp")).toStdString();
  const std::string in_there = there.filePath(QStringLiteral("w.scp")).toStdString();
  struct Case {
    std::string file_name, initial_dir;
    QString folder, offered;  // where it opens; the name in its name box
  };
  const Case cases[] = {
      // Its own file lies in the folder: offered there.
      {in_here, here.path().toStdString(), here.path(), "w.scp"},
      // Its own file lies elsewhere: the folder wins, the name is not offered.
      {in_there, here.path().toStdString(), here.path(), ""},
      // No folder given: it opens at its own file.
      {in_there, "", there.path(), "w.scp"},
  };
  for (const Case& c : cases) {
    orv::ui::FileDialog dialog{
        {"SaveDialog4", "save to worldfile", "Kelmarch Worldfile (*.scp)|*.scp", "scp"},
        c.file_name,
        c.initial_dir};
    QString folder, offered;
    ModalDriver driver([&](QWidget* w) {
      auto* box = qobject_cast<QFileDialog*>(w);
      QVERIFY(box != nullptr);
      folder = box->directory().absolutePath();
      offered = box->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
      box->reject();
    });
    std::string chosen;
    QVERIFY(!services.SaveFileDialog(nullptr, dialog, chosen));
    QCOMPARE(folder, c.folder);
    QCOMPARE(offered, c.offered);
  }
}

void QtServicesTest::errorBox() {
  orv::ui::QtWindowServices services;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString caption, text;
  int buttons = 0;
  ModalDriver driver([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    QVERIFY(box != nullptr);
    icon = box->icon();
    caption = box->windowTitle();
    text = box->text();
    buttons = static_cast<int>(box->buttons().size());
    QTest::keyClick(box, Qt::Key_Escape);
  });
  const int answer = services.MessageBox(nullptr, "line one\n second line", "Error",
                                         orv::kMbOk | orv::kMbIconHand);
  QCOMPARE(icon, QMessageBox::Critical);
  QCOMPARE(caption, QString("Error"));
  QCOMPARE(text, QString("line one\n second line"));
  QCOMPARE(buttons, 1);
  QCOMPARE(answer, orv::kIdOk);
}

void QtServicesTest::questionBoxAnswers() {
  orv::ui::QtWindowServices services;
  struct Case {
    std::function<void(QMessageBox*)> act;
    int answer;
  };
  const Case cases[] = {
      {[](QMessageBox* b) { b->button(QMessageBox::Ok)->click(); }, orv::kIdOk},
      {[](QMessageBox* b) { b->button(QMessageBox::Cancel)->click(); }, orv::kIdCancel},
      {[](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); }, orv::kIdCancel},
      {[](QMessageBox* b) { b->close(); }, orv::kIdCancel},
  };
  for (const Case& c : cases) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    ModalDriver driver([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      QVERIFY(box != nullptr);
      icon = box->icon();
      QVERIFY(box->button(QMessageBox::Ok) != nullptr);
      QVERIFY(box->button(QMessageBox::Cancel) != nullptr);
      c.act(box);
    });
    QCOMPARE(services.MessageBox(nullptr, "File Exists, overwrite?", "Question",
                                 orv::kMbOkCancel | orv::kMbIconQuestion),
             c.answer);
    QCOMPARE(icon, QMessageBox::Question);
  }
}

void QtServicesTest::fileQueries() {
  orv::ui::QtWindowServices services;
  QVERIFY(services.FileExists(ORVANTOR_SOURCE_DIR "/CMakeLists.txt"));
  QVERIFY(!services.FileExists(ORVANTOR_SOURCE_DIR "/no such file"));
  // A file that cannot be looked at counts as read-only.
  QVERIFY(services.IsReadOnly(ORVANTOR_SOURCE_DIR "/no such file"));
  QVERIFY(services.FreeBytes(ORVANTOR_SOURCE_DIR "/new.scp") > 0);
  QCOMPARE(services.FreeBytes("/no/such/folder/new.scp"), std::int64_t{-1});
}

int main(int argc, char** argv) {
  // What Qt's file dialogs write at the end of a start of a program that
  // lets them keep their state.
  QFile conf(ConfigFolder() + QStringLiteral("/QtProject.conf"));
  if (!conf.open(QIODevice::WriteOnly)) return 1;
  conf.write("[FileDialog]\nhistory=file://" + QFile::encodeName(SeededFolder()) +
             "\nlastVisited=file://" + QFile::encodeName(SeededFolder()) + "\n");
  conf.close();
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(ConfigFolder()));
  QApplication app(argc, argv);
  QtServicesTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_qt_services.moc"
