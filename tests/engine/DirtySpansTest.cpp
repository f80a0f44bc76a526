// The pixels a stroke changed, row by row, and the rectangles the canvas
// repaints for them: every changed pixel inside, little more painted than
// changed, however the stroke runs.
#include <gtest/gtest.h>

#include "ToolTestUtil.h"
#include "engine/PixelBuffers.h"
#include "engine/ToolDispatch.h"

namespace velto::test {
namespace {

bool Covers(const std::vector<TDirtyRect>& rects, int x, int y) {
    for (const TDirtyRect& r : rects)
        if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) return true;
    return false;
}

long long Area(const std::vector<TDirtyRect>& rects) {
    long long a = 0;
    for (const TDirtyRect& r : rects) a += static_cast<long long>(r.Right - r.Left) * (r.Bottom - r.Top);
    return a;
}

TEST(DirtySpans, RectanglesCoverTheSpansAndLittleElse) {
    TDirtySpans none;
    EXPECT_TRUE(none.Empty());
    EXPECT_TRUE(none.Rects().empty());

    // A level band: one rectangle, exactly the band.
    TDirtySpans level;
    for (int y = 10; y < 17; ++y)
        for (int x = 0; x < 255; ++x) level.Add(x, y);
    ASSERT_EQ(level.Rects().size(), 1u);
    EXPECT_EQ(level.Rects()[0], (TDirtyRect{0, 10, 255, 17}));
    EXPECT_EQ(level.Count(), 255 * 7);

    // A diagonal band 7 wide, two columns further each row, and rows with a
    // gap between them: all covered, at most a quarter more pixels painted.
    TDirtySpans diagonal;
    for (int y = 0; y < 128; ++y)
        for (int x = 2 * y; x < 2 * y + 7; ++x) diagonal.Add(x, y);
    diagonal.Add(3, 200);
    diagonal.Add(250, 200);
    const auto rects = diagonal.Rects();
    for (int y = 0; y < 128; ++y)
        for (int x = 2 * y; x < 2 * y + 7; ++x) ASSERT_TRUE(Covers(rects, x, y)) << x << "," << y;
    EXPECT_TRUE(Covers(rects, 3, 200));
    EXPECT_TRUE(Covers(rects, 250, 200));
    EXPECT_FALSE(Covers(rects, 3, 150)) << "rows without change are not painted";
    EXPECT_LE(4 * (Area(rects) - 248), 5 * 128 * 7);  // row 200: one span, 3 to 250
    EXPECT_GT(rects.size(), 10u);
}

TEST(DirtySpans, AStrokeReportsItsPixelsRowByRow) {
    for (const TToolId tool : {TToolId::Pencil, TToolId::Brush}) {
        TToolBench b(TmyImagePal({64, 64}, 32), tool);
        b.state.SetBrushSize(5);
        b.Send(2, 2, TPhase::Press);
        const TmyImagePal before = b.image;
        const TToolResult r = b.Send(60, 40, TPhase::Move);
        int changed = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                if (b.image.At(x, y) == before.At(x, y)) continue;
                ++changed;
                ASSERT_LT(static_cast<std::size_t>(y), r.ChangedRows.Rows.size());
                const auto& s = r.ChangedRows.Rows[static_cast<std::size_t>(y)];
                EXPECT_TRUE(x >= s.Left && x < s.Right) << x << "," << y;
            }
        EXPECT_GT(changed, 0);
        EXPECT_GE(r.ChangedRows.Count(), changed);
        // The rows lie within the event's rectangle.
        TDirtyRect around;
        for (const TDirtyRect& rect : r.ChangedRows.Rects()) around.Add(rect);
        EXPECT_EQ(around, r.Changed);
        b.Send(60, 40, TPhase::Release);
    }
}

}  // namespace
}  // namespace velto::test
