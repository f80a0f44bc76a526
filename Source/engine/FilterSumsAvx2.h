#pragma once
// The 5 x 5 filter's weighted sums built for AVX2. Its source file is built
// for AVX2 and includes only this header and intrinsics, so that no inline
// function compiled there for AVX2 can stand in for another file's copy.
#include <cstddef>
#include <cstdint>

namespace velto::filter_detail {

// out[i] = sum over t of w[t] * src[t][i] for i < n, in 16-bit lanes that
// wrap; sixteen lanes an instruction. Called only where the processor has AVX2.
void WeightedSumAvx2(std::int16_t* out, const std::int16_t* const* src, const std::int16_t* w, std::size_t taps,
                     std::size_t n);

}  // namespace velto::filter_detail
