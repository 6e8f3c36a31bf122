// Starting and ending a capture sequence of the driver window: the frame queue's size,
// the file set-up of a capture into a file, the session and the wait of a capture
// that does not yield.
#include "platform/capture/DriverWindow.h"

#include "platform/capture/CaptureTexts.h"
#include "platform/capture/DriverDialogParts.h"
#include "platform/capture/DriverDialogRunner.h"
#include "platform/capture/FileCaptureConsumer.h"
#include "platform/capture/FileTexts.h"

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFormLayout>
#include <QLabel>
#include <QPointer>

namespace vexol::platform::capture {

namespace {

// Frames waiting for the writer take at most this much memory. A stop writes the waiting
// frames first, so this also bounds how long a stop takes when the disk cannot keep up:
// at 1920 x 1080 (6 MB a frame) ten frames, about 0.2 s of a 300 MB/s disk.
constexpr std::size_t kQueueMemoryBudget = 64u << 20;

std::size_t QueueCapacity(const CAPTUREPARMS& parms, const VideoFormat& format)
{
    const std::size_t frameBytes = std::max<std::size_t>(1, format.FrameBytes());
    const std::size_t byMemory = std::max<std::size_t>(2, kQueueMemoryBudget / frameBytes);
    return std::clamp<std::size_t>(parms.wNumVideoRequested, 2, byMemory);
}

// The consumer of a capture into `path`, with the file prepared: a file that cannot be
// written refuses the capture before it begins (null, `result` says why).
std::unique_ptr<FrameConsumer> PrepareFileConsumer(const std::string& path,
                                                   const VideoFormat& format,
                                                   const CAPTUREPARMS& parms,
                                                   std::vector<BYTE> audioFormat, AviResult& result)
{
    FileCaptureSetup setup;
    setup.path = path;
    setup.formats.video = format.PackedHeader();
    setup.formats.microSecPerFrame = parms.dwRequestMicroSecPerFrame;
    setup.options.maxIndexEntries = parms.dwIndexSize;
    setup.captureAudio = parms.fCaptureAudio != FALSE;
    setup.audioFormat = std::move(audioFormat);
    auto consumer = std::make_unique<FileCaptureConsumer>(std::move(setup));
    result = consumer->Prepare();
    if (!result.Ok()) {
        return nullptr;
    }
    return consumer;
}

} // namespace

LRESULT DriverWindow::StartSequence(bool toFile)
{
    if (!m_driver || m_busy || m_state->IsCapturing()) {
        return FALSE;
    }
    // The previous capture has ended; its thread may still be in its last report, which
    // may wait for this thread: let events run until it is through, then collect it.
    if (auto previous = m_state->Session()) {
        QPointer<DriverWindow> self(this);
        QElapsedTimer waited;
        waited.start();
        while (!previous->IsFinished() && waited.elapsed() < 3000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (!self) {
                return FALSE;
            }
            QThread::msleep(1);
        }
    }
    EndSession();
    const CAPTUREPARMS parms = m_state->SequenceSetup();
    const std::string path = toFile ? m_state->CaptureFile() : std::string();
    if (toFile && path.empty()) {
        m_state->Callbacks()->Error(
            Handle(), IDS_CAP_FILE_ERROR,
            texts::Message(res::UserLanguage(), texts::FileMessage::NoCaptureFile).c_str());
        return FALSE;
    }
    if (parms.fMakeUserHitOKToCapture) {
        QDialog dialog;
        MakeDriverDialog(dialog, QStringLiteral("Capture"), this)
            ->addRow(new QLabel(QStringLiteral("Press OK to start capturing.")));
        QPointer<DriverWindow> self(this);
        m_busy = true;
        const int answer = RunDriverDialog(dialog);
        if (!self) {
            return FALSE;
        }
        m_busy = false;
        if (answer != QDialog::Accepted || !m_driver) {
            return FALSE;
        }
    }
    const FormatPtr format = m_driver->CurrentFormat();
    if (!format) {
        return FALSE;
    }
    CaptureSessionConfig config;
    config.hwnd = Handle();
    config.parms = parms;
    // A camera runs at the nearest rate it offers: ask for it now, and let the file and
    // the frame slots follow the period the camera actually delivers.
    if (m_driver->PacesItself()) {
        if (m_driver->IsStreaming()) {
            m_driver->SetFramePeriod(parms.dwRequestMicroSecPerFrame);
        } else {
            m_driver->StartStream(parms.dwRequestMicroSecPerFrame, *m_state);
        }
        if (const std::uint32_t delivered = m_driver->DeliveredFramePeriod()) {
            config.parms.dwRequestMicroSecPerFrame = delivered;
        }
    }
    config.format = format;
    config.callbacks = m_state->Callbacks();
    config.queueCapacity = QueueCapacity(parms, *format);
    config.writesFile = toFile;
    config.yieldOnCaptureThread = parms.fYield != FALSE;
    std::unique_ptr<FrameConsumer> consumer;
    if (toFile) {
        AviResult prepared;
        consumer =
            PrepareFileConsumer(path, *format, config.parms, m_state->AudioFormat(), prepared);
        if (!consumer) {
            m_state->Callbacks()->Error(Handle(), IDS_CAP_FILE_ERROR, prepared.text.c_str());
            UpdateStreaming();
            return FALSE;
        }
    } else {
        consumer = std::make_unique<StreamCallbackConsumer>();
    }
    auto session = std::make_shared<CaptureSession>(std::move(config), std::move(consumer));
    m_state->SetSession(session);
    std::weak_ptr<DriverWindowState> weakState = m_state;
    session->Start([weakState] {
        // On the capture thread: let the window, on its own thread, slow the driver down
        // again and stop watching the abort input.
        if (QCoreApplication* app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                app,
                [weakState] {
                    if (auto state = weakState.lock()) {
                        if (DriverWindow* window = state->Window()) {
                            window->OnCaptureEnded();
                        }
                    }
                },
                Qt::QueuedConnection);
        }
    });
    UpdateStreaming();
    if (AbortInputWatcher::IsNeeded(parms)) {
        m_abortWatcher = std::make_unique<AbortInputWatcher>(session, parms);
    }
    if (!parms.fYield) {
        WaitForCaptureEnd(session);
    }
    return TRUE;
}

void DriverWindow::WaitForCaptureEnd(const std::shared_ptr<CaptureSession>& session)
{
    // Without yielding, the call returns when the capture has ended; the yield procedure
    // is called here, on the calling thread, between frames. Events are still processed
    // meanwhile, so that the abort key and mouse button can end it. The wait lasts until
    // the capture thread has made its last report, so joining it cannot wait for a callback.
    const std::shared_ptr<CallbackTable> callbacks = m_state->Callbacks();
    const HWND hwnd = Handle();
    QPointer<DriverWindow> self(this);
    m_busy = true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(10);
    DWORD framesSeen = 0;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!self || session->IsFinished()) {
            loop.quit();
            return;
        }
        const CaptureProgress p = session->Progress();
        if (p.capturing && p.frames != framesSeen) {
            framesSeen = p.frames;
            if (callbacks->Yield(hwnd, 1) == 0) {
                session->RequestStop();
            }
        }
    });
    poll.start();
    loop.exec();
    if (self) {
        m_busy = false;
        OnCaptureEnded();
    }
}

void DriverWindow::OnCaptureEnded()
{
    auto session = m_state->Session();
    if (!session || session->IsCapturing()) {
        return; // a newer capture runs
    }
    m_abortWatcher.reset();
    session->Join(); // its thread is past its last report
    UpdateStreaming();
}

} // namespace vexol::platform::capture
