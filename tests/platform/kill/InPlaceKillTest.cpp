// A save written in place (a user the group lets write saves root's file)
// killed at points spread over the whole save: the file holds its old or new
// bytes, or the copy beside it holds the old ones; the next save leaves the
// new bytes and nothing beside.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "ChildCost.h"
#include "FileTrouble.h"
#include "KillPoints.h"
#include "platform/FileWriter.h"

using namespace velto;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(InPlaceSaveKilled, TheFileOrItsCopyHoldsTheOldBytesAndTheNextSaveLeavesNothingBeside) {
    if (::geteuid() != 0) GTEST_SKIP() << "a file another user saves in place needs root to set up";
    test::KillFolder dir;
    ASSERT_EQ(::chmod(dir.File("").c_str(), 0777), 0);
    const std::string path = dir.File("doc.ani"), copy = dir.File(".doc.ani.velto-previous");
    // Longer than one piece of the copying, and the new bytes shorter, so
    // that a kill can land with the file partly overwritten and not yet cut.
    std::string oldBytes(700000, 'o'), newBytes(500000, 'n');
    for (std::size_t i = 0; i < oldBytes.size(); i += 4096) oldBytes[i] = static_cast<char>(i / 4096);
    const std::vector<std::uint8_t> data(newBytes.begin(), newBytes.end());
    const auto save = [&] { return test::detail::DropPrivileges() && WriteWholeFile(path, data) ? 0 : 1; };
    int untouched = 0, whole = 0, guarded = 0;
    std::string why;
    const long points = test::KillAtSpreadPoints(
        30,
        [&] {
            std::ofstream(path, std::ios::binary) << oldBytes;
            ::chown(path.c_str(), 0, 65534);
            ::chmod(path.c_str(), 0664);
        },
        [&] { ::_exit(save()); },
        [&](int kill, const test::KillRun& run) {
            SCOPED_TRACE("kill " + std::to_string(kill) + (run.killed ? "" : " (the save ended first)"));
            const std::string now = ReadAll(path);
            const bool partly = now != newBytes && now != oldBytes;
            ++(partly ? guarded : now == newBytes ? whole : untouched);
            if (partly) {
                EXPECT_EQ(ReadAll(copy), oldBytes) << "no whole old version";
            }
            EXPECT_EQ(test::RunInChild(save).exitCode, 0);
            EXPECT_EQ(ReadAll(path), newBytes);
            struct stat st {};
            EXPECT_TRUE(::stat(path.c_str(), &st) == 0 && st.st_uid == 0 && st.st_gid == 65534);
            EXPECT_EQ(dir.Names(), std::vector<std::string>{"doc.ani"});
        },
        why);
    if (points < 0) GTEST_SKIP() << why;
    std::printf("in-place save: %ld points, 30 kills: %d untouched, %d whole, %d partly written with the copy\n",
                points, untouched, whole, guarded);
    EXPECT_GT(guarded, 0) << "no kill landed while the file was partly written";
}
