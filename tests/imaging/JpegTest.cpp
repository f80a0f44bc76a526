// JPEG: content test, the pixel format of each colour space, saving at the
// quality options, the stream left behind the data, cut files, fatal codec
// errors ending in EImagingError, the scan limit of progressive files, and
// decoding at a reduced scale.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "Formats2TestUtil.h"
#include "imaging/FormatJpeg.h"
#include "imaging/Formats.h"
#include "imaging/Options.h"

namespace velto {
namespace {

using test::Bytes;
using test::Image;
using test::Images;

TJpegFileFormat& Jpeg() { return test::FormatObject<TJpegFileFormat>(); }

Bytes Save(const TImageData& image) { return test::SaveBytes(Jpeg(), {image}); }

// A CMYK JPEG written by libjpeg directly: the stored bytes are the inverted
// inks, as Adobe's files hold them.
Bytes CmykJpeg(std::uint8_t c, std::uint8_t m, std::uint8_t y, std::uint8_t k) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = 8;
    cinfo.image_height = 8;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::uint8_t row[32];
    for (int x = 0; x < 8; ++x) {
        row[4 * x] = static_cast<std::uint8_t>(255 - c);
        row[4 * x + 1] = static_cast<std::uint8_t>(255 - m);
        row[4 * x + 2] = static_cast<std::uint8_t>(255 - y);
        row[4 * x + 3] = static_cast<std::uint8_t>(255 - k);
    }
    while (cinfo.next_scanline < 8) {
        JSAMPROW r = row;
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes bytes(out, out + size);
    std::free(out);
    return bytes;
}

// An A8R8G8B8 image of smooth colours, converted to `format`.
void Gradient(Image& image, TImageFormat format) {
    test::FillPhotoLike(image.data, 7);
    ConvertImage(image.data, format);
}

bool HasMarker(const Bytes& b, std::uint8_t marker) {
    for (std::size_t i = 0; i + 1 < b.size(); ++i)
        if (b[i] == 0xFF && b[i + 1] == marker) return true;
    return false;
}

TEST(Jpeg, ContentTestNeedsTenBytes) {
    TMemoryStream nine(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I'});
    EXPECT_FALSE(Jpeg().TestFormat(StreamIO(), &nine));
    EXPECT_EQ(nine.Position(), 0);
    TMemoryStream ten(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F'});
    EXPECT_TRUE(Jpeg().TestFormat(StreamIO(), &ten));
    EXPECT_EQ(ten.Position(), 0);
}

TEST(Jpeg, ColourSpacesGiveTheirFormats) {
    struct Case {
        const char* name;
        Bytes file;
        TImageFormat format;
        TColor32 pixel;  // pixel (0, 0) after conversion to A8R8G8B8; 0 = not checked
    };
    Image grey(16, 16, ifA8R8G8B8);
    Gradient(grey, ifGray8);
    Image rgb(16, 16, ifA8R8G8B8);
    Gradient(rgb, ifR8G8B8);
    const Case cases[] = {
        {"grey", Save(grey.data), ifGray8, 0},
        {"YCbCr", Save(rgb.data), ifR8G8B8, 0},
        // Inks 0 with no black: white; full cyan: 0, 255, 255 (the ink formula of the colour spaces).
        {"CMYK white", CmykJpeg(0, 0, 0, 0), ifA8R8G8B8, Color32(255, 255, 255, 255)},
        {"CMYK cyan", CmykJpeg(255, 0, 0, 0), ifA8R8G8B8, Color32(255, 0, 255, 255)},
        {"CMYK half black", CmykJpeg(0, 0, 0, 128), ifA8R8G8B8, Color32(255, 127, 127, 127)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Images images;
        ASSERT_TRUE(test::LoadBytes(Jpeg(), c.file, images));
        ASSERT_EQ(images.size(), 1u);
        EXPECT_EQ(images[0].Format, c.format);
        EXPECT_EQ(images[0].Width, c.name[0] == 'C' ? 8 : 16);
        if (c.pixel) {
            ConvertImage(images[0], ifA8R8G8B8);
            const TColor32 p = test::Pixel32(images[0], 3, 3);
            for (int shift = 0; shift < 32; shift += 8)
                EXPECT_NEAR(int((p >> shift) & 255), int((c.pixel >> shift) & 255), 2) << "byte " << shift / 8;
        }
    }
}

TEST(Jpeg, SavesAtTheQualityOptions) {
    Image rgb(32, 24, ifA8R8G8B8);
    Gradient(rgb, ifR8G8B8);
    PushOptions();
    SetOption(ImagingJpegQuality, 90);
    SetOption(ImagingJpegProgressive, 0);
    const Bytes at90 = Save(rgb.data);
    for (const std::int32_t bad : {0, 101, -5}) {
        SCOPED_TRACE(bad);
        SetOption(ImagingJpegQuality, bad);
        EXPECT_EQ(Save(rgb.data), at90) << "out of range saves at 90";
        EXPECT_EQ(GetOption(ImagingJpegQuality), 90);
    }
    SetOption(ImagingJpegQuality, 20);
    EXPECT_LT(Save(rgb.data).size(), at90.size());
    EXPECT_FALSE(HasMarker(at90, 0xC2)) << "baseline";
    SetOption(ImagingJpegProgressive, -1);
    EXPECT_TRUE(HasMarker(Save(rgb.data), 0xC2)) << "progressive frame marker";
    PopOptions();

    // A8R8G8B8 saves a copy without alpha; Gray8 saves one component.
    Image argb(16, 8, ifA8R8G8B8);
    Gradient(argb, ifA8R8G8B8);
    Images back;
    ASSERT_TRUE(test::LoadBytes(Jpeg(), Save(argb.data), back));
    EXPECT_EQ(back[0].Format, ifR8G8B8);
    EXPECT_EQ(argb.data.Format, ifA8R8G8B8) << "the caller's image is untouched";
    Image grey(16, 8, ifA8R8G8B8);
    Gradient(grey, ifGray8);
    const Bytes g = Save(grey.data);
    ASSERT_TRUE(test::LoadBytes(Jpeg(), g, back));
    EXPECT_EQ(back[0].Format, ifGray8);
    // Quality 100 keeps a smooth grey image within a few levels.
    PushOptions();
    SetOption(ImagingJpegQuality, 100);
    ASSERT_TRUE(test::LoadBytes(Jpeg(), Save(grey.data), back));
    PopOptions();
    for (std::int32_t i = 0; i < grey.data.Size; ++i) ASSERT_NEAR(back[0].Bits[i], grey.data.Bits[i], 6) << i;
}

TEST(Jpeg, StreamPositionAndCutFiles) {
    Image rgb(40, 40, ifA8R8G8B8);
    Gradient(rgb, ifR8G8B8);
    Bytes file = Save(rgb.data);
    const std::size_t length = file.size();
    // Junk behind the data (larger than the codec's buffer): the stream stops right after the image.
    Bytes withTail = file;
    withTail.insert(withTail.end(), 20000, 0x5A);
    TMemoryStream stream(withTail);
    Images images;
    ASSERT_TRUE(Jpeg().LoadFromStream(stream, images.list));
    EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(length));

    // A cut file decodes as far as it goes.
    Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length * 2 / 3));
    ASSERT_TRUE(test::LoadBytes(Jpeg(), cut, images));
    EXPECT_EQ(images[0].Width, 40);
}

TEST(Jpeg, FatalCodecErrorsRaise) {
    struct Case {
        const char* name;
        Bytes file;
    };
    Image rgb(16, 16, ifA8R8G8B8);
    Gradient(rgb, ifR8G8B8);
    Bytes corrupt = Save(rgb.data);
    // A frame header claiming 0 x 0 pixels.
    for (std::size_t i = 0; i + 9 < corrupt.size(); ++i)
        if (corrupt[i] == 0xFF && corrupt[i + 1] == 0xC0) {
            corrupt[i + 5] = corrupt[i + 6] = corrupt[i + 7] = corrupt[i + 8] = 0;
            break;
        }
    const Case cases[] = {
        {"no markers after SOI", Bytes{0xFF, 0xD8, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"SOI then end of image", Bytes{0xFF, 0xD8, 0xFF, 0xD9, 0, 0, 0, 0, 0, 0}},
        {"empty frame", corrupt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Images images;
        std::string error;
        EXPECT_FALSE(test::LoadBytes(Jpeg(), c.file, images, &error));
        EXPECT_NE(error.find("JPEG error"), std::string::npos) << error;
        EXPECT_EQ(images.size(), 0u);
    }
}

TEST(Jpeg, ProgressiveScansAreLimited) {
    Image rgb(16, 16, ifA8R8G8B8);
    Gradient(rgb, ifR8G8B8);
    PushOptions();
    SetOption(ImagingJpegProgressive, -1);
    const Bytes progressive = Save(rgb.data);
    PopOptions();
    Images images;
    ASSERT_TRUE(test::LoadBytes(Jpeg(), progressive, images));
    const std::uint32_t saved = ImagingLimits().jpegScans;
    ImagingLimits().jpegScans = 3;
    std::string error;
    EXPECT_FALSE(test::LoadBytes(Jpeg(), progressive, images, &error));
    EXPECT_NE(error.find("more scans"), std::string::npos) << error;
    ImagingLimits().jpegScans = saved;
}

TEST(Jpeg, DecodeBudgetBoundsTheImage) {
    Image rgb(64, 64, ifA8R8G8B8);
    Gradient(rgb, ifR8G8B8);
    const Bytes file = Save(rgb.data);
    const std::uint64_t saved = ImagingLimits().imageBytes;
    ImagingLimits().imageBytes = 64 * 64 * 3 - 1;
    Images images;
    std::string error;
    EXPECT_FALSE(test::LoadBytes(Jpeg(), file, images, &error));
    EXPECT_NE(error.find("budget"), std::string::npos) << error;
    ImagingLimits().imageBytes = saved;
}

TEST(Jpeg, ScaledDecodesAtTheDenominatorAskedFor) {
    // 41 x 23 of smooth colours, baseline and progressive, grey and colour.
    Image rgb(41, 23, ifA8R8G8B8);
    Gradient(rgb, ifR8G8B8);
    Image grey(41, 23, ifA8R8G8B8);
    Gradient(grey, ifGray8);
    const Bytes baseline = Save(rgb.data);
    PushOptions();
    SetOption(ImagingJpegProgressive, -1);
    const Bytes progressive = Save(rgb.data);
    PopOptions();
    Images full;
    ASSERT_TRUE(test::LoadBytes(Jpeg(), baseline, full));
    for (const Bytes* file : {&baseline, &progressive, static_cast<const Bytes*>(nullptr)}) {
        const Bytes bytes = file ? *file : Save(grey.data);
        for (const int asked : {1, 2, 3, 4, 8, 16, 0, -2}) {
            SCOPED_TRACE(testing::Message() << "asked 1/" << asked);
            TPrivateJpegFileFormat jpeg;
            int width = 0, height = 0;
            jpeg.ScaleDenominator = [&](std::int32_t w, std::int32_t h) {
                width = w;
                height = h;
                return asked;
            };
            Images images;
            ASSERT_TRUE(test::LoadBytes(jpeg, bytes, images));
            // Asked with the full size; a denominator libjpeg has no
            // scaled decode of here means full size. Sizes round up.
            EXPECT_EQ(width, 41);
            EXPECT_EQ(height, 23);
            const int n = asked == 2 || asked == 4 || asked == 8 ? asked : 1;
            ASSERT_EQ(images[0].Width, (41 + n - 1) / n);
            ASSERT_EQ(images[0].Height, (23 + n - 1) / n);
            if (file != &baseline || n != 2) continue;
            // Each pixel of a half-size decode is near the average of its 2 x 2 block.
            for (int y = 0; y + 1 < 11; ++y)
                for (int x = 0; x + 1 < 20; ++x)
                    for (int c = 0; c < 3; ++c) {
                        int sum = 0;
                        for (int k = 0; k < 4; ++k)
                            sum += full[0].Bits[((2 * y + k / 2) * 41 + 2 * x + k % 2) * 3 + c];
                        ASSERT_NEAR(images[0].Bits[(y * 21 + x) * 3 + c], sum / 4, 12) << x << "," << y;
                    }
        }
    }
}

}  // namespace
}  // namespace velto
