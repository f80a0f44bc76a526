// PNG, MNG and JNG: hand-made files for the decoder's cases (sample depths,
// palettes and transparency, interlacing, split and unknown chunks), the
// writer's structure and options, round trips of every savable format, JNG
// colour and alpha, and hostile chunk lengths and headers.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "Formats2TestUtil.h"
#include "imaging/FormatNetworkGraphics.h"
#include "imaging/Formats.h"
#include "imaging/Options.h"

namespace velto {
namespace {

using test::Bytes;
using test::FileBuilder;
using test::Ihdr;
using test::Image;
using test::Images;
using test::MakePng;

TPNGFileFormat& Png() { return test::FormatObject<TPNGFileFormat>(); }
TMNGFileFormat& Mng() { return test::FormatObject<TMNGFileFormat>(); }
TJNGFileFormat& Jng() { return test::FormatObject<TJNGFileFormat>(); }

// Chunks of a file as (id, data), in order.
std::vector<std::pair<std::string, Bytes>> Chunks(const Bytes& file) {
    std::vector<std::pair<std::string, Bytes>> out;
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::uint32_t n = std::uint32_t(file[at]) << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
        out.emplace_back(std::string(file.begin() + std::ptrdiff_t(at + 4), file.begin() + std::ptrdiff_t(at + 8)),
                         Bytes(file.begin() + std::ptrdiff_t(at + 8), file.begin() + std::ptrdiff_t(at + 8 + n)));
        at += 12 + n;
    }
    return out;
}

std::string ChunkIds(const Bytes& file) {
    std::string ids;
    for (const auto& c : Chunks(file)) ids += (ids.empty() ? "" : " ") + c.first;
    return ids;
}

struct DecodeCase {
    const char* name;
    Bytes file;
    TImageFormat format;
    std::int32_t width, height;
    Bytes bits;  // the whole image
};

TEST(NetworkGraphics, DecodesSampleDepthsAndLayouts) {
    const DecodeCase cases[] = {
        {"1-bit grey, 3 wide: 0 and 255", MakePng(Ihdr(3, 1, 1, 0), {0, 0b10100000}), ifGray8, 3, 1, {255, 0, 255}},
        {"2-bit grey scaled by 85", MakePng(Ihdr(4, 1, 2, 0), {0, 0b00011011}), ifGray8, 4, 1, {0, 85, 170, 255}},
        {"4-bit palette indices as they are", MakePng(Ihdr(3, 1, 4, 3), {0, 0x0F, 0x70}, {{"PLTE", Bytes(48, 9)}}),
         ifIndex8, 3, 1, {0, 15, 7}},
        {"RGB stored R, G, B comes B, G, R", MakePng(Ihdr(1, 1, 8, 2), {0, 10, 20, 30}), ifR8G8B8, 1, 1, {30, 20, 10}},
        {"16-bit RGB words swapped to native", MakePng(Ihdr(1, 1, 16, 2), {0, 1, 2, 3, 4, 5, 6}), ifR16G16B16, 1, 1,
         {6, 5, 4, 3, 2, 1}},
        {"grey and alpha", MakePng(Ihdr(1, 1, 8, 4), {0, 7, 200}), ifA8Gray8, 1, 1, {7, 200}},
        {"16-bit RGBA", MakePng(Ihdr(1, 1, 16, 6), {0, 0, 1, 0, 2, 0, 3, 0xFF, 0xFE}), ifA16R16G16B16, 1, 1,
         {3, 0, 2, 0, 1, 0, 0xFE, 0xFF}},
        {"sub, up, average and paeth rows", MakePng(Ihdr(2, 4, 8, 0), {1, 10, 5, 2, 1, 1, 3, 2, 2, 4, 1, 1}), ifGray8, 2, 4,
         {10, 15, 11, 16, 7, 13, 8, 14}},
        {"filter type above 4 leaves the row zero", MakePng(Ihdr(2, 2, 8, 0), {0, 5, 6, 9, 7, 8}), ifGray8, 2, 2,
         {5, 6, 0, 0}},
        {"intrapixel differencing adds green back", MakePng(Ihdr(1, 1, 8, 2, 0, 64), {0, 250, 10, 20}), ifR8G8B8, 1, 1,
         {30, 10, 4}},
        {"interlaced 1x1 uses the first pass", MakePng(Ihdr(1, 1, 8, 0, 1), {0, 77}), ifGray8, 1, 1, {77}},
        // 3x3, Adam7 passes 1 (0,0), 4 (2,0) (x 2,0... ), 5 (rows 2), 6 (odd columns), 7 (odd rows).
        {"interlaced 3x3 places every pass",
         MakePng(Ihdr(3, 3, 8, 0, 1), {0, 1, /*pass 4*/ 0, 3, /*pass 5*/ 0, 7, 9, /*pass 6*/ 0, 2, 0, 8,
                                       /*pass 7*/ 0, 4, 5, 6}),
         ifGray8, 3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"interlaced 1-bit pixels are or-ed into the packed row",
         MakePng(Ihdr(2, 1, 1, 0, 1), {0, 0x80, 0, 0x80}), ifGray8, 2, 1, {255, 255}},
        {"short data is padded with zeros", MakePng(Ihdr(2, 2, 8, 0), {0, 1, 2}), ifGray8, 2, 2, {1, 2, 0, 0}},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        Images images;
        std::string error;
        ASSERT_TRUE(test::LoadBytes(Png(), c.file, images, &error)) << error;
        ASSERT_EQ(images.size(), 1u);
        EXPECT_EQ(images[0].Format, c.format);
        EXPECT_EQ(images[0].Width, c.width);
        EXPECT_EQ(images[0].Height, c.height);
        EXPECT_EQ(Bytes(images[0].Bits, images[0].Bits + images[0].Size), c.bits);
    }
}

TEST(NetworkGraphics, PalettesAndTransparency) {
    // 16 palette entries, 4 alphas: a 256-entry palette, the rest opaque white.
    Bytes plte;
    for (int i = 0; i < 16; ++i) plte.insert(plte.end(), {std::uint8_t(i), std::uint8_t(i * 2), std::uint8_t(i * 3)});
    Images images;
    ASSERT_TRUE(test::LoadBytes(Png(), MakePng(Ihdr(1, 1, 8, 3), {0, 3}, {{"PLTE", plte}, {"tRNS", {0, 50, 100, 150}}}),
                                images));
    const TColor32* pal = images[0].Palette;
    EXPECT_EQ(pal[3], Color32(150, 3, 6, 9));
    EXPECT_EQ(pal[4], Color32(255, 4, 8, 12));
    EXPECT_EQ(pal[16], 0xFFFFFFFFu);
    EXPECT_EQ(pal[255], 0xFFFFFFFFu);

    struct KeyCase {
        const char* name;
        Bytes file;
        TImageFormat format;
        Bytes bits;
    };
    const KeyCase cases[] = {
        {"RGB key: that colour transparent, shown as the key",
         MakePng(Ihdr(2, 1, 8, 2), {0, 1, 2, 3, 4, 5, 6}, {{"tRNS", {0, 1, 0, 2, 0, 3}}}), ifA8R8G8B8,
         {3, 2, 1, 0, 6, 5, 4, 255}},
        {"RGB key with background: takes the background colour",
         MakePng(Ihdr(2, 1, 8, 2), {0, 1, 2, 3, 4, 5, 6}, {{"tRNS", {0, 1, 0, 2, 0, 3}}, {"bKGD", {0, 9, 0, 8, 0, 7}}}),
         ifA8R8G8B8, {7, 8, 9, 0, 6, 5, 4, 255}},
        {"2-bit grey key scaled like the samples", MakePng(Ihdr(2, 1, 2, 0), {0, 0b01100000}, {{"tRNS", {0, 1}}}),
         ifA8Gray8, {85, 0, 170, 255}},
        {"16-bit grey key compared at full depth",
         MakePng(Ihdr(2, 1, 16, 0), {0, 1, 2, 1, 3}, {{"tRNS", {1, 2}}}), ifA16Gray16, {2, 1, 0, 0, 3, 1, 255, 255}},
        {"grey and alpha ignores tRNS", MakePng(Ihdr(1, 1, 8, 4), {0, 1, 9}, {{"tRNS", {0, 1}}}), ifA8Gray8, {1, 9}},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(test::LoadBytes(Png(), c.file, images));
        EXPECT_EQ(images[0].Format, c.format);
        EXPECT_EQ(Bytes(images[0].Bits, images[0].Bits + images[0].Size), c.bits);
    }
}

TEST(NetworkGraphics, ChunkStructure) {
    const Bytes rows = {0, 1, 2};
    // IDAT split over two chunks, an unknown critical chunk, a second PLTE.
    Bytes z = test::Deflate(rows);
    FileBuilder split;
    split.raw(test::kPngSignature)
        .chunk("IHDR", Ihdr(2, 1, 8, 3))
        .chunk("PLTE", {1, 2, 3, 4, 5, 6})
        .chunk("XYZW", {9, 9, 9})
        .chunk("PLTE", {7, 7, 7})
        .chunk("IDAT", Bytes(z.begin(), z.begin() + 3))
        .chunk("IDAT", Bytes(z.begin() + 3, z.end()))
        .chunk("IEND", {});
    Images images;
    ASSERT_TRUE(test::LoadBytes(Png(), split.bytes, images));
    EXPECT_EQ(Bytes(images[0].Bits, images[0].Bits + 2), Bytes({1, 2}));
    EXPECT_EQ(images[0].Palette[0], Color32(255, 1, 2, 3)) << "the second PLTE is ignored";

    // Image data before any header is skipped; a file without a header loads nothing.
    FileBuilder early;
    early.raw(test::kPngSignature).chunk("IDAT", z).chunk("IHDR", Ihdr(2, 1, 8, 0)).chunk("IDAT", z).chunk("IEND", {});
    ASSERT_TRUE(test::LoadBytes(Png(), early.bytes, images));
    FileBuilder headless;
    headless.raw(test::kPngSignature).chunk("IDAT", z).chunk("IEND", {});
    EXPECT_FALSE(test::LoadBytes(Png(), headless.bytes, images));

    // A PNG named .mng is refused by the MNG test but detected as PNG.
    const Bytes png = MakePng(Ihdr(2, 1, 8, 0), rows);
    TMemoryStream stream(png);
    EXPECT_FALSE(Mng().TestFormat(StreamIO(), &stream));
    EXPECT_EQ(DetectStreamFormat(stream), "png");
    // The stream is left behind IEND.
    Bytes tailed = png;
    tailed.insert(tailed.end(), {1, 2, 3, 4, 5});
    TMemoryStream tail(tailed);
    ASSERT_TRUE(Png().LoadFromStream(tail, images.list));
    EXPECT_EQ(tail.Position(), static_cast<std::int64_t>(png.size()));
}

TEST(NetworkGraphics, MngFramesAndHeader) {
    // No frame at all: one blank image of the header's frame size.
    FileBuilder blank;
    blank.raw(test::kMngSignature).chunk("MHDR", FileBuilder().be32(7).be32(5).zeros(20).bytes).chunk("MEND", {});
    Images images;
    ASSERT_TRUE(test::LoadBytes(Mng(), blank.bytes, images));
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].Width, 7);
    EXPECT_EQ(images[0].Height, 5);
    EXPECT_EQ(images[0].Format, ifA8R8G8B8);

    // A first chunk shorter than 28 bytes is zero-extended.
    FileBuilder shortHeader;
    shortHeader.raw(test::kMngSignature).chunk("MHDR", FileBuilder().be32(3).be32(2).bytes).chunk("MEND", {});
    ASSERT_TRUE(test::LoadBytes(Mng(), shortHeader.bytes, images));
    EXPECT_EQ(images[0].Width, 3);
    // A first chunk of no bytes (and a header chunk of none): sizes of 0, nothing to load.
    FileBuilder empty;
    empty.raw(test::kMngSignature).chunk("MHDR", {}).chunk("MEND", {});
    EXPECT_FALSE(test::LoadBytes(Mng(), empty.bytes, images));
    FileBuilder emptyIhdr;
    emptyIhdr.raw(test::kMngSignature).chunk("MHDR", Bytes(28, 0)).chunk("IHDR", {}).chunk("IEND", {}).chunk("MEND", {});
    EXPECT_FALSE(test::LoadBytes(Mng(), emptyIhdr.bytes, images));

    // A global palette; a frame's PLTE of length 0 copies it.
    FileBuilder global;
    global.raw(test::kMngSignature)
        .chunk("MHDR", Bytes(28, 0))
        .chunk("PLTE", {10, 20, 30})
        .chunk("IHDR", Ihdr(1, 1, 8, 3))
        .chunk("PLTE", {})
        .chunk("IDAT", test::Deflate({0, 0}))
        .chunk("IEND", {})
        .chunk("IHDR", Ihdr(2, 1, 8, 0))
        .chunk("IDAT", test::Deflate({0, 4, 5}))
        .chunk("IEND", {})
        .chunk("MEND", {});
    ASSERT_TRUE(test::LoadBytes(Mng(), global.bytes, images));
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].Palette[0], Color32(255, 10, 20, 30));
    EXPECT_EQ(images[1].Width, 2);

    // Saving 10x20, 30x5 and 8x8: MHDR of the largest sides, three frames, MEND.
    Image a(10, 20, ifR8G8B8), b(30, 5, ifGray8), c(8, 8, ifA8R8G8B8);
    const Bytes file = test::SaveBytes(Mng(), {a.data, b.data, c.data});
    EXPECT_EQ(ChunkIds(file), "MHDR IHDR IDAT IEND IHDR IDAT IEND IHDR IDAT IEND MEND");
    const Bytes mhdr = Chunks(file)[0].second;
    EXPECT_EQ(mhdr, FileBuilder().be32(30).be32(20).be32(0).be32(0).be32(3).be32(0).be32(473).bytes);
    ASSERT_TRUE(test::LoadBytes(Mng(), file, images));
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[1].Format, ifGray8);
}

