#include "support/FakeCaptureService.h"
#include "platform/WindowRegistry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace vexol::test {

namespace {

thread_local int t_callDepth = 0; // fake callbacks running on this thread

template <typename Record> void CopyOut(const Record& record, WPARAM size, LPARAM destination)
{
    if (destination) {
        std::memcpy(reinterpret_cast<void*>(destination), &record,
                    std::min<std::size_t>(size, sizeof record));
    }
}

void CopyText(const std::string& text, char* buffer, int size)
{
    if (buffer && size > 0) {
        const std::size_t n = std::min<std::size_t>(text.size(), std::size_t(size) - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
}

} // namespace

FakeCaptureService::FakeCaptureService()
{
    status.uiImageWidth = 320;
    status.uiImageHeight = 240;
    caps.fHasOverlay = TRUE;
    // Driver defaults that creation keeps.
    driverSetup.dwRequestMicroSecPerFrame = 66667;
    driverSetup.wPercentDropForError = 7;
    driverSetup.wChunkGranularity = 512;
    driverSetup.wNumAudioRequested = 4;
    driverSetup.wTimeLimit = 99;
    driverSetup.dwAudioBufferSize = 4096;
    driverSetup.vKeyAbort = 0x1B;
    driverSetup.fAbortLeftMouse = TRUE;
    SetVideoFormat(640, 480, 24);
    const WAVEFORMATEX pcm{WAVE_FORMAT_PCM, 1, 11025, 11025, 1, 8, 0};
    audioFormat.resize(sizeof pcm);
    std::memcpy(audioFormat.data(), &pcm, sizeof pcm);
}

FakeCaptureService::~FakeCaptureService()
{
    delete m_window.data();
}

void FakeCaptureService::SetVideoFormat(LONG width, LONG height, WORD bits, DWORD compression)
{
    const BITMAPINFOHEADER h{40, width, height, 1, bits, compression, 0, 0, 0, 0, 0};
    std::lock_guard lock(m_mutex);
    videoFormat.assign(sizeof h, 0);
    std::memcpy(videoFormat.data(), &h, sizeof h);
}

std::vector<SentMessage> FakeCaptureService::Messages() const
{
    std::lock_guard lock(m_mutex);
    return m_messages;
}

std::vector<UINT> FakeCaptureService::MessageIds() const
{
    std::vector<UINT> ids;
    for (const SentMessage& m : Messages()) {
        ids.push_back(m.message);
    }
    return ids;
}

std::vector<SentMessage> FakeCaptureService::MessagesOf(UINT message) const
{
    std::vector<SentMessage> found;
    for (const SentMessage& m : Messages()) {
        if (m.message == message) {
            found.push_back(m);
        }
    }
    return found;
}

void FakeCaptureService::ClearMessages()
{
    std::lock_guard lock(m_mutex);
    m_messages.clear();
}

LPARAM FakeCaptureService::Callback(UINT setMessage) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_callbacks.find(setMessage);
    return found == m_callbacks.end() ? 0 : found->second;
}

template <typename Procedure, typename... Args>
LRESULT FakeCaptureService::Fire(UINT setMessage, Args... args)
{
    LPARAM procedure = 0;
    {
        std::lock_guard lock(m_mutex);
        procedure = m_callbacks[setMessage];
        if (!procedure) {
            return -1;
        }
        ++m_runningCalls[setMessage];
    }
    ++t_callDepth;
    const LRESULT result = reinterpret_cast<Procedure>(procedure)(Window(), args...);
    --t_callDepth;
    {
        std::lock_guard lock(m_mutex);
        --m_runningCalls[setMessage];
    }
    m_callReturned.notify_all();
    return result;
}

LRESULT FakeCaptureService::FireStatus(int id, const char* text)
{
    return Fire<CAPSTATUSCALLBACK>(WM_CAP_SET_CALLBACK_STATUS, id, text);
}

LRESULT FakeCaptureService::FireError(int id, const char* text)
{
    return Fire<CAPERRORCALLBACK>(WM_CAP_SET_CALLBACK_ERROR, id, text);
}

LRESULT FakeCaptureService::FireYield()
{
    return Fire<CAPYIELDCALLBACK>(WM_CAP_SET_CALLBACK_YIELD);
}

LRESULT FakeCaptureService::FireFrame(VIDEOHDR* header)
{
    return Fire<CAPVIDEOCALLBACK>(WM_CAP_SET_CALLBACK_VIDEOSTREAM, header);
}

HWND FakeCaptureService::CreateCaptureWindow(const char* windowName, DWORD style, int x, int y,
                                             int width, int height, HWND parent, int id)
{
    created = CreateCall{windowName ? windowName : "", style, width, height, parent, id};
    if (failCreate) {
        return nullptr;
    }
    auto* window = new QWidget(WindowOfHandle(parent));
    window->setGeometry(x, y, width, height);
    m_window = window;
    return HandleOfWindow(window);
}

BOOL FakeCaptureService::GetDriverDescription(UINT index, char* name, int nameSize, char* version,
                                              int versionSize)
{
    if (index >= drivers.size() || drivers[index].name.empty()) {
        return FALSE;
    }
    CopyText(drivers[index].name, name, nameSize);
    CopyText(drivers[index].version, version, versionSize);
    return TRUE;
}

BOOL FakeCaptureService::IsWindow(HWND hwnd)
{
    return hwnd && hwnd == HandleOfWindow(m_window.data()) ? TRUE : FALSE;
}

LONG_PTR FakeCaptureService::SetUserData(HWND hwnd, LONG_PTR value)
{
    if (!IsWindow(hwnd)) {
        return 0;
    }
    return std::exchange(userData, value);
}

LRESULT FakeCaptureService::Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!IsWindow(hwnd)) {
        return 0;
    }
    SentMessage sent{message, wParam, lParam, {}, {}};
    const bool record = message == WM_CAP_SET_SEQUENCE_SETUP || message == WM_CAP_SET_VIDEOFORMAT ||
                        message == WM_CAP_SET_AUDIOFORMAT;
    if (record && lParam) {
        const BYTE* bytes = reinterpret_cast<const BYTE*>(lParam);
        sent.record.assign(bytes, bytes + wParam);
    }
    if ((message == WM_CAP_FILE_SET_CAPTURE_FILE || message == WM_CAP_FILE_SAVEAS ||
         message == WM_CAP_FILE_SAVEDIB) &&
        lParam) {
        sent.text = reinterpret_cast<const char*>(lParam);
    }
    std::function<void(const SentMessage&)> hook;
    std::optional<LRESULT> scripted;
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(sent);
        hook = onMessage;
        if (auto& queue = queuedAnswers[message]; !queue.empty()) {
            scripted = queue.front();
            queue.pop_front();
        } else if (auto fixed = answers.find(message); fixed != answers.end()) {
            scripted = fixed->second;
        }
    }
    if (hook) {
        hook(sent);
    }
    const LRESULT answer = DefaultAnswer(message, wParam, lParam);
    return scripted ? *scripted : answer;
}

