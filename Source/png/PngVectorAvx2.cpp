// Average and Paeth unfiltering of four rows at once, built for AVX2 (this
// file only, called only where the processor has it). Within a row each pixel
// waits for the one on its left, so a single row runs at the speed of that
// chain; four rows run side by side instead, one pixel of each per step in
// 16-bit lanes, each row two pixels behind the one above it so that the pixels
// it reads from there are final (and written two steps before, out of the
// way of the chain). The few pixels at both ends of the rows, where the four
// do not overlap, go through scalar code in row order.
#include <immintrin.h>

#include <cstdlib>
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

// Which rows are Paeth (the others Average): none, all, or some.
enum Kind { kAverage, kPaeth, kMixed };

// The shift of row k behind row 0, in pixels.
constexpr std::size_t kLag = 2;

// The steps' results: step s holds pixel s - kLag * k of row k in its dword k,
// so that a step stores 16 bytes at once and reads the pixels above its own
// as one 16-byte load of an earlier step, neither ever overlapping a store in
// part (such loads wait for the store to reach the cache). The rows
// themselves are read only, until the results are copied back.
struct StepBuffer {
    __m128i* steps = nullptr;
    std::size_t size = 0;
    ~StepBuffer() { std::free(steps); }
    // At least n steps, or null when there is no memory for them.
    __m128i* Get(std::size_t n) {
        if (n > size) {
            std::free(steps);
            size = 0;
            steps = static_cast<__m128i*>(std::aligned_alloc(16, n * sizeof(__m128i)));
            if (steps) size = n;
        }
        return steps;
    }
};
thread_local StepBuffer tSteps;

template <int Bpp, Kind K>
void FourRows(const std::uint8_t type[4], std::uint8_t* const row[4], const std::uint8_t* above, std::size_t w,
              __m128i* steps) {
    bool paeth[4];
    for (std::size_t k = 0; k < 4; ++k) paeth[k] = type[k] == pfPaeth;
    const std::uint8_t* prior[4] = {above, row[0], row[1], row[2]};
    // Before the steps: the pixels of the upper rows that lead the lower ones.
    constexpr std::size_t first = 3 * kLag;  // the step at which row 3 starts
    for (std::size_t k = 0; k < 3; ++k) ScalarPixels<Bpp>(paeth[k], row[k], prior[k], 0, first - kLag * k);
    // Row 0 stops one pixel short of its end: a 3-byte pixel is read as 4 bytes.
    const std::size_t end = w - 1;
    // The steps before the first hold the leading pixels (what the rows below read of them).
    for (std::size_t t = 0; t < first; ++t) {
        alignas(16) std::uint8_t px[4][4] = {};
        for (std::size_t k = 0; k < 3; ++k)
            if (t >= kLag * k) std::memcpy(px[k], row[k] + (t - kLag * k) * Bpp, Bpp);
        steps[t] = _mm_load_si128(reinterpret_cast<const __m128i*>(px));
    }
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
    std::size_t s = first;
    for (; s < end; ++s) {
        const __m256i x = _mm256_cvtepu8_epi16(
            _mm_setr_epi32(Load4(row[0] + s * Bpp), Load4(row[1] + (s - kLag) * Bpp),
                           Load4(row[2] + (s - 2 * kLag) * Bpp), Load4(row[3] + (s - 3 * kLag) * Bpp)));
        // Above row 0: the row over the four; above the others: the step kLag before.
        const __m128i up = _mm_insert_epi32(_mm_slli_si128(steps[s - kLag], 4), Load4(above + s * Bpp), 0);
        const __m256i b = _mm256_cvtepu8_epi16(up);
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
        const __m256i packed = _mm256_packus_epi16(a, a);  // rows 0, 1 low; 2, 3 high
        steps[s] = _mm256_castsi256_si128(_mm256_permute4x64_epi64(packed, 0x08));
    }
    // The steps' pixels back into the rows (row k's pixels first - kLag * k up to
    // s - kLag * k), four steps at a time turned into four pixels of each row.
    const __m128i pack3 = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    std::size_t t = first;
    for (; t + 4 <= s; t += 4) {
        const __m128i t0 = _mm_unpacklo_epi32(steps[t], steps[t + 1]), t1 = _mm_unpacklo_epi32(steps[t + 2], steps[t + 3]);
        const __m128i t2 = _mm_unpackhi_epi32(steps[t], steps[t + 1]), t3 = _mm_unpackhi_epi32(steps[t + 2], steps[t + 3]);
        const __m128i px[4] = {_mm_unpacklo_epi64(t0, t1), _mm_unpackhi_epi64(t0, t1), _mm_unpacklo_epi64(t2, t3),
                               _mm_unpackhi_epi64(t2, t3)};
        for (std::size_t k = 0; k < 4; ++k) {
            std::uint8_t* out = row[k] + (t - kLag * k) * Bpp;
            if constexpr (Bpp == 4) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out), px[k]);
            } else {
                // Exactly 12 bytes: the pixels after them may not be final yet.
                const __m128i v = _mm_shuffle_epi8(px[k], pack3);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out), v);
                const std::int32_t tail = _mm_extract_epi32(v, 2);
                std::memcpy(out + 8, &tail, 4);
            }
        }
    }
    for (; t < s; ++t) {
        alignas(16) std::uint8_t px[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(px), steps[t]);
        for (std::size_t k = 0; k < 4; ++k) std::memcpy(row[k] + (t - kLag * k) * Bpp, px + 4 * k, Bpp);
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
    __m128i* steps = tSteps.Get(w);
    if (!steps) return false;
    const Kind kind = paeth == 0 ? kAverage : paeth == 4 ? kPaeth : kMixed;
    auto run = [&]<int Bpp>() {
        switch (kind) {
            case kAverage: return FourRows<Bpp, kAverage>(type, row, above, w, steps);
            case kPaeth: return FourRows<Bpp, kPaeth>(type, row, above, w, steps);
            case kMixed: return FourRows<Bpp, kMixed>(type, row, above, w, steps);
        }
    };
    bpp == 3 ? run.template operator()<3>() : run.template operator()<4>();
    return true;
}

}  // namespace velto::png_detail
