#include "platform/capture/TestPatternRenderer.h"

#include "platform/capture/FrameConversion.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vexol::platform::capture {

namespace {

// 3 × 5 digit glyphs, one row per entry, bit 2 is the left column.
constexpr std::uint8_t kDigitGlyphs[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

constexpr std::uint64_t kKeyBars = 1ull << 32;
constexpr std::uint64_t kKeyRamp = 2ull << 32;
constexpr std::uint64_t kKeyText = 3ull << 32;
constexpr std::uint64_t kKeyBand = 4ull << 32;
constexpr std::uint64_t kKeyChecker = 5ull << 32;

inline std::uint32_t Grey(int v)
{
    const auto g = std::uint32_t(std::clamp(v, 0, 255));
    return (g << 16) | (g << 8) | g;
}

} // namespace

PatternLayout PatternLayout::For(int width, int height, std::uint64_t frameNumber)
{
    PatternLayout l{};
    l.barsEnd = height * 2 / 3;
    l.bandTop = height * 5 / 6;
    l.rampEnd = l.bandTop;
    const int step = std::max(1, width / 64);
    l.movingBarWidth = std::max(2, width / 40);
    l.movingBarX = width > 0 ? int((frameNumber * std::uint64_t(step)) % std::uint64_t(width)) : 0;
    return l;
}

TestPatternRenderer::TestPatternRenderer(const PatternSettings& settings, int width, int height,
                                         std::uint64_t frameNumber)
    : m_settings(settings), m_width(width), m_height(height), m_number(frameNumber),
      m_layout(PatternLayout::For(width, height, frameNumber))
{
    const int band = height - m_layout.bandTop;
    m_glyphScale = std::max(1, band / 8);
    m_textTop = m_layout.bandTop + std::max(0, (band - 5 * m_glyphScale) / 2);
}

std::uint32_t TestPatternRenderer::Adjust(std::uint32_t rgb) const
{
    const int b = std::clamp(m_settings.brightnessPercent, 0, 200);
    if (b == 100) {
        return rgb;
    }
    auto scale = [b](std::uint32_t c) { return std::min<std::uint32_t>(255, c * b / 100); };
    return (scale((rgb >> 16) & 0xFF) << 16) | (scale((rgb >> 8) & 0xFF) << 8) | scale(rgb & 0xFF);
}

std::uint64_t TestPatternRenderer::RowKey(int y) const
{
    if (y >= m_layout.bandTop) {
        const int glyphRow = (y - m_textTop) / m_glyphScale;
        if (y >= m_textTop && glyphRow < 5) {
            return kKeyText | std::uint64_t(glyphRow);
        }
        return kKeyBand;
    }
    switch (m_settings.pattern) {
    case TestPattern::ColourBars:
        return y < m_layout.barsEnd ? kKeyBars : kKeyRamp;
    case TestPattern::GreyRamp:
        return kKeyRamp;
    case TestPattern::Checkerboard:
        return kKeyChecker | std::uint64_t((y / std::max(4, m_width / 16)) & 1);
    }
    return 0;
}

void TestPatternRenderer::RenderRow(int y, std::uint32_t* rgb) const
{
    const int w = m_width;
    if (y >= m_layout.bandTop) {
        std::fill(rgb, rgb + w, 0u);
        DrawNumberRow(y, rgb);
        return;
    }
    const std::uint64_t key = RowKey(y);
    if (key == kKeyBars) {
        for (int x = 0; x < w; ++x) {
            rgb[x] = Adjust(kColourBarColours[std::min(7, x * 8 / w)]);
        }
    } else if (key == kKeyRamp) {
        for (int x = 0; x < w; ++x) {
            rgb[x] = Adjust(Grey(w > 1 ? x * 255 / (w - 1) : 0));
        }
    } else {
        const int cell = std::max(4, w / 16);
        const int rowParity = int(key & 1);
        const std::uint32_t light = Adjust(Grey(208)), dark = Adjust(Grey(48));
        for (int x = 0; x < w; ++x) {
            rgb[x] = ((x / cell) & 1) == rowParity ? light : dark;
        }
    }
    // The moving bar shows every colour under it inverted, so it is visible everywhere.
    const int end = std::min(w, m_layout.movingBarX + m_layout.movingBarWidth);
    for (int x = m_layout.movingBarX; x < end; ++x) {
        rgb[x] ^= 0xFFFFFF;
    }
}

void TestPatternRenderer::DrawNumberRow(int y, std::uint32_t* rgb) const
{
    const int glyphRow = (y - m_textTop) / m_glyphScale;
    if (y < m_textTop || glyphRow >= 5) {
        return;
    }
    const int s = m_glyphScale;
    const std::string digits = std::to_string(m_number);
    const std::uint32_t white = Adjust(0xFFFFFF);
    int x0 = 2 * s;
    for (char c : digits) {
        const std::uint8_t bits = kDigitGlyphs[c - '0'][glyphRow];
        for (int col = 0; col < 3; ++col) {
            if (bits & (4 >> col)) {
                const int from = x0 + col * s, to = std::min(m_width, from + s);
                for (int x = from; x < to; ++x) {
                    rgb[x] = white;
                }
            }
        }
        x0 += 4 * s;
        if (x0 >= m_width) {
            break;
        }
    }
    if (m_settings.markerOn) {
        const int boxWidth = 5 * s;
        const int from = std::max(0, m_width - 2 * s - boxWidth), to = std::max(0, m_width - 2 * s);
        for (int x = from; x < to; ++x) {
            rgb[x] = 0xFF0000;
        }
    }
}

void TestPatternRenderer::RenderDib(int bitCount, BYTE* out) const
{
    const int w = m_width, h = m_height;
    const std::size_t stride = VideoFormat::RgbStride(w, bitCount);
    std::vector<std::uint32_t> rgb(std::size_t(std::max(w, 1)));
    std::uint64_t previousKey = ~0ull;
    const BYTE* previousRow = nullptr;
    for (int y = 0; y < h; ++y) {
        BYTE* row = out + stride * std::size_t(h - 1 - y);
        const std::uint64_t key = RowKey(y);
        if (previousRow && key == previousKey) {
            std::memcpy(row, previousRow, stride);
            continue;
        }
        RenderRow(y, rgb.data());
        std::memset(row, 0, stride); // also clears the row padding
        for (int x = 0; x < w; ++x) {
            const auto r = BYTE(rgb[x] >> 16), g = BYTE(rgb[x] >> 8), b = BYTE(rgb[x]);
            switch (bitCount) {
            case 8:
                row[x] = EightBitIndex(r, g, b);
                break;
            case 16: {
                const WORD v = Rgb555(r, g, b);
                row[2 * x] = BYTE(v);
                row[2 * x + 1] = BYTE(v >> 8);
                break;
            }
            case 24:
                row[3 * x] = b;
                row[3 * x + 1] = g;
                row[3 * x + 2] = r;
                break;
            default:
                row[4 * x] = b;
                row[4 * x + 1] = g;
                row[4 * x + 2] = r;
                break;
            }
        }
        previousKey = key;
        previousRow = row;
    }
}

void TestPatternRenderer::RenderPlanarYuv(BYTE* out) const
{
    const int w = m_width, h = m_height;
    BYTE* luma = out;
    BYTE* cbPlane = out + std::size_t(w) * h;
    BYTE* crPlane = cbPlane + (std::size_t(w) * h) / 4;
    std::vector<std::uint32_t> top(std::size_t(std::max(w, 1))), bottom(top.size());
    for (int y = 0; y + 1 < h; y += 2) {
        RenderRow(y, top.data());
        RenderRow(y + 1, bottom.data());
        BYTE* y0 = luma + std::size_t(y) * w;
        BYTE* y1 = y0 + w;
        BYTE* cb = cbPlane + std::size_t(w / 2) * (y / 2);
        BYTE* cr = crPlane + std::size_t(w / 2) * (y / 2);
        for (int x = 0; x + 1 < w; x += 2) {
            int sr = 0, sg = 0, sb = 0;
            const std::uint32_t quad[4] = {top[x], top[x + 1], bottom[x], bottom[x + 1]};
            BYTE* lumaOut[4] = {y0 + x, y0 + x + 1, y1 + x, y1 + x + 1};
            for (int i = 0; i < 4; ++i) {
                const auto r = BYTE(quad[i] >> 16), g = BYTE(quad[i] >> 8), b = BYTE(quad[i]);
                BYTE yy, u, v;
                RgbToYuv(r, g, b, yy, u, v);
                *lumaOut[i] = yy;
                sr += r;
                sg += g;
                sb += b;
            }
            BYTE yy;
            RgbToYuv(BYTE(sr / 4), BYTE(sg / 4), BYTE(sb / 4), yy, cb[x / 2], cr[x / 2]);
        }
    }
}

} // namespace vexol::platform::capture
