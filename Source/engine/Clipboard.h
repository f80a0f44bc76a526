#pragma once
// The image clipboard without the system clipboard. The clipboard carries
// plain bitmaps of red, green and blue: an image goes there flattened onto
// white. To keep transparency from a copy to a paste inside the program, the
// last image copied is remembered; a bitmap read back that is exactly its
// flattened form gets that image's alpha again.
//
// The fitting of a pasted picture into an image (centred when it fits, else
// resized, cropped or asked about) is the part of the picture import's
// conversion that the paste needs.
#include <cstdint>
#include <functional>
#include <optional>

#include "engine/PixelBuffers.h"
#include "model/Image.h"

namespace velto {

// The bitmap that carries image: transparent pixels white, partly
// transparent ones blended onto white, opaque ones their own colour.
TRgbBuffer ClipboardBitmap(const TmyImagePal& image);

// Same size and the same colour at every pixel.
bool SameBitmaps(const TRgbBuffer& a, const TRgbBuffer& b);

// A picture on its way into an image: pixels with straight alpha, and
// whether it came with an alpha channel (32 bits) at all.
struct TPicture {
    TmyImage Pixels{{1, 1}};
    bool HasAlpha = false;
};

// What the program remembers of its own copies.
class TClipboardMemory {
public:
    // Remembers image; returns the bitmap to put on the clipboard.
    TRgbBuffer Copy(const TmyImagePal& image);
    // The picture of a bitmap read from the clipboard: with the alpha of the
    // last copy when the bitmap is exactly what that copy put there; otherwise
    // an opaque picture. Before the first copy every bitmap is foreign.
    TPicture Picture(const TRgbBuffer& bitmap) const;
    const std::optional<TmyImagePal>& LastCopy() const { return lastCopy_; }

private:
    std::optional<TmyImagePal> lastCopy_;
    TRgbBuffer lastBitmap_;
};

// What to do with a picture larger than the room given: 0 resize it to fit,
// 1 crop its top-left corner, 2 the advanced import (not in this program: a
// resize), 3 ask (Ask answers 0, 1 or 2); any other value leaves the target
// as it was.
struct TFitRule {
    std::uint8_t Policy = 3;
    bool KeepAspectRatio = true;
    std::function<std::uint8_t()> Ask;
};

// The size a picture is resized to inside max: max's width and the height
// in proportion, unless that is too high (then max's height and the width in
// proportion); both of max without keepAspectRatio. A side of 0 becomes 1.
ImageSize FitSize(ImageSize picture, ImageSize max, bool keepAspectRatio);

// The picture resampled to FitSize inside target, centred; target's other
// pixels stay.
void ResizeToFit(const TmyImage& picture, TmyImagePal& target, bool keepAspectRatio);

// Target becomes size (transparent) and takes the picture's top-left corner,
// centred on an axis where the picture is smaller.
void CropTopLeft(const TmyImage& picture, TmyImagePal& target, ImageSize size);

// The picture into target. A picture without alpha (or, unless keepAlpha,
// with every alpha 0) becomes opaque. One that fits in max is centred in
// target; a target of 1 x 1 first takes the picture's size. A larger one
// follows rule. Pixels of alpha 0 land as transparent black. Always true:
// no step here can be cancelled.
bool BitmapToImage(TPicture picture, TmyImagePal& target, ImageSize max, bool keepAlpha, const TFitRule& rule);

}  // namespace velto
