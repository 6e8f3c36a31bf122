#include "platform/registry/Hive.h"

#include "platform/AtomicFile.h"
#include "platform/registry/Registry.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace vexol::platform::registry {

// ---------------------------------------------------------------------------
// Names and the key tree

namespace {

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

} // namespace

bool NamesEqual(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

bool NameLess(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(AsciiLower(a[i]));
        const auto cb = static_cast<unsigned char>(AsciiLower(b[i]));
        if (ca != cb) {
            return ca < cb;
        }
    }
    return a.size() < b.size();
}

namespace {

// Finds the position of `name` in a vector kept in case-insensitive name order.
template <class Item, class NameOf>
std::size_t FindPosition(const std::vector<Item>& items, std::string_view name, NameOf nameOf)
{
    const auto it = std::lower_bound(
        items.begin(), items.end(), name,
        [&](const Item& item, std::string_view n) { return NameLess(nameOf(item), n); });
    return std::size_t(it - items.begin());
}

const std::string& KeyName(const RegistryKey& key)
{
    return key.Name();
}
const std::string& ValueName(const RegistryValue& value)
{
    return value.name;
}

} // namespace

const RegistryKey* RegistryKey::FindSubkey(std::string_view name) const
{
    const std::size_t pos = FindPosition(m_subkeys, name, KeyName);
    if (pos < m_subkeys.size() && NamesEqual(m_subkeys[pos].Name(), name)) {
        return &m_subkeys[pos];
    }
    return nullptr;
}

RegistryKey* RegistryKey::FindSubkey(std::string_view name)
{
    return const_cast<RegistryKey*>(std::as_const(*this).FindSubkey(name));
}

RegistryKey& RegistryKey::CreateSubkey(std::string_view name, bool* created)
{
    const std::size_t pos = FindPosition(m_subkeys, name, KeyName);
    if (pos < m_subkeys.size() && NamesEqual(m_subkeys[pos].Name(), name)) {
        if (created) {
            *created = false;
        }
        return m_subkeys[pos];
    }
    if (created) {
        *created = true;
    }
    return *m_subkeys.insert(m_subkeys.begin() + std::ptrdiff_t(pos),
                             RegistryKey(std::string(name)));
}

const RegistryValue* RegistryKey::FindValue(std::string_view name) const
{
    const std::size_t pos = FindPosition(m_values, name, ValueName);
    if (pos < m_values.size() && NamesEqual(m_values[pos].name, name)) {
        return &m_values[pos];
    }
    return nullptr;
}

bool RegistryKey::SetValue(std::string_view name, DWORD type, std::span<const BYTE> data)
{
    const std::size_t pos = FindPosition(m_values, name, ValueName);
    if (pos < m_values.size() && NamesEqual(m_values[pos].name, name)) {
        RegistryValue& value = m_values[pos];
        if (value.type == type && std::ranges::equal(value.data, data)) {
            return false;
        }
        value.type = type;
        value.data.assign(data.begin(), data.end());
        return true;
    }
    m_values.insert(m_values.begin() + std::ptrdiff_t(pos),
                    RegistryValue{std::string(name), type, {data.begin(), data.end()}});
    return true;
}

// ---------------------------------------------------------------------------
// Hive

namespace {
constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kCurrentUserName = "HKEY_CURRENT_USER";
constexpr std::string_view kLocalMachineName = "HKEY_LOCAL_MACHINE";
} // namespace

Hive::Hive()
    : m_currentUser(std::string(kCurrentUserName)), m_localMachine(std::string(kLocalMachineName))
{
}

RegistryKey& Hive::Root(RootKey root)
{
    return root == RootKey::LocalMachine ? m_localMachine : m_currentUser;
}

const RegistryKey& Hive::Root(RootKey root) const
{
    return root == RootKey::LocalMachine ? m_localMachine : m_currentUser;
}

const RegistryKey* Hive::Find(RootKey root, std::span<const std::string> path) const
{
    const RegistryKey* key = &Root(root);
    for (const std::string& name : path) {
        key = key->FindSubkey(name);
        if (!key) {
            return nullptr;
        }
    }
    return key;
}

