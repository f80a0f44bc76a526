// The colour adjustment dialogs in the program: opened by their commands on
// real documents, the preview of each slider, the roads of OK (current frame
// with undo, every frame of an animated cursor after the question, declined),
// the palette step of indexed images, the hue strips, and their texts.
#include <QApplication>
#include <QLabel>

#include <set>

#include "AdjustTestSupport.h"
#include "dialogs/FormAdjust.h"
#include "dialogs/FormFadeout.h"
#include "dialogs/FormFilter.h"
#include "dialogs/FormRotate.h"
#include "dialogs/FormShadow.h"
#include "dialogs/ImageView.h"
#include "dialogs/NumberBox.h"
#include "dialogs/PreviewFrame.h"
#include "dialogs/SliderComposite.h"
#include "engine/Adjust.h"
#include "engine/Composite.h"
#include "shell/CanvasRender.h"

namespace velto::test {
namespace {

bool SameImage(const TmyImagePal& a, const TmyImagePal& b) { return a.Equals(b) && a.BitCount == b.BitCount; }

struct FormRow {
    const char* name;
    const char* caption;
    const char* header;
    const char* help;
};
const FormRow kForms[] = {
    {"frmBrightness", "Brightness/Contrast", "Brightness/Contrast", "Adjust brightness and contrast"},
    {"frmHue", "Hue/Saturation", "Hue/Saturation", "Adjust hue, saturation and brightness"},
    {"frmColorBalance", "Color Balance", "Color Balance", "Change the color balance"},
    {"frmOpacity", "Opacity", "Opacity", "Increase / decrease the opacity of the image."},
    {"frmFilter", "Custom Filter", "Custom Filer", "Create custom filter"},
    {"frmFadeout", "Fadeout", "Fadeout", "Fadeout your image"},
    {"frmShadow", "Shadow", "Shadow", "Add shadow to your image"},
    {"frmRotate", "Free Rotate", "Rotate", "Rotate the current image"},
    {"frmDimension", "Dimension", "Dimension", "Change image dimension"},
};

TEST_F(AdjustTest, EveryDialogIsBuiltWithItsTexts) {
    for (const FormRow& r : kForms) {
        SCOPED_TRACE(r.name);
        auto* d = form<TAdjustDialog>(r.name);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->windowTitle(), r.caption);
        EXPECT_EQ(d->findChild<QLabel*>("lblCaption")->text(), r.header);
        EXPECT_EQ(d->findChild<QLabel*>("lblHelp")->text(), r.help);
        EXPECT_EQ(d->OKButton()->text(), "OK");
        EXPECT_EQ(d->CancelButton()->text(), "Cancel");
        EXPECT_TRUE(d->ProgressBar()->isHidden());
        EXPECT_EQ(d->Preview() == nullptr, QString(r.name) == "frmDimension") << "every dialog but one previews";
    }
}

TEST_F(AdjustTest, EveryTextIsInTheEnglishLanguageFile) {
    std::set<QString> sections;
    for (const FormRow& r : kForms) sections.insert(r.name);
    EXPECT_GT(ExpectEnglishTexts(main->Forms().All(), sections), 120);
}

// The roads of OK, through the Brightness/Contrast command.
TEST_F(AdjustTest, OkChangesTheCurrentFrameOrEveryFrameAfterTheQuestion) {
    struct Row {
        const char* name;
        int frames;       // 0: an icon of one image
        bool everyFrame;  // the "EffectOnAllImages" setting
        int answer;       // to the no-undo question
        bool closes, allChange, undo;
    };
    const Row rows[] = {
        {"icon", 0, false, idYes, true, false, true},
        {"icon, setting on: still the current image", 0, true, idYes, true, false, true},
        {"animation, setting off", 5, false, idYes, true, false, true},
        {"animation, setting on", 5, true, idYes, true, true, false},
        {"animation, question declined", 5, true, idNo, false, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Options().EffectOnAllImages = r.everyFrame;
        TfrmDesk* desk = r.frames ? openAnimation(r.frames) : openImage(32);
        ASSERT_NE(desk, nullptr);
        const std::vector<TmyImagePal> before = frames();
        const int current = desk->ItemIndex();
        messages.clear();
        answers = {r.answer};
        auto* dlg = form<TfrmBrightness>("frmBrightness");
        const int result = whileModal("actnBrightness", [&](QDialog&) {
            EXPECT_EQ(dlg->TargetImage(), desk->CurrentImage());
            dlg->TrackBar(1)->SetPosition(40);
            dlg->TrackBar(2)->SetPosition(-20);
            dlg->OKButton()->click();
            if (r.closes && r.allChange) {
                EXPECT_EQ(dlg->ProgressBar()->minimum(), 0);
                EXPECT_EQ(dlg->ProgressBar()->maximum(), r.frames);
                EXPECT_EQ(dlg->ProgressBar()->value(), r.frames);
                EXPECT_TRUE(dlg->ProgressBar()->isVisibleTo(dlg));
            }
        });
        EXPECT_EQ(result, r.closes ? int(QDialog::Accepted) : -1);
        const std::vector<TmyImagePal> after = frames();
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t i = 0; i < after.size(); ++i) {
            const bool changes = r.closes && (r.allChange || int(i) == current);
            EXPECT_EQ(!SameImage(after[i], before[i]), changes) << "frame " << i;
        }
        const bool asked = r.frames && r.everyFrame;
        EXPECT_EQ(messages.size(), asked ? 1u : 0u);
        if (asked) {
            EXPECT_EQ(messages[0], "This action cannot be undone! Continue?");
        }
        EXPECT_EQ(desk->CanUndo(), r.undo);
        EXPECT_EQ(desk->Saved(), !r.closes) << "a declined change leaves the document unmodified";
        EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy cursor ends";
        if (r.undo) {
            main->Action("actnUndo")->trigger();
            EXPECT_TRUE(SameImage(*desk->CurrentImage(), before[std::size_t(current)])) << "Undo brings it back";
        }
        closeDesk(desk);
    }
}

// Each slider previews its routine on a copy; back at 0 the copy is the
// image again; the document changes only on OK; opening resets the sliders.
TEST_F(AdjustTest, SlidersPreviewOnACopy) {
    struct Row {
        const char* action;
        const char* form;
        int slider, value;
    };
    const Row rows[] = {
        {"actnBrightness", "frmBrightness", 1, 50},   {"actnBrightness", "frmBrightness", 2, -60},
        {"ActnHue", "frmHue", 1, 90},                 {"ActnHue", "frmHue", 2, -100},
        {"ActnHue", "frmHue", 3, 30},                 {"actnColor", "frmColorBalance", 1, 70},
        {"actnColor", "frmColorBalance", 2, -40},     {"actnColor", "frmColorBalance", 3, 25},
        {"actOpacity", "frmOpacity", 1, -50},
    };
    TfrmDesk* desk = openImage(32, {40, 24});
    ASSERT_NE(desk, nullptr);
    const TmyImagePal original = *desk->CurrentImage();
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.form) + " slider " + std::to_string(r.slider));
        auto* dlg = form<TSliderAdjustDialog>(r.form);
        const int result = whileModal(r.action, [&](QDialog&) {
            for (int i = 1; dlg->TrackBar(i); ++i) EXPECT_EQ(dlg->TrackBar(i)->Position(), 0) << "reset on opening";
            EXPECT_TRUE(SameImage(dlg->PreviewImage(), original));
            dlg->TrackBar(r.slider)->SetPosition(r.value);
            EXPECT_FALSE(SameImage(dlg->PreviewImage(), original));
            EXPECT_EQ(dlg->Preview()->Image1()->Picture(), RenderImage(dlg->PreviewImage(), Options().PrevColor))
                << "the preview shows the copy over the background colour";
            EXPECT_EQ(dlg->Preview()->Image1()->size(), QSize(40, 24));
            EXPECT_TRUE(SameImage(*desk->CurrentImage(), original)) << "the preview never changes the document";
            dlg->TrackBar(r.slider)->NumberBox()->setText("0");
            EXPECT_TRUE(SameImage(dlg->PreviewImage(), original)) << "each preview starts from a fresh copy";
            dlg->TrackBar(r.slider)->SetPosition(r.value);
            dlg->CancelButton()->click();
        });
        EXPECT_EQ(result, int(QDialog::Rejected));
        EXPECT_TRUE(SameImage(*desk->CurrentImage(), original));
        EXPECT_TRUE(desk->Saved());
        EXPECT_FALSE(desk->CanUndo());
    }
}

