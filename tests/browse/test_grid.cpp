// The thumbnail grid: placement and picture arithmetic, selection by mouse
// and keys, the rubber band, dragging tiles out and onto each other.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QFontMetrics>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QUrl>

#include "BrowseTestSupport.h"
#include "browse/TileGeometry.h"

using namespace velto;
using namespace velto::test;

namespace {

std::vector<int> Flags(const TThumbail& g) {
    std::vector<int> out;
    for (int i = 0; i < g.Count(); ++i)
        if (g.Item(i).Selected) out.push_back(i);
    return out;
}

void Send(TThumbail& g, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons,
          Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent e(type, pos, g.viewport()->mapToGlobal(pos), button, buttons, mods);
    QApplication::sendEvent(g.viewport(), &e);
}

// Sends a drag event of data at pos to the grid; true when it was accepted.
bool DragEvent(TThumbail& g, QEvent::Type type, QMimeData& data, QPoint pos) {
    if (type == QEvent::DragEnter) {
        QDragEnterEvent e(pos, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(g.viewport(), &e);
        return e.isAccepted();
    }
    if (type == QEvent::DragMove) {
        QDragMoveEvent e(pos, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(g.viewport(), &e);
        return e.isAccepted();
    }
    QDropEvent e(QPointF(pos), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(g.viewport(), &e);
    return e.isAccepted();
}

}  // namespace

TEST(TileGeometry, PlacementPicturesCaptionsAndChoices) {
    // 400 wide, a 17-pixel bar, tiles of 100: 3 columns 26 apart at 13, 139, 265.
    const TTileLayout l = TTileLayout::Of(400, 17, 100, false);
    EXPECT_EQ(l.Cols, 3);
    EXPECT_EQ(l.Gap, 26);
    EXPECT_EQ(l.TopLeft(0), QPoint(13, 5));
    EXPECT_EQ(l.TopLeft(2), QPoint(265, 5));
    EXPECT_EQ(l.TopLeft(4), QPoint(139, 110));
    EXPECT_EQ(TTileLayout::Of(400, 17, 100, true).TopLeft(3), QPoint(13, 130));
    // Narrower than one tile: one column, a negative gap, margin 5.
    const TTileLayout narrow = TTileLayout::Of(60, 17, 100, false);
    EXPECT_EQ(narrow.Cols, 1);
    EXPECT_LT(narrow.Gap, 0);
    EXPECT_EQ(narrow.TopLeft(1), QPoint(5, 110));
    // Rows meeting content rows: the second row alone, then all.
    EXPECT_EQ(l.IndexRange(110, 200, 10), (std::pair<int, int>{0, 6}));
    EXPECT_EQ(l.IndexRange(0, 10000, 10), (std::pair<int, int>{0, 10}));
    EXPECT_EQ(l.ContentHeight(4), 2 * 105 + 5);

    // Never enlarged; fitted into Size - 10 keeping proportions.
    EXPECT_EQ(FittedPictureSize({16, 16}, 100), QSize(16, 16));
    EXPECT_EQ(PictureOffset({16, 16}, 100), QPoint(42, 42));
    EXPECT_EQ(FittedPictureSize({400, 200}, 100), QSize(90, 45));
    EXPECT_EQ(PictureOffset({90, 45}, 100), QPoint(5, 27));
    EXPECT_EQ(FittedPictureSize({50, 300}, 100), QSize(15, 90));
    EXPECT_EQ(FittedPictureSize({0, 300}, 100), QSize(0, 0));

    EXPECT_EQ(JpegDecodeDenominator(2000, 1500, 100), 8);
    EXPECT_EQ(JpegDecodeDenominator(500, 100, 100), 4);
    EXPECT_EQ(JpegDecodeDenominator(450, 100, 100), 2);
    EXPECT_EQ(JpegDecodeDenominator(199, 100, 100), 1);
    EXPECT_EQ(JpegSourceSize(2001, 1500, 100), QSize(2008, 1504));

    const std::uint8_t sorted[] = {48, 32, 16}, tie[] = {32, 32, 16}, rising[] = {16, 32, 48}, big[] = {0, 48, 32},
                       one[] = {32};
    EXPECT_EQ(ChooseGroupEntry(sorted), 0);
    EXPECT_EQ(ChooseGroupEntry(tie), 1);
    EXPECT_EQ(ChooseGroupEntry(rising), 2);
    EXPECT_EQ(ChooseGroupEntry(big), 1);  // 256 stored as 0 is the narrowest
    EXPECT_EQ(ChooseGroupEntry(one), 0);

    EnsureGuiApp();
    const QFontMetrics fm(QApplication::font());
    EXPECT_EQ(ShortenCaption("ab", 100, fm), "ab");
    const QString cut = ShortenCaption("a rather long caption for a narrow tile", 60, fm);
    EXPECT_TRUE(cut.endsWith("..."));
    EXPECT_LT(fm.horizontalAdvance(cut), 60);
    EXPECT_EQ(ShortenCaption("wide", 1, fm), "...");  // stops at the empty text
}

TEST(ThumbnailGrid, TilesNamesAndDeletion) {
    auto g = MakeGrid(6);
    EXPECT_EQ(g->Count(), 6);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(g->Item(i).Index, i);
    g->Item(0).Caption = "#1";
    g->Item(1).Caption = "#3";
    g->Item(1).LanguageId = 1033;
    EXPECT_EQ(g->MakeUniqueName("#"), "#2");
    EXPECT_FALSE(g->IsNameUnique("#3"));
    EXPECT_TRUE(g->IsNameUnique("#2"));
    EXPECT_FALSE(g->IsNameLangUnique("#3", 1033));
    EXPECT_TRUE(g->IsNameLangUnique("#3", 0));

    g->SelectItem(1);
    g->SelectItem(4);
    g->Delete(2);
    EXPECT_EQ(g->Count(), 5);
    EXPECT_EQ(g->Selection(), (std::vector<int>{1, 3}));
    EXPECT_EQ(g->Item(3).Caption, "t4");
    EXPECT_EQ(g->Item(3).Index, 3);
    g->DeleteSelected();
    EXPECT_EQ(g->Count(), 3);
    EXPECT_TRUE(g->Selection().empty());
    for (int i = 0; i < g->Count(); ++i) {
        EXPECT_EQ(g->Item(i).Index, i);
        EXPECT_EQ(g->ItemAt(Centre(*g, i)), i);
    }
    EXPECT_EQ(g->Item(2).Caption, "t5");

    // Size and captions reach every tile; the height follows the caption.
    g->SetShowCaption(true);
    g->SetThumbnailSize(65);
    for (int i = 0; i < g->Count(); ++i) {
        EXPECT_EQ(g->Item(i).Size, 65);
        EXPECT_EQ(g->Item(i).Height(), 85);
    }
    g->ShowSelectionStatus();
    EXPECT_EQ(g->StatusText(), "3 objects");
    g->SelectItem(0);
    g->ShowSelectionStatus();
    EXPECT_EQ(g->StatusText(), "1 selected objects");
}

TEST(ThumbnailGrid, ClicksCtrlAndShiftFollowTheAnchor) {
    auto g = MakeGrid(12);
    QSignalSpy clicked(g.get(), &TThumbail::itemClicked);
    Click(*g, 2);
    EXPECT_EQ(g->Selection(), (std::vector<int>{2}));
    EXPECT_EQ(clicked.count(), 1);
    Click(*g, 5, Qt::ControlModifier);
    Click(*g, 1, Qt::ControlModifier);
    EXPECT_EQ(g->Selection(), (std::vector<int>{2, 5, 1}));
    EXPECT_EQ(g->Anchor(), 1);
    Click(*g, 5, Qt::ControlModifier);  // toggled off, order kept
    EXPECT_EQ(g->Selection(), (std::vector<int>{2, 1}));
    EXPECT_EQ(Flags(*g), (std::vector<int>{1, 2}));

    // Shift from anchor 7 to tile 3 adds 7, 6, 5, 4, 3; the anchor stays.
    Click(*g, 7);
    EXPECT_EQ(g->Anchor(), 7);
    Send(*g, QEvent::MouseButtonPress, Centre(*g, 3), Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(g->Selection(), (std::vector<int>{7, 6, 5, 4, 3}));
    EXPECT_EQ(g->Anchor(), 7);
    Send(*g, QEvent::MouseButtonRelease, Centre(*g, 3), Qt::LeftButton, Qt::NoButton, Qt::ShiftModifier);
    EXPECT_EQ(g->Selection().size(), 5u);
    // A plain click on one of them leaves it alone selected, on release.
    Send(*g, QEvent::MouseButtonPress, Centre(*g, 5), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(g->Selection().size(), 5u);
    Send(*g, QEvent::MouseButtonRelease, Centre(*g, 5), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(g->Selection(), (std::vector<int>{5}));
    EXPECT_EQ(Flags(*g), (std::vector<int>{5}));

    // Single mode: a press selects that tile only, whatever is held.
    g->SetSelectionMode(1);
    Click(*g, 8, Qt::ControlModifier);
    EXPECT_EQ(g->Selection(), (std::vector<int>{8}));
    g->SelectItem(9);
    EXPECT_EQ(g->Selection(), (std::vector<int>{9}));
    // Mode 0 selects nothing.
    g->SetSelectionMode(0);
    g->ClearSelection();
    Click(*g, 3);
    g->SelectItem(4);
    EXPECT_TRUE(g->Selection().empty());

    // The middle button does nothing; a double-click is reported.
    g->SetSelectionMode(2);
    QTest::mouseClick(g->viewport(), Qt::MiddleButton, {}, Centre(*g, 0));
    EXPECT_TRUE(g->Selection().empty());
    QSignalSpy dbl(g.get(), &TThumbail::itemDblClicked);
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, Centre(*g, 0));
    EXPECT_EQ(dbl.count(), 1);
}

TEST(ThumbnailGrid, RubberBandSelectsWhatItTouches) {
    auto g = MakeGrid(9);
    QSignalSpy clicked(g.get(), &TThumbail::itemClicked);
    QSignalSpy empty(g.get(), &TThumbail::clicked);
    const QRect t0 = g->ItemRect(0);
    const QRect t4 = g->ItemRect(4);
    // From the gap left of tile 1 down to the exact left edge of tile 4: 1
    // and 4 are met (4 only at its edge), 0 is not.
    const QPoint start(t0.right() + 5, 2);
    Send(*g, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    Send(*g, QEvent::MouseMove, QPoint(t4.left(), t4.top() + 10), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(Flags(*g), (std::vector<int>{1, 4}));
    EXPECT_TRUE(g->Selection().empty());  // the list follows on release
    Send(*g, QEvent::MouseButtonRelease, QPoint(t4.left(), t4.top() + 10), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(g->Selection(), (std::vector<int>{1, 4}));
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(empty.count(), 1);

    // With Ctrl the band toggles what it meets and keeps the rest.
    const QRect t2 = g->ItemRect(2);
    Send(*g, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
    Send(*g, QEvent::MouseMove, QPoint(t2.left() + 3, t2.top() + 3), Qt::NoButton, Qt::LeftButton,
         Qt::ControlModifier);
    EXPECT_EQ(Flags(*g), (std::vector<int>{2, 4}));
    // Shrinking the band gives tile 2 up again and tile 1 back.
    Send(*g, QEvent::MouseMove, QPoint(t0.right() + 8, 4), Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(Flags(*g), (std::vector<int>{1, 4}));
    Send(*g, QEvent::MouseMove, QPoint(t2.left() + 3, t2.top() + 3), Qt::NoButton, Qt::LeftButton,
         Qt::ControlModifier);
    Send(*g, QEvent::MouseButtonRelease, QPoint(t2.left() + 3, t2.top() + 3), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(g->Selection(), (std::vector<int>{2, 4}));

    // A plain press on empty space clears, unless the grid keeps its selection.
    g->SetAlwaysSelected(true);
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, start);
    EXPECT_EQ(g->Selection(), (std::vector<int>{2, 4}));
    g->SetAlwaysSelected(false);
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, start);
    EXPECT_TRUE(g->Selection().empty());
}

TEST(ThumbnailGrid, RubberBandScrollsPastTheEdges) {
    auto g = MakeGrid(60, 400, 300);
    QScrollBar* bar = g->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 400);
    const QPoint start(g->ItemRect(0).right() + 5, 2);
    Send(*g, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    // 200 pixels below the bottom edge: the content scrolls by that much.
    const int h = g->viewport()->height();
    const int x = Centre(*g, 1).x();
    Send(*g, QEvent::MouseMove, QPoint(x, h - 1 + 200), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(bar->value(), 200);
    // The band still starts at the first row and ends where the pointer is
    // over the scrolled content: tiles of the middle column in between.
    const std::vector<int> f = Flags(*g);
    ASSERT_FALSE(f.empty());
    EXPECT_EQ(f.front(), 1);
    EXPECT_EQ(std::count_if(f.begin(), f.end(), [](int i) { return i % 3 != 1; }), 0);
    const int lastRow = (h - 1 + 200 + 200 - 5) / 105;
    EXPECT_EQ(f.back(), lastRow * 3 + 1);
    // Far below: stops at the end.
    Send(*g, QEvent::MouseMove, QPoint(x, h + 100000), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(bar->value(), bar->maximum());
    Send(*g, QEvent::MouseButtonRelease, QPoint(start.x(), h - 1), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(g->Selection().size(), 20u);
}

TEST(ThumbnailGrid, KeysMoveAndExtendTheSelection) {
    auto g = MakeGrid(30);
    QSignalSpy clicked(g.get(), &TThumbail::itemClicked);
    g->setFocus();
    Click(*g, 4);
    QTest::keyClick(g.get(), Qt::Key_Right);
    EXPECT_EQ(g->Selection(), (std::vector<int>{5}));
    QTest::keyClick(g.get(), Qt::Key_Down);  // three columns
    EXPECT_EQ(g->Selection(), (std::vector<int>{8}));
    QTest::keyClick(g.get(), Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(Flags(*g), (std::vector<int>{7, 8}));
    EXPECT_EQ(g->Anchor(), 8);
    QTest::keyClick(g.get(), Qt::Key_End);
    EXPECT_EQ(g->Selection(), (std::vector<int>{29}));
    EXPECT_EQ(g->verticalScrollBar()->value(), g->verticalScrollBar()->maximum());
    QTest::keyClick(g.get(), Qt::Key_Home);
    EXPECT_EQ(g->Selection(), (std::vector<int>{0}));
    EXPECT_EQ(g->verticalScrollBar()->value(), 0);
    // Ctrl moves alone; Ctrl+Space toggles there.
    QTest::keyClick(g.get(), Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(g.get(), Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(g->Selection(), (std::vector<int>{0}));
    QTest::keyClick(g.get(), Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(g->Selection(), (std::vector<int>{0, 2}));
    QTest::keyClick(g.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(g->SelectedCount(), 30);
    QSignalSpy dbl(g.get(), &TThumbail::itemDblClicked);
    QTest::keyClick(g.get(), Qt::Key_Return);
    EXPECT_EQ(dbl.count(), 1);
    EXPECT_GE(clicked.count(), 7);
    // Going past either end changes nothing.
    QTest::keyClick(g.get(), Qt::Key_Home);
    QTest::keyClick(g.get(), Qt::Key_Up);
    EXPECT_EQ(g->Selection(), (std::vector<int>{0}));
}

TEST(ThumbnailGrid, DragOutStartsBeyondFivePixelsFromASelectedTile) {
    auto g = MakeGrid(6);
    g->Item(1).FileName = "/tmp/one.cur";
    g->Item(3).FileName = "/tmp/three.cur";
    std::vector<QByteArray> payloads;
    std::vector<QList<QUrl>> urls;
    const TThumbail::DragRunner old = TThumbail::SetDragRunner([&](TThumbail& grid, QMimeData* data) {
        EXPECT_EQ(&grid, g.get());
        payloads.push_back(data->data(kThumbnailMime));
        urls.push_back(data->urls());
        delete data;
    });
    auto dragFrom = [&](int tile, QPoint by, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        const QPoint p = Centre(*g, tile);
        Send(*g, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton, mods);
        Send(*g, QEvent::MouseMove, p + by, Qt::NoButton, Qt::LeftButton, mods);
        Send(*g, QEvent::MouseButtonRelease, p + by, Qt::LeftButton, Qt::NoButton, mods);
    };
    dragFrom(1, {5, -5});  // within the threshold
    EXPECT_TRUE(payloads.empty());  // and CanDrag is off anyway
    g->SetCanDrag(true);
    dragFrom(1, {5, 5});
    EXPECT_TRUE(payloads.empty());
    dragFrom(1, {0, 6});
    ASSERT_EQ(payloads.size(), 1u);
    Click(*g, 3, Qt::ControlModifier);
    dragFrom(3, {-6, 0}, Qt::ControlModifier);  // Ctrl unselects 3 on press: no drag
    EXPECT_EQ(payloads.size(), 1u);
    Click(*g, 3, Qt::ControlModifier);
    dragFrom(1, {-6, 0}, Qt::ControlModifier);
    ASSERT_EQ(payloads.size(), 1u);  // 1 was toggled off by the Ctrl press
    dragFrom(3, {7, 7});
    ASSERT_EQ(payloads.size(), 2u);
    const QList<QByteArray> parts = payloads.back().split(' ');
    ASSERT_EQ(parts.size(), 3);
    EXPECT_EQ(parts[2], "3");
    EXPECT_EQ(urls.back(), QList<QUrl>{QUrl::fromLocalFile("/tmp/three.cur")});
    TThumbail::SetDragRunner(old);
}

TEST(ThumbnailGrid, DropsOnOwnTilesReorderOnlyWithDragItems) {
    auto g = MakeGrid(6);
    auto other = MakeGrid(3);
    std::vector<int> external;
    g->SetExternalDrop([&](QDropEvent* e, int tile) {
        external.push_back(tile);
        e->acceptProposedAction();
    });
    QSignalSpy moved(g.get(), &TThumbail::itemMoved);
    g->SelectItem(4);
    g->SelectItem(1);
    std::unique_ptr<QMimeData> own(g->MakeDragData());
    // DragItems off: refused, and not handed to the owner either.
    EXPECT_FALSE(DragEvent(*g, QEvent::DragEnter, *own, Centre(*g, 2)));
    EXPECT_FALSE(DragEvent(*g, QEvent::Drop, *own, Centre(*g, 2)));
    EXPECT_EQ(moved.count(), 0);
    EXPECT_TRUE(external.empty());
    g->SetDragItems(true);
    EXPECT_TRUE(DragEvent(*g, QEvent::DragEnter, *own, Centre(*g, 2)));
    EXPECT_TRUE(DragEvent(*g, QEvent::DragMove, *own, Centre(*g, 2)));
    // Empty space takes no drop.
    EXPECT_FALSE(DragEvent(*g, QEvent::DragMove, *own, QPoint(g->ItemRect(0).right() + 5, 2)));
    EXPECT_TRUE(DragEvent(*g, QEvent::Drop, *own, Centre(*g, 2)));
    ASSERT_EQ(moved.count(), 1);
    // The first tile of the selection, onto the tile dropped on.
    EXPECT_EQ(moved[0][0].toInt(), 4);
    EXPECT_EQ(moved[0][1].toInt(), 2);
    EXPECT_EQ(g->Item(4).Caption, "t4");  // the grid itself moves nothing

    // Tiles of another grid go to the owner's handler with the tile under them.
    other->SelectItem(0);
    std::unique_ptr<QMimeData> foreign(other->MakeDragData());
    EXPECT_TRUE(DragEvent(*g, QEvent::DragEnter, *foreign, Centre(*g, 5)));
    EXPECT_TRUE(DragEvent(*g, QEvent::Drop, *foreign, Centre(*g, 5)));
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(external, (std::vector<int>{5, 5}));
    // A grid that went away is no source any more.
    other.reset();
    QDropEvent stale(QPointF(1, 1), Qt::CopyAction, foreign.get(), Qt::LeftButton, Qt::NoModifier);
    EXPECT_EQ(TThumbail::DragSource(&stale), nullptr);
}

TEST(ThumbnailGrid, WheelScrollsALineANotchAndPaintsOnlyWhatShows) {
    auto g = MakeGrid(300);
    QScrollBar* bar = g->verticalScrollBar();
    QWheelEvent down(QPointF(10, 10), g->viewport()->mapToGlobal(QPoint(10, 10)), QPoint(), QPoint(0, -240),
                     Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(g->viewport(), &down);
    EXPECT_EQ(bar->value(), 100);
    // A tile under a point after scrolling.
    EXPECT_EQ(g->ItemAt(QPoint(g->ItemRect(0).left() + 1, 2)), 0);  // row 0 reaches y = 105 - 100
    EXPECT_EQ(g->ItemAt(QPoint(g->ItemRect(3).left() + 1, 20)), 3);
    // Painting the whole grid with 300 tiles reads the visible ones only;
    // the grab is what the user sees.
    const QImage shot = g->viewport()->grab().toImage();
    EXPECT_FALSE(shot.isNull());
}
