// The help page of each language and the help commands of the frame.
#include "FrameworkTestSupport.h"

#include "platform/framework/CommandIds.h"
#include "platform/framework/Help.h"

#include <QFile>
#include <QUrl>

namespace vexol::test {
namespace {

class HelpTest : public FrameworkTest
{
protected:
    void TearDown() override { platform::framework::SetUrlOpener({}); }
};

TEST_F(HelpTest, PageOfTheUserLanguageIsFound)
{
    const struct
    {
        res::Language language;
        const char* file;
        const char* htmlLanguage;
    } cases[] = {{res::Language::English, "vexol.en.html", "lang=\"en\""},
                 {res::Language::Japanese, "vexol.ja.html", "lang=\"ja\""}};
    for (const auto& c : cases) {
        ScopedLanguage scoped(c.language);
        const std::string page = platform::framework::FindHelpPage();
        ASSERT_FALSE(page.empty());
        EXPECT_TRUE(QString::fromStdString(page).endsWith(c.file)) << page;
        QFile file(QString::fromStdString(page));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll().contains(c.htmlLanguage)) << page;
    }
}

TEST_F(HelpTest, BothHelpCommandsOpenThePageAsAFileUrl)
{
    std::vector<QUrl> opened;
    platform::framework::SetUrlOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    EXPECT_TRUE(frame->SendCommand(ID_HELP_FINDER));
    EXPECT_TRUE(frame->SendCommand(ID_DEFAULT_HELP));
    ASSERT_EQ(opened.size(), 2u);
    for (const QUrl& url : opened) {
        EXPECT_TRUE(url.isLocalFile());
        EXPECT_EQ(url.toLocalFile().toStdString(), platform::framework::FindHelpPage());
    }
}

} // namespace
} // namespace vexol::test
