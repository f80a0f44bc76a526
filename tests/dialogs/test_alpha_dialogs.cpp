// The Fadeout and Shadow dialogs in the program: their controls and the
// values they keep between openings, the swatches, the preview following
// every control, OK on real documents (the ramp of an 8-bit image, the
// shadow of an indexed image kept on its palette).
#include <QToolButton>

#include "AdjustTestSupport.h"
#include "dialogs/ColorBox.h"
#include "dialogs/FormFadeout.h"
#include "dialogs/FormShadow.h"
#include "dialogs/ImageView.h"
#include "dialogs/Scroll2D.h"
#include "dialogs/SliderComposite.h"
#include "engine/AlphaEffects.h"
#include "engine/Composite.h"
#include "shell/CanvasRender.h"

namespace velto::test {
namespace {

TEST_F(AdjustTest, FadeoutSwatchesShowBlackOverTheCheckerboard) {
    struct Row {
        int percent;
        int k;  // weight of the checkerboard, 255 - percent as a byte
    };
    const Row rows[] = {{0, 255}, {100, 0}, {50, 127}, {30, 179}};
    const TCheckerboard board = CheckerboardFromOptions();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.percent);
        QImage swatch(31, 23, QImage::Format_RGB32);
        TfrmFadeout::PaintSwatch(swatch, r.percent);
        for (QPoint p : {QPoint(0, 0), QPoint(5, 2), QPoint(30, 22)}) {
            const TColor c = CheckerColor(p.x(), p.y(), board);
            const auto k = std::uint8_t(r.k);
            EXPECT_EQ(QColor(swatch.pixel(p)),
                      QColor(BlendChannel(ColorR(c), 0, k), BlendChannel(ColorG(c), 0, k), BlendChannel(ColorB(c), 0, k)));
        }
        if (r.percent == 0) {
            EXPECT_EQ(QColor(swatch.pixel(0, 0)), QColor::fromRgb(QRgbOf(CheckerColor(0, 0, board))));
        }
        if (r.percent == 100) {
            EXPECT_EQ(QColor(swatch.pixel(3, 9)), QColor(0, 0, 0));
        }
    }
}

TEST_F(AdjustTest, FadeoutRampsTheDocumentAndKeepsItsValues) {
    // An 8-bit icon of 5 x 2 opaque pixels, faded 100 to 0 left to right.
    TmyIcon doc;
    TmyImagePal& img = doc.Image(doc.AddImage({5, 2}, 8));
    for (TmyPixel& p : img.Pixels()) p = (*img.Palette)[40];
    TfrmDesk* desk = open(doc, "five.ico");
    ASSERT_NE(desk, nullptr);
    auto* dlg = form<TfrmFadeout>("frmFadeout");
    EXPECT_EQ(dlg->StartBar()->Position(), 100);
    EXPECT_EQ(dlg->EndBar()->Position(), 0);
    EXPECT_EQ(dlg->Direction(), TFadeDirection::Horizontal);
    EXPECT_TRUE(dlg->HorizButton()->isChecked());
    EXPECT_EQ(dlg->StartSwatch()->size(), QSize(30, 23));
    EXPECT_EQ(dlg->EndSwatch()->size(), QSize(31, 23));
    const int result = whileModal("actFadeout", [&](QDialog&) {
        EXPECT_EQ(dlg->PreviewImage().At(4, 0).A, 0) << "the preview fades on opening";
        // The vertical ramp: both rows at their own percent.
        dlg->VertButton()->click();
        EXPECT_EQ(dlg->Direction(), TFadeDirection::Vertical);
        EXPECT_EQ(dlg->PreviewImage().At(4, 0).A, 255);
        EXPECT_EQ(dlg->PreviewImage().At(0, 1).A, 0);
        dlg->HorizButton()->click();
        dlg->EndBar()->SetPosition(40);
        EXPECT_EQ(QColor(dlg->EndSwatch()->Picture().pixel(1, 1)), [] {
            QImage s(31, 23, QImage::Format_RGB32);
            TfrmFadeout::PaintSwatch(s, 40);
            return QColor(s.pixel(1, 1));
        }());
        dlg->EndBar()->SetPosition(0);
        dlg->OKButton()->click();
    });
    EXPECT_EQ(result, int(QDialog::Accepted));
    for (int y = 0; y < 2; ++y) {
        const int expected[] = {255, 255, 255, 0, 0};
        for (int x = 0; x < 5; ++x) EXPECT_EQ(desk->CurrentImage()->At(x, y).A, expected[x]) << x << "," << y;
    }
    EXPECT_EQ(desk->CurrentImage()->At(4, 0), TmyPixel::Create());
    EXPECT_TRUE(desk->CanUndo());
    // Opening again keeps the sliders and the direction.
    dlg->StartBar()->SetPosition(70);
    dlg->VertButton()->click();
    whileModal("actFadeout", [&](QDialog&) {
        EXPECT_EQ(dlg->StartBar()->Position(), 70);
        EXPECT_EQ(dlg->Direction(), TFadeDirection::Vertical);
    });
    dlg->HorizButton()->click();
    dlg->StartBar()->SetPosition(100);
}

