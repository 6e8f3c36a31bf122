// The application object: start-up, the event loop with its idle routine, shutdown,
// and the standard document operations.
#include "platform/framework/WinApp.h"

#include "platform/framework/CommandIds.h"
#include "platform/framework/DocTemplate.h"
#include "platform/framework/FrameWnd.h"
#include "platform/framework/MessageBox.h"
#include "platform/framework/Resources.h"
#include "platform/framework/TerminationSignals.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QFileDialog>
#include <limits>

namespace {

CWinApp* g_app = nullptr; // the application object; set and read on the UI thread

QEvent::Type WakeUpEventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

QEvent::Type IdleContinueEventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

// Events that the idle routine's own work may cause; they do not count as messages, so
// idle work never feeds itself.
bool CountsAsMessage(QEvent::Type type)
{
    switch (type) {
    case QEvent::Paint:
    case QEvent::UpdateRequest:
    case QEvent::UpdateLater:
    case QEvent::LayoutRequest:
    case QEvent::Polish:
    case QEvent::PolishRequest:
    case QEvent::ChildAdded:
    case QEvent::ChildPolished:
    case QEvent::ChildRemoved:
    case QEvent::DeferredDelete:
    case QEvent::DynamicPropertyChange:
        return false;
    default:
        return type != IdleContinueEventType();
    }
}

} // namespace

// Calls the idle routine when the event loop is about to wait: with count 0 after each
// event, and again with a rising count while the routine asks for more. A posted
// low-priority event keeps the loop from blocking while more is asked for; when the
// routine returns FALSE nothing more happens until the next event.
class CWinApp::IdleLoop : public QObject
{
public:
    explicit IdleLoop(CWinApp& app) : m_app(app)
    {
        qApp->installEventFilter(this);
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
                &IdleLoop::OnAboutToBlock);
    }
    ~IdleLoop() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!m_inIdle && CountsAsMessage(event->type())) {
            m_count = 0;
            m_idle = true;
        }
        return QObject::eventFilter(watched, event);
    }

    bool event(QEvent* event) override
    {
        if (event->type() == IdleContinueEventType()) {
            m_continuePosted = false;
            return true;
        }
        return QObject::event(event);
    }

private:
    void OnAboutToBlock()
    {
        // Modal dialogs, message boxes and open menus run without the idle routine.
        if (!m_idle || m_inIdle || m_continuePosted || QApplication::activeModalWidget() ||
            QApplication::activePopupWidget()) {
            return;
        }
        m_inIdle = true;
        const BOOL more = m_app.OnIdle(m_count);
        m_inIdle = false;
        m_count = m_count == std::numeric_limits<LONG>::max() ? 1 : m_count + 1;
        if (more) {
            m_continuePosted = true;
            QCoreApplication::postEvent(this, new QEvent(IdleContinueEventType()),
                                        Qt::LowEventPriority);
        } else {
            m_idle = false;
        }
    }

    CWinApp& m_app;
    LONG m_count = 0;
    bool m_idle = true;            // idle calls are due
    bool m_inIdle = false;         // the idle routine is running
    bool m_continuePosted = false; // a continue event is on its way
};

void CCommandLineInfo::ParseParam(const char* param, BOOL flag, BOOL last)
{
    (void)last;
    if (!flag && param && m_strFileName.empty()) {
        m_strFileName = param;
        m_nShellCommand = FileOpen;
    }
}

CWinApp::CWinApp()
{
    g_app = this;
    MapCommand(ID_APP_EXIT, &CWinApp::OnAppExit);
}

CWinApp::~CWinApp()
{
    m_docTemplate.reset(); // the frame and views go before the application object
    if (g_app == this) {
        g_app = nullptr;
    }
}

