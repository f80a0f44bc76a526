// PNG decode and encode against libpng and libspng: 4096x4096 photo-like RGB
// and RGBA images, an all-Paeth RGB image, a mixed picture whose rows libpng's
// adaptive filtering spreads over every filter, a 256x256 icon, and the PngSuite
// set. "veltoref" is the codec's reference path (scalar, zlib), beside its
// default fast one; "veltoportable" the fast one without AVX2. Encoding runs at one level and filter choice for all.
// ImagingPngLoad: the image library's PNG format on the same files ("veltoplain":
// its zlib path), beside libpng.
#include <benchmark/benchmark.h>
#include <isa-l/igzip_lib.h>
#include <png.h>
#include <spng.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "imaging/FileFormat.h"
#include "imaging/Imaging.h"
#include "imaging/ImagingIO.h"
#include "platform/FileIO.h"
#include "png/PngImage.h"
#include "png/PngInternal.h"
#include "png/PngUnfilter.h"

using namespace velto;
using Bytes = std::vector<std::uint8_t>;

namespace {

// The pixels of one case, top row first, and the file libpng writes of them.
struct Case {
    int side = 0, channels = 0;
    Bytes pixels, file;
};

// Smooth colour fields with a little noise: compresses like a photograph; libpng's
// adaptive filtering picks Average for all rows but the first.
Bytes PhotoPixels(int side, int channels) {
    Bytes px(static_cast<std::size_t>(side) * side * channels);
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> noise(-3, 3);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            std::uint8_t* p = &px[(static_cast<std::size_t>(y) * side + x) * channels];
            const double fx = x / 300.0, fy = y / 200.0;
            const int v[4] = {static_cast<int>(128 + 100 * std::sin(fx) * std::cos(fy)),
                              static_cast<int>(128 + 90 * std::sin(fx * 0.7 + fy)),
                              static_cast<int>(128 + 80 * std::cos(fx * 1.3 - fy * 0.5)),
                              static_cast<int>(200 + 50 * std::sin(fy * 2))};
            for (int c = 0; c < channels; ++c) p[c] = static_cast<std::uint8_t>(std::clamp(v[c] + noise(rng), 0, 255));
        }
    return px;
}

std::uint32_t Hash(std::uint32_t x, std::uint32_t y) {
    std::uint32_t h = x * 374761393u + y * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return (h ^ (h >> 16)) & 0xFF;
}

// Bands of 64 rows of four kinds (smooth fields, columns, ramps, blocks with
// diagonals), with noise: libpng's adaptive filtering writes rows of every filter.
Bytes MixedPixels(int side) {
    Bytes px(static_cast<std::size_t>(side) * side * 3);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> noise(-2, 2);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            for (int c = 0; c < 3; ++c) {
                int v;
                switch ((y / 64) % 4) {
                    case 0: v = 128 + static_cast<int>(100 * std::sin(x / 300.0 + c) * std::cos(y / 200.0)); break;
                    case 1: v = static_cast<int>(Hash(static_cast<std::uint32_t>(x / 3), c * 7u)) / 2 + 64; break;
                    case 2: v = x * (c + 1) / 4 % 256; break;
                    default: v = static_cast<int>(Hash(x / 8u, y / 8u + c)) / 2 + (x + y) % 16 * 4; break;
                }
                px[(static_cast<std::size_t>(y) * side + x) * 3 + c] =
                    static_cast<std::uint8_t>(std::clamp(v + noise(rng), 0, 255));
            }
    return px;
}

// An icon: a shaded disc with a soft edge and a drop shadow on a transparent background.
Bytes IconPixels(int side) {
    Bytes px(static_cast<std::size_t>(side) * side * 4);
    const double r = side * 0.42, cx = side / 2.0, cy = side / 2.0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            std::uint8_t* p = &px[(static_cast<std::size_t>(y) * side + x) * 4];
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy), ds = std::hypot(x - cx - 6, y - cy - 8);
            const double cover = std::clamp(r - d + 0.5, 0.0, 1.0), shadow = std::clamp((r + 6 - ds) / 12, 0.0, 1.0) * 0.4;
            const double light = std::clamp(1.0 - std::hypot(x - cx * 0.7, y - cy * 0.6) / (2 * r), 0.0, 1.0);
            const double a = cover + (1 - cover) * shadow;
            p[0] = static_cast<std::uint8_t>(cover > 0 ? 40 + 200 * light : 0);
            p[1] = static_cast<std::uint8_t>(cover > 0 ? 90 + 150 * light * light : 0);
            p[2] = static_cast<std::uint8_t>(cover > 0 ? 200 + 55 * light : 0);
            p[3] = static_cast<std::uint8_t>(std::lround(a * 255));
        }
    return px;
}

