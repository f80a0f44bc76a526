#pragma once
// Routines that move the pixels of one frame in place: flips, quarter turns,
// shifts by whole pixels, area-averaging resize and free rotation with
// bilinear sampling. The resampler and the rotation also work on plain pixel
// buffers (the import code calls them on its own pictures).
//
// Sizes are ImageSize values, never a bare width and height pair.
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/PixelBuffers.h"
#include "model/Image.h"
#include "platform/Bitmap.h"

namespace velto {

// Hotspot, Rate, palette and depth stay.
void FlipHorizontal(TmyImagePal& image);
void FlipVertical(TmyImagePal& image);

// Width and height swap; the hotspot turns with the pixels, Rate, palette and
// depth stay, the zoom follows the new size.
void RotateLeft90(TmyImagePal& image);   // counter-clockwise
void RotateRight90(TmyImagePal& image);  // clockwise

// The content moves by n pixels; the vacated columns or rows become
// transparent black. Hotspot, Rate and palette stay.
void ShiftImageLeft(TmyImagePal& image, std::uint8_t n);
void ShiftImageRight(TmyImagePal& image, std::uint8_t n);
void ShiftImageUp(TmyImagePal& image, std::uint8_t n);
void ShiftImageDown(TmyImagePal& image, std::uint8_t n);

// Resamples the image to the size (each side taken into 1..MaxResampleSide).
// The hotspot scales with it (truncating). Below 32 bits alpha snaps to 0 or
// 255 at 128; a transparent pixel ends as (0, 0, 0, 0). The palette is left
// alone (a caller that needs palette colours refits them).
inline constexpr int MaxResampleSide = 65535;
void ResizeFrame(TmyImagePal& image, ImageSize newSize);

// Fills target from source by area averaging. A transparent source pixel
// lends the average colour of the visible pixels of its box (its alpha still
// counts as 0). Colours are truncated, alpha rounded (halves to even). Sums
// are kept in double precision, so a uniform colour stays uniform at any
// pair of sizes. Nothing happens when either buffer is empty.
void ResampleBitmap(TConstPixelsView source, TPixelsView target);

// The same from a source read row by row (a picture too large to copy, made
// from its decoder's pixels): row(y) gives row y's pixels, valid until the
// next call; rows are asked for in order, each a few times at most. Only the
// target pixels inside targetArea are written (the others keep theirs), and
// only the source rows they need are read.
using TRowReader = std::function<const TmyPixel*(int y)>;
void ResampleRows(ImageSize source, const TRowReader& row, TPixelsView target, TRect targetArea);

// The target pixels whose value ResampleBitmap takes (in part) from the
// source pixels inside sourceArea: what to resample again after they changed.
TRect ResampledArea(ImageSize source, ImageSize target, TRect sourceArea);

// Both for one pair of sizes, the boxes worked out once (a picture whose
// small changes are followed one after the other).
class TBoxResampler {
public:
    TBoxResampler(ImageSize source, ImageSize target);
    void Resample(const TRowReader& row, TPixelsView target, TRect targetArea) const;
    TRect AreaOf(TRect sourceArea) const;

private:
    // The source pixels under one target column (or row) and their coverage.
    struct Span {
        int first = 0;
        int last = 0;                 // inclusive
        std::vector<double> weights;  // one per covered pixel
    };
    static std::vector<Span> Spans(int sourceSide, int targetSide);
    ImageSize source_, target_;
    std::vector<Span> xs_, ys_;
    double scale_ = 0;
};

// Rotates the content by angle degrees about (cx, cy) inside the same frame;
// what turns out of the frame is lost and uncovered corners become
// transparent. Size, hotspot, Rate and palette stay; alpha as ResizeFrame.
void RotateImage(TmyImagePal& image, int cx, int cy, double angle);

// Writes every target pixel whose rotated position falls inside the source
// with the source sampled there (bilinear, 16.16 fixed point; transparent
// neighbours lend the visible ones' average colour); other target pixels keep
// what they held. At 0 degrees with equal sizes the target is an exact copy.
void RotateBitmapSmooth(TConstPixelsView source, TPixelsView target, int cx, int cy, long double angle);

}  // namespace velto
