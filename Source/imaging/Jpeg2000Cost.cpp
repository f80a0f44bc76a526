// What decoding JPEG 2000 data costs, from its headers as walked
// (Jpeg2000Header.cpp): an upper bound of what the codec allocates, so that
// it is charged against the decode budget before the codec allocates any of
// it. The codec keeps, at its peak, its fixed structures and stream buffer,
// the bookkeeping of every tile and tile component, the samples of the whole
// image and of the tile it decodes, its wavelet scratch, the code blocks and
// precincts of a tile (counted here over every tile, which is more), the
// tile parts' data, and an index entry for every marker segment.
#include <algorithm>

#include "imaging/FormatJpeg2000.h"
#include "imaging/Jpeg2000Walk.h"

namespace velto {
namespace jpeg2000header {
namespace {

// The codec's fixed structures with the 1 MiB buffer of the stream it reads
// through, and its scratch for a code block, measured generously.
constexpr std::uint64_t kCodecBase = 2ull << 20;
// What the codec keeps for one tile (its coding parameters and index), and
// for one component of one tile (their structures, not the samples).
constexpr std::uint64_t kTileCost = 12288;
constexpr std::uint64_t kTileComponentCost = 4096;
// ...for one code block (its state and room for its segments: about 400
// bytes measured) and for one precinct of one band (its tag trees' roots).
constexpr std::uint64_t kCodeBlockCost = 512;
constexpr std::uint64_t kPrecinctCost = 256;
// ...for one marker segment or tile part in the code stream's index.
constexpr std::uint64_t kSegmentCost = 64;
// ...of wavelet scratch for every sample of a tile's longer side.
constexpr std::uint64_t kScratchPerSide = 64;
// Beyond this many tile components the tiles' bookkeeping alone is a
// gigabyte (beyond the default budget), and their code blocks are not counted.
constexpr std::uint64_t kCountedTileComponents = 1u << 18;

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

// A tile's area on the image's grid.
struct TileArea {
    std::int64_t x0, y0, x1, y1;
};
TileArea AreaOf(const SizeMarker& m, std::uint64_t t) {
    const std::uint64_t columns = TileColumns(m), p = t % columns, q = t / columns;
    return {std::max<std::int64_t>(m.xtosiz + std::int64_t(p * m.xtsiz), m.xosiz),
            std::max<std::int64_t>(m.ytosiz + std::int64_t(q * m.ytsiz), m.yosiz),
            std::min<std::int64_t>(m.xtosiz + std::int64_t((p + 1) * m.xtsiz), m.xsiz),
            std::min<std::int64_t>(m.ytosiz + std::int64_t((q + 1) * m.ytsiz), m.ysiz)};
}

BlockCount CountBlocks(const Walk& w) {
    BlockCount count;
    const SizeMarker& m = w.size;
    const std::uint64_t tiles = TilesOf(m);
    // No component: no block in any tile, however many tiles there are.
    if (m.steps.empty() || tiles > kCountedTileComponents / m.steps.size()) return count;
    for (std::uint64_t t = 0; t < tiles; ++t) {
        const TileArea a = AreaOf(m, t);
        for (std::size_t c = 0; c < m.steps.size(); ++c) {
            const CodingStyle* s = w.StyleOf(t, static_cast<std::uint16_t>(c));
            if (!s) continue;  // no coding style: the walk refuses the header
            const auto [dx, dy] = m.steps[c];
            CountTileComponent((a.x0 + dx - 1) / dx, (a.y0 + dy - 1) / dy, (a.x1 + dx - 1) / dx, (a.y1 + dy - 1) / dy,
                               *s, count);
        }
    }
    return count;
}

// Samples, 32 bits each, of a component of steps dx, dy over an area w x h
// (one more each way for the grid's rounding), and of every component.
std::uint64_t ComponentBytes(std::uint64_t w, std::uint64_t h, std::uint8_t dx, std::uint8_t dy) {
    return ((w + dx - 1) / dx + 1) * ((h + dy - 1) / dy + 1) * 4;
}
std::uint64_t SampleBytes(const SizeMarker& m, std::uint64_t w, std::uint64_t h) {
    std::uint64_t bytes = 0;
    for (const auto& [dx, dy] : m.steps) bytes += ComponentBytes(w, h, dx, dy);
    return bytes;
}

std::uint64_t DecodeCostOf(const Walk& w, const BlockCount& blocks) {
    const SizeMarker& m = w.size;
    const std::uint64_t tiles = TilesOf(m);
    std::uint64_t cost = kCodecBase + tiles * (kTileCost + m.csiz * kTileComponentCost);
    const std::uint64_t width = m.xsiz - m.xosiz, height = m.ysiz - m.yosiz;
    // The image, and beside it the tile being decoded unless it is the image.
    const std::uint64_t tileWidth = std::min<std::uint64_t>(m.xtsiz, width);
    const std::uint64_t tileHeight = std::min<std::uint64_t>(m.ytsiz, height);
    cost += SampleBytes(m, width, height);
    // A JP2 palette's columns, each made a component as large as the largest.
    std::uint64_t largest = 0;
    for (const auto& [dx, dy] : m.steps) largest = std::max(largest, ComponentBytes(width, height, dx, dy));
    cost += w.paletteColumns * largest;
    if (tiles > 1) cost += SampleBytes(m, tileWidth, tileHeight);
    cost += std::max(tileWidth, tileHeight) * kScratchPerSide;
    cost += (w.segments + w.tileParts) * kSegmentCost + w.tileData;
    return cost + blocks.codeBlocks * kCodeBlockCost + blocks.precincts * kPrecinctCost;
}

// What the headers make the codec set up, read once for every road.
struct Reading {
    Walk walk;
    BlockCount blocks;
    std::uint64_t bytes = 0;
};

Reading ReadHeaders(std::span<const std::uint8_t> data, bool jp2) {
    Reading out{WalkHeaders(data, jp2), {}, 0};
    if (!out.walk.sizeRead) return out;
    // Damaged headers are refused before the codec sees them, as too large
    // when what they declare as far as read is (the blocks of more tiles than
    // the data holds are not counted).
    if (!out.walk.tooManyTiles) out.blocks = CountBlocks(out.walk);
    out.bytes = DecodeCostOf(out.walk, out.blocks);
    return out;
}

}  // namespace
}  // namespace jpeg2000header

namespace jh = jpeg2000header;

TJpeg2000Cost Jpeg2000Cost(std::span<const std::uint8_t> data, bool jp2) {
    const jh::Reading h = jh::ReadHeaders(data, jp2);
    const jh::SizeMarker& m = h.walk.size;
    const std::uint64_t pixels = h.walk.sizeRead ? std::uint64_t(m.xsiz - m.xosiz) * (m.ysiz - m.yosiz) : 0;
    return {pixels, h.blocks.codeBlocks, h.bytes, h.walk.damage != nullptr, h.walk.damage ? h.walk.damage : "",
            h.walk.end};
}

std::uint64_t Jpeg2000DecodeCost(std::span<const std::uint8_t> data, bool jp2) {
    return Jpeg2000Cost(data, jp2).DecodeBytes;
}

std::uint64_t Jpeg2000CodeBlocks(std::span<const std::uint8_t> data, bool jp2) {
    return Jpeg2000Cost(data, jp2).CodeBlocks;
}

bool Jpeg2000TilesFit(std::span<const std::uint8_t> data, bool jp2) { return !jh::WalkHeaders(data, jp2).tooManyTiles; }

bool ReadJpeg2000Header(std::span<const std::uint8_t> data, TJpeg2000Header& header) {
    const TJpeg2000Kind kind = Jpeg2000KindOf(data);
    if (kind == TJpeg2000Kind::None) return false;
    const jh::Reading h = jh::ReadHeaders(data, kind == TJpeg2000Kind::Jp2);
    if (h.walk.damage) return false;
    const jh::SizeMarker& m = h.walk.size;
    header.Width = m.xsiz - m.xosiz;
    header.Height = m.ysiz - m.yosiz;
    header.Components = m.csiz;
    header.Subsampled = std::any_of(m.steps.begin(), m.steps.end(),
                                    [](const auto& s) { return s.first != 1 || s.second != 1; });
    header.DecodeCost = h.bytes;
    return true;
}

}  // namespace velto
