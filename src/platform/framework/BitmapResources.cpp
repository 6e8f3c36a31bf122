// Lookup of the bitmap resources embedded from src/res/bitmaps.
#include "platform/framework/Resources.h"

#include <cstring>

bool FindBitmapResource(UINT id, const BYTE*& data, DWORD& size)
{
    using vexol::res::BitmapLanguage;
    const BitmapLanguage wanted = vexol::res::UserLanguage() == vexol::res::Language::Japanese
                                      ? BitmapLanguage::Japanese
                                      : BitmapLanguage::Neutral;
    const vexol::res::EmbeddedBitmap* found = nullptr;
    for (const vexol::res::EmbeddedBitmap* entry = vexol::res::kEmbeddedBitmaps; entry->data;
         ++entry) {
        if (entry->id != id) {
            continue;
        }
        if (entry->language == wanted) {
            found = entry;
            break;
        }
        if (entry->language == BitmapLanguage::Neutral) {
            found = entry; // unless the wanted language follows
        }
    }
    if (!found) {
        return false;
    }
    // A resource is the packed DIB that follows the file header.
    if (found->size <= sizeof(BITMAPFILEHEADER) || found->data[0] != 'B' || found->data[1] != 'M') {
        return false;
    }
    data = found->data + sizeof(BITMAPFILEHEADER);
    size = DWORD(found->size - sizeof(BITMAPFILEHEADER));
    return true;
}
