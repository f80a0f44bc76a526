// PCX and PSD: every plane layout of PCX (four 8-bit planes red, green, blue,
// alpha), lines that must hold the width, run-length data cut at the image;
// PSD channel mapping, PackBits, CMYK only in the layouts the conversion
// reads, palettes of any length, and round trips of every savable format.
#include <gtest/gtest.h>

#include <cstring>

#include "ClassicFormatsTestUtil.h"
#include "imaging/FormatPcx.h"
#include "imaging/FormatPsd.h"
#include "platform/ByteWriter.h"

namespace velto {
namespace {

using namespace test;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Pcx(std::uint8_t bits, std::uint8_t planes, std::uint16_t w, std::uint16_t h, std::uint16_t bpl, std::uint8_t encoding,
          const Bytes& data, const Bytes& palette16 = {}) {
    Bytes head(128, 0);
    head[0] = 10;
    head[1] = 5;
    head[2] = encoding;
    head[3] = bits;
    head[8] = static_cast<std::uint8_t>(w - 1);
    head[9] = static_cast<std::uint8_t>((w - 1) >> 8);
    head[10] = static_cast<std::uint8_t>(h - 1);
    head[11] = static_cast<std::uint8_t>((h - 1) >> 8);
    std::copy(palette16.begin(), palette16.end(), head.begin() + 16);
    head[65] = planes;
    head[66] = static_cast<std::uint8_t>(bpl);
    head[67] = static_cast<std::uint8_t>(bpl >> 8);
    head[68] = 1;
    head.insert(head.end(), data.begin(), data.end());
    return head;
}

struct LoadCase {
    const char* name;
    Bytes file;
    Outcome outcome;
    TImageFormat format;
    Bytes bits;
};

void RunCases(TImageFileFormat& format, std::initializer_list<LoadCase> cases) {
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        Images images;
        ASSERT_EQ(Load(format, c.file, images), c.outcome);
        if (c.outcome != Outcome::Loaded) continue;
        EXPECT_EQ(images[0].Format, c.format);
        EXPECT_EQ(Bits(images[0]), c.bits);
    }
}

TEST(PcxLoad, PlaneLayouts) {
    Bytes pal16(48);
    for (int i = 0; i < 48; ++i) pal16[i] = static_cast<std::uint8_t>(i);
    RunCases(TheFormat<TPCXFileFormat>(), {
        {"24-bit, width 3, four bytes a plane", Pcx(8, 3, 3, 1, 4, 0, {1, 2, 3, 9, 4, 5, 6, 9, 7, 8, 9, 9}),
         Outcome::Loaded, ifR8G8B8, {7, 4, 1, 8, 5, 2, 9, 6, 3}},
        {"32-bit planes are red, green, blue, alpha", Pcx(8, 4, 1, 1, 1, 1, {10, 20, 30, 128}), Outcome::Loaded,
         ifA8R8G8B8, {30, 20, 10, 128}},
        {"run cut at the last bytes needed", Pcx(8, 1, 4, 1, 4, 1, {1, 2, 0xC5, 7}), Outcome::Loaded, ifIndex8, {1, 2, 7, 7}},
        {"runs cross lines; a run of 0 writes nothing", Pcx(8, 1, 2, 2, 2, 1, {0xC0, 5, 0xC3, 4, 6}), Outcome::Loaded,
         ifIndex8, {4, 4, 4, 6}},
        {"1 bit in four planes", Pcx(1, 4, 2, 1, 1, 0, {0x80, 0x40, 0xC0, 0x00}), Outcome::Loaded, ifIndex8, {5, 6}},
        {"2-bit rows each from their own line", Pcx(2, 1, 3, 2, 2, 0, {0x1B, 0xFF, 0xE4, 0x00}), Outcome::Loaded,
         ifIndex8, {0, 1, 2, 3, 2, 1}},
        {"4 bits in several planes stay zero", Pcx(4, 3, 2, 1, 1, 0, {0x12, 0x34, 0x56}), Outcome::Loaded, ifIndex8, {0, 0}},
        {"8 bits in two planes", Pcx(8, 2, 1, 1, 1, 0, {1, 2}), Outcome::Error, 0, {}},
        {"lines shorter than the width", Pcx(8, 1, 10, 1, 4, 0, Bytes(10)), Outcome::Error, 0, {}},
        {"1-bit lines shorter than the width", Pcx(1, 1, 17, 1, 2, 0, Bytes(4)), Outcome::Error, 0, {}},
        {"raw data cut short", Pcx(8, 1, 4, 4, 4, 0, Bytes(10)), Outcome::Error, 0, {}},
        {"huge run-length image from a few bytes", Pcx(8, 4, 65535, 65535, 65535, 1, {0xFF, 0}), Outcome::Error, 0, {}},
    });
    // An x max below x min.
    Bytes inverted = Pcx(8, 1, 2, 1, 2, 0, {1, 2});
    inverted[4] = 9;
    Images images;
    EXPECT_EQ(Load(TheFormat<TPCXFileFormat>(), inverted, images), Outcome::Error);
}

// Several 8-bit planes over several rows: every row holds all its planes, so
// the line is bytes-per-line times planes; a size taken for one plane reads
// the next rows as planes (and past the data on the last row).
TEST(PcxLoad, MultiPlaneLinesHoldEveryPlane) {
    // 2 x 3 pixels, 3 bytes a plane (one of padding): plane p of row y holds
    // 100 y + 10 p + x.
    const auto planeData = [](int planes, int rows) {
        Bytes data;
        for (int y = 0; y < rows; ++y)
            for (int p = 0; p < planes; ++p)
                for (int x = 0; x < 3; ++x) data.push_back(static_cast<std::uint8_t>(x == 2 ? 0xEE : 100 * y + 10 * p + x));
        return data;
    };
    const auto pixels = [](int planes) {
        Bytes bits;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 2; ++x) {
                const auto v = [&](int p) { return static_cast<std::uint8_t>(100 * y + 10 * p + x); };
                bits.insert(bits.end(), {v(2), v(1), v(0)});
                if (planes == 4) bits.push_back(v(3));
            }
        return bits;
    };
    // Run-length data of the same lines: every byte as a run of one.
    const auto runs = [](const Bytes& raw) {
        Bytes out;
        for (std::uint8_t b : raw) out.insert(out.end(), {0xC1, b});
        return out;
    };
    Bytes threeCut = planeData(3, 3);
    threeCut.resize(threeCut.size() - 1);
    Bytes fourCut = planeData(4, 3);
    fourCut.resize(3 * 3);  // one plane's worth of every row
    RunCases(TheFormat<TPCXFileFormat>(), {
        {"three planes, three rows", Pcx(8, 3, 2, 3, 3, 0, planeData(3, 3)), Outcome::Loaded, ifR8G8B8, pixels(3)},
        {"four planes, three rows", Pcx(8, 4, 2, 3, 3, 0, planeData(4, 3)), Outcome::Loaded, ifA8R8G8B8, pixels(4)},
        {"three run-length planes", Pcx(8, 3, 2, 3, 3, 1, runs(planeData(3, 3))), Outcome::Loaded, ifR8G8B8, pixels(3)},
        {"four run-length planes", Pcx(8, 4, 2, 3, 3, 1, runs(planeData(4, 3))), Outcome::Loaded, ifA8R8G8B8, pixels(4)},
        {"three planes, last byte missing", Pcx(8, 3, 2, 3, 3, 0, threeCut), Outcome::Error, 0, {}},
        {"four planes, one plane's data only", Pcx(8, 4, 2, 3, 3, 0, fourCut), Outcome::Error, 0, {}},
        // Each plane's line must hold the width on its own, not all planes together.
        {"three planes each shorter than the width", Pcx(8, 3, 4, 2, 2, 0, Bytes(12, 1)), Outcome::Error, 0, {}},
        {"four planes each shorter than the width", Pcx(8, 4, 4, 2, 2, 0, Bytes(16, 1)), Outcome::Error, 0, {}},
    });
}

