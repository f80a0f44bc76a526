// Tag bitmaps, the shape rasteriser and the brush tips.
#include "engine/TagBitmap.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace velto {

TTagBitmap::TTagBitmap(int width, int height)
    : W(std::max(width, 0)), H(std::max(height, 0)), Data(static_cast<std::size_t>(W) * static_cast<std::size_t>(H)) {}

void TTagBitmap::Fill(TTag tag) { std::fill(Data.begin(), Data.end(), tag); }

namespace {

// A box of pixels with elliptic corners of the given diameters (0: square).
// A pixel is inside when its centre is: inside the box, and inside the
// corner ellipse where it lies in a corner. The ellipses are taken a tenth of
// a pixel smaller than the box so that small round figures come out round
// (a 3 x 3 circle is a plus, not a square); the central row and column are
// always inside.
struct TFigure {
    long long L, T, W, H, CW, CH;

    bool Contains(long long x, long long y) const {
        if (W <= 0 || H <= 0) return false;
        if (x < L || y < T || x >= L + W || y >= T + H) return false;
        if (CW <= 0 || CH <= 0) return true;
        // Doubled coordinates from the box centre, so that pixel centres are integers.
        const long long ex = std::llabs(2 * x + 1 - (2 * L + W));
        const long long ey = std::llabs(2 * y + 1 - (2 * T + H));
        const long long sx = W - CW;  // doubled half-length of the straight edges
        const long long sy = H - CH;
        // The pixels on the central row and column belong to it: a figure
        // always spans its whole box, however narrow.
        if (ex <= sx || ey <= sy || ex <= 1 || ey <= 1) return true;
        const long long qx = 5 * (ex - sx), qy = 5 * (ey - sy);
        const long long rx = 5 * CW - 1, ry = 5 * CH - 1;  // doubled radii less 0.2, times 5
        return qx * qx * ry * ry + qy * qy * rx * rx <= rx * rx * ry * ry;
    }
};

TFigure Grown(const TFigure& f, long long by) {
    const auto corner = [by](long long d) { return d > 0 ? std::max<long long>(d + 2 * by, 0) : 0; };
    return {f.L - by, f.T - by, f.W + 2 * by, f.H + 2 * by, corner(f.CW), corner(f.CH)};
}

}  // namespace

void DrawShapeTag(TTagBitmap& bitmap, TShapeKind kind, const TShapeBox& box, TTag pen, int penWidth,
                  std::optional<TTag> brush) {
    if (box.Width <= 0 || box.Height <= 0) return;
    const long long p = std::max(penWidth, 1);
    TFigure nominal{box.Left, box.Top, box.Width, box.Height, 0, 0};
    if (kind == TShapeKind::Ellipse) {
        nominal.CW = box.Width;
        nominal.CH = box.Height;
    } else if (kind == TShapeKind::RoundRect) {
        nominal.CW = std::clamp(box.CornerWidth, 0, box.Width);
        nominal.CH = std::clamp(box.CornerHeight, 0, box.Height);
    }
    // The pen: p div 2 pixels outside the edge pixels, the rest inside.
    const TFigure outer = Grown(nominal, p / 2);
    const TFigure inner = Grown(nominal, -((p - 1) / 2 + 1));
    const auto onRing = [&](long long x, long long y) {
        if (!outer.Contains(x, y)) return false;
        if (!(inner.Contains(x, y) && nominal.Contains(x, y))) return true;
        // The outer figure's own edge always belongs to the ring, so it never has gaps.
        return !outer.Contains(x - 1, y) || !outer.Contains(x + 1, y) || !outer.Contains(x, y - 1) ||
               !outer.Contains(x, y + 1);
    };
    const int x0 = static_cast<int>(std::max<long long>(outer.L, 0));
    const int y0 = static_cast<int>(std::max<long long>(outer.T, 0));
    const int x1 = static_cast<int>(std::min<long long>(outer.L + outer.W, bitmap.Width()));
    const int y1 = static_cast<int>(std::min<long long>(outer.T + outer.H, bitmap.Height()));
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            if (onRing(x, y))
                bitmap.At(x, y) = pen;
            else if (brush && nominal.Contains(x, y))
                bitmap.At(x, y) = *brush;
        }
}

TTagBitmap ShapeTagBitmap(TShapeKind kind, int w, int h, int brushSize, TFillStyle style, TTagColor outline) {
    w = std::max(w, 1);
    h = std::max(h, 1);
    TTagBitmap b(w + 6, h + 6);
    const TTag pen = TagOf(outline);
    std::optional<TTag> brush;
    if (style == TFillStyle::OutlineAndFill) brush = TagOf(OtherTag(outline));
    if (style == TFillStyle::Filled) brush = pen;
    const int penWidth = (w == 1 && h == 1 && brushSize == 1) ? 2 : brushSize;
    DrawShapeTag(b, kind, {3, 3, w, h, w / 3, w / 3}, pen, penWidth, brush);
    return b;
}

namespace {

std::size_t TipIndex(TBrushShape shape, TTagColor color, int size) {
    const int k = static_cast<int>(shape) - 1 + (color == TTagColor::Secondary ? 4 : 0);
    return static_cast<std::size_t>(k * TBrushTips::MaxSize + (size - 1));
}

}  // namespace

TBrushTips::TBrushTips() {
    for (int s = 1; s <= MaxSize; ++s)
        for (TTagColor color : {TTagColor::Primary, TTagColor::Secondary}) {
            const TTag tag = TagOf(color);
            for (TBrushShape shape : {TBrushShape::Square, TBrushShape::Round, TBrushShape::RisingDiagonal,
                                      TBrushShape::FallingDiagonal}) {
                TTagBitmap tip(s, s);
                switch (shape) {
                    case TBrushShape::Square:
                        tip.Fill(tag);
                        break;
                    case TBrushShape::Round:
                        DrawShapeTag(tip, TShapeKind::Ellipse, {0, 0, s, s, 0, 0}, tag, 1, tag);
                        if (s <= 2) tip.Fill(tag);  // the smallest round tips are squares
                        break;
                    case TBrushShape::RisingDiagonal:  // top right to bottom left
                        for (int k = 0; k < s; ++k) tip.At(s - 1 - k, k) = tag;
                        break;
                    case TBrushShape::FallingDiagonal:
                        for (int k = 0; k < s; ++k) tip.At(k, k) = tag;
                        break;
                }
                Tips[TipIndex(shape, color, s)] = std::move(tip);
            }
        }
}

const TTagBitmap& TBrushTips::Tip(TBrushShape shape, TTagColor color, int size) const {
    if (static_cast<int>(shape) < 1 || static_cast<int>(shape) > 4) shape = TBrushShape::Square;
    return Tips[TipIndex(shape, color, std::clamp(size, 1, MaxSize))];
}

}  // namespace velto
