// Cascade and the Tile commands of the Window menu on real document windows
// of the main window, with panes glued to both inner edges of the document
// area: the places, the active window kept (on top after a cascade), a
// maximised window brought back first, and new windows going on with the
// cascade.
#include <QAction>
#include <QMdiSubWindow>
#include <QTest>

#include "MainWindowFixture.h"
#include "shell/DockMngr.h"
#include "shell/PaneFrame.h"
#include "shell/WindowArrange.h"

using namespace velto;
using velto::test::MainWindowTest;

namespace {

struct CommandRow {
    const char* name;
    const char* action;
    int windows;
    int activeSlot;  // 0: the last one created
    bool maximised;  // the active window is maximised before the command
};

void PrintTo(const CommandRow& r, std::ostream* os) { *os << r.name; }

QRect ToQRect(const ArrangeRect& r) { return {r.left, r.top, r.width, r.height}; }

class ArrangeCommandRows : public MainWindowTest, public ::testing::WithParamInterface<CommandRow> {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        Options().MainMaximized = false;
        Options().MainWidth = 1200;
        Options().MainHeight = 800;
        Options().ShowTips = false;
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
        main->FirstActivation({});
        glueSidePanes();
    }
    // The tool palette on the area's left edge, the explorer on its right
    // edge, the others out of the way: chains of known widths.
    void glueSidePanes() {
        const QRect area = main->DocumentArea()->geometry();
        for (int slot : {dsPreview, dsColors}) main->Forms().Pane(slot)->hide();
        PaneFrame* tools = main->Forms().Pane(dsTools);
        PaneFrame* explorer = main->Forms().Pane(dsExplorer);
        tools->show();
        explorer->show();
        tools->move(area.left(), area.top());
        explorer->move(area.left() + area.width() - explorer->width(), area.top());
        main->UpdateDockGlue();
        leftChain = tools->width();
        rightChain = explorer->width();
    }
    QMdiSubWindow* frame(int slot) const { return main->Desk(slot)->Frame(); }
    QMdiSubWindow* topFrame() const { return main->DocumentArea()->subWindowList(QMdiArea::StackingOrder).last(); }
    // The document area with its chains; the windows live in its viewport,
    // which leaves the chains out.
    ArrangeArea area() const {
        const QSize client = main->DocumentArea()->viewport()->size();
        return {client.width() + leftChain + rightChain, client.height(), leftChain, leftChain + rightChain};
    }
    // A window's place in the document area (its frame's in the viewport,
    // moved past the left chain).
    QRect placed(QMdiSubWindow* f) const { return f->geometry().translated(leftChain, 0); }

    int leftChain = 0, rightChain = 0;
};

TEST_P(ArrangeCommandRows, WindowsTakeTheirPlacesAndTheActiveOneStays) {
    const CommandRow& r = GetParam();
    ASSERT_EQ(main->DockManager().GluedChainSize(), leftChain);
    ASSERT_EQ(main->DockManager().ChainWidths(), leftChain + rightChain);
    ASSERT_GT(leftChain, 0);
    ASSERT_GT(rightChain, 0);
    // The glued chains are outside the documents' room.
    ASSERT_EQ(main->DocumentArea()->viewportMargins(), QMargins(leftChain, 0, rightChain, 0));

    for (int i = 0; i < r.windows; ++i) {
        newDesk();
        frame(i + 1)->show();
    }
    const int active = r.activeSlot ? r.activeSlot : r.windows;
    main->ActivateDesk(active);
    QApplication::processEvents();
    const int step = frame(1)->height() - main->Desk(1)->height() - 4;
    ASSERT_GT(step, 0);
    if (r.maximised) {
        frame(active)->showMaximized();
        QApplication::processEvents();
    }

    act(r.action)->trigger();
    QApplication::processEvents();

    std::vector<ArrangeRect> expected;
    const bool cascade = std::string(r.action) == "actCascade";
    if (cascade) {
        const CascadePlan plan =
            CascadeRects(std::vector<int>(size_t(r.windows), step), active - 1, leftChain, TDeskList::kCascadeSteps);
        expected = plan.rects;
        EXPECT_EQ(main->Desks().CascadeIndex(), r.windows % TDeskList::kCascadeSteps);
        EXPECT_EQ(topFrame(), frame(active));
        // The active window at the position after all the others.
        const int at = (r.windows - 1) % TDeskList::kCascadeSteps;
        EXPECT_EQ(placed(frame(active)).topLeft(), QPoint(step * at + leftChain, step * at));
    } else {
        const std::string a = r.action;
        expected = a == "actTile"       ? TileRects(r.windows, area())
                   : a == "actTileVert" ? TileVerticalRects(r.windows, area())
                                        : TileHorizontalRects(r.windows, area());
        EXPECT_EQ(topFrame(), frame(r.windows));  // each came to the front in list order
        EXPECT_EQ(placed(frame(1)).topLeft(), QPoint(leftChain, 0));
    }
    const int usableRight = area().clientWidth - rightChain;
    for (int slot = 1; slot <= r.windows; ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot));
        QMdiSubWindow* f = frame(slot);
        EXPECT_FALSE(f->isMaximized());
        EXPECT_EQ(placed(f), ToQRect(expected[size_t(slot - 1)]));
        if (!cascade) {
            // Between the glued chains and inside the area.
            EXPECT_GE(placed(f).x(), leftChain);
            EXPECT_LE(placed(f).right() + 1, usableRight);
            EXPECT_LE(placed(f).bottom() + 1, area().clientHeight);
        }
    }
    EXPECT_EQ(main->Desks().ActiveIndex(), active);
    EXPECT_EQ(main->DocumentArea()->activeSubWindow(), frame(active));

    // A new window goes on from where the cascade stopped.
    const int next = main->Desks().CascadeIndex();
    newDesk();
    EXPECT_EQ(placed(frame(r.windows + 1)).topLeft(), QPoint(step * next + leftChain, step * next));
}

INSTANTIATE_TEST_SUITE_P(Cases, ArrangeCommandRows,
                         ::testing::Values(CommandRow{"TileOne", "actTile", 1, 0, false},
                                           CommandRow{"TileThree", "actTile", 3, 0, false},
                                           CommandRow{"TileFive", "actTile", 5, 2, false},
                                           CommandRow{"TileMaximisedActive", "actTile", 3, 0, true},
                                           CommandRow{"TileVertThree", "actTileVert", 3, 1, false},
                                           CommandRow{"TileVertMaximisedActive", "actTileVert", 2, 1, true},
                                           CommandRow{"TileHorizThree", "actTileHoriz", 3, 0, false},
                                           CommandRow{"TileHorizFour", "actTileHoriz", 4, 3, false},
                                           CommandRow{"CascadeOne", "actCascade", 1, 0, false},
                                           CommandRow{"CascadeThreeFirstActive", "actCascade", 3, 1, false},
                                           CommandRow{"CascadeMaximisedActive", "actCascade", 3, 1, true},
                                           CommandRow{"CascadeTwelve", "actCascade", 12, 6, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, ArrangeCommandsWaitForADocument) {
    for (const char* name : {"actCascade", "actTile", "actTileVert", "actTileHoriz"}) {
        EXPECT_FALSE(act(name)->isEnabled()) << name;
        act(name)->trigger();  // nothing to arrange, nothing happens
    }
    newDesk();
    for (const char* name : {"actCascade", "actTile", "actTileVert", "actTileHoriz"})
        EXPECT_TRUE(act(name)->isEnabled()) << name;
}

}  // namespace
