// The image library's hot paths next to what a user would compare them with:
// conversion of a 1024x1024 A8R8G8B8 image to R8G8B8 and to Index8 (median
// cut); bilinear and bicubic resizing of 1024x1024 to 256x256 against
// Pillow's resize (timed by a script, reported as manual time); JPEG 2000
// decode and encode of a 256x256 RGBA image against the bare OpenJPEG calls
// with the same parameters (what opj_decompress and opj_compress run) and
// against the times the two tools report.
#include <benchmark/benchmark.h>
#include <openjpeg.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/Classes.h"
#include "imaging/FileFormat.h"
#include "imaging/FormatJpeg2000.h"
#include "imaging/Imaging.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

using namespace velto;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

namespace {

// Smooth colour fields with a little texture, as a photograph.
void FillPhoto(TImageData& image) {
    const int w = image.Width;
    for (int y = 0; y < image.Height; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = image.Bits + (std::size_t(y) * std::size_t(w) + std::size_t(x)) * 4;
            const double fx = x / 97.0, fy = y / 61.0;
            p[0] = static_cast<std::uint8_t>(128 + 100 * std::sin(fx) * std::cos(fy) + (x * y & 3));
            p[1] = static_cast<std::uint8_t>(128 + 90 * std::sin(fx * 0.7 + fy));
            p[2] = static_cast<std::uint8_t>(128 + 80 * std::cos(fx * 1.3 - fy * 0.5));
            p[3] = static_cast<std::uint8_t>(200 + 50 * std::sin(fy * 2));
        }
}

struct Photo {
    TImageData image;
    explicit Photo(int side) {
        NewImage(side, side, ifA8R8G8B8, image);
        FillPhoto(image);
    }
    ~Photo() { FreeImage(image); }
};

void Convert(benchmark::State& state, TImageFormat target) {
    Photo photo(1024);
    for (auto _ : state) {
        TImageData copy;
        CloneImage(photo.image, copy);
        ConvertImage(copy, target);
        benchmark::DoNotOptimize(copy.Bits);
        FreeImage(copy);
    }
    state.SetItemsProcessed(state.iterations() * 1024 * 1024);
}
BENCHMARK_CAPTURE(Convert, A8R8G8B8_to_R8G8B8_1024, ifR8G8B8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Convert, A8R8G8B8_to_Index8_mediancut_1024, ifIndex8)->Unit(benchmark::kMillisecond);

// Resizing an opaque RGB picture (Pillow resizes RGBA premultiplied, so RGB
// compares like with like).
void ResizeVelto(benchmark::State& state, TResizeFilter filter) {
    Photo photo(1024);
    ConvertImage(photo.image, ifR8G8B8);
    for (auto _ : state) {
        TImageData copy;
        CloneImage(photo.image, copy);
        ResizeImage(copy, 256, 256, filter);
        benchmark::DoNotOptimize(copy.Bits);
        FreeImage(copy);
    }
}
BENCHMARK_CAPTURE(ResizeVelto, bilinear_1024_to_256, rfBilinear)->Name("ImageResize/velto/bilinear_1024_to_256")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ResizeVelto, bicubic_1024_to_256, rfBicubic)->Name("ImageResize/velto/bicubic_1024_to_256")->Unit(benchmark::kMillisecond);

// Pillow's time for the same resize, measured by bench/imaging_pillow_resize.py
// (the median of its own repetitions) and reported as this benchmark's time.
void ResizePillow(benchmark::State& state, const char* filter) {
    const std::string script = std::string(VELTO_BENCH_DIR) + "/imaging_pillow_resize.py";
    const std::string log = (fs::temp_directory_path() / "velto-pillow-resize.txt").string();
    const std::string command = "/usr/bin/python3 '" + script + "' " + filter + " > '" + log + "' 2>&1";
    if (std::system(command.c_str()) != 0) {
        state.SkipWithError("Pillow is not available");
        return;
    }
    std::ifstream in(log);
    double seconds = 0;
    in >> seconds;
    fs::remove(log);
    for (auto _ : state) state.SetIterationTime(seconds);
}
BENCHMARK_CAPTURE(ResizePillow, bilinear, "bilinear")->Name("ImageResize/pillow/bilinear_1024_to_256")->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ResizePillow, bicubic, "bicubic")->Name("ImageResize/pillow/bicubic_1024_to_256")->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// JPEG 2000 of a 256x256 RGBA picture, lossless, as the program writes it.
Bytes Jp2File() {
    Photo photo(256);
    TMemoryStream out;
    SaveImageToStream("jp2", out, photo.image);
    return out.Data();
}

