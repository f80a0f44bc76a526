// Reading icon and cursor files: layout rules, every depth, and hostile input.
#include <gtest/gtest.h>

#include "model/IcoIO.h"
#include "test_ico_support.h"

using namespace velto;
using namespace icotest;

namespace {

struct Loaded {
    bool ok = false;
    TmyIcon doc;
    std::vector<MessageRequest> shown;
    int maskFor32 = -1;
};

Loaded Load(const Bytes& file, bool show = true) {
    Loaded r;
    MessageLog log;
    TmyIcoIO io(show);
    ByteReader reader(file);
    r.ok = io.LoadFromStream(r.doc, reader);
    r.shown = log.shown;
    r.maskFor32 = io.MaskFor32();
    return r;
}

// A 2x2 24-bit entry: colour rows bottom-up, then a mask whose set bits are `mask` (rows top first).
Bytes Dib24(std::int32_t w = 2, std::int32_t biHeight = 4, std::uint8_t maskTop = 0, std::uint8_t maskBottom = 0) {
    Bytes d = DibHeader(w, biHeight, 24);
    const std::uint8_t rows[2][8] = {{3, 2, 1, 6, 5, 4, 0, 0}, {30, 20, 10, 60, 50, 40, 0, 0}};  // bottom, top
    for (const auto& r : rows) d.insert(d.end(), r, r + 8);
    const std::uint8_t mask[8] = {maskBottom, 0, 0, 0, maskTop, 0, 0, 0};
    d.insert(d.end(), mask, mask + 8);
    return d;
}

TmyPixel Rgba(int r, int g, int b, int a) {
    return TmyPixel::CreateRGBA(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(a));
}

}  // namespace

TEST(IcoRead, RefusedHeadersAndEmptyDirectories) {
    const Bytes good = Dib24();
    struct Case {
        const char* what;
        Bytes file;
        bool message;
    } cases[] = {
        {"reserved word set", IcoFile(1, {{good}}, -1, 1), true},
        {"type 3", IcoFile(3, {{good}}), true},
        {"shorter than the header", Bytes{0, 0, 1}, true},
        {"79 entries in 8 bytes", Bytes{0, 0, 1, 0, 79, 0, 0, 0}, true},
        {"no entries", IcoFile(1, {}), false},
        {"negative count", IcoFile(1, {{good}}, 0x8001), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Loaded r = Load(c.file);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.doc.Count(), 0);
        ASSERT_EQ(r.shown.size(), c.message ? 1u : 0u);
        if (c.message) {
            EXPECT_EQ(r.shown[0].text, "Invalid File Format!");
            EXPECT_EQ(r.shown[0].kind, mkError);
        }
        EXPECT_TRUE(Load(c.file, false).shown.empty());
    }
}

TEST(IcoRead, HotspotsOfCursorsOnlyAndClamped) {
    const Loaded icon = Load(IcoFile(1, {{Dib24(), 5, 24}}));
    ASSERT_TRUE(icon.ok);
    EXPECT_FALSE(icon.doc.IsCursor);
    EXPECT_EQ(icon.doc.Image(0).HotSpotX(), 0);
    EXPECT_EQ(icon.doc.Image(0).HotSpotY(), 0);

    const Loaded cursor = Load(IcoFile(2, {{Dib24(), 1, 0}, {Dib24(), -5, 300}, {Dib24(), 0, 1}}));
    ASSERT_TRUE(cursor.ok);
    EXPECT_TRUE(cursor.doc.IsCursor);
    ASSERT_EQ(cursor.doc.Count(), 3);  // alike formats are all kept, in file order after the stable sort
    EXPECT_EQ(cursor.doc.Image(0).HotSpotX(), 1);
    EXPECT_EQ(cursor.doc.Image(1).HotSpotX(), 0);
    EXPECT_EQ(cursor.doc.Image(1).HotSpotY(), 1);
    EXPECT_EQ(cursor.doc.Image(2).HotSpotY(), 1);
}

