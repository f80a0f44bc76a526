// The image library's fast paths held against the plain ones they replace,
// over generated, crafted, corpus and damaged inputs: same pixels, counts,
// positions and errors.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "ClassicFormatsTestUtil.h"
#include "Corpus.h"
#include "GifCodesTestUtil.h"
#include "imaging/FormatBmp.h"
#include "imaging/FormatLibGif.h"
#include "imaging/FormatPnm.h"
#include "imaging/FormatTga.h"
#include "imaging/Resample.h"
#include "platform/ByteWriter.h"
#include "platform/FileIO.h"
#include "platform/PixelStorage.h"

namespace velto {
namespace {

using namespace test;

// Deterministic pseudo-random numbers.
struct Lcg {
    std::uint32_t s;
    std::uint32_t next() {
        s = s * 1103515245u + 12345u;
        return s >> 8;
    }
};

// ---------------------------------------------------------------------------
// The LZW decoder both ways

// What one decode did: the raster (pre-filled), the count, where it stopped, the error.
struct Decoded {
    Bytes pixels;
    std::uint64_t count = 0;
    std::size_t end = 0;
    std::optional<std::string> error;
};

Decoded DecodeWith(const Bytes& lzw, std::size_t start, std::int32_t width, std::int32_t height, bool walk) {
    Decoded d;
    d.pixels.assign(std::size_t(width) * std::size_t(height), 0xA5);
    d.end = start;
    try {
        d.count = DecodeGifLZW(lzw, d.end, d.pixels.data(), width, height, false, walk);
    } catch (const EImagingError& e) {
        d.error = e.what();
    }
    return d;
}

// The copying decoder does exactly what the table walk does.
void ExpectSameDecode(const Bytes& lzw, std::size_t start, std::int32_t width, std::int32_t height) {
    const Decoded fast = DecodeWith(lzw, start, width, height, false);
    const Decoded walked = DecodeWith(lzw, start, width, height, true);
    EXPECT_EQ(fast.error, walked.error);
    EXPECT_EQ(fast.count, walked.count);
    EXPECT_EQ(fast.end, walked.end);
    EXPECT_TRUE(fast.pixels == walked.pixels) << "pixels differ";
}

// A code stream as a decoder tracks code sizes: `codes` listed in order, the
// size growing as entries are made and reset by clear codes; a table full at
// 4096 entries stays at 12 bits (a deferred clear).
Bytes Stream(std::uint8_t minSize, const std::vector<int>& codes) {
    const int clear = 1 << minSize;
    std::vector<std::pair<int, int>> sized;
    int size = minSize + 1, next = clear + 2;
    bool started = false;
    for (int c : codes) {
        sized.push_back({c, size});
        if (c == clear) {
            size = minSize + 1;
            next = clear + 2;
            started = false;
            continue;
        }
        if (!started) {
            started = true;
            continue;
        }
        if (next < 4096 && ++next == (1 << size) && size < 12) ++size;
    }
    return Codes(minSize, sized);
}

// Noise and pictures the encoder turns into long and short strings.
Bytes Picture(const std::string& kind, std::size_t n, std::uint32_t seed) {
    Bytes p(n);
    Lcg r{seed};
    for (std::size_t i = 0; i < n; ++i) {
        if (kind == "noise") p[i] = static_cast<std::uint8_t>(r.next());
        else if (kind == "gradient") p[i] = static_cast<std::uint8_t>((i % 512) / 16 + (r.next() & 3));
        else if (kind == "few") p[i] = static_cast<std::uint8_t>(r.next() % 3);
        else if (kind == "runs") p[i] = static_cast<std::uint8_t>((i / 777) * 37);
        else p[i] = 7;
    }
    return p;
}

TEST(FastGifLzw, GeneratedStreamsDecodeAsTheTableWalk) {
    struct Row {
        const char* name;
        std::string kind;
        std::int32_t width, height;
    };
    const Row rows[] = {
        {"one pixel", "flat", 1, 1},          {"flat", "flat", 300, 300},        {"noise (many clears)", "noise", 500, 90},
        {"gradient", "gradient", 512, 200},   {"three colours", "few", 333, 77}, {"long runs", "runs", 640, 100},
        {"one column", "gradient", 1, 5000},  {"one row", "few", 20000, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Bytes pixels = Picture(row.kind, std::size_t(row.width) * std::size_t(row.height), 3);
        Bytes lzw;
        EncodeGifLZW(pixels.data(), pixels.size(), lzw);
        ExpectSameDecode(lzw, 0, row.width, row.height);
        // Fewer rows than the data holds, and more (the rest left as it was).
        ExpectSameDecode(lzw, 0, row.width, std::max(1, row.height / 2));
        ExpectSameDecode(lzw, 0, row.width, row.height + 3);
        EXPECT_EQ(DecodeWith(lzw, 0, row.width, row.height, false).pixels, pixels);
    }
}

TEST(FastGifLzw, CraftedStreamsDecodeAsTheTableWalk) {
    // 12-bit filler that fills the table without clearing it: each code the
    // previous one, so strings grow by one.
    std::vector<int> fill = {256, 65};
    for (int i = 0; i < 3900; ++i) fill.push_back(258 + (i % 40));
    std::vector<int> deferred = fill;
    for (int c : {4095, 300, 258, 65, 4095}) deferred.push_back(c);  // codes of a full table, no clear
    deferred.push_back(256);
    for (int c : {1, 258, 259, 260}) deferred.push_back(c);  // a clear after all
    struct Row {
        const char* name;
        std::uint8_t minSize;
        std::vector<int> codes;
    };
    const std::vector<Row> rows = {
        {"kwkwk after a literal", 2, {4, 1, 6, 7, 8, 5}},
        {"kwkwk of kwkwk", 8, {256, 9, 258, 259, 260, 261, 262, 257}},
        {"no leading clear", 8, {10, 11, 258, 259, 257}},
        {"clear in the middle", 8, {256, 1, 2, 258, 256, 3, 258, 259, 260, 257}},
        {"clear then old codes (leftover entries)", 8, {256, 1, 2, 3, 258, 259, 260, 256, 5, 260, 261, 262, 257}},
        {"first code after a clear beyond the table", 8, {256, 1, 2, 258, 259, 256, 300, 258, 259, 260, 257}},
        {"first code is the end code's neighbour", 3, {8, 10, 11, 12, 13, 9}},
        {"code far beyond the next", 8, {256, 1, 2, 400, 259, 260, 257}},
        {"minimum size 2", 2, {4, 0, 1, 6, 7, 8, 9, 10, 2, 3, 5}},
        {"minimum size 9", 9, {512, 100, 200, 514, 515, 516, 513}},
        {"bad minimum size", 1, {2, 0, 1, 3}},
        {"no end code", 8, {256, 1, 258, 259}},
        {"deferred clear", 8, deferred},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Bytes lzw = Stream(row.minSize, row.codes);
        for (const auto& [w, h] : {std::pair{1, 1}, {3, 4}, {16, 16}, {4096, 2}, {7, 1000}}) {
            SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
            ExpectSameDecode(lzw, 0, w, h);
        }
    }
}

// Every sub-block cut at many places and bytes flipped, counts and errors included.
void ExpectSameDecodeDamaged(const Bytes& lzw, std::size_t start, std::int32_t w, std::int32_t h, std::uint32_t seed) {
    const std::size_t n = lzw.size() - start;
    for (std::size_t cut : {std::size_t(1), std::size_t(2), n / 7, n / 3, n / 2, n - 2, n - 1}) {
        if (cut == 0 || cut >= n) continue;
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const Bytes cutData(lzw.begin(), lzw.begin() + static_cast<std::ptrdiff_t>(start + cut));
        ExpectSameDecode(cutData, start, w, h);
    }
    Lcg r{seed};
    for (int m = 0; m < 12 && n > 1; ++m) {
        SCOPED_TRACE("mutation " + std::to_string(m));
        Bytes bad = lzw;
        for (int k = 0; k < 1 + m % 3; ++k) bad[start + 1 + r.next() % (n - 1)] ^= static_cast<std::uint8_t>(1 + r.next() % 255);
        ExpectSameDecode(bad, start, w, h);
    }
}

TEST(FastGifLzw, DamagedStreamsDecodeAsTheTableWalk) {
    for (const char* kind : {"noise", "gradient", "few", "runs"}) {
        SCOPED_TRACE(kind);
        const Bytes pixels = Picture(kind, 64 * 300, 11);
        Bytes lzw;
        EncodeGifLZW(pixels.data(), pixels.size(), lzw);
        ExpectSameDecodeDamaged(lzw, 0, 64, 300, 5);
    }
}

// The LZW data of every frame of a GIF file: offset, width and height.
struct FrameData {
    std::size_t at;
    std::int32_t width, height;
};

std::vector<FrameData> FramesOf(const Bytes& gif) {
    std::vector<FrameData> frames;
    if (gif.size() < 13) return frames;
    std::size_t pos = 13;
    if (gif[10] & 0x80) pos += 3u * (2u << (gif[10] & 7));
    const auto skipBlocks = [&] {
        while (pos < gif.size() && gif[pos] != 0) pos += 1u + gif[pos];
        ++pos;
    };
    while (pos < gif.size()) {
        const std::uint8_t id = gif[pos++];
        if (id == 0x21) {
            ++pos;
            skipBlocks();
        } else if (id == 0x2C && pos + 9 <= gif.size()) {
            const std::int32_t w = gif[pos + 4] | gif[pos + 5] << 8, h = gif[pos + 6] | gif[pos + 7] << 8;
            const std::uint8_t flags = gif[pos + 8];
            pos += 9;
            if (flags & 0x80) pos += 3u * (2u << (flags & 7));
            if (pos >= gif.size()) break;
            frames.push_back({pos, w, h});
            ++pos;
            skipBlocks();
        } else {
            break;
        }
    }
    return frames;
}

Bytes ReadAll(const std::filesystem::path& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

std::vector<std::filesystem::path> CorpusGifs() {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(CorpusDir()))
        if (e.is_regular_file() && e.path().extension() == ".gif") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(FastGifLzw, CorpusFramesDecodeAsTheTableWalk) {
    VELTO_NEED_CORPUS();
    const std::vector<std::filesystem::path> files = CorpusGifs();
    ASSERT_FALSE(files.empty());
    std::uint32_t seed = 1;
    for (const auto& path : files) {
        SCOPED_TRACE(path.string());
        const Bytes gif = ReadAll(path);
        for (const FrameData& f : FramesOf(gif)) {
            // Bombs declare frames their data cannot fill: a slice of rows tells as much.
            const std::int32_t h = std::min<std::int32_t>(f.height, f.width > 0 ? std::max(1, (1 << 22) / f.width) : 1);
            ExpectSameDecode(gif, f.at, f.width, h);
            if (f.width > 0 && h > 0) ExpectSameDecodeDamaged(gif, f.at, f.width, h, ++seed);
        }
    }
}

// ---------------------------------------------------------------------------
// The loader: frames decoded into place against frames placed pixel by pixel

// A GIF of frames with their geometry; every frame has a graphic control
// extension disposing to the background, and with `transparentBackground` marks
// the background index transparent. As the canvas of every frame is then the
// background, skipping a transparent pixel leaves the same index as writing
// it, but the loader then places pixels one by one.
struct GifFrame {
    std::uint16_t left, top, width, height;
    bool interlaced;
};

Bytes MakeGif(std::uint16_t screenW, std::uint16_t screenH, const std::vector<GifFrame>& frames,
              bool transparentBackground, std::uint32_t seed) {
    constexpr std::uint8_t kBackground = 3;
    ByteWriter w;
    w.text("GIF89a");
    w.u16le(screenW);
    w.u16le(screenH);
    w.u8(0xF7);  // a global table of 256 entries
    w.u8(kBackground);
    w.u8(0);
    for (int i = 0; i < 256; ++i) {
        w.u8(static_cast<std::uint8_t>(i));
        w.u8(static_cast<std::uint8_t>(255 - i));
        w.u8(static_cast<std::uint8_t>(i * 3));
    }
    std::uint32_t n = seed;
    for (const GifFrame& f : frames) {
        const std::uint8_t control[] = {0x21, 0xF9, 4, static_cast<std::uint8_t>(2 << 2 | (transparentBackground ? 1 : 0)),
                                        0, 0, kBackground, 0};
        w.bytes(control, sizeof control);
        w.u8(0x2C);
        w.u16le(f.left);
        w.u16le(f.top);
        w.u16le(f.width);
        w.u16le(f.height);
        w.u8(f.interlaced ? 0x40 : 0);
        ++n;
        const Bytes pixels = Picture(n % 2 ? "gradient" : "few", std::size_t(f.width) * f.height, n);
        EncodeGifLZW(pixels.data(), pixels.size(), w.buffer());
    }
    w.u8(0x3B);
    return w.take();
}

// Loads both variants of the same frames (whole, cut, damaged) and compares outcome and indices.
void ExpectSameLoad(const Bytes& inPlace, const Bytes& placed) {
    TImageFileFormat& gif = TheFormat<TGIFFileFormat>();
    Images a, b;
    const Outcome oa = Load(gif, inPlace, a), ob = Load(gif, placed, b);
    EXPECT_EQ(OutcomeName(oa), OutcomeName(ob));
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        EXPECT_TRUE(Bits(a[i]) == Bits(b[i])) << "indices differ";
    }
}

TEST(FastGifLoad, FramesInPlaceLoadAsFramesPlacedPixelByPixel) {
    struct Row {
        const char* name;
        std::uint16_t screenW, screenH;
        std::vector<GifFrame> frames;
    };
    const std::vector<Row> rows = {
        {"the whole screen", 200, 120, {{0, 0, 200, 120, false}}},
        {"screen rows lower down", 200, 120, {{0, 40, 200, 80, false}, {0, 7, 200, 20, false}}},
        {"taller than the screen", 200, 120, {{0, 30, 200, 150, false}}},
        {"wider than the screen", 200, 120, {{0, 0, 260, 120, false}}},
        {"narrower, to the right", 200, 120, {{13, 5, 150, 100, false}}},
        {"below the screen", 200, 120, {{0, 130, 200, 10, false}}},
        {"interlaced", 200, 120, {{0, 0, 200, 120, true}}},
        {"no rows", 200, 120, {{0, 10, 200, 0, false}, {0, 0, 200, 120, false}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Bytes inPlace = MakeGif(row.screenW, row.screenH, row.frames, false, 9);
        const Bytes placed = MakeGif(row.screenW, row.screenH, row.frames, true, 9);
        ASSERT_EQ(inPlace.size(), placed.size());
        ExpectSameLoad(inPlace, placed);
        // Cut short and damaged at the same places.
        for (std::size_t cut : {inPlace.size() / 2, inPlace.size() * 3 / 4, inPlace.size() - 40, inPlace.size() - 2}) {
            SCOPED_TRACE("cut at " + std::to_string(cut));
            ExpectSameLoad(Bytes(inPlace.begin(), inPlace.begin() + static_cast<std::ptrdiff_t>(cut)),
                           Bytes(placed.begin(), placed.begin() + static_cast<std::ptrdiff_t>(cut)));
        }
        Lcg r{21};
        for (int m = 0; m < 8; ++m) {
            SCOPED_TRACE("mutation " + std::to_string(m));
            // Past the header, the table and the first control extension, so both stay alike.
            const std::size_t at = 800 + r.next() % (inPlace.size() - 801);
            const auto flip = static_cast<std::uint8_t>(1 + r.next() % 255);
            Bytes a = inPlace, b = placed;
            a[at] ^= flip;
            b[at] ^= flip;
            if (a[at] == 0x21 || b[at] == 0x21) continue;  // could start an extension that differs between the two
            ExpectSameLoad(a, b);
        }
    }
}

// ---------------------------------------------------------------------------
// Red and blue exchanged, against a byte-by-byte exchange

Bytes SwappedByteByByte(const std::uint8_t* src, std::size_t pixels, std::size_t bpp) {
    Bytes out(src, src + pixels * bpp);
    for (std::size_t i = 0; i < pixels; ++i) std::swap(out[i * bpp], out[i * bpp + 2]);
    return out;
}

TEST(FastSwapRedBlue, EveryLengthAndOffsetAsByteByByte) {
    Bytes noise(3 * 4 * 1000 + 64);
    Lcg r{77};
    for (std::uint8_t& b : noise) b = static_cast<std::uint8_t>(r.next());
    struct Row {
        const char* name;
        std::size_t bpp;
        bool inPlace;
    };
    const Row rows[] = {{"3 bytes", 3, false}, {"3 bytes in place", 3, true}, {"4 bytes", 4, false}, {"4 bytes in place", 4, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (std::size_t pixels : std::initializer_list<std::size_t>{0, 1, 4, 5, 6, 9, 10, 11, 15, 16, 17, 21, 33, 64, 999, 1000}) {
            for (std::size_t offset : std::initializer_list<std::size_t>{0, 1, 3, 7}) {
                SCOPED_TRACE(std::to_string(pixels) + " pixels at offset " + std::to_string(offset));
                const std::uint8_t* src = noise.data() + offset;
                const Bytes expected = SwappedByteByByte(src, pixels, row.bpp);
                // Bytes past the row stay as they were.
                Bytes dst(pixels * row.bpp + 32, 0xC3);
                if (row.inPlace) std::copy(src, src + pixels * row.bpp, dst.begin());
                CopySwapRedBlue(row.inPlace ? dst.data() : src, dst.data(), pixels, row.bpp);
                EXPECT_TRUE(std::equal(expected.begin(), expected.end(), dst.begin())) << "pixels differ";
                EXPECT_TRUE(std::all_of(dst.begin() + static_cast<std::ptrdiff_t>(pixels * row.bpp), dst.end(),
                                        [](std::uint8_t b) { return b == 0xC3; }))
                    << "wrote past the row";
            }
        }
    }
}

TEST(FastSwapRedBlue, CorpusPixmapsLoadAsTheirBytesExchanged) {
    VELTO_NEED_CORPUS();
    TImageFileFormat& pnm = TheFormat<TPPMFileFormat>();
    int checked = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(CorpusDir())) {
        const std::string ext = e.path().extension().string();
        if (!e.is_regular_file() || (ext != ".ppm" && ext != ".pnm")) continue;
        SCOPED_TRACE(e.path().string());
        const Bytes file = ReadAll(e.path());
        Images images;
        if (file.size() < 2 || file[0] != 'P' || file[1] != '6' || Load(pnm, file, images) != Outcome::Loaded) continue;
        const TImageData& image = images[0];
        if (image.Format != ifR8G8B8 || std::size_t(image.Size) > file.size()) continue;
        // The raster is the file's last bytes, red first.
        const std::size_t pixels = std::size_t(image.Width) * std::size_t(image.Height);
        EXPECT_TRUE(SwappedByteByByte(file.data() + file.size() - pixels * 3, pixels, 3) == Bits(image)) << "pixels differ";
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

// ---------------------------------------------------------------------------
// Resampling of byte channels, against sums taken one byte at a time

// Each source row's bytes summed over the row contributors, then each
// destination channel over the column contributors, both from 0 in list order.
Bytes ResampledPlainly(const TImageData& src, std::int32_t sx, std::int32_t sy, std::int32_t sw, std::int32_t sh,
                       std::int32_t dw, std::int32_t dh, int filter) {
    const TImageFormatInfo& info = *FormatInfo(src.Format);
    const std::size_t bpp = static_cast<std::size_t>(info.BytesPerPixel);
    const TContributorTable cols =
        BuildContributors(0, dw, sx, sx + sw, src.Width, FilterFunction(filter), FilterRadius(filter), false);
    const TContributorTable rows =
        BuildContributors(0, dh, sy, sy + sh, src.Height, FilterFunction(filter), FilterRadius(filter), false);
    std::int32_t minX, maxX;
    FindMinMaxPosition(cols, minX, maxX);
    Bytes out(std::size_t(dw) * std::size_t(dh) * bpp, 0);
    std::vector<float> sums(std::size_t(maxX - minX + 1) * bpp);
    for (std::int32_t i = 0; i < dh; ++i) {
        for (std::size_t b = 0; b < sums.size(); ++b) {
            float sum = 0.0f;
            for (const TContributor& c : rows[std::size_t(i)])
                sum += c.Weight * static_cast<float>(src.Bits[(std::size_t(c.Pos) * std::size_t(src.Width) + std::size_t(minX)) * bpp + b]);
            sums[b] = sum;
        }
        for (std::int32_t j = 0; j < dw; ++j)
            for (std::size_t ch = 0; ch < std::size_t(info.ChannelCount); ++ch) {
                float acc = 0.0f;
                for (const TContributor& c : cols[std::size_t(j)])
                    acc += c.Weight * sums[std::size_t(c.Pos - minX) * bpp + ch];
                const float r = std::nearbyint(acc);
                out[(std::size_t(i) * std::size_t(dw) + std::size_t(j)) * bpp + ch] =
                    static_cast<std::uint8_t>(r < 0.0f ? 0.0f : (r > 255.0f ? 255.0f : r));
            }
    }
    return out;
}

void ExpectSameResample(const TImageData& src, std::int32_t sx, std::int32_t sy, std::int32_t sw, std::int32_t sh,
                        std::int32_t dw, std::int32_t dh, int filter) {
    SCOPED_TRACE("filter " + std::to_string(filter) + ", " + std::to_string(dw) + "x" + std::to_string(dh));
    Image dst(dw, dh, src.Format);
    StretchResample(src, sx, sy, sw, sh, dst.data, 0, 0, dw, dh, filter);
    EXPECT_TRUE(dst.bits() == ResampledPlainly(src, sx, sy, sw, sh, dw, dh, filter)) << "pixels differ";
}

TEST(FastResample, ByteChannelsAsPlainSums) {
    struct Row {
        const char* name;
        TImageFormat format;
        std::int32_t w, h, sx, sy, sw, sh, dw, dh;
    };
    const Row rows[] = {
        {"colour down", ifR8G8B8, 97, 61, 0, 0, 97, 61, 31, 17},
        {"colour up", ifR8G8B8, 13, 9, 0, 0, 13, 9, 40, 29},
        {"alpha, part of the source", ifA8R8G8B8, 80, 50, 7, 5, 61, 33, 25, 40},
        {"grey, narrower than a lane", ifGray8, 5, 30, 0, 0, 5, 30, 3, 11},
        {"grey and alpha, odd widths", ifA8Gray8, 67, 41, 1, 2, 63, 37, 70, 19},
        {"one column", ifA8R8G8B8, 1, 50, 0, 0, 1, 50, 1, 7},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Image src(row.w, row.h, row.format);
        FillPattern(src.data, 5);
        for (int filter = 0; filter < kFilterCount; ++filter)
            ExpectSameResample(src.data, row.sx, row.sy, row.sw, row.sh, row.dw, row.dh, filter);
    }
}

TEST(FastResample, CorpusPicturesAsPlainSums) {
    VELTO_NEED_CORPUS();
    int checked = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(CorpusDir())) {
        const std::string ext = e.path().extension().string();
        if (!e.is_regular_file() || (ext != ".bmp" && ext != ".tga" && ext != ".ppm")) continue;
        SCOPED_TRACE(e.path().string());
        Image picture;
        bool loaded = false;
        try {
            loaded = LoadImageFromFile(e.path().string(), picture.data);
        } catch (const std::exception&) {
        }
        if (!loaded || picture->Width < 2 || picture->Height < 2 || std::int64_t(picture->Width) * picture->Height > 1 << 20)
            continue;
        ConvertImage(picture.data, ifA8R8G8B8);
        const TImageData& src = picture.data;
        ExpectSameResample(src, 0, 0, src.Width, src.Height, std::max(1, src.Width / 3), std::max(1, src.Height / 2), 1);
        ExpectSameResample(src, 0, 0, src.Width, src.Height, src.Width + 5, src.Height * 2, 9);
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

// ---------------------------------------------------------------------------
// Uncompressed savers writing into room reserved ahead

TEST(FastSave, UncompressedSavesReadBackAsTheirPixels) {
    struct Row {
        const char* name;
        TImageFileFormat& format;
        TImageFormat pixels;
        std::int32_t w, h;
        std::size_t expectedSize;  // header and palette included
    };
    TImageFileFormat& bmp = TheFormat<TBitmapFileFormat>();
    TImageFileFormat& tga = TheFormat<TTargaFileFormat>();
    const Row rows[] = {
        {"bitmap, padded rows", bmp, ifR8G8B8, 1001, 700, 54 + 3004u * 700},
        {"bitmap, one row", bmp, ifR8G8B8, 3, 1, 54 + 12},
        {"targa, large", tga, ifA8R8G8B8, 1024, 1100, 18 + 4u * 1024 * 1100},
        {"targa, colour", tga, ifR8G8B8, 333, 17, 18 + 3u * 333 * 17},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Image image(row.w, row.h, row.pixels);
        FillPattern(image.data, 9);
        bool ok = false;
        const Bytes saved = Save(row.format, image.data, &ok);
        ASSERT_TRUE(ok);
        // The pixels follow the header whole; a trailing footer is allowed.
        EXPECT_GE(saved.size(), row.expectedSize);
        Images back;
        ASSERT_EQ(OutcomeName(Load(row.format, saved, back)), OutcomeName(Outcome::Loaded));
        ASSERT_EQ(back.size(), 1u);
        ConvertImage(back[0], row.pixels);
        EXPECT_TRUE(Bits(back[0]) == image.bits()) << "pixels differ";
    }
}

// ---------------------------------------------------------------------------
// Files read whole into pixel storage, against the plain byte vector

// Both reads of one path: result, error and bytes.
void ExpectSameFileRead(const std::string& path, std::uint64_t cap) {
    // What a failed read leaves in the output is compared too.
    Bytes plain{1, 2, 3};
    TPixelBytes storage(plain.begin(), plain.end());
    FileError plainError = FileError::None, storageError = FileError::IoError;
    const bool a = ReadWholeFile(path, plain, cap, &plainError);
    const bool b = ReadWholeFile(path, storage, cap, &storageError);
    EXPECT_EQ(a, b);
    EXPECT_EQ(FileErrorText(plainError), std::string(FileErrorText(storageError)));
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), storage.begin(), storage.end())) << "bytes differ";
}

TEST(FastFileRead, PixelStorageReadsAsAByteVector) {
    char folder[] = "/tmp/velto-fastpaths-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::filesystem::path dir = folder;
    const auto write = [&](const char* name, const Bytes& bytes) {
        std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                          static_cast<std::streamsize>(bytes.size()));
        return (dir / name).string();
    };
    ::mkfifo((dir / "fifo").c_str(), 0600);
    const Bytes large = Picture("noise", (std::size_t(5) << 20) + 7, 3);
    struct Row {
        const char* name;
        std::string path;
        std::uint64_t cap;
    };
    const Row rows[] = {
        {"missing", (dir / "none").string(), 1u << 30},
        {"a folder", dir.string(), 1u << 30},
        {"a fifo", (dir / "fifo").string(), 1u << 30},
        {"empty", write("empty", {}), 1u << 30},
        {"one byte", write("one", {42}), 1u << 30},
        {"at the cap", write("ten", Bytes(10, 5)), 10},
        {"over the cap", (dir / "ten").string(), 9},
        {"large (fresh pages)", write("large", large), 1u << 30},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ExpectSameFileRead(row.path, row.cap);
    }
    std::filesystem::remove_all(dir);
}

TEST(FastFileRead, CorpusFilesReadAndLoadAsFromMemory) {
    VELTO_NEED_CORPUS();
    int loaded = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(CorpusDir())) {
        if (!e.is_regular_file()) continue;
        const std::string path = e.path().string();
        SCOPED_TRACE(path);
        ExpectSameFileRead(path, 1u << 30);
        // Loaded by name (the file read into pixel storage) and from the same bytes in memory.
        const Bytes bytes = ReadAll(e.path());
        TMemoryStream probe(bytes);
        TImageFileFormat* format = nullptr;
        try {
            format = FindImageFileFormatByExt(DetectStreamFormat(probe));
        } catch (const std::exception&) {
        }
        if (!format || bytes.size() > (4u << 20)) continue;
        Images byName, fromMemory;
        Outcome a = Outcome::Error;
        try {
            a = format->LoadFromFile(path, byName.list) ? Outcome::Loaded : Outcome::False;
        } catch (const std::exception&) {
        }
        EXPECT_EQ(OutcomeName(a), OutcomeName(Load(*format, bytes, fromMemory)));
        ASSERT_EQ(byName.size(), fromMemory.size());
        for (std::size_t i = 0; i < byName.size(); ++i) {
            EXPECT_EQ(byName[i].Format, fromMemory[i].Format);
            EXPECT_TRUE(Bits(byName[i]) == Bits(fromMemory[i])) << "image " << i << " differs";
        }
        loaded += a == Outcome::Loaded;
    }
    EXPECT_GT(loaded, 100);
}

}  // namespace
}  // namespace velto
