// The New Image window in the program: images added to open documents (blank
// or made from a chosen image, at their sorted place), formats a document
// refuses, the size boxes, and the first image of a new document, which may
// make it an animated cursor; Cancel closes only an empty new window.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "DocumentDialogsFixture.h"
#include "browse/ThumbnailGrid.h"
#include "dialogs/FormNewImage.h"
#include "dialogs/NumberBox.h"
#include "model/Palette.h"
#include "shell/ModalForms.h"

namespace velto::test {
namespace {

const TmyPixel kRed = TmyPixel::CreateRGBA(255, 0, 0, 255);
const TmyPixel kGreen = TmyPixel::CreateRGBA(0, 128, 0, 255);
const TmyPixel kBlue = TmyPixel::CreateRGBA(0, 0, 255, 255);
const TmyPixel kClear = TmyPixel::CreateRGBA(0, 0, 0, 0);

// Depth buttons: 1, 4, 8, 24, 32 bits; size buttons: 16, 24, 32, 48, 64, 256, custom.
int DepthIndex(int bits) { return bits == 1 ? 0 : bits == 4 ? 1 : bits == 8 ? 2 : bits == 24 ? 3 : 4; }
int SizeIndex(int side) {
    const int sides[] = {16, 24, 32, 48, 64, 256};
    for (int i = 0; i < 6; ++i)
        if (sides[i] == side) return i;
    return 6;
}

bool AllPixels(const TmyImagePal& img, const TmyPixel& p) {
    for (const TmyPixel& q : img.Pixels())
        if (!(q == p)) return false;
    return true;
}

class NewImageTest : public DocumentDialogsTest {
protected:
    void SetUp() override {
        DocumentDialogsTest::SetUp();
        dlg = form<TfrmNewImage>("frmNewImage");
        ASSERT_NE(dlg, nullptr);
    }
    void TearDown() override {
        if (dlg && dlg->isVisible()) dlg->hide();
        DocumentDialogsTest::TearDown();
    }
    // Width x height (custom when not a preset square) at bits.
    void choose(int width, int height, int bits) {
        dlg->DepthButton(DepthIndex(bits))->setChecked(true);
        const int size = width == height ? SizeIndex(width) : 6;
        dlg->SizeButton(size)->setChecked(true);
        if (size == 6) {
            dlg->SquareBox()->setChecked(width == height);
            dlg->WidthEdit()->setText(QString::number(width));
            dlg->HeightEdit()->setText(QString::number(height));
        }
    }

