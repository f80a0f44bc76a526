// What decoding JPEG 2000 data costs, from its headers as walked
// (Jpeg2000Header.cpp): an upper bound of what the codec allocates, so that
// it is charged against the decode budget before the codec allocates any of
// it, and of the steps its packet iterator takes. The codec keeps, at its
// peak, its fixed structures and stream buffer, the bookkeeping of every tile
// and tile component, the samples of the whole image and of the tile it
// decodes, its wavelet scratch, the code blocks and precincts of the tile it
// decodes (set up one tile at a time, in arrays it keeps as large as any tile
// needed), the packet iterator of that tile (an entry for every layer,
// resolution, component and precinct), the tile parts' data, and an index
// entry for every marker segment.
#include <algorithm>
#include <limits>

#include "imaging/FormatJpeg2000.h"
#include "imaging/Jpeg2000Walk.h"

namespace velto {
namespace jpeg2000header {
namespace {

// The codec's fixed structures with the 1 MiB buffer of the stream it reads
// through, and its scratch for a code block, measured generously.
constexpr std::uint64_t kCodecBase = 2ull << 20;
// What the codec keeps for one tile (its coding parameters, index and tile
// part: 8.6 KiB measured), and for one component of one tile (their
// structures, not the samples: 1.05 KiB measured).
constexpr std::uint64_t kTileCost = 9216;
constexpr std::uint64_t kTileComponentCost = 1152;
// ...for one code block (its state and room for its segments: about 400
// bytes measured) and for one precinct of one band (its tag trees' roots).
constexpr std::uint64_t kCodeBlockCost = 512;
constexpr std::uint64_t kPrecinctCost = 256;
// ...for one marker segment or tile part in the code stream's index.
constexpr std::uint64_t kSegmentCost = 64;
// ...of wavelet scratch for every sample of a tile's longer side.
constexpr std::uint64_t kScratchPerSide = 64;
// The packet iterator of a tile: a 16-bit entry for every layer (and one
// more), resolution, component and precinct of the most of them; for each
// run (each progression order change) its state, and its component and
// resolution records; its scratch of a few words per resolution a component.
constexpr std::uint64_t kIteratorEntry = 2;
constexpr std::uint64_t kIteratorRun = 512;
constexpr std::uint64_t kIteratorComponent = 32;
constexpr std::uint64_t kIteratorResolution = 16;
constexpr std::uint64_t kIteratorScratch = 544;
// The position-driven orders stop at every position of a tile, for every
// resolution and component, to find the precincts that start there: a stop
// takes about a sixteenth of what reading a packet header takes.
constexpr std::uint64_t kStopsPerStep = 16;
// A packet of the data (one that is present, if empty) makes the decoder
// visit every code block of its precinct, included or not: a visit takes
// about half what a step of the iterator takes (20 ns against 40 to 50 ns).
constexpr std::uint64_t kVisitsPerStep = 2;

constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();
// Sums and products that stop at the largest value instead of wrapping.
std::uint64_t Plus(std::uint64_t a, std::uint64_t b) { return a > kMost - b ? kMost : a + b; }
std::uint64_t Times(std::uint64_t a, std::uint64_t b) { return b && a > kMost / b ? kMost : a * b; }

// Division by 2^n rounding up or down, for values that may be negative.
std::int64_t CeilShift(std::int64_t v, int n) { return -((-v) >> n); }
std::int64_t FloorShift(std::int64_t v, int n) { return v >> n; }

// Cells of 2^n that the half-open interval [a, b) meets.
std::uint64_t Cells(std::int64_t a, std::int64_t b, int n) {
    if (b <= a) return 0;
    return static_cast<std::uint64_t>(CeilShift(b, n) - FloorShift(a, n));
}

// Precinct size exponents of a resolution (15 when the style gives none).
int PrecinctX(const CodingStyle& s, int r) {
    const std::uint8_t pp = s.precincts[static_cast<std::size_t>(r)];
    return pp == 0xFF ? 15 : pp & 0x0F;
}
int PrecinctY(const CodingStyle& s, int r) {
    const std::uint8_t pp = s.precincts[static_cast<std::size_t>(r)];
    return pp == 0xFF ? 15 : pp >> 4;
}

// One resolution of a tile component as the codec partitions it: its
// precincts (each of its bands has as many), the code blocks of its bands
// (which never cross a precinct), and the most blocks one precinct of each
// band holds.
struct Resolution {
    std::uint64_t precincts = 0, blocks = 0;
    int bands = 0;
    std::array<std::uint64_t, 3> mostInPrecinct{};
};

// Resolution r of a tile component, (x0, y0) to (x1, y1) on the component's grid.
Resolution CountResolution(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, const CodingStyle& s,
                           int r) {
    Resolution out;
    const int down = s.levels - r, ppx = PrecinctX(s, r), ppy = PrecinctY(s, r);
    out.precincts = Cells(CeilShift(x0, down), CeilShift(x1, down), ppx) *
                    Cells(CeilShift(y0, down), CeilShift(y1, down), ppy);
    if (out.precincts == 0) return out;
    // The lowest resolution has one band; every other has three (the
    // high-pass ones of the level below it), with precincts half as large.
    out.bands = r == 0 ? 1 : 3;
    const int pbx = r == 0 ? ppx : std::max(ppx, 1) - 1, pby = r == 0 ? ppy : std::max(ppy, 1) - 1;
    const int cbw = std::min(s.xcb + 2, pbx), cbh = std::min(s.ycb + 2, pby);
    for (int b = 0; b < out.bands; ++b) {
        const int n = r == 0 ? down : down + 1;
        const std::int64_t xo = r == 0 ? 0 : (b == 1 ? 0 : std::int64_t(1) << (n - 1));
        const std::int64_t yo = r == 0 ? 0 : (b == 0 ? 0 : std::int64_t(1) << (n - 1));
        const std::uint64_t across = Cells(CeilShift(x0 - xo, n), CeilShift(x1 - xo, n), cbw);
        const std::uint64_t high = Cells(CeilShift(y0 - yo, n), CeilShift(y1 - yo, n), cbh);
        out.blocks += across * high;
        out.mostInPrecinct[static_cast<std::size_t>(b)] =
            std::min(across, std::uint64_t(1) << (pbx - cbw)) * std::min(high, std::uint64_t(1) << (pby - cbh));
    }
    return out;
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

// Positions a - 1 < x < b the codec's position-driven orders stop at: a,
// then every multiple of the step.
std::uint64_t Stops(std::int64_t a, std::int64_t b, std::uint64_t step) {
    if (b <= a || step == 0) return 0;
    return (static_cast<std::uint64_t>(b) - 1) / step - static_cast<std::uint64_t>(a) / step + 1;
}

// For each resolution of a component, the most precincts any tile has
// there and the most code blocks one precinct of each band holds: the
// codec's arrays for them grow to that and stay.
struct Kept {
    std::uint64_t precincts = 0;
    std::array<std::uint64_t, 3> mostInPrecinct{};
};

struct BlockCount {
    std::uint64_t codeBlocks = 0;     // over every tile
    std::uint64_t iteratorBytes = 0;  // of the tile whose iterator is the largest
    std::uint64_t packetSteps = 0;    // over every tile, the code blocks' aside
    std::uint64_t blockVisits = 0;    // each layer of every code block of every run
    std::uint64_t mostInPrecinct = 0; // code blocks of one precinct, its bands together
    std::vector<std::vector<Kept>> kept;  // by component
    std::uint64_t KeptBytes() const {
        std::uint64_t bytes = 0;
        for (const std::vector<Kept>& resolutions : kept)
            for (std::size_t r = 0; r < resolutions.size(); ++r)
                for (std::size_t b = 0; b < (r == 0 ? 1 : 3); ++b)
                    bytes = Plus(bytes, Times(resolutions[r].precincts,
                                              kPrecinctCost + kCodeBlockCost * resolutions[r].mostInPrecinct[b]));
        return bytes;
    }
    // The codec reads a packet header for every layer of every precinct in
    // every run, and visits each code block of a packet that is present;
    // the header of one present takes a byte of the data at least.
    std::uint64_t Steps(std::uint64_t dataSize) const {
        return Plus(packetSteps, std::min(blockVisits, Times(dataSize, mostInPrecinct)) / kVisitsPerStep);
    }
};

// Below each resolution of each component of a tile: its precincts and its
// code blocks (at [c * stride + r], r up to kMaxResolutions).
struct Below {
    std::vector<std::uint64_t> precincts, blocks;
};

// One tile: its blocks and precincts, and what its packet iterator costs and
// takes: for each run, a step for every layer of every resolution and
// component it runs over and of every precinct there, a visit for every
// layer of every code block there, and, in a position-driven order, its
// stops at every position, resolution and component.
void CountTile(const Walk& w, std::uint64_t t, Below& below, BlockCount& count) {
    const SizeMarker& m = w.size;
    const std::size_t components = m.steps.size(), stride = kMaxResolutions + 1;
    const TileArea a = AreaOf(m, t);
    below.precincts.assign(components * stride, 0);
    below.blocks.assign(components * stride, 0);
    std::uint64_t resolutions = 0, precincts = 0, stepX = 0, stepY = 0;
    for (std::size_t c = 0; c < components; ++c) {
        const CodingStyle* s = w.StyleOf(t, static_cast<std::uint16_t>(c));
        if (!s) continue;  // no coding style: the walk refuses the header
        const auto [dx, dy] = m.steps[c];
        const std::size_t n = s->levels + 1u;
        resolutions = std::max<std::uint64_t>(resolutions, n);
        std::vector<Kept>& kept = count.kept[c];
        if (kept.size() < n) kept.resize(n);
        std::uint64_t* p = &below.precincts[c * stride];
        std::uint64_t* b = &below.blocks[c * stride];
        for (std::size_t r = 0; r < stride - 1; ++r) {
            p[r + 1] = p[r], b[r + 1] = b[r];
            if (r >= n) continue;
            const Resolution res = CountResolution((a.x0 + dx - 1) / dx, (a.y0 + dy - 1) / dy, (a.x1 + dx - 1) / dx,
                                                   (a.y1 + dy - 1) / dy, *s, static_cast<int>(r));
            count.codeBlocks += res.blocks;
            p[r + 1] += res.precincts, b[r + 1] += res.blocks;
            precincts = std::max(precincts, res.precincts);
            Kept& k = kept[r];
            k.precincts = std::max(k.precincts, res.precincts);
            for (std::size_t band = 0; band < 3; ++band)
                k.mostInPrecinct[band] = std::max(k.mostInPrecinct[band], res.mostInPrecinct[band]);
            count.mostInPrecinct = std::max(count.mostInPrecinct,
                                            res.mostInPrecinct[0] + res.mostInPrecinct[1] + res.mostInPrecinct[2]);
            // The position-driven orders step by the smallest precinct a
            // resolution makes on the image's grid (those beyond 32 bits aside).
            const std::size_t ex = PrecinctX(*s, static_cast<int>(r)) + n - 1 - r;
            const std::size_t ey = PrecinctY(*s, static_cast<int>(r)) + n - 1 - r;
            if (ex < 32 && (std::uint64_t(dx) << ex) <= 0xFFFFFFFFu)
                stepX = stepX ? std::min(stepX, std::uint64_t(dx) << ex) : std::uint64_t(dx) << ex;
            if (ey < 32 && (std::uint64_t(dy) << ey) <= 0xFFFFFFFFu)
                stepY = stepY ? std::min(stepY, std::uint64_t(dy) << ey) : std::uint64_t(dy) << ey;
        }
    }
    const std::uint64_t layers = w.LayersOf(t);
    std::vector<Progression> runs = w.ProgressionsOf(t);
    if (runs.empty()) {
        Progression all;
        all.order = w.OrderOf(t);
        all.r1 = static_cast<std::uint8_t>(resolutions);
        runs.push_back(all);
    }
    const std::uint64_t include = Times(Times(Times(layers + 1, resolutions), components), precincts);
    count.iteratorBytes = std::max(
        count.iteratorBytes,
        Plus(Times(include, kIteratorEntry),
             runs.size() * (kIteratorRun + components * (kIteratorComponent + resolutions * kIteratorResolution)) +
                 components * kIteratorScratch));
    const std::uint64_t positions = Times(Stops(a.x0, a.x1, stepX), Stops(a.y0, a.y1, stepY));
    for (const Progression& run : runs) {
        const std::uint64_t c1 = std::min<std::uint64_t>(run.c1, components);
        if (run.r0 >= run.r1 || run.c0 >= c1) continue;
        const std::uint64_t span = std::uint64_t(run.r1 - run.r0) * (c1 - run.c0);
        const std::uint64_t runLayers = std::min<std::uint64_t>(run.layers, layers);
        const std::size_t r0 = std::min<std::size_t>(run.r0, kMaxResolutions),
                          r1 = std::min<std::size_t>(run.r1, kMaxResolutions);
        std::uint64_t inPrecincts = 0, inBlocks = 0;
        for (std::size_t c = run.c0; c < c1; ++c) {
            inPrecincts += below.precincts[c * stride + r1] - below.precincts[c * stride + r0];
            inBlocks += below.blocks[c * stride + r1] - below.blocks[c * stride + r0];
        }
        std::uint64_t steps = Times(runLayers, span + inPrecincts);
        if (run.order >= 2) steps = Plus(steps, Times(positions, span) / kStopsPerStep);
        count.packetSteps = Plus(count.packetSteps, steps);
        count.blockVisits = Plus(count.blockVisits, Times(runLayers, inBlocks));
    }
}

BlockCount CountBlocks(const Walk& w) {
    BlockCount count;
    const SizeMarker& m = w.size;
    const std::uint64_t tiles = TilesOf(m);
    // No component: no block in any tile, however many tiles there are.
    if (m.steps.empty() || tiles > kMostTileComponents / m.steps.size()) return count;
    count.kept.resize(m.steps.size());
    Below below;
    for (std::uint64_t t = 0; t < tiles; ++t) CountTile(w, t, below, count);
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
    return Plus(Plus(cost, blocks.KeptBytes()), blocks.iteratorBytes);
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
    // the data holds, or of tile components beyond any budget, are not counted).
    if (!out.walk.tooManyTiles && !out.walk.tooManyTileComponents) out.blocks = CountBlocks(out.walk);
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
    return {pixels,
            h.blocks.codeBlocks,
            h.bytes,
            h.blocks.Steps(data.size()),
            h.walk.damage != nullptr,
            h.walk.damage ? h.walk.damage : "",
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
