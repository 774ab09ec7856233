// orvantor-gui: the desktop window.

#include <cstdio>
#include <exception>
#include <optional>

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include "engine/caption.h"
#include "platform/interrupts.h"
#include "ui/Unit1.h"
#include "ui/command_line.h"
#include "ui/qt_window_services.h"

namespace {

QString ApplicationTitle() {
  return QString::fromLatin1(orv::kApplicationTitle.data(), orv::kApplicationTitle.size());
}

// The application object. An error that escapes an event handler is shown
// in a message box with its text, under the application title, and the
// message loop goes on: the window must never vanish with the user's
// settings because one handler failed.
class TApplication final : public QApplication {
 public:
  using QApplication::QApplication;

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      ShowException(e.what());
    } catch (...) {
      ShowException("unknown error");
    }
    return false;
  }

  static void ShowException(const char* text) {
    QMessageBox::critical(nullptr, ApplicationTitle(), QString::fromLocal8Bit(text));
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> status = orv::ui::AnswerCommandLine(argc, argv, stdout))
    return *status;
  // Ctrl-C in the terminal that started the window, a closed session or a
  // kill remove the temporary files of a run in progress; the targets stay
  // as they were. After a save the window ends with 0, as at any close.
  orv::platform::InstallInterruptHandlers(0);
  // The stores exist before the window and outlive it.
  orv::World& stores = ProgramStores();
  TApplication app(argc, argv);
  QApplication::setApplicationName(ApplicationTitle());
  try {
    orv::ui::QtWindowServices services;
    TForm1 form(stores, services);
    QApplication::setWindowIcon(form.windowIcon());
    Form1 = &form;
    form.show();
    TApplication::exec();
    Form1 = nullptr;
  } catch (const std::exception& e) {
    TApplication::ShowException(e.what());
  }
  return 0;
}
