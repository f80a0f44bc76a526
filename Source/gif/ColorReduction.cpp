#include "gif/ColorReduction.h"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

#include "gif/Octree.h"

namespace velto {

namespace {

constexpr std::uint8_t kNoCollapse = 4;
constexpr std::uint64_t kLargeBitmapPixels = 500000;

TPaletteEntries FromQuads(std::span<const TRGBQuad> table) {
    TPaletteEntries out;
    out.reserve(table.size());
    for (const TRGBQuad& q : table) out.push_back({q.Red, q.Green, q.Blue, kNoCollapse});
    return out;
}

TPaletteEntries Greys(std::initializer_list<std::uint8_t> levels) {
    TPaletteEntries out;
    for (std::uint8_t v : levels) out.push_back({v, v, v, kNoCollapse});
    return out;
}

// --- Colour lookups: a colour to a palette index, and the palette colour chosen.

// Nearest palette entry by squared distance, the lowest index among equals (as
// NearestColorIndex). Dithering asks once a pixel with ever new colours, so the
// entries are kept sorted by green: walking out from the query's green, a side
// ends once its green difference alone exceeds the best distance found. Answers
// are also kept in a direct-mapped memo.
class SlowLookup {
public:
    explicit SlowLookup(std::span<const TPaletteEntry> palette)
        : fEntries(palette.begin(), palette.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(palette.size(), 256))),
          fKeys(kSlots, kEmpty),
          fIndex(kSlots) {
        for (std::size_t i = 0; i < fEntries.size(); ++i)
            fByGreen.push_back({fEntries[i].Red, fEntries[i].Green, fEntries[i].Blue, static_cast<std::uint8_t>(i)});
        std::stable_sort(fByGreen.begin(), fByGreen.end(), [](const Entry& a, const Entry& b) { return a.g < b.g; });
        std::size_t pos = 0;
        for (int g = 0; g < 256; ++g) {
            while (pos < fByGreen.size() && fByGreen[pos].g < g) ++pos;
            fFirstOfGreen[static_cast<std::size_t>(g)] = static_cast<std::uint16_t>(pos);
        }
    }

    int Colors() const { return static_cast<int>(fEntries.size()); }

    std::uint8_t Lookup(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t& R, std::uint8_t& G,
                        std::uint8_t& B) {
        const std::uint32_t key = r | (g << 8) | (static_cast<std::uint32_t>(b) << 16);
        const std::uint32_t slot = ((key * 0x9E3779B1u) >> (32 - kSlotBits));
        if (fKeys[slot] != key) {
            fKeys[slot] = key;
            fIndex[slot] = Search(r, g, b);
        }
        const std::uint8_t index = fIndex[slot];
        const TPaletteEntry& e = fEntries[index];
        R = e.Red, G = e.Green, B = e.Blue;
        return index;
    }

private:
    struct Entry {
        std::uint8_t r, g, b, index;
    };

    std::uint8_t Search(int r, int g, int b) const {
        int best = std::numeric_limits<int>::max();
        int bestIndex = 0;
        auto consider = [&](const Entry& e) {
            const int dg = e.g - g;
            if (dg * dg > best) return false;
            const int dr = e.r - r, db = e.b - b;
            const int d = dr * dr + dg * dg + db * db;
            if (d < best || (d == best && e.index < bestIndex)) best = d, bestIndex = e.index;
            return true;
        };
        const std::size_t start = fFirstOfGreen[static_cast<std::size_t>(g)];
        for (std::size_t i = start; i < fByGreen.size() && consider(fByGreen[i]); ++i) {
        }
        for (std::size_t i = start; i > 0 && consider(fByGreen[i - 1]); --i) {
        }
        return static_cast<std::uint8_t>(bestIndex);
    }

    static constexpr int kSlotBits = 15;
    static constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;  // no 24-bit key has high bits

