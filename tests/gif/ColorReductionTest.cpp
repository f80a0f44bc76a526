// ReduceColors: methods, lookups, dither engines, the empty and failing results.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "gif/ColorReduction.h"

using namespace velto;

namespace {

struct Rgb {
    std::uint8_t r, g, b;
};

TBitmap Picture(int w, int h, const std::function<Rgb(int, int)>& f, TPixelFormat pf = pf24bit) {
    TBitmap bmp;
    EXPECT_TRUE(bmp.Allocate(w, h, pf24bit));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb c = f(x, y);
            std::uint8_t* p = bmp.ScanLine(y) + 3 * x;
            p[0] = c.b, p[1] = c.g, p[2] = c.r;
        }
    if (pf != pf24bit) {
        EXPECT_TRUE(bmp.SetPixelFormat(pf));
    }
    return bmp;
}

TBitmap Uniform(int w, int h, Rgb c) {
    return Picture(w, h, [c](int, int) { return c; });
}

// The result's indices, rows from the top, one digit or letter each.
std::string Indices(const TBitmap& bmp) {
    std::string s;
    for (int y = 0; y < bmp.Height(); ++y)
        for (int x = 0; x < bmp.Width(); ++x) {
            const int v = bmp.ScanLine(y)[x];
            s += static_cast<char>(v < 10 ? '0' + v : 'a' + v - 10);
        }
    return s;
}

int Index(const TBitmap& bmp, int x = 0, int y = 0) { return bmp.ScanLine(y)[x]; }

TColor ColorAt(const TBitmap& bmp, int x, int y) {
    return ColorFromQuad(bmp.ColorTable()[bmp.ScanLine(y)[x]]);
}

const TPaletteEntries kFour = {{0, 0, 0, 0}, {255, 255, 255, 0}, {255, 0, 0, 0}, {0, 128, 255, 0}};

// A small busy picture whose dithered indices were worked out by hand from the
// kernels' description (serpentine rows, errors kept undivided until read,
// divisions truncating toward zero).
TBitmap Busy() {
    return Picture(9, 5, [](int x, int y) {
        return Rgb{static_cast<std::uint8_t>((x * 29 + y * 13) % 256), static_cast<std::uint8_t>((x * 7 * y + 40) % 256),
                   static_cast<std::uint8_t>((200 - x * 11 - y * 17 + 256) % 256)};
    });
}

}  // namespace

TEST(ColorReduction, DitherEnginesGiveTheirIndices) {
    struct Row {
        const char* name;
        TDitherKind kind;
        const char* indices;
    };
    const Row rows[] = {
        {"none", TDitherKind::dtNone, "333332222333332222333322220333322213000221110"},
        {"Floyd-Steinberg", TDitherKind::dtFloydSteinberg, "330323222033232321302321210233010123323212110"},
        {"Stucki", TDitherKind::dtStucki, "333032222030323321302321210033212123323231210"},
        {"Sierra", TDitherKind::dtSierra, "333032222330323321002321213332312210032321110"},
        {"JaJuNi (divisor 38)", TDitherKind::dtJaJuNi, "333032222332323231003231213323322120322312110"},
        {"SteveArche", TDitherKind::dtSteveArche, "333302222003322312333223110023322213033221110"},
        {"Burkes", TDitherKind::dtBurkes, "330323222033232321303231210032322123323211210"},
    };
    const TBitmap source = Busy();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TBitmap out = ReduceColors(source, TReductionMethod::crGivenPalette, row.kind, 8, kFour);
        ASSERT_EQ(out.PixelFormat(), pf8bit);
        EXPECT_EQ(Indices(out), row.indices);
        // The colour table is the palette, black beyond it.
        EXPECT_EQ(ColorFromQuad(out.ColorTable()[2]), MakeColor(255, 0, 0));
        EXPECT_EQ(ColorFromQuad(out.ColorTable()[4]), clBlack);
        EXPECT_EQ(out.ColorTable().size(), 256u);
    }
}

