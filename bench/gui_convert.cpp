// Times a conversion through the window as a user makes it, beside the
// command line on the same save.
//
//   gui_convert [--runs N --orvantor PATH] SOURCE WORLD_FILE CHAR_FILE [POSITIONS ILLEGAL]
//
// Alone, it makes one run in this process: it opens the window on the
// platform Qt picks (the X server of DISPLAY, say Xvfb; QT_QPA_PLATFORM=
// offscreen for none), chooses the three files through the real file
// dialogs by typing each name and pressing Enter, switches both lists on
// with the given files' lines when they are given, clicks "convert !"
// through the window system's input path and waits for "ready". It prints
// one line: the seconds from the click to "ready", the processor time of the
// process over the same span, the pumps, and the seconds from the start to
// the shown window and from the close to the end.
//
// With --orvantor, it makes N such runs, each in a new process, alternating
// with `orvantor convert` on the same files (with --move-chars and
// --illegal-items when the lists are given), and prints the medians and the
// ratio: the window's click-to-"ready" against the command line's whole
// process, as `time` shows it. The targets are deleted before every run.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCompleter>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/line_list.h"
#include "engine/run.h"
#include "ui/Unit1.h"
#include "ui/qt_window_services.h"
#include "ui/status_bar.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

double CpuSeconds(const rusage& u) {
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return CpuSeconds(u);
}

struct Files {
  std::string source, world, chars, positions, illegal;
  bool Lists() const { return !positions.empty(); }
};

// Answers every file dialog that comes up as a user would: types the next
// name (an absolute one: a relative name would go one folder deeper) into
// its name box and presses Enter. A dialog still up at the next tick (one
// still reading its folder may pass over the Enter) gets the name chosen
// as its button would.
// A message box is not expected: it is shown on stderr and closed, and the
// run then fails.
class DialogTyper {
 public:
  DialogTyper() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        std::fprintf(stderr, "gui_convert: unexpected message box: %s\n", qPrintable(box->text()));
        box->reject();
        return;
      }
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (dialog == nullptr) return;
      auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      if (edit == nullptr) return;
      if (dialog != typed_into_) {
        typed_into_ = dialog;
        edit->clear();
        QTest::keyClicks(edit, name_);
        // The name box's completer offers the folder's names as it is typed.
        // Its list, if still up, would take the Enter for itself.
        if (QCompleter* completer = edit->completer(); completer != nullptr)
          completer->popup()->hide();
        QTest::keyClick(edit, Qt::Key_Return);
        return;
      }
      // Still up at the next tick: a save dialog that has wandered into
      // another folder while the name was typed may let the Enter pass.
      // The name is then chosen as a click on the dialog's button would.
      dialog->selectFile(name_);
      QMetaObject::invokeMethod(dialog, "accept");
    });
    timer_.start(20);
  }
  void Next(const std::string& name) {
    name_ = QFileInfo(QFile::decodeName(name.c_str())).absoluteFilePath();
  }

 private:
  QTimer timer_;
  QString name_;
  QPointer<QFileDialog> typed_into_;  // the dialog the name was last typed into
};

QString ListText(const std::string& path) {
  orv::LineList lines;
  lines.LoadFromFile(path);
  QString text;
  for (const auto& line : lines)
    text += QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())) + "\n";
  return text;
}

int RunOnce(int argc, char** argv, const Files& f) {
  const auto start = Clock::now();
  std::remove(f.world.c_str());
  std::remove(f.chars.c_str());
  QApplication app(argc, argv);
  orv::World& world = ProgramStores();
  orv::ui::QtWindowServices services;
  TForm1 form(world, services);
  form.show();
  if (!QTest::qWaitForWindowExposed(&form)) {
    std::fprintf(stderr, "gui_convert: the window was never shown\n");
    return 1;
  }
  const double started = Since(start);

  // Lives through the run too, to close a message box that would wait.
  DialogTyper typer;
  typer.Next(f.source);
  QTest::mouseClick(form.Button1, Qt::LeftButton);
  typer.Next(f.world);
  QTest::mouseClick(form.Button2, Qt::LeftButton);
  typer.Next(f.chars);
  QTest::mouseClick(form.Button3, Qt::LeftButton);
  if (!form.BitBtn1->isEnabled()) {
    std::fprintf(stderr, "gui_convert: the files were not all chosen\n");
    return 1;
  }
  if (f.Lists()) {
    QTest::mouseClick(form.CheckBox2, Qt::LeftButton);
    form.Memo4->setPlainText(ListText(f.positions));
    QTest::mouseClick(form.CheckBox1, Qt::LeftButton);
    form.Memo5->setPlainText(ListText(f.illegal));
  }
  long pumps = 0;
  form.SetPumpObserver([&pumps] { ++pumps; });
  QTest::qWait(200);  // let the window settle, as a user would look before clicking

  // Through the window system, as a real click arrives: the run happens
  // inside the delivery of the button's release.
  const QPoint at = form.BitBtn1->geometry().center();
  const double cpu0 = ProcessCpuSeconds();
  const auto t0 = Clock::now();
  QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, at);
  const double seconds = Since(t0);
  const double cpu = ProcessCpuSeconds() - cpu0;
  if (form.LastRunStatus() != orv::RunStatus::kCompleted ||
      form.StatusBar1->PanelText(0) != QLatin1String("ready")) {
    std::fprintf(stderr, "gui_convert: the run did not complete\n");
    return 1;
  }

  const auto c0 = Clock::now();
  form.close();
  const double closed = Since(c0);
  std::printf("window %.3f s, cpu %.2f s, %ld pumps, start %.2f s, close %.2f s\n", seconds, cpu,
              pumps, started, closed);
  return 0;
}

