// Creation and driver connection of the capture window against the scripted service:
// rectangle fitting, the driver walk, the exact message sequence and the records sent.
#include "platform/WindowRegistry.h"
#include "support/CaptureWindowFixture.h"

#include <QImage>
#include <QPixmap>
#include <cstring>

namespace vexol::test {
namespace {

using CreateTest = CaptureWindowTest;

BITMAPINFOHEADER HeaderOf(const std::vector<BYTE>& record)
{
    BITMAPINFOHEADER h{};
    std::memcpy(&h, record.data(), std::min(record.size(), sizeof h));
    return h;
}

TEST_F(CreateTest, RequestedRectangleIsFittedToTheImageAspect)
{
    struct Case
    {
        RECT rect;
        LONG width, height;
    };
    const Case cases[] = {
        {{0, 0, 640, 240}, 320, 240},   {{0, 0, 320, 480}, 320, 240},
        {{0, 0, 0, 0}, 0, 0},           {{-1000, -1000, -1000, -1000}, 0, 0},
        {{50, 70, 210, 190}, 160, 120}, {{0, 0, 100, 50}, 66, 50},
        {{0, 0, 641, 481}, 641, 480},   {{10, 10, 0, 0}, 0, 0},
    };
    service.drivers.clear(); // no connection, so the fitted size stays
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.rect.right - c.rect.left << "x" << c.rect.bottom - c.rect.top);
        EXPECT_FALSE(CreateWindow(c.rect));
        const RECT picture = window->GetPictureRect();
        EXPECT_EQ(QRect(picture.left, picture.top, picture.right, picture.bottom),
                  QRect(0, 0, c.width, c.height));
        EXPECT_EQ(window->geometry(), QRect(0, 0, c.width, c.height));
        EXPECT_EQ(QSize(service.created->width, service.created->height), QSize(c.width, c.height));
    }
}

TEST_F(CreateTest, SendsTheCreationSequenceInOrder)
{
    ASSERT_TRUE(CreateWindow({0, 0, 320, 240}, true));
    EXPECT_EQ(
        Sent(),
        Names({// ConnectDriver(0): connect, caps, status, FitToImage, format
               // refresh, the selected mode sent again
               WM_CAP_DRIVER_CONNECT, WM_CAP_DRIVER_GET_CAPS, WM_CAP_GET_STATUS, WM_CAP_GET_STATUS,
               WM_CAP_GET_VIDEOFORMAT, WM_CAP_GET_VIDEOFORMAT, WM_CAP_SET_OVERLAY,
               WM_CAP_SET_PREVIEW, WM_CAP_SET_PREVIEWRATE,
               // status, sequence setup, video format request, capabilities
               WM_CAP_GET_STATUS, WM_CAP_GET_SEQUENCE_SETUP, WM_CAP_SET_SEQUENCE_SETUP,
               WM_CAP_GET_VIDEOFORMAT, WM_CAP_GET_VIDEOFORMAT, WM_CAP_SET_VIDEOFORMAT,
               WM_CAP_GET_VIDEOFORMAT, WM_CAP_DRIVER_GET_CAPS,
               // callbacks, FitToImage, first preview
               WM_CAP_SET_CALLBACK_ERROR, WM_CAP_SET_CALLBACK_STATUS, WM_CAP_SET_CALLBACK_YIELD,
               WM_CAP_GET_STATUS, WM_CAP_SET_OVERLAY, WM_CAP_SET_PREVIEW, WM_CAP_SET_PREVIEWRATE}));
    const std::vector<SentMessage> m = service.Messages();
    const std::vector<std::pair<WPARAM, LPARAM>> expected = {{0, 0},
                                                             {sizeof(CAPDRIVERCAPS), 1},
                                                             {sizeof(CAPSTATUS), 1},
                                                             {sizeof(CAPSTATUS), 1},
                                                             {0, 0},
                                                             {40, 1},
                                                             {FALSE, 0},
                                                             {TRUE, 0},
                                                             {66, 0},
                                                             {sizeof(CAPSTATUS), 1},
                                                             {96, 1},
                                                             {96, 1},
                                                             {0, 0},
                                                             {40, 1},
                                                             {40, 1},
                                                             {40, 1},
                                                             {sizeof(CAPDRIVERCAPS), 1}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(m[i].wParam, expected[i].first) << i;
        EXPECT_EQ(m[i].lParam != 0, expected[i].second != 0) << i;
    }
    EXPECT_EQ(m[17].lParam, reinterpret_cast<LPARAM>(&CCaptureWindowBase::ErrorCallbackProc));
    EXPECT_EQ(m[18].lParam, reinterpret_cast<LPARAM>(&CCaptureWindowBase::StatusCallbackProc));
    EXPECT_EQ(m[19].lParam, reinterpret_cast<LPARAM>(&CCaptureWindowBase::YieldCallbackProc));

    // The driver window: a visible child of the capture window that finds the object.
    EXPECT_EQ(service.created->windowName, "Capture Window");
    EXPECT_EQ(service.created->style, 0x50000000u);
    EXPECT_EQ(WindowOfHandle(service.created->parent), window.get());
    EXPECT_EQ(service.created->id, 0);
    EXPECT_EQ(service.userData, reinterpret_cast<LONG_PTR>(window.get()));
    EXPECT_EQ(window->parentWidget(), &parent);
    EXPECT_TRUE(window->IsDriverConnected());
    EXPECT_TRUE(window->IsPreviewActive());
}

