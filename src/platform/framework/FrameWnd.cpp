// Frame window: creation from resources, command routing and gating, menu prompts and
// states, status bar text and the caption rule.
#include "platform/framework/FrameWnd.h"

#include "platform/framework/AcceleratorTemplate.h"
#include "platform/framework/CommandIds.h"
#include "platform/framework/DocTemplate.h"
#include "platform/framework/Document.h"
#include "platform/framework/Help.h"
#include "platform/framework/LockKeys.h"
#include "platform/framework/Resources.h"
#include "platform/framework/StatusBar.h"
#include "platform/framework/View.h"
#include "platform/framework/WinApp.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QShortcut>

namespace {

// A command posted to the frame.
class CommandEvent : public QEvent
{
public:
    explicit CommandEvent(UINT id) : QEvent(Type()), m_id(id) {}
    static QEvent::Type Type()
    {
        static const auto type = QEvent::Type(QEvent::registerEventType());
        return type;
    }
    const UINT m_id;
};

// A menu item as its update rule sees it.
class MenuItemCmdUI : public CCmdUI
{
public:
    explicit MenuItemCmdUI(QAction* action)
        : CCmdUI(vexol::platform::framework::CommandIdOf(action)), m_action(action)
    {
    }
    void Enable(BOOL on) override
    {
        CCmdUI::Enable(on);
        m_action->setEnabled(on != FALSE);
    }
    // An item without a mark is not checkable, so that no empty box or circle is drawn.
    void SetCheck(int check) override
    {
        m_action->setCheckable(check != 0);
        m_action->setChecked(check != 0);
    }
    void SetRadio(BOOL on) override
    {
        // An exclusive group of its own gives the item a radio mark.
        if (!m_action->actionGroup()) {
            auto* group = new QActionGroup(m_action);
            group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
            group->addAction(m_action);
        }
        m_action->setCheckable(on != FALSE);
        m_action->setChecked(on != FALSE);
    }
    void SetText(const char* text) override
    {
        m_action->setText(QString::fromUtf8(text ? text : ""));
    }

private:
    QAction* m_action;
};

// The prompt of a command: its string up to "\n".
std::string PromptOf(UINT id)
{
    std::string text;
    if (id != 0 && LoadString(id, text)) {
        text.erase(std::min(text.find('\n'), text.size()));
    }
    return text;
}

} // namespace

CFrameWnd::CFrameWnd()
{
    setAttribute(Qt::WA_DeleteOnClose);
    MapCommand(ID_VIEW_STATUS_BAR, &CFrameWnd::OnBarCheck);
    MapUpdateRule(ID_VIEW_STATUS_BAR, &CFrameWnd::OnUpdateBarMenu);
    MapCommand(ID_HELP_FINDER, &CFrameWnd::OnHelpFinder);
    MapCommand(ID_DEFAULT_HELP, &CFrameWnd::OnHelpFinder);
    for (UINT indicator :
         {ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL, ID_INDICATOR_KANA}) {
        MapUpdateRule(indicator, &CFrameWnd::OnUpdateKeyIndicator);
    }
}

CFrameWnd::~CFrameWnd() = default;

BOOL CFrameWnd::LoadFrame(UINT resourceId, CCreateContext* context)
{
    std::string documentString;
    if (LoadString(resourceId, documentString)) {
        m_title = vexol::platform::framework::DocStringField(documentString, 0);
    } else {
        LoadString(IDS_APP_TITLE, m_title);
    }
    setWindowTitle(QString::fromUtf8(m_title));

    auto* menuBar = new QMenuBar(this);
    menuBar->setNativeMenuBar(false); // bar commands need the menu bar in the window
    if (vexol::platform::framework::BuildMenuBar(menuBar, resourceId)) {
        setMenuBar(menuBar);
        menuBar->installEventFilter(this);
    } else {
        delete menuBar;
    }
    InstallAccelerators(resourceId);

    if (OnCreate(context) == -1) {
        return FALSE;
    }
    OnUpdateFrameTitle(TRUE);
    return TRUE;
}

int CFrameWnd::OnCreate(CCreateContext* context)
{
    return OnCreateClient(context) ? 0 : -1;
}

