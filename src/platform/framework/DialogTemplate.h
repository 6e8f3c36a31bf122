// Dialog templates: the dialog's size, caption and font, and its controls in tab
// order, with positions and sizes in dialog units.
#pragma once

#include "platform/WinTypes.h"
#include "platform/framework/Resources.h"

#include <span>

namespace vexol::res {

enum class ControlKind : unsigned char {
    Static,        // text
    Icon,          // an icon resource
    Edit,          // one-line text field
    PushButton,    //
    DefPushButton, // the button that Enter presses
    CheckBox,      // automatic check box
    RadioButton,   // automatic radio button
    GroupBox,      // frame with a title around other controls
};

// Control style flags.
namespace ctl {
inline constexpr DWORD NoPrefix = 0x0001;    // static: "&" is shown, not a mnemonic
inline constexpr DWORD CenterText = 0x0002;  // static: centred text
inline constexpr DWORD RightText = 0x0004;   // static: right-aligned text
inline constexpr DWORD Border = 0x0008;      // edit: framed
inline constexpr DWORD ReadOnly = 0x0010;    // edit
inline constexpr DWORD AutoHScroll = 0x0020; // edit: scrolls sideways as text grows
inline constexpr DWORD TabStop = 0x0040;     // reached with the Tab key
inline constexpr DWORD Group = 0x0080;       // starts a group (radio buttons)
inline constexpr DWORD OwnerDraw = 0x0100;   // button: painted by its owner
inline constexpr DWORD Disabled = 0x0200;
inline constexpr DWORD Hidden = 0x0400;
} // namespace ctl

// Dialog style flags.
namespace dlg {
inline constexpr DWORD Modal = 0x0001;   // modal pop-up
inline constexpr DWORD Caption = 0x0002; // title bar
inline constexpr DWORD SysMenu = 0x0004; // close button
inline constexpr DWORD Child = 0x0008;   // placed inside another window
} // namespace dlg

inline constexpr int kNoControlId = -1;

struct DialogControlTemplate
{
    ControlKind kind;
    int id;           // kNoControlId for a control nobody addresses
    const char* text; // UTF-8
    short x, y, cx, cy;
    DWORD style;     // ctl:: flags
    UINT resourceId; // icon resource of an Icon control, else 0
};

struct DialogTemplate
{
    UINT id;
    const char* caption;
    const char* fontName;
    int pointSize;
    short cx, cy;
    DWORD style; // dlg:: flags
    std::span<const DialogControlTemplate> controls;
};

// Dialog template `id` in `language`; null when there is none.
const DialogTemplate* FindDialogTemplate(UINT id, Language language);

} // namespace vexol::res
