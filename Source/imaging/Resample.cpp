// Stretching. Sums are single-precision floats added one product at a time in
// contributor order; the build keeps them unfused.
#include "imaging/Resample.h"

#include <cmath>
#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "imaging/Formats.h"

namespace velto {

namespace {

constexpr float kPi = 3.14159265358979323846f;

float FilterBox(float x) { return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f; }
float FilterLinear(float x) {
    const float d = std::fabs(x);
    return d < 1.0f ? 1.0f - d : 0.0f;
}
float FilterCosine(float x) { return std::fabs(x) < 1.0f ? (std::cos(kPi * x) + 1.0f) / 2.0f : 0.0f; }
float FilterHermite(float x) {
    const float d = std::fabs(x);
    return d < 1.0f ? d * d * (2.0f * d - 3.0f) + 1.0f : 0.0f;
}
float FilterQuadratic(float x) {
    const float d = std::fabs(x);
    if (d < 0.5f) return 0.75f - d * d;
    if (d < 1.5f) return 0.5f * (d - 1.5f) * (d - 1.5f);
    return 0.0f;
}
float FilterGaussian(float x) { return std::exp(-2.0f * x * x) * std::sqrt(2.0f / kPi); }
float FilterSpline(float x) {
    const float d = std::fabs(x);
    if (d < 1.0f) return 0.5f * d * d * d - d * d + 2.0f / 3.0f;
    if (d < 2.0f) return (2.0f - d) * (2.0f - d) * (2.0f - d) / 6.0f;
    return 0.0f;
}
float Sinc(float t) {
    if (t == 0.0f) return 1.0f;
    const float p = kPi * t;
    return std::sin(p) / p;
}
float FilterLanczos(float x) {
    const float d = std::fabs(x);
    return d < 3.0f ? Sinc(d) * Sinc(d / 3.0f) : 0.0f;
}
float FilterMitchell(float x) {
    const float d = std::fabs(x);
    if (d < 1.0f) return (7.0f * d * d * d - 12.0f * d * d + 16.0f / 3.0f) / 6.0f;
    if (d < 2.0f) return (-7.0f / 3.0f * d * d * d + 12.0f * d * d - 20.0f * d + 32.0f / 3.0f) / 6.0f;
    return 0.0f;
}
float FilterCatmullRom(float x) {
    const float d = std::fabs(x);
    if (d < 1.0f) return (d * d * (3.0f * d - 5.0f) + 2.0f) * 0.5f;
    if (d < 2.0f) return (((5.0f - d) * d - 8.0f) * d + 4.0f) * 0.5f;
    return 0.0f;
}

struct Kernel {
    TFilterFunction fn;
    float radius;
};
constexpr Kernel kKernels[kFilterCount] = {
    {FilterBox, 1.0f},      {FilterLinear, 1.0f},   {FilterCosine, 1.0f},  {FilterHermite, 1.0f},
    {FilterQuadratic, 1.5f}, {FilterGaussian, 1.25f}, {FilterSpline, 2.0f}, {FilterLanczos, 3.0f},
    {FilterMitchell, 2.0f}, {FilterCatmullRom, 2.0f}};

}  // namespace

TFilterFunction FilterFunction(int index) { return kKernels[index].fn; }
float FilterRadius(int index) { return kKernels[index].radius; }

TContributorTable BuildContributors(std::int32_t dstLow, std::int32_t dstHigh, std::int32_t srcLow,
                                    std::int32_t srcHigh, std::int32_t srcImageExtent, TFilterFunction filter,
                                    float radius, bool wrap) {
    const std::int32_t s = srcHigh - srcLow, d = dstHigh - dstLow;
    TContributorTable table;
    if (s <= 0 || d <= 0) return table;
    table.resize(static_cast<std::size_t>(d));
    if (s == 1) {
        for (auto& list : table) list.push_back({srcLow, 1.0f});
        return table;
    }
    const float scale = static_cast<float>(d) / static_cast<float>(s);
    const bool enlarging = scale >= 1.0f;
    for (std::int32_t i = 0; i < d; ++i) {
        TContributorList& list = table[static_cast<std::size_t>(i)];
        const float centre = (static_cast<float>(srcLow) - 0.5f) + (static_cast<float>(i) + 0.5f) / scale;
        const float width = enlarging ? radius : radius / scale;
        const auto left = static_cast<std::int32_t>(std::floor(centre - width));
        const auto right = static_cast<std::int32_t>(std::ceil(centre + width));
        float sum = 0.0f;
        for (std::int32_t j = left; j <= right; ++j) {
            const float w = enlarging ? filter(centre - static_cast<float>(j))
                                      : filter((centre - static_cast<float>(j)) * scale) * scale;
            if (w == 0.0f) continue;
            std::int32_t pos = j;
            if (wrap && enlarging) {
                if (pos < 0) pos = srcImageExtent + pos;
                else if (pos >= srcImageExtent) pos = pos - srcImageExtent;
            }
            if (pos < srcLow) pos = srcLow;
            if (pos > srcHigh - 1) pos = srcHigh - 1;
            list.push_back({pos, w});
            sum += w;
        }
        const float excess = sum - 1.0f;
        if (excess != 0.0f && !list.empty()) list[list.size() / 2].Weight -= excess;
        if (!enlarging && list.empty()) {
            const auto pos = static_cast<std::int32_t>(std::floor(centre));
            list.push_back({std::min(std::max(pos, srcLow), srcHigh - 1), 1.0f});
        }
    }
    return table;
}

void FindMinMaxPosition(const TContributorTable& table, std::int32_t& minPos, std::int32_t& maxPos) {
    minPos = INT32_MAX;
    maxPos = INT32_MIN;
    for (const auto& list : table)
        for (const auto& c : list) {
            minPos = std::min(minPos, c.Pos);
            maxPos = std::max(maxPos, c.Pos);
        }
}

void StretchNearest(const TImageData& src, std::int32_t srcX, std::int32_t srcY, std::int32_t srcWidth,
                    std::int32_t srcHeight, TImageData& dst, std::int32_t dstX, std::int32_t dstY,
                    std::int32_t dstWidth, std::int32_t dstHeight) {
    const TImageFormatInfo& info = *FormatInfo(src.Format);
    const std::size_t bpp = static_cast<std::size_t>(info.BytesPerPixel);
    const std::uint32_t xStep = static_cast<std::uint32_t>((std::uint64_t(srcWidth) << 16) / std::uint64_t(dstWidth));
    const std::uint32_t yStep = static_cast<std::uint32_t>((std::uint64_t(srcHeight) << 16) / std::uint64_t(dstHeight));
    std::uint64_t yAcc = 0;
    for (std::int32_t i = 0; i < dstHeight; ++i) {
        const std::size_t sy = std::size_t(srcY) + std::size_t(yAcc >> 16);
        const std::uint8_t* srcRow = src.Bits + (sy * std::size_t(src.Width) + std::size_t(srcX)) * bpp;
        std::uint8_t* dstRow = dst.Bits + ((std::size_t(dstY) + std::size_t(i)) * std::size_t(dst.Width) + std::size_t(dstX)) * bpp;
        std::uint64_t xAcc = 0;
        for (std::int32_t j = 0; j < dstWidth; ++j) {
            CopyPixel(srcRow + std::size_t(xAcc >> 16) * bpp, dstRow + std::size_t(j) * bpp, static_cast<std::int32_t>(bpp));
            xAcc += xStep;
        }
        yAcc += yStep;
    }
}

namespace {

// Four lanes of single floats; each lane adds its products in the same order
// as a scalar sum would, so results do not change, only the speed.
using Float4 = float __attribute__((vector_size(16)));

Float4 Load4(const float* p) {
    Float4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// A contributor table as two flat arrays: the list of destination i is
// pos/weight[first[i] .. first[i + 1]).
struct FlatContributors {
    std::vector<std::int32_t> pos;
    std::vector<float> weight;
    std::vector<std::size_t> first;
    explicit FlatContributors(const TContributorTable& table) {
        first.push_back(0);
        for (const TContributorList& list : table) {
            for (const TContributor& c : list) {
                pos.push_back(c.Pos);
                weight.push_back(c.Weight);
            }
            first.push_back(pos.size());
        }
    }
};

// Byte channels: the column sums of one destination row over the source rows
// of its contributors, for every byte of the source span (`sums` holds
// count + 4 floats; the four after the span stay 0 for whole-lane loads). Each
// piece of 16 bytes is summed over all contributors in registers, each lane
// still adding its products in contributor order from 0.
void SumRows(const TImageData& src, std::size_t bpp, std::int32_t minX, std::size_t count, const FlatContributors& rows,
             std::size_t i, std::vector<const std::uint8_t*>& lines, float* sums) {
    const std::size_t first = rows.first[i], n = rows.first[i + 1] - first;
    const float* weights = rows.weight.data() + first;
    lines.resize(n);
    for (std::size_t k = 0; k < n; ++k)
        lines[k] = src.Bits + (std::size_t(rows.pos[first + k]) * std::size_t(src.Width) + std::size_t(minX)) * bpp;
    std::fill(sums + count, sums + count + 4, 0.0f);
    std::size_t x = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    for (; x + 16 <= count; x += 16) {
        __m128 acc[4] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
        for (std::size_t k = 0; k < n; ++k) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lines[k] + x));
            const __m128i lo = _mm_unpacklo_epi8(bytes, zero), hi = _mm_unpackhi_epi8(bytes, zero);
            const __m128 f[4] = {_mm_cvtepi32_ps(_mm_unpacklo_epi16(lo, zero)), _mm_cvtepi32_ps(_mm_unpackhi_epi16(lo, zero)),
                                 _mm_cvtepi32_ps(_mm_unpacklo_epi16(hi, zero)), _mm_cvtepi32_ps(_mm_unpackhi_epi16(hi, zero))};
            const __m128 w = _mm_set1_ps(weights[k]);
            for (int q = 0; q < 4; ++q) acc[q] = _mm_add_ps(acc[q], _mm_mul_ps(w, f[q]));
        }
        for (int q = 0; q < 4; ++q) _mm_storeu_ps(sums + x + std::size_t(q) * 4, acc[q]);
    }
#endif
    for (; x < count; ++x) {
        float acc = 0.0f;
        for (std::size_t k = 0; k < n; ++k) acc += weights[k] * static_cast<float>(lines[k][x]);
        sums[x] = acc;
    }
}

}  // namespace

