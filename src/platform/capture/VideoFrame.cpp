#include "platform/capture/VideoFrame.h"
#include "platform/BitmapLayout.h"

#include <cstring>

namespace vexol::platform::capture {

std::vector<BYTE> VideoFormat::PackedHeader() const
{
    std::vector<BYTE> bytes(sizeof(BITMAPINFOHEADER) + colours.size() * sizeof(RGBQUAD));
    std::memcpy(bytes.data(), &header, sizeof header);
    if (!colours.empty()) {
        std::memcpy(bytes.data() + sizeof header, colours.data(), colours.size() * sizeof(RGBQUAD));
    }
    return bytes;
}

std::size_t VideoFormat::RgbStride(int width, int bitCount)
{
    return std::size_t(DibRowBytes(std::uint64_t(width), std::uint64_t(bitCount)));
}

VideoFormat VideoFormat::MakeRgb(int width, int height, int bitCount, std::vector<RGBQUAD> colours)
{
    VideoFormat f;
    f.header.biSize = sizeof(BITMAPINFOHEADER);
    f.header.biWidth = width;
    f.header.biHeight = height;
    f.header.biPlanes = 1;
    f.header.biBitCount = WORD(bitCount);
    f.header.biCompression = BI_RGB;
    f.header.biSizeImage = DWORD(RgbStride(width, bitCount) * std::size_t(height));
    f.header.biClrUsed = DWORD(colours.size());
    f.colours = std::move(colours);
    return f;
}

VideoFormat VideoFormat::MakePl41(int width, int height)
{
    VideoFormat f;
    f.header.biSize = sizeof(BITMAPINFOHEADER);
    f.header.biWidth = width;
    f.header.biHeight = height;
    f.header.biPlanes = 1;
    f.header.biBitCount = 12;
    f.header.biCompression = FOURCC_PL41;
    const std::size_t luma = std::size_t(width) * std::size_t(height);
    f.header.biSizeImage = DWORD(luma + 2 * (luma / 4) + 1); // planes, then the status byte
    return f;
}

std::shared_ptr<FrameBufferPool> FrameBufferPool::Create(std::size_t maxIdle)
{
    return std::shared_ptr<FrameBufferPool>(new FrameBufferPool(maxIdle));
}

std::shared_ptr<VideoFrame> FrameBufferPool::Acquire(std::size_t bytes)
{
    std::unique_ptr<VideoFrame> frame;
    {
        std::lock_guard lock(m_mutex);
        if (!m_idle.empty()) {
            frame = std::move(m_idle.back());
            m_idle.pop_back();
        }
    }
    if (!frame) {
        frame = std::make_unique<VideoFrame>();
    }
    frame->data.resize(bytes);
    frame->format.reset();
    frame->bytesUsed = 0;
    frame->number = 0;
    std::weak_ptr<FrameBufferPool> pool = weak_from_this();
    return std::shared_ptr<VideoFrame>(frame.release(), [pool](VideoFrame* f) {
        if (auto alive = pool.lock()) {
            alive->Recycle(f);
        } else {
            delete f;
        }
    });
}

void FrameBufferPool::Recycle(VideoFrame* frame)
{
    std::unique_ptr<VideoFrame> owned(frame);
    owned->format.reset();
    std::lock_guard lock(m_mutex);
    if (m_idle.size() < m_maxIdle) {
        m_idle.push_back(std::move(owned));
    }
}

} // namespace vexol::platform::capture
