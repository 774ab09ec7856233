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

// What PrepareConsole changed, to put back when the program ends: the
// console belongs to the shell that started us.
UINT previous_code_page = 0;
DWORD previous_modes[2];
bool mode_changed[2];
constexpr DWORD kOutputs[2] = {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};

void PutConsoleBack() {
  if (previous_code_page != 0) ::SetConsoleOutputCP(previous_code_page);
  for (int i = 0; i < 2; ++i) {
    if (mode_changed[i]) ::SetConsoleMode(::GetStdHandle(kOutputs[i]), previous_modes[i]);
  }
}

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
  const UINT code_page = ::GetConsoleOutputCP();
  if (code_page != 0 && code_page != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8))
    previous_code_page = code_page;
  for (int i = 0; i < 2; ++i) {
    const HANDLE h = ::GetStdHandle(kOutputs[i]);
    DWORD mode = 0;
    if (!::GetConsoleMode(h, &mode) || (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) continue;
    // Refused by consoles before Windows 10: the bar then erases itself
    // with blanks.
    if (::SetConsoleMode(h, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {
      previous_modes[i] = mode;
      mode_changed[i] = true;
    }
  }
  std::atexit(PutConsoleBack);
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
  return ::WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != 0;
}

bool IsTerminal(std::FILE* stream) {
  DWORD mode = 0;
  return ::GetConsoleMode(HandleOf(stream), &mode) != 0;
}

bool TakesEscapeCodes(std::FILE* stream) {
  DWORD mode = 0;
  return ::GetConsoleMode(HandleOf(stream), &mode) != 0 &&
         (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace orv::platform
