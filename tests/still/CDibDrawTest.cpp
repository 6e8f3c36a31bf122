// CDib::Draw into a QImage surface: own size, nearest-neighbour stretch, palette forms.
#include "DibTestSupport.h"
#include "platform/framework/Palette.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace vexol::test;

namespace {

constexpr QRgb kBackground = 0xFF123456;

// Draws with `draw` into a fresh surface and checks every pixel: inside the logical
// rectangle test `inside(lx, ly)` gives the bitmap pixel `source(lx, ly)` counted from
// the top, elsewhere the background. The painter is translated by (dx, dy).
void ExpectDrawn(const CDib& dib, const std::function<BOOL(QPainter*)>& draw,
                 const std::function<QPoint(int, int)>& source, int dx = 0, int dy = 0)
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter painter(&image);
    painter.translate(dx, dy);
    ASSERT_TRUE(draw(&painter));
    painter.end();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QPoint s = source(x - dx, y - dy);
            QRgb expected = kBackground;
            if (s.x() >= 0) {
                const COLORREF c = dib.GetPixel(s.x(), dib.GetSize().cy - 1 - s.y());
                expected = qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
            }
            ASSERT_EQ(image.pixel(x, y), expected) << x << "," << y;
        }
    }
}

} // namespace

TEST(CDibDraw, OwnSizeAtTheTopLeftOfAZeroWidthRectangle)
{
    for (int bits : {1, 4, 8, 24}) {
        CDib dib = MakeDib(bits, 5, 3, [](int x, int y) { return DWORD(x + 5 * y) * 0x0F0E0D; });
        SCOPED_TRACE(bits);
        ExpectDrawn(
            dib,
            [&](QPainter* p) {
                return dib.Draw(p, RECT{10, 4, 10, 20});
            },
            [](int x, int y) {
                const bool in = x >= 10 && x < 15 && y >= 4 && y < 7;
                return in ? QPoint(x - 10, y - 4) : QPoint(-1, -1);
            });
    }
}

TEST(CDibDraw, StretchesIntoTheNormalisedRectangleInEveryPaletteForm)
{
    CDib dib = MakeDib(8, 4, 3, [](int x, int y) { return DWORD(x + 4 * y); });
    auto palette = dib.MakePalette();
    const RECT reversed{31, 20, 3, 2}; // normalised: (3, 2) - (31, 20), 28 x 18
    const std::function<BOOL(QPainter*)> forms[] = {
        [&](QPainter* p) { return dib.Draw(p, reversed); },
        [&](QPainter* p) { return dib.Draw(p, reversed, palette.get()); },
        [&](QPainter* p) { return dib.Draw(p, reversed, nullptr); },
    };
    for (const auto& draw : forms) {
        ExpectDrawn(dib, draw, [](int x, int y) {
            const bool in = x >= 3 && x < 31 && y >= 2 && y < 20;
            return in ? QPoint((x - 3) * 4 / 28, (y - 2) * 3 / 18) : QPoint(-1, -1);
        });
    }
    EXPECT_TRUE(palette->IsValid()); // a given palette stays the caller's
}

TEST(CDibDraw, PartlyOutsideTheSurfaceThroughATranslation)
{
    CDib dib = MakeDib(24, 6, 6, [](int x, int y) { return RGB(x * 20, y * 30, 77); });
    ExpectDrawn(
        dib,
        [&](QPainter* p) {
            return dib.Draw(p, RECT{-10, -4, 2, 8});
        }, // 2x
        [](int x, int y) {
            const bool in = x >= -10 && x < 2 && y >= -4 && y < 8;
            return in ? QPoint((x + 10) / 2, (y + 4) / 2) : QPoint(-1, -1);
        },
        5, 2);
}

TEST(CDibDraw, SixteenBitPixelsAndRefusals)
{
    CDib dib;
    ASSERT_TRUE(dib.Create(16, 2, 1, nullptr, 0));
    dib.GetData()[40] = 0x1F; // blue 31
    dib.GetData()[43] = 0x7C; // red 31
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter painter(&image);
    ASSERT_TRUE(dib.Draw(&painter, RECT{0, 0, 0, 0}));
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 248));
    EXPECT_EQ(image.pixel(1, 0), qRgb(248, 0, 0));

    CDib odd;
    EXPECT_FALSE(odd.Draw(&painter, RECT{0, 0, 2, 2})); // empty
    EXPECT_EQ(odd.m_nError, ERROR_INVALID_PARAMETER);
    LOGPALETTE log{0x300, 8, std::vector<PALETTEENTRY>(8)};
    CPalette palette;
    ASSERT_TRUE(palette.CreatePalette(&log));
    ASSERT_TRUE(odd.Create(3, 2, 2, &palette, 0)); // no surface draws 3-bit pixels
    EXPECT_FALSE(odd.Draw(&painter, RECT{0, 2, 2, 4}));
    EXPECT_EQ(odd.m_nError, ERROR_INVALID_DATA);
    painter.end();
    EXPECT_EQ(image.pixel(0, 3), kBackground);
    EXPECT_FALSE(dib.Draw(&painter, RECT{0, 0, 2, 2})); // inactive painter
}

TEST(CDibDraw, StrongReductionSamplesTheSameWay)
{
    CDib dib = MakeDib(24, 64, 9, [](int x, int y) { return RGB(x * 3, y * 20, 5); });
    ExpectDrawn(
        dib,
        [&](QPainter* p) {
            return dib.Draw(p, RECT{1, 1, 6, 4});
        },
        [](int x, int y) {
            const bool in = x >= 1 && x < 6 && y >= 1 && y < 4;
            return in ? QPoint((x - 1) * 64 / 5, (y - 1) * 9 / 3) : QPoint(-1, -1);
        });
}
