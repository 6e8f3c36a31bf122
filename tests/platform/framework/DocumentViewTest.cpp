// Document titles and path names, opening a document named on the command line, and
// the scroll view's client area, extent, scroll position and size notifications.
#include "FrameworkTestSupport.h"

#include "platform/framework/ControlId.h"

#include <QScrollBar>
#include <QTemporaryDir>

namespace vexol::test {
namespace {

TEST(FileTitleTest, PartAfterTheLastSeparator)
{
    const struct
    {
        const char* path;
        const char* title;
    } cases[] = {{"C:\\cap\\capture.avi", "capture.avi"},
                 {"/home/user/movies/take1.avi", "take1.avi"},
                 {"C:capture.avi", "capture.avi"},
                 {"plain.avi", "plain.avi"},
                 {"folder/", ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(platform::framework::FileTitleOf(c.path), c.title) << c.path;
    }
}

using DocumentTest = FrameworkTest;

TEST_F(DocumentTest, NewDocumentIsUntitledAndViewsGotTheirInitialUpdate)
{
    EXPECT_EQ(document->GetTitle(), "無題");
    EXPECT_EQ(document->GetPathName(), "");
    EXPECT_EQ(view->initialUpdates, 1);
    EXPECT_EQ(view->GetDocument(), document);
    EXPECT_EQ(view->GetParentFrame(), frame);
}

TEST(OpenDocumentTest, FileOnTheCommandLineBecomesTheDocument)
{
    ScopedLanguage english(res::Language::English);
    QTemporaryDir folder;
    const std::string path = folder.filePath("capture.avi").toStdString();
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("RIFF");
    file.close();

    TestApp app;
    app.AddDocTemplate(
        CSingleDocTemplate::Create<TestDocument, TestFrame, TestView>(IDR_MAINFRAME));
    CCommandLineInfo info;
    info.ParseParam(path.c_str(), FALSE, TRUE);
    ASSERT_TRUE(app.ProcessShellCommand(info));
    CDocument* document = app.GetDocTemplate()->GetDocument();
    EXPECT_EQ(document->GetPathName(), path);
    EXPECT_EQ(app.GetMainWnd()->windowTitle().toStdString(),
              "Video capture software - capture.avi");
}

// A document that cannot be opened fails the command line, and the user is told which
// one, in a box of the framework's own.
TEST(OpenDocumentTest, DocumentThatCannotBeOpenedFailsTheCommandLineWithABox)
{
    QTemporaryDir folder;
    struct Case
    {
        res::Language language;
        std::string path;
        const char* text;
    };
    const Case cases[] = {
        {res::Language::English, "/nonexistent/folder/capture.avi",
         "The document \"/nonexistent/folder/capture.avi\" cannot be opened."},
        {res::Language::English, folder.path().toStdString(),
         "cannot be opened."}, // a folder is no document
        {res::Language::Japanese, "/nonexistent/capture.avi",
         "文書 \"/nonexistent/capture.avi\" を開くことができません。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ScopedLanguage language(c.language);
        ScopedMessageBoxAnswers boxes;
        TestApp app;
        app.AddDocTemplate(
            CSingleDocTemplate::Create<TestDocument, TestFrame, TestView>(IDR_MAINFRAME));
        CCommandLineInfo info;
        info.ParseParam(c.path.c_str(), FALSE, TRUE);
        EXPECT_FALSE(app.ProcessShellCommand(info));
        EXPECT_EQ(app.GetMainWnd(), nullptr);
        ASSERT_EQ(boxes.requests.size(), 1u);
        EXPECT_NE(boxes.requests[0].text.find(c.text), std::string::npos) << boxes.requests[0].text;
        EXPECT_EQ(boxes.requests[0].style, MB_OK | MB_ICONEXCLAMATION);
        EXPECT_EQ(boxes.requests[0].caption, c.language == res::Language::English
                                                 ? "Video capture software"
                                                 : "ﾋﾞﾃﾞｵｷｬﾌﾟﾁｬｿﾌﾄ");
    }
}

class ScrollViewTest : public FrameworkTest
{
protected:
    // Shows the frame so that its client area has a real size, `client` for the view.
    void ShowWithClientSize(QSize client)
    {
        frame->show();
        QWidget* viewport = view->GetScrollArea()->viewport();
        frame->resize(frame->size() + client - viewport->size());
        QCoreApplication::processEvents();
        ASSERT_EQ(viewport->size(), client);
    }
};

TEST_F(ScrollViewTest, ClientRectIsTheVisiblePartAndSizeChangesAreReported)
{
    view->SetScrollSizes(MM_TEXT, {100, 100});
    ShowWithClientSize({400, 300});
    RECT client{};
    view->GetClientRect(&client);
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.top, 0);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 300);
    ASSERT_FALSE(view->sizes.empty());
    EXPECT_EQ(view->sizes.back(), QSize(400, 300));
}

TEST_F(ScrollViewTest, ExtentLargerThanTheClientAreaScrollsToItsEdge)
{
    ShowWithClientSize({300, 200});
    view->SetScrollSizes(MM_TEXT, {320, 240});
    QCoreApplication::processEvents();
    EXPECT_EQ(view->GetTotalSize().cx, 320);
    EXPECT_EQ(view->GetTotalSize().cy, 240);

    RECT client{};
    view->GetClientRect(&client);
    view->ScrollToPosition({1000, 1000});
    const POINT end = view->GetScrollPosition();
    EXPECT_EQ(end.x, 320 - client.right);
    EXPECT_EQ(end.y, 240 - client.bottom);
    view->ScrollToPosition({3, 4});
    EXPECT_EQ(view->GetScrollPosition().x, 3);
    EXPECT_EQ(view->GetScrollPosition().y, 4);
}

TEST_F(ScrollViewTest, ChildIsFoundByControlIdAndPlacedInViewCoordinates)
{
    auto* child = new QWidget(view);
    platform::framework::SetControlId(child, IDC_CAPTURE_WINDOW);
    EXPECT_EQ(view->GetDlgItem(IDC_CAPTURE_WINDOW), child);
    EXPECT_EQ(view->GetDlgItem(1), nullptr);
    ShowWithClientSize({400, 300});
    child->setGeometry(40, 30, 320, 240);
    EXPECT_EQ(child->mapTo(view->GetScrollArea()->viewport(), QPoint(0, 0)), QPoint(40, 30));
}

} // namespace
} // namespace vexol::test
