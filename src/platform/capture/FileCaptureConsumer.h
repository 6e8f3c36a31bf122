// The consumer of a capture into a file (WM_CAP_SEQUENCE): video frames go to the AVI
// writer on the capture thread, dropped frames as empty chunks so that time stays right;
// audio, when asked for, is recorded from the wave input device and written from the
// recorder's thread, interleaved with the video by arrival.
//
// A/V step: video time is the frame clock (one index entry per frame period), audio time
// the sample count. Samples the device lost in an overrun are made up with silence; a
// device without a clock of its own (it delivers faster than real time) is held back to
// real time; after the stop no sample past the end of the capture is written.
#pragma once

#include "platform/audio/CaptureStream.h"
#include "platform/audio/WaveRecorder.h"
#include "platform/capture/AviWriter.h"
#include "platform/capture/CaptureSession.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vexol::platform::capture {

struct FileCaptureSetup
{
    std::string path;
    AviStreamFormats formats; // formats.audio is ignored: see audioFormat
    AviWriterOptions options;
    bool captureAudio = false;
    std::vector<BYTE> audioFormat; // WAVEFORMATEX of the audio stream
    // Tests: where the samples come from instead of the wave input device.
    std::function<std::unique_ptr<platform::audio::CaptureStream>()> audioStreamForTesting;
};

class FileCaptureConsumer : public FrameConsumer
{
public:
    explicit FileCaptureConsumer(FileCaptureSetup setup);
    ~FileCaptureConsumer() override;

    // Opens the audio device (when asked for and present) and the file; on the caller's
    // thread, so that a file that cannot be written refuses the capture at once. Begin
    // does it when the caller did not.
    AviResult Prepare();

    bool Begin(CaptureSession& session) override;
    bool Consume(CaptureSession& session, const VideoFrame& frame, DWORD timeCapturedMs,
                 std::uint64_t slot) override;
    bool Idle(CaptureSession& session) override;
    void End(CaptureSession& session, bool aborted) override;
    void Describe(CaptureSummaryInfo& info) const override;
    bool MeasureFile(std::uint64_t& bytesWritten, std::uint64_t& roomInFile) const override;

private:
    using Clock = std::chrono::steady_clock;
    enum AudioEnd : int {
        kAudioRunning,
        kAudioIndexFull,
        kAudioWriteFailed,
    };

    void OnAudio(const BYTE* data, std::size_t bytes);
    void AppendAudio(const BYTE* data, std::size_t bytes);
    bool WriteAudioBuffer();
    bool Check(CaptureSession& session, AviWrite result);
    // Makes the writer's figures readable from any thread (capture thread).
    void PublishFigures();
    void ReportFileError(CaptureSession& session, const std::string& text);

    const FileCaptureSetup m_setup;
    AviWriter m_writer;
    platform::audio::WaveRecorder m_recorder;
    AviSummary m_summary;
    bool m_errorReported = false;

    // Capture thread.
    std::optional<std::uint64_t> m_lastSlot;
    Clock::time_point m_lastVideoWrite;
    bool m_audioFailureReported = false;

    // Audio: set up on the capture thread before the recorder starts; then used by the
    // recorder's thread alone until Stop has joined it.
    CaptureSession* m_session = nullptr;
    bool m_audioRequested = false;
    bool m_audioActive = false; // the file has an audio stream
    WAVEFORMATEX m_wave{};
    std::size_t m_chunkBytes = 0;
    std::vector<BYTE> m_audioBuffer;
    std::uint64_t m_audioFrames = 0; // sample frames given to the writer, silence included
    std::uint32_t m_seenOverruns = 0;
    Clock::time_point m_audioStart;
    std::atomic<bool> m_audioOpen{false};       // the writer takes audio
    std::atomic<bool> m_audioStopping{false};   // the capture has ended
    std::atomic<std::uint64_t> m_audioLimit{0}; // the most sample frames once stopping
    std::atomic<int> m_audioEnd{kAudioRunning};

    // The writer's figures as last published; read from any thread.
    std::atomic<std::uint64_t> m_bytesWritten{0};
    std::atomic<std::uint64_t> m_roomInFile{0};
};

} // namespace vexol::platform::capture
