// CDib: construction, Create, pixels, LoadPackedDib (with BI_RLE8), resources, palettes.
#include "DibTestSupport.h"
#include "platform/framework/Palette.h"

#include <gtest/gtest.h>

using namespace vexol::test;

namespace {

std::unique_ptr<CPalette> MakeTestPalette(int entries)
{
    LOGPALETTE log;
    log.palNumEntries = WORD(entries);
    for (int i = 0; i < entries; ++i) {
        log.palPalEntry.push_back(PALETTEENTRY{BYTE(i), BYTE(255 - i), BYTE(i * 7), 0});
    }
    auto palette = std::make_unique<CPalette>();
    palette->CreatePalette(&log);
    return palette;
}

std::vector<BYTE> Bytes(const CDib& dib)
{
    return std::vector<BYTE>(dib.GetData(), dib.GetData() + dib.GetDataSize());
}

} // namespace

TEST(CDibBasics, CopyAssignmentAndClear)
{
    CDib dib;
    EXPECT_TRUE(IsEmpty(dib));
    ASSERT_TRUE(dib.Create(24, 3, 2, nullptr, RGB(1, 2, 3)));
    dib.m_nError = 77;
    CDib copy;
    copy = dib;
    copy = static_cast<const CDib&>(copy);
    EXPECT_EQ(copy.m_nError, 77u);
    EXPECT_TRUE(SameBytes(copy, dib));
    EXPECT_TRUE(dib.Clear());
    EXPECT_TRUE(IsEmpty(dib));
    EXPECT_EQ(dib.m_nError, 0u);
}

TEST(CDibCreate, RefusalsLeaveTheBitmapEmpty)
{
    auto palette = MakeTestPalette(16);
    CPalette deleted;
    struct Case
    {
        int bits;
        LONG width, height;
        CPalette* palette;
        DWORD error;
    } cases[] = {
        {1, 4, 4, palette.get(), ERROR_INVALID_PARAMETER},
        {8, 4, 4, nullptr, ERROR_INVALID_PARAMETER},
        {4, 4, 4, &deleted, ERROR_INVALID_PARAMETER},
        {0, 4, 4, palette.get(), ERROR_INVALID_PARAMETER},
        {24, 0, 4, nullptr, ERROR_INVALID_PARAMETER},
        {24, 4, -1, nullptr, ERROR_INVALID_PARAMETER},
        {24, 0x7FFFFFFF, 0x7FFFFFFF, nullptr, ERROR_INVALID_PARAMETER}, // beyond 32 bits
        {24, 20000, 20000, nullptr, ERROR_NOT_ENOUGH_MEMORY},           // over the size cap
    };
    for (const Case& c : cases) {
        CDib dib;
        ASSERT_TRUE(dib.Create(24, 2, 2, nullptr, 0));
        EXPECT_FALSE(dib.Create(BYTE(c.bits), c.width, c.height, c.palette, 0));
        EXPECT_EQ(dib.m_nError, c.error) << c.bits << " " << c.width;
        EXPECT_TRUE(IsEmpty(dib));
    }
}

TEST(CDibCreate, HeaderTableAndFill)
{
    auto palette = MakeTestPalette(256);
    CDib dib;
    ASSERT_TRUE(dib.Create(8, 5, 3, palette.get(), RGB(9, 9, 9)));
    EXPECT_EQ(HeaderOf(dib).biClrUsed, 256u);
    EXPECT_EQ(HeaderOf(dib).biSizeImage, 8u * 3);
    EXPECT_EQ(dib.GetDataSize(), 40u + 1024 + 24);
    EXPECT_EQ(TableColour(dib, 200), RGB(200, 55, BYTE(200 * 7)));
    EXPECT_EQ(dib.GetPixel(4, 2), RGB(0, 255, 0)); // index 0: the fill is for 24 bits only

    // A palette larger than the table gives its first entries, never a black table.
    auto big = MakeTestPalette(32);
    ASSERT_TRUE(dib.Create(4, 3, 1, big.get(), 0));
    EXPECT_EQ(HeaderOf(dib).biClrUsed, 16u);
    EXPECT_EQ(dib.GetDataSize(), 40u + 64 + 4);
    EXPECT_EQ(TableColour(dib, 15), RGB(15, 240, 15 * 7));

    ASSERT_TRUE(dib.Create(24, 320, 240, nullptr, RGB(10, 20, 30)));
    EXPECT_EQ(dib.GetStride(), 960u);
    EXPECT_EQ(dib.GetDataSize(), 230440u);
    EXPECT_EQ(dib.GetPixel(319, 239), RGB(10, 20, 30));
    ASSERT_TRUE(dib.Create(24, 1, 1, nullptr, RGB(10, 20, 30)));
    EXPECT_EQ(dib.GetData()[40 + 3], 0); // no fill in the row padding
}

