// File structure: the header, the block list and trailer, the read limits,
// colour maps, the version rule and the header written for the maps held.
#include "FileTrouble.h"
#include "GifTestUtil.h"

using namespace giftest;

namespace {

const Bytes kPixels = Lzw({0, 1, 2, 3}, 2, 2);
const Bytes kFrame = Concat({Descriptor(0, 0, 2, 2), kPixels});
const Bytes kComment = {'!', 0xFE, 2, 'h', 'i', 0};

struct FileCase {
    const char* name;
    Bytes file;
    std::string error;
    int frames;  // frames held afterwards (extension-only frames count)
    std::vector<std::string> warnings;
    void (*limits)(ReadLimits&) = nullptr;
};

class GifFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(GifFile, LoadsOrRefuses) {
    const FileCase& c = GetParam();
    TGIFImage gif;
    if (c.limits) c.limits(gif.Limits);
    WarningLog log;
    log.Attach(gif);
    EXPECT_EQ(Load(gif, c.file), c.error);
    EXPECT_EQ(gif.Images().Count(), c.frames);
    EXPECT_EQ(log.texts, c.warnings);
}

Bytes Slice(const Bytes& b, std::size_t from, std::size_t to) { return Bytes(b.begin() + from, b.begin() + to); }
Bytes Big(int w, int h) { return Concat({Header(1, 1), Descriptor(0, 0, w, h), Bytes{2, 0}}); }

INSTANTIATE_TEST_SUITE_P(
    Gif, GifFile,
    ::testing::Values(
        FileCase{"Plain", Concat({Header(2, 2), kFrame, {';'}}), "", 1, {}},
        FileCase{"FourBytePrefix", Concat({{'a', 'b', 'c', 'd'}, Header(2, 2), kFrame, {';'}}), "", 1, {}},
        FileCase{"BadSignature", Concat({{'a', 'b', 'c', 'd', 'e'}, Header(2, 2)}), "Invalid GIF signature", 0, {}},
        FileCase{"ShortHeader", {'G', 'I', 'F', '8', '9', 'a', 1, 0}, "Premature end of data", 0, {}},
        FileCase{"GlobalMapCut", Slice(Header(2, 2, 256), 0, 300),
                 "Premature end of data", 0, {}},
        FileCase{"OddVersion", Concat({{'G', 'I', 'F', '1', '2', 'z'}, Slice(Header(2, 2), 6, 25), kFrame}),
                 "", 1, {}},
        FileCase{"ZeroBytesBetweenBlocks", Concat({Header(2, 2), {0, 0}, kFrame, {0, 0}, kComment, kFrame, {0, ';'}}),
                 "", 2, {}},
        FileCase{"NoTrailer", Concat({Header(2, 2), kFrame}), "", 1, {}},
        // A file that ends between blocks keeps what it holds, as one without a
        // trailer does: cut after its extensions, a frame of extensions only.
        // Cut inside a block it is refused.
        FileCase{"CutAfterExtensions", Concat({Header(2, 2), kComment}), "", 1, {}},
        FileCase{"CutInsideDescriptor", Concat({Header(2, 2), kComment, Slice(kFrame, 0, 6)}), "Premature end of data",
                 0, {}},
        FileCase{"CutInsideExtension", Concat({Header(2, 2), Slice(kComment, 0, 4)}), "Premature end of data", 0, {}},
        FileCase{"UnknownBlock", Concat({Header(2, 2), kFrame, {'Z'}, kFrame, {';'}}), "", 1,
                 {"Unknown GIF block type", "Invalid Image trailer"}},
        FileCase{"CommentAfterLastFrame", Concat({Header(2, 2), kFrame, kComment, {';'}}), "", 2, {}},
        FileCase{"UnknownExtensionLabel", Concat({Header(2, 2), {'!', 0x02, 0}, kFrame}), "Unknown extension type", 0, {}},
        // The list of extensions stops at a byte that is no introducer; a zero
        // byte there leaves a frame of extensions only.
        FileCase{"BadIntroducer", Concat({Header(2, 2), kComment, {0}, kFrame, {';'}}), "", 2,
                 {"Invalid extension introducer"}},
        FileCase{"ZeroSizeFrame", Concat({Header(2, 2), Descriptor(0, 0, 0, 0), kPixels, {';'}}), "", 1,
                 {"Image exceeds Logical Screen size"}},
        FileCase{"LocalMapCut", Concat({Header(2, 2), Descriptor(0, 0, 2, 2, 0x87), Bytes(100, 1)}),
                 "Premature end of data", 0, {}},
        // Limits: a few bytes may not ask for much memory.
        FileCase{"HugeFrame", Big(65535, 65535), "Out of memory", 0, {}},
        FileCase{"ScreenOverPixelLimit", Concat({Header(300, 300), kFrame}), "Out of memory", 0, {},
                 [](ReadLimits& l) { l.pixels = 300 * 300 - 1; }},
        FileCase{"FramesOverThePixelCapAtTheirByteBudget", Concat({Header(2, 2), kFrame, kFrame, kFrame}), "", 3, {},
                 [](ReadLimits& l) { l.pixels = 8, l.gifFrameBytes = 12; }},
        FileCase{"FramesOverTheirByteBudget", Concat({Header(2, 2), kFrame, kFrame, kFrame}), "Out of memory", 2, {},
                 [](ReadLimits& l) { l.gifFrameBytes = 11; }},
        FileCase{"TooManyFrames", Concat({Header(2, 2), kFrame, kFrame, kFrame}), "Out of memory", 2, {},
                 [](ReadLimits& l) { l.gifFrames = 2; }},
        FileCase{"TooManyExtensions", Concat({Header(2, 2), kComment, kComment, kComment, kFrame}), "Out of memory", 0,
                 {}, [](ReadLimits& l) { l.gifExtensions = 2; }},
        FileCase{"TooManyExtensionBytes", Concat({Header(2, 2), kComment, kComment, kFrame}), "Out of memory", 0, {},
                 [](ReadLimits& l) { l.gifExtensionBytes = 40; }},
        // The bytes of a long application identification block are kept too.
        FileCase{"LongAppBlockCounts", Concat({Header(2, 2), {'!', 0xFF, 30}, Bytes(30, 'a'), {0}, kFrame}),
                 "Out of memory", 0, {}, [](ReadLimits& l) { l.gifExtensionBytes = 40; }}),
    [](const auto& info) { return std::string(info.param.name); });

// A file of a million empty comments is refused once the extensions are
// counted, long before it costs a million objects.
TEST(GifFileLimits, ManyEmptyExtensionsStopEarly) {
    Bytes file = Header(1, 1);
    for (int i = 0; i < 1000000; ++i) file.insert(file.end(), {'!', 0xFE, 0});
    TGIFImage gif;
    EXPECT_EQ(Load(gif, file), "Out of memory");
}

TEST(GifFile, ProgressOfLoadAndSave) {
    TGIFImage gif;
    std::vector<std::string> seen;
    gif.OnProgress = [&](const void*, TProgressStage stage, int percent, bool, const TRect&, const std::string& m) {
        seen.push_back(std::to_string(int(stage)) + " " + std::to_string(percent) + " " + m);
    };
    const Bytes file = Concat({Header(2, 2), kFrame, kFrame, {';'}});
    ASSERT_EQ(Load(gif, file), "");
    const int head = int(Header(2, 2).size()), frame = int(kFrame.size()), size = int(file.size());
    const std::vector<std::string> loaded = {"0 0 Loading...",
                                             "1 " + std::to_string(MulDiv(head + frame, 100, size)) + " Loading...",
                                             "1 " + std::to_string(MulDiv(head + 2 * frame, 100, size)) + " Loading...",
                                             "2 100 Loading..."};
    EXPECT_EQ(seen, loaded);
    seen.clear();
    Save(gif);
    EXPECT_EQ(seen, (std::vector<std::string>{"0 0 Saving...", "1 50 Saving...", "1 100 Saving...", "2 100 Saving..."}));
    seen.clear();
    EXPECT_EQ(Load(gif, {'x'}), "Premature end of data");
    EXPECT_EQ(seen, (std::vector<std::string>{"0 0 Loading...", "2 0 Loading..."}));
}

TEST(GifFile, MulDivRoundsHalvesAwayFromZero) {
    EXPECT_EQ(MulDiv(5, 1, 2), 3);
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(MulDiv(7, 3, -2), -11);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(MulDiv(0x40000000, 8, 2), -1);
}

// ---------------------------------------------------------------------------
// Colour maps.

TColor Rgb(int r, int g, int b) { return MakeColor(std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)); }

