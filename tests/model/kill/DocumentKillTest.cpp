// A document save killed at points spread over the whole save: the file is
// the old one or the new one, never a mix, and what the killed save left
// beside it goes with the next save.
#include <gtest/gtest.h>

#include <fstream>

#include "KillPoints.h"
#include "model/AniIO.h"
#include "model/IcoIO.h"

using namespace velto;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
void PutAll(const std::string& path, const Bytes& data) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                static_cast<std::streamsize>(data.size()));
}

// A cursor of count images of side pixels, in colours of its seed.
void Fill(TmyIcon& doc, int count, int side, int seed) {
    doc.IsCursor = true;
    for (int i = 0; i < count; ++i) {
        TmyImagePal& image = doc.Image(doc.AddImage(ImageSize{side, side}, 32));
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                image.At(x, y) = {static_cast<std::uint8_t>(x + seed), static_cast<std::uint8_t>(y * i),
                                  static_cast<std::uint8_t>(seed), static_cast<std::uint8_t>(x ^ y)};
    }
}

struct Tally {
    int untouched = 0, whole = 0, leftBehind = 0;
};

// Saves of io's kind killed 20 times over; before and after each, the file
// and its folder are checked.
Tally KillSaves(ImyIconIO& io, const TmyIcon& oldDoc, const TmyIcon& newDoc, const std::string& name) {
    test::KillFolder dir;
    const std::string path = dir.File(name);
    EXPECT_TRUE(io.SaveToFile(newDoc, path, false));
    const Bytes newBytes = ReadAll(path);
    EXPECT_TRUE(io.SaveToFile(oldDoc, path, false));
    const Bytes oldBytes = ReadAll(path);
    Tally tally;
    std::string why;
    const long points = test::KillAtSpreadPoints(
        20, [&] { PutAll(path, oldBytes); }, [&] { io.SaveToFile(newDoc, path, false); },
        [&](int kill, const test::KillRun& run) {
            SCOPED_TRACE("kill " + std::to_string(kill) + (run.killed ? "" : " (the save ended first)"));
            const Bytes now = ReadAll(path);
            EXPECT_TRUE(now == oldBytes || now == newBytes) << "a damaged file of " << now.size() << " bytes";
            (now == newBytes ? tally.whole : tally.untouched) += 1;
            if (dir.Names().size() > 1) ++tally.leftBehind;
            // The next save cleans up after the killed one.
            ASSERT_TRUE(io.SaveToFile(newDoc, path, false));
            EXPECT_EQ(ReadAll(path), newBytes);
            EXPECT_EQ(dir.Names(), std::vector<std::string>{name});
            EXPECT_EQ(dir.TempNames(), std::vector<std::string>{});
        },
        why);
    if (points < 0) {
        ADD_FAILURE() << why;
        return tally;
    }
    std::printf("%s save: %ld points, 20 kills: %d untouched, %d whole, %d left a temporary beside it\n",
                name.c_str(), points, tally.untouched, tally.whole, tally.leftBehind);
    return tally;
}

bool Traceable(std::string& why) {
    test::KillRun run;
    return test::RunKilledAt([] {}, 0, run, why);
}

}  // namespace

TEST(DocumentSaveKilled, ACursorIsItsOldOrNewBytesAndTheNextSaveLeavesNothingBeside) {
    std::string why;
    if (!Traceable(why)) GTEST_SKIP() << why;
    TmyIcon oldDoc, newDoc;
    Fill(oldDoc, 1, 32, 1);
    Fill(newDoc, 6, 256, 2);  // about 1.6 MB: the write is long enough to be cut
    TmyIcoIO io(false);
    const Tally t = KillSaves(io, oldDoc, newDoc, "doc.cur");
    EXPECT_GT(t.leftBehind, 0) << "no kill landed while the temporary existed";
    EXPECT_GT(t.untouched, 0);
    EXPECT_GT(t.whole, 0);
}

TEST(DocumentSaveKilled, AnAnimatedCursorIsItsOldOrNewBytesAndTheNextSaveLeavesNothingBeside) {
    std::string why;
    if (!Traceable(why)) GTEST_SKIP() << why;
    TmyANI oldDoc, newDoc;
    Fill(oldDoc, 2, 32, 3);
    Fill(newDoc, 12, 128, 4);
    TmyANIIO io(false);
    const Tally t = KillSaves(io, oldDoc, newDoc, "doc.ani");
    EXPECT_GT(t.leftBehind, 0) << "no kill landed while the temporary existed";
}
