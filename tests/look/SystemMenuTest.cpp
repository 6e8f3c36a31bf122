// The system menu of the framed dialogs and file dialogs: opened by a right click on the
// caption; Close cancels; Move takes the arrow keys until Enter keeps or Esc undoes the
// move, and Esc then does not cancel the dialog.
#include "look/CFileDialogEx.h"
#include "shell/CAboutDlg.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<QDialog> MakeDialog(bool fileDialog)
{
    if (fileDialog) {
        auto dialog = std::make_unique<CFileDialogEx>(FALSE, "avi");
        dialog->setOption(QFileDialog::DontUseNativeDialog, true);
        return dialog;
    }
    auto dialog = std::make_unique<CAboutDlg>();
    dialog->Create();
    return dialog;
}

QMenu* SystemMenuOf(QWidget& window)
{
    // The menu is the window's only menu.
    const QList<QMenu*> menus = window.findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
    return menus.size() == 1 ? menus.front() : nullptr;
}

void RightClickCaption(QWidget& window)
{
    const QPoint at(40, 10);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(window.mapToGlobal(at)),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &press);
}

void Key(QWidget& window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(&window, &event);
}

QAction* Action(QMenu& menu, const QString& text)
{
    for (QAction* action : menu.actions()) {
        if (action->text() == text) {
            return action;
        }
    }
    return nullptr;
}

TEST(SystemMenu, MoveByKeysAndCloseFromTheMenu)
{
    const struct
    {
        const char* name;
        const char* action;
        std::vector<std::pair<int, Qt::KeyboardModifiers>> keys;
        QPoint moved;
        bool open;
        bool hiddenWhileMoving = false; // then Esc cancels the dialog as usual
    } cases[] = {
        {"CloseCancels", "&Close", {}, QPoint(0, 0), false},
        {"HidingEndsTheMove",
         "&Move",
         {{Qt::Key_Escape, Qt::NoModifier}},
         QPoint(0, 0),
         false,
         true},
        {"ArrowsThenEnterKeep",
         "&Move",
         {{Qt::Key_Right, Qt::NoModifier},
          {Qt::Key_Right, Qt::NoModifier},
          {Qt::Key_Down, Qt::NoModifier},
          {Qt::Key_Left, Qt::ControlModifier},
          {Qt::Key_Return, Qt::NoModifier},
          {Qt::Key_Right, Qt::NoModifier}}, // after Enter: no longer moving
         QPoint(2 * SkinnedFrame::kKeyMoveStep - 1, SkinnedFrame::kKeyMoveStep),
         true},
        {"EscUndoesAndKeepsTheDialogOpen",
         "&Move",
         {{Qt::Key_Up, Qt::NoModifier},
          {Qt::Key_Left, Qt::NoModifier},
          {Qt::Key_Escape, Qt::NoModifier}},
         QPoint(0, 0),
         true},
    };
    for (const bool fileDialog : {false, true}) {
        for (const auto& c : cases) {
            const std::string name =
                std::string(c.name) + (fileDialog ? " file dialog" : " dialog");
            const std::unique_ptr<QDialog> made = MakeDialog(fileDialog);
            QDialog& window = *made;
            window.show();
            window.move(200, 150);
            const QPoint start = window.pos();
            RightClickCaption(window);
            QMenu* menu = SystemMenuOf(window);
            ASSERT_NE(menu, nullptr) << name;
            EXPECT_TRUE(menu->isVisible()) << name;
            QAction* action = Action(*menu, c.action);
            ASSERT_NE(action, nullptr) << name;
            menu->hide();
            action->trigger();
            if (c.hiddenWhileMoving) {
                window.hide();
                window.show();
            }
            for (const auto& [key, modifiers] : c.keys) {
                Key(window, key, modifiers);
            }
            EXPECT_EQ(window.isVisible(), c.open) << name;
            if (c.open) {
                EXPECT_EQ(window.pos() - start, c.moved) << name;
                EXPECT_EQ(QWidget::keyboardGrabber(), nullptr) << name;
            } else {
                // Cancelled: a dialog ends with IDCANCEL, the file dialog as rejected.
                EXPECT_EQ(window.result(), fileDialog ? int(QDialog::Rejected) : IDCANCEL) << name;
            }
            window.hide();
        }
    }
}

} // namespace