LRESULT FakeCaptureService::DefaultAnswer(UINT message, WPARAM wParam, LPARAM lParam)
{
    std::unique_lock lock(m_mutex);
    switch (message) {
    case WM_CAP_SET_CALLBACK_ERROR:
    case WM_CAP_SET_CALLBACK_STATUS:
    case WM_CAP_SET_CALLBACK_YIELD:
    case WM_CAP_SET_CALLBACK_VIDEOSTREAM:
        m_callbacks[message] = lParam;
        if (t_callDepth == 0) {
            m_callReturned.wait(lock, [&] { return m_runningCalls[message] == 0; });
        }
        return TRUE;
    case WM_CAP_DRIVER_CONNECT:
        return wParam < drivers.size() && drivers[wParam].connects ? TRUE : FALSE;
    case WM_CAP_DRIVER_GET_CAPS:
        CopyOut(caps, wParam, lParam);
        return TRUE;
    case WM_CAP_GET_STATUS:
        CopyOut(status, wParam, lParam);
        return TRUE;
    case WM_CAP_GET_SEQUENCE_SETUP:
        CopyOut(driverSetup, wParam, lParam);
        return TRUE;
    case WM_CAP_SET_SEQUENCE_SETUP:
        if (lParam && wParam >= sizeof driverSetup) {
            std::memcpy(&driverSetup, reinterpret_cast<const void*>(lParam), sizeof driverSetup);
        }
        return TRUE;
    case WM_CAP_GET_VIDEOFORMAT:
    case WM_CAP_GET_AUDIOFORMAT: {
        const std::vector<BYTE>& format =
            message == WM_CAP_GET_VIDEOFORMAT ? videoFormat : audioFormat;
        if (!lParam) {
            return LRESULT(format.size());
        }
        const std::size_t n = std::min<std::size_t>(wParam, format.size());
        std::memcpy(reinterpret_cast<void*>(lParam), format.data(), n);
        return LRESULT(n);
    }
    case WM_CAP_SET_AUDIOFORMAT:
        if (lParam) {
            const BYTE* bytes = reinterpret_cast<const BYTE*>(lParam);
            audioFormat.assign(bytes, bytes + wParam);
        }
        return TRUE;
    case WM_CAP_FILE_SET_CAPTURE_FILE:
        return acceptCaptureFile ? TRUE : FALSE;
    default:
        return TRUE;
    }
}

BOOL FakeKernel::GetVersionEx(OSVERSIONINFOA* info)
{
    if (versionQueryFails || !info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        return FALSE;
    }
    info->dwPlatformId = platformId;
    info->dwMajorVersion = majorVersion;
    return TRUE;
}

DWORD FakeKernel::Slept() const
{
    DWORD total = 0;
    for (DWORD s : sleeps) {
        total += s;
    }
    return total;
}

std::string Names(const std::vector<UINT>& ids)
{
    std::string text;
    for (UINT id : ids) {
        char name[16];
        std::snprintf(name, sizeof name, "%s%#x", text.empty() ? "" : ", ", id);
        text += name;
    }
    return text;
}

} // namespace vexol::test