Bytes LibpngEncode(const Case& c, int level, int filters) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep d, png_size_t n) {
            auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
            o->insert(o->end(), d, d + n);
        },
        nullptr);
    png_set_IHDR(png, info, c.side, c.side, 8, c.channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, level);
    if (filters) {
        // Same deflate settings as ours: libpng would pick Z_FILTERED for filtered rows.
        png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
        png_set_compression_strategy(png, 0 /* Z_DEFAULT_STRATEGY */);
    }
    png_write_info(png, info);
    const std::size_t rowBytes = static_cast<std::size_t>(c.side) * c.channels;
    for (int y = 0; y < c.side; ++y) png_write_row(png, const_cast<png_bytep>(&c.pixels[y * rowBytes]));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes SpngEncode(const Case& c, int level, int filterChoice) {
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr{};
    ihdr.width = static_cast<std::uint32_t>(c.side);
    ihdr.height = static_cast<std::uint32_t>(c.side);
    ihdr.bit_depth = 8;
    ihdr.color_type = c.channels == 4 ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR;
    spng_set_ihdr(ctx, &ihdr);
    spng_set_option(ctx, SPNG_IMG_COMPRESSION_LEVEL, level);
    spng_set_option(ctx, SPNG_IMG_COMPRESSION_STRATEGY, 0 /* Z_DEFAULT_STRATEGY */);
    spng_set_option(ctx, SPNG_FILTER_CHOICE, filterChoice);
    Bytes out;
    if (spng_encode_image(ctx, c.pixels.data(), c.pixels.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) == 0) {
        std::size_t n = 0;
        int err = 0;
        if (auto* buf = static_cast<std::uint8_t*>(spng_get_png_buffer(ctx, &n, &err))) {
            out.assign(buf, buf + n);
            std::free(buf);
        }
    }
    spng_ctx_free(ctx);
    return out;
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

// libspng likewise: its native layout, one fresh buffer, CRCs and Adler-32 checked.
void SpngDecode(const Bytes& file) {
    spng_ctx* ctx = spng_ctx_new(0);
    std::size_t size = 0;
    if (spng_set_png_buffer(ctx, file.data(), file.size()) == 0 &&
        spng_decoded_image_size(ctx, SPNG_FMT_PNG, &size) == 0) {
        std::vector<std::uint8_t> pixels(size);
        spng_decode_image(ctx, pixels.data(), size, SPNG_FMT_PNG, 0);
        benchmark::DoNotOptimize(pixels.data());
    }
    spng_ctx_free(ctx);
}

void VeltoDecode(const Bytes& file) {
    TPNGObject png;
    ByteReader r(file);
    png.LoadFromStream(r);
    benchmark::DoNotOptimize(png.Scanline(0));
}

// The data of the file's IDAT chunks, one after the other.
std::uint32_t be32(const Bytes& b, std::size_t at) {
    return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 | b[at + 3];
}

Bytes IdatData(const Bytes& file) {
    Bytes out;
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::uint32_t n = be32(file, at);
        if (std::memcmp(&file[at + 4], "IDAT", 4) == 0)
            out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                       file.begin() + static_cast<std::ptrdiff_t>(at + 8 + n));
        at += 12 + std::size_t(n);
    }
    return out;
}

