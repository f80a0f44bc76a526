#pragma once
// The 5 x 5 filter's row code built for AVX2. Its source file is built for
// AVX2 and includes only this header and intrinsics, so that no inline
// function compiled there for AVX2 can stand in for another file's copy.
// Called only where the processor has AVX2.
#include <cstddef>
#include <cstdint>

namespace velto::filter_detail {

// out[i] = sum over groups g of weights[g] * (the sum of src[t][i] over the
// sizes[g] taps of g, taken in order) for i < n, in 16-bit lanes that wrap.
void WeightedSumAvx2(std::int16_t* out, const std::int16_t* const* src, const std::int16_t* weights,
                     const std::uint8_t* sizes, std::size_t groups, std::size_t n);

// One source row of w >= 8 RGBA pixels as the 16-bit filter reads it: q takes
// R, G, B and 1 for each visible pixel, 0, 0, 0, 0 for a transparent one; a
// takes alpha.
void LoadRowAvx2(const std::uint8_t* pixels, std::size_t w, std::int16_t* q, std::int16_t* a);

// One output row of the 16-bit filter: the weighted sums of the taps (groups
// of one weight, the positive ones and then the negative ones by magnitude,
// each part at most 65535), what transparent neighbours lend, and the last
// step (division rounding halves to even, offset, clamp), eight pixels at once.
struct TRowJob {
    const std::int16_t* const* Q;  // per tap: the source row's q from the tap's column on
    const std::int16_t* const* A;  // per tap: the source row's alpha, likewise
    const std::int16_t* Weights;   // per group, its weight's magnitude
    const std::uint8_t* Sizes;     // per group, its taps
    std::size_t PositiveGroups = 0, NegativeGroups = 0;
    const std::int16_t* Box[5] = {};  // with Hidden: the five rows' sums of q over five columns
    std::int32_t WeightSum = 0;
    std::int32_t Divisor = 1;  // not 0
    std::int32_t Offset = 0;
    bool WithAlpha = false;  // else the output's alpha is 0
    bool Hidden = false;     // some pixel of the image is transparent
};
// Writes n >= 8 filtered RGBA pixels to out.
void FilterRowAvx2(const TRowJob& job, std::uint8_t* out, std::size_t n);

}  // namespace velto::filter_detail
