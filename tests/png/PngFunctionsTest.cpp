// The disabled looks of PNG images, drawing with them, and PNG images built
// from bitmaps, icons and masks; the layout of a tool button's glyph and caption.
#include <gtest/gtest.h>

#include "PngTestUtil.h"
#include "platform/PixelRows.h"
#include "png/PngButtonLayout.h"
#include "png/PngDraw.h"
#include "png/PngFunctions.h"

using namespace velto;
using pngtest::Filled;

namespace {

TPNGObject& Rgba(TPNGObject& png, TColor c, std::uint8_t a, int w = 2, int h = 1) {
    png.CreateBlank(COLOR_RGBALPHA, 8, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            png.SetPixels(x, y, c);
            png.AlphaScanline(y)[x] = a;
        }
    return png;
}

}  // namespace

TEST(PngLooks, RoundingHelpersHalvesToEven) {
    struct Fade {
        int alpha, amount, want;
    };
    for (const Fade& f : {Fade{255, 127, 128}, Fade{255, 255, 255}, Fade{0, 200, 0}, Fade{128, 127, 64},
                          Fade{1, 127, 0}, Fade{3, 127, 2}, Fade{255, 0, 1}, Fade{100, 254, 100}})
        EXPECT_EQ(FadedAlpha(static_cast<std::uint8_t>(f.alpha), static_cast<std::uint8_t>(f.amount)), f.want)
            << f.alpha << " " << f.amount;
    struct Grey {
        int r, g, b, want;
    };
    // 255 x 0.3 = 76.5 -> 76; 0.59 x 50 = 29.5 -> 30; 0.11 x 50 = 5.5 -> 6
    for (const Grey& g : {Grey{255, 0, 0, 76}, Grey{0, 50, 0, 30}, Grey{0, 0, 50, 6}, Grey{255, 255, 255, 255},
                          Grey{0, 0, 0, 0}, Grey{10, 20, 30, 18}})
        EXPECT_EQ(GreyOf(g.r, g.g, g.b), g.want) << g.r << " " << g.g << " " << g.b;
    EXPECT_EQ(GreyedChannel(255, 76, 255), 76);
    EXPECT_EQ(GreyedChannel(0, 76, 255), 76);
    // Amount 0 is not quite the identity: Round(200 / 256 x 255) = 199.
    EXPECT_EQ(GreyedChannel(200, 76, 0), 199);
    // Both halves round up to 128 at amount 127: white stays white.
    EXPECT_EQ(GreyedChannel(255, 255, 127), 255);
}

TEST(PngLooks, HalfTransparentOfEachColourType) {
    TPNGObject rgba;
    Rgba(rgba, MakeColor(1, 2, 3), 255);
    rgba.AlphaScanline(0)[1] = 100;
    MakeImageHalfTransparent(rgba, 127);
    EXPECT_EQ(rgba.AlphaScanline(0)[0], 128);
    EXPECT_EQ(rgba.AlphaScanline(0)[1], FadedAlpha(100, 127));

    TPNGObject pal;
    pal.CreateBlank(COLOR_PALETTE, 8, 2, 2);
    pal.GetHeader().ImageBitmap().ColorTable()[0] = {5, 6, 7, 0};
    MakeImageHalfTransparent(pal, 127);
    ASSERT_EQ(pal.GetHeader().ColorType, COLOR_RGBALPHA);
    EXPECT_EQ(pal.AlphaScanline(1)[1], 127);
    EXPECT_EQ(pal.GetPixels(1, 1), MakeColor(7, 6, 5));

    // One transparent colour: its pixels end fully transparent, the rest faded.
    TPNGObject rgb;
    rgb.CreateBlank(COLOR_RGB, 8, 2, 1);
    rgb.SetPixels(1, 0, MakeColor(9, 9, 9));
    rgb.Chunks().Add<TChunktRNS>()->SetTransparentColor(MakeColor(9, 9, 9));
    MakeImageHalfTransparent(rgb, 200);
    ASSERT_EQ(rgb.GetHeader().ColorType, COLOR_RGBALPHA);
    EXPECT_EQ(rgb.AlphaScanline(0)[0], FadedAlpha(255, 200));
    EXPECT_EQ(rgb.AlphaScanline(0)[1], 0);

    TPNGObject grey;
    grey.CreateBlank(COLOR_GRAYSCALE, 4, 3, 1);
    MakeImageHalfTransparent(grey, 10);
    EXPECT_EQ(grey.GetHeader().ColorType, COLOR_RGBALPHA);
    EXPECT_EQ(grey.AlphaScanline(0)[2], 10);
}

