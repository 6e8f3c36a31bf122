#include "platform/kernel/OsVersion.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <sys/utsname.h>

void ParseKernelRelease(const char* release, DWORD& major, DWORD& minor, DWORD& build)
{
    DWORD* parts[3] = {&major, &minor, &build};
    for (DWORD* part : parts) {
        *part = 0;
    }
    const char* p = release ? release : "";
    for (DWORD* part : parts) {
        if (*p < '0' || *p > '9') {
            break;
        }
        DWORD value = 0;
        for (; *p >= '0' && *p <= '9'; ++p) {
            value = value > 0xFFFFFFFFu / 10 ? 0xFFFFFFFFu : value * 10 + DWORD(*p - '0');
        }
        *part = value;
        if (*p != '.') {
            break;
        }
        ++p;
    }
}

BOOL GetVersionExA(OSVERSIONINFOA* info)
{
    if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        return FALSE;
    }
    utsname names{};
    if (uname(&names) != 0) {
        return FALSE;
    }
    ParseKernelRelease(names.release, info->dwMajorVersion, info->dwMinorVersion,
                       info->dwBuildNumber);
    info->dwPlatformId = VER_PLATFORM_LINUX;
    const std::string text = std::string(names.sysname) + " " + names.release;
    const std::size_t length = std::min(text.size(), sizeof info->szCSDVersion - 1);
    std::memcpy(info->szCSDVersion, text.data(), length);
    info->szCSDVersion[length] = '\0';
    return TRUE;
}
