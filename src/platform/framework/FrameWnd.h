// The frame window: a main window with a menu bar and accelerators from resources, a
// status bar, and one view in its client area. It routes commands to the active view,
// the view's document, itself and the application, in that order, and gates each
// command from a menu, an accelerator or a post through the command's update rule.
#pragma once

#include "platform/WinTypes.h"
#include "platform/framework/CmdTarget.h"
#include "platform/framework/Menu.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <string>

class CDocument;
class CStatusBar;
class CView;

// What the frame needs to create its view for a document.
struct CCreateContext
{
    CDocument* m_pCurrentDoc = nullptr;
    std::function<CView*()> m_newView; // creates the view; empty: no view
};

class CFrameWnd : public QMainWindow, public CCmdTarget
{
public:
    CFrameWnd();
    ~CFrameWnd() override;

    // Creates the frame for resource `resourceId`: the caption title from the first
    // field of that string (else the application title), the menu and the accelerator
    // table of that ID, then OnCreate. False when OnCreate fails; the caller then
    // deletes the frame. The frame deletes itself when it is closed.
    BOOL LoadFrame(UINT resourceId, CCreateContext* context = nullptr);

    // Runs a command now, as a menu or the accelerator does: dropped when its update
    // rule disables it, otherwise routed. TRUE when a handler ran.
    BOOL SendCommand(UINT id);
    // Queues a command; queued commands run in order once the current event is
    // handled, gated like SendCommand.
    void PostCommand(UINT id);
    // View (and its document), frame, application.
    BOOL OnCmdMsg(UINT id, CCmdUI* cmdUI) override;

    CView* GetActiveView() const;
    void SetActiveView(CView* view);
    CDocument* GetActiveDocument() const;

    // The menu bar; a null handle when the frame has none.
    CMenu GetMenu() const;

    // Pane 0 of the status bar (null: empty), repainted at once.
    void SetStatusText(const char* text);
    void SetMessageText(UINT stringId);
    CStatusBar* GetMessageBar() const { return m_messageBar; }
    void SetMessageBar(CStatusBar* bar) { m_messageBar = bar; }

    // The title part of the caption; the caption is "title - document title".
    void SetTitle(const char* title);
    const std::string& GetTitle() const { return m_title; }
    virtual void OnUpdateFrameTitle(BOOL addToTitle);

    // Shows, raises and activates the frame, then paints it at once.
    void ActivateFrame();

    // Idle work after each burst of events: the update rules of the status-bar
    // indicators and of the commands on the menu bar itself.
    virtual void OnUpdateIdle();

    // Opens the help page (commands 57667 and 57671).
    void OnHelpFinder();

    // Called by the menus of this frame.
    void OnMenuItemChosen(UINT id);
    void OnMenuItemHighlighted(UINT id);
    void UpdateMenuItems(const CMenu& popup);
    void OnMenuClosed();

protected:
    // Frame creation: the base creates the view from `context`. 0 or -1 (failure).
    virtual int OnCreate(CCreateContext* context);
    virtual BOOL OnCreateClient(CCreateContext* context);

    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void OnBarCheck();
    void OnUpdateBarMenu(CCmdUI* cmdUI);
    void OnUpdateKeyIndicator(CCmdUI* cmdUI);
    void InstallAccelerators(UINT resourceId);

    QPointer<CView> m_activeView;
    CStatusBar* m_messageBar = nullptr;
    std::string m_title;
    bool m_showingPrompt = false; // pane 0 shows a menu prompt
    UINT m_promptId = 0;          // the command whose prompt it shows
    bool m_messageShown = false;  // pane 0 has been given a text
};
