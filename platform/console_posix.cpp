#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/console.h"

namespace orv::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void PrepareConsole() {}

bool WriteText(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  return std::fflush(stream) == 0 && std::ferror(stream) == 0;
}

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

bool TakesEscapeCodes(std::FILE* stream) {
  const char* term = std::getenv("TERM");
  return IsTerminal(stream) && (term == nullptr || std::strcmp(term, "dumb") != 0);
}

int TerminalColumns(std::FILE* stream) {
  winsize size{};
  if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  if (const char* columns = std::getenv("COLUMNS")) {
    const int n = std::atoi(columns);
    if (n > 0) return n;
  }
  return 80;
}

}  // namespace orv::platform
