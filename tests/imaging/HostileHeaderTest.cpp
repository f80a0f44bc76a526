// Headers that declare far more pixels than their file's bytes can make. Each
// loader must refuse them with its own answer before it sizes anything from
// the header: the decode limits are lowered here, so a loader that allocated
// first would fail on the budget instead, and the largest request a refused
// load made must stay small. Files at the edge of what their compression can
// make still load.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "CostlyFiles.h"
#include "Formats2TestUtil.h"
#include "imaging/FormatBmp.h"
#include "imaging/FormatDds.h"
#include "imaging/FormatElder.h"
#include "imaging/FormatInput.h"
#include "imaging/FormatJpeg.h"
#include "imaging/FormatLibGif.h"
#include "imaging/FormatNetworkGraphics.h"
#include "imaging/FormatPcx.h"
#include "imaging/FormatPnm.h"
#include "imaging/FormatPsd.h"
#include "imaging/FormatTga.h"

namespace velto {
namespace {

using test::Bytes;
using test::FileBuilder;
using test::FormatObject;

// Decode limits far below the defaults for the scope.
class LowLimits {
public:
    LowLimits() : saved_(ImagingLimits()) {
        ImagingLimits().imageBytes = 8u << 20;
        ImagingLimits().imageLoadBytes = 16u << 20;
    }
    ~LowLimits() { ImagingLimits() = saved_; }
    LowLimits(const LowLimits&) = delete;
    LowLimits& operator=(const LowLimits&) = delete;

private:
    ReadLimits saved_;
};

// What a refused load may have asked for at most.
constexpr std::uint64_t kSmallRequest = 64u << 10;

struct HostileCase {
    const char* name;
    Bytes file;
    const char* error;  // the loader's message; "" when its answer is a plain false
};

// With VELTO_HOSTILE_SEEDS set to the fuzz seed folder, the crafted files are
// written there as seeds of `folder` (how fuzz/seeds/<folder>/hostile-* were made).
void KeepAsSeed(const char* folder, const char* ext, const HostileCase& c) {
    const char* root = std::getenv("VELTO_HOSTILE_SEEDS");
    if (!root) return;
    std::string name = "hostile-";
    for (const char* p = c.name; *p; ++p) {
        const auto ch = static_cast<unsigned char>(*p);
        if (std::isalnum(ch)) name += static_cast<char>(std::tolower(ch));
        else if (name.back() != '-') name += '-';
    }
    const std::filesystem::path path = std::filesystem::path(root) / folder / (name + "." + ext);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(c.file.data()),
                                                static_cast<std::streamsize>(c.file.size()));
}

void ExpectRefusedCheaply(TImageFileFormat& format, const char* seedFolder, const char* ext,
                          std::initializer_list<HostileCase> cases) {
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.name);
        LowLimits limits;
        test::Images images;
        std::string error;
        EXPECT_FALSE(test::LoadBytes(format, c.file, images, &error));
        EXPECT_EQ(images.size(), 0u);
        if (*c.error) EXPECT_NE(error.find(c.error), std::string::npos) << error;
        else EXPECT_EQ(error, "");
        EXPECT_LE(DecodeBudgetLargestRequest(), kSmallRequest);
        KeepAsSeed(seedFolder, ext, c);
    }
}

// A Windows bitmap with a 40-byte header and the pixel data right after it.
Bytes Bmp(std::int32_t width, std::int32_t height, std::uint16_t bits, std::uint32_t compression, const Bytes& data) {
    FileBuilder f;
    f.text("BM").le32(54 + std::uint32_t(data.size())).le32(0).le32(54);
    f.le32(40).le32(std::uint32_t(width)).le32(std::uint32_t(height)).le16(1).le16(bits).le32(compression);
    f.le32(std::uint32_t(data.size())).le32(0).le32(0).le32(0).le32(0);
    return f.raw(data).bytes;
}

Bytes Tga(std::uint8_t type, std::uint16_t width, std::uint16_t height, const Bytes& data) {
    FileBuilder f;
    f.u8({0, 0, type}).zeros(5).le16(0).le16(0).le16(width).le16(height).u8({24, 0x20});
    return f.raw(data).bytes;
}

