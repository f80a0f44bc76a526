// Settings: every key of "config.cfg" with its default, reading back what
// was written, byte truncation, favourites, and saving that keeps foreign
// keys and never replaces a file it could not read.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/IniFile.h"
#include "shell/Options.h"
#include "core/SysUtils.h"
#include "GuiTestApp.h"

using namespace velto;

namespace {

// Lines "Section Key=Value Key=Value ..." as an INI text.
std::string iniText(const char* table) {
    std::istringstream lines(table);
    std::string line, out;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string w;
        words >> w;
        out += "[" + w + "]\n";
        while (words >> w) out += w + "\n";
    }
    return out;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// What a first start on an 800-pixel screen writes (BatchOutput, the home
// folder, is checked on its own).
constexpr const char* kDefaults =
    "MainForm Top=0 Left=0 Height=480 Width=640 Maximized=1 ToolbarVisible=1 LocalToolbarVisible=1 "
    "StatusbarVisible=1 SidebarVisible=1 AreaLeft=0 AreaTop=0 AreaWidth=0 AreaHeight=0\n"
    "ToolsForm Visible=1 Top=234 Left=565\n"
    "ColorsForm Visible=1 Top=234 Left=629 ShowRGB=1 ForeColorBlue=0 ForeColorAlpha=255 ForeColorGreen=0 "
    "ForeColorRed=0 BackColorBlue=0 BackColorAlpha=0 BackColorGreen=0 BackColorRed=0 FavoritColorPosition=0\n"
    "PrevForm Visible=1 Top=64 Left=565 Height=170 Width=235\n"
    "ExplorerForm Visible=1 Top=64 Left=0 Width=244 Height=0 TreeHeight=176 ThumbSize=100 ShowLabel=0\n"
    "Grid Visible=0 ColorRed=192 ColorGreen=192 ColorBlue=192 Style=1\n"
    "General BKSize=4 Color1Red=255 Color1Green=255 Color1Blue=255 Color2Red=235 Color2Green=235 Color2Blue=235 "
    "PaletteAction=2 ClipboardAction=3 ImportAction=2 NewIcon=0 SelectedIndex=2 PrevColorRed=255 "
    "PrevColorGreen=255 PrevColorBlue=255 FilterOnAlpha=1 SmoothEdges=0 KeepAspectRatio=1 ClearClipboard=1 "
    "Language=English ExportAlpha=1 TransparentSelection=1 AllowDragAndDrop=1 ShowTips=1 Dithering=1 "
    "Autozoom=1 EffectOnAllImages=0 Overimpose=0 RecentFile1= RecentFile10=\n";

class OptionsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::string path(const char* name = "config.cfg") const { return dir.filePath(name).toStdString(); }
};

}  // namespace

TEST_F(OptionsTest, FirstStartWritesEveryKeyWithItsDefault) {
    TOptions o(800);
    EXPECT_EQ(o.Load(path()), TOptions::LoadState::Missing);
    EXPECT_EQ(o.BatchOutput, GetHomeFolder());
    EXPECT_FALSE(o.SavePngOption);
    ASSERT_TRUE(o.Save());
    IniFile saved, expected;
    saved.LoadFromFile(path());
    expected.Parse(iniText(kDefaults));
    std::size_t keys = 0, expectedKeys = 0;
    for (const std::string& section : expected.ReadSections())
        for (const std::string& key : expected.ReadSection(section)) {
            ++expectedKeys;
            EXPECT_EQ(saved.ReadString(section, key, "<missing>"), expected.ReadString(section, key, ""))
                << section << "/" << key;
        }
    for (const std::string& section : saved.ReadSections()) keys += saved.ReadSection(section).size();
    EXPECT_EQ(keys, expectedKeys + 1 + 8);  // BatchOutput, RecentFile2..9: no stray keys
    EXPECT_EQ(saved.ReadString("General", "BatchOutput", ""), GetHomeFolder());
}

