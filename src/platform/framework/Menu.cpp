// Menu bars and popups from menu resources, and the CMenu handle over them.
#include "platform/framework/Menu.h"

#include "platform/framework/FrameWnd.h"
#include "platform/framework/MenuTemplate.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProxyStyle>

namespace vexol::platform::framework {
namespace {

const char* const kCommandIdProperty = "vexolCommandId";

// The look of the application's style, except that disabled items can be highlighted
// too, by the pointer or the keyboard, so that their prompts show; choosing one still
// does nothing.
class MenuStyle : public QProxyStyle
{
public:
    explicit MenuStyle(const QString& baseStyle) : QProxyStyle(baseStyle) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override
    {
        if (hint == SH_Menu_AllowActiveAndDisabled) {
            return 1;
        }
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

// One style for every menu, going with the application object.
QStyle* SharedMenuStyle()
{
    static QPointer<MenuStyle> style;
    if (!style) {
        style = new MenuStyle(QApplication::style() ? QApplication::style()->name() : QString());
        style->setParent(QCoreApplication::instance());
    }
    return style.data();
}

// The frame window above a menu, action or popup, if any.
CFrameWnd* OwningFrame(QObject* object)
{
    for (; object; object = object->parent()) {
        if (auto* frame = dynamic_cast<CFrameWnd*>(object)) {
            return frame;
        }
    }
    return nullptr;
}

// Choosing or highlighting a command item goes to the owning frame.
void ConnectCommandItem(QAction* action)
{
    QObject::connect(action, &QAction::triggered, action, [action] {
        if (CFrameWnd* frame = OwningFrame(action)) {
            frame->OnMenuItemChosen(CommandIdOf(action));
        }
    });
    QObject::connect(action, &QAction::hovered, action, [action] {
        if (CFrameWnd* frame = OwningFrame(action)) {
            frame->OnMenuItemHighlighted(CommandIdOf(action));
        }
    });
}

QAction* AddCommandItem(QWidget* menu, UINT id, const QString& text, bool checked, bool enabled)
{
    auto* action = new QAction(text, menu);
    action->setProperty(kCommandIdProperty, id);
    if (checked) {
        action->setCheckable(true);
        action->setChecked(true);
    }
    action->setEnabled(enabled);
    menu->addAction(action);
    ConnectCommandItem(action);
    return action;
}

QAction* AddSeparator(QWidget* menu)
{
    auto* action = new QAction(menu);
    action->setSeparator(true);
    menu->addAction(action);
    return action;
}

// A popup asks the owning frame for its items' states before it opens, and the
// highlighted popup title clears the prompt.
QMenu* AddPopup(QMenuBar* menuBar, const QString& title)
{
    auto* popup = new QMenu(title, menuBar);
    popup->setStyle(SharedMenuStyle());
    menuBar->addMenu(popup);
    QObject::connect(popup, &QMenu::aboutToShow, popup, [popup] {
        if (CFrameWnd* frame = OwningFrame(popup)) {
            frame->UpdateMenuItems(CMenu(popup));
        }
    });
    QObject::connect(popup, &QMenu::aboutToHide, popup, [popup] {
        if (CFrameWnd* frame = OwningFrame(popup)) {
            frame->OnMenuClosed();
        }
    });
    QObject::connect(popup->menuAction(), &QAction::hovered, popup, [popup] {
        if (CFrameWnd* frame = OwningFrame(popup)) {
            frame->OnMenuItemHighlighted(0);
        }
    });
    return popup;
}

} // namespace

UINT CommandIdOf(const QAction* action)
{
    if (!action) {
        return 0;
    }
    const QVariant id = action->property(kCommandIdProperty);
    return id.isValid() ? id.toUInt() : 0;
}

bool BuildMenuBar(QMenuBar* menuBar, UINT id)
{
    const auto entries = res::FindMenuTemplate(id, res::UserLanguage());
    if (entries.empty() || !menuBar) {
        return false;
    }
    menuBar->setStyle(SharedMenuStyle());
    QMenu* popup = nullptr; // the popup being filled; null at the top level
    for (const res::MenuTemplateEntry& entry : entries) {
        QWidget* target = popup ? static_cast<QWidget*>(popup) : menuBar;
        switch (entry.kind) {
        case res::MenuEntryKind::Popup:
            popup = AddPopup(menuBar, QString::fromUtf8(entry.text));
            break;
        case res::MenuEntryKind::EndPopup:
            popup = nullptr;
            break;
        case res::MenuEntryKind::Item:
            AddCommandItem(target, entry.id, QString::fromUtf8(entry.text), entry.checked, true);
            break;
        case res::MenuEntryKind::Separator:
            AddSeparator(target);
            break;
        }
    }
    return true;
}

} // namespace vexol::platform::framework

using vexol::platform::framework::CommandIdOf;

CMenu::CMenu(QMenuBar* menuBar) : m_widget(menuBar) {}

CMenu::CMenu(QMenu* popup) : m_widget(popup) {}

int CMenu::GetMenuItemCount() const
{
    return m_widget ? int(m_widget->actions().size()) : -1;
}

UINT CMenu::GetMenuItemID(int position) const
{
    const QAction* action = ItemAt(UINT(position), MF_BYPOSITION);
    if (!action || action->menu()) {
        return 0xFFFFFFFF;
    }
    return CommandIdOf(action);
}

CMenu CMenu::GetSubMenu(int position) const
{
    const QAction* action = ItemAt(UINT(position), MF_BYPOSITION);
    if (action && action->menu()) {
        return CMenu(action->menu());
    }
    return CMenu();
}

BOOL CMenu::AppendMenu(UINT flags, UINT id, const char* text)
{
    if (!m_widget || (flags & MF_POPUP)) {
        return FALSE;
    }
    if (flags & MF_SEPARATOR) {
        vexol::platform::framework::AddSeparator(m_widget);
        return TRUE;
    }
    vexol::platform::framework::AddCommandItem(m_widget, id, QString::fromUtf8(text ? text : ""),
                                               (flags & MF_CHECKED) != 0,
                                               (flags & (MF_GRAYED | MF_DISABLED)) == 0);
    return TRUE;
}

BOOL CMenu::DeleteMenu(UINT item, UINT flags)
{
    QAction* action = ItemAt(item, flags);
    if (!action) {
        return FALSE;
    }
    if (QMenu* popup = action->menu()) {
        delete popup; // its item goes with it
    } else {
        delete action;
    }
    return TRUE;
}

BOOL CMenu::GetMenuString(UINT item, std::string& text, UINT flags) const
{
    const QAction* action = ItemAt(item, flags);
    if (!action) {
        text.clear();
        return FALSE;
    }
    text = action->text().toStdString();
    return TRUE;
}

UINT CMenu::GetMenuState(UINT item, UINT flags) const
{
    const QAction* action = ItemAt(item, flags);
    if (!action) {
        return 0xFFFFFFFF;
    }
    UINT state = 0;
    if (action->isSeparator()) {
        state |= MF_SEPARATOR;
    }
    if (action->menu()) {
        state |= MF_POPUP;
    }
    if (action->isChecked()) {
        state |= MF_CHECKED;
    }
    if (!action->isEnabled()) {
        state |= MF_GRAYED;
    }
    return state;
}

QAction* CMenu::FindCommand(UINT id) const
{
    if (!m_widget || id == 0) {
        return nullptr;
    }
    for (QAction* action : m_widget->actions()) {
        if (QMenu* popup = action->menu()) {
            if (QAction* found = CMenu(popup).FindCommand(id)) {
                return found;
            }
        } else if (!action->isSeparator() && CommandIdOf(action) == id) {
            return action;
        }
    }
    return nullptr;
}

QAction* CMenu::ItemAt(UINT item, UINT flags) const
{
    if (!m_widget) {
        return nullptr;
    }
    if (flags & MF_BYPOSITION) {
        const QList<QAction*> actions = m_widget->actions();
        return item < UINT(actions.size()) ? actions[qsizetype(item)] : nullptr;
    }
    return FindCommand(item);
}
