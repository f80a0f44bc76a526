// Image data: inflating and unfiltering IDAT rows into the header's pixels, and
// filtering and deflating them back into a run of IDAT chunks.
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>

#include "platform/PixelRows.h"
#include "png/PngImage.h"
#include "png/PngInternal.h"
#include "png/PngUnfilter.h"

namespace velto {

using namespace png_detail;

namespace {

constexpr TChunkName kIDAT = {'I', 'D', 'A', 'T'};

// Filtered bytes up to which the fast deflater compresses an image in one piece
// (it needs them all in memory); larger images stream through zlib.
constexpr std::uint64_t kWholeDeflateLimit = 256u << 20;
// Filtered bytes up to which zlib compresses as well, and the smaller stream is kept.
constexpr std::size_t kCompareBelow = 64u << 10;

// How a file row becomes DIB, alpha and extra bytes.
enum class RowKind { Packed, Pal2, Grey2, Grey16, RGB8, RGB16, GA8, GA16, RGBA8, RGBA16 };

RowKind KindOf(std::uint8_t type, std::uint8_t depth) {
    switch (type) {
        case COLOR_GRAYSCALE: return depth == 2 ? RowKind::Grey2 : depth == 16 ? RowKind::Grey16 : RowKind::Packed;
        case COLOR_PALETTE: return depth == 2 ? RowKind::Pal2 : RowKind::Packed;
        case COLOR_RGB: return depth == 16 ? RowKind::RGB16 : RowKind::RGB8;
        case COLOR_GRAYSCALEALPHA: return depth == 16 ? RowKind::GA16 : RowKind::GA8;
        default: return depth == 16 ? RowKind::RGBA16 : RowKind::RGBA8;
    }
}

bool IsIdentity(const std::array<std::uint8_t, 256>& t) {
    for (std::size_t i = 0; i < 256; ++i)
        if (t[i] != i) return false;
    return true;
}

// The header's pixel storage must match its fields before rows are moved in or out.
void CheckStorage(const TChunkIHDR& h) {
    const TBitmap& b = h.ImageBitmap();
    if (b.Empty() || b.Width() != h.Width || b.Height() != h.Height || !ValidTypeAndDepth(h.ColorType, h.BitDepth))
        throw EPNGHeaderNotPresent(EPNGHeaderNotPresentText);
    const std::uint64_t pixels = std::uint64_t(h.Width) * std::uint64_t(h.Height);
    const bool alpha = h.ColorType == COLOR_GRAYSCALEALPHA || h.ColorType == COLOR_RGBALPHA;
    if ((alpha && h.ImageAlpha.size() != pixels) || (h.BitDepth == 16 && h.ExtraImageData.size() != b.ByteSize()))
        throw EPNGHeaderNotPresent(EPNGHeaderNotPresentText);
    const int bpp = b.PixelFormat() == pf1bit ? 1 : b.PixelFormat() == pf4bit ? 4 : b.PixelFormat() == pf8bit ? 8 : 24;
    if (bpp != h.BitsPerPixel()) throw EPNGHeaderNotPresent(EPNGHeaderNotPresentText);
}

}  // namespace

namespace png_detail {

SampleKey KeyOf(const TPNGObject& owner, const TChunkIHDR& h) {
    SampleKey key;
    const auto* trns = owner.Chunks().FindChunk<TChunktRNS>();
    if ((h.ColorType != COLOR_GRAYSCALE && h.ColorType != COLOR_RGB) || !trns || !trns->AppliesToImage()) return key;
    key.present = true;
    key.samples = SamplesPerPixel(h.ColorType);
    const unsigned mask = h.BitDepth == 16 ? 0xFFFFu : (1u << h.BitDepth) - 1u;
    for (int c = 0; c < key.samples; ++c)
        key.value[c] = ((unsigned{trns->Data[2 * c]} << 8) | trns->Data[2 * c + 1]) & mask;
    return key;
}

}  // namespace png_detail

namespace {

// ---------------------------------------------------------------------------
// Row copier (file row -> DIB, alpha, extra).

struct RowOut {
    std::uint8_t* dib;
    std::uint8_t* alpha;  // nullptr without an alpha plane
    std::uint8_t* extra;  // nullptr without an extra plane
};

// 2-bit samples widened to the 4-bit pixels of the DIB, two output bytes per input byte.
struct Widen2To4 {
    std::uint16_t pal[256], grey[256];
    Widen2To4() {
        for (int v = 0; v < 256; ++v) {
            const int p0 = v >> 6, p1 = (v >> 4) & 3, p2 = (v >> 2) & 3, p3 = v & 3;
            pal[v] = static_cast<std::uint16_t>(((p0 << 4) | p1) | (((p2 << 4) | p3) << 8));
            // Grey value x5 keeps black and white exact through the 16-entry ramp.
            grey[v] = static_cast<std::uint16_t>(((p0 * 5 << 4) | p1 * 5) | (((p2 * 5 << 4) | p3 * 5) << 8));
        }
    }
};
const Widen2To4& Widen() {
    static const Widen2To4 t;
    return t;
}

// Where the bytes of one file pixel of the unpacked kinds go: `channels` DIB
// bytes (B, G, R for colour) from these offsets in the file pixel, the extra
// plane's bytes (low bytes of 16-bit samples) from these, alpha from this;
// alphaLow, the low byte of 16-bit alpha, is not kept. -1: none. Colour passes
// through the gamma table; grey does not (its palette carries the gamma).
struct SampleLayout {
    int bytes, channels;
    int dib[3], extra[3];
    int alpha, alphaLow;
};
constexpr SampleLayout LayoutOf(RowKind kind) {
    switch (kind) {
        case RowKind::Grey16: return {2, 1, {0}, {1, -1, -1}, -1, -1};
        case RowKind::RGB8: return {3, 3, {2, 1, 0}, {-1, -1, -1}, -1, -1};
        case RowKind::RGB16: return {6, 3, {4, 2, 0}, {5, 3, 1}, -1, -1};
        case RowKind::GA8: return {2, 1, {0}, {-1, -1, -1}, 1, -1};
        case RowKind::GA16: return {4, 1, {0}, {1, -1, -1}, 2, 3};
        case RowKind::RGBA8: return {4, 3, {2, 1, 0}, {-1, -1, -1}, 3, -1};
        case RowKind::RGBA16: return {8, 3, {4, 2, 0}, {5, 3, 1}, 6, 7};
        default: return {0, 0, {-1, -1, -1}, {-1, -1, -1}, -1, -1};
    }
}

// Column of pixel k of a row: x0 + k * dx in an interlaced pass, k in a plain row.
template <bool Interlaced>
constexpr std::size_t Column(std::size_t k, std::size_t x0, std::size_t dx) {
    return Interlaced ? x0 + k * dx : k;
}

// File row -> DIB, extra and alpha, one kind of unpacked samples.
template <RowKind Kind, bool Interlaced, bool Gamma>
void CopySamples(const std::uint8_t* s, std::size_t n, std::size_t x0, std::size_t dx, const RowOut& o,
                 const std::uint8_t* g) {
    constexpr SampleLayout L = LayoutOf(Kind);
    constexpr bool gamma = Gamma && L.channels == 3;
    for (std::size_t k = 0; k < n; ++k, s += L.bytes) {
        const std::size_t x = Column<Interlaced>(k, x0, dx) * L.channels;
        for (int c = 0; c < L.channels; ++c) o.dib[x + c] = gamma ? g[s[L.dib[c]]] : s[L.dib[c]];
        if constexpr (L.extra[0] >= 0)
            for (int c = 0; c < L.channels; ++c) o.extra[x + c] = gamma ? g[s[L.extra[c]]] : s[L.extra[c]];
        if constexpr (L.alpha >= 0) o.alpha[Column<Interlaced>(k, x0, dx)] = s[L.alpha];
    }
}

// DIB, extra, alpha -> file row, one kind of unpacked samples: colour through
// the inverse gamma table (the decoder passed both bytes of 16-bit colour
// samples through the gamma table); the low byte of 16-bit alpha, never kept,
// is written as 0.
template <RowKind Kind>
void WriteSamples(std::uint8_t* out, std::size_t n, std::size_t x0, std::size_t dx, const std::uint8_t* d,
                  const std::uint8_t* e, const std::uint8_t* alpha, const std::uint8_t* inv) {
    constexpr SampleLayout L = LayoutOf(Kind);
    auto F = [inv](std::uint8_t v) { return L.channels == 3 ? inv[v] : v; };
    for (std::size_t k = 0; k < n; ++k, out += L.bytes) {
        const std::size_t x = (x0 + k * dx) * L.channels;
        for (int c = 0; c < L.channels; ++c) out[L.dib[c]] = F(d[x + c]);
        if constexpr (L.extra[0] >= 0)
            for (int c = 0; c < L.channels; ++c) out[L.extra[c]] = F(e[x + c]);
        if constexpr (L.alpha >= 0) out[L.alpha] = alpha[x0 + k * dx];
        if constexpr (L.alphaLow >= 0) out[L.alphaLow] = 0;
    }
}

// Packed pixels of an interlaced pass into their columns of the zeroed DIB row
// (2-bit pixels into 4-bit ones, times scale).
template <int Depth>
void OrPassPixels(const std::uint8_t* s, std::size_t n, std::size_t x0, std::size_t dx, std::uint8_t* d, unsigned scale) {
    constexpr int bpp = Depth == 2 ? 4 : Depth;
    for (std::size_t k = 0; k < n; ++k) OrPackedPixel(d, x0 + k * dx, bpp, PackedPixel(s, k, Depth) * scale);
}

// Copies the n pixels of a file row. Plain rows of packed pixels are copied a
// byte at a time; interlaced ones pixel by pixel into the zeroed DIB row.
template <bool Interlaced, bool Gamma>
void CopyRow(RowKind kind, int depth, const std::uint8_t* s, std::size_t n, std::size_t rowBytes, std::size_t x0,
             std::size_t dx, const RowOut& o, const std::uint8_t* g, std::size_t dibBytes) {
    switch (kind) {
        case RowKind::Packed:
        case RowKind::Pal2:
        case RowKind::Grey2: {
            std::uint8_t* d = o.dib;
            if constexpr (!Interlaced) {
                if (kind == RowKind::Packed) {
                    std::memcpy(d, s, std::min(rowBytes, dibBytes));
                    break;
                }
                const std::uint16_t* t = kind == RowKind::Pal2 ? Widen().pal : Widen().grey;
                const std::size_t outBytes = (n + 1) / 2;
                for (std::size_t i = 0; i < rowBytes; ++i) {
                    const std::uint16_t v = t[s[i]];
                    if (2 * i < outBytes) d[2 * i] = static_cast<std::uint8_t>(v);
                    if (2 * i + 1 < outBytes) d[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
                }
            } else {
                const unsigned scale = kind == RowKind::Grey2 ? 5 : 1;
                switch (depth) {
                    case 1: OrPassPixels<1>(s, n, x0, dx, d, scale); break;
                    case 2: OrPassPixels<2>(s, n, x0, dx, d, scale); break;
                    case 4: OrPassPixels<4>(s, n, x0, dx, d, scale); break;
                    default: OrPassPixels<8>(s, n, x0, dx, d, scale); break;
                }
            }
            break;
        }
        case RowKind::Grey16: CopySamples<RowKind::Grey16, Interlaced, Gamma>(s, n, x0, dx, o, g); break;
        case RowKind::RGB8: CopySamples<RowKind::RGB8, Interlaced, Gamma>(s, n, x0, dx, o, g); break;
        case RowKind::RGB16: CopySamples<RowKind::RGB16, Interlaced, Gamma>(s, n, x0, dx, o, g); break;
        case RowKind::GA8: CopySamples<RowKind::GA8, Interlaced, Gamma>(s, n, x0, dx, o, g); break;
        case RowKind::GA16: CopySamples<RowKind::GA16, Interlaced, Gamma>(s, n, x0, dx, o, g); break;
        case RowKind::RGBA8: CopySamples<RowKind::RGBA8, Interlaced, Gamma>(s, n, x0, dx, o, g); break;
        case RowKind::RGBA16: CopySamples<RowKind::RGBA16, Interlaced, Gamma>(s, n, x0, dx, o, g); break;
    }
}

template <bool Interlaced>
void CopyRowThrough(bool identity, RowKind kind, int depth, const std::uint8_t* s, std::size_t n, std::size_t rowBytes,
                    std::size_t x0, std::size_t dx, const RowOut& o, const std::uint8_t* g, std::size_t dibBytes) {
    if (identity)
        CopyRow<Interlaced, false>(kind, depth, s, n, rowBytes, x0, dx, o, g, dibBytes);
    else
        CopyRow<Interlaced, true>(kind, depth, s, n, rowBytes, x0, dx, o, g, dibBytes);
}

// Marks in `keyed` (the row of KeyedPixels) the pixels of a file row whose
// samples all equal the key: the file's own values, before any gamma.
template <int Bytes, int Samples>
void MarkKeyedBytes(const SampleKey& key, const std::uint8_t* s, std::size_t n, std::size_t x0, std::size_t dx,
                    std::uint8_t* keyed) {
    for (std::size_t k = 0; k < n; ++k, s += Bytes * Samples) {
        bool same = true;
        for (int c = 0; c < Samples; ++c)
            same &= (Bytes == 2 ? (unsigned{s[2 * c]} << 8) | s[2 * c + 1] : unsigned{s[c]}) == key.value[c];
        keyed[x0 + k * dx] = same;
    }
}

void MarkKeyed(const SampleKey& key, int depth, const std::uint8_t* s, std::size_t n, std::size_t x0, std::size_t dx,
               std::uint8_t* keyed) {
    const bool rgb = key.samples == 3;
    if (depth == 16)
        rgb ? MarkKeyedBytes<2, 3>(key, s, n, x0, dx, keyed) : MarkKeyedBytes<2, 1>(key, s, n, x0, dx, keyed);
    else if (depth == 8)
        rgb ? MarkKeyedBytes<1, 3>(key, s, n, x0, dx, keyed) : MarkKeyedBytes<1, 1>(key, s, n, x0, dx, keyed);
    else  // grey of 1, 2 or 4 bits
        for (std::size_t k = 0; k < n; ++k) keyed[x0 + k * dx] = PackedPixel(s, k, depth) == key.value[0];
}

// ---------------------------------------------------------------------------
// Inflating consecutive IDAT chunks (the reference decoder)

class IdatInflater {
public:
    IdatInflater(ByteReader& stream, std::span<const std::uint8_t> first, std::size_t batch) : fStream(stream) {
        try {
            fBatch.resize(batch);
        } catch (const std::bad_alloc&) {
            throw EPNGOutMemory(EPNGOutMemoryText);
        }
        if (inflateInit(&fZ) != Z_OK) throw EPNGOutMemory(EPNGOutMemoryText);
        SetInput(first);
    }
    ~IdatInflater() { inflateEnd(&fZ); }
    IdatInflater(const IdatInflater&) = delete;
    IdatInflater& operator=(const IdatInflater&) = delete;

    // n more bytes at data. Fewer only when the compressed stream has ended.
    std::size_t Next(std::uint8_t*& data, std::size_t n) {
        data = fBatch.data();
        n = std::min(n, fBatch.size());
        std::size_t done = 0;
        while (done < n && !fEnded) {
            if (fZ.avail_in == 0) {
                NextChunk();  // empty chunks are passed over
                continue;
            }
            const std::size_t part = std::min<std::size_t>(n - done, 1u << 30);
            fZ.next_out = data + done;
            fZ.avail_out = static_cast<uInt>(part);
            const int r = inflate(&fZ, Z_NO_FLUSH);
            done += part - fZ.avail_out;
            if (r == Z_STREAM_END) {
                fEnded = true;
            } else if (r != Z_OK) {
                // Errors, and a dictionary request, which PNG never makes.
                RaiseZlib(r);
            }
        }
        return done;
    }

private:
    void SetInput(std::span<const std::uint8_t> data) {
        fZ.next_in = const_cast<Bytef*>(data.data());
        fZ.avail_in = static_cast<uInt>(data.size());
    }
    // The current chunk's data is used up while rows are missing: the next chunk
    // must continue the image data.
    void NextChunk() {
        std::uint32_t length = 0;
        TChunkName name{};
        if (!fStream.u32be(length) || !fStream.bytes(name.data(), 4)) throw EPngUnexpectedEnd(EPngUnexpectedEndText);
        if (name != kIDAT) throw EPNGMissingMultipleIDAT(EPNGMissingMultipleIDATText);
        std::span<const std::uint8_t> data;
        ReadChunkData(fStream, name, length, data);
        SetInput(data);
    }

    ByteReader& fStream;
    std::vector<std::uint8_t> fBatch;
    z_stream fZ{};
    bool fEnded = false;
};

// ---------------------------------------------------------------------------
// Rows into the header's pixels

// Where the rows of the image data go.
struct RowSink {
    RowSink(TPNGObject& owner, TChunkIHDR& header)
        : h(header),
          kind(KindOf(header.ColorType, header.BitDepth)),
          bpp(FilterOffset(header.ColorType, header.BitDepth)),
          width(static_cast<std::uint64_t>(header.Width)),
          height(static_cast<std::uint64_t>(header.Height)),
          gamma(owner.GammaTable.data()),
          identity(IsIdentity(owner.GammaTable)),
          dibBytes(static_cast<std::size_t>(header.BytesPerRow())),
          alphaBase(header.ImageAlpha.empty() ? nullptr : header.ImageAlpha.data()),
          extraBase(header.ExtraImageData.empty() ? nullptr : header.ExtraImageData.data()),
          // Transparency by colour is decided here, on the file's samples: the stored
          // ones may have passed through gamma, and 16-bit ones lost their low byte.
          key(KeyOf(owner, header)),
          interlaced(owner.InterlaceMethod == 1),
          stride(static_cast<std::size_t>(RowBytes(width, header.ColorType, header.BitDepth)) + 1),
          // Several rows per inflate call; at least one.
          batchRows(RowsPerBatch(stride, std::max<std::uint64_t>(height, 1))) {}

    RowOut Out(std::uint64_t y) const {
        RowOut o{h.ImageBitmap().ScanLine(static_cast<int>(y)), nullptr, nullptr};
        if (alphaBase) o.alpha = alphaBase + y * width;
        if (extraBase) o.extra = extraBase + static_cast<std::size_t>(height - 1 - y) * dibBytes;
        return o;
    }
    std::size_t KeyedBytes() const { return key.present ? static_cast<std::size_t>(width * height) : 0; }

    TChunkIHDR& h;
    RowKind kind;
    std::size_t bpp;
    std::uint64_t width, height;
    const std::uint8_t* gamma;
    bool identity;
    std::size_t dibBytes;
    std::uint8_t* alphaBase;
    std::uint8_t* extraBase;
    SampleKey key;
    bool interlaced;
    std::size_t stride;  // the longest filtered row, filter byte included
    std::size_t batchRows;
};

// One unfiltered row of a plain image into the DIB (and alpha); the fast
// decoder's shortcut for the common 8-bit colour rows shown without gamma.
template <bool Fast>
void CopyPlainRow(const RowSink& sink, const std::uint8_t* s, std::size_t n, std::size_t rb, const RowOut& o) {
    if constexpr (Fast) {
        if (sink.identity && sink.kind == RowKind::RGB8) return RgbRowToBgr(s, o.dib, n);
        if (sink.identity && sink.kind == RowKind::RGBA8) return RgbaRowToBgr(s, o.dib, o.alpha, n);
    }
    CopyRowThrough<false>(sink.identity, sink.kind, sink.h.BitDepth, s, n, rb, 0, 1, o, sink.gamma, sink.dibBytes);
}

// Unfilters the rows the source gives and copies them into the pixels, pass by
// pass, until the image is complete or the source gives fewer bytes than asked
// (a stream that ended early: the rows not reached stay zero).
template <bool Fast, class Source>
void DecodeRows(const RowSink& sink, Source& in) {
    TChunkIHDR& h = sink.h;
    std::vector<std::uint8_t> prior;
    try {
        prior.resize(sink.stride);
    } catch (const std::bad_alloc&) {
        throw EPNGOutMemory(EPNGOutMemoryText);
    }
    const int passes = sink.interlaced ? 7 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const Adam7Pass p = sink.interlaced ? kAdam7[pass] : Adam7Pass{0, 0, 1, 1};
        const std::uint64_t pw = sink.interlaced ? PassWidth(sink.width, p) : sink.width;
        const std::uint64_t ph = sink.interlaced ? PassHeight(sink.height, p) : sink.height;
        if (pw == 0 || ph == 0) continue;
        const auto rb = static_cast<std::size_t>(RowBytes(pw, h.ColorType, h.BitDepth));
        const std::size_t rs = rb + 1;
        std::fill(prior.begin(), prior.end(), std::uint8_t{0});
        const std::uint8_t* above = prior.data();
        std::uint64_t j = 0;
        while (j < ph) {
            const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(sink.batchRows, ph - j));
            std::uint8_t* batch = nullptr;
            const std::size_t got = in.Next(batch, want * rs) / rs;
            // The fast path unfilters the whole batch first (several rows at once).
            if constexpr (Fast) UnfilterRowsFast(batch, rs, got, above, rb, sink.bpp);
            for (std::size_t i = 0; i < got; ++i, ++j) {
                std::uint8_t* row = batch + i * rs;
                if constexpr (!Fast) UnfilterRow(row[0], row + 1, above, rb, sink.bpp);
                const std::uint64_t y = sink.interlaced ? p.rowStart + j * static_cast<std::uint64_t>(p.rowInc) : j;
                const RowOut o = sink.Out(y);
                const auto n = static_cast<std::size_t>(pw), x0 = static_cast<std::size_t>(p.colStart),
                           dx = static_cast<std::size_t>(p.colInc);
                if (sink.interlaced)
                    CopyRowThrough<true>(sink.identity, sink.kind, h.BitDepth, row + 1, n, rb, x0, dx, o, sink.gamma,
                                         sink.dibBytes);
                else
                    CopyPlainRow<Fast>(sink, row + 1, n, rb, o);
                if (sink.key.present)
                    MarkKeyed(sink.key, h.BitDepth, row + 1, n, x0, dx, h.KeyedPixels.data() + y * sink.width);
                above = row + 1;
            }
            if (got < want) return;
            std::memcpy(prior.data(), above, rb);
            above = prior.data();
        }
    }
}

void DecodeReference(const RowSink& sink, ByteReader& stream, std::span<const std::uint8_t> first) {
    try {
        sink.h.KeyedPixels.assign(sink.KeyedBytes(), 0);
    } catch (const std::bad_alloc&) {
        throw EPNGOutMemory(EPNGOutMemoryText);
    }
    IdatInflater in(stream, first, sink.batchRows * sink.stride);
    DecodeRows<false>(sink, in);
}

// The data of the IDAT chunk just read and of the whole IDAT chunks of right
// CRC straight after it, as pieces where they lie in the file. The stream is
// left before the first chunk that is not one of them: what follows is read
// as the reference decoder would, should it be needed.
std::vector<std::span<const std::uint8_t>> IdatPieces(ByteReader& stream, std::span<const std::uint8_t> first) {
    // The next chunk's data when it continues the run.
    auto next = [](ByteReader& r, std::span<const std::uint8_t>& data) {
        std::uint32_t length = 0, stored = 0;
        TChunkName name{};
        return r.u32be(length) && r.bytes(name.data(), 4) && name == kIDAT && length <= kMaxChunkLength &&
               r.view(length, data) && r.u32be(stored) && ChunkCrc(name, data) == stored;
    };
    std::vector<std::span<const std::uint8_t>> pieces{first};
    ByteReader end = stream;
    std::span<const std::uint8_t> data;
    for (ByteReader r = end; next(r, data); end = r) pieces.push_back(data);
    stream = end;
    return pieces;
}

// True when the image data decoded cleanly: a stream that ended properly (early
// or not) and that the reference decoder reads to the same rows. Otherwise the
// planes hold whatever was decoded, and the stream is somewhere after the first chunk.
bool DecodeFast(const RowSink& sink, ByteReader& stream, std::span<const std::uint8_t> first) {
    std::vector<std::span<const std::uint8_t>> data = IdatPieces(stream, first);
    try {
        sink.h.KeyedPixels = TPixelBytes(sink.KeyedBytes());
    } catch (const std::bad_alloc&) {
        throw EPNGOutMemory(EPNGOutMemoryText);
    }
    const TChunkIHDR& h = sink.h;
    FastInflater in(std::move(data), FilteredImageBytes(sink.width, sink.height, h.ColorType, h.BitDepth, sink.interlaced),
                    sink.batchRows * sink.stride);
    DecodeRows<true>(sink, in);
    return in.Clean();
}

void ClearPlanes(TChunkIHDR& h) {
    TBitmap& dib = h.ImageBitmap();
    std::memset(dib.Bits(), 0, dib.ByteSize());
    std::fill(h.ImageAlpha.begin(), h.ImageAlpha.end(), std::uint8_t{0});
    std::fill(h.ExtraImageData.begin(), h.ExtraImageData.end(), std::uint8_t{0});
    h.KeyedPixels.clear();
}

}  // namespace

