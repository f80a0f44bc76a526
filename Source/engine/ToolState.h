#pragma once
// What the drawing tools remember between mouse events: the current and the
// previous tool, the brush, the shape and gradient options, the two points of
// a drag and the rubber band shown on the canvas. The tool palette shows this
// state and the canvas input feeds events through the dispatcher
// (ToolDispatch.h); neither holds tool state of its own.
#include <cstdint>
#include <optional>

#include "engine/Line.h"
#include "engine/TagBitmap.h"
#include "model/Image.h"

namespace velto {

// Tool numbers as the palette, the cursors and the settings know them.
enum class TToolId : std::uint8_t {
    None = 0,
    Selection = 1,
    Crop = 2,
    Text = 3,
    Eraser = 4,
    Fill = 5,
    Spray = 6,
    Brush = 7,
    Pencil = 8,
    Line = 9,
    Rectangle = 10,
    RoundRect = 11,
    Ellipse = 12,
    Picker = 13,
    Zoom = 14,
    Opacity = 15,
    Gradient = 16,
    Brighten = 17,
    Blur = 18,
    Hotspot = 19,
};
inline constexpr int kToolCount = 19;

// The option panels of the palette, as bits.
enum TToolPanel : std::uint8_t {
    PanelSize = 1,      // brush size 1..7
    PanelShape = 2,     // brush shape
    PanelFill = 4,      // fill style of the shape tools
    PanelGradient = 8,  // gradient direction
};

// The figure a drag tool shows between its anchor and the pointer.
enum class TBandKind : std::uint8_t { None, Line, Rectangle, DottedRectangle, RoundRect, Ellipse };

enum class TGradientKind : std::uint8_t { Horizontal = 1, Vertical = 2 };

// What a tool is, beyond its handler.
struct TToolInfo {
    TToolId Id = TToolId::None;
    int Cursor = 0;                // screen cursor number on the canvases
    std::optional<std::uint8_t> Panels;  // panels shown; none keeps them as they are
    bool UndoAtPress = false;      // the window stores an undo snapshot before the press
    bool ShiftSquares = false;     // Shift makes the drag square (a 45-degree line)
    TBandKind Band = TBandKind::None;
    bool BrushOutline = false;     // the tip's outline follows the pointer
};

// The row of a tool; None (and any number outside 1..19) gives an empty row.
const TToolInfo& ToolInfo(TToolId id);
// The tool of a number, None outside 1..19.
TToolId ToolFromNumber(int number);

// The rubber band on the canvas: image pixels From and To (both included).
struct TBand {
    TBandKind Kind = TBandKind::None;
    TPoint From;
    TPoint To;
    bool Shown() const { return Kind != TBandKind::None; }
    friend bool operator==(const TBand&, const TBand&) = default;
};

// The 56 brush tips, built once.
const TBrushTips& BrushTips();

class TToolState {
public:
    TToolId ToolId = TToolId::Pencil;
    TToolId PrevToolId = TToolId::None;
    int BrushSize = 1;  // 1..7
    TBrushShape BrushShape = TBrushShape::Square;
    TGradientKind GradientKind = TGradientKind::Horizontal;
    TFillStyle FillStyle = TFillStyle::Outline;
    // The press, then every move, of the running stroke (image pixels).
    TPoint LastPoint;
    // Where a drag tool was pressed.
    TPoint Anchor;
    // The selection tool was pressed and has drawn no band yet.
    bool BandPending = false;
    // The selection tool ignores the next move (a selection was just dropped).
    bool SkipNextMove = false;
    // The band the canvas shows now.
    TBand Band;

    // The previous tool is remembered; the new one becomes current.
    void SetTool(TToolId id);
    // Out-of-range values are taken into 1..7 and 1..4 and 1..3 and 1..2.
    void SetBrushSize(int size);
    void SetBrushShape(int shape);
    void SetFillStyle(int style);
    void SetGradientKind(int kind);
    // The tip of the brush for a button's colour.
    const TTagBitmap& Tip(TTagColor color) const;
};

// The zoom tool's steps: in adds half (at least 1) up to 100, out takes a
// third (at least 1) down to 1.
int ZoomToolIn(int zoom);
int ZoomToolOut(int zoom);

// A canvas position (virtual, scroll included) as the image pixel under it,
// clamped into the image.
TPoint CanvasToImage(int x, int y, ImageSize size, int zoom);

// The Shift constraint of the drag tools: the point moved so that the drag
// from anchor is a square (a 45-degree line); the line tool snaps to
// horizontal or vertical when the drag is close to it; the selection and crop
// tools keep the square inside the image.
TPoint ConstrainDrag(TToolId tool, TPoint anchor, TPoint p, ImageSize size);

}  // namespace velto
