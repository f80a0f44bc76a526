// Chunk container: file structure, list rules, hostile headers and image data.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "ChildCost.h"
#include "FileTrouble.h"
#include "PngTestUtil.h"
#include "Sanitizer.h"

using namespace velto;
using namespace pngtest;

namespace {

// Unfiltered rows (filter byte 0) of `rowBytes` bytes each, every byte `value`.
Bytes RawRows(int rows, int rowBytes, std::uint8_t value = 0) {
    Bytes raw;
    for (int y = 0; y < rows; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), static_cast<std::size_t>(rowBytes), value);
    }
    return raw;
}

// A 4x3 8-bit grey image whose pixels are all 0x40, its data split in three chunks.
const Bytes kGrey = RawRows(3, 4, 0x40);
Bytes Part(int i) {
    const Bytes z = Zlib(kGrey);
    const auto at = [&](int k) { return z.begin() + static_cast<std::ptrdiff_t>(z.size() * static_cast<std::size_t>(k) / 3); };
    return Bytes(at(i), at(i + 1));
}

// The text of the E that loading throws; `png` keeps what was read.
template <class E, class P = TPNGObject>
std::string ErrorOf(const Bytes& file, P&& png = P()) {
    return Thrown<E>([&] { Load(png, file); });
}

Bytes WithHeader(const Bytes& ihdr) { return File({ihdr, Chunk("IDAT", Zlib(RawRows(1, 1))), Iend()}); }

// A file the system refuses says why, reading and writing.
TEST(PngContainer, RefusedFilesCarryTheSystemsReason) {
    TPNGObject png;
    png.CreateBlank(COLOR_RGB, 8, 16, 16);
    VELTO_EXPECT_TROUBLES_REPORTED("x.png", [&](const std::string& path) {
        FileError error;
        return png.SaveToFile(path, &error) ? std::string("saved") : FileErrorText(error);
    });
    FileError error;
    EXPECT_FALSE(TPNGObject().LoadFromFile("/tmp/velto-no-such-folder/x.png", &error));
    EXPECT_EQ(FileErrorText(error), "No such file or directory");
}

}  // namespace

TEST(PngContainer, BrokenFilesAreRefusedWithTheirOwnError) {
    const Bytes grey = Ihdr(4, 3, 8, 0), data = Chunk("IDAT", Zlib(kGrey));
    Bytes badIdat = Chunk("IDAT", Part(1));
    badIdat.back() ^= 0x80;
    const std::string zlib = std::string(EPNGZLIBErrorText) + "\n Description: ";
    EXPECT_EQ(ErrorOf<EPNGInvalidFileHeader>(Bytes{'n', 'o', 't', ' ', 'p', 'n', 'g', '!'}), EPNGInvalidFileHeaderText);
    EXPECT_EQ(ErrorOf<EPngUnexpectedEnd>(Signature()), EPngUnexpectedEndText);
    EXPECT_EQ(ErrorOf<EPngUnexpectedEnd>(File({grey, data})), EPngUnexpectedEndText);  // no IEND
    EXPECT_EQ(ErrorOf<EPNGNoImageData>(File({grey, Iend()})), EPNGNoImageDataText);
    EXPECT_EQ(ErrorOf<EPNGUnknownCriticalChunk>(File({grey, Chunk("PRIV", {1}), Iend()})), EPNGUnknownCriticalChunkText);
    EXPECT_EQ(ErrorOf<EPngInvalidCRC>(File({grey, Chunk("IDAT", Part(0)), badIdat, Chunk("IDAT", Part(2)), Iend()})),
              EPngInvalidCRCText);
    EXPECT_EQ(ErrorOf<EPNGMissingMultipleIDAT>(
                  File({grey, Chunk("IDAT", Part(0)), Chunk("tEXt", {'a', 0, 'b'}), Chunk("IDAT", Part(1)), Iend()})),
              EPNGMissingMultipleIDATText);
    // A preset dictionary (PNG never has one) must fail, not wait forever for input.
    EXPECT_EQ(ErrorOf<EPNGZLIBError>(File({grey, Chunk("IDAT", {0x78, 0xBB, 0, 0, 0, 1, 3, 0}), Iend()})),
              zlib + "need dictionary (2)");
    EXPECT_EQ(ErrorOf<EPNGZLIBError>(File({grey, Chunk("IDAT", {0x78, 0x9C, 0xFF, 0xFF}), Iend()})),
              zlib + "data error (-3)");

    // What was read before the error stays in the list.
    TPNGObject png;
    EXPECT_EQ(ErrorOf<EPNGIHDRNotFirst>(File({Chunk("tEXt", {'a', 0, 'b'}), grey}), png), EPNGIHDRNotFirstText);
    EXPECT_EQ(png.Chunks().Count(), 0);
    Bytes badCrc = Chunk("tIME", {0x07, 0xE2, 1, 2, 3, 4, 5});
    badCrc.back() ^= 1;
    EXPECT_EQ(ErrorOf<EPngInvalidCRC>(File({grey, badCrc}), png), EPngInvalidCRCText);
    ASSERT_EQ(png.Chunks().Count(), 2);
    EXPECT_NE(dynamic_cast<TChunktIME*>(png.Chunks().GetItem(1)), nullptr);
}

