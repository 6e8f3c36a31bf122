// Video formats and frames as they travel from a driver to the window, the still writer
// and a running capture. A published frame is immutable and shared; buffers come from a
// pool so that streaming does not allocate a frame buffer per frame.
#pragma once

#include "platform/capture/CaptureTypes.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace vexol::platform::capture {

// A format a driver delivers: the header and, for 8-bit formats, the colour table.
// RGB frames are bottom-up DIB rows padded to 4 bytes; a PL41 frame is planar YUV 4:2:0,
// top row first, followed by one status byte.
struct VideoFormat
{
    BITMAPINFOHEADER header{};
    std::vector<RGBQUAD> colours;

    int Width() const { return header.biWidth; }
    int Height() const { return header.biHeight < 0 ? -header.biHeight : header.biHeight; }
    bool IsPlanarYuv() const { return header.biCompression == FOURCC_PL41; }
    // Bytes of one frame (biSizeImage).
    std::size_t FrameBytes() const { return header.biSizeImage; }
    // The header followed by the colour table, as the service hands a format out.
    std::vector<BYTE> PackedHeader() const;

    static std::size_t RgbStride(int width, int bitCount);
    static VideoFormat MakeRgb(int width, int height, int bitCount, std::vector<RGBQUAD> colours);
    static VideoFormat MakePl41(int width, int height);
};

using FormatPtr = std::shared_ptr<const VideoFormat>;

// A format asked for by a caller; a driver answers with the nearest it can deliver.
struct FormatRequest
{
    int width = 0;
    int height = 0;
    int bitCount = 0;
    DWORD compression = BI_RGB;

    bool operator==(const FormatRequest&) const = default;
};

struct VideoFrame
{
    FormatPtr format;
    std::vector<BYTE> data; // the frame buffer; its size is the buffer length
    DWORD bytesUsed = 0;
    std::uint64_t number = 0; // the driver's running frame number
    std::chrono::steady_clock::time_point captured;
};

using FramePtr = std::shared_ptr<const VideoFrame>;

// Recycles frame buffers. A frame acquired here returns its buffer to the pool when the
// last reference goes, also after the pool itself is gone (it is then freed).
class FrameBufferPool : public std::enable_shared_from_this<FrameBufferPool>
{
public:
    static std::shared_ptr<FrameBufferPool> Create(std::size_t maxIdle = 6);

    // A frame whose buffer holds `bytes` bytes (contents undefined).
    std::shared_ptr<VideoFrame> Acquire(std::size_t bytes);

private:
    explicit FrameBufferPool(std::size_t maxIdle) : m_maxIdle(maxIdle) {}
    void Recycle(VideoFrame* frame);

    const std::size_t m_maxIdle;
    std::mutex m_mutex; // guards m_idle
    std::vector<std::unique_ptr<VideoFrame>> m_idle;
};

} // namespace vexol::platform::capture