TEST_F(OptionsTest, EveryKeyIsReadAndWrittenBackInPlace) {
    const std::string text = iniText(
        "MainForm Top=11 Left=-12 Height=13 Width=14 Maximized=0 ToolbarVisible=0 LocalToolbarVisible=0 "
        "StatusbarVisible=0 SidebarVisible=0 AreaLeft=15 AreaTop=16 AreaWidth=17 AreaHeight=18\n"
        "ToolsForm Visible=0 Top=21 Left=22\n"
        "ColorsForm Visible=0 Top=31 Left=32 ShowRGB=0 ForeColorBlue=3 ForeColorAlpha=4 ForeColorGreen=2 "
        "ForeColorRed=1 BackColorBlue=7 BackColorAlpha=8 BackColorGreen=6 BackColorRed=5 FavoritColorPosition=9\n"
        "PrevForm Visible=0 Top=41 Left=42 Height=43 Width=44\n"
        "ExplorerForm Visible=0 Top=51 Left=52 Width=53 Height=54 TreeHeight=55 ThumbSize=56 ShowLabel=1\n"
        "Grid Visible=1 ColorRed=61 ColorGreen=62 ColorBlue=63 Style=2\n"
        "General BKSize=8 Color1Red=71 Color1Green=72 Color1Blue=73 Color2Red=74 Color2Green=75 Color2Blue=76 "
        "PaletteAction=0 ClipboardAction=1 ImportAction=0 NewIcon=1 SelectedIndex=5 PrevColorRed=81 "
        "PrevColorGreen=82 PrevColorBlue=83 FilterOnAlpha=0 SmoothEdges=1 KeepAspectRatio=0 ClearClipboard=0 "
        "Language=Deutsch ExportAlpha=0 TransparentSelection=0 AllowDragAndDrop=0 ShowTips=0 Dithering=0 "
        "Autozoom=0 BatchOutput=/srv/out EffectOnAllImages=1 Overimpose=1 RecentFile1=/1.cur RecentFile2=/2.cur "
        "RecentFile3= RecentFile4= RecentFile5= RecentFile6= RecentFile7= RecentFile8= RecentFile9= "
        "RecentFile10=/10.ani FavoriteDir0=/f0 FavoriteDir1=/f1\n"
        "Import Last=/x.png\n");
    writeText(path(), "; own notes\n" + text);
    TOptions o(800);
    ASSERT_EQ(o.Load(path()), TOptions::LoadState::Loaded);
    EXPECT_EQ(o.MainLeft, -12);
    EXPECT_TRUE(o.ForeColor == TmyPixel::CreateRGBA(1, 2, 3, 4));
    EXPECT_EQ(o.BKColor2, MakeColor(74, 75, 76));
    EXPECT_TRUE(o.ExplorerShowLabel && !o.ShowTips);
    EXPECT_EQ(o.FavoriteDirs, (std::vector<std::string>{"/f0", "/f1"}));
    // Every value read went back under its own key: the file is unchanged,
    // foreign lines included.
    ASSERT_TRUE(o.Save());
    EXPECT_EQ(readText(path()), "; own notes\n" + text);
}

TEST_F(OptionsTest, BytesKeepTheLowBitsAndWhatIsNoNumberKeepsTheDefault) {
    writeText(path(), iniText("Grid Style=300 ColorRed=258\n"
                              "General BKSize=-1 PaletteAction=abc ClipboardAction=12abc ShowTips=maybe "
                              "BatchOutput=c:\\\n"));
    TOptions o(1000);
    o.Load(path());
    EXPECT_EQ(o.GridStyle, 44);
    EXPECT_EQ(ColorR(o.GridColor), 2);
    EXPECT_EQ(o.BKSize, 255);
    EXPECT_EQ(o.PaletteAction, 2);
    EXPECT_EQ(o.ClipboardAction, 3);
    EXPECT_TRUE(o.ShowTips);
    EXPECT_EQ(o.BatchOutput, GetHomeFolder());  // a drive path means nothing here
    EXPECT_EQ(o.ToolsLeft, 765);
    o.SetRecentFile(0, "/x");
    o.SetRecentFile(11, "/y");
    EXPECT_EQ(o.GetRecentFile(0) + o.GetRecentFile(11), "");
}