    TPaletteEntries fEntries;
    std::vector<Entry> fByGreen;
    std::array<std::uint16_t, 256> fFirstOfGreen{};
    std::vector<std::uint32_t> fKeys;
    std::vector<std::uint8_t> fIndex;
};

// The web cube: each channel to the nearest of 0, 51, ..., 255.
struct NetscapeLookup {
    static int Colors() { return 216; }
    static std::uint8_t Lookup(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t& R, std::uint8_t& G,
                               std::uint8_t& B) {
        const int lr = (r + 3) / 51, lg = (g + 3) / 51, lb = (b + 3) / 51;
        R = static_cast<std::uint8_t>(lr * 51), G = static_cast<std::uint8_t>(lg * 51), B = static_cast<std::uint8_t>(lb * 51);
        return static_cast<std::uint8_t>(lb + 6 * lg + 36 * lr);
    }
};

struct GrayScaleLookup {
    static int Colors() { return 256; }
    static std::uint8_t Lookup(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t& R, std::uint8_t& G,
                               std::uint8_t& B) {
        const auto y = static_cast<std::uint8_t>((29 * b + 150 * g + 77 * r) >> 8);
        R = G = B = y;
        return y;
    }
};

struct MonochromeLookup {
    static int Colors() { return 2; }
    static std::uint8_t Lookup(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t& R, std::uint8_t& G,
                               std::uint8_t& B) {
        const bool white = 29 * b + 150 * g + 77 * r > 32512;
        R = G = B = white ? 255 : 0;
        return white ? 1 : 0;
    }
};

// --- Dither engines. Each walks a row in its Direction from Column; Dither
// returns the palette index of one pixel and moves Column on.

class EngineBase {
public:
    explicit EngineBase(int width) : Width(width) {}
    int Direction = 1;
    int Column = 0;

protected:
    // Looks up the colour (which carries its share of earlier errors), moves
    // on one column and gives each channel's error against the colour chosen.
    template <class L>
    std::uint8_t Choose(const int v[3], L& lookup, int error[3]) {
        std::uint8_t p[3];
        const std::uint8_t index = lookup.Lookup(static_cast<std::uint8_t>(v[0]), static_cast<std::uint8_t>(v[1]),
                                                 static_cast<std::uint8_t>(v[2]), p[0], p[1], p[2]);
        Column += Direction;
        for (int c = 0; c < 3; ++c) error[c] = v[c] - p[c];
        return index;
    }
    void FlipDirection() {
        Direction = -Direction;
        Column = Direction == 1 ? 0 : Width - 1;
    }
    int Width;
};

class NoDitherer : public EngineBase {
public:
    using EngineBase::EngineBase;
    template <class L>
    std::uint8_t Dither(const std::uint8_t in[3], L& lookup) {
        const int v[3] = {in[0], in[1], in[2]};
        int error[3];
        return Choose(v, lookup, error);
    }
    void NextLine() { FlipDirection(); }
};

// Floyd-Steinberg in one error row per channel: ahead 7 (carried to the next
// pixel), next row behind 3, below 5, ahead 1, over 16.
// The share of next-row column x is complete once the pixel after x is done,
// so it is written one entry behind the cursor: whichever way a row runs,
// entry x + 1 holds column x, and a pixel reads the entry ahead of its cursor.
class FloydSteinbergDitherer : public EngineBase {
public:
    explicit FloydSteinbergDitherer(int width)
        : EngineBase(width), fStride(static_cast<std::size_t>(width) + 2), fRows(3 * fStride) {}

    template <class L>
    std::uint8_t Dither(const std::uint8_t in[3], L& lookup) {
        int v[3];
        for (int c = 0; c < 3; ++c)
            v[c] = std::clamp(in[c] + (Row(c, Direction) + fCarry[c] + 8) / 16, 0, 255);
        int error[3];
        const std::uint8_t index = Choose(v, lookup, error);
        // A zero error still moves the shares on: the entry behind is complete
        // either way, and what it held was the row above's.
        for (int c = 0; c < 3; ++c) {
            const int e = error[c];
            Row(c) = fPending[c] + 3 * e;
            fPending[c] = fNext[c] + 5 * e;
            fNext[c] = e;
            fCarry[c] = 7 * e;
        }
        fCursor += Direction;
        return index;
    }

    void NextLine() {
        for (int c = 0; c < 3; ++c) {
            Row(c) = fPending[c];
            fCarry[c] = fPending[c] = fNext[c] = 0;
        }
        FlipDirection();
        fCursor = Direction == 1 ? 0 : static_cast<std::ptrdiff_t>(Width) + 1;
    }

private:
    std::int32_t& Row(int c, std::ptrdiff_t offset = 0) {
        return fRows[static_cast<std::size_t>(c) * fStride + static_cast<std::size_t>(fCursor + offset)];
    }

