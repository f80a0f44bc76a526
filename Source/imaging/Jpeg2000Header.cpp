// JPEG 2000 headers read without the codec: the signature, the code stream's
// place in a JP2 file and its end, the size marker, and the coding styles of
// the main and tile-part headers. From these, what decoding will cost is
// known before the codec allocates anything.
#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "imaging/FormatJpeg2000.h"
#include "platform/ByteReader.h"

namespace velto {

// A namespace of its own: quick builds compile this file together with
// others of the library that have file-local names like these.
namespace jpeg2000header {
namespace {

constexpr std::uint8_t kJp2Signature[8] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50, 0x20, 0x20};
constexpr std::uint8_t kCodeStreamSignature[4] = {0xFF, 0x4F, 0xFF, 0x51};
// What the codec keeps for one component of one tile (its structures, not
// the samples), measured generously.
constexpr std::uint64_t kTileComponentCost = 4096;
// ...for one code block (its state and room for its segments: about 400
// bytes measured) and for one precinct of one band (its tag trees' roots).
constexpr std::uint64_t kCodeBlockCost = 512;
constexpr std::uint64_t kPrecinctCost = 256;
// The least a tile takes in a code stream: its tile-part header, a 12-byte
// SOT segment and the 2-byte SOD marker.
constexpr std::uint64_t kTilePartHeaderBytes = 14;
// Beyond this many tile components the tiles' bookkeeping alone is a
// gigabyte (beyond the default budget), and their code blocks are not counted.
constexpr std::uint64_t kCountedTileComponents = 1u << 18;

// The "jp2c" box of a JP2 file: where its content starts and where it ends.
struct Box {
    std::uint64_t content, end;
};
std::optional<Box> FindCodeStreamBox(std::span<const std::uint8_t> data) {
    ByteReader r(data);
    while (!r.atEnd()) {
        const std::uint64_t start = r.pos();
        std::uint32_t len = 0, type = 0;
        if (!r.u32be(len) || !r.u32be(type)) break;
        std::uint64_t boxLen = len;
        if (len == 1) {
            std::uint32_t hi = 0, lo = 0;
            if (!r.u32be(hi) || !r.u32be(lo)) break;
            boxLen = std::uint64_t(hi) << 32 | lo;
        } else if (len == 0) {
            boxLen = data.size() - start;  // to the end
        }
        if (boxLen < r.pos() - start || boxLen > data.size() - start) break;
        if (type == 0x6A703263u) return Box{r.pos(), start + boxLen};  // "jp2c"
        if (!r.seek(start + boxLen)) break;
    }
    return std::nullopt;
}

// Where the code stream starts: 0 for a bare one.
std::optional<std::uint64_t> CodeStreamStart(std::span<const std::uint8_t> data, bool jp2) {
    if (!jp2) return 0;
    const std::optional<Box> box = FindCodeStreamBox(data);
    if (!box) return std::nullopt;
    return box->content;
}

// The size marker at the start of a code stream: image area, tiling, and the
// sampling of the components up to the first one that cannot be read or has
// a zero step.
struct SizeMarker {
    std::uint32_t xsiz = 0, ysiz = 0, xosiz = 0, yosiz = 0, xtsiz = 0, ytsiz = 0, xtosiz = 0, ytosiz = 0;
    std::uint16_t csiz = 0;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> steps;  // dx, dy
    std::uint64_t end = 0;  // where the main header's next marker starts
};

std::optional<SizeMarker> ReadSizeMarker(std::span<const std::uint8_t> data, bool jp2) {
    const std::optional<std::uint64_t> at = CodeStreamStart(data, jp2);
    if (!at) return std::nullopt;
    ByteReader r(data);
    SizeMarker m;
    std::uint16_t soc = 0, siz = 0, lsiz = 0, rsiz = 0;
    if (!r.seek(*at) || !r.u16be(soc) || soc != 0xFF4F || !r.u16be(siz) || siz != 0xFF51 || !r.u16be(lsiz) ||
        !r.u16be(rsiz) || !r.u32be(m.xsiz) || !r.u32be(m.ysiz) || !r.u32be(m.xosiz) || !r.u32be(m.yosiz) ||
        !r.u32be(m.xtsiz) || !r.u32be(m.ytsiz) || !r.u32be(m.xtosiz) || !r.u32be(m.ytosiz) || !r.u16be(m.csiz))
        return std::nullopt;
    if (m.xsiz <= m.xosiz || m.ysiz <= m.yosiz || m.xtsiz == 0 || m.ytsiz == 0 || m.xsiz <= m.xtosiz ||
        m.ysiz <= m.ytosiz)
        return std::nullopt;
    m.end = *at + 4 + lsiz;
    m.steps.reserve(std::min<std::uint64_t>(m.csiz, r.remaining() / 3));
    for (std::uint16_t c = 0; c < m.csiz; ++c) {
        std::uint8_t ssiz = 0, dx = 0, dy = 0;
        if (!r.u8(ssiz) || !r.u8(dx) || !r.u8(dy) || dx == 0 || dy == 0) break;
        m.steps.emplace_back(dx, dy);
    }
    return m;
}

std::uint64_t TileColumns(const SizeMarker& m) { return (std::uint64_t(m.xsiz) - m.xtosiz + m.xtsiz - 1) / m.xtsiz; }
std::uint64_t TileRows(const SizeMarker& m) { return (std::uint64_t(m.ysiz) - m.ytosiz + m.ytsiz - 1) / m.ytsiz; }
std::uint64_t TilesOf(const SizeMarker& m) { return TileColumns(m) * TileRows(m); }

// ---------------------------------------------------------------------------
// Coding styles: what sizes the code blocks and precincts of a tile component.

struct CodingStyle {
    std::uint8_t levels = 0;  // decomposition levels: levels + 1 resolutions
    std::uint8_t xcb = 0, ycb = 0;  // code-block size exponents, less 2
    // Precinct size exponents (x in the low nibble) by resolution; 15 and 15
    // when the style gives none.
    std::array<std::uint8_t, 33> precincts;
    CodingStyle() { precincts.fill(0xFF); }
};

// The style part that COD and COC share (SPcod, SPcoc).
bool ReadStyle(ByteReader& r, bool precinctsGiven, CodingStyle& out) {
    std::uint8_t style = 0, transform = 0;
    CodingStyle s;
    if (!r.u8(s.levels) || !r.u8(s.xcb) || !r.u8(s.ycb) || !r.u8(style) || !r.u8(transform)) return false;
    s.levels = std::min<std::uint8_t>(s.levels, 32);  // the codec refuses more
    if (precinctsGiven)
        for (int i = 0; i <= s.levels; ++i)
            if (!r.u8(s.precincts[static_cast<std::size_t>(i)])) return false;
    out = s;
    return true;
}

// Coding styles in force: of the main header, or of a tile's own headers
// (which come first); per component when a COC names it, else the COD's.
struct StyleSet {
    std::optional<CodingStyle> all;
    std::map<std::uint16_t, CodingStyle> components;
};

struct Styles {
    StyleSet main;
    std::map<std::uint64_t, StyleSet> tiles;
    // A tile part ends before its own data begins: its length is shorter
    // than its header, or points back. The codec cannot decode such a stream.
    bool damaged = false;

