// Pixel decoding and encoding, transparency, gamma and text chunks.
#include <gtest/gtest.h>

#include "PngTestUtil.h"

using namespace velto;
using namespace pngtest;

namespace {

void Load(TPNGObject& png, const Bytes& file) {
    ByteReader r(file);
    png.LoadFromStream(r);
}

Bytes Save(TPNGObject& png) {
    ByteWriter w;
    png.SaveToStream(w);
    return w.take();
}

// One image of filtered rows given as bytes (filter byte first).
Bytes OneImage(std::uint32_t w, std::uint32_t h, std::uint8_t depth, std::uint8_t type, const Bytes& filtered,
               std::initializer_list<Bytes> before = {}, std::uint8_t interlace = 0) {
    Bytes f = File({Ihdr(w, h, depth, type, interlace)});
    for (const auto& c : before) f.insert(f.end(), c.begin(), c.end());
    for (const auto& c : {Chunk("IDAT", Zlib(filtered)), Iend()}) f.insert(f.end(), c.begin(), c.end());
    return f;
}

struct ChunkView {
    std::string name;
    Bytes data;
};
std::vector<ChunkView> Chunks(const Bytes& file) {
    std::vector<ChunkView> out;
    for (std::size_t p = 8; p + 12 <= file.size();) {
        const std::uint32_t len = (std::uint32_t{file[p]} << 24) | (file[p + 1] << 16) | (file[p + 2] << 8) | file[p + 3];
        out.push_back({std::string(file.begin() + static_cast<std::ptrdiff_t>(p + 4), file.begin() + static_cast<std::ptrdiff_t>(p + 8)),
                       Bytes(file.begin() + static_cast<std::ptrdiff_t>(p + 8), file.begin() + static_cast<std::ptrdiff_t>(p + 8 + len))});
        p += 12 + len;
    }
    return out;
}

// The inflated image data of a file we wrote.
Bytes Inflated(const Bytes& file) {
    Bytes z;
    for (const auto& c : Chunks(file))
        if (c.name == "IDAT") z.insert(z.end(), c.data.begin(), c.data.end());
    Bytes out(1 << 20);
    uLongf n = static_cast<uLongf>(out.size());
    EXPECT_EQ(uncompress(out.data(), &n, z.data(), static_cast<uLong>(z.size())), Z_OK);
    out.resize(n);
    return out;
}

// Filter byte of each row of a plain image whose rows have rowBytes data bytes.
Bytes FilterBytes(const Bytes& file, std::size_t rowBytes) {
    const Bytes raw = Inflated(file);
    Bytes f;
    for (std::size_t p = 0; p < raw.size(); p += rowBytes + 1) f.push_back(raw[p]);
    return f;
}

}  // namespace

