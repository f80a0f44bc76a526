#pragma once
// The walk over a JPEG 2000 code stream's headers (Jpeg2000Header.cpp) and
// what it finds, for the decode cost (Jpeg2000Cost.cpp). Internal to the
// image library.
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "platform/ByteReader.h"

namespace velto::jpeg2000header {

// The size marker: image area, tiling, and the sampling of the components.
struct SizeMarker {
    std::uint32_t xsiz = 0, ysiz = 0, xosiz = 0, yosiz = 0, xtsiz = 0, ytsiz = 0, xtosiz = 0, ytosiz = 0;
    std::uint16_t csiz = 0;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> steps;  // dx, dy
};

std::uint64_t TileColumns(const SizeMarker& m);
std::uint64_t TileRows(const SizeMarker& m);
std::uint64_t TilesOf(const SizeMarker& m);

// The least a tile takes in a code stream: its tile-part header, a 12-byte
// SOT segment and the 2-byte SOD marker.
inline constexpr std::uint64_t kTilePartHeaderBytes = 14;
// Whether the data could hold a tile-part header for every tile.
bool TilesFit(const SizeMarker& m, std::uint64_t dataSize);

// The most resolutions the codec takes (32 decomposition levels).
inline constexpr std::size_t kMaxResolutions = 33;

// What sizes the code blocks and precincts of a tile component.
struct CodingStyle {
    std::uint8_t levels = 0;  // decomposition levels: levels + 1 resolutions
    std::uint8_t xcb = 0, ycb = 0;  // code-block size exponents, less 2
    // Precinct size exponents (x in the low nibble) by resolution; 15 and 15
    // when the style gives none.
    std::array<std::uint8_t, kMaxResolutions> precincts;
    CodingStyle() { precincts.fill(0xFF); }
};

// A progression order change (POC): a run of the codec's packet iterator
// over a tile in an order (LRCP, RLCP, RPCL, PCRL, CPRL; beyond them one it
// does not know), over layers below `layers` (and the tile's), resolutions
// [r0, r1), components [c0, c1) (and the image's).
struct Progression {
    std::uint8_t order = 0;
    std::uint16_t layers = 0xFFFF;
    std::uint8_t r0 = 0, r1 = 0xFF;
    std::uint16_t c0 = 0, c1 = 0xFFFF;
};
// The codec takes at most this many progression order changes for a tile,
// its main header's and its own together.
inline constexpr std::size_t kMostProgressions = 31;

// Coding styles of one header set (the main header, or a tile's headers),
// applied in their order as the codec does: a COD gives every component its
// style, and the tile its quality layers and order; a COC then one component.
// Progression order changes add up, a tile's after the main header's.
struct StyleSet {
    std::optional<CodingStyle> all;
    std::map<std::uint16_t, CodingStyle> components;
    std::uint16_t layers = 0;  // of the COD, when there is one
    std::uint8_t order = 0;
    std::vector<Progression> progressions;
    void Cod(const CodingStyle& s, std::uint16_t layerCount, std::uint8_t progressionOrder);
    void Coc(std::uint16_t component, const CodingStyle& s);
};

struct TileState {
    StyleSet styles;          // of its own tile-part headers
    std::uint32_t parts = 0;  // tile parts read
    bool complete = false;    // a part said it was the last
};

struct Walk {
    SizeMarker size;
    bool sizeRead = false;     // the size marker was read whole
    StyleSet main;
    std::map<std::uint16_t, TileState> tiles;
    std::uint64_t segments = 0;   // marker segments (the codec indexes each)
    std::uint64_t tileParts = 0;
    std::uint64_t tileData = 0;   // bytes the tile parts declare, headers and data
    std::uint8_t paletteColumns = 0;  // of a JP2 file's palette, made components
    bool tooManyTiles = false;    // see TilesFit; the tile parts were not walked
    // More than kMostTileComponents: the tile parts were not walked.
    bool tooManyTileComponents = false;
    const char* damage = nullptr; // why the codec cannot read the headers as walked
    // Where the data ends: after a JP2 file's code stream box, after a code
    // stream's end marker; the input's end when the walk cannot tell.
    std::uint64_t end = 0;

    // A tile's COC, its COD, the main header's COC, its COD: the style the
    // codec decodes that tile component with.
    const CodingStyle* StyleOf(std::uint64_t tile, std::uint16_t component) const;
    // The tile's quality layers and progression order (its COD's, or the
    // main header's), and its progression order changes (the main header's,
    // then its own), each a run of the packet iterator over it; without any,
    // one run in its order goes over everything.
    std::uint16_t LayersOf(std::uint64_t tile) const;
    std::uint8_t OrderOf(std::uint64_t tile) const;
    std::vector<Progression> ProgressionsOf(std::uint64_t tile) const;

private:
    const StyleSet* OwnStyles(std::uint64_t tile) const;
};

// The codec keeps about a kilobyte for every component of every tile: beyond
// this many tile components that alone is beyond the default budget, and
// neither the tile parts are walked (a tile-part header may give each tile
// component a style, kept until the end) nor their blocks counted.
inline constexpr std::uint64_t kMostTileComponents = 1u << 20;

// Walks the headers of a bare code stream or of a JP2 file's.
Walk WalkHeaders(std::span<const std::uint8_t> data, bool jp2);

}  // namespace velto::jpeg2000header
