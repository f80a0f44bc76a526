// Colour adjustments and the palette rule.
#include "engine/Adjust.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "EngineTestUtil.h"
#include "engine/Composite.h"

namespace velto {
namespace {

using test::Px;

TEST(Adjust, PerPixelRules) {
    struct Row {
        const char* name;
        TmyPixel in;
        void (*rule)(TmyPixel&);
        TmyPixel out;
    } rows[] = {
        {"invert keeps alpha", Px(0, 100, 255, 7), InvertRGB, Px(255, 155, 0, 7)},
        {"grey of red", Px(255, 0, 0), [](TmyPixel& p) { GrayTintPixel(p, TGrayTint::Grayscale); }, Px(76, 76, 76)},
        {"red tint of red", Px(255, 0, 0), [](TmyPixel& p) { GrayTintPixel(p, TGrayTint::Red); }, Px(76, 0, 0)},
        {"yellow tint", Px(0, 255, 0), [](TmyPixel& p) { GrayTintPixel(p, TGrayTint::Yellow); }, Px(150, 150, 0)},
        {"cyan tint", Px(0, 0, 255), [](TmyPixel& p) { GrayTintPixel(p, TGrayTint::Cyan); }, Px(0, 28, 28)},
        {"magenta tint", Px(255, 255, 255), [](TmyPixel& p) { GrayTintPixel(p, TGrayTint::Magenta); }, Px(255, 0, 255)},
        {"swap red and blue", Px(1, 2, 3), [](TmyPixel& p) { SwapPixelChannels(p, TChannelSwap::RedBlue); }, Px(3, 2, 1)},
        {"swap green and blue", Px(1, 2, 3), [](TmyPixel& p) { SwapPixelChannels(p, TChannelSwap::GreenBlue); }, Px(1, 3, 2)},
        {"swap none", Px(1, 2, 3), [](TmyPixel& p) { SwapPixelChannels(p, TChannelSwap::None); }, Px(1, 2, 3)},
        {"balance +100 red", Px(200, 10, 10), [](TmyPixel& p) { BalancePixel(p, {.CyanRed = 100}); }, Px(255, 10, 10)},
        {"balance truncates toward zero", Px(100, 100, 100),
         [](TmyPixel& p) { BalancePixel(p, {.CyanRed = -1, .MagentaGreen = 1, .YellowBlue = -50}); }, Px(98, 102, 0)},
        {"brightness -50", Px(200, 127, 128), [](TmyPixel& p) { BrightnessPixel(p, -50); }, Px(73, 0, 1)},
        {"contrast +100", Px(129, 128, 127), [](TmyPixel& p) { ContrastPixel(p, 100); }, Px(254, 254, 2)},
        {"contrast +100 elsewhere", Px(200, 10, 130), [](TmyPixel& p) { ContrastPixel(p, 100); }, Px(255, 0, 255)},
        {"contrast -100", Px(0, 255, 128), [](TmyPixel& p) { ContrastPixel(p, -100); }, Px(127, 128, 128)},
        {"contrast -50", Px(27, 227, 127), [](TmyPixel& p) { ContrastPixel(p, -50); }, Px(77, 177, 127)},
        {"contrast +5 still moves 128", Px(128, 0, 255), [](TmyPixel& p) { ContrastPixel(p, 5); }, Px(129, 0, 255)},
        {"contrast +50", Px(138, 118, 200), [](TmyPixel& p) { ContrastPixel(p, 50); }, Px(172, 84, 255)},
        // Beyond 104 the rule would divide by zero: taken as 100.
        {"contrast 105", Px(129, 128, 127), [](TmyPixel& p) { ContrastPixel(p, 105); }, Px(254, 254, 2)},
        {"contrast INT_MAX", Px(129, 128, 127), [](TmyPixel& p) { ContrastPixel(p, INT_MAX); }, Px(254, 254, 2)},
        {"contrast INT_MIN", Px(0, 255, 128), [](TmyPixel& p) { ContrastPixel(p, INT_MIN); }, Px(127, 128, 128)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TmyPixel p = r.in;
        r.rule(p);
        EXPECT_EQ(p, r.out);
    }
    EXPECT_EQ(AddToAlpha(200, 50), 255);
    EXPECT_EQ(AddToAlpha(200, -1), 198);
    EXPECT_EQ(AddToAlpha(0, 100), 0);
    EXPECT_EQ(AddToAlpha(100, INT_MIN), 0);
}

TEST(Adjust, HueSaturationLightness) {
    // All three 0: nothing changes, not even the rounding through whole percents.
    TmyImagePal img = test::NoiseImage({64, 64}, 32, 9, true);
    const TmyImagePal before = img;
    HueSaturationLightness(img, {}, nullptr);
    EXPECT_TRUE(img.Equals(before));
    for (int v = 0; v < 256; ++v) {
        TmyPixel p = Px(v, 255 - v, v / 2);
        AdjustHSLPixel(p, {0, 0, 0});
        ASSERT_EQ(p, Px(v, 255 - v, v / 2));
    }
    struct Row {
        const char* name;
        TmyPixel in;
        THslShift shift;
        TmyPixel out;
    } rows[] = {
        // Hue 355 + 10 wraps to 5 (modulo 360).
        {"hue wraps past 359", Px(255, 0, 21), {10, 0, 0}, Px(255, 21, 0)},
        {"red turned half round is cyan", Px(255, 0, 0), {-180, 0, 0}, Px(0, 255, 255)},
        {"a full turn keeps the hue", Px(255, 0, 0), {360, 0, 0}, Px(255, 0, 0)},
        {"minus a full turn too", Px(0, 255, 0), {-720, 0, 0}, Px(0, 255, 0)},
        // S 75 loses 75, and V (78) loses 75 * 40 / 100.
        {"no saturation leaves a darker grey", Px(200, 100, 50), {0, -100, 0}, Px(122, 122, 122)},
        {"full lightness is white", Px(200, 100, 50), {0, 0, 100}, Px(255, 255, 255)},
        {"no lightness is black", Px(200, 100, 50), {0, 0, -100}, Px(0, 0, 0)},
        {"a grey stays grey under a hue shift", Px(100, 100, 100), {50, 0, 0}, Px(99, 99, 99)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TmyPixel p = r.in;
        AdjustHSLPixel(p, r.shift);
        EXPECT_EQ(p, r.out);
    }
    EXPECT_EQ(RGBToHSV(255, 0, 21).H, 355);
    // Shifts far out of range do not overflow.
    TmyPixel p = Px(10, 200, 30);
    AdjustHSLPixel(p, {INT_MAX, INT_MAX, INT_MIN});
    EXPECT_EQ(p, Px(0, 0, 0));
}

TEST(Adjust, ImageEffectsTouchVisiblePixelsOnly) {
    TmyImagePal img({3, 1}, 32);
    img.At(0, 0) = Px(10, 20, 30, 200);
    img.At(1, 0) = Px(10, 20, 30, 0);  // transparent pixels may carry a colour; effects leave it
    InvertColors(img, nullptr);
    GrayscaleTint(img, TGrayTint::Blue, nullptr);
    SwapFrameChannels(img, TChannelSwap::RedBlue, nullptr);
    ColorBalance(img, {.YellowBlue = 10}, nullptr);
    BrightnessContrast(img, {.Brightness = 10, .Contrast = 20, .ContrastFirst = true}, nullptr);
    HueSaturationLightness(img, {10, 10, 10}, nullptr);
    EXPECT_EQ(img.At(1, 0), Px(10, 20, 30, 0));
    EXPECT_NE(img.At(0, 0), Px(10, 20, 30, 200));
    EXPECT_EQ(img.At(0, 0).A, 200);

    // Contrast first or brightness first give different results.
    TmyImagePal a = test::Uniform({1, 1}, 32, Px(100, 100, 100));
    TmyImagePal b = a;
    BrightnessContrast(a, {.Brightness = 50, .Contrast = 50, .ContrastFirst = true}, nullptr);
    BrightnessContrast(b, {.Brightness = 50, .Contrast = 50, .ContrastFirst = false}, nullptr);
    EXPECT_EQ(a.At(0, 0), Px(132, 132, 132));  // 100 - 28 * 34 div 10 = 5, + 127
    EXPECT_EQ(b.At(0, 0), Px(255, 255, 255));
}

TEST(Adjust, OpacityAndFillVisiblePixels) {
    TmyImagePal img({4, 1}, 32);
    img.At(0, 0) = Px(1, 2, 3, 200);
    img.At(1, 0) = Px(1, 2, 3, 10);
    img.At(2, 0) = Px(1, 2, 3, 0);
    img.At(3, 0) = Px(1, 2, 3, 255);
    TmyImagePal same = img;
    ChangeOpacity(same, 0);
    EXPECT_TRUE(same.Equals(img));
    ChangeOpacity(img, 50);
    EXPECT_EQ(img.At(0, 0), Px(1, 2, 3, 255));
    EXPECT_EQ(img.At(1, 0), Px(1, 2, 3, 137));
    EXPECT_EQ(img.At(2, 0), Px(0, 0, 0, 0));  // transparent pixels never become visible, and lose their colour
    ChangeOpacity(img, -100);
    EXPECT_EQ(img.At(0, 0), Px(0, 0, 0, 0));
    TmyImagePal rgb = test::Uniform({1, 1}, 24, Px(1, 2, 3, 100));
    ChangeOpacity(rgb, -100);  // only 32 bits
    EXPECT_EQ(rgb.At(0, 0), Px(1, 2, 3, 100));

    TmyImagePal shadow({4, 1}, 32);
    shadow.At(3, 0) = Px(9, 9, 9, 0);
    shadow.At(0, 0) = Px(9, 9, 9, 200);
    shadow.At(1, 0) = Px(9, 9, 9, 20);
    FillVisiblePixels(shadow, MakeColor(0, 0, 0), -10);
    EXPECT_EQ(shadow.At(0, 0), Px(0, 0, 0, 175));
    EXPECT_EQ(shadow.At(1, 0), Px(0, 0, 0, 0));
    EXPECT_EQ(shadow.At(2, 0), Px(0, 0, 0, 0));
    EXPECT_EQ(shadow.At(3, 0), Px(0, 0, 0, 0));
    TmyImagePal pal = test::Uniform({1, 1}, 8, Px(9, 9, 9, 255));
    FillVisiblePixels(pal, MakeColor(1, 2, 3), -100);  // below 24 bits alpha is left
    EXPECT_EQ(pal.At(0, 0), Px(1, 2, 3, 255));
}

// An 8-bit image whose pixels are entries of its default palette.
TmyImagePal PaletteImage() {
    TmyImagePal img({16, 16}, 8);
    for (int i = 0; i < 256; ++i) img.Pixels()[static_cast<std::size_t>(i)] = (*img.Palette)[i];
    img.At(0, 0) = TmyPixel::Create();
    return img;
}

TEST(Adjust, PaletteRuleFollowsTheSettingAndAsksOncePerCommand) {
    // Change: the palette entries take the rule too, so the pixels still find them.
    TmyImagePal img = PaletteImage();
    TPaletteRule change(TPaletteAction::Change, TDither::Off);
    InvertColors(img, &change);
    const TmyImagePal before = PaletteImage();
    for (int i = 1; i < 256; ++i) {
        TmyPixel inverted = before.Pixels()[static_cast<std::size_t>(i)];
        InvertRGB(inverted);
        ASSERT_EQ(img.Pixels()[static_cast<std::size_t>(i)], inverted);
        ASSERT_GE(img.Palette->IndexOf(inverted), 0);
    }
    EXPECT_EQ(img.At(0, 0), TmyPixel::Create());

    // Keep: the palette stays and the pixels are refitted to it.
    TmyImagePal kept = PaletteImage();
    TPaletteRule keep(TPaletteAction::Keep, TDither::Off);
    GrayscaleTint(kept, TGrayTint::Grayscale, &keep);
    EXPECT_TRUE(kept.Palette == before.Palette);
    for (const TmyPixel& p : kept.Pixels())
        if (p.A != 0) {
            ASSERT_GE(kept.Palette->IndexOf(p), 0) << p;
        }

    // Ask: one question for every frame of one command, none for frames of 24
    // bits or more, none for an effect that changes nothing.
    int asked = 0;
    TPaletteRule ask(TPaletteAction::Ask, TDither::Off, [&asked] {
        ++asked;
        return TPaletteChoice::Keep;
    });
    TmyImagePal deep = test::NoiseImage({4, 4}, 32, 1);
    SwapFrameChannels(deep, TChannelSwap::RedGreen, &ask);
    HueSaturationLightness(kept, {0, 0, 0}, &ask);
    EXPECT_EQ(asked, 0);
    for (int frame = 0; frame < 3; ++frame) {
        TmyImagePal f = PaletteImage();
        BrightnessContrast(f, {.Brightness = 20}, &ask);
        EXPECT_TRUE(f.Palette == before.Palette);
    }
    EXPECT_EQ(asked, 1);
    // An indexed image that lost its palette is left as the effect made it.
    TmyImagePal bare = PaletteImage();
    bare.Palette.reset();
    InvertColors(bare, &ask);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(bare.At(1, 1).R, 255 - before.At(1, 1).R);
    // Without a way to ask, the question's default: change the palette.
    TPaletteRule mute(TPaletteAction::Ask, TDither::Off);
    EXPECT_EQ(mute.Choice(), TPaletteChoice::Change);
    // A live preview (no rule) leaves the palette and the off-palette pixels alone.
    TmyImagePal preview = PaletteImage();
    ColorBalance(preview, {.CyanRed = 3}, nullptr);
    EXPECT_TRUE(preview.Palette == before.Palette);
    EXPECT_EQ(preview.At(1, 0).R, before.At(1, 0).R + 7);
}

}  // namespace
}  // namespace velto
