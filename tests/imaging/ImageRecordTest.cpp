// The format table, the image record's routines, resampling, utilities,
// colour spaces and options.
#include <gtest/gtest.h>

#include <string>

#include "ImagingTestUtil.h"
#include "imaging/Colors.h"
#include "imaging/Formats.h"
#include "imaging/Options.h"
#include "imaging/Resample.h"
#include "imaging/Utility.h"

namespace velto {
namespace {

using test::Bytes;
using test::Image;
using test::W16;

TEST(FormatTable, SlotsAliasesAndSizes) {
    int formats = 0;
    for (TImageFormat id = 0; id < kFormatSlots; ++id)
        if (FormatInfo(id) && id != ifDefault) {
            ++formats;
            EXPECT_EQ(FormatInfo(id)->FormatId, id);
        }
    EXPECT_EQ(formats, 31);
    EXPECT_EQ(FormatInfo(ifDefault), FormatInfo(ifA8R8G8B8));
    for (const TImageFormat id : {0u, 2u, 9u, 11u, 39u, 46u, 79u, 94u, 169u, 176u, 219u, 224u, 225u, 226u, 1000u})
        EXPECT_FALSE(IsImageFormatValid(id)) << id;
    EXPECT_EQ(GetStdPixelsSize(ifR8G8B8, 3, 3), 27);
    EXPECT_EQ(GetStdPixelsSize(ifA32R32G32B32F, 1, 1), 16);
    EXPECT_THROW(GetStdPixelsSize(ifA32R32G32B32F, 65536, 65536), EImagingError);
    struct Block {
        TImageFormat f;
        std::int32_t size;
    };
    for (const Block b : {Block{ifDXT1, 32}, Block{ifDXT5, 64}, Block{ifBTC, 16}}) {
        std::int32_t w = 5, h = 5;
        FormatInfo(b.f)->CheckDimensions(b.f, w, h);
        EXPECT_EQ(w, 8);
        EXPECT_EQ(h, 8);
        EXPECT_EQ(FormatInfo(b.f)->GetPixelsSize(b.f, 5, 5), b.size) << GetFormatName(b.f);
    }
    const TBitFieldInfo& x1 = *FormatInfo(ifX1R5G5B5)->BitFields;
    EXPECT_EQ(x1.RMask, 0x7C00u);
    EXPECT_EQ(x1.GMask, 0x03E0u);
    EXPECT_EQ(x1.BMask, 0x001Fu);
    EXPECT_EQ(x1.AMask, 0u);
    EXPECT_EQ(x1.AMax, 1);
    EXPECT_EQ(FormatInfo(ifR5G6B5)->BitFields->RMask, 0xF800u);
    EXPECT_EQ(FormatInfo(ifR5G6B5)->BitFields->GMask, 0x07E0u);
    EXPECT_EQ(FormatInfo(ifA4R4G4B4)->BitFields->AMask, 0xF000u);
    for (const auto& [a, b] : {std::pair{90u, 92u}, {91u, 93u}, {171u, 172u}, {174u, 175u}}) {
        EXPECT_EQ(FormatInfo(a)->SwappedTwin, b);
        EXPECT_EQ(FormatInfo(b)->SwappedTwin, a);
    }
    EXPECT_EQ(GetFormatName(ifA16R16G16B16F), "A16R16G16B16F");
    EXPECT_EQ(GetFormatName(7), "Unknown and unsupported format");
    TImageFormatInfo info;
    info.BytesPerPixel = 99;
    EXPECT_FALSE(GetImageFormatInfo(7, info));
    EXPECT_EQ(info.BytesPerPixel, 0);
    EXPECT_TRUE(GetImageFormatInfo(ifDefault, info));
    EXPECT_EQ(info.FormatId, ifA8R8G8B8);
}

TEST(ImageRecord, NewTestFreeClone) {
    TImageData image;
    EXPECT_FALSE(NewImage(0, 5, ifR8G8B8, image));
    EXPECT_EQ(image.Bits, nullptr);
    EXPECT_EQ(image.Format, ifUnknown);
    EXPECT_TRUE(NewImage(2, 3, ifDefault, image));
    EXPECT_EQ(image.Format, ifA8R8G8B8);
    EXPECT_EQ(image.Size, 24);
    TImageData clone;
    ASSERT_TRUE(CloneImage(image, clone));
    EXPECT_NE(clone.Bits, image.Bits);
    EXPECT_EQ(clone.Size, 24);
    TImageData broken = image;
    broken.Size = 23;
    EXPECT_FALSE(TestImage(broken));
    EXPECT_FALSE(TestImage(TImageData{}));
    TDynImageDataArray images{image, clone};
    EXPECT_TRUE(TestImagesInArray(images));
    FreeImagesInArray(images);
    EXPECT_TRUE(images.empty());
    EXPECT_FALSE(TestImagesInArray(images));
    Image dxt(5, 5, ifDXT1);
    EXPECT_EQ(dxt->Width, 8);
    EXPECT_EQ(dxt->Size, 32);
}

TEST(ImageRecord, CallerErrorsRaiseInsteadOfStopping) {
    TImageData image;
    EXPECT_THROW(NewImage(-1, 5, ifR8G8B8, image), EImagingError);
    EXPECT_THROW(NewImage(5, 5, 7, image), EImagingError);
    Image ok(2, 2, ifR8G8B8);
    EXPECT_THROW(ConvertImage(ok.data, 7), EImagingError);
    EXPECT_THROW(SwapChannels(ok.data, 0, 4), EImagingError);
    EXPECT_THROW(ResizeImage(ok.data, 0, 1, rfNearest), EImagingError);
    const TColor32 pal[1] = {0};
    EXPECT_THROW(MapImageToPalette(ok.data, pal, 1), EImagingError);
    // The size check's overflow is reported with the routine's message.
    try {
        NewImage(70000, 70000, ifA8R8G8B8, image);
        FAIL();
    } catch (const EImagingError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Error while creating image data with params: Width=70000 Height=70000 "
                                              "Format=A8R8G8B8. Exception Message: ",
                                              0),
                  0u)
            << e.what();
    }
    // Routines answer false for an invalid image.
    TImageData invalid;
    EXPECT_FALSE(ConvertImage(invalid, ifR8G8B8));
    EXPECT_FALSE(FlipImage(invalid));
    EXPECT_FALSE(CloneImage(invalid, image));
}

