// The Explorer pane: a folder browsed (pictures and cursors only, in name
// order, hidden and special files left out), the grid filled after the pane
// shows, favourites, and the selection handed to the batch converter and to
// the resource editor (cursor files only); the tree walked by keys while
// tiles fill, and a file whose name is no UTF-8 opened, saved, converted
// from the selection and dragged out under its own bytes.
#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QLineEdit>
#include <QTextEdit>
#include <QFileSystemModel>
#include <QSlider>
#include <QTreeView>

#include <filesystem>
#include <set>

#include <sys/stat.h>

#include "../resources/PeTestImage.h"
#include "DialogsTestSupport.h"
#include "browse/FileNames.h"
#include "browse/ThumbnailGrid.h"
#include "dialogs/FormBatch.h"
#include "dialogs/FormExplorer.h"
#include "dialogs/FormResourceEditor.h"
#include "shell/DockMngr.h"
#include "shell/PaneFrame.h"

using namespace velto;
using namespace velto::test;

namespace {

class ExplorerTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        PaneFrame* pane = main->Forms().Pane(dsExplorer);
        ASSERT_NE(pane, nullptr);
        explorer = qobject_cast<TfrmExplorer*>(pane->Content());
        ASSERT_NE(explorer, nullptr);
        QDir(dir.path()).mkpath("browse/sub");
        folder = dir.filePath("browse");
        Write("b.cur", restest::CursorFile({{32, 32, 1, 1, {}, 3}}));
        Write("a.cur", restest::CursorFile({{16, 16, 0, 0, {}, 4}}));
        Write(".hidden.cur", restest::CursorFile({{16, 16, 0, 0, {}, 4}}));
        restest::Bytes ico = restest::CursorFile({{16, 16, 0, 0, {}, 5}});
        ico[2] = 1;  // an icon file
        Write("c.ico", ico);
        Write("notes.txt", {'n', 'o'});
        ::mkfifo((folder + "/pipe.cur").toLocal8Bit().constData(), 0600);
    }

    void Write(const char* name, const restest::Bytes& bytes) {
        restest::WriteFile((folder + "/" + name).toStdString(), bytes);
    }

    void Browse() {
        explorer->ShowFolder(folder);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !explorer->Grid()->Busy(); }, 10000));
    }

    QStringList Captions() const {
        QStringList out;
        for (int i = 0; i < explorer->Grid()->Count(); ++i) out << explorer->Grid()->Item(i).Caption;
        return out;
    }

    TfrmExplorer* explorer = nullptr;
    QString folder;
};

TEST_F(ExplorerTest, AFolderShowsItsPicturesAndCursorsInNameOrder) {
    Browse();
    EXPECT_EQ(Captions(), QStringList({"a.cur", "b.cur", "c.ico"}));
    EXPECT_EQ(explorer->CurrentFolder(), folder);
    EXPECT_TRUE(explorer->Tree()->isEnabled());
    // The slider sizes the tiles, the caption switch hides the names.
    explorer->SizeSlider()->setValue(60);
    EXPECT_EQ(explorer->Grid()->ThumbnailSize(), 60);
    // Names start hidden and the switch up: the first press shows them.
    EXPECT_FALSE(explorer->Grid()->ShowCaption());
    EXPECT_FALSE(explorer->CaptionAction()->isChecked());
    explorer->CaptionAction()->trigger();
    EXPECT_TRUE(explorer->Grid()->ShowCaption());
    EXPECT_TRUE(explorer->CaptionAction()->isChecked());
    explorer->CaptionAction()->trigger();
    EXPECT_FALSE(explorer->Grid()->ShowCaption());
    EXPECT_FALSE(explorer->CaptionAction()->isChecked());
}

TEST_F(ExplorerTest, ShowingThePaneFillsTheGridFromTheTreesFolder) {
    explorer->Tree()->setCurrentIndex(static_cast<QFileSystemModel*>(explorer->Tree()->model())->index(folder));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !explorer->Grid()->Busy() && explorer->Grid()->Count() == 3; }, 10000));
    explorer->Grid()->Clear();
    if (explorer->isVisible()) main->Action("actExplorer")->trigger();
    main->Action("actExplorer")->trigger();
    ASSERT_TRUE(explorer->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !explorer->Grid()->Busy() && explorer->Grid()->Count() == 3; }, 10000));
}

