// The drawing tools on real document windows: mouse events sent to a canvas,
// every tool on every depth at zoom 1 and 10 with both buttons, undo after
// each stroke, Escape, Shift, the middle button, the hotspot tool and window,
// the picker, the zoom tool, the rubber band and brush outline over the
// canvas, the tool keys, side-bar moves and copies, and the palette-cell edit.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <deque>

#include "DeskFixture.h"
#include "browse/ThumbnailGrid.h"
#include "engine/ToolDispatch.h"
#include "shell/DeskText.h"
#include "shell/ToolController.h"

using namespace velto;
using velto::test::DeskTest;

namespace {

// Every pixel transparent black or an opaque palette entry.
::testing::AssertionResult OnPalette(const TmyImagePal& img) {
    if (!img.Palette) return ::testing::AssertionSuccess();
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x) {
            const TmyPixel& p = img.At(x, y);
            if (p == TmyPixel{}) continue;
            if (p.A != 255 || img.Palette->IndexOf(p) < 0)
                return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") is off the palette";
        }
    return ::testing::AssertionSuccess();
}

const char* ToolName(TToolId id) {
    static const char* const names[] = {"none",     "selection", "crop",    "text",     "eraser",   "fill",  "spray",
                                        "brush",    "pencil",    "line",    "rectangle", "roundrect", "ellipse", "picker",
                                        "zoom",     "opacity",   "gradient", "brighten", "blur",     "hotspot"};
    return names[static_cast<int>(id)];
}

class ToolsTest : public DeskTest {
protected:
    void SetUp() override {
        DeskTest::SetUp();
        Options().Autozoom = false;
        Options().PaletteAction = 2;
        Options().ShowTips = false;
        tools().SetRandomSource([](int k) { return k / 2; });
        tools().Windows().AskPaletteChoice = [this] {
            ++questions;
            return TPaletteChoice::Keep;
        };
        tools().Windows().AskText = [this](TTagColor c) -> std::optional<TTextStamp> {
            ++texts;
            TTextStamp s{TTagBitmap(255, 255), 8, 6, 12, false};
            for (int x = 1; x < 7; ++x) s.Tag.At(x, 3) = TagOf(c);
            return s;
        };
        tools().Windows().EditHotspot = [this](THotspotRequest& r) {
            hotspotRequests.push_back(r);
            if (!hotspotAnswer) return false;
            r.X = hotspotAnswer->x();
            r.Y = hotspotAnswer->y();
            return true;
        };
    }

    TToolController& tools() const { return main->Tools(); }

    // A document of one image of the depth, painted with its palette's
    // colours (or any colours) around a transparent corner.
    TfrmDesk* openImage(int bits, ImageSize size = {32, 32}, const QString& name = {}) {
        TmyIcon doc;
        TmyImagePal& img = doc.Image(doc.AddImage(size, bits));
        for (int y = 0; y < size.Height; ++y)
            for (int x = 0; x < size.Width; ++x) {
                if (x < 3 && y < 3) continue;
                const int k = (x * 5 + y * 3) % 23;
                img.At(x, y) = img.Palette ? (*img.Palette)[k % img.Palette->Count()]
                                           : TmyPixel{static_cast<std::uint8_t>(k * 11), 40, static_cast<std::uint8_t>(y * 7),
                                                      static_cast<std::uint8_t>(bits == 32 ? 100 + k * 5 : 255)};
            }
        TfrmDesk* d = openDocument(doc, name.isEmpty() ? QString("d%1.ico").arg(bits) : name);
        EXPECT_NE(d, nullptr);
        return d;
    }

    static void Send(TfrmDesk* d, QEvent::Type t, QPoint p, Qt::MouseButton b, Qt::MouseButtons held,
                     Qt::KeyboardModifiers mods = Qt::NoModifier) {
        SendMouse(d->CanvasImage(), t, p, b, held, mods);
    }
    static void Press(TfrmDesk* d, int x, int y, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {}) {
        Send(d, QEvent::MouseButtonPress, At(d, x, y), b, b, m);
    }
    static void Move(TfrmDesk* d, int x, int y, Qt::MouseButtons held = Qt::LeftButton, Qt::KeyboardModifiers m = {}) {
        Send(d, QEvent::MouseMove, At(d, x, y), Qt::NoButton, held, m);
    }
    static void Release(TfrmDesk* d, int x, int y, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {}) {
        Send(d, QEvent::MouseButtonRelease, At(d, x, y), b, Qt::NoButton, m);
    }
    // A key as the keyboard gives it: to the widget with the focus.
    void Key(QEvent::Type t, int key) {
        QWidget* to = QApplication::focusWidget() ? QApplication::focusWidget() : main.get();
        QKeyEvent e(t, key, Qt::NoModifier);
        QApplication::sendEvent(to, &e);
    }
    void Choose(TToolId tool) {
        tools().SetTool(TToolId::Brush);
        tools().SetTool(tool);
    }

