// The 5 x 5 filter's rows with AVX2 (this file only; called only where the
// processor has it). Every block of lanes is summed over all its taps in
// registers before it is stored; the last block of a row overlaps the one
// before it rather than leave a scalar tail (its lanes are computed anew).
#include "engine/FilterSumsAvx2.h"

#include <immintrin.h>

namespace velto::filter_detail {

namespace {

__m256i Load(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
__m128i Load128(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }

}  // namespace

void WeightedSumAvx2(std::int16_t* out, const std::int16_t* const* src, const std::int16_t* weights,
                     const std::uint8_t* sizes, std::size_t groups, std::size_t n) {
    for (std::size_t i = 0; i < n && n >= 32; i += 32) {
        if (i + 32 > n) i = n - 32;
        __m256i a0 = _mm256_setzero_si256(), a1 = _mm256_setzero_si256();
        for (std::size_t g = 0, t = 0; g < groups; ++g) {
            // Taps of one weight are added first and multiplied once.
            __m256i s0 = Load(src[t] + i), s1 = Load(src[t] + i + 16);
            for (const std::size_t end = t++ + sizes[g]; t < end; ++t) {
                s0 = _mm256_add_epi16(s0, Load(src[t] + i));
                s1 = _mm256_add_epi16(s1, Load(src[t] + i + 16));
            }
            if (weights[g] != 1) {
                const __m256i wv = _mm256_set1_epi16(weights[g]);
                s0 = _mm256_mullo_epi16(s0, wv);
                s1 = _mm256_mullo_epi16(s1, wv);
            }
            a0 = _mm256_add_epi16(a0, s0);
            a1 = _mm256_add_epi16(a1, s1);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), a0);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i + 16), a1);
    }
    if (n >= 32) return;
    for (std::size_t i = 0; i < n; ++i) {
        int sum = 0;
        for (std::size_t g = 0, t = 0; g < groups; ++g) {
            int s = 0;
            for (const std::size_t end = t + sizes[g]; t < end; ++t) s += src[t][i];
            sum += weights[g] * s;
        }
        out[i] = static_cast<std::int16_t>(sum);
    }
}

void LoadRowAvx2(const std::uint8_t* pixels, std::size_t w, std::int16_t* q, std::int16_t* a) {
    const __m256i colour = _mm256_set1_epi32(0x00FFFFFF), one = _mm256_set1_epi32(0x01000000);
    const __m256i zero = _mm256_setzero_si256();
    for (std::size_t x = 0; x < w; x += 8) {
        if (x + 8 > w) x = w - 8;
        const __m256i p = Load(pixels + 4 * x);
        const __m256i alpha = _mm256_srli_epi32(p, 24);
        // Transparent pixels: all four values 0; visible ones: their colour and 1.
        const __m256i visible = _mm256_xor_si256(_mm256_cmpeq_epi32(alpha, zero), _mm256_set1_epi32(-1));
        const __m256i v = _mm256_and_si256(_mm256_or_si256(_mm256_and_si256(p, colour), one), visible);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(q + 4 * x), _mm256_cvtepu8_epi16(_mm256_castsi256_si128(v)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(q + 4 * x + 16),
                            _mm256_cvtepu8_epi16(_mm256_extracti128_si256(v, 1)));
        const __m256i a16 = _mm256_packus_epi32(alpha, alpha);  // a0-3 a0-3 | a4-7 a4-7
        _mm_storeu_si128(reinterpret_cast<__m128i*>(a + x),
                         _mm256_castsi256_si128(_mm256_permute4x64_epi64(a16, 0x08)));
    }
}

