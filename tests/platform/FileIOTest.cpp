#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "FileTrouble.h"
#include "platform/FileIO.h"
#include "platform/FileWriter.h"

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
    ASSERT_TRUE(WriteWholeFile(target, data));
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
    EXPECT_FALSE(WriteWholeFile(dir.path / "nope" / "x.ani", data, &err));
    // A folder in the way of the target: refused, and the folder survives.
    fs::create_directory(dir.path / "sub");
    EXPECT_FALSE(WriteWholeFile(dir.path / "sub", data, &err));
    EXPECT_TRUE(fs::is_directory(dir.path / "sub"));
    std::vector<std::uint8_t> back;
    ASSERT_TRUE(ReadWholeFile(target, back));
    EXPECT_EQ(std::string(back.begin(), back.end()), "precious");
    if (::geteuid() != 0) {
        // A read-only folder: the old file stays as it was.
        ::chmod(dir.path.c_str(), 0500);
        EXPECT_FALSE(WriteWholeFile(target, data, &err));
        ::chmod(dir.path.c_str(), 0700);
        ASSERT_TRUE(ReadWholeFile(target, back));
        EXPECT_EQ(std::string(back.begin(), back.end()), "precious");
    }
}

// The status keeps the system's number beside its kind: callers that branch
// on the kind see what they saw before, the user gets the system's words.
TEST(FileIO, StatusComparesByKindAndSaysTheSystemsReason) {
    const FileError denied = FileError::FromErrno(EACCES);
    EXPECT_EQ(denied, FileError::IoError);
    EXPECT_EQ(denied.sysError(), EACCES);
    EXPECT_EQ(FileErrorText(denied), "Permission denied");
    EXPECT_EQ(FileError::FromErrno(ENOENT), FileError::NotFound);
    EXPECT_EQ(FileErrorText(FileError::FromErrno(ENOENT)), "No such file or directory");
    EXPECT_EQ(FileErrorText(FileError::FromErrno(ENOSPC)), "No space left on device");
    EXPECT_EQ(FileErrorText(FileError::FromErrno(EROFS)), "Read-only file system");
    EXPECT_EQ(FileError::FromErrno(EISDIR), FileError::NotRegular);
    // Without a system number the kind speaks; a number the table lacks is named.
    EXPECT_EQ(FileErrorText(FileError::NotRegular), "not a regular file");
    EXPECT_EQ(FileErrorText(FileError::Unsupported), "the content does not fit this file format");
    EXPECT_EQ(FileErrorText(FileError(FileError::IoError, 4242)), "system error 4242");
    // Success never carries a number, and a failure always has one kind.
    EXPECT_EQ(FileError(FileError::None, EACCES).sysError(), 0);
    EXPECT_TRUE(FileError().ok());
    EXPECT_FALSE(FileError::FromErrno(0).ok());
    FileError first = FileError::None;
    KeepFirstError(&first, FileError::FromErrno(ENOSPC));
    KeepFirstError(&first, FileError::FromErrno(EIO));
    EXPECT_EQ(first.sysError(), ENOSPC);
}

TEST(FileIO, EveryRefusedSaveSaysTheSystemsReasonAndKeepsTheTarget) {
    const std::vector<std::uint8_t> data(6000, 7);
    VELTO_EXPECT_TROUBLES_REPORTED("doc.cur", [&](const std::string& path) -> std::string {
        FileError err;
        if (WriteWholeFile(path, data, &err)) return "saved";
        // A refused target keeps its old content; no temporary is left.
        std::vector<std::uint8_t> back;
        if (ReadWholeFile(path, back) && std::string(back.begin(), back.end()) != "old") return "target changed";
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(fs::path(path).parent_path(), ec))
            if (e.path().filename().string().starts_with(".doc.cur.")) return "temporary left";
        return FileErrorText(err);
    });
}

TEST(FileIO, ReadsSayWhyTheyFailed) {
    TempDir dir;
    std::vector<std::uint8_t> data;
    FileError err;
    EXPECT_FALSE(ReadWholeFile(dir.path / "missing", data, 100, &err));
    EXPECT_EQ(FileErrorText(err), "No such file or directory");
    writeText(dir.path / "secret", "x");
    ::chmod((dir.path / "secret").c_str(), 0);
    // Root reads through permission bits: an ordinary user is asked.
    const auto outcome = velto::test::SaveWithTrouble(velto::test::FileTrouble::ReadOnlyFolder, "x",
                                                      [&](const std::string&) {
                                                          FileError e;
                                                          std::uint64_t size = 0;
                                                          ReadFileHead(dir.path / "secret", 4, data, size, &e);
                                                          return FileErrorText(e);
                                                      });
    // The file's folder is private to its owner; either way the system said "no".
    if (!outcome.skipped) {
        EXPECT_EQ(outcome.text, "Permission denied");
    }
}
