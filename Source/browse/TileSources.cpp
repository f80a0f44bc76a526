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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <array>
#include <cstddef>
#include <vector>

namespace velto {

namespace {

// n pixels as the canvas shows them over white, as opaque RGB32: a 32-bit
// pixel blended by its alpha, rounded to the nearest level; of another depth
// as it is, or white where transparent. For each channel v = c * a + 255 *
// (255 - a) + 127 stays below 65536, and for such a v, v / 255 is
// (v + 1 + (v >> 8)) >> 8: all in 16-bit lanes, eight channels at a time
// (one pixel at a time, a tile's picture cost nearly as much as the decode).
void ShownRow(const TmyPixel* src, int n, bool blend, QRgb* out) {
    int x = 0;
#if defined(__SSE2__)
    // v = 65152 - a * (255 - c): one multiplication a channel. The alpha of
    // each pixel goes to its four words by one unpacking; red and blue trade
    // places at the end (shuffles would cost more than the arithmetic).
    const __m128i zero = _mm_setzero_si128();
    const __m128i k255 = _mm_set1_epi16(255);
    const __m128i kTop = _mm_set1_epi16(static_cast<short>(255 * 255 + 127));
    const __m128i one = _mm_set1_epi16(1);
    const __m128i byte = _mm_set1_epi32(0xFF);
    const __m128i middle = _mm_set1_epi32(static_cast<int>(0xFF00FF00u));
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const auto over = [&](__m128i c, __m128i a) {
        const __m128i v = _mm_sub_epi16(kTop, _mm_mullo_epi16(a, _mm_sub_epi16(k255, c)));
        return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(v, one), _mm_srli_epi16(v, 8)), 8);
    };
    static_assert(sizeof(TmyPixel) == 4);
    for (; x + 4 <= n; x += 4) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
        __m128i a = _mm_srli_epi32(px, 24);  // a pixel's alpha in the low word of its dword
        if (!blend) a = _mm_andnot_si128(_mm_cmpeq_epi32(a, zero), byte);
        a = _mm_or_si128(a, _mm_slli_epi32(a, 16));
        const __m128i lo = over(_mm_unpacklo_epi8(px, zero), _mm_unpacklo_epi32(a, a));
        const __m128i hi = over(_mm_unpackhi_epi8(px, zero), _mm_unpackhi_epi32(a, a));
        const __m128i rgb = _mm_packus_epi16(lo, hi);  // R, G, B, _ bytes
        const __m128i swapped = _mm_or_si128(_mm_and_si128(rgb, middle),
                                             _mm_or_si128(_mm_and_si128(_mm_srli_epi32(rgb, 16), byte),
                                                          _mm_slli_epi32(_mm_and_si128(rgb, byte), 16)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_or_si128(swapped, opaque));
    }
#endif
    for (; x < n; ++x) {
        const TmyPixel& p = src[x];
        const unsigned a = blend ? p.A : p.A != 0 ? 255u : 0u;
        const auto over = [a](unsigned c) {
            const unsigned v = c * a + 255u * (255u - a) + 127u;
            return (v + 1u + (v >> 8)) >> 8;
        };
        out[x] = 0xFF000000u | over(p.R) << 16 | over(p.G) << 8 | over(p.B);
    }
}

// out[x]: per channel the mean, rounded down, of a[2x], a[2x + 1], b[2x]
// and b[2x + 1] (opaque colours).
void MeanOfFours(const QRgb* a, const QRgb* b, int n, QRgb* out) {
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; x + 2 <= n; x += 2) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 2 * x));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 2 * x));
        // Words: the column sums of picture pixel x, then of x + 1.
        const __m128i lo = _mm_add_epi16(_mm_unpacklo_epi8(va, zero), _mm_unpacklo_epi8(vb, zero));
        const __m128i hi = _mm_add_epi16(_mm_unpackhi_epi8(va, zero), _mm_unpackhi_epi8(vb, zero));
        const __m128i sum = _mm_add_epi16(_mm_unpacklo_epi64(lo, hi), _mm_unpackhi_epi64(lo, hi));
        const __m128i mean = _mm_srli_epi16(sum, 2);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(mean, mean));
    }
#endif
    // Channels summed side by side, 10 bits each (red at bit 20).
    const auto wide = [](QRgb c) { return (c & 0xFFu) | (c & 0xFF00u) << 2 | (c & 0xFF0000u) << 4; };
    for (; x < n; ++x) {
        const std::uint32_t t = wide(a[2 * x]) + wide(a[2 * x + 1]) + wide(b[2 * x]) + wide(b[2 * x + 1]);
        out[x] = 0xFF000000u | (t >> 22 & 255u) << 16 | (t >> 12 & 255u) << 8 | (t >> 2 & 255u);
    }
}

