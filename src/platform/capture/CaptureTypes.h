// The capture service's public vocabulary: window messages with their published
// numbers, the records that pass between the application and the service, the callback
// procedure types and the status and error IDs the service reports.
//
// Records keep their published field order. Those without pointers keep their published
// size; those holding handles or pointers take the build's pointer size.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>
#include <cstdint>

using LONG_PTR = std::intptr_t;
using DWORD_PTR = std::uintptr_t;
using LPBYTE = BYTE*;

// ---- Window messages ------------------------------------------------------------------

inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_CAP_START = WM_USER;

inline constexpr UINT WM_CAP_SET_CALLBACK_ERROR = WM_CAP_START + 2;
inline constexpr UINT WM_CAP_SET_CALLBACK_STATUS = WM_CAP_START + 3;
inline constexpr UINT WM_CAP_SET_CALLBACK_YIELD = WM_CAP_START + 4;
inline constexpr UINT WM_CAP_SET_CALLBACK_VIDEOSTREAM = WM_CAP_START + 6;
inline constexpr UINT WM_CAP_GET_USER_DATA = WM_CAP_START + 8;
inline constexpr UINT WM_CAP_SET_USER_DATA = WM_CAP_START + 9;
inline constexpr UINT WM_CAP_DRIVER_CONNECT = WM_CAP_START + 10;
inline constexpr UINT WM_CAP_DRIVER_DISCONNECT = WM_CAP_START + 11;
inline constexpr UINT WM_CAP_DRIVER_GET_NAME = WM_CAP_START + 12;
inline constexpr UINT WM_CAP_DRIVER_GET_VERSION = WM_CAP_START + 13;
inline constexpr UINT WM_CAP_DRIVER_GET_CAPS = WM_CAP_START + 14;
inline constexpr UINT WM_CAP_FILE_SET_CAPTURE_FILE = WM_CAP_START + 20;
inline constexpr UINT WM_CAP_FILE_GET_CAPTURE_FILE = WM_CAP_START + 21;
inline constexpr UINT WM_CAP_FILE_ALLOCATE = WM_CAP_START + 22;
inline constexpr UINT WM_CAP_FILE_SAVEAS = WM_CAP_START + 23;
inline constexpr UINT WM_CAP_FILE_SAVEDIB = WM_CAP_START + 25;
inline constexpr UINT WM_CAP_EDIT_COPY = WM_CAP_START + 30;
inline constexpr UINT WM_CAP_SET_AUDIOFORMAT = WM_CAP_START + 35;
inline constexpr UINT WM_CAP_GET_AUDIOFORMAT = WM_CAP_START + 36;
inline constexpr UINT WM_CAP_DLG_VIDEOFORMAT = WM_CAP_START + 41;
inline constexpr UINT WM_CAP_DLG_VIDEOSOURCE = WM_CAP_START + 42;
inline constexpr UINT WM_CAP_DLG_VIDEODISPLAY = WM_CAP_START + 43;
inline constexpr UINT WM_CAP_GET_VIDEOFORMAT = WM_CAP_START + 44;
inline constexpr UINT WM_CAP_SET_VIDEOFORMAT = WM_CAP_START + 45;
inline constexpr UINT WM_CAP_SET_PREVIEW = WM_CAP_START + 50;
inline constexpr UINT WM_CAP_SET_OVERLAY = WM_CAP_START + 51;
inline constexpr UINT WM_CAP_SET_PREVIEWRATE = WM_CAP_START + 52;
inline constexpr UINT WM_CAP_SET_SCALE = WM_CAP_START + 53;
inline constexpr UINT WM_CAP_GET_STATUS = WM_CAP_START + 54;
inline constexpr UINT WM_CAP_GRAB_FRAME = WM_CAP_START + 60;
inline constexpr UINT WM_CAP_GRAB_FRAME_NOSTOP = WM_CAP_START + 61;
inline constexpr UINT WM_CAP_SEQUENCE = WM_CAP_START + 62;
inline constexpr UINT WM_CAP_SEQUENCE_NOFILE = WM_CAP_START + 63;
inline constexpr UINT WM_CAP_SET_SEQUENCE_SETUP = WM_CAP_START + 64;
inline constexpr UINT WM_CAP_GET_SEQUENCE_SETUP = WM_CAP_START + 65;
inline constexpr UINT WM_CAP_STOP = WM_CAP_START + 68;
inline constexpr UINT WM_CAP_ABORT = WM_CAP_START + 69;

// ---- Window styles and window data -------------------------------------------------------

inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;

inline constexpr int GWL_USERDATA = -21;
inline constexpr int GWLP_USERDATA = -21;

// Number of driver indexes the service answers for.
inline constexpr UINT MAXVIDDRIVERS = 10;

// ---- Records ---------------------------------------------------------------------------

struct CAPDRIVERCAPS
{
    UINT wDeviceIndex;
    BOOL fHasOverlay;
    BOOL fHasDlgVideoSource;
    BOOL fHasDlgVideoFormat;
    BOOL fHasDlgVideoDisplay;
    BOOL fCaptureInitialized;
    BOOL fDriverSuppliesPalettes;
    void* hVideoIn; // driver channel handles; not used by this service (always null)
    void* hVideoOut;
    void* hVideoExtIn;
    void* hVideoExtOut;
};
static_assert(sizeof(CAPDRIVERCAPS) == 7 * 4 + (sizeof(void*) == 8 ? 4 : 0) + 4 * sizeof(void*));
static_assert(offsetof(CAPDRIVERCAPS, fHasDlgVideoDisplay) == 16);

