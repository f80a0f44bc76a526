// Colour-depth changes and refits to palettes.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>
#include <type_traits>
#include <vector>

#include "engine/ColorDepth.h"

using namespace velto;

namespace {

TmyImagePal Image(int w, int h, int bitCount, const std::function<TmyPixel(int, int)>& f) {
    TmyImagePal img({w, h}, bitCount);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.At(x, y) = f(x, y);
    return img;
}

TmyImagePal Uniform(int w, int h, int bitCount, TmyPixel p) {
    return Image(w, h, bitCount, [p](int, int) { return p; });
}

TmyPixel Opaque(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return {r, g, b, 255}; }

bool InPalette(const TmyImagePal& img, const TmyPixel& p) {
    for (const TmyPixel& e : img.Palette->Colors())
        if (e.EqualsRGB(p)) return true;
    return false;
}

// The arguments can't be given in another caller's order, nor as plain values.
using ChangeColorDepthType = decltype(&ChangeColorDepth);
static_assert(std::is_invocable_v<ChangeColorDepthType, TmyImagePal&, TBitDepth, TPaletteKind, TDither>);
static_assert(!std::is_invocable_v<ChangeColorDepthType, TmyImagePal&, TBitDepth, TDither, TPaletteKind>);
static_assert(!std::is_invocable_v<ChangeColorDepthType, TmyImagePal&, TBitDepth, bool, TDither>);
static_assert(!std::is_invocable_v<ChangeColorDepthType, TmyImagePal&, TBitDepth, TPaletteKind, bool>);
static_assert(!std::is_invocable_v<ChangeColorDepthType, TmyImagePal&, int, TPaletteKind, TDither>);

}  // namespace

