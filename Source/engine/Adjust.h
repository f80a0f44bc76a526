#pragma once
// Colour adjustments of one frame, in place: invert, grey and tints, channel
// swaps, hue/saturation/lightness, colour balance, brightness and contrast,
// opacity, and the tint of shadows. Each per-pixel rule touches visible pixels
// only (alpha not 0), rows from the top.
//
// After a colour effect on an indexed image the palette rule decides whether
// the palette follows the pixels (the same rule runs over its entries) or the
// pixels are refitted to the unchanged palette.
#include <cstdint>
#include <functional>
#include <optional>

#include "engine/ColorDepth.h"
#include "model/Image.h"
#include "model/Pixel.h"
#include "platform/Color.h"

namespace velto {

// The "PaletteAction" setting, and the answer to its question.
enum class TPaletteAction : std::uint8_t { Change = 0, Keep = 1, Ask = 2 };
enum class TPaletteChoice : std::uint8_t { Change = 0, Keep = 1 };

// The palette rule of one command. With Ask the question is put at most once,
// when the first indexed frame needs it, and its answer serves every later
// frame of the same command. Without a way to ask, the question's default
// (change the palette) is taken.
class TPaletteRule {
public:
    using TAsk = std::function<TPaletteChoice()>;

    TPaletteRule(TPaletteAction action, TDither dither, TAsk ask = {})
        : Action(action), Dithering(dither), Ask(std::move(ask)) {}

    TPaletteChoice Choice();
    TDither Dither() const { return Dithering; }

private:
    TPaletteAction Action;
    TDither Dithering;
    TAsk Ask;
    std::optional<TPaletteChoice> Answer;
};

// After the pixels changed: false at 24 bits or more. Otherwise, when the
// palette is to stay, the pixels are refitted to it and the result is false;
// true tells the caller to run its rule over the palette entries too.
bool KeepPaletteForEffect(TmyImagePal& image, TPaletteRule& rule);

enum class TGrayTint : std::uint8_t { Grayscale = 0, Red = 1, Green = 2, Blue = 3, Yellow = 4, Cyan = 5, Magenta = 6 };
enum class TChannelSwap : std::uint8_t { None = 0, RedGreen = 1, RedBlue = 2, GreenBlue = 3 };

// Shifts in degrees (hue) and percent.
struct THslShift {
    int Hue = 0;
    int Saturation = 0;
    int Lightness = 0;
};

// Percent of 255 added to each channel.
struct TColorBalance {
    int CyanRed = 0;
    int MagentaGreen = 0;
    int YellowBlue = 0;
};

struct TBrightnessContrast {
    int Brightness = 0;  // percent
    int Contrast = 0;    // -100..100
    bool ContrastFirst = false;
};

// Per-pixel rules (R, G, B only unless said otherwise).
void InvertRGB(TmyPixel& p);
// Y = (30 R + 59 G + 11 B) div 100 into the channels of the tint.
void GrayTintPixel(TmyPixel& p, TGrayTint tint);
void SwapPixelChannels(TmyPixel& p, TChannelSwap swap);
// Through HSV in whole degrees and percent; all three shifts 0 leaves the
// pixel as it is. Hue wraps modulo 360.
void AdjustHSLPixel(TmyPixel& p, const THslShift& shift);
void BalancePixel(TmyPixel& p, const TColorBalance& balance);
void BrightnessPixel(TmyPixel& p, int brightness);
// Contrast is taken into -100..100.
void ContrastPixel(TmyPixel& p, int contrast);
// alpha + percent * 255 div 100, clamped into 0..255; an alpha of 0 stays 0.
std::uint8_t AddToAlpha(std::uint8_t alpha, int percent);

// The effects. A null palette rule skips it (live previews).
void InvertColors(TmyImagePal& image, TPaletteRule* palette);
void GrayscaleTint(TmyImagePal& image, TGrayTint tint, TPaletteRule* palette);
void SwapFrameChannels(TmyImagePal& image, TChannelSwap swap, TPaletteRule* palette);
// All three shifts 0 changes nothing, the palette included.
void HueSaturationLightness(TmyImagePal& image, const THslShift& shift, TPaletteRule* palette);
void ColorBalance(TmyImagePal& image, const TColorBalance& balance, TPaletteRule* palette);
void BrightnessContrast(TmyImagePal& image, const TBrightnessContrast& bc, TPaletteRule* palette);

// 32 bits only: every visible pixel's alpha moves by percent (AddToAlpha);
// every pixel left at alpha 0 becomes transparent black.
void ChangeOpacity(TmyImagePal& image, int percent);
// Every visible pixel takes the colour (alpha kept); at 24 bits or more its
// alpha also moves by percent. Every pixel left at alpha 0 becomes transparent
// black.
void FillVisiblePixels(TmyImagePal& image, TColor color, int percent);

}  // namespace velto
