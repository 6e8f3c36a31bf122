// Ending the program cleanly when the session ends it: SIGTERM (a logout, a service
// manager), SIGHUP (the terminal closed) and SIGINT (Ctrl+C). The signal handler only
// writes the signal's number into a pipe; the user-interface thread reads the pipe
// through a socket notifier and calls the routine given, so that nothing unsafe runs
// inside the handler.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace vexol::platform::framework {

class TerminationSignalWatcher : public QObject
{
public:
    // Installs the handlers; `onSignal` runs on this thread with the signal's number.
    // One watcher at a time.
    explicit TerminationSignalWatcher(std::function<void(int signal)> onSignal);
    // Puts back the handlers that were there before.
    ~TerminationSignalWatcher() override;

    TerminationSignalWatcher(const TerminationSignalWatcher&) = delete;
    TerminationSignalWatcher& operator=(const TerminationSignalWatcher&) = delete;

    bool IsActive() const { return m_active; }

private:
    void Drain();

    std::function<void(int)> m_onSignal;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_active = false;
};

} // namespace vexol::platform::framework
