#pragma once
// Shared by the PNG unit and peer tests: crafting PNG bytes chunk by chunk, and
// reading a decoded image back as straight RGBA through the public interface only.
#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "png/PngImage.h"

namespace pngtest {

using Bytes = std::vector<std::uint8_t>;

inline void Put32(Bytes& b, std::uint32_t v) {
    for (int i = 3; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline Bytes Chunk(std::string_view name, const Bytes& data) {
    Bytes b;
    Put32(b, static_cast<std::uint32_t>(data.size()));
    b.insert(b.end(), name.begin(), name.end());
    b.insert(b.end(), data.begin(), data.end());
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(name.data()), 4);
    if (!data.empty()) crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
    Put32(b, static_cast<std::uint32_t>(crc));
    return b;
}

inline Bytes Ihdr(std::uint32_t w, std::uint32_t h, std::uint8_t depth, std::uint8_t type, std::uint8_t interlace = 0) {
    Bytes d;
    Put32(d, w);
    Put32(d, h);
    d.insert(d.end(), {depth, type, 0, 0, interlace});
    return Chunk("IHDR", d);
}

inline Bytes Zlib(const Bytes& raw, int level = 6) {
    uLongf n = compressBound(static_cast<uLong>(raw.size()));
    Bytes out(n);
    compress2(out.data(), &n, raw.data(), static_cast<uLong>(raw.size()), level);
    out.resize(n);
    return out;
}

inline Bytes Signature() { return {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}; }

// Signature followed by the given chunks.
inline Bytes File(std::initializer_list<Bytes> chunks) {
    Bytes b = Signature();
    for (const auto& c : chunks) b.insert(b.end(), c.begin(), c.end());
    return b;
}

inline Bytes Iend() { return Chunk("IEND", {}); }

// The file without the named chunks (e.g. gAMA, so that no gamma is applied).
inline Bytes StripChunks(const Bytes& file, std::initializer_list<std::string_view> names) {
    if (file.size() < 8) return file;
    Bytes out(file.begin(), file.begin() + 8);
    std::size_t p = 8;
    while (p + 12 <= file.size()) {
        const std::uint32_t len = (std::uint32_t{file[p]} << 24) | (file[p + 1] << 16) | (file[p + 2] << 8) | file[p + 3];
        if (len > file.size() - p - 12) break;
        const std::string_view name(reinterpret_cast<const char*>(&file[p + 4]), 4);
        bool drop = false;
        for (auto n : names) drop |= n == name;
        if (!drop) out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(p),
                              file.begin() + static_cast<std::ptrdiff_t>(p + 12 + len));
        p += 12 + len;
    }
    out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(p), file.end());
    return out;
}

struct Rgba {
    int width = 0, height = 0;
    Bytes px;  // R, G, B, A per pixel, top row first
};

// Straight RGBA of a loaded image: colours from GetPixels, alpha from the alpha
// plane, the palette's tRNS values or the transparent colour compared at full
// sample precision (the extra plane holds the low bytes of 16-bit samples).
inline Rgba ToRgba(velto::TPNGObject& png) {
    using namespace velto;
    Rgba r;
    const TChunkIHDR& h = png.GetHeader();
    r.width = h.Width;
    r.height = h.Height;
    r.px.resize(static_cast<std::size_t>(r.width) * r.height * 4);
    const auto* trns = png.Chunks().FindChunk<TChunktRNS>();
    const bool keyed = trns && trns->AppliesToImage();
    const auto* plte = png.Chunks().FindChunk<TChunkPLTE>();
    const int bpp = h.BitsPerPixel();
    auto sampleAt = [&](const std::uint8_t* row, int x) {
        if (bpp == 1) return (row[x >> 3] >> (7 - (x & 7))) & 1;
        if (bpp == 4) return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
        return static_cast<int>(row[x]);
    };
    for (int y = 0; y < r.height; ++y) {
        const std::uint8_t* row = png.Scanline(y);
        const std::uint8_t* alpha = png.AlphaScanline(y);
        const std::uint8_t* extra = png.ExtraScanline(y);
        for (int x = 0; x < r.width; ++x) {
            const TColor c = png.GetPixels(x, y);
            std::uint8_t* p = &r.px[(static_cast<std::size_t>(y) * r.width + x) * 4];
            p[0] = ColorR(c);
            p[1] = ColorG(c);
            p[2] = ColorB(c);
            p[3] = 255;
            if (alpha) p[3] = alpha[x];
            if (!keyed) continue;
            const auto& d = trns->Data;
            if (h.ColorType == COLOR_PALETTE) {
                const int v = sampleAt(row, x);
                if (plte && v < plte->Count && static_cast<std::size_t>(v) < d.size()) p[3] = trns->PaletteValues[static_cast<std::size_t>(v)];
            } else if (h.ColorType == COLOR_GRAYSCALE) {
                int v = sampleAt(row, x);
                if (h.BitDepth == 2) v /= 5;
                int key = (d[0] << 8) | d[1];
                if (h.BitDepth == 16)
                    v = (v << 8) | extra[x];
                else
                    key &= (1 << h.BitDepth) - 1;  // other readers ignore bits beyond the depth
                if (v == key) p[3] = 0;
            } else {
                bool same = true;
                for (int ch = 0; ch < 3; ++ch) {
                    int v = row[x * 3 + 2 - ch];  // DIB is B, G, R
                    if (h.BitDepth == 16) v = (v << 8) | extra[x * 3 + 2 - ch];
                    same &= v == ((d[2 * ch] << 8) | d[2 * ch + 1]);
                }
                if (same) p[3] = 0;
            }
        }
    }
    return r;
}

inline std::string DescribeMismatch(const Rgba& a, const Rgba& b) {
    if (a.width != b.width || a.height != b.height)
        return "size " + std::to_string(a.width) + "x" + std::to_string(a.height) + " vs " + std::to_string(b.width) +
               "x" + std::to_string(b.height);
    for (std::size_t i = 0; i < a.px.size(); ++i)
        if (a.px[i] != b.px[i]) {
            const std::size_t pix = i / 4;
            return "pixel (" + std::to_string(pix % a.width) + "," + std::to_string(pix / a.width) + ") channel " +
                   std::to_string(i % 4) + ": " + std::to_string(a.px[i]) + " vs " + std::to_string(b.px[i]);
        }
    return {};
}

}  // namespace pngtest
