// The panes in the program: plugged into the main window, restored and saved
// with the layout, writing their files at exit and reading them at the next
// start, following a real document window, and their English texts.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMdiSubWindow>
#include <QTest>

#include <memory>
#include <set>
#include <tuple>

#include "DialogsTestSupport.h"
#include "core/Language.h"
#include "dialogs/Dialogs.h"
#include "dialogs/FormColors.h"
#include "dialogs/FormPreview.h"
#include "dialogs/ImageView.h"
#include "dialogs/PreviewFrame.h"
#include "dialogs/QuestionDialogs.h"
#include "dialogs/SliderComposite.h"
#include "model/IcoIO.h"
#include "model/PaletteFile.h"
#include "platform/IniFile.h"
#include "shell/Desk.h"
#include "shell/MainWindow.h"
#include "shell/PaneFrame.h"
#include "shell/Translator.h"

namespace velto::test {
namespace {

QColor Rgb(const TmyPixel& p) { return QColor(p.R, p.G, p.B); }

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureGuiApp();
        ASSERT_TRUE(dir.isValid());
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
        FreeOptions();
        CreateOptions(800, dir.filePath("config/Velto/config.cfg").toStdString());
        // The tips window would open modally at the first activation.
        Options().ShowTips = false;
        Lang().SetFileName("");
        SetMessageSink([this](const MessageRequest& r) {
            messages.push_back(r.text);
            return int(idOK);
        });
        SetDocumentLink(nullptr);
        SetPaletteFileChooser([this](PaletteDialog, const QString&, QWidget*) { return paletteFile; });
        RegisterDialogs();
    }
    void TearDown() override {
        main.reset();
        SetPaletteFileChooser(nullptr);
        SetMessageSink(nullptr);
        FreeOptions();
    }
    void start() {
        main = std::make_unique<TfrmMain>();
        main->CreateForms();
        main->resize(1000, 800);
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
        main->FirstActivation({});
    }
    TfrmColors* colors() const { return qobject_cast<TfrmColors*>(main->Forms().Pane(dsColors)->Content()); }
    TfrmPreview* preview() const { return qobject_cast<TfrmPreview*>(main->Forms().Pane(dsPreview)->Content()); }
    TfrmDesk* active() const { return qobject_cast<TfrmDesk*>(main->ActiveDesk()); }
    QString settings() const { return dir.filePath("config/Velto"); }

    QTemporaryDir dir;
    std::unique_ptr<TfrmMain> main;
    std::vector<std::string> messages;
    QString paletteFile;
};

TEST_F(ProgramTest, ThePanesAndQuestionsPlugIntoTheMainWindow) {
    start();
    ASSERT_NE(colors(), nullptr);
    ASSERT_NE(preview(), nullptr);
    EXPECT_EQ(ColorPanel(), colors());
    EXPECT_EQ(PreviewPane(), preview());
    EXPECT_NE(qobject_cast<TfrmChangePal*>(main->Forms().Form("frmChangePal")), nullptr);
    EXPECT_NE(qobject_cast<TfrmImageBig*>(main->Forms().Form("frmImageBig")), nullptr);
    EXPECT_NE(main->Forms().Pane(dsPreview)->SizeGrip(), nullptr) << "the preview pane is sized by the user";
    EXPECT_EQ(main->Forms().Pane(dsColors)->SizeGrip(), nullptr);
    // The colours of the settings (opaque black, transparent black) are shown.
    EXPECT_EQ(colors()->ForeColor(), Px(0, 0, 0, 255));
    EXPECT_EQ(colors()->BackColor(), Px(0, 0, 0, 0));
    // The read-out goes to the main window's status bar, with its labels.
    colors()->ShowStatusFor(colors()->FieldView(), {80, 0});
    EXPECT_EQ(main->StatusLabel()->text(), "R:255 G:0 B:0   H:0 S:100 B:100");
    main.reset();
    EXPECT_EQ(ColorPanel(), nullptr) << "a destroyed pane leaves no dangling registration";
    EXPECT_EQ(PreviewPane(), nullptr);
}

