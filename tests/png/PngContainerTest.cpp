// Chunk container: file structure, list rules, hostile headers and image data.
#include <gtest/gtest.h>

#include <chrono>

#include "PngTestUtil.h"

using namespace velto;
using namespace pngtest;

namespace {

// Unfiltered rows (filter byte 0) of `rowBytes` bytes each, every byte `value`.
Bytes RawRows(int rows, int rowBytes, std::uint8_t value = 0) {
    Bytes raw;
    for (int y = 0; y < rows; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), static_cast<std::size_t>(rowBytes), value);
    }
    return raw;
}

// A 4x3 8-bit grey image whose pixels are all `value`.
Bytes Grey4x3(std::uint8_t value = 0x40) {
    return File({Ihdr(4, 3, 8, 0), Chunk("IDAT", Zlib(RawRows(3, 4, value))), Iend()});
}

void Load(TPNGObject& png, const Bytes& file) {
    ByteReader r(file);
    png.LoadFromStream(r);
}

template <class E>
std::string ErrorOf(const Bytes& file, TPNGObject* keep = nullptr) {
    TPNGObject local;
    TPNGObject& png = keep ? *keep : local;
    try {
        Load(png, file);
    } catch (const E& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("wrong exception: ") + e.what();
    }
    return "no exception";
}

}  // namespace

TEST(PngContainer, FileStructureErrors) {
    EXPECT_EQ(ErrorOf<EPNGInvalidFileHeader>(Bytes{'n', 'o', 't', ' ', 'p', 'n', 'g', '!'}), EPNGInvalidFileHeaderText);
    EXPECT_EQ(ErrorOf<EPngUnexpectedEnd>(Signature()), EPngUnexpectedEndText);

    TPNGObject png;
    EXPECT_EQ(ErrorOf<EPNGIHDRNotFirst>(File({Chunk("tEXt", {'a', 0, 'b'}), Ihdr(1, 1, 8, 0)}), &png),
              EPNGIHDRNotFirstText);
    EXPECT_EQ(png.Chunks().Count(), 0);

    EXPECT_EQ(ErrorOf<EPNGNoImageData>(File({Ihdr(1, 1, 8, 0), Iend()})), EPNGNoImageDataText);
    EXPECT_EQ(ErrorOf<EPNGUnknownCriticalChunk>(File({Ihdr(4, 3, 8, 0), Chunk("PRIV", {1}), Iend()})),
              EPNGUnknownCriticalChunkText);
    // Without IEND the reader runs out of chunks.
    EXPECT_EQ(ErrorOf<EPngUnexpectedEnd>(File({Ihdr(4, 3, 8, 0), Chunk("IDAT", Zlib(RawRows(3, 4)))})),
              EPngUnexpectedEndText);

    Bytes badCrc = Chunk("tIME", {0x07, 0xE2, 1, 2, 3, 4, 5});
    badCrc.back() ^= 1;
    EXPECT_EQ(ErrorOf<EPngInvalidCRC>(File({Ihdr(4, 3, 8, 0), badCrc}), &png), EPngInvalidCRCText);
    EXPECT_EQ(png.Chunks().Count(), 2);
    EXPECT_NE(dynamic_cast<TChunktIME*>(png.Chunks().GetItem(1)), nullptr);
}

TEST(PngContainer, LoadsFromTheCurrentPositionAndStopsAfterIend) {
    // A PNG embedded in a larger file, as in icons.
    Bytes outer = {1, 2, 3};
    const Bytes png = Grey4x3();
    outer.insert(outer.end(), png.begin(), png.end());
    outer.insert(outer.end(), {9, 9});
    ByteReader r(outer);
    r.seek(3);
    TPNGObject img;
    img.LoadFromStream(r);
    EXPECT_EQ(r.pos(), 3 + png.size());
    EXPECT_EQ(img.Width(), 4);
    EXPECT_EQ(img.Height(), 3);
}

