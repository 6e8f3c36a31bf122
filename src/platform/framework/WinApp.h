// The application object: one per process. Run() calls the start-up routine
// (InitInstance), runs the event loop with the idle routine (OnIdle) between bursts of
// events, and calls the shutdown routine (ExitInstance). It is the last stop of
// command routing.
#pragma once

#include "platform/WinTypes.h"
#include "platform/framework/CmdTarget.h"

#include <QPointer>
#include <memory>
#include <string>

class CDocument;
class CFrameWnd;
class CSingleDocTemplate;

// What the command line asks for: a new document, or opening the file named on it.
struct CCommandLineInfo
{
    enum ShellCommand { FileNew, FileOpen };

    // One argument; `flag` when it began with "-" (flags are accepted and ignored).
    void ParseParam(const char* param, BOOL flag, BOOL last);

    ShellCommand m_nShellCommand = FileNew;
    std::string m_strFileName;
};

class CWinApp : public CCmdTarget
{
public:
    CWinApp();
    ~CWinApp() override;

    // The application object of the process, or null.
    static CWinApp* Instance();

    // Start-up. FALSE ends the program: the main window is destroyed and ExitInstance
    // runs without the event loop.
    virtual BOOL InitInstance();
    // Idle routine: `count` is 0 on the first call after an event and rises while the
    // routine returns TRUE (more idle calls wanted). The framework's own idle work
    // (status-bar indicators, menu-bar commands) runs at count 0, the only count for
    // which it asks for more.
    virtual BOOL OnIdle(LONG count);
    // Shutdown; returns the exit code of the process: the code the event loop ended
    // with, or 1 when start-up failed.
    virtual int ExitInstance();

    // Start-up, event loop, shutdown. Returns ExitInstance's result. Needs a
    // QApplication.
    int Run();

    // Wakes the user-interface thread so that the idle routine runs soon even when no
    // other event arrives. Any thread may call it.
    void WakeUp();

    CFrameWnd* GetMainWnd() const;
    void SetMainWnd(CFrameWnd* frame);
    // Ends the event loop when the main window has closed.
    void OnMainWindowClosed();

    // Document template and command line.
    void AddDocTemplate(std::unique_ptr<CSingleDocTemplate> docTemplate);
    CSingleDocTemplate* GetDocTemplate() const { return m_docTemplate.get(); }
    // Fills `info` from the process's arguments.
    void ParseCommandLine(CCommandLineInfo& info) const;
    // Carries out `info`; FALSE when that failed or left no main window. A document
    // that cannot be opened is reported in a box.
    BOOL ProcessShellCommand(const CCommandLineInfo& info);
    // Standard operations: a new document; a document opened from a chosen file.
    void OnFileNew();
    void OnFileOpen();
    CDocument* OpenDocumentFile(const char* path);
    // Command 57665: closes the main window, which ends the program.
    void OnAppExit();
    // SIGTERM, SIGHUP or SIGINT arrived while Run() runs: closes the main window like
    // Exit; the event loops end even when the window stays (a modal dialog is open).
    virtual void OnTerminationSignal();

private:
    class IdleLoop;

    void ReportOpenFailure(const std::string& path) const;

    QPointer<CFrameWnd> m_mainWnd;
    std::unique_ptr<CSingleDocTemplate> m_docTemplate;
    std::unique_ptr<IdleLoop> m_idleLoop; // while Run() runs
    int m_exitCode = 0;
};
