// PNG decode and encode against libpng on large photo-like images and the PngSuite set.
#include <benchmark/benchmark.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "platform/FileIO.h"
#include "png/PngImage.h"

using namespace velto;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr int kSide = 4096;

// Smooth colour fields with a little noise: compresses like a photograph, and
// libpng's adaptive filtering picks a mix of all five filters for it.
Bytes PhotoPixels(int channels) {
    Bytes px(static_cast<std::size_t>(kSide) * kSide * channels);
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> noise(-3, 3);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            std::uint8_t* p = &px[(static_cast<std::size_t>(y) * kSide + x) * channels];
            const double fx = x / 300.0, fy = y / 200.0;
            const int v[4] = {static_cast<int>(128 + 100 * std::sin(fx) * std::cos(fy)),
                              static_cast<int>(128 + 90 * std::sin(fx * 0.7 + fy)),
                              static_cast<int>(128 + 80 * std::cos(fx * 1.3 - fy * 0.5)),
                              static_cast<int>(200 + 50 * std::sin(fy * 2))};
            for (int c = 0; c < channels; ++c) p[c] = static_cast<std::uint8_t>(std::clamp(v[c] + noise(rng), 0, 255));
        }
    return px;
}

struct MemOut {
    Bytes bytes;
};

Bytes LibpngEncode(const Bytes& px, int channels, int level, int filters) {
    MemOut out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep d, png_size_t n) {
            auto* o = static_cast<MemOut*>(png_get_io_ptr(p));
            o->bytes.insert(o->bytes.end(), d, d + n);
        },
        nullptr);
    png_set_IHDR(png, info, kSide, kSide, 8, channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, level);
    if (filters) {
        // Same deflate settings as ours: libpng would pick Z_FILTERED for filtered rows.
        png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
        png_set_compression_strategy(png, 0 /* Z_DEFAULT_STRATEGY */);
    }
    png_write_info(png, info);
    for (int y = 0; y < kSide; ++y)
        png_write_row(png, const_cast<png_bytep>(&px[static_cast<std::size_t>(y) * kSide * channels]));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out.bytes;
}

// libpng into its native row layout (no transforms), into one fresh buffer.
void LibpngDecode(const Bytes& file) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    struct Src {
        const Bytes* b;
        std::size_t pos;
    } src{&file, 0};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return;
    }
    png_set_read_fn(png, &src, [](png_structp p, png_bytep d, png_size_t n) {
        auto* s = static_cast<Src*>(png_get_io_ptr(p));
        if (s->b->size() - s->pos < n) png_error(p, "short");
        std::memcpy(d, s->b->data() + s->pos, n);
        s->pos += n;
    });
    png_read_info(png, info);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const png_uint_32 h = png_get_image_height(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<std::uint8_t> pixels(rowBytes * h);
    std::vector<png_bytep> rows(h);
    for (png_uint_32 y = 0; y < h; ++y) rows[y] = &pixels[y * rowBytes];
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    benchmark::DoNotOptimize(pixels.data());
    png_destroy_read_struct(&png, &info, nullptr);
}

void VeltoDecode(const Bytes& file) {
    TPNGObject png;
    ByteReader r(file);
    png.LoadFromStream(r);
    benchmark::DoNotOptimize(png.Scanline(0));
}

const Bytes& PhotoFile(int channels) {
    static const Bytes rgb = LibpngEncode(PhotoPixels(3), 3, 6, 0);
    static const Bytes rgba = LibpngEncode(PhotoPixels(4), 4, 6, 0);
    return channels == 4 ? rgba : rgb;
}

const std::vector<Bytes>& SuiteFiles() {
    static const std::vector<Bytes> files = [] {
        std::vector<Bytes> out;
        const auto dir = std::filesystem::path(VELTO_CORPUS_DIR) / "pngsuite";
        if (std::filesystem::is_directory(dir))
            for (const auto& e : std::filesystem::directory_iterator(dir))
                if (e.path().extension() == ".png") {
                    Bytes b;
                    if (ReadWholeFile(e.path().string(), b)) out.push_back(std::move(b));
                }
        return out;
    }();
    return files;
}

template <void (*Decode)(const Bytes&)>
void BM_DecodePhoto(benchmark::State& state) {
    const Bytes& file = PhotoFile(static_cast<int>(state.range(0)));
    for (auto _ : state) Decode(file);
    state.SetBytesProcessed(state.iterations() * std::int64_t{kSide} * kSide * state.range(0));
}

template <void (*Decode)(const Bytes&)>
void BM_DecodeSuite(benchmark::State& state) {
    const auto& files = SuiteFiles();
    for (auto _ : state)
        for (const auto& f : files) Decode(f);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(files.size()));
}

constexpr int kLevel = 7;

void BM_EncodeVelto(benchmark::State& state) {
    const int channels = static_cast<int>(state.range(0));
    // The photo decoded once; encoding then runs from the codec's own pixels.
    TPNGObject png;
    ByteReader r(PhotoFile(channels));
    png.LoadFromStream(r);
    png.CompressionLevel = kLevel;
    png.Filters = FilterBit(pfSub);
    for (auto _ : state) {
        ByteWriter w;
        png.SaveToStream(w);
        benchmark::DoNotOptimize(w.buffer().data());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t{kSide} * kSide * channels);
}

void BM_EncodeLibpng(benchmark::State& state) {
    const int channels = static_cast<int>(state.range(0));
    const Bytes px = PhotoPixels(channels);
    for (auto _ : state) benchmark::DoNotOptimize(LibpngEncode(px, channels, kLevel, PNG_FILTER_SUB).data());
    state.SetBytesProcessed(state.iterations() * std::int64_t{kSide} * kSide * channels);
}

}  // namespace

BENCHMARK(BM_DecodePhoto<VeltoDecode>)->Name("PngDecode/velto/photo4096")->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodePhoto<LibpngDecode>)->Name("PngDecode/libpng/photo4096")->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSuite<VeltoDecode>)->Name("PngDecode/velto/pngsuite")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeSuite<LibpngDecode>)->Name("PngDecode/libpng/pngsuite")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EncodeVelto)->Name("PngEncode/velto/photo4096")->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_EncodeLibpng)->Name("PngEncode/libpng/photo4096")->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond)->Iterations(3);
