#include "platform/audio/WaveRecorder.h"
#include "platform/audio/WaveFormat.h"
#include "support/AlsaTestDevices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <stdexcept>
#include <thread>

namespace vexol::platform::audio {
namespace {

// Collects what the handler receives; keeps the first `keep` bytes.
struct Collector
{
    WaveRecorder::BlockHandler Handler(std::size_t keep, std::size_t blockAlign)
    {
        return [=, this](const BYTE* data, std::size_t bytes, std::uint64_t first) {
            std::lock_guard lock(mutex);
            contiguous = contiguous && first == samples && bytes % blockAlign == 0;
            samples += bytes / blockAlign;
            kept.insert(kept.end(), data,
                        data + std::min(bytes, keep - std::min(keep, kept.size())));
            changed.notify_all();
        };
    }
    // The devices here never pace themselves; the limit only guards against a hang.
    bool WaitFor(std::uint64_t atLeast)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(20), [&] { return samples >= atLeast; });
    }

    std::mutex mutex; // guards everything below
    std::condition_variable changed;
    std::uint64_t samples = 0;
    bool contiguous = true;
    std::vector<BYTE> kept;
};

class WaveRecorderTest : public ::testing::Test
{
protected:
    test::ScopedAlsaTestDevices devices;
    WaveRecorder recorder;
    Collector collector;
};

TEST_F(WaveRecorderTest, RecordsTheDeviceContentInOrderAndStopReturnsEverySample)
{
    const WAVEFORMATEX format = MakePcmFormat(8000, 16, 2);
    std::vector<std::uint8_t> content(3000 * 4); // 3000 frames that never repeat a block
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = std::uint8_t(i * 7 + i / 256);
    devices.AddFileCaptureDevice("vexol_known", content);

    ASSERT_EQ(recorder.Open(&format, "vexol_known"), MMSYSERR_NOERROR);
    ASSERT_EQ(recorder.Start(collector.Handler(content.size() + 4000, 4)), MMSYSERR_NOERROR);
    ASSERT_TRUE(collector.WaitFor(4000));
    const std::uint64_t total = recorder.Stop();

    EXPECT_EQ(total, collector.samples);
    EXPECT_TRUE(collector.contiguous);
    ASSERT_EQ(collector.kept.size(), content.size() + 4000);
    EXPECT_TRUE(std::equal(content.begin(), content.end(), collector.kept.begin()));
    EXPECT_TRUE(std::all_of(collector.kept.begin() + long(content.size()), collector.kept.end(),
                            [](BYTE b) { return b == 0; })); // then silence
    EXPECT_EQ(recorder.Overruns(), 0u);
    EXPECT_EQ(recorder.DeviceError(), 0);
    EXPECT_FALSE(recorder.IsRunning());
    EXPECT_EQ(recorder.Stop(), total); // a second stop changes nothing
}

TEST_F(WaveRecorderTest, OpenStartStopRules)
{
    const WAVEFORMATEX format = MakePcmFormat(44100, 8, 1);
    WAVEFORMATEX malformed = format;
    malformed.nBlockAlign = 2;
    EXPECT_EQ(recorder.Open(&format, test::kMissingDevice), MMSYSERR_NODRIVER);
    const WAVEFORMATEX stereo = MakePcmFormat(8000, 8, 2);
    EXPECT_EQ(recorder.Open(&stereo, test::kMonoOnlyDevice), WAVERR_BADFORMAT);
    EXPECT_EQ(recorder.Open(&malformed, test::kNullDevice), WAVERR_BADFORMAT);
    EXPECT_EQ(recorder.Open(nullptr, test::kNullDevice), MMSYSERR_INVALPARAM);
    EXPECT_FALSE(recorder.IsOpen());
    EXPECT_EQ(recorder.Stop(), 0u);
    EXPECT_EQ(recorder.Start(collector.Handler(0, 1)), MMSYSERR_INVALHANDLE);

    ASSERT_EQ(recorder.Open(&format, test::kNullDevice), MMSYSERR_NOERROR);
    EXPECT_EQ(recorder.Stop(), 0u); // never started
    EXPECT_EQ(recorder.Start(nullptr), MMSYSERR_INVALPARAM);
    ASSERT_EQ(recorder.Start(collector.Handler(64, 1)), MMSYSERR_NOERROR);
    EXPECT_EQ(recorder.Start(collector.Handler(0, 1)), WAVERR_STILLPLAYING);
    EXPECT_EQ(recorder.Open(&format, test::kNullDevice), WAVERR_STILLPLAYING);
    ASSERT_TRUE(collector.WaitFor(64));
    EXPECT_GE(recorder.Stop(), 64u);
    EXPECT_EQ(collector.kept, std::vector<BYTE>(64, 0x80)); // null gives 8-bit silence

    Collector again; // a new run counts from zero
    ASSERT_EQ(recorder.Start(again.Handler(0, 1)), MMSYSERR_NOERROR);
    ASSERT_TRUE(again.WaitFor(1));
    EXPECT_EQ(recorder.Stop(), again.samples);
    EXPECT_TRUE(again.contiguous);
}