    const CodingStyle* For(std::uint64_t tile, std::uint16_t component) const {
        if (const auto t = tiles.find(tile); t != tiles.end()) {
            if (const auto c = t->second.components.find(component); c != t->second.components.end()) return &c->second;
            if (t->second.all) return &*t->second.all;
        }
        if (const auto c = main.components.find(component); c != main.components.end()) return &c->second;
        return main.all ? &*main.all : nullptr;
    }
};

// Reads a COD or COC segment (after its length) into the set.
void ReadStyleSegment(ByteReader r, std::uint16_t marker, std::uint16_t csiz, StyleSet& set) {
    if (marker == 0xFF52) {  // COD: Scod, progression, layers, transform, then the style
        std::uint8_t scod = 0, order = 0, mct = 0;
        std::uint16_t layers = 0;
        CodingStyle s;
        if (r.u8(scod) && r.u8(order) && r.u16be(layers) && r.u8(mct) && ReadStyle(r, scod & 1, s)) set.all = s;
        return;
    }
    std::uint16_t component = 0;  // COC: the component, Scoc, then the style
    std::uint8_t byte = 0, scoc = 0;
    if (csiz < 257) {
        if (!r.u8(byte)) return;
        component = byte;
    } else if (!r.u16be(component)) {
        return;
    }
    CodingStyle s;
    if (r.u8(scoc) && ReadStyle(r, scoc & 1, s)) set.components[component] = s;
}

// Where the tile part at start ends, by its length psot: at the data's end
// for 0 (it runs to the end marker); none when it is shorter than its own SOT
// segment, which would send a walk back.
constexpr std::uint32_t kSotSegmentBytes = 12;
std::optional<std::uint64_t> TilePartEnd(std::uint64_t start, std::uint32_t psot, std::uint64_t dataSize) {
    if (psot == 0) return dataSize;
    if (psot < kSotSegmentBytes) return std::nullopt;
    return start + psot;
}

// Walks the main header and every tile-part header, by the lengths of their
// segments and tile parts, collecting the coding styles; stops at the end
// marker, at a tile part that runs to the end, where the data breaks off, or
// at a tile part whose end lies before its data (damaged). Every step moves
// forward, so the walk ends.
Styles ReadStyles(std::span<const std::uint8_t> data, const SizeMarker& m) {
    Styles styles;
    ByteReader r(data);
    if (!r.seek(m.end)) return styles;
    StyleSet* set = &styles.main;
    // Where the tile part being read ends: 0 in the main header, the data's
    // end for the last tile part (which runs to the end marker).
    std::uint64_t tilePartEnd = 0;
    std::uint16_t marker = 0;
    while (r.u16be(marker)) {
        if (marker == 0xFFD9) break;
        if (marker == 0xFF93) {  // SOD: the tile part's data follows, up to its end
            if (tilePartEnd == 0) break;
            // An end on or before this SOD would read it again, for ever.
            if (tilePartEnd < r.pos()) {
                styles.damaged = true;
                break;
            }
            if (tilePartEnd >= data.size() || !r.seek(tilePartEnd)) break;
            continue;
        }
        const std::uint64_t start = r.pos() - 2;
        std::uint16_t length = 0;
        if (!r.u16be(length) || length < 2 || !r.has(length - 2u)) break;
        if (marker == 0xFF90) {  // SOT: tile index, tile-part length
            std::uint16_t tile = 0;
            std::uint32_t psot = 0;
            if (!r.u16be(tile) || !r.u32be(psot)) break;
            const std::optional<std::uint64_t> end = TilePartEnd(start, psot, data.size());
            // A segment shorter than what was just read of it would step back too.
            if (!end || length < kSotSegmentBytes - 2) {
                styles.damaged = true;
                break;
            }
            if (!r.seek(start + 2 + length)) break;
            set = &styles.tiles[tile];
            tilePartEnd = *end;
            continue;
        }
        if (marker == 0xFF52 || marker == 0xFF53) ReadStyleSegment(*r.sub(r.pos(), length - 2u), marker, m.csiz, *set);
        if (!r.skip(length - 2u)) break;
    }
    return styles;
}

// Division by 2^n rounding up or down, for values that may be negative.
std::int64_t CeilShift(std::int64_t v, int n) { return -((-v) >> n); }
std::int64_t FloorShift(std::int64_t v, int n) { return v >> n; }

// Cells of 2^n that the half-open interval [a, b) meets.
std::uint64_t Cells(std::int64_t a, std::int64_t b, int n) {
    if (b <= a) return 0;
    return static_cast<std::uint64_t>(CeilShift(b, n) - FloorShift(a, n));
}

struct BlockCount {
    std::uint64_t codeBlocks = 0, precincts = 0;
};

// The code blocks and precincts of one tile component, (x0, y0) to (x1, y1)
// on the component's grid, as the codec partitions them: every resolution's
// precincts, every band's code blocks (which never cross a precinct).
void CountTileComponent(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, const CodingStyle& s,
                        BlockCount& out) {
    const int levels = s.levels;
    for (int r = 0; r <= levels; ++r) {
        const int down = levels - r;
        const std::uint8_t pp = s.precincts[static_cast<std::size_t>(r)];
        const int ppx = pp == 0xFF ? 15 : pp & 0x0F, ppy = pp == 0xFF ? 15 : pp >> 4;
        const std::uint64_t precincts = Cells(CeilShift(x0, down), CeilShift(x1, down), ppx) *
                                        Cells(CeilShift(y0, down), CeilShift(y1, down), ppy);
        if (precincts == 0) continue;
        // The lowest resolution has one band; every other has three (the
        // high-pass ones of the level below it), with precincts half as large.
        const int bands = r == 0 ? 1 : 3;
        const int cbw = r == 0 ? std::min(s.xcb + 2, ppx) : std::min(s.xcb + 2, std::max(ppx, 1) - 1);
        const int cbh = r == 0 ? std::min(s.ycb + 2, ppy) : std::min(s.ycb + 2, std::max(ppy, 1) - 1);
        out.precincts += precincts * static_cast<std::uint64_t>(bands);
        for (int b = 0; b < bands; ++b) {
            const int n = r == 0 ? down : down + 1;
            const std::int64_t xo = r == 0 ? 0 : (b == 1 ? 0 : std::int64_t(1) << (n - 1));
            const std::int64_t yo = r == 0 ? 0 : (b == 0 ? 0 : std::int64_t(1) << (n - 1));
            out.codeBlocks += Cells(CeilShift(x0 - xo, n), CeilShift(x1 - xo, n), cbw) *
                              Cells(CeilShift(y0 - yo, n), CeilShift(y1 - yo, n), cbh);
        }
    }
}

BlockCount CountBlocks(const SizeMarker& m, const Styles& styles) {
    BlockCount count;
    const std::uint64_t columns = TileColumns(m), tiles = TilesOf(m);
    // No component: no block in any tile, however many tiles there are.
    if (m.steps.empty() || tiles > kCountedTileComponents / m.steps.size()) return count;
    for (std::uint64_t t = 0; t < tiles; ++t) {
        const std::uint64_t p = t % columns, q = t / columns;
        const std::int64_t tx0 = std::max<std::int64_t>(m.xtosiz + std::int64_t(p * m.xtsiz), m.xosiz);
        const std::int64_t ty0 = std::max<std::int64_t>(m.ytosiz + std::int64_t(q * m.ytsiz), m.yosiz);
        const std::int64_t tx1 = std::min<std::int64_t>(m.xtosiz + std::int64_t((p + 1) * m.xtsiz), m.xsiz);
        const std::int64_t ty1 = std::min<std::int64_t>(m.ytosiz + std::int64_t((q + 1) * m.ytsiz), m.ysiz);
        for (std::size_t c = 0; c < m.steps.size(); ++c) {
            const CodingStyle* s = styles.For(t, static_cast<std::uint16_t>(c));
            if (!s) continue;  // no coding style: the codec refuses the header
            const auto [dx, dy] = m.steps[c];
            CountTileComponent((tx0 + dx - 1) / dx, (ty0 + dy - 1) / dy, (tx1 + dx - 1) / dx, (ty1 + dy - 1) / dy, *s,
                               count);
        }
    }
    return count;
}

std::uint64_t DecodeCostOf(const SizeMarker& m, const BlockCount& blocks) {
    std::uint64_t cost = TilesOf(m) * m.csiz * kTileComponentCost;
    const std::uint64_t w = m.xsiz - m.xosiz, h = m.ysiz - m.yosiz;
    // Each component decodes to 32-bit samples over its share of the image area.
    for (const auto& [dx, dy] : m.steps) cost += ((w + dx - 1) / dx + 1) * ((h + dy - 1) / dy + 1) * 4;
    return cost + blocks.codeBlocks * kCodeBlockCost + blocks.precincts * kPrecinctCost;
}

bool TilesFit(const SizeMarker& m, std::uint64_t dataSize) { return TilesOf(m) <= dataSize / kTilePartHeaderBytes; }

// What the headers make the codec set up, read once for every road.
struct Reading {
    SizeMarker marker;
    BlockCount blocks;
    bool damaged = false;  // more tiles than the data holds, or a tile part ending before its data
};

std::optional<Reading> ReadHeaders(std::span<const std::uint8_t> data, bool jp2) {
    std::optional<SizeMarker> m = ReadSizeMarker(data, jp2);
    if (!m) return std::nullopt;
    Reading out{std::move(*m), {}, false};
    // Checked before anything walks the tiles: beyond it the tiles are not
    // counted (and the load refuses them), only their bookkeeping.
    if (!TilesFit(out.marker, data.size())) {
        out.damaged = true;
        return out;
    }
    const Styles styles = ReadStyles(data, out.marker);
    out.damaged = styles.damaged;
    if (!out.damaged) out.blocks = CountBlocks(out.marker, styles);
    return out;
}

}  // namespace
}  // namespace jpeg2000header

