// Every kind of change of a document, made the way the user makes it, keeps
// the history, the modified flag and the windows right: a lost undo
// snapshot, a document not marked modified or a pane left showing the old
// image fails here, whichever road the change took.
#include <QClipboard>
#include <QSignalSpy>

#include <functional>

#include "CommandFixture.h"
#include "browse/ThumbnailGrid.h"
#include "shell/ImageEdit.h"
#include "shell/PaneAccess.h"
#include "shell/SelectionControl.h"
#include "shell/ToolController.h"

using namespace velto;
using velto::test::CommandTest;

namespace {

// The colour panel and the preview pane, recording what they are told.
struct Panes : TColorPanelAccess, TPreviewAccess {
    QStringList calls;
    TmyPixel fore{0, 0, 0, 255}, back{255, 255, 255, 255};
    TmyPixel& ForeColor() override { return fore; }
    TmyPixel& BackColor() override { return back; }
    void ShowPalette(const TmyPalette*) override { calls << "palette"; }
    void SetBitCount(int) override { calls << "bits"; }
    void SyncWithPalette(const TmyPalette&) override {}
    void SelectPaletteCell(int) override {}
    void RefreshColors() override {}
    void DrawPrimaryColor() override {}
    void DrawSecondaryColor() override {}
    void UpdateRGBSliders() override {}
    void UpdateHSBSliders() override {}
    void RefreshPreview(const TmyImagePal*) override { calls << "preview"; }
    void PlotPixel(int, int, bool, const TmyPixel&) override { calls << "preview"; }
};

// What must follow an edit.
enum Expect : unsigned {
    Snapshot = 1u << 0,   // Undo brings back the image as it was just before
    Modified = 1u << 1,   // the close question will ask
    Canvas = 1u << 2,     // the window redrew its image
    Thumbnail = 1u << 3,  // the side bar's tile of the current image is new
    Preview = 1u << 4,    // the preview pane shows the new pixels
    Colors = 1u << 5,     // the colour panel shows the image's palette
    HistoryEnds = 1u << 6,
};

class DocumentEditTest : public CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        // The program's own floating selection, not the fixture's stand-in.
        main->SetSelection(&main->Tools().SelectionControl());
        Options().TransparentSelection = true;
        Options().Dithering = false;
        main->Tools().Windows().EditHotspot = [](THotspotRequest& r) {
            r.X = 3;
            r.Y = 4;
            return true;
        };
        SetColorPanel(&panes);
        SetPreviewPane(&panes);
    }
    void TearDown() override {
        SetColorPanel(nullptr);
        SetPreviewPane(nullptr);
        CommandTest::TearDown();
    }
    TToolController& tools() const { return main->Tools(); }
    void Mouse(TfrmDesk* d, QEvent::Type t, QPoint at, Qt::MouseButtons held) {
        SendMouse(d->CanvasImage(), t, At(d, at.x(), at.y()), t == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  held);
    }
    // A left-button drag over image pixels; the first move after a press
    // may be swallowed, so the drag moves twice.
    void Drag(TfrmDesk* d, QPoint from, QPoint to) {
        Mouse(d, QEvent::MouseButtonPress, from, Qt::LeftButton);
        Mouse(d, QEvent::MouseMove, to, Qt::LeftButton);
        Mouse(d, QEvent::MouseMove, to, Qt::LeftButton);
        Mouse(d, QEvent::MouseButtonRelease, to, Qt::NoButton);
    }
    static qint64 TileKey(TfrmDesk* d) {
        TThumbail* bar = d->SideBar();
        return d->ItemIndex() < bar->Count() ? bar->Item(d->ItemIndex()).Bitmap.cacheKey() : 0;
    }

    Panes panes;
};

struct EditCase {
    const char* name;
    int bits;
    // Brings the window to where the edit starts (a tool chosen, a selection lifted).
    std::function<void(TfrmDesk*)> prepare;
    std::function<void(TfrmDesk*)> edit;
    unsigned expect;
    bool animated = false;
};

