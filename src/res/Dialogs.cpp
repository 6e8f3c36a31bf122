// Dialog templates in English and Japanese.
#include "platform/framework/MessageBox.h" // IDOK
#include "res/DialogTemplate.h"
#include "res/ResourceIds.h"

namespace vexol::res {
namespace {

using C = ControlKind;

// Version information (100).
// clang-format off
const DialogControlTemplate kAboutControlsEnglish[] = {
    {C::Icon, kNoControlId, "", 11, 17, 20, 20, 0, IDR_MAINFRAME},
    {C::Static, IDC_VERSION_TEXT, "Video capture software Version 1.2", 40, 10, 129, 8, ctl::NoPrefix, 0},
    {C::Static, IDC_COPYRIGHT_TEXT, "Copyright (C) Torvane. All rights reserved.", 39, 25, 189, 8, 0, 0},
    {C::PushButton, IDOK, "OK", 196, 7, 32, 14, ctl::OwnerDraw | ctl::TabStop | ctl::Group, 0},
};
const DialogControlTemplate kAboutControlsJapanese[] = {
    {C::Icon, kNoControlId, "", 11, 17, 20, 20, 0, IDR_MAINFRAME},
    {C::Static, IDC_VERSION_TEXT, "ﾋﾞﾃﾞｵｷｬﾌﾟﾁｬｿﾌﾄ Version 1.2", 40, 10, 119, 8, ctl::NoPrefix, 0},
    {C::Static, IDC_COPYRIGHT_TEXT, "Copyright (C) Torvane. All rights reserved.", 39, 25, 189, 8, 0, 0},
    {C::PushButton, IDOK, "OK", 196, 7, 32, 14, ctl::OwnerDraw | ctl::TabStop | ctl::Group, 0},
};
// clang-format on

constexpr DWORD kModalDialog = dlg::Modal | dlg::Caption | dlg::SysMenu;

const DialogTemplate kDialogsEnglish[] = {
    {IDD_ABOUTBOX, "Version Information(Video capture software)", "MS Sans Serif", 9, 235, 55,
     kModalDialog, kAboutControlsEnglish},
};
const DialogTemplate kDialogsJapanese[] = {
    {IDD_ABOUTBOX, "ﾊﾞｰｼﾞｮﾝ情報(ﾋﾞﾃﾞｵｷｬﾌﾟﾁｬｿﾌﾄ)", "ＭＳ Ｐゴシック", 9, 235, 55, kModalDialog,
     kAboutControlsJapanese},
};

} // namespace

const DialogTemplate* FindDialogTemplate(UINT id, Language language)
{
    const std::span<const DialogTemplate> table =
        language == Language::Japanese ? std::span<const DialogTemplate>(kDialogsJapanese)
                                       : std::span<const DialogTemplate>(kDialogsEnglish);
    for (const DialogTemplate& dialog : table) {
        if (dialog.id == id) {
            return &dialog;
        }
    }
    return nullptr;
}

} // namespace vexol::res