RegistryKey* Hive::Find(RootKey root, std::span<const std::string> path)
{
    return const_cast<RegistryKey*>(std::as_const(*this).Find(root, path));
}

RegistryKey& Hive::Create(RootKey root, std::span<const std::string> path, bool* created)
{
    bool any = false;
    RegistryKey* key = &Root(root);
    for (const std::string& name : path) {
        bool added = false;
        key = &key->CreateSubkey(name, &added);
        any = any || added;
    }
    if (created) {
        *created = any;
    }
    return *key;
}

// ---------------------------------------------------------------------------
// Text form: parsing

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    return s;
}

std::string_view TrimRight(std::string_view s)
{
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && NamesEqual(s.substr(0, prefix.size()), prefix);
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = AsciiLower(c);
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Reads 1 to `maxDigits` hexadecimal digits from the front of `s`.
bool TakeHexNumber(std::string_view& s, std::size_t maxDigits, DWORD& number)
{
    std::size_t n = 0;
    number = 0;
    while (n < s.size() && HexDigit(s[n]) >= 0) {
        if (n == maxDigits) {
            return false;
        }
        number = (number << 4) | DWORD(HexDigit(s[n]));
        ++n;
    }
    s.remove_prefix(n);
    return n > 0;
}

// Splits text into lines on LF, dropping one CR before the LF.
class LineReader
{
public:
    explicit LineReader(std::string_view text) : m_text(text) {}

    bool Next(std::string_view& line)
    {
        if (m_pos >= m_text.size()) {
            return false;
        }
        const std::size_t end = m_text.find('\n', m_pos);
        const std::size_t stop = end == std::string_view::npos ? m_text.size() : end;
        line = m_text.substr(m_pos, stop - m_pos);
        m_pos = stop + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        return true;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

// Reads a quoted string with the escapes \\ and \" from the front of `s`.
bool TakeQuoted(std::string_view& s, std::string& out)
{
    out.clear();
    if (s.empty() || s.front() != '"') {
        return false;
    }
    std::size_t i = 1;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) {
                return false;
            }
            out += s[i + 1];
            i += 2;
            continue;
        }
        out += c;
        ++i;
    }
    return false; // no closing quote
}

// Parses a comma-separated list of hex bytes that makes up the whole of `s`.
bool ParseHexList(std::string_view s, std::vector<BYTE>& data)
{
    data.clear();
    s = TrimLeft(s);
    if (TrimRight(s).empty()) {
        return true;
    }
    for (;;) {
        s = TrimLeft(s);
        DWORD byte = 0;
        if (!TakeHexNumber(s, 2, byte)) {
            return false;
        }
        data.push_back(BYTE(byte));
        s = TrimLeft(s);
        if (s.empty()) {
            return true;
        }
        if (s.front() != ',') {
            return false;
        }
        s.remove_prefix(1);
    }
}

bool ParseKeyPath(std::string_view inner, RootKey& root, std::vector<std::string>& path)
{
    path.clear();
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = inner.find('\\', start);
        parts.push_back(inner.substr(start, slash == std::string_view::npos ? std::string_view::npos
                                                                            : slash - start));
        if (slash == std::string_view::npos) {
            break;
        }
        start = slash + 1;
    }
    if (NamesEqual(parts[0], kLocalMachineName)) {
        root = RootKey::LocalMachine;
    } else if (NamesEqual(parts[0], kCurrentUserName)) {
        root = RootKey::CurrentUser;
    } else {
        return false;
    }
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (parts[i].empty() || parts[i].size() > kMaxKeyNameLength) {
            return false;
        }
        path.emplace_back(parts[i]);
    }
    return true;
}