TEST(PngContainer, ChunksKeptDroppedAndWrittenBack) {
    const Bytes priv = Chunk("prIv", {1, 2, 3});
    const Bytes file = File({Ihdr(4, 3, 8, 0), Chunk("cHRM", Bytes(32, 0)), priv,
                             Chunk("IDAT", Zlib(RawRows(3, 4))), Chunk("IDAT", Zlib(RawRows(3, 4))), Iend()});
    TPNGObject png;
    Load(png, file);
    // cHRM and the IDAT after the image data are dropped; the private chunk stays at its place.
    ASSERT_EQ(png.Chunks().Count(), 4);
    EXPECT_EQ(png.Chunks().GetItem(1)->NameView(), "prIv");
    ByteWriter w;
    png.SaveToStream(w);
    const Bytes out = w.take();
    EXPECT_EQ(std::search(out.begin(), out.end(), priv.begin(), priv.end()) - out.begin(), 8 + 25);
    EXPECT_EQ(std::search(out.begin(), out.end(), std::begin("cHRM"), std::begin("cHRM") + 4), out.end());
}

TEST(PngContainer, AddFollowsTheInsertionRules) {
    TPNGObject empty;
    try {
        empty.Chunks().Add<TChunktEXt>();
        ADD_FAILURE();
    } catch (const EPngError& e) {
        EXPECT_STREQ(e.what(), EPngInvalidImageText);
    }

    TPNGObject png;
    png.CreateBlank(COLOR_PALETTE, 8, 2, 2);
    EXPECT_THROW(png.Chunks().Add<TChunkIHDR>(), EPngError);
    auto* text = png.Chunks().Add<TChunktEXt>();
    auto* gama = png.Chunks().Add<TChunkgAMA>();
    auto* trns = png.Chunks().Add<TChunktRNS>();
    try {
        png.Chunks().Add<TChunkgAMA>();
        ADD_FAILURE();
    } catch (const EPngError& e) {
        EXPECT_STREQ(e.what(), EPngExistentChunkText);
    }
    // IHDR, gAMA, PLTE, tRNS, IDAT, tEXt, IEND
    EXPECT_EQ(gama->Index(), 1);
    EXPECT_EQ(trns->Index(), 3);
    EXPECT_EQ(text->Index(), 5);
    EXPECT_EQ(png.Chunks().GetItem(6)->NameView(), "IEND");
    EXPECT_EQ(png.Chunks().GetItem(7), nullptr);
    png.Chunks().RemoveChunk(text);
    EXPECT_EQ(png.Chunks().Count(), 6);
}

TEST(PngContainer, CreateBlankAndSettings) {
    TPNGObject png;
    for (auto [type, depth] : {std::pair{3, 16}, {2, 4}, {6, 4}, {1, 8}, {0, 3}})
        EXPECT_THROW(png.CreateBlank(static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(depth), 10, 10),
                     EPNGInvalidSpec);
    png.CreateBlank(COLOR_GRAYSCALE, 2, 10, 10);
    EXPECT_EQ(png.GetHeader().BitDepth, 4);
    EXPECT_EQ(png.GetHeader().BitsPerPixel(), 4);

    png.CreateBlank(COLOR_RGBALPHA, 8, 3, 2);
    EXPECT_EQ(png.GetPixels(2, 1), MakeColor(0, 0, 0));
    EXPECT_EQ(png.AlphaScanline(1)[2], 0);
    EXPECT_EQ(png.TransparencyMode(), 2);

    png.SetMaxIdatSize(1000);
    EXPECT_EQ(png.MaxIdatSize(), 65535);
    png.SetMaxIdatSize(100000);
    EXPECT_EQ(png.MaxIdatSize(), 100000);
}

