#pragma once
// Colour-depth changes and refits of an image's pixels to a palette. They work
// in place on a TmyImagePal: size, hotspot, Rate and Zoom stay; only pixels,
// Palette and BitCount change.
//
// Each argument has its own type, so that a depth, a palette kind and the
// dithering flag can't be passed in one another's place (callers spell this
// routine's arguments in three different orders).
#include <cstdint>

#include "model/Image.h"

namespace velto {

// Target depth. 1, 4 and 8 bits keep a palette of 2, 16 or 256 entries; any
// other depth (16, 24, 32) is direct colour.
enum class TBitDepth : std::uint8_t { Bits1 = 1, Bits4 = 4, Bits8 = 8, Bits16 = 16, Bits24 = 24, Bits32 = 32 };

// Where an indexed target's palette comes from: Windows or Macintosh fixed
// tables, or (any other value) a palette optimised for the image.
enum class TPaletteKind : std::uint8_t { Optimised = 0, Windows = 1, Mac = 2 };

// Whether a refit spreads each pixel's error over its neighbours (the
// "Dithering" setting) or takes the nearest entry pixel by pixel.
enum class TDither : bool { Off = false, On = true };

// Changes the image's depth. To direct colour: the palette goes; alpha is made
// 0 or 255 (from 32 bits by the rule below, from other depths any non-zero
// alpha becomes 255). To an indexed depth: the rule below, then a palette of the
// kind (an optimised one holds at most n - 1 colours of the image, and black),
// then every pixel takes a palette colour, dithered or nearest; transparent
// pixels keep alpha 0. The alpha rule: below 128 the pixel becomes transparent
// black, from 128 to 254 it is laid over white and made opaque.
void ChangeColorDepth(TmyImagePal& image, TBitDepth bits, TPaletteKind kind, TDither dither);

// The image takes a copy of the palette, then its pixels are refitted as by
// RemapToPalette. BitCount stays: the palette must suit it. Nothing happens to
// an image without a palette.
void ApplyPalette(TmyImagePal& image, const TmyPalette& palette, TDither dither);

// Refits the pixels to the image's own palette: each takes the nearest entry
// (least sum of channel differences, first entry on ties; alpha kept), or with
// dithering as DitherToPalette at the image's depth. Nothing happens to an image
// without a palette.
void RemapToPalette(TmyImagePal& image, TDither dither);

// The dithered refit to the image's own palette: the image drawn opaquely on
// black (pixels of alpha 128 or less stay black) and reduced to the palette with
// Floyd-Steinberg error diffusion; each pixel takes the resulting colour (alpha
// kept). Nothing happens to an image without a palette.
void DitherToPalette(TmyImagePal& image, TBitDepth bits);

}  // namespace velto