TEST_F(ExplorerTest, FavouritesKeepOneEntryPerFolderAndOfferToDropAMissingOne) {
    Options().FavoriteDirs.clear();
    explorer->AddFavorite(folder);
    explorer->AddFavorite(folder.toUpper());
    explorer->AddFavorite(folder + "/sub");
    EXPECT_EQ(Options().FavoriteDirs.size(), 2u);
    explorer->FavoriteClick(folder + "/sub");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !explorer->Grid()->Busy(); }, 10000));
    EXPECT_EQ(explorer->CurrentFolder(), folder + "/sub");
    // A favourite that went away: No keeps it, Yes removes it.
    QDir(folder + "/sub").removeRecursively();
    answers = {idNo, idYes};
    explorer->FavoriteClick(folder + "/sub");
    EXPECT_EQ(Options().FavoriteDirs.size(), 2u);
    explorer->FavoriteClick(folder + "/sub");
    EXPECT_EQ(Options().FavoriteDirs, std::vector<std::string>{folder.toStdString()});
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "The folder \"" + (folder + "/sub").toStdString() + "\" does not exist. Remove it from favorites?");
    explorer->DeleteFavorite(folder.toLower() == folder ? folder.toUpper() : folder.toLower());
    EXPECT_TRUE(Options().FavoriteDirs.empty());
}

TEST_F(ExplorerTest, TheSelectionGoesToTheBatchConverterAndOnlyCursorFilesToTheLibrary) {
    Browse();
    main->UpdateActions();
    for (const char* name : {"Action1", "actBatch2", "actIconsToLibrary"})
        EXPECT_FALSE(main->Action(name)->isEnabled()) << name;
    TThumbail* grid = explorer->Grid();
    grid->SelectItem(2);  // c.ico
    grid->AddToSelection(0);  // a.cur
    main->UpdateActions();
    for (const char* name : {"Action1", "actBatch2", "actIconsToLibrary"})
        EXPECT_TRUE(main->Action(name)->isEnabled()) << name;

    auto* batch = form<TfrmBatch>("frmBatch");
    bool shown = false;
    OnNextModal([&](QWidget* w) {
        shown = w == batch;
        EXPECT_EQ(batch->Mode(), TBatchMode::CursorsToImages);
        EXPECT_EQ(batch->Files(), QStringList{folder + "/a.cur"});
        batch->close();
    });
    main->Action("actBatch2")->trigger();
    EXPECT_TRUE(shown);

    OnNextModal([&](QWidget*) {
        EXPECT_EQ(batch->Mode(), TBatchMode::ImagesToCursors);
        EXPECT_EQ(batch->Files(), QStringList({folder + "/c.ico", folder + "/a.cur"}));
        batch->close();
    });
    main->Action("Action1")->trigger();

    auto* editor = form<TfrmResourceEditor>("frmResourceEditor");
    shown = false;
    OnNextModal([&](QWidget* w) {
        shown = w == editor;
        ASSERT_EQ(editor->Grid()->Count(), 1);
        EXPECT_EQ(editor->Grid()->Item(0).FileName, folder + "/a.cur");
        answers.push_back(idNo);
        editor->close();
    });
    main->Action("actIconsToLibrary")->trigger();
    EXPECT_TRUE(shown);
}

TEST_F(ExplorerTest, EachPresetFromTheGridsMenuHoldsTheSelectionAloneHoweverTheWindowClosed) {
    Browse();
    TThumbail* grid = explorer->Grid();
    grid->SelectItem(0);
    grid->AddToSelection(1);
    grid->AddToSelection(2);
    main->UpdateActions();
    auto* menu = explorer->findChild<QMenu*>("pmExtract");
    ASSERT_NE(menu, nullptr);
    auto command = [&](const char* name) -> QAction* {
        for (QAction* a : menu->actions())
            if (a->objectName() == name) return a;
        return nullptr;
    };
    ASSERT_NE(command("Action1"), nullptr);
    auto* batch = form<TfrmBatch>("frmBatch");
    const QStringList all = {folder + "/a.cur", folder + "/b.cur", folder + "/c.ico"};
    // Escape three times (the Cancel button's key), then the title bar's close.
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        bool shown = false;
        OnNextModal([&](QWidget* w) {
            shown = w == batch;
            EXPECT_EQ(batch->Files(), all);
            EXPECT_EQ(batch->FileCount()->text(), "3");
            if (round < 3) {
                QTest::keyClick(batch, Qt::Key_Escape);
                EXPECT_TRUE(batch->Files().isEmpty());
            } else {
                batch->close();
            }
            EXPECT_FALSE(batch->isVisible());
        });
        command("Action1")->trigger();
        EXPECT_TRUE(shown);
    }
    // The other preset after a close that kept the list: its own files only.
    OnNextModal([&](QWidget*) {
        EXPECT_EQ(batch->Files(), QStringList({folder + "/a.cur", folder + "/b.cur"}));
        batch->close();
    });
    command("actBatch2")->trigger();
    OnNextModal([&](QWidget*) {
        EXPECT_EQ(batch->Files(), QStringList({folder + "/a.cur", folder + "/b.cur"}));
        batch->close();
    });
    command("actBatch2")->trigger();
}

