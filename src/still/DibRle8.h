// Decoding of run-length encoded 8-bit bitmaps (BI_RLE8) into plain 8-bit rows.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>
#include <cstdint>

namespace vexol::still {

// Decodes BI_RLE8 data from [in, end) into an 8-bit pixel area; `end` null means the
// data has no known end, and decoding then relies on the end-of-bitmap escape or on
// leaving the last row. An item cut short by `end` stops decoding after writing the
// pixels that are there.
void DecodeRle8(const BYTE* in, const BYTE* end, BYTE* pixels, std::size_t stride,
                std::int64_t width, std::int64_t height);

} // namespace vexol::still