TEST(PcxLoad, Palettes) {
    Bytes pal16(48);
    for (int i = 0; i < 48; ++i) pal16[i] = static_cast<std::uint8_t>(i + 1);
    Images images;
    ASSERT_EQ(Load(TheFormat<TPCXFileFormat>(), Pcx(1, 4, 1, 1, 1, 0, {0x80, 0x80, 0x80, 0x80}, pal16), images),
              Outcome::Loaded);
    EXPECT_EQ(images[0].Bits[0], 15);
    EXPECT_EQ(images[0].Palette[15], Color32(255, 46, 47, 48));
    EXPECT_EQ(images[0].Palette[16], 0u);
    // An 8-bit file without the marker has a zero palette; with it, all 256 entries.
    ASSERT_EQ(Load(TheFormat<TPCXFileFormat>(), Pcx(8, 1, 1, 1, 1, 0, {3}, pal16), images), Outcome::Loaded);
    EXPECT_EQ(images[0].Palette[0], 0u);
    Bytes withPalette = Pcx(8, 1, 1, 1, 1, 0, {3});
    withPalette.push_back(12);
    for (int i = 0; i < 768; ++i) withPalette.push_back(static_cast<std::uint8_t>(i / 3));
    std::int64_t end = 0;
    ASSERT_EQ(Load(TheFormat<TPCXFileFormat>(), withPalette, images, &end), Outcome::Loaded);
    EXPECT_EQ(images[0].Palette[3], Color32(255, 3, 3, 3));
    EXPECT_EQ(end, static_cast<std::int64_t>(withPalette.size()));
}

