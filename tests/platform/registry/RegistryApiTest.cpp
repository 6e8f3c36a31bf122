// The Reg* calls on the hive file: keys, value types, sizes, names and handles.
#include "platform/registry/Hive.h"
#include "platform/registry/Registry.h"
#include "support/TempRegistry.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace vexol::platform::registry;

namespace {

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

class RegistryApiTest : public ::testing::Test
{
protected:
    void SetUp() override { m_handlesBefore = OpenKeyHandleCount(); }
    void TearDown() override
    {
        for (HKEY key : m_open) {
            RegCloseKey(key);
        }
        EXPECT_EQ(OpenKeyHandleCount(), m_handlesBefore);
    }

    // Creates a key and keeps its handle until the test ends.
    HKEY Create(HKEY parent, const char* path)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyA(parent, path, &key), LONG(ERROR_SUCCESS)) << path;
        m_open.push_back(key);
        return key;
    }

    LONG Set(HKEY key, const char* name, DWORD type, const std::vector<BYTE>& data)
    {
        return RegSetValueExA(key, name, 0, type, data.data(), DWORD(data.size()));
    }

    Hive ParseFile()
    {
        Hive hive;
        EXPECT_EQ(hive.Parse(m_registry.ReadHive()), HiveParse::Complete);
        return hive;
    }

    vexol::test::TempRegistry m_registry;
    std::vector<HKEY> m_open;
    std::size_t m_handlesBefore = 0;
};

TEST_F(RegistryApiTest, OpeningMissingKeysFailsWithFileNotFound)
{
    Create(HKEY_LOCAL_MACHINE, "Software\\Torvane");
    for (const char* path : {"Software\\Torvane\\Vexol", "Missing", "Software\\Other",
                             "Software\\Torvane\\Vexol\\Window Info"}) {
        HKEY key = reinterpret_cast<HKEY>(std::uintptr_t(0x55));
        EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, path, &key), LONG(ERROR_FILE_NOT_FOUND)) << path;
        EXPECT_EQ(key, nullptr) << path;
    }
    // Reading never creates anything.
    const Hive hive = ParseFile();
    EXPECT_EQ(
        hive.Find(RootKey::LocalMachine, std::vector<std::string>{"Software", "Torvane", "Vexol"}),
        nullptr);
}

TEST_F(RegistryApiTest, CreateMakesMissingParentsThatPersistInTheFile)
{
    Create(HKEY_LOCAL_MACHINE, "Software\\Torvane\\Vexol\\Window Info");
    for (const char* path : {"Software", "Software\\Torvane", "Software\\Torvane\\Vexol",
                             "Software\\Torvane\\Vexol\\Window Info"}) {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, path, &key), LONG(ERROR_SUCCESS)) << path;
        EXPECT_EQ(RegCloseKey(key), LONG(ERROR_SUCCESS));
    }
    const Hive hive = ParseFile();
    const RegistryKey* leaf =
        hive.Find(RootKey::LocalMachine,
                  std::vector<std::string>{"Software", "Torvane", "Vexol", "Window Info"});
    ASSERT_NE(leaf, nullptr);
    EXPECT_TRUE(leaf->Values().empty());
    EXPECT_TRUE(leaf->Subkeys().empty());
}

TEST_F(RegistryApiTest, MalformedPathsAreRejected)
{
    const std::string tooLong(kMaxKeyNameLength + 1, 'k');
    const std::string longest(kMaxKeyNameLength, 'k');
    struct Case
    {
        std::string path;
        LONG expected;
    };
    const Case cases[] = {
        {"\\Leading", LONG(ERROR_INVALID_PARAMETER)},
        {"Double\\\\Slash", LONG(ERROR_INVALID_PARAMETER)},
        {"Line\nBreak", LONG(ERROR_INVALID_PARAMETER)},
        {"Carriage\rReturn", LONG(ERROR_INVALID_PARAMETER)},
        {"A\\" + tooLong, LONG(ERROR_INVALID_PARAMETER)},
        {"\\", LONG(ERROR_INVALID_PARAMETER)},
        {"Trailing\\", LONG(ERROR_SUCCESS)},
        {"A\\" + longest, LONG(ERROR_SUCCESS)},
        {"With]Bracket\\[And] more", LONG(ERROR_SUCCESS)},
    };
    for (const Case& c : cases) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, c.path.c_str(), &key), c.expected) << c.path;
        if (key) {
            RegCloseKey(key);
        }
        key = nullptr;
        EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, c.path.c_str(), &key), c.expected) << c.path;
        if (key) {
            RegCloseKey(key);
        }
    }
    // Whatever was created still parses and round-trips.
    const Hive hive = ParseFile();
    Hive again;
    ASSERT_EQ(again.Parse(hive.Serialise()), HiveParse::Complete);
    EXPECT_EQ(again, hive);
}

