#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileIO.h"

using namespace velto;
namespace fs = std::filesystem;

namespace {
struct TempDir {
    fs::path path;
    TempDir() {
        char tmpl[] = "/tmp/velto-test-XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path); }
};
void writeText(const fs::path& p, const std::string& s) { std::ofstream(p, std::ios::binary) << s; }
}  // namespace

TEST(FileIO, ReadsRegularFilesWithinTheCapOnly) {
    TempDir dir;
    writeText(dir.path / "a.bin", "0123456789");
    std::vector<std::uint8_t> data;
    std::uint64_t size = 0;
    FileError err{};
    ASSERT_TRUE(ReadWholeFile(dir.path / "a.bin", data, 100, &err));
    EXPECT_EQ(std::string(data.begin(), data.end()), "0123456789");
    ASSERT_TRUE(ReadFileHead(dir.path / "a.bin", 4, data, size));
    EXPECT_EQ(std::string(data.begin(), data.end()), "0123");
    EXPECT_EQ(size, 10u);
    EXPECT_FALSE(ReadWholeFile(dir.path / "a.bin", data, 9, &err));
    EXPECT_EQ(err, FileError::TooLarge);
    EXPECT_FALSE(ReadWholeFile(dir.path / "missing", data, 100, &err));
    EXPECT_EQ(err, FileError::NotFound);
    EXPECT_FALSE(ReadWholeFile(dir.path, data, 100, &err));
    EXPECT_EQ(err, FileError::NotRegular);
    // Opening a FIFO would block until a writer comes.
    const fs::path fifo = dir.path / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadWholeFile(fifo, data, 100, &err));
    EXPECT_EQ(err, FileError::NotRegular);
    err = FileError::None;
    EXPECT_FALSE(ReadFileHead(fifo, 16, data, size, &err));
    EXPECT_EQ(err, FileError::NotRegular);
}

TEST(FileIO, AtomicSaveReplacesTargetKeepsModeAndLeavesNoTemporaries) {
    TempDir dir;
    const fs::path target = dir.path / "doc.cur";
    writeText(target, "old");
    ::chmod(target.c_str(), 0640);
    const std::vector<std::uint8_t> data{'n', 'e', 'w', '!'};
    ASSERT_TRUE(SaveFileAtomic(target, data));
    std::vector<std::uint8_t> back;
    ASSERT_TRUE(ReadWholeFile(target, back));
    EXPECT_EQ(back, data);
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir.path)) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(FileIO, FailedSaveLeavesTheOldFileIntact) {
    TempDir dir;
    const fs::path target = dir.path / "keep.ani";
    writeText(target, "precious");
    // The target's folder does not exist: nothing may be written anywhere.
    const std::vector<std::uint8_t> data{1, 2, 3};
    FileError err{};
    EXPECT_FALSE(SaveFileAtomic(dir.path / "nope" / "x.ani", data, &err));
    // A folder in the way of the target: refused, and the folder survives.
    fs::create_directory(dir.path / "sub");
    EXPECT_FALSE(SaveFileAtomic(dir.path / "sub", data, &err));
    EXPECT_TRUE(fs::is_directory(dir.path / "sub"));
    std::vector<std::uint8_t> back;
    ASSERT_TRUE(ReadWholeFile(target, back));
    EXPECT_EQ(std::string(back.begin(), back.end()), "precious");
    if (::geteuid() != 0) {
        // A read-only folder: the old file stays as it was.
        ::chmod(dir.path.c_str(), 0500);
        EXPECT_FALSE(SaveFileAtomic(target, data, &err));
        ::chmod(dir.path.c_str(), 0700);
        ASSERT_TRUE(ReadWholeFile(target, back));
        EXPECT_EQ(std::string(back.begin(), back.end()), "precious");
    }
}
