// The whole-image 5 x 5 filter's fast code against the one-pixel filter, and
// the exactness of its vector arithmetic over every sum it can meet.
#include "engine/Filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "EngineTestUtil.h"

#if defined(__x86_64__)
#include "engine/FilterSumsAvx2.h"
#endif

namespace velto {
namespace {

using test::Px;

// The pictures the fast code tells apart: many colours or one, with or
// without transparent pixels, wholly transparent, and edges of transparent
// areas (where transparent neighbours lend colour) at every position.
enum class Content { Noise, NoiseWithHoles, Opaque, OneColourWithHoles, AllTransparent, HalfTransparent };

TmyImagePal Picture(int w, int h, int bits, Content content, std::uint32_t seed) {
    TmyImagePal img = test::NoiseImage({w, h}, bits, seed, content == Content::NoiseWithHoles);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            TmyPixel& p = img.At(x, y);
            switch (content) {
            case Content::Opaque: p.A = 255; break;
            case Content::OneColourWithHoles:  // scattered holes, and a block where no neighbour is visible
                p = (x * 7 + y * 3) % 5 == 0 || x < w / 3 - 2 ? TmyPixel::Create() : Px(30, 140, 250, p.A);
                break;
            case Content::AllTransparent: p = TmyPixel::Create(); break;
            case Content::HalfTransparent: if (x + y < (w + h) / 2) p = TmyPixel::Create(); break;
            default: break;
            }
        }
    return img;
}

// The pixel rule of the whole-image filter, applied to the one-pixel filter.
TmyPixel Expected(const TmyImagePal& src, int x, int y, const TFilterKernel& k, bool onAlpha) {
    TmyPixel p = src.At(x, y);
    if (p.A != 0 || onAlpha) {
        const TmyPixel f = FilterPixel5x5(x, y, onAlpha, k, src);
        p = TmyPixel::CreateRGBA(f.R, f.G, f.B, f.A);
    }
    if (src.BitCount < 32) p.A = p.A >= 128 ? 255 : 0;
    return p.A == 0 ? TmyPixel::Create() : p;
}

void ExpectFiltersAsOnePixel(const TmyImagePal& src, const TFilterKernel& k, bool onAlpha) {
    for (bool portable : {false, true}) {
        SCOPED_TRACE(portable ? "portable code" : "the processor's best");
        std::optional<ScopedPortableFilter> scope;
        if (portable) scope.emplace();
        TmyImagePal img = src;
        ApplyFilter5x5(img, k, onAlpha);
        for (int y = 0; y < src.Height(); ++y)
            for (int x = 0; x < src.Width(); ++x) ASSERT_EQ(img.At(x, y), Expected(src, x, y, k, onAlpha)) << x << "," << y;
    }
}

// Every preset on every kind of picture, at 32 bits and below (alpha snaps),
// with and without filtering alpha, on widths on both sides of the vector
// blocks (8 pixels, 16 and 64 lanes) and of the narrowest rows the vector
// code takes, and on images of 5 x 5 and smaller, where every pixel is near
// an edge.
TEST(FilterFastPaths, EveryPresetOnEveryKindOfPictureMatchesTheOnePixelFilter) {
    const int sizes[][2] = {{1, 1}, {3, 7}, {4, 4}, {5, 5}, {7, 6}, {8, 5}, {11, 9}, {12, 6}, {13, 7},
                            {16, 5}, {17, 8}, {20, 6}, {21, 5}, {33, 7}, {37, 6}, {67, 5}, {70, 8}};
    const Content contents[] = {Content::Noise, Content::NoiseWithHoles, Content::Opaque, Content::OneColourWithHoles,
                                Content::AllTransparent, Content::HalfTransparent};
    std::size_t round = 0;
    for (const TKernelPreset& preset : FilterKernels)
        for (const Content content : contents)
            for (const int bits : {32, 8})
                for (const bool onAlpha : {false, true}) {
                    const auto* size = sizes[round++ % std::size(sizes)];
                    SCOPED_TRACE(std::string(preset.Name) + ", content " + std::to_string(static_cast<int>(content)) +
                                 ", " + std::to_string(size[0]) + " x " + std::to_string(size[1]) + " at " +
                                 std::to_string(bits) + " bits" + (onAlpha ? ", on alpha" : ""));
                    const TmyImagePal src = Picture(size[0], size[1], bits, content, static_cast<std::uint32_t>(round));
                    ExpectFiltersAsOnePixel(src, preset.Kernel, onAlpha);
                    if (HasFatalFailure()) return;
                }
}

// Divisors whose quotients the vector code takes by a multiply (powers of
// two, of either sign) or a division, and offsets past every clamp.
TEST(FilterFastPaths, DivisorsAndOffsetsOfEveryKind) {
    TFilterKernel k = FilterKernels[KernelBlurMore].Kernel;
    const TmyImagePal src = Picture(29, 7, 32, Content::NoiseWithHoles, 5);
    for (const int divisor : {1, -1, 2, 64, -64, 3, 14, -14, 255, 4096, 65536, 1 << 30, INT_MIN, INT_MAX})
        for (const int offset : {0, 100, -100, 1 << 21, -(1 << 21), INT_MAX, INT_MIN}) {
            SCOPED_TRACE("divisor " + std::to_string(divisor) + ", offset " + std::to_string(offset));
            k.Divisor = divisor;
            k.Offset = offset;
            ExpectFiltersAsOnePixel(src, k, true);
            if (HasFatalFailure()) return;
        }
}

// A document-sized picture (gradients, noise, a transparent surround, as the
// benchmark's): many rows through the ring of source rows and the box sums
// carried from row to row, wide rows of many vector blocks; and its one-colour
// version, as a shadow blurs it pass after pass.
TEST(FilterFastPaths, DocumentSizedPicturesAndRepeatedPasses) {
    TmyImagePal src({256, 30}, 32);
    std::uint32_t seed = 12345;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 256; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const bool outside = (x - 128) * (x - 128) + (y - 15) * (y - 15) * 60 > 110 * 110;
            src.At(x, y) = Px(x + static_cast<int>(seed >> 28), y ^ (x > 128 ? 90 : 0), (x * y) >> 8, outside ? 0 : 255);
        }
    for (const int record : {KernelBlur, KernelBlurMore, 22})
        for (const bool onAlpha : {false, true}) {
            SCOPED_TRACE(std::string(FilterKernels[static_cast<std::size_t>(record)].Name) + (onAlpha ? ", on alpha" : ""));
            ExpectFiltersAsOnePixel(src, FilterKernels[static_cast<std::size_t>(record)].Kernel, onAlpha);
        }
    TmyImagePal shadow = src;
    for (TmyPixel& p : shadow.Pixels())
        if (p.A != 0) p = Px(20, 20, 20, 150);
    for (int pass = 0; pass < 3; ++pass) {
        SCOPED_TRACE("shadow pass " + std::to_string(pass));
        ExpectFiltersAsOnePixel(shadow, FilterKernels[KernelBlurMore].Kernel, true);
        ApplyFilter5x5(shadow, FilterKernels[KernelBlurMore].Kernel, true);
    }
}

