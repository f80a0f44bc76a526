// The 5 x 5 filter's weighted sums with AVX2 (this file only; called only
// where the processor has it): two blocks of sixteen lanes summed over every
// tap in registers before they are stored.
#include "engine/FilterSumsAvx2.h"

#include <immintrin.h>

namespace velto::filter_detail {

void WeightedSumAvx2(std::int16_t* out, const std::int16_t* const* src, const std::int16_t* w, std::size_t taps,
                     std::size_t n) {
    std::size_t i = 0;
    const auto load = [](const std::int16_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); };
    for (; i + 32 <= n; i += 32) {
        __m256i a0 = _mm256_setzero_si256(), a1 = _mm256_setzero_si256();
        for (std::size_t t = 0; t < taps; ++t) {
            const __m256i wv = _mm256_set1_epi16(w[t]);
            a0 = _mm256_add_epi16(a0, _mm256_mullo_epi16(load(src[t] + i), wv));
            a1 = _mm256_add_epi16(a1, _mm256_mullo_epi16(load(src[t] + i + 16), wv));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), a0);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i + 16), a1);
    }
    for (; i < n; ++i) {
        int sum = 0;
        for (std::size_t t = 0; t < taps; ++t) sum += w[t] * src[t][i];
        out[i] = static_cast<std::int16_t>(sum);
    }
}

}  // namespace velto::filter_detail