TEST_F(AdjustTest, ShadowControlsPreviewAndKeepTheirValues) {
    auto* dlg = form<TfrmShadow>("frmShadow");
    EXPECT_EQ(dlg->SizeBar()->Min(), 0);
    EXPECT_EQ(dlg->SizeBar()->Max(), 20);
    EXPECT_EQ(dlg->SizeBar()->Position(), 2);
    EXPECT_EQ(dlg->OpacityBar()->Min(), -100);
    EXPECT_EQ(dlg->OpacityBar()->Max(), 100);
    EXPECT_EQ(dlg->OpacityBar()->Position(), -30);
    EXPECT_EQ(dlg->ColorBox()->Selected(), clBlack);
    EXPECT_EQ(dlg->Position()->MinX(), -21);
    EXPECT_EQ(dlg->Position()->MaxX(), 20);
    EXPECT_EQ(dlg->Position()->MinY(), -10);
    EXPECT_EQ(dlg->Position()->MaxY(), 10);
    EXPECT_EQ(dlg->Position()->PositionX(), 1);
    EXPECT_EQ(dlg->Position()->PositionY(), 1);
    EXPECT_TRUE(dlg->Position()->ShowText());

    TfrmDesk* desk = openImage(32);
    ASSERT_NE(desk, nullptr);
    const TmyImagePal original = *desk->CurrentImage();
    // Each control recomputes the preview with the values of all four.
    struct Row {
        const char* name;
        std::function<void()> change;
    };
    const Row rows[] = {
        {"size", [&] { dlg->SizeBar()->SetPosition(5); }},
        {"opacity", [&] { dlg->OpacityBar()->SetPosition(20); }},
        {"position", [&] { dlg->Position()->SetPositionX(-7); }},
        {"colour", [&] {
             SetColorChooser([](const QColor&, QWidget*) { return std::optional<QColor>(QColor(200, 10, 30)); });
             dlg->ColorBox()->setCurrentIndex(0);
             emit dlg->ColorBox()->activated(0);
             SetColorChooser(nullptr);
         }},
    };
    whileModal("actAdvancedShadow", [&](QDialog&) {
        for (const Row& r : rows) {
            SCOPED_TRACE(r.name);
            r.change();
            TmyImagePal expected = original;
            MakeShadow(expected, dlg->ColorBox()->Selected(), std::uint8_t(dlg->SizeBar()->Position()),
                       dlg->Position()->PositionX(), dlg->Position()->PositionY(), dlg->OpacityBar()->Position());
            EXPECT_TRUE(dlg->PreviewImage().Equals(expected));
            EXPECT_TRUE(desk->CurrentImage()->Equals(original));
        }
        dlg->CancelButton()->click();
    });
    EXPECT_EQ(dlg->ColorBox()->Selected(), MakeColor(200, 10, 30));
    whileModal("actAdvancedShadow", [&](QDialog&) {
        EXPECT_EQ(dlg->SizeBar()->Position(), 5) << "kept from the last use";
        EXPECT_EQ(dlg->Position()->PositionX(), -7);
        EXPECT_EQ(dlg->ColorBox()->Selected(), MakeColor(200, 10, 30));
    });
    EXPECT_TRUE(desk->CurrentImage()->Equals(original));
}

TEST_F(AdjustTest, ShadowOnIndexedImagesKeepsToThePalette) {
    for (int bits : {8, 4, 1}) {
        SCOPED_TRACE(std::to_string(bits) + " bits");
        Options().PaletteAction = 1;
        paletteQuestions = 0;
        // An opaque block inside a transparent border, where the shadow shows.
        TmyIcon doc;
        TmyImagePal& img = doc.Image(doc.AddImage({32, 32}, bits));
        for (int y = 6; y < 20; ++y)
            for (int x = 6; x < 20; ++x) img.At(x, y) = Picture({32, 32}, bits).At(x, y);
        TfrmDesk* desk = open(doc, QString("s%1.ico").arg(bits));
        ASSERT_NE(desk, nullptr);
        const TmyPalette palette = *desk->CurrentImage()->Palette;
        const TmyImagePal original = *desk->CurrentImage();
        auto* dlg = form<TfrmShadow>("frmShadow");
        dlg->ColorBox()->SetSelected(MakeColor(0, 128, 128));
        const int result = whileModal("actAdvancedShadow", [&](QDialog&) { dlg->OKButton()->click(); });
        EXPECT_EQ(result, int(QDialog::Accepted));
        EXPECT_FALSE(desk->CurrentImage()->Equals(original));
        EXPECT_TRUE(OnPalette(*desk->CurrentImage()));
        EXPECT_TRUE(desk->CurrentImage()->Palette->Equals(palette)) << "kept, as the setting says";
        EXPECT_EQ(paletteQuestions, 0);
        closeDesk(desk);
    }
}

}  // namespace
}  // namespace velto::test
