// The canvas pixel loops and the document window's rules without widgets:
// the zoomed image over the checkerboard, the grid styles, single-pixel
// repaints and scrolling against whole redraws, the texts of the lists and
// the status bar, the zoom steps and the file-dialog filters.
#include <gtest/gtest.h>

#include <QStringList>

#include "GuiTestApp.h"
#include "core/Language.h"
#include "shell/CanvasRender.h"
#include "shell/DeskText.h"
#include "shell/FileDialogs.h"
#include "shell/Options.h"

using namespace velto;

namespace {

constexpr TmyPixel kRed{200, 30, 40, 255};
constexpr TmyPixel kClear{0, 0, 0, 0};
constexpr TmyPixel kHalfGreen{0, 255, 0, 128};
constexpr TmyPixel kFaintBlue{10, 20, 250, 1};
constexpr TmyPixel kWhite{255, 255, 255, 255};

// A 5 x 4 image with every kind of alpha in every row and column.
TmyImagePal SampleImage() {
    TmyImagePal img({5, 4}, 32);
    const TmyPixel kinds[] = {kRed, kClear, kHalfGreen, kFaintBlue, kWhite};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) img.At(x, y) = kinds[(x + 2 * y) % 5];
    return img;
}

QImage BlankCanvas(int w, int h) {
    QImage c(w, h, QImage::Format_RGB32);
    c.fill(qRgb(1, 2, 3));
    return c;
}

// One channel shown over a background: alpha 255 the pixel exactly, alpha 0
// the background exactly, between the weighted sum divided by 255, rounded.
int Shown(int pixel, int back, int alpha) { return (pixel * alpha + back * (255 - alpha) + 127) / 255; }

// Each canvas pixel computed on its own: the image pixel under its virtual
// coordinates shown over the checkerboard colour there.
QImage Naive(const TmyImagePal& img, QSize size, const TCanvasGeometry& g, const TCheckerboard& c) {
    QImage out = BlankCanvas(size.width(), size.height());
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const int vx = x + g.hpos, vy = y + g.vpos;
            const TmyPixel& p = img.At(vx / g.zoom, vy / g.zoom);
            const TColor back = ((vx / c.CellSize + vy / c.CellSize) % 2 == 0) ? c.Color2 : c.Color1;
            out.setPixel(x, y, qRgb(Shown(p.R, ColorR(back), p.A), Shown(p.G, ColorG(back), p.A),
                                    Shown(p.B, ColorB(back), p.A)));
        }
    return out;
}

// Empty when both images are equal; else where they first differ.
std::string Diff(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return "sizes differ";
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return QString("(%1,%2): %3 vs %4").arg(x).arg(y).arg(a.pixel(x, y), 0, 16).arg(b.pixel(x, y), 0, 16)
                    .toStdString();
    return "";
}

// Grid pixels of a canvas as text rows: '#' where the grid colour is.
QStringList GridMask(const QImage& c, QRgb grid) {
    QStringList rows;
    for (int y = 0; y < c.height(); ++y) {
        QString row;
        for (int x = 0; x < c.width(); ++x) row += c.pixel(x, y) == grid ? '#' : '.';
        rows << row;
    }
    return rows;
}

}  // namespace

TEST(CanvasRender, BlendingForDisplayKeepsOpaqueAndTransparentExact) {
    struct Row {
        const char* name;
        TmyPixel pixel;
        QRgb over1, over2;  // shown over the two checkerboard colours
    };
    const Row rows[] = {
        {"opaque white stays 255", {255, 255, 255, 255}, qRgb(255, 255, 255), qRgb(255, 255, 255)},
        {"transparent shows the board", {0, 0, 0, 0}, qRgb(255, 255, 255), qRgb(235, 235, 235)},
        {"half: rounded", {0, 255, 0, 128}, qRgb(127, 255, 127), qRgb(117, 245, 117)},
        {"alpha 1", {255, 0, 0, 1}, qRgb(255, 254, 254), qRgb(235, 234, 234)},
    };
    const TCheckerboard board;  // cell 4: (0, 0) has the second colour, (4, 0) the first
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        QImage c = BlankCanvas(8, 1);
        PaintCanvasPixel(c, c.rect(), r.pixel, {1, 0, 0}, board, true);
        EXPECT_EQ(c.pixel(4, 0), r.over1);
        EXPECT_EQ(c.pixel(0, 0), r.over2);
    }
    CreateOptions(800, "");
    Options().BKSize = 0;  // a hand-edited setting: cells of one pixel
    EXPECT_EQ(CheckerboardFromOptions().Cell(), 1);
    FreeOptions();
}

