#include "platform/capture/v4l2/CameraFrames.h"

#include <array>
#include <cstring>
#include <libyuv/convert.h>
#include <libyuv/convert_argb.h>
#include <libyuv/convert_from_argb.h>
#include <linux/videodev2.h>
#include <turbojpeg.h>

namespace vexol::platform::capture::v4l2 {

namespace {

constexpr std::uint32_t kMaxDimension = 16384;

// A decompressor per thread, made when first needed.
class Decompressor
{
public:
    Decompressor() : m_handle(tjInitDecompress()) {}
    ~Decompressor()
    {
        if (m_handle) {
            tjDestroy(m_handle);
        }
    }
    tjhandle Get() const { return m_handle; }

private:
    tjhandle m_handle;
};

tjhandle ThreadDecompressor()
{
    thread_local Decompressor decompressor;
    return decompressor.Get();
}

// Limited-range (video) luma and chroma widened to full range.
struct RangeTables
{
    std::array<std::uint8_t, 256> luma{}, chroma{};
    RangeTables()
    {
        for (int i = 0; i < 256; ++i) {
            luma[i] = std::uint8_t(std::clamp((i - 16) * 255 / 219.0 + 0.5, 0.0, 255.0));
            chroma[i] = std::uint8_t(std::clamp((i - 128) * 255 / 224.0 + 128.5, 0.0, 255.0));
        }
    }
};

const RangeTables& Ranges()
{
    static const RangeTables tables;
    return tables;
}

std::size_t PlanarBytes(int w, int h)
{
    const std::size_t luma = std::size_t(w) * std::size_t(h);
    return luma + 2 * (luma / 4);
}

bool SizesOk(int w, int h)
{
    return w > 0 && h > 0 && std::uint32_t(w) <= kMaxDimension && std::uint32_t(h) <= kMaxDimension;
}

// The whole used part of a frame, within its buffer.
std::size_t UsedBytes(const VideoFrame& frame)
{
    return std::min<std::size_t>(frame.bytesUsed, frame.data.size());
}

} // namespace

bool IsDeliverablePixelFormat(std::uint32_t fourcc)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG:
    case V4L2_PIX_FMT_NV12:
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24:
    case V4L2_PIX_FMT_GREY:
        return true;
    default:
        return false;
    }
}

DWORD PublishedCompression(std::uint32_t fourcc)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_YUYV:
        return FOURCC_YUY2;
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG:
        return FOURCC_MJPG;
    case V4L2_PIX_FMT_NV12:
        return FOURCC_NV12;
    default:
        return BI_RGB;
    }
}

WORD PublishedBitCount(std::uint32_t fourcc)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_YUYV:
        return 16;
    case V4L2_PIX_FMT_NV12:
        return 12;
    case V4L2_PIX_FMT_GREY:
        return 8;
    default:
        return 24;
    }
}

