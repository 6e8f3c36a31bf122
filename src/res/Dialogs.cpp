// Dialog templates in English and Japanese.
#include "platform/framework/MessageBox.h" // IDOK
#include "platform/framework/DialogTemplate.h"
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

// Capture file size (130): the same layout in both languages.
constexpr DWORD kSizeEdit = ctl::Border | ctl::TabStop | ctl::AutoHScroll;
constexpr DWORD kImageButton = ctl::OwnerDraw | ctl::TabStop;
const DialogControlTemplate kFileSizeControlsEnglish[] = {
    {C::Static, kNoControlId, "Specify the capture file size within the space available on the disk.\n\nThe file size will be increased for data automatically as necessary during recording.  When there is not enough disk space available, decrease the size of the capture file.", 7, 7, 154, 60, 0, 0},
    {C::Static, kNoControlId, "Available disk space(&F)", 7, 73, 77, 13, 0, 0},
    {C::Edit, IDC_AVAILABLE_SIZE, "", 97, 73, 30, 13, kSizeEdit | ctl::ReadOnly, 0},
    {C::Static, kNoControlId, "MB", 136, 73, 25, 13, 0, 0},
    {C::Static, kNoControlId, "C&apture file size", 7, 93, 77, 13, 0, 0},
    {C::Edit, IDC_FILE_SIZE, "", 97, 93, 30, 13, kSizeEdit, 0},
    {C::Static, kNoControlId, "MB", 136, 93, 25, 13, 0, 0},
    {C::PushButton, IDOK, "OK", 30, 112, 50, 14, kImageButton, 0},
    {C::PushButton, IDCANCEL, "Cancel", 85, 112, 50, 14, kImageButton, 0},
};
const DialogControlTemplate kFileSizeControlsJapanese[] = {
    {C::Static, kNoControlId, "ｷｬﾌﾟﾁｬﾌｧｲﾙのｻｲｽﾞを\n空きﾃﾞｨｽｸ容量の範囲内で指定してください。\n\n録画時にﾃﾞｰﾀ量に応じてｷｬﾌﾟﾁｬﾌｧｲﾙｻｲｽﾞを自動拡張します。空きﾃﾞｨｽｸ容量が不足してきたら、ｷｬﾌﾟﾁｬﾌｧｲﾙｻｲｽﾞを小さくしてください。", 7, 7, 154, 60, 0, 0},
    {C::Static, kNoControlId, "空きﾃﾞｨｽｸ容量(&F)", 7, 73, 77, 13, 0, 0},
    {C::Edit, IDC_AVAILABLE_SIZE, "", 97, 73, 30, 13, kSizeEdit | ctl::ReadOnly, 0},
    {C::Static, kNoControlId, "Mﾊﾞｲﾄ", 136, 73, 25, 13, 0, 0},
    {C::Static, kNoControlId, "ｷｬﾌﾟﾁｬﾌｧｲﾙｻｲｽﾞ(&A)", 7, 93, 77, 13, 0, 0},
    {C::Edit, IDC_FILE_SIZE, "", 97, 93, 30, 13, kSizeEdit, 0},
    {C::Static, kNoControlId, "Mﾊﾞｲﾄ", 136, 93, 25, 13, 0, 0},
    {C::PushButton, IDOK, "OK", 30, 112, 50, 14, kImageButton, 0},
    {C::PushButton, IDCANCEL, "ｷｬﾝｾﾙ", 85, 112, 50, 14, kImageButton, 0},
};

// Various parameter settings (133): some Japanese controls are narrower or placed
// further left.
constexpr DWORD kNumberEdit = ctl::Border | ctl::TabStop | ctl::AutoHScroll;
const DialogControlTemplate kParameterControlsEnglish[] = {
    {C::Static, kNoControlId, "Number of &frames per second", 7, 7, 97, 10, 0, 0},
    {C::Edit, IDC_FRAMES_PER_SECOND, "", 108, 7, 36, 12, kNumberEdit, 0},
    {C::Static, kNoControlId, "fps", 149, 7, 22, 10, 0, 0},
    {C::CheckBox, IDC_LIMIT_ENABLED, "Limit capture tim&e", 7, 25, 85, 14, ctl::TabStop, 0},
    {C::Static, IDC_TIME_LIMIT_UNIT, "&Second", 82, 43, 31, 10, 0, 0},
    {C::Edit, IDC_TIME_LIMIT, "", 43, 40, 36, 12, kNumberEdit, 0},
    {C::CheckBox, IDC_CAPTURE_AUDIO, "&Capture audio", 7, 55, 85, 14, ctl::TabStop, 0},
    {C::PushButton, IDOK, "OK", 125, 40, 50, 14, kImageButton, 0},
    {C::PushButton, IDCANCEL, "Cancel", 125, 57, 50, 14, kImageButton, 0},
};
const DialogControlTemplate kParameterControlsJapanese[] = {
    {C::Static, kNoControlId, "1秒当たりのﾌﾚｰﾑ数(&F)", 7, 7, 85, 10, 0, 0},
    {C::Edit, IDC_FRAMES_PER_SECOND, "", 96, 7, 36, 12, kNumberEdit, 0},
    {C::Static, kNoControlId, "fps", 137, 7, 24, 10, 0, 0},
    {C::CheckBox, IDC_LIMIT_ENABLED, "ｷｬﾌﾟﾁｬの制限時間(&E)", 7, 25, 85, 14, ctl::TabStop, 0},
    {C::Static, IDC_TIME_LIMIT_UNIT, "秒(&S)", 82, 43, 24, 10, 0, 0},
    {C::Edit, IDC_TIME_LIMIT, "", 43, 40, 36, 12, kNumberEdit, 0},
    {C::CheckBox, IDC_CAPTURE_AUDIO, "ｵｰﾃﾞｨｵｷｬﾌﾟﾁｬ(&C)", 7, 55, 85, 14, ctl::TabStop, 0},
    {C::PushButton, IDOK, "OK", 125, 40, 50, 14, kImageButton, 0},
    {C::PushButton, IDCANCEL, "ｷｬﾝｾﾙ", 125, 57, 50, 14, kImageButton, 0},
};