TEST(IcoRead, EveryDepthBottomUpWithMask) {
    // 24 bits, second mask bit of the top row set.
    Loaded r = Load(IcoFile(1, {{Dib24(2, 4, 0x40, 0)}}));
    ASSERT_TRUE(r.ok);
    const TmyImagePal& img24 = r.doc.Image(0);
    EXPECT_EQ(img24.Width(), 2);
    EXPECT_EQ(img24.Height(), 2);
    EXPECT_EQ(img24.At(0, 0), Rgba(10, 20, 30, 255));
    EXPECT_EQ(img24.At(1, 0), Rgba(0, 0, 0, 0));
    EXPECT_EQ(img24.At(1, 1), Rgba(4, 5, 6, 255));

    // 1, 4 and 8 bits (the 8-bit header says 16 colours used; 256 entries are read anyway), 3x1 images.
    auto indexed = [](std::uint16_t bits, Bytes pixels) {
        Bytes d = DibHeader(3, 2, bits, 40, bits == 8 ? 16 : 0);
        for (int i = 0; i < PaletteCountForBits(bits); ++i) d.insert(d.end(), {static_cast<std::uint8_t>(i), 0, 7, 0});
        pixels.resize(4);
        d.insert(d.end(), pixels.begin(), pixels.end());
        d.insert(d.end(), {0x20, 0, 0, 0});  // third pixel transparent
        return d;
    };
    const Loaded ix = Load(IcoFile(1, {{indexed(1, {0x40})}, {indexed(4, {0x2F})}, {indexed(8, {200, 3, 9})}}));
    ASSERT_TRUE(ix.ok);
    ASSERT_EQ(ix.doc.Count(), 3);
    const TmyImagePal& i8 = ix.doc.Image(0);
    const TmyImagePal& i4 = ix.doc.Image(1);
    const TmyImagePal& i1 = ix.doc.Image(2);
    EXPECT_EQ(i8.BitCount, 8);
    EXPECT_EQ(i8.Palette->Count(), 256);
    EXPECT_EQ((*i8.Palette)[255], Rgba(7, 0, 255, 255));
    EXPECT_EQ(i8.At(0, 0), Rgba(7, 0, 200, 255));
    EXPECT_EQ(i8.At(1, 0), Rgba(7, 0, 3, 255));
    EXPECT_EQ(i8.At(2, 0), Rgba(0, 0, 0, 0));
    EXPECT_EQ(i4.At(0, 0), Rgba(7, 0, 2, 255));
    EXPECT_EQ(i4.At(1, 0), Rgba(7, 0, 15, 255));
    EXPECT_EQ(i1.At(0, 0), Rgba(7, 0, 0, 255));
    EXPECT_EQ(i1.At(1, 0), Rgba(7, 0, 1, 255));

    // 16 bits become 24: 7FFF white, 001F blue, bit 15 ignored.
    Bytes d16 = DibHeader(2, 2, 16);
    d16.insert(d16.end(), {0xFF, 0x7F, 0x1F, 0x80, 0, 0, 0, 0, 0, 0, 0, 0});
    const Loaded r16 = Load(IcoFile(1, {{d16}}));
    ASSERT_TRUE(r16.ok);
    EXPECT_EQ(r16.doc.Image(0).BitCount, 24);
    EXPECT_EQ(r16.doc.Image(0).At(0, 0), Rgba(255, 255, 255, 255));
    EXPECT_EQ(r16.doc.Image(0).At(1, 0), Rgba(0, 0, 255, 255));
}

TEST(IcoRead, ThirtyTwoBitAlphaOrMask) {
    auto dib32 = [](std::uint8_t alpha, bool withMask) {
        Bytes d = DibHeader(1, 4, 32);
        d.insert(d.end(), {1, 2, 3, alpha, 4, 5, 6, alpha});  // bottom, top
        if (withMask) d.insert(d.end(), {0x80, 0, 0, 0, 0, 0, 0, 0});
        return d;
    };
    const Loaded masked = Load(IcoFile(1, {{dib32(0, true)}}));
    ASSERT_TRUE(masked.ok);
    EXPECT_EQ(masked.maskFor32, 1);
    EXPECT_EQ(masked.doc.Image(0).At(0, 1), Rgba(0, 0, 0, 0));
    EXPECT_EQ(masked.doc.Image(0).At(0, 0), Rgba(6, 5, 4, 255));
    const Loaded alpha = Load(IcoFile(1, {{dib32(7, true)}}));
    ASSERT_TRUE(alpha.ok);
    EXPECT_EQ(alpha.maskFor32, 0);
    EXPECT_EQ(alpha.doc.Image(0).At(0, 1), Rgba(3, 2, 1, 7));
    // A missing mask is harmless when alpha decides, not when the mask does.
    EXPECT_TRUE(Load(IcoFile(1, {{dib32(7, false)}})).ok);
    EXPECT_FALSE(Load(IcoFile(1, {{dib32(0, false)}})).ok);
}