TEST_F(AdjustTest, HueStripsSlideByTheHue) {
    const std::pair<int, int> lefts[] = {{0, -152}, {180, -304}, {-180, 0}, {90, -228}, {-45, -114}, {15, -165}};
    for (auto [hue, left] : lefts) EXPECT_EQ(TfrmHue::StripLeft(hue), left) << hue;
    ASSERT_NE(openImage(32), nullptr);
    auto* dlg = form<TfrmHue>("frmHue");
    whileModal("ActnHue", [&](QDialog&) {
        EXPECT_EQ(dlg->Image2()->size(), QSize(610, 9));
        EXPECT_EQ(dlg->Image2()->parentWidget()->size(), QSize(305, 9));
        dlg->TrackBar(1)->SetPosition(180);
        EXPECT_EQ(dlg->Image3()->x(), -304);
        EXPECT_EQ(dlg->Image2()->x(), -152) << "the upper strip stays";
        dlg->TrackBar(1)->SetPosition(-180);
        EXPECT_EQ(dlg->Image3()->x(), 0);
        // Over the same place the lower strip shows the upper one's hue turned.
        dlg->TrackBar(1)->SetPosition(60);
        auto hueAt = [](const ImageView* v, int x) {
            const QRgb c = v->Picture().pixel(x - v->x(), 4);
            return RGBToHSV(float(qRed(c)), float(qGreen(c)), float(qBlue(c))).H;
        };
        for (int x : {20, 100, 290}) EXPECT_NEAR((hueAt(dlg->Image3(), x) - hueAt(dlg->Image2(), x) + 360) % 360, 60, 2) << x;
    });
}

