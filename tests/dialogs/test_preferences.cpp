// The preferences window in the program: every setting shown and stored, the
// grid colour presets and their pictures, the cell size it keeps, the redraw
// it asks for, and the association boxes with their files.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include "DocumentDialogsFixture.h"
#include "dialogs/ColorBox.h"
#include "dialogs/FormOptions.h"
#include "dialogs/ImageView.h"
#include "shell/ModalForms.h"
#include "shell/Options.h"

namespace velto::test {
namespace {

class PreferencesTest : public DocumentDialogsTest {
protected:
    void SetUp() override {
        DocumentDialogsTest::SetUp();
        prefs = form<TfrmOptions>("frmOptions");
        ASSERT_NE(prefs, nullptr);
        assoc.applications = dir.filePath("data/applications");
        assoc.mimeApps = dir.filePath("config/mimeapps.list");
        assoc.undoFile = dir.filePath("config/Velto/associations.cfg");
        prefs->SetAssocPaths(assoc);
        prefs->SetProgramPath(QStringLiteral("/opt/velto/velto"));
    }
    void TearDown() override {
        if (prefs) prefs->hide();
        DocumentDialogsTest::TearDown();
    }
    void choose(QComboBox* combo, int index) {
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    static TColor PixelOf(const QImage& img, int x, int y) {
        const QRgb c = img.pixel(x, y);
        return MakeColor(std::uint8_t(qRed(c)), std::uint8_t(qGreen(c)), std::uint8_t(qBlue(c)));
    }

    TfrmOptions* prefs = nullptr;
    TAssocPaths assoc;
};

TEST_F(PreferencesTest, ShowingCopiesEverySettingAndOKStoresEveryControl) {
    TOptions& o = Options();
    o.BKSize = 16;
    o.SelectedIndex = 4;
    o.BKColor1 = MakeColor(1, 2, 3);
    o.BKColor2 = MakeColor(4, 5, 6);
    o.GridStyle = 2;
    o.GridColor = MakeColor(7, 8, 9);
    o.PrevColor = MakeColor(10, 11, 12);
    o.PaletteAction = 1;
    o.ClipboardAction = 2;
    o.ImportAction = 0;
    // Every other switch on.
    for (std::size_t i = 0; i < kOptionSwitches.size(); ++i) o.*kOptionSwitches[i].setting = i % 2 == 0;
    prefs->Pages()->setCurrentIndex(3);
    prefs->show();
    EXPECT_EQ(prefs->Pages()->currentIndex(), 0);
    EXPECT_EQ(prefs->SizeCombo()->currentIndex(), 2);
    EXPECT_EQ(prefs->GridCombo()->currentIndex(), 4);
    EXPECT_EQ(prefs->Color1Box()->Selected(), MakeColor(1, 2, 3));
    EXPECT_EQ(prefs->Color2Box()->Selected(), MakeColor(4, 5, 6));
    // Showing does not run the list's change: the custom boxes stay as they were.
    EXPECT_FALSE(prefs->Color1Box()->isEnabled());
    EXPECT_EQ(prefs->StyleCombo()->currentIndex(), 2);
    EXPECT_EQ(prefs->GridColorBox()->Selected(), MakeColor(7, 8, 9));
    EXPECT_EQ(prefs->PreviewColorBox()->Selected(), MakeColor(10, 11, 12));
    EXPECT_EQ(prefs->PaletteCombo()->currentIndex(), 1);
    EXPECT_EQ(prefs->PasteCombo()->currentIndex(), 2);
    EXPECT_EQ(prefs->ImportCombo()->currentIndex(), 0);
    for (std::size_t i = 0; i < kOptionSwitches.size(); ++i) {
        SCOPED_TRACE(kOptionSwitches[i].name);
        EXPECT_EQ(prefs->Switch(int(i))->isChecked(), i % 2 == 0);
        EXPECT_EQ(prefs->Switch(int(i))->objectName(), kOptionSwitches[i].name);
    }
    // The preview: cells of 16 in the two colours, (0, 0) in the second.
    const QImage& pic = prefs->Preview()->Picture();
    EXPECT_EQ(pic.size(), QSize(48, 48));
    EXPECT_EQ(PixelOf(pic, 0, 0), MakeColor(4, 5, 6));
    EXPECT_EQ(PixelOf(pic, 16, 0), MakeColor(1, 2, 3));

    // Every control back into its setting.
    choose(prefs->SizeCombo(), 1);
    prefs->StyleCombo()->setCurrentIndex(0);
    prefs->PaletteCombo()->setCurrentIndex(2);
    prefs->PasteCombo()->setCurrentIndex(3);
    prefs->ImportCombo()->setCurrentIndex(1);
    prefs->PreviewColorBox()->SetSelected(MakeColor(200, 100, 50));
    for (std::size_t i = 0; i < kOptionSwitches.size(); ++i) prefs->Switch(int(i))->setChecked(i % 2 == 1);
    prefs->OKButton()->click();
    EXPECT_FALSE(prefs->isVisible());
    EXPECT_EQ(o.BKSize, 8);
    EXPECT_EQ(o.GridStyle, 0);
    EXPECT_EQ(o.PaletteAction, 2);
    EXPECT_EQ(o.ClipboardAction, 3);
    EXPECT_EQ(o.ImportAction, 1);
    EXPECT_EQ(o.PrevColor, MakeColor(200, 100, 50));
    EXPECT_EQ(o.SelectedIndex, 4);
    for (std::size_t i = 0; i < kOptionSwitches.size(); ++i) {
        SCOPED_TRACE(kOptionSwitches[i].name);
        EXPECT_EQ(o.*kOptionSwitches[i].setting, i % 2 == 1);
    }
}

TEST_F(PreferencesTest, CancelAndEscapeDropEveryChange) {
    Options().BKSize = 4;
    Options().Dithering = true;
    for (const char* way : {"Cancel", "Escape"}) {
        SCOPED_TRACE(way);
        prefs->show();
        choose(prefs->SizeCombo(), 2);
        prefs->Switch(9)->setChecked(false);
        if (QLatin1String(way) == QLatin1String("Cancel")) prefs->CancelButton()->click();
        else QTest::keyClick(prefs, Qt::Key_Escape);
        EXPECT_FALSE(prefs->isVisible());
        EXPECT_EQ(Options().BKSize, 4);
        EXPECT_TRUE(Options().Dithering);
    }
}

TEST_F(PreferencesTest, GridPresetsSetTheColoursAndBlankRowsStandForTheNextOne) {
    // Each preset's picture shows its first colour at (6, 2), its second at (2, 2).
    for (std::size_t i = 0; i < kGridPresets.size(); ++i) {
        const TGridPreset& p = kGridPresets[i];
        SCOPED_TRACE(p.name);
        EXPECT_EQ(prefs->GridCombo()->itemText(int(i)), QString::fromLatin1(p.name));
        if (i == 0 || !*p.name) continue;
        const QImage pic = GridPresetPicture(p);
        EXPECT_EQ(PixelOf(pic, 6, 2), p.color1);
        EXPECT_EQ(PixelOf(pic, 2, 2), p.color2);
    }
    struct Row {
        const char* name;
        int chosen;
        int shown;
        TColor color1, color2;
        bool customEnabled;
    };
    const Row rows[] = {
        {"Light", 3, 3, MakeColor(231, 231, 231), MakeColor(189, 189, 189), false},
        {"blank after Custom", 1, 2, MakeColor(255, 255, 255), MakeColor(239, 239, 239), false},
        {"blank after Dark", 6, 7, MakeColor(255, 255, 255), MakeColor(255, 206, 206), false},
        {"Purple", 11, 11, MakeColor(255, 255, 255), MakeColor(231, 206, 255), false},
        {"Custom keeps the colours", 0, 0, MakeColor(255, 255, 255), MakeColor(231, 206, 255), true},
    };
    prefs->show();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        choose(prefs->GridCombo(), row.chosen);
        EXPECT_EQ(prefs->GridCombo()->currentIndex(), row.shown);
        EXPECT_EQ(prefs->Color1Box()->Selected(), row.color1);
        EXPECT_EQ(prefs->Color2Box()->Selected(), row.color2);
        EXPECT_EQ(prefs->Color1Box()->isEnabled(), row.customEnabled);
        EXPECT_EQ(prefs->Color2Box()->isEnabled(), row.customEnabled);
        // The preview follows at once.
        EXPECT_EQ(PixelOf(prefs->Preview()->Picture(), 0, 0), row.color2);
        EXPECT_EQ(PixelOf(prefs->Preview()->Picture(), 4, 0), row.color1);
    }
    prefs->OKButton()->click();
    EXPECT_EQ(Options().SelectedIndex, 0);
    EXPECT_EQ(Options().BKColor2, MakeColor(231, 206, 255));
}

TEST_F(PreferencesTest, ACellSizeTheListDoesNotHaveIsKeptUntilTheListIsUsed) {
    Options().BKSize = 16;
    prefs->show();
    prefs->hide();
    Options().BKSize = 5;
    prefs->show();
    EXPECT_EQ(prefs->SizeCombo()->currentIndex(), 2);  // as last time
    EXPECT_EQ(prefs->CellSize(), 5);
    prefs->OKButton()->click();
    EXPECT_EQ(Options().BKSize, 5);
    prefs->show();
    choose(prefs->SizeCombo(), 0);
    prefs->OKButton()->click();
    EXPECT_EQ(Options().BKSize, 4);
    // Stored item numbers the lists do not have are kept as well.
    Options().PaletteAction = 9;
    Options().SelectedIndex = 40;
    prefs->show();
    prefs->OKButton()->click();
    EXPECT_EQ(Options().PaletteAction, 9);
    EXPECT_EQ(Options().SelectedIndex, 40);
}

TEST_F(PreferencesTest, OnlyADisplayChangeOrAutomaticZoomSwitchedOnRedrawsTheDocuments) {
    struct Row {
        const char* name;
        bool autoZoomBefore;
        std::function<void(TfrmOptions*)> edit;
        bool redraw;
    };
    const Row rows[] = {
        {"nothing changed", false, [](TfrmOptions*) {}, false},
        {"automatic zoom off", true, [](TfrmOptions* p) { p->Switch(10)->setChecked(false); }, false},
        {"automatic zoom on", false, [](TfrmOptions* p) { p->Switch(10)->setChecked(true); }, true},
        {"grid style", false, [](TfrmOptions* p) { p->StyleCombo()->setCurrentIndex(0); }, true},
        {"grid colour", false, [](TfrmOptions* p) { p->GridColorBox()->SetSelected(MakeColor(1, 1, 1)); }, true},
        {"preview colour only", false, [](TfrmOptions* p) { p->PreviewColorBox()->SetSelected(clBlack); }, false},
        {"dithering only", false, [](TfrmOptions* p) { p->Switch(9)->setChecked(false); }, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Options().Autozoom = row.autoZoomBefore;
        Options().GridStyle = 1;
        QSignalSpy spy(main.get(), &TfrmMain::documentsRefreshing);
        prefs->show();
        row.edit(prefs);
        prefs->OKButton()->click();
        ASSERT_EQ(spy.count(), 1);
        EXPECT_EQ(spy.at(0).at(0).toBool(), row.redraw);
    }
}

TEST_F(PreferencesTest, TheAssociationBoxesReadAndWriteTheUsersFiles) {
    prefs->show();
    for (QCheckBox* box : {prefs->AssocBox(), prefs->AniAssocBox(), prefs->ContextBox()}) {
        EXPECT_TRUE(box->isEnabled());
        EXPECT_FALSE(box->isChecked());
    }
    // OK with nothing ticked writes nothing.
    prefs->OKButton()->click();
    EXPECT_FALSE(QFile::exists(assoc.DesktopFile()));
    EXPECT_FALSE(QFile::exists(assoc.mimeApps));

    prefs->show();
    prefs->AssocBox()->setChecked(true);
    prefs->ContextBox()->setChecked(true);
    prefs->OKButton()->click();
    EXPECT_TRUE(IsFileTypeAssociated(akCursor, assoc));
    EXPECT_FALSE(IsFileTypeAssociated(akAnimated, assoc));
    EXPECT_TRUE(IsOpenWithRegistered(QStringLiteral("/opt/velto/velto"), assoc));

    prefs->show();
    EXPECT_TRUE(prefs->AssocBox()->isChecked());
    EXPECT_FALSE(prefs->AniAssocBox()->isChecked());
    EXPECT_TRUE(prefs->ContextBox()->isChecked());
    prefs->AssocBox()->setChecked(false);
    prefs->ContextBox()->setChecked(false);
    prefs->OKButton()->click();
    EXPECT_FALSE(IsFileTypeAssociated(akCursor, assoc));
    EXPECT_FALSE(QFile::exists(assoc.DesktopFile()));
}

TEST_F(PreferencesTest, WithoutWriteAccessTheBoxesAreDisabledAndOKLeavesTheFilesAlone) {
    // Associated by hand, then the folders become unwritable (a file in the
    // way of the kept-handlers folder).
    AssociateFileType(akCursor, QStringLiteral("/opt/velto/velto"), assoc);
    QFile blocker(dir.filePath("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TAssocPaths blocked = assoc;
    blocked.undoFile = dir.filePath("blocked/associations.cfg");
    prefs->SetAssocPaths(blocked);
    prefs->show();
    for (QCheckBox* box : {prefs->AssocBox(), prefs->AniAssocBox(), prefs->ContextBox()}) EXPECT_FALSE(box->isEnabled());
    EXPECT_TRUE(prefs->AssocBox()->isChecked());
    prefs->AssocBox()->setChecked(false);
    prefs->OKButton()->click();
    EXPECT_TRUE(IsFileTypeAssociated(akCursor, assoc));
}

TEST_F(PreferencesTest, ThePreferencesRunModallyAndTheirTextsAreTheEnglishOnes) {
    OnNextModal([](QWidget* w) {
        auto* p = qobject_cast<TfrmOptions*>(w);
        ASSERT_NE(p, nullptr);
        p->CancelButton()->click();
    });
    EXPECT_EQ(ShowModalForm(QStringLiteral("frmOptions")), int(QDialog::Rejected));
    EXPECT_FALSE(prefs->isVisible());
    EXPECT_EQ(prefs->windowTitle(), "Preferences");
    const QStringList tabs{"Transparency/Grid", "Actions", "Options", "Association"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(prefs->Pages()->tabText(i), tabs[i]);
    EXPECT_EQ(prefs->ImportCombo()->parentWidget()->findChild<QLabel*>("lblImport")->text(),
              "If the imported  image is larger than the canvas:");
    EXPECT_EQ(prefs->PasteCombo()->itemText(1), "Crop the image (top-left corner)");
    EXPECT_EQ(prefs->ContextBox()->text(), "Offer Velto in the Open With list of every kind of file");
}

}  // namespace
}  // namespace velto::test