TEST(IcoRead, BrokenEntriesAreSkippedAndNeverHalfAdded) {
    Bytes truncated = Dib24();
    truncated.resize(truncated.size() - 12);  // part of the colour rows and the mask missing
    Bytes bits2 = DibHeader(2, 4, 2);
    bits2.resize(bits2.size() + 64);
    Bytes v5 = DibHeader(2, 4, 32, 108);
    v5.resize(v5.size() + 200);
    Bytes big = DibHeader(512, 128, 24);
    Bytes tall = DibHeader(256, 514, 32);
    struct Case {
        const char* what;
        Entry entry;
        const char* message;
        int kind;
    } cases[] = {
        {"too wide", {big}, "Image ignored: Too big (512x128)", mkWarning},
        {"too high, stored height shown", {tall}, "Image ignored: Too big (256x514)", mkWarning},
        {"2 bits", {bits2}, "2 bit images are not suported!", mkInformation},
        {"other header, icon bit count 0", {v5, 1, 0}, "0 bit images are not suported!", mkInformation},
        {"rows cut off", {truncated}, nullptr, 0},
        {"width 0", {DibHeader(0, 4, 24)}, nullptr, 0},
        {"height 0", {DibHeader(2, 1, 24)}, nullptr, 0},
        {"negative height", {DibHeader(2, -4, 24)}, nullptr, 0},
        {"offset far beyond the data", {Dib24(), 0, 0, 0x7FFFFFFF}, nullptr, 0},
        {"offset wrapping 32 bits", {Dib24(), 0, 0, 0xFFFFFFF0}, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Last, so that a cut-off entry meets the end of the data; the good ones still load.
        const Loaded r = Load(IcoFile(1, {{Dib24(2, 4)}, {Dib24(1, 2)}, c.entry}));
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.doc.Count(), 2);
        ASSERT_EQ(r.shown.size(), c.message ? 1u : 0u);
        if (c.message) {
            EXPECT_EQ(r.shown[0].text, c.message);
            EXPECT_EQ(r.shown[0].kind, c.kind);
        }
        // Alone it fails the whole file, silently.
        const Loaded alone = Load(IcoFile(1, {c.entry}), false);
        EXPECT_FALSE(alone.ok);
        EXPECT_EQ(alone.doc.Count(), 0);
    }
}

TEST(IcoRead, AtMostAHundredEntriesAndOnlyThosePresent) {
    std::vector<Entry> entries(101, Entry{Dib24()});
    const Loaded r = Load(IcoFile(2, entries));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.doc.Count(), TmyIcoIO::MaxEntries);

    // Three entries announced, the directory cut inside the second.
    Bytes file = IcoFile(1, {{Dib24(), 0, 0, 200}, {Dib24()}, {Dib24()}});
    Bytes cut(file.begin(), file.begin() + 6 + 16 + 10);
    cut.resize(200);
    const Bytes img = Dib24();
    cut.insert(cut.end(), img.begin(), img.end());
    const Loaded c = Load(cut);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.doc.Count(), 1);
}

TEST(IcoRead, EmbeddedFileOffsetsAndEndPosition) {
    const Bytes file = IcoFile(2, {{Dib24(1, 2)}, {Dib24(2, 4)}});
    Bytes outer(10, 0xEE);
    outer.insert(outer.end(), file.begin(), file.end());
    outer.insert(outer.end(), 5, 0xEE);
    ByteReader reader(outer);
    reader.seek(10);
    TmyIcon doc;
    ASSERT_TRUE(TmyIcoIO(false).LoadFromStream(doc, reader));
    EXPECT_EQ(doc.Count(), 2);
    EXPECT_EQ(doc.Image(0).Width(), 2);  // canonical order: widest first
    EXPECT_EQ(reader.pos(), 10 + file.size());
}

// ---------------------------------------------------------------- PNG entries

TEST(IcoReadPng, PaletteAlphaIsAllOrNothingAndBrokenPalettesAreBounded) {
    // Four palette entries, tRNS for three of them: 128, 129, 0 (the fourth stays opaque).
    const Bytes plte = {10, 0, 0, 20, 0, 0, 30, 0, 0, 40, 0, 0};
    const Bytes png = PngFile(5, 1, 8, 3, {{0, 1, 2, 3, 9}}, plte, {128, 129, 0});
    const Loaded r = Load(IcoFile(1, {{png, 1, 32}}));
    ASSERT_TRUE(r.ok) << "PNG decoding";
    const TmyImagePal& img = r.doc.Image(0);
    EXPECT_EQ(img.BitCount, 32);
    EXPECT_EQ(img.At(0, 0).A, 0);
    EXPECT_EQ(img.At(1, 0), Rgba(20, 0, 0, 255));
    EXPECT_EQ(img.At(2, 0).A, 0);
    EXPECT_EQ(img.At(3, 0), Rgba(40, 0, 0, 255));
    EXPECT_EQ(img.At(4, 0), Rgba(0, 0, 0, 255));  // index beyond the palette
}

