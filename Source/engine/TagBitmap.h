#pragma once
// Tag bitmaps: what a brush tip, a shape or a text stamps into an image. Each
// pixel keeps the red and the green byte of the picture it was drawn as (white
// where empty): a red byte below 200 asks for the primary colour, a green byte
// below 200 for the secondary one, and the tone, filter, opacity and replace
// strokes look for bytes of exactly 0. Text drawn by the GUI may leave bytes
// between 0 and 255, so the bytes are kept, not flags.
//
// The shapes of the rectangle, rounded-rectangle and ellipse tools and the
// round brush tips come from our own rasteriser: a pixel belongs to a figure
// when its centre does, so a box of w x h pixels covers exactly w x h.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace velto {

struct TTag {
    std::uint8_t R = 255;
    std::uint8_t G = 255;
    friend constexpr bool operator==(const TTag&, const TTag&) = default;
};
inline constexpr TTag TagNone{255, 255};
inline constexpr TTag TagPrimary{0, 255};    // the picture colour 0x00FFFF00 (cyan)
inline constexpr TTag TagSecondary{255, 0};  // the picture colour 0x00FF00FF (magenta)

// Which button's colour a tip or a shape outline carries.
enum class TTagColor : std::uint8_t { Primary, Secondary };
constexpr TTag TagOf(TTagColor c) { return c == TTagColor::Primary ? TagPrimary : TagSecondary; }
constexpr TTagColor OtherTag(TTagColor c) {
    return c == TTagColor::Primary ? TTagColor::Secondary : TTagColor::Primary;
}

class TTagBitmap {
public:
    TTagBitmap() = default;
    // Sides below 0 count as 0; every pixel untagged.
    TTagBitmap(int width, int height);

    int Width() const { return W; }
    int Height() const { return H; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < W && y < H; }
    // (x, y) must be inside.
    TTag& At(int x, int y) { return Data[Index(x, y)]; }
    const TTag& At(int x, int y) const { return Data[Index(x, y)]; }
    // Sets (x, y) when it is inside.
    void Set(int x, int y, TTag tag) {
        if (Contains(x, y)) At(x, y) = tag;
    }
    void Fill(TTag tag);

private:
    std::size_t Index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(W) + static_cast<std::size_t>(x);
    }

    int W = 0;
    int H = 0;
    std::vector<TTag> Data;
};

enum class TShapeKind : std::uint8_t { Rectangle = 0, RoundRect = 1, Ellipse = 2 };

// A figure on a box of pixels Left..Left+Width-1 by Top..Top+Height-1.
// Rounded rectangles take their corner diameters; the ellipse's are the box's.
struct TShapeBox {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int CornerWidth = 0;   // RoundRect only
    int CornerHeight = 0;  // RoundRect only
};

// Draws the figure into the bitmap: the inside with brush (when given), then
// the outline of penWidth pixels (below 1 counts as 1) with pen. The outline
// runs along the box's edge pixels, penWidth div 2 pixels of it outside the
// box and the rest inside; it is one closed ring without gaps. A box one pixel
// wide or high gives a line. Pixels outside the bitmap are skipped.
void DrawShapeTag(TTagBitmap& bitmap, TShapeKind kind, const TShapeBox& box, TTag pen, int penWidth,
                  std::optional<TTag> brush);

// How the shape tools fill: outline only, outline and fill in the other
// colour, filled in the outline colour.
enum class TFillStyle : std::uint8_t { Outline = 1, OutlineAndFill = 2, Filled = 3 };

// The tag bitmap of a shape tool over a box of w x h pixels: (w + 6) x (h + 6),
// the box at (3, 3), the outline in the pressed button's colour (pen width
// brushSize, 2 for a 1 x 1 box at size 1), rounded corners of w div 3. Stamp
// it with PaintTipStroke at (left - 3, top - 3).
TTagBitmap ShapeTagBitmap(TShapeKind kind, int w, int h, int brushSize, TFillStyle style, TTagColor outline);

enum class TBrushShape : std::uint8_t { Square = 1, Round = 2, RisingDiagonal = 3, FallingDiagonal = 4 };

// The 56 brush tips: 4 shapes in the two tag colours, sizes 1 to 7, each
// size x size.
class TBrushTips {
public:
    static constexpr int MaxSize = 7;

    TBrushTips();
    // Size taken into 1..7.
    const TTagBitmap& Tip(TBrushShape shape, TTagColor color, int size) const;

private:
    std::array<TTagBitmap, 8 * MaxSize> Tips;
};

}  // namespace velto
