// The JPEG encoder library, checked through an independent decoder (TurboJPEG's own
// decompressor, and Qt's image reader once).
#include "platform/jpeg/JpegEncoder.h"
#include "support/ImageTestSupport.h"
#include "support/RefusedTargets.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <atomic>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <sys/stat.h>
#include <thread>
#include <turbojpeg.h>
#include <unistd.h>

namespace {

using vexol::test::ColourDistance;
using vexol::test::DecodedJpeg;
using vexol::test::DecodeJpegFile;
using vexol::test::MakePackedDib24;
using vexol::test::MeanAbsoluteError;
using vexol::test::PixelFunction;
using vexol::test::ReadWholeFile;

constexpr int kPictureWidth = 128;
constexpr int kPictureHeight = 64;

// Left half: a smooth two-way gradient. Right half: four solid 32x32 blocks.
COLORREF TestPicture(int x, int y)
{
    if (x < 64) {
        return RGB(BYTE(x * 4), BYTE(y * 4), BYTE(128 + x - y));
    }
    static const COLORREF blocks[4] = {RGB(230, 20, 20), RGB(20, 200, 40), RGB(30, 40, 220),
                                       RGB(240, 230, 60)};
    return blocks[(x - 64) / 32 + 2 * (y / 32)];
}

JpegEncodeParams ParamsFor(int width, int height, int factorX, int factorY, int compression)
{
    return JpegEncodeParams{width, height, factorX, factorY, compression, 0};
}

std::string PathIn(const QTemporaryDir& dir, const char* name)
{
    return QDir(dir.path()).filePath(name).toStdString();
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                  QDir::Name);
}

// Compresses, writes and frees; returns the decoded file.
DecodedJpeg EncodeToFile(const std::vector<std::uint8_t>& dib, const JpegEncodeParams& params,
                         const std::string& path)
{
    JPEGHANDLE handle = 0;
    EXPECT_EQ(JpegEncoderCompress(dib.data(), &handle, &params), JPEGENC_OK);
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(JpegEncoderWriteFile(path.c_str(), handle, &params), JPEGENC_OK);
    EXPECT_EQ(JpegEncoderFree(&handle), JPEGENC_OK);
    EXPECT_EQ(handle, 0u);
    return DecodeJpegFile(path);
}

class JpegEncoderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_liveAtStart = JpegEncoderLiveResults();
    }
    // Every test releases what it encoded.
    void TearDown() override { EXPECT_EQ(JpegEncoderLiveResults(), m_liveAtStart); }

    QTemporaryDir m_dir;
    std::size_t m_liveAtStart = 0;
};

// --- Picture content --------------------------------------------------------------

struct QualityCase
{
    const char* name;
    int factorX;
    int factorY;
    int compression;
    int expectedSubsampling;
    double maxMeanError; // over the whole picture, per channel
    int maxBlockError;   // at the centre of each solid block, per channel
};

void PrintTo(const QualityCase& c, std::ostream* os)
{
    *os << c.name;
}

class JpegQualityTest : public JpegEncoderTest, public ::testing::WithParamInterface<QualityCase>
{
};