TEST(GifColorMap, GrowsInStepsAndOverflowsAt256) {
    TGIFImage gif;
    TGIFGlobalColorMap& map = gif.GlobalColorMap();
    const std::vector<std::pair<int, int>> steps = {{1, 16}, {16, 16}, {17, 32}, {33, 64}, {200, 224}, {256, 256}};
    for (const auto& [count, capacity] : steps) {
        while (map.Count() < count) map.Add(Rgb(map.Count(), 0, 0));
        EXPECT_EQ(map.Capacity(), capacity) << count;
    }
    EXPECT_THROW(map.Add(clWhite), GIFException);
    const std::vector<std::pair<int, int>> bits = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {17, 5}, {256, 8}};
    for (const auto& [count, bpp] : bits) {
        map.Clear();
        for (int i = 0; i < count; ++i) map.Add(Rgb(i, 1, 2));
        EXPECT_EQ(map.BitsPerPixel(), bpp) << count;
    }
}

TEST(GifColorMap, LookupsAndEdits) {
    TGIFImage gif;
    WarningLog log;
    log.Attach(gif);
    TGIFGlobalColorMap& map = gif.GlobalColorMap();
    EXPECT_THROW(map.Colors(0), GIFException);  // "Color table is empty"
    map.Add(Rgb(255, 0, 0));
    map.Add(Rgb(0, 0, 255));
    map.Add(Rgb(255, 0, 0));
    map.Add(Rgb(1, 2, 3));
    EXPECT_EQ(map.IndexOf(Rgb(255, 0, 0)), 2);  // highest until optimized
    EXPECT_EQ(map.AddOrFind(Rgb(0, 0, 255)), 1);
    EXPECT_EQ(map.Colors(300), Rgb(255, 0, 0));
    EXPECT_EQ(log.texts, (std::vector<std::string>{"Invalid color index", "Invalid color index"}));
    map.Optimized = true;
    EXPECT_EQ(map.IndexOf(Rgb(255, 0, 0)), 0);
    EXPECT_EQ(map.IndexOf(Rgb(9, 9, 9)), -1);
    map.Delete(1);
    EXPECT_FALSE(map.Optimized);
    EXPECT_EQ(map.Count(), 3);
    EXPECT_EQ(map.Colors(1), Rgb(255, 0, 0));
    EXPECT_THROW(map.Delete(3), GIFException);
    EXPECT_THROW(map.SetColors(3, clWhite), GIFException);
    const TPaletteEntries palette = map.MakePalette();
    ASSERT_EQ(palette.size(), 3u);
    EXPECT_EQ(palette[2], (TPaletteEntry{1, 2, 3, 4}));
}

