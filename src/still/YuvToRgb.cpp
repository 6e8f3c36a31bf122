#include "still/YuvToRgb.h"

#include "still/CDib.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

int Limit(double v)
{
    return v <= 0.0 ? 0 : v >= 255.0 ? 255 : int(v);
}

// The rule's three terms as exact fractions over 10000, per chroma value:
//   R − Y = 14020 v / 10000
//   G − Y = (−3441 u − 7139 v) / 10000
//   B − Y = (17718 u − 12 v) / 10000
// Unless a term is a whole number, floor(Y + term) = Y + floor(term), and the double
// computation's error (below 1e-12) cannot move the result across an integer: the
// exact fraction lies at least 1/10000 away from one.
constexpr std::int32_t kDenominator = 10000;
// Added before dividing so that the numerator is positive and the division floors.
constexpr std::int32_t kBias = 400 * kDenominator;

struct ChromaTerms
{
    std::array<std::int32_t, 256> r{}, gU{}, gV{}, bU{}, bV{};
    ChromaTerms()
    {
        for (int i = 0; i < 256; ++i) {
            const std::int32_t d = i - 128;
            r[i] = 14020 * d;
            gU[i] = -3441 * d;
            gV[i] = -7139 * d;
            bU[i] = 17718 * d;
            bV[i] = -12 * d;
        }
    }
};

const ChromaTerms& Terms()
{
    static const ChromaTerms terms;
    return terms;
}

// Y + offset limited to 0..255, for Y + offset in [-512, 767].
struct LimitTable
{
    std::array<BYTE, 1280> values{};
    LimitTable()
    {
        for (int i = 0; i < int(values.size()); ++i) {
            const int v = i - 512;
            values[std::size_t(i)] = BYTE(v < 0 ? 0 : v > 255 ? 255 : v);
        }
    }
    BYTE operator()(int v) const { return values[std::size_t(v + 512)]; }
};

const LimitTable& Limits()
{
    static const LimitTable table;
    return table;
}

// What the rule adds to Y for one chroma sample.
struct Offsets
{
    int r, g, b;
    bool exact; // a term is a whole number: use the double computation
};

Offsets OffsetsOf(const ChromaTerms& t, BYTE cb, BYTE cr)
{
    const std::int32_t r = t.r[cr] + kBias;
    const std::int32_t g = t.gU[cb] + t.gV[cr] + kBias;
    const std::int32_t b = t.bU[cb] + t.bV[cr] + kBias;
    return {r / kDenominator - 400, g / kDenominator - 400, b / kDenominator - 400,
            r % kDenominator == 0 || g % kDenominator == 0 || b % kDenominator == 0};
}

void PutPixel(BYTE* out, BYTE y, BYTE cb, BYTE cr, const Offsets& o, const LimitTable& limit)
{
    if (o.exact) {
        const COLORREF c = YuvToRgb(y, cb, cr);
        out[0] = GetBValue(c);
        out[1] = GetGValue(c);
        out[2] = GetRValue(c);
        return;
    }
    out[0] = limit(y + o.b);
    out[1] = limit(y + o.g);
    out[2] = limit(y + o.r);
}

} // namespace

COLORREF YuvToRgb(BYTE y, BYTE cb, BYTE cr)
{
    const double u = double(cb) - 128.0;
    const double v = double(cr) - 128.0;
    const int r = Limit(y + 1.402 * v);
    const int g = Limit(y - 0.3441 * u - 0.7139 * v);
    const int b = Limit(y + 1.7718 * u - 0.0012 * v);
    return RGB(BYTE(r), BYTE(g), BYTE(b));
}

namespace vexol::still {

std::size_t PlanarFrameBytes(LONG width, LONG height)
{
    if (width <= 0 || height <= 0) {
        return 0;
    }
    const std::size_t w = std::size_t(width), h = std::size_t(height);
    const std::size_t crPlane = w * h + (w * h) / 4;
    const std::size_t lastSample = (w / 2) * ((h - 1) / 2) + (w - 1) / 2;
    return crPlane + lastSample + 1;
}

BOOL PlanarFrameToDib(const BYTE* data, std::size_t size, LONG width, LONG height, CDib& dib)
{
    const std::size_t needed = PlanarFrameBytes(width, height);
    if (!data || needed == 0 || size < needed) {
        dib.Clear();
        return FALSE;
    }
    if (!dib.Create(24, width, height, nullptr, 0)) {
        return FALSE;
    }
    const std::size_t w = std::size_t(width), h = std::size_t(height);
    const BYTE* luma = data;
    const BYTE* cbPlane = data + w * h;
    const BYTE* crPlane = cbPlane + (w * h) / 4;
    const std::size_t stride = dib.GetStride();
    BYTE* pixels = dib.GetData() + sizeof(BITMAPINFOHEADER);
    const ChromaTerms& terms = Terms();
    const LimitTable& limit = Limits();

    // Two rows at a time: they share their chroma samples.
    for (std::size_t row = 0; row < h; row += 2) {
        const std::size_t rows = std::min<std::size_t>(2, h - row);
        const std::size_t chromaRow = (w / 2) * (row / 2);
        for (std::size_t x = 0; x < w; x += 2) {
            const BYTE cb = cbPlane[chromaRow + x / 2];
            const BYTE cr = crPlane[chromaRow + x / 2];
            const Offsets o = OffsetsOf(terms, cb, cr);
            const std::size_t columns = std::min<std::size_t>(2, w - x);
            for (std::size_t r = 0; r < rows; ++r) {
                const BYTE* y = luma + (row + r) * w + x;
                // The frame's top row goes to the top of the picture, the DIB's last row.
                BYTE* out = pixels + (h - 1 - row - r) * stride + 3 * x;
                for (std::size_t c = 0; c < columns; ++c) {
                    PutPixel(out + 3 * c, y[c], cb, cr, o, limit);
                }
            }
        }
    }
    return TRUE;
}

} // namespace vexol::still
