#include <windows.h>
// After windows.h, which it builds on.
#include <io.h>
#include <shellapi.h>

#include <cstdlib>

#include "platform/console.h"
#include "platform/utf16_win.h"

namespace orv::platform {
namespace {

HANDLE HandleOf(std::FILE* stream) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
}

// The console's output code page before PrepareConsole, to put back when
// the program ends: the console belongs to the shell that started us.
UINT previous_code_page = 0;

void PutCodePageBack() { ::SetConsoleOutputCP(previous_code_page); }

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

void PrepareConsole() {
  // For the bytes written straight to the console (an interrupt's line).
  const UINT code_page = ::GetConsoleOutputCP();
  if (code_page == 0 || code_page == CP_UTF8 || !::SetConsoleOutputCP(CP_UTF8)) return;
  previous_code_page = code_page;
  std::atexit(PutCodePageBack);
}

bool WriteText(std::FILE* stream, std::string_view text) {
  const HANDLE console = HandleOf(stream);
  DWORD mode = 0;
  if (!::GetConsoleMode(console, &mode)) {
    std::fwrite(text.data(), 1, text.size(), stream);
    return std::fflush(stream) == 0 && std::ferror(stream) == 0;
  }
  // The C library would write the bytes in its own code page; the console
  // takes UTF-16 whatever its own.
  std::fflush(stream);
  const std::wstring wide = Utf16(text);
  DWORD written = 0;
  return ::WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written,
                         nullptr) != 0;
}

bool IsTerminal(std::FILE* stream) {
  DWORD mode = 0;
  return ::GetConsoleMode(HandleOf(stream), &mode) != 0;
}

// Consoles before Windows 10 show escape codes as text, and so does Wine's
// even when it says it takes them; blanks erase a line on every one.
bool TakesEscapeCodes(std::FILE*) { return false; }

int TerminalColumns(std::FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (::GetConsoleScreenBufferInfo(HandleOf(stream), &info) != 0) {
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    if (columns > 0) return columns;
  }
  if (const char* columns = std::getenv("COLUMNS")) {
    const int n = std::atoi(columns);
    if (n > 0) return n;
  }
  return 80;
}

}  // namespace orv::platform