BOOL CFrameWnd::OnCreateClient(CCreateContext* context)
{
    if (!context || !context->m_newView) {
        return TRUE;
    }
    CView* view = context->m_newView();
    if (!view) {
        return FALSE;
    }
    setCentralWidget(view->CreateHostWidget(this));
    if (context->m_pCurrentDoc) {
        context->m_pCurrentDoc->AddView(view);
    }
    SetActiveView(view);
    return TRUE;
}

void CFrameWnd::InstallAccelerators(UINT resourceId)
{
    for (const vexol::res::AcceleratorEntry& entry : vexol::res::FindAcceleratorTable(resourceId)) {
        Qt::KeyboardModifiers modifiers;
        if (entry.modifiers & vexol::res::kAccelControl) {
            modifiers |= Qt::ControlModifier;
        }
        if (entry.modifiers & vexol::res::kAccelShift) {
            modifiers |= Qt::ShiftModifier;
        }
        if (entry.modifiers & vexol::res::kAccelAlt) {
            modifiers |= Qt::AltModifier;
        }
        // Letters and digits have their character codes as Qt key codes.
        auto* shortcut =
            new QShortcut(QKeySequence(QKeyCombination(modifiers, Qt::Key(entry.key))), this);
        shortcut->setContext(Qt::WindowShortcut);
        const UINT command = entry.command;
        connect(shortcut, &QShortcut::activated, this, [this, command] { SendCommand(command); });
    }
}

BOOL CFrameWnd::SendCommand(UINT id)
{
    // The update rule decides first; a command without a rule passes.
    CCmdUI gate(id);
    gate.DoUpdate(this);
    if (!gate.m_bEnabled) {
        return FALSE;
    }
    return OnCmdMsg(id, nullptr);
}

void CFrameWnd::PostCommand(UINT id)
{
    QCoreApplication::postEvent(this, new CommandEvent(id));
}

BOOL CFrameWnd::OnCmdMsg(UINT id, CCmdUI* cmdUI)
{
    if (CView* view = GetActiveView(); view && view->OnCmdMsg(id, cmdUI)) {
        return TRUE;
    }
    if (DispatchToOwnMap(id, cmdUI)) {
        return TRUE;
    }
    CWinApp* app = CWinApp::Instance();
    return app ? app->OnCmdMsg(id, cmdUI) : FALSE;
}

CView* CFrameWnd::GetActiveView() const
{
    return m_activeView.data();
}

void CFrameWnd::SetActiveView(CView* view)
{
    m_activeView = view;
}

CDocument* CFrameWnd::GetActiveDocument() const
{
    CView* view = GetActiveView();
    return view ? view->GetDocument() : nullptr;
}

CMenu CFrameWnd::GetMenu() const
{
    auto* menuBar = qobject_cast<QMenuBar*>(menuWidget());
    return menuBar ? CMenu(menuBar) : CMenu();
}

void CFrameWnd::SetStatusText(const char* text)
{
    if (m_messageBar) {
        m_messageBar->SetPaneText(m_messageBar->CommandToIndex(ID_SEPARATOR), text, TRUE);
        m_messageShown = true;
    }
}

void CFrameWnd::SetMessageText(UINT stringId)
{
    std::string text;
    LoadString(stringId, text);
    SetStatusText(text.c_str());
}

void CFrameWnd::SetTitle(const char* title)
{
    m_title = title ? title : "";
    OnUpdateFrameTitle(TRUE);
}

void CFrameWnd::OnUpdateFrameTitle(BOOL addToTitle)
{
    std::string caption = m_title;
    const CDocument* document = GetActiveDocument();
    if (addToTitle && document && !document->GetTitle().empty()) {
        caption += " - " + document->GetTitle();
    }
    setWindowTitle(QString::fromUtf8(caption));
}

void CFrameWnd::ActivateFrame()
{
    show();
    raise();
    activateWindow();
    repaint();
}

