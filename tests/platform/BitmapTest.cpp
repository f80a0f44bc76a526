#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "platform/Bitmap.h"

using namespace velto;

namespace {
constexpr TPixelFormat kAllFormats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit};

TBitmap Make(TPixelFormat pf, int w, int h, TColor fill = clWhite) {
    TBitmap b;
    b.SetPixelFormat(pf);
    EXPECT_TRUE(b.SetSize(w, h));
    b.Canvas().Brush.Color = fill;
    b.Canvas().FillRect({0, 0, w, h});
    return b;
}

std::vector<int> Row(const TBitmap& b, int y, int n) { return {b.ScanLine(y), b.ScanLine(y) + n}; }
std::vector<std::uint8_t> Bytes(const TBitmap& b) { return {b.Bits(), b.Bits() + b.ByteSize()}; }
}  // namespace

TEST(Bitmap, RowsAndPixelsOfEveryFormat) {
    for (TPixelFormat pf : kAllFormats) {
        for (int w : {1, 3, 7, 9, 33}) {
            SCOPED_TRACE(testing::Message() << "format " << int(pf) << " width " << w);
            TBitmap b = Make(pf, w, 3, clBlack);
            const std::uint64_t stride = (static_cast<std::uint64_t>(w) * BitsPerPixel(pf) + 31) / 32 * 4;
            EXPECT_EQ(b.Stride(), stride);
            EXPECT_EQ(b.ByteSize(), stride * 3);
            EXPECT_EQ(b.ScanLine(0), b.Bits() + 2 * stride);  // bottom-up
            EXPECT_EQ(b.ScanLine(2), b.Bits());
            b.Canvas().SetPixels(w - 1, 1, clWhite);
            for (int i = 0; i < 3 * w; ++i)
                EXPECT_EQ(b.Canvas().Pixels(i % w, i / w), i == 2 * w - 1 ? clWhite : clBlack) << i;
        }
        SCOPED_TRACE(int(pf));
        TBitmap b = Make(pf, 4, 3);
        // Off-palette colours land on the nearest representable one.
        b.Canvas().SetPixels(1, 1, MakeColor(250, 5, 5));
        TColor want = MakeColor(250, 5, 5);
        if (pf == pf1bit)
            want = clBlack;
        else if (IsIndexed(pf) || pf == pf15bit)
            want = MakeColor(255, 0, 0);
        else if (pf == pf16bit)
            want = MakeColor(255, 4, 0);
        EXPECT_EQ(b.Canvas().Pixels(1, 1), want);
        b.Canvas().SetPixels(0, 0, ColorFromValue(0x02000000));  // high byte ignored
        EXPECT_EQ(b.Canvas().Pixels(0, 0), clBlack);
        b.Canvas().SetPixels(4, 0, clBlack);
        b.Canvas().SetPixels(-1, 0, clBlack);
        EXPECT_EQ(b.Canvas().Pixels(3, 1), clWhite);  // x = -1 did not wrap
        EXPECT_EQ(b.Canvas().Pixels(4, 0), clInvalidPixel);
        EXPECT_EQ(b.Canvas().Pixels(0, -1), clInvalidPixel);
    }
    EXPECT_EQ(BytesPerRow(0x7FFFFFFF, pf32bit), 0x7FFFFFFFull * 4);
    TBitmap b = Make(pf24bit, 2, 2), empty;
    EXPECT_THROW(b.ScanLine(2), EInvalidGraphicOperation);
    EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);
    EXPECT_THROW(empty.ScanLine(0), EInvalidGraphicOperation);
}