TEST(CDibPixels, BoundsAndBitCounts)
{
    // 4-bit with 4 table entries: index 9 lies beyond the table and reads black.
    CDib dib = MakeDib(
        4, 3, 2, [](int x, int y) { return y == 0 ? DWORD(x) : 9u; }, 4);
    ASSERT_EQ(dib.GetBitCount(), 4);
    EXPECT_EQ(dib.GetPixel(2, 0), TableColour(dib, 2));
    for (POINT p : {POINT{0, 1}, POINT{3, 0}, POINT{-1, 0}, POINT{0, 2}}) {
        EXPECT_EQ(dib.GetPixel(p.x, p.y), 0u) << p.x << "," << p.y;
    }
    dib.SetPixel(0, 0, RGB(1, 1, 1)); // not 24-bit: nothing happens
    EXPECT_EQ(dib.GetPixel(0, 0), TableColour(dib, 0));

    ASSERT_TRUE(dib.Create(24, 2, 2, nullptr, 0));
    dib.SetPixel(1, 1, RGB(4, 5, 6));
    dib.SetPixel(2, 1, RGB(7, 7, 7));
    EXPECT_EQ(dib.GetData()[40 + 8 + 3], 6); // blue first in storage
    EXPECT_EQ(dib.GetPixel(1, 1), RGB(4, 5, 6));
    EXPECT_EQ(dib.GetPixel(0, 1), 0u);

    ASSERT_TRUE(dib.Create(16, 2, 2, nullptr, 0)); // other bit counts read as 0
    dib.GetData()[40] = 0xFF;
    EXPECT_EQ(dib.GetPixel(0, 0), 0u);
}

TEST(CDibLoad, Refusals)
{
    const auto good = Bytes(MakeDib(8, 4, 2, [](int x, int) { return DWORD(x); }));
    auto with = [&](void (*change)(BITMAPINFOHEADER&), std::size_t keep = 0) {
        BITMAPINFOHEADER h = DibHeader(8, 4, 2);
        change(h);
        auto d = good;
        std::memcpy(d.data(), &h, 40);
        d.resize(keep ? keep : d.size());
        return d;
    };
    using H = BITMAPINFOHEADER&;
    struct Case
    {
        const char* name;
        std::vector<BYTE> data;
        DWORD size; // 0: the data's own size
        DWORD error;
    } cases[] = {
        {"exactly 40 bytes", good, 40, ERROR_INVALID_PARAMETER},
        {"biSize 12", with([](H h) { h.biSize = 12; }), 0, ERROR_INVALID_DATA},
        {"zero width", with([](H h) { h.biWidth = 0; }), 0, ERROR_INVALID_DATA},
        {"top-down", with([](H h) { h.biHeight = -2; }), 0, ERROR_INVALID_DATA},
        {"one byte short", good, DWORD(good.size() - 1), ERROR_INVALID_DATA},
        {"bitfields", with([](H h) { h.biCompression = BI_BITFIELDS; }), 0, ERROR_INVALID_DATA},
        {"16-bit", with([](H h) { h.biBitCount = 16; }), 0, ERROR_INVALID_DATA},
        {"32-bit", with([](H h) { h.biBitCount = 32; }), 0, ERROR_INVALID_DATA},
        {"beyond 32 bits", with([](H h) { h.biWidth = h.biHeight = 0x7FFFFFFF; }), 0,
         ERROR_INVALID_DATA},
        {"table beyond 32 bits", with([](H h) { h.biClrUsed = 0xFFFFFFFF; }), 0,
         ERROR_INVALID_DATA},
        {"rle8 table cut", with([](H h) { h.biCompression = BI_RLE8; }, 60), 0, ERROR_INVALID_DATA},
        {"over the cap", with([](H h) { h.biWidth = 20000, h.biHeight = 60000; }),
         CDib::kSizeNotGiven, ERROR_NOT_ENOUGH_MEMORY},
    };
    for (Case& c : cases) {
        const auto bytes = HeapCopy(c.data);
        CDib dib;
        ASSERT_TRUE(dib.Create(24, 1, 1, nullptr, 0));
        EXPECT_FALSE(dib.LoadPackedDib(bytes.get(), c.size ? c.size : DWORD(c.data.size())));
        EXPECT_EQ(dib.m_nError, c.error) << c.name;
        EXPECT_TRUE(IsEmpty(dib)) << c.name;
    }
    CDib dib;
    EXPECT_FALSE(dib.LoadPackedDib(nullptr, 100));
    EXPECT_EQ(dib.m_nError, ERROR_INVALID_PARAMETER);
}

