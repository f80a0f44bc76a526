// What a JPEG 2000 load charges against the decode budget bounds what the
// codec allocates: the seeds and the crafted files (markers the codec takes
// without a length or does not know, styles of tiles, tiny precincts, many
// tiles, a palette) are decoded by the codec while this program counts the
// bytes it holds, through the allocation functions, which it defines itself.
// At the program's real limits, each crafted file is refused (or loaded) in a
// child process within a bound of memory and time.
#include <gtest/gtest.h>
#include <malloc.h>
#include <openjpeg.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "ChildCost.h"
#include "Jpeg2000Rows.h"
#include "Sanitizer.h"
#include "imaging/Classes.h"
#include "imaging/FormatJpeg2000.h"
#include "platform/FileIO.h"

namespace {

// Bytes held by blocks allocated while counting, and their peak. A sanitizer
// brings allocation functions of its own: there, nothing is counted.
std::atomic<bool> gCounting{false};
std::atomic<std::int64_t> gHeld{0}, gPeak{0};

void Allocated(void* p) {
    if (!p || !gCounting.load(std::memory_order_relaxed)) return;
    const auto n = static_cast<std::int64_t>(malloc_usable_size(p));
    const std::int64_t held = gHeld.fetch_add(n) + n;
    std::int64_t peak = gPeak.load();
    while (held > peak && !gPeak.compare_exchange_weak(peak, held)) {
    }
}
void Freed(void* p) {
    if (p && gCounting.load(std::memory_order_relaxed)) gHeld.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(p)));
}

}  // namespace

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
void* __libc_memalign(std::size_t, std::size_t);

void* malloc(std::size_t n) {
    void* p = __libc_malloc(n);
    Allocated(p);
    return p;
}
void* calloc(std::size_t count, std::size_t n) {
    void* p = __libc_calloc(count, n);
    Allocated(p);
    return p;
}
void* realloc(void* old, std::size_t n) {
    Freed(old);
    void* p = __libc_realloc(old, n);
    Allocated(p ? p : old);
    return p;
}
void free(void* p) {
    Freed(p);
    __libc_free(p);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t n) {
    void* p = __libc_memalign(alignment, n);
    if (!p) return ENOMEM;
    Allocated(p);
    *out = p;
    return 0;
}
void* aligned_alloc(std::size_t alignment, std::size_t n) {
    void* p = __libc_memalign(alignment, n);
    Allocated(p);
    return p;
}
void* memalign(std::size_t alignment, std::size_t n) { return aligned_alloc(alignment, n); }
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

// The codec reading from memory, as a load has it.
struct Input {
    const Bytes* data;
    std::uint64_t pos = 0;
};
OPJ_SIZE_T ReadInput(void* out, OPJ_SIZE_T n, void* user) {
    auto* in = static_cast<Input*>(user);
    if (in->pos >= in->data->size()) return static_cast<OPJ_SIZE_T>(-1);
    const std::uint64_t count = std::min<std::uint64_t>(n, in->data->size() - in->pos);
    std::memcpy(out, in->data->data() + in->pos, count);
    in->pos += count;
    return count;
}
OPJ_OFF_T SkipInput(OPJ_OFF_T n, void* user) {
    auto* in = static_cast<Input*>(user);
    const auto to = std::clamp<std::int64_t>(static_cast<std::int64_t>(in->pos) + n, 0, in->data->size());
    const OPJ_OFF_T moved = to - static_cast<std::int64_t>(in->pos);
    in->pos = static_cast<std::uint64_t>(to);
    return moved == 0 && n != 0 ? -1 : moved;
}
OPJ_BOOL SeekInput(OPJ_OFF_T pos, void* user) {
    auto* in = static_cast<Input*>(user);
    if (pos < 0 || static_cast<std::uint64_t>(pos) > in->data->size()) return OPJ_FALSE;
    in->pos = static_cast<std::uint64_t>(pos);
    return OPJ_TRUE;
}
void Quiet(const char*, void*) {}

