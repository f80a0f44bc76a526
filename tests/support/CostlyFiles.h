#pragma once
// Small files that declare a lot, made byte by byte for the tests of what a
// load costs: JPEG 2000 code streams of any tiling and coding style (with no
// coded data), PNG images of zeros, GIF animations of tiny frames on a large
// screen, and an arithmetic-coded JPEG whose frame header is enlarged.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <zlib.h>

namespace velto::test::costly {

using Bytes = std::vector<std::uint8_t>;

inline void Be16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}
inline void Be32(Bytes& out, std::uint32_t v) {
    Be16(out, v >> 16);
    Be16(out, v & 0xFFFF);
}
inline void Le16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// ---------------------------------------------------------------------------
// JPEG 2000

// A coding style: decomposition levels, code-block size exponents less 2,
// and precinct exponents (x | y << 4) per resolution when any are given; a
// COD's layers and order too (0 LRCP ... 4 CPRL).
struct J2kStyle {
    int levels = 5;
    int xcb = 4, ycb = 4;
    std::vector<std::uint8_t> precincts;
    int layers = 1, order = 0;
};

// A marker segment: the marker, its length, its body.
inline void J2kSegment(Bytes& out, std::uint16_t marker, const Bytes& body) {
    Be16(out, marker);
    Be16(out, static_cast<std::uint32_t>(body.size() + 2));
    out.insert(out.end(), body.begin(), body.end());
}

inline Bytes J2kStyleBody(const J2kStyle& s) {
    Bytes b = {static_cast<std::uint8_t>(s.levels), static_cast<std::uint8_t>(s.xcb),
               static_cast<std::uint8_t>(s.ycb), 0, 1};
    b.insert(b.end(), s.precincts.begin(), s.precincts.end());
    return b;
}
inline Bytes J2kCod(const J2kStyle& s) {
    Bytes b = {static_cast<std::uint8_t>(s.precincts.empty() ? 0 : 1), static_cast<std::uint8_t>(s.order),
               static_cast<std::uint8_t>(s.layers >> 8), static_cast<std::uint8_t>(s.layers), 0};
    const Bytes style = J2kStyleBody(s);
    b.insert(b.end(), style.begin(), style.end());
    Bytes out;
    J2kSegment(out, 0xFF52, b);
    return out;
}
inline Bytes J2kCoc(int component, const J2kStyle& s) {
    Bytes b = {static_cast<std::uint8_t>(component), static_cast<std::uint8_t>(s.precincts.empty() ? 0 : 1)};
    const Bytes style = J2kStyleBody(s);
    b.insert(b.end(), style.begin(), style.end());
    Bytes out;
    J2kSegment(out, 0xFF53, b);
    return out;
}

// A POC segment of `count` runs over layers below `layers`, resolutions below r1 and every one of `components`
// (two-byte indexes beyond 256), each in `order`, or in the five orders by turns when it is negative.
inline Bytes J2kPoc(int count, std::uint16_t layers, std::uint8_t r1, std::uint16_t components, int order) {
    Bytes entries, out;
    for (int i = 0; i < count; ++i) {
        entries.insert(entries.end(), components > 256 ? 3 : 2, 0);
        Be16(entries, layers);
        entries.push_back(r1);
        if (components > 256) entries.push_back(static_cast<std::uint8_t>(components >> 8));
        entries.push_back(static_cast<std::uint8_t>(components));
        entries.push_back(static_cast<std::uint8_t>(order < 0 ? i % 5 : order));
    }
    J2kSegment(out, 0xFF5F, entries);
    return out;
}

struct J2kStream {
    std::uint32_t width = 64, height = 64;
    std::uint32_t tileWidth = 0, tileHeight = 0;  // 0: one tile over the image
    std::uint32_t x0 = 0, y0 = 0;                 // image area offset
    int components = 1;
    J2kStyle style;
    Bytes mainExtra;                    // more main-header segments (COC)
    std::vector<Bytes> tileHeaders;     // one empty tile part per entry, for tiles 0, 1, ... with these segments
    bool emptyPackets = false;          // each tile part holds empty packets, so it decodes to a flat picture
    std::size_t padding = 0;            // zeros after them in each tile part
};

