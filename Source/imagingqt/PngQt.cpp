#include "imagingqt/PngQt.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QPalette>

#include <cstring>
#include <vector>

#include "imagingqt/PictureRegistry.h"
#include "png/PngDraw.h"
#include "png/PngFunctions.h"

// Resources of a static library are registered by hand, outside any namespace.
static void InitArtResources() { Q_INIT_RESOURCE(art); }

namespace velto {

TColor ResolveColor(TColor c) {
    if (c == clBtnFace) {
        const QColor q = QGuiApplication::palette().color(QPalette::Button);
        return MakeColor(static_cast<std::uint8_t>(q.red()), static_cast<std::uint8_t>(q.green()),
                         static_cast<std::uint8_t>(q.blue()));
    }
    return c;
}

QImage BitmapToImage(const TBitmap& bitmap, bool useAlpha) {
    TBitmap copy;
    const TBitmap* b = &bitmap;
    if (bitmap.PixelFormat() != pf32bit) {
        copy = bitmap;
        copy.SetPixelFormat(pf32bit);
        b = &copy;
        useAlpha = false;
    }
    QImage out(b->Width(), b->Height(), QImage::Format_ARGB32);
    const auto rowBytes = static_cast<std::size_t>(b->Width()) * 4;
    for (int y = 0; y < b->Height(); ++y) {
        std::uint8_t* d = out.scanLine(y);
        std::memcpy(d, b->ScanLine(y), rowBytes);  // B, G, R, A in both
        if (!useAlpha)
            for (std::size_t x = 3; x < rowBytes; x += 4) d[x] = 255;
    }
    return out;
}

TBitmap ImageToBitmap(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    TBitmap out;
    out.Allocate(argb.width(), argb.height(), pf32bit);
    for (int y = 0; y < argb.height(); ++y)
        std::memcpy(out.ScanLine(y), argb.constScanLine(y), static_cast<std::size_t>(argb.width()) * 4);
    return out;
}

QImage PngToImage(const TPNGObject& png) {
    if (!png.HeaderPresent()) return {};
    QImage out(png.Width(), png.Height(), QImage::Format_ARGB32);
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(png.Width()) * 4);
    for (int y = 0; y < png.Height(); ++y) {
        png.GetRGBA(y, rgba.data());
        auto* d = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < png.Width(); ++x) {
            const std::uint8_t* p = &rgba[static_cast<std::size_t>(x) * 4];
            d[x] = qRgba(p[0], p[1], p[2], p[3]);
        }
    }
    return out;
}

QImage PngToIconImage(const TPNGObject& png, TColor background) {
    if (!png.HeaderPresent()) return {};
    if (background == clNone) return PngToImage(png);
    const int w = png.Width(), h = png.Height();
    TBitmap colour;
    colour.Allocate(w, h, pf32bit);
    colour.Canvas().Brush.Color = ResolveColor(background);
    colour.Canvas().FillRect({0, 0, w, h});
    DrawPng(png, colour.Canvas(), {0, 0, w, h});
    QImage out = BitmapToImage(colour, false);
    const std::uint8_t type = png.GetHeader().ColorType;
    const bool alphaMask = type == COLOR_GRAYSCALEALPHA || type == COLOR_RGBALPHA;
    const bool keyMask = png.TransparencyMode() == 1;
    const TColor key = png.TransparentColor();
    for (int y = 0; y < h && (alphaMask || keyMask); ++y) {
        auto* d = reinterpret_cast<QRgb*>(out.scanLine(y));
        const std::uint8_t* a = png.AlphaScanline(y);
        for (int x = 0; x < w; ++x) {
            const bool clear = alphaMask ? a && a[x] == 0 : png.GetPixels(x, y) == key;
            if (clear) d[x] = 0;
        }
    }
    return out;
}

std::unique_ptr<TPNGObject> IconToPng(const QIcon& icon, QSize size) {
    const QImage img = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
    if (img.isNull()) return nullptr;
    const TBitmap colour = ImageToBitmap(img);
    TBitmap mask;
    mask.Allocate(img.width(), img.height(), pf1bit);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) == 0) mask.Canvas().SetPixels(x, y, clWhite);
    return ConvertIconToPNG(colour, mask);
}

void TPngGraphic::LoadDataFromStream(TStream& stream) {
    const std::int64_t size = stream.Size() - stream.Position();
    if (size <= 0) return;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    bytes.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, stream.Read(bytes.data(), size))));
    ByteReader reader(bytes);
    TPNGObject loaded;
    loaded.LoadFromStream(reader);  // raises on a broken file, leaving this picture as it was
    stream.Seek(static_cast<std::int64_t>(reader.pos()) - static_cast<std::int64_t>(bytes.size()), smFromCurrent);
    Png.Assign(loaded);
    Bitmap = PngToImage(Png);
}

void RegisterPngGraphic() {
    PictureRegistry().RegisterFileFormat("png", "Portable Network Graphics", "TPNGObject",
                                         [] { return std::unique_ptr<TImagingGraphic>(new TPngGraphic()); });
    ClassRegistry().RegisterClass("TPNGObject", [] { return std::unique_ptr<TImagingGraphic>(new TPngGraphic()); });
}

void UnregisterPngGraphic() {
    PictureRegistry().UnregisterGraphicClass("TPNGObject");
    ClassRegistry().UnregisterClass("TPNGObject");
}

std::unique_ptr<TPNGObject> ArtPng(const char* name, bool twice) {
    static const bool registered = (InitArtResources(), true);
    (void)registered;
    QFile file(QStringLiteral(":/art/%1%2.png").arg(QLatin1String(name), twice ? QStringLiteral("@2x") : QString()));
    if (!file.open(QIODevice::ReadOnly)) return nullptr;
    const QByteArray data = file.readAll();
    ByteReader reader(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(data.constData()),
                                                    static_cast<std::size_t>(data.size())));
    auto png = std::make_unique<TPNGObject>();
    try {
        png->LoadFromStream(reader);
    } catch (const EPngError&) {
        return nullptr;
    }
    return png;
}

void SavePngToClipboard(const TPNGObject& png) {
    if (!png.HeaderPresent()) return;
    TBitmap b;
    b.Allocate(png.Width(), png.Height(), pf32bit);
    DrawPng(png, b.Canvas(), {0, 0, png.Width(), png.Height()});
    QGuiApplication::clipboard()->setImage(BitmapToImage(b, false));
}

bool LoadPngFromClipboard(TPNGObject& png) {
    const QImage img = QGuiApplication::clipboard()->image();
    if (img.isNull()) return false;
    TBitmap b;
    if (img.format() == QImage::Format_Indexed8 || img.format() == QImage::Format_Mono) {
        const QImage idx = img.convertToFormat(QImage::Format_Indexed8);
        b.Allocate(idx.width(), idx.height(), pf8bit);
        std::vector<TRGBQuad> table;
        for (QRgb c : idx.colorTable())
            table.push_back({static_cast<std::uint8_t>(qBlue(c)), static_cast<std::uint8_t>(qGreen(c)),
                             static_cast<std::uint8_t>(qRed(c)), 0});
        b.SetColorTable(table);
        for (int y = 0; y < idx.height(); ++y)
            std::memcpy(b.ScanLine(y), idx.constScanLine(y), static_cast<std::size_t>(idx.width()));
    } else {
        b = ImageToBitmap(img);
    }
    png.AssignHandle(b, false, clBlack);
    return true;
}

}  // namespace velto
