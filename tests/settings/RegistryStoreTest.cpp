// RegistryStore: typed reads and writes below the program's key and the application
// settings, against a real hive file.
#include "settings/RegistryStore.h"
#include "platform/registry/Hive.h"
#include "platform/registry/Registry.h"
#include "support/TempRegistry.h"

#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace vexol::platform::registry;
using namespace std::string_literals;

namespace {

const std::vector<std::string> kWindowInfoPath = {"Software", "Torvane", "Vexol", "Window Info"};

std::vector<BYTE> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

ino_t InodeOf(const std::string& path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

class RegistryStoreTest : public ::testing::Test
{
protected:
    void SetUp() override { m_handlesBefore = OpenKeyHandleCount(); }
    void TearDown() override
    {
        // Every operation closes the keys it opened.
        EXPECT_EQ(OpenKeyHandleCount(), m_handlesBefore);
    }

    // Stores a raw value under HKEY_LOCAL_MACHINE\Software\Torvane\Vexol\<section>.
    void Seed(const char* section, const char* name, DWORD type, const std::vector<BYTE>& data)
    {
        HKEY key = nullptr;
        const std::string path = std::string("Software\\Torvane\\Vexol\\") + section;
        ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, path.c_str(), &key), LONG(ERROR_SUCCESS));
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, data.data(), DWORD(data.size())),
                  LONG(ERROR_SUCCESS));
        RegCloseKey(key);
    }
    void SeedString(const char* name, const std::string& text)
    {
        Seed("Window Info", name, REG_SZ, Bytes(text + '\0'));
    }
    void SeedDword(const char* section, const char* name, DWORD value)
    {
        Seed(section, name, REG_DWORD,
             {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)});
    }

    Hive ParseFile()
    {
        Hive hive;
        EXPECT_EQ(hive.Parse(m_registry.ReadHive()), HiveParse::Complete);
        return hive;
    }
    const RegistryValue* StoredValue(const Hive& hive, const char* name)
    {
        const RegistryKey* key = hive.Find(RootKey::LocalMachine, kWindowInfoPath);
        return key ? key->FindValue(name) : nullptr;
    }

    vexol::test::TempRegistry m_registry;
    RegistryStore m_store;
    std::size_t m_handlesBefore = 0;
};

TEST_F(RegistryStoreTest, EmptyRegistryGivesDefaultsAndSavingCreatesOnlySaveFolder)
{
    m_store.LoadAppSettings();
    EXPECT_EQ(m_store.m_bOverlayWindow, 0u);
    EXPECT_EQ(m_store.m_strSaveFolder, "");
    EXPECT_EQ(m_store.m_nJpegMode, 1);
    EXPECT_EQ(m_store.m_bClickwand, FALSE);
    EXPECT_EQ(m_store.m_strContinuousBase, "");
    EXPECT_EQ(m_store.m_nContinuousCounter, 0);
    EXPECT_FALSE(m_registry.HiveExists()) << "loading writes nothing";

    m_store.SaveAppSettings();
    const Hive hive = ParseFile();
    const RegistryKey* key = hive.Find(RootKey::LocalMachine, kWindowInfoPath);
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->Values().size(), 1u);
    EXPECT_EQ(key->Values()[0]->name, "Save Folder");
    EXPECT_EQ(key->Values()[0]->type, REG_SZ);
    EXPECT_EQ(key->Values()[0]->data, Bytes("\0"s));
    EXPECT_TRUE(key->Subkeys().empty());
    EXPECT_NE(m_registry.ReadHive().find("\"Save Folder\"=\"\"\n"), std::string::npos);
}

