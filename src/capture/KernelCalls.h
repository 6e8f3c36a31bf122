// The kernel services the capture window times and checks itself with: the tick count,
// a plain sleep and the operating system version. The base class is the real platform;
// tests derive a clock that advances only when asked to sleep.
#pragma once

#include "platform/kernel/OsVersion.h"

class KernelCalls
{
public:
    KernelCalls() = default;
    virtual ~KernelCalls();
    KernelCalls(const KernelCalls&) = delete;
    KernelCalls& operator=(const KernelCalls&) = delete;

    virtual DWORD TickCount();
    virtual void Sleep(DWORD milliseconds);
    virtual BOOL GetVersionEx(OSVERSIONINFOA* info);

    // Blocks until `milliseconds` have passed on the tick count, without processing
    // events.
    void WaitTicks(DWORD milliseconds);

    static KernelCalls& Real();
};
