// The main window in the skinned frame: menu bar and client inside the frame, the
// restore image on a maximised window, sizing by the border, moving by the caption, the
// caption buttons and double click, the sizing cursors, the system menu with keyboard
// sizing, and the tooltip hit test over child windows with an ID.
#include "look/FrameSkin.h"
#include "platform/WindowRegistry.h"
#include "platform/framework/ControlId.h"
#include "platform/framework/Resources.h"
#include "shell/CMainFrameEx.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>
#include <vector>

namespace {

// A shown 400 x 300 main frame at (100, 100) with a menu bar and a client window; the
// frame deletes itself when closed.
class ShownFrame
{
public:
    explicit ShownFrame(bool maximized = false) : window(new CMainFrameEx)
    {
        auto* bar = new QMenuBar(window);
        bar->setNativeMenuBar(false);
        bar->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("E&xit"));
        window->setMenuBar(bar);
        window->setCentralWidget(new QWidget);
        window->resize(400, 300);
        window->show();
        window->move(100, 100);
        if (maximized) {
            window->showMaximized();
        }
    }
    ~ShownFrame() { delete window; }
    CMainFrameEx* operator->() const { return window; }
    QPointer<CMainFrameEx> window;
};

void Mouse(QWidget* to, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton
                                  : type == QEvent::MouseMove && button == Qt::NoButton
                                      ? Qt::NoButton
                                      : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(at), QPointF(to->mapToGlobal(at)),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}

void Key(QWidget* to, int key)
{
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}

RECT ButtonRect(const CMainFrameEx& window, frame::CaptionButton button)
{
    for (const frame::ButtonPlace& place : window.Layout().buttons) {
        if (place.button == button) {
            return place.rect;
        }
    }
    return RECT{};
}

TEST(MainFrame, FramedRoundMenuAndClientWithTheRestoreImageWhenMaximized)
{
    FrameSkin skin;
    ASSERT_TRUE(skin.LoadStandard());
    for (const bool maximized : {false, true}) {
        ShownFrame window(maximized);
        ASSERT_TRUE(window->IsFramed());
        EXPECT_EQ(window->contentsMargins(), QMargins(4, 23, 4, 4)) << maximized;
        EXPECT_EQ(window->menuWidget()->pos(), QPoint(4, 23)) << maximized;
        const QRect client = window->rect().marginsRemoved(window->contentsMargins());
        EXPECT_TRUE(client.contains(window->centralWidget()->geometry())) << maximized;

        // The maximise/restore button shows cell 3 (restore) of its strip when maximised.
        const RECT r = ButtonRect(*window.window, frame::CaptionButton::MaximizeRestore);
        const QImage shot = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QImage expected(r.right - r.left, r.bottom - r.top, QImage::Format_RGB32);
        QPainter painter(&expected);
        skin.maxRestoreStrip.Draw(maximized ? 3 : 0, &painter,
                                  RECT{0, 0, expected.width(), expected.height()}, nullptr);
        painter.end();
        EXPECT_EQ(shot.copy(r.left, r.top, expected.width(), expected.height()), expected)
            << maximized;
    }
}

