// The built-in test-pattern camera: the camera a user sees when no real one is present.
// RGB frames from 160 × 120 to 1920 × 1080 in 8 (with colour table), 16 (5-5-5), 24 and
// 32 bits; an overlay mode; format, source and display dialogs.
#pragma once

#include "platform/capture/SyntheticCameraDriver.h"
#include "platform/capture/TestPatternRenderer.h"

namespace vexol::platform::capture {

// What the overlay shows.
enum class OverlayContent {
    LivePicture,
    LivePictureWithInfo, // with the frame number and format as text
    LivePictureWithGrid, // with an alignment grid in thirds
};

class TestPatternDriver : public SyntheticCameraDriver
{
public:
    static constexpr const char* kName = "Vexol Test Pattern Camera";
    static constexpr const char* kVersion = "Version 1.0 (built-in)";

    TestPatternDriver();
    ~TestPatternDriver() override;

    DriverCapabilities Capabilities() const override;
    std::optional<FormatRequest> RunFormatDialog(QWidget* parent) override;
    bool RunSourceDialog(QWidget* parent) override;
    bool RunDisplayDialog(QWidget* parent) override;
    void PaintOverlay(QPainter& painter, const QRect& area, const VideoFrame* latest) override;

    PatternSettings Pattern() const;
    void SetPattern(const PatternSettings& settings);
    OverlayContent Overlay() const;
    void SetOverlay(OverlayContent content);

protected:
    void Render(VideoFrame& frame, std::uint64_t number) override;
    VideoFormat MakeFormat(const FormatRequest& supported) const override;

private:
    mutable std::mutex m_settingsMutex; // guards m_pattern and m_overlay
    PatternSettings m_pattern;
    OverlayContent m_overlay = OverlayContent::LivePicture;
};

} // namespace vexol::platform::capture
