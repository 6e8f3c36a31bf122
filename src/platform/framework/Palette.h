// A logical colour palette: the small stand-in for the platform's palette object that
// bitmaps hand to drawing code. It holds a copy of the entries it was created from.
#pragma once

#include "platform/WinTypes.h"

#include <vector>

// The record a palette is created from. palNumEntries entries of palPalEntry count.
struct LOGPALETTE
{
    WORD palVersion = 0x300;
    WORD palNumEntries = 0;
    std::vector<PALETTEENTRY> palPalEntry;
};

class CPalette
{
public:
    // Largest palette the platform accepts; larger requests are refused like an
    // allocation the system cannot satisfy.
    static constexpr UINT kMaxEntries = 1024;

    CPalette() = default;
    CPalette(const CPalette&) = delete;
    CPalette& operator=(const CPalette&) = delete;

    // Creates the palette from `logPalette`, replacing any palette held before.
    // FALSE, with the object left as it was, when the record is null, its version is
    // not 0x300, it has 0 or more than kMaxEntries entries, or fewer entries than it
    // claims.
    BOOL CreatePalette(const LOGPALETTE* logPalette);
    // Number of entries; 0 when the object holds no palette.
    UINT GetEntryCount() const;
    // Copies up to `count` entries from index `start` to `entries`; returns the number
    // copied (0 when there is no palette, `start` is past the end or `entries` is null).
    UINT GetPaletteEntries(UINT start, UINT count, PALETTEENTRY* entries) const;
    // Releases the palette; FALSE when there was none.
    BOOL DeleteObject();
    // TRUE while the object holds a palette.
    bool IsValid() const { return m_valid; }

private:
    bool m_valid = false;
    std::vector<PALETTEENTRY> m_entries;
};
