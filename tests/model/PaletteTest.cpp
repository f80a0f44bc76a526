#include "model/Palette.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstdint>

namespace velto {
namespace {

// CRC-32 (IEEE, reflected) over the R, G, B bytes of every entry in index order.
std::uint32_t CrcRGB(const TmyPalette& pal) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const TmyPixel& p : pal.Colors()) {
        for (std::uint8_t byte : {p.R, p.G, p.B}) {
            crc ^= byte;
            for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

TEST(Palette, BuiltInTablesMatchTheirChecksums) {
    TmyPalette p(256);
    EXPECT_EQ(CrcRGB(p), 0x3b7bbfadu);  // the default table of a new 256-entry palette
    p.SetMac256();
    EXPECT_EQ(CrcRGB(p), 0xbd988204u);
    EXPECT_EQ(p[0], TmyPixel::CreateRGBA(255, 255, 255, 255));
    EXPECT_EQ(p[214], TmyPixel::CreateRGBA(0, 0, 51, 255));
    EXPECT_EQ(p[255], TmyPixel::CreateRGBA(0, 0, 0, 255));

    TmyPalette q(16);
    EXPECT_EQ(CrcRGB(q), 0xd3a81e5au);
    q.SetMac16();
    EXPECT_EQ(CrcRGB(q), 0xae6e6b33u);
}

TEST(Palette, CreateFillsByCountAndKeepsEntriesOpaque) {
    TmyPalette two(2);
    ASSERT_EQ(two.Count(), 2);
    EXPECT_EQ(two[0], TmyPixel::CreateRGBA(0, 0, 0, 255));
    EXPECT_EQ(two[1], TmyPixel::CreateRGBA(255, 255, 255, 255));
    two.SetWhiteBlack();
    EXPECT_EQ(two[0], TmyPixel::CreateRGBA(255, 255, 255, 255));

    TmyPalette def(256);
    EXPECT_EQ(def[15], TmyPixel::CreateRGBA(255, 255, 255, 255));
    EXPECT_EQ(def[16], TmyPixel::CreateRGBA(0, 0, 0, 255));
    for (const TmyPixel& e : def.Colors()) EXPECT_EQ(e.A, 255);

    TmyPalette three(3);
    ASSERT_EQ(three.Count(), 3);
    for (const TmyPixel& e : three.Colors()) EXPECT_EQ(e, TmyPixel::CreateRGBA(0, 0, 0, 255));

    // The count stays in 1..256 whatever is asked.
    EXPECT_EQ(TmyPalette(0).Count(), 1);
    EXPECT_EQ(TmyPalette(-5).Count(), 1);
    EXPECT_EQ(TmyPalette(1000).Count(), 256);
    three.SetCount(16);
    EXPECT_TRUE(three.Equals(TmyPalette(16)));

    // A table setter on a shorter palette writes only what fits.
    TmyPalette small(3);
    small.SetWindows16();
    EXPECT_EQ(small[1], TmyPixel::CreateRGBA(128, 0, 0, 255));
}

TEST(Palette, IndexOfNeedsAlphaIndexOfColorDoesNot) {
    TmyPalette pal(16);
    const TmyPixel fromColor = TmyPixel::CreateColor(MakeColor(255, 0, 0));
    EXPECT_EQ(fromColor.A, 0);
    EXPECT_EQ(pal.IndexOf(fromColor), -1);
    EXPECT_EQ(pal.IndexOfColor(MakeColor(255, 0, 0)), 9);
    EXPECT_EQ(pal.IndexOf(TmyPixel::CreateRGBA(255, 0, 0, 255)), 9);
    EXPECT_EQ(pal.IndexOfColor(MakeColor(1, 2, 3)), -1);

    TmyPalette big(256);
    big[255].SetRGB(1, 2, 3);
    EXPECT_EQ(big.IndexOf(TmyPixel::CreateRGBA(1, 2, 3, 255)), 255);
    EXPECT_EQ(big.IndexOf(TmyPixel::CreateRGBA(0, 0, 0, 255)), 0);  // first of many blacks
}

TEST(Palette, ContainsRGBSearchesUpToTheGivenIndex) {
    TmyPalette pal(16);
    const TmyPixel red = TmyPixel::CreateRGBA(255, 0, 0, 0);  // alpha ignored
    EXPECT_FALSE(pal.ContainsRGB(red, -1));
    EXPECT_FALSE(pal.ContainsRGB(red, 8));
    EXPECT_TRUE(pal.ContainsRGB(red, 9));
    EXPECT_TRUE(pal.ContainsRGB(red, 1000));
}

TEST(Palette, NearestColorKeepsAlphaAndPrefersTheLowestIndex) {
    TmyPalette pal(16);
    EXPECT_EQ(pal.NearestColor(TmyPixel::CreateRGBA(10, 10, 10, 77)), TmyPixel::CreateRGBA(0, 0, 0, 77));
    // (64, 0, 0) is 64 from black (0) and 64 from dark red (1): black wins.
    EXPECT_EQ(pal.NearestColor(TmyPixel::CreateRGBA(64, 0, 0, 255)), TmyPixel::CreateRGBA(0, 0, 0, 255));
    EXPECT_EQ(pal.NearestColor(TmyPixel::CreateRGBA(65, 0, 0, 3)), TmyPixel::CreateRGBA(128, 0, 0, 3));

    // Duplicate entries: the first one is taken, and entry 0 is a real candidate.
    TmyPalette dup(4);
    dup[0].SetRGB(100, 100, 100);
    dup[2].SetRGB(200, 200, 200);
    dup[3].SetRGB(200, 200, 200);
    EXPECT_EQ(dup.NearestColor(TmyPixel::CreateRGBA(110, 100, 100, 9)), TmyPixel::CreateRGBA(100, 100, 100, 9));
    EXPECT_EQ(dup.NearestColor(TmyPixel::CreateRGBA(199, 200, 200, 9)), TmyPixel::CreateRGBA(200, 200, 200, 9));
}

TEST(Palette, NearestColorMatchesAPlainScanForEveryPaletteLength) {
    std::uint32_t seed = 7;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (int count : {1, 2, 3, 5, 16, 17, 255, 256}) {
        TmyPalette pal(count);
        // Few distinct levels, so equal distances are common.
        for (TmyPixel& e : pal.Colors()) e.SetRGBA((next() >> 24) & 0xE0, (next() >> 24) & 0xE0, (next() >> 24) & 0xE0,
                                                    static_cast<std::uint8_t>(next() >> 24));
        for (int k = 0; k < 2000; ++k) {
            const std::uint32_t v = next();
            const TmyPixel p = TmyPixel::CreateRGBA(v >> 24, v >> 16, v >> 8, v);
            int best = 0, bestDist = 1 << 30;
            for (int i = 0; i < count; ++i) {
                const int d = std::abs(pal[i].R - p.R) + std::abs(pal[i].G - p.G) + std::abs(pal[i].B - p.B);
                if (d < bestDist) bestDist = d, best = i;
            }
            TmyPixel expected = p;
            expected.SetRGB(pal[best].R, pal[best].G, pal[best].B);
            ASSERT_EQ(pal.NearestColor(p), expected) << "count " << count << " pixel " << v;
        }
    }
}

TEST(Palette, AssignCopiesCountAndAlpha) {
    TmyPalette src(16);
    src[3].A = 10;
    TmyPalette dst(2);
    dst.Assign(src);
    EXPECT_EQ(dst.Count(), 16);
    EXPECT_EQ(dst[3].A, 10);
    EXPECT_TRUE(dst.Equals(src));
    dst[5].A = 11;
    EXPECT_FALSE(dst.Equals(src));  // alpha counts
    dst.Assign(dst);
    EXPECT_EQ(dst.Count(), 16);
    EXPECT_FALSE(TmyPalette(2).Equals(TmyPalette(3)));
}

}  // namespace
}  // namespace velto
