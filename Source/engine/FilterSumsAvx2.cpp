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

template <bool B>
struct Flag {
    static constexpr bool value = B;
};

// Lanes [i, i + 16 * B) of the weighted sum (the loops over B unroll).
template <int B>
void SumBlock(std::int16_t* out, const std::int16_t* const* src, const std::int16_t* weights, const std::uint8_t* sizes,
              std::size_t groups, std::size_t i) {
    __m256i a[B];
    for (int b = 0; b < B; ++b) a[b] = _mm256_setzero_si256();
    for (std::size_t g = 0, t = 0; g < groups; ++g) {
        // Taps of one weight are added first and multiplied once.
        __m256i s[B];
        for (int b = 0; b < B; ++b) s[b] = Load(src[t] + i + 16 * b);
        for (const std::size_t end = t++ + sizes[g]; t < end; ++t) {
            const std::int16_t* p = src[t] + i;
            for (int b = 0; b < B; ++b) s[b] = _mm256_add_epi16(s[b], Load(p + 16 * b));
        }
        if (weights[g] != 1) {
            const __m256i wv = _mm256_set1_epi16(weights[g]);
            for (int b = 0; b < B; ++b) s[b] = _mm256_mullo_epi16(s[b], wv);
        }
        for (int b = 0; b < B; ++b) a[b] = _mm256_add_epi16(a[b], s[b]);
    }
    for (int b = 0; b < B; ++b) _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i + 16 * b), a[b]);
}

}  // namespace

void WeightedSumAvx2(std::int16_t* out, const std::int16_t* const* src, const std::int16_t* weights,
                     const std::uint8_t* sizes, std::size_t groups, std::size_t n) {
    if (n >= 64) {
        for (std::size_t i = 0; i < n; i += 64) SumBlock<4>(out, src, weights, sizes, groups, i < n - 64 ? i : n - 64);
        return;
    }
    if (n >= 16) {
        for (std::size_t i = 0; i < n; i += 16) SumBlock<1>(out, src, weights, sizes, groups, i < n - 16 ? i : n - 16);
        return;
    }
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

void LoadRowAvx2(const std::uint8_t* pixels, std::size_t w, std::int16_t* q, std::int16_t* qv,
                 std::int16_t* visible) {
    const __m256i colour = _mm256_set1_epi32(0x00FFFFFF), one = _mm256_set1_epi32(0x01000000);
    const __m256i zero = _mm256_setzero_si256();
    const auto widen = [](std::int16_t* to, __m256i v) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), _mm256_cvtepu8_epi16(_mm256_castsi256_si128(v)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 16), _mm256_cvtepu8_epi16(_mm256_extracti128_si256(v, 1)));
    };
    for (std::size_t x = 0; x < w; x += 8) {
        if (x + 8 > w) x = w - 8;
        const __m256i p = Load(pixels + 4 * x);
        const __m256i alpha = _mm256_srli_epi32(p, 24);
        const __m256i hidden = _mm256_cmpeq_epi32(alpha, zero);
        widen(q + 4 * x, _mm256_andnot_si256(hidden, p));
        widen(qv + 4 * x, _mm256_andnot_si256(hidden, _mm256_or_si256(_mm256_and_si256(p, colour), one)));
        // Packs pair 128-bit halves: v0-3 v0-3 | v4-7 v4-7, then v0-7 in the low half.
        const __m256i shown = _mm256_andnot_si256(hidden, _mm256_set1_epi32(1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(visible + x),
                         _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi32(shown, shown), 0x08)));
    }
}

