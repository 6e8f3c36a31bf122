// What every part that reads or writes device-independent bitmaps agrees on: the bytes
// of a pixel row and the 14-byte file header in front of a packed bitmap in a BMP file.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>
#include <cstdint>

namespace vexol::platform {

// Bytes of one pixel row: rows are padded to a multiple of 4 bytes.
constexpr std::uint64_t DibRowBytes(std::uint64_t width, std::uint64_t bitCount)
{
    return (width * bitCount + 31) / 32 * 4;
}

inline constexpr WORD kBmpFileType = 0x4D42; // "BM"

// The file header of a BMP file holding a packed bitmap of `packedBytes` bytes (info
// header, colour table and pixels) whose pixels start `pixelOffset` bytes into it.
inline BITMAPFILEHEADER MakeBmpFileHeader(std::size_t packedBytes, std::size_t pixelOffset)
{
    BITMAPFILEHEADER file{};
    file.bfType = kBmpFileType;
    file.bfSize = DWORD(sizeof file + packedBytes);
    file.bfOffBits = DWORD(sizeof file + pixelOffset);
    return file;
}

} // namespace vexol::platform