void CFrameWnd::OnUpdateIdle()
{
    if (m_messageBar) {
        if (!m_messageShown) {
            SetMessageText(IDS_IDLE_MESSAGE); // the first idle shows "Ready"
        }
        m_messageBar->OnUpdateCmdUI(this);
    }
    // Commands on the menu bar itself show their state all the time.
    if (QWidget* menuBar = GetMenu().GetSafeHmenu()) {
        for (QAction* action : menuBar->actions()) {
            if (!action->menu() && !action->isSeparator()) {
                MenuItemCmdUI ui(action);
                ui.DoUpdate(this);
            }
        }
    }
}

void CFrameWnd::OnHelpFinder()
{
    vexol::platform::framework::OpenHelpPage();
}

void CFrameWnd::OnMenuItemChosen(UINT id)
{
    if (id != 0) {
        SendCommand(id);
    }
}

void CFrameWnd::OnMenuItemHighlighted(UINT id)
{
    SetStatusText(PromptOf(id).c_str());
    m_showingPrompt = true;
    m_promptId = id;
}

void CFrameWnd::UpdateMenuItems(const CMenu& popup)
{
    QWidget* menu = popup.GetSafeHmenu();
    if (!menu) {
        return;
    }
    for (QAction* action : menu->actions()) {
        if (!action->menu() && !action->isSeparator() &&
            vexol::platform::framework::CommandIdOf(action) != 0) {
            MenuItemCmdUI ui(action);
            ui.DoUpdate(this);
        }
    }
}

void CFrameWnd::OnMenuClosed()
{
    SetMessageText(IDS_IDLE_MESSAGE);
    m_showingPrompt = false;
    m_promptId = 0;
}

bool CFrameWnd::event(QEvent* event)
{
    if (event->type() == CommandEvent::Type()) {
        SendCommand(static_cast<CommandEvent*>(event)->m_id);
        return true;
    }
    return QMainWindow::event(event);
}

bool CFrameWnd::eventFilter(QObject* watched, QEvent* event)
{
    // The menu bar highlights only its enabled commands; a disabled one under the pointer
    // shows its prompt as well.
    if (watched == menuWidget() && event->type() == QEvent::MouseMove) {
        auto* bar = qobject_cast<QMenuBar*>(menuWidget());
        const QPoint position = static_cast<QMouseEvent*>(event)->position().toPoint();
        QAction* action = bar ? bar->actionAt(position) : nullptr;
        if (action && !action->isEnabled() && !action->menu() && !action->isSeparator()) {
            const UINT id = vexol::platform::framework::CommandIdOf(action);
            if (!m_showingPrompt || m_promptId != id) {
                OnMenuItemHighlighted(id);
            }
        }
    }
    // A prompt of a menu-bar item goes when the pointer leaves the bar.
    if (watched == menuWidget() && event->type() == QEvent::Leave && m_showingPrompt &&
        !QApplication::activePopupWidget()) {
        OnMenuClosed();
    }
    return QMainWindow::eventFilter(watched, event);
}

void CFrameWnd::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        if (CWinApp* app = CWinApp::Instance(); app && app->GetMainWnd() == this) {
            app->OnMainWindowClosed();
        }
    }
}

void CFrameWnd::OnBarCheck()
{
    if (m_messageBar) {
        m_messageBar->Show(!m_messageBar->IsVisible());
    }
}

void CFrameWnd::OnUpdateBarMenu(CCmdUI* cmdUI)
{
    if (m_messageBar) {
        cmdUI->SetCheck(m_messageBar->IsVisible() ? 1 : 0);
    } else {
        cmdUI->Enable(FALSE);
    }
}

void CFrameWnd::OnUpdateKeyIndicator(CCmdUI* cmdUI)
{
    using vexol::platform::framework::LockKey;
    LockKey key = LockKey::Caps;
    switch (cmdUI->m_nID) {
    case ID_INDICATOR_NUM:
        key = LockKey::Num;
        break;
    case ID_INDICATOR_SCRL:
        key = LockKey::Scroll;
        break;
    case ID_INDICATOR_KANA:
        key = LockKey::Kana;
        break;
    default:
        break;
    }
    cmdUI->Enable(vexol::platform::framework::ReadLockKey(key).value_or(false) ? TRUE : FALSE);
}
