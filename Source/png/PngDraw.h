#pragma once
// A PNG image as a graphic of the windowing layer: drawn onto a bitmap with
// its transparency, converted into a bitmap, resized. The blends are computed
// here on the bitmap's own pixels, so that every channel follows one formula
// whatever puts the finished bitmap on screen.
#include <cstdint>

#include "platform/Bitmap.h"
#include "png/PngImage.h"

namespace velto {

// One channel of a partly transparent source S (alpha a) over a destination P.
// The sum never leaves 16 bits, and a of 0 and 255 give P and S exactly.
constexpr std::uint8_t BlendChannel(std::uint8_t s, std::uint8_t a, std::uint8_t p) {
    return static_cast<std::uint8_t>((255u + unsigned{s} * a + unsigned{p} * (255u - a)) >> 8);
}

// Draws the image into rect of the canvas's bitmap (scaled to the rectangle,
// nearest pixel). Without transparency the pixels are copied; with one
// transparent colour the bitmap keeps its pixels where the image has that
// colour; with alpha every pixel is blended onto the bitmap's pixels. A
// rectangle given right to left or bottom to top draws as the ordered one.
// An empty image draws nothing. A palette index beyond the palette draws as
// opaque black.
void DrawPng(const TPNGObject& png, TCanvas& canvas, TRect rect);

// The bitmap becomes the image: 24 bits when it has alpha (blended onto
// black), else the depth that holds it (1, 4 or 8 bits with the image's
// colour table, or 24). With one transparent colour the bitmap is transparent
// with that colour, its transparent pixels painted in it. Raises
// EPNGHeaderNotPresent without a header.
void AssignPngTo(const TPNGObject& png, TBitmap& dest);

// Blends a row of straight B, G, R, A pixels onto a row of 32-bit B, G, R, x
// pixels (the fourth byte kept).
void BlendBgraRow(const std::uint8_t* src, std::uint8_t* dst, int count);

}  // namespace velto