// JPEG quality (135): the group placed below the save-still dialog's own controls.
const DialogControlTemplate kJpegQualityControlsEnglish[] = {
    {C::GroupBox, kNoControlId, "&JPEG Quality", 71, 7, 132, 23, 0, 0},
    {C::RadioButton, IDC_JPEG_HIGH, "High", 77, 16, 32, 10, ctl::Group, 0},
    {C::RadioButton, IDC_JPEG_MEDIUM, "Medium", 118, 16, 38, 10, 0, 0},
    {C::RadioButton, IDC_JPEG_LOW, "Low", 161, 16, 27, 10, ctl::TabStop, 0},
};
const DialogControlTemplate kJpegQualityControlsJapanese[] = {
    {C::GroupBox, kNoControlId, "JPEG画質(&J)", 71, 7, 132, 23, 0, 0},
    {C::RadioButton, IDC_JPEG_HIGH, "高", 77, 16, 26, 13, ctl::Group, 0},
    {C::RadioButton, IDC_JPEG_MEDIUM, "中", 117, 16, 26, 13, 0, 0},
    {C::RadioButton, IDC_JPEG_LOW, "低", 157, 16, 26, 13, ctl::TabStop, 0},
};

// Waiting for the shutter switch (136): the same Japanese texts in both languages.
const DialogControlTemplate kShutterWaitControls[] = {
    {C::Static, kNoControlId, "ｼｬｯﾀｰｽｲｯﾁを押してください。静止画を保存します。", 7, 7, 173, 10, 0, 0},
    {C::PushButton, IDOK, "OK", 69, 18, 50, 14, kImageButton, 0},
};
// clang-format on

constexpr DWORD kModalDialog = dlg::Modal | dlg::Caption | dlg::SysMenu;

constexpr const char* kEnglishFont = "MS Sans Serif";
constexpr const char* kJapaneseFont = "ＭＳ Ｐゴシック";
constexpr const char* kShutterWaitCaption = "Clickwand連続静止画保存";

const DialogTemplate kDialogsEnglish[] = {
    {IDD_ABOUTBOX, "Version Information(Video capture software)", kEnglishFont, 9, 235, 55,
     kModalDialog, kAboutControlsEnglish},
    {IDD_FILE_SIZE, "Capture file size setting", kEnglishFont, 9, 167, 133, kModalDialog,
     kFileSizeControlsEnglish},
    {IDD_PARAMETERS, "Various Parameter Settings", kEnglishFont, 9, 182, 77, kModalDialog,
     kParameterControlsEnglish},
    {IDD_JPEG_QUALITY, "", kEnglishFont, 9, 227, 37, dlg::Child, kJpegQualityControlsEnglish},
    {IDD_SHUTTER_WAIT, kShutterWaitCaption, kJapaneseFont, 9, 187, 39, kModalDialog,
     kShutterWaitControls},
};
const DialogTemplate kDialogsJapanese[] = {
    {IDD_ABOUTBOX, "ﾊﾞｰｼﾞｮﾝ情報(ﾋﾞﾃﾞｵｷｬﾌﾟﾁｬｿﾌﾄ)", kJapaneseFont, 9, 235, 55, kModalDialog,
     kAboutControlsJapanese},
    {IDD_FILE_SIZE, "ｷｬﾌﾟﾁｬﾌｧｲﾙのｻｲｽﾞ設定", kJapaneseFont, 9, 167, 133, kModalDialog,
     kFileSizeControlsJapanese},
    {IDD_PARAMETERS, "各種ﾊﾟﾗﾒﾀの設定", kJapaneseFont, 9, 182, 77, kModalDialog,
     kParameterControlsJapanese},
    {IDD_JPEG_QUALITY, "", kJapaneseFont, 9, 227, 37, dlg::Child, kJpegQualityControlsJapanese},
    {IDD_SHUTTER_WAIT, kShutterWaitCaption, kJapaneseFont, 9, 187, 39, kModalDialog,
     kShutterWaitControls},
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
