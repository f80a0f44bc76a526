// Where Cascade and the Tile commands put the document windows: grids for 1
// to 30 windows, wide, narrow and low areas, glued pane chains, overlapping
// tiles with halves rounded to even, and the cascade's order and positions.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "shell/WindowArrange.h"

namespace velto {
static void PrintTo(const ArrangeRect& r, std::ostream* os) {
    *os << '{' << r.left << ',' << r.top << ' ' << r.width << 'x' << r.height << '}';
}
}  // namespace velto

using namespace velto;

namespace {

TEST(WindowArrange, RoundHalfEvenRoundsHalvesToTheEvenNeighbour) {
    struct Row {
        const char* name;
        long long num, den, expected;
    };
    for (const Row& r : {Row{"HalfDownToZero", 1, 2, 0}, Row{"OneAndAHalfUp", 3, 2, 2},
                         Row{"TwoAndAHalfDown", 5, 2, 2}, Row{"ThreeAndAHalfUp", 7, 2, 4},
                         Row{"NegativeHalfToZero", -1, 2, 0}, Row{"NegativeOneAndAHalf", -3, 2, -2},
                         Row{"NegativeTwoAndAHalf", -5, 2, -2}, Row{"BelowHalf", 7, 3, 2}, Row{"AboveHalf", 8, 3, 3},
                         Row{"NegativeAboveHalf", -8, 3, -3}, Row{"NegativeDivisor", 5, -2, -2},
                         Row{"Exact", 12, 4, 3}, Row{"Zero", 0, 5, 0}}) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(RoundHalfEven(r.num, r.den), r.expected);
    }
}

TEST(WindowArrange, GridTakesTheNearestIntegerToTheRootAsColumns) {
    struct Row {
        int n, cols, rows;
    };
    for (const Row& r : {Row{0, 0, 0}, Row{-3, 0, 0}, Row{1, 1, 1}, Row{2, 1, 2}, Row{3, 2, 2}, Row{4, 2, 2},
                         Row{5, 2, 3}, Row{6, 2, 3}, Row{7, 3, 3}, Row{8, 3, 3}, Row{9, 3, 3}, Row{10, 3, 4},
                         Row{11, 3, 4}, Row{12, 3, 4}, Row{13, 4, 4}, Row{20, 4, 5}, Row{21, 5, 5}, Row{30, 5, 6}}) {
        SCOPED_TRACE("n=" + std::to_string(r.n));
        const TileGrid g = TileGridFor(r.n);
        EXPECT_EQ(g.cols, r.cols);
        EXPECT_EQ(g.rows, r.rows);
        if (r.n > 0) {
            EXPECT_GE(g.cols * g.rows, r.n);  // every window has a cell
            EXPECT_LT(g.cols * (g.rows - 1), r.n);  // and no row stays empty
        }
    }
}

enum class Kind { Tile, Vertical, Horizontal };

struct ArrangeRow {
    const char* name;
    Kind kind;
    int n;
    ArrangeArea area;
    // Windows checked by their list position.
    std::vector<std::pair<int, ArrangeRect>> places;
};

void PrintTo(const ArrangeRow& r, std::ostream* os) { *os << r.name; }

std::vector<ArrangeRect> Arrange(const ArrangeRow& r) {
    switch (r.kind) {
    case Kind::Tile: return TileRects(r.n, r.area);
    case Kind::Vertical: return TileVerticalRects(r.n, r.area);
    case Kind::Horizontal: return TileHorizontalRects(r.n, r.area);
    }
    return {};
}

class ArrangeRows : public ::testing::TestWithParam<ArrangeRow> {};

TEST_P(ArrangeRows, WindowsTakeTheirPlaces) {
    const ArrangeRow& r = GetParam();
    const std::vector<ArrangeRect> rects = Arrange(r);
    ASSERT_EQ(static_cast<int>(rects.size()), std::max(r.n, 0));
    for (const auto& [i, expected] : r.places) EXPECT_EQ(rects[size_t(i)], expected) << "window " << i;
    for (const ArrangeRect& rect : rects) {
        // Never below the least tile, never left of the glued chain or above the area.
        EXPECT_GE(rect.width, kMinTileSize);
        EXPECT_GE(rect.height, kMinTileSize);
        EXPECT_GE(rect.left, r.area.leftChain);
        EXPECT_GE(rect.top, 0);
    }
}

