// Pre-allocating the capture file through the real service when it takes long: the
// progress dialog appears, the picture keeps being painted meanwhile, and a cancel
// leaves the earlier file as it was, or none.
#include "CaptureTestHelpers.h"

#include "platform/capture/AviAllocate.h"
#include "platform/framework/Resources.h"
#include "support/AviTestSupport.h"

#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <condition_variable>

namespace capture_test {
namespace {

// Holds the allocating thread before its first piece until released.
class HeldAllocation
{
public:
    HeldAllocation()
    {
        SetAllocationPieceHookForTesting([this] {
            std::unique_lock lock(m_mutex);
            // Bounded, so that a broken test fails instead of hanging.
            m_changed.wait_for(lock, std::chrono::seconds(20), [this] { return m_released; });
        });
    }
    ~HeldAllocation()
    {
        Release();
        SetAllocationPieceHookForTesting({});
    }
    void Release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex; // guards m_released
    std::condition_variable m_changed;
    bool m_released = false;
};

struct HeldCase
{
    const char* name;
    bool existing;
};

class AllocationProgressTest : public ::testing::TestWithParam<HeldCase>
{
protected:
    void SetUp() override
    {
        vexol::res::SetLanguage(vexol::res::Language::English);
        CallbackRecorder::Instance().Reset();
        ASSERT_TRUE(f.Connect(kTestPatternIndex));
        f.RegisterRecorder(false);
        ASSERT_EQ(f.Send(WM_CAP_SET_PREVIEWRATE, 20), TRUE);
        ASSERT_EQ(f.Send(WM_CAP_SET_PREVIEW, TRUE), TRUE);
        path = dir.filePath("capture.avi").toStdString();
        ASSERT_EQ(f.Send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, path.c_str()), TRUE);
    }
    void TearDown() override { vexol::res::ResetLanguage(); }

    QTemporaryDir dir;
    DriverWindowFixture f;
    std::string path;
};

TEST_P(AllocationProgressTest, SlowAllocationShowsProgressKeepsPaintingAndCancelsCleanly)
{
    std::vector<std::uint8_t> earlier(5000);
    for (std::size_t i = 0; i < earlier.size(); ++i) {
        earlier[i] = std::uint8_t(i * 13 + 5);
    }
    if (GetParam().existing) {
        ASSERT_TRUE(vexol::test::WriteFileBytes(path, earlier));
    }
    HeldAllocation held;
    QString label;
    long long frameWhenShown = -1;
    long long framePaintedLater = -1;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QProgressDialog* progress = nullptr;
        for (QProgressDialog* d : f.Window()->findChildren<QProgressDialog*>()) {
            if (d->isVisible()) {
                progress = d;
            }
        }
        if (!progress) {
            return;
        }
        const long long shown = f.Window()->ShownFrameNumber();
        if (frameWhenShown < 0) {
            label = progress->labelText();
            frameWhenShown = shown;
            return;
        }
        if (shown > frameWhenShown) {
            framePaintedLater = shown;
            watch.stop();
            // The user presses Cancel; the work goes on to its next report and stops.
            QPushButton* cancel = progress->findChild<QPushButton*>();
            ASSERT_NE(cancel, nullptr);
            cancel->click();
            held.Release();
        }
    });
    watch.start();
    const LRESULT result = f.Send(WM_CAP_FILE_ALLOCATE, 0, LPARAM(8ll << 20));
    watch.stop();
    held.Release();

    EXPECT_EQ(result, FALSE);
    EXPECT_EQ(label.toStdString(), "Reserving disk space for the capture file...");
    EXPECT_GT(framePaintedLater, frameWhenShown) << "the picture went on while it waited";
    EXPECT_TRUE(CallbackRecorder::Instance().ErrorIds().empty()) << "a cancel is no error";
    if (GetParam().existing) {
        EXPECT_EQ(vexol::test::ReadFileBytes(path), earlier);
    } else {
        EXPECT_EQ(vexol::test::FileSize(path), -1);
    }
    // Released, the same request allocates the whole size.
    SetAllocationPieceHookForTesting({});
    EXPECT_EQ(f.Send(WM_CAP_FILE_ALLOCATE, 0, LPARAM(8ll << 20)), TRUE);
    EXPECT_EQ(vexol::test::FileSize(path), 8ll << 20);
}

INSTANTIATE_TEST_SUITE_P(Files, AllocationProgressTest,
                         ::testing::Values(HeldCase{"NewFile", false},
                                           HeldCase{"ExistingFile", true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace capture_test
