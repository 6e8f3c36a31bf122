// The operating system version query. It reports this platform as it is: Linux, with
// the running kernel's version, under a platform ID of its own next to the published
// Windows family IDs, so that code asking "which platform?" gets a true answer.
#pragma once

#include "platform/WinTypes.h"

struct OSVERSIONINFOA
{
    DWORD dwOSVersionInfoSize; // set by the caller to sizeof(OSVERSIONINFOA)
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128]; // here: the system name and full kernel release
};
static_assert(sizeof(OSVERSIONINFOA) == 148);

inline constexpr DWORD VER_PLATFORM_WIN32s = 0;
inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
// Not a Windows family: a Linux kernel. Major, minor and build are the kernel's
// "major.minor.patch".
inline constexpr DWORD VER_PLATFORM_LINUX = 0x100;

// Fills `info` and returns TRUE. FALSE (nothing written but the size) for a null
// record, a size field other than sizeof(OSVERSIONINFOA), or when the kernel cannot be
// asked.
BOOL GetVersionExA(OSVERSIONINFOA* info);

// Parses a kernel release text ("6.1.0-18-amd64") into its first three numbers;
// missing numbers are 0. Exposed for tests.
void ParseKernelRelease(const char* release, DWORD& major, DWORD& minor, DWORD& build);
