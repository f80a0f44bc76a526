// DirectDraw Surface: hand-made files for the pixel-format table, mipmap
// chains, cube maps, volumes, pitch and linear sizes; the writer's layouts and
// their fall-back to plain textures; round trips of every savable format;
// hostile counts and sizes.
#include <gtest/gtest.h>

#include "Formats2TestUtil.h"
#include "imaging/FormatDds.h"
#include "imaging/Formats.h"
#include "imaging/Options.h"

namespace velto {
namespace {

using test::Bytes;
using test::FileBuilder;
using test::Image;
using test::Images;

TDDSFileFormat& Dds() { return test::FormatObject<TDDSFileFormat>(); }

struct Desc {
    std::uint32_t flags = 0x1007 | 0x80000, width = 4, height = 4, pitch = 0, depth = 0, mips = 0;
    std::uint32_t pfFlags = 0x4, fourCC = 0, bits = 0, r = 0, g = 0, b = 0, a = 0;
    std::uint32_t caps1 = 0x1000, caps2 = 0;
};

std::uint32_t Code(const char* s) { return std::uint32_t(s[0]) | s[1] << 8 | s[2] << 16 | std::uint32_t(s[3]) << 24; }

Bytes Header(const Desc& d) {
    FileBuilder f;
    f.text("DDS ").le32(124).le32(d.flags).le32(d.height).le32(d.width).le32(d.pitch).le32(d.depth).le32(d.mips).zeros(44);
    f.le32(32).le32(d.pfFlags).le32(d.fourCC).le32(d.bits).le32(d.r).le32(d.g).le32(d.b).le32(d.a);
    f.le32(d.caps1).le32(d.caps2).zeros(12);
    return f.bytes;
}

Bytes File(const Desc& d, std::size_t dataBytes, std::uint8_t fill = 0x5A) {
    Bytes b = Header(d);
    for (std::size_t i = 0; i < dataBytes; ++i) b.push_back(static_cast<std::uint8_t>(fill + i));
    return b;
}

std::int32_t Option(std::int32_t id) { return GetOption(id); }

// An 8-bit luminance texture of w x h.
Desc Grey8(std::uint32_t w, std::uint32_t h) {
    Desc d;
    d.pfFlags = 0x20000;
    d.bits = 8;
    d.r = 0xFF;
    d.width = w;
    d.height = h;
    return d;
}

TEST(Dds, PixelFormatTable) {
    struct Case {
        const char* name;
        Desc d;
        TImageFormat format;
    };
    const auto rgb = [](std::uint32_t flags, std::uint32_t bits, std::uint32_t r, std::uint32_t g, std::uint32_t b,
                        std::uint32_t a) {
        Desc d;
        d.pfFlags = flags;
        d.bits = bits;
        d.r = r;
        d.g = g;
        d.b = b;
        d.a = a;
        return d;
    };
    const auto four = [](std::uint32_t code) {
        Desc d;
        d.fourCC = code;
        return d;
    };
    const Case cases[] = {
        {"DXT1", four(Code("DXT1")), ifDXT1},
        {"DXT3", four(Code("DXT3")), ifDXT3},
        {"DXT5", four(Code("DXT5")), ifDXT5},
        {"code 116", four(116), ifA32B32G32R32F},
        {"code 36", four(36), ifA16B16G16R16},
        {"code 111", four(111), ifR16F},
        {"code 113", four(113), ifA16B16G16R16F},
        {"code 114", four(114), ifR32F},
        {"unknown code", four(Code("DX10")), ifUnknown},
        {"A4R4G4B4", rgb(0x41, 16, 0xF00, 0xF0, 0xF, 0xF000), ifA4R4G4B4},
        {"A1R5G5B5", rgb(0x41, 16, 0x7C00, 0x3E0, 0x1F, 0x8000), ifA1R5G5B5},
        {"16-bit alpha masks of no format", rgb(0x41, 16, 0xF800, 0x7E0, 0x1F, 0), ifUnknown},
        {"A8R8G8B8", rgb(0x41, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), ifA8R8G8B8},
        {"R3G3B2", rgb(0x40, 8, 0xE0, 0x1C, 0x3, 0), ifR3G3B2},
        {"R5G6B5", rgb(0x40, 16, 0xF800, 0x7E0, 0x1F, 0), ifR5G6B5},
        {"X1R5G5B5", rgb(0x40, 16, 0x7C00, 0x3E0, 0x1F, 0), ifX1R5G5B5},
        {"X4R4G4B4", rgb(0x40, 16, 0xF00, 0xF0, 0xF, 0), ifX4R4G4B4},
        {"R8G8B8", rgb(0x40, 24, 0xFF0000, 0xFF00, 0xFF, 0), ifR8G8B8},
        {"X8R8G8B8", rgb(0x40, 32, 0xFF0000, 0xFF00, 0xFF, 0), ifX8R8G8B8},
        {"A8Gray8", rgb(0x20001, 16, 0xFF, 0, 0, 0xFF00), ifA8Gray8},
        {"Gray8", rgb(0x20000, 8, 0xFF, 0, 0, 0), ifGray8},
        {"Gray16", rgb(0x20000, 16, 0xFFFF, 0, 0, 0), ifGray16},
        {"flag 0x40000", rgb(0x40000, 32, 0xFF, 0xFF00, 0xFF0000, 0), ifX8R8G8B8},
        {"flag 0x80000 16 bits", rgb(0x80000, 16, 0, 0, 0, 0), ifA8Gray8},
        {"flag 0x80000 32 bits", rgb(0x80000, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000), ifA8R8G8B8},
        {"flag 0x80000 64 bits", rgb(0x80000, 64, 0, 0, 0, 0), ifA16B16G16R16},
        {"no flag", rgb(0, 32, 0, 0, 0, 0), ifUnknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Images images;
        const bool ok = test::LoadBytes(Dds(), File(c.d, 4096), images);
        EXPECT_EQ(ok, c.format != ifUnknown);
        if (ok) {
            EXPECT_EQ(images[0].Format, c.format);
        }
    }
}

TEST(Dds, RedAndBlueExchangedByTheirMasks) {
    Desc d;
    d.pfFlags = 0x40;
    d.bits = 32;
    d.r = 0xFF;
    d.g = 0xFF00;
    d.b = 0xFF0000;
    d.width = d.height = 1;
    Bytes file = Header(d);
    file.insert(file.end(), {1, 2, 3, 4});
    Images images;
    ASSERT_TRUE(test::LoadBytes(Dds(), file, images));
    EXPECT_EQ(images[0].Format, ifX8R8G8B8);
    EXPECT_EQ(Bytes(images[0].Bits, images[0].Bits + 3), Bytes({3, 2, 1}));
}

TEST(Dds, MipmapsCubesAndVolumes) {
    struct Case {
        const char* name;
        Desc d;
        std::size_t data;
        std::vector<std::int32_t> widths;  // of every image, in order
        std::int32_t mips, depth, cube, volume;
    };
    Desc chain;
    chain.fourCC = Code("DXT1");
    chain.width = chain.height = 256;
    chain.mips = 9;
    chain.flags |= 0x20000;
    Desc cube = chain;
    cube.mips = 1;
    cube.width = cube.height = 8;
    cube.caps2 = 0x200 | 0xFC00;
    Desc fiveFaces = cube;
    fiveFaces.caps2 = 0x200 | 0x400 | 0x800 | 0x1000 | 0x4000 | 0x8000;
    Desc volume = Grey8(64, 64);
    volume.depth = 4;
    volume.mips = 3;
    volume.flags |= 0x20000 | 0x800000;
    volume.caps2 = 0x200000;
    Desc tooMany = chain;
    tooMany.width = tooMany.height = 16;
    tooMany.mips = 0xFFFFFFFF;
    const Case cases[] = {
        // 2x2 and 1x1 levels are 4x4 block records.
        {"256x256 DXT1 with 9 levels", chain, 200000, {256, 128, 64, 32, 16, 8, 4, 4, 4}, 9, 1, 0, 0},
        {"cube map of six faces", cube, 4096, {8, 8, 8, 8, 8, 8}, 1, 6, -1, 0},
        {"cube map of five faces", fiveFaces, 4096, {8, 8, 8, 8, 8}, 1, 5, -1, 0},
        {"64x64 volume of depth 4 and 3 levels", volume, 65536, {64, 64, 64, 64, 32, 32, 16}, 3, 4, 0, -1},
        {"mipmap count beyond the chain", tooMany, 4096, {16, 8, 4, 4, 4}, 5, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Images images;
        ASSERT_TRUE(test::LoadBytes(Dds(), File(c.d, c.data), images));
        std::vector<std::int32_t> widths;
        for (const TImageData& image : images.list) widths.push_back(image.Width);
        EXPECT_EQ(widths, c.widths);
        EXPECT_EQ(Option(ImagingDDSLoadedMipMapCount), c.mips);
        EXPECT_EQ(Option(ImagingDDSLoadedDepth), c.depth);
        EXPECT_EQ(Option(ImagingDDSLoadedCubeMap), c.cube);
        EXPECT_EQ(Option(ImagingDDSLoadedVolume), c.volume);
    }
}

TEST(Dds, PitchAndLinearSizes) {
    // 24-bit rows of 17 pixels stored 52 bytes apart: the padding byte is dropped.
    Desc d;
    d.flags = 0x1007 | 0x8;
    d.pfFlags = 0x40;
    d.bits = 24;
    d.r = 0xFF0000;
    d.g = 0xFF00;
    d.b = 0xFF;
    d.width = 17;
    d.height = 3;
    d.pitch = 52;
    Bytes file = Header(d);
    for (int y = 0; y < 3; ++y) {
        for (int i = 0; i < 51; ++i) file.push_back(static_cast<std::uint8_t>(y * 51 + i));
        file.push_back(0xEE);
    }
    Images images;
    ASSERT_TRUE(test::LoadBytes(Dds(), file, images));
    for (std::int32_t i = 0; i < images[0].Size; ++i) ASSERT_EQ(images[0].Bits[i], std::uint8_t(i)) << i;

    // A pitch shorter than a row is no pitch: rows are read as 4-byte aligned ones.
    d.pitch = 10;
    file = Header(d);
    for (int y = 0; y < 3; ++y) {
        for (int i = 0; i < 51; ++i) file.push_back(static_cast<std::uint8_t>(y * 51 + i));
        file.push_back(0xEE);
    }
    ASSERT_TRUE(test::LoadBytes(Dds(), file, images));
    EXPECT_EQ(images[0].Bits[51], 51);
    // A pitch larger than the input left: the top level is not in the file.
    d.pitch = 100000;
    file = Header(d);
    file.insert(file.end(), 60, 7);
    EXPECT_FALSE(test::LoadBytes(Dds(), file, images));

    // A linear size beyond the image never reads past it; a smaller one reads only that.
    Desc lin = Grey8(4, 4);
    lin.mips = 2;
    lin.flags |= 0x20000;
    lin.pitch = 1000;
    ASSERT_TRUE(test::LoadBytes(Dds(), File(lin, 20), images));
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[1].Bits[0], std::uint8_t(0x5A + 16)) << "the second level follows the first";
    lin.pitch = 3;
    ASSERT_TRUE(test::LoadBytes(Dds(), File(lin, 20), images));
    EXPECT_EQ(images[0].Bits[3], 0);
    EXPECT_EQ(images[1].Bits[0], std::uint8_t(0x5A + 3));
}

TEST(Dds, HostileCountsAreBounded) {
    Desc deep = Grey8(16, 16);
    deep.depth = 0x7FFFFFFF;
    deep.flags |= 0x800000;
    deep.caps2 = 0x200000;
    Images images;
    ASSERT_TRUE(test::LoadBytes(Dds(), File(deep, 16 * 16 * 3), images));
    EXPECT_EQ(images.size(), 4u) << "no more slices than the data could hold";

    // A header sizing its top level beyond the data that follows (a 1 x 16777217 image in 3 bytes).
    Desc tall;
    tall.pfFlags = 0x40;
    tall.bits = 24;
    tall.width = 1;
    tall.height = 16777217;
    EXPECT_FALSE(test::LoadBytes(Dds(), File(tall, 3), images));
    // Later levels may be cut: they read as zeros.
    Desc levels = Grey8(4, 4);
    levels.mips = 3;
    levels.flags |= 0x20000;
    ASSERT_TRUE(test::LoadBytes(Dds(), File(levels, 17), images));
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[1].Bits[1], 0);

    Desc wide;
    wide.fourCC = Code("DXT5");
    wide.width = 0x7FFFFFFF;
    wide.height = 0x7FFFFFFF;
    std::string error;
    EXPECT_FALSE(test::LoadBytes(Dds(), File(wide, 64), images, &error));
    Desc none;
    none.width = 0;
    none.fourCC = Code("DXT1");
    EXPECT_FALSE(test::LoadBytes(Dds(), File(none, 64), images));
    // A cut header is not a texture; capabilities without the texture bit neither.
    Desc plain;
    plain.fourCC = Code("DXT1");
    Bytes cut = Header(plain);
    cut.pop_back();
    TMemoryStream cutStream(cut);
    EXPECT_FALSE(Dds().TestFormat(StreamIO(), &cutStream));
    plain.caps1 = 0x8;
    TMemoryStream noTexture(Header(plain));
    EXPECT_FALSE(Dds().TestFormat(StreamIO(), &noTexture));
}

TEST(Dds, SavesLayoutsAndConvertsLevels) {
    // Three images 64, 32 and 20 as a plain texture: three levels, the third resized to 16.
    Image a(64, 64, ifA8R8G8B8), b(32, 32, ifA8R8G8B8), c(20, 20, ifA8R8G8B8);
    Images back;
    ASSERT_TRUE(test::LoadBytes(Dds(), test::SaveBytes(Dds(), {a.data, b.data, c.data}), back));
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[2].Width, 16);
    EXPECT_EQ(Option(ImagingDDSLoadedMipMapCount), 3);

