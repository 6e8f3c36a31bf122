// Recording, the file-less frame stream, StopStreaming and the frame snapshot, against
// the scripted service.
#include "support/CaptureWindowFixture.h"

#include <cstring>
#include <thread>

namespace vexol::test {
namespace {

using StreamingTest = CaptureWindowTest;

CAPTUREPARMS RecordOf(const SentMessage& m)
{
    CAPTUREPARMS p{};
    EXPECT_EQ(m.wParam, sizeof p);
    std::memcpy(&p, m.record.data(), std::min(m.record.size(), sizeof p));
    return p;
}

TEST_F(StreamingTest, SequenceStartsForceTheirOwnValuesAndKeepTheUsers)
{
    struct Case
    {
        bool recording;
        BOOL usingDosMemory;
        UINT buffers, abortKey;
        BOOL abortRight;
        UINT start; // the message that starts the sequence
    };
    const Case cases[] = {
        {true, TRUE, 32, 27, TRUE, WM_CAP_SEQUENCE},
        {true, FALSE, 1000, 27, TRUE, WM_CAP_SEQUENCE},
        {false, TRUE, 32, 0, FALSE, WM_CAP_SEQUENCE_NOFILE},
        {false, FALSE, 1000, 0, FALSE, WM_CAP_SEQUENCE_NOFILE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.recording << c.usingDosMemory);
        ASSERT_TRUE(CreateWindow());
        CAPTUREPARMS p = window->GetSequenceSetup();
        p.fUsingDOSMemory = c.usingDosMemory;
        p.dwRequestMicroSecPerFrame = 40000;
        p.fCaptureAudio = TRUE;
        p.wTimeLimit = 30;
        p.fAbortLeftMouse = TRUE;
        p.fMakeUserHitOKToCapture = TRUE;
        window->SetSequenceSetup(p);
        service.ClearMessages();
        service.answers[c.start] = 7;

        EXPECT_EQ(c.recording ? window->StartRecording() : window->StartFrameStream(), 7)
            << "the service's result unchanged";
        EXPECT_EQ(Sent(),
                  c.recording
                      ? Names({WM_CAP_SET_OVERLAY, WM_CAP_SET_PREVIEW, WM_CAP_SET_SEQUENCE_SETUP,
                               WM_CAP_SEQUENCE})
                      : Names({WM_CAP_SET_OVERLAY, WM_CAP_SET_PREVIEW, WM_CAP_SET_SEQUENCE_SETUP,
                               WM_CAP_SET_CALLBACK_VIDEOSTREAM, WM_CAP_SEQUENCE_NOFILE}));
        const CAPTUREPARMS sent = RecordOf(service.MessagesOf(WM_CAP_SET_SEQUENCE_SETUP).at(0));
        EXPECT_EQ(sent.fMakeUserHitOKToCapture, FALSE);
        EXPECT_EQ(sent.wPercentDropForError, 10u);
        EXPECT_EQ(sent.wNumVideoRequested, c.buffers);
        EXPECT_EQ(sent.fAbortLeftMouse, FALSE);
        EXPECT_EQ(sent.fAbortRightMouse, c.abortRight);
        EXPECT_EQ(sent.wChunkGranularity, 0u);
        EXPECT_EQ(sent.vKeyAbort, c.abortKey);
        EXPECT_EQ(sent.dwRequestMicroSecPerFrame, 40000u);
        EXPECT_EQ(sent.fCaptureAudio, TRUE);
        EXPECT_EQ(sent.wTimeLimit, 30u);
        if (!c.recording) {
            EXPECT_EQ(service.Callback(WM_CAP_SET_CALLBACK_VIDEOSTREAM),
                      reinterpret_cast<LPARAM>(&CCaptureWindowBase::VideoStreamCallbackProc));
        }
    }
}

TEST_F(StreamingTest, AStartWhoseDisplayDoesNotResumeCountsAsFrozen)
{
    ASSERT_TRUE(CreateWindow());
    service.answers[WM_CAP_SET_PREVIEW] = FALSE;
    window->StartRecording();
    EXPECT_TRUE(window->IsFrozen());
}

TEST_F(StreamingTest, WithoutAConnectedDriverAStreamReportsSuccessAndStartsNothing)
{
    service.drivers = {{"A", "1", false}};
    EXPECT_FALSE(CreateWindow());
    EXPECT_TRUE(window->StartFrameStream());
    EXPECT_EQ(
        service.Count(WM_CAP_SET_CALLBACK_VIDEOSTREAM) + service.Count(WM_CAP_SEQUENCE_NOFILE), 0u);
    service.ClearMessages();
    window->StopRecording();
    EXPECT_EQ(Sent(), "") << "no abort without a driver";
    EXPECT_TRUE(window->WaitForNewFrame(0)) << "but a waiter still wakes up";
    EXPECT_FALSE(window->WaitForNewFrame(0)) << "auto-reset";
}

TEST_F(StreamingTest, StopStreamingTurnsTheDisplayOnWithUpToThreeAttempts)
{
    struct Case
    {
        std::deque<LRESULT> displayAnswers; // to SET_PREVIEW(TRUE), in turn
        std::size_t attempts;
        DWORD waited;
    };
    const Case cases[] = {
        {{TRUE}, 1, 0},
        {{FALSE, TRUE}, 2, 300},
        {{FALSE, FALSE, FALSE, TRUE}, 3, 600},
    };
    ASSERT_TRUE(CreateWindow());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attempts);
        service.ClearMessages();
        kernel.sleeps.clear();
        service.queuedAnswers[WM_CAP_SET_PREVIEW] = c.displayAnswers;
        EXPECT_TRUE(window->StopStreaming());
        std::vector<UINT> expected = {WM_CAP_ABORT, WM_CAP_SET_CALLBACK_VIDEOSTREAM};
        expected.insert(expected.end(), c.attempts, WM_CAP_SET_PREVIEW);
        EXPECT_EQ(Sent(), Names(expected));
        EXPECT_EQ(service.MessagesOf(WM_CAP_SET_CALLBACK_VIDEOSTREAM).at(0).lParam, 0);
        EXPECT_EQ(kernel.Slept(), c.waited) << "on the tick count, not the clock";
        EXPECT_TRUE(window->WaitForNewFrame(0)) << "signalled without any frame";
        service.queuedAnswers.clear();
    }
}

