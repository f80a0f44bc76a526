// A settings save killed at points spread over the whole save: "config.cfg"
// holds the old settings or the new ones, never a mix, and what the killed
// save left beside it goes with the next save.
#include <gtest/gtest.h>

#include <fstream>

#include "KillPoints.h"
#include "platform/IniFile.h"

using namespace velto;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(SettingsSaveKilled, TheFileIsItsOldOrNewTextAndTheNextSaveLeavesNothingBeside) {
    test::KillFolder dir;
    const std::string path = dir.File("config.cfg");
    IniFile before, after;
    for (int s = 0; s < 40; ++s)
        for (int k = 0; k < 50; ++k) {
            const std::string section = "Section" + std::to_string(s), key = "Key" + std::to_string(k);
            before.WriteInteger(section, key, s * k);
            after.WriteString(section, key, "a longer value than before, " + std::to_string(s + k));
        }
    ASSERT_TRUE(after.SaveToFile(path));
    const std::string newText = ReadAll(path);
    ASSERT_TRUE(before.SaveToFile(path));
    const std::string oldText = ReadAll(path);
    int untouched = 0, whole = 0, leftBehind = 0;
    std::string why;
    const long points = test::KillAtSpreadPoints(
        20, [&] { std::ofstream(path, std::ios::binary) << oldText; }, [&] { after.SaveToFile(path); },
        [&](int kill, const test::KillRun& run) {
            SCOPED_TRACE("kill " + std::to_string(kill) + (run.killed ? "" : " (the save ended first)"));
            const std::string now = ReadAll(path);
            EXPECT_TRUE(now == oldText || now == newText) << "damaged settings of " << now.size() << " bytes";
            (now == newText ? whole : untouched) += 1;
            if (dir.Names().size() > 1) ++leftBehind;
            ASSERT_TRUE(after.SaveToFile(path));
            EXPECT_EQ(ReadAll(path), newText);
            EXPECT_EQ(dir.Names(), std::vector<std::string>{"config.cfg"});
            EXPECT_EQ(dir.TempNames(), std::vector<std::string>{});
        },
        why);
    if (points < 0) GTEST_SKIP() << why;
    std::printf("settings save: %ld points, 20 kills: %d untouched, %d whole, %d left a temporary beside it\n",
                points, untouched, whole, leftBehind);
    EXPECT_GT(leftBehind, 0) << "no kill landed while the temporary existed";
}