// Settings files that once crashed or stalled every start: keys nested far too deep,
// and a file beyond the size limit. Start-up gets the defaults, the file is kept as
// .bad, and the next save writes a fresh hive.
TEST_F(RegistryStoreTest, HostileSettingsFilesStartWithDefaultsAndAreKeptAside)
{
    auto nested = [](std::size_t depth) {
        std::string text = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE";
        text.reserve(text.size() + 2 * depth + 64);
        for (std::size_t i = 0; i < depth; ++i) {
            text += "\\k";
        }
        return text + "]\n\"Jpeg Mode\"=dword:00000003\n";
    };
    std::string oversized =
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Torvane\\Vexol\\Window Info]\n"
        "\"Jpeg Mode\"=dword:00000003\n";
    oversized.resize(std::size_t(17) << 20, ';');
    const std::pair<const char*, std::string> cases[] = {
        {"1,000,000 levels", nested(1000000)},
        {"100,000 levels", nested(100000)},
        {"10,000 levels", nested(10000)},
        {"17 MB", oversized},
    };
    for (const auto& [label, text] : cases) {
        SCOPED_TRACE(label);
        vexol::test::TempRegistry registry;
        registry.WriteHive(text);
        RegistryStore store;
        store.LoadAppSettings();
        EXPECT_EQ(store.m_bOverlayWindow, 0u);
        EXPECT_EQ(store.m_strSaveFolder, "");
        EXPECT_EQ(store.m_nJpegMode, 1);
        EXPECT_EQ(store.m_bClickwand, FALSE);
        EXPECT_TRUE(vexol::test::TempRegistry::ReadText(registry.HivePath() + ".bad") == text);
        store.m_strSaveFolder = "/videos/";
        store.SaveAppSettings();
        Hive hive;
        ASSERT_EQ(hive.Parse(registry.ReadHive()), HiveParse::Complete);
        const RegistryKey* key = hive.Find(RootKey::LocalMachine, kWindowInfoPath);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->FindValue("Save Folder")->data, Bytes("/videos/\0"s));
    }
}

TEST_F(RegistryStoreTest, ClickwandFollowsTheDecimalPrefixOfItsText)
{
    struct Case
    {
        std::string text;
        BOOL expected;
    };
    const Case cases[] = {
        {"1", TRUE},     {" 7", TRUE},  {"-1", TRUE}, {"+2", TRUE},   {"\t\n 3x", TRUE},
        {"12abc", TRUE}, {"", FALSE},   {"0", FALSE}, {"abc", FALSE}, {"0x1", FALSE},
        {"00", FALSE},   {"-0", FALSE}, {" ", FALSE}, {"- 1", FALSE}, {"99999999999", TRUE},
    };
    for (const Case& c : cases) {
        SeedString("Clickwand", c.text);
        RegistryStore store;
        store.LoadAppSettings();
        EXPECT_EQ(store.m_bClickwand, c.expected) << "\"" << c.text << "\"";
    }
    // Any other type reads as empty text.
    SeedDword("Window Info", "Clickwand", 1);
    m_store.LoadAppSettings();
    EXPECT_EQ(m_store.m_bClickwand, FALSE);
    // "Clickwand" is never written back.
    m_store.m_bClickwand = TRUE;
    m_store.SaveAppSettings();
    EXPECT_EQ(StoredValue(ParseFile(), "Clickwand")->type, REG_DWORD);
}

TEST(DecimalPrefixValue, ConvertsLikeAtoiWithoutOverflow)
{
    struct Case
    {
        const char* text;
        INT expected;
    };
    // The Clickwand table above covers blanks, signs and stops; these are the limits.
    const Case cases[] = {
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"99999999999999999999", INT_MAX},
        {"-99999999999999999999", INT_MIN},
        {"\v\f\r 5", 5},
        {nullptr, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecimalPrefixValue(c.text), c.expected) << (c.text ? c.text : "(null)");
    }
}

TEST_F(RegistryStoreTest, JpegModeOfAnotherTypeReadsAsDefaultAndIsLeftAlone)
{
    SeedString("Jpeg Mode", "5");
    m_store.LoadAppSettings();
    EXPECT_EQ(m_store.m_nJpegMode, 1);
    m_store.SaveAppSettings();
    const Hive hive = ParseFile();
    const RegistryValue* value = StoredValue(hive, "Jpeg Mode");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, REG_SZ);
    EXPECT_EQ(value->data, Bytes("5\0"s));
}