TEST_F(ExplorerTest, ArrowKeysWalkTheTreeWhileTilesFill) {
    for (const char* sub : {"sub1", "sub2", "sub3"}) QDir(folder).mkpath(sub);
    for (int i = 0; i < 200; ++i)
        Write(qPrintable(QString("sub1/c%1.cur").arg(i)), restest::CursorFile({{64, 64, 0, 0, {}, 9}}));
    if (!explorer->isVisible()) main->Action("actExplorer")->trigger();
    ASSERT_TRUE(explorer->isVisible());
    Browse();
    QTreeView* tree = explorer->Tree();
    auto* model = static_cast<QFileSystemModel*>(tree->model());
    const QModelIndex at = model->index(folder);
    tree->expand(at);
    // The folders below come in from the model's own thread, then sorted.
    const auto rows = [&] {
        QStringList names;
        for (int r = 0; r < model->rowCount(at); ++r) names << model->fileName(model->index(r, 0, at));
        return names;
    };
    const QStringList below{"sub", "sub1", "sub2", "sub3"};
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows() == below; }, 10000)) << rows().join(",").toStdString();
    explorer->window()->activateWindow();
    tree->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(explorer->window()));
    ASSERT_TRUE(tree->hasFocus());
    for (const char* expected : {"/sub", "/sub1", "/sub2"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        ASSERT_EQ(explorer->CurrentFolder(), folder + expected);
        // The folder's tiles come in while the tree keeps the keys.
        EXPECT_TRUE(tree->isEnabled());
        EXPECT_TRUE(tree->hasFocus());
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !explorer->Grid()->Busy(); }, 10000));
    EXPECT_EQ(explorer->Grid()->Count(), 0);  // sub2 has no files; sub1's fill gave way
}

TEST_F(ExplorerTest, DeleteIsOfferedForAFavouriteOnly) {
    Options().FavoriteDirs.clear();
    Browse();
    QAction* del = explorer->FavoritesMenu()->findChild<QAction*>("actDelFavorite");
    ASSERT_NE(del, nullptr);
    QAction* favourites = explorer->findChild<QAction*>("actFavorites");
    ASSERT_NE(favourites, nullptr);
    favourites->trigger();
    EXPECT_FALSE(del->isEnabled());
    explorer->FavoritesMenu()->hide();
    explorer->AddFavorite(folder + "/sub");
    favourites->trigger();
    EXPECT_FALSE(del->isEnabled());  // the current folder is none
    explorer->FavoritesMenu()->hide();
    explorer->AddFavorite(folder.toUpper());
    favourites->trigger();
    EXPECT_TRUE(del->isEnabled());
    explorer->FavoritesMenu()->hide();
}

TEST_F(ExplorerTest, ATileOfANameThatIsNoUtf8OpensAndSavesItsOwnFile) {
    const std::string raw = folder.toStdString() + "/\xff\xfe-cursor.cur";
    const RawNamesRemoved removed{{raw}};
    restest::WriteFile(raw, restest::CursorFile({{32, 32, 1, 1, {}, 6}}));
    Browse();
    TThumbail* grid = explorer->Grid();
    ASSERT_EQ(grid->Count(), 4);
    const int tile = 3;  // after a.cur, b.cur and c.ico
    EXPECT_TRUE(grid->Item(tile).Caption.endsWith("-cursor.cur"));
    const int before = main->Desks().DeskCount();
    grid->SelectItem(tile);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, grid->ItemRect(tile).center());
    EXPECT_TRUE(messages.empty()) << messages.front();
    ASSERT_EQ(main->Desks().DeskCount(), before + 1);
    TDeskWindow* desk = main->ActiveDesk();
    ASSERT_NE(desk, nullptr);
    EXPECT_EQ(desk->FilePath(), grid->Item(tile).FileName);
    // Saved in place: the same bytes name, no second file beside it.
    const auto names = [&] {
        std::set<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(folder.toStdString()))
            if (e.is_regular_file()) out.insert(e.path().filename().string());
        return out;
    };
    const std::set<std::string> listed = names();
    const auto written = std::filesystem::last_write_time(raw);
    ASSERT_TRUE(main->SaveDocument(qobject_cast<TfrmDesk*>(desk)));
    EXPECT_EQ(names(), listed);
    EXPECT_NE(std::filesystem::last_write_time(raw), written);
}

