// Loads and saves on several threads at once give what they give on one: every
// sample file the library reads is loaded by eight threads together (while
// others save images into every savable format) and each result (success,
// images, sizes, formats, pixels, error text, saved bytes) must equal the one
// of a run on a single thread. The ThreadSanitizer build runs these too.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "Corpus.h"
#include "imaging/FileFormat.h"
#include "imaging/Imaging.h"
#include "imaging/ImagingIO.h"

namespace velto {
namespace {

constexpr int kThreads = 8;

std::uint64_t Fnv(std::uint64_t h, const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 0x100000001B3ull;
    return h;
}

// What one job produced, in a form that compares as a whole.
struct Outcome {
    bool ok = false;
    std::string format;  // extension of the detected format
    std::string error;
    std::vector<std::int64_t> shapes;  // width, height, format of each image
    std::uint64_t hash = 0xCBF29CE484222325ull;
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
    os << (o.ok ? "loaded " : "not loaded ") << o.format << " images " << o.shapes.size() / 3 << " hash " << o.hash;
    if (!o.error.empty()) os << " error: " << o.error;
    return os;
}

void Describe(const TDynImageDataArray& images, Outcome& out) {
    for (const TImageData& image : images) {
        out.shapes.insert(out.shapes.end(), {image.Width, image.Height, static_cast<std::int64_t>(image.Format)});
        if (image.Bits) out.hash = Fnv(out.hash, image.Bits, static_cast<std::size_t>(image.Size));
        if (image.Palette) out.hash = Fnv(out.hash, image.Palette, 256 * sizeof(TColor32));
    }
}

Outcome LoadFile(const std::string& path) {
    Outcome out;
    TDynImageDataArray images;
    try {
        out.format = DetectFileFormat(path);
        if (TImageFileFormat* format = FindImageFileFormatByExt(out.format)) {
            out.ok = format->LoadFromFile(path, images, false);
            Describe(images, out);
        }
    } catch (const std::exception& e) {
        out.error = e.what();
    }
    FreeImagesInArray(images);
    return out;
}

// Loads the file's first image and saves it as `ext` into memory, or into the
// file `target` when one is named.
Outcome SaveAs(const std::string& path, const std::string& ext, const std::string& target) {
    Outcome out;
    out.format = ext;
    TImageData image;
    try {
        if (LoadImageFromFile(path, image)) {
            TMemoryStream stream;
            if (target.empty()) {
                out.ok = SaveImageToStream(ext, stream, image);
            } else {
                out.ok = SaveImageToFile(target, image);
                std::ifstream in(target, std::ios::binary);
                stream.Data().assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            }
            out.hash = Fnv(out.hash, stream.Data().data(), stream.Data().size());
        }
    } catch (const std::exception& e) {
        out.error = e.what();
    }
    FreeImage(image);
    return out;
}

struct Job {
    std::string path;
    std::string saveAs;  // empty: a load
    std::string target;  // a save's file; empty: into memory
    Outcome Run() const { return saveAs.empty() ? LoadFile(path) : SaveAs(path, saveAs, target); }
};

// Every file of the corpus some format of the library takes, in a fixed order.
std::vector<std::string> LibraryFiles() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(test::CorpusDir()))
        if (entry.is_regular_file() && !DetectFileFormat(entry.path().string()).empty())
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// Runs the jobs on `threads` threads, each taking the next job left; the
// outcomes in job order.
std::vector<Outcome> RunAll(const std::vector<Job>& jobs, int threads) {
    std::vector<Outcome> outcomes(jobs.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < jobs.size();) outcomes[i] = jobs[i].Run();
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
    return outcomes;
}

void ExpectSame(const std::vector<Job>& jobs, const std::vector<Outcome>& one, const std::vector<Outcome>& many) {
    ASSERT_EQ(one.size(), many.size());
    int differ = 0;
    for (std::size_t i = 0; i < jobs.size(); ++i)
        if (!(one[i] == many[i]) && ++differ <= 10)
            ADD_FAILURE() << jobs[i].path << (jobs[i].saveAs.empty() ? "" : " saved as " + jobs[i].saveAs)
                          << "\n  one thread: " << one[i] << "\n  " << kThreads << " threads: " << many[i];
    EXPECT_EQ(differ, 0) << "jobs whose outcome depends on the threads";
}

TEST(ThreadedLoads, EveryCorpusFileLoadsAsOnOneThread) {
    VELTO_NEED_CORPUS();
    std::vector<Job> jobs;
    for (const std::string& path : LibraryFiles()) jobs.push_back({path, "", ""});
    ASSERT_GT(jobs.size(), 100u) << "the corpus should hold hundreds of files the library reads";
    const std::vector<Outcome> one = RunAll(jobs, 1);
    EXPECT_GT(std::count_if(one.begin(), one.end(), [](const Outcome& o) { return o.ok; }), 100);
    EXPECT_GT(std::count_if(one.begin(), one.end(), [](const Outcome& o) { return !o.error.empty(); }), 0)
        << "damaged files make errors that must come out the same too";
    // Reversed, so threads start on different files than the single run did.
    std::vector<Job> reversed(jobs.rbegin(), jobs.rend());
    std::vector<Outcome> many = RunAll(reversed, kThreads);
    std::reverse(many.begin(), many.end());
    ExpectSame(jobs, one, many);
}

TEST(ThreadedLoads, SavesAndLoadsOfDifferentFilesAtOnce) {
    VELTO_NEED_CORPUS();
    const std::vector<std::string> files = LibraryFiles();
    ASSERT_FALSE(files.empty());
    // Saves into files too: each its own, written through a temporary that
    // replaces it when complete.
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("velto-threaded-saves-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    struct Cleanup {
        std::filesystem::path dir;
        ~Cleanup() { std::filesystem::remove_all(dir); }
    } cleanup{dir};
    // Every savable format, each fed from several files, between loads.
    const char* const kSaveAs[] = {"png", "bmp", "tga", "gif", "dds", "jpg", "jp2",
                                   "psd", "pam", "pgm", "ppm", "pfm", "mng", "jng"};
    std::vector<Job> jobs;
    for (std::size_t i = 0; i < files.size(); ++i) {
        jobs.push_back({files[i], "", ""});
        if (i % 5 != 0) continue;
        const std::string ext = kSaveAs[(i / 5) % std::size(kSaveAs)];
        const bool toFile = (i / 5) % 2 == 1;
        jobs.push_back({files[i], ext, toFile ? (dir / (std::to_string(i) + "." + ext)).string() : std::string()});
    }
    const std::vector<Outcome> one = RunAll(jobs, 1);
    const auto saved = std::count_if(jobs.begin(), jobs.end(), [&](const Job& j) {
        return !j.saveAs.empty() && one[static_cast<std::size_t>(&j - jobs.data())].ok;
    });
    EXPECT_GT(saved, 50) << "most saves should succeed";
    ExpectSame(jobs, one, RunAll(jobs, kThreads));
}

}  // namespace
}  // namespace velto
