// The audio format: the buffer size from the codecs and the driver, the chooser run
// through its test seam, and the stored format given back through the real format
// query on ALSA test devices (no sound card involved).
#include "platform/audio/WaveFormat.h"
#include "platform/audio/WaveInput.h"
#include "support/AlsaTestDevices.h"
#include "support/CaptureWindowFixture.h"

#include <cstring>

namespace vexol::test {
namespace {

using platform::audio::MakePcmFormat;
using platform::audio::SamePcmFormat;

std::vector<BYTE> Bytes(const WAVEFORMATEX& format, std::size_t size = sizeof(WAVEFORMATEX),
                        BYTE fill = 0)
{
    std::vector<BYTE> bytes(size, fill);
    std::memcpy(bytes.data(), &format, std::min(size, sizeof format));
    return bytes;
}

WAVEFORMATEX FormatOf(const std::vector<BYTE>& bytes)
{
    WAVEFORMATEX f{};
    std::memcpy(&f, bytes.data(), std::min(bytes.size(), sizeof f));
    return f;
}

class AudioFormatTest : public CaptureWindowTest
{
protected:
    void SetUp() override
    {
        platform::audio::SetWaveInputDevice(kNullDevice);
        ASSERT_TRUE(CreateWindow());
    }
    void TearDown() override
    {
        platform::audio::SetSoundSelectionHandler({});
        platform::audio::SetWaveInputDevice("");
    }
    // Answers the chooser with the offered format equal to `format`, or cancels.
    void Answer(std::optional<WAVEFORMATEX> format)
    {
        platform::audio::SetSoundSelectionHandler(
            [this, format](const platform::audio::SoundSelectionRequest& r) {
                requests.push_back(r);
                if (!format) {
                    return -1;
                }
                for (std::size_t i = 0; i < r.offered.size(); ++i) {
                    if (SamePcmFormat(r.offered[i], *format)) {
                        return int(i);
                    }
                }
                ADD_FAILURE() << "format not offered";
                return -1;
            });
    }
    std::vector<WPARAM> AudioSizeQueries() const
    {
        std::vector<WPARAM> sizes;
        for (const SentMessage& m : service.MessagesOf(WM_CAP_GET_AUDIOFORMAT)) {
            sizes.push_back(m.lParam ? m.wParam : 0);
        }
        return sizes;
    }

    ScopedAlsaTestDevices devices;
    std::vector<platform::audio::SoundSelectionRequest> requests;
};

struct SizeCase
{
    const char* name;
    std::deque<LRESULT> driverSizes; // answers to the size queries, in turn
    std::size_t queries;
    std::size_t bufferSize;
};

TEST_F(AudioFormatTest, BufferSizeIsTheLargerOfCodecMaximumAndDriverFormat)
{
    DWORD codecMaximum = 0;
    ASSERT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &codecMaximum), MMSYSERR_NOERROR);
    ASSERT_EQ(codecMaximum, 18u);
    const SizeCase cases[] = {
        {"driver format smaller", {10}, 1, 18},
        {"equal sizes ask again", {18, 18}, 2, 18},
        {"driver larger: second answer", {50, 64}, 2, 64},
        {"no driver format", {0}, 1, 18},
    };
    const std::vector<BYTE> stored = Bytes(MakePcmFormat(22050, 16, 1), 100, 0x5A);
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.name);
        service.ClearMessages();
        service.queuedAnswers[WM_CAP_GET_AUDIOFORMAT] = c.driverSizes;
        EXPECT_TRUE(window->RestoreAudioFormat(stored));
        std::size_t sizeQueries = 0;
        for (const SentMessage& m : service.MessagesOf(WM_CAP_GET_AUDIOFORMAT)) {
            EXPECT_EQ(m.lParam, 0);
            EXPECT_EQ(m.wParam, 0u);
            ++sizeQueries;
        }
        EXPECT_EQ(sizeQueries, c.queries);
        EXPECT_EQ(window->GetAudioFormatBuffer().size(), c.bufferSize);
        const std::vector<SentMessage> sets = service.MessagesOf(WM_CAP_SET_AUDIOFORMAT);
        ASSERT_EQ(sets.size(), 1u);
        EXPECT_EQ(sets[0].wParam, c.bufferSize) << "a restored format is sent with size B";
        EXPECT_TRUE(std::equal(sets[0].record.begin(), sets[0].record.end(), stored.begin()))
            << "the stored bytes, cut to B";
    }
}

TEST_F(AudioFormatTest, RestoreFillsTheStartOfTheBufferAndKeepsTheRest)
{
    service.queuedAnswers[WM_CAP_GET_AUDIOFORMAT] = {40, 40};
    const std::vector<BYTE> stored = Bytes(MakePcmFormat(8000, 8, 1), 20, 0x11);
    EXPECT_TRUE(window->RestoreAudioFormat(stored));
    const std::vector<BYTE>& buffer = window->GetAudioFormatBuffer();
    ASSERT_EQ(buffer.size(), 40u);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), buffer.begin()));
    EXPECT_TRUE(std::all_of(buffer.begin() + 20, buffer.end(), [](BYTE b) { return b == 0; }));
    EXPECT_EQ(service.MessagesOf(WM_CAP_SET_AUDIOFORMAT).at(0).wParam, 40u);

    service.ClearMessages();
    EXPECT_TRUE(window->RestoreAudioFormat({}));
    EXPECT_EQ(service.Count(WM_CAP_SET_AUDIOFORMAT), 0u) << "an empty value changes nothing";
    EXPECT_EQ(window->GetAudioFormatBuffer().size(), 40u);
}