TEST(ImageRecord, ErrorTextsKeepTheCauseVerbatim) {
    // The routine's message is formatted first; the cause (which may hold a
    // file name with "%s" or "%n") is appended as it is.
    try {
        try {
            throw EImagingError("File \"%s%n%d.jp2\" is not valid");
        } catch (...) {
            RaiseImagingError(ImagingFormat("Error while loading images from file \"%s\" (file format: %s).",
                                            "%s%n%d.jp2", "jp2"));
        }
    } catch (const EImagingError& e) {
        EXPECT_STREQ(e.what(),
                     "Error while loading images from file \"%s%n%d.jp2\" (file format: jp2). Exception Message: "
                     "File \"%s%n%d.jp2\" is not valid");
        return;
    }
    FAIL();
}

TEST(ImageRecord, ConvertInPlaceAndTwins) {
    Image same(2, 1, ifA8R8G8B8);
    const std::uint8_t* bits = same->Bits;
    ASSERT_TRUE(ConvertImage(same.data, ifA8R8G8B8));
    EXPECT_EQ(same->Bits, bits);
    Image twin(1, 1, ifR16G16B16, W16({1, 2, 3}));
    bits = twin->Bits;
    ASSERT_TRUE(ConvertImage(twin.data, ifB16G16R16));
    EXPECT_EQ(twin->Bits, bits) << "twins swap in place";
    EXPECT_EQ(twin.bits(), W16({3, 2, 1}));
    EXPECT_EQ(twin->Format, ifB16G16R16);
}

