// Compositing, display blending, HSV and the checkerboard.
#include "engine/Composite.h"

#include <gtest/gtest.h>

#include <cmath>

#include "EngineTestUtil.h"

namespace velto {
namespace {

using test::Px;

TEST(Composite, AlphaBlendPixelCases) {
    struct Row {
        const char* name;
        TmyPixel top, under;
        bool force;
        TmyPixel expected;
    } rows[] = {
        {"half red over opaque blue", Px(255, 0, 0, 128), Px(0, 0, 255, 255), false, Px(128, 0, 127, 255)},
        {"opaque top is left alone", Px(1, 2, 3, 255), Px(9, 9, 9, 255), false, Px(1, 2, 3, 255)},
        {"transparent top is left alone", Px(1, 2, 3, 0), Px(9, 9, 9, 255), false, Px(1, 2, 3, 0)},
        {"forced transparent top takes the under colour", Px(1, 2, 3, 0), Px(9, 8, 7, 200), true, Px(9, 8, 7, 200)},
        {"forced opaque top stays", Px(1, 2, 3, 255), Px(9, 8, 7, 200), true, Px(1, 2, 3, 255)},
        {"nothing over a transparent under", Px(1, 2, 3, 100), Px(9, 8, 7, 0), true, Px(1, 2, 3, 100)},
        {"equal colours only gain alpha", Px(50, 60, 70, 100), Px(50, 60, 70, 100), false, Px(50, 60, 70, 161)},
        // t = 50, divisor 178; alpha 100 + round(155 * 128 / 255 = 77.8) = 178.
        {"two half alphas", Px(200, 0, 0, 128), Px(0, 200, 0, 100), false, Px(143, 56, 0, 178)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TmyPixel top = r.top;
        AlphaBlendPixel(top, r.under, r.force);
        EXPECT_EQ(top, r.expected);
    }
}

TEST(Composite, OverChannelTruncatesAndSurvivesZeroAlphas) {
    EXPECT_EQ(OverChannel(255, 0, 128, 255), 128);
    EXPECT_EQ(OverChannel(0, 255, 128, 255), 127);
    EXPECT_EQ(OverChannel(77, 99, 0, 0), 77);  // no divisor: the top channel
    // Over an opaque under the result lies between the two channels, for every alpha.
    for (int a = 0; a <= 255; ++a) {
        const int v = OverChannel(200, 40, static_cast<std::uint8_t>(a), 255);
        EXPECT_GE(v, 40);
        EXPECT_LE(v, 200);
    }
}

TEST(Composite, BlendChannelIsExactAtTheEndsAndRoundsBetween) {
    // An opaque colour shown over anything is itself, a transparent one the background.
    for (int v = 0; v <= 255; ++v) {
        EXPECT_EQ(BlendChannel(static_cast<std::uint8_t>(v), 13, 255), v);
        EXPECT_EQ(BlendChannel(13, static_cast<std::uint8_t>(v), 0), v);
    }
    EXPECT_EQ(BlendChannel(255, 0, 255), 255);
    EXPECT_EQ(BlendChannel(0, 255, 0), 255);
    // Between the ends: the weighted sum divided by 255, rounded.
    for (int k = 1; k < 255; ++k)
        for (int a : {0, 1, 100, 254, 255})
            for (int b : {0, 7, 128, 255}) {
                const double exact = (a * k + b * (255 - k)) / 255.0;
                const int got = BlendChannel(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b),
                                             static_cast<std::uint8_t>(k));
                EXPECT_LE(std::abs(got - exact), 0.5) << a << " " << b << " " << k;
            }
    EXPECT_EQ(PixelOverColor(Px(0, 0, 0, 0), Px(255, 255, 255, 255)), MakeColor(255, 255, 255));
    EXPECT_EQ(PixelOverColor(Px(255, 255, 255, 0), Px(10, 20, 30, 0)), MakeColor(255, 255, 255));
    EXPECT_EQ(PixelOverColor(Px(255, 255, 255, 7), Px(0, 100, 200, 128)), MakeColor(127, 177, 227));
}

TEST(Composite, HsvExamplesAndRoundTrips) {
    EXPECT_EQ(RGBToHSV(255, 0, 0), (THsv{0, 100, 100}));
    EXPECT_EQ(RGBToHSV(128, 128, 128), (THsv{-360, 0, 50}));
    EXPECT_EQ(RGBToHSV(0, 0, 255), (THsv{240, 100, 100}));
    EXPECT_EQ(RGBToHSV(255, 0, 255), (THsv{300, 100, 100}));
    EXPECT_EQ(RGBToHSV(255, 0, 1), (THsv{360, 100, 100}));  // just below 1: rounds up to 360
    // Equal maxima go to the first of R, G, B.
    EXPECT_EQ(RGBToHSV(200, 200, 0).H, 60);
    EXPECT_EQ(RGBToHSV(0, 200, 200).H, 180);
    EXPECT_EQ(HSVToRGB(120, 100, 100), (TmyColor{0, 255, 0}));
    EXPECT_EQ(HSVToRGB(-360, 0, 50).R, 128);  // 127.5 rounds to even
    EXPECT_EQ(HSVToRGB(-1, 100, 100), (TmyColor{255, 255, 255}));  // no hue: grey
    EXPECT_EQ(HSVToRGB(359, 100, 100), (TmyColor{255, 0, 4}));
    // 360 (which RGBToHSV gives for reds with a little blue) is red, not magenta.
    EXPECT_EQ(HSVToRGB(360, 100, 100), (TmyColor{255, 0, 0}));
    EXPECT_EQ(HSVToRGB(720 + 120, 100, 100), (TmyColor{0, 255, 0}));
    EXPECT_EQ(HSVToRGB(0, 2147483647, 100), (TmyColor{255, 0, 0}));  // out-of-range percents clamp
    EXPECT_EQ(HSVToRGB(-5, 0, 2147483647), (TmyColor{255, 255, 255}));
    // Whole-percent HSV loses at most the rounding of a percent and a degree.
    test::TBytes rnd(5);
    for (int i = 0; i < 20000; ++i) {
        const int r = rnd.Next(), g = rnd.Next(), b = rnd.Next();
        const THsv hsv = RGBToHSV(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b));
        const TmyColor c = HSVToRGB(hsv.H, hsv.S, hsv.V);
        ASSERT_LE(std::abs(c.R - r) + std::abs(c.G - g) + std::abs(c.B - b), 12) << r << " " << g << " " << b;
    }
}

TEST(Composite, CheckerboardCellsAndGuard) {
    TCheckerboard board;
    board.Color1 = MakeColor(1, 1, 1);
    board.Color2 = MakeColor(2, 2, 2);
    EXPECT_EQ(CheckerColor(0, 0, board), board.Color2);
    EXPECT_EQ(CheckerColor(4, 4, board), board.Color2);
    EXPECT_EQ(CheckerColor(4, 0, board), board.Color1);
    EXPECT_EQ(CheckerColor(3, 7, board), board.Color1);
    // A cell size of 0 (a byte setting of 256 or edited to 0) is taken as 1.
    board.CellSize = 0;
    EXPECT_EQ(CheckerColor(1, 0, board), board.Color1);
    EXPECT_EQ(CheckerColor(1, 1, board), board.Color2);

    // The drawn board agrees with CheckerColor everywhere, for odd sizes and
    // cells larger than the picture.
    for (int cell : {-3, 1, 3, 4, 7, 1000, 2147483647}) {
        SCOPED_TRACE(cell);
        board.CellSize = cell;
        TRgbBuffer buf;
        buf.SetSize(19, 11);
        DrawCheckerboard(buf, board);
        for (int y = 0; y < buf.Height; ++y)
            for (int x = 0; x < buf.Width; ++x) ASSERT_EQ(buf.ColorAt(x, y), CheckerColor(x, y, board)) << x << "," << y;
    }
}

}  // namespace
}  // namespace velto
