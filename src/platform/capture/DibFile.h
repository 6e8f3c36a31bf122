// Writing a frame as a BMP file: file header, 40-byte info header, the colour table of
// 8-bit formats and the bottom-up rows. RGB frames keep their depth (8-bit with its
// colours, 16-bit 5-5-5, 24-bit, 32-bit); planar YUV frames are written as 24-bit.
#pragma once

#include "platform/capture/VideoFrame.h"

#include <string>
#include <vector>

namespace vexol::platform::capture {

// The complete file contents; empty when the frame cannot be converted.
std::vector<BYTE> FrameAsBmpFile(const VideoFrame& frame);

// Writes the file atomically (a failed write leaves any earlier file untouched), rows
// that need no conversion straight from the frame. It is not forced to the disk: like
// any program's output it gets there in the system's own time (the application reads
// the frame back from such a file at once and flushes the stills it keeps).
bool WriteFrameAsBmpFile(const VideoFrame& frame, const std::string& path);

} // namespace vexol::platform::capture
