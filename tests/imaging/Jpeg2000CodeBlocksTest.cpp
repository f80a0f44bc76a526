// What a JPEG 2000 header makes the codec set up before it decodes anything:
// the code blocks of every tile and component, by the coding styles of the
// main header and the tile-part headers (tile COC over tile COD over main COC
// over main COD), cut by precincts and placed on the grid of the image area.
// The codec's bookkeeping of them is charged in bytes against the decode
// budget: a few bytes declaring tiny blocks over a large image are refused as
// too large before the codec allocates for them, valid pictures of tiny
// blocks that fit the budget load.
#include <gtest/gtest.h>

#include "ChildCost.h"
#include "CostlyFiles.h"
#include "ImagingTestUtil.h"
#include "Sanitizer.h"
#include "imaging/Classes.h"
#include "imaging/FormatJpeg2000.h"

namespace velto {
namespace {

using namespace test::costly;
using test::Image;

J2kStyle Blocks(int exponent, int levels = 5) {
    J2kStyle s;
    s.levels = levels;
    s.xcb = s.ycb = exponent - 2;
    return s;
}

// 8192 x 8192 in one tile, no coded data: the shape of the hostile file.
J2kStream Large(int components, int blockExponent) {
    J2kStream s;
    s.width = s.height = 8192;
    s.components = components;
    s.style = Blocks(blockExponent);
    s.tileHeaders = {{}};
    return s;
}

TEST(Jpeg2000CodeBlocks, CountedAsTheCodecPartitionsThem) {
    struct Case {
        const char* name;
        J2kStream stream;
        std::uint64_t blocks;
    };
    std::vector<Case> cases;
    cases.push_back({"4 x 4 blocks over 8192 x 8192, three components", Large(3, 2), 3ull << 22});
    cases.push_back({"64 x 64 blocks: one per 4096 samples", Large(3, 6), 3ull * 16384});
    {
        J2kStream s;
        s.style = Blocks(6, 1);
        s.style.precincts = {0x22, 0x33};  // 4 x 4 at the lowest resolution, 8 x 8 above
        cases.push_back({"precincts smaller than the blocks cut them", s, 256});
    }
    {
        J2kStream s;
        s.tileWidth = s.tileHeight = 32;
        s.style = Blocks(2, 0);
        cases.push_back({"every tile has blocks of its own", s, 4 * 64});
    }
    {
        J2kStream s;
        s.width = s.height = 4;
        s.x0 = s.y0 = 2;
        s.style = Blocks(2, 0);
        cases.push_back({"an image area away from the origin meets blocks of the grid", s, 4});
    }
    {
        J2kStream s = Large(1, 6);
        s.tileHeaders = {J2kCod(Blocks(2))};
        cases.push_back({"a tile's own COD", s, 1ull << 22});
    }
    {
        J2kStream s = Large(3, 6);
        s.mainExtra = J2kCoc(1, Blocks(2));
        cases.push_back({"a COC for one component", s, 2 * 16384 + (1ull << 22)});
    }
    {
        J2kStream s = Large(1, 6);
        Bytes header = J2kCod(Blocks(2));
        const Bytes coc = J2kCoc(0, Blocks(6));
        header.insert(header.end(), coc.begin(), coc.end());
        s.tileHeaders = {header};
        cases.push_back({"a tile's COC over its COD", s, 16384});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = J2kCodeStream(c.stream);
        EXPECT_EQ(Jpeg2000CodeBlocks(file, false), c.blocks);
    }
}

TEST(Jpeg2000CodeBlocks, BookkeepingIsPartOfTheDecodeCost) {
    // Samples (4 bytes each) are the same for both; only the blocks differ.
    const Bytes tiny = J2kCodeStream(Large(3, 2)), usual = J2kCodeStream(Large(3, 6));
    EXPECT_GE(Jpeg2000DecodeCost(tiny, false) - Jpeg2000DecodeCost(usual, false), ((3ull << 22) - 3 * 16384) * 400);
    TJpeg2000Header header;
    ASSERT_TRUE(ReadJpeg2000Header(tiny, header));
    EXPECT_EQ(header.DecodeCost, Jpeg2000DecodeCost(tiny, false)) << "what an Apple icon's element is held to";
}

TEST(Jpeg2000CodeBlocks, TooCostlyAreRefusedAsTooLargeBeforeTheCodecSetsThemUp) {
    // 4 x 4 blocks over 8192 x 8192: 4.2 million of one component (an 87-byte
    // file of two levels), 12.6 million of three (gigabytes in the codec);
    // 16 x 16 of three: 786,432 (a few hundred MiB); none of the files holds
    // data. Their bookkeeping is charged in bytes, with the samples, against
    // the decode budget of the default limits; the loads run in a child process.
    J2kStream small = Large(1, 2);
    small.style.levels = 2;
    const Bytes files[] = {J2kCodeStream(small), J2kCodeStream(Large(3, 2)), J2kCodeStream(Large(3, 4))};
    ASSERT_EQ(files[0].size(), 87u);
    for (const Bytes& file : files) {
        SCOPED_TRACE(file.size());
        EXPECT_GT(Jpeg2000DecodeCost(file, false), ReadLimits{}.imageBytes);
        const test::ChildCost cost = test::RunInChild([&] {
            try {
                TMemoryStream stream(file);
                TSingleImage image;
                image.LoadFromStream(stream);
                return 1;
            } catch (const EImagingError& e) {
                return e.FileStatus() == FileError::TooLarge ? 0 : 2;
            }
        });
        ASSERT_TRUE(cost.exited);
        EXPECT_EQ(cost.exitCode, 0) << "1: loaded, 2: refused, but not as too large";
        // A sanitizer's shadow memory and checks inflate both: not checked there.
        if (!test::kUnderSanitizer) {
            EXPECT_LT(cost.cpuSeconds, 0.5);
            EXPECT_LT(cost.GrownKiB(), 64 * 1024);
        }
    }
    // The bound is the budget's: a small picture loads under a budget of its
    // decode cost and is refused as too large under one byte less.
    Image picture(32, 32, ifGray8);
    TMemoryStream saved;
    ASSERT_TRUE(SaveImageToStream("jp2", saved, picture.data));
    const Bytes bytes = saved.Data();
    const ReadLimits before = ImagingLimits();
    ImagingLimits().imageBytes = Jpeg2000DecodeCost(bytes, true);
    Image back;
    TMemoryStream in(bytes);
    EXPECT_TRUE(LoadImageFromStream(in, back.data));
    ImagingLimits().imageBytes -= 1;
    TMemoryStream again(bytes);
    Image refused;
    try {
        LoadImageFromStream(again, refused.data);
        ADD_FAILURE() << "loaded";
    } catch (const EImagingError& e) {
        EXPECT_EQ(e.FileStatus(), FileError::TooLarge);
    }
    ImagingLimits() = before;
}

TEST(Jpeg2000CodeBlocks, PicturesOfTinyBlocksLoadWithinWhatTheyAreCharged) {
    // Valid pictures of more blocks than a fixed count of 393,216 would let
    // through: they fit the default budget, load, and the codec's memory stays
    // within what the load was charged. The third has a tile of 4 x 4 blocks
    // under a main header of 64 x 64 ones: each tile is charged by its own.
    J2kStream two;
    two.width = 3072;
    two.height = two.tileWidth = two.tileHeight = 1536;
    two.components = 3;
    two.tileHeaders = {J2kCod(Blocks(2)), {}};
    J2kStream rgb4 = Large(3, 2), rgb8 = Large(3, 3);
    rgb4.width = 1700, rgb4.height = 1300;
    rgb8.width = 3500, rgb8.height = 2600;
    for (J2kStream s : {rgb4, rgb8, two}) {
        s.emptyPackets = true;
        SCOPED_TRACE(testing::Message() << s.width << " x " << s.height);
        const Bytes file = J2kCodeStream(s);
        const std::uint64_t charged = Jpeg2000DecodeCost(file, false) + std::uint64_t(s.width) * s.height * 3;
        EXPECT_GT(Jpeg2000CodeBlocks(file, false), 393216u);
        const test::ChildCost cost = test::RunInChild([&] {
            try {
                TMemoryStream stream(file);
                TSingleImage image;
                image.LoadFromStream(stream);
                return image.Width() == static_cast<std::int32_t>(s.width) &&
                               image.Height() == static_cast<std::int32_t>(s.height)
                           ? 0
                           : 1;
            } catch (const EImagingError&) {
                return 2;
            }
        });
        ASSERT_TRUE(cost.exited);
        EXPECT_EQ(cost.exitCode, 0) << "1: loaded at another size, 2: refused";
        std::printf("%u x %u: charged %llu MiB, grew %ld MiB\n", s.width, s.height,
                    static_cast<unsigned long long>(charged >> 20), cost.GrownKiB() / 1024);
        if (!test::kUnderSanitizer) {
            EXPECT_LT(static_cast<std::uint64_t>(cost.GrownKiB()) * 1024, charged);
        }
    }
}

}  // namespace
}  // namespace velto