    TfrmNewImage* dlg = nullptr;
};

// An icon of three images, sorted by depth then size on opening:
// 0 32x32x32 red, 1 48x48x24 blue, 2 16x16x8 green.
const std::vector<ImageSpec> kThree = {{32, 32, 32, kRed}, {16, 16, 8, kGreen}, {48, 48, 24, kBlue}};

TEST_F(NewImageTest, ImagesAreAddedAtTheirSortedPlaceBlankOrFromTheChosenImage) {
    struct Row {
        const char* name;
        int width, height, bits;
        bool fromImage;
        int tile;  // -1: no tile chosen
        bool added;
        int index;           // where the new image lands
        TmyPixel pixels;     // every pixel of the new image
    };
    const Row rows[] = {
        {"the same format is refused", 32, 32, 32, true, 0, false, -1, kClear},
        {"blank 24x24 at 8 bits", 24, 24, 8, false, 0, true, 2, kClear},
        {"tile 2 before the new one: it moved to 3", 24, 24, 8, true, 2, true, 2, kGreen},
        {"tile 2 after the new one at 4 bits", 24, 24, 4, true, 2, true, 3, kGreen},
        {"tile 0 at 8 bits: it stays at 0", 32, 32, 8, true, 0, true, 2, kRed},
        {"tile 1 to a custom 100x50 before it", 100, 50, 32, true, 1, true, 0, kBlue},
        {"no tile chosen gives a blank image", 64, 64, 24, true, -1, true, 1, kClear},
        {"tile 0 at 1 bit: the nearest of black and white", 16, 16, 1, true, 0, true, 3,
         TmyPixel::CreateRGBA(0, 0, 0, 255)},
    };
    // Solid colours stay solid.
    Options().Dithering = false;
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TfrmDesk* desk = openIcon(kThree, QStringLiteral("three%1.cur").arg(n++));
        ASSERT_NE(desk, nullptr);
        ASSERT_EQ(desk->ImageCount(), 3);
        messages.clear();
        dlg->SetNewImageMode(true);
        dlg->show();
        EXPECT_TRUE(dlg->ImagesGroup()->isVisible());
        EXPECT_FALSE(dlg->TypeGroup()->isVisible());
        ASSERT_EQ(dlg->Sources()->Count(), 3);
        EXPECT_EQ(dlg->Sources()->Item(1).Caption, "48x48 - 24");
        EXPECT_EQ(dlg->Sources()->FirstSelected(), 0);
        choose(row.width, row.height, row.bits);
        dlg->FromImageBox()->setChecked(row.fromImage);
        dlg->Sources()->ClearSelection();
        dlg->Sources()->SelectItem(row.tile);  // -1 leaves none chosen
        dlg->OKClick();
        EXPECT_EQ(dlg->Added(), row.added);
        if (!row.added) {
            // The message, and the window stays for another choice.
            EXPECT_EQ(messages, std::vector<std::string>{"There is already an image with this format in the icon!"});
            EXPECT_TRUE(dlg->isVisible());
            EXPECT_EQ(desk->ImageCount(), 3);
            EXPECT_TRUE(desk->Saved());
            dlg->CancelButton()->click();
            EXPECT_FALSE(dlg->isVisible());
            continue;
        }
        EXPECT_TRUE(messages.empty());
        EXPECT_FALSE(dlg->isVisible());
        ASSERT_EQ(desk->ImageCount(), 4);
        EXPECT_EQ(desk->ItemIndex(), row.index);
        const TmyImagePal& img = *desk->CurrentImage();
        EXPECT_EQ(img.Width(), row.width);
        EXPECT_EQ(img.Height(), row.height);
        EXPECT_EQ(img.BitCount, row.bits);
        EXPECT_EQ(img.Palette.has_value(), row.bits <= 8);
        if (img.Palette) {
            EXPECT_EQ(img.Palette->Count(), PaletteCountForBits(row.bits));
        }
        EXPECT_TRUE(AllPixels(img, row.pixels));
        // The other images are where the sort puts them, untouched.
        EXPECT_EQ(desk->ImagesCombo()->count(), 4);
        EXPECT_EQ(desk->SideBar()->Count(), 4);
        EXPECT_FALSE(desk->Saved());
        EXPECT_FALSE(desk->CanUndo());
    }
}

TEST_F(NewImageTest, ADerivedImageTakesTheDepthsPalette) {
    TfrmDesk* desk = openIcon(kThree);
    TmyPalette windows(16);
    windows.SetWindows16();
    struct Row {
        const char* name;
        int bits;
    };
    for (const Row row : {Row{"4 bits: the Windows table", 4}, Row{"8 bits: an optimised palette with black", 8}}) {
        SCOPED_TRACE(row.name);
        dlg->SetNewImageMode(true);
        dlg->show();
        choose(64, 64, row.bits);
        dlg->Sources()->SelectItem(1);  // 48x48x24 blue
        dlg->OKClick();
        ASSERT_TRUE(dlg->Added());
        const TmyImagePal& img = *desk->CurrentImage();
        ASSERT_TRUE(img.Palette);
        EXPECT_TRUE(AllPixels(img, kBlue));
        if (row.bits == 4) {
            EXPECT_TRUE(img.Palette->Equals(windows));
        } else {
            EXPECT_GE(img.Palette->IndexOf(TmyPixel::CreateRGBA(0, 0, 0, 255)), 0);
            EXPECT_GE(img.Palette->IndexOf(kBlue), 0);
        }
    }
}

TEST_F(NewImageTest, AnAnimatedCursorTakesOnlyFramesOfItsFormat) {
    TfrmDesk* desk = openAni({{32, 32, 32, kRed}, {32, 32, 32, kBlue}});
    ASSERT_TRUE(desk->IsAnimated());
    dlg->SetNewImageMode(true);
    dlg->show();
    EXPECT_EQ(dlg->Sources()->Item(1).Caption, "Frame 1");
    choose(16, 16, 32);
    dlg->OKClick();
    EXPECT_FALSE(dlg->Added());
    EXPECT_EQ(messages, std::vector<std::string>{"There is already an image with this format in the icon!"});
    EXPECT_EQ(desk->ImageCount(), 2);
    // Closed by its close box after the refusal: as Cancel, nothing changes.
    dlg->close();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(dlg->Handled());
    EXPECT_EQ(desk->ImageCount(), 2);
    EXPECT_TRUE(desk->Saved());

    // A frame of the same format is a copy of the chosen one.
    dlg->show();
    choose(32, 32, 32);
    dlg->Sources()->SelectItem(1);
    dlg->OKClick();
    ASSERT_TRUE(dlg->Added());
    ASSERT_EQ(desk->ImageCount(), 3);
    EXPECT_TRUE(AllPixels(*desk->CurrentImage(), kBlue));
}

TEST_F(NewImageTest, TheSizeBoxesKeepTheirNumbersInRangeAndSquare) {
    dlg->show();
    EXPECT_EQ(dlg->NewWidth(), 32);
    EXPECT_EQ(dlg->NewBitCount(), 32);
    EXPECT_FALSE(dlg->WidthEdit()->isEnabled());
    dlg->SizeButton(6)->setChecked(true);
    EXPECT_TRUE(dlg->WidthEdit()->isEnabled());
    EXPECT_TRUE(dlg->SquareBox()->isEnabled());
    EXPECT_EQ(dlg->NewWidth(), 128);
    EXPECT_EQ(dlg->NewHeight(), 128);
    struct Row {
        const char* name;
        bool square;
        bool width;           // typed into the width box, else the height box
        const char* typed;    // after selecting all
        const char* widthText;
        const char* heightText;
        int newWidth, newHeight;
    };
    const Row rows[] = {
        {"square follows", true, true, "20", "20", "20", 20, 20},
        {"above 256", true, false, "300", "256", "256", 256, 256},
        {"zero", true, true, "0", "1", "1", 1, 1},
        {"letters dropped", true, true, "4x2", "42", "42", 42, 42},
        {"not square", false, false, "7", "42", "7", 42, 7},
        {"emptied keeps the last", false, true, "", "", "7", 42, 7},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        dlg->SquareBox()->setChecked(row.square);
        TNumberBox* box = row.width ? dlg->WidthEdit() : dlg->HeightEdit();
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, QString::fromLatin1(row.typed));
        EXPECT_EQ(dlg->WidthEdit()->text(), row.widthText);
        EXPECT_EQ(dlg->HeightEdit()->text(), row.heightText);
        EXPECT_EQ(dlg->NewWidth(), row.newWidth);
        EXPECT_EQ(dlg->NewHeight(), row.newHeight);
    }
    // A preset size takes over; the depth buttons set the depth.
    dlg->SizeButton(5)->setChecked(true);
    EXPECT_FALSE(dlg->HeightEdit()->isEnabled());
    EXPECT_EQ(dlg->NewWidth(), 256);
    for (int bits : {1, 4, 8, 24, 32}) {
        dlg->DepthButton(DepthIndex(bits))->setChecked(true);
        EXPECT_EQ(dlg->NewBitCount(), bits);
    }
}