namespace jh = jpeg2000header;

TJpeg2000Kind Jpeg2000KindOf(std::span<const std::uint8_t> head) {
    if (head.size() < 8) return TJpeg2000Kind::None;
    if (std::memcmp(head.data(), jh::kJp2Signature, 8) == 0) return TJpeg2000Kind::Jp2;
    if (std::memcmp(head.data(), jh::kCodeStreamSignature, 4) == 0) return TJpeg2000Kind::CodeStream;
    return TJpeg2000Kind::None;
}

TJpeg2000Cost Jpeg2000Cost(std::span<const std::uint8_t> data, bool jp2) {
    const std::optional<jh::Reading> h = jh::ReadHeaders(data, jp2);
    if (!h) return {};
    return {h->blocks.codeBlocks, jh::DecodeCostOf(h->marker, h->blocks), h->damaged};
}

std::uint64_t Jpeg2000DecodeCost(std::span<const std::uint8_t> data, bool jp2) {
    return Jpeg2000Cost(data, jp2).DecodeBytes;
}

std::uint64_t Jpeg2000CodeBlocks(std::span<const std::uint8_t> data, bool jp2) {
    return Jpeg2000Cost(data, jp2).CodeBlocks;
}

bool Jpeg2000TilesFit(std::span<const std::uint8_t> data, bool jp2) {
    const std::optional<jh::SizeMarker> m = jh::ReadSizeMarker(data, jp2);
    return !m || jh::TilesFit(*m, data.size());
}