namespace {

// How a row's sums are divided: not at all (divisor 1), by a multiply with the
// reciprocal (exact for powers of two), or by a division.
enum class Quotient { One, Multiply, Divide };

// The last step, its choices made at compile time; whether a block needs what
// transparent neighbours lend is decided per block.
template <bool Neg, bool OwnAlpha, Quotient Q>
void FinishRow(const TFinishJob& job, std::uint8_t* out, std::size_t n) {
    const __m256 divisor = _mm256_set1_ps(static_cast<float>(job.Divisor));
    const __m256 reciprocal = _mm256_set1_ps(1.0f / static_cast<float>(job.Divisor));
    // Beyond 2^20 the offset clamps every result the same way (sums stay below 2^17).
    const std::int32_t offset = job.Offset < -(1 << 20) ? -(1 << 20) : job.Offset > (1 << 20) ? (1 << 20) : job.Offset;
    const __m256i offsetV = _mm256_set1_epi32(offset);
    const __m256i weightSum = _mm256_set1_epi32(job.WeightSum);
    const __m256 oneF = _mm256_set1_ps(1.0f);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const __m256i colourMask = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i full = _mm256_set1_epi32(25);
    // The packs below leave pixels in the order 0 2 4 6 1 3 5 7.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    const auto half = [](__m256i v, int h) {
        return _mm256_cvtepu16_epi32(h == 0 ? _mm256_castsi256_si128(v) : _mm256_extracti128_si256(v, 1));
    };
    const std::size_t groups = job.PositiveGroups + job.NegativeGroups;
    for (std::size_t k = 0; k < n; k += 8) {
        // The last block overlaps the one before: recomputed from the same
        // sums, its pixels come out the same (the rule is idempotent on alpha).
        if (k + 8 > n) k = n - 8;
        __m256i box[2] = {zero, zero};
        __m256 recip = oneF;  // floats 1 / count, a little above, in the packs' pixel order
        // Only pixels with some but not all of their 25 neighbours visible can
        // have transparent ones lend colour (with none visible they lend 0).
        bool lend = false;
        __m256i hidden = zero;  // with lend: weight of the transparent neighbours, pixels 0..7
        if (job.Box) {
            box[0] = Load(job.Box + 4 * k);
            box[1] = Load(job.Box + 4 * k + 16);
            // Counts of pixels 0 4 1 5 | 2 6 3 7.
            const __m256i counts = _mm256_blend_epi32(_mm256_srli_epi64(box[0], 48),
                                                      _mm256_slli_epi64(_mm256_srli_epi64(box[1], 48), 32), 0xAA);
            const __m256i none = _mm256_cmpeq_epi32(counts, zero), all = _mm256_cmpeq_epi32(counts, full);
            lend = _mm256_movemask_epi8(_mm256_or_si256(none, all)) != -1;
            if (lend) {
                // The visible weight of the block's pixels, from the taps.
                __m128i part[2] = {_mm_setzero_si128(), _mm_setzero_si128()};
                for (std::size_t g = 0, t = 0; g < groups; ++g) {
                    __m128i s = _mm_setzero_si128();
                    for (const std::size_t end = t + job.Sizes[g]; t < end; ++t) s = _mm_add_epi16(s, Load128(job.Visible[t] + k));
                    part[g < job.PositiveGroups ? 0 : 1] =
                        _mm_add_epi16(part[g < job.PositiveGroups ? 0 : 1], _mm_mullo_epi16(s, _mm_set1_epi16(job.Weights[g])));
                }
                hidden = _mm256_sub_epi32(weightSum, _mm256_cvtepi16_epi32(_mm_sub_epi16(part[0], part[1])));
                // 1 / count raised by 16 units in the last place: count * r > 1 by
                // less than 2^-18, so floor(b * r) = floor(b / count) for every
                // b <= 25 * 255 (a fraction of b / count is at least 1 / 25).
                const __m256 r = _mm256_div_ps(oneF, _mm256_max_ps(_mm256_cvtepi32_ps(counts), oneF));
                recip = _mm256_castsi256_ps(_mm256_add_epi32(_mm256_castps_si256(r), _mm256_set1_epi32(16)));
            }
        }
        __m256i pairs[4];
        const auto finish = [&](auto lendFlag) {
            constexpr bool Lend = decltype(lendFlag)::value;
            for (int h = 0; h < 4; ++h) {
                // R G B A of pixels 2h and 2h + 1.
                __m256i s = half(Load(job.Sum + 4 * k + 16 * (h / 2)), h % 2);
                if constexpr (Neg) s = _mm256_sub_epi32(s, half(Load(job.Neg + 4 * k + 16 * (h / 2)), h % 2));
                if constexpr (!Lend && Q == Quotient::One) {
                    pairs[h] = _mm256_add_epi32(s, offsetV);
                    continue;
                }
                __m256 f = _mm256_cvtepi32_ps(s);
                if constexpr (Lend) {
                    // Visible weight short of the whole: transparent neighbours lend the
                    // floor of the average of the visible ones (none visible: 0 / 1).
                    // Every value is an integer below 2^24, the floats are exact.
                    const __m256 b = _mm256_cvtepi32_ps(half(box[h / 2], h % 2));
                    // Pixel 2h sits at lane (2h % 4) * 2 + 2h / 4 of recip.
                    const int p0 = (2 * h % 4) * 2 + 2 * h / 4, p1 = ((2 * h + 1) % 4) * 2 + (2 * h + 1) / 4;
                    const __m256 r = _mm256_permutevar8x32_ps(recip, _mm256_setr_epi32(p0, p0, p0, p0, p1, p1, p1, p1));
                    // Nothing lent to alpha.
                    const __m256 lent = _mm256_blend_ps(_mm256_floor_ps(_mm256_mul_ps(b, r)), _mm256_setzero_ps(), 0x88);
                    const __m256i w = _mm256_permutevar8x32_epi32(
                        hidden, _mm256_setr_epi32(2 * h, 2 * h, 2 * h, 2 * h, 2 * h + 1, 2 * h + 1, 2 * h + 1, 2 * h + 1));
                    f = _mm256_add_ps(f, _mm256_mul_ps(_mm256_cvtepi32_ps(w), lent));
                }
                // |sum| < 2^17: the float quotient stays on the same side of every
                // half as the true one, and a true half is exact; the conversion
                // rounds halves to even.
                if constexpr (Q == Quotient::Multiply) f = _mm256_mul_ps(f, reciprocal);
                if constexpr (Q == Quotient::Divide) f = _mm256_div_ps(f, divisor);
                pairs[h] = _mm256_add_epi32(_mm256_cvtps_epi32(f), offsetV);
            }
        };
        lend ? finish(Flag<true>()) : finish(Flag<false>());
        // Saturating packs clamp into 0..255; they interleave 128-bit halves, which the permutation undoes.
        const __m256i words = _mm256_packs_epi32(pairs[0], pairs[1]), words2 = _mm256_packs_epi32(pairs[2], pairs[3]);
        const __m256i filtered = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words2), order);
        std::uint8_t* at = out + 4 * k;
        __m256i a = _mm256_and_si256(OwnAlpha ? filtered : Load(at), alphaMask);
        if (job.Snap) a = _mm256_and_si256(_mm256_srai_epi32(a, 31), alphaMask);
        const __m256i shown = _mm256_or_si256(_mm256_and_si256(filtered, colourMask), a);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), _mm256_andnot_si256(_mm256_cmpeq_epi32(a, zero), shown));
    }
}

