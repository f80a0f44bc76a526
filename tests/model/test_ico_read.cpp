// Reading icon and cursor files: layout rules, every depth, and hostile input.
#include <gtest/gtest.h>

#include <cstdio>

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

// A w x 2 24-bit entry: colour rows bottom-up, then the mask rows (top row's bits in maskTop).
Bytes Dib24(std::int32_t w = 2, std::int32_t biHeight = 4, std::uint8_t maskTop = 0) {
    Bytes d = DibHeader(w, biHeight, 24);
    d.insert(d.end(), {3, 2, 1, 6, 5, 4, 0, 0, 30, 20, 10, 60, 50, 40, 0, 0, 0, 0, 0, 0, maskTop, 0, 0, 0});
    return d;
}

// The pixels as "RRGGBBAA" words, rows top first split by '|'; transparent pixels read 00000000.
std::string Hex(const TmyImagePal& img) {
    std::string out;
    char word[10];
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x) {
            const TmyPixel p = img.At(x, y).A ? img.At(x, y) : TmyPixel::Create();
            std::snprintf(word, sizeof word, "%02x%02x%02x%02x", p.R, p.G, p.B, p.A);
            out += (x ? " " : y ? "|" : "") + std::string(word);
        }
    return out;
}

// 3x1 images of 1, 4 and 8 bits, palette entry i = (7, 0, i), third pixel
// masked; the 8-bit header says 16 colours used, 256 entries are read anyway.
Bytes Indexed(std::uint16_t bits, Bytes pixels) {
    Bytes d = DibHeader(3, 2, bits, 40, bits == 8 ? 16 : 0);
    for (int i = 0; i < PaletteCountForBits(bits); ++i) d.insert(d.end(), {static_cast<std::uint8_t>(i), 0, 7, 0});
    pixels.resize(4);
    d.insert(d.end(), pixels.begin(), pixels.end());
    d.insert(d.end(), {0x20, 0, 0, 0});
    return d;
}

// A 1x2 32-bit entry, rows bottom-up, with or without the mask (bottom pixel set).
Bytes Dib32(std::uint8_t alpha, bool withMask) {
    Bytes d = DibHeader(1, 4, 32);
    d.insert(d.end(), {1, 2, 3, alpha, 4, 5, 6, alpha});
    if (withMask) d.insert(d.end(), {0x80, 0, 0, 0, 0, 0, 0, 0});
    return d;
}

}  // namespace

TEST(IcoRead, RefusedHeadersAndEmptyDirectories) {
    const Bytes good = Dib24();
    const struct {
        const char* name;
        Bytes file;
        bool message;  // whether "Invalid File Format!" is shown
    } cases[] = {
        {"reserved word set", IcoFile(1, {{good}}, -1, 1), true},
        {"type 3", IcoFile(3, {{good}}), true},
        {"shorter than the header", Bytes{0, 0, 1}, true},
        {"79 entries in 8 bytes", Bytes{0, 0, 1, 0, 79, 0, 0, 0}, true},
        {"no entries", IcoFile(1, {}), false},
        {"negative count", IcoFile(1, {{good}}, 0x8001), false},
    };
    for (const auto& [name, file, message] : cases) {
        SCOPED_TRACE(name);
        const Loaded r = Load(file);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.doc.Count(), 0);
        ASSERT_EQ(r.shown.size(), message ? 1u : 0u);
        if (message) {
            EXPECT_TRUE(r.shown[0].text == "Invalid File Format!" && r.shown[0].kind == mkError);
        }
        EXPECT_TRUE(Load(file, false).shown.empty());
    }
}