    int questions = 0, texts = 0;
    std::vector<THotspotRequest> hotspotRequests;
    std::optional<QPoint> hotspotAnswer;
};

// ---------------------------------------------------------------- every tool on every depth

TEST_F(ToolsTest, EveryToolOnEveryDepthAtZoomOneAndTenWithBothButtonsUndoAndEscape) {
    for (int bits : {1, 4, 8, 24, 32}) {
        TfrmDesk* d = openImage(bits);
        ASSERT_NE(d, nullptr);
        const TmyImagePal original = *d->CurrentImage();
        const TmyPalette* pal = original.Palette ? &*original.Palette : nullptr;
        // Colours the colour panel allows: palette entries on indexed images.
        Options().ForeColor = pal ? (*pal)[pal->Count() - 1] : TmyPixel{250, 10, 10, static_cast<std::uint8_t>(bits == 32 ? 140 : 255)};
        Options().BackColor = pal ? (*pal)[1 % pal->Count()] : TmyPixel{};
        const TmyPixel fore = Options().ForeColor, back = Options().BackColor;
        for (int zoom : {1, 10}) {
            for (int t = 1; t <= kToolCount; ++t) {
                const auto tool = static_cast<TToolId>(t);
                for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
                    for (bool escape : {false, true}) {
                        SCOPED_TRACE(QString("%1 bits, zoom %2, %3, %4%5")
                                         .arg(bits)
                                         .arg(zoom)
                                         .arg(ToolName(tool))
                                         .arg(button == Qt::LeftButton ? "left" : "right")
                                         .arg(escape ? ", Escape" : "")
                                         .toStdString());
                        d->CurrentImage()->Assign(original);
                        d->SetZoom(zoom);
                        d->ImageChanged();
                        d->UndoStore().Clear();
                        Options().ForeColor = fore;
                        Options().BackColor = back;
                        Choose(tool);
                        const TToolId current = tools().State().ToolId;
                        Press(d, 4, 5, button);
                        Move(d, 12, 9, button);
                        Move(d, 20, 17, button);
                        if (escape) Key(QEvent::KeyPress, Qt::Key_Escape);
                        Release(d, 20, 17, button);
                        QApplication::processEvents();
                        const TmyImagePal& now = *d->CurrentImage();
                        EXPECT_FALSE(d->Stroke().ButtonHeld);
                        EXPECT_EQ(d->StrokeStartImage(), nullptr);
                        EXPECT_FALSE(tools().State().Band.Shown());
                        EXPECT_TRUE(OnPalette(now));
                        if (bits == 24) {
                            for (const TmyPixel& p : now.Pixels()) ASSERT_TRUE(p.A == 255 || p == TmyPixel{});
                        }
                        if (escape) {
                            EXPECT_TRUE(now.Equals(original) && now.Size() == original.Size());
                            continue;
                        }
                        if (tool == TToolId::Pencil || tool == TToolId::Brush || tool == TToolId::Line) {
                            EXPECT_FALSE(now.Equals(original)) << "the stroke painted";
                        }
                        // Undo gives back the image as it was before the stroke.
                        const TmyImagePal* before = UndoOnce(d);
                        if (!now.Equals(original) || now.Size() != original.Size()) {
                            ASSERT_NE(before, nullptr);
                            EXPECT_TRUE(before->Equals(original) && before->Size() == original.Size());
                        }
                        const bool returns = tool == TToolId::Picker || tool == TToolId::Hotspot;
                        EXPECT_EQ(tools().State().ToolId, returns ? TToolId::Brush : current);
                    }
                }
            }
        }
        d->SetSaved(true);
        d->Frame()->close();
    }
    // The text tool and the hotspot tool asked their windows; the palette
    // question came at the end of brighten and blur strokes on indexed images.
    EXPECT_GT(texts, 0);
    EXPECT_GT(questions, 0);
    EXPECT_FALSE(hotspotRequests.empty());
}