    PushOptions();
    // A cube of six faces asked for with five images: a plain texture.
    SetOption(ImagingDDSSaveCubeMap, -1);
    SetOption(ImagingDDSSaveDepth, 6);
    Image f(8, 8, ifA8R8G8B8);
    const TDynImageDataArray five(5, f.data);
    ASSERT_TRUE(test::LoadBytes(Dds(), test::SaveBytes(Dds(), five), back));
    EXPECT_EQ(Option(ImagingDDSLoadedCubeMap), 0);
    EXPECT_EQ(back.size(), 4u) << "8x8 has four levels";
    // Six: a cube map.
    const TDynImageDataArray six(6, f.data);
    ASSERT_TRUE(test::LoadBytes(Dds(), test::SaveBytes(Dds(), six), back));
    EXPECT_EQ(Option(ImagingDDSLoadedCubeMap), -1);
    EXPECT_EQ(back.size(), 6u);
    // A volume of depth 4 and 2 levels takes 4 + 2 images; the second level's are resized.
    SetOption(ImagingDDSSaveCubeMap, 0);
    SetOption(ImagingDDSSaveVolume, -1);
    SetOption(ImagingDDSSaveDepth, 4);
    SetOption(ImagingDDSSaveMipMapCount, 2);
    const TDynImageDataArray volume(6, f.data);
    ASSERT_TRUE(test::LoadBytes(Dds(), test::SaveBytes(Dds(), volume), back));
    EXPECT_EQ(Option(ImagingDDSLoadedCubeMap), 0);
    EXPECT_EQ(Option(ImagingDDSLoadedVolume), -1);
    ASSERT_EQ(back.size(), 6u);
    EXPECT_EQ(back[5].Width, 4);
    PopOptions();

