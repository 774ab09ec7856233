#include "ui/command_line.h"

#include <cstring>
#include <string>

#include "engine/caption.h"

namespace orv::ui {
namespace {

constexpr const char* kHelp =
    "Usage: orvantor-gui [-h | --help] [-V | --version] [Qt options]\n"
    "\n"
    "The ORVANTOR window: converts a Kelmarch world save (.scp) written by ORV into\n"
    "the character file and the world file that VANTOR expects, cleaning the world\n"
    "on the way. Choose the source world save and both targets with the three\n"
    "\"Browse...\" buttons (or drop a .scp file on the window to choose the source),\n"
    "set the switches and the lists, and press \"convert !\". Every file dialog\n"
    "opens in the folder of the file last chosen; nothing is kept between starts.\n"
    "\n"
    "Options:\n"
    "  -h, --help     print this help and exit\n"
    "  -V, --version  print the version and exit\n"
    "\n"
    "Qt's own options are accepted too, for example -platform offscreen or\n"
    "-display :1. To convert from a shell or a script: orvantor convert --help.\n";

bool Is(const char* arg, const char* short_name, const char* long_name) {
  return std::strcmp(arg, short_name) == 0 || std::strcmp(arg, long_name) == 0;
}

}  // namespace

std::optional<int> AnswerCommandLine(int argc, const char* const* argv, std::FILE* out) {
  const std::string version = "orvantor-gui 4.0 (" + std::string(kCaption) + ")\n";
  const char* text = nullptr;
  for (int i = 1; i < argc && text == nullptr; ++i) {
    if (Is(argv[i], "-h", "--help")) text = kHelp;
    if (Is(argv[i], "-V", "--version")) text = version.c_str();
  }
  if (text == nullptr) return std::nullopt;
  const bool written = std::fputs(text, out) >= 0 && std::fflush(out) == 0;
  if (!written) std::fputs("orvantor-gui: cannot write the answer to standard output\n", stderr);
  return written ? 0 : 1;
}

}  // namespace orv::ui
