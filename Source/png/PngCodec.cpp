// Image data: inflating and unfiltering IDAT rows into the header's pixels, and
// filtering and deflating them back into a run of IDAT chunks.
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/PixelRows.h"
#include "png/PngImage.h"
#include "png/PngInternal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velto {

using namespace png_detail;

namespace {

constexpr TChunkName kIDAT = {'I', 'D', 'A', 'T'};

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

// ---------------------------------------------------------------------------
// Unfiltering

template <int Bpp>
void UnfilterFixed(std::uint8_t type, std::uint8_t* cur, const std::uint8_t* prior, std::size_t n) {
    switch (type) {
        case pfSub:
            for (std::size_t i = Bpp; i < n; ++i) cur[i] = static_cast<std::uint8_t>(cur[i] + cur[i - Bpp]);
            break;
        case pfUp:
            for (std::size_t i = 0; i < n; ++i) cur[i] = static_cast<std::uint8_t>(cur[i] + prior[i]);
            break;
        case pfAverage: {
            const std::size_t m = std::min<std::size_t>(Bpp, n);
            for (std::size_t i = 0; i < m; ++i) cur[i] = static_cast<std::uint8_t>(cur[i] + (prior[i] >> 1));
            for (std::size_t i = Bpp; i < n; ++i)
                cur[i] = static_cast<std::uint8_t>(cur[i] + ((cur[i - Bpp] + prior[i]) >> 1));
            break;
        }
        case pfPaeth: {
            const std::size_t m = std::min<std::size_t>(Bpp, n);
            for (std::size_t i = 0; i < m; ++i) cur[i] = static_cast<std::uint8_t>(cur[i] + prior[i]);
            for (std::size_t i = Bpp; i < n; ++i) {
                const int a = cur[i - Bpp], b = prior[i], c = prior[i - Bpp];
                const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
                const int p = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
                cur[i] = static_cast<std::uint8_t>(cur[i] + p);
            }
            break;
        }
        default: break;  // unknown filter types leave the row as read
    }
}

#if defined(__SSE2__)
// Paeth on whole pixels of 3 or 4 bytes in 16-bit lanes: one pixel per step, the
// predictor chosen with masks instead of branches.
template <int Bpp>
void PaethSse2(std::uint8_t* cur, const std::uint8_t* prior, std::size_t n) {
    static_assert(Bpp == 3 || Bpp == 4);
    const __m128i zero = _mm_setzero_si128();
    auto load = [](const std::uint8_t* p) {
        std::uint32_t v = 0;
        std::memcpy(&v, p, Bpp);
        return _mm_cvtsi32_si128(static_cast<int>(v));
    };
    auto store = [](std::uint8_t* p, __m128i v) {
        const auto x = static_cast<std::uint32_t>(_mm_cvtsi128_si32(v));
        std::memcpy(p, &x, Bpp);
    };
    auto absdiff = [&](__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(zero, v)); };
    __m128i a = zero, c = zero;
    std::size_t i = 0;
    // The last pixel is stored byte-exactly; Bpp-wide loads never pass the row end.
    for (; i + Bpp <= n; i += Bpp) {
        const __m128i b = _mm_unpacklo_epi8(load(prior + i), zero);
        const __m128i x = _mm_unpacklo_epi8(load(cur + i), zero);
        const __m128i pa = absdiff(_mm_sub_epi16(b, c));
        const __m128i pb = absdiff(_mm_sub_epi16(a, c));
        const __m128i pc = absdiff(_mm_sub_epi16(_mm_add_epi16(a, b), _mm_add_epi16(c, c)));
        // a when pa <= pb and pa <= pc; else b when pb <= pc; else c.
        const __m128i useC = _mm_cmpgt_epi16(pb, pc);
        const __m128i bOrC = _mm_or_si128(_mm_andnot_si128(useC, b), _mm_and_si128(useC, c));
        const __m128i useA = _mm_andnot_si128(_mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc)),
                                              _mm_set1_epi16(-1));
        const __m128i pred = _mm_or_si128(_mm_and_si128(useA, a), _mm_andnot_si128(useA, bOrC));
        a = _mm_and_si128(_mm_add_epi16(x, pred), _mm_set1_epi16(0xFF));
        store(cur + i, _mm_packus_epi16(a, zero));
        c = b;
    }
}
#endif

}  // namespace

