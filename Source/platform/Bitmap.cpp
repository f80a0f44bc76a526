#include "platform/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/NearestColor.h"
#include "platform/PixelRows.h"

namespace velto {

namespace {

constexpr TRGBQuad Q(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return {b, g, r, 0};
}

constexpr std::array<TRGBQuad, 2> kMono = {Q(0, 0, 0), Q(255, 255, 255)};

constexpr std::array<TRGBQuad, 16> kWindows16 = {
    Q(0, 0, 0),     Q(128, 0, 0),     Q(0, 128, 0),     Q(128, 128, 0),  Q(0, 0, 128), Q(128, 0, 128),
    Q(0, 128, 128), Q(128, 128, 128), Q(192, 192, 192), Q(255, 0, 0),    Q(0, 255, 0), Q(255, 255, 0),
    Q(0, 0, 255),   Q(255, 0, 255),   Q(0, 255, 255),   Q(255, 255, 255)};

constexpr std::array<TRGBQuad, 20> kSystem20 = {
    Q(0, 0, 0),       Q(128, 0, 0),     Q(0, 128, 0),     Q(128, 128, 0),   Q(0, 0, 128),
    Q(128, 0, 128),   Q(0, 128, 128),   Q(192, 192, 192), Q(192, 220, 192), Q(166, 202, 240),
    Q(255, 251, 240), Q(160, 160, 164), Q(128, 128, 128), Q(255, 0, 0),     Q(0, 255, 0),
    Q(255, 255, 0),   Q(0, 0, 255),     Q(255, 0, 255),   Q(0, 255, 255),   Q(255, 255, 255)};

constexpr std::array<TRGBQuad, 256> MakeDefault256() {
    std::array<TRGBQuad, 256> t{};
    for (int i = 0; i < 10; ++i) {
        t[static_cast<std::size_t>(i)] = kSystem20[static_cast<std::size_t>(i)];
        t[static_cast<std::size_t>(246 + i)] = kSystem20[static_cast<std::size_t>(10 + i)];
    }
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                t[static_cast<std::size_t>(10 + r * 36 + g * 6 + b)] =
                    Q(static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51),
                      static_cast<std::uint8_t>(b * 51));
    for (int k = 0; k < 20; ++k) {
        auto v = static_cast<std::uint8_t>((k + 1) * 255 / 21);
        t[static_cast<std::size_t>(226 + k)] = Q(v, v, v);
    }
    return t;
}
constexpr std::array<TRGBQuad, 256> kDefault256 = MakeDefault256();

constexpr std::uint8_t Expand5(unsigned v) {
    return static_cast<std::uint8_t>((v << 3) | (v >> 2));
}
constexpr std::uint8_t Expand6(unsigned v) {
    return static_cast<std::uint8_t>((v << 2) | (v >> 4));
}

// Nearest-entry search with a one-colour memo: rows of one colour are common.
class NearestCache {
public:
    explicit NearestCache(std::span<const TRGBQuad> table) : fTable(table) {}
    std::uint8_t operator()(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        std::uint32_t key = r | (g << 8) | (static_cast<std::uint32_t>(b) << 16);
        if (key != fKey) {
            fKey = key;
            fIndex = static_cast<std::uint8_t>(std::max(0, NearestColorIndex(fTable, r, g, b)));
        }
        return fIndex;
    }

private:
    std::span<const TRGBQuad> fTable;
    std::uint32_t fKey = 0xFFFFFFFFu;
    std::uint8_t fIndex = 0;
};

unsigned GetIndex(const std::uint8_t* row, std::size_t x, TPixelFormat pf) {
    return PackedPixel(row, x, BitsPerPixel(pf));
}

void SetIndex(std::uint8_t* row, std::size_t x, TPixelFormat pf, unsigned v) {
    SetPackedPixel(row, x, BitsPerPixel(pf), v);
}

// Reads n pixels from column x0 of a stored row as B, G, R, A quadruples.
void DecodeRow(const std::uint8_t* row, std::size_t x0, std::size_t n, TPixelFormat pf,
               std::span<const TRGBQuad> table, std::uint8_t* out) {
    for (std::size_t i = 0; i < n; ++i, out += 4) {
        std::size_t x = x0 + i;
        switch (pf) {
            case pf1bit:
            case pf4bit:
            case pf8bit: {
                const TRGBQuad& q = table[GetIndex(row, x, pf)];
                out[0] = q.Blue, out[1] = q.Green, out[2] = q.Red, out[3] = 0;
                break;
            }
            case pf15bit:
            case pf16bit: {
                unsigned w = row[2 * x] | (row[2 * x + 1] << 8);
                out[0] = Expand5(w & 31);
                if (pf == pf15bit) {
                    out[1] = Expand5((w >> 5) & 31);
                    out[2] = Expand5((w >> 10) & 31);
                } else {
                    out[1] = Expand6((w >> 5) & 63);
                    out[2] = Expand5((w >> 11) & 31);
                }
                out[3] = 0;
                break;
            }
            case pf24bit:
                out[0] = row[3 * x], out[1] = row[3 * x + 1], out[2] = row[3 * x + 2], out[3] = 0;
                break;
            case pf32bit: std::memcpy(out, row + 4 * x, 4); break;
        }
    }
}

// Writes n B, G, R, A quadruples into a stored row from column x0.
void EncodeRow(const std::uint8_t* in, std::size_t n, std::uint8_t* row, std::size_t x0, TPixelFormat pf,
               NearestCache& nearest) {
    for (std::size_t i = 0; i < n; ++i, in += 4) {
        std::size_t x = x0 + i;
        switch (pf) {
            case pf1bit:
            case pf4bit:
            case pf8bit: SetIndex(row, x, pf, nearest(in[2], in[1], in[0])); break;
            case pf15bit:
            case pf16bit: {
                unsigned w = pf == pf15bit ? ((in[2] >> 3) << 10) | ((in[1] >> 3) << 5) | (in[0] >> 3)
                                           : ((in[2] >> 3) << 11) | ((in[1] >> 2) << 5) | (in[0] >> 3);
                row[2 * x] = static_cast<std::uint8_t>(w);
                row[2 * x + 1] = static_cast<std::uint8_t>(w >> 8);
                break;
            }
            case pf24bit: row[3 * x] = in[0], row[3 * x + 1] = in[1], row[3 * x + 2] = in[2]; break;
            case pf32bit: std::memcpy(row + 4 * x, in, 4); break;
        }
    }
}

// Allocates a zeroed buffer; false when too large or out of memory.
bool AllocateBuffer(int width, int height, TPixelFormat pf, TPixelBytes& out) {
    if (width < 0 || height < 0) return false;
    if (width == 0 || height == 0) {
        out.clear();
        return true;
    }
    std::uint64_t stride = BytesPerRow(static_cast<std::uint64_t>(width), pf);
    if (stride > kMaxBitmapBytes / static_cast<std::uint64_t>(height)) return false;
    try {
        TPixelBytes buf(static_cast<std::size_t>(stride * static_cast<std::uint64_t>(height)));
        out.swap(buf);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

int BitsPerPixel(TPixelFormat pf) {
    switch (pf) {
        case pf1bit: return 1;
        case pf4bit: return 4;
        case pf8bit: return 8;
        case pf15bit:
        case pf16bit: return 16;
        case pf24bit: return 24;
        case pf32bit: return 32;
    }
    return 32;
}

bool IsIndexed(TPixelFormat pf) {
    return pf == pf1bit || pf == pf4bit || pf == pf8bit;
}

int ColorTableSize(TPixelFormat pf) {
    return IsIndexed(pf) ? 1 << BitsPerPixel(pf) : 0;
}

std::uint64_t BytesPerRow(std::uint64_t width, TPixelFormat pf) {
    return (width * static_cast<std::uint64_t>(BitsPerPixel(pf)) + 31) / 32 * 4;
}

std::span<const TRGBQuad> DefaultColorTable(TPixelFormat pf) {
    switch (pf) {
        case pf1bit: return kMono;
        case pf4bit: return kWindows16;
        case pf8bit: return kDefault256;
        default: return {};
    }
}

std::span<const TRGBQuad, 20> SystemColors20() {
    return kSystem20;
}

static_assert(sizeof(TRGBQuad) == 4 && sizeof(TPaletteEntry) == 4, "entries are searched as 4-byte records");

int NearestColorIndex(std::span<const TRGBQuad> table, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return NearestColorEntry(reinterpret_cast<const std::uint8_t*>(table.data()), table.size(), b, g, r,
                             TColorDistance::Squares);
}

int NearestColorIndex(std::span<const TPaletteEntry> palette, std::uint8_t r, std::uint8_t g,
                      std::uint8_t b) {
    return NearestColorEntry(reinterpret_cast<const std::uint8_t*>(palette.data()), palette.size(), r, g, b,
                             TColorDistance::Squares);
}

// ---------------------------------------------------------------------------------
// TBitmap

TBitmap::TBitmap() = default;

TBitmap::TBitmap(const TBitmap& other) {
    CopyFrom(other);
}

TBitmap::TBitmap(TBitmap&& other) noexcept
    : fWidth(other.fWidth),
      fHeight(other.fHeight),
      fFormat(other.fFormat),
      fBits(std::move(other.fBits)),
      fTable(other.fTable),
      fTransparent(other.fTransparent),
      fTransparentMode(other.fTransparentMode),
      fTransparentColor(other.fTransparentColor) {
    other.fWidth = other.fHeight = 0;
    other.fBits.clear();
}

TBitmap& TBitmap::operator=(const TBitmap& other) {
    if (this != &other) CopyFrom(other);
    return *this;
}

TBitmap& TBitmap::operator=(TBitmap&& other) noexcept {
    if (this != &other) {
        fWidth = other.fWidth;
        fHeight = other.fHeight;
        fFormat = other.fFormat;
        fBits = std::move(other.fBits);
        fTable = other.fTable;
        fTransparent = other.fTransparent;
        fTransparentMode = other.fTransparentMode;
        fTransparentColor = other.fTransparentColor;
        other.fWidth = other.fHeight = 0;
        other.fBits.clear();
    }
    return *this;
}

void TBitmap::CopyFrom(const TBitmap& other) {
    fBits = other.fBits;  // may throw; the rest cannot, so a failure changes nothing
    fWidth = other.fWidth;
    fHeight = other.fHeight;
    fFormat = other.fFormat;
    fTable = other.fTable;
    fTransparent = other.fTransparent;
    fTransparentMode = other.fTransparentMode;
    fTransparentColor = other.fTransparentColor;
}

bool TBitmap::SetSize(int width, int height) {
    if (width == fWidth && height == fHeight) return true;
    TPixelBytes buf;
    if (!AllocateBuffer(width, height, fFormat, buf)) return false;
    const int oldW = fWidth, oldH = fHeight;
    const std::uint64_t oldStride = Stride();
    TPixelBytes old;
    old.swap(fBits);
    fBits.swap(buf);
    fWidth = width;
    fHeight = height;
    if (Empty()) return true;
    fCanvas.FillRect({0, 0, fWidth, fHeight});
    if (old.empty()) return true;
    const int w = std::min(oldW, fWidth), h = std::min(oldH, fHeight);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = old.data() + static_cast<std::size_t>(oldH - 1 - y) * oldStride;
        std::uint8_t* dst = ScanLine(y);
        if (IsIndexed(fFormat) && fFormat != pf8bit) {
            for (int x = 0; x < w; ++x)
                SetIndex(dst, static_cast<std::size_t>(x), fFormat,
                         GetIndex(src, static_cast<std::size_t>(x), fFormat));
        } else {
            std::memcpy(dst, src,
                        static_cast<std::size_t>(w) * static_cast<std::size_t>(BitsPerPixel(fFormat) / 8));
        }
    }
    return true;
}

bool TBitmap::Allocate(int width, int height, TPixelFormat pf) {
    TPixelBytes buf;
    if (!AllocateBuffer(width, height, pf, buf)) return false;
    fBits.swap(buf);
    fWidth = width;
    fHeight = height;
    fFormat = pf;
    fTable = {};
    auto def = DefaultColorTable(pf);
    std::copy(def.begin(), def.end(), fTable.begin());
    return true;
}

bool TBitmap::SetPixelFormat(TPixelFormat pf) {
    if (pf == fFormat) return true;
    const TPixelFormat oldFormat = fFormat;
    const bool keepIndices =
        IsIndexed(oldFormat) && IsIndexed(pf) && ColorTableSize(oldFormat) < ColorTableSize(pf);
    std::array<TRGBQuad, 256> table{};
    if (keepIndices) {
        std::copy_n(fTable.begin(), ColorTableSize(oldFormat), table.begin());
    } else {
        auto def = DefaultColorTable(pf);
        std::copy(def.begin(), def.end(), table.begin());
    }
    if (Empty()) {
        fFormat = pf;
        fTable = table;
        return true;
    }
    TPixelBytes buf;
    if (!AllocateBuffer(fWidth, fHeight, pf, buf)) return false;
    const std::uint64_t oldStride = Stride();
    const std::uint64_t newStride = BytesPerRow(static_cast<std::uint64_t>(fWidth), pf);
    const auto w = static_cast<std::size_t>(fWidth);
    const std::span<const TRGBQuad> oldTable = ColorTable();
    NearestCache nearest({table.data(), static_cast<std::size_t>(ColorTableSize(pf))});
    std::vector<std::uint8_t> quads(keepIndices ? 0 : w * 4);
    // Rows are converted in storage order; the order of rows does not matter here.
    for (std::size_t y = 0; y < static_cast<std::size_t>(fHeight); ++y) {
        const std::uint8_t* src = fBits.data() + y * oldStride;
        std::uint8_t* dst = buf.data() + y * newStride;
        if (keepIndices) {
            for (std::size_t x = 0; x < w; ++x) SetIndex(dst, x, pf, GetIndex(src, x, oldFormat));
        } else {
            DecodeRow(src, 0, w, oldFormat, oldTable, quads.data());
            EncodeRow(quads.data(), w, dst, 0, pf, nearest);
        }
    }
    fBits.swap(buf);
    fFormat = pf;
    fTable = table;
    return true;
}

std::uint8_t* TBitmap::ScanLine(int row) {
    if (row < 0 || row >= fHeight || fBits.empty())
        throw EInvalidGraphicOperation("Scan line index out of range");
    return fBits.data() + static_cast<std::size_t>(fHeight - 1 - row) * Stride();
}

const std::uint8_t* TBitmap::ScanLine(int row) const {
    return const_cast<TBitmap*>(this)->ScanLine(row);
}

void TBitmap::SetColorTable(std::span<const TRGBQuad> table) {
    auto n = static_cast<std::size_t>(ColorTableSize(fFormat));
    std::size_t k = std::min(n, table.size());
    std::copy_n(table.begin(), k, fTable.begin());
    std::fill(fTable.begin() + static_cast<std::ptrdiff_t>(k),
              fTable.begin() + static_cast<std::ptrdiff_t>(n), TRGBQuad{});
}

TPaletteEntries TBitmap::Palette() const {
    TPaletteEntries p;
    for (const TRGBQuad& q : ColorTable()) p.push_back({q.Red, q.Green, q.Blue, 0});
    return p;
}

void TBitmap::SetPalette(std::span<const TPaletteEntry> palette) {
    std::array<TRGBQuad, 256> quads{};
    std::size_t k = std::min<std::size_t>(palette.size(), 256);
    for (std::size_t i = 0; i < k; ++i) quads[i] = Q(palette[i].Red, palette[i].Green, palette[i].Blue);
    SetColorTable({quads.data(), k});
}

TColor TBitmap::TransparentColor() const {
    if (fTransparentMode == tmFixed) return fTransparentColor;
    return fCanvas.Pixels(0, fHeight - 1);
}

void TBitmap::SetTransparentColor(TColor c) {
    fTransparentColor = c;
    fTransparentMode = tmFixed;
}

// ---------------------------------------------------------------------------------
// TCanvas

TColor TCanvas::Pixels(int x, int y) const {
    const TBitmap& b = *fOwner;
    if (x < 0 || y < 0 || x >= b.fWidth || y >= b.fHeight) return clInvalidPixel;
    std::uint8_t q[4] = {};
    DecodeRow(b.ScanLine(y), static_cast<std::size_t>(x), 1, b.fFormat, b.ColorTable(), q);
    return MakeColor(q[2], q[1], q[0]);
}

void TCanvas::SetPixels(int x, int y, TColor c) {
    TBitmap& b = *fOwner;
    if (x < 0 || y < 0 || x >= b.fWidth || y >= b.fHeight) return;
    const std::uint8_t q[4] = {ColorB(c), ColorG(c), ColorR(c), 0};
    NearestCache nearest(b.ColorTable());
    EncodeRow(q, 1, b.ScanLine(y), static_cast<std::size_t>(x), b.fFormat, nearest);
}

void TCanvas::FillRect(const TRect& r) {
    TBitmap& b = *fOwner;
    const int x0 = std::max(r.Left, 0), x1 = std::min(r.Right, b.fWidth);
    const int y0 = std::max(r.Top, 0), y1 = std::min(r.Bottom, b.fHeight);
    if (x0 >= x1 || y0 >= y1) return;
    const auto n = static_cast<std::size_t>(x1 - x0);
    std::vector<std::uint8_t> quads(n * 4);
    for (std::size_t i = 0; i < n; ++i) {
        quads[4 * i] = ColorB(Brush.Color);
        quads[4 * i + 1] = ColorG(Brush.Color);
        quads[4 * i + 2] = ColorR(Brush.Color);
    }
    NearestCache nearest(b.ColorTable());
    EncodeRow(quads.data(), n, b.ScanLine(y0), static_cast<std::size_t>(x0), b.fFormat, nearest);
    const bool wholeRows = x0 == 0 && x1 == b.fWidth;  // then later rows are copies of the first
    for (int y = y0 + 1; y < y1; ++y) {
        if (wholeRows)
            std::memcpy(b.ScanLine(y), b.ScanLine(y0), static_cast<std::size_t>(b.Stride()));
        else
            EncodeRow(quads.data(), n, b.ScanLine(y), static_cast<std::size_t>(x0), b.fFormat, nearest);
    }
}

void TCanvas::Draw(int x, int y, const TBitmap& source) {
    Blit({x, y, x + source.Width(), y + source.Height()}, source, {0, 0, source.Width(), source.Height()});
}

void TCanvas::StretchDraw(const TRect& dest, const TBitmap& source) {
    Blit(dest, source, {0, 0, source.Width(), source.Height()});
}

void TCanvas::CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect) {
    Blit(dest, *source.fOwner, sourceRect);
}

void TCanvas::Blit(const TRect& dest, const TBitmap& sourceIn, const TRect& sr) {
    TBitmap& d = *fOwner;
    const std::int64_t dw = static_cast<std::int64_t>(dest.Right) - dest.Left;
    const std::int64_t dh = static_cast<std::int64_t>(dest.Bottom) - dest.Top;
    const std::int64_t sw = static_cast<std::int64_t>(sr.Right) - sr.Left;
    const std::int64_t sh = static_cast<std::int64_t>(sr.Bottom) - sr.Top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || d.Empty() || sourceIn.Empty()) return;