TEST(PngLooks, GreyOfEachColourType) {
    TPNGObject rgba;
    Rgba(rgba, MakeColor(255, 0, 0), 90);
    MakeDisabledImage(rgba, 255);
    EXPECT_EQ(rgba.GetPixels(0, 0), MakeColor(76, 76, 76));
    EXPECT_EQ(rgba.AlphaScanline(0)[0], 90);

    TPNGObject pal;
    pal.CreateBlank(COLOR_PALETTE, 2, 2, 1);
    pal.GetHeader().ImageBitmap().ColorTable()[1] = {0, 0, 255, 0};
    SetPackedPixel(pal.Scanline(0), 0, 4, 1);
    MakeDisabledImage(pal, 255);
    EXPECT_EQ(pal.GetPixels(0, 0), MakeColor(76, 76, 76));

    TPNGObject half;
    Rgba(half, MakeColor(200, 100, 0), 255);
    MakeDisabledImage(half, 100);
    const int g = GreyOf(200, 100, 0);
    EXPECT_EQ(half.GetPixels(0, 0), MakeColor(GreyedChannel(200, g, 100), GreyedChannel(100, g, 100),
                                              GreyedChannel(0, g, 100)));

    TPNGObject grey;
    grey.CreateBlank(COLOR_GRAYSCALEALPHA, 8, 1, 1);
    grey.SetPixels(0, 0, MakeColor(33, 33, 33));
    MakeDisabledImage(grey, 255);
    EXPECT_EQ(grey.GetPixels(0, 0), MakeColor(33, 33, 33));
}

TEST(PngLooks, DrawWithOptionsHalvesThenGreysAndNoneDrawsAsIs) {
    TPNGObject png;
    Rgba(png, MakeColor(255, 0, 0), 255);
    const TColor bg = MakeColor(0, 0, 255);
    struct Case {
        TPngOptions options;
        TColor want;
    };
    const std::uint8_t half = FadedAlpha(255, 127);
    const Case cases[] = {
        {0, MakeColor(255, 0, 0)},
        {pngBlendOnDisabled, MakeColor(BlendChannel(255, half, 0), 0, BlendChannel(0, half, 255))},
        {pngGrayscaleOnDisabled, MakeColor(76, 76, 76)},
        {pngBlendOnDisabled | pngGrayscaleOnDisabled,
         MakeColor(BlendChannel(76, half, 0), BlendChannel(76, half, 0), BlendChannel(76, half, 255))},
    };
    for (const Case& c : cases) {
        TBitmap bmp = Filled(2, 1, pf32bit, bg);
        DrawPNG(png, bmp.Canvas(), {0, 0, 2, 1}, c.options);
        EXPECT_EQ(bmp.Canvas().Pixels(1, 0), c.want) << int{c.options};
    }
    EXPECT_EQ(png.AlphaScanline(0)[0], 255) << "the image itself is untouched";
}

TEST(PngBuild, BitmapsMasksAndIconsBecomeRgba) {
    TBitmap bmp = Filled(2, 2, pf24bit, MakeColor(10, 20, 30));
    bmp.Canvas().SetPixels(1, 1, MakeColor(1, 1, 1));
    auto plain = ConvertToPNG(bmp);
    EXPECT_EQ(plain->GetHeader().ColorType, COLOR_RGB);
    // Automatic transparent colour: the bottom-left pixel's.
    bmp.Canvas().SetPixels(0, 1, MakeColor(7, 7, 7));
    bmp.SetTransparent(true);
    auto keyed = ConvertToPNG(bmp);
    ASSERT_EQ(keyed->GetHeader().ColorType, COLOR_RGBALPHA);
    EXPECT_EQ(keyed->AlphaScanline(1)[0], 0);
    EXPECT_EQ(keyed->AlphaScanline(1)[1], 255);
    EXPECT_EQ(keyed->GetPixels(1, 1), MakeColor(1, 1, 1));

    const TBitmap white = Filled(2, 2, pf8bit, clWhite);
    EXPECT_EQ(CreatePNG(bmp, white, false)->AlphaScanline(0)[0], 255);
    EXPECT_EQ(CreatePNG(bmp, white, true)->AlphaScanline(0)[0], 0);
    TBitmap grey = Filled(2, 2, pf24bit, MakeColor(60, 0, 0));
    EXPECT_EQ(CreatePNG(bmp, grey, false)->AlphaScanline(1)[1], 60);

    auto masked = CreatePNGMasked(bmp, MakeColor(1, 1, 1));
    EXPECT_EQ(masked->AlphaScanline(1)[1], 0);
    EXPECT_EQ(masked->AlphaScanline(0)[0], 255);

    // An icon: mask white = transparent; a 32-bit colour bitmap's alpha wins when any is set.
    TBitmap mask = Filled(2, 1, pf1bit, clBlack);
    mask.Canvas().SetPixels(1, 0, clWhite);
    TBitmap colour = Filled(2, 1, pf24bit, MakeColor(4, 5, 6));
    auto icon = ConvertIconToPNG(colour, mask);
    EXPECT_EQ(icon->AlphaScanline(0)[0], 255);
    EXPECT_EQ(icon->AlphaScanline(0)[1], 0);
    TBitmap argb = Filled(2, 1, pf32bit, MakeColor(4, 5, 6));
    argb.ScanLine(0)[3] = 40;
    auto icon32 = ConvertIconToPNG(argb, mask);
    EXPECT_EQ(icon32->AlphaScanline(0)[0], 40);
    EXPECT_EQ(icon32->AlphaScanline(0)[1], 0);
    EXPECT_EQ(icon32->GetPixels(0, 0), MakeColor(4, 5, 6));
}

