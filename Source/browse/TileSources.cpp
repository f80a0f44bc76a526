#include "TileSources.h"

#include "TileGeometry.h"
#include "gif/GifCompose.h"
#include "gif/GifImage.h"
#include "icns/MacIcoIO.h"
#include "imaging/FormatJpeg.h"
#include "imaging/FileFormat.h"
#include "imaging/Imaging.h"
#include "model/AniIO.h"
#include "model/Detect.h"
#include "model/IcoIO.h"
#include "model/Icon.h"
#include "platform/ByteReader.h"
#include "platform/FileIO.h"

#include <QPainter>

#include <array>
#include <vector>

namespace velto {

namespace {

// The first image of a document file, fitted to the tile.
TTilePicture FirstImageOf(ImyIconIO& reader, TmyIcon& doc, const std::string& fileName, int tileSize) {
    if (!reader.LoadFromFile(doc, fileName) || doc.Count() == 0) return {};
    return PictureOfImage(doc.Image(0), tileSize);
}

// Pictures of the image library (BMP, JPEG, PNG, JPEG 2000): the first
// image, as 32-bit pixels shown over white. A JPEG is decoded at the scale
// the tile asks for; the tile records its size times the scale.
TTilePicture PictureOfLibraryFile(const std::string& fileName, std::uint8_t type, int tileSize) {
    TImageData data;
    int scale = 1;
    if (type == ftJpeg) {
        TPrivateJpegFileFormat jpeg;
        jpeg.ScaleDenominator = [&](std::int32_t width, std::int32_t height) {
            return scale = JpegDecodeDenominator(width, height, tileSize);
        };
        TDynImageDataArray images;
        const bool loaded = jpeg.LoadFromFile(fileName, images, true) && !images.empty();
        if (loaded) std::swap(data, images[0]);
        FreeImagesInArray(images);
        if (!loaded) return {};
    } else if (!LoadImageFromFile(fileName, data)) {
        return {};
    }
    TTilePicture out;
    if (ConvertImage(data, ifA8R8G8B8) && data.Width > 0 && data.Height > 0) {
        // A8R8G8B8 rows are B, G, R, A in memory: the toolkit's ARGB32.
        const QImage view(data.Bits, data.Width, data.Height, data.Width * 4, QImage::Format_ARGB32);
        out = PictureOfBitmap(view, QSize(data.Width * scale, data.Height * scale), tileSize);
    }
    FreeImage(data);
    return out;
}

// The first frame as a player shows it, over white.
TTilePicture PictureOfGif(const std::string& fileName, int tileSize) {
    TGIFImage gif;
    if (!gif.LoadFromFile(fileName) || gif.Images().Count() == 0 || gif.Width() <= 0 || gif.Height() <= 0) return {};
    const TGIFCanvas screen = ComposeGIFFrame(gif, 0);
    // R, G, B, A bytes, a pixel either transparent or opaque.
    const QImage view(reinterpret_cast<const uchar*>(screen.Pixels.data()), screen.Width, screen.Height,
                      screen.Width * 4, QImage::Format_RGBA8888);
    return PictureOfBitmap(view, view.size(), tileSize);
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
    const QSize source(image.Width(), image.Height());
    const QSize fitted = FittedPictureSize(source, tileSize);
    if (fitted.isEmpty()) return {};
    // Each pixel shown as the canvas shows it over white (alpha blended for
    // 32 bits, a transparent pixel white); a picture pixel averages up to
    // 2 x 2 source pixels spread over the block it covers: one pass, no
    // scaled copies.
    const bool blend = image.BitCount >= 32;
    auto shown = [blend](const TmyPixel& p, int& r, int& g, int& b) {
        if (p.A == 0) {
            r += 255, g += 255, b += 255;
        } else if (blend && p.A != 255) {
            const unsigned k = 255u - p.A;
            r += static_cast<int>((255u * k + unsigned{p.R} * p.A + 127u) / 255u);
            g += static_cast<int>((255u * k + unsigned{p.G} * p.A + 127u) / 255u);
            b += static_cast<int>((255u * k + unsigned{p.B} * p.A + 127u) / 255u);
        } else {
            r += p.R, g += p.G, b += p.B;
        }
    };
    QImage out(fitted, QImage::Format_RGB32);
    const int sw = source.width(), sh = source.height(), fw = fitted.width(), fh = fitted.height();
    // Source columns sampled for each picture column.
    std::vector<std::array<int, 2>> cols(static_cast<std::size_t>(fw));
    for (int x = 0; x < fw; ++x) {
        const int x0 = static_cast<int>(static_cast<long long>(x) * sw / fw);
        const int x1 = std::max(x0 + 1, static_cast<int>(static_cast<long long>(x + 1) * sw / fw));
        cols[static_cast<std::size_t>(x)] = {x0, x0 + (x1 - x0) / 2};
    }
    for (int y = 0; y < fh; ++y) {
        const int y0 = static_cast<int>(static_cast<long long>(y) * sh / fh);
        const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<long long>(y + 1) * sh / fh));
        const std::array<int, 2> rows = {y0, y0 + (y1 - y0) / 2};
        const int nRows = rows[1] != rows[0] ? 2 : 1;
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < fw; ++x) {
            const std::array<int, 2>& c = cols[static_cast<std::size_t>(x)];
            const int nCols = c[1] != c[0] ? 2 : 1;
            int r = 0, g = 0, b = 0;
            for (int j = 0; j < nRows; ++j) {
                const std::span<const TmyPixel> src = image.Row(rows[static_cast<std::size_t>(j)]);
                for (int i = 0; i < nCols; ++i) shown(src[static_cast<std::size_t>(c[std::size_t(i)])], r, g, b);
            }
            const int n = nRows * nCols;
            row[x] = qRgb(r / n, g / n, b / n);
        }
    }
    TTilePicture pic;
    pic.Bitmap = std::move(out);
    pic.Source = source;
    pic.Ok = true;
    return pic;
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
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(fileName, bytes, reader.Limits.fileSize)) return {};
    return PictureOfIconBytes(bytes, tileSize);
}

TTilePicture PictureOfIconBytes(std::span<const std::uint8_t> bytes, int tileSize) {
    try {
        // Only the image shown is decoded.
        TmyIcoIO reader(false);
        TmyIcon doc;
        ByteReader stream(bytes);
        if (!reader.LoadFirstImage(doc, stream) || doc.Count() == 0) return {};
        return PictureOfImage(doc.CurrentImage(), tileSize);
    } catch (...) {
        return {};
    }
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
        case ftGif: return PictureOfGif(fileName, tileSize);
        case ftBmp: case ftJpeg: case ftPng: case ftJp2: case ftJ2k:
            return PictureOfLibraryFile(fileName, type, tileSize);
        default: return {};
        }
    } catch (...) {
        return {};
    }
}

}  // namespace velto