TEST_F(WaveRecorderTest, HandlerMayStopAndAThrowingHandlerEndsCapturing)
{
    const WAVEFORMATEX format = MakePcmFormat(16000, 16, 1);
    ASSERT_EQ(recorder.Open(&format, test::kNullDevice), MMSYSERR_NOERROR);
    std::uint64_t handed = 0;
    ASSERT_EQ(recorder.Start([&](const BYTE*, std::size_t bytes, std::uint64_t) {
        handed += bytes / 2;
        recorder.Stop(); // on the capture thread: must not join itself
    }),
              MMSYSERR_NOERROR);
    EXPECT_EQ(recorder.Stop(), handed);
    EXPECT_EQ(recorder.DeviceError(), 0);

    handed = 0;
    ASSERT_EQ(recorder.Start([&](const BYTE*, std::size_t bytes, std::uint64_t) {
        if (handed > 0)
            throw std::runtime_error("disk full");
        handed += bytes / 2;
    }),
              MMSYSERR_NOERROR);
    while (recorder.DeviceError() == 0)
        std::this_thread::yield();
    EXPECT_EQ(recorder.DeviceError(), -ECANCELED);
    EXPECT_EQ(recorder.Stop(), handed); // the block whose handler threw is not counted
}

// Plays a script of read results (frames, or a negative errno); then has nothing more.
class ScriptedStream : public CaptureStream
{
public:
    ScriptedStream(std::deque<long> script, int recoverResult)
        : m_script(std::move(script)), m_recoverResult(recoverResult)
    {
    }
    int Start() override { return 0; }
    long Read(void*, unsigned long) override
    {
        if (m_script.empty())
            return -EAGAIN;
        const long r = m_script.front();
        m_script.pop_front();
        return r;
    }
    int Wait(int) override { return 0; }
    int Recover(int error) override
    {
        recovered.push_back(error);
        return m_recoverResult;
    }
    void Stop() override {}
    unsigned long PeriodFrames() const override { return 100; }
    unsigned long BufferFrames() const override { return 400; }

    std::vector<int> recovered; // read after the capture thread has ended

private:
    std::deque<long> m_script;
    int m_recoverResult;
};

TEST_F(WaveRecorderTest, OverrunsAreRecoveredAndCountedAndFatalErrorsEndCapturing)
{
    struct Case
    {
        std::deque<long> script;
        int recoverResult;
        std::uint64_t samples;
        std::uint32_t overruns;
        int deviceError;
        std::vector<int> recovered;
    };
    const Case cases[] = {
        {{100, -EPIPE, 50, -EAGAIN, -EPIPE, 30}, 0, 180, 2, 0, {-EPIPE, -EPIPE}},
        {{100, -ESTRPIPE, 20}, 0, 120, 0, 0, {-ESTRPIPE}},
        {{100, -EPIPE, 70}, -EIO, 100, 1, -EIO, {-EPIPE}},
        {{40, -ENODEV, 70}, 0, 40, 0, -ENODEV, {}},
        {{40, 101, 70}, 0, 40, 0, -EIO, {}}, // more frames than asked for
    };
    const WAVEFORMATEX format = MakePcmFormat(8000, 16, 1);
    for (const Case& c : cases) {
        auto stream = std::make_unique<ScriptedStream>(c.script, c.recoverResult);
        ScriptedStream* script = stream.get();
        ASSERT_EQ(recorder.Open(&format, std::move(stream)), MMSYSERR_NOERROR);
        Collector blocks;
        ASSERT_EQ(recorder.Start(blocks.Handler(0, 2)), MMSYSERR_NOERROR);
        ASSERT_TRUE(blocks.WaitFor(c.samples));
        while (c.deviceError != 0 && recorder.DeviceError() == 0)
            std::this_thread::yield();
        EXPECT_EQ(recorder.Stop(), c.samples) << &c - cases;
        EXPECT_EQ(recorder.Overruns(), c.overruns) << &c - cases;
        EXPECT_EQ(recorder.DeviceError(), c.deviceError) << &c - cases;
        EXPECT_EQ(script->recovered, c.recovered) << &c - cases;
        EXPECT_TRUE(blocks.contiguous) << &c - cases;
    }
}

} // namespace
} // namespace vexol::platform::audio
