#include "platform/capture/TestPatternDriver.h"

#include "platform/capture/DriverDialogParts.h"
#include "platform/capture/DriverDialogRunner.h"
#include "platform/capture/FrameConversion.h"

#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QPainter>
#include <QSlider>

namespace vexol::platform::capture {

namespace {

std::vector<FrameSize> TestPatternSizes()
{
    return {{160, 120}, {176, 144},  {320, 240},  {352, 288},   {640, 480},
            {800, 600}, {1024, 768}, {1280, 720}, {1280, 1024}, {1920, 1080}};
}

QString DepthText(int bits)
{
    switch (bits) {
    case 8:
        return QStringLiteral("8-bit (256 colours)");
    case 16:
        return QStringLiteral("16-bit (5-5-5)");
    default:
        return QStringLiteral("%1-bit").arg(bits);
    }
}

} // namespace

TestPatternDriver::TestPatternDriver()
    : SyntheticCameraDriver(TestPatternSizes(), {8, 16, 24, 32}, BI_RGB, {320, 240, 24, BI_RGB})
{
}

TestPatternDriver::~TestPatternDriver()
{
    Close();
}

DriverCapabilities TestPatternDriver::Capabilities() const
{
    return {.hasOverlay = true,
            .hasSourceDialog = true,
            .hasFormatDialog = true,
            .hasDisplayDialog = true};
}

PatternSettings TestPatternDriver::Pattern() const
{
    std::lock_guard lock(m_settingsMutex);
    return m_pattern;
}

void TestPatternDriver::SetPattern(const PatternSettings& settings)
{
    std::lock_guard lock(m_settingsMutex);
    m_pattern = settings;
    m_pattern.brightnessPercent = std::clamp(settings.brightnessPercent, 0, 200);
}

OverlayContent TestPatternDriver::Overlay() const
{
    std::lock_guard lock(m_settingsMutex);
    return m_overlay;
}

void TestPatternDriver::SetOverlay(OverlayContent content)
{
    std::lock_guard lock(m_settingsMutex);
    m_overlay = content;
}

VideoFormat TestPatternDriver::MakeFormat(const FormatRequest& supported) const
{
    std::vector<RGBQUAD> colours;
    if (supported.bitCount == 8) {
        colours = EightBitColours();
    }
    return VideoFormat::MakeRgb(supported.width, supported.height, supported.bitCount,
                                std::move(colours));
}

void TestPatternDriver::Render(VideoFrame& frame, std::uint64_t number)
{
    const VideoFormat& f = *frame.format;
    TestPatternRenderer(Pattern(), f.Width(), f.Height(), number)
        .RenderDib(f.header.biBitCount, frame.data.data());
}

std::optional<FormatRequest> TestPatternDriver::RunFormatDialog(QWidget* parent)
{
    const FormatPtr current = CurrentFormat();
    if (!current) {
        return std::nullopt;
    }
    QDialog dialog;
    QFormLayout* form =
        MakeDriverDialog(dialog, QStringLiteral("Video Format - %1").arg(kName), parent);
    QComboBox* sizeBox = AddSizeChoice(*form, Sizes(), current.get());
    auto* depthBox = new QComboBox;
    depthBox->setObjectName("depthBox");
    for (int bits : BitCounts()) {
        depthBox->addItem(DepthText(bits), bits);
        if (bits == current->header.biBitCount) {
            depthBox->setCurrentIndex(depthBox->count() - 1);
        }
    }
    form->addRow(QStringLiteral("Colour depth:"), depthBox);
    if (RunDriverDialog(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    const FrameSize size = Sizes().at(std::size_t(std::max(0, sizeBox->currentIndex())));
    return FormatRequest{size.width, size.height, depthBox->currentData().toInt(), BI_RGB};
}

bool TestPatternDriver::RunSourceDialog(QWidget* parent)
{
    PatternSettings settings = Pattern();
    QDialog dialog;
    QFormLayout* form =
        MakeDriverDialog(dialog, QStringLiteral("Video Source - %1").arg(kName), parent);
    auto* patternBox = new QComboBox;
    patternBox->setObjectName("patternBox");
    patternBox->addItem(QStringLiteral("Colour bars"), int(TestPattern::ColourBars));
    patternBox->addItem(QStringLiteral("Grey ramp"), int(TestPattern::GreyRamp));
    patternBox->addItem(QStringLiteral("Checkerboard"), int(TestPattern::Checkerboard));
    patternBox->setCurrentIndex(patternBox->findData(int(settings.pattern)));
    form->addRow(QStringLiteral("Pattern:"), patternBox);
    QSlider* brightness = AddBrightnessChoice(*form, settings.brightnessPercent);
    if (RunDriverDialog(dialog) != QDialog::Accepted) {
        return false;
    }
    settings.pattern = TestPattern(patternBox->currentData().toInt());
    settings.brightnessPercent = brightness->value();
    SetPattern(settings);
    return true;
}

bool TestPatternDriver::RunDisplayDialog(QWidget* parent)
{
    QDialog dialog;
    QFormLayout* form =
        MakeDriverDialog(dialog, QStringLiteral("Video Display - %1").arg(kName), parent);
    auto* overlayBox = new QComboBox;
    overlayBox->setObjectName("overlayBox");
    overlayBox->addItem(QStringLiteral("Live picture"), int(OverlayContent::LivePicture));
    overlayBox->addItem(QStringLiteral("Live picture with frame information"),
                        int(OverlayContent::LivePictureWithInfo));
    overlayBox->addItem(QStringLiteral("Live picture with alignment grid"),
                        int(OverlayContent::LivePictureWithGrid));
    overlayBox->setCurrentIndex(overlayBox->findData(int(Overlay())));
    form->addRow(QStringLiteral("The overlay shows:"), overlayBox);
    if (RunDriverDialog(dialog) != QDialog::Accepted) {
        return false;
    }
    SetOverlay(OverlayContent(overlayBox->currentData().toInt()));
    return true;
}

void TestPatternDriver::PaintOverlay(QPainter& painter, const QRect& area, const VideoFrame* latest)
{
    PaintFrameStretched(painter, area, latest);
    switch (Overlay()) {
    case OverlayContent::LivePicture:
        break;
    case OverlayContent::LivePictureWithInfo:
        if (latest && latest->format) {
            const QString text = QStringLiteral("Frame %1  %2 x %3  %4-bit")
                                     .arg(latest->number)
                                     .arg(latest->format->Width())
                                     .arg(latest->format->Height())
                                     .arg(latest->format->header.biBitCount);
            const QRect box = painter.fontMetrics().boundingRect(text).adjusted(-4, -2, 4, 2);
            const QRect placed = box.translated(area.topLeft() - box.topLeft() + QPoint(4, 4));
            painter.fillRect(placed, QColor(0, 0, 0, 160));
            painter.setPen(Qt::white);
            painter.drawText(placed, Qt::AlignCenter, text);
        }
        break;
    case OverlayContent::LivePictureWithGrid:
        painter.setPen(QPen(QColor(255, 255, 255, 180), 1, Qt::DashLine));
        for (int i = 1; i < 3; ++i) {
            const int x = area.left() + area.width() * i / 3;
            const int y = area.top() + area.height() * i / 3;
            painter.drawLine(x, area.top(), x, area.bottom());
            painter.drawLine(area.left(), y, area.right(), y);
        }
        break;
    }
}

} // namespace vexol::platform::capture