TEST(PngPixels, RowLayoutsOfTheDib) {
    // 16-bit RGB: high bytes in the DIB (B, G, R), low bytes in the extra plane.
    TPNGObject rgb16;
    Load(rgb16, OneImage(1, 1, 16, 2, {0, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}));
    EXPECT_EQ(Bytes(rgb16.Scanline(0), rgb16.Scanline(0) + 3), (Bytes{0x9A, 0x56, 0x12}));
    EXPECT_EQ(Bytes(rgb16.ExtraScanline(0), rgb16.ExtraScanline(0) + 3), (Bytes{0xBC, 0x78, 0x34}));

    // 2-bit images are held as 4-bit: palette indices as they are, grey levels x5.
    TPNGObject pal2, grey2;
    Load(pal2, OneImage(4, 1, 2, 3, {0, 0b00011011}, {Chunk("PLTE", Bytes(12, 7))}));
    Load(grey2, OneImage(4, 1, 2, 0, {0, 0b00011011}));
    EXPECT_EQ(pal2.GetHeader().BitsPerPixel(), 4);
    EXPECT_EQ(Bytes(pal2.Scanline(0), pal2.Scanline(0) + 2), (Bytes{0x01, 0x23}));
    EXPECT_EQ(Bytes(grey2.Scanline(0), grey2.Scanline(0) + 2), (Bytes{0x05, 0xAF}));
    EXPECT_EQ(grey2.GetPixels(1, 0), MakeColor(85, 85, 85));
    EXPECT_EQ(grey2.GetPixels(3, 0), MakeColor(255, 255, 255));

    // Grey with alpha: grey in the DIB, alpha in its own top-down plane.
    TPNGObject ga;
    Load(ga, OneImage(2, 2, 8, 4, {0, 10, 20, 30, 40, 0, 50, 60, 70, 80}));
    EXPECT_EQ(ga.Scanline(0), ga.GetHeader().ImageBitmap().Bits() + ga.GetHeader().BytesPerRow());
    EXPECT_EQ(ga.AlphaScanline(0), ga.GetHeader().ImageAlpha.data());
    EXPECT_EQ(ga.AlphaScanline(1)[1], 80);
    EXPECT_EQ(ga.GetPixels(1, 1), MakeColor(70, 70, 70));
    EXPECT_EQ(ga.GetPixels(-1, 0), ColorFromValue(0));
    ga.SetPixels(2, 0, MakeColor(1, 1, 1));
    EXPECT_EQ(ga.GetPixels(1, 0), MakeColor(30, 30, 30));

    // An unknown filter type leaves its row as read; Paeth's first pixel uses only the row above.
    TPNGObject f;
    Load(f, OneImage(2, 2, 8, 2, {7, 1, 2, 3, 4, 5, 6, 4, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(f.GetPixels(1, 0), MakeColor(4, 5, 6));
    EXPECT_EQ(f.GetPixels(0, 1), MakeColor(2, 3, 4));

    // A 1x1 interlaced image has data in the first pass only.
    TPNGObject one;
    Load(one, OneImage(1, 1, 8, 6, {0, 9, 8, 7, 6}, {}, 1));
    EXPECT_EQ(one.GetPixels(0, 0), MakeColor(9, 8, 7));
    EXPECT_EQ(one.AlphaScanline(0)[0], 6);
}

TEST(PngPixels, EveryLayoutRoundTripsThroughTheEncoder) {
    const std::pair<int, int> layouts[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                                           {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
    for (auto [type, depth] : layouts)
        for (std::uint8_t interlace : {0, 1}) {
            TPNGObject png;
            png.CreateBlank(static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(depth), 13, 9);
            png.InterlaceMethod = interlace;
            png.Filters = 0x1F;
            TBitmap& dib = png.GetHeader().ImageBitmap();
            for (std::size_t i = 0; i < dib.ByteSize(); ++i) dib.Bits()[i] = static_cast<std::uint8_t>(i * 37 + 11);
            for (auto& a : png.GetHeader().ImageAlpha) a = static_cast<std::uint8_t>(&a - png.GetHeader().ImageAlpha.data());
            for (auto& e : png.GetHeader().ExtraImageData) e = 0x5A;
            const Bytes file = Save(png);
            TPNGObject back;
            Load(back, file);
            const std::string what = std::to_string(type) + "/" + std::to_string(depth) + "/" + std::to_string(interlace);
            EXPECT_EQ(back.GetHeader().ColorType, type) << what;
            EXPECT_EQ(back.InterlaceMethod, interlace) << what;
            EXPECT_EQ(DescribeMismatch(ToRgba(back), ToRgba(png)), "") << what;
            if (depth == 16) {
                EXPECT_EQ(back.ExtraScanline(3)[2], 0) << what;  // low bytes are not kept
            }
        }
}

TEST(PngPixels, FilterChoiceAndChunking) {
    TPNGObject png;
    png.CreateBlank(COLOR_GRAYSCALE, 8, 6, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x) png.Scanline(y)[x] = static_cast<std::uint8_t>(x * 40 + y);
    EXPECT_EQ(FilterBytes(Save(png), 6), (Bytes{1, 1, 1}));
    png.Filters = FilterBit(pfUp);
    Bytes raw = Inflated(Save(png));
    EXPECT_EQ(FilterBytes(Save(png), 6), (Bytes{2, 2, 2}));
    EXPECT_EQ(Bytes(raw.begin() + 1, raw.begin() + 7), (Bytes{0, 40, 80, 120, 160, 200}));
    EXPECT_EQ(Bytes(raw.begin() + 8, raw.begin() + 14), Bytes(6, 1));

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
    std::vector<std::size_t> sizes;
    for (const auto& c : Chunks(Save(big)))
        if (c.name == "IDAT") sizes.push_back(c.data.size());
    ASSERT_EQ(sizes.size(), 3u);
    EXPECT_EQ(sizes[0], 65535u);
    EXPECT_EQ(sizes[1], 65535u);
    EXPECT_LT(sizes[2], 65535u);

    // A level zlib refuses is an error, never a silent or endless write.
    big.CompressionLevel = 12;
    try {
        Save(big);
        ADD_FAILURE();
    } catch (const EPNGZLIBError& e) {
        EXPECT_NE(std::string(e.what()).find("stream error (-2)"), std::string::npos);
    }
}

TEST(PngPixels, TransparencyModesAndColours) {
    const Bytes plte = Chunk("PLTE", {10, 20, 30, 40, 50, 60, 70, 80, 90});
    const Bytes rows = {0, 0, 1, 2};
    auto palette = [&](const Bytes& trns) {
        auto png = std::make_unique<TPNGObject>();
        Load(*png, OneImage(3, 1, 8, 3, rows, {plte, Chunk("tRNS", trns)}));
        return png;
    };
    EXPECT_EQ(palette({255, 0, 255})->TransparencyMode(), 1);
    EXPECT_EQ(palette({255, 0, 255})->TransparentColor(), MakeColor(40, 50, 60));
    EXPECT_EQ(palette({128, 0})->TransparencyMode(), 2);
    // One half-transparent entry is not a transparent colour (black would vanish).
    EXPECT_EQ(palette({255, 128})->TransparencyMode(), 2);
    EXPECT_EQ(palette({255, 128})->TransparentColor(), ColorFromValue(0));
    // More values than palette entries: ignored, as other readers do.
    EXPECT_EQ(palette({0, 0, 0, 0})->TransparencyMode(), 0);

    // A tRNS of the wrong size is ignored but written back as it was.
    const Bytes odd = Chunk("tRNS", {7});
    TPNGObject grey;
    Load(grey, OneImage(1, 1, 8, 0, {0, 7}, {odd}));
    EXPECT_EQ(grey.TransparencyMode(), 0);
    EXPECT_EQ(grey.TransparentColor(), ColorFromValue(0));
    const Bytes saved = Save(grey);
    EXPECT_NE(std::search(saved.begin(), saved.end(), odd.begin(), odd.end()), saved.end());
    TPNGObject rgba;
    Load(rgba, OneImage(1, 1, 8, 6, {0, 1, 2, 3, 4}, {Chunk("tRNS", {0, 1, 0, 2, 0, 3})}));
    EXPECT_EQ(rgba.TransparencyMode(), 2);

    // 16-bit keys: the high byte is what the DIB holds.
    TPNGObject g16, c16;
    Load(g16, OneImage(1, 1, 16, 0, {0, 0x12, 0x34}, {Chunk("tRNS", {0x12, 0x34})}));
    EXPECT_EQ(g16.TransparencyMode(), 1);
    EXPECT_EQ(g16.TransparentColor(), MakeColor(0x12, 0x12, 0x12));
    Load(c16, OneImage(1, 1, 16, 2, {0, 1, 2, 3, 4, 5, 6}, {Chunk("tRNS", {0xA1, 0xA2, 0xB1, 0xB2, 0xC1, 0xC2})}));
    EXPECT_EQ(c16.TransparentColor(), MakeColor(0xA1, 0xB1, 0xC1));

    // Alpha added: grey becomes grey with opaque alpha; palettes get 256 opaque values.
    TPNGObject keyed;
    Load(keyed, OneImage(2, 1, 8, 0, {0, 5, 6}, {Chunk("tRNS", {0, 5})}));
    keyed.CreateAlpha();
    EXPECT_EQ(keyed.GetHeader().ColorType, COLOR_GRAYSCALEALPHA);
    EXPECT_EQ(keyed.TransparencyMode(), 2);
    EXPECT_EQ(keyed.AlphaScanline(0)[1], 255);
    EXPECT_EQ(keyed.Chunks().FindChunk<TChunktRNS>(), nullptr);  // an alpha image has no key colour
    TPNGObject bits;
    Load(bits, OneImage(9, 1, 1, 0, {0, 0x80, 0x80}));
    bits.CreateAlpha();
    EXPECT_EQ(bits.GetHeader().BitDepth, 8);
    EXPECT_EQ(bits.GetPixels(0, 0), MakeColor(255, 255, 255));
    EXPECT_EQ(bits.GetPixels(8, 0), MakeColor(255, 255, 255));
    EXPECT_EQ(bits.GetPixels(1, 0), MakeColor(0, 0, 0));
    TPNGObject fresh;
    fresh.CreateBlank(COLOR_PALETTE, 4, 2, 2);
    fresh.CreateAlpha();
    const auto* t = fresh.Chunks().FindChunk<TChunktRNS>();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->DataSize(), 16u);
    EXPECT_FALSE(t->BitTransparency);
    EXPECT_EQ(fresh.TransparencyMode(), 2);
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
    EXPECT_EQ(png.GammaTable[0], 0);
    EXPECT_EQ(png.GammaTable[255], 255);
    EXPECT_EQ(png.GammaTable[128], 186);
    // The palette carries the gamma once.
    const std::uint8_t m = png.GammaTable[128];
    EXPECT_EQ(png.GetPixels(1, 0), MakeColor(m, m, m));
    EXPECT_EQ(ColorFromQuad(png.Chunks().FindChunk<TChunkPLTE>()->GetPaletteItem(1)), MakeColor(m, m, m));
    // An index beyond the palette reads as black; asking for that entry is an error.
    EXPECT_EQ(png.GetPixels(2, 0), MakeColor(0, 0, 0));
    try {
        png.Chunks().FindChunk<TChunkPLTE>()->GetPaletteItem(2);
        ADD_FAILURE();
    } catch (const EPngError& e) {
        EXPECT_STREQ(e.what(), EPngNoPaletteEntryText);
    }
    // Saving maps the stored palette back to file values.
    const auto out = Chunks(Save(png));
    const auto plte = std::find_if(out.begin(), out.end(), [](const ChunkView& c) { return c.name == "PLTE"; });
    ASSERT_NE(plte, out.end());
    EXPECT_EQ(plte->data, (Bytes{0, 0, 0, 128, 128, 128}));

    EXPECT_THROW(Load(png, OneImage(1, 1, 8, 3, {0, 0}, {Chunk("PLTE", Bytes(770, 0))})), EPNGInvalidPalette);
    Load(png, OneImage(1, 1, 8, 3, {0, 0}, {Chunk("PLTE", Bytes(768, 0))}));
    EXPECT_EQ(png.Chunks().FindChunk<TChunkPLTE>()->Count, 256);
    png.SetPixels(0, 0, MakeColor(200, 0, 0));
    EXPECT_EQ(png.Scanline(0)[0], 0);
}

TEST(PngPixels, TextChunks) {
    const Bytes text = Chunk("tEXt", {'T', 'i', 't', 'l', 'e', 0, 'a', 'b', 'c'});
    TPNGObject png;
    Load(png, OneImage(1, 1, 8, 0, {0, 0}, {text, Chunk("tEXt", {'n', 'o', 's', 'e', 'p'})}));
    const auto* t = png.Chunks().FindChunk<TChunktEXt>();
    EXPECT_EQ(t->Keyword, "Title");
    EXPECT_EQ(t->Text, "abc");
    const auto* nosep = dynamic_cast<TChunktEXt*>(png.Chunks().GetItem(2));
    ASSERT_NE(nosep, nullptr);
    EXPECT_EQ(nosep->Keyword, "nosep");
    EXPECT_EQ(nosep->Text, "");
    const Bytes saved = Save(png);
    EXPECT_NE(std::search(saved.begin(), saved.end(), text.begin(), text.end()), saved.end());

    // Compressed text: read back, a bomb beyond the cap gives empty text, empty text is stored as " ".
    auto ztxt = [](const std::string& kw, const Bytes& body) {
        Bytes d(kw.begin(), kw.end());
        d.push_back(0);
        d.push_back(0);
        const Bytes z = Zlib(body, 9);
        d.insert(d.end(), z.begin(), z.end());
        return Chunk("zTXt", d);
    };
    TPNGObject z;
    Load(z, OneImage(1, 1, 8, 0, {0, 0},
                     {ztxt("Comment", Bytes{'h', 'e', 'l', 'l', 'o'}), ztxt("Bomb", Bytes(TChunkzTXt::kMaxTextSize + 1, 'x')),
                      Chunk("zTXt", {'k', 0, 0, 0x78, 0xBB, 0, 0, 0, 1})}));
    EXPECT_EQ(z.Chunks().FindChunk<TChunkzTXt>()->Text, "hello");
    EXPECT_EQ(dynamic_cast<TChunkzTXt*>(z.Chunks().GetItem(2))->Text, "");
    EXPECT_EQ(dynamic_cast<TChunkzTXt*>(z.Chunks().GetItem(3))->Text, "");

    TPNGObject blank;
    blank.CreateBlank(COLOR_GRAYSCALE, 8, 1, 1);
    blank.Chunks().Add<TChunkzTXt>()->Keyword = "Empty";
    TPNGObject back;
    Load(back, Save(blank));
    EXPECT_EQ(back.Chunks().FindChunk<TChunkzTXt>()->Keyword, "Empty");
    EXPECT_EQ(back.Chunks().FindChunk<TChunkzTXt>()->Text, " ");
}
