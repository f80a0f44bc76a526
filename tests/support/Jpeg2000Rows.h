#pragma once
// JPEG 2000 files crafted around how the codec reads headers: markers it takes
// without a length (0xFF30 to 0xFF3F) or does not know, placed before a coding
// style in the main header or a tile-part header; JP2 files around a code
// stream, with a palette when asked. Built on the code streams of CostlyFiles.h.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "CostlyFiles.h"

namespace velto::test::costly {

// A marker the codec takes without a length, and a segment of a marker it
// does not know (with a length, its body of zeros).
inline Bytes J2kBareMarker(std::uint16_t marker) {
    Bytes out;
    Be16(out, marker);
    return out;
}
inline Bytes J2kUnknownSegment(const Bytes& body = Bytes(4, 0)) {
    Bytes out;
    J2kSegment(out, 0xFF6F, body);
    return out;
}

// The code stream of s with `before` ahead of its main header's COD (which
// follows the size marker).
inline Bytes J2kBeforeMainCod(const J2kStream& s, const Bytes& before) {
    Bytes out = J2kCodeStream(s);
    const std::size_t cod = 4 + (std::size_t(out[4]) << 8 | out[5]);
    out.insert(out.begin() + static_cast<std::ptrdiff_t>(cod), before.begin(), before.end());
    return out;
}

// A JP2 file of the code stream of a width x height picture: the signature,
// the file type, the header (image header, colour, and a palette of that many
// columns over component 0 when asked), then the code stream box.
inline Bytes Jp2Of(const Bytes& codeStream, std::uint32_t width, std::uint32_t height, int components,
                   int paletteColumns = 0) {
    const auto box = [](Bytes& out, const char* type, const Bytes& content) {
        Be32(out, static_cast<std::uint32_t>(content.size() + 8));
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), content.begin(), content.end());
    };
    Bytes ihdr, colr = {1, 0, 0}, header, out;
    Be32(ihdr, height);
    Be32(ihdr, width);
    Be16(ihdr, static_cast<std::uint32_t>(components));
    ihdr.insert(ihdr.end(), {7, 7, 0, 0});
    Be32(colr, components < 3 ? 17 : 16);
    box(header, "ihdr", ihdr);
    box(header, "colr", colr);
    if (paletteColumns > 0) {
        Bytes pclr, cmap;
        Be16(pclr, 2);  // two entries
        pclr.push_back(static_cast<std::uint8_t>(paletteColumns));
        pclr.insert(pclr.end(), static_cast<std::size_t>(paletteColumns), 7);
        pclr.insert(pclr.end(), 2 * static_cast<std::size_t>(paletteColumns), 0);
        for (int i = 0; i < paletteColumns; ++i) cmap.insert(cmap.end(), {0, 0, 0, 0});  // component 0, direct
        box(header, "pclr", pclr);
        box(header, "cmap", cmap);
    }
    out = {0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    box(out, "ftyp", {'j', 'p', '2', ' ', 0, 0, 0, 0, 'j', 'p', '2', ' '});
    box(out, "jp2h", header);
    box(out, "jp2c", codeStream);
    return out;
}

}  // namespace velto::test::costly