TEST_F(RegistryStoreTest, SaveFolderOf260CharactersFitsAnd261FallsBackToEmpty)
{
    const std::string fits(260, 'f');
    SeedString("Save Folder", fits);
    m_store.LoadAppSettings();
    EXPECT_EQ(m_store.m_strSaveFolder, fits);

    SeedString("Save Folder", std::string(261, 'g'));
    m_store.LoadAppSettings();
    EXPECT_EQ(m_store.m_strSaveFolder, "");

    // Byte limits count UTF-8 bytes: 86 three-byte characters and two more bytes fit.
    std::string japanese;
    for (int i = 0; i < 86; ++i) {
        japanese += "\xE3\x83\x93";
    }
    japanese += "/x";
    ASSERT_EQ(japanese.size(), 260u);
    SeedString("Save Folder", japanese);
    m_store.LoadAppSettings();
    EXPECT_EQ(m_store.m_strSaveFolder, japanese);
}

TEST_F(RegistryStoreTest, SettingsRoundTripThroughTheHiveFile)
{
    m_store.m_bOverlayWindow = 1;
    m_store.m_strSaveFolder = "/home/user/\xE3\x83\x93\xE3\x83\x87\xE3\x82\xAA \"clips\"\\";
    m_store.m_nJpegMode = 3;
    m_store.m_strContinuousBase = "not stored";
    m_store.m_nContinuousCounter = 12;
    m_store.SaveAppSettings();

    RegistryStore loaded;
    loaded.LoadAppSettings();
    EXPECT_EQ(loaded.m_bOverlayWindow, 1u);
    EXPECT_EQ(loaded.m_strSaveFolder, m_store.m_strSaveFolder);
    EXPECT_EQ(loaded.m_nJpegMode, 3);
    EXPECT_EQ(loaded.m_strContinuousBase, "");
    EXPECT_EQ(loaded.m_nContinuousCounter, 0);

    const std::string text = m_registry.ReadHive();
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\Torvane\\Vexol\\Window Info]\n"),
              std::string::npos);
    EXPECT_NE(text.find("\"Overlay Window\"=dword:00000001\n"), std::string::npos);
    EXPECT_NE(text.find("\"Jpeg Mode\"=dword:00000003\n"), std::string::npos);

    // Back to the defaults: the values are rewritten, not removed.
    loaded.m_bOverlayWindow = 0;
    loaded.m_nJpegMode = 1;
    loaded.SaveAppSettings();
    RegistryStore again;
    again.LoadAppSettings();
    EXPECT_EQ(again.m_bOverlayWindow, 0u);
    EXPECT_EQ(again.m_nJpegMode, 1);
    EXPECT_NE(StoredValue(ParseFile(), "Jpeg Mode"), nullptr);
}

TEST_F(RegistryStoreTest, WriteDwordAndWriteBoolWriteOnlyWhenTheReadBackDiffers)
{
    // A value equal to the default is not created.
    m_store.WriteDword("Window Info", "Count", 4, 4);
    m_store.WriteBool("Window Info", "Flag", FALSE, FALSE);
    EXPECT_FALSE(m_registry.HiveExists());

    m_store.WriteDword("Window Info", "Count", 7, 4);
    EXPECT_EQ(m_store.ReadDword("Window Info", "Count", 0), 7u);
    const ino_t written = InodeOf(m_registry.HivePath());
    m_store.WriteDword("Window Info", "Count", 7, 4); // equal to the stored value
    EXPECT_EQ(InodeOf(m_registry.HivePath()), written);

    m_store.WriteDword("Window Info", "Count", 4, 4); // stored differs: written
    EXPECT_NE(InodeOf(m_registry.HivePath()), written);
    EXPECT_EQ(m_store.ReadDword("Window Info", "Count", 99), 4u);

    // A stored 5 reads as TRUE, so writing TRUE leaves it.
    SeedDword("Window Info", "Flag", 5);
    const ino_t seeded = InodeOf(m_registry.HivePath());
    m_store.WriteBool("Window Info", "Flag", TRUE, FALSE);
    EXPECT_EQ(InodeOf(m_registry.HivePath()), seeded);
    EXPECT_EQ(m_store.ReadDword("Window Info", "Flag", 0), 5u);
    m_store.WriteBool("Window Info", "Flag", FALSE, FALSE);
    EXPECT_EQ(m_store.ReadDword("Window Info", "Flag", 9), 0u);

    // WriteString and WriteBinary always write: they replace a value of another type
    // that a read-back would have skipped.
    SeedDword("Window Info", "Text", 1);
    m_store.WriteString("Window Info", "Text", "same");
    SeedDword("Window Info", "Blob", 1);
    m_store.WriteBinary("Window Info", "Blob", reinterpret_cast<const BYTE*>("ab"), 2);
    const Hive hive = ParseFile();
    EXPECT_EQ(StoredValue(hive, "Text")->type, REG_SZ);
    EXPECT_EQ(StoredValue(hive, "Text")->data, Bytes("same\0"s));
    EXPECT_EQ(StoredValue(hive, "Blob")->type, REG_BINARY);
    EXPECT_EQ(StoredValue(hive, "Blob")->data, Bytes("ab"));
}