TEST_F(RegistryApiTest, NullOrEmptySubKeyOpensANewHandleToTheSameKey)
{
    HKEY base = Create(HKEY_LOCAL_MACHINE, "Base");
    for (const char* sub : {static_cast<const char*>(nullptr), ""}) {
        HKEY same = nullptr;
        ASSERT_EQ(RegOpenKeyA(base, sub, &same), LONG(ERROR_SUCCESS));
        EXPECT_NE(same, base);
        const DWORD value = 9;
        ASSERT_EQ(RegSetValueExA(same, "v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4),
                  LONG(ERROR_SUCCESS));
        EXPECT_EQ(RegCloseKey(same), LONG(ERROR_SUCCESS));
        // The original handle is still open.
        EXPECT_EQ(RegQueryValueExA(base, "v", nullptr, nullptr, nullptr, nullptr),
                  LONG(ERROR_SUCCESS));
    }
}

TEST_F(RegistryApiTest, RelativeKeysResolveBelowTheirHandle)
{
    HKEY vexol = Create(HKEY_LOCAL_MACHINE, "Software\\Torvane\\Vexol");
    HKEY section = Create(vexol, "Window Info");
    ASSERT_EQ(Set(section, "Save Folder", REG_SZ, Bytes(std::string_view("/tmp\0", 5))),
              LONG(ERROR_SUCCESS));
    HKEY absolute = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Torvane\\Vexol\\Window Info", &absolute),
              LONG(ERROR_SUCCESS));
    m_open.push_back(absolute);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(absolute, "Save Folder", nullptr, nullptr, nullptr, &size),
              LONG(ERROR_SUCCESS));
    EXPECT_EQ(size, 5u);
}

TEST_F(RegistryApiTest, EveryTypeIsStoredAndReadBackExactly)
{
    struct Case
    {
        const char* name;
        DWORD type;
        std::vector<BYTE> data;
    };
    std::vector<BYTE> large(70000);
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = BYTE(i * 7);
    }
    const Case cases[] = {
        {"none", REG_NONE, {}},
        {"text", REG_SZ, Bytes(std::string_view("abc\0", 4))},
        {"text without terminator", REG_SZ, Bytes("abc")},
        {"empty text", REG_SZ, Bytes(std::string_view("\0", 1))},
        {"zero-byte text", REG_SZ, {}},
        {"embedded NUL", REG_SZ, Bytes(std::string_view("a\0b\0", 4))},
        {"expandable", REG_EXPAND_SZ, Bytes(std::string_view("%HOME%\\x\0", 9))},
        {"binary", REG_BINARY, {0x00, 0xFF, 0x10, 0x80}},
        {"large binary", REG_BINARY, large},
        {"dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
        {"short dword", REG_DWORD, {0x01, 0x02}},
        {"multi string", 7, Bytes(std::string_view("a\0b\0\0", 5))},
        {"odd type", 0x12345678, {1, 2, 3}},
        {"", REG_SZ, Bytes(std::string_view("unnamed\0", 8))},
    };
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Types");
    for (const Case& c : cases) {
        ASSERT_EQ(Set(key, c.name, c.type, c.data), LONG(ERROR_SUCCESS)) << c.name;
    }
    for (const Case& c : cases) {
        DWORD type = 0xDEAD;
        std::vector<BYTE> buffer(c.data.size() + 8, 0xCC);
        DWORD size = DWORD(buffer.size());
        ASSERT_EQ(RegQueryValueExA(key, c.name, nullptr, &type, buffer.data(), &size),
                  LONG(ERROR_SUCCESS))
            << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        ASSERT_EQ(size, c.data.size()) << c.name;
        EXPECT_TRUE(std::equal(c.data.begin(), c.data.end(), buffer.begin())) << c.name;
        EXPECT_EQ(buffer[size], 0xCC) << c.name << ": nothing written past the value";
    }
}

