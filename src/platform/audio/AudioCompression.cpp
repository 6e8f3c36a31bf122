#include "platform/audio/AudioCompression.h"

#include "platform/audio/AlsaCapture.h"
#include "platform/audio/SoundSelectionDialog.h"
#include "platform/audio/WaveFormat.h"
#include "platform/audio/WaveInput.h"
#include "platform/framework/Resources.h"

#include <QApplication>
#include <QThread>

#include <algorithm>
#include <cstring>

namespace vexol::platform::audio {
namespace {

constexpr DWORD kDeviceFilters = ACM_FORMATENUMF_HARDWARE | ACM_FORMATENUMF_INPUT;

// Touched on the UI thread only, like the dialog it stands in for.
SoundSelectionHandler& CurrentHandler()
{
    static SoundSelectionHandler handler;
    return handler;
}

std::vector<WAVEFORMATEX> OfferedFormats(DWORD enumFlags)
{
    std::vector<WAVEFORMATEX> offered = CandidatePcmFormats();
    if (enumFlags & kDeviceFilters) {
        // One open device answers for every format; no device means none is offered.
        CaptureFormatProbe probe(WaveInputDevice());
        std::erase_if(offered, [&](const WAVEFORMATEX& format) {
            return probe.Query(format) != MMSYSERR_NOERROR;
        });
    }
    return offered;
}

// Copies UTF-8 `text` into a fixed field, cut at a character boundary, always terminated.
void CopyToField(char* field, std::size_t capacity, const std::string& text)
{
    if (capacity == 0)
        return;
    std::size_t length = std::min(text.size(), capacity - 1);
    while (length > 0 && length < text.size() && (BYTE(text[length]) & 0xC0) == 0x80)
        --length; // do not split a multi-byte character
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

// Runs the real dialog. False when no dialog can be shown here.
bool ShowDialog(const SoundSelectionRequest& request, int& chosen)
{
    if (QApplication::instance() == nullptr ||
        QThread::currentThread() != QApplication::instance()->thread())
        return false;
    SoundSelectionDialog dialog(request, res::UserLanguage());
    dialog.exec();
    chosen = dialog.ChosenIndex();
    return true;
}

} // namespace

void SetSoundSelectionHandler(SoundSelectionHandler handler)
{
    CurrentHandler() = std::move(handler);
}

std::vector<WAVEFORMATEX> CandidatePcmFormats()
{
    static constexpr DWORD kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
    std::vector<WAVEFORMATEX> formats;
    for (DWORD rate : kRates) {
        for (WORD bits : {WORD(8), WORD(16)}) {
            for (WORD channels : {WORD(1), WORD(2)})
                formats.push_back(MakePcmFormat(rate, bits, channels));
        }
    }
    return formats;
}

} // namespace vexol::platform::audio

MMRESULT acmMetrics(HACMOBJ obj, UINT metric, void* value)
{
    if (obj != nullptr)
        return MMSYSERR_INVALHANDLE;
    if (metric != ACM_METRIC_MAX_SIZE_FORMAT)
        return MMSYSERR_NOTSUPPORTED;
    if (value == nullptr)
        return MMSYSERR_INVALPARAM;
    const DWORD largest = sizeof(WAVEFORMATEX); // PCM only
    std::memcpy(value, &largest, sizeof largest);
    return MMSYSERR_NOERROR;
}

MMRESULT acmFormatChooseA(ACMFORMATCHOOSEA* choose)
{
    using namespace vexol::platform::audio;
    namespace res = vexol::res;
    if (choose == nullptr || choose->cbStruct < sizeof(ACMFORMATCHOOSEA) || choose->pwfx == nullptr)
        return MMSYSERR_INVALPARAM;
    if ((choose->fdwStyle & ~ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT) != 0)
        return MMSYSERR_NOTSUPPORTED;
    if ((choose->fdwEnum & ~kDeviceFilters) != 0)
        return MMSYSERR_INVALFLAG;
    // Refused before the user is asked: a choice that cannot be delivered is no choice.
    if (choose->cbwfx < sizeof(WAVEFORMATEX))
        return ACMERR_NOTPOSSIBLE;

    const res::Language language = res::UserLanguage();
    SoundSelectionRequest request;
    request.owner = choose->hwndOwner;
    if (choose->pszTitle != nullptr)
        request.title = choose->pszTitle;
    else
        request.title = language == res::Language::Japanese ? "サウンドの選択" : "Sound Selection";
    request.offered = OfferedFormats(choose->fdwEnum);
    if ((choose->fdwStyle & ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT) &&
        ValidatePcmFormat(choose->pwfx) == MMSYSERR_NOERROR) {
        const WAVEFORMATEX current = ReadPcmFields(choose->pwfx);
        for (std::size_t i = 0; i < request.offered.size(); ++i) {
            if (SamePcmFormat(request.offered[i], current))
                request.preselected = int(i);
        }
    }

    int chosen = -1;
    if (CurrentHandler())
        chosen = CurrentHandler()(request);
    else if (!ShowDialog(request, chosen))
        return MMSYSERR_ERROR;
    if (chosen < 0 || std::size_t(chosen) >= request.offered.size())
        return ACMERR_CANCELED;

    const WAVEFORMATEX& format = request.offered[std::size_t(chosen)];
    std::memcpy(choose->pwfx, &format, sizeof format);
    CopyToField(choose->szFormatTag, sizeof choose->szFormatTag, "PCM");
    CopyToField(choose->szFormat, sizeof choose->szFormat, DescribePcmFormat(format, language));
    if (choose->pszName != nullptr)
        CopyToField(choose->pszName, choose->cchName, "");
    return MMSYSERR_NOERROR;
}
