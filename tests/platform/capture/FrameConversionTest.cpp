// Pixel conversions of the capture service: YUV to RGB, PL41 frames, 5-5-5 and the
// 8-bit colour table, and refusal of frames whose buffers do not match their format.
#include "platform/capture/FrameConversion.h"
#include "platform/capture/DibFile.h"
#include "platform/capture/TestPatternRenderer.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace vexol::platform::capture;

TEST(YuvToColour, LimitsAndTruncatesEachChannel)
{
    struct
    {
        BYTE y, cb, cr;
        COLORREF expected;
    } const cases[] = {
        {128, 128, 128, 0x00808080},         // grey stays grey
        {255, 128, 255, RGB(255, 164, 254)}, // red limited from about 433
        {0, 0, 128, RGB(0, 44, 0)},          // blue limited from about -227
        {0, 128, 128, RGB(0, 0, 0)},         {255, 128, 128, RGB(255, 255, 255)},
        {100, 90, 200, RGB(200, 61, 32)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(YuvToColour(c.y, c.cb, c.cr), c.expected)
            << int(c.y) << "," << int(c.cb) << "," << int(c.cr);
    }
}

TEST(YuvToColour, RoundTripOfPrimariesStaysClose)
{
    for (std::uint32_t rgb : kColourBarColours) {
        const BYTE r = BYTE(rgb >> 16), g = BYTE(rgb >> 8), b = BYTE(rgb);
        BYTE y, cb, cr;
        RgbToYuv(r, g, b, y, cb, cr);
        const COLORREF back = YuvToColour(y, cb, cr);
        EXPECT_NEAR(GetRValue(back), r, 3) << std::hex << rgb;
        EXPECT_NEAR(GetGValue(back), g, 3) << std::hex << rgb;
        EXPECT_NEAR(GetBValue(back), b, 3) << std::hex << rgb;
    }
}

VideoFrame MakeFrame(VideoFormat format)
{
    VideoFrame frame;
    frame.format = std::make_shared<const VideoFormat>(std::move(format));
    frame.data.assign(frame.format->FrameBytes(), 0);
    frame.bytesUsed = DWORD(frame.data.size());
    return frame;
}

TEST(Pl41Frames, PlanesAreReadAsLaidOut)
{
    // 4 × 2: luma 128 everywhere, chroma 128 except the right block's Cr.
    VideoFrame frame = MakeFrame(VideoFormat::MakePl41(4, 2));
    ASSERT_EQ(frame.data.size(), 4u * 2 + 2 + 2 + 1);
    std::fill(frame.data.begin(), frame.data.end(), BYTE(128));
    frame.data[8 + 2 + 1] = 255; // Cr of pixels x = 2, 3
    frame.data.back() = 1;       // the switch byte is not picture
    const QImage image = FrameToImage(frame);
    ASSERT_EQ(image.size(), QSize(4, 2));
    EXPECT_EQ(image.pixel(0, 0), qRgb(128, 128, 128));
    EXPECT_EQ(image.pixel(1, 1), qRgb(128, 128, 128));
    EXPECT_EQ(image.pixel(2, 0), qRgb(255, 37, 127));
    EXPECT_EQ(image.pixel(3, 1), qRgb(255, 37, 127));

    std::vector<BYTE> dib;
    ASSERT_TRUE(Pl41ToBgr24Dib(frame, dib));
    ASSERT_EQ(dib.size(), 2u * 12);
    // Bottom-up rows: the top row's pixel 2 is in the second stored row.
    EXPECT_EQ(dib[12 + 6 + 2], 255);
    EXPECT_EQ(dib[12 + 6 + 1], 37);
}

TEST(RgbFrames, FiveFiveFiveWidenedFullyAndColourTableKeepsPrimariesAndGreys)
{
    VideoFrame frame16 = MakeFrame(VideoFormat::MakeRgb(2, 1, 16, {}));
    const WORD white = Rgb555(255, 255, 255), red = Rgb555(255, 0, 0);
    frame16.data = {BYTE(white), BYTE(white >> 8), BYTE(red), BYTE(red >> 8)};
    QImage image = FrameToImage(frame16);
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(1, 0), qRgb(255, 0, 0));

    VideoFrame frame8 = MakeFrame(VideoFormat::MakeRgb(2, 2, 8, EightBitColours()));
    frame8.data[0] = EightBitIndex(0, 0, 255);   // bottom row first
    frame8.data[4] = EightBitIndex(255, 255, 0); // top row
    frame8.data[1] = EightBitIndex(128, 128, 128);
    image = FrameToImage(frame8);
    EXPECT_EQ(image.pixel(0, 1), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 0));
    const QRgb grey = image.pixel(1, 1);
    EXPECT_TRUE(qRed(grey) == qGreen(grey) && qGreen(grey) == qBlue(grey)) << "greys stay neutral";
    EXPECT_NEAR(qRed(grey), 128, 4);
}

