#include "look/AppMessageBox.h"

#include "platform/framework/CommandIds.h"
#include "platform/framework/MessageBox.h"
#include "platform/framework/Resources.h"

#include <cstdio>
#include <new>

namespace {

// Puts styleOverride back to -1 however Show ends.
class OverrideReset
{
public:
    explicit OverrideReset(INT& value) : m_value(value) {}
    ~OverrideReset() { m_value = -1; }
    OverrideReset(const OverrideReset&) = delete;
    OverrideReset& operator=(const OverrideReset&) = delete;

private:
    INT& m_value;
};

} // namespace

UINT AppMessageBox::ChooseStyle(DWORD code) const
{
    if (styleOverride != -1) {
        return UINT(styleOverride);
    }
    const UINT id = code & 0xFFFF;
    if (id >= 12000) {
        return MB_YESNO | MB_ICONEXCLAMATION;
    }
    if (id >= 11000) {
        return MB_RETRYCANCEL | MB_ICONHAND;
    }
    if (id == 10007) {
        return MB_OK | MB_ICONEXCLAMATION;
    }
    return MB_OK | MB_ICONHAND;
}

std::string ExpandMessageInsertions(const std::string& text, const char* insert1,
                                    const char* insert2)
{
    // Texts are UTF-8, where every byte of a multi-byte character is 0x80 or above and
    // so never equals '%': copying byte by byte never splits a character, and a
    // marker is only ever found at a character boundary.
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '%' || i + 1 == text.size()) {
            result += c;
            continue;
        }
        const char marker = text[i + 1];
        if (marker == '1' || marker == '2') {
            const char* insert = marker == '1' ? insert1 : insert2;
            if (insert) {
                result += insert;
            }
            ++i;
        } else if ((marker >= '3' && marker <= '9') || (marker >= 'A' && marker <= 'Z')) {
            result += '?';
            ++i;
        } else {
            result += c;
        }
    }
    return result;
}

int AppMessageBox::Show(DWORD code, const char* insert1, const char* insert2)
{
    const OverrideReset reset(styleOverride);
    const UINT style = ChooseStyle(code);
    const unsigned id = code & 0xFFFF;
    const unsigned place = code >> 16;
    try {
        std::string body;
        if (LoadString(id, body)) {
            body = ExpandMessageInsertions(body, insert1, insert2);
        }
        char line[32];
        std::snprintf(line, sizeof line, "ID-%05u-%04X\n", id, place);
        const std::string text = line + body + "\n";
        std::string caption;
        LoadString(IDS_APP_TITLE, caption);
        return MessageBoxWithHelpId(vexol::platform::framework::ApplicationBoxOwner(), text.c_str(),
                                    caption.c_str(), style, kHelpId);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
