// The audio compression calls the application uses: acmMetrics for the largest format
// size, and acmFormatChooseA, the "Sound Selection" dialog that lets the user pick a PCM
// format, with a seam through which tests answer the dialog instead of a user.
#pragma once

#include "platform/WinTypes.h"
#include "platform/audio/MultimediaResults.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

struct AcmObject; // never defined: the only object this layer knows is "none" (null)
using HACMOBJ = AcmObject*;

inline constexpr UINT ACM_METRIC_MAX_SIZE_FORMAT = 50;

// With a null object and ACM_METRIC_MAX_SIZE_FORMAT writes, as a DWORD, the largest
// format record acmFormatChooseA can return: the chooser offers PCM only, so that is
// sizeof(WAVEFORMATEX), 18. MMSYSERR_INVALHANDLE for another object, MMSYSERR_NOTSUPPORTED
// for other metrics, MMSYSERR_INVALPARAM without `value`.
MMRESULT acmMetrics(HACMOBJ obj, UINT metric, void* value);

inline constexpr std::size_t ACMFORMATTAGDETAILS_FORMATTAG_CHARS = 48;
inline constexpr std::size_t ACMFORMATDETAILS_FORMAT_CHARS = 128;

inline constexpr DWORD ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT = 0x00000040;

inline constexpr DWORD ACM_FORMATENUMF_HARDWARE = 0x00400000;
inline constexpr DWORD ACM_FORMATENUMF_INPUT = 0x00800000;

using ACMFORMATCHOOSEHOOKPROCA = UINT (*)(HWND, UINT, WPARAM, LPARAM);

// Field order as published; pointers and handles take the build's size, so the record
// is 232 bytes in a 32-bit build and 272 bytes in a 64-bit one. Strings are UTF-8.
struct ACMFORMATCHOOSEA
{
    DWORD cbStruct;       // sizeof(ACMFORMATCHOOSEA)
    DWORD fdwStyle;       // ACMFORMATCHOOSE_STYLEF_*
    HWND hwndOwner;       // owner of the dialog, may be null
    WAVEFORMATEX* pwfx;   // in: the format to preselect; out: the chosen format
    DWORD cbwfx;          // size of the pwfx buffer
    const char* pszTitle; // null: the chooser's own title
    char szFormatTag[ACMFORMATTAGDETAILS_FORMATTAG_CHARS]; // out: "PCM"
    char szFormat[ACMFORMATDETAILS_FORMAT_CHARS];          // out: e.g. "44,100 Hz, 16 Bit, Stereo"
    char* pszName; // out: the name of a named format; set to "" (there are none)
    DWORD cchName;
    DWORD fdwEnum;               // ACM_FORMATENUMF_*: which formats are offered
    WAVEFORMATEX* pwfxEnum;      // unused: no enumeration flag that needs it is supported
    void* hInstance;             // templates are not supported: unused
    const char* pszTemplateName; // unused
    LPARAM lCustData;
    ACMFORMATCHOOSEHOOKPROCA pfnHook; // hooks are not supported: unused
};
static_assert(sizeof(void*) != 4 || sizeof(ACMFORMATCHOOSEA) == 232);
static_assert(sizeof(void*) != 8 || sizeof(ACMFORMATCHOOSEA) == 272);

// Shows the modal "Sound Selection" dialog ("サウンドの選択" in Japanese) with the PCM
// formats of CandidatePcmFormats; with ACM_FORMATENUMF_HARDWARE or ACM_FORMATENUMF_INPUT
// in fdwEnum only those the wave input device can record (the waveInOpen format query,
// the device opened once for all of them). With
// ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT the format in pwfx is preselected when offered.
// When nothing is offered, the dialog says so and only Cancel is enabled.
//
// Results: MMSYSERR_NOERROR after OK, with the chosen format written as an 18-byte
// WAVEFORMATEX (cbSize 0) at pwfx (the rest of the buffer untouched) and szFormatTag,
// szFormat and pszName filled; ACMERR_CANCELED when the user cancels (nothing written);
// ACMERR_NOTPOSSIBLE when cbwfx is below 18, before anything is shown; MMSYSERR_INVALPARAM
// for a null record or pwfx or a cbStruct below sizeof(ACMFORMATCHOOSEA);
// MMSYSERR_NOTSUPPORTED for style flags other than INITTOWFXSTRUCT (hooks, templates,
// help); MMSYSERR_INVALFLAG for other enumeration flags;
// MMSYSERR_ERROR off the UI thread or without a QApplication.
MMRESULT acmFormatChooseA(ACMFORMATCHOOSEA* choose);

namespace vexol::platform::audio {

// One chooser run as the dialog would show it.
struct SoundSelectionRequest
{
    HWND owner = nullptr;
    std::string title;
    std::vector<WAVEFORMATEX> offered; // in the order shown
    int preselected = -1;              // index into `offered`, -1 when none
};

// Answers the chooser instead of the dialog: returns the index of the chosen format in
// `offered`, or -1 to cancel (any index outside the list counts as a cancel). An empty
// handler restores the real dialog. Set it on the UI thread.
using SoundSelectionHandler = std::function<int(const SoundSelectionRequest&)>;
void SetSoundSelectionHandler(SoundSelectionHandler handler);

// What the chooser can offer before the device narrows it: 8000, 11025, 16000, 22050,
// 32000, 44100 and 48000 Hz, each as 8-bit mono, 8-bit stereo, 16-bit mono, 16-bit stereo.
std::vector<WAVEFORMATEX> CandidatePcmFormats();

} // namespace vexol::platform::audio
