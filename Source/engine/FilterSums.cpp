// The 5 x 5 filter's row sums without AVX2 (SSE2 where the compiler targets
// it), the choice of code, and the survey of a picture.
#include "engine/FilterSums.h"

#include "engine/Filter.h"
#include "engine/FilterSumsAvx2.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velto {
namespace filter_detail {

namespace {

thread_local bool tPortableSums = false;

}  // namespace

bool UseAvx2() {
#if defined(VELTO_ENGINE_AVX2)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2 && !tPortableSums;
#else
    return false;
#endif
}

void WeightedSum(std::int16_t* __restrict out, const std::int16_t* const* src, const std::int16_t* w,
                 const std::uint8_t* size, std::size_t groups, std::size_t n) {
#if defined(VELTO_ENGINE_AVX2)
    if (UseAvx2()) return filter_detail::WeightedSumAvx2(out, src, w, size, groups, n);
#endif
    std::size_t i = 0;
#if defined(__SSE2__)
    const auto load = [](const std::int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    for (; i + 16 <= n; i += 16) {
        __m128i a0 = _mm_setzero_si128(), a1 = _mm_setzero_si128();
        for (std::size_t g = 0, t = 0; g < groups; ++g) {
            __m128i s0 = _mm_setzero_si128(), s1 = _mm_setzero_si128();
            for (const std::size_t end = t + size[g]; t < end; ++t) {
                s0 = _mm_add_epi16(s0, load(src[t] + i));
                s1 = _mm_add_epi16(s1, load(src[t] + i + 8));
            }
            const __m128i wv = _mm_set1_epi16(w[g]);
            a0 = _mm_add_epi16(a0, _mm_mullo_epi16(s0, wv));
            a1 = _mm_add_epi16(a1, _mm_mullo_epi16(s1, wv));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), a0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), a1);
    }
#endif
    for (; i < n; ++i) {
        int sum = 0;
        for (std::size_t g = 0, t = 0; g < groups; ++g) {
            int part = 0;
            for (const std::size_t end = t + size[g]; t < end; ++t) part += src[t][i];
            sum += w[g] * part;
        }
        out[i] = static_cast<std::int16_t>(sum);
    }
}

TPixelSurvey Survey(std::span<const TmyPixel> pixels) {
    TPixelSurvey survey;
    const auto first = std::find_if(pixels.begin(), pixels.end(), [](const TmyPixel& p) { return p.A != 0; });
    survey.AnyHidden = first != pixels.begin();
    if (first == pixels.end()) return survey;
    survey.Colour = *first;
    std::uint32_t colour;
    std::memcpy(&colour, &*first, 4);
    colour &= 0x00FFFFFF;
    // Blocks without branches per pixel (the compiler vectorises them); the
    // scan stops once both answers are known.
    constexpr std::size_t kBlock = 1024;
    std::uint32_t pixel[kBlock];
    for (std::size_t at = static_cast<std::size_t>(first - pixels.begin()); at < pixels.size(); at += kBlock) {
        const std::size_t n = std::min(kBlock, pixels.size() - at);
        std::memcpy(pixel, pixels.data() + at, 4 * n);
        std::uint32_t hidden = 0, other = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t p = pixel[i], visible = p >> 24 != 0;
            hidden |= visible ^ 1u;
            other |= visible & ((p & 0x00FFFFFF) != colour);
        }
        survey.AnyHidden |= hidden != 0;
        survey.OneColour &= other == 0;
        if (survey.AnyHidden && !survey.OneColour) break;
    }
    return survey;
}

}  // namespace filter_detail

ScopedPortableFilter::ScopedPortableFilter() : fOld(filter_detail::tPortableSums) { filter_detail::tPortableSums = true; }
ScopedPortableFilter::~ScopedPortableFilter() { filter_detail::tPortableSums = fOld; }

}  // namespace velto
