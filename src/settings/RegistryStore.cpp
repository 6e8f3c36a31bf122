#include "settings/RegistryStore.h"

#include "capture/CCaptureWindow.h"
#include "platform/registry/Registry.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr const char* kKeyPrefix = "Software\\Torvane\\Vexol\\";
constexpr const char* kWindowInfo = "Window Info";
constexpr const char* kSettingsInfo = "Settings Info";
constexpr DWORD kPathBufferSize = 261; // 260 characters and the terminator

// Closes a registry key when it goes out of scope.
class ScopedKey
{
public:
    ScopedKey() = default;
    ~ScopedKey()
    {
        if (m_key) {
            RegCloseKey(m_key);
        }
    }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

    HKEY* Out() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

// Copies `text` into `buffer`, cut to fit, and returns the length copied.
DWORD CopyTerminated(const char* text, char* buffer, DWORD size)
{
    if (!buffer || size == 0) {
        return 0;
    }
    const std::size_t length = text ? std::strlen(text) : 0;
    const DWORD copied = DWORD(std::min<std::size_t>(length, size - 1));
    if (copied > 0) {
        std::memcpy(buffer, text, copied);
    }
    buffer[copied] = '\0';
    return copied;
}

} // namespace

RegistryStore::~RegistryStore() = default;

std::string RegistryStore::SectionKey(const char* section)
{
    return std::string(kKeyPrefix) + (section ? section : "");
}

bool RegistryStore::QueryDword(const char* section, const char* name, DWORD& value)
{
    ScopedKey key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, SectionKey(section).c_str(), key.Out()) != ERROR_SUCCESS) {
        return false;
    }
    DWORD type = REG_NONE;
    DWORD stored = 0;
    DWORD size = sizeof stored;
    // A REG_DWORD shorter than 4 bytes would leave part of the number unset: only a
    // full 4-byte value counts.
    if (RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&stored),
                         &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof stored) {
        return false;
    }
    value = stored;
    return true;
}

void RegistryStore::StoreValue(const char* section, const char* name, DWORD type, const BYTE* data,
                               DWORD size)
{
    ScopedKey key;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, SectionKey(section).c_str(), key.Out()) !=
        ERROR_SUCCESS) {
        return;
    }
    RegSetValueExA(key.Get(), name, 0, type, data, size);
}

BOOL RegistryStore::ReadBool(const char* section, const char* name, BOOL defaultValue)
{
    DWORD value = 0;
    if (!QueryDword(section, name, value)) {
        return defaultValue;
    }
    return value != 0 ? TRUE : FALSE;
}

DWORD RegistryStore::ReadDword(const char* section, const char* name, DWORD defaultValue)
{
    DWORD value = 0;
    return QueryDword(section, name, value) ? value : defaultValue;
}

void RegistryStore::WriteBool(const char* section, const char* name, BOOL value, BOOL defaultValue)
{
    if (ReadBool(section, name, defaultValue) == value) {
        return;
    }
    const DWORD stored = DWORD(value);
    StoreValue(section, name, REG_DWORD, reinterpret_cast<const BYTE*>(&stored), sizeof stored);
}

void RegistryStore::WriteDword(const char* section, const char* name, DWORD value,
                               DWORD defaultValue)
{
    if (ReadDword(section, name, defaultValue) == value) {
        return;
    }
    StoreValue(section, name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

DWORD RegistryStore::ReadString(const char* section, const char* name, const char* defaultValue,
                                char* buffer, DWORD size)
{
    if (!buffer || size == 0) {
        return 0;
    }
    ScopedKey key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, SectionKey(section).c_str(), key.Out()) == ERROR_SUCCESS) {
        DWORD type = REG_NONE;
        DWORD stored = size;
        if (RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                             &stored) == ERROR_SUCCESS &&
            type == REG_SZ) {
            // The text ends at the first NUL. A value stored without its terminator
            // still reads when the terminator fits after it; one that fills the whole
            // buffer without a NUL is too long, like any longer value.
            const char* end = static_cast<const char*>(std::memchr(buffer, '\0', stored));
            if (end) {
                return DWORD(end - buffer);
            }
            if (stored < size) {
                buffer[stored] = '\0';
                return stored;
            }
        }
    }
    return CopyTerminated(defaultValue, buffer, size);
}

