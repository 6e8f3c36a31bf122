// CDib conversions and rectangle copies: the row-wise paths must give exactly what the
// pixel-by-pixel definition (GetPixel / SetPixel) gives.
#include "DibTestSupport.h"

#include <gtest/gtest.h>

using namespace vexol::test;

namespace {

// The pixel-by-pixel definition of a 24-bit copy: `pixel(x, y)` for every pixel.
CDib Reference24(int width, int height, const std::function<COLORREF(int, int)>& pixel)
{
    CDib out;
    out.Create(24, width, height, nullptr, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            out.SetPixel(x, y, pixel(x, y));
        }
    }
    return out;
}

} // namespace

TEST(CDibConvert, To24BitEqualsPixelByPixelOnRandomData)
{
    std::mt19937 random(7);
    // Tables shorter than the bit count indexes: the rest read black.
    const std::pair<int, DWORD> cases[] = {{1, 0}, {1, 1}, {4, 0}, {4, 5}, {8, 0}, {8, 100}};
    for (const auto& [bits, clrUsed] : cases) {
        for (int width : {1, 7, 33}) {
            CDib dib = MakeDib(
                bits, width, 5, [&](int, int) { return DWORD(random()); }, clrUsed);
            const CDib reference =
                Reference24(width, 5, [&](int x, int y) { return dib.GetPixel(x, y); });
            dib.m_nError = 55;
            ASSERT_TRUE(dib.ConvertTo24Bit());
            EXPECT_EQ(dib.m_nError, 55u);
            EXPECT_TRUE(SameBytes(dib, reference)) << bits << " " << clrUsed << " " << width;
        }
    }
    CDib dib = MakeDib(24, 3, 3, [](int x, int) { return DWORD(x); });
    const CDib before = dib;
    EXPECT_TRUE(dib.ConvertTo24Bit());
    EXPECT_TRUE(SameBytes(dib, before));
    CDib empty;
    EXPECT_FALSE(empty.ConvertTo24Bit()); // empty stays empty
    EXPECT_EQ(empty.m_nError, ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(IsEmpty(empty));
}

TEST(CDibConvert, From16And32BitEqualPixelByPixel)
{
    std::mt19937 random(11);
    for (int width : {1, 2, 5, 64}) {
        const int words = width + (width & 1); // odd rows carry one padding word
        std::vector<BYTE> in16(2 * words * 3), in32(4 * width * 3);
        std::generate(in16.begin(), in16.end(), [&] { return BYTE(random()); });
        std::generate(in32.begin(), in32.end(), [&] { return BYTE(random()); });
        CDib dib;
        ASSERT_TRUE(dib.CreateFrom16Bit(in16.data(), width, 3));
        EXPECT_TRUE(SameBytes(dib, Reference24(width, 3, [&](int x, int y) {
                                  const BYTE* w = &in16[2 * (y * words + x)];
                                  const unsigned v = w[0] | (w[1] << 8);
                                  return RGB(BYTE(((v >> 10) & 31) << 3),
                                             BYTE(((v >> 5) & 31) << 3), BYTE((v & 31) << 3));
                              })));
        ASSERT_TRUE(dib.CreateFrom32Bit(in32.data(), width, 3));
        EXPECT_TRUE(SameBytes(dib, Reference24(width, 3, [&](int x, int y) {
                                  const BYTE* p = &in32[4 * (y * width + x)];
                                  return RGB(p[2], p[1], p[0]);
                              })));
    }
}

TEST(CDibConvert, BadInputLeavesTheBitmapUnchanged)
{
    const std::vector<BYTE> pixels(64);
    const struct
    {
        const void* data;
        int width, height;
        DWORD error;
    } cases[] = {
        {nullptr, 2, 2, ERROR_INVALID_PARAMETER},
        {pixels.data(), 0, 2, ERROR_INVALID_PARAMETER},
        {pixels.data(), 2, -3, ERROR_INVALID_PARAMETER},
        {pixels.data(), 0x7FFFFFFF, 0x7FFFFFFF, ERROR_INVALID_PARAMETER},
        {pixels.data(), 30000, 30000, ERROR_NOT_ENOUGH_MEMORY},
    };
    for (const auto& c : cases) {
        for (bool from16 : {true, false}) {
            CDib dib = MakeDib(24, 2, 1, [](int, int) { return RGB(5, 6, 7); });
            const CDib before = dib;
            EXPECT_FALSE(from16 ? dib.CreateFrom16Bit(c.data, c.width, c.height)
                                : dib.CreateFrom32Bit(c.data, c.width, c.height));
            EXPECT_EQ(dib.m_nError, c.error) << c.width;
            EXPECT_TRUE(SameBytes(dib, before));
        }
    }
}

TEST(CDibCopy, ClipsAndKeepsPixelsInPlace)
{
    const CDib src = MakeDib(24, 4, 4, [](int x, int y) { return RGB(x + 1, y + 1, 9); });
    const struct
    {
        RECT rect;
        int x, y;
    } cases[] = {
        {{0, 0, 4, 4}, 0, 0},
        {{1, 1, 3, 3}, 2, 2},
        {{0, 0, 4, 4}, -2, -1}, // clipped at the left and bottom
        {{2, 2, 6, 6}, 0, 0},   // source partly outside: black
    };
    for (const auto& c : cases) {
        CDib dst;
        ASSERT_TRUE(dst.Create(24, 4, 4, nullptr, RGB(200, 200, 200)));
        ASSERT_TRUE(dst.CopyFrom(&src, c.rect, c.x, c.y));
        // Destination (i, j) shows source (i - x + left, j - y + top) inside the copied area.
        const CDib expected = Reference24(4, 4, [&](int i, int j) {
            const int sx = i - c.x + c.rect.left, sy = j - c.y + c.rect.top;
            const bool copied =
                sx >= c.rect.left && sx < c.rect.right && sy >= c.rect.top && sy < c.rect.bottom;
            return !copied ? RGB(200, 200, 200) : src.GetPixel(sx, sy);
        });
        EXPECT_TRUE(SameBytes(dst, expected)) << c.x << "," << c.y;
    }
}

TEST(CDibCopy, WithinItselfAndRefusals)
{
    CDib dib = MakeDib(24, 5, 1, [](int x, int) { return RGB(x, 0, 0); });
    ASSERT_TRUE(dib.CopyFrom(&dib, RECT{0, 0, 4, 1}, 1, 0)); // overlapping shift right
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(dib.GetPixel(x, 0), RGB(x == 0 ? 0 : x - 1, 0, 0)) << x;
    }
    EXPECT_TRUE(dib.CopyFrom(&dib, RECT{3, 0, 1, 1}, 0, 0)); // empty rectangle: nothing
    EXPECT_EQ(dib.GetPixel(0, 0), 0u);

    EXPECT_FALSE(dib.CopyFrom(nullptr, RECT{0, 0, 1, 1}, 0, 0));
    EXPECT_EQ(dib.m_nError, ERROR_INVALID_PARAMETER);
    for (CDib target : {CDib(), MakeDib(8, 2, 2, [](int, int) { return 1u; })}) {
        EXPECT_FALSE(target.CopyFrom(&dib, RECT{0, 0, 1, 1}, 0, 0));
        EXPECT_EQ(target.m_nError, ERROR_INVALID_PARAMETER);
    }
}