constexpr ArrangeArea kWide{1000, 600, 0, 0};
constexpr ArrangeArea kGlued{1000, 600, 200, 350};  // 200 on the left, 150 on the right: 650 usable

INSTANTIATE_TEST_SUITE_P(
    Cases, ArrangeRows,
    ::testing::Values(
        ArrangeRow{"TileOneFillsTheArea", Kind::Tile, 1, kWide, {{0, {0, 0, 1000, 600}}}},
        ArrangeRow{"TileTwoOneColumnTwoRows", Kind::Tile, 2, kWide, {{0, {0, 0, 1000, 300}}, {1, {0, 300, 1000, 300}}}},
        ArrangeRow{"TileThreeTwoByTwo", Kind::Tile, 3, kWide,
                   {{0, {0, 0, 500, 300}}, {1, {500, 0, 500, 300}}, {2, {0, 300, 500, 300}}}},
        ArrangeRow{"TileFourTwoByTwo", Kind::Tile, 4, kWide, {{3, {500, 300, 500, 300}}}},
        ArrangeRow{"TileFiveTwoColumnsThreeRows", Kind::Tile, 5, kWide,
                   {{1, {500, 0, 500, 200}}, {4, {0, 400, 500, 200}}}},
        ArrangeRow{"TileSixTwoColumnsThreeRows", Kind::Tile, 6, kWide, {{5, {500, 400, 500, 200}}}},
        ArrangeRow{"TileSevenThreeByThreeWidthTruncated", Kind::Tile, 7, kWide,
                   {{2, {666, 0, 333, 200}}, {6, {0, 400, 333, 200}}}},
        ArrangeRow{"TileNineThreeByThree", Kind::Tile, 9, kWide, {{8, {666, 400, 333, 200}}}},
        ArrangeRow{"TileTenThreeColumnsFourRows", Kind::Tile, 10, kWide, {{9, {0, 450, 333, 150}}}},
        ArrangeRow{"TileTwelveThreeColumnsFourRows", Kind::Tile, 12, kWide, {{11, {666, 450, 333, 150}}}},
        ArrangeRow{"TileGluedChainsTakeTheirWidth", Kind::Tile, 4, kGlued,
                   {{0, {200, 0, 325, 300}}, {3, {525, 300, 325, 300}}}},
        // Twelve in 1000 x 300: rows of 75 overlap by Round((480 - 300) / 3) = 60.
        ArrangeRow{"TileLowAreaRowsOverlap", Kind::Tile, 12, {1000, 300, 0, 0},
                   {{3, {0, 60, 333, 120}}, {11, {666, 180, 333, 120}}}},
        // Five in 1000 x 200: three rows of 66 overlap by Round(160 / 2) = 80.
        ArrangeRow{"TileFiveLowArea", Kind::Tile, 5, {1000, 200, 0, 0}, {{4, {0, 80, 500, 120}}}},
        ArrangeRow{"TileNarrowAreaColumnsOverlap", Kind::Tile, 9, {300, 600, 0, 0},
                   {{1, {90, 0, 120, 200}}, {8, {180, 400, 120, 200}}}},
        ArrangeRow{"TileOneInALowArea", Kind::Tile, 1, {1000, 100, 40, 40}, {{0, {40, 0, 960, 120}}}},
        ArrangeRow{"TileOneInASmallArea", Kind::Tile, 1, {100, 100, 30, 30}, {{0, {30, 0, 120, 120}}}},
        ArrangeRow{"TileNone", Kind::Tile, 0, kWide, {}},

        ArrangeRow{"VerticalThreeSideBySide", Kind::Vertical, 3, kWide,
                   {{0, {0, 0, 333, 600}}, {2, {666, 0, 333, 600}}}},
        ArrangeRow{"VerticalGluedChains", Kind::Vertical, 3, kGlued,
                   {{0, {200, 0, 216, 600}}, {1, {416, 0, 216, 600}}, {2, {632, 0, 216, 600}}}},
        ArrangeRow{"VerticalNarrowOverlap", Kind::Vertical, 4, {300, 600, 0, 0},
                   {{1, {60, 0, 120, 600}}, {3, {180, 0, 120, 600}}}},
        // 359 for three: overlap Round(1 / 2) = 0 (a half goes to even).
        ArrangeRow{"VerticalHalfRoundsDownToEven", Kind::Vertical, 3, {359, 600, 0, 0}, {{2, {240, 0, 120, 600}}}},
        // 357: Round(3 / 2) = 2; 355: Round(5 / 2) = 2 as well.
        ArrangeRow{"VerticalHalfRoundsUpToEven", Kind::Vertical, 3, {357, 600, 0, 0}, {{2, {236, 0, 120, 600}}}},
        ArrangeRow{"VerticalTwoAndAHalfRoundsDown", Kind::Vertical, 3, {355, 600, 0, 0}, {{2, {236, 0, 120, 600}}}},
        ArrangeRow{"VerticalExactlyTheLeastWidth", Kind::Vertical, 3, {360, 600, 0, 0}, {{2, {240, 0, 120, 600}}}},
        ArrangeRow{"VerticalOneInANarrowArea", Kind::Vertical, 1, {80, 600, 0, 0}, {{0, {0, 0, 120, 600}}}},
        ArrangeRow{"VerticalLowAreaKeepsTheLeastHeight", Kind::Vertical, 2, {1000, 90, 0, 0},
                   {{1, {500, 0, 500, 120}}}},

        ArrangeRow{"HorizontalThreeStacked", Kind::Horizontal, 3, kWide,
                   {{0, {0, 0, 1000, 200}}, {2, {0, 400, 1000, 200}}}},
        ArrangeRow{"HorizontalGluedChains", Kind::Horizontal, 3, kGlued,
                   {{0, {200, 0, 650, 200}}, {2, {200, 400, 650, 200}}}},
        // Twelve in 600: 50 each, overlap Round((1440 - 600) / 11) = Round(76.36) = 76.
        ArrangeRow{"HorizontalTwelveOverlap", Kind::Horizontal, 12, kWide,
                   {{1, {0, 44, 1000, 120}}, {11, {0, 484, 1000, 120}}}},
        ArrangeRow{"HorizontalNarrowKeepsTheLeastWidth", Kind::Horizontal, 2, {1000, 600, 0, 950},
                   {{1, {0, 300, 120, 300}}}},

        // Less room than one tile: an overlap larger than the tile would walk
        // the later windows up or left, out of the area; they pile at the start.
        ArrangeRow{"HorizontalRoomBelowOneTilePilesAtTheTop", Kind::Horizontal, 3, {1000, 100, 0, 0},
                   {{0, {0, 0, 1000, 120}}, {1, {0, 0, 1000, 120}}, {2, {0, 0, 1000, 120}}}},
        ArrangeRow{"VerticalChainsWiderThanTheAreaPileAtTheChain", Kind::Vertical, 2, {300, 600, 250, 400},
                   {{0, {250, 0, 120, 600}}, {1, {250, 0, 120, 600}}}},
        ArrangeRow{"TileRoomBelowOneTile", Kind::Tile, 4, {100, 100, 0, 0},
                   {{0, {0, 0, 120, 120}}, {3, {0, 0, 120, 120}}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Tiles of every count from 1 to 30 in a roomy area: inside the usable room,
// on no other tile, in reading order.
TEST(WindowArrange, RoomyTilesNeverOverlapAndStayInTheUsableRoom) {
    const ArrangeArea area{1600, 900, 120, 300};
    for (int n = 1; n <= 30; ++n) {
        SCOPED_TRACE("n=" + std::to_string(n));
        for (const auto& rects : {TileRects(n, area), TileVerticalRects(std::min(n, 10), area),
                                  TileHorizontalRects(std::min(n, 7), area)}) {
            for (size_t i = 0; i < rects.size(); ++i) {
                const ArrangeRect& a = rects[i];
                EXPECT_LE(a.left + a.width, area.clientWidth - area.bothChains + area.leftChain);
                EXPECT_LE(a.top + a.height, area.clientHeight);
                for (size_t j = i + 1; j < rects.size(); ++j) {
                    const ArrangeRect& b = rects[j];
                    const bool apart = a.left + a.width <= b.left || b.left + b.width <= a.left ||
                                       a.top + a.height <= b.top || b.top + b.height <= a.top;
                    EXPECT_TRUE(apart) << i << " and " << j;
                    EXPECT_TRUE(b.top > a.top || (b.top == a.top && b.left > a.left)) << i << " before " << j;
                }
            }
        }
    }
}

struct CascadeRow {
    const char* name;
    std::vector<int> steps;
    int active;
    int leftChain;
    // Each window's cascade position, in list order.
    std::vector<int> positions;
    std::vector<int> frontOrder;
    int nextIndex;
};

void PrintTo(const CascadeRow& r, std::ostream* os) { *os << r.name; }

class CascadeRows : public ::testing::TestWithParam<CascadeRow> {};

TEST_P(CascadeRows, ActiveWindowComesLastAndOnTop) {
    const CascadeRow& r = GetParam();
    const CascadePlan plan = CascadeRects(r.steps, r.active, r.leftChain, 11);
    ASSERT_EQ(plan.rects.size(), r.steps.size());
    for (size_t i = 0; i < r.steps.size(); ++i) {
        const int step = r.steps[i] * r.positions[i];
        EXPECT_EQ(plan.rects[i], (ArrangeRect{step + r.leftChain, step, kCascadeWidth, kCascadeHeight}))
            << "window " << i;
    }
    EXPECT_EQ(plan.frontOrder, r.frontOrder);
    EXPECT_EQ(plan.nextIndex, r.nextIndex);
}

std::vector<int> Repeat(int value, int count) { return std::vector<int>(size_t(count), value); }

std::vector<int> Iota(int from, int to) {
    std::vector<int> v;
    for (int i = from; i <= to; ++i) v.push_back(i);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CascadeRows,
    ::testing::Values(
        CascadeRow{"None", {}, -1, 0, {}, {}, 0},
        CascadeRow{"OneActive", {26}, 0, 0, {0}, {0}, 1},
        CascadeRow{"ThreeActiveLast", {26, 26, 26}, 2, 0, {0, 1, 2}, {0, 1, 2}, 3},
        CascadeRow{"ThreeActiveFirstGoesToTheEnd", {26, 26, 26}, 0, 0, {2, 0, 1}, {1, 2, 0}, 3},
        CascadeRow{"ThreeActiveInTheMiddle", {26, 26, 26}, 1, 0, {0, 2, 1}, {0, 2, 1}, 3},
        CascadeRow{"GluedChainOnTheLeft", {26, 26}, 1, 200, {0, 1}, {0, 1}, 2},
        CascadeRow{"EachWindowItsOwnStep", {26, 30, 18}, 0, 50, {2, 0, 1}, {1, 2, 0}, 3},
        CascadeRow{"NoActiveWindowListOrder", {26, 26}, -1, 0, {0, 1}, {0, 1}, 2},
        CascadeRow{"ElevenFillEveryPosition", Repeat(26, 11), 10, 0, Iota(0, 10), Iota(0, 10), 0},
        // Twelve: the eleven others take positions 0..10, the active one 0 again, on top.
        CascadeRow{"TwelveActiveBackAtTheFirstPosition", Repeat(26, 12), 5, 0,
                   {0, 1, 2, 3, 4, 0, 5, 6, 7, 8, 9, 10}, {0, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 5}, 1},
        CascadeRow{"ThirtyWrapTwice", Repeat(26, 30), 29, 0,
                   [] {
                       std::vector<int> p;
                       for (int i = 0; i < 30; ++i) p.push_back(i % 11);
                       return p;
                   }(),
                   Iota(0, 29), 8}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