void RegistryStore::WriteString(const char* section, const char* name, const char* value)
{
    const char* text = value ? value : "";
    StoreValue(section, name, REG_SZ, reinterpret_cast<const BYTE*>(text),
               DWORD(std::strlen(text) + 1));
}

DWORD RegistryStore::ReadBinary(const char* section, const char* name, BYTE* buffer,
                                const BYTE* defaultData, DWORD size)
{
    ScopedKey key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, SectionKey(section).c_str(), key.Out()) == ERROR_SUCCESS) {
        DWORD type = REG_NONE;
        DWORD stored = size;
        if (RegQueryValueExA(key.Get(), name, nullptr, &type, buffer, &stored) == ERROR_SUCCESS &&
            type == REG_BINARY) {
            return stored;
        }
    }
    if (buffer && size > 0) {
        if (defaultData) {
            std::memcpy(buffer, defaultData, size);
        } else {
            std::memset(buffer, 0, size);
        }
    }
    return size;
}

void RegistryStore::WriteBinary(const char* section, const char* name, const BYTE* data, DWORD size)
{
    if (!data && size > 0) {
        return;
    }
    StoreValue(section, name, REG_BINARY, data, size);
}

void RegistryStore::LoadAppSettings()
{
    char buffer[kPathBufferSize];
    m_bOverlayWindow = ReadDword(kWindowInfo, "Overlay Window", 0);
    const DWORD length = ReadString(kWindowInfo, "Save Folder", "", buffer, sizeof buffer);
    m_strSaveFolder.assign(buffer, length);
    m_nJpegMode = INT(ReadDword(kWindowInfo, "Jpeg Mode", 1));
    ReadString(kWindowInfo, "Clickwand", "", buffer, sizeof buffer);
    m_bClickwand = DecimalPrefixValue(buffer) != 0 ? TRUE : FALSE;
}

void RegistryStore::SaveAppSettings()
{
    WriteDword(kWindowInfo, "Overlay Window", m_bOverlayWindow, 0);
    WriteString(kWindowInfo, "Save Folder", m_strSaveFolder.c_str());
    WriteDword(kWindowInfo, "Jpeg Mode", DWORD(m_nJpegMode), 1);
}

// Defaults of the capture parameters, the same for loading and for the comparison of
// saving. "CaptureAudio" uses FALSE on both sides, so that a chosen TRUE is written and
// comes back at the next start.
namespace CaptureDefaults {
constexpr DWORD kMicroSecPerFrame = 66666;
constexpr BOOL kCaptureAudio = FALSE;
constexpr BOOL kLimitEnabled = FALSE;
constexpr DWORD kTimeLimit = 30;
constexpr BOOL kMciControl = FALSE;
constexpr BOOL kStepMciDevice = FALSE;
constexpr DWORD kMciStartTime = 10000;
constexpr DWORD kMciStopTime = 20000;
constexpr BOOL kStepCapture2x = FALSE;
constexpr DWORD kStepCaptureAverageFrames = 3;
constexpr DWORD kAvStreamMaster = 0;
constexpr BOOL kCaptureToDisk = TRUE;
constexpr DWORD kIndexSize = 27000;
constexpr const char* kMciDevice = "VideoDisc";
} // namespace CaptureDefaults

