// WM_CAP_FILE_SAVEDIB for every depth: the file's headers, and the picture as a peer
// reader (Qt, ImageMagick) and CDib see it. Frame 7 of the pattern is saved, so the
// colour bars and the moving bar are at known places.
#include "CaptureTestHelpers.h"

#include "still/CDib.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

namespace capture_test {
namespace {

constexpr int kWidth = 320, kHeight = 240;
constexpr int kBarRow = 40;     // a row of the colour bars, from the top
constexpr int kMovingBarX = 37; // inside the moving bar of frame 7 (columns 35 to 42)

struct SaveCase
{
    const char* name;
    UINT driver;
    int requestedBits;
    int fileBits;
    int tolerance; // per colour channel; YUV frames go through a colour conversion
};

void PrintTo(const SaveCase& c, std::ostream* os)
{
    *os << c.name;
}

const SaveCase kCases[] = {
    {"Rgb8WithColourTable", kTestPatternIndex, 8, 8, 0},
    {"Rgb555", kTestPatternIndex, 16, 16, 7}, // readers widen 5-bit channels differently
    {"Rgb24", kTestPatternIndex, 24, 24, 0},
    {"Rgb32", kTestPatternIndex, 32, 32, 0},
    {"Pl41As24", kShutterSwitchIndex, 24, 24, 6},
};

QRgb BarColour(int bar)
{
    return 0xFF000000u | kColourBarColours[bar];
}

int BarCentre(int bar)
{
    return bar * kWidth / 8 + kWidth / 16;
}

bool Near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

class SaveDibTest : public ::testing::TestWithParam<SaveCase>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("still.bmp").toStdString();
        ASSERT_TRUE(f.Connect(GetParam().driver));
        ASSERT_EQ(f.SetFormat(kWidth, kHeight, GetParam().requestedBits), TRUE);
        dynamic_cast<SyntheticCameraDriver*>(f.Window()->Driver())->SetNextFrameNumber(7);
        ASSERT_EQ(f.Send(WM_CAP_GRAB_FRAME), TRUE);
        ASSERT_EQ(f.Send(WM_CAP_FILE_SAVEDIB, 0, path.c_str()), TRUE);
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        bytes.assign(data.begin(), data.end());
        ASSERT_GT(bytes.size(), sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER));
    }

    BuiltInDriversOnly builtIns;
    DriverWindowFixture f;
    QTemporaryDir dir;
    std::string path;
    std::vector<BYTE> bytes;
};

TEST_P(SaveDibTest, HeadersDescribeTheFrame)
{
    BITMAPFILEHEADER file;
    BITMAPINFOHEADER info;
    std::memcpy(&file, bytes.data(), sizeof file);
    std::memcpy(&info, bytes.data() + sizeof file, sizeof info);
    const int bits = GetParam().fileBits;
    const DWORD colours = bits == 8 ? 256 : 0;
    const DWORD stride = DWORD(((kWidth * bits + 31) / 32) * 4);
    // Packed fields are copied out before comparing (no references to them).
    const WORD type = file.bfType;
    const DWORD fileSize = file.bfSize, offBits = file.bfOffBits;
    EXPECT_EQ(type, 0x4D42);
    EXPECT_EQ(fileSize, bytes.size());
    EXPECT_EQ(offBits, 14 + 40 + colours * 4);
    EXPECT_EQ(info.biSize, 40u);
    EXPECT_EQ(info.biWidth, kWidth);
    EXPECT_EQ(info.biHeight, kHeight) << "bottom-up rows";
    EXPECT_EQ(info.biBitCount, bits);
    EXPECT_EQ(info.biCompression, BI_RGB);
    EXPECT_EQ(info.biClrUsed, colours);
    EXPECT_EQ(info.biSizeImage, stride * kHeight);
    EXPECT_EQ(bytes.size(), offBits + stride * kHeight);
}

