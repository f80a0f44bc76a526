#pragma once
// Colour reduction: any bitmap to a new 8-bit palette bitmap. A reduction method
// chooses the palette (fixed tables, an octree palette of the picture, or one the
// caller gives), a colour lookup maps a colour to a palette index, and a dither
// engine walks the pixels in serpentine order, spreading each pixel's error over
// its neighbours with one of six kernels. All error arithmetic is integer.
//
// The GIF codec reduces true-colour frames with it; the colour-depth change
// dithers an image to its own palette with it (given palette, Floyd-Steinberg).
#include <cstdint>
#include <span>
#include <stdexcept>

#include "platform/Bitmap.h"

namespace velto {

// Every error the GIF codec raises; the reducer is its lowest part.
class GIFException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TReductionMethod : std::uint8_t {
    crNone = 0,          // a 24-bit copy
    crSystem20 = 1,      // the 20 static system colours
    crHalftone = 2,      // a fixed 256-colour table
    crGray4 = 3,         // 0x00, 0x80, 0xC0, 0xFF
    crBlackWhite = 4,
    crGray256 = 5,
    crWeb216 = 6,        // the 6x6x6 cube, levels 0, 51, ..., 255
    crOctree = 7,        // octree palette of the picture, 2^ReductionBits colours
    crOctreeSystem = 8,  // octree palette of 236 colours between the system colours
    crGivenPalette = 9,  // the caller's palette
};

enum class TDitherKind : std::uint8_t {
    dtNone = 0,
    dtFloydSteinberg = 1,
    dtStucki = 2,
    dtSierra = 3,
    dtJaJuNi = 4,
    dtSteveArche = 5,
    dtBurkes = 6,
};

// ReductionBits is taken into 1..8 (more than 256 colours would not fit an 8-bit
// bitmap); only crOctree reads it.
inline constexpr int kMinReductionBits = 1;
inline constexpr int kMaxReductionBits = 8;

// A new bitmap: 8 bits per pixel, its colour table the method's palette (entries
// beyond the palette black), each pixel an index into it. crNone gives a 24-bit
// copy instead. An unknown method or dither kind, or an empty palette, gives an
// empty bitmap. The source is not changed. Throws GIFException ("Invalid image
// dimensions") for a source without pixels, and GIFException ("Failed to
// allocate memory for GIF DIB") when the result cannot be allocated.
TBitmap ReduceColors(const TBitmap& bitmap, TReductionMethod method, TDitherKind dither, int reductionBits,
                     std::span<const TPaletteEntry> customPalette = {});

// The fixed palettes of the methods. Entries carry the no-collapse flag (4),
// except those of the web palette (0).
TPaletteEntries CreateSystemPalette();          // 20 entries
TPaletteEntries CreateScreenHalftonePalette();  // 256 entries
TPaletteEntries CreateGrayScale4Palette();
TPaletteEntries CreateMonochromePalette();
TPaletteEntries CreateGrayScalePalette();
TPaletteEntries CreateWebPalette();

// An octree palette of a picture (rows fed from the top, 24-bit view of the
// bitmap) with `colors` entries (taken into 1..256): the octree's colours from
// index 0, the rest black. With `windows` set: 256 entries, the first and last
// ten system colours at 0-9 and 246-255 and at most 236 octree colours from 10.
TPaletteEntries CreateOptimizedPaletteFromSingleBitmap(const TBitmap& bitmap, int colors, int colorBits, bool windows);

}  // namespace velto
