#pragma once
// The one place where the drawing tools touch pixels: the pixel writers, the
// flood fill and the brush-tip strokes. The tools call them with image
// coordinates once per mouse event; positions outside the image are skipped.
//
// A stroke paints on a TPaintTarget: the current image of a document window
// and the copy of it taken at the press (the stroke snapshot). Writers that
// composite read the snapshot, so the dabs of one stroke never build up; the
// brighten/darken and opacity strokes read the image and do. Every writer
// reports the pixels it changed in the target's dirty rectangles, which the
// window turns into one repaint of the canvas and of the preview pane.
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/Line.h"
#include "engine/PixelBuffers.h"
#include "engine/TagBitmap.h"
#include "model/Image.h"
#include "model/Pixel.h"

namespace velto {

struct TPaintTarget {
    explicit TPaintTarget(TmyImagePal& image, const TmyImage* snapshot = nullptr) : Image(image), Snapshot(snapshot) {}

    TmyImagePal& Image;
    // The image as it was at the press, of the image's size; without one,
    // SetPixel, BlendPixel and FilterStroke do nothing.
    const TmyImage* Snapshot = nullptr;
    // The active window's image: its changes also show on the preview pane.
    bool Active = true;
    TDirtyRect Canvas;
    TDirtySpans CanvasRows;  // the same pixels row by row
    TDirtyRect Preview;
};

// How one written pixel meets the edge of a soft brush.
enum class TSoftEdge : std::int8_t { Erase = -1, Full = 0, Soft = 1 };

// The colours of the two mouse buttons.
struct TStrokeColors {
    TmyPixel Primary;
    TmyPixel Secondary;
};

enum class TBrushEdges : std::uint8_t { Hard, Smooth };

// The pixel at (x, y); (0, 0, 0, 0) outside the image.
TmyPixel GetPixel(const TmyImage& image, int x, int y);

// Stores the colour (transparent ones as transparent black). Below 32 bits an
// alpha of 128 or more is stored as 255, a lower one as transparent black.
void SetPixel(TPaintTarget& target, int x, int y, TmyPixel color);

// Composites the colour over the snapshot's pixel and stores it when that
// changes the image. Erase takes 70 % of the snapshot pixel's alpha away,
// Soft 30 % of the colour's; a soft edge never touches a pixel this stroke
// already changed. Below 24 bits every visible colour is stored opaque and no
// compositing happens; at 24 bits the result is made opaque.
void BlendPixel(TPaintTarget& target, int x, int y, TmyPixel color, TSoftEdge mode);

// The same into a floating selection's pixels, over transparent black,
// without a snapshot and without repaints.
void PaintSelectionPixel(TmyImagePal& selection, int x, int y, TmyPixel color, TSoftEdge mode);

// BlendPixel(newColor, Full) when the pixel equals match (alpha included).
void ReplacePixelIf(TPaintTarget& target, int x, int y, const TmyPixel& match, const TmyPixel& newColor);

// Sets the 4-connected region of pixels equal to targetColor around (x, y) to
// fillColor, each pixel once. Nothing unless (x, y) is inside, equals
// targetColor and differs from fillColor.
void FloodFill(TPaintTarget& target, int x, int y, const TmyPixel& fillColor, const TmyPixel& targetColor);

// The tip's top-left pixel lands on (x, y). A red byte below 200 paints the
// primary colour, a green byte below 200 then the secondary one. Smooth edges
// paint the tip's border pixels softly (Erase where that colour is
// transparent).
void PaintTipStroke(TPaintTarget& target, int x, int y, const TTagBitmap& tip, const TStrokeColors& colors,
                    TBrushEdges edges);
void PaintTipToSelection(TmyImagePal& selection, int x, int y, const TTagBitmap& tip, const TStrokeColors& colors,
                         TBrushEdges edges);

// Red byte 0: R, G, B + 3 (at most 255); green byte 0: - 3 (at least 0).
void ToneStroke(TPaintTarget& target, int x, int y, const TTagBitmap& tip);
// Red byte 0: the snapshot's pixel through the "Blur" kernel; green byte 0:
// through "Sharpen".
void FilterStroke(TPaintTarget& target, int x, int y, const TTagBitmap& tip, bool filterOnAlpha);
// Either byte 0: the pixel's alpha := alpha.
void OpacityStroke(TPaintTarget& target, int x, int y, const TTagBitmap& tip, std::uint8_t alpha);
// Red byte 0: a pixel equal to the primary colour becomes the secondary one;
// green byte 0: the other way round.
void ReplaceColorStroke(TPaintTarget& target, int x, int y, const TTagBitmap& tip, const TStrokeColors& colors);

// A uniform integer in 0..k-1 (k >= 1).
using TRandomSource = std::function<int(int k)>;

// The dots of one spray event around (x, y): size - size div 2 of them in the
// size x size square centred there, x then y drawn from random for each dot,
// each coordinate at most 255.
std::vector<TPoint> SprayDots(int x, int y, int brushSize, const TRandomSource& random);

}  // namespace velto
