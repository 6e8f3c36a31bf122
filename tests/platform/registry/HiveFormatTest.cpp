// The hive's text form: what each value type becomes, round trips, the leniencies the
// parser allows and the malformed texts it refuses.
#include "platform/registry/Hive.h"
#include "platform/registry/Registry.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

using namespace vexol::platform::registry;
using namespace std::string_literals;

namespace {

std::vector<BYTE> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

const std::vector<std::string> kWindowInfo = {"Software", "Torvane", "Vexol", "Window Info"};

struct FormCase
{
    const char* label;
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
    std::string line; // the value's line in the text form
};

std::vector<FormCase> FormCases()
{
    return {
        {"plain text", "Save Folder", REG_SZ, Bytes(std::string_view("/home/u\0", 8)),
         "\"Save Folder\"=\"/home/u\""},
        {"quotes", "q", REG_SZ, Bytes(std::string_view("say \"hi\"\0", 9)),
         "\"q\"=\"say \\\"hi\\\"\""},
        {"backslashes", "b", REG_SZ, Bytes(std::string_view("C:\\dir\\\0", 8)),
         "\"b\"=\"C:\\\\dir\\\\\""},
        {"Japanese", "j", REG_SZ,
         Bytes(std::string_view("\xE3\x83\x93\xE3\x83\x87\xE3\x82\xAA\0", 10)),
         "\"j\"=\"\xE3\x83\x93\xE3\x83\x87\xE3\x82\xAA\""},
        {"tab", "t", REG_SZ, Bytes(std::string_view("a\tb\0", 4)), "\"t\"=\"a\tb\""},
        {"empty text", "e", REG_SZ, Bytes(std::string_view("\0", 1)), "\"e\"=\"\""},
        {"no terminator", "n", REG_SZ, Bytes("ab"), "\"n\"=hex(1):61,62"},
        {"zero bytes", "z", REG_SZ, {}, "\"z\"=hex(1):"},
        {"embedded NUL", "m", REG_SZ, Bytes(std::string_view("a\0b\0", 4)),
         "\"m\"=hex(1):61,00,62,00"},
        {"two terminators", "d", REG_SZ, Bytes(std::string_view("a\0\0", 3)),
         "\"d\"=hex(1):61,00,00"},
        {"line break", "l", REG_SZ, Bytes(std::string_view("a\r\nb\0", 5)),
         "\"l\"=hex(1):61,0d,0a,62,00"},
        {"not UTF-8", "x", REG_SZ, Bytes(std::string_view("\xE9t\xE9\0", 4)),
         "\"x\"=hex(1):e9,74,e9,00"},
        {"truncated UTF-8", "u", REG_SZ, Bytes(std::string_view("\xE3\x83\0", 3)),
         "\"u\"=hex(1):e3,83,00"},
        {"expandable", "p", REG_EXPAND_SZ, Bytes(std::string_view("%H%\0", 4)),
         "\"p\"=hex(2):25,48,25,00"},
        {"dword", "Jpeg Mode", REG_DWORD, {0x78, 0x56, 0x34, 0x12}, "\"Jpeg Mode\"=dword:12345678"},
        {"dword zero", "o", REG_DWORD, {0, 0, 0, 0}, "\"o\"=dword:00000000"},
        {"short dword", "s", REG_DWORD, {1, 2}, "\"s\"=hex(4):01,02"},
        {"binary", "Format", REG_BINARY, {0x01, 0x00, 0xAC, 0xFF}, "\"Format\"=hex:01,00,ac,ff"},
        {"empty binary", "eb", REG_BINARY, {}, "\"eb\"=hex:"},
        {"none", "none", REG_NONE, {}, "\"none\"=hex(0):"},
        {"large type", "big", 0xFFFFFFFF, {7}, "\"big\"=hex(ffffffff):07"},
        {"unnamed", "", REG_SZ, Bytes(std::string_view("u\0", 2)), "@=\"u\""},
        {"named @", "@", REG_SZ, Bytes(std::string_view("at\0", 3)), "\"@\"=\"at\""},
        {"awkward name", "a\"b\\c=d", REG_DWORD, {1, 0, 0, 0}, "\"a\\\"b\\\\c=d\"=dword:00000001"},
    };
}

TEST(HiveFormat, EachValueTypeHasItsFormAndRoundTrips)
{
    for (const FormCase& c : FormCases()) {
        Hive hive;
        hive.Create(RootKey::LocalMachine, kWindowInfo).SetValue(c.name, c.type, c.data);
        const std::string text = hive.Serialise();
        EXPECT_NE(text.find("\n" + c.line + "\n"), std::string::npos) << c.label << "\n" << text;
        Hive parsed;
        ASSERT_TRUE(parsed.Parse(text)) << c.label << "\n" << text;
        EXPECT_EQ(parsed, hive) << c.label;
    }
}

TEST(HiveFormat, AllValuesTogetherRoundTrip)
{
    Hive hive;
    RegistryKey& key = hive.Create(RootKey::LocalMachine, kWindowInfo);
    for (const FormCase& c : FormCases()) {
        key.SetValue(c.name, c.type, c.data);
    }
    hive.Create(RootKey::CurrentUser, std::vector<std::string>{"Empty", "Leaf"});
    hive.Root(RootKey::CurrentUser)
        .SetValue("root value", REG_DWORD, std::vector<BYTE>{1, 2, 3, 4});
    Hive parsed;
    ASSERT_TRUE(parsed.Parse(hive.Serialise()));
    EXPECT_EQ(parsed, hive);
    EXPECT_EQ(parsed.Serialise(), hive.Serialise());
}

TEST(HiveFormat, SerialisedTextIsTheExportSyntax)
{
    Hive hive;
    RegistryKey& key = hive.Create(RootKey::LocalMachine, kWindowInfo);
    key.SetValue("Save Folder", REG_SZ, Bytes(std::string_view("\0", 1)));
    key.SetValue("Jpeg Mode", REG_DWORD, std::vector<BYTE>{2, 0, 0, 0});
    EXPECT_EQ(hive.Serialise(), "REGEDIT4\n"
                                "\n"
                                "[HKEY_LOCAL_MACHINE\\Software]\n"
                                "\n"
                                "[HKEY_LOCAL_MACHINE\\Software\\Torvane]\n"
                                "\n"
                                "[HKEY_LOCAL_MACHINE\\Software\\Torvane\\Vexol]\n"
                                "\n"
                                "[HKEY_LOCAL_MACHINE\\Software\\Torvane\\Vexol\\Window Info]\n"
                                "\"Jpeg Mode\"=dword:00000002\n"
                                "\"Save Folder\"=\"\"\n"
                                "\n");
    EXPECT_EQ(Hive().Serialise(), "REGEDIT4\n\n");
}

TEST(HiveFormat, LongHexListsWrapUnder80ColumnsAndRoundTrip)
{
    for (const std::string& name : {std::string("w"), std::string(120, 'n')}) {
        std::vector<BYTE> data(300);
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = BYTE(i);
        }
        Hive hive;
        hive.Create(RootKey::LocalMachine, std::vector<std::string>{"K"})
            .SetValue(name, REG_BINARY, data);
        const std::string text = hive.Serialise();
        std::istringstream lines(text);
        std::string line;
        int continued = 0;
        while (std::getline(lines, line)) {
            if (line.size() > 2 && line[0] == ' ') {
                EXPECT_LT(line.size(), 80u) << line;
            }
            continued += (!line.empty() && line.back() == '\\') ? 1 : 0;
        }
        EXPECT_GE(continued, 10) << text;
        Hive parsed;
        ASSERT_TRUE(parsed.Parse(text));
        EXPECT_EQ(parsed, hive);
    }
}

