// The live line of vexol-cap: rewritten in place on a terminal and cut to its width,
// plain lines elsewhere, and messages that never run into it.
#include "platform/kernel/LiveLine.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace vexol::platform::kernel {
namespace {

// Collects what a LiveLine writes.
class Capture
{
public:
    Capture() : m_stream(open_memstream(&m_buffer, &m_size)) {}
    ~Capture()
    {
        std::fclose(m_stream);
        std::free(m_buffer);
    }
    std::FILE* Stream() const { return m_stream; }
    std::string Text()
    {
        std::fflush(m_stream);
        return std::string(m_buffer, m_size);
    }

private:
    char* m_buffer = nullptr;
    std::size_t m_size = 0;
    std::FILE* m_stream;
};

TEST(LiveLine, PlainLinesWhenNotATerminal)
{
    Capture out;
    LiveLine line(out.Stream(), false, 10);
    line.Show("REC 0:00:01 | a line longer than ten columns");
    line.Message("vexol-cap: an error");
    line.Show("REC 0:00:02");
    line.Finish();
    EXPECT_EQ(out.Text(), "REC 0:00:01 | a line longer than ten columns\n"
                          "vexol-cap: an error\n"
                          "REC 0:00:02\n");
}

TEST(LiveLine, RewrittenInPlaceOnATerminal)
{
    Capture out;
    LiveLine line(out.Stream(), true, 12);
    line.Show("REC 0:00:01");
    line.Show("REC 0:00:02 | 30 frames"); // cut to 11 columns: the cursor never wraps
    line.Message("vexol-cap: an error");  // clears the line first
    line.Message("vexol-cap: another");   // nothing left to clear
    line.Show("REC 0:00:03");
    line.Finish(); // the summary starts on a line of its own
    line.Finish();
    EXPECT_EQ(out.Text(), "\rREC 0:00:01\033[K"
                          "\rREC 0:00:02\033[K"
                          "\r\033[Kvexol-cap: an error\n"
                          "vexol-cap: another\n"
                          "\rREC 0:00:03\033[K"
                          "\n");
}

TEST(LiveLine, FitToColumnsCountsWideCharactersTwiceAndKeepsCharactersWhole)
{
    struct Case
    {
        const char* text;
        int columns;
        const char* fitted;
    } const cases[] = {
        {"REC 0:00:01", 20, "REC 0:00:01"},
        {"REC 0:00:01", 5, "REC 0"},
        {"録画 0:01", 4, "録画"},
        {"録画 0:01", 3, "録"}, // the second wide character would need a fourth column
        {"ｷｬﾌﾟﾁｬ", 3, "ｷｬﾌ"},   // half-width katakana take one column each
        {"12.3 GB: 残り 11 分", 14, "12.3 GB: 残り "},
        {"ab\xE6\x97", 10, "ab\xE6\x97"}, // a cut-off sequence stays, one column
        {"abc", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FitToColumns(c.text, c.columns), c.fitted);
    }
}

} // namespace
} // namespace vexol::platform::kernel
