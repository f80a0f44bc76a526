// Reading whole files: the cap holds whatever size a file announces, files
// the kernel makes up (/proc, /sys) and links to them are refused like FIFOs,
// and a file that grows while it is read costs at most the cap and one copy.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "ChildCost.h"
#include "platform/FileIO.h"

using namespace velto;
namespace fs = std::filesystem;

namespace {

struct ScratchDir {
    fs::path path;
    ScratchDir() {
        std::string tmpl = (fs::temp_directory_path() / "velto-read-XXXXXX").string();
        path = ::mkdtemp(tmpl.data());
    }
    ~ScratchDir() { fs::remove_all(path); }
};

// Byte i of every file these tests write: a wrong offset or a lost block shows.
std::uint8_t PatternByte(std::uint64_t i) { return static_cast<std::uint8_t>((i * 131 + (i >> 16)) % 251); }

void WritePattern(const fs::path& p, std::uint64_t size) {
    std::string s(size, '\0');
    for (std::uint64_t i = 0; i < size; ++i) s[i] = static_cast<char>(PatternByte(i));
    std::ofstream(p, std::ios::binary) << s;
}

template <class Bytes>
bool HoldsPattern(const Bytes& data) {
    for (std::size_t i = 0; i < data.size(); ++i)
        if (data[i] != PatternByte(i)) return false;
    return true;
}

template <class Bytes>
void ExpectCapHolds(const fs::path& file, std::uint64_t size) {
    Bytes data;
    FileError err;
    ASSERT_TRUE(ReadWholeFile(file.string(), data, size, &err)) << FileErrorText(err);
    EXPECT_EQ(data.size(), size);
    EXPECT_TRUE(HoldsPattern(data));
    data.assign(3, 7);
    EXPECT_FALSE(ReadWholeFile(file.string(), data, size - 1, &err));
    EXPECT_EQ(err, FileError::TooLarge);
    EXPECT_EQ(data.size(), 3u) << "a refused read leaves the caller's buffer alone";
}

}  // namespace

TEST(FileRead, AFileOfExactlyTheCapIsReadAndOneByteMoreIsTooLarge) {
    ScratchDir dir;
    // Small files, and one large enough for pixel storage's fresh pages.
    for (const std::uint64_t size : {std::uint64_t{1}, std::uint64_t{70000}, std::uint64_t{3} << 20}) {
        SCOPED_TRACE(size);
        const fs::path file = dir.path / ("f" + std::to_string(size));
        WritePattern(file, size);
        ExpectCapHolds<std::vector<std::uint8_t>>(file, size);
        ExpectCapHolds<TPixelBytes>(file, size);
    }
    WritePattern(dir.path / "empty", 0);
    std::vector<std::uint8_t> data{1, 2};
    ASSERT_TRUE(ReadWholeFile((dir.path / "empty").string(), data, 0));
    EXPECT_TRUE(data.empty());
}

TEST(FileRead, FilesTheKernelMakesUpAreRefusedAsNotRegularAlsoThroughALink) {
    ScratchDir dir;
    const fs::path link = dir.path / "x.cur";
    fs::create_symlink("/proc/self/status", link);
    std::vector<std::string> paths{"/proc/self/status", link.string(), "/proc/self/cmdline"};
    // A /sys entry where this machine has one.
    for (const char* sys : {"/sys/kernel/mm/transparent_hugepage/enabled", "/sys/kernel/uevent_seqnum"})
        if (fs::exists(sys)) paths.emplace_back(sys);
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        std::vector<std::uint8_t> bytes;
        TPixelBytes pixels;
        std::uint64_t size = 0;
        FileError err;
        EXPECT_FALSE(ReadWholeFile(path, bytes, 1 << 20, &err));
        EXPECT_EQ(err, FileError::NotRegular);
        EXPECT_EQ(FileErrorText(err), "not a regular file");
        err = FileError::None;
        EXPECT_FALSE(ReadWholeFile(path, pixels, 1 << 20, &err));
        EXPECT_EQ(err, FileError::NotRegular);
        err = FileError::None;
        EXPECT_FALSE(ReadFileHead(path, 64, bytes, size, &err));
        EXPECT_EQ(err, FileError::NotRegular);
    }
    // Devices are refused without being opened.
    std::vector<std::uint8_t> bytes;
    FileError err;
    EXPECT_FALSE(ReadWholeFile("/dev/zero", bytes, 1 << 20, &err));
    EXPECT_EQ(err, FileError::NotRegular);
}

