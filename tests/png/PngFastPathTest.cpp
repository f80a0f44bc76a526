// The fast path of the image data against the reference path: the same
// pixels, planes, errors and reading position for every sample file, every
// prefix and many corruptions of crafted files; vector unfiltering against the
// scalar code; files written by the fast deflater read back alike and are no
// larger than zlib's at the same level.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <typeinfo>

#include "Corpus.h"
#include "PngTestUtil.h"
#include "platform/FileIO.h"
#include "png/PngInflate.h"
#include "png/PngInternal.h"
#include "png/PngUnfilter.h"

using namespace velto;
using namespace pngtest;
using png_detail::CodecPath;
using png_detail::ScopedCodecPath;

namespace {

// Everything a load leaves behind: the error (class and text) or none, the
// reading position, and the header's planes whether or not the load failed.
struct Outcome {
    std::string error;
    std::uint64_t pos = 0;
    int chunks = 0;
    Bytes dib, table, alpha, extra, keyed, gamma, inverse;
    int width = 0, height = 0;

    bool operator==(const Outcome&) const = default;
};

Outcome Decode(const Bytes& file, CodecPath path) {
    ScopedCodecPath scope(path);
    Outcome o;
    TPNGObject png;
    png.Limits.pixels = 1u << 24;
    ByteReader r(file);
    try {
        png.LoadFromStream(r);
    } catch (const EPngError& e) {
        o.error = std::string(typeid(e).name()) + ": " + e.what();
    }
    o.pos = r.pos();
    o.chunks = png.Chunks().Count();
    o.gamma.assign(png.GammaTable.begin(), png.GammaTable.end());
    o.inverse.assign(png.InverseGamma.begin(), png.InverseGamma.end());
    if (!png.HeaderPresent()) return o;
    const TChunkIHDR& h = png.GetHeader();
    o.width = h.Width;
    o.height = h.Height;
    const TBitmap& b = h.ImageBitmap();
    o.dib.assign(b.Bits(), b.Bits() + b.ByteSize());
    for (const TRGBQuad& q : b.ColorTable()) o.table.insert(o.table.end(), {q.Blue, q.Green, q.Red});
    o.alpha.assign(h.ImageAlpha.begin(), h.ImageAlpha.end());
    o.extra.assign(h.ExtraImageData.begin(), h.ExtraImageData.end());
    o.keyed.assign(h.KeyedPixels.begin(), h.KeyedPixels.end());
    return o;
}

// Empty when both paths leave the same state, else what differs.
std::string Differences(const Bytes& file) {
    const Outcome fast = Decode(file, CodecPath::Fast), ref = Decode(file, CodecPath::Reference);
    if (fast == ref) return {};
    std::string d;
    if (fast.error != ref.error) d += "error [" + fast.error + "] vs [" + ref.error + "] ";
    if (fast.pos != ref.pos) d += "position " + std::to_string(fast.pos) + " vs " + std::to_string(ref.pos) + " ";
    if (fast.chunks != ref.chunks) d += "chunks ";
    if (fast.dib != ref.dib) d += "DIB ";
    if (fast.table != ref.table) d += "colour table ";
    if (fast.alpha != ref.alpha) d += "alpha ";
    if (fast.extra != ref.extra) d += "extra plane ";
    if (fast.keyed != ref.keyed) d += "keyed pixels ";
    if (fast.gamma != ref.gamma || fast.inverse != ref.inverse) d += "gamma ";
    return d.empty() ? "size" : d;
}

// Filtered rows of a w x h image of `bpp`-byte pixels with every filter in
// turn and bytes that make each predictor matter.
Bytes FilteredRows(int w, int h, int bpp, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes raw;
    for (int y = 0; y < h; ++y) {
        raw.push_back(static_cast<std::uint8_t>(y % 5));
        for (int i = 0; i < w * bpp; ++i) raw.push_back(static_cast<std::uint8_t>(rng() % 7 == 0 ? rng() : i * 3 + y));
    }
    return raw;
}

// A file whose zlib data is cut into IDAT chunks at the given fractions (an
// empty one among them), with a text chunk after the image data.
Bytes Chunked(const Bytes& ihdr, const Bytes& zlib, std::initializer_list<double> cuts, const Bytes& before = {}) {
    Bytes f = File({ihdr});
    f.insert(f.end(), before.begin(), before.end());
    std::size_t from = 0;
    for (double c : cuts) {
        const auto to = static_cast<std::size_t>(static_cast<double>(zlib.size()) * c);
        const Bytes part = Chunk("IDAT", Bytes(zlib.begin() + static_cast<std::ptrdiff_t>(from),
                                               zlib.begin() + static_cast<std::ptrdiff_t>(to)));
        f.insert(f.end(), part.begin(), part.end());
        from = to;
    }
    for (const Bytes& c : {Chunk("IDAT", {}), Chunk("IDAT", Bytes(zlib.begin() + static_cast<std::ptrdiff_t>(from), zlib.end())),
                           Chunk("tEXt", {'k', 0, 'v'}), Iend()})
        f.insert(f.end(), c.begin(), c.end());
    return f;
}

struct Sample {
    const char* name;
    Bytes file;
};

// Small files of the layouts the fast path treats apart (8-bit RGB and RGBA,
// plain and interlaced, with gamma and a transparent colour) and of the others.
std::vector<Sample> Samples() {
    const Bytes gama = Chunk("gAMA", {0, 0, 0xAF, 0xC8});
    return {
        {"rgb 23x9 in 7 chunks", Chunked(Ihdr(23, 9, 8, 2), Zlib(FilteredRows(23, 9, 3, 1)), {.1, .2, .35, .5, .8})},
        {"rgba 21x8, gamma", Chunked(Ihdr(21, 8, 8, 6), Zlib(FilteredRows(21, 8, 4, 2), 9), {.3, .6}, gama)},
        {"rgb interlaced 13x11, key",
         Chunked(Ihdr(13, 11, 8, 2, 1), Zlib(FilteredRows(13, 30, 3, 3)), {.5},
                 Chunk("tRNS", {0, 3, 0, 6, 0, 9}))},
        {"palette 4-bit 17x5",
         Chunked(Ihdr(17, 5, 4, 3), Zlib(FilteredRows(9, 5, 1, 4)), {.4}, Chunk("PLTE", Bytes(48, 0x77)))},
        {"grey-alpha 16-bit 6x4", Chunked(Ihdr(6, 4, 16, 4), Zlib(FilteredRows(6, 4, 4, 5)), {.5})},
    };
}

}  // namespace

