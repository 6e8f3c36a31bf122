// CDib::WriteBmpFile (checked byte by byte and by peer readers) and CDib::Serialize.
#include "DibTestSupport.h"
#include "platform/framework/Archive.h"
#include "support/RefusedTargets.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace vexol::test;

namespace {

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

DWORD Dword(const QByteArray& b, int at)
{
    return DWORD(BYTE(b[at])) | DWORD(BYTE(b[at + 1])) << 8 | DWORD(BYTE(b[at + 2])) << 16 |
           DWORD(BYTE(b[at + 3])) << 24;
}

void WriteText(const QString& path, const char* text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

CDib MakePicture(int bits)
{
    return MakeDib(bits, 13, 5, [bits](int x, int y) {
        return bits == 24 ? RGB(x * 19, y * 50, 200) : DWORD(x + y);
    });
}

} // namespace

TEST(CDibBmpFile, LayoutOf320x240)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("still.bmp");
    CDib dib;
    ASSERT_TRUE(dib.Create(24, 320, 240, nullptr, RGB(1, 2, 3)));
    ASSERT_TRUE(dib.WriteBmpFile(path.toUtf8().constData()));
    const QByteArray file = ReadFile(path);
    ASSERT_EQ(file.size(), 230454);
    EXPECT_EQ(file.left(2), "BM");
    EXPECT_EQ(Dword(file, 2), 230454u);
    EXPECT_EQ(Dword(file, 6), 0u); // both reserved words
    EXPECT_EQ(Dword(file, 10), 54u);
    EXPECT_EQ(Dword(file, 14 + 24), 3790u);
    EXPECT_EQ(Dword(file, 14 + 28), 3780u);
    // The rest is the object's data, whose resolution fields now hold the same values.
    EXPECT_EQ(file.mid(14), QByteArray(reinterpret_cast<const char*>(dib.GetData()), 230440));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"still.bmp"});
}

TEST(CDibBmpFile, PeerReadersSeeTheSamePicture)
{
    QTemporaryDir dir;
    const bool haveIdentify = !QStandardPaths::findExecutable("identify").isEmpty();
    for (int bits : {1, 4, 8, 24}) {
        CDib dib = MakePicture(bits);
        const QString path = dir.filePath(QString("p%1.bmp").arg(bits));
        ASSERT_TRUE(dib.WriteBmpFile(path.toUtf8().constData()));
        const QByteArray file = ReadFile(path);
        EXPECT_EQ(Dword(file, 2), DWORD(file.size()));
        EXPECT_EQ(Dword(file, 10), 54 + 4 * (bits == 24 ? 0 : 1u << bits));

        const QImage image(path);
        ASSERT_EQ(image.size(), QSize(13, 5)) << bits;
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 13; ++x) {
                const COLORREF c = dib.GetPixel(x, 4 - y);
                ASSERT_EQ(image.pixel(x, y), qRgb(GetRValue(c), GetGValue(c), GetBValue(c)))
                    << bits << " " << x << "," << y;
            }
        }
        if (haveIdentify) { // size, and the colour of the top-right pixel
            QProcess identify;
            identify.start("identify", {"-format",
                                        "%w %h %[fx:int(255*p{12,0}.r+0.5)] "
                                        "%[fx:int(255*p{12,0}.g+0.5)] %[fx:int(255*p{12,0}.b+0.5)]",
                                        path});
            ASSERT_TRUE(identify.waitForFinished(30000));
            const COLORREF c = dib.GetPixel(12, 4);
            EXPECT_EQ(
                identify.readAllStandardOutput().trimmed(),
                QString("13 5 %1 %2 %3").arg(GetRValue(c)).arg(GetGValue(c)).arg(GetBValue(c)))
                << bits;
        }
    }
    if (!haveIdentify) {
        GTEST_SKIP() << "ImageMagick identify not installed";
    }
}

