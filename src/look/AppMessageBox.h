// Reports a failure the application detected itself: the message text of a 32-bit
// code (place << 16 | string ID) under an identification line, in a modal box whose
// buttons and icon follow the string ID's range.
#pragma once

#include "platform/WinTypes.h"

#include <string>

// The code of a report from `place` with message text `stringId`.
constexpr DWORD MakeMessageCode(WORD place, WORD stringId)
{
    return (DWORD(place) << 16) | stringId;
}

class AppMessageBox
{
public:
    AppMessageBox() = default;

    // -1: style from the string ID's range; otherwise the complete style of the next box.
    INT styleOverride = -1;

    UINT ChooseStyle(DWORD code) const;
    // Shows the box for `code`, %1 and %2 of the text replaced by the insertions (null:
    // nothing). Returns the answer (IDOK, IDCANCEL, IDRETRY, IDYES, IDNO), or 0 when
    // memory ran out before the box could be shown. Resets styleOverride to -1.
    int Show(DWORD code, const char* insert1 = nullptr, const char* insert2 = nullptr);

    // The help context of every box shown here.
    static constexpr DWORD kHelpId = 0x28101;
};

// The insertion rule: %1 and %2 become the insertions, %3-%9 and %A-%Z become "?",
// everything else (a lone or final '%' included) is copied unchanged.
std::string ExpandMessageInsertions(const std::string& text, const char* insert1,
                                    const char* insert2);
