// The batch converter against ImageMagick's mogrify.
//   BatchToPng: a folder of 1,000 cursor files of mixed sizes (16 to 128) and
//     depths (1 to 32 bits), every image written as a PNG file, next to
//     `mogrify -format png` over a copy of the same folder. Each repetition
//     starts from an empty output folder (velto) or a fresh copy (mogrify);
//     preparing it is not timed, nor is writing every dirty page to disk
//     after it: pages waiting (the last repetition's, or other programs')
//     are otherwise written back while the next one runs, slowing it by chance.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include <unistd.h>

#include "import/BatchConvert.h"
#include "model/IcoIO.h"

using namespace velto;
namespace fs = std::filesystem;

namespace {

// The folders of both sides live in memory (/dev/shm) where there is such a
// file system, or in VELTO_BENCH_DIR when set. On this project's machines
// the disk is ext4 without a journal: there every new file steps over the
// inodes any program freed in the last minutes, so the times measured the
// disk's recent history (builds alongside, the last run's clean-up) more
// than either converter.
fs::path Root() {
    // Looked up at every call: the clean-up at the end runs after statics go.
    fs::path root;
    std::error_code ec;
    if (const char* dir = std::getenv("VELTO_BENCH_DIR"); dir && *dir) root = dir;
    else if (fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0) root = "/dev/shm";
    else root = fs::temp_directory_path();
    return root / "velto-bench-batch";
}

// Every repetition writes into a folder of its own; all are removed when the
// program ends, so no repetition allocates among the inodes another one just
// freed (which slows file creation on ext4 for both sides alike).
struct CleanUp {
    ~CleanUp() {
        std::error_code ec;
        fs::remove_all(Root(), ec);
    }
} cleanUp;

// The generated folder, made once per process.
const std::vector<std::string>& CursorFolder(int count) {
    static std::vector<std::string> files;
    if (!files.empty()) return files;
    const fs::path dir = Root() / "cursors";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::mt19937 rng(11);
    const int sides[] = {16, 24, 32, 48, 64, 128};
    const int depths[] = {1, 4, 8, 24, 32};
    for (int i = 0; i < count; ++i) {
        TmyIcon doc;
        doc.IsCursor = true;
        const int side = sides[rng() % 6];
        TmyImagePal& image = doc.Image(doc.AddImage(ImageSize{side, side}, depths[rng() % 5]));
        const int bits = image.BitCount;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const auto v = static_cast<std::uint8_t>((x * 255) / side);
                TmyPixel p{v, static_cast<std::uint8_t>((y * 255) / side), static_cast<std::uint8_t>(i), 255};
                if (bits == 32) p.A = static_cast<std::uint8_t>((x + y) * 255 / (2 * side));
                if (bits < 24) p = (*image.Palette)[(x / 3 + y) % image.Palette->Count()];
                image.At(x, y) = p;
            }
        const std::string file = (dir / ("cursor" + std::to_string(i) + ".cur")).string();
        TmyIcoIO(false).SaveToFile(doc, file, false);
        files.push_back(file);
    }
    return files;
}

void FreshDir(const fs::path& dir) {
    fs::remove_all(dir);
    fs::create_directories(dir);
}

// Both sides start with nothing of theirs or others waiting to be written back.
void Settle() { ::sync(); }

void BM_BatchToPng_velto(benchmark::State& state) {
    const auto& files = CursorFolder(static_cast<int>(state.range(0)));
    static int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path out = Root() / ("velto-out-" + std::to_string(++round));
        FreshDir(out);
        TBatchJob job;
        job.Mode = TBatchMode::CursorsToImages;
        job.Files = files;
        job.OutputDir = out.string();
        job.Output = "png";
        TBatchRun run(std::move(job));
        Settle();
        state.ResumeTiming();
        const auto log = run.RunAll();
        benchmark::DoNotOptimize(log.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_BatchToPng_mogrify(benchmark::State& state) {
    CursorFolder(static_cast<int>(state.range(0)));
    static int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const fs::path copy = Root() / ("mogrify-" + std::to_string(++round));
        const std::string command = "cd '" + copy.string() + "' && mogrify -format png '*.cur' 2>/dev/null";
        FreshDir(copy);
        for (const auto& e : fs::directory_iterator(Root() / "cursors")) fs::copy_file(e.path(), copy / e.path().filename());
        Settle();
        state.ResumeTiming();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("mogrify is not available or failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_BatchToPng_velto)->Name("BatchToPng/velto")->Arg(1000)->Iterations(1)->Repetitions(5)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BatchToPng_mogrify)->Name("BatchToPng/mogrify")->Arg(1000)->Iterations(1)->Repetitions(5)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
