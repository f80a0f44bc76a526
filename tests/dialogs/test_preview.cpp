// The preview frame and pane: centring, panning, the double-click guard,
// rendering with a floating selection, single pixels, and the quick colours.
#include <gtest/gtest.h>

#include <QDir>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>

#include <memory>

#include "DialogsTestSupport.h"
#include "dialogs/EngineBridge.h"
#include "dialogs/FormPreview.h"
#include "dialogs/ImageView.h"
#include "dialogs/PreviewFrame.h"

namespace velto::test {
namespace {

class PreviewTest : public PaneTest {
protected:
    void SetUp() override {
        PaneTest::SetUp();
        pane = std::make_unique<TfrmPreview>(dir.path());
        pane->resize(242, 218);
        pane->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(pane.get()));
    }
    void TearDown() override {
        pane.reset();
        PaneTest::TearDown();
    }
    Tpreview* frame() const { return pane->Preview(); }
    ImageView* image() const { return frame()->Image1(); }
    static TmyImagePal Filled(int w, int h, TmyPixel p, int bits = 32) {
        TmyImagePal img(ImageSize{w, h}, bits);
        for (TmyPixel& q : img.Pixels()) q = p;
        return img;
    }
    // A mouse event on the image with the pointer at global (screen) position g.
    void send(QEvent::Type type, QPoint g, Qt::MouseButton button, Qt::MouseButtons held) {
        const QPointF local = image()->mapFromGlobal(QPointF(g));
        QMouseEvent e(type, local, QPointF(g), button, held, Qt::NoModifier);
        QApplication::sendEvent(image(), &e);
    }
    std::unique_ptr<TfrmPreview> pane;
};

TEST_F(PreviewTest, SmallImagesAreCentredLargeOnesScroll) {
    struct Row {
        const char* name;
        int w, h;
        bool scrolls;
    };
    const Row rows[] = {{"smaller than the box", 20, 10, false}, {"one pixel", 1, 1, false}, {"larger", 256, 256, true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const TmyImagePal img = Filled(r.w, r.h, Px(1, 2, 3, 255));
        pane->RefreshPreview(&img);
        EXPECT_EQ(pane->CurrentImage(), &img);
        EXPECT_EQ(image()->size(), QSize(r.w, r.h));
        const QSize box = frame()->viewport()->size();
        const int h = frame()->horizontalScrollBar()->value(), v = frame()->verticalScrollBar()->value();
        EXPECT_EQ(image()->pos(), QPoint(std::max(0, (box.width() - r.w) / 2) - h, std::max(0, (box.height() - r.h) / 2) - v));
        EXPECT_EQ(frame()->horizontalScrollBar()->maximum() > 0, r.scrolls);
        QTest::mouseMove(image(), {0, 0});
        EXPECT_EQ(image()->cursor().shape(), r.scrolls ? Qt::OpenHandCursor : Qt::ArrowCursor);
    }
}

TEST_F(PreviewTest, DraggingPansByTheMouseMovement) {
    const TmyImagePal img = Filled(400, 400, Px(9, 9, 9, 255));
    pane->RefreshPreview(&img);
    QScrollBar* hb = frame()->horizontalScrollBar();
    QScrollBar* vb = frame()->verticalScrollBar();
    hb->setValue(50);
    vb->setValue(60);
    const QPoint start = image()->mapToGlobal(QPoint(100, 100));
    send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    ASSERT_TRUE(frame()->Dragging());
    struct Step {
        const char* name;
        QPoint by;  // pointer movement since the press
        int h, v;
    };
    const Step steps[] = {
        {"left and up: the picture follows", {-10, -20}, 60, 80},
        {"back right", {5, -20}, 45, 80},
        {"past the end stops there", {-900, -900}, hb->maximum(), vb->maximum()},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        send(QEvent::MouseMove, start + s.by, Qt::NoButton, Qt::LeftButton);
        EXPECT_EQ(hb->value(), s.h);
        EXPECT_EQ(vb->value(), s.v);
    }
    send(QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(frame()->Dragging());
    send(QEvent::MouseMove, start + QPoint(30, 30), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(hb->value(), hb->maximum()) << "no drag after the release";
    // The right button never drags.
    send(QEvent::MouseButtonPress, start, Qt::RightButton, Qt::RightButton);
    EXPECT_FALSE(frame()->Dragging());
}

TEST_F(PreviewTest, TheSecondPressOfADoubleClickStartsNoDrag) {
    const TmyImagePal img = Filled(400, 400, Px(9, 9, 9, 255));
    pane->RefreshPreview(&img);
    QScrollBar* hb = frame()->horizontalScrollBar();
    hb->setValue(50);
    const QPoint at = image()->mapToGlobal(QPoint(100, 100));
    colors = {QColor(10, 20, 30)};
    send(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    send(QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    EXPECT_FALSE(frame()->Dragging());
    send(QEvent::MouseMove, at + QPoint(-20, 0), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(hb->value(), 50);
    send(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    // The double click chose the background colour.
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_EQ(offered[0], QColor(255, 255, 255)) << "it opens on the background colour";
    EXPECT_EQ(Options().PrevColor, MakeColor(10, 20, 30));
    EXPECT_EQ(frame()->BoxColor(), MakeColor(10, 20, 30));
    EXPECT_EQ(QColor(image()->Picture().pixel(0, 0)), QColor(9, 9, 9));
    // A later press drags again.
    send(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(frame()->Dragging());
}

TEST_F(PreviewTest, RenderingOverTheBackgroundWithTheSelection) {
    Options().PrevColor = MakeColor(0, 0, 255);
    TmyImagePal img = Filled(3, 2, Px(200, 100, 0, 255));
    img.At(0, 0) = Px(0, 0, 0, 0);
    img.At(1, 0) = Px(255, 255, 255, 128);
    pane->RefreshPreview(&img);
    const QImage& shown = image()->Picture();
    EXPECT_EQ(QColor(shown.pixel(0, 0)), QColor(0, 0, 255)) << "transparent shows the background";
    EXPECT_EQ(QColor(shown.pixel(1, 0)), QColor(128, 128, (255 * 128 + 255 * 127 + 127) / 255));
    EXPECT_EQ(QColor(shown.pixel(2, 1)), QColor(200, 100, 0)) << "opaque keeps its colour";
    // A floating selection shows at its place; the image itself is untouched.
    doc->selection.emplace(ImageSize{1, 1}, 32);
    doc->selection->At(0, 0) = Px(1, 2, 3, 255);
    doc->selX = 2;
    doc->selY = 0;
    pane->RefreshPreview(&img);
    EXPECT_EQ(QColor(image()->Picture().pixel(2, 0)), QColor(1, 2, 3));
    EXPECT_EQ(img.At(2, 0), Px(200, 100, 0, 255));
    EXPECT_EQ(pane->CurrentImage(), &img);
    pane->RefreshPreview(nullptr);
    EXPECT_EQ(pane->CurrentImage(), nullptr);
    EXPECT_EQ(image()->size(), QSize(0, 0));
}

TEST_F(PreviewTest, PaintedPixelsWithoutReRendering) {
    Options().PrevColor = MakeColor(255, 255, 255);
    const TmyImagePal img = Filled(4, 4, Px(0, 0, 0, 255));
    pane->RefreshPreview(&img);
    struct Row {
        const char* name;
        QPoint at;
        bool blend;
        TmyPixel pixel;
        QColor shown;
    };
    const Row rows[] = {
        {"opaque", {1, 1}, false, Px(10, 20, 30, 77), QColor(10, 20, 30)},
        {"blended", {2, 1}, true, Px(0, 0, 0, 51), QColor(204, 204, 204)},
        {"transparent", {3, 3}, true, Px(9, 9, 9, 0), QColor(255, 255, 255)},
        {"opaque and transparent", {0, 3}, false, Px(9, 9, 9, 0), QColor(255, 255, 255)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        pane->PlotPixel(r.at.x(), r.at.y(), r.blend, r.pixel);
        EXPECT_EQ(QColor(image()->Picture().pixel(r.at)), r.shown);
    }
    const QImage before = image()->Picture();
    for (QPoint outside : {QPoint(-1, 0), QPoint(4, 0), QPoint(0, 4), QPoint(1000, -1000)})
        pane->PlotPixel(outside.x(), outside.y(), true, Px(1, 1, 1, 255));
    EXPECT_EQ(image()->Picture(), before);
}

TEST_F(PreviewTest, QuickColours) {
    const QImage strip = TfrmPreview::DefaultQuickColors();
    ASSERT_EQ(strip.size(), QSize(16, 160));
    const int greys[10] = {0, 28, 57, 85, 113, 142, 170, 198, 227, 255};
    for (int k = 0; k < 10; ++k) EXPECT_EQ(QColor(strip.pixel(8, k * 16 + 8)), QColor(greys[k], greys[k], greys[k])) << k;

    const TmyImagePal img = Filled(2, 2, Px(0, 0, 0, 0));
    pane->RefreshPreview(&img);
    pane->QuickColors()->resize(18, 218);
    struct Row {
        const char* name;
        QPoint at;
        int grey;
    };
    const Row rows[] = {
        {"cell 9 near the bottom", {5, 217}, 255},
        {"the top", {0, 0}, 0},
        {"cell 1 (y·160 div 218 = 27)", {17, 37}, 28},
        {"beyond the strip's right edge", {40, 100}, 113},
        {"below the strip", {5, 400}, 255},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        pane->QuickColorPressed(r.at);
        EXPECT_EQ(Options().PrevColor, MakeColor(r.grey, r.grey, r.grey));
        EXPECT_EQ(QColor(image()->Picture().pixel(0, 0)), QColor(r.grey, r.grey, r.grey)) << "re-rendered";
    }
    // The picture is stretched over the strip in both directions.
    pane->QuickColors()->Picture().setPixel(8, 100, qRgb(1, 2, 3));
    pane->QuickColorPressed({9, 137});  // (9·16 div 18, 137·160 div 218)
    EXPECT_EQ(Options().PrevColor, MakeColor(1, 2, 3));

    // A double click refills the cell under it; the background waits for a click.
    struct Dbl {
        const char* name;
        int height, y;
        int cell;  // -1: no dialog
    };
    const Dbl dbls[] = {
        {"cell 3", 218, 70, 3},
        {"the last pixel row is cell 9", 218, 217, 9},
        {"a strip lower than ten pixels", 9, 5, -1},
    };
    for (const Dbl& d : dbls) {
        SCOPED_TRACE(d.name);
        offered.clear();
        const TColor before = Options().PrevColor;
        pane->QuickColors()->resize(18, d.height);
        colors = {QColor(1, 2, 3 + d.cell)};
        pane->QuickColorDoubleClicked({5, d.y});
        EXPECT_EQ(offered.size(), d.cell < 0 ? 0u : 1u);
        if (d.cell >= 0) {
            EXPECT_EQ(QColor(pane->QuickColorBitmap().pixel(8, d.cell * 16 + 8)), QColor(1, 2, 3 + d.cell));
        }
        EXPECT_EQ(Options().PrevColor, before);
        colors.clear();
    }
}

TEST_F(PreviewTest, QuickColoursWrittenAtExitAreReadBack) {
    pane->SetQuickColor(4, qRgb(1, 2, 3));
    ASSERT_TRUE(pane->SaveQuickColors(dir.path()));
    TfrmPreview again(dir.path());
    EXPECT_EQ(again.QuickColorBitmap(), pane->QuickColorBitmap());
    EXPECT_EQ(QColor(again.QuickColorBitmap().pixel(3, 4 * 16 + 3)), QColor(1, 2, 3));
    // Another size is drawn over the defaults.
    QImage small(8, 8, QImage::Format_RGB32);
    small.fill(QColor(7, 7, 7));
    ASSERT_TRUE(small.save(QDir(dir.path()).filePath("quickcolors.dat"), "BMP"));
    TfrmPreview third(dir.path());
    EXPECT_EQ(third.QuickColorBitmap().size(), QSize(16, 160));
    EXPECT_EQ(QColor(third.QuickColorBitmap().pixel(0, 0)), QColor(7, 7, 7));
    EXPECT_EQ(QColor(third.QuickColorBitmap().pixel(15, 159)), QColor(255, 255, 255));
}

}  // namespace
}  // namespace velto::test
