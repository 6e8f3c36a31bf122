// The text form: parsing, one line at a time, keeping every key section that parses.
#include "platform/registry/Hive.h"
#include "platform/registry/Registry.h"

#include <optional>

namespace vexol::platform::registry {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kCurrentUserName = "HKEY_CURRENT_USER";
constexpr std::string_view kLocalMachineName = "HKEY_LOCAL_MACHINE";

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
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
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

    // The next line without taking it.
    bool Peek(std::string_view& line) const
    {
        LineReader copy = *this;
        return copy.Next(line);
    }

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

enum class KeyLine { Ok, Bad, TooDeep };

KeyLine ParseKeyPath(std::string_view inner, RootKey& root, std::vector<std::string>& path)
{
    path.clear();
    // The depth is counted before anything is split, so a line of a million levels
    // costs one pass over it.
    std::size_t separators = 0;
    for (const char c : inner) {
        if (c == '\\' && ++separators > kMaxKeyDepth) {
            return KeyLine::TooDeep;
        }
    }
    std::size_t start = 0;
    bool first = true;
    for (;;) {
        const std::size_t slash = inner.find('\\', start);
        const std::string_view part = inner.substr(
            start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
        if (first) {
            if (NamesEqual(part, kLocalMachineName)) {
                root = RootKey::LocalMachine;
            } else if (NamesEqual(part, kCurrentUserName)) {
                root = RootKey::CurrentUser;
            } else {
                return KeyLine::Bad;
            }
            first = false;
        } else {
            if (part.empty() || part.size() > kMaxKeyNameLength) {
                return KeyLine::Bad;
            }
            path.emplace_back(part);
        }
        if (slash == std::string_view::npos) {
            return KeyLine::Ok;
        }
        start = slash + 1;
    }
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
        // A line that begins a key, a value or a comment is no continuation: it is
        // left for the caller, so one broken list does not swallow the next section.
        std::string_view next;
        if (!lines.Peek(next)) {
            return false;
        }
        next = TrimLeft(next);
        if (!next.empty() && (next.front() == '[' || next.front() == '"' || next.front() == '@' ||
                              next.front() == ';')) {
            return false;
        }
        lines.Next(next);
        joined += TrimLeft(next);
    }
    return ParseHexList(joined, bytes);
}

// One [key] section: its values are stored only when all of its lines parsed.
struct Section
{
    bool open = false; // a [key] line that parsed began it
    bool bad = false;  // one of its lines did not parse
    RootKey root = RootKey::LocalMachine;
    std::vector<std::string> path;
    std::vector<RegistryValue> values;
};

void StoreSection(Hive& hive, Section& section)
{
    if (section.open && !section.bad) {
        RegistryKey& key = hive.Create(section.root, section.path);
        for (const RegistryValue& value : section.values) {
            key.SetValue(value.name, value.type, value.data);
        }
    }
    section.open = false;
    section.bad = false;
    section.values.clear();
}

// Parses one value line into `value`; false when it does not parse.
bool ParseValueLine(std::string_view line, LineReader& lines, RegistryValue& value)
{
    if (line.find('\0') != std::string_view::npos) {
        return false;
    }
    if (line.front() == '@') {
        value.name.clear();
        line.remove_prefix(1);
    } else if (!TakeQuoted(line, value.name) || value.name.size() > kMaxValueNameLength) {
        return false;
    }
    line = TrimLeft(line);
    if (line.empty() || line.front() != '=') {
        return false;
    }
    line = TrimLeft(line.substr(1));
    return ParseValueData(line, lines, value.type, value.data);
}

} // namespace

HiveParse Hive::Parse(std::string_view text)
{
    *this = Hive();
    if (text.empty()) {
        return HiveParse::Complete; // an empty file holds no keys
    }
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    LineReader lines(text);
    std::string_view line;
    if (!lines.Next(line) || TrimRight(line) != kHeader) {
        return HiveParse::Unreadable;
    }
    Hive result;
    bool partial = false;
    Section section;
    RegistryValue value;
    while (lines.Next(line)) {
        line = TrimLeft(line);
        if (TrimRight(line).empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            StoreSection(result, section);
            line = TrimRight(line);
            KeyLine parsed = KeyLine::Bad;
            if (line.size() >= 2 && line.back() == ']' &&
                line.find('\0') == std::string_view::npos) {
                parsed = ParseKeyPath(line.substr(1, line.size() - 2), section.root, section.path);
            }
            if (parsed == KeyLine::TooDeep) {
                return HiveParse::Unreadable;
            }
            section.open = true;
            section.bad = parsed == KeyLine::Bad;
            partial = partial || section.bad;
            continue;
        }
        if (!section.open || section.bad) {
            partial = true; // a value before any key, or in a section already dropped
            section.bad = section.open;
            continue;
        }
        if (!ParseValueLine(line, lines, value)) {
            section.bad = true;
            partial = true;
            continue;
        }
        section.values.push_back(std::move(value));
        value = RegistryValue{};
    }
    StoreSection(result, section);
    *this = std::move(result);
    return partial ? HiveParse::Partial : HiveParse::Complete;
}

} // namespace vexol::platform::registry
