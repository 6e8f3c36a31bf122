// The capture-into-a-file consumer with a capture session fed by hand: audio that the
// device lost in an overrun keeps its time as silence, so sound and picture stay in step.
#include "CaptureTestHelpers.h"

#include "platform/capture/FileCaptureConsumer.h"
#include "support/AviTestSupport.h"
#include "support/FfprobeRunner.h"

#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <thread>

namespace capture_test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr unsigned kRate = 8000;

// Delivers 16-bit mono samples in real time; once, after `gapAt`, it loses `gap` worth of
// samples and reports the overrun, as a device does when it was not read in time.
class GappyStream : public vexol::platform::audio::CaptureStream
{
public:
    GappyStream(double gapAt, double gap) : m_gapAt(gapAt), m_gap(gap) {}
    int Start() override
    {
        m_start = Clock::now();
        return 0;
    }
    long Read(void* buffer, unsigned long frames) override
    {
        const double elapsed = std::chrono::duration<double>(Clock::now() - m_start).count();
        if (!m_gapDone && elapsed >= m_gapAt) {
            m_gapDone = true;
            m_delivered += std::uint64_t(m_gap * kRate);
            return -EPIPE;
        }
        const auto produced = std::uint64_t(elapsed * kRate);
        const std::uint64_t ready = produced > m_delivered ? produced - m_delivered : 0;
        if (ready == 0) {
            return -EAGAIN;
        }
        const auto n = std::min<std::uint64_t>(ready, frames);
        std::memset(buffer, 0x11, std::size_t(n) * 2);
        m_delivered += n;
        return long(n);
    }
    int Wait(int timeoutMs) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(timeoutMs, 10)));
        return 1;
    }
    int Recover(int) override { return 0; }
    void Stop() override {}
    unsigned long PeriodFrames() const override { return kRate / 20; }
    unsigned long BufferFrames() const override { return kRate / 2; }

private:
    const double m_gapAt;
    const double m_gap;
    Clock::time_point m_start;
    std::uint64_t m_delivered = 0;
    bool m_gapDone = false;
};

TEST(FileCaptureConsumer, SamplesLostInAnOverrunKeepTheirTimeAsSilence)
{
    CallbackRecorder::Instance().Reset();
    QTemporaryDir dir;
    const std::string path = dir.filePath("gap.avi").toStdString();
    const auto format = std::make_shared<const VideoFormat>(VideoFormat::MakeRgb(160, 120, 24, {}));

    FileCaptureSetup setup;
    setup.path = path;
    setup.formats.video = format->PackedHeader();
    setup.formats.microSecPerFrame = 50000;
    setup.options.syncOnCheckpoint = false;
    setup.captureAudio = true;
    setup.audioFormat = vexol::test::MakePcmFormat(kRate, 16, 1);
    setup.audioStreamForTesting = [] { return std::make_unique<GappyStream>(0.5, 0.6); };
    auto consumer = std::make_unique<FileCaptureConsumer>(std::move(setup));
    ASSERT_TRUE(consumer->Prepare().Ok());

    CaptureSessionConfig config;
    config.parms.dwRequestMicroSecPerFrame = 50000;
    config.parms.wPercentDropForError = 100;
    config.format = format;
    config.callbacks = std::make_shared<CallbackTable>();
    config.callbacks->Set(CallbackKind::Error, LPARAM(&CallbackRecorder::ErrorProc));
    config.callbacks->Set(CallbackKind::Status, LPARAM(&CallbackRecorder::StatusProc));
    config.queueCapacity = 8;
    config.writesFile = true;
    CaptureSession session(std::move(config), std::move(consumer));
    session.Start({});
    // Two seconds of frames from this thread, as a driver would deliver them.
    auto next = Clock::now();
    for (int i = 0; i < 40; ++i) {
        auto frame = std::make_shared<VideoFrame>();
        frame->format = format;
        frame->data.assign(format->FrameBytes(), BYTE(i));
        frame->bytesUsed = DWORD(frame->data.size());
        frame->number = std::uint64_t(i);
        frame->captured = Clock::now();
        session.OfferFrame(frame);
        next += std::chrono::milliseconds(50);
        std::this_thread::sleep_until(next);
    }
    session.RequestStop();
    session.Join();
    const CaptureProgress p = session.Progress();
    EXPECT_TRUE(CallbackRecorder::Instance().ErrorIds().empty());
    EXPECT_TRUE(CallbackRecorder::Instance().SawStatus(IDS_CAP_STAT_VIDEOAUDIO));

    const auto probe = vexol::test::RunFfprobe(QString::fromStdString(path), true);
    EXPECT_EQ(probe.exitCode, 0) << probe.errors.toStdString();
    const auto* a = probe.Stream("audio");
    const auto* v = probe.Stream("video");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->nbReadPackets, p.frames);
    const double audioSeconds = double(a->nbFrames) / kRate;
    // Without the silence the sound would be 0.6 s short of the capture.
    EXPECT_NEAR(audioSeconds, p.elapsedMs / 1000.0, 0.25);
    CallbackRecorder::Instance().Reset();
}

} // namespace
} // namespace capture_test
