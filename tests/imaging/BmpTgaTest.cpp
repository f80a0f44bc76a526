// Windows bitmaps and Targa images: what the loaders make of each header
// variant, the run-length coders' exact bytes, round trips of every pixel
// format the savers take, and hostile headers that must be refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "ClassicFormatsTestUtil.h"
#include "imaging/FormatBmp.h"
#include "imaging/FormatTga.h"
#include "platform/ByteWriter.h"

namespace velto {
namespace {

using namespace test;

// A bitmap file: file header, a Windows header of `headerSize` bytes (width,
// height, bit count, compression, colours used, then `extra` header bytes),
// the palette and the pixel data.
struct BmpSpec {
    std::int32_t width = 2, height = 2;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0, colorsUsed = 0, headerSize = 40;
    Bytes extra, palette, pixels;
    std::uint32_t sizeImage = 0;
};

Bytes MakeBmp(const BmpSpec& s) {
    ByteWriter w;
    w.text("BM");
    w.u32le(0);
    w.u32le(0);
    w.u32le(static_cast<std::uint32_t>(14 + s.headerSize + s.extra.size() + s.palette.size()));
    w.u32le(s.headerSize);
    if (s.headerSize == 12) {
        w.u16le(static_cast<std::uint16_t>(s.width));
        w.u16le(static_cast<std::uint16_t>(s.height));
        w.u16le(1);
        w.u16le(s.bitCount);
    } else {
        Bytes body(s.headerSize < 4 ? 0 : s.headerSize - 4, 0);
        ByteWriter b;
        b.i32le(s.width);
        b.i32le(s.height);
        b.u16le(1);
        b.u16le(s.bitCount);
        b.u32le(s.compression);
        b.u32le(s.sizeImage);
        b.u32le(0);
        b.u32le(0);
        b.u32le(s.colorsUsed);
        std::copy_n(b.buffer().begin(), std::min(body.size(), b.buffer().size()), body.begin());
        w.bytes(body);
    }
    w.bytes(s.extra);
    w.bytes(s.palette);
    w.bytes(s.pixels);
    return w.take();
}

struct BmpLoadCase {
    const char* name;
    BmpSpec spec;
    Outcome outcome;
    TImageFormat format;
    Bytes bits;  // expected pixels, top row first
};

TEST(BitmapLoad, HeaderVariants) {
    const Bytes grey4 = W32({0x00000000, 0x00FFFFFF});
    const BmpLoadCase cases[] = {
        {"32-bit, zero alpha bytes: X8R8G8B8", {2, 1, 32, 0, 0, 40, {}, {}, W32({0x00010203, 0x00040506})},
         Outcome::Loaded, ifX8R8G8B8, W32({0x00010203, 0x00040506})},
        {"32-bit, one alpha byte set: A8R8G8B8", {2, 1, 32, 0, 0, 40, {}, {}, W32({0x00010203, 0x01040506})},
         Outcome::Loaded, ifA8R8G8B8, W32({0x00010203, 0x01040506})},
        {"16-bit plain, bit 15 clear: X1R5G5B5", {2, 1, 16, 0, 0, 40, {}, {}, W16({0x1234, 0x7FFF})},
         Outcome::Loaded, ifX1R5G5B5, W16({0x1234, 0x7FFF})},
        {"16-bit plain, bit 15 set: A1R5G5B5", {2, 1, 16, 0, 0, 40, {}, {}, W16({0x1234, 0x8000})},
         Outcome::Loaded, ifA1R5G5B5, W16({0x1234, 0x8000})},
        {"16-bit 565 masks after a 40-byte header", {1, 1, 16, 3, 0, 40, W32({0xF800, 0x07E0, 0x001F}), {}, W16({0xFFFF, 0})},
         Outcome::Loaded, ifR5G6B5, W16({0xFFFF})},
        {"negative height: rows in file order", {1, -2, 24, 0, 0, 40, {}, {}, {1, 2, 3, 0, 4, 5, 6, 0}},
         Outcome::Loaded, ifR8G8B8, {1, 2, 3, 4, 5, 6}},
        {"positive height: bottom row first", {1, 2, 24, 0, 0, 40, {}, {}, {1, 2, 3, 0, 4, 5, 6, 0}},
         Outcome::Loaded, ifR8G8B8, {4, 5, 6, 1, 2, 3}},
        {"4-bit, two colours used: 8 palette bytes", {3, 1, 4, 0, 2, 40, {}, grey4, {0x01, 0x00, 0, 0}},
         Outcome::Loaded, ifIndex8, {0, 1, 0}},
        {"1-bit OS/2 core header", {9, 1, 1, 0, 0, 12, {}, {0, 0, 0, 255, 255, 255}, {0x80, 0x80, 0, 0}},
         Outcome::Loaded, ifIndex8, {1, 0, 0, 0, 0, 0, 0, 0, 1}},
        {"RLE8 run, literal, delta and end of bitmap", {4, 2, 8, 1, 2, 40, {}, grey4, {2, 1, 0, 2, 1, 1, 0, 3, 1, 0, 1, 0, 0, 1}},
         Outcome::Loaded, ifIndex8, {0, 0, 0, 1, 1, 1, 0, 0}},
        {"RLE8 run longer than the row is cut", {2, 1, 8, 1, 2, 40, {}, grey4, {9, 1, 0, 1}},
         Outcome::Loaded, ifIndex8, {1, 1}},
        {"RLE4 run alternates nibbles; literal with pad", {5, 1, 4, 2, 2, 40, {}, grey4, {2, 0x10, 0, 3, 0x01, 0x10, 0, 1}},
         Outcome::Loaded, ifIndex8, {1, 0, 0, 1, 1}},
        {"unknown compression leaves zeros", {2, 1, 24, 4, 0, 40, {}, {}, {9, 9, 9, 9, 9, 9, 0, 0}},
         Outcome::Loaded, ifR8G8B8, {0, 0, 0, 0, 0, 0}},
        {"bit count 2 is not supported", {4, 1, 2, 0, 0, 40, {}, grey4, {0, 0, 0, 0}}, Outcome::False, 0, {}},
        {"header size below 4", {1, 1, 24, 0, 0, 3, {}, {}, {}}, Outcome::Error, 0, {}},
        {"negative width", {-1, 1, 24, 0, 0, 40, {}, {}, Bytes(8)}, Outcome::Error, 0, {}},
        {"height INT_MIN", {1, INT_MIN, 24, 0, 0, 40, {}, {}, Bytes(8)}, Outcome::Error, 0, {}},
        {"rows cut short of the height", {4, 4, 24, 0, 0, 40, {}, {}, Bytes(40)}, Outcome::Error, 0, {}},
        {"huge image, no data", {30000, 30000, 32, 0, 0, 40, {}, {}, {}}, Outcome::Error, 0, {}},
        {"RLE8 delta below the last row", {2, 2, 8, 1, 2, 40, {}, grey4, {0, 2, 0, 5, 1, 1}}, Outcome::Error, 0, {}},
        {"RLE8 literal longer than the data", {4, 1, 8, 1, 2, 40, {}, grey4, {0, 4, 1, 1}},
         Outcome::Loaded, ifIndex8, {1, 1, 0, 0}},
        {"colours used beyond 256 are clamped", {1, 1, 8, 0, 70000, 40, {}, Bytes(1024, 7), {3, 0, 0, 0}},
         Outcome::Loaded, ifIndex8, {3}},
    };
    for (const BmpLoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        Images images;
        ASSERT_EQ(Load(TheFormat<TBitmapFileFormat>(), MakeBmp(c.spec), images), c.outcome);
        if (c.outcome != Outcome::Loaded) continue;
        EXPECT_EQ(images[0].Format, c.format);
        EXPECT_EQ(Bits(images[0]), c.bits);
    }
}

TEST(BitmapLoad, PaletteAndPosition) {
    // Two colours used of an 8-bit file, then pixels; the stream ends behind the data.
    BmpSpec s{2, 1, 8, 0, 2, 40, {}, {1, 2, 3, 0, 4, 5, 6, 0}, {1, 0, 0, 0}};
    Bytes file = MakeBmp(s);
    const std::size_t size = file.size();
    file.insert(file.end(), {0xEE, 0xEE});
    Images images;
    std::int64_t end = 0;
    ASSERT_EQ(Load(TheFormat<TBitmapFileFormat>(), file, images, &end), Outcome::Loaded);
    EXPECT_EQ(end, static_cast<std::int64_t>(size));
    EXPECT_EQ(images[0].Palette[0], Color32(255, 3, 2, 1));
    EXPECT_EQ(images[0].Palette[1], Color32(255, 6, 5, 4));
    EXPECT_EQ(images[0].Palette[2], 0u);
}

TEST(BitmapSave, RunLengthBytesAndTheRleOption) {
    Image image(3, 1, ifIndex8, {5, 5, 7});
    const Bytes rle = Save(TheFormat<TBitmapFileFormat>(), image.data);
    const std::uint32_t offset = rle[10] | rle[11] << 8;
    EXPECT_EQ(Bytes(rle.begin() + offset, rle.end()), (Bytes{2, 5, 1, 7, 0, 0, 0, 1}));
    EXPECT_EQ(rle[30], 1) << "compression RLE8";
    {
        OptionScope off(ImagingBitmapRLE, 0);
        const Bytes plain = Save(TheFormat<TBitmapFileFormat>(), image.data);
        EXPECT_EQ(Bytes(plain.begin() + offset, plain.end()), (Bytes{5, 5, 7, 0}));
    }
    // Literals of three and more differing pixels, padded to even length.
    Image lit(4, 1, ifIndex8, {1, 2, 3, 3});
    const Bytes l = Save(TheFormat<TBitmapFileFormat>(), lit.data);
    EXPECT_EQ(Bytes(l.begin() + offset, l.end()), (Bytes{1, 1, 1, 2, 2, 3, 0, 0, 0, 1})) << "no literal below 3";
    Image lit3(4, 1, ifIndex8, {1, 2, 3, 4});
    const Bytes l3 = Save(TheFormat<TBitmapFileFormat>(), lit3.data);
    EXPECT_EQ(Bytes(l3.begin() + offset, l3.end()), (Bytes{0, 4, 1, 2, 3, 4, 0, 0, 0, 1}));
}

TEST(BitmapSave, HeadersAndConversions) {
    struct Case {
        const char* name;
        TImageFormat in, stored;
        std::uint32_t headerSize, compression;
    } const cases[] = {
        {"R5G6B5: 40 bytes and masks", ifR5G6B5, ifR5G6B5, 40, 3},
        {"A1R5G5B5: version 4 header", ifA1R5G5B5, ifA1R5G5B5, 108, 3},
        {"X1R5G5B5: plain", ifX1R5G5B5, ifX1R5G5B5, 40, 0},
        {"Gray8 becomes Index8", ifGray8, ifIndex8, 40, 1},
        {"A16R16G16B16 becomes A8R8G8B8", ifA16R16G16B16, ifA8R8G8B8, 40, 0},
        {"R32F becomes R8G8B8", ifR32F, ifR8G8B8, 40, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image image(3, 2, c.in);
        FillPattern(image.data);
        const Bytes file = Save(TheFormat<TBitmapFileFormat>(), image.data);
        ASSERT_GT(file.size(), 54u);
        EXPECT_EQ(file[14] | file[15] << 8, static_cast<int>(c.headerSize));
        EXPECT_EQ(file[30], c.compression);
        EXPECT_EQ(file[28], FormatInfo(c.stored)->BytesPerPixel * 8);
        if (c.in == ifR5G6B5) {
            EXPECT_EQ(Bytes(file.begin() + 54, file.begin() + 66), W32({0xF800, 0x07E0, 0x001F}));
        }
        const std::uint32_t fileSize = file[2] | file[3] << 8 | file[4] << 16;
        EXPECT_EQ(fileSize, file.size());
        Images back;
        ASSERT_EQ(Load(TheFormat<TBitmapFileFormat>(), file, back), Outcome::Loaded);
        if (c.stored == ifIndex8 && c.in == ifGray8) {
            EXPECT_EQ(back[0].Palette[200], Color32(255, 200, 200, 200));
        }
    }
}

struct FormatRoundTrip {
    const char* name;
    TImageFormat format;
    std::int32_t option;  // RLE option value
    TImageFormat loadedAs;
};

class BitmapRoundTrip : public ::testing::TestWithParam<FormatRoundTrip> {};

TEST_P(BitmapRoundTrip, PixelsComeBackExactly) {
    const FormatRoundTrip& c = GetParam();
    OptionScope rle(ImagingBitmapRLE, c.option);
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{5, 3}, std::pair{17, 9}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        Image image(w, h, c.format);
        FillPattern(image.data, static_cast<std::uint32_t>(w));
        if (c.format == ifA1R5G5B5) image.data.Bits[1] |= 0x80;  // keeps it A1R5G5B5
        if (c.format == ifA8R8G8B8 || c.format == ifX8R8G8B8) image.data.Bits[3] = 1;
        if (c.format == ifX1R5G5B5)
            for (std::int32_t i = 1; i < image.data.Size; i += 2) image.data.Bits[i] &= 0x7F;
        const Bytes file = Save(TheFormat<TBitmapFileFormat>(), image.data);
        Images back;
        ASSERT_EQ(Load(TheFormat<TBitmapFileFormat>(), file, back), Outcome::Loaded);
        EXPECT_EQ(back[0].Format, c.loadedAs);
        EXPECT_EQ(Bits(back[0]), Bits(image.data));
    }
}

// X8R8G8B8 keeps its fourth bytes, which make it load as A8R8G8B8 when any is set.
const FormatRoundTrip kBitmapTrips[] = {
    {"Index8_rle", ifIndex8, -1, ifIndex8},   {"Index8_plain", ifIndex8, 0, ifIndex8},
    {"R5G6B5", ifR5G6B5, -1, ifR5G6B5},       {"A1R5G5B5", ifA1R5G5B5, -1, ifA1R5G5B5},
    {"A4R4G4B4", ifA4R4G4B4, -1, ifA4R4G4B4}, {"X1R5G5B5", ifX1R5G5B5, -1, ifX1R5G5B5},
    {"X4R4G4B4", ifX4R4G4B4, -1, ifX4R4G4B4}, {"R8G8B8", ifR8G8B8, -1, ifR8G8B8},
    {"A8R8G8B8", ifA8R8G8B8, -1, ifA8R8G8B8}, {"X8R8G8B8", ifX8R8G8B8, -1, ifA8R8G8B8},
};
INSTANTIATE_TEST_SUITE_P(Formats, BitmapRoundTrip, ::testing::ValuesIn(kBitmapTrips),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Targa

Bytes TgaHeader(std::uint8_t mapType, std::uint8_t type, std::uint16_t mapLength, std::uint8_t entrySize,
                std::uint16_t w, std::uint16_t h, std::uint8_t depth, std::uint8_t descriptor, std::uint8_t idLength = 0) {
    ByteWriter b;
    b.u8(idLength);
    b.u8(mapType);
    b.u8(type);
    b.u16le(0);
    b.u16le(mapLength);
    b.u8(entrySize);
    b.u16le(0);
    b.u16le(0);
    b.u16le(w);
    b.u16le(h);
    b.u8(depth);
    b.u8(descriptor);
    return b.take();
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct TgaLoadCase {
    const char* name;
    Bytes file;
    Outcome outcome;
    TImageFormat format;
    Bytes bits;
};

TEST(TargaLoad, Variants) {
    const TgaLoadCase cases[] = {
        {"24-bit, bottom origin: first stored row is the bottom", Cat({TgaHeader(0, 2, 0, 0, 1, 2, 24, 0), {1, 2, 3, 4, 5, 6}}),
         Outcome::Loaded, ifR8G8B8, {4, 5, 6, 1, 2, 3}},
        {"24-bit, top origin", Cat({TgaHeader(0, 2, 0, 0, 1, 2, 24, 0x20), {1, 2, 3, 4, 5, 6}}), Outcome::Loaded,
         ifR8G8B8, {1, 2, 3, 4, 5, 6}},
        {"16-bit, bit 15 clear: X1R5G5B5", Cat({TgaHeader(0, 2, 0, 0, 2, 1, 16, 0x20), W16({1, 0x7FFF})}),
         Outcome::Loaded, ifX1R5G5B5, W16({1, 0x7FFF})},
        {"16-bit, bit 15 set: A1R5G5B5", Cat({TgaHeader(0, 2, 0, 0, 2, 1, 16, 0x20), W16({1, 0x8000})}),
         Outcome::Loaded, ifA1R5G5B5, W16({1, 0x8000})},
        {"RLE across rows, cut at the last pixel", Cat({TgaHeader(0, 11, 0, 0, 2, 2, 8, 0x20), {0x82, 7, 0x01, 8, 9}}),
         Outcome::Loaded, ifGray8, {7, 7, 7, 8}},
        {"grey with alpha", Cat({TgaHeader(0, 3, 0, 0, 1, 1, 16, 0x28), {9, 200}}), Outcome::Loaded, ifA8Gray8, {9, 200}},
        {"ID field skipped", Cat({TgaHeader(0, 3, 0, 0, 1, 1, 8, 0x20, 3), {1, 2, 3, 42}}), Outcome::Loaded, ifGray8, {42}},
        {"colour map of a true-colour file is skipped", Cat({TgaHeader(1, 2, 2, 24, 1, 1, 24, 0x20), Bytes(6, 0xAA), {1, 2, 3}}),
         Outcome::Loaded, ifR8G8B8, {1, 2, 3}},
        {"colour-mapped 16-bit indices are refused", Cat({TgaHeader(1, 1, 2, 24, 1, 1, 16, 0x20), Bytes(6), {0, 0}}),
         Outcome::False, 0, {}},
        {"depth without a format", Cat({TgaHeader(0, 2, 0, 0, 1, 1, 1, 0x20), {0}}), Outcome::False, 0, {}},
        {"raw pixels cut short", Cat({TgaHeader(0, 2, 0, 0, 4, 4, 24, 0x20), Bytes(40)}), Outcome::Error, 0, {}},
        {"colour map longer than the file", Cat({TgaHeader(1, 1, 60000, 32, 1, 1, 8, 0x20), Bytes(10)}), Outcome::Error, 0, {}},
        {"huge RLE image from a few bytes", Cat({TgaHeader(0, 10, 0, 0, 65535, 65535, 32, 0x20), {0xFF, 1, 2, 3, 4}}),
         Outcome::Error, 0, {}},
        {"RLE data ending early leaves zeros", Cat({TgaHeader(0, 11, 0, 0, 128, 1, 8, 0x20), {0x81, 5}}),
         Outcome::Loaded, ifGray8, [] { Bytes b(128, 0); b[0] = b[1] = 5; return b; }()},
        {"no pixels", Cat({TgaHeader(0, 2, 0, 0, 0, 1, 24, 0x20), {}}), Outcome::Error, 0, {}},
    };
    for (const TgaLoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        Images images;
        ASSERT_EQ(Load(TheFormat<TTargaFileFormat>(), c.file, images), c.outcome);
        if (c.outcome != Outcome::Loaded) continue;
        EXPECT_EQ(images[0].Format, c.format);
        EXPECT_EQ(Bits(images[0]), c.bits);
    }
}

TEST(TargaLoad, ColourMapEntries) {
    const Bytes map32 = {1, 2, 3, 4, 5, 6, 7, 8};
    const Bytes map16 = W16({0x7C00, 0x001F});
    for (const auto& [name, size, map, e0, e1] :
         {std::tuple{"32-bit", 32, map32, Color32(4, 3, 2, 1), Color32(8, 7, 6, 5)},
          std::tuple{"16-bit, five bits times 8", 16, map16, Color32(255, 248, 0, 0), Color32(255, 0, 0, 248)}}) {
        SCOPED_TRACE(name);
        Images images;
        ASSERT_EQ(Load(TheFormat<TTargaFileFormat>(),
                       Cat({TgaHeader(1, 1, 2, static_cast<std::uint8_t>(size), 1, 1, 8, 0x20), map, {1}}), images),
                  Outcome::Loaded);
        EXPECT_EQ(images[0].Palette[0], e0);
        EXPECT_EQ(images[0].Palette[1], e1);
    }
}

TEST(TargaLoad, TrailingBlocksAreConsumed) {
    Bytes ext(495, 0);
    ext[0] = 0xEF;
    ext[1] = 0x01;
    Bytes footer(26, 0);
    std::memcpy(footer.data() + 8, "TRUEVISION-XFILE", 16);
    const Bytes one = Cat({TgaHeader(0, 3, 0, 0, 1, 1, 8, 0x20), {7}, ext, footer});
    const Bytes two = Cat({one, TgaHeader(0, 3, 0, 0, 1, 1, 8, 0x20), {9}});
    TMemoryStream stream(two);
    TDynImageDataArray images;
    ASSERT_TRUE(TheFormat<TTargaFileFormat>().LoadFromStream(stream, images));
    EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(one.size()));
    FreeImagesInArray(images);
    ASSERT_TRUE(TheFormat<TTargaFileFormat>().LoadFromStream(stream, images));
    EXPECT_EQ(images[0].Bits[0], 9);
    FreeImagesInArray(images);
}

TEST(TargaSave, RunLengthPacketsAndHeaders) {
    // 300 equal pixels: runs of 128, 128 and 44.
    std::vector<std::uint8_t> out;
    const Bytes same(300, 4);
    EncodeTargaRLERow(same.data(), 300, 1, out);
    EXPECT_EQ(out, (Bytes{0xFF, 4, 0xFF, 4, 128 + 43, 4}));
    out.clear();
    const Bytes differ = {1, 2, 3};
    EncodeTargaRLERow(differ.data(), 3, 1, out);
    EXPECT_EQ(out, (Bytes{2, 1, 2, 3}));
    out.clear();
    const Bytes mixed = {1, 2, 2, 2, 3};
    EncodeTargaRLERow(mixed.data(), 5, 1, out);
    EXPECT_EQ(out, (Bytes{0, 1, 128 + 2, 2, 0, 3}));

    {
        OptionScope rle(ImagingTargaRLE, 1);
        Image grey(2, 1, ifGray8, {1, 1});
        const Bytes file = Save(TheFormat<TTargaFileFormat>(), grey.data);
        EXPECT_EQ(file[2], 11) << "grey, run-length";
    }
    Image indexed(2, 2, ifIndex8);
    FillPattern(indexed.data);
    const Bytes file = Save(TheFormat<TTargaFileFormat>(), indexed.data);
    EXPECT_EQ(file[1], 1);
    EXPECT_EQ(file[2], 1);
    EXPECT_EQ(file[5] | file[6] << 8, 256);
    EXPECT_EQ(file[7], 24);
    EXPECT_EQ(file.size(), 18u + 768 + 4);
    EXPECT_EQ(file[17], 0x20);
    Image argb(1, 1, ifA8R8G8B8);
    EXPECT_EQ(Save(TheFormat<TTargaFileFormat>(), argb.data)[17], 0x28);
    Image wide(32768, 1, ifGray8);
    EXPECT_THROW(Save(TheFormat<TTargaFileFormat>(), wide.data), EImagingError);
}

class TargaRoundTrip : public ::testing::TestWithParam<FormatRoundTrip> {};

TEST_P(TargaRoundTrip, PixelsComeBackExactly) {
    const FormatRoundTrip& c = GetParam();
    OptionScope rle(ImagingTargaRLE, c.option);
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{300, 2}, std::pair{17, 9}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        Image image(w, h, c.format);
        FillPattern(image.data, static_cast<std::uint32_t>(w));
        // Runs as well as differing pixels.
        std::memset(image.data.Bits, image.data.Bits[0], static_cast<std::size_t>(image.data.Size) / 3);
        if (c.format == ifA1R5G5B5) image.data.Bits[1] |= 0x80;
        const Bytes file = Save(TheFormat<TTargaFileFormat>(), image.data);
        Images back;
        ASSERT_EQ(Load(TheFormat<TTargaFileFormat>(), file, back), Outcome::Loaded);
        EXPECT_EQ(back[0].Format, c.loadedAs);
        EXPECT_EQ(Bits(back[0]), Bits(image.data));
        for (int i = 0; c.format == ifIndex8 && i < 256; ++i)
            ASSERT_EQ(back[0].Palette[i], image.data.Palette[i] | 0xFF000000u);
    }
}

const FormatRoundTrip kTargaTrips[] = {
    {"Index8_raw", ifIndex8, 0, ifIndex8},   {"Index8_rle", ifIndex8, 1, ifIndex8},
    {"Gray8_raw", ifGray8, 0, ifGray8},      {"Gray8_rle", ifGray8, 1, ifGray8},
    {"A1R5G5B5_raw", ifA1R5G5B5, 0, ifA1R5G5B5}, {"A1R5G5B5_rle", ifA1R5G5B5, 1, ifA1R5G5B5},
    {"R8G8B8_raw", ifR8G8B8, 0, ifR8G8B8},   {"R8G8B8_rle", ifR8G8B8, 1, ifR8G8B8},
    {"A8R8G8B8_raw", ifA8R8G8B8, 0, ifA8R8G8B8}, {"A8R8G8B8_rle", ifA8R8G8B8, 1, ifA8R8G8B8},
};
INSTANTIATE_TEST_SUITE_P(Formats, TargaRoundTrip, ::testing::ValuesIn(kTargaTrips),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velto