TEST(GifColorMap, WrittenPaddedToAPowerOfTwo) {
    for (const auto& [count, entries] : std::vector<std::pair<int, int>>{{1, 2}, {3, 4}, {5, 8}, {256, 256}}) {
        TGIFImage gif;
        for (int i = 0; i < count; ++i) gif.GlobalColorMap().Add(Rgb(i, 255, 7));
        ByteWriter out;
        gif.GlobalColorMap().SaveToStream(out);
        ASSERT_EQ(out.size(), 3u * entries) << count;
        EXPECT_EQ(out.buffer()[3 * count - 3], count - 1);
        if (entries > count) {
            EXPECT_EQ(Bytes(out.buffer().end() - 3, out.buffer().end()), (Bytes{0, 0, 0}));
        }
    }
}

// Optimize sorts by use across the frames on the map, rewrites their pixels
// and transparent index and drops unused entries; a map already in order
// only gets the sorted flag, which the header then carries.
TEST(GifColorMap, OptimizeSortsByUse) {
    TGIFImage gif;
    for (int i = 0; i < 4; ++i) gif.GlobalColorMap().Add(Rgb(10 * i, 0, 0));
    auto frame = std::make_unique<TGIFSubImage>(gif);
    frame->SetBounds(0, 0, 3, 2);
    const std::uint8_t px[] = {2, 2, 2, 0, 0, 3};
    std::copy(std::begin(px), std::end(px), frame->Data());
    auto& gce = frame->Extensions().Add<TGIFGraphicControlExtension>();
    gce.SetTransparent(true);
    gce.TransparentIndex = 3;
    TGIFSubImage& f = gif.Images()[gif.Images().Add(std::move(frame))];
    EXPECT_TRUE(gif.GlobalColorMap().Optimize());
    EXPECT_EQ(gif.GlobalColorMap().Count(), 3);  // entry 1 was never used
    EXPECT_EQ(gif.GlobalColorMap().Colors(0), Rgb(20, 0, 0));
    EXPECT_EQ(gif.GlobalColorMap().Colors(1), Rgb(0, 0, 0));
    EXPECT_EQ(Bytes(f.Data(), f.Data() + 6), (Bytes{0, 0, 0, 1, 1, 2}));
    EXPECT_EQ(gce.TransparentIndex, 2);
    // In order already: nothing moves.
    EXPECT_TRUE(gif.GlobalColorMap().Optimize());
    EXPECT_EQ(Bytes(f.Data(), f.Data() + 6), (Bytes{0, 0, 0, 1, 1, 2}));
    EXPECT_EQ(Save(gif)[10] & 0x08, 0x08);
    TGIFImage empty;
    EXPECT_FALSE(empty.GlobalColorMap().Optimize());
}

// ---------------------------------------------------------------------------
// Writing.

