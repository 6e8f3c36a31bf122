// Row bytes and the BMP file header that the bitmap model, the still writer, the capture
// file and the JPEG encoder share.
#include "platform/BitmapLayout.h"

#include <QImage>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace vexol::platform {
namespace {

TEST(BitmapLayout, RowsArePaddedToFourBytes)
{
    struct Row
    {
        const char* what;
        std::uint64_t width;
        std::uint64_t bitCount;
        std::uint64_t bytes;
    };
    const Row rows[] = {
        {"1 bit, one pixel", 1, 1, 4},
        {"1 bit, 33 pixels", 33, 1, 8},
        {"4 bits, 9 pixels", 9, 4, 8},
        {"8 bits, 5 pixels", 5, 8, 8},
        {"16 bits, 3 pixels", 3, 16, 8},
        {"24 bits, 1 pixel", 1, 24, 4},
        {"24 bits, 321 pixels", 321, 24, 964},
        {"32 bits, 7 pixels", 7, 32, 28},
        {"no pixels", 0, 24, 0},
        {"wider than 32-bit arithmetic holds", 1u << 30, 32, std::uint64_t(1) << 32},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(DibRowBytes(r.width, r.bitCount), r.bytes) << r.what;
    }
}

TEST(BitmapLayout, FileHeaderMakesAFileAPeerReads)
{
    // A 3 x 2 24-bit bitmap, bottom-up: blue row at the bottom, red row at the top.
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = 3;
    info.biHeight = 2;
    info.biPlanes = 1;
    info.biBitCount = 24;
    const std::size_t row = DibRowBytes(3, 24);
    std::vector<BYTE> pixels(row * 2, 0);
    for (int x = 0; x < 3; ++x) {
        pixels[3 * x] = 0xFF;           // bottom row: blue
        pixels[row + 3 * x + 2] = 0xFF; // top row: red
    }
    const BITMAPFILEHEADER file = MakeBmpFileHeader(sizeof info + pixels.size(), sizeof info);
    // Copied out first: the packed record's fields are not aligned for a reference.
    const DWORD fileSize = file.bfSize;
    const DWORD pixelOffset = file.bfOffBits;
    EXPECT_EQ(fileSize, 14 + 40 + 24u);
    EXPECT_EQ(pixelOffset, 14 + 40u);

    std::vector<BYTE> bytes(sizeof file + sizeof info + pixels.size());
    std::memcpy(bytes.data(), &file, sizeof file);
    std::memcpy(bytes.data() + sizeof file, &info, sizeof info);
    std::memcpy(bytes.data() + sizeof file + sizeof info, pixels.data(), pixels.size());
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');

    QImage image;
    ASSERT_TRUE(image.loadFromData(bytes.data(), int(bytes.size()), "BMP"));
    EXPECT_EQ(image.size(), QSize(3, 2));
    EXPECT_EQ(image.pixelColor(2, 0), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(0, 1), QColor(Qt::blue));
}

} // namespace
} // namespace vexol::platform