#if defined(__x86_64__)

bool HasAvx2() { return __builtin_cpu_supports("avx2"); }

// Round half to even of n / d, plus offset, clamped: the last step, plainly.
std::uint8_t Channel(std::int64_t n, std::int64_t d, std::int64_t offset) {
    const long double q = static_cast<long double>(n) / static_cast<long double>(d);
    const std::int64_t r = std::llrint(q);  // the default mode rounds halves to even
    return static_cast<std::uint8_t>(std::clamp<std::int64_t>(r + offset, 0, 255));
}

// Every sum of the 16-bit code (each part in 0..65535, so -65535..65535)
// through the vector division, for divisors where a float quotient is nearly
// a half (odd and even, small and large, of both signs) and beyond 2^24.
TEST(FilterFastPaths, VectorLastStepIsExactForEverySum) {
    if (!HasAvx2()) GTEST_SKIP() << "the processor has no AVX2";
    constexpr int kMax = 65535;
    const std::size_t n = 2 * kMax + 1;  // one pixel a sum, in R; G and B from the other end
    std::vector<std::int16_t> sum(4 * n), neg(4 * n);
    const auto part = [](int v) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(v)); };
    for (std::size_t i = 0; i < n; ++i) {
        const int s = static_cast<int>(i) - kMax, t = -s;
        sum[4 * i] = part(s > 0 ? s : 0), neg[4 * i] = part(s < 0 ? -s : 0);
        sum[4 * i + 1] = part(t > 0 ? t : 0), neg[4 * i + 1] = part(t < 0 ? -t : 0);
        sum[4 * i + 2] = part(s / 2 > 0 ? s / 2 : 0), neg[4 * i + 2] = part(s / 2 < 0 ? -(s / 2) : 0);
        sum[4 * i + 3] = 1;  // the visible weight: all of it
    }
    std::vector<TmyPixel> out(n);
    for (const int divisor : {1, 2, 3, 5, 7, 14, 64, 255, 256, 1000, -3, -14, -64, 65535, 131071, 131072, 16777217,
                              INT_MAX, INT_MIN})
        for (const int offset : {0, 128, -77}) {
            SCOPED_TRACE("divisor " + std::to_string(divisor) + ", offset " + std::to_string(offset));
            filter_detail::TFinishJob job;
            job.Sum = sum.data();
            job.Neg = neg.data();
            job.WeightSum = 1;
            job.Divisor = divisor;
            job.Offset = offset;
            std::fill(out.begin(), out.end(), Px(0, 0, 0, 255));  // alpha kept
            filter_detail::FinishRowAvx2(job, reinterpret_cast<std::uint8_t*>(out.data()), n);
            for (std::size_t i = 0; i < n; ++i) {
                const int s = static_cast<int>(i) - kMax;
                const TmyPixel expected = Px(Channel(s, divisor, offset), Channel(-s, divisor, offset),
                                             Channel(s / 2, divisor, offset), 255);
                ASSERT_EQ(out[i], expected) << "sum " << s;
            }
        }
}

