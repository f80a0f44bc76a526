// A document save killed at points spread over the whole save: the file is
// the old one or the new one, never a mix, and what the killed save left
// beside it goes with the next save.
#include <gtest/gtest.h>

#include <fstream>

#include "KillPoints.h"
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

}  // namespace

TEST(DocumentSaveKilled, TheFileIsItsOldOrNewBytesAndTheNextSaveLeavesNothingBeside) {
    TmyIcon oldDoc, newDoc;
    Fill(oldDoc, 1, 32, 1);
    Fill(newDoc, 6, 256, 2);  // about 1.6 MB: the write is long enough to be cut
    TmyIcoIO io(false);
    test::KillFolder dir;
    const std::string path = dir.File("doc.cur");
    ASSERT_TRUE(io.SaveToFile(newDoc, path, false));
    const Bytes newBytes = ReadAll(path);
    ASSERT_TRUE(io.SaveToFile(oldDoc, path, false));
    const Bytes oldBytes = ReadAll(path);
    int untouched = 0, whole = 0, leftBehind = 0;
    std::string why;
    const long points = test::KillAtSpreadPoints(
        20, [&] { PutAll(path, oldBytes); }, [&] { io.SaveToFile(newDoc, path, false); },
        [&](int kill, const test::KillRun& run) {
            SCOPED_TRACE("kill " + std::to_string(kill) + (run.killed ? "" : " (the save ended first)"));
            const Bytes now = ReadAll(path);
            EXPECT_TRUE(now == oldBytes || now == newBytes) << "a damaged file of " << now.size() << " bytes";
            (now == newBytes ? whole : untouched) += 1;
            if (dir.Names().size() > 1) ++leftBehind;
            // The next save cleans up after the killed one.
            ASSERT_TRUE(io.SaveToFile(newDoc, path, false));
            EXPECT_EQ(ReadAll(path), newBytes);
            EXPECT_EQ(dir.Names(), std::vector<std::string>{"doc.cur"});
            EXPECT_EQ(dir.TempNames(), std::vector<std::string>{});
        },
        why);
    if (points < 0) GTEST_SKIP() << why;
    std::printf("document save: %ld points, 20 kills: %d untouched, %d whole, %d left a temporary beside it\n",
                points, untouched, whole, leftBehind);
    EXPECT_GT(leftBehind, 0) << "no kill landed while the temporary existed";
    EXPECT_GT(untouched, 0);
    EXPECT_GT(whole, 0);
}