// The first image of a document file, fitted to the tile: the reader's
// road that decodes only that image.
template <class Reader, class Doc>
TTilePicture FirstImageOf(Reader& reader, Doc& doc, const std::string& fileName, int tileSize,
                          bool (Reader::*loadFirst)(TmyIcon&, std::span<const std::uint8_t>)) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(fileName, bytes, reader.Limits.fileSize) || !(reader.*loadFirst)(doc, bytes) ||
        doc.Count() == 0)
        return {};
    return PictureOfImage(doc.CurrentImage(), tileSize);
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
    if (!gif.LoadFirstFrameFromFile(fileName) || gif.Images().Count() == 0 || gif.Width() <= 0 || gif.Height() <= 0) return {};
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
    // Each pixel shown as the canvas shows it over white (ShownRow); a
    // picture pixel averages 2 x 2 source pixels spread over the block it
    // covers (one pixel taken twice where the block is one wide or high):
    // one pass, no scaled copies.
    const bool blend = image.BitCount >= 32;
    QImage out(fitted, QImage::Format_RGB32);
    const int sw = source.width(), sh = source.height(), fw = fitted.width(), fh = fitted.height();
    const TmyPixel* pixels = image.Pixels().data();  // rows of sw pixels, top first
    uchar* const bits = out.bits();
    const qsizetype stride = out.bytesPerLine();
    if (fitted == source) {
        for (int y = 0; y < fh; ++y)
            ShownRow(pixels + static_cast<std::ptrdiff_t>(y) * sw, sw, blend, reinterpret_cast<QRgb*>(bits + y * stride));
    } else {
        // The two source columns and rows of each picture column and row.
        const auto spread = [](int i, int from, int to) {
            const int a = static_cast<int>(static_cast<long long>(i) * from / to);
            const int b = std::max(a + 1, static_cast<int>(static_cast<long long>(i + 1) * from / to));
            return std::array<int, 2>{a, a + (b - a) / 2};
        };
        std::vector<std::array<int, 2>> cols(static_cast<std::size_t>(fw));
        for (int x = 0; x < fw; ++x) cols[static_cast<std::size_t>(x)] = spread(x, sw, fw);
        // A source row's two pixels under each picture column side by side,
        // as shown, for the two rows a picture row takes; picture rows often
        // share them. Only the pixels used are shown.
        const std::size_t pairs = 2 * static_cast<std::size_t>(fw);
        std::vector<TmyPixel> taken(pairs);
        std::vector<QRgb> shownRows(2 * pairs);
        int held[2] = {-1, -1};  // the source row in each half
        const auto show = [&](int slot, int r) {
            const TmyPixel* src = pixels + static_cast<std::ptrdiff_t>(r) * sw;
            for (std::size_t x = 0; x < cols.size(); ++x) {
                taken[2 * x] = src[cols[x][0]];
                taken[2 * x + 1] = src[cols[x][1]];
            }
            ShownRow(taken.data(), static_cast<int>(pairs), blend, shownRows.data() + slot * pairs);
            held[slot] = r;
            return slot;
        };
        const auto find = [&](int r) { return held[0] == r ? 0 : held[1] == r ? 1 : -1; };
        for (int y = 0; y < fh; ++y) {
            const std::array<int, 2> rows = spread(y, sh, fh);
            int s0 = find(rows[0]), s1 = find(rows[1]);
            if (s0 < 0 && s1 < 0) {
                s0 = show(0, rows[0]);
                s1 = rows[1] == rows[0] ? s0 : show(1, rows[1]);
            } else if (s0 < 0) {
                s0 = show(1 - s1, rows[0]);
            } else if (s1 < 0) {
                s1 = show(1 - s0, rows[1]);
            }
            MeanOfFours(shownRows.data() + static_cast<std::size_t>(s0) * pairs,
                        shownRows.data() + static_cast<std::size_t>(s1) * pairs, fw,
                        reinterpret_cast<QRgb*>(bits + y * stride));
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
            return FirstImageOf(reader, doc, fileName, tileSize, &TmyANIIO::LoadFirstFrame);
        }
        case ftIcns: {
            TmyMacIcoIO reader(false);
            TmyIcon doc;
            return FirstImageOf(reader, doc, fileName, tileSize, &TmyMacIcoIO::LoadFirstImage);
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
