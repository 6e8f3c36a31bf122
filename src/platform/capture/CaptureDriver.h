// The interface every capture driver implements: the built-in cameras and V4L2 cameras.
// A driver window owns one connected driver and calls it from the UI thread only;
// the driver produces frames on a thread of its own and hands them to a FrameSink.
#pragma once

#include "platform/capture/VideoFrame.h"

#include <QRect>
#include <cstdint>
#include <optional>
#include <string>

class QPainter;
class QWidget;

namespace vexol::platform::capture {

// Receives a driver's frames, on the driver's thread. Must not block for long: it only
// hands the frame over.
class FrameSink
{
public:
    virtual ~FrameSink() = default;
    virtual void OnFrame(FramePtr frame) = 0;
    // The device stopped delivering frames (for example it was unplugged); no frames
    // follow until the stream is started again.
    virtual void OnStreamFailure(const std::string& reason) = 0;
};

struct DriverCapabilities
{
    bool hasOverlay = false;
    bool hasSourceDialog = false;
    bool hasFormatDialog = false;
    bool hasDisplayDialog = false;
};

class CaptureDriver
{
public:
    virtual ~CaptureDriver() = default;

    // Connects to the device. False when it is absent or busy; the driver is then unusable.
    virtual bool Open() = 0;
    // Stops any stream and releases the device. Safe to call twice.
    virtual void Close() = 0;

    virtual DriverCapabilities Capabilities() const = 0;

    virtual FormatPtr CurrentFormat() const = 0;
    // Makes the supported format nearest to `request` current and returns true, or
    // returns false (and changes nothing) for a request that makes no sense. Only while
    // not streaming.
    virtual bool SetFormat(const FormatRequest& request) = 0;

    // Starts delivering frames to `sink` every `microSecPerFrame` on the driver's thread.
    virtual bool StartStream(std::uint32_t microSecPerFrame, FrameSink& sink) = 0;
    // Changes the period of a running stream; from any thread.
    virtual void SetFramePeriod(std::uint32_t microSecPerFrame) = 0;
    // Stops the stream; when it returns no further frame reaches the sink.
    virtual void StopStream() = 0;
    virtual bool IsStreaming() const = 0;

    // One frame now, whether or not a stream runs; null when the device fails.
    virtual FramePtr CaptureFrame() = 0;

    // The driver's own modal dialogs. The format dialog answers the format the user chose
    // (the window applies it); the others change the driver's settings directly and return
    // true when the user confirmed.
    virtual std::optional<FormatRequest> RunFormatDialog(QWidget* parent) = 0;
    virtual bool RunSourceDialog(QWidget* parent) = 0;
    virtual bool RunDisplayDialog(QWidget* parent) = 0;

    // Paints the overlay picture into `area` (UI thread); `latest` may be null.
    virtual void PaintOverlay(QPainter& painter, const QRect& area, const VideoFrame* latest) = 0;

    // Why the last Open or StartStream failed, for the user; empty when it did not.
    virtual std::string ErrorText() const { return {}; }
    // True for a device with a frame rate of its own (a camera): the live picture then
    // starts the stream with period 0, "the device's own rate", and only a capture asks
    // for a period.
    virtual bool PacesItself() const { return false; }
    // The period at which frames of the running stream arrive, when the device chose
    // another than the one asked for; 0 when it delivers the period asked.
    virtual std::uint32_t DeliveredFramePeriod() const { return 0; }
};

} // namespace vexol::platform::capture
