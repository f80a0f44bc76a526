// Pixel writers, flood fill and brush-tip strokes.
#include "engine/Painter.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/Composite.h"
#include "engine/Filter.h"

namespace velto {

namespace {

bool Inside(const TmyImage& image, int x, int y) {
    return x >= 0 && y >= 0 && x < image.Width() && y < image.Height();
}

// A snapshot that does not match the image counts as none: reading it would
// go past its pixels.
const TmyImage* SnapshotOf(const TPaintTarget& t) {
    return t.Snapshot && t.Snapshot->Size() == t.Image.Size() ? t.Snapshot : nullptr;
}

void Store(TPaintTarget& t, int x, int y, const TmyPixel& p) {
    t.Image.At(x, y) = p;
    t.Canvas.Add(x, y);
    t.CanvasRows.Add(x, y);
    if (t.Active) t.Preview.Add(x, y);
}

// The alpha left after taking percent of it away (integer percent, truncating).
std::uint8_t Reduced(std::uint8_t a, int percent) { return static_cast<std::uint8_t>(a - a * percent / 100); }

// The tip rules shared by the paint strokes: which colours a tip pixel paints
// and how softly.
struct TTipPaint {
    bool primary = false;
    bool secondary = false;
    TSoftEdge mode = TSoftEdge::Full;
};

bool Tagged(const TTag& t) { return t.R <= 200 || t.G <= 200; }

TTipPaint TipPaint(const TTagBitmap& tip, int c, int r, const TStrokeColors& colors, TBrushEdges edges) {
    const TTag& p = tip.At(c, r);
    TTipPaint out{p.R < 200, p.G < 200, TSoftEdge::Full};
    if (edges != TBrushEdges::Smooth) return out;
    const bool inner = r != 0 && r != tip.Height() - 1 && c != 0 && c != tip.Width() - 1 &&
                       Tagged(tip.At(c, r - 1)) && Tagged(tip.At(c, r + 1)) && Tagged(tip.At(c - 1, r)) &&
                       Tagged(tip.At(c + 1, r));
    if (inner) return out;
    if (out.primary) out.mode = colors.Primary.A == 0 ? TSoftEdge::Erase : TSoftEdge::Soft;
    if (out.secondary) out.mode = colors.Secondary.A == 0 ? TSoftEdge::Erase : TSoftEdge::Soft;
    return out;
}

// Visits every tip pixel with its image position.
template <class F>
void ForTip(const TTagBitmap& tip, int x, int y, F&& f) {
    for (int r = 0; r < tip.Height(); ++r)
        for (int c = 0; c < tip.Width(); ++c) f(c, r, x + c, y + r);
}

}  // namespace

TmyPixel GetPixel(const TmyImage& image, int x, int y) {
    return Inside(image, x, y) ? image.At(x, y) : TmyPixel::Create();
}

void SetPixel(TPaintTarget& t, int x, int y, TmyPixel c) {
    if (!SnapshotOf(t) || !Inside(t.Image, x, y)) return;
    if (t.Image.BitCount < 32) c.A = c.A >= 128 ? 255 : 0;
    if (c.A == 0) c = TmyPixel::Create();
    Store(t, x, y, c);
}

void BlendPixel(TPaintTarget& t, int x, int y, TmyPixel p, TSoftEdge mode) {
    const TmyImage* snapshot = SnapshotOf(t);
    if (!snapshot || !Inside(t.Image, x, y)) return;
    const TmyPixel& s = snapshot->At(x, y);
    const TmyPixel i = t.Image.At(x, y);
    if (t.Image.BitCount < 24) {
        if (p.A != 0)
            p.A = 255;
        else
            p = TmyPixel::Create();
        if (p != i) Store(t, x, y, p);
        return;
    }
    if (mode == TSoftEdge::Erase) {
        p = s;
        p.A = Reduced(p.A, 70);
    } else {
        if (mode == TSoftEdge::Soft) p.A = Reduced(p.A, 30);
        AlphaBlendPixel(p, s, false);
    }
    if (t.Image.BitCount == 24 && p.A > 0) p.A = 255;
    if (p.A == 0) p = TmyPixel::Create();
    // A soft edge never touches a pixel this stroke already changed.
    if (mode != TSoftEdge::Full && i != s) return;
    if (p != i) Store(t, x, y, p);
}

void PaintSelectionPixel(TmyImagePal& sel, int x, int y, TmyPixel p, TSoftEdge mode) {
    if (!Inside(sel, x, y)) return;
    if (sel.BitCount < 24) {
        if (p.A != 0)
            p.A = 255;
        else
            p = TmyPixel::Create();
    } else {
        if (mode == TSoftEdge::Erase) p = TmyPixel::Create();
        if (mode == TSoftEdge::Soft) p.A = Reduced(p.A, 30);
        // Compositing over transparent black leaves the colour as it is.
        if (sel.BitCount == 24) p.A = p.A > 128 ? 255 : 0;
        if (p.A == 0) p = TmyPixel::Create();
    }
    sel.At(x, y) = p;
}

void ReplacePixelIf(TPaintTarget& t, int x, int y, const TmyPixel& match, const TmyPixel& newColor) {
    if (Inside(t.Image, x, y) && t.Image.At(x, y) == match) BlendPixel(t, x, y, newColor, TSoftEdge::Full);
}

void FloodFill(TPaintTarget& t, int x, int y, const TmyPixel& fillColor, const TmyPixel& targetColor) {
    TmyImagePal& img = t.Image;
    if (!Inside(img, x, y) || img.At(x, y) != targetColor || fillColor == targetColor) return;
    const int w = img.Width();
    const int h = img.Height();
    // A written pixel may still equal the target (below 32 bits a fill with
    // alpha under 128 is stored as transparent black): the visited tags, not
    // the colours, keep the fill from coming back.
    std::vector<std::uint8_t> visited(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    std::vector<TPoint> stack;
    stack.push_back({x, y});
    visited[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] = 1;
    while (!stack.empty()) {
        const TPoint p = stack.back();
        stack.pop_back();
        SetPixel(t, p.X, p.Y, fillColor);
        for (const TPoint n : {TPoint{p.X + 1, p.Y}, TPoint{p.X - 1, p.Y}, TPoint{p.X, p.Y + 1}, TPoint{p.X, p.Y - 1}}) {
            if (n.X < 0 || n.Y < 0 || n.X >= w || n.Y >= h) continue;
            const std::size_t k = static_cast<std::size_t>(n.Y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(n.X);
            if (visited[k] || img.At(n.X, n.Y) != targetColor) continue;
            visited[k] = 1;
            stack.push_back(n);
        }
    }
}

namespace {

// The paint stroke through a pixel writer write(x, y, colour, mode).
template <class Writer>
void PaintTip(int x, int y, const TTagBitmap& tip, const TStrokeColors& colors, TBrushEdges edges, Writer&& write) {
    ForTip(tip, x, y, [&](int c, int r, int px, int py) {
        const TTipPaint paint = TipPaint(tip, c, r, colors, edges);
        if (paint.primary) write(px, py, colors.Primary, paint.mode);
        if (paint.secondary) write(px, py, colors.Secondary, paint.mode);
    });
}

}  // namespace

void PaintTipStroke(TPaintTarget& t, int x, int y, const TTagBitmap& tip, const TStrokeColors& colors,
                    TBrushEdges edges) {
    PaintTip(x, y, tip, colors, edges,
             [&t](int px, int py, const TmyPixel& c, TSoftEdge mode) { BlendPixel(t, px, py, c, mode); });
}

void PaintTipToSelection(TmyImagePal& sel, int x, int y, const TTagBitmap& tip, const TStrokeColors& colors,
                         TBrushEdges edges) {
    PaintTip(x, y, tip, colors, edges,
             [&sel](int px, int py, const TmyPixel& c, TSoftEdge mode) { PaintSelectionPixel(sel, px, py, c, mode); });
}

void ToneStroke(TPaintTarget& t, int x, int y, const TTagBitmap& tip) {
    ForTip(tip, x, y, [&](int c, int r, int px, int py) {
        if (!Inside(t.Image, px, py)) return;
        TmyPixel p = t.Image.At(px, py);
        const TTag& tag = tip.At(c, r);
        if (tag.R == 0) {
            p.SetRGB(static_cast<std::uint8_t>(std::min(p.R + 3, 255)), static_cast<std::uint8_t>(std::min(p.G + 3, 255)),
                     static_cast<std::uint8_t>(std::min(p.B + 3, 255)));
            SetPixel(t, px, py, p);
        }
        if (tag.G == 0) {
            p.SetRGB(static_cast<std::uint8_t>(std::max(p.R - 3, 0)), static_cast<std::uint8_t>(std::max(p.G - 3, 0)),
                     static_cast<std::uint8_t>(std::max(p.B - 3, 0)));
            SetPixel(t, px, py, p);
        }
    });
}

void FilterStroke(TPaintTarget& t, int x, int y, const TTagBitmap& tip, bool filterOnAlpha) {
    const TmyImage* snapshot = SnapshotOf(t);
    if (!snapshot) return;
    const TFilterKernel& blur = FilterKernels[KernelBlur].Kernel;
    const TFilterKernel& sharpen = FilterKernels[KernelSharpen].Kernel;
    ForTip(tip, x, y, [&](int c, int r, int px, int py) {
        if (!Inside(*snapshot, px, py)) return;
        const TTag& tag = tip.At(c, r);
        if (tag.R == 0) SetPixel(t, px, py, FilterPixel5x5(px, py, filterOnAlpha, blur, *snapshot));
        if (tag.G == 0) SetPixel(t, px, py, FilterPixel5x5(px, py, filterOnAlpha, sharpen, *snapshot));
    });
}

void OpacityStroke(TPaintTarget& t, int x, int y, const TTagBitmap& tip, std::uint8_t alpha) {
    ForTip(tip, x, y, [&](int c, int r, int px, int py) {
        const TTag& tag = tip.At(c, r);
        if (!Inside(t.Image, px, py) || (tag.R != 0 && tag.G != 0)) return;
        TmyPixel p = t.Image.At(px, py);
        p.A = alpha;
        SetPixel(t, px, py, p);
    });
}

void ReplaceColorStroke(TPaintTarget& t, int x, int y, const TTagBitmap& tip, const TStrokeColors& colors) {
    ForTip(tip, x, y, [&](int c, int r, int px, int py) {
        const TTag& tag = tip.At(c, r);
        if (tag.R == 0) ReplacePixelIf(t, px, py, colors.Primary, colors.Secondary);
        if (tag.G == 0) ReplacePixelIf(t, px, py, colors.Secondary, colors.Primary);
    });
}

std::vector<TPoint> SprayDots(int x, int y, int brushSize, const TRandomSource& random) {
    const int size = std::max(brushSize, 1);
    const int n = size - size / 2;
    std::vector<TPoint> dots;
    dots.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const int px = std::min(random(size) + x - size / 2, 255);
        const int py = std::min(random(size) + y - size / 2, 255);
        dots.push_back({px, py});
    }
    return dots;
}

}  // namespace velto
