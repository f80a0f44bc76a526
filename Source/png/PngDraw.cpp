#include "png/PngDraw.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/PixelRows.h"

namespace velto {

#if defined(VELTO_PNG_AVX2)
namespace png_detail {
std::size_t BlendBgrAlphaRowAvx2(const std::uint8_t* bgr, const std::uint8_t* alpha, std::uint8_t* d, std::size_t n,
                                 std::size_t readable);
}
#endif

namespace {

bool HaveAvx2() {
#if defined(VELTO_PNG_AVX2)
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
#else
    return false;
#endif
}

// An RGBA row drawn one to one onto a 32-bit row straight from the image's
// planes; used where the processor has AVX2 (elsewhere the B, G, R, A row is
// built first and blended four pixels at a time). readable: bytes that may
// be read from bgr on, to the end of its buffer.
void BlendBgrAlphaRow(const std::uint8_t* bgr, const std::uint8_t* alpha, std::uint8_t* d, std::size_t n,
                      std::size_t readable) {
    std::size_t i = 0;
#if defined(VELTO_PNG_AVX2)
    i = png_detail::BlendBgrAlphaRowAvx2(bgr, alpha, d, n, readable);
#else
    (void)readable;
#endif
    for (; i < n; ++i) {
        const std::uint8_t a = alpha[i];
        const std::uint8_t* s = bgr + 3 * i;
        std::uint8_t* p = d + 4 * i;
        p[0] = BlendChannel(s[0], a, p[0]);
        p[1] = BlendChannel(s[1], a, p[1]);
        p[2] = BlendChannel(s[2], a, p[2]);
    }
}

// Source column (or row) of each destination offset: one to one when the sizes
// agree, else Trunc(offset / factor) with the factor in floating point.
std::vector<int> SourceMap(int destSize, int sourceSize) {
    std::vector<int> map(static_cast<std::size_t>(destSize));
    if (destSize == sourceSize) {
        for (int i = 0; i < destSize; ++i) map[static_cast<std::size_t>(i)] = i;
        return map;
    }
    const double factor = static_cast<double>(destSize) / sourceSize;
    for (int i = 0; i < destSize; ++i)
        map[static_cast<std::size_t>(i)] = std::min(sourceSize - 1, static_cast<int>(i / factor));
    return map;
}

TRect Ordered(TRect r) {
    if (r.Left > r.Right) std::swap(r.Left, r.Right);
    if (r.Top > r.Bottom) std::swap(r.Top, r.Bottom);
    return r;
}

// The part of the ordered rectangle inside the bitmap.
struct Span {
    int x0, x1, y0, y1;
    bool Empty() const { return x0 >= x1 || y0 >= y1; }
};
Span Clip(const TRect& r, const TBitmap& b) {
    return {std::max(r.Left, 0), std::min(r.Right, b.Width()), std::max(r.Top, 0), std::min(r.Bottom, b.Height())};
}

// What one image row shows, as B, G, R, A for the mapped columns: colours as
// the image's bitmap holds them, alpha from the alpha plane or the palette's
// tRNS values. Indices beyond the palette give opaque black.
class RowSource {
public:
    explicit RowSource(const TPNGObject& png) : png_(png), h_(png.GetHeader()) {
        if (h_.ColorType == COLOR_PALETTE) {
            const auto* plte = png.Chunks().FindChunk<TChunkPLTE>();
            const auto* trns = png.Chunks().FindChunk<TChunktRNS>();
            const auto table = h_.ImageBitmap().ColorTable();
            const std::size_t count =
                std::min<std::size_t>(table.size(), plte ? static_cast<std::size_t>(std::max(plte->Count, 0)) : 0);
            const bool alphas = trns && trns->AppliesToImage();
            // 256 entries whatever the depth: an index never reads past the table.
            for (std::size_t i = 0; i < 256; ++i) {
                std::uint8_t* e = &lut_[i * 4];
                if (i < count) {
                    e[0] = table[i].Blue, e[1] = table[i].Green, e[2] = table[i].Red;
                    e[3] = alphas ? trns->PaletteValues[i] : 255;
                } else {
                    e[0] = e[1] = e[2] = 0, e[3] = 255;
                }
            }
        }
    }

