// The tool handlers: freehand tools, shape and gradient tools, the one-click
// tools and the two rectangle tools.
#include "engine/ToolHandlers.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "engine/Composite.h"

namespace velto::tools {

namespace {

// ---------------------------------------------------------------- freehand

void PencilTool(TToolCall& c) {
    if (c.Phase == TPhase::Press) {
        BlendPixel(c.Target, c.P.X, c.P.Y, c.Color(), TSoftEdge::Full);
    } else if (c.Phase == TPhase::Move) {
        Tline line(c.State.LastPoint, c.P);
        line.Rasterize();
        for (const TPoint q : line.GetPoints()) BlendPixel(c.Target, q.X, q.Y, c.Color(), TSoftEdge::Full);
    }
}

void SprayTool(TToolCall& c) {
    if ((c.Phase != TPhase::Press && c.Phase != TPhase::Move) || !c.Ctx.Random) return;
    for (const TPoint q : SprayDots(c.P.X, c.P.Y, c.State.BrushSize, c.Ctx.Random))
        BlendPixel(c.Target, q.X, q.Y, c.Color(), TSoftEdge::Full);
}

// One dab of a tip stroke with the tip's top-left pixel on (x, y).
using TStamp = void (*)(TToolCall& c, int x, int y, const TTagBitmap& tip);

void BrushStamp(TToolCall& c, int x, int y, const TTagBitmap& tip) {
    PaintTipStroke(c.Target, x, y, tip, c.Ctx.Colors, c.Edges());
}
void EraserStamp(TToolCall& c, int x, int y, const TTagBitmap& tip) {
    ReplaceColorStroke(c.Target, x, y, tip, c.Ctx.Colors);
}
void OpacityStamp(TToolCall& c, int x, int y, const TTagBitmap& tip) {
    OpacityStroke(c.Target, x, y, tip, c.Ctx.Colors.Primary.A);
}
void ToneStamp(TToolCall& c, int x, int y, const TTagBitmap& tip) { ToneStroke(c.Target, x, y, tip); }
void FilterStamp(TToolCall& c, int x, int y, const TTagBitmap& tip) {
    FilterStroke(c.Target, x, y, tip, c.Ctx.Settings.FilterOnAlpha);
}

bool Diagonal(TBrushShape s) { return s == TBrushShape::RisingDiagonal || s == TBrushShape::FallingDiagonal; }

// A dab at the press; along the segment from the last position at a move.
// Diagonal tips dab twice per point, one pixel back along the row, so that a
// level stroke leaves no gaps.
void TipStroke(TToolCall& c, TStamp stamp) {
    const TTagBitmap& tip = c.State.Tip(c.Tag());
    const int half = c.State.BrushSize / 2;
    if (c.Phase == TPhase::Press) {
        stamp(c, c.P.X - half, c.P.Y - half, tip);
    } else if (c.Phase == TPhase::Move) {
        const TPoint last = c.State.LastPoint;
        Tline line(last, c.P);
        line.Rasterize();
        const bool twice = Diagonal(c.State.BrushShape);
        for (const TPoint q : line.GetPoints()) {
            stamp(c, q.X - half, q.Y - half, tip);
            if (twice) stamp(c, (q.X > last.X ? q.X - 1 : q.X + 1) - half, q.Y - half, tip);
        }
    }
}

// After a brighten or blur stroke an indexed image comes back onto a palette.
void PaletteStepAtRelease(TToolCall& c) {
    if (c.Phase != TPhase::Release || c.Ctx.Image.BitCount >= 24) return;
    ApplyPaletteAction(c.Ctx.Image, c.Ctx.Settings.PaletteAction, c.Ctx.Settings.Dithering, c.Ctx.Host);
    c.Result.Replaced = true;
    c.Ctx.Host.ImageReplaced(false);
}

void BrushTool(TToolCall& c) { TipStroke(c, BrushStamp); }
void EraserTool(TToolCall& c) { TipStroke(c, EraserStamp); }
void OpacityTool(TToolCall& c) {
    // The left button only; and only where alpha is kept (the palette
    // disables the tool below 32 bits).
    if (c.Left() && c.Ctx.Image.BitCount == 32) TipStroke(c, OpacityStamp);
}
void BrightenTool(TToolCall& c) {
    TipStroke(c, ToneStamp);
    PaletteStepAtRelease(c);
}
void BlurTool(TToolCall& c) {
    TipStroke(c, FilterStamp);
    PaletteStepAtRelease(c);
}

// ---------------------------------------------------------------- drag tools

// The band of a drag: shown from the press, following the moves, gone at the
// end. True at the release, when the tool applies.
bool FollowBand(TToolCall& c) {
    const TBandKind kind = ToolInfo(c.State.ToolId).Band;
    switch (c.Phase) {
        case TPhase::Press:
            c.State.Anchor = c.P;
            c.State.Band = {kind, c.P, c.P};
            return false;
        case TPhase::Move:
            c.State.Band = {kind, c.State.Anchor, c.P};
            return false;
        case TPhase::Cancel:
            c.State.Band = {};
            return false;
        case TPhase::Release:
            c.State.Band = {};
            return true;
    }
    return false;
}

void LineTool(TToolCall& c) {
    if (!FollowBand(c)) return;
    // To the last move: the release itself may be elsewhere.
    const TTagBitmap& tip = c.State.Tip(c.Tag());
    const int half = c.State.BrushSize / 2;
    const bool twice = Diagonal(c.State.BrushShape);
    Tline line(c.State.Anchor, c.State.LastPoint);
    line.Rasterize();
    for (const TPoint q : line.GetPoints()) {
        BrushStamp(c, q.X - half, q.Y - half, tip);
        if (twice) BrushStamp(c, q.X - 1 - half, q.Y - half, tip);
    }
    BrushStamp(c, c.State.Anchor.X - half, c.State.Anchor.Y - half, tip);
}

// The figure on the box between the corners (both included), outline in the
// button's colour, stamped through a tag bitmap with a 3-pixel margin.
void DrawShape(TToolCall& c, TPoint a, TPoint b, TShapeKind kind) {
    const int left = std::min(a.X, b.X);
    const int top = std::min(a.Y, b.Y);
    const int w = std::abs(b.X - a.X) + 1;
    const int h = std::abs(b.Y - a.Y) + 1;
    const TTagBitmap tag = ShapeTagBitmap(kind, w, h, c.State.BrushSize, c.State.FillStyle, c.Tag());
    PaintTipStroke(c.Target, left - 3, top - 3, tag, c.Ctx.Colors, c.Edges());
}

// A figure one pixel wide or high is drawn as an ellipse (a line).
TShapeKind BoxKind(const TToolCall& c, TShapeKind kind) {
    return c.P.X != c.State.Anchor.X && c.P.Y != c.State.Anchor.Y ? kind : TShapeKind::Ellipse;
}

void RectTool(TToolCall& c) {
    if (FollowBand(c)) DrawShape(c, c.State.Anchor, c.P, BoxKind(c, TShapeKind::Rectangle));
}
void RoundRectTool(TToolCall& c) {
    if (FollowBand(c)) DrawShape(c, c.State.Anchor, c.P, BoxKind(c, TShapeKind::RoundRect));
}
void EllipseTool(TToolCall& c) {
    if (FollowBand(c)) DrawShape(c, c.State.Anchor, c.P, TShapeKind::Ellipse);
}

void GradientTool(TToolCall& c) {
    if (!FollowBand(c)) return;
    GradientFill(c, c.State.Anchor, c.P, c.State.GradientKind);
    if (c.Ctx.Image.BitCount >= 24) return;
    ApplyPaletteAction(c.Ctx.Image, c.Ctx.Settings.PaletteAction, c.Ctx.Settings.Dithering, c.Ctx.Host);
    c.Result.Replaced = true;
    c.Ctx.Host.ImageReplaced(false);
}

// ---------------------------------------------------------------- one-click tools

void FillTool(TToolCall& c) {
    if (c.Phase != TPhase::Press) return;
    const TmyPixel target = GetPixel(c.Ctx.Image, c.P.X, c.P.Y);
    TmyPixel fill = c.Color();
    if (fill.A == 0) fill = TmyPixel::Create();
    if (c.Ctx.Image.BitCount < 32 && fill.A != 0)
        fill.A = 255;
    else
        // A partly transparent colour is laid once over the clicked colour.
        AlphaBlendPixel(fill, target, false);
    FloodFill(c.Target, c.P.X, c.P.Y, fill, target);
}

void PickTool(TToolCall& c) {
    if (c.Phase != TPhase::Release) return;
    const TmyPixel picked = GetPixel(c.Ctx.Image, c.P.X, c.P.Y);
    if (c.Left()) {
        c.Ctx.Colors.Primary = picked;
        const auto& palette = c.Ctx.Image.Palette;
        c.Ctx.Host.ColorPicked(c.Button, palette ? palette->IndexOf(picked) : -1);
    } else {
        c.Ctx.Colors.Secondary = picked;
        c.Ctx.Host.ColorPicked(c.Button, -1);
    }
    if (!c.Shift) c.Ctx.Host.PressToolButton(c.State.PrevToolId);
}

void ZoomTool(TToolCall& c) {
    if (c.Phase != TPhase::Release) return;
    const int zoom = c.Left() ? ZoomToolIn(c.Ctx.Zoom) : ZoomToolOut(c.Ctx.Zoom);
    if (zoom != c.Ctx.Zoom) c.Ctx.Host.ZoomTo(zoom);
}

void TextTool(TToolCall& c) {
    if (c.Phase != TPhase::Release) return;
    const std::optional<TTextStamp> text = c.Ctx.Host.AskText(c.Tag());
    if (!text) return;
    c.Ctx.Host.CommitSelection();
    // Room for the overhang of italic glyphs; the text is cut at 256 pixels.
    const int extra = 2 + (text->Italic ? text->Size / 4 : 0);
    const int h = std::min(256, text->TextHeight + 3);
    const int w = std::min(256, text->TextWidth + extra);
    TmyImagePal pixels({w, h}, 32);
    PaintTipToSelection(pixels, 0, 0, text->Tag, c.Ctx.Colors, c.Edges());
    c.Ctx.Host.FloatSelection(std::move(pixels), c.P);
}

void HotspotTool(TToolCall& c) {
    if (c.Phase != TPhase::Press) return;
    // The previous tool takes the rest of the stroke; the window asks.
    c.Ctx.Host.PressToolButton(c.State.PrevToolId);
    const TmyImagePal& img = c.Ctx.Image;
    c.Ctx.Host.EditHotspot({img.Width() - 1, img.Height() - 1, c.P.X, c.P.Y});
}

// ---------------------------------------------------------------- rectangle tools

void SelectionTool(TToolCall& c) {
    TToolState& s = c.State;
    if (c.Phase == TPhase::Cancel) {
        s.Band = {};
        return;
    }
    if (c.Phase == TPhase::Press) {
        c.Ctx.Host.CommitSelection();
        if (!c.Left()) return;
        s.Anchor = c.P;
        // The band shows from the first move: a click makes no selection.
        s.BandPending = true;
        return;
    }
    if (!c.Left()) return;
    if (c.Phase == TPhase::Move) {
        if (s.SkipNextMove) {
            s.SkipNextMove = false;
            return;
        }
        s.BandPending = false;
        s.Band = {TBandKind::DottedRectangle, s.Anchor, c.P};
    } else if (c.Phase == TPhase::Release && !s.BandPending) {
        s.Band = {};
        c.Ctx.Host.LiftSelection(s.Anchor, s.LastPoint);
    }
}

void CropTool(TToolCall& c) {
    if (!FollowBand(c)) return;
    if (!CropToRect(c.Ctx.Image, c.State.Anchor, c.State.LastPoint, c.Ctx.Host)) return;
    c.Result.Replaced = true;
    c.Ctx.Host.ImageReplaced(true);
}

const std::array<THandler, kToolCount + 1> kHandlers = {
    nullptr,       SelectionTool, CropTool,      TextTool,      EraserTool,  FillTool,     SprayTool,
    BrushTool,     PencilTool,    LineTool,      RectTool,      RoundRectTool, EllipseTool, PickTool,
    ZoomTool,      OpacityTool,   GradientTool,  BrightenTool,  BlurTool,    HotspotTool,
};

// Half-way values go to the even neighbour.
std::uint8_t RoundChannel(double v) { return static_cast<std::uint8_t>(std::clamp(std::nearbyint(v), 0.0, 255.0)); }

}  // namespace

THandler HandlerOf(TToolId id) { return kHandlers[static_cast<std::size_t>(ToolFromNumber(static_cast<int>(id)))]; }

void GradientFill(TToolCall& c, TPoint a, TPoint b, TGradientKind kind) {
    const int left = std::min(a.X, b.X), right = std::max(a.X, b.X);
    const int top = std::min(a.Y, b.Y), bottom = std::max(a.Y, b.Y);
    TmyPixel from = c.Left() ? c.Ctx.Colors.Primary : c.Ctx.Colors.Secondary;
    TmyPixel to = c.Left() ? c.Ctx.Colors.Secondary : c.Ctx.Colors.Primary;
    // A fade to transparent keeps the other end's colour.
    if (from.A == 0) from = TmyPixel::CreateRGBA(to.R, to.G, to.B, 0);
    if (to.A == 0) to = TmyPixel::CreateRGBA(from.R, from.G, from.B, 0);
    const bool horizontal = kind == TGradientKind::Horizontal;
    const int n = std::max(1, horizontal ? right - left : bottom - top);
    const std::array<double, 4> step = {(from.R - to.R) / double(n), (from.G - to.G) / double(n),
                                        (from.B - to.B) / double(n), (from.A - to.A) / double(n)};
    std::array<double, 4> run = {double(to.R), double(to.G), double(to.B), double(to.A)};
    TmyPixel color = to;
    // From the far end (right or bottom) back to the near one.
    const int first = horizontal ? right : bottom;
    const int last = horizontal ? left : top;
    for (int k = first; k >= last; --k) {
        if (color.A != 0) {
            if (horizontal)
                for (int y = top; y <= bottom; ++y) BlendPixel(c.Target, k, y, color, TSoftEdge::Full);
            else
                for (int x = left; x <= right; ++x) BlendPixel(c.Target, x, k, color, TSoftEdge::Full);
        }
        for (std::size_t i = 0; i < 4; ++i) run[i] += step[i];
        color = TmyPixel::CreateRGBA(RoundChannel(run[0]), RoundChannel(run[1]), RoundChannel(run[2]),
                                     RoundChannel(run[3]));
    }
}

}  // namespace velto::tools
