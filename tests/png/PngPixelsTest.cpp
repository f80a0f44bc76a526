// Pixel decoding and encoding, transparency, gamma and text chunks.
#include <gtest/gtest.h>

#include "PngTestUtil.h"

using namespace velto;
using namespace pngtest;

namespace {

// The data of each `name` chunk of a file we wrote.
std::vector<Bytes> ChunkData(const Bytes& file, std::string_view name) {
    std::vector<Bytes> out;
    for (std::size_t p = 8; p + 12 <= file.size();) {
        const std::uint32_t len = (std::uint32_t{file[p]} << 24) | (file[p + 1] << 16) | (file[p + 2] << 8) | file[p + 3];
        const auto data = file.begin() + static_cast<std::ptrdiff_t>(p + 8);
        if (std::equal(name.begin(), name.end(), data - 4)) out.emplace_back(data, data + len);
        p += 12 + len;
    }
    return out;
}

// Filter byte of each row of a plain image we wrote whose rows have rowBytes data bytes.
Bytes FilterBytes(const Bytes& file, std::size_t rowBytes) {
    Bytes z, raw(1 << 20), f;
    for (const Bytes& c : ChunkData(file, "IDAT")) z.insert(z.end(), c.begin(), c.end());
    uLongf n = static_cast<uLongf>(raw.size());
    EXPECT_EQ(uncompress(raw.data(), &n, z.data(), static_cast<uLong>(z.size())), Z_OK);
    for (std::size_t p = 0; p < n; p += rowBytes + 1) f.push_back(raw[p]);
    return f;
}

TColor Grey(std::uint8_t v) { return MakeColor(v, v, v); }

}  // namespace

