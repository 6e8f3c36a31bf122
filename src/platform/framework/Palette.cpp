#include "platform/framework/Palette.h"

#include <algorithm>
#include <new>

BOOL CPalette::CreatePalette(const LOGPALETTE* logPalette)
{
    if (!logPalette || logPalette->palVersion != 0x300 || logPalette->palNumEntries == 0 ||
        logPalette->palNumEntries > kMaxEntries ||
        logPalette->palPalEntry.size() < logPalette->palNumEntries) {
        return FALSE;
    }
    try {
        std::vector<PALETTEENTRY> entries(logPalette->palPalEntry.begin(),
                                          logPalette->palPalEntry.begin() +
                                              logPalette->palNumEntries);
        m_entries.swap(entries);
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    m_valid = true;
    return TRUE;
}

UINT CPalette::GetEntryCount() const
{
    return m_valid ? UINT(m_entries.size()) : 0;
}

UINT CPalette::GetPaletteEntries(UINT start, UINT count, PALETTEENTRY* entries) const
{
    if (!m_valid || !entries || start >= m_entries.size()) {
        return 0;
    }
    const UINT n = std::min<UINT>(count, UINT(m_entries.size()) - start);
    std::copy_n(m_entries.begin() + start, n, entries);
    return n;
}

BOOL CPalette::DeleteObject()
{
    if (!m_valid) {
        return FALSE;
    }
    m_valid = false;
    m_entries.clear();
    return TRUE;
}