    // One Index8 image: an A8R8G8B8 texture with the 8-bit channel masks.
    Image indexed(4, 4, ifIndex8);
    const Bytes file = test::SaveBytes(Dds(), {indexed.data});
    EXPECT_EQ(Bytes(file.begin() + 80, file.begin() + 108),
              FileBuilder().le32(0x41).le32(0).le32(32).le32(0xFF0000).le32(0xFF00).le32(0xFF).le32(0xFF000000).bytes);
}

TEST(Dds, RoundTripsEverySavableFormat) {
    const TImageFormat formats[] = {ifGray8,    ifA8Gray8,      ifGray16, ifR3G3B2,        ifR5G6B5, ifA1R5G5B5,
                                    ifA4R4G4B4, ifX1R5G5B5,     ifX4R4G4B4, ifR8G8B8,      ifA8R8G8B8, ifX8R8G8B8,
                                    ifA16B16G16R16, ifR32F,     ifA32B32G32R32F, ifR16F,   ifA16B16G16R16F, ifDXT1,
                                    ifDXT3,     ifDXT5};
    for (const TImageFormat f : formats) {
        SCOPED_TRACE(GetFormatName(f));
        Image image(8, 4, f);
        for (std::int32_t i = 0; i < image.data.Size; ++i) image.data.Bits[i] = std::uint8_t(i * 29 + 3);
        Images back;
        ASSERT_TRUE(test::LoadBytes(Dds(), test::SaveBytes(Dds(), {image.data}, true), back));
        ASSERT_EQ(back[0].Format, f);
        EXPECT_EQ(Bytes(back[0].Bits, back[0].Bits + back[0].Size), image.bits());
    }
}

}  // namespace
}  // namespace velto
