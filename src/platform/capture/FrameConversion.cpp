#include "platform/capture/FrameConversion.h"

#include "platform/capture/v4l2/CameraFrames.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace vexol::platform::capture {

namespace {

// Per-sample terms of the YUV to RGB conversion, in double precision, so that a table
// lookup gives the same result as evaluating the formula for each pixel.
struct YuvTerms
{
    std::array<double, 256> rFromCr, gFromCb, gFromCr, bFromCb, bFromCr;
    YuvTerms()
    {
        for (int i = 0; i < 256; ++i) {
            const double d = i - 128;
            rFromCr[i] = 1.402 * d;
            gFromCb[i] = 0.3441 * d;
            gFromCr[i] = 0.7139 * d;
            bFromCb[i] = 1.7718 * d;
            bFromCr[i] = 0.0012 * d;
        }
    }
};

const YuvTerms& Terms()
{
    static const YuvTerms terms;
    return terms;
}

inline int Limit(double v)
{
    return v <= 0.0 ? 0 : v >= 255.0 ? 255 : int(v);
}

inline void YuvToRgb(const YuvTerms& t, BYTE y, BYTE cb, BYTE cr, int& r, int& g, int& b)
{
    r = Limit(y + t.rFromCr[cr]);
    g = Limit(y - t.gFromCb[cb] - t.gFromCr[cr]);
    b = Limit(y + t.bFromCb[cb] - t.bFromCr[cr]);
}

constexpr int kMaxDimension = 16384;

// Every 5-5-5 value widened to 8 bits per channel (the top bits repeated below).
const std::array<QRgb, 32768>& Rgb555Colours()
{
    static const auto table = [] {
        auto t = std::make_unique<std::array<QRgb, 32768>>();
        for (unsigned v = 0; v < 32768; ++v) {
            const unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
            (*t)[v] =
                qRgb(int((r << 3) | (r >> 2)), int((g << 3) | (g >> 2)), int((b << 3) | (b >> 2)));
        }
        return t;
    }();
    return *table;
}

std::size_t RequiredBytes(const VideoFormat& f)
{
    const std::size_t w = std::size_t(f.Width()), h = std::size_t(f.Height());
    if (f.IsPlanarYuv()) {
        return w * h + 2 * ((w * h) / 4);
    }
    return VideoFormat::RgbStride(f.Width(), f.header.biBitCount) * h;
}

} // namespace

COLORREF YuvToColour(BYTE y, BYTE cb, BYTE cr)
{
    int r, g, b;
    YuvToRgb(Terms(), y, cb, cr, r, g, b);
    return RGB(BYTE(r), BYTE(g), BYTE(b));
}

void RgbToYuv(BYTE r, BYTE g, BYTE b, BYTE& y, BYTE& cb, BYTE& cr)
{
    const double yy = 0.299 * r + 0.587 * g + 0.114 * b;
    auto clamp = [](double v) { return BYTE(std::clamp(std::lround(v), 0L, 255L)); };
    y = clamp(yy);
    cb = clamp((b - yy) / 1.7718 + 128.0);
    cr = clamp((r - yy) / 1.402 + 128.0);
}

const std::vector<RGBQUAD>& EightBitColours()
{
    static const std::vector<RGBQUAD> colours = [] {
        std::vector<RGBQUAD> c(256);
        for (int i = 0; i < 216; ++i) {
            c[i].rgbRed = BYTE(i / 36 * 51);
            c[i].rgbGreen = BYTE(i / 6 % 6 * 51);
            c[i].rgbBlue = BYTE(i % 6 * 51);
        }
        for (int i = 216; i < 256; ++i) {
            const BYTE grey = BYTE((i - 216) * 255 / 39);
            c[i] = RGBQUAD{grey, grey, grey, 0};
        }
        return c;
    }();
    return colours;
}

bool IsConvertibleFrame(const VideoFrame& frame)
{
    if (!frame.format) {
        return false;
    }
    const VideoFormat& f = *frame.format;
    if (f.Width() <= 0 || f.Height() <= 0 || f.Width() > kMaxDimension ||
        f.Height() > kMaxDimension) {
        return false;
    }
    if (v4l2::IsCameraCompression(f.header.biCompression)) {
        // Their size depends on the contents (JPEG); the conversion checks it.
        return frame.bytesUsed > 0 && frame.bytesUsed <= frame.data.size();
    }
    if (f.IsPlanarYuv()) {
        if (f.Width() % 2 != 0 || f.Height() % 2 != 0) {
            return false;
        }
    } else if (f.header.biCompression != BI_RGB) {
        return false;
    } else {
        const int bits = f.header.biBitCount;
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
            return false;
        }
    }
    return frame.data.size() >= RequiredBytes(f);
}

