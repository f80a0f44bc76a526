// The library's JPEG and DXT codecs next to what they wrap or would be
// compared with: JPEG decode and encode of a 4096x4096 photograph through the
// format (memory stream, I/O table, scan lines into the image) against
// libjpeg's own API called directly on the same bytes with the same settings;
// DXT5 encode and decode of 1024x1024 against libsquish (its range fit, the
// like-for-like encoder, on one thread).
#include <benchmark/benchmark.h>
#include <omp.h>
#include <squish.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <jpeglib.h>

#include "imaging/BlockFormats.h"
#include "imaging/FormatJpeg.h"
#include "imaging/Imaging.h"

using namespace velto;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Smooth colour fields with a little texture and a soft alpha, as a photograph (B, G, R, A).
Bytes Photo(int side) {
    Bytes px(std::size_t(side) * std::size_t(side) * 4);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            std::uint8_t* p = px.data() + (std::size_t(y) * std::size_t(side) + std::size_t(x)) * 4;
            const double fx = x / 97.0, fy = y / 61.0;
            p[0] = static_cast<std::uint8_t>(128 + 100 * std::sin(fx) * std::cos(fy) + (x * y & 3));
            p[1] = static_cast<std::uint8_t>(128 + 90 * std::sin(fx * 0.7 + fy));
            p[2] = static_cast<std::uint8_t>(128 + 80 * std::cos(fx * 1.3 - fy * 0.5));
            p[3] = static_cast<std::uint8_t>(200 + 50 * std::sin(fy * 2));
        }
    return px;
}

// The photograph as B, G, R rows.
Bytes PhotoBgr(int side) {
    const Bytes bgra = Photo(side);
    Bytes bgr(bgra.size() / 4 * 3);
    for (std::size_t i = 0, j = 0; i < bgra.size(); i += 4, j += 3) {
        bgr[j] = bgra[i];
        bgr[j + 1] = bgra[i + 1];
        bgr[j + 2] = bgra[i + 2];
    }
    return bgr;
}

// libjpeg directly: quality 90, baseline, YCbCr, B, G, R scan lines.
Bytes LibjpegEncode(const Bytes& bgr, int side) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = c.image_height = static_cast<JDIMENSION>(side);
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_set_colorspace(&c, JCS_YCbCr);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bgr.data() + std::size_t(c.next_scanline) * std::size_t(side) * 3);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes file(out, out + size);
    std::free(out);
    return file;
}

// Decodes into a new buffer, as a decoder of files does (the format allocates its image too).
std::unique_ptr<std::uint8_t[]> LibjpegDecode(const Bytes& file) {
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&d);
    std::unique_ptr<std::uint8_t[]> bgr(new std::uint8_t[std::size_t(d.output_width) * d.output_height * 3]);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = bgr.get() + std::size_t(d.output_scanline) * d.output_width * 3;
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return bgr;
}

constexpr int kJpegSide = 4096;
constexpr int kDxtSide = 1024;

const Bytes& JpegFile() {
    static const Bytes file = LibjpegEncode(PhotoBgr(kJpegSide), kJpegSide);
    return file;
}

TJpegFileFormat& Jpeg() { return *FindImageFileFormatByClass<TJpegFileFormat>(); }

void JpegDecodeVelto(benchmark::State& state) {
    // A stream made once and rewound: the load's work, not a copy of the file.
    TMemoryStream stream(JpegFile());
    for (auto _ : state) {
        stream.Seek(0, smFromBeginning);
        TDynImageDataArray images;
        if (!Jpeg().LoadFromStream(stream, images)) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(images[0].Bits);
        FreeImagesInArray(images);
    }
    state.SetItemsProcessed(state.iterations() * kJpegSide * kJpegSide);
}

void JpegDecodeLibjpeg(benchmark::State& state) {
    const Bytes& file = JpegFile();
    for (auto _ : state) {
        std::unique_ptr<std::uint8_t[]> bgr = LibjpegDecode(file);
        benchmark::DoNotOptimize(bgr.get());
    }
    state.SetItemsProcessed(state.iterations() * kJpegSide * kJpegSide);
}

