// Apple icon files: reading and writing a full set of 32-bit images (16, 32,
// 48, 128 and 256 pixels wide: four run-length packed images with their
// masks and one JPEG 2000 picture), and the classic four without the picture,
// beside icnsutils' png2icns and icns2png. The tools are whole programs: their
// times include starting the process and reading or writing the PNG files
// they take and give, so they are an upper bound on libicns itself. Ours read
// and write the .icns file on disk.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "icns/MacIcoIO.h"
#include "model/IcoIO.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

namespace fs = std::filesystem;
using namespace velto;

namespace {

// A soft round icon: smooth colours with a little grain, an antialiased edge.
TmyImagePal IconImage(int side) {
    TmyImagePal image({side, side}, 32);
    const double c = (side - 1) / 2.0, r = side * 0.45;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const double d = std::hypot(x - c, y - c);
            const double a = std::clamp((r - d) + 0.5, 0.0, 1.0);
            const auto grain = static_cast<std::uint8_t>((x * 7 + y * 13) % 5);
            image.At(x, y) = TmyPixel::CreateRGBA(static_cast<std::uint8_t>(40 + 180 * x / side + grain),
                                                  static_cast<std::uint8_t>(200 - 150 * y / side),
                                                  static_cast<std::uint8_t>(90 + grain * 3),
                                                  static_cast<std::uint8_t>(std::lround(a * 255)));
        }
    return image;
}

struct Set {
    const char* name;
    std::vector<int> sides;
};
const Set kFull{"full_set", {16, 32, 48, 128, 256}};
const Set kClassic{"classic", {16, 32, 48, 128}};

// The files of one run, removed at its end.
struct TempDir {
    fs::path path = fs::temp_directory_path() / ("velto-bench-icns-" + std::to_string(::getpid()));
    TempDir() { fs::create_directories(path); }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

const fs::path& Dir() {
    static const TempDir dir;
    return dir.path;
}

TmyIcon Document(const Set& set) {
    TmyIcon doc;
    for (const int side : set.sides) doc.AppendImage(std::make_unique<TmyImagePal>(IconImage(side)));
    doc.SortImages();
    return doc;
}

// The set as PNG files, the tools' input.
std::string PngArguments(const Set& set) {
    std::string args;
    for (const int side : set.sides) {
        const fs::path png = Dir() / (std::string(set.name) + "-" + std::to_string(side) + ".png");
        if (!fs::exists(png)) WriteWholeFile(png.string(), TmyIcoIO::EncodePNG(IconImage(side)));
        args += " '" + png.string() + "'";
    }
    return args;
}

// The file both readers read: the one png2icns writes (ours writes the same elements).
std::string ToolFile(const Set& set) {
    const fs::path file = Dir() / (std::string(set.name) + "-tool.icns");
    if (!fs::exists(file)) std::system(("png2icns '" + file.string() + "'" + PngArguments(set) + " >/dev/null 2>&1").c_str());
    return file.string();
}

// Wall time of a shell command in seconds, -1 when it fails.
double Run(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    const int rc = std::system((command + " >/dev/null 2>&1").c_str());
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return rc == 0 ? took.count() : -1;
}

void WriteVelto(benchmark::State& state, const Set* set) {
    const TmyIcon doc = Document(*set);
    const std::string file = (Dir() / (std::string(set->name) + "-velto.icns")).string();
    TmyMacIcoIO io(false);
    for (auto _ : state) {
        if (!io.SaveToFile(doc, file, false)) state.SkipWithError("save failed");
    }
    state.counters["bytes"] = static_cast<double>(fs::file_size(file));
}

void WriteTool(benchmark::State& state, const Set* set) {
    const std::string command =
        "png2icns '" + (Dir() / (std::string(set->name) + "-png2icns.icns")).string() + "'" + PngArguments(*set);
    for (auto _ : state) {
        const double seconds = Run(command);
        if (seconds < 0) {
            state.SkipWithError("png2icns is not available");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

void ReadVelto(benchmark::State& state, const Set* set) {
    const std::string file = ToolFile(*set);
    TmyMacIcoIO io(false);
    for (auto _ : state) {
        TmyIcon doc;
        if (!io.LoadFromFile(doc, file) || doc.Count() != static_cast<int>(set->sides.size())) {
            state.SkipWithError("the file does not read (png2icns missing?)");
            break;
        }
        benchmark::DoNotOptimize(doc.Image(0).Pixels().data());
    }
}

void ReadTool(benchmark::State& state, const Set* set) {
    const std::string file = ToolFile(*set);
    const fs::path out = Dir() / (std::string(set->name) + "-icns2png");
    fs::create_directories(out);
    const std::string command = "icns2png -x -o '" + out.string() + "' '" + file + "'";
    for (auto _ : state) {
        const double seconds = Run(command);
        if (seconds < 0) {
            state.SkipWithError("icns2png is not available");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

}  // namespace

BENCHMARK_CAPTURE(WriteVelto, full_set, &kFull)->Name("IcnsWrite/velto/full_set")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WriteTool, full_set, &kFull)->Name("IcnsWrite/png2icns/full_set")->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WriteVelto, classic, &kClassic)->Name("IcnsWrite/velto/classic")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WriteTool, classic, &kClassic)->Name("IcnsWrite/png2icns/classic")->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadVelto, full_set, &kFull)->Name("IcnsRead/velto/full_set")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadTool, full_set, &kFull)->Name("IcnsRead/icns2png/full_set")->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadVelto, classic, &kClassic)->Name("IcnsRead/velto/classic")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadTool, classic, &kClassic)->Name("IcnsRead/icns2png/classic")->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
