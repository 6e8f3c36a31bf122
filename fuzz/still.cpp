// Fuzz target for the two ways a still comes in: a BMP file as the driver leaves it in
// the temporary folder (first byte 0), and a planar YUV frame of the shutter-switch
// camera of a size given by the next two bytes (first byte 1). Nothing may crash or read
// outside the input; a taken still is 24-bit (1-bit stays 1-bit) and a converted frame
// has the frame's size and the colours of the per-pixel rule.
#include "still/CDib.h"
#include "still/StillImages.h"
#include "still/YuvToRgb.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3 || size > (1u << 20)) {
        return 0;
    }
    CDib::SetMaxDataSize(1u << 24);
    // An exactly sized copy, so that a read past the input shows.
    const std::vector<std::uint8_t> input(data + 3, data + size);
    CDib still;
    if (data[0] % 2 == 0) {
        if (vexol::still::LoadStillFile(input.data(), input.size(), still)) {
            Check(still.GetBitCount() == 24 || still.GetBitCount() == 1);
        }
        return 0;
    }
    const LONG width = 1 + data[1] % 64;
    const LONG height = 1 + data[2] % 48;
    if (!vexol::still::PlanarFrameToDib(input.data(), input.size(), width, height, still)) {
        Check(input.size() < vexol::still::PlanarFrameBytes(width, height));
        return 0;
    }
    Check(still.GetSize().cx == width && still.GetSize().cy == height);
    // The frame's last pixel: bottom-right, the last luma byte.
    const std::size_t w = std::size_t(width), h = std::size_t(height);
    const std::size_t sample = (w / 2) * ((h - 1) / 2) + (w - 1) / 2;
    const BYTE* cb = input.data() + w * h;
    const BYTE* cr = cb + (w * h) / 4;
    Check(still.GetPixel(width - 1, 0) == YuvToRgb(input[w * h - 1], cb[sample], cr[sample]));
    return 0;
}
