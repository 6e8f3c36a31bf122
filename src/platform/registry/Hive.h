// The registry hive in memory: the tree of keys and values, and its text form.
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
// over lines with a trailing backslash.
//
// Damage: a line that does not parse is skipped together with the key section it
// belongs to (the values under that [key] line); everything else is kept. Text that
// is not a hive at all (no REGEDIT4 header), or with a key deeper than kMaxKeyDepth
// levels, is unreadable as a whole.
//
// Nothing walks the tree by recursion: parsing, writing, comparing and destroying use
// explicit stacks, so a hostile file cannot exhaust the call stack. Lookups go through
// hash tables and do not slow down with the number of keys.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vexol::platform::registry {

// Keys nest at most this deep below a root (ours are four deep).
inline constexpr std::size_t kMaxKeyDepth = 64;

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

// Hashing and comparison of names, ASCII case folded, usable with string_view keys.
struct NameHash
{
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const;
};
struct NameEqual
{
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return NamesEqual(a, b); }
};

// One key: its name, its values and its subkeys. Names are unique ignoring ASCII case
// and keep the case they were created with.
class RegistryKey
{
public:
    explicit RegistryKey(std::string name);
    ~RegistryKey(); // destroys the subtree without recursion
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    const std::string& Name() const { return m_name; }
    std::size_t ValueCount() const { return m_values.size(); }
    std::size_t SubkeyCount() const { return m_subkeys.size(); }
    // Values and subkeys in case-insensitive name order.
    std::vector<const RegistryValue*> Values() const;
    std::vector<const RegistryKey*> Subkeys() const;

    const RegistryKey* FindSubkey(std::string_view name) const;
    RegistryKey* FindSubkey(std::string_view name);
    // Returns the subkey, adding it under `name` when missing. References stay valid
    // as long as the hive does.
    RegistryKey& CreateSubkey(std::string_view name, bool* created = nullptr);

    const RegistryValue* FindValue(std::string_view name) const;
    // Stores a value; an existing value keeps the case of its name. Returns true when
    // this changed anything.
    bool SetValue(std::string_view name, DWORD type, std::span<const BYTE> data);

private:
    std::string m_name;
    // Held by pointer so that the index's views of their names stay valid.
    std::vector<std::unique_ptr<RegistryValue>> m_values;
    std::unordered_map<std::string_view, RegistryValue*, NameHash, NameEqual> m_valueIndex;
    std::vector<std::unique_ptr<RegistryKey>> m_subkeys;
    std::unordered_map<std::string_view, RegistryKey*, NameHash, NameEqual> m_subkeyIndex;
};

enum class RootKey { CurrentUser, LocalMachine };

// What parsing a text made of it.
enum class HiveParse {
    Complete,   // every line parsed
    Partial,    // some key sections were skipped; the rest is in the hive
    Unreadable, // not a hive at all; the hive is empty
};

class Hive
{
public:
    Hive();
    Hive(Hive&&) noexcept = default;
    Hive& operator=(Hive&&) noexcept = default;

    RegistryKey& Root(RootKey root);
    const RegistryKey& Root(RootKey root) const;

    // The key at `path` below `root` (an empty path is the root), or null.
    const RegistryKey* Find(RootKey root, std::span<const std::string> path) const;
    RegistryKey* Find(RootKey root, std::span<const std::string> path);
    // The key at `path`, created with any missing parents. `created` tells whether
    // anything was added. The caller keeps paths within kMaxKeyDepth.
    RegistryKey& Create(RootKey root, std::span<const std::string> path, bool* created = nullptr);

    // Parses the text form, replacing this hive's content with what it holds.
    HiveParse Parse(std::string_view text);
    // The text form; Parse(Serialise()) gives an equal hive, Complete.
    std::string Serialise() const;

    // Same keys, values and name case.
    bool operator==(const Hive& other) const;

private:
    std::unique_ptr<RegistryKey> m_currentUser;
    std::unique_ptr<RegistryKey> m_localMachine;
};

} // namespace vexol::platform::registry
