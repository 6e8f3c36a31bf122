// The capture parameters in section "Settings Info": loading into the capture window,
// saving from it, the stored audio format, and a round trip through a hive file.
#include "platform/audio/WaveFormat.h"
#include "platform/audio/WaveInput.h"
#include "platform/registry/Registry.h"
#include "settings/RegistryStore.h"
#include "support/AlsaTestDevices.h"
#include "support/CaptureWindowFixture.h"
#include "support/TempRegistry.h"

#include <cstring>

namespace vexol::test {
namespace {

constexpr const char* kSection = "Software\\Torvane\\Vexol\\Settings Info";

// Stores one raw value of any type.
void Put(const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, kSection, &key), LONG(ERROR_SUCCESS));
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
              LONG(ERROR_SUCCESS));
    RegCloseKey(key);
}
void PutDword(const char* name, DWORD value)
{
    Put(name, REG_DWORD, &value, sizeof value);
}
void PutString(const char* name, const char* text)
{
    Put(name, REG_SZ, text, DWORD(std::strlen(text) + 1));
}

// The stored type and bytes of a value; type REG_NONE when missing.
struct Stored
{
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    DWORD Dword() const
    {
        DWORD v = 0;
        std::memcpy(&v, data.data(), std::min<std::size_t>(data.size(), sizeof v));
        return v;
    }
    std::string Text() const
    {
        return data.empty() ? "" : std::string(data.begin(), data.end() - 1);
    }
};
Stored Get(const char* name)
{
    Stored s;
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kSection, &key) != ERROR_SUCCESS) {
        return s;
    }
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &s.type, nullptr, &size) == ERROR_SUCCESS) {
        s.data.resize(size);
        RegQueryValueExA(key, name, nullptr, &s.type, s.data.data(), &size);
    } else {
        s.type = REG_NONE;
    }
    RegCloseKey(key);
    return s;
}

class CaptureSettingsTest : public CaptureWindowTest
{
protected:
    void SetUp() override
    {
        platform::audio::SetWaveInputDevice(kNullDevice);
        ASSERT_TRUE(CreateWindow());
    }
    void TearDown() override { platform::audio::SetWaveInputDevice(""); }

    // A second run of the program against the same hive: a new window, loaded.
    std::unique_ptr<CCaptureWindow> Restart(FakeCaptureService& other)
    {
        auto next = std::make_unique<CCaptureWindow>();
        next->SetServiceCalls(&other);
        next->SetKernelCalls(&kernel);
        EXPECT_TRUE(next->Create(nullptr, "W", WS_CHILD, {0, 0, 320, 240}, &parent, 1));
        store.LoadCaptureSettings(*next);
        return next;
    }

    TempRegistry registry;
    ScopedAlsaTestDevices devices;
    RegistryStore store;
};

TEST_F(CaptureSettingsTest, EmptyHiveGivesTheDefaultsWithoutSendingTheRecord)
{
    store.LoadCaptureSettings(*window);
    const CAPTUREPARMS& p = window->GetSequenceSetup();
    EXPECT_EQ(p.dwRequestMicroSecPerFrame, 66666u);
    EXPECT_EQ(p.fCaptureAudio, FALSE);
    EXPECT_EQ(p.fLimitEnabled, FALSE);
    EXPECT_EQ(p.wTimeLimit, 30u);
    EXPECT_EQ(p.fMCIControl, FALSE);
    EXPECT_EQ(p.fStepMCIDevice, FALSE);
    EXPECT_EQ(p.dwMCIStartTime, 10000u);
    EXPECT_EQ(p.dwMCIStopTime, 20000u);
    EXPECT_EQ(p.fStepCaptureAt2x, FALSE);
    EXPECT_EQ(p.wStepCaptureAverageFrames, 3u);
    EXPECT_EQ(p.AVStreamMaster, 0u);
    EXPECT_EQ(p.fUsingDOSMemory, TRUE);
    EXPECT_EQ(p.dwIndexSize, 27000u);
    EXPECT_EQ(p.fYield, TRUE) << "fields without a value keep what creation set";
    EXPECT_EQ(window->GetMciDeviceName(), "VideoDisc");
    EXPECT_EQ(window->GetCaptureFile(FALSE), "");
    EXPECT_FALSE(window->HideMessages());
    EXPECT_EQ(Sent(), "");

    // The first recording then runs with these values.
    window->StartRecording();
    CAPTUREPARMS sent{};
    const SentMessage setup = service.MessagesOf(WM_CAP_SET_SEQUENCE_SETUP).at(0);
    std::memcpy(&sent, setup.record.data(), sizeof sent);
    EXPECT_EQ(sent.dwRequestMicroSecPerFrame, 66666u);
    EXPECT_EQ(sent.dwIndexSize, 27000u);
    EXPECT_EQ(sent.fCaptureAudio, FALSE);
    EXPECT_EQ(sent.fLimitEnabled, FALSE);
    EXPECT_EQ(sent.wNumVideoRequested, 32u);
}

