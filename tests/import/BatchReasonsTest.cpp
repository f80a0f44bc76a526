// Files the batch cannot read: its log says why, in every mode, as the rest
// of the program does (a FIFO, a folder, a link loop, a link into /proc, a
// file the user may not read), and nothing is written for them.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "ChildCost.h"
#include "FileTrouble.h"
#include "ImportTestUtil.h"
#include "import/BatchConvert.h"
#include "model/IcoIO.h"

namespace velto {
namespace {

using test::ScratchDir;

struct Unreadable {
    const char* name;
    const char* reason;
};

// Made in folder: each cannot be read, for the reason given.
constexpr Unreadable kUnreadable[] = {
    {"status.cur", "not a regular file"},  // a link to /proc/self/status
    {"pipe.cur", "not a regular file"},
    {"folder.cur", "not a regular file"},
    {"loop.cur", "Too many levels of symbolic links"},
};

void MakeUnreadable(const ScratchDir& folder) {
    namespace fs = std::filesystem;
    fs::create_symlink("/proc/self/status", folder.File("status.cur"));
    ASSERT_EQ(::mkfifo(folder.File("pipe.cur").c_str(), 0644), 0);
    fs::create_directory(folder.File("folder.cur"));
    fs::create_symlink("loop.cur", folder.File("loop.cur"));
}

// The text each mode logs for a file it could not read.
const char* FailureText(TBatchMode mode) {
    return mode == TBatchMode::ImagesToCursors ? "Unknown file type!" : "Cannot open file";
}

constexpr TBatchMode kModes[] = {TBatchMode::ImagesToCursors, TBatchMode::CursorsToImages,
                                 TBatchMode::ResourceCursors};

TBatchJob JobOf(TBatchMode mode, std::vector<std::string> files, const std::string& outDir) {
    TBatchJob job;
    job.Mode = mode;
    job.Files = std::move(files);
    job.OutputDir = outDir;
    job.Output = mode == TBatchMode::CursorsToImages ? "png" : "cur";
    job.Threads = 2;
    return job;
}

TEST(BatchReasons, EveryModeLogsWhyAFileCouldNotBeRead) {
    ScratchDir in, out;
    MakeUnreadable(in);
    std::vector<std::string> files;
    for (const Unreadable& u : kUnreadable) files.push_back(in.File(u.name));
    for (const TBatchMode mode : kModes) {
        SCOPED_TRACE(static_cast<int>(mode));
        const std::vector<TBatchLine> log = TBatchRun(JobOf(mode, files, out.File(""))).RunAll();
        ASSERT_EQ(log.size(), 2 * files.size() + 1);
        for (std::size_t i = 0; i < files.size(); ++i) {
            EXPECT_EQ(log[2 * i + 1].Kind, TBatchLineKind::Error);
            EXPECT_EQ(log[2 * i + 1].Text, "      Error: " + files[i] + " - " + FailureText(mode) + " - " +
                                                kUnreadable[i].reason);
        }
        EXPECT_TRUE(std::filesystem::is_empty(out.File("")));
    }
}

TEST(BatchReasons, AFileTheUserMayNotReadSaysPermissionDenied) {
    ScratchDir in, out;
    const std::string locked = in.File("locked.cur");
    std::FILE* f = std::fopen(locked.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not read anyway", f);
    std::fclose(f);
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    // Root reads through permission bits: the batch runs in a child that is
    // an ordinary user. It answers 0 when every mode logged the reason, 1
    // when one did not, 2 when the folder cannot be reached as that user.
    const test::ChildCost child = test::RunInChild([&] {
        if (!test::detail::DropPrivileges()) return 3;
        if (::access(in.File("").c_str(), X_OK) != 0) return 2;
        for (const TBatchMode mode : kModes) {
            const std::vector<TBatchLine> log = TBatchRun(JobOf(mode, {locked}, out.File(""))).RunAll();
            const std::string want =
                "      Error: " + locked + " - " + FailureText(mode) + " - Permission denied";
            if (log.size() != 3 || log[1].Text != want) {
                std::fprintf(stderr, "logged \"%s\", expected \"%s\"\n", log.size() > 1 ? log[1].Text.c_str() : "",
                             want.c_str());
                return 1;
            }
        }
        return 0;
    });
    ASSERT_TRUE(child.exited);
    if (child.exitCode == 2) GTEST_SKIP() << "the temporary folder cannot be reached as an ordinary user";
    ASSERT_NE(child.exitCode, 3) << "cannot become an ordinary user";
    EXPECT_EQ(child.exitCode, 0);
}

// A name the folder will not give ends its file with the reason, the run goes on.
// Run in a child of bounded processor time: a search that never ends fails.
TEST(BatchReasons, ANameTheFolderWillNotGiveEndsItsFileWithTheReason) {
    ScratchDir in, out;
    const std::string c253(253, 'c'), c251(251, 'c');
    TmyIcon icon;
    icon.AddImage({32, 32}, 32);
    std::vector<std::string> files;
    for (const std::string& name : {c253 + ".a", c251 + ".cur", c251 + ".cur", std::string("b.cur")}) {
        files.push_back(in.File(name));
        ASSERT_TRUE(TmyIcoIO(false).SaveToFile(icon, files.back(), false));
    }
    const std::string tooLong = " - Cannot save file - File name too long\n", made = " - File created successfully\n";
    const std::string want = "      Error: " + out.File(c253 + ".cur") + tooLong + "      Success: " + out.File(c251 + ".cur") +
                             made + "      Error: " + out.File(c251 + ".cur") + tooLong + "      Success: " + out.File("b.cur") + made;
    const test::ChildCost child = test::RunInChild([&] {
        test::LimitProcessorSeconds(60);
        const std::vector<TBatchLine> log = TBatchRun(JobOf(TBatchMode::ImagesToCursors, files, out.File(""))).RunAll();
        std::string got;
        for (std::size_t i = 1; i < log.size(); i += 2) got += log[i].Text + "\n";
        return got == want ? 0 : (std::fputs(got.c_str(), stderr), 1);
    });
    EXPECT_TRUE(child.exited && child.exitCode == 0) << "a search without end, or the result lines above";
    std::set<std::string> taken = {"/f"};  // every name the search may look at
    for (int n = 2; n <= kUniqueNameTries; ++n) taken.insert("/f (" + std::to_string(n) + ")");
    FileError error;
    EXPECT_EQ(UniqueFileName("/f", taken, &error), "") << "the tries are bounded";
    EXPECT_EQ(FileErrorText(error), "File exists");
}

}  // namespace
}  // namespace velto
