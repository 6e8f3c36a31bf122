// Views: the widget in the frame's client area that shows a document. A command that
// reaches a view goes on to its document when the view does not handle it.
//
// CScrollView sits inside a scroll area. Its client area is the scroll area's visible
// part; its scroll sizes set the scrollable extent. Child windows of the view are
// placed in the view's own coordinates, which equal client coordinates while the view
// is scrolled to (0, 0).
#pragma once

#include "platform/WinTypes.h"
#include "platform/framework/CmdTarget.h"

#include <QPointer>
#include <QScrollArea>
#include <QWidget>

class CDocument;
class CFrameWnd;

// Mapping modes: scroll sizes in pixels.
inline constexpr int MM_TEXT = 1;
// Size change kinds passed to OnSize.
inline constexpr UINT SIZE_RESTORED = 0;

class CView : public QWidget, public CCmdTarget
{
public:
    CView();
    ~CView() override;

    CDocument* GetDocument() const { return m_pDocument; }
    void SetDocument(CDocument* document) { m_pDocument = document; }
    // The frame window that holds the view; null when there is none.
    CFrameWnd* GetParentFrame() const;

    // Own map, then the document.
    BOOL OnCmdMsg(UINT id, CCmdUI* cmdUI) override;

    // Called once when the frame first shows the document.
    virtual void OnInitialUpdate() {}
    // Called after the client area changed its size to `cx` x `cy` pixels.
    virtual void OnSize(UINT type, int cx, int cy);

    // The client area, (0, 0) at the top left.
    void GetClientRect(RECT* rect) const;
    // The child window with control ID `id`, or null.
    QWidget* GetDlgItem(int id) const;

    // Puts the view into `parent` and returns the widget that the frame shows in its
    // client area: the view itself here.
    virtual QWidget* CreateHostWidget(QWidget* parent);

protected:
    // Size of the client area in pixels.
    virtual QSize ClientSize() const;
    void resizeEvent(QResizeEvent* event) override;

private:
    CDocument* m_pDocument = nullptr;
};

class CScrollView : public CView
{
public:
    CScrollView();

    // Sets the scrollable extent in pixels (MM_TEXT, the only mapping mode). Page and
    // line steps are the scroll area's: the visible size and a fixed line.
    void SetScrollSizes(int mapMode, SIZE total);
    SIZE GetTotalSize() const { return m_total; }
    POINT GetScrollPosition() const;
    void ScrollToPosition(POINT position);

    // Wraps the view in a scroll area inside `parent` and returns the scroll area.
    QWidget* CreateHostWidget(QWidget* parent) override;
    QScrollArea* GetScrollArea() const { return m_area.data(); }

protected:
    QSize ClientSize() const override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateExtent();

    QPointer<QScrollArea> m_area;
    SIZE m_total{0, 0};
};
