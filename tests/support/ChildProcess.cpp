#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace vexol::test {

ChildProcess::ChildProcess(const std::function<int(int reportFd)>& body)
{
    int fds[2];
    if (::pipe(fds) != 0) {
        return;
    }
    m_pid = ::fork();
    if (m_pid == 0) {
        ::close(fds[0]);
        const int code = body(fds[1]);
        ::_exit(code);
    }
    ::close(fds[1]);
    if (m_pid < 0) {
        ::close(fds[0]);
        return;
    }
    m_readFd = fds[0];
}

ChildProcess::~ChildProcess()
{
    if (Started() && !m_reaped) {
        ::kill(m_pid, SIGKILL);
        Wait();
    }
    if (m_readFd >= 0) {
        ::close(m_readFd);
    }
}

bool ChildProcess::ReadBytes(void* data, std::size_t size)
{
    auto* bytes = static_cast<char*>(data);
    while (size > 0 && m_readFd >= 0) {
        const ssize_t got = ::read(m_readFd, bytes, size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        bytes += got;
        size -= std::size_t(got);
    }
    return size == 0;
}

void ChildProcess::Kill(int signal)
{
    if (Started() && !m_reaped) {
        ::kill(m_pid, signal);
    }
}

int ChildProcess::Wait()
{
    if (Started() && !m_reaped) {
        while (::waitpid(m_pid, &m_status, 0) < 0 && errno == EINTR) {
        }
        m_reaped = true;
    }
    return m_status;
}

bool ChildProcess::ExitedWithZero()
{
    const int status = Wait();
    return Started() && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool ReportBytes(int reportFd, const void* data, std::size_t size)
{
    return ::write(reportFd, data, size) == ssize_t(size);
}

void LimitFileSize(rlim_t bytes)
{
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

} // namespace vexol::test
