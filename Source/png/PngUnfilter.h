#pragma once
// Row unfiltering for other readers of PNG image data (the image library's PNG
// and MNG frames): the codec's own routine, vector code included.
#include <cstddef>
#include <cstdint>

namespace velto::png_detail {

// The Paeth predictor of the left, upper and upper-left bytes.
std::uint8_t PaethPredictor(std::uint8_t a, std::uint8_t b, std::uint8_t c);
// Undoes one row's filter in place: n bytes of bpp-byte pixels; prior is the
// unfiltered previous row (zeros for the first). Unknown filter types leave
// the row as read.
void UnfilterRowFast(std::uint8_t type, std::uint8_t* cur, const std::uint8_t* prior, std::size_t n, std::size_t bpp);
// Copies n pixels of 8-bit RGB (bpp 3) or RGBA (bpp 4) with the first and third
// bytes of each swapped (R, G, B to B, G, R; alpha stays last).
void CopySwappingRedBlue(const std::uint8_t* s, std::uint8_t* d, std::size_t n, std::size_t bpp);

}  // namespace velto::png_detail
