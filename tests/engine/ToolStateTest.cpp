// Tool state: the tool table, choosing tools, the zoom tool's steps, canvas
// positions and the Shift constraint of the drag tools.
#include <gtest/gtest.h>

#include <vector>

#include "ToolTestUtil.h"
#include "engine/ToolState.h"

namespace velto::test {
namespace {

TEST(ToolState, StartsWithThePencilAtSizeOneSquare) {
    const TToolState s;
    EXPECT_EQ(s.ToolId, TToolId::Pencil);
    EXPECT_EQ(s.PrevToolId, TToolId::None);
    EXPECT_EQ(s.BrushSize, 1);
    EXPECT_EQ(s.BrushShape, TBrushShape::Square);
    EXPECT_EQ(s.FillStyle, TFillStyle::Outline);
    EXPECT_EQ(s.GradientKind, TGradientKind::Horizontal);
    EXPECT_FALSE(s.Band.Shown());
}

TEST(ToolState, TheTableOfTools) {
    struct Row {
        TToolId id;
        int cursor;
        std::optional<std::uint8_t> panels;
        bool undo, shift;
        TBandKind band;
        bool outline;
    };
    constexpr std::uint8_t SS = PanelSize | PanelShape;
    const Row rows[] = {
        {TToolId::Selection, 13, 0, false, true, TBandKind::DottedRectangle, false},
        {TToolId::Crop, 14, 0, true, true, TBandKind::DottedRectangle, false},
        {TToolId::Text, 12, 0, false, false, TBandKind::None, false},
        {TToolId::Eraser, 8, SS, true, false, TBandKind::None, true},
        {TToolId::Fill, 10, 0, true, false, TBandKind::None, false},
        {TToolId::Spray, 11, PanelSize, true, false, TBandKind::None, false},
        {TToolId::Brush, 9, SS, true, false, TBandKind::None, true},
        {TToolId::Pencil, 6, 0, true, false, TBandKind::None, false},
        {TToolId::Line, 15, SS, true, true, TBandKind::Line, false},
        {TToolId::Rectangle, 16, PanelSize | PanelFill, true, true, TBandKind::Rectangle, false},
        {TToolId::RoundRect, 17, PanelSize | PanelFill, true, true, TBandKind::RoundRect, false},
        {TToolId::Ellipse, 18, PanelSize | PanelFill, true, true, TBandKind::Ellipse, false},
        {TToolId::Picker, 7, 0, false, false, TBandKind::None, false},
        {TToolId::Zoom, 5, 0, false, false, TBandKind::None, false},
        {TToolId::Opacity, 19, SS, true, false, TBandKind::None, true},
        {TToolId::Gradient, 22, PanelGradient, true, true, TBandKind::Rectangle, false},
        {TToolId::Brighten, 20, SS, true, false, TBandKind::None, true},
        {TToolId::Blur, 21, SS, true, false, TBandKind::None, true},
        {TToolId::Hotspot, 26, std::nullopt, false, false, TBandKind::None, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.id));
        const TToolInfo& info = ToolInfo(r.id);
        EXPECT_EQ(info.Id, r.id);
        EXPECT_EQ(info.Cursor, r.cursor);
        EXPECT_EQ(info.Panels, r.panels);
        EXPECT_EQ(info.UndoAtPress, r.undo);
        EXPECT_EQ(info.ShiftSquares, r.shift);
        EXPECT_EQ(info.Band, r.band);
        EXPECT_EQ(info.BrushOutline, r.outline);
    }
    for (int n : {0, 20, -1, 255}) EXPECT_EQ(ToolInfo(ToolFromNumber(n)).Id, TToolId::None) << n;
}

TEST(ToolState, SetToolRemembersThePreviousToolAndOptionsStayInRange) {
    TToolState s;
    s.SetTool(TToolId::Brush);
    s.SetTool(TToolId::Picker);
    EXPECT_EQ(s.ToolId, TToolId::Picker);
    EXPECT_EQ(s.PrevToolId, TToolId::Brush);
    struct Row {
        const char* name;
        int value, size, shape, fill, gradient;
    };
    for (const Row& r : {Row{"low", -3, 1, 1, 1, 1}, Row{"mid", 2, 2, 2, 2, 2}, Row{"high", 99, 7, 4, 3, 2}}) {
        SCOPED_TRACE(r.name);
        s.SetBrushSize(r.value);
        s.SetBrushShape(r.value);
        s.SetFillStyle(r.value);
        s.SetGradientKind(r.value);
        EXPECT_EQ(s.BrushSize, r.size);
        EXPECT_EQ(static_cast<int>(s.BrushShape), r.shape);
        EXPECT_EQ(static_cast<int>(s.FillStyle), r.fill);
        EXPECT_EQ(static_cast<int>(s.GradientKind), r.gradient);
    }
    // The tip follows size, shape and button.
    s.SetBrushSize(5);
    s.SetBrushShape(3);
    EXPECT_EQ(&s.Tip(TTagColor::Secondary), &BrushTips().Tip(TBrushShape::RisingDiagonal, TTagColor::Secondary, 5));
}

TEST(ToolState, ZoomToolSteps) {
    std::vector<int> in{1}, out{100};
    while (in.back() != ZoomToolIn(in.back())) in.push_back(ZoomToolIn(in.back()));
    while (out.back() != ZoomToolOut(out.back())) out.push_back(ZoomToolOut(out.back()));
    EXPECT_EQ(in, (std::vector<int>{1, 2, 3, 4, 6, 9, 13, 19, 28, 42, 63, 94, 100}));
    EXPECT_EQ(out, (std::vector<int>{100, 67, 45, 30, 20, 14, 10, 7, 5, 4, 3, 2, 1}));
}

TEST(ToolState, CanvasPositionsAreClampedIntoTheImage) {
    struct Row {
        const char* name;
        int x, y, zoom;
        TPoint expect;
    };
    const Row rows[] = {
        {"beyond right, above", 400, -5, 10, {31, 0}},
        {"inside", 55, 109, 10, {5, 10}},
        {"last canvas pixel", 319, 319, 10, {31, 31}},
        {"zoom 1", 40, 3, 1, {31, 3}},
        {"zoom 0 taken as 1", 3, 4, 0, {3, 4}},
        {"far outside", -2147483647, 2147483647, 100, {0, 31}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(CanvasToImage(r.x, r.y, {32, 32}, r.zoom), r.expect);
    }
}

TEST(ToolState, ShiftConstraint) {
    struct Row {
        const char* name;
        TToolId tool;
        TPoint anchor, p, expect;
    };
    const Row rows[] = {
        {"line nearly level", TToolId::Line, {0, 0}, {10, 2}, {10, 0}},
        {"line at 3 of 10 goes diagonal", TToolId::Line, {0, 0}, {10, 3}, {10, 10}},
        {"line nearly upright", TToolId::Line, {0, 0}, {2, 10}, {0, 10}},
        {"rectangle squared by the longer side", TToolId::Rectangle, {5, 5}, {9, 6}, {9, 9}},
        {"rectangle up and left", TToolId::Rectangle, {10, 10}, {8, 1}, {1, 1}},
        {"rectangle may leave the image", TToolId::Ellipse, {30, 30}, {31, 20}, {40, 20}},
        {"selection, no clamp", TToolId::Selection, {20, 20}, {31, 25}, {31, 31}},
        {"selection, y clamped", TToolId::Selection, {20, 20}, {5, 30}, {9, 31}},
        {"selection, x clamped", TToolId::Selection, {20, 5}, {31, 30}, {31, 16}},
        // The crop is kept inside as the selection is.
        {"crop, x clamped", TToolId::Crop, {20, 5}, {31, 30}, {31, 16}},
        {"crop, x clamped leftward", TToolId::Crop, {3, 3}, {1, 20}, {0, 6}},
        {"crop, y clamped upward", TToolId::Crop, {29, 2}, {0, 1}, {27, 0}},
        {"selection beyond the bottom", TToolId::Selection, {1, 30}, {31, 31}, {2, 31}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const TPoint q = ConstrainDrag(r.tool, r.anchor, r.p, {32, 32});
        EXPECT_EQ(q, r.expect);
        if (r.tool == TToolId::Selection || r.tool == TToolId::Crop) {
            EXPECT_TRUE(q.X >= 0 && q.Y >= 0 && q.X < 32 && q.Y < 32);
            EXPECT_EQ(std::abs(q.X - r.anchor.X), std::abs(q.Y - r.anchor.Y)) << "still a square";
        }
    }
}

}  // namespace
}  // namespace velto::test