TEST(NetworkGraphics, WriterOptionsAndStructure) {
    PushOptions();
    SetOption(ImagingPNGPreFilter, 9);
    SetOption(ImagingMNGQuality, 0);
    Image rgb(8, 8, ifA8R8G8B8);
    test::FillPhotoLike(rgb.data);
    ConvertImage(rgb.data, ifR8G8B8);
    test::SaveBytes(Png(), {rgb.data});
    EXPECT_EQ(GetOption(ImagingPNGPreFilter), 5);
    test::SaveBytes(Mng(), {rgb.data});
    EXPECT_EQ(GetOption(ImagingMNGQuality), 90);

    // Filter bytes of the rows as written.
    const auto filters = [](const Bytes& file) {
        std::set<int> seen;
        Bytes idat;
        for (const auto& [id, data] : Chunks(file))
            if (id == "IDAT") idat.insert(idat.end(), data.begin(), data.end());
        const std::uint32_t w = Chunks(file)[0].second[3], bpp = Chunks(file)[0].second[9] == 3 ? 1 : 3;
        Bytes raw(64 * 64 * 4);
        uLongf n = raw.size();
        uncompress(raw.data(), &n, idat.data(), idat.size());
        for (std::size_t at = 0; at < n; at += w * bpp + 1) seen.insert(raw[at]);
        return seen;
    };
    SetOption(ImagingPNGPreFilter, 6);
    EXPECT_GT(filters(test::SaveBytes(Png(), {rgb.data})).size(), 1u) << "adaptive rows differ";
    SetOption(ImagingPNGPreFilter, 5);
    EXPECT_EQ(filters(test::SaveBytes(Png(), {rgb.data})), std::set<int>({4})) << "Paeth for RGB";

    // A palette image uses filter 0 even when adaptive; an opaque palette writes no tRNS.
    Image indexed(8, 8, ifIndex8);
    for (int i = 0; i < 256; ++i) indexed.data.Palette[i] = Color32(255, std::uint8_t(i), 0, 0);
    for (int i = 0; i < 64; ++i) indexed.data.Bits[i] = std::uint8_t(i * 3);
    SetOption(ImagingPNGPreFilter, 6);
    const Bytes pal = test::SaveBytes(Png(), {indexed.data});
    EXPECT_EQ(filters(pal), std::set<int>({0}));
    EXPECT_EQ(ChunkIds(pal), "IHDR PLTE IDAT IEND");
    EXPECT_EQ(Chunks(pal)[1].second.size(), 768u);
    indexed.data.Palette[5] = Color32(128, 5, 0, 0);
    EXPECT_EQ(ChunkIds(test::SaveBytes(Png(), {indexed.data})), "IHDR PLTE tRNS IDAT IEND");
    PopOptions();
}