TEST_F(CreateTest, BaseWindowRegistersNullCallbacks)
{
    CCaptureWindowBase base;
    base.SetServiceCalls(&service);
    ASSERT_TRUE(base.Create(nullptr, "Base", WS_CHILD, {0, 0, 320, 240}, &parent, 1));
    for (UINT m :
         {WM_CAP_SET_CALLBACK_ERROR, WM_CAP_SET_CALLBACK_STATUS, WM_CAP_SET_CALLBACK_YIELD}) {
        ASSERT_EQ(service.Count(m), 1u);
        EXPECT_EQ(service.MessagesOf(m)[0].lParam, 0);
    }
}

TEST_F(CreateTest, SequenceSetupKeepsDriverValuesAndSetsTheProgramsOwn)
{
    ASSERT_TRUE(CreateWindow());
    const CAPTUREPARMS& p = window->GetSequenceSetup();
    EXPECT_EQ(p.dwRequestMicroSecPerFrame, 33333u);
    EXPECT_EQ(p.dwIndexSize, 324000u);
    EXPECT_EQ(p.wNumVideoRequested, 10u);
    EXPECT_EQ(p.fYield, TRUE);
    EXPECT_EQ(p.vKeyAbort, 0u);
    EXPECT_EQ(p.fAbortLeftMouse, FALSE);
    // The driver's own values stay.
    EXPECT_EQ(p.wPercentDropForError, 7u);
    EXPECT_EQ(p.wChunkGranularity, 512u);
    EXPECT_EQ(p.wTimeLimit, 99u);
    EXPECT_EQ(p.dwAudioBufferSize, 4096u);
    EXPECT_EQ(std::memcmp(&service.driverSetup, &p, sizeof p), 0) << "what the driver got";
}

TEST_F(CreateTest, VideoFormatRequestCarriesTheReportedSizeAsHeaderSize)
{
    struct Case
    {
        std::size_t driverSize; // the driver's format: a header and a palette
        std::size_t requestSize;
    };
    for (const Case& c : {Case{1064, 1064}, Case{40, 40}, Case{20, 40}}) {
        SCOPED_TRACE(c.driverSize);
        service.SetVideoFormat(160, 120, 8);
        service.videoFormat.resize(c.driverSize, 0x5C);
        ASSERT_TRUE(CreateWindow({0, 0, 320, 240}, true));
        const std::vector<SentMessage> requests = service.MessagesOf(WM_CAP_SET_VIDEOFORMAT);
        ASSERT_EQ(requests.size(), 1u);
        ASSERT_EQ(requests[0].wParam, c.requestSize);
        const BITMAPINFOHEADER h = HeaderOf(requests[0].record);
        EXPECT_EQ(h.biSize, c.requestSize) << "the size the driver reported, not 40";
        EXPECT_EQ(QSize(h.biWidth, h.biHeight), QSize(320, 240));
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(h.biBitCount, 16);
        EXPECT_EQ(h.biCompression, BI_RGB);
        EXPECT_EQ(h.biSizeImage, 0u);
        EXPECT_EQ(h.biXPelsPerMeter, 100000);
        EXPECT_EQ(h.biYPelsPerMeter, 100000);
        EXPECT_EQ(h.biClrUsed + h.biClrImportant, 0u);
        EXPECT_TRUE(std::all_of(requests[0].record.begin() + 40, requests[0].record.end(),
                                [](BYTE b) { return b == 0x5C; }))
            << "the palette stays the driver's";
        service.ClearMessages();
    }
}