TEST_F(StreamingTest, FramesLeaveASnapshotThatStreamStartAndStopRelease)
{
    service.SetVideoFormat(4, 2, 8, FOURCC_PL41);
    ASSERT_TRUE(CreateWindow());
    ASSERT_TRUE(window->StartFrameStream());
    std::vector<BYTE> frame = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    VIDEOHDR header{};
    header.lpData = frame.data();
    header.dwBufferLength = DWORD(frame.size());
    header.dwBytesUsed = 8;
    std::vector<BYTE> snapshot;
    EXPECT_EQ(service.FireFrame(&header), 0);
    EXPECT_TRUE(window->WaitForNewFrame(0));
    ASSERT_TRUE(window->CopyFrameSnapshot(snapshot));
    ASSERT_EQ(snapshot.size(), 40u + 9u) << "the whole buffer, not only the bytes used";
    BITMAPINFOHEADER h{};
    std::memcpy(&h, snapshot.data(), sizeof h);
    EXPECT_EQ(h.biCompression, FOURCC_PL41) << "the cached format header first";
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), snapshot.begin() + 40));

    header.dwBufferLength = 1; // a new frame replaces the old
    service.FireFrame(&header);
    window->CopyFrameSnapshot(snapshot);
    EXPECT_EQ(snapshot.size(), 41u);
    header.lpData = nullptr; // a header without data: the format alone
    service.FireFrame(&header);
    window->CopyFrameSnapshot(snapshot);
    EXPECT_EQ(snapshot.size(), 40u);

    window->StopStreaming();
    EXPECT_FALSE(window->CopyFrameSnapshot(snapshot)) << "released when the stream stops";
    window->StartFrameStream();
    service.FireFrame(&header);
    EXPECT_TRUE(window->CopyFrameSnapshot(snapshot));
    window->StartFrameStream();
    EXPECT_FALSE(window->CopyFrameSnapshot(snapshot)) << "released when a stream starts";
    EXPECT_FALSE(window->WaitForNewFrame(0)) << "and the event reset";
}

TEST_F(StreamingTest, MarkedPlanarFramesBecomeStillsTheRightWayUp)
{
    // 4 x 2 planar YUV, grey chroma: luma rows (top first), one Cb and one Cr sample per
    // plane, then the switch byte.
    const std::vector<BYTE> planes = {10, 20, 30, 40, 50, 60, 70, 80, 128, 128, 128, 128};
    struct Case
    {
        const char* name;
        bool enabled;
        DWORD compression;
        BYTE switchByte;
        std::size_t planeBytes; // of the planes, the frame carries this many
        bool saved;
    } cases[] = {
        {"MarkedPl41", true, FOURCC_PL41, 1, 12, true},
        {"MarkedPl4M", true, 0x4D344C50, 3, 12, true},
        {"SettingOff", false, FOURCC_PL41, 1, 12, false},
        {"SwitchBitClear", true, FOURCC_PL41, 2, 12, false},
        {"OtherFormat", true, BI_RGB, 1, 12, false},
        {"WithoutItsCrPlane", true, FOURCC_PL41, 1, 10, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        service.SetVideoFormat(4, 2, 12, c.compression);
        ASSERT_TRUE(CreateWindow());
        window->StartFrameStream();
        owner.shutterSwitch = c.enabled;
        owner.stills.clear();
        std::vector<BYTE> seen;
        owner.onStill = [&](CDib&) { window->CopyFrameSnapshot(seen); };
        std::vector<BYTE> frame(planes.begin(), planes.begin() + c.planeBytes);
        frame.push_back(c.switchByte);
        VIDEOHDR header{};
        header.lpData = frame.data();
        header.dwBufferLength = DWORD(frame.size());
        header.dwBytesUsed = DWORD(frame.size());
        std::thread capture([&] { service.FireFrame(&header); });
        capture.join();
        ASSERT_EQ(owner.stills.size(), c.saved ? 1u : 0u);
        if (c.saved) {
            const CDib& still = owner.stills[0];
            EXPECT_EQ(still.GetBitCount(), 24);
            EXPECT_EQ(still.GetPixel(0, 1), 0x0A0A0Au) << "the frame's top row on top";
            EXPECT_EQ(still.GetPixel(3, 0), 0x505050u);
            EXPECT_EQ(seen.size(), 40u + frame.size()) << "the snapshot is stored first";
        }
    }
}

} // namespace
} // namespace vexol::test