TEST(NetworkGraphics, RoundTripsEverySavableFormat) {
    const TImageFormat formats[] = {ifIndex8,    ifGray8,        ifA8Gray8,   ifGray16,       ifA16Gray16, ifR8G8B8,
                                    ifA8R8G8B8, ifR16G16B16,    ifA16R16G16B16, ifB16G16R16, ifA16B16G16R16};
    PushOptions();
    for (const std::int32_t filter : {0, 1, 2, 3, 4, 5, 6})
        for (const TImageFormat f : formats) {
            SCOPED_TRACE(GetFormatName(f) + " filter " + std::to_string(filter));
            SetOption(ImagingPNGPreFilter, filter);
            Image image(13, 7, f);
            for (std::int32_t i = 0; i < image.data.Size; ++i) image.data.Bits[i] = std::uint8_t(i * 37 + 11);
            if (image.data.Palette)
                for (int i = 0; i < 256; ++i) image.data.Palette[i] = Color32(std::uint8_t(255 - i), std::uint8_t(i), 7, 9);
            Images back;
            ASSERT_TRUE(test::LoadBytes(Png(), test::SaveBytes(Png(), {image.data}), back));
            // The swapped 16-bit formats come back in the unswapped twin.
            const TImageFormat expected = f == ifB16G16R16 ? ifR16G16B16 : f == ifA16B16G16R16 ? ifA16R16G16B16 : f;
            ASSERT_EQ(back[0].Format, expected);
            if (f != expected) ConvertImage(back[0], f);
            EXPECT_EQ(Bytes(back[0].Bits, back[0].Bits + back[0].Size), image.bits());
            if (image.data.Palette) {
                EXPECT_EQ(std::memcmp(back[0].Palette, image.data.Palette, 1024), 0);
            }
        }
    PopOptions();
    // A format outside the set is converted: float RGBA to 16-bit.
    Image fp(2, 2, ifA32R32G32B32F);
    Images back;
    ASSERT_TRUE(test::LoadBytes(Png(), test::SaveBytes(Png(), {fp.data}), back));
    EXPECT_EQ(back[0].Format, ifA16R16G16B16);
}