namespace {

// Floyd-Steinberg worked out on a whole-picture error table: rows from the top
// in serpentine order, 7/16 to the next pixel in the scan direction and, on the
// row below, 3/16 behind, 5/16 below and 1/16 ahead; shares are summed
// undivided and divided (rounded, truncating toward zero) when read; the
// nearest palette entry by squared distance, the lowest of equals.
std::string FloydSteinbergByTable(const TBitmap& src, const TPaletteEntries& palette) {
    const int w = src.Width(), h = src.Height();
    std::vector<std::array<int, 3>> acc(static_cast<std::size_t>(w) * static_cast<std::size_t>(h + 1), {0, 0, 0});
    auto at = [&](int x, int y) -> std::array<int, 3>* {
        return x < 0 || x >= w ? nullptr : &acc[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)];
    };
    std::vector<int> out(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        const int dir = y % 2 == 0 ? 1 : -1;
        for (int i = 0; i < w; ++i) {
            const int x = dir == 1 ? i : w - 1 - i;
            const std::uint8_t* p = src.ScanLine(y) + 3 * x;
            const int in[3] = {p[2], p[1], p[0]};
            int v[3];
            for (int c = 0; c < 3; ++c) v[c] = std::clamp(in[c] + ((*at(x, y))[c] + 8) / 16, 0, 255);
            int best = 0, bestD = std::numeric_limits<int>::max();
            for (std::size_t k = 0; k < palette.size(); ++k) {
                const int dr = palette[k].Red - v[0], dg = palette[k].Green - v[1], db = palette[k].Blue - v[2];
                const int d = dr * dr + dg * dg + db * db;
                if (d < bestD) bestD = d, best = static_cast<int>(k);
            }
            out[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] = best;
            const int chosen[3] = {palette[static_cast<std::size_t>(best)].Red, palette[static_cast<std::size_t>(best)].Green,
                                   palette[static_cast<std::size_t>(best)].Blue};
            for (int c = 0; c < 3; ++c) {
                const int e = v[c] - chosen[c];
                for (auto [dx, dy, weight] : {std::array{1, 0, 7}, std::array{-1, 1, 3}, std::array{0, 1, 5}, std::array{1, 1, 1}})
                    if (auto* cell = at(x + dx * dir, y + dy)) (*cell)[c] += weight * e;
            }
        }
    }
    std::string s;
    for (int v : out) s += static_cast<char>(v < 10 ? '0' + v : 'a' + v - 10);
    return s;
}

}  // namespace

TEST(ColorReduction, FloydSteinbergSpreadsByItsKernel) {
    const TPaletteEntries blackWhite = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    struct Row {
        const char* name;
        TBitmap source;
        const TPaletteEntries* palette;
    };
    std::mt19937 random(7);
    const Row rows[] = {
        {"busy picture, four colours", Busy(), &kFour},
        {"grey ramp, one pixel wide", Picture(1, 40, [](int, int y) { return Rgb{static_cast<std::uint8_t>(6 * y), 0, 0}; }), &blackWhite},
        {"grey ramp, two wide", Picture(2, 17, [](int x, int y) { auto v = static_cast<std::uint8_t>(15 * y + x); return Rgb{v, v, v}; }), &blackWhite},
        {"grey ramp across, 33 wide", Picture(33, 12, [](int x, int) { auto v = static_cast<std::uint8_t>(8 * x); return Rgb{v, v, v}; }), &blackWhite},
        {"mid-grey column", Picture(1, 60, [](int, int y) { auto v = static_cast<std::uint8_t>(127 + y % 2); return Rgb{v, v, v}; }), &blackWhite},
        {"noisy mid-grey column", Picture(1, 80, [&](int, int) { auto v = static_cast<std::uint8_t>(100 + random() % 56); return Rgb{v, v, v}; }), &blackWhite},
        {"noise, four colours", Picture(23, 19, [&](int, int) {
             return Rgb{static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random())};
         }), &kFour},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TBitmap out = ReduceColors(row.source, TReductionMethod::crGivenPalette, TDitherKind::dtFloydSteinberg, 8, *row.palette);
        EXPECT_EQ(Indices(out), FloydSteinbergByTable(row.source, *row.palette));
    }
}

