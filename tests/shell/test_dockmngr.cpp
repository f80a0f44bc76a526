// Docking: which edges glue, the order of the search, where glued panes go,
// the widths of the chains along the document area, and the pane frame that
// glues itself after a drag.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWidget>

#include "shell/DockMngr.h"
#include "shell/PaneFrame.h"

using namespace velto;

namespace {

QApplication* guiApp() {
    if (!QApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_shell";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    return qApp;
}

DockRecord pane(int left, int top, int width, int height) {
    DockRecord r;
    r.SetBounds(left, top, width, height);
    return r;
}

// The document area from (x, y) of size w x h, given inside out.
DockRecord area(int x, int y, int w, int h) {
    DockRecord r;
    r.Left = x + w;
    r.Top = y + h;
    r.Right = x;
    r.Bottom = y;
    return r;
}

class DockTest : public ::testing::Test {
protected:
    TDockMngr m;
    DockRecord main = area(0, 30, 1000, 700);  // left 0, top 30, right 1000, bottom 730
};

}  // namespace

TEST_F(DockTest, EdgesGlueBelowTenPixelsToTheInsideOfTheDocumentArea) {
    m.RegisterWindow(dsMain, &main);
    for (int gap : {0, 9, 10, -9, -10}) {
        DockRecord p = pane(gap, 300, 100, 100);
        m.RegisterWindow(dsTools, &p);
        m.UpdateGlue(dsTools);
        EXPECT_EQ(p.GlueLeft.IsSet(), gap > -10 && gap < 10) << gap;
        EXPECT_FALSE(p.GlueTop.IsSet() || p.GlueBottom.IsSet() || p.GlueRight.IsSet()) << gap;
    }
    // Against the area no overlap is asked: a pane far below still glues to
    // the area's right edge, and to its top edge.
    DockRecord right = pane(1000 - 150 + 5, 35, 150, 80);
    m.RegisterWindow(dsPreview, &right);
    m.UpdateGlue(dsPreview);
    EXPECT_EQ(right.GlueRight, (DockGlue{dsMain, DockEdge::Left}));
    EXPECT_EQ(right.GlueTop, (DockGlue{dsMain, DockEdge::Bottom}));
    DockRecord bottom = pane(400, 730 - 60 - 3, 50, 60);
    m.RegisterWindow(dsColors, &bottom);
    m.UpdateGlue(dsColors);
    EXPECT_EQ(bottom.GlueBottom, (DockGlue{dsMain, DockEdge::Top}));
}

TEST_F(DockTest, PanesGlueToEachOtherOnlyWhenTheyOverlapAlongTheOtherAxis) {
    DockRecord a = pane(500, 100, 100, 100);  // right edge 600
    DockRecord b = pane(604, 150, 80, 100);   // beside a, overlapping vertically
    m.RegisterWindow(dsPreview, &a);
    m.RegisterWindow(dsColors, &b);
    m.UpdateGlue(dsColors);
    EXPECT_EQ(b.GlueLeft, (DockGlue{dsPreview, DockEdge::Right}));
    b = pane(604, 200, 80, 100);  // touches a's bottom corner only: no shared length
    m.UpdateGlue(dsColors);
    EXPECT_FALSE(b.GlueLeft.IsSet());
    b = pane(550, 205, 100, 50);  // below a and overlapping horizontally
    m.UpdateGlue(dsColors);
    EXPECT_EQ(b.GlueTop, (DockGlue{dsPreview, DockEdge::Bottom}));
    EXPECT_FALSE(b.GlueLeft.IsSet());
}

TEST_F(DockTest, SearchOrderFirstSlotWinsTopBeforeBottomLeftBeforeRight) {
    m.RegisterWindow(dsMain, &main);
    // A flat pane whose top is near a flat neighbour's bottom and whose
    // bottom is near its top: top is tried first.
    DockRecord n = pane(300, 300, 100, 8);
    DockRecord thin = pane(300, 305, 100, 3);
    m.RegisterWindow(dsPreview, &n);
    m.RegisterWindow(dsColors, &thin);
    m.UpdateGlue(dsColors);
    EXPECT_EQ(thin.GlueTop, (DockGlue{dsPreview, DockEdge::Bottom}));
    EXPECT_FALSE(thin.GlueBottom.IsSet());

    // Two candidates for the left edge: the lower slot number wins, even
    // though the other is exactly aligned.
    DockRecord p2 = pane(200, 100, 95, 50);   // right 295
    DockRecord p3 = pane(200, 160, 100, 50);  // right 300
    DockRecord t = pane(300, 120, 60, 60);
    m.RegisterWindow(dsPreview, &p2);
    m.RegisterWindow(dsColors, &p3);
    m.RegisterWindow(dsTools, &t);
    m.UpdateGlue(dsTools);
    EXPECT_EQ(t.GlueLeft, (DockGlue{dsPreview, DockEdge::Right}));

    // The search stops once both axes have glue: slot 5 is never consulted.
    DockRecord corner = pane(2, 33, 50, 50);
    DockRecord e = pane(52, 33, 50, 50);
    m.RegisterWindow(dsTools, &corner);
    m.RegisterWindow(dsExplorer, &e);
    m.UpdateGlue(dsTools);
    EXPECT_EQ(corner.GlueTop, (DockGlue{dsMain, DockEdge::Bottom}));
    EXPECT_EQ(corner.GlueLeft, (DockGlue{dsMain, DockEdge::Right}));
    EXPECT_FALSE(corner.GlueRight.IsSet());

    // Recomputing clears glue that no longer holds.
    corner = pane(400, 400, 50, 50);
    m.UpdateGlue(dsTools);
    EXPECT_FALSE(corner.GlueTop.IsSet() || corner.GlueLeft.IsSet());
}

TEST_F(DockTest, ApplyGlueFollowsTheEdgeWhereItIsNow) {
    m.RegisterWindow(dsMain, &main);
    DockRecord a = pane(995 - 100, 500, 100, 100);  // near the area's right edge
    m.RegisterWindow(dsPreview, &a);
    m.UpdateGlue(dsPreview);
    DockRecord b = pane(800, 404, 120, 90);  // bottom 6 above a's top, overlapping it
    m.RegisterWindow(dsColors, &b);
    m.UpdateGlue(dsColors);
    ASSERT_EQ(b.GlueBottom, (DockGlue{dsPreview, DockEdge::Top}));

    DockPlacement place{895, 500, 100, 100};
    m.ApplyGlue(dsPreview, place);
    EXPECT_EQ(place.left, 1000 - 100);  // right edge on the area's right edge
    EXPECT_EQ(place.top, 500);          // no vertical glue: unchanged

    // The main window grows: the area's edge moves and the glue follows it.
    main = area(0, 30, 1200, 700);
    m.ApplyGlue(dsPreview, place);
    EXPECT_EQ(place.left, 1100);
    a.SetBounds(place.left, 520, 100, 100);
    DockPlacement bp{800, 404, 120, 90};
    m.ApplyGlue(dsColors, bp);
    EXPECT_EQ(bp.top, 520 - 90);

    // A slot emptied since: the axis is left alone; bad indices do nothing.
    m.UnregisterWindow(dsPreview);
    bp = {1, 2, 120, 90};
    m.ApplyGlue(dsColors, bp);
    EXPECT_EQ(bp.top, 2);
    m.ApplyGlue(0, bp);
    m.ApplyGlue(6, bp);
    m.UpdateGlue(-1);
    m.RegisterWindow(7, &a);
    EXPECT_EQ(m.Record(7), nullptr);
    EXPECT_EQ(bp.left, 1);
}

TEST_F(DockTest, ChainWidthsAlongTheDocumentArea) {
    m.RegisterWindow(dsMain, &main);
    EXPECT_EQ(m.ChainWidths(), 0);  // nothing glued: a maximised document fills the area

    DockRecord first = pane(3, 100, 200, 100);
    DockRecord second = pane(205, 120, 150, 80);
    m.RegisterWindow(dsTools, &first);
    m.RegisterWindow(dsColors, &second);
    m.UpdateGlue(dsTools);
    m.UpdateGlue(dsColors);
    EXPECT_EQ(m.GluedChainSize(), 350);

    // Two panes of equal width on the same edge count once; the wider of two
    // different ones counts.
    DockRecord twin = pane(0, 400, 200, 100);
    m.RegisterWindow(dsExplorer, &twin);
    m.UpdateGlue(dsExplorer);
    EXPECT_EQ(m.GluedChainSize(), 350);
    twin.SetBounds(0, 400, 260, 100);
    EXPECT_EQ(m.GluedChainSize(), 260 + 0);  // second is glued to first, not to the wider pane

    DockRecord right = pane(1000 - 235, 64, 235, 170);
    m.RegisterWindow(dsPreview, &right);
    m.UpdateGlue(dsPreview);
    EXPECT_EQ(m.RightChainWidth(), 235);
    EXPECT_EQ(m.ChainWidths(), 260 + 235);

    // All four panes in one chain.
    DockRecord x = pane(0, 0, 10, 10), y = pane(0, 0, 10, 10);
    m.RegisterWindow(dsTools, &x);
    m.RegisterWindow(dsColors, &y);
    x.GlueLeft = {dsMain, DockEdge::Right};
    y.GlueLeft = {dsTools, DockEdge::Right};
    twin.GlueLeft = {dsColors, DockEdge::Right};
    right.GlueLeft = {dsExplorer, DockEdge::Right};
    right.GlueRight = {};
    EXPECT_EQ(m.GluedChainSize(), 10 + 10 + 260 + 235);
    EXPECT_EQ(m.RightChainWidth(), 0);
}

TEST(PaneFrame, DraggedByItsTitleItGluesAndRegistersWhileShown) {
    guiApp();
    QWidget main;
    main.resize(800, 600);
    TDockMngr mngr;
    DockRecord areaRec = area(0, 0, 800, 600);
    mngr.RegisterWindow(dsMain, &areaRec);
    PaneFrame tools(&main, &mngr, dsTools, {dsTools, dsColors, dsPreview, dsExplorer});
    tools.setObjectName("frmTools");
    tools.setGeometry(300, 200, 120, 160);
    QSignalSpy shown(&tools, &PaneFrame::paneShown), hidden(&tools, &PaneFrame::paneHidden),
        moved(&tools, &PaneFrame::paneMoved);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    EXPECT_EQ(mngr.Record(dsTools), &tools.DockRect);
    EXPECT_GE(shown.count(), 1);
    EXPECT_EQ(tools.DockRect.Left, 300);
    EXPECT_EQ(tools.DockRect.Bottom, 360);

    tools.setWindowTitle("Tools");
    EXPECT_EQ(tools.TitleLabel()->text(), "Tools");

    // Drag the title so the left edge lands 6 pixels inside the area: the
    // pane snaps to the edge.
    QWidget* title = tools.TitleLabel();
    const QPoint grab(5, 5);
    QTest::mousePress(title, Qt::LeftButton, {}, grab);
    QTest::mouseMove(title, grab + QPoint(-294, 0));
    QTest::mouseRelease(title, Qt::LeftButton, {}, grab + QPoint(-294, 0));
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(tools.x(), 0);
    EXPECT_EQ(tools.y(), 200);
    EXPECT_EQ(tools.DockRect.GlueLeft, (DockGlue{dsMain, DockEdge::Right}));
    EXPECT_EQ(mngr.GluedChainSize(), 120);

    // Moved by code and glued like after a drag.
    tools.move(800 - 120 - 8, 3);
    tools.GlueAfterMove();
    EXPECT_EQ(tools.pos(), QPoint(680, 0));

    // Minimising the main window is no hide of the pane; the close button is.
    main.hide();
    EXPECT_EQ(hidden.count(), 0);
    EXPECT_EQ(mngr.Record(dsTools), &tools.DockRect);
    main.show();
    tools.CloseButton()->click();
    EXPECT_EQ(hidden.count(), 1);
    EXPECT_EQ(hidden.at(0).at(0).toInt(), int(dsTools));
    EXPECT_EQ(mngr.Record(dsTools), nullptr);
    EXPECT_EQ(mngr.GluedChainSize(), 0);

    // Shown again, and hidden by code while the main window is hidden.
    tools.show();
    EXPECT_EQ(mngr.Record(dsTools), &tools.DockRect);
    main.hide();
    tools.hide();
    EXPECT_EQ(hidden.count(), 2);
    EXPECT_EQ(mngr.Record(dsTools), nullptr);
    tools.hide();
    EXPECT_EQ(hidden.count(), 2);  // already hidden: nothing new
}

TEST(PaneFrame, ContentReplacedAndResizeEndsInGlue) {
    guiApp();
    QWidget main;
    main.resize(600, 400);
    TDockMngr mngr;
    DockRecord areaRec = area(0, 0, 600, 400);
    mngr.RegisterWindow(dsMain, &areaRec);
    PaneFrame prev(&main, &mngr, dsPreview, {dsPreview, dsTools, dsColors, dsExplorer});
    QPointer<QLabel> first = new QLabel("one");
    prev.SetContent(first);
    EXPECT_EQ(first->parentWidget(), &prev);
    auto* second = new QLabel("two");
    prev.SetContent(second);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(prev.Content(), second);
    prev.SetResizable(true);
    prev.setGeometry(400, 100, 195, 100);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    QWidget* grip = prev.SizeGrip();
    ASSERT_NE(grip, nullptr);
    QTest::mousePress(grip, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseMove(grip, QPoint(2 + 3, 2 + 30));
    QTest::mouseRelease(grip, Qt::LeftButton, {}, QPoint(2 + 3, 2 + 30));
    EXPECT_EQ(prev.size(), QSize(198, 130));
    EXPECT_EQ(prev.x() + prev.width(), 600);  // the new right edge is near the area's: glued
}
