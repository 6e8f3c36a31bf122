// The outcome of a capture-file operation: a Win32-style code for the caller, the
// system error behind it and a short English text for the capture service's error
// callback. Operations never throw; they return one of these.
#pragma once

#include "platform/WinTypes.h"

#include <string>

namespace vexol::platform::capture {

// Codes beyond the shared set in WinTypes.h, with their published values.
inline constexpr DWORD kErrorPathNotFound = 3;
inline constexpr DWORD kErrorDiskFull = 112;
inline constexpr DWORD kErrorFileTooLarge = 223;
inline constexpr DWORD kErrorCancelled = 1223;

struct AviResult
{
    DWORD code = ERROR_SUCCESS;
    int sysError = 0; // errno behind the code, 0 when there is none
    std::string text; // what went wrong, for the user; empty on success

    bool Ok() const { return code == ERROR_SUCCESS; }

    static AviResult Success() { return {}; }
    static AviResult Fail(DWORD code, std::string text, int sysError = 0)
    {
        return AviResult{code, sysError, std::move(text)};
    }
    // A failed system call: maps errno to a code and appends the cause to `what`.
    static AviResult FromErrno(int error, const std::string& what);
};

// English cause of an errno value, independent of the process locale.
std::string DescribeErrno(int error);

} // namespace vexol::platform::capture
