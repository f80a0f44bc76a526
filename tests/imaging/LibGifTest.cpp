// The library's GIF format: frames composited on the logical screen (disposal,
// transparency, background, interlacing, frames partly off the screen), the
// LZW codec both ways and on hostile streams, and the animated writer.
#include <gtest/gtest.h>

#include <cstring>

#include "ClassicFormatsTestUtil.h"
#include "GifCodesTestUtil.h"
#include "imaging/FormatLibGif.h"
#include "platform/ByteWriter.h"

namespace velto {
namespace {

using namespace test;

// LZW data of the pixels (minimum code size 8) from our own encoder.
Bytes Lzw(const Bytes& pixels) {
    std::vector<std::uint8_t> out;
    EncodeGifLZW(pixels.data(), pixels.size(), out);
    return out;
}

struct Frame {
    Frame(std::uint16_t l, std::uint16_t t, std::uint16_t fw, std::uint16_t fh, Bytes px, int d = -1, int tr = -1,
          bool il = false, Bytes table = {})
        : left(l), top(t), w(fw), h(fh), pixels(std::move(px)), disposal(d), transparent(tr), interlaced(il),
          localTable(std::move(table)) {}
    std::uint16_t left, top, w, h;
    Bytes pixels;
    int disposal;  // -1: no graphic control extension
    int transparent;
    bool interlaced;
    Bytes localTable;  // entries of 3 bytes; 2 entries at least when given
};

Bytes Gif(std::uint16_t w, std::uint16_t h, const Bytes& globalTable, std::uint8_t background,
          std::initializer_list<Frame> frames) {
    ByteWriter b;
    b.text("GIF89a");
    b.u16le(w);
    b.u16le(h);
    std::uint8_t flags = 0;
    if (!globalTable.empty()) {
        int n = 0;
        while ((2 << n) * 3 < static_cast<int>(globalTable.size())) ++n;
        flags = static_cast<std::uint8_t>(0x80 | n);
    }
    b.u8(flags);
    b.u8(background);
    b.u8(0);
    b.bytes(globalTable);
    for (const Frame& f : frames) {
        if (f.disposal >= 0) {
            b.bytes(Bytes{0x21, 0xF9, 4,
                          static_cast<std::uint8_t>(f.disposal << 2 | (f.transparent >= 0 ? 1 : 0)), 0, 0,
                          static_cast<std::uint8_t>(f.transparent >= 0 ? f.transparent : 0), 0});
        }
        b.u8(0x2C);
        b.u16le(f.left);
        b.u16le(f.top);
        b.u16le(f.w);
        b.u16le(f.h);
        std::uint8_t fl = f.interlaced ? 0x40 : 0;
        if (!f.localTable.empty()) {
            int n = 0;
            while ((2 << n) * 3 < static_cast<int>(f.localTable.size())) ++n;
            fl = static_cast<std::uint8_t>(fl | 0x80 | n);
        }
        b.u8(fl);
        b.bytes(f.localTable);
        b.bytes(Lzw(f.pixels));
    }
    b.u8(0x3B);
    return b.take();
}

const Bytes kTable4 = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};

TEST(LibGifLoad, Composition) {
    struct Case {
        const char* name;
        Bytes file;
        std::vector<Bytes> frames;  // each frame's indices over the screen
    } const cases[] = {
        {"disposal 1 keeps the first frame under a corner",
         Gif(2, 2, kTable4, 0, {Frame{0, 0, 2, 2, {1, 1, 1, 1}, 1}, Frame{1, 1, 1, 1, {2}, 0}}),
         {{1, 1, 1, 1}, {1, 1, 1, 2}}},
        {"disposal 2 restores the background",
         Gif(2, 1, kTable4, 3, {Frame{0, 0, 2, 1, {1, 1}, 2}, Frame{0, 0, 1, 1, {2}, 0}}), {{1, 1}, {2, 3}}},
        {"disposal 3 copies the frame before the previous one",
         Gif(2, 1, kTable4, 0, {Frame{0, 0, 2, 1, {1, 1}, 1}, Frame{0, 0, 2, 1, {2, 2}, 3}, Frame{1, 0, 1, 1, {3}, 0}}),
         {{1, 1}, {2, 2}, {1, 3}}},
        {"transparent pixels show the canvas",
         Gif(3, 1, kTable4, 0, {Frame{0, 0, 3, 1, {1, 1, 1}, 1}, Frame{0, 0, 3, 1, {2, 3, 2}, 0, 3}}),
         {{1, 1, 1}, {2, 1, 2}}},
        {"the first frame starts from the background",
         Gif(3, 1, kTable4, 2, {Frame{1, 0, 1, 1, {1}}}), {{2, 1, 2}}},
        {"interlaced rows 0, 2, 1", Gif(1, 3, kTable4, 0, {Frame{0, 0, 1, 3, {1, 2, 3}, -1, -1, true}}), {{1, 3, 2}}},
        {"pixels off the screen are dropped", Gif(2, 2, kTable4, 0, {Frame{1, 1, 2, 2, {1, 2, 3, 1}}}),
         {{0, 0, 0, 1}}},
        {"a frame of no pixels is passed over", Gif(1, 1, kTable4, 0, {Frame{0, 0, 0, 0, {}}, Frame{0, 0, 1, 1, {2}}}),
         {{0}, {2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Images images;
        ASSERT_EQ(Load(TheFormat<TGIFFileFormat>(), c.file, images), Outcome::Loaded);
        ASSERT_EQ(images.size(), c.frames.size());
        for (std::size_t i = 0; i < c.frames.size(); ++i) {
            EXPECT_EQ(images[i].Format, ifIndex8);
            EXPECT_EQ(Bits(images[i]), c.frames[i]) << "frame " << i;
        }
    }
}

// Interlaced frames store every 8th row from 0, every 8th from 4, every 4th
// from 2, then every 2nd from 1. The image row of each stored row, written
// out for heights where passes are empty or hold one row.
TEST(LibGifLoad, InterlacedRowsLandWhereThePassesPutThem) {
    const std::vector<std::vector<int>> orders = {
        {0},
        {0, 1},
        {0, 2, 1},
        {0, 2, 1, 3},
        {0, 4, 2, 1, 3},
        {0, 4, 2, 1, 3, 5},
        {0, 4, 2, 6, 1, 3, 5},
        {0, 4, 2, 6, 1, 3, 5, 7},
        {0, 8, 4, 2, 6, 1, 3, 5, 7},
        {0, 8, 16, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15},
    };
    Bytes table(256 * 3);
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(i / 3);
    constexpr std::uint16_t kWidth = 3;
    for (const std::vector<int>& order : orders) {
        const auto height = static_cast<std::uint16_t>(order.size());
        SCOPED_TRACE(testing::Message() << "height " << height);
        // Stored row k holds 3k + 1, 3k + 2, 3k + 3.
        Bytes stored, expected(std::size_t(kWidth) * height);
        for (std::size_t k = 0; k < order.size(); ++k)
            for (int x = 0; x < kWidth; ++x) {
                const auto v = static_cast<std::uint8_t>(3 * k + static_cast<std::size_t>(x) + 1);
                stored.push_back(v);
                expected[std::size_t(order[k]) * kWidth + std::size_t(x)] = v;
            }
        Images images;
        ASSERT_EQ(Load(TheFormat<TGIFFileFormat>(),
                       Gif(kWidth, height, table, 0, {Frame{0, 0, kWidth, height, stored, -1, -1, true}}), images),
                  Outcome::Loaded);
        EXPECT_EQ(Bits(images[0]), expected);
        // The same frame one row down on a screen a row taller: the rows move with it.
        Bytes shifted(kWidth, 0);
        shifted.insert(shifted.end(), expected.begin(), expected.end());
        ASSERT_EQ(Load(TheFormat<TGIFFileFormat>(),
                       Gif(kWidth, static_cast<std::uint16_t>(height + 1), table, 0,
                           {Frame{0, 1, kWidth, height, stored, -1, -1, true}}),
                       images),
                  Outcome::Loaded);
        EXPECT_EQ(Bits(images[0]), shifted);
    }
}

TEST(LibGifLoad, Palettes) {
    Images images;
    // The global table's background entry is transparent, a transparent index too.
    ASSERT_EQ(Load(TheFormat<TGIFFileFormat>(), Gif(1, 1, kTable4, 1, {Frame{0, 0, 1, 1, {0}, 0, 2}}), images),
              Outcome::Loaded);
    EXPECT_EQ(images[0].Palette[0], Color32(255, 0, 0, 0));
    EXPECT_EQ(images[0].Palette[1], Color32(0, 255, 0, 0));
    EXPECT_EQ(images[0].Palette[2], Color32(0, 0, 255, 0));
    EXPECT_EQ(images[0].Palette[4], 0u);
    // A local table's background entry is not made transparent.
    ASSERT_EQ(Load(TheFormat<TGIFFileFormat>(),
                   Gif(1, 1, {}, 1, {Frame{0, 0, 1, 1, {0}, -1, -1, false, {1, 2, 3, 4, 5, 6}}}), images),
              Outcome::Loaded);
    EXPECT_EQ(images[0].Palette[1], Color32(255, 4, 5, 6));
    // No table at all: a 3-3-2 palette of as many entries as the size field gives.
    ASSERT_EQ(Load(TheFormat<TGIFFileFormat>(), Gif(1, 1, {}, 0, {Frame{0, 0, 1, 1, {0}}}), images), Outcome::Loaded);
    TColor32 expected[2];
    FillCustomPalette(expected, 2, 3, 3, 2, 255);
    EXPECT_EQ(images[0].Palette[1], expected[1]);
}

TEST(LibGifLoad, HostileAndOddStreams) {
    const auto frameWith = [](const Bytes& lzw) {
        ByteWriter b;
        b.text("GIF89a");
        b.bytes(Bytes{4, 0, 1, 0, 0x81, 0, 0});
        b.bytes(kTable4);
        b.bytes(Bytes{0x2C, 0, 0, 0, 0, 4, 0, 1, 0, 0});
        b.bytes(lzw);
        b.u8(0x3B);
        return b.take();
    };
    struct Case {
        const char* name;
        Bytes file;
        Outcome outcome;
        Bytes pixels;
    } const cases[] = {
        {"no clear code first", frameWith(Codes(2, {{1, 3}, {2, 3}, {5, 3}})), Outcome::Loaded, {1, 2, 0, 0}},
        {"clear, codes, end", frameWith(Codes(2, {{4, 3}, {1, 3}, {1, 3}, {6, 3}, {5, 3}})), Outcome::Loaded,
         {1, 1, 1, 1}},
        {"first code after a clear is the end", frameWith(Codes(2, {{4, 3}, {5, 3}})), Outcome::Loaded, {0, 0, 0, 0}},
        {"minimum code size 1", frameWith(Codes(1, {{2, 2}})), Outcome::Error, {}},
        {"minimum code size 10", frameWith(Codes(10, {{1024, 11}})), Outcome::Error, {}},
        {"data after the last pixel, then more frames",
         [&] {
             Bytes lzw = Codes(2, {{4, 3}, {1, 3}, {1, 3}, {1, 3}, {1, 3}, {1, 3}});
             lzw.pop_back();
             lzw.insert(lzw.end(), {2, 0xAA, 0xBB, 0});
             return frameWith(lzw);
         }(),
         Outcome::Loaded, {1, 1, 1, 1}},
        {"sub-blocks cut by the end of the input", [] {
             Bytes f = Gif(4, 1, kTable4, 0, {Frame{0, 0, 4, 1, {1, 2, 3, 1}}});
             f.resize(f.size() - 4);
             return f;
         }(), Outcome::Loaded, {}},
        {"no frame at all", Gif(1, 1, kTable4, 0, {}), Outcome::False, {}},
        {"screen of no pixels", Gif(0, 0, kTable4, 0, {Frame{0, 0, 1, 1, {1}}}), Outcome::False, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Images images;
        ASSERT_EQ(Load(TheFormat<TGIFFileFormat>(), c.file, images), c.outcome);
        if (c.outcome == Outcome::Loaded && !c.pixels.empty()) {
            EXPECT_EQ(Bits(images[0]), c.pixels);
        }
    }
    std::size_t pos = 0;
    Bytes raster(4096 * 64);
    // Codes of growing size, each naming the newest entry, build one long chain; decoding it stays bounded.
    ByteWriter w;
    w.u8(8);
    Bytes block;
    std::uint32_t acc = 0;
    int bits = 0, size = 9, next = 258;
    const auto put = [&](int code) {
        acc |= std::uint32_t(code) << bits;
        bits += size;
        while (bits >= 8) {
            block.push_back(static_cast<std::uint8_t>(acc));
            acc >>= 8;
            bits -= 8;
        }
    };
    put(256);
    put(0);
    for (int i = 0; i < 5000; ++i) {
        put(std::min(next, 4095));
        if (next < 4096 && ++next == (1 << size) && size < 12) ++size;
    }
    for (std::size_t at = 0; at < block.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, block.size() - at);
        w.u8(static_cast<std::uint8_t>(n));
        w.bytes(block.data() + at, n);
    }
    w.u8(0);
    EXPECT_NO_THROW(DecodeGifLZW(w.buffer(), pos, raster.data(), 4096, 64, false));
    EXPECT_EQ(pos, w.size()) << "the terminator is consumed";
}

TEST(LibGifLzw, RoundTripsAndTableResets) {
    struct Case {
        const char* name;
        Bytes pixels;
        std::int32_t width;
    };
    Bytes noise(70000), ramp(70000), flat(100000, 7);
    std::uint32_t s = 1;
    for (std::size_t i = 0; i < noise.size(); ++i) {
        s = s * 1103515245u + 12345u;
        noise[i] = static_cast<std::uint8_t>(s >> 16);
        ramp[i] = static_cast<std::uint8_t>(i % 251 + i / 5000);
    }
    const Case cases[] = {{"one pixel", {9}, 1}, {"noise", noise, 700}, {"ramp", ramp, 350}, {"flat", flat, 1000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes lzw = Lzw(c.pixels);
        EXPECT_EQ(lzw[0], 8);
        Bytes out(c.pixels.size(), 0xEE);
        std::size_t pos = 0;
        DecodeGifLZW(lzw, pos, out.data(), c.width, static_cast<std::int32_t>(c.pixels.size()) / c.width, false);
        EXPECT_EQ(out, c.pixels);
        EXPECT_EQ(pos, lzw.size());
    }
    // After 4094 codes a clear code follows and codes are 9 bits again: the
    // encoder's output for noise holds clear codes beyond the first.
    const Bytes lzw = Lzw(noise);
    std::size_t pos = 1, clears = 0;
    std::uint32_t acc = 0;
    int bits = 0, size = 9, last = 257;
    std::vector<std::uint8_t> data;
    while (pos < lzw.size() && lzw[pos] != 0) {
        data.insert(data.end(), lzw.begin() + static_cast<std::ptrdiff_t>(pos) + 1,
                    lzw.begin() + static_cast<std::ptrdiff_t>(pos) + 1 + lzw[pos]);
        pos += 1 + lzw[pos];
    }
    std::size_t at = 0;
    bool first = true;
    while (at < data.size() || bits >= size) {
        while (bits < size && at < data.size()) {
            acc |= std::uint32_t(data[at++]) << bits;
            bits += 8;
        }
        if (bits < size) break;
        const int code = static_cast<int>(acc & ((1u << size) - 1));
        acc >>= size;
        bits -= size;
        if (code == 257) break;
        if (code == 256) {
            ++clears;
            size = 9;
            last = 257;
            first = true;
            continue;
        }
        if (!first && ++last == (1 << size) - 1 && size < 12) ++size;
        first = false;
    }
    EXPECT_GE(clears, 3u);
}

TEST(LibGifSave, AnimationLayout) {
    Image a(16, 16, ifIndex8), b(32, 8, ifIndex8), c(8, 32, ifGray8);
    FillPattern(a.data, 1);
    FillPattern(b.data, 2);
    FillPattern(c.data, 3);
    const TDynImageDataArray list{a.data, b.data, c.data};
    const Bytes file = Save(TheFormat<TGIFFileFormat>(), list);
    ASSERT_GT(file.size(), 13u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 13), (Bytes{'G', 'I', 'F', '8', '9', 'a', 32, 0, 32, 0, 0x70, 0, 0}));
    EXPECT_EQ(Bytes(file.begin() + 13, file.begin() + 21), (Bytes{0x21, 0xF9, 4, 0, 0x41, 0, 0, 0}));
    EXPECT_EQ(Bytes(file.begin() + 21, file.begin() + 31), (Bytes{0x2C, 0, 0, 0, 0, 16, 0, 16, 0, 0x87}));
    EXPECT_EQ(file.back(), 0x3B);
    Images back;
    ASSERT_EQ(Load(TheFormat<TGIFFileFormat>(), file, back), Outcome::Loaded);
    ASSERT_EQ(back.size(), 3u);
    // Each frame lies at (0, 0) over what the previous one left (no disposal).
    for (std::int32_t y = 0; y < 16; ++y)
        ASSERT_EQ(0, std::memcmp(back[0].Bits + y * 32, a.data.Bits + y * 16, 16)) << "row " << y;
    for (std::int32_t y = 0; y < 8; ++y)
        ASSERT_EQ(0, std::memcmp(back[1].Bits + y * 32, b.data.Bits + y * 32, 32)) << "row " << y;
    for (int i = 0; i < 256; ++i) ASSERT_EQ(back[1].Palette[i], b.data.Palette[i]);
    // Sizes beyond the 16-bit fields are refused, not written wrapped.
    Image wide(65536, 1, ifIndex8);
    bool ok = true;
    Save(TheFormat<TGIFFileFormat>(), wide.data, &ok);
    EXPECT_FALSE(ok);
}

}  // namespace
}  // namespace velto