TEST(NetworkGraphics, JngColourAndAlpha) {
    Image argb(24, 16, ifA8R8G8B8);
    test::FillPhotoLike(argb.data);
    struct Case {
        const char* name;
        TImageFormat format;
        std::int32_t lossyAlpha;
        std::string chunks;
        int alphaTolerance;
    };
    const Case cases[] = {
        {"colour without alpha", ifR8G8B8, 0, "JHDR JDAT IEND", 0},
        {"grey with PNG alpha", ifA8Gray8, 0, "JHDR JDAT IDAT IEND", 0},
        {"colour with PNG alpha", ifA8R8G8B8, 0, "JHDR JDAT IDAT IEND", 0},
        {"colour with JPEG alpha", ifA8R8G8B8, -1, "JHDR JDAT JDAA IEND", 8},
    };
    PushOptions();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetOption(ImagingJNGLossyAlpha, c.lossyAlpha);
        Image image;
        CloneImage(argb.data, image.data);
        ConvertImage(image.data, c.format);
        const Bytes file = test::SaveBytes(Jng(), {image.data});
        EXPECT_EQ(ChunkIds(file), c.chunks);
        Images back;
        ASSERT_TRUE(test::LoadBytes(Jng(), file, back));
        ASSERT_EQ(back[0].Format, c.format);
        const TImageFormatInfo& info = *FormatInfo(c.format);
        const int step = info.BytesPerPixel;
        for (std::int32_t i = 0; i < image.data.Size; ++i) {
            const bool alpha = info.HasAlpha && i % step == step - 1;
            ASSERT_NEAR(back[0].Bits[i], image.data.Bits[i], alpha ? c.alphaTolerance : 24) << i;
        }
    }
    PopOptions();

    // A JPEG alpha plane of half the size is stretched by nearest neighbour.
    Image colour(32, 32, ifR8G8B8), alpha(16, 16, ifGray8);
    for (std::int32_t i = 0; i < 256; ++i) alpha.data.Bits[i] = (i % 16) < 8 ? 0 : 255;
    const Bytes jdat = Chunks(test::SaveBytes(Jng(), {colour.data}))[1].second;
    auto& jpeg = *FindImageFileFormatByExt("jpg");
    const Bytes jdaa = test::SaveBytes(jpeg, {alpha.data});
    FileBuilder jng;
    jng.raw(test::kJngSignature)
        .chunk("JHDR", FileBuilder().be32(32).be32(32).u8({14, 8, 8, 0, 8, 8, 0, 0}).bytes)
        .chunk("JDAT", jdat)
        .chunk("JDAA", jdaa)
        .chunk("IEND", {});
    Images back;
    ASSERT_TRUE(test::LoadBytes(Jng(), jng.bytes, back));
    ASSERT_EQ(back[0].Format, ifA8R8G8B8);
    EXPECT_LT(Color32A(test::Pixel32(back[0], 14, 3)), 16);
    EXPECT_GT(Color32A(test::Pixel32(back[0], 17, 3)), 240);

    // 12-bit samples are not decoded: a black colour image of the header's size.
    FileBuilder twelve;
    twelve.raw(test::kJngSignature)
        .chunk("JHDR", FileBuilder().be32(5).be32(3).u8({10, 12, 8, 0, 0, 0, 0, 0}).bytes)
        .chunk("JDAT", {1, 2, 3})
        .chunk("IEND", {});
    ASSERT_TRUE(test::LoadBytes(Jng(), twelve.bytes, back));
    EXPECT_EQ(back[0].Format, ifR8G8B8);
    EXPECT_EQ(back[0].Width, 5);
    EXPECT_EQ(back[0].Bits[0], 0);
}

