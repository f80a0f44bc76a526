// What a JPEG 2000 header makes the codec set up before it decodes anything:
// the code blocks of every tile and component, by the coding styles of the
// main header and the tile-part headers (tile COC over tile COD over main COC
// over main COD), cut by precincts and placed on the grid of the image area.
// A few bytes declaring tiny blocks over a large image are refused as too large
// before the codec allocates for them, and headers no walk would end as invalid.
#include <gtest/gtest.h>
#include <malloc.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <filesystem>

#include "ChildCost.h"
#include "CostlyFiles.h"
#include "Corpus.h"
#include "ImagingTestUtil.h"
#include "Jpeg2000Rows.h"
#include "Sanitizer.h"
#include "imaging/Classes.h"
#include "imaging/FormatJpeg2000.h"
#include "platform/FileIO.h"

// What a load charges is held to what the codec allocates, counted through
// allocation functions this program defines: the bytes held while counting.
static std::atomic<bool> gCounting{false};
static std::atomic<std::int64_t> gHeld{0}, gPeak{0};

// A sanitizer brings allocation functions of its own: there nothing is counted.
#if !VELTO_UNDER_SANITIZER
static void* Counted(void* p, std::int64_t sign) {
    if (p && gCounting.load(std::memory_order_relaxed)) {
        const std::int64_t held = gHeld += sign * static_cast<std::int64_t>(malloc_usable_size(p));
        if (held > gPeak) gPeak = held;  // the codec allocates on one thread
    }
    return p;
}
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
void* __libc_memalign(std::size_t, std::size_t);
void* malloc(std::size_t n) { return Counted(__libc_malloc(n), 1); }
void* calloc(std::size_t count, std::size_t n) { return Counted(__libc_calloc(count, n), 1); }
void* realloc(void* old, std::size_t n) { return Counted(__libc_realloc(Counted(old, -1), n), 1); }
void free(void* p) { __libc_free(Counted(p, -1)); }
int posix_memalign(void** out, std::size_t alignment, std::size_t n) {  // the codec's aligned blocks
    return (*out = Counted(__libc_memalign(alignment, n), 1)) ? 0 : ENOMEM;
}
}
#endif

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
    {
        J2kStream s = Large(3, 6), levels, most;
        s.mainExtra = J2kCoc(1, Blocks(6)), s.tileHeaders = {J2kCod(Blocks(2))};
        cases.push_back({"a tile's COD over the main header's COC", s, 3ull << 22});
        levels.style = Blocks(2, 40), most.style = Blocks(2, 32);
        levels.style.precincts.assign(41, 0x22), most.style.precincts.assign(33, 0x22);
        cases.push_back({"40 levels, as the 32 the codec takes", levels, Jpeg2000CodeBlocks(J2kCodeStream(most), 0)});
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

// Loads the file in a child process that the system ends after 20 s of processor time. Exit code: 0 loaded
// at width x height, 1 at another size, 2 refused as invalid, 3 as too large.
test::ChildCost LoadInChild(const Bytes& file, std::int32_t width = 0, std::int32_t height = 0) {
    return test::RunInChild([&] {
        // (A guard against a hang: a load under the sanitizers, with every test running beside it, takes
        // several times as long; 20 s was seen to run out there on a row that opens in a fraction of it.)
        test::LimitProcessorSeconds(test::kUnderSanitizer ? 120 : 20);
        try {
            TMemoryStream stream(file);
            TSingleImage image;
            image.LoadFromStream(stream);
            return image.Valid() ? (image.Width() == width && image.Height() == height ? 0 : 1) : 2;
        } catch (const EImagingError& e) {
            return e.FileStatus() == FileError::TooLarge ? 3 : 2;
        }
    });
}

// The walk finds the styles the codec finds and refuses as damaged headers it
// cannot read as walked; at the real limits each file is refused at once.
TEST(Jpeg2000CodeBlocks, MarkersAreWalkedAsTheCodecReadsThem) {
    const auto jp2 = [](const Bytes& file) { return Jpeg2000KindOf(file) == TJpeg2000Kind::Jp2; };
    for (const J2kRow& row : J2kCraftedRows(8192, 3, Blocks(2))) {
        SCOPED_TRACE(row.name);
        const test::ChildCost load = LoadInChild(row.file);
        EXPECT_TRUE((load.exitCode == 3 || (load.exitCode == 2 && row.plain.empty())) &&
                    (test::kUnderSanitizer || (load.GrownKiB() < 300 << 10 && load.cpuSeconds < 2.0)))
            << "exit " << load.exitCode << " (2: invalid, 3: too large), " << load.GrownKiB() << " KiB, "
            << load.cpuSeconds << " s";
        const TJpeg2000Cost cost = Jpeg2000Cost(row.file, jp2(row.file));
        EXPECT_EQ(cost.Damaged, row.plain.empty());
        if (row.plain.empty()) continue;
        EXPECT_EQ(cost.CodeBlocks, Jpeg2000CodeBlocks(row.plain, jp2(row.plain)));
    }
}

TEST(Jpeg2000CodeBlocks, ChargedInBytesAgainstTheDecodeBudget) {
    // With the default limits. Refused as too large, of no data: 4 x 4 blocks over 8192 x 8192, 12.6 million of
    // three components (gigabytes in the codec) or 4.2 million of one in 87 bytes; 16 x 16 of three, 786,432. Loaded
    // within their charge: 1700 x 1300 RGB in 4 x 4 blocks, 3500 x 2600 in 8 x 8, a tile of 4 x 4 beside 64 x 64.
    J2kStream small = Large(1, 2), rgb4 = Large(3, 2), rgb8 = Large(3, 3), two = Large(3, 6);
    small.style.levels = 2;
    rgb4.width = 1700, rgb4.height = 1300, rgb8.width = 3500, rgb8.height = 2600;
    two.width = 3072, two.height = two.tileWidth = two.tileHeight = 1536;
    two.tileHeaders = {J2kCod(Blocks(2)), {}};
    for (J2kStream s : {Large(3, 2), Large(3, 4), small, rgb4, rgb8, two}) {
        const bool fits = s.width < 8192;
        s.emptyPackets = fits;
        const Bytes file = J2kCodeStream(s);
        SCOPED_TRACE(testing::Message() << s.width << " x " << s.height << " in " << file.size() << " bytes");
        const std::uint64_t charged = Jpeg2000DecodeCost(file, false) + std::uint64_t(s.width) * s.height * 3;
        EXPECT_EQ(Jpeg2000DecodeCost(file, false) > ReadLimits{}.imageBytes, !fits);
        const test::ChildCost cost = LoadInChild(file, s.width, s.height);
        ASSERT_TRUE(cost.exited);
        EXPECT_EQ(cost.exitCode, fits ? 0 : 3) << "0: loaded, 1: at another size, 2: invalid, 3: too large";
        // A sanitizer's shadow memory and checks inflate both: not checked there.
        if (!test::kUnderSanitizer) {
            EXPECT_LT(std::uint64_t(cost.GrownKiB()) << 10, fits ? charged : 64 << 20);
            EXPECT_TRUE(fits || cost.cpuSeconds < 0.5) << cost.cpuSeconds << " s";
        }
    }
    // The bound is the budget's: a small picture loads under a budget of its
    // decode cost and is refused under one byte less.
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
    EXPECT_THROW(LoadImageFromStream(again, refused.data), EImagingError);
    ImagingLimits() = before;
}

// Headers no walk may follow for ever, bare and in a JP2 file, are refused at once as invalid.
TEST(Jpeg2000CodeBlocks, HeadersThatWouldNeverEndAreRefusedAtOnceAsInvalid) {
    const std::vector<Bytes> files = J2kNeverEnding();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const test::ChildCost cost = LoadInChild(files[i]);
        EXPECT_TRUE(cost.exitCode == 2 && (test::kUnderSanitizer || cost.cpuSeconds < 0.5))
            << i << ": exit " << cost.exitCode << " (-1: ended by the system) after " << cost.cpuSeconds << " s";
    }
}