TEST(IcoRead, HotspotsOffsetsAndEndPosition) {
    const Loaded icon = Load(IcoFile(1, {{Dib24(), 5, 24}}));
    ASSERT_TRUE(icon.ok && !icon.doc.IsCursor);
    EXPECT_EQ(icon.doc.Image(0).HotSpotX() + icon.doc.Image(0).HotSpotY(), 0);

    // Embedded at offset 10: image offsets count from the file's start; alike
    // images keep file order after the stable sort; hotspots are clamped.
    const Bytes file = IcoFile(2, {{Dib24(1, 2), 1, 0}, {Dib24(), 1, 0}, {Dib24(), -5, 300}, {Dib24(), 0, 1}});
    Bytes outer(10, 0xEE);
    outer.insert(outer.end(), file.begin(), file.end());
    outer.insert(outer.end(), 5, 0xEE);
    ByteReader reader(outer);
    reader.seek(10);
    TmyIcon doc;
    ASSERT_TRUE(TmyIcoIO(false).LoadFromStream(doc, reader));
    EXPECT_EQ(reader.pos(), 10 + file.size());
    EXPECT_TRUE(doc.IsCursor);
    std::string spots;  // canonical order: widest first
    for (int i = 0; i < doc.Count(); ++i)
        spots += std::to_string(doc.Image(i).Width()) + ":" + std::to_string(doc.Image(i).HotSpotX()) + "," +
                 std::to_string(doc.Image(i).HotSpotY()) + " ";
    EXPECT_EQ(spots, "2:1,0 2:0,1 2:0,1 1:0,0 ");
}

