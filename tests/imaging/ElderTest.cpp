// Old-game formats: the run-length decoder, the built-in palettes, headerless
// sizes and the weak content tests, IMG and CIF loading and saving (round
// trips of what we write), texture archives and BSI images from hand-made
// files, and crafted hostile files refused.
#include <gtest/gtest.h>

#include <cstring>

#include "Formats2TestUtil.h"
#include "imaging/FormatElder.h"
#include "imaging/Formats.h"

namespace velto {
namespace {

using test::Bytes;
using test::FileBuilder;
using test::Image;
using test::Images;
using test::operator+;

TIMGFileFormat& Img() { return test::FormatObject<TIMGFileFormat>(); }
TCIFFileFormat& Cif() { return test::FormatObject<TCIFFileFormat>(); }
TTextureFileFormat& Texture() { return test::FormatObject<TTextureFileFormat>(); }
TBSIFileFormat& Bsi() { return test::FormatObject<TBSIFileFormat>(); }

Bytes ImageHeader(std::uint16_t w, std::uint16_t h, std::uint16_t compression, std::uint16_t size) {
    return FileBuilder().le16(0).le16(0).le16(w).le16(h).le16(compression).le16(size).bytes;
}

Bytes Bits(const TImageData& image) { return Bytes(image.Bits, image.Bits + image.Size); }

TEST(Elder, RunLengthDecoder) {
    struct Case {
        const char* name;
        Bytes source;
        std::size_t expected;
        Bytes out;
    };
    const Case cases[] = {
        {"literal of b + 1 bytes", {2, 7, 8, 9}, 3, {7, 8, 9}},
        {"run of b - 127", {130, 5}, 3, {5, 5, 5}},
        {"mixed", {0, 1, 128, 2, 1, 3, 4}, 4, {1, 2, 3, 4}},
        {"output cut at the expected size", {200, 9}, 2, {9, 9}},
        {"literal cut by the input", {5, 1, 2}, 6, {1, 2}},
        {"run without its byte", {140}, 4, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out(c.expected, 0xEE);
        const std::size_t n = ElderDecodeRle(c.source, c.expected, out.data());
        EXPECT_EQ(Bytes(out.begin(), out.begin() + std::ptrdiff_t(n)), c.out);
    }
}

TEST(Elder, DefaultPalettesBeginAsListed) {
    const TElderRawPalette& first = ElderFirstDefaultPalette();
    const TElderRawPalette& second = ElderSecondDefaultPalette();
    EXPECT_EQ(Bytes(first.begin(), first.begin() + 3), Bytes({0, 0, 0}));
    for (int i = 1; i <= 31; ++i) EXPECT_EQ(Bytes(first.begin() + 3 * i, first.begin() + 3 * i + 3), Bytes({255, 0, 255})) << i;
    EXPECT_EQ(Bytes(first.begin() + 96, first.begin() + 105), Bytes({0xF4, 0xCA, 0xA7, 0xE3, 0xB4, 0x90, 0xCF, 0x98, 0x76}));
    for (int i = 1; i <= 15; ++i) EXPECT_EQ(Bytes(second.begin() + 3 * i, second.begin() + 3 * i + 3), Bytes({255, 0, 255})) << i;
    EXPECT_EQ(Bytes(second.begin() + 48, second.begin() + 57), Bytes({0x85, 0xC4, 0xB7, 0x64, 0xB5, 0x99, 0x42, 0xA5, 0x7C}));
    EXPECT_EQ(Color32A(Img().ArgbPalette[0]), 0) << "entry 0 is transparent";
    EXPECT_EQ(Img().ArgbPalette[1], Color32(255, 255, 0, 255));
    EXPECT_EQ(Bsi().ArgbPalette[16], Color32(255, 0x85, 0xC4, 0xB7));
}

TEST(Elder, HeaderlessSizesAndContentTests) {
    struct Case {
        const char* name;
        Bytes file;
        bool img, cif;
    };
    const Case cases[] = {
        {"4096 bytes: a 64x64 IMG", Bytes(4096, 1), true, false},
        {"2601 bytes: a CIF size", Bytes(2601, 1), false, true},
        {"IMG header matching the size", ImageHeader(4, 2, 0, 8) + Bytes(8, 3), true, false},
        {"CIF header with more after it", ImageHeader(4, 2, 0, 8) + Bytes(40, 3), false, true},
        {"data size beyond the area", ImageHeader(2, 2, 0, 8) + Bytes(8, 3), false, false},
        {"zero width", ImageHeader(0, 2, 0, 8) + Bytes(8, 3), false, false},
        {"area of 65536", ImageHeader(256, 256, 0, 8) + Bytes(8, 3), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMemoryStream s(c.file);
        EXPECT_EQ(Img().TestFormat(StreamIO(), &s), c.img);
        EXPECT_EQ(Cif().TestFormat(StreamIO(), &s), c.cif);
        EXPECT_EQ(s.Position(), 0);
    }
    // Any 64000-byte stream is taken by content: the weak test of headerless files.
    TMemoryStream any(Bytes(64000, 0x42));
    EXPECT_EQ(DetectStreamFormat(any), "img");
}

TEST(Elder, ImgLoading) {
    Images images;
    ASSERT_TRUE(test::LoadBytes(Img(), Bytes(64000, 9), images));
    EXPECT_EQ(images[0].Width, 320);
    EXPECT_EQ(images[0].Height, 200);
    EXPECT_EQ(images[0].Format, ifIndex8);
    EXPECT_EQ(std::memcmp(images[0].Palette, Img().ArgbPalette.data(), 1024), 0);

    // 64768 bytes: the last 768 are the palette; entry 0 stays transparent.
    Bytes withPalette(64000, 9);
    for (int i = 0; i < 256; ++i) withPalette.insert(withPalette.end(), {std::uint8_t(i), 1, 2});
    ASSERT_TRUE(test::LoadBytes(Img(), withPalette, images));
    EXPECT_EQ(images[0].Palette[0], Color32(0, 0, 1, 2));
    EXPECT_EQ(images[0].Palette[200], Color32(255, 200, 1, 2));

    // Run-length data under a header.
    ASSERT_TRUE(test::LoadBytes(Img(), ImageHeader(4, 2, 2, 8) + Bytes{130, 7, 4, 1, 2, 3, 4, 5}, images));
    EXPECT_EQ(Bits(images[0]), Bytes({7, 7, 7, 1, 2, 3, 4, 5}));
    // Compressions 0x104 and 0x108 are not read.
    EXPECT_FALSE(test::LoadBytes(Img(), ImageHeader(4, 2, 0x108, 8) + Bytes(8, 1), images));
}

TEST(Elder, ImgAndCifSaving) {
    // An image of another palette is mapped onto the format's palette and round-trips.
    Image rgb(16, 8, ifA8R8G8B8);
    test::FillPhotoLike(rgb.data);
    Images back;
    ASSERT_TRUE(test::LoadBytes(Img(), test::SaveBytes(Img(), {rgb.data}), back));
    EXPECT_EQ(back[0].Width, 16);
    EXPECT_EQ(std::memcmp(back[0].Palette, Img().ArgbPalette.data(), 1024), 0);
    Image mapped;
    CloneImage(rgb.data, mapped.data);
    MapImageToPalette(mapped.data, Img().ArgbPalette.data(), 256);
    EXPECT_EQ(Bits(back[0]), mapped.bits());

    // 400 x 300 is first shrunk to 266 x 200.
    Image big(400, 300, ifGray8);
    ASSERT_TRUE(test::LoadBytes(Img(), test::SaveBytes(Img(), {big.data}), back));
    EXPECT_EQ(back[0].Width, 266);
    EXPECT_EQ(back[0].Height, 200);

    // An image already in the format's palette but too large: the size error.
    Image huge(300, 300, ifIndex8);
    std::memcpy(huge.data.Palette, Img().ArgbPalette.data(), 1024);
    TMemoryStream out;
    try {
        Img().SaveToStream(out, {huge.data});
        ADD_FAILURE() << "no error";
    } catch (const EImagingError& e) {
        EXPECT_NE(std::string(e.what()).find("Size of image in IMG format cannot exceed 65535 bytes."), std::string::npos)
            << e.what();
    }
    try {
        Cif().SaveToStream(out, {huge.data});
        ADD_FAILURE() << "no error";
    } catch (const EImagingError& e) {
        EXPECT_NE(std::string(e.what()).find("IMG/CIF format"), std::string::npos) << e.what();
    }

    // CIF keeps every image, one header and pixel block after the other.
    Image a(5, 3, ifIndex8, {1, 2, 3}), b(2, 7, ifIndex8, {9});
    std::memcpy(a.data.Palette, Cif().ArgbPalette.data(), 1024);
    std::memcpy(b.data.Palette, Cif().ArgbPalette.data(), 1024);
    const Bytes file = test::SaveBytes(Cif(), {a.data, b.data});
    EXPECT_EQ(file, ImageHeader(5, 3, 0, 15) + a.bits() + ImageHeader(2, 7, 0, 14) + b.bits());
    ASSERT_TRUE(test::LoadBytes(Cif(), file, back));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(Bits(back[1]), b.bits());
}

TEST(Elder, CifLayouts) {
    Images images;
    // Headerless: as many 17x17 images as fit.
    ASSERT_TRUE(test::LoadBytes(Cif(), Bytes(2601, 4), images));
    EXPECT_EQ(images.size(), 9u);
    // Plain with run-length images.
    ASSERT_TRUE(test::LoadBytes(Cif(), ImageHeader(2, 2, 2, 2) + Bytes{131, 6} + ImageHeader(1, 2, 0, 2) + Bytes{1, 2}, images));
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(Bits(images[0]), Bytes({6, 6, 6, 6}));

    // Grouped: a plain image, then a group of two run-length frames (offsets from the group's start).
    FileBuilder group;
    group.le16(2).le16(2).zeros(8).le16(76).le16(80);
    group.zeros(29 * 2).le16(84);  // offsets 2..30 zero; the last holds the total size
    group.u8({131, 1, 0, 0}).u8({131, 2, 0, 0});
    const Bytes grouped = ImageHeader(2, 1, 0, 2) + Bytes{8, 9} + group.bytes;
    ASSERT_TRUE(test::LoadBytes(Cif(), grouped, images));
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(Bits(images[0]), Bytes({8, 9}));
    EXPECT_EQ(Bits(images[1]), Bytes({1, 1, 1, 1}));
    EXPECT_EQ(Bits(images[2]), Bytes({2, 2, 2, 2}));

    // Hostile: a frame offset outside its group, a group smaller than its header, raw data larger than the image.
    Bytes outside = grouped;
    outside[outside.size() - 84 + 14] = 200;  // second offset beyond the total
    EXPECT_FALSE(test::LoadBytes(Cif(), outside, images));
    Bytes tiny = grouped;
    tiny[tiny.size() - 84 + 74] = 10;
    EXPECT_FALSE(test::LoadBytes(Cif(), tiny, images));
    EXPECT_FALSE(test::LoadBytes(Cif(), ImageHeader(2, 2, 0, 4) + Bytes(4, 1) + ImageHeader(2, 2, 0, 9) + Bytes(9, 1), images));
}

// A texture archive of records at the given offsets.
Bytes Archive(const std::string& name, std::initializer_list<std::uint32_t> offsets) {
    FileBuilder f;
    f.le16(static_cast<std::uint16_t>(offsets.size()));
    std::string padded = name;
    padded.resize(24, '\0');
    f.text(padded);
    for (const std::uint32_t o : offsets) f.le16(0).le32(o).zeros(14);
    return f.bytes;
}

Bytes Record(std::uint16_t w, std::uint16_t h, std::uint16_t compression, std::uint32_t dataOffset, std::uint16_t frames) {
    return FileBuilder().zeros(4).le16(w).le16(h).le16(compression).zeros(4).le32(dataOffset).zeros(2).le16(frames).zeros(6).bytes;
}

TEST(Elder, TextureArchives) {
    // The content test: count 1..2048 and a name of plain characters.
    struct TestCase {
        const char* name;
        Bytes file;
        bool taken;
    };
    Bytes highByte = Archive("WALLS", {0});
    highByte[5] = 0x80;
    const TestCase tests[] = {
        {"plain name", Archive("TEXTURE.012 (a-b)", {0}) + Bytes(40, 0), true},
        {"name byte of 128", highByte, false},
        {"count 0", Archive("X", {}) + Bytes(40, 0), false},
    };
    for (const TestCase& c : tests) {
        SCOPED_TRACE(c.name);
        TMemoryStream s(c.file);
        EXPECT_EQ(Texture().TestFormat(StreamIO(), &s), c.taken);
        EXPECT_EQ(s.Position(), 0);
    }

    // A colour set of 2586 bytes: 16x16 images of indices 128.. with "B" in the name, else 0..
    Images images;
    Bytes set = Archive("  \tBLUE", {0, 0, 0});
    set.resize(2586, 0);
    ASSERT_TRUE(test::LoadBytes(Texture(), set, images));
    EXPECT_EQ(Texture().LastTextureName(), "BLUE");
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[2].Bits[255], 130);
    Bytes plainSet = Archive("RED", {0, 0});
    plainSet.resize(2586, 0);
    ASSERT_TRUE(test::LoadBytes(Texture(), plainSet, images));
    EXPECT_EQ(images[1].Bits[0], 1);
    // Colour sets stop at the last palette index; 46, 126 and 266 bytes hold no images.
    Bytes fullSet = Archive("B", {});
    fullSet[0] = 200;
    fullSet.resize(2586, 0);
    ASSERT_TRUE(test::LoadBytes(Texture(), fullSet, images));
    EXPECT_EQ(images.size(), 128u);
    for (const std::size_t size : {46u, 126u, 266u}) {
        Bytes b = Archive("A", {0});
        b.resize(size, 0);
        EXPECT_FALSE(test::LoadBytes(Texture(), b, images)) << size;
    }

    // A raw record: rows 256 bytes apart.
    const std::uint32_t at = 26 + 20;
    Bytes raw = Archive("R", {at}) + Record(3, 2, 0, 28, 1);
    raw.insert(raw.end(), {1, 2, 3});
    raw.resize(raw.size() + 253, 0xEE);
    raw.insert(raw.end(), {4, 5, 6});
    ASSERT_TRUE(test::LoadBytes(Texture(), raw, images));
    EXPECT_EQ(Bits(images[0]), Bytes({1, 2, 3, 4, 5, 6}));

    // A run-length record: a row table (offset, flag) then coded and raw rows.
    FileBuilder rle;
    rle.raw(Record(4, 2, 0x108, 28, 1));
    rle.le16(36).le16(0x8000).le16(44).le16(0);  // row 0 coded at 36, row 1 raw at 44
    rle.le16(4).le16(std::uint16_t(-3)).u8({9}).le16(1).u8({5});  // 9 x 3, then one literal
    rle.u8({1, 2, 3, 4});
    ASSERT_TRUE(test::LoadBytes(Texture(), Archive("L", {at}) + rle.bytes, images));
    EXPECT_EQ(Bits(images[0]), Bytes({9, 9, 9, 5, 1, 2, 3, 4}));

    // An animated record: a table of frame offsets, each frame skip/copy pairs.
    FileBuilder anim;
    anim.raw(Record(3, 1, 0, 28, 2));
    anim.le32(8).le32(16);
    anim.le16(3).le16(1).u8({1, 2, 7, 8});  // frame 0: skip 1, copy 7 8
    anim.le16(3).le16(1).u8({0, 1, 6, 0, 0});  // frame 1: copy 6, then a pair that makes no progress
    ASSERT_TRUE(test::LoadBytes(Texture(), Archive("A", {at}) + anim.bytes, images));
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(Bits(images[0]), Bytes({0, 7, 8}));
    EXPECT_EQ(Bits(images[1]), Bytes({6, 0, 0}));

    // Hostile records.
    struct Bad {
        const char* name;
        Bytes file;
    };
    const Bad bad[] = {
        {"record outside the archive", Archive("X", {100000}) + Bytes(40, 0)},
        {"raw row wider than 256", Archive("X", {at}) + Record(300, 1, 0, 28, 1) + Bytes(300, 1)},
        {"more than 64 frames", Archive("X", {at}) + Record(1, 1, 0, 28, 65) + Bytes(400, 1)},
        {"row table of more than 256 rows", Archive("X", {at}) + Record(1, 300, 0x108, 28, 1) + Bytes(1300, 0)},
        {"row offset outside the data", Archive("X", {at}) + FileBuilder().raw(Record(1, 1, 0x108, 28, 1)).le16(9000).le16(0).bytes},
    };
    for (const Bad& c : bad) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(test::LoadBytes(Texture(), c.file, images));
    }
}

// A BSI chunk: id, big-endian size, data.
FileBuilder& BsiChunk(FileBuilder& f, const char* id, const Bytes& data) {
    return f.text(std::string(id, 4)).be32(static_cast<std::uint32_t>(data.size())).raw(data);
}

Bytes Bhdr(std::int16_t w, std::int16_t h, std::uint16_t frames) {
    return FileBuilder().zeros(4).le16(std::uint16_t(w)).le16(std::uint16_t(h)).zeros(6).le16(frames).zeros(10).bytes;
}

TEST(Elder, BsiImages) {
    Images images;
    // Without HICL: an Index8 image from DATA with the file's palette, else the second default one.
    FileBuilder withMap;
    BsiChunk(withMap, "IFHD", Bytes(4, 0));
    BsiChunk(withMap, "BHDR", Bhdr(2, 2, 1));
    BsiChunk(withMap, "CMAP", {1, 2, 3, 4, 5, 6});
    BsiChunk(withMap, "DATA", {0, 1, 1, 0});
    BsiChunk(withMap, "END ", {});
    ASSERT_TRUE(test::LoadBytes(Bsi(), withMap.bytes, images));
    EXPECT_EQ(images[0].Format, ifIndex8);
    EXPECT_EQ(Bits(images[0]), Bytes({0, 1, 1, 0}));
    EXPECT_EQ(images[0].Palette[1], Color32(255, 4, 5, 6));
    EXPECT_EQ(images[0].Palette[0], Color32(0, 1, 2, 3));
    FileBuilder noMap;
    BsiChunk(noMap, "IFHD", {});
    BsiChunk(noMap, "BHDR", Bhdr(1, 1, 1));
    BsiChunk(noMap, "DATA", {16});
    ASSERT_TRUE(test::LoadBytes(Bsi(), noMap.bytes, images));
    EXPECT_EQ(images[0].Palette[16], Color32(255, 0x85, 0xC4, 0xB7));

    // A multi-record file: the second record has no HICL but keeps the first's tables.
    Bytes hicl(256, 0);
    hicl[5] = 63;
    Bytes htbl(8192, 0);
    htbl[2 * (3840 + 5)] = 0x1F;  // blue 31
    FileBuilder multi;
    multi.text("REC1").zeros(5).le32(1);
    BsiChunk(multi, "BSIF", {});
    BsiChunk(multi, "BHDR", Bhdr(2, 1, 1));
    BsiChunk(multi, "HICL", hicl);
    BsiChunk(multi, "HTBL", htbl);
    BsiChunk(multi, "DATA", {5, 0});
    BsiChunk(multi, "END ", {});
    multi.text("REC2").zeros(5).le32(1);
    BsiChunk(multi, "BSIF", {});
    BsiChunk(multi, "BHDR", Bhdr(1, 1, 2));
    BsiChunk(multi, "DATA", FileBuilder().le32(8).le32(8).u8({5}).bytes);
    BsiChunk(multi, "END ", {});
    multi.text("LAST").zeros(5).le32(0);
    TMemoryStream probe(multi.bytes);
    EXPECT_TRUE(Bsi().TestFormat(StreamIO(), &probe));
    ASSERT_TRUE(test::LoadBytes(Bsi(), multi.bytes, images));
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[0].Format, ifA8R8G8B8);
    EXPECT_EQ(test::Pixel32(images[0], 0, 0), Color32(255, 255, 255, 255));
    EXPECT_EQ(Color32A(test::Pixel32(images[0], 1, 0)), 0) << "value 0 is transparent";
    EXPECT_EQ(test::Pixel32(images[1], 0, 0), Color32(255, 0, 0, 255)) << "frames take HTBL colours";