std::unique_ptr<TChunk> TChunkIDAT::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunkIDAT>(o); }

bool TChunkIDAT::LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) {
    TChunkIHDR& h = Header();
    CheckStorage(h);
    TPNGObject& owner = Owner();
    if (h.ColorType == COLOR_GRAYSCALE || h.ColorType == COLOR_GRAYSCALEALPHA) BuildGreyPalette(h);

    std::span<const std::uint8_t> first;
    ReadChunkData(stream, name, size, first);
    const RowSink sink(owner, h);
    if (ActiveCodecPath() == CodecPath::Fast) {
        const std::uint64_t afterFirst = stream.pos();
        if (DecodeFast(sink, stream, first)) return true;
        // Broken, cut short or followed by more data than the image holds: the
        // reference decoder reads the image data again, from the first chunk,
        // and decides what is kept or reported.
        ClearPlanes(h);
        stream.seek(afterFirst);
    }
    DecodeReference(sink, stream, first);
    return true;
}

// ---------------------------------------------------------------------------
// Encoding

namespace {

// File row of the header's pixels (plain: k = x; interlaced: x = x0 + k * dx).
void WriteRow(RowKind kind, int fileDepth, std::uint8_t* out, std::size_t rowBytes, std::size_t n,
              std::size_t x0, std::size_t dx, const std::uint8_t* d, const std::uint8_t* e, const std::uint8_t* alpha,
              const std::uint8_t* inv) {
    switch (kind) {
        case RowKind::Packed:
        case RowKind::Pal2:
        case RowKind::Grey2: {
            // 2-bit images go out as their 4-bit DIB rows.
            if (dx == 1 && x0 == 0) {
                std::memcpy(out, d, rowBytes);
                break;
            }
            std::memset(out, 0, rowBytes);
            for (std::size_t k = 0, x = x0; k < n; ++k, x += dx)
                OrPackedPixel(out, k, fileDepth, PackedPixel(d, x, fileDepth));
            break;
        }
        case RowKind::Grey16: WriteSamples<RowKind::Grey16>(out, n, x0, dx, d, e, alpha, inv); break;
        case RowKind::RGB8: WriteSamples<RowKind::RGB8>(out, n, x0, dx, d, e, alpha, inv); break;
        case RowKind::RGB16: WriteSamples<RowKind::RGB16>(out, n, x0, dx, d, e, alpha, inv); break;
        case RowKind::GA8: WriteSamples<RowKind::GA8>(out, n, x0, dx, d, e, alpha, inv); break;
        case RowKind::GA16: WriteSamples<RowKind::GA16>(out, n, x0, dx, d, e, alpha, inv); break;
        case RowKind::RGBA8: WriteSamples<RowKind::RGBA8>(out, n, x0, dx, d, e, alpha, inv); break;
        case RowKind::RGBA16: WriteSamples<RowKind::RGBA16>(out, n, x0, dx, d, e, alpha, inv); break;
    }
}

// Bytes that repeat the byte one or two places before, from position 2 on.
std::size_t RepetitionScore(const std::uint8_t* b, std::size_t n) {
    std::size_t score = 0;
    for (std::size_t j = 2; j < n; ++j) score += (b[j] == b[j - 1]) | (b[j] == b[j - 2]);
    return score;
}

// Deflates rows and writes the output as IDAT chunks of exactly maxIdat bytes, the
// last one shorter.
class IdatDeflater {
public:
    IdatDeflater(ByteWriter& out, int level, std::size_t maxIdat) : fOut(out), fBuf(maxIdat) {
        if (const int r = deflateInit(&fZ, level); r != Z_OK) RaiseZlib(r);
        Rewind();
    }
    ~IdatDeflater() { deflateEnd(&fZ); }
    IdatDeflater(const IdatDeflater&) = delete;
    IdatDeflater& operator=(const IdatDeflater&) = delete;