TEST(IcoReadPng, PaletteGammaIsAppliedOnce) {
    // The same palette image with and without partial transparency: both
    // roads must give the same colours (the palette already carries gamma).
    const Bytes plte = {10, 100, 200, 40, 80, 160};
    const Bytes keyed = PngFile(2, 1, 8, 3, {{0, 1}}, plte, {255, 200}, 100000);
    const Bytes plain = PngFile(2, 1, 8, 3, {{0, 1}}, plte, {}, 100000);
    const Loaded a = Load(IcoFile(1, {{keyed, 1, 32}}));
    const Loaded b = Load(IcoFile(1, {{plain, 1, 32}}));
    ASSERT_TRUE(a.ok && b.ok) << "PNG decoding";
    EXPECT_NE(b.doc.Image(0).At(0, 0), Rgba(10, 100, 200, 255)) << "gamma 1.0 should change the samples";
    for (int x = 0; x < 2; ++x) {
        const TmyPixel p = a.doc.Image(0).At(x, 0), q = b.doc.Image(0).At(x, 0);
        EXPECT_EQ(Rgba(p.R, p.G, p.B, 255), Rgba(q.R, q.G, q.B, 255)) << "pixel " << x;
    }
}

TEST(IcoReadPng, TrueColourGreyAndDepths) {
    const Bytes rgba = PngFile(2, 1, 8, 6, {{1, 2, 3, 4, 5, 6, 7, 255}});
    const Bytes greyAlpha = PngFile(2, 1, 8, 4, {{90, 0, 200, 77}});
    const Bytes opaque = PngFile(2, 1, 8, 2, {{1, 2, 3, 1, 2, 3}});
    // Icons take the depth from the directory; cursors, whose word there is
    // the hotspot, from the PNG: a palette image of 2 bits becomes 4-bit.
    const Bytes twoBit = PngFile(3, 1, 2, 3, {{0x1B}}, {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255});
    const Loaded icon = Load(IcoFile(1, {{rgba, 1, 32}, {greyAlpha, 1, 24}, {opaque, 1, 8}}));
    ASSERT_TRUE(icon.ok) << "PNG decoding";
    ASSERT_EQ(icon.doc.Count(), 3);
    EXPECT_EQ(icon.doc.Image(0).At(0, 0), Rgba(1, 2, 3, 4));
    EXPECT_EQ(icon.doc.Image(1).BitCount, 24);
    EXPECT_EQ(icon.doc.Image(1).At(0, 0), Rgba(90, 90, 90, 0));
    EXPECT_EQ(icon.doc.Image(1).At(1, 0), Rgba(200, 200, 200, 77));
    EXPECT_EQ(icon.doc.Image(2).BitCount, 8);
    EXPECT_EQ((*icon.doc.Image(2).Palette)[0], Rgba(1, 2, 3, 255));  // palette built from the pixels

    const Loaded cursor = Load(IcoFile(2, {{twoBit, 1, 2}, {rgba, 0, 1}}));
    ASSERT_TRUE(cursor.ok);
    ASSERT_EQ(cursor.doc.Count(), 2);
    EXPECT_EQ(cursor.doc.Image(0).BitCount, 32);
    EXPECT_EQ(cursor.doc.Image(1).BitCount, 4);
    EXPECT_EQ(cursor.doc.Image(1).At(1, 0), Rgba(255, 0, 0, 255));
    EXPECT_EQ(cursor.doc.Image(1).At(2, 0), Rgba(0, 255, 0, 255));
    EXPECT_EQ(cursor.doc.Image(1).HotSpotX(), 1);
}

TEST(IcoReadPng, HugeHeadersAreRefusedUndecodedAndDamageIsSilent) {
    Bytes huge = PngFile(2, 1, 8, 6, {{1, 2, 3, 4, 5, 6, 7, 8}});
    huge[16 + 2] = 0xEA;  // width 0x0000EA02 = 59906; CRC now wrong too, yet the size decides first
    Bytes damaged = PngFile(2, 1, 8, 6, {{1, 2, 3, 4, 5, 6, 7, 8}});
    damaged[damaged.size() - 20] ^= 0xFF;
    const Loaded r = Load(IcoFile(1, {{huge, 1, 32}, {damaged, 1, 32}, {Dib24()}}));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.doc.Count(), 1);
    ASSERT_EQ(r.shown.size(), 1u);
    EXPECT_EQ(r.shown[0].text, "Image ignored: Too big (59906x1)");
}
