#pragma once
// Rows of indexed pixels packed into bytes: 1, 2, 4 or 8 bits per pixel, the
// leftmost pixel in the high bits. Device-independent bitmaps, PNG rows and
// icon entries all store indices this way. The single-pixel helpers are inline:
// decoders call them once a pixel.
#include <cstddef>
#include <cstdint>

namespace velto {

// Value of pixel x of a row of `bits` (1, 2, 4 or 8) bits per pixel.
inline unsigned PackedPixel(const std::uint8_t* row, std::size_t x, int bits) {
    const std::size_t bit = x * static_cast<std::size_t>(bits);
    const unsigned shift = 8u - static_cast<unsigned>(bits) - static_cast<unsigned>(bit & 7);
    return (row[bit >> 3] >> shift) & ((1u << bits) - 1u);
}

// Sets pixel x to the low `bits` bits of v; the byte's other pixels stay.
inline void SetPackedPixel(std::uint8_t* row, std::size_t x, int bits, unsigned v) {
    const std::size_t bit = x * static_cast<std::size_t>(bits);
    const unsigned shift = 8u - static_cast<unsigned>(bits) - static_cast<unsigned>(bit & 7);
    const unsigned mask = ((1u << bits) - 1u) << shift;
    std::uint8_t& b = row[bit >> 3];
    b = static_cast<std::uint8_t>((b & ~mask) | ((v << shift) & mask));
}

// Ors v (no wider than `bits`) into pixel x of a row whose pixel is still 0:
// decoders filling a zeroed row need not clear first.
inline void OrPackedPixel(std::uint8_t* row, std::size_t x, int bits, unsigned v) {
    const std::size_t bit = x * static_cast<std::size_t>(bits);
    const unsigned shift = 8u - static_cast<unsigned>(bits) - static_cast<unsigned>(bit & 7);
    row[bit >> 3] = static_cast<std::uint8_t>(row[bit >> 3] | (v << shift));
}

// The n pixels of a packed row, one byte each.
void UnpackPixels(const std::uint8_t* row, std::size_t n, int bits, std::uint8_t* out);

// n one-byte values (their low `bits` bits) packed into the first (n * bits + 7)
// / 8 bytes of row; the bits after the last pixel are 0.
void PackPixels(const std::uint8_t* values, std::size_t n, int bits, std::uint8_t* row);

}  // namespace velto
