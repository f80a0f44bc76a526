// The panes and the first document window on small and large main windows:
// no pane on another, every pane inside the window, and a new document out
// from under the panes glued to the area's edges when there is room for it.
#include <QMdiSubWindow>
#include <QTest>

#include "MainWindowFixture.h"
#include "shell/DockMngr.h"
#include "shell/PaneFrame.h"

using namespace velto;
using velto::test::MainWindowTest;
using velto::test::StubDesk;

namespace {

const QRect kFitArea(0, 60, 800, 410);  // x 0..799, y 60..469

struct FitRow {
    const char* name;
    QList<PaneFit> panes;
    QList<QRect> expected;
};

PaneFit Fixed(QRect r) { return {r, r.size(), {48, 70}, false, false}; }
PaneFit Sized(QRect r, QSize least) { return {r, least, {48, 70}, true, false}; }
PaneFit Barred(PaneFit f) {
    f.scrollBar = 16;
    return f;
}
PaneFit Dropped(PaneFit f) {
    f.placedByUser = true;
    return f;
}

}  // namespace

class FitRows : public ::testing::TestWithParam<FitRow> {};

TEST_P(FitRows, PanesEndInsideAndOffEachOther) {
    const FitRow& r = GetParam();
    const QList<QRect> got = FitPanes(r.panes, kFitArea);
    EXPECT_EQ(got, r.expected);
    for (qsizetype i = 0; i < got.size(); ++i) {
        EXPECT_TRUE(kFitArea.contains(got[i])) << i;
        for (qsizetype j = 0; j < i; ++j) EXPECT_FALSE(got[i].intersects(got[j])) << i << " on " << j;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FitRows,
    ::testing::Values(
        FitRow{"RoomForAllKeepsThePlaces",
               {Fixed({565, 60, 235, 170}), Fixed({565, 230, 64, 200}), Fixed({629, 230, 171, 200})},
               {{565, 60, 235, 170}, {565, 230, 64, 200}, {629, 230, 171, 200}}},
        // A column saved at the right of a wider window comes back as a column.
        FitRow{"AColumnFromAWiderWindowMovesAsOne",
               {Fixed({1365, 60, 235, 170}), Fixed({1365, 230, 64, 200}), Fixed({1429, 230, 171, 200})},
               {{565, 60, 235, 170}, {565, 230, 64, 200}, {629, 230, 171, 200}}},
        // Too low for the column: the pane the user sizes gives way first.
        FitRow{"TheSizablePaneAboveShrinks",
               {Sized({565, 60, 235, 170}, {80, 60}), Fixed({565, 230, 64, 330}), Fixed({629, 230, 171, 330})},
               {{565, 60, 235, 80}, {565, 140, 64, 330}, {629, 140, 171, 330}}},
        FitRow{"ASizablePaneComingLaterShrinksItself",
               {Fixed({565, 230, 64, 330}), Sized({565, 60, 235, 170}, {80, 60})},
               {{565, 140, 64, 330}, {565, 60, 235, 80}}},
        // Taller than the area: squeezed to it (its contents scroll).
        FitRow{"TallerThanTheAreaIsSqueezed", {Fixed({700, 60, 64, 470})}, {{700, 60, 64, 410}}},
        // Cut in height, a fixed pane grows by its scroll bar so that its
        // contents keep their width: rightwards, or leftwards off a neighbour.
        FitRow{"ASqueezedPaneGrowsByItsScrollBar", {Barred(Fixed({700, 60, 64, 470}))}, {{700, 60, 80, 410}}},
        FitRow{"ASqueezedPaneGrowsLeftOffItsNeighbour",
               {Barred(Fixed({565, 60, 64, 470})), Fixed({629, 60, 171, 200})},
               {{549, 60, 80, 410}, {629, 60, 171, 200}}},
        FitRow{"NoRoomEitherSideKeepsTheWidth",
               {Fixed({0, 60, 565, 410}), Barred(Fixed({565, 60, 64, 470})), Fixed({629, 60, 171, 200})},
               {{0, 60, 565, 410}, {565, 60, 64, 410}, {629, 60, 171, 200}}},
        FitRow{"AWholePaneDoesNotGrow", {Barred(Fixed({565, 230, 64, 200}))}, {{565, 230, 64, 200}}},
        FitRow{"NoRoomEvenShrunkSqueezesTheFixedPane",
               {Sized({565, 60, 235, 170}, {80, 150}), Fixed({565, 230, 235, 330})},
               {{565, 60, 235, 170}, {565, 230, 235, 240}}},
        // Dropped by the user on another pane: beside it, nothing shrinks.
        FitRow{"ADroppedPaneGoesBesideTheOther",
               {Sized({565, 60, 235, 170}, {80, 60}), Dropped(Fixed({600, 100, 64, 200}))},
               {{565, 60, 235, 170}, {501, 100, 64, 200}}},
        FitRow{"AnExplorerDownTheLeftStays",
               {Sized({0, 60, 244, 410}, {90, 40}), Fixed({565, 60, 235, 170})},
               {{0, 60, 244, 410}, {565, 60, 235, 170}}}),
    [](const auto& info) { return std::string(info.param.name); });

// The width a squeezed pane grew by to the left is reported, so that its own
// place (and the one saved) stays where it was.
TEST(FitPanesGrowth, TheWidthGrownLeftIsReported) {
    QList<int> grown;
    FitPanes({Barred(Fixed({565, 60, 64, 470})), Fixed({629, 60, 171, 200})}, kFitArea, &grown);
    EXPECT_EQ(grown, (QList<int>{16, 0}));
    FitPanes({Barred(Fixed({700, 60, 64, 470}))}, kFitArea, &grown);
    EXPECT_EQ(grown, (QList<int>{0}));
}

struct DeskRow {
    const char* name;
    int clientWidth, clientHeight, leftChain, bothChains, step, index;
    DeskPlacement expected;
};

class DeskRows : public ::testing::TestWithParam<DeskRow> {};

TEST_P(DeskRows, NewWindowStaysOutFromUnderTheGluedPanes) {
    const DeskRow& r = GetParam();
    EXPECT_EQ(FirstDeskPlacement(r.clientWidth, r.clientHeight, r.leftChain, r.bothChains, r.step, r.index, 645, 580,
                                 120),
              r.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeskRows,
    ::testing::Values(
        DeskRow{"RoomEnoughKeepsTheDefaultSize", 1600, 900, 244, 479, 24, 0, {244, 0, 645, 580}},
        DeskRow{"CascadedOneStepFurther", 1600, 900, 244, 479, 24, 2, {292, 48, 645, 580}},
        DeskRow{"NarrowerThanTheRoomBetweenTheChains", 1024, 669, 244, 479, 24, 0, {244, 0, 545, 580}},
        DeskRow{"FurtherStepsNarrowIt", 1024, 669, 244, 479, 24, 4, {340, 96, 449, 573}},
        DeskRow{"LowAreaShortensIt", 800, 410, 244, 479, 24, 0, {244, 0, 321, 410}},
        // Below the least size the position moves back toward the chain.
        DeskRow{"TooLittleRoomMovesBack", 800, 410, 244, 479, 24, 10, {445, 240, 120, 170}},
        DeskRow{"NoChainsTheWholeArea", 700, 500, 0, 0, 24, 1, {24, 24, 645, 476}},
        DeskRow{"AreaSmallerThanTheLeastSize", 100, 100, 0, 0, 24, 3, {0, 0, 120, 120}}),
    [](const auto& info) { return std::string(info.param.name); });

namespace {

struct WindowRow {
    const char* name;
    QSize window;
    int savedOnWidth;  // the pane places saved on a window this wide
};

}  // namespace

class LayoutWindowRows : public MainWindowTest, public ::testing::WithParamInterface<WindowRow> {};

TEST_P(LayoutWindowRows, PanesFitAndTheFirstDocumentAvoidsTheGluedOnes) {
    const WindowRow& row = GetParam();
    // The places a fresh start gives on a screen of the saved width.
    const TOptions defaults(row.savedOnWidth);
    TOptions& o = Options();
    o.ToolsLeft = defaults.ToolsLeft;
    o.ColorsLeft = defaults.ColorsLeft;
    o.PrevLeft = defaults.PrevLeft;
    o.MainMaximized = false;
    o.MainWidth = row.window.width();
    o.MainHeight = row.window.height();
    o.ShowTips = false;
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    main->FirstActivation({});
    QApplication::processEvents();
    ASSERT_EQ(main->size(), row.window);

    QList<QRect> panes;
    for (int slot : {dsPreview, dsColors, dsTools, dsExplorer}) {
        const PaneFrame* p = main->Forms().Pane(slot);
        ASSERT_FALSE(p->isHidden()) << slot;
        EXPECT_TRUE(main->rect().contains(p->geometry())) << slot;
        EXPECT_TRUE(main->DocumentArea()->geometry().contains(p->geometry())) << slot;
        for (const QRect& o : panes) EXPECT_FALSE(o.intersects(p->geometry())) << slot;
        panes << p->geometry();
    }

    // The explorer along the left edge and the preview along the right one.
    const TDockMngr& dock = main->DockManager();
    EXPECT_EQ(dock.GluedChainSize(), main->Forms().Pane(dsExplorer)->width());
    EXPECT_GT(dock.RightChainWidth(), 0);

    StubDesk* desk = newDesk();
    const QRect area = main->DocumentArea()->geometry();
    const QRect doc = desk->Frame()->geometry().translated(area.topLeft() + main->DocumentArea()->viewport()->pos());
    const int room = area.width() - dock.ChainWidths();
    if (room >= 120) {
        EXPECT_GE(doc.left(), area.left() + dock.GluedChainSize());
        EXPECT_LE(doc.right(), area.right() - dock.RightChainWidth());
        EXPECT_LE(doc.bottom(), area.bottom());
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, LayoutWindowRows,
                         ::testing::Values(WindowRow{"Large1600x1000", {1600, 1000}, 1600},
                                           WindowRow{"Medium1024x768", {1024, 768}, 1024},
                                           WindowRow{"Small800x500", {800, 500}, 800},
                                           WindowRow{"SavedOn1600OpenedIn1024x768", {1024, 768}, 1600},
                                           WindowRow{"SavedOn1600OpenedIn800x500", {800, 500}, 1600}),
                         [](const auto& info) { return std::string(info.param.name); });