    // Drawing a bitmap onto itself reads from a snapshot.
    TBitmap snapshot;
    if (&sourceIn == &d) snapshot = sourceIn;
    const TBitmap& s = &sourceIn == &d ? snapshot : sourceIn;

    // Nearest source pixel of a destination offset: centre sampling, monotonic.
    auto srcOf = [](std::int64_t offset, std::int64_t dn, std::int64_t sn, std::int64_t s0) {
        return s0 + (2 * offset + 1) * sn / (2 * dn);
    };
    // Destination columns inside both bitmaps.
    std::vector<std::size_t> srcX;
    std::int64_t xa = -1;
    for (std::int64_t x = std::max<std::int64_t>(dest.Left, 0);
         x < std::min<std::int64_t>(dest.Right, d.fWidth); ++x) {
        std::int64_t sx = srcOf(x - dest.Left, dw, sw, sr.Left);
        if (sx < 0 || sx >= s.fWidth) {
            if (xa >= 0) break;
            continue;
        }
        if (xa < 0) xa = x;
        srcX.push_back(static_cast<std::size_t>(sx));
    }
    if (srcX.empty()) return;
    const std::size_t n = srcX.size();
    const std::size_t sxMin = srcX.front(), sxCount = srcX.back() - sxMin + 1;
    const bool sameIndexed = IsIndexed(s.fFormat) && s.fFormat == d.fFormat &&
                             std::equal(s.ColorTable().begin(), s.ColorTable().end(), d.ColorTable().begin());
    const bool byteCopy = !IsIndexed(d.fFormat) || d.fFormat == pf8bit;
    const bool straight =
        dw == sw && s.fFormat == d.fFormat && (sameIndexed || !IsIndexed(d.fFormat)) && byteCopy;
    const auto bytesPP = static_cast<std::size_t>(BitsPerPixel(d.fFormat) / 8);