TEST(PngContainer, HostileHeadersAreRefusedBeforeAllocating) {
    // Chunk lengths beyond the data (and beyond PNG's limit) never allocate.
    Bytes huge = File({Ihdr(4, 3, 8, 0)}), shortData = huge;
    Put32(huge, 0xFFFFFFFFu);
    huge.insert(huge.end(), {'t', 'E', 'X', 't', 0, 0});
    Put32(shortData, 100);
    shortData.insert(shortData.end(), {'t', 'E', 'X', 't', 'a', 0, 'b'});
    EXPECT_EQ(ErrorOf<EPngUnexpectedEnd>(huge), EPngUnexpectedEndText);
    EXPECT_EQ(ErrorOf<EPngUnexpectedEnd>(shortData), EPngUnexpectedEndText);

    const std::pair<const char*, Bytes> invalid[] = {
        {"10 bytes", Chunk("IHDR", {0, 0, 0, 1, 0, 0, 0, 1, 8, 0})}, {"zero width", Ihdr(0, 1, 8, 0)},
        {"zero height", Ihdr(1, 0, 8, 0)},           {"16-bit palette", Ihdr(1, 1, 16, 3)},
        {"colour type 5", Ihdr(1, 1, 8, 5)},         {"3-bit grey", Ihdr(1, 1, 3, 0)},
    };
    for (const auto& [name, ihdr] : invalid) EXPECT_EQ(ErrorOf<EPngInvalidIHDR>(WithHeader(ihdr)), EPngInvalidIHDRText) << name;
    EXPECT_EQ(ErrorOf<EPngInvalidIHDR>(File({Ihdr(1, 1, 8, 0), Ihdr(1, 1, 8, 0), Iend()})), EPngInvalidIHDRText);
    const std::pair<const char*, Bytes> tooLarge[] = {
        {"width of 31 bits", Ihdr(0x80000000u, 1, 8, 0)}, {"height 65536", Ihdr(1, 65536, 8, 0)},
        {"width 65536", Ihdr(65536, 1, 1, 0)}};
    for (const auto& [name, ihdr] : tooLarge) EXPECT_EQ(ErrorOf<EPNGSizeExceeds>(WithHeader(ihdr)), EPNGSizeExceedsText) << name;
    EXPECT_EQ(ErrorOf<EPNGUnknownCompression>(WithHeader(Chunk("IHDR", {0, 0, 0, 1, 0, 0, 0, 1, 8, 0, 1, 0, 0}))),
              EPNGUnknownCompressionText);
    EXPECT_EQ(ErrorOf<EPNGUnknownInterlace>(WithHeader(Ihdr(1, 1, 8, 0, 2))), EPNGUnknownInterlaceText);

    // 65535 is allowed; 1-bit rows keep the data small.
    TPNGObject wide;
    Load(wide, File({Ihdr(65535, 1, 1, 0), Chunk("IDAT", Zlib(RawRows(1, 8192, 0xFF))), Iend()}));
    EXPECT_EQ(wide.GetPixels(65534, 0), MakeColor(255, 255, 255));

    // A header asking for far more than the rest of the file could inflate to
    // is refused before anything is allocated for its pixels.
    TPNGObject greedy;
    greedy.Limits.pixels = ~0ull;
    EXPECT_EQ(ErrorOf<EPngUnexpectedEnd>(WithHeader(Ihdr(65535, 65535, 16, 6)), greedy), EPngUnexpectedEndText);
    EXPECT_TRUE(greedy.GetHeader().ImageBitmap().Empty());

    TPNGObject budget;
    budget.Limits.pixels = 100;
    EXPECT_EQ(ErrorOf<EPNGOutMemory>(WithHeader(Ihdr(11, 10, 8, 0)), budget), EPNGOutMemoryText);
    EXPECT_THROW(budget.CreateBlank(COLOR_RGB, 8, 11, 10), EPNGOutMemory);
}

