// orvantor: the command line's entry (the rest is in main.cpp, a library
// that the tests and the fuzz targets drive too).

#include <string>
#include <vector>

#include "cli/main.h"
#include "platform/console.h"

int main(int argc, char** argv) {
  orv::platform::PrepareConsole();
  // File names in UTF-8, whatever the system hands a program.
  std::vector<std::string> arguments = orv::platform::ProgramArguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& a : arguments) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  return orv::cli::Main(static_cast<int>(arguments.size()), pointers.data(),
                        orv::cli::WorldMemory::kLeaveToTheExit);
}
