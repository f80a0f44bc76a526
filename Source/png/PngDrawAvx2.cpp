// The alpha blend of an RGBA image's row (B, G, R bytes and an alpha plane)
// onto a row of 32-bit pixels, eight pixels at a time. Built with AVX2 and
// called only where the processor has it.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace velto::png_detail {

// readable: bytes that may be read from bgr (the row and what follows it in
// the same buffer); the loads read up to 4 bytes past a row's last pixel.
std::size_t BlendBgrAlphaRowAvx2(const std::uint8_t* bgr, const std::uint8_t* alpha, std::uint8_t* d, std::size_t n,
                                 std::size_t readable) {
    // B, G, R triples to B, G, R, 0 in each 128-bit half.
    const __m256i expand = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                            0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    // Each pixel's alpha in both 16-bit halves of its 32 bits: pixels 0-3 | 4-7.
    const __m256i alpha32 = _mm256_setr_epi8(0, -1, 0, -1, 1, -1, 1, -1, 2, -1, 2, -1, 3, -1, 3, -1,  //
                                             4, -1, 4, -1, 5, -1, 5, -1, 6, -1, 6, -1, 7, -1, 7, -1);
    const __m256i low = _mm256_set1_epi16(0x00FF);
    const __m256i high = _mm256_set1_epi16(static_cast<short>(0xFF00));
    const __m256i c255 = _mm256_set1_epi16(255);
    const __m256i keep = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    std::size_t i = 0;
    // The second load reads 16 bytes from pixel i + 4.
    for (; i + 8 <= n && 3 * i + 28 <= readable; i += 8, bgr += 24, alpha += 8, d += 32) {
        const __m256i raw = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 12)), 1);
        long long a8;
        __builtin_memcpy(&a8, alpha, 8);
        if (a8 == 0) continue;  // eight clear pixels leave the destination
        const __m256i dst = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d));
        // The source's fourth byte is the destination's: the formula then
        // gives it back unchanged ((255 + 255 x P) >> 8 = P).
        const __m256i s = _mm256_or_si256(_mm256_shuffle_epi8(raw, expand), _mm256_and_si256(keep, dst));
        if (a8 == -1) {  // eight opaque ones are copied
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), s);
            continue;
        }
        // Blue and red in the even bytes, green and the fourth byte in the odd
        // ones, each in a 16-bit lane beside its pixel's alpha: no unpacking.
        const __m256i a = _mm256_shuffle_epi8(_mm256_set1_epi64x(a8), alpha32);
        const __m256i ia = _mm256_sub_epi16(c255, a);
        const __m256i even = _mm256_add_epi16(
            _mm256_add_epi16(_mm256_mullo_epi16(_mm256_and_si256(s, low), a),
                             _mm256_mullo_epi16(_mm256_and_si256(dst, low), ia)),
            c255);
        const __m256i odd = _mm256_add_epi16(
            _mm256_add_epi16(_mm256_mullo_epi16(_mm256_srli_epi16(s, 8), a),
                             _mm256_mullo_epi16(_mm256_srli_epi16(dst, 8), ia)),
            c255);
        const __m256i out = _mm256_or_si256(_mm256_srli_epi16(even, 8), _mm256_and_si256(odd, high));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), out);
    }
    return i;
}

}  // namespace velto::png_detail