TEST(PngContainer, HostileHeadersAreRefusedBeforeAllocating) {
    // Chunk lengths beyond the data (and beyond PNG's limit) never allocate.
    Bytes huge = File({Ihdr(4, 3, 8, 0)});
    Put32(huge, 0xFFFFFFFFu);
    huge.insert(huge.end(), {'t', 'E', 'X', 't', 0, 0});
    EXPECT_EQ(ErrorOf<EPngUnexpectedEnd>(huge), EPngUnexpectedEndText);
    Bytes shortData = File({Ihdr(4, 3, 8, 0)});
    Put32(shortData, 100);
    shortData.insert(shortData.end(), {'t', 'E', 'X', 't', 'a', 0, 'b'});
    EXPECT_EQ(ErrorOf<EPngUnexpectedEnd>(shortData), EPngUnexpectedEndText);

    auto withHeader = [](const Bytes& ihdr) { return File({ihdr, Chunk("IDAT", Zlib(RawRows(1, 1))), Iend()}); };
    EXPECT_EQ(ErrorOf<EPngInvalidIHDR>(withHeader(Chunk("IHDR", {0, 0, 0, 1, 0, 0, 0, 1, 8, 0}))), EPngInvalidIHDRText);
    EXPECT_EQ(ErrorOf<EPngInvalidIHDR>(withHeader(Ihdr(0, 1, 8, 0))), EPngInvalidIHDRText);
    EXPECT_EQ(ErrorOf<EPNGSizeExceeds>(withHeader(Ihdr(0x80000000u, 1, 8, 0))), EPNGSizeExceedsText);
    EXPECT_EQ(ErrorOf<EPNGSizeExceeds>(withHeader(Ihdr(1, 65536, 8, 0))), EPNGSizeExceedsText);
    EXPECT_EQ(ErrorOf<EPngInvalidIHDR>(withHeader(Ihdr(1, 1, 16, 3))), EPngInvalidIHDRText);
    EXPECT_EQ(ErrorOf<EPngInvalidIHDR>(withHeader(Ihdr(1, 1, 8, 5))), EPngInvalidIHDRText);
    EXPECT_EQ(ErrorOf<EPNGUnknownCompression>(withHeader(Chunk("IHDR", {0, 0, 0, 1, 0, 0, 0, 1, 8, 0, 1, 0, 0}))),
              EPNGUnknownCompressionText);
    EXPECT_EQ(ErrorOf<EPNGUnknownInterlace>(withHeader(Ihdr(1, 1, 8, 0, 2))), EPNGUnknownInterlaceText);
    EXPECT_EQ(ErrorOf<EPngInvalidIHDR>(File({Ihdr(1, 1, 8, 0), Ihdr(1, 1, 8, 0), Iend()})), EPngInvalidIHDRText);

    // 65535 is allowed; 1-bit rows keep the data small.
    TPNGObject wide;
    Load(wide, File({Ihdr(65535, 1, 1, 0), Chunk("IDAT", Zlib(RawRows(1, 8192, 0xFF))), Iend()}));
    EXPECT_EQ(wide.GetPixels(65534, 0), MakeColor(255, 255, 255));

    // A header asking for far more than the rest of the file could inflate to.
    TPNGObject greedy;
    greedy.PixelBudget = ~0ull;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorOf<EPngUnexpectedEnd>(withHeader(Ihdr(65535, 65535, 16, 6)), &greedy), EPngUnexpectedEndText);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

    TPNGObject budget;
    budget.PixelBudget = 100;
    EXPECT_EQ(ErrorOf<EPNGOutMemory>(withHeader(Ihdr(11, 10, 8, 0)), &budget), EPNGOutMemoryText);
    EXPECT_THROW(budget.CreateBlank(COLOR_RGB, 8, 11, 10), EPNGOutMemory);
}

