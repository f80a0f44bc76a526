// The floating panes as a new user finds them: always whole inside the
// document area and on no other pane (after a drag, a drop on another pane, a
// smaller main window, a hidden tool bar, a restored layout), resizable by
// their edges, and ticked in the View menu exactly when they show.
#include <QAction>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "MainWindowFixture.h"
#include "shell/MainActions.h"
#include "shell/PaneFrame.h"

using namespace velto;
using velto::test::MainWindowTest;

namespace {

struct PlaceRow {
    const char* name;
    QRect pane;
    QList<QRect> others;
    QRect expected;
};

const QRect kArea(0, 60, 800, 500);  // x 0..799, y 60..559

}  // namespace

class PlacePaneRows : public ::testing::TestWithParam<PlaceRow> {};

TEST_P(PlacePaneRows, PaneEndsWholeInsideTheAreaAndOffTheOthers) {
    const PlaceRow& r = GetParam();
    EXPECT_EQ(PlacePaneInView(r.pane, r.others, kArea), r.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlacePaneRows,
    ::testing::Values(
        PlaceRow{"InsideAndFreeStays", {100, 100, 200, 150}, {{400, 100, 100, 100}}, {100, 100, 200, 150}},
        PlaceRow{"PastTheRightEdgeComesBackWhole", {760, 100, 200, 150}, {}, {600, 100, 200, 150}},
        PlaceRow{"PastTheBottomComesBackWhole", {10, 500, 100, 330}, {}, {10, 230, 100, 330}},
        PlaceRow{"AboveAndLeftOfTheArea", {-50, 0, 100, 100}, {}, {0, 60, 100, 100}},
        PlaceRow{"LargerThanTheAreaKeepsItsCornerInside", {300, 300, 900, 600}, {}, {0, 60, 900, 600}},
        // Dropped over another: beside it, where the least movement does.
        PlaceRow{"OnAnotherGoesBesideIt", {420, 120, 100, 100}, {{400, 100, 200, 200}}, {300, 120, 100, 100}},
        PlaceRow{"OnAnotherNearItsBottom", {450, 260, 100, 100}, {{400, 100, 200, 200}}, {450, 300, 100, 100}},
        PlaceRow{"BesideTwoOthers", {520, 60, 64, 330}, {{565, 60, 235, 170}, {300, 60, 200, 400}},
                 {501, 60, 64, 330}},
        // No free place at all: inside the area, overlapping.
        PlaceRow{"NoFreePlaceStaysInside", {700, 500, 300, 300}, {{0, 60, 800, 500}}, {500, 260, 300, 300}}),
    [](const auto& info) { return std::string(info.param.name); });

class PaneTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        Options().MainMaximized = false;
        Options().MainWidth = 1000;
        Options().MainHeight = 720;
        Options().ShowTips = false;
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
        main->FirstActivation({});
    }
    PaneFrame* pane(int slot) const { return main->Forms().Pane(slot); }
    QRect area() const { return main->DocumentArea()->geometry(); }
    // Every shown pane whole inside the area, no two on each other, and the
    // View menu ticks as the panes show.
    void expectPanesInView(const char* when) const {
        SCOPED_TRACE(when);
        QList<QRect> shown;
        for (int slot : {dsPreview, dsColors, dsTools, dsExplorer}) {
            PaneFrame* p = pane(slot);
            EXPECT_EQ(PaneSwitch(slot) && act(PaneSwitch(slot)->name)->isChecked(), !p->isHidden()) << slot;
            if (p->isHidden()) continue;
            EXPECT_TRUE(area().contains(p->geometry())) << slot;
            for (const QRect& o : shown) EXPECT_FALSE(o.intersects(p->geometry())) << slot;
            shown << p->geometry();
        }
    }
    // Drags a pane by its title; while the button is held it stays whole in the area.
    void dragTitle(PaneFrame* p, QPoint by) {
        QLabel* title = p->TitleLabel();
        QTest::mousePress(title, Qt::LeftButton, {}, {5, 5});
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5) + by, title->mapToGlobal(QPointF(5, 5) + by), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(title, &move);
        EXPECT_TRUE(area().contains(p->geometry()));
        QTest::mouseRelease(title, Qt::LeftButton, {}, QPoint(5, 5) + by);
    }
};