void Jpeg2000DecodeVelto(benchmark::State& state) {
    const Bytes file = Jp2File();
    for (auto _ : state) {
        TMemoryStream in(file);
        TImageData image;
        LoadImageFromStream(in, image);
        benchmark::DoNotOptimize(image.Bits);
        FreeImage(image);
    }
}
BENCHMARK(Jpeg2000DecodeVelto)->Name("Jpeg2000Decode/velto/rgba256")->Unit(benchmark::kMillisecond);

void Jpeg2000EncodeVelto(benchmark::State& state) {
    Photo photo(256);
    for (auto _ : state) {
        TMemoryStream out;
        SaveImageToStream("jp2", out, photo.image);
        benchmark::DoNotOptimize(out.Data().data());
    }
}
BENCHMARK(Jpeg2000EncodeVelto)->Name("Jpeg2000Encode/velto/rgba256")->Unit(benchmark::kMillisecond);

// The bare codec with the same parameters, over a memory buffer.
struct Mem {
    const Bytes* in = nullptr;
    Bytes* out = nullptr;
    std::size_t pos = 0;
};
OPJ_SIZE_T MemRead(void* b, OPJ_SIZE_T n, void* u) {
    auto* m = static_cast<Mem*>(u);
    if (m->pos >= m->in->size()) return static_cast<OPJ_SIZE_T>(-1);
    n = std::min<OPJ_SIZE_T>(n, m->in->size() - m->pos);
    std::memcpy(b, m->in->data() + m->pos, n);
    m->pos += n;
    return n;
}
OPJ_SIZE_T MemWrite(void* b, OPJ_SIZE_T n, void* u) {
    auto* m = static_cast<Mem*>(u);
    if (m->pos + n > m->out->size()) m->out->resize(m->pos + n);
    std::memcpy(m->out->data() + m->pos, b, n);
    m->pos += n;
    return n;
}
OPJ_OFF_T MemSkip(OPJ_OFF_T n, void* u) {
    static_cast<Mem*>(u)->pos += static_cast<std::size_t>(n);
    return n;
}
OPJ_BOOL MemSeek(OPJ_OFF_T n, void* u) {
    static_cast<Mem*>(u)->pos = static_cast<std::size_t>(n);
    return OPJ_TRUE;
}
void Quiet(const char*, void*) {}

void Jpeg2000DecodeOpenJpeg(benchmark::State& state) {
    const Bytes file = Jp2File();
    for (auto _ : state) {
        Mem m{&file, nullptr, 0};
        opj_codec_t* codec = opj_create_decompress(OPJ_CODEC_JP2);
        opj_set_error_handler(codec, Quiet, nullptr);
        opj_dparameters_t p;
        opj_set_default_decoder_parameters(&p);
        opj_setup_decoder(codec, &p);
        opj_stream_t* s = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE);
        opj_stream_set_read_function(s, MemRead);
        opj_stream_set_skip_function(s, MemSkip);
        opj_stream_set_seek_function(s, MemSeek);
        opj_stream_set_user_data(s, &m, nullptr);
        opj_stream_set_user_data_length(s, file.size());
        opj_image_t* image = nullptr;
        opj_read_header(s, codec, &image);
        opj_decode(codec, s, image);
        opj_end_decompress(codec, s);
        benchmark::DoNotOptimize(image->comps[0].data);
        opj_image_destroy(image);
        opj_stream_destroy(s);
        opj_destroy_codec(codec);
    }
}
BENCHMARK(Jpeg2000DecodeOpenJpeg)->Name("Jpeg2000Decode/openjpeg/rgba256")->Unit(benchmark::kMillisecond);

