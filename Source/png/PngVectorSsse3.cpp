// The row decoder's kernels built for SSSE3 (this file only): a one-instruction
// absolute value for Paeth, and byte shuffles from file rows to the DIB's
// B, G, R. Called only where the processor has SSSE3.
#include "png/PngVector.h"

namespace velto::png_detail {

std::size_t PaethSsse3(std::uint8_t* cur, const std::uint8_t* prior, std::size_t n, std::size_t bpp) {
    return bpp == 3 ? PaethWindows<3>(cur, prior, n) : PaethWindows<4>(cur, prior, n);
}

// Five RGB pixels of a 16-byte window reversed to B, G, R; the 16th byte is
// written again by the next window, so a window never ends past the row.
std::size_t RgbToBgrSsse3(const std::uint8_t* s, std::uint8_t* d, std::size_t n) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    std::size_t k = 0;
    for (; 3 * k + 16 <= 3 * n; k += 5) Store(d + 3 * k, _mm_shuffle_epi8(Load(s + 3 * k), order));
    return k;
}

// Four RGBA pixels to 12 bytes of B, G, R and 4 of alpha; the 4 bytes after
// the colours are written again by the next window.
std::size_t RgbaToBgrSsse3(const std::uint8_t* s, std::uint8_t* d, std::uint8_t* alpha, std::size_t n) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, 3, 7, 11, 15);
    std::size_t k = 0;
    for (; 3 * k + 16 <= 3 * n; k += 4) {
        const __m128i v = _mm_shuffle_epi8(Load(s + 4 * k), order);
        Store(d + 3 * k, v);
        const int a = _mm_cvtsi128_si32(_mm_srli_si128(v, 12));
        __builtin_memcpy(alpha + k, &a, 4);
    }
    return k;
}

// Four RGBA pixels to B, G, R, A.
std::size_t RgbaToBgraSsse3(const std::uint8_t* s, std::uint8_t* d, std::size_t n) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    std::size_t k = 0;
    for (; k + 4 <= n; k += 4) Store(d + 4 * k, _mm_shuffle_epi8(Load(s + 4 * k), order));
    return k;
}

}  // namespace velto::png_detail