TEST(PngFastPath, EverySampleFileDecodesAsTheReferencePath) {
    VELTO_NEED_CORPUS();
    int files = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(test::CorpusDir())) {
        if (e.path().extension() != ".png") continue;
        Bytes file;
        ASSERT_TRUE(ReadWholeFile(e.path().string(), file));
        SCOPED_TRACE(e.path().string());
        EXPECT_EQ(Differences(file), "");
        ++files;
    }
    EXPECT_GT(files, 300);
}

TEST(PngFastPath, EveryPrefixAndCorruptionGivesTheReferenceOutcome) {
    for (const Sample& s : Samples()) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(Differences(s.file), "");
        EXPECT_EQ(Decode(s.file, CodecPath::Fast).error, "") << "the sample itself must load";
        for (std::size_t n = 0; n < s.file.size(); ++n) {
            const Bytes prefix(s.file.begin(), s.file.begin() + static_cast<std::ptrdiff_t>(n));
            const std::string d = Differences(prefix);
            if (!d.empty()) ADD_FAILURE() << "prefix of " << n << " bytes: " << d;
        }
        // Each byte changed in turn, its chunk's CRC then mended (so that the
        // change reaches the inflater) or not.
        for (std::size_t at = 33; at < s.file.size(); ++at) {
            for (const bool mend : {false, true}) {
                Bytes bad = s.file;
                bad[at] ^= 0x5A;
                if (mend) {
                    std::size_t p = 8;
                    while (p + 12 <= bad.size()) {
                        const std::uint32_t len = (std::uint32_t{bad[p]} << 24) | (bad[p + 1] << 16) |
                                                  (bad[p + 2] << 8) | bad[p + 3];
                        if (len > bad.size() - p - 12) break;
                        if (at >= p + 8 && at < p + 8 + len) {
                            TChunkName name;
                            std::copy_n(bad.begin() + static_cast<std::ptrdiff_t>(p + 4), 4, name.begin());
                            const std::uint32_t crc = png_detail::ChunkCrc(name, {&bad[p + 8], len});
                            for (int i = 0; i < 4; ++i) bad[p + 8 + len + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
                        }
                        p += 12 + len;
                    }
                }
                const std::string d = Differences(bad);
                if (!d.empty()) ADD_FAILURE() << "byte " << at << (mend ? " (CRC mended)" : "") << ": " << d;
            }
        }
    }
}