// The floor of any decoder: ISA-L (the fastest inflater here, the one our
// codec streams through) inflating the image data alone into a buffer made
// once, with no unfiltering and no pixels written.
void InflateFloor(const Bytes& file) {
    thread_local const Bytes* held = nullptr;
    thread_local Bytes idat, out;
    if (held != &file) {
        idat = IdatData(file);
        // The filtered rows of the (not interlaced) image, from its header.
        const std::size_t w = be32(file, 16), h = be32(file, 20), depth = file[24];
        const std::size_t channels = file[25] == 2 ? 3 : file[25] == 6 ? 4 : file[25] == 4 ? 2 : 1;
        out.assign(h * (1 + (w * depth * channels + 7) / 8), 0);
        held = &file;
    }
    inflate_state st;
    isal_inflate_init(&st);
    st.crc_flag = ISAL_ZLIB;
    st.next_in = idat.data();
    st.avail_in = static_cast<std::uint32_t>(idat.size());
    st.next_out = out.data();
    st.avail_out = static_cast<std::uint32_t>(out.size());
    if (isal_inflate(&st) != ISAL_DECOMP_OK || st.avail_out != 0) std::abort();
    benchmark::DoNotOptimize(out.data());
}

// The default path without the AVX2 kernels.
void VeltoPortableDecode(const Bytes& file) {
    png_detail::ScopedPortableUnfilter portable;
    VeltoDecode(file);
}

void VeltoRefDecode(const Bytes& file) {
    png_detail::ScopedCodecPath path(png_detail::CodecPath::Reference);
    VeltoDecode(file);
}

// The image library's PNG format (what import and the batch converter use),
// from a stream over the file made once, as a caller holding the bytes would.
void ImagingLoad(const Bytes& file) {
    static TImageFileFormat* const format = FindImageFileFormatByExt("png");
    thread_local TMemoryStream stream;
    thread_local const Bytes* held = nullptr;
    if (held != &file) stream = TMemoryStream(file), held = &file;
    stream.Seek(0, smFromBeginning);
    TDynImageDataArray images;
    format->LoadFromStream(stream, images);
    benchmark::DoNotOptimize(images.empty() ? nullptr : images[0].Bits);
    FreeImagesInArray(images);
}

void ImagingPlainLoad(const Bytes& file) {
    png_detail::ScopedCodecPath path(png_detail::CodecPath::Reference);
    ImagingLoad(file);
}

enum CaseId { kPhotoRgb = 3, kPhotoRgba = 4, kPaeth, kMixed, kIcon };

const Case& GetCase(int id) {
    static const Case cases[] = {
        [] { Case c{4096, 3, PhotoPixels(4096, 3), {}}; c.file = LibpngEncode(c, 6, 0); return c; }(),
        [] { Case c{4096, 4, PhotoPixels(4096, 4), {}}; c.file = LibpngEncode(c, 6, 0); return c; }(),
        [] { Case c{4096, 3, PhotoPixels(4096, 3), {}}; c.file = LibpngEncode(c, 6, PNG_FILTER_PAETH); return c; }(),
        [] { Case c{4096, 3, MixedPixels(4096), {}}; c.file = LibpngEncode(c, 6, 0); return c; }(),
        [] { Case c{256, 4, IconPixels(256), {}}; c.file = LibpngEncode(c, 6, 0); return c; }(),
    };
    return cases[id - kPhotoRgb];
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
void BM_Decode(benchmark::State& state, int id) {
    const Case& c = GetCase(id);
    for (auto _ : state) Decode(c.file);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(c.pixels.size()));
}

template <void (*Decode)(const Bytes&)>
void BM_DecodeSuite(benchmark::State& state) {
    const auto& files = SuiteFiles();
    for (auto _ : state)
        for (const auto& f : files) Decode(f);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(files.size()));
}

constexpr int kLevel = 7;

// The filters every encoder uses for a case: Paeth for the Paeth image, else Sub.
bool PaethCase(int id) { return id == kPaeth; }

template <png_detail::CodecPath Path>
void BM_EncodeVelto(benchmark::State& state, int id) {
    // The file decoded once; encoding then runs from the codec's own pixels.
    TPNGObject png;
    ByteReader r(GetCase(id).file);
    png.LoadFromStream(r);
    png.CompressionLevel = kLevel;
    png.Filters = FilterBit(PaethCase(id) ? pfPaeth : pfSub);
    png_detail::ScopedCodecPath path(Path);
    std::size_t size = 0;
    for (auto _ : state) {
        ByteWriter w;
        png.SaveToStream(w);
        size = w.buffer().size();
        benchmark::DoNotOptimize(w.buffer().data());
    }
    state.counters["file_bytes"] = static_cast<double>(size);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(GetCase(id).pixels.size()));
}

