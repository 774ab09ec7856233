#ifndef ORVANTOR_PLATFORM_CONSOLE_H_
#define ORVANTOR_PLATFORM_CONSOLE_H_

// What the command line needs of the console it runs in: its arguments in
// UTF-8, text in UTF-8 shown as it is, and whether its error output is a
// terminal that takes escape codes (for the progress bar).
// POSIX implementation in console_posix.cpp, Windows in console_win.cpp.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace orv::platform {

// The program's arguments, program name first, in UTF-8. On Windows they are
// read again from the system in UTF-16 (GetCommandLineW): `argv` holds them
// in the ANSI code page, which loses every name outside it. Elsewhere `argv`
// as it is.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Makes the console show the UTF-8 that is written to it as bytes
// (Windows: its output code page, put back at exit). Nothing elsewhere.
void PrepareConsole();

// Writes UTF-8 `text` to `stream` and flushes it: to a Windows console as
// UTF-16 (right whatever its code page), elsewhere its bytes as they are.
// False when the text could not be written.
bool WriteText(std::FILE* stream, std::string_view text);

// Whether `stream` writes to a terminal (a console window on Windows).
bool IsTerminal(std::FILE* stream);

// Whether the terminal of `stream` takes escape codes such as "erase the
// line" (not a dumb terminal, never assumed of a Windows console).
bool TakesEscapeCodes(std::FILE* stream);

// The width in columns of the terminal or console `stream` writes to, else
// $COLUMNS, else 80.
int TerminalColumns(std::FILE* stream);

}  // namespace orv::platform

#endif  // ORVANTOR_PLATFORM_CONSOLE_H_