TEST(PngFastPath, StreamsThatEndEarlyLateOrBadlyAsBefore) {
    const Bytes ihdr = Ihdr(20, 6, 8, 6);
    const Bytes raw = FilteredRows(20, 6, 4, 9);
    const Bytes z = Zlib(raw);
    const Bytes body(z.begin(), z.end() - 4), adler(z.end() - 4, z.end());
    Bytes badAdler = z;
    badAdler.back() ^= 1;
    const Bytes threeRows = Zlib(Bytes(raw.begin(), raw.begin() + 3 * 81 + 40));
    Bytes longer = raw;
    longer.insert(longer.end(), 100, 7);
    Bytes junk = z;
    junk.insert(junk.end(), {0xDE, 0xAD});
    const Bytes midStream = Zlib(raw, 0);  // stored blocks: cut anywhere and still valid up to there
    const struct {
        const char* name;
        Bytes file;
    } rows[] = {
        {"ends after three and a half rows", File({ihdr, Chunk("IDAT", threeRows), Iend()})},
        {"more data than the image", File({ihdr, Chunk("IDAT", Zlib(longer)), Iend()})},
        {"junk after the stream", File({ihdr, Chunk("IDAT", junk), Iend()})},
        {"Adler-32 wrong", File({ihdr, Chunk("IDAT", badAdler), Iend()})},
        {"Adler-32 wrong, in its own chunk", File({ihdr, Chunk("IDAT", body), Chunk("IDAT", {1, 2, 3, 4}), Iend()})},
        {"Adler-32 in a chunk of bad CRC",
         [&] {
             Bytes c = Chunk("IDAT", adler);
             c.back() ^= 1;
             return File({ihdr, Chunk("IDAT", body), c, Iend()});
         }()},
        {"Adler-32 missing, text next", File({ihdr, Chunk("IDAT", body), Chunk("tEXt", {'a', 0}), Iend()})},
        {"stream cut, text next",
         File({ihdr, Chunk("IDAT", Bytes(midStream.begin(), midStream.begin() + 300)), Chunk("tEXt", {'a', 0}), Iend()})},
        {"stream cut, file ends", File({ihdr, Chunk("IDAT", Bytes(midStream.begin(), midStream.begin() + 300))})},
        {"unknown window size", File({ihdr, Chunk("IDAT", [&] { Bytes b = z; b[0] = 0x88; b[1] = 0x1C; return b; }()), Iend()})},
        {"header check wrong", File({ihdr, Chunk("IDAT", [&] { Bytes b = z; b[1] ^= 1; return b; }()), Iend()})},
        {"dictionary asked for", File({ihdr, Chunk("IDAT", {0x78, 0xBB, 0, 0, 0, 1, 3, 0}), Iend()})},
        {"one byte of data", File({ihdr, Chunk("IDAT", {0x78}), Iend()})},
        {"bad block type", File({ihdr, Chunk("IDAT", {0x78, 0x9C, 0xFF, 0xFF}), Iend()})},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(Differences(r.file), "");
    }
    // The rows decoded before the stream ended are kept, the rest read zero.
    TPNGObject png;
    Load(png, rows[0].file);
    EXPECT_NE(png.AlphaScanline(2)[19], 0);
    for (int y = 3; y < 6; ++y) EXPECT_EQ(Bytes(png.AlphaScanline(y), png.AlphaScanline(y) + 20), Bytes(20, 0)) << y;
}

