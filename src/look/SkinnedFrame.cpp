#include "look/SkinnedFrame.h"

#include "platform/framework/Resources.h"

#include <QApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QWhatsThis>
#include <QWidget>
#include <QWindow>

namespace {

// The desktop's title font at a size that fits the 18-pixel caption.
QFont CaptionFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    font.setPixelSize(12);
    return font;
}

POINT ToPoint(QPoint p)
{
    return POINT{p.x(), p.y()};
}

// The window edges a sizing zone moves.
Qt::Edges EdgesOf(frame::HitZone zone)
{
    using frame::HitZone;
    switch (zone) {
    case HitZone::Left:
        return Qt::LeftEdge;
    case HitZone::Right:
        return Qt::RightEdge;
    case HitZone::Top:
        return Qt::TopEdge;
    case HitZone::Bottom:
        return Qt::BottomEdge;
    case HitZone::TopLeft:
        return Qt::TopEdge | Qt::LeftEdge;
    case HitZone::TopRight:
        return Qt::TopEdge | Qt::RightEdge;
    case HitZone::BottomLeft:
        return Qt::BottomEdge | Qt::LeftEdge;
    case HitZone::BottomRight:
        return Qt::BottomEdge | Qt::RightEdge;
    default:
        return {};
    }
}

} // namespace

SkinnedFrame::SkinnedFrame(QWidget& window, DWORD style) : m_window(window), m_style(style)
{
    m_skin.LoadStandard();
}

void SkinnedFrame::MakeFrameless()
{
    // (Qt drops the frameless hint when title-bar hints come with it.)
    if (m_window.isWindow()) {
        m_window.setWindowFlags((m_window.windowFlags() & Qt::WindowType_Mask) |
                                Qt::FramelessWindowHint);
    }
    if (Sizable()) {
        m_window.setMouseTracking(true); // the border shows the sizing cursors
    }
    if (m_menu) {
        return;
    }
    const bool japanese = vexol::res::UserLanguage() == vexol::res::Language::Japanese;
    const auto text = [japanese](const char* english, const char* inJapanese) {
        return QString::fromUtf8(japanese ? inJapanese : english);
    };
    m_menu = new QMenu(&m_window);
    const bool mainWindow = (m_style & (frame::kMinimizeBox | frame::kMaximizeBox)) != 0;
    if (mainWindow) {
        m_restore = m_menu->addAction(text("&Restore", "元のサイズに戻す(&R)"));
        QObject::connect(m_restore, &QAction::triggered, m_menu, [this] { m_window.showNormal(); });
    }
    m_move = m_menu->addAction(text("&Move", "移動(&M)"));
    QObject::connect(m_move, &QAction::triggered, m_menu, [this] { StartKeyMode(KeyMode::Move); });
    if (Sizable()) {
        m_size = m_menu->addAction(text("&Size", "サイズ変更(&S)"));
        QObject::connect(m_size, &QAction::triggered, m_menu,
                         [this] { StartKeyMode(KeyMode::Size); });
    }
    if (m_style & frame::kMinimizeBox) {
        m_minimize = m_menu->addAction(text("Mi&nimize", "最小化(&N)"));
        QObject::connect(m_minimize, &QAction::triggered, m_menu,
                         [this] { m_window.showMinimized(); });
    }
    if (m_style & frame::kMaximizeBox) {
        m_maximize = m_menu->addAction(text("Ma&ximize", "最大化(&X)"));
        QObject::connect(m_maximize, &QAction::triggered, m_menu,
                         [this] { m_window.showMaximized(); });
    }
    m_menu->addSeparator();
    // A dialog cancels; a main window closes as File > Exit closes it.
    QObject::connect(m_menu->addAction(text("&Close", "閉じる(&C)")), &QAction::triggered, m_menu,
                     [this] { m_window.close(); });
    QObject::connect(m_menu, &QMenu::aboutToShow, m_menu, [this] { UpdateSystemMenu(); });
    // Alt+Space opens the menu below the caption's left end, wherever the focus is.
    auto* key = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), &m_window);
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, m_menu, [this] {
        const frame::FrameLayout layout = Layout();
        OpenSystemMenu(m_window.mapToGlobal(QPoint(layout.caption.left, layout.caption.bottom)));
    });
}