TEST(PcxLoad, RunLengthDecoder) {
    Bytes out(5);
    EXPECT_EQ(DecodePcxRLE(Bytes{0xC9, 1, 2}, out), 2u) << "a run beyond the output is cut";
    EXPECT_EQ(out, (Bytes{1, 1, 1, 1, 1}));
    Bytes out2(4, 9);
    EXPECT_EQ(DecodePcxRLE(Bytes{5, 0xC2}, out2), 2u) << "a count byte at the end of the input";
    EXPECT_EQ(out2, (Bytes{5, 9, 9, 9}));
}

// ---------------------------------------------------------------------------
// PSD

Bytes Psd(std::uint16_t channels, std::uint32_t rows, std::uint32_t cols, std::uint16_t depth, std::uint16_t mode,
          const Bytes& modeData, std::uint16_t compression, const Bytes& data) {
    ByteWriter w;
    w.text("8BPS");
    w.u16be(1);
    w.fill(0, 6);
    w.u16be(channels);
    w.u32be(rows);
    w.u32be(cols);
    w.u16be(depth);
    w.u16be(mode);
    w.u32be(static_cast<std::uint32_t>(modeData.size()));
    w.bytes(modeData);
    w.u32be(0);
    w.u32be(0);
    w.u16be(compression);
    w.bytes(data);
    return w.take();
}

Bytes BE16(std::initializer_list<std::uint16_t> v) {
    Bytes out;
    for (auto x : v) out.insert(out.end(), {static_cast<std::uint8_t>(x >> 8), static_cast<std::uint8_t>(x)});
    return out;
}

