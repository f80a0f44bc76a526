// Flips, quarter turns, shifts, resizing and rotation.
#include "engine/Transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "EngineTestUtil.h"

namespace velto {
namespace {

using test::Px;

// A 16 x 12 image whose pixel (x, y) encodes its position.
TmyImagePal Positions(int bits = 32) {
    TmyImagePal img({16, 12}, bits);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) img.At(x, y) = Px(x, y, 7, 255);
    img.SetHotSpotX(3);
    img.SetHotSpotY(2);
    img.SetRate(1.5);
    return img;
}

TEST(Transform, FlipsAndQuarterTurnsMovePixels) {
    struct Row {
        const char* name;
        std::function<void(TmyImagePal&)> op;
        ImageSize size;
        // Where old pixel (x, y) of the 16 x 12 image goes.
        std::function<std::pair<int, int>(int, int)> to;
        int hx, hy;
    } rows[] = {
        {"flip horizontal", FlipHorizontal, {16, 12}, [](int x, int y) { return std::pair{15 - x, y}; }, 3, 2},
        {"flip vertical", FlipVertical, {16, 12}, [](int x, int y) { return std::pair{x, 11 - y}; }, 3, 2},
        // A flip keeps the hotspot where it was; a quarter turn turns it with the pixels.
        {"rotate left", RotateLeft90, {12, 16}, [](int x, int y) { return std::pair{y, 15 - x}; }, 2, 12},
        {"rotate right", RotateRight90, {12, 16}, [](int x, int y) { return std::pair{11 - y, x}; }, 9, 3},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const TmyImagePal before = Positions(8);
        TmyImagePal img = before;
        r.op(img);
        ASSERT_EQ(img.Size(), r.size);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) {
                const auto [nx, ny] = r.to(x, y);
                ASSERT_EQ(img.At(nx, ny), before.At(x, y)) << x << "," << y;
            }
        EXPECT_EQ(img.HotSpotX(), r.hx);
        EXPECT_EQ(img.HotSpotY(), r.hy);
        EXPECT_EQ(img.Rate(), 1.5);  // an animation frame keeps its display time
        EXPECT_EQ(img.BitCount, 8);
        EXPECT_TRUE(img.Palette == before.Palette);
        if (r.size.Width == 12) {
            EXPECT_EQ(img.At(img.HotSpotX(), img.HotSpotY()), before.At(3, 2));
        }
    }
    // Turned left, the top-right pixel becomes the top-left one; left then right gives everything back.
    TmyImagePal img = Positions();
    RotateLeft90(img);
    EXPECT_EQ(img.At(0, 0), Px(15, 0, 7));
    EXPECT_EQ(img.Zoom, 512 / 16);
    RotateRight90(img);
    EXPECT_TRUE(img.Equals(Positions()));
    EXPECT_EQ(img.HotSpotX(), 3);
    EXPECT_EQ(img.HotSpotY(), 2);
    FlipHorizontal(img);
    FlipHorizontal(img);
    FlipVertical(img);
    FlipVertical(img);
    EXPECT_TRUE(img.Equals(Positions()));
}

TEST(Transform, ShiftsMoveAndClear) {
    struct Row {
        const char* name;
        void (*op)(TmyImagePal&, std::uint8_t);
        int dx, dy;
    } rows[] = {
        {"left", ShiftImageLeft, -1, 0},
        {"right", ShiftImageRight, 1, 0},
        {"up", ShiftImageUp, 0, -1},
        {"down", ShiftImageDown, 0, 1},
    };
    for (const Row& r : rows)
        for (int n : {0, 1, 3, 15, 16, 255}) {
            SCOPED_TRACE(std::string(r.name) + " by " + std::to_string(n));
            const TmyImagePal before = Positions();
            TmyImagePal img = before;
            r.op(img, static_cast<std::uint8_t>(n));
            for (int y = 0; y < 12; ++y)
                for (int x = 0; x < 16; ++x) {
                    const int sx = x - r.dx * n, sy = y - r.dy * n;
                    const bool inside = sx >= 0 && sy >= 0 && sx < 16 && sy < 12;
                    ASSERT_EQ(img.At(x, y), inside ? before.At(sx, sy) : TmyPixel::Create()) << x << "," << y;
                }
            EXPECT_EQ(img.HotSpotX(), 3);
            EXPECT_EQ(img.Rate(), 1.5);
        }
    TmyImagePal thin = test::Uniform({1, 4}, 32, Px(1, 2, 3));
    ShiftImageLeft(thin, 1);
    for (const TmyPixel& p : thin.Pixels()) EXPECT_EQ(p, TmyPixel::Create());
}

