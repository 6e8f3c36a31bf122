#include "look/FrameSkin.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

namespace {

constexpr COLORREF kTransparent = RGB(255, 0, 255);
constexpr int kIconSize = 16;

bool IsEmpty(const RECT& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

} // namespace

BOOL FrameSkin::Load(UINT activeTabId, UINT inactiveTabId, UINT iconId, UINT minimizeId,
                     UINT maxRestoreId, UINT closeId, UINT helpId)
{
    imagesLoaded = 0;
    if (!activeTab.LoadFromResource(WORD(activeTabId)) ||
        !inactiveTab.LoadFromResource(WORD(inactiveTabId))) {
        return FALSE;
    }
    CDib icon;
    if (!icon.LoadFromResource(WORD(iconId)) ||
        !iconList.Create(kIconSize, icon.GetSize().cy, ILC_MASK | ILC_COLOR8, 0, 1) ||
        iconList.AddMasked(icon, kTransparent) < 0) {
        return FALSE;
    }
    if (!minimizeStrip.Load(minimizeId, 3) || !maxRestoreStrip.Load(maxRestoreId, 6) ||
        !closeStrip.Load(closeId, 3) || !helpStrip.Load(helpId, 3)) {
        return FALSE;
    }
    imagesLoaded = 1;
    return TRUE;
}

BOOL FrameSkin::LoadStandard()
{
    return Load(IDB_ACTIVE_TAB, IDB_INACTIVE_TAB, IDB_CAPTION_ICON, IDB_MINIMIZE_BUTTON,
                IDB_MAXIMIZE_BUTTON, IDB_CLOSE_BUTTON, IDB_HELP_BUTTON);
}

QColor FrameSkin::Colour(frame::Brush brush)
{
    // The classic 3-D colours the skin images are drawn in.
    switch (brush) {
    case frame::Brush::DarkShadow:
        return QColor(64, 64, 64);
    case frame::Brush::Face:
        return QColor(212, 208, 200);
    case frame::Brush::Light:
        return QColor(231, 228, 221);
    case frame::Brush::Shadow:
        return QColor(128, 128, 128);
    case frame::Brush::Highlight:
        return QColor(255, 255, 255);
    }
    return QColor(212, 208, 200);
}

void FrameSkin::Paint(QPainter* dc, const Target& window, bool captionOnly,
                      const QFont& captionFont, const frame::Metrics& metrics)
{
    if (painting) {
        return;
    }
    painting = 1;
    if (dc && dc->isActive()) {
        dc->save();
        PaintFrame(dc, window, captionOnly, captionFont, metrics);
        dc->restore();
    }
    painting = 0;
}

void FrameSkin::PaintFrame(QPainter* dc, const Target& window, bool captionOnly,
                           const QFont& captionFont, const frame::Metrics& metrics)
{
    const frame::FrameLayout layout = frame::LayOutFrame(
        frame::WindowFacts{window.size, window.style, window.exStyle, window.maximized,
                           imagesLoaded != 0, captionOnly},
        metrics);
    for (const frame::Fill& fill : layout.fills) {
        if (!IsEmpty(fill.rect)) {
            dc->fillRect(QRect(QPoint(fill.rect.left, fill.rect.top),
                               QPoint(fill.rect.right - 1, fill.rect.bottom - 1)),
                         Colour(fill.brush));
        }
    }
    if (!layout.hasCaption) {
        return;
    }

    // Each piece of the tab is cut out and stretched over its part of the caption.
    const CDib& tab = window.active ? activeTab : inactiveTab;
    for (const frame::CaptionPiece& piece : layout.pieces) {
        CDib cut;
        const LONG height = tab.GetSize().cy;
        if (cut.Create(24, piece.sourceWidth, height, nullptr, 0) &&
            cut.CopyFrom(&tab, RECT{piece.sourceLeft, 0, piece.sourceLeft + piece.sourceWidth,
                                    height},
                         0, 0)) {
            cut.Draw(dc, piece.target, nullptr);
        }
    }
    if (layout.hasIcon) {
        iconList.Draw(dc, 0, layout.icon, ILD_NORMAL);
    }
    for (const frame::ButtonPlace& place : layout.buttons) {
        if (IsEmpty(place.rect)) {
            continue;
        }
        DibCellStrip* strip = &closeStrip;
        switch (place.button) {
        case frame::CaptionButton::Close:
            break;
        case frame::CaptionButton::MaximizeRestore:
            strip = &maxRestoreStrip;
            break;
        case frame::CaptionButton::Minimize:
            strip = &minimizeStrip;
            break;
        case frame::CaptionButton::Help:
            strip = &helpStrip;
            break;
        }
        strip->Draw(place.cell, dc, place.rect, nullptr);
    }

    if (layout.hasTitle && !window.title.isEmpty()) {
        QFont font = captionFont;
        dc->setFont(font);
        const QFontMetrics metricsOfFont(font);
        const int textHeight = metricsOfFont.ascent() + metricsOfFont.descent();
        const RECT& area = layout.titleArea;
        const int top = frame::TitleTop(area, textHeight);
        const QRect clip(QPoint(area.left, area.top - 1), QPoint(area.right - 1, area.bottom));
        if (clip.isValid()) {
            dc->setClipRect(clip);
            dc->setPen(Qt::black);
            dc->drawText(QPoint(area.left, top + metricsOfFont.ascent()), window.title);
            dc->setClipping(false);
        }
    }
}
