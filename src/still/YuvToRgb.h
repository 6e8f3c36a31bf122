// The colours of the shutter-switch camera's frames. A frame of w × h pixels in the
// "PL41" or "PL4M" format is planar YUV with chroma halved both ways: w × h luma bytes
// (top row first), then the Cb plane at w × h and the Cr plane at w × h + (w × h) / 4;
// pixel (x, row) takes chroma sample (w / 2) × (row / 2) + x / 2 of each plane.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>

class CDib;

// One pixel's colour (0x00BBGGRR), in double precision with u = Cb − 128, v = Cr − 128:
// R = Y + 1.402 v, G = Y − 0.3441 u − 0.7139 v, B = Y + 1.7718 u − 0.0012 v, each
// limited to 0..255 and then truncated.
COLORREF YuvToRgb(BYTE y, BYTE cb, BYTE cr);

namespace vexol::still {

// The compression codes of such frames.
inline constexpr DWORD kFourccPl41 = 0x31344C50; // "PL41" in memory order
inline constexpr DWORD kFourccPl4M = 0x4D344C50; // "PL4M"

// Bytes the planes of a w × h frame reach up to (the last chroma sample read, plus one);
// 0 when a size is not positive.
std::size_t PlanarFrameBytes(LONG width, LONG height);

// Makes `dib` a 24-bit bitmap of the frame at `data` (`size` bytes), the frame's top row
// at the top of the picture, every pixel the colour YuvToRgb gives it. The rule is
// applied in integer steps per chroma sample; where those could differ from the double
// computation (a result exactly on an integer), the pixel is computed by YuvToRgb
// itself. FALSE, with `dib` as CDib::Create leaves it, when the frame is shorter than
// its planes or the bitmap cannot be made.
BOOL PlanarFrameToDib(const BYTE* data, std::size_t size, LONG width, LONG height, CDib& dib);

} // namespace vexol::still