TEST_F(AdjustTest, OpacityLeavesImagesBelow32BitsAlone) {
    TfrmDesk* desk = openImage(8);
    ASSERT_NE(desk, nullptr);
    const TmyImagePal original = *desk->CurrentImage();
    auto* dlg = form<TfrmOpacity>("frmOpacity");
    whileModal("actOpacity", [&](QDialog&) {
        dlg->TrackBar(1)->SetPosition(-80);
        EXPECT_TRUE(SameImage(dlg->PreviewImage(), original));
        dlg->OKButton()->click();
    });
    EXPECT_TRUE(SameImage(*desk->CurrentImage(), original));
}

// Below 24 bits the colour dialogs run the palette rule: the question is
// put once for the whole command, and every frame keeps to its palette.
TEST_F(AdjustTest, IndexedFramesFollowThePaletteRuleAskedOnce) {
    struct Row {
        const char* name;
        TPaletteChoice choice;
    };
    for (const Row& r : {Row{"keep the palette", TPaletteChoice::Keep}, Row{"change the palette", TPaletteChoice::Change}}) {
        SCOPED_TRACE(r.name);
        Options().PaletteAction = 2;
        Options().EffectOnAllImages = true;
        paletteChoice = r.choice;
        paletteQuestions = 0;
        TfrmDesk* desk = openAnimation(4, 8, {16, 16});
        ASSERT_NE(desk, nullptr);
        const TmyPalette palette = *desk->CurrentImage()->Palette;
        answers = {idYes};
        auto* dlg = form<TfrmColorBalance>("frmColorBalance");
        whileModal("actnColor", [&](QDialog&) {
            dlg->TrackBar(1)->SetPosition(60);
            EXPECT_EQ(paletteQuestions, 0) << "the preview asks nothing";
            dlg->OKButton()->click();
        });
        EXPECT_EQ(paletteQuestions, 1);
        for (int i = 0; i < desk->ImageCount(); ++i) {
            const TmyImagePal& img = desk->Document()->Image(i);
            EXPECT_TRUE(OnPalette(img)) << "frame " << i;
            EXPECT_EQ(img.Palette->Equals(palette), r.choice == TPaletteChoice::Keep) << "frame " << i;
        }
        closeDesk(desk);
    }
}

}  // namespace
}  // namespace velto::test
