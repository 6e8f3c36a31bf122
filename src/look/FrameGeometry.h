// Where the parts of a skinned window frame go: the three-step border, the caption,
// the five pieces of the caption background cut from the tab bitmap, the icon, the
// caption buttons and the title area. Pure computations on window sizes and styles;
// painting follows them piece by piece.
//
// Sizes are in logical pixels, the units Qt paints in; the screen's device-pixel ratio
// scales them like everything else in the window.
#pragma once

#include "platform/WinTypes.h"

#include <vector>

namespace vexol::look::frame {

// Window style bits the frame reads.
inline constexpr DWORD kPopup = 0x80000000;
inline constexpr DWORD kCaption = 0x00C00000; // border | dialog frame
inline constexpr DWORD kDialogFrame = 0x00400000;
inline constexpr DWORD kSysMenu = 0x00080000;
inline constexpr DWORD kThickFrame = 0x00040000;
inline constexpr DWORD kMinimizeBox = 0x00020000;
inline constexpr DWORD kMaximizeBox = 0x00010000;
// Other styles drawn with the sizing border.
inline constexpr DWORD kSizingBorderAlso = 0x00000400 | 0x00000200;
// Extended style bits.
inline constexpr DWORD kExToolWindow = 0x00000080;
inline constexpr DWORD kExContextHelp = 0x00000400;

// The system metrics the frame is laid out by.
struct Metrics
{
    int borderWidth;        // width of the face-coloured part of a sizing border
    int captionHeight;      // normal caption
    int smallCaptionHeight; // tool-window caption
    int cxFrame, cyFrame;   // sizing border
    int cxDlgFrame, cyDlgFrame;
    int cxSize, cySize;     // caption button
    int cxSmSize, cySmSize; // tool-window caption button
};
// The usual values: 1-pixel border width, 18-pixel caption and buttons, 15-pixel tool
// caption with 12-pixel buttons, 4-pixel sizing and 3-pixel dialog frame.
Metrics StandardMetrics();

// The system colours of the border.
enum class Brush { DarkShadow, Face, Light, Shadow, Highlight };

struct Fill
{
    RECT rect;
    Brush brush;
};

// Widths of the caption background pieces, left to right: left edge (tab columns 0-2),
// body (column 3 repeated), slant (the next `slant` columns, squeezed when narrower),
// rail (the column after the slant, repeated) and the end line (the last column). A
// piece with a width of 0 or less is not drawn.
struct CaptionPieceWidths
{
    int left, body, slant, rail, end;
};
// For a caption `captionWidth` wide with `buttonRow` pixels of caption buttons and a
// tab whose slant is `slant` columns: the body takes half of what the slant and the
// buttons leave; on a narrow caption the rail keeps at least the button row and the
// slant gets the rest.
CaptionPieceWidths CaptionPieces(int captionWidth, int buttonRow, int slant);

// One piece of the caption background: columns [sourceLeft, sourceLeft + sourceWidth)
// of the tab stretched over `target`.
struct CaptionPiece
{
    int sourceLeft;
    int sourceWidth;
    RECT target;
};

enum class CaptionButton { Close, MaximizeRestore, Minimize, Help };

struct ButtonPlace
{
    CaptionButton button;
    int cell; // cell of its strip
    RECT rect;
};

// What is known of the window being framed.
struct WindowFacts
{
    SIZE size; // the whole window
    DWORD style;
    DWORD exStyle;
    bool maximized;
    bool imagesLoaded; // all skin images are there
    bool captionOnly;  // refresh only the rail under the buttons, icon and buttons
};

struct FrameLayout
{
    std::vector<Fill> fills; // border and caption ring, in painting order
    RECT client;             // the window inside the border and below the caption
    bool hasCaption = false;
    RECT caption{}; // the caption rectangle
    bool toolCaption = false;
    int tabSlant = 0; // slant columns of the tab in use
    std::vector<CaptionPiece> pieces;
    bool hasIcon = false;
    POINT icon{};                     // top-left of the 16-pixel icon
    std::vector<ButtonPlace> buttons; // right to left
    bool hasTitle = false;
    RECT titleArea{}; // the caption between icon and buttons
};

// Lays out the frame of a window.
FrameLayout LayOutFrame(const WindowFacts& window, const Metrics& metrics);

// Top of a title `textHeight` pixels high in `titleArea`: the area grows by a pixel at
// top and bottom and the text is centred in it, rounded toward zero.
int TitleTop(const RECT& titleArea, int textHeight);

// What the mouse is over: the client area, the caption, the icon, a caption button or
// a part of the sizing border (sides and corners).
enum class HitZone {
    Client,
    Caption,
    Icon,
    Button,
    Left,
    Right,
    Top,
    Bottom,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight,
    Border, // the frame of a window that is not sized by its border
};
struct Hit
{
    HitZone zone;
    CaptionButton button; // for HitZone::Button
};
// Where `at` lies in the frame laid out for `window`. Only a sizing border of a window
// that is not maximised sizes it; a corner takes the first cxSize + cxFrame pixels
// (cySize + cyFrame) of each side next to it.
Hit HitTest(const WindowFacts& window, const Metrics& metrics, POINT at);
// Whether a zone sizes the window.
bool IsSizingZone(HitZone zone);

} // namespace vexol::look::frame

// The window classes live outside namespaces and call the geometry by this short name.
namespace frame = vexol::look::frame;