namespace png_detail {

std::uint8_t PaethPredictor(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    if (pb <= pc) return b;
    return c;
}

void UnfilterRow(std::uint8_t type, std::uint8_t* cur, const std::uint8_t* prior, std::size_t n, std::size_t bpp) {
#if defined(__SSE2__)
    if (type == pfPaeth && (bpp == 3 || bpp == 4) && n % bpp == 0) {
        if (bpp == 3)
            PaethSse2<3>(cur, prior, n);
        else
            PaethSse2<4>(cur, prior, n);
        return;
    }
#endif
    switch (bpp) {
        case 1: UnfilterFixed<1>(type, cur, prior, n); break;
        case 2: UnfilterFixed<2>(type, cur, prior, n); break;
        case 3: UnfilterFixed<3>(type, cur, prior, n); break;
        case 4: UnfilterFixed<4>(type, cur, prior, n); break;
        case 6: UnfilterFixed<6>(type, cur, prior, n); break;
        default: UnfilterFixed<8>(type, cur, prior, n); break;
    }
}


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
// Inflating consecutive IDAT chunks

class IdatInflater {
public:
    IdatInflater(ByteReader& stream, std::span<const std::uint8_t> first) : fStream(stream) {
        if (inflateInit(&fZ) != Z_OK) throw EPNGOutMemory(EPNGOutMemoryText);
        SetInput(first);
    }
    ~IdatInflater() { inflateEnd(&fZ); }
    IdatInflater(const IdatInflater&) = delete;
    IdatInflater& operator=(const IdatInflater&) = delete;