TEST_F(CreateTest, ConnectsTheFirstDriverThatConnects)
{
    service.drivers = {{"A", "a", false}, {"B", "b", false}, {"C", "c", true}, {"D", "d", true}};
    ASSERT_TRUE(CreateWindow({0, 0, 320, 240}, true));
    std::vector<WPARAM> tried;
    for (const SentMessage& m : service.MessagesOf(WM_CAP_DRIVER_CONNECT)) {
        tried.push_back(m.wParam);
    }
    EXPECT_EQ(tried, (std::vector<WPARAM>{0, 1, 2}));
    EXPECT_EQ(window->GetDriverIndex(), 2);
    EXPECT_EQ(window->GetDriverName() + window->GetDriverVersion(), "Cc");
}

TEST_F(CreateTest, NoConnectableDriverFailsAfterReadingTheCapabilities)
{
    service.drivers = {{"A", "a", false}};
    EXPECT_FALSE(CreateWindow({0, 0, 320, 240}, true));
    EXPECT_FALSE(window->IsDriverConnected());
    const std::vector<UINT> sent = service.MessageIds();
    EXPECT_EQ(sent.back(), WM_CAP_DRIVER_GET_CAPS);
    EXPECT_EQ(service.Count(WM_CAP_GET_SEQUENCE_SETUP) + service.Count(WM_CAP_SET_VIDEOFORMAT) +
                  service.Count(WM_CAP_SET_CALLBACK_ERROR),
              0u);
}

TEST_F(CreateTest, EnumerationStopsAtTheFirstGapAndAtTen)
{
    std::vector<FakeDriver> twelve;
    for (int i = 0; i < 12; ++i) {
        twelve.push_back({"cam" + std::to_string(i), "v" + std::to_string(i)});
    }
    struct Case
    {
        std::vector<FakeDriver> drivers;
        std::size_t listed;
    };
    const Case cases[] = {
        {{}, 0}, {{{"a", "1"}, {"b", "2"}, {"", ""}, {"d", "4"}}, 2}, {twelve, 10}};
    for (const Case& c : cases) {
        service.drivers = c.drivers;
        CCaptureWindow w;
        w.SetServiceCalls(&service);
        std::vector<std::string> names{"stale"}, versions;
        EXPECT_TRUE(w.EnumerateDrivers(names, versions));
        ASSERT_EQ(names.size(), c.listed);
        ASSERT_EQ(versions.size(), c.listed);
        for (std::size_t i = 0; i < c.listed; ++i) {
            EXPECT_EQ(names[i] + versions[i], c.drivers[i].name + c.drivers[i].version);
        }
    }
}

TEST_F(CreateTest, WithoutADriverWindowEveryDriverOperationIsANoOp)
{
    service.failCreate = true;
    EXPECT_FALSE(CreateWindow());
    EXPECT_FALSE(window->IsCapturing());
    EXPECT_FALSE(window->SetCaptureFile("/tmp/x.avi"));
    EXPECT_EQ(window->GetCaptureFile(TRUE), "");
    EXPECT_FALSE(window->StartRecording());
    EXPECT_TRUE(window->StopStreaming());
    EXPECT_FALSE(window->ShowDriverDialog(CCaptureWindow::DriverDialog(3)));
    EXPECT_FALSE(window->ShowDriverDialog(CCaptureWindow::DriverDialog::VideoFormat));
    EXPECT_EQ(window->size(), QSize(0, 0)) << "fitted to a zero status";
    EXPECT_TRUE(service.Messages().empty());

    CCaptureWindow orphan; // a child style needs a parent
    EXPECT_FALSE(orphan.Create(nullptr, "W", WS_CHILD, {0, 0, 320, 240}, nullptr, 1));
    EXPECT_FALSE(window->Create(nullptr, "W", WS_CHILD, {0, 0, 320, 240}, &parent, 1))
        << "created once only";
}

