#include "platform/capture/FileCaptureConsumer.h"

#include "platform/BitmapLayout.h"
#include "platform/audio/WaveFormat.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vexol::platform::capture {

namespace {

// Audio goes into the file in chunks of about this length.
constexpr double kAudioChunkSeconds = 0.25;
// How far a device may run ahead of real time before it is held back: about one block.
constexpr double kAudioLeadSeconds = 0.05;
// Video checkpoints while no frame arrives.
constexpr auto kFlushInterval = std::chrono::milliseconds(500);

// The bytes of one uncompressed frame of `format` (a BITMAPINFOHEADER), or its stated
// image size.
std::uint64_t FirstFrameBytes(const std::vector<std::uint8_t>& format)
{
    if (format.size() < sizeof(BITMAPINFOHEADER)) {
        return 0;
    }
    BITMAPINFOHEADER h;
    std::memcpy(&h, format.data(), sizeof h);
    if (h.biSizeImage != 0) {
        return h.biSizeImage;
    }
    const std::uint64_t width = h.biWidth > 0 ? std::uint64_t(h.biWidth) : 0;
    const std::uint64_t height =
        std::uint64_t(h.biHeight < 0 ? -std::int64_t(h.biHeight) : h.biHeight);
    return DibRowBytes(width, h.biBitCount) * height;
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

FileCaptureConsumer::FileCaptureConsumer(FileCaptureSetup setup) : m_setup(std::move(setup)) {}

FileCaptureConsumer::~FileCaptureConsumer()
{
    m_audioStopping = true;
    m_recorder.Close();
}

AviResult FileCaptureConsumer::Prepare()
{
    m_audioRequested = m_setup.captureAudio;
    if (m_audioRequested && m_setup.audioFormat.size() >= 16) {
        std::memcpy(&m_wave, m_setup.audioFormat.data(),
                    std::min(sizeof m_wave, m_setup.audioFormat.size()));
        if (m_setup.audioFormat.size() < sizeof m_wave) {
            m_wave.cbSize = 0;
        }
        m_audioActive = platform::audio::ValidatePcmFormat(&m_wave) == MMSYSERR_NOERROR &&
                        (m_setup.audioStreamForTesting
                             ? m_recorder.Open(&m_wave, m_setup.audioStreamForTesting())
                             : m_recorder.Open(&m_wave)) == MMSYSERR_NOERROR;
    }
    AviStreamFormats formats = m_setup.formats;
    formats.audio.clear();
    if (m_audioActive) {
        const std::size_t size =
            std::min<std::size_t>(m_setup.audioFormat.size(), sizeof(WAVEFORMATEX) + m_wave.cbSize);
        formats.audio.assign(m_setup.audioFormat.begin(), m_setup.audioFormat.begin() + size);
        const std::size_t align = m_wave.nBlockAlign;
        m_chunkBytes = std::max<std::size_t>(
            align, std::size_t(m_wave.nAvgBytesPerSec * kAudioChunkSeconds) / align * align);
        m_audioBuffer.reserve(m_chunkBytes * 2);
    }
    struct stat before
    {
    };
    const bool existed = ::lstat(m_setup.path.c_str(), &before) == 0;
    AviResult opened = m_writer.Open(m_setup.path, formats, m_setup.options);
    if (opened.Ok()) {
        // The first frame must fit before anyone is told that the recording started.
        opened = m_writer.ReserveAhead(FirstFrameBytes(formats.video));
        if (!opened.Ok()) {
            m_writer.Close();
            if (!existed) {
                ::unlink(m_setup.path.c_str()); // made for nothing
            }
        }
    }
    if (!opened.Ok()) {
        m_recorder.Close();
        m_audioActive = false;
    }
    return opened;
}

bool FileCaptureConsumer::Begin(CaptureSession& session)
{
    m_session = &session;
    if (!m_writer.IsOpen()) {
        const AviResult opened = Prepare();
        if (!opened.Ok()) {
            ReportFileError(session, opened.text);
            return false;
        }
    }
    m_lastVideoWrite = Clock::now();
    m_audioStart = Clock::now();
    m_audioOpen = m_audioActive;
    if (m_audioActive &&
        m_recorder.Start([this](const BYTE* data, std::size_t bytes, std::uint64_t) {
            OnAudio(data, bytes);
        }) != MMSYSERR_NOERROR) {
        // The file keeps an empty audio stream; the summary says there is no sound.
        m_audioOpen = false;
        m_audioActive = false;
        m_recorder.Close();
    }
    return true;
}

bool FileCaptureConsumer::Consume(CaptureSession& session, const VideoFrame& frame, DWORD,
                                  std::uint64_t slot)
{
    // Slots the frame clock passed without a frame keep their time as empty chunks.
    if (m_lastSlot) {
        for (std::uint64_t s = *m_lastSlot + 1; s < slot; ++s) {
            if (!Check(session, m_writer.WriteDroppedFrame())) {
                return false;
            }
        }
    } else {
        for (std::uint64_t s = 0; s < slot; ++s) {
            if (!Check(session, m_writer.WriteDroppedFrame())) {
                return false;
            }
        }
    }
    m_lastSlot = slot;
    const DWORD bytes = std::min<DWORD>(frame.bytesUsed, DWORD(frame.data.size()));
    m_lastVideoWrite = Clock::now();
    const bool written = Check(session, m_writer.WriteVideoFrame(frame.data.data(), bytes, true));
    PublishFigures(); // before the session counts the frame
    return written;
}

bool FileCaptureConsumer::Idle(CaptureSession& session)
{
    PublishFigures();
    switch (m_audioEnd.load()) {
    case kAudioIndexFull:
        return Check(session, AviWrite::IndexFull);
    case kAudioWriteFailed:
        return Check(session, AviWrite::Failed);
    default:
        break;
    }
    if (m_audioActive && !m_audioFailureReported && m_recorder.DeviceError() != 0) {
        // The file keeps its video; the audio stream ends where the device stopped.
        m_audioFailureReported = true;
        session.ReportError(
            IDS_CAP_AUDIO_FAILED,
            texts::AudioStopped(res::UserLanguage(), DescribeErrno(-m_recorder.DeviceError())));
    }
    if (Clock::now() - m_lastVideoWrite >= kFlushInterval) {
        m_lastVideoWrite = Clock::now();
        const AviResult flushed = m_writer.Flush();
        if (!flushed.Ok()) {
            ReportFileError(session, flushed.text);
            return false;
        }
    }
    return true;
}

void FileCaptureConsumer::End(CaptureSession& session, bool)
{
    if (m_audioActive) {
        m_audioLimit = std::uint64_t(SecondsSince(m_audioStart) * m_wave.nSamplesPerSec);
        m_audioStopping = true;
        m_recorder.Stop(); // hands over what the device still holds, then joins
        m_recorder.Close();
        if (m_audioEnd.load() == kAudioRunning && !WriteAudioBuffer()) {
            Check(session, m_writer.IsIndexFull() ? AviWrite::IndexFull : AviWrite::Failed);
        }
    }
    if (!m_writer.IsOpen()) {
        return;
    }
    m_summary = m_writer.Summary();
    PublishFigures();
    const AviResult closed = m_writer.Close();
    if (!closed.Ok()) {
        ReportFileError(session, closed.text);
    }
}

void FileCaptureConsumer::Describe(CaptureSummaryInfo& info) const
{
    info.audioRequested = m_audioRequested;
    info.audioRecorded = m_audioActive;
    info.audioSeconds = m_summary.audioMilliseconds / 1000.0;
}

bool FileCaptureConsumer::MeasureFile(std::uint64_t& bytesWritten, std::uint64_t& roomInFile) const
{
    bytesWritten = m_bytesWritten.load();
    roomInFile = m_roomInFile.load();
    return true;
}

void FileCaptureConsumer::PublishFigures()
{
    const AviSummary summary = m_writer.Summary();
    m_bytesWritten = summary.movieBytes;
    m_roomInFile = summary.fileRoom;
}

void FileCaptureConsumer::OnAudio(const BYTE* data, std::size_t bytes)
{
    if (!m_audioOpen.load() || m_audioEnd.load() != kAudioRunning) {
        return;
    }
    const std::size_t align = m_wave.nBlockAlign;
    const double rate = m_wave.nSamplesPerSec;
    std::uint64_t frames = bytes / align;
    if (m_audioStopping.load()) {
        // Draining after the stop: nothing past the end of the capture.
        const std::uint64_t limit = m_audioLimit.load();
        frames = std::min<std::uint64_t>(frames, limit > m_audioFrames ? limit - m_audioFrames : 0);
    } else {
        const double elapsed = SecondsSince(m_audioStart);
        const std::uint32_t overruns = m_recorder.Overruns();
        if (overruns != m_seenOverruns) {
            // The device lost samples: silence takes their time, so sound stays in step.
            m_seenOverruns = overruns;
            const double expected = elapsed * rate - double(frames);
            if (expected > double(m_audioFrames)) {
                const std::vector<BYTE> silence(std::size_t(expected - double(m_audioFrames)) *
                                                    align,
                                                m_wave.wBitsPerSample == 8 ? BYTE(0x80) : BYTE(0));
                AppendAudio(silence.data(), silence.size());
            }
        }
        // A device without a clock of its own delivers as fast as it is read: hold it
        // to real time.
        const double ahead = double(m_audioFrames + frames) / rate - elapsed;
        if (ahead > kAudioLeadSeconds) {
            std::this_thread::sleep_for(
                std::chrono::duration<double>(std::min(ahead - kAudioLeadSeconds, 0.1)));
        }
    }
    AppendAudio(data, std::size_t(frames) * align);
}

void FileCaptureConsumer::AppendAudio(const BYTE* data, std::size_t bytes)
{
    if (bytes == 0) {
        return;
    }
    m_audioBuffer.insert(m_audioBuffer.end(), data, data + bytes);
    m_audioFrames += bytes / m_wave.nBlockAlign;
    if (m_audioBuffer.size() >= m_chunkBytes && !WriteAudioBuffer()) {
        m_audioEnd = m_writer.IsIndexFull() ? kAudioIndexFull : kAudioWriteFailed;
        if (m_session) {
            m_session->RequestStop();
        }
    }
}

bool FileCaptureConsumer::WriteAudioBuffer()
{
    if (m_audioBuffer.empty()) {
        return true;
    }
    const AviWrite result = m_writer.WriteAudio(m_audioBuffer.data(), DWORD(m_audioBuffer.size()));
    m_audioBuffer.clear();
    return result == AviWrite::Written;
}

bool FileCaptureConsumer::Check(CaptureSession& session, AviWrite result)
{
    switch (result) {
    case AviWrite::Written:
        return true;
    case AviWrite::IndexFull:
        if (!m_errorReported) {
            m_errorReported = true;
            session.ReportError(IDS_CAP_INDEX_FULL,
                                texts::Message(res::UserLanguage(), texts::FileMessage::IndexFull));
        }
        return false;
    case AviWrite::Failed:
        // Every stop has a reason; one without a system error is an I/O error.
        ReportFileError(session,
                        m_writer.Error().text.empty()
                            ? AviResult::FromErrno(EIO, texts::FileAction::WriteCaptureFile).text
                            : m_writer.Error().text);
        return false;
    }
    return false;
}

void FileCaptureConsumer::ReportFileError(CaptureSession& session, const std::string& text)
{
    if (m_errorReported) {
        return;
    }
    m_errorReported = true;
    session.ReportError(IDS_CAP_FILE_ERROR, text);
}

} // namespace vexol::platform::capture