std::optional<VideoFormat> PublishedFormat(std::uint32_t fourcc, std::uint32_t width,
                                           std::uint32_t height, std::uint32_t sizeImage)
{
    if (!IsDeliverablePixelFormat(fourcc) || width == 0 || height == 0 || width > kMaxDimension ||
        height > kMaxDimension) {
        return std::nullopt;
    }
    const int w = int(width), h = int(height);
    if (fourcc == V4L2_PIX_FMT_GREY) {
        std::vector<RGBQUAD> greys(256);
        for (int i = 0; i < 256; ++i) {
            greys[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
        }
        return VideoFormat::MakeRgb(w, h, 8, std::move(greys));
    }
    if (fourcc == V4L2_PIX_FMT_RGB24 || fourcc == V4L2_PIX_FMT_BGR24) {
        return VideoFormat::MakeRgb(w, h, 24, {});
    }
    VideoFormat f;
    f.header.biSize = sizeof(BITMAPINFOHEADER);
    f.header.biWidth = w;
    f.header.biHeight = h; // YUV rows run top-down whatever the sign
    f.header.biPlanes = 1;
    f.header.biBitCount = PublishedBitCount(fourcc);
    f.header.biCompression = PublishedCompression(fourcc);
    const std::size_t pixels = std::size_t(w) * std::size_t(h);
    switch (fourcc) {
    case V4L2_PIX_FMT_YUYV:
        f.header.biSizeImage = DWORD(pixels * 2);
        break;
    case V4L2_PIX_FMT_NV12:
        f.header.biSizeImage = DWORD(PlanarBytes(w, h));
        break;
    default: // MJPEG: the largest frame the device may fill
        f.header.biSizeImage = DWORD(std::max<std::size_t>(sizeImage, pixels / 2));
        break;
    }
    return f;
}

bool IsCameraCompression(DWORD compression)
{
    return compression == FOURCC_YUY2 || compression == FOURCC_MJPG || compression == FOURCC_NV12;
}

bool LooksLikeWholeJpeg(const std::uint8_t* data, std::size_t size, int width, int height)
{
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) {
        return false;
    }
    // Devices may pad a frame with zeros; the picture ends with its end marker.
    std::size_t end = size;
    while (end > 2 && data[end - 1] == 0) {
        --end;
    }
    bool ended = false;
    for (std::size_t i = end; i >= 2 && i + 64 >= end; --i) {
        if (data[i - 2] == 0xFF && data[i - 1] == 0xD9) {
            ended = true;
            break;
        }
    }
    if (!ended) {
        return false;
    }
    tjhandle handle = ThreadDecompressor();
    int w = 0, h = 0, subsampling = 0, colourspace = 0;
    if (!handle || tjDecompressHeader3(handle, data, static_cast<unsigned long>(size), &w, &h,
                                       &subsampling, &colourspace) != 0) {
        return false;
    }
    return w == width && h == height;
}

FrameCheck CopyCameraFrame(const ActiveFormat& active, const std::uint8_t* data,
                           std::uint32_t bytesUsed, VideoFrame& frame)
{
    frame.bytesUsed = 0;
    if (bytesUsed == 0 || !data) {
        return FrameCheck::Empty;
    }
    const int w = int(active.width), h = int(active.height);
    const std::size_t stride = active.bytesPerLine;
    BYTE* out = frame.data.data();
    switch (active.fourcc) {
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG:
        if (bytesUsed > frame.data.size() || !LooksLikeWholeJpeg(data, bytesUsed, w, h)) {
            return FrameCheck::CorruptJpeg;
        }
        std::memcpy(out, data, bytesUsed);
        frame.bytesUsed = bytesUsed;
        return FrameCheck::Ok;
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_GREY:
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24: {
        const std::size_t pixelBytes = active.fourcc == V4L2_PIX_FMT_YUYV   ? 2
                                       : active.fourcc == V4L2_PIX_FMT_GREY ? 1
                                                                            : 3;
        const std::size_t row = std::size_t(w) * pixelBytes;
        const std::size_t inStride = std::max(stride, row);
        if (std::size_t(bytesUsed) < inStride * std::size_t(h - 1) + row) {
            return FrameCheck::Short;
        }
        if (active.fourcc == V4L2_PIX_FMT_YUYV) {
            for (int y = 0; y < h; ++y) {
                std::memcpy(out + row * std::size_t(y), data + inStride * std::size_t(y), row);
            }
            frame.bytesUsed = DWORD(row * std::size_t(h));
            return FrameCheck::Ok;
        }
        // DIB rows: bottom-up, padded to 4 bytes, blue first.
        const std::size_t outStride = VideoFormat::RgbStride(w, int(pixelBytes * 8));
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* in = data + inStride * std::size_t(y);
            BYTE* o = out + outStride * std::size_t(h - 1 - y);
            if (active.fourcc == V4L2_PIX_FMT_RGB24) {
                for (int x = 0; x < w; ++x) {
                    o[3 * x] = in[3 * x + 2];
                    o[3 * x + 1] = in[3 * x + 1];
                    o[3 * x + 2] = in[3 * x];
                }
            } else {
                std::memcpy(o, in, row);
            }
            std::memset(o + row, 0, outStride - row);
        }
        frame.bytesUsed = DWORD(outStride * std::size_t(h));
        return FrameCheck::Ok;
    }
    case V4L2_PIX_FMT_NV12: {
        const std::size_t inStride = std::max<std::size_t>(stride, std::size_t(w));
        const int chromaRows = (h + 1) / 2;
        if (std::size_t(bytesUsed) < inStride * std::size_t(h + chromaRows - 1) + std::size_t(w)) {
            return FrameCheck::Short;
        }
        for (int y = 0; y < h + chromaRows && std::size_t(y) * w < PlanarBytes(w, h); ++y) {
            const std::size_t n =
                std::min<std::size_t>(std::size_t(w), PlanarBytes(w, h) - std::size_t(y) * w);
            std::memcpy(out + std::size_t(w) * std::size_t(y), data + inStride * std::size_t(y), n);
        }
        frame.bytesUsed = DWORD(PlanarBytes(w, h));
        return FrameCheck::Ok;
    }
    default:
        return FrameCheck::Short;
    }
}

