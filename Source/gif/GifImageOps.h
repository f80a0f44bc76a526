#pragma once
// What a GIF image offers as a picture beyond reading and writing: adding
// frames from bitmaps, copying another image, changing the logical screen's
// size, and optimizing the frames before saving.
#include <cstdint>

#include "gif/GifImage.h"

namespace velto {

inline constexpr const char* sGIFInvalidReduction = "Invalid reduction method";
inline constexpr const char* sGIFCopying = "Copying...";
inline constexpr const char* sGIFOptimizing = "Optimizing...";

// A new last frame taken from bitmap (colours reduced as the image's
// settings say when it has more than 8 bits per pixel); its index. The
// logical screen grows to hold it.
int GIFAddBitmap(TGIFImage& image, const TBitmap& bitmap);
// The image becomes one frame taken from bitmap.
void GIFAssignBitmap(TGIFImage& image, const TBitmap& bitmap);

// dest becomes a copy of source: header, every frame, and the drawing
// settings (DrawOptions, ColorReduction, DitherMode, FixedFrame,
// PaintBackgroundColor, ThreadPriority; not ReductionBits, Compression or
// AnimationSpeed). Progress ("Copying...") and warnings go to source's
// handlers while it copies; dest's handlers are left empty.
void GIFAssignImage(TGIFImage& dest, const TGIFImage& source);

// The logical screen's width or height; raises "Image width too small for
// contained frames" ("... height ...") when a frame reaches beyond it, the
// size then unchanged. Values are taken into 0..65535.
void GIFSetWidth(TGIFImage& image, int width);
void GIFSetHeight(TGIFImage& image, int height);

enum : std::uint8_t {
    ooTrim = 0x01,        // cut transparent borders of frames; drop frames that become empty
    ooBlank = 0x02,       // make pixels that repeat the frame before transparent
    ooTidy = 0x04,        // drop what changes nothing: unused transparency, disposals, comments...
    ooSortColors = 0x08,  // sort and trim every colour map by use
    ooReduce = 0x10,      // only checked: no colour reduction is done here
};

// Optimizes the frames with the options (a set of the values above); an
// empty image is left alone without progress. Raises "Invalid reduction
// method" for ooReduce with method 9 without ooTidy, before changing anything.
void GIFOptimize(TGIFImage& image, std::uint8_t options, TReductionMethod method = TReductionMethod::crNone,
                 TDitherKind dither = TDitherKind::dtNone, int reductionBits = 8);

}  // namespace velto
