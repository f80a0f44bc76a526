// Colour adjustments and the palette rule.
#include "engine/Adjust.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "engine/Composite.h"

namespace velto {

TPaletteChoice TPaletteRule::Choice() {
    if (Action == TPaletteAction::Change) return TPaletteChoice::Change;
    if (Action == TPaletteAction::Keep) return TPaletteChoice::Keep;
    if (!Answer) Answer = Ask ? Ask() : TPaletteChoice::Change;
    return *Answer;
}

bool KeepPaletteForEffect(TmyImagePal& image, TPaletteRule& rule) {
    if (image.BitCount >= 24 || !image.Palette) return false;
    if (rule.Choice() == TPaletteChoice::Change) return true;
    RemapToPalette(image, rule.Dither());
    return false;
}

namespace {

std::uint8_t Clamp255(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

// Runs rule over the visible pixels, then the palette rule; when the palette
// follows, the same rule runs over its entries.
template <class Rule>
void ApplyEffect(TmyImagePal& image, TPaletteRule* palette, Rule&& rule) {
    for (TmyPixel& p : image.Pixels())
        if (p.A != 0) rule(p);
    if (palette && KeepPaletteForEffect(image, *palette))
        for (TmyPixel& e : image.Palette->Colors()) rule(e);
}

}  // namespace

void InvertRGB(TmyPixel& p) { p.SetRGB(static_cast<std::uint8_t>(255 - p.R), static_cast<std::uint8_t>(255 - p.G), static_cast<std::uint8_t>(255 - p.B)); }

void GrayTintPixel(TmyPixel& p, TGrayTint tint) {
    const auto y = static_cast<std::uint8_t>((30 * p.R + 59 * p.G + 11 * p.B) / 100);
    // Which of R, G, B take Y (the others become 0), by tint.
    static constexpr bool kTake[7][3] = {{true, true, true},  {true, false, false}, {false, true, false},
                                         {false, false, true}, {true, true, false}, {false, true, true},
                                         {true, false, true}};
    const auto& take = kTake[std::min<int>(static_cast<int>(tint), 6)];
    p.SetRGB(take[0] ? y : 0, take[1] ? y : 0, take[2] ? y : 0);
}

void SwapPixelChannels(TmyPixel& p, TChannelSwap swap) {
    switch (swap) {
        case TChannelSwap::RedGreen: std::swap(p.R, p.G); break;
        case TChannelSwap::RedBlue: std::swap(p.R, p.B); break;
        case TChannelSwap::GreenBlue: std::swap(p.G, p.B); break;
        default: break;
    }
}

void AdjustHSLPixel(TmyPixel& p, const THslShift& shift) {
    if (shift.Hue == 0 && shift.Saturation == 0 && shift.Lightness == 0) return;
    const THsv hsv = RGBToHSV(p.R, p.G, p.B);
    // A grey keeps its negative hue (no hue); with no saturation it stays grey anyway.
    int h = hsv.H;
    if (h >= 0) h = static_cast<int>(((static_cast<long long>(h) + shift.Hue) % 360 + 360) % 360);
    // 64-bit: the shifts are not bounded here, only the results.
    long long s = hsv.S;
    long long v = hsv.V;
    const long long d = shift.Saturation * s / 100;
    s += d;
    v += d * 40 / 100;
    const long long l = shift.Lightness;
    if (l >= 1) {
        s -= s * l / 100;
        v += (100 - v) * l / 100;
    } else {
        v += v * l / 100;
    }
    const TmyColor c = HSVToRGB(h, static_cast<int>(std::clamp(s, 0LL, 100LL)), static_cast<int>(std::clamp(v, 0LL, 100LL)));
    p.SetRGB(c.R, c.G, c.B);
}

namespace {

// percent of 255, truncated toward zero; percents far outside -100..100 only
// saturate the channel, so they are bounded first to keep the product in range.
int PercentOf255(int percent) { return std::clamp(percent, -10000, 10000) * 255 / 100; }

}  // namespace

void BalancePixel(TmyPixel& p, const TColorBalance& b) {
    p.SetRGB(Clamp255(p.R + PercentOf255(b.CyanRed)), Clamp255(p.G + PercentOf255(b.MagentaGreen)),
             Clamp255(p.B + PercentOf255(b.YellowBlue)));
}

void BrightnessPixel(TmyPixel& p, int brightness) {
    const int d = PercentOf255(brightness);
    p.SetRGB(Clamp255(p.R + d), Clamp255(p.G + d), Clamp255(p.B + d));
}

void ContrastPixel(TmyPixel& p, int contrast) {
    // Beyond 104 the rule divides by zero; callers pass -100..100.
    const int c = std::clamp(contrast, -100, 100);
    const auto one = [c](int ch) -> std::uint8_t {
        if (c <= 0) {
            const int d = std::abs(ch - 127);
            const int t = static_cast<int>(std::nearbyint(static_cast<double>(d * c) / 100.0));
            return static_cast<std::uint8_t>(ch <= 128 ? std::min(ch - t, 128) : std::max(ch + t, 128));
        }
        const int k = c * c / ((11 - c * c * 10 / 10000) * 8);
        if (ch == 128) ch = 129;
        return Clamp255(ch > 128 ? ch + (ch - 128) * k / 10 : ch - (128 - ch) * k / 10);
    };
    p.SetRGB(one(p.R), one(p.G), one(p.B));
}

std::uint8_t AddToAlpha(std::uint8_t alpha, int percent) {
    if (alpha == 0) return 0;
    return Clamp255(alpha + PercentOf255(percent));
}

void InvertColors(TmyImagePal& image, TPaletteRule* palette) { ApplyEffect(image, palette, InvertRGB); }

void GrayscaleTint(TmyImagePal& image, TGrayTint tint, TPaletteRule* palette) {
    ApplyEffect(image, palette, [tint](TmyPixel& p) { GrayTintPixel(p, tint); });
}

void SwapFrameChannels(TmyImagePal& image, TChannelSwap swap, TPaletteRule* palette) {
    ApplyEffect(image, palette, [swap](TmyPixel& p) { SwapPixelChannels(p, swap); });
}

void HueSaturationLightness(TmyImagePal& image, const THslShift& shift, TPaletteRule* palette) {
    if (shift.Hue == 0 && shift.Saturation == 0 && shift.Lightness == 0) return;
    ApplyEffect(image, palette, [&shift](TmyPixel& p) { AdjustHSLPixel(p, shift); });
}

void ColorBalance(TmyImagePal& image, const TColorBalance& balance, TPaletteRule* palette) {
    ApplyEffect(image, palette, [&balance](TmyPixel& p) { BalancePixel(p, balance); });
}

void BrightnessContrast(TmyImagePal& image, const TBrightnessContrast& bc, TPaletteRule* palette) {
    ApplyEffect(image, palette, [&bc](TmyPixel& p) {
        if (bc.ContrastFirst) {
            ContrastPixel(p, bc.Contrast);
            BrightnessPixel(p, bc.Brightness);
        } else {
            BrightnessPixel(p, bc.Brightness);
            ContrastPixel(p, bc.Contrast);
        }
    });
}

void ChangeOpacity(TmyImagePal& image, int percent) {
    if (image.BitCount != 32 || percent == 0) return;
    for (TmyPixel& p : image.Pixels()) {
        p.A = AddToAlpha(p.A, percent);
        if (p.A == 0) p = TmyPixel::Create();
    }
}

void FillVisiblePixels(TmyImagePal& image, TColor color, int percent) {
    for (TmyPixel& p : image.Pixels()) {
        if (p.A != 0) p.SetColor(color);
        if (image.BitCount >= 24) p.A = AddToAlpha(p.A, percent);
        if (p.A == 0) p = TmyPixel::Create();
    }
}

}  // namespace velto