TEST(ImageRecord, FlipResizeSwap) {
    Image image(1, 3, ifGray8, {1, 2, 3});
    ASSERT_TRUE(FlipImage(image.data));
    EXPECT_EQ(image.bits(), Bytes({3, 2, 1}));
    EXPECT_FALSE(ResizeImage(image.data, 1, 3, rfBilinear)) << "same size: false, nothing done";
    EXPECT_EQ(image.bits(), Bytes({3, 2, 1}));
    ASSERT_TRUE(ResizeImage(image.data, 2, 6, rfNearest));
    EXPECT_EQ(image.bits(), Bytes({3, 3, 3, 3, 2, 2, 2, 2, 1, 1, 1, 1}));
    Image rgba(1, 1, ifA8R8G8B8, {1, 2, 3, 4});
    EXPECT_FALSE(SwapChannels(rgba.data, 2, 2));
    ASSERT_TRUE(SwapChannels(rgba.data, 0, 3));
    EXPECT_EQ(rgba.bits(), Bytes({4, 2, 3, 1}));
    Image ga(1, 1, ifA8Gray8, {10, 200});
    ASSERT_TRUE(SwapChannels(ga.data, 1, 3));
    EXPECT_EQ(ga.bits(), Bytes({200, 10}));
    Image idx(1, 1, ifIndex8);
    idx->Palette[0] = Color32(4, 3, 2, 1);
    ASSERT_TRUE(SwapChannels(idx.data, 0, 2));
    EXPECT_EQ(idx->Palette[0], Color32(4, 1, 2, 3));
    // Index8 keeps its palette when resized.
    idx->Palette[1] = 0x12345678u;
    ASSERT_TRUE(ResizeImage(idx.data, 3, 3, rfBicubic));
    EXPECT_EQ(idx->Palette[1], 0x12345678u);
}

TEST(ImageRecord, MapImageToPaletteTiesAndDistances) {
    Image image(2, 1, ifA8R8G8B8);
    SetPixel32(image.data, 0, 0, Color32(255, 128, 128, 128));
    SetPixel32(image.data, 1, 0, Color32(255, 100, 100, 100));
    const TColor32 bw[] = {Color32(255, 0, 0, 0), Color32(255, 255, 255, 255)};
    ASSERT_TRUE(MapImageToPalette(image.data, bw, 2));
    EXPECT_EQ(image->Format, ifIndex8);
    // 128 grey is nearer white (381) than black (384).
    EXPECT_EQ(image.bits(), Bytes({1, 0}));
    EXPECT_EQ(image->Palette[1], bw[1]);
    Image red(1, 1, ifR8G8B8, {0, 0, 101});
    const TColor32 pal[] = {Color32(255, 0, 0, 0), Color32(255, 255, 255, 255), Color32(255, 200, 0, 0),
                            Color32(255, 2, 0, 0)};
    ASSERT_TRUE(MapImageToPalette(red.data, pal, 4));
    EXPECT_EQ(red.bits(), Bytes({2})) << "99 from entries 2 and 3: the first wins";
    EXPECT_EQ(FindColor(pal, 4, pal[3]), 3);
    EXPECT_EQ(FindColor(pal, 4, Color32(255, 1, 0, 0)), 0);
    const TColor32 far[] = {Color32(255, 255, 255, 255), Color32(255, 255, 255, 255)};
    EXPECT_EQ(FindColor(far, 2, Color32(0, 0, 0, 0)), 0) << "a distance of 1020 is never taken";
}

