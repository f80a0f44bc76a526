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
    // The three channels blended at once, 16 bits each (red at bit 32):
    // c * a + 255 * (255 - a) + 127 stays below 65536, and for such a v,
    // v / 255 is (v + 1 + (v >> 8)) >> 8, so each field's bits 8 to 15 end
    // as the rounded level. No branch and one multiplication a pixel: this
    // ran longer than the decode of the image itself.
    constexpr std::uint64_t kOnes = 1ull << 32 | 1ull << 16 | 1ull;
    const auto blended = [blend](const TmyPixel& p) -> std::uint64_t {
        const std::uint64_t a = blend ? p.A : p.A != 0 ? 255u : 0u;
        const std::uint64_t v =
            (std::uint64_t{p.R} << 32 | std::uint64_t{p.G} << 16 | p.B) * a + (255u * (255u - a) + 127u) * kOnes;
        return v + kOnes + ((v >> 8) & (255u * kOnes));
    };
    // As R, G, B side by side, 10 bits each (red at bit 20), for sums.
    const auto shown = [&](const TmyPixel& p) -> std::uint32_t {
        const std::uint64_t q = blended(p);
        return static_cast<std::uint32_t>((q >> 20 & 255u << 20) | (q >> 14 & 255u << 10) | (q >> 8 & 255u));
    };
    QImage out(fitted, QImage::Format_RGB32);
    const int sw = source.width(), sh = source.height(), fw = fitted.width(), fh = fitted.height();
    const TmyPixel* pixels = image.Pixels().data();  // rows of sw pixels, top first
    uchar* const bits = out.bits();
    const qsizetype stride = out.bytesPerLine();
    if (fitted == source) {
        for (int y = 0; y < fh; ++y) {
            auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
            const TmyPixel* src = pixels + static_cast<std::ptrdiff_t>(y) * sw;
            for (int x = 0; x < fw; ++x) {
                const std::uint64_t q = blended(src[x]);
                row[x] = static_cast<QRgb>(0xFF000000u | (q >> 24 & 255u << 16) | (q >> 16 & 255u << 8) | (q >> 8 & 255u));
            }
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
        // A source row's two pixels under each picture column, summed, for
        // the two rows a picture row takes; picture rows often share them.
        std::vector<std::uint32_t> sums(2 * static_cast<std::size_t>(fw));
        int held[2] = {-1, -1};  // the source row in each half of sums
        const auto sum = [&](int slot, int r) {
            std::uint32_t* s = sums.data() + static_cast<std::ptrdiff_t>(slot) * fw;
            const TmyPixel* src = pixels + static_cast<std::ptrdiff_t>(r) * sw;
            for (int x = 0; x < fw; ++x) {
                const std::array<int, 2>& c = cols[static_cast<std::size_t>(x)];
                s[x] = shown(src[c[0]]) + shown(src[c[1]]);
            }
            held[slot] = r;
            return slot;
        };
        const auto find = [&](int r) { return held[0] == r ? 0 : held[1] == r ? 1 : -1; };
        for (int y = 0; y < fh; ++y) {
            const std::array<int, 2> rows = spread(y, sh, fh);
            int s0 = find(rows[0]), s1 = find(rows[1]);
            if (s0 < 0 && s1 < 0) {
                s0 = sum(0, rows[0]);
                s1 = rows[1] == rows[0] ? s0 : sum(1, rows[1]);
            } else if (s0 < 0) {
                s0 = sum(1 - s1, rows[0]);
            } else if (s1 < 0) {
                s1 = sum(1 - s0, rows[1]);
            }
            const std::uint32_t* a = sums.data() + static_cast<std::ptrdiff_t>(s0) * fw;
            const std::uint32_t* b = sums.data() + static_cast<std::ptrdiff_t>(s1) * fw;
            auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
            for (int x = 0; x < fw; ++x) {
                const std::uint32_t t = a[x] + b[x];
                row[x] = 0xFF000000u | (t >> 22) << 16 | ((t >> 12) & 255u) << 8 | ((t >> 2) & 255u);
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