// Parses the data after "name=" of one value line. A hex list may continue on the
// following lines, which are taken from `lines`.
bool ParseValueData(std::string_view data, LineReader& lines, DWORD& type, std::vector<BYTE>& bytes)
{
    bytes.clear();
    if (!data.empty() && data.front() == '"') {
        std::string text;
        if (!TakeQuoted(data, text) || !TrimRight(data).empty()) {
            return false;
        }
        type = REG_SZ;
        bytes.assign(text.begin(), text.end());
        bytes.push_back(0);
        return true;
    }
    if (StartsWithNoCase(data, "dword:")) {
        data.remove_prefix(6);
        DWORD number = 0;
        if (!TakeHexNumber(data, 8, number) || !TrimRight(data).empty()) {
            return false;
        }
        type = REG_DWORD;
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(BYTE(number >> (8 * i)));
        }
        return true;
    }
    if (!StartsWithNoCase(data, "hex")) {
        return false;
    }
    data.remove_prefix(3);
    type = REG_BINARY;
    if (!data.empty() && data.front() == '(') {
        data.remove_prefix(1);
        if (!TakeHexNumber(data, 8, type) || data.empty() || data.front() != ')') {
            return false;
        }
        data.remove_prefix(1);
    }
    if (data.empty() || data.front() != ':') {
        return false;
    }
    data.remove_prefix(1);
    // Join continuation lines: a trailing backslash carries the list on.
    std::string joined(data);
    for (;;) {
        const std::string_view trimmed = TrimRight(joined);
        if (trimmed.empty() || trimmed.back() != '\\') {
            break;
        }
        joined.resize(trimmed.size() - 1);
        std::string_view next;
        if (!lines.Next(next)) {
            return false;
        }
        joined += TrimLeft(next);
    }
    return ParseHexList(joined, bytes);
}

} // namespace

bool Hive::Parse(std::string_view text)
{
    *this = Hive();
    if (text.empty()) {
        return true; // an empty file holds no keys
    }
    if (text.find('\0') != std::string_view::npos) {
        return false;
    }
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    LineReader lines(text);
    std::string_view line;
    if (!lines.Next(line) || TrimRight(line) != kHeader) {
        return false;
    }
    Hive result;
    RegistryKey* current = nullptr; // the key of the latest [key] line
    RootKey root = RootKey::LocalMachine;
    std::vector<std::string> path;
    std::string name;
    std::vector<BYTE> bytes;
    while (lines.Next(line)) {
        line = TrimLeft(line);
        if (TrimRight(line).empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            line = TrimRight(line);
            if (line.size() < 2 || line.back() != ']' ||
                !ParseKeyPath(line.substr(1, line.size() - 2), root, path)) {
                return false;
            }
            current = &result.Create(root, path);
            continue;
        }
        if (!current) {
            return false; // a value before any key
        }
        if (line.front() == '@') {
            name.clear();
            line.remove_prefix(1);
        } else if (!TakeQuoted(line, name) || name.size() > kMaxValueNameLength) {
            return false;
        }
        line = TrimLeft(line);
        if (line.empty() || line.front() != '=') {
            return false;
        }
        line = TrimLeft(line.substr(1));
        DWORD type = REG_NONE;
        if (!ParseValueData(line, lines, type, bytes)) {
            return false;
        }
        current->SetValue(name, type, bytes);
    }
    *this = std::move(result);
    return true;
}

// ---------------------------------------------------------------------------
// Text form: writing

namespace {

// True when `data` is valid UTF-8 (no overlong forms, surrogates or code points past
// U+10FFFF).
bool IsUtf8(std::string_view data)
{
    std::size_t i = 0;
    while (i < data.size()) {
        const auto c = static_cast<unsigned char>(data[i]);
        std::size_t extra = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= data.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(data[i + k]);
            if ((cc & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF))) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

// True when a REG_SZ can be written as a quoted string and read back byte for byte.
bool QuotedStringCarries(const std::vector<BYTE>& data)
{
    if (data.empty() || data.back() != 0) {
        return false;
    }
    const std::string_view body(reinterpret_cast<const char*>(data.data()), data.size() - 1);
    for (const char c : body) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
            return false; // NUL, line breaks and other control characters
        }
    }
    return IsUtf8(body);
}