TEST(PngContainer, ChunksKeptDroppedAndWrittenBack) {
    // Loaded from the current position of a larger file (as in icons), stopping after IEND.
    const Bytes priv = Chunk("prIv", {1, 2, 3});
    const Bytes file = File({Ihdr(4, 3, 8, 0), Chunk("cHRM", Bytes(32, 0)), priv, Chunk("IDAT", Part(0)),
                             Chunk("IDAT", {}), Chunk("IDAT", Part(1)), Chunk("IDAT", Part(2)), Iend()});
    Bytes outer = {1, 2, 3};
    outer.insert(outer.end(), file.begin(), file.end());
    outer.insert(outer.end(), {9, 9});
    ByteReader r(outer);
    r.seek(3);
    TPNGObject png;
    png.LoadFromStream(r);
    EXPECT_EQ(r.pos(), 3 + file.size());
    EXPECT_EQ(png.Scanline(2)[3], 0x40);  // empty IDAT chunks between data chunks are passed over

    // cHRM and the IDAT after the image data are dropped; the private chunk stays at its place.
    ASSERT_EQ(png.Chunks().Count(), 4);
    EXPECT_EQ(png.Chunks().GetItem(1)->NameView(), "prIv");
    const Bytes out = Save(png);
    EXPECT_EQ(std::search(out.begin(), out.end(), priv.begin(), priv.end()) - out.begin(), 8 + 25);
    EXPECT_FALSE(Contains(out, {'c', 'H', 'R', 'M'}));

    // Compressed data that ends early, followed by junk: the missing rows stay zero.
    Bytes early = Zlib(RawRows(1, 4, 0x40));
    early.insert(early.end(), {1, 2, 3, 4, 5});
    Load(png, File({Ihdr(4, 3, 8, 0), Chunk("IDAT", early), Iend()}));
    EXPECT_EQ(png.Scanline(0)[0], 0x40);
    EXPECT_EQ(png.Scanline(2)[0], 0);
}

TEST(PngContainer, CreateBlankAndAddFollowTheRules) {
    TPNGObject empty;
    EXPECT_EQ(Thrown<EPngError>([&] { empty.Chunks().Add<TChunktEXt>(); }), EPngInvalidImageText);

    TPNGObject png;
    png.CreateBlank(COLOR_PALETTE, 8, 2, 2);
    EXPECT_THROW(png.Chunks().Add<TChunkIHDR>(), EPngError);
    auto* text = png.Chunks().Add<TChunktEXt>();
    auto* gama = png.Chunks().Add<TChunkgAMA>();
    auto* trns = png.Chunks().Add<TChunktRNS>();
    EXPECT_EQ(Thrown<EPngError>([&] { png.Chunks().Add<TChunkgAMA>(); }), EPngExistentChunkText);
    // IHDR, gAMA, PLTE, tRNS, IDAT, tEXt, IEND
    EXPECT_EQ(gama->Index(), 1);
    EXPECT_EQ(trns->Index(), 3);
    EXPECT_EQ(text->Index(), 5);
    EXPECT_EQ(png.Chunks().GetItem(6)->NameView(), "IEND");

    for (auto [type, depth] : {std::pair{3, 16}, {2, 4}, {6, 4}, {1, 8}, {0, 3}})
        EXPECT_THROW(png.CreateBlank(static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(depth), 10, 10),
                     EPNGInvalidSpec)
            << "type " << type << " depth " << depth;
    png.CreateBlank(COLOR_GRAYSCALE, 2, 10, 10);
    EXPECT_EQ(png.GetHeader().BitsPerPixel(), 4);
    png.SetMaxIdatSize(1000);
    EXPECT_EQ(png.MaxIdatSize(), 65535);
    png.SetMaxIdatSize(100000);
    EXPECT_EQ(png.MaxIdatSize(), 100000);
}