struct CAPSTATUS
{
    UINT uiImageWidth;
    UINT uiImageHeight;
    BOOL fLiveWindow;
    BOOL fOverlayWindow;
    BOOL fScale;
    POINT ptScroll;
    BOOL fUsingDefaultPalette;
    BOOL fAudioHardware;
    BOOL fCapFileExists;
    DWORD dwCurrentVideoFrame;
    DWORD dwCurrentVideoFramesDropped;
    DWORD dwCurrentWaveSamples;
    DWORD dwCurrentTimeElapsedMS;
    void* hPalCurrent; // palette handle; always null here (8-bit formats carry their colours)
    BOOL fCapturingNow;
    DWORD dwReturn;
    UINT wNumVideoAllocated;
    UINT wNumAudioAllocated;
};
static_assert(sizeof(void*) != 4 || sizeof(CAPSTATUS) == 76);
static_assert(offsetof(CAPSTATUS, fAudioHardware) == 32);
static_assert(offsetof(CAPSTATUS, fCapturingNow) == 56 + sizeof(void*));

struct CAPTUREPARMS
{
    DWORD dwRequestMicroSecPerFrame;
    BOOL fMakeUserHitOKToCapture;
    UINT wPercentDropForError;
    BOOL fYield;
    DWORD dwIndexSize;
    UINT wChunkGranularity;
    BOOL fUsingDOSMemory;
    UINT wNumVideoRequested;
    BOOL fCaptureAudio;
    UINT wNumAudioRequested;
    UINT vKeyAbort;
    BOOL fAbortLeftMouse;
    BOOL fAbortRightMouse;
    BOOL fLimitEnabled;
    UINT wTimeLimit;
    BOOL fMCIControl;
    BOOL fStepMCIDevice;
    DWORD dwMCIStartTime;
    DWORD dwMCIStopTime;
    BOOL fStepCaptureAt2x;
    UINT wStepCaptureAverageFrames;
    DWORD dwAudioBufferSize;
    BOOL fDisableWriteCache;
    UINT AVStreamMaster;
};
static_assert(sizeof(CAPTUREPARMS) == 96);
static_assert(offsetof(CAPTUREPARMS, vKeyAbort) == 40);

inline constexpr UINT AVSTREAMMASTER_AUDIO = 0;
inline constexpr UINT AVSTREAMMASTER_NONE = 1;

struct VIDEOHDR
{
    LPBYTE lpData;
    DWORD dwBufferLength;
    DWORD dwBytesUsed;
    DWORD dwTimeCaptured; // milliseconds since the capture began
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD_PTR dwReserved[4];
};
static_assert(offsetof(VIDEOHDR, dwBytesUsed) == sizeof(void*) + 4);

inline constexpr DWORD VHDR_DONE = 0x00000001;
inline constexpr DWORD VHDR_PREPARED = 0x00000002;
inline constexpr DWORD VHDR_INQUEUE = 0x00000004;
inline constexpr DWORD VHDR_KEYFRAME = 0x00000008;

// ---- Callback procedures -----------------------------------------------------------------

using CAPERRORCALLBACK = LRESULT (*)(HWND hwnd, int id, const char* text);
using CAPSTATUSCALLBACK = LRESULT (*)(HWND hwnd, int id, const char* text);
using CAPYIELDCALLBACK = LRESULT (*)(HWND hwnd);
using CAPVIDEOCALLBACK = LRESULT (*)(HWND hwnd, VIDEOHDR* header);

// ---- Status and error IDs ---------------------------------------------------------------

inline constexpr int IDS_CAP_BEGIN = 300;              // capture begins
inline constexpr int IDS_CAP_END = 301;                // capture ends
inline constexpr int IDS_CAP_STAT_PROMPT = 411;        // how to stop the capture
inline constexpr int IDS_CAP_STAT_LIVE_MODE = 500;     // the window shows preview
inline constexpr int IDS_CAP_STAT_OVERLAY_MODE = 501;  // the window shows overlay
inline constexpr int IDS_CAP_STAT_CAP_INIT = 502;      // setting up for capture
inline constexpr int IDS_CAP_STAT_CAP_FINI = 503;      // capture finished, writing frames
inline constexpr int IDS_CAP_STAT_VIDEOCURRENT = 510;  // frames captured so far
inline constexpr int IDS_CAP_STAT_VIDEOAUDIO = 511;    // final summary with audio
inline constexpr int IDS_CAP_STAT_VIDEOONLY = 512;     // final summary, video only
inline constexpr int IDS_CAP_STAT_FRAMESDROPPED = 513; // too many frames dropped (error)
// This service's own error: the device stopped delivering frames during a capture.
inline constexpr int IDS_CAP_DRIVER_FAILED = 999;
// This service's own errors of a capture into a file: the file cannot be made, written,
// allocated or copied; the index is full; the audio device failed during the capture.
inline constexpr int IDS_CAP_FILE_ERROR = 998;
inline constexpr int IDS_CAP_INDEX_FULL = 997;
inline constexpr int IDS_CAP_AUDIO_FAILED = 996;
// A warning of the copy: the capture file was cut short and the movie rebuilt from it.
inline constexpr int IDS_CAP_FILE_REBUILT = 995;

// ---- Frame formats --------------------------------------------------------------------

// Planar YUV 4:2:0 with a trailing byte whose bit 0 is the shutter-switch state.
inline constexpr DWORD FOURCC_PL41 = 0x31344C50; // "PL41" in memory order
