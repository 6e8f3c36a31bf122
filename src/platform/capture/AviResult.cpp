#include "platform/capture/AviResult.h"

#include "platform/AtomicFile.h"
#include "platform/capture/AviFormat.h"

#include <cerrno>

namespace vexol::platform::capture {

std::string DescribeErrno(int error)
{
    return texts::SystemError(res::UserLanguage(), error);
}

AviResult AviResult::FromErrno(int error, texts::FileAction action)
{
    DWORD code = ERROR_WRITE_FAULT;
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        code = kErrorDiskFull;
        break;
    case EFBIG:
        code = kErrorFileTooLarge;
        break;
    case ENOENT:
    case ENOTDIR:
        code = kErrorPathNotFound;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        code = ERROR_ACCESS_DENIED;
        break;
    case ENOMEM:
        code = ERROR_NOT_ENOUGH_MEMORY;
        break;
    case ENAMETOOLONG:
    case EINVAL:
        code = ERROR_INVALID_PARAMETER;
        break;
    default:
        break;
    }
    return Fail(code, texts::FileError(res::UserLanguage(), action, DescribeErrno(error)), error);
}

AviResult AviResult::FromCheck(const FileCheck& check, texts::FileAction action, bool captureFile)
{
    if (check.refusal == FileRefusal::SystemError) {
        return FromErrno(check.error, action);
    }
    const DWORD code =
        check.refusal == FileRefusal::InUse ? kErrorSharingViolation : ERROR_ACCESS_DENIED;
    return Fail(code,
                texts::FileError(res::UserLanguage(), action,
                                 texts::Refusal(res::UserLanguage(), check, captureFile)),
                ErrnoOf(check));
}

std::string FourCCText(FOURCC code)
{
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = char((code >> (8 * i)) & 0xFF);
        text += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return text;
}

} // namespace vexol::platform::capture
