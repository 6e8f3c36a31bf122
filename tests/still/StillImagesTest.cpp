// Stills as files: the JPEG record of each quality and the format each name gives (read
// back by libjpeg-turbo), numbered names, the colour rule of shutter-switch frames and its
// bulk form over every input, and stills taken from a driver: every depth of the built-in
// camera read back by ImageMagick, and the temporary file in every outcome.
#include "DibTestSupport.h"
#include "platform/WindowRegistry.h"

#include "capture/CCaptureWindow.h"
#include "platform/capture/CaptureService.h"
#include "platform/capture/DriverRegistry.h"
#include "platform/capture/DriverWindow.h"
#include "platform/capture/SyntheticCameraDriver.h"
#include "platform/capture/TestPatternRenderer.h"
#include "settings/RegistryStore.h"
#include "still/StillImages.h"
#include "still/YuvToRgb.h"
#include "support/CaptureWindowFixture.h"
#include "support/ImageTestSupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <turbojpeg.h>

namespace vexol::test {
namespace {

namespace still = vexol::still;
namespace cap = vexol::platform::capture;

std::string In(const QTemporaryDir& dir, const std::string& name)
{
    return dir.filePath(QString::fromStdString(name)).toStdString();
}

TEST(StillFileTest, QualityChoosesTheRecordAndTheNameChoosesTheFormat)
{
    QTemporaryDir dir;
    CDib picture = MakeDib(24, 40, 30, [](int x, int y) { return RGB(x * 6, y * 8, (x + y) * 3); });
    const struct
    {
        INT mode;
        std::int32_t factor, compression;
        int subsampling;
    } modes[] = {{0, 1, 5, TJSAMP_444},
                 {1, 2, 20, TJSAMP_420},
                 {2, 2, 75, TJSAMP_420},
                 {7, 2, 20, TJSAMP_420},
                 {-1, 2, 20, TJSAMP_420}};
    std::vector<std::size_t> sizes;
    for (const auto& m : modes) {
        SCOPED_TRACE(m.mode);
        const JpegEncodeParams p = still::JpegParamsFor(m.mode, 40, 30);
        EXPECT_EQ((std::vector<std::int32_t>{p.nWidth, p.nHeight, p.nFactorX, p.nFactorY,
                                             p.nCompression, p.nReserved}),
                  (std::vector<std::int32_t>{40, 30, m.factor, m.factor, m.compression, 0}));
        const std::string path = In(dir, "mode" + std::to_string(m.mode) + ".jpg");
        ASSERT_TRUE(still::SaveStillImage(path.c_str(), &picture, m.mode, nullptr));
        const DecodedJpeg decoded = DecodeJpegFile(path);
        ASSERT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.subsampling, m.subsampling);
        EXPECT_LT(
            MeanAbsoluteError(decoded, [&](int x, int y) { return picture.GetPixel(x, 29 - y); }),
            12.0);
        sizes.push_back(ReadWholeFile(path).size());
    }
    EXPECT_GT(sizes[1], sizes[2]) << "Low compresses more than Medium";

