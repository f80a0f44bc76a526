// Settings: every key of "config.cfg" under its exact section and name, the
// defaults of a first start, byte truncation, the favourite-folder list, and
// saving that keeps foreign keys and never replaces a file it could not read.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/IniFile.h"
#include "shell/Options.h"
#include "shell/core/SysUtils.h"

using namespace velto;

namespace {

QApplication* guiApp() {
    if (!QApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_shell";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);  // lives until the process ends
    }
    return qApp;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class OptionsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string path(const char* name = "config.cfg") const { return dir.filePath(name).toStdString(); }
};

}  // namespace

TEST_F(OptionsTest, FirstStartGivesTheDefaultsAndPanesMeasuredFromTheRightScreenEdge) {
    TOptions o(800);
    EXPECT_EQ(o.Load(path()), TOptions::LoadState::Missing);
    EXPECT_EQ(o.MainTop, 0);
    EXPECT_EQ(o.MainHeight, 480);
    EXPECT_EQ(o.MainWidth, 640);
    EXPECT_TRUE(o.MainMaximized && o.ToolbarVisible && o.LocalToolbarVisible && o.StatusbarVisible && o.SidebarVisible);
    EXPECT_EQ(o.ToolsLeft, 565);
    EXPECT_EQ(o.ColorsLeft, 629);
    EXPECT_EQ(o.PrevLeft, 565);
    EXPECT_EQ(o.ToolsTop, 234);
    EXPECT_EQ(o.ColorsTop, 234);
    EXPECT_EQ(o.PrevTop, 64);
    EXPECT_EQ(o.PrevHeight, 170);
    EXPECT_EQ(o.PrevWidth, 235);
    EXPECT_EQ(o.ExplorerWidth, 244);
    EXPECT_EQ(o.ExplorerHeight, 0);
    EXPECT_EQ(o.ExplorerTreeHeight, 176);
    EXPECT_EQ(o.ExplorerThumbSize, 100);
    EXPECT_FALSE(o.ExplorerShowLabel);
    EXPECT_TRUE(o.ForeColor == TmyPixel::CreateRGBA(0, 0, 0, 255));
    EXPECT_TRUE(o.BackColor == TmyPixel::CreateRGBA(0, 0, 0, 0));
    EXPECT_FALSE(o.GridVisible);
    EXPECT_EQ(o.GridColor, MakeColor(192, 192, 192));
    EXPECT_EQ(o.GridStyle, 1);
    EXPECT_EQ(o.BKSize, 4);
    EXPECT_EQ(o.BKColor1, MakeColor(255, 255, 255));
    EXPECT_EQ(o.BKColor2, MakeColor(235, 235, 235));
    EXPECT_EQ(o.PaletteAction, 2);
    EXPECT_EQ(o.ClipboardAction, 3);
    EXPECT_EQ(o.ImportAction, 2);
    EXPECT_EQ(o.SelectedIndex, 2);
    EXPECT_EQ(o.PrevColor, MakeColor(255, 255, 255));
    EXPECT_TRUE(o.FilterOnAlpha && o.KeepAspectRatio && o.ClearClipboard && o.ExportAlpha && o.TransparentSelection &&
                o.AllowDragAndDrop && o.ShowTips && o.Dithering && o.Autozoom);
    EXPECT_FALSE(o.SmoothEdges || o.NewIcon || o.EffectOnAllImages || o.Overimpose || o.SavePngOption);
    EXPECT_EQ(o.Language, "English");
    EXPECT_EQ(o.BatchOutput, GetHomeFolder());
    EXPECT_TRUE(o.FavoriteDirs.empty());
    EXPECT_EQ(o.GetRecentFile(1), "");
}

