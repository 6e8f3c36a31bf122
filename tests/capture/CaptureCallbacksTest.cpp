// The callback procedures and their handlers: status texts, error boxes, the yield
// call, the pending status text mailbox and the hide-messages check.
#include "platform/kernel/OsVersion.h"
#include "support/CaptureWindowFixture.h"
#include "support/MessageBoxAnswers.h"

#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <sys/utsname.h>
#include <thread>

namespace vexol::test {
namespace {

constexpr const char* kNowRecording = "Now recording. (Press the Esc key to stop)";
constexpr const char* kRecordingFinished = "Recording finished.";

class CallbacksTest : public CaptureWindowTest
{
protected:
    void SetUp() override { ASSERT_TRUE(CreateWindow()); }
    ScopedLanguage english{res::Language::English};
};

TEST_F(CallbacksTest, StatusTextRules)
{
    struct Case
    {
        bool hide, capturing;
        std::vector<int> before; // statuses fired first
        int id;
        const char* text;
        const char* shown; // null: nothing handed over
    };
    const Case cases[] = {
        {false, true, {}, 510, "Captured 10 frames", "Captured 10 frames"},
        {false, false, {}, 500, "Live", nullptr},
        {false, false, {}, 501, "Overlay", nullptr},
        {false, false, {}, 502, "", nullptr},
        {false, false, {}, 502, nullptr, nullptr},
        {false, false, {512}, 301, "Capture ended.", nullptr},
        {false, false, {511}, 301, "Capture ended.", nullptr},
        {false, false, {512, 301}, 301, "Capture ended.", nullptr}, // the last ID stays 512
        {false, false, {510}, 301, "Capture ended.", "Capture ended."},
        {true, true, {}, 300, "Capture started.", kNowRecording},
        {true, true, {}, 411, "Press Esc", kNowRecording},
        {true, true, {}, 502, "Preparing", kNowRecording},
        {true, true, {502}, 510, "Captured 3 frames", kNowRecording},
        {true, true, {}, 503, "Writing", kRecordingFinished},
        {true, true, {}, 512, "Captured 30 frames", kRecordingFinished},
        {true, true, {}, 511, "Captured 30 frames and audio", kRecordingFinished},
        {true, true, {}, 999, "Device lost", nullptr}, // other IDs stay hidden
        {true, true, {}, 500, "Live", nullptr},
        {true, false, {510}, 301, "Capture ended.", "Capture end."},
        {true, false, {512}, 301, "Capture ended.", nullptr},
        {true, false, {}, 510, "Captured 3 frames", "Captured 3 frames"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "hide " << c.hide << " capturing " << c.capturing << " id " << c.id);
        ASSERT_TRUE(CreateWindow());
        if (c.hide) {
            window->CheckHideMessages(TRUE);
        }
        service.status.fCapturingNow = c.capturing ? TRUE : FALSE;
        for (int id : c.before) {
            service.FireStatus(id, "earlier");
        }
        owner.texts.clear();
        EXPECT_EQ(service.FireStatus(c.id, c.text), 1);
        EXPECT_EQ(owner.Texts(),
                  c.shown ? std::vector<std::string>{c.shown} : std::vector<std::string>{});
    }
}

TEST_F(CallbacksTest, BaseStatusHandlerShowsNothingButTracksTheLastId)
{
    FakeCaptureService plain; // outlives the window
    struct ProbeWindow : CCaptureWindowBase
    {
        int LastStatus() const { return m_lastStatusId.load(); }
    } base;
    base.SetServiceCalls(&plain);
    base.Create(nullptr, "B", WS_CHILD, {0, 0, 320, 240}, &parent, 1);
    EXPECT_EQ(plain.Callback(WM_CAP_SET_CALLBACK_STATUS), 0) << "switched off in the base";
    base.OnCaptureStatus(512, "summary");
    base.OnCaptureStatus(301, "end");
    EXPECT_EQ(base.LastStatus(), 512);
    base.OnCaptureStatus(510, "progress");
    base.OnCaptureStatus(301, "end");
    EXPECT_EQ(base.LastStatus(), 301);
}

TEST_F(CallbacksTest, ErrorBoxRules)
{
    struct Case
    {
        bool hide;
        int id;
        bool box;
    };
    const Case cases[] = {{false, 0, false},  {true, 0, false},   {false, 513, true},
                          {true, 513, false}, {false, 434, true}, {true, 434, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "hide " << c.hide << " id " << c.id);
        ASSERT_TRUE(CreateWindow());
        if (c.hide) {
            window->CheckHideMessages(TRUE);
        }
        ScopedMessageBoxAnswers boxes;
        EXPECT_EQ(service.FireError(c.id, "The driver's own words."), 1);
        ASSERT_EQ(boxes.requests.size(), c.box ? 1u : 0u);
        if (c.box) {
            EXPECT_EQ(boxes.requests[0].text, "The driver's own words.");
            EXPECT_EQ(boxes.requests[0].caption, "Video capture software");
            EXPECT_EQ(boxes.requests[0].style, 0x30u);
        }
    }
}

// The capture thread never waits for the user-interface thread: its error boxes are
// queued and shown there afterwards, one after another in the order of the errors, even
// when a box's own event loop runs while more arrive.
TEST_F(CallbacksTest, ErrorsFromTheCaptureThreadAreShownLaterOnTheUiThreadInOrder)
{
    ScopedMessageBoxAnswers boxes;
    std::vector<QThread*> boxThreads;
    int open = 0;
    int mostOpen = 0;
    platform::framework::SetMessageBoxHandler(
        [&](const platform::framework::MessageBoxRequest& request) {
            boxThreads.push_back(QThread::currentThread());
            boxes.requests.push_back(request);
            mostOpen = std::max(mostOpen, ++open);
            QCoreApplication::processEvents(); // as the box's own event loop would
            --open;
            return IDOK;
        });
    std::thread capture([&] {
        service.FireError(434, "Disk full.");
        service.FireError(435, "Device lost.");
        service.FireError(436, "Index full.");
    });
    capture.join(); // returned without any event handled here
    EXPECT_TRUE(boxes.requests.empty());
    EXPECT_TRUE(PumpUntil([&] { return boxes.requests.size() == 3; }));
    ASSERT_EQ(boxes.requests.size(), 3u);
    EXPECT_EQ(boxes.requests[0].text, "Disk full.");
    EXPECT_EQ(boxes.requests[1].text, "Device lost.");
    EXPECT_EQ(boxes.requests[2].text, "Index full.");
    EXPECT_EQ(mostOpen, 1) << "one box at a time";
    for (QThread* thread : boxThreads) {
        EXPECT_EQ(thread, QThread::currentThread());
    }
}

TEST_F(CallbacksTest, BoxesNotShownYetGoWithTheWindow)
{
    ScopedMessageBoxAnswers boxes;
    std::thread capture([&] { service.FireError(434, "Device lost."); });
    capture.join();
    window.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.requests.empty()) << "a box dropped at destruction never appears";
}

// Handing the window to another owner (or to none) waits for a call already on its way
// to the old owner, so the old owner may go as soon as the hand-over returns.
TEST_F(CallbacksTest, AnOwnerHandedOverIsNeverCalledAgain)
{
    struct SlowOwner : RecordingOwner
    {
        void SetPendingStatusText(const char* text) override
        {
            std::unique_lock lock(latch);
            inside = true;
            changed.notify_all();
            changed.wait(lock, [this] { return released; });
            late = late || retired.load();
            RecordingOwner::SetPendingStatusText(text);
        }
        std::mutex latch; // guards inside and released
        std::condition_variable changed;
        bool inside = false;
        bool released = false;
        std::atomic<bool> retired{false};
        bool late = false; // written by the call, read after it was joined
    } slow;
    window->SetOwner(&slow);
    std::thread capture([&] { service.FireStatus(510, "Captured 3 frames"); });
    {
        std::unique_lock lock(slow.latch);
        slow.changed.wait(lock, [&] { return slow.inside; });
    }
    // The call is held inside the old owner; it is let go from another thread while this
    // one hands the window over.
    std::thread release([&] {
        QThread::msleep(50);
        std::lock_guard lock(slow.latch);
        slow.released = true;
        slow.changed.notify_all();
    });
    window->SetOwner(&owner);
    slow.retired = true;
    capture.join();
    release.join();
    EXPECT_FALSE(slow.late) << "the old owner was still in use after the hand-over";
    EXPECT_EQ(slow.Texts(), std::vector<std::string>{"Captured 3 frames"});

    std::thread later([&] { service.FireStatus(510, "Captured 4 frames"); });
    later.join();
    EXPECT_EQ(owner.Texts(), std::vector<std::string>{"Captured 4 frames"});
    EXPECT_EQ(slow.Texts().size(), 1u);
}

TEST_F(CallbacksTest, ProceduresWithoutAWindowObjectDoNothing)
{
    service.userData = 0;
    ScopedMessageBoxAnswers boxes;
    EXPECT_EQ(service.FireStatus(510, "text"), 1);
    EXPECT_EQ(service.FireError(434, "text"), 1);
    EXPECT_EQ(CCaptureWindowBase::ErrorCallbackProc(nullptr, 434, "x"), 1);
    BYTE data[1] = {0};
    VIDEOHDR header{};
    header.lpData = data;
    header.dwBufferLength = 1;
    EXPECT_EQ(CCaptureWindowBase::VideoStreamCallbackProc(service.Window(), &header), 0);
    EXPECT_EQ(CCaptureWindowBase::VideoStreamCallbackProc(service.Window(), nullptr), 0);
    std::vector<BYTE> snapshot;
    EXPECT_FALSE(window->CopyFrameSnapshot(snapshot));
    EXPECT_TRUE(owner.Texts().empty());
    EXPECT_TRUE(boxes.requests.empty());
}

TEST_F(CallbacksTest, YieldContinuesTheCaptureAndPumpsTheUiThread)
{
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    EXPECT_EQ(service.FireYield(), 1);
    EXPECT_TRUE(ran) << "a pending event was dispatched";
    LRESULT fromCapture = 0;
    std::thread capture([&] { fromCapture = service.FireYield(); });
    capture.join();
    EXPECT_EQ(fromCapture, 1);
}

TEST(PendingStatusTextTest, WriterAndReaderEachWorkOnWholeTexts)
{
    PendingStatusText pending;
    std::string text = "untouched";
    pending.Set(nullptr);
    EXPECT_FALSE(pending.Take(text)) << "null is stored as empty, which is nothing pending";
    EXPECT_EQ(text, "untouched");

    // Each text repeats its number a varying number of times, so a text mixed from two
    // writes would not repeat one number throughout.
    auto textFor = [](int i) {
        std::string t;
        for (int r = 0; r < 1 + i % 7; ++r) {
            t += std::to_string(i) + ";";
        }
        return t;
    };
    constexpr int kTexts = 20000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 1; i <= kTexts; ++i) {
            pending.Set(textFor(i).c_str());
        }
        done = true;
    });
    int last = 0;
    auto check = [&] {
        const int number = std::stoi(text);
        EXPECT_EQ(text, textFor(number));
        EXPECT_GT(number, last) << "a newer text replaces an older one";
        last = number;
    };
    while (!done.load()) {
        if (pending.Take(text)) {
            check();
        }
    }
    writer.join();
    if (pending.Take(text)) {
        check();
    }
    EXPECT_EQ(last, kTexts) << "the last text written is the one left";
    EXPECT_TRUE(pending.IsEmpty());
}