// A bare code stream: SIZ, COD, QCD (no quantisation), the extra segments,
// the tile parts (headers only, no packet data unless asked), EOC.
inline Bytes J2kCodeStream(const J2kStream& s) {
    Bytes out = {0xFF, 0x4F};
    Bytes siz;
    Be16(siz, 0);
    for (const std::uint32_t v : {s.width + s.x0, s.height + s.y0, s.x0, s.y0, s.tileWidth ? s.tileWidth : s.width + s.x0,
                                  s.tileHeight ? s.tileHeight : s.height + s.y0, 0u, 0u})
        Be32(siz, v);
    Be16(siz, static_cast<std::uint32_t>(s.components));
    for (int c = 0; c < s.components; ++c) siz.insert(siz.end(), {7, 1, 1});
    J2kSegment(out, 0xFF51, siz);
    const Bytes cod = J2kCod(s.style);
    out.insert(out.end(), cod.begin(), cod.end());
    J2kSegment(out, 0xFF5C, Bytes(2 + 3 * static_cast<std::size_t>(s.style.levels), 0x40));
    out.insert(out.end(), s.mainExtra.begin(), s.mainExtra.end());
    const std::size_t packets = s.padding + (s.emptyPackets ? std::size_t((s.style.levels + 1) * s.components) : 0);
    for (std::size_t t = 0; t < s.tileHeaders.size(); ++t) {
        const Bytes& header = s.tileHeaders[t];
        Bytes sot;
        Be16(sot, static_cast<std::uint32_t>(t));
        Be32(sot, static_cast<std::uint32_t>(12 + header.size() + 2 + packets));
        sot.insert(sot.end(), {0, 1});
        J2kSegment(out, 0xFF90, sot);
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), {0xFF, 0x93});
        out.insert(out.end(), packets, 0);
    }
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

// Code streams, bare and in a JP2 file, that no header walk may follow for ever: a tile part ending on its own SOD
// or COD or inside its SOT segment, an SOT segment short of its fields; 2^32 or (2^32 - 1)^2 tiles of no component.
inline std::vector<Bytes> J2kNeverEnding() {
    J2kStream one, none;
    one.tileHeaders = {J2kCod(one.style)};
    none.tileWidth = none.tileHeight = 1;
    none.components = 0;
    std::vector<Bytes> out;
    const std::uint8_t lengths[][2] = {{10, 26}, {10, 12}, {10, 5}, {4, 28}};  // of the SOT segment, of the tile part
    for (const auto& [lsot, psot] : lengths) {
        Bytes& s = out.emplace_back(J2kCodeStream(one));
        s[s.size() - 27] = lsot, s[s.size() - 21] = psot;  // low bytes, in the SOT segment before COD, SOD and EOC
    }
    for (const std::uint32_t side : {65536u, 0xFFFFFFFFu}) {
        none.width = none.height = side;
        out.push_back(J2kCodeStream(none));
    }
    for (std::size_t i = 0, bare = out.size(); i < bare; ++i) {
        out.push_back({0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A, 0, 0, 0, 0, 'j', 'p', '2', 'c'});
        out.back().insert(out.back().end(), out[i].begin(), out[i].end());
    }
    return out;
}

// ---------------------------------------------------------------------------
// PNG