TEST(Bitmap, PackedLayoutsOfEveryFormat) {
    const struct {
        TPixelFormat pf;
        int width;
        std::vector<std::pair<int, TColor>> pixels;  // set over black
        std::vector<int> bytes;                      // the top row's first bytes
        TColor last;                                 // the last pixel set, read back
    } cases[] = {
        {pf1bit, 9, {{0, clWhite}, {8, clWhite}}, {0x80, 0x80}, clWhite},  // leftmost pixel in the high bit
        {pf4bit, 3, {{0, MakeColor(255, 0, 0)}, {1, clWhite}, {2, MakeColor(0, 0, 128)}}, {0x9F, 0x40},
         MakeColor(0, 0, 128)},
        {pf15bit, 1, {{0, MakeColor(0xF8, 0x10, 0x08)}}, {0x41, 0x7C}, MakeColor(255, 16, 8)},  // 31, 2, 1
        {pf16bit, 1, {{0, MakeColor(0xF8, 0xFC, 0x08)}}, {0xE1, 0xFF}, MakeColor(255, 255, 8)},  // 31, 63, 1
        {pf32bit, 1, {{0, MakeColor(1, 2, 3)}}, {3, 2, 1, 0}, MakeColor(1, 2, 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.pf));
        TBitmap b = Make(c.pf, c.width, 1, clBlack);
        b.ScanLine(0)[3] = 200;  // the fourth byte of a 32-bit pixel is cleared; padding elsewhere
        for (const auto& [x, color] : c.pixels) b.Canvas().SetPixels(x, 0, color);
        EXPECT_EQ(Row(b, 0, int(c.bytes.size())), c.bytes);
        EXPECT_EQ(b.Canvas().Pixels(c.pixels.back().first, 0), c.last);
    }
}

TEST(Bitmap, DefaultColorTables) {
    const auto c1 = DefaultColorTable(pf1bit), c4 = DefaultColorTable(pf4bit), c8 = DefaultColorTable(pf8bit);
    ASSERT_EQ(c1.size() + c4.size() + c8.size(), 2u + 16u + 256u);
    EXPECT_EQ(ColorFromQuad(c1[1]), clWhite);
    EXPECT_EQ(ColorFromQuad(c4[7]), MakeColor(128, 128, 128));
    EXPECT_EQ(ColorFromQuad(c4[8]), MakeColor(192, 192, 192));
    // 8 bits: ten system colours, the 6x6x6 cube, ..., the other ten system colours.
    EXPECT_TRUE(std::ranges::equal(c8.first(10), SystemColors20().first(10)));
    EXPECT_TRUE(std::ranges::equal(c8.last(10), SystemColors20().last(10)));
    EXPECT_EQ(ColorFromQuad(c8[10 + 5 * 36 + 1 * 6 + 0]), MakeColor(255, 51, 0));

    TBitmap b;
    EXPECT_TRUE(b.ColorTable().empty());  // 32 bits
    b.SetPixelFormat(pf8bit);
    ASSERT_TRUE(b.SetSize(1, 1));
    EXPECT_TRUE(std::ranges::equal(b.ColorTable(), c8));
    EXPECT_EQ(b.Canvas().Pixels(0, 0), clWhite);  // a fresh bitmap is filled with the brush
}

TEST(Bitmap, PaletteExchangeAndNearestIndex) {
    TBitmap b = Make(pf4bit, 2, 1);
    b.SetPalette(TPaletteEntries{{10, 20, 30, 0}, {40, 50, 60, 4}});
    ASSERT_EQ(b.ColorTable().size(), 16u);
    EXPECT_EQ(b.ColorTable()[1], (TRGBQuad{60, 50, 40, 0}));
    EXPECT_EQ(b.ColorTable()[2], TRGBQuad{});  // the rest black
    EXPECT_EQ(b.Palette()[0], (TPaletteEntry{10, 20, 30, 0}));

    const TRGBQuad tie[] = {{0, 0, 10, 0}, {0, 0, 30, 0}, {0, 0, 10, 0}};
    EXPECT_EQ(NearestColorIndex(tie, 20, 0, 0), 0);  // lowest index on ties
    EXPECT_EQ(NearestColorIndex(tie, 21, 0, 0), 1);
    EXPECT_EQ(NearestColorIndex(std::span<const TRGBQuad>{}, 1, 2, 3), -1);
    // Squared distance: (9,9,0) is nearer to black than (18,0,0).
    const TPaletteEntry p2[] = {{18, 0, 0, 0}, {9, 9, 0, 0}};
    EXPECT_EQ(NearestColorIndex(p2, 0, 0, 0), 1);
    const TRGBQuad q2[] = {{0, 0, 18, 0}, {0, 9, 9, 0}};
    EXPECT_EQ(NearestColorIndex(q2, 0, 0, 0), 1);
}