TEST(PngPixels, RowLayoutsOfTheDib) {
    // 16-bit RGB: high bytes in the DIB (B, G, R), low bytes in the extra plane.
    TPNGObject png;
    auto dib = [&](int n) { return Bytes(png.Scanline(0), png.Scanline(0) + n); };
    Load(png, OneImage(1, 1, 16, 2, {0, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}));
    EXPECT_EQ(dib(3), (Bytes{0x9A, 0x56, 0x12}));
    EXPECT_EQ(Bytes(png.ExtraScanline(0), png.ExtraScanline(0) + 3), (Bytes{0xBC, 0x78, 0x34}));

    // 2-bit images are held as 4-bit: palette indices as they are, grey levels x5.
    Load(png, OneImage(4, 1, 2, 3, {0, 0b00011011}, {Chunk("PLTE", Bytes(12, 7))}));
    EXPECT_EQ(dib(2), (Bytes{0x01, 0x23}));
    Load(png, OneImage(4, 1, 2, 0, {0, 0b00011011}));
    EXPECT_EQ(dib(2), (Bytes{0x05, 0xAF}));
    EXPECT_EQ(png.GetPixels(1, 0), Grey(85));

    // Grey with alpha: grey in the bottom-up DIB, alpha in its own top-down plane.
    Load(png, OneImage(2, 2, 8, 4, {0, 10, 20, 30, 40, 0, 50, 60, 70, 80}));
    EXPECT_EQ(png.Scanline(0), png.GetHeader().ImageBitmap().Bits() + png.GetHeader().BytesPerRow());
    EXPECT_EQ(png.AlphaScanline(1)[1], 80);
    EXPECT_EQ(png.GetPixels(1, 1), Grey(70));
    EXPECT_EQ(png.GetPixels(-1, 0), ColorFromValue(0));
    png.SetPixels(2, 0, Grey(1));  // outside: no effect
    EXPECT_EQ(png.GetPixels(1, 0), Grey(30));

    // An unknown filter type leaves its row as read; Paeth's first pixel uses only the row above.
    Load(png, OneImage(2, 2, 8, 2, {7, 1, 2, 3, 4, 5, 6, 4, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(png.GetPixels(1, 0), MakeColor(4, 5, 6));
    EXPECT_EQ(png.GetPixels(0, 1), MakeColor(2, 3, 4));

    // A 1x1 interlaced image has data in the first pass only.
    Load(png, OneImage(1, 1, 8, 6, {0, 9, 8, 7, 6}, {}, 1));
    EXPECT_EQ(png.GetPixels(0, 0), MakeColor(9, 8, 7));
    EXPECT_EQ(png.AlphaScanline(0)[0], 6);
}

TEST(PngPixels, FilterChoiceAndChunking) {
    TPNGObject png;
    png.CreateBlank(COLOR_GRAYSCALE, 8, 6, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x) png.Scanline(y)[x] = static_cast<std::uint8_t>(x * 40 + y);
    EXPECT_EQ(FilterBytes(Save(png), 6), (Bytes{1, 1, 1}));  // Sub by default
    png.Filters = FilterBit(pfUp);
    EXPECT_EQ(FilterBytes(Save(png), 6), (Bytes{2, 2, 2}));
    // A single-colour row: Sub and Paeth both give zeros after the first pixel; the tie keeps Sub.
    for (int y = 0; y < 3; ++y) std::fill_n(png.Scanline(y), 6, std::uint8_t{90});
    png.Filters = FilterBit(pfSub) | FilterBit(pfPaeth);
    EXPECT_EQ(FilterBytes(Save(png), 6)[0], 1);
    // Rows too short to score are written unfiltered, even when None is not allowed.
    TPNGObject narrow;
    narrow.CreateBlank(COLOR_GRAYSCALE, 8, 2, 2);
    narrow.Filters = FilterBit(pfSub) | FilterBit(pfUp);
    EXPECT_EQ(FilterBytes(Save(narrow), 2), (Bytes{0, 0}));

    // Stored (level 0) data of a noisy image: full IDAT chunks of MaxIdatSize, then the rest.
    TPNGObject big;
    big.CreateBlank(COLOR_RGB, 8, 250, 200);
    TBitmap& dib = big.GetHeader().ImageBitmap();
    for (std::size_t i = 0; i < dib.ByteSize(); ++i) dib.Bits()[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
    big.CompressionLevel = 0;
    const auto idat = ChunkData(Save(big), "IDAT");
    ASSERT_EQ(idat.size(), 3u);
    EXPECT_EQ(idat[0].size(), 65535u);
    EXPECT_EQ(idat[1].size(), 65535u);

    // A level zlib refuses is an error, never a silent or endless write.
    big.CompressionLevel = 12;
    EXPECT_EQ(Thrown<EPNGZLIBError>([&] { Save(big); }), std::string(EPNGZLIBErrorText) + "\n Description: stream error (-2)");
}

TEST(PngPixels, TransparencyModesAndColours) {
    const Bytes plte = Chunk("PLTE", {10, 20, 30, 40, 50, 60, 70, 80, 90});
    TPNGObject png;
    auto palette = [&](const Bytes& trns) -> TPNGObject& {
        Load(png, OneImage(3, 1, 8, 3, {0, 0, 1, 2}, {plte, Chunk("tRNS", trns)}));
        return png;
    };
    EXPECT_EQ(palette({255, 0, 255}).TransparencyMode(), 1);
    EXPECT_EQ(png.TransparentColor(), MakeColor(40, 50, 60));
    EXPECT_EQ(palette({128, 0}).TransparencyMode(), 2);
    // One half-transparent entry is not a transparent colour (black would vanish).
    EXPECT_EQ(palette({255, 128}).TransparencyMode(), 2);
    EXPECT_EQ(png.TransparentColor(), ColorFromValue(0));
    // More values than palette entries: ignored, as other readers do.
    EXPECT_EQ(palette({0, 0, 0, 0}).TransparencyMode(), 0);

    // A tRNS of the wrong size is ignored but written back as it was.
    const Bytes odd = Chunk("tRNS", {7});
    Load(png, OneImage(1, 1, 8, 0, {0, 7}, {odd}));
    EXPECT_EQ(png.TransparencyMode(), 0);
    EXPECT_EQ(png.TransparentColor(), ColorFromValue(0));
    EXPECT_TRUE(Contains(Save(png), odd));
    Load(png, OneImage(1, 1, 8, 6, {0, 1, 2, 3, 4}, {Chunk("tRNS", {0, 1, 0, 2, 0, 3})}));
    EXPECT_EQ(png.TransparencyMode(), 2);

    // 16-bit keys: the high byte is what the DIB holds.
    Load(png, OneImage(1, 1, 16, 0, {0, 0x12, 0x34}, {Chunk("tRNS", {0x12, 0x34})}));
    EXPECT_EQ(png.TransparencyMode(), 1);
    EXPECT_EQ(png.TransparentColor(), Grey(0x12));
    Load(png, OneImage(1, 1, 16, 2, {0, 1, 2, 3, 4, 5, 6}, {Chunk("tRNS", {0xA1, 0xA2, 0xB1, 0xB2, 0xC1, 0xC2})}));
    EXPECT_EQ(png.TransparentColor(), MakeColor(0xA1, 0xB1, 0xC1));

    // Alpha added: grey becomes grey with opaque alpha and no key; 1-bit grey widens to 8 bits.
    Load(png, OneImage(2, 1, 8, 0, {0, 5, 6}, {Chunk("tRNS", {0, 5})}));
    png.CreateAlpha();
    EXPECT_EQ(png.GetHeader().ColorType, COLOR_GRAYSCALEALPHA);
    EXPECT_EQ(png.AlphaScanline(0)[1], 255);
    EXPECT_EQ(png.Chunks().FindChunk<TChunktRNS>(), nullptr);
    Load(png, OneImage(9, 1, 1, 0, {0, 0x80, 0x80}));
    png.CreateAlpha();
    EXPECT_EQ(png.GetHeader().BitDepth, 8);
    EXPECT_EQ(png.GetPixels(8, 0), Grey(255));
    EXPECT_EQ(png.GetPixels(1, 0), Grey(0));
    // Palettes get one opaque value per entry.
    png.CreateBlank(COLOR_PALETTE, 4, 2, 2);
    png.CreateAlpha();
    const auto* t = png.Chunks().FindChunk<TChunktRNS>();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->DataSize(), 16u);
    EXPECT_EQ(png.TransparencyMode(), 2);
}

TEST(PngPixels, GammaAndPaletteEntries) {
    // 1/2.2 as file gamma is the display's own: the table stays the identity.
    Bytes g;
    Put32(g, 45455);
    TPNGObject png;
    Load(png, OneImage(1, 1, 8, 0, {0, 0}, {Chunk("gAMA", g)}));
    for (int i = 0; i < 256; ++i) EXPECT_EQ(png.GammaTable[static_cast<std::size_t>(i)], i);
    g.clear();
    Put32(g, 100000);
    Load(png, OneImage(3, 1, 8, 3, {0, 0, 1, 9}, {Chunk("gAMA", g), Chunk("PLTE", {0, 0, 0, 128, 128, 128})}));
    EXPECT_EQ(png.GammaTable[128], 186);
    // The palette carries the gamma once.
    EXPECT_EQ(png.GetPixels(1, 0), Grey(186));
    EXPECT_EQ(ColorFromQuad(png.Chunks().FindChunk<TChunkPLTE>()->GetPaletteItem(1)), Grey(186));
    // An index beyond the palette reads as black; asking for that entry is an error.
    EXPECT_EQ(png.GetPixels(2, 0), Grey(0));
    EXPECT_EQ(Thrown<EPngError>([&] { png.Chunks().FindChunk<TChunkPLTE>()->GetPaletteItem(2); }), EPngNoPaletteEntryText);
    // Saving maps the stored palette back to file values.
    EXPECT_TRUE(Contains(Save(png), Chunk("PLTE", {0, 0, 0, 128, 128, 128})));

    EXPECT_THROW(Load(png, OneImage(1, 1, 8, 3, {0, 0}, {Chunk("PLTE", Bytes(771, 0))})), EPNGInvalidPalette);
    Load(png, OneImage(1, 1, 8, 3, {0, 0}, {Chunk("PLTE", Bytes(768, 0))}));
    EXPECT_EQ(png.Chunks().FindChunk<TChunkPLTE>()->Count, 256);
}

TEST(PngPixels, TextChunks) {
    const Bytes text = Chunk("tEXt", {'T', 'i', 't', 'l', 'e', 0, 'a', 'b', 'c'});
    auto ztxt = [](const std::string& kw, const Bytes& body) {
        Bytes d(kw.begin(), kw.end());
        d.insert(d.end(), {0, 0});
        const Bytes z = Zlib(body, 9);
        d.insert(d.end(), z.begin(), z.end());
        return Chunk("zTXt", d);
    };
    // Without a separator the keyword is everything; a bomb beyond the cap or a
    // stream asking for a dictionary gives empty text.
    TPNGObject png;
    Load(png, OneImage(1, 1, 8, 0, {0, 0},
                       {text, Chunk("tEXt", {'n', 'o', 's', 'e', 'p'}), ztxt("Comment", {'h', 'i'}),
                        ztxt("Bomb", Bytes(ReadLimits{}.inflatedText + 1, 'x')),
                        Chunk("zTXt", {'k', 0, 0, 0x78, 0xBB, 0, 0, 0, 1})}));
    auto item = [&](int i) {
        const auto& t = dynamic_cast<const TChunktEXt&>(*png.Chunks().GetItem(i));
        return t.Keyword + "=" + t.Text;
    };
    EXPECT_EQ(item(1), "Title=abc");
    EXPECT_EQ(item(2), "nosep=");
    EXPECT_EQ(item(3), "Comment=hi");
    EXPECT_EQ(item(4), "Bomb=");
    EXPECT_EQ(item(5), "k=");
    EXPECT_TRUE(Contains(Save(png), text));

    // Empty compressed text is stored as " ".
    TPNGObject blank, back;
    blank.CreateBlank(COLOR_GRAYSCALE, 8, 1, 1);
    blank.Chunks().Add<TChunkzTXt>()->Keyword = "Empty";
    Load(back, Save(blank));
    EXPECT_EQ(back.Chunks().FindChunk<TChunkzTXt>()->Keyword + "=" + back.Chunks().FindChunk<TChunkzTXt>()->Text, "Empty= ");
}

TEST(PngPixels, WhatWeWriteReadsBackAsWritten) {
    // Every layout, interlaced or not, with each filter alone and all of them:
    // our reader sees the image our writer wrote, the low bytes of 16-bit
    // samples included.
    for (auto [type, depth] : kLayouts)
        for (std::uint8_t interlace : {0, 1})
            for (TFilters filters : kFilterSets) {
                SCOPED_TRACE(std::to_string(type) + "/" + std::to_string(depth) + " interlace " +
                             std::to_string(interlace) + " filters " + std::to_string(filters));
                TPNGObject png, back;
                PaintLayout(png, type, depth, interlace, filters);
                Load(back, Save(png));
                EXPECT_EQ(back.InterlaceMethod, interlace);
                if (depth == 16) {  // the row padding of the extra plane is never written
                    const std::size_t bytes = type == COLOR_RGB || type == COLOR_RGBALPHA ? 3 * 37 : 37;
                    for (int y = 0; y < 19; ++y)
                        EXPECT_EQ(Bytes(back.ExtraScanline(y), back.ExtraScanline(y) + bytes), Bytes(bytes, 0x5A));
                }
                EXPECT_EQ(DescribeMismatch(ToRgba(back), ToRgba(png)), "");
            }
}
