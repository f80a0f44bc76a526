// Docking: which edges glue and in what order, where glued panes go, the
// chain widths along the document area, and the pane frame gluing itself.
#include <gtest/gtest.h>

#include <string>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "shell/DockMngr.h"
#include "shell/PaneFrame.h"
#include "GuiTestApp.h"

using namespace velto;

namespace {

DockRecord pane(int left, int top, int width, int height) {
    DockRecord r;
    r.SetBounds(left, top, width, height);
    return r;
}

// The document area at (x, y), w x h, given inside out.
DockRecord area(int x, int y, int w, int h) { return {.Left = x + w, .Top = y + h, .Right = x, .Bottom = y}; }

class DockTest : public ::testing::Test {
protected:
    void SetUp() override { m.RegisterWindow(dsMain, &main); }
    DockGlue glue(int slot, DockEdge e) { return {slot, e}; }
    TDockMngr m;
    DockRecord main = area(0, 30, 1000, 700);  // x 0..1000, y 30..730
};

}  // namespace

TEST_F(DockTest, NearMeansUnderTenPixelsAndPanesMustOverlap) {
    for (int gap : {9, 10, -9, -10}) {
        SCOPED_TRACE("gap " + std::to_string(gap));
        DockRecord p = pane(gap, 300, 100, 100);
        m.RegisterWindow(dsTools, &p);
        m.UpdateGlue(dsTools);
        EXPECT_EQ(p.GlueLeft.IsSet(), gap == 9 || gap == -9);
        // The manager keeps the record's address: it must not outlive p.
        m.UnregisterWindow(dsTools);
    }
    // The document area needs no overlap: a pane far from the right edge's
    // corner glues to it, and to the top edge at the same time.
    DockRecord right = pane(1000 - 150 + 5, 35, 150, 80);
    m.RegisterWindow(dsPreview, &right);
    m.UpdateGlue(dsPreview);
    EXPECT_EQ(right.GlueRight, glue(dsMain, DockEdge::Left));
    EXPECT_EQ(right.GlueTop, glue(dsMain, DockEdge::Bottom));
    // Between panes the edges must share some length.
    DockRecord beside = pane(1000 - 150 - 80 - 3, 100, 80, 50);
    m.RegisterWindow(dsColors, &beside);
    m.UpdateGlue(dsColors);
    EXPECT_EQ(beside.GlueRight, glue(dsPreview, DockEdge::Left));
    beside.SetBounds(beside.Left, 115, 80, 50);  // only the corner touches
    m.UpdateGlue(dsColors);
    EXPECT_FALSE(beside.GlueRight.IsSet());
}

TEST_F(DockTest, FirstSlotWinsAndTopIsTriedBeforeBottom) {
    DockRecord flat = pane(300, 300, 100, 8);     // slot 2
    DockRecord thin = pane(300, 305, 100, 3);     // top near flat's bottom, bottom near its top
    DockRecord aligned = pane(200, 305, 100, 3);  // slot 5, exactly left of thin
    m.RegisterWindow(dsPreview, &flat);
    m.RegisterWindow(dsColors, &thin);
    m.RegisterWindow(dsExplorer, &aligned);
    m.UpdateGlue(dsColors);
    EXPECT_EQ(thin.GlueTop, glue(dsPreview, DockEdge::Bottom));
    EXPECT_FALSE(thin.GlueBottom.IsSet());
    EXPECT_EQ(thin.GlueLeft, glue(dsExplorer, DockEdge::Right));

    DockRecord t = pane(296, 120, 60, 60);  // left near both slot 2's and slot 5's right edge
    flat = pane(200, 100, 95, 50);
    aligned = pane(200, 160, 96, 50);
    m.RegisterWindow(dsTools, &t);
    m.UpdateGlue(dsTools);
    EXPECT_EQ(t.GlueLeft, glue(dsPreview, DockEdge::Right));
}