    void Write(const std::uint8_t* data, std::size_t n) {
        fZ.next_in = const_cast<Bytef*>(data);
        fZ.avail_in = static_cast<uInt>(n);
        while (fZ.avail_in > 0) {
            const int r = deflate(&fZ, Z_NO_FLUSH);
            if (r != Z_OK) RaiseZlib(r);
            if (fZ.avail_out == 0) Flush();
        }
    }
    void Finish() {
        for (;;) {
            const int r = deflate(&fZ, Z_FINISH);
            if (r == Z_STREAM_END) break;
            if (r != Z_OK) RaiseZlib(r);
            if (fZ.avail_out == 0) Flush();
        }
        if (fZ.avail_out < fBuf.size()) Flush();
    }

private:
    void Rewind() {
        fZ.next_out = fBuf.data();
        fZ.avail_out = static_cast<uInt>(fBuf.size());
    }
    void Flush() {
        WriteChunk(fOut, kIDAT, std::span<const std::uint8_t>(fBuf.data(), fBuf.size() - fZ.avail_out));
        Rewind();
    }

    ByteWriter& fOut;
    std::vector<std::uint8_t> fBuf;
    z_stream fZ{};
};

}  // namespace

bool TChunkIDAT::SaveToStream(ByteWriter& stream) {
    TChunkIHDR& h = Header();
    CheckStorage(h);
    TPNGObject& owner = Owner();
    // 2-bit images are written from their 4-bit rows.
    const std::uint8_t depth = h.BitDepth == 2 ? 4 : h.BitDepth;
    const RowKind kind = KindOf(h.ColorType, depth);
    const std::size_t offset = FilterOffset(h.ColorType, depth);
    const auto width = static_cast<std::uint64_t>(h.Width), height = static_cast<std::uint64_t>(h.Height);
    const TFilters filters = owner.Filters;
    const std::uint8_t* inv = owner.InverseGamma.data();
    const TBitmap& dib = h.ImageBitmap();
    const std::uint8_t* alphaBase = h.ImageAlpha.empty() ? nullptr : h.ImageAlpha.data();
    const std::uint8_t* extraBase = h.ExtraImageData.empty() ? nullptr : h.ExtraImageData.data();
    const auto dibBytes = static_cast<std::size_t>(h.BytesPerRow());

    const auto maxRow = static_cast<std::size_t>(RowBytes(width, h.ColorType, depth));
    // prior, current, one row per filter, and a staging area of whole filtered rows.
    std::vector<std::uint8_t> prior(maxRow), cur(maxRow), filtered[5];
    for (int f = pfSub; f <= pfPaeth; ++f)
        if (filters & FilterBit(static_cast<TFilter>(f))) filtered[f].resize(maxRow);
    const bool interlaced = owner.InterlaceMethod == 1;
    const int level = owner.CompressionLevel;
    const std::size_t maxIdat = static_cast<std::size_t>(owner.MaxIdatSize());
    // The fast deflater takes the whole filtered image at once; zlib streams
    // the levels it does not serve (0 stays stored) and images beyond the limit.
    const std::uint64_t total = FilteredImageBytes(width, height, h.ColorType, depth, interlaced);
    bool whole = ActiveCodecPath() == CodecPath::Fast && FastDeflateBuilt() && level >= 1 && level <= 9 &&
                 total <= kWholeDeflateLimit;
    std::vector<std::uint8_t> staging;
    std::size_t stagingCap = std::max<std::size_t>(maxRow + 1, 128u << 10);
    if (whole) {
        try {
            staging.reserve(static_cast<std::size_t>(total));
            stagingCap = static_cast<std::size_t>(total);
        } catch (const std::bad_alloc&) {
            whole = false;
        }
    }
    if (!whole) staging.reserve(stagingCap);

    // A level zlib does not know fails here with the zlib error.
    std::optional<IdatDeflater> z;
    if (!whole) z.emplace(stream, level, maxIdat);
    for (int pass = 0; pass < (interlaced ? 7 : 1); ++pass) {
        const Adam7Pass p = interlaced ? kAdam7[pass] : Adam7Pass{0, 0, 1, 1};
        const std::uint64_t pw = interlaced ? PassWidth(width, p) : width;
        const std::uint64_t ph = interlaced ? PassHeight(height, p) : height;
        const auto rb = static_cast<std::size_t>(RowBytes(pw, h.ColorType, depth));
        if (rb == 0 || ph == 0) continue;
        std::fill_n(prior.begin(), rb, std::uint8_t{0});
        for (std::uint64_t j = 0; j < ph; ++j) {
            const std::uint64_t y = p.rowStart + j * static_cast<std::uint64_t>(p.rowInc);
            WriteRow(kind, depth, cur.data(), rb, static_cast<std::size_t>(pw), static_cast<std::size_t>(p.colStart),
                     static_cast<std::size_t>(p.colInc), dib.ScanLine(static_cast<int>(y)),
                     extraBase ? extraBase + static_cast<std::size_t>(height - 1 - y) * dibBytes : nullptr,
                     alphaBase ? alphaBase + y * width : nullptr, inv);
            const std::uint8_t f = png_detail::FilterToEncode(filters, cur.data(), prior.data(), filtered, rb, offset);
            staging.push_back(f);
            const std::uint8_t* src = f == pfNone ? prior.data() : filtered[f].data();
            staging.insert(staging.end(), src, src + rb);
            if (z && staging.size() + rb + 1 > stagingCap) {
                z->Write(staging.data(), staging.size());
                staging.clear();
            }
        }
    }
    if (whole) {
        std::vector<std::uint8_t> packed, zpacked;
        if (DeflateFast(staging, level, packed)) {
            // On small images the fast deflater's headers and block choices
            // sometimes cost more than zlib's: zlib, cheap there, is tried too.
            if (owner.CompareCompressors && staging.size() <= kCompareBelow &&
                DeflateBuffer(staging, level, zpacked) && zpacked.size() < packed.size())
                packed.swap(zpacked);
            for (std::size_t off = 0; off < packed.size(); off += maxIdat)
                WriteChunk(stream, kIDAT,
                           std::span<const std::uint8_t>(packed).subspan(off, std::min(maxIdat, packed.size() - off)));
            return true;
        }
        z.emplace(stream, level, maxIdat);
    }
    if (!staging.empty()) z->Write(staging.data(), staging.size());
    z->Finish();
    return true;
}

