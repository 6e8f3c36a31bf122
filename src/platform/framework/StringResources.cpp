// String lookup in the table of the user's language, and the choice of that language.
#include "platform/framework/Resources.h"
#include "platform/framework/StringTable.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace vexol::res {
namespace {

// -1: no override, the locale decides; otherwise a Language value.
std::atomic<int> g_languageOverride{-1};

// "ja" alone or followed by a territory, code set or modifier: ja, ja_JP, ja_JP.UTF-8.
bool IsJapaneseLocale(const char* name)
{
    if (std::strncmp(name, "ja", 2) != 0) {
        return false;
    }
    const char next = name[2];
    return next == '\0' || next == '_' || next == '.' || next == '@';
}

} // namespace

Language UserLanguage()
{
    const int forced = g_languageOverride.load(std::memory_order_relaxed);
    if (forced >= 0) {
        return Language(forced);
    }
    // The first of these that is set and not empty names the locale of messages.
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) {
            return IsJapaneseLocale(value) ? Language::Japanese : Language::English;
        }
    }
    return Language::English;
}

void SetLanguage(Language language)
{
    g_languageOverride.store(int(language), std::memory_order_relaxed);
}

void ResetLanguage()
{
    g_languageOverride.store(-1, std::memory_order_relaxed);
}

} // namespace vexol::res

bool LoadString(UINT id, std::string& text)
{
    using namespace vexol::res;
    const auto table = UserLanguage() == Language::Japanese ? JapaneseStrings() : EnglishStrings();
    for (const StringTableEntry& entry : table) {
        if (entry.id == id) {
            text = entry.text;
            return true;
        }
    }
    text.clear();
    return false;
}
