// The 5 x 5 filter, its edge and transparency rules, and the presets.
#include "engine/Filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <set>
#include <string>

#include "EngineTestUtil.h"

namespace velto {
namespace {

using test::Px;

// A kernel with one weight at (dx, dy).
TFilterKernel Single(int dx, int dy, int weight = 1, int divisor = 1, int offset = 0) {
    TFilterKernel k;
    k.Weights[static_cast<std::size_t>(5 * (dy + 2) + dx + 2)] = weight;
    k.Divisor = divisor;
    k.Offset = offset;
    return k;
}

TEST(Filter, PresetTablesAndTheirNumbers) {
    std::set<int> items, tags;
    for (const TKernelPreset& p : FilterKernels) {
        items.insert(p.DialogItem);
        tags.insert(p.EffectTag);
    }
    EXPECT_EQ(items.size(), 29u);
    EXPECT_EQ(*items.begin(), 1);
    EXPECT_EQ(*items.rbegin(), 29);
    EXPECT_EQ(*tags.begin(), 12);
    EXPECT_EQ(*tags.rbegin(), 40);
    // Tags and items that do not follow the record order.
    const std::pair<int, int> byTag[] = {{12, 0}, {15, 3}, {16, 19}, {17, 4}, {20, 7}, {21, 12}, {27, 18}, {28, 8},
                                         {29, 10}, {30, 9}, {31, 11}, {32, 20}, {36, 24}, {37, 26}, {38, 25}, {40, 28}};
    for (auto [tag, record] : byTag) EXPECT_EQ(KernelForEffectTag(tag), record) << tag;
    EXPECT_EQ(KernelForEffectTag(0), -1);  // the custom kernel of the dialog
    EXPECT_EQ(KernelForEffectTag(41), -1);
    EXPECT_EQ(KernelForDialogItem(26), 26);
    EXPECT_STREQ(FilterKernels[26].Name, "Shake");
    EXPECT_EQ(KernelForDialogItem(27), 25);
    EXPECT_STREQ(FilterKernels[25].Name, "Shake Less");
    EXPECT_EQ(KernelForDialogItem(0), -1);
    EXPECT_STREQ(FilterKernels[KernelBlur].Name, "Blur");
    EXPECT_STREQ(FilterKernels[KernelBlurMore].Name, "Blur More");
    EXPECT_STREQ(FilterKernels[KernelSharpen].Name, "Sharpen");
    // Smoothing and sharpening kernels keep a uniform area as it is: their
    // weights add up to their divisors.
    for (int record : {4, 5, 6, 7, 8, 9, 10, 11, 14, 19, 20, 21, 28}) {
        const TFilterKernel& k = FilterKernels[static_cast<std::size_t>(record)].Kernel;
        int sum = 0;
        for (int w : k.Weights) sum += w;
        EXPECT_EQ(sum, k.Divisor) << FilterKernels[static_cast<std::size_t>(record)].Name;
    }
}

TEST(Filter, EdgeRuleReadsTheCentresRowOrColumn) {
    TmyImagePal img({5, 4}, 32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) img.At(x, y) = Px(10 * x, 10 * y, 0);
    struct Row {
        const char* name;
        int x, y, dx, dy;
        TmyPixel expected;
    } rows[] = {
        {"(x-2, y-2) at the top-left reads the pixel itself", 0, 0, -2, -2, Px(0, 0, 0)},
        {"(x-1, y+1) at the top-left reads (x, y+1)", 0, 0, -1, 1, Px(0, 10, 0)},
        {"(x+2, y) at the right edge reads the centre column", 4, 2, 2, 0, Px(40, 20, 0)},
        {"(x+1, y+2) near the bottom keeps x and reads the centre row", 1, 2, 1, 2, Px(20, 20, 0)},
        {"inside, the real neighbour", 2, 2, -2, 1, Px(0, 30, 0)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(FilterPixel5x5(r.x, r.y, false, Single(r.dx, r.dy), img), r.expected);
    }
}

TEST(Filter, SinglePixelsRoundingAndOffsets) {
    struct Row {
        const char* name;
        TmyPixel pixel;
        TFilterKernel kernel;
        TmyPixel expected;  // alpha filtered too
    } rows[] = {
        {"divisor 0 counts as 1", Px(3, 4, 5), Single(0, 0, 2, 0), Px(6, 8, 10, 255)},
        {"a sum of 7 over 2 rounds to 4", Px(1, 1, 1, 1), Single(0, 0, 7, 2), Px(4, 4, 4, 4)},
        {"5 over 2 rounds to 2", Px(1, 1, 1, 1), Single(0, 0, 5, 2), Px(2, 2, 2, 2)},
        {"-7 over 2 rounds to -4", Px(1, 1, 1, 1), Single(0, 0, -7, 2, 10), Px(6, 6, 6, 6)},
        {"-5 over 2 rounds to -2", Px(1, 1, 1, 1), Single(0, 0, -5, 2, 10), Px(8, 8, 8, 8)},
        {"clamped high and low", Px(200, 1, 100, 255), Single(0, 0, 2, 1, -100), Px(255, 0, 100, 255)},
        // On a 1 x 1 image every neighbour is the pixel: round(P * sum / d) + offset.
        {"blur keeps the pixel", Px(10, 20, 30), FilterKernels[4].Kernel, Px(10, 20, 30)},
        {"pale doubles and adds 128", Px(63, 64, 0), FilterKernels[27].Kernel, Px(254, 255, 128, 255)},
        {"huge weights saturate", Px(1, 1, 1), Single(0, 0, INT_MAX), Px(255, 255, 255)},
        {"huge negative weights too", Px(1, 1, 1), Single(0, 0, INT_MIN, -1, INT_MIN), Px(0, 0, 0, 255)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const TmyImagePal img = test::Uniform({1, 1}, 32, r.pixel);
        EXPECT_EQ(FilterPixel5x5(0, 0, true, r.kernel, img), r.expected);
        TmyImagePal applied = img;
        ApplyFilter5x5(applied, r.kernel, true);
        const TmyPixel e = r.expected;
        EXPECT_EQ(applied.At(0, 0), e.A == 0 ? TmyPixel::Create() : e);
    }
}

// The kernel's offset also lands on alpha under "FilterOnAlpha", visible or
// not: embossing an opaque picture leaves it at alpha 192, and "Pale" makes
// transparent pixels half visible.
TEST(Filter, OffsetOnAlphaUnderFilterOnAlpha) {
    TmyImagePal opaque = test::Uniform({6, 6}, 32, Px(90, 90, 90));
    ApplyFilter5x5(opaque, FilterKernels[1].Kernel, true);  // Emboss Light
    for (const TmyPixel& p : opaque.Pixels()) EXPECT_EQ(p, Px(192, 192, 192, 192));

    TmyImagePal pale({3, 3}, 32);
    pale.At(1, 1) = Px(10, 20, 30);
    ApplyFilter5x5(pale, FilterKernels[27].Kernel, true);
    EXPECT_EQ(pale.At(0, 0), Px(148, 168, 188, 128));  // the visible neighbour's colour, doubled, + 128
    EXPECT_EQ(pale.At(1, 1), Px(148, 168, 188, 255));

    // Below 32 bits the filtered alpha snaps: the transparent background turns
    // opaque grey (the right column, where the edge rule reads the centre, ends
    // below 0 and transparent).
    TmyImagePal pal({3, 3}, 8);
    pal.At(1, 1) = Px(60, 60, 60);
    ApplyFilter5x5(pal, FilterKernels[2].Kernel, true);  // Emboss Medium
    EXPECT_EQ(pal.At(0, 0), Px(192, 192, 192, 255));
    EXPECT_EQ(pal.At(1, 2), Px(192, 192, 192, 255));
    EXPECT_EQ(pal.At(2, 1), TmyPixel::Create());

    // Without the setting, alpha is kept and transparent pixels end transparent black.
    TmyImagePal keep({3, 3}, 32);
    keep.At(1, 1) = Px(60, 60, 60, 77);
    keep.At(0, 0) = Px(200, 200, 200, 0);
    ApplyFilter5x5(keep, FilterKernels[1].Kernel, false);
    EXPECT_EQ(keep.At(1, 1), Px(192, 192, 192, 77));
    EXPECT_EQ(keep.At(0, 0), TmyPixel::Create());
}

TEST(Filter, TransparentNeighboursLendTheVisibleAverage) {
    // A visible pixel between transparent ones carrying loud colours: the
    // average of the visible ones among the 25 neighbours replaces them (the
    // edge rule counts a pixel as often as it is read).
    TmyImagePal img({5, 1}, 32);
    img.At(0, 0) = Px(255, 255, 255, 0);
    img.At(1, 0) = Px(20, 20, 20);
    img.At(2, 0) = Px(255, 0, 255, 0);
    img.At(3, 0) = Px(40, 40, 40);
    img.At(4, 0) = Px(0, 255, 0, 0);
    ApplyFilter5x5(img, FilterKernels[7].Kernel, false);  // Motion Blur: the row, / 5
    // x = 1 reads 20 (x - 2 is out: the centre), -, 20, -, 40: average 26, (20 + 26 + 20 + 26 + 40) / 5.
    EXPECT_EQ(img.At(1, 0), Px(26, 26, 26));
    // x = 3 reads 20, -, 40, -, 40 (x + 2 is out): average 33, 166 / 5.
    EXPECT_EQ(img.At(3, 0), Px(33, 33, 33));
    EXPECT_EQ(img.At(2, 0), TmyPixel::Create());
    // Every read comes from the pixels before the filter.
    TmyImagePal shift({4, 1}, 32);
    for (int x = 0; x < 4; ++x) shift.At(x, 0) = Px(10 * x, 0, 0);
    ApplyFilter5x5(shift, Single(-1, 0), false);
    EXPECT_EQ(shift.At(3, 0), Px(20, 0, 0));
    EXPECT_EQ(shift.At(1, 0), Px(0, 0, 0));
}

TEST(Filter, FilterPixelMatchesTheWholeImageFilterForEveryPreset) {
    // Large enough for the rows away from the border to cycle through their ring.
    const TmyImagePal src = test::NoiseImage({23, 19}, 32, 17, true);
    for (const TKernelPreset& preset : FilterKernels)
        for (bool onAlpha : {false, true}) {
            SCOPED_TRACE(std::string(preset.Name) + (onAlpha ? " on alpha" : ""));
            TmyImagePal img = src;
            ApplyFilter5x5(img, preset.Kernel, onAlpha);
            for (int y = 0; y < src.Height(); ++y)
                for (int x = 0; x < src.Width(); ++x) {
                    TmyPixel one = FilterPixel5x5(x, y, onAlpha, preset.Kernel, src);
                    if (!onAlpha && src.At(x, y).A == 0) continue;
                    if (one.A == 0) one = TmyPixel::Create();
                    ASSERT_EQ(img.At(x, y), one) << x << "," << y;
                }
        }
    EXPECT_EQ(FilterPixel5x5(23, 0, true, FilterKernels[0].Kernel, src), TmyPixel::Create());  // outside
}


// Random kernels on both sides of the largest weights the 16-bit interior code
// takes (positive weights, and negative ones, each summing to at most 257),
// divisors of both signs, offsets, images with scattered and large
// transparent areas, of many colours or of one, widths around the vector
// blocks: every pixel as the one-pixel filter gives it, with the AVX2 sums and
// with the portable ones.
TEST(Filter, WholeImageFilterMatchesOnePixelFilterForRandomKernels) {
    test::TBytes rnd(99);
    for (int round = 0; round < 60; ++round) {
        TFilterKernel k;
        // Budgets of the positive and the negative weights.
        const int budgets[][2] = {{257, 0}, {258, 0}, {257, 257}, {100, 258}, {40, 30}, {300, 300}};
        for (int sign = 0; sign < 2; ++sign)
            for (int used = 0, budget = budgets[round % 6][sign]; used < budget;) {
                const int w = std::min(budget - used, 1 + rnd.Next() % 60);
                auto& weight = k.Weights[static_cast<std::size_t>(rnd.Next() % 25)];
                if ((weight < 0) == (sign == 1) || weight == 0) {
                    weight += sign ? -w : w;
                    used += w;
                }
            }
        const int divisors[] = {1, 2, 3, 7, 16, -5, 0, 1000};
        k.Divisor = divisors[round % 8];
        k.Offset = round % 4 == 0 ? 0 : static_cast<int>(rnd.Next()) - 128;
        const int width = 5 + round % 33, height = 5 + (round * 7) % 11;
        TmyImagePal src = test::NoiseImage({width, height}, 32, 200 + static_cast<std::uint32_t>(round), true);
        if (round % 5 == 0)  // a transparent block: pixels with no visible neighbour at all
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width / 2; ++x) src.At(x, y) = TmyPixel::Create();
        if (round % 3 == 1)  // one colour under every visible pixel, as a shadow is blurred
            for (TmyPixel& p : src.Pixels())
                if (p.A != 0) p = Px(200, 17, 90, p.A);
        for (bool onAlpha : {false, true})
        for (bool portable : {false, true}) {
            SCOPED_TRACE("round " + std::to_string(round) + (onAlpha ? " on alpha" : "") +
                         (portable ? ", portable code" : ", the processor's best"));
            std::optional<ScopedPortableFilter> scope;
            if (portable) scope.emplace();
            TmyImagePal img = src;
            ApplyFilter5x5(img, k, onAlpha);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    if (!onAlpha && src.At(x, y).A == 0) continue;
                    TmyPixel one = FilterPixel5x5(x, y, onAlpha, k, src);
                    if (one.A == 0) one = TmyPixel::Create();
                    ASSERT_EQ(img.At(x, y), one) << x << "," << y;
                }
        }
    }
}

}  // namespace
}  // namespace velto