TEST_F(PaneTest, DefaultLayoutShowsEveryPaneWholeWithTheExplorerDownTheArea) {
    expectPanesInView("start");
    EXPECT_EQ(pane(dsExplorer)->geometry().bottom(), area().bottom());
    // A larger window: the explorer still runs down the whole area.
    main->resize(1100, 800);
    QApplication::processEvents();
    expectPanesInView("larger");
    EXPECT_EQ(pane(dsExplorer)->geometry().bottom(), area().bottom());
    main->SaveLayout();
    EXPECT_EQ(Options().ExplorerHeight, 0);
}

TEST_F(PaneTest, DragsStayInsideAndADropOnAnotherPaneEndsBesideIt) {
    PaneFrame* tools = pane(dsTools);
    dragTitle(tools, {3000, 3000});
    expectPanesInView("dragged far away");
    EXPECT_EQ(tools->geometry().bottom(), area().bottom());

    // The preview dropped onto the tools: both stay in view, side by side.
    PaneFrame* preview = pane(dsPreview);
    dragTitle(preview, tools->geometry().center() - preview->geometry().center());
    expectPanesInView("dropped on the tools");
    EXPECT_FALSE(preview->isHidden());
    EXPECT_FALSE(tools->isHidden());
}

TEST_F(PaneTest, ASmallerWindowAndHiddenBarsKeepThePanesInView) {
    main->resize(720, 600);
    QApplication::processEvents();
    expectPanesInView("smaller window");
    main->resize(1000, 720);
    QApplication::processEvents();

    // A pane on the area's top edge follows it when the tool bar goes and
    // comes back: no gap, no overlap.
    PaneFrame* preview = pane(dsPreview);
    preview->move(preview->x(), area().top());
    main->UpdateDockGlue();
    for (bool on : {false, true}) {
        act("acttoolbar")->trigger();
        QApplication::processEvents();
        EXPECT_EQ(main->ToolBar()->isHidden(), !on);
        EXPECT_EQ(preview->y(), area().top()) << on;
        expectPanesInView(on ? "tool bar back" : "tool bar hidden");
    }
    act("actnStatusbar")->trigger();
    QApplication::processEvents();
    expectPanesInView("status bar hidden");
}

TEST_F(PaneTest, ALayoutSavedOutOfViewOrStackedComesBackInView) {
    main.reset();
    Options().ToolsLeft = 5000;
    Options().ToolsTop = 4000;
    Options().ColorsLeft = Options().PrevLeft = 400;
    Options().ColorsTop = Options().PrevTop = 200;
    Options().ExplorerHeight = 3000;
    main = makeMain();
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    main->FirstActivation({});
    expectPanesInView("restored");
}

TEST_F(PaneTest, EdgesResizeTheExplorerWithinTheArea) {
    PaneFrame* e = pane(dsExplorer);
    ASSERT_TRUE(e->Resizable());
    e->move(100, area().top() + 20);
    e->resize(244, 300);
    main->UpdateDockGlue();
    auto drag = [&](QPoint at, QPoint by) {
        QTest::mousePress(e, Qt::LeftButton, {}, at);
        QMouseEvent move(QEvent::MouseMove, QPointF(at + by), e->mapToGlobal(QPointF(at + by)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(e, &move);
        QTest::mouseRelease(e, Qt::LeftButton, {}, at + by);
    };
    const QRect before = e->geometry();
    drag({e->width() - 2, 100}, {40, 0});  // right edge
    EXPECT_EQ(e->geometry(), before.adjusted(0, 0, 40, 0));
    drag({1, 100}, {-30, 0});  // left edge: the right one stays
    EXPECT_EQ(e->geometry(), before.adjusted(-30, 0, 40, 0));
    drag({100, e->height() - 1}, {0, 5000});  // bottom edge, stopped by the area
    EXPECT_EQ(e->geometry().bottom(), area().bottom());
    drag({100, 1}, {0, 5000});  // top edge down: the pane keeps a least size
    EXPECT_GE(e->height(), e->minimumSizeHint().height());
    EXPECT_EQ(e->geometry().bottom(), area().bottom());
    // Sized by hand, it keeps its height.
    main->SaveLayout();
    EXPECT_EQ(Options().ExplorerHeight, e->height());
    expectPanesInView("resized");
}

TEST_F(PaneTest, ViewMenuTicksFollowThePanes) {
    for (int slot : {dsPreview, dsColors, dsTools, dsExplorer}) {
        SCOPED_TRACE(slot);
        QAction* a = act(PaneSwitch(slot)->name);
        pane(slot)->CloseButton()->click();
        EXPECT_FALSE(a->isChecked());
        a->trigger();
        EXPECT_TRUE(a->isChecked());
        EXPECT_FALSE(pane(slot)->isHidden());
        expectPanesInView("shown again");
    }
}
