// Main menu 128 in English and Japanese. Texts ending in "!" are commands on the menu
// bar itself.
#include "platform/framework/MenuTemplate.h"
#include "res/ResourceIds.h"

namespace vexol::res {
namespace {

using K = MenuEntryKind;

// clang-format off
const MenuTemplateEntry kMainMenuEnglish[] = {
    {K::Popup, 0, "&File", false},
        {K::Item, 32771, "Capture file &setting...", false},
        {K::Item, 32786, "C&apture file size setting...", false},
        {K::Separator, 0, nullptr, false},
        {K::Item, 32787, "Save &Captured Movie...", false},
        {K::Item, 32772, "Save Captured Still Image(&F)...", false},
        {K::Separator, 0, nullptr, false},
        {K::Item, 57665, "E&xit", false},
    {K::EndPopup, 0, nullptr, false},
    {K::Popup, 0, "&Option", false},
        {K::Item, 32774, "Image &Format...", false},
        {K::Item, 32775, "Video Input(&S)...", false},
        {K::Item, 32776, "Video &Display...", false},
        {K::Separator, 0, nullptr, false},
        {K::Item, 32777, "&Audio Format...", false},
        {K::Separator, 0, nullptr, false},
        {K::Item, 32778, "&Various Parameter Settings...", false},
        {K::Separator, 0, nullptr, false},
        {K::Item, 32779, "&Overlay", false},
        {K::Item, 32780, "&Preview", false},
        {K::Separator, 0, nullptr, false},
        {K::Item, 59393, "Stat&us Bar", false},
        {K::Separator, 0, nullptr, false},
    {K::EndPopup, 0, nullptr, false},
    {K::Item, 32793, "&Record!", false},
    {K::Item, 32795, "&Pause Recording!", false},
    {K::Item, 32810, "Continuously Save Stills(&B)!", false},
    {K::Popup, 0, "&Capture", false},
        {K::Item, 32794, "Display S&till\tCtrl+T", true},
        {K::Item, 32811, "&Clickwand連続静止画保存", false},
    {K::EndPopup, 0, nullptr, false},
    {K::Popup, 0, "&Help", false},
        {K::Item, 57667, "Searc&h for Topic...", false},
        {K::Item, 57664, "Version Inform&ation...", false},
    {K::EndPopup, 0, nullptr, false},
};

const MenuTemplateEntry kMainMenuJapanese[] = {
    {K::Popup, 0, "ﾌｧｲﾙ(&F)", false},
        {K::Item, 32771, "ｷｬﾌﾟﾁｬﾌｧｲﾙ設定(&S)...", false},
        {K::Item, 32786, "ｷｬﾌﾟﾁｬﾌｧｲﾙｻｲｽﾞ指定(&A)...", false},
        {K::Separator, 0, nullptr, false},
        {K::Item, 32787, "ｷｬﾌﾟﾁｬ動画保存(&C)...", false},
        {K::Item, 32772, "ｷｬﾌﾟﾁｬ静止画保存(&F)...", false},
        {K::Separator, 0, nullptr, false},
        {K::Item, 57665, "ﾋﾞﾃﾞｵｷｬﾌﾟﾁｬｿﾌﾄの終了(&X)", false},
    {K::EndPopup, 0, nullptr, false},
    {K::Popup, 0, "設定(&O)", false},
        {K::Item, 32774, "画像形式(&F)...", false},
        {K::Item, 32775, "画像入力(&S)...", false},
        {K::Item, 32776, "画像表示(&D)...", false},
        {K::Separator, 0, nullptr, false},
        {K::Item, 32777, "ｵｰﾃﾞｨｵ形式(&A)...", false},
        {K::Separator, 0, nullptr, false},
        {K::Item, 32778, "各種ﾊﾟﾗﾒﾀの設定(&V)...", false},
        {K::Separator, 0, nullptr, false},
        {K::Item, 32779, "ｵｰﾊﾞﾚｲ(&O)", false},
        {K::Item, 32780, "ﾌﾟﾚﾋﾞｭｰ(&P)", false},
        {K::Separator, 0, nullptr, false},
        {K::Item, 59393, "ｽﾃｰﾀｽ ﾊﾞｰ(&U)", false},
        {K::Separator, 0, nullptr, false},
    {K::EndPopup, 0, nullptr, false},
    {K::Item, 32793, "録画(&R)!", false},
    {K::Item, 32795, "録画停止(&P)!", false},
    {K::Item, 32810, "連続静止画保存(&B)!", false},
    {K::Popup, 0, "ｷｬﾌﾟﾁｬ(&C)", false},
        {K::Item, 32794, "ｽﾁﾙ表示(&T)\tCtrl+T", true},
        {K::Item, 32811, "&Clickwand連続静止画保存", false},
    {K::EndPopup, 0, nullptr, false},
    {K::Popup, 0, "ﾍﾙﾌﾟ(&H)", false},
        {K::Item, 57667, "ﾄﾋﾟｯｸの検索(&H)...", false},
        {K::Item, 57664, "ﾊﾞｰｼﾞｮﾝ情報 (&A)...", false},
    {K::EndPopup, 0, nullptr, false},
};
// clang-format on

} // namespace

std::span<const MenuTemplateEntry> FindMenuTemplate(UINT id, Language language)
{
    if (id != IDR_MAINFRAME) {
        return {};
    }
    if (language == Language::Japanese) {
        return kMainMenuJapanese;
    }
    return kMainMenuEnglish;
}

} // namespace vexol::res
