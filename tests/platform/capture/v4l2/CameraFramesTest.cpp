// Camera frames in their published layout and their conversions: the BITMAPINFOHEADER of
// each camera pixel format, the copy out of a device buffer (row padding, RGB order,
// bottom-up rows), the checks that drop empty, short and broken frames, and the RGB and
// PL41 conversions with their colour ranges.
#include "platform/capture/v4l2/CameraFrames.h"
#include "platform/capture/FrameConversion.h"

#include <QImage>
#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <turbojpeg.h>

namespace {

using namespace vexol::platform::capture;
using namespace vexol::platform::capture::v4l2;

// A JPEG of one colour, made by the library the camera path decodes with.
std::vector<std::uint8_t> SolidJpeg(int width, int height, std::uint8_t grey, int subsampling)
{
    std::vector<std::uint8_t> rgb(std::size_t(width) * height * 3, grey);
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, subsampling, 95, 0);
    std::vector<std::uint8_t> bytes(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(handle);
    return bytes;
}

VideoFrame MakeFrame(std::uint32_t fourcc, std::uint32_t width, std::uint32_t height)
{
    VideoFrame frame;
    frame.format = std::make_shared<const VideoFormat>(
        *PublishedFormat(fourcc, width, height, width * height * 2));
    frame.data.resize(frame.format->FrameBytes());
    return frame;
}

TEST(CameraFormats, EachPixelFormatHasItsPublishedHeader)
{
    struct Row
    {
        std::uint32_t fourcc;
        DWORD compression;
        WORD bits;
        DWORD sizeImage;
        std::size_t colours;
    } const rows[] = {
        {V4L2_PIX_FMT_YUYV, FOURCC_YUY2, 16, 640 * 480 * 2, 0},
        {V4L2_PIX_FMT_MJPEG, FOURCC_MJPG, 24, 640 * 480 * 2, 0},
        {V4L2_PIX_FMT_NV12, FOURCC_NV12, 12, 640 * 480 * 3 / 2, 0},
        {V4L2_PIX_FMT_RGB24, BI_RGB, 24, 640 * 480 * 3, 0},
        {V4L2_PIX_FMT_BGR24, BI_RGB, 24, 640 * 480 * 3, 0},
        {V4L2_PIX_FMT_GREY, BI_RGB, 8, 640 * 480, 256},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.fourcc);
        const auto f = PublishedFormat(r.fourcc, 640, 480, 640 * 480 * 2);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->header.biCompression, r.compression);
        EXPECT_EQ(f->header.biBitCount, r.bits);
        EXPECT_EQ(f->header.biSizeImage, r.sizeImage);
        EXPECT_EQ(f->colours.size(), r.colours);
        EXPECT_EQ(f->header.biClrUsed, r.colours);
    }
    const auto grey = PublishedFormat(V4L2_PIX_FMT_GREY, 8, 8, 64);
    EXPECT_EQ(grey->colours[200].rgbRed, 200);
    EXPECT_EQ(grey->colours[200].rgbBlue, 200);
    EXPECT_FALSE(PublishedFormat(V4L2_PIX_FMT_H264, 640, 480, 0));
    EXPECT_FALSE(PublishedFormat(V4L2_PIX_FMT_YUYV, 0, 480, 0));
}