TEST_F(RegistryStoreTest, ReadDwordAndReadBoolAcceptOnlyFourByteDwords)
{
    struct Case
    {
        const char* label;
        DWORD type;
        std::vector<BYTE> data;
        DWORD dword;
        BOOL boolean;
    };
    const Case cases[] = {
        {"dword 0", REG_DWORD, {0, 0, 0, 0}, 0, FALSE},
        {"dword 1", REG_DWORD, {1, 0, 0, 0}, 1, TRUE},
        {"dword large", REG_DWORD, {0, 0, 0, 0x80}, 0x80000000u, TRUE},
        {"text", REG_SZ, Bytes("1\0"s), 77, 77},
        {"binary of four bytes", REG_BINARY, {1, 0, 0, 0}, 77, 77},
        {"short dword", REG_DWORD, {1, 0}, 77, 77},
        {"long dword", REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0}, 77, 77},
    };
    for (const Case& c : cases) {
        Seed("Settings Info", "v", c.type, c.data);
        EXPECT_EQ(m_store.ReadDword("Settings Info", "v", 77), c.dword) << c.label;
        EXPECT_EQ(m_store.ReadBool("Settings Info", "v", 77), c.boolean) << c.label;
    }
    EXPECT_EQ(m_store.ReadDword("Settings Info", "missing", 12), 12u);
    EXPECT_EQ(m_store.ReadDword("No Such Section", "v", 13), 13u);
}

TEST_F(RegistryStoreTest, ReadStringCases)
{
    struct Case
    {
        const char* label;
        DWORD type;
        std::vector<BYTE> data;
        DWORD bufferSize;
        const char* defaultText;
        std::string expected;
    };
    const Case cases[] = {
        {"text", REG_SZ, Bytes("abc\0"s), 261, "d", "abc"},
        {"empty text", REG_SZ, Bytes("\0"s), 261, "d", ""},
        {"zero bytes", REG_SZ, {}, 261, "d", ""},
        {"no terminator", REG_SZ, Bytes("abc"s), 261, "d", "abc"},
        {"no terminator, filling the buffer", REG_SZ, Bytes("abcd"s), 4, "d", "d"},
        {"exactly fits", REG_SZ, Bytes("abc\0"s), 4, "d", "abc"},
        {"one too long", REG_SZ, Bytes("abcd\0"s), 4, "d", "d"},
        {"embedded NUL", REG_SZ, Bytes("ab\0cd\0"s), 261, "d", "ab"},
        {"expandable type", REG_EXPAND_SZ, Bytes("abc\0"s), 261, "d", "d"},
        {"binary type", REG_BINARY, Bytes("abc\0"s), 261, "d", "d"},
        {"default cut to the buffer", REG_DWORD, {1, 0, 0, 0}, 4, "default", "def"},
        {"null default", REG_DWORD, {1, 0, 0, 0}, 4, nullptr, ""},
    };
    for (const Case& c : cases) {
        Seed("Settings Info", "s", c.type, c.data);
        std::vector<char> buffer(c.bufferSize + 1, '#');
        const DWORD length =
            m_store.ReadString("Settings Info", "s", c.defaultText, buffer.data(), c.bufferSize);
        EXPECT_EQ(std::string(buffer.data()), c.expected) << c.label;
        EXPECT_EQ(length, c.expected.size()) << c.label;
        EXPECT_EQ(buffer[c.bufferSize], '#') << c.label << ": nothing written past the buffer";
    }
    char one = '#';
    EXPECT_EQ(m_store.ReadString("Settings Info", "missing", "xyz", &one, 1), 0u);
    EXPECT_EQ(one, '\0');
    EXPECT_EQ(m_store.ReadString("Settings Info", "missing", "xyz", nullptr, 0), 0u);
}