// Image data large enough for the streaming inflater, split over chunks of
// every size from 1 byte (the zlib header itself split) to thousands, and the
// same split with a chunk of bad CRC or a damaged byte in the middle: the
// reference outcome each time, and for whole splits the pixels of one chunk.
TEST(PngFastPath, ImageDataSplitOverManyChunks) {
    const Bytes ihdr = Ihdr(300, 40, 8, 2);
    const Bytes z = Zlib(FilteredRows(300, 40, 3, 5));
    const Bytes whole = File({ihdr, Chunk("IDAT", z), Iend()});
    const Outcome one = Decode(whole, CodecPath::Fast);
    ASSERT_EQ(one.error, "");
    for (const std::size_t size : {1u, 2u, 3u, 7u, 100u, 1000u, 4096u}) {
        Bytes file = Signature();
        Bytes damaged = Signature(), badCrc = Signature();
        for (const Bytes* b : {&ihdr}) {
            file.insert(file.end(), b->begin(), b->end());
            damaged.insert(damaged.end(), b->begin(), b->end());
            badCrc.insert(badCrc.end(), b->begin(), b->end());
        }
        std::size_t k = 0;
        for (std::size_t at = 0; at < z.size(); at += size, ++k) {
            Bytes piece(z.begin() + static_cast<std::ptrdiff_t>(at),
                        z.begin() + static_cast<std::ptrdiff_t>(std::min(z.size(), at + size)));
            const Bytes c = Chunk("IDAT", piece);
            file.insert(file.end(), c.begin(), c.end());
            Bytes bad = c;
            if (k == 5) bad.back() ^= 1;
            badCrc.insert(badCrc.end(), bad.begin(), bad.end());
            if (at <= z.size() / 2 && z.size() / 2 < at + size) piece[z.size() / 2 - at] ^= 0x55;
            const Bytes d = Chunk("IDAT", piece);
            damaged.insert(damaged.end(), d.begin(), d.end());
        }
        for (Bytes* f : {&file, &damaged, &badCrc}) {
            const Bytes end = Iend();
            f->insert(f->end(), end.begin(), end.end());
        }
        SCOPED_TRACE("chunks of " + std::to_string(size));
        EXPECT_EQ(Differences(file), "");
        EXPECT_EQ(Differences(damaged), "");
        EXPECT_EQ(Differences(badCrc), "");
        const Outcome split = Decode(file, CodecPath::Fast);
        EXPECT_TRUE(split.dib == one.dib && split.error.empty());
    }
}

TEST(PngFastPath, VectorUnfilteringMatchesTheScalarCode) {
    std::mt19937 rng(5);
    for (const std::size_t bpp : {3u, 4u, 1u, 6u}) {
        for (const std::uint8_t type : {0, 1, 2, 3, 4, 7}) {
            for (std::size_t pixels = 1; pixels <= 41; ++pixels) {
                const std::size_t n = pixels * bpp;
                Bytes prior(n), row(n);
                for (auto& b : prior) b = static_cast<std::uint8_t>(rng());
                for (auto& b : row) b = static_cast<std::uint8_t>(rng() % 3 == 0 ? 255 - (rng() & 3) : rng());
                Bytes fast = row, ref = row;
                png_detail::UnfilterRowFast(type, fast.data(), prior.data(), n, bpp);
                png_detail::UnfilterRow(type, ref.data(), prior.data(), n, bpp);
                ASSERT_EQ(fast, ref) << "filter " << int{type} << ", " << bpp << " bytes per pixel, " << pixels << " pixels";
            }
        }
    }
}