TEST(ImageRecord, RectangleRoutines) {
    Image dst(4, 4, ifGray8);
    const std::uint8_t nine = 9;
    EXPECT_TRUE(FillRect(dst.data, 10, 10, 2, 2, &nine)) << "wholly outside: true, nothing drawn";
    EXPECT_EQ(dst.bits(), Bytes(16, 0));
    ASSERT_TRUE(FillRect(dst.data, -1, 3, 3, 5, &nine));
    EXPECT_EQ(dst.bits(), Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 9, 0, 0}));
    Image src(2, 2, ifA8R8G8B8, {1, 2, 3, 4});
    // A negative destination start shortens the copy and moves the source start.
    Image rgb(3, 3, ifR8G8B8);
    SetPixel32(src.data, 1, 1, Color32(255, 50, 60, 70));
    ASSERT_TRUE(CopyRect(src.data, 0, 0, 2, 2, rgb.data, -1, -1));
    EXPECT_EQ(GetPixel32(rgb.data, 0, 0), Color32(255, 50, 60, 70));
    EXPECT_EQ(GetPixel32(rgb.data, 1, 1), Color32(255, 0, 0, 0));
    EXPECT_FALSE(CopyRect(src.data, 0, 0, 2, 2, rgb.data, 5, 5));
    const std::uint8_t old3[3] = {70, 60, 50}, new3[3] = {1, 1, 1};
    ASSERT_TRUE(ReplaceColor(rgb.data, 0, 0, 3, 3, old3, new3));
    EXPECT_EQ(GetPixel32(rgb.data, 0, 0), Color32(255, 1, 1, 1));
    Image w16(3, 1, ifR5G6B5);
    const std::uint16_t value = 0xABCD;
    ASSERT_TRUE(FillRect(w16.data, 0, 0, 3, 1, &value));
    EXPECT_EQ(w16.bits(), W16({0xABCD, 0xABCD, 0xABCD}));
    Image w6(2, 1, ifR16G16B16);
    const Bytes six = W16({1, 2, 3});
    ASSERT_TRUE(FillRect(w6.data, 0, 0, 2, 1, six.data()));
    EXPECT_EQ(w6.bits(), W16({1, 2, 3, 1, 2, 3}));
}

TEST(ImageRecord, DescribeImageAndPalettes) {
    Image small(2048, 1, ifA8R8G8B8);
    EXPECT_NE(DescribeImage(small.data).find("Size = 8,192 B,"), std::string::npos) << DescribeImage(small.data);
    Image large(8193, 1, ifGray8);
    EXPECT_NE(DescribeImage(large.data).find("Size = 8 KiB,"), std::string::npos);
    EXPECT_NE(DescribeImage(TImageData{}).find("Access violation encountered"), std::string::npos);
    TColor32 pal[8];
    FillGrayscalePalette(pal, 8);
    EXPECT_EQ(pal[5], Color32(255, 5, 5, 5));
    FillCustomPalette(pal, 8, 1, 1, 1, 200);
    EXPECT_EQ(pal[0], Color32(200, 0, 0, 0));
    EXPECT_EQ(pal[7], Color32(200, 255, 255, 255));
    // Green is taken from the index shifted by max(0, blue bits - 1): here the
    // fields overlap, as the rule gives.
    EXPECT_EQ(pal[1], Color32(200, 0, 255, 255));
    SwapChannelsOfPalette(pal, 8, 0, 3);
    EXPECT_EQ(pal[1], Color32(255, 0, 255, 200));
}

// Resampling

TEST(Resampling, NearestStepsAndContributors) {
    Image row(2, 1, ifGray8, {10, 20});
    Image wide(5, 1, ifGray8);
    StretchNearest(row.data, 0, 0, 2, 1, wide.data, 0, 0, 5, 1);
    EXPECT_EQ(wide.bits(), Bytes({10, 10, 10, 20, 20}));
    const TContributorTable t = BuildContributors(0, 4, 0, 2, 2, FilterFunction(1), FilterRadius(1), false);
    ASSERT_EQ(t.size(), 4u);
    float sum = 0;
    for (const TContributor& c : t[0]) sum += c.Weight;
    EXPECT_FLOAT_EQ(sum, 1.0f);
    for (const TContributor& c : t[0]) EXPECT_EQ(c.Pos, 0) << "clamped contributors of the first pixel";
    std::int32_t lo, hi;
    FindMinMaxPosition(t, lo, hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 1);
    EXPECT_TRUE(BuildContributors(0, 0, 0, 5, 5, FilterFunction(1), 1.0f, false).empty());
}