TEST(GifFileWrite, VersionAndHeader) {
    TGIFImage gif;
    EXPECT_THROW(Save(gif), GIFException);  // "Unsupported GIF version"
    ASSERT_EQ(Load(gif, Concat({{'G', 'I', 'F', '1', '2', 'z'}, Slice(Header(2, 2, 3), 6, 25), kFrame, {';'}})), "");
    Bytes saved = Save(gif);
    EXPECT_EQ(std::string(saved.begin(), saved.begin() + 6), "GIF87a");  // by the frames, not as read
    gif.Images()[0].Extensions().Add<TGIFCommentExtension>();
    gif.GlobalColorMap().Delete(3);
    saved = Save(gif);
    EXPECT_EQ(std::string(saved.begin(), saved.begin() + 6), "GIF89a");
    // Three colours: a table of four, the last black; its size in the packed byte.
    EXPECT_EQ(saved[10] & 0x87, 0x81);
    EXPECT_EQ(Bytes(saved.begin() + 13 + 9, saved.begin() + 13 + 12), (Bytes{0, 0, 0}));
}

// The header's table size follows the global map even when a frame's own map
// is larger, so that the table written is the table the header announces.
TEST(GifFileWrite, HeaderTableSizeFromTheGlobalMap) {
    TGIFImage gif;
    for (int i = 0; i < 3; ++i) gif.GlobalColorMap().Add(Rgb(i, i, i));
    auto frame = std::make_unique<TGIFSubImage>(gif);
    frame->SetBounds(0, 0, 16, 16);
    for (int i = 0; i < 256; ++i) frame->ColorMap().Add(Rgb(i, 0, 255 - i));
    for (std::uint64_t i = 0; i < frame->DataSize(); ++i) frame->Data()[i] = std::uint8_t(i);
    gif.Images().Add(std::move(frame));
    const Bytes saved = Save(gif);
    EXPECT_EQ(saved[10] & 0x07, 1);
    TGIFImage back;
    ASSERT_EQ(Load(back, saved), "");
    ASSERT_EQ(back.GlobalColorMap().Count(), 4);
    EXPECT_EQ(back.GlobalColorMap().Colors(2), Rgb(2, 2, 2));
    ASSERT_EQ(back.Images().Count(), 1);
    EXPECT_EQ(Bytes(back.Images()[0].Data(), back.Images()[0].Data() + 256),
              Bytes(gif.Images()[0].Data(), gif.Images()[0].Data() + 256));
}

// A frame without pixels is written without its colour map, so that map sizes
// neither the header nor the code size of frames that have no map: what is
// written reads back to an image that writes the same bytes.
TEST(GifFileWrite, MapsOfEmptyFramesAreNotCounted) {
    // Zero width on a screen of zero width: a frame of no pixels with a map of 32.
    const Bytes emptyFrame = Concat({Descriptor(0, 0, 0, 1, 0x84), Bytes(96, 9), Lzw({0}, 1, 1)});
    TGIFImage gif;
    ASSERT_EQ(Load(gif, Concat({Header(0, 2, 2), emptyFrame, Descriptor(0, 0, 1, 1), Lzw({1}, 1, 1), {';'}})), "");
    ASSERT_EQ(gif.Images().Count(), 2);
    ASSERT_TRUE(gif.Images()[0].Empty());
    const Bytes saved = Save(gif);
    EXPECT_EQ(saved[10], 0x80);  // a global map of two entries, one bit of resolution
    TGIFImage back;
    ASSERT_EQ(Load(back, saved), "");
    EXPECT_EQ(Save(back), saved);

    // One pixel of index 3 on no map at all is refused, whatever map an
    // empty frame holds.
    TGIFImage noMap;
    ASSERT_EQ(Load(noMap, Concat({Header(0, 2, 0), emptyFrame, Descriptor(0, 0, 1, 1), Lzw({3}, 1, 1), {';'}})), "");
    try {
        Save(noMap);
        ADD_FAILURE() << "saved";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Color not in color table");
    }
}

// A file the system refuses says why, reading and writing.
TEST(GifFiles, RefusedFilesCarryTheSystemsReason) {
    TGIFImage gif;
    BuildFeatureGif(gif);
    VELTO_EXPECT_TROUBLES_REPORTED("x.gif", [&](const std::string& path) {
        velto::FileError error;
        return gif.SaveToFile(path, &error) ? std::string("saved") : velto::FileErrorText(error);
    });
    velto::FileError error;
    EXPECT_FALSE(TGIFImage().LoadFromFile("/tmp/velto-no-such-folder/x.gif", &error));
    EXPECT_EQ(velto::FileErrorText(error), "No such file or directory");
}

}  // namespace
