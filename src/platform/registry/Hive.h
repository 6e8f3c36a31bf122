// The registry hive: the tree of keys and values, its text form and its file.
//
// Text form, UTF-8, in the registry's export syntax:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\Software\Torvane\Vexol\Window Info]
//   "Save Folder"="C:\\Capture"
//   @="unnamed value"
//   "Jpeg Mode"=dword:00000002
//   "Format"=hex:01,00,02,00,\      (a trailing backslash: the list goes on)
//     44,ac,00,00
//   "Odd text"=hex(1):61,62
//
// A quoted string is a REG_SZ with its terminator; the escapes are \\ and \". REG_SZ
// data that a quoted string cannot carry exactly (no terminator, an embedded NUL, a
// control character such as a line break, bytes that are not UTF-8) is written as
// hex(1). REG_DWORD data of 4 bytes is written as dword:, REG_BINARY as hex:, every
// other type as hex(N): with N in hexadecimal. The parser also takes ';' comment
// lines, blank lines, CRLF line ends, a UTF-8 byte order mark and hex lists continued
// over lines with a trailing backslash; anything else makes the whole text malformed.
//
// File: one hive file (HivePath). Reads take no lock: writers replace the file by
// rename, so a reader sees the old or the new file whole. Every change is a
// transaction under an exclusive flock on "<hive>.lock": read, change, write a
// temporary file "<hive>.tmp-XXXXXX", rename it over the hive. A hive that cannot be
// parsed reads as empty and is moved aside to "<hive>.bad" (or .bad.1, .bad.2, ... so
// that no earlier copy is overwritten) before a transaction writes over it.
#pragma once

#include "platform/WinTypes.h"

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexol::platform::registry {

// ASCII case-insensitive comparison of key and value names.
bool NamesEqual(std::string_view a, std::string_view b);
bool NameLess(std::string_view a, std::string_view b);

struct RegistryValue
{
    std::string name; // empty for the unnamed value
    DWORD type = 0;
    std::vector<BYTE> data;

    bool operator==(const RegistryValue&) const = default;
};

// One key: its name, its values and its subkeys, both kept in case-insensitive name
// order. Equality compares names exactly, so it also checks that case was kept.
class RegistryKey
{
public:
    RegistryKey() = default;
    explicit RegistryKey(std::string name) : m_name(std::move(name)) {}

    const std::string& Name() const { return m_name; }
    const std::vector<RegistryValue>& Values() const { return m_values; }
    const std::vector<RegistryKey>& Subkeys() const { return m_subkeys; }

    const RegistryKey* FindSubkey(std::string_view name) const;
    RegistryKey* FindSubkey(std::string_view name);
    // Returns the subkey, adding it under `name` when missing. A reference stays valid
    // until the next subkey is added to this key.
    RegistryKey& CreateSubkey(std::string_view name, bool* created = nullptr);

    const RegistryValue* FindValue(std::string_view name) const;
    // Stores a value; an existing value keeps the case of its name. Returns true when
    // this changed anything.
    bool SetValue(std::string_view name, DWORD type, std::span<const BYTE> data);

    bool operator==(const RegistryKey&) const = default;

private:
    std::string m_name;
    std::vector<RegistryValue> m_values;
    std::vector<RegistryKey> m_subkeys;
};

enum class RootKey { CurrentUser, LocalMachine };

class Hive
{
public:
    Hive();

    RegistryKey& Root(RootKey root);
    const RegistryKey& Root(RootKey root) const;

    // The key at `path` below `root` (an empty path is the root), or null.
    const RegistryKey* Find(RootKey root, std::span<const std::string> path) const;
    RegistryKey* Find(RootKey root, std::span<const std::string> path);
    // The key at `path`, created with any missing parents. `created` tells whether
    // anything was added.
    RegistryKey& Create(RootKey root, std::span<const std::string> path, bool* created = nullptr);

    // Parses the text form. On success replaces this hive's content and returns true;
    // on malformed text returns false and leaves this hive empty.
    bool Parse(std::string_view text);
    // The text form; Parse(Serialise()) gives an equal hive.
    std::string Serialise() const;

    bool operator==(const Hive&) const = default;

private:
    RegistryKey m_currentUser;
    RegistryKey m_localMachine;
};

// The hive file: $VEXOL_REGISTRY when set and not empty, else
// $XDG_CONFIG_HOME/vexol/registry.reg (when that is an absolute path), else
// $HOME/.config/vexol/registry.reg. Read from the environment at each call. Empty
// when none of them is known.
std::string HivePath();

// Reads the hive file into `hive`. A missing file or one that cannot be parsed gives an
// empty hive and ERROR_SUCCESS; a file that exists but cannot be read gives an empty
// hive and an error (ERROR_ACCESS_DENIED, ...).
LONG ReadHiveFile(Hive& hive);

// One change transaction on the hive file. `change` gets the current hive (empty when
// missing or malformed) and sets `changed` when it altered it; when it returns
// ERROR_SUCCESS with `changed` set, the hive is written back. Returns the result of
// `change`, or the write's error: ERROR_ACCESS_DENIED when the folder or file cannot
// be written, ERROR_HANDLE_DISK_FULL, ERROR_WRITE_FAULT. Missing folders are created.
// A hive file that exists but cannot be read is never written over.
LONG UpdateHiveFile(const std::function<LONG(Hive& hive, bool& changed)>& change);

} // namespace vexol::platform::registry
