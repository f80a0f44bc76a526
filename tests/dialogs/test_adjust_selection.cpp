// The adjustment dialogs on a floating selection: each previews and changes
// the selection's pixels, not the image under it, and takes no undo
// snapshot; a later resize of the selection starts from the changed pixels;
// a selection floating over another window is left alone; Dimension
// resamples the selection.
#include <QLineEdit>
#include <QRadioButton>

#include "AdjustTestSupport.h"
#include "dialogs/FormAdjust.h"
#include "dialogs/FormFadeout.h"
#include "dialogs/FormFilter.h"
#include "dialogs/FormRotate.h"
#include "dialogs/FormShadow.h"
#include "dialogs/SliderComposite.h"

namespace velto::test {
namespace {

class SelectionAdjustTest : public AdjustTest {
protected:
    TSelectionAccess& selection() const { return main->Selection(); }
    // A 16 x 8 block of the active window's image floating, the image kept.
    void lift() {
        selection().Lift(4, 4, 19, 11, true);
        ASSERT_FALSE(selection().Empty());
        ASSERT_NE(selection().Image(), nullptr);
        ASSERT_EQ(selection().Image()->Size(), (ImageSize{16, 8}));
    }
};

struct DialogRow {
    const char* action;
    const char* form;
    std::function<void(QDialog&)> set;  // a change that alters the pixels
};

const DialogRow kDialogs[] = {
    {"actnBrightness", "frmBrightness", [](QDialog& d) { static_cast<TSliderAdjustDialog&>(d).TrackBar(1)->SetPosition(45); }},
    {"ActnHue", "frmHue", [](QDialog& d) { static_cast<TSliderAdjustDialog&>(d).TrackBar(1)->SetPosition(120); }},
    {"actnColor", "frmColorBalance", [](QDialog& d) { static_cast<TSliderAdjustDialog&>(d).TrackBar(3)->SetPosition(-70); }},
    {"actOpacity", "frmOpacity", [](QDialog& d) { static_cast<TSliderAdjustDialog&>(d).TrackBar(1)->SetPosition(-60); }},
    {"actCustom", "frmFilter", [](QDialog& d) {
         static_cast<TfrmFilter&>(d).SampleChange(2);
         static_cast<TfrmFilter&>(d).TestButton()->click();  // a preset alone does not preview
     }},
    {"actFadeout", "frmFadeout", [](QDialog& d) { static_cast<TfrmFadeout&>(d).EndBar()->SetPosition(0); }},
    {"actAdvancedShadow", "frmShadow", [](QDialog& d) { static_cast<TfrmShadow&>(d).SizeBar()->SetPosition(3); }},
    {"actRotateFree", "frmRotate", [](QDialog& d) { static_cast<TfrmRotate&>(d).AngleEdit()->setText("45"); }},
};

TEST_F(SelectionAdjustTest, DialogsChangeTheSelectionOnly) {
    TfrmDesk* desk = openImage(32, {32, 32});
    ASSERT_NE(desk, nullptr);
    for (const DialogRow& r : kDialogs) {
        SCOPED_TRACE(r.form);
        lift();
        const TmyImagePal image = *desk->CurrentImage();
        const TmyImagePal pixels = *selection().Image();
        const bool couldUndo = desk->CanUndo();
        auto* dlg = form<TAdjustDialog>(r.form);
        const int result = whileModal(r.action, [&](QDialog& d) {
            EXPECT_TRUE(dlg->TargetIsSelection());
            EXPECT_EQ(dlg->TargetImage(), selection().Image());
            EXPECT_EQ(dlg->PreviewImage().Size(), (ImageSize{16, 8}));
            r.set(d);
            EXPECT_FALSE(dlg->PreviewImage().Equals(pixels)) << "the preview shows the change";
            EXPECT_TRUE(selection().Image()->Equals(pixels)) << "the preview changes nothing";
            dlg->OKButton()->click();
        });
        EXPECT_EQ(result, int(QDialog::Accepted));
        ASSERT_FALSE(selection().Empty());
        const TmyImagePal changed = *selection().Image();
        EXPECT_FALSE(changed.Equals(pixels));
        EXPECT_TRUE(desk->CurrentImage()->Equals(image)) << "the image under the selection stays";
        EXPECT_EQ(desk->CanUndo(), couldUndo) << "no snapshot for the selection";
        // Resizes start again from the changed pixels.
        selection().Resize(32, 16);
        selection().Resize(16, 8);
        EXPECT_TRUE(selection().Image()->Equals(changed));
        selection().Clear();
    }
    EXPECT_EQ(main->LastEffect(), main->Action("actCustom")) << "the filter's OK on a selection";
}

TEST_F(SelectionAdjustTest, ASelectionOverAnotherWindowIsLeftAlone) {
    TfrmDesk* first = openImage(32, {32, 32}, "first.ico");
    ASSERT_NE(first, nullptr);
    lift();
    const TmyImagePal pixels = *selection().Image();
    TfrmDesk* second = openImage(32, {24, 24}, "second.ico");
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(active(), second);
    const TmyImagePal image = *second->CurrentImage();
    auto* dlg = form<TfrmBrightness>("frmBrightness");
    whileModal("actnBrightness", [&](QDialog&) {
        EXPECT_FALSE(dlg->TargetIsSelection());
        EXPECT_EQ(dlg->TargetImage(), second->CurrentImage());
        dlg->TrackBar(1)->SetPosition(30);
        dlg->OKButton()->click();
    });
    EXPECT_FALSE(second->CurrentImage()->Equals(image));
    EXPECT_TRUE(second->CanUndo());
    if (selection().Image()) {
        EXPECT_TRUE(selection().Image()->Equals(pixels));
    }
}

TEST_F(SelectionAdjustTest, DimensionResamplesTheSelection) {
    TfrmDesk* desk = openImage(32, {32, 32});
    ASSERT_NE(desk, nullptr);
    lift();
    const TmyImagePal image = *desk->CurrentImage();
    auto* d = form<TfrmDimension>("frmDimension");
    d->SizeButton(1)->click();  // 24 x 24
    const int result = whileModal("actnDim", [&](QDialog&) { d->OKButton()->click(); });
    EXPECT_EQ(result, int(QDialog::Accepted));
    ASSERT_NE(selection().Image(), nullptr);
    EXPECT_EQ(selection().Image()->Size(), (ImageSize{24, 24}));
    EXPECT_EQ(selection().StoredWidth(), 16) << "resampled from its stored pixels";
    EXPECT_TRUE(desk->CurrentImage()->Equals(image));
    d->SizeButton(3)->click();
}

}  // namespace
}  // namespace velto::test
