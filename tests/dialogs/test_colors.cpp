// The colour panel: every way of picking the two drawing colours, the slider
// coupling in RGB and HSB, palette mode, palette files, the favourites file
// and the status read-out.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QPainter>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <memory>

#include "DialogsTestSupport.h"
#include "dialogs/EngineBridge.h"
#include "dialogs/FormColors.h"
#include "dialogs/ImageView.h"
#include "dialogs/MyScroll.h"
#include "dialogs/NumberBox.h"
#include "dialogs/SliderComposite.h"
#include "model/PaletteFile.h"

namespace velto::test {
namespace {

class ColorsTest : public PaneTest {
protected:
    void SetUp() override {
        PaneTest::SetUp();
        panel = std::make_unique<TfrmColors>(dir.path());
        panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
        ToolPaletteLink().ReplacePaletteColor = [this](const TmyPixel& o, const TmyPixel& n, int cell) {
            replaced.push_back({o, n, cell});
            return replaceChanges;
        };
        ToolPaletteLink().SetOpacityToolAvailable = [this](bool on) { opacityTool.push_back(on); };
    }
    void TearDown() override {
        panel.reset();
        PaneTest::TearDown();
    }
    TmyPixel& fore() { return panel->ForeColor(); }
    TmyPixel& back() { return panel->BackColor(); }
    // The three RGB slider positions and the opacity.
    std::array<int, 4> rgba() const {
        return {panel->Red()->Position(), panel->Green()->Position(), panel->Blue()->Position(),
                panel->Opacity()->Position()};
    }
    std::array<int, 3> hsb() const {
        return {panel->Hue()->Position(), panel->Saturation()->Position(), panel->Brightness()->Position()};
    }
    static TmyPalette Palette(std::initializer_list<TmyPixel> entries) {
        TmyPalette p(static_cast<int>(entries.size()));
        int i = 0;
        for (const TmyPixel& e : entries) p[i++] = e;
        return p;
    }
    QRgb favoriteCell(int index) const {
        return panel->Favorites().pixel((index % 5) * 12 + 6, (index / 5) * 12 + 6);
    }

