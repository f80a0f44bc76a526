#pragma once
// Plain routines around PNG images: the looks of a disabled image (half
// transparent, grey), drawing with those looks, and building PNG images with
// alpha from bitmaps, icons and bitmap-and-mask pairs. Image lists and tool
// buttons are built on them.
#include <cstdint>
#include <memory>

#include "platform/Bitmap.h"
#include "png/PngImage.h"

namespace velto {

// Looks of a disabled image: half transparent, grey. A set of them is a bit mask.
enum TPngOption : std::uint8_t { pngBlendOnDisabled = 1, pngGrayscaleOnDisabled = 2 };
using TPngOptions = std::uint8_t;

// Round(v / 256) with halves to even, for v >= 0.
constexpr int RoundDiv256Even(int v) {
    const int q = v >> 8, rem = v & 255;
    return q + (rem > 128 || (rem == 128 && (q & 1)) ? 1 : 0);
}
// Round(R x 0.3 + G x 0.59 + B x 0.11) with halves to even, computed exactly.
constexpr int GreyOf(int r, int g, int b) {
    const int v = r * 30 + g * 59 + b * 11;
    const int q = v / 100, rem = v % 100;
    return q + (rem > 50 || (rem == 50 && (q & 1)) ? 1 : 0);
}
// Alpha scaled by amount: Round(alpha / 256 x (amount + 1)).
constexpr std::uint8_t FadedAlpha(std::uint8_t alpha, std::uint8_t amount) {
    return static_cast<std::uint8_t>(RoundDiv256Even(alpha * (amount + 1)));
}
// One channel turned grey by amount: Round(c / 256 x (255 - amount)) +
// Round(grey / 256 x (amount + 1)). Both halves can round up to 256 together
// (white at amount 127); that stays white rather than wrapping to black.
constexpr std::uint8_t GreyedChannel(std::uint8_t c, int grey, std::uint8_t amount) {
    const int v = RoundDiv256Even(c * (255 - amount)) + RoundDiv256Even(grey * (amount + 1));
    return static_cast<std::uint8_t>(v > 255 ? 255 : v);
}

// Makes the image transparent by amount (0-255). Grey and palette images
// become RGBA first; every pixel of the transparent colour of an image with
// one becomes fully transparent.
void MakeImageHalfTransparent(TPNGObject& png, std::uint8_t amount);
// Turns the colours grey by amount (255: all grey). Grey images stay as they are.
void MakeDisabledImage(TPNGObject& png, std::uint8_t amount);
// The image drawn with the looks of options (none: as it is); half
// transparent first, then grey.
void DrawPNG(const TPNGObject& png, TCanvas& canvas, const TRect& rect, TPngOptions options);
// A copy of the image with the looks of options.
std::unique_ptr<TPNGObject> DisabledCopy(const TPNGObject& png, TPngOptions options);

// A copy of a PNG image.
std::unique_ptr<TPNGObject> ConvertToPNG(const TPNGObject& source);
// A bitmap as an RGB image; with its transparent flag set, RGBA with the
// pixels of its transparent colour (the bottom-left pixel's in automatic
// mode) fully transparent.
std::unique_ptr<TPNGObject> ConvertToPNG(const TBitmap& source);
// An icon given by its colour and mask bitmaps: transparent where the mask is
// not black. A 32-bit colour bitmap with any alpha byte not 0 gives its alpha
// bytes instead.
std::unique_ptr<TPNGObject> ConvertIconToPNG(const TBitmap& color, const TBitmap& mask);
// RGBA from a colour bitmap, alpha from the mask's red channel (or 255 minus it).
std::unique_ptr<TPNGObject> CreatePNG(const TBitmap& color, const TBitmap& mask, bool inverseMask);
// RGBA from a bitmap: its pixels of transparentColor are transparent, the rest opaque.
std::unique_ptr<TPNGObject> CreatePNGMasked(const TBitmap& bitmap, TColor transparentColor);

}  // namespace velto
