// LZW data: our encoders against our decoder over sizes, depths, interlacing
// and sub-block lengths; hand-made code streams for the decoder's edge cases
// and hostile inputs; the sub-block writer and the hash table.
#include <cmath>

#include "GifTestUtil.h"

using namespace giftest;

namespace {

struct Decoded {
    std::vector<std::uint8_t> px;
    std::string error;
    std::vector<std::string> warnings;
    std::uint64_t pos = 0;
};

Decoded Decode(const Bytes& data, int w, int h, bool interlaced = false, std::uint8_t fill = 0) {
    Decoded d;
    d.px.assign(std::size_t(w) * h, fill);
    ByteReader r(data);
    try {
        DecodeLZW(r, d.px.data(), w, h, interlaced, [&](int, const std::string& m) { d.warnings.push_back(m); });
    } catch (const GIFException& e) {
        d.error = e.what();
    }
    d.pos = r.pos();
    return d;
}

Bytes Encode(const std::vector<std::uint8_t>& px, int w, int h, int bits, bool interlace, bool rle) {
    ByteWriter out;
    if (rle) TRLEEncoder().Encode(out, bits, 1 << bits, px.data(), interlace, h, w);
    else TLZWEncoder().Encode(out, bits, 1 << bits, px.data(), interlace, h, w);
    return out.take();
}

// Runs of random length and value: what the run-length coder is for, and
// noise in between.
std::vector<std::uint8_t> Runs(int w, int h, int colors, unsigned seed) {
    std::vector<std::uint8_t> px(std::size_t(w) * h);
    std::size_t i = 0;
    while (i < px.size()) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t n = std::min<std::size_t>(px.size() - i, 1 + (seed >> 16) % 700);
        const auto v = std::uint8_t((seed >> 8) % colors);
        for (std::size_t k = 0; k < n; ++k) px[i + k] = (seed & 0x40000000u) && k % 5 == 4 ? std::uint8_t((v + 1) % colors) : v;
        i += n;
    }
    return px;
}

struct RoundTrip {
    const char* name;
    int w, h, bits;
    bool interlace;
    bool runs;  // pixels in runs rather than noise
};

class LzwRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