TEST(MainFrame, MouseSizesMovesMaximizesMinimizesAndCloses)
{
    enum class State { Normal, Maximized, Minimized, Closed };
    const struct
    {
        const char* name;
        bool maximized;
        QPoint press;
        QPoint release; // a move to here comes first
        bool doubleClick;
        QRect geometry; // for a normal window afterwards
        State state;
    } cases[] = {
        {"RightBorderWidens",
         false,
         {399, 150},
         {429, 150},
         false,
         {100, 100, 430, 300},
         State::Normal},
        {"TopLeftCornerGrows", false, {0, 0}, {-10, -20}, false, {90, 80, 410, 320}, State::Normal},
        {"CaptionDragMoves",
         false,
         {100, 10},
         {130, 30},
         false,
         {130, 120, 400, 300},
         State::Normal},
        {"JiggleIsNoDrag", false, {100, 10}, {101, 11}, false, {100, 100, 400, 300}, State::Normal},
        {"DoubleClickMaximizes", false, {100, 10}, {100, 10}, true, {}, State::Maximized},
        {"DoubleClickRestores",
         true,
         {100, 10},
         {100, 10},
         true,
         {100, 100, 400, 300},
         State::Normal},
        {"MaximizedBorderDoesNotSize", true, {0, 150}, {-30, 150}, false, {}, State::Maximized},
        {"MaximizeButton", false, {368, 12}, {368, 12}, false, {}, State::Maximized},
        {"MinimizeButton", false, {350, 12}, {350, 12}, false, {}, State::Minimized},
        {"CloseButton", false, {385, 12}, {385, 12}, false, {}, State::Closed},
        {"ReleasedOffTheCloseButton",
         false,
         {385, 12},
         {300, 12},
         false,
         {100, 100, 400, 300},
         State::Normal},
    };
    for (const auto& c : cases) {
        ShownFrame window(c.maximized);
        const QRect maximizedGeometry = window->geometry();
        Mouse(window.window, QEvent::MouseButtonPress, c.press);
        if (c.doubleClick) {
            Mouse(window.window, QEvent::MouseButtonRelease, c.press);
            Mouse(window.window, QEvent::MouseButtonDblClick, c.press);
        } else {
            Mouse(window.window, QEvent::MouseMove, c.release);
        }
        Mouse(window.window, QEvent::MouseButtonRelease, c.release);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (c.state == State::Closed) {
            EXPECT_TRUE(window.window.isNull()) << c.name; // closed as File > Exit closes
            continue;
        }
        ASSERT_FALSE(window.window.isNull()) << c.name;
        EXPECT_EQ(window->isMaximized(), c.state == State::Maximized) << c.name;
        EXPECT_EQ(window->isMinimized(), c.state == State::Minimized) << c.name;
        if (c.state == State::Normal) {
            EXPECT_EQ(QRect(window->pos(), window->size()), c.geometry) << c.name;
        } else if (c.state == State::Maximized && c.maximized) {
            EXPECT_EQ(window->geometry(), maximizedGeometry) << c.name;
        }
    }
}

TEST(MainFrame, BorderShowsSizingCursorsAndTheContentsKeepTheArrow)
{
    const struct
    {
        const char* name;
        QPoint at;
        Qt::CursorShape shape;
    } cases[] = {
        {"Right", {399, 150}, Qt::SizeHorCursor}, {"Bottom", {200, 299}, Qt::SizeVerCursor},
        {"TopLeft", {0, 0}, Qt::SizeFDiagCursor}, {"TopRight", {399, 0}, Qt::SizeBDiagCursor},
        {"Caption", {100, 10}, Qt::ArrowCursor},
    };
    ShownFrame window;
    // Moving from the border straight into the contents must not keep a sizing cursor.
    EXPECT_TRUE(window->menuWidget()->testAttribute(Qt::WA_SetCursor));
    EXPECT_TRUE(window->centralWidget()->testAttribute(Qt::WA_SetCursor));
    for (const auto& c : cases) {
        Mouse(window.window, QEvent::MouseMove, QPoint(399, 299), Qt::NoButton);
        Mouse(window.window, QEvent::MouseMove, c.at, Qt::NoButton);
        EXPECT_EQ(window->cursor().shape(), c.shape) << c.name;
    }
}

