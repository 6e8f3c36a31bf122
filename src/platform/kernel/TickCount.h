// The millisecond tick count and a plain sleep, as the application's timing code uses
// them: waits are measured against the tick count, never against the wall clock.
#pragma once

#include "platform/WinTypes.h"

// Milliseconds since an arbitrary start (a monotonic clock), wrapping at 2^32 like the
// original 32-bit counter; compare ticks only by unsigned subtraction.
DWORD GetTickCount();

// Blocks the calling thread for `milliseconds` without processing any events.
void Sleep(DWORD milliseconds);