TEST(PngContainer, AssignCopiesImagesAndBitmaps) {
    TPNGObject src;
    Load(src, File({Ihdr(4, 3, 8, 0), Chunk("tEXt", {'k', 0, 'v'}), Chunk("IDAT", Zlib(kGrey)), Iend()}));
    src.Filters = FilterBit(pfUp);
    TPNGObject copy;
    copy.Assign(src);
    EXPECT_EQ(copy.Chunks().FindChunk<TChunktEXt>()->Text, "v");
    EXPECT_EQ(copy.Filters, FilterBit(pfUp));
    EXPECT_EQ(copy.GetPixels(3, 2), MakeColor(0x40, 0x40, 0x40));
    EXPECT_THROW(copy.GetHeader().Assign(*src.Chunks().FindChunk<TChunktEXt>()), EPngError);

    TBitmap bmp;
    bmp.Allocate(3, 2, pf32bit);
    bmp.Canvas().SetPixels(0, 0, MakeColor(10, 20, 30));
    bmp.SetTransparentColor(MakeColor(10, 20, 30));
    bmp.SetTransparent(true);
    TPNGObject rgb;
    rgb.Assign(bmp);
    EXPECT_EQ(rgb.GetHeader().ColorType, COLOR_RGB);
    EXPECT_EQ(rgb.GetPixels(0, 0), MakeColor(10, 20, 30));
    EXPECT_EQ(rgb.TransparencyMode(), 1);
    EXPECT_EQ(rgb.TransparentColor(), MakeColor(10, 20, 30));
    EXPECT_EQ(rgb.Chunks().GetItem(1)->NameView(), "tRNS");

    TBitmap pal;
    pal.Allocate(2, 2, pf8bit);
    pal.ScanLine(1)[1] = 200;
    TPNGObject indexed;
    indexed.Assign(pal);
    EXPECT_EQ(indexed.GetHeader().ColorType, COLOR_PALETTE);
    EXPECT_EQ(indexed.Chunks().FindChunk<TChunkPLTE>()->Count, 256);
    EXPECT_EQ(indexed.GetPixels(1, 1), ColorFromQuad(pal.ColorTable()[200]));
}

