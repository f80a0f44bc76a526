// The extraction window through Extract and the main window's opening road:
// the cursor groups of a library as tiles, the chosen ones opened as new
// documents equal to what icotool reads from the groups wrestool extracts,
// captions shown whole, a library without groups, and a group that cannot
// be read.
#include <QLabel>
#include <QPushButton>

#include <filesystem>

#include "../resources/LibraryPeers.h"
#include "DialogsTestSupport.h"
#include "browse/ThumbnailGrid.h"
#include "dialogs/FormExtract.h"
#include "resources/EmptyLibrary.h"
#include "resources/LibrarySave.h"
#include "shell/FileDialogs.h"

using namespace velto;
using namespace velto::test;

namespace {

class ExtractWindowTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        extract = form<TfrmExtract>("frmExtract");
        ASSERT_NE(extract, nullptr);
    }

    std::string Write(const char* name, const restest::Bytes& bytes) {
        const std::string path = dir.filePath(QString::fromLatin1(name)).toStdString();
        restest::WriteFile(path, bytes);
        return path;
    }

    // A library with the groups #1 (one 32 x 32 image, hotspot 3, 4) and #2
    // (32 x 32 and 16 x 16).
    std::string Library() {
        a = Write("a.cur", restest::CursorFile({{32, 32, 3, 4, {}, 1}}));
        b = Write("b.cur", restest::CursorFile({{32, 32, 1, 2, {}, 2}, {16, 16, 5, 6, {}, 7}}));
        const std::string lib = dir.filePath("lib.dll").toStdString();
        EXPECT_TRUE(SaveNewLibrary(MakeEmptyLibrary(), lib,
                                   {{a, ResName::FromId(1), 0}, {b, ResName::FromId(2), 0}}));
        return lib;
    }

    // Extract through the File menu: the dialog chooses path, the window
    // runs work while it is modal.
    void Extract(const std::string& path, const std::function<void()>& work) {
        main->SetFileDialogRunner([&](TFileDialogSpec& spec, QStringList& files) {
            EXPECT_EQ(spec.objectName(), "dlgExtractIcon");
            files = {QString::fromStdString(path)};
            return true;
        });
        OnNextModal([&](QWidget* w) {
            EXPECT_EQ(w, extract);
            work();
            if (extract->isVisible()) extract->close();
        });
        main->Action(QStringLiteral("actnExtract"))->trigger();
    }

    TfrmExtract* extract = nullptr;
    std::string a, b;
};

TEST_F(ExtractWindowTest, TheChosenGroupsOpenAsNewDocumentsEqualToTheirCursorFiles) {
    const std::string lib = Library();
    const int before = main->Desks().DeskCount();
    Extract(lib, [&] {
        TThumbail* grid = extract->Grid();
        ASSERT_EQ(grid->Count(), 2);
        EXPECT_EQ(grid->Item(0).Caption, "Cursor 1 (1)");
        EXPECT_EQ(grid->Item(1).Caption, "Cursor 2 (2)");
        EXPECT_TRUE(extract->ExtractButton()->isEnabled());
        EXPECT_FALSE(extract->NoIconLabel()->isVisible());
        EXPECT_EQ(grid->Selection(), std::vector<int>{0});
        grid->AddToSelection(1);
        extract->ExtractButton()->click();
        EXPECT_FALSE(extract->isVisible());
    });
    ASSERT_EQ(main->Desks().DeskCount(), before + 2);
    // Each document holds what the cursor file of its group holds.
    for (int k = 0; k < 2; ++k) {
        auto* desk = qobject_cast<TfrmDesk*>(main->Desk(before + 1 + k));
        ASSERT_NE(desk, nullptr);
        EXPECT_TRUE(desk->windowTitle().startsWith("Untitled")) << desk->windowTitle().toStdString();
        EXPECT_TRUE(desk->Saved());
        TmyIcon original;
        ASSERT_TRUE(TmyIcoIO(false).LoadFromFile(original, k == 0 ? a : b));
        const TmyIcon& doc = *desk->Document();
        ASSERT_EQ(doc.Count(), original.Count());
        for (int i = 0; i < doc.Count(); ++i) {
            EXPECT_TRUE(doc.Image(i).Equals(original.Image(i))) << k << "/" << i;
            EXPECT_EQ(doc.Image(i).HotSpotX(), original.Image(i).HotSpotX());
            EXPECT_EQ(doc.Image(i).HotSpotY(), original.Image(i).HotSpotY());
        }
    }
}