TEST(Transform, ResizeFrameHotspotAndBlocks) {
    struct Row {
        const char* name;
        ImageSize from, to;
        int hotspot;
        int hx, hy;
    } rows[] = {
        {"doubling doubles the hotspot", {16, 16}, {32, 32}, 15, 30, 30},
        {"halving truncates", {32, 32}, {16, 16}, 31, 15, 15},
        {"width and height scale apart", {16, 12}, {8, 24}, 11, 5, 22},
        {"clamped into the new size", {4, 4}, {1, 1}, 3, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TmyImagePal img(r.from, 32);
        img.SetHotSpotX(r.hotspot);
        img.SetHotSpotY(r.hotspot);
        img.SetRate(0.7);
        ResizeFrame(img, r.to);
        EXPECT_EQ(img.Size(), r.to);
        EXPECT_EQ(img.HotSpotX(), r.hx);
        EXPECT_EQ(img.HotSpotY(), r.hy);
        EXPECT_EQ(img.Rate(), 0.7);
    }
    // Halving averages 2 x 2 blocks: colours truncated, alpha rounded; a
    // transparent pixel lends the visible ones' colour.
    TmyImagePal img({4, 2}, 32);
    img.At(0, 0) = Px(10, 0, 0);
    img.At(1, 0) = Px(11, 0, 0);
    img.At(0, 1) = Px(11, 0, 0);
    img.At(1, 1) = Px(11, 0, 0);
    img.At(2, 0) = Px(200, 100, 50);
    img.At(3, 1) = Px(100, 50, 25);
    ResizeFrame(img, {2, 1});
    EXPECT_EQ(img.At(0, 0), Px(10, 0, 0));            // 10.75
    EXPECT_EQ(img.At(1, 0), Px(150, 75, 37, 128));    // two of four visible: 127.5 rounds to 128
    // Below 32 bits alpha snaps.
    TmyImagePal pal({4, 2}, 8);
    pal.At(0, 0) = pal.At(1, 0) = Px(9, 9, 9);
    pal.At(2, 0) = Px(9, 9, 9);
    ResizeFrame(pal, {2, 1});
    EXPECT_EQ(pal.At(0, 0), Px(9, 9, 9, 255));
    EXPECT_EQ(pal.At(1, 0), Px(0, 0, 0, 0));
    EXPECT_TRUE(pal.Palette.has_value());
}

TEST(Transform, UniformColoursStayUniformAtEverySizePair) {
    // Area weights add up to exactly 1 only on paper: the sums must not fall
    // a level short on any pair of sizes.
    for (const TmyPixel colour : {Px(255, 255, 255), Px(1, 128, 254, 200)}) {
        std::vector<std::string> bad;
        for (int from = 1; from <= 40; ++from)
            for (int to = 1; to <= 64; ++to) {
                TmyImagePal img = test::Uniform({from, 41 - from}, 32, colour);
                ResizeFrame(img, {to, 65 - to});
                for (const TmyPixel& p : img.Pixels())
                    if (p != colour) {
                        bad.push_back(std::to_string(from) + "->" + std::to_string(to));
                        break;
                    }
            }
        EXPECT_TRUE(bad.empty()) << bad.size() << " size pairs, first " << bad.front();
    }
    for (int to : {48, 100, 255, 256}) {
        TmyImagePal img = test::Uniform({256, 256}, 32, Px(255, 255, 255));
        ResizeFrame(img, {to, to});
        for (const TmyPixel& p : img.Pixels()) ASSERT_EQ(p, Px(255, 255, 255)) << to;
    }
}

TEST(Transform, SameSizeResampleAndZeroRotationCopyExactly) {
    const TmyImagePal src = test::NoiseImage({17, 9}, 32, 21, true);
    TmyImagePal same = src;
    ResizeFrame(same, src.Size());
    EXPECT_TRUE(same.Equals(src));
    // Every centre, in and out of the frame: the last column and row come along.
    for (auto [cx, cy] : {std::pair{0, 0}, {8, 4}, {16, 8}, {-50, 300}}) {
        TmyImagePal img = src;
        RotateImage(img, cx, cy, 0.0);
        EXPECT_TRUE(img.Equals(src)) << cx << "," << cy;
    }
    // A full turn in four quarters of RotateImage about the centre of an odd square is lossless too.
    const TmyImagePal sq = test::NoiseImage({9, 9}, 32, 5);
    TmyImagePal turned = sq;
    RotateImage(turned, 4, 4, 90.0);
    TmyImagePal expect = sq;
    RotateRight90(expect);
    EXPECT_TRUE(turned.Equals(expect));
}

// A source read row by row: only the rows the wanted targets need, in order,
// each at most twice for each target row that needs it; and after a change
// inside an area, resampling again the targets ResampledArea names gives what
// resampling all of it gives.
TEST(Transform, ResampleRowsFollowsTheAreaAChangeTouched) {
    struct Case {
        ImageSize source, target;
    } cases[] = {{{97, 61}, {32, 32}}, {{300, 20}, {40, 16}}, {{17, 9}, {40, 30}}, {{64, 64}, {16, 16}}, {{1, 1}, {5, 3}}};
    int seed = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.source.Width) + "x" + std::to_string(c.source.Height) + " to " +
                     std::to_string(c.target.Width) + "x" + std::to_string(c.target.Height));
        TmyImagePal source = test::NoiseImage(c.source, 32, ++seed, true);
        TmyImagePal whole(c.target, 32);
        ResampleBitmap(ViewOf(source), ViewOf(whole));
        // Rows asked for: never one beyond what the targets' boxes hold.
        std::vector<int> asked;
        TmyImagePal part(c.target, 32);
        const TRect rows{0, c.target.Height / 3, c.target.Width, c.target.Height / 3 + 1};
        ResampleRows(source.Size(), [&](int y) { asked.push_back(y); return &source.At(0, y); }, ViewOf(part), rows);
        ASSERT_FALSE(asked.empty());
        EXPECT_TRUE(std::is_sorted(asked.begin(), asked.begin() + static_cast<long>(asked.size() / 2)));
        const double perRow = static_cast<double>(c.source.Height) / c.target.Height;
        EXPECT_LE(asked.size(), 2 * static_cast<std::size_t>(perRow + 2));
        for (int x = 0; x < c.target.Width; ++x) EXPECT_EQ(part.At(x, rows.Top), whole.At(x, rows.Top)) << x;
        // A change somewhere, then only the touched targets again.
        for (const TRect changed : {TRect{2, 1, 3, 2}, TRect{c.source.Width / 2, 0, c.source.Width, c.source.Height / 2},
                                    TRect{0, c.source.Height - 1, 1, c.source.Height}}) {
            const TRect r{std::min(changed.Left, c.source.Width - 1), std::min(changed.Top, c.source.Height - 1),
                          std::min(changed.Right, c.source.Width), std::min(changed.Bottom, c.source.Height)};
            for (int y = r.Top; y < r.Bottom; ++y)
                for (int x = r.Left; x < r.Right; ++x) source.At(x, y) = Px(x * 5, 255 - y, 9, (x + y) % 3 ? 255 : 0);
            ResampleRows(source.Size(), [&](int y) { return &source.At(0, y); }, ViewOf(whole),
                         ResampledArea(source.Size(), c.target, r));
            TmyImagePal fresh(c.target, 32);
            ResampleBitmap(ViewOf(source), ViewOf(fresh));
            EXPECT_TRUE(whole.Equals(fresh)) << r.Left << "," << r.Top << " to " << r.Right << "," << r.Bottom;
        }
    }
    EXPECT_EQ(ResampledArea({10, 10}, {5, 5}, {}).Width(), 0) << "nothing changed, nothing to do";
}

