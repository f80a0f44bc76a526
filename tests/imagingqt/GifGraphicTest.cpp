// The GIF picture in the windowing layer: a frame drawn stretched into its
// place or tiled onto a known background with its transparency, loading
// hostile bytes, taking a picture with alpha, registration, and drawing that
// starts one painter per target and rectangle.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPainter>

#include "../gif/GifTestUtil.h"
#include "imaging/ImagingIO.h"
#include "imagingqt/GifGraphic.h"
#include "imagingqt/PictureRegistry.h"
#include "GuiTestApp.h"

using namespace giftest;

namespace {

// Global map 0 red, 1 green, 2 blue; pixels print r g b, '#' for the grey
// background, 'k' for black.
void Palette(TGIFImage& gif) {
    for (TColor c : {MakeColor(255, 0, 0), MakeColor(0, 255, 0), MakeColor(0, 0, 255)}) gif.GlobalColorMap().Add(c);
}

std::string Rows(const QImage& img) {
    std::string s;
    for (int y = 0; y < img.height(); ++y) {
        if (y) s += '|';
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            s += qAlpha(p) == 0                  ? '.'
                 : p == qRgb(255, 0, 0)          ? 'r'
                 : p == qRgb(0, 255, 0)          ? 'g'
                 : p == qRgb(0, 0, 255)          ? 'b'
                 : p == qRgb(128, 128, 128)      ? '#'
                 : p == qRgb(0, 0, 0)            ? 'k'
                                                 : '?';
        }
    }
    return s;
}

QImage Grey(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(qRgb(128, 128, 128));
    return img;
}

// A 2 x 2 frame at (1, 0) of a 4 x 2 screen: r g on top, b and index 9
// (beyond the map) below; index 1 transparent when asked.
TGIFSubImage& Sample(TGIFImage& gif, bool transparent) {
    Palette(gif);
    gif.Header().Width = 4, gif.Header().Height = 2;
    auto f = std::make_unique<TGIFSubImage>(gif);
    f->SetBounds(1, 0, 2, 2);
    const std::uint8_t px[] = {0, 1, 2, 9};
    std::copy(std::begin(px), std::end(px), f->Data());
    if (transparent) {
        auto& gce = f->Extensions().Add<TGIFGraphicControlExtension>();
        gce.SetTransparent(true);
        gce.TransparentIndex = 1;
    }
    return gif.Images()[gif.Images().Add(std::move(f))];
}

