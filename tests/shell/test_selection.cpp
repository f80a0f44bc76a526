// The floating selection on real document windows: the selection tool's
// lift (with and without Alt or Ctrl, the clear of exactly the lifted block),
// the frame dragged, nudged, scrolled and zoomed with the selection, the
// eight handles and their limits, the drops (commands, keys, tools, the
// palette question and the press that waits for it), the Edit menu's
// clipboard and selection commands through the real clipboard, the frame
// dragged to another window, a picture dropped as a selection, and the text
// tool's floating text.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>

#include "DeskFixture.h"
#include "shell/DocumentArea.h"
#include "shell/SelectionControl.h"
#include "engine/TagBitmap.h"
#include "shell/ToolController.h"

using namespace velto;
using velto::test::DeskTest;

namespace {

const TmyPixel kClear{};

// Opaque pixels that differ everywhere: red x * 7, green y * 7.
TmyPixel Pattern(int x, int y) {
    return {static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 7), 90, 255};
}

class SelectionTest : public DeskTest {
protected:
    void SetUp() override {
        DeskTest::SetUp();
        Options().Autozoom = false;
        Options().ShowTips = false;
        Options().TransparentSelection = true;
        Options().AllowDragAndDrop = true;
        Options().PaletteAction = 2;
        Options().ClipboardAction = 3;
        Options().Dithering = false;
        // The program's own floating selection, not the fixture's stand-in.
        main->SetSelection(&control());
        tools().Windows().AskPaletteChoice = [this] {
            ++questions;
            return paletteAnswer;
        };
        tools().Windows().AskPictureFitting = [this] {
            ++fittingQuestions;
            return fittingAnswer;
        };
        SetSelectionDragRunner([this](TfrmDesk& source, QMimeData* data) {
            dragSource = &source;
            dragged.reset(data);
        });
    }
    void TearDown() override {
        SetSelectionDragRunner(nullptr);
        DeskTest::TearDown();
    }

    TToolController& tools() const { return main->Tools(); }
    TSelectionControl& control() const { return tools().SelectionControl(); }
    const tmyselection& sel() const { return control().Selection(); }

    // A document of one image of the depth: the pattern (palette entries
    // below 24 bits).
    TfrmDesk* openPicture(int bits, ImageSize size = {32, 32}, const QString& name = {}) {
        TmyIcon doc;
        TmyImagePal& img = doc.Image(doc.AddImage(size, bits));
        for (int y = 0; y < size.Height; ++y)
            for (int x = 0; x < size.Width; ++x)
                img.At(x, y) = img.Palette ? (*img.Palette)[(x + 3 * y) % img.Palette->Count()] : Pattern(x, y);
        TfrmDesk* d = openDocument(doc, name.isEmpty() ? QString("s%1.ico").arg(bits) : name);
        EXPECT_NE(d, nullptr);
        if (d) d->SetZoom(10);
        return d;
    }

