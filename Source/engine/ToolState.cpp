#include "engine/ToolState.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace velto {

namespace {

constexpr std::uint8_t kSizeShape = PanelSize | PanelShape;

// One row per tool, in tool-number order.
const std::array<TToolInfo, kToolCount + 1> kTools = {{
    {TToolId::None, 0, std::nullopt, false, false, TBandKind::None, false},
    {TToolId::Selection, 13, 0, false, true, TBandKind::DottedRectangle, false},
    {TToolId::Crop, 14, 0, true, true, TBandKind::DottedRectangle, false},
    {TToolId::Text, 12, 0, false, false, TBandKind::None, false},
    {TToolId::Eraser, 8, kSizeShape, true, false, TBandKind::None, true},
    {TToolId::Fill, 10, 0, true, false, TBandKind::None, false},
    {TToolId::Spray, 11, PanelSize, true, false, TBandKind::None, false},
    {TToolId::Brush, 9, kSizeShape, true, false, TBandKind::None, true},
    {TToolId::Pencil, 6, 0, true, false, TBandKind::None, false},
    {TToolId::Line, 15, kSizeShape, true, true, TBandKind::Line, false},
    {TToolId::Rectangle, 16, PanelSize | PanelFill, true, true, TBandKind::Rectangle, false},
    {TToolId::RoundRect, 17, PanelSize | PanelFill, true, true, TBandKind::RoundRect, false},
    {TToolId::Ellipse, 18, PanelSize | PanelFill, true, true, TBandKind::Ellipse, false},
    {TToolId::Picker, 7, 0, false, false, TBandKind::None, false},
    {TToolId::Zoom, 5, 0, false, false, TBandKind::None, false},
    {TToolId::Opacity, 19, kSizeShape, true, false, TBandKind::None, true},
    {TToolId::Gradient, 22, PanelGradient, true, true, TBandKind::Rectangle, false},
    {TToolId::Brighten, 20, kSizeShape, true, false, TBandKind::None, true},
    {TToolId::Blur, 21, kSizeShape, true, false, TBandKind::None, true},
    {TToolId::Hotspot, 26, std::nullopt, false, false, TBandKind::None, false},
}};

}  // namespace

const TToolInfo& ToolInfo(TToolId id) { return kTools[static_cast<std::size_t>(ToolFromNumber(static_cast<int>(id)))]; }

TToolId ToolFromNumber(int number) {
    return number >= 1 && number <= kToolCount ? static_cast<TToolId>(number) : TToolId::None;
}

const TBrushTips& BrushTips() {
    static const TBrushTips tips;
    return tips;
}

void TToolState::SetTool(TToolId id) {
    PrevToolId = ToolId;
    ToolId = id;
}

void TToolState::SetBrushSize(int size) { BrushSize = std::clamp(size, 1, TBrushTips::MaxSize); }
void TToolState::SetBrushShape(int shape) { BrushShape = static_cast<TBrushShape>(std::clamp(shape, 1, 4)); }
void TToolState::SetFillStyle(int style) { FillStyle = static_cast<TFillStyle>(std::clamp(style, 1, 3)); }
void TToolState::SetGradientKind(int kind) { GradientKind = static_cast<TGradientKind>(std::clamp(kind, 1, 2)); }

const TTagBitmap& TToolState::Tip(TTagColor color) const { return BrushTips().Tip(BrushShape, color, BrushSize); }

int ZoomToolIn(int zoom) { return zoom >= 100 ? zoom : std::min(100, zoom + std::max(1, zoom / 2)); }
int ZoomToolOut(int zoom) { return zoom <= 1 ? zoom : zoom - std::max(1, zoom / 3); }

TPoint CanvasToImage(int x, int y, ImageSize size, int zoom) {
    zoom = std::max(zoom, 1);
    // 64-bit: a hostile zoom or size must not overflow the bound.
    const long long w = static_cast<long long>(size.Width) * zoom;
    const long long h = static_cast<long long>(size.Height) * zoom;
    const long long cx = std::clamp<long long>(x, 0, std::max<long long>(w - 1, 0));
    const long long cy = std::clamp<long long>(y, 0, std::max<long long>(h - 1, 0));
    return {static_cast<int>(cx / zoom), static_cast<int>(cy / zoom)};
}

TPoint ConstrainDrag(TToolId tool, TPoint anchor, TPoint p, ImageSize size) {
    const int dx = std::abs(p.X - anchor.X);
    const int dy = std::abs(p.Y - anchor.Y);
    TPoint q = p;
    if (dx < dy)
        q.X = p.X > anchor.X ? anchor.X + dy : anchor.X - dy;
    else
        q.Y = p.Y > anchor.Y ? anchor.Y + dx : anchor.Y - dx;
    if (tool == TToolId::Line) {
        // Nearly level or upright drags snap to the axis (on the spans before squaring).
        if (dy < dx / 3) q.Y = anchor.Y;
        if (dx < dy / 3) q.X = anchor.X;
    }
    if (tool == TToolId::Selection || tool == TToolId::Crop) {
        // The largest square of the same corner that lies inside the image:
        // moving one coordinate back moves the other as much, and a corner
        // beyond two edges is brought inside both (the rectangle is read
        // from the image).
        const int dirX = q.X < anchor.X ? -1 : 1;
        const int dirY = q.Y < anchor.Y ? -1 : 1;
        const int roomX = dirX > 0 ? size.Width - 1 - anchor.X : anchor.X;
        const int roomY = dirY > 0 ? size.Height - 1 - anchor.Y : anchor.Y;
        const int side = std::max(0, std::min({std::abs(q.X - anchor.X), roomX, roomY}));
        q = {anchor.X + dirX * side, anchor.Y + dirY * side};
    }
    return q;
}

}  // namespace velto
