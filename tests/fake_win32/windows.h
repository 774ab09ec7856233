#ifndef ORVANTOR_TESTS_FAKE_WIN32_WINDOWS_H_
#define ORVANTOR_TESTS_FAKE_WIN32_WINDOWS_H_

// Stands in for the system header where there is no Windows: the few types,
// values and calls that the power-off uses, with the layouts of 32-bit
// Windows. The calls are defined by the test, which records them and
// scripts their results.

#include <cstdint>

using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using BOOL = int;
using CHAR = char;
using LPCSTR = const char*;
using HANDLE = void*;
using PHANDLE = HANDLE*;
using PDWORD = DWORD*;

struct LUID {
  DWORD LowPart;
  LONG HighPart;
};
using PLUID = LUID*;

struct LUID_AND_ATTRIBUTES {
  LUID Luid;
  DWORD Attributes;
};

struct TOKEN_PRIVILEGES {
  DWORD PrivilegeCount;
  LUID_AND_ATTRIBUTES Privileges[1];
};
using PTOKEN_PRIVILEGES = TOKEN_PRIVILEGES*;

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
};
using LPOSVERSIONINFOA = OSVERSIONINFOA*;

#define FALSE 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2
#define TOKEN_QUERY 0x0008
#define TOKEN_ADJUST_PRIVILEGES 0x0020
#define SE_PRIVILEGE_ENABLED 0x00000002L
#define EWX_FORCE 0x00000004
#define EWX_POWEROFF 0x00000008

BOOL GetVersionExA(LPOSVERSIONINFOA info);
HANDLE GetCurrentProcess();
BOOL OpenProcessToken(HANDLE process, DWORD access, PHANDLE token);
BOOL LookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid);
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disable_all, PTOKEN_PRIVILEGES new_state,
                           DWORD length, PTOKEN_PRIVILEGES previous, PDWORD return_length);
BOOL ExitWindowsEx(UINT flags, DWORD reserved);

#endif  // ORVANTOR_TESTS_FAKE_WIN32_WINDOWS_H_
