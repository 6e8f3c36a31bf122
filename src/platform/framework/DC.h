// A device context: what application code draws through. It wraps the painter of a
// paint event (or of an image) for the time of one drawing; it neither owns nor ends it.
#pragma once

#include "platform/WinTypes.h"

class QPainter;

// Kinds of clip box GetClipBox reports.
inline constexpr int NULLREGION = 1;   // nothing of the target can be reached
inline constexpr int SIMPLEREGION = 2; // a rectangle
inline constexpr int RGN_ERROR = 0;    // no drawing surface

class CDC
{
public:
    explicit CDC(QPainter* painter) : m_painter(painter) {}

    // Whether there is a surface to draw on (an active painter).
    BOOL IsActive() const;

    // The smallest rectangle, in logical coordinates, that holds everything drawing can
    // reach: the clip, and the surface's bounds (rounded outwards by a pixel) when the
    // mapping only moves. Unbounded sides stay at +-(INT_MAX / 2). Returns SIMPLEREGION,
    // NULLREGION for an empty box, RGN_ERROR without a surface.
    int GetClipBox(RECT* rect) const;

    // Draws a 32-bit BI_RGB bitmap (bottom-up for a positive height, top-down for a
    // negative one; each pixel B, G, R, unused) unscaled with its top-left at (x, y),
    // without smoothing. FALSE for another format or without a surface.
    BOOL SetDIBitsToDevice(int x, int y, const BITMAPINFOHEADER& header, const void* bits);

    // The painter, for platform code that draws with it directly.
    QPainter* Painter() const { return m_painter; }

private:
    QPainter* m_painter;
};
