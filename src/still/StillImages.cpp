#include "still/StillImages.h"

#include "capture/CCaptureWindowBase.h"
#include "platform/BitmapLayout.h"
#include "platform/kernel/PathNames.h"
#include "platform/kernel/TempFiles.h"
#include "settings/RegistryStore.h"
#include "still/CDib.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace vexol::still {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = sizeof(BITMAPINFOHEADER);

// True when `size` bytes after the header hold every pixel row the header describes.
bool HoldsPixels(const BITMAPINFOHEADER& header, std::size_t size)
{
    if (header.biWidth <= 0 || header.biHeight <= 0) {
        return false;
    }
    const std::uint64_t stride =
        vexol::platform::DibRowBytes(std::uint64_t(header.biWidth), header.biBitCount);
    return kInfoHeaderSize + stride * std::uint64_t(header.biHeight) <= size;
}

BOOL WriteJpeg(const char* path, CDib& bitmap, INT jpegMode)
{
    const SIZE size = bitmap.GetSize();
    const JpegEncodeParams params = JpegParamsFor(jpegMode, size.cx, size.cy);
    JPEGHANDLE handle = 0;
    if (JpegEncoderCompress(bitmap.GetData(), &handle, &params) != JPEGENC_OK) {
        return FALSE;
    }
    const DWORD written = JpegEncoderWriteFile(path, handle, &params);
    JpegEncoderFree(&handle);
    return written == JPEGENC_OK ? TRUE : FALSE;
}

} // namespace

BOOL LoadStillFile(const std::uint8_t* file, std::size_t size, CDib& bitmap)
{
    bitmap.Clear();
    if (!file || size < kFileHeaderSize + kInfoHeaderSize ||
        size - kFileHeaderSize > CDib::kSizeNotGiven - 1) {
        return FALSE;
    }
    const std::uint8_t* dib = file + kFileHeaderSize;
    size -= kFileHeaderSize;
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib, sizeof header);
    switch (header.biBitCount) {
    case 2:
    case 4:
    case 8:
        return bitmap.LoadPackedDib(dib, DWORD(size)) && bitmap.ConvertTo24Bit();
    case 16:
        return HoldsPixels(header, size) &&
               bitmap.CreateFrom16Bit(dib + kInfoHeaderSize, header.biWidth, header.biHeight);
    case 32:
        return HoldsPixels(header, size) &&
               bitmap.CreateFrom32Bit(dib + kInfoHeaderSize, header.biWidth, header.biHeight);
    default:
        return bitmap.LoadPackedDib(dib, DWORD(size));
    }
}

JpegEncodeParams JpegParamsFor(INT jpegMode, LONG width, LONG height)
{
    switch (jpegMode) {
    case kJpegHigh:
        return {width, height, 1, 1, 5, 0};
    case kJpegLow:
        return {width, height, 2, 2, 75, 0};
    default:
        return {width, height, 2, 2, 20, 0};
    }
}

bool IsJpegName(std::string_view path)
{
    const std::string extension = platform::kernel::SplitPath(path).extension;
    return ::strcasecmp(extension.c_str(), ".jpg") == 0;
}

std::string NumberedStillName(std::string_view base, INT counter)
{
    const platform::kernel::PathParts parts = platform::kernel::SplitPath(base);
    const int number = int((std::int64_t(counter) + 1) % 10000);
    char digits[16];
    std::snprintf(digits, sizeof digits, "_%04d", number);
    return parts.drive + parts.directory + parts.name + digits + parts.extension;
}

INT NextStillCounter(INT counter)
{
    const std::int64_t next = std::int64_t(counter) + 1;
    return INT(next >= 10000 ? next - 10000 : next);
}

BOOL TakeStillImage(CCaptureWindowBase& capture, CDib& bitmap)
{
    bitmap.Clear();
    // Made exclusively and for the user alone, so nobody can have placed a link or a
    // file of their own under the name the driver writes to.
    const std::string temporary = platform::kernel::CreateTemporaryFile("Vexol", ".bmp");
    if (temporary.empty()) {
        return FALSE;
    }
    platform::kernel::MappedFile file;
    const bool read = capture.SaveFrameAsDib(temporary.c_str()) && file.Open(temporary.c_str());
    platform::kernel::DeleteFile(temporary.c_str());
    return read ? LoadStillFile(file.Data(), file.Size(), bitmap) : FALSE;
}

BOOL SaveStillImage(const char* path, CDib* bitmap, INT jpegMode, CCaptureWindowBase* capture)
{
    if (!path || !*path) {
        return FALSE;
    }
    CDib taken;
    if (!bitmap) {
        if (!capture || !TakeStillImage(*capture, taken)) {
            return FALSE;
        }
        bitmap = &taken;
    }
    return IsJpegName(path) ? WriteJpeg(path, *bitmap, jpegMode) : bitmap->WriteBmpFile(path);
}

BOOL SaveNumberedStill(RegistryStore& store, CDib* bitmap, CCaptureWindowBase* capture)
{
    if (store.m_strContinuousBase.empty()) {
        return FALSE;
    }
    const std::string name =
        NumberedStillName(store.m_strContinuousBase, store.m_nContinuousCounter);
    if (!SaveStillImage(name.c_str(), bitmap, store.m_nJpegMode, capture)) {
        return FALSE;
    }
    store.m_nContinuousCounter = NextStillCounter(store.m_nContinuousCounter);
    return TRUE;
}

} // namespace vexol::still