TEST(FileRead, AFileGrowingWhileReadCostsAtMostTheCapAndOneCopy) {
    ScratchDir dir;
    const fs::path file = dir.path / "download.part";
    constexpr std::uint64_t kCap = 16ull << 20;
    constexpr std::uint64_t kStep = 1ull << 20;
    constexpr int kFirstSteps = 8;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    std::fflush(nullptr);
    // Another process writes the file as a download does: some megabytes
    // first, then one more each time the file is opened, so that it grows
    // while it is read (a reader that starts over on growth never ends
    // before the file passes the cap), up to twice the cap.
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::close(ready[0]);
        const int out = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const int watch = ::inotify_init1(IN_CLOEXEC);
        if (out < 0 || watch < 0 || ::inotify_add_watch(watch, file.c_str(), IN_OPEN) < 0) ::_exit(1);
        std::vector<std::uint8_t> step(kStep);
        std::uint64_t at = 0;
        // In small pieces: the file is longer at once, and longer still as
        // the step goes on.
        auto append = [&] {
            for (std::size_t i = 0; i < kStep; ++i) step[i] = PatternByte(at + i);
            for (std::size_t piece = 0; piece < kStep; piece += 4096)
                if (::write(out, step.data() + piece, 4096) != 4096) ::_exit(1);
            at += kStep;
        };
        for (int i = 0; i < kFirstSteps; ++i) append();
        const char c = 1;
        if (::write(ready[1], &c, 1) != 1) ::_exit(1);
        ::close(ready[1]);
        alignas(inotify_event) char events[4096];
        for (;;) {
            const ssize_t n = ::read(watch, events, sizeof events);
            if (n <= 0) ::_exit(n == 0 ? 0 : 1);
            for (ssize_t i = 0; i < n; i += static_cast<ssize_t>(sizeof(inotify_event)) +
                                              reinterpret_cast<const inotify_event*>(events + i)->len)
                if (at < 2 * kCap) append();
        }
    }
    ::close(ready[1]);
    char c = 0;
    const bool started = ::read(ready[0], &c, 1) == 1;
    ::close(ready[0]);

    rusage self{};
    ::getrusage(RUSAGE_SELF, &self);
    // The child answers 0 for the file read whole as it was at some moment,
    // 1 for "too large", 2 for bytes out of place, 3 for any other failure.
    const test::ChildCost cost = test::RunInChild([&] {
        TPixelBytes data;
        FileError err;
        if (!ReadWholeFile(file.string(), data, kCap, &err)) return err == FileError::TooLarge ? 1 : 3;
        return data.size() >= kStep && data.size() <= kCap && HoldsPattern(data) ? 0 : 2;
    });
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    ASSERT_TRUE(started) << "the writer did not start";
    ASSERT_TRUE(cost.exited) << "the reading child was killed by a signal";
    EXPECT_TRUE(cost.exitCode == 0 || cost.exitCode == 1) << "exit code " << cost.exitCode;
    const long boundKiB = self.ru_maxrss + static_cast<long>(2 * kCap / 1024) + 8 * 1024;
    std::printf("reading a growing file: exit %d, peak %ld KiB (bound %ld KiB), %ju bytes at the end\n", cost.exitCode,
                cost.peakKiB, boundKiB, static_cast<std::uintmax_t>(fs::file_size(file)));
    EXPECT_LT(cost.peakKiB, boundKiB);
}
