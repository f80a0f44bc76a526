// Conversions between the four format classes (indexed, grey, float,
// channel), every pair and each fast path, pinned to the values the rules
// give: the x256 against x65535 div 255 mixture, the fourth byte of
// X8R8G8B8, truncating divisions and rounding half to even.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "ImagingTestUtil.h"
#include "imaging/Formats.h"
#include "imaging/Options.h"

namespace velto {
namespace {

using test::Bytes;
using test::F32;
using test::Image;
using test::W16;
using test::W32;

constexpr TColor32 kEntry = Color32(7, 255, 128, 0);  // palette entry 3 of the indexed sources

struct ConversionRow {
    const char* name;
    TImageFormat from;
    Bytes pixel;  // one source pixel (an index refers to kEntry at 3)
    TImageFormat to;
    Bytes expected;
};

void PrintTo(const ConversionRow& row, std::ostream* os) { *os << row.name; }

class Conversion : public ::testing::TestWithParam<ConversionRow> {};

TEST_P(Conversion, OnePixel) {
    const ConversionRow& row = GetParam();
    Image image(1, 1, row.from, row.pixel);
    if (image->Palette) image->Palette[3] = kEntry;
    ASSERT_TRUE(ConvertImage(image.data, row.to));
    EXPECT_EQ(image->Format, row.to);
    EXPECT_EQ(image.bits(), row.expected);
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();

// clang-format off
const ConversionRow kConversions[] = {
    // indexed -> grey, float, channel
    {"IndexToGray8_fast", ifIndex8, {3}, ifGray8, {151}},
    {"IndexToA8Gray8_alphaTimes256", ifIndex8, {3}, ifA8Gray8, {151, 6}},
    {"IndexToGray16", ifIndex8, {3}, ifGray16, W16({151 * 257})},
    {"IndexToFloat", ifIndex8, {3}, ifA32R32G32B32F, F32({0.0f, 128 * 0.003921569f, 255 * 0.003921569f, 7 * 0.003921569f})},
    {"IndexToR8G8B8_fast", ifIndex8, {3}, ifR8G8B8, {0, 128, 255}},
    {"IndexToA8R8G8B8_fast", ifIndex8, {3}, ifA8R8G8B8, {0, 128, 255, 7}},
    {"IndexToX8R8G8B8_red254", ifIndex8, {3}, ifX8R8G8B8, {0, 127, 254, 6}},
    {"IndexToA16R16G16B16", ifIndex8, {3}, ifA16R16G16B16, W16({0, 32768, 65280, 1792})},
    // grey -> indexed, grey, float, channel
    {"Gray8ToIndex8_copy", ifGray8, {77}, ifIndex8, {77}},
    {"Gray16ToIndex8_topBits", ifGray16, W16({0x1234}), ifIndex8, {0x12}},
    {"Gray8ToGray16_times256", ifGray8, {255}, ifGray16, W16({65280})},
    {"Gray16ToGray8_shift", ifGray16, W16({65535}), ifGray8, {255}},
    {"A8Gray8ToA16Gray16", ifA8Gray8, {200, 100}, ifA16Gray16, W16({51400, 25700})},
    {"Gray16ToGray32_highWord", ifGray16, W16({0x8001}), ifGray32, W32({0x80010000u})},
    {"Gray32ToGray8", ifGray32, W32({0xFFFF0000u}), ifGray8, {255}},
    {"Gray64ToGray16", ifGray64, W16({1, 2, 3, 0x4321}), ifGray16, W16({0x4321})},
    {"Gray16ToA8Gray8_opaque", ifGray16, W16({0x8000}), ifA8Gray8, {127, 255}},
    {"Gray8ToR32F", ifGray8, {51}, ifR32F, F32({static_cast<float>(13107 * double(0.0000152590219f))})},
    {"A16Gray16ToFloat", ifA16Gray16, W16({65535, 0}), ifA32R32G32B32F,
     F32({static_cast<float>(65535 * double(0.0000152590219f)), static_cast<float>(65535 * double(0.0000152590219f)),
          static_cast<float>(65535 * double(0.0000152590219f)), 0.0f})},
    {"Gray8ToA8R8G8B8_fast", ifGray8, {9}, ifA8R8G8B8, {9, 9, 9, 255}},
    {"Gray8ToX8R8G8B8_fastKeepsZero", ifGray8, {9}, ifX8R8G8B8, {9, 9, 9, 0}},
    {"A8Gray8ToA8R8G8B8", ifA8Gray8, {200, 100}, ifA8R8G8B8, {200, 200, 200, 100}},
    {"Gray16ToR5G6B5", ifGray16, W16({65535}), ifR5G6B5, W16({0xFFFF})},
    // float -> grey, float, channel
    {"FloatToA16Gray16_clamped", ifA32R32G32B32F, F32({0.0f, 0.0f, 2.0f, -1.0f}), ifA16Gray16, W16({19595, 0})},
    {"R32FToGray8", ifR32F, F32({1.0f}), ifGray8, {76}},
    {"HalfToFloatSwapped", ifA16R16G16B16F, W16({0x3C00, 0x3800, 0x0000, 0xBC00}), ifA32B32G32R32F,
     F32({0.0f, 0.5f, 1.0f, -1.0f})},
    {"R32FToHalf", ifR32F, F32({0.5f}), ifA16R16G16B16F, W16({0, 0, 0x3800, 0x3C00})},
    {"FloatToA16R16G16B16_nanClampHalfEven", ifA32R32G32B32F, F32({kNaN, 0.5f, 1.5f, 0.25f}), ifA16R16G16B16,
     W16({0, 32768, 65535, 16384})},
    {"FloatToR8G8B8", ifA32R32G32B32F, F32({0.2f, 0.4f, 0.6f, 1.0f}), ifR8G8B8, {51, 102, 153}},
    // channel -> grey, float, channel
    {"R8G8B8ToGray8_fast", ifR8G8B8, {0, 128, 255}, ifGray8, {151}},
    {"A8R8G8B8ToGray8_fast", ifA8R8G8B8, {0, 128, 255, 0}, ifGray8, {151}},
    {"A16R16G16B16ToA16Gray16", ifA16R16G16B16, W16({65535, 65535, 65535, 1234}), ifA16Gray16, W16({65535, 1234})},
    {"A8R8G8B8ToA8Gray8", ifA8R8G8B8, {0, 128, 255, 50}, ifA8Gray8, {151, 50}},
    {"A8R8G8B8ToFloat", ifA8R8G8B8, {0, 51, 255, 255}, ifA32R32G32B32F,
     F32({0.0f, static_cast<float>(13107 * double(0.0000152590219f)), static_cast<float>(65535 * double(0.0000152590219f)),
          static_cast<float>(65535 * double(0.0000152590219f))})},
    {"R8G8B8ToA8R8G8B8_fast", ifR8G8B8, {1, 128, 255}, ifA8R8G8B8, {1, 128, 255, 255}},
    {"R8G8B8ToX8R8G8B8_fastKeepsZero", ifR8G8B8, {1, 128, 255}, ifX8R8G8B8, {1, 128, 255, 0}},
    {"A8R8G8B8ToR8G8B8_fast", ifA8R8G8B8, {1, 128, 255, 9}, ifR8G8B8, {1, 128, 255}},
    {"A8R8G8B8ToX8R8G8B8_writesAlphaByte", ifA8R8G8B8, {1, 128, 255, 128}, ifX8R8G8B8, {1, 128, 255, 128}},
    {"X8R8G8B8ToA8R8G8B8_opaque", ifX8R8G8B8, {1, 128, 255, 77}, ifA8R8G8B8, {1, 128, 255, 255}},
    {"A8R8G8B8ToR5G6B5", ifA8R8G8B8, {1, 128, 255, 128}, ifR5G6B5, W16({0xFC00})},
    {"R5G6B5ToA8R8G8B8_254", ifR5G6B5, W16({0xFFFF}), ifA8R8G8B8, {254, 254, 254, 255}},
    {"A8R8G8B8ToA1R5G5B5", ifA8R8G8B8, {0, 128, 255, 128}, ifA1R5G5B5, W16({0xFE00})},
    {"A4R4G4B4ToA8R8G8B8", ifA4R4G4B4, W16({0xF84C}), ifA8R8G8B8, {203, 67, 135, 254}},
    {"R3G3B2ToR8G8B8", ifR3G3B2, {0xE3}, ifR8G8B8, {254, 0, 254}},
    {"X5R1G1B1ToA8R8G8B8", ifX5R1G1B1, {0xFD}, ifA8R8G8B8, {254, 0, 254, 255}},
    {"A8R8G8B8ToA16R16G16B16", ifA8R8G8B8, {1, 128, 255, 128}, ifA16R16G16B16, W16({257, 32896, 65535, 32896})},
    {"R16G16B16ToR8G8B8_truncates", ifR16G16B16, W16({32768, 65535, 257}), ifR8G8B8, {127, 255, 1}},
    {"A16B16G16R16ToA8R8G8B8_swapped", ifA16B16G16R16, W16({65535, 0, 0, 65535}), ifA8R8G8B8, {0, 0, 255, 255}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Classes, Conversion, ::testing::ValuesIn(kConversions),
                         [](const auto& info) { return std::string(info.param.name); });

// Both indexed sides of a conversion: indices and palette are copied.
TEST(ConversionRoutines, IndexToIndexCopiesIndicesAndPalette) {
    const TImageFormatInfo& info = *FormatInfo(ifIndex8);
    const std::uint8_t src[3] = {0, 5, 255};
    std::uint8_t dst[3] = {};
    TColor32 srcPal[256] = {}, dstPal[256] = {};
    srcPal[5] = 0x11223344u;
    IndexToIndex(3, src, dst, info, info, srcPal, dstPal);
    EXPECT_EQ(Bytes(dst, dst + 3), Bytes({0, 5, 255}));
    EXPECT_EQ(dstPal[5], 0x11223344u);
}

TEST(ConversionRoutines, GrayToIndexedFillsGreyRamp) {
    Image image(2, 1, ifGray16, W16({0x0000, 0xFFFF}));
    ASSERT_TRUE(ConvertImage(image.data, ifIndex8));
    EXPECT_EQ(image.bits(), Bytes({0, 255}));
    EXPECT_EQ(image->Palette[0], Color32(255, 0, 0, 0));
    EXPECT_EQ(image->Palette[200], Color32(255, 200, 200, 200));
}

// Pixel routines of the table, read and written one pixel at a time.
struct PixelRow {
    const char* name;
    TImageFormat format;
    Bytes pixel;
    TColor32 get32;  // GetPixel32 of the pixel
};
void PrintTo(const PixelRow& row, std::ostream* os) { *os << row.name; }
class PixelAccess : public ::testing::TestWithParam<PixelRow> {};

TEST_P(PixelAccess, Get32) {
    const PixelRow& row = GetParam();
    Image image(1, 1, row.format, row.pixel);
    if (image->Palette) image->Palette[3] = kEntry;
    EXPECT_EQ(GetPixel32(image.data, 0, 0), row.get32);
}

// clang-format off
const PixelRow kPixels[] = {
    {"R5G6B5_white", ifR5G6B5, W16({0xFFFF}), Color32(255, 254, 254, 254)},
    {"X1R5G5B5_ignoresTopBit", ifX1R5G5B5, W16({0x8000}), Color32(255, 0, 0, 0)},
    {"A1R5G5B5_alphaBit", ifA1R5G5B5, W16({0x8000}), Color32(254, 0, 0, 0)},
    {"R32F_clamped", ifR32F, F32({2.5f}), Color32(255, 255, 0, 0)},
    {"R16F_half", ifR16F, W16({0x3800}), Color32(255, 128, 0, 0)},
    {"Gray16", ifGray16, W16({0x8080}), Color32(255, 128, 128, 128)},
    {"A16Gray16", ifA16Gray16, W16({0xFFFF, 0x0101}), Color32(1, 255, 255, 255)},
    {"A8Gray8", ifA8Gray8, {10, 20}, Color32(20, 10, 10, 10)},
    {"Index8_palette", ifIndex8, {3}, kEntry},
    {"X8R8G8B8_opaque", ifX8R8G8B8, {1, 2, 3, 0}, Color32(255, 3, 2, 1)},
    {"B16G16R16_swapped", ifB16G16R16, W16({65535, 0, 0}), Color32(255, 255, 0, 0)},
    {"A32B32G32R32F_swapped", ifA32B32G32R32F, F32({1.0f, 0.0f, 0.0f, 1.0f}), Color32(255, 255, 0, 0)},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Formats, PixelAccess, ::testing::ValuesIn(kPixels),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PixelAccessWrite, SetPixel32Rules) {
    Image a(1, 1, ifA1R5G5B5);
    SetPixel32(a.data, 0, 0, Color32(128, 255, 128, 0));
    EXPECT_EQ(a.bits(), W16({0xFE00}));
    Image x(1, 1, ifX8R8G8B8, {9, 9, 9, 42});
    SetPixel32(x.data, 0, 0, Color32(0, 1, 2, 3));
    EXPECT_EQ(x.bits(), Bytes({3, 2, 1, 42})) << "the fourth byte is not written";
    Image g(1, 1, ifA8Gray8);
    SetPixel32(g.data, 0, 0, Color32(33, 255, 128, 0));
    EXPECT_EQ(g.bits(), Bytes({151, 33}));
    Image g16(1, 1, ifGray16);
    SetPixel32(g16.data, 0, 0, Color32(0, 255, 128, 0));
    EXPECT_EQ(g16.bits(), W16({151 * 257}));
    Image idx(1, 1, ifIndex8);
    idx->Palette[0] = Color32(255, 0, 0, 0);
    idx->Palette[9] = Color32(255, 200, 200, 200);
    SetPixel32(idx.data, 0, 0, Color32(255, 190, 190, 190));
    EXPECT_EQ(idx.bits(), Bytes({9}));
}

TEST(PixelAccessWrite, FloatRoutinesRoundHalfToEven) {
    Image argb(1, 1, ifA8R8G8B8);
    SetPixelFP(argb.data, 0, 0, {0.5f, 2.0f, -1.0f, 1.0f});
    EXPECT_EQ(argb.bits(), Bytes({128, 255, 0, 255}));
    Image rgb16(1, 1, ifR16G16B16);
    SetPixelFP(rgb16.data, 0, 0, {0.5f, 0.0f, 1.0f, 1.0f});
    EXPECT_EQ(rgb16.bits(), W16({32768, 0, 65535}));
    Image r32(1, 1, ifR32F);
    SetPixelFP(r32.data, 0, 0, {0.1f, 0.2f, 0.75f, 0.4f});
    const TColorFPRec back = GetPixelFP(r32.data, 0, 0);
    EXPECT_EQ(back.R, 0.75f);
    EXPECT_EQ(back.B, 0.0f);
    EXPECT_EQ(back.A, 1.0f);
    Image gray(1, 1, ifGray8);
    SetPixelFP(gray.data, 0, 0, {1.0f, 1.0f, 1.0f, 1.0f});
    EXPECT_EQ(gray.bits(), Bytes({255}));
}

TEST(HalfFloats, ConversionEdges) {
    struct Row {
        const char* name;
        float value;
        std::uint16_t half;
    };
    const Row rows[] = {{"one", 1.0f, 0x3C00},      {"roundsUp", 1.9999f, 0x4000},     {"max", 65504.0f, 0x7BFF},
                        {"overflow", 65520.0f, 0x7C00}, {"large", 1.0e6f, 0x7C00},       {"tiny", 1.0e-8f, 0},
                        {"negative", -2.0f, 0xC000},   {"subnormal", 5.9604645e-8f, 0x0001}, {"infinity", INFINITY, 0x7C00}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FloatToHalf(row.value), row.half);
    }
    EXPECT_EQ(HalfToFloat(0x0001), std::ldexp(1.0f, -24));
    EXPECT_EQ(HalfToFloat(0x3C00), 1.0f);
    EXPECT_EQ(HalfToFloat(0xC000), -2.0f);
    EXPECT_TRUE(std::isinf(HalfToFloat(0x7C00)));
    EXPECT_TRUE(std::isnan(HalfToFloat(0x7E00)));
    EXPECT_TRUE(std::signbit(HalfToFloat(0x8000)));
    // Every finite half survives the way to float and back.
    for (std::uint32_t h = 0; h < 0x10000; ++h) {
        if ((h & 0x7C00) == 0x7C00) continue;
        // Negative zero comes back as zero: the sign of a result that rounds to 0 is dropped.
        if (FloatToHalf(HalfToFloat(static_cast<std::uint16_t>(h))) != (h == 0x8000 ? 0 : h)) {
            ADD_FAILURE() << "half " << std::hex << h;
            break;
        }
    }
}

TEST(RowRoutines, PackedRowsAndAlphaTests) {
    const std::uint8_t two[] = {0b00011011, 0xFF, 0b11100100, 0x00};  // rows of 2 bytes
    std::uint8_t out[8];
    Convert2To8(two, out, 4, 2, 2);
    EXPECT_EQ(Bytes(out, out + 8), Bytes({0, 1, 2, 3, 3, 2, 1, 0})) << "second row from the second source row";
    const std::uint8_t one[] = {0b10100000};
    std::uint8_t out1[3];
    Convert1To8(one, out1, 3, 1, 1);
    EXPECT_EQ(Bytes(out1, out1 + 3), Bytes({1, 0, 1}));
    const std::uint8_t four[] = {0xAB, 0xC0};
    std::uint8_t out4[3];
    Convert4To8(four, out4, 3, 1, 2);
    EXPECT_EQ(Bytes(out4, out4 + 3), Bytes({0xA, 0xB, 0xC}));
    const std::uint8_t padded[] = {1, 2, 9, 9, 3, 4, 9, 9};
    std::uint8_t packed[4];
    RemovePadBytes(padded, packed, 1, 2, 2, 4);
    EXPECT_EQ(Bytes(packed, packed + 4), Bytes({1, 2, 3, 4}));
    const std::uint32_t noAlpha[] = {0x00FFFFFF, 0x00000000};
    const std::uint32_t alpha[] = {0x00FFFFFF, 0x01000000};
    EXPECT_FALSE(Has32BitImageAlpha(2, noAlpha));
    EXPECT_TRUE(Has32BitImageAlpha(2, alpha));
    EXPECT_FALSE(Has32BitImageAlpha(0, alpha));
    const std::uint16_t w[] = {0x7FFF, 0x8000};
    EXPECT_FALSE(Has16BitImageAlpha(1, w));
    EXPECT_TRUE(Has16BitImageAlpha(2, w));
    std::uint8_t a[4] = {1, 2, 3, 4}, b[4] = {};
    CopyPixel(a, b, 5);
    EXPECT_EQ(b[0], 0) << "sizes outside 1, 2, 3, 4, 6, 8, 16 copy nothing";
    CopyPixel(a, b, 3);
    EXPECT_EQ(Bytes(b, b + 4), Bytes({1, 2, 3, 0}));
    TColor32 pal[256] = {};
    std::uint8_t grey = 0;
    const std::uint8_t red[4] = {0, 0, 255, 255};
    TranslatePixel(red, &grey, ifA8R8G8B8, ifGray8, nullptr, pal);
    EXPECT_EQ(grey, 76);
}

// Median cut to a palette.
TEST(MedianCut, OneColourFillsTheRestWhite) {
    Image image(2, 2, ifA8R8G8B8, W32({0x80102030u}));
    ASSERT_TRUE(ConvertImage(image.data, ifIndex8));
    EXPECT_EQ(image.bits(), Bytes({0, 0, 0, 0}));
    EXPECT_EQ(image->Palette[0], 0x80102030u);
    for (int i = 1; i < 256; ++i) ASSERT_EQ(image->Palette[i], 0xFFFFFFFFu) << i;
}

TEST(MedianCut, MaskMergesLowBitsAndBoxesSortByCount) {
    ASSERT_TRUE(PushOptions());
    SetOption(ImagingColorReductionMask, 0xFE);
    // Two reds differing in the lowest bit become one entry (their mean).
    Image merged(2, 1, ifA8R8G8B8, W32({0xFF100000u, 0xFF110000u}));
    ASSERT_TRUE(ConvertImage(merged.data, ifIndex8));
    EXPECT_EQ(merged.bits(), Bytes({0, 0}));
    EXPECT_EQ(merged->Palette[0], 0xFE100000u) << "the entry is the mean of the masked colours";
    EXPECT_EQ(merged->Palette[1], 0xFFFFFFFFu);
    ASSERT_TRUE(PopOptions());
    // Three pixels of blue and one of red: blue's box comes first.
    Image counted(4, 1, ifR8G8B8, {255, 0, 0, 255, 0, 0, 0, 0, 255, 255, 0, 0});
    ASSERT_TRUE(ConvertImage(counted.data, ifIndex8));
    EXPECT_EQ(counted.bits(), Bytes({0, 0, 1, 0}));
    EXPECT_EQ(counted->Palette[0], 0xFF0000FFu);
    EXPECT_EQ(counted->Palette[1], 0xFFFF0000u);
}

TEST(MedianCut, ManyColoursStayWithinTheirBoxes) {
    // A ramp of 1024 greys reduced to 256 entries: every pixel maps to an entry
    // within 2 levels of itself, and the map is monotonic.
    Image ramp(1024, 1, ifGray16);
    for (int i = 0; i < 1024; ++i) {
        const auto v = static_cast<std::uint16_t>(i * 64);
        std::memcpy(ramp->Bits + 2 * i, &v, 2);
    }
    ASSERT_TRUE(ConvertImage(ramp.data, ifA16R16G16B16));
    ASSERT_TRUE(ConvertImage(ramp.data, ifIndex8));
    int last = -1;
    for (int i = 0; i < 1024; ++i) {
        const TColor32 e = ramp->Palette[ramp->Bits[i]];
        const int level = i * 64 * 255 / 65535;
        ASSERT_LE(std::abs(int(Color32R(e)) - level), 2) << i;
        ASSERT_GE(int(Color32R(e)), last) << i;
        last = Color32R(e);
    }
}

}  // namespace
}  // namespace velto

namespace velto {
namespace {

// A row at a time gives what converting the whole image gives, for every
// format the table holds (random bytes, so every palette entry and float
// value is met); pieces beyond the image and compressed blocks are refused.
TEST(ConvertPixelsTo32, EveryFormatAsTheWholeImageConverts) {
    int formats = 0;
    for (int id = 0; id < static_cast<int>(kFormatSlots); ++id) {
        const auto format = static_cast<TImageFormat>(id);
        const TImageFormatInfo* info = IsImageFormatValid(format) ? FormatInfo(format) : nullptr;
        if (!info || format == ifDefault) continue;
        SCOPED_TRACE(info->Name);
        Image image(13, 7, format);
        ASSERT_TRUE(TestImage(image.data));
        for (std::int32_t i = 0; i < image->Size; ++i) image->Bits[i] = static_cast<std::uint8_t>((i * 131 + id * 7) ^ (i >> 3));
        for (std::int32_t i = 0; i < info->PaletteEntries; ++i) image->Palette[i] = Color32(i * 3, 255 - i, i * 7, 40 + i);
        Bytes rows(13 * 7 * 4, 0xCD);
        if (info->IsBlockCompressed) {
            EXPECT_FALSE(ConvertPixelsTo32(image.data, 0, 13, rows.data()));
            continue;
        }
        for (int y = 0; y < 7; ++y) ASSERT_TRUE(ConvertPixelsTo32(image.data, std::size_t(y) * 13, 13, rows.data() + y * 13 * 4));
        EXPECT_FALSE(ConvertPixelsTo32(image.data, 13 * 6 + 1, 13, rows.data())) << "past the last pixel";
        Image whole(13, 7, format);
        std::copy(image->Bits, image->Bits + image->Size, whole->Bits);
        if (info->PaletteEntries) std::copy(image->Palette, image->Palette + info->PaletteEntries, whole->Palette);
        ASSERT_TRUE(ConvertImage(whole.data, ifA8R8G8B8));
        EXPECT_EQ(rows, whole.bits());
        ++formats;
    }
    EXPECT_GT(formats, 25);
}

}  // namespace
}  // namespace velto