namespace png_detail {

std::uint8_t FilterToEncode(TFilters filters, const std::uint8_t* cur, std::uint8_t* prior,
                            std::vector<std::uint8_t>* filtered, std::size_t n, std::size_t offset) {
    const std::size_t head = std::min(offset, n);
    if (filters & FilterBit(pfSub)) {
        std::uint8_t* out = filtered[pfSub].data();
        std::memcpy(out, cur, head);
        for (std::size_t j = head; j < n; ++j) out[j] = static_cast<std::uint8_t>(cur[j] - cur[j - offset]);
    }
    if (filters & FilterBit(pfUp)) {
        std::uint8_t* out = filtered[pfUp].data();
        for (std::size_t j = 0; j < n; ++j) out[j] = static_cast<std::uint8_t>(cur[j] - prior[j]);
    }
    if (filters & FilterBit(pfAverage)) {
        std::uint8_t* out = filtered[pfAverage].data();
        for (std::size_t j = 0; j < head; ++j) out[j] = static_cast<std::uint8_t>(cur[j] - prior[j] / 2);
        for (std::size_t j = head; j < n; ++j)
            out[j] = static_cast<std::uint8_t>(cur[j] - (prior[j] + cur[j - offset]) / 2);
    }
    if (filters & FilterBit(pfPaeth)) {
        std::uint8_t* out = filtered[pfPaeth].data();
        for (std::size_t j = 0; j < head; ++j) out[j] = static_cast<std::uint8_t>(cur[j] - prior[j]);
        for (std::size_t j = head; j < n; ++j)
            out[j] = static_cast<std::uint8_t>(cur[j] - PaethPredictor(cur[j - offset], prior[j], prior[j - offset]));
    }
    // The current row becomes the prior one, and is also the None-filtered row.
    std::memcpy(prior, cur, n);
    if (filters == 0 || filters == FilterBit(pfNone)) return pfNone;
    std::size_t best = 0;
    std::uint8_t choice = pfNone;
    for (int f = pfNone; f <= pfPaeth; ++f) {
        if (!(filters & FilterBit(static_cast<TFilter>(f)))) continue;
        if (filters == FilterBit(static_cast<TFilter>(f))) return static_cast<std::uint8_t>(f);
        const std::size_t score = RepetitionScore(f == pfNone ? prior : filtered[f].data(), n);
        if (score > best) {
            best = score;
            choice = static_cast<std::uint8_t>(f);
        }
    }
    return choice;
}

}  // namespace png_detail

}  // namespace velto