template <bool Neg, bool OwnAlpha>
void FinishRowBy(const TFinishJob& job, std::uint8_t* out, std::size_t n) {
    // A power of two divides exactly as a multiply by its reciprocal.
    const std::int32_t d = job.Divisor;
    const std::uint32_t magnitude = d < 0 ? 0u - static_cast<std::uint32_t>(d) : static_cast<std::uint32_t>(d);
    if (d == 1) return FinishRow<Neg, OwnAlpha, Quotient::One>(job, out, n);
    if ((magnitude & (magnitude - 1)) == 0) return FinishRow<Neg, OwnAlpha, Quotient::Multiply>(job, out, n);
    FinishRow<Neg, OwnAlpha, Quotient::Divide>(job, out, n);
}

}  // namespace

void FinishRowAvx2(const TFinishJob& job, std::uint8_t* out, std::size_t n) {
    if (job.Neg)
        job.OwnAlpha ? FinishRowBy<true, true>(job, out, n) : FinishRowBy<true, false>(job, out, n);
    else
        job.OwnAlpha ? FinishRowBy<false, true>(job, out, n) : FinishRowBy<false, false>(job, out, n);
}

void LoadAlphaAvx2(const std::uint8_t* pixels, std::size_t w, std::int16_t* a, std::int16_t* visible) {
    const __m256i zero = _mm256_setzero_si256(), one = _mm256_set1_epi32(1);
    for (std::size_t x = 0; x < w; x += 8) {
        if (x + 8 > w) x = w - 8;
        const __m256i alpha = _mm256_srli_epi32(Load(pixels + 4 * x), 24);
        const __m256i shown = _mm256_andnot_si256(_mm256_cmpeq_epi32(alpha, zero), one);
        // Packs pair 128-bit halves: a0-3 a0-3 | a4-7 a4-7, then a0-7 in the low half.
        const auto store = [](std::int16_t* to, __m256i v) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                             _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0x08)));
        };
        store(a + x, alpha);
        store(visible + x, shown);
    }
}