TEST_F(OptionsTest, EveryKeyIsReadFromItsSectionAndName) {
    // Names written in other letter cases and in an order of their own: the
    // settings file follows the profile rules of the INI class.
    writeText(path(),
              "[mainform]\nTop=11\nLeft=12\nHeight=13\nWidth=14\nMaximized=0\nToolbarVisible=0\n"
              "LocalToolbarVisible=0\nStatusbarVisible=0\nSidebarVisible=0\n"
              "[ToolsForm]\nVisible=0\nTop=21\nLeft=22\n"
              "[ColorsForm]\nVisible=0\nTop=31\nLeft=32\nShowRGB=0\nForeColorRed=1\nForeColorGreen=2\n"
              "ForeColorBlue=3\nForeColorAlpha=4\nBackColorRed=5\nBackColorGreen=6\nBackColorBlue=7\n"
              "BackColorAlpha=8\nFavoritColorPosition=9\n"
              "[PrevForm]\nVisible=0\nTop=41\nLeft=42\nHeight=43\nWidth=44\n"
              "[ExplorerForm]\nVisible=0\nTop=51\nLeft=52\nWidth=53\nHeight=54\nTreeHeight=55\nThumbSize=56\n"
              "ShowLabel=1\n"
              "[Grid]\nVisible=1\nColorRed=61\nColorGreen=62\nColorBlue=63\nStyle=2\n"
              "[General]\nBKSize=8\nColor1Red=71\nColor1Green=72\nColor1Blue=73\nColor2Red=74\nColor2Green=75\n"
              "Color2Blue=76\nPaletteAction=0\nClipboardAction=1\nImportAction=0\nNewIcon=1\nSelectedIndex=5\n"
              "PrevColorRed=81\nPrevColorGreen=82\nPrevColorBlue=83\nFilterOnAlpha=0\nSmoothEdges=1\n"
              "KeepAspectRatio=0\nClearClipboard=0\nLanguage=Deutsch\nExportAlpha=0\nTransparentSelection=0\n"
              "AllowDragAndDrop=0\nShowTips=0\nDithering=0\nAutozoom=0\nBatchOutput=/srv/out\n"
              "EffectOnAllImages=1\nOverimpose=1\nRecentFile1=/a.cur\nRecentFile10=/j.ani\n"
              "FavoriteDir0=/f0\nFavoriteDir1=/f1\n");
    TOptions o(800);
    ASSERT_EQ(o.Load(path()), TOptions::LoadState::Loaded);
    EXPECT_EQ((std::vector<int>{o.MainTop, o.MainLeft, o.MainHeight, o.MainWidth}), (std::vector<int>{11, 12, 13, 14}));
    EXPECT_FALSE(o.MainMaximized || o.ToolbarVisible || o.LocalToolbarVisible || o.StatusbarVisible || o.SidebarVisible);
    EXPECT_EQ((std::vector<int>{o.ToolsTop, o.ToolsLeft, o.ColorsTop, o.ColorsLeft}), (std::vector<int>{21, 22, 31, 32}));
    EXPECT_FALSE(o.ToolsVisible || o.ColorsVisible || o.ShowRGB || o.PrevVisible || o.ExplorerVisible);
    EXPECT_TRUE(o.ForeColor == TmyPixel::CreateRGBA(1, 2, 3, 4));
    EXPECT_TRUE(o.BackColor == TmyPixel::CreateRGBA(5, 6, 7, 8));
    EXPECT_EQ(o.FavoritColorPosition, 9);
    EXPECT_EQ((std::vector<int>{o.PrevTop, o.PrevLeft, o.PrevHeight, o.PrevWidth}), (std::vector<int>{41, 42, 43, 44}));
    EXPECT_EQ((std::vector<int>{o.ExplorerTop, o.ExplorerLeft, o.ExplorerWidth, o.ExplorerHeight,
                                o.ExplorerTreeHeight, o.ExplorerThumbSize}),
              (std::vector<int>{51, 52, 53, 54, 55, 56}));
    EXPECT_TRUE(o.ExplorerShowLabel && o.GridVisible && o.NewIcon && o.SmoothEdges && o.EffectOnAllImages && o.Overimpose);
    EXPECT_EQ(o.GridColor, MakeColor(61, 62, 63));
    EXPECT_EQ(o.GridStyle, 2);
    EXPECT_EQ(o.BKSize, 8);
    EXPECT_EQ(o.BKColor1, MakeColor(71, 72, 73));
    EXPECT_EQ(o.BKColor2, MakeColor(74, 75, 76));
    EXPECT_EQ((std::vector<int>{o.PaletteAction, o.ClipboardAction, o.ImportAction, o.SelectedIndex}),
              (std::vector<int>{0, 1, 0, 5}));
    EXPECT_EQ(o.PrevColor, MakeColor(81, 82, 83));
    EXPECT_FALSE(o.FilterOnAlpha || o.KeepAspectRatio || o.ClearClipboard || o.ExportAlpha || o.TransparentSelection ||
                 o.AllowDragAndDrop || o.ShowTips || o.Dithering || o.Autozoom);
    EXPECT_EQ(o.Language, "Deutsch");
    EXPECT_EQ(o.BatchOutput, "/srv/out");
    EXPECT_EQ(o.GetRecentFile(1), "/a.cur");
    EXPECT_EQ(o.GetRecentFile(10), "/j.ani");
    EXPECT_EQ(o.FavoriteDirs, (std::vector<std::string>{"/f0", "/f1"}));
    EXPECT_FALSE(o.SavePngOption);
}

