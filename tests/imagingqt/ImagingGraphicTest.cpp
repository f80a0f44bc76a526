// Graphic classes for the windowing layer: conversions between image records
// and QImages in both directions (rows of odd widths, palettes, the fourth
// byte of RGB32, RGB555's unused bit), loading through the library, saving
// with each class's options (restored afterwards, also when a save raises),
// and the picture and class registries.
#include <gtest/gtest.h>

#include <QImage>

#include <cstring>
#include <vector>

#include "imaging/FormatDds.h"
#include "imaging/FormatJpeg.h"
#include "imaging/Formats.h"
#include "imaging/Imaging.h"
#include "imaging/Options.h"
#include "imagingqt/ImagingGraphic.h"
#include "imagingqt/PictureRegistry.h"

namespace velto {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Owned {
    TImageData data;
    Owned() = default;
    Owned(std::int32_t w, std::int32_t h, TImageFormat f) {
        NewImage(w, h, f, data);
        for (std::int32_t i = 0; i < data.Size; ++i) data.Bits[i] = std::uint8_t(i * 31 + 7);
        if (data.Palette)
            for (int i = 0; i < 256; ++i) data.Palette[i] = Color32(std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2), 9);
    }
    ~Owned() { FreeImage(data); }
};

TEST(ImagingGraphic, DataToBitmapFormats) {
    struct Case {
        const char* name;
        TImageFormat format;
        QImage::Format bitmap;
    };
    const Case cases[] = {
        {"Index8", ifIndex8, QImage::Format_Indexed8},
        {"R5G6B5", ifR5G6B5, QImage::Format_RGB16},
        {"R8G8B8", ifR8G8B8, QImage::Format_BGR888},
        {"A8R8G8B8", ifA8R8G8B8, QImage::Format_ARGB32},
        {"X8R8G8B8", ifX8R8G8B8, QImage::Format_RGB32},
        {"Gray16 becomes a palette bitmap", ifGray16, QImage::Format_Indexed8},
        {"A16R16G16B16 becomes 32 bits", ifA16R16G16B16, QImage::Format_ARGB32},
        {"R16G16B16 becomes 24 bits", ifR16G16B16, QImage::Format_BGR888},
        {"X1R5G5B5 becomes 16 bits", ifX1R5G5B5, QImage::Format_RGB16},
        {"A1R5G5B5 has alpha", ifA1R5G5B5, QImage::Format_ARGB32},
        {"DXT1 is decoded", ifDXT1, QImage::Format_ARGB32},
        {"float becomes 32 bits", ifA32R32G32B32F, QImage::Format_ARGB32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Owned image(3, 5, c.format);  // 3 wide: QImage rows are padded, ours are not
        QImage bitmap;
        ConvertDataToBitmap(image.data, bitmap);
        ASSERT_EQ(bitmap.format(), c.bitmap);
        EXPECT_EQ(bitmap.width(), image.data.Width);
        // Row by row against the library's own conversion to the bitmap's twin format.
        TImageFormat twin = ifUnknown;
        for (const auto& [lib, qt] : {std::pair{ifIndex8, QImage::Format_Indexed8}, std::pair{ifR5G6B5, QImage::Format_RGB16},
                                      std::pair{ifR8G8B8, QImage::Format_BGR888}, std::pair{ifA8R8G8B8, QImage::Format_ARGB32},
                                      std::pair{ifX8R8G8B8, QImage::Format_RGB32}})
            if (qt == c.bitmap) twin = lib;
        Owned expected;
        CloneImage(image.data, expected.data);
        ConvertImage(expected.data, twin);
        const std::size_t row = std::size_t(expected.data.Size / expected.data.Height);
        for (int y = 0; y < bitmap.height(); ++y) {
            Bytes want(expected.data.Bits + std::size_t(y) * row, expected.data.Bits + std::size_t(y + 1) * row);
            if (twin == ifX8R8G8B8)
                for (std::size_t i = 3; i < want.size(); i += 4) want[i] = 0xFF;  // RGB32's fourth byte
            EXPECT_EQ(Bytes(bitmap.constScanLine(y), bitmap.constScanLine(y) + row), want) << "row " << y;
        }
    }
    Owned indexed(2, 2, ifIndex8);
    QImage bitmap;
    ConvertDataToBitmap(indexed.data, bitmap);
    EXPECT_EQ(bitmap.colorCount(), 256);
    EXPECT_EQ(bitmap.color(3), qRgb(255 - 3, 1, 9)) << "palette colours, opaque";
}

TEST(ImagingGraphic, BitmapToDataFormats) {
    struct Case {
        const char* name;
        QImage::Format bitmap;
        TImageFormat format;
    };
    const Case cases[] = {
        {"Indexed8", QImage::Format_Indexed8, ifIndex8}, {"RGB16", QImage::Format_RGB16, ifR5G6B5},
        {"BGR888", QImage::Format_BGR888, ifR8G8B8},     {"ARGB32", QImage::Format_ARGB32, ifA8R8G8B8},
        {"RGB32", QImage::Format_RGB32, ifA8R8G8B8},     {"RGB555", QImage::Format_RGB555, ifA1R5G5B5},
        {"1 bit", QImage::Format_Mono, ifIndex8},        {"premultiplied", QImage::Format_ARGB32_Premultiplied, ifA8R8G8B8},
        {"grey", QImage::Format_Grayscale8, ifA8R8G8B8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QImage bitmap(5, 3, c.bitmap);
        if (c.bitmap == QImage::Format_Indexed8 || c.bitmap == QImage::Format_Mono) {
            bitmap.setColorCount(2);
            bitmap.setColor(0, qRgba(10, 20, 30, 0));
            bitmap.setColor(1, qRgb(200, 100, 50));
            bitmap.fill(1);
            bitmap.setPixel(2, 1, 0);
        } else {
            bitmap.fill(QColor(200, 100, 48, 128));
        }
        TImageData image;
        ConvertBitmapToData(bitmap, image);
        EXPECT_EQ(image.Format, c.format);
        ASSERT_TRUE(TestImage(image));
        Owned back;
        CloneImage(image, back.data);
        ConvertImage(back.data, ifA8R8G8B8);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                TColor32 p;
                std::memcpy(&p, back.data.Bits + (std::size_t(y) * 5 + std::size_t(x)) * 4, 4);
                // Premultiplied pixels come out straight.
                const QRgb q = c.bitmap == QImage::Format_ARGB32_Premultiplied ? qUnpremultiply(bitmap.pixel(x, y))
                                                                               : bitmap.pixel(x, y);
                if (c.bitmap == QImage::Format_ARGB32_Premultiplied || c.bitmap == QImage::Format_ARGB32) {
                    EXPECT_NEAR(Color32R(p), qRed(q), 1);
                    EXPECT_EQ(Color32A(p), qAlpha(q));
                } else if (c.bitmap == QImage::Format_Indexed8 || c.bitmap == QImage::Format_Mono) {
                    // Palette colours all opaque.
                    EXPECT_EQ(p, Color32(255, qRed(q), qGreen(q), qBlue(q))) << x << "," << y;
                } else if (c.bitmap == QImage::Format_RGB555) {
                    // Bit 15, which RGB555 leaves 0, is set: A1R5G5B5 reads it as opaque.
                    const std::uint16_t word = std::uint16_t(image.Bits[(std::size_t(y) * 5 + std::size_t(x)) * 2] |
                                                             image.Bits[(std::size_t(y) * 5 + std::size_t(x)) * 2 + 1] << 8);
                    EXPECT_EQ(word, std::uint16_t(reinterpret_cast<const std::uint16_t*>(bitmap.constScanLine(y))[x] | 0x8000));
                } else {
                    EXPECT_EQ(Color32A(p), 255) << "opaque";
                    EXPECT_NEAR(Color32R(p), qRed(q), 8);
                }
            }
        FreeImage(image);
    }
    EXPECT_THROW(
        {
            TImageData image;
            ConvertBitmapToData(QImage(), image);
        },
        EImagingError);
}

// Bytes of a small PNG made by the library.
Bytes PngBytes(std::int32_t w, std::int32_t h) {
    Owned image(w, h, ifA8R8G8B8);
    TMemoryStream out;
    SaveImageToStream("png", out, image.data);
    return out.Data();
}

TEST(ImagingGraphic, LoadsAndSavesThroughTheLibrary) {
    TImagingGraphic graphic;
    TMemoryStream png(PngBytes(7, 4));
    graphic.LoadFromStream(png);
    EXPECT_EQ(graphic.Bitmap.size(), QSize(7, 4));
    EXPECT_EQ(graphic.Bitmap.format(), QImage::Format_ARGB32);
    // A stream some format takes but fails to load keeps the picture: a PNG of no
    // image, and (raising) a PNG cut inside a chunk.
    TMemoryStream headless(Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82});
    graphic.LoadFromStream(headless);
    EXPECT_EQ(graphic.Bitmap.size(), QSize(7, 4));
    Bytes broken = PngBytes(3, 3);
    broken.resize(45);  // inside the first IDAT chunk
    TMemoryStream cut(broken);
    EXPECT_THROW(graphic.LoadFromStream(cut), EImagingError);
    EXPECT_EQ(graphic.Bitmap.size(), QSize(7, 4));
    // AssignTo gives a TSingleImage the picture.
    TSingleImage single;
    graphic.AssignTo(single);
    EXPECT_EQ(single.Width(), 7);
    EXPECT_EQ(single.Format(), ifA8R8G8B8);

    // A DDS graphic with Compression 2 saves DXT3 blocks.
    TImagingDDS dds;
    dds.Assign(graphic.Bitmap);
    dds.Compression = 2;
    TMemoryStream out;
    dds.SaveToStream(out);
    ASSERT_GE(out.Data().size(), 128u);
    EXPECT_EQ(std::string(out.Data().begin() + 84, out.Data().begin() + 88), "DXT3");

    // The JPEG graphic's quality is used for its save only.
    PushOptions();
    SetOption(ImagingJpegQuality, 77);
    TImagingJpeg jpeg;
    EXPECT_EQ(jpeg.Quality, 77) << "properties start from the options";
    jpeg.Assign(graphic.Bitmap);
    jpeg.Quality = 50;
    TMemoryStream j;
    jpeg.SaveToStream(j);
    EXPECT_GT(j.Data().size(), 0u);
    EXPECT_EQ(GetOption(ImagingJpegQuality), 77);
    // A save that raises (a picture of no pixels) also gives the options back.
    TImagingJpeg empty;
    empty.Quality = 33;
    TMemoryStream e;
    EXPECT_THROW(empty.SaveToStream(e), EImagingError);
    EXPECT_EQ(GetOption(ImagingJpegQuality), 77);
    PopOptions();
}