void FilterRowAvx2(const TRowJob& job, std::uint8_t* out, std::size_t n) {
    const __m256 divisor = _mm256_set1_ps(static_cast<float>(job.Divisor));
    // Beyond 2^20 the offset clamps every result the same way (sums stay below 2^17).
    const std::int32_t offset = job.Offset < -(1 << 20) ? -(1 << 20) : job.Offset > (1 << 20) ? (1 << 20) : job.Offset;
    const __m256i offsetV = _mm256_set1_epi32(offset);
    const __m256i weightSum = _mm256_set1_epi32(job.WeightSum);
    const __m256 oneF = _mm256_set1_ps(1.0f);
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    const __m256i colourMask = _mm256_set1_epi32(0x00FFFFFF);
    const std::size_t groups = job.PositiveGroups + job.NegativeGroups;
    for (std::size_t k = 0; k < n; k += 8) {
        if (k + 8 > n) k = n - 8;
        // Positive and negative parts of RGBV for pixels k..k+3 and k+4..k+7, and of alpha.
        __m256i sum[2][2] = {{_mm256_setzero_si256(), _mm256_setzero_si256()},
                             {_mm256_setzero_si256(), _mm256_setzero_si256()}};
        __m128i sumA[2] = {_mm_setzero_si128(), _mm_setzero_si128()};
        for (std::size_t g = 0, t = 0; g < groups; ++g) {
            const std::size_t part = g < job.PositiveGroups ? 0 : 1;
            const std::size_t end = t + job.Sizes[g];
            __m256i s0 = Load(job.Q[t] + 4 * k), s1 = Load(job.Q[t] + 4 * k + 16);
            __m128i sa = job.WithAlpha ? Load128(job.A[t] + k) : _mm_setzero_si128();
            for (++t; t < end; ++t) {
                s0 = _mm256_add_epi16(s0, Load(job.Q[t] + 4 * k));
                s1 = _mm256_add_epi16(s1, Load(job.Q[t] + 4 * k + 16));
                if (job.WithAlpha) sa = _mm_add_epi16(sa, Load128(job.A[t] + k));
            }
            if (job.Weights[g] != 1) {
                const __m256i wv = _mm256_set1_epi16(job.Weights[g]);
                s0 = _mm256_mullo_epi16(s0, wv);
                s1 = _mm256_mullo_epi16(s1, wv);
                sa = _mm_mullo_epi16(sa, _mm256_castsi256_si128(wv));
            }
            sum[part][0] = _mm256_add_epi16(sum[part][0], s0);
            sum[part][1] = _mm256_add_epi16(sum[part][1], s1);
            sumA[part] = _mm_add_epi16(sumA[part], sa);
        }
        __m256i box[2] = {_mm256_setzero_si256(), _mm256_setzero_si256()};
        if (job.Hidden)
            for (const std::int16_t* row : job.Box) {
                box[0] = _mm256_add_epi16(box[0], Load(row + 4 * k));
                box[1] = _mm256_add_epi16(box[1], Load(row + 4 * k + 16));
            }
        // Each part lies in 0..65535: widened unsigned, their difference is the sum.
        const __m256i alpha = _mm256_sub_epi32(_mm256_cvtepu16_epi32(sumA[0]), _mm256_cvtepu16_epi32(sumA[1]));
        __m256i pairs[4];
        for (int h = 0; h < 4; ++h) {
            const auto half = [h](__m256i v) {
                return _mm256_cvtepu16_epi32(h % 2 == 0 ? _mm256_castsi256_si128(v) : _mm256_extracti128_si256(v, 1));
            };
            // R G B V of pixels k + 2h and k + 2h + 1.
            const __m256i s = _mm256_sub_epi32(half(sum[0][h / 2]), half(sum[1][h / 2]));
            __m256 f = _mm256_cvtepi32_ps(s);
            if (job.Hidden) {
                // Visible weight short of the whole: transparent neighbours lend the
                // floor of the average of the visible ones (none visible: 0 / 1).
                // Every value is an integer below 2^24, so the floats are exact, and
                // the quotient lies at least 1/25 from the next integer unless it is one.
                const __m256i hidden = _mm256_sub_epi32(weightSum, _mm256_shuffle_epi32(s, 0xFF));
                const __m256 b = _mm256_cvtepi32_ps(half(box[h / 2]));
                const __m256 count = _mm256_max_ps(_mm256_shuffle_ps(b, b, 0xFF), oneF);
                const __m256 lent = _mm256_floor_ps(_mm256_div_ps(b, count));
                f = _mm256_add_ps(f, _mm256_mul_ps(_mm256_cvtepi32_ps(hidden), lent));
            }
            // Alpha in place of the visible weight.
            const __m256i a = _mm256_permutevar8x32_epi32(
                alpha, _mm256_setr_epi32(2 * h, 2 * h, 2 * h, 2 * h, 2 * h + 1, 2 * h + 1, 2 * h + 1, 2 * h + 1));
            f = _mm256_blend_ps(f, _mm256_cvtepi32_ps(a), 0x88);
            // |sum| < 2^17: the float quotient stays on the same side of every
            // half as the true one, and a true half is exact; the conversion
            // rounds halves to even.
            if (job.Divisor != 1) f = _mm256_div_ps(f, divisor);
            pairs[h] = _mm256_add_epi32(_mm256_cvtps_epi32(f), offsetV);
        }
        // Saturating packs clamp into 0..255; they interleave 128-bit halves, which the permutation undoes.
        const __m256i words = _mm256_packs_epi32(pairs[0], pairs[1]), words2 = _mm256_packs_epi32(pairs[2], pairs[3]);
        __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words2), order);
        if (!job.WithAlpha) bytes = _mm256_and_si256(bytes, colourMask);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * k), bytes);
    }
}

}  // namespace velto::filter_detail