// A lowered size limit (the fuzz target's) refuses what passes it like the real one,
// and 0 puts the real one back.
TEST(CDibLoad, ALoweredSizeLimitRefusesLargerBitmaps)
{
    const auto rle = Pack(DibHeader(8, 400, 300, 4, BI_RLE8), MakeTable(4), {0, 1});
    CDib::SetMaxDataSize(64 * 1024);
    CDib dib;
    EXPECT_FALSE(dib.LoadPackedDib(rle.data(), DWORD(rle.size())));
    EXPECT_EQ(dib.m_nError, ERROR_NOT_ENOUGH_MEMORY);
    CDib::SetMaxDataSize(0);
    EXPECT_EQ(CDib::MaxDataSize(), CDib::kMaxDataSize);
    EXPECT_TRUE(dib.LoadPackedDib(rle.data(), DWORD(rle.size())));
    EXPECT_EQ(dib.GetDataSize(), 40u + 16 + 400 * 300);
}

TEST(CDibLoad, LongerDataAndItsOwnBytes)
{
    for (int bits : {1, 4, 8, 24}) {
        auto data = Bytes(MakeDib(bits, 7, 3, [](int x, int y) { return DWORD(x * 37 + y * 99); }));
        const std::size_t exact = data.size();
        data.resize(exact + 5, 0xEE); // the excess is ignored
        CDib dib;
        ASSERT_TRUE(dib.LoadPackedDib(data.data(), DWORD(data.size())));
        EXPECT_EQ(Bytes(dib), std::vector<BYTE>(data.begin(), data.begin() + exact));
        ASSERT_TRUE(dib.LoadPackedDib(dib.GetData(), dib.GetDataSize())); // input inside itself
        EXPECT_EQ(Bytes(dib), std::vector<BYTE>(data.begin(), data.begin() + exact)) << bits;
    }
}

TEST(CDibLoad, Rle8DecodesAndStoresUncompressed)
{
    const std::vector<BYTE> rle = {3, 7, 0, 0, 0, 3, 1, 2, 3, 0, 0, 1};
    BITMAPINFOHEADER h = DibHeader(8, 4, 2, 4, BI_RLE8);
    h.biSizeImage = DWORD(rle.size());
    const auto data = Pack(h, MakeTable(4), rle);
    const auto bytes = HeapCopy(data);
    for (DWORD size : {DWORD(data.size()), CDib::kSizeNotGiven}) {
        CDib dib;
        ASSERT_TRUE(dib.LoadPackedDib(bytes.get(), size));
        const BYTE* pixels = dib.GetData() + 40 + 16;
        EXPECT_EQ(std::vector<BYTE>(pixels, pixels + 8),
                  (std::vector<BYTE>{7, 7, 7, 0, 1, 2, 3, 0}));
        EXPECT_EQ(HeaderOf(dib).biCompression, BI_RGB);
        EXPECT_EQ(HeaderOf(dib).biSizeImage, 8u); // the size of the decoded pixels
    }
    // Another bit count decodes nothing: an image of the stated size, all zero.
    const auto four = Pack(DibHeader(4, 4, 1, 0, BI_RLE8), MakeTable(16), {4, 9, 0, 1});
    CDib dib;
    ASSERT_TRUE(dib.LoadPackedDib(four.data(), DWORD(four.size())));
    EXPECT_EQ(dib.GetDataSize(), 40u + 64 + 4);
    EXPECT_EQ(dib.GetData()[40 + 64], 0);
}

