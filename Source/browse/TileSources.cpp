#include "TileSources.h"

#include "TileGeometry.h"
#include "engine/Line.h"
#include "engine/PixelBuffers.h"
#include "icns/MacIcoIO.h"
#include "imaging/FileFormat.h"
#include "imaging/Imaging.h"
#include "model/AniIO.h"
#include "model/Detect.h"
#include "model/IcoIO.h"
#include "model/Icon.h"
#include "platform/Color.h"

#include <QPainter>

namespace velto {

namespace {

// Scales a picture down to the tile's fitted size (never up).
TTilePicture Fit(QImage picture, QSize source, int tileSize) {
    TTilePicture out;
    out.Source = source;
    const QSize fitted = FittedPictureSize(source, tileSize);
    if (picture.isNull() || fitted.isEmpty()) return out;
    out.Bitmap = picture.size() == fitted ? std::move(picture)
                                          : picture.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    out.Ok = true;
    return out;
}

TTilePicture FirstImageOf(ImyIconIO& reader, TmyIcon& doc, const std::string& fileName, int tileSize) {
    if (!reader.LoadFromFile(doc, fileName) || doc.Count() == 0) return {};
    return PictureOfImage(doc.Image(0), tileSize);
}

// Pictures of the image library (BMP, JPEG, PNG, GIF, JPEG 2000): the
// first image, as 32-bit pixels shown over white.
TTilePicture PictureOfLibraryFile(const std::string& fileName, std::uint8_t type, int tileSize) {
    TImageData data;
    if (!LoadImageFromFile(fileName, data)) return {};
    TTilePicture out;
    if (ConvertImage(data, ifA8R8G8B8) && data.Width > 0 && data.Height > 0) {
        // A8R8G8B8 rows are B, G, R, A in memory: the toolkit's ARGB32.
        const QImage view(data.Bits, data.Width, data.Height, data.Width * 4, QImage::Format_ARGB32);
        const QSize source = type == ftJpeg ? JpegSourceSize(data.Width, data.Height, tileSize)
                                            : QSize(data.Width, data.Height);
        out = PictureOfBitmap(view, source, tileSize);
    }
    FreeImage(data);
    return out;
}

}  // namespace

bool IsFolderPictureType(std::uint8_t type) {
    switch (type) {
    case ftIcon: case ftCursor: case ftAnimatedCursor: case ftBmp: case ftJpeg: case ftPng: case ftGif:
    case ftIcns: case ftJp2: case ftJ2k: return true;
    default: return false;
    }
}

TTilePicture PictureOfImage(const TmyImagePal& image, int tileSize) {
    TRgbBuffer rgb;
    PaintImage(image, rgb, clWhite);
    if (rgb.Width <= 0 || rgb.Height <= 0) return {};
    const QImage view(rgb.Bytes.data(), rgb.Width, rgb.Height, rgb.Stride(), QImage::Format_RGB888);
    const QSize source(rgb.Width, rgb.Height);
    const QSize fitted = FittedPictureSize(source, tileSize);
    // The copy (or the scaled picture) owns its pixels; the buffer goes.
    return Fit(fitted == source ? view.convertToFormat(QImage::Format_RGB32) : view.copy(), source, tileSize);
}

TTilePicture PictureOfBitmap(const QImage& picture, QSize source, int tileSize) {
    if (picture.isNull()) return {};
    const QSize fitted = FittedPictureSize(source, tileSize);
    if (fitted.isEmpty()) return {};
    QImage shown(fitted, QImage::Format_RGB32);
    shown.fill(Qt::white);
    QPainter p(&shown);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(QRect(QPoint(0, 0), fitted), picture);
    p.end();
    TTilePicture out;
    out.Bitmap = std::move(shown);
    out.Source = source;
    out.Ok = true;
    return out;
}

TTilePicture PictureOfIconFile(const std::string& fileName, int tileSize) {
    TmyIcoIO reader(false);
    TmyIcon doc;
    return FirstImageOf(reader, doc, fileName, tileSize);
}

TTilePicture PictureOfFile(const std::string& fileName, std::uint8_t type, int tileSize) {
    // A damaged file may make a reader raise; the tile then has no picture.
    try {
        switch (type) {
        case ftIcon:
        case ftCursor: return PictureOfIconFile(fileName, tileSize);
        case ftAnimatedCursor: {
            TmyANIIO reader(false);
            TmyANI doc;
            return FirstImageOf(reader, doc, fileName, tileSize);
        }
        case ftIcns: {
            TmyMacIcoIO reader(false);
            TmyIcon doc;
            return FirstImageOf(reader, doc, fileName, tileSize);
        }
        case ftBmp: case ftJpeg: case ftPng: case ftGif: case ftJp2: case ftJ2k:
            return PictureOfLibraryFile(fileName, type, tileSize);
        default: return {};
        }
    } catch (...) {
        return {};
    }
}

}  // namespace velto
