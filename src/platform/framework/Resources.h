// The program's resources: string tables in English and Japanese, and bitmaps
// embedded from src/res/bitmaps. The language follows the user's locale.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace vexol::res {

enum class Language { English, Japanese };

// The language of the user interface: Japanese when the first of LC_ALL, LC_MESSAGES
// and LANG that is set names a Japanese locale (ja, ja_JP.UTF-8, ...), else English.
Language UserLanguage();
// Overrides the language for this process (tests, a command-line switch).
void SetLanguage(Language language);
// Drops that override: the locale decides again.
void ResetLanguage();


// Neutral: the bitmap for every language without a form of its own.
enum class BitmapLanguage { Neutral, Japanese };

// One embedded bitmap file, as written by the build (see cmake/EmbedBitmaps.cmake).
struct EmbeddedBitmap
{
    unsigned id;               // 0 ends the table
    BitmapLanguage language;
    const std::uint8_t* data;  // the whole .bmp file, file header included
    std::size_t size;
};
extern const EmbeddedBitmap kEmbeddedBitmaps[];

} // namespace vexol::res

// Loads string resource `id` in the user's language (UTF-8). Returns false and leaves
// `text` empty when the table has no such string.
bool LoadString(UINT id, std::string& text);

// Finds bitmap resource `id` in the user's language (the neutral form when that language
// has none): on success `data` points at the packed DIB (the bytes after the 14-byte
// file header) and `size` is its length.
bool FindBitmapResource(UINT id, const BYTE*& data, DWORD& size);
