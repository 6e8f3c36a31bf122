// Pixel conversions between the frame formats the drivers deliver and what the window,
// the clipboard and the still writer need: RGB 8-bit with colour table, 16-bit 5-5-5,
// 24-bit, 32-bit and planar YUV "PL41"; the cameras' YUY2, NV12 and MJPG frames convert
// through the camera driver's conversions.
#pragma once

#include "platform/capture/VideoFrame.h"

#include <QImage>
#include <cstddef>
#include <vector>

namespace vexol::platform::capture {

// 0x00BBGGRR from luma and the two chroma differences (full range).
COLORREF YuvToColour(BYTE y, BYTE cb, BYTE cr);
// Full-range luma and chroma of an RGB colour, the inverse of YuvToColour within rounding.
void RgbToYuv(BYTE r, BYTE g, BYTE b, BYTE& y, BYTE& cb, BYTE& cr);

// The 256-colour table of the 8-bit formats: a 6 × 6 × 6 colour cube (entries 0 to 215,
// levels 0, 51, ..., 255) followed by 40 greys from black to white.
const std::vector<RGBQUAD>& EightBitColours();
// The nearest entry of that table: greys from the grey ramp, other colours from the cube.
inline BYTE EightBitIndex(BYTE r, BYTE g, BYTE b)
{
    if (r == g && g == b) {
        return BYTE(216 + (r * 39 + 127) / 255);
    }
    auto level = [](BYTE c) { return (c + 25) / 51; };
    return BYTE(level(r) * 36 + level(g) * 6 + level(b));
}
inline WORD Rgb555(BYTE r, BYTE g, BYTE b)
{
    return WORD(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}

// True when the frame's buffer is large enough for its format and the format is one
// this service converts.
bool IsConvertibleFrame(const VideoFrame& frame);

// The frame as a top-down RGB32 image; a null image when the frame cannot be converted.
// `fit`, when not empty, is the size the picture is shown at: a JPEG frame is then
// decoded at the smallest size its decoder offers that still covers it.
QImage FrameToImage(const VideoFrame& frame, QSize fit = QSize());

// A PL41 frame as bottom-up 24-bit DIB rows padded to 4 bytes. False when the frame is
// not PL41 or its buffer is short.
bool Pl41ToBgr24Dib(const VideoFrame& frame, std::vector<BYTE>& dib);

} // namespace vexol::platform::capture
