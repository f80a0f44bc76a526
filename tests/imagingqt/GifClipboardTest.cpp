// GIF data on the clipboard: both formats put there, GIF bytes preferred
// when pasting, hostile bytes refused within the codec's limits with the
// plain picture taken instead, and nothing usable refused with the reason.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>

#include "../gif/GifTestUtil.h"
#include "imagingqt/GifClipboard.h"
#include "GuiTestApp.h"

using namespace giftest;

namespace {

QByteArray AsBytes(const Bytes& b) { return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size())); }

QImage Plain(int w, int h, QRgb c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

TEST(GifClipboard, BothFormatsGoThere) {
    velto::test::EnsureGuiApp();
    TGIFGraphic g;
    EXPECT_EQ(GIFMimeData(g), nullptr) << "an empty image puts nothing there";
    TGIFImage built;
    const Bytes file = FeatureFile(built, 0);
    ASSERT_TRUE(g.LoadFromBytes(file));
    const auto data = GIFMimeData(g);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->data("image/gif"), AsBytes(file));
    ASSERT_TRUE(data->hasImage());
    EXPECT_EQ(qvariant_cast<QImage>(data->imageData()), g.Bitmap);
}

TEST(GifClipboard, PastingPrefersGifBytes) {
    velto::test::EnsureGuiApp();
    TGIFImage built;
    const Bytes file = FeatureFile(built, 0);
    struct Case {
        const char* name;
        QByteArray gif;  // empty: no GIF format
        bool image;
        bool taken;
        QSize size;
        std::string error;
    };
    const Bytes cut(file.begin(), file.begin() + 40);
    const Bytes huge = Concat({Header(60000, 60000), {';'}});
    const Case cases[] = {
        {"GIF bytes before the plain picture", AsBytes(file), true, true, {40, 30}, ""},
        {"GIF bytes alone", AsBytes(file), false, true, {40, 30}, ""},
        {"broken GIF bytes: the plain picture", AsBytes(cut), true, true, {3, 2}, ""},
        {"broken GIF bytes alone", AsBytes(cut), false, false, {}, "Premature end of data"},
        {"a screen beyond the limits alone", AsBytes(huge), false, false, {}, "Out of memory"},
        {"the plain picture alone", {}, true, true, {3, 2}, ""},
        {"neither", {}, false, false, {}, "Unsupported clipboard format"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QMimeData data;
        if (!c.gif.isEmpty()) data.setData("image/gif", c.gif);
        if (c.image) data.setImageData(Plain(3, 2, qRgb(1, 2, 3)));
        TGIFGraphic g;
        std::string error;
        EXPECT_EQ(LoadGIFFromMimeData(g, &data, &error), c.taken);
        EXPECT_EQ(error, c.error);
        if (c.taken) {
            EXPECT_EQ(g.Bitmap.size(), c.size);
        }
        if (!c.taken) {
            EXPECT_TRUE(g.Empty()) << "a refused paste leaves the picture as it was";
        }
    }
}

TEST(GifClipboard, ThroughTheSystemClipboard) {
    velto::test::EnsureGuiApp();
    TGIFImage built;
    const Bytes file = FeatureFile(built, 0);
    TGIFGraphic g;
    ASSERT_TRUE(g.LoadFromBytes(file));
    ASSERT_TRUE(CopyGIFToClipboard(g));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat("image/gif"));
    TGIFGraphic back;
    ASSERT_TRUE(PasteGIFFromClipboard(back));
    EXPECT_EQ(back.SaveToBytes(), file);
}

}  // namespace