TEST_F(OptionsTest, RemovedFavouritesDoNotComeBack) {
    writeText(path(), "[General]\nFavoriteDir0=/a\nFavoriteDir2=/c\n");
    TOptions o(800);
    o.Load(path());
    EXPECT_EQ(o.FavoriteDirs, (std::vector<std::string>{"/a"}));  // the list ends at the gap
    // Two folders kept later: the old third key must not join them.
    o.FavoriteDirs = {"/a", "/b"};
    ASSERT_TRUE(o.Save());
    o.Load(path());
    EXPECT_EQ(o.FavoriteDirs, (std::vector<std::string>{"/a", "/b"}));

    writeText(path(), "[General]\nFavoriteDir0=/a\nFavoriteDir1=/b\nfavoritedir2=/c\nFavoriteDir03=/keep\n");
    o.Load(path());
    o.FavoriteDirs = {"", "/d"};  // an empty entry would end the list early
    ASSERT_TRUE(o.Save());
    o.Load(path());
    EXPECT_EQ(o.FavoriteDirs, (std::vector<std::string>{"/d"}));
    const std::string text = readText(path());
    EXPECT_EQ(text.find("/c"), std::string::npos);
    EXPECT_NE(text.find("FavoriteDir03=/keep"), std::string::npos);  // not a key the list reads
}

TEST_F(OptionsTest, AFileThatCannotBeReadIsNeverReplaced) {
    const std::string big = "[General]\nLanguage=Deutsch\n" + std::string(IniFile::kMaxFileSize, 'x');
    writeText(path(), big);
    std::filesystem::create_directory(path("folder.cfg"));
    for (const char* name : {"config.cfg", "folder.cfg"}) {
        SCOPED_TRACE(name);
        TOptions o(800);
        EXPECT_EQ(o.Load(path(name)), TOptions::LoadState::Unreadable);
        EXPECT_EQ(o.Language, "English");
        EXPECT_FALSE(o.Save());
    }
    EXPECT_EQ(std::filesystem::file_size(path()), big.size());
    EXPECT_FALSE(TOptions(800).Save());  // no settings folder known
    // A missing folder is created; no temporary file stays behind.
    TOptions fresh(800);
    fresh.Load(path("Velto/config.cfg"));
    ASSERT_TRUE(fresh.Save());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path("Velto")), {}), 1);
}

// Settings kept elsewhere (a folder of the user's own, under version control)
// through a link: saving changes that file and keeps the link.
TEST_F(OptionsTest, SavingThroughALinkChangesTheLinkedFileAndKeepsTheLink) {
    std::filesystem::create_directory(path("dotfiles"));
    writeText(path("dotfiles/velto.cfg"), "[Mine]\nKeep=1\n");
    std::filesystem::create_symlink("dotfiles/velto.cfg", path());
    TOptions o(800);
    ASSERT_EQ(o.Load(path()), TOptions::LoadState::Loaded);
    o.Language = "Deutsch";
    ASSERT_TRUE(o.Save());
    ASSERT_TRUE(std::filesystem::is_symlink(path()));
    EXPECT_EQ(std::filesystem::read_symlink(path()), "dotfiles/velto.cfg");
    const std::string text = readText(path("dotfiles/velto.cfg"));
    EXPECT_NE(text.find("Keep=1"), std::string::npos);
    EXPECT_NE(text.find("Language=Deutsch"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path("dotfiles")), {}), 1);
    TOptions back(800);
    ASSERT_EQ(back.Load(path()), TOptions::LoadState::Loaded);
    EXPECT_EQ(back.Language, "Deutsch");
}

// The global settings: created after the application object, from the user's
// settings folder and the screen's width (offscreen: 800).
TEST(OptionsGlobal, CreatedAfterTheApplicationFromTheUserSettingsFolder) {
    test::EnsureGuiApp();
    QTemporaryDir home;
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    FreeOptions();
    Options().ShowTips = false;
    EXPECT_EQ(Options().ColorsLeft, 629);
    EXPECT_TRUE(Options().Save());
    FreeOptions();
    EXPECT_FALSE(Options().ShowTips);
    EXPECT_EQ(Options().FileName(), home.filePath("Velto/config.cfg").toStdString());
    FreeOptions();
    if (old.isNull()) qunsetenv("XDG_CONFIG_HOME");
    else qputenv("XDG_CONFIG_HOME", old);
}