    static void Send(QWidget* w, QEvent::Type t, QPoint p, Qt::MouseButton b, Qt::MouseButtons held,
                     Qt::KeyboardModifiers mods = Qt::NoModifier) {
        SendMouse(w, t, p, b, held, mods);
    }
    static void Press(TfrmDesk* d, int x, int y, Qt::KeyboardModifiers m = {}) {
        Send(d->CanvasImage(), QEvent::MouseButtonPress, At(d, x, y), Qt::LeftButton, Qt::LeftButton, m);
    }
    static void Move(TfrmDesk* d, int x, int y, Qt::KeyboardModifiers m = {}) {
        Send(d->CanvasImage(), QEvent::MouseMove, At(d, x, y), Qt::NoButton, Qt::LeftButton, m);
    }
    static void Release(TfrmDesk* d, int x, int y, Qt::KeyboardModifiers m = {}) {
        Send(d->CanvasImage(), QEvent::MouseButtonRelease, At(d, x, y), Qt::LeftButton, Qt::NoButton, m);
    }
    // A drag of the selection tool from a to b (image pixels). The first
    // move after a drop is not drawn: the drag moves twice.
    void Lift(TfrmDesk* d, QPoint a, QPoint b, Qt::KeyboardModifiers m = {}) {
        tools().SetTool(TToolId::Selection);
        Press(d, a.x(), a.y(), m);
        Move(d, b.x(), b.y(), m);
        Move(d, b.x(), b.y(), m);
        Release(d, b.x(), b.y(), m);
    }
    // A left-button drag of widget w by (dx, dy) screen pixels, from local point from.
    static void Drag(QWidget* w, QPoint d, QPoint from = {1, 1}) {
        Send(w, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        Send(w, QEvent::MouseMove, from + d, Qt::NoButton, Qt::LeftButton);
        Send(w, QEvent::MouseButtonRelease, from + d, Qt::LeftButton, Qt::NoButton);
    }
    static QWidget* Handle(TfrmDesk* d, const char* name) {
        for (int i = 0; i < 8; ++i)
            if (d->SelectionHandle(i)->objectName() == QLatin1String(name)) return d->SelectionHandle(i);
        ADD_FAILURE() << "no handle " << name;
        return d->SelectionHandle(0);
    }
    // Where the frame should be for a selection at image pixel p of w x h pixels.
    static QRect FrameFor(TfrmDesk* d, QPoint p, int w, int h) {
        const TCanvasGeometry g = d->CanvasGeometry();
        const QPoint c = d->CanvasImage()->pos();
        return {c.x() + p.x() * g.zoom - g.hpos, c.y() + p.y() * g.zoom - g.vpos, w * g.zoom, h * g.zoom};
    }
    // The canvas colour at the middle of image pixel (x, y).
    static QRgb Shown(TfrmDesk* d, int x, int y) { return d->CanvasImage()->Bitmap().pixel(At(d, x, y)) & 0xffffff; }
    static QRgb Rgb(const TmyPixel& p) { return qRgb(p.R, p.G, p.B) & 0xffffff; }
    static void DropOn(QWidget* w, QEvent::Type type, QPoint pos, const QMimeData* data) {
        if (type == QEvent::DragEnter) {
            QDragEnterEvent e(pos, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(w, &e);
        } else {
            QDropEvent e(QPointF(pos), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(w, &e);
        }
    }

    int questions = 0, fittingQuestions = 0;
    TPaletteChoice paletteAnswer = TPaletteChoice::Keep;
    std::uint8_t fittingAnswer = 0;
    TfrmDesk* dragSource = nullptr;
    std::unique_ptr<QMimeData> dragged;
};

// ---------------------------------------------------------------- the selection tool

TEST_F(SelectionTest, ADragLiftsTheBlockIntoAFrameOverTheCanvas) {
    struct Row {
        const char* name;
        int zoom;
        Qt::KeyboardModifiers mods;
        bool keep;
    } rows[] = {
        {"zoom 1", 1, Qt::NoModifier, false},
        {"zoom 10", 10, Qt::NoModifier, false},
        {"Alt keeps the pixels", 10, Qt::AltModifier, true},
        {"Ctrl keeps the pixels", 4, Qt::ControlModifier, true},
    };
    TfrmDesk* d = openPicture(32);
    const TmyImagePal original = *d->CurrentImage();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        control().Clear();
        d->CurrentImage()->Assign(original);
        d->UndoStore().Clear();
        d->SetZoom(r.zoom);
        d->SetSaved(true);
        Lift(d, {2, 3}, {5, 1}, r.mods);
        EXPECT_EQ(sel().Rect, (TSelRect{2, 1, 6, 4}));
        EXPECT_EQ(sel().Owner, d->Tag);
        EXPECT_TRUE(sel().InFront);
        ASSERT_EQ(sel().Image.Size(), (ImageSize{4, 3}));
        const TmyImagePal& img = *d->CurrentImage();
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const bool inside = x >= 2 && x < 6 && y >= 1 && y < 4;
                if (inside) {
                    EXPECT_EQ(sel().Image.At(x - 2, y - 1), original.At(x, y));
                }
                EXPECT_EQ(img.At(x, y), inside && !r.keep ? kClear : original.At(x, y)) << x << "," << y;
            }
        EXPECT_FALSE(d->Saved());
        const TmyImagePal* before = UndoOnce(d);
        ASSERT_NE(before, nullptr);
        EXPECT_TRUE(before->Equals(original));
        d->UndoStore().Clear();
        // The frame covers the block, the handles sit on its corners and edges.
        EXPECT_TRUE(d->SelectionFrameVisible());
        const QRect frame = FrameFor(d, {2, 1}, 4, 3);
        EXPECT_EQ(d->SelectionFrame()->geometry(), frame);
        EXPECT_EQ(Handle(d, "rpTopLeft")->geometry().center(), frame.topLeft());
        EXPECT_EQ(Handle(d, "rpBottomRight")->pos(), QPoint(frame.x() + frame.width(), frame.y() + frame.height()) -
                                                          QPoint(4, 4));
        EXPECT_EQ(Handle(d, "rpLeft")->pos(), QPoint(frame.x(), frame.y() + frame.height() / 2) - QPoint(4, 4));
        // The canvas shows the floating pixels though the image has a hole there.
        EXPECT_EQ(Shown(d, 3, 2), Rgb(original.At(3, 2)));
        EXPECT_TRUE(act("actnCopy")->isEnabled());
        EXPECT_TRUE(act("actnCut")->isEnabled());
        EXPECT_TRUE(act("actnDel")->isEnabled());
    }
}

TEST_F(SelectionTest, TheReleaseClearsExactlyTheLiftedBlock) {
    TfrmDesk* d = openPicture(32);
    const TmyImagePal original = *d->CurrentImage();
    tools().SetTool(TToolId::Selection);
    Press(d, 2, 2);
    Move(d, 5, 5);
    // Let go elsewhere (a release the last move did not announce).
    Release(d, 9, 9);
    EXPECT_EQ(sel().Rect, (TSelRect{2, 2, 6, 6}));
    const TmyImagePal& img = *d->CurrentImage();
    EXPECT_EQ(img.At(5, 5), kClear);
    EXPECT_EQ(img.At(6, 6), original.At(6, 6));
    EXPECT_EQ(img.At(9, 9), original.At(9, 9));
    EXPECT_EQ(img.At(2, 7), original.At(2, 7));
}

TEST_F(SelectionTest, AClickDropsTheSelectionAndMakesNoNewOne) {
    TfrmDesk* d = openPicture(32);
    const TmyImagePal original = *d->CurrentImage();
    Lift(d, {2, 2}, {4, 4});
    ASSERT_FALSE(sel().IsEmpty());
    Press(d, 10, 10);
    Release(d, 10, 10);
    EXPECT_TRUE(sel().IsEmpty());
    EXPECT_FALSE(d->SelectionFrameVisible());
    EXPECT_TRUE(d->CurrentImage()->Equals(original));
    EXPECT_FALSE(act("actnCopy")->isEnabled());
}

// ---------------------------------------------------------------- the frame

TEST_F(SelectionTest, TheFrameMovesOnWholePixelsAndTheDropLandsThere) {
    TfrmDesk* d = openPicture(32);
    const TmyImagePal original = *d->CurrentImage();
    Lift(d, {2, 1}, {5, 3});
    QWidget* frame = d->SelectionFrame();
    // 34 and 27 screen pixels at zoom 10: 3 and 2 image pixels.
    Drag(frame, {34, 27});
    EXPECT_EQ(d->SelectionFramePixel(), QPoint(5, 3));
    EXPECT_EQ(frame->geometry(), FrameFor(d, {5, 3}, 4, 3));
    EXPECT_EQ(Handle(d, "rpTopLeft")->geometry().center(), frame->geometry().topLeft());
    EXPECT_EQ(Shown(d, 5, 3), Rgb(original.At(2, 1)));
    EXPECT_FALSE(d->MovingSelection());
    // Nudged back one pixel up, as the shift commands do.
    control().MoveBy(0, -1);
    EXPECT_EQ(d->SelectionFramePixel(), QPoint(5, 2));
    act("actDropSelection")->trigger();
    EXPECT_TRUE(sel().IsEmpty());
    EXPECT_FALSE(d->SelectionFrameVisible());
    const TmyImagePal& img = *d->CurrentImage();
    EXPECT_EQ(img.At(5, 2), original.At(2, 1));
    EXPECT_EQ(img.At(8, 4), original.At(5, 3));
    EXPECT_EQ(img.At(2, 1), kClear);
    // Undo gives the image with its hole, then the image as it was.
    const TmyImagePal* lifted = UndoOnce(d);
    ASSERT_NE(lifted, nullptr);
    EXPECT_EQ(lifted->At(2, 1), kClear);
    EXPECT_EQ(lifted->At(6, 2), original.At(6, 2));
    const TmyImagePal* first = d->UndoStore().Undo();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->Equals(original));
}

