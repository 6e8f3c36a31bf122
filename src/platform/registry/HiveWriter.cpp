// The text form: writing, keys in case-insensitive name order, walked without recursion.
#include "platform/registry/Hive.h"
#include "platform/registry/Registry.h"

#include <cstdint>
#include <cstdio>

namespace vexol::platform::registry {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";

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

} // namespace

std::string Hive::Serialise() const
{
    std::string out(kHeader);
    out += "\n\n";
    // Depth-first, each key before its subkeys; `pathLength` is the length of the
    // parent's path, to which the key's own name is appended.
    struct Step
    {
        const RegistryKey* key;
        std::size_t pathLength;
        bool isRoot;
    };
    std::string path;
    for (const RegistryKey* root : {&Root(RootKey::LocalMachine), &Root(RootKey::CurrentUser)}) {
        std::vector<Step> pending = {{root, 0, true}};
        while (!pending.empty()) {
            const Step step = pending.back();
            pending.pop_back();
            path.resize(step.pathLength);
            if (!step.isRoot) {
                path += '\\';
            }
            path += step.key->Name();
            if (!step.isRoot || step.key->ValueCount() > 0) {
                out += '[';
                out += path;
                out += "]\n";
                for (const RegistryValue* value : step.key->Values()) {
                    AppendValue(out, *value);
                }
                out += '\n';
            }
            const std::vector<const RegistryKey*> subkeys = step.key->Subkeys();
            for (auto it = subkeys.rbegin(); it != subkeys.rend(); ++it) {
                pending.push_back(Step{*it, path.size(), false});
            }
        }
    }
    return out;
}

} // namespace vexol::platform::registry