TEST(PngButton, LayoutTable) {
    struct Case {
        const char* what;
        TButtonLayoutInput in;
        TLayoutPoint glyph;
        TRect text;
    };
    auto in = [](TLayoutSize glyph, TRect client, TLayoutSize text, int layout, int margin, int spacing, bool pressed = false,
                 bool rtl = false) {
        TButtonLayoutInput i;
        i.Glyph = glyph, i.Client = client, i.Text = text, i.Layout = layout, i.Margin = margin, i.Spacing = spacing;
        i.Pressed = pressed, i.RightToLeft = rtl;
        return i;
    };
    const Case cases[] = {
        {"16 on 26x25, no caption", in({16, 16}, {0, 0, 26, 25}, {}, blGlyphLeft, -1, 4), {5, 5}, {21, 12, 21, 12}},
        {"same pressed", in({16, 16}, {0, 0, 26, 25}, {}, blGlyphLeft, -1, 4, true), {6, 6}, {22, 13, 22, 13}},
        // 100 - (16 + 4 + 40) = 40 -> margin 20
        {"caption right", in({16, 16}, {0, 0, 100, 24}, {40, 12}, blGlyphLeft, -1, 4), {20, 4}, {40, 6, 80, 18}},
        {"glyph right", in({16, 16}, {0, 0, 100, 24}, {40, 12}, blGlyphRight, -1, 4), {64, 4}, {20, 6, 60, 18}},
        {"right-to-left swaps", in({16, 16}, {0, 0, 100, 24}, {40, 12}, blGlyphLeft, -1, 4, false, true), {64, 4},
         {20, 6, 60, 18}},
        // 60 - (16 + 4 + 12) = 28 -> 14
        {"glyph top", in({16, 16}, {0, 0, 30, 60}, {20, 12}, blGlyphTop, -1, 4), {7, 14}, {5, 34, 25, 46}},
        {"glyph bottom", in({16, 16}, {0, 0, 30, 60}, {20, 12}, blGlyphBottom, -1, 4), {7, 30}, {5, 14, 25, 26}},
        {"fixed margin", in({16, 16}, {10, 20, 110, 44}, {40, 12}, blGlyphLeft, 3, 4), {13, 24}, {33, 26, 73, 38}},
        // odd free space truncates toward zero: (25 - 16 + 1) / 2 = 5; (27 - 16) / 2 = 5
        {"odd sizes", in({16, 16}, {0, 0, 27, 26}, {}, blGlyphLeft, -1, 4), {5, 5}, {21, 13, 21, 13}},
        // larger glyph than the button: negative margin toward zero
        {"glyph too big", in({30, 30}, {0, 0, 25, 25}, {}, blGlyphLeft, -1, 4), {-2, -2}, {28, 12, 28, 12}},
        // spread evenly: (100 - 16 - 40) / 3 = 14 before, between and after
        {"spacing -1", in({16, 16}, {0, 0, 100, 24}, {40, 12}, blGlyphLeft, -1, -1), {14, 4}, {44, 6, 84, 18}},
        {"spacing -1 fixed margin", in({16, 16}, {0, 0, 100, 24}, {40, 12}, blGlyphLeft, 4, -1), {4, 4},
         {40, 6, 80, 18}},
        {"no glyph", in({0, 0}, {0, 0, 100, 24}, {40, 12}, blGlyphLeft, -1, 4), {30, 12}, {30, 6, 70, 18}},
    };
    for (const Case& c : cases) {
        const TButtonLayoutResult r = CalcButtonLayout(c.in);
        EXPECT_EQ(r.GlyphPos, c.glyph) << c.what << ": " << r.GlyphPos.X << "," << r.GlyphPos.Y;
        EXPECT_EQ(r.TextBounds.Left, c.text.Left) << c.what;
        EXPECT_EQ(r.TextBounds.Top, c.text.Top) << c.what;
        EXPECT_EQ(r.TextBounds.Right, c.text.Right) << c.what;
        EXPECT_EQ(r.TextBounds.Bottom, c.text.Bottom) << c.what;
    }
}
