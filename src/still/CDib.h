// CDib: one device-independent bitmap held as a packed DIB in one byte block: the
// 40-byte BITMAPINFOHEADER, the colour table (blue, green, red, 0 per entry) and the
// pixel rows, bottom row first, each padded to a multiple of 4 bytes. The same block is
// what a bitmap resource and a BMP file (after its 14-byte file header) carry.
//
// Pixel coordinates: x from the left, y in storage order (y = 0 is the bottom row).
// Colour values are COLORREF (0x00BBGGRR). Operations returning BOOL give TRUE or
// FALSE; a failure leaves its Win32 error code in m_nError (ERROR_INVALID_PARAMETER,
// ERROR_INVALID_DATA or ERROR_NOT_ENOUGH_MEMORY), a success leaves m_nError alone.
#pragma once

#include "platform/WinTypes.h"
#include "platform/framework/DC.h"
#include "platform/framework/RuntimeClass.h"

#include <cstddef>
#include <memory>
#include <vector>

class CArchive;
class CPalette;
class QPainter;

class CDib : public CObject
{
public:
    // Size given to LoadPackedDib when the caller does not know it.
    static constexpr DWORD kSizeNotGiven = 0xFFFFFFFF;
    // Largest packed DIB the class holds (header, table and pixels); bigger images
    // are refused with ERROR_NOT_ENOUGH_MEMORY.
    static constexpr DWORD kMaxDataSize = 1u << 30;
    // The largest packed DIB accepted now: kMaxDataSize unless lowered, as the fuzz
    // target does so that no single input allocates a gigabyte. 0 restores the default.
    static DWORD MaxDataSize();
    static void SetMaxDataSize(DWORD bytes);

    CDib() = default;
    CDib(const CDib& other) = default;
    CDib(CDib&& other) noexcept;
    ~CDib() override = default;
    // Copies width, height, the bytes and the error code; self-assignment is a no-op.
    CDib& operator=(const CDib& other);
    CDib& operator=(CDib&& other) noexcept;

    // Empties the bitmap and sets width, height and m_nError to 0. Always TRUE.
    BOOL Clear();
    // (width, height); (0, 0) when empty.
    SIZE GetSize() const { return SIZE{m_nWidth, m_nHeight}; }
    // Low byte of biBitCount; 0 when empty.
    BYTE GetBitCount() const;
    // Start of the packed DIB (the header); null when empty.
    BYTE* GetData() { return m_data.empty() ? nullptr : m_data.data(); }
    const BYTE* GetData() const { return m_data.empty() ? nullptr : m_data.data(); }
    DWORD GetDataSize() const { return DWORD(m_data.size()); }
    // Bytes per pixel row; 0 when empty.
    DWORD GetStride() const;

    // Number of colour-table entries a header implies: 0 above 8 bits per pixel, else
    // biClrUsed when not 0, else 2 to the power biBitCount.
    static DWORD ColourTableEntries(const BITMAPINFOHEADER* header);

    // Makes a new bitmap of `bitCount` bits per pixel, all pixel bytes zero, 24-bit
    // pixels set to `fill`. Bit counts up to 8 need a palette, whose first entries
    // (at most as many as the bit count can index) become the colour table; bit count
    // 0 and 1 are refused. Width and height must be positive. The bitmap is empty when
    // this fails.
    BOOL Create(BYTE bitCount, LONG width, LONG height, CPalette* palette, COLORREF fill);
    // Loads a packed DIB of `size` bytes (kSizeNotGiven: size unknown) with 1, 4, 8 or
    // 24 bits per pixel, uncompressed or BI_RLE8; RLE8 data is stored decoded. The
    // bitmap is empty when this fails. `data` may point into this object.
    BOOL LoadPackedDib(const void* data, DWORD size);
    // Loads bitmap resource `id`. A missing resource fails with the object and
    // m_nError unchanged.
    BOOL LoadFromResource(WORD id);

    // Replaces `palette`'s contents with a palette made from the colour table.
    BOOL CreatePalette(CPalette* palette);
    // A new palette made from the colour table, or null when there is no table or the
    // palette cannot be made.
    std::unique_ptr<CPalette> MakePalette();

    // Draws the bitmap into `dc`: stretched into `rect` (normalised) with
    // nearest-neighbour sampling, or at its own size at the rectangle's top-left when
    // the rectangle has zero width or height. The first form makes and releases a
    // palette from the colour table; the second uses `palette` (null: none).
    BOOL Draw(CDC* dc, const RECT& rect);
    BOOL Draw(CDC* dc, const RECT& rect, CPalette* palette);
    // The same on a painter, for windows that still paint with one.
    BOOL Draw(QPainter* painter, const RECT& rect)
    {
        CDC dc(painter);
        return Draw(&dc, rect);
    }
    BOOL Draw(QPainter* painter, const RECT& rect, CPalette* palette)
    {
        CDC dc(painter);
        return Draw(&dc, rect, palette);
    }

    // Colour of pixel (x, y); 0 when empty, outside the bitmap, for bit counts other
    // than 1, 4, 8 and 24, and for an index beyond the colour table.
    COLORREF GetPixel(int x, int y) const;
    // Sets pixel (x, y) of a 24-bit bitmap; does nothing otherwise or outside.
    void SetPixel(int x, int y, COLORREF colour);

    // Copies `srcRect` of `src` (any bit count GetPixel reads; pixels outside it read
    // as black) to this 24-bit bitmap with its top-left at (x, y), clipped to this
    // bitmap. `src` may be this object.
    BOOL CopyFrom(const CDib* src, const RECT& srcRect, int x, int y);
    // Turns a 1, 4 or 8-bit bitmap into a 24-bit one with the same colours; a 24-bit
    // bitmap stays as it is. The object is unchanged when this fails.
    BOOL ConvertTo24Bit();
    // Makes a 24-bit bitmap from rows of 16-bit little-endian 5-5-5 pixels (each row
    // padded to a multiple of 4 bytes), first row y = 0. Unchanged on failure.
    BOOL CreateFrom16Bit(const void* pixels, int width, int height);
    // Makes a 24-bit bitmap from 4-byte pixels (blue, green, red, unused), rows without
    // padding, first row y = 0. Unchanged on failure.
    BOOL CreateFrom32Bit(const void* pixels, int width, int height);

    // Writes a BMP file: the 14-byte file header, then the packed DIB with its
    // resolution set to 3790 x 3780 pixels per metre (kept in the object). The file is
    // replaced only when all of it was written; on failure an earlier file stays.
    BOOL WriteBmpFile(const char* path);

    // Stores or loads: reserved word 0, width, height, byte count, bytes, error code.
    // Loading data that is not a consistent bitmap marks the archive failed and leaves
    // the object unchanged.
    void Serialize(CArchive& ar) override;

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCDib;

    DWORD m_nError = 0; // error code of the last failed operation

private:
    // Builds a 24-bit bitmap from rows of `inStride` bytes, each converted by `convertRow`.
    BOOL CreateFromRows(const void* pixels, int width, int height, std::size_t inStride,
                        void (*convertRow)(const BYTE*, BYTE*, int));
    BOOL DrawWithPalette(CDC* dc, const RECT& rect, CPalette* palette, bool makePalette);
    BOOL Fail(DWORD error);

    LONG m_nWidth = 0;
    LONG m_nHeight = 0;
    std::vector<BYTE> m_data;
};
