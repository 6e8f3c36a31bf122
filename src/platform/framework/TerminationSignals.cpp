#include "platform/framework/TerminationSignals.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vexol::platform::framework {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// The pipe's write end for the handler; -1 while no watcher lives.
std::atomic<int> g_writeFd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

struct sigaction g_previous[std::size(kSignals)];
int g_readFd = -1;

extern "C" void OnTerminationSignal(int signal)
{
    const int saved = errno;
    const int fd = g_writeFd.load();
    if (fd >= 0) {
        const unsigned char number = static_cast<unsigned char>(signal);
        (void)!::write(fd, &number, 1); // a full pipe already holds a request
    }
    errno = saved;
}

} // namespace

TerminationSignalWatcher::TerminationSignalWatcher(std::function<void(int)> onSignal)
    : m_onSignal(std::move(onSignal))
{
    int fds[2];
    if (g_writeFd.load() >= 0 || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    g_readFd = fds[0];
    g_writeFd = fds[1];
    struct sigaction action
    {
    };
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        ::sigaction(kSignals[i], &action, &g_previous[i]);
    }
    m_notifier = std::make_unique<QSocketNotifier>(g_readFd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { Drain(); });
    m_active = true;
}

TerminationSignalWatcher::~TerminationSignalWatcher()
{
    if (!m_active) {
        return;
    }
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    }
    m_notifier.reset();
    const int writeFd = g_writeFd.exchange(-1);
    ::close(writeFd);
    ::close(g_readFd);
    g_readFd = -1;
}

void TerminationSignalWatcher::Drain()
{
    unsigned char numbers[64];
    const ssize_t n = ::read(g_readFd, numbers, sizeof numbers);
    if (n > 0 && m_onSignal) {
        m_onSignal(numbers[0]); // one request ends the program; repeats change nothing
    }
}

} // namespace vexol::platform::framework