TEST(PngContainer, ChunksKeptAndTheirBytesStayWithinTheLimits) {
    const Bytes ihdr = Ihdr(4, 3, 8, 0), data = Chunk("IDAT", Zlib(kGrey)), priv = Chunk("prIv", Bytes(100, 7));
    const Bytes threePrivate = File({ihdr, priv, priv, priv, data, Iend()});  // 6 chunks, 13 + 300 bytes kept
    const Bytes chrms = File({ihdr, Chunk("cHRM", Bytes(32, 0)), Chunk("cHRM", Bytes(32, 0)), data, Iend()});
    const struct {
        const char* name;
        const Bytes& file;
        std::function<void(ReadLimits&)> limit;
        const char* outcome;  // the error text, or "" when loaded
    } rows[] = {
        {"as many chunks as the limit", threePrivate, [](ReadLimits& l) { l.chunks = 6; }, ""},
        {"one chunk past the limit", threePrivate, [](ReadLimits& l) { l.chunks = 5; }, EPNGOutMemoryText},
        {"skipped chunks are not kept", chrms, [](ReadLimits& l) { l.chunks = 3; }, ""},
        {"as many bytes as the limit", threePrivate, [](ReadLimits& l) { l.chunkBytes = 313; }, ""},
        {"one byte past the limit", threePrivate, [](ReadLimits& l) { l.chunkBytes = 312; }, EPNGOutMemoryText},
        {"image data is not held", File({ihdr, data, Iend()}), [](ReadLimits& l) { l.chunkBytes = 13; }, ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        TPNGObject png;
        r.limit(png.Limits);
        EXPECT_EQ(Thrown<EPNGOutMemory>([&] { Load(png, r.file); }), *r.outcome ? r.outcome : "no exception");
    }

    // Inflated text counts against the same bytes: of two texts of 1000 bytes
    // the second no longer fits and stays empty, the file still loads.
    Bytes z = {'k', 0, 0};
    const Bytes packed = Zlib(Bytes(1000, 'x'));
    z.insert(z.end(), packed.begin(), packed.end());
    TPNGObject png;
    png.Limits.chunkBytes = 13 + 2 * z.size() + 1500;
    Load(png, File({ihdr, Chunk("zTXt", z), Chunk("zTXt", z), data, Iend()}));
    EXPECT_EQ(dynamic_cast<const TChunkzTXt&>(*png.Chunks().GetItem(1)).Text.size(), 1000u);
    EXPECT_EQ(dynamic_cast<const TChunkzTXt&>(*png.Chunks().GetItem(2)).Text.size(), 0u);
}

TEST(PngContainer, TextsThatFailToInflateStillSpendTheTextBudget) {
    const Bytes ihdr = Ihdr(4, 3, 8, 0);
    const Bytes data = Chunk("IDAT", Zlib(kGrey));
    auto ztxt = [](const Bytes& text) {
        Bytes z = {'k', 0, 0};
        const Bytes packed = Zlib(text);
        z.insert(z.end(), packed.begin(), packed.end());
        return Chunk("zTXt", z);
    };
    // Texts longer than one text may be fail; what they inflated before failing
    // is spent, so a later short text no longer fits.
    const Bytes tooLong = ztxt(Bytes(2000, 'x'));
    Bytes file = File({ihdr});
    for (int i = 0; i < 3; ++i) file.insert(file.end(), tooLong.begin(), tooLong.end());
    for (const Bytes& c : {ztxt(Bytes(10, 'y')), data, Iend()}) file.insert(file.end(), c.begin(), c.end());
    TPNGObject png;
    png.Limits.inflatedText = 1000;
    png.Limits.chunkBytes = 13 + 4 * tooLong.size() + 5000;
    Load(png, file);
    EXPECT_EQ(dynamic_cast<const TChunkzTXt&>(*png.Chunks().GetItem(4)).Text, "");

    // With the program's own limits: a megabyte of texts that each inflate
    // past the largest text is read in little time and memory.
    const Bytes huge = ztxt(Bytes((8u << 20) + 20000, 0));
    Bytes big = File({ihdr});
    while (big.size() < (1u << 20)) big.insert(big.end(), huge.begin(), huge.end());
    for (const Bytes& c : {data, Iend()}) big.insert(big.end(), c.begin(), c.end());
    const velto::test::ChildCost cost = velto::test::RunInChild([&] {
        TPNGObject limited;
        Load(limited, big);
        return limited.Width() == 4 ? 0 : 1;
    });
    ASSERT_TRUE(cost.exited);
    EXPECT_EQ(cost.exitCode, 0);
    std::printf("texts failing to inflate: %.3f s, peak %ld KiB\n", cost.cpuSeconds, cost.peakKiB);
    VELTO_SKIP_COST_LIMITS_UNDER_SANITIZER("the child's processor time and peak resident size");
    EXPECT_LT(cost.cpuSeconds, 0.5);
    EXPECT_LT(cost.peakKiB, 64 * 1024);
}

TEST(PngContainer, MillionsOfEmptyChunksAreRefusedInBoundedMemory) {
    // Two million empty chunks (a 24 MB file) would cost an object each. The
    // load runs in a child process whose peak resident size the system reports.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        int code = 2;
        try {
            const Bytes empty = Chunk("prIv", {});
            Bytes file = File({Ihdr(4, 3, 8, 0)});
            file.reserve(file.size() + empty.size() * 2'000'000 + 1024);
            for (int i = 0; i < 2'000'000; ++i) file.insert(file.end(), empty.begin(), empty.end());
            for (const Bytes& c : {Chunk("IDAT", Zlib(kGrey)), Iend()}) file.insert(file.end(), c.begin(), c.end());
            TPNGObject png;
            code = Thrown<EPNGOutMemory>([&] { Load(png, file); }) == EPNGOutMemoryText ? 0 : 1;
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    rusage usage{};
    ASSERT_EQ(::wait4(pid, &status, 0, &usage), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the file was not refused with the codec's out-of-resources error";
    RecordProperty("peak_kib", static_cast<int>(usage.ru_maxrss));
    std::printf("peak resident size of the loading process: %ld KiB\n", usage.ru_maxrss);
    VELTO_SKIP_COST_LIMITS_UNDER_SANITIZER("the loading process's peak resident size");
    EXPECT_LT(usage.ru_maxrss, 64 * 1024);  // KiB
}
