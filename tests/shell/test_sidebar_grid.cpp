// The document window's side bar as the user works it: a click chooses the
// image, frames of an animation are reordered by dragging a tile onto
// another, and a tile of another window's side bar is dropped in as a copy.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>

#include "DeskFixture.h"
#include "browse/ThumbnailGrid.h"
#include "shell/SelectionControl.h"
#include "shell/ToolController.h"

using namespace velto;
using namespace velto::test;

namespace {

class SideBarTest : public DeskTest {
protected:
    // A drag of the bar's selected tiles from `from` dropped on tile `onto` of `to`.
    static bool DropTile(TfrmDesk* from, TfrmDesk* to, int onto) {
        std::unique_ptr<QMimeData> data(from->SideBar()->MakeDragData());
        QWidget* target = to->SideBar()->viewport();
        const QPoint at = to->SideBar()->ItemRect(onto).center();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }
    static std::vector<int> Reds(TfrmDesk* d) {
        std::vector<int> v;
        for (int i = 0; i < d->Document()->Count(); ++i) v.push_back(d->Document()->Image(i).At(0, 0).R);
        return v;
    }
};

}  // namespace

TEST_F(SideBarTest, ClicksChooseDragsReorderFramesAndDropsCopyImages) {
    TmyANI ani;
    for (int i = 0; i < 4; ++i)
        ani.Image(ani.AddImage({8, 8}, 32)).At(0, 0) = TmyPixel{static_cast<std::uint8_t>(i + 1), 0, 0, 255};
    TfrmDesk* a = openDocument(ani, "frames.ani");
    ASSERT_NE(a, nullptr);
    TThumbail* bar = a->SideBar();
    ASSERT_EQ(bar->Count(), 4);
    EXPECT_EQ(bar->Item(3).Caption, "Frame 3");
    EXPECT_EQ(bar->ThumbnailSize(), 65);
    EXPECT_EQ(bar->Selection(), std::vector<int>{0});

    // A click on a tile makes its image current.
    QTest::mouseClick(bar->viewport(), Qt::LeftButton, {}, bar->ItemRect(2).center());
    EXPECT_EQ(a->ItemIndex(), 2);
    EXPECT_EQ(a->ImagesCombo()->currentIndex(), 2);
    EXPECT_EQ(bar->Selection(), std::vector<int>{2});
    // Empty space keeps the choice.
    QTest::mouseClick(bar->viewport(), Qt::LeftButton, {}, QPoint(bar->viewport()->width() - 2, 2));
    EXPECT_EQ(bar->Selection(), std::vector<int>{2});

    // Frame 0 dragged onto frame 2 lands right after it.
    QTest::mouseClick(bar->viewport(), Qt::LeftButton, {}, bar->ItemRect(0).center());
    a->SetSaved(true);
    EXPECT_TRUE(DropTile(a, a, 2));
    EXPECT_EQ(Reds(a), (std::vector<int>{2, 3, 1, 4}));
    EXPECT_FALSE(a->Saved());
    EXPECT_EQ(a->ItemIndex(), 2);
    EXPECT_EQ(bar->Selection(), std::vector<int>{2});
    EXPECT_EQ(bar->Count(), 4);

    // An icon's tiles do not move within its bar.
    TmyIcon icon;
    icon.Image(icon.AddImage({32, 32}, 32)).At(0, 0) = TmyPixel{7, 0, 0, 255};
    icon.Image(icon.AddImage({16, 16}, 32)).At(0, 0) = TmyPixel{8, 0, 0, 255};
    TfrmDesk* d = openDocument(icon, "two.ico");
    ASSERT_NE(d, nullptr);
    const std::vector<int> before = Reds(d);
    EXPECT_FALSE(DropTile(d, d, 1));
    EXPECT_EQ(Reds(d), before);

    // The animation's current frame dropped on the icon's bar: a copy at its sorted place.
    EXPECT_TRUE(DropTile(a, d, 0));
    EXPECT_EQ(d->Document()->Count(), 3);
    EXPECT_EQ(d->SideBar()->Count(), 3);
    EXPECT_EQ(a->Document()->Count(), 4);
    // The same format again is refused with the message.
    shown.clear();
    EXPECT_TRUE(DropTile(a, d, 0));
    EXPECT_EQ(d->Document()->Count(), 3);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "There is already an image with this format in the icon!");
}

TEST_F(SideBarTest, EditsRefreshTheCurrentTileOnly) {
    TmyIcon icon;
    icon.AddImage({32, 32}, 32);
    icon.AddImage({16, 16}, 32);
    TfrmDesk* d = openDocument(icon, "edit.ico");
    ASSERT_NE(d, nullptr);
    TThumbail* bar = d->SideBar();
    const qint64 other = bar->Item(1).Bitmap.cacheKey();
    const QRgb was = bar->Item(0).Bitmap.pixel(0, 0);
    d->CurrentImage()->At(0, 0) = TmyPixel{0, 0, 255, 255};
    d->ImageChanged();
    EXPECT_NE(bar->Item(0).Bitmap.pixel(0, 0), was);
    EXPECT_EQ(bar->Item(0).Bitmap.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(bar->Item(1).Bitmap.cacheKey(), other);
}

TEST_F(SideBarTest, ASelectionFloatingOverTheImageShowsInItsTile) {
    // The program's own floating selection, not the fixture's stand-in.
    main->SetSelection(&main->Tools().SelectionControl());
    TmyIcon icon;
    TmyImagePal& img = icon.Image(icon.AddImage({32, 32}, 32));
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            img.At(x, y) = TmyPixel{static_cast<std::uint8_t>(x * 8), static_cast<std::uint8_t>(y * 8), 90, 255};
    TfrmDesk* d = openDocument(icon, "float.ico");
    ASSERT_NE(d, nullptr);
    TThumbail* bar = d->SideBar();
    const QImage whole = bar->Item(0).Bitmap;
    // Select All lifts every pixel: the image below is clear, the tile is not.
    main->Action("actSelectAll")->trigger();
    ASSERT_FALSE(main->Selection().Empty());
    for (const TmyPixel& p : d->CurrentImage()->Pixels()) ASSERT_EQ(p.A, 0);
    EXPECT_EQ(bar->Item(0).Bitmap, whole);
    // The tile is drawn again (as after any edit) while the selection floats.
    d->ImageChanged();
    EXPECT_EQ(bar->Item(0).Bitmap, whole);
    // Dropped, the pixels are the image's again.
    main->Action("actDropSelection")->trigger();
    EXPECT_TRUE(main->Selection().Empty());
    d->ImageChanged();
    EXPECT_EQ(bar->Item(0).Bitmap, whole);
}
