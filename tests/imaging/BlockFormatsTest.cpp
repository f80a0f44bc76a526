// Block codecs: decoding of hand-made blocks, the encoder's endpoint, mode and
// index choices, and conversions through ConvertImage (stretching to whole
// blocks, decoding before converting to another class).
#include <gtest/gtest.h>

#include <cmath>

#include "Formats2TestUtil.h"
#include "imaging/BlockFormats.h"
#include "imaging/Formats.h"

namespace velto {
namespace {

using test::Bytes;
using test::Image;
using test::W16;
using test::W32;

struct DecodeCase {
    const char* name;
    TImageFormat format;
    Bytes block;
    // Pixels k = 0 and k = 15 (and one chosen pixel) as A, R, G, B.
    std::size_t k;
    TColor32 expected;
};

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(BlockFormats, DecodesBlocks) {
    const DecodeCase cases[] = {
        // c0 = 0, c1 = 0xFFFF: three-colour mode; index 3 keeps its colour (170) with alpha 0.
        {"dxt1 transparent entry keeps colour", ifDXT1, Cat({W16({0x0000, 0xFFFF}), W32({0xFFFFFFFF})}), 5,
         Color32(0, 170, 170, 170)},
        {"dxt1 equal endpoints are three-colour", ifDXT1, Cat({W16({0xF800, 0xF800}), W32({0xAAAAAAAA})}), 0,
         Color32(255, 255, 0, 0)},
        {"dxt1 three-colour middle is the plain average", ifDXT1, Cat({W16({0x0000, 0xFFFF}), W32({0xAAAAAAAA})}), 3,
         Color32(255, 127, 127, 127)},
        {"dxt1 three-colour index 2", ifDXT1, Cat({W16({0x001F, 0xF800}), W32({0xAAAAAAAA})}), 9,
         Color32(255, 127, 0, 127)},
        {"dxt1 four-colour index 2 is two thirds c0", ifDXT1, Cat({W16({0xFFFF, 0x0000}), W32({0xAAAAAAAA})}), 4,
         Color32(255, 170, 170, 170)},
        {"dxt1 four-colour index 3", ifDXT1, Cat({W16({0xFFFF, 0x0000}), W32({0xFFFFFFFF})}), 4, Color32(255, 85, 85, 85)},
        {"dxt3 alpha nibble of row 1 column 2", ifDXT3,
         Cat({W16({0x0000, 0x0A00, 0x0000, 0x0000}), W16({0xFFFF, 0x0000}), W32({0})}), 6, Color32(170, 255, 255, 255)},
        {"dxt3 colour is four-colour even when c0 <= c1", ifDXT3,
         Cat({W16({0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}), W16({0x0000, 0xFFFF}), W32({0xFFFFFFFF})}), 0,
         Color32(255, 170, 170, 170)},
        {"dxt5 equal alphas index 6 is 0", ifDXT5,
         Cat({Bytes{200, 200, 6, 0, 0, 0, 0, 0}, W16({0, 0}), W32({0})}), 0, Color32(0, 0, 0, 0)},
        {"dxt5 equal alphas index 7 is 255", ifDXT5,
         Cat({Bytes{200, 200, 7, 0, 0, 0, 0, 0}, W16({0, 0}), W32({0})}), 0, Color32(255, 0, 0, 0)},
        {"dxt5 equal alphas index 2 interpolates over five", ifDXT5,
         Cat({Bytes{200, 200, 2, 0, 0, 0, 0, 0}, W16({0, 0}), W32({0})}), 0, Color32(200, 0, 0, 0)},
        {"dxt5 eight values index 2", ifDXT5, Cat({Bytes{255, 0, 0, 0, 0, 0x02, 0, 0}, W16({0, 0}), W32({0})}), 8,
         Color32(219, 0, 0, 0)},
        {"dxt5 eight values index 7 of pixel 15", ifDXT5,
         Cat({Bytes{255, 0, 0, 0, 0, 0, 0, 0xE0}, W16({0, 0}), W32({0})}), 15, Color32(36, 0, 0, 0)},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        Image blocks(4, 4, c.format, c.block);
        ASSERT_TRUE(ConvertImage(blocks.data, ifA8R8G8B8));
        EXPECT_EQ(test::Pixel32(blocks.data, std::int32_t(c.k % 4), std::int32_t(c.k / 4)), c.expected);
    }
}

TEST(BlockFormats, BtcDecodesMaskAndEncodesMeans) {
    // Low 10, high 200; mask bit k set -> high.
    Image btc(4, 4, ifBTC, Cat({Bytes{10, 200}, W16({0x8001})}));
    ASSERT_TRUE(ConvertImage(btc.data, ifGray8));
    EXPECT_EQ(btc.data.Bits[0], 200);
    EXPECT_EQ(btc.data.Bits[1], 10);
    EXPECT_EQ(btc.data.Bits[15], 200);

    struct Case {
        const char* name;
        Bytes grey;  // 16 values
        Bytes block;
    };
    const Case cases[] = {
        {"uniform block: low is the value, high 0, mask 0", Bytes(16, 100), Cat({Bytes{100, 0}, W16({0})})},
        {"two levels", Cat({Bytes(8, 20), Bytes(8, 220)}), Cat({Bytes{20, 220}, W16({0xFF00})})},
        {"means are truncated", Cat({Bytes{0, 1}, Bytes(7, 0), Bytes{9, 10}, Bytes(5, 0)}),
         Cat({Bytes{0, 9}, W16({0x0600})})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint8_t out[4] = {};
        EncodeBTC(c.grey.data(), out, 4, 4);
        EXPECT_EQ(Bytes(out, out + 4), c.block);
    }
}

// The 16 pixels of one 4x4 block as B, G, R, A.
Bytes BlockOf(std::initializer_list<TColor32> colors) {
    Bytes out;
    for (const TColor32 c : colors) out.insert(out.end(), {Color32B(c), Color32G(c), Color32R(c), Color32A(c)});
    while (out.size() < 64) out.insert(out.end(), out.end() - 4, out.end());
    return out;
}

TEST(BlockFormats, EncoderChoosesEndpointsModesAndIndices) {
    std::uint8_t out[16] = {};
    // A uniform block takes pixels 0 and 1 as endpoints: both the same word.
    const Bytes red = BlockOf({Color32(255, 255, 0, 0)});
    EncodeDXT1(red.data(), out, 4, 4);
    EXPECT_EQ(Bytes(out, out + 8), Cat({W16({0xF800, 0xF800}), W32({0})}));

    // The farthest pair wins; four-colour mode orders c0 >= c1.
    Bytes ramp;
    for (int k = 0; k < 16; ++k) {
        const auto v = static_cast<std::uint8_t>(k * 17);
        ramp.insert(ramp.end(), {v, v, v, 255});
    }
    EncodeDXT1(ramp.data(), out, 4, 4);
    EXPECT_EQ(out[0] | out[1] << 8, 0xFFFF);
    EXPECT_EQ(out[2] | out[3] << 8, 0x0000);
    const std::uint32_t idx = out[4] | out[5] << 8 | out[6] << 16 | std::uint32_t(out[7]) << 24;
    EXPECT_EQ(idx & 3, 1u) << "black is c1";
    EXPECT_EQ(idx >> 30, 0u) << "white is c0";
    EXPECT_EQ((idx >> 10) & 3, 3u) << "85 is the third colour";

    // Any alpha below 128: three-colour mode (c0 <= c1), those pixels index 3.
    Bytes holes = ramp;
    holes[3] = 0;
    holes[7] = 127;
    EncodeDXT1(holes.data(), out, 4, 4);
    EXPECT_LE(out[0] | out[1] << 8, out[2] | out[3] << 8);
    const std::uint32_t idx3 = out[4] | out[5] << 8 | out[6] << 16 | std::uint32_t(out[7]) << 24;
    EXPECT_EQ(idx3 & 15, 15u);
    EXPECT_NE((idx3 >> 4) & 3, 3u) << "an opaque pixel never takes the transparent entry";

    // DXT5 alpha endpoints are the largest and smallest alpha; DXT3 packs nibbles.
    Bytes alphas = ramp;
    for (int k = 0; k < 16; ++k) alphas[std::size_t(4 * k + 3)] = static_cast<std::uint8_t>(40 + k * 10);
    EncodeDXT5(alphas.data(), out, 4, 4);
    EXPECT_EQ(out[0], 190);
    EXPECT_EQ(out[1], 40);
    EXPECT_EQ(out[2] & 7, 1) << "pixel 0 has the smallest alpha";
    EncodeDXT3(alphas.data(), out, 4, 4);
    EXPECT_EQ(out[0], (40 >> 4) | (50 >> 4) << 4);
    EXPECT_EQ(out[7], (180 >> 4) | (190 >> 4) << 4);
}

double Rmse(const TImageData& a, const TImageData& b, bool alpha) {
    double sum = 0;
    std::size_t n = 0;
    for (std::int32_t i = 0; i < a.Size; ++i) {
        if (!alpha && i % 4 == 3) continue;
        const double d = double(a.Bits[i]) - double(b.Bits[i]);
        sum += d * d;
        ++n;
    }
    return std::sqrt(sum / double(n));
}

TEST(BlockFormats, ConversionsStretchAndRoundTrip) {
    // 6x6 becomes 8x8 (stretched, not padded) and 32 bytes of DXT1.
    Image six(6, 6, ifA8R8G8B8);
    for (std::int32_t i = 0; i < 36; ++i) std::memcpy(six.data.Bits + 4 * i, "\x10\x20\x30\xFF", 4);
    ASSERT_TRUE(ConvertImage(six.data, ifDXT1));
    EXPECT_EQ(six.data.Width, 8);
    EXPECT_EQ(six.data.Height, 8);
    EXPECT_EQ(six.data.Size, 32);
    ASSERT_TRUE(ConvertImage(six.data, ifA8R8G8B8));
    EXPECT_EQ(test::Pixel32(six.data, 7, 7), test::Pixel32(six.data, 0, 0)) << "the corner is stretched content";

    // DXT5 to Gray8 goes through A8R8G8B8; DXT to BTC through Gray8.
    Image photo(16, 16, ifA8R8G8B8);
    test::FillPhotoLike(photo.data);
    Image copy;
    ASSERT_TRUE(CloneImage(photo.data, copy.data));
    ASSERT_TRUE(ConvertImage(copy.data, ifDXT5));
    ASSERT_TRUE(ConvertImage(copy.data, ifGray8));
    EXPECT_EQ(copy.data.Format, ifGray8);
    EXPECT_EQ(copy.data.Size, 256);
    ASSERT_TRUE(ConvertImage(copy.data, ifDXT1));
    ASSERT_TRUE(ConvertImage(copy.data, ifBTC));
    EXPECT_EQ(copy.data.Size, 64);

    // Each codec keeps a smooth image close (two colour ramps crossing in a block are
    // a hard case for one line of four colours); alpha to its codec's precision.
    struct Case {
        TImageFormat format;
        double maxRgb, maxAlpha;
    };
    Image opaque;
    ASSERT_TRUE(CloneImage(photo.data, opaque.data));
    for (std::int32_t i = 3; i < opaque.data.Size; i += 4) opaque.data.Bits[i] = 255;
    for (const Case c : {Case{ifDXT1, 16, 1e9}, Case{ifDXT3, 16, 15}, Case{ifDXT5, 16, 3}}) {
        SCOPED_TRACE(GetFormatName(c.format));
        // DXT1 keeps one bit of alpha: its colours are judged on an opaque image.
        const TImageData& original = c.format == ifDXT1 ? opaque.data : photo.data;
        Image back;
        ASSERT_TRUE(CloneImage(original, back.data));
        ASSERT_TRUE(ConvertImage(back.data, c.format));
        ASSERT_TRUE(ConvertImage(back.data, ifA8R8G8B8));
        EXPECT_LT(Rmse(original, back.data, false), c.maxRgb);
        if (c.maxAlpha < 1e9) {
            double worst = 0;
            for (std::int32_t i = 3; i < back.data.Size; i += 4)
                worst = std::max(worst, std::abs(double(back.data.Bits[i]) - photo.data.Bits[i]));
            EXPECT_LE(worst, c.maxAlpha);
        }
    }
}

}  // namespace
}  // namespace velto