// The window fits each layout and the screen: switching between layouts
// neither leaves empty room nor stretches the header.
TEST_F(NewImageTest, TheWindowTakesTheSizeOfEachLayout) {
    openIcon(kThree);
    struct Row {
        const char* name;
        bool showImages;
    };
    const Row rows[] = {{"adding", true}, {"new document", false}, {"adding again", true}, {"new again", false}};
    int header = -1;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        dlg->SetNewImageMode(row.showImages);
        dlg->show();
        QApplication::processEvents();
        EXPECT_EQ(dlg->size(), dlg->sizeHint());
        // Never taller than the screen (the offscreen one is 800 x 600).
        EXPECT_LE(dlg->height(), dlg->screen()->availableGeometry().height());
        const QWidget* top = dlg->TypeGroup()->window()->childAt(1, 1);
        ASSERT_NE(top, nullptr);
        if (header < 0) header = top->height();
        EXPECT_EQ(top->height(), header);
        dlg->hide();
    }
}

class NewDocumentTest : public NewImageTest {
protected:
    // What File > New does: a new empty window, the dialog in its layout for
    // a new document, the window shown when an image came.
    bool runNew(std::function<void(TfrmNewImage*)> answer) {
        if (!main->CreateDocumentWindow(QStringLiteral("Untitled"))) return false;
        QPointer<TDeskWindow> desk = main->ActiveDesk();
        dlg->SetNewImageMode(false);
        OnNextModal([answer](QWidget* w) {
            auto* d = qobject_cast<TfrmNewImage*>(w);
            ASSERT_NE(d, nullptr);
            answer(d);
        });
        const int rc = ShowModalForm(QStringLiteral("frmNewImage"));
        EXPECT_EQ(rc == QDialog::Accepted, dlg->Added());
        return desk && dlg->Added();
    }
};

