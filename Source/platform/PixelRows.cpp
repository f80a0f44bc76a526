#include "platform/PixelRows.h"

#include <cstring>

namespace velto {

void UnpackPixels(const std::uint8_t* row, std::size_t n, int bits, std::uint8_t* out) {
    if (bits == 8) {
        if (n) std::memcpy(out, row, n);
        return;
    }
    // Whole bytes first, then the pixels of a last partial byte.
    const std::size_t perByte = static_cast<std::size_t>(8 / bits);
    const unsigned mask = (1u << bits) - 1u;
    std::size_t x = 0;
    for (; x + perByte <= n; ++row)
        for (int shift = 8 - bits; shift >= 0; shift -= bits) out[x++] = static_cast<std::uint8_t>((*row >> shift) & mask);
    for (int shift = 8 - bits; x < n; shift -= bits) out[x++] = static_cast<std::uint8_t>((*row >> shift) & mask);
}

void PackPixels(const std::uint8_t* values, std::size_t n, int bits, std::uint8_t* row) {
    if (bits == 8) {
        if (n) std::memcpy(row, values, n);
        return;
    }
    const std::size_t bytes = (n * static_cast<std::size_t>(bits) + 7) / 8;
    if (bytes) std::memset(row, 0, bytes);
    const unsigned mask = (1u << bits) - 1u;
    for (std::size_t x = 0; x < n; ++x) OrPackedPixel(row, x, bits, values[x] & mask);
}

}  // namespace velto