CWinApp* CWinApp::Instance()
{
    return g_app;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

BOOL CWinApp::OnIdle(LONG count)
{
    if (count == 0) {
        if (CFrameWnd* frame = GetMainWnd()) {
            frame->OnUpdateIdle();
        }
        return TRUE;
    }
    return FALSE;
}

int CWinApp::ExitInstance()
{
    return m_exitCode;
}

int CWinApp::Run()
{
    if (!qApp) {
        return 1;
    }
    const bool quitOnLastWindowClosed = QGuiApplication::quitOnLastWindowClosed();
    QGuiApplication::setQuitOnLastWindowClosed(false); // the main window decides
    m_idleLoop = std::make_unique<IdleLoop>(*this);
    if (InitInstance()) {
        // The end of the session (SIGTERM, SIGHUP, SIGINT) ends the program as Exit does,
        // so a recording is finished and the settings are written.
        const vexol::platform::framework::TerminationSignalWatcher watcher(
            [this](int) { OnTerminationSignal(); });
        m_exitCode = QCoreApplication::exec();
    } else {
        m_exitCode = 1;
    }
    m_idleLoop.reset();
    delete m_mainWnd.data();
    QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindowClosed);
    return ExitInstance();
}

void CWinApp::WakeUp()
{
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QCoreApplication::postEvent(app, new QEvent(WakeUpEventType()));
    }
}

CFrameWnd* CWinApp::GetMainWnd() const
{
    return m_mainWnd.data();
}

void CWinApp::SetMainWnd(CFrameWnd* frame)
{
    m_mainWnd = frame;
}

void CWinApp::OnMainWindowClosed()
{
    if (m_idleLoop) { // Run() is in its event loop
        QCoreApplication::exit(0);
    }
}

void CWinApp::AddDocTemplate(std::unique_ptr<CSingleDocTemplate> docTemplate)
{
    m_docTemplate = std::move(docTemplate);
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info) const
{
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool flag = argument.size() > 1 && argument.startsWith('-');
        const std::string param = (flag ? argument.mid(1) : argument).toStdString();
        info.ParseParam(param.c_str(), flag, i + 1 == arguments.size());
    }
}

void CWinApp::ReportOpenFailure(const std::string& path) const
{
    std::string text;
    LoadString(IDS_OPEN_DOCUMENT_FAILED, text);
    const std::size_t marker = text.find("%1");
    if (marker != std::string::npos) {
        text.replace(marker, 2, path);
    }
    std::string caption;
    LoadString(IDS_APP_TITLE, caption);
    qWarning("%s", text.c_str());
    MessageBoxA(vexol::platform::framework::ApplicationBoxOwner(), text.c_str(), caption.c_str(),
                MB_OK | MB_ICONEXCLAMATION);
}

BOOL CWinApp::ProcessShellCommand(const CCommandLineInfo& info)
{
    switch (info.m_nShellCommand) {
    case CCommandLineInfo::FileNew:
        OnFileNew();
        break;
    case CCommandLineInfo::FileOpen:
        if (!OpenDocumentFile(info.m_strFileName.c_str())) {
            ReportOpenFailure(info.m_strFileName);
            return FALSE;
        }
        break;
    }
    return GetMainWnd() ? TRUE : FALSE;
}

void CWinApp::OnFileNew()
{
    if (m_docTemplate) {
        m_docTemplate->OpenDocumentFile(nullptr);
    }
}

void CWinApp::OnFileOpen()
{
    const QString path = QFileDialog::getOpenFileName(GetMainWnd());
    if (!path.isEmpty()) {
        OpenDocumentFile(path.toStdString().c_str());
    }
}

CDocument* CWinApp::OpenDocumentFile(const char* path)
{
    return m_docTemplate ? m_docTemplate->OpenDocumentFile(path) : nullptr;
}

void CWinApp::OnTerminationSignal()
{
    if (CFrameWnd* frame = GetMainWnd(); frame && frame->close()) {
        return;
    }
    QCoreApplication::exit(0); // ends open dialogs' loops too
}

void CWinApp::OnAppExit()
{
    if (CFrameWnd* frame = GetMainWnd()) {
        frame->close();
    }
}
