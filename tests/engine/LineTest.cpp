// The line rasteriser and the rendering of images into preview pictures.
#include "engine/Line.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "EngineTestUtil.h"

namespace velto {
namespace {

using test::Px;

struct LineRow {
    const char* name;
    TPoint from, to;
    std::vector<TPoint> expected;
};

class Rasterize : public ::testing::TestWithParam<LineRow> {};

TEST_P(Rasterize, GivesThePoints) {
    const LineRow& r = GetParam();
    Tline line(r.from, r.to);
    line.Rasterize();
    EXPECT_EQ(line.GetPoints(), r.expected);
    EXPECT_EQ(line.Count(), static_cast<int>(r.expected.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Line, Rasterize,
    ::testing::Values(LineRow{"shallow_rounds_a_third_down", {0, 0}, {3, 1}, {{1, 0}, {2, 1}, {3, 1}}},
                      LineRow{"half_rounds_to_even", {0, 0}, {2, 1}, {{1, 0}, {2, 1}}},
                      LineRow{"same_ends_give_nothing", {5, 5}, {5, 5}, {}},
                      LineRow{"vertical_keeps_x", {0, 0}, {0, 3}, {{0, 1}, {0, 2}, {0, 3}}},
                      LineRow{"horizontal", {0, 0}, {3, 0}, {{1, 0}, {2, 0}, {3, 0}}},
                      LineRow{"backwards", {3, 1}, {0, 0}, {{2, 1}, {1, 0}, {0, 0}}},
                      LineRow{"diagonal_counts_as_steep", {0, 0}, {-2, 2}, {{-1, 1}, {-2, 2}}},
                      LineRow{"steep_upwards", {4, 4}, {5, 0}, {{4, 3}, {4, 2}, {5, 1}, {5, 0}}}),
    [](const ::testing::TestParamInfo<LineRow>& info) { return std::string(info.param.name); });

TEST(Line, EverySegmentIsGaplessAndEndsAtItsEnd) {
    test::TBytes rnd(3);
    for (int i = 0; i < 2000; ++i) {
        const TPoint a{rnd.Next() - 128, rnd.Next()}, b{rnd.Next(), rnd.Next() - 128};
        Tline line(a, b);
        line.Rasterize();
        ASSERT_EQ(line.Count(), std::max(std::abs(b.X - a.X), std::abs(b.Y - a.Y)));
        TPoint prev = a;
        for (const TPoint& p : line.GetPoints()) {
            ASSERT_LE(std::abs(p.X - prev.X), 1);
            ASSERT_LE(std::abs(p.Y - prev.Y), 1);
            ASSERT_FALSE(p == prev);
            prev = p;
        }
        if (line.Count() > 0) {
            ASSERT_EQ(line.GetPoint(line.Count()), b);
        }
    }
}

TEST(Line, ASegmentAcrossTheIntRangeStopsAtTheCap) {
    Tline line({INT_MIN, 0}, {INT_MAX, 1});
    line.Rasterize();
    EXPECT_EQ(line.Count(), Tline::MaxPoints);
    EXPECT_EQ(line.GetPoint(1), (TPoint{INT_MIN + 1, 0}));
}

TEST(Line, PaintImageShowsOpaqueColoursExactly) {
    struct Row {
        const char* name;
        int bits;
        TmyPixel pixel;
        TColor back;
        TColor expected;
    } rows[] = {
        {"opaque white over black", 32, Px(255, 255, 255, 255), clBlack, clWhite},
        {"opaque colour over white", 32, Px(1, 128, 254, 255), clWhite, MakeColor(1, 128, 254)},
        {"transparent gives the background exactly", 32, Px(0, 0, 0, 0), MakeColor(9, 8, 7), MakeColor(9, 8, 7)},
        {"transparent with a colour", 32, Px(50, 50, 50, 0), MakeColor(9, 8, 7), MakeColor(9, 8, 7)},
        {"half white over black rounds", 32, Px(255, 255, 255, 128), clBlack, MakeColor(128, 128, 128)},
        {"alpha 1 over white", 32, Px(0, 0, 0, 1), clWhite, MakeColor(254, 254, 254)},
        {"24 bits ignore partial alpha", 24, Px(10, 20, 30, 3), clWhite, MakeColor(10, 20, 30)},
        {"24 bits show transparent as the background", 24, Px(10, 20, 30, 0), MakeColor(1, 2, 3), MakeColor(1, 2, 3)},
        {"8 bits", 8, Px(10, 20, 30, 255), clBlack, MakeColor(10, 20, 30)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TmyImagePal img({3, 2}, r.bits);
        img.At(2, 1) = r.pixel;
        TRgbBuffer out;
        PaintImage(img, out, r.back);
        ASSERT_EQ(out.Width, 3);
        ASSERT_EQ(out.Height, 2);
        EXPECT_EQ(out.ColorAt(2, 1), r.expected);
        EXPECT_EQ(out.ColorAt(0, 0), r.back);  // a new image is transparent
        EXPECT_EQ(out.Bytes.size(), 18u);
    }
}

TEST(Line, DrawPixelAgreesWithPaintImage) {
    const TmyImagePal img = test::NoiseImage({7, 5}, 32, 11, true);
    const TColor back = MakeColor(200, 100, 50);
    TRgbBuffer whole;
    PaintImage(img, whole, back);
    TRgbBuffer blended, opaque;
    blended.SetSize(7, 5);
    opaque.SetSize(7, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            DrawPixel(blended, x, y, TPixelDraw::Blended, img.At(x, y), back);
            DrawPixel(opaque, x, y, TPixelDraw::Opaque, img.At(x, y), back);
            const TmyPixel& p = img.At(x, y);
            EXPECT_EQ(opaque.ColorAt(x, y), p.A == 0 ? back : p.GetColor());
        }
    EXPECT_EQ(blended.Bytes, whole.Bytes);
    DrawPixel(blended, 7, 0, TPixelDraw::Blended, Px(1, 1, 1), back);  // outside: nothing, no crash
    DrawPixel(blended, -1, 0, TPixelDraw::Opaque, Px(1, 1, 1), back);
    EXPECT_EQ(blended.Bytes, whole.Bytes);
}

}  // namespace
}  // namespace velto