TEST_F(CreateTest, ConnectDriverKeepsTheIndexTriedAndReadsRecordsAnyway)
{
    service.drivers = {{"A", "1.0", true}, {"B", "2.0", false}};
    ASSERT_TRUE(CreateWindow());
    service.caps.fHasDlgVideoSource = TRUE;
    EXPECT_FALSE(window->ConnectDriver(1));
    EXPECT_EQ(window->GetDriverIndex(), 1);
    EXPECT_EQ(window->GetDriverName(), "");
    EXPECT_EQ(window->GetDriverCaps().fHasDlgVideoSource, TRUE);
    EXPECT_EQ(service.Count(WM_CAP_GET_VIDEOFORMAT), 0u) << "no format refresh after a failure";

    service.SetVideoFormat(352, 288, 16);
    EXPECT_TRUE(window->ConnectDriver(0));
    EXPECT_EQ(window->GetDriverName(), "A");
    EXPECT_EQ(window->GetVideoFormatHeader().biWidth, 352);

    // A driver installed after creation is outside the list: its name is asked for.
    service.drivers.push_back({"Late Camera", "3.1", true});
    EXPECT_TRUE(window->ConnectDriver(2));
    EXPECT_EQ(window->GetDriverName(), "Late Camera");
}

TEST_F(CreateTest, CaptureFileOperations)
{
    ASSERT_TRUE(CreateWindow());
    EXPECT_FALSE(window->SetCaptureFile(nullptr));
    EXPECT_FALSE(window->SetCaptureFile(""));
    EXPECT_TRUE(service.Messages().empty());
    EXPECT_TRUE(window->SetCaptureFile("/data/capture.avi"));
    service.acceptCaptureFile = false;
    EXPECT_FALSE(window->SetCaptureFile("/readonly/capture.avi"));
    EXPECT_EQ(window->GetCaptureFile(FALSE), "/data/capture.avi") << "a rejected name is dropped";
    EXPECT_EQ(service.MessagesOf(WM_CAP_FILE_SET_CAPTURE_FILE).at(1).text, "/readonly/capture.avi");

    // From the driver: a 261-byte buffer that ends terminated whatever the driver wrote.
    service.onMessage = [](const SentMessage& m) {
        if (m.message == WM_CAP_FILE_GET_CAPTURE_FILE) {
            std::memset(reinterpret_cast<char*>(m.lParam), 'x', m.wParam);
        }
    };
    EXPECT_EQ(window->GetCaptureFile(TRUE), std::string(260, 'x'));
    EXPECT_EQ(service.MessagesOf(WM_CAP_FILE_GET_CAPTURE_FILE).at(0).wParam, 261u);
    window->AllocateCaptureFile(5000000);
    EXPECT_EQ(service.MessagesOf(WM_CAP_FILE_ALLOCATE).at(0).lParam, 5000000);
    // 4096 MB and more pass as 64-bit byte counts instead of wrapping to 0.
    window->AllocateCaptureFile(4096ull << 20);
    EXPECT_EQ(service.MessagesOf(WM_CAP_FILE_ALLOCATE).at(1).lParam, LPARAM(4096ll << 20));
}

TEST_F(CreateTest, IsCapturingReadsAFreshStatusWithoutTouchingTheCachedOne)
{
    ASSERT_TRUE(CreateWindow());
    service.status.fCapturingNow = TRUE;
    service.status.uiImageWidth = 999;
    EXPECT_TRUE(window->IsCapturing());
    EXPECT_EQ(window->GetCaptureStatus().uiImageWidth, 320u);
    EXPECT_EQ(window->GetCaptureStatus().fCapturingNow, FALSE);
}

TEST_F(CreateTest, PaintsBlueAndPassesEnablingToTheDriverWindow)
{
    {
        FakeCaptureService noDriverWindow;
        noDriverWindow.failCreate = true;
        CCaptureWindow plain;
        plain.SetServiceCalls(&noDriverWindow);
        plain.Create(nullptr, "W", WS_CHILD | WS_VISIBLE, {0, 0, 32, 24}, &parent, 1);
        plain.resize(32, 24);
        const QImage image = plain.grab().toImage();
        EXPECT_EQ(image.pixelColor(0, 0), QColor(0, 0, 222));
        EXPECT_EQ(image.pixelColor(31, 23), QColor(0, 0, 222));
    }
    ASSERT_TRUE(CreateWindow());
    window->setEnabled(false);
    EXPECT_FALSE(WindowOfHandle(service.Window())->isEnabled());
    window->setEnabled(true);
    EXPECT_TRUE(WindowOfHandle(service.Window())->isEnabled());
}

} // namespace
} // namespace vexol::test