    std::size_t fStride;
    std::vector<std::int32_t> fRows;
    std::ptrdiff_t fCursor = 0;
    int fCarry[3] = {}, fPending[3] = {}, fNext[3] = {};
};

// One weight of an error-diffusion kernel: `row` rows below the current one,
// `offset` columns ahead in the scan direction (negative: behind).
struct Tap {
    int row, offset, weight;
};

struct Kernel {
    int rows;     // error rows kept, the current one included
    int margin;   // entries before column 0 (and after the last column)
    int divisor;  // the sum of an entry is divided when the entry is read
    std::span<const Tap> taps;
};

constexpr Tap kStuckiTaps[] = {{0, 1, 8},  {0, 2, 4},  {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4},
                               {1, 2, 2},  {2, -2, 1}, {2, -1, 2}, {2, 0, 4},  {2, 1, 2}, {2, 2, 1}};
constexpr Tap kSierraTaps[] = {{0, 1, 5}, {0, 2, 3}, {1, -2, 2}, {1, -1, 4}, {1, 0, 5},
                               {1, 1, 4}, {1, 2, 2}, {2, -1, 2}, {2, 0, 3},  {2, 1, 2}};
// The weights add up to 48, and the divisor is 38.
constexpr Tap kJaJuNiTaps[] = {{0, 1, 7},  {0, 2, 5},  {1, -2, 3}, {1, -1, 5}, {1, 0, 7}, {1, 1, 5},
                               {1, 2, 3},  {2, -2, 1}, {2, -1, 3}, {2, 0, 5},  {2, 1, 3}, {2, 2, 1}};
constexpr Tap kSteveArcheTaps[] = {{0, 2, 32},  {1, -3, 12}, {1, -1, 26}, {1, 1, 30}, {1, 3, 16},
                                   {2, -2, 12}, {2, 0, 26},  {2, 2, 12},  {3, -3, 5}, {3, -1, 12},
                                   {3, 1, 12},  {3, 3, 5}};
constexpr Tap kBurkesTaps[] = {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}};

constexpr Kernel kStucki{3, 2, 42, kStuckiTaps};
constexpr Kernel kSierra{3, 2, 32, kSierraTaps};
constexpr Kernel kJaJuNi{3, 2, 38, kJaJuNiTaps};
constexpr Kernel kSteveArche{4, 3, 200, kSteveArcheTaps};
constexpr Kernel kBurkes{2, 2, 32, kBurkesTaps};

// The kernels that keep whole error rows: the current row and those below it,
// rotated at each row end (the cleared current row becomes the last).
class KernelDitherer : public EngineBase {
public:
    KernelDitherer(int width, const Kernel& kernel)
        : EngineBase(width),
          fKernel(kernel),
          fStride(static_cast<std::size_t>(width) + 2 * static_cast<std::size_t>(kernel.margin)),
          fRows(static_cast<std::size_t>(kernel.rows) * 3 * fStride),
          fPos(kernel.margin) {
        for (int r = 0; r < fKernel.rows; ++r) fOrder[static_cast<std::size_t>(r)] = r;
    }

    template <class L>
    std::uint8_t Dither(const std::uint8_t in[3], L& lookup) {
        int v[3];
        for (int c = 0; c < 3; ++c)
            v[c] = std::clamp(in[c] + (Entry(0, c, 0) + fKernel.divisor / 2) / fKernel.divisor, 0, 255);
        int error[3];
        const std::uint8_t index = Choose(v, lookup, error);
        for (int c = 0; c < 3; ++c) {
            const int e = error[c];
            if (e == 0) continue;
            for (const Tap& t : fKernel.taps) Entry(t.row, c, t.offset * Direction) += t.weight * e;
        }
        fPos += Direction;
        return index;
    }

    void NextLine() {
        const int first = fOrder[0];
        std::fill_n(fRows.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(first) * 3 * fStride),
                    3 * fStride, 0);
        for (int r = 0; r + 1 < fKernel.rows; ++r) fOrder[static_cast<std::size_t>(r)] = fOrder[static_cast<std::size_t>(r) + 1];
        fOrder[static_cast<std::size_t>(fKernel.rows) - 1] = first;
        FlipDirection();
        fPos = static_cast<std::ptrdiff_t>(Column) + fKernel.margin;
    }

