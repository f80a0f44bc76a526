// A save in place (a user the group lets write saves root's file) killed at points spread over it: the file holds
// its old or new bytes, or the copy beside it the old ones, which go back into it before the next save touches it
// (one that fails then leaves old or new bytes, never a torn file); the next save leaves the new and nothing beside.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "ChildCost.h"
#include "FileTrouble.h"
#include "KillPoints.h"
#include "TornFiles.h"
#include "platform/FileWriter.h"
#include "platform/PreviousCopy.h"

using namespace velto;

TEST(InPlaceSaveKilled, TheFileOrItsCopyHoldsTheOldBytesAndTheNextSaveLeavesNothingBeside) {
    if (::geteuid() != 0) GTEST_SKIP() << "a file another user saves in place needs root to set up";
    test::KillFolder dir;
    ASSERT_EQ(::chmod(dir.File("").c_str(), 0777), 0);
    const std::string path = dir.File("doc.ani");
    const auto read = [](const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    // Written in pieces, and shorter: a kill may find it partly overwritten and not yet cut. Every page unlike
    // every other, so that no page passes for another.
    const std::string oldBytes = test::Patterned(700003, 1), newBytes = test::Patterned(500001, 2);
    const std::vector<std::uint8_t> data(newBytes.begin(), newBytes.end());
    const auto save = [&] { return test::detail::DropPrivileges() && WriteWholeFile(path, data) ? 0 : 1; };
    const auto Inode = [](const std::string& p) {
        struct stat st {};
        return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
    };
    const auto before = [&] {
        std::ofstream(path, std::ios::binary) << oldBytes;
        ASSERT_EQ(::chown(path.c_str(), 0, 65534) | ::chmod(path.c_str(), 0664), 0);
    };
    int partly = 0;
    std::string why;
    const auto after = [&](int kill, const test::KillRun&) {
        SCOPED_TRACE("kill " + std::to_string(kill));
        const std::string now = read(path);
        partly += now != newBytes && now != oldBytes;
        EXPECT_TRUE(now == newBytes || now == oldBytes ||
                    read(PreviousContentName(path, 65534, Inode(path))).starts_with(oldBytes));
        const auto failing = [&] {
            testhooks::FailWriterAt(testhooks::WriterStep::Close, EIO);  // (before anything is written)
            return save() == 0 ? 1 : 0;
        };
        EXPECT_EQ(test::RunInChild(failing).exitCode, 0);
        const std::string undone = read(path);
        EXPECT_TRUE(undone == newBytes || undone == oldBytes) << "a save built on a torn file of " << undone.size();
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"doc.ani"});
        EXPECT_EQ(test::RunInChild(save).exitCode, 0);
        EXPECT_EQ(read(path), newBytes);
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"doc.ani"});
    };
    const long points = test::KillAtSpreadPoints(30, before, [&] { ::_exit(save()); }, after, why);
    if (points < 0) GTEST_SKIP() << why;
    EXPECT_GT(partly, 0) << "no kill of 30 over " << points << " points landed while the file was partly written";
}
