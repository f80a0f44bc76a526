#include <gtest/gtest.h>

#include "KillPoints.h"
#include "TornFiles.h"

using namespace velto;
using namespace velto::test;

// A put-back killed at any point (an open's, a library update's) is finished by the next one, which puts the old
// bytes back whole; neither ever removes the copy while the file is not whole.
TEST(TornState, APutBackKilledAnywhereIsFinishedByTheNextOne) {
    struct Row {
        const char* what;
        std::size_t oldSize, newSize, size;
        std::string pages;
        Road road;
    };
    const std::vector<Row> rows = {
        {"a document grown, its put-back killed", 300007, 1000003, 655360, Pages({{160, 'n'}, {1, 'o'}}), Road::Open},
        {"a library shrunk, its update's put-back killed", 700003, 500001, 700003, Pages({{123, 'n'}, {1, 'o'}}),
         Road::Rebuild},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const InPlaceSaved saved(row.oldSize, row.newSize);
        const std::string torn = saved.State(row.size, row.pages);
        std::string target = saved.file;
        const auto work = [&] {
            UnfinishedSave found;
            SaveLock lock;
            if (row.road == Road::Open) ::_exit(RecoverUnfinishedSave(target, found).ok() ? 0 : 1);
            FileError e = lock.Take(target);
            if (e.ok()) e = LookBeside(target, lock, row.road, found);
            ::_exit(e.ok() ? 0 : 1);
        };
        saved.Leave(torn);
        std::string why;
        test::KillRun whole;
        if (!test::RunKilledAt(work, 0, whole, why)) GTEST_SKIP() << why;
        ASSERT_EQ(TornFileBytes(saved.file), saved.before);
        ASSERT_GT(whole.points, 20);
        int left = 0;
        for (long at = 1; at <= whole.points; ++at) {
            SCOPED_TRACE("killed at point " + std::to_string(at) + " of " + std::to_string(whole.points));
            const InPlaceSaved again(row.oldSize, row.newSize);
            again.Leave(torn);
            target = again.file;
            test::KillRun run;
            ASSERT_TRUE(test::RunKilledAt(work, at, run, why)) << why;
            const std::string now = TornFileBytes(again.file);
            left += now != saved.before && now != torn;
            ASSERT_TRUE(now == again.before || again.CopyThere()) << "the copy went, the file torn";
            const std::string expected = again.CopyThere() && now != again.before ? "undone" : "none";
            EXPECT_EQ(RecoverWords(again.file), expected);
            EXPECT_EQ(TornFileBytes(again.file), again.before);
            EXPECT_FALSE(again.CopyThere());
        }
        EXPECT_GT(left, 0) << "no kill landed while the put-back was under way";
    }
}
