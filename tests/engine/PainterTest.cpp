// Pixel writers, flood fill and strokes.
#include "engine/Painter.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <utility>

#include "EngineTestUtil.h"
#include "engine/Filter.h"

namespace velto {
namespace {

using test::Px;

// An image being painted: the image, its snapshot from the press, the target.
struct Stroke {
    TmyImagePal image;
    TmyImage snapshot;
    TPaintTarget target;

    explicit Stroke(TmyImagePal img) : image(std::move(img)), snapshot(image), target(image, &snapshot) {}
};

TEST(Painter, SetPixelAlphaRulesByDepth) {
    struct Row {
        const char* name;
        int bits;
        TmyPixel color, stored;
    } rows[] = {
        {"alpha 127 below 32 bits is transparent black", 8, Px(9, 9, 9, 127), Px(0, 0, 0, 0)},
        {"alpha 128 below 32 bits is opaque", 24, Px(9, 9, 9, 128), Px(9, 9, 9, 255)},
        {"32 bits keep partial alpha", 32, Px(9, 9, 9, 5), Px(9, 9, 9, 5)},
        {"transparent loses its colour", 32, Px(9, 9, 9, 0), Px(0, 0, 0, 0)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Stroke s(test::Uniform({4, 3}, r.bits, Px(1, 2, 3)));
        SetPixel(s.target, 2, 1, r.color);
        EXPECT_EQ(s.image.At(2, 1), r.stored);
        EXPECT_EQ(s.target.Canvas, (TDirtyRect{2, 1, 3, 2}));
        EXPECT_EQ(s.target.Preview, s.target.Canvas);
        SetPixel(s.target, 4, 0, r.color);  // outside: skipped
        SetPixel(s.target, -1, 0, r.color);
        EXPECT_EQ(s.target.Canvas, (TDirtyRect{2, 1, 3, 2}));
    }
    // No snapshot (no button held), or one of another size: nothing is written.
    TmyImagePal img = test::Uniform({4, 3}, 32, Px(1, 2, 3));
    TPaintTarget none(img);
    SetPixel(none, 0, 0, Px(9, 9, 9));
    BlendPixel(none, 0, 0, Px(9, 9, 9), TSoftEdge::Full);
    const TmyImage wrong({2, 2});
    TPaintTarget mismatched(img, &wrong);
    BlendPixel(mismatched, 3, 2, Px(9, 9, 9), TSoftEdge::Full);
    EXPECT_EQ(img.At(0, 0), Px(1, 2, 3));
    EXPECT_EQ(img.At(3, 2), Px(1, 2, 3));
    EXPECT_TRUE(none.Canvas.Empty());
}

TEST(Painter, BlendPixelByDepthAndMode) {
    struct Row {
        const char* name;
        int bits;
        TmyPixel under, color;
        TSoftEdge mode;
        TmyPixel stored;
    } rows[] = {
        {"below 24 bits any alpha is opaque", 8, Px(0, 0, 255), Px(255, 0, 0, 1), TSoftEdge::Full, Px(255, 0, 0)},
        {"below 24 bits alpha 0 is transparent black", 4, Px(0, 0, 255), Px(255, 0, 0, 0), TSoftEdge::Full,
         Px(0, 0, 0, 0)},
        {"32 bits composite over the snapshot", 32, Px(0, 0, 255), Px(255, 0, 0, 128), TSoftEdge::Full,
         Px(128, 0, 127)},
        {"24 bits make the result opaque", 24, Px(0, 0, 0, 0), Px(255, 0, 0, 10), TSoftEdge::Full, Px(255, 0, 0)},
        {"soft paint loses 30 percent of alpha", 32, Px(0, 0, 0, 0), Px(255, 0, 0, 200), TSoftEdge::Soft,
         Px(255, 0, 0, 140)},
        {"soft erase keeps 30 percent of the snapshot", 32, Px(10, 20, 30, 200), Px(255, 0, 0, 0), TSoftEdge::Erase,
         Px(10, 20, 30, 60)},
        {"erasing alpha 1 takes nothing away", 32, Px(10, 20, 30, 1), Px(255, 0, 0, 0), TSoftEdge::Erase,
         Px(10, 20, 30, 1)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Stroke s(test::Uniform({2, 2}, r.bits, r.under));
        BlendPixel(s.target, 1, 1, r.color, r.mode);
        EXPECT_EQ(s.image.At(1, 1), r.stored);
    }
}

TEST(Painter, StrokesDoNotBuildUpAndSoftEdgesSpareChangedPixels) {
    Stroke s(test::Uniform({3, 1}, 32, Px(0, 0, 255)));
    for (int i = 0; i < 3; ++i) BlendPixel(s.target, 0, 0, Px(255, 0, 0, 128), TSoftEdge::Full);
    EXPECT_EQ(s.image.At(0, 0), Px(128, 0, 127));  // composited against the snapshot each time
    // A soft dab over a pixel this stroke already changed leaves it.
    BlendPixel(s.target, 0, 0, Px(0, 255, 0, 255), TSoftEdge::Soft);
    EXPECT_EQ(s.image.At(0, 0), Px(128, 0, 127));
    BlendPixel(s.target, 1, 0, Px(0, 255, 0, 255), TSoftEdge::Soft);
    BlendPixel(s.target, 1, 0, Px(0, 255, 0, 255), TSoftEdge::Soft);
    EXPECT_EQ(s.image.At(1, 0), Px(0, 179, 76, 255));
    // An unchanged pixel is not reported; a window that is not the active one
    // does not reach the preview pane.
    s.target.Canvas = {};
    s.target.Active = false;
    BlendPixel(s.target, 0, 0, Px(255, 0, 0, 128), TSoftEdge::Full);
    EXPECT_TRUE(s.target.Canvas.Empty());
    BlendPixel(s.target, 2, 0, Px(255, 0, 0, 128), TSoftEdge::Full);
    EXPECT_EQ(s.target.Canvas, (TDirtyRect{2, 0, 3, 1}));
    EXPECT_EQ(s.target.Preview, (TDirtyRect{0, 0, 2, 1}));
}

TEST(Painter, FloodFillRegions) {
    // Two regions of red split by a blue column; the fill takes the left one only.
    Stroke s(test::Uniform({5, 3}, 32, Px(255, 0, 0)));
    for (int y = 0; y < 3; ++y) s.image.At(2, y) = Px(0, 0, 255);
    s.snapshot = s.image;
    FloodFill(s.target, 0, 1, Px(0, 255, 0), Px(255, 0, 0));
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(s.image.At(1, y), Px(0, 255, 0));
        EXPECT_EQ(s.image.At(2, y), Px(0, 0, 255));
        EXPECT_EQ(s.image.At(3, y), Px(255, 0, 0));
    }
    EXPECT_EQ(s.target.Canvas, (TDirtyRect{0, 0, 2, 3}));
    // Diagonal neighbours do not connect.
    Stroke d(test::Uniform({2, 2}, 32, Px(0, 0, 0)));
    d.image.At(1, 1) = d.image.At(0, 0) = Px(5, 5, 5);
    d.snapshot = d.image;
    FloodFill(d.target, 0, 0, Px(9, 9, 9), Px(5, 5, 5));
    EXPECT_EQ(d.image.At(1, 1), Px(5, 5, 5));
    // Nothing when the start differs from the target, equals the fill, or lies outside.
    Stroke n(test::Uniform({2, 2}, 32, Px(1, 1, 1)));
    FloodFill(n.target, 0, 0, Px(1, 1, 1), Px(1, 1, 1));
    FloodFill(n.target, 0, 0, Px(2, 2, 2), Px(1, 1, 2));
    FloodFill(n.target, 2, 0, Px(2, 2, 2), Px(1, 1, 1));
    EXPECT_TRUE(n.target.Canvas.Empty());
}

TEST(Painter, FloodFillOfAWholeImageEndsEvenWhenTheStoredColourEqualsTheTarget) {
    // 256 x 256 of one colour completes.
    Stroke big(test::Uniform({256, 256}, 32, Px(3, 3, 3)));
    FloodFill(big.target, 128, 128, Px(4, 4, 4), Px(3, 3, 3));
    for (const TmyPixel& p : big.image.Pixels()) ASSERT_EQ(p, Px(4, 4, 4));
    // On 8 bits a fill of alpha under 128 is stored as transparent black, the
    // target colour itself: each pixel is still written once.
    Stroke clear(test::Uniform({256, 256}, 8, Px(0, 0, 0, 0)));
    FloodFill(clear.target, 0, 0, Px(0, 0, 0, 100), Px(0, 0, 0, 0));
    EXPECT_EQ(clear.target.Canvas, (TDirtyRect{0, 0, 256, 256}));
}

TEST(Painter, PaintTipStrokeTagsAndSmoothEdges) {
    const TStrokeColors colors{Px(255, 0, 0, 200), Px(0, 0, 255, 0)};
    // Red byte below 200 paints the primary colour, green byte below 200 the
    // secondary one (here transparent: it erases to nothing at full strength).
    TTagBitmap tip(3, 1);
    tip.At(0, 0) = {199, 255};
    tip.At(1, 0) = {200, 199};
    tip.At(2, 0) = {0, 0};
    Stroke s(test::Uniform({4, 1}, 32, Px(0, 255, 0, 255)));
    PaintTipStroke(s.target, 1, 0, tip, colors, TBrushEdges::Hard);
    EXPECT_EQ(s.image.At(0, 0), Px(0, 255, 0));
    EXPECT_EQ(s.image.At(1, 0), Px(200, 55, 0));
    // A transparent colour at full strength erases; with both tags the secondary comes last.
    EXPECT_EQ(s.image.At(2, 0), Px(0, 0, 0, 0));
    EXPECT_EQ(s.image.At(3, 0), Px(0, 0, 0, 0));

    // Smooth edges: border pixels of the tip paint softly, inner ones fully; a
    // neighbour byte of exactly 200 counts as tagged for that test.
    TTagBitmap square(3, 3);
    square.Fill(TagPrimary);
    square.At(1, 0) = {200, 255};
    Stroke soft(test::Uniform({3, 3}, 32, Px(0, 0, 0, 0)));
    PaintTipStroke(soft.target, 0, 0, square, {Px(255, 0, 0, 255), Px(0, 0, 0, 0)}, TBrushEdges::Smooth);
    EXPECT_EQ(soft.image.At(1, 1), Px(255, 0, 0, 255));
    EXPECT_EQ(soft.image.At(0, 0), Px(255, 0, 0, 179));  // 255 less 30 %
    EXPECT_EQ(soft.image.At(1, 0), Px(0, 0, 0, 0));      // 200 is not a tag

    // Both tags: the secondary colour's alpha decides the mode.
    TTagBitmap both(1, 1);
    both.At(0, 0) = {0, 0};
    Stroke e(test::Uniform({1, 1}, 32, Px(10, 10, 10, 100)));
    PaintTipStroke(e.target, 0, 0, both, {Px(255, 0, 0, 255), Px(0, 0, 0, 0)}, TBrushEdges::Smooth);
    EXPECT_EQ(e.image.At(0, 0), Px(10, 10, 10, 30));  // erased softly (70 % of the alpha gone)

    // Into a floating selection: no snapshot needed, composited over nothing.
    TmyImagePal sel({2, 2}, 24);
    PaintTipToSelection(sel, 0, 0, tip, colors, TBrushEdges::Hard);
    EXPECT_EQ(sel.At(0, 0), Px(255, 0, 0, 255));  // alpha 200 is above 128 at 24 bits
    EXPECT_EQ(sel.At(1, 0), Px(0, 0, 0, 0));      // the transparent secondary over it
}

TEST(Painter, PaintSelectionPixelRules) {
    struct Row {
        const char* name;
        int bits;
        TmyPixel color;
        TSoftEdge mode;
        TmyPixel stored;
    } rows[] = {
        {"32 bits store the colour", 32, Px(1, 2, 3, 100), TSoftEdge::Full, Px(1, 2, 3, 100)},
        {"24 bits: alpha 128 is transparent", 24, Px(1, 2, 3, 128), TSoftEdge::Full, Px(0, 0, 0, 0)},
        {"24 bits: alpha 129 is opaque", 24, Px(1, 2, 3, 129), TSoftEdge::Full, Px(1, 2, 3, 255)},
        {"erase", 32, Px(1, 2, 3, 100), TSoftEdge::Erase, Px(0, 0, 0, 0)},
        {"soft", 32, Px(1, 2, 3, 100), TSoftEdge::Soft, Px(1, 2, 3, 70)},
        {"8 bits", 8, Px(1, 2, 3, 1), TSoftEdge::Soft, Px(1, 2, 3, 255)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TmyImagePal sel = test::Uniform({2, 1}, r.bits, Px(7, 7, 7));
        PaintSelectionPixel(sel, 1, 0, r.color, r.mode);
        PaintSelectionPixel(sel, 2, 0, r.color, r.mode);  // outside
        EXPECT_EQ(sel.At(1, 0), r.stored);
        EXPECT_EQ(sel.At(0, 0), Px(7, 7, 7));
    }
}

TEST(Painter, ToneFilterOpacityAndReplaceStrokes) {
    TTagBitmap red(1, 1), green(1, 1), both(1, 1);
    red.At(0, 0) = {0, 255};
    green.At(0, 0) = {255, 0};
    both.At(0, 0) = {0, 0};
    // Tone strokes read the image and build up; both tags end where they started.
    Stroke t(test::Uniform({2, 1}, 32, Px(100, 254, 2)));
    ToneStroke(t.target, 0, 0, red);
    ToneStroke(t.target, 0, 0, red);
    EXPECT_EQ(t.image.At(0, 0), Px(106, 255, 8));
    ToneStroke(t.target, 1, 0, green);
    EXPECT_EQ(t.image.At(1, 0), Px(97, 251, 0));
    ToneStroke(t.target, 1, 0, both);
    EXPECT_EQ(t.image.At(1, 0), Px(97, 251, 0));
    // Tags must be exactly 0 here.
    TTagBitmap almost(1, 1);
    almost.At(0, 0) = {1, 1};
    ToneStroke(t.target, 1, 0, almost);
    EXPECT_EQ(t.image.At(1, 0), Px(97, 251, 0));

    // The filter stroke reads the snapshot: a second stamp gives the same pixel.
    Stroke f(test::NoiseImage({5, 5}, 32, 4));
    const TmyPixel blurred = FilterPixel5x5(2, 2, true, FilterKernels[KernelBlur].Kernel, f.snapshot);
    FilterStroke(f.target, 2, 2, red, true);
    FilterStroke(f.target, 2, 2, red, true);
    EXPECT_EQ(f.image.At(2, 2), blurred);
    const TmyPixel sharp = FilterPixel5x5(1, 1, false, FilterKernels[KernelSharpen].Kernel, f.snapshot);
    FilterStroke(f.target, 1, 1, green, false);
    EXPECT_EQ(f.image.At(1, 1), sharp);

    // Opacity: either tag sets alpha.
    Stroke o(test::Uniform({2, 1}, 32, Px(50, 60, 70)));
    OpacityStroke(o.target, 0, 0, green, 40);
    OpacityStroke(o.target, 1, 0, almost, 40);
    EXPECT_EQ(o.image.At(0, 0), Px(50, 60, 70, 40));
    EXPECT_EQ(o.image.At(1, 0), Px(50, 60, 70));

    // Replace: red tag primary -> secondary, green tag the other way; alpha counts.
    Stroke r(test::Uniform({3, 1}, 32, Px(1, 1, 1)));
    r.image.At(1, 0) = Px(2, 2, 2);
    r.image.At(2, 0) = Px(1, 1, 1, 254);
    r.snapshot = r.image;
    const TStrokeColors swap{Px(1, 1, 1), Px(2, 2, 2)};
    ReplaceColorStroke(r.target, 0, 0, red, swap);
    ReplaceColorStroke(r.target, 1, 0, green, swap);
    ReplaceColorStroke(r.target, 2, 0, both, swap);
    EXPECT_EQ(r.image.At(0, 0), Px(2, 2, 2));
    EXPECT_EQ(r.image.At(1, 0), Px(1, 1, 1));
    EXPECT_EQ(r.image.At(2, 0), Px(1, 1, 1, 254));
}

TEST(Painter, SprayDotsCountRangeAndCap) {
    std::mt19937 gen(42);
    const TRandomSource random = [&gen](int k) { return std::uniform_int_distribution<int>(0, k - 1)(gen); };
    for (int size = 1; size <= 7; ++size) {
        SCOPED_TRACE(size);
        const auto dots = SprayDots(100, 50, size, random);
        EXPECT_EQ(static_cast<int>(dots.size()), size - size / 2);
        for (const TPoint& d : dots) {
            EXPECT_GE(d.X, 100 - size / 2);
            EXPECT_LT(d.X, 100 - size / 2 + size);
            EXPECT_GE(d.Y, 50 - size / 2);
            EXPECT_LT(d.Y, 50 - size / 2 + size);
        }
    }
    EXPECT_EQ(SprayDots(10, 20, 1, random), (std::vector<TPoint>{{10, 20}}));
    // Dots past 255 land on 255; x is drawn before y.
    std::vector<int> draws{6, 0, 6, 6, 0, 0, 3, 3};
    std::size_t next = 0;
    const TRandomSource scripted = [&](int) { return draws[next++]; };
    EXPECT_EQ(SprayDots(254, 254, 7, scripted), (std::vector<TPoint>{{255, 251}, {255, 255}, {251, 251}, {254, 254}}));
}

}  // namespace
}  // namespace velto
