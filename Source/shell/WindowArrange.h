#pragma once
// Where Cascade and the three Tile commands put the document windows: plain
// arithmetic on the document area's size and the widths of the pane chains
// glued into it, so that it can be tested without widgets.
#include <vector>

namespace velto {

// A window's place in the document area's coordinates.
struct ArrangeRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const ArrangeRect&, const ArrangeRect&) = default;
};

// The document area as the arrangement sees it: its client size, the width
// of the pane chain glued to its left edge (windows start right of it) and
// the width of both chains (taken off the usable width).
struct ArrangeArea {
    int clientWidth = 0;
    int clientHeight = 0;
    int leftChain = 0;
    int bothChains = 0;

    int UsableWidth() const { return clientWidth - bothChains; }
    int UsableHeight() const { return clientHeight; }
};

// No tile is smaller than this in either direction; smaller room makes the
// tiles overlap instead.
inline constexpr int kMinTileSize = 120;
// The size every window takes in a cascade.
inline constexpr int kCascadeWidth = 645;
inline constexpr int kCascadeHeight = 580;

// num / den rounded to the nearest integer, halves to the even neighbour (as
// the floating-point unit rounds). den must not be 0.
long long RoundHalfEven(long long num, long long den);

// count tiles side by side in room pixels along one axis: each tile's size
// and the distance from one tile's start to the next's.
struct TileSpan {
    int size = 0;
    int stride = 0;
};
TileSpan SplitRoom(int room, int count);

// Columns and rows of a tile of n windows: as many columns as the nearest
// integer to the square root of n, and enough rows to hold them all.
struct TileGrid {
    int cols = 0;
    int rows = 0;
};
TileGrid TileGridFor(int n);

// The places of n windows, in list order (none for n below 1).
std::vector<ArrangeRect> TileRects(int n, const ArrangeArea& area);
// Side by side, each the usable height.
std::vector<ArrangeRect> TileVerticalRects(int n, const ArrangeArea& area);
// Stacked, each the usable width.
std::vector<ArrangeRect> TileHorizontalRects(int n, const ArrangeArea& area);

// A cascade: every window's place (in list order), the order in which the
// windows come to the front (list positions; the active one last) and the
// cascade position the next new window takes.
struct CascadePlan {
    std::vector<ArrangeRect> rects;
    std::vector<int> frontOrder;
    int nextIndex = 0;
};
// steps: for each window in list order, the height of its frame's caption and
// borders less 4, the diagonal step between cascade positions. active: the
// list position (from 0) of the active window, or -1 for none. Positions run
// 0..positions-1 and wrap.
CascadePlan CascadeRects(const std::vector<int>& steps, int active, int leftChain, int positions);

}  // namespace velto
