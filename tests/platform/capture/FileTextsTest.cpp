// File error texts name what was being done and the system's reason, in the user's
// language; no bare error numbers.
#include "platform/capture/AviResult.h"
#include "platform/framework/Resources.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace vexol::platform::capture {
namespace {

TEST(FileTexts, ErrorsSayWhatWasDoneAndTheSystemsReasonInBothLanguages)
{
    struct Case
    {
        int error;
        const char* english;
        const char* japanese;
    };
    const Case cases[] = {
        {ENOSPC, "the disk is full", "ディスクがいっぱいです"},
        {EFBIG, "the largest size allowed", "最大のサイズ"},
        {EINVAL, "nvalid argument", "Invalid argument"},
        {ESPIPE, "llegal seek", "Illegal seek"},
        {EXDEV, "Invalid cross-device link", "システムのエラーです（Invalid cross-device link）"},
        {4000, "Unknown error 4000", "Unknown error 4000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        res::SetLanguage(res::Language::English);
        const AviResult english = AviResult::FromErrno(c.error, texts::FileAction::WriteIndex);
        res::SetLanguage(res::Language::Japanese);
        const AviResult japanese = AviResult::FromErrno(c.error, texts::FileAction::WriteIndex);
        res::ResetLanguage();
        EXPECT_EQ(english.text.rfind("The capture file's index cannot be written: ", 0), 0u)
            << english.text;
        EXPECT_NE(english.text.find(c.english), std::string::npos) << english.text;
        EXPECT_EQ(japanese.text.rfind("キャプチャファイルのインデックスを書き込めません：", 0), 0u)
            << japanese.text;
        EXPECT_NE(japanese.text.find(c.japanese), std::string::npos) << japanese.text;
        for (const AviResult* r : {&english, &japanese}) {
            EXPECT_EQ(r->text.find("system error"), std::string::npos) << r->text;
            EXPECT_EQ(r->sysError, c.error);
        }
    }
}

} // namespace
} // namespace vexol::platform::capture
