// Loading and saving a 4096 x 4096 image in each classic raster format of the
// image library, beside Pillow (Debian's python3), netpbm for the arbitrary
// and float maps, and ImageMagick for PSD saving (neither Pillow nor netpbm
// writes PSD). Peers time their own work in their process (Pillow) or are
// timed as whole processes (netpbm, ImageMagick: start-up included, a few
// milliseconds); every pair reads or writes the same file.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "imaging/FileFormat.h"
#include "imaging/Formats.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

namespace {

using namespace velto;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int32_t kSide = 4096;
constexpr int kIterations = 5;

fs::path Dir() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("velto-bench-formats1-" + std::to_string(::getpid()));
        fs::create_directories(d);
        std::atexit([] { fs::remove_all(fs::temp_directory_path() / ("velto-bench-formats1-" + std::to_string(::getpid()))); });
        return d;
    }();
    return dir;
}

// A photograph-like picture: smooth gradients with a little noise, so that
// run-length coders meet both runs and detail.
const TImageData& Source(TImageFormat format) {
    static std::map<TImageFormat, TImageData> cache;
    auto it = cache.find(format);
    if (it != cache.end()) return it->second;
    TImageData argb;
    NewImage(kSide, kSide, ifA8R8G8B8, argb);
    std::uint32_t s = 7;
    for (std::int32_t y = 0; y < kSide; ++y)
        for (std::int32_t x = 0; x < kSide; ++x) {
            s = s * 1103515245u + 12345u;
            const std::uint8_t noise = static_cast<std::uint8_t>((s >> 16) & 3);
            std::uint8_t* p = argb.Bits + (std::size_t(y) * kSide + std::size_t(x)) * 4;
            p[0] = static_cast<std::uint8_t>(x / 16 + noise);
            p[1] = static_cast<std::uint8_t>(y / 16);
            p[2] = static_cast<std::uint8_t>((x + y) / 32 + ((x / 256 + y / 256) & 1) * 64);
            p[3] = 255;
        }
    ConvertImage(argb, format);
    return cache.emplace(format, argb).first->second;
}

// The file ours writes (PCX: Pillow's, as we do not write PCX).
struct Case {
    const char* ext;
    TImageFormat format;
};

std::string FileOf(const Case& c) {
    const std::string path = (Dir() / (std::string("image.") + c.ext)).string();
    if (fs::exists(path)) return path;
    if (std::string(c.ext) == "pcx") {
        SaveImageToFile((Dir() / "source.bmp").string(), Source(ifR8G8B8));
        std::system(("/usr/bin/python3 -c \"from PIL import Image; Image.open('" + (Dir() / "source.bmp").string() +
                     "').save('" + path + "')\" 2>/dev/null").c_str());
    } else {
        SaveImageToFile(path, Source(c.format));
    }
    return path;
}

Bytes Read(const std::string& path) {
    Bytes b;
    ReadWholeFile(path, b, 1ull << 30);
    return b;
}

// From memory: a stream over the bytes made once (as a caller holding them
// makes it), rewound for each load; a copy of the whole input per load would
// be timed as the format's work.
void OursLoad(benchmark::State& state, Case c) {
    TMemoryStream stream(Read(FileOf(c)));
    const std::int64_t size = stream.Size();
    TImageFileFormat* format = FindImageFileFormatByExt(c.ext);
    for (auto _ : state) {
        stream.Seek(0, smFromBeginning);
        TDynImageDataArray images;
        if (!format->LoadFromStream(stream, images)) state.SkipWithError("load failed");
        FreeImagesInArray(images);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * size);
}

// The file opened by name and loaded, its read included, as Pillow's
// Image.open(path).load() is timed.
void OursLoadFile(benchmark::State& state, Case c) {
    const std::string path = FileOf(c);
    TImageFileFormat* format = FindImageFileFormatByExt(c.ext);
    for (auto _ : state) {
        TDynImageDataArray images;
        if (!format->LoadFromFile(path, images)) state.SkipWithError("load failed");
        FreeImagesInArray(images);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(fs::file_size(path)));
}

void OursSave(benchmark::State& state, Case c) {
    const TImageData& image = Source(c.format);
    TImageFileFormat* format = FindImageFileFormatByExt(c.ext);
    const TDynImageDataArray images{image};
    std::int64_t bytes = 0;
    for (auto _ : state) {
        TMemoryStream out;
        if (!format->SaveToStream(out, images)) state.SkipWithError("save failed");
        bytes += out.Size();
    }
    state.SetBytesProcessed(bytes);
}

// Pillow times each open-and-load (or save) itself; one process for all iterations.
std::vector<double> PillowTimes(const std::string& path, bool save, const char* pillowFormat, int n) {
    const std::string py =
        "import io, sys, time\nfrom PIL import Image\n"
        "path, save, fmt, n = sys.argv[1], sys.argv[2] == '1', sys.argv[3], int(sys.argv[4])\n"
        "src = Image.open(path); src.load()\n"
        "for i in range(n):\n"
        "    t = time.perf_counter()\n"
        "    if save:\n"
        "        src.save(io.BytesIO(), fmt)\n"
        "    else:\n"
        "        im = Image.open(path); im.load()\n"
        "    print(time.perf_counter() - t)\n";
    const std::string script = (Dir() / "pillow.py").string();
    WriteWholeFile(script, Bytes(py.begin(), py.end()));
    std::vector<double> times;
    const std::string cmd = "/usr/bin/python3 '" + script + "' '" + path + "' " + (save ? "1 " : "0 ") + pillowFormat +
                            " " + std::to_string(n) + " 2>/dev/null";
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        double t;
        while (std::fscanf(p, "%lf", &t) == 1) times.push_back(t);
        ::pclose(p);
    }
    return times;
}