void SkinnedFrame::UpdateSystemMenu()
{
    const bool maximized = m_window.isMaximized();
    const bool minimized = m_window.isMinimized();
    const bool normal = !maximized && !minimized;
    if (m_restore) {
        m_restore->setEnabled(!normal);
    }
    m_move->setEnabled(normal);
    if (m_size) {
        m_size->setEnabled(normal);
    }
    if (m_minimize) {
        m_minimize->setEnabled(!minimized);
    }
    if (m_maximize) {
        m_maximize->setEnabled(!maximized);
    }
}

bool SkinnedFrame::Sizable() const
{
    return (m_style & frame::kThickFrame) != 0;
}

void SkinnedFrame::Hidden()
{
    EndKeyMode(true);
}

void SkinnedFrame::OpenSystemMenu(QPoint globalAt)
{
    if (m_menu && m_keyMode == KeyMode::None) {
        m_menu->popup(globalAt);
    }
}

void SkinnedFrame::ToggleMaximized()
{
    if ((m_style & frame::kMaximizeBox) == 0) {
        return;
    }
    if (m_window.isMaximized()) {
        m_window.showNormal();
    } else {
        m_window.showMaximized();
    }
}

void SkinnedFrame::StartKeyMode(KeyMode mode)
{
    if (m_window.isMaximized() || m_window.isMinimized()) {
        return; // a maximised window keeps its place and size
    }
    m_keyMode = mode;
    m_keyStart = QRect(m_window.pos(), m_window.size());
    m_window.grabKeyboard(); // the arrow keys go to the window, not its focused control
}

void SkinnedFrame::EndKeyMode(bool keep)
{
    if (m_keyMode == KeyMode::None) {
        return;
    }
    const KeyMode mode = m_keyMode;
    m_keyMode = KeyMode::None;
    m_window.releaseKeyboard();
    if (!keep) {
        if (mode == KeyMode::Size) {
            m_window.resize(m_keyStart.size());
        }
        m_window.move(m_keyStart.topLeft());
    }
}

BOOL SkinnedFrame::KeyPress(const QKeyEvent& event)
{
    if (m_keyMode == KeyMode::None) {
        return FALSE;
    }
    const int step = (event.modifiers() & Qt::ControlModifier) ? 1 : kKeyMoveStep;
    QPoint delta;
    switch (event.key()) {
    case Qt::Key_Left:
        delta = QPoint(-step, 0);
        break;
    case Qt::Key_Right:
        delta = QPoint(step, 0);
        break;
    case Qt::Key_Up:
        delta = QPoint(0, -step);
        break;
    case Qt::Key_Down:
        delta = QPoint(0, step);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        EndKeyMode(true);
        return TRUE;
    case Qt::Key_Escape:
        EndKeyMode(false);
        return TRUE;
    default:
        return TRUE; // other keys do nothing while moving or sizing
    }
    if (m_keyMode == KeyMode::Move) {
        m_window.move(m_window.pos() + delta);
    } else {
        // The arrows move the right and the bottom edge; the window keeps its minimum.
        const QSize least = m_window.minimumSizeHint().expandedTo(m_window.minimumSize());
        m_window.resize((m_window.size() + QSize(delta.x(), delta.y())).expandedTo(least));
    }
    return TRUE;
}

BOOL SkinnedFrame::Frame()
{
    if (m_framed || (m_window.windowFlags() & Qt::FramelessWindowHint) == 0) {
        return FALSE;
    }
    m_framed = true;
    if (Sizable()) {
        // The sizing cursors of the border stay on the border: the contents show their own.
        for (QWidget* child : m_window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!child->isWindow() && !child->testAttribute(Qt::WA_SetCursor)) {
                child->setCursor(Qt::ArrowCursor);
            }
        }
    }
    return TRUE;
}

frame::WindowFacts SkinnedFrame::FactsFor(QSize size) const
{
    frame::WindowFacts facts{};
    facts.size = SIZE{size.width(), size.height()};
    facts.style = m_style;
    facts.maximized = m_window.isMaximized();
    facts.imagesLoaded = m_skin.imagesLoaded != 0;
    return facts;
}

