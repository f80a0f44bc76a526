#include <gtest/gtest.h>

#include <climits>

#include "platform/Bitmap.h"

using namespace velto;

namespace {
constexpr TPixelFormat kAllFormats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit};

TBitmap Make(TPixelFormat pf, int w, int h) {
    TBitmap b;
    b.SetPixelFormat(pf);
    EXPECT_TRUE(b.SetSize(w, h));
    return b;
}

// Colours every format holds exactly (with the default colour tables).
constexpr TColor kExact[] = {clBlack, clWhite};
}  // namespace

TEST(Bitmap, RowsAreStoredBottomUpAndPaddedTo32Bits) {
    for (TPixelFormat pf : kAllFormats) {
        for (int w : {1, 3, 5, 7, 9, 33}) {
            SCOPED_TRACE(testing::Message() << "format " << int(pf) << " width " << w);
            TBitmap b = Make(pf, w, 3);
            const std::uint64_t expected = (static_cast<std::uint64_t>(w) * BitsPerPixel(pf) + 31) / 32 * 4;
            EXPECT_EQ(b.Stride(), expected);
            EXPECT_EQ(b.ByteSize(), expected * 3);
            EXPECT_EQ(b.ScanLine(0), b.Bits() + 2 * expected);  // top row is last in memory
            EXPECT_EQ(b.ScanLine(2), b.Bits());
            // The last pixel of a row lies inside its row.
            b.Canvas().Brush.Color = clBlack;
            b.Canvas().FillRect({0, 0, w, 3});
            b.Canvas().SetPixels(w - 1, 1, clWhite);
            EXPECT_EQ(b.Canvas().Pixels(w - 1, 1), clWhite);
            EXPECT_EQ(b.Canvas().Pixels(w - 1, 0), clBlack);
            EXPECT_EQ(b.Canvas().Pixels(w - 1, 2), clBlack);
            if (w > 1) {
                EXPECT_EQ(b.Canvas().Pixels(w - 2, 1), clBlack);
            }
        }
    }
    EXPECT_EQ(BytesPerRow(0x7FFFFFFF, pf32bit), 0x7FFFFFFFull * 4);  // no 32-bit overflow
    TBitmap b = Make(pf24bit, 2, 2), empty;
    EXPECT_THROW(b.ScanLine(2), EInvalidGraphicOperation);
    EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);
    EXPECT_THROW(empty.ScanLine(0), EInvalidGraphicOperation);
}

TEST(Bitmap, PackedLayoutsOfEveryFormat) {
    {
        TBitmap b = Make(pf1bit, 9, 1);
        b.Canvas().Brush.Color = clBlack;
        b.Canvas().FillRect({0, 0, 9, 1});
        b.Canvas().SetPixels(0, 0, clWhite);
        b.Canvas().SetPixels(8, 0, clWhite);
        EXPECT_EQ(b.ScanLine(0)[0], 0x80);  // leftmost pixel in the high bit
        EXPECT_EQ(b.ScanLine(0)[1], 0x80);
    }
    {
        TBitmap b = Make(pf4bit, 3, 1);
        b.Canvas().Brush.Color = clBlack;
        b.Canvas().FillRect({0, 0, 3, 1});
        b.Canvas().SetPixels(0, 0, MakeColor(255, 0, 0));  // index 9
        b.Canvas().SetPixels(1, 0, clWhite);               // index 15
        b.Canvas().SetPixels(2, 0, MakeColor(0, 0, 128));  // index 4
        EXPECT_EQ(b.ScanLine(0)[0], 0x9F);
        EXPECT_EQ(b.ScanLine(0)[1], 0x40);
    }
    {
        TBitmap b = Make(pf16bit, 1, 1);
        b.Canvas().SetPixels(0, 0, MakeColor(0xF8, 0xFC, 0x08));  // 5-6-5: 31, 63, 1
        EXPECT_EQ(b.ScanLine(0)[0] | (b.ScanLine(0)[1] << 8), (31 << 11) | (63 << 5) | 1);
        EXPECT_EQ(b.Canvas().Pixels(0, 0), MakeColor(255, 255, 8));  // widened by bit replication
    }
    {
        TBitmap b = Make(pf15bit, 1, 1);
        b.Canvas().SetPixels(0, 0, MakeColor(0xF8, 0x10, 0x08));  // 5-5-5: 31, 2, 1
        EXPECT_EQ(b.ScanLine(0)[0] | (b.ScanLine(0)[1] << 8), (31 << 10) | (2 << 5) | 1);
        EXPECT_EQ(b.Canvas().Pixels(0, 0), MakeColor(255, 16, 8));
    }
    {
        TBitmap b = Make(pf32bit, 1, 1);
        b.ScanLine(0)[3] = 200;
        b.Canvas().SetPixels(0, 0, MakeColor(1, 2, 3));
        const std::uint8_t* p = b.ScanLine(0);
        EXPECT_EQ((std::array<int, 4>{p[0], p[1], p[2], p[3]}), (std::array<int, 4>{3, 2, 1, 0}));
    }
}

