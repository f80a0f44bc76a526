#pragma once
// Shared by the PNG unit and peer tests: crafting PNG bytes chunk by chunk, and
// reading a decoded image back as straight RGBA through the public interface only.
#include <zlib.h>

#include <algorithm>
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
inline Bytes Iend() { return Chunk("IEND", {}); }

// Signature followed by the given chunks.
inline Bytes File(std::initializer_list<Bytes> chunks) {
    Bytes b = Signature();
    for (const auto& c : chunks) b.insert(b.end(), c.begin(), c.end());
    return b;
}

// One image of filtered rows (filter byte first), with chunks between header and data.
inline Bytes OneImage(std::uint32_t w, std::uint32_t h, std::uint8_t depth, std::uint8_t type, const Bytes& filtered,
                      std::initializer_list<Bytes> before = {}, std::uint8_t interlace = 0) {
    Bytes f = File({Ihdr(w, h, depth, type, interlace)});
    for (const auto& c : before) f.insert(f.end(), c.begin(), c.end());
    for (const auto& c : {Chunk("IDAT", Zlib(filtered)), Iend()}) f.insert(f.end(), c.begin(), c.end());
    return f;
}

inline void Load(velto::TPNGObject& png, const Bytes& file) {
    velto::ByteReader r(file);
    png.LoadFromStream(r);
}

inline Bytes Save(velto::TPNGObject& png) {
    velto::ByteWriter w;
    png.SaveToStream(w);
    return w.take();
}

// The text of the E that f() throws, or what happened instead.
template <class E, class F>
std::string Thrown(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("wrong class: ") + e.what();
    }
    return "no exception";
}

inline bool Contains(const Bytes& hay, const Bytes& needle) {
    return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

// The file without the named chunks (e.g. gAMA, so that no gamma is applied);
// whatever follows a malformed chunk is kept as it is.
inline Bytes StripChunks(const Bytes& file, std::initializer_list<std::string_view> names) {
    if (file.size() < 8) return file;
    Bytes out(file.begin(), file.begin() + 8);
    std::size_t p = 8;
    while (p + 12 <= file.size()) {
        const std::uint32_t len = (std::uint32_t{file[p]} << 24) | (file[p + 1] << 16) | (file[p + 2] << 8) | file[p + 3];
        if (len > file.size() - p - 12) break;
        const std::string_view name(reinterpret_cast<const char*>(&file[p + 4]), 4);
        if (std::find(names.begin(), names.end(), name) == names.end())
            out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(p),
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
    const TChunkIHDR& h = png.GetHeader();
    Rgba r{h.Width, h.Height, Bytes(static_cast<std::size_t>(h.Width) * h.Height * 4)};
    const auto* trns = png.Chunks().FindChunk<TChunktRNS>();
    const Bytes key = trns && trns->AppliesToImage() ? trns->Data : Bytes{};
    const auto* plte = png.Chunks().FindChunk<TChunkPLTE>();
    const int bpp = h.BitsPerPixel(), depth = h.BitDepth;
    for (int y = 0; y < r.height; ++y) {
        const std::uint8_t *row = png.Scanline(y), *alpha = png.AlphaScanline(y), *extra = png.ExtraScanline(y);
        auto full = [&](int i) { return depth == 16 ? (row[i] << 8) | extra[i] : row[i]; };
        for (int x = 0; x < r.width; ++x) {
            const TColor c = png.GetPixels(x, y);
            std::uint8_t* p = &r.px[(static_cast<std::size_t>(y) * r.width + x) * 4];
            p[0] = ColorR(c);
            p[1] = ColorG(c);
            p[2] = ColorB(c);
            p[3] = alpha ? alpha[x] : 255;
            if (key.empty()) continue;
            if (h.ColorType == COLOR_RGB) {  // DIB is B, G, R
                bool same = true;
                for (int ch = 0; ch < 3; ++ch) same &= full(x * 3 + 2 - ch) == ((key[2 * ch] << 8) | key[2 * ch + 1]);
                if (same) p[3] = 0;
                continue;
            }
            const int v = bpp == 1 ? (row[x >> 3] >> (7 - (x & 7))) & 1
                          : bpp == 4 ? (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15
                                     : full(x);
            if (h.ColorType == COLOR_PALETTE) {
                if (plte && v < plte->Count && static_cast<std::size_t>(v) < key.size()) p[3] = trns->PaletteValues[static_cast<std::size_t>(v)];
            } else if (v / (depth == 2 ? 5 : 1) == (((key[0] << 8) | key[1]) & (depth == 16 ? 0xFFFF : (1 << depth) - 1))) {
                p[3] = 0;  // other readers ignore key bits beyond the depth
            }
        }
    }
    return r;
}

// Empty when equal, else the size or the first differing pixel and channel.
inline std::string DescribeMismatch(const Rgba& a, const Rgba& b) {
    auto n = [](int v) { return std::to_string(v); };
    if (a.width != b.width || a.height != b.height)
        return "size " + n(a.width) + "x" + n(a.height) + " vs " + n(b.width) + "x" + n(b.height);
    for (std::size_t i = 0; i < a.px.size(); ++i)
        if (a.px[i] != b.px[i]) {
            const int pix = static_cast<int>(i / 4);
            return "pixel (" + n(pix % a.width) + "," + n(pix / a.width) + ") channel " + n(static_cast<int>(i % 4)) +
                   ": " + n(a.px[i]) + " vs " + n(b.px[i]);
        }
    return {};
}

}  // namespace pngtest
