// A library save killed at points spread over the whole save (backup, parked
// data, the rewrite): the library is its old bytes or its new ones, the
// backup is whole, and the next save removes what the killed one left beside
// the library and in the temporary folder.
#include <gtest/gtest.h>

#include "../PeTestImage.h"
#include "KillPoints.h"
#include "resources/LibrarySave.h"

using namespace velto;
using namespace restest;

TEST(LibrarySaveKilled, TheLibraryIsItsOldOrNewBytesAndTheNextSaveLeavesNothingBehind) {
    test::KillFolder dir;
    const std::string lib = dir.File("lib.cul"), bak = BackupName(lib), cur = dir.File("big.cur");
    // Images above the park threshold, so that the save parks data too.
    WriteFile(cur, CursorFile({{128, 128, 1, 1, {}, 5}, {96, 96, 2, 2, {}, 6}, {64, 64, 3, 3, {}, 7}}));
    const ResName first = ResName::FromId(1);
    ASSERT_TRUE(SaveLibrary({lib, true, {}, {{cur, first, 0}}, {}}));
    const Bytes before = ReadFile(lib);
    std::vector<TStoreEntry> stores;
    for (std::uint32_t n = 2; n < 8; ++n) stores.push_back({cur, ResName::FromId(n), 0});
    const TLibrarySave save{lib, false, {{first, 0}}, stores, {}};
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
