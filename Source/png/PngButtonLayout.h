#pragma once
// Where a tool button puts its PNG glyph and its caption. Pure arithmetic:
// the caller measures the caption (for the client's width) and draws.
#include "platform/Bitmap.h"

namespace velto {

// Glyph left of, right of, above or below the caption.
enum TButtonLayout : int { blGlyphLeft = 0, blGlyphRight = 1, blGlyphTop = 2, blGlyphBottom = 3 };

struct TLayoutPoint {
    int X = 0, Y = 0;
    friend bool operator==(const TLayoutPoint&, const TLayoutPoint&) = default;
};
struct TLayoutSize {
    int Width = 0, Height = 0;
};

struct TButtonLayoutInput {
    TLayoutSize Glyph;          // 0 x 0 without a glyph
    TRect Client;
    bool Pressed = false;
    bool Down = false;
    TLayoutSize Text;           // the caption's measured size; 0 x 0 without a caption
    int Layout = blGlyphLeft;
    int Margin = -1;      // -1: centre glyph and caption together
    int Spacing = 4;      // -1: spread evenly (see below)
    bool RightToLeft = false;  // right-aligned text: left and right layouts swap
};

struct TButtonLayoutResult {
    TLayoutPoint GlyphPos;
    TRect TextBounds;
};

// Margin -1 with Spacing -1 splits the free space along the axis into three
// equal gaps (before the glyph, between, after the caption); a fixed Margin
// with Spacing -1 centres the caption in the space after the glyph.
TButtonLayoutResult CalcButtonLayout(const TButtonLayoutInput& in);

}  // namespace velto
