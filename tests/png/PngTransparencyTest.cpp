// Transparency as the codec shows it (GetRGBA): palette alpha by index, one
// transparent colour compared on the file's full samples before gamma, and the
// gAMA chunks that must not darken an image.
#include <gtest/gtest.h>

#include <cstdio>

#include "PngTestUtil.h"

using namespace velto;
using namespace pngtest;

namespace {

// "rrggbbaa" per pixel, rows split by '|'.
std::string Shown(const TPNGObject& png) {
    const Rgba r = ToRgba(png);
    std::string out;
    char word[10];
    for (std::size_t i = 0; i < r.px.size(); i += 4) {
        std::snprintf(word, sizeof word, "%02x%02x%02x%02x", r.px[i], r.px[i + 1], r.px[i + 2], r.px[i + 3]);
        out += (i == 0 ? "" : i % (static_cast<std::size_t>(r.width) * 4) == 0 ? "|" : " ") + std::string(word);
    }
    return out;
}

Bytes Gama(std::uint32_t value) {
    Bytes g;
    Put32(g, value);
    return Chunk("gAMA", g);
}

const Bytes kBlacks = Chunk("PLTE", Bytes(12, 0));  // four entries, all black
const Bytes kGrey55 = Chunk("PLTE", {5, 5, 5, 5, 5, 5});

}  // namespace

TEST(PngTransparency, ShownAsTheFileMeansIt) {
    const struct {
        const char* name;
        Bytes file;
        const char* shown;
        bool partial;  // PartialAlpha: needs an alpha channel when imported
    } rows[] = {
        {"palette alpha between 0 and 255 is kept",
         OneImage(3, 1, 8, 3, {0, 0, 1, 2}, {Chunk("PLTE", {10, 0, 0, 20, 0, 0, 30, 0, 0}), Chunk("tRNS", {128, 0, 255})}),
         "0a000080 14000000 1e0000ff", true},
        {"a soft shadow of one colour keeps every entry's alpha",
         OneImage(4, 1, 8, 3, {0, 0, 1, 2, 3}, {kBlacks, Chunk("tRNS", {255, 0, 128, 64})}),
         "000000ff 00000000 00000080 00000040", true},
        {"palette alpha of only 0 and 255 is all or nothing",
         OneImage(3, 1, 8, 3, {0, 0, 1, 2}, {kBlacks, Chunk("tRNS", {0, 255, 0})}), "00000000 000000ff 00000000", false},
        {"the transparent entry is an index, not a colour",
         OneImage(2, 1, 8, 3, {0, 0, 1}, {kGrey55, Chunk("tRNS", {0})}), "05050500 050505ff", false},
        {"a 2-bit palette index beyond the palette is opaque black",
         OneImage(3, 1, 2, 3, {0, 0b00011000}, {kGrey55, Chunk("tRNS", {0, 77})}), "05050500 0505054d 000000ff", true},
        {"16-bit grey keys compare all 16 bits",
         OneImage(3, 1, 16, 0, {0, 0x12, 0x34, 0x12, 0x35, 0x12, 0x00}, {Chunk("tRNS", {0x12, 0x34})}),
         "12121200 121212ff 121212ff", false},
        {"16-bit RGB keys compare all 16 bits",
         OneImage(2, 1, 16, 2, {0, 1, 2, 3, 4, 5, 6, 1, 9, 3, 4, 5, 6}, {Chunk("tRNS", {1, 2, 3, 4, 5, 6})}),
         "01030500 010305ff", false},
        {"2-bit grey keys compare the file's sample",
         OneImage(4, 1, 2, 0, {0, 0b00011011}, {Chunk("tRNS", {0, 2})}), "000000ff 555555ff aaaaaa00 ffffffff", false},
        // Gamma 1.0 shows file values 254 and 255 both as 255: only the key's own value is transparent.
        {"keys compare the file's samples before gamma",
         OneImage(2, 1, 8, 2, {0, 255, 255, 255, 254, 254, 254}, {Gama(100000), Chunk("tRNS", {0, 255, 0, 255, 0, 255})}),
         "ffffff00 ffffffff", false},
        // Pixels 0, 2, 1 come in passes 1, 4 and 6.
        {"interlaced rows are keyed at their own columns",
         OneImage(3, 1, 8, 2, {0, 7, 7, 7, 0, 9, 9, 9, 0, 7, 7, 7}, {Chunk("tRNS", {0, 7, 0, 7, 0, 7})}, 1),
         "07070700 07070700 090909ff", false},
        {"a key beyond the depth counts only its low bits",
         OneImage(2, 1, 8, 0, {0, 0x40, 0x41}, {Chunk("tRNS", {0x01, 0x40})}), "40404000 414141ff", false},
        {"a gAMA chunk of another length is ignored",
         OneImage(1, 1, 8, 2, {0, 128, 64, 32}, {Chunk("gAMA", {0, 1, 0})}), "804020ff", false},
        {"a gAMA chunk of four bytes applies", OneImage(1, 1, 8, 2, {0, 128, 64, 32}, {Gama(100000)}), "ba8863ff", false},
        {"grey with alpha", OneImage(2, 1, 8, 4, {0, 10, 0, 20, 99}), "0a0a0a00 14141463", true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TPNGObject png;
        Load(png, r.file);
        EXPECT_EQ(Shown(png), r.shown);
        EXPECT_EQ(png.PartialAlpha(), r.partial);
        // What we write shows the same after reading it back; gamma apart, as
        // palettes and colours pass the tables both ways.
        if (png.GammaTable[200] == 200) {
            TPNGObject back;
            Load(back, Save(png));
            EXPECT_EQ(Shown(back), r.shown);
        }
    }

    // A gAMA chunk of another length stays as it was read, to be written back.
    TPNGObject png;
    const Bytes odd = Chunk("gAMA", {0, 1, 0});
    Load(png, OneImage(1, 1, 8, 2, {0, 1, 2, 3}, {odd}));
    EXPECT_TRUE(Contains(Save(png), odd));
}

TEST(PngTransparency, KeysSetInMemoryCompareTheStoredSamples) {
    // No file samples to go by: the stored ones decide, and the key written is
    // the one that matches the pixels as the encoder writes them.
    for (std::uint8_t depth : {8, 16}) {
        SCOPED_TRACE(depth);
        TPNGObject png;
        png.CreateBlank(COLOR_RGB, depth, 2, 1);
        png.SetPixels(0, 0, MakeColor(200, 100, 50));
        png.SetPixels(1, 0, MakeColor(200, 100, 51));
        png.Chunks().Add<TChunktRNS>()->SetTransparentColor(MakeColor(200, 100, 50));
        EXPECT_EQ(Shown(png), "c8643200 c86433ff");
        TPNGObject back;
        Load(back, Save(png));
        EXPECT_EQ(Shown(back), "c8643200 c86433ff");
    }
    // A palette entry of the colour becomes the transparent index.
    TPNGObject pal;
    pal.CreateBlank(COLOR_PALETTE, 8, 1, 1);
    pal.Chunks().Add<TChunktRNS>()->SetTransparentColor(ColorFromQuad(pal.GetHeader().ImageBitmap().ColorTable()[0]));
    EXPECT_EQ(Shown(pal).substr(6), "00");
}