frame::FrameLayout SkinnedFrame::LayoutFor(QSize size) const
{
    return frame::LayOutFrame(FactsFor(size), frame::StandardMetrics());
}

frame::FrameLayout SkinnedFrame::Layout() const
{
    return LayoutFor(m_window.size());
}

frame::Hit SkinnedFrame::HitTest(QPoint at) const
{
    return frame::HitTest(FactsFor(m_window.size()), frame::StandardMetrics(), ToPoint(at));
}

QMargins SkinnedFrame::Margins() const
{
    // The frame is the same for any size large enough to hold it.
    const QSize probe(400, 300);
    const RECT client = LayoutFor(probe).client;
    return QMargins(client.left, client.top, probe.width() - client.right,
                    probe.height() - client.bottom);
}

bool SkinnedFrame::DrawsActive() const
{
    if (m_window.isActiveWindow()) {
        return true;
    }
    // A dialog is drawn active while its owner, the main window, has the focus.
    const QWidget* active = QApplication::activeWindow();
    return active && m_window.parentWidget() && active == m_window.parentWidget()->window();
}

void SkinnedFrame::Paint()
{
    if (!m_framed) {
        return;
    }
    QPainter painter(&m_window);
    m_skin.Paint(&painter,
                 FrameSkin::Target{SIZE{m_window.width(), m_window.height()}, m_style, 0,
                                   m_window.isMaximized(), DrawsActive(), m_window.windowTitle()},
                 false, CaptionFont());
}

void SkinnedFrame::Changed(const QEvent& event)
{
    if (!m_framed) {
        return;
    }
    if (event.type() == QEvent::ActivationChange || event.type() == QEvent::WindowTitleChange) {
        m_window.update(QRect(QPoint(0, 0), QSize(m_window.width(), Margins().top())));
    } else if (event.type() == QEvent::WindowStateChange) {
        EndKeyMode(true);
        m_window.unsetCursor();
        m_window.update();
    }
}

void SkinnedFrame::ShowCursorFor(frame::HitZone zone)
{
    using frame::HitZone;
    switch (zone) {
    case HitZone::Left:
    case HitZone::Right:
        m_window.setCursor(Qt::SizeHorCursor);
        break;
    case HitZone::Top:
    case HitZone::Bottom:
        m_window.setCursor(Qt::SizeVerCursor);
        break;
    case HitZone::TopLeft:
    case HitZone::BottomRight:
        m_window.setCursor(Qt::SizeFDiagCursor);
        break;
    case HitZone::TopRight:
    case HitZone::BottomLeft:
        m_window.setCursor(Qt::SizeBDiagCursor);
        break;
    default:
        m_window.unsetCursor();
        break;
    }
}

void SkinnedFrame::PressButton(frame::CaptionButton button)
{
    switch (button) {
    case frame::CaptionButton::Minimize:
        m_window.showMinimized();
        break;
    case frame::CaptionButton::MaximizeRestore:
        ToggleMaximized();
        break;
    case frame::CaptionButton::Help:
        QWhatsThis::enterWhatsThisMode(); // the next click asks for help
        break;
    case frame::CaptionButton::Close:
        break; // the window closes itself
    }
}

QRect SkinnedFrame::SizedGeometry(QPoint globalAt) const
{
    const QPoint delta = globalAt - m_pressAt;
    const Qt::Edges edges = EdgesOf(m_sizingZone);
    const QSize least = m_window.minimumSizeHint().expandedTo(m_window.minimumSize());
    QRect r = m_sizeStart;
    if (edges & Qt::LeftEdge) {
        r.setLeft(std::min(r.left() + delta.x(), r.right() + 1 - least.width()));
    }
    if (edges & Qt::RightEdge) {
        r.setRight(std::max(r.right() + delta.x(), r.left() + least.width() - 1));
    }
    if (edges & Qt::TopEdge) {
        r.setTop(std::min(r.top() + delta.y(), r.bottom() + 1 - least.height()));
    }
    if (edges & Qt::BottomEdge) {
        r.setBottom(std::max(r.bottom() + delta.y(), r.top() + least.height() - 1));
    }
    return r;
}

