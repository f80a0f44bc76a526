// Packed pixel rows, the nearest-colour search and the Windows-1252 code page:
// the helpers every codec and the model share.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "platform/NearestColor.h"
#include "platform/PixelRows.h"
#include "platform/Text.h"

using namespace velto;

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(PixelRows, PixelsOfEveryDepthHighBitsFirst) {
    const struct {
        const char* name;
        int bits;
        Bytes row;
        Bytes pixels;  // every pixel of the row, left to right
    } rows[] = {
        {"1 bit", 1, {0b10110000, 0b00000001}, {1, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
        {"2 bits", 2, {0b00011011, 0b11000000}, {0, 1, 2, 3, 3, 0, 0, 0}},
        {"4 bits", 4, {0x1F, 0xA0}, {1, 15, 10, 0}},
        {"8 bits", 8, {7, 255, 0}, {7, 255, 0}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const std::size_t n = r.pixels.size();
        Bytes got(n);
        for (std::size_t x = 0; x < n; ++x) got[x] = static_cast<std::uint8_t>(PackedPixel(r.row.data(), x, r.bits));
        EXPECT_EQ(got, r.pixels);
        UnpackPixels(r.row.data(), n, r.bits, got.data());
        EXPECT_EQ(got, r.pixels);

        Bytes packed(r.row.size(), 0xEE);
        PackPixels(r.pixels.data(), n, r.bits, packed.data());
        EXPECT_EQ(packed, r.row);
        Bytes ored(r.row.size(), 0), set(r.row.size(), 0xFF);
        for (std::size_t x = 0; x < n; ++x) {
            OrPackedPixel(ored.data(), x, r.bits, r.pixels[x]);
            SetPackedPixel(set.data(), x, r.bits, r.pixels[x]);
        }
        EXPECT_EQ(ored, r.row);
        EXPECT_EQ(set, r.row);
    }

    // A pixel count that ends inside a byte: the bits after it are 0 when packed,
    // and unpacking stops at the count; wider values keep only their low bits.
    const Bytes values = {1, 2, 3, 0xFE, 1};
    Bytes row(2, 0xFF), back(5);
    PackPixels(values.data(), values.size(), 2, row.data());
    EXPECT_EQ(row, (Bytes{0b01101110, 0b01000000}));
    UnpackPixels(row.data(), 5, 2, back.data());
    EXPECT_EQ(back, (Bytes{1, 2, 3, 2, 1}));
    // Setting one pixel leaves its neighbours in the same byte.
    Bytes nibbles = {0xAB};
    SetPackedPixel(nibbles.data(), 1, 4, 0x5);
    EXPECT_EQ(nibbles[0], 0xA5);
}

TEST(NearestColor, LowestIndexWinsAndTheMetricDecides) {
    // Entries of 4 bytes; the fourth byte (alpha, flags) never counts.
    auto E = [](std::initializer_list<std::array<std::uint8_t, 3>> colours) {
        Bytes b;
        for (const auto& c : colours) b.insert(b.end(), {c[0], c[1], c[2], 0x77});
        return b;
    };
    const Bytes disagree = E({{9, 9, 9}, {0, 0, 16}});
    const struct {
        const char* name;
        Bytes entries;
        std::array<std::uint8_t, 3> colour;
        int squares, absolute;  // index chosen with each distance
    } rows[] = {
        {"no entries", {}, {1, 2, 3}, -1, -1},
        {"exact match later", E({{1, 1, 1}, {5, 6, 7}, {5, 6, 7}}), {5, 6, 7}, 1, 1},
        {"tie goes to the lower index", E({{10, 0, 0}, {30, 0, 0}}), {20, 0, 0}, 0, 0},
        {"square and absolute sums disagree", disagree, {0, 0, 0}, 0, 1},
        // Nine entries: two blocks of four and a remainder, the nearest in each place.
        {"nearest in the second block", E({{200, 0, 0}, {200, 0, 0}, {200, 0, 0}, {200, 0, 0}, {9, 0, 0}, {200, 0, 0},
                                           {200, 0, 0}, {9, 0, 0}, {200, 0, 0}}),
         {0, 0, 0}, 4, 4},
        {"nearest in the remainder", E({{200, 0, 0}, {200, 0, 0}, {200, 0, 0}, {200, 0, 0}, {200, 0, 0}, {200, 0, 0},
                                        {200, 0, 0}, {200, 0, 0}, {1, 2, 3}}),
         {1, 2, 4}, 8, 8},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const std::size_t n = r.entries.size() / 4;
        EXPECT_EQ(NearestColorEntry(r.entries.data(), n, r.colour[0], r.colour[1], r.colour[2], TColorDistance::Squares),
                  r.squares);
        EXPECT_EQ(NearestColorEntry(r.entries.data(), n, r.colour[0], r.colour[1], r.colour[2], TColorDistance::Absolute),
                  r.absolute);
    }
}

TEST(Cp1252, EncodesWhatItDecodesAndRefusesTheRest) {
    // Every high byte alone is no UTF-8, so it decodes through the code page and
    // must encode back to itself (the five unassigned ones as their C1 controls).
    for (int b = 0x80; b <= 0xFF; ++b) {
        SCOPED_TRACE(b);
        const Bytes one = {static_cast<std::uint8_t>(b)};
        Bytes back;
        ASSERT_TRUE(EncodeCp1252(DecodeTextToUtf8(one), back));
        EXPECT_EQ(back, one);
    }
    const struct {
        const char* name;
        std::string utf8;
        bool ok;
        Bytes bytes;
    } rows[] = {
        {"ASCII and Latin-1", "a\xC3\xA9\xC3\xBF", true, {'a', 0xE9, 0xFF}},
        {"euro and quotes", "\xE2\x82\xAC\xE2\x80\x9C", true, {0x80, 0x93}},
        {"a letter the code page lacks", "\xC4\x80", false, {}},
        {"malformed UTF-8", "a\xC3", false, {}},
        {"empty", "", true, {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Bytes out = {9};
        EXPECT_EQ(EncodeCp1252(r.utf8, out), r.ok);
        if (r.ok) {
            EXPECT_EQ(out, r.bytes);
        }
    }
}

}  // namespace