TEST_F(OptionsTest, ValuesOutOfRangeOrNotNumbersAndForeignFolders) {
    writeText(path(),
              "[Grid]\nStyle=300\nColorRed=258\n[General]\nBKSize=-1\nPaletteAction=abc\nClipboardAction=12abc\n"
              "ImportAction=\nShowTips=maybe\nBatchOutput=c:\\\n"
              "[MainForm]\nHeight=0x20\nWidth=99999999999\n");
    TOptions o(1000);
    o.Load(path());
    EXPECT_EQ(o.GridStyle, 44);  // the low 8 bits of 300
    EXPECT_EQ(ColorR(o.GridColor), 2);
    EXPECT_EQ(o.BKSize, 255);
    EXPECT_EQ(o.PaletteAction, 2);  // not a number: the default
    EXPECT_EQ(o.ClipboardAction, 3);
    EXPECT_EQ(o.ImportAction, 2);
    EXPECT_TRUE(o.ShowTips);
    EXPECT_EQ(o.MainHeight, 32);
    EXPECT_EQ(o.MainWidth, 640);
    EXPECT_EQ(o.BatchOutput, GetHomeFolder());  // a drive path means nothing here
    EXPECT_EQ(o.ToolsLeft, 765);
}

TEST_F(OptionsTest, RecentFilesOnlyInOneToTen) {
    TOptions o(800);
    o.SetRecentFile(0, "/x");
    o.SetRecentFile(11, "/y");
    o.SetRecentFile(10, "/z");
    EXPECT_EQ(o.GetRecentFile(0), "");
    EXPECT_EQ(o.GetRecentFile(11), "");
    EXPECT_EQ(o.GetRecentFile(10), "/z");
    ASSERT_TRUE(o.SaveTo(path()));
    const std::string text = readText(path());
    EXPECT_EQ(text.find("/x"), std::string::npos);
    EXPECT_EQ(text.find("/y"), std::string::npos);
    EXPECT_NE(text.find("RecentFile1=\r\n"), std::string::npos);  // empty ones written as empty values
}

TEST_F(OptionsTest, RoundTripKeepsEverySettingAndForeignKeys) {
    writeText(path(), "; own notes\n[General]\nLanguage=English\nPluginPath=/opt/p\n[Import]\nLast=/tmp/x.png\n");
    TOptions o(800);
    o.Load(path());
    o.MainLeft = -20;
    o.MainMaximized = false;
    o.ColorsLeft = 7;
    o.ForeColor = TmyPixel::CreateRGBA(10, 20, 30, 40);
    o.GridColor = MakeColor(1, 2, 3);
    o.ImportAction = 1;
    o.Language = "  Fran\xC3\xA7" "ais  ";
    o.BatchOutput = "/home/u/out dir";
    o.SetRecentFile(3, "/a b/c.ani");
    o.FavoriteDirs = {"/one", "/two"};
    ASSERT_TRUE(o.Save());

    TOptions back(800);
    ASSERT_EQ(back.Load(path()), TOptions::LoadState::Loaded);
    IniFile a, b;
    o.WriteTo(a);
    back.WriteTo(b);
    EXPECT_EQ(a.ToText(), b.ToText());
    EXPECT_EQ(back.Language, o.Language);
    EXPECT_EQ(back.GetRecentFile(3), "/a b/c.ani");
    EXPECT_EQ(back.ColorsLeft, 7);
    EXPECT_TRUE(back.ForeColor == o.ForeColor);

    const std::string text = readText(path());
    EXPECT_NE(text.find("; own notes"), std::string::npos);
    EXPECT_NE(text.find("PluginPath=/opt/p"), std::string::npos);
    EXPECT_NE(text.find("[Import]"), std::string::npos);
    EXPECT_NE(text.find("Maximized=0"), std::string::npos);  // Booleans as 1 and 0
    EXPECT_NE(text.find("ToolbarVisible=1"), std::string::npos);
    // A colour object is written red, green, blue, then alpha.
    const auto red = text.find("ForeColorRed=10"), alpha = text.find("ForeColorAlpha=40");
    EXPECT_TRUE(red != std::string::npos && alpha != std::string::npos && red < alpha);
}

