#include "platform/capture/DibFile.h"

#include "platform/AtomicFile.h"
#include "platform/BitmapLayout.h"
#include "platform/capture/FrameConversion.h"
#include "platform/capture/v4l2/CameraFrames.h"

#include <cstddef>
#include <cstring>

namespace vexol::platform::capture {

namespace {

// A frame's BMP file in parts, so that it can be written without first being copied
// into one block: the file and info headers with the colour table, then the pixel rows
// bottom row first. Rows that need no conversion are read from the frame in place.
struct BmpParts
{
    std::vector<BYTE> headers;
    const BYTE* rows = nullptr; // the first row in the file
    std::ptrdiff_t step = 0;    // from one row in the file to the next, in the source
    std::size_t stride = 0;
    int height = 0;
    std::vector<BYTE> converted; // rows converted to 24 bits, when needed

    std::size_t PixelBytes() const { return stride * std::size_t(height); }
};

bool MakeBmpParts(const VideoFrame& frame, BmpParts& parts)
{
    if (!IsConvertibleFrame(frame)) {
        return false;
    }
    const VideoFormat& f = *frame.format;
    const int w = f.Width(), h = f.Height();
    int bitCount = f.header.biBitCount;
    parts.stride = VideoFormat::RgbStride(w, bitCount);
    parts.height = h;
    parts.rows = frame.data.data();
    parts.step = std::ptrdiff_t(parts.stride);
    if (v4l2::IsCameraCompression(f.header.biCompression) || f.IsPlanarYuv()) {
        const bool converted = f.IsPlanarYuv()
                                   ? Pl41ToBgr24Dib(frame, parts.converted)
                                   : v4l2::CameraFrameToBgr24Dib(frame, parts.converted);
        if (!converted) {
            return false;
        }
        bitCount = 24;
        parts.stride = VideoFormat::RgbStride(w, 24);
        parts.rows = parts.converted.data();
        parts.step = std::ptrdiff_t(parts.stride);
    } else if (f.header.biHeight < 0) {
        // Files are written bottom-up: a top-down frame is read from its last row back.
        parts.rows = frame.data.data() + parts.stride * std::size_t(h - 1);
        parts.step = -std::ptrdiff_t(parts.stride);
    }
    std::vector<RGBQUAD> colours;
    if (bitCount == 8) {
        colours = f.colours;
        colours.resize(256); // indexes past the driver's table read as black
    }

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = w;
    info.biHeight = h;
    info.biPlanes = 1;
    info.biBitCount = WORD(bitCount);
    info.biCompression = BI_RGB;
    info.biSizeImage = DWORD(parts.PixelBytes());
    info.biClrUsed = DWORD(colours.size());

    const std::size_t infoAndColours = sizeof info + colours.size() * sizeof(RGBQUAD);
    const BITMAPFILEHEADER file =
        MakeBmpFileHeader(infoAndColours + parts.PixelBytes(), infoAndColours);
    const std::size_t headers = sizeof file + infoAndColours;

    parts.headers.resize(headers);
    BYTE* p = parts.headers.data();
    std::memcpy(p, &file, sizeof file);
    std::memcpy(p + sizeof file, &info, sizeof info);
    if (!colours.empty()) {
        std::memcpy(p + sizeof file + sizeof info, colours.data(),
                    colours.size() * sizeof(RGBQUAD));
    }
    return true;
}

} // namespace

std::vector<BYTE> FrameAsBmpFile(const VideoFrame& frame)
{
    BmpParts parts;
    if (!MakeBmpParts(frame, parts)) {
        return {};
    }
    std::vector<BYTE> out(parts.headers);
    out.reserve(out.size() + parts.PixelBytes());
    for (int row = 0; row < parts.height; ++row) {
        const BYTE* source = parts.rows + parts.step * row;
        out.insert(out.end(), source, source + parts.stride);
    }
    return out;
}

bool WriteFrameAsBmpFile(const VideoFrame& frame, const std::string& path)
{
    BmpParts parts;
    if (path.empty() || !MakeBmpParts(frame, parts)) {
        return false;
    }
    AtomicFile file;
    AtomicFileOptions options;
    options.flush = false;
    if (!file.Open(path, options) || !file.Write(parts.headers.data(), parts.headers.size())) {
        return false;
    }
    if (parts.step > 0) { // rows already in file order: one write
        if (!file.Write(parts.rows, parts.PixelBytes())) {
            return false;
        }
    } else {
        for (int row = 0; row < parts.height; ++row) {
            if (!file.Write(parts.rows + parts.step * row, parts.stride)) {
                return false;
            }
        }
    }
    return file.Commit();
}

} // namespace vexol::platform::capture
