#pragma once
// The pixel loops of the document canvas: the visible part of the zoomed
// image over the transparency checkerboard, the grid, the shift of a scrolled
// canvas, and the thumbnails of the side bar. Plain functions on QImage
// buffers (Format_RGB32), no widgets, so that they are tested and measured on
// their own.
//
// Coordinates: canvas pixels are those of the bitmap; virtual coordinates add
// the scroll positions; an image pixel is a virtual coordinate div the zoom.
#include <QImage>
#include <QRect>

#include <cstdint>

#include "engine/Composite.h"
#include "model/Image.h"
#include "model/Pixel.h"
#include "platform/Color.h"

namespace velto {

// ---- The pixel engine's routines in the canvas's form: settings read from
// Options, Qt pictures (Format_RGB32) as targets.

// The transparency checkerboard of the settings ("BKSize", "Color1", "Color2").
TCheckerboard CheckerboardFromOptions();

// The image one pixel per pixel over back, as the engine renders it.
QImage RenderImage(const TmyImagePal& image, TColor back);

constexpr QRgb QRgbOf(TColor c) { return qRgb(ColorR(c), ColorG(c), ColorB(c)); }

// ---- Canvas.

// Where the canvas shows the zoomed image.
struct TCanvasGeometry {
    int zoom = 1;  // 1..100 screen pixels per image pixel
    int hpos = 0;  // scroll positions: the virtual coordinates of canvas (0, 0)
    int vpos = 0;

    // The parts of a zoomed pixel cut off at the left and top edges.
    int HorzOffset() const { return hpos % zoom; }
    int VertOffset() const { return vpos % zoom; }
};

enum class GridStyle : std::uint8_t { Solid = 0, Dashed = 1, Dots = 2 };

struct TGridLook {
    bool visible = false;
    GridStyle style = GridStyle::Dashed;
    TColor color = MakeColor(192, 192, 192);

    // From the settings (Grid Visible, Style, Color...); a style byte outside
    // 0..2 draws dots, as the highest style does.
    static TGridLook FromOptions();
};

// Paints rect (canvas coordinates, clipped to the bitmap and to the zoomed
// image) with the image's pixels. With blend, partly transparent pixels are
// blended over the checkerboard at their virtual coordinates; without it
// (images below 32 bits, whose pixels are opaque or transparent) every pixel
// with alpha above 0 shows its own colour. Transparent pixels always show the
// checkerboard.
void PaintCanvasRect(QImage& canvas, const TmyImagePal& image, QRect rect, const TCanvasGeometry& geo,
                     const TCheckerboard& checker, bool blend = true);

// Fills rect (canvas coordinates, clipped to the bitmap) with one pixel shown
// as PaintCanvasRect shows it: the repaint of a single zoomed pixel.
void PaintCanvasPixel(QImage& canvas, QRect rect, const TmyPixel& pixel, const TCanvasGeometry& geo,
                      const TCheckerboard& checker, bool blend);

// The grid within clip: nothing at zoom 1 or when it is hidden. Solid lines,
// or dots every 2 pixels (dashed) or at the pixel corners (dots), on the
// edges between zoomed pixels; the image's own left and top edge get none.
void DrawCanvasGrid(QImage& canvas, QRect clip, const TCanvasGeometry& geo, const TGridLook& grid);

// Moves the bitmap's content by (dx, dy) pixels; the uncovered strip keeps
// stale pixels for the caller to repaint.
void ShiftCanvas(QImage& canvas, int dx, int dy);

// The canvas rectangle covering image pixel (x, y) at the geometry.
QRect ImagePixelRect(int x, int y, const TCanvasGeometry& geo);

}  // namespace velto