void StretchResample(const TImageData& src, std::int32_t srcX, std::int32_t srcY, std::int32_t srcWidth,
                     std::int32_t srcHeight, TImageData& dst, std::int32_t dstX, std::int32_t dstY,
                     std::int32_t dstWidth, std::int32_t dstHeight, int filterIndex) {
    const Kernel& k = kKernels[filterIndex];
    const TContributorTable cols =
        BuildContributors(0, dstWidth, srcX, srcX + srcWidth, src.Width, k.fn, k.radius, false);
    const TContributorTable rows =
        BuildContributors(0, dstHeight, srcY, srcY + srcHeight, src.Height, k.fn, k.radius, false);
    if (cols.empty() || rows.empty()) return;
    std::int32_t minX, maxX;
    FindMinMaxPosition(cols, minX, maxX);
    const TImageFormatInfo& info = *FormatInfo(src.Format);
    const std::size_t bpp = static_cast<std::size_t>(info.BytesPerPixel);
    const std::size_t lineLen = std::size_t(maxX - minX + 1);
    const bool bytePath = info.BytesPerPixel / info.ChannelCount == 1 && !info.IsPacked;
    const int channels = info.ChannelCount;
    const auto pixel = [&](const TImageData& img, std::int32_t x, std::int32_t y) {
        return img.Bits + (std::size_t(y) * std::size_t(img.Width) + std::size_t(x)) * bpp;
    };
    if (bytePath) {
        // Sums of the byte channels kept as the source lays them out (bpp floats
        // a pixel); a pixel's channels are then one four-lane load.
        const FlatContributors flatRows(rows), flatCols(cols);
        std::vector<float> sums(lineLen * bpp + 4);
        std::vector<const std::uint8_t*> lines;
        for (std::int32_t i = 0; i < dstHeight; ++i) {
            SumRows(src, bpp, minX, lineLen * bpp, flatRows, std::size_t(i), lines, sums.data());
            std::uint8_t* out = pixel(dst, dstX, dstY + i);
            for (std::int32_t j = 0; j < dstWidth; ++j, out += bpp) {
                Float4 acc = {0, 0, 0, 0};
                for (std::size_t c = flatCols.first[std::size_t(j)]; c < flatCols.first[std::size_t(j) + 1]; ++c) {
                    const Float4 product = flatCols.weight[c] * Load4(sums.data() + std::size_t(flatCols.pos[c] - minX) * bpp);
                    acc += product;
                }
                for (int ch = 0; ch < channels; ++ch) {
                    const float r = std::nearbyint(acc[ch]);
                    out[ch] = static_cast<std::uint8_t>(r < 0.0f ? 0.0f : (r > 255.0f ? 255.0f : r));
                }
            }
        }
        return;
    }
    std::vector<TColorFPRec> line(lineLen);
    for (std::int32_t i = 0; i < dstHeight; ++i) {
        const TContributorList& rowList = rows[std::size_t(i)];
        for (std::int32_t x = minX; x <= maxX; ++x) {
            float acc[4] = {0, 0, 0, 0};
            for (const TContributor& c : rowList) {
                const TColorFPRec v = info.GetPixelFP(pixel(src, x, c.Pos), info, src.Palette);
                acc[0] += c.Weight * v.B;
                acc[1] += c.Weight * v.G;
                acc[2] += c.Weight * v.R;
                acc[3] += c.Weight * v.A;
            }
            line[std::size_t(x - minX)] = {acc[0], acc[1], acc[2], acc[3]};
        }
        for (std::int32_t j = 0; j < dstWidth; ++j) {
            float acc[4] = {0, 0, 0, 0};
            for (const TContributor& c : cols[std::size_t(j)]) {
                const TColorFPRec& v = line[std::size_t(c.Pos - minX)];
                acc[0] += c.Weight * v.B;
                acc[1] += c.Weight * v.G;
                acc[2] += c.Weight * v.R;
                acc[3] += c.Weight * v.A;
            }
            info.SetPixelFP(pixel(dst, dstX + j, dstY + i), info, dst.Palette, {acc[0], acc[1], acc[2], acc[3]});
        }
    }
}

}  // namespace velto
