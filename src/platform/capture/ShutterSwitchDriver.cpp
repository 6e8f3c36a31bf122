#include "platform/capture/ShutterSwitchDriver.h"

#include "platform/capture/DriverDialogParts.h"
#include "platform/capture/DriverDialogRunner.h"
#include "platform/capture/TestPatternRenderer.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QThread>

namespace vexol::platform::capture {

namespace {

// Watches the whole application for the switch key, so that it works in whichever window
// is active, modal dialogs included.
class SwitchKeyWatcher : public QObject
{
public:
    explicit SwitchKeyWatcher(ShutterSwitchDriver& driver) : m_driver(driver) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == ShutterSwitchDriver::kSwitchKey) {
                if (!key->isAutoRepeat()) {
                    m_driver.SetSwitchHeld(event->type() == QEvent::KeyPress);
                }
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    ShutterSwitchDriver& m_driver;
};

std::vector<FrameSize> ShutterSwitchSizes()
{
    return {{160, 120}, {320, 240}, {640, 480}, {1280, 720}};
}

} // namespace

ShutterSwitchDriver::ShutterSwitchDriver()
    : SyntheticCameraDriver(ShutterSwitchSizes(), {12}, FOURCC_PL41, {320, 240, 12, FOURCC_PL41})
{
}

ShutterSwitchDriver::~ShutterSwitchDriver()
{
    Close();
}

bool ShutterSwitchDriver::Open()
{
    if (!SyntheticCameraDriver::Open()) {
        return false;
    }
    if (!m_keyWatcher && qApp && QThread::currentThread() == qApp->thread()) {
        m_keyWatcher = std::make_unique<SwitchKeyWatcher>(*this);
        qApp->installEventFilter(m_keyWatcher.get());
    }
    return true;
}

void ShutterSwitchDriver::Close()
{
    SyntheticCameraDriver::Close();
    m_keyWatcher.reset(); // a destroyed filter leaves the application's filter list
    m_switch.Reset();
}

DriverCapabilities ShutterSwitchDriver::Capabilities() const
{
    return {.hasOverlay = false,
            .hasSourceDialog = true,
            .hasFormatDialog = true,
            .hasDisplayDialog = false};
}

void ShutterSwitchDriver::PressSwitchForFrames(unsigned frames)
{
    m_switch.PressForFrames(frames);
}

void ShutterSwitchDriver::SetSwitchHeld(bool held)
{
    m_switch.SetHeld(held);
}

void ShutterSwitchDriver::SetBrightnessPercent(int percent)
{
    m_brightness = std::clamp(percent, 0, 200);
}

VideoFormat ShutterSwitchDriver::MakeFormat(const FormatRequest& supported) const
{
    return VideoFormat::MakePl41(supported.width, supported.height);
}

void ShutterSwitchDriver::Render(VideoFrame& frame, std::uint64_t number)
{
    const bool pressed = m_switch.TakeFrame();
    PatternSettings settings;
    settings.brightnessPercent = m_brightness.load();
    settings.markerOn = pressed; // the picture shows the press as a red box
    const VideoFormat& f = *frame.format;
    TestPatternRenderer(settings, f.Width(), f.Height(), number).RenderPlanarYuv(frame.data.data());
    frame.data.back() = pressed ? 1 : 0;
}

std::optional<FormatRequest> ShutterSwitchDriver::RunFormatDialog(QWidget* parent)
{
    const FormatPtr current = CurrentFormat();
    if (!current) {
        return std::nullopt;
    }
    QDialog dialog;
    QFormLayout* form =
        MakeDriverDialog(dialog, QStringLiteral("Video Format - %1").arg(kName), parent);
    QComboBox* sizeBox = AddSizeChoice(*form, Sizes(), current.get());
    form->addRow(QStringLiteral("Frame format:"),
                 new QLabel(QStringLiteral("PL41 (planar YUV 4:2:0 with switch state)")));
    if (RunDriverDialog(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    const FrameSize size = Sizes().at(std::size_t(std::max(0, sizeBox->currentIndex())));
    return FormatRequest{size.width, size.height, 12, FOURCC_PL41};
}

bool ShutterSwitchDriver::RunSourceDialog(QWidget* parent)
{
    QDialog dialog;
    QFormLayout* form =
        MakeDriverDialog(dialog, QStringLiteral("Video Source - %1").arg(kName), parent);
    QSlider* brightness = AddBrightnessChoice(*form, BrightnessPercent());
    auto* switchButton = new QPushButton(QStringLiteral("Press shutter switch"));
    switchButton->setObjectName("switchButton");
    switchButton->setAutoDefault(false);
    QObject::connect(switchButton, &QPushButton::pressed, switchButton,
                     [this] { SetSwitchHeld(true); });
    QObject::connect(switchButton, &QPushButton::released, switchButton,
                     [this] { SetSwitchHeld(false); });
    form->addRow(QStringLiteral("Shutter switch:"), switchButton);
    form->addRow(QString(), new QLabel(QStringLiteral("Frames are marked while the button or "
                                                      "the F8 key is held down.")));
    const bool accepted = RunDriverDialog(dialog) == QDialog::Accepted;
    SetSwitchHeld(false); // a press never outlives its dialog
    if (accepted) {
        SetBrightnessPercent(brightness->value());
    }
    return accepted;
}

bool ShutterSwitchDriver::RunDisplayDialog(QWidget*)
{
    return false; // this camera has no display dialog
}

void ShutterSwitchDriver::PaintOverlay(QPainter& painter, const QRect& area,
                                       const VideoFrame* latest)
{
    PaintFrameStretched(painter, area, latest);
}

} // namespace vexol::platform::capture