TEST_P(SaveDibTest, QtReadsTheBarsAndTheMovingBarOfFrameSeven)
{
    const QImage image(QString::fromStdString(path));
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.size(), QSize(kWidth, kHeight));
    const int tolerance = GetParam().tolerance;
    for (int bar = 0; bar < 8; ++bar) {
        EXPECT_TRUE(Near(image.pixel(BarCentre(bar), kBarRow), BarColour(bar), tolerance))
            << "bar " << bar << ": " << std::hex << image.pixel(BarCentre(bar), kBarRow);
    }
    // The moving bar inverts the white bar under it.
    EXPECT_TRUE(Near(image.pixel(kMovingBarX, kBarRow), qRgb(0, 0, 0), tolerance));
    EXPECT_TRUE(Near(image.pixel(kMovingBarX, kHeight - 1), qRgb(0, 0, 0), tolerance))
        << "the number band at the bottom is black";
}

TEST_P(SaveDibTest, ImageMagickIdentifiesTheFile)
{
    QProcess identify;
    identify.start("identify", {"-format", "%m %w %h", QString::fromStdString(path)});
    ASSERT_TRUE(identify.waitForFinished(20000)) << "ImageMagick's identify is needed";
    EXPECT_EQ(identify.exitCode(), 0) << identify.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(identify.readAllStandardOutput());
    EXPECT_TRUE(out.startsWith("BMP")) << out.toStdString();
    EXPECT_TRUE(out.endsWith(" 320 240")) << out.toStdString();
}

// CDib holds 1, 4, 8 and 24-bit bitmaps, so it reads those files directly.
class CDibReadTest : public SaveDibTest
{
};

TEST_P(CDibReadTest, ColourBarsThroughCDib)
{
    CDib dib;
    ASSERT_TRUE(dib.LoadPackedDib(bytes.data() + sizeof(BITMAPFILEHEADER),
                                  DWORD(bytes.size() - sizeof(BITMAPFILEHEADER))));
    EXPECT_EQ(dib.GetBitCount(), GetParam().fileBits);
    EXPECT_EQ(dib.GetSize().cx, kWidth);
    EXPECT_EQ(dib.GetSize().cy, kHeight);
    const int y = kHeight - 1 - kBarRow; // CDib counts rows from the bottom
    for (int bar = 0; bar < 8; ++bar) {
        const COLORREF c = dib.GetPixel(BarCentre(bar), y);
        const QRgb expected = BarColour(bar);
        EXPECT_TRUE(
            Near(qRgb(GetRValue(c), GetGValue(c), GetBValue(c)), expected, GetParam().tolerance))
            << "bar " << bar;
    }
}

std::string CaseName(const ::testing::TestParamInfo<SaveCase>& info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Depths, SaveDibTest, ::testing::ValuesIn(kCases), CaseName);
INSTANTIATE_TEST_SUITE_P(Depths, CDibReadTest, ::testing::Values(kCases[0], kCases[2], kCases[4]),
                         CaseName);

TEST(SaveDib, FailuresWriteNothingAndKeepAnEarlierFile)
{
    BuiltInDriversOnly builtIns;
    DriverWindowFixture f;
    QTemporaryDir dir;
    const std::string missingFolder = dir.filePath("no/such/folder/x.bmp").toStdString();
    EXPECT_EQ(f.Send(WM_CAP_FILE_SAVEDIB, 0, missingFolder.c_str()), FALSE) << "no driver yet";
    ASSERT_TRUE(f.Connect(kTestPatternIndex));
    EXPECT_EQ(f.Send(WM_CAP_FILE_SAVEDIB, 0, missingFolder.c_str()), FALSE);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(missingFolder)));
    EXPECT_EQ(f.Send(WM_CAP_FILE_SAVEDIB, 0, ""), FALSE);
    EXPECT_EQ(f.Send(WM_CAP_FILE_SAVEDIB, 0, LPARAM(0)), FALSE);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0)
        << "no temporary files left";

    // Without a grab or preview there is still a current frame: one is taken.
    const std::string path = dir.filePath("first.bmp").toStdString();
    ASSERT_EQ(f.Send(WM_CAP_FILE_SAVEDIB, 0, path.c_str()), TRUE);
    EXPECT_FALSE(QImage(QString::fromStdString(path)).isNull());
    // An existing file is replaced.
    ASSERT_EQ(f.SetFormat(160, 120, 8), TRUE);
    ASSERT_EQ(f.Send(WM_CAP_FILE_SAVEDIB, 0, path.c_str()), TRUE);
    EXPECT_EQ(QImage(QString::fromStdString(path)).size(), QSize(160, 120));
}

} // namespace
} // namespace capture_test
