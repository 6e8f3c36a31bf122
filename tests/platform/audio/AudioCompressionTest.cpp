#include "platform/audio/AudioCompression.h"
#include "platform/audio/WaveFormat.h"
#include "platform/audio/WaveInput.h"
#include "support/AlsaTestDevices.h"
#include "support/MessageBoxAnswers.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace vexol::platform::audio {
namespace {

TEST(AcmMetrics, AnswersTheLargestFormatSizeOnly)
{
    DWORD size = 0;
    EXPECT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &size), MMSYSERR_NOERROR);
    EXPECT_EQ(size, sizeof(WAVEFORMATEX));
    EXPECT_EQ(acmMetrics(nullptr, 51, &size), MMSYSERR_NOTSUPPORTED);
    EXPECT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, nullptr), MMSYSERR_INVALPARAM);
    EXPECT_EQ(acmMetrics(reinterpret_cast<HACMOBJ>(&size), ACM_METRIC_MAX_SIZE_FORMAT, &size),
              MMSYSERR_INVALHANDLE);
}

// Runs the chooser as the application does (a 50-byte buffer, device formats only) and
// answers it through the seam with `answer`.
class FormatChooserTest : public ::testing::Test
{
protected:
    FormatChooserTest()
    {
        std::memset(buffer, 0xAB, sizeof buffer);
        choose.cbStruct = sizeof choose;
        choose.fdwStyle = ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT;
        choose.fdwEnum = ACM_FORMATENUMF_HARDWARE | ACM_FORMATENUMF_INPUT;
        choose.pwfx = reinterpret_cast<WAVEFORMATEX*>(buffer);
        choose.cbwfx = sizeof buffer;
        choose.pszName = name;
        choose.cchName = sizeof name;
        SetWaveInputDevice(test::kNullDevice);
        SetSoundSelectionHandler([this](const SoundSelectionRequest& r) {
            requests.push_back(r);
            return answer;
        });
    }
    ~FormatChooserTest() override
    {
        SetSoundSelectionHandler({});
        SetWaveInputDevice("");
    }
    void SetCurrent(const WAVEFORMATEX& format) { std::memcpy(buffer, &format, sizeof format); }

    test::ScopedAlsaTestDevices devices;
    ACMFORMATCHOOSEA choose{};
    BYTE buffer[50];
    char name[8] = "x";
    int answer = -1;
    std::vector<SoundSelectionRequest> requests;
};

TEST_F(FormatChooserTest, OffersWhatTheDeviceCanRecordAndPreselectsTheCurrentFormat)
{
    struct Case
    {
        const char* device;
        DWORD fdwEnum, fdwStyle;
        WAVEFORMATEX current;
        std::size_t offered;
        bool preselected;
    };
    const DWORD device = ACM_FORMATENUMF_HARDWARE | ACM_FORMATENUMF_INPUT;
    const DWORD init = ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT;
    WAVEFORMATEX malformed = MakePcmFormat(22050, 16, 1);
    malformed.nAvgBytesPerSec = 1;
    const Case cases[] = {
        {test::kNullDevice, device, init, MakePcmFormat(22050, 16, 1), 28, true},
        {test::kNullDevice, device, 0, MakePcmFormat(22050, 16, 1), 28, false},
        {test::kNullDevice, device, init, malformed, 28, false},
        {test::kMonoOnlyDevice, device, init, MakePcmFormat(22050, 16, 2), 14, false},
        {test::kMonoOnlyDevice, ACM_FORMATENUMF_INPUT, init, MakePcmFormat(8000, 8, 1), 14, true},
        {test::kMonoOnlyDevice, 0, init, MakePcmFormat(8000, 8, 2), 28, true}, // all formats
        {test::kMuLawOnlyDevice, device, init, MakePcmFormat(8000, 8, 1), 0, false},
        {test::kMissingDevice, device, init, MakePcmFormat(8000, 8, 1), 0, false},
    };
    for (const Case& c : cases) {
        SetWaveInputDevice(c.device);
        choose.fdwEnum = c.fdwEnum;
        choose.fdwStyle = c.fdwStyle;
        SetCurrent(c.current);
        requests.clear();
        EXPECT_EQ(acmFormatChooseA(&choose), ACMERR_CANCELED);
        ASSERT_EQ(requests.size(), 1u);
        const SoundSelectionRequest& r = requests[0];
        const std::string label = std::string(c.device) + " case " + std::to_string(&c - cases);
        EXPECT_EQ(r.offered.size(), c.offered) << label;
        ASSERT_EQ(r.preselected >= 0, c.preselected) << label;
        if (c.preselected) {
            EXPECT_TRUE(SamePcmFormat(r.offered[std::size_t(r.preselected)], c.current)) << label;
        }
    }
}

