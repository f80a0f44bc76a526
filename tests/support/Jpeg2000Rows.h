#pragma once
// JPEG 2000 files crafted around how the codec reads headers, on the code
// streams of CostlyFiles.h.
#include <utility>

#include "CostlyFiles.h"

namespace velto::test::costly {

inline Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A JP2 file of a side x side code stream, with a palette when its boxes' contents are given.
inline Bytes Jp2Of(const Bytes& codeStream, std::uint32_t side, int components, const Bytes& pclr = {},
                   const Bytes& cmap = {}) {
    const auto box = [](const char* type, const Bytes& content) {
        Bytes out;
        Be32(out, static_cast<std::uint32_t>(content.size() + 8));
        return Cat(Cat(out, Bytes(type, type + 4)), content);
    };
    Bytes ihdr;
    Be32(ihdr, side), Be32(ihdr, side), Be16(ihdr, static_cast<std::uint32_t>(components));
    Bytes header = box("ihdr", Cat(ihdr, {7, 7, 0, 0}));
    if (!pclr.empty()) header = Cat(Cat(header, box("pclr", pclr)), box("cmap", cmap));
    const Bytes start = Cat(box("jP  ", {0x0D, 0x0A, 0x87, 0x0A}), box("ftyp", Bytes(8, 0x20)));
    return Cat(Cat(start, box("jp2h", header)), box("jp2c", codeStream));
}

// A crafted file, and a plain code stream of its code blocks; none when damaged.
struct J2kRow {
    std::string name;
    Bytes file, plain;
};

// Rows over a side x side picture whose style `hidden` (over 64 x 64 blocks in
// sight) only a walk reading markers as the codec does finds; then headers the
// codec fails on, the most progression order changes it takes (and one more),
// 255 palette columns over a quarter side, no component.
inline std::vector<J2kRow> J2kCraftedRows(std::uint32_t side, int components, const J2kStyle& hidden) {
    J2kStream s, plain, two, same, small;
    s.width = s.height = side, s.components = components;
    s.tileHeaders = {{}}, s.emptyPackets = true;
    (plain = s).style = hidden;
    const Bytes cod = J2kCod(hidden), usual = J2kCod(s.style), plainFile = J2kCodeStream(plain), sot = {0xFF, 0x90};
    const std::size_t codAt = 4 + (plainFile[4] << 8 | plainFile[5]);  // after the size marker
    const auto tiled = [](J2kStream t, std::vector<Bytes> headers) {
        t.tileHeaders = std::move(headers);
        return J2kCodeStream(t);
    };
    // plainFile with `with` in place of its first `drop` bytes from the COD on.
    const auto atCod = [&](const Bytes& with, std::size_t drop = 0) {
        Bytes f = plainFile;
        f.insert(f.erase(f.begin() + codAt, f.begin() + codAt + drop), with.begin(), with.end());
        return f;
    };
    std::vector<std::pair<std::string, Bytes>> before = {{"an unknown segment", {0xFF, 0x6F, 0, 4, 0, 0}}};
    for (std::uint8_t m = 0x30; m <= 0x3F; ++m)
        before.push_back({"0xFF3" + std::string(1, "0123456789ABCDEF"[m & 15]), {0xFF, m}});
    std::vector<J2kRow> rows;
    for (const auto& [what, bytes] : before) {
        rows.push_back({what + " before the main COD", atCod(bytes), plainFile});
        rows.push_back({what + " before a tile-part COD", tiled(s, {Cat(bytes, cod)}), {}});
    }
    // The codec looks into an unknown segment two bytes at a time.
    const Bytes inside = Cat({0xFF, 0x6F, 0, static_cast<std::uint8_t>(cod.size() + 4), 0, 0}, cod);
    rows.push_back({"a COD inside an unknown segment", atCod(Cat(usual, inside), cod.size()), plainFile});
    rows.push_back({"a COC before the COD", atCod(J2kCoc(0, s.style)), plainFile});
    rows.push_back({"0xFF30 before the COD, in a JP2 file", Jp2Of(atCod({0xFF, 0x30}), side, components), plainFile});
    // Two tiles of their own styles under the main header's usual one.
    two = s;
    two.height = two.tileWidth = two.tileHeight = side / 2;
    (same = two).style = hidden;
    rows.push_back({"tile 0 of its own style", tiled(two, {cod, usual}), tiled(same, {{}, usual})});
    rows.push_back({"tile 1 of its own style", tiled(two, {usual, cod}), tiled(same, {usual, {}})});
    // The second tile part made tile 0's second (after its only one) or third.
    for (const std::uint8_t part : {1, 2}) {
        Bytes f = tiled(two, {{}, part == 1 ? usual : Bytes{}});
        const auto at = std::find_end(f.begin(), f.end(), sot.begin(), sot.end());
        at[5] = 0, at[10] = part;  // Isot's low byte, TPsot
        rows.push_back({part == 1 ? "a COD after its tile's last part" : "a tile's parts out of order", f, {}});
    }
    // The codec takes 31 progression order changes for a tile at most, the main header's and its own together.
    const auto pocs = [&](int count) { return J2kPoc(count, 0xFFFF, 33, static_cast<std::uint16_t>(components), -1); };
    for (const auto& [inMain, inTile] : {std::pair{31, 0}, {32, 0}, {30, 1}, {31, 1}}) {
        J2kStream p = s;
        p.style = hidden, p.mainExtra = pocs(inMain), p.tileHeaders = {inTile ? pocs(inTile) : Bytes{}};
        rows.push_back({std::to_string(inMain) + " progression order changes and " + std::to_string(inTile) +
                            " of a tile", J2kCodeStream(p), inMain + inTile > 31 ? Bytes{} : plainFile});
    }
    rows.push_back({"a COC but no COD in the main header", atCod(J2kCoc(0, hidden), cod.size()), {}});
    rows.push_back({"the main header cut short after the COD", atCod(cod, plainFile.size() - codAt), {}});
    (small = s).components = 1;
    small.width = small.height = side / 4;
    const Bytes palette = Jp2Of(J2kCodeStream(small), side / 4, 1, Cat({0, 2, 255}, Bytes(765, 0)), Bytes(1020, 0));
    rows.push_back({"a palette of 255 columns", palette, J2kCodeStream(small)});
    (small = s).components = 0;
    rows.push_back({"a tile of no component", J2kCodeStream(small), {}});
    return rows;
}

}  // namespace velto::test::costly
