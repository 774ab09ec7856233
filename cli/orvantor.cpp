// orvantor: the command line's entry (the rest is in main.cpp, a library
// that the tests and the fuzz targets drive too).

#include "cli/main.h"

int main(int argc, char** argv) { return orv::cli::Main(argc, argv); }