TEST_F(FormatChooserTest, OkWritesTheChosenFormatAndItsNames)
{
    answer = 27; // the last of 28: 48000 Hz, 16 bit, stereo
    ASSERT_EQ(acmFormatChooseA(&choose), MMSYSERR_NOERROR);
    WAVEFORMATEX chosen;
    std::memcpy(&chosen, buffer, sizeof chosen);
    EXPECT_TRUE(SamePcmFormat(chosen, MakePcmFormat(48000, 16, 2)));
    EXPECT_EQ(ValidatePcmFormat(&chosen), MMSYSERR_NOERROR);
    EXPECT_EQ(chosen.cbSize, 0);
    EXPECT_EQ(buffer[18], 0xAB); // the rest of the buffer is left alone
    EXPECT_STREQ(choose.szFormatTag, "PCM");
    EXPECT_STREQ(choose.szFormat, "48,000 Hz, 16 Bit, Stereo");
    EXPECT_STREQ(name, "");
    EXPECT_EQ(requests[0].title, "Sound Selection");

    test::ScopedLanguage japanese(res::Language::Japanese);
    answer = 0;
    ASSERT_EQ(acmFormatChooseA(&choose), MMSYSERR_NOERROR);
    EXPECT_EQ(requests[1].title, "サウンドの選択");
    EXPECT_STREQ(choose.szFormat, "8,000 Hz, 8 ビット, モノラル");
    choose.pszTitle = "Mine";
    acmFormatChooseA(&choose);
    EXPECT_EQ(requests[2].title, "Mine");
}

TEST_F(FormatChooserTest, CancelAndRefusalsWriteNothing)
{
    struct Case
    {
        std::function<void(ACMFORMATCHOOSEA&)> change;
        int answer;
        MMRESULT expected;
        bool asked;
    };
    const Case cases[] = {
        {[](ACMFORMATCHOOSEA&) {}, -1, ACMERR_CANCELED, true},
        {[](ACMFORMATCHOOSEA&) {}, 28, ACMERR_CANCELED, true}, // past the list
        {[](ACMFORMATCHOOSEA& c) { c.cbwfx = 17; }, 0, ACMERR_NOTPOSSIBLE, false},
        {[](ACMFORMATCHOOSEA& c) { c.cbStruct = sizeof c - 1; }, 0, MMSYSERR_INVALPARAM, false},
        {[](ACMFORMATCHOOSEA& c) { c.pwfx = nullptr; }, 0, MMSYSERR_INVALPARAM, false},
        {[](ACMFORMATCHOOSEA& c) { c.fdwStyle |= 0x8; }, 0, MMSYSERR_NOTSUPPORTED, false}, // hook
        {[](ACMFORMATCHOOSEA& c) { c.fdwEnum |= 0x20000; }, 0, MMSYSERR_INVALFLAG, false},
    };
    for (const Case& c : cases) {
        ACMFORMATCHOOSEA copy = choose;
        c.change(copy);
        answer = c.answer;
        requests.clear();
        EXPECT_EQ(acmFormatChooseA(&copy), c.expected) << &c - cases;
        EXPECT_EQ(requests.size(), c.asked ? 1u : 0u) << &c - cases;
        EXPECT_EQ(buffer[0], 0xAB) << &c - cases;
        EXPECT_EQ(copy.szFormat[0], '\0') << &c - cases;
        EXPECT_STREQ(name, "x") << &c - cases;
    }
    EXPECT_EQ(acmFormatChooseA(nullptr), MMSYSERR_INVALPARAM);
}

// Acts on the real dialog once it is open.
std::unique_ptr<QTimer> WhenDialogOpens(std::function<void(QDialog*)> action)
{
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, [t = timer.get(), action] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            t->stop();
            action(dialog);
        }
    });
    timer->start(10);
    return timer;
}

TEST_F(FormatChooserTest, RealDialogReturnsTheRowTheUserPicksOrOnlyCancelsWhenEmpty)
{
    SetSoundSelectionHandler({});
    SetCurrent(MakePcmFormat(11025, 8, 2));
    QString title;
    int preselectedRow = -1;
    auto timer = WhenDialogOpens([&](QDialog* dialog) {
        title = dialog->windowTitle();
        auto* list = dialog->findChild<QListWidget*>();
        preselectedRow = list->currentRow();
        list->setCurrentRow(3);
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    ASSERT_EQ(acmFormatChooseA(&choose), MMSYSERR_NOERROR);
    EXPECT_EQ(title, "Sound Selection");
    EXPECT_EQ(preselectedRow, 5); // 11025 Hz is the second rate, 8-bit stereo its second row
    EXPECT_TRUE(SamePcmFormat(*choose.pwfx, MakePcmFormat(8000, 16, 2)));

    SetWaveInputDevice(test::kMuLawOnlyDevice); // nothing to offer
    bool explained = false;
    bool okEnabled = true;
    timer = WhenDialogOpens([&](QDialog* dialog) {
        explained = dialog->findChild<QLabel*>("noFormatsLabel") != nullptr;
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        okEnabled = buttons->button(QDialogButtonBox::Ok)->isEnabled();
        buttons->button(QDialogButtonBox::Cancel)->click();
    });
    EXPECT_EQ(acmFormatChooseA(&choose), ACMERR_CANCELED);
    EXPECT_TRUE(explained);
    EXPECT_FALSE(okEnabled);
}

} // namespace
} // namespace vexol::platform::audio
