#pragma once
// The two stretch engines behind StretchRect and ResizeImage: nearest
// neighbour in 16.16 fixed point and separable resampling with a kernel.
#include <cstdint>
#include <vector>

#include "imaging/ImagingTypes.h"

namespace velto {

using TFilterFunction = float (*)(float x);

// Kernels by index: 0 box, 1 linear, 2 cosine, 3 Hermite, 4 quadratic,
// 5 Gaussian, 6 cubic B-spline, 7 Lanczos (3 lobes), 8 Mitchell, 9 Catmull-Rom.
inline constexpr int kFilterCount = 10;
TFilterFunction FilterFunction(int index);
float FilterRadius(int index);

struct TContributor {
    std::int32_t Pos;
    float Weight;
};
using TContributorList = std::vector<TContributor>;
using TContributorTable = std::vector<TContributorList>;

TContributorTable BuildContributors(std::int32_t dstLow, std::int32_t dstHigh, std::int32_t srcLow,
                                    std::int32_t srcHigh, std::int32_t srcImageExtent, TFilterFunction filter,
                                    float radius, bool wrap);
void FindMinMaxPosition(const TContributorTable& table, std::int32_t& minPos, std::int32_t& maxPos);

// Both images have the same plain format; the rectangles lie inside them.
void StretchNearest(const TImageData& src, std::int32_t srcX, std::int32_t srcY, std::int32_t srcWidth,
                    std::int32_t srcHeight, TImageData& dst, std::int32_t dstX, std::int32_t dstY,
                    std::int32_t dstWidth, std::int32_t dstHeight);
void StretchResample(const TImageData& src, std::int32_t srcX, std::int32_t srcY, std::int32_t srcWidth,
                     std::int32_t srcHeight, TImageData& dst, std::int32_t dstX, std::int32_t dstY,
                     std::int32_t dstWidth, std::int32_t dstHeight, int filterIndex);

}  // namespace velto
