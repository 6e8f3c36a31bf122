// The string tables of the user interface, one per language. Both hold the same IDs;
// texts are UTF-8. LoadString (platform/framework/Resources.h) picks the table of the
// user's language.
#pragma once

#include "platform/WinTypes.h"

#include <span>

namespace vexol::res {

struct StringTableEntry
{
    UINT id;
    const char* text;
};

// Each table is sorted by ID and holds every ID once.
std::span<const StringTableEntry> EnglishStrings();
std::span<const StringTableEntry> JapaneseStrings();

} // namespace vexol::res