TEST_F(CallbacksTest, HideMessagesIsGrantedOnModernNtAndOnLinuxOnly)
{
    struct Case
    {
        BOOL requested;
        DWORD platform, major;
        bool queryFails;
        BOOL expected;
    };
    const Case cases[] = {
        {FALSE, VER_PLATFORM_WIN32_NT, 5, false, FALSE},
        {TRUE, VER_PLATFORM_WIN32_NT, 4, false, FALSE},
        {TRUE, VER_PLATFORM_WIN32_NT, 5, false, TRUE},
        {TRUE, VER_PLATFORM_WIN32_WINDOWS, 5, false, FALSE},
        {TRUE, VER_PLATFORM_LINUX, 2, false, TRUE},
        {TRUE, VER_PLATFORM_LINUX, 6, true, FALSE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.requested << " " << c.platform << " " << c.major);
        kernel.platformId = c.platform;
        kernel.majorVersion = c.major;
        kernel.versionQueryFails = c.queryFails;
        ASSERT_TRUE(CreateWindow());
        window->CheckHideMessages(c.requested);
        EXPECT_EQ(window->HideMessages(), c.expected);
    }
    kernel.platformId = VER_PLATFORM_LINUX;
    kernel.versionQueryFails = false;
    window->CheckHideMessages(TRUE);
    window->CheckHideMessages(FALSE);
    EXPECT_TRUE(window->HideMessages()) << "never cleared";
}

TEST(OsVersionTest, ReportsThisLinuxKernelHonestly)
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_LINUX);
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    EXPECT_EQ(std::string(info.szCSDVersion), std::string(names.sysname) + " " + names.release);
    EXPECT_EQ(std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion),
              std::string(names.release).substr(0, std::string(names.release).find('.', 2)));

    info.dwOSVersionInfoSize = 100;
    EXPECT_FALSE(GetVersionExA(&info)) << "the caller must give the record's size";
    EXPECT_FALSE(GetVersionExA(nullptr));

    struct Case
    {
        const char* release;
        DWORD major, minor, build;
    };
    for (const Case& c : {Case{"5.15.153.1-microsoft", 5, 15, 153}, Case{"4.9", 4, 9, 0},
                          Case{"x.1", 0, 0, 0}, Case{"99999999999.2.3", 0xFFFFFFFFu, 2, 3}}) {
        DWORD major = 7, minor = 7, build = 7;
        ParseKernelRelease(c.release, major, minor, build);
        EXPECT_EQ(std::vector<DWORD>({major, minor, build}),
                  std::vector<DWORD>({c.major, c.minor, c.build}))
            << c.release;
    }
}

} // namespace
} // namespace vexol::test