TEST(PsdLoad, ChannelsModesAndDepths) {
    Bytes pal(768);
    pal[5] = 10;
    pal[256 + 5] = 20;
    pal[512 + 5] = 30;
    RunCases(TheFormat<TPSDFileFormat>(), {
        {"16-bit RGB with four channels", Psd(4, 1, 1, 16, 3, {}, 0, BE16({1, 2, 3, 4})), Outcome::Loaded,
         ifA16R16G16B16, W16({3, 2, 1, 4})},
        {"RGB with five channels: the fifth is skipped", Psd(5, 1, 1, 8, 3, {}, 0, {1, 2, 3, 4, 5}), Outcome::Loaded,
         ifA8R8G8B8, {3, 2, 1, 4}},
        {"grey with alpha", Psd(2, 1, 2, 8, 1, {}, 0, {1, 2, 3, 4}), Outcome::Loaded, ifA8Gray8, {1, 3, 2, 4}},
        {"PackBits: literal, run and -128", Psd(1, 1, 5, 8, 1, {}, 1, Cat({BE16({6}), {1, 7, 8, 0xFE, 9, 0x80}})),
         Outcome::Loaded, ifGray8, {7, 8, 9, 9, 9}},
        {"32-bit grey", Psd(1, 1, 1, 32, 1, {}, 0, {0x3F, 0x80, 0, 0}), Outcome::Loaded, ifR32F, F32({1.0f})},
        {"32-bit RGB gets alpha 1", Psd(3, 1, 1, 32, 3, {}, 0, {0x3F, 0x80, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0}),
         Outcome::Loaded, ifA32R32G32B32F, F32({2.0f, 0.0f, 1.0f, 1.0f})},
        {"CMYK, no ink is white", Psd(4, 1, 1, 8, 4, {}, 0, {255, 255, 255, 255}), Outcome::Loaded, ifA8R8G8B8,
         {255, 255, 255, 255}},
        {"CMYK, full black ink", Psd(4, 1, 1, 8, 4, {}, 0, {255, 255, 255, 0}), Outcome::Loaded, ifA8R8G8B8,
         {0, 0, 0, 255}},
        {"CMYK with three channels is refused", Psd(3, 1, 1, 8, 4, {}, 0, {1, 2, 3}), Outcome::False, 0, {}},
        {"CMYK at 32 bits is refused", Psd(4, 1, 1, 32, 4, {}, 0, Bytes(16)), Outcome::False, 0, {}},
        {"indexed, palette of 768", Psd(1, 1, 1, 8, 2, pal, 0, {5}), Outcome::Loaded, ifIndex8, {5}},
        {"indexed, palette longer than 768 is skipped over", Psd(1, 1, 1, 8, 2, Cat({pal, Bytes(32, 1)}), 0, {5}),
         Outcome::Loaded, ifIndex8, {5}},
        {"indexed, short palette", Psd(1, 1, 1, 8, 2, Bytes(3, 1), 0, {5}), Outcome::Loaded, ifIndex8, {5}},
        {"bitmap mode", Psd(1, 1, 8, 1, 0, {}, 0, {0}), Outcome::False, 0, {}},
        {"rows beyond 32 bits signed", Psd(1, 0x80000000u, 1, 8, 1, {}, 0, {0}), Outcome::Error, 0, {}},
        {"raw planes cut short", Psd(3, 100, 100, 8, 3, {}, 0, Bytes(100)), Outcome::Error, 0, {}},
        {"row-count table longer than the file", Psd(3, 40000, 40000, 8, 3, {}, 1, Bytes(100)), Outcome::Error, 0, {}},
        {"colour-mode data longer than the file", [] {
             Bytes f = Psd(1, 1, 1, 8, 1, {}, 0, {0});
             f[26] = 0x7F;
             return f;
         }(), Outcome::Error, 0, {}},
    });
    Images images;
    ASSERT_EQ(Load(TheFormat<TPSDFileFormat>(), Psd(1, 1, 1, 8, 2, pal, 0, {5}), images), Outcome::Loaded);
    EXPECT_EQ(images[0].Palette[5], Color32(255, 10, 20, 30));
    ASSERT_EQ(Load(TheFormat<TPSDFileFormat>(), Psd(1, 1, 1, 8, 2, Bytes(3, 1), 0, {5}), images), Outcome::Loaded);
    EXPECT_EQ(images[0].Palette[0], Color32(255, 1, 0, 0)) << "the missing greens and blues are zero";
}

