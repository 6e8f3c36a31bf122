// Menu resources: a menu is a flat list of entries in display order; a popup's items
// follow its Popup entry up to the matching EndPopup. Items at the top level are
// commands on the menu bar itself.
#pragma once

#include "platform/WinTypes.h"
#include "platform/framework/Resources.h"

#include <span>

namespace vexol::res {

enum class MenuEntryKind : unsigned char { Popup, EndPopup, Item, Separator };

struct MenuTemplateEntry
{
    MenuEntryKind kind;
    UINT id;          // command ID of an Item, 0 otherwise
    const char* text; // UTF-8; "&" marks the mnemonic, "\t" starts the shortcut text
    bool checked;     // initial check mark of an Item
};

// Menu `id` in `language`; empty when there is none.
std::span<const MenuTemplateEntry> FindMenuTemplate(UINT id, Language language);

} // namespace vexol::res