TEST_F(RegistryStoreTest, ReadBinaryCases)
{
    const std::vector<BYTE> fallback = {9, 9, 9, 9, 9, 9};
    struct Case
    {
        const char* label;
        bool seeded;
        DWORD type;
        std::vector<BYTE> data;
        DWORD expectedSize;
        std::vector<BYTE> expectedBuffer;
    };
    const Case cases[] = {
        {"missing", false, 0, {}, 6, {9, 9, 9, 9, 9, 9}},
        {"same size", true, REG_BINARY, {1, 2, 3, 4, 5, 6}, 6, {1, 2, 3, 4, 5, 6}},
        {"shorter", true, REG_BINARY, {1, 2}, 2, {1, 2, 0xCC, 0xCC, 0xCC, 0xCC}},
        {"longer", true, REG_BINARY, {1, 2, 3, 4, 5, 6, 7}, 6, {9, 9, 9, 9, 9, 9}},
        {"other type", true, REG_SZ, Bytes("abc\0"s), 6, {9, 9, 9, 9, 9, 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        vexol::test::TempRegistry registry;
        if (c.seeded) {
            Seed("Settings Info", "Format", c.type, c.data);
        }
        std::vector<BYTE> buffer(6, 0xCC);
        EXPECT_EQ(m_store.ReadBinary("Settings Info", "Format", buffer.data(), fallback.data(), 6),
                  c.expectedSize);
        EXPECT_EQ(buffer, c.expectedBuffer);
        // The size query: a null buffer and size 0.
        const DWORD stored = (c.seeded && c.type == REG_BINARY) ? DWORD(c.data.size()) : 0;
        EXPECT_EQ(m_store.ReadBinary("Settings Info", "Format", nullptr, nullptr, 0), stored);
    }
    // A null default fills with zeros.
    std::vector<BYTE> buffer(4, 0xCC);
    EXPECT_EQ(m_store.ReadBinary("Settings Info", "none", buffer.data(), nullptr, 4), 4u);
    EXPECT_EQ(buffer, (std::vector<BYTE>{0, 0, 0, 0}));

    // WriteBinary stores the bytes as given.
    const std::vector<BYTE> format = {1, 0, 2, 0, 0x44, 0xAC, 0, 0};
    m_store.WriteBinary("Settings Info", "Wave", format.data(), DWORD(format.size()));
    std::vector<BYTE> back(format.size());
    EXPECT_EQ(m_store.ReadBinary("Settings Info", "Wave", back.data(), fallback.data(),
                                 DWORD(back.size())),
              format.size());
    EXPECT_EQ(back, format);
}

TEST_F(RegistryStoreTest, AnUnwritableRegistryIsSilentlySkipped)
{
    // The hive's folder lies below a plain file, so nothing can be written.
    const std::string plain = m_registry.Folder() + "/plain";
    ASSERT_TRUE(vexol::test::TempRegistry::WriteText(plain, "x"));
    vexol::test::TempRegistry holder; // restores VEXOL_REGISTRY afterwards
    ::setenv("VEXOL_REGISTRY", (plain + "/vexol/registry.reg").c_str(), 1);
    m_store.m_bOverlayWindow = 1;
    m_store.m_strSaveFolder = "/x";
    m_store.m_nJpegMode = 2;
    m_store.SaveAppSettings();
    m_store.WriteBinary("Settings Info", "Wave", reinterpret_cast<const BYTE*>("ab"), 2);
    RegistryStore loaded;
    loaded.LoadAppSettings();
    EXPECT_EQ(loaded.m_bOverlayWindow, 0u);
    EXPECT_EQ(loaded.m_strSaveFolder, "");
    EXPECT_EQ(loaded.m_nJpegMode, 1);
}

} // namespace