TEST_F(SelectionTest, TheFrameStaysOnItsPixelsWhenTheCanvasScrollsOrZooms) {
    TfrmDesk* d = openPicture(32, {64, 64});
    d->SetZoom(20);
    Lift(d, {10, 12}, {13, 14});
    ASSERT_TRUE(d->HorizSB()->isVisible());
    d->HorizSB()->setValue(37);
    d->VertSB()->setValue(55);
    EXPECT_EQ(d->SelectionFramePixel(), QPoint(10, 12));
    EXPECT_EQ(d->SelectionFrame()->geometry(), FrameFor(d, {10, 12}, 4, 3));
    EXPECT_EQ(Handle(d, "rpTopLeft")->geometry().center(), d->SelectionFrame()->geometry().topLeft());
    d->SetZoom(3);
    EXPECT_EQ(d->SelectionFramePixel(), QPoint(10, 12));
    EXPECT_EQ(d->SelectionFrame()->size(), QSize(12, 9));
    EXPECT_EQ(Handle(d, "rpBottomRight")->geometry().center(), d->SelectionFrame()->geometry().bottomRight() +
                                                                  QPoint(1, 1));
}

TEST_F(SelectionTest, TheHandlesResizeTheSelectionWithinOneTo256Pixels) {
    struct Row {
        const char* name;
        const char* handle;
        QPoint drag;
        QSize want;
        QPoint wantAt;  // image pixel under the frame's top-left
    } rows[] = {
        {"right edge out", "rpRight", {30, 0}, {7, 3}, {2, 1}},
        {"left edge in keeps the right edge", "rpLeft", {20, 0}, {2, 3}, {4, 1}},
        {"left edge out", "rpLeft", {-10, 0}, {5, 3}, {1, 1}},
        {"bottom edge out", "rpBottom", {0, 10}, {4, 4}, {2, 1}},
        {"top edge out keeps the bottom edge", "rpTop", {0, -10}, {4, 4}, {2, 0}},
        {"bottom-right corner", "rpBottomRight", {10, 20}, {5, 5}, {2, 1}},
        {"top-left corner in", "rpTopLeft", {10, 10}, {3, 2}, {3, 2}},
        {"not below one pixel", "rpRight", {-200, 0}, {1, 3}, {2, 1}},
        {"not above 256 pixels", "rpBottom", {0, 5000}, {4, 256}, {2, 1}},
    };
    TfrmDesk* d = openPicture(32);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        control().Commit();
        Lift(d, {2, 1}, {5, 3});
        Drag(Handle(d, r.handle), r.drag, {4, 4});
        EXPECT_EQ(QSize(sel().Image.Width(), sel().Image.Height()), r.want);
        EXPECT_EQ(d->SelectionFrame()->size(), r.want * 10);
        EXPECT_EQ(d->SelectionFramePixel(), r.wantAt);
        EXPECT_EQ(sel().GetWidth(), 4);
        EXPECT_FALSE(d->ResizingSelection());
        EXPECT_EQ(d->SelectionFrame()->minimumSize(), QSize(0, 0));
    }
}

