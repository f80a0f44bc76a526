#include "platform/NearestColor.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velto {
namespace {

inline int Distance(const std::uint8_t* e, int c0, int c1, int c2, TColorDistance distance) {
    const int d0 = e[0] - c0, d1 = e[1] - c1, d2 = e[2] - c2;
    return distance == TColorDistance::Squares ? d0 * d0 + d1 * d1 + d2 * d2
                                               : std::abs(d0) + std::abs(d1) + std::abs(d2);
}

#if defined(__SSE2__)
// Absolute distances of four entries at once, one 32-bit lane each.
inline __m128i Absolute4(const std::uint8_t* e, __m128i colour) {
    const __m128i rgbMask = _mm_set1_epi32(0x00FFFFFF);
    const __m128i byteMask = _mm_set1_epi32(0xFF);
    const __m128i v = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(e)), rgbMask);
    const __m128i d = _mm_or_si128(_mm_subs_epu8(v, colour), _mm_subs_epu8(colour, v));
    return _mm_add_epi32(_mm_add_epi32(_mm_and_si128(d, byteMask), _mm_and_si128(_mm_srli_epi32(d, 8), byteMask)),
                         _mm_srli_epi32(d, 16));
}

// Two passes (least distance, then its first entry) keep the lowest-index rule
// simple; palettes search once a pixel in colour-depth changes, so both passes
// go four entries at a time.
int NearestAbsoluteSse2(const std::uint8_t* entries, std::size_t n, std::uint8_t c0, std::uint8_t c1, std::uint8_t c2) {
    const std::size_t blocks = n & ~std::size_t{3};
    const __m128i colour = _mm_set1_epi32(static_cast<int>(c0 | c1 << 8 | c2 << 16));
    int best = std::numeric_limits<int>::max();
    if (blocks > 0) {
        // Distances are at most 765, so a 16-bit minimum of the lanes is exact.
        __m128i least = _mm_set1_epi32(0x7FFF);
        for (std::size_t i = 0; i < blocks; i += 4) least = _mm_min_epi16(least, Absolute4(entries + 4 * i, colour));
        least = _mm_min_epi16(least, _mm_shuffle_epi32(least, _MM_SHUFFLE(1, 0, 3, 2)));
        least = _mm_min_epi16(least, _mm_shuffle_epi32(least, _MM_SHUFFLE(2, 3, 0, 1)));
        best = _mm_cvtsi128_si32(least) & 0xFFFF;
    }
    for (std::size_t i = blocks; i < n; ++i) best = std::min(best, Distance(entries + 4 * i, c0, c1, c2, TColorDistance::Absolute));
    const __m128i target = _mm_set1_epi32(best);
    for (std::size_t i = 0; i < blocks; i += 4) {
        const int hits = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(Absolute4(entries + 4 * i, colour), target)));
        if (hits != 0) return static_cast<int>(i) + __builtin_ctz(static_cast<unsigned>(hits));
    }
    for (std::size_t i = blocks; i < n; ++i)
        if (Distance(entries + 4 * i, c0, c1, c2, TColorDistance::Absolute) == best) return static_cast<int>(i);
    return 0;
}
#endif

}  // namespace

int NearestColorEntry(const std::uint8_t* entries, std::size_t n, std::uint8_t c0, std::uint8_t c1, std::uint8_t c2,
                      TColorDistance distance) {
    if (n == 0) return -1;
#if defined(__SSE2__)
    if (distance == TColorDistance::Absolute) return NearestAbsoluteSse2(entries, n, c0, c1, c2);
#endif
    int best = -1;
    int bestDistance = std::numeric_limits<int>::max();
    for (std::size_t i = 0; i < n; ++i) {
        const int d = Distance(entries + 4 * i, c0, c1, c2, distance);
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
            if (d == 0) break;
        }
    }
    return best;
}

}  // namespace velto
