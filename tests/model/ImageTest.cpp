#include "model/Image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace velto {
namespace {

constexpr ImageSize Sz(int w, int h) { return {.Width = w, .Height = h}; }

TEST(Image, SizeFieldsAreNamedAndPixelsAreRowMajor) {
    TmyImage img({.Width = 3, .Height = 2});
    EXPECT_EQ(img.Width(), 3);
    EXPECT_EQ(img.Height(), 2);
    ASSERT_EQ(img.Pixels().size(), 6u);
    img.At(2, 0) = TmyPixel::CreateRGBA(1, 2, 3, 4);
    img.At(0, 1) = TmyPixel::CreateRGBA(5, 6, 7, 8);
    EXPECT_EQ(img.Pixels()[2], TmyPixel::CreateRGBA(1, 2, 3, 4));
    EXPECT_EQ(img.Pixels()[3], TmyPixel::CreateRGBA(5, 6, 7, 8));
    EXPECT_EQ(img.Row(1)[0], TmyPixel::CreateRGBA(5, 6, 7, 8));
    EXPECT_EQ(img.Rate(), 0.3);
    EXPECT_EQ(img.HotSpotX(), 0);

    // SetSize gives new transparent pixels and leaves the hotspot alone.
    img.SetHotSpotX(2);
    img.SetSize(Sz(1, 5));
    EXPECT_EQ(img.Size(), Sz(1, 5));
    for (const TmyPixel& p : img.Pixels()) EXPECT_EQ(p, TmyPixel::Create());
    EXPECT_EQ(img.HotSpotX(), 2);

    // An empty side is outside the model; it is raised to 1.
    EXPECT_EQ(TmyImage(Sz(0, -4)).Size(), Sz(1, 1));
}

TEST(Image, HotSpotClampsLowerThenUpper) {
    TmyImage img(Sz(32, 32));
    img.SetHotSpotX(40);
    img.SetHotSpotY(-3);
    EXPECT_EQ(img.HotSpotX(), 31);
    EXPECT_EQ(img.HotSpotY(), 0);
    TmyImage wide(Sz(48, 16));
    wide.SetHotSpotX(47);
    wide.SetHotSpotY(47);
    EXPECT_EQ(wide.HotSpotX(), 47);
    EXPECT_EQ(wide.HotSpotY(), 15);
}

TEST(Image, RateClamps) {
    TmyImage img(Sz(1, 1));
    for (double bad : {0.0, -1.0, -0.0, std::nan(""), -std::numeric_limits<double>::infinity()}) {
        img.SetRate(bad);
        EXPECT_EQ(img.Rate(), 0.1) << bad;
    }
    img.SetRate(3e9);
    EXPECT_EQ(img.Rate(), 2147483647.0);
    img.SetRate(std::numeric_limits<double>::infinity());
    EXPECT_EQ(img.Rate(), 2147483647.0);
    img.SetRate(0.05);
    EXPECT_EQ(img.Rate(), 0.05);
}

TEST(Image, FormatPaletteAndZoom) {
    TmyImagePal rgb(Sz(16, 16), 24);
    EXPECT_FALSE(rgb.Palette.has_value());
    EXPECT_EQ(rgb.Zoom, 32);
    TmyImagePal idx(Sz(256, 256), 8);
    ASSERT_TRUE(idx.Palette.has_value());
    EXPECT_TRUE(idx.Palette->Equals(TmyPalette(256)));
    EXPECT_EQ(idx.Zoom, 2);
    EXPECT_EQ(TmyImagePal(Sz(32, 32), 1).Palette->Count(), 2);
    EXPECT_EQ(TmyImagePal(Sz(32, 32), 4).Palette->Count(), 16);
    EXPECT_FALSE(TmyImagePal(Sz(32, 32), 16).Palette.has_value());

    struct Case { ImageSize size; int zoom; };
    for (Case c : {Case{Sz(1, 1), 100}, Case{Sz(5, 5), 100}, Case{Sz(6, 1), 85}, Case{Sz(32, 32), 16},
                   Case{Sz(48, 48), 10}, Case{Sz(128, 16), 4}, Case{Sz(16, 128), 4}, Case{Sz(1000, 4), 1}}) {
        EXPECT_EQ(TmyImagePal(c.size, 32).Zoom, c.zoom) << c.size.Width << "x" << c.size.Height;
    }
    // Only UpdateZoom recomputes it.
    TmyImagePal img(Sz(16, 16), 32);
    img.SetSize(Sz(256, 256));
    EXPECT_EQ(img.Zoom, 32);
    img.UpdateZoom();
    EXPECT_EQ(img.Zoom, 2);
}

TEST(Image, AssignIsADeepCopyWithSizeBeforeHotSpot) {
    TmyImagePal src(Sz(32, 32), 4);
    src.SetHotSpotX(31);
    src.SetHotSpotY(31);
    src.SetRate(1.5);
    src.Zoom = 7;
    src.At(31, 31) = TmyPixel::CreateRGBA(9, 8, 7, 255);
    (*src.Palette)[0].SetRGB(1, 1, 1);

    TmyImagePal dst(Sz(2, 2), 32);
    dst.Assign(src);
    EXPECT_EQ(dst.Size(), Sz(32, 32));
    EXPECT_EQ(dst.BitCount, 4);
    EXPECT_EQ(dst.HotSpotX(), 31);
    EXPECT_EQ(dst.HotSpotY(), 31);
    EXPECT_EQ(dst.Rate(), 1.5);
    EXPECT_EQ(dst.Zoom, 7);
    EXPECT_TRUE(dst.Equals(src));

    // Nothing is shared.
    dst.At(31, 31).R = 0;
    (*dst.Palette)[0].SetRGB(2, 2, 2);
    EXPECT_EQ(src.At(31, 31).R, 9);
    EXPECT_EQ((*src.Palette)[0].R, 1);

    // Back to a format without palette.
    TmyImagePal rgb(Sz(8, 4), 32);
    dst.Assign(rgb);
    EXPECT_FALSE(dst.Palette.has_value());
    EXPECT_EQ(dst.HotSpotX(), 0);
    dst.Assign(dst);
    EXPECT_TRUE(dst.Equals(rgb));
}

TEST(Image, EqualsComparesPixelsAndPalettesOnly) {
    TmyImagePal a(Sz(4, 4), 8), b(Sz(4, 4), 8);
    b.SetHotSpotX(3);
    b.SetRate(2);
    EXPECT_TRUE(a.Equals(b));
    EXPECT_TRUE(a.TmyImage::Equals(b));
    b.At(1, 2).A = 1;
    EXPECT_FALSE(a.Equals(b));
    b.At(1, 2).A = 0;
    (*b.Palette)[255].A = 0;
    EXPECT_FALSE(a.Equals(b));
    EXPECT_TRUE(a.TmyImage::Equals(b));
    EXPECT_FALSE(a.Equals(TmyImagePal(Sz(4, 4), 32)));                  // one without palette
    EXPECT_TRUE(TmyImagePal(Sz(4, 4), 24).Equals(TmyImagePal(Sz(4, 4), 32)));  // depth takes no part
    EXPECT_FALSE(TmyImage(Sz(4, 2)).Equals(TmyImage(Sz(2, 4))));
}

TEST(Image, ClearAndCopyAlphaFrom) {
    TmyImagePal img(Sz(16, 12), 32), mask(Sz(16, 12), 32);
    for (TmyPixel& p : img.Pixels()) p = TmyPixel::CreateRGBA(10, 20, 30, 255);
    mask.At(3, 4).A = 128;
    mask.At(15, 11) = TmyPixel::CreateRGBA(1, 1, 1, 255);
    img.CopyAlphaFrom(mask);
    EXPECT_EQ(img.At(3, 4), TmyPixel::CreateRGBA(10, 20, 30, 128));
    EXPECT_EQ(img.At(15, 11), TmyPixel::CreateRGBA(10, 20, 30, 255));
    EXPECT_EQ(img.At(0, 0), TmyPixel::Create());

    TmyImagePal other(Sz(12, 16), 32);
    img.CopyAlphaFrom(other);  // another size: untouched
    EXPECT_EQ(img.At(3, 4).A, 128);

    img.Clear();
    for (const TmyPixel& p : img.Pixels()) EXPECT_EQ(p, TmyPixel::Create());
}

TEST(Image, BuildPaletteTakesColoursInRowOrder) {
    TmyImagePal bw(Sz(3, 2), 1);
    bw.At(0, 0) = TmyPixel::CreateRGBA(0, 0, 0, 255);
    bw.At(1, 1) = TmyPixel::CreateRGBA(255, 255, 255, 255);
    bw.BuildPalette();
    EXPECT_EQ((*bw.Palette)[0], TmyPixel::CreateRGBA(0, 0, 0, 255));
    EXPECT_EQ((*bw.Palette)[1], TmyPixel::CreateRGBA(255, 255, 255, 255));

    // More colours than entries: the first ones met, row by row from the top.
    TmyImagePal many(Sz(2, 3), 1);
    many.At(1, 0) = TmyPixel::CreateRGBA(5, 5, 5, 255);   // second in row 0
    many.At(0, 1) = TmyPixel::CreateRGBA(7, 7, 7, 255);   // row 1: too late
    many.At(0, 0) = TmyPixel::CreateRGBA(9, 9, 9, 0);     // first, alpha ignored
    many.BuildPalette();
    EXPECT_EQ((*many.Palette)[0], TmyPixel::CreateRGBA(9, 9, 9, 255));
    EXPECT_EQ((*many.Palette)[1], TmyPixel::CreateRGBA(5, 5, 5, 255));

    // Fewer colours than entries: the rest keep the default table.
    TmyImagePal few(Sz(2, 2), 4);
    for (TmyPixel& p : few.Pixels()) p = TmyPixel::CreateRGBA(1, 2, 3, 255);
    few.BuildPalette();
    EXPECT_EQ((*few.Palette)[0], TmyPixel::CreateRGBA(1, 2, 3, 255));
    EXPECT_EQ((*few.Palette)[1], TmyPixel::CreateRGBA(128, 0, 0, 255));

    TmyImagePal rgb(Sz(2, 2), 24);
    rgb.BuildPalette();  // no palette, nothing to do
    EXPECT_FALSE(rgb.Palette.has_value());
}

}  // namespace
}  // namespace velto
