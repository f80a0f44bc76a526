// Block codecs and the conversions through them. Every block covers 4x4
// pixels k = 4 * row + column; multi-byte fields are little-endian.
#include "imaging/BlockFormats.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "imaging/Formats.h"
#include "imaging/Imaging.h"

namespace velto {

namespace {

struct Rgba {
    std::int32_t b = 0, g = 0, r = 0, a = 255;
};

inline std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
inline std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
inline void Put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::uint8_t* p, std::uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

Rgba Expand565(std::uint16_t w) {
    Rgba c;
    c.r = (w >> 11) * 255 / 31;
    c.g = ((w >> 5) & 63) * 255 / 63;
    c.b = (w & 31) * 255 / 31;
    return c;
}

std::uint16_t To565(const std::uint8_t* bgra) {
    return static_cast<std::uint16_t>((bgra[2] >> 3) << 11 | (bgra[1] >> 2) << 5 | bgra[0] >> 3);
}

Rgba Mix(const Rgba& x, int wx, const Rgba& y, int wy, int div, int alpha) {
    Rgba c;
    c.r = (wx * x.r + wy * y.r + 1) / div;
    c.g = (wx * x.g + wy * y.g + 1) / div;
    c.b = (wx * x.b + wy * y.b + 1) / div;
    c.a = alpha;
    return c;
}

// The four colours of a colour block; three-colour mode (DXT1 with c0 <= c1)
// keeps the colour of the transparent entry.
std::array<Rgba, 4> ColourPalette(std::uint16_t c0, std::uint16_t c1, bool threeColour) {
    const Rgba e0 = Expand565(c0), e1 = Expand565(c1);
    std::array<Rgba, 4> p{e0, e1, {}, {}};
    if (threeColour) {
        p[2] = {(e0.b + e1.b) >> 1, (e0.g + e1.g) >> 1, (e0.r + e1.r) >> 1, 255};
        p[3] = Mix(e0, 1, e1, 2, 3, 0);
    } else {
        p[2] = Mix(e0, 2, e1, 1, 3, 255);
        p[3] = Mix(e0, 1, e1, 2, 3, 255);
    }
    return p;
}

// Walks the blocks of a w x h image; fn(block, x0, y0).
template <class Fn>
void ForEachBlock(std::int32_t width, std::int32_t height, std::size_t blockBytes, const std::uint8_t* blocks, Fn fn) {
    for (std::int32_t by = 0; by < height / 4; ++by)
        for (std::int32_t bx = 0; bx < width / 4; ++bx, blocks += blockBytes) fn(blocks, bx * 4, by * 4);
}

void StorePixel(std::uint8_t* dst, std::int32_t width, std::int32_t height, std::int32_t x, std::int32_t y,
                const Rgba& c) {
    if (x >= width || y >= height) return;
    std::uint8_t* p = dst + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
    p[0] = static_cast<std::uint8_t>(c.b);
    p[1] = static_cast<std::uint8_t>(c.g);
    p[2] = static_cast<std::uint8_t>(c.r);
    p[3] = static_cast<std::uint8_t>(c.a);
}

// Decodes the colour part of a block; alphaOf(k, colourAlpha) gives pixel k's alpha.
template <class AlphaOf>
void DecodeColourBlock(const std::uint8_t* block, bool dxt1, std::uint8_t* dst, std::int32_t width,
                       std::int32_t height, std::int32_t x0, std::int32_t y0, AlphaOf alphaOf) {
    const std::uint16_t c0 = Le16(block), c1 = Le16(block + 2);
    const std::uint32_t indices = Le32(block + 4);
    const std::array<Rgba, 4> pal = ColourPalette(c0, c1, dxt1 && c0 <= c1);
    for (int k = 0; k < 16; ++k) {
        Rgba c = pal[(indices >> (2 * k)) & 3];
        c.a = alphaOf(k, c.a);
        StorePixel(dst, width, height, x0 + (k & 3), y0 + (k >> 2), c);
    }
}

// The 16 pixels of the block at (x0, y0) of an A8R8G8B8 image.
void GatherBlock(const std::uint8_t* src, std::int32_t width, std::int32_t x0, std::int32_t y0,
                 std::array<const std::uint8_t*, 16>& px) {
    for (int k = 0; k < 16; ++k)
        px[std::size_t(k)] = src + (std::size_t(y0 + (k >> 2)) * std::size_t(width) + std::size_t(x0 + (k & 3))) * 4;
}

int Dist2(const std::uint8_t* p, const Rgba& c) {
    const int db = p[0] - c.b, dg = p[1] - c.g, dr = p[2] - c.r;
    return dr * dr + dg * dg + db * db;
}

// Encodes the colour part of a block into 8 bytes at out.
void EncodeColourBlock(const std::array<const std::uint8_t*, 16>& px, bool dxt1, std::uint8_t* out) {
    // Endpoints: the first pair of largest RGB distance (a uniform block takes pixels 0 and 1).
    int best = -1, bi = 0, bj = 0;
    for (int i = 0; i < 16; ++i)
        for (int j = i + 1; j < 16; ++j) {
            const std::uint8_t* a = px[std::size_t(i)];
            const std::uint8_t* b = px[std::size_t(j)];
            const int dr = a[2] - b[2], dg = a[1] - b[1], db = a[0] - b[0];
            const int d = dr * dr + dg * dg + db * db;
            if (d > best) {
                best = d;
                bi = i;
                bj = j;
            }
        }
    std::uint16_t c0 = To565(px[std::size_t(bi)]), c1 = To565(px[std::size_t(bj)]);
    bool threeColour = false;
    if (dxt1)
        for (const std::uint8_t* p : px)
            if (p[3] < 128) threeColour = true;
    if (threeColour ? c0 > c1 : c0 < c1) std::swap(c0, c1);
    const std::array<Rgba, 4> pal = ColourPalette(c0, c1, threeColour);
    const int colours = threeColour ? 3 : 4;
    std::uint32_t indices = 0;
    for (int k = 0; k < 16; ++k) {
        const std::uint8_t* p = px[std::size_t(k)];
        std::uint32_t index = 0;
        if (threeColour && p[3] < 128) {
            index = 3;
        } else {
            int least = Dist2(p, pal[0]);
            for (int c = 1; c < colours; ++c) {
                const int d = Dist2(p, pal[std::size_t(c)]);
                if (d < least) {
                    least = d;
                    index = static_cast<std::uint32_t>(c);
                }
            }
        }
        indices |= index << (2 * k);
    }
    Put16(out, c0);
    Put16(out + 2, c1);
    Put32(out + 4, indices);
}

std::array<int, 8> AlphaPalette(int a0, int a1, bool eight) {
    if (eight)
        return {a0, a1, (6 * a0 + a1 + 3) / 7, (5 * a0 + 2 * a1 + 3) / 7, (4 * a0 + 3 * a1 + 3) / 7,
                (3 * a0 + 4 * a1 + 3) / 7, (2 * a0 + 5 * a1 + 3) / 7, (a0 + 6 * a1 + 3) / 7};
    return {a0, a1, (4 * a0 + a1 + 2) / 5, (3 * a0 + 2 * a1 + 2) / 5, (2 * a0 + 3 * a1 + 2) / 5, (a0 + 4 * a1 + 2) / 5,
            0, 255};
}

// The 48 index bits of a DXT5 alpha block as one number (pixel k in bits 3k..3k+2).
std::uint64_t AlphaBits(const std::uint8_t* block) {
    std::uint64_t v = 0;
    for (int i = 5; i >= 0; --i) v = v << 8 | block[2 + i];
    return v;
}

}  // namespace

void DecodeDXT1(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height) {
    ForEachBlock(width, height, 8, src, [&](const std::uint8_t* b, std::int32_t x0, std::int32_t y0) {
        DecodeColourBlock(b, true, dst, width, height, x0, y0, [](int, int a) { return a; });
    });
}

void DecodeDXT3(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height) {
    ForEachBlock(width, height, 16, src, [&](const std::uint8_t* b, std::int32_t x0, std::int32_t y0) {
        DecodeColourBlock(b + 8, false, dst, width, height, x0, y0, [b](int k, int) {
            const int a = (Le16(b + 2 * (k >> 2)) >> (4 * (k & 3))) & 15;
            return a * 17;
        });
    });
}

void DecodeDXT5(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height) {
    ForEachBlock(width, height, 16, src, [&](const std::uint8_t* b, std::int32_t x0, std::int32_t y0) {
        const std::array<int, 8> alphas = AlphaPalette(b[0], b[1], b[0] > b[1]);
        const std::uint64_t bits = AlphaBits(b);
        DecodeColourBlock(b + 8, false, dst, width, height, x0, y0,
                          [&](int k, int) { return alphas[(bits >> (3 * k)) & 7]; });
    });
}

void DecodeBTC(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height) {
    ForEachBlock(width, height, 4, src, [&](const std::uint8_t* b, std::int32_t x0, std::int32_t y0) {
        const std::uint16_t mask = Le16(b + 2);
        for (int k = 0; k < 16; ++k) {
            const std::int32_t x = x0 + (k & 3), y = y0 + (k >> 2);
            if (x < width && y < height)
                dst[std::size_t(y) * std::size_t(width) + std::size_t(x)] = (mask >> k) & 1 ? b[1] : b[0];
        }
    });
}

void EncodeDXT1(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height) {
    std::array<const std::uint8_t*, 16> px;
    for (std::int32_t y = 0; y + 4 <= height; y += 4)
        for (std::int32_t x = 0; x + 4 <= width; x += 4, dst += 8) {
            GatherBlock(src, width, x, y, px);
            EncodeColourBlock(px, true, dst);
        }
}

void EncodeDXT3(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height) {
    std::array<const std::uint8_t*, 16> px;
    for (std::int32_t y = 0; y + 4 <= height; y += 4)
        for (std::int32_t x = 0; x + 4 <= width; x += 4, dst += 16) {
            GatherBlock(src, width, x, y, px);
            for (int n = 0; n < 8; ++n)
                dst[n] = static_cast<std::uint8_t>((px[std::size_t(2 * n)][3] >> 4) |
                                                   (px[std::size_t(2 * n + 1)][3] >> 4) << 4);
            EncodeColourBlock(px, false, dst + 8);
        }
}

void EncodeDXT5(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height) {
    std::array<const std::uint8_t*, 16> px;
    for (std::int32_t y = 0; y + 4 <= height; y += 4)
        for (std::int32_t x = 0; x + 4 <= width; x += 4, dst += 16) {
            GatherBlock(src, width, x, y, px);
            int a0 = 0, a1 = 255;
            for (const std::uint8_t* p : px) {
                a0 = std::max<int>(a0, p[3]);
                a1 = std::min<int>(a1, p[3]);
            }
            const std::array<int, 8> alphas = AlphaPalette(a0, a1, true);
            std::uint64_t bits = 0;
            for (int k = 0; k < 16; ++k) {
                const int a = px[std::size_t(k)][3];
                int index = 0, least = std::abs(a - alphas[0]);
                for (int i = 1; i < 8; ++i)
                    if (std::abs(a - alphas[std::size_t(i)]) < least) {
                        least = std::abs(a - alphas[std::size_t(i)]);
                        index = i;
                    }
                bits |= std::uint64_t(index) << (3 * k);
            }
            dst[0] = static_cast<std::uint8_t>(a0);
            dst[1] = static_cast<std::uint8_t>(a1);
            for (int i = 0; i < 6; ++i) dst[2 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
            EncodeColourBlock(px, false, dst + 8);
        }
}

void EncodeBTC(const std::uint8_t* src, std::uint8_t* dst, std::int32_t width, std::int32_t height) {
    for (std::int32_t y = 0; y + 4 <= height; y += 4)
        for (std::int32_t x = 0; x + 4 <= width; x += 4, dst += 4) {
            int v[16], sum = 0;
            for (int k = 0; k < 16; ++k) {
                v[k] = src[std::size_t(y + (k >> 2)) * std::size_t(width) + std::size_t(x + (k & 3))];
                sum += v[k];
            }
            const int mean = sum / 16;
            int highSum = 0, highCount = 0, lowSum = 0, lowCount = 0;
            std::uint32_t mask = 0;
            for (int k = 0; k < 16; ++k) {
                if (v[k] > mean) {
                    mask |= 1u << k;
                    highSum += v[k];
                    ++highCount;
                } else {
                    lowSum += v[k];
                    ++lowCount;
                }
            }
            dst[0] = static_cast<std::uint8_t>(std::clamp(lowCount ? lowSum / lowCount : 0, 0, 255));
            dst[1] = static_cast<std::uint8_t>(std::clamp(highCount ? highSum / highCount : 0, 0, 255));
            Put16(dst + 2, mask);
        }
}

void DecodeBlocks(const TImageData& image, std::uint8_t* dst, const TImageFormatInfo& srcInfo) {
    switch (srcInfo.FormatId) {
    case ifDXT1: DecodeDXT1(image.Bits, dst, image.Width, image.Height); break;
    case ifDXT3: DecodeDXT3(image.Bits, dst, image.Width, image.Height); break;
    case ifDXT5: DecodeDXT5(image.Bits, dst, image.Width, image.Height); break;
    case ifBTC: DecodeBTC(image.Bits, dst, image.Width, image.Height); break;
    default: break;
    }
}

void EncodeBlocks(const TImageData& image, std::uint8_t* dst, const TImageFormatInfo& dstInfo) {
    switch (dstInfo.FormatId) {
    case ifDXT1: EncodeDXT1(image.Bits, dst, image.Width, image.Height); break;
    case ifDXT3: EncodeDXT3(image.Bits, dst, image.Width, image.Height); break;
    case ifDXT5: EncodeDXT5(image.Bits, dst, image.Width, image.Height); break;
    case ifBTC: EncodeBTC(image.Bits, dst, image.Width, image.Height); break;
    default: break;
    }
}

void ConvertImageSpecial(TImageData& image, const TImageFormatInfo& src, const TImageFormatInfo& dst) {
    if (src.IsBlockCompressed) {
        TImageData plain;
        NewImage(image.Width, image.Height, src.NearestPlainFormat, plain);
        DecodeBlocks(image, plain.Bits, src);
        FreeImage(image);
        image = plain;
        if (dst.IsBlockCompressed && dst.NearestPlainFormat != src.NearestPlainFormat)
            ConvertImage(image, dst.NearestPlainFormat);
    } else {
        ConvertImage(image, dst.NearestPlainFormat);
    }
    if (dst.IsBlockCompressed) {
        std::int32_t width = image.Width, height = image.Height;
        dst.CheckDimensions(dst.FormatId, width, height);
        // Stretched to whole blocks; the same size answers false and changes nothing.
        ResizeImage(image, width, height, rfNearest);
        TImageData blocks;
        NewImage(width, height, dst.FormatId, blocks);
        EncodeBlocks(image, blocks.Bits, dst);
        FreeImage(image);
        image = blocks;
    } else {
        ConvertImage(image, dst.FormatId);
    }
}

}  // namespace velto
