// Files the batch cannot read: its log says why, in every mode, as the rest
// of the program does (a FIFO, a folder, a link loop, a link into /proc, a
// file the user may not read), and nothing is written for them.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>

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

// A name the output folder will not give ends that file with the system's
// reason and the run goes on; a name taken gets the next number. Each run is
// a child given a bound: a search for a free name that never ends fails it.
TEST(BatchReasons, ANameTheFolderWillNotGiveEndsItsFileWithTheReason) {
    constexpr unsigned kBoundSeconds = 60;
    const std::string a246(246, 'a'), c251(251, 'c');
    const std::string tooLong = " - File name too long", denied = " - Permission denied";
    const TBatchMode toImages = TBatchMode::CursorsToImages, toCursors = TBatchMode::ImagesToCursors;
    const struct {
        const char* name;
        TBatchMode mode;
        std::vector<std::string> inputs;   // base names of cursors
        mode_t folder;                     // the output folder's mode; 0: as made
        std::vector<std::string> results;  // per file: its output, and why it was not written
    } cases[] = {
        {"an output name over 255 bytes", toImages, {a246, "b"}, 0, {a246 + "_32x32-32.png" + tooLong, "b_32x32-32.png"}},
        {"a 255-byte name converted twice", toCursors, {c251, c251}, 0, {c251 + ".cur", c251 + ".cur" + tooLong}},
        {"a name converted twice", toCursors, {"d", "d"}, 0, {"d.cur", "d (2).cur"}},
        {"a read-only folder", toImages, {"e"}, 0555, {"e_32x32-32.png" + denied}},
        {"a folder that cannot be searched", toCursors, {"e", "b"}, 0444, {"e.cur" + denied, "b.cur" + denied}},
    };
    TmyIcon cursor;
    cursor.IsCursor = true;
    cursor.AddImage({32, 32}, 32);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir in, out;
        std::vector<std::string> files, want;
        for (std::size_t i = 0; i < c.inputs.size(); ++i) {
            files.push_back(in.File(c.inputs[i] + ".cur"));
            ASSERT_TRUE(TmyIcoIO(false).SaveToFile(cursor, files.back(), false));
            const std::string& r = c.results[i];
            const std::size_t why = r.find(" - ");
            want.push_back(why == std::string::npos ? "      Success: " + out.File(r) + " - File created successfully"
                                                    : "      Error: " + out.File(r.substr(0, why)) +
                                                          " - Cannot save file" + r.substr(why));
        }
        ASSERT_EQ(::chmod(out.File("").c_str(), c.folder ? c.folder : 0755), 0);
        // Root writes through permission bits: a folder case runs as an
        // ordinary user (3: cannot become one).
        const test::ChildCost child = test::RunInChild([&] {
            ::alarm(kBoundSeconds);
            if (c.folder && !test::detail::DropPrivileges()) return 3;
            const std::vector<TBatchLine> log = TBatchRun(JobOf(c.mode, files, out.File(""))).RunAll();
            int wrong = log.size() == 2 * want.size() + 1 ? 0 : 1;
            for (std::size_t i = 0; i < want.size() && !wrong; ++i)
                if (log[2 * i + 1].Text != want[i]) {
                    std::fprintf(stderr, "logged \"%s\", expected \"%s\"\n", log[2 * i + 1].Text.c_str(), want[i].c_str());
                    wrong = 1;
                }
            return wrong;
        });
        ::chmod(out.File("").c_str(), 0755);
        if (!child.exited) {
            ADD_FAILURE() << "the run did not end within " << kBoundSeconds << " s";
            continue;
        }
        if (child.exitCode == 3) GTEST_SKIP() << "cannot become an ordinary user";
        EXPECT_EQ(child.exitCode, 0);
    }

    // The names looked at are bounded, and the bound says why.
    const std::string wanted = "/f.png";
    std::set<std::string> taken = {wanted};
    for (int n = 2; n <= kUniqueNameTries; ++n) taken.insert("/f (" + std::to_string(n) + ").png");
    FileError error;
    EXPECT_EQ(UniqueFileName(wanted, taken, &error), "");
    EXPECT_EQ(FileErrorText(error), "File exists");
}

}  // namespace
}  // namespace velto