inline void PngChunk(Bytes& out, const char* type, const Bytes& data) {
    Be32(out, static_cast<std::uint32_t>(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    Be32(out, static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

// A PNG of `width` x `height` pixels of zeros at that depth and colour type
// (channels per pixel given), deflated row by row.
inline Bytes PngOfZeros(std::uint32_t width, std::uint32_t height, int depth, int colorType, int channels) {
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    Be32(ihdr, width);
    Be32(ihdr, height);
    ihdr.insert(ihdr.end(), {static_cast<std::uint8_t>(depth), static_cast<std::uint8_t>(colorType), 0, 0, 0});
    PngChunk(out, "IHDR", ihdr);
    const Bytes row(1 + (std::size_t(width) * std::size_t(channels) * std::size_t(depth) + 7) / 8, 0);
    z_stream z{};
    deflateInit(&z, 9);
    Bytes idat(1 << 16);
    Bytes all;
    for (std::uint32_t y = 0; y <= height; ++y) {
        z.next_in = const_cast<Bytef*>(row.data());
        z.avail_in = y < height ? static_cast<uInt>(row.size()) : 0;
        do {
            z.next_out = idat.data();
            z.avail_out = static_cast<uInt>(idat.size());
            deflate(&z, y < height ? Z_NO_FLUSH : Z_FINISH);
            all.insert(all.end(), idat.data(), idat.data() + (idat.size() - z.avail_out));
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    PngChunk(out, "IDAT", all);
    PngChunk(out, "IEND", {});
    return out;
}

// ---------------------------------------------------------------------------
// GIF

struct GifFrameSpec {
    int left = 0, top = 0, width = 1, height = 1;
    int disposal = 1;
    int transparent = -1;
    std::uint8_t index = 1;  // every pixel's colour index
};

// A GIF89a of a `width` x `height` screen with a black and white global map
// and the frames given, each one colour index, coded without compression
// (a clear code before every index, so codes stay 3 bits wide).
inline Bytes GifAnimation(int width, int height, const std::vector<GifFrameSpec>& frames) {
    Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
    Le16(out, static_cast<std::uint32_t>(width));
    Le16(out, static_cast<std::uint32_t>(height));
    out.insert(out.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});
    for (const GifFrameSpec& f : frames) {
        out.insert(out.end(), {0x21, 0xF9, 4});
        out.push_back(static_cast<std::uint8_t>((f.disposal & 7) << 2 | (f.transparent >= 0 ? 1 : 0)));
        Le16(out, 10);
        out.push_back(static_cast<std::uint8_t>(f.transparent >= 0 ? f.transparent : 0));
        out.push_back(0);
        out.push_back(0x2C);
        for (const int v : {f.left, f.top, f.width, f.height}) Le16(out, static_cast<std::uint32_t>(v));
        out.push_back(0);
        out.push_back(2);  // minimum code size
        // Codes: (clear, index) per pixel, then end; 3 bits each, low bits first.
        Bytes codes;
        std::uint32_t acc = 0;
        int bits = 0;
        const auto put = [&](std::uint32_t code) {
            acc |= code << bits;
            bits += 3;
            while (bits >= 8) {
                codes.push_back(static_cast<std::uint8_t>(acc));
                acc >>= 8;
                bits -= 8;
            }
        };
        for (long i = 0; i < long(f.width) * f.height; ++i) {
            put(4);
            put(f.index);
        }
        put(5);
        if (bits > 0) codes.push_back(static_cast<std::uint8_t>(acc));
        for (std::size_t at = 0; at < codes.size(); at += 255) {
            const std::size_t n = std::min<std::size_t>(255, codes.size() - at);
            out.push_back(static_cast<std::uint8_t>(n));
            out.insert(out.end(), codes.begin() + static_cast<long>(at), codes.begin() + static_cast<long>(at + n));
        }
        out.push_back(0);
    }
    out.push_back(0x3B);
    return out;
}

// ---------------------------------------------------------------------------
// JPEG

// An 8 x 8 picture of mid-grey (one component) or mid-grey colour (three),
// arithmetic-coded by libjpeg (progressive on request), with the frame
// header then saying width x height: arithmetic coding has no least cost per
// block, so the few bytes decode to a picture of any size.
inline Bytes ArithmeticJpeg(int components, bool progressive, std::uint16_t width, std::uint16_t height) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = 8;
    cinfo.image_height = 8;
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    cinfo.arith_code = TRUE;
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(8 * static_cast<std::size_t>(components), 128);
    while (cinfo.next_scanline < 8) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    // The frame header (SOF9, or SOF10 when progressive): length, precision,
    // then height and width.
    for (std::size_t at = 2; at + 9 <= out.size();) {
        const std::uint8_t marker = out[at + 1];
        if (marker == 0xC9 || marker == 0xCA) {
            out[at + 5] = static_cast<std::uint8_t>(height >> 8);
            out[at + 6] = static_cast<std::uint8_t>(height);
            out[at + 7] = static_cast<std::uint8_t>(width >> 8);
            out[at + 8] = static_cast<std::uint8_t>(width);
            break;
        }
        at += 2 + (std::size_t(out[at + 2]) << 8 | out[at + 3]);
    }
    return out;
}

}  // namespace velto::test::costly