Bytes Pcx(std::uint16_t xMax, std::uint16_t yMax, std::uint16_t bytesPerLine, const Bytes& data) {
    FileBuilder f;
    f.u8({10, 5, 1, 8}).le16(0).le16(0).le16(xMax).le16(yMax).zeros(52).u8({0, 1}).le16(bytesPerLine).le16(1);
    f.zeros(128 - f.bytes.size());
    return f.raw(data).bytes;
}

Bytes Psd(std::uint16_t channels, std::uint32_t rows, std::uint32_t columns, std::uint16_t compression,
          const Bytes& data) {
    FileBuilder f;
    f.text("8BPS").be16(1).zeros(6).be16(channels).be32(rows).be32(columns).be16(8).be16(channels >= 3 ? 3 : 1);
    f.be32(0).be32(0).be32(0).be16(compression);
    return f.raw(data).bytes;
}

// An 8-bit luminance texture; caps2 0xFE00 makes it a cube of six faces.
Bytes Dds(std::uint32_t width, std::uint32_t height, std::uint32_t caps2, std::size_t dataBytes) {
    FileBuilder f;
    f.text("DDS ").le32(124).le32(0x1007).le32(height).le32(width).le32(0).le32(0).le32(0).zeros(44);
    f.le32(32).le32(0x20000).le32(0).le32(8).le32(0xFF).le32(0).le32(0).le32(0);
    f.le32(0x1000).le32(caps2).zeros(12);
    return f.zeros(dataBytes).bytes;
}

// The 12-byte image header of the old-game formats.
FileBuilder& ElderHeader(FileBuilder& f, std::uint16_t w, std::uint16_t h, std::uint16_t compression,
                         std::uint16_t dataSize) {
    return f.le16(0).le16(0).le16(w).le16(h).le16(compression).le16(dataSize);
}

// A multi-image file: an 8 x 8 raw image, then one of w x h.
Bytes Cif(std::uint16_t w, std::uint16_t h, std::uint16_t compression, std::uint16_t dataSize) {
    FileBuilder f;
    ElderHeader(f, 8, 8, 0, 64).zeros(64);
    ElderHeader(f, w, h, compression, dataSize);
    return f.zeros(dataSize).bytes;
}

// A texture archive of one record of w x h at `compression`, its data `body`.
Bytes Texture(std::uint16_t w, std::uint16_t h, std::uint16_t compression, const Bytes& body, std::uint16_t frames = 1) {
    FileBuilder f;
    f.le16(1).text("HOSTILE TEXTURE").zeros(24 - 15);
    f.le16(0).le32(46).zeros(14);  // the directory's one entry: its record at 46
    f.zeros(4).le16(w).le16(h).le16(compression).zeros(4).le32(22).zeros(2).le16(frames);
    return f.raw(body).bytes;
}

// A GIF of a w x h screen and one 1 x 1 frame.
Bytes GifScreen(std::uint16_t w, std::uint16_t h) {
    FileBuilder f;
    f.text("GIF89a").le16(w).le16(h).u8({0, 0, 0});
    f.u8({0x2C}).le16(0).le16(0).le16(1).le16(1).u8({0});
    return f.u8({2, 2, 0x44, 0x01, 0, 0x3B}).bytes;
}

// A small grey JPEG from the library's own saver, its frame header then
// patched to w x h.
Bytes JpegDeclaring(std::uint16_t w, std::uint16_t h) {
    test::Image grey(8, 8, ifGray8, {128});
    Bytes jpeg = test::SaveBytes(FormatObject<TJpegFileFormat>(), {grey.data});
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = std::uint8_t(h >> 8), jpeg[i + 6] = std::uint8_t(h);
            jpeg[i + 7] = std::uint8_t(w >> 8), jpeg[i + 8] = std::uint8_t(w);
            break;
        }
    return jpeg;
}

