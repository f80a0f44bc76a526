// What a JPEG 2000 load charges bounds what the codec allocates: the seeds and
// crafted files are loaded while this program counts the bytes held, through
// allocation functions it defines itself. At the program's real limits, each
// crafted file is refused in a child process within a bound of memory and time.
#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <filesystem>

#include "ChildCost.h"
#include "Corpus.h"
#include "Jpeg2000Rows.h"
#include "Sanitizer.h"
#include "imaging/Classes.h"
#include "imaging/FormatJpeg2000.h"
#include "imaging/Imaging.h"
#include "platform/FileIO.h"

namespace {

// Bytes held by blocks allocated while counting, and their peak.
std::atomic<bool> gCounting{false};
std::atomic<std::int64_t> gHeld{0}, gPeak{0};

void Counted(void* p, int sign) {
    if (!p || !gCounting.load(std::memory_order_relaxed)) return;
    const std::int64_t n = sign * static_cast<std::int64_t>(malloc_usable_size(p)), held = gHeld.fetch_add(n) + n;
    for (std::int64_t peak = gPeak.load(); held > peak && !gPeak.compare_exchange_weak(peak, held);) {
    }
}

}  // namespace

// A sanitizer brings allocation functions of its own: there nothing is counted.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
void* __libc_memalign(std::size_t, std::size_t);

void* malloc(std::size_t n) {
    void* p = __libc_malloc(n);
    Counted(p, 1);
    return p;
}
void* calloc(std::size_t count, std::size_t n) {
    void* p = __libc_calloc(count, n);
    Counted(p, 1);
    return p;
}
void* realloc(void* old, std::size_t n) {
    Counted(old, -1);
    void* p = __libc_realloc(old, n);
    Counted(p ? p : old, 1);
    return p;
}
void free(void* p) {
    Counted(p, -1);
    __libc_free(p);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t n) {  // the codec's aligned blocks
    Counted(*out = __libc_memalign(alignment, n), 1);
    return *out ? 0 : ENOMEM;
}
}
constexpr bool kCounted = true;
#else
constexpr bool kCounted = false;
#endif

namespace velto {
// A namespace of its own: quick builds compile test files together.
namespace jpeg2000charge {
namespace {

using namespace test::costly;

// The most bytes a load of the file held at once (loaded or refused), less
// its copy of the file and the image it made: what the codec held.
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
    std::int64_t made = 0;
    for (const TImageData& image : images) made += image.Size;
    FreeImagesInArray(images);
    return gPeak - static_cast<std::int64_t>(file.size()) - made;
}

J2kStyle TinyBlocks() {
    J2kStyle s;
    s.xcb = s.ycb = 0;
    return s;
}

TEST(Jpeg2000Charge, BoundsWhatTheCodecAllocates) {
    if (!kCounted) GTEST_SKIP() << "a sanitizer's allocation functions stand in for the counting ones";
    std::vector<J2kRow> rows = J2kCraftedRows(512, 1, TinyBlocks());
    // Precincts of 2 x 2 samples (code blocks of one sample); tiles of 16 x 16
    // (a code block each); two of 1024 x 1024.
    J2kStream precincts, tiles, two;
    precincts.width = precincts.height = tiles.width = tiles.height = 512;
    precincts.style.precincts = {0x00, 0x11, 0x11, 0x11, 0x11, 0x11};
    tiles.tileWidth = tiles.tileHeight = 16;
    tiles.style.levels = 0;
    tiles.tileHeaders.resize(1024);
    two.width = 2048;
    two.height = two.tileWidth = two.tileHeight = 1024;
    two.tileHeaders.resize(2);
    precincts.tileHeaders = {{}};
    precincts.emptyPackets = tiles.emptyPackets = two.emptyPackets = true;
    rows.push_back({"precincts of one code block each", J2kCodeStream(precincts), false, {1}});
    rows.push_back({"1024 tiles", J2kCodeStream(tiles), false, {1}});
    rows.push_back({"two large tiles", J2kCodeStream(two), false, {1}});
    // The seeds, and the samples of the shared corpus where it is.
    std::vector<std::filesystem::directory_entry> files;
    const std::filesystem::path seeds = std::filesystem::path(VELTO_SOURCE_DIR) / "fuzz/seeds/jp2";
    for (const auto& entry : std::filesystem::directory_iterator(seeds)) files.push_back(entry);
    if (test::HaveCorpus())
        for (const auto& entry : std::filesystem::directory_iterator(test::Corpus("pillow")))
            if (entry.path().extension() == ".jp2" || entry.path().extension() == ".j2k") files.push_back(entry);
    for (const auto& entry : files) {
        Bytes file;
        ASSERT_TRUE(ReadWholeFile(entry.path().string(), file));
        rows.push_back({entry.path().filename().string(), file, Jpeg2000KindOf(file) == TJpeg2000Kind::Jp2, {1}});
    }
    int large = 0;
    for (const J2kRow& row : rows) {
        const TJpeg2000Cost cost = Jpeg2000Cost(row.file, row.jp2);
        if (cost.Damaged) continue;  // refused before the codec sees it
        const std::int64_t peak = CodecPeak(row.file);
        EXPECT_GE(cost.DecodeBytes, static_cast<std::uint64_t>(peak)) << row.name << ": charged below the codec's";
        large += peak > (4 << 20) ? 1 : 0;
    }
    EXPECT_GE(large, 20) << "files whose decoding holds more than the codec's fixed megabyte or so";
}

TEST(Jpeg2000Charge, CraftedFilesAtTheRealLimitsAreRefusedInLittleMemoryAndTime) {
    // 8192 x 8192 in three components: 4 x 4 blocks found where only the codec
    // looked before cost gigabytes, as do 255 palette columns of 2048 x 2048.
    for (const J2kRow& row : J2kCraftedRows(8192, 3, TinyBlocks())) {
        const test::ChildCost cost = test::RunInChild([&] {
            test::LimitProcessorSeconds(20);
            try {
                TMemoryStream stream(row.file);
                TSingleImage image;
                image.LoadFromStream(stream);
                return image.Valid() ? 0 : 2;
            } catch (const EImagingError& e) {
                return e.FileStatus() == FileError::TooLarge ? 3 : 2;
            }
        });
        EXPECT_EQ(cost.exitCode, row.plain.empty() ? 2 : 3) << row.name << " (0: loaded, 2: invalid, 3: too large)";
        if (test::kUnderSanitizer) continue;
        EXPECT_LT(cost.GrownKiB(), 300 << 10) << row.name;
        EXPECT_LT(cost.cpuSeconds, 2.0) << row.name;
    }
}

}  // namespace
}  // namespace jpeg2000charge
}  // namespace velto
