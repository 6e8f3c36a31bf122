// A forked child process with a pipe back to the parent, for what a test cannot do in
// its own process: a file size limit, a kill in the middle of a recording, a second
// process holding a lock. The child must not use test assertions; it reports through
// the pipe and its exit code.
#pragma once

#include <cstddef>
#include <functional>
#include <sys/resource.h>
#include <sys/types.h>

namespace vexol::test {

class ChildProcess
{
public:
    // Forks; the child runs `body` with the pipe's write end and exits with its result,
    // without running the parent's exit handlers.
    explicit ChildProcess(const std::function<int(int reportFd)>& body);
    // Kills and reaps a child still running.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    // Reads exactly the bytes of `value`; false at the end of the pipe.
    template <typename T> bool Read(T& value) { return ReadBytes(&value, sizeof value); }
    bool ReadBytes(void* data, std::size_t size);
    void Kill(int signal);
    // Waits for the child to end; its status as waitpid gives it.
    int Wait();
    // True when the child ended by itself with exit code 0.
    bool ExitedWithZero();

private:
    pid_t m_pid = -1;
    int m_readFd = -1;
    bool m_reaped = false;
    int m_status = 0;
};

// In the child: writes `value` to the parent; false when not all of it went.
bool ReportBytes(int reportFd, const void* data, std::size_t size);
template <typename T> bool Report(int reportFd, const T& value)
{
    return ReportBytes(reportFd, &value, sizeof value);
}

// In the child: writes past `bytes` fail with EFBIG, as on a full disk, instead of
// ending the process with SIGXFSZ.
void LimitFileSize(rlim_t bytes);

} // namespace vexol::test