// At the real limits, answered at once holding little beside two copies of the data: 65,535 layers over thousands of
// precincts (gigabytes of packet iterator, or seconds of its steps) refused in every order before the codec runs, as a
// picture beyond the pixel limit is, one layer loaded; tile-part headers of a COC for each of many tile components (a
// style the walk keeps, for kMostTileComponents at most) refused, of comments loaded. Some are beyond the step limit
// alone, within the memory budget: 65,535 layers of a thousand precincts (4 s and 800 MB in the codec) in 13 tiles,
// or in 13 later tiles of their own COD, and in up to 31 runs each term of the steps on its own (the resolutions and
// components a run goes over, the precincts, a position-driven order's stops, the blocks); however long the data:
// 65,535 layers of 1024 precincts in 15 tiles, whose 255 MiB of empty packets bought their steps when the limit grew
// with the data (half a minute in the codec).
TEST(Jpeg2000CodeBlocks, ThousandsOfLayersOrTileComponentsAreAnsweredAtOnce) {
    struct Row { std::string name; Bytes file; std::int32_t width = 0, height = 0; bool steps = false; };
    std::vector<Row> rows;  // loads at width x height, else too large (by its steps alone when `steps`)
    J2kStream s;
    s.width = s.height = 4096, s.tileHeaders = {{}}, s.emptyPackets = true;
    s.style.layers = 65535, s.style.precincts = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    rows.push_back({"4096 precincts at every resolution", J2kCodeStream(s)});
    s.style.precincts.assign(6, 0x66);
    rows.push_back({"4096 x 4096, precincts of 64", J2kCodeStream(s)});
    s.width = s.height = 1024, s.style.precincts.assign(6, 0x44);
    for (const int order : {1, 2, 3, 4, 0})  // RLCP, RPCL, PCRL, CPRL, LRCP
        rows.push_back({"1024 x 1024, order " + std::to_string(s.style.order = order), J2kCodeStream(s)});
    rows.push_back({"in a JP2 file", Jp2Of(rows.back().file, 1024, 1)});
    J2kSegment(s.mainExtra, 0xFF5F, {0, 0, 0xFF, 0xFF, 33, 1, 2, 0, 0, 0xFF, 0xFF, 3, 1, 0});  // RPCL, then LRCP
    rows.push_back({"with a POC", J2kCodeStream(s)});
    s.mainExtra.clear(), s.style.layers = 1;
    rows.push_back({"one layer", J2kCodeStream(s), 1024, 1024});
    s.style.layers = 65535, s.style.precincts.assign(6, 0x55);
    s.height = 1024 * 13, s.tileWidth = s.tileHeight = 1024, s.tileHeaders.resize(13);
    rows.push_back({"1024 precincts in 13 tiles: each tile's iterator fits the budget", J2kCodeStream(s), 0, 0, true});
    s.width = s.height = 9000, s.components = 2, s.style = {}, s.tileWidth = s.tileHeight = 0, s.tileHeaders = {{}};
    rows.push_back({"beyond the pixel limit", J2kCodeStream(s)});
    J2kStream later, span, precincts, stops, blocks, padded;
    later.width = 512 * 14, later.height = later.tileWidth = later.tileHeight = 512, later.emptyPackets = true;
    later.style.precincts.assign(6, 0x44);
    J2kStyle many = later.style;
    many.layers = 65535;
    later.tileHeaders.assign(14, J2kCod(many)), later.tileHeaders[0].clear();
    rows.push_back({"tiles 1 to 13's own COD of 65,535 layers", J2kCodeStream(later), 0, 0, true});
    span.width = 9, span.height = span.tileWidth = span.tileHeight = 1, span.components = 16384, span.style.levels = 0;
    span.mainExtra = J2kPoc(31, 1, 255, 16384, 0);
    precincts.width = 8192, precincts.height = 4096, precincts.tileWidth = precincts.tileHeight = 256;
    precincts.style.precincts.assign(6, 0x00), precincts.mainExtra = J2kPoc(26, 1, 6, 1, 0);
    stops.width = 8192, stops.height = 7168, stops.tileWidth = stops.tileHeight = 1024, stops.components = 3;
    stops.mainExtra = J2kPoc(31, 1, 255, 3, 2), stops.style.precincts = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x33};  // RPCL
    blocks.width = blocks.height = 4096, blocks.tileWidth = blocks.tileHeight = 1024, blocks.components = 3;
    blocks.style.xcb = blocks.style.ycb = 0, blocks.style.layers = 26, blocks.padding = 4096;
    blocks.mainExtra = J2kPoc(31, 26, 6, 3, 0);
    span.tileHeaders.resize(9), stops.tileHeaders.resize(56), precincts.tileHeaders.resize(512);
    blocks.tileHeaders.resize(16);
    rows.push_back({"one layer: 255 resolutions of 16384 components, 31 runs, 9 tiles", J2kCodeStream(span), 0, 0, true});
    rows.push_back({"one layer: 45 million precincts of a sample in 26 runs", J2kCodeStream(precincts), 0, 0, true});
    rows.push_back({"one layer: RPCL stopping every 8 samples in 31 runs, 56 tiles", J2kCodeStream(stops), 0, 0, true});
    rows.push_back({"26 layers: 3 million 4 x 4 blocks in 31 runs", J2kCodeStream(blocks), 0, 0, true});
    padded.width = 512 * 5, padded.height = 512 * 3, padded.tileWidth = padded.tileHeight = 512;
    padded.style.levels = 0, padded.style.layers = 65535, padded.style.precincts = {0x44}, padded.padding = 17 << 20;
    padded.tileHeaders.resize(15);
    rows.push_back({"65,535 layers in 15 tiles of 17 MiB of empty packets", J2kCodeStream(padded), 0, 0, true});
    // Tiles, components, segments in a tile-part header.
    for (const auto [tiles, components, segments] :
         {std::array{1280u, 16384u, 2600u}, {64u, 16384u, 16384u}, {64u, 1u, 50000u}}) {
        J2kStream t;
        t.width = tiles, t.height = t.tileWidth = t.tileHeight = 1, t.components = static_cast<int>(components);
        t.style.levels = 0, t.emptyPackets = true;
        Bytes header;
        for (std::uint32_t i = 0; i < segments; ++i)  // a COC for component i (two bytes), or a comment
            J2kSegment(header, components == 1 ? 0xFF64 : 0xFF53,
                       {std::uint8_t(i % components >> 8), std::uint8_t(i % components), 0, 5, 4, 4, 0, 1});
        t.tileHeaders.assign(tiles, header);
        const std::int32_t width = components == 1 ? static_cast<std::int32_t>(tiles) : 0;
        rows.push_back({std::to_string(tiles) + " tiles of " + std::to_string(components), J2kCodeStream(t), width, 1});
    }
    for (const Row& row : rows) {
        if (const TJpeg2000Cost cost = Jpeg2000Cost(row.file, false); row.steps) {
            EXPECT_TRUE(cost.PacketSteps > ReadLimits{}.jpeg2000PacketSteps &&
                        cost.DecodeBytes <= ReadLimits{}.imageBytes)
                << row.name << ": " << cost.PacketSteps << " steps, " << cost.DecodeBytes << " bytes";
        }
        const test::ChildCost load = LoadInChild(row.file, row.width, row.height);
        const long twice = static_cast<long>(row.file.size() >> 9);  // KiB of the data's two copies
        EXPECT_TRUE(load.exitCode == (row.width ? 0 : 3) &&
                    (test::kUnderSanitizer || (load.GrownKiB() < twice + (128 << 10) && load.cpuSeconds < 1.0)))
            << row.name << ": exit " << load.exitCode << " (3: too large), " << load.GrownKiB() << " KiB, "
            << load.cpuSeconds << " s";
    }
}

