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
// R, G, B, A with the colour of transparent pixels 0; qv takes R, G, B and 1
// for each visible pixel, 0, 0, 0, 0 for a transparent one; visible takes 1
// or 0.
void LoadRowAvx2(const std::uint8_t* pixels, std::size_t w, std::int16_t* q, std::int16_t* qv,
                 std::int16_t* visible);

// The last step of one output row of the 16-bit filter, eight pixels at once:
// the weighted sums (their positive and negative parts, each in 0..65535),
// what transparent neighbours lend, the division rounding halves to even, the
// offset and the clamp; then the pixel rule of the whole-image filter.
struct TFinishJob {
    const std::int16_t* Sum = nullptr;  // R, G, B, A: positive part
    const std::int16_t* Neg = nullptr;  // and negative part (nullptr: 0)
    const std::int16_t* Box = nullptr;  // R, G, B, count of the visible pixels among 25 (nullptr: none hidden)
    // With Box, the taps as the sums took them, over the rows' visibility:
    // the visible weight of the pixels whose neighbours lend colour.
    const std::int16_t* const* Visible = nullptr;
    const std::int16_t* Weights = nullptr;  // per group of taps, its weight's magnitude
    const std::uint8_t* Sizes = nullptr;    // per group, its taps
    std::size_t PositiveGroups = 0, NegativeGroups = 0;
    std::int32_t WeightSum = 0;
    std::int32_t Divisor = 1;  // not 0
    std::int32_t Offset = 0;
    bool OwnAlpha = false;  // alpha filtered, else each pixel keeps its own
    bool Snap = false;      // alpha snaps to 0 or 255 at 128
};
// Filters n >= 8 pixels at out in place: each takes the filtered colour and
// the filtered alpha (with OwnAlpha) or its own, snapped with Snap; a pixel
// whose alpha ends 0 becomes (0, 0, 0, 0).
void FinishRowAvx2(const TFinishJob& job, std::uint8_t* out, std::size_t n);

// Alpha of w >= 8 RGBA pixels, and 1 for each visible one, 0 for a transparent one.
void LoadAlphaAvx2(const std::uint8_t* pixels, std::size_t w, std::int16_t* a, std::int16_t* visible);

// The last step where every visible pixel has one colour: a pixel takes Lit
// where some of its 25 neighbours is visible, Dark where none is, and the
// filtered alpha (with SumA) or its own, under the same pixel rule.
struct TOneColourJob {
    const std::int16_t* SumA = nullptr;   // alpha: positive part (nullptr: alpha not filtered)
    const std::int16_t* NegA = nullptr;   // and negative part (nullptr: 0)
    const std::int16_t* Count = nullptr;  // visible pixels among the 25 (nullptr: none hidden)
    std::uint32_t Lit = 0, Dark = 0;      // RGB in the pixels' byte order, alpha 0
    std::int32_t Divisor = 1;             // not 0
    std::int32_t Offset = 0;
    bool Snap = false;
};
void FinishOneColourAvx2(const TOneColourJob& job, std::uint8_t* out, std::size_t n);

}  // namespace velto::filter_detail