void AppendQuoted(std::string& out, std::string_view text)
{
    out += '"';
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
}

void AppendHexByte(std::string& out, BYTE b)
{
    static const char kDigits[] = "0123456789abcdef";
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
}

void AppendValue(std::string& out, const RegistryValue& value)
{
    const std::size_t lineStart = out.size();
    if (value.name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, value.name);
    }
    out += '=';
    if (value.type == REG_SZ && QuotedStringCarries(value.data)) {
        AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                           value.data.size() - 1));
        out += '\n';
        return;
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        char digits[16];
        const DWORD number = DWORD(value.data[0]) | (DWORD(value.data[1]) << 8) |
                             (DWORD(value.data[2]) << 16) | (DWORD(value.data[3]) << 24);
        std::snprintf(digits, sizeof digits, "%08x", unsigned(number));
        out += "dword:";
        out += digits;
        out += '\n';
        return;
    }
    if (value.type == REG_BINARY) {
        out += "hex:";
    } else {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", unsigned(value.type));
        out += prefix;
    }
    // Lines are kept under 80 columns, continued with a trailing backslash.
    constexpr std::size_t kWidth = 76;
    std::size_t column = out.size() - lineStart;
    for (std::size_t i = 0; i < value.data.size(); ++i) {
        if (column + 3 > kWidth) {
            out += "\\\n  ";
            column = 2;
        }
        AppendHexByte(out, value.data[i]);
        column += 2;
        if (i + 1 < value.data.size()) {
            out += ',';
            ++column;
        }
    }
    out += '\n';
}

void AppendKey(std::string& out, std::string& path, const RegistryKey& key, bool isRoot)
{
    if (!isRoot || !key.Values().empty()) {
        out += '[';
        out += path;
        out += "]\n";
        for (const RegistryValue& value : key.Values()) {
            AppendValue(out, value);
        }
        out += '\n';
    }
    for (const RegistryKey& subkey : key.Subkeys()) {
        const std::size_t length = path.size();
        path += '\\';
        path += subkey.Name();
        AppendKey(out, path, subkey, false);
        path.resize(length);
    }
}

} // namespace

std::string Hive::Serialise() const
{
    std::string out(kHeader);
    out += "\n\n";
    for (const RegistryKey* root : {&m_localMachine, &m_currentUser}) {
        std::string path = root->Name();
        AppendKey(out, path, *root, true);
    }
    return out;
}

// ---------------------------------------------------------------------------
// The hive file

std::string HivePath()
{
    if (const char* explicitPath = std::getenv("VEXOL_REGISTRY"); explicitPath && *explicitPath) {
        return explicitPath;
    }
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
        return std::string(config) + "/vexol/registry.reg";
    }
    std::string home;
    if (const char* env = std::getenv("HOME"); env && *env) {
        home = env;
    } else {
        struct passwd entry
        {
        };
        struct passwd* found = nullptr;
        std::vector<char> buffer(16384);
        if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
            found->pw_dir && *found->pw_dir) {
            home = found->pw_dir;
        }
    }
    if (home.empty()) {
        return {};
    }
    return home + "/.config/vexol/registry.reg";
}

namespace {

LONG ErrorFromErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return LONG(ERROR_ACCESS_DENIED);
    case ENOSPC:
    case EDQUOT:
        return LONG(ERROR_HANDLE_DISK_FULL);
    case ENOMEM:
        return LONG(ERROR_NOT_ENOUGH_MEMORY);
    default:
        return LONG(ERROR_WRITE_FAULT);
    }
}

bool IsMissing(int error)
{
    return error == ENOENT || error == ENOTDIR;
}

// Reads a whole regular file. False with `error` set when it cannot.
bool ReadWholeFile(const std::string& path, std::string& text, int& error)
{
    text.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return false;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0) {
        error = errno;
        ::close(fd);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = EISDIR; // a folder or device where the hive should be
        ::close(fd);
        return false;
    }
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            ::close(fd);
            return false;
        }
        if (n == 0) {
            break;
        }
        text.append(chunk, std::size_t(n));
    }
    ::close(fd);
    return true;
}