    struct Replaced {
        TmyPixel oldColor, newColor;
        int cell;
    };
    std::unique_ptr<TfrmColors> panel;
    std::vector<Replaced> replaced;
    std::vector<bool> opacityTool;
    bool replaceChanges = false;
};

TEST_F(ColorsTest, TheColourFieldFollowsItsRule) {
    const QImage field = TfrmColors::ColorField();
    ASSERT_EQ(field.size(), QSize(160, 160));
    struct Row {
        const char* name;
        QPoint at;
        QColor colour;
    };
    const Row rows[] = {
        {"black on the left", {0, 0}, QColor(0, 0, 0)},
        {"black on the left, lower", {0, 120}, QColor(0, 0, 0)},
        {"full red in the middle of the top row", {80, 0}, QColor(255, 0, 0)},
        {"white on the right", {159, 0}, QColor(255, 255, 255)},
        {"white on the right, lower", {159, 150}, QColor(255, 255, 255)},
        {"cyan half way down", {80, 80}, QColor(0, 255, 255)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(QColor(field.pixel(r.at)), r.colour);
    }
}

TEST_F(ColorsTest, PickingFromTheField) {
    struct Row {
        const char* name;
        TmyPixel fore, back;
        int opacity;
        Qt::MouseButton button;
        QPoint at;
        TmyPixel wantFore, wantBack;
    };
    const Row rows[] = {
        {"left makes a transparent primary opaque", Px(0, 0, 0, 0), Px(1, 1, 1, 1), 255, Qt::LeftButton, {159, 0},
         Px(255, 255, 255, 255), Px(1, 1, 1, 1)},
        {"left keeps a partial opacity", Px(9, 9, 9, 128), Px(1, 1, 1, 1), 255, Qt::LeftButton, {80, 0},
         Px(255, 0, 0, 128), Px(1, 1, 1, 1)},
        {"right with the opacity slider at 0 is opaque", Px(9, 9, 9, 255), Px(0, 0, 0, 0), 0, Qt::RightButton,
         {80, 0}, Px(9, 9, 9, 255), Px(255, 0, 0, 255)},
        {"right takes the opacity slider", Px(9, 9, 9, 255), Px(0, 0, 0, 0), 100, Qt::RightButton, {0, 10},
         Px(9, 9, 9, 255), Px(0, 0, 0, 100)},
        {"a middle button acts as the right one", Px(9, 9, 9, 255), Px(0, 0, 0, 0), 255, Qt::MiddleButton,
         {159, 10}, Px(9, 9, 9, 255), Px(255, 255, 255, 255)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        panel->Opacity()->SetPosition(r.opacity);
        fore() = r.fore;
        back() = r.back;
        QTest::mouseClick(panel->FieldView(), r.button, {}, r.at);
        EXPECT_EQ(fore(), r.wantFore);
        EXPECT_EQ(back(), r.wantBack);
    }
    // The sliders follow a primary pick.
    fore() = Px(0, 0, 0, 0);
    QTest::mouseClick(panel->FieldView(), Qt::LeftButton, {}, {80, 0});
    EXPECT_EQ(rgba(), (std::array<int, 4>{255, 0, 0, 255}));
    EXPECT_EQ(hsb(), (std::array<int, 3>{0, 100, 100}));
}

TEST_F(ColorsTest, TheTransparentStrip) {
    const TmyPalette p = Palette({Px(9, 9, 9, 255), Px(200, 0, 0, 255)});
    panel->ShowPalette(&p);
    ASSERT_FALSE(panel->PaletteFrame()->isHidden());
    fore() = Px(50, 60, 70, 255);
    panel->UpdateRGBSliders();
    QTest::mouseClick(panel->StripView(), Qt::LeftButton, {}, {20, 5});
    EXPECT_EQ(fore(), Px(0, 0, 0, 0));
    EXPECT_EQ(rgba(), (std::array<int, 4>{0, 0, 0, 0}));
    EXPECT_TRUE(panel->PaletteFrame()->isHidden());
    back() = Px(1, 2, 3, 255);
    QTest::mouseClick(panel->StripView(), Qt::RightButton, {}, {20, 5});
    EXPECT_EQ(back(), Px(0, 0, 0, 0));
    // The strip shows the checkerboard of the settings.
    const QImage& strip = panel->TransparentStrip();
    EXPECT_EQ(QColor(strip.pixel(0, 0)), QColor(235, 235, 235));
    EXPECT_EQ(QColor(strip.pixel(4, 0)), QColor(255, 255, 255));
    EXPECT_EQ(QColor(strip.pixel(4, 4)), QColor(235, 235, 235));
}

TEST_F(ColorsTest, RgbSlidersSetThePrimaryColourAndTheHsbSliders) {
    fore() = Px(0, 0, 0, 255);
    panel->UpdateRGBSliders();
    panel->Red()->SetPosition(128);
    EXPECT_EQ(fore(), Px(128, 0, 0, 255));
    EXPECT_EQ(hsb(), (std::array<int, 3>{0, 100, 50}));
    // A grey has no hue: the slider shows 0.
    panel->Green()->SetPosition(128);
    panel->Blue()->SetPosition(128);
    EXPECT_EQ(fore(), Px(128, 128, 128, 255));
    EXPECT_EQ(hsb(), (std::array<int, 3>{0, 0, 50}));
    // The mouse on the slider does the same.
    QTest::mouseClick(panel->Red()->Slider(), Qt::LeftButton, {}, {8, 5});
    EXPECT_EQ(fore().R, 0);
    // Opacity goes into alpha, a transparent colour stays transparent when
    // the slider is hidden.
    panel->Opacity()->SetPosition(77);
    EXPECT_EQ(fore().A, 77);
    panel->SetBitCount(8);
    fore() = Px(5, 5, 5, 0);
    panel->Red()->SetPosition(200);
    EXPECT_EQ(fore(), Px(200, 128, 128, 0));
    fore().A = 40;
    panel->Red()->SetPosition(201);
    EXPECT_EQ(fore().A, 255);
}

TEST_F(ColorsTest, HsbSlidersDriveTheRgbSliders) {
    panel->btnHSBClick();
    EXPECT_FALSE(panel->HSBPanel()->isHidden());
    EXPECT_FALSE(panel->ShowsRGB());
    fore() = Px(0, 0, 0, 255);
    struct Row {
        const char* name;
        int h, s, b;
        TmyPixel want;
    };
    const Row rows[] = {
        {"green", 120, 100, 100, Px(0, 255, 0, 255)},
        {"half blue", 240, 100, 50, Px(0, 0, 128, 255)},
        {"no saturation", 300, 0, 40, Px(102, 102, 102, 255)},
        {"magenta", 300, 100, 100, Px(255, 0, 255, 255)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        panel->Brightness()->SetPosition(r.b);
        panel->Saturation()->SetPosition(r.s);
        panel->Hue()->SetPosition(r.h);
        EXPECT_EQ(fore(), r.want);
        EXPECT_EQ(rgba()[0], r.want.R);
        EXPECT_EQ(rgba()[1], r.want.G);
        EXPECT_EQ(rgba()[2], r.want.B);
        EXPECT_EQ(hsb(), (std::array<int, 3>{r.h, r.s, r.b})) << "the HSB sliders keep what was set";
    }
    panel->btnRGBClick();
    EXPECT_TRUE(panel->HSBPanel()->isHidden());
}

TEST_F(ColorsTest, TheStatusReadOut) {
    struct Row {
        const char* name;
        std::function<void(TfrmColors&)> act;
        QString text;
    };
    const Row rows[] = {
        {"a colour", [](TfrmColors& p) { p.ShowStatusFor(p.FieldView(), {80, 0}); }, "R:255 G:0 B:0   H:0 S:100 B:100"},
        {"a grey's hue shows 0", [](TfrmColors& p) { p.ShowStatusFor(p.FieldView(), {159, 3}); },
         "R:255 G:255 B:255   H:0 S:0 B:100"},
        {"the primary swatch",
         [](TfrmColors& p) {
             p.ForeColor() = Px(128, 0, 0, 10);
             p.ShowStatusFor(p.ForeView(), {1, 1});
         },
         "R:128 G:0 B:0   H:0 S:100 B:50"},
        {"the secondary swatch",
         [](TfrmColors& p) {
             p.BackColor() = Px(0, 64, 128, 0);
             p.ShowStatusFor(p.BackView(), {1, 1});
         },
         "R:0 G:64 B:128   H:210 S:100 B:50"},
        {"the strip is all zeros", [](TfrmColors& p) { p.ShowStatusFor(p.StripView(), {5, 5}); },
         "R:0 G:0 B:0   H:0 S:0 B:0"},
        {"a favourite", [](TfrmColors& p) { p.ShowStatusFor(p.FavoritesView(), {30, 18}); },
         "R:255 G:121 B:75   H:15 S:71 B:100"},
        {"the bare panel clears it", [](TfrmColors& p) { p.ShowStatusFor(&p, {1, 1}); }, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        r.act(*panel);
        EXPECT_EQ(panel->LastStatus(), r.text);
    }
    QTest::mouseMove(panel->FieldView(), {80, 0});
    EXPECT_EQ(panel->LastStatus(), "R:255 G:0 B:0   H:0 S:100 B:100") << "moving the mouse";
}

TEST_F(ColorsTest, PaletteModeShowsTheGrid) {
    struct Row {
        int count;
        QSize grid;
    };
    const Row rows[] = {{2, {20, 10}}, {16, {160, 10}}, {17, {160, 20}}, {256, {160, 160}}, {1, {10, 10}}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.count);
        TmyPalette p(r.count);
        panel->ShowPalette(&p);
        EXPECT_TRUE(panel->PaletteMode());
        EXPECT_EQ(panel->PaletteGrid().size(), r.grid);
        EXPECT_EQ(panel->PaletteView()->size(), r.grid);
        EXPECT_EQ(QColor(panel->PaletteGrid().pixel(((r.count - 1) % 16) * 10 + 5, ((r.count - 1) / 16) * 10 + 5)),
                  ToQColor(p[r.count - 1]))
            << "the last entry's cell";
        EXPECT_TRUE(panel->FieldView()->isHidden());
        EXPECT_TRUE(panel->FavoritesView()->isHidden());
        EXPECT_TRUE(panel->FavoriteFrame()->isHidden());
        EXPECT_FALSE(panel->PaletteView()->isHidden());
        EXPECT_FALSE(panel->LoadPaletteButton()->isHidden());
        EXPECT_FALSE(panel->SavePaletteButton()->isHidden());
    }
    panel->ShowPalette(nullptr);
    EXPECT_FALSE(panel->PaletteMode());
    EXPECT_FALSE(panel->FieldView()->isHidden());
    EXPECT_FALSE(panel->FavoritesView()->isHidden());
    EXPECT_TRUE(panel->PaletteView()->isHidden());
    EXPECT_TRUE(panel->PaletteFrame()->isHidden());
    EXPECT_TRUE(panel->LoadPaletteButton()->isHidden());
}

TEST_F(ColorsTest, SyncWithPalette) {
    const TmyPalette p = Palette({Px(10, 0, 0, 255), Px(0, 20, 0, 255), Px(0, 0, 30, 255)});
    struct Row {
        const char* name;
        TmyPixel fore, back;
        TmyPixel wantFore, wantBack;
        int cell;
    };
    const Row rows[] = {
        {"both in the palette", Px(0, 20, 0, 255), Px(0, 0, 30, 255), Px(0, 20, 0, 255), Px(0, 0, 30, 255), 1},
        {"neither: first and last entries", Px(1, 1, 1, 255), Px(2, 2, 2, 255), Px(10, 0, 0, 255), Px(0, 0, 30, 255), 0},
        {"a transparent primary is never found", Px(0, 0, 0, 0), Px(0, 20, 0, 255), Px(10, 0, 0, 255), Px(0, 20, 0, 255), 0},
        {"a half-transparent entry colour", Px(0, 0, 30, 128), Px(0, 0, 30, 255), Px(10, 0, 0, 255), Px(0, 0, 30, 255), 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        fore() = r.fore;
        back() = r.back;
        panel->ShowPalette(&p);
        EXPECT_EQ(fore(), r.wantFore);
        EXPECT_EQ(back(), r.wantBack);
        EXPECT_EQ(panel->SelectedPaletteCell(), r.cell);
        EXPECT_EQ(panel->PaletteFrame()->pos(), panel->PaletteView()->pos() + QPoint(r.cell * 10 - 2, -2));
        EXPECT_EQ(rgba()[0], r.wantFore.R) << "the sliders follow";
    }
}

TEST_F(ColorsTest, PickingFromThePaletteGrid) {
    const TmyPalette p = Palette({Px(10, 0, 0, 255), Px(0, 20, 0, 255), Px(0, 0, 30, 255)});
    doc->image.emplace(ImageSize{4, 4}, 8);
    *doc->image->Palette = TmyPalette(17);
    for (int i = 0; i < 3; ++i) (*doc->image->Palette)[i] = p[i];
    panel->ShowPalette(&*doc->image->Palette);
    struct Row {
        const char* name;
        Qt::MouseButton button;
        QPoint at;
        TmyPixel wantFore, wantBack;
        int cell;
    };
    const TmyPixel f0 = fore(), b0 = back();
    const Row rows[] = {
        {"left on cell 2", Qt::LeftButton, {25, 5}, Px(0, 0, 30, 255), b0, 2},
        {"right on cell 1", Qt::RightButton, {15, 9}, Px(0, 0, 30, 255), Px(0, 20, 0, 255), 2},
        {"below the last entry picks nothing", Qt::LeftButton, {15, 15}, Px(0, 0, 30, 255), Px(0, 20, 0, 255), 2},
        {"cell 16 on the second row", Qt::LeftButton, {3, 12}, (*doc->image->Palette)[16], Px(0, 20, 0, 255), 16},
    };
    (void)f0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        QTest::mouseClick(panel->PaletteView(), r.button, {}, r.at);
        EXPECT_EQ(fore(), r.wantFore);
        EXPECT_EQ(back(), r.wantBack);
        EXPECT_EQ(panel->SelectedPaletteCell(), r.cell);
    }
    // Beside a two-entry grid (20 x 10 where the field was): nothing.
    const TmyPalette two = Palette({Px(1, 1, 1, 255), Px(2, 2, 2, 255)});
    doc->image.reset();
    panel->ShowPalette(&two);
    const TmyPixel before = fore();
    panel->PaletteGridPressed(Qt::LeftButton, {25, 5});
    panel->PaletteGridPressed(Qt::LeftButton, {5, 15});
    EXPECT_EQ(fore(), before);
}

TEST_F(ColorsTest, FavouritesPickAndFollowThePrimaryColour) {
    EXPECT_EQ(panel->Favorites().size(), QSize(60, 72));
    EXPECT_EQ(QColor(favoriteCell(7)), QColor(255, 121, 75));
    fore() = Px(0, 0, 0, 0);
    QTest::mouseClick(panel->FavoritesView(), Qt::LeftButton, {}, {30, 18});  // column 2, row 1
    EXPECT_EQ(panel->GetCustomColorIndex(), 7);
    EXPECT_EQ(panel->FavoriteFrame()->pos(), panel->FavoritesView()->pos() + QPoint(22, 10));
    EXPECT_EQ(fore(), Px(255, 121, 75, 255));
    // Every change of the primary colour, from any source, rewrites the cell.
    panel->Green()->SetPosition(1);
    EXPECT_EQ(QColor(favoriteCell(7)), QColor(255, 1, 75));
    panel->SwapColors();
    EXPECT_EQ(QColor(favoriteCell(7)), QColor(0, 0, 0)) << "the old secondary colour";
    EXPECT_EQ(QColor(favoriteCell(6)), QColor(255, 153, 51)) << "the neighbour stays";
    // The right button picks the secondary colour and leaves the marker.
    QTest::mouseClick(panel->FavoritesView(), Qt::RightButton, {}, {2, 2});
    EXPECT_EQ(panel->GetCustomColorIndex(), 7);
    EXPECT_EQ(back(), Px(0, 0, 0, 255));
    // The marker's own colour, by the right button, with the opacity slider.
    panel->Opacity()->SetPosition(0);
    QTest::mouseClick(panel->FavoriteFrame(), Qt::RightButton, {}, {1, 1});
    EXPECT_EQ(back(), Px(0, 0, 0, 0));
    struct Row {
        int set, got;
    };
    for (const Row& r : {Row{29, 29}, Row{30, 29}, Row{99, 29}, Row{-3, 0}, Row{12, 12}}) {
        SCOPED_TRACE(r.set);
        panel->SetCustomColorIndex(r.set);
        EXPECT_EQ(panel->GetCustomColorIndex(), r.got);
    }
}

TEST_F(ColorsTest, SwapResetAndTheTwoSwatches) {
    fore() = Px(1, 2, 3, 255);
    back() = Px(4, 5, 6, 100);
    panel->SwapColors();
    EXPECT_EQ(fore(), Px(4, 5, 6, 100));
    EXPECT_EQ(back(), Px(1, 2, 3, 255));
    EXPECT_EQ(rgba(), (std::array<int, 4>{4, 5, 6, 100}));
    // The swatches: opaque is one filled rectangle, the rest is blended over
    // the checkerboard; the last column and row are left as they were.
    const QImage& fs = panel->ForeSwatch();
    const QImage& bs = panel->BackSwatch();
    EXPECT_EQ(QColor(bs.pixel(10, 10)), QColor(1, 2, 3));
    EXPECT_EQ(QColor(bs.pixel(43, 10)), QColor(0, 0, 0));
    EXPECT_EQ(QColor(fs.pixel(0, 0)), QColor((4 * 100 + 235 * 155 + 127) / 255, (5 * 100 + 235 * 155 + 127) / 255,
                                             (6 * 100 + 235 * 155 + 127) / 255));
    EXPECT_EQ(QColor(fs.pixel(4, 0)), QColor((4 * 100 + 255 * 155 + 127) / 255, (5 * 100 + 255 * 155 + 127) / 255,
                                             (6 * 100 + 255 * 155 + 127) / 255));
    replaceChanges = true;
    panel->ResetClick();
    EXPECT_EQ(fore(), Px(0, 0, 0, 255));
    EXPECT_EQ(back(), Px(0, 0, 0, 0));
    EXPECT_EQ(QColor(panel->BackSwatch().pixel(0, 0)), QColor(235, 235, 235)) << "transparent shows the board";
    ASSERT_EQ(replaced.size(), 1u);
    EXPECT_EQ(replaced[0].oldColor, Px(4, 5, 6, 100));
    EXPECT_EQ(replaced[0].newColor, Px(0, 0, 0, 255));
    EXPECT_EQ(replaced[0].cell, -1) << "no palette shown";
    EXPECT_TRUE(doc->modified) << "a palette entry that changed marks the document";
}

TEST_F(ColorsTest, ADragIsOneChangeOfThePalette) {
    TmyPalette p = Palette({Px(10, 0, 0, 255), Px(0, 20, 0, 255)});
    fore() = Px(0, 20, 0, 255);
    panel->ShowPalette(&p);
    ASSERT_EQ(panel->SelectedPaletteCell(), 1);
    QTest::mousePress(panel->Red()->Slider(), Qt::LeftButton, {}, {60, 5});
    EXPECT_EQ(panel->OldColor(), Px(0, 20, 0, 255)) << "the colour as the change began";
    EXPECT_TRUE(replaced.empty());
    QTest::mouseRelease(panel->Red()->Slider(), Qt::LeftButton, {}, {60, 5});
    ASSERT_EQ(replaced.size(), 1u);
    EXPECT_EQ(replaced[0].oldColor, Px(0, 20, 0, 255));
    EXPECT_EQ(replaced[0].newColor, fore());
    EXPECT_GT(fore().R, 0);
    EXPECT_EQ(replaced[0].cell, 1);
    EXPECT_FALSE(doc->modified) << "the tool palette changed no entry";
    // Typing into a number box brackets the same way.
    panel->Blue()->NumberBox()->selectAll();
    QTest::keyClick(panel->Blue()->NumberBox(), Qt::Key_7);
    ASSERT_EQ(replaced.size(), 2u);
    EXPECT_EQ(replaced[1].newColor.B, 7);
}

TEST_F(ColorsTest, TheColourDialogsOnTheSwatches) {
    fore() = Px(9, 9, 9, 0);
    colors = {QColor(1, 2, 3)};
    QTest::mouseClick(panel->ForeView(), Qt::LeftButton, {}, {5, 5});
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_EQ(offered[0], QColor(9, 9, 9));
    EXPECT_EQ(fore(), Px(1, 2, 3, 255));
    EXPECT_EQ(rgba(), (std::array<int, 4>{1, 2, 3, 255}));
    EXPECT_EQ(hsb(), (std::array<int, 3>{210, 67, 1}));
    ASSERT_EQ(replaced.size(), 1u);
    EXPECT_EQ(replaced[0].oldColor, Px(9, 9, 9, 0));
    // Cancelled: nothing changes.
    QTest::mouseClick(panel->ForeView(), Qt::LeftButton, {}, {5, 5});
    EXPECT_EQ(fore(), Px(1, 2, 3, 255));
    EXPECT_EQ(replaced.size(), 1u);
    // The secondary colour takes the opacity slider, 0 meaning opaque.
    panel->Opacity()->SetPosition(0);
    back() = Px(0, 0, 0, 0);
    colors = {QColor(7, 8, 9)};
    QTest::mouseClick(panel->BackView(), Qt::LeftButton, {}, {40, 38});
    EXPECT_EQ(back(), Px(7, 8, 9, 255));
}

TEST_F(ColorsTest, TheOpacitySliderFollowsTheDepth) {
    panel->SetBitCount(8);
    EXPECT_TRUE(panel->Opacity()->isHidden());
    panel->SetBitCount(32);
    EXPECT_FALSE(panel->Opacity()->isHidden());
    panel->SetBitCount(24);
    EXPECT_TRUE(panel->Opacity()->isHidden());
    EXPECT_EQ(opacityTool, (std::vector<bool>{false, true, false}));
}

// ---------------------------------------------------------------- palette files

class PaletteFileTest : public ColorsTest {
protected:
    void SetUp() override {
        ColorsTest::SetUp();
        // An 8-bit image of four colours of the default palette and one transparent pixel.
        doc->image.emplace(ImageSize{5, 1}, 8);
        TmyImagePal& img = *doc->image;
        for (int x = 0; x < 4; ++x) img.At(x, 0) = (*img.Palette)[x * 40];
        img.At(4, 0) = Px(0, 0, 0, 0);
        panel->ShowPalette(&*img.Palette);
    }
    QString write(const char* name, const std::vector<std::uint8_t>& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
        return path;
    }
};

TEST_F(PaletteFileTest, ALoadedPaletteRefitsTheImageAndMarksTheDocument) {
    struct Row {
        const char* name;
        PaletteFileKind kind;
        bool modifies;
    };
    // The second load brings the same palette again.
    for (const Row& r : {Row{"greys.pal", PaletteFileKind::Pal, true}, Row{"greys.act", PaletteFileKind::Act, false}}) {
        SCOPED_TRACE(r.name);
        doc->modified = false;
        doc->undoStores = doc->changes = 0;
        TmyPalette greys(256);
        for (int i = 0; i < 256; ++i) greys[i] = Px(i, i, i, 255);
        paletteFile = write(r.name, PaletteFileBytes(greys, r.kind));
        const TmyImagePal before = *doc->image;
        panel->LoadPaletteClick();
        ASSERT_EQ(titles.back(), "Load Palette");
        const TmyImagePal& img = *doc->image;
        EXPECT_TRUE(img.Palette->Equals(greys));
        for (int x = 0; x < 4; ++x) {
            const TmyPixel p = img.At(x, 0);
            EXPECT_EQ(p.A, 255);
            EXPECT_TRUE(p.R == p.G && p.G == p.B) << "pixel " << x << " is a grey of the new palette";
            EXPECT_GE(img.Palette->IndexOf(p), 0);
        }
        EXPECT_EQ(img.At(4, 0).A, 0) << "transparent stays";
        EXPECT_EQ(doc->undoStores, 1);
        EXPECT_EQ(doc->changes, 1);
        // Marked exactly when the load changed the image.
        EXPECT_EQ(doc->modified, !before.Equals(img));
        if (r.modifies) {
            EXPECT_TRUE(doc->modified);
        }
        EXPECT_EQ(QColor(panel->PaletteGrid().pixel(15, 5)), QColor(1, 1, 1)) << "the grid shows it";
    }
}

TEST_F(PaletteFileTest, ARefusedOrCancelledLoadChangesNothing) {
    struct Row {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool message;
    };
    const Row rows[] = {
        {"bad.pal", std::vector<std::uint8_t>(40, 0x41), true},
        {"short.act", std::vector<std::uint8_t>(10, 0), true},
        {"cancelled", {}, false},
    };
    const TmyImagePal before = *doc->image;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        messages.clear();
        paletteFile = r.bytes.empty() ? QString() : write(r.name, r.bytes);
        panel->LoadPaletteClick();
        EXPECT_TRUE(doc->image->Equals(before));
        EXPECT_EQ(doc->undoStores, 0);
        EXPECT_EQ(doc->changes, 0);
        EXPECT_FALSE(doc->modified);
        EXPECT_EQ(!messages.empty(), r.message);
    }
}

TEST_F(PaletteFileTest, SavedPalettesLoadBack) {
    for (const char* name : {"out.pal", "out.act"}) {
        SCOPED_TRACE(name);
        paletteFile = dir.filePath(name);
        panel->SavePaletteClick();
        ASSERT_EQ(titles.back(), "Save Palette");
        TmyPalette back(256);
        ASSERT_TRUE(back.LoadFromFile(paletteFile.toStdString()));
        EXPECT_TRUE(back.Equals(*doc->image->Palette));
    }
}

TEST_F(PaletteFileTest, AFailedSaveSaysWhyAndADeclinedOneSaysNothingMore) {
    // Into a folder that is not there: the save error and the system's reason.
    paletteFile = dir.filePath("missing/out.pal");
    panel->SavePaletteClick();
    EXPECT_EQ(messages, std::vector<std::string>(
                            {"The file " + paletteFile.toStdString() + " could not be saved!\nNo such file or directory"}));
    // Over an existing file the user does not want replaced: only the question.
    messages.clear();
    paletteFile = write("kept.pal", {1, 2, 3});
    panel->SavePaletteClick();
    EXPECT_EQ(messages, std::vector<std::string>({"kept.pal already exists! Overwrite?"}));
    QFile kept(paletteFile);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("\x01\x02\x03"));
}

// ---------------------------------------------------------------- favourites file and layout

TEST_F(ColorsTest, FavouritesWrittenAtExitAreReadBackAtStart) {
    fore() = Px(12, 34, 56, 255);
    panel->SetCustomColorIndex(13);
    panel->DrawPrimaryColor();
    ASSERT_TRUE(panel->SaveFavorites(dir.path()));
    TfrmColors again(dir.path());
    EXPECT_EQ(again.Favorites().size(), QSize(60, 72));
    EXPECT_EQ(QColor(again.Favorites().pixel(3 * 12 + 5, 2 * 12 + 5)), QColor(12, 34, 56));
    EXPECT_EQ(again.Favorites().convertToFormat(QImage::Format_RGB32), panel->Favorites());
    EXPECT_FALSE(panel->SaveFavorites(QString())) << "no settings folder";
}

TEST_F(ColorsTest, UnusableFavouriteFilesFallBackToTheDefaults) {
    const QImage defaults = TfrmColors::DefaultFavorites();
    const QString path = QDir(dir.path()).filePath("colors.dat");
    auto writeImage = [&](QImage img, const char* format) {
        QFile::remove(path);
        ASSERT_TRUE(img.save(path, format));
    };
    auto writeBytes = [&](const QByteArray& b) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(b);
    };
    QImage red(30, 30, QImage::Format_RGB32);
    red.fill(QColor(200, 0, 0));
    QImage wide(100, 100, QImage::Format_RGB32);
    wide.fill(QColor(0, 0, 200));
    QImage clear(60, 72, QImage::Format_ARGB32);
    clear.fill(qRgba(10, 20, 30, 0));
    struct Row {
        const char* name;
        std::function<void()> write;
        QRgb topLeft, bottomRight;
    };
    const Row rows[] = {
        {"smaller: padded with the defaults", [&] { writeImage(red, "BMP"); }, qRgb(200, 0, 0),
         defaults.pixel(59, 71)},
        {"larger: cropped", [&] { writeImage(wide, "BMP"); }, qRgb(0, 0, 200), qRgb(0, 0, 200)},
        {"transparent pixels are opaque colours", [&] { writeImage(clear, "BMP"); }, qRgb(10, 20, 30),
         qRgb(10, 20, 30)},
        {"a picture of another format", [&] { writeImage(red, "PNG"); }, defaults.pixel(0, 0), defaults.pixel(59, 71)},
        {"truncated", [&] {
             writeImage(red, "BMP");
             QFile f(path);
             ASSERT_TRUE(f.open(QIODevice::ReadWrite));
             f.resize(60);
         }, defaults.pixel(0, 0), defaults.pixel(59, 71)},
        {"empty", [&] { writeBytes({}); }, defaults.pixel(0, 0), defaults.pixel(59, 71)},
        {"a header declaring a huge bitmap", [&] {
             QByteArray b("BM", 2);
             b.append(QByteArray(12, '\0'));
             QByteArray info(40, '\0');
             info[0] = 40;
             info[4] = char(0xFF); info[5] = char(0xFF); info[6] = 0x0F;  // width 1 048 575
             info[8] = char(0xFF); info[9] = char(0xFF); info[10] = 0x0F;
             info[12] = 1;
             info[14] = 24;
             b.append(info);
             writeBytes(b);
         }, defaults.pixel(0, 0), defaults.pixel(59, 71)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        r.write();
        TfrmColors loaded(dir.path());
        const QImage& fav = loaded.Favorites();
        ASSERT_EQ(fav.size(), QSize(60, 72));
        EXPECT_EQ(QColor(fav.pixel(0, 0)), QColor(r.topLeft));
        EXPECT_EQ(QColor(fav.pixel(59, 71)), QColor(r.bottomRight));
        EXPECT_EQ(qAlpha(fav.pixel(0, 0)), 255);
    }
}

TEST_F(ColorsTest, TheLayoutRestoresAndSavesThePanel) {
    TOptions& o = Options();
    o.ForeColor = Px(1, 2, 3, 200);
    o.BackColor = Px(4, 5, 6, 7);
    o.ShowRGB = false;
    o.FavoritColorPosition = 1000;
    panel->RestoreFromOptions();
    EXPECT_EQ(fore(), Px(1, 2, 3, 200));
    EXPECT_EQ(back(), Px(4, 5, 6, 7));
    EXPECT_FALSE(panel->ShowsRGB());
    EXPECT_EQ(panel->GetCustomColorIndex(), 29) << "an index past the grid is the last cell";
    EXPECT_EQ(QColor(favoriteCell(29)), QColor(1, 2, 3));
    EXPECT_EQ(rgba(), (std::array<int, 4>{1, 2, 3, 200}));
    EXPECT_EQ(hsb(), (std::array<int, 3>{210, 67, 1}));
    panel->btnRGBClick();
    fore() = Px(9, 8, 7, 6);
    panel->SaveToOptions();
    EXPECT_EQ(o.ForeColor, Px(9, 8, 7, 6));
    EXPECT_EQ(o.FavoritColorPosition, 29);
    EXPECT_TRUE(o.ShowRGB);
}

}  // namespace
}  // namespace velto::test