TEST(NetworkGraphics, HostileFilesAreRefused) {
    const Bytes z = test::Deflate({0, 1});
    struct Case {
        const char* name;
        Bytes file;
        const char* error;  // part of the message; "" when the load only answers false
    };
    const auto hugeLength = FileBuilder()
                                .raw(test::kPngSignature)
                                .chunk("IHDR", Ihdr(1, 1, 8, 0))
                                .be32(0x7FFFFFF0)
                                .text("IDAT")
                                .zeros(16)
                                .bytes;
    const auto rangeLength =
        FileBuilder().raw(test::kPngSignature).chunk("IHDR", Ihdr(1, 1, 8, 0)).be32(0x80000000u).text("IDAT").bytes;
    const Case cases[] = {
        {"chunk length past the input", hugeLength, "Error when reading IDAT chunk data. File may be corrupted."},
        {"chunk length of 2^31", rangeLength, "Error when reading IDAT chunk data"},
        {"colour type 2 at depth 4", MakePng(Ihdr(1, 1, 4, 2), {0, 1, 2}), "Unsupported PNG colour type"},
        {"colour type 7", MakePng(Ihdr(1, 1, 8, 7), {0, 1}), "Unsupported PNG colour type"},
        {"height of 2^31", MakePng(Ihdr(1, 0x80000000u, 8, 0), {0, 1}), "Range check error"},
        {"an image beyond what its data can inflate to", MakePng(Ihdr(20000, 20000, 8, 6), {0, 1}),
         "PNG image data too short for the image size."},
        {"zero width", MakePng(Ihdr(0, 5, 8, 0), {0}), ""},
        {"corrupt deflate data", FileBuilder().raw(test::kPngSignature).chunk("IHDR", Ihdr(1, 1, 8, 0))
                                     .chunk("IDAT", {0x78, 0x9C, 0xFF, 0xFF, 0xFF}).chunk("IEND", {}).bytes,
         "decompressing"},
        {"MNG blank image of a hostile frame size", FileBuilder().raw(test::kMngSignature)
                                                   .chunk("MHDR", FileBuilder().be32(20000).be32(20000).zeros(20).bytes)
                                                   .bytes,
         "MNG frame size too large for the file."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Images images;
        std::string error;
        TImageFileFormat& format = c.file[1] == 'M' ? static_cast<TImageFileFormat&>(Mng()) : Png();
        EXPECT_FALSE(test::LoadBytes(format, c.file, images, &error));
        EXPECT_EQ(images.size(), 0u);
        if (*c.error) {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
    }
}

}  // namespace
}  // namespace velto
