// JPEG 2000 headers read without the codec, the way the codec reads them: the
// signature, the code stream's place in a JP2 file and its end, the size
// marker, and every marker of the main and tile-part headers (the coding
// styles among them). From these, what decoding will cost is known before the
// codec allocates anything (Jpeg2000Cost.cpp). Where the codec would read the
// headers otherwise than this walk can follow, or would not read them at all,
// the headers are damaged: refused, never charged as if they declared nothing.
#include "imaging/Jpeg2000Walk.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "imaging/FormatJpeg2000.h"

namespace velto {
namespace jpeg2000header {

namespace {

constexpr std::uint8_t kJp2Signature[8] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50, 0x20, 0x20};
constexpr std::uint8_t kCodeStreamSignature[4] = {0xFF, 0x4F, 0xFF, 0x51};

constexpr std::uint16_t kSoc = 0xFF4F, kSiz = 0xFF51, kCod = 0xFF52, kCoc = 0xFF53, kPoc = 0xFF5F, kSot = 0xFF90,
                        kSod = 0xFF93, kEoc = 0xFFD9;

// Where the codec takes a marker: before the size marker, in the rest of the
// main header, at the start of a tile part, inside a tile-part header.
enum Place : std::uint8_t { kBeforeSize = 1, kMain = 2, kTileStart = 4, kTilePart = 8 };

// The markers the codec knows, and where it takes each. Any other it takes
// in the main header by looking past it, two bytes at a time, for one it
// knows; in a tile-part header it reads its length and then fails.
struct MarkerRule {
    std::uint16_t marker;
    std::uint8_t places;
};
constexpr MarkerRule kMarkerRules[] = {
    {kSot, kMain | kTileStart},   {kCod, kMain | kTilePart},    {kCoc, kMain | kTilePart},
    {0xFF5E, kMain | kTilePart},  {0xFF5C, kMain | kTilePart},  {0xFF5D, kMain | kTilePart},  // RGN, QCD, QCC
    {kPoc, kMain | kTilePart},    {kSiz, kBeforeSize},          {0xFF55, kMain},              // POC, SIZ, TLM
    {0xFF57, kMain},              {0xFF58, kTilePart},          {0xFF60, kMain},              // PLM, PLT, PPM
    {0xFF61, kTilePart},          {0xFF91, 0},                  {0xFF63, kMain},              // PPT, SOP, CRG
    {0xFF64, kMain | kTilePart},  {0xFF74, kMain | kTilePart},  {0xFF78, kMain},              // COM, MCT, CBD
    {0xFF50, kMain},              {0xFF59, kMain},              {0xFF75, kMain | kTilePart},  // CAP, CPF, MCC
    {0xFF77, kMain | kTilePart},                                                              // MCO
};
constexpr std::uint8_t kUnknownPlaces = kMain | kTilePart;

const MarkerRule* RuleOf(std::uint16_t marker) {
    for (const MarkerRule& rule : kMarkerRules)
        if (rule.marker == marker) return &rule;
    return nullptr;
}
std::uint8_t PlacesOf(std::uint16_t marker) {
    const MarkerRule* rule = RuleOf(marker);
    return rule ? rule->places : kUnknownPlaces;
}

// Past a marker the codec does not know, in the main header: the next one it
// knows, skipping smaller words and other unknown markers as it does; none
// when the data ends first or a marker stands where the codec refuses it.
std::optional<std::uint16_t> PastUnknownMarker(ByteReader& r, std::uint8_t place) {
    std::uint16_t word = 0;
    while (r.u16be(word)) {
        if (word < 0xFF00) continue;
        if (!(PlacesOf(word) & place)) return std::nullopt;
        if (RuleOf(word)) return word;
    }
    return std::nullopt;
}

// The size marker's segment (after its length), as strictly as the codec
// takes it: its length matching its components, at least one component and
// every step above zero.
bool ReadSizeSegment(ByteReader r, std::uint64_t length, SizeMarker& m) {
    std::uint16_t rsiz = 0;
    if (!r.u16be(rsiz) || !r.u32be(m.xsiz) || !r.u32be(m.ysiz) || !r.u32be(m.xosiz) || !r.u32be(m.yosiz) ||
        !r.u32be(m.xtsiz) || !r.u32be(m.ytsiz) || !r.u32be(m.xtosiz) || !r.u32be(m.ytosiz) || !r.u16be(m.csiz))
        return false;
    if (m.xsiz <= m.xosiz || m.ysiz <= m.yosiz || m.xtsiz == 0 || m.ytsiz == 0 || m.xsiz <= m.xtosiz ||
        m.ysiz <= m.ytosiz)
        return false;
    m.steps.reserve(std::min<std::uint64_t>(m.csiz, r.remaining() / 3));
    for (std::uint16_t c = 0; c < m.csiz; ++c) {
        std::uint8_t ssiz = 0, dx = 0, dy = 0;
        if (!r.u8(ssiz) || !r.u8(dx) || !r.u8(dy) || dx == 0 || dy == 0) return false;
        m.steps.emplace_back(dx, dy);
    }
    return m.csiz > 0 && length == 38u + 3u * m.csiz;
}

// The style part that COD and COC share (SPcod, SPcoc).
bool ReadStyle(ByteReader& r, bool precinctsGiven, CodingStyle& out) {
    std::uint8_t style = 0, transform = 0;
    CodingStyle s;
    if (!r.u8(s.levels) || !r.u8(s.xcb) || !r.u8(s.ycb) || !r.u8(style) || !r.u8(transform)) return false;
    s.levels = std::min(s.levels, static_cast<std::uint8_t>(kMaxResolutions - 1));  // the codec refuses more
    if (precinctsGiven)
        for (int i = 0; i <= s.levels; ++i)
            if (!r.u8(s.precincts[static_cast<std::size_t>(i)])) return false;
    out = s;
    return true;
}

// A component index, one byte wide in images of up to 256 components.
bool ReadComponent(ByteReader& r, std::uint16_t csiz, std::uint16_t& component) {
    std::uint8_t byte = 0;
    if (csiz > 256) return r.u16be(component);
    if (!r.u8(byte)) return false;
    component = byte;
    return true;
}

// A COD or COC segment (after its length) applied to the set; false when it
// is too short for what it declares, or declares no layer or a component the
// image lacks (the codec fails on it too).
bool ReadStyleSegment(ByteReader r, std::uint16_t marker, std::uint16_t csiz, StyleSet& set) {
    CodingStyle s;
    if (marker == kCod) {  // Scod, progression, layers, transform, then the style
        std::uint8_t scod = 0, order = 0, mct = 0;
        std::uint16_t layers = 0;
        if (!r.u8(scod) || !r.u8(order) || !r.u16be(layers) || !r.u8(mct) || !ReadStyle(r, scod & 1, s) ||
            layers == 0)
            return false;
        set.Cod(s, layers, order);
        return true;
    }
    std::uint16_t component = 0;  // COC: the component, Scoc, then the style
    std::uint8_t scoc = 0;
    if (!ReadComponent(r, csiz, component) || component >= csiz || !r.u8(scoc) || !ReadStyle(r, scoc & 1, s))
        return false;
    set.Coc(component, s);
    return true;
}

// A POC segment (after its length) adding its progressions to the set, which
// has `before` of others already; false when its length is not a whole number
// of them, or they would be more than the codec takes.
bool ReadProgressionSegment(ByteReader r, std::uint16_t csiz, std::size_t before, StyleSet& set) {
    const std::size_t entry = csiz > 256 ? 9 : 7, count = r.remaining() / entry;
    if (count == 0 || r.remaining() % entry != 0 || before + set.progressions.size() + count > kMostProgressions)
        return false;
    for (std::size_t i = 0; i < count; ++i) {
        Progression p;
        if (!r.u8(p.r0) || !ReadComponent(r, csiz, p.c0) || !r.u16be(p.layers) || !r.u8(p.r1) ||
            !ReadComponent(r, csiz, p.c1) || !r.u8(p.order))
            return false;
        set.progressions.push_back(p);
    }
    return true;
}

// A marker segment at the reader (its marker just read): its body, with the
// reader moved past it; none when its length is below 2 or runs past the data.
std::optional<ByteReader> SegmentBody(ByteReader& r) {
    std::uint16_t length = 0;
    if (!r.u16be(length) || length < 2 || !r.has(length - 2u)) return std::nullopt;
    std::optional<ByteReader> body = r.sub(r.pos(), length - 2u);
    r.skip(length - 2u);
    return body;
}

bool Damage(Walk& w, const char* why) {
    w.damage = why;
    return false;
}

// The main header from the start marker to the first tile part's SOT marker
// (read, with the reader just past it).
bool WalkMainHeader(ByteReader& r, Walk& w) {
    std::uint16_t marker = 0;
    if (!r.u16be(marker) || marker != kSoc) return Damage(w, "no start of code stream");
    std::uint8_t place = kBeforeSize;
    bool cod = false;
    if (!r.u16be(marker)) return Damage(w, "the main header is cut short");
    while (marker != kSot) {
        if (marker < 0xFF00) return Damage(w, "the main header holds something other than a marker");
        if (!RuleOf(marker)) {
            const std::optional<std::uint16_t> next = PastUnknownMarker(r, place);
            if (!next) return Damage(w, "an unknown marker of the main header is followed by none the codec takes");
            if ((marker = *next) == kSot) break;
        }
        if (!(PlacesOf(marker) & place)) return Damage(w, "a marker of the main header stands out of its place");
        std::optional<ByteReader> body = SegmentBody(r);
        if (!body) return Damage(w, "a marker segment of the main header is cut short");
        ++w.segments;
        if (marker == kSiz) {
            if (!ReadSizeSegment(*body, body->size() + 2, w.size)) return Damage(w, "the size marker is unreadable");
            w.sizeRead = true;
            place = kMain;
        } else if (marker == kCod || marker == kCoc) {
            if (!ReadStyleSegment(*body, marker, w.size.csiz, w.main))
                return Damage(w, "a coding style of the main header is unreadable");
            cod = cod || marker == kCod;
        } else if (marker == kPoc && !ReadProgressionSegment(*body, w.size.csiz, 0, w.main)) {
            return Damage(w, "a progression order change of the main header is unreadable");
        }
        if (!r.u16be(marker)) return Damage(w, "the main header is cut short");
    }
    if (place != kMain) return Damage(w, "no size marker");
    if (!cod) return Damage(w, "no coding style in the main header");
    return true;
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

// Every tile part from the SOT marker just read: its header's markers up to
// SOD, then on past its data by its length. The walk is complete at the end
// marker (endMarker then just past it), at a tile part that runs to the
// data's end, or where the data ends between tile parts. Every step moves
// forward, so the walk ends.
bool WalkTileParts(ByteReader& r, Walk& w, std::uint64_t tiles, std::uint64_t& endMarker) {
    for (;;) {
        const std::uint64_t start = r.pos() - 2;
        std::uint16_t lsot = 0, isot = 0;
        std::uint32_t psot = 0;
        std::uint8_t tpsot = 0, tnsot = 0;
        if (!r.u16be(lsot) || lsot != 10 || !r.u16be(isot) || !r.u32be(psot) || !r.u8(tpsot) || !r.u8(tnsot))
            return Damage(w, "a tile part's SOT segment is unreadable");
        if (isot >= tiles) return Damage(w, "a tile part names a tile the image does not have");
        const std::optional<std::uint64_t> end = TilePartEnd(start, psot, r.size());
        if (!end) return Damage(w, "a tile part ends before its data");
        TileState& tile = w.tiles[isot];
        // The codec takes the parts of a tile in order only.
        if (tpsot != tile.parts) return Damage(w, "the parts of a tile are out of order");
        ++tile.parts;
        // The codec decodes a tile as soon as its last part is read: a coding
        // style in a later part (which it then fails on) would not be the one
        // it decoded with.
        const bool decoded = tile.complete;
        tile.complete = tile.complete || (tnsot != 0 && tpsot + 1 >= tnsot);
        ++w.tileParts;
        w.tileData += *end - start;
        std::uint16_t marker = 0;
        for (;;) {
            if (!r.u16be(marker)) return Damage(w, "a tile-part header is cut short");
            if (marker == kSod) break;
            if (!RuleOf(marker) || !(PlacesOf(marker) & kTilePart))
                return Damage(w, "a tile-part header holds a marker the codec cannot read there");
            std::optional<ByteReader> body = SegmentBody(r);
            if (!body) return Damage(w, "a marker segment of a tile-part header is cut short");
            ++w.segments;
            if (marker == kCod || marker == kCoc || marker == kPoc) {
                if (decoded) return Damage(w, "a coding style comes after its tile's last part");
                if (marker != kPoc && !ReadStyleSegment(*body, marker, w.size.csiz, tile.styles))
                    return Damage(w, "a coding style of a tile-part header is unreadable");
                if (marker == kPoc &&
                    !ReadProgressionSegment(*body, w.size.csiz, w.main.progressions.size(), tile.styles))
                    return Damage(w, "a progression order change of a tile-part header is unreadable");
            }
        }
        // An end before this SOD's end would read it again, for ever.
        if (*end < r.pos()) return Damage(w, "a tile part ends before its data");
        if (*end >= r.size() || !r.seek(*end)) return true;
        // The codec reads on only at another tile part or the end marker;
        // where the data ends (a stray byte left at most), it stops too.
        if (!r.u16be(marker)) return true;
        if (marker == kEoc) {
            endMarker = r.pos();
            return true;
        }
        if (marker != kSot) return Damage(w, "a tile part's data is followed by neither a tile part nor the end");
    }
}

// A box header at the reader: the box's start, its whole length and where its
// content starts; none when it is not whole within limit bytes from its start
// (a length of 0 runs to the limit; the codec takes no box beyond 2^32 bytes).
struct Box {
    std::uint64_t start, length, content;
    std::uint32_t type;
};
std::optional<Box> ReadBoxHeader(ByteReader& r, std::uint64_t limit) {
    Box box{r.pos(), 0, 0, 0};
    std::uint32_t len = 0;
    if (!r.u32be(len) || !r.u32be(box.type)) return std::nullopt;
    box.length = len;
    if (len == 1) {
        std::uint32_t hi = 0, lo = 0;
        if (!r.u32be(hi) || !r.u32be(lo) || hi != 0) return std::nullopt;
        box.length = lo;
    } else if (len == 0) {
        box.length = limit;
    }
    box.content = r.pos();
    if (box.length < box.content - box.start || box.length > limit) box.length = 0;  // not whole
    return box;
}

constexpr std::uint32_t kCodeStreamBox = 0x6A703263u, kHeaderBox = 0x6A703268u, kPaletteBox = 0x70636C72u;

// Palette columns of a "pclr" box: the codec makes each a component of the
// size of the one it maps, beside those it decoded.
std::uint8_t PaletteColumns(std::optional<ByteReader> content) {
    std::uint16_t entries = 0;
    std::uint8_t columns = 0;
    return content && content->u16be(entries) && content->u8(columns) ? columns : 0;
}

// Palette columns of the "pclr" boxes inside a "jp2h" box's content.
std::uint8_t PaletteColumnsIn(ByteReader header) {
    std::uint8_t most = 0;
    while (!header.atEnd()) {
        const std::optional<Box> box = ReadBoxHeader(header, header.remaining());
        if (!box || box->length == 0) break;
        if (box->type == kPaletteBox)
            most = std::max(most, PaletteColumns(header.sub(box->content, box->start + box->length - box->content)));
        if (!header.seek(box->start + box->length)) break;
    }
    return most;
}

// The "jp2c" box of a JP2 file, found as the codec finds it: the boxes before
// it are passed by their lengths (which must be whole and within the data),
// and its content starts after its header whatever length it declares; its
// end is the data's end when its length does not fit. The palette columns of
// the boxes before it come along.
struct CodeStreamBox {
    std::uint64_t content, end;
    std::uint8_t paletteColumns;
};
std::optional<CodeStreamBox> FindCodeStreamBox(std::span<const std::uint8_t> data) {
    ByteReader r(data);
    std::uint8_t palette = 0;
    for (;;) {
        const std::optional<Box> box = ReadBoxHeader(r, data.size() - r.pos());
        if (!box) return std::nullopt;
        if (box->type == kCodeStreamBox)
            return CodeStreamBox{box->content, box->length ? box->start + box->length : data.size(), palette};
        if (box->length == 0 || !r.seek(box->start + box->length)) return std::nullopt;
        const std::optional<ByteReader> content = ByteReader(data).sub(box->content, r.pos() - box->content);
        if (box->type == kHeaderBox && content) palette = std::max(palette, PaletteColumnsIn(*content));
        if (box->type == kPaletteBox) palette = std::max(palette, PaletteColumns(content));
    }
}

}  // namespace

void StyleSet::Cod(const CodingStyle& s, std::uint16_t layerCount, std::uint8_t progressionOrder) {
    all = s;
    components.clear();  // the codec gives every component the new style
    layers = layerCount;
    order = progressionOrder;
}

void StyleSet::Coc(std::uint16_t component, const CodingStyle& s) { components[component] = s; }

const StyleSet* Walk::OwnStyles(std::uint64_t tile) const {
    const auto t = tile <= 0xFFFF ? tiles.find(static_cast<std::uint16_t>(tile)) : tiles.end();
    return t != tiles.end() ? &t->second.styles : nullptr;
}

const CodingStyle* Walk::StyleOf(std::uint64_t tile, std::uint16_t component) const {
    if (const StyleSet* own = OwnStyles(tile)) {
        if (const auto c = own->components.find(component); c != own->components.end()) return &c->second;
        if (own->all) return &*own->all;
    }
    if (const auto c = main.components.find(component); c != main.components.end()) return &c->second;
    return main.all ? &*main.all : nullptr;
}

std::uint16_t Walk::LayersOf(std::uint64_t tile) const {
    const StyleSet* own = OwnStyles(tile);
    return own && own->all ? own->layers : main.layers;
}

std::uint8_t Walk::OrderOf(std::uint64_t tile) const {
    const StyleSet* own = OwnStyles(tile);
    return own && own->all ? own->order : main.order;
}

std::vector<Progression> Walk::ProgressionsOf(std::uint64_t tile) const {
    std::vector<Progression> runs = main.progressions;
    if (const StyleSet* own = OwnStyles(tile))
        runs.insert(runs.end(), own->progressions.begin(), own->progressions.end());
    return runs;
}

bool TilesFit(const SizeMarker& m, std::uint64_t dataSize) { return TilesOf(m) <= dataSize / kTilePartHeaderBytes; }

Walk WalkHeaders(std::span<const std::uint8_t> data, bool jp2) {
    Walk w;
    const std::optional<CodeStreamBox> box = jp2 ? FindCodeStreamBox(data) : CodeStreamBox{0, data.size(), 0};
    w.end = box ? box->end : data.size();
    ByteReader r(data);
    if (!box || !r.seek(box->content)) {
        w.damage = "no code stream box the codec reaches";
        return w;
    }
    w.paletteColumns = box->paletteColumns;
    const bool mainRead = WalkMainHeader(r, w);
    // Checked before anything walks the tiles: beyond it the tiles are not
    // counted (and the load refuses them), only their bookkeeping.
    if (w.sizeRead && !TilesFit(w.size, data.size())) {
        w.tooManyTiles = true;
        w.damage = "more tiles than the data holds";
        return w;
    }
    if (mainRead && TilesOf(w.size) * w.size.csiz > kMostTileComponents) {
        w.tooManyTileComponents = true;
        return w;
    }
    std::uint64_t endMarker = 0;
    if (mainRead) WalkTileParts(r, w, TilesOf(w.size), endMarker);
    // A JP2 file's data ends with its box, a code stream's with its end marker.
    if (!jp2 && endMarker != 0) w.end = endMarker;
    return w;
}

std::uint64_t TileColumns(const SizeMarker& m) { return (std::uint64_t(m.xsiz) - m.xtosiz + m.xtsiz - 1) / m.xtsiz; }
std::uint64_t TileRows(const SizeMarker& m) { return (std::uint64_t(m.ysiz) - m.ytosiz + m.ytsiz - 1) / m.ytsiz; }
std::uint64_t TilesOf(const SizeMarker& m) { return TileColumns(m) * TileRows(m); }

}  // namespace jpeg2000header

namespace jh = jpeg2000header;

TJpeg2000Kind Jpeg2000KindOf(std::span<const std::uint8_t> head) {
    if (head.size() < 8) return TJpeg2000Kind::None;
    if (std::memcmp(head.data(), jh::kJp2Signature, 8) == 0) return TJpeg2000Kind::Jp2;
    if (std::memcmp(head.data(), jh::kCodeStreamSignature, 4) == 0) return TJpeg2000Kind::CodeStream;
    return TJpeg2000Kind::None;
}

std::uint64_t Jpeg2000DataEnd(std::span<const std::uint8_t> data, bool jp2) {
    return jh::WalkHeaders(data, jp2).end;
}

}  // namespace velto