TEST(CameraFormats, BuffersAreCopiedIntoThePublishedLayout)
{
    // YUYV with padded rows: the padding goes.
    VideoFrame yuyv = MakeFrame(V4L2_PIX_FMT_YUYV, 2, 2);
    const std::uint8_t padded[] = {1, 2, 3, 4, 99, 99, 5, 6, 7, 8};
    ASSERT_EQ(CopyCameraFrame({V4L2_PIX_FMT_YUYV, 2, 2, 6, 12}, padded, 10, yuyv), FrameCheck::Ok);
    EXPECT_EQ(std::vector<BYTE>(yuyv.data.begin(), yuyv.data.begin() + 8),
              (std::vector<BYTE>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(yuyv.bytesUsed, 8u);

    // RGB24, top row first: becomes BGR, bottom row first.
    VideoFrame rgb = MakeFrame(V4L2_PIX_FMT_RGB24, 1, 2);
    const std::uint8_t rgbRows[] = {10, 20, 30, 40, 50, 60};
    ASSERT_EQ(CopyCameraFrame({V4L2_PIX_FMT_RGB24, 1, 2, 3, 6}, rgbRows, 6, rgb), FrameCheck::Ok);
    EXPECT_EQ(std::vector<BYTE>(rgb.data.begin(), rgb.data.end()),
              (std::vector<BYTE>{60, 50, 40, 0, 30, 20, 10, 0}));

    // GREY of width 6: rows padded to 8 bytes, bottom row first.
    VideoFrame grey = MakeFrame(V4L2_PIX_FMT_GREY, 6, 2);
    const std::uint8_t greyRows[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ASSERT_EQ(CopyCameraFrame({V4L2_PIX_FMT_GREY, 6, 2, 6, 12}, greyRows, 12, grey),
              FrameCheck::Ok);
    EXPECT_EQ(grey.data[0], 7);
    EXPECT_EQ(grey.data[8], 1);
    EXPECT_EQ(grey.bytesUsed, 16u);

    struct Bad
    {
        const char* name;
        std::uint32_t fourcc;
        std::uint32_t bytes;
        FrameCheck expected;
    } const bad[] = {
        {"empty", V4L2_PIX_FMT_YUYV, 0, FrameCheck::Empty},
        {"short YUYV", V4L2_PIX_FMT_YUYV, 15, FrameCheck::Short},
        {"short NV12", V4L2_PIX_FMT_NV12, 23, FrameCheck::Short},
        {"no JPEG", V4L2_PIX_FMT_MJPEG, 16, FrameCheck::CorruptJpeg},
    };
    std::vector<std::uint8_t> noise(64, 0x55);
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.name);
        VideoFrame frame = MakeFrame(b.fourcc, 4, 4);
        EXPECT_EQ(CopyCameraFrame({b.fourcc, 4, 4, 0, 32}, noise.data(), b.bytes, frame),
                  b.expected);
        EXPECT_EQ(frame.bytesUsed, 0u);
    }
}

TEST(CameraFormats, OnlyWholeJpegPicturesOfTheFormatsSizePass)
{
    std::vector<std::uint8_t> jpeg = SolidJpeg(32, 16, 128, TJSAMP_422);
    EXPECT_TRUE(LooksLikeWholeJpeg(jpeg.data(), jpeg.size(), 32, 16));
    EXPECT_FALSE(LooksLikeWholeJpeg(jpeg.data(), jpeg.size(), 64, 16)) << "another size";
    EXPECT_FALSE(LooksLikeWholeJpeg(jpeg.data(), jpeg.size() / 2, 32, 16)) << "cut off";
    std::vector<std::uint8_t> padded = jpeg;
    padded.resize(jpeg.size() + 100, 0);
    EXPECT_TRUE(LooksLikeWholeJpeg(padded.data(), padded.size(), 32, 16)) << "zero padding";
    std::vector<std::uint8_t> headless(jpeg.begin() + 2, jpeg.end());
    EXPECT_FALSE(LooksLikeWholeJpeg(headless.data(), headless.size(), 32, 16));
}

TEST(CameraFormats, JpegFramesDecodeScaledToCoverTheView)
{
    std::vector<std::uint8_t> jpeg = SolidJpeg(640, 480, 200, TJSAMP_420);
    VideoFrame frame = MakeFrame(V4L2_PIX_FMT_MJPEG, 640, 480);
    std::copy(jpeg.begin(), jpeg.end(), frame.data.begin());
    frame.bytesUsed = DWORD(jpeg.size());
    struct Row
    {
        QSize fit;
        QSize decoded;
    } const rows[] = {
        {QSize(), QSize(640, 480)},          {QSize(640, 480), QSize(640, 480)},
        {QSize(320, 240), QSize(320, 240)},  {QSize(300, 200), QSize(320, 240)},
        {QSize(100, 100), QSize(160, 120)},  {QSize(10, 10), QSize(80, 60)},
        {QSize(1000, 900), QSize(640, 480)},
    };
    for (const Row& r : rows) {
        const QImage image = FrameToImage(frame, r.fit);
        EXPECT_EQ(image.size(), r.decoded) << r.fit.width() << "x" << r.fit.height();
        EXPECT_NEAR(qGray(image.pixel(image.width() / 2, image.height() / 2)), 200, 3);
    }
    frame.bytesUsed = DWORD(jpeg.size() / 2);
    EXPECT_TRUE(FrameToImage(frame).isNull()) << "a broken picture is no picture";
}

TEST(CameraFormats, Pl41IsFullRangeWithTheSwitchByteLast)
{
    struct Row
    {
        const char* name;
        std::uint32_t fourcc;
        std::uint8_t sample; // every luma byte (chroma neutral)
        int wantLuma;
    } const rows[] = {
        {"YUYV video white", V4L2_PIX_FMT_YUYV, 235, 255},
        {"YUYV video black", V4L2_PIX_FMT_YUYV, 16, 0},
        {"NV12 mid grey", V4L2_PIX_FMT_NV12, 126, 128},
        {"GREY", V4L2_PIX_FMT_GREY, 77, 77},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        VideoFrame frame = MakeFrame(r.fourcc, 4, 2);
        std::fill(frame.data.begin(), frame.data.end(), r.sample);
        if (r.fourcc == V4L2_PIX_FMT_YUYV) {
            for (std::size_t i = 1; i < frame.data.size(); i += 2) {
                frame.data[i] = 128;
            }
        } else if (r.fourcc == V4L2_PIX_FMT_NV12) {
            std::fill(frame.data.begin() + 8, frame.data.end(), 128);
        }
        frame.bytesUsed = DWORD(frame.data.size());
        std::vector<BYTE> out(4 * 2 * 3 / 2 + 1, 0xEE);
        ASSERT_TRUE(FrameToPl41(frame, true, out.data(), out.size()));
        EXPECT_NEAR(out[0], r.wantLuma, 1);
        EXPECT_NEAR(out[8], 128, 1) << "neutral chroma stays neutral";
        EXPECT_EQ(out.back(), 1);
        ASSERT_TRUE(FrameToPl41(frame, false, out.data(), out.size()));
        EXPECT_EQ(out.back(), 0);
    }
    // JPEG is full range already; 4:2:2 and 4:2:0 pictures both convert.
    for (int subsampling : {TJSAMP_420, TJSAMP_422}) {
        std::vector<std::uint8_t> jpeg = SolidJpeg(32, 16, 255, subsampling);
        VideoFrame frame = MakeFrame(V4L2_PIX_FMT_MJPEG, 32, 16);
        std::copy(jpeg.begin(), jpeg.end(), frame.data.begin());
        frame.bytesUsed = DWORD(jpeg.size());
        std::vector<BYTE> out(32 * 16 * 3 / 2 + 1);
        ASSERT_TRUE(FrameToPl41(frame, false, out.data(), out.size())) << subsampling;
        EXPECT_GE(out[100], 253) << subsampling;
    }
    VideoFrame small = MakeFrame(V4L2_PIX_FMT_YUYV, 4, 2);
    small.bytesUsed = DWORD(small.data.size());
    std::vector<BYTE> tooSmall(12);
    EXPECT_FALSE(FrameToPl41(small, false, tooSmall.data(), tooSmall.size()));
}

TEST(CameraFormats, YuyvShowsInVideoRange)
{
    VideoFrame frame = MakeFrame(V4L2_PIX_FMT_YUYV, 2, 1);
    frame.data = {235, 128, 16, 128}; // white, black
    frame.bytesUsed = 4;
    const QImage image = FrameToImage(frame);
    ASSERT_EQ(image.size(), QSize(2, 1));
    EXPECT_GE(qGray(image.pixel(0, 0)), 250);
    EXPECT_LE(qGray(image.pixel(1, 0)), 5);
}

} // namespace