BOOL SkinnedFrame::MousePress(const QMouseEvent& event)
{
    EndKeyMode(true); // a click ends a keyboard move or size where the window is
    const QPoint at = event.position().toPoint();
    if (!m_framed) {
        return FALSE;
    }
    const frame::Hit hit = HitTest(at);
    if (hit.zone == frame::HitZone::Client) {
        return FALSE;
    }
    const bool onCaption = hit.zone == frame::HitZone::Caption || hit.zone == frame::HitZone::Icon;
    if (event.button() == Qt::RightButton) {
        if (onCaption) {
            OpenSystemMenu(event.globalPosition().toPoint());
        }
        return TRUE;
    }
    if (event.button() != Qt::LeftButton) {
        return TRUE;
    }
    m_pressAt = event.globalPosition().toPoint();
    if (hit.zone == frame::HitZone::Button) {
        m_buttonPressed = true;
        m_pressedButton = hit.button;
    } else if (hit.zone == frame::HitZone::Icon) {
        const RECT& c = Layout().caption;
        OpenSystemMenu(m_window.mapToGlobal(QPoint(c.left, c.bottom)));
    } else if (hit.zone == frame::HitZone::Caption) {
        // A maximised window stays where it is; else a drag moves it. The move starts
        // with the pointer's first moves, not at the press: a window system that moves
        // the window takes the pointer, and a double click would not arrive.
        m_movePending = !m_window.isMaximized();
    } else if (frame::IsSizingZone(hit.zone)) {
        // The window system sizes the window where it can; else it follows the pointer.
        QWindow* handle = m_window.windowHandle();
        if (!handle || !handle->startSystemResize(EdgesOf(hit.zone))) {
            m_sizingZone = hit.zone;
            m_sizeStart = m_window.geometry();
        }
    }
    return TRUE;
}

BOOL SkinnedFrame::MouseMove(const QMouseEvent& event)
{
    const QPoint global = event.globalPosition().toPoint();
    if (m_dragging) {
        m_window.move(global - m_dragOffset);
        return TRUE;
    }
    if (frame::IsSizingZone(m_sizingZone)) {
        m_window.setGeometry(SizedGeometry(global));
        return TRUE;
    }
    if (m_movePending && (event.buttons() & Qt::LeftButton)) {
        if ((global - m_pressAt).manhattanLength() < kMoveThreshold) {
            return TRUE;
        }
        m_movePending = false;
        // The window system moves the window where it can; else the window follows the
        // pointer itself, the point pressed staying under it.
        QWindow* handle = m_window.windowHandle();
        if (!handle || !handle->startSystemMove()) {
            m_dragging = true;
            m_dragOffset = m_pressAt - m_window.pos();
            m_window.move(global - m_dragOffset);
        }
        return TRUE;
    }
    if (!m_framed || event.buttons() != Qt::NoButton) {
        return FALSE;
    }
    const frame::Hit hit = HitTest(event.position().toPoint());
    ShowCursorFor(hit.zone);
    return hit.zone == frame::HitZone::Client ? FALSE : TRUE;
}

BOOL SkinnedFrame::MouseRelease(const QMouseEvent& event, bool& closeClicked)
{
    closeClicked = false;
    if (event.button() != Qt::LeftButton) {
        return FALSE;
    }
    const bool used =
        m_dragging || m_buttonPressed || m_movePending || frame::IsSizingZone(m_sizingZone);
    if (m_buttonPressed) {
        const frame::Hit hit = HitTest(event.position().toPoint());
        if (hit.zone == frame::HitZone::Button && hit.button == m_pressedButton) {
            closeClicked = m_pressedButton == frame::CaptionButton::Close;
            PressButton(m_pressedButton);
        }
    }
    m_dragging = false;
    m_buttonPressed = false;
    m_movePending = false;
    m_sizingZone = frame::HitZone::Client;
    return used ? TRUE : FALSE;
}

BOOL SkinnedFrame::MouseDoubleClick(const QMouseEvent& event)
{
    if (!m_framed || event.button() != Qt::LeftButton) {
        return FALSE;
    }
    const frame::Hit hit = HitTest(event.position().toPoint());
    if (hit.zone != frame::HitZone::Caption) {
        return hit.zone == frame::HitZone::Client ? FALSE : TRUE;
    }
    m_movePending = false;
    ToggleMaximized();
    return TRUE;
}
