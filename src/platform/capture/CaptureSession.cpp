#include "platform/capture/CaptureSession.h"

#include "platform/capture/AbortInputWatcher.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

namespace vexol::platform::capture {

namespace {

using Clock = std::chrono::steady_clock;

DWORD MillisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    if (to <= from) {
        return 0;
    }
    return DWORD(std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count());
}

constexpr auto kYieldInterval = std::chrono::milliseconds(50);
constexpr auto kProgressInterval = std::chrono::seconds(1);

} // namespace

bool StreamCallbackConsumer::Consume(CaptureSession& session, const VideoFrame& frame,
                                     DWORD timeCapturedMs, std::uint64_t)
{
    m_copy.assign(frame.data.begin(), frame.data.end());
    VIDEOHDR header{};
    header.lpData = m_copy.data();
    header.dwBufferLength = DWORD(m_copy.size());
    header.dwBytesUsed = std::min<DWORD>(frame.bytesUsed, DWORD(m_copy.size()));
    header.dwTimeCaptured = timeCapturedMs;
    header.dwFlags = VHDR_DONE | VHDR_PREPARED | VHDR_KEYFRAME;
    const CaptureSessionConfig& config = session.Config();
    config.callbacks->VideoStream(config.hwnd, &header);
    return true;
}

CaptureSession::CaptureSession(CaptureSessionConfig config, std::unique_ptr<FrameConsumer> consumer)
    : m_config(std::move(config)), m_consumer(std::move(consumer))
{
}

CaptureSession::~CaptureSession()
{
    RequestAbort();
    Join();
}

void CaptureSession::Start(std::function<void()> onEnded)
{
    m_onEnded = std::move(onEnded);
    {
        MutexLock lock(m_mutex);
        m_capturing = true;
        m_startTime = Clock::now();
    }
    m_thread = std::thread([this] { Run(); });
}

void CaptureSession::OfferFrame(const FramePtr& frame)
{
    {
        MutexLock lock(m_mutex);
        if (m_state != State::Running) {
            return;
        }
        // Frame slots follow the requested period from the first frame; a slot the device
        // skipped counts as a dropped frame.
        std::uint64_t slot = 0;
        if (!m_haveFirstFrame) {
            m_haveFirstFrame = true;
            m_firstFrameTime = frame->captured;
        } else {
            const double periods =
                std::chrono::duration<double, std::micro>(frame->captured - m_firstFrameTime)
                    .count() /
                std::max<DWORD>(1, m_config.parms.dwRequestMicroSecPerFrame);
            slot = std::max<std::uint64_t>(m_lastSlot + 1, std::uint64_t(std::llround(periods)));
            m_dropped += DWORD(slot - m_lastSlot - 1);
        }
        m_lastSlot = slot;
        if (m_queue.size() >= m_config.queueCapacity) {
            ++m_dropped;
            return;
        }
        m_queue.push_back({frame, MillisecondsBetween(m_startTime, frame->captured), slot});
    }
    m_wake.notify_one();
}

void CaptureSession::OnDeviceFailure(const std::string& reason)
{
    {
        MutexLock lock(m_mutex);
        if (m_deviceFailure.empty()) {
            m_deviceFailure = reason.empty() ? std::string("The capture device failed.") : reason;
        }
    }
    m_wake.notify_one();
}

void CaptureSession::RequestStop()
{
    {
        MutexLock lock(m_mutex);
        if (m_state == State::Running) {
            m_state = State::Stopping;
        }
    }
    m_wake.notify_one();
}

void CaptureSession::RequestAbort()
{
    {
        MutexLock lock(m_mutex);
        if (m_state == State::Running || m_state == State::Stopping) {
            m_state = State::Aborting;
        }
    }
    m_wake.notify_one();
}

CaptureProgress CaptureSession::Progress() const
{
    MutexLock lock(m_mutex);
    CaptureProgress p;
    p.capturing = m_capturing;
    p.frames = m_frames;
    p.dropped = m_dropped;
    p.elapsedMs =
        MillisecondsBetween(m_startTime, m_state == State::Ended ? m_endTime : Clock::now());
    p.buffers = UINT(m_config.queueCapacity);
    return p;
}

void CaptureSession::Join()
{
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) {
        m_thread.join();
    }
}

void CaptureSession::ReportStatus(int id, const std::string& text)
{
    m_config.callbacks->Status(m_config.hwnd, id, text.c_str());
}

void CaptureSession::ReportError(int id, const std::string& text)
{
    m_config.callbacks->Error(m_config.hwnd, id, text.c_str());
}

