// Lock annotations that clang checks (-Wthread-safety) and other compilers ignore, and a
// mutex with a scoped lock that carry them, so that "this mutex guards these fields" is
// checked by the compiler rather than kept by habit.
//
//   Mutex m_mutex;
//   int m_count GUARDED_BY(m_mutex) = 0;
//   void Add() { MutexLock lock(m_mutex); ++m_count; }
//
// A condition is waited for in a loop in the locked scope (`while (!ready)
// lock.Wait(cv);`), so that the analysis sees the guarded reads under the lock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#if defined(__clang__)
#define VEXOL_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define VEXOL_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) VEXOL_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY VEXOL_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) VEXOL_THREAD_ANNOTATION(guarded_by(x))
#define PT_GUARDED_BY(x) VEXOL_THREAD_ANNOTATION(pt_guarded_by(x))
#define REQUIRES(...) VEXOL_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) VEXOL_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) VEXOL_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define EXCLUDES(...) VEXOL_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define NO_THREAD_SAFETY_ANALYSIS VEXOL_THREAD_ANNOTATION(no_thread_safety_analysis)

namespace vexol::platform {

// A std::mutex the analysis knows as a lock.
class CAPABILITY("mutex") Mutex
{
public:
    void lock() ACQUIRE() { m_mutex.lock(); }
    void unlock() RELEASE() { m_mutex.unlock(); }

private:
    friend class MutexLock;
    std::mutex m_mutex;
};

// Holds a Mutex for its scope; also waits on a condition variable, releasing the mutex
// while it waits.
class SCOPED_CAPABILITY MutexLock
{
public:
    explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : m_lock(mutex.m_mutex) {}
    ~MutexLock() RELEASE() {}
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

    void Wait(std::condition_variable& condition) { condition.wait(m_lock); }
    // False when the time ran out.
    template <typename Rep, typename Period>
    bool WaitFor(std::condition_variable& condition,
                 const std::chrono::duration<Rep, Period>& timeout)
    {
        return condition.wait_for(m_lock, timeout) == std::cv_status::no_timeout;
    }
    template <typename Clock, typename Duration>
    bool WaitUntil(std::condition_variable& condition,
                   const std::chrono::time_point<Clock, Duration>& deadline)
    {
        return condition.wait_until(m_lock, deadline) == std::cv_status::no_timeout;
    }

private:
    std::unique_lock<std::mutex> m_lock;
};

} // namespace vexol::platform