TEST(Resampling, FiltersOnByteAndFloatPaths) {
    struct Row {
        const char* name;
        TImageFormat format;
        Bytes src;
        std::int32_t srcW, dstW;
        TResizeFilter filter;
        Bytes expected;
    };
    const Row rows[] = {
        {"enlargeFirstPixelKept", ifGray8, {0, 100}, 2, 4, rfBilinear, {0, 25, 75, 100}},
        {"halfRoundsToEven", ifGray8, {2, 3}, 2, 3, rfBilinear, {2, 2, 3}},
        {"onePixelRepeats", ifGray8, {77}, 1, 4, rfBicubic, {77, 77, 77, 77}},
        {"overshootClampedBytes", ifGray8, {0, 0, 255, 255}, 4, 8, rfBicubic, {0, 0, 0, 52, 203, 255, 255, 255}},
        {"reduceRoundsHalfToEven", ifGray8, {0, 100, 200, 100}, 4, 2, rfBilinear, {62, 138}},
        {"indexedUsesNearest", ifIndex8, {1, 2}, 2, 4, rfBicubic, {1, 1, 2, 2}},
        {"floatPathClampsOnWrite", ifGray16, W16({0, 0, 65535, 65535}), 4, 8, rfBicubic,
         W16({0, 0, 0, 13312, 52223, 65535, 65535, 65535})},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Image src(r.srcW, 1, r.format, r.src);
        Image dst(r.dstW, 1, r.format);
        ASSERT_TRUE(StretchRect(src.data, 0, 0, r.srcW, 1, dst.data, 0, 0, r.dstW, 1, r.filter));
        EXPECT_EQ(dst.bits(), r.expected);
    }
    // Catmull-Rom overshoot reaches SetPixelFP unclamped on the float path.
    Image f(4, 1, ifA32R32G32B32F);
    for (int x = 0; x < 4; ++x) SetPixelFP(f.data, x, 0, {0, 0, x < 2 ? 0.0f : 1.0f, 1.0f});
    Image g(8, 1, ifA32R32G32B32F);
    ASSERT_TRUE(StretchRect(f.data, 0, 0, 4, 1, g.data, 0, 0, 8, 1, rfBicubic));
    EXPECT_LT(GetPixelFP(g.data, 2, 0).R, 0.0f);
    EXPECT_GT(GetPixelFP(g.data, 5, 0).R, 1.0f);
}

TEST(Resampling, KernelsAtKnownPoints) {
    struct Row {
        int index;
        float x, weight;
    };
    const Row rows[] = {{0, 0.5f, 1.0f},  {0, -0.5f, 0.0f}, {1, 0.25f, 0.75f}, {2, 0.5f, 0.5f},   {3, 0.5f, 0.5f},
                        {4, 0.0f, 0.75f}, {4, 1.0f, 0.125f}, {6, 0.0f, 2.0f / 3}, {6, 1.0f, 1.0f / 6}, {7, 0.0f, 1.0f},
                        {7, 1.0f, 0.0f},  {8, 0.0f, 16.0f / 18}, {8, 1.0f, 1.0f / 18}, {9, 0.0f, 1.0f}, {9, 1.0f, 0.0f},
                        {9, 1.5f, -0.0625f}, {9, 2.0f, 0.0f}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "kernel " << r.index << " at " << r.x);
        EXPECT_NEAR(FilterFunction(r.index)(r.x), r.weight, 1e-6f);
    }
    EXPECT_NEAR(FilterFunction(5)(0.0f), 0.7978846f, 1e-6f);
    EXPECT_EQ(FilterRadius(7), 3.0f);
}