TEST(PsdLoad, PackBitsIsCut) {
    Bytes out(3);
    EXPECT_EQ(DecodePackBits(Bytes{0xFD, 4}, out), 3u) << "a run of 4 into 3";
    EXPECT_EQ(out, (Bytes{4, 4, 4}));
    Bytes out2(8);
    EXPECT_EQ(DecodePackBits(Bytes{5, 1, 2}, out2), 2u) << "a literal beyond the input";
    EXPECT_EQ(DecodePackBits(Bytes{0xFE}, out2), 0u) << "a run without its byte";
}

TEST(PsdSave, LayoutOfAnRgbaFile) {
    Image image(2, 1, ifA8R8G8B8, {3, 2, 1, 4, 30, 20, 10, 40});
    const Bytes file = Save(TheFormat<TPSDFileFormat>(), image.data);
    EXPECT_EQ(file, Psd(4, 1, 2, 8, 3, {}, 0, {1, 10, 2, 20, 3, 30, 4, 40})) << "planes red, green, blue, alpha";
    Image twin(1, 1, ifB16G16R16);
    FillPattern(twin.data);
    const Bytes f16 = Save(TheFormat<TPSDFileFormat>(), twin.data);
    Images back;
    ASSERT_EQ(Load(TheFormat<TPSDFileFormat>(), f16, back), Outcome::Loaded);
    EXPECT_EQ(back[0].Format, ifR16G16B16) << "the swapped twin";
    EXPECT_EQ(Bits(back[0]), (Bytes{twin.data.Bits[4], twin.data.Bits[5], twin.data.Bits[2], twin.data.Bits[3],
                                     twin.data.Bits[0], twin.data.Bits[1]}));
}

class PsdRoundTrip : public ::testing::TestWithParam<TImageFormat> {};

TEST_P(PsdRoundTrip, PixelsComeBackExactly) {
    Image image(5, 3, GetParam());
    FillPattern(image.data);
    const Bytes file = Save(TheFormat<TPSDFileFormat>(), image.data);
    Images back;
    ASSERT_EQ(Load(TheFormat<TPSDFileFormat>(), file, back), Outcome::Loaded);
    EXPECT_EQ(back[0].Format, GetParam());
    EXPECT_EQ(Bits(back[0]), Bits(image.data));
    for (int i = 0; GetParam() == ifIndex8 && i < 256; ++i) ASSERT_EQ(back[0].Palette[i], image.data.Palette[i]);
}

INSTANTIATE_TEST_SUITE_P(Formats, PsdRoundTrip,
                         ::testing::Values(ifIndex8, ifGray8, ifA8Gray8, ifGray16, ifA16Gray16, ifR8G8B8, ifA8R8G8B8,
                                           ifR16G16B16, ifA16R16G16B16, ifR32F, ifA32R32G32B32F),
                         [](const auto& info) { return GetFormatName(info.param); });

}  // namespace
}  // namespace velto

namespace velto {
namespace {

using namespace test;

// What each saver writes is found by content, whatever the name, and a name
// of another format does not win over the content.
TEST(ClassicDetection, ContentDecides) {
    Image image(3, 2, ifR8G8B8);
    FillPattern(image.data);
    for (const char* ext : {"bmp", "gif", "tga", "pgm", "ppm", "pam", "pfm", "psd"}) {
        SCOPED_TRACE(ext);
        TMemoryStream stream;
        ASSERT_TRUE(SaveImageToStream(ext, stream, image.data));
        stream.SetPosition(0);
        EXPECT_EQ(DetectStreamFormat(stream), ext);
        EXPECT_EQ(stream.Position(), 0);
    }
    TMemoryStream pcx(Pcx(8, 3, 1, 1, 1, 0, {1, 2, 3}));
    EXPECT_EQ(DetectStreamFormat(pcx), "pcx");
    TMemoryStream pbm(Bytes{'P', '4', '\n', '1', ' ', '1', '\n', 0x80});
    EXPECT_EQ(DetectStreamFormat(pbm), "pbm");
}

}  // namespace
}  // namespace velto