// ---------------------------------------------------------------- strokes

TEST_F(ToolsTest, APressStoresOneUndoSnapshotAndMarksTheDocument) {
    TfrmDesk* d = openImage(32);
    d->SetZoom(10);
    struct Row {
        TToolId tool;
        int snapshots;
    };
    for (const Row& r : {Row{TToolId::Pencil, 1}, Row{TToolId::Crop, 1}, Row{TToolId::Picker, 0},
                         Row{TToolId::Zoom, 0}, Row{TToolId::Selection, 0}}) {
        SCOPED_TRACE(ToolName(r.tool));
        d->SetZoom(10);
        d->UndoStore().Clear();
        d->SetSaved(true);
        Choose(r.tool);
        Press(d, 2, 2);
        EXPECT_EQ(d->UndoStore().Count(), r.snapshots);
        EXPECT_EQ(d->Saved(), r.snapshots == 0);
        EXPECT_FALSE(act("actpen")->isEnabled()) << "tool keys locked during the stroke";
        Release(d, 2, 2);
        EXPECT_TRUE(act("actpen")->isEnabled());
    }
}

TEST_F(ToolsTest, EscapeEndsTheStrokeAndTheReleaseAfterItSendsNothing) {
    TfrmDesk* d = openImage(32);
    d->SetZoom(10);
    const TmyImagePal before = *d->CurrentImage();
    Choose(TToolId::Pencil);
    Press(d, 4, 4);
    Move(d, 10, 4);
    EXPECT_FALSE(d->CurrentImage()->Equals(before));
    Key(QEvent::KeyPress, Qt::Key_Escape);
    EXPECT_TRUE(d->CurrentImage()->Equals(before));
    EXPECT_FALSE(d->Stroke().ButtonHeld);
    EXPECT_EQ(d->Stroke().LastButton, 2);
    Move(d, 12, 6);
    Release(d, 12, 6);
    EXPECT_TRUE(d->CurrentImage()->Equals(before));
    // A rectangle's band goes with Escape and nothing is drawn.
    Choose(TToolId::Rectangle);
    Press(d, 2, 2);
    Move(d, 9, 9);
    EXPECT_FALSE(tools().BandRect(*d).isEmpty());
    Key(QEvent::KeyPress, Qt::Key_Escape);
    EXPECT_TRUE(tools().BandRect(*d).isEmpty());
    Release(d, 9, 9);
    EXPECT_TRUE(d->CurrentImage()->Equals(before));
}