    const struct
    {
        const char* name;
        bool jpeg;
    } names[] = {{"a.jpg", true},  {"b.JPG", true}, {"c.Jpg", true},      {"d.jpeg", false},
                 {"e.bmp", false}, {"f", false},    {"g.jpg.bmp", false}, {"h.bmp.jpg", true}};
    for (const auto& n : names) {
        EXPECT_EQ(still::IsJpegName(n.name), n.jpeg) << n.name;
        const std::string path = In(dir, n.name);
        ASSERT_TRUE(still::SaveStillImage(path.c_str(), &picture, 1, nullptr)) << n.name;
        const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
        ASSERT_GE(bytes.size(), 2u);
        EXPECT_EQ(bytes[0] == 0xFF && bytes[1] == 0xD8, n.jpeg) << n.name;
        EXPECT_EQ(bytes[0] == 'B' && bytes[1] == 'M', !n.jpeg) << n.name;
    }
}

TEST(StillFileTest, NumberedNamesCountToTenThousandAndAFailedSaveKeepsItsNumber)
{
    const struct
    {
        const char* base;
        INT counter;
        const char* name;
        INT next;
    } cases[] = {
        {"/pics/cat.jpg", 0, "/pics/cat_0001.jpg", 1},
        {"/pics/cat.jpg", 1, "/pics/cat_0002.jpg", 2},
        {"/pics/cat.JPG", 9998, "/pics/cat_9999.JPG", 9999},
        {"/pics/cat.JPG", 9999, "/pics/cat_0000.JPG", 0},
        {"shots/v1.2/x.bmp", 41, "shots/v1.2/x_0042.bmp", 42},
        {"/pics/plain", 0, "/pics/plain_0001", 1},
        {"D:\\pics\\cat.jpg", 0, "D:\\pics\\cat_0001.jpg", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(still::NumberedStillName(c.base, c.counter), c.name);
        EXPECT_EQ(still::NextStillCounter(c.counter), c.next) << c.counter;
    }

    QTemporaryDir dir;
    CDib picture = MakeDib(24, 8, 8, [](int x, int y) { return RGB(x, y, 0); });
    RegistryStore store;
    store.m_strContinuousBase = In(dir, "cat.bmp");
    ASSERT_TRUE(still::SaveNumberedStill(store, &picture, nullptr));
    ASSERT_TRUE(QDir(dir.path()).mkdir("cat_0002.bmp")); // no file can be written there
    EXPECT_FALSE(still::SaveNumberedStill(store, &picture, nullptr));
    EXPECT_EQ(store.m_nContinuousCounter, 1);
    ASSERT_TRUE(QDir(dir.path()).rmdir("cat_0002.bmp"));
    EXPECT_TRUE(still::SaveNumberedStill(store, &picture, nullptr));
    EXPECT_EQ(store.m_nContinuousCounter, 2);
    EXPECT_EQ(ReadWholeFile(In(dir, "cat_0002.bmp")).size(), 14u + 40 + 24 * 8);
}

TEST(YuvToRgbTest, LimitsThenTruncatesAndTheBulkFormAgreesOnEveryInput)
{
    EXPECT_EQ(YuvToRgb(128, 128, 128), 0x808080u);
    EXPECT_EQ(YuvToRgb(255, 128, 255), RGB(255, 164, 254)) << "red limited from about 433";
    EXPECT_EQ(GetBValue(YuvToRgb(0, 0, 128)), 0) << "blue limited from about -227";
    EXPECT_EQ(YuvToRgb(100, 128, 129), RGB(101, 99, 99)) << "truncated, not rounded";
    EXPECT_EQ(YuvToRgb(100, 129, 128), RGB(100, 99, 101)) << "including the small v term in B";

    // 64 frames of 512 x 512 whose chroma planes hold every (Cb, Cr) pair once and whose
    // luma gives each pair four of the 256 values: every input once.
    constexpr int kSize = 512;
    std::vector<BYTE> frame(kSize * kSize * 3 / 2);
    BYTE* cb = frame.data() + kSize * kSize;
    BYTE* cr = cb + kSize * kSize / 4;
    for (int i = 0; i < 256 * 256; ++i) {
        cb[i] = BYTE(i % 256);
        cr[i] = BYTE(i / 256);
    }
    long mismatches = 0;
    for (int part = 0; part < 64; ++part) {
        for (int row = 0; row < kSize; ++row) {
            for (int x = 0; x < kSize; ++x) {
                frame[std::size_t(row) * kSize + x] = BYTE(4 * part + 2 * (row % 2) + x % 2);
            }
        }
        const auto exact = HeapCopy(frame);
        CDib dib;
        ASSERT_TRUE(still::PlanarFrameToDib(exact.get(), frame.size(), kSize, kSize, dib));
        const BYTE* pixels = dib.GetData() + 40;
        for (int row = 0; row < kSize; ++row) {
            const BYTE* out = pixels + std::size_t(kSize - 1 - row) * dib.GetStride();
            for (int x = 0; x < kSize; ++x, out += 3) {
                const int sample = (row / 2) * (kSize / 2) + x / 2;
                const COLORREF want =
                    YuvToRgb(frame[std::size_t(row) * kSize + x], cb[sample], cr[sample]);
                mismatches += RGB(out[2], out[1], out[0]) != want;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// Stills from the built-in test-pattern and shutter-switch cameras, frame 7 grabbed, so
// the colour bars stand at known places; the temporary folder is the test's own.
class TakeStillTest : public ::testing::Test
{
protected:
    TakeStillTest() : m_tmpdir(qgetenv("TMPDIR"))
    {
        cap::SetInstalledDriversForTesting(cap::BuiltInDrivers());
        qputenv("TMPDIR", temp.path().toUtf8());
    }
    ~TakeStillTest() override
    {
        window.reset();
        cap::SetInstalledDriversForTesting(std::nullopt);
        m_tmpdir.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", m_tmpdir);
    }
    QStringList TemporaryFiles() const
    {
        return QDir(temp.path()).entryList(QDir::Files | QDir::System);
    }

    QTemporaryDir temp;
    QTemporaryDir out;
    QWidget parent;
    std::unique_ptr<CCaptureWindow> window;
    RecordingOwner owner;

private:
    QByteArray m_tmpdir;
};

TEST_F(TakeStillTest, EveryDriverDepthGivesA24BitPictureThatImageMagickReads)
{
    const struct
    {
        const char* name;
        int driver, bits;
        DWORD compression;
        int tolerance;
    } cases[] = {{"Palette8", 0, 8, BI_RGB, 0},
                 {"Rgb555", 0, 16, BI_RGB, 8},
                 {"Rgb24", 0, 24, BI_RGB, 0},
                 {"Rgb32", 0, 32, BI_RGB, 0},
                 {"Pl41", 1, 12, FOURCC_PL41, 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window = std::make_unique<CCaptureWindow>();
        window->SetOwner(&owner);
        ASSERT_TRUE(
            window->Create(nullptr, "Capture Window", WS_CHILD, {0, 0, 320, 240}, &parent, 1));
        ASSERT_TRUE(window->ConnectDriver(c.driver));
        const HWND driver = window->GetDriverWindow();
        window->Freeze(TRUE); // no live frames from here on
        const BITMAPINFOHEADER format{40, 320, 240, 1, WORD(c.bits), c.compression, 0, 0, 0, 0, 0};
        ASSERT_EQ(SendMessageA(driver, WM_CAP_SET_VIDEOFORMAT, sizeof format,
                               reinterpret_cast<LPARAM>(&format)),
                  TRUE);
        dynamic_cast<cap::SyntheticCameraDriver*>(
            static_cast<cap::DriverWindow*>(WindowOfHandle(driver))->Driver())
            ->SetNextFrameNumber(7);
        ASSERT_EQ(SendMessageA(driver, WM_CAP_GRAB_FRAME, 0, 0), TRUE);

        CDib picture;
        ASSERT_TRUE(still::TakeStillImage(*window, picture));
        EXPECT_TRUE(TemporaryFiles().isEmpty()) << TemporaryFiles().join(' ').toStdString();
        EXPECT_EQ(picture.GetBitCount(), 24);
        const std::string path = In(out, std::string(c.name) + ".bmp");
        ASSERT_TRUE(still::SaveStillImage(path.c_str(), &picture, 1, nullptr));

        QProcess convert; // the picture as ImageMagick reads it: top-down RGB bytes
        convert.start("convert", {QString::fromStdString(path), "-depth", "8", "rgb:-"});
        ASSERT_TRUE(convert.waitForFinished(30000)) << "ImageMagick's convert is needed";
        const QByteArray rgb = convert.readAllStandardOutput();
        ASSERT_EQ(rgb.size(), 320 * 240 * 3) << convert.readAllStandardError().toStdString();
        auto near = [&](int x, int y, std::uint32_t colour) {
            const auto* p = reinterpret_cast<const BYTE*>(rgb.constData()) + 3 * (y * 320 + x);
            return ColourDistance(RGB(p[0], p[1], p[2]), RGB(colour >> 16, (colour >> 8) & 255,
                                                             colour & 255)) <= c.tolerance;
        };
        for (int bar = 0; bar < 8; ++bar) {
            EXPECT_TRUE(near(bar * 40 + 20, 40, cap::kColourBarColours[bar])) << "bar " << bar;
        }
        EXPECT_TRUE(near(300, 239, 0)) << "the black band at the bottom";
    }
}

TEST_F(TakeStillTest, TheTemporaryFileIsPrivateAndGoesWhateverTheDriverLeavesInIt)
{
    FakeCaptureService service;
    window = std::make_unique<CCaptureWindow>();
    window->SetServiceCalls(&service);
    ASSERT_TRUE(window->Create(nullptr, "Capture Window", WS_CHILD, {0, 0, 320, 240}, &parent, 1));
    auto bmp = [](int bits, std::size_t pixelBytes) {
        std::vector<BYTE> file(14, 0);
        const auto dib = Pack(DibHeader(bits, 4, 2), MakeTable(bits <= 8 ? 1 << bits : 0),
                              std::vector<BYTE>(pixelBytes, 0x11));
        file.insert(file.end(), dib.begin(), dib.end());
        return file;
    };
    const struct
    {
        const char* name;
        LRESULT driverResult;
        std::vector<BYTE> file;
        int bitCount; // of the picture taken, 0: nothing taken
    } cases[] = {{"DriverRefuses", FALSE, bmp(24, 24), 0},
                 {"EmptyFile", TRUE, {}, 0},
                 {"ShorterThanItsHeaders", TRUE, std::vector<BYTE>(50, 0), 0},
                 {"RowsMissing16", TRUE, bmp(16, 10), 0},
                 {"RowsMissing32", TRUE, bmp(32, 31), 0},
                 {"TwoBitsRefused", TRUE, bmp(2, 8), 0},
                 {"OneBitKept", TRUE, bmp(1, 8), 1},
                 {"Rgb555", TRUE, bmp(16, 16), 24},
                 {"Palette4", TRUE, bmp(4, 8), 24}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string written;
        mode_t mode = 0;
        service.answers[WM_CAP_FILE_SAVEDIB] = c.driverResult;
        service.onMessage = [&](const SentMessage& m) {
            if (m.message == WM_CAP_FILE_SAVEDIB) {
                struct stat st
                {
                };
                ::stat(m.text.c_str(), &st);
                mode = st.st_mode & 07777;
                written = m.text;
                QFile file(QString::fromStdString(m.text));
                file.open(QIODevice::WriteOnly | QIODevice::Truncate);
                file.write(reinterpret_cast<const char*>(c.file.data()), qint64(c.file.size()));
            }
        };
        CDib picture;
        EXPECT_EQ(still::TakeStillImage(*window, picture), c.bitCount != 0);
        EXPECT_EQ(picture.GetBitCount(), c.bitCount);
        EXPECT_EQ(mode, 0600u);
        const QString name = QFileInfo(QString::fromStdString(written)).fileName();
        EXPECT_TRUE(name.startsWith("Vexol") && name.endsWith(".bmp")) << written;
        EXPECT_EQ(QFileInfo(QString::fromStdString(written)).absolutePath(),
                  QFileInfo(temp.path()).absoluteFilePath());
        EXPECT_TRUE(TemporaryFiles().isEmpty());
    }
    // The window talks to the service until it is gone.
    window.reset();
}

} // namespace
} // namespace vexol::test
