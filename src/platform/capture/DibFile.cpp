#include "platform/capture/DibFile.h"

#include "platform/AtomicFile.h"
#include "platform/BitmapLayout.h"
#include "platform/capture/FrameConversion.h"
#include "platform/capture/v4l2/CameraFrames.h"

#include <cstring>

namespace vexol::platform::capture {

std::vector<BYTE> FrameAsBmpFile(const VideoFrame& frame)
{
    if (!IsConvertibleFrame(frame)) {
        return {};
    }
    const VideoFormat& f = *frame.format;
    const int w = f.Width(), h = f.Height();

    std::vector<BYTE> converted;
    const BYTE* bits = frame.data.data();
    int bitCount = f.header.biBitCount;
    std::size_t bitsSize = VideoFormat::RgbStride(w, bitCount) * std::size_t(h);
    std::vector<RGBQUAD> colours;
    if (v4l2::IsCameraCompression(f.header.biCompression)) {
        if (!v4l2::CameraFrameToBgr24Dib(frame, converted)) {
            return {};
        }
        bits = converted.data();
        bitCount = 24;
        bitsSize = converted.size();
    } else if (f.IsPlanarYuv()) {
        if (!Pl41ToBgr24Dib(frame, converted)) {
            return {};
        }
        bits = converted.data();
        bitCount = 24;
        bitsSize = converted.size();
    } else if (f.header.biHeight < 0) {
        // Files are written bottom-up: turn a top-down frame over.
        const std::size_t stride = VideoFormat::RgbStride(w, bitCount);
        converted.resize(bitsSize);
        for (int row = 0; row < h; ++row) {
            std::memcpy(converted.data() + stride * std::size_t(h - 1 - row),
                        frame.data.data() + stride * std::size_t(row), stride);
        }
        bits = converted.data();
    }
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
    info.biSizeImage = DWORD(bitsSize);
    info.biClrUsed = DWORD(colours.size());

    const std::size_t infoAndColours = sizeof info + colours.size() * sizeof(RGBQUAD);
    const BITMAPFILEHEADER file = MakeBmpFileHeader(infoAndColours + bitsSize, infoAndColours);
    const std::size_t headers = sizeof file + infoAndColours;

    std::vector<BYTE> out(headers + bitsSize);
    BYTE* p = out.data();
    std::memcpy(p, &file, sizeof file);
    p += sizeof file;
    std::memcpy(p, &info, sizeof info);
    p += sizeof info;
    if (!colours.empty()) {
        std::memcpy(p, colours.data(), colours.size() * sizeof(RGBQUAD));
        p += colours.size() * sizeof(RGBQUAD);
    }
    std::memcpy(p, bits, bitsSize);
    return out;
}

bool WriteFrameAsBmpFile(const VideoFrame& frame, const std::string& path)
{
    const std::vector<BYTE> bytes = FrameAsBmpFile(frame);
    if (bytes.empty() || path.empty()) {
        return false;
    }
    return AtomicFile::WriteAll(path, bytes.data(), bytes.size());
}

} // namespace vexol::platform::capture
