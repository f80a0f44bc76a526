#include "model/Image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace velto {
namespace {

constexpr ImageSize Sz(int w, int h) { return {.Width = w, .Height = h}; }

TEST(Image, PixelsAreRowMajorAndSettingsClamp) {
    TmyImage img(Sz(3, 2));
    ASSERT_EQ(img.Pixels().size(), 6u);
    img.At(2, 0).R = 1;
    img.At(0, 1).R = 2;
    EXPECT_EQ(img.Pixels()[2].R, 1);
    EXPECT_EQ(img.Row(1)[0].R, 2);
    img.SetSize(Sz(1, 5));  // new transparent pixels
    EXPECT_EQ(img.Pixels()[0], TmyPixel::Create());
    EXPECT_EQ(img.Pixels().size(), 5u);
    EXPECT_EQ(TmyImage(Sz(0, -4)).Size(), Sz(1, 1));  // an empty side is outside the model

    TmyImage wide(Sz(32, 16));
    wide.SetHotSpotX(40);
    wide.SetHotSpotY(20);
    EXPECT_EQ(wide.HotSpotX(), 31);
    EXPECT_EQ(wide.HotSpotY(), 15);
    wide.SetHotSpotY(-3);
    EXPECT_EQ(wide.HotSpotY(), 0);
    wide.SetSize(Sz(8, 8));
    EXPECT_EQ(wide.HotSpotX(), 31);  // left alone by a resize

    const std::pair<double, double> rates[] = {{0.0, 0.1}, {-1.0, 0.1}, {std::nan(""), 0.1},
                                               {-std::numeric_limits<double>::infinity(), 0.1},
                                               {3e9, 2147483647.0}, {0.05, 0.05}};
    for (const auto& [set, got] : rates) {
        wide.SetRate(set);
        EXPECT_EQ(wide.Rate(), got) << set;
    }
}

TEST(Image, FormatPaletteAndZoom) {
    EXPECT_FALSE(TmyImagePal(Sz(16, 16), 24).Palette.has_value());
    EXPECT_EQ(TmyImagePal(Sz(32, 32), 1).Palette->Count(), 2);
    EXPECT_TRUE(TmyImagePal(Sz(256, 256), 8).Palette->Equals(TmyPalette(256)));
    const std::pair<ImageSize, int> zooms[] = {
        {Sz(5, 5), 100}, {Sz(6, 1), 85}, {Sz(48, 48), 10}, {Sz(16, 256), 2}, {Sz(1000, 4), 1}};
    for (const auto& [size, zoom] : zooms) EXPECT_EQ(TmyImagePal(size, 32).Zoom, zoom) << size.Width;
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

TEST(Image, ClearCopyAlphaAndBuildPalette) {
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

    // BuildPalette takes colours in row order, alpha ignored, until the palette is full.
    TmyImagePal many(Sz(2, 3), 1);
    many.At(0, 0) = TmyPixel::CreateRGBA(9, 9, 9, 0);
    many.At(1, 0) = TmyPixel::CreateRGBA(5, 5, 5, 255);
    many.At(0, 1) = TmyPixel::CreateRGBA(7, 7, 7, 255);
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