// Batches of rows of every mix of filters (runs of Average and Paeth go four
// rows at a time through the AVX2 code where there is AVX2): the same bytes
// as the portable code and the scalar reference, for rows just long enough
// for the four-row code and longer, and rows with bytes near 0 and 255.
TEST(PngFastPath, RowBatchesMatchThePortableAndScalarCode) {
    std::mt19937 rng(11);
    const std::uint8_t mixes[][8] = {{4, 4, 4, 4, 4, 4, 4, 4}, {3, 3, 3, 3, 3, 3, 3, 3}, {4, 3, 3, 4, 3, 4, 4, 3},
                                     {4, 4, 4, 1, 4, 4, 4, 4}, {2, 4, 4, 4, 4, 0, 3, 3}, {4, 4, 9, 4, 4, 4, 4, 3}};
    for (const std::size_t bpp : {3u, 4u, 1u, 2u, 6u, 8u})
        for (const auto& mix : mixes)
            for (const std::size_t pixels : {1u, 7u, 8u, 9u, 13u, 64u, 301u})
                for (const std::size_t count : {1u, 3u, 4u, 5u, 8u}) {
                    const std::size_t n = pixels * bpp, stride = n + 1;
                    Bytes above(n), rows(stride * count);
                    for (auto& b : above) b = static_cast<std::uint8_t>(rng());
                    for (std::size_t i = 0; i < rows.size(); ++i)
                        rows[i] = i % stride == 0 ? mix[i / stride]
                                                  : static_cast<std::uint8_t>(rng() % 3 == 0 ? 255 - (rng() & 3) : rng());
                    Bytes best = rows, portable = rows, ref = rows;
                    png_detail::UnfilterRowsFast(best.data(), stride, count, above.data(), n, bpp);
                    {
                        png_detail::ScopedPortableUnfilter scope;
                        png_detail::UnfilterRowsFast(portable.data(), stride, count, above.data(), n, bpp);
                    }
                    const std::uint8_t* prior = above.data();
                    for (std::size_t r = 0; r < count; ++r) {
                        png_detail::UnfilterRow(ref[r * stride], ref.data() + r * stride + 1, prior, n, bpp);
                        prior = ref.data() + r * stride + 1;
                    }
                    const std::string what = std::to_string(bpp) + " bytes per pixel, " + std::to_string(pixels) +
                                             " pixels, " + std::to_string(count) + " rows, mix starting " +
                                             std::to_string(mix[0]) + std::to_string(mix[1]);
                    ASSERT_EQ(portable, ref) << "portable, " << what;
                    ASSERT_EQ(best, ref) << "best for this processor, " << what;
                }
}

TEST(PngFastPath, WrittenFilesReadBackAlikeAndNoLargerThanZlibs) {
    for (const auto& [type, depth] : kLayouts)
        for (const TFilters filters : {TFilters{1 << pfSub}, TFilters{1 << pfPaeth}, TFilters{0x1F}})
            for (const std::uint8_t interlace : {0, 1})
                for (const std::uint8_t level : {0, 1, 6, 7, 9}) {
                    SCOPED_TRACE("type " + std::to_string(type) + " depth " + std::to_string(depth) + " filters " +
                                 std::to_string(filters) + " interlace " + std::to_string(interlace) + " level " +
                                 std::to_string(level));
                    TPNGObject png;
                    PaintLayout(png, type, depth, interlace, filters);
                    png.CompressionLevel = level;
                    Bytes fast, ref;
                    {
                        ScopedCodecPath p(CodecPath::Fast);
                        fast = Save(png);
                    }
                    {
                        ScopedCodecPath p(CodecPath::Reference);
                        ref = Save(png);
                    }
                    EXPECT_LE(fast.size(), ref.size());
                    if (level == 0) {
                        EXPECT_EQ(fast, ref);  // stored, as before
                    }
                    TPNGObject a, b;
                    Load(a, fast);
                    Load(b, ref);
                    EXPECT_EQ(DescribeMismatch(ToRgba(a), ToRgba(b)), "");
                    EXPECT_EQ(Differences(fast), "");
                }
    // A level zlib does not know fails alike on both paths.
    TPNGObject png;
    png.CreateBlank(COLOR_RGB, 8, 3, 3);
    png.CompressionLevel = 10;
    const std::string fast = Thrown<EPNGZLIBError>([&] { Save(png); });
    ScopedCodecPath p(CodecPath::Reference);
    EXPECT_EQ(fast, Thrown<EPNGZLIBError>([&] { Save(png); }));
    EXPECT_NE(fast, "no exception");
}

