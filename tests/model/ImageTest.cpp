#include "model/Image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace velto {
namespace {

constexpr ImageSize Sz(int w, int h) { return {.Width = w, .Height = h}; }

TEST(Image, PixelsAreRowMajorAndSizesNamed) {
    TmyImage img(Sz(3, 2));
    ASSERT_EQ(img.Pixels().size(), 6u);
    img.At(2, 0).R = 1;
    img.At(0, 1).R = 2;
    EXPECT_EQ(img.Pixels()[2].R, 1);
    EXPECT_EQ(img.Row(1)[0].R, 2);
    img.SetHotSpotX(2);
    img.SetSize(Sz(1, 5));  // new transparent pixels, hotspot left alone
    EXPECT_EQ(img.Size(), Sz(1, 5));
    EXPECT_EQ(img.Pixels()[0], TmyPixel::Create());
    EXPECT_EQ(img.HotSpotX(), 2);
    EXPECT_EQ(TmyImage(Sz(0, -4)).Size(), Sz(1, 1));  // an empty side is outside the model
}

TEST(Image, HotSpotAndRateClamps) {
    TmyImage img(Sz(32, 16));
    img.SetHotSpotX(40);
    img.SetHotSpotY(-3);
    EXPECT_EQ(img.HotSpotX(), 31);
    EXPECT_EQ(img.HotSpotY(), 0);
    img.SetHotSpotY(20);
    EXPECT_EQ(img.HotSpotY(), 15);

    EXPECT_EQ(img.Rate(), 0.3);
    for (double bad : {0.0, -1.0, std::nan(""), -std::numeric_limits<double>::infinity()}) {
        img.SetRate(bad);
        EXPECT_EQ(img.Rate(), 0.1) << bad;
    }
    img.SetRate(3e9);
    EXPECT_EQ(img.Rate(), 2147483647.0);
    img.SetRate(0.05);
    EXPECT_EQ(img.Rate(), 0.05);
}

TEST(Image, FormatPaletteAndZoom) {
    EXPECT_FALSE(TmyImagePal(Sz(16, 16), 24).Palette.has_value());
    EXPECT_FALSE(TmyImagePal(Sz(16, 16), 16).Palette.has_value());
    EXPECT_EQ(TmyImagePal(Sz(32, 32), 1).Palette->Count(), 2);
    EXPECT_EQ(TmyImagePal(Sz(32, 32), 4).Palette->Count(), 16);
    EXPECT_TRUE(TmyImagePal(Sz(256, 256), 8).Palette->Equals(TmyPalette(256)));

    struct Case { ImageSize size; int zoom; };
    for (Case c : {Case{Sz(5, 5), 100}, Case{Sz(6, 1), 85}, Case{Sz(16, 16), 32}, Case{Sz(48, 48), 10},
                   Case{Sz(128, 16), 4}, Case{Sz(16, 256), 2}, Case{Sz(1000, 4), 1}}) {
        EXPECT_EQ(TmyImagePal(c.size, 32).Zoom, c.zoom) << c.size.Width << "x" << c.size.Height;
    }
    TmyImagePal img(Sz(16, 16), 32);
    img.SetSize(Sz(256, 256));
    EXPECT_EQ(img.Zoom, 32);  // only UpdateZoom recomputes it
    img.UpdateZoom();
    EXPECT_EQ(img.Zoom, 2);
}

TEST(Image, AssignIsADeepCopyWithSizeBeforeHotSpot) {
    TmyImagePal src(Sz(32, 32), 4);
    src.SetHotSpotX(31);
    src.SetHotSpotY(31);
    src.SetRate(1.5);
    src.Zoom = 7;
    src.At(31, 31).R = 9;
    TmyImagePal dst(Sz(2, 2), 32);
    dst.Assign(src);
    EXPECT_EQ(dst.BitCount, 4);
    EXPECT_EQ(dst.HotSpotX(), 31);
    EXPECT_EQ(dst.HotSpotY(), 31);
    EXPECT_EQ(dst.Rate(), 1.5);
    EXPECT_EQ(dst.Zoom, 7);
    EXPECT_TRUE(dst.Equals(src));
    dst.At(31, 31).R = 0;
    (*dst.Palette)[0].SetRGB(2, 2, 2);
    EXPECT_EQ(src.At(31, 31).R, 9);  // nothing shared
    EXPECT_EQ((*src.Palette)[0].R, 0);
    dst.Assign(TmyImagePal(Sz(8, 4), 32));
    EXPECT_FALSE(dst.Palette.has_value());
    EXPECT_EQ(dst.HotSpotX(), 0);
}

TEST(Image, EqualsComparesPixelsAndPalettesOnly) {
    TmyImagePal a(Sz(4, 4), 8), b(Sz(4, 4), 8);
    b.SetHotSpotX(3);
    b.SetRate(2);
    EXPECT_TRUE(a.Equals(b));
    (*b.Palette)[255].A = 0;
    EXPECT_FALSE(a.Equals(b));
    EXPECT_TRUE(a.TmyImage::Equals(b));
    b.At(1, 2).A = 1;
    EXPECT_FALSE(a.TmyImage::Equals(b));
    EXPECT_FALSE(a.Equals(TmyImagePal(Sz(4, 4), 32)));
    EXPECT_TRUE(TmyImagePal(Sz(4, 4), 24).Equals(TmyImagePal(Sz(4, 4), 32)));
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
    img.CopyAlphaFrom(TmyImagePal(Sz(12, 16), 32));  // another size: untouched
    EXPECT_EQ(img.At(3, 4).A, 128);
    img.Clear();
    EXPECT_EQ(img.At(15, 11), TmyPixel::Create());
}

TEST(Image, BuildPaletteTakesColoursInRowOrder) {
    TmyImagePal bw(Sz(3, 2), 1);
    bw.At(0, 0) = TmyPixel::CreateRGBA(0, 0, 0, 255);
    bw.At(1, 1) = TmyPixel::CreateRGBA(255, 255, 255, 255);
    bw.BuildPalette();
    EXPECT_TRUE(bw.Palette->Equals(TmyPalette(2)));

    TmyImagePal many(Sz(2, 3), 1);
    many.At(0, 0) = TmyPixel::CreateRGBA(9, 9, 9, 0);  // alpha ignored
    many.At(1, 0) = TmyPixel::CreateRGBA(5, 5, 5, 255);
    many.At(0, 1) = TmyPixel::CreateRGBA(7, 7, 7, 255);  // palette already full
    many.BuildPalette();
    EXPECT_EQ((*many.Palette)[0], TmyPixel::CreateRGBA(9, 9, 9, 255));
    EXPECT_EQ((*many.Palette)[1], TmyPixel::CreateRGBA(5, 5, 5, 255));

    TmyImagePal few(Sz(2, 2), 4);
    for (TmyPixel& p : few.Pixels()) p = TmyPixel::CreateRGBA(1, 2, 3, 255);
    few.BuildPalette();
    EXPECT_EQ((*few.Palette)[0], TmyPixel::CreateRGBA(1, 2, 3, 255));
    EXPECT_EQ((*few.Palette)[1], TmyPixel::CreateRGBA(128, 0, 0, 255));  // default kept
}

}  // namespace
}  // namespace velto