TEST_F(OptionsTest, FavouritesEndAtTheFirstGapAndRemovedOnesStayRemoved) {
    writeText(path(), "[General]\nFavoriteDir0=/a\nFavoriteDir2=/c\n");
    TOptions o(800);
    o.Load(path());
    EXPECT_EQ(o.FavoriteDirs, (std::vector<std::string>{"/a"}));

    // The user later keeps two folders: the old third key must not return.
    o.FavoriteDirs = {"/a", "/b"};
    ASSERT_TRUE(o.Save());
    TOptions again(800);
    again.Load(path());
    EXPECT_EQ(again.FavoriteDirs, (std::vector<std::string>{"/a", "/b"}));

    writeText(path(), "[General]\nFavoriteDir0=/a\nFavoriteDir1=/b\nfavoritedir2=/c\nFavoriteDir3=/d\nFavoriteDir03=/keep\n");
    TOptions shrink(800);
    shrink.Load(path());
    ASSERT_EQ(shrink.FavoriteDirs.size(), 4u);
    shrink.FavoriteDirs = {"/b", "", "/d"};  // an empty entry would end the list early
    ASSERT_TRUE(shrink.Save());
    TOptions back(800);
    back.Load(path());
    EXPECT_EQ(back.FavoriteDirs, (std::vector<std::string>{"/b", "/d"}));
    const std::string text = readText(path());
    EXPECT_EQ(text.find("/c"), std::string::npos);
    EXPECT_EQ(text.find("FavoriteDir3"), std::string::npos);
    EXPECT_NE(text.find("FavoriteDir03=/keep"), std::string::npos);  // never read as a favourite

    back.FavoriteDirs.clear();
    ASSERT_TRUE(back.Save());
    EXPECT_EQ(readText(path()).find("FavoriteDir0="), std::string::npos);
}

TEST_F(OptionsTest, AFileThatCannotBeReadIsNeverReplaced) {
    // Too large to be a settings file: read as defaults, left alone at exit.
    const std::string big(static_cast<std::size_t>(IniFile::kMaxFileSize) + 10, 'x');
    writeText(path(), "[General]\nLanguage=Deutsch\n" + big);
    TOptions o(800);
    EXPECT_EQ(o.Load(path()), TOptions::LoadState::Unreadable);
    EXPECT_EQ(o.Language, "English");
    EXPECT_FALSE(o.Save());
    EXPECT_EQ(std::filesystem::file_size(path()), big.size() + 27);

    // A folder in its place.
    std::filesystem::create_directory(path("dircfg"));
    TOptions d(800);
    EXPECT_EQ(d.Load(path("dircfg")), TOptions::LoadState::Unreadable);
    EXPECT_FALSE(d.Save());
    EXPECT_TRUE(std::filesystem::is_directory(path("dircfg")));

    // No path known (no home folder): nothing is written anywhere.
    TOptions none(800);
    EXPECT_EQ(none.Load(""), TOptions::LoadState::Missing);
    EXPECT_FALSE(none.Save());
}

TEST_F(OptionsTest, SaveCreatesTheSettingsFolderAndReplacesTheFileWhole) {
    const std::string nested = dir.filePath("Velto/sub/config.cfg").toStdString();
    TOptions o(800);
    o.Load(nested);
    ASSERT_TRUE(o.Save());
    EXPECT_TRUE(std::filesystem::is_regular_file(nested));
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(nested).parent_path()))
        EXPECT_EQ(e.path().filename(), "config.cfg") << "temporary file left behind";
}

TEST(OptionsGlobal, CreatedAfterTheApplicationFromTheUserSettingsFolder) {
    guiApp();
    QTemporaryDir home;
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    std::filesystem::create_directories(home.filePath("Velto").toStdString());
    writeText(home.filePath("Velto/config.cfg").toStdString(), "[General]\nLanguage=Polski\n");

    FreeOptions();
    CreateOptions();
    EXPECT_TRUE(OptionsCreated());
    EXPECT_EQ(Options().FileName(), home.filePath("Velto/config.cfg").toStdString());
    EXPECT_EQ(Options().Language, "Polski");
    EXPECT_EQ(Options().ToolsLeft, 565);  // the offscreen screen is 800 wide
    EXPECT_EQ(Options().ColorsLeft, 629);
    Options().ShowTips = false;
    EXPECT_TRUE(Options().Save());
    FreeOptions();
    EXPECT_FALSE(OptionsCreated());
    EXPECT_FALSE(Options().ShowTips);  // created again on first use, from the file
    FreeOptions();

    if (old.isNull()) qunsetenv("XDG_CONFIG_HOME");
    else qputenv("XDG_CONFIG_HOME", old);
}