    // Hostile BSI files.
    struct Bad {
        const char* name;
        Bytes file;
        const char* error;
    };
    const auto single = [](std::initializer_list<std::pair<const char*, Bytes>> chunks) {
        FileBuilder f;
        BsiChunk(f, "IFHD", {});
        for (const auto& [id, data] : chunks) BsiChunk(f, id, data);
        return f.bytes;
    };
    Bytes cut = single({{"BHDR", Bhdr(1, 1, 1)}});
    cut.resize(cut.size() - 3);
    const Bad bad[] = {
        {"short chunk data", cut, "Error when reading BHDR chunk data."},
        {"width 0", single({{"BHDR", Bhdr(0, 1, 1)}, {"DATA", {1}}}), ""},
        {"negative height", single({{"BHDR", Bhdr(1, -4, 1)}, {"DATA", {1}}}), ""},
        {"DATA smaller than the image", single({{"BHDR", Bhdr(4, 4, 1)}, {"DATA", {1}}}), ""},
        {"CMAP over 768 bytes", single({{"BHDR", Bhdr(1, 1, 1)}, {"CMAP", Bytes(771, 1)}, {"DATA", {1}}}), ""},
        {"HICL under 256 bytes", single({{"BHDR", Bhdr(1, 1, 1)}, {"HICL", Bytes(10, 1)}, {"DATA", {200}}}), ""},
        {"HTBL too short for frames",
         single({{"BHDR", Bhdr(1, 1, 2)}, {"HICL", Bytes(256, 1)}, {"HTBL", Bytes(100, 1)}, {"DATA", Bytes(12, 0)}}), ""},
        {"row offset outside DATA", single({{"BHDR", Bhdr(2, 1, 2)}, {"DATA", FileBuilder().le32(8).le32(99).u8({1, 2}).bytes}}),
         ""},
    };
    for (const Bad& c : bad) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_FALSE(test::LoadBytes(Bsi(), c.file, images, &error));
        if (*c.error) {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
    }
}

}  // namespace
}  // namespace velto