TEST(ColorReduction, NarrowPicturesStayInsideTheErrorRows) {
    // One pixel wide (and one high): the kernels reach two or three entries
    // beside the column; the margins must hold them in both scan directions.
    for (int kind = 0; kind <= 6; ++kind)
        for (auto [w, h] : {std::pair{1, 9}, std::pair{9, 1}, std::pair{2, 5}, std::pair{1, 1}}) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << ", " << w << "x" << h);
            const TBitmap src = Picture(w, h, [](int x, int y) {
                return Rgb{static_cast<std::uint8_t>(40 * y + 90 * x), 100, static_cast<std::uint8_t>(250 - 30 * y)};
            });
            const TBitmap out = ReduceColors(src, TReductionMethod::crGivenPalette, static_cast<TDitherKind>(kind), 8, kFour);
            ASSERT_EQ(out.Width(), w);
            ASSERT_EQ(out.Height(), h);
            for (char c : Indices(out)) EXPECT_LT(c - '0', 4);
        }
}

TEST(ColorReduction, FixedMethodsMapColoursExactly) {
    struct Row {
        const char* name;
        TReductionMethod method;
        Rgb in;
        int index;
        TColor out;
    };
    const Row rows[] = {
        {"web: white is the last entry", TReductionMethod::crWeb216, {255, 255, 255}, 215, clWhite},
        {"web: black is the first", TReductionMethod::crWeb216, {0, 0, 0}, 0, clBlack},
        {"web: 48 rounds up to level 1, blue counts ones", TReductionMethod::crWeb216, {0, 0, 48}, 1, MakeColor(0, 0, 51)},
        {"web: 47 stays at level 0", TReductionMethod::crWeb216, {47, 0, 150}, 3, MakeColor(0, 0, 153)},
        {"web: green counts 6", TReductionMethod::crWeb216, {205, 102, 0}, 36 * 4 + 6 * 2, MakeColor(204, 102, 0)},
        {"black and white: grey 127 (sum 32512) is black", TReductionMethod::crBlackWhite, {127, 127, 127}, 0, clBlack},
        {"black and white: grey 128 is white", TReductionMethod::crBlackWhite, {128, 128, 128}, 1, clWhite},
        {"black and white: green weighs most", TReductionMethod::crBlackWhite, {0, 220, 0}, 1, clWhite},
        {"256 greys: weighted and shifted", TReductionMethod::crGray256, {255, 0, 0}, 76, MakeColor(76, 76, 76)},
        {"256 greys: white stays white", TReductionMethod::crGray256, {255, 255, 255}, 255, clWhite},
        {"4 greys: nearest", TReductionMethod::crGray4, {100, 100, 100}, 1, MakeColor(128, 128, 128)},
        {"4 greys: nearest below the middle", TReductionMethod::crGray4, {63, 63, 63}, 0, clBlack},
        {"system colours: cream", TReductionMethod::crSystem20, {255, 250, 240}, 10, MakeColor(255, 251, 240)},
        {"system colours: silver", TReductionMethod::crSystem20, {190, 190, 190}, 7, MakeColor(192, 192, 192)},
        {"fixed 256 table: an exact cube colour", TReductionMethod::crHalftone, {51, 102, 153}, 10 + 36 + 12 + 3,
         MakeColor(51, 102, 153)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TBitmap out = ReduceColors(Uniform(3, 2, row.in), row.method, TDitherKind::dtNone, 8);
        ASSERT_EQ(out.PixelFormat(), pf8bit);
        EXPECT_EQ(Index(out, 2, 1), row.index);
        EXPECT_EQ(ColorAt(out, 0, 0), row.out);
    }
    EXPECT_EQ(CreateWebPalette().size(), 216u);
    EXPECT_EQ(CreateWebPalette()[0].Flags, 0);
    EXPECT_EQ(CreateSystemPalette().size(), 20u);
    EXPECT_EQ(CreateSystemPalette()[0].Flags, 4);
    EXPECT_EQ(CreateScreenHalftonePalette().size(), 256u);
}

TEST(ColorReduction, OctreeMethodsBuildPalettesOfThePicture) {
    // Eight colours in bands, top to bottom.
    const Rgb bands[8] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0},
                          {0, 255, 255}, {255, 0, 255}, {20, 20, 20}, {240, 240, 240}};
    const TBitmap src = Picture(16, 8, [&](int, int y) { return bands[y]; });

    struct Row {
        const char* name;
        int bits;
        std::size_t maxUsed;
    };
    for (const Row& row : {Row{"1 bit: two entries", 1, 2}, Row{"0 bits clamped to 1", 0, 2},
                           Row{"negative bits clamped to 1", -5, 2}, Row{"2 bits", 2, 4},
                           Row{"8 bits hold all eight", 8, 8}, Row{"40 bits clamped to 8", 40, 8}}) {
        SCOPED_TRACE(row.name);
        const TBitmap out = ReduceColors(src, TReductionMethod::crOctree, TDitherKind::dtNone, row.bits);
        ASSERT_EQ(out.PixelFormat(), pf8bit);
        std::set<int> used;
        for (char c : Indices(out)) used.insert(c - '0');
        EXPECT_LE(used.size(), row.maxUsed);
        EXPECT_LT(*used.rbegin(), 1 << std::clamp(row.bits, 1, 8));
    }
    // With room for all, each band keeps its exact colour.
    const TBitmap exact = ReduceColors(src, TReductionMethod::crOctree, TDitherKind::dtFloydSteinberg, 3);
    for (int y = 0; y < 8; ++y) EXPECT_EQ(ColorAt(exact, 5, y), MakeColor(bands[y].r, bands[y].g, bands[y].b)) << y;

    // The system mode frames at most 236 octree colours with the 20 system colours.
    const TBitmap framed = ReduceColors(src, TReductionMethod::crOctreeSystem, TDitherKind::dtNone, 1);
    const auto table = framed.ColorTable();
    EXPECT_EQ(ColorFromQuad(table[0]), clBlack);
    EXPECT_EQ(ColorFromQuad(table[9]), MakeColor(166, 202, 240));
    EXPECT_EQ(ColorFromQuad(table[246]), MakeColor(255, 251, 240));
    EXPECT_EQ(ColorFromQuad(table[255]), clWhite);
    for (int y = 0; y < 8; ++y) {
        SCOPED_TRACE(y);
        EXPECT_EQ(ColorAt(framed, 0, y), MakeColor(bands[y].r, bands[y].g, bands[y].b));
        EXPECT_GE(Index(framed, 0, y), 10);
        EXPECT_LT(Index(framed, 0, y), 18);
    }
    const auto palette = CreateOptimizedPaletteFromSingleBitmap(src, 256, 8, true);
    EXPECT_EQ(palette.size(), 256u);
    EXPECT_EQ(CreateOptimizedPaletteFromSingleBitmap(src, 4, 8, false).size(), 4u);
}