// ---------------------------------------------------------------- drops and commands

TEST_F(SelectionTest, EveryWayOfDroppingPutsThePixelsBack) {
    struct Row {
        const char* name;
        std::function<void(TfrmDesk*)> drop;
        bool undoes;  // the command then undoes the drop
    } rows[] = {
        {"Escape", [this](TfrmDesk*) { main->KeyPreview(nullptr, "\x1b", Qt::Key_Escape); }, false},
        {"another tool", [this](TfrmDesk*) { tools().SetTool(TToolId::Pencil); }, false},
        {"Drop Selection", [this](TfrmDesk*) { act("actDropSelection")->trigger(); }, false},
        {"right click on the frame",
         [](TfrmDesk* d) {
             Send(d->SelectionFrame(), QEvent::MouseButtonPress, {2, 2}, Qt::RightButton, Qt::RightButton);
             Send(d->SelectionFrame(), QEvent::MouseButtonRelease, {2, 2}, Qt::RightButton, Qt::NoButton);
         },
         false},
        {"a command that works on the image (Undo)", [this](TfrmDesk*) { act("actnUndo")->trigger(); }, true},
    };
    TfrmDesk* d = openPicture(32);
    const TmyImagePal original = *d->CurrentImage();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        d->CurrentImage()->Assign(original);
        d->UndoStore().Clear();
        Lift(d, {2, 2}, {6, 5});
        main->UpdateActions();
        main->UpdateUndoActions();
        tools().State().SkipNextMove = false;
        r.drop(d);
        EXPECT_TRUE(sel().IsEmpty());
        EXPECT_FALSE(d->SelectionFrameVisible());
        EXPECT_TRUE(tools().State().SkipNextMove);
        if (r.undoes) continue;
        EXPECT_TRUE(d->CurrentImage()->Equals(original));
        EXPECT_EQ(Shown(d, 3, 3), Rgb(original.At(3, 3)));
    }
}

TEST_F(SelectionTest, ADropOnAnIndexedImageKeepsOrChangesThePaletteAsAnswered) {
    struct Row {
        const char* name;
        std::uint8_t action;
        TPaletteChoice answer;
        bool newColour;
        int questions;
        bool samePalette;
    } rows[] = {
        {"colours of the palette: no question", 2, TPaletteChoice::Change, false, 0, true},
        {"a new colour, answered keep", 2, TPaletteChoice::Keep, true, 1, true},
        {"a new colour, answered change", 2, TPaletteChoice::Change, true, 1, false},
        {"a new colour, setting keep", 1, TPaletteChoice::Change, true, 0, true},
    };
    TfrmDesk* d = openPicture(8);
    const TmyImagePal original = *d->CurrentImage();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        d->CurrentImage()->Assign(original);
        Options().PaletteAction = r.action;
        paletteAnswer = r.answer;
        questions = 0;
        Lift(d, {1, 1}, {4, 4});
        if (r.newColour) {
            for (TmyPixel& p : control().Image()->Pixels()) p = {13, 250, 101, 255};
            control().ImageEdited();
        }
        act("actDropSelection")->trigger();
        EXPECT_EQ(questions, r.questions);
        const TmyImagePal& img = *d->CurrentImage();
        EXPECT_EQ(img.Palette->Equals(*original.Palette), r.samePalette);
        for (const TmyPixel& p : img.Pixels()) ASSERT_TRUE(p == kClear || img.Palette->IndexOf(p) >= 0);
    }
}