TEST_F(ProgramTest, StatusLabelsFollowTheLanguage) {
    QDir().mkpath(dir.filePath("lang"));
    QFile f(dir.filePath("lang/Test.lng"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[MSG]\nmsgRed=Rot\nmsgGreen=Gruen\nmsgBlue=Blau\nmsgHue=Farbton\nmsgSaturation=Saett\nmsgBrightness=Hell\n");
    f.close();
    Lang().SetFileName(f.fileName().toStdString());
    start();
    main->TranslateStatusLabels();
    colors()->ShowStatusFor(colors()->FieldView(), {0, 0});
    EXPECT_EQ(main->StatusLabel()->text(), "Rot:0 Gruen:0 Blau:0   Farbton:0 Saett:0 Hell:0");
    Lang().SetFileName("");
}

TEST_F(ProgramTest, ColoursAndFilesSurviveARestart) {
    TOptions& o = Options();
    o.ForeColor = Px(10, 20, 30, 255);
    o.BackColor = Px(40, 50, 60, 70);
    o.FavoritColorPosition = 8;
    o.ShowRGB = false;
    start();
    EXPECT_EQ(colors()->ForeColor(), Px(10, 20, 30, 255));
    EXPECT_EQ(colors()->BackColor(), Px(40, 50, 60, 70));
    EXPECT_FALSE(colors()->ShowsRGB());
    EXPECT_EQ(colors()->GetCustomColorIndex(), 8);
    // Cell 3 takes a colour, then the marker goes back to cell 8.
    colors()->SetCustomColorIndex(3);
    colors()->Red()->SetPosition(99);
    colors()->SetCustomColorIndex(8);
    preview()->SetQuickColor(2, qRgb(5, 6, 7));
    main->FormClose();
    EXPECT_EQ(o.ForeColor, Px(99, 20, 30, 255));
    EXPECT_EQ(o.FavoritColorPosition, 8);
    ASSERT_TRUE(QFile::exists(QDir(settings()).filePath("colors.dat")));
    ASSERT_TRUE(QFile::exists(QDir(settings()).filePath("quickcolors.dat")));
    main.reset();

    start();
    auto cell = [this](int i) { return QColor(colors()->Favorites().pixel((i % 5) * 12 + 5, (i / 5) * 12 + 5)); };
    EXPECT_EQ(cell(3), QColor(99, 20, 30)) << "read from the file";
    EXPECT_EQ(cell(8), QColor(99, 20, 30)) << "the restored primary colour under the marker";
    EXPECT_EQ(cell(4), QColor(255, 255, 153)) << "a default cell";
    EXPECT_EQ(QColor(preview()->QuickColorBitmap().pixel(5, 2 * 16 + 5)), QColor(5, 6, 7));
}

TEST_F(ProgramTest, ThePanesFollowTheActiveDocument) {
    // An icon with one 8-bit image of the default palette's colours 0..3.
    TmyIcon doc;
    doc.AddImage(ImageSize{16, 8}, 8);
    TmyImagePal& img = doc.Image(0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) img.At(x, y) = (*img.Palette)[(x / 4) * 50];
    const QString path = dir.filePath("eight.ico");
    ASSERT_TRUE(TmyIcoIO(false).SaveToFile(doc, path.toStdString(), false));
    start();
    ASSERT_TRUE(main->OpenFile(path));
    TfrmDesk* desk = active();
    ASSERT_NE(desk, nullptr);
    EXPECT_EQ(preview()->CurrentImage(), desk->CurrentImage());
    EXPECT_EQ(preview()->Preview()->Image1()->size(), QSize(16, 8));
    EXPECT_EQ(QColor(preview()->Preview()->Image1()->Picture().pixel(15, 0)), Rgb((*img.Palette)[150]));
    EXPECT_TRUE(colors()->PaletteMode());
    EXPECT_EQ(colors()->PaletteGrid().size(), QSize(160, 160));
    EXPECT_TRUE(colors()->Opacity()->isHidden());
    ASSERT_TRUE(desk->Saved());

    // A palette file loaded into the image refits it, can be undone, and
    // makes the window ask before closing.
    TmyPalette reds(256);
    for (int i = 0; i < 256; ++i) reds[i] = Px(i, 0, 0, 255);
    paletteFile = dir.filePath("reds.pal");
    {
        const auto bytes = PaletteFileBytes(reds, PaletteFileKind::Pal);
        QFile f(paletteFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    }
    colors()->LoadPaletteClick();
    EXPECT_FALSE(desk->Saved());
    EXPECT_TRUE(desk->CanUndo());
    EXPECT_TRUE(desk->CurrentImage()->Palette->Equals(reds));
    for (const TmyPixel& p : desk->CurrentImage()->Pixels()) {
        EXPECT_EQ(p.G, 0);
        EXPECT_EQ(p.B, 0);
    }
    EXPECT_EQ(QColor(colors()->PaletteGrid().pixel(15, 5)), QColor(1, 0, 0));
    EXPECT_EQ(QColor(preview()->Preview()->Image1()->Picture().pixel(15, 0)),
              Rgb(desk->CurrentImage()->At(15, 0)));

    // The last window gone, the preview lets go of its image.
    desk->SetSaved(true);
    desk->Frame()->close();
    QTest::qWait(0);
    EXPECT_EQ(main->Desks().DeskCount(), 0);
    EXPECT_EQ(preview()->CurrentImage(), nullptr);
}

TEST_F(ProgramTest, EveryTextOfThePanesIsInTheEnglishLanguageFile) {
    start();
    std::set<std::tuple<QString, QString, QString>> seen;
    TTranslator walk([&](const QString& section, const QString& key, const QString& def) {
        seen.insert({section, key, def});
        return def;
    });
    walk.TranslateApplication(main->Forms().All());
    IniFile english;
    ASSERT_TRUE(english.LoadFromFile(VELTO_SOURCE_DIR "/lang/English.lng"));
    int checked = 0;
    for (const auto& [section, key, def] : seen) {
        if (section != "frmColors" && section != "frmPreview" && section != "frmChangePal" && section != "frmImageBig")
            continue;
        ++checked;
        EXPECT_EQ(QString::fromStdString(english.ReadString(section.toStdString(), key.toStdString(), "\x01missing")), def)
            << "[" << section.toStdString() << "] " << key.toStdString();
    }
    EXPECT_GT(checked, 25);
}

}  // namespace
}  // namespace velto::test