// The most bytes the codec held at once while decoding the file.
std::int64_t CodecPeak(const Bytes& file, bool jp2) {
    gHeld = 0;
    gPeak = 0;
    gCounting = true;
    {
        opj_codec_t* codec = opj_create_decompress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
        opj_set_info_handler(codec, Quiet, nullptr);
        opj_set_warning_handler(codec, Quiet, nullptr);
        opj_set_error_handler(codec, Quiet, nullptr);
        opj_dparameters_t params;
        opj_set_default_decoder_parameters(&params);
        opj_setup_decoder(codec, &params);
        Input input{&file};
        opj_stream_t* stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE);
        opj_stream_set_read_function(stream, ReadInput);
        opj_stream_set_skip_function(stream, SkipInput);
        opj_stream_set_seek_function(stream, SeekInput);
        opj_stream_set_user_data(stream, &input, nullptr);
        opj_stream_set_user_data_length(stream, file.size());
        opj_image_t* image = nullptr;
        if (opj_read_header(stream, codec, &image) && opj_decode(codec, stream, image))
            opj_end_decompress(codec, stream);
        opj_image_destroy(image);
        opj_stream_destroy(stream);
        opj_destroy_codec(codec);
    }
    gCounting = false;
    return gPeak;
}

J2kStyle TinyBlocks() {
    J2kStyle s;
    s.xcb = s.ycb = 0;
    return s;
}

TEST(Jpeg2000Charge, BoundsWhatTheCodecAllocates) {
    if (!kCounted) GTEST_SKIP() << "a sanitizer's allocation functions stand in for the counting ones";
    std::vector<J2kRow> rows = J2kCraftedRows(512, 1, TinyBlocks());
    // Precincts of 2 x 2 samples make code blocks of one sample; tiles of
    // 16 x 16 (a code block each) in one and three components; two tiles of
    // 1024 x 1024.
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
    tiles.components = 3;
    rows.push_back({"1024 tiles of three components", J2kCodeStream(tiles), false, {1}});
    rows.push_back({"two large tiles", J2kCodeStream(two), false, {1}});
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(VELTO_SOURCE_DIR) / "fuzz/seeds/jp2")) {
        Bytes file;
        ASSERT_TRUE(ReadWholeFile(entry.path().string(), file));
        rows.push_back({"seed " + entry.path().filename().string(), file, Jpeg2000KindOf(file) == TJpeg2000Kind::Jp2, {1}});
    }
    int decoded = 0;
    for (const J2kRow& row : rows) {
        const TJpeg2000Cost cost = Jpeg2000Cost(row.file, row.jp2);
        // Damaged headers never reach the codec: a load refuses them first.
        if (cost.Damaged) continue;
        const std::int64_t peak = CodecPeak(row.file, row.jp2);
        EXPECT_GE(cost.DecodeBytes, static_cast<std::uint64_t>(peak)) << row.name << ": charged below what the codec held";
        decoded += peak > (4 << 20) ? 1 : 0;
    }
    EXPECT_GE(decoded, 20) << "crafted files whose decoding holds more than the codec's fixed 1 MiB or so";
}

// Loads in a child process with the program's limits: exit 0 loaded, 2
// refused as invalid, 3 as too large.
test::ChildCost LoadWithTheLimits(const Bytes& file) {
    return test::RunInChild([&] {
        test::LimitProcessorSeconds(20);
        try {
            TMemoryStream stream(file);
            TSingleImage image;
            image.LoadFromStream(stream);
            return image.Valid() ? 0 : 2;
        } catch (const EImagingError& e) {
            return e.FileStatus() == FileError::TooLarge ? 3 : 2;
        }
    });
}

TEST(Jpeg2000Charge, CraftedFilesAtTheRealLimitsAreRefusedInLittleMemoryAndTime) {
    // 8192 x 8192 in three components: 4 x 4 blocks found where only the codec
    // looked before are gigabytes; so are 255 palette columns of that size.
    for (const J2kRow& row : J2kCraftedRows(8192, 3, TinyBlocks())) {
        const test::ChildCost cost = LoadWithTheLimits(row.file);
        EXPECT_EQ(cost.exitCode, row.plain.empty() ? 2 : 3) << row.name << " (2: invalid, 3: too large)";
        if (test::kUnderSanitizer) continue;
        EXPECT_LT(cost.GrownKiB(), 300 << 10) << row.name;
        EXPECT_LT(cost.cpuSeconds, 2.0) << row.name;
    }
}

}  // namespace
}  // namespace jpeg2000charge
}  // namespace velto