QImage CameraFrameToImage(const VideoFrame& frame, QSize fit)
{
    if (!frame.format || !IsCameraCompression(frame.format->header.biCompression)) {
        return {};
    }
    const VideoFormat& f = *frame.format;
    const int w = f.Width(), h = f.Height();
    if (!SizesOk(w, h)) {
        return {};
    }
    const std::size_t used = UsedBytes(frame);
    const BYTE* data = frame.data.data();
    if (f.header.biCompression == FOURCC_MJPG) {
        tjhandle handle = ThreadDecompressor();
        int jw = 0, jh = 0, subsampling = 0, colourspace = 0;
        if (!handle || used == 0 ||
            tjDecompressHeader3(handle, data, static_cast<unsigned long>(used), &jw, &jh,
                                &subsampling, &colourspace) != 0 ||
            jw != w || jh != h) {
            return {};
        }
        // The smallest scale the decoder offers that still covers `fit`.
        int outW = w, outH = h;
        if (fit.width() > 0 && fit.height() > 0) {
            int count = 0;
            const tjscalingfactor* factors = tjGetScalingFactors(&count);
            for (int i = 0; factors && i < count; ++i) {
                const int sw = TJSCALED(w, factors[i]), sh = TJSCALED(h, factors[i]);
                if (factors[i].num <= factors[i].denom && sw >= fit.width() && sh >= fit.height() &&
                    std::int64_t(sw) * sh < std::int64_t(outW) * outH) {
                    outW = sw;
                    outH = sh;
                }
            }
        }
        QImage image(outW, outH, QImage::Format_RGB32);
        if (image.isNull() ||
            tjDecompress2(handle, data, static_cast<unsigned long>(used), image.bits(), outW,
                          int(image.bytesPerLine()), outH, TJPF_BGRX, TJFLAG_STOPONWARNING) != 0) {
            return {};
        }
        return image;
    }
    const std::size_t needed =
        f.header.biCompression == FOURCC_YUY2 ? std::size_t(w) * h * 2 : PlanarBytes(w, h);
    if (used < needed || (f.header.biCompression == FOURCC_NV12 && (w % 2 || h % 2))) {
        return {};
    }
    QImage image(w, h, QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    const int result =
        f.header.biCompression == FOURCC_YUY2
            ? libyuv::YUY2ToARGB(data, w * 2, image.bits(), int(image.bytesPerLine()), w, h)
            : libyuv::NV12ToARGB(data, w, data + std::size_t(w) * h, w, image.bits(),
                                 int(image.bytesPerLine()), w, h);
    return result == 0 ? image : QImage();
}

bool CameraFrameToBgr24Dib(const VideoFrame& frame, std::vector<BYTE>& dib)
{
    const QImage image = CameraFrameToImage(frame);
    if (image.isNull()) {
        return false;
    }
    const int w = image.width(), h = image.height();
    const std::size_t stride = VideoFormat::RgbStride(w, 24);
    dib.assign(stride * std::size_t(h), 0);
    for (int y = 0; y < h; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        BYTE* out = dib.data() + stride * std::size_t(h - 1 - y);
        for (int x = 0; x < w; ++x) {
            out[3 * x] = BYTE(qBlue(in[x]));
            out[3 * x + 1] = BYTE(qGreen(in[x]));
            out[3 * x + 2] = BYTE(qRed(in[x]));
        }
    }
    return true;
}

bool FrameToPl41(const VideoFrame& frame, bool pressed, BYTE* out, std::size_t outSize)
{
    if (!frame.format || !out) {
        return false;
    }
    const VideoFormat& f = *frame.format;
    const int w = f.Width(), h = f.Height();
    if (!SizesOk(w, h) || w % 2 || h % 2 || outSize < PlanarBytes(w, h) + 1) {
        return false;
    }
    BYTE* y = out;
    BYTE* u = out + std::size_t(w) * h;
    BYTE* v = u + std::size_t(w) * h / 4;
    const int cw = w / 2;
    const std::size_t used = UsedBytes(frame);
    const BYTE* data = frame.data.data();
    const DWORD compression = f.header.biCompression;
    bool converted = false;
    bool videoRange = false;
    if (compression == FOURCC_YUY2 && used >= std::size_t(w) * h * 2) {
        converted = libyuv::YUY2ToI420(data, w * 2, y, w, u, cw, v, cw, w, h) == 0;
        videoRange = true;
    } else if (compression == FOURCC_NV12 && used >= PlanarBytes(w, h)) {
        converted = libyuv::NV12ToI420(data, w, data + std::size_t(w) * h, w, y, w, u, cw, v, cw, w,
                                       h) == 0;
        videoRange = true;
    } else if (compression == FOURCC_MJPG) {
        tjhandle handle = ThreadDecompressor();
        int jw = 0, jh = 0, subsampling = 0, colourspace = 0;
        if (handle && used > 0 &&
            tjDecompressHeader3(handle, data, static_cast<unsigned long>(used), &jw, &jh,
                                &subsampling, &colourspace) == 0 &&
            jw == w && jh == h) {
            if (subsampling == TJSAMP_420 && colourspace == TJCS_YCbCr) {
                unsigned char* planes[3] = {y, u, v};
                int strides[3] = {w, cw, cw};
                converted =
                    tjDecompressToYUVPlanes(handle, data, static_cast<unsigned long>(used), planes,
                                            w, strides, h, TJFLAG_STOPONWARNING) == 0;
            } else {
                const QImage image = CameraFrameToImage(frame);
                converted = !image.isNull() &&
                            libyuv::ARGBToJ420(image.constBits(), int(image.bytesPerLine()), y, w,
                                               u, cw, v, cw, w, h) == 0;
            }
        }
    } else if (compression == BI_RGB && f.header.biBitCount == 24 &&
               used >= VideoFormat::RgbStride(w, 24) * std::size_t(h)) {
        // Bottom-up rows: a negative height reads them top row first.
        converted =
            libyuv::RGB24ToJ420(data + VideoFormat::RgbStride(w, 24) * std::size_t(h - 1),
                                -int(VideoFormat::RgbStride(w, 24)), y, w, u, cw, v, cw, w, h) == 0;
    } else if (compression == BI_RGB && f.header.biBitCount == 8 &&
               used >= VideoFormat::RgbStride(w, 8) * std::size_t(h)) {
        const std::size_t stride = VideoFormat::RgbStride(w, 8);
        for (int row = 0; row < h; ++row) {
            std::memcpy(y + std::size_t(w) * row, data + stride * std::size_t(h - 1 - row),
                        std::size_t(w));
        }
        std::memset(u, 128, std::size_t(w) * h / 2);
        converted = true;
    }
    if (!converted) {
        return false;
    }
    if (videoRange) {
        const RangeTables& r = Ranges();
        for (std::size_t i = 0, n = std::size_t(w) * h; i < n; ++i) {
            y[i] = r.luma[y[i]];
        }
        for (std::size_t i = 0, n = std::size_t(w) * h / 2; i < n; ++i) {
            u[i] = r.chroma[u[i]]; // u and v are adjacent
        }
    }
    out[PlanarBytes(w, h)] = pressed ? 1 : 0;
    return true;
}

} // namespace vexol::platform::capture::v4l2
