// The real save-still dialog, offscreen, in both languages: the quality group's texts
// below the standard controls, a preset shown and a choice read back, a preset outside
// the choices showing none and giving -1, the group usable with the bitmap file type.
#include "platform/framework/Dialog.h"
#include "res/ResourceIds.h"
#include "still/CJpegFileDialog.h"
#include "still/StillCommands.h"
#include "support/MessageBoxAnswers.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace vexol::test {
namespace {

TEST(JpegFileDialogTest, QualityGroupShowsThePresetAndReturnsTheChoice)
{
    const struct
    {
        res::Language language;
        const char* group;
        const char* choices[3];
        INT preset;
        int clicked; // control clicked before OK, 0 for none
        INT result;
    } cases[] = {
        {res::Language::English, "&JPEG Quality", {"High", "Medium", "Low"}, 2, IDC_JPEG_HIGH, 0},
        {res::Language::Japanese, "JPEG画質(&J)", {"高", "中", "低"}, 5, 0, -1},
        {res::Language::English, "&JPEG Quality", {"High", "Medium", "Low"}, 0, IDC_JPEG_LOW, 2},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.preset);
        ScopedLanguage language(c.language);
        ScopedMessageBoxAnswers boxes;
        CJpegFileDialog dialog(FALSE, "jpg", nullptr, still::kSaveStillDialogFlags,
                               "All files(*.jpg;*.bmp)|*.jpg;*.bmp|JPEG file(*.jpg)|*.jpg|"
                               "bitmap file(*.bmp)|*.bmp||");
        const std::string folder = dir.path().toStdString();
        dialog.m_ofn.lpstrInitialDir = folder.c_str();
        dialog.m_ofn.lpTemplateName = IDD_JPEG_QUALITY;
        dialog.m_nJpegMode = c.preset;
        std::vector<std::string> texts;
        std::vector<bool> checked;
        bool usableWithBitmaps = false;
        QTimer::singleShot(0, &dialog, [&] {
            auto* group = dialog.GetTemplateDialog()->findChild<QGroupBox*>();
            ASSERT_NE(group, nullptr);
            texts.push_back(group->title().toStdString());
            for (int id : {IDC_JPEG_HIGH, IDC_JPEG_MEDIUM, IDC_JPEG_LOW}) {
                auto* button = qobject_cast<QAbstractButton*>(dialog.GetDlgItem(id));
                ASSERT_NE(button, nullptr);
                texts.push_back(button->text().toStdString());
                checked.push_back(button->isChecked());
            }
            dialog.selectNameFilter(dialog.nameFilters().value(2)); // bitmap files
            usableWithBitmaps = dialog.GetDlgItem(IDC_JPEG_LOW)->isEnabled() &&
                                dialog.GetTemplateDialog()->isVisible();
            if (c.clicked) {
                qobject_cast<QAbstractButton*>(dialog.GetDlgItem(c.clicked))->click();
            }
            dialog.findChild<QLineEdit*>("fileNameEdit")->setText("still.bmp");
            dialog.accept();
        });
        ASSERT_EQ(dialog.DoModal(), IDOK);
        EXPECT_EQ(texts,
                  (std::vector<std::string>{c.group, c.choices[0], c.choices[1], c.choices[2]}));
        EXPECT_EQ(checked, (std::vector<bool>{c.preset == 0, c.preset == 1, c.preset == 2}));
        EXPECT_TRUE(usableWithBitmaps);
        EXPECT_EQ(dialog.m_nJpegMode, c.result);
        EXPECT_EQ(dialog.GetFileName(), "still.bmp");
        EXPECT_STREQ(dialog.GetRuntimeClass()->m_lpszClassName, "CJpegFileDialog");
    }
}

} // namespace
} // namespace vexol::test