TEST_F(CaptureSettingsTest, ValuesOfTheWrongTypeGiveDefaultsAndBooleansAreNormalised)
{
    PutString("MicroSecPerFrame", "40000");
    PutString("CaptureToDisk", "0");
    PutDword("LimitEnabled", 5);
    PutDword("MCIControl", 0);
    const WORD shortValue = 7;
    Put("TimeLimit", REG_DWORD, &shortValue, sizeof shortValue);
    Put("IndexSize", REG_BINARY, "\x10\x00\x00\x00", 4);
    PutDword("AVStreamMaster", 1);
    PutDword("MCIStartTime", 0xFFFFFFFFu);
    store.LoadCaptureSettings(*window);
    const CAPTUREPARMS& p = window->GetSequenceSetup();
    EXPECT_EQ(p.dwRequestMicroSecPerFrame, 66666u);
    EXPECT_EQ(p.fUsingDOSMemory, TRUE);
    EXPECT_EQ(p.fLimitEnabled, TRUE) << "5 reads as TRUE (1)";
    EXPECT_EQ(p.fMCIControl, FALSE);
    EXPECT_EQ(p.wTimeLimit, 30u) << "a 2-byte DWORD is not a number";
    EXPECT_EQ(p.dwIndexSize, 27000u);
    EXPECT_EQ(p.AVStreamMaster, 1u);
    EXPECT_EQ(p.dwMCIStartTime, 0xFFFFFFFFu);
}

TEST_F(CaptureSettingsTest, FramePeriodZeroIsKeptButApplyingZeroGivesTheDefault)
{
    PutDword("MicroSecPerFrame", 0);
    store.LoadCaptureSettings(*window);
    EXPECT_EQ(window->GetSequenceSetup().dwRequestMicroSecPerFrame, 0u);
    window->StartRecording();
    CAPTUREPARMS sent{};
    std::memcpy(&sent, service.MessagesOf(WM_CAP_SET_SEQUENCE_SETUP).at(0).record.data(),
                sizeof sent);
    EXPECT_EQ(sent.dwRequestMicroSecPerFrame, 0u) << "reaches the driver as stored";

    CAPTUREPARMS dialog{};
    window->GetCaptureSettings(&dialog);
    dialog.dwRequestMicroSecPerFrame = 0;
    service.ClearMessages();
    window->ApplyCaptureSettings(dialog);
    EXPECT_EQ(window->GetSequenceSetup().dwRequestMicroSecPerFrame, 66666u);
    ASSERT_EQ(Sent(), Names({WM_CAP_SET_SEQUENCE_SETUP}));
    std::memcpy(&sent, service.Messages()[0].record.data(), sizeof sent);
    EXPECT_EQ(sent.dwRequestMicroSecPerFrame, 66666u);
}