TEST_F(ToolsTest, ShiftFromTheMoveAndFromTheKeySquaresTheDrag) {
    TfrmDesk* d = openImage(32);
    d->SetZoom(10);
    Choose(TToolId::Line);
    Press(d, 0, 0);
    Move(d, 10, 2, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(tools().State().Band.To, (TPoint{10, 0}));
    Move(d, 10, 3);
    EXPECT_EQ(tools().State().Band.To, (TPoint{10, 3}));
    // Shift pressed and let go without moving re-sends the pointer.
    Key(QEvent::KeyPress, Qt::Key_Shift);
    EXPECT_EQ(tools().State().Band.To, (TPoint{10, 10}));
    Key(QEvent::KeyRelease, Qt::Key_Shift);
    EXPECT_EQ(tools().State().Band.To, (TPoint{10, 3}));
    Key(QEvent::KeyPress, Qt::Key_Shift);
    Release(d, 10, 3, Qt::LeftButton, Qt::ShiftModifier);
    // The line went to the squared point of the last move.
    EXPECT_EQ(d->CurrentImage()->At(10, 10), Options().ForeColor);
    EXPECT_EQ(d->CurrentImage()->At(5, 5), Options().ForeColor);
}

TEST_F(ToolsTest, MiddleButtonAndReleaseOutsideTheWindow) {
    TfrmDesk* d = openImage(32);
    d->SetZoom(10);
    const TmyImagePal before = *d->CurrentImage();
    Choose(TToolId::Pencil);
    // The middle button holds a stroke that paints nothing; its release ends it.
    Press(d, 4, 4, Qt::MiddleButton);
    EXPECT_TRUE(d->Stroke().ButtonHeld);
    EXPECT_NE(d->StrokeStartImage(), nullptr);
    EXPECT_EQ(d->UndoStore().Count(), 0);
    Release(d, 4, 4, Qt::MiddleButton);
    EXPECT_FALSE(d->Stroke().ButtonHeld);
    EXPECT_EQ(d->StrokeStartImage(), nullptr);
    EXPECT_TRUE(act("actpen")->isEnabled());
    EXPECT_TRUE(d->CurrentImage()->Equals(before));
    // Released elsewhere: the next move without buttons ends the stroke there.
    Choose(TToolId::Line);
    Press(d, 1, 1);
    Move(d, 8, 1);
    Move(d, 5, 7, Qt::NoButton);
    EXPECT_FALSE(d->Stroke().ButtonHeld);
    EXPECT_EQ(d->CurrentImage()->At(8, 1), Options().ForeColor);
    // The other button pressed during a stroke changes nothing.
    Choose(TToolId::Pencil);
    Press(d, 20, 20);
    Press(d, 22, 22, Qt::RightButton);
    Release(d, 22, 22, Qt::RightButton);
    EXPECT_TRUE(d->Stroke().ButtonHeld);
    Release(d, 20, 20);
    EXPECT_FALSE(d->Stroke().ButtonHeld);
    EXPECT_NE(d->CurrentImage()->At(22, 22), Options().BackColor);
}

// ---------------------------------------------------------------- one-click tools

TEST_F(ToolsTest, ThePickerSetsTheColoursAndTheZoomToolStepsTheZoom) {
    TfrmDesk* d = openImage(32);
    d->SetZoom(10);
    const TmyPixel p = d->CurrentImage()->At(7, 9);
    Choose(TToolId::Picker);
    Press(d, 7, 9);
    Release(d, 7, 9);
    EXPECT_EQ(Options().ForeColor, p);
    EXPECT_EQ(tools().State().ToolId, TToolId::Brush);
    Choose(TToolId::Picker);
    Press(d, 7, 9, Qt::RightButton, Qt::ShiftModifier);
    Release(d, 7, 9, Qt::RightButton, Qt::ShiftModifier);
    EXPECT_EQ(Options().BackColor, p);
    EXPECT_EQ(tools().State().ToolId, TToolId::Picker) << "Shift keeps the picker";

    Choose(TToolId::Zoom);
    d->SetZoom(1);
    std::vector<int> seen{d->Zoom()};
    while (d->Zoom() < 100) {
        Press(d, 0, 0);
        Release(d, 0, 0);
        seen.push_back(d->Zoom());
        EXPECT_EQ(d->CurrentImage()->Zoom, d->Zoom());
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 6, 9, 13, 19, 28, 42, 63, 94, 100}));
    Press(d, 0, 0, Qt::RightButton);
    Release(d, 0, 0, Qt::RightButton);
    EXPECT_EQ(d->Zoom(), 67);
}

