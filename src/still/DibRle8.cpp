#include "still/DibRle8.h"

#include <algorithm>
#include <cstring>

namespace vexol::still {

// Decodes BI_RLE8 data from [in, end) into an 8-bit pixel area; `end` null means the
// data has no known end, and decoding then relies on the end-of-bitmap escape or on
// leaving the last row. An item cut short by `end` stops decoding after writing the
// pixels that are there.
void DecodeRle8(const BYTE* in, const BYTE* end, BYTE* pixels, std::size_t stride,
                std::int64_t width, std::int64_t height)
{
    auto available = [&](std::size_t n) { return !end || std::size_t(end - in) >= n; };
    auto write = [&](std::int64_t x, std::int64_t y, std::size_t count, const BYTE* values,
                     BYTE value) {
        if (y < 0 || y >= height || x >= width || x + std::int64_t(count) <= 0) {
            return;
        }
        const std::int64_t first = std::max<std::int64_t>(x, 0);
        const std::int64_t last = std::min<std::int64_t>(x + std::int64_t(count), width);
        BYTE* target = pixels + std::size_t(y) * stride + std::size_t(first);
        if (values) {
            std::memcpy(target, values + (first - x), std::size_t(last - first));
        } else {
            std::memset(target, value, std::size_t(last - first));
        }
    };

    std::int64_t x = 0;
    std::int64_t y = 0;
    while (available(2)) {
        const BYTE a = in[0];
        const BYTE b = in[1];
        in += 2;
        if (a != 0) {
            write(x, y, a, nullptr, b);
            x += a;
        } else if (b == 0) {
            ++y;
            x = 0;
        } else if (b == 1) {
            break;
        } else if (b == 2) {
            if (!available(2)) {
                break;
            }
            x += in[0];
            y += in[1];
            in += 2;
        } else {
            const std::size_t count = b;
            const std::size_t present = available(count) ? count : std::size_t(end - in);
            write(x, y, present, in, 0);
            const std::size_t padded = count + (count & 1);
            if (present < count || !available(padded)) {
                break;
            }
            in += padded;
            x += std::int64_t(count);
        }
        // Past the last row no write can land any more.
        if (y >= height) {
            break;
        }
    }
}

} // namespace vexol::still
