// The program's persistent state in the registry, below
// HKEY_LOCAL_MACHINE\Software\Torvane\Vexol\<section>, and the application's own
// settings (section "Window Info"). Every operation opens or creates its key anew and
// closes it before returning. Registry failures are silent: reads give the default,
// writes are skipped.
#pragma once

#include "platform/WinTypes.h"

#include <string>

class CCaptureWindow;

class RegistryStore
{
public:
    RegistryStore() = default;
    virtual ~RegistryStore();

    // A REG_DWORD of 4 bytes as 1 (not 0) or 0; `defaultValue` unchanged otherwise.
    BOOL ReadBool(const char* section, const char* name, BOOL defaultValue);
    // A REG_DWORD of 4 bytes as stored; `defaultValue` otherwise.
    DWORD ReadDword(const char* section, const char* name, DWORD defaultValue);
    // Stores `value` as REG_DWORD unless reading back (with `defaultValue`) gives it.
    void WriteBool(const char* section, const char* name, BOOL value, BOOL defaultValue);
    void WriteDword(const char* section, const char* name, DWORD value, DWORD defaultValue);

    // Reads a REG_SZ into `buffer` (`size` bytes) and returns its length. A missing
    // value, another type or one that does not fit with its terminator gives the default,
    // cut to fit the buffer. The buffer always ends up terminated when `size` > 0.
    DWORD ReadString(const char* section, const char* name, const char* defaultValue, char* buffer,
                     DWORD size);
    // Stores `value` as REG_SZ with its terminator; always writes.
    void WriteString(const char* section, const char* name, const char* value);

    // Reads a REG_BINARY of at most `size` bytes into `buffer` and returns its size.
    // Otherwise copies `size` bytes of `defaultData` (zeros when null) into the buffer
    // and returns `size`. With a null buffer it returns the stored size of a REG_BINARY
    // (`size` when there is none) and copies nothing.
    DWORD ReadBinary(const char* section, const char* name, BYTE* buffer, const BYTE* defaultData,
                     DWORD size);
    // Stores the bytes as REG_BINARY; always writes.
    void WriteBinary(const char* section, const char* name, const BYTE* data, DWORD size);

    // Loads and saves the "Window Info" settings: the first step of start-up and a last
    // step of shutdown.
    void LoadAppSettings();
    void SaveAppSettings();

    // The capture parameters of section "Settings Info": loaded into `window` once at
    // start-up after it was created, saved from it at exit (only while a driver is
    // connected) and after an audio format was chosen.
    void LoadCaptureSettings(CCaptureWindow& window);
    void SaveCaptureSettings(CCaptureWindow& window);
    // Stores the window's whole audio format buffer as "WaveFormatBinary" unless empty.
    void SaveWaveFormat(const CCaptureWindow& window);

    DWORD m_bOverlayWindow = 0;      // "Overlay Window"; kept and written back only
    std::string m_strSaveFolder;     // "Save Folder": initial folder of the save dialogs
    std::string m_strContinuousBase; // base file name of numbered stills (not stored)
    INT m_nContinuousCounter = 0;    // number of the last numbered still, 0 for none
    INT m_nJpegMode = 1;             // "Jpeg Mode": JPEG quality choice
    BOOL m_bClickwand = FALSE;       // "Clickwand": the shutter-switch command exists

protected:
    // The key of a section: "Software\Torvane\Vexol\" + section.
    static std::string SectionKey(const char* section);
    // Reads a 4-byte REG_DWORD; false when the key, the value or that type is missing.
    static bool QueryDword(const char* section, const char* name, DWORD& value);
    // Creates the section's key and stores one value; failures are skipped.
    static void StoreValue(const char* section, const char* name, DWORD type, const BYTE* data,
                           DWORD size);
};

// Converts text to a number the way the C library's atoi does (leading white space, a
// sign, digits up to the first non-digit; no digits give 0), saturating at the INT
// range instead of overflowing.
INT DecimalPrefixValue(const char* text);
