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
    // 32 bits, a transparent pixel white); a picture pixel averages 2 x 2
    // source pixels spread over the block it covers (one pixel taken twice
    // where the block is one wide or high): one pass, no scaled copies.
    const bool blend = image.BitCount >= 32;
    const auto shown = [blend](const TmyPixel& p) -> QRgb {
        if (p.A == 0) return 0xFFFFFFFFu;
        if (!blend || p.A == 255) return qRgb(p.R, p.G, p.B);
        const unsigned k = 255u - p.A;
        const auto over = [&](unsigned c) { return static_cast<int>((255u * k + c * p.A + 127u) / 255u); };
        return qRgb(over(p.R), over(p.G), over(p.B));
    };
    QImage out(fitted, QImage::Format_RGB32);
    const int sw = source.width(), sh = source.height(), fw = fitted.width(), fh = fitted.height();
    const TmyPixel* pixels = image.Pixels().data();  // rows of sw pixels, top first
    if (fitted == source) {
        for (int y = 0; y < fh; ++y) {
            auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
            const TmyPixel* src = pixels + static_cast<std::ptrdiff_t>(y) * sw;
            for (int x = 0; x < fw; ++x) row[x] = shown(src[x]);
        }
    } else {
        // The two source columns and rows of each picture column and row.
        const auto spread = [](int i, int from, int to) {
            const int a = static_cast<int>(static_cast<long long>(i) * from / to);
            const int b = std::max(a + 1, static_cast<int>(static_cast<long long>(i + 1) * from / to));
            return std::array<int, 2>{a, a + (b - a) / 2};
        };
        std::vector<std::array<int, 2>> cols(static_cast<std::size_t>(fw));
        for (int x = 0; x < fw; ++x) cols[static_cast<std::size_t>(x)] = spread(x, sw, fw);
        for (int y = 0; y < fh; ++y) {
            const std::array<int, 2> rows = spread(y, sh, fh);
            const TmyPixel* r0 = pixels + static_cast<std::ptrdiff_t>(rows[0]) * sw;
            const TmyPixel* r1 = pixels + static_cast<std::ptrdiff_t>(rows[1]) * sw;
            auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = 0; x < fw; ++x) {
                const std::array<int, 2>& c = cols[static_cast<std::size_t>(x)];
                const QRgb q[4] = {shown(r0[c[0]]), shown(r0[c[1]]), shown(r1[c[0]]), shown(r1[c[1]])};
                row[x] = qRgb((qRed(q[0]) + qRed(q[1]) + qRed(q[2]) + qRed(q[3])) >> 2,
                              (qGreen(q[0]) + qGreen(q[1]) + qGreen(q[2]) + qGreen(q[3])) >> 2,
                              (qBlue(q[0]) + qBlue(q[1]) + qBlue(q[2]) + qBlue(q[3])) >> 2);
            }
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
