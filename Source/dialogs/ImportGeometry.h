#pragma once
// The arithmetic of the advanced import window, without widgets: the zoom
// ladder and the fitting zoom, where the zoomed picture and the selection lie
// in the view, and how mouse movement moves or resizes the selection.
//
// A zoom Z >= 1 shows each source pixel as Z x Z screen pixels; Z <= -2 shows
// the source reduced by |Z| (its sides div |Z|). 0 and -1 never occur.
#include <cstdint>
#include <optional>
#include <string_view>

#include "model/Image.h"

namespace velto {

inline constexpr int kImportZoomMin = -128;
inline constexpr int kImportZoomMax = 128;

// One step up or down the ladder ..., -4, -3, -2, 1, 2, 3, 4, 6, 9, 13, ...
int ImportZoomIn(int zoom);
int ImportZoomOut(int zoom);

// The largest whole zoom at which the source fits the view; when even zoom 1
// does not fit, the smallest reduction that does (as a negative zoom).
int ImportFitZoom(ImageSize source, ImageSize view);

// The size the source takes on screen at zoom (a reduced side is at least 1).
ImageSize ImportZoomedSize(ImageSize source, int zoom);

// Source pixels, right and bottom exclusive.
struct TImportRect {
    int Left = 0;
    int Top = 0;
    int Right = 1;
    int Bottom = 1;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    friend bool operator==(const TImportRect&, const TImportRect&) = default;
};

// A rectangle on screen.
struct TViewRect {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    friend bool operator==(const TViewRect&, const TViewRect&) = default;
};

// Where the source lies in the view: its offsets (centring a picture smaller
// than the view) and the scroll positions.
struct TImportView {
    int Zoom = 1;
    int OffsetX = 0;
    int OffsetY = 0;
    int ScrollX = 0;
    int ScrollY = 0;

    // The selection frame's place on screen.
    TViewRect FrameOf(const TImportRect& selection) const;
    // The source pixel under the view position (may lie outside the source).
    void SourcePixelAt(int viewX, int viewY, int& sourceX, int& sourceY) const;
};

// Offset that centres content in the view on one axis; 0 when it is larger.
int CentreOffset(int view, int content);

// What the mouse holds: the frame itself or one of its eight handles.
enum class TImportGrip : std::uint8_t { Frame, TopLeft, Top, TopRight, Right, BottomRight, Bottom, BottomLeft, Left };

// Mouse movement in screen pixels turned into whole source pixels: zoomed
// out, a screen pixel is |Z| source pixels; zoomed in, Z screen pixels are
// one. What is left over waits for the next movement.
class TImportDrag {
public:
    void Reset() { accX_ = accY_ = 0; }
    // The whole source pixels moved by (dx, dy) screen pixels at zoom.
    void Step(int zoom, int dx, int dy, int& sourceDx, int& sourceDy);

private:
    int accX_ = 0;
    int accY_ = 0;
};

// The selection after grip moved by (dx, dy) source pixels inside a source of
// the size: the frame keeps its size and stays inside; a handle moves only
// its own edges, leaving at least one pixel.
TImportRect MoveSelection(TImportRect r, TImportGrip grip, int dx, int dy, ImageSize source);

// The fixed size of an entry "W x H" (the width before the blank ahead of
// "x", the height after it), each side limited to the source's; nothing when
// the text holds no such size.
std::optional<ImageSize> ParseFixedSize(std::string_view text, ImageSize source);

}  // namespace velto