namespace velto::test::costly {

// A crafted file: a code stream (bare or in a JP2 file) and either a plain
// code stream of the same code blocks (what the codec makes of it) or none,
// when the codec cannot read its headers (they are damaged).
struct J2kRow {
    std::string name;
    Bytes file;
    bool jp2 = false;
    Bytes plain;  // empty: damaged
};

// The rows over a side x side picture of that many components, where
// `hidden` is the style that only a walk reading markers as the codec does
// finds (over 64 x 64 blocks in sight): after each marker without a length
// and after an unknown segment, before the main header's COD and inside a
// tile-part header; inside an unknown segment; after a COC; in one of two
// tiles; bare and in a JP2 file. Then a palette of 255 columns over a
// quarter of the side, and a size marker of no component.
inline std::vector<J2kRow> J2kCraftedRows(std::uint32_t side, int components, const J2kStyle& hidden) {
    J2kStyle usual;
    usual.xcb = usual.ycb = 4;
    J2kStream s;
    s.width = s.height = side;
    s.components = components;
    s.tileHeaders = {{}};
    s.emptyPackets = true;
    J2kStream plain = s;
    plain.style = hidden;
    const Bytes plainFile = J2kCodeStream(plain);
    std::vector<J2kRow> rows;
    const auto add = [&](std::string name, Bytes file, bool damaged) {
        rows.push_back({std::move(name), std::move(file), false, damaged ? Bytes{} : plainFile});
    };
    for (std::uint16_t m = 0xFF30; m <= 0xFF3F; ++m) {
        char name[64];
        std::snprintf(name, sizeof name, "0x%04X before the main COD", m);
        add(name, J2kBeforeMainCod(plain, J2kBareMarker(m)), false);
        std::snprintf(name, sizeof name, "0x%04X before a tile-part COD", m);
        J2kStream t = s;
        t.tileHeaders = {J2kBareMarker(m)};
        const Bytes cod = J2kCod(hidden);
        t.tileHeaders[0].insert(t.tileHeaders[0].end(), cod.begin(), cod.end());
        add(name, J2kCodeStream(t), true);
    }
    add("an unknown segment before the main COD", J2kBeforeMainCod(plain, J2kUnknownSegment()), false);
    {
        J2kStream t = s;
        t.tileHeaders = {J2kUnknownSegment()};
        const Bytes cod = J2kCod(hidden);
        t.tileHeaders[0].insert(t.tileHeaders[0].end(), cod.begin(), cod.end());
        add("an unknown segment before a tile-part COD", J2kCodeStream(t), true);
        // The codec looks into an unknown segment two bytes at a time, and
        // takes the COD it finds there.
        t = s;
        t.style = usual;
        Bytes body = {0, 0};
        body.insert(body.end(), cod.begin(), cod.end());
        t.mainExtra = J2kUnknownSegment(body);
        add("a COD inside an unknown segment", J2kCodeStream(t), false);
        // A COD gives every component its style, a COC given before it included.
        J2kStream coc = plain;
        coc.mainExtra = {};
        add("a COC before the COD", J2kBeforeMainCod(coc, J2kCoc(0, usual)), false);
    }
    {
        // Two tiles of their own styles under the main header's usual one.
        J2kStream two = s;
        two.style = usual;
        two.height = side / 2;
        two.tileWidth = two.tileHeight = side / 2;
        two.tileHeaders = {J2kCod(hidden), J2kCod(usual)};
        J2kStream same = two;
        same.style = hidden;
        same.tileHeaders = {{}, J2kCod(usual)};
        rows.push_back({"two tiles, the first of its own style", J2kCodeStream(two), false, J2kCodeStream(same)});
        std::swap(two.tileHeaders[0], two.tileHeaders[1]);
        same.tileHeaders = {J2kCod(usual), {}};
        rows.push_back({"two tiles, the second of its own style", J2kCodeStream(two), false, J2kCodeStream(same)});
    }
    rows.push_back({"0xFF30 before the main COD, in a JP2 file",
                    Jp2Of(J2kBeforeMainCod(plain, J2kBareMarker(0xFF30)), side, side, components), true, plainFile});
    {
        // 255 columns over a quarter of the side, of one component.
        J2kStream small = s;
        small.width = small.height = side / 4;
        small.components = 1;
        const Bytes file = Jp2Of(J2kCodeStream(small), side / 4, side / 4, 1, 255);
        rows.push_back({"a palette of 255 columns", file, true, file});
    }
    J2kStream none = s;
    none.components = 0;
    add("a tile of no component", J2kCodeStream(none), true);
    return rows;
}

}  // namespace velto::test::costly