QImage FrameToImage(const VideoFrame& frame, QSize fit)
{
    if (!IsConvertibleFrame(frame)) {
        return {};
    }
    const VideoFormat& f = *frame.format;
    if (v4l2::IsCameraCompression(f.header.biCompression)) {
        return v4l2::CameraFrameToImage(frame, fit);
    }
    const int w = f.Width(), h = f.Height();
    QImage image(w, h, QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    const BYTE* data = frame.data.data();

    if (f.IsPlanarYuv()) {
        const YuvTerms& t = Terms();
        const BYTE* luma = data;
        const BYTE* cbPlane = data + std::size_t(w) * h;
        const BYTE* crPlane = cbPlane + (std::size_t(w) * h) / 4;
        for (int row = 0; row < h; ++row) {
            auto* out = reinterpret_cast<QRgb*>(image.scanLine(row));
            const BYTE* y = luma + std::size_t(row) * w;
            const std::size_t chromaRow = std::size_t(w / 2) * (row / 2);
            for (int x = 0; x < w; ++x) {
                int r, g, b;
                YuvToRgb(t, y[x], cbPlane[chromaRow + x / 2], crPlane[chromaRow + x / 2], r, g, b);
                out[x] = qRgb(r, g, b);
            }
        }
        return image;
    }

    const int bits = f.header.biBitCount;
    const std::size_t stride = VideoFormat::RgbStride(w, bits);
    const bool topDown = f.header.biHeight < 0;
    std::array<QRgb, 256> palette{};
    if (bits == 8) {
        for (std::size_t i = 0; i < std::min<std::size_t>(256, f.colours.size()); ++i) {
            const RGBQUAD& q = f.colours[i];
            palette[i] = qRgb(q.rgbRed, q.rgbGreen, q.rgbBlue);
        }
    }
    for (int row = 0; row < h; ++row) {
        const BYTE* in = data + stride * std::size_t(topDown ? row : h - 1 - row);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(row));
        switch (bits) {
        case 8:
            for (int x = 0; x < w; ++x) {
                out[x] = palette[in[x]];
            }
            break;
        case 16: {
            const std::array<QRgb, 32768>& colours = Rgb555Colours();
            for (int x = 0; x < w; ++x) {
                const unsigned v = unsigned(in[2 * x]) | (unsigned(in[2 * x + 1]) << 8);
                out[x] = colours[v & 0x7FFF];
            }
            break;
        }
        case 24:
            for (int x = 0; x < w; ++x) {
                out[x] = qRgb(in[3 * x + 2], in[3 * x + 1], in[3 * x]);
            }
            break;
        default: // 32
            for (int x = 0; x < w; ++x) {
                out[x] = qRgb(in[4 * x + 2], in[4 * x + 1], in[4 * x]);
            }
            break;
        }
    }
    return image;
}

bool Pl41ToBgr24Dib(const VideoFrame& frame, std::vector<BYTE>& dib)
{
    if (!IsConvertibleFrame(frame) || !frame.format->IsPlanarYuv()) {
        return false;
    }
    const VideoFormat& f = *frame.format;
    const int w = f.Width(), h = f.Height();
    const std::size_t stride = VideoFormat::RgbStride(w, 24);
    dib.assign(stride * std::size_t(h), 0);
    const YuvTerms& t = Terms();
    const BYTE* luma = frame.data.data();
    const BYTE* cbPlane = luma + std::size_t(w) * h;
    const BYTE* crPlane = cbPlane + (std::size_t(w) * h) / 4;
    for (int row = 0; row < h; ++row) {
        BYTE* out = dib.data() + stride * std::size_t(h - 1 - row);
        const BYTE* y = luma + std::size_t(row) * w;
        const std::size_t chromaRow = std::size_t(w / 2) * (row / 2);
        for (int x = 0; x < w; ++x) {
            int r, g, b;
            YuvToRgb(t, y[x], cbPlane[chromaRow + x / 2], crPlane[chromaRow + x / 2], r, g, b);
            out[3 * x] = BYTE(b);
            out[3 * x + 1] = BYTE(g);
            out[3 * x + 2] = BYTE(r);
        }
    }
    return true;
}

} // namespace vexol::platform::capture
