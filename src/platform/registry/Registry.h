// The registry calls the settings code is written against, served from the hive file
// (see Hive.h). Result codes and behaviour follow the platform's: ERROR_SUCCESS or a
// platform error code, never an exception.
//
// Keys are addressed by a root (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER) and a path of
// backslash-separated names. Key and value names compare case-insensitively (ASCII)
// and keep the case they were created with. A handle names a key by its path; every
// call sees the hive file as it is now (see HiveFile.h), and every change is one
// locked transaction on it. Keys nest at most 64 levels deep; a deeper key gives
// ERROR_INVALID_PARAMETER.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>
#include <cstdint>

struct HKEY__;
using HKEY = HKEY__*; // opaque; only the Reg* calls look behind it

inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t(0x80000001u));
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t(0x80000002u));

// Value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

// Limits: a key name (one path component) holds at most 255 bytes, a value name at
// most 16383, value data at most 1 MiB. Longer names or data give
// ERROR_INVALID_PARAMETER.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxValueNameLength = 16383;
inline constexpr DWORD kMaxValueDataSize = 1024 * 1024;

// Opens the existing key `subKey` below `key`. A null or empty `subKey` opens a new
// handle to `key` itself. ERROR_FILE_NOT_FOUND when the key does not exist,
// ERROR_KEY_DELETED when `key` itself no longer exists in the hive,
// ERROR_INVALID_HANDLE for a handle that is not open, ERROR_INVALID_PARAMETER for a
// null `result` or a malformed path (leading backslash, empty or overlong name, line
// break in a name). A single trailing backslash is accepted.
LONG RegOpenKeyA(HKEY key, const char* subKey, HKEY* result);

// Opens `subKey` below `key`, creating it and any missing parents. Errors as
// RegOpenKeyA, plus ERROR_ACCESS_DENIED (and other write errors) when the key is
// missing and the hive cannot be written.
LONG RegCreateKeyA(HKEY key, const char* subKey, HKEY* result);

// Reads value `valueName` (null or empty: the unnamed value). `reserved` must be null.
// `type`, `data` and `cbData` may each be null, except that `data` needs `cbData`.
// With `data` null and `cbData` set: ERROR_SUCCESS and *cbData = stored size. With a
// buffer smaller than the value: ERROR_MORE_DATA, *cbData = stored size, the buffer is
// left untouched. The type is reported in both cases. A missing value gives
// ERROR_FILE_NOT_FOUND.
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* cbData);

// Stores `cbData` bytes of `data` under `valueName` with `type`, exactly as given (a
// REG_SZ keeps its terminator only when the caller includes it). An existing value
// keeps the case of its name. `reserved` is ignored. ERROR_INVALID_PARAMETER for null
// data with a non-zero size or for an overlong name or value; ERROR_ACCESS_DENIED
// (and other write errors) when the hive cannot be written.
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD cbData);

// Closes a handle. Closing a predefined root succeeds and does nothing;
// ERROR_INVALID_HANDLE for a handle that is not open (closed twice, never opened).
LONG RegCloseKey(HKEY key);

namespace vexol::platform::registry {
// The number of handles open in this process (diagnostics and tests).
std::size_t OpenKeyHandleCount();
} // namespace vexol::platform::registry