TEST(ColorReduction, EmptyResultsAndErrors) {
    const TBitmap src = Uniform(4, 3, {1, 2, 3});
    struct Row {
        const char* name;
        int method, dither;
        TPaletteEntries palette;
    };
    const Row rows[] = {
        {"unknown method", 10, 1, kFour},
        {"unknown dither kind", 9, 7, kFour},
        {"given palette without entries", 9, 1, {}},
        {"octree with an unknown dither kind", 7, 200, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TBitmap out = ReduceColors(src, static_cast<TReductionMethod>(row.method),
                                         static_cast<TDitherKind>(row.dither), 8, row.palette);
        EXPECT_TRUE(out.Empty());
    }
    // Past 500000 pixels the empty result is a 1-bit bitmap.
    const TBitmap large = Uniform(1000, 501, {0, 0, 0});
    EXPECT_EQ(ReduceColors(large, static_cast<TReductionMethod>(12), TDitherKind::dtNone, 8).PixelFormat(), pf1bit);

    // A source without pixels has nothing to write.
    try {
        ReduceColors(TBitmap(), TReductionMethod::crWeb216, TDitherKind::dtNone, 8);
        ADD_FAILURE() << "no exception";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Invalid image dimensions");
    }
    // ... but an unknown method returns before the writer.
    EXPECT_TRUE(ReduceColors(TBitmap(), static_cast<TReductionMethod>(11), TDitherKind::dtNone, 8).Empty());
}

TEST(ColorReduction, SourcesOfEveryFormatStayUntouched) {
    const TBitmap base = Picture(5, 4, [](int x, int y) {
        return Rgb{static_cast<std::uint8_t>(60 * x), static_cast<std::uint8_t>(80 * y), 200};
    });
    for (TPixelFormat pf : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
        SCOPED_TRACE(static_cast<int>(pf));
        TBitmap src = base;
        ASSERT_TRUE(src.SetPixelFormat(pf));
        if (pf == pf32bit) src.ScanLine(1)[7] = 77;  // an alpha byte
        const TBitmap before = src;

        // crNone: a 24-bit copy of the colours.
        const TBitmap copy = ReduceColors(src, TReductionMethod::crNone, TDitherKind::dtFloydSteinberg, 8);
        EXPECT_EQ(copy.PixelFormat(), pf24bit);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x) EXPECT_EQ(copy.Canvas().Pixels(x, y), src.Canvas().Pixels(x, y));

        const TBitmap out = ReduceColors(src, TReductionMethod::crWeb216, TDitherKind::dtStucki, 8);
        EXPECT_EQ(out.PixelFormat(), pf8bit);
        EXPECT_EQ(src.PixelFormat(), pf);
        ASSERT_EQ(src.ByteSize(), before.ByteSize());
        EXPECT_TRUE(std::equal(src.Bits(), src.Bits() + src.ByteSize(), before.Bits()));
    }
}