private:
    std::int32_t& Entry(int row, int c, int offset) {
        const auto buffer = static_cast<std::size_t>(fOrder[static_cast<std::size_t>(row)]) * 3 + static_cast<std::size_t>(c);
        return fRows[buffer * fStride + static_cast<std::size_t>(fPos + offset)];
    }

    const Kernel& fKernel;
    std::size_t fStride;
    std::vector<std::int32_t> fRows;
    std::array<int, 4> fOrder{};
    std::ptrdiff_t fPos;
};

// The serpentine walk: every row from the top, each from the engine's Column
// in its Direction.
template <class L, class E>
void Walk(const TBitmap& source, TBitmap& result, L& lookup, E& engine) {
    const int width = source.Width();
    for (int y = 0; y < source.Height(); ++y) {
        const std::uint8_t* in = source.ScanLine(y);
        std::uint8_t* out = result.ScanLine(y);
        while (engine.Column >= 0 && engine.Column < width) {
            const int x = engine.Column;
            const std::uint8_t rgb[3] = {in[3 * x + 2], in[3 * x + 1], in[3 * x]};
            out[x] = engine.Dither(rgb, lookup);
        }
        engine.NextLine();
    }
}

// The 8-bit result's storage and colour table.
void PrepareResult(TBitmap& result, int width, int height, std::span<const TPaletteEntry> palette) {
    if (width <= 0 || height <= 0) throw GIFException("Invalid image dimensions");
    if (!result.Allocate(width, height, pf8bit)) throw GIFException("Failed to allocate memory for GIF DIB");
    result.SetPalette(palette.first(std::min<std::size_t>(palette.size(), 256)));
}

// Steps 7 and 8 of the reduction for one lookup: the engine of the dither kind
// (an unknown kind leaves the result empty), the result, the walk.
template <class L>
void DitherWith(const TBitmap& source, TBitmap& result, TDitherKind dither, L& lookup,
                std::span<const TPaletteEntry> palette) {
    const Kernel* kernel = nullptr;
    switch (dither) {
        case TDitherKind::dtNone:
        case TDitherKind::dtFloydSteinberg: break;
        case TDitherKind::dtStucki: kernel = &kStucki; break;
        case TDitherKind::dtSierra: kernel = &kSierra; break;
        case TDitherKind::dtJaJuNi: kernel = &kJaJuNi; break;
        case TDitherKind::dtSteveArche: kernel = &kSteveArche; break;
        case TDitherKind::dtBurkes: kernel = &kBurkes; break;
        default: return;
    }
    PrepareResult(result, source.Width(), source.Height(), palette);
    if (dither == TDitherKind::dtNone) {
        NoDitherer engine(source.Width());
        Walk(source, result, lookup, engine);
    } else if (dither == TDitherKind::dtFloydSteinberg) {
        FloydSteinbergDitherer engine(source.Width());
        Walk(source, result, lookup, engine);
    } else {
        KernelDitherer engine(source.Width(), *kernel);
        Walk(source, result, lookup, engine);
    }
}

}  // namespace

TPaletteEntries CreateSystemPalette() { return FromQuads(SystemColors20()); }

// Any fixed table spread over the colour cube serves; the 8-bit default table
// (system colours, the 6x6x6 cube and a grey ramp) is the one bitmaps use.
TPaletteEntries CreateScreenHalftonePalette() { return FromQuads(DefaultColorTable(pf8bit)); }

TPaletteEntries CreateGrayScale4Palette() { return Greys({0x00, 0x80, 0xC0, 0xFF}); }

TPaletteEntries CreateMonochromePalette() { return Greys({0x00, 0xFF}); }

TPaletteEntries CreateGrayScalePalette() {
    TPaletteEntries out(256);
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        out[static_cast<std::size_t>(i)] = {v, v, v, kNoCollapse};
    }
    return out;
}

TPaletteEntries CreateWebPalette() {
    TPaletteEntries out;
    out.reserve(216);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                out.push_back({static_cast<std::uint8_t>(51 * r), static_cast<std::uint8_t>(51 * g),
                               static_cast<std::uint8_t>(51 * b), 0});
    return out;
}

