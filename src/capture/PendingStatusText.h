// The mailbox through which capture status texts reach the status bar: the status
// callback leaves a text here from whatever thread the capture service calls it on, and
// the user-interface thread takes it out between events. A newer text replaces one not
// yet taken.
#pragma once

#include <mutex>
#include <string>

class PendingStatusText
{
public:
    // Stores a copy of `text`; null is stored as the empty string. Any thread.
    void Set(const char* text);
    // When a text is pending: moves it into `text`, leaves the mailbox empty and returns
    // true. Otherwise returns false and leaves `text` alone. Any thread.
    bool Take(std::string& text);
    // True when no text is pending.
    bool IsEmpty() const;

private:
    mutable std::mutex m_mutex; // guards m_text: each Set and each Take is one step
    std::string m_text;
};
