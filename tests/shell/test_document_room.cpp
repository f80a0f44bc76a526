// The documents' room: the document area less the columns of panes glued to
// its side edges. Maximised, new and tiled windows stay out from under those
// panes as they come and go, and a layout saved in an area of another size
// (another screen, another scale) comes back with its glued panes at the
// same edges.
#include <QMdiSubWindow>
#include <QTest>

#include "MainWindowFixture.h"
#include "shell/DockMngr.h"
#include "shell/PaneFrame.h"

using namespace velto;
using velto::test::MainWindowTest;

namespace {

class DocumentRoomTest : public MainWindowTest {
protected:
    void start(QSize window) {
        Options().MainMaximized = false;
        Options().MainWidth = window.width();
        Options().MainHeight = window.height();
        Options().ShowTips = false;
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
        main->FirstActivation({});
        QApplication::processEvents();
    }
    PaneFrame* pane(int slot) const { return main->Forms().Pane(slot); }
    QRect area() const { return main->DocumentArea()->geometry(); }
    // A widget's rectangle in the main window.
    QRect inMain(const QWidget* w) const { return {w->mapTo(main.get(), QPoint(0, 0)), w->size()}; }
    QRect room() const { return inMain(main->DocumentArea()->viewport()); }
    // The shown panes a rectangle of the main window lies on.
    std::vector<int> panesUnder(const QRect& r) const {
        std::vector<int> out;
        for (int slot : {dsPreview, dsColors, dsTools, dsExplorer})
            if (!pane(slot)->isHidden() && pane(slot)->geometry().intersects(r)) out.push_back(slot);
        return out;
    }
};

TEST_F(DocumentRoomTest, MaximisedNewAndTiledWindowsStayBesideTheGluedPanes) {
    start({1200, 800});
    // The tool palette on the left edge, the preview on the right one.
    for (int slot : {dsColors, dsExplorer}) pane(slot)->hide();
    pane(dsTools)->move(area().topLeft());
    pane(dsPreview)->move(area().right() + 1 - pane(dsPreview)->width(), area().top());
    main->UpdateDockGlue();
    const int left = pane(dsTools)->width(), right = pane(dsPreview)->width();
    EXPECT_EQ(main->DocumentArea()->viewportMargins(), QMargins(left, 0, right, 0));
    EXPECT_EQ(room().left(), area().left() + left + main->DocumentArea()->frameWidth());
    EXPECT_TRUE(panesUnder(room()).empty());

    // A maximised window fills the room, not the area.
    velto::test::StubDesk* d = newDesk();
    d->Frame()->show();
    EXPECT_TRUE(panesUnder(inMain(d->Frame())).empty());
    d->Frame()->showMaximized();
    QApplication::processEvents();
    EXPECT_EQ(inMain(d->Frame()), room());
    EXPECT_TRUE(panesUnder(inMain(d->Frame())).empty());

    // A pane hidden gives its column back; shown again it takes it.
    pane(dsPreview)->hide();
    QApplication::processEvents();
    EXPECT_EQ(main->DocumentArea()->viewportMargins().right(), 0);
    EXPECT_EQ(inMain(d->Frame()).right(), room().right());
    EXPECT_GT(inMain(d->Frame()).right(), area().right() - right);
    pane(dsPreview)->show();
    QApplication::processEvents();
    EXPECT_EQ(main->DocumentArea()->viewportMargins().right(), right);
    EXPECT_TRUE(panesUnder(inMain(d->Frame())).empty());
    d->Frame()->showNormal();

    // The tiles of more windows stay in the room too.
    for (int i = 0; i < 3; ++i) newDesk()->Frame()->show();
    for (const char* command : {"actTile", "actTileVert", "actTileHoriz", "actCascade"}) {
        SCOPED_TRACE(command);
        act(command)->trigger();
        QApplication::processEvents();
        for (int slot = 1; slot <= main->Desks().DeskCount(); ++slot) {
            const QRect placed = inMain(main->Desk(slot)->Frame());
            EXPECT_TRUE(panesUnder(placed).empty()) << slot;
            EXPECT_GE(placed.left(), room().left()) << slot;
        }
    }

    // A pane dragged off the edge floats: the room takes the column back.
    pane(dsTools)->move(area().center());
    main->UpdateDockGlue();
    EXPECT_EQ(main->DocumentArea()->viewportMargins().left(), 0);
}

TEST_F(DocumentRoomTest, ThePanesLeaveTheDocumentsAtLeastTheLeastWindow) {
    start({700, 500});
    // Chains wider together than the area: the room keeps the least window's width.
    pane(dsExplorer)->resize(area().width() - 60, pane(dsExplorer)->height());
    pane(dsExplorer)->move(area().topLeft());
    pane(dsPreview)->move(area().right() + 1 - pane(dsPreview)->width(), area().top());
    main->UpdateDockGlue();
    const QMargins m = main->DocumentArea()->viewportMargins();
    EXPECT_GT(m.left(), 0);
    EXPECT_GE(area().width() - m.left() - m.right(), 120);
}

struct SavedRow {
    const char* name;
    QSize savedArea;  // the area the layout was saved in
    QSize window;     // the window it comes back in
};

void PrintTo(const SavedRow& r, std::ostream* os) { *os << r.name; }

class SavedLayoutRows : public DocumentRoomTest, public ::testing::WithParamInterface<SavedRow> {};

TEST_P(SavedLayoutRows, GluedPanesComeBackToTheirEdgesAndTheDocumentsBesideThem) {
    const SavedRow& r = GetParam();
    // The default layout of a screen as wide as the saved area: the preview,
    // tools and colours glued to its right edge, the explorer to its left.
    const TOptions saved(r.savedArea.width());
    TOptions& o = Options();
    o.AreaLeft = 0;
    o.AreaTop = 0;
    o.AreaWidth = r.savedArea.width();
    o.AreaHeight = r.savedArea.height();
    o.PrevLeft = saved.PrevLeft, o.PrevTop = 0;
    o.ToolsLeft = saved.ToolsLeft, o.ToolsTop = saved.PrevHeight;
    o.ColorsLeft = saved.ColorsLeft, o.ColorsTop = saved.PrevHeight;
    o.ExplorerLeft = 0, o.ExplorerTop = 0;
    start(r.window);
    ASSERT_EQ(main->size(), r.window);

    const QRect a = area();
    for (int slot : {dsPreview, dsColors}) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(pane(slot)->geometry().right(), a.right());
        EXPECT_TRUE(a.contains(pane(slot)->geometry()));
    }
    EXPECT_EQ(pane(dsTools)->geometry().right() + 1, pane(dsColors)->x());
    EXPECT_EQ(pane(dsExplorer)->x(), a.left());
    for (int slot : {dsPreview, dsColors, dsTools})
        EXPECT_TRUE(panesUnder(pane(slot)->geometry()) == std::vector<int>{slot}) << slot;

    // Both chains are outside the documents' room, and a new window in it.
    EXPECT_EQ(main->DocumentArea()->viewportMargins(),
              QMargins(main->DockManager().GluedChainSize(), 0, main->DockManager().RightChainWidth(), 0));
    EXPECT_GT(main->DockManager().RightChainWidth(), 0);
    velto::test::StubDesk* d = newDesk();
    d->Frame()->show();
    EXPECT_TRUE(panesUnder(inMain(d->Frame())).empty());

    // Saved again, the layout names the area it was saved in.
    main->SaveLayout();
    EXPECT_EQ(QRect(o.AreaLeft, o.AreaTop, o.AreaWidth, o.AreaHeight), a);
}

INSTANTIATE_TEST_SUITE_P(Areas, SavedLayoutRows,
                         ::testing::Values(SavedRow{"HalfScaleIntoAWideWindow", {800, 450}, {1500, 950}},
                                           SavedRow{"WideScreenIntoSmallerWindow", {1600, 900}, {1024, 768}},
                                           SavedRow{"SameSize", {1100, 600}, {1100, 700}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