    void Row(int sy, const int* cols, int n, std::uint8_t* out) const {
        const std::uint8_t* dib = h_.ImageBitmap().ScanLine(sy);
        const std::uint8_t* alpha = png_.AlphaScanline(sy);
        switch (h_.ColorType) {
            case COLOR_RGBALPHA:
                for (int i = 0; i < n; ++i, out += 4) {
                    const std::size_t x = static_cast<std::size_t>(cols[i]);
                    const std::uint8_t* p = dib + 3 * x;
                    out[0] = p[0], out[1] = p[1], out[2] = p[2], out[3] = alpha ? alpha[x] : 255;
                }
                break;
            case COLOR_GRAYSCALEALPHA:
                for (int i = 0; i < n; ++i, out += 4) {
                    const std::size_t x = static_cast<std::size_t>(cols[i]);
                    out[0] = out[1] = out[2] = dib[x];
                    out[3] = alpha ? alpha[x] : 255;
                }
                break;
            case COLOR_PALETTE: {
                const int bpp = h_.BitsPerPixel();
                for (int i = 0; i < n; ++i, out += 4)
                    std::memcpy(out, &lut_[PackedPixel(dib, static_cast<std::size_t>(cols[i]), bpp) * 4], 4);
                break;
            }
            default: {
                // Grey or RGB: opaque, colours as the bitmap shows them.
                const TBitmap& b = h_.ImageBitmap();
                const int bpp = BitsPerPixel(b.PixelFormat());
                const auto table = b.ColorTable();
                for (int i = 0; i < n; ++i, out += 4) {
                    const std::size_t x = static_cast<std::size_t>(cols[i]);
                    if (bpp == 24) {
                        out[0] = dib[3 * x], out[1] = dib[3 * x + 1], out[2] = dib[3 * x + 2];
                    } else {
                        const unsigned v = PackedPixel(dib, x, bpp);
                        const TRGBQuad q = v < table.size() ? table[v] : TRGBQuad{};
                        out[0] = q.Blue, out[1] = q.Green, out[2] = q.Red;
                    }
                    out[3] = 255;
                }
                break;
            }
        }
    }

private:
    const TPNGObject& png_;
    const TChunkIHDR& h_;
    std::uint8_t lut_[256 * 4]{};
};

void BlendBgraRowScalar(const std::uint8_t* s, std::uint8_t* d, int n) {
    for (int i = 0; i < n; ++i, s += 4, d += 4) {
        const std::uint8_t a = s[3];
        d[0] = BlendChannel(s[0], a, d[0]);
        d[1] = BlendChannel(s[1], a, d[1]);
        d[2] = BlendChannel(s[2], a, d[2]);
    }
}

// Writes finished B, G, R, A pixels (alpha 0: keep, else copy) or blends them
// onto a row of the destination, whatever its format.
enum class Put { Blend, Key };

void PutRow(TBitmap& dest, int y, int x0, const std::uint8_t* src, int n, Put how) {
    switch (dest.PixelFormat()) {
        case pf32bit: {
            std::uint8_t* d = dest.ScanLine(y) + static_cast<std::size_t>(x0) * 4;
            if (how == Put::Blend) {
                BlendBgraRow(src, d, n);
            } else {
                for (int i = 0; i < n; ++i, src += 4, d += 4)
                    if (src[3]) d[0] = src[0], d[1] = src[1], d[2] = src[2], d[3] = 0;
            }
            break;
        }
        case pf24bit: {
            std::uint8_t* d = dest.ScanLine(y) + static_cast<std::size_t>(x0) * 3;
            for (int i = 0; i < n; ++i, src += 4, d += 3) {
                if (how == Put::Blend) {
                    d[0] = BlendChannel(src[0], src[3], d[0]);
                    d[1] = BlendChannel(src[1], src[3], d[1]);
                    d[2] = BlendChannel(src[2], src[3], d[2]);
                } else if (src[3]) {
                    d[0] = src[0], d[1] = src[1], d[2] = src[2];
                }
            }
            break;
        }
        default: {
            // Rare formats go through the canvas's colour rules.
            TCanvas& c = dest.Canvas();
            for (int i = 0; i < n; ++i, src += 4) {
                const int x = x0 + i;
                if (how == Put::Key) {
                    if (src[3]) c.SetPixels(x, y, MakeColor(src[2], src[1], src[0]));
                    continue;
                }
                const TColor p = c.Pixels(x, y);
                c.SetPixels(x, y,
                            MakeColor(BlendChannel(src[2], src[3], ColorR(p)), BlendChannel(src[1], src[3], ColorG(p)),
                                      BlendChannel(src[0], src[3], ColorB(p))));
            }
            break;
        }
    }
}

// Both the colour-key and the alpha draws: rows of the image mapped onto the
// rectangle, then keyed or blended onto the bitmap.
void DrawMapped(const TPNGObject& png, TBitmap& dest, TRect r, Put how) {
    r = Ordered(r);
    const int w = r.Right - r.Left, h = r.Bottom - r.Top;
    const Span s = Clip(r, dest);
    if (w <= 0 || h <= 0 || s.Empty()) return;
    const TChunkIHDR& hdr = png.GetHeader();
    if (hdr.ImageBitmap().Empty()) return;
    std::vector<int> cols, rows;
    std::vector<std::uint8_t> line;
    try {
        cols = SourceMap(w, hdr.Width);
        rows = SourceMap(h, hdr.Height);
        line.resize(static_cast<std::size_t>(s.x1 - s.x0) * 4);
    } catch (const std::bad_alloc&) {
        throw EPNGOutMemory(EPNGOutMemoryText);
    }
    const RowSource source(png);
    const int n = s.x1 - s.x0;
    const int* colsAt = cols.data() + (s.x0 - r.Left);

    // Colour key: decided on the file's samples where the loader kept them
    // (16-bit samples that differ only in their low byte), else on the colour.
    const TColor key = png.TransparentColor();
    const bool keyed = how == Put::Key && hdr.KeyedPixels.size() == static_cast<std::size_t>(hdr.Width) *
                                                                      static_cast<std::size_t>(hdr.Height);
    // The common case: an RGBA image one to one onto a 32-bit bitmap.
    const bool direct = HaveAvx2() && how == Put::Blend && w == hdr.Width && hdr.ColorType == COLOR_RGBALPHA &&
                        dest.PixelFormat() == pf32bit && hdr.ImageBitmap().PixelFormat() == pf24bit;
    for (int y = s.y0; y < s.y1; ++y) {
        const int sy = rows[static_cast<std::size_t>(y - r.Top)];
        if (direct && !hdr.ImageAlpha.empty()) {
            {
                const std::uint8_t* alpha =
                    hdr.ImageAlpha.data() + static_cast<std::size_t>(sy) * static_cast<std::size_t>(hdr.Width);
                const TBitmap& image = hdr.ImageBitmap();
                const std::uint8_t* bgr = image.ScanLine(sy) + 3 * static_cast<std::size_t>(colsAt[0]);
                const auto readable = static_cast<std::size_t>(image.Bits() + image.ByteSize() - bgr);
                BlendBgrAlphaRow(bgr, alpha + colsAt[0], dest.ScanLine(y) + 4 * static_cast<std::size_t>(s.x0),
                                 static_cast<std::size_t>(n), readable);
                continue;
            }
        }
        source.Row(sy, colsAt, n, line.data());
        if (how == Put::Key) {
            const std::uint8_t* k =
                keyed ? hdr.KeyedPixels.data() + static_cast<std::size_t>(sy) * static_cast<std::size_t>(hdr.Width)
                      : nullptr;
            for (int i = 0; i < n; ++i) {
                std::uint8_t* p = &line[static_cast<std::size_t>(i) * 4];
                const bool clear = k ? k[colsAt[i]] != 0 : MakeColor(p[2], p[1], p[0]) == key;
                p[3] = clear ? 0 : 255;
            }
        }
        PutRow(dest, y, s.x0, line.data(), n, how);
    }
}

}  // namespace

void BlendBgraRow(const std::uint8_t* s, std::uint8_t* d, int n) {
    int i = 0;
#if defined(__SSE2__)
    // Four pixels at a time in 16-bit lanes: S*a + P*(255-a) + 255 stays below
    // 65536, so the formula is computed exactly.
    const __m128i zero = _mm_setzero_si128();
    const __m128i c255 = _mm_set1_epi16(255);
    const __m128i keep = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; i + 4 <= n; i += 4, s += 16, d += 16) {
        const __m128i S = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i D = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
        auto half = [&](__m128i s16, __m128i d16) {
            __m128i a = _mm_shufflelo_epi16(s16, 0xFF);
            a = _mm_shufflehi_epi16(a, 0xFF);
            const __m128i ia = _mm_sub_epi16(c255, a);
            __m128i v = _mm_add_epi16(_mm_mullo_epi16(s16, a), _mm_mullo_epi16(d16, ia));
            return _mm_srli_epi16(_mm_add_epi16(v, c255), 8);
        };
        const __m128i lo = half(_mm_unpacklo_epi8(S, zero), _mm_unpacklo_epi8(D, zero));
        const __m128i hi = half(_mm_unpackhi_epi8(S, zero), _mm_unpackhi_epi8(D, zero));
        const __m128i out = _mm_or_si128(_mm_andnot_si128(keep, _mm_packus_epi16(lo, hi)), _mm_and_si128(keep, D));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), out);
    }