void Jpeg2000EncodeOpenJpeg(benchmark::State& state) {
    Photo photo(256);
    for (auto _ : state) {
        opj_image_cmptparm_t parms[4];
        std::memset(parms, 0, sizeof parms);
        for (auto& p : parms) {
            p.dx = p.dy = 1;
            p.w = p.h = 256;
            p.prec = 8;
        }
        opj_image_t* image = opj_image_create(4, parms, OPJ_CLRSPC_SRGB);
        image->x1 = image->y1 = 256;
        image->comps[3].alpha = 1;
        const int channel[4] = {2, 1, 0, 3};
        for (int c = 0; c < 4; ++c)
            for (std::size_t i = 0; i < 256 * 256; ++i) image->comps[c].data[i] = photo.image.Bits[i * 4 + std::size_t(channel[c])];
        opj_codec_t* codec = opj_create_compress(OPJ_CODEC_JP2);
        opj_set_error_handler(codec, Quiet, nullptr);
        opj_cparameters_t p;
        opj_set_default_encoder_parameters(&p);
        p.cod_format = 1;
        p.numresolution = 6;
        p.tcp_numlayers = 1;
        p.cp_disto_alloc = 1;
        p.tcp_rates[0] = 0;
        opj_setup_encoder(codec, &p, image);
        Bytes out;
        Mem m{nullptr, &out, 0};
        opj_stream_t* s = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_FALSE);
        opj_stream_set_write_function(s, MemWrite);
        opj_stream_set_skip_function(s, MemSkip);
        opj_stream_set_seek_function(s, MemSeek);
        opj_stream_set_user_data(s, &m, nullptr);
        opj_start_compress(codec, image, s);
        opj_encode(codec, s);
        opj_end_compress(codec, s);
        benchmark::DoNotOptimize(out.data());
        opj_stream_destroy(s);
        opj_destroy_codec(codec);
        opj_image_destroy(image);
    }
}
BENCHMARK(Jpeg2000EncodeOpenJpeg)->Name("Jpeg2000Encode/openjpeg/rgba256")->Unit(benchmark::kMillisecond);

// The tools' own reported times ("decode time: N ms", "encode time: N ms")
// over a folder of copies, averaged: the codec without process start-up.
double ToolMilliseconds(const std::string& command, const char* label) {
    const std::string log = (fs::temp_directory_path() / "velto-opj-tool.txt").string();
    if (std::system((command + " > '" + log + "' 2>&1").c_str()) != 0) return -1;
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    fs::remove(log);
    const std::string s = text.str();
    const std::regex line(std::string(label) + R"( time: ([0-9.]+) ms)");
    double total = 0;
    int n = 0;
    for (auto it = std::sregex_iterator(s.begin(), s.end(), line); it != std::sregex_iterator(); ++it, ++n)
        total += std::stod((*it)[1]);
    return n ? total / n : -1;
}

void Jpeg2000Tool(benchmark::State& state, bool decode) {
    const fs::path dir = fs::temp_directory_path() / ("velto-opj-bench-" + std::to_string(::getpid()));
    const fs::path in = dir / "in";  // the tools write their output beside their input
    fs::create_directories(in);
    const int copies = 40;
    double ms = -1;
    if (decode) {
        const Bytes file = Jp2File();
        for (int i = 0; i < copies; ++i) WriteWholeFile((in / ("p" + std::to_string(i) + ".jp2")).string(), file);
        ms = ToolMilliseconds("opj_decompress -ImgDir '" + in.string() + "' -OutFor RAW", "decode");
    } else {
        // A 256x256 RGBA source the tool reads (a TGA of 32 bits, bottom-up rows).
        Photo photo(256);
        Bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 32, 8};
        for (int y = 255; y >= 0; --y)
            tga.insert(tga.end(), photo.image.Bits + y * 1024, photo.image.Bits + (y + 1) * 1024);
        for (int i = 0; i < copies; ++i) WriteWholeFile((in / ("p" + std::to_string(i) + ".tga")).string(), tga);
        ms = ToolMilliseconds("opj_compress -ImgDir '" + in.string() + "' -OutFor JP2 -n 6", "encode");
    }
    fs::remove_all(dir);
    if (ms < 0) {
        state.SkipWithError("opj_decompress / opj_compress not available");
        return;
    }
    for (auto _ : state) state.SetIterationTime(ms / 1000.0);
}
BENCHMARK_CAPTURE(Jpeg2000Tool, decode, true)->Name("Jpeg2000Decode/opj_decompress/rgba256")->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Jpeg2000Tool, encode, false)->Name("Jpeg2000Encode/opj_compress/rgba256")->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
