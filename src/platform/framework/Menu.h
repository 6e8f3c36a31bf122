// Menus: a menu bar or popup built from a menu resource, and CMenu, a handle through
// which the program finds, appends, deletes and marks items by command ID or position.
// Every item carries its command ID; choosing or highlighting it reaches the frame
// window that owns the menu bar.
#pragma once

#include "platform/WinTypes.h"

#include <QPointer>
#include <string>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// Item flags.
inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_ENABLED = 0x0000;
inline constexpr UINT MF_UNCHECKED = 0x0000;
inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT MF_CHECKED = 0x0008;
inline constexpr UINT MF_POPUP = 0x0010;
inline constexpr UINT MF_BYPOSITION = 0x0400;
inline constexpr UINT MF_SEPARATOR = 0x0800;

class CMenu
{
public:
    CMenu() = default;
    explicit CMenu(QMenuBar* menuBar);
    explicit CMenu(QMenu* popup);

    bool IsNull() const { return m_widget.isNull(); }
    QWidget* GetSafeHmenu() const { return m_widget.data(); }

    // Number of items; -1 for a null handle.
    int GetMenuItemCount() const;
    // Command ID of the item at `position`: 0 for a separator, 0xFFFFFFFF for a popup
    // or a position outside the menu.
    UINT GetMenuItemID(int position) const;
    // The popup at `position`; a null handle when that item is no popup.
    CMenu GetSubMenu(int position) const;

    // Appends a text item (MF_STRING with MF_CHECKED, MF_GRAYED as wanted) or a
    // separator (MF_SEPARATOR). Popups cannot be appended.
    BOOL AppendMenu(UINT flags, UINT id = 0, const char* text = nullptr);
    // Deletes an item: MF_BYCOMMAND looks for the command ID here and in the popups
    // below, MF_BYPOSITION takes the position in this menu.
    BOOL DeleteMenu(UINT item, UINT flags);
    // The item's text (with "&" and "\t..." as stored); false when there is no item.
    BOOL GetMenuString(UINT item, std::string& text, UINT flags) const;
    // MF_CHECKED, MF_GRAYED, MF_SEPARATOR and MF_POPUP bits; 0xFFFFFFFF when absent.
    UINT GetMenuState(UINT item, UINT flags) const;

    // The item with command `id` here or in the popups below; null when absent.
    QAction* FindCommand(UINT id) const;

private:
    QAction* ItemAt(UINT item, UINT flags) const;

    QPointer<QWidget> m_widget; // a QMenuBar or a QMenu
};

namespace vexol::platform::framework {

// The command ID of a menu item; 0 for separators and popups.
UINT CommandIdOf(const QAction* action);

// Fills `menuBar` with menu resource `id` in the user's language. False when the
// resource does not exist.
bool BuildMenuBar(QMenuBar* menuBar, UINT id);

} // namespace vexol::platform::framework
