// A library save killed at points spread over the whole save (backup, parked
// data, the rewrite): the library is its old bytes or its new ones, the
// backup is whole, and the next save removes what the killed one left beside
// the library and in the temporary folder.
#include <gtest/gtest.h>

#include <fcntl.h>

#include "../PeTestImage.h"
#include "FileTrouble.h"
#include "KillPoints.h"
#include "ChildCost.h"
#include "resources/LibrarySave.h"

using namespace velto;
using namespace restest;

namespace {

// A library of one cursor, and the change the killed saves make: six more of
// images above the park threshold, so that the save parks data too.
struct Growing {
    std::string lib, cur;
    Bytes before;
    TLibrarySave save;
};
Growing GrowingLibrary(test::KillFolder& dir) {
    Growing g{dir.File("lib.cul"), dir.File("big.cur"), {}, {}};
    WriteFile(g.cur, CursorFile({{128, 128, 1, 1, {}, 5}, {96, 96, 2, 2, {}, 6}, {64, 64, 3, 3, {}, 7}}));
    const ResName first = ResName::FromId(1);
    EXPECT_TRUE(SaveLibrary({g.lib, true, {}, {{g.cur, first, 0}}, {}}));
    g.before = ReadFile(g.lib);
    std::vector<TStoreEntry> stores;
    for (std::uint32_t n = 2; n < 8; ++n) stores.push_back({g.cur, ResName::FromId(n), 0});
    g.save = {g.lib, false, {{first, 0}}, stores, {}};
    return g;
}

}  // namespace

TEST(LibrarySaveKilled, TheLibraryIsItsOldOrNewBytesAndTheNextSaveLeavesNothingBehind) {
    test::KillFolder dir;
    const Growing g = GrowingLibrary(dir);
    const std::string& lib = g.lib;
    const std::string bak = BackupName(lib);
    const Bytes& before = g.before;
    const TLibrarySave& save = g.save;
    ASSERT_TRUE(SaveLibrary(save));
    const Bytes after = ReadFile(lib);
    ASSERT_NE(after, before);

    int untouched = 0, whole = 0, leftBeside = 0, leftParked = 0;
    std::string why;
    const long points = test::KillAtSpreadPoints(
        30, [&] { WriteFile(lib, before); }, [&] { SaveLibrary(save); },
        [&](int kill, const test::KillRun& run) {
            SCOPED_TRACE("kill " + std::to_string(kill) + (run.killed ? "" : " (the save ended first)"));
            const Bytes now = ReadFile(lib);
            EXPECT_TRUE(now == before || now == after) << "a damaged library of " << now.size() << " bytes";
            (now == after ? whole : untouched) += 1;
            EXPECT_EQ(ReadFile(bak), before) << "the backup is whole";
            if (dir.Names().size() > 3) ++leftBeside;
            if (!dir.TempNames().empty()) ++leftParked;
            // The next save, of the same change, cleans up after the killed one.
            WriteFile(lib, before);
            ASSERT_TRUE(SaveLibrary(save)) << GetLastError();
            EXPECT_EQ(ReadFile(lib), after);
            EXPECT_EQ(dir.Names(), (std::vector<std::string>{"big.cur", "lib.cul", "lib.cul.bak"}));
            EXPECT_EQ(dir.TempNames(), std::vector<std::string>{});
        },
        why);
    if (points < 0) GTEST_SKIP() << why;
    std::printf("library save: %ld points, 30 kills: %d untouched, %d whole, %d left a temporary beside it, "
                "%d left parked data\n",
                points, untouched, whole, leftBeside, leftParked);
    EXPECT_GT(leftBeside, 0) << "no kill landed while a temporary existed";
    EXPECT_GT(leftParked, 0) << "no kill landed while data was parked";
}

