// Brush tips and the shape rasteriser.
#include "engine/TagBitmap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velto {
namespace {

// The bitmap as text rows: '#' the pen tag, 'o' the other tag, '.' untagged.
std::vector<std::string> Picture(const TTagBitmap& b, TTag pen = TagPrimary) {
    std::vector<std::string> rows;
    for (int y = 0; y < b.Height(); ++y) {
        std::string row;
        for (int x = 0; x < b.Width(); ++x) {
            const TTag t = b.At(x, y);
            row += t == TagNone ? '.' : t == pen ? '#' : 'o';
        }
        rows.push_back(row);
    }
    return rows;
}

TEST(BrushTips, ShapesSizesAndColours) {
    const TBrushTips tips;
    struct Row {
        TBrushShape shape;
        int size;
        std::vector<std::string> expected;
    } rows[] = {
        {TBrushShape::Square, 1, {"#"}},
        {TBrushShape::Round, 1, {"#"}},
        {TBrushShape::RisingDiagonal, 1, {"#"}},
        {TBrushShape::Round, 2, {"##", "##"}},
        {TBrushShape::Square, 3, {"###", "###", "###"}},
        {TBrushShape::Round, 3, {".#.", "###", ".#."}},
        {TBrushShape::Round, 4, {".##.", "####", "####", ".##."}},
        {TBrushShape::Round, 5, {".###.", "#####", "#####", "#####", ".###."}},
        {TBrushShape::Round, 7,
         {"..###..", ".#####.", "#######", "#######", "#######", ".#####.", "..###.."}},
        {TBrushShape::RisingDiagonal, 3, {"..#", ".#.", "#.."}},
        {TBrushShape::FallingDiagonal, 4, {"#...", ".#..", "..#.", "...#"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(static_cast<int>(r.shape)) + " size " + std::to_string(r.size));
        EXPECT_EQ(Picture(tips.Tip(r.shape, TTagColor::Primary, r.size), TagPrimary), r.expected);
        // The secondary tips are the same figures with the other tag.
        EXPECT_EQ(Picture(tips.Tip(r.shape, TTagColor::Secondary, r.size), TagSecondary), r.expected);
    }
    // Sizes outside 1..7 are taken into it.
    EXPECT_EQ(tips.Tip(TBrushShape::Square, TTagColor::Primary, 0).Width(), 1);
    EXPECT_EQ(tips.Tip(TBrushShape::Square, TTagColor::Primary, 99).Width(), 7);
    EXPECT_EQ(TagPrimary.R, 0);  // the primary tag is the picture colour with red byte 0
    EXPECT_EQ(TagSecondary.G, 0);
}

TEST(ShapeTags, ToolBitmapsFromTheirExamples) {
    // A rectangle from (2, 2) to (5, 4): the 4 x 3 box outlined, at (3, 3) in a 10 x 9 bitmap.
    const TTagBitmap rect = ShapeTagBitmap(TShapeKind::Rectangle, 4, 3, 1, TFillStyle::Outline, TTagColor::Primary);
    EXPECT_EQ(Picture(rect), (std::vector<std::string>{
                                 "..........", "..........", "..........",  //
                                 "...####...", "...#..#...", "...####...",  //
                                 "..........", "..........", ".........."}));
    // Outline in the right button's colour, the inside in the left one's.
    const TTagBitmap filled =
        ShapeTagBitmap(TShapeKind::Rectangle, 4, 3, 1, TFillStyle::OutlineAndFill, TTagColor::Secondary);
    EXPECT_EQ(filled.At(3, 3), TagSecondary);
    EXPECT_EQ(filled.At(4, 4), TagPrimary);
    EXPECT_EQ(filled.At(2, 4), TagNone);
    const TTagBitmap solid = ShapeTagBitmap(TShapeKind::Ellipse, 5, 5, 1, TFillStyle::Filled, TTagColor::Primary);
    EXPECT_EQ(solid.At(5, 5), TagPrimary);
    // A click (1 x 1 box, size 1) draws with a pen of 2 and covers the pixel.
    const TTagBitmap click = ShapeTagBitmap(TShapeKind::Ellipse, 1, 1, 1, TFillStyle::Outline, TTagColor::Primary);
    EXPECT_EQ(click.Width(), 7);
    EXPECT_EQ(click.At(3, 3), TagPrimary);
    // A figure one pixel wide is a line.
    const TTagBitmap line = ShapeTagBitmap(TShapeKind::Ellipse, 1, 5, 1, TFillStyle::Outline, TTagColor::Primary);
    for (int y = 3; y < 8; ++y) EXPECT_EQ(line.At(3, y), TagPrimary) << y;
    EXPECT_EQ(line.At(3, 2), TagNone);
    EXPECT_EQ(line.At(3, 8), TagNone);
}

// Every figure at every pen width, drawn with room around it: it stays
// within 3 pixels of its box (so the tools' bitmap cuts nothing off), is
// symmetric, reaches every side of the box, and its outline is closed: the
// untagged pixels reached from outside never meet the fill.
TEST(ShapeTags, OutlinesAreClosedSymmetricAndWithinTheMargin) {
    constexpr int kRoom = 10;
    for (TShapeKind kind : {TShapeKind::Rectangle, TShapeKind::RoundRect, TShapeKind::Ellipse})
        for (int pen = 1; pen <= 7; ++pen)
            for (auto [w, h] : {std::pair{1, 1}, {2, 7}, {5, 5}, {9, 4}, {16, 12}, {31, 30}}) {
                SCOPED_TRACE(std::to_string(static_cast<int>(kind)) + " pen " + std::to_string(pen) + " " +
                             std::to_string(w) + "x" + std::to_string(h));
                const TTagBitmap tool = ShapeTagBitmap(kind, w, h, pen, TFillStyle::OutlineAndFill, TTagColor::Primary);
                const int penWidth = (w == 1 && h == 1 && pen == 1) ? 2 : pen;
                const int W = w + 2 * kRoom, H = h + 2 * kRoom;
                TTagBitmap b(W, H);
                DrawShapeTag(b, kind, {kRoom, kRoom, w, h, w / 3, w / 3}, TagPrimary, penWidth, TagSecondary);
                bool top = false, left = false;
                for (int y = 0; y < H; ++y)
                    for (int x = 0; x < W; ++x) {
                        const TTag t = b.At(x, y);
                        ASSERT_EQ(t, b.At(W - 1 - x, y)) << x << "," << y;
                        ASSERT_EQ(t, b.At(x, H - 1 - y)) << x << "," << y;
                        const bool near = x >= kRoom - 3 && y >= kRoom - 3 && x < kRoom + w + 3 && y < kRoom + h + 3;
                        ASSERT_EQ(t, near ? tool.At(x - kRoom + 3, y - kRoom + 3) : TagNone) << x << "," << y;
                        top |= y == kRoom && t == TagPrimary;
                        left |= x == kRoom && t == TagPrimary;
                    }
                ASSERT_TRUE(top && left);
                std::vector<char> seen(static_cast<std::size_t>(W * H), 0);
                std::vector<std::pair<int, int>> stack{{0, 0}};
                seen[0] = 1;
                while (!stack.empty()) {
                    auto [x, y] = stack.back();
                    stack.pop_back();
                    ASSERT_NE(b.At(x, y), TagSecondary) << "the fill leaks out at " << x << "," << y;
                    for (auto [nx, ny] : {std::pair{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}}) {
                        if (!b.Contains(nx, ny) || seen[static_cast<std::size_t>(ny * W + nx)]) continue;
                        if (b.At(nx, ny) == TagPrimary) continue;
                        seen[static_cast<std::size_t>(ny * W + nx)] = 1;
                        stack.push_back({nx, ny});
                    }
                }
            }
}

TEST(ShapeTags, WidePensAndRoundedCorners) {
    // A pen of 3 on a 5 x 5 rectangle: one pixel outside the box, two inside, one pixel of fill.
    TTagBitmap b(11, 11);
    DrawShapeTag(b, TShapeKind::Rectangle, {3, 3, 5, 5, 0, 0}, TagPrimary, 3, TagSecondary);
    EXPECT_EQ(Picture(b), (std::vector<std::string>{
                              "...........", "...........", "..#######..", "..#######..", "..#######..",
                              "..###o###..", "..#######..", "..#######..", "..#######..", "...........",
                              "..........."}));
    // Rounded corners cut the box's corner pixels; square corners keep them.
    TTagBitmap r(16, 16), s(16, 16);
    DrawShapeTag(r, TShapeKind::RoundRect, {2, 2, 12, 12, 6, 6}, TagPrimary, 1, std::nullopt);
    DrawShapeTag(s, TShapeKind::RoundRect, {2, 2, 12, 12, 0, 0}, TagPrimary, 1, std::nullopt);
    EXPECT_EQ(r.At(2, 2), TagNone);
    EXPECT_EQ(s.At(2, 2), TagPrimary);
    EXPECT_EQ(r.At(7, 2), TagPrimary);
    EXPECT_EQ(r.At(7, 7), TagNone);  // no brush: the inside stays free
    // Parts outside the bitmap are skipped.
    TTagBitmap small(4, 4);
    DrawShapeTag(small, TShapeKind::Ellipse, {-10, -10, 30, 30, 0, 0}, TagPrimary, 7, TagSecondary);
    EXPECT_EQ(small.At(0, 0), TagSecondary);
}

}  // namespace
}  // namespace velto
