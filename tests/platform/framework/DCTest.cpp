// The device context: the clip box it reports and the 32-bit rows it draws.
#include "platform/framework/DC.h"

#include <QImage>
#include <QPainter>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace {

constexpr LONG kFar = std::numeric_limits<int>::max() / 2;
constexpr LONG kNear = std::numeric_limits<int>::min() / 2;

struct ClipCase
{
    const char* name;
    std::function<void(QPainter&)> set;
    int result;
    RECT box;
};

TEST(CDC, ClipBoxHoldsWhatDrawingCanReach)
{
    const ClipCase cases[] = {
        {"whole surface, a pixel of slack", [](QPainter&) {}, SIMPLEREGION, {-1, -1, 21, 11}},
        {"moved origin", [](QPainter& p) { p.translate(5, 3); }, SIMPLEREGION, {-6, -4, 16, 8}},
        {"clip inside the surface",
         [](QPainter& p) { p.setClipRect(2, 2, 4, 3); },
         SIMPLEREGION,
         {2, 2, 6, 5}},
        {"clip beside the surface",
         [](QPainter& p) { p.setClipRect(40, 0, 5, 5); },
         NULLREGION,
         {0, 0, 0, 0}},
        {"scaled: the surface gives no bound",
         [](QPainter& p) { p.scale(2, 2); },
         SIMPLEREGION,
         {kNear, kNear, kFar, kFar}},
    };
    for (const ClipCase& c : cases) {
        SCOPED_TRACE(c.name);
        QImage image(20, 10, QImage::Format_RGB32);
        QPainter painter(&image);
        c.set(painter);
        CDC dc(&painter);
        RECT box{7, 7, 7, 7};
        EXPECT_EQ(dc.GetClipBox(&box), c.result);
        EXPECT_EQ(box.left, c.box.left);
        EXPECT_EQ(box.top, c.box.top);
        EXPECT_EQ(box.right, c.box.right);
        EXPECT_EQ(box.bottom, c.box.bottom);
    }
}

TEST(CDC, NoSurfaceNoDrawing)
{
    QPainter idle; // never begun
    for (CDC dc : {CDC(nullptr), CDC(&idle)}) {
        RECT box{};
        EXPECT_FALSE(dc.IsActive());
        EXPECT_EQ(dc.GetClipBox(&box), RGN_ERROR);
        const BYTE pixel[4] = {1, 2, 3, 0};
        EXPECT_FALSE(dc.SetDIBitsToDevice(0, 0, {40, 1, 1, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, pixel));
    }
}

struct BitsCase
{
    const char* name;
    LONG width, height; // negative height: rows top-down
    WORD bits;
    DWORD compression;
    BOOL result;
};

TEST(CDC, DrawsThirtyTwoBitRowsUnscaledAtTheirPlace)
{
    // Two rows of two pixels, B, G, R, unused each, in storage order.
    const std::vector<BYTE> rows = {
        0,   0, 255, 0, 0, 255, 0, 0, // first row in storage: red, green
        255, 0, 0,   0, 9, 9,   9, 0, // second: blue, grey
    };
    const BitsCase cases[] = {
        {"top-down", 2, -2, 32, BI_RGB, TRUE},
        {"bottom-up", 2, 2, 32, BI_RGB, TRUE},
        {"24-bit refused", 2, 2, 24, BI_RGB, FALSE},
        {"bit fields refused", 2, 2, 32, BI_BITFIELDS, FALSE},
        {"no width refused", 0, 2, 32, BI_RGB, FALSE},
        {"no height refused", 2, 0, 32, BI_RGB, FALSE},
    };
    for (const BitsCase& c : cases) {
        SCOPED_TRACE(c.name);
        QImage image(6, 5, QImage::Format_RGB32);
        image.fill(Qt::black);
        {
            QPainter painter(&image);
            CDC dc(&painter);
            const BITMAPINFOHEADER header{40, c.width, c.height, 1, c.bits, c.compression,
                                          0,  0,       0,        0, 0};
            EXPECT_EQ(dc.SetDIBitsToDevice(3, 2, header, rows.data()), c.result);
        }
        if (!c.result) {
            EXPECT_EQ(image.pixel(3, 2), qRgb(0, 0, 0)) << "nothing drawn";
            continue;
        }
        const bool topDown = c.height < 0;
        const QRgb firstStored[2] = {qRgb(255, 0, 0), qRgb(0, 255, 0)};
        const QRgb secondStored[2] = {qRgb(0, 0, 255), qRgb(9, 9, 9)};
        const QRgb* top = topDown ? firstStored : secondStored;
        const QRgb* bottom = topDown ? secondStored : firstStored;
        EXPECT_EQ(image.pixel(3, 2), top[0]);
        EXPECT_EQ(image.pixel(4, 2), top[1]);
        EXPECT_EQ(image.pixel(3, 3), bottom[0]);
        EXPECT_EQ(image.pixel(4, 3), bottom[1]);
        EXPECT_EQ(image.pixel(2, 2), qRgb(0, 0, 0)) << "left of the bitmap";
        EXPECT_EQ(image.pixel(5, 4), qRgb(0, 0, 0)) << "beyond it";
    }
}

} // namespace
