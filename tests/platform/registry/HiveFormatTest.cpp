// The hive's text form: what each value type becomes, round trips, the leniencies the
// parser allows and the malformed texts it refuses.
#include "platform/registry/Hive.h"
#include "platform/registry/Registry.h"

#include <gtest/gtest.h>
#include <memory>
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
        ASSERT_EQ(parsed.Parse(text), HiveParse::Complete) << c.label << "\n" << text;
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
    ASSERT_EQ(parsed.Parse(hive.Serialise()), HiveParse::Complete);
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
        ASSERT_EQ(parsed.Parse(text), HiveParse::Complete);
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
        ASSERT_EQ(hive.Parse(c.text), HiveParse::Complete) << c.label;
        EXPECT_EQ(hive, expected) << c.label;
    }
    // Short dword digits are a number, not a byte string.
    Hive shortDword;
    ASSERT_EQ(shortDword.Parse("REGEDIT4\n[HKEY_CURRENT_USER]\n@=dword:1f\n"), HiveParse::Complete);
    const RegistryValue* value = shortDword.Root(RootKey::CurrentUser).FindValue("");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->data, (std::vector<BYTE>{0x1F, 0, 0, 0}));
    // An empty file is an empty hive.
    Hive empty;
    EXPECT_EQ(empty.Parse(""), HiveParse::Complete);
    EXPECT_EQ(empty, Hive());
}

