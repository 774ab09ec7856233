# What the Windows build needs beside the toolchain file: the platform
# layer's Win32 sources, the command-line parser (header-only, taken from the
# build machine's package without its other headers) and GoogleTest built
# from Debian's sources, as there is no MinGW package of either.

set(ORVANTOR_PLATFORM_SOURCES
  platform/file_system_win.cpp
  platform/source_fault_win.cpp
  platform/interrupts_win.cpp
  platform/power_off_win.cpp
  platform/bulk_memory_win.cpp
  platform/thread_priority_win.cpp
  platform/console_win.cpp
  platform/utf16_win.cpp
)
set(ORVANTOR_PLATFORM_LIBRARIES advapi32 user32 shell32)
# Windows 8 and later: the calls the platform layer makes are declared.
add_compile_definitions(_WIN32_WINNT=0x0602 WINVER=0x0602 UNICODE _UNICODE NOMINMAX
                        WIN32_LEAN_AND_MEAN)

# Only CLI/ of the build machine's /usr/include, so that no Linux header can
# be found by the cross compiler.
find_path(ORVANTOR_CLI11_HEADERS CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
          NO_DEFAULT_PATH REQUIRED)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/cli11)
file(CREATE_LINK ${ORVANTOR_CLI11_HEADERS}/CLI ${CMAKE_BINARY_DIR}/cli11/CLI SYMBOLIC)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}/cli11)

set(ORVANTOR_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${ORVANTOR_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Its own warnings are not ours to fix.
target_compile_options(gtest PRIVATE -w)
