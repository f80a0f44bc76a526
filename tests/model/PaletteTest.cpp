#include "model/Palette.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

namespace velto {
namespace {

TmyPixel Opaque(int r, int g, int b) { return TmyPixel::CreateRGBA(r, g, b, 255); }

// CRC-32 (IEEE, reflected) over the R, G, B bytes of every entry in index order.
std::uint32_t CrcRGB(const TmyPalette& pal) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const TmyPixel& p : pal.Colors())
        for (std::uint8_t byte : {p.R, p.G, p.B}) {
            crc ^= byte;
            for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    return ~crc;
}

TEST(Palette, BuiltInTablesMatchTheirChecksums) {
    TmyPalette p(256);
    EXPECT_EQ(CrcRGB(p), 0x3b7bbfadu);  // a new 256-entry palette holds the default table
    p.SetMac256();
    EXPECT_EQ(CrcRGB(p), 0xbd988204u);
    TmyPalette q(16);
    EXPECT_EQ(CrcRGB(q), 0xd3a81e5au);
    q.SetMac16();
    EXPECT_EQ(CrcRGB(q), 0xae6e6b33u);
}

TEST(Palette, CountsDefaultsAndLookups) {
    TmyPalette two(2);
    EXPECT_EQ(two[1], Opaque(255, 255, 255));
    two.SetWhiteBlack();
    EXPECT_EQ(two[0], Opaque(255, 255, 255));
    TmyPalette three(3);
    for (const TmyPixel& e : three.Colors()) EXPECT_EQ(e, Opaque(0, 0, 0));
    EXPECT_EQ(TmyPalette(0).Count(), 1);
    EXPECT_EQ(TmyPalette(1000).Count(), 256);
    three.SetWindows16();  // writes only what fits
    EXPECT_EQ(three[2], Opaque(0, 128, 0));
    three[0].SetRGB(1, 1, 1);
    three.SetCount(16);
    EXPECT_TRUE(three.Equals(TmyPalette(16)));  // a fresh table, not the old entries
    TmyPalette copy(2);
    copy.Assign(three);
    EXPECT_TRUE(copy.Equals(three));
    copy[5].A = 11;
    EXPECT_FALSE(copy.Equals(three));  // alpha counts
    EXPECT_FALSE(TmyPalette(2).Equals(TmyPalette(3)));

    TmyPalette pal(16);
    // A pixel built from a colour value has A = 0 and so is never found by IndexOf.
    EXPECT_EQ(pal.IndexOf(TmyPixel::CreateColor(MakeColor(255, 0, 0))), -1);
    EXPECT_EQ(pal.IndexOf(Opaque(255, 0, 0)), 9);
    EXPECT_EQ(pal.IndexOfColor(MakeColor(255, 0, 0)), 9);
    EXPECT_EQ(pal.IndexOfColor(MakeColor(1, 2, 3)), -1);
    TmyPalette big(256);
    big[255].SetRGB(1, 2, 3);
    EXPECT_EQ(big.IndexOf(Opaque(1, 2, 3)), 255);
    const TmyPixel red = TmyPixel::CreateRGBA(255, 0, 0, 0);  // alpha ignored
    EXPECT_FALSE(pal.ContainsRGB(red, -1));
    EXPECT_FALSE(pal.ContainsRGB(red, 8));
    EXPECT_TRUE(pal.ContainsRGB(red, 9));
    EXPECT_TRUE(pal.ContainsRGB(red, 1000));
}

TEST(Palette, NearestColorKeepsAlphaAndPrefersTheLowestIndex) {
    TmyPalette pal(16);
    EXPECT_EQ(pal.NearestColor(TmyPixel::CreateRGBA(10, 10, 10, 77)), TmyPixel::CreateRGBA(0, 0, 0, 77));
    // 64 away from both black (0) and dark red (1): black.
    EXPECT_EQ(pal.NearestColor(TmyPixel::CreateRGBA(64, 0, 0, 255)), Opaque(0, 0, 0));
    EXPECT_EQ(pal.NearestColor(TmyPixel::CreateRGBA(65, 0, 0, 3)), TmyPixel::CreateRGBA(128, 0, 0, 3));

    // Against a plain scan, for lengths that do and do not fill whole blocks.
    std::uint32_t seed = 7;
    auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 24; };
    for (int count : {1, 2, 3, 5, 16, 17, 255, 256}) {
        TmyPalette p(count);
        // Few distinct levels, so equal distances are common.
        for (TmyPixel& e : p.Colors()) e.SetRGBA(next() & 0xE0, next() & 0xE0, next() & 0xE0, next());
        for (int k = 0; k < 2000; ++k) {
            const TmyPixel px = TmyPixel::CreateRGBA(next(), next(), next(), next());
            int best = 0, bestDist = 1 << 30;
            for (int i = 0; i < count; ++i) {
                const int d = std::abs(p[i].R - px.R) + std::abs(p[i].G - px.G) + std::abs(p[i].B - px.B);
                if (d < bestDist) bestDist = d, best = i;
            }
            const TmyPixel want = TmyPixel::CreateRGBA(p[best].R, p[best].G, p[best].B, px.A);
            ASSERT_EQ(p.NearestColor(px), want) << "count " << count;
        }
    }
}

}  // namespace
}  // namespace velto