// A bad line costs the key section it is in; text that is not a hive costs all.
TEST(HiveFormat, BadLinesLoseTheirSectionAndForeignTextIsUnreadable)
{
    const std::string longKey(kMaxKeyNameLength + 1, 'k');
    const std::string longName(kMaxValueNameLength + 1, 'n');
    const std::string unreadable[] = {
        "REGEDIT5\n",
        "\nREGEDIT4\n",
        "garbage",
        "\xFF\xFE"
        "R\0E\0G\0"s,
    };
    const std::string badLines[] = {
        "[HKEY_CLASSES_ROOT\\A]\n\"v\"=\"x\"\n",
        "[]\n",
        "[HKEY_LOCAL_MACHINE\\A\n",
        "[HKEY_LOCAL_MACHINE\\A\\\\B]\n",
        "[HKEY_LOCAL_MACHINE\\A\\]\n",
        "[-HKEY_LOCAL_MACHINE\\A]\n",
        "[HKEY_LOCAL_MACHINE\\" + longKey + "]\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"" + longName + "\"=\"\"\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=\"unterminated\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=\"bad \\q escape\"\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=\"x\" trailing\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=-\n",
        "[HKEY_LOCAL_MACHINE\\A]\nname=\"x\"\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=dword:\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=dword:123456789\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=dword:12 34\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:zz\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:123\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:01,,02\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:01,\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:01,\\",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex(:01\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex(123456789):01\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex(2)01\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hexadecimal\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=dword:1 ; comment\n",
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=\"x\0y\"\n"s,
        "[HKEY_LOCAL_MACHINE\\A]\n\"ok\"=dword:1\n\"a\"=hex:zz\n\"later\"=dword:2\n",
    };
    // Around each bad section, sections that parse: one before, one after.
    const std::string before = "[HKEY_LOCAL_MACHINE\\Keep]\n\"k\"=dword:00000007\n";
    const std::string after = "\n[HKEY_CURRENT_USER\\After]\n@=\"x\"\n";
    Hive kept;
    kept.Create(RootKey::LocalMachine, std::vector<std::string>{"Keep"})
        .SetValue("k", REG_DWORD, std::vector<BYTE>{7, 0, 0, 0});
    kept.Create(RootKey::CurrentUser, std::vector<std::string>{"After"})
        .SetValue("", REG_SZ, Bytes(std::string_view("x\0", 2)));
    for (const std::string& bad : badLines) {
        Hive hive;
        EXPECT_EQ(hive.Parse("REGEDIT4\n" + before + bad + after), HiveParse::Partial) << bad;
        EXPECT_EQ(hive, kept) << bad;
        EXPECT_EQ(hive.Find(RootKey::LocalMachine, std::vector<std::string>{"A"}), nullptr) << bad;
    }
    Hive valueFirst;
    EXPECT_EQ(valueFirst.Parse("REGEDIT4\n\"a\"=\"b\"\n" + before + after), HiveParse::Partial);
    EXPECT_EQ(valueFirst, kept);
    for (const std::string& text : unreadable) {
        Hive hive;
        hive.Create(RootKey::LocalMachine, std::vector<std::string>{"Stale"});
        EXPECT_EQ(hive.Parse(text + before), HiveParse::Unreadable) << text;
        EXPECT_EQ(hive, Hive()) << text;
    }
}

// Keys nest 64 deep at most; deeper text is unreadable however long it is, and trees
// far deeper than that are compared and destroyed without exhausting the stack.
TEST(HiveFormat, DepthIsLimitedAndDeepTreesAreHandledWithoutRecursion)
{
    auto nested = [](std::size_t depth) {
        std::string text = "REGEDIT4\n[HKEY_LOCAL_MACHINE";
        for (std::size_t i = 0; i < depth; ++i) {
            text += "\\k";
        }
        return text + "]\n@=dword:1\n";
    };
    Hive deepest;
    ASSERT_EQ(deepest.Parse(nested(kMaxKeyDepth)), HiveParse::Complete);
    Hive again;
    ASSERT_EQ(again.Parse(deepest.Serialise()), HiveParse::Complete);
    EXPECT_EQ(again, deepest);
    for (const std::size_t depth : {kMaxKeyDepth + 1, std::size_t(1000000)}) {
        Hive hive;
        EXPECT_EQ(hive.Parse(nested(depth)), HiveParse::Unreadable) << depth;
        EXPECT_EQ(hive, Hive()) << depth;
    }
    auto chain = [](Hive& hive, const char* leafValue) {
        RegistryKey* key = &hive.Root(RootKey::CurrentUser);
        for (int i = 0; i < 200000; ++i) {
            key = &key->CreateSubkey("k");
        }
        key->SetValue("v", REG_SZ, Bytes(leafValue));
    };
    auto a = std::make_unique<Hive>();
    auto b = std::make_unique<Hive>();
    chain(*a, "same");
    chain(*b, "same");
    EXPECT_TRUE(*a == *b);
    chain(*b, "diff");
    EXPECT_FALSE(*a == *b);
    a.reset();
    b.reset();
}

// Lookups and inserts go through hash tables: many siblings in any order are found
// under any case, and written in name order.
TEST(HiveFormat, ManySiblingsInAnyOrderAreFoundAndWrittenSorted)
{
    Hive hive;
    RegistryKey& parent = hive.Create(RootKey::LocalMachine, std::vector<std::string>{"P"});
    constexpr int kCount = 5000;
    for (int i = kCount - 1; i >= 0; --i) {
        const std::string name = "Key" + std::to_string((i * 7919) % kCount);
        parent.CreateSubkey(name);
        parent.SetValue(name, REG_DWORD, std::vector<BYTE>{BYTE(i), 0, 0, 0});
    }
    ASSERT_EQ(parent.SubkeyCount(), std::size_t(kCount));
    EXPECT_NE(parent.FindSubkey("KEY4999"), nullptr);
    EXPECT_NE(parent.FindValue("key0"), nullptr);
    EXPECT_EQ(parent.FindSubkey("Key5000"), nullptr);
    const std::vector<const RegistryKey*> sorted = parent.Subkeys();
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        EXPECT_TRUE(NameLess(sorted[i - 1]->Name(), sorted[i]->Name()));
    }
    Hive parsed;
    ASSERT_EQ(parsed.Parse(hive.Serialise()), HiveParse::Complete);
    EXPECT_EQ(parsed, hive);
}

} // namespace