// Utilities

TEST(Utility, MasksExtensionsCrc) {
    struct Row {
        const char* name;
        const char* mask;
        bool caseSensitive, match;
    };
    const Row rows[] = {{"IMAGE.PNG", "*.png", false, true}, {"IMAGE.PNG", "*.png", true, false},
                        {"a.b.c", "*.c", false, true},        {"abc", "a?", false, false},
                        {"texture.012", "texture.*", false, true}, {"x", "", false, true},
                        {"ab", "a*?", false, true},           {"a", "a*?", false, true},
                        {"photo.jpeg", "*.jp*g", false, true}, {"photo.jpe", "*.jp*g", false, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.name) + " ~ " + r.mask);
        EXPECT_EQ(MatchFileNameMask(r.name, r.mask, r.caseSensitive), r.match);
    }
    EXPECT_EQ(GetFileExt("a.png"), "png");
    EXPECT_EQ(GetFileExt("noext"), "");
    EXPECT_EQ(GetFileExt("."), ".");
    std::uint32_t crc = 0xFFFFFFFFu;
    UpdateCrc32(crc, "abc", 3);
    EXPECT_EQ(crc ^ 0xFFFFFFFFu, 0x352441C2u);
    std::uint8_t buf[7] = {};
    FillMemoryWord(buf, 7, 0x0201);
    EXPECT_EQ(Bytes(buf, buf + 7), Bytes({1, 2, 1, 2, 1, 2, 1}));
    std::uint16_t w[2] = {0x0102, 0x0304};
    SwapEndianWords(w, 2);
    EXPECT_EQ(w[1], 0x0403);
    std::uint32_t l = 0x01020304;
    SwapEndianLongWords(&l, 1);
    EXPECT_EQ(l, 0x04030201u);
    EXPECT_EQ(GetNumMipMapLevels(8, 2), 4);
    EXPECT_EQ(GetNumMipMapLevels(0, 2), 0);
    EXPECT_EQ(GetVolumeLevelCount(4, 4), 4 + 2 + 1 + 1);
}

TEST(Utility, Clipping) {
    std::int32_t x = -3, y = 5, w = 10, h = 10;
    ClipRectBounds(x, y, w, h, Rect(0, 0, 8, 8));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 5);
    EXPECT_EQ(w, 7);
    EXPECT_EQ(h, 3);
    std::int32_t sx = 0, sy = -2, cw = 5, ch = 5, dx = -1, dy = 0;
    ClipCopyBounds(sx, sy, cw, ch, dx, dy, 4, 4, Rect(0, 0, 10, 10));
    EXPECT_EQ(sx, 1);
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(cw, 3) << "cut by the source width";
    EXPECT_EQ(sy, 0);
    EXPECT_EQ(dy, 2);
    EXPECT_EQ(ch, 3);
    std::int32_t ssx = 0, ssy = 0, ssw = 10, ssh = 10, ddx = -10, ddy = 0, ddw = 20, ddh = 20;
    ClipStretchBounds(ssx, ssy, ssw, ssh, ddx, ddy, ddw, ddh, 10, 10, Rect(0, 0, 15, 15));
    EXPECT_EQ(ddx, 0);
    EXPECT_EQ(ssx, 5);
    EXPECT_EQ(ddw, 10);
    EXPECT_EQ(ssw, 5);
    EXPECT_EQ(ddh, 15);
    EXPECT_EQ(ssh, 8);
    const TRect fit = ScaleRectToRect(Rect(0, 0, 200, 100), Rect(10, 10, 110, 110));
    EXPECT_EQ(fit.Left, 10);
    EXPECT_EQ(fit.Top, 35);
    EXPECT_EQ(fit.Right, 110);
    EXPECT_EQ(fit.Bottom, 85);
    const TRect tall = ScaleRectToRect(Rect(0, 0, 50, 100), Rect(0, 0, 100, 100));
    EXPECT_EQ(tall.Left, 25);
    EXPECT_EQ(tall.Right, 75);
}