void PillowLoad(benchmark::State& state, Case c, const char* pillowFormat) {
    const auto times = PillowTimes(FileOf(c), false, pillowFormat, kIterations);
    if (times.size() != std::size_t(kIterations)) return state.SkipWithError("Pillow is not available or failed");
    std::size_t i = 0;
    for (auto _ : state) state.SetIterationTime(times[i++ % times.size()]);
}

void PillowSave(benchmark::State& state, Case c, const char* pillowFormat) {
    const auto times = PillowTimes(FileOf(c), true, pillowFormat, kIterations);
    if (times.size() != std::size_t(kIterations)) return state.SkipWithError("Pillow is not available or failed");
    std::size_t i = 0;
    for (auto _ : state) state.SetIterationTime(times[i++ % times.size()]);
}

// A whole peer process, its output thrown away; %s is the file.
void ProcessTime(benchmark::State& state, Case c, const char* command) {
    char cmd[1024];
    std::snprintf(cmd, sizeof cmd, command, FileOf(c).c_str());
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        if (std::system(cmd) != 0) return state.SkipWithError("the peer failed");
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
}

constexpr Case kBmp{"bmp", ifR8G8B8}, kTga{"tga", ifA8R8G8B8}, kPpm{"ppm", ifR8G8B8}, kPam{"pam", ifA8R8G8B8},
    kPfm{"pfm", ifA32B32G32R32F}, kPsd{"psd", ifR8G8B8}, kPcx{"pcx", ifR8G8B8}, kGif{"gif", ifIndex8},
    kPng{"png", ifA8R8G8B8};

#define VELTO_PAIR(name, ours, oursArg, peer, peerName, ...)                                                          \
    BENCHMARK_CAPTURE(ours, name, oursArg)->Name(#name "/velto/4096")->Unit(benchmark::kMillisecond)->Iterations(kIterations); \
    BENCHMARK_CAPTURE(peer, name, oursArg, __VA_ARGS__)                                                                \
        ->Name(#name "/" peerName "/4096")                                                                             \
        ->Unit(benchmark::kMillisecond)                                                                                \
        ->Iterations(kIterations)                                                                                      \
        ->UseManualTime()

VELTO_PAIR(BmpLoad, OursLoad, kBmp, PillowLoad, "pillow", "BMP");
VELTO_PAIR(BmpSave, OursSave, kBmp, PillowSave, "pillow", "BMP");
VELTO_PAIR(TgaLoad, OursLoad, kTga, PillowLoad, "pillow", "TGA");
VELTO_PAIR(TgaSave, OursSave, kTga, PillowSave, "pillow", "TGA");
VELTO_PAIR(PpmLoad, OursLoad, kPpm, PillowLoad, "pillow", "PPM");
VELTO_PAIR(PpmSave, OursSave, kPpm, PillowSave, "pillow", "PPM");
VELTO_PAIR(PcxLoad, OursLoad, kPcx, PillowLoad, "pillow", "PCX");
VELTO_PAIR(PsdLoad, OursLoad, kPsd, PillowLoad, "pillow", "PSD");
VELTO_PAIR(PsdSave, OursSave, kPsd, ProcessTime, "magick", "convert '%s' psd:- > /dev/null");
VELTO_PAIR(GifLoad, OursLoad, kGif, PillowLoad, "pillow", "GIF");
VELTO_PAIR(GifSave, OursSave, kGif, PillowSave, "pillow", "GIF");
VELTO_PAIR(PngLoad, OursLoad, kPng, PillowLoad, "pillow", "PNG");
VELTO_PAIR(PamLoad, OursLoad, kPam, ProcessTime, "netpbm", "pamsumm -sum -brief '%s' > /dev/null 2>&1");
VELTO_PAIR(PamSave, OursSave, kPam, ProcessTime, "netpbm", "pamtopam < '%s' > /dev/null 2>&1");
VELTO_PAIR(PfmLoad, OursLoad, kPfm, ProcessTime, "netpbm", "pfmtopam '%s' > /dev/null 2>&1");
VELTO_PAIR(PfmSave, OursSave, kPfm, ProcessTime, "netpbm", "pfmtopam '%s' | pamtopfm > /dev/null 2>&1");

// Loads that read the file too: what the file read adds to the loads above.
#define VELTO_FILE(name, c) \
    BENCHMARK_CAPTURE(OursLoadFile, name, c)->Name(#name "/velto/4096")->Unit(benchmark::kMillisecond)->Iterations(kIterations)
VELTO_FILE(BmpLoadFile, kBmp);
VELTO_FILE(TgaLoadFile, kTga);
VELTO_FILE(PpmLoadFile, kPpm);
VELTO_FILE(PsdLoadFile, kPsd);
VELTO_FILE(GifLoadFile, kGif);
VELTO_FILE(PamLoadFile, kPam);

}  // namespace