TEST_F(DocumentEditTest, EveryKindOfEditKeepsHistoryFlagAndWindowsRight) {
    const EditCase cases[] = {
        {"pencil stroke", 32, [this](TfrmDesk*) { tools().SetTool(TToolId::Pencil); },
         [this](TfrmDesk* d) { Drag(d, {2, 2}, {6, 2}); }, Snapshot | Modified | Thumbnail | Preview},
        {"brush stroke on a palette", 8, [this](TfrmDesk*) { tools().SetTool(TToolId::Brush); },
         [this](TfrmDesk* d) { Drag(d, {5, 5}, {5, 9}); }, Snapshot | Modified | Thumbnail | Preview},
        {"selection lifted", 32, [this](TfrmDesk*) { tools().SetTool(TToolId::Selection); },
         [this](TfrmDesk* d) { Drag(d, {1, 1}, {5, 4}); }, Snapshot | Modified | Thumbnail},
        {"selection dropped", 32,
         [this](TfrmDesk* d) {
             tools().SetTool(TToolId::Selection);
             Drag(d, {1, 1}, {5, 4});
         },
         [this](TfrmDesk*) { main->Selection().Commit(); }, Snapshot | Modified | Canvas | Preview},
        {"selection dropped by another tool", 8,
         [this](TfrmDesk* d) {
             tools().SetTool(TToolId::Selection);
             Drag(d, {2, 2}, {6, 7});
         },
         [this](TfrmDesk*) { tools().SetTool(TToolId::Pencil); },
         Snapshot | Modified | Canvas | Preview},
        {"image command", 32, {}, [this](TfrmDesk*) { run("actnInvert"); },
         Snapshot | Modified | Canvas | Thumbnail | Preview | Colors},
        {"image command on a palette", 8, {}, [this](TfrmDesk*) { run("actnGrayscale"); },
         Snapshot | Modified | Canvas | Thumbnail | Preview | Colors},
        {"palette colour replaced", 8, {},
         [this](TfrmDesk* d) {
             const TmyPixel old = (*d->CurrentImage()->Palette)[7];
             EXPECT_TRUE(tools().ReplacePaletteColor(old, TmyPixel{1, 2, 3, 255}, 7));
         },
         Snapshot | Modified | Canvas | Preview | Colors},
        {"hotspot moved", 32, {}, [this](TfrmDesk*) { tools().HotspotCommand(); }, Modified},
        {"frame deleted", 32, {},
         [](TfrmDesk* d) {
             d->Document()->Delete(1);
             d->ImagesReordered();
         },
         Modified | HistoryEnds, true},
        {"frame moved", 32, {}, [](TfrmDesk* d) { EXPECT_TRUE(d->MoveImage(0, 2, false)); }, Modified | HistoryEnds, true},
        {"hotspot of an animation", 32, {}, [this](TfrmDesk*) { tools().HotspotCommand(); }, Modified, true},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        const int n = static_cast<int>(&c - cases);
        TfrmDesk* d = c.animated ? openAnimation(3, {16, 16}, c.bits, QString("edit-%1.ani").arg(n))
                                 : openIcon({Pattern({16, 16}, c.bits), Pattern({32, 32}, c.bits, 1)},
                                            QString("edit-%1.ico").arg(n));
        ASSERT_NE(d, nullptr);
        d->SetZoom(8);
        if (c.prepare) c.prepare(d);
        // A change from before, so that a history cleared by mistake shows.
        TmyImagePal earlier = *d->CurrentImage();
        earlier.At(0, 0) = TmyPixel{9, 9, 9, 255};
        d->UndoStore().Clear();
        d->UndoStore().Store(earlier);
        d->SetSaved(true);
        main->UpdateUndoActions();
        const TmyImagePal before = *d->CurrentImage();
        const qint64 tile = TileKey(d);
        QSignalSpy canvas(d, &TfrmDesk::imageChanged);
        panes.calls.clear();

        c.edit(d);

        EXPECT_EQ(!d->Saved(), (c.expect & Modified) != 0);
        if (c.expect & Snapshot) {
            EXPECT_EQ(d->UndoStore().Count(), 2) << "one snapshot, stored once";
            EXPECT_TRUE(act("actnUndo")->isEnabled());
            const TmyImagePal* undone = UndoOnce(d);
            ASSERT_NE(undone, nullptr);
            EXPECT_TRUE(Same(*undone, before)) << "the snapshot is the image just before the change";
        } else if (c.expect & HistoryEnds) {
            EXPECT_FALSE(d->CanUndo());
            EXPECT_FALSE(act("actnUndo")->isEnabled());
        } else {
            EXPECT_EQ(d->UndoStore().Count(), 1) << "the history is neither added to nor ended";
        }
        const std::string told = panes.calls.join(",").toStdString();
        EXPECT_TRUE(!(c.expect & Canvas) || canvas.count() > 0) << "the canvas was not redrawn";
        EXPECT_TRUE(!(c.expect & Thumbnail) || TileKey(d) != tile) << "the thumbnail shows the old image";
        EXPECT_TRUE(!(c.expect & Preview) || panes.calls.contains("preview")) << "the preview was not told: " << told;
        EXPECT_TRUE(!(c.expect & Colors) || panes.calls.contains("palette")) << "the colour panel was not told: " << told;
        answers.clear();
        d->SetSaved(true);
        d->Frame()->close();
    }
}

// Tools that change no pixel leave the document as it was: no snapshot, no
// modified flag, even though the stroke ends the same way.
TEST_F(DocumentEditTest, StrokesThatChangeNothingLeaveHistoryAndFlagAlone) {
    for (const TToolId tool : {TToolId::Picker, TToolId::Zoom}) {
        SCOPED_TRACE(static_cast<int>(tool));
        TfrmDesk* d = openIcon({Pattern({16, 16}, 32)}, QString("still-%1.ico").arg(static_cast<int>(tool)));
        ASSERT_NE(d, nullptr);
        tools().SetTool(tool);
        d->SetSaved(true);
        Drag(d, {2, 2}, {2, 2});
        EXPECT_TRUE(d->Saved());
        EXPECT_FALSE(d->CanUndo());
        d->Frame()->close();
    }
}