// Texts the parser accepts, each equal to the hive built in `expected`.
TEST(HiveFormat, ParserAcceptsCommentsBlankLinesCrlfAndContinuations)
{
    Hive expected;
    RegistryKey& key = expected.Create(RootKey::LocalMachine, std::vector<std::string>{"A", "B"});
    key.SetValue("s", REG_SZ, Bytes(std::string_view("x\0", 2)));
    key.SetValue("d", REG_DWORD, std::vector<BYTE>{0xEF, 0xBE, 0xAD, 0xDE});
    key.SetValue("h", REG_BINARY, std::vector<BYTE>{1, 2, 3, 4});

    struct Case
    {
        const char* label;
        std::string text;
    };
    const Case cases[] = {
        {"plain", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A\\B]\n\"s\"=\"x\"\n\"d\"=dword:deadbeef\n"
                  "\"h\"=hex:01,02,03,04\n"},
        {"CRLF", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\A\\B]\r\n\"s\"=\"x\"\r\n"
                 "\"d\"=dword:deadbeef\r\n\"h\"=hex:01,02,\\\r\n  03,04\r\n"},
        {"comments and blanks",
         "REGEDIT4\n; a comment\n\n   \n\t; indented comment\n[HKEY_LOCAL_MACHINE\\A\\B]\n"
         "; between values\n\"s\"=\"x\"\n\n\"d\"=dword:deadbeef\n\"h\"=hex:01,02,03,04\n;end"},
        {"continuations",
         "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\\B]\n\"s\"=\"x\"\n\"d\"=dword:deadbeef\n"
         "\"h\"=hex:\\\n 01,\\\n\t02,  \\\n03 , 04\n"},
        {"byte order mark and no final newline",
         "\xEF\xBB\xBFREGEDIT4\n[HKEY_LOCAL_MACHINE\\A\\B]\n\"s\"=\"x\"\n\"d\"=dword:deadbeef\n"
         "\"h\"=hex:01,02,03,04"},
        {"spacing and case", "REGEDIT4  \n  [hkey_local_machine\\A\\B]  \n  \"s\" = \"x\"  \n"
                             "\"d\"\t=\tDWORD:DEADBEEF\n\"h\"=HEX:1,2,03,4\n"},
        {"key sections merge", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\\B]\n\"s\"=\"x\"\n"
                               "[HKEY_LOCAL_MACHINE\\A]\n[HKEY_LOCAL_MACHINE\\a\\b]\n"
                               "\"d\"=dword:deadbeef\n\"h\"=hex(3):01,02,03,04\n"},
        {"later value wins", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\\B]\n\"s\"=\"old\"\n\"S\"=\"x\"\n"
                             "\"d\"=dword:1\n\"d\"=dword:deadbeef\n\"h\"=hex:01,02,03,04\n"},
    };
    for (const Case& c : cases) {
        Hive hive;
        ASSERT_TRUE(hive.Parse(c.text)) << c.label;
        EXPECT_EQ(hive, expected) << c.label;
    }
    // Short dword digits are a number, not a byte string.
    Hive shortDword;
    ASSERT_TRUE(shortDword.Parse("REGEDIT4\n[HKEY_CURRENT_USER]\n@=dword:1f\n"));
    const RegistryValue* value = shortDword.Root(RootKey::CurrentUser).FindValue("");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->data, (std::vector<BYTE>{0x1F, 0, 0, 0}));
    // An empty file is an empty hive.
    Hive empty;
    EXPECT_TRUE(empty.Parse(""));
    EXPECT_EQ(empty, Hive());
}

