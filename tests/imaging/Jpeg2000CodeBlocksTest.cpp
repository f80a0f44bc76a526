// What a JPEG 2000 header makes the codec set up before it decodes anything:
// the code blocks of every tile and component, by the coding styles of the
// main header and the tile-part headers (tile COC over tile COD over main COC
// over main COD), cut by precincts and placed on the grid of the image area.
// A few bytes declaring tiny blocks over a large image are refused before the
// codec allocates for them.
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

TEST(Jpeg2000CodeBlocks, TooManyAreRefusedBeforeTheCodecSetsThemUp) {
    // 4 x 4 blocks: 12.6 million (gigabytes in the codec); 16 x 16: 786,432
    // (a few hundred MiB); both of an 102-byte file that holds no data. The
    // loads run in a child process with the default limits.
    for (const int exponent : {2, 4}) {
        SCOPED_TRACE(exponent);
        const Bytes file = J2kCodeStream(Large(3, exponent));
        EXPECT_GT(Jpeg2000CodeBlocks(file, false), ReadLimits{}.jpeg2000CodeBlocks);
        const test::ChildCost cost = test::RunInChild([&] {
            try {
                TMemoryStream stream(file);
                TSingleImage image;
                image.LoadFromStream(stream);
                return 1;
            } catch (const EImagingError&) {
                return DecodeBudgetLargestRequest() == 0 ? 0 : 2;
            }
        });
        ASSERT_TRUE(cost.exited);
        EXPECT_EQ(cost.exitCode, 0) << "1: loaded, 2: refused only by the budget";
        // A sanitizer's shadow memory and checks inflate both: not checked there.
        if (!test::kUnderSanitizer) {
            EXPECT_LT(cost.cpuSeconds, 0.5);
            EXPECT_LT(cost.GrownKiB(), 64 * 1024);
        }
    }
    // The bound is the shared limit's: a small picture of 64 blocks passes it
    // and is refused under a limit of 63.
    Image picture(32, 32, ifGray8);
    TMemoryStream saved;
    ASSERT_TRUE(SaveImageToStream("jp2", saved, picture.data));
    const Bytes bytes = saved.Data();
    const ReadLimits before = ImagingLimits();
    ImagingLimits().jpeg2000CodeBlocks = static_cast<std::uint32_t>(Jpeg2000CodeBlocks(bytes, true));
    ASSERT_GT(ImagingLimits().jpeg2000CodeBlocks, 0u);
    Image back;
    TMemoryStream in(bytes);
    EXPECT_TRUE(LoadImageFromStream(in, back.data));
    ImagingLimits().jpeg2000CodeBlocks -= 1;
    TMemoryStream again(bytes);
    Image refused;
    EXPECT_THROW(LoadImageFromStream(again, refused.data), EImagingError);
    ImagingLimits() = before;
}

}  // namespace
}  // namespace velto
