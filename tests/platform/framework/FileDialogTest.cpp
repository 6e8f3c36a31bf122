// The framework's file dialog: filters, the OFN_* checks on a confirmed name, the
// controls of a template below the standard ones with their data exchange, the test
// answers, and one run of the real dialog.
#include "look/CFileDialogEx.h"

#include "platform/framework/DataExchange.h"
#include "platform/framework/Dialog.h"
#include "platform/framework/DialogTemplate.h"
#include "support/FileDialogAnswers.h"
#include "support/MessageBoxAnswers.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vexol::test {
namespace {

TEST(FileDialogFilterTest, PairsBecomeQtNameFilters)
{
    const struct
    {
        const char* filter;
        QStringList expected;
    } cases[] = {
        {"AVI file(*avi)|*.avi||", {"AVI file(*avi) (*.avi)"}},
        {"All files(*.jpg;*.bmp)|*.jpg;*.bmp|JPEG file(*.jpg)|*.jpg||",
         {"All files(*.jpg;*.bmp) (*.jpg *.bmp)", "JPEG file(*.jpg) (*.jpg)"}},
        {"AVIﾌｧｲﾙ(*avi)|*.avi||", {"AVIﾌｧｲﾙ(*avi) (*.avi)"}},
        {"Unfinished|", {}},
        {"", {}},
        {nullptr, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CFileDialog::NameFilters(c.filter), c.expected) << (c.filter ? c.filter : "null");
    }
}

class FileDialogTest : public ::testing::Test
{
protected:
    std::string Folder() const { return QDir(m_dir.path()).canonicalPath().toStdString(); }
    std::string InFolder(const std::string& name) const { return Folder() + "/" + name; }
    static void Write(const std::string& path) { std::ofstream(path) << "x"; }

    // A save dialog as the capture-file command makes it.
    int RunSave(CFileDialogEx& dialog)
    {
        const std::string folder = Folder();
        dialog.m_ofn.lpstrInitialDir = folder.c_str();
        return dialog.DoModal();
    }

    ScopedLanguage m_english{res::Language::English};
    ScopedMessageBoxAnswers m_boxes{IDYES};
    ScopedFileDialogAnswers m_answers;
    QTemporaryDir m_dir;
};

constexpr DWORD kSaveFlags =
    OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN;

TEST_F(FileDialogTest, ConfirmedNamesFollowTheFlags)
{
    Write(InFolder("exists.avi"));
    const std::string tooLong = std::string(300, 'n');
    const struct
    {
        const char* name;
        std::string answer;
        int boxAnswer;
        int result;
        std::string path;
        std::string box; // expected box text, empty for none
    } cases[] = {
        {"DefaultExtensionAdded", "take2", IDYES, IDOK, InFolder("take2.avi"), ""},
        {"OwnExtensionKept", "take2.mov", IDYES, IDOK, InFolder("take2.mov"), ""},
        {"AbsolutePath", InFolder("abs.avi"), IDYES, IDOK, InFolder("abs.avi"), ""},
        {"ExistingReplacedAfterYes", "exists", IDYES, IDOK, InFolder("exists.avi"),
         InFolder("exists.avi") + " already exists.\nDo you want to replace it?"},
        {"ExistingKeptAfterNo", "exists.avi", IDNO, IDCANCEL, "",
         InFolder("exists.avi") + " already exists.\nDo you want to replace it?"},
        {"MissingFolder", "no/such/take.avi", IDOK, IDCANCEL, "",
         InFolder("no/such/take.avi") +
             "\nThe folder does not exist.\nCheck the folder name and try again."},
        {"TooLongForTheBuffer", tooLong, IDOK, IDCANCEL, "",
         InFolder(tooLong + ".avi") + "\nThe file name is too long.\nChoose a shorter name."},
        {"FolderIsNoChoice", ".", IDOK, IDCANCEL, "", ""},
    };
    for (const auto& c : cases) {
        m_boxes.requests.clear();
        m_boxes.SetAnswer(c.boxAnswer);
        m_answers.Choose(c.answer); // a refused answer is followed by a cancel
        CFileDialogEx dialog(FALSE, "avi", nullptr, kSaveFlags, "AVI file(*avi)|*.avi||");
        dialog.m_ofn.lpstrTitle = "Title";
        EXPECT_EQ(RunSave(dialog), c.result) << c.name;
        if (c.result == IDOK) {
            EXPECT_EQ(dialog.GetPathName(), c.path) << c.name;
            EXPECT_EQ(dialog.GetFileExt(), c.path.substr(c.path.rfind('.') + 1)) << c.name;
        }
        ASSERT_EQ(m_boxes.requests.size(), c.box.empty() ? 0u : 1u) << c.name;
        if (!c.box.empty()) {
            EXPECT_EQ(m_boxes.requests[0].text, c.box) << c.name;
            EXPECT_EQ(m_boxes.requests[0].caption, "Title") << c.name;
        }
    }
}

TEST_F(FileDialogTest, WriteProtectedFileIsRefused)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "the superuser may write any file";
    }
    const std::string path = InFolder("locked.avi");
    Write(path);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    m_answers.Choose(path);
    CFileDialogEx dialog(FALSE, "avi", nullptr, kSaveFlags, nullptr);
    EXPECT_EQ(RunSave(dialog), IDCANCEL);
    ASSERT_EQ(m_boxes.requests.size(), 1u);
    EXPECT_NE(m_boxes.requests[0].text.find("write-protected"), std::string::npos);
}

