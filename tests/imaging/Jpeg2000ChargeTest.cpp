// What a JPEG 2000 load charges bounds what the codec allocates, counted
// through allocation functions this program defines itself.
#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <filesystem>

#include "Corpus.h"
#include "Jpeg2000Rows.h"
#include "imaging/Classes.h"
#include "imaging/FormatJpeg2000.h"
#include "imaging/Imaging.h"
#include "platform/FileIO.h"

namespace {

// Bytes held by blocks allocated while counting, and their peak.
std::atomic<bool> gCounting{false};
std::atomic<std::int64_t> gHeld{0}, gPeak{0};

void* Counted(void* p, std::int64_t sign) {
    if (p && gCounting.load(std::memory_order_relaxed)) {
        const std::int64_t held = gHeld += sign * static_cast<std::int64_t>(malloc_usable_size(p));
        for (std::int64_t peak = gPeak; held > peak && !gPeak.compare_exchange_weak(peak, held);) {
        }
    }
    return p;
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

void* malloc(std::size_t n) { return Counted(__libc_malloc(n), 1); }
void* calloc(std::size_t count, std::size_t n) { return Counted(__libc_calloc(count, n), 1); }
void* realloc(void* old, std::size_t n) { return Counted(__libc_realloc(Counted(old, -1), n), 1); }
void free(void* p) { __libc_free(Counted(p, -1)); }
int posix_memalign(void** out, std::size_t alignment, std::size_t n) {  // the codec's aligned blocks
    return (*out = Counted(__libc_memalign(alignment, n), 1)) ? 0 : ENOMEM;
}
}
constexpr bool kCounted = true;
#else
constexpr bool kCounted = false;
#endif

namespace velto::jpeg2000charge {  // quick builds compile test files together
namespace {

using namespace test::costly;

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
TEST(Jpeg2000Charge, BoundsWhatTheCodecAllocates) {
    if (!kCounted) GTEST_SKIP() << "a sanitizer's allocation functions stand in for the counting ones";
    J2kStyle tiny;
    tiny.xcb = tiny.ycb = 0;
    std::vector<J2kRow> rows = J2kCraftedRows(512, 1, tiny);
    J2kStream precincts, tiles, two;
    precincts.width = precincts.height = tiles.width = tiles.height = 512;
    precincts.style.precincts = {0x00, 0x11, 0x11, 0x11, 0x11, 0x11};
    tiles.tileWidth = tiles.tileHeight = 16, tiles.style.levels = 0;
    two.width = 2048, two.height = two.tileWidth = two.tileHeight = 1024;
    precincts.tileHeaders.resize(1), tiles.tileHeaders.resize(1024), two.tileHeaders.resize(2);
    precincts.emptyPackets = tiles.emptyPackets = two.emptyPackets = true;
    rows.push_back({"2 x 2 precincts", J2kCodeStream(precincts), {}});
    rows.push_back({"1024 tiles", J2kCodeStream(tiles), {}});
    rows.push_back({"two large tiles", J2kCodeStream(two), {}});
    std::vector<std::filesystem::path> dirs = {std::filesystem::path(VELTO_SOURCE_DIR) / "fuzz/seeds/jp2"};
    if (test::HaveCorpus()) dirs.push_back(test::Corpus("pillow"));
    for (const auto& dir : dirs)
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (Bytes file; (entry.path().extension() == ".jp2" || entry.path().extension() == ".j2k") &&
                            ReadWholeFile(entry.path(), file))
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
}

}  // namespace
}  // namespace velto::jpeg2000charge