namespace {

template <Quotient Q>
void FinishOneColour(const TOneColourJob& job, std::uint8_t* out, std::size_t n) {
    const __m256 divisor = _mm256_set1_ps(static_cast<float>(job.Divisor));
    const __m256 reciprocal = _mm256_set1_ps(1.0f / static_cast<float>(job.Divisor));
    const std::int32_t offset = job.Offset < -(1 << 20) ? -(1 << 20) : job.Offset > (1 << 20) ? (1 << 20) : job.Offset;
    const __m256i offsetV = _mm256_set1_epi32(offset), zero = _mm256_setzero_si256();
    const __m256i lit = _mm256_set1_epi32(static_cast<int>(job.Lit)), dark = _mm256_set1_epi32(static_cast<int>(job.Dark));
    const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(0xFF000000u)), max = _mm256_set1_epi32(255);
    for (std::size_t k = 0; k < n; k += 8) {
        if (k + 8 > n) k = n - 8;  // recomputed alike: the rule is idempotent on alpha
        std::uint8_t* at = out + 4 * k;
        __m256i colour = lit;
        if (job.Count)
            colour = _mm256_blendv_epi8(lit, dark, _mm256_cmpeq_epi32(_mm256_cvtepu16_epi32(Load128(job.Count + k)), zero));
        __m256i a;
        if (job.SumA) {
            // As the last step of the other pixels: exact, halves to even, clamped.
            __m256i s = _mm256_cvtepu16_epi32(Load128(job.SumA + k));
            if (job.NegA) s = _mm256_sub_epi32(s, _mm256_cvtepu16_epi32(Load128(job.NegA + k)));
            if constexpr (Q == Quotient::Multiply) s = _mm256_cvtps_epi32(_mm256_mul_ps(_mm256_cvtepi32_ps(s), reciprocal));
            if constexpr (Q == Quotient::Divide) s = _mm256_cvtps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(s), divisor));
            s = _mm256_min_epi32(_mm256_max_epi32(_mm256_add_epi32(s, offsetV), zero), max);
            a = _mm256_slli_epi32(s, 24);
        } else {
            a = _mm256_and_si256(Load(at), alphaMask);
        }
        if (job.Snap) a = _mm256_and_si256(_mm256_srai_epi32(a, 31), alphaMask);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at),
                            _mm256_andnot_si256(_mm256_cmpeq_epi32(a, zero), _mm256_or_si256(colour, a)));
    }
}

}  // namespace

void FinishOneColourAvx2(const TOneColourJob& job, std::uint8_t* out, std::size_t n) {
    const std::int32_t d = job.Divisor;
    const std::uint32_t magnitude = d < 0 ? 0u - static_cast<std::uint32_t>(d) : static_cast<std::uint32_t>(d);
    if (d == 1) return FinishOneColour<Quotient::One>(job, out, n);
    if ((magnitude & (magnitude - 1)) == 0) return FinishOneColour<Quotient::Multiply>(job, out, n);
    FinishOneColour<Quotient::Divide>(job, out, n);
}

}  // namespace velto::filter_detail
