#pragma once
// The nearest-colour search shared by bitmaps (colours going into an indexed
// format), PNG pixels and the editor's palettes.
#include <cstddef>
#include <cstdint>

namespace velto {

// How far apart two colours are.
enum class TColorDistance : std::uint8_t {
    Squares,   // sum of the squared channel differences (as a display driver matches)
    Absolute,  // sum of the absolute channel differences (the editor's palette rule)
};

// Index of the entry nearest to the colour (c0, c1, c2) among n entries of 4
// bytes each, whose first three bytes are compared with c0, c1 and c2 in that
// order (the fourth is ignored); the lowest index wins ties; -1 when n is 0.
int NearestColorEntry(const std::uint8_t* entries, std::size_t n, std::uint8_t c0, std::uint8_t c1, std::uint8_t c2,
                      TColorDistance distance);

}  // namespace velto