TEST_F(SelectionTest, APressThatMayAskDropsOnlyOnceTheButtonIsFree) {
    TfrmDesk* d = openPicture(8);
    Options().PaletteAction = 2;
    Lift(d, {1, 1}, {4, 4});
    for (TmyPixel& p : control().Image()->Pixels()) p = {13, 250, 101, 255};
    control().ImageEdited();
    questions = 0;
    Press(d, 20, 20);
    // The press ended the stroke; nothing was asked under the held button.
    EXPECT_FALSE(d->Stroke().ButtonHeld);
    EXPECT_EQ(questions, 0);
    EXPECT_FALSE(sel().IsEmpty());
    Move(d, 25, 25);
    Release(d, 25, 25);
    QApplication::processEvents();
    EXPECT_EQ(questions, 1);
    EXPECT_TRUE(sel().IsEmpty());
    EXPECT_EQ(main->ActiveDesk(), d);
}

TEST_F(SelectionTest, FitOriginalSizeFrontAndBackAndTheirEnabling) {
    TfrmDesk* d = openPicture(32);
    const TmyImagePal original = *d->CurrentImage();
    main->UpdateActions();
    expectEnabled({"actFitToScreen", "actOriginalSize", "actBringToFront", "actSendToBack"}, false);
    Lift(d, {2, 1}, {5, 3});
    Drag(d->SelectionFrame(), {60, 70});
    main->UpdateActions();
    expectEnabled({"actFitToScreen", "actOriginalSize", "actSendToBack"}, true);
    expectEnabled({"actBringToFront"}, false);

    act("actFitToScreen")->trigger();
    EXPECT_EQ(d->SelectionFramePixel(), QPoint(0, 0));
    EXPECT_EQ(sel().Image.Size(), (ImageSize{32, 32}));
    EXPECT_EQ(d->SelectionFrame()->size(), QSize(320, 320));
    act("actOriginalSize")->trigger();
    EXPECT_EQ(sel().Image.Size(), (ImageSize{4, 3}));
    EXPECT_EQ(d->SelectionFrame()->size(), QSize(40, 30));

    // Behind the image the selection shows only through transparent pixels:
    // at the origin it covers part of the hole it was lifted from.
    act("actSendToBack")->trigger();
    EXPECT_FALSE(sel().InFront);
    main->UpdateActions();
    expectEnabled({"actBringToFront"}, true);
    expectEnabled({"actSendToBack"}, false);
    EXPECT_EQ(Shown(d, 0, 0), Rgb(original.At(0, 0)));
    EXPECT_EQ(Shown(d, 2, 1), Rgb(original.At(4, 2))) << "the hole shows the selection";
    act("actBringToFront")->trigger();
    EXPECT_TRUE(sel().InFront);
    EXPECT_EQ(Shown(d, 0, 0), Rgb(original.At(2, 1)));
}

TEST_F(SelectionTest, SelectAllLiftsTheWholeImageOfAScrolledCanvas) {
    TfrmDesk* d = openPicture(32, {64, 48});
    const TmyImagePal original = *d->CurrentImage();
    d->SetZoom(30);
    d->HorizSB()->setValue(d->HorizSB()->maximum() / 2);
    d->VertSB()->setValue(d->VertSB()->maximum());
    // A floating selection is dropped first.
    Lift(d, {40, 30}, {41, 31}, Qt::AltModifier);
    act("actSelectAll")->trigger();
    EXPECT_EQ(tools().State().ToolId, TToolId::Selection);
    EXPECT_EQ(sel().Rect, (TSelRect{0, 0, 64, 48}));
    EXPECT_TRUE(sel().Image.Equals(original));
    for (const TmyPixel& p : d->CurrentImage()->Pixels()) ASSERT_EQ(p, kClear);
    EXPECT_EQ(d->SelectionFramePixel(), QPoint(0, 0));
    EXPECT_FALSE(d->Stroke().ButtonHeld);
}

// ---------------------------------------------------------------- the clipboard