TEST(HostileHeaders, Bitmaps) {
    ExpectRefusedCheaply(FormatObject<TBitmapFileFormat>(), "bmp", "bmp", {
        {"unknown compression, 3158064 x 48", Bmp(3158064, 48, 24, 7, {0, 0, 0}), "Bitmap pixel data cut short."},
        {"uncompressed 30000 x 30000, no rows", Bmp(30000, 30000, 32, 0, {}), "Bitmap pixel data cut short."},
        {"RLE8 20000 x 20000 from one run", Bmp(20000, 20000, 8, 1, {255, 7, 0, 1}), "Bitmap RLE data too short"},
        {"RLE4 20000 x 20000 from one run", Bmp(20000, 20000, 4, 2, {255, 0x12, 0, 1}), "Bitmap RLE data too short"},
    });
    ExpectRefusedCheaply(FormatObject<TTargaFileFormat>(), "tga", "tga", {
        {"raw 65535 x 65535, no pixels", Tga(2, 65535, 65535, {1, 2, 3}), "Targa pixel data cut short."},
        {"RLE 65535 x 65535 from one packet", Tga(10, 65535, 65535, {0xFF, 1, 2, 3}), "Targa pixel data cut short."},
    });
    ExpectRefusedCheaply(FormatObject<TPCXFileFormat>(), "pcx", "pcx", {
        {"RLE 65535 lines of 65535 from one run", Pcx(65534, 65534, 65535, {0xFF, 7}), "PCX data cut short."},
    });
    const auto text = [](const char* s) { return Bytes(s, s + std::strlen(s)); };
    ExpectRefusedCheaply(FormatObject<TPGMFileFormat>(), "pnm", "pgm", {
        {"binary grey 30000 x 30000", text("P5 30000 30000 255\n\x01\x02"), "Portable map data cut short."},
        {"text grey 30000 x 30000", text("P2 30000 30000 255\n1 2 3\n"), "Portable map data cut short."},
    });
    ExpectRefusedCheaply(FormatObject<TPPMFileFormat>(), "pnm", "ppm", {
        {"binary colour 30000 x 30000", text("P6 30000 30000 255\n\x01\x02\x03"), "Portable map data cut short."},
    });
}

TEST(HostileHeaders, LayeredAndTextures) {
    ExpectRefusedCheaply(FormatObject<TPSDFileFormat>(), "psd", "psd", {
        {"PackBits rows of 30000 from 4 bytes", Psd(3, 1, 30000, 1, {0, 2, 0, 2, 0, 2, 0x81, 0}),
         "PSD image data cut short."},
        {"raw 30000 x 30000, no planes", Psd(3, 30000, 30000, 0, {1, 2}), "PSD image data cut short."},
    });
    ExpectRefusedCheaply(FormatObject<TDDSFileFormat>(), "dds", "dds", {
        {"cube of six 64 x 64 faces holding one", Dds(64, 64, 0xFE00, 64 * 64), "DDS image data cut short."},
        {"top level beyond the data", Dds(4096, 4096, 0, 16), ""},
    });
}

TEST(HostileHeaders, OldGameFormats) {
    // A plain 8 x 8 image, then a group: its size, frame offsets (the first
    // right after the 76-byte group header, the last the group's length) and
    // four bytes of run-length data for the frame.
    FileBuilder group;
    ElderHeader(group, 8, 8, 0, 64).zeros(64);
    group.le16(20000).le16(20000).zeros(8).le16(76).le16(80).zeros(2 * 29).le16(80).u8({255, 1, 255, 1});
    ExpectRefusedCheaply(FormatObject<TCIFFileFormat>(), "oldgame", "cif", {
        {"raw image of 20000 x 20000", Cif(20000, 20000, 0, 10), "CIF image data too short for the image size."},
        {"run-length image of 20000 x 20000", Cif(20000, 20000, 2, 10), "CIF image data too short for the image size."},
        {"frame group of 20000 x 20000", group.bytes, "CIF image data too short for the image size."},
    });
    FileBuilder table;  // a row table entry of a coded row with no runs after it
    table.le16(60).le16(0x8000);
    ExpectRefusedCheaply(FormatObject<TTextureFileFormat>(), "oldgame", "dagtexture", {
        {"raw 256 x 65535 texture", Texture(256, 65535, 0, Bytes(16, 1)), "Texture data too short for the image size."},
        {"coded rows without their table", Texture(4000, 256, 0x108, table.bytes), ""},
        {"two 4000 x 4000 frames of one pair each",
         Texture(4000, 4000, 0, FileBuilder().le32(8).le32(14).le16(1).le16(1).u8({9, 0}).le16(1).le16(1).u8({9, 0}).bytes, 2),
         "Texture data too short for the image size."},
    });
}

