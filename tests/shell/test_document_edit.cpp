// Every kind of change of a document, made the way the user makes it, keeps
// the history, the modified flag and the windows right: a lost undo
// snapshot, a document not marked modified or a pane left showing the old
// image fails here, whichever road the change took.
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QSignalSpy>

#include <functional>

#include "CommandFixture.h"
#include "browse/ThumbnailGrid.h"
#include "browse/TileSources.h"
#include "engine/TagBitmap.h"
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

// Pixels floating over a document, whichever road brought them (pasted,
// typed, a picture dropped on the canvas, a frame moved in from another
// window), are a change of it until they are dropped: Save is offered and
// writes them, closing the window or leaving the program asks, and the side
// bar's tile shows them.
class FloatingChangeTest : public DocumentEditTest {
protected:
    void SetUp() override {
        DocumentEditTest::SetUp();
        Options().ClipboardAction = 3;
        Options().ForeColor = TmyPixel{200, 30, 40, 255};
        main->Tools().Windows().AskText = [](TTagColor c) -> std::optional<TTextStamp> {
            TTextStamp s{TTagBitmap(255, 255), 8, 6, 12, false};
            for (int x = 1; x < 7; ++x) s.Tag.At(x, 3) = TagOf(c);
            return s;
        };
    }
    TSelectionControl& control() const { return main->Tools().SelectionControl(); }

    // A cursor of one clear 32 x 32 image, written and opened: its tile is blank.
    TfrmDesk* openBlank(const QString& name) {
        TmyIcon doc;
        doc.IsCursor = true;
        doc.AddImage({32, 32}, 32);
        TfrmDesk* d = openDocument(doc, name);
        if (d) d->SetZoom(8);
        return d;
    }
    TmyPixel SavedPixel(const QString& path, QPoint at) const {
        TmyIcon doc;
        EXPECT_TRUE(TmyIcoIO(false).LoadFromFile(doc, path.toStdString()));
        return doc.Count() ? doc.Image(0).At(at.x(), at.y()) : TmyPixel{};
    }
    static QByteArray Bytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

struct Road {
    const char* name;
    std::function<void(TfrmDesk*)> floatOn;
    QPoint probe;  // an opaque pixel of the floating block, from its top-left
};

TEST_F(FloatingChangeTest, AFloatingBlockIsSavedAskedAboutAndShownOnItsTile) {
    const Road roads[] = {
        {"pasted",
         [this](TfrmDesk*) {
             QImage picture(4, 4, QImage::Format_ARGB32);
             picture.fill(qRgb(20, 160, 60));
             QGuiApplication::clipboard()->setImage(picture);
             main->UpdateClipboardActions();
             main->Actions().execute("actnPaste");
         },
         {1, 1}},
        {"typed",
         [this](TfrmDesk* d) {
             main->Tools().SetTool(TToolId::Text);
             SendMouse(d->CanvasImage(), QEvent::MouseButtonPress, At(d, 10, 10), Qt::LeftButton, Qt::LeftButton);
             SendMouse(d->CanvasImage(), QEvent::MouseButtonRelease, At(d, 10, 10), Qt::LeftButton, Qt::NoButton);
         },
         {2, 3}},
        {"a picture dropped on the canvas",
         [this](TfrmDesk* d) {
             TmyImagePal picture({8, 8}, 32);
             for (TmyPixel& p : picture.Pixels()) p = TmyPixel{10, 20, 230, 255};
             control().DropImage(picture, d->Tag);
         },
         {1, 1}},
        {"a frame moved in from another window",
         [this](TfrmDesk* d) {
             TfrmDesk* other = openBlank("other.cur");
             ASSERT_NE(other, nullptr);
             other->CurrentImage()->At(3, 3) = TmyPixel{90, 90, 0, 255};
             control().Lift(2, 2, 5, 5, false);
             control().MoveToWindow(d->Tag, 0, 0);
             other->SetSaved(true);
             other->Frame()->close();
         },
         {1, 1}},
    };
    struct Ending {
        const char* name;
        std::function<void(TfrmDesk*)> act;
        bool asks, closes, written;
    };
    const auto closeAnswering = [this](int answer) {
        return [this, answer](TfrmDesk* d) {
            answers = {answer};
            d->Frame()->close();
        };
    };
    const Ending endings[] = {
        {"Save", [this](TfrmDesk*) { main->Actions().execute("actnSave"); }, false, false, true},
        {"close, Yes", closeAnswering(idYes), true, true, true},
        {"close, No", closeAnswering(idNo), true, true, false},
        {"close, Cancel", closeAnswering(idCancel), true, false, false},
        {"Exit, Cancel",
         [this](TfrmDesk*) {
             answers = {idCancel};
             EXPECT_FALSE(main->close());
         },
         true, false, false},
    };
    for (const Road& road : roads) {
        for (const Ending& e : endings) {
            SCOPED_TRACE(::testing::Message() << road.name << ", " << e.name);
            const QString path = tempPath("floating.cur");
            QPointer<TfrmDesk> d = openBlank("floating.cur");
            ASSERT_NE(d, nullptr);
            const QByteArray file = Bytes(path);
            road.floatOn(d);
            ASSERT_FALSE(control().Selection().IsEmpty());
            ASSERT_EQ(control().Selection().Owner, d->Tag);
            const TmyPixel want = control().Selection().Image.At(road.probe.x(), road.probe.y());
            ASSERT_EQ(want.A, 255);
            const QPoint at = d->SelectionFramePixel() + road.probe;
            EXPECT_FALSE(d->Saved());
            main->UpdateActions();
            EXPECT_TRUE(main->Action("actnSave")->isEnabled());
            const QImage blank = PictureOfImage(TmyImagePal({32, 32}, 32), d->SideBar()->ThumbnailSize()).Bitmap;
            EXPECT_NE(d->SideBar()->Item(0).Bitmap, blank) << "the tile shows the floating pixels";

            shown.clear();
            const QString caption = d->windowTitle();
            e.act(d);
            ASSERT_EQ(shown.size(), e.asks ? 1 : 0);
            if (e.asks) {
                EXPECT_EQ(shown[0].text, "Save changes to " + caption + " ?");
                EXPECT_EQ(shown[0].buttons, int(mbYes | mbNo | mbCancel));
            }
            ASSERT_EQ(main->Desks().DeskCount(), e.closes ? 0 : 1);
            if (e.written) {
                EXPECT_EQ(SavedPixel(path, at), want);
            } else {
                EXPECT_EQ(Bytes(path), file) << "the file is untouched";
            }
            if (e.closes) continue;
            // Saved, the block was dropped; kept, it still floats.
            EXPECT_EQ(control().Selection().IsEmpty(), e.written);
            EXPECT_EQ(d->SelectionFrameVisible(), !e.written);
            EXPECT_EQ(d->Saved(), e.written);
            control().Clear();
            d->SetSaved(true);
            d->Frame()->close();
            ASSERT_EQ(main->Desks().DeskCount(), 0);
        }
    }
}

}  // namespace