bool CaptureSession::IsFinished() const
{
    MutexLock lock(m_mutex);
    return m_finished;
}

void CaptureSession::ReportSummary()
{
    const CaptureProgress p = Progress();
    const res::Language language = res::UserLanguage();
    CaptureSummaryInfo info;
    info.frames = p.frames;
    info.dropped = p.dropped;
    info.seconds = p.elapsedMs / 1000.0;
    m_consumer->Describe(info);
    ReportStatus(info.audioRecorded ? IDS_CAP_STAT_VIDEOAUDIO : IDS_CAP_STAT_VIDEOONLY,
                 texts::Summary(language, info));
    const DWORD total = p.frames + p.dropped;
    const UINT allowed = m_config.parms.wPercentDropForError;
    if (m_config.writesFile && total > 0 && p.dropped * 100ull > std::uint64_t(allowed) * total) {
        ReportError(IDS_CAP_STAT_FRAMESDROPPED,
                    texts::TooManyDropped(language, p.dropped, total, allowed));
    }
}

void CaptureSession::Run()
{
    const CAPTUREPARMS& parms = m_config.parms;
    CallbackTable& callbacks = *m_config.callbacks;
    const res::Language language = res::UserLanguage();
    ReportStatus(IDS_CAP_STAT_CAP_INIT, texts::Preparing(language));
    bool ok = m_consumer->Begin(*this);
    if (ok) {
        ReportStatus(IDS_CAP_BEGIN, texts::Started(language));
        const std::string prompt =
            texts::StopPrompt(language, VirtualKeyName(parms.vKeyAbort),
                              parms.fAbortLeftMouse != FALSE, parms.fAbortRightMouse != FALSE);
        if (!prompt.empty()) {
            ReportStatus(IDS_CAP_STAT_PROMPT, prompt);
        }
    }
    bool aborted = false;
    Clock::time_point startTime;
    {
        MutexLock lock(m_mutex);
        startTime = m_startTime;
    }
    auto lastProgress = Clock::now();
    while (ok) {
        std::optional<QueuedFrame> next;
        std::string failure;
        {
            MutexLock lock(m_mutex);
            const auto deadline = Clock::now() + kYieldInterval;
            while (m_queue.empty() && m_state == State::Running && m_deviceFailure.empty() &&
                   lock.WaitUntil(m_wake, deadline)) {
            }
            if (m_state == State::Aborting) {
                m_queue.clear();
                aborted = true;
                break;
            }
            if (!m_deviceFailure.empty()) {
                failure = m_deviceFailure;
            } else if (!m_queue.empty()) {
                next = std::move(m_queue.front());
                m_queue.pop_front();
            } else if (m_state == State::Stopping) {
                break;
            }
        }
        if (!failure.empty()) {
            ReportError(IDS_CAP_DRIVER_FAILED, failure);
            break;
        }
        if (next) {
            ok = m_consumer->Consume(*this, *next->frame, next->timeCapturedMs, next->slot);
            next.reset();
            // A frame the consumer refused ends the capture and is not counted.
            if (ok) {
                MutexLock lock(m_mutex);
                ++m_frames;
            }
        }
        ok = ok && m_consumer->Idle(*this);
        // A yield procedure that answers FALSE ends the capture.
        if (m_config.yieldOnCaptureThread && callbacks.Yield(m_config.hwnd, 1) == 0) {
            RequestStop();
        }
        const auto now = Clock::now();
        if (parms.fLimitEnabled &&
            MillisecondsBetween(startTime, now) >= std::uint64_t(parms.wTimeLimit) * 1000) {
            RequestStop();
        }
        if (now - lastProgress >= kProgressInterval) {
            lastProgress = now;
            const CaptureProgress p = Progress();
            ReportStatus(IDS_CAP_STAT_VIDEOCURRENT,
                         texts::Progress(language, p.frames, p.dropped, p.elapsedMs / 1000.0));
        }
    }
    {
        // The capture time ends here; writing the rest of the file is not part of it.
        MutexLock lock(m_mutex);
        m_state = State::Ended;
        m_endTime = Clock::now();
        m_queue.clear();
    }
    if (m_config.writesFile) {
        ReportStatus(IDS_CAP_STAT_CAP_FINI, texts::Writing(language));
    }
    m_consumer->End(*this, aborted);
    ReportSummary();
    {
        MutexLock lock(m_mutex);
        m_capturing = false;
    }
    ReportStatus(IDS_CAP_END, texts::Ended(language));
    {
        MutexLock lock(m_mutex);
        m_finished = true;
    }
    if (m_onEnded) {
        m_onEnded();
    }
}

} // namespace vexol::platform::capture
