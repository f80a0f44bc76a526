// Portable maps: headers (comments, keywords, tuple names, float scales),
// MaxVal rescaling and its bounds, float maps stored bottom row first, the
// text writer's line breaks, round trips of every savable format in text and
// binary form, and headers that must be refused.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ClassicFormatsTestUtil.h"
#include "imaging/FormatPnm.h"

namespace velto {
namespace {

using namespace test;

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes BE32(std::initializer_list<float> values) {
    Bytes out;
    for (float f : values) {
        std::uint8_t b[4];
        std::memcpy(b, &f, 4);
        out.insert(out.end(), {b[3], b[2], b[1], b[0]});
    }
    return out;
}

struct PnmCase {
    const char* name;
    Bytes file;
    Outcome outcome;
    TImageFormat format;
    Bytes bits;
};

TEST(PortableMapLoad, Variants) {
    const PnmCase cases[] = {
        {"P2 MaxVal 15 spreads to 255", B("P2 2 1 15\n15 3\n"), Outcome::Loaded, ifGray8, {255, 51}},
        {"P5 MaxVal 255 kept", B("P5 2 1 255\n\x20\x09"), Outcome::Loaded, ifGray8, {32, 9}},
        {"comment between width and height", B("P5\n# c\n2 # d\n1\n255\n\x01\x02"), Outcome::Loaded, ifGray8, {1, 2}},
        {"P4 width 10 reads two bytes a row", B("P4 10 2\n\x80\x7F\xFF\xC0"), Outcome::Loaded, ifGray8,
         {0, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"P1 digits need no separators", B("P1 3 1\n1 01"), Outcome::Loaded, ifGray8, {0, 255, 0}},
        {"P3 colour order", B("P3 1 1 255 10 20 30"), Outcome::Loaded, ifR8G8B8, {30, 20, 10}},
        {"P6 16-bit big-endian", Cat(B("P6 1 1 65535\n"), {0x01, 0x02, 0x03, 0x04, 0x05, 0x06}), Outcome::Loaded,
         ifR16G16B16, W16({0x0506, 0x0304, 0x0102})},
        {"P5 MaxVal 1000 spreads to 16 bits", Cat(B("P5 1 1 1000\n"), {0x03, 0xE8}), Outcome::Loaded, ifGray16, W16({65535})},
        {"binary samples above MaxVal are clamped", B("P5 1 1 100\n\xC8"), Outcome::Loaded, ifGray8, {255}},
        {"P7 grey alpha", B("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 2\nMAXVAL 255\nTUPLTYPE grayscale_alpha\nENDHDR\n\x05\x06"),
         Outcome::Loaded, ifA8Gray8, {5, 6}},
        {"P7 black and white alpha scaled by 255",
         B("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 2\nMAXVAL 1\nTUPLTYPE BLACKANDWHITE_ALPHA\nENDHDR\n\x01\x01"), Outcome::Loaded,
         ifA8Gray8, {255, 255}},
        {"P7 RGB_ALPHA", B("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n\x01\x02\x03\x04"),
         Outcome::Loaded, ifA8R8G8B8, {3, 2, 1, 4}},
        {"P7 keyword in lower case", B("P7\nwidth 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\nTUPLTYPE GRAYSCALE\nENDHDR\n\x01"),
         Outcome::False, 0, {}},
        {"P7 depth not fitting the tuple type", B("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 3\nMAXVAL 255\nTUPLTYPE GRAYSCALE\nENDHDR\n\x01\x01\x01"),
         Outcome::False, 0, {}},
        {"P7 float tuple types are refused", B("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\nTUPLTYPE GRAYSCALEFP\nENDHDR\n\x01"),
         Outcome::False, 0, {}},
        {"Pf little-endian, bottom row first", Cat(B("Pf 1 2 -1.0\n"), F32({0.25f, 0.75f})), Outcome::Loaded, ifR32F,
         F32({0.75f, 0.25f})},
        {"Pf scale 1.0 is big-endian", Cat(B("Pf 1 1 1.0\n"), BE32({0.5f})), Outcome::Loaded, ifR32F, F32({0.5f})},
        {"PF colour gets alpha 1", Cat(B("PF 1 1 -1\n"), F32({0.1f, 0.2f, 0.3f})), Outcome::Loaded, ifA32B32G32R32F,
         F32({0.1f, 0.2f, 0.3f, 1.0f})},
        {"MaxVal 0", B("P5 1 1 0\n\x00"), Outcome::False, 0, {}},
        {"MaxVal 65536", B("P5 1 1 65536\n\x00\x00"), Outcome::False, 0, {}},
        {"P2 sample above 255", B("P2 1 1 255 256"), Outcome::Error, 0, {}},
        {"P1 sample 2", B("P1 1 1 2"), Outcome::Error, 0, {}},
        {"width zero", B("P5 0 1 255\n"), Outcome::False, 0, {}},
        {"negative height", B("P5 1 -1 255\n\x00"), Outcome::False, 0, {}},
        {"number that overflows", B("P5 99999999999 1 255\n\x00"), Outcome::Error, 0, {}},
        {"token that is no number", B("P5 1x 1 255\n\x00"), Outcome::Error, 0, {}},
        {"huge raster from a short file", B("P5 46000 46000 255\n\x00"), Outcome::Error, 0, {}},
        {"huge text raster from a short file", B("P2 46000 46000 255\n0 0 0"), Outcome::Error, 0, {}},
        {"binary raster cut short", B("P6 2 2 255\n\x01\x02\x03"), Outcome::Error, 0, {}},
    };
    for (const PnmCase& c : cases) {
        SCOPED_TRACE(c.name);
        Images images;
        TMemoryStream probe(c.file);
        TImageFileFormat* format = FindImageFileFormatByExt(DetectStreamFormat(probe));
        ASSERT_NE(format, nullptr);
        ASSERT_EQ(Load(*format, c.file, images), c.outcome);
        if (c.outcome != Outcome::Loaded) continue;
        EXPECT_EQ(images[0].Format, c.format);
        EXPECT_EQ(Bits(images[0]), c.bits);
    }
}

TEST(PortableMapLoad, DetectionAndStreamPosition) {
    // A binary sample that is white space right after the header is kept, and
    // the stream ends behind the raster.
    const Bytes one = B("P5 2 1 255\n\x0A\x20");
    const Bytes file = Cat(one, B("P5 1 1 255\n\x07"));
    TMemoryStream stream(file);
    EXPECT_EQ(DetectStreamFormat(stream), "pgm");
    TDynImageDataArray images;
    ASSERT_TRUE(TheFormat<TPGMFileFormat>().LoadFromStream(stream, images));
    EXPECT_EQ(Bits(images[0]), (Bytes{10, 32}));
    EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(one.size()));
    FreeImagesInArray(images);
    // Text maps give back what they did not use.
    const Bytes text = B("P2 1 1 255\n7\n");
    TMemoryStream s2(Cat(text, B("P5 1 1 255\n\x07")));
    ASSERT_TRUE(TheFormat<TPGMFileFormat>().LoadFromStream(s2, images));
    EXPECT_EQ(s2.Position(), static_cast<std::int64_t>(text.size()));
    FreeImagesInArray(images);
    for (const char* magic : {"P1 ", "P4\n", "P2\t", "P5\r", "P3 ", "P6 ", "P7\n", "PF ", "Pf "}) {
        SCOPED_TRACE(magic);
        TMemoryStream s(B(std::string(magic) + "1 1 1\n"));
        EXPECT_FALSE(DetectStreamFormat(s).empty());
    }
    TMemoryStream none(B("P8 1 1\n"));
    EXPECT_EQ(DetectStreamFormat(none), "");
}

TEST(PortableMapSave, HeadersAndTextLines) {
    Image white(20, 2, ifGray8, {255});
    {
        OptionScope text(ImagingPGMSaveBinary, 0);
        const Bytes file = Save(TheFormat<TPGMFileFormat>(), white.data);
        const std::string s(file.begin(), file.end());
        ASSERT_EQ(s.substr(0, 11), "P2\n20\n2\n255");
        const std::string firstLine = s.substr(11 + 1, s.find('\n', 12) - 12);
        EXPECT_EQ(firstLine.size(), 17u * 4) << "17 values of 4 characters a line";
    }
    Image rgb(2, 1, ifR8G8B8, {3, 2, 1});
    const Bytes p6 = Save(TheFormat<TPPMFileFormat>(), rgb.data);
    EXPECT_EQ(p6, Cat(B("P6\n2\n1\n255\n"), {1, 2, 3, 1, 2, 3}));
    {
        OptionScope text(ImagingPPMSaveBinary, 0);
        EXPECT_EQ(Save(TheFormat<TPPMFileFormat>(), rgb.data), B("P3\n2\n1\n255\n1 2 3 1 2 3 "));
    }
    Image argb(1, 1, ifA8R8G8B8, {3, 2, 1, 9});
    EXPECT_EQ(Save(TheFormat<TPAMFileFormat>(), argb.data),
              Cat(B("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n"), {1, 2, 3, 9}));
    EXPECT_EQ(Save(TheFormat<TPPMFileFormat>(), argb.data), Cat(B("P6\n1\n1\n255\n"), {1, 2, 3})) << "alpha dropped";
    const Bytes grey = Save(TheFormat<TPGMFileFormat>(), argb.data);
    EXPECT_EQ(std::string(grey.begin(), grey.begin() + 11), "P5\n1\n1\n255\n");
    // Float maps: little-endian, scale -1, bottom row first.
    Image floats(1, 2, ifR32F, F32({0.25f, 0.75f}));
    EXPECT_EQ(Save(TheFormat<TPFMFileFormat>(), floats.data), Cat(B("Pf\n1\n2\n-1\n"), F32({0.75f, 0.25f})));
    Image colour(1, 1, ifA8R8G8B8, {0, 0, 255, 255});
    const Bytes pf = Save(TheFormat<TPFMFileFormat>(), colour.data);
    EXPECT_EQ(Bytes(pf.begin(), pf.begin() + 10), B("PF\n1\n1\n-1\n"));
    EXPECT_EQ(Bytes(pf.begin() + 10, pf.end()), F32({1.0f, 0.0f, 0.0f}));
    bool ok = true;
    Save(TheFormat<TPBMFileFormat>(), white.data, &ok);
    EXPECT_FALSE(ok) << "bit maps are not saved";
}

struct PnmTrip {
    const char* name;
    TImageFormat format;
    int kind;  // 0 PGM, 1 PPM, 2 PAM, 3 PFM
    bool text;
};

class PortableMapRoundTrip : public ::testing::TestWithParam<PnmTrip> {};

TEST_P(PortableMapRoundTrip, PixelsComeBackExactly) {
    const PnmTrip& c = GetParam();
    TImageFileFormat* formats[] = {&TheFormat<TPGMFileFormat>(), &TheFormat<TPPMFileFormat>(),
                                   &TheFormat<TPAMFileFormat>(), &TheFormat<TPFMFileFormat>()};
    OptionScope pgm(ImagingPGMSaveBinary, c.text ? 0 : -1);
    OptionScope ppm(ImagingPPMSaveBinary, c.text ? 0 : -1);
    Image image(7, 5, c.format);
    FillPattern(image.data);
    if (c.format == ifR32F || c.format == ifA32B32G32R32F) {
        auto* f = reinterpret_cast<float*>(image.data.Bits);
        for (std::int32_t i = 0; i < image.data.Size / 4; ++i) f[i] = static_cast<float>(i) / 7.0f - 2.0f;
        if (c.format == ifA32B32G32R32F)
            for (std::int32_t i = 3; i < image.data.Size / 4; i += 4) f[i] = 1.0f;
    }
    bool ok = false;
    const Bytes file = Save(*formats[c.kind], image.data, &ok);
    ASSERT_TRUE(ok);
    Images back;
    ASSERT_EQ(Load(*formats[c.kind], file, back), Outcome::Loaded);
    EXPECT_EQ(back[0].Format, c.format);
    EXPECT_EQ(Bits(back[0]), Bits(image.data));
}

const PnmTrip kPnmTrips[] = {
    {"PGM_Gray8", ifGray8, 0, false},          {"PGM_Gray8_text", ifGray8, 0, true},
    {"PGM_Gray16", ifGray16, 0, false},        {"PGM_Gray16_text", ifGray16, 0, true},
    {"PPM_R8G8B8", ifR8G8B8, 1, false},        {"PPM_R8G8B8_text", ifR8G8B8, 1, true},
    {"PPM_R16G16B16", ifR16G16B16, 1, false},  {"PPM_R16G16B16_text", ifR16G16B16, 1, true},
    {"PAM_Gray8", ifGray8, 2, false},          {"PAM_A8Gray8", ifA8Gray8, 2, false},
    {"PAM_Gray16", ifGray16, 2, false},        {"PAM_A16Gray16", ifA16Gray16, 2, false},
    {"PAM_R8G8B8", ifR8G8B8, 2, false},        {"PAM_A8R8G8B8", ifA8R8G8B8, 2, false},
    {"PAM_R16G16B16", ifR16G16B16, 2, false},  {"PAM_A16R16G16B16", ifA16R16G16B16, 2, false},
    {"PFM_R32F", ifR32F, 3, false},            {"PFM_A32B32G32R32F", ifA32B32G32R32F, 3, false},
};
INSTANTIATE_TEST_SUITE_P(Formats, PortableMapRoundTrip, ::testing::ValuesIn(kPnmTrips),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velto
