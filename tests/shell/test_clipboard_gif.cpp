// The image clipboard's GIF format: a copy puts GIF bytes beside the plain
// picture (read back by Qt's own GIF reader: transparent where the image is,
// the plain picture's colours elsewhere); a paste prefers GIF bytes, keeps
// the alpha of our own copy, and takes the plain picture when the GIF bytes
// are refused.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "GuiTestApp.h"
#include "imagingqt/GifGraphic.h"
#include "shell/ClipMngr.h"

using namespace velto;

namespace {

TmyImagePal Sample() {
    TmyImagePal img({4, 3}, 32);
    for (TmyPixel& p : img.Pixels()) p = {10, 20, 30, 255};
    img.At(1, 1) = {255, 0, 0, 128};
    img.At(3, 2) = {1, 2, 3, 0};
    return img;
}

QByteArray Gif(const QImage& picture) {
    TGIFGraphic g;
    EXPECT_TRUE(g.AssignPicture(picture));
    const std::vector<std::uint8_t> b = g.SaveToBytes();
    return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
}

const TFitRule kResize{0, true, {}};

TEST(ClipboardGif, ACopyCarriesGifBytes) {
    test::EnsureGuiApp();
    tmyClipMngr clip;
    clip.Copy(Sample());
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data && data->hasFormat("image/gif"));
    ASSERT_TRUE(data->hasImage());
    const QByteArray bytes = data->data("image/gif");
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), clip.LastGif());
    QImage read;
    ASSERT_TRUE(read.loadFromData(bytes, "GIF")) << "another reader takes it";
    read = read.convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(read.size(), QSize(4, 3));
    EXPECT_EQ(read.pixel(0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(read.pixel(1, 1), qRgb(255, 127, 127)) << "half red as on the plain picture";
    EXPECT_EQ(qAlpha(read.pixel(3, 2)), 0) << "what is transparent stays so";
}

TEST(ClipboardGif, PastingPrefersGifBytes) {
    test::EnsureGuiApp();
    tmyClipMngr clip;
    {
        SCOPED_TRACE("our own copy keeps its alpha");
        clip.Copy(Sample());
        TmyImagePal target({1, 1}, 32), mirror({1, 1}, 32);
        ASSERT_TRUE(clip.Paste(target, mirror, 32, 32, kResize));
        EXPECT_EQ(target.At(1, 1), (TmyPixel{255, 0, 0, 128}));
    }
    QImage picture(2, 1, QImage::Format_ARGB32);
    picture.setPixel(0, 0, qRgba(0, 0, 0, 0));
    picture.setPixel(1, 0, qRgb(0, 200, 0));
    QImage plain(5, 5, QImage::Format_RGB32);
    plain.fill(qRgb(9, 9, 9));
    {
        SCOPED_TRACE("another program's GIF: its transparency comes along");
        auto* data = new QMimeData;
        data->setData("image/gif", Gif(picture));
        data->setImageData(plain);
        QGuiApplication::clipboard()->setMimeData(data);
        ASSERT_TRUE(tmyClipMngr::HasBitmap());
        TmyImagePal target({1, 1}, 32), mirror({1, 1}, 32);
        ASSERT_TRUE(clip.Paste(target, mirror, 32, 32, kResize));
        EXPECT_EQ(target.Size(), (ImageSize{2, 1}));
        EXPECT_EQ(target.At(0, 0), TmyPixel{});
        EXPECT_EQ(target.At(1, 0), (TmyPixel{0, 200, 0, 255}));
    }
    {
        SCOPED_TRACE("GIF bytes alone");
        auto* data = new QMimeData;
        data->setData("image/gif", Gif(picture));
        QGuiApplication::clipboard()->setMimeData(data);
        ASSERT_TRUE(tmyClipMngr::HasBitmap());
        TmyImagePal target({1, 1}, 32), mirror({1, 1}, 32);
        ASSERT_TRUE(clip.Paste(target, mirror, 32, 32, kResize));
        EXPECT_EQ(target.At(1, 0), (TmyPixel{0, 200, 0, 255}));
    }
    {
        SCOPED_TRACE("hostile GIF bytes beside another picture format: that picture");
        auto* data = new QMimeData;
        data->setData("image/gif", QByteArray("GIF89a\xff\xff\xff\xff\x80\x00\x00", 13));
        data->setData("image/png", QByteArray("not looked at: the picture comes as an image"));
        data->setImageData(plain);
        QGuiApplication::clipboard()->setMimeData(data);
        TmyImagePal target({1, 1}, 32), mirror({1, 1}, 32);
        ASSERT_TRUE(clip.Paste(target, mirror, 32, 32, kResize));
        EXPECT_EQ(target.Size(), (ImageSize{5, 5}));
        EXPECT_EQ(target.At(2, 2), (TmyPixel{9, 9, 9, 255}));
    }
    {
        SCOPED_TRACE("hostile GIF bytes alone: nothing pasted, though an image is derived from them");
        auto* data = new QMimeData;
        data->setData("image/gif", QByteArray("GIF89a\xff\xff\xff\xff\x80\x00\x00", 13));
        data->setImageData(plain);
        QGuiApplication::clipboard()->setMimeData(data);
        TmyImagePal target({1, 1}, 32), mirror({1, 1}, 32);
        EXPECT_FALSE(clip.Paste(target, mirror, 32, 32, kResize));
        EXPECT_EQ(target.Size(), (ImageSize{1, 1}));
    }
}

}  // namespace