TEST_F(NewDocumentTest, TheFirstImageMakesAStaticOrAnAnimatedCursor) {
    struct Row {
        const char* name;
        bool animated;
        int side, bits;
    };
    const Row rows[] = {{"static cursor", false, 32, 32}, {"animated cursor", true, 48, 8}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(runNew([&](TfrmNewImage* d) {
            EXPECT_FALSE(d->ImagesGroup()->isVisible());
            EXPECT_TRUE(d->TypeGroup()->isVisible());
            (row.animated ? d->AniButton() : d->CurButton())->setChecked(true);
            choose(row.side, row.side, row.bits);
            d->OKButton()->click();
        }));
        TfrmDesk* desk = active();
        ASSERT_NE(desk, nullptr);
        EXPECT_EQ(desk->IsAnimated(), row.animated);
        EXPECT_EQ(desk->DragItems(), row.animated);
        ASSERT_EQ(desk->ImageCount(), 1);
        EXPECT_EQ(desk->CurrentImage()->Width(), row.side);
        EXPECT_EQ(desk->CurrentImage()->BitCount, row.bits);
        EXPECT_TRUE(desk->Document()->IsCursor);
        // A new blank document has nothing to save yet.
        EXPECT_TRUE(desk->Saved());
        EXPECT_EQ(desk->SideBar()->Count(), 1);
    }
}

TEST_F(NewDocumentTest, CancelClosesTheEmptyNewWindowAndGivesItsPlaceBack) {
    const int before = main->Desks().CascadeIndex();
    for (const char* way : {"Cancel", "Escape", "close box"}) {
        SCOPED_TRACE(way);
        EXPECT_FALSE(runNew([way](TfrmNewImage* d) {
            if (QLatin1String(way) == QLatin1String("Cancel")) d->CancelButton()->click();
            else if (QLatin1String(way) == QLatin1String("Escape")) QTest::keyClick(d, Qt::Key_Escape);
            else d->close();
        }));
        QApplication::processEvents();
        EXPECT_EQ(main->Desks().DeskCount(), 0);
        EXPECT_EQ(main->Desks().CascadeIndex(), before);
    }
}

TEST_F(NewDocumentTest, ADocumentWithImagesIsNeverReplacedNorClosed) {
    // The layout for a new document over a window that has images (an opener
    // that left it so): the animated choice does not throw the icon away,
    // and Cancel keeps the window.
    TfrmDesk* desk = openIcon(kThree);
    dlg->SetNewImageMode(false);
    dlg->AniButton()->setChecked(true);
    dlg->show();
    dlg->CancelButton()->click();
    EXPECT_EQ(main->Desks().DeskCount(), 1);
    ASSERT_EQ(active(), desk);
    EXPECT_EQ(desk->ImageCount(), 3);
    dlg->show();
    choose(24, 24, 32);
    dlg->OKClick();
    ASSERT_TRUE(dlg->Added());
    EXPECT_FALSE(desk->IsAnimated());
    EXPECT_EQ(desk->ImageCount(), 4);
    EXPECT_TRUE(AllPixels(desk->Document()->Image(0), kRed));
    // The image added is a change to save.
    EXPECT_FALSE(desk->Saved());
}

}  // namespace
}  // namespace velto::test