    // Fills out with n bytes. Fewer only when the compressed stream has ended.
    std::size_t Read(std::uint8_t* out, std::size_t n) {
        std::size_t done = 0;
        while (done < n && !fEnded) {
            if (fZ.avail_in == 0) {
                NextChunk();  // empty chunks are passed over
                continue;
            }
            const std::size_t part = std::min<std::size_t>(n - done, 1u << 30);
            fZ.next_out = out + done;
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
    z_stream fZ{};
    bool fEnded = false;
};

}  // namespace

std::unique_ptr<TChunk> TChunkIDAT::NewOfSameClass(TPNGObject& o) const { return std::make_unique<TChunkIDAT>(o); }

bool TChunkIDAT::LoadFromStream(ByteReader& stream, const TChunkName& name, std::uint32_t size) {
    TChunkIHDR& h = Header();
    CheckStorage(h);
    TPNGObject& owner = Owner();
    if (h.ColorType == COLOR_GRAYSCALE || h.ColorType == COLOR_GRAYSCALEALPHA) BuildGreyPalette(h);

    std::span<const std::uint8_t> first;
    ReadChunkData(stream, name, size, first);
    IdatInflater in(stream, first);

    const RowKind kind = KindOf(h.ColorType, h.BitDepth);
    const std::size_t bpp = FilterOffset(h.ColorType, h.BitDepth);
    const auto width = static_cast<std::uint64_t>(h.Width), height = static_cast<std::uint64_t>(h.Height);
    const std::uint8_t* gamma = owner.GammaTable.data();
    const bool identity = IsIdentity(owner.GammaTable);
    TBitmap& dib = h.ImageBitmap();
    const std::size_t dibBytes = static_cast<std::size_t>(h.BytesPerRow());
    std::uint8_t* alphaBase = h.ImageAlpha.empty() ? nullptr : h.ImageAlpha.data();
    std::uint8_t* extraBase = h.ExtraImageData.empty() ? nullptr : h.ExtraImageData.data();
    // Transparency by colour is decided here, on the file's samples: the stored
    // ones may have passed through gamma, and 16-bit ones lost their low byte.
    const SampleKey key = KeyOf(owner, h);
    try {
        h.KeyedPixels.assign(key.present ? static_cast<std::size_t>(width * height) : 0, 0);
    } catch (const std::bad_alloc&) {
        throw EPNGOutMemory(EPNGOutMemoryText);
    }
    auto rowOut = [&](std::uint64_t y) {
        const auto row = static_cast<int>(y);
        RowOut o{dib.ScanLine(row), nullptr, nullptr};
        if (alphaBase) o.alpha = alphaBase + y * width;
        if (extraBase) o.extra = extraBase + static_cast<std::size_t>(height - 1 - y) * dibBytes;
        return o;
    };

    const bool interlaced = owner.InterlaceMethod == 1;
    const int passes = interlaced ? 7 : 1;
    const std::uint64_t maxRowBytes = RowBytes(width, h.ColorType, h.BitDepth);
    const std::size_t stride = static_cast<std::size_t>(maxRowBytes) + 1;
    // Several rows per inflate call; at least one.
    const std::size_t batchRows =
        static_cast<std::size_t>(std::clamp<std::uint64_t>((256u << 10) / stride, 1, height));
    std::vector<std::uint8_t> batch, prior;
    try {
        batch.resize(batchRows * stride);
        prior.resize(stride);
    } catch (const std::bad_alloc&) {
        throw EPNGOutMemory(EPNGOutMemoryText);
    }

    for (int pass = 0; pass < passes; ++pass) {
        const Adam7Pass p = interlaced ? kAdam7[pass] : Adam7Pass{0, 0, 1, 1};
        const std::uint64_t pw = interlaced ? PassWidth(width, p) : width;
        const std::uint64_t ph = interlaced ? PassHeight(height, p) : height;
        if (pw == 0 || ph == 0) continue;
        const auto rb = static_cast<std::size_t>(RowBytes(pw, h.ColorType, h.BitDepth));
        const std::size_t rs = rb + 1;
        std::fill(prior.begin(), prior.end(), std::uint8_t{0});
        const std::uint8_t* above = prior.data();
        std::uint64_t j = 0;
        while (j < ph) {
            const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(batchRows, ph - j));
            const std::size_t got = in.Read(batch.data(), want * rs) / rs;
            for (std::size_t i = 0; i < got; ++i, ++j) {
                std::uint8_t* row = batch.data() + i * rs;
                UnfilterRow(row[0], row + 1, above, rb, bpp);
                const std::uint64_t y = interlaced ? p.rowStart + j * static_cast<std::uint64_t>(p.rowInc) : j;
                const RowOut o = rowOut(y);
                const auto n = static_cast<std::size_t>(pw), x0 = static_cast<std::size_t>(p.colStart),
                           dx = static_cast<std::size_t>(p.colInc);
                if (interlaced)
                    CopyRowThrough<true>(identity, kind, h.BitDepth, row + 1, n, rb, x0, dx, o, gamma, dibBytes);
                else
                    CopyRowThrough<false>(identity, kind, h.BitDepth, row + 1, n, rb, x0, dx, o, gamma, dibBytes);
                if (key.present) MarkKeyed(key, h.BitDepth, row + 1, n, x0, dx, h.KeyedPixels.data() + y * width);
                above = row + 1;
            }
            if (got < want) return true;  // the compressed data ended early: the rest stays zero
            std::memcpy(prior.data(), above, rb);
            above = prior.data();
        }
    }
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
    std::vector<std::uint8_t> staging;
    const std::size_t stagingCap = std::max<std::size_t>(maxRow + 1, 128u << 10);
    staging.reserve(stagingCap);

    // A level zlib does not know fails here with the zlib error.
    IdatDeflater z(stream, owner.CompressionLevel, static_cast<std::size_t>(owner.MaxIdatSize()));
    const bool interlaced = owner.InterlaceMethod == 1;
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
            if (staging.size() + rb + 1 > stagingCap) {
                z.Write(staging.data(), staging.size());
                staging.clear();
            }
        }
    }
    if (!staging.empty()) z.Write(staging.data(), staging.size());
    z.Finish();
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
