#include "CanvasRender.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Options.h"
#include "engine/Line.h"
#include "engine/PixelBuffers.h"

namespace velto {

// ---------------------------------------------------------------- the engine's routines

TCheckerboard CheckerboardFromOptions() {
    const TOptions& o = Options();
    TCheckerboard board;
    board.CellSize = o.BKSize;
    board.Color1 = o.BKColor1;
    board.Color2 = o.BKColor2;
    return board;
}

QImage RenderImage(const TmyImagePal& image, TColor back) {
    TRgbBuffer rgb;
    PaintImage(image, rgb, back);
    // The engine's rows are the toolkit's RGB888 rows; the screen draws RGB32 fastest.
    return QImage(rgb.Bytes.data(), rgb.Width, rgb.Height, rgb.Stride(), QImage::Format_RGB888)
        .convertToFormat(QImage::Format_RGB32);
}

// ---------------------------------------------------------------- canvas

TGridLook TGridLook::FromOptions() {
    const TOptions& o = Options();
    TGridLook g;
    g.visible = o.GridVisible;
    g.style = o.GridStyle <= 2 ? static_cast<GridStyle>(o.GridStyle) : GridStyle::Dots;
    g.color = o.GridColor;
    return g;
}

namespace {

inline QRgb Shown(const TmyPixel& p, TColor back) { return QRgbOf(PixelOverColor(TmyPixel::CreateColor(back), p)); }

// Canvas columns x0..x1-1 of one row: a zoomed pixel shown over the
// checkerboard row whose parity is rowOdd. Cells are walked in runs.
inline void FillOverChecker(QRgb* row, int x0, int x1, int hpos, int cell, bool rowOdd, QRgb c1, QRgb c2) {
    int x = x0;
    while (x < x1) {
        const int vx = x + hpos;
        const int cellEnd = std::min(x1, (vx / cell + 1) * cell - hpos);
        const bool odd = ((vx / cell) & 1) != 0;
        const QRgb c = odd == rowOdd ? c2 : c1;
        std::fill(row + x, row + cellEnd, c);
        x = cellEnd;
    }
}

// Columns x0..x1-1 of one canvas row showing pixel p.
inline void FillPixelRun(QRgb* row, int x0, int x1, const TmyPixel& p, int hpos, const TCheckerboard& checker,
                         bool rowOdd, bool blend) {
    const int cell = checker.Cell();
    if (p.A == 255 || (!blend && p.A != 0)) {
        std::fill(row + x0, row + x1, qRgb(p.R, p.G, p.B));
    } else if (p.A == 0) {
        FillOverChecker(row, x0, x1, hpos, cell, rowOdd, QRgbOf(checker.Color1), QRgbOf(checker.Color2));
    } else {
        FillOverChecker(row, x0, x1, hpos, cell, rowOdd, Shown(p, checker.Color1), Shown(p, checker.Color2));
    }
}

}  // namespace

QRect ImagePixelRect(int x, int y, const TCanvasGeometry& geo) {
    return QRect(x * geo.zoom - geo.hpos, y * geo.zoom - geo.vpos, geo.zoom, geo.zoom);
}

void PaintCanvasRect(QImage& canvas, const TmyImagePal& image, QRect rect, const TCanvasGeometry& geo,
                     const TCheckerboard& checker, bool blend) {
    const int zoom = std::max(1, geo.zoom);
    const int cell = checker.Cell();
    // The zoomed image in canvas coordinates bounds what is painted.
    const QRect zoomed(-geo.hpos, -geo.vpos, image.Width() * zoom, image.Height() * zoom);
    rect = rect.intersected(canvas.rect()).intersected(zoomed);
    if (rect.isEmpty()) return;
    const int x0 = rect.left(), x1 = rect.right() + 1;
    const std::size_t spanBytes = static_cast<std::size_t>(x1 - x0) * sizeof(QRgb);

    int prevImageRow = -1;
    bool prevOdd = false;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const int vy = y + geo.vpos;
        const int iy = vy / zoom;
        const bool rowOdd = ((vy / cell) & 1) != 0;
        auto* row = reinterpret_cast<QRgb*>(canvas.scanLine(y));
        // A row repeats the one above while both the image row and the
        // checkerboard row stay the same.
        if (iy == prevImageRow && rowOdd == prevOdd) {
            std::memcpy(row + x0, reinterpret_cast<const QRgb*>(canvas.constScanLine(y - 1)) + x0, spanBytes);
            continue;
        }
        prevImageRow = iy;
        prevOdd = rowOdd;
        const TmyPixel* src = image.Row(iy).data();
        int x = x0;
        while (x < x1) {
            const int vx = x + geo.hpos;
            const int ix = vx / zoom;
            const int runEnd = std::min(x1, (ix + 1) * zoom - geo.hpos);
            FillPixelRun(row, x, runEnd, src[ix], geo.hpos, checker, rowOdd, blend);
            x = runEnd;
        }
    }
}

