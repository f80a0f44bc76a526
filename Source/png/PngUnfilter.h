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
// Undoes the filters of `count` consecutive rows in place: row i's filter
// byte at rows + i * stride, its n bytes after it; above is the unfiltered row
// over the first (zeros for the image's first). Average and Paeth rows run
// four at a time with AVX2 where the processor has it (and the thread allows
// it), else as UnfilterRowFast row by row: the same bytes either way.
void UnfilterRowsFast(std::uint8_t* rows, std::size_t stride, std::size_t count, const std::uint8_t* above,
                      std::size_t n, std::size_t bpp);
// Rows per batch of inflated data for rows of `stride` bytes: about 256 KiB
// (the batch stays in cache), at least one, a multiple of the four rows
// unfiltered at once where there are more than four.
constexpr std::size_t RowsPerBatch(std::size_t stride, std::uint64_t height) {
    std::size_t rows = (std::size_t{256} << 10) / (stride ? stride : 1);
    if (rows > 4) rows &= ~std::size_t{3};
    if (rows < 1) rows = 1;
    return height < rows ? static_cast<std::size_t>(height) : rows;
}
// Keeps the current thread off the AVX2 code while it lives (for tests
// holding it against the portable code).
class ScopedPortableUnfilter {
public:
    ScopedPortableUnfilter();
    ~ScopedPortableUnfilter();
    ScopedPortableUnfilter(const ScopedPortableUnfilter&) = delete;
    ScopedPortableUnfilter& operator=(const ScopedPortableUnfilter&) = delete;

private:
    bool fOld;
};
// Copies n pixels of 8-bit RGB (bpp 3) or RGBA (bpp 4) with the first and third
// bytes of each swapped (R, G, B to B, G, R; alpha stays last).
void CopySwappingRedBlue(const std::uint8_t* s, std::uint8_t* d, std::size_t n, std::size_t bpp);

}  // namespace velto::png_detail
