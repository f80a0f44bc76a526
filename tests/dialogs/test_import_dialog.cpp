// The advanced import window: the picture fitted on showing, the selection
// kinds and the mouse on the frame and its handles, resize or crop into the
// target, keying one colour out, and picking it from the picture.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include "DialogsTestSupport.h"
#include "dialogs/FormImport.h"

namespace velto::test {
namespace {

class ImportDialogTest : public PaneTest {
protected:
    // A picture of w x h whose pixel (x, y) is (x, y, 7, 255).
    static TmyImage Ramp(int w, int h) {
        TmyImage p({w, h});
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) p.At(x, y) = Px(x & 255, y & 255, 7, 255);
        return p;
    }
    void Show(const TmyImage& picture, ImageSize target) {
        dlg.SetSource(picture);
        dlg.SetTargetSize(target);
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    }
    template <class T>
    T* Child(const char* name) {
        return dlg.findChild<T*>(QString::fromLatin1(name));
    }
    TfrmImport dlg;
};

TEST_F(ImportDialogTest, ShowingFitsTheWholePictureAndSelectsIt) {
    Show(Ramp(300, 200), {32, 32});
    const QWidget* centre = Child<QWidget>("pnlCenter");
    EXPECT_EQ(dlg.Zoom(), ImportFitZoom({300, 200}, {centre->width(), centre->height()}));
    EXPECT_EQ(dlg.Selection(), (TImportRect{0, 0, 300, 200}));
    EXPECT_TRUE(Child<QRadioButton>("rbCustom")->isChecked());
    EXPECT_FALSE(Child<QComboBox>("cmbSize")->isEnabled());
    // The frame lies where the view puts the selection; the handles on its corners.
    const TViewRect f = dlg.View().FrameOf(dlg.Selection());
    EXPECT_EQ(dlg.Frame()->geometry(), QRect(f.X, f.Y, f.Width, f.Height));
    EXPECT_EQ(dlg.Handle(TImportGrip::TopLeft)->geometry().center(), QPoint(f.X, f.Y));
    EXPECT_TRUE(dlg.Handle(TImportGrip::Right)->isVisible());
    EXPECT_EQ(dlg.SizeLabel()->text(), "(0,0)-(300,200) W:300 H:200");
    // The preview keeps the proportions: 32 x 21 centred in 32 x 32.
    EXPECT_EQ(dlg.Result().Size(), (ImageSize{32, 32}));
    EXPECT_EQ(dlg.Result().At(0, 4).A, 0);
    EXPECT_EQ(dlg.Result().At(0, 6).A, 255);
    EXPECT_EQ(dlg.Result().At(0, 26).A, 0);
}

TEST_F(ImportDialogTest, ZoomButtonsWalkTheLadderAndScrollBarsFollow) {
    Show(Ramp(300, 200), {32, 32});
    dlg.SetZoom(1);
    Child<QToolButton>("btnZoomOut")->click();
    EXPECT_EQ(dlg.Zoom(), -2);
    EXPECT_EQ(dlg.ReducedSource().Size(), (ImageSize{150, 100}));
    Child<QToolButton>("btnZoomIn")->click();
    EXPECT_EQ(dlg.Zoom(), 1);
    Child<QToolButton>("btnZoomIn")->click();
    Child<QToolButton>("btnZoomIn")->click();
    EXPECT_EQ(dlg.Zoom(), 3);
    // 900 x 600 on screen: both bars, their maxima the overhang.
    ASSERT_TRUE(dlg.HorizontalBar()->isVisible());
    ASSERT_TRUE(dlg.VerticalBar()->isVisible());
    EXPECT_EQ(dlg.HorizontalBar()->maximum(), 900 - dlg.ViewSize().Width);
    EXPECT_EQ(dlg.VerticalBar()->maximum(), 600 - dlg.ViewSize().Height);
    dlg.HorizontalBar()->setValue(30);
    EXPECT_EQ(dlg.Frame()->x(), -30);
    Child<QToolButton>("btnOriginal")->click();
    EXPECT_EQ(dlg.Zoom(), 1);
    Child<QToolButton>("btnFit")->click();
    EXPECT_FALSE(dlg.HorizontalBar()->isVisible());
}

TEST_F(ImportDialogTest, FixedSizesAreLimitedToThePictureAndHaveNoHandles) {
    Show(Ramp(100, 80), {16, 16});
    Child<QRadioButton>("rbFixed")->click();
    EXPECT_TRUE(Child<QComboBox>("cmbSize")->isEnabled());
    EXPECT_EQ(dlg.Selection(), (TImportRect{0, 0, 16, 16}));
    EXPECT_FALSE(dlg.Handle(TImportGrip::Left)->isVisible());
    Child<QComboBox>("cmbSize")->setCurrentText("256 x 256");
    EXPECT_EQ(dlg.Selection(), (TImportRect{0, 0, 100, 80}));
    Child<QComboBox>("cmbSize")->setCurrentText("32 x 32");
    // A fixed frame moves; its handles are not there to resize it.
    dlg.SetZoom(1);
    dlg.GripPressed(TImportGrip::Frame, {0, 0}, Qt::NoModifier);
    dlg.GripMoved({10, 5});
    dlg.GripReleased();
    EXPECT_EQ(dlg.Selection(), (TImportRect{10, 5, 42, 37}));
    dlg.GripPressed(TImportGrip::Right, {0, 0}, Qt::NoModifier);
    dlg.GripMoved({10, 0});
    EXPECT_EQ(dlg.Selection().Width(), 32);
    // Showing again starts from the whole picture.
    dlg.hide();
    dlg.show();
    EXPECT_TRUE(Child<QRadioButton>("rbCustom")->isChecked());
    EXPECT_EQ(dlg.Selection(), (TImportRect{0, 0, 100, 80}));
}

TEST_F(ImportDialogTest, HandlesDraggedWithTheMouseResizeInWholePixels) {
    Show(Ramp(100, 80), {16, 16});
    dlg.SetZoom(2);
    // The left handle dragged far right stops one pixel short of the right edge.
    TImportHandle* left = dlg.Handle(TImportGrip::Left);
    QTest::mousePress(left, Qt::LeftButton, {}, {4, 4});
    QTest::mouseMove(left, {4 + 1000, 4});
    QTest::mouseRelease(left, Qt::LeftButton, {}, {4 + 1000, 4});
    EXPECT_EQ(dlg.Selection(), (TImportRect{99, 0, 100, 80}));
    // At zoom 2 an odd screen pixel waits for the next one.
    dlg.SetSelection({10, 10, 50, 50});
    dlg.GripPressed(TImportGrip::BottomRight, {0, 0}, Qt::NoModifier);
    dlg.GripMoved({3, 3});
    EXPECT_EQ(dlg.Selection(), (TImportRect{10, 10, 51, 51}));
    dlg.GripMoved({4, 4});
    EXPECT_EQ(dlg.Selection(), (TImportRect{10, 10, 52, 52}));
    dlg.GripReleased();
    // The released selection is what the preview shows: 42 x 42 resized into
    // 16 x 16, its corner averaged from the selection's corner pixels.
    EXPECT_NEAR(dlg.Result().At(0, 0).R, 11, 1);
    EXPECT_NEAR(dlg.Result().At(15, 15).R, 50, 1);
}

TEST_F(ImportDialogTest, CropCentresASmallSelectionAndKeepsTheTopLeftOfALargeOne) {
    Show(Ramp(100, 80), {16, 16});
    Child<QRadioButton>("rbCrop")->click();
    EXPECT_EQ(dlg.Result().At(0, 0), Px(0, 0, 7, 255));
    EXPECT_EQ(dlg.Result().At(15, 15), Px(15, 15, 7, 255));
    dlg.SetSelection({20, 30, 30, 36});  // 10 x 6 fits: centred, the rest transparent
    dlg.UpdatePreview();
    EXPECT_EQ(dlg.Result().At(3, 5), Px(20, 30, 7, 255));
    EXPECT_EQ(dlg.Result().At(2, 5).A, 0);
    EXPECT_EQ(dlg.Result().At(3, 4).A, 0);
}

TEST_F(ImportDialogTest, KeyingTakesOnlyTheExactColour) {
    TmyImage p({4, 2});
    for (auto& px : p.Pixels()) px = Px(255, 255, 255, 255);
    p.At(1, 0) = Px(254, 255, 255, 255);
    p.At(2, 0) = Px(10, 20, 30, 255);
    Show(p, {8, 8});
    const auto at = [&](int x, int y) { return dlg.Result().At(x + 2, y + 3); };  // 4 x 2 centred in 8 x 8
    EXPECT_EQ(at(0, 0).A, 255);
    Child<QRadioButton>("rbLeftBottom")->click();
    EXPECT_EQ(dlg.TransparentColor(), MakeColor(255, 255, 255));
    EXPECT_EQ(at(0, 0), Px(0, 0, 0, 0));
    EXPECT_EQ(at(3, 1), Px(0, 0, 0, 0));
    EXPECT_EQ(at(1, 0), Px(254, 255, 255, 255));
    // A custom colour: the swatch's, which the bottom-left pixel filled, until
    // another is chosen.
    Child<QRadioButton>("rbCustomColor")->click();
    QPushButton* swatch = Child<QPushButton>("pnlColor");
    EXPECT_TRUE(swatch->isEnabled());
    EXPECT_EQ(at(0, 0), Px(0, 0, 0, 0));
    colors.push_back(QColor(10, 20, 30));
    swatch->click();
    EXPECT_EQ(swatch->text(), "");
    EXPECT_EQ(at(2, 0), Px(0, 0, 0, 0));
    EXPECT_EQ(at(0, 0).A, 255);
    Child<QRadioButton>("rbOriginal")->click();
    EXPECT_FALSE(swatch->isEnabled());
    EXPECT_EQ(at(2, 0), Px(10, 20, 30, 255));
}

// The choice stays for the next picture, and its colour is taken from it.
TEST_F(ImportDialogTest, LeftBottomPixelIsTakenFromEachPictureShown) {
    TmyImage white({4, 2});
    for (auto& px : white.Pixels()) px = Px(255, 255, 255, 255);
    Show(white, {8, 8});
    Child<QRadioButton>("rbLeftBottom")->click();
    EXPECT_EQ(dlg.Result().At(2, 3).A, 0);
    dlg.hide();

    TmyImage red = white;
    for (auto& px : red.Pixels()) px = Px(200, 0, 0, 255);
    red.At(1, 0) = Px(255, 255, 255, 255);
    Show(red, {8, 8});
    EXPECT_TRUE(Child<QRadioButton>("rbLeftBottom")->isChecked());
    EXPECT_EQ(dlg.TransparentColor(), MakeColor(200, 0, 0));
    EXPECT_EQ(dlg.Result().At(2, 3), Px(0, 0, 0, 0));
    EXPECT_EQ(dlg.Result().At(3, 3), Px(255, 255, 255, 255)) << "the last picture's colour is not keyed out";
}

TEST_F(ImportDialogTest, PickingTakesTheColourUnderTheCursorButNotATransparentOne) {
    TmyImage p({20, 20});
    for (auto& px : p.Pixels()) px = Px(1, 2, 3, 255);
    p.At(5, 6) = Px(200, 100, 50, 255);
    p.At(7, 7) = Px(9, 9, 9, 0);
    Show(p, {16, 16});
    Child<QRadioButton>("rbCustomColor")->click();
    dlg.SetZoom(4);
    dlg.StartPicking();
    EXPECT_FALSE(dlg.Frame()->isVisible());
    const TImportView& v = dlg.View();
    auto viewOf = [&](int x, int y) { return QPoint(v.OffsetX - v.ScrollX + x * 4 + 1, v.OffsetY - v.ScrollY + y * 4 + 2); };
    dlg.CanvasMoved(viewOf(7, 7));
    EXPECT_EQ(Child<QPushButton>("pnlColor")->text(), "X");
    dlg.CanvasMoved(viewOf(5, 6));
    EXPECT_EQ(dlg.TransparentColor(), MakeColor(200, 100, 50));
    EXPECT_EQ(dlg.SizeLabel()->text(), "R:200 G:100 B:50");
    dlg.CanvasReleased();
    EXPECT_FALSE(dlg.Picking());
    EXPECT_TRUE(dlg.Frame()->isVisible());
    EXPECT_EQ(dlg.SizeLabel()->text(), "(0,0)-(20,20) W:20 H:20");
}

TEST_F(ImportDialogTest, CtrlDragPansInsteadOfMovingTheSelection) {
    Show(Ramp(300, 200), {16, 16});
    dlg.SetZoom(4);
    const int h = dlg.HorizontalBar()->value(), v = dlg.VerticalBar()->value();
    dlg.GripPressed(TImportGrip::Frame, {100, 100}, Qt::ControlModifier);
    // Panning lasts only while Ctrl is held; the test cannot hold it, so the
    // first move ends it without scrolling or moving the selection.
    dlg.GripMoved({90, 95});
    dlg.GripReleased();
    EXPECT_EQ(dlg.Selection(), (TImportRect{0, 0, 300, 200}));
    EXPECT_EQ(dlg.HorizontalBar()->value(), h);
    EXPECT_EQ(dlg.VerticalBar()->value(), v);
}

}  // namespace
}  // namespace velto::test