void PaintCanvasPixel(QImage& canvas, QRect rect, const TmyPixel& pixel, const TCanvasGeometry& geo,
                      const TCheckerboard& checker, bool blend) {
    rect = rect.intersected(canvas.rect());
    const int cell = checker.Cell();
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const bool rowOdd = (((y + geo.vpos) / cell) & 1) != 0;
        FillPixelRun(reinterpret_cast<QRgb*>(canvas.scanLine(y)), rect.left(), rect.right() + 1, pixel, geo.hpos,
                     checker, rowOdd, blend);
    }
}

void DrawCanvasGrid(QImage& canvas, QRect clip, const TCanvasGeometry& geo, const TGridLook& grid) {
    const int zoom = geo.zoom;
    if (!grid.visible || zoom <= 1) return;
    clip = clip.intersected(canvas.rect());
    if (clip.isEmpty()) return;
    const QRgb color = QRgbOf(grid.color);
    const int left = clip.left(), right = clip.right(), top = clip.top(), bottom = clip.bottom();
    // The first line at or after position `from` of lines placed at first,
    // first + step, ...
    auto firstAtOrAfter = [](int first, int step, int from) {
        if (first >= from) return first;
        return first + (from - first + step - 1) / step * step;
    };
    // The first line at or right of the canvas edge: an edge between two
    // pixels, never the image's own first edge. So a canvas scrolled to a
    // pixel border shows the line at its edge, as the same canvas scrolled
    // there step by step does.
    auto first = [](int pos, int step) {
        const int off = pos % step;
        return off ? step - off : (pos > 0 ? 0 : step);
    };
    const int firstCol = first(geo.hpos, zoom);
    const int firstRow = first(geo.vpos, zoom);
    if (grid.style == GridStyle::Solid) {
        for (int y = firstAtOrAfter(firstRow, zoom, top); y <= bottom; y += zoom) {
            auto* row = reinterpret_cast<QRgb*>(canvas.scanLine(y));
            std::fill(row + left, row + right + 1, color);
        }
        for (int y = top; y <= bottom; ++y) {
            auto* row = reinterpret_cast<QRgb*>(canvas.scanLine(y));
            for (int x = firstAtOrAfter(firstCol, zoom, left); x <= right; x += zoom) row[x] = color;
        }
        return;
    }
    // Dots every s pixels, placed at virtual multiples of s.
    const int s = grid.style == GridStyle::Dashed ? 2 : zoom;
    const int dotCol = first(geo.hpos, s);
    const int dotRow = first(geo.vpos, s);
    for (int y = firstAtOrAfter(firstRow, zoom, top); y <= bottom; y += zoom) {
        auto* row = reinterpret_cast<QRgb*>(canvas.scanLine(y));
        for (int x = firstAtOrAfter(dotCol, s, left); x <= right; x += s) row[x] = color;
    }
    for (int y = firstAtOrAfter(dotRow, s, top); y <= bottom; y += s) {
        auto* row = reinterpret_cast<QRgb*>(canvas.scanLine(y));
        for (int x = firstAtOrAfter(firstCol, zoom, left); x <= right; x += zoom) row[x] = color;
    }
}

void ShiftCanvas(QImage& canvas, int dx, int dy) {
    const int w = canvas.width(), h = canvas.height();
    if (canvas.isNull() || (dx == 0 && dy == 0) || std::abs(dx) >= w || std::abs(dy) >= h) return;
    const int cols = w - std::abs(dx);
    const int srcX = dx < 0 ? -dx : 0, dstX = dx > 0 ? dx : 0;
    auto moveRow = [&](int from, int to) {
        std::memmove(reinterpret_cast<QRgb*>(canvas.scanLine(to)) + dstX,
                     reinterpret_cast<const QRgb*>(canvas.constScanLine(from)) + srcX,
                     static_cast<std::size_t>(cols) * sizeof(QRgb));
    };
    if (dy > 0) {
        for (int y = h - 1; y >= dy; --y) moveRow(y - dy, y);
    } else {
        for (int y = 0; y < h + dy; ++y) moveRow(y - dy, y);
    }
}

}  // namespace velto
