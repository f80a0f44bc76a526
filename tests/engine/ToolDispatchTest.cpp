// The dispatcher and the tool handlers, driven by scripted strokes.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "ToolTestUtil.h"
#include "core/MessageBox.h"
#include "engine/ToolDispatch.h"

namespace velto::test {
namespace {

const TmyPixel kClear = TmyPixel::Create();
const TmyPixel kRed = Px(255, 0, 0);
const TmyPixel kBlue = Px(0, 0, 255);

TmyImagePal Blank(int w = 32, int h = 32, int bits = 32) { return TmyImagePal({w, h}, bits); }

std::set<std::pair<int, int>> AsSet(const std::vector<TPoint>& pts) {
    std::set<std::pair<int, int>> s;
    for (const TPoint& p : pts) s.insert({p.X, p.Y});
    return s;
}

// ---------------------------------------------------------------- dispatcher

TEST(ToolDispatch, LastPointIsThePressThenEachMoveAndTheReleaseKeepsIt) {
    TToolBench b(Blank(), TToolId::Line);
    b.Send(2, 3, TPhase::Press);
    EXPECT_EQ(b.state.LastPoint, (TPoint{2, 3}));
    EXPECT_EQ(b.state.Anchor, (TPoint{2, 3}));
    b.Send(10, 0, TPhase::Move);
    EXPECT_EQ(b.state.LastPoint, (TPoint{10, 0}));
    b.Send(12, 0, TPhase::Release);
    EXPECT_EQ(b.state.LastPoint, (TPoint{10, 0}));
    // The line ends where the last move was, not at the release.
    EXPECT_NE(b.image.At(10, 0), kClear);
    EXPECT_EQ(b.image.At(11, 0), kClear);
    EXPECT_EQ(b.image.At(12, 0), kClear);
    EXPECT_EQ(b.last.At, (TPoint{12, 0}));
}

TEST(ToolDispatch, ButtonsOtherThanLeftAndRightReachNoToolButTheStatus) {
    TToolBench b(Blank(), TToolId::Pencil);
    b.Send(5, 6, TPhase::Press, TMouseButton::None);
    b.Send(7, 6, TPhase::Move, TMouseButton::None);
    EXPECT_EQ(Painted(b.image, kClear).size(), 0u);
    EXPECT_EQ(b.host.statuses, 2);
    EXPECT_EQ(b.host.lastStatus, (TPoint{7, 6}));
    EXPECT_EQ(b.state.LastPoint, (TPoint{}));
}

TEST(ToolDispatch, ZoomedCanvasPositionsReachTheToolAsImagePixels) {
    TToolBench b(Blank(), TToolId::Pencil);
    b.zoom = 10;
    b.start = std::make_unique<TmyImagePal>(b.image);
    TToolContext ctx(b.image, b.start.get(), 10, b.colors, b.host);
    const TToolResult r = ApplyToolAt(b.state, ctx, {400, -5, TMouseButton::Left, false, TPhase::Press});
    EXPECT_EQ(r.At, (TPoint{31, 0}));
    EXPECT_EQ(b.image.At(31, 0), kRed);
    EXPECT_EQ(r.Changed, (TDirtyRect{31, 0, 32, 1}));
}

TEST(ToolDispatch, ShiftSquaresTheDragFromTheFirstMoveOn) {
    TToolBench b(Blank(), TToolId::Rectangle);
    b.Send(5, 5, TPhase::Press, TMouseButton::Left, true);
    EXPECT_EQ(b.state.Band.To, (TPoint{5, 5})) << "Shift at the press has no effect";
    b.Send(9, 6, TPhase::Move, TMouseButton::Left, false);
    EXPECT_EQ(b.state.Band.To, (TPoint{9, 6}));
    b.Send(9, 6, TPhase::Move, TMouseButton::Left, true);
    EXPECT_EQ(b.state.Band.To, (TPoint{9, 9}));
    b.Send(9, 6, TPhase::Release, TMouseButton::Left, true);
    EXPECT_NE(b.image.At(9, 9), kClear);
    EXPECT_NE(b.image.At(5, 9), kClear);
}

// ---------------------------------------------------------------- freehand tools

TEST(FreehandTools, PencilPaintsThePressAndEachSegmentWithoutItsStart) {
    TToolBench b(Blank(), TToolId::Pencil);
    b.Click(4, 4);
    EXPECT_EQ(Painted(b.image, kClear), (std::vector<TPoint>{{4, 4}}));
    TToolBench m(Blank(), TToolId::Pencil);
    m.Drag({{0, 0}, {3, 0}});
    EXPECT_EQ(Painted(m.image, kClear), (std::vector<TPoint>{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
    TToolBench r(Blank(), TToolId::Pencil);
    r.Drag({{1, 1}, {1, 3}}, TMouseButton::Right);
    EXPECT_EQ(r.image.At(1, 2), kBlue);
    // Painting over a half-transparent colour blends with the image as it was
    // at the press: moving back over the same pixels adds nothing.
    TToolBench h(TmyImagePal(Uniform({8, 1}, 32, Px(0, 0, 255, 255))), TToolId::Pencil);
    h.colors.Primary = Px(255, 0, 0, 128);
    h.Drag({{0, 0}, {7, 0}, {0, 0}, {7, 0}});
    for (int x = 0; x < 8; ++x) EXPECT_EQ(h.image.At(x, 0), Px(128, 0, 127, 255)) << x;
}

TEST(FreehandTools, SprayDotsFallInTheBrushSquare) {
    struct Row {
        const char* name;
        int size, x, y, w;
        int value;  // what the generator returns: -1 for k - 1
        std::size_t dots;
        TPoint only;  // the one dot for value rows, (-1, -1) for none
    };
    const Row rows[] = {
        {"size 1 hits the pointer", 1, 9, 9, 32, 0, 1, {9, 9}},
        {"size 7 left of the image", 7, 1, 1, 32, 0, 0, {-1, -1}},
        {"beyond 255 lands on the last column of 256", 7, 255, 255, 256, -1, 1, {255, 255}},
        {"beyond the last column of a small image", 7, 31, 31, 32, -1, 0, {-1, -1}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TToolBench b(Blank(r.w, r.w), TToolId::Spray);
        b.state.SetBrushSize(r.size);
        int calls = 0;
        b.random = [&](int k) {
            ++calls;
            return r.value < 0 ? k - 1 : r.value;
        };
        b.Send(r.x, r.y, TPhase::Press);
        EXPECT_EQ(calls, 2 * (r.size - r.size / 2));
        const auto painted = Painted(b.image, kClear);
        ASSERT_EQ(painted.size(), r.dots);
        if (r.dots) {
            EXPECT_EQ(painted[0], r.only);
        }
    }
    // Random dots of size 7 stay within 3 pixels of the pointer.
    TToolBench b(Blank(), TToolId::Spray);
    b.state.SetBrushSize(7);
    b.Send(16, 16, TPhase::Press);
    for (int i = 0; i < 40; ++i) b.Send(16, 16, TPhase::Move);
    for (const TPoint& p : Painted(b.image, kClear)) EXPECT_LE(std::max(std::abs(p.X - 16), std::abs(p.Y - 16)), 3);
}

TEST(FreehandTools, TipsLandWithTheirTopLeftHalfASizeBack) {
    for (int size : {3, 4}) {
        SCOPED_TRACE(size);
        TToolBench b(Blank(), TToolId::Brush);
        b.state.SetBrushSize(size);
        b.Click(10, 10);
        const auto p = Painted(b.image, kClear);
        ASSERT_EQ(p.size(), std::size_t(size * size));
        EXPECT_EQ(p.front(), (TPoint{10 - size / 2, 10 - size / 2}));
    }
}

TEST(FreehandTools, DiagonalTipsStampTwiceAlongTheRow) {
    struct Row {
        const char* name;
        TPoint from, to;
        std::set<std::pair<int, int>> painted;
    };
    const Row rows[] = {
        {"to the right: one pixel back", {5, 5}, {8, 6}, {{5, 5}, {6, 5}, {6, 6}, {7, 6}, {8, 6}}},
        {"to the left: one pixel on", {8, 6}, {5, 5}, {{8, 6}, {7, 6}, {7, 5}, {6, 5}, {5, 5}}},
        {"upright: one pixel on", {5, 5}, {5, 7}, {{5, 5}, {5, 6}, {6, 6}, {5, 7}, {6, 7}}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TToolBench b(Blank(), TToolId::Brush);
        b.state.SetBrushShape(3);
        b.Drag({r.from, r.to});
        EXPECT_EQ(AsSet(Painted(b.image, kClear)), r.painted);
    }
}

TEST(FreehandTools, EraserOpacityAndTone) {
    // The eraser swaps the button's colour for the other one.
    TToolBench e(TmyImagePal(Uniform({8, 8}, 32, kRed)), TToolId::Eraser);
    e.image.At(2, 2) = Px(0, 255, 0);
    e.state.SetBrushSize(7);
    e.Click(3, 3);
    EXPECT_EQ(e.image.At(3, 3), kBlue);
    EXPECT_EQ(e.image.At(2, 2), Px(0, 255, 0));
    e.Click(3, 3, TMouseButton::Right);
    EXPECT_EQ(e.image.At(3, 3), kRed);

    // Opacity: the left button sets the primary colour's alpha; the right
    // button and images without alpha are left alone.
    struct Row {
        const char* name;
        int bits;
        TMouseButton button;
        int alpha;
    };
    for (const Row& r : {Row{"left", 32, TMouseButton::Left, 40}, Row{"right", 32, TMouseButton::Right, 255},
                         Row{"24 bits", 24, TMouseButton::Left, 255}}) {
        SCOPED_TRACE(r.name);
        TToolBench o(TmyImagePal(Uniform({8, 8}, r.bits, Px(9, 9, 9))), TToolId::Opacity);
        o.colors.Primary = Px(1, 1, 1, 40);
        o.Drag({{2, 2}, {4, 2}}, r.button);
        EXPECT_EQ(o.image.At(3, 2).A, r.alpha);
        EXPECT_EQ(o.image.At(7, 7).A, 255);
    }

    // Brighten builds up over the stroke (it reads the image, not the press).
    TToolBench t(TmyImagePal(Uniform({8, 8}, 24, Px(100, 100, 100))), TToolId::Brighten);
    t.Drag({{3, 3}, {4, 3}, {3, 3}});
    EXPECT_EQ(t.image.At(3, 3), Px(106, 106, 106)) << "two dabs";
    t.Click(5, 5, TMouseButton::Right);
    EXPECT_EQ(t.image.At(5, 5), Px(97, 97, 97));
    EXPECT_EQ(t.host.questions, 0) << "no palette question at 24 bits";
}

TEST(FreehandTools, ThePaletteStepOfBrightenAndBlurComesOnceAtTheRelease) {
    struct Row {
        const char* name;
        TToolId tool;
        std::uint8_t action;
        TPhase end;
        int questions, replaced;
    };
    const Row rows[] = {
        {"brighten, ask", TToolId::Brighten, 2, TPhase::Release, 1, 1},
        {"blur, ask", TToolId::Blur, 2, TPhase::Release, 1, 1},
        {"brighten, change", TToolId::Brighten, 0, TPhase::Release, 0, 1},
        {"blur, keep", TToolId::Blur, 1, TPhase::Release, 0, 1},
        {"brighten, another value", TToolId::Brighten, 7, TPhase::Release, 0, 1},
        {"escape skips it", TToolId::Brighten, 2, TPhase::Cancel, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TmyImagePal img({16, 16}, 8);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) img.At(x, y) = (*img.Palette)[(x * 7 + y * 3) % 256];
        TToolBench b(img, r.tool);
        b.settings.PaletteAction = r.action;
        b.host.answer = TPaletteChoice::Keep;
        b.state.SetBrushSize(5);
        b.Drag({{4, 4}, {8, 8}, {10, 4}}, TMouseButton::Left, false, r.end);
        EXPECT_EQ(b.host.questions, r.questions);
        EXPECT_EQ(b.host.replaced, r.replaced);
        if (r.action <= 2) {
            EXPECT_TRUE(OnPalette(b.image));
        }
        if (r.end == TPhase::Cancel) {
            EXPECT_TRUE(b.image.Equals(img));
        }
    }
}

// ---------------------------------------------------------------- shape and gradient tools

TEST(ShapeTools, LinesAreStampedFromTheAnchorToTheLastMove) {
    TToolBench click(Blank(), TToolId::Line);
    click.state.SetBrushSize(3);
    click.Click(10, 10);
    EXPECT_EQ(Painted(click.image, kClear).size(), 9u);
    EXPECT_EQ(Painted(click.image, kClear).front(), (TPoint{9, 9}));

    TToolBench snap(Blank(), TToolId::Line);
    snap.Drag({{0, 0}, {10, 2}}, TMouseButton::Left, true);
    std::vector<TPoint> row;
    for (int x = 0; x <= 10; ++x) row.push_back({x, 0});
    EXPECT_EQ(Painted(snap.image, kClear), row);

    TToolBench diag(Blank(), TToolId::Line);
    diag.state.SetBrushShape(4);
    diag.Drag({{10, 5}, {4, 5}});
    // The second stamp of a diagonal tip is always one pixel to the left.
    EXPECT_NE(diag.image.At(3, 5), kClear);
    EXPECT_EQ(diag.image.At(11, 5), kClear);
}

TEST(ShapeTools, BoxesTheirFillStylesAndTheOnePixelClick) {
    struct Row {
        const char* name;
        TToolId tool;
        TMouseButton button;
        int fill;
        TPoint a, b;
    };
    const Row rows[] = {
        {"rectangle outline", TToolId::Rectangle, TMouseButton::Left, 1, {2, 2}, {5, 4}},
        {"rectangle dragged backwards", TToolId::Rectangle, TMouseButton::Left, 1, {5, 4}, {2, 2}},
        {"rectangle, right button, filled in the other colour", TToolId::Rectangle, TMouseButton::Right, 2, {2, 2}, {6, 6}},
        {"rectangle filled in the outline colour", TToolId::Rectangle, TMouseButton::Left, 3, {2, 2}, {6, 6}},
        {"rounded rectangle outline", TToolId::RoundRect, TMouseButton::Left, 1, {2, 2}, {12, 9}},
        {"ellipse outline", TToolId::Ellipse, TMouseButton::Left, 1, {2, 2}, {12, 9}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TToolBench b(Blank(), r.tool);
        b.state.SetFillStyle(r.fill);
        b.Drag({r.a, r.b}, r.button);
        const int l = std::min(r.a.X, r.b.X), t = std::min(r.a.Y, r.b.Y);
        const int rr = std::max(r.a.X, r.b.X), bb = std::max(r.a.Y, r.b.Y);
        const TmyPixel outline = r.button == TMouseButton::Left ? kRed : kBlue;
        const TmyPixel inside = r.fill == 1 ? kClear : r.fill == 3 ? outline : (outline == kRed ? kBlue : kRed);
        for (const TPoint& p : Painted(b.image, kClear)) {
            EXPECT_TRUE(p.X >= l && p.X <= rr && p.Y >= t && p.Y <= bb) << "outside the box: " << p;
        }
        // The middle of each edge carries the outline, the centre the fill.
        EXPECT_EQ(b.image.At((l + rr) / 2, t), outline);
        EXPECT_EQ(b.image.At(l, (t + bb) / 2), outline);
        EXPECT_EQ(b.image.At((l + rr) / 2, (t + bb) / 2), inside);
        if (r.tool == TToolId::Rectangle) {
            EXPECT_EQ(b.image.At(l, t), outline);
            EXPECT_EQ(b.image.At(rr, bb), outline);
        } else {
            EXPECT_EQ(b.image.At(l, t), kClear) << "rounded corners";
        }
    }
    // A click paints at least its pixel (a two-pixel pen on a 1 x 1 box).
    for (TToolId tool : {TToolId::Rectangle, TToolId::RoundRect, TToolId::Ellipse}) {
        TToolBench b(Blank(), tool);
        b.Click(7, 7);
        EXPECT_EQ(b.image.At(7, 7), kRed) << static_cast<int>(tool);
    }
}

TEST(ShapeTools, BandsFollowTheDragAndEscapeLeavesTheImage) {
    const std::pair<TToolId, TBandKind> kinds[] = {
        {TToolId::Line, TBandKind::Line},           {TToolId::Rectangle, TBandKind::Rectangle},
        {TToolId::RoundRect, TBandKind::RoundRect}, {TToolId::Ellipse, TBandKind::Ellipse},
        {TToolId::Gradient, TBandKind::Rectangle},  {TToolId::Crop, TBandKind::DottedRectangle},
    };
    for (const auto& [tool, kind] : kinds) {
        SCOPED_TRACE(static_cast<int>(tool));
        TToolBench b(TmyImagePal(Uniform({32, 32}, 32, Px(9, 8, 7))), tool);
        const TmyImagePal before = b.image;
        b.Send(3, 4, TPhase::Press);
        EXPECT_EQ(b.state.Band, (TBand{kind, {3, 4}, {3, 4}}));
        b.Send(9, 12, TPhase::Move);
        EXPECT_EQ(b.state.Band, (TBand{kind, {3, 4}, {9, 12}}));
        b.Send(0, 0, TPhase::Cancel);
        EXPECT_FALSE(b.state.Band.Shown());
        EXPECT_TRUE(b.image.Equals(before));
        b.Drag({{3, 4}, {9, 12}});
        EXPECT_FALSE(b.state.Band.Shown());
    }
}

TEST(ShapeTools, Gradients) {
    struct Row {
        const char* name;
        TmyPixel primary, secondary;
        TGradientKind kind;
        TMouseButton button;
        TPoint a, b;
        std::vector<TmyPixel> line;  // along the gradient, left to right or top to bottom
    };
    const Row rows[] = {
        {"red to blue over three columns", kRed, kBlue, TGradientKind::Horizontal, TMouseButton::Left, {0, 0}, {2, 0},
         {kRed, Px(128, 0, 128), kBlue}},
        {"dragged backwards the same", kRed, kBlue, TGradientKind::Horizontal, TMouseButton::Left, {2, 0}, {0, 0},
         {kRed, Px(128, 0, 128), kBlue}},
        {"right button starts with the secondary colour", kRed, kBlue, TGradientKind::Horizontal, TMouseButton::Right,
         {0, 0}, {2, 0}, {kBlue, Px(128, 0, 128), kRed}},
        {"fading red, the transparent end unpainted", kRed, kClear, TGradientKind::Horizontal, TMouseButton::Left,
         {0, 0}, {2, 0}, {kRed, Px(255, 0, 0, 128), kClear}},
        {"vertical", Px(0, 0, 0), Px(200, 100, 10), TGradientKind::Vertical, TMouseButton::Left, {0, 0}, {0, 4},
         {Px(0, 0, 0), Px(50, 25, 2), Px(100, 50, 5), Px(150, 75, 8), Px(200, 100, 10)}},
        {"one column", kRed, kBlue, TGradientKind::Horizontal, TMouseButton::Left, {1, 0}, {1, 0}, {kBlue}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TToolBench b(Blank(8, 8), TToolId::Gradient);
        b.colors = {r.primary, r.secondary};
        b.state.GradientKind = r.kind;
        b.Drag({r.a, r.b}, r.button);
        const int l = std::min(r.a.X, r.b.X), t = std::min(r.a.Y, r.b.Y);
        for (std::size_t i = 0; i < r.line.size(); ++i) {
            const int k = static_cast<int>(i);
            EXPECT_EQ(r.kind == TGradientKind::Horizontal ? b.image.At(l + k, t) : b.image.At(l, t + k), r.line[i]) << i;
        }
        EXPECT_EQ(b.host.replaced, 0);
    }
    // On an indexed image the gradient is brought onto a palette.
    TmyImagePal img({16, 4}, 4);
    TToolBench b(img, TToolId::Gradient);
    b.colors = {(*img.Palette)[1], (*img.Palette)[14]};
    b.settings.PaletteAction = 1;
    b.Drag({{0, 0}, {15, 3}});
    EXPECT_TRUE(OnPalette(b.image));
    EXPECT_EQ(b.host.replaced, 1);
}

// ---------------------------------------------------------------- one-click tools

TEST(ClickTools, Fill) {
    struct Row {
        const char* name;
        int bits;
        TmyPixel under, color, expect;
    };
    const Row rows[] = {
        {"the region's own colour changes nothing", 32, kRed, kRed, kRed},
        {"half transparent on 32 bits is laid over once", 32, kBlue, Px(255, 0, 0, 128), Px(128, 0, 127, 255)},
        {"half transparent below 32 bits is stored opaque", 24, kBlue, Px(255, 0, 0, 128), kRed},
        {"a transparent colour makes transparent black", 32, kBlue, Px(10, 20, 30, 0), kClear},
        {"transparent below 32 bits", 24, kBlue, Px(10, 20, 30, 0), kClear},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TToolBench b(TmyImagePal(Uniform({6, 6}, r.bits, r.under)), TToolId::Fill);
        // A wall splits the image: the fill keeps to its side.
        for (int y = 0; y < 6; ++y) b.image.At(3, y) = Px(0, 255, 0);
        b.colors.Primary = r.color;
        b.Click(1, 1);
        EXPECT_EQ(b.image.At(0, 5), r.expect);
        EXPECT_EQ(b.image.At(4, 0), r.under);
    }
}

TEST(ClickTools, ThePickerTakesThePixelAndGivesThePaletteBack) {
    TmyImagePal img = Blank(8, 8);
    img.At(3, 4) = Px(1, 2, 3, 77);
    TToolBench b(img, TToolId::Brush);
    b.state.SetTool(TToolId::Picker);
    b.Click(3, 4);
    EXPECT_EQ(b.colors.Primary, Px(1, 2, 3, 77)) << "alpha kept";
    EXPECT_EQ(b.host.pressed, (std::vector<TToolId>{TToolId::Brush}));
    EXPECT_EQ(b.host.picked, (std::vector<std::pair<TMouseButton, int>>{{TMouseButton::Left, -1}}));
    b.Click(3, 4, TMouseButton::Right, true);
    EXPECT_EQ(b.colors.Secondary, Px(1, 2, 3, 77));
    EXPECT_EQ(b.host.pressed.size(), 1u) << "with Shift the picker stays";
    // Nothing happens before the release.
    b.Send(0, 0, TPhase::Press);
    EXPECT_EQ(b.colors.Primary, Px(1, 2, 3, 77));
    b.Send(0, 0, TPhase::Cancel);
    // On an indexed image the panel is told the entry.
    TmyImagePal pal({4, 4}, 8);
    pal.At(1, 1) = (*pal.Palette)[200];
    TToolBench p(pal, TToolId::Picker);
    p.Click(1, 1);
    EXPECT_EQ(p.host.picked.back().second, (*pal.Palette).IndexOf((*pal.Palette)[200]));
}

TEST(ClickTools, ZoomStepsOnlyAtTheRelease) {
    struct Row {
        int zoom;
        TMouseButton button;
        std::vector<int> expect;
    };
    for (const Row& r : {Row{10, TMouseButton::Left, {15}}, Row{10, TMouseButton::Right, {7}},
                         Row{100, TMouseButton::Left, {}}, Row{1, TMouseButton::Right, {}}}) {
        SCOPED_TRACE(r.zoom);
        TToolBench b(Blank(), TToolId::Zoom);
        b.zoom = r.zoom;
        b.Send(1, 1, TPhase::Press, r.button);
        EXPECT_TRUE(b.host.zooms.empty());
        b.Send(1, 1, TPhase::Release, r.button);
        EXPECT_EQ(b.host.zooms, r.expect);
    }
}

TEST(ClickTools, TextBecomesAFloatingSelectionOfTheMeasuredSize) {
    struct Row {
        const char* name;
        int width, height, size;
        bool italic;
        ImageSize expect;
    };
    const Row rows[] = {
        {"plain", 20, 15, 12, false, {22, 18}},
        {"italic gains a quarter of the size", 20, 15, 12, true, {25, 18}},
        {"cut at 256", 300, 270, 30, false, {256, 256}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TToolBench b(Blank(), TToolId::Text);
        TTextStamp stamp{TTagBitmap(255, 255), r.width, r.height, r.size, r.italic};
        for (int x = 1; x < 6; ++x) stamp.Tag.At(x, 2) = TagSecondary;
        b.host.text = stamp;
        b.Click(7, 8, TMouseButton::Right);
        ASSERT_TRUE(b.host.floated);
        EXPECT_EQ(b.host.textAsked, (std::vector<TTagColor>{TTagColor::Secondary}));
        EXPECT_EQ(b.host.commits, 1);
        EXPECT_EQ(b.host.floated->Size(), r.expect);
        EXPECT_EQ(b.host.floated->BitCount, 32);
        EXPECT_EQ(b.host.floatedAt, (TPoint{7, 8}));
        EXPECT_EQ(b.host.floated->At(3, 2), kBlue);
        EXPECT_EQ(b.host.floated->At(0, 0), kClear);
        EXPECT_EQ(Painted(b.image, kClear).size(), 0u) << "the image waits for the drop";
    }
    TToolBench cancelled(Blank(), TToolId::Text);
    cancelled.Click(1, 1);
    EXPECT_FALSE(cancelled.host.floated);
    EXPECT_EQ(cancelled.host.commits, 0) << "a cancelled text keeps the selection";
}

TEST(ClickTools, TheHotspotToolGivesThePaletteBackAndAsksTheWindow) {
    TToolBench b(Blank(), TToolId::Brush);
    b.state.SetTool(TToolId::Hotspot);
    b.Send(5, 6, TPhase::Press);
    EXPECT_EQ(b.host.pressed, (std::vector<TToolId>{TToolId::Brush}));
    ASSERT_EQ(b.host.hotspots.size(), 1u);
    const THotspotRequest& r = b.host.hotspots[0];
    EXPECT_EQ((std::array<int, 4>{r.MaxX, r.MaxY, r.X, r.Y}), (std::array<int, 4>{31, 31, 5, 6}));
}

// ---------------------------------------------------------------- rectangle tools

TEST(RectangleTools, TheSelectionToolDrawsItsBandFromTheFirstMoveAndLiftsAtTheRelease) {
    TToolBench click(Blank(), TToolId::Selection);
    click.Click(4, 4);
    EXPECT_EQ(click.host.commits, 1);
    EXPECT_TRUE(click.host.lifts.empty()) << "a click makes no selection";
    EXPECT_FALSE(click.state.Band.Shown());

    TToolBench b(Blank(), TToolId::Selection);
    b.Send(2, 3, TPhase::Press);
    EXPECT_TRUE(b.state.BandPending);
    EXPECT_FALSE(b.state.Band.Shown());
    b.Send(5, 1, TPhase::Move);
    EXPECT_EQ(b.state.Band, (TBand{TBandKind::DottedRectangle, {2, 3}, {5, 1}}));
    b.Send(7, 7, TPhase::Release);
    EXPECT_EQ(b.host.lifts, (std::vector<std::pair<TPoint, TPoint>>{{{2, 3}, {5, 1}}}));
    EXPECT_FALSE(b.state.Band.Shown());

    // After a drop the next move is skipped once; the right button only drops.
    TToolBench s(Blank(), TToolId::Selection);
    s.Send(2, 2, TPhase::Press);
    s.state.SkipNextMove = true;
    s.Send(6, 6, TPhase::Move);
    EXPECT_FALSE(s.state.Band.Shown());
    s.Send(7, 7, TPhase::Move);
    EXPECT_TRUE(s.state.Band.Shown());
    s.Send(0, 0, TPhase::Cancel);
    EXPECT_FALSE(s.state.Band.Shown());
    s.Drag({{1, 1}, {5, 5}}, TMouseButton::Right);
    EXPECT_TRUE(s.host.lifts.empty());
    EXPECT_EQ(s.host.commits, 2);
}

TEST(RectangleTools, CropKeepsDepthPaletteAndRateAndIsRefusedForATakenFormat) {
    std::vector<std::string> messages;
    SetMessageSink([&](const MessageRequest& m) {
        messages.push_back(m.text);
        return int(idOK);
    });
    TmyImagePal img({32, 32}, 8);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) img.At(x, y) = (*img.Palette)[(x + 32 * y) % 256];
    img.SetRate(1.5);
    img.SetHotSpotX(10);
    img.SetHotSpotY(2);

    TToolBench refused(img, TToolId::Crop);
    refused.host.canAdd = false;
    refused.Drag({{4, 4}, {19, 19}});
    EXPECT_EQ(messages, (std::vector<std::string>{"There is already an image with this format in the icon!"}));
    EXPECT_TRUE(refused.image.Equals(img));
    EXPECT_EQ(refused.host.replaced, 0);

    TToolBench b(img, TToolId::Crop);
    b.Drag({{19, 19}, {4, 4}});
    EXPECT_EQ(b.host.canAddAsked, (std::vector<ImageSize>{{16, 16}}));
    EXPECT_EQ(b.image.Size(), (ImageSize{16, 16}));
    EXPECT_EQ(b.image.BitCount, 8);
    EXPECT_TRUE(b.image.Palette && *b.image.Palette == *img.Palette);
    EXPECT_EQ(b.image.Rate(), 1.5);
    EXPECT_EQ(b.image.HotSpotX(), 6);
    EXPECT_EQ(b.image.HotSpotY(), 0);
    EXPECT_EQ(b.image.At(0, 0), img.At(4, 4));
    EXPECT_EQ(b.image.At(15, 15), img.At(19, 19));
    EXPECT_EQ(b.host.resized, 1);

    // With Shift the square stays inside the image.
    TToolBench s(img, TToolId::Crop);
    s.Drag({{20, 5}, {31, 30}}, TMouseButton::Left, true);
    EXPECT_EQ(s.image.Size(), (ImageSize{12, 12}));
    EXPECT_EQ(s.image.At(0, 0), img.At(20, 5));
    SetMessageSink(nullptr);
}

// ---------------------------------------------------------------- the colour panel's palette edit

TEST(PaletteEdit, OnlyAnEntryHoldingTheOldColourChanges) {
    const TmyPixel old = Px(10, 20, 30), fresh = Px(200, 100, 0);
    struct Row {
        const char* name;
        std::vector<int> holders;  // entries set to the old colour
        int cell;
        bool changed;
        int entry;
        bool pixelsFollow;
    };
    const Row rows[] = {
        {"the framed entry", {5}, 5, true, 5, true},
        {"a stale frame gives way to the entry that holds it", {7}, 5, true, 7, true},
        {"no frame", {7}, -1, true, 7, true},
        {"shared by two entries: the framed one only, no pixel", {5, 9}, 9, true, 9, false},
        {"not in the palette: nothing", {}, 5, false, -1, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TmyImagePal img({4, 4}, 8);
        for (int h : r.holders) (*img.Palette)[h] = old;
        const TmyPalette before = *img.Palette;
        img.At(1, 1) = old;
        img.At(2, 2) = (*img.Palette)[0];
        TmyPixel secondary = old;
        int snapshots = 0;
        const TPaletteEdit e = ReplacePaletteColor(img, old, fresh, r.cell, secondary, [&] { ++snapshots; });
        EXPECT_EQ(e.Changed, r.changed);
        EXPECT_EQ(e.Entry, r.entry);
        EXPECT_EQ(snapshots, r.changed ? 1 : 0);
        for (int i = 0; i < 256; ++i) EXPECT_EQ((*img.Palette)[i], i == r.entry ? fresh : before[i]) << i;
        EXPECT_EQ(img.At(1, 1), r.pixelsFollow ? fresh : old);
        EXPECT_EQ(img.At(2, 2), before[0]);
        EXPECT_EQ(secondary, r.changed ? fresh : old);
        EXPECT_EQ(e.SecondaryChanged, r.changed);
    }
    // Nothing to do: same colours, transparent old colour, no palette.
    TmyImagePal img({2, 2}, 8);
    (*img.Palette)[3] = old;
    TmyPixel sec{};
    int snapshots = 0;
    auto count = [&] { ++snapshots; };
    EXPECT_FALSE(ReplacePaletteColor(img, old, old, 3, sec, count).Changed);
    EXPECT_FALSE(ReplacePaletteColor(img, Px(10, 20, 30, 0), fresh, 3, sec, count).Changed);
    TmyImagePal direct({2, 2}, 32);
    EXPECT_FALSE(ReplacePaletteColor(direct, old, fresh, 3, sec, count).Changed);
    EXPECT_EQ(snapshots, 0);
}

// ---------------------------------------------------------------- every tool on every depth

struct DepthCase {
    TToolId tool;
    int bits;
    TMouseButton button;
};

std::string CaseName(const ::testing::TestParamInfo<DepthCase>& info) {
    static const char* const names[] = {"None",    "Selection", "Crop",    "Text",   "Eraser",   "Fill",    "Spray",
                                        "Brush",   "Pencil",    "Line",    "Rect",   "RoundRect", "Ellipse", "Picker",
                                        "Zoom",    "Opacity",   "Gradient", "Brighten", "Blur",   "Hotspot"};
    return std::string(names[static_cast<int>(info.param.tool)]) + "_" + std::to_string(info.param.bits) + "bit_" +
           (info.param.button == TMouseButton::Left ? "left" : "right");
}

std::vector<DepthCase> AllDepthCases() {
    std::vector<DepthCase> out;
    for (int t = 1; t <= kToolCount; ++t)
        for (int bits : {1, 4, 8, 24, 32})
            for (TMouseButton b : {TMouseButton::Left, TMouseButton::Right})
                out.push_back({static_cast<TToolId>(t), bits, b});
    return out;
}

class EveryToolOnEveryDepth : public ::testing::TestWithParam<DepthCase> {
protected:
    // A picture of palette colours (or any colours at 24 and 32 bits) with a
    // transparent corner, and colours the colour panel would allow.
    TToolBench Make() {
        const DepthCase& c = GetParam();
        TmyImagePal img({24, 20}, c.bits);
        TBytes rnd(static_cast<std::uint32_t>(c.bits * 31 + static_cast<int>(c.tool)));
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 24; ++x) {
                TmyPixel& p = img.At(x, y);
                if (x < 4 && y < 4) continue;
                if (img.Palette) p = (*img.Palette)[rnd.Next() % img.Palette->Count()];
                else p = Px(rnd.Next(), rnd.Next(), rnd.Next(), c.bits == 32 ? rnd.Next() : 255);
            }
        TToolBench b(img, c.tool);
        b.state.SetBrushSize(3);
        b.settings.PaletteAction = 1;
        b.host.answer = TPaletteChoice::Keep;
        b.host.text = TTextStamp{TTagBitmap(255, 255), 10, 10, 12, false};
        if (img.Palette) b.colors = {(*img.Palette)[img.Palette->Count() - 1], TmyPixel::Create()};
        else b.colors = {Px(250, 10, 10, c.bits == 32 ? 140 : 255), Px(0, 0, 0, 0)};
        return b;
    }
};

TEST_P(EveryToolOnEveryDepth, IndexedImagesKeepTheirPalette) {
    const DepthCase& c = GetParam();
    TToolBench b = Make();
    b.Drag({{2, 2}, {9, 6}, {17, 13}, {15, 15}}, c.button);
    EXPECT_TRUE(OnPalette(b.image));
    if (c.bits == 24) {
        for (const TmyPixel& p : b.image.Pixels()) ASSERT_TRUE(p.A == 255 || p == TmyPixel::Create()) << p;
    }
}

TEST_P(EveryToolOnEveryDepth, EscapeGivesBackTheStartOfTheStroke) {
    const DepthCase& c = GetParam();
    TToolBench b = Make();
    const TmyImagePal before = b.image;
    const TToolId tool = b.state.ToolId;
    b.Drag({{2, 2}, {9, 6}, {17, 13}}, c.button, false, TPhase::Cancel);
    EXPECT_TRUE(b.image.Equals(before));
    EXPECT_EQ(b.image.Size(), before.Size());
    EXPECT_FALSE(b.state.Band.Shown());
    EXPECT_EQ(b.state.ToolId, tool);
}

INSTANTIATE_TEST_SUITE_P(Tools, EveryToolOnEveryDepth, ::testing::ValuesIn(AllDepthCases()), CaseName);

}  // namespace
}  // namespace velto::test