    std::vector<std::uint8_t> srcQuads(sxCount * 4), outQuads(n * 4);
    NearestCache nearest(d.ColorTable());
    std::int64_t decodedRow = -1;
    for (std::int64_t y = std::max<std::int64_t>(dest.Top, 0);
         y < std::min<std::int64_t>(dest.Bottom, d.fHeight); ++y) {
        std::int64_t sy = srcOf(y - dest.Top, dh, sh, sr.Top);
        if (sy < 0 || sy >= s.fHeight) continue;
        const std::uint8_t* srow = s.ScanLine(static_cast<int>(sy));
        std::uint8_t* drow = d.ScanLine(static_cast<int>(y));
        const auto dx0 = static_cast<std::size_t>(xa);
        if (straight) {
            std::memcpy(drow + dx0 * bytesPP, srow + sxMin * bytesPP, n * bytesPP);
        } else if (sameIndexed) {
            for (std::size_t i = 0; i < n; ++i)
                SetIndex(drow, dx0 + i, d.fFormat, GetIndex(srow, srcX[i], s.fFormat));
        } else {
            if (sy != decodedRow) {
                DecodeRow(srow, sxMin, sxCount, s.fFormat, s.ColorTable(), srcQuads.data());
                decodedRow = sy;
            }
            for (std::size_t i = 0; i < n; ++i)
                std::memcpy(&outQuads[4 * i], &srcQuads[4 * (srcX[i] - sxMin)], 4);
            EncodeRow(outQuads.data(), n, drow, dx0, d.fFormat, nearest);
        }
    }
}

}  // namespace velto