// The most bytes a load of the file held at once (loaded or refused), less
// its copy of the file and what it still holds (the image it made).
std::int64_t CodecPeak(const Bytes& file) {
    TMemoryStream stream(file);
    TDynImageDataArray images;
    gHeld = gPeak = 0;
    gCounting = true;
    try {
        FindImageFileFormatByClass<TJpeg2000FileFormat>()->LoadFromStream(stream, images, true);
    } catch (const EImagingError&) {
    }
    gCounting = false;
    FreeImagesInArray(images);
    return gPeak - gHeld - static_cast<std::int64_t>(file.size());
}

// Over the crafted rows (of 4 x 4 blocks), 2 x 2 precincts, 1024 tiles of
// 16 x 16, two of 1024 x 1024, the seeds, and the shared samples where they are.
// Also 500 layers of 4096 precincts, 4 MiB of tile-part data; and many small tiles, set up one at a time, charged
// within half as much again and the codec's fixed part (1024 x 1024 grey in tiles of 16 as Pillow writes them, RGB in
// 16 and 32, four components in 64).
TEST(Jpeg2000Charge, BoundsWhatTheCodecAllocates) {
    if (test::kUnderSanitizer) GTEST_SKIP() << "a sanitizer's allocation functions stand in for the counting ones";
    std::vector<J2kRow> rows = J2kCraftedRows(512, 1, Blocks(2));
    J2kStream precincts, tiles, two, layers, data;
    precincts.width = precincts.height = tiles.width = tiles.height = 512;
    precincts.style.precincts = {0x00, 0x11, 0x11, 0x11, 0x11, 0x11};
    tiles.tileWidth = tiles.tileHeight = 16, tiles.style.levels = 0;
    two.width = 2048, two.height = two.tileWidth = two.tileHeight = 1024;
    precincts.tileHeaders.resize(1), tiles.tileHeaders.resize(1024), two.tileHeaders.resize(2);
    precincts.emptyPackets = tiles.emptyPackets = two.emptyPackets = layers.emptyPackets = data.emptyPackets = true;
    layers.width = layers.height = 256, layers.style.layers = 500, layers.style.precincts.assign(6, 0x22);
    data.padding = 4 << 20, layers.tileHeaders = data.tileHeaders = {{}};
    for (const J2kStream& s : {precincts, tiles, two, layers, data})
        rows.push_back({"tiles: " + std::to_string(s.tileHeaders.size()), J2kCodeStream(s), {}});
    std::vector<std::filesystem::path> dirs = {std::filesystem::path(VELTO_SOURCE_DIR) / "fuzz/seeds/jp2"};
    if (test::HaveCorpus()) dirs.push_back(test::Corpus("pillow"));
    for (const auto& dir : dirs)
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (Bytes file; ReadWholeFile(entry.path(), file) && Jpeg2000KindOf(file) != TJpeg2000Kind::None)
                rows.push_back({entry.path().filename().string(), file, {}});
    int large = 0;
    for (const J2kRow& row : rows) {
        const TJpeg2000Cost cost = Jpeg2000Cost(row.file, Jpeg2000KindOf(row.file) == TJpeg2000Kind::Jp2);
        if (cost.Damaged) continue;  // refused before the codec sees it
        const std::int64_t peak = CodecPeak(row.file);
        EXPECT_GE(cost.DecodeBytes, static_cast<std::uint64_t>(peak)) << row.name << ": charged below the codec's";
        large += peak > (4 << 20) ? 1 : 0;
    }
    EXPECT_GE(large, 20) << "files whose decoding holds more than the codec's fixed megabyte or so";
    // Side, tile side, components, levels.
    for (const auto [side, tile, components, levels] : {std::array{1024, 16, 1, 4}, {512, 16, 3, 4}, {1024, 32, 3, 5},
                                                         {1024, 64, 4, 5}}) {
        J2kStream s;
        s.width = s.height = side, s.tileWidth = s.tileHeight = tile, s.components = components;
        s.style.levels = levels, s.emptyPackets = true, s.tileHeaders.resize((side / tile) * (side / tile));
        const Bytes file = J2kCodeStream(s);
        const double peak = static_cast<double>(CodecPeak(file)), charged = double(Jpeg2000DecodeCost(file, false));
        EXPECT_TRUE(charged >= peak && charged <= 1.5 * peak + (2 << 20))
            << side << " in tiles of " << tile << ": " << charged / peak << " times the codec's peak";
    }
}

}  // namespace
}  // namespace velto