// Up to 64 KiB of filtered data zlib is tried beside the fast deflater and the
// smaller stream kept: small files never grow.
TEST(PngFastPath, SmallSampleImagesRewrittenNoLargerThanZlibs) {
    VELTO_NEED_CORPUS();
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(test::Corpus("pngsuite"))) {
        if (e.path().extension() != ".png" || e.path().filename().string()[0] == 'x') continue;
        Bytes file;
        ASSERT_TRUE(ReadWholeFile(e.path().string(), file));
        SCOPED_TRACE(e.path().filename().string());
        TPNGObject png;
        Load(png, file);
        for (const std::uint8_t level : {1, 7, 9}) {
            png.CompressionLevel = level;
            png.Filters = 0x1F;
            Bytes fast, ref;
            {
                ScopedCodecPath p(CodecPath::Fast);
                fast = Save(png);
            }
            {
                ScopedCodecPath p(CodecPath::Reference);
                ref = Save(png);
            }
            EXPECT_LE(fast.size(), ref.size()) << "level " << int{level};
        }
        ++files;
    }
    EXPECT_GE(files, 50);
}

// Compressed once, a small image is the fast deflater's stream whatever zlib
// would make of it: never smaller than the compared one, larger where zlib
// won, and read back alike; a copy keeps the choice.
TEST(PngFastPath, CompressedOnceIsTheFastStreamAndReadsBackAlike) {
    if (!png_detail::FastDeflateBuilt()) GTEST_SKIP() << "built without the fast deflater";
    int zlibWon = 0;
    for (const auto& [type, depth] : kLayouts)
        for (const std::uint8_t level : {1, 7, 9}) {
            SCOPED_TRACE("type " + std::to_string(type) + " depth " + std::to_string(depth) + " level " +
                         std::to_string(level));
            TPNGObject png;
            PaintLayout(png, type, depth, 0, 0x1F);
            png.CompressionLevel = level;
            ScopedCodecPath p(CodecPath::Fast);
            const Bytes compared = Save(png);
            png.CompareCompressors = false;
            const Bytes once = Save(png);
            TPNGObject copy;
            copy.AssignPNG(png);
            EXPECT_EQ(Save(copy), once);
            EXPECT_GE(once.size(), compared.size());
            if (once.size() > compared.size()) ++zlibWon;
            TPNGObject a, b;
            Load(a, once);
            Load(b, compared);
            EXPECT_EQ(DescribeMismatch(ToRgba(a), ToRgba(b)), "");
            EXPECT_EQ(Differences(once), "");
        }
    // The comparison did keep zlib's stream somewhere, so the two differ.
    EXPECT_GT(zlibWon, 0);
}

TEST(PngFastPath, GammaTablesKeptPerValueAreThoseBuiltAnew) {
    // More values than are kept, then again in the other order: built anew or
    // found, each value gives the same tables.
    std::vector<std::uint32_t> values;
    for (std::uint32_t v = 20000; values.size() < 24; v += 7919) values.push_back(v);
    std::vector<Bytes> first;
    auto tables = [](std::uint32_t v) {
        const Bytes gama = Chunk("gAMA", {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                                          static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
        TPNGObject png;
        Load(png, OneImage(1, 1, 8, 2, {0, 1, 2, 3}, {gama}));
        Bytes t;
        for (std::size_t i = 0; i < 256; ++i) t.insert(t.end(), {png.GammaTable[i], png.InverseGamma[i]});
        return t;
    };
    for (const std::uint32_t v : values) first.push_back(tables(v));
    for (std::size_t i = values.size(); i-- > 0;) EXPECT_EQ(tables(values[i]), first[i]) << values[i];
    EXPECT_NE(first[0], first[1]);
}
