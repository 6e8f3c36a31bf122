#include "look/FrameGeometry.h"

#include <algorithm>
#include <tuple>

namespace vexol::look::frame {
namespace {

// Tab geometry of the normal and the tool-window caption.
constexpr int kSlant = 79;
constexpr int kToolSlant = 58;

void AppendEdge(std::vector<Fill>& fills, const RECT& x, int a, int b, Brush p, Brush q)
{
    fills.push_back({RECT{x.left, x.top, x.left + a, x.bottom - b}, p});
    fills.push_back({RECT{x.right - a, x.top, x.right, x.bottom - b}, q});
    fills.push_back({RECT{x.left + a, x.top, x.right - a, x.top + b}, p});
    fills.push_back({RECT{x.left, x.bottom - b, x.right, x.bottom}, q});
}

RECT Inflated(RECT r, int dx, int dy)
{
    return RECT{r.left - dx, r.top - dy, r.right + dx, r.bottom + dy};
}

} // namespace

Metrics StandardMetrics()
{
    return Metrics{1, 18, 15, 4, 4, 3, 3, 18, 18, 12, 12};
}

CaptionPieceWidths CaptionPieces(int captionWidth, int buttonRow, int slant)
{
    int fill = (captionWidth - buttonRow - slant - 4) / 2; // truncates toward zero
    int slantWidth = slant;
    int rest = 0;
    if (fill < 0) {
        fill = 0;
        rest = std::max(captionWidth - slant - 4, buttonRow);
        slantWidth = captionWidth - rest - 4;
    } else {
        rest = captionWidth - fill - slant - 4;
    }
    return CaptionPieceWidths{3, fill, slantWidth, rest, 1};
}

FrameLayout LayOutFrame(const WindowFacts& window, const Metrics& m)
{
    FrameLayout out;
    RECT r{0, 0, window.size.cx, window.size.cy};
    const bool paintAll = !window.captionOnly;

    // The border: two one-pixel 3-D steps and the face, as wide as the frame kind.
    const bool sizing = (window.style & (kThickFrame | kSizingBorderAlso)) != 0;
    const bool dialog = !sizing && (window.style & kDialogFrame) != 0;
    if (sizing || dialog) {
        if (paintAll) {
            AppendEdge(out.fills, r, 1, 1, Brush::Highlight, Brush::DarkShadow);
        }
        r = Inflated(r, -1, -1);
        if (paintAll) {
            AppendEdge(out.fills, r, 1, 1, Brush::Light, Brush::Shadow);
        }
        r = Inflated(r, -1, -1);
        if (paintAll) {
            AppendEdge(out.fills, r, m.borderWidth, m.borderWidth, Brush::Face, Brush::Face);
        }
        r = sizing ? Inflated(r, 2 - m.cxFrame, 2 - m.cyFrame)
                   : Inflated(r, 2 - m.cxDlgFrame, 2 - m.cyDlgFrame);
    }
    out.client = r;
    if ((window.style & kCaption) == 0) {
        return out;
    }

    const bool tool = (window.exStyle & kExToolWindow) != 0;
    RECT c = r;
    c.bottom = c.top + (tool ? m.smallCaptionHeight : m.captionHeight);
    out.hasCaption = true;
    out.toolCaption = tool;
    out.caption = c;
    out.client.top = c.bottom + 1; // below the ring round the caption
    if (paintAll) {
        AppendEdge(out.fills, Inflated(c, 1, 1), 1, 1, Brush::Face, Brush::Face);
    }

    if (window.imagesLoaded) {
        const int n = 1 + ((window.style & kMaximizeBox) ? 1 : 0) +
                      ((window.style & kMinimizeBox) ? 1 : 0) +
                      ((window.exStyle & kExContextHelp) ? 1 : 0);
        const int w = tool ? m.cxSmSize : m.cxSize;
        const int h = tool ? m.cySmSize : m.cySize;
        const int slant = tool ? kToolSlant : kSlant;
        out.tabSlant = slant;

        // The caption background in five pieces; a refresh redraws only the rail under
        // the buttons and the end line.
        const CaptionPieceWidths p = CaptionPieces(c.right - c.left, n * w, slant);
        auto piece = [&](int sourceLeft, int sourceWidth, int left, int width) {
            if (width > 0) {
                out.pieces.push_back(
                    {sourceLeft, sourceWidth, RECT{left, c.top, left + width, c.bottom}});
            }
        };
        if (paintAll) {
            int x = c.left;
            piece(0, 3, x, p.left);
            x += p.left;
            piece(3, 1, x, p.body);
            x += std::max(p.body, 0);
            piece(4, slant, x, p.slant);
            x += std::max(p.slant, 0);
            piece(4 + slant, 1, x, p.rail);
            piece(5 + slant, 1, c.right - 1, p.end);
        } else {
            const int railLeft = c.right - n * w - 4;
            piece(4 + slant, 1, railLeft, c.right - 1 - railLeft);
            piece(5 + slant, 1, c.right - 1, 1);
        }

        const bool sysMenu = (window.style & kSysMenu) != 0;
        const int iw = sysMenu ? w : 0;
        const int ih = sysMenu ? h : 0;
        // Pop-up windows (dialogs) have no icon; nor has a caption without a system
        // menu, which leaves the icon no room.
        if ((window.style & kPopup) == 0 && sysMenu) {
            out.hasIcon = true;
            out.icon = POINT{c.left + 2 + (iw - 15) / 2, c.top + 1};
        }
        if ((window.style & kPopup) == 0) {
            c.left += iw;
        }

        // Buttons right to left: close, a gap of 2, maximise, then each further one
        // touching the one before.
        const LONG top = c.top + 2;
        const LONG bottom = c.top + ih - 2;
        RECT b{c.right - iw, top, c.right - 2, bottom};
        out.buttons.push_back({CaptionButton::Close, 0, b});
        if (window.style & kMaximizeBox) {
            b = RECT{c.right - 2 * iw, top, c.right - 2 - iw, bottom};
            out.buttons.push_back({CaptionButton::MaximizeRestore, window.maximized ? 3 : 0, b});
        }
        for (const auto& [style, exStyle, button] :
             {std::tuple{kMinimizeBox, DWORD(0), CaptionButton::Minimize},
              std::tuple{DWORD(0), kExContextHelp, CaptionButton::Help}}) {
            if ((window.style & style) || (window.exStyle & exStyle)) {
                b = RECT{b.left - (iw - 2), top, b.right - (iw - 2), bottom};
                out.buttons.push_back({button, 0, b});
            }
        }
        c.right = b.left;
    }
    if (paintAll) {
        out.hasTitle = true;
        out.titleArea = c;
    }
    return out;
}

int TitleTop(const RECT& titleArea, int textHeight)
{
    const RECT grown{titleArea.left, titleArea.top - 1, titleArea.right, titleArea.bottom + 1};
    return grown.top + (grown.bottom - grown.top - textHeight + 1) / 2;
}

bool IsSizingZone(HitZone zone)
{
    switch (zone) {
    case HitZone::Left:
    case HitZone::Right:
    case HitZone::Top:
    case HitZone::Bottom:
    case HitZone::TopLeft:
    case HitZone::TopRight:
    case HitZone::BottomLeft:
    case HitZone::BottomRight:
        return true;
    default:
        return false;
    }
}

Hit HitTest(const WindowFacts& window, const Metrics& m, POINT at)
{
    const auto inside = [&at](const RECT& r) {
        return at.x >= r.left && at.x < r.right && at.y >= r.top && at.y < r.bottom;
    };
    const LONG cx = window.size.cx;
    const LONG cy = window.size.cy;
    if (!inside(RECT{0, 0, cx, cy})) {
        return {HitZone::Border, CaptionButton::Close};
    }
    const FrameLayout layout = LayOutFrame(window, m);
    const bool sizable = (window.style & kThickFrame) != 0 && !window.maximized;
    if (sizable && !inside(RECT{m.cxFrame, m.cyFrame, cx - m.cxFrame, cy - m.cyFrame})) {
        const bool left = at.x < m.cxSize + m.cxFrame;
        const bool right = at.x >= cx - m.cxSize - m.cxFrame;
        const bool top = at.y < m.cySize + m.cyFrame;
        const bool bottom = at.y >= cy - m.cySize - m.cyFrame;
        if (at.y < m.cyFrame) {
            return {left    ? HitZone::TopLeft
                    : right ? HitZone::TopRight
                            : HitZone::Top,
                    CaptionButton::Close};
        }
        if (at.y >= cy - m.cyFrame) {
            return {left    ? HitZone::BottomLeft
                    : right ? HitZone::BottomRight
                            : HitZone::Bottom,
                    CaptionButton::Close};
        }
        if (at.x < m.cxFrame) {
            return {top      ? HitZone::TopLeft
                    : bottom ? HitZone::BottomLeft
                             : HitZone::Left,
                    CaptionButton::Close};
        }
        return {top      ? HitZone::TopRight
                : bottom ? HitZone::BottomRight
                         : HitZone::Right,
                CaptionButton::Close};
    }
    if (inside(layout.client)) {
        return {HitZone::Client, CaptionButton::Close};
    }
    if (layout.hasCaption && inside(layout.caption)) {
        for (const ButtonPlace& place : layout.buttons) {
            if (inside(place.rect)) {
                return {HitZone::Button, place.button};
            }
        }
        if (layout.hasIcon &&
            inside(RECT{layout.caption.left, layout.caption.top,
                        layout.caption.left + ((window.style & kSysMenu) ? m.cxSize : 0),
                        layout.caption.bottom})) {
            return {HitZone::Icon, CaptionButton::Close};
        }
        return {HitZone::Caption, CaptionButton::Close};
    }
    return {HitZone::Border, CaptionButton::Close};
}

} // namespace vexol::look::frame