TEST(ColourSpaces, YCbCrAndCMYK) {
    std::uint8_t r, g, b;
    YCbCrToRGB(128, 128, 128, r, g, b);
    EXPECT_EQ((Bytes{r, g, b}), (Bytes{128, 128, 128}));
    YCbCrToRGB(255, 128, 255, r, g, b);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(b, 255);
    EXPECT_EQ(g, 164);
    std::uint16_t r16, g16, b16;
    YCbCrToRGB16(0, 32768, 65535, r16, g16, b16);
    EXPECT_EQ(r16, 45939);
    EXPECT_EQ(b16, 0);
    CMYKToRGB(0, 0, 0, 0, r, g, b);
    EXPECT_EQ((Bytes{r, g, b}), (Bytes{255, 255, 255}));
    CMYKToRGB(0, 0, 0, 255, r, g, b);
    EXPECT_EQ((Bytes{r, g, b}), (Bytes{0, 0, 0}));
    CMYKToRGB(255, 0, 0, 0, r, g, b);
    EXPECT_EQ((Bytes{r, g, b}), (Bytes{0, 255, 255}));
    CMYKToRGB16(0, 65535, 0, 32768, r16, g16, b16);
    EXPECT_EQ(r16, 32767);
    EXPECT_EQ(g16, 0);
}

// Options

TEST(Options, ClampsRegistrationAndStack) {
    ASSERT_TRUE(PushOptions());
    EXPECT_EQ(GetOption(ImagingColorReductionMask), 255);
    struct Row {
        std::int32_t id, value, stored;
    };
    for (const Row r : {Row{128, 300, 255}, Row{128, -5, 0}, Row{131, -4, 0}, Row{131, 12, 9}, Row{129, 7, 0},
                        Row{129, 87, 87}, Row{130, 226, 0}, Row{130, 1, 1}}) {
        SCOPED_TRACE(testing::Message() << r.id << " := " << r.value);
        EXPECT_TRUE(SetOption(r.id, r.value));
        EXPECT_EQ(GetOption(r.id), r.stored);
    }
    ASSERT_TRUE(PopOptions());
    EXPECT_EQ(GetOption(ImagingLoadOverrideFormat), 0);
    EXPECT_EQ(GetOption(1000), InvalidOption);
    EXPECT_FALSE(SetOption(1000, 1));
    EXPECT_FALSE(SetOption(-1, 1));
    EXPECT_EQ(GetOption(55), 80) << "the JPEG 2000 format registers its options at start-up";
    ASSERT_TRUE(SetOption(55, 500));
    EXPECT_EQ(GetOption(55), 500) << "format options are not clamped";
    ASSERT_TRUE(SetOption(55, 80));

    static std::int32_t variable = 3;
    const std::int32_t before = OptionTableLength();
    ASSERT_GE(before, 256);
    EXPECT_TRUE(RegisterOption(before + 44, &variable));
    EXPECT_EQ(OptionTableLength(), before + 44 + 256);
    EXPECT_FALSE(RegisterOption(before + 44, &variable));
    EXPECT_FALSE(RegisterOption(-2, &variable));
    EXPECT_EQ(GetOption(before + 44), 3);

    for (int i = 0; i < 8; ++i) ASSERT_TRUE(PushOptions()) << i;
    EXPECT_FALSE(PushOptions());
    ASSERT_TRUE(SetOption(55, 17));
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(PopOptions()) << i;
    EXPECT_FALSE(PopOptions());
    EXPECT_EQ(GetOption(55), 80);
}

}  // namespace
}  // namespace velto
