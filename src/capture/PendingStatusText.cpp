#include "capture/PendingStatusText.h"

void PendingStatusText::Set(const char* text)
{
    std::string copy = text ? text : ""; // copied before the lock: the lock stays short
    std::lock_guard lock(m_mutex);
    m_text.swap(copy);
}

bool PendingStatusText::Take(std::string& text)
{
    std::string taken;
    {
        std::lock_guard lock(m_mutex);
        if (m_text.empty()) {
            return false;
        }
        taken.swap(m_text);
    }
    text.swap(taken);
    return true;
}

bool PendingStatusText::IsEmpty() const
{
    std::lock_guard lock(m_mutex);
    return m_text.empty();
}
