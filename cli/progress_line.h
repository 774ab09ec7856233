#ifndef ORVANTOR_CLI_PROGRESS_LINE_H_
#define ORVANTOR_CLI_PROGRESS_LINE_H_

// The progress line the command line redraws on a terminal.

#include <cstdio>
#include <string>
#include <string_view>

namespace orv::cli {

// One line of at most `width` columns (never less than a few): the step
// ("3/8"), a bar for the step's gauge (`percent`, 0 to 100) and the
// overall percentage, which counts every step alike. The bar takes what
// room is left; on a narrow terminal it goes first, then the overall part.
std::string ProgressLine(int step, int steps, int percent, int width);

// The step line printed when a stage begins: "[3/8] deleting NPCs".
std::string StepLine(int step, int steps, std::string_view status);

// The width of the terminal `stream` writes to, else $COLUMNS, else 80.
int TerminalWidth(std::FILE* stream);

}  // namespace orv::cli

#endif  // ORVANTOR_CLI_PROGRESS_LINE_H_