TPaletteEntries CreateOptimizedPaletteFromSingleBitmap(const TBitmap& bitmap, int colors, int colorBits, bool windows) {
    constexpr std::size_t kSystemHalf = 10;
    constexpr int kWindowsLeaves = 236;
    const int leaves = windows ? kWindowsLeaves : std::clamp(colors, 1, TColorQuantizer::MaxTableSize);
    TColorQuantizer quantizer(leaves, colorBits);
    if (bitmap.PixelFormat() == pf24bit || IsIndexed(bitmap.PixelFormat())) {
        quantizer.ProcessImage(bitmap, TRowOrder::TopDown);
    } else {
        TBitmap rgb(bitmap);
        if (rgb.SetPixelFormat(pf24bit)) quantizer.ProcessImage(rgb, TRowOrder::TopDown);
    }
    TPaletteEntries palette(windows ? 256 : static_cast<std::size_t>(leaves), TPaletteEntry{0, 0, 0, kNoCollapse});
    const std::size_t first = windows ? kSystemHalf : 0;
    const auto table = quantizer.GetColorTable();
    for (std::size_t i = 0; i < table.size(); ++i) palette[first + i] = {table[i].Red, table[i].Green, table[i].Blue, kNoCollapse};
    if (windows) {
        const TPaletteEntries system = CreateSystemPalette();
        std::copy_n(system.begin(), kSystemHalf, palette.begin());
        std::copy_n(system.begin() + kSystemHalf, kSystemHalf, palette.end() - kSystemHalf);
    }
    return palette;
}

TBitmap ReduceColors(const TBitmap& bitmap, TReductionMethod method, TDitherKind dither, int reductionBits,
                     std::span<const TPaletteEntry> customPalette) {
    TBitmap result;
    if (method == TReductionMethod::crNone) {
        result.Assign(bitmap);
        if (!result.SetPixelFormat(pf24bit)) throw GIFException("Failed to allocate memory for GIF DIB");
        return result;
    }
    if (static_cast<std::uint64_t>(bitmap.Width()) * static_cast<std::uint64_t>(bitmap.Height()) > kLargeBitmapPixels)
        result.SetPixelFormat(pf1bit);  // the empty bitmap an unknown method or mode returns

    // The walk reads 24-bit rows; the caller's bitmap stays as it is.
    TBitmap converted;
    const TBitmap* source = &bitmap;
    if (bitmap.PixelFormat() != pf24bit) {
        converted.Assign(bitmap);
        if (!converted.SetPixelFormat(pf24bit)) throw GIFException("Failed to allocate memory for GIF DIB");
        source = &converted;
    }

    const int bits = std::clamp(reductionBits, kMinReductionBits, kMaxReductionBits);
    TPaletteEntries palette;
    switch (method) {
        case TReductionMethod::crSystem20: palette = CreateSystemPalette(); break;
        case TReductionMethod::crHalftone: palette = CreateScreenHalftonePalette(); break;
        case TReductionMethod::crGray4: palette = CreateGrayScale4Palette(); break;
        case TReductionMethod::crBlackWhite: palette = CreateMonochromePalette(); break;
        case TReductionMethod::crGray256: palette = CreateGrayScalePalette(); break;
        case TReductionMethod::crWeb216: palette = CreateWebPalette(); break;
        case TReductionMethod::crOctree:
            palette = CreateOptimizedPaletteFromSingleBitmap(*source, 1 << bits, 8, false);
            break;
        case TReductionMethod::crOctreeSystem: palette = CreateOptimizedPaletteFromSingleBitmap(*source, 256, 8, true); break;
        case TReductionMethod::crGivenPalette: palette.assign(customPalette.begin(), customPalette.end()); break;
        default: return result;
    }

    switch (method) {
        case TReductionMethod::crBlackWhite: {
            MonochromeLookup lookup;
            DitherWith(*source, result, dither, lookup, palette);
            break;
        }
        case TReductionMethod::crGray256: {
            GrayScaleLookup lookup;
            DitherWith(*source, result, dither, lookup, palette);
            break;
        }
        case TReductionMethod::crWeb216: {
            NetscapeLookup lookup;
            DitherWith(*source, result, dither, lookup, palette);
            break;
        }
        default: {
            SlowLookup lookup(palette);
            if (lookup.Colors() == 0) return result;
            DitherWith(*source, result, dither, lookup, palette);
            break;
        }
    }
    return result;
}

}  // namespace velto