TEST(HostileHeaders, CompressedFormats) {
    ExpectRefusedCheaply(FormatObject<TGIFFileFormat>(), "libgif", "gif", {
        {"65535 x 65535 screen, one pixel of data", GifScreen(65535, 65535), "GIF screen too large for the file."},
        {"4000 x 4000 screen, one pixel of data", GifScreen(4000, 4000), "GIF screen too large for the file."},
    });
    ExpectRefusedCheaply(FormatObject<TJpegFileFormat>(), "jpeg", "jpg", {
        {"30000 x 30000 over one block of data", JpegDeclaring(30000, 30000), "JPEG data too short for the image size."},
        {"arithmetic-coded grey 30000 x 30000", test::costly::ArithmeticJpeg(1, false, 30000, 30000),
         "JPEG image larger than the pixel limit."},
        {"arithmetic-coded progressive colour 9000 x 8000", test::costly::ArithmeticJpeg(3, true, 9000, 8000),
         "JPEG image larger than the pixel limit."},
    });
    const Bytes tall = test::MakePng(test::Ihdr(20, 16777216, 8, 6), {0, 1, 2, 3, 4});
    const Bytes noData = FileBuilder().raw(test::kPngSignature).chunk("IHDR", test::Ihdr(20000, 20000, 8, 0)).chunk("IEND", {}).bytes;
    ExpectRefusedCheaply(FormatObject<TPNGFileFormat>(), "mng", "png", {
        {"20 x 16777216 from a few deflated bytes", tall, "PNG image data too short for the image size."},
        {"20000 x 20000 without image data", noData, "PNG image data too short for the image size."},
    });
    const Bytes mhdr = FileBuilder().be32(20000).be32(20000).zeros(20).bytes;
    ExpectRefusedCheaply(FormatObject<TMNGFileFormat>(), "mng", "mng", {
        {"blank 20000 x 20000 frame", FileBuilder().raw(test::kMngSignature).chunk("MHDR", mhdr).bytes,
         "MNG frame size too large for the file."},
    });
    const Bytes jhdr = FileBuilder().be32(30000).be32(30000).u8({8, 12, 8, 0, 0, 0, 0, 0}).bytes;
    ExpectRefusedCheaply(FormatObject<TJNGFileFormat>(), "mng", "jng", {
        {"12-bit 30000 x 30000 over a few bytes",
         FileBuilder().raw(test::kJngSignature).chunk("JHDR", jhdr).chunk("JDAT", Bytes(8, 0)).chunk("IEND", {}).bytes,
         "JNG image data too short for the image size."},
    });
}