TEST(IcoRead, EveryDepthBottomUpWithMaskOrAlpha) {
    Bytes d16 = DibHeader(2, 2, 16);  // 7FFF white, 001F blue with bit 15 set: ignored
    d16.insert(d16.end(), {0xFF, 0x7F, 0x1F, 0x80, 0, 0, 0, 0, 0, 0, 0, 0});
    // Icons take a PNG's depth from the directory; cursors, which hold the
    // hotspot there, from the PNG: a palette image of 2 bits becomes 4-bit.
    const Bytes rgbw = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    const struct {
        const char* name;
        std::uint16_t type;
        Entry entry;
        const char* want;  // depth, then the pixels
    } cases[] = {
        {"24 bits with the mask", 1, {Dib24(2, 4, 0x40)}, "24 0a141eff 00000000|010203ff 040506ff"},
        {"1 bit", 1, {Indexed(1, {0x40})}, "1 070000ff 070001ff 00000000"},
        {"4 bits", 1, {Indexed(4, {0x2F})}, "4 070002ff 07000fff 00000000"},
        {"8 bits", 1, {Indexed(8, {200, 3, 9})}, "8 0700c8ff 070003ff 00000000"},
        {"16 bits become 24", 1, {d16}, "24 ffffffff 0000ffff"},
        {"32 bits of alpha 0: the mask decides", 1, {Dib32(0, true)}, "32 060504ff|00000000"},
        {"32 bits with alpha", 1, {Dib32(7, true)}, "32 06050407|03020107"},
        {"32 bits with alpha, mask missing", 1, {Dib32(7, false)}, "32 06050407|03020107"},
        {"PNG RGBA in an icon", 1, {PngFile(2, 1, 8, 6, {{1, 2, 3, 4, 5, 6, 7, 255}}), 1, 32}, "32 01020304 050607ff"},
        {"PNG grey with alpha, icon says 24", 1, {PngFile(2, 1, 8, 4, {{90, 0, 200, 77}}), 1, 24}, "24 00000000 c8c8c84d"},
        {"PNG RGB, icon says 8", 1, {PngFile(2, 1, 8, 2, {{1, 2, 3, 1, 2, 3}}), 1, 8}, "8 010203ff 010203ff"},
        {"PNG 2-bit palette in a cursor", 2, {PngFile(3, 1, 2, 3, {{0x1B}}, rgbw), 1, 2}, "4 000000ff ff0000ff 00ff00ff"},
        {"PNG RGBA in a cursor", 2, {PngFile(2, 1, 8, 6, {{1, 2, 3, 4, 5, 6, 7, 255}}), 0, 1}, "32 01020304 050607ff"},
        // tRNS for three of four entries: 128, 129, 0, kept as they are; index 9 lies beyond the palette.
        {"PNG palette with partial tRNS", 1,
         {PngFile(5, 1, 8, 3, {{0, 1, 2, 3, 9}}, {10, 0, 0, 20, 0, 0, 30, 0, 0, 40, 0, 0}, {128, 129, 0}), 1, 32},
         "32 0a000080 14000081 00000000 280000ff 000000ff"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded r = Load(IcoFile(c.type, {c.entry}));
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(std::to_string(r.doc.Image(0).BitCount) + " " + Hex(r.doc.Image(0)), c.want);
    }
    EXPECT_EQ(Load(IcoFile(1, {{Dib32(0, true)}})).maskFor32, 1);
    EXPECT_EQ(Load(IcoFile(1, {{Dib32(7, true)}})).maskFor32, 0);
    EXPECT_FALSE(Load(IcoFile(1, {{Dib32(0, false)}})).ok);  // the mask decides and is missing
    const Loaded i8 = Load(IcoFile(1, {{Indexed(8, {})}}));
    EXPECT_EQ((*i8.doc.Image(0).Palette)[255], TmyPixel::CreateRGBA(7, 0, 255, 255));
    const Loaded cur = Load(IcoFile(2, {{PngFile(3, 1, 2, 3, {{0x1B}}, rgbw), 1, 2}}));
    EXPECT_EQ(cur.doc.Image(0).HotSpotX(), 1);
}

TEST(IcoRead, BrokenEntriesAreSkippedAndNeverHalfAdded) {
    Bytes truncated = Dib24(), bits2 = DibHeader(2, 4, 2), v5 = DibHeader(2, 4, 32, 108);
    truncated.resize(truncated.size() - 12);  // part of the colour rows and the mask missing
    bits2.resize(bits2.size() + 64);
    v5.resize(v5.size() + 200);
    const struct {
        const char* name;
        Entry entry;
        const char* message;
        int kind;
    } cases[] = {
        {"too wide", {DibHeader(512, 128, 24)}, "Image ignored: Too big (512x128)", mkWarning},
        {"too high, the stored height shown", {DibHeader(256, 514, 32)}, "Image ignored: Too big (256x514)", mkWarning},
        {"2 bits", {bits2}, "2 bit images are not suported!", mkInformation},
        {"other header: the icon's bit count shown", {v5, 1, 0}, "0 bit images are not suported!", mkInformation},
        {"colour rows and mask cut short", {truncated}, nullptr, 0},
        {"zero width", {DibHeader(0, 4, 24)}, nullptr, 0},
        {"height of half a row", {DibHeader(2, 1, 24)}, nullptr, 0},
        {"negative height", {DibHeader(2, -4, 24)}, nullptr, 0},
        {"offset far beyond the data", {Dib24(), 0, 0, 0x7FFFFFFF}, nullptr, 0},
        {"offset wrapping 32 bits", {Dib24(), 0, 0, 0xFFFFFFF0}, nullptr, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Last, so that a cut-off entry meets the end of the data; the good ones still load.
        const Loaded r = Load(IcoFile(1, {{Dib24(2, 4)}, {Dib24(1, 2)}, c.entry}));
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.doc.Count(), 2);
        ASSERT_EQ(r.shown.size(), c.message ? 1u : 0u);
        if (c.message) {
            EXPECT_TRUE(r.shown[0].text == c.message && r.shown[0].kind == c.kind) << r.shown[0].text;
        }
        // Alone it fails the whole file, silently.
        const Loaded alone = Load(IcoFile(1, {c.entry}), false);
        EXPECT_FALSE(alone.ok);
        EXPECT_EQ(alone.doc.Count(), 0);
    }
}

TEST(IcoRead, AtMostAHundredEntriesAndOnlyThosePresent) {
    const Loaded r = Load(IcoFile(2, std::vector<Entry>(101, Entry{Dib24()})));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.doc.Count(), 100);

    // Three entries announced, the directory cut inside the second.
    Bytes cut = IcoFile(1, {{Dib24(), 0, 0, 200}, {Dib24()}, {Dib24()}});
    cut.resize(6 + 16 + 10);
    cut.resize(200);
    const Bytes img = Dib24();
    cut.insert(cut.end(), img.begin(), img.end());
    const Loaded c = Load(cut);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.doc.Count(), 1);
}

// ---------------------------------------------------------------- PNG entries

// The PNG with one more chunk right after its header.
Bytes WithChunk(Bytes png, const char* name, const Bytes& data) {
    ByteWriter w;
    Chunk(w, name, data);
    png.insert(png.begin() + 33, w.buffer().begin(), w.buffer().end());
    return png;
}