// Another user (the group lets nobody write root's library) saves it in place, killed at points spread over the
// save: the next save, which reads the library and adds to it, gives what it gives after an undisturbed save or
// none, or refuses and keeps the bytes it found; it never builds on a torn library, also where the library was
// renamed meanwhile (every other kill).
TEST(LibrarySaveKilled, InPlaceTheNextSaveBuildsOnTheOldOrNewLibraryNeverOnATornOne) {
    if (::geteuid() != 0) GTEST_SKIP() << "a library another user saves in place needs root to set up";
    test::KillFolder dir;
    ASSERT_EQ(::chmod(dir.File("").c_str(), 0777) | ::chmod(dir.Temp().c_str(), 0777), 0);
    const Growing g = GrowingLibrary(dir);
    const std::string& lib = g.lib;
    const Bytes& before = g.before;
    const TLibrarySave& killed = g.save;
    const TLibrarySave next{lib, false, {}, {{g.cur, ResName::FromId(9), 0}}, {}};
    // What the next save gives after the killed one, undisturbed or never begun.
    Bytes afterKilled, nextAfter[2];
    for (int i = 0; i < 2; ++i) {
        WriteFile(lib, before);
        ASSERT_TRUE(i == 0 || SaveLibrary(killed));
        if (i == 1) afterKilled = ReadFile(lib);
        ASSERT_TRUE(SaveLibrary(next));
        nextAfter[i] = ReadFile(lib);
    }
    const auto setUp = [&] {
        WriteFile(lib, before);
        ASSERT_EQ(::chown(lib.c_str(), 0, 65534) | ::chmod(lib.c_str(), 0664), 0);
    };
    const auto as = [](const TLibrarySave& save) { return test::detail::DropPrivileges() && SaveLibrary(save) ? 0 : 1; };
    int undone = 0, refused = 0;
    std::string why;
    const long points = test::KillAtSpreadPoints(
        30, setUp, [&] { ::_exit(as(killed)); },
        [&](int kill, const test::KillRun&) {
            SCOPED_TRACE("kill " + std::to_string(kill));
            const Bytes found = ReadFile(lib);
            const bool torn = found != before && found != afterKilled;
            undone += torn;
            // What the kill left beside it, to be left again for a second next save, through a new name.
            std::vector<std::pair<std::string, Bytes>> beside;
            for (const std::string& name : dir.Names())
                if (name.find(".velto-previous.") != std::string::npos) beside.emplace_back(name, ReadFile(dir.File(name)));
            for (const bool renamed : {false, true}) {
                if (renamed && !torn) break;
                SCOPED_TRACE(renamed ? "renamed" : "as named");
                const std::string through = renamed ? dir.File("moved.cul") : lib;
                if (renamed) {
                    const int fd = ::open(lib.c_str(), O_WRONLY | O_TRUNC);  // (the same file, as it was left)
                    ASSERT_TRUE(fd >= 0 && ::write(fd, found.data(), found.size()) == static_cast<ssize_t>(found.size()));
                    ::close(fd);
                    for (const auto& [name, bytes] : beside) {
                        WriteFile(dir.File(name), bytes);
                        ASSERT_EQ(::chown(dir.File(name).c_str(), 65534, 65534) | ::chmod(dir.File(name).c_str(), 0600), 0);
                    }
                    ASSERT_EQ(::rename(lib.c_str(), through.c_str()), 0);
                }
                TLibrarySave save = next;
                save.FileName = through;
                const bool saved = test::RunInChild([&] { return as(save); }).exitCode == 0;
                if (renamed) {
                    ASSERT_EQ(::rename(through.c_str(), lib.c_str()), 0);
                    ::rename((through + ".bak").c_str(), (lib + ".bak").c_str());  // (none where it refused)
                }
                const Bytes now = ReadFile(lib);
                if (saved)
                    EXPECT_TRUE(now == nextAfter[0] || now == nextAfter[1]) << "built on a torn library";
                else
                    EXPECT_TRUE(now == before || now == afterKilled) << "refused, and left a library of " << now.size();
                refused += !saved;
                EXPECT_EQ(dir.Names(), (std::vector<std::string>{"big.cur", "lib.cul", "lib.cul.bak"}));
            }
        },
        why);
    if (points < 0) GTEST_SKIP() << why;
    std::printf("library saved in place: %ld points, 30 kills: %d left a torn library, %d next saves refused\n",
                points, undone, refused);
    EXPECT_GT(undone, 0) << "no kill landed while the library was partly written";
    EXPECT_EQ(refused, 0);
}
