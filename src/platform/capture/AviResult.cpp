#include "platform/capture/AviResult.h"

#include "platform/capture/AviFormat.h"

#include <cerrno>

namespace vexol::platform::capture {

std::string DescribeErrno(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return "the disk is full";
    case EFBIG:
        return "the file has reached the largest size allowed";
    case EIO:
        return "an input/output error occurred";
    case ENOENT:
        return "the file or its folder does not exist";
    case ENOTDIR:
        return "a part of the path is not a folder";
    case EACCES:
    case EPERM:
        return "access was denied";
    case EROFS:
        return "the disk is read-only";
    case EISDIR:
        return "the path is a folder";
    case ENAMETOOLONG:
        return "the path is too long";
    case ENOMEM:
        return "there is not enough memory";
    case EMFILE:
    case ENFILE:
        return "too many files are open";
    default:
        return "system error " + std::to_string(error);
    }
}

AviResult AviResult::FromErrno(int error, const std::string& what)
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
    return Fail(code, what + ": " + DescribeErrno(error) + ".", error);
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
