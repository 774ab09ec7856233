// The Windows side of interrupts.h: the console's events, taken with
// SetConsoleCtrlHandler. The system calls the handler on a thread of its
// own, and ends the process as soon as the handler returns from a closed
// console window, a logoff or a shutdown; so the handler never returns
// during a run, but waits for whoever ends the process. There are no
// signals to hold off or to ignore: a closed pipe is a write error anyway.

#include <windows.h>

#include <cstring>

#include "platform/interrupts.h"
#include "platform/process_end.h"

namespace orv::platform {
namespace {

// The status of a console program ended by Ctrl+C, as cmd.exe and
// PowerShell know it (STATUS_CONTROL_C_EXIT).
constexpr UINT kInterruptedStatus = 0xC000013A;

// The events are numbered from 0 (Ctrl+C); the interrupts from 1.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (!ActOnInterrupt(static_cast<int>(event) + 1)) return FALSE;  // the next handler's
  AwaitTheEnd();
}

}  // namespace

void InstallSystemInterruptHandlers() { ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

const char* InterruptName(int interrupt) {
  switch (interrupt - 1) {
    case CTRL_C_EVENT: return "Ctrl+C";
    case CTRL_BREAK_EVENT: return "Ctrl+Break";
    case CTRL_CLOSE_EVENT: return "closing the console window";
    case CTRL_LOGOFF_EVENT: return "logoff";
    case CTRL_SHUTDOWN_EVENT: return "shutdown";
  }
  return "a console event";
}

void EndByInterrupt(int) { ExitNow(static_cast<int>(kInterruptedStatus)); }

// Not ExitProcess: that would run the libraries' detach code while other
// threads may hold their locks.
void ExitNow(int status) {
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(status));
  for (;;) ::Sleep(INFINITE);
}

void AwaitTheEnd() {
  for (;;) ::Sleep(INFINITE);
}

void RemoveFileNow(const char* path) {
  // Only the thread that ends the process removes files: one buffer will do.
  static wchar_t wide[32768];
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, path, -1, wide, 32768);
  if (n > 0) ::DeleteFileW(wide);
}

const char* ProgramName() {
  // The executable's name without its folder and ".exe".
  static const char* const name = [] {
    static char buffer[MAX_PATH] = "orvantor";
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return static_cast<const char*>(buffer);
    const wchar_t* base = path;
    for (const wchar_t* p = path; *p != L'\0'; ++p)
      if (*p == L'\\' || *p == L'/') base = p + 1;
    char utf8[MAX_PATH * 3];
    if (::WideCharToMultiByte(CP_UTF8, 0, base, -1, utf8, sizeof utf8, nullptr, nullptr) <= 0)
      return static_cast<const char*>(buffer);
    std::size_t len = std::strlen(utf8);
    if (len > 4 && ::lstrcmpiA(utf8 + len - 4, ".exe") == 0) len -= 4;
    if (len >= sizeof buffer) len = sizeof buffer - 1;
    std::memcpy(buffer, utf8, len);
    buffer[len] = '\0';
    return static_cast<const char*>(buffer);
  }();
  return name;
}

void SayFromHandler(const char* text) {
  const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
  if (err == nullptr || err == INVALID_HANDLE_VALUE) return;
  DWORD left = static_cast<DWORD>(std::strlen(text));
  while (left > 0) {
    DWORD written = 0;
    if (!::WriteFile(err, text, left, &written, nullptr) || written == 0) return;
    text += written;
    left -= written;
  }
}

}  // namespace orv::platform
