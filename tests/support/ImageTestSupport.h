// Test helpers for pictures: building packed 24-bit DIBs in memory and decoding JPEG
// data with TurboJPEG as an independent reader.
#pragma once

#include "platform/WinTypes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vexol::test {

// Colour of the pixel at column x, row y counted from the top of the picture.
using PixelFunction = std::function<COLORREF(int x, int y)>;

// A packed DIB: 40-byte header, then 24-bit rows bottom-up, each padded to 4 bytes
// with `padding` bytes (so a reader that ignores the stride sees them).
std::vector<std::uint8_t> MakePackedDib24(int width, int height, const PixelFunction& pixel,
                                          std::uint8_t padding = 0xA5);

// Row stride of a 24-bit DIB row.
int DibStride24(int width);

// A JPEG decoded to top-down RGB.
struct DecodedJpeg
{
    bool ok = false;
    int width = 0;
    int height = 0;
    int subsampling = -1; // TJSAMP_*
    std::vector<std::uint8_t> rgb;

    COLORREF At(int x, int y) const;
};

DecodedJpeg DecodeJpeg(const std::vector<std::uint8_t>& data);
DecodedJpeg DecodeJpegFile(const std::string& path);

// The bytes of a regular file; empty when there is none.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path);

// Mean absolute difference per channel between `decoded` and `pixel`.
double MeanAbsoluteError(const DecodedJpeg& decoded, const PixelFunction& pixel);

// Largest per-channel difference between two colours.
int ColourDistance(COLORREF a, COLORREF b);

} // namespace vexol::test
