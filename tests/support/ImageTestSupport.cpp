#include "ImageTestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <turbojpeg.h>

namespace vexol::test {

int DibStride24(int width)
{
    return (width * 24 + 31) / 32 * 4;
}

std::vector<std::uint8_t> MakePackedDib24(int width, int height, const PixelFunction& pixel,
                                          std::uint8_t padding)
{
    const int stride = DibStride24(width);
    std::vector<std::uint8_t> dib(sizeof(BITMAPINFOHEADER) + std::size_t(stride) * height, padding);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = DWORD(stride) * DWORD(height);
    std::memcpy(dib.data(), &header, sizeof header);
    for (int y = 0; y < height; ++y) {
        // Storage row 0 is the bottom row of the picture.
        std::uint8_t* row = dib.data() + sizeof header + std::size_t(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixel(x, y);
            row[3 * x] = GetBValue(c);
            row[3 * x + 1] = GetGValue(c);
            row[3 * x + 2] = GetRValue(c);
        }
    }
    return dib;
}

COLORREF DecodedJpeg::At(int x, int y) const
{
    const std::uint8_t* p = rgb.data() + (std::size_t(y) * width + x) * 3;
    return RGB(p[0], p[1], p[2]);
}

DecodedJpeg DecodeJpeg(const std::vector<std::uint8_t>& data)
{
    DecodedJpeg out;
    tjhandle tj = tjInitDecompress();
    if (tj == nullptr || data.empty()) {
        if (tj != nullptr) {
            tjDestroy(tj);
        }
        return out;
    }
    int colourspace = 0;
    if (tjDecompressHeader3(tj, data.data(), data.size(), &out.width, &out.height, &out.subsampling,
                            &colourspace) == 0) {
        out.rgb.resize(std::size_t(out.width) * out.height * 3);
        out.ok = tjDecompress2(tj, data.data(), data.size(), out.rgb.data(), out.width, 0,
                               out.height, TJPF_RGB, 0) == 0;
    }
    tjDestroy(tj);
    return out;
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return {};
    }
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

DecodedJpeg DecodeJpegFile(const std::string& path)
{
    return DecodeJpeg(ReadWholeFile(path));
}

double MeanAbsoluteError(const DecodedJpeg& decoded, const PixelFunction& pixel)
{
    if (!decoded.ok || decoded.width == 0 || decoded.height == 0) {
        return 1e9;
    }
    double sum = 0;
    for (int y = 0; y < decoded.height; ++y) {
        for (int x = 0; x < decoded.width; ++x) {
            const COLORREF a = decoded.At(x, y);
            const COLORREF b = pixel(x, y);
            sum += std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
                   std::abs(GetBValue(a) - GetBValue(b));
        }
    }
    return sum / (3.0 * decoded.width * decoded.height);
}

int ColourDistance(COLORREF a, COLORREF b)
{
    return std::max({std::abs(GetRValue(a) - GetRValue(b)), std::abs(GetGValue(a) - GetGValue(b)),
                     std::abs(GetBValue(a) - GetBValue(b))});
}

} // namespace vexol::test