TEST(Bitmap, PixelsInEveryFormat) {
    for (TPixelFormat pf : kAllFormats) {
        SCOPED_TRACE(int(pf));
        TBitmap b = Make(pf, 4, 3);
        for (TColor c : kExact) {
            b.Canvas().SetPixels(3, 2, c);
            EXPECT_EQ(b.Canvas().Pixels(3, 2), c);
        }
        // Off-palette colours land on the nearest representable one.
        b.Canvas().SetPixels(1, 1, MakeColor(250, 5, 5));
        const TColor got = b.Canvas().Pixels(1, 1);
        TColor want = MakeColor(250, 5, 5);
        if (pf == pf1bit)
            want = clBlack;
        else if (IsIndexed(pf))
            want = MakeColor(255, 0, 0);
        else if (pf == pf15bit)
            want = MakeColor(255, 0, 0);  // 5 truncates to 0, 31 widens to 255
        else if (pf == pf16bit)
            want = MakeColor(255, 4, 0);
        EXPECT_EQ(got, want);
        // High byte ignored, outside ignored / invalid.
        b.Canvas().SetPixels(0, 0, ColorFromValue(0x02FFFFFF));
        EXPECT_EQ(b.Canvas().Pixels(0, 0), clWhite);
        b.Canvas().SetPixels(4, 0, clBlack);
        b.Canvas().SetPixels(-1, 0, clBlack);
        EXPECT_EQ(b.Canvas().Pixels(4, 0), clInvalidPixel);
        EXPECT_EQ(b.Canvas().Pixels(0, -1), clInvalidPixel);
    }
}

TEST(Bitmap, DefaultColorTables) {
    TBitmap b;
    EXPECT_EQ(b.PixelFormat(), pf32bit);
    EXPECT_TRUE(b.ColorTable().empty());
    EXPECT_TRUE(b.Palette().empty());

    b.SetPixelFormat(pf1bit);
    ASSERT_EQ(b.ColorTable().size(), 2u);
    EXPECT_EQ(ColorFromQuad(b.ColorTable()[0]), clBlack);
    EXPECT_EQ(ColorFromQuad(b.ColorTable()[1]), clWhite);

    TBitmap b4 = Make(pf4bit, 1, 1);
    ASSERT_EQ(b4.ColorTable().size(), 16u);
    EXPECT_EQ(ColorFromQuad(b4.ColorTable()[7]), MakeColor(128, 128, 128));
    EXPECT_EQ(ColorFromQuad(b4.ColorTable()[8]), MakeColor(192, 192, 192));

    TBitmap b8 = Make(pf8bit, 1, 1);
    ASSERT_EQ(b8.ColorTable().size(), 256u);
    auto t = b8.ColorTable();
    auto sys = SystemColors20();
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(t[i], sys[i]);
        EXPECT_EQ(t[246 + i], sys[10 + i]);
    }
    EXPECT_EQ(ColorFromQuad(t[10 + 5 * 36 + 1 * 6 + 0]), MakeColor(255, 51, 0));
    for (const TRGBQuad& q : t) EXPECT_EQ(q.Reserved, 0);
    // A fresh bitmap is filled with the brush colour (white).
    EXPECT_EQ(b8.Canvas().Pixels(0, 0), clWhite);
}