TEST(IcoReadPng, TransparencyAndGammaOfPngEntries) {
    const Bytes blacks(12, 0), grey55 = {5, 5, 5, 5, 5, 5}, pal = {10, 100, 200, 40, 80, 160};
    const Bytes shadow = PngFile(4, 1, 8, 3, {{0, 1, 2, 3}}, blacks, {0, 64, 128, 255});
    const struct {
        const char* name;
        std::uint16_t type;
        Entry entry;
        const char* want;  // depth, then the pixels
    } rows[] = {
        // A common cursor shadow: entries of one colour (black) with different alpha.
        {"a cursor's palette shadow loads as 32 bits with its alpha", 2, {shadow, 0, 0},
         "32 00000000 00000040 00000080 000000ff"},
        {"an icon directory saying 8 bits does not drop the alpha", 1, {shadow, 1, 8},
         "32 00000000 00000040 00000080 000000ff"},
        {"palette alpha of only 0 and 255 stays indexed", 2, {PngFile(3, 1, 8, 3, {{0, 1, 2}}, blacks, {0, 255, 0})},
         "8 00000000 000000ff 00000000"},
        {"the transparent entry is an index: the same colour elsewhere stays opaque", 2,
         {PngFile(2, 1, 8, 3, {{0, 1}}, grey55, {0})}, "8 00000000 050505ff"},
        {"16-bit grey keys compare all 16 bits", 2,
         {PngFile(2, 1, 16, 0, {{0x12, 0x34, 0x12, 0x35}}, {}, {0x12, 0x34})}, "32 00000000 121212ff"},
        {"keys compare the file's samples before gamma", 2,
         {PngFile(2, 1, 8, 2, {{255, 255, 255, 254, 254, 254}}, {}, {0, 255, 0, 255, 0, 255}, 100000)},
         "32 00000000 ffffffff"},
        // The palette carries the gamma once, with and without partial transparency.
        {"palette gamma applied once", 1, {PngFile(2, 1, 8, 3, {{0, 1}}, pal, {}, 100000), 1, 32},
         "32 3ba7e4ff 6e97ceff"},
        {"palette gamma applied once beside partial alpha", 1, {PngFile(2, 1, 8, 3, {{0, 1}}, pal, {255, 200}, 100000), 1, 32},
         "32 3ba7e4ff 6e97cec8"},
        {"a gAMA chunk of another length is ignored", 2,
         {WithChunk(PngFile(1, 1, 8, 2, {{128, 64, 32}}), "gAMA", {0, 1, 0})}, "24 804020ff"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const Loaded l = Load(IcoFile(r.type, {r.entry}));
        ASSERT_TRUE(l.ok);
        EXPECT_EQ(std::to_string(l.doc.Image(0).BitCount) + " " + Hex(l.doc.Image(0)), r.want);
        // Saved as a cursor and read again, the pixels and their alpha stay.
        ByteWriter saved;
        ASSERT_TRUE(TmyIcoIO(false).SaveToStream(l.doc, saved, false));
        const Loaded back = Load(saved.buffer());
        ASSERT_TRUE(back.ok);
        EXPECT_EQ(std::to_string(back.doc.Image(0).BitCount) + " " + Hex(back.doc.Image(0)), r.want);
    }
}

TEST(IcoReadPng, HugeHeadersAreRefusedUndecodedAndDamageIsSilent) {
    Bytes huge = PngFile(2, 1, 8, 6, {{1, 2, 3, 4, 5, 6, 7, 8}}), damaged = huge;
    huge[16 + 2] = 0xEA;  // width 59906; the CRC is now wrong too, yet the size decides first
    damaged[damaged.size() - 20] ^= 0xFF;
    const Loaded r = Load(IcoFile(1, {{huge, 1, 32}, {damaged, 1, 32}, {Dib24()}}));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.doc.Count(), 1);
    ASSERT_EQ(r.shown.size(), 1u);
    EXPECT_EQ(r.shown[0].text, "Image ignored: Too big (59906x1)");
}