TEST(Bitmap, FormatConversions) {
    TBitmap b = Make(pf24bit, 5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            b.Canvas().SetPixels(
                x, y, MakeColor(std::uint8_t(x * 50 + y), std::uint8_t(y * 70), std::uint8_t(255 - x)));
    const TBitmap orig = b;
    ASSERT_TRUE(b.SetPixelFormat(pf32bit));
    EXPECT_EQ(b.ScanLine(1)[3], 0);
    ASSERT_TRUE(b.SetPixelFormat(pf24bit));
    EXPECT_EQ(Bytes(b), Bytes(orig));

    // 16 and 15 bits truncate once and then come back stable.
    for (TPixelFormat pf : {pf16bit, pf15bit}) {
        TBitmap c = orig;
        ASSERT_TRUE(c.SetPixelFormat(pf));
        const TBitmap once = c;
        ASSERT_TRUE(c.SetPixelFormat(pf32bit));
        EXPECT_EQ(c.ScanLine(2)[4 * 4 + 3], 0);
        ASSERT_TRUE(c.SetPixelFormat(pf));
        EXPECT_EQ(Bytes(c), Bytes(once));
    }

    // A larger indexed format keeps table and indices; a smaller one remaps.
    TBitmap e = Make(pf1bit, 9, 2);
    e.SetPalette(TPaletteEntries{{1, 2, 3, 0}, {200, 201, 202, 0}});
    e.Canvas().Brush.Color = MakeColor(1, 2, 3);
    e.Canvas().FillRect({0, 0, 9, 2});
    e.Canvas().SetPixels(8, 1, MakeColor(200, 201, 202));
    ASSERT_TRUE(e.SetPixelFormat(pf8bit));
    EXPECT_EQ(Row(e, 1, 9)[8], 1);
    EXPECT_EQ(Row(e, 1, 9)[7], 0);
    TBitmap e32 = e;
    ASSERT_TRUE(e32.SetPixelFormat(pf32bit));
    EXPECT_EQ(e32.Canvas().Pixels(8, 1), MakeColor(200, 201, 202));
    ASSERT_TRUE(e.SetPixelFormat(pf1bit));
    EXPECT_EQ(e.Canvas().Pixels(8, 1), clWhite);
    EXPECT_EQ(e.Canvas().Pixels(0, 0), clBlack);
}

TEST(Bitmap, SizeLimitsAndResizing) {
    TBitmap b = Make(pf24bit, 2, 2);
    b.Canvas().SetPixels(1, 1, MakeColor(1, 2, 3));
    EXPECT_FALSE(b.SetSize(-1, 5));
    EXPECT_FALSE(b.SetSize(INT_MAX, INT_MAX));
    EXPECT_FALSE(b.SetSize(1 << 15, 1 << 15));  // 3 GiB
    EXPECT_EQ(b.Width(), 2);
    EXPECT_EQ(b.Canvas().Pixels(1, 1), MakeColor(1, 2, 3));
    TBitmap big;
    big.SetPixelFormat(pf1bit);
    ASSERT_TRUE(big.SetSize(1 << 16, 1 << 13));  // 64 MiB, 2 GiB at 32 bits
    EXPECT_FALSE(big.SetPixelFormat(pf32bit));
    EXPECT_EQ(big.PixelFormat(), pf1bit);

    // Growing keeps the top-left part and fills the rest with the brush.
    b.Canvas().Brush.Color = MakeColor(9, 9, 9);
    ASSERT_TRUE(b.SetSize(3, 4));
    EXPECT_EQ(b.Canvas().Pixels(1, 1), MakeColor(1, 2, 3));
    EXPECT_EQ(b.Canvas().Pixels(2, 3), MakeColor(9, 9, 9));
    EXPECT_EQ(b.Canvas().Pixels(2, 0), MakeColor(9, 9, 9));

    TBitmap m = Make(pf1bit, 3, 1, clBlack);
    m.Canvas().SetPixels(2, 0, clWhite);
    ASSERT_TRUE(m.SetSize(10, 1));
    EXPECT_EQ(m.Canvas().Pixels(2, 0), clWhite);
    for (int x = 3; x < 10; ++x) EXPECT_EQ(m.Canvas().Pixels(x, 0), clBlack);
}

TEST(Bitmap, CopiesAreIndependentAndCarryTransparency) {
    TBitmap a = Make(pf8bit, 2, 2);
    a.SetTransparent(true);
    a.Canvas().SetPixels(0, 1, MakeColor(255, 0, 0));
    EXPECT_EQ(a.TransparentColor(), MakeColor(255, 0, 0));  // auto: the bottom-left pixel
    TBitmap b;
    b.Assign(a);
    b.SetTransparentColor(clWhite);
    b.Canvas().SetPixels(0, 1, clBlack);
    EXPECT_EQ(b.TransparentColor(), clWhite);  // fixed: no longer the pixel
    EXPECT_TRUE(b.Transparent());
    EXPECT_EQ(a.Canvas().Pixels(0, 1), MakeColor(255, 0, 0));
    TBitmap c = std::move(b);
    EXPECT_EQ(&c.Canvas().Bitmap(), &c);
    EXPECT_EQ(c.Canvas().Pixels(0, 1), clBlack);
}

TEST(Bitmap, FillRectClipsAndClearsTheFourthByte) {
    TBitmap b = Make(pf32bit, 4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) b.ScanLine(y)[4 * x + 3] = 255;
    b.Canvas().Brush.Color = MakeColor(1, 2, 3);
    b.Canvas().FillRect({-5, 2, 2, 100});
    EXPECT_EQ(b.Canvas().Pixels(1, 3), MakeColor(1, 2, 3));
    EXPECT_EQ(b.ScanLine(3)[4 * 1 + 3], 0);
    EXPECT_EQ(b.ScanLine(3)[4 * 2 + 3], 255);
    EXPECT_EQ(b.ScanLine(1)[4 * 0 + 3], 255);
    b.Canvas().FillRect({3, 3, 1, 1});  // inverted: nothing
    EXPECT_EQ(b.ScanLine(0)[3], 255);
}

TEST(Bitmap, DrawStretchAndCopyRect) {
    TBitmap src = Make(pf32bit, 2, 2);
    for (int i = 0; i < 4; ++i) src.Canvas().SetPixels(i % 2, i / 2, MakeColor(std::uint8_t(10 * i + 10), 0, 0));
    src.ScanLine(1)[4 * 1 + 3] = 77;

    // Same format: bytes copied, alpha included; clipped at the edges.
    TBitmap d = Make(pf32bit, 3, 3);
    d.Canvas().Draw(2, -1, src);
    EXPECT_EQ(d.Canvas().Pixels(2, 0), MakeColor(30, 0, 0));
    EXPECT_EQ(d.ScanLine(0)[4 * 2 + 3], 0);
    d.Canvas().Draw(1, 1, src);
    EXPECT_EQ(d.Canvas().Pixels(2, 2), MakeColor(40, 0, 0));
    EXPECT_EQ(d.ScanLine(2)[4 * 2 + 3], 77);
    EXPECT_EQ(d.Canvas().Pixels(0, 0), clWhite);

    // Stretching picks the nearest source pixel.
    TBitmap s24 = Make(pf24bit, 4, 4);
    s24.Canvas().StretchDraw({0, 0, 4, 4}, src);
    EXPECT_EQ(s24.Canvas().Pixels(1, 1), MakeColor(10, 0, 0));
    EXPECT_EQ(s24.Canvas().Pixels(2, 1), MakeColor(20, 0, 0));
    EXPECT_EQ(s24.Canvas().Pixels(3, 3), MakeColor(40, 0, 0));

    // Equal indexed tables copy indices, even where the table repeats a colour.
    TBitmap i1 = Make(pf4bit, 2, 1), i2 = Make(pf4bit, 2, 1);
    const TPaletteEntries dup(16, TPaletteEntry{5, 5, 5, 0});
    i1.SetPalette(dup);
    i2.SetPalette(dup);
    i1.ScanLine(0)[0] = 0x3C;
    i2.Canvas().Draw(0, 0, i1);
    EXPECT_EQ(i2.ScanLine(0)[0], 0x3C);

    // CopyRect onto itself reads the pixels before they are overwritten.
    s24.Canvas().CopyRect({1, 0, 4, 4}, s24.Canvas(), {0, 0, 3, 4});
    EXPECT_EQ(s24.Canvas().Pixels(3, 0), MakeColor(20, 0, 0));
    EXPECT_EQ(s24.Canvas().Pixels(2, 0), MakeColor(10, 0, 0));

    // Source pixels outside the source leave the target alone; empty sources draw nothing.
    TBitmap t = Make(pf24bit, 2, 1);
    t.Canvas().CopyRect({0, 0, 2, 1}, src.Canvas(), {1, 0, 3, 1});
    EXPECT_EQ(t.Canvas().Pixels(0, 0), MakeColor(20, 0, 0));
    t.Canvas().Draw(0, 0, TBitmap());
    t.Canvas().StretchDraw({1, 0, 1, 1}, src);
    EXPECT_EQ(t.Canvas().Pixels(1, 0), clWhite);
}