TEST(Bitmap, ColorTableAndPaletteExchange) {
    TBitmap b = Make(pf4bit, 2, 1);
    TPaletteEntries pal = {{10, 20, 30, 0}, {40, 50, 60, 4}};
    b.SetPalette(pal);
    ASSERT_EQ(b.ColorTable().size(), 16u);
    EXPECT_EQ(b.ColorTable()[1], (TRGBQuad{60, 50, 40, 0}));
    EXPECT_EQ(b.ColorTable()[2], TRGBQuad{});  // the rest black
    TPaletteEntries back = b.Palette();
    ASSERT_EQ(back.size(), 16u);
    EXPECT_EQ(back[0], (TPaletteEntry{10, 20, 30, 0}));
    // Nearest: squared distance, lowest index on ties.
    const TRGBQuad tie[] = {{0, 0, 10, 0}, {0, 0, 30, 0}, {0, 0, 10, 0}};
    EXPECT_EQ(NearestColorIndex(tie, 20, 0, 0), 0);
    EXPECT_EQ(NearestColorIndex(tie, 21, 0, 0), 1);
    EXPECT_EQ(NearestColorIndex(std::span<const TRGBQuad>{}, 1, 2, 3), -1);
    // Squared, not absolute: (9,9,0) is nearer to (0,0,0) by squares than (18,0,0).
    const TPaletteEntry p2[] = {{18, 0, 0, 0}, {9, 9, 0, 0}};
    EXPECT_EQ(NearestColorIndex(p2, 0, 0, 0), 1);
    const TRGBQuad q2[] = {{0, 0, 18, 0}, {0, 9, 9, 0}};
    EXPECT_EQ(NearestColorIndex(q2, 0, 0, 0), 1);
}