TEST(CDibBmpFile, FailuresKeepAnEarlierFile)
{
    QTemporaryDir dir;
    CDib dib = MakePicture(8);
    const QString existing = dir.filePath("old.bmp");
    WriteText(existing, "old");

    EXPECT_FALSE(CDib().WriteBmpFile(existing.toUtf8().constData()));
    EXPECT_FALSE(dib.WriteBmpFile(nullptr));
    EXPECT_FALSE(dib.WriteBmpFile(dir.filePath("missing/a.bmp").toUtf8().constData()));
    EXPECT_FALSE(dib.WriteBmpFile(dir.filePath("old.bmp/a.bmp").toUtf8().constData()));

    // A disk that runs full while writing: the process file-size limit makes a write
    // fail part-way, as a full file system would.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const BOOL written = dib.WriteBmpFile(existing.toUtf8().constData());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(dib.m_nError, 0u); // file failures leave the code alone

    EXPECT_EQ(ReadFile(existing), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.bmp"});

    if (::geteuid() != 0) { // permissions do not hold for root
        const QString locked = dir.filePath("locked");
        ASSERT_TRUE(QDir(dir.path()).mkdir("locked"));
        WriteText(locked + "/old.bmp", "old");
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
        EXPECT_FALSE(dib.WriteBmpFile((locked + "/old.bmp").toUtf8().constData()));
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_EQ(ReadFile(locked + "/old.bmp"), "old");
    }
}

// A still replaces only a regular file: special files, links and kernel files are
// refused and left as they were.
TEST(CDibBmpFile, SpecialFilesLinksAndKernelFilesAreNeverReplaced)
{
    QTemporaryDir dir;
    vexol::test::RefusedTargets targets(dir.path().toStdString());
    CDib dib = MakePicture(24);
    for (const vexol::test::RefusedTarget& target : targets.All()) {
        EXPECT_FALSE(dib.WriteBmpFile(target.path.c_str())) << target.label;
        EXPECT_EQ(targets.Changes(), "") << target.label;
    }
}

TEST(CDibSerialize, RoundTripThroughAnArchiveByClassName)
{
    CDib dib = MakePicture(4);
    dib.m_nError = ERROR_INVALID_DATA;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    CArchive store(&buffer, CArchive::store);
    dib.Serialize(store);
    ASSERT_EQ(DWORD(buffer.size()), 5 * 4 + dib.GetDataSize());
    EXPECT_EQ(Dword(buffer.data(), 4), 13u);
    EXPECT_EQ(Dword(buffer.data(), 12), dib.GetDataSize());
    EXPECT_TRUE(store.WriteObject(&dib));
    buffer.close();

    buffer.open(QIODevice::ReadOnly);
    CArchive load(&buffer, CArchive::load);
    CDib loaded;
    loaded.Serialize(load);
    const std::unique_ptr<CObject> object = load.ReadObject();
    ASSERT_FALSE(load.Failed());
    ASSERT_TRUE(object && object->IsKindOf(&CDib::classCDib));
    for (const CDib* copy :
         {static_cast<const CDib*>(&loaded), static_cast<const CDib*>(object.get())}) {
        EXPECT_EQ(copy->m_nError, ERROR_INVALID_DATA);
        EXPECT_EQ(copy->GetSize().cx, 13);
        EXPECT_TRUE(SameBytes(*copy, dib));
    }
    EXPECT_STREQ(CDib::classCDib.m_lpszClassName, "CDib");
    EXPECT_EQ(CDib::classCDib.m_wSchema, 0u);
}

TEST(CDibSerialize, InconsistentOrShortDataLeavesTheObjectUnchanged)
{
    CDib source = MakePicture(8);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    CArchive store(&buffer, CArchive::store);
    source.Serialize(store);
    const QByteArray good = buffer.data();
    auto patched = [&](int at, DWORD value) {
        QByteArray b = good;
        for (int i = 0; i < 4; ++i) {
            b[at + i] = char(value >> (8 * i));
        }
        return b;
    };
    for (const QByteArray& bytes : {
             good.left(good.size() - 1),            // cut short
             patched(4, 14),                        // width differs from the header
             patched(12, source.GetDataSize() - 1), // byte count does not fit the header
             patched(12, 0xFFFFFFF0),               // absurd byte count
             patched(16 + 16, BI_RLE8),             // compressed data is never stored
         }) {
        QBuffer in;
        in.setData(bytes);
        in.open(QIODevice::ReadOnly);
        CArchive load(&in, CArchive::load);
        CDib dib = MakePicture(24);
        const CDib before = dib;
        dib.Serialize(load);
        EXPECT_TRUE(load.Failed());
        EXPECT_TRUE(SameBytes(dib, before));
    }
}