#endif
    BlendBgraRowScalar(s, d, n - i);
}

void DrawPng(const TPNGObject& png, TCanvas& canvas, TRect rect) {
    if (png.Empty()) return;
    TBitmap& dest = canvas.Bitmap();
    switch (png.TransparencyMode()) {
        case 1: DrawMapped(png, dest, rect, Put::Key); break;
        case 2: DrawMapped(png, dest, rect, Put::Blend); break;
        default: {
            const TBitmap& image = png.GetHeader().ImageBitmap();
            canvas.StretchDraw(Ordered(rect), image);
            break;
        }
    }
}

void AssignPngTo(const TPNGObject& png, TBitmap& dest) {
    const TChunkIHDR& h = png.GetHeader();
    const std::uint8_t mode = png.TransparencyMode();
    TPixelFormat pf;
    if (mode == 2) {
        pf = pf24bit;
    } else if (h.BitDepth == 1) {
        pf = pf1bit;
    } else if (h.BitDepth == 2 || h.BitDepth == 4) {
        pf = pf4bit;
    } else if ((h.BitDepth == 8 || h.BitDepth == 16) && (h.ColorType == COLOR_GRAYSCALE || h.ColorType == COLOR_RGB)) {
        pf = pf24bit;
    } else if (h.BitDepth == 8 && h.ColorType == COLOR_PALETTE) {
        pf = pf8bit;
    } else {
        throw EPngError("Cannot convert this image to a bitmap");
    }
    TBitmap out;
    if (!out.Allocate(h.Width, h.Height, pf)) throw EPNGOutMemory(EPNGOutMemoryText);
    // An indexed bitmap takes the image's own colours, so that copying keeps
    // every index.
    if (IsIndexed(pf)) out.SetColorTable(h.ImageBitmap().ColorTable());
    if (mode == 1) {
        // The transparent pixels take the transparent colour (not whatever the
        // fresh bitmap holds), so the bitmap's transparency shows them as such.
        out.Canvas().Brush.Color = png.TransparentColor();
        out.Canvas().FillRect({0, 0, h.Width, h.Height});
    }
    DrawPng(png, out.Canvas(), {0, 0, h.Width, h.Height});
    if (mode == 1) {
        out.SetTransparentColor(png.TransparentColor());
        out.SetTransparent(true);
    }
    dest = std::move(out);
}

