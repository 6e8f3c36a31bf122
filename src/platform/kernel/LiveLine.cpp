#include "platform/kernel/LiveLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace vexol::platform::kernel {
namespace {

constexpr int kDefaultColumns = 80;

// Columns a code point takes on a terminal: two for the wide East Asian blocks.
int CodePointWidth(char32_t c)
{
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
                      (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
                      (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

} // namespace

std::string FitToColumns(const std::string& text, int columns)
{
    int used = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80    ? 1
                             : lead >= 0xF0 ? 4
                             : lead >= 0xE0 ? 3
                             : lead >= 0xC0 ? 2
                                            : 1;
        if (i + length > text.size()) {
            length = text.size() - i; // a cut-off sequence counts as one column
        }
        char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (std::size_t k = 1; k < length; ++k) {
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        const int width = length == 1 ? 1 : CodePointWidth(c);
        if (used + width > columns) {
            break;
        }
        used += width;
        i += length;
    }
    return text.substr(0, i);
}

LiveLine::LiveLine(std::FILE* stream) : LiveLine(stream, ::isatty(::fileno(stream)) == 1, 0) {}

LiveLine::LiveLine(std::FILE* stream, bool terminal, int columns)
    : m_stream(stream), m_terminal(terminal), m_columns(columns)
{
}

int LiveLine::Columns() const
{
    if (m_columns > 0) {
        return m_columns;
    }
    winsize size{};
    if (::ioctl(::fileno(m_stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return kDefaultColumns;
}

void LiveLine::Show(const std::string& text)
{
    std::lock_guard lock(m_mutex);
    if (!m_terminal) {
        std::fprintf(m_stream, "%s\n", text.c_str());
    } else {
        // Carriage return, the text, then clear the rest of the line. The last column
        // stays free so the cursor never wraps to the next line.
        std::fprintf(m_stream, "\r%s\033[K", FitToColumns(text, Columns() - 1).c_str());
        m_open = true;
    }
    std::fflush(m_stream);
}

void LiveLine::Message(const std::string& text)
{
    std::lock_guard lock(m_mutex);
    if (m_open) {
        std::fputs("\r\033[K", m_stream);
        m_open = false;
    }
    std::fprintf(m_stream, "%s\n", text.c_str());
    std::fflush(m_stream);
}

void LiveLine::Finish()
{
    std::lock_guard lock(m_mutex);
    if (m_open) {
        std::fputs("\n", m_stream);
        m_open = false;
        std::fflush(m_stream);
    }
}

} // namespace vexol::platform::kernel