// Both encoders decode back to the same pixels, the data end exactly at the
// terminator, and the same codes cut into 1-, 2- and 7-byte sub-blocks (a
// code then spans up to three blocks) decode the same.
TEST_P(LzwRoundTrip, DecodesBackExactly) {
    const RoundTrip& c = GetParam();
    const auto px = c.runs ? Runs(c.w, c.h, 1 << c.bits, unsigned(c.w * 31 + c.h)) : Pattern(c.w, c.h, 1 << c.bits, unsigned(c.h));
    for (const bool rle : {false, true}) {
        SCOPED_TRACE(rle ? "run-length" : "lzw");
        const Bytes data = Encode(px, c.w, c.h, c.bits, c.interlace, rle);
        const Decoded d = Decode(data, c.w, c.h, c.interlace);
        EXPECT_EQ(d.error, "");
        EXPECT_TRUE(d.warnings.empty());
        EXPECT_EQ(d.px, px);
        EXPECT_EQ(d.pos, data.size());
        if (rle) continue;
        for (const std::size_t block : {1, 2, 7}) {
            SCOPED_TRACE(block);
            EXPECT_EQ(Decode(Reblock(data, block), c.w, c.h, c.interlace).px, px);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Gif, LzwRoundTrip,
                         ::testing::Values(RoundTrip{"OnePixel", 1, 1, 2, false, false},
                                           RoundTrip{"OneBitRuns", 97, 13, 1, false, true},
                                           RoundTrip{"ThreeBitsRuns", 120, 90, 3, false, true},
                                           RoundTrip{"FourBitsInterlaced", 33, 17, 4, true, false},
                                           RoundTrip{"FiveBitsRuns", 200, 150, 5, false, true},
                                           // More new strings than the table holds: clear codes mid-stream.
                                           RoundTrip{"EightBitsNoise", 160, 120, 8, false, false},
                                           RoundTrip{"EightBitsRunsInterlaced", 301, 77, 8, true, true},
                                           RoundTrip{"ElevenBits", 64, 64, 11, false, false},
                                           RoundTrip{"LongRun", 4000, 300, 2, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Interlaced rows come out at 0, 8, ...; 4, 12, ...; 2, 6, ...; 1, 3, ...,
// each exactly once, also for frames shorter than a pass's first row.
TEST(GifLzw, InterlacedRowsLandInPassOrder) {
    for (const int h : {1, 2, 3, 4, 5, 9, 17}) {
        SCOPED_TRACE(h);
        std::vector<int> order;
        for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
            for (int y = start; y < h; y += step) order.push_back(y);
        ASSERT_EQ(order.size(), std::size_t(h));
        // Row i of the data holds the value i, three pixels wide.
        std::vector<std::uint8_t> fileRows, expected(std::size_t(h) * 3);
        for (int i = 0; i < h; ++i) {
            fileRows.insert(fileRows.end(), 3, std::uint8_t(i));
            std::fill_n(expected.begin() + order[std::size_t(i)] * 3, 3, std::uint8_t(i));
        }
        EXPECT_EQ(Decode(Lzw(fileRows, 3, h, 5), 3, h, true).px, expected);
        // The encoder walks the passes the same way.
        EXPECT_EQ(Decode(Lzw(expected, 3, h, 5, true), 3, h, false).px, fileRows);
    }
}

// A 1 x 1 frame: code size 2, one block holding clear (4), the pixel and end (5).
TEST(GifLzw, OnePixelFrameBytes) {
    EXPECT_EQ(Lzw({1}, 1, 1), (Bytes{2, 2, 0x4C, 0x01, 0}));
    ByteWriter out;
    TLZWEncoder().Encode(out, 1, 2, nullptr, false, 0, 0);  // no pixels: clear-less end code only
    EXPECT_EQ(out.buffer(), (Bytes{2, 1, 5, 0}));
}

constexpr std::uint64_t kAll = ~0ull;  // at the end of the data

struct Hostile {
    const char* name;
    Bytes data;
    int w, h;
    std::vector<std::uint8_t> px;  // expected, from a fill of 9
    std::string error;
    std::vector<std::string> warnings;
    std::uint64_t pos = kAll;  // where the reader stops
};

class LzwHostile : public ::testing::TestWithParam<Hostile> {};

TEST_P(LzwHostile, DecodesOrRefusesSafely) {
    const Hostile& c = GetParam();
    const Decoded d = Decode(c.data, c.w, c.h, false, 9);
    EXPECT_EQ(d.error, c.error);
    if (c.error.empty()) {
        EXPECT_EQ(d.px, c.px);
    }
    EXPECT_EQ(d.warnings, c.warnings);
    EXPECT_EQ(d.pos, c.pos == kAll ? c.data.size() : c.pos);
}

const Bytes kTwoFrames = Codes(2, {{4, 3}, {1, 3}, {2, 3}, {5, 3}});  // pixels 1, 2, end

INSTANTIATE_TEST_SUITE_P(
    Gif, LzwHostile,
    ::testing::Values(
        Hostile{"NoData", {}, 2, 1, {9, 9}, "", {}, 0},
        Hostile{"NoPixels", Lzw({1}, 1, 1), 1, 0, {}, "", {}},
        Hostile{"CodeSizeZero", {0, 1, 0, 0}, 1, 1, {}, "Invalid GIF data", {}, 1},
        Hostile{"CodeSizeTwelve", {12, 1, 0, 0}, 1, 1, {}, "Invalid GIF data", {}, 1},
        Hostile{"FirstCodeNotClear", Codes(2, {{1, 3}, {2, 3}, {5, 3}}), 2, 1, {1, 2}, "", {}},
        Hostile{"ClearsInARow", Codes(2, {{4, 3}, {4, 3}, {4, 3}, {3, 3}, {5, 3}}), 1, 1, {3}, "", {}},
        // The data end before the frame does: the rest keeps the fill.
        Hostile{"EndCodeEarly", kTwoFrames, 3, 1, {1, 2, 9}, "", {}},
        Hostile{"EndCodeAfterClear", Codes(2, {{4, 3}, {5, 3}, {1, 3}}), 1, 1, {9}, "", {}},
        Hostile{"UnknownCodeAfterClear", Codes(2, {{4, 3}, {7, 3}, {1, 3}}), 1, 1, {9}, "", {}},
        Hostile{"RunsOutAtTerminator", Codes(2, {{4, 3}, {1, 3}}), 3, 1, {1, 9, 9}, "", {"Decoder bit buffer under-run"}},
        Hostile{"BlockLongerThanFile", {2, 200, 0x4C}, 2, 1, {1, 9}, "", {"Premature end of data"}},
        // Entry 7 is made to follow itself: the chain never ends.
        Hostile{"CircularTable", Codes(2, {{4, 3}, {0, 3}, {7, 3}, {6, 3}, {7, 4}, {5, 4}}), 20, 1, {},
                "Circular decoder table entry", {}, 1},
        // Data beyond the last pixel, in later sub-blocks: skipped up to the
        // terminator, so that they are never read as blocks.
        Hostile{"DataAfterLastPixel", Concat({Bytes{2, 2, 0x4C, 0x01, 3, 'X', ';', '!', 1, ','}, Bytes{0, ';'}}), 1, 1,
                {1}, "", {}, 11},
        Hostile{"NoTerminator", Bytes{2, 2, 0x4C, 0x01, 2, 1, 2}, 1, 1, {1}, "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GifLzw, EncoderRefusesPixelsBeyondTheColours) {
    const std::vector<std::uint8_t> px = {0, 1, 4, 1};
    for (const bool rle : {false, true}) {
        ByteWriter out;
        std::unique_ptr<TGIFEncoder> e = rle ? std::unique_ptr<TGIFEncoder>(new TRLEEncoder) : std::make_unique<TLZWEncoder>();
        try {
            e->Encode(out, 2, 4, px.data(), false, 2, 2);
            ADD_FAILURE() << "no error";
        } catch (const GIFException& ex) {
            EXPECT_STREQ(ex.what(), "Color not in color table");
        }
    }
}

TEST(GifLzw, WriterCutsBlocksOf255) {
    ByteWriter out;
    {
        TGIFWriter w(out);
        Bytes data(600);
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = std::uint8_t(i);
        w.Write(data.data(), data.size());
        EXPECT_EQ(out.size(), 512u);  // two full blocks written as they filled
    }
    ASSERT_EQ(out.size(), 3u + 600u);
    EXPECT_EQ(out.buffer()[0], 255);
    EXPECT_EQ(out.buffer()[256], 255);
    EXPECT_EQ(out.buffer()[512], 90);
    EXPECT_EQ(out.buffer()[513], std::uint8_t(510));
}

// Keys as the encoder makes them (prefix code x 256 + pixel, below 2^20),
// enough of them for long probe chains.
TEST(GifLzw, HashTableFindsEveryKeyThroughCollisions) {
    THashTable t;
    auto key = [](int code) { return std::uint32_t(code) * 256u + std::uint32_t(code * 7 & 255); };
    for (int code = 0; code < 4000; ++code) t.Insert(key(code), code);
    for (int code = 0; code < 4000; ++code) ASSERT_EQ(t.Lookup(key(code)), code);
    EXPECT_EQ(t.Lookup(5), -1);
    t.Clear();
    EXPECT_EQ(t.Lookup(key(1)), -1);
}

TEST(GifLzw, SquareRootFloor) {
    for (int x = 0; x < 200000; x += (x < 1000 ? 1 : 97))
        ASSERT_EQ(SquareRootFloor(x), int(std::floor(std::sqrt(double(x))))) << x;
}

}  // namespace
