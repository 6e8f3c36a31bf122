// Camera frames as the capture service publishes them. A camera's pixel format becomes a
// BITMAPINFOHEADER: YUYV as "YUY2", MJPEG as "MJPG", NV12 as "NV12", RGB24/BGR24 as 24-bit
// RGB (bottom-up rows, as every DIB), GREY as 8-bit with a grey colour table. Recording
// writes these bytes as they are; the picture, the clipboard and saved stills convert
// them to RGB (libyuv for YUV, libjpeg-turbo's decompressor for MJPEG, scaled down by the
// decoder when the picture is shown smaller). With a snapshot button the camera also
// delivers "PL41": planar 4:2:0 in full range, converted from what the camera delivers,
// with the button's state in an appended last byte.
#pragma once

#include "platform/capture/VideoFrame.h"
#include "platform/capture/v4l2/V4l2Device.h"

#include <QImage>
#include <QSize>
#include <cstdint>
#include <optional>
#include <vector>

namespace vexol::platform::capture::v4l2 {

inline constexpr DWORD FOURCC_YUY2 = 0x32595559; // "YUY2"
inline constexpr DWORD FOURCC_MJPG = 0x47504A4D; // "MJPG"
inline constexpr DWORD FOURCC_NV12 = 0x3231564E; // "NV12"

// True for the camera pixel formats this service delivers.
bool IsDeliverablePixelFormat(std::uint32_t fourcc);
// The compression code and bit count a camera pixel format is published with.
DWORD PublishedCompression(std::uint32_t fourcc);
WORD PublishedBitCount(std::uint32_t fourcc);
// The published format of a camera format; `sizeImage` is the device's buffer size (the
// largest compressed frame). Null when the pixel format is not delivered.
std::optional<VideoFormat> PublishedFormat(std::uint32_t fourcc, std::uint32_t width,
                                           std::uint32_t height, std::uint32_t sizeImage);

enum class FrameCheck {
    Ok,
    Empty,       // no bytes at all
    Short,       // fewer bytes than the format needs
    CorruptJpeg, // not a whole JPEG picture of the format's size
};

// Copies a filled device buffer into `frame` (its format is set) in the published
// layout: rows repacked, RGB turned into bottom-up BGR. frame.bytesUsed is set.
FrameCheck CopyCameraFrame(const ActiveFormat& active, const std::uint8_t* data,
                           std::uint32_t bytesUsed, VideoFrame& frame);

// True when `data` holds a whole JPEG picture of width × height (markers and header;
// the entropy-coded data is checked when it is decoded).
bool LooksLikeWholeJpeg(const std::uint8_t* data, std::size_t size, int width, int height);

// True for frames of the formats above (YUY2, MJPG, NV12).
bool IsCameraCompression(DWORD compression);
// A YUY2, MJPG or NV12 frame as a top-down RGB32 image. `fit`, when not empty, lets the
// JPEG decoder scale down to the smallest size that still covers it. Null on failure.
QImage CameraFrameToImage(const VideoFrame& frame, QSize fit = QSize());
// The same frame as bottom-up 24-bit DIB rows padded to 4 bytes.
bool CameraFrameToBgr24Dib(const VideoFrame& frame, std::vector<BYTE>& dib);

// Converts a published frame (any format above) of w × h into a PL41 frame of the same
// size in `out` (w·h·3/2 + 1 bytes): full-range planes, then the switch byte.
bool FrameToPl41(const VideoFrame& frame, bool pressed, BYTE* out, std::size_t outSize);

} // namespace vexol::platform::capture::v4l2