TEST_F(ToolsTest, TheHotspotToolAndWindowSetTheHotspot) {
    TmyANI ani;
    for (int i = 0; i < 3; ++i) ani.AddImage({32, 32}, 32);
    TfrmDesk* d = openDocument(ani, "h.ani");
    ASSERT_NE(d, nullptr);
    d->SetZoom(10);
    d->SetSaved(true);
    hotspotAnswer = QPoint(5, 6);
    Choose(TToolId::Hotspot);
    Press(d, 5, 6);
    Move(d, 9, 9);
    Release(d, 9, 9);
    EXPECT_EQ(tools().State().ToolId, TToolId::Brush) << "the previous tool is back";
    EXPECT_TRUE(hotspotRequests.empty()) << "the window opens after the stroke";
    QApplication::processEvents();
    ASSERT_EQ(hotspotRequests.size(), 1u);
    const THotspotRequest& r = hotspotRequests[0];
    EXPECT_EQ((std::array<int, 4>{r.MaxX, r.MaxY, r.X, r.Y}), (std::array<int, 4>{31, 31, 5, 6}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(d->Document()->Image(i).HotSpotX(), 5);
        EXPECT_EQ(d->Document()->Image(i).HotSpotY(), 6);
    }
    EXPECT_FALSE(d->Saved());
    EXPECT_EQ(d->CurrentImage()->At(9, 9), TmyPixel{}) << "the brush did not paint the rest of the stroke";

    // The Hot Spot command opens the window on the image's hotspot; Cancel changes nothing.
    d->SetSaved(true);
    hotspotAnswer.reset();
    act("actHotspot")->trigger();
    ASSERT_EQ(hotspotRequests.size(), 2u);
    EXPECT_EQ(hotspotRequests[1].X, 5);
    EXPECT_EQ(hotspotRequests[1].Y, 6);
    EXPECT_TRUE(d->Saved());
    hotspotAnswer = QPoint(31, 0);
    act("actHotspot")->trigger();
    EXPECT_EQ(d->CurrentImage()->HotSpotX(), 31);
    EXPECT_EQ(d->CurrentImage()->HotSpotY(), 0);
}

// ---------------------------------------------------------------- what the canvas shows

TEST_F(ToolsTest, TheRubberBandAndTheBrushOutlineFloatOverTheCanvas) {
    TfrmDesk* d = openImage(32);
    d->SetZoom(10);
    d->show();
    QWidget* canvas = d->CanvasImage();
    Choose(TToolId::Rectangle);
    Press(d, 2, 3);
    Move(d, 6, 8);
    const QRect band = tools().BandRect(*d);
    EXPECT_EQ(band, QRect(QPoint(20, 30) - QPoint(d->CanvasGeometry().hpos, d->CanvasGeometry().vpos), QSize(50, 60)));
    // The band inverts the canvas where it runs; the bitmap underneath keeps the image.
    const QImage shown = canvas->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage& bitmap = d->CanvasImage()->Bitmap();
    const QPoint corner = band.topLeft();
    EXPECT_EQ(shown.pixel(corner) & 0xffffff, ~bitmap.pixel(corner) & 0xffffff);
    EXPECT_EQ(shown.pixel(corner + QPoint(10, 10)), bitmap.pixel(corner + QPoint(10, 10)));
    Release(d, 6, 8);
    EXPECT_TRUE(tools().BandRect(*d).isEmpty());

    // The outline: tools with a tip, zoom above 1, the pointer over the canvas.
    Choose(TToolId::Brush);
    tools().State().SetBrushSize(3);
    tools().UpdateBrushOutline();
    Move(d, 10, 10, Qt::NoButton);
    const TCanvasGeometry g = d->CanvasGeometry();
    EXPECT_EQ(tools().OutlineRect(*d), QRect(9 * 10 - g.hpos - 1, 9 * 10 - g.vpos - 1, 32, 32));
    const QImage ring = canvas->grab().toImage();
    EXPECT_EQ(QColor(ring.pixel(9 * 10 - g.hpos - 1, 10 * 10 - g.vpos)), QColor(Qt::black));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(canvas, &leave);
    EXPECT_TRUE(tools().OutlineRect(*d).isEmpty());
    Move(d, 10, 10, Qt::NoButton);
    d->SetZoom(1);
    EXPECT_TRUE(tools().OutlineRect(*d).isEmpty());
    d->SetZoom(10);
    Choose(TToolId::Pencil);
    Move(d, 10, 10, Qt::NoButton);
    EXPECT_TRUE(tools().OutlineRect(*d).isEmpty());
}

TEST_F(ToolsTest, ToolKeysChooseToolsAndTheCanvasTakesTheToolsCursor) {
    main->FirstActivation({});
    TfrmDesk* d = openImage(32);
    struct Row {
        const char* action;
        TToolId tool;
    };
    for (const Row& r : {Row{"actselect", TToolId::Selection}, Row{"actline", TToolId::Line},
                         Row{"actblur", TToolId::Blur}, Row{"actpen", TToolId::Pencil}}) {
        SCOPED_TRACE(r.action);
        act(r.action)->trigger();
        EXPECT_EQ(tools().State().ToolId, r.tool);
        const QCursor* expected = main->ToolCursor(ToolInfo(r.tool).Cursor);
        ASSERT_NE(expected, nullptr);
        EXPECT_EQ(d->CanvasImage()->cursor().pixmap().toImage(), expected->pixmap().toImage());
    }
    // Choosing a tool drops the floating selection, except for the selection and text tools.
    selection.commits = 0;
    act("actselect")->trigger();
    act("acttext")->trigger();
    EXPECT_EQ(selection.commits, 0);
    act("actfill")->trigger();
    EXPECT_EQ(selection.commits, 1);
}

// ---------------------------------------------------------------- images of the side bar

TEST_F(ToolsTest, MovingAndCopyingImagesOfTheSideBar) {
    TmyIcon icon;
    icon.Image(icon.AddImage({32, 32}, 32)).At(0, 0) = TmyPixel{1, 0, 0, 255};
    icon.Image(icon.AddImage({16, 16}, 32)).At(0, 0) = TmyPixel{2, 0, 0, 255};
    icon.Image(icon.AddImage({16, 16}, 8));
    TfrmDesk* d = openDocument(icon, "m.ico");
    ASSERT_NE(d, nullptr);
    const auto firstPixels = [d] {
        std::vector<int> v;
        for (int i = 0; i < d->Document()->Count(); ++i) v.push_back(d->Document()->Image(i).At(0, 0).R);
        return v;
    };
    const std::vector<int> start = firstPixels();
    // A copy of a format the icon has is refused.
    shown.clear();
    d->SetSaved(true);
    EXPECT_FALSE(d->MoveImage(0, 2, true));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "There is already an image with this format in the icon!");
    EXPECT_EQ(shown[0].kind, int(mkWarning));
    EXPECT_EQ(firstPixels(), start);
    EXPECT_TRUE(d->Saved());
    // A move lands right after the tile it was dropped on.
    EXPECT_TRUE(d->MoveImage(0, 2, false));
    EXPECT_EQ(firstPixels(), (std::vector<int>{start[1], start[2], start[0]}));
    EXPECT_EQ(d->ItemIndex(), 2);
    EXPECT_FALSE(d->Saved());
    EXPECT_EQ(d->SideBar()->Count(), 3);
    // Move Up: the current image one place earlier.
    act("actFrameUp")->trigger();
    EXPECT_EQ(firstPixels(), (std::vector<int>{start[1], start[0], start[2]}));
    EXPECT_EQ(d->ItemIndex(), 1);

    // In an animation a copy is added after the target.
    TmyANI ani;
    for (int i = 0; i < 3; ++i) ani.Image(ani.AddImage({8, 8}, 32)).At(0, 0) = TmyPixel{static_cast<std::uint8_t>(i + 1), 0, 0, 255};
    TfrmDesk* a = openDocument(ani, "m.ani");
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->MoveImage(0, 2, true));
    std::vector<int> frames;
    for (int i = 0; i < a->Document()->Count(); ++i) frames.push_back(a->Document()->Image(i).At(0, 0).R);
    EXPECT_EQ(frames, (std::vector<int>{1, 2, 3, 1}));
    EXPECT_EQ(a->SideBar()->Count(), 4);
    // Another window's tile dropped on the side bar: inserted at its sorted place, once.
    EXPECT_FALSE(d->InsertDroppedImage(d->Document()->Image(0)));
    TmyImagePal other({48, 48}, 24);
    EXPECT_TRUE(d->InsertDroppedImage(other));
    EXPECT_EQ(d->Document()->Count(), 4);
}

// ---------------------------------------------------------------- the colour panel's palette edit

TEST_F(ToolsTest, ThePaletteCellEditIsUndoableAndMarksTheDocument) {
    TfrmDesk* d = openImage(8);
    d->SetSaved(true);
    TmyImagePal& img = *d->CurrentImage();
    const TmyPixel old = (*img.Palette)[7];
    const TmyImagePal before = img;
    EXPECT_TRUE(tools().ReplacePaletteColor(old, TmyPixel{1, 2, 3, 255}, 7));
    EXPECT_EQ((*img.Palette)[7], (TmyPixel{1, 2, 3, 255}));
    EXPECT_FALSE(d->Saved());
    EXPECT_TRUE(act("actnUndo")->isEnabled());
    const TmyImagePal* undo = UndoOnce(d);
    ASSERT_NE(undo, nullptr);
    EXPECT_TRUE(undo->Equals(before));
    // A colour the palette does not hold changes nothing, not even the history.
    d->UndoStore().Clear();
    EXPECT_FALSE(tools().ReplacePaletteColor(TmyPixel{9, 9, 9, 255}, TmyPixel{1, 2, 3, 255}, 7));
    EXPECT_EQ(d->UndoStore().Count(), 0);
}

}  // namespace