TEST_P(JpegQualityTest, DecodesToThePictureWithinTheQualitysTolerance)
{
    const QualityCase& c = GetParam();
    const auto dib = MakePackedDib24(kPictureWidth, kPictureHeight, TestPicture);
    const auto params =
        ParamsFor(kPictureWidth, kPictureHeight, c.factorX, c.factorY, c.compression);
    const DecodedJpeg jpeg = EncodeToFile(dib, params, PathIn(m_dir, "q.jpg"));

    ASSERT_TRUE(jpeg.ok);
    EXPECT_EQ(jpeg.width, kPictureWidth);
    EXPECT_EQ(jpeg.height, kPictureHeight);
    EXPECT_EQ(jpeg.subsampling, c.expectedSubsampling);
    EXPECT_LE(MeanAbsoluteError(jpeg, TestPicture), c.maxMeanError);
    for (int block = 0; block < 4; ++block) {
        const int x = 64 + 16 + 32 * (block % 2);
        const int y = 16 + 32 * (block / 2);
        EXPECT_LE(ColourDistance(jpeg.At(x, y), TestPicture(x, y)), c.maxBlockError)
            << "block " << block;
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, JpegQualityTest,
                         ::testing::Values(QualityCase{"High", 1, 1, 5, TJSAMP_444, 1.0, 3},
                                           QualityCase{"Medium", 2, 2, 20, TJSAMP_420, 3.0, 4},
                                           QualityCase{"Low", 2, 2, 75, TJSAMP_420, 5.0, 8},
                                           QualityCase{"Horizontal", 2, 1, 20, TJSAMP_422, 2.5, 4},
                                           QualityCase{"Vertical", 1, 2, 20, TJSAMP_440, 2.5, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(JpegEncoderTest, HigherCompressionGivesSmallerFilesAndLargerErrors)
{
    const auto dib = MakePackedDib24(kPictureWidth, kPictureHeight, TestPicture);
    double previousError = -1;
    std::size_t previousSize = SIZE_MAX;
    for (int compression : {0, 5, 20, 75, 99}) {
        const std::string path = PathIn(m_dir, "c.jpg");
        const DecodedJpeg jpeg =
            EncodeToFile(dib, ParamsFor(kPictureWidth, kPictureHeight, 1, 1, compression), path);
        ASSERT_TRUE(jpeg.ok) << compression;
        const double error = MeanAbsoluteError(jpeg, TestPicture);
        const std::size_t size = ReadWholeFile(path).size();
        EXPECT_GT(error, previousError) << compression;
        EXPECT_LT(size, previousSize) << compression;
        previousError = error;
        previousSize = size;
    }
}

TEST_F(JpegEncoderTest, TopOfTheDibIsTopOfTheJpeg)
{
    // Distinct corners on a grey ground; blocks of 16 fill whole MCUs at any mode.
    const PixelFunction corners = [](int x, int y) {
        const bool left = x < 16;
        const bool right = x >= 48;
        const bool top = y < 16;
        const bool bottom = y >= 32;
        if (top && left) {
            return RGB(255, 0, 0);
        }
        if (top && right) {
            return RGB(0, 255, 0);
        }
        if (bottom && left) {
            return RGB(0, 0, 255);
        }
        return RGB(128, 128, 128);
    };
    const auto dib = MakePackedDib24(64, 48, corners);
    for (int factor : {1, 2}) {
        const DecodedJpeg jpeg =
            EncodeToFile(dib, ParamsFor(64, 48, factor, factor, 20), PathIn(m_dir, "o.jpg"));
        ASSERT_TRUE(jpeg.ok);
        EXPECT_LE(ColourDistance(jpeg.At(4, 4), RGB(255, 0, 0)), 12) << factor;
        EXPECT_LE(ColourDistance(jpeg.At(59, 4), RGB(0, 255, 0)), 12) << factor;
        EXPECT_LE(ColourDistance(jpeg.At(4, 43), RGB(0, 0, 255)), 12) << factor;
        EXPECT_LE(ColourDistance(jpeg.At(59, 43), RGB(128, 128, 128)), 12) << factor;
    }
}

TEST_F(JpegEncoderTest, OddWidthsUseThePaddedStride)
{
    // Each row has its own colour and each column a ramp; reading rows at the wrong
    // stride would shear the picture and mix the padding bytes in.
    for (int width : {1, 2, 3, 5, 7, 17, 33, 101}) {
        const int height = 19;
        const PixelFunction picture = [width](int x, int y) {
            return RGB(BYTE(y * 13), BYTE(width == 1 ? 0 : x * 255 / (width - 1)), BYTE(200));
        };
        const auto dib = MakePackedDib24(width, height, picture, 0xFF);
        const DecodedJpeg jpeg =
            EncodeToFile(dib, ParamsFor(width, height, 1, 1, 5), PathIn(m_dir, "w.jpg"));
        ASSERT_TRUE(jpeg.ok) << width;
        EXPECT_EQ(jpeg.width, width);
        EXPECT_EQ(jpeg.height, height);
        EXPECT_LE(MeanAbsoluteError(jpeg, picture), 3.0) << width;
    }
}

TEST_F(JpegEncoderTest, QtReaderReadsOurFile)
{
    const auto dib = MakePackedDib24(kPictureWidth, kPictureHeight, TestPicture);
    const std::string path = PathIn(m_dir, "qt.jpg");
    ASSERT_TRUE(EncodeToFile(dib, ParamsFor(kPictureWidth, kPictureHeight, 2, 2, 20), path).ok);

    QImageReader reader(QString::fromStdString(path), "jpeg");
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(image.width(), kPictureWidth);
    EXPECT_EQ(image.height(), kPictureHeight);
    for (const auto& [x, y] : {std::pair{80, 16}, {112, 16}, {80, 48}, {112, 48}, {10, 10}}) {
        const QRgb p = image.pixel(x, y);
        EXPECT_LE(
            ColourDistance(RGB(BYTE(qRed(p)), BYTE(qGreen(p)), BYTE(qBlue(p))), TestPicture(x, y)),
            10)
            << x << "," << y;
    }
}

// --- Argument checks --------------------------------------------------------------

TEST_F(JpegEncoderTest, NullArgumentsAreRefused)
{
    const auto dib = MakePackedDib24(8, 8, TestPicture);
    const auto params = ParamsFor(8, 8, 1, 1, 20);
    const std::string path = PathIn(m_dir, "n.jpg");
    JPEGHANDLE handle = 77;
    EXPECT_EQ(JpegEncoderCompress(nullptr, &handle, &params), JPEGENC_ERR_NULL_ARGUMENT);
    EXPECT_EQ(JpegEncoderCompress(dib.data(), nullptr, &params), JPEGENC_ERR_NULL_ARGUMENT);
    EXPECT_EQ(JpegEncoderCompress(dib.data(), &handle, nullptr), JPEGENC_ERR_NULL_ARGUMENT);

    ASSERT_EQ(JpegEncoderCompress(dib.data(), &handle, &params), JPEGENC_OK);
    EXPECT_EQ(JpegEncoderWriteFile(nullptr, handle, &params), JPEGENC_ERR_NULL_ARGUMENT);
    EXPECT_EQ(JpegEncoderWriteFile(path.c_str(), handle, nullptr), JPEGENC_ERR_NULL_ARGUMENT);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
    EXPECT_EQ(JpegEncoderFree(nullptr), JPEGENC_ERR_NULL_ARGUMENT);
    EXPECT_EQ(JpegEncoderFree(&handle), JPEGENC_OK);
}

struct CompressErrorCase
{
    const char* name;
    std::function<void(BITMAPINFOHEADER&, JpegEncodeParams&)> change;
    DWORD expected;
};

void PrintTo(const CompressErrorCase& c, std::ostream* os)
{
    *os << c.name;
}

class JpegCompressErrorTest : public JpegEncoderTest,
                              public ::testing::WithParamInterface<CompressErrorCase>
{
};

TEST_P(JpegCompressErrorTest, GivesItsCodeAndNoHandle)
{
    // Only the header changes; a refused DIB must be refused before any pixel is read
    // (the sanitizer build would catch a read past this 8x8 picture).
    auto dib = MakePackedDib24(8, 8, TestPicture);
    auto params = ParamsFor(8, 8, 2, 2, 20);
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib.data(), sizeof header);
    GetParam().change(header, params);
    std::memcpy(dib.data(), &header, sizeof header);

    JPEGHANDLE handle = 0xDEAD;
    EXPECT_EQ(JpegEncoderCompress(dib.data(), &handle, &params), GetParam().expected);
    if (GetParam().expected == JPEGENC_OK) {
        EXPECT_NE(handle, 0u);
        EXPECT_EQ(JpegEncoderFree(&handle), JPEGENC_OK);
    } else {
        EXPECT_EQ(handle, 0u);
    }
}

using H = BITMAPINFOHEADER;
using P = JpegEncodeParams;
INSTANTIATE_TEST_SUITE_P(
    Cases, JpegCompressErrorTest,
    ::testing::Values(
        CompressErrorCase{"Valid", [](H&, P&) {}, JPEGENC_OK},
        CompressErrorCase{"BestQuality", [](H&, P& p) { p.nCompression = 0; }, JPEGENC_OK},
        CompressErrorCase{"WorstQuality", [](H&, P& p) { p.nCompression = 99; }, JPEGENC_OK},
        CompressErrorCase{"CoreHeader", [](H& h, P&) { h.biSize = 12; }, JPEGENC_ERR_BAD_DIB},
        CompressErrorCase{"V5Header", [](H& h, P&) { h.biSize = 124; }, JPEGENC_ERR_BAD_DIB},
        CompressErrorCase{"EightBits", [](H& h, P&) { h.biBitCount = 8; }, JPEGENC_ERR_BAD_DIB},
        CompressErrorCase{"SixteenBits", [](H& h, P&) { h.biBitCount = 16; }, JPEGENC_ERR_BAD_DIB},
        CompressErrorCase{"ThirtyTwoBits", [](H& h, P&) { h.biBitCount = 32; },
                          JPEGENC_ERR_BAD_DIB},
        CompressErrorCase{"Rle8", [](H& h, P&) { h.biCompression = BI_RLE8; }, JPEGENC_ERR_BAD_DIB},
        CompressErrorCase{"Bitfields", [](H& h, P&) { h.biCompression = BI_BITFIELDS; },
                          JPEGENC_ERR_BAD_DIB},
        CompressErrorCase{"ZeroWidth", [](H& h, P& p) { h.biWidth = p.nWidth = 0; },
                          JPEGENC_ERR_BAD_DIB},
        CompressErrorCase{"NegativeWidth", [](H& h, P& p) { h.biWidth = p.nWidth = -8; },
                          JPEGENC_ERR_BAD_DIB},
        CompressErrorCase{"ZeroHeight", [](H& h, P& p) { h.biHeight = p.nHeight = 0; },
                          JPEGENC_ERR_BAD_DIB},
        CompressErrorCase{"TopDown", [](H& h, P& p) { h.biHeight = p.nHeight = -8; },
                          JPEGENC_ERR_BAD_DIB},
        CompressErrorCase{"WiderThanJpeg", [](H& h, P& p) { h.biWidth = p.nWidth = 65536; },
                          JPEGENC_ERR_BAD_DIB},
        CompressErrorCase{"TallerThanJpeg", [](H& h, P& p) { h.biHeight = p.nHeight = 65536; },
                          JPEGENC_ERR_BAD_DIB},
        CompressErrorCase{"OverAGigabyte",
                          [](H& h, P& p) {
                              h.biWidth = p.nWidth = 20000;
                              h.biHeight = p.nHeight = 20000;
                          },
                          JPEGENC_ERR_BAD_DIB},
        CompressErrorCase{"MaxStrideTimesMaxHeight",
                          [](H& h, P& p) {
                              h.biWidth = p.nWidth = 65535;
                              h.biHeight = p.nHeight = 65535;
                          },
                          JPEGENC_ERR_BAD_DIB},
        CompressErrorCase{"WidthDiffers", [](H&, P& p) { p.nWidth = 9; }, JPEGENC_ERR_BAD_PARAMS},
        CompressErrorCase{"HeightDiffers", [](H&, P& p) { p.nHeight = -8; },
                          JPEGENC_ERR_BAD_PARAMS},
        CompressErrorCase{"FactorZero", [](H&, P& p) { p.nFactorX = 0; }, JPEGENC_ERR_BAD_PARAMS},
        CompressErrorCase{"FactorThree", [](H&, P& p) { p.nFactorY = 3; }, JPEGENC_ERR_BAD_PARAMS},
        CompressErrorCase{"FactorFour", [](H&, P& p) { p.nFactorX = p.nFactorY = 4; },
                          JPEGENC_ERR_BAD_PARAMS},
        CompressErrorCase{"FactorNegative", [](H&, P& p) { p.nFactorX = -1; },
                          JPEGENC_ERR_BAD_PARAMS},
        CompressErrorCase{"CompressionNegative", [](H&, P& p) { p.nCompression = -1; },
                          JPEGENC_ERR_BAD_PARAMS},
        CompressErrorCase{"CompressionHundred", [](H&, P& p) { p.nCompression = 100; },
                          JPEGENC_ERR_BAD_PARAMS},
        CompressErrorCase{"ReservedSet", [](H&, P& p) { p.nReserved = 1; },
                          JPEGENC_ERR_BAD_PARAMS}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(JpegEncoderTest, EncoderFailureIsReported)
{
    // Within the DIB limits but beyond what the JPEG encoder itself accepts (65500).
    for (const auto& [width, height] : {std::pair{65535, 1}, {1, 65535}}) {
        const auto dib = MakePackedDib24(width, height, [](int, int) { return RGB(1, 2, 3); });
        const auto params = ParamsFor(width, height, 1, 1, 20);
        JPEGHANDLE handle = 0xDEAD;
        EXPECT_EQ(JpegEncoderCompress(dib.data(), &handle, &params), JPEGENC_ERR_ENCODER);
        EXPECT_EQ(handle, 0u);
    }
    // The encoder of this thread works on afterwards.
    const auto dib = MakePackedDib24(8, 8, TestPicture);
    EXPECT_TRUE(EncodeToFile(dib, ParamsFor(8, 8, 1, 1, 20), PathIn(m_dir, "after.jpg")).ok);
}

TEST_F(JpegEncoderTest, WriteFileRefusesUnknownHandlesAndOtherRecords)
{
    const auto dib = MakePackedDib24(16, 8, TestPicture);
    const auto params = ParamsFor(16, 8, 2, 2, 20);
    const std::string path = PathIn(m_dir, "h.jpg");

    JPEGHANDLE freed = 0;
    ASSERT_EQ(JpegEncoderCompress(dib.data(), &freed, &params), JPEGENC_OK);
    const JPEGHANDLE stale = freed;
    ASSERT_EQ(JpegEncoderFree(&freed), JPEGENC_OK);
    for (const JPEGHANDLE unknown : {JPEGHANDLE(0), stale, JPEGHANDLE(0xFFFFFFF0)}) {
        EXPECT_EQ(JpegEncoderWriteFile(path.c_str(), unknown, &params), JPEGENC_ERR_UNKNOWN_HANDLE)
            << unknown;
    }

    JPEGHANDLE handle = 0;
    ASSERT_EQ(JpegEncoderCompress(dib.data(), &handle, &params), JPEGENC_OK);
    const std::function<void(P&)> changes[] = {
        [](P& p) { p.nWidth = 17; },      [](P& p) { p.nHeight = 9; },
        [](P& p) { p.nFactorX = 1; },     [](P& p) { p.nFactorY = 1; },
        [](P& p) { p.nCompression = 5; }, [](P& p) { p.nReserved = 3; }};
    for (const auto& change : changes) {
        P other = params;
        change(other);
        EXPECT_EQ(JpegEncoderWriteFile(path.c_str(), handle, &other), JPEGENC_ERR_BAD_PARAMS);
    }
    EXPECT_TRUE(Entries(m_dir.path()).isEmpty());
    // The handle is still good after the refusals.
    EXPECT_EQ(JpegEncoderWriteFile(path.c_str(), handle, &params), JPEGENC_OK);
    EXPECT_TRUE(DecodeJpegFile(path).ok);
    EXPECT_EQ(JpegEncoderFree(&handle), JPEGENC_OK);
}

// --- Files ------------------------------------------------------------------------

TEST_F(JpegEncoderTest, WritingReplacesAnEarlierFileAndLeavesNoTemporary)
{
    const std::string path = PathIn(m_dir, "r.jpg");
    {
        QFile earlier(QString::fromStdString(path));
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier");
    }
    const auto dib = MakePackedDib24(24, 24, TestPicture);
    const DecodedJpeg jpeg = EncodeToFile(dib, ParamsFor(24, 24, 1, 1, 5), path);
    EXPECT_TRUE(jpeg.ok);
    EXPECT_EQ(Entries(m_dir.path()), QStringList{"r.jpg"});
}

// A JPEG replaces only a regular file: special files, links and kernel files are
// refused and left as they were.
TEST_F(JpegEncoderTest, SpecialFilesLinksAndKernelFilesAreNeverReplaced)
{
    QTemporaryDir other;
    vexol::test::RefusedTargets targets(other.path().toStdString());
    const auto dib = MakePackedDib24(24, 24, TestPicture);
    const JpegEncodeParams params = ParamsFor(24, 24, 1, 1, 5);
    JPEGHANDLE handle = 0;
    ASSERT_EQ(JpegEncoderCompress(dib.data(), &handle, &params), JPEGENC_OK);
    for (const vexol::test::RefusedTarget& target : targets.All()) {
        EXPECT_EQ(JpegEncoderWriteFile(target.path.c_str(), handle, &params),
                  JPEGENC_ERR_WRITE_FILE)
            << target.label;
        EXPECT_EQ(targets.Changes(), "") << target.label;
    }
    JpegEncoderFree(&handle);
}

enum class Unwritable { MissingFolder, TargetIsFolder, ReadOnlyFolder };

class JpegUnwritableTest : public JpegEncoderTest, public ::testing::WithParamInterface<Unwritable>
{
protected:
    // Makes the folder writable again so that the temporary folder can be removed.
    void TearDown() override
    {
        if (!m_readOnlyFolder.empty()) {
            ::chmod(m_readOnlyFolder.c_str(), 0755);
        }
        JpegEncoderTest::TearDown();
    }
    std::string m_readOnlyFolder;
};

TEST_P(JpegUnwritableTest, FailsAndLeavesTheFolderAsItWas)
{
    const QString root = m_dir.path();
    QString folder = root;
    std::string path;
    switch (GetParam()) {
    case Unwritable::MissingFolder:
        path = PathIn(m_dir, "missing/x.jpg");
        break;
    case Unwritable::TargetIsFolder:
        ASSERT_TRUE(QDir(root).mkpath("x.jpg/inner"));
        path = PathIn(m_dir, "x.jpg");
        break;
    case Unwritable::ReadOnlyFolder:
        if (::geteuid() == 0) {
            GTEST_SKIP() << "permissions do not bind root";
        }
        ASSERT_TRUE(QDir(root).mkdir("ro"));
        folder = QDir(root).filePath("ro");
        path = QDir(folder).filePath("x.jpg").toStdString();
        {
            QFile earlier(QString::fromStdString(path));
            ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
            earlier.write("earlier");
        }
        ASSERT_EQ(::chmod(folder.toLocal8Bit().constData(), 0555), 0);
        m_readOnlyFolder = folder.toStdString();
        break;
    }
    const QStringList before = Entries(folder);
    const auto earlierBytes = ReadWholeFile(path);

    const auto dib = MakePackedDib24(16, 16, TestPicture);
    const auto params = ParamsFor(16, 16, 2, 2, 20);
    JPEGHANDLE handle = 0;
    ASSERT_EQ(JpegEncoderCompress(dib.data(), &handle, &params), JPEGENC_OK);
    EXPECT_EQ(JpegEncoderWriteFile(path.c_str(), handle, &params), JPEGENC_ERR_WRITE_FILE);
    EXPECT_EQ(JpegEncoderFree(&handle), JPEGENC_OK);

    EXPECT_EQ(Entries(folder), before);
    EXPECT_EQ(ReadWholeFile(path), earlierBytes);
    if (GetParam() == Unwritable::TargetIsFolder) {
        EXPECT_TRUE(QFileInfo(QString::fromStdString(path)).isDir());
        EXPECT_EQ(Entries(QString::fromStdString(path)), QStringList{"inner"});
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, JpegUnwritableTest,
                         ::testing::Values(Unwritable::MissingFolder, Unwritable::TargetIsFolder,
                                           Unwritable::ReadOnlyFolder),
                         [](const auto& info) {
                             switch (info.param) {
                             case Unwritable::MissingFolder:
                                 return "MissingFolder";
                             case Unwritable::TargetIsFolder:
                                 return "TargetIsFolder";
                             case Unwritable::ReadOnlyFolder:
                                 break;
                             }
                             return "ReadOnlyFolder";
                         });

// --- Handles ----------------------------------------------------------------------

TEST_F(JpegEncoderTest, FreeingTwiceOrAStaleCopyIsHarmless)
{
    const auto dib = MakePackedDib24(8, 8, TestPicture);
    const auto params = ParamsFor(8, 8, 1, 1, 20);
    JPEGHANDLE handle = 0;
    ASSERT_EQ(JpegEncoderCompress(dib.data(), &handle, &params), JPEGENC_OK);
    JPEGHANDLE copy = handle;
    const JPEGHANDLE first = handle;

    EXPECT_EQ(JpegEncoderFree(&handle), JPEGENC_OK);
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(JpegEncoderFree(&handle), JPEGENC_OK); // 0: nothing to release
    EXPECT_EQ(JpegEncoderFree(&copy), JPEGENC_ERR_UNKNOWN_HANDLE);
    EXPECT_EQ(copy, 0u);
    JPEGHANDLE neverIssued = 0xFFFFFFF1;
    EXPECT_EQ(JpegEncoderFree(&neverIssued), JPEGENC_ERR_UNKNOWN_HANDLE);

    // The freed value is not handed out again straight away.
    ASSERT_EQ(JpegEncoderCompress(dib.data(), &handle, &params), JPEGENC_OK);
    EXPECT_NE(handle, first);
    JPEGHANDLE staleCopy = first;
    EXPECT_EQ(JpegEncoderFree(&staleCopy), JPEGENC_ERR_UNKNOWN_HANDLE);
    EXPECT_EQ(JpegEncoderWriteFile(PathIn(m_dir, "s.jpg").c_str(), handle, &params), JPEGENC_OK);
    EXPECT_EQ(JpegEncoderFree(&handle), JPEGENC_OK);
}

TEST_F(JpegEncoderTest, LiveHandlesAreIndependent)
{
    const COLORREF colours[3] = {RGB(200, 30, 30), RGB(30, 200, 30), RGB(30, 30, 200)};
    const int widths[3] = {8, 24, 40};
    JpegEncodeParams params[3];
    JPEGHANDLE handles[3] = {};
    for (int i = 0; i < 3; ++i) {
        const COLORREF colour = colours[i];
        const auto dib = MakePackedDib24(widths[i], 16, [colour](int, int) { return colour; });
        params[i] = ParamsFor(widths[i], 16, 1 + i % 2, 1 + i % 2, 5 + 30 * i);
        ASSERT_EQ(JpegEncoderCompress(dib.data(), &handles[i], &params[i]), JPEGENC_OK);
    }
    EXPECT_NE(handles[0], handles[1]);
    EXPECT_NE(handles[1], handles[2]);
    EXPECT_NE(handles[0], handles[2]);

    // Freeing the middle one leaves the others intact; the source DIBs are gone by now.
    EXPECT_EQ(JpegEncoderFree(&handles[1]), JPEGENC_OK);
    for (int i : {2, 0}) {
        const std::string path = PathIn(m_dir, i == 0 ? "a.jpg" : "c.jpg");
        ASSERT_EQ(JpegEncoderWriteFile(path.c_str(), handles[i], &params[i]), JPEGENC_OK);
        const DecodedJpeg jpeg = DecodeJpegFile(path);
        ASSERT_TRUE(jpeg.ok);
        EXPECT_EQ(jpeg.width, widths[i]);
        EXPECT_LE(ColourDistance(jpeg.At(4, 8), colours[i]), 8) << i;
        EXPECT_EQ(JpegEncoderFree(&handles[i]), JPEGENC_OK);
    }
}

TEST_F(JpegEncoderTest, TooManyLiveResultsAreRefusedUntilOneIsFreed)
{
    const auto dib = MakePackedDib24(1, 1, TestPicture);
    const auto params = ParamsFor(1, 1, 1, 1, 50);
    std::vector<JPEGHANDLE> handles;
    while (JpegEncoderLiveResults() < kJpegEncoderMaxLiveResults) {
        JPEGHANDLE handle = 0;
        ASSERT_EQ(JpegEncoderCompress(dib.data(), &handle, &params), JPEGENC_OK);
        handles.push_back(handle);
    }
    JPEGHANDLE refused = 0xDEAD;
    EXPECT_EQ(JpegEncoderCompress(dib.data(), &refused, &params), JPEGENC_ERR_OUT_OF_MEMORY);
    EXPECT_EQ(refused, 0u);

    EXPECT_EQ(JpegEncoderFree(&handles.back()), JPEGENC_OK);
    handles.pop_back();
    JPEGHANDLE again = 0;
    EXPECT_EQ(JpegEncoderCompress(dib.data(), &again, &params), JPEGENC_OK);
    handles.push_back(again);
    for (JPEGHANDLE& handle : handles) {
        EXPECT_EQ(JpegEncoderFree(&handle), JPEGENC_OK);
    }
}

TEST_F(JpegEncoderTest, ThreadsEncodeAtTheSameTime)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 12;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                const COLORREF colour = RGB(BYTE(40 + 50 * t), BYTE(20 * round), BYTE(90));
                const auto dib = MakePackedDib24(48, 32, [colour](int, int) { return colour; });
                const auto params = ParamsFor(48, 32, 1 + round % 2, 1 + t % 2, 10);
                const std::string path = PathIn(m_dir, ("t" + std::to_string(t) + ".jpg").c_str());
                JPEGHANDLE handle = 0;
                if (JpegEncoderCompress(dib.data(), &handle, &params) != JPEGENC_OK ||
                    JpegEncoderWriteFile(path.c_str(), handle, &params) != JPEGENC_OK ||
                    JpegEncoderFree(&handle) != JPEGENC_OK) {
                    ++failures;
                    continue;
                }
                const DecodedJpeg jpeg = DecodeJpegFile(path);
                if (!jpeg.ok || ColourDistance(jpeg.At(24, 16), colour) > 6) {
                    ++failures;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures.load(), 0);
}

} // namespace
