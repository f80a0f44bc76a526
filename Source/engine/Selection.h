#pragma once
// The floating selection: a block of pixels lifted out of an image, pasted
// from the clipboard or typed with the text tool, that floats over its
// document window until it is dropped. The image under it changes only at the
// drop. There is one per program; the shell keeps it and shows it in the
// owner window's selection frame.
//
// Image is what shows and drops; BaseImage is what was lifted, pasted or
// typed, and every resize starts again from it, so repeated resizes lose
// nothing.
#include <cstdint>
#include <functional>

#include "engine/Adjust.h"
#include "engine/ColorDepth.h"
#include "engine/Line.h"
#include "engine/PixelBuffers.h"
#include "model/Image.h"
#include "model/Palette.h"

namespace velto {

// Image pixels Left..Right-1 by Top..Bottom-1.
struct TSelRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    friend bool operator==(const TSelRect&, const TSelRect&) = default;
};

// The block between two corners, both included, in any order.
TSelRect RectBetween(TPoint a, TPoint b);

class tmyselection {
public:
    // Empty, in front, with a 1 x 1 image of 8 bits and a 1 x 1 stored image of 32.
    tmyselection();

    // Composited over the image (true) or under it.
    bool InFront = true;
    // The pixels as lifted, pasted or typed (32 bits).
    TmyImagePal BaseImage;
    // The pixels as shown and dropped: BaseImage or a resampled copy.
    TmyImagePal Image;
    // Where the block was taken; empty means no selection.
    TSelRect Rect;
    // Slot (1..30) of the owning document window; 0 none.
    std::uint8_t Owner = 0;

    void SetRect(int left, int top, int right, int bottom) { Rect = {left, top, right, bottom}; }
    // No selection any more; the images and the owner stay.
    void Clear() { Rect = {}; }
    bool IsEmpty() const { return Rect.IsEmpty(); }
    // The stored (unresized) size.
    int GetWidth() const { return BaseImage.Width(); }
    int GetHeight() const { return BaseImage.Height(); }

    // Image and BaseImage become copies of Rect's pixels of source (32 bits,
    // no palette). Rect is first cut to source, so nothing is read outside it.
    void Lift(const TmyImagePal& source);
    // Image and BaseImage become pixels (taken at 32 bits without palette), in front.
    void Take(const TmyImagePal& pixels);
    // Image := BaseImage resampled to w x h.
    void Resize(int w, int h);
    // Image composited into dest with its top-left on (x, y); positions
    // outside dest are skipped. In front: over dest, blended when
    // transparentSelection is set (else replacing, transparent pixels too);
    // behind: under dest. Below 32 bits the result's alpha becomes 0 or 255
    // (above 128); a transparent result is transparent black.
    TDirtyRect PasteTo(int x, int y, TmyImagePal& dest, bool transparentSelection) const;
};

// True as soon as a pixel of image, taken as opaque, is no entry of palette.
bool HasColorOutsidePalette(const TmyImage& image, const TmyPalette& palette);

// Every pixel of rect (cut to the image) becomes transparent black.
TDirtyRect ClearRect(TmyImagePal& image, const TSelRect& rect);

// What a drop reads of the settings.
struct TDropSettings {
    bool TransparentSelection = true;
    // "PaletteAction": 0 change the palette, 1 keep it, 2 ask.
    std::uint8_t PaletteAction = 2;
    TDither Dithering = TDither::On;
};

// How an indexed image settles after a drop: a new optimised palette for all
// its colours (Change), or its pixels fitted onto the palette it has (Keep).
// Images of 24 bits and more always take Change (which then only makes their
// pixels opaque at 24 bits). Keep when every colour of the selection is in the
// palette already; otherwise the setting, asking (ask) when it is 2.
TPaletteChoice DropPaletteChoice(const tmyselection& sel, const TmyImagePal& image, std::uint8_t paletteAction,
                                 const std::function<TPaletteChoice()>& ask);

// Whether the drop into image may ask its palette question (the selection
// tool's press ends first, so that no question opens under a held button).
bool DropMayAsk(const tmyselection& sel, const TmyImagePal& image, std::uint8_t paletteAction);

// The drop: the palette choice, the selection pasted with its top-left on
// (x, y), the selection cleared, the image settled by the choice. Nothing (and
// Keep) when the selection is empty.
TPaletteChoice DropSelection(tmyselection& sel, TmyImagePal& image, int x, int y, const TDropSettings& settings,
                             const std::function<TPaletteChoice()>& ask);

}  // namespace velto