// The edit object on its own: nothing happens before Begin, Begin twice
// stores once, Finish without Begin does nothing, and the history kinds hold.
TEST_F(DocumentEditTest, BeginAndFinishPairUpWhateverTheCallerDoes) {
    TfrmDesk* d = openIcon({Pattern({16, 16}, 32)}, "pair.ico");
    ASSERT_NE(d, nullptr);
    d->SetSaved(true);
    {
        TImageEdit never(*d, TEditKind::ToolStroke);
        never.Finish();
        EXPECT_TRUE(d->Saved());
        EXPECT_FALSE(d->CanUndo());
    }
    TImageEdit stroke(*d, TEditKind::ToolStroke);
    EXPECT_TRUE(stroke.Begin());
    EXPECT_TRUE(stroke.Begin());
    EXPECT_EQ(d->UndoStore().Count(), 1);
    EXPECT_FALSE(d->Saved()) << "a stroke marks the document at the press";
    const qint64 tile = TileKey(d);
    stroke.Finish();
    EXPECT_NE(TileKey(d), tile);
    EXPECT_FALSE(stroke.Begun());

    d->SetSaved(true);
    TImageEdit frames(*d, TEditKind::Frames);
    frames.Done();
    EXPECT_FALSE(d->Saved());
    EXPECT_FALSE(d->CanUndo());
    d->SetSaved(true);
    d->Frame()->close();
}

// Floating pixels are a change of their document until dropped, whichever
// road brought them: Save and the close questions count them, the tile shows them.
TEST_F(DocumentEditTest, AFloatingBlockIsSavedAskedAboutAndShownOnItsTile) {
    TSelectionControl& sel = tools().SelectionControl();
    tools().Windows().AskText = [](TTagColor c) {
        TTextStamp s{TTagBitmap(255, 255), 8, 6, 12, false};
        s.Tag.At(2, 3) = TagOf(c);
        return std::optional(s);
    };
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    QApplication::clipboard()->setImage(picture);
    const std::pair<const char*, std::function<void(TfrmDesk*)>> roads[] = {
        {"pasted", [this](TfrmDesk*) { main->UpdateClipboardActions(); run("actnPaste"); }},
        {"typed", [this](TfrmDesk* d) { tools().SetTool(TToolId::Text); Drag(d, {10, 10}, {10, 10}); }},
        {"dropped on the canvas", [&](TfrmDesk* d) { sel.DropImage(Pattern({8, 8}, 24), d->Tag); }},
        {"moved in from another window", [&](TfrmDesk* d) {
             TfrmDesk* other = openIcon({Pattern({8, 8}, 24)}, "other.ico");
             sel.Lift(0, 0, 5, 5, false);
             sel.MoveToWindow(d->Tag, 0, 0);
             other->SetSaved(true);
             other->Frame()->close();
         }},
    };
    struct Ending { int answer; bool exit, written, closes; };  // answer 0: Save, asking nothing
    const Ending endings[] = {{0, false, true, false}, {idYes, false, true, true}, {idNo, false, false, true},
                              {idCancel, false, false, false}, {idCancel, true, false, false}};
    const TmyImagePal clear({32, 32}, 32);
    for (const auto& [road, floatOn] : roads)
        for (const Ending& e : endings) {
            SCOPED_TRACE(::testing::Message() << road << ", answer " << e.answer << (e.exit ? " to Exit" : ""));
            TfrmDesk* d = openIcon({clear}, "floating.ico");
            ASSERT_NE(d, nullptr);
            const QImage blank = d->SideBar()->Item(0).Bitmap;
            floatOn(d);
            ASSERT_EQ(sel.Selection().Owner, d->Tag);
            EXPECT_TRUE(!d->Saved() && act("actnSave")->isEnabled());
            EXPECT_NE(d->SideBar()->Item(0).Bitmap, blank) << "the tile shows the floating pixels";
            shown.clear();
            answers = {e.answer};
            e.answer ? (e.exit ? main->close() : d->Frame()->close()) : (run("actnSave"), true);
            ASSERT_EQ(shown.size(), e.answer ? 1 : 0);
            TmyIcon saved;
            ASSERT_TRUE(TmyIcoIO(false).LoadFromFile(saved, tempPath("floating.ico").toStdString()));
            EXPECT_EQ(saved.Image(0).Equals(clear), !e.written) << "the file holds the floating pixels once saved";
            ASSERT_EQ(main->Desks().DeskCount(), e.closes ? 0 : 1);
            if (e.closes) continue;
            EXPECT_EQ(sel.Selection().IsEmpty(), e.written) << "saved, the block is dropped; kept, it floats on";
            answers = {idNo};
            d->Frame()->close();
        }
}

}  // namespace