struct RenderRow {
    const char* name;
    int zoom, hpos, vpos, width, height, cell;
};

class CanvasRenderRows : public ::testing::TestWithParam<RenderRow> {};

// The optimised loops (runs, repeated rows) against each pixel on its own,
// whole and in pieces.
TEST_P(CanvasRenderRows, WholeAndPiecewisePaintingMatchEachPixelOnItsOwn) {
    const RenderRow& r = GetParam();
    const TmyImagePal img = SampleImage();
    TCheckerboard checker;
    checker.CellSize = r.cell;
    const TCanvasGeometry g{r.zoom, r.hpos, r.vpos};
    const QImage expected = Naive(img, {r.width, r.height}, g, checker);

    QImage whole = BlankCanvas(r.width, r.height);
    PaintCanvasRect(whole, img, whole.rect(), g, checker);
    EXPECT_EQ(Diff(whole, expected), "");

    QImage pieces = BlankCanvas(r.width, r.height);
    for (int y = -3; y < r.height; y += 7)
        for (int x = -2; x < r.width; x += 5) PaintCanvasRect(pieces, img, QRect(x, y, 5, 7), g, checker);
    EXPECT_EQ(Diff(pieces, expected), "");
}

INSTANTIATE_TEST_SUITE_P(Geometries, CanvasRenderRows,
                         ::testing::Values(RenderRow{"Zoom1", 1, 0, 0, 5, 4, 4},
                                           RenderRow{"Zoom1Cell1", 1, 0, 0, 5, 4, 1},
                                           RenderRow{"Zoom2", 2, 0, 0, 10, 8, 4},
                                           RenderRow{"Zoom2Scrolled", 2, 3, 1, 7, 7, 4},
                                           RenderRow{"Zoom10", 10, 0, 0, 50, 40, 4},
                                           RenderRow{"Zoom10ScrolledMidPixel", 10, 13, 27, 31, 13, 8},
                                           RenderRow{"Zoom3OddCell", 3, 2, 2, 13, 10, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CanvasRender, PinnedColoursAtZoom2) {
    // Column 0: red, transparent, transparent... (row-major kinds), cell 4.
    const TmyImagePal img = SampleImage();
    const TCheckerboard checker;
    QImage c = BlankCanvas(10, 8);
    PaintCanvasRect(c, img, c.rect(), {2, 0, 0}, checker);
    EXPECT_EQ(c.pixel(0, 0), qRgb(200, 30, 40));    // opaque: its own colour
    EXPECT_EQ(c.pixel(1, 1), qRgb(200, 30, 40));
    EXPECT_EQ(c.pixel(2, 0), qRgb(235, 235, 235));  // transparent over the cell of (0,0)
    EXPECT_EQ(c.pixel(4, 0), qRgb(127, 255, 127));  // half green over white (cell 1)
    EXPECT_EQ(c.pixel(8, 0), qRgb(255, 255, 255));  // opaque white stays 255
    EXPECT_EQ(c.pixel(0, 2), qRgb(117, 245, 117));  // half green over the second colour
    // Without blending (images below 32 bits) any alpha above 0 is opaque.
    PaintCanvasRect(c, img, c.rect(), {2, 0, 0}, checker, false);
    EXPECT_EQ(c.pixel(4, 0), qRgb(0, 255, 0));
    EXPECT_EQ(c.pixel(6, 0), qRgb(10, 20, 250));
    EXPECT_EQ(c.pixel(2, 0), qRgb(235, 235, 235));
}

TEST(CanvasRender, PaintingStaysInsideTheBitmapAndTheZoomedImage) {
    const TmyImagePal img = SampleImage();
    QImage c = BlankCanvas(60, 50);  // larger than the 5 x 4 image at zoom 10
    PaintCanvasRect(c, img, QRect(-100, -100, 1000, 1000), {10, 0, 0}, TCheckerboard());
    EXPECT_EQ(c.pixel(49, 39), qRgb(200, 30, 40));
    EXPECT_EQ(c.pixel(50, 10), qRgb(1, 2, 3));  // right of the image: untouched
    EXPECT_EQ(c.pixel(10, 45), qRgb(1, 2, 3));
    QImage empty;
    PaintCanvasRect(empty, img, QRect(0, 0, 10, 10), {1, 0, 0}, TCheckerboard());
    DrawCanvasGrid(empty, QRect(0, 0, 10, 10), {2, 0, 0}, {true, GridStyle::Solid});
    ShiftCanvas(empty, 3, 3);
}

struct GridRow {
    const char* name;
    int zoom, hpos, vpos;
    GridStyle style;
    QStringList mask;
};

class CanvasGridRows : public ::testing::TestWithParam<GridRow> {};

TEST_P(CanvasGridRows, GridPixelsOfEachStyle) {
    const GridRow& r = GetParam();
    const QRgb grid = qRgb(9, 8, 7);
    const int w = static_cast<int>(r.mask[0].size()), h = static_cast<int>(r.mask.size());
    QImage c = BlankCanvas(w, h);
    DrawCanvasGrid(c, c.rect(), {r.zoom, r.hpos, r.vpos}, {true, r.style, MakeColor(9, 8, 7)});
    EXPECT_EQ(GridMask(c, grid), r.mask);
    // Drawn in pieces it is the same grid; hidden, there is none.
    QImage pieces = BlankCanvas(w, h);
    for (int y = 0; y < h; y += 3)
        for (int x = 0; x < w; x += 4)
            DrawCanvasGrid(pieces, QRect(x, y, 4, 3), {r.zoom, r.hpos, r.vpos}, {true, r.style, MakeColor(9, 8, 7)});
    EXPECT_EQ(GridMask(pieces, grid), r.mask);
    QImage hidden = BlankCanvas(w, h);
    DrawCanvasGrid(hidden, hidden.rect(), {r.zoom, r.hpos, r.vpos}, {false, r.style, MakeColor(9, 8, 7)});
    EXPECT_EQ(hidden, BlankCanvas(w, h));
}

INSTANTIATE_TEST_SUITE_P(
    Styles, CanvasGridRows,
    ::testing::Values(
        GridRow{"Zoom1HasNone", 1, 0, 0, GridStyle::Solid, {"......", "......", "......"}},
        GridRow{"Zoom2Solid", 2, 0, 0, GridStyle::Solid, {"..#.#.", "..#.#.", "######", "..#.#.", "######", "..#.#."}},
        GridRow{"Zoom2Dashed", 2, 0, 0, GridStyle::Dashed, {"......", "......", "..#.#.", "......", "..#.#.", "......"}},
        GridRow{"Zoom4Solid", 4, 0, 0, GridStyle::Solid,
                {"....#...#...", "....#...#...", "....#...#...", "....#...#...", "############", "....#...#...",
                 "....#...#...", "....#...#..."}},
        GridRow{"Zoom4Dashed", 4, 0, 0, GridStyle::Dashed,
                {"............", "............", "....#...#...", "............", "..#.#.#.#.#.", "............",
                 "....#...#...", "............"}},
        GridRow{"Zoom4Dots", 4, 0, 0, GridStyle::Dots,
                {"............", "............", "............", "............", "....#...#...", "............",
                 "............", "............"}},
        GridRow{"Zoom4DashedScrolled", 4, 1, 2, GridStyle::Dashed,
                {"...#...#...#", "............", ".#.#.#.#.#.#", "............", "...#...#...#", "............",
                 ".#.#.#.#.#.#", "............"}},
        GridRow{"Zoom4SolidScrolledToAPixelEdge", 4, 4, 8, GridStyle::Solid,
                {"############", "#...#...#...", "#...#...#...", "#...#...#...", "############", "#...#...#..."}},
        GridRow{"Zoom4DotsScrolledToAPixelEdge", 4, 8, 4, GridStyle::Dots,
                {"#...#...#...", "............", "............", "............", "#...#...#...", "............"}},
        GridRow{"Zoom10SolidScrolled", 10, 3, 0, GridStyle::Solid,
                {".......#.........", ".......#.........", ".......#.........", ".......#.........",
                 ".......#.........", ".......#.........", ".......#.........", ".......#.........",
                 ".......#.........", ".......#.........", "#################", ".......#........."}},
        GridRow{"Zoom10Dots", 10, 0, 0, GridStyle::Dots,
                {"............", "............", "............", "............", "............", "............",
                 "............", "............", "............", "............", "..........#.", "............"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct RepaintRow {
    const char* name;
    int zoom, hpos, vpos;
    GridStyle style;
    bool grid;
};

class CanvasRepaintRows : public ::testing::TestWithParam<RepaintRow> {};

// A pixel repainted alone, and a scrolled canvas with only its uncovered
// strip painted, look exactly like a whole redraw.
TEST_P(CanvasRepaintRows, SinglePixelsAndScrollingMatchAWholeRedraw) {
    const RepaintRow& r = GetParam();
    TmyImagePal img = SampleImage();
    const TCheckerboard checker;
    const TGridLook grid{r.grid, r.style, MakeColor(9, 8, 7)};
    const QSize size(std::min(23, 5 * r.zoom - r.hpos), std::min(17, 4 * r.zoom - r.vpos));
    auto redraw = [&](const TCanvasGeometry& g) {
        QImage c = BlankCanvas(size.width(), size.height());
        PaintCanvasRect(c, img, c.rect(), g, checker);
        DrawCanvasGrid(c, c.rect(), g, grid);
        return c;
    };
    const TCanvasGeometry g{r.zoom, r.hpos, r.vpos};
    QImage c = redraw(g);
    for (const TmyPixel& p : {kClear, kHalfGreen, kWhite, kFaintBlue}) {
        for (const QPoint at : {QPoint(0, 0), QPoint(1, 2), QPoint(4, 3)}) {
            SCOPED_TRACE(QString("pixel (%1,%2) alpha %3").arg(at.x()).arg(at.y()).arg(p.A).toStdString());
            img.At(at.x(), at.y()) = p;
            const QRect cell = ImagePixelRect(at.x(), at.y(), g);
            PaintCanvasPixel(c, cell, p, g, checker, true);
            DrawCanvasGrid(c, cell, g, grid);
            EXPECT_EQ(Diff(c, redraw(g)), "");
        }
    }
    // Scrolling by whole and partial pixels both ways and past the width.
    for (const QPoint d : {QPoint(-3, 0), QPoint(2, 0), QPoint(0, -5), QPoint(0, 1), QPoint(40, 0)}) {
        TCanvasGeometry to = g;
        to.hpos = std::clamp(g.hpos - d.x(), 0, 5 * r.zoom - size.width());
        to.vpos = std::clamp(g.vpos - d.y(), 0, 4 * r.zoom - size.height());
        const int dx = g.hpos - to.hpos, dy = g.vpos - to.vpos;
        SCOPED_TRACE(QString("shift (%1,%2)").arg(dx).arg(dy).toStdString());
        QImage s = redraw(g);
        ShiftCanvas(s, dx, dy);
        const QRect strip = dx ? (dx < 0 ? QRect(size.width() + dx, 0, -dx, size.height()) : QRect(0, 0, dx, size.height()))
                               : (dy < 0 ? QRect(0, size.height() + dy, size.width(), -dy) : QRect(0, 0, size.width(), dy));
        PaintCanvasRect(s, img, strip, to, checker);
        DrawCanvasGrid(s, strip, to, grid);
        if (std::abs(dx) >= size.width() || std::abs(dy) >= size.height()) {
            PaintCanvasRect(s, img, s.rect(), to, checker);
            DrawCanvasGrid(s, s.rect(), to, grid);
        }
        EXPECT_EQ(Diff(s, redraw(to)), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Geometries, CanvasRepaintRows,
                         ::testing::Values(RepaintRow{"Zoom1", 1, 0, 0, GridStyle::Solid, true},
                                           RepaintRow{"Zoom2Dashed", 2, 1, 1, GridStyle::Dashed, true},
                                           RepaintRow{"Zoom10Solid", 10, 7, 4, GridStyle::Solid, true},
                                           RepaintRow{"Zoom10Dots", 10, 13, 9, GridStyle::Dots, true},
                                           RepaintRow{"Zoom7NoGrid", 7, 5, 2, GridStyle::Dashed, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CanvasRender, ThumbnailsShowTheImageOverTheBackground) {
    const TmyImagePal img = SampleImage();
    const QImage t = RenderImage(img, clWhite);
    ASSERT_EQ(t.size(), QSize(5, 4));
    EXPECT_EQ(t.pixel(0, 0), qRgb(200, 30, 40));
    EXPECT_EQ(t.pixel(1, 0), qRgb(255, 255, 255));
    EXPECT_EQ(t.pixel(2, 0), qRgb(127, 255, 127));
}

// ---------------------------------------------------------------- rules and texts

TEST(DeskText, ZoomStepsAndAutomaticZoom) {
    struct Row {
        int index, in, out;
    };
    for (const Row& r : {Row{9, 13, 6}, Row{0, 1, 0}, Row{1, 2, 0}, Row{2, 3, 1}, Row{3, 4, 2}, Row{99, 99, 66},
                         Row{98, 99, 66}, Row{66, 99, 44}}) {
        SCOPED_TRACE(r.index);
        EXPECT_EQ(ZoomInIndex(r.index), r.in);
        EXPECT_EQ(ZoomOutIndex(r.index), r.out);
    }
    EXPECT_EQ(ZoomItemText(0), "100%");
    EXPECT_EQ(ZoomItemText(9), "1000%");
    EXPECT_EQ(ZoomItemText(99), "10000%");
    EXPECT_EQ(AutoZoomFor(500, 400, 32, 32), 12);
    EXPECT_EQ(AutoZoomFor(5000, 5000, 16, 16), 100);
    EXPECT_EQ(AutoZoomFor(100, 100, 256, 256), 1);
    EXPECT_EQ(AutoZoomFor(0, 0, 1, 1), 1);
}

TEST(DeskText, ListCaptionsAndStatusTexts) {
    velto::test::EnsureGuiApp();
    Lang().SetFileName("");
    TmyImagePal img({32, 32}, 32);
    EXPECT_EQ(ImageListText(0, img), "0: 32x32 - True Color+Alpha");
    struct Depth {
        int bits;
        const char* name;
        const char* tile;
    };
    for (const Depth& d : {Depth{1, "2 Colors", "16x8 - 1"}, Depth{4, "16 Colors", "16x8 - 4"},
                           Depth{8, "256 Colors", "16x8 - 8"}, Depth{24, "True Color", "16x8 - 24"},
                           Depth{32, "True Color+Alpha", "16x8 - 32"}, Depth{16, "", "16x8"}}) {
        SCOPED_TRACE(d.bits);
        EXPECT_EQ(ColorDepthName(d.bits), d.name);
        TmyImagePal i({16, 8}, d.bits);
        EXPECT_EQ(ThumbnailCaption(false, 3, i), d.tile);
    }
    EXPECT_EQ(ThumbnailCaption(true, 2, img), "Frame 2");

    const StatusLabelSet l = {"R", "G", "B", "H", "S", "B", "Opacity", "H", "W"};
    img.At(5, 6) = TmyPixel{255, 0, 0, 200};
    img.At(1, 1) = TmyPixel{128, 128, 128, 7};
    struct Status {
        const char* name;
        int x0, y0, x, y, button, tool;
        const char* text;
    };
    for (const Status& s : {
             Status{"SelectHeld", 2, 3, 5, 1, tbLeft, 1, "(2,3)-(6,2) W:4 H:3"},
             Status{"RectRight", 5, 5, 1, 9, tbRight, 10, "(5,5)-(2,10) W:5 H:5"},
             Status{"GradientHeld", 0, 0, 0, 0, tbLeft, 16, "(0,0)-(1,1) W:1 H:1"},
             Status{"Line", 1, 2, 7, 8, tbLeft, 9, "(1,2)-(7,8)"},
             Status{"LineHover", 1, 2, 7, 8, tbNone, 9, "(7,8)"},
             Status{"SelectHover", 2, 3, 5, 1, tbNone, 1, "(5,1)"},
             Status{"Pencil", 2, 3, 5, 1, tbLeft, 6, "(5,1)"},
             Status{"ZoomTool", 0, 0, 3, 3, tbNone, 14, "1000%"},
             Status{"PickerRed", 0, 0, 5, 6, tbLeft, 13, "(5,6)  R:255 G:0 B:0   H:0 S:100 B:100   Opacity:200"},
             Status{"PickerGrey", 0, 0, 1, 1, tbNone, 13, "(1,1)  R:128 G:128 B:128   H:0 S:0 B:50   Opacity:7"},
             Status{"PickerOutside", 0, 0, 32, -1, tbNone, 13, "(32,-1)"},
         }) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(ToolStatusText(l, s.x0, s.y0, s.x, s.y, s.button, s.tool, 10, &img), s.text);
    }
    EXPECT_EQ(SelectionStatusText(l, 3, 4, 10, 2), "(3,4)-(13,6) W:10 H:2");
    EXPECT_EQ(ZoomStatusText(1), "100%");
    const THsv green = RGBToHSV(0, 255, 0);
    EXPECT_EQ(std::tuple(green.H, green.S, green.V), std::tuple(120, 100, 100));
    const THsv grey = RGBToHSV(128, 128, 128);
    EXPECT_EQ(std::tuple(grey.H, grey.S, grey.V), std::tuple(-360, 0, 50));
    const THsv violet = RGBToHSV(128, 0, 255);
    EXPECT_EQ(std::tuple(violet.H, violet.S, violet.V), std::tuple(270, 100, 100));
}

TEST(DeskText, ScrollBarsStartCentredAndKeepTheirPlace) {
    struct Row {
        int oldMax, oldPos, newMax, pos;
    };
    for (const Row& r : {Row{0, 0, 100, 50}, Row{0, 0, 1, 0}, Row{100, 50, 300, 150}, Row{100, 100, 40, 40},
                         Row{100, 0, 10, 0}, Row{50, 20, 0, 0}, Row{3, 2, 1000, 666}}) {
        SCOPED_TRACE(QString("%1 %2 %3").arg(r.oldMax).arg(r.oldPos).arg(r.newMax).toStdString());
        EXPECT_EQ(ScrollPositionFor(r.oldMax, r.oldPos, r.newMax), r.pos);
    }
}

TEST(FileDialogs, FiltersOfTheTenDialogsAndTheirDialogForm) {
    velto::test::EnsureGuiApp();
    Lang().SetFileName("");
    const QStringList expected = {
        "Bitmap (*.bmp)|*.bmp|Jpg Image (*.jpg)|*.jpg|Portable Network Graphic (*.png)|*.png|Graphics Interchange "
        "Format (*.gif)|*.gif|Jpeg2000 Image (*.jp2)|*.jp2|Windows Icon (*.ico)|*.ico|Macintosh Icon (*.icns)|*.icns",
        "All Supported Cursors (*.cur;*.ani)|*.cur;*.ani|All Supported Icons (*.ico;*.icns)|*.ico;*.icns|Images "
        "(*.bmp;*.jpg;*.png;*.gif;*.cur;*.jp2;*.j2k)|*.bmp;*.jpg;*.png;*.gif;*.cur;*.jp2;*.j2k|Windows Binary "
        "(*.exe;*.dll;*.ocx;*.cul)|*.exe;*.dll;*.ocx;*.cul",
        "Bitmap (*.bmp)|*.bmp|Jpg Image (*.jpg, *.jpeg)|*.jpg;*.jpeg|Portable Network Graphic (*.png)|*.png|Graphics "
        "Interchange Format (*.gif)|*.gif|Windows Cursor (*.cur)|*.cur|Jpeg2000 Image (*.jp2;*.j2k)|*.jp2;*.j2k|"
        "Animated cursor file (*.ani)|*.ani|All Formats (*.bmp;*.jpg;*.jpeg;*.png;*.gif;*.cur;*.jp2;*.j2k;*.ani)|"
        "*.bmp;*.jpg;*.jpeg;*.png;*.gif;*.cur;*.jp2;*.j2k;*.ani",
        "All Files (*.*)|*.*|Windows Binary (*.exe;*.dll;*.ocx;*.icl)|*.exe;*.dll;*.ocx;*.icl|Macintosh Binary "
        "(*.bin;*.rsc;*.rsrc;._*)|*.bin;*.rsc;*.rsrc;._*|Executable (*.exe)|*.exe|Dynamic Link Library (*.dll)|*.dll|"
        "OCX Files (*.ocx)|*.ocx|Icon Library (*.icl)|*.icl|MacBin files (*.bin)|*.bin|AppleSingle or AppleDouble "
        "files (._*)|._*|Macintosh Resource Fork (*.rsc;*.rsrc)|*.rsc;*.rsrc",
        "Microsoft Palette File (*.pal)|*.pal|Adobe Color Table (*.act)|*.act|All supported palette files "
        "(*.pal;*.act)|*.pal;*.act",
        "Microsoft Palette File (*.pal)|*.pal|Adobe Color Table (*.act)|*.act",
        "Cursor Library (*.cul)|*.cul",
        "Windows Cursor (*.cur)|*.cur",
        "Windows Binary (*.exe;*.dll;*.ocx;*.cul)|*.exe;*.dll;*.ocx;*.cul|Executable (*.exe)|*.exe|Dynamic Link "
        "Library (*.dll)|*.dll|OCX Files (*.ocx)|*.ocx|Cursor Library (*.cul)|*.cul",
        "Bitmap (*.bmp)|*.bmp|Jpg Image (*.jpg)|*.jpg|Portable Network Graphic (*.png)|*.png|Jpeg2000 Image "
        "(*.jp2)|*.jp2",
    };
    const QStringList names = FileDialogNames();
    ASSERT_EQ(names.size(), 10);
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(names[i].toStdString());
        EXPECT_EQ(FileDialogFilter(names[i]), expected[i]);
    }
    EXPECT_EQ(FileDialogFilter("frmMain.dlgNone"), "");
    EXPECT_EQ(SaveIconFilter(true), "Animated cursor file (*.ani)|*.ani");
    EXPECT_EQ(SaveIconFilter(false), "Windows Cursor (*.cur)|*.cur");
    EXPECT_EQ(QtNameFilters(expected[2]).mid(0, 2),
              QStringList({"Bitmap (*.bmp)", "Jpg Image (*.jpg *.jpeg)"}));
    EXPECT_EQ(QtNameFilters(expected[1])[0], "All Supported Cursors (*.cur *.ani)");
    EXPECT_EQ(QtNameFilters(expected[3])[8], "AppleSingle or AppleDouble files (._*)");
    EXPECT_EQ(QtNameFilters(expected[3]).size(), 10);
    EXPECT_EQ(WithDefaultSuffix("/t/x", "ani"), "/t/x.ani");
    EXPECT_EQ(WithDefaultSuffix("/t/x.cur", "ani"), "/t/x.cur");
    EXPECT_EQ(WithDefaultSuffix("/t.d/x", "cur"), "/t.d/x.cur");
}
