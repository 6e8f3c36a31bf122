// Draws the picture of the built-in cameras: a pattern (colour bars, grey ramp or
// checkerboard), a vertical bar that moves with the frame number, and the frame number
// itself in a black band at the bottom. The picture depends only on its settings, its
// size and the frame number, so frame N is always the same picture.
#pragma once

#include "platform/capture/VideoFrame.h"

#include <cstdint>
#include <vector>

namespace vexol::platform::capture {

enum class TestPattern {
    ColourBars,
    GreyRamp,
    Checkerboard,
};

struct PatternSettings
{
    TestPattern pattern = TestPattern::ColourBars;
    int brightnessPercent = 100; // 0 to 200; scales every colour
    bool markerOn = false;       // a red box at the right of the number band
};

// The eight bar colours, left to right, as 0x00RRGGBB at full brightness.
inline constexpr std::uint32_t kColourBarColours[8] = {
    0xFFFFFF, 0xFFFF00, 0x00FFFF, 0x00FF00, 0xFF00FF, 0xFF0000, 0x0000FF, 0x000000,
};

// Where the parts of the picture are, for a picture of the given size.
struct PatternLayout
{
    int barsEnd;    // rows [0, barsEnd) hold the pattern (colour bars: the bars)
    int rampEnd;    // colour bars only: rows [barsEnd, rampEnd) hold a grey ramp
    int bandTop;    // rows [bandTop, height) are the black number band
    int movingBarX; // left column of the moving bar (rows [0, bandTop))
    int movingBarWidth;

    static PatternLayout For(int width, int height, std::uint64_t frameNumber);
};

class TestPatternRenderer
{
public:
    TestPatternRenderer(const PatternSettings& settings, int width, int height,
                        std::uint64_t frameNumber);

    // A key that is equal for rows with equal contents, so that a row can be copied
    // instead of drawn again.
    std::uint64_t RowKey(int y) const;
    // Fills `rgb` (width entries, 0x00RRGGBB) with row y, counted from the top.
    void RenderRow(int y, std::uint32_t* rgb) const;

    // Renders the whole picture into an RGB frame buffer in DIB layout (bottom-up rows
    // padded to 4 bytes) of the given depth: 8 (EightBitColours), 16 (5-5-5),
    // 24 or 32 bits. `out` must hold stride × height bytes.
    void RenderDib(int bitCount, BYTE* out) const;

    // Renders the picture as planar YUV 4:2:0 (luma, Cb, Cr, top row first) into `out`,
    // which must hold width × height × 3 / 2 bytes. Width and height must be even.
    void RenderPlanarYuv(BYTE* out) const;

private:
    std::uint32_t Adjust(std::uint32_t rgb) const;
    void DrawNumberRow(int y, std::uint32_t* rgb) const;

    PatternSettings m_settings;
    int m_width;
    int m_height;
    std::uint64_t m_number;
    PatternLayout m_layout;
    int m_glyphScale;
    int m_textTop;
};

} // namespace vexol::platform::capture