void RegistryStore::LoadCaptureSettings(CCaptureWindow& window)
{
    namespace d = CaptureDefaults;
    const char* s = kSettingsInfo;
    try {
        char buffer[kPathBufferSize];
        ReadString(s, "CaptureFile", "", buffer, sizeof buffer);
        window.SetCaptureFile(buffer);

        ReadString(s, "MCIDevice", d::kMciDevice, buffer, sizeof buffer);
        window.SetMciDeviceName(buffer);

        CAPTUREPARMS p = window.GetSequenceSetup();
        p.dwRequestMicroSecPerFrame = ReadDword(s, "MicroSecPerFrame", d::kMicroSecPerFrame);
        p.fCaptureAudio = ReadBool(s, "CaptureAudio", d::kCaptureAudio);
        p.fLimitEnabled = ReadBool(s, "LimitEnabled", d::kLimitEnabled);
        p.wTimeLimit = ReadDword(s, "TimeLimit", d::kTimeLimit);
        p.fMCIControl = ReadBool(s, "MCIControl", d::kMciControl);
        p.fStepMCIDevice = ReadBool(s, "StepMCIDevice", d::kStepMciDevice);
        p.dwMCIStartTime = ReadDword(s, "MCIStartTime", d::kMciStartTime);
        p.dwMCIStopTime = ReadDword(s, "MCIStopTime", d::kMciStopTime);
        p.fStepCaptureAt2x = ReadBool(s, "StepCapture2x", d::kStepCapture2x);
        p.wStepCaptureAverageFrames =
            ReadDword(s, "StepCaptureAverageFrames", d::kStepCaptureAverageFrames);
        p.AVStreamMaster = ReadDword(s, "AVStreamMaster", d::kAvStreamMaster);
        p.fUsingDOSMemory = ReadBool(s, "CaptureToDisk", d::kCaptureToDisk);
        p.dwIndexSize = ReadDword(s, "IndexSize", d::kIndexSize);
        window.SetSequenceSetup(p);

        ReadString(s, "MessageHide", "", buffer, sizeof buffer);
        window.CheckHideMessages(DecimalPrefixValue(buffer) != 0 ? TRUE : FALSE);

        const DWORD storedSize = ReadBinary(s, "WaveFormatBinary", nullptr, nullptr, 0);
        if (storedSize > 0) {
            // A value that changed size or type since the size was read gives zeros,
            // which no wave input device accepts as a format.
            std::vector<BYTE> stored(storedSize);
            const DWORD read =
                ReadBinary(s, "WaveFormatBinary", stored.data(), nullptr, storedSize);
            stored.resize(std::min(read, storedSize));
            window.RestoreAudioFormat(stored);
        }
    } catch (const std::bad_alloc&) {
        // Out of memory: the values read so far stay.
    }
}

void RegistryStore::SaveCaptureSettings(CCaptureWindow& window)
{
    if (!window.IsDriverConnected()) {
        return;
    }
    namespace d = CaptureDefaults;
    const char* s = kSettingsInfo;
    WriteString(s, "CaptureFile", window.GetCaptureFile(FALSE).c_str());
    WriteString(s, "MCIDevice", window.GetMciDeviceName().c_str());
    const CAPTUREPARMS& p = window.GetSequenceSetup();
    WriteDword(s, "MicroSecPerFrame", p.dwRequestMicroSecPerFrame, d::kMicroSecPerFrame);
    WriteBool(s, "CaptureAudio", p.fCaptureAudio ? TRUE : FALSE, d::kCaptureAudio);
    WriteBool(s, "LimitEnabled", p.fLimitEnabled ? TRUE : FALSE, d::kLimitEnabled);
    WriteDword(s, "TimeLimit", p.wTimeLimit, d::kTimeLimit);
    WriteBool(s, "MCIControl", p.fMCIControl ? TRUE : FALSE, d::kMciControl);
    WriteBool(s, "StepMCIDevice", p.fStepMCIDevice ? TRUE : FALSE, d::kStepMciDevice);
    WriteDword(s, "MCIStartTime", p.dwMCIStartTime, d::kMciStartTime);
    WriteDword(s, "MCIStopTime", p.dwMCIStopTime, d::kMciStopTime);
    WriteBool(s, "StepCapture2x", p.fStepCaptureAt2x ? TRUE : FALSE, d::kStepCapture2x);
    WriteDword(s, "StepCaptureAverageFrames", p.wStepCaptureAverageFrames,
               d::kStepCaptureAverageFrames);
    WriteDword(s, "AVStreamMaster", p.AVStreamMaster, d::kAvStreamMaster);
    WriteBool(s, "CaptureToDisk", p.fUsingDOSMemory ? TRUE : FALSE, d::kCaptureToDisk);
    WriteDword(s, "IndexSize", p.dwIndexSize, d::kIndexSize);
}

void RegistryStore::SaveWaveFormat(const CCaptureWindow& window)
{
    const std::vector<BYTE>& format = window.GetAudioFormatBuffer();
    if (format.empty()) {
        return;
    }
    WriteBinary(kSettingsInfo, "WaveFormatBinary", format.data(), DWORD(format.size()));
}

INT DecimalPrefixValue(const char* text)
{
    if (!text) {
        return 0;
    }
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > -(long long)INT_MIN) {
            value = -(long long)INT_MIN; // saturate, keeping the value non-zero
        }
    }
    if (negative) {
        value = -value;
    }
    return INT(std::clamp<long long>(value, INT_MIN, INT_MAX));
}
