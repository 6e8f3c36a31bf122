// MessageBoxA over QMessageBox.
#include "platform/framework/MessageBox.h"

#include "platform/WindowRegistry.h"
#include "platform/framework/FrameWnd.h"
#include "platform/framework/WinApp.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QThread>

#include <exception>

namespace vexol::platform::framework {
namespace {

// Touched on the UI thread only, like the boxes it stands in for.
MessageBoxHandler& CurrentHandler()
{
    static MessageBoxHandler handler;
    return handler;
}

struct ButtonSet
{
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton; // the first button, as on the original
    QMessageBox::StandardButton escapeButton;  // NoButton: Esc and close do nothing
};

ButtonSet ButtonsFor(UINT style)
{
    using B = QMessageBox;
    switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {B::Ok | B::Cancel, B::Ok, B::Cancel};
    case MB_ABORTRETRYIGNORE:
        return {B::Abort | B::Retry | B::Ignore, B::Abort, B::NoButton};
    case MB_YESNOCANCEL:
        return {B::Yes | B::No | B::Cancel, B::Yes, B::Cancel};
    case MB_YESNO:
        return {B::Yes | B::No, B::Yes, B::NoButton};
    case MB_RETRYCANCEL:
        return {B::Retry | B::Cancel, B::Retry, B::Cancel};
    default: // MB_OK and button sets this platform does not offer
        return {B::Ok, B::Ok, B::Ok};
    }
}

QMessageBox::Icon IconFor(UINT style)
{
    switch (style & MB_ICONMASK) {
    case MB_ICONHAND:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONASTERISK:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int AnswerFor(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Cancel:
        return IDCANCEL;
    case QMessageBox::Abort:
        return IDABORT;
    case QMessageBox::Retry:
        return IDRETRY;
    case QMessageBox::Ignore:
        return IDIGNORE;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    default:
        return 0;
    }
}

// A box without an escape button must be answered: Esc and the close button are
// ignored (QMessageBox would otherwise pick a No or Abort button for them).
class AnswerRequiredMessageBox : public QMessageBox
{
public:
    AnswerRequiredMessageBox(QWidget* parent, bool closable)
        : QMessageBox(parent), m_closable(closable)
    {
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!m_closable && event->matches(QKeySequence::Cancel)) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override
    {
        if (!m_closable) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }

private:
    bool m_closable;
};

int ShowRealBox(const MessageBoxRequest& request)
{
    const ButtonSet set = ButtonsFor(request.style);
    const bool closable = set.escapeButton != QMessageBox::NoButton;
    // Held through a guard: destroying the owner while the box is open destroys the box.
    QPointer<AnswerRequiredMessageBox> box =
        new AnswerRequiredMessageBox(WindowOfHandle(request.owner), closable);
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowTitle(QString::fromUtf8(request.caption));
    box->setTextFormat(Qt::PlainText);
    box->setText(QString::fromUtf8(request.text));
    box->setIcon(IconFor(request.style));
    box->setStandardButtons(set.buttons);
    box->setDefaultButton(set.defaultButton);
    if (closable) {
        box->setEscapeButton(set.escapeButton);
    }
    box->exec();
    if (!box) {
        return AnswerFor(set.escapeButton);
    }
    QAbstractButton* clicked = box->clickedButton();
    const int answer =
        clicked ? AnswerFor(box->standardButton(clicked)) : AnswerFor(set.escapeButton);
    delete box;
    return answer;
}

// On the UI thread: the test handler, else the real box when widgets exist.
int RunRequest(const MessageBoxRequest& request)
{
    if (const MessageBoxHandler& handler = CurrentHandler()) {
        return handler(request);
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return 0;
    }
    return ShowRealBox(request);
}

} // namespace

void SetMessageBoxHandler(MessageBoxHandler handler)
{
    CurrentHandler() = std::move(handler);
}

HWND ApplicationBoxOwner()
{
    CWinApp* app = CWinApp::Instance();
    if (!app || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return nullptr;
    }
    CFrameWnd* mainWindow = app->GetMainWnd();
    if (!mainWindow) {
        return nullptr;
    }
    // The application's dialogs are all modal, so its last active pop-up is the topmost
    // modal window. Which application is active plays no part.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return HandleOfWindow(modal);
    }
    return HandleOfWindow(mainWindow);
}

} // namespace vexol::platform::framework

int MessageBoxWithHelpId(HWND owner, const char* text, const char* caption, UINT style,
                         DWORD helpId)
{
    using namespace vexol::platform::framework;
    const MessageBoxRequest request{owner, text ? text : "", caption ? caption : "", style, helpId};
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        return RunRequest(request);
    }
    // Widgets live on the UI thread: the box is shown there while this thread waits.
    int answer = 0;
    std::exception_ptr failure;
    QMetaObject::invokeMethod(
        app,
        [&] {
            try {
                answer = RunRequest(request);
            } catch (...) {
                failure = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (failure) {
        std::rethrow_exception(failure);
    }
    return answer;
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT style)
{
    return MessageBoxWithHelpId(owner, text, caption, style, 0);
}