TEST_F(SelectionTest, CopyAndPasteKeepTheAlphaOfTheProgramsOwnCopy) {
    // Dropped pixels replace the image's, so that their alpha is seen there.
    Options().TransparentSelection = false;
    TfrmDesk* d = openPicture(32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) d->CurrentImage()->At(x, y) = {255, 0, 0, 128};
    d->ImageChanged();
    Lift(d, {0, 0}, {3, 3});
    main->UpdateActions();
    act("actnCopy")->trigger();
    // Others see the picture flattened onto white, the opaque colours exact.
    const QImage shared = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(shared.size(), QSize(4, 4));
    EXPECT_EQ(shared.pixel(1, 1) & 0xffffff, qRgb(255, 127, 127) & 0xffffff);
    EXPECT_TRUE(act("actnPaste")->isEnabled());
    Drag(d->SelectionFrame(), {100, 100});
    act("actnPaste")->trigger();
    // The floating block was dropped; the pasted one floats at the origin with its alpha.
    EXPECT_EQ(d->CurrentImage()->At(10, 10), (TmyPixel{255, 0, 0, 128}));
    EXPECT_EQ(sel().Image.At(2, 2), (TmyPixel{255, 0, 0, 128}));
    EXPECT_EQ(sel().Rect, (TSelRect{0, 0, 4, 4}));
    EXPECT_EQ(sel().Owner, d->Tag);
    EXPECT_EQ(d->SelectionFramePixel(), QPoint(0, 0));
    EXPECT_EQ(tools().State().ToolId, TToolId::Selection);
    EXPECT_TRUE(sel().BaseImage.Equals(sel().Image));
}

TEST_F(SelectionTest, APictureOfAnotherProgramIsPastedOpaqueAndFitted) {
    struct Row {
        const char* name;
        QSize picture;
        std::uint8_t action, answer;
        ImageSize want;
        int asked;
        QPoint probe;
        bool probeFilled;
    } rows[] = {
        {"a small picture keeps its size", {16, 12}, 3, 0, {16, 12}, 0, {15, 11}, true},
        {"a large one resized keeping proportions", {300, 200}, 0, 0, {32, 32}, 0, {0, 5}, true},
        {"above the resized picture stays clear", {300, 200}, 0, 0, {32, 32}, 0, {0, 4}, false},
        {"a large one cropped", {300, 10}, 1, 0, {32, 32}, 0, {0, 11}, true},
        {"a large one asked about, answered crop", {300, 10}, 3, 1, {32, 32}, 1, {0, 10}, false},
    };
    ASSERT_NE(openPicture(32), nullptr);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        control().Clear();
        Options().ClipboardAction = r.action;
        fittingAnswer = r.answer;
        fittingQuestions = 0;
        QImage picture(r.picture, QImage::Format_ARGB32);
        picture.fill(qRgba(20, 40, 60, 100));
        QGuiApplication::clipboard()->setImage(picture);
        main->UpdateClipboardActions();
        ASSERT_TRUE(act("actnPaste")->isEnabled());
        act("actnPaste")->trigger();
        EXPECT_EQ(fittingQuestions, r.asked);
        ASSERT_FALSE(sel().IsEmpty());
        EXPECT_EQ(sel().Image.Size(), r.want);
        const TmyPixel p = sel().Image.At(r.probe.x(), r.probe.y());
        if (r.probeFilled) {
            EXPECT_EQ(p.A, 255) << "no alpha comes from the clipboard";
        } else {
            EXPECT_EQ(p, kClear);
        }
    }
}

TEST_F(SelectionTest, CutAndDeleteTakeTheSelectionAwayAndPasteFollowsTheClipboard) {
    TfrmDesk* d = openPicture(32);
    const TmyImagePal original = *d->CurrentImage();
    main->FirstActivation({});
    QGuiApplication::clipboard()->setText("words");
    EXPECT_FALSE(act("actnPaste")->isEnabled());
    Lift(d, {2, 2}, {5, 5});
    act("actnCut")->trigger();
    EXPECT_TRUE(sel().IsEmpty());
    EXPECT_FALSE(d->SelectionFrameVisible());
    EXPECT_EQ(d->CurrentImage()->At(3, 3), kClear);
    EXPECT_NE(Shown(d, 3, 3), Rgb(original.At(3, 3))) << "the canvas shows the hole";
    ASSERT_EQ(QGuiApplication::clipboard()->image().size(), QSize(4, 4));
    // The clipboard changed: Paste follows it.
    EXPECT_TRUE(act("actnPaste")->isEnabled());
    expectEnabled({"actnCut", "actnCopy", "actnDel"}, false);

    Lift(d, {10, 10}, {12, 12});
    act("actnDel")->trigger();
    EXPECT_TRUE(sel().IsEmpty());
    EXPECT_EQ(d->CurrentImage()->At(11, 11), kClear);
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(4, 4)) << "Delete leaves the clipboard";
    QGuiApplication::clipboard()->setText("more words");
    EXPECT_FALSE(act("actnPaste")->isEnabled());
}