TEST_F(RegistryApiTest, QuerySizesAndBufferRules)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Sizes");
    const std::vector<BYTE> stored = Bytes(std::string_view("hello\0", 6));
    ASSERT_EQ(Set(key, "v", REG_SZ, stored), LONG(ERROR_SUCCESS));

    struct Case
    {
        const char* label;
        bool withBuffer;
        bool withSize;
        DWORD bufferSize;
        bool withReserved;
        const char* name;
        LONG expected;
        DWORD expectedSize;
        bool copied;
    };
    const Case cases[] = {
        {"size query", false, true, 0, false, "v", LONG(ERROR_SUCCESS), 6, false},
        {"size query ignores the given size", false, true, 2, false, "v", LONG(ERROR_SUCCESS), 6,
         false},
        {"exact buffer", true, true, 6, false, "v", LONG(ERROR_SUCCESS), 6, true},
        {"larger buffer", true, true, 64, false, "v", LONG(ERROR_SUCCESS), 6, true},
        {"one byte short", true, true, 5, false, "v", LONG(ERROR_MORE_DATA), 6, false},
        {"zero-size buffer", true, true, 0, false, "v", LONG(ERROR_MORE_DATA), 6, false},
        {"buffer without size", true, false, 0, false, "v", LONG(ERROR_INVALID_PARAMETER), 0,
         false},
        {"reserved must be null", true, true, 64, true, "v", LONG(ERROR_INVALID_PARAMETER), 64,
         false},
        {"missing value", true, true, 64, false, "w", LONG(ERROR_FILE_NOT_FOUND), 64, false},
        {"missing unnamed value", true, true, 64, false, nullptr, LONG(ERROR_FILE_NOT_FOUND), 64,
         false},
        {"existence only", false, false, 0, false, "V", LONG(ERROR_SUCCESS), 0, false},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> buffer(64, 0xAB);
        DWORD size = c.bufferSize;
        DWORD reserved = 0;
        DWORD type = 0xDEAD;
        const LONG r =
            RegQueryValueExA(key, c.name, c.withReserved ? &reserved : nullptr, &type,
                             c.withBuffer ? buffer.data() : nullptr, c.withSize ? &size : nullptr);
        EXPECT_EQ(r, c.expected) << c.label;
        if (c.withSize) {
            EXPECT_EQ(size, c.expectedSize) << c.label;
        }
        if (r == LONG(ERROR_SUCCESS) || r == LONG(ERROR_MORE_DATA)) {
            EXPECT_EQ(type, REG_SZ) << c.label << ": the type is reported";
        }
        EXPECT_EQ(std::equal(stored.begin(), stored.end(), buffer.begin()), c.copied) << c.label;
        if (!c.copied) {
            EXPECT_EQ(buffer[0], 0xAB) << c.label << ": buffer left untouched";
        }
    }
}

TEST_F(RegistryApiTest, NamesCompareCaseInsensitivelyAndKeepTheirCase)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Software\\Torvane");
    ASSERT_EQ(Set(key, "Save Folder", REG_SZ, Bytes(std::string_view("a\0", 2))),
              LONG(ERROR_SUCCESS));
    // Another case finds the same key and value and overwrites it.
    HKEY upper = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\TORVANE");
    ASSERT_EQ(Set(upper, "SAVE FOLDER", REG_SZ, Bytes(std::string_view("b\0", 2))),
              LONG(ERROR_SUCCESS));
    BYTE buffer[8] = {};
    DWORD size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key, "save folder", nullptr, nullptr, buffer, &size),
              LONG(ERROR_SUCCESS));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer)), "b");

    const Hive hive = ParseFile();
    const RegistryKey& root = hive.Root(RootKey::LocalMachine);
    ASSERT_EQ(root.Subkeys().size(), 1u);
    EXPECT_EQ(root.Subkeys()[0]->Name(), "Software");
    ASSERT_EQ(root.Subkeys()[0]->Subkeys().size(), 1u);
    const RegistryKey& torvane = *root.Subkeys()[0]->Subkeys()[0];
    EXPECT_EQ(torvane.Name(), "Torvane");
    ASSERT_EQ(torvane.Values().size(), 1u);
    EXPECT_EQ(torvane.Values()[0]->name, "Save Folder");

    // Case folding is ASCII only: other bytes must match exactly.
    ASSERT_EQ(Set(key, "\xC3\xA9t\xC3\xA9", REG_DWORD, {1, 0, 0, 0}), LONG(ERROR_SUCCESS));
    EXPECT_EQ(RegQueryValueExA(key, "\xC3\x89T\xC3\x89", nullptr, nullptr, nullptr, nullptr),
              LONG(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegQueryValueExA(key, "\xC3\xA9T\xC3\xA9", nullptr, nullptr, nullptr, nullptr),
              LONG(ERROR_SUCCESS));
}

