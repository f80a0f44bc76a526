// The LZW encoder's bytes, frame for frame, as the encoder wrote them before
// it read frames row by row and changed its dictionary's hashing: sizes,
// depths, colour counts, interlacing, noise (clear codes mid-stream), smooth
// fields and runs, each held to the fingerprint of what was written then.
// Also the error at a pixel beyond the colours, with the same bytes before it
// as a pixel-by-pixel encoding.
#include <algorithm>

#include "GifTestUtil.h"

using namespace giftest;

namespace {

// Frames for the encoder's byte-for-byte check: sizes, depths, colour counts,
// interlacing, noise (clear codes mid-stream) and smooth fields.
struct LzwCase {
    int w, h, bits, colors;
    bool interlace;
    int kind;  // 0 noise, 1 smooth field with noise, 2 runs
};
const LzwCase kLzwCases[] = {
    {1, 1, 2, 4, false, 0},       {97, 13, 1, 2, false, 2},     {33, 17, 4, 16, true, 0},
    {160, 120, 8, 256, false, 0}, {301, 77, 8, 256, true, 2},   {2048, 64, 8, 256, false, 1},
    {64, 64, 11, 2048, false, 0}, {7, 3, 3, 8, true, 1},        {500, 200, 8, 200, false, 1},
    {255, 255, 6, 64, true, 1},   {4000, 30, 2, 4, false, 2},   {1000, 400, 8, 256, false, 0},
};
std::vector<std::uint8_t> LzwFrame(const LzwCase& c, unsigned seed) {
    std::vector<std::uint8_t> px(std::size_t(c.w) * c.h);
    unsigned s = seed;
    auto next = [&] { return (s = s * 1103515245u + 12345u) >> 16; };
    int run = 0, value = 0;
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            int v;
            if (c.kind == 0) {
                v = int(next() % unsigned(std::min(c.colors, 256)));
            } else if (c.kind == 1) {
                v = (x / 3 + y / 2 + int(next() % 3)) % std::min(c.colors, 256);
            } else {
                if (run-- <= 0) run = int(next() % 300), value = int(next() % unsigned(std::min(c.colors, 256)));
                v = value;
            }
            px[std::size_t(y) * c.w + x] = std::uint8_t(v);
        }
    return px;
}
std::uint64_t Fnv1a(const std::vector<std::uint8_t>& b) {
    std::uint64_t h = 1469598103934665603ull;
    for (std::uint8_t v : b) h = (h ^ v) * 1099511628211ull;
    return h;
}

// FNV-1a of each case's bytes, recorded from the earlier encoder.
const std::uint64_t kRecorded[] = {
    0x9ded8d5e46aca334ull, // 5 bytes
    0xe97459411a1e7407ull, // 48 bytes
    0x62bc954d8ceb6f3cull, // 380 bytes
    0x1dd55a18d125ecd1ull, // 26362 bytes
    0xf36cf455f1153a5eull, // 2956 bytes
    0x1cd4fb6c426d7fbcull, // 101138 bytes
    0x7615df0905f7354bull, // 6070 bytes
    0xa492cf907da0ca85ull, // 14 bytes
    0x120a71900d631784ull, // 69651 bytes
    0xb0d52bbcbf3e3b42ull, // 34447 bytes
    0xf271314ba59ae956ull, // 1664 bytes
    0xfb35f973f8fabf84ull, // 549904 bytes
};

Bytes Encode(const LzwCase& c, const std::vector<std::uint8_t>& px) {
    ByteWriter out;
    TLZWEncoder().Encode(out, c.bits, c.colors, px.data(), c.interlace, c.h, c.w);
    return out.take();
}

TEST(GifLzwEncoder, WritesTheBytesItWroteBefore) {
    static_assert(std::size(kLzwCases) == std::size(kRecorded));
    unsigned seed = 1;
    for (std::size_t i = 0; i < std::size(kLzwCases); ++i) {
        const LzwCase& c = kLzwCases[i];
        const Bytes data = Encode(c, LzwFrame(c, seed++));
        EXPECT_EQ(Fnv1a(data), kRecorded[i]) << "case " << i << ": " << c.w << " x " << c.h << ", " << c.bits
                                             << " bits" << (c.interlace ? ", interlaced" : "");
    }
}

// A pixel beyond the colours stops the frame there: the codes of the pixels
// before it are written (the same as for the frame cut just before it, up to
// the end code), then the error.
TEST(GifLzwEncoder, StopsAtTheFirstPixelBeyondTheColours) {
    for (const bool interlace : {false, true}) {
        const LzwCase c{40, 20, 4, 12, interlace, 0};
        std::vector<std::uint8_t> px = LzwFrame(c, 9);
        px[std::size_t(13) * c.w + 7] = 12;
        ByteWriter out;
        EXPECT_THROW(TLZWEncoder().Encode(out, c.bits, c.colors, px.data(), c.interlace, c.h, c.w), GIFException);
        EXPECT_GT(out.size(), 1u) << "codes before the pixel are written";
        // The same bytes as an encoder that reads pixel by pixel leaves: a
        // frame whose bad pixel comes earlier in file order leaves fewer.
        std::vector<std::uint8_t> earlier = px;
        earlier[std::size_t(13) * c.w + 7] = 0;
        earlier[interlace ? std::size_t(8) * c.w : std::size_t(2) * c.w] = 12;
        ByteWriter shorter;
        EXPECT_THROW(TLZWEncoder().Encode(shorter, c.bits, c.colors, earlier.data(), c.interlace, c.h, c.w),
                     GIFException);
        EXPECT_LT(shorter.size(), out.size());
    }
}

}  // namespace