TEST(MainFrame, SystemMenuItemsByStateAndKeyboardSizing)
{
    using vexol::res::Language;
    const struct
    {
        Language language;
        std::vector<const char*> texts;
    } languages[] = {
        {Language::English, {"&Restore", "&Move", "&Size", "Mi&nimize", "Ma&ximize", "&Close"}},
        {Language::Japanese,
         {"元のサイズに戻す(&R)", "移動(&M)", "サイズ変更(&S)", "最小化(&N)", "最大化(&X)",
          "閉じる(&C)"}},
    };
    for (const auto& l : languages) {
        vexol::res::SetLanguage(l.language);
        for (const bool maximized : {false, true}) {
            ShownFrame window(maximized);
            Mouse(window.window, QEvent::MouseButtonPress, QPoint(100, 10), Qt::RightButton);
            const QList<QMenu*> menus = window->findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
            ASSERT_EQ(menus.size(), 1);
            EXPECT_TRUE(menus.front()->isVisible());
            std::vector<QAction*> items;
            for (QAction* action : menus.front()->actions()) {
                if (!action->isSeparator()) {
                    items.push_back(action);
                }
            }
            ASSERT_EQ(items.size(), l.texts.size());
            // Restore only when maximised; Move, Size and Maximize only when not.
            const bool enabled[] = {maximized, !maximized, !maximized, true, !maximized, true};
            for (size_t i = 0; i < items.size(); ++i) {
                EXPECT_EQ(items[i]->text().toStdString(), l.texts[i]);
                EXPECT_EQ(items[i]->isEnabled(), enabled[i]) << l.texts[i] << " " << maximized;
            }
            menus.front()->hide();
            if (maximized) {
                continue;
            }
            // Size: the arrows move the right and bottom edges; Esc undoes, Enter keeps.
            for (const int end : {Qt::Key_Escape, Qt::Key_Return}) {
                items[2]->trigger();
                for (const int key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down, Qt::Key_Left}) {
                    Key(window.window, key);
                }
                Key(window.window, end);
                const int step = SkinnedFrame::kKeyMoveStep;
                EXPECT_EQ(window->size(),
                          end == Qt::Key_Escape ? QSize(400, 300) : QSize(400 + step, 300 + step));
                EXPECT_EQ(window->pos(), QPoint(100, 100));
            }
        }
    }
    vexol::res::SetLanguage(Language::English);
}

TEST(MainFrame, TooltipHitTestFindsTheTopmostVisibleChildWithAnId)
{
    ShownFrame window;
    const auto child = [&](QWidget* widget, int id, QRect geometry) {
        widget->setParent(window.window);
        widget->setGeometry(geometry);
        vexol::platform::framework::SetControlId(widget, id);
        widget->show();
        return widget;
    };
    QWidget* button = child(new QPushButton, 1001, QRect(10, 40, 60, 20));
    child(new QLabel, 1002, QRect(100, 40, 60, 20));
    child(new QLabel, 1003, QRect(100, 40, 30, 20)); // above 1002
    child(new QLabel, 1004, QRect(200, 40, 60, 20))->hide();
    child(new QLabel, 0xFFFF, QRect(300, 40, 60, 20));
    const struct
    {
        const char* name;
        POINT at;
        std::intptr_t id;
        UINT flags;
    } cases[] = {
        {"Button", {20, 50}, 1001, TTF_IDISHWND},
        {"LabelIsNoButton", {150, 50}, 1002, TTF_IDISHWND | TTF_NOTBUTTON | TTF_CENTERTIP},
        {"TopmostOfTwo", {110, 50}, 1003, TTF_IDISHWND | TTF_NOTBUTTON | TTF_CENTERTIP},
        {"HiddenChild", {210, 50}, -1, 0},
        {"ChildWithoutId", {310, 50}, -1, 0},
        {"NoChild", {20, 200}, -1, 0},
    };
    for (const auto& c : cases) {
        TOOLINFO info;
        EXPECT_EQ(window->OnToolHitTest(c.at, &info), c.id) << c.name;
        EXPECT_EQ(info.uFlags, c.flags) << c.name;
        if (c.id == 1001) {
            EXPECT_EQ(info.uId, reinterpret_cast<std::uintptr_t>(HandleOfWindow(button)));
            EXPECT_EQ(info.hwnd, HandleOfWindow(window.window.data()));
            EXPECT_EQ(info.lpszText, LPSTR_TEXTCALLBACK);
        }
    }
    // A record too small to hold the tool is left alone.
    TOOLINFO small;
    small.cbSize = 39;
    EXPECT_EQ(window->OnToolHitTest(POINT{20, 50}, &small), 1001);
    EXPECT_EQ(small.uFlags, 0u);
}

} // namespace