TEST_F(CaptureSettingsTest, ApplyCopiesFourFieldsAndClearsTheLimitWhenOff)
{
    PutDword("TimeLimit", 45);
    store.LoadCaptureSettings(*window);
    EXPECT_EQ(window->GetSequenceSetup().wTimeLimit, 45u) << "loaded though the limit is off";

    CAPTUREPARMS before{};
    window->GetCaptureSettings(&before);
    CAPTUREPARMS dialog = before;
    dialog.fCaptureAudio = TRUE;
    dialog.fLimitEnabled = FALSE;
    dialog.wTimeLimit = 45;
    dialog.dwRequestMicroSecPerFrame = 50000;
    dialog.dwIndexSize = 1;         // ignored
    dialog.fUsingDOSMemory = FALSE; // ignored
    window->ApplyCaptureSettings(dialog);
    const CAPTUREPARMS& p = window->GetSequenceSetup();
    EXPECT_EQ(p.fCaptureAudio, TRUE);
    EXPECT_EQ(p.fLimitEnabled, FALSE);
    EXPECT_EQ(p.wTimeLimit, 0u);
    EXPECT_EQ(p.dwRequestMicroSecPerFrame, 50000u);
    EXPECT_EQ(p.dwIndexSize, before.dwIndexSize);
    EXPECT_EQ(p.fUsingDOSMemory, before.fUsingDOSMemory);

    store.SaveCaptureSettings(*window);
    EXPECT_EQ(Get("TimeLimit").Dword(), 0u);

    dialog.fLimitEnabled = TRUE;
    dialog.wTimeLimit = 45;
    window->ApplyCaptureSettings(dialog);
    EXPECT_EQ(window->GetSequenceSetup().wTimeLimit, 45u);
}

TEST_F(CaptureSettingsTest, SaveWritesNumbersOnlyWhereTheyDifferAndStringsAlways)
{
    store.LoadCaptureSettings(*window);
    store.SaveCaptureSettings(*window);
    for (const char* name : {"MicroSecPerFrame", "CaptureAudio", "LimitEnabled", "TimeLimit",
                             "MCIControl", "StepMCIDevice", "MCIStartTime", "MCIStopTime",
                             "StepCapture2x", "StepCaptureAverageFrames", "AVStreamMaster",
                             "CaptureToDisk", "IndexSize", "MessageHide", "WaveFormatBinary"}) {
        EXPECT_EQ(Get(name).type, REG_NONE) << name << " equals its default";
    }
    EXPECT_EQ(Get("CaptureFile").type, REG_SZ);
    EXPECT_EQ(Get("CaptureFile").Text(), "");
    EXPECT_EQ(Get("MCIDevice").Text(), "VideoDisc");

    // A stored value that differs from what the program holds is overwritten, also when
    // the program holds the default.
    PutDword("IndexSize", 5000);
    PutDword("StepCaptureAverageFrames", 3);
    CAPTUREPARMS p = window->GetSequenceSetup();
    p.fStepCaptureAt2x = 7;
    window->SetSequenceSetup(p);
    store.SaveCaptureSettings(*window);
    EXPECT_EQ(Get("IndexSize").Dword(), 27000u);
    EXPECT_EQ(Get("StepCaptureAverageFrames").Dword(), 3u);
    EXPECT_EQ(Get("StepCapture2x").type, REG_DWORD);
    EXPECT_EQ(Get("StepCapture2x").Dword(), 1u) << "booleans are stored as 1";
}

TEST_F(CaptureSettingsTest, NothingIsSavedWithoutAConnectedDriver)
{
    FakeCaptureService noDriver;
    noDriver.drivers.clear();
    CCaptureWindow unconnected;
    unconnected.SetServiceCalls(&noDriver);
    EXPECT_FALSE(unconnected.Create(nullptr, "W", WS_CHILD, {0, 0, 320, 240}, &parent, 1));
    store.SaveCaptureSettings(unconnected);
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyA(HKEY_LOCAL_MACHINE, kSection, &key), LONG(ERROR_SUCCESS));
}

TEST_F(CaptureSettingsTest, CaptureAudioChoiceSurvivesARestartWhateverTheHardware)
{
    for (BOOL hardware : {TRUE, FALSE}) {
        for (BOOL chosen : {TRUE, FALSE}) {
            SCOPED_TRACE(testing::Message() << "hardware " << hardware << " chosen " << chosen);
            TempRegistry fresh;
            service.status.fAudioHardware = hardware;
            window.reset();
            ASSERT_TRUE(CreateWindow());
            store.LoadCaptureSettings(*window);
            CAPTUREPARMS dialog{};
            window->GetCaptureSettings(&dialog);
            dialog.fCaptureAudio = chosen;
            window->ApplyCaptureSettings(dialog);
            store.SaveCaptureSettings(*window);

            FakeCaptureService other;
            other.status.fAudioHardware = hardware;
            auto next = Restart(other);
            EXPECT_EQ(next->GetSequenceSetup().fCaptureAudio, chosen);
        }
    }
}