// Files that come close to the most their compression can make.
TEST(HostileHeaders, DenseFilesStillLoad) {
    // Bitmap RLE8: every row ten runs of 255 and its end.
    FileBuilder rle;
    for (int y = 0; y < 100; ++y) {
        for (int k = 0; k < 10; ++k) rle.u8({255, std::uint8_t(y + k)});
        rle.u8({0, 0});
    }
    rle.u8({0, 1});
    // PackBits rows: ten packets of 128 equal bytes each.
    FileBuilder psd;
    for (int y = 0; y < 64; ++y) psd.be16(20);
    for (int y = 0; y < 64; ++y)
        for (int k = 0; k < 10; ++k) psd.u8({0x81, std::uint8_t(y)});
    // Old-game run-length: 32 packets of 128 make a 64 x 64 image (a small image after it).
    FileBuilder cif;
    ElderHeader(cif, 64, 64, 2, 64);
    for (int k = 0; k < 32; ++k) cif.u8({255, std::uint8_t(k)});
    ElderHeader(cif, 2, 2, 0, 4).zeros(4);
    // Deflate at its best: 4000 x 1000 grey zeros.
    const Bytes flat = test::MakePng(test::Ihdr(4000, 1000, 8, 0), Bytes(4001 * 1000, 0));
    test::Image indexed(1000, 1000, ifIndex8, {3});
    test::Image grey(2048, 2048, ifGray8, {90});

    struct Case {
        const char* name;
        TImageFileFormat& format;
        Bytes file;
        std::int32_t width, height;
    };
    const Case cases[] = {
        {"bitmap RLE8 of 255-pixel runs", FormatObject<TBitmapFileFormat>(), Bmp(2550, 100, 8, 1, rle.bytes), 2550, 100},
        {"PSD PackBits rows", FormatObject<TPSDFileFormat>(), Psd(1, 64, 1280, 1, psd.bytes), 1280, 64},
        {"CIF run-length image", FormatObject<TCIFFileFormat>(), cif.bytes, 64, 64},
        {"PNG of one grey value", FormatObject<TPNGFileFormat>(), flat, 4000, 1000},
        {"GIF of one index", FormatObject<TGIFFileFormat>(),
         test::SaveBytes(FormatObject<TGIFFileFormat>(), {indexed.data}), 1000, 1000},
        {"JPEG of one grey", FormatObject<TJpegFileFormat>(),
         test::SaveBytes(FormatObject<TJpegFileFormat>(), {grey.data}), 2048, 2048},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LowLimits limits;
        test::Images images;
        std::string error;
        ASSERT_TRUE(test::LoadBytes(c.format, c.file, images, &error)) << error;
        EXPECT_EQ(images[0].Width, c.width);
        EXPECT_EQ(images[0].Height, c.height);
    }
}

// PNG data inflates into a buffer that grows with what the stream makes: a
// 1000 x 1000 RGBA image whose stream stops after 5000 bytes costs the image
// and little more (a buffer sized from the header would double the load).
TEST(HostileHeaders, InflateGrowsWithTheOutput) {
    FileBuilder z;
    z.u8({0x78, 0x01, 0x00}).le16(5000).le16(0xFFFF ^ 5000);  // a stored block, the stream cut after it
    for (int i = 0; i < 5000; ++i) z.u8({std::uint8_t(i % 5 == 0 ? 0 : 200)});
    const Bytes file = FileBuilder()
                           .raw(test::kPngSignature)
                           .chunk("IHDR", test::Ihdr(1000, 1000, 8, 6))
                           .chunk("IDAT", z.bytes)
                           .chunk("IEND", {})
                           .bytes;
    const ReadLimits saved = ImagingLimits();
    ImagingLimits().imageLoadBytes = (4u << 20) + (1u << 20);
    test::Images images;
    std::string error;
    const bool loaded = test::LoadBytes(FormatObject<TPNGFileFormat>(), file, images, &error);
    ImagingLimits() = saved;
    ASSERT_TRUE(loaded) << error;
    EXPECT_EQ(DecodeBudgetLargestRequest(), 4000000u) << "the image itself is the largest request";
    const TImageData& image = images[0];
    EXPECT_EQ(image.Bits[4], 200) << "the first row's second pixel came from the data";
    EXPECT_EQ(image.Bits[image.Size - 1], 0) << "rows the stream did not reach stay zero";
}

TEST(HostileHeaders, ExpansionBounds) {
    struct Case {
        const char* name;
        std::uint64_t got, want;
    };
    const Case cases[] = {
        {"stored bytes", MaxExpandedSize(kStoredBound, 77), 77},
        {"deflate", MaxExpandedSize(kDeflateBound, 10), 10320},
        {"a partial PackBits packet counts whole", MaxExpandedSize(kPackBitsBound, 3), 256},
        {"no bytes make nothing", MaxExpandedSize(kBitmapRleBound, 0), 0},
        {"saturates instead of wrapping", MaxExpandedSize(kDeflateBound, UINT64_MAX / 2), UINT64_MAX},
        {"LZW: a byte holds two 3-bit codes", MaxLzwOutput(1), 5},
        {"LZW: strings stop at 4096", MaxLzwOutput(3 * 4096) - MaxLzwOutput(3 * 4096 - 3), 8 * 4096},
        {"LZW saturates", MaxLzwOutput(UINT64_MAX), UINT64_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.got, c.want);
    }
}

}  // namespace
}  // namespace velto
