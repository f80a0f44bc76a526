// Average and Paeth unfiltering of four rows at once, built for AVX2 (this
// file only, called only where the processor has it). Within a row each pixel
// waits for the one on its left, so a single row runs at the speed of that
// chain; four rows run side by side instead, one pixel of each per step in
// 16-bit lanes, each row two pixels behind the one above it so that the pixels
// it reads from there are final (and written two steps before, out of the
// way of the chain). The few pixels at both ends of the rows, where the four
// do not overlap, go through scalar code in row order.
#include <immintrin.h>

#include <cstring>

#include "png/PngUnfilter.h"
#include "png/PngVectorAvx2.h"

namespace velto::png_detail {

namespace {

// The filter types of the two rows this code takes.
constexpr std::uint8_t pfAverage = 3, pfPaeth = 4;

// The scalar filters for pixels [p0, p1) of one row.
template <int Bpp>
void ScalarPixels(bool paeth, std::uint8_t* cur, const std::uint8_t* prior, std::size_t p0, std::size_t p1) {
    for (std::size_t i = p0 * Bpp; i < p1 * Bpp; ++i) {
        const int a = i >= Bpp ? cur[i - Bpp] : 0, b = prior[i], c = i >= Bpp ? prior[i - Bpp] : 0;
        const int p = paeth ? PaethPredictor(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b),
                                             static_cast<std::uint8_t>(c))
                            : (a + b) >> 1;
        cur[i] = static_cast<std::uint8_t>(cur[i] + p);
    }
}

inline std::int32_t Load4(const std::uint8_t* p) {
    std::int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void Store4(std::uint8_t* p, std::int32_t v) { std::memcpy(p, &v, 4); }

// One pixel of each of the four rows, widened to 16 bits: row k in lanes 4k..4k+3.
inline __m256i Gather(const std::uint8_t* const p[4]) {
    return _mm256_cvtepu8_epi16(_mm_setr_epi32(Load4(p[0]), Load4(p[1]), Load4(p[2]), Load4(p[3])));
}

// The shift of row k behind row 0, in pixels.
constexpr std::size_t kLag = 2;

// Kind: which rows are Paeth (the others Average): none, all, or some.
enum Kind { kAverage, kPaeth, kMixed };

template <int Bpp, Kind K>
void FourRows(const std::uint8_t type[4], std::uint8_t* const row[4], const std::uint8_t* above, std::size_t w) {
    bool paeth[4];
    for (std::size_t k = 0; k < 4; ++k) paeth[k] = type[k] == pfPaeth;
    const std::uint8_t* prior[4] = {above, row[0], row[1], row[2]};
    // Before the steps: the pixels of the upper rows that lead the lower ones.
    constexpr std::size_t first = 3 * kLag;  // the step at which row 3 starts
    for (std::size_t k = 0; k < 3; ++k) ScalarPixels<Bpp>(paeth[k], row[k], prior[k], 0, first - kLag * k);
    // Left (a) and upper-left (c) pixels of each row's next pixel.
    alignas(16) std::uint8_t left[4][4] = {}, upLeft[4][4] = {};
    for (std::size_t k = 0; k < 3; ++k) {
        std::memcpy(left[k], row[k] + (first - kLag * k - 1) * Bpp, Bpp);
        std::memcpy(upLeft[k], prior[k] + (first - kLag * k - 1) * Bpp, Bpp);
    }
    __m256i a = _mm256_cvtepu8_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(left)));
    __m256i c = _mm256_cvtepu8_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(upLeft)));
    const __m256i low = _mm256_set1_epi16(0xFF);
    // The lanes of the Paeth rows, where some rows are Average.
    const __m256i paethLanes = _mm256_setr_epi64x(paeth[0] ? -1 : 0, paeth[1] ? -1 : 0, paeth[2] ? -1 : 0,
                                                  paeth[3] ? -1 : 0);
    // Row 0 stops one pixel short of its end: a 3-byte pixel is read as 4 bytes.
    const std::size_t end = w - 1;
    std::size_t s = first;
    for (; s < end; ++s) {
        std::uint8_t* cur[4];
        const std::uint8_t* up[4];
        for (std::size_t k = 0; k < 4; ++k) {
            cur[k] = row[k] + (s - kLag * k) * Bpp;
            up[k] = prior[k] + (s - kLag * k) * Bpp;
        }
        const __m256i x = Gather(cur), b = Gather(up);
        __m256i pred, average;
        if constexpr (K != kAverage) {
            // a when pa <= pb and pa <= pc; else b when pb <= pc; else c.
            const __m256i bc = _mm256_sub_epi16(b, c), ac = _mm256_sub_epi16(a, c);
            const __m256i pa = _mm256_abs_epi16(bc), pb = _mm256_abs_epi16(ac);
            const __m256i pc = _mm256_abs_epi16(_mm256_add_epi16(ac, bc));
            const __m256i notA = _mm256_or_si256(_mm256_cmpgt_epi16(pa, pb), _mm256_cmpgt_epi16(pa, pc));
            const __m256i bOrC = _mm256_blendv_epi8(b, c, _mm256_cmpgt_epi16(pb, pc));
            pred = _mm256_blendv_epi8(a, bOrC, notA);
        }
        if constexpr (K != kPaeth) average = _mm256_srli_epi16(_mm256_add_epi16(a, b), 1);
        if constexpr (K == kAverage) pred = average;
        if constexpr (K == kMixed) pred = _mm256_blendv_epi8(average, pred, paethLanes);
        a = _mm256_and_si256(_mm256_add_epi16(x, pred), low);
        c = b;
        // The fourth byte of a 3-byte pixel belongs to the next one: written back as read.
        const __m256i out = Bpp == 3 ? _mm256_blend_epi16(a, x, 0x88) : a;
        const __m256i packed = _mm256_packus_epi16(out, out);
        const __m128i lo = _mm256_castsi256_si128(packed), hi = _mm256_extracti128_si256(packed, 1);
        Store4(cur[0], _mm_cvtsi128_si32(lo));
        Store4(cur[1], _mm_extract_epi32(lo, 1));
        Store4(cur[2], _mm_cvtsi128_si32(hi));
        Store4(cur[3], _mm_extract_epi32(hi, 1));
    }
    // After the steps: the rest of each row, upper rows first.
    for (std::size_t k = 0; k < 4; ++k) ScalarPixels<Bpp>(paeth[k], row[k], prior[k], s - kLag * k, w);
}

}  // namespace

bool FourRowsAvx2(const std::uint8_t type[4], std::uint8_t* const row[4], const std::uint8_t* above, std::size_t n,
                  std::size_t bpp) {
    const std::size_t w = n / bpp;
    if ((bpp != 3 && bpp != 4) || n % bpp != 0 || w < kMinFourRowPixels) return false;
    int paeth = 0;
    for (int k = 0; k < 4; ++k) {
        if (type[k] != pfAverage && type[k] != pfPaeth) return false;
        paeth += type[k] == pfPaeth;
    }
    const Kind kind = paeth == 0 ? kAverage : paeth == 4 ? kPaeth : kMixed;
    auto run = [&]<int Bpp>() {
        switch (kind) {
            case kAverage: return FourRows<Bpp, kAverage>(type, row, above, w);
            case kPaeth: return FourRows<Bpp, kPaeth>(type, row, above, w);
            case kMixed: return FourRows<Bpp, kMixed>(type, row, above, w);
        }
    };
    bpp == 3 ? run.template operator()<3>() : run.template operator()<4>();
    return true;
}

}  // namespace velto::png_detail
