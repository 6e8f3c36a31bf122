// Formats and frames for tests that record AVI files: packed video formats as a driver
// reports them, PCM formats, and frames with a pattern that changes per frame.
#pragma once

#include "platform/WinTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vexol::test {

// BITMAPINFOHEADER plus a grey colour table of 2^bits entries for 8 bits and less.
std::vector<std::uint8_t> MakeVideoFormat(int width, int height, int bitCount,
                                          DWORD compression = BI_RGB);
// Bytes of one uncompressed frame: rows padded to 4 bytes.
DWORD FrameBytes(int width, int height, int bitCount);
std::vector<std::uint8_t> MakeFrame(int width, int height, int bitCount, int index);
// WAVEFORMATEX for PCM, 18 bytes with cbSize 0.
std::vector<std::uint8_t> MakePcmFormat(DWORD samplesPerSec, WORD bitsPerSample, WORD channels);

// Size of a file, or -1.
long long FileSize(const std::string& path);
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

} // namespace vexol::test
