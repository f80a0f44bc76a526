// Batch runs of each mode killed at points spread over the whole run (two
// workers): every output there is complete, and the next run into the folder
// leaves no temporary of the killed one behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include "../../resources/PeTestImage.h"
#include "KillPoints.h"
#include "import/BatchConvert.h"
#include "model/AniIO.h"
#include "model/IcoIO.h"
#include "resources/CursorGroups.h"
#include "resources/EmptyLibrary.h"

using namespace velto;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A cursor document of the given sides (32-bit images), painted after seed.
template <class Doc>
void WriteDoc(const std::string& path, std::initializer_list<int> sides, int seed) {
    Doc doc;
    doc.IsCursor = true;
    for (const int side : sides) {
        TmyImagePal& image = doc.Image(doc.AddImage(ImageSize{side, side}, 32));
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                image.At(x, y) = {static_cast<std::uint8_t>(x * seed), static_cast<std::uint8_t>(y + seed),
                                  static_cast<std::uint8_t>(x ^ y), static_cast<std::uint8_t>(128 + x)};
    }
    if constexpr (std::is_same_v<Doc, TmyANI>)
        ASSERT_TRUE(TmyANIIO(false).SaveToFile(doc, path, false));
    else
        ASSERT_TRUE(TmyIcoIO(false).SaveToFile(doc, path, false));
}

// An output's content by the name it wanted (" (n)" taken out).
std::string Wanted(const std::string& name) { return std::regex_replace(name, std::regex(R"( \(\d+\)(\.|$))"), "$1"); }

std::map<std::string, Bytes> Outputs(const std::string& folder) {
    std::map<std::string, Bytes> out;
    for (const auto& e : fs::directory_iterator(folder)) out[e.path().filename().string()] = restest::ReadFile(e.path());
    return out;
}

struct Tally {
    int outputs = 0, leftBehind = 0, cut = 0;  // cut: runs killed with some outputs written, not all
};

// The job into dir's "out" folder, killed 20 times; its outputs are compared
// with a whole run's into "ref".
Tally KillRuns(const test::KillFolder& dir, TBatchJob job, std::string& why) {
    job.Threads = 2;
    fs::create_directory(dir.File("ref"));
    job.OutputDir = dir.File("ref");
    TBatchRun(job).RunAll();
    const std::map<std::string, Bytes> ref = Outputs(dir.File("ref"));
    job.OutputDir = dir.File("out");
    Tally tally;
    tally.outputs = static_cast<int>(ref.size());
    const auto clear = [&] {
        fs::remove_all(dir.File("out"));
        fs::create_directory(dir.File("out"));
    };
    const long points = test::KillAtSpreadPoints(
        20, clear, [&] { TBatchRun(job).RunAll(); },
        [&](int kill, const test::KillRun& run) {
            SCOPED_TRACE("kill " + std::to_string(kill) + (run.killed ? "" : " (the run ended first)"));
            bool left = false;
            int made = 0;
            for (const auto& [name, bytes] : Outputs(dir.File("out"))) {
                if (name[0] == '.') {
                    left = true;
                    continue;
                }
                ++made;
                ASSERT_TRUE(ref.count(name)) << name;
                EXPECT_EQ(bytes, ref.at(name)) << name << " is not complete";
            }
            tally.leftBehind += left;
            tally.cut += made > 0 && made < tally.outputs;
            // The next run into the folder takes new names beside the old
            // outputs and removes what the killed one left.
            TBatchRun(job).RunAll();
            for (const auto& [name, bytes] : Outputs(dir.File("out"))) {
                ASSERT_NE(name[0], '.') << name << " was left behind";
                ASSERT_TRUE(ref.count(Wanted(name))) << name;
                EXPECT_EQ(bytes, ref.at(Wanted(name))) << name;
            }
            EXPECT_EQ(dir.TempNames(), std::vector<std::string>{});
        },
        why);
    if (points >= 0)
        std::printf("batch of %d outputs: %ld points, 20 kills: %d cut between outputs, %d left a temporary\n",
                    tally.outputs, points, tally.cut, tally.leftBehind);
    return tally;
}

TBatchJob Job(TBatchMode mode, std::vector<std::string> files, const std::string& output) {
    TBatchJob job;
    job.Mode = mode;
    job.Files = std::move(files);
    job.Output = output;
    return job;
}

}  // namespace

TEST(BatchRunKilled, PicturesToCursorsLeavesCompleteOutputsOnly) {
    test::KillFolder dir;
    std::vector<std::string> files;
    for (int i = 0; i < 6; ++i) {
        files.push_back(dir.File("in" + std::to_string(i) + ".cur"));
        WriteDoc<TmyIcon>(files.back(), {48 + 8 * i}, i + 1);
    }
    std::string why;
    const Tally t = KillRuns(dir, Job(TBatchMode::ImagesToCursors, files, "cur"), why);
    if (!why.empty()) GTEST_SKIP() << why;
    EXPECT_EQ(t.outputs, 6);
    EXPECT_GT(t.cut, 0) << "no kill landed while the outputs were written";
}

TEST(BatchRunKilled, CursorsToPicturesLeavesCompleteOutputsOnly) {
    test::KillFolder dir;
    std::vector<std::string> files;
    for (int i = 0; i < 3; ++i) {
        files.push_back(dir.File("in" + std::to_string(i) + ".cur"));
        WriteDoc<TmyIcon>(files.back(), {32, 64, 128}, i + 1);
    }
    std::string why;
    const Tally t = KillRuns(dir, Job(TBatchMode::CursorsToImages, files, "png"), why);
    if (!why.empty()) GTEST_SKIP() << why;
    EXPECT_EQ(t.outputs, 9);
    EXPECT_GT(t.cut, 0) << "no kill landed while the outputs were written";
}

TEST(BatchRunKilled, CursorsFromResourcesLeavesCompleteOutputsOnly) {
    test::KillFolder dir;
    const std::string cur = dir.File("a.cur");
    restest::WriteFile(cur, restest::CursorFile({{128, 128, 1, 1, {}, 5}, {64, 64, 2, 2, {}, 6}}));
    std::vector<TStoreEntry> groups;
    for (std::uint32_t n = 1; n <= 5; ++n) groups.push_back({cur, ResName::FromId(n), 0});
    const std::string lib = dir.File("lib.dll");
    ASSERT_TRUE(SaveNewLibrary(MakeEmptyLibrary(), lib, groups));
    // Cursor documents of our own kinds, written again whole.
    const std::string own = dir.File("own.cur"), ani = dir.File("anim.ani");
    WriteDoc<TmyIcon>(own, {256, 32}, 3);
    WriteDoc<TmyANI>(ani, {64, 64, 64}, 4);
    std::string why;
    const Tally t = KillRuns(dir, Job(TBatchMode::ResourceCursors, {lib, own, ani}, ""), why);
    if (!why.empty()) GTEST_SKIP() << why;
    EXPECT_EQ(t.outputs, 7);
    EXPECT_GT(t.cut, 0) << "no kill landed while the outputs were written";
}
