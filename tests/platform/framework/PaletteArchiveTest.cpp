// CPalette, CArchive and the run-time class records.
#include "platform/framework/Archive.h"
#include "platform/framework/Palette.h"
#include "platform/framework/RuntimeClass.h"

#include <QBuffer>
#include <gtest/gtest.h>
#include <tuple>

namespace {

LOGPALETTE MakeLog(int entries, int stored = -1)
{
    LOGPALETTE log;
    log.palNumEntries = WORD(entries);
    for (int i = 0; i < (stored < 0 ? entries : stored); ++i) {
        log.palPalEntry.push_back(PALETTEENTRY{BYTE(i), BYTE(i + 1), BYTE(i + 2), 0});
    }
    return log;
}

// A serialisable test class: one word of data.
class CCounter : public CObject
{
public:
    const CRuntimeClass* GetRuntimeClass() const override { return &classCCounter; }
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring()) {
            ar << value;
        } else {
            ar >> value;
        }
    }
    static const CRuntimeClass classCCounter;
    DWORD value = 0;
};
const CRuntimeClass CCounter::classCCounter{"CCounter", 2,
                                            []() -> CObject* { return new CCounter; }};

} // namespace

TEST(CPaletteTest, CreateQueryAndDelete)
{
    CPalette palette;
    EXPECT_EQ(palette.GetEntryCount(), 0u);
    EXPECT_FALSE(palette.DeleteObject());
    LOGPALETTE badVersion = MakeLog(2);
    badVersion.palVersion = 0x200;
    // Refused: no record, wrong version, 0 or too many entries, fewer than claimed.
    for (const LOGPALETTE* log :
         {static_cast<const LOGPALETTE*>(nullptr), static_cast<const LOGPALETTE*>(&badVersion)}) {
        EXPECT_FALSE(palette.CreatePalette(log));
    }
    const std::tuple<int, int, bool> cases[] = {
        {0, 0, false}, {1025, 1025, false}, {5, 4, false}, {1024, 1024, true}, {3, 3, true}};
    for (const auto& [entries, stored, ok] : cases) {
        const LOGPALETTE log = MakeLog(entries, stored);
        EXPECT_EQ(bool(palette.CreatePalette(&log)), ok) << entries;
    }
    ASSERT_EQ(palette.GetEntryCount(), 3u); // the last success
    PALETTEENTRY out[4] = {};
    EXPECT_EQ(palette.GetPaletteEntries(1, 4, out), 2u);
    EXPECT_EQ(out[0].peRed, 1);
    EXPECT_EQ(out[1].peBlue, 4);
    EXPECT_EQ(palette.GetPaletteEntries(3, 1, out), 0u);
    EXPECT_TRUE(palette.DeleteObject());
    EXPECT_EQ(palette.GetPaletteEntries(0, 1, out), 0u);
}

TEST(CArchiveTest, LittleEndianWordsAndStickyFailure)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    CArchive store(&buffer, CArchive::store);
    store << DWORD(0x04030201) << LONG(-2);
    EXPECT_TRUE(store.Write("xyz", 3));
    EXPECT_FALSE(store.Failed());
    EXPECT_EQ(buffer.data(), QByteArray("\x01\x02\x03\x04\xFE\xFF\xFF\xFFxyz", 11));
    buffer.close();

    buffer.open(QIODevice::ReadOnly);
    CArchive load(&buffer, CArchive::load);
    DWORD word = 0;
    LONG value = 0;
    load >> word >> value;
    EXPECT_EQ(word, 0x04030201u);
    EXPECT_EQ(value, -2);
    EXPECT_FALSE(load.Write("a", 1)); // a loading archive does not store
    EXPECT_TRUE(load.Failed());
    char rest[3] = {'q', 'q', 'q'};
    EXPECT_FALSE(load.Read(rest, 3)); // failed stays failed
    EXPECT_EQ(rest[0], 0);

    buffer.seek(9);
    CArchive shortRead(&buffer, CArchive::load);
    EXPECT_FALSE(shortRead.ReadDword(word)); // two bytes left
    EXPECT_EQ(word, 0u);
    EXPECT_TRUE(shortRead.Failed());

    QBuffer closed;
    EXPECT_TRUE(CArchive(&closed, CArchive::store).Failed());
    EXPECT_TRUE(CArchive(nullptr, CArchive::load).Failed());
}

TEST(CArchiveTest, ObjectsByClassName)
{
    EXPECT_EQ(CRuntimeClass::FromName("CCounter"), &CCounter::classCCounter);
    EXPECT_EQ(CRuntimeClass::CreateObject("NoSuchClass"), nullptr);
    EXPECT_EQ(CRuntimeClass::CreateObject("CObject"), nullptr); // not creatable

    CCounter counter;
    counter.value = 99;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    CArchive store(&buffer, CArchive::store);
    ASSERT_TRUE(store.WriteObject(&counter));
    EXPECT_FALSE(CArchive(&buffer, CArchive::store).WriteObject(nullptr));
    const QByteArray good = buffer.data();

    auto read = [](QByteArray bytes, bool& failed) {
        QBuffer in(&bytes);
        in.open(QIODevice::ReadOnly);
        CArchive load(&in, CArchive::load);
        std::unique_ptr<CObject> object = load.ReadObject();
        failed = load.Failed();
        return object;
    };
    bool failed = true;
    std::unique_ptr<CObject> object = read(good, failed);
    ASSERT_TRUE(object);
    EXPECT_FALSE(failed);
    ASSERT_TRUE(object->IsKindOf(&CCounter::classCCounter));
    EXPECT_EQ(static_cast<CCounter*>(object.get())->value, 99u);

    QByteArray otherSchema = good;
    otherSchema[4 + 8] = 3;
    QByteArray unknown = good;
    unknown[4] = 'X';
    QByteArray hugeName = good;
    hugeName[3] = 0x10;
    for (const QByteArray& bad : {otherSchema, unknown, hugeName, good.left(good.size() - 1)}) {
        EXPECT_EQ(read(bad, failed), nullptr);
        EXPECT_TRUE(failed);
    }
}