TEST(HiveFormat, MalformedTextIsRefusedAndLeavesTheHiveEmpty)
{
    const std::string longKey(kMaxKeyNameLength + 1, 'k');
    const std::string longName(kMaxValueNameLength + 1, 'n');
    const std::string cases[] = {
        "REGEDIT5\n",
        "\nREGEDIT4\n",
        "garbage",
        "REGEDIT4\n\"a\"=\"b\"\n",
        "REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n",
        "REGEDIT4\n[]\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\\\\B]\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\\]\n",
        "REGEDIT4\n[-HKEY_LOCAL_MACHINE\\A]\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\" + longKey + "]\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"" + longName + "\"=\"\"\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=\"unterminated\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=\"bad \\q escape\"\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=\"x\" trailing\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=-\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\nname=\"x\"\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=dword:\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=dword:123456789\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=dword:12 34\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:zz\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:123\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:01,,02\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:01,\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:01,\\\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex(:01\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex(123456789):01\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex(2)01\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hexadecimal\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=dword:1 ; comment\n",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=\"x\0y\"\n"s,
        "\xFF\xFE"
        "R\0E\0G\0",
    };
    for (const std::string& text : cases) {
        Hive hive;
        hive.Create(RootKey::LocalMachine, std::vector<std::string>{"Stale"});
        EXPECT_FALSE(hive.Parse(text)) << text;
        EXPECT_EQ(hive, Hive()) << text;
    }
}

} // namespace
