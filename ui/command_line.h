#ifndef ORVANTOR_UI_COMMAND_LINE_H_
#define ORVANTOR_UI_COMMAND_LINE_H_

// What orvantor-gui does with its arguments before it opens the window:
// --help and --version are answered on the spot, without a display; every
// other argument is left to Qt (-platform, -display, -style, ...).

#include <cstdio>
#include <optional>

namespace orv::ui {

// Prints the help (-h, --help) or the version (-V, --version) to `out` when
// an argument asks for it, and returns the exit status the program ends
// with (0, or 1 when `out` cannot be written); otherwise returns nothing.
std::optional<int> AnswerCommandLine(int argc, const char* const* argv, std::FILE* out);

}  // namespace orv::ui

#endif  // ORVANTOR_UI_COMMAND_LINE_H_