Bytes LibpngEncodeCase(const Case& c, int id) {
    return LibpngEncode(c, kLevel, PaethCase(id) ? PNG_FILTER_PAETH : PNG_FILTER_SUB);
}
Bytes SpngEncodeCase(const Case& c, int id) {
    return SpngEncode(c, kLevel, PaethCase(id) ? SPNG_FILTER_CHOICE_PAETH : SPNG_FILTER_CHOICE_SUB);
}

template <Bytes (*Encode)(const Case&, int)>
void BM_EncodePeer(benchmark::State& state, int id) {
    const Case& c = GetCase(id);
    std::size_t size = 0;
    for (auto _ : state) {
        const Bytes out = Encode(c, id);
        size = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["file_bytes"] = static_cast<double>(size);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(c.pixels.size()));
}

struct Impl {
    const char* name;
    void (*fn)(benchmark::State&, int);
};

// The cases (photo4096/3 and /4, paeth4096, mixed4096, icon256), each case's
// implementations one after the other, so that a pair's times are taken close
// together on a busy machine.
void RegisterCases(const char* op, std::initializer_list<Impl> impls, benchmark::TimeUnit unit, int iterations) {
    const struct {
        const char* name;
        int id;
    } cases[] = {{"photo4096/3", kPhotoRgb}, {"photo4096/4", kPhotoRgba}, {"paeth4096", kPaeth},
                 {"mixed4096", kMixed},      {"icon256", kIcon}};
    for (const auto& c : cases)
        for (const Impl& impl : impls) {
            const std::string name = std::string(op) + "/" + impl.name + "/" + c.name;
            auto* b = benchmark::RegisterBenchmark(name.c_str(), impl.fn, c.id)
                          ->Unit(c.id == kIcon ? benchmark::kMicrosecond : unit);
            if (iterations && c.id != kIcon) b->Iterations(iterations);
        }
}

void RegisterCases(const char* op, const char* impl, void (*fn)(benchmark::State&, int), benchmark::TimeUnit unit,
                   int iterations) {
    RegisterCases(op, {{impl, fn}}, unit, iterations);
}

[[maybe_unused]] const int registered = [] {
    RegisterCases("PngDecode",
                  {{"velto", &BM_Decode<VeltoDecode>}, {"inflate-floor", &BM_Decode<InflateFloor>},
                   {"veltoportable", &BM_Decode<VeltoPortableDecode>},
                   {"veltoref", &BM_Decode<VeltoRefDecode>}, {"libpng", &BM_Decode<LibpngDecode>},
                   {"libspng", &BM_Decode<SpngDecode>}},
                  benchmark::kMillisecond, 0);
    benchmark::RegisterBenchmark("PngDecode/velto/pngsuite", &BM_DecodeSuite<VeltoDecode>)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("PngDecode/veltoref/pngsuite", &BM_DecodeSuite<VeltoRefDecode>)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("PngDecode/libpng/pngsuite", &BM_DecodeSuite<LibpngDecode>)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("PngDecode/libspng/pngsuite", &BM_DecodeSuite<SpngDecode>)->Unit(benchmark::kMicrosecond);
    RegisterCases("ImagingPngLoad",
                  {{"velto", &BM_Decode<ImagingLoad>}, {"veltoplain", &BM_Decode<ImagingPlainLoad>},
                   {"libpng", &BM_Decode<LibpngDecode>}},
                  benchmark::kMillisecond, 0);
    RegisterCases("PngEncode", "velto", &BM_EncodeVelto<png_detail::CodecPath::Fast>, benchmark::kMillisecond, 3);
    RegisterCases("PngEncode", "veltoref", &BM_EncodeVelto<png_detail::CodecPath::Reference>, benchmark::kMillisecond, 1);
    RegisterCases("PngEncode", "libpng", &BM_EncodePeer<LibpngEncodeCase>, benchmark::kMillisecond, 3);
    RegisterCases("PngEncode", "libspng", &BM_EncodePeer<SpngEncodeCase>, benchmark::kMillisecond, 3);
    return 0;
}();

}  // namespace
