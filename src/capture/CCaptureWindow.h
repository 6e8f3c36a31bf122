// The application's capture window: the generic capture window with all three driver
// callbacks on, sized to the driver's image, with the frozen still, the status texts,
// recording, the file-less frame stream, the audio format and the sequence parameters.
// Exactly one exists, owned by the application.
#pragma once

#include "capture/CCaptureWindowBase.h"
#include "platform/audio/AudioCompression.h"
#include "platform/capture/RecordingFigures.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CaptureWindowOwner;

class CCaptureWindow : public CCaptureWindowBase
{
public:
    // String resources of the status texts shown while messages are hidden.
    static constexpr UINT kNowRecordingStringId = 20012;
    static constexpr UINT kRecordingFinishedStringId = 20013;
    static constexpr UINT kCaptureEndStringId = 20014;
    // Frame period given to a sequence setup whose period is 0.
    static constexpr DWORD kDefaultMicroSecPerFrame = 66666;

    CCaptureWindow();
    ~CCaptureWindow() override;

    // The object that receives status texts, stores chosen audio formats and checks
    // streamed frames; may be null (nothing is handed over then). Any thread. A call
    // already on its way to the earlier owner on another thread is waited for, so the
    // earlier owner may go as soon as this returns.
    void SetOwner(CaptureWindowOwner* owner);
    CaptureWindowOwner* GetOwner() const;

    // Hooks.
    void FitToImage() override;
    BOOL IsPreviewActive() override;
    void OnCaptureStatus(int id, const char* text) override;
    void OnVideoFrame(const VIDEOHDR& header) override;
    BOOL ReapplyDisplayMode() override;

    // Display modes of the application.
    BOOL ResumeDisplay(BOOL overlay);
    BOOL Freeze(BOOL freeze);
    BOOL IsFrozen() const { return m_bFrozen; }

    // Recording into the capture file; the result of WM_CAP_SEQUENCE.
    BOOL StartRecording();
    // Ends a recording or a frame stream.
    void StopRecording();
    // One reading of the running recording's figures; FALSE when no recording into the
    // capture file runs.
    BOOL GetRecordingSample(vexol::platform::capture::RecordingSample& sample) const;
    // A capture without a file whose frames go to OnVideoFrame only. TRUE without
    // starting anything when no driver is connected.
    BOOL StartFrameStream();

    // The audio format: the chooser (TRUE when the user chose a format) and the stored
    // format given back at start-up (always TRUE).
    BOOL ChooseAudioFormat();
    BOOL RestoreAudioFormat(const std::vector<BYTE>& stored);
    // The audio format buffer: a WAVEFORMATEX with its extra bytes, whole size as kept.
    const std::vector<BYTE>& GetAudioFormatBuffer() const { return m_audioFormat; }

    // The sequence parameters for the parameter dialog: all 96 bytes out; four fields in
    // (sent to the driver at once).
    void GetCaptureSettings(CAPTUREPARMS* settings) const;
    void ApplyCaptureSettings(const CAPTUREPARMS& settings);

    // The sequence-setup record as the registry store loads and saves it. Setting it
    // does not send it: it reaches the driver with the next sequence start.
    const CAPTUREPARMS& GetSequenceSetup() const { return m_captureParms; }
    void SetSequenceSetup(const CAPTUREPARMS& setup) { m_captureParms = setup; }
    // The MCI device name: persisted with the capture parameters, never sent.
    const std::string& GetMciDeviceName() const { return m_strMciDeviceName; }
    void SetMciDeviceName(const std::string& name) { m_strMciDeviceName = name; }

private:
    // The owner while one call uses it; the owner cannot change meanwhile (but on the
    // calling thread itself).
    class OwnerUse;

    // Hands a status text to the owner.
    void ShowStatusText(const char* text);
    // Shows string resource `id` as the status text.
    void ShowStatusString(UINT id);
    // The per-sequence values of a recording or a stream, then WM_CAP_SET_SEQUENCE_SETUP.
    void SendSequenceStartSetup(UINT abortKey, BOOL abortRightMouse);
    // The audio buffer size B: the larger of the codecs' largest format and the driver's
    // current format.
    DWORD AudioFormatBufferSize();

    std::vector<BYTE> m_audioFormat;
    ACMFORMATCHOOSEA m_formatChoose{};
    std::string m_strMciDeviceName;
    BOOL m_bFrozen = FALSE;

    // m_ownerMutex guards m_owner and m_ownerUsers (the threads inside a call of it).
    mutable std::mutex m_ownerMutex;
    mutable std::condition_variable m_ownerReleased;
    CaptureWindowOwner* m_owner = nullptr;
    mutable std::vector<std::thread::id> m_ownerUsers;
};