void JpegEncodeVelto(benchmark::State& state) {
    const Bytes bgr = PhotoBgr(kJpegSide);
    TImageData image;
    NewImage(kJpegSide, kJpegSide, ifR8G8B8, image);
    std::copy(bgr.begin(), bgr.end(), image.Bits);
    Jpeg().JpegQuality = 90;
    Jpeg().JpegProgressive = 0;
    for (auto _ : state) {
        TMemoryStream out;
        if (!Jpeg().SaveToStream(out, {image})) state.SkipWithError("save failed");
        benchmark::DoNotOptimize(out.Data().data());
    }
    FreeImage(image);
    state.SetItemsProcessed(state.iterations() * kJpegSide * kJpegSide);
}

void JpegEncodeLibjpeg(benchmark::State& state) {
    const Bytes bgr = PhotoBgr(kJpegSide);
    for (auto _ : state) {
        Bytes file = LibjpegEncode(bgr, kJpegSide);
        benchmark::DoNotOptimize(file.data());
    }
    state.SetItemsProcessed(state.iterations() * kJpegSide * kJpegSide);
}

// libsquish takes R, G, B, A.
Bytes ToRgba(const Bytes& bgra) {
    Bytes rgba = bgra;
    for (std::size_t i = 0; i < rgba.size(); i += 4) std::swap(rgba[i], rgba[i + 2]);
    return rgba;
}

void Dxt5EncodeVelto(benchmark::State& state) {
    const Bytes px = Photo(kDxtSide);
    Bytes blocks(std::size_t(kDxtSide) * kDxtSide);
    for (auto _ : state) {
        EncodeDXT5(px.data(), blocks.data(), kDxtSide, kDxtSide);
        benchmark::DoNotOptimize(blocks.data());
    }
    state.SetItemsProcessed(state.iterations() * kDxtSide * kDxtSide);
}

void Dxt5EncodeSquish(benchmark::State& state) {
    omp_set_num_threads(1);
    const Bytes px = ToRgba(Photo(kDxtSide));
    Bytes blocks(std::size_t(kDxtSide) * kDxtSide);
    for (auto _ : state) {
        squish::CompressImage(px.data(), kDxtSide, kDxtSide, blocks.data(), squish::kDxt5 | squish::kColourRangeFit);
        benchmark::DoNotOptimize(blocks.data());
    }
    state.SetItemsProcessed(state.iterations() * kDxtSide * kDxtSide);
}

void Dxt5DecodeVelto(benchmark::State& state) {
    const Bytes px = Photo(kDxtSide);
    Bytes blocks(std::size_t(kDxtSide) * kDxtSide), out(px.size());
    EncodeDXT5(px.data(), blocks.data(), kDxtSide, kDxtSide);
    for (auto _ : state) {
        DecodeDXT5(blocks.data(), out.data(), kDxtSide, kDxtSide);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kDxtSide * kDxtSide);
}

void Dxt5DecodeSquish(benchmark::State& state) {
    omp_set_num_threads(1);
    const Bytes px = Photo(kDxtSide);
    Bytes blocks(std::size_t(kDxtSide) * kDxtSide), out(px.size());
    EncodeDXT5(px.data(), blocks.data(), kDxtSide, kDxtSide);
    for (auto _ : state) {
        squish::DecompressImage(out.data(), kDxtSide, kDxtSide, blocks.data(), squish::kDxt5);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kDxtSide * kDxtSide);
}

}  // namespace

BENCHMARK(JpegDecodeVelto)->Name("JpegDecode/velto/4096")->Unit(benchmark::kMillisecond);
BENCHMARK(JpegDecodeLibjpeg)->Name("JpegDecode/libjpeg/4096")->Unit(benchmark::kMillisecond);
BENCHMARK(JpegEncodeVelto)->Name("JpegEncode/velto/4096")->Unit(benchmark::kMillisecond);
BENCHMARK(JpegEncodeLibjpeg)->Name("JpegEncode/libjpeg/4096")->Unit(benchmark::kMillisecond);
BENCHMARK(Dxt5EncodeVelto)->Name("Dxt5Encode/velto/1024")->Unit(benchmark::kMillisecond);
BENCHMARK(Dxt5EncodeSquish)->Name("Dxt5Encode/squish/1024")->Unit(benchmark::kMillisecond);
BENCHMARK(Dxt5DecodeVelto)->Name("Dxt5Decode/velto/1024")->Unit(benchmark::kMillisecond);
BENCHMARK(Dxt5DecodeSquish)->Name("Dxt5Decode/squish/1024")->Unit(benchmark::kMillisecond);
