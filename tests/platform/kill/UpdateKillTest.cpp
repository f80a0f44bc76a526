// An update (the file read, then what was read and one byte more written by rename) under a reader's lock, killed at
// each of its last steps: its naming, the check of what came out of the name, that file's removal.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <fstream>

#include "ChildCost.h"
#include "KillPoints.h"
#include "platform/FileWriter.h"

using namespace velto;

// The file holds the bytes read or the update's; what came out of the name, left at the update's temporary name, is
// swept by the next save once the reader lets go, and the file never is.
TEST(UpdateKilled, WhatCameOutOfTheNameIsSweptLikeATemporary) {
    test::KillFolder dir;
    const std::string doc = dir.File("doc.cur"), oldBytes(100000, 'o'), newBytes = oldBytes + 'A';
    const auto read = [](const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    int reader = -1;
    const auto before = [&] {
        std::ofstream(doc, std::ios::binary | std::ios::trunc) << oldBytes;
        reader = ::open(doc.c_str(), O_RDONLY);
        struct flock lock {};
        lock.l_type = F_RDLCK;
        ASSERT_EQ(::fcntl(reader, F_OFD_SETLK, &lock), 0);
    };
    const auto update = [&] {
        SaveLock lock;
        std::string bytes(oldBytes.size(), '\0');
        if (!lock.Take(doc).ok() || lock.state() != LockState::Readers ||
            ::pread(lock.fd(), bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
            ::_exit(2);
        bytes += 'A';
        WriteOptions options;
        options.lock = &lock;
        ::_exit(WriteWholeFile(doc, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, nullptr, options)
                    ? 0
                    : 1);
    };
    const std::vector<std::uint8_t> saved(4, 's');
    const auto save = [&] { return WriteWholeFile(doc, saved) ? 0 : 1; };
    test::KillRun whole;
    std::string why;
    before();
    if (!test::RunKilledAt(update, 0, whole, why)) GTEST_SKIP() << why;
    ::close(reader);
    ASSERT_EQ(whole.exitCode, 0);
    int cameOut = 0;
    for (long at = whole.points - 40; at <= whole.points; ++at) {
        SCOPED_TRACE("kill at " + std::to_string(at) + " of " + std::to_string(whole.points));
        before();
        test::KillRun run;
        ASSERT_TRUE(test::RunKilledAt(update, at, run, why));
        const std::string now = read(doc);
        EXPECT_TRUE(now == oldBytes || now == newBytes);
        cameOut += now == newBytes && dir.Names().size() == 2;
        ::close(reader);
        EXPECT_EQ(test::RunInChild(save).exitCode, 0);
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"doc.cur"});
        EXPECT_EQ(read(doc), "ssss");
    }
    EXPECT_GT(cameOut, 0) << "no kill landed between the naming and the removal of what came out";
}