TEST_F(ExtractWindowTest, CaptionsShowWholeSoThatTheirNumbersAndCountsTellThemApart) {
    a = Write("a.cur", restest::CursorFile({{32, 32, 3, 4, {}, 1}}));
    b = Write("b.cur", restest::CursorFile({{48, 48, 1, 2, {}, 2}, {32, 32, 1, 2, {}, 3}, {16, 16, 5, 6, {}, 7}}));
    std::vector<TStoreEntry> stores;
    for (std::uint16_t id = 1; id <= 12; ++id) stores.push_back({id == 12 ? b : a, ResName::FromId(id), 0});
    const std::string lib = dir.filePath("twelve.dll").toStdString();
    ASSERT_TRUE(SaveNewLibrary(MakeEmptyLibrary(), lib, stores));
    Extract(lib, [&] {
        TThumbail* grid = extract->Grid();
        ASSERT_EQ(grid->Count(), 12);
        EXPECT_EQ(grid->Item(0).Caption, "Cursor 1 (1)");
        EXPECT_EQ(grid->Item(11).Caption, "Cursor 12 (3)");
        EXPECT_GE(grid->ThumbnailSize(), 65);
        const QFontMetrics metrics(grid->font());
        for (int i = 0; i < grid->Count(); ++i) {
            const TThumbnailItem& tile = grid->Item(i);
            EXPECT_EQ(ShortenCaption(tile.Caption, tile.Size, metrics), tile.Caption);
            EXPECT_FALSE(tile.Bitmap.isNull()) << i;
        }
        // Pictures are fitted to the tiles made wider, never enlarged.
        EXPECT_EQ(grid->Item(11).Bitmap.size(), QSize(48, 48));
    });
}

TEST_F(ExtractWindowTest, ALibraryWithoutGroupsSaysSoAndCannotExtract) {
    const std::string empty = Write("empty.dll", MakeEmptyLibrary(true));
    const int before = main->Desks().DeskCount();
    Extract(empty, [&] {
        EXPECT_EQ(extract->Grid()->Count(), 0);
        EXPECT_TRUE(extract->NoIconLabel()->isVisible());
        EXPECT_EQ(extract->NoIconLabel()->text(), "No cursors in the file");
        EXPECT_FALSE(extract->ExtractButton()->isEnabled());
        EXPECT_EQ(extract->ExtractSelected(), 0);
    });
    EXPECT_EQ(main->Desks().DeskCount(), before);
}

TEST_F(ExtractWindowTest, AGroupThatCannotBeReadIsReportedAndTheOthersStillOpen) {
    const std::string lib = Library();
    const int before = main->Desks().DeskCount();
    Extract(lib, [&] {
        TThumbail* grid = extract->Grid();
        ASSERT_EQ(grid->Count(), 2);
        // The first tile names a group the file does not hold (as when the
        // library changed since the window listed it).
        grid->Item(0).ResourceName = "#77";
        grid->AddToSelection(1);
        extract->ExtractSelected();
    });
    EXPECT_EQ(messages, std::vector<std::string>{"Cannot open file"});
    EXPECT_EQ(main->Desks().DeskCount(), before + 1);
    // Nothing of the extraction is left in the settings folder.
    for (const auto& e : std::filesystem::directory_iterator(main->SettingsFolder().toStdString()))
        EXPECT_EQ(e.path().filename().string().find("tmp"), std::string::npos) << e.path();
}

TEST_F(ExtractWindowTest, WrestoolAndIcotoolReadTheGroupsAsTheDocumentsHoldThem) {
    if (!restest::HaveTool("wrestool") || !restest::HaveTool("icotool")) GTEST_SKIP() << "icoutils not installed";
    const std::string lib = Library();
    const int before = main->Desks().DeskCount();
    Extract(lib, [&] {
        extract->Grid()->AddToSelection(1);
        extract->ExtractSelected();
    });
    ASSERT_EQ(main->Desks().DeskCount(), before + 2);
    const std::string list = restest::RunTool("wrestool -l " + restest::Quoted(lib)).out;
    EXPECT_NE(list.find("--type=12 --name=1 "), std::string::npos) << list;
    EXPECT_NE(list.find("--type=12 --name=2 "), std::string::npos) << list;
    for (int k = 0; k < 2; ++k) {
        // Each image as the library stores it (less its hotspot prefix),
        // read by icotool from a cursor file of our document.
        auto* desk = qobject_cast<TfrmDesk*>(main->Desk(before + 1 + k));
        const std::string saved = dir.filePath(QString("doc%1.cur").arg(k)).toStdString();
        ASSERT_TRUE(TmyIcoIO(false).SaveToFile(*desk->Document(), saved, false));
        const std::string ours = restest::RunTool("icotool -l " + restest::Quoted(saved)).out;
        const std::string theirs = restest::RunTool("icotool -l " + restest::Quoted(k == 0 ? a : b)).out;
        auto strip = [](std::string s) {
            std::string out;
            for (std::size_t at = 0, end; at < s.size(); at = end + 1) {
                end = s.find('\n', at);
                if (end == std::string::npos) end = s.size();
                std::string line = s.substr(at, end - at);
                out += line.substr(0, line.find(" --bit-depth")) + line.substr(line.find("--hotspot") == std::string::npos ? line.size() : line.find("--hotspot")) + "\n";
            }
            return out;
        };
        EXPECT_NE(ours.find("--width=32 --height=32"), std::string::npos) << ours;
        EXPECT_NE(ours.find("--hotspot-x="), std::string::npos) << ours;
        EXPECT_EQ(strip(ours), strip(theirs)) << ours << theirs;
    }
}

}  // namespace

namespace {

TEST_F(ExtractWindowTest, EveryTextOfTheWindowIsInTheEnglishLanguageFile) {
    EXPECT_GE(ExpectEnglishTexts({extract}, {"frmExtract"}), 5);
}

}  // namespace
