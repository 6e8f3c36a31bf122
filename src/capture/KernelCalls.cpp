#include "capture/KernelCalls.h"

#include "platform/kernel/TickCount.h"

KernelCalls::~KernelCalls() = default;

DWORD KernelCalls::TickCount()
{
    return ::GetTickCount();
}

void KernelCalls::Sleep(DWORD milliseconds)
{
    ::Sleep(milliseconds);
}

BOOL KernelCalls::GetVersionEx(OSVERSIONINFOA* info)
{
    return ::GetVersionExA(info);
}

void KernelCalls::WaitTicks(DWORD milliseconds)
{
    const DWORD start = TickCount();
    for (DWORD passed = 0; passed < milliseconds; passed = TickCount() - start) {
        Sleep(milliseconds - passed);
    }
}

KernelCalls& KernelCalls::Real()
{
    static KernelCalls real;
    return real;
}