// ---------------------------------------------------------------- other windows

TEST_F(SelectionTest, TheFrameDraggedOutOfItsWindowMovesTheSelectionToAnother) {
    TfrmDesk* a = openPicture(32, {32, 32}, "a.ico");
    TfrmDesk* b = openPicture(32, {24, 24}, "b.ico");
    const TmyImagePal bBefore = *b->CurrentImage();
    a->MakeActive();
    Lift(a, {2, 1}, {5, 3});
    const TmyPixel corner = sel().Image.At(0, 0);
    QWidget* frame = a->SelectionFrame();
    const QPoint outside = a->ScrollBox()->mapFromGlobal(QPoint(-500, -500)) - frame->pos();
    {
        SCOPED_TRACE("without AllowDragAndDrop the frame stays in its window");
        Options().AllowDragAndDrop = false;
        const QPoint at = frame->pos();
        Drag(frame, outside);
        EXPECT_EQ(frame->pos(), at);
        EXPECT_EQ(dragged, nullptr);
        QMimeData refused;
        refused.setData(kSelectionMimeType, QByteArray::number(a->Tag));
        QDragEnterEvent enter(QPoint(5, 5), Qt::MoveAction, &refused, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(b->CanvasImage(), &enter);
        EXPECT_FALSE(enter.isAccepted());
    }
    Options().AllowDragAndDrop = true;
    Drag(frame, outside);
    ASSERT_NE(dragged, nullptr);
    EXPECT_EQ(dragSource, a);
    EXPECT_TRUE(dragged->hasFormat(kSelectionMimeType));
    EXPECT_FALSE(a->MovingSelection());
    // Dropped at canvas point (25, 35) of b at zoom 10: image pixel (2, 3).
    DropOn(b->CanvasImage(), QEvent::DragEnter, QPoint(25, 35), dragged.get());
    EXPECT_EQ(main->StatusLabel()->text(), "(2,3)");
    DropOn(b->CanvasImage(), QEvent::Drop, QPoint(25, 35), dragged.get());
    EXPECT_EQ(sel().Owner, b->Tag);
    EXPECT_EQ(main->ActiveDesk(), b);
    EXPECT_FALSE(a->SelectionFrameVisible());
    EXPECT_TRUE(b->SelectionFrameVisible());
    EXPECT_EQ(b->SelectionFramePixel(), QPoint(2, 3));
    EXPECT_EQ(b->SelectionFrame()->size(), QSize(40, 30));
    act("actDropSelection")->trigger();
    EXPECT_EQ(b->CurrentImage()->At(2, 3), corner);
    EXPECT_EQ(b->CurrentImage()->At(1, 3), bBefore.At(1, 3));
}

TEST_F(SelectionTest, TheFrameDroppedOffEveryWindowMakesANewOne) {
    TfrmDesk* a = openPicture(32, {32, 32}, "a.ico");
    Lift(a, {2, 1}, {6, 3});
    const TmyImagePal lifted = sel().Image;
    QMimeData data;
    data.setData(kSelectionMimeType, QByteArray::number(a->Tag));
    QWidget* viewport = main->DocumentArea()->viewport();
    // A point of the document area that no window covers.
    QPoint free(viewport->width() - 3, viewport->height() - 3);
    for (QMdiSubWindow* sw : main->DocumentArea()->subWindowList()) ASSERT_FALSE(sw->geometry().contains(free));
    {
        SCOPED_TRACE("refused without AllowDragAndDrop");
        Options().AllowDragAndDrop = false;
        QDragEnterEvent enter(free, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        EXPECT_FALSE(enter.isAccepted());
        EXPECT_EQ(main->Desks().DeskCount(), 1);
    }
    Options().AllowDragAndDrop = true;
    {
        SCOPED_TRACE("over a window it is that window's drop, not the area's");
        const QPoint onWindow = a->Frame()->geometry().center();
        QDragEnterEvent enter(onWindow, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        EXPECT_FALSE(enter.isAccepted());
    }
    QDragEnterEvent enter(free, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    EXPECT_TRUE(enter.isAccepted());
    DropOn(viewport, QEvent::Drop, free, &data);
    ASSERT_EQ(main->Desks().DeskCount(), 2);
    auto* fresh = qobject_cast<TfrmDesk*>(main->ActiveDesk());
    ASSERT_NE(fresh, a);
    EXPECT_EQ(fresh->CurrentImage()->Size(), (ImageSize{5, 3}));
    EXPECT_EQ(fresh->CurrentImage()->BitCount, 32);
    EXPECT_EQ(sel().Owner, fresh->Tag);
    EXPECT_EQ(fresh->SelectionFramePixel(), QPoint(0, 0));
    EXPECT_FALSE(a->SelectionFrameVisible());
    act("actDropSelection")->trigger();
    EXPECT_TRUE(fresh->CurrentImage()->Equals(lifted));
}

TEST_F(SelectionTest, APictureDroppedOnACanvasFloatsAtItsOrigin) {
    TfrmDesk* a = openPicture(8, {16, 16}, "a.ico");
    TfrmDesk* b = openPicture(32, {32, 32}, "b.ico");
    b->MakeActive();
    Lift(b, {20, 20}, {22, 22});
    const TmyImagePal picture = *a->CurrentImage();
    tools().SetTool(TToolId::Pencil);
    control().DropImage(picture, b->Tag);
    EXPECT_EQ(b->CurrentImage()->At(21, 21), Pattern(21, 21)) << "the old selection was dropped first";
    EXPECT_EQ(sel().Owner, b->Tag);
    EXPECT_EQ(sel().Image.BitCount, 32);
    EXPECT_FALSE(sel().Image.Palette.has_value());
    EXPECT_EQ(sel().Image.At(5, 7), picture.At(5, 7));
    EXPECT_EQ(b->SelectionFramePixel(), QPoint(0, 0));
    EXPECT_EQ(tools().State().ToolId, TToolId::Selection);
    EXPECT_EQ(main->ActiveDesk(), b);
    // A tile whose side bar is unknown (a drag from outside) is not taken.
    QMimeData tiles;
    tiles.setData("application/x-qabstractitemmodeldatalist", "x");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &tiles, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(b->CanvasImage(), &enter);
    EXPECT_FALSE(enter.isAccepted());
}

TEST_F(SelectionTest, TheSelectionShowsOnlyInItsOwnWindow) {
    TfrmDesk* a = openPicture(32, {32, 32}, "a.ico");
    TfrmDesk* b = openPicture(32, {32, 32}, "b.ico");
    a->MakeActive();
    Lift(a, {2, 2}, {5, 5});
    TmyImagePal copy(a->CurrentImage()->Size(), 32);
    EXPECT_TRUE(a->PasteSelectionInto(copy));
    EXPECT_EQ(copy.At(3, 3), Pattern(3, 3));
    b->MakeActive();
    EXPECT_FALSE(b->SelectionFrameVisible());
    TmyImagePal other(b->CurrentImage()->Size(), 32);
    EXPECT_FALSE(b->PasteSelectionInto(other));
    EXPECT_TRUE(a->SelectionFrameVisible());
    expectEnabled({"actnCopy", "actnCut", "actnDel"}, false);
    a->MakeActive();
    EXPECT_TRUE(a->SelectionFrameVisible());
    expectEnabled({"actnCopy", "actnCut", "actnDel"}, true);
    // Choosing another image of the window drops the selection first.
    a->SetCurrentImage(0);
    EXPECT_TRUE(sel().IsEmpty());
    EXPECT_EQ(a->CurrentImage()->At(3, 3), Pattern(3, 3));
}

TEST_F(SelectionTest, TheTextToolTypesAFloatingSelection) {
    TfrmDesk* d = openPicture(8);
    d->UndoStore().Clear();
    const TmyImagePal original = *d->CurrentImage();
    Options().ForeColor = (*original.Palette)[9];
    tools().Windows().AskText = [](TTagColor c) -> std::optional<TTextStamp> {
        TTextStamp s{TTagBitmap(255, 255), 8, 6, 12, false};
        for (int x = 1; x < 7; ++x) s.Tag.At(x, 3) = TagOf(c);
        return s;
    };
    tools().SetTool(TToolId::Text);
    Press(d, 10, 10);
    Release(d, 10, 10);
    // Width text + 2, height text + 3, at the click; the image waits for the drop.
    EXPECT_EQ(sel().Rect, (TSelRect{10, 10, 20, 19}));
    EXPECT_EQ(d->SelectionFramePixel(), QPoint(10, 10));
    EXPECT_TRUE(d->CurrentImage()->Equals(original));
    EXPECT_FALSE(d->UndoStore().CanUndo());
    EXPECT_EQ(Shown(d, 12, 13), Rgb(Options().ForeColor));
    act("actDropSelection")->trigger();
    EXPECT_EQ(d->CurrentImage()->At(12, 13), Options().ForeColor);
    EXPECT_EQ(d->CurrentImage()->At(12, 12), original.At(12, 12));
    const TmyImagePal* before = UndoOnce(d);
    ASSERT_NE(before, nullptr);
    EXPECT_TRUE(before->Equals(original));
}

}  // namespace