TEST(GifDrawing, FrameStretchedIntoItsPlace) {
    struct Case {
        const char* name;
        QRect rect;
        bool transparent, tile;
        QRect place;  // GIFScreenRectIn
        std::string rows;
    };
    const Case cases[] = {
        {"same size: the transparent pixel keeps the background", {0, 0, 4, 2}, true, false, {1, 0, 2, 2},
         "#r##|#bk#|####|####"},
        {"not transparent: index 1 drawn", {0, 0, 4, 2}, false, false, {1, 0, 2, 2}, "#rg#|#bk#|####|####"},
        {"twice the size", {0, 0, 8, 4}, true, false, {2, 0, 4, 4}, "##rr####|##rr####|##bbkk##|##bbkk##"},
        {"moved and shrunk: 1 x 2 / 4 rounds half away", {1, 1, 2, 1}, true, false, {2, 1, 1, 1},
         "####|##r#|####|####"},
        {"tiled from the frame's place, a screen apart, cut at the rectangle", {0, 0, 8, 3}, true, true, {},
         "#r###r##|#bk##bk#|#r###r##|########"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TGIFImage gif;
        TGIFSubImage& frame = Sample(gif, true);
        if (!c.tile) {
            EXPECT_EQ(GIFScreenRectIn(frame, c.rect), c.place);
        }
        QImage dest = Grey(std::max(4, c.rect.right() + 1), std::max(4, c.rect.bottom() + 1));
        DrawGIFFrame(dest, frame, c.rect, c.transparent, c.tile);
        EXPECT_EQ(Rows(dest), c.rows);
    }
}

// Tiles cut at the bitmap wherever the rectangle lies: nothing is written
// outside the bitmap (a memory checker sees every write) and rectangles far
// outside cost nothing.
TEST(GifDrawing, TilesAreCutAtTheBitmap) {
    const struct {
        const char* name;
        QRect rect;
        std::string rows;
    } cases[] = {
        {"from the middle past the right and bottom edges", {2, 2, 8, 8}, "####|####|###r|###b"},
        {"from above and left of the bitmap", {-5, -3, 8, 8}, "bk##|r###|bk##|r###"},
        {"wholly below", {0, 100000, 8, 8}, "####|####|####|####"},
        {"wholly to the left", {-100000, 0, 8, 8}, "####|####|####|####"},
        {"far larger than the bitmap", {-1000000, -1000000, 2000000, 2000000}, "#r##|#bk#|#r##|#bk#"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TGIFImage gif;
        TGIFSubImage& frame = Sample(gif, true);
        QImage dest = Grey(4, 4);
        DrawGIFFrame(dest, frame, c.rect, true, true);
        EXPECT_EQ(dest.size(), QSize(4, 4));
        EXPECT_EQ(Rows(dest), c.rows);
    }
}

TEST(GifDrawing, GraphicDrawsThroughAPainterOntoItsBackground) {
    velto::test::EnsureGuiApp();
    TGIFGraphic g;
    Sample(g.Image(), true);
    g.Changed();
    EXPECT_EQ(Rows(g.Bitmap), ".r..|.bk.") << "frame 0 on the logical screen, transparent around it";
    QImage dest = Grey(4, 2);
    {
        QPainter p(&dest);
        g.Draw(p, QRect(0, 0, 4, 2));
    }
    EXPECT_EQ(Rows(dest), "#r##|#bk#");
    g.Image().FixedFrame = 3;  // beyond the frames: frame 0
    g.Image().DrawOptions = std::uint16_t(g.Image().DrawOptions & ~drTransparent);
    {
        QPainter p(&dest);
        g.Draw(p, QRect(0, 0, 4, 2));
    }
    EXPECT_EQ(Rows(dest), "#rg#|#bk#");
    EXPECT_EQ(g.PainterCount(), 0) << "one frame needs no painter";
}

TEST(GifGraphicLoading, BytesFilesAndHostileInput) {
    TGIFImage built;
    const Bytes file = FeatureFile(built, 0);
    TGIFGraphic g;
    std::string error;
    ASSERT_TRUE(g.LoadFromBytes(file, &error)) << error;
    EXPECT_EQ(g.Width(), 40);
    EXPECT_EQ(g.Image().Images().Count(), 5);
    EXPECT_EQ(g.Bitmap.size(), QSize(40, 30));
    EXPECT_EQ(g.SaveToBytes(), file);

    Bytes cut(file.begin(), file.begin() + 30);
    EXPECT_FALSE(g.LoadFromBytes(cut, &error));
    EXPECT_EQ(error, "Premature end of data");
    EXPECT_EQ(g.Image().Images().Count(), 5) << "a refused file leaves the picture";
    g.Image().Limits.fileSize = 100;
    EXPECT_FALSE(g.LoadFromBytes(file, &error));
    EXPECT_EQ(error, "Out of memory");
    g.Image().Limits.fileSize = 1 << 20;
    g.Image().Limits.pixels = 100;  // the 40 x 30 screen is more
    EXPECT_FALSE(g.LoadFromBytes(file, &error));
    EXPECT_EQ(g.Bitmap.size(), QSize(40, 30));
    const Bytes noFrames = Concat({Header(2, 2), {';'}});
    g.Image().Limits = ReadLimits();
    EXPECT_FALSE(g.LoadFromBytes(noFrames, &error));
    EXPECT_EQ(error, "Image is empty");

    TMemoryStream stream(file);
    TGIFGraphic fromStream;
    fromStream.LoadDataFromStream(stream);
    EXPECT_EQ(fromStream.Image().Images().Count(), 5);
    TMemoryStream bad(cut);
    EXPECT_THROW(fromStream.LoadDataFromStream(bad), GIFException);
}

TEST(GifGraphicLoading, PictureWithAlphaBecomesOneTransparentFrame) {
    QImage picture(300, 2, QImage::Format_ARGB32);  // 300 colours: reduced
    for (int x = 0; x < 300; ++x) {
        picture.setPixel(x, 0, qRgba(x % 256, x / 2 % 256, 7, 255));
        picture.setPixel(x, 1, qRgba(1, 2, 3, x < 10 ? 0 : 200));
    }
    TGIFGraphic g;
    ASSERT_TRUE(g.AssignPicture(picture));
    ASSERT_EQ(g.Image().Images().Count(), 1);
    const TGIFSubImage& f = g.Image().Images()[0];
    ASSERT_TRUE(f.Transparent());
    EXPECT_EQ(f.GraphicControlExtension()->TransparentIndex, 255);
    EXPECT_EQ(qAlpha(g.Bitmap.pixel(5, 1)), 0);
    EXPECT_EQ(g.Bitmap.pixel(50, 1), qRgb(1, 2, 3)) << "alpha 200 is opaque, its colour exact";
    EXPECT_LE(f.UsedColorMap().Count(), 256);
    QImage opaque(3, 1, QImage::Format_RGB32);
    opaque.fill(qRgb(9, 8, 7));
    ASSERT_TRUE(g.AssignPicture(opaque));
    EXPECT_FALSE(g.Image().Images()[0].Transparent());
    EXPECT_EQ(g.Bitmap.pixel(2, 0), qRgb(9, 8, 7));
    std::string error;
    EXPECT_FALSE(g.AssignPicture(QImage(), &error));
    EXPECT_EQ(g.Bitmap.pixel(2, 0), qRgb(9, 8, 7));
}

TEST(GifGraphicLoading, Registered) {
    velto::test::EnsureGuiApp();
    RegisterImagingGraphics();
    RegisterGIFGraphic();
    const TPictureFileFormat* f = PictureRegistry().Find("GIF");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->Description, "GIF Image");
    EXPECT_EQ(f->ClassName, "TGIFImage");
    EXPECT_NE(dynamic_cast<TGIFGraphic*>(PictureRegistry().Create("gif").get()), nullptr);
    EXPECT_TRUE(ClassRegistry().Has("TGIFImage"));
    EXPECT_FALSE(GIFAutoDitherDisplay) << "the offscreen display has 24 or 32 bits";
    UnregisterGIFGraphic();
    EXPECT_FALSE(ClassRegistry().Has("TGIFImage"));
    UnregisterImagingGraphics();
}

}  // namespace
