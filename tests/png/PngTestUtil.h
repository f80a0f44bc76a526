#pragma once
// Shared by the PNG unit and peer tests: crafting PNG bytes chunk by chunk, and
// a decoded image as straight RGBA.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "png/PngImage.h"

namespace pngtest {

// A bitmap of one colour.
inline velto::TBitmap Filled(int w, int h, velto::TPixelFormat pf, velto::TColor c) {
    velto::TBitmap b;
    b.Allocate(w, h, pf);
    b.Canvas().Brush.Color = c;
    b.Canvas().FillRect({0, 0, w, h});
    return b;
}

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

// Straight RGBA of an image as the codec shows it (GetRGBA), top row first.
inline Rgba ToRgba(const velto::TPNGObject& png) {
    Rgba r{png.Width(), png.Height(), Bytes(static_cast<std::size_t>(png.Width()) * png.Height() * 4)};
    for (int y = 0; y < r.height; ++y) png.GetRGBA(y, &r.px[static_cast<std::size_t>(y) * r.width * 4]);
    return r;
}

// Every colour type and bit depth pair.
inline constexpr std::pair<int, int> kLayouts[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                                                   {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
// Each filter alone, and all of them.
inline constexpr velto::TFilters kFilterSets[] = {1 << velto::pfNone, 1 << velto::pfSub, 1 << velto::pfUp,
                                                  1 << velto::pfAverage, 1 << velto::pfPaeth, 0x1F};

// A 37x19 image of the layout whose pixels make every predictor matter: a
// palette of distinct entries, colours and alpha varying by position, and the
// low bytes of 16-bit samples set.
inline void PaintLayout(velto::TPNGObject& png, int type, int depth, std::uint8_t interlace, velto::TFilters filters) {
    using namespace velto;
    png.CreateBlank(static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(depth), 37, 19);
    png.InterlaceMethod = interlace;
    png.Filters = filters;
    if (type == COLOR_PALETTE) {
        TPaletteEntries pal(std::size_t{1} << depth);
        for (std::size_t i = 0; i < pal.size(); ++i)
            pal[i] = {static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i * 5), 0};
        png.SetPalette(pal);
    }
    for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 37; ++x) {
            png.SetPixels(x, y, MakeColor(static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 13),
                                          static_cast<std::uint8_t>(x * y)));
            if (auto* a = png.AlphaScanline(y)) a[x] = static_cast<std::uint8_t>(x * 11 + y);
        }
    for (auto& e : png.GetHeader().ExtraImageData) e = 0x5A;
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
