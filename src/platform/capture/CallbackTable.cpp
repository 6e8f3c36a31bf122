#include "platform/capture/CallbackTable.h"

#include <algorithm>

namespace vexol::platform::capture {

void CallbackTable::Set(CallbackKind kind, LPARAM procedure)
{
    std::unique_lock lock(m_mutex);
    Slot& slot = m_slots[int(kind)];
    slot.procedure = procedure;
    const auto self = std::this_thread::get_id();
    m_callReturned.wait(lock, [&] {
        return std::all_of(slot.callers.begin(), slot.callers.end(),
                           [&](std::thread::id id) { return id == self; });
    });
}

bool CallbackTable::IsSet(CallbackKind kind) const
{
    std::lock_guard lock(m_mutex);
    return m_slots[int(kind)].procedure != 0;
}

template <typename Procedure, typename... Args>
LRESULT CallbackTable::Invoke(CallbackKind kind, LRESULT absent, Args... args)
{
    Slot& slot = m_slots[int(kind)];
    const auto self = std::this_thread::get_id();
    LPARAM procedure;
    {
        std::lock_guard lock(m_mutex);
        procedure = slot.procedure;
        if (!procedure) {
            return absent;
        }
        slot.callers.push_back(self);
    }
    const LRESULT result = reinterpret_cast<Procedure>(procedure)(args...);
    {
        std::lock_guard lock(m_mutex);
        slot.callers.erase(std::find(slot.callers.begin(), slot.callers.end(), self));
    }
    m_callReturned.notify_all();
    return result;
}

LRESULT CallbackTable::Error(HWND hwnd, int id, const char* text, LRESULT absent)
{
    return Invoke<CAPERRORCALLBACK>(CallbackKind::Error, absent, hwnd, id, text);
}

LRESULT CallbackTable::Status(HWND hwnd, int id, const char* text, LRESULT absent)
{
    return Invoke<CAPSTATUSCALLBACK>(CallbackKind::Status, absent, hwnd, id, text);
}

LRESULT CallbackTable::Yield(HWND hwnd, LRESULT absent)
{
    return Invoke<CAPYIELDCALLBACK>(CallbackKind::Yield, absent, hwnd);
}

LRESULT CallbackTable::VideoStream(HWND hwnd, VIDEOHDR* header, LRESULT absent)
{
    return Invoke<CAPVIDEOCALLBACK>(CallbackKind::VideoStream, absent, hwnd, header);
}

} // namespace vexol::platform::capture
