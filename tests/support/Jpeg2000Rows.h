#pragma once
// JPEG 2000 files crafted around how the codec reads headers (markers it takes
// without a length or does not know, coding styles in their order and in
// tiles, a JP2 palette), on the code streams of CostlyFiles.h.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "CostlyFiles.h"

namespace velto::test::costly {

inline Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A segment of a marker the codec does not know, its body zeros by default.
inline Bytes J2kUnknownSegment(const Bytes& body = Bytes(4, 0)) {
    Bytes out;
    J2kSegment(out, 0xFF6F, body);
    return out;
}

// The code stream of s with `before` ahead of the main header's COD (which
// follows the size marker).
inline Bytes J2kBeforeMainCod(const J2kStream& s, const Bytes& before) {
    Bytes out = J2kCodeStream(s);
    out.insert(out.begin() + 4 + (out[4] << 8 | out[5]), before.begin(), before.end());
    return out;
}

// A JP2 file of a width x height code stream: signature, file type, header
// (image header, colour, and a palette of that many columns over component 0
// when asked), code stream.
inline Bytes Jp2Of(const Bytes& codeStream, std::uint32_t width, std::uint32_t height, int components,
                   int paletteColumns = 0) {
    const auto box = [](Bytes& out, const char* type, const Bytes& content) {
        Be32(out, static_cast<std::uint32_t>(content.size() + 8));
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), content.begin(), content.end());
    };
    Bytes ihdr, colr = {1, 0, 0, 0, 0, 0, 17}, header, pclr = {0, 2, static_cast<std::uint8_t>(paletteColumns)};
    Be32(ihdr, height);
    Be32(ihdr, width);
    Be16(ihdr, static_cast<std::uint32_t>(components));
    ihdr.insert(ihdr.end(), {7, 7, 0, 0});
    box(header, "ihdr", ihdr);
    box(header, "colr", colr);
    if (paletteColumns > 0) {
        const auto n = static_cast<std::size_t>(paletteColumns);
        pclr.insert(pclr.end(), n, 7);       // depths
        pclr.insert(pclr.end(), 2 * n, 0);   // two entries
        box(header, "pclr", pclr);
        box(header, "cmap", Bytes(4 * n, 0));  // each column straight from component 0
    }
    Bytes out = {0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    box(out, "ftyp", {'j', 'p', '2', ' ', 0, 0, 0, 0, 'j', 'p', '2', ' '});
    box(out, "jp2h", header);
    box(out, "jp2c", codeStream);
    return out;
}

// A crafted file and a plain code stream of the code blocks the codec makes
// of it, or none when the codec cannot read its headers (they are damaged).
struct J2kRow {
    std::string name;
    Bytes file;
    bool jp2 = false;
    Bytes plain;
};

// Rows over a side x side picture where `hidden` is the style (over 64 x 64
// blocks in sight) only a walk reading markers as the codec does finds: after
// each marker without a length and an unknown segment, before the main
// header's COD or a tile-part one; inside an unknown segment; after a COC; in
// either of two tiles; in a JP2 file. Then 255 palette columns over a quarter
// of the side, and a size marker of no component.
inline std::vector<J2kRow> J2kCraftedRows(std::uint32_t side, int components, const J2kStyle& hidden) {
    J2kStream s, plain;
    s.width = s.height = side;
    s.components = components;
    s.tileHeaders = {{}};
    s.emptyPackets = true;
    (plain = s).style = hidden;
    const Bytes cod = J2kCod(hidden), usual = J2kCod(s.style), plainFile = J2kCodeStream(plain);
    std::vector<J2kRow> rows;
    const auto add = [&](std::string name, Bytes file, bool damaged) {
        rows.push_back({std::move(name), std::move(file), false, damaged ? Bytes{} : plainFile});
    };
    const auto inTilePart = [&](const Bytes& header) {
        J2kStream t = s;
        t.tileHeaders = {header};
        return J2kCodeStream(t);
    };
    for (std::uint16_t m = 0xFF30; m <= 0xFF3F; ++m) {
        const Bytes marker = {static_cast<std::uint8_t>(m >> 8), static_cast<std::uint8_t>(m)};
        char name[64];
        std::snprintf(name, sizeof name, "0x%04X before the main COD", m);
        add(name, J2kBeforeMainCod(plain, marker), false);
        std::snprintf(name, sizeof name, "0x%04X before a tile-part COD", m);
        add(name, inTilePart(Cat(marker, cod)), true);
    }
    add("an unknown segment before the main COD", J2kBeforeMainCod(plain, J2kUnknownSegment()), false);
    add("an unknown segment before a tile-part COD", inTilePart(Cat(J2kUnknownSegment(), cod)), true);
    // The codec looks into an unknown segment two bytes at a time.
    J2kStream t = s;
    t.mainExtra = J2kUnknownSegment(Cat({0, 0}, cod));
    add("a COD inside an unknown segment", J2kCodeStream(t), false);
    // A COD gives every component its style, a COC's before it included.
    add("a COC before the COD", J2kBeforeMainCod(plain, J2kCoc(0, s.style)), false);
    // Two tiles of their own styles under the main header's usual one.
    J2kStream two = s, same;
    two.height = two.tileWidth = two.tileHeight = side / 2;
    two.tileHeaders = {cod, usual};
    (same = two).style = hidden;
    same.tileHeaders = {{}, usual};
    rows.push_back({"two tiles, the first of its own style", J2kCodeStream(two), false, J2kCodeStream(same)});
    two.tileHeaders = {usual, cod};
    same.tileHeaders = {usual, {}};
    rows.push_back({"two tiles, the second of its own style", J2kCodeStream(two), false, J2kCodeStream(same)});
    rows.push_back({"0xFF30 before the main COD, in a JP2 file",
                    Jp2Of(J2kBeforeMainCod(plain, {0xFF, 0x30}), side, side, components), true, plainFile});
    J2kStream small = s;
    small.width = small.height = side / 4;
    small.components = 1;
    const Bytes palette = Jp2Of(J2kCodeStream(small), side / 4, side / 4, 1, 255);
    rows.push_back({"a palette of 255 columns", palette, true, palette});
    (t = s).components = 0;
    add("a tile of no component", J2kCodeStream(t), true);
    return rows;
}

}  // namespace velto::test::costly