TEST(Bitmap, FormatConversions) {
    // 24 -> 32 -> 24 is exact; the fourth byte is 0 after the widening.
    TBitmap b = Make(pf24bit, 5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            b.Canvas().SetPixels(
                x, y, MakeColor(std::uint8_t(x * 50 + y), std::uint8_t(y * 70), std::uint8_t(255 - x)));
    TBitmap orig = b;
    ASSERT_TRUE(b.SetPixelFormat(pf32bit));
    EXPECT_EQ(b.Stride(), 20u);
    EXPECT_EQ(b.ScanLine(1)[3], 0);
    ASSERT_TRUE(b.SetPixelFormat(pf24bit));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(b.Canvas().Pixels(x, y), orig.Canvas().Pixels(x, y));

    // 16 and 15 bits truncate and come back stable.
    for (TPixelFormat pf : {pf16bit, pf15bit}) {
        TBitmap c = orig;
        ASSERT_TRUE(c.SetPixelFormat(pf));
        TBitmap once = c;
        ASSERT_TRUE(c.SetPixelFormat(pf32bit));
        EXPECT_EQ(c.ScanLine(2)[4 * 4 + 3], 0);
        ASSERT_TRUE(c.SetPixelFormat(pf));
        EXPECT_EQ(std::vector<std::uint8_t>(c.Bits(), c.Bits() + c.ByteSize()),
                  std::vector<std::uint8_t>(once.Bits(), once.Bits() + once.ByteSize()));
    }

    // 32 -> 8 picks entries of the default table, nearest each.
    TBitmap d = Make(pf32bit, 3, 1);
    d.Canvas().SetPixels(0, 0, MakeColor(250, 2, 3));
    d.Canvas().SetPixels(1, 0, MakeColor(100, 100, 100));
    d.Canvas().SetPixels(2, 0, MakeColor(166, 202, 240));
    ASSERT_TRUE(d.SetPixelFormat(pf8bit));
    EXPECT_EQ(d.ScanLine(0)[2], 9);  // exact static colour
    EXPECT_EQ(d.Canvas().Pixels(0, 0), MakeColor(255, 0, 0));
    EXPECT_EQ(d.Canvas().Pixels(1, 0), MakeColor(102, 102, 102));  // a cube grey, nearer than the ramp's 97

    // A larger indexed format keeps table and indices; a smaller one remaps.
    TBitmap e = Make(pf1bit, 9, 2);
    e.SetPalette(TPaletteEntries{{1, 2, 3, 0}, {200, 201, 202, 0}});
    e.Canvas().Brush.Color = MakeColor(1, 2, 3);
    e.Canvas().FillRect({0, 0, 9, 2});
    e.Canvas().SetPixels(8, 1, MakeColor(200, 201, 202));
    ASSERT_TRUE(e.SetPixelFormat(pf8bit));
    EXPECT_EQ(e.ScanLine(1)[8], 1);
    EXPECT_EQ(e.ScanLine(1)[7], 0);
    EXPECT_EQ(e.Canvas().Pixels(8, 1), MakeColor(200, 201, 202));
    TBitmap e32 = e;
    ASSERT_TRUE(e32.SetPixelFormat(pf32bit));  // indexed -> 32 bits: fourth byte 0
    EXPECT_EQ(e32.ScanLine(1)[4 * 8 + 3], 0);
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
    EXPECT_EQ(b.Canvas().Pixels(1, 1), MakeColor(1, 2, 3));  // refused sizes change nothing
    // Widening to 32 bits past the cap is refused too.
    TBitmap big = Make(pf1bit, 1 << 16, 1 << 13);  // 64 MiB, 2 GiB at 32 bits
    EXPECT_FALSE(big.SetPixelFormat(pf32bit));
    EXPECT_EQ(big.PixelFormat(), pf1bit);

    // Growing keeps the top-left part and fills the rest with the brush.
    b.Canvas().Brush.Color = MakeColor(9, 9, 9);
    ASSERT_TRUE(b.SetSize(3, 4));
    EXPECT_EQ(b.Canvas().Pixels(1, 1), MakeColor(1, 2, 3));
    EXPECT_EQ(b.Canvas().Pixels(2, 3), MakeColor(9, 9, 9));
    EXPECT_EQ(b.Canvas().Pixels(2, 0), MakeColor(9, 9, 9));
    ASSERT_TRUE(b.SetSize(0, 0));
    EXPECT_EQ(b.ByteSize(), 0u);

    // Sub-byte rows keep their pixels when the width changes.
    TBitmap m = Make(pf1bit, 3, 1);
    m.Canvas().Brush.Color = clBlack;
    m.Canvas().FillRect({0, 0, 3, 1});
    m.Canvas().SetPixels(2, 0, clWhite);
    ASSERT_TRUE(m.SetSize(10, 1));
    EXPECT_EQ(m.Canvas().Pixels(2, 0), clWhite);
    for (int x = 3; x < 10; ++x) EXPECT_EQ(m.Canvas().Pixels(x, 0), clBlack);
}

TEST(Bitmap, CopiesAreIndependentAndCarryTransparency) {
    TBitmap a = Make(pf8bit, 2, 2);
    a.SetTransparent(true);
    a.Canvas().SetPixels(0, 1, MakeColor(255, 0, 0));
    EXPECT_EQ(a.TransparentMode(), tmAuto);
    EXPECT_EQ(a.TransparentColor(), MakeColor(255, 0, 0));  // bottom-left pixel
    TBitmap b;
    b.Assign(a);
    b.Canvas().SetPixels(0, 1, clBlack);
    EXPECT_EQ(a.Canvas().Pixels(0, 1), MakeColor(255, 0, 0));
    EXPECT_TRUE(b.Transparent());
    b.SetTransparentColor(clWhite);
    EXPECT_EQ(b.TransparentMode(), tmFixed);
    EXPECT_EQ(b.TransparentColor(), clWhite);
    TBitmap c = std::move(b);
    EXPECT_EQ(&c.Canvas().Bitmap(), &c);  // the canvas follows its bitmap
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
    EXPECT_EQ(b.ScanLine(3)[4 * 2 + 3], 255);  // outside untouched
    EXPECT_EQ(b.ScanLine(1)[4 * 0 + 3], 255);
    b.Canvas().FillRect({3, 3, 1, 1});  // inverted: nothing
    EXPECT_EQ(b.ScanLine(0)[3], 255);
}

TEST(Bitmap, DrawStretchAndCopyRect) {
    TBitmap src = Make(pf32bit, 2, 2);
    src.Canvas().SetPixels(0, 0, MakeColor(10, 0, 0));
    src.Canvas().SetPixels(1, 0, MakeColor(20, 0, 0));
    src.Canvas().SetPixels(0, 1, MakeColor(30, 0, 0));
    src.Canvas().SetPixels(1, 1, MakeColor(40, 0, 0));
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

    // Other formats convert; stretching picks the nearest source pixel.
    TBitmap s24 = Make(pf24bit, 4, 4);
    s24.Canvas().StretchDraw({0, 0, 4, 4}, src);
    EXPECT_EQ(s24.Canvas().Pixels(0, 0), MakeColor(10, 0, 0));
    EXPECT_EQ(s24.Canvas().Pixels(1, 1), MakeColor(10, 0, 0));
    EXPECT_EQ(s24.Canvas().Pixels(2, 1), MakeColor(20, 0, 0));
    EXPECT_EQ(s24.Canvas().Pixels(3, 3), MakeColor(40, 0, 0));

    // Into an indexed bitmap: nearest entry.
    TBitmap d1 = Make(pf1bit, 2, 1);
    TBitmap bw = Make(pf24bit, 2, 1);
    bw.Canvas().SetPixels(0, 0, MakeColor(200, 200, 200));
    bw.Canvas().SetPixels(1, 0, MakeColor(20, 20, 20));
    d1.Canvas().Draw(0, 0, bw);
    EXPECT_EQ(d1.Canvas().Pixels(0, 0), clWhite);
    EXPECT_EQ(d1.Canvas().Pixels(1, 0), clBlack);

    // Equal indexed tables copy indices, even where the table repeats a colour.
    TBitmap i1 = Make(pf4bit, 2, 1), i2 = Make(pf4bit, 2, 1);
    TPaletteEntries dup(16, TPaletteEntry{5, 5, 5, 0});
    i1.SetPalette(dup);
    i2.SetPalette(dup);
    i1.ScanLine(0)[0] = 0x3C;
    i2.Canvas().Draw(0, 0, i1);
    EXPECT_EQ(i2.ScanLine(0)[0], 0x3C);

    // CopyRect onto itself reads the pixels before they are overwritten.
    s24.Canvas().CopyRect({1, 0, 4, 4}, s24.Canvas(), {0, 0, 3, 4});
    EXPECT_EQ(s24.Canvas().Pixels(3, 0), MakeColor(20, 0, 0));
    EXPECT_EQ(s24.Canvas().Pixels(2, 0), MakeColor(10, 0, 0));

    // Source rectangles partly outside the source leave those pixels alone.
    TBitmap t = Make(pf24bit, 2, 1);
    t.Canvas().CopyRect({0, 0, 2, 1}, src.Canvas(), {1, 0, 3, 1});
    EXPECT_EQ(t.Canvas().Pixels(0, 0), MakeColor(20, 0, 0));
    EXPECT_EQ(t.Canvas().Pixels(1, 0), clWhite);
    // Empty sources and empty rectangles draw nothing.
    TBitmap none;
    t.Canvas().Draw(0, 0, none);
    t.Canvas().StretchDraw({1, 0, 1, 1}, src);
    EXPECT_EQ(t.Canvas().Pixels(1, 0), clWhite);
}
