// One line of live figures on an output stream. On a terminal the line is rewritten in
// place and cut to the terminal's width; otherwise every update is a plain line of its
// own. Messages printed meanwhile get lines of their own; on a terminal the live line
// is cleared first and drawn again with the next update. Any thread.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace vexol::platform::kernel {

class LiveLine
{
public:
    // Finds out whether `stream` is a terminal.
    explicit LiveLine(std::FILE* stream);
    // Tests: `columns` 0 asks the terminal for its width.
    LiveLine(std::FILE* stream, bool terminal, int columns);

    bool IsTerminal() const { return m_terminal; }
    void Show(const std::string& text);
    void Message(const std::string& text);
    // Ends the live line, so that what follows starts on a line of its own.
    void Finish();

private:
    int Columns() const;

    std::FILE* const m_stream;
    const bool m_terminal;
    const int m_columns;
    std::mutex m_mutex;  // guards m_open and the writes to the stream
    bool m_open = false; // a live line is on the terminal without its line end
};

// Cuts UTF-8 `text` to at most `columns` terminal columns (East Asian wide characters
// take two) without splitting a character.
std::string FitToColumns(const std::string& text, int columns);

} // namespace vexol::platform::kernel
