#pragma once
// The 5 x 5 filter's row sums and what it learns of a picture before it
// starts, shared by its whole-image code.
#include <cstddef>
#include <cstdint>
#include <span>

#include "model/Pixel.h"

namespace velto::filter_detail {

// Whether this thread's filters take the AVX2 code (the processor has it and
// no ScopedPortableFilter holds them off it).
bool UseAvx2();

// out[i] = sum over groups g of w[g] * (the sum of src[t][i] over the size[g]
// taps of g, in order) for i < n, in 16-bit lanes that wrap (exact wherever
// the true sums fit 16 bits). Taps of one weight are added before their one
// multiply; each block of lanes sums every tap in registers before it is
// stored. out is none of the sources.
void WeightedSum(std::int16_t* out, const std::int16_t* const* src, const std::int16_t* w, const std::uint8_t* size,
                 std::size_t groups, std::size_t n);

// Whether any pixel is transparent, and whether the visible ones share one
// colour (then that colour).
struct TPixelSurvey {
    bool AnyHidden = false;
    bool OneColour = true;
    TmyPixel Colour;
};
TPixelSurvey Survey(std::span<const TmyPixel> pixels);

}  // namespace velto::filter_detail
