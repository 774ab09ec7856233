// Times a conversion through the window's "convert !" (offscreen, slider at
// its default) against the same files, and what one pump of the window
// costs, for comparison with the command line's time on the same save.
//   gui_convert SOURCE WORLD_FILE CHAR_FILE [POSITIONS ILLEGAL]

#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>

#include <chrono>
#include <cstdio>
#include <string>

#include "engine/line_list.h"
#include "engine/world.h"
#include "ui/Unit1.h"
#include "ui/tests/scripted_services.h"

int main(int argc, char** argv) {
  if (argc != 4 && argc != 6) {
    std::fprintf(stderr, "usage: gui_convert SOURCE WORLD_FILE CHAR_FILE [POSITIONS ILLEGAL]\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  orv::World world;
  ScriptedServices services;
  TForm1 form(world, services);
  form.show();
  services.dialog_answers = {argv[1], argv[2], argv[3]};
  form.Button1Click();
  form.Button2Click();
  form.Button3Click();
  if (argc == 6) {
    orv::LineList positions, illegal;
    positions.LoadFromFile(argv[4]);
    illegal.LoadFromFile(argv[5]);
    auto lines = [](const orv::LineList& l) {
      QString text;
      for (const auto& line : l) text += QString::fromLatin1(line.data(), line.size()) + "\n";
      return text;
    };
    form.findChild<QCheckBox*>("CheckBox2")->click();
    form.findChild<QPlainTextEdit*>("Memo4")->setPlainText(lines(positions));
    form.findChild<QCheckBox*>("CheckBox1")->click();
    form.findChild<QPlainTextEdit*>("Memo5")->setPlainText(lines(illegal));
  }
  long pumps = 0;
  form.SetPumpObserver([&pumps] { ++pumps; });

  // The cost of one pump on its own: serve the events, repaint.
  const auto p0 = std::chrono::steady_clock::now();
  for (int i = 0; i < 1000; ++i) {
    form.ProcessMessages();
    form.Refresh();
  }
  const double pump_us =
      std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - p0).count() / 1000;
  pumps = 0;

  const auto t0 = std::chrono::steady_clock::now();
  form.BitBtn1Click();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("%.3f s, %ld pumps, %.1f us a pump\n", seconds, pumps, pump_us);
  return 0;
}
