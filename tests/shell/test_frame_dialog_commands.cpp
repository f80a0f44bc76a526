// The frame commands (reverse, new, delete, delete more, duplicate, next and
// previous), the commands that open a window of a later part, New, the web
// and help pages and the transparent-selection switch, on real document
// windows.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMdiSubWindow>
#include <QTemporaryDir>

#include "CommandFixture.h"
#include "browse/ThumbnailGrid.h"
#include "shell/SelectionControl.h"
#include "shell/DeskList.h"

using namespace velto;
using velto::test::CommandTest;
using velto::test::ScriptedDialog;

namespace {

// The marker colour of frame i (its pixel (0, 0)).
TmyPixel Marker(int i) { return TmyPixel{static_cast<std::uint8_t>(10 + i), 20, 30, 255}; }

class FrameTest : public CommandTest {
protected:
    // An animation of n frames, each marked at (0, 0), or an icon of n sizes.
    TfrmDesk* openMarked(int n, bool animated) {
        if (animated) {
            TmyANI doc;
            for (int i = 0; i < n; ++i) doc.Image(doc.AddImage({8, 8}, 32)).At(0, 0) = Marker(i);
            return openDocument(doc, "marked.ani");
        }
        TmyIcon doc;
        for (int i = 0; i < n; ++i) doc.Image(doc.AddImage({32 - 8 * i, 32 - 8 * i}, 32)).At(0, 0) = Marker(i);
        return openDocument(doc, "marked.ico");
    }
    static std::vector<int> Markers(const TfrmDesk* d) {
        std::vector<int> out;
        for (int i = 0; i < d->ImageCount(); ++i) out.push_back(d->Document()->Image(i).At(0, 0).R - 10);
        return out;
    }
    // A snapshot in the history first, so that the tests see it cleared.
    void makeUndoable(TfrmDesk* d) {
        d->UndoStore().Store(*d->CurrentImage());
        main->UpdateUndoActions();
        ASSERT_TRUE(d->CanUndo());
    }
};

TEST_F(FrameTest, ReverseTurnsTheOrderAndClearsTheHistory) {
    TfrmDesk* d = openMarked(3, true);
    ASSERT_NE(d, nullptr);
    main->UpdateActions();
    EXPECT_TRUE(act("actFramesReverse")->isEnabled());
    makeUndoable(d);
    run("actFramesReverse");
    EXPECT_EQ(Markers(d), (std::vector<int>{2, 1, 0}));
    EXPECT_FALSE(d->Saved());
    EXPECT_FALSE(d->CanUndo());
    EXPECT_EQ(d->SideBar()->Count(), 3);

    TfrmDesk* one = openMarked(1, false);
    ASSERT_NE(one, nullptr);
    main->UpdateActions();
    EXPECT_FALSE(act("actFramesReverse")->isEnabled());
}

TEST_F(FrameTest, DeleteImageAsksAndKeepsTheLastImage) {
    struct Case {
        const char* name;
        int images;
        int answer;
        std::vector<QString> texts;
        int count;
    };
    const Case cases[] = {
        {"the only image", 1, idYes, {"Cannot delete last image!"}, 1},
        {"declined", 3, idNo, {"Delete the current image? (This can not be undone!)"}, 3},
        {"deleted", 3, idYes, {"Delete the current image? (This can not be undone!)"}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        shown.clear();
        TfrmDesk* d = openMarked(c.images, false);
        ASSERT_NE(d, nullptr);
        d->SetCurrentImage(c.images - 1);
        makeUndoable(d);
        answers = {c.answer};
        // The menu command is disabled with one image; the window's own delete button follows it.
        main->UpdateActions();
        EXPECT_EQ(d->LocalAction("actDelImage")->isEnabled(), c.images > 1);
        // Run the handler even where the menu would not (the message of the only image).
        act("actndelimage")->setEnabled(true);
        run("actndelimage");
        ASSERT_EQ(shown.size(), int(c.texts.size()));
        EXPECT_EQ(shown[0].text, c.texts[0]);
        EXPECT_EQ(shown[0].kind, c.images > 1 ? mkConfirm : mkWarning);
        EXPECT_EQ(shown[0].buttons, c.images > 1 ? mbYes | mbNo : mbOK);
        EXPECT_EQ(d->ImageCount(), c.count);
        const bool deleted = c.count < c.images;
        EXPECT_EQ(d->Saved(), !deleted);
        EXPECT_EQ(d->CanUndo(), !deleted);
        if (deleted) {
            EXPECT_EQ(Markers(d), (std::vector<int>{0, 1}));
            EXPECT_EQ(d->SideBar()->Count(), 2);
            EXPECT_EQ(d->ImagesCombo()->count(), 2);
            // The first image becomes current.
            EXPECT_EQ(d->ItemIndex(), 0);
            EXPECT_EQ(d->Zoom(), d->CurrentImage()->Zoom);
            EXPECT_TRUE(act("actnnext")->isEnabled());
            EXPECT_FALSE(act("actnPrev")->isEnabled());
        }
        d->SetSaved(true);
        d->Frame()->close();
    }
}

TEST_F(FrameTest, DeleteMoreRefreshesAndMarksTheDocumentOnlyWhenImagesWent) {
    TfrmDesk* d = openMarked(3, false);
    ASSERT_NE(d, nullptr);
    ScriptedDialog* dlg = forms["frmDelete"];
    ASSERT_NE(dlg, nullptr);
    makeUndoable(d);
    // Left without deleting: nothing to save.
    dlg->onExec = [](ScriptedDialog&) {};
    run("actDeleteMore");
    EXPECT_EQ(runs, QStringList{"frmDelete"});
    EXPECT_TRUE(d->Saved());
    // Deleting the first two images.
    dlg->onExec = [d](ScriptedDialog&) {
        d->Document()->Delete(0);
        d->Document()->Delete(0);
    };
    run("actDeleteMore");
    EXPECT_EQ(d->ImageCount(), 1);
    EXPECT_EQ(Markers(d), std::vector<int>{2});
    EXPECT_FALSE(d->Saved());
    EXPECT_FALSE(d->CanUndo());
    EXPECT_EQ(d->SideBar()->Count(), 1);
    EXPECT_EQ(d->Zoom(), d->CurrentImage()->Zoom);
}

TEST_F(FrameTest, DuplicateCopiesTheCurrentFrameOfAnAnimationOnly) {
    TfrmDesk* icon = openMarked(2, false);
    ASSERT_NE(icon, nullptr);
    main->UpdateActions();
    EXPECT_FALSE(act("actDuplicateImage")->isEnabled());

    TfrmDesk* d = openMarked(3, true);
    ASSERT_NE(d, nullptr);
    main->UpdateActions();
    EXPECT_TRUE(act("actDuplicateImage")->isEnabled());
    d->SetCurrentImage(1);
    makeUndoable(d);
    run("actDuplicateImage");
    ASSERT_EQ(d->ImageCount(), 4);
    // A frame of the animation's one format goes after the others.
    EXPECT_EQ(d->ItemIndex(), 3);
    EXPECT_TRUE(d->Document()->Image(3).Equals(d->Document()->Image(1)));
    EXPECT_FALSE(d->Saved());
    EXPECT_FALSE(d->CanUndo());
    EXPECT_EQ(d->SideBar()->Count(), 4);
    EXPECT_EQ(d->SideBar()->Item(3).Caption, "Frame 3");
}

TEST_F(FrameTest, NextAndPreviousWalkTheImagesAndClearTheHistory) {
    TfrmDesk* d = openMarked(3, true);
    ASSERT_NE(d, nullptr);
    struct Step {
        const char* command;
        int index;
        bool next, prev;
    };
    const Step steps[] = {
        {"actnnext", 1, true, true},
        {"actnnext", 2, false, true},
        {"actnPrev", 1, true, true},
        {"actnPrev", 0, true, false},
    };
    main->UpdateImageNavigation();
    EXPECT_TRUE(act("actnnext")->isEnabled());
    EXPECT_FALSE(act("actnPrev")->isEnabled());
    for (const Step& s : steps) {
        SCOPED_TRACE(std::string(s.command) + " to " + std::to_string(s.index));
        makeUndoable(d);
        run(s.command);
        EXPECT_EQ(d->ItemIndex(), s.index);
        EXPECT_EQ(d->ImagesCombo()->currentIndex(), s.index);
        EXPECT_EQ(d->SideBar()->FirstSelected(), s.index);
        EXPECT_FALSE(d->CanUndo());
        EXPECT_FALSE(act("actnUndo")->isEnabled());
        EXPECT_EQ(act("actnnext")->isEnabled(), s.next);
        EXPECT_EQ(act("actnPrev")->isEnabled(), s.prev);
    }
    // Moving past the ends changes nothing.
    act("actnPrev")->setEnabled(true);
    run("actnPrev");
    EXPECT_EQ(d->ItemIndex(), 0);
}

// A selection floating over the current frame drops into it before another
// frame becomes current.
TEST_F(FrameTest, FrameCommandsDropTheSelectionIntoTheImageItFloatsOver) {
    velto::test::PixelSelection sel;
    main->SetSelection(&sel);
    TfrmDesk* d = openMarked(3, true);
    ASSERT_NE(d, nullptr);
    for (const char* command : {"actnnext", "actFramesReverse", "actDuplicateImage"}) {
        SCOPED_TRACE(command);
        sel.empty = false;
        sel.owner = d->Tag;
        const int commits = sel.commits;
        run(command);
        EXPECT_GT(sel.commits, commits);
        EXPECT_TRUE(sel.empty);
    }
    main->SetSelection(&selection);
}

// ---------------------------------------------------------------- windows of later parts

TEST_F(CommandTest, DialogCommandsShowTheirWindowModally) {
    const std::pair<const char*, const char*> commands[] = {
        {"actnAbout", "frmAbout"},         {"actnBrightness", "frmBrightness"}, {"ActnHue", "frmHue"},
        {"actnColor", "frmColorBalance"},  {"actPreferences", "frmOptions"},    {"actnProp", "frmProperties"},
        {"actnDim", "frmDimension"},       {"actRotateFree", "frmRotate"},      {"actUpdate", "frmUpdate"},
        {"actOpacity", "frmOpacity"},      {"actAdvancedShadow", "frmShadow"},  {"actFadeout", "frmFadeout"},
        {"actCustom", "frmFilter"},        {"actTips", "frmTips"},              {"actDeleteMore", "frmDelete"},
        {"actnnewimage", "frmNewImage"},
    };
    TfrmDesk* d = openIcon({Pattern({16, 16}, 32), Pattern({8, 8}, 32)});
    ASSERT_NE(d, nullptr);
    main->UpdateActions();
    for (const auto& [command, form] : commands) {
        SCOPED_TRACE(command);
        runs.clear();
        ASSERT_TRUE(act(command)->isEnabled());
        run(command);
        EXPECT_EQ(runs, QStringList{form});
    }
    // New Image adds to the open document.
    EXPECT_EQ(forms["frmNewImage"]->modes, std::vector<bool>{true});
    // A window no part has built yet is not shown.
    runs.clear();
    EXPECT_EQ(ShowModalForm("frmResourceEditor"), 0);
    run("actResEditor");
    EXPECT_TRUE(runs.isEmpty());
    EXPECT_TRUE(IsStandInForm(main->Forms().Form("frmResourceEditor")));
    EXPECT_FALSE(IsStandInForm(main->Forms().Form("frmAbout")));
    forms["frmAbout"]->result = 0;
    EXPECT_EQ(ShowModalForm("frmAbout"), 0);
    forms["frmAbout"]->result = 1;
    EXPECT_EQ(ShowModalForm("frmAbout"), 1);
}

// ---------------------------------------------------------------- New

TEST_F(CommandTest, NewShowsTheWindowOnlyOnceTheDialogAddedItsFirstImage) {
    ScriptedDialog* dlg = forms["frmNewImage"];
    ASSERT_NE(dlg, nullptr);
    struct Case {
        const char* name;
        std::function<void(ScriptedDialog&)> dialog;
        int windows;
    };
    // What the New Image window does on OK and on Cancel.
    auto ok = [this](ScriptedDialog& self) {
        auto* desk = qobject_cast<TfrmDesk*>(main->ActiveDesk());
        desk->Document()->InsertSorted({32, 32}, 32);
        desk->UpdateImageList(true);
        self.added = true;
    };
    auto cancel = [this](ScriptedDialog& self) {
        self.added = false;
        main->StepCascadeBack();
        main->ActiveDesk()->Frame()->close();
    };
    const Case cases[] = {
        {"OK", ok, 1},
        {"Cancel closes the empty window", cancel, 0},
        {"left without an image", [](ScriptedDialog& self) { self.added = false; }, 0},
    };
    // One window stays open, so that the cascade goes on from it.
    TfrmDesk* keep = openIcon({Pattern({8, 8}, 32)});
    ASSERT_NE(keep, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        while (main->Desks().DeskCount() > 1) {
            main->ActiveDesk()->SetSaved(true);
            main->ActiveDesk()->Frame()->close();
        }
        QApplication::processEvents();
        dlg->modes.clear();
        dlg->onExec = c.dialog;
        const int cascade = main->Desks().CascadeIndex();
        run("actnNew");
        EXPECT_EQ(dlg->modes, std::vector<bool>{false});
        EXPECT_EQ(main->Desks().DeskCount(), 1 + c.windows);
        if (c.windows) {
            TDeskWindow* desk = main->ActiveDesk();
            ASSERT_NE(desk, nullptr);
            EXPECT_TRUE(desk->Frame()->isVisible());
            EXPECT_EQ(desk->ImageCount(), 1);
            EXPECT_TRUE(desk->windowTitle().startsWith("Untitled - "));
        } else {
            // The cascade step of the window that went is given back once,
            // and the window of before is active again.
            EXPECT_EQ(main->Desks().CascadeIndex(), cascade);
            EXPECT_EQ(main->ActiveDesk(), keep);
        }
    }
}

// Without a New Image window (or when it adds nothing) the user is back in
// the window that was active before.
TEST_F(CommandTest, NewWithoutAnImageGoesBackToTheWindowActiveBefore) {
    SetFormFactory("frmNewImage", {});
    main.reset();
    main = makeMain();
    main->SetSelection(&selection);
    main->resize(1200, 900);
    main->show();
    TfrmDesk* a = openIcon({Pattern({8, 8}, 32)}, "a.ico");
    TfrmDesk* b = openIcon({Pattern({8, 8}, 32)}, "b.ico");
    ASSERT_TRUE(a && b);
    for (TfrmDesk* before : {b, a}) {
        SCOPED_TRACE(before == a ? "first window active" : "last window active");
        main->ActivateDesk(before->Tag);
        QApplication::processEvents();
        run("actnNew");
        QApplication::processEvents();
        EXPECT_EQ(main->Desks().DeskCount(), 2);
        EXPECT_EQ(main->ActiveDesk(), before);
        EXPECT_EQ(main->DocumentArea()->activeSubWindow(), before->Frame());
        EXPECT_EQ(main->DocumentArea()->subWindowList().size(), 2);
    }
}

TEST_F(CommandTest, NewWithThirtyWindowsOpenShowsNoDialog) {
    for (int i = 0; i < TDeskList::kMaxDesks; ++i) ASSERT_TRUE(main->CreateDocumentWindow("Untitled"));
    runs.clear();
    run("actnNew");
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "Too many open windows!");
    EXPECT_TRUE(runs.isEmpty());
    EXPECT_EQ(main->Desks().DeskCount(), TDeskList::kMaxDesks);
}

// ---------------------------------------------------------------- web pages and help

TEST_F(CommandTest, WebCommandsOpenTheirPagesAndHelpPrefersTheLocalCopy) {
    const std::pair<const char*, const char*> pages[] = {
        {"actTutorials", "/velto/tutorials.html"}, {"actForum", "/velto/forum.html"},
        {"actHomepage", "/velto"},                 {"actDonate", "/velto/donate.html"},
        {"actHelp", "/velto/help/index.html"},
    };
    ASSERT_TRUE(FindLocalHelp(HelpFolders()).isEmpty()) << "no help beside the test program";
    for (const auto& [command, path] : pages) {
        SCOPED_TRACE(command);
        urls.clear();
        run(command);
        ASSERT_EQ(urls.size(), 1);
        const QUrl url(urls[0]);
        EXPECT_EQ(url.path(), path);
        EXPECT_EQ(url, WebPageUrl(path));
    }
    // One "/" between the server and the page, however they are written.
    EXPECT_EQ(WebPageUrl("velto/forum.html"), WebPageUrl("/velto/forum.html"));
    EXPECT_FALSE(WebPageUrl("velto").toString().contains("//velto"));

    QTemporaryDir a, b;
    QDir(b.path()).mkpath("help");
    QFile page(b.filePath("help/index.html"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.close();
    QDir(a.path()).mkpath("help");  // a folder without the page
    EXPECT_TRUE(FindLocalHelp({a.path()}).isEmpty());
    EXPECT_EQ(FindLocalHelp({a.path(), b.path()}), QFileInfo(b.filePath("help/index.html")).absoluteFilePath());
}

// ---------------------------------------------------------------- switches

TEST_F(CommandTest, TransparentSelectionSwitchesFromTheMenuAndTheToolBar) {
    const bool start = Options().TransparentSelection;
    main->UpdateActions();
    for (const char* command : {"actTransSel", "actToolTrans", "actTransSel"}) {
        SCOPED_TRACE(command);
        const bool before = Options().TransparentSelection;
        run(command);
        EXPECT_EQ(Options().TransparentSelection, !before);
        EXPECT_EQ(act("actTransSel")->isChecked(), !before);
        EXPECT_EQ(act("actToolTrans")->isChecked(), !before);
    }
    EXPECT_EQ(Options().TransparentSelection, !start);

    // A half-transparent selection over an opaque image shows blended, or
    // as it is, at once.
    main->SetSelection(&main->Tools().SelectionControl());
    Options().TransparentSelection = true;
    TmyImagePal under({6, 6}, 32), over({2, 2}, 32);
    for (TmyPixel& p : under.Pixels()) p = {0, 0, 255, 255};
    for (TmyPixel& p : over.Pixels()) p = {255, 0, 0, 128};
    TfrmDesk* d = openIcon({under});
    ASSERT_NE(d, nullptr);
    d->SetZoom(10);
    ASSERT_TRUE(main->Selection().Float(TmyImagePal(over), 2, 2));
    const QPoint at(2 * 10 - d->HorzOffset() + 5, 2 * 10 - d->VertOffset() + 5);
    const QRgb blended = d->CanvasImage()->Bitmap().pixel(at);
    run("actTransSel");
    const QRgb replaced = d->CanvasImage()->Bitmap().pixel(at);
    EXPECT_NE(blended, replaced);
    EXPECT_GT(qBlue(blended), qBlue(replaced));
    run("actToolTrans");
    EXPECT_EQ(d->CanvasImage()->Bitmap().pixel(at), blended);
    main->SetSelection(&selection);
}

}  // namespace