// ---- side by side

struct Child {
  double seconds = 0;  // wall time of the whole process
  double cpu = 0;
  std::string out;  // its standard output
  bool ok = false;
};

Child Spawn(const std::vector<std::string>& args, bool keep_output) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int out[2];
  Child c;
  if (pipe(out) != 0) return c;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  if (!keep_output) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  const auto t0 = Clock::now();
  pid_t pid = 0;
  const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (failed != 0) {
    close(out[0]);
    return c;
  }
  char buf[4096];
  for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;)
    c.out.append(buf, static_cast<std::size_t>(n));
  close(out[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  c.seconds = Since(t0);
  c.cpu = CpuSeconds(usage);
  c.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return c;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void PrintSeries(const char* name, const std::vector<double>& v) {
  std::printf("%-13s median %.3f s (min %.3f, max %.3f):", name, Median(v),
              *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
  for (double x : v) std::printf(" %.2f", x);
  std::printf("\n");
}

int SideBySide(const char* self, const std::string& orvantor, int runs, const Files& f) {
  std::vector<std::string> cli = {orvantor, "convert",     f.source, "--world-file",
                                  f.world,  "--char-file", f.chars};
  std::vector<std::string> gui = {self, f.source, f.world, f.chars};
  if (f.Lists()) {
    cli.insert(cli.end(), {"--move-chars", f.positions, "--illegal-items", f.illegal});
    gui.insert(gui.end(), {f.positions, f.illegal});
  }
  std::vector<double> cli_s, cli_cpu, gui_s, gui_cpu;
  for (int r = 0; r < runs; ++r) {
    // Alternate which goes first, so that neither always finds the other's
    // freed memory or written-back files.
    for (int k = 0; k < 2; ++k) {
      std::remove(f.world.c_str());
      std::remove(f.chars.c_str());
      sync();
      if ((r + k) % 2 == 0) {
        const Child c = Spawn(cli, false);
        if (!c.ok) return std::fprintf(stderr, "gui_convert: orvantor convert failed\n"), 1;
        cli_s.push_back(c.seconds);
        cli_cpu.push_back(c.cpu);
        std::printf("run %d: command line %.3f s, cpu %.2f s\n", r + 1, c.seconds, c.cpu);
      } else {
        const Child c = Spawn(gui, true);
        double seconds = 0, cpu = 0;
        if (!c.ok || std::sscanf(c.out.c_str(), "window %lf s, cpu %lf s", &seconds, &cpu) != 2)
          return std::fprintf(stderr, "gui_convert: the window's run failed\n"), 1;
        gui_s.push_back(seconds);
        gui_cpu.push_back(cpu);
        std::printf("run %d: %s", r + 1, c.out.c_str());
      }
      std::fflush(stdout);
    }
  }
  std::remove(f.world.c_str());
  std::remove(f.chars.c_str());
  PrintSeries("command line", cli_s);
  PrintSeries("window", gui_s);
  PrintSeries("cpu cli", cli_cpu);
  PrintSeries("cpu window", gui_cpu);
  std::printf(
      "window / command line: %.2f (median of the window's click to \"ready\" over the "
      "median of the command line's whole process)\n",
      Median(gui_s) / Median(cli_s));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> rest;
  std::string orvantor;
  int runs = 5;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--orvantor") == 0 && i + 1 < argc) {
      orvantor = argv[++i];
    } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else {
      rest.push_back(argv[i]);
    }
  }
  if ((rest.size() != 3 && rest.size() != 5) || runs < 1) {
    std::fprintf(stderr,
                 "usage: gui_convert [--runs N --orvantor PATH] SOURCE WORLD_FILE CHAR_FILE "
                 "[POSITIONS ILLEGAL]\n");
    return 2;
  }
  Files f{rest[0], rest[1], rest[2], rest.size() == 5 ? rest[3] : "",
          rest.size() == 5 ? rest[4] : ""};
  if (!orvantor.empty()) {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return 1;
    self[n] = '\0';
    return SideBySide(self, orvantor, runs, f);
  }
  return RunOnce(argc, argv, f);
}
