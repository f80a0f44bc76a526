// The advanced import window's arithmetic: the zoom ladder, the fitting
// zoom, where the selection shows, and how the mouse moves and resizes it.
#include <gtest/gtest.h>

#include <vector>

#include "dialogs/ImportGeometry.h"

using namespace velto;

namespace {

TEST(ImportZoom, LadderSkipsZeroAndMinusOneBothWays) {
    // Walking up from the deepest reduction and back down passes the same rungs.
    const std::vector<int> rungs = {-6, -4, -3, -2, 1, 2, 3, 4, 6, 9, 13};
    for (std::size_t i = 0; i + 1 < rungs.size(); ++i) {
        EXPECT_EQ(ImportZoomIn(rungs[i]), rungs[i + 1]) << "in from " << rungs[i];
        EXPECT_EQ(ImportZoomOut(rungs[i + 1]), rungs[i]) << "out from " << rungs[i + 1];
    }
    EXPECT_EQ(ImportZoomIn(13), 19);
}

TEST(ImportZoom, StaysWithinLimits) {
    int z = 1;
    for (int i = 0; i < 40; ++i) z = ImportZoomIn(z);
    EXPECT_EQ(z, kImportZoomMax);
    z = 1;
    for (int i = 0; i < 40; ++i) z = ImportZoomOut(z);
    EXPECT_EQ(z, kImportZoomMin);
    for (int from = kImportZoomMin; from <= kImportZoomMax; ++from) {
        if (from == 0 || from == -1) continue;
        for (int to : {ImportZoomIn(from), ImportZoomOut(from)}) {
            EXPECT_NE(to, 0) << from;
            EXPECT_NE(to, -1) << from;
        }
    }
}

TEST(ImportZoom, FitPicksWholeZoomOrSmallestReduction) {
    struct Case {
        ImageSize source, view;
        int zoom;
    } cases[] = {
        {{300, 200}, {256, 256}, -2},  // 150 x 100
        {{16, 16}, {256, 256}, 16},
        {{256, 256}, {256, 256}, 1},
        {{257, 10}, {256, 256}, -2},
        {{1000, 5}, {100, 100}, -10},
        {{1, 1}, {1000, 1000}, kImportZoomMax},  // never beyond the ladder's top
    };
    for (const Case& c : cases) EXPECT_EQ(ImportFitZoom(c.source, c.view), c.zoom) << c.source.Width;
    EXPECT_EQ(ImportZoomedSize({300, 200}, -2), (ImageSize{150, 100}));
    EXPECT_EQ(ImportZoomedSize({1000, 5}, -10), (ImageSize{100, 1}));  // a side never vanishes
    EXPECT_EQ(ImportZoomedSize({3, 2}, 4), (ImageSize{12, 8}));
    EXPECT_EQ(CentreOffset(256, 150), 53);
    EXPECT_EQ(CentreOffset(256, 100), 78);
    EXPECT_EQ(CentreOffset(100, 150), 0);
}

TEST(ImportView, FrameAndPixelFollowZoomOffsetsAndScroll) {
    TImportView v{3, 10, 20, 6, 0};
    EXPECT_EQ(v.FrameOf({2, 1, 5, 4}), (TViewRect{10 + 6 - 6, 20 + 3, 9, 9}));
    int sx = 0, sy = 0;
    v.SourcePixelAt(10 + 8, 20 + 2, sx, sy);  // content (14, 2) -> pixel (4, 0)
    EXPECT_EQ(sx, 4);
    EXPECT_EQ(sy, 0);
    v.SourcePixelAt(3, 19, sx, sy);  // left of and above the picture
    EXPECT_LT(sx, 0);
    EXPECT_LT(sy, 0);
    const TImportView reduced{-2, 53, 78, 0, 0};
    EXPECT_EQ(reduced.FrameOf({0, 0, 300, 200}), (TViewRect{53, 78, 150, 100}));
    reduced.SourcePixelAt(53 + 5, 78 + 1, sx, sy);
    EXPECT_EQ(sx, 10);
    EXPECT_EQ(sy, 2);
}

TEST(ImportDrag, WholeStepsOnlyRemainderKept) {
    TImportDrag d;
    int dx = 0, dy = 0;
    d.Step(4, 3, -3, dx, dy);  // zoom 4: three screen pixels are no source pixel yet
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(dy, 0);
    d.Step(4, 2, -2, dx, dy);  // now five: one pixel, one left over
    EXPECT_EQ(dx, 1);
    EXPECT_EQ(dy, -1);
    d.Reset();
    d.Step(-3, 2, 1, dx, dy);  // zoomed out: each screen pixel is three
    EXPECT_EQ(dx, 6);
    EXPECT_EQ(dy, 3);
}

TEST(ImportSelection, FrameMovesWholeAndStaysInside) {
    const ImageSize src{100, 80};
    const TImportRect r{10, 10, 40, 30};
    EXPECT_EQ(MoveSelection(r, TImportGrip::Frame, 5, -3, src), (TImportRect{15, 7, 45, 27}));
    EXPECT_EQ(MoveSelection(r, TImportGrip::Frame, -50, -50, src), (TImportRect{0, 0, 30, 20}));
    EXPECT_EQ(MoveSelection(r, TImportGrip::Frame, 500, 500, src), (TImportRect{70, 60, 100, 80}));
}

TEST(ImportSelection, HandlesMoveOnlyTheirEdgesAndKeepOnePixel) {
    const ImageSize src{100, 80};
    const TImportRect r{10, 10, 40, 30};
    struct Case {
        TImportGrip grip;
        int dx, dy;
        TImportRect want;
    } cases[] = {
        {TImportGrip::Left, 500, 0, {39, 10, 40, 30}},  // past the right edge: right - 1
        {TImportGrip::Left, -500, 7, {0, 10, 40, 30}},
        {TImportGrip::Right, -500, 0, {10, 10, 11, 30}},
        {TImportGrip::Right, 500, 0, {10, 10, 100, 30}},
        {TImportGrip::Top, 3, 500, {10, 29, 40, 30}},
        {TImportGrip::Bottom, 0, 500, {10, 10, 40, 80}},
        {TImportGrip::TopLeft, -3, -4, {7, 6, 40, 30}},
        {TImportGrip::BottomRight, 5, 6, {10, 10, 45, 36}},
        {TImportGrip::TopRight, 5, 6, {10, 16, 45, 30}},
        {TImportGrip::BottomLeft, 5, 6, {15, 10, 40, 36}},
    };
    for (const Case& c : cases) EXPECT_EQ(MoveSelection(r, c.grip, c.dx, c.dy, src), c.want) << int(c.grip);
}

TEST(ImportSelection, FixedSizesParsedAndLimitedToThePicture) {
    EXPECT_EQ(ParseFixedSize("256 x 256", {100, 80}), (ImageSize{100, 80}));
    EXPECT_EQ(ParseFixedSize("16 x 16", {100, 80}), (ImageSize{16, 16}));
    EXPECT_EQ(ParseFixedSize("48 x 32", {100, 80}), (ImageSize{48, 32}));
    EXPECT_FALSE(ParseFixedSize("x 16", {100, 80}));
    EXPECT_FALSE(ParseFixedSize("sixteen", {100, 80}));
    EXPECT_FALSE(ParseFixedSize("0 x 16", {100, 80}));
}

}  // namespace