TEST_F(CaptureSettingsTest, CaptureFileIsGivenToTheDriverAndDroppedWhenRejected)
{
    PutString("CaptureFile", "/data/capture.avi");
    PutString("MCIDevice", "Laserdisc 2");
    store.LoadCaptureSettings(*window);
    ASSERT_EQ(Sent(), Names({WM_CAP_FILE_SET_CAPTURE_FILE}));
    EXPECT_EQ(service.Messages()[0].text, "/data/capture.avi");
    EXPECT_EQ(window->GetCaptureFile(FALSE), "/data/capture.avi");
    EXPECT_EQ(window->GetMciDeviceName(), "Laserdisc 2");

    FakeCaptureService rejecting;
    rejecting.acceptCaptureFile = false;
    auto next = Restart(rejecting);
    EXPECT_EQ(next->GetCaptureFile(FALSE), "");
    store.SaveCaptureSettings(*next);
    EXPECT_EQ(Get("CaptureFile").type, REG_SZ);
    EXPECT_EQ(Get("CaptureFile").Text(), "");
}

struct HideCase
{
    const char* stored; // null: no value
    DWORD platform;
    DWORD major;
    BOOL expected;
};

TEST_F(CaptureSettingsTest, MessageHideAsksForTheFlagWhichThePlatformGrants)
{
    const HideCase cases[] = {
        {nullptr, VER_PLATFORM_LINUX, 6, FALSE}, {"0", VER_PLATFORM_LINUX, 6, FALSE},
        {" 12abc", VER_PLATFORM_LINUX, 6, TRUE}, {"abc", VER_PLATFORM_LINUX, 6, FALSE},
        {"1", VER_PLATFORM_WIN32_NT, 4, FALSE},  {"1", VER_PLATFORM_WIN32_NT, 5, TRUE},
    };
    for (const HideCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << (c.stored ? c.stored : "(none)") << " " << c.platform << " " << c.major);
        TempRegistry fresh;
        if (c.stored) {
            PutString("MessageHide", c.stored);
        }
        kernel.platformId = c.platform;
        kernel.majorVersion = c.major;
        window.reset();
        ASSERT_TRUE(CreateWindow());
        store.LoadCaptureSettings(*window);
        EXPECT_EQ(window->HideMessages(), c.expected);
    }
    PutDword("MessageHide", 1);
    window.reset();
    ASSERT_TRUE(CreateWindow());
    store.LoadCaptureSettings(*window);
    EXPECT_FALSE(window->HideMessages()) << "a number must be stored as text";
}

TEST_F(CaptureSettingsTest, WaveFormatIsStoredWholeAndRestoredCutToTheBuffer)
{
    store.SaveWaveFormat(*window);
    EXPECT_EQ(Get("WaveFormatBinary").type, REG_NONE) << "an empty buffer is not stored";

    // 0 bytes: ignored, the driver is not even asked.
    Put("WaveFormatBinary", REG_BINARY, "", 0);
    store.LoadCaptureSettings(*window);
    EXPECT_EQ(service.Count(WM_CAP_GET_AUDIOFORMAT), 0u);
    EXPECT_TRUE(window->GetAudioFormatBuffer().empty());

    // Longer than the buffer (B = 18 here): cut to B.
    std::vector<BYTE> stored(64, 0xEE);
    const WAVEFORMATEX pcm = platform::audio::MakePcmFormat(22050, 16, 1);
    std::memcpy(stored.data(), &pcm, sizeof pcm);
    Put("WaveFormatBinary", REG_BINARY, stored.data(), DWORD(stored.size()));
    service.ClearMessages();
    store.LoadCaptureSettings(*window);
    const std::vector<SentMessage> sets = service.MessagesOf(WM_CAP_SET_AUDIOFORMAT);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].wParam, 18u);
    EXPECT_TRUE(std::equal(sets[0].record.begin(), sets[0].record.end(), stored.begin()));
    EXPECT_EQ(window->GetAudioFormatBuffer().size(), 18u);

    // A plain 18-byte format in a larger buffer is stored as the whole buffer.
    service.queuedAnswers[WM_CAP_GET_AUDIOFORMAT] = {30, 30};
    window->RestoreAudioFormat(stored);
    store.SaveWaveFormat(*window);
    const Stored saved = Get("WaveFormatBinary");
    EXPECT_EQ(saved.type, REG_BINARY);
    EXPECT_EQ(saved.data.size(), 30u);
    EXPECT_EQ(saved.data, window->GetAudioFormatBuffer());
}