TEST(ImagingGraphic, Registries) {
    RegisterImagingGraphics();
    struct Case {
        const char* ext;
        const char* className;
        const char* description;
    };
    const Case cases[] = {
        {"jpg", "TImagingJpeg", "Joint Photographic Experts Group Image"},
        {"JPEG", "TImagingJpeg", "Joint Photographic Experts Group Image"},
        {"dds", "TImagingDDS", "DirectDraw Surface"},
        {"mng", "TImagingMNG", "Multiple Network Graphics"},
        {"bmp", "TImagingBitmap", "Windows Bitmap Image"},
        {"pcx", "TImagingGraphic", "Imaging Graphic AllInOne"},
        {"jp2", "TImagingGraphic", "Imaging Graphic AllInOne"},
        {"dagtexture", "TImagingGraphic", "Imaging Graphic AllInOne"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ext);
        const TPictureFileFormat* f = PictureRegistry().Find(c.ext);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->ClassName, c.className);
        EXPECT_EQ(f->Description, c.description);
    }
    EXPECT_NE(dynamic_cast<TImagingDDS*>(PictureRegistry().Create("dds").get()), nullptr);
    EXPECT_TRUE(ClassRegistry().Has("TImagingGraphic"));
    EXPECT_EQ(PictureRegistry().Find("xyz"), nullptr);

    // The last registration of an extension wins.
    PictureRegistry().RegisterFileFormat("xyz", "first", "A", nullptr);
    PictureRegistry().RegisterFileFormat("XYZ", "second", "B", nullptr);
    EXPECT_EQ(PictureRegistry().Find("xyz")->Description, "second");
    PictureRegistry().UnregisterGraphicClass("B");

    UnregisterImagingGraphics();
    EXPECT_EQ(PictureRegistry().Find("jpg"), nullptr);
    EXPECT_EQ(PictureRegistry().Find("pcx"), nullptr);
    EXPECT_NE(PictureRegistry().Find("mng"), nullptr) << "the MNG class stays registered";
    EXPECT_FALSE(ClassRegistry().Has("TImagingGraphic"));
    EXPECT_TRUE(ClassRegistry().Has("TImagingJNG"));
}

}  // namespace
}  // namespace velto
