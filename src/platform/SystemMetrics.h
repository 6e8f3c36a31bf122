// Sizes the system reports about its display.
#pragma once

#include "platform/WinTypes.h"

inline constexpr int SM_CXSCREEN = 0;     // width of the primary screen, in pixels
inline constexpr int SM_CYSCREEN = 1;     // its height
inline constexpr int SM_CXMAXIMIZED = 61; // width of a maximised window there: the
inline constexpr int SM_CYMAXIMIZED = 62; // screen less panels and docks; and its height

// The metric `index` (SM_*); 0 for an unknown index and when there is no screen.
int GetSystemMetrics(int index);