TEST(FrameChecks, FramesThatDoNotMatchTheirFormatAreRefused)
{
    VideoFrame shortFrame = MakeFrame(VideoFormat::MakeRgb(16, 16, 24, {}));
    shortFrame.data.resize(shortFrame.data.size() - 1);
    VideoFrame oddYuv = MakeFrame(VideoFormat::MakePl41(3, 2));
    VideoFormat twelveBits = VideoFormat::MakeRgb(4, 4, 24, {});
    twelveBits.header.biBitCount = 12;
    VideoFrame oddDepth = MakeFrame(twelveBits);
    VideoFrame noFormat;
    for (const VideoFrame* frame : {&shortFrame, &oddYuv, &oddDepth, &noFormat}) {
        EXPECT_FALSE(IsConvertibleFrame(*frame));
        EXPECT_TRUE(FrameToImage(*frame).isNull());
        EXPECT_TRUE(FrameAsBmpFile(*frame).empty());
    }
}

TEST(FrameChecks, TopDownFramesAreWrittenBottomUp)
{
    VideoFormat format = VideoFormat::MakeRgb(1, 2, 24, {});
    format.header.biHeight = -2;
    VideoFrame frame = MakeFrame(format);
    frame.data = {1, 2, 3, 0, 4, 5, 6, 0}; // top row, then bottom row
    const std::vector<BYTE> file = FrameAsBmpFile(frame);
    ASSERT_EQ(file.size(), 14u + 40 + 8);
    BITMAPINFOHEADER info;
    std::memcpy(&info, file.data() + 14, sizeof info);
    EXPECT_EQ(info.biHeight, 2);
    EXPECT_EQ(file[54], 4) << "the bottom row comes first";
    EXPECT_EQ(file[58], 1);
    // The writer puts the same bytes into the file, row by row from the frame.
    QTemporaryDir dir;
    const std::string path = dir.filePath("top-down.bmp").toStdString();
    ASSERT_TRUE(WriteFrameAsBmpFile(frame, path));
    QFile written(QString::fromStdString(path));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    EXPECT_EQ(std::vector<BYTE>(bytes.begin(), bytes.end()), file);
}

TEST(PatternRenderer, RowsWithEqualKeysAreEqual)
{
    for (TestPattern pattern :
         {TestPattern::ColourBars, TestPattern::GreyRamp, TestPattern::Checkerboard}) {
        PatternSettings settings;
        settings.pattern = pattern;
        const TestPatternRenderer renderer(settings, 64, 48, 5);
        std::vector<std::uint32_t> a(64), b(64);
        for (int y = 1; y < 48; ++y) {
            if (renderer.RowKey(y) == renderer.RowKey(y - 1)) {
                renderer.RenderRow(y - 1, a.data());
                renderer.RenderRow(y, b.data());
                EXPECT_EQ(a, b) << "row " << y;
            }
        }
    }
}

} // namespace