TEST(CDibLoad, Rle8NeverReadsPastTheData)
{
    // Run, delta (1, 1), absolute run with padding, end of line, run; no end escape.
    const std::vector<BYTE> rle = {2, 5, 0, 2, 1, 1, 0, 5, 9, 8, 7, 6, 5, 0, 0, 0, 4, 1};
    const BITMAPINFOHEADER h = DibHeader(8, 6, 4, 0, BI_RLE8);
    const auto full = Pack(h, MakeTable(256), rle);
    CDib whole;
    ASSERT_TRUE(whole.LoadPackedDib(full.data(), DWORD(full.size())));
    const std::vector<BYTE> expected = {5, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 8, 7, 0, 0,
                                        1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const auto decoded = Bytes(whole);
    EXPECT_EQ(std::vector<BYTE>(decoded.begin() + 40 + 1024, decoded.end()), expected);
    // Every cut loads; each pixel is either as decoded from the whole data or zero.
    for (std::size_t cut = 40 + 1024 + 1; cut < full.size(); ++cut) {
        const auto bytes = HeapCopy(std::vector<BYTE>(full.begin(), full.begin() + cut));
        CDib dib;
        ASSERT_TRUE(dib.LoadPackedDib(bytes.get(), DWORD(cut)));
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const BYTE v = dib.GetData()[40 + 1024 + i];
            EXPECT_TRUE(v == 0 || v == expected[i]) << cut << " " << i;
        }
    }
    // Size not given: decoding ends past the last row, before the end of this data.
    const auto ending = Pack(h, MakeTable(256), {0, 2, 0, 3, 0, 0});
    const auto bytes = HeapCopy(ending);
    CDib dib;
    EXPECT_TRUE(dib.LoadPackedDib(bytes.get(), CDib::kSizeNotGiven));
}

TEST(CDibLoad, FromResource)
{
    CDib dib;
    ASSERT_TRUE(dib.LoadFromResource(1));
    EXPECT_EQ(dib.GetSize().cx, 16);
    EXPECT_EQ(dib.GetSize().cy, 8);
    EXPECT_EQ(dib.GetBitCount(), 8);
    EXPECT_EQ(dib.GetPixel(0, 0), RGB(0, 0, 0)); // bottom row black
    EXPECT_EQ(dib.GetPixel(0, 7), RGB(255, 0, 0));
    EXPECT_EQ(dib.GetPixel(5, 3), RGB(0, 255, 0));
    EXPECT_EQ(dib.GetPixel(15, 1), RGB(255, 255, 255));

    dib.m_nError = 1234;
    EXPECT_FALSE(dib.LoadFromResource(65000));
    EXPECT_EQ(dib.m_nError, 1234u);
    EXPECT_EQ(dib.GetSize().cx, 16); // unchanged
}

TEST(CDibPalette, MakeCreateAndRefusals)
{
    CDib dib = MakeDib(
        8, 2, 2, [](int, int) { return 0u; }, 4);
    auto palette = dib.MakePalette();
    ASSERT_TRUE(palette);
    PALETTEENTRY entries[5];
    ASSERT_EQ(palette->GetPaletteEntries(0, 5, entries), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(RGB(entries[i].peRed, entries[i].peGreen, entries[i].peBlue),
                  TableColour(dib, i));
    }

    CDib noTable;
    CPalette target;
    EXPECT_FALSE(noTable.CreatePalette(&target)); // empty
    EXPECT_EQ(noTable.m_nError, ERROR_INVALID_PARAMETER);
    ASSERT_TRUE(noTable.Create(24, 1, 1, nullptr, 0));
    EXPECT_FALSE(noTable.CreatePalette(&target));
    EXPECT_EQ(noTable.MakePalette(), nullptr);

    // A table the platform refuses to make into a palette.
    dib = MakeDib(
        8, 2, 2, [](int, int) { return 0u; }, 1100);
    LOGPALETTE one{0x300, 1, {PALETTEENTRY{}}};
    ASSERT_TRUE(target.CreatePalette(&one));
    EXPECT_FALSE(dib.CreatePalette(&target));
    EXPECT_EQ(dib.m_nError, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(target.IsValid()); // the old palette was released first
    dib.m_nError = 0;
    EXPECT_EQ(dib.MakePalette(), nullptr);
    EXPECT_EQ(dib.m_nError, ERROR_NOT_ENOUGH_MEMORY);
}