TEST_F(CaptureSettingsTest, RoundTripThroughTheHiveFile)
{
    store.LoadCaptureSettings(*window);
    window->SetCaptureFile("/data/キャプチャ.avi");
    window->SetMciDeviceName("VCR");
    CAPTUREPARMS p = window->GetSequenceSetup();
    p.dwRequestMicroSecPerFrame = 100000;
    p.fCaptureAudio = TRUE;
    p.fLimitEnabled = TRUE;
    p.wTimeLimit = 120;
    p.fMCIControl = TRUE;
    p.fStepMCIDevice = TRUE;
    p.dwMCIStartTime = 1;
    p.dwMCIStopTime = 2;
    p.fStepCaptureAt2x = TRUE;
    p.wStepCaptureAverageFrames = 9;
    p.AVStreamMaster = 1;
    p.fUsingDOSMemory = FALSE;
    p.dwIndexSize = 64000;
    window->SetSequenceSetup(p);
    window->RestoreAudioFormat([] {
        const WAVEFORMATEX pcm = platform::audio::MakePcmFormat(44100, 16, 2);
        std::vector<BYTE> bytes(sizeof pcm);
        std::memcpy(bytes.data(), &pcm, sizeof pcm);
        return bytes;
    }());
    store.SaveCaptureSettings(*window);
    store.SaveWaveFormat(*window);
    const std::string hive = registry.ReadHive();
    EXPECT_NE(hive.find("Settings Info"), std::string::npos);
    EXPECT_NE(hive.find("MicroSecPerFrame"), std::string::npos);

    FakeCaptureService other;
    auto next = Restart(other);
    const CAPTUREPARMS& q = next->GetSequenceSetup();
    EXPECT_EQ(q.dwRequestMicroSecPerFrame, 100000u);
    EXPECT_EQ(q.fCaptureAudio, TRUE);
    EXPECT_EQ(q.fLimitEnabled, TRUE);
    EXPECT_EQ(q.wTimeLimit, 120u);
    EXPECT_EQ(q.fMCIControl, TRUE);
    EXPECT_EQ(q.fStepMCIDevice, TRUE);
    EXPECT_EQ(q.dwMCIStartTime, 1u);
    EXPECT_EQ(q.dwMCIStopTime, 2u);
    EXPECT_EQ(q.fStepCaptureAt2x, TRUE);
    EXPECT_EQ(q.wStepCaptureAverageFrames, 9u);
    EXPECT_EQ(q.AVStreamMaster, 1u);
    EXPECT_EQ(q.fUsingDOSMemory, FALSE);
    EXPECT_EQ(q.dwIndexSize, 64000u);
    EXPECT_EQ(next->GetCaptureFile(FALSE), "/data/キャプチャ.avi");
    EXPECT_EQ(next->GetMciDeviceName(), "VCR");
    EXPECT_EQ(next->GetAudioFormatBuffer(), window->GetAudioFormatBuffer());
    EXPECT_TRUE(platform::audio::SamePcmFormat(
        *reinterpret_cast<const WAVEFORMATEX*>(other.audioFormat.data()),
        platform::audio::MakePcmFormat(44100, 16, 2)))
        << "the restored format reached the new driver";
}

} // namespace
} // namespace vexol::test
