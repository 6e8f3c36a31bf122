// The built-in shutter-switch camera. It delivers planar YUV 4:2:0 frames with the
// compression code "PL41": the luma plane (width × height, top row first), the Cb plane,
// the Cr plane (each width × height / 4), then one status byte whose bit 0 is 1 while the
// shutter switch is pressed. The switch is pressed with the button in the source dialog,
// with the F8 key in any window of the application (also while a modal dialog waits for
// it), or by a program through PressSwitchForFrames.
#pragma once

#include "platform/capture/SwitchState.h"
#include "platform/capture/SyntheticCameraDriver.h"

#include <QObject>
#include <atomic>
#include <memory>

namespace vexol::platform::capture {

class ShutterSwitchDriver : public SyntheticCameraDriver
{
public:
    static constexpr const char* kName = "Vexol Shutter-Switch Camera";
    static constexpr const char* kVersion = "Version 1.0 (built-in, PL41)";
    static constexpr Qt::Key kSwitchKey = Qt::Key_F8;

    ShutterSwitchDriver();
    ~ShutterSwitchDriver() override;

    bool Open() override;
    void Close() override;
    DriverCapabilities Capabilities() const override;
    std::optional<FormatRequest> RunFormatDialog(QWidget* parent) override;
    bool RunSourceDialog(QWidget* parent) override;
    bool RunDisplayDialog(QWidget* parent) override;
    void PaintOverlay(QPainter& painter, const QRect& area, const VideoFrame* latest) override;

    // The next `frames` frames carry the pressed state, in addition to any held press.
    void PressSwitchForFrames(unsigned frames);
    // Holds or releases the switch. A press marks at least one frame, however short.
    void SetSwitchHeld(bool held);
    bool IsSwitchHeld() const { return m_switch.IsHeld(); }

    int BrightnessPercent() const { return m_brightness.load(); }
    void SetBrightnessPercent(int percent);

protected:
    void Render(VideoFrame& frame, std::uint64_t number) override;
    VideoFormat MakeFormat(const FormatRequest& supported) const override;

private:
    SwitchState m_switch;
    std::atomic<int> m_brightness{100};
    std::unique_ptr<QObject> m_keyWatcher; // UI thread only; exists while open
};

} // namespace vexol::platform::capture