struct RejectCase
{
    const char* name;
    const char* device;
    std::vector<BYTE> stored;
};

TEST_F(AudioFormatTest, AFormatTheDeviceRejectsIsNotApplied)
{
    WAVEFORMATEX inconsistent = MakePcmFormat(22050, 16, 2);
    inconsistent.nBlockAlign = 3;
    const RejectCase cases[] = {
        {"stereo on a mono-only device", kMonoOnlyDevice, Bytes(MakePcmFormat(22050, 16, 2))},
        {"inconsistent record", kNullDevice, Bytes(inconsistent)},
        {"no wave input hardware", kMissingDevice, Bytes(MakePcmFormat(8000, 8, 1))},
        {"PCM refused by the device", kMuLawOnlyDevice, Bytes(MakePcmFormat(8000, 8, 1))},
    };
    for (const RejectCase& c : cases) {
        SCOPED_TRACE(c.name);
        platform::audio::SetWaveInputDevice(c.device);
        service.ClearMessages();
        const std::vector<BYTE> before = service.audioFormat;
        EXPECT_TRUE(window->RestoreAudioFormat(c.stored));
        EXPECT_EQ(service.Count(WM_CAP_SET_AUDIOFORMAT), 0u);
        EXPECT_EQ(service.audioFormat, before) << "the driver keeps its own format";
        EXPECT_EQ(window->GetAudioFormatBuffer(), c.stored) << "the buffer keeps the stored bytes";
    }
}

TEST_F(AudioFormatTest, ChosenFormatGoesToTheDriverWithItsOwnSizeAndIsSaved)
{
    const WAVEFORMATEX current = MakePcmFormat(11025, 8, 1);
    service.audioFormat = Bytes(current);
    service.queuedAnswers[WM_CAP_GET_AUDIOFORMAT] = {40, 40}; // B = 40
    const WAVEFORMATEX wanted = MakePcmFormat(44100, 16, 2);
    Answer(wanted);
    std::vector<BYTE> bufferWhenSaved;
    owner.onSaveWaveFormat = [&] { bufferWhenSaved = window->GetAudioFormatBuffer(); };

    EXPECT_TRUE(window->ChooseAudioFormat());

    EXPECT_EQ(AudioSizeQueries(), (std::vector<WPARAM>{0, 0, 40})) << "size twice, then read";
    ASSERT_EQ(requests.size(), 1u);
    ASSERT_GE(requests[0].preselected, 0) << "opens on the driver's format";
    EXPECT_TRUE(SamePcmFormat(requests[0].offered[std::size_t(requests[0].preselected)], current));
    const std::vector<SentMessage> sets = service.MessagesOf(WM_CAP_SET_AUDIOFORMAT);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].wParam, 18u) << "cbSize + 18, not the buffer size";
    EXPECT_TRUE(SamePcmFormat(FormatOf(sets[0].record), wanted));
    EXPECT_EQ(owner.saveWaveFormatCalls, 1);
    EXPECT_EQ(bufferWhenSaved.size(), 40u) << "the whole buffer is what gets saved";
    EXPECT_TRUE(SamePcmFormat(FormatOf(bufferWhenSaved), wanted));
}

TEST_F(AudioFormatTest, CancelSendsAndSavesNothing)
{
    Answer(std::nullopt);
    EXPECT_FALSE(window->ChooseAudioFormat());
    EXPECT_EQ(service.Count(WM_CAP_SET_AUDIOFORMAT), 0u);
    EXPECT_EQ(owner.saveWaveFormatCalls, 0);
    EXPECT_EQ(window->GetAudioFormatBuffer(), service.audioFormat)
        << "the buffer holds the format read from the driver";
}

TEST_F(AudioFormatTest, ASecondChooserWhileOneRunsReturnsFalseAtOnce)
{
    BOOL nested = TRUE;
    std::size_t requestsInside = 0;
    platform::audio::SetSoundSelectionHandler([&](const platform::audio::SoundSelectionRequest& r) {
        requests.push_back(r);
        nested = window->ChooseAudioFormat();
        requestsInside = requests.size();
        return 0;
    });
    EXPECT_TRUE(window->ChooseAudioFormat());
    EXPECT_FALSE(nested);
    EXPECT_EQ(requestsInside, 1u) << "the nested call showed nothing";
    EXPECT_EQ(service.Count(WM_CAP_SET_AUDIOFORMAT), 1u);

    Answer(std::nullopt);
    requests.clear();
    EXPECT_FALSE(window->ChooseAudioFormat());
    EXPECT_EQ(requests.size(), 1u) << "the guard was cleared: the chooser opens again";
}

} // namespace
} // namespace vexol::test