// ---------------------------------------------------------------------------
// Size changes keep the top-left corner; new pixels are zero and opaque.

void TPNGObject::Resize(int cx, int cy) {
    if (cx <= 0 || cy <= 0) throw EPNGInvalidNewSize(EPNGInvalidNewSizeText);
    TChunkIHDR& h = GetHeader();
    const TBitmap& old = h.ImageBitmap();
    TBitmap image;
    if (!image.Allocate(cx, cy, old.PixelFormat())) throw EPNGOutMemory(EPNGOutMemoryText);
    image.SetColorTable(old.ColorTable());
    const int rows = std::min(cy, h.Height);
    const std::size_t rowBytes = static_cast<std::size_t>(std::min(image.Stride(), old.Stride()));
    TPixelBytes alpha, extra;
    try {
        if (!h.ImageAlpha.empty()) {
            alpha.assign(static_cast<std::size_t>(cx) * static_cast<std::size_t>(cy), 255);
            const std::size_t n = static_cast<std::size_t>(std::min(cx, h.Width));
            for (int y = 0; y < rows; ++y)
                std::memcpy(alpha.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(cx),
                            h.ImageAlpha.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(h.Width), n);
        }
        if (!h.ExtraImageData.empty()) extra.assign(image.ByteSize(), 0);
    } catch (const std::bad_alloc&) {
        throw EPNGOutMemory(EPNGOutMemoryText);
    }
    for (int y = 0; y < rows; ++y) {
        std::memcpy(image.ScanLine(y), old.ScanLine(y), rowBytes);
        if (!extra.empty()) {
            // The extra plane has the bitmap's geometry: bottom-up rows.
            const std::size_t newAt = static_cast<std::size_t>(cy - 1 - y) * image.Stride();
            const std::size_t oldAt = static_cast<std::size_t>(h.Height - 1 - y) * old.Stride();
            std::memcpy(extra.data() + newAt, h.ExtraImageData.data() + oldAt, rowBytes);
        }
    }
    // A sample key from the file no longer lines up with the pixels.
    h.KeyedPixels.clear();
    h.fImage = std::move(image);
    h.ImageAlpha = std::move(alpha);
    h.ExtraImageData = std::move(extra);
    h.Width = cx;
    h.Height = cy;
    h.fBytesPerRow = h.fImage.Stride();
}

}  // namespace velto
