// Fuzz target for the camera frame path: arbitrary bytes as a camera's buffer in each
// pixel format and a small size chosen by the first bytes, through the copy into the
// published layout, the RGB conversion (scaled and full), the 24-bit DIB and PL41.
// Nothing may crash or read outside the buffer; a frame accepted as a whole JPEG picture
// must keep its size.
#include "platform/capture/v4l2/CameraFrames.h"

#include <cstdint>
#include <cstdlib>
#include <linux/videodev2.h>
#include <vector>

namespace {

using namespace vexol::platform::capture;
using namespace vexol::platform::capture::v4l2;

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

constexpr std::uint32_t kFormats[] = {V4L2_PIX_FMT_YUYV,  V4L2_PIX_FMT_MJPEG, V4L2_PIX_FMT_NV12,
                                      V4L2_PIX_FMT_RGB24, V4L2_PIX_FMT_BGR24, V4L2_PIX_FMT_GREY};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4 || size > (1u << 20)) {
        return 0;
    }
    const std::uint32_t fourcc = kFormats[data[0] % 6];
    const std::uint32_t width = 2u * (1u + data[1] % 64);  // even, up to 128
    const std::uint32_t height = 2u * (1u + data[2] % 48); // even, up to 96
    const std::uint32_t padding = data[3] % 8;
    const std::uint8_t* bytes = data + 4;
    const std::uint32_t used = std::uint32_t(size - 4);

    const auto format = PublishedFormat(fourcc, width, height, width * height * 2);
    Check(format.has_value());
    ActiveFormat active{fourcc, width, height, 0, width * height * 2};
    if (fourcc != V4L2_PIX_FMT_MJPEG) {
        const std::uint32_t row = fourcc == V4L2_PIX_FMT_YUYV ? width * 2
                                  : fourcc == V4L2_PIX_FMT_NV12 || fourcc == V4L2_PIX_FMT_GREY
                                      ? width
                                      : width * 3;
        active.bytesPerLine = row + padding;
    }
    VideoFrame frame;
    frame.format = std::make_shared<const VideoFormat>(*format);
    frame.data.resize(format->FrameBytes());
    const FrameCheck check = CopyCameraFrame(active, bytes, used, frame);
    if (check != FrameCheck::Ok) {
        Check(frame.bytesUsed == 0);
        return 0;
    }
    Check(frame.bytesUsed <= frame.data.size());
    if (IsCameraCompression(format->header.biCompression)) {
        const QImage full = CameraFrameToImage(frame);
        const QImage half = CameraFrameToImage(frame, QSize(int(width) / 2, int(height) / 2));
        if (!full.isNull()) {
            Check(full.width() == int(width) && full.height() == int(height));
        }
        if (!half.isNull()) {
            Check(half.width() >= int(width) / 2 && half.width() <= int(width));
        }
        std::vector<BYTE> dib;
        if (CameraFrameToBgr24Dib(frame, dib)) {
            Check(dib.size() == VideoFormat::RgbStride(int(width), 24) * height);
        }
    }
    std::vector<BYTE> pl41(std::size_t(width) * height * 3 / 2 + 1);
    if (FrameToPl41(frame, data[0] & 0x80, pl41.data(), pl41.size())) {
        Check(pl41.back() == ((data[0] & 0x80) ? 1 : 0));
    }
    return 0;
}