bool ReadJpeg2000Header(std::span<const std::uint8_t> data, TJpeg2000Header& header) {
    const TJpeg2000Kind kind = Jpeg2000KindOf(data);
    if (kind == TJpeg2000Kind::None) return false;
    const std::optional<jh::Reading> h = jh::ReadHeaders(data, kind == TJpeg2000Kind::Jp2);
    if (!h || h->damaged) return false;
    const jh::SizeMarker& m = h->marker;
    if (m.steps.size() != m.csiz) return false;
    header.Width = m.xsiz - m.xosiz;
    header.Height = m.ysiz - m.yosiz;
    header.Components = m.csiz;
    header.Subsampled = std::any_of(m.steps.begin(), m.steps.end(),
                                    [](const auto& s) { return s.first != 1 || s.second != 1; });
    header.DecodeCost = jh::DecodeCostOf(m, h->blocks);
    return true;
}

std::uint64_t Jpeg2000DataEnd(std::span<const std::uint8_t> data, bool jp2) {
    if (jp2) {
        const std::optional<jh::Box> box = jh::FindCodeStreamBox(data);
        return box ? box->end : data.size();
    }
    ByteReader r(data);
    // Code stream: the main header's marker segments up to the first tile part,
    // then the tile parts by their lengths, then the end marker.
    std::uint16_t marker = 0;
    if (!r.u16be(marker) || marker != 0xFF4F) return data.size();
    while (r.u16be(marker)) {
        if (marker == 0xFFD9) return r.pos();
        if (marker == 0xFF90) {
            const std::uint64_t start = r.pos() - 2;
            std::uint16_t lsot = 0, isot = 0;
            std::uint32_t psot = 0;
            if (!r.u16be(lsot) || !r.u16be(isot) || !r.u32be(psot)) return data.size();
            const std::optional<std::uint64_t> next = jh::TilePartEnd(start, psot, data.size());
            if (!next || !r.seek(*next)) return data.size();
            continue;
        }
        std::uint16_t length = 0;
        if (!r.u16be(length) || length < 2 || !r.skip(length - 2u)) return data.size();
    }
    return data.size();
}

}  // namespace velto
