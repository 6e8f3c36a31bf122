// FrameSkin: paints the frame of a window (border, caption tab running out into the
// rail, icon, caption buttons, title) from the skin images, laid out by
// frame::LayOutFrame. Only cell 0 of each caption-button strip is drawn, cell 3 (restore)
// of the maximise strip for a maximised window.
#pragma once

#include "look/DibCellStrip.h"
#include "look/FrameGeometry.h"
#include "look/ImageList.h"
#include "still/CDib.h"

#include <QColor>
#include <QString>

class QFont;
class QPainter;

// Skin images of the application's frames.
inline constexpr UINT IDB_ACTIVE_TAB = 261;
inline constexpr UINT IDB_INACTIVE_TAB = 258;
inline constexpr UINT IDB_ACTIVE_TOOL_TAB = 259;
inline constexpr UINT IDB_INACTIVE_TOOL_TAB = 260;
inline constexpr UINT IDB_CAPTION_ICON = 271;
inline constexpr UINT IDB_MINIMIZE_BUTTON = 227;
inline constexpr UINT IDB_MAXIMIZE_BUTTON = 270;
inline constexpr UINT IDB_CLOSE_BUTTON = 225;
inline constexpr UINT IDB_HELP_BUTTON = 224;

class FrameSkin
{
public:
    // Loads the seven images in this order; the first failure stops. imagesLoaded is
    // non-zero only when all of them loaded.
    BOOL Load(UINT activeTabId, UINT inactiveTabId, UINT iconId, UINT minimizeId,
              UINT maxRestoreId, UINT closeId, UINT helpId);
    // The application's set.
    BOOL LoadStandard();

    // What the frame of one window needs to be painted.
    struct Target
    {
        SIZE size;
        DWORD style;
        DWORD exStyle;
        bool maximized;
        bool active;
        QString title;
    };
    // Paints the frame into `dc`, whose origin is the window's top-left. `captionOnly`
    // repaints only the rail under the buttons, the icon and the buttons. A paint
    // request arriving while one runs is dropped.
    void Paint(QPainter* dc, const Target& window, bool captionOnly, const QFont& captionFont,
               const frame::Metrics& metrics = frame::StandardMetrics());

    // The colour of a border brush.
    static QColor Colour(frame::Brush brush);

    int imagesLoaded = 0;
    CDib activeTab;
    CImageList iconList;
    CDib inactiveTab;
    DibCellStrip minimizeStrip;
    DibCellStrip maxRestoreStrip;
    DibCellStrip closeStrip;
    DibCellStrip helpStrip;
    int painting = 0; // 1 while Paint runs

private:
    void PaintFrame(QPainter* dc, const Target& window, bool captionOnly,
                    const QFont& captionFont, const frame::Metrics& metrics);
};