TEST(ColorDepth, AlphaRuleAndDirectTargets) {
    struct Row {
        const char* name;
        int fromBits;
        TBitDepth to;
        TmyPixel in, out;
    };
    const Row rows[] = {
        // The rule goes by alpha alone, also for a pixel of alpha 100 whose
        // composite over white would be (158, 162, 166).
        {"32 to 8: alpha 100 is below 128, so transparent black", 32, TBitDepth::Bits8, {10, 20, 30, 100}, {0, 0, 0, 0}},
        {"32 to 8, optimised: alpha 200 laid over white, then its own colour", 32, TBitDepth::Bits8,
         {10, 20, 30, 200}, {62, 70, 78, 255}},
        {"alpha 127 becomes transparent black", 32, TBitDepth::Bits24, {10, 20, 30, 127}, {0, 0, 0, 0}},
        {"alpha 128 becomes opaque", 32, TBitDepth::Bits24, {10, 20, 30, 128}, {132, 137, 142, 255}},
        {"alpha 254 keeps these channels (truncated)", 32, TBitDepth::Bits16, {10, 20, 30, 254}, {10, 20, 30, 255}},
        {"white stays white", 32, TBitDepth::Bits24, {255, 255, 255, 200}, {255, 255, 255, 255}},
        {"32 to 32 changes nothing", 32, TBitDepth::Bits32, {10, 20, 30, 100}, {10, 20, 30, 100}},
        {"24 to 32: any alpha but 0 becomes 255", 24, TBitDepth::Bits32, {10, 20, 30, 1}, {10, 20, 30, 255}},
        {"24 to 32: alpha 0 stays, colour and all", 24, TBitDepth::Bits32, {10, 20, 30, 0}, {10, 20, 30, 0}},
        {"8 to 24 binarises without compositing", 8, TBitDepth::Bits24, {10, 20, 30, 100}, {10, 20, 30, 255}},
        {"4 to 16 likewise", 4, TBitDepth::Bits16, {10, 20, 30, 7}, {10, 20, 30, 255}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TmyImagePal img = Uniform(3, 2, row.fromBits, row.in);
        ChangeColorDepth(img, row.to, TPaletteKind::Optimised, TDither::Off);
        EXPECT_EQ(img.At(2, 1), row.out);
        EXPECT_EQ(img.BitCount, static_cast<int>(row.to));
        EXPECT_EQ(img.Palette.has_value(), row.to == TBitDepth::Bits8);
    }
}

TEST(ColorDepth, FixedTablesByKindAndDepth) {
    struct Row {
        const char* name;
        TBitDepth bits;
        TPaletteKind kind;
        int count;
        TmyPixel first, last;
    };
    const Row rows[] = {
        {"1 bit, Windows: black, white", TBitDepth::Bits1, TPaletteKind::Windows, 2, Opaque(0, 0, 0), Opaque(255, 255, 255)},
        {"1 bit, Mac: white, black", TBitDepth::Bits1, TPaletteKind::Mac, 2, Opaque(255, 255, 255), Opaque(0, 0, 0)},
        {"4 bits, Windows 16", TBitDepth::Bits4, TPaletteKind::Windows, 16, Opaque(0, 0, 0), Opaque(255, 255, 255)},
        {"4 bits, Mac 16", TBitDepth::Bits4, TPaletteKind::Mac, 16, Opaque(255, 255, 255), Opaque(0, 0, 0)},
        {"8 bits, Windows 256", TBitDepth::Bits8, TPaletteKind::Windows, 256, Opaque(0, 0, 0), Opaque(255, 255, 255)},
        {"8 bits, Mac 256", TBitDepth::Bits8, TPaletteKind::Mac, 256, Opaque(255, 255, 255), Opaque(0, 0, 0)},
    };
    for (const Row& row : rows)
        for (TDither dither : {TDither::Off, TDither::On}) {
            SCOPED_TRACE(testing::Message() << row.name << (dither == TDither::On ? ", dithered" : ""));
            // From an image that had a palette of another size, and one without.
            for (int from : {8, 32}) {
                TmyImagePal img = Uniform(4, 4, from, Opaque(250, 250, 250));
                ChangeColorDepth(img, row.bits, row.kind, dither);
                ASSERT_TRUE(img.Palette.has_value());
                ASSERT_EQ(img.Palette->Count(), row.count);
                EXPECT_EQ((*img.Palette)[0], row.first);
                EXPECT_EQ((*img.Palette)[row.count - 1], row.last);
                if (dither == TDither::Off) {
                    EXPECT_EQ(img.At(3, 3), Opaque(255, 255, 255));
                }
            }
        }
}

TEST(ColorDepth, OptimisedPalettes) {
    // Nothing but transparent pixels: the quantizer sees black alone, gives one
    // colour, and no second black is added; the rest keep the Windows defaults.
    TmyImagePal clear = Uniform(5, 5, 32, {90, 80, 70, 0});
    ChangeColorDepth(clear, TBitDepth::Bits4, TPaletteKind::Optimised, TDither::Off);
    TmyPalette windows(16);
    EXPECT_EQ((*clear.Palette)[0], Opaque(0, 0, 0));
    for (int i = 1; i < 16; ++i) EXPECT_EQ((*clear.Palette)[i], windows[i]) << i;
    for (const TmyPixel& p : clear.Pixels()) EXPECT_EQ(p, (TmyPixel{0, 0, 0, 0}));

    // 255 colours without black fill entries 0-254 and black goes to 255.
    TmyImagePal many = Image(16, 16, 32, [](int x, int y) {
        const int i = std::min(y * 16 + x, 254);
        return Opaque(static_cast<std::uint8_t>(4 * (i % 64)), static_cast<std::uint8_t>(4 + 4 * (i / 64)), 100);
    });
    ChangeColorDepth(many, TBitDepth::Bits8, TPaletteKind::Optimised, TDither::Off);
    std::set<std::uint32_t> colours;
    for (int i = 0; i < 255; ++i) {
        const TmyPixel& e = (*many.Palette)[i];
        EXPECT_EQ(e.A, 255);
        colours.insert(ColorValue(e.GetColor()));
    }
    EXPECT_EQ(colours.size(), 255u);
    EXPECT_EQ(colours.count(0), 0u);
    EXPECT_EQ((*many.Palette)[255], Opaque(0, 0, 0));
    for (const TmyPixel& p : many.Pixels()) EXPECT_TRUE(InPalette(many, p));

    // Three colours at 4 bits: black right after them (Windows 16 has no other black)...
    TmyImagePal three = Image(3, 1, 24, [](int x, int) { return Opaque(static_cast<std::uint8_t>(60 * x + 50), 9, 9); });
    ChangeColorDepth(three, TBitDepth::Bits4, TPaletteKind::Optimised, TDither::Off);
    EXPECT_EQ((*three.Palette)[3], Opaque(0, 0, 0));
    EXPECT_EQ((*three.Palette)[4], windows[4]);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(three.At(x, 0), (*three.Palette)[x]);
    // ... but at 8 bits the default table's black at 16 is enough.
    TmyImagePal three8 = Image(3, 1, 24, [](int x, int) { return Opaque(static_cast<std::uint8_t>(60 * x + 50), 9, 9); });
    ChangeColorDepth(three8, TBitDepth::Bits8, static_cast<TPaletteKind>(7), TDither::Off);  // any other kind: optimised
    EXPECT_EQ((*three8.Palette)[3], TmyPalette(256)[3]);
    EXPECT_EQ((*three8.Palette)[0], Opaque(50, 9, 9));

    // One bit: a single quantizer colour, the average of the picture, then black.
    TmyImagePal two = Image(2, 1, 32, [](int x, int) { return x ? Opaque(200, 100, 50) : Opaque(100, 50, 26); });
    ChangeColorDepth(two, TBitDepth::Bits1, TPaletteKind::Optimised, TDither::Off);
    EXPECT_EQ((*two.Palette)[0], Opaque(150, 75, 38));
    EXPECT_EQ((*two.Palette)[1], Opaque(0, 0, 0));
}

TEST(ColorDepth, QuantizerSeesTheLastRowFirst) {
    // Sixteen colours for fifteen entries: one merge, of the newest pair of
    // colours that differ only below the sixth bit. Top row pair (0,0,0)/(4,0,0),
    // bottom row pair (128,0,0)/(132,0,0); the pair seen last is the top one.
    TmyImagePal img = Image(8, 2, 32, [](int x, int y) {
        if (x < 2) return Opaque(static_cast<std::uint8_t>(128 * y + 4 * x), 0, 0);
        return Opaque(0, static_cast<std::uint8_t>(16 * (6 * y + x - 1)), 200);
    });
    ChangeColorDepth(img, TBitDepth::Bits4, TPaletteKind::Optimised, TDither::Off);
    const TmyPalette& pal = *img.Palette;
    EXPECT_NE(pal.IndexOfColor(MakeColor(2, 0, 0)), -1);
    EXPECT_NE(pal.IndexOfColor(MakeColor(128, 0, 0)), -1);
    EXPECT_NE(pal.IndexOfColor(MakeColor(132, 0, 0)), -1);
    EXPECT_EQ(pal.IndexOfColor(MakeColor(4, 0, 0)), -1);
    EXPECT_EQ(pal[15], Opaque(0, 0, 0));  // black after the fifteen colours
}

TEST(ColorDepth, DitheringSpreadsTheError) {
    TmyImagePal grey = Uniform(16, 16, 24, Opaque(128, 128, 128));
    TmyImagePal flat = grey;
    ChangeColorDepth(grey, TBitDepth::Bits1, TPaletteKind::Windows, TDither::On);
    ChangeColorDepth(flat, TBitDepth::Bits1, TPaletteKind::Windows, TDither::Off);
    int white = 0;
    for (const TmyPixel& p : grey.Pixels()) white += p.R == 255;
    EXPECT_NEAR(white, 128, 12);
    for (const TmyPixel& p : flat.Pixels()) EXPECT_EQ(p, Opaque(255, 255, 255));

    // Transparent pixels stay transparent (their colour is dithered black's).
    TmyImagePal holes = Image(6, 6, 32, [](int x, int y) { return (x + y) % 3 ? Opaque(200, 30, 30) : TmyPixel{5, 5, 5, 60}; });
    ChangeColorDepth(holes, TBitDepth::Bits4, TPaletteKind::Windows, TDither::On);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(holes.At(x, y).A, (x + y) % 3 ? 255 : 0);

    // An image already in its palette comes back as it was.
    TmyImagePal exact = Image(9, 7, 4, [](int x, int y) {
        TmyPixel p = TmyPalette(16)[(x * 3 + y) % 16];
        p.A = (x == y) ? 0 : 255;
        return p;
    });
    const TmyImagePal before = exact;
    RemapToPalette(exact, TDither::On);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            if (x != y) {
                EXPECT_EQ(exact.At(x, y), before.At(x, y)) << x << "," << y;
            }
}

TEST(ColorDepth, RefitsToAGivenPalette) {
    TmyPalette pal(4);
    pal[0] = Opaque(0, 0, 0), pal[1] = Opaque(200, 0, 0), pal[2] = Opaque(0, 200, 0), pal[3] = Opaque(200, 0, 0);
    TmyImagePal img = Image(4, 1, 8, [](int x, int) {
        const TmyPixel px[4] = {{190, 10, 0, 255}, {100, 100, 0, 255}, {10, 180, 20, 0}, {90, 90, 90, 7}};
        return px[x];
    });
    ApplyPalette(img, pal, TDither::Off);
    EXPECT_EQ(img.Palette->Count(), 4);
    EXPECT_EQ((*img.Palette)[3], Opaque(200, 0, 0));
    // Sum of channel differences, first entry on ties, alpha kept (transparent
    // pixels are refitted too).
    EXPECT_EQ(img.At(0, 0), (TmyPixel{200, 0, 0, 255}));
    EXPECT_EQ(img.At(1, 0), (TmyPixel{0, 0, 0, 255}));  // 200 from black, red and green
    EXPECT_EQ(img.At(2, 0), (TmyPixel{0, 200, 0, 0}));
    EXPECT_EQ(img.At(3, 0), (TmyPixel{0, 0, 0, 7}));
    EXPECT_EQ(img.BitCount, 8);
}

TEST(ColorDepth, ImagesWithoutPaletteAreLeftAlone) {
    // The refits need a palette; without one they do nothing.
    const TmyImagePal original = Image(3, 3, 32, [](int x, int y) { return TmyPixel{static_cast<std::uint8_t>(x * 80), 7, static_cast<std::uint8_t>(y * 90), 99}; });
    TmyPalette pal(2);
    struct Row {
        const char* name;
        std::function<void(TmyImagePal&)> call;
    };
    const Row rows[] = {
        {"ApplyPalette", [&](TmyImagePal& i) { ApplyPalette(i, pal, TDither::Off); }},
        {"ApplyPalette dithered", [&](TmyImagePal& i) { ApplyPalette(i, pal, TDither::On); }},
        {"RemapToPalette", [](TmyImagePal& i) { RemapToPalette(i, TDither::Off); }},
        {"RemapToPalette dithered", [](TmyImagePal& i) { RemapToPalette(i, TDither::On); }},
        {"DitherToPalette", [](TmyImagePal& i) { DitherToPalette(i, TBitDepth::Bits8); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TmyImagePal img = original;
        row.call(img);
        EXPECT_TRUE(img.Equals(original));
        EXPECT_FALSE(img.Palette.has_value());
    }
}

TEST(ColorDepth, FrameDataStays) {
    TmyImagePal img = Uniform(20, 12, 32, Opaque(1, 2, 3));
    img.SetHotSpotX(13), img.SetHotSpotY(7), img.SetRate(1.5), img.Zoom = 9;
    for (TBitDepth bits : {TBitDepth::Bits1, TBitDepth::Bits24, TBitDepth::Bits8, TBitDepth::Bits32}) {
        ChangeColorDepth(img, bits, TPaletteKind::Optimised, TDither::On);
        EXPECT_EQ(img.Size(), (ImageSize{20, 12}));
        EXPECT_EQ(img.HotSpotX(), 13);
        EXPECT_EQ(img.HotSpotY(), 7);
        EXPECT_EQ(img.Rate(), 1.5);
        EXPECT_EQ(img.Zoom, 9);
    }
}

TEST(ColorDepth, RandomImagesOfEveryDepthComeOutInTheirPalette) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> byte(0, 255);
    const int depths[] = {1, 4, 8, 16, 24, 32};
    const TBitDepth targets[] = {TBitDepth::Bits1, TBitDepth::Bits4, TBitDepth::Bits8};
    for (int from : depths)
        for (TBitDepth to : targets)
            for (TPaletteKind kind : {TPaletteKind::Optimised, TPaletteKind::Windows, TPaletteKind::Mac})
                for (TDither dither : {TDither::Off, TDither::On}) {
                    SCOPED_TRACE(testing::Message() << from << " to " << static_cast<int>(to) << " bits, kind "
                                                    << static_cast<int>(kind) << (dither == TDither::On ? ", dithered" : ""));
                    const int w = 1 + byte(rng) % 40, h = 1 + byte(rng) % 40;
                    TmyImagePal img = Image(w, h, from, [&](int, int) {
                        const int a = byte(rng);
                        return TmyPixel{static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng)),
                                        static_cast<std::uint8_t>(byte(rng)),
                                        static_cast<std::uint8_t>(a < 60 ? 0 : a < 120 ? 255 : a)};
                    });
                    ChangeColorDepth(img, to, kind, dither);
                    ASSERT_EQ(img.BitCount, static_cast<int>(to));
                    ASSERT_EQ(img.Palette->Count(), PaletteCountForBits(static_cast<int>(to)));
                    for (const TmyPixel& p : img.Pixels()) {
                        ASSERT_TRUE(p.A == 0 || p.A == 255) << +p.A;
                        if (p.A) {
                            ASSERT_TRUE(InPalette(img, p));
                        }
                    }
                    // A refit to its own palette keeps an indexed image so.
                    RemapToPalette(img, dither);
                    for (const TmyPixel& p : img.Pixels()) {
                        if (p.A) {
                            ASSERT_TRUE(InPalette(img, p));
                        }
                    }
                }
}
