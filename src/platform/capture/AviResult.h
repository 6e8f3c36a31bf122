// The outcome of a capture-file operation: a Win32-style code for the caller, the
// system error behind it and a text in the user's language for the capture service's
// error callback. Operations never throw; they return one of these.
#pragma once

#include "platform/FileTarget.h"
#include "platform/WinTypes.h"
#include "platform/capture/FileTexts.h"

#include <string>

namespace vexol::platform::capture {

// Codes beyond the shared set in WinTypes.h, with their published values.
inline constexpr DWORD kErrorPathNotFound = 3;
inline constexpr DWORD kErrorDiskFull = 112;
inline constexpr DWORD kErrorFileTooLarge = 223;
inline constexpr DWORD kErrorCancelled = 1223;
inline constexpr DWORD kErrorSharingViolation = 32; // the file is in use

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
    // A failed system call: maps errno to a code; the text says what was being done
    // and the system's reason.
    static AviResult FromErrno(int error, texts::FileAction action);
    // A refused or failed open (FileTarget.h); `captureFile` names the capture file.
    static AviResult FromCheck(const FileCheck& check, texts::FileAction action, bool captureFile);
};

// The system's reason for an errno value, in the user's language.
std::string DescribeErrno(int error);

} // namespace vexol::platform::capture