TEST_F(DockTest, ApplyGlueFollowsTheEdgeWhereItIsNow) {
    DockRecord a = pane(895, 500, 100, 100);  // right edge 5 from the area's
    DockRecord b = pane(800, 404, 120, 90);   // bottom 6 above a's top
    m.RegisterWindow(dsPreview, &a);
    m.UpdateGlue(dsPreview);
    m.RegisterWindow(dsColors, &b);
    m.UpdateGlue(dsColors);
    main = area(0, 30, 1200, 700);  // the main window grew
    DockPlacement pa{895, 500, 100, 100};
    m.ApplyGlue(dsPreview, pa);
    EXPECT_EQ(pa.left, 1100);
    EXPECT_EQ(pa.top, 500);  // no vertical glue
    a.SetBounds(pa.left, 520, 100, 100);
    DockPlacement pb{800, 404, 120, 90};
    m.ApplyGlue(dsColors, pb);
    EXPECT_EQ(pb.top, 520 - 90);
    m.UnregisterWindow(dsPreview);  // glued to an empty slot: left alone
    pb = {1, 2, 120, 90};
    m.ApplyGlue(dsColors, pb);
    EXPECT_EQ(pb.top, 2);
}

TEST_F(DockTest, ChainWidths) {
    EXPECT_EQ(m.ChainWidths(), 0);  // nothing glued: a maximised document fills the area
    DockRecord first = pane(3, 100, 200, 100), second = pane(205, 120, 150, 80), twin = pane(0, 400, 200, 100);
    DockRecord right = pane(765, 64, 235, 170);
    m.RegisterWindow(dsTools, &first);
    m.RegisterWindow(dsColors, &second);
    m.RegisterWindow(dsExplorer, &twin);
    m.RegisterWindow(dsPreview, &right);
    for (int s : {2, 3, 4, 5}) m.UpdateGlue(s);
    EXPECT_EQ(m.GluedChainSize(), 350);  // 200 + 150; the twin of equal width counts once
    twin.SetBounds(0, 400, 260, 100);
    EXPECT_EQ(m.GluedChainSize(), 260);  // the widest goes on; nothing is glued to it
    EXPECT_EQ(m.RightChainWidth(), 235);
    EXPECT_EQ(m.ChainWidths(), 495);
    right.GlueRight = {};
    right.GlueLeft = glue(dsExplorer, DockEdge::Right);
    EXPECT_EQ(m.GluedChainSize(), 260 + 235);
}

TEST(PaneFrame, GluesAfterADragOrResizeAndRegistersWhileShown) {
    test::EnsureGuiApp();
    QWidget window;
    window.resize(800, 600);
    TDockMngr mngr;
    DockRecord areaRec = area(0, 0, 800, 600);
    mngr.RegisterWindow(dsMain, &areaRec);
    PaneFrame tools(&window, &mngr, dsTools, {dsTools, dsColors, dsPreview, dsExplorer});
    tools.setGeometry(300, 200, 120, 160);
    tools.SetResizable(true);
    QSignalSpy hidden(&tools, &PaneFrame::paneHidden), moved(&tools, &PaneFrame::paneMoved);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(mngr.Record(dsTools), &tools.DockRect);
    tools.setWindowTitle("Tools");
    EXPECT_EQ(tools.TitleLabel()->text(), "Tools");

    // Dropped 6 pixels inside the area's left edge: it snaps to the edge.
    QTest::mousePress(tools.TitleLabel(), Qt::LeftButton, {}, {5, 5});
    QTest::mouseMove(tools.TitleLabel(), {5 - 294, 5});
    QTest::mouseRelease(tools.TitleLabel(), Qt::LeftButton, {}, {5 - 294, 5});
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(tools.pos(), QPoint(0, 200));
    EXPECT_EQ(mngr.GluedChainSize(), 120);
    // Resized to 3 pixels short of the bottom: glued there.
    QTest::mousePress(tools.SizeGrip(), Qt::LeftButton, {}, {2, 2});
    QTest::mouseMove(tools.SizeGrip(), {12, 2 + 237});
    QTest::mouseRelease(tools.SizeGrip(), Qt::LeftButton, {}, {12, 2 + 237});
    EXPECT_EQ(tools.size(), QSize(130, 397));
    EXPECT_EQ(tools.y() + tools.height(), 600);

    window.hide();  // the window going away is no hiding of the pane
    EXPECT_EQ(hidden.count(), 0);
    tools.hide();  // hidden itself, even while the window is hidden
    EXPECT_EQ(hidden.count(), 1);
    EXPECT_EQ(mngr.Record(dsTools), nullptr);
    window.show();
    tools.show();
    EXPECT_EQ(mngr.Record(dsTools), &tools.DockRect);
    tools.CloseButton()->click();
    EXPECT_EQ(hidden.count(), 2);
}