// A folder with one cursor whose name holds bytes that are no UTF-8.
class BadNameTest : public ExplorerTest {
protected:
    void SetUp() override {
        ExplorerTest::SetUp();
        raw = folder.toStdString() + "/\xff\xfe-bad.cur";
        restest::WriteFile(raw, restest::CursorFile({{32, 32, 1, 1, {}, 6}}));
        removed.paths.push_back(raw);
        Browse();
        ASSERT_EQ(explorer->Grid()->Count(), 4);
        ASSERT_EQ(FileNameBytes(explorer->Grid()->Item(tile).FileName), raw);
        explorer->Grid()->SelectItem(tile);
        main->UpdateActions();
    }

    static std::set<std::string> Listed(const std::string& where) {
        std::set<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(where)) out.insert(e.path().filename().string());
        return out;
    }

    const int tile = 3;  // after a.cur, b.cur and c.ico
    std::string raw;
    std::string out;
    RawNamesRemoved removed;  // goes before the test's folder
};

TEST_F(BadNameTest, TheBatchFromTheSelectionConvertsItAndNamesItsOutputsFromItsBytes) {
    // Into a folder whose own name is no UTF-8 either.
    out = dir.path().toStdString() + "/out-\xe9";
    std::filesystem::create_directory(out);
    removed.paths.push_back(out);
    auto* batch = form<TfrmBatch>("frmBatch");
    const std::pair<const char*, std::string> runs[] = {{"actBatch2", "\xff\xfe-bad_32x32-32.bmp"},
                                                        {"Action1", "\xff\xfe-bad.cur"}};
    for (const auto& [command, output] : runs) {
        SCOPED_TRACE(command);
        bool ran = false;
        const auto work = [&] {
            ASSERT_EQ(batch->Files().size(), 1);
            EXPECT_EQ(FileNameBytes(batch->Files()[0]), raw);
            // The list shows the name readably; the name itself stays whole.
            EXPECT_TRUE(batch->FileList()->item(0)->text().endsWith(QString::fromUtf8("\uFFFD\uFFFD-bad.cur")));
            batch->OutputDir()->setText(FileNameText(out));
            QSignalSpy finished(batch, &TfrmBatch::RunFinished);
            batch->OkButton()->click();
            ASSERT_TRUE(finished.count() > 0 || finished.wait(10000));
            EXPECT_EQ(batch->Log()->toPlainText().split('\n').last(), "Operation completed!")
                << batch->Log()->toPlainText().toStdString();
            batch->OkButton()->click();
            ran = true;
        };
        OnNextModal([&](QWidget*) {
            work();
            if (batch->isVisible()) batch->close();
        });
        main->Action(command)->trigger();
        EXPECT_TRUE(ran);
        const std::set<std::string> listed = Listed(out);
        EXPECT_TRUE(listed.count(output)) << output << " among " << ::testing::PrintToString(listed);
    }
    EXPECT_EQ(Listed(out).size(), 2u);
    EXPECT_EQ(Options().BatchOutput, out);
    EXPECT_TRUE(messages.empty()) << messages.front();
}

TEST_F(BadNameTest, ADraggedTileCarriesAUrlThatReachesTheFileAndOpensItWhenDropped) {
    std::unique_ptr<QMimeData> data(explorer->Grid()->MakeDragData());
    // As another program reads the list: the URL's path is the name's bytes.
    QMimeData received;
    received.setData("text/uri-list", data->data("text/uri-list"));
    ASSERT_EQ(received.urls().size(), 1);
    const QUrl url = received.urls()[0];
    EXPECT_EQ(url.scheme(), "file");
    const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    EXPECT_EQ(path.toStdString(), raw);
    EXPECT_EQ(FileNameOfUrl(url), explorer->Grid()->Item(tile).FileName);

    // Dropped on the editor, the tile opens its own file.
    const int before = main->Desks().DeskCount();
    QWidget* target = main->DocumentArea()->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(messages.empty()) << messages.front();
    ASSERT_EQ(main->Desks().DeskCount(), before + 1);
    EXPECT_EQ(FileNameBytes(main->ActiveDesk()->FilePath()), raw);
}

}  // namespace