// Creates the folders above `path` that are missing.
bool MakeParentFolders(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) {
        return true;
    }
    const std::string folder = path.substr(0, slash);
    struct stat info
    {
    };
    if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return true;
    }
    for (std::size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos != folder.size() && folder[pos] != '/') {
            continue;
        }
        const std::string prefix = folder.substr(0, pos);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

// The exclusive lock of one change transaction, held from construction to destruction.
class HiveLock
{
public:
    explicit HiveLock(const std::string& lockPath)
    {
        m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (m_fd < 0 && (errno == EACCES || errno == EROFS)) {
            // An existing lock file in a folder we cannot write: the lock still works,
            // and the write itself reports the denial.
            m_fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
            if (m_fd < 0) {
                errno = EACCES;
            }
        }
        if (m_fd < 0) {
            m_error = errno;
            return;
        }
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                m_error = errno;
                ::close(m_fd);
                m_fd = -1;
                return;
            }
        }
    }
    ~HiveLock()
    {
        if (m_fd >= 0) {
            ::close(m_fd); // releases the lock
        }
    }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;

    bool Held() const { return m_fd >= 0; }
    int Error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
};

// Removes temporary files left by a writer that died between creating and renaming
// its file. Runs under the lock, so no living writer owns one.
void RemoveStaleTemporaryFiles(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string prefix =
        (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp-";
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix)) {
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

// Renames `from` to `to` unless `to` exists. False with errno EEXIST when it does.
bool RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without the no-replace rename: a hard link fails on an existing
    // name just as well.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno != EPERM && errno != ENOSYS) {
        return false;
    }
    struct stat info
    {
    };
    if (::lstat(to.c_str(), &info) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

// Moves an unparsable hive aside to the first free name of <hive>.bad, <hive>.bad.1, ...
bool MoveAside(const std::string& path)
{
    constexpr int kMaxCopies = 10000;
    for (int n = 0; n < kMaxCopies; ++n) {
        const std::string target =
            path + ".bad" + (n == 0 ? std::string() : "." + std::to_string(n));
        if (RenameNoReplace(path, target)) {
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    errno = EEXIST;
    return false;
}

} // namespace

LONG ReadHiveFile(Hive& hive)
{
    hive = Hive();
    const std::string path = HivePath();
    if (path.empty()) {
        return LONG(ERROR_SUCCESS);
    }
    std::string text;
    int error = 0;
    if (!ReadWholeFile(path, text, error)) {
        return IsMissing(error) ? LONG(ERROR_SUCCESS) : ErrorFromErrno(error);
    }
    hive.Parse(text); // malformed text leaves it empty
    return LONG(ERROR_SUCCESS);
}

LONG UpdateHiveFile(const std::function<LONG(Hive& hive, bool& changed)>& change)
{
    const std::string path = HivePath();
    if (path.empty()) {
        return LONG(ERROR_ACCESS_DENIED);
    }
    if (!MakeParentFolders(path)) {
        return ErrorFromErrno(errno);
    }
    const HiveLock lock(path + ".lock");
    if (!lock.Held()) {
        return ErrorFromErrno(lock.Error());
    }
    Hive hive;
    bool malformed = false;
    std::string text;
    int error = 0;
    if (ReadWholeFile(path, text, error)) {
        malformed = !hive.Parse(text);
    } else if (!IsMissing(error)) {
        return ErrorFromErrno(error); // never write over a hive we cannot read
    }
    bool changed = false;
    const LONG result = change(hive, changed);
    if (result != LONG(ERROR_SUCCESS) || !changed) {
        return result;
    }
    RemoveStaleTemporaryFiles(path);
    if (malformed && !MoveAside(path)) {
        return ErrorFromErrno(errno);
    }
    const std::string out = hive.Serialise();
    if (!AtomicFile::WriteAll(path, out.data(), out.size())) {
        return ErrorFromErrno(errno);
    }
    return LONG(ERROR_SUCCESS);
}

} // namespace vexol::platform::registry