TEST_F(FileDialogTest, OpenDialogWantsAnExistingFileAndAsksNoOverwrite)
{
    Write(InFolder("exists.avi"));
    m_answers.Choose("missing.avi");
    m_answers.Choose("exists.avi");
    CFileDialogEx dialog(TRUE, "avi", nullptr, OFN_FILEMUSTEXIST | OFN_OVERWRITEPROMPT, nullptr);
    EXPECT_EQ(RunSave(dialog), IDOK);
    EXPECT_EQ(dialog.GetPathName(), InFolder("exists.avi"));
    ASSERT_EQ(m_boxes.requests.size(), 1u);
    EXPECT_EQ(m_boxes.requests[0].text,
              InFolder("missing.avi") +
                  "\nThe file does not exist.\nCheck the file name and try again.");
}

TEST_F(FileDialogTest, CallersBufferReceivesThePathAndTheClassIsTheApplications)
{
    char buffer[kMaxPathBuffer] = "initial.avi";
    m_answers.Choose("chosen");
    CFileDialogEx dialog(FALSE, "avi", "ignored.avi", kSaveFlags, nullptr);
    dialog.m_ofn.lpstrFile = buffer;
    dialog.m_ofn.nMaxFile = sizeof buffer;
    EXPECT_STREQ(dialog.GetRuntimeClass()->m_lpszClassName, "CFileDialogEx");
    EXPECT_EQ(RunSave(dialog), IDOK);
    ASSERT_EQ(m_answers.shown.size(), 1u);
    EXPECT_EQ(m_answers.shown[0].fileName, "initial.avi");
    EXPECT_EQ(std::string(buffer), InFolder("chosen.avi"));
    EXPECT_EQ(dialog.GetFileName(), "chosen.avi");
}

// A dialog with a group of controls below the standard ones, as a save dialog with
// options of its own has.
constexpr int kOptionCheck = 2001;
constexpr int kOptionNumber = 2002;
const res::DialogControlTemplate kOptionControls[] = {
    {res::ControlKind::CheckBox, kOptionCheck, "&Option", 7, 4, 60, 12, res::ctl::TabStop, 0},
    {res::ControlKind::Edit, kOptionNumber, "", 80, 4, 40, 12, res::ctl::Border | res::ctl::TabStop,
     0},
};
const res::DialogTemplate kOptionTemplate{9135, "", "MS Sans Serif", 9,
                                          227,  20, res::dlg::Child, kOptionControls};

class OptionFileDialog : public CFileDialogEx
{
public:
    OptionFileDialog() : CFileDialogEx(FALSE, "avi", nullptr, kSaveFlags, nullptr)
    {
        m_ofn.Flags |= OFN_ENABLETEMPLATEHANDLE;
        m_ofn.hInstance = &kOptionTemplate;
    }
    int option = 0;
    int number = 0;
    int refusals = 0; // names OnFileNameOK still refuses

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Check(pDX, kOptionCheck, option);
        DDX_Text(pDX, kOptionNumber, number);
    }
    BOOL OnFileNameOK() override
    {
        if (!UpdateData(TRUE)) {
            return TRUE;
        }
        return refusals-- > 0 ? TRUE : FALSE;
    }
};

TEST_F(FileDialogTest, TemplateControlsAreFilledAndReadBackOnConfirmation)
{
    OptionFileDialog dialog;
    dialog.option = 1;
    dialog.number = 7;
    dialog.refusals = 1;
    int rounds = 0;
    CFileDialog::SetModalAnswer([&](CFileDialog& shown) {
        ++rounds;
        auto* check = qobject_cast<QCheckBox*>(shown.GetDlgItem(kOptionCheck));
        auto* number = qobject_cast<QLineEdit*>(shown.GetDlgItem(kOptionNumber));
        EXPECT_NE(check, nullptr);
        EXPECT_NE(number, nullptr);
        if (!check || !number) {
            return FileDialogAnswer::Cancel();
        }
        if (rounds == 1) {
            EXPECT_TRUE(check->isChecked());
            EXPECT_EQ(number->text(), "7");
            check->setChecked(false);
            number->setText("42");
        }
        return FileDialogAnswer::Choose("take"); // refused once by OnFileNameOK
    });
    EXPECT_EQ(RunSave(dialog), IDOK);
    EXPECT_EQ(rounds, 2);
    EXPECT_EQ(dialog.option, 0);
    EXPECT_EQ(dialog.number, 42);
    EXPECT_EQ(dialog.GetPathName(), InFolder("take.avi"));
}

TEST_F(FileDialogTest, RealDialogShowsTheGroupBelowTheNameAndTakesATypedName)
{
    CFileDialog::SetModalAnswer({}); // the real dialog
    Write(InFolder("exists.avi"));
    OptionFileDialog dialog;
    dialog.m_ofn.lpstrTitle = "Save captured movie";
    bool groupBelowName = false;
    bool stayedOpenAfterNo = false;
    QTimer::singleShot(0, &dialog, [&] {
        auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
        QWidget* group = dialog.GetTemplateDialog();
        ASSERT_NE(name, nullptr);
        ASSERT_NE(group, nullptr);
        groupBelowName =
            group->isVisible() && group->mapTo(&dialog, QPoint(0, 0)).y() >
                                      name->mapTo(&dialog, QPoint(0, name->height())).y();
        m_boxes.SetAnswer(IDNO);
        name->setText("exists");
        dialog.accept(); // as the Save button does
        stayedOpenAfterNo = dialog.isVisible();
        name->setText("movie");
        dialog.accept();
    });
    EXPECT_EQ(RunSave(dialog), IDOK);
    EXPECT_TRUE(groupBelowName);
    EXPECT_TRUE(stayedOpenAfterNo);
    EXPECT_EQ(dialog.windowTitle(), "Save captured movie");
    EXPECT_EQ(dialog.GetPathName(), InFolder("movie.avi"));
    ASSERT_EQ(m_boxes.requests.size(), 1u);
}

} // namespace
} // namespace vexol::test