// What transparent neighbours lend is the floor of the visible ones' average:
// every total of c visible values (0..255 each) over every c of 1..24, through
// the reciprocal the vector code multiplies by.
TEST(FilterFastPaths, VectorLentColourIsTheFlooredAverageForEveryTotal) {
    if (!HasAvx2()) GTEST_SKIP() << "the processor has no AVX2";
    for (int count = 1; count < 25; ++count) {
        const std::size_t n = static_cast<std::size_t>(255 * count + 1);
        std::vector<std::int16_t> sum(4 * n, 0), box(4 * n);
        for (std::size_t i = 0; i < n; ++i) {
            box[4 * i] = static_cast<std::int16_t>(i);
            box[4 * i + 1] = static_cast<std::int16_t>(n - 1 - i);
            box[4 * i + 2] = static_cast<std::int16_t>(i / 2);
            box[4 * i + 3] = static_cast<std::int16_t>(count);
        }
        filter_detail::TFinishJob job;
        job.Sum = sum.data();  // no visible weight: all of it lends
        job.Box = box.data();
        job.WeightSum = 1;
        std::vector<TmyPixel> out(n, Px(0, 0, 0, 255));
        filter_detail::FinishRowAvx2(job, reinterpret_cast<std::uint8_t*>(out.data()), n);
        for (std::size_t i = 0; i < n; ++i) {
            const auto c = static_cast<std::size_t>(count);
            ASSERT_EQ(out[i], Px(static_cast<int>(i / c), static_cast<int>((n - 1 - i) / c), static_cast<int>(i / 2 / c)))
                << "total " << i << " of " << count;
        }
    }
}

#endif

}  // namespace
}  // namespace velto
