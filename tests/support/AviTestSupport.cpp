#include "AviTestSupport.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace vexol::test {

DWORD FrameBytes(int width, int height, int bitCount)
{
    return DWORD((width * bitCount + 31) / 32 * 4 * height);
}

std::vector<std::uint8_t> MakeVideoFormat(int width, int height, int bitCount, DWORD compression)
{
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = WORD(bitCount);
    h.biCompression = compression;
    h.biSizeImage = compression == BI_RGB ? FrameBytes(width, height, bitCount) : 0;
    std::vector<std::uint8_t> format(sizeof h);
    std::memcpy(format.data(), &h, sizeof h);
    if (bitCount <= 8) {
        const int colours = 1 << bitCount;
        for (int i = 0; i < colours; ++i) {
            const std::uint8_t grey = std::uint8_t(i * 255 / (colours - 1));
            const RGBQUAD q{grey, grey, std::uint8_t(255 - grey), 0};
            const auto* p = reinterpret_cast<const std::uint8_t*>(&q);
            format.insert(format.end(), p, p + sizeof q);
        }
    }
    return format;
}

std::vector<std::uint8_t> MakeFrame(int width, int height, int bitCount, int index)
{
    std::vector<std::uint8_t> frame(FrameBytes(width, height, bitCount));
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = std::uint8_t(i * 3 + std::size_t(index) * 17);
    }
    return frame;
}

std::vector<std::uint8_t> MakePcmFormat(DWORD samplesPerSec, WORD bitsPerSample, WORD channels)
{
    WAVEFORMATEX w{};
    w.wFormatTag = WAVE_FORMAT_PCM;
    w.nChannels = channels;
    w.nSamplesPerSec = samplesPerSec;
    w.nBlockAlign = WORD(channels * bitsPerSample / 8);
    w.nAvgBytesPerSec = samplesPerSec * w.nBlockAlign;
    w.wBitsPerSample = bitsPerSample;
    w.cbSize = 0;
    const auto* p = reinterpret_cast<const std::uint8_t*>(&w);
    return std::vector<std::uint8_t>(p, p + sizeof w);
}

long long FileSize(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 ? (long long)st.st_size : -1;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

} // namespace vexol::test