TEST(Transform, RotationAlphaAndCorners) {
    // A 32-bit image keeps the interpolated alpha at the edges of its content; an 8-bit one snaps it.
    const auto square = [](int bits) {
        TmyImagePal img({20, 20}, bits);
        for (int y = 2; y < 18; ++y)
            for (int x = 2; x < 18; ++x) img.At(x, y) = Px(200, 10, 10);
        return img;
    };
    TmyImagePal img = square(32);
    RotateImage(img, 10, 10, 33.0);
    bool partial = false;
    for (const TmyPixel& p : img.Pixels()) partial |= p.A != 0 && p.A != 255;
    EXPECT_TRUE(partial);
    EXPECT_EQ(img.At(0, 0), TmyPixel::Create());  // an uncovered corner
    EXPECT_EQ(img.At(10, 10), Px(200, 10, 10));
    TmyImagePal pal = square(8);
    RotateImage(pal, 10, 10, 33.0);
    for (const TmyPixel& p : pal.Pixels()) ASSERT_TRUE(p == Px(200, 10, 10) || p == TmyPixel::Create()) << p;
    // Transparent neighbours lend the visible colour: no dark fringe.
    TmyImagePal half({8, 8}, 32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 4; ++x) half.At(x, y) = Px(250, 250, 250);
    RotateImage(half, 4, 4, 10.0);
    for (const TmyPixel& p : half.Pixels())
        if (p.A != 0) {
            ASSERT_EQ(p.GetColor(), MakeColor(250, 250, 250)) << p;
        }
}

TEST(Transform, BufferRoutinesOnTheirOwnPixels) {
    // A target of another size: the source lands centred.
    const TmyImagePal src = test::Uniform({4, 4}, 32, Px(1, 2, 3));
    std::vector<TmyPixel> out(36);
    RotateBitmapSmooth(ViewOf(src), {out.data(), 6, 6}, 2, 2, 0.0L);
    EXPECT_EQ(out[0], TmyPixel::Create());
    EXPECT_EQ(out[7], Px(1, 2, 3));
    EXPECT_EQ(out[28], Px(1, 2, 3));
    EXPECT_EQ(out[35], TmyPixel::Create());
    // Empty buffers are left alone.
    ResampleBitmap(ViewOf(src), {out.data(), 0, 6});
    ResampleBitmap({nullptr, 0, 0}, {out.data(), 6, 6});
    RotateBitmapSmooth({nullptr, 0, 0}, {out.data(), 6, 6}, 0, 0, 45.0L);
    ResampleBitmap(ViewOf(src), {out.data(), 6, 6});
    for (const TmyPixel& p : out) EXPECT_EQ(p, Px(1, 2, 3));
}

}  // namespace
}  // namespace velto