TEST(ColorReduction, GivenPaletteLookupIsTheNearestEntry) {
    // Random colours against palettes with duplicates and many equal greens:
    // every undithered index is the nearest entry by squared distance, the
    // lowest of equals.
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> byte(0, 255);
    auto entry = [&](int levels) {
        auto v = [&] { return static_cast<std::uint8_t>(byte(rng) / (256 / levels) * (256 / levels)); };
        return TPaletteEntry{v(), v(), v(), 0};
    };
    struct Case {
        const char* name;
        int count, levels;
    };
    for (const Case c : {Case{"41 random entries", 41, 256}, Case{"256 random entries", 256, 256},
                         Case{"256 entries of 4 levels", 256, 4}, Case{"30 entries of 2 levels", 30, 2},
                         Case{"one entry", 1, 256}}) {
        SCOPED_TRACE(c.name);
        TPaletteEntries palette;
        for (int i = 0; i < c.count; ++i) palette.push_back(entry(c.levels));
        palette.push_back(palette.front());
        std::vector<Rgb> px(64 * 64);
        for (Rgb& p : px) {
            p = {static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng))};
            if (byte(rng) < 64) p.g = palette[static_cast<std::size_t>(byte(rng)) % palette.size()].Green;
        }
        const TBitmap src = Picture(64, 64, [&](int x, int y) { return px[static_cast<std::size_t>(y * 64 + x)]; });
        const TBitmap out = ReduceColors(src, TReductionMethod::crGivenPalette, TDitherKind::dtNone, 8, palette);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const Rgb p = px[static_cast<std::size_t>(y * 64 + x)];
                int best = 0, bestD = 1 << 30;
                for (int i = 0; i < static_cast<int>(palette.size()); ++i) {
                    const auto& e = palette[static_cast<std::size_t>(i)];
                    const int d = (e.Red - p.r) * (e.Red - p.r) + (e.Green - p.g) * (e.Green - p.g) + (e.Blue - p.b) * (e.Blue - p.b);
                    if (d < bestD) bestD = d, best = i;
                }
                ASSERT_EQ(Index(out, x, y), best) << x << "," << y;
            }
    }
    // A palette longer than 256 entries is cut to the first 256.
    TPaletteEntries longer(300, TPaletteEntry{9, 9, 9, 0});
    longer[280] = {200, 10, 10, 0};
    const TBitmap cut = ReduceColors(Uniform(2, 2, {200, 10, 10}), TReductionMethod::crGivenPalette, TDitherKind::dtNone, 8, longer);
    EXPECT_EQ(Index(cut), 0);
}
