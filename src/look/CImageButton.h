// CImageButton: a push button of a dialog painted from a bitmap strip, one cell per
// state (with 4 cells: normal, pressed, focused or hovered, disabled). It attaches to a
// button the dialog already made; clicking, the keyboard and the focus stay the
// button's own, only the painting is replaced.
//
// With hover tracking on, the pointer entering the button starts a 100 ms poll of the
// cursor that ends, with a redraw, once the pointer is outside. In image-list mode
// (LoadImages with a selector) the cells are drawn with RGB(255, 0, 255) transparent.
#pragma once

#include "look/DibCellStrip.h"
#include "platform/WinTypes.h"
#include "look/ImageList.h"

#include <QObject>
#include <QPointer>
#include <QPushButton>

class CDialog;
class QPainter;

inline constexpr UINT BM_SETCHECK = 0x00F1;
// Owner-draw item state bits.
inline constexpr UINT ODS_SELECTED = 0x0001;
inline constexpr UINT ODS_DISABLED = 0x0004;
inline constexpr UINT ODS_CHECKED = 0x0008;
inline constexpr UINT ODS_FOCUS = 0x0010;

class CImageButton : public QObject
{
public:
    CImageButton();
    ~CImageButton() override;
    CImageButton(const CImageButton&) = delete;
    CImageButton& operator=(const CImageButton&) = delete;

    // Takes over the painting of `button`; FALSE for a null button or when the object
    // is attached already.
    BOOL Attach(QPushButton* button);
    // Attaches to the push button with control ID `id` of `dialog`.
    BOOL SubclassDlgItem(int id, CDialog* dialog);
    QPushButton* GetSafeHwnd() const { return m_button; }

    // Loads strip `id` (low 16 bits) of `cellCount` cells and resizes the button to one
    // cell. `selector` null: strip mode; otherwise image-list mode. FALSE when the
    // bitmap is missing; the button then keeps its size.
    BOOL LoadImages(UINT id, int cellCount, const void* selector);
    void EnableHoverTracking(BOOL flag);

    virtual int GetCheckState() const { return checkState; }
    // Stores the check state; redraws only when it changed.
    virtual void SetCheckState(int state);

    // The cell shown for a state: the first of disabled, hovered, focused, none that
    // applies decides, with pressed or not (see the table in the source). Counts other
    // than 2 to 8 always give cell 0.
    static int CellIndex(int cellCount, bool pressed, bool focused, bool hovered, bool disabled);

    // The button's messages that are not Qt events: BM_SETCHECK sets the check state
    // and answers 0. Others answer 0 and do nothing.
    LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Paints the button for item state `state` (ODS_* bits) into `rect` of `dc`.
    virtual void DrawItem(QPainter* dc, const RECT& rect, UINT state);

    // The pointer position (client coordinates) as mouse moves and the poll see it.
    void OnPointerAt(POINT client);
    bool IsHovering() const { return hovering != 0; }
    bool IsHoverPollRunning() const { return hoverTimerId != 0; }
    // Redraw requests so far (for checking that unchanged states cost none).
    int GetRedrawCount() const { return m_redraws; }
    const DibCellStrip& GetStrip() const { return strip; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void Redraw();
    void StopHoverPoll();
    UINT ItemState() const;

    CImageList imageList;
    const void* useImageList = nullptr;
    int hoverTracking = 1;
    int cellCount = 4;
    int hoverTimerId = 0;
    int hovering = 0;
    int checkState = 0;
    DibCellStrip strip;

    QPointer<QPushButton> m_button;
    int m_redraws = 0;
};
