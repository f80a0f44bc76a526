#include "png/PngButtonLayout.h"

#include <utility>

namespace velto {

TButtonLayoutResult CalcButtonLayout(const TButtonLayoutInput& in) {
    int layout = in.Layout;
    if (in.RightToLeft && (layout == blGlyphLeft || layout == blGlyphRight))
        layout = layout == blGlyphLeft ? blGlyphRight : blGlyphLeft;
    const bool across = layout == blGlyphLeft || layout == blGlyphRight;  // along X
    const TLayoutPoint client{in.Client.Width(), in.Client.Height()};
    const TLayoutPoint glyph{in.Glyph.Width, in.Glyph.Height};
    const TLayoutPoint text{in.Text.Width, in.Text.Height};
    // Integer division truncates toward zero, as the layout's "div" does.
    auto along = [across](const TLayoutPoint& p) { return across ? p.X : p.Y; };

    TLayoutPoint g;
    if (across)
        g.Y = (client.Y - glyph.Y + 1) / 2;
    else
        g.X = (client.X - glyph.X + 1) / 2;

    int spacing = in.Spacing;
    int margin = in.Margin;
    if (text.X == 0 || glyph.X == 0) spacing = 0;
    if (margin == -1) {
        if (spacing != -1) {
            margin = (along(client) - (along(glyph) + spacing + along(text))) / 2;
        } else {
            margin = (along(client) - along(glyph) - along(text)) / 3;
            spacing = margin;
        }
    } else if (spacing == -1) {
        spacing = (along(client) - margin - along(glyph) - along(text)) / 2;
    }

    switch (layout) {
        case blGlyphLeft: g.X = margin; break;
        case blGlyphRight: g.X = client.X - margin - glyph.X; break;
        case blGlyphTop: g.Y = margin; break;
        default: g.Y = client.Y - margin - glyph.Y; break;
    }
    TLayoutPoint t;
    if (across)
        t.Y = (client.Y - text.Y) / 2;
    else
        t.X = (client.X - text.X) / 2;
    switch (layout) {
        case blGlyphLeft: t.X = g.X + glyph.X + spacing; break;
        case blGlyphRight: t.X = g.X - spacing - text.X; break;
        case blGlyphTop: t.Y = g.Y + glyph.Y + spacing; break;
        default: t.Y = g.Y - spacing - text.Y; break;
    }
    const int shift = in.Pressed || in.Down ? 1 : 0;
    const int ox = in.Client.Left + shift, oy = in.Client.Top + shift;
    TButtonLayoutResult r;
    r.GlyphPos = {g.X + ox, g.Y + oy};
    r.TextBounds = {t.X + ox, t.Y + oy, t.X + ox + text.X, t.Y + oy + text.Y};
    return r;
}

}  // namespace velto
