// Lookup of the bitmap resources embedded from src/res/bitmaps.
#include "platform/framework/Resources.h"

#include <cstring>

bool FindBitmapResource(UINT id, const BYTE*& data, DWORD& size)
{
    for (const vexol::res::EmbeddedBitmap* entry = vexol::res::kEmbeddedBitmaps; entry->data;
         ++entry) {
        if (entry->id != id) {
            continue;
        }
        // A resource is the packed DIB that follows the file header.
        if (entry->size <= sizeof(BITMAPFILEHEADER) || entry->data[0] != 'B' ||
            entry->data[1] != 'M') {
            return false;
        }
        data = entry->data + sizeof(BITMAPFILEHEADER);
        size = DWORD(entry->size - sizeof(BITMAPFILEHEADER));
        return true;
    }
    return false;
}