TEST(PngContainer, ImageDataAcrossChunksAndZlibFailures) {
    const Bytes z = Zlib(RawRows(3, 4, 0x40));
    ASSERT_GT(z.size(), 6u);
    const std::size_t a = z.size() / 3, b = 2 * z.size() / 3;
    const Bytes p1(z.begin(), z.begin() + static_cast<std::ptrdiff_t>(a));
    const Bytes p2(z.begin() + static_cast<std::ptrdiff_t>(a), z.begin() + static_cast<std::ptrdiff_t>(b));
    const Bytes p3(z.begin() + static_cast<std::ptrdiff_t>(b), z.end());
    TPNGObject png;
    Load(png, File({Ihdr(4, 3, 8, 0), Chunk("IDAT", p1), Chunk("IDAT", {}), Chunk("IDAT", p2), Chunk("IDAT", p3), Iend()}));
    EXPECT_EQ(png.Scanline(2)[3], 0x40);

    Bytes bad = Chunk("IDAT", p2);
    bad.back() ^= 0x80;
    EXPECT_EQ(ErrorOf<EPngInvalidCRC>(File({Ihdr(4, 3, 8, 0), Chunk("IDAT", p1), bad, Chunk("IDAT", p3), Iend()})),
              EPngInvalidCRCText);
    EXPECT_EQ(ErrorOf<EPNGMissingMultipleIDAT>(
                  File({Ihdr(4, 3, 8, 0), Chunk("IDAT", p1), Chunk("tEXt", {'a', 0, 'b'}), Chunk("IDAT", p2), Iend()})),
              EPNGMissingMultipleIDATText);

    const std::string zprefix = std::string(EPNGZLIBErrorText) + "\n Description: ";
    // A preset dictionary (PNG never has one) must fail, not wait forever for input.
    EXPECT_EQ(ErrorOf<EPNGZLIBError>(File({Ihdr(4, 3, 8, 0), Chunk("IDAT", {0x78, 0xBB, 0, 0, 0, 1, 3, 0}), Iend()})),
              zprefix + "need dictionary (2)");
    EXPECT_EQ(ErrorOf<EPNGZLIBError>(File({Ihdr(4, 3, 8, 0), Chunk("IDAT", {0x78, 0x9C, 0xFF, 0xFF}), Iend()})),
              zprefix + "data error (-3)");

    // Compressed data that ends early, followed by junk: the missing rows stay zero.
    Bytes early = Zlib(RawRows(1, 4, 0x40));
    early.insert(early.end(), {1, 2, 3, 4, 5});
    TPNGObject part;
    Load(part, File({Ihdr(4, 3, 8, 0), Chunk("IDAT", early), Iend()}));
    EXPECT_EQ(part.Scanline(0)[0], 0x40);
    EXPECT_EQ(part.Scanline(2)[0], 0);
}

TEST(PngContainer, AssignCopiesImagesAndBitmaps) {
    TPNGObject src;
    Load(src, File({Ihdr(4, 3, 8, 0), Chunk("tEXt", {'k', 0, 'v'}), Chunk("IDAT", Zlib(RawRows(3, 4, 0x40))), Iend()}));
    src.Filters = FilterBit(pfUp);
    TPNGObject copy;
    copy.Assign(src);
    EXPECT_EQ(copy.Chunks().Count(), 4);
    EXPECT_EQ(copy.Chunks().FindChunk<TChunktEXt>()->Text, "v");
    EXPECT_EQ(copy.Filters, FilterBit(pfUp));
    EXPECT_EQ(copy.GetPixels(3, 2), MakeColor(0x40, 0x40, 0x40));
    EXPECT_THROW(copy.GetHeader().Assign(*src.Chunks().FindChunk<TChunktEXt>()), EPngError);

    TBitmap bmp;
    bmp.Allocate(3, 2, pf32bit);
    bmp.Canvas().SetPixels(0, 0, MakeColor(10, 20, 30));
    bmp.SetTransparentColor(MakeColor(10, 20, 30));
    bmp.SetTransparent(true);
    TPNGObject rgb;
    rgb.Assign(bmp);
    EXPECT_EQ(rgb.GetHeader().ColorType, COLOR_RGB);
    EXPECT_EQ(rgb.GetHeader().BitDepth, 8);
    EXPECT_EQ(rgb.GetPixels(0, 0), MakeColor(10, 20, 30));
    EXPECT_EQ(rgb.TransparencyMode(), 1);
    EXPECT_EQ(rgb.TransparentColor(), MakeColor(10, 20, 30));
    EXPECT_EQ(rgb.Chunks().GetItem(1)->NameView(), "tRNS");

    TBitmap pal;
    pal.Allocate(2, 2, pf8bit);
    pal.ScanLine(1)[1] = 200;
    TPNGObject indexed;
    indexed.Assign(pal);
    EXPECT_EQ(indexed.GetHeader().ColorType, COLOR_PALETTE);
    EXPECT_EQ(indexed.Chunks().FindChunk<TChunkPLTE>()->Count, 256);
    EXPECT_EQ(indexed.Scanline(1)[1], 200);
    EXPECT_EQ(indexed.GetPixels(1, 1), ColorFromQuad(pal.ColorTable()[200]));
}