TEST_F(RegistryApiTest, RootsAreSeparate)
{
    HKEY machine = Create(HKEY_LOCAL_MACHINE, "Shared");
    HKEY user = Create(HKEY_CURRENT_USER, "Shared");
    ASSERT_EQ(Set(machine, "who", REG_DWORD, {1, 0, 0, 0}), LONG(ERROR_SUCCESS));
    EXPECT_EQ(RegQueryValueExA(user, "who", nullptr, nullptr, nullptr, nullptr),
              LONG(ERROR_FILE_NOT_FOUND));
    // Roots hold values too.
    ASSERT_EQ(Set(HKEY_CURRENT_USER, "top", REG_DWORD, {2, 0, 0, 0}), LONG(ERROR_SUCCESS));
    EXPECT_EQ(RegQueryValueExA(HKEY_CURRENT_USER, "top", nullptr, nullptr, nullptr, nullptr),
              LONG(ERROR_SUCCESS));
    EXPECT_EQ(RegQueryValueExA(HKEY_LOCAL_MACHINE, "top", nullptr, nullptr, nullptr, nullptr),
              LONG(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegistryApiTest, InvalidHandlesAreRejectedByEveryCall)
{
    HKEY closed = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Closed", &closed), LONG(ERROR_SUCCESS));
    ASSERT_EQ(RegCloseKey(closed), LONG(ERROR_SUCCESS));
    const HKEY invalid[] = {nullptr, closed, reinterpret_cast<HKEY>(std::uintptr_t(0x1234567)),
                            reinterpret_cast<HKEY>(std::uintptr_t(0x80000003u))};
    for (HKEY key : invalid) {
        HKEY result = reinterpret_cast<HKEY>(std::uintptr_t(0x55));
        EXPECT_EQ(RegOpenKeyA(key, "x", &result), LONG(ERROR_INVALID_HANDLE));
        EXPECT_EQ(result, nullptr);
        EXPECT_EQ(RegCreateKeyA(key, "x", &result), LONG(ERROR_INVALID_HANDLE));
        DWORD size = 4;
        BYTE data[4] = {};
        EXPECT_EQ(RegQueryValueExA(key, "x", nullptr, nullptr, data, &size),
                  LONG(ERROR_INVALID_HANDLE));
        EXPECT_EQ(RegSetValueExA(key, "x", 0, REG_BINARY, data, 4), LONG(ERROR_INVALID_HANDLE));
        EXPECT_EQ(RegCloseKey(key), LONG(ERROR_INVALID_HANDLE));
    }
    // Closing a predefined root does nothing and may be repeated.
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), LONG(ERROR_SUCCESS));
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), LONG(ERROR_SUCCESS));
    HKEY still = nullptr;
    EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Closed", &still), LONG(ERROR_SUCCESS));
    RegCloseKey(still);
    // A null result pointer is a parameter error.
    EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Closed", nullptr), LONG(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "Other", nullptr), LONG(ERROR_INVALID_PARAMETER));
}

TEST_F(RegistryApiTest, BadSetArgumentsChangeNothing)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Args");
    const std::string before = m_registry.ReadHive();
    const std::vector<BYTE> huge(kMaxValueDataSize + 1);
    const std::string longName(kMaxValueNameLength + 1, 'n');
    EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_BINARY, nullptr, 4), LONG(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_BINARY, huge.data(), DWORD(huge.size())),
              LONG(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegSetValueExA(key, longName.c_str(), 0, REG_BINARY, huge.data(), 1),
              LONG(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegSetValueExA(key, "two\nlines", 0, REG_BINARY, huge.data(), 1),
              LONG(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(m_registry.ReadHive(), before);
    // Null data with size 0 is an empty value.
    EXPECT_EQ(RegSetValueExA(key, "empty", 0, REG_BINARY, nullptr, 0), LONG(ERROR_SUCCESS));
    DWORD size = 99;
    EXPECT_EQ(RegQueryValueExA(key, "empty", nullptr, nullptr, nullptr, &size),
              LONG(ERROR_SUCCESS));
    EXPECT_EQ(size, 0u);
}

TEST_F(RegistryApiTest, SettingAnEqualValueDoesNotRewriteTheHive)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Same");
    ASSERT_EQ(Set(key, "v", REG_DWORD, {1, 0, 0, 0}), LONG(ERROR_SUCCESS));
    const ino_t before = InodeOf(m_registry.HivePath());
    ASSERT_EQ(Set(key, "V", REG_DWORD, {1, 0, 0, 0}), LONG(ERROR_SUCCESS));
    EXPECT_EQ(InodeOf(m_registry.HivePath()), before);
    // Same bytes, other type: a change.
    ASSERT_EQ(Set(key, "v", REG_BINARY, {1, 0, 0, 0}), LONG(ERROR_SUCCESS));
    EXPECT_NE(InodeOf(m_registry.HivePath()), before);
}

TEST_F(RegistryApiTest, KeyRemovedBehindAnOpenHandleReportsKeyDeleted)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Gone\\Soon");
    m_registry.WriteHive("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Other]\n");
    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, nullptr),
              LONG(ERROR_KEY_DELETED));
    EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_DWORD, nullptr, 0), LONG(ERROR_KEY_DELETED));
    HKEY child = nullptr;
    EXPECT_EQ(RegOpenKeyA(key, "Child", &child), LONG(ERROR_KEY_DELETED));
    EXPECT_EQ(RegCreateKeyA(key, "Child", &child), LONG(ERROR_KEY_DELETED));
    EXPECT_EQ(child, nullptr);
    // The hive was not touched by the failed calls.
    EXPECT_EQ(m_registry.ReadHive(), "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Other]\n");
}

} // namespace
