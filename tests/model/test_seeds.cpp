// The crafted files the icon and animated-cursor fuzz targets start from, each
// a named regression case: what the reader makes of it, and that a file read
// writes and reads back with the same images.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "model/AniIO.h"
#include "model/IcoIO.h"
#include "platform/FileIO.h"
#include "test_ico_support.h"

using namespace velto;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Seed(const std::string& name) {
    Bytes b;
    EXPECT_TRUE(ReadWholeFile((std::filesystem::path(VELTO_SOURCE_DIR) / "fuzz/seeds" / name).string(), b)) << name;
    return b;
}

// "WxH/bits" of every image, or "refused".
std::string Images(bool ok, const TmyIcon& doc) {
    if (!ok) return "refused";
    std::string out;
    for (int i = 0; i < doc.Count(); ++i)
        out += (i ? " " : "") + std::to_string(doc.Image(i).Width()) + "x" + std::to_string(doc.Image(i).Height()) + "/" +
               std::to_string(doc.Image(i).BitCount);
    return out;
}

}  // namespace

TEST(Seeds, IconAndCursorFilesKeepTheirOutcome) {
    icotest::MessageLog quiet;
    const std::pair<const char*, const char*> rows[] = {
        {"16-bit.ico", "2x2/24"},
        {"count-past-data.ico", "refused"},  // more entries announced than the file holds
        {"five-depths.cur", "5x4/32 7x2/24 6x4/8 7x3/4 4x3/1"},
        {"offset-beyond.ico", "refused"},
        {"one-1.cur", "4x3/1"},
        {"one-4.cur", "7x3/4"},
        {"one-8.cur", "6x4/8"},
        {"one-24.cur", "7x2/24"},
        {"one-32.cur", "5x4/32"},
        {"png-cursor.cur", "3x1/32"},
        {"png-entries.ico", "4x1/32 3x2/32 2x2/24"},
        {"png-soft-shadow.cur", "16x16/32"},  // a palette PNG whose black entries fade out
        {"v5-header.ico", "refused"},
        {"zero-width.ico", "refused"},
    };
    for (const auto& [file, outcome] : rows) {
        SCOPED_TRACE(file);
        TmyIcon doc;
        const Bytes bytes = Seed(std::string("ico/") + file);
        ByteReader reader(bytes);
        const bool ok = TmyIcoIO(true).LoadFromStream(doc, reader);
        EXPECT_EQ(Images(ok, doc), outcome);
        if (!ok) continue;
        ByteWriter saved;
        ASSERT_TRUE(TmyIcoIO(false).SaveToStream(doc, saved, true));
        TmyIcon back;
        ByteReader again(saved.buffer());
        ASSERT_TRUE(TmyIcoIO(false).LoadFromStream(back, again));
        EXPECT_EQ(Images(true, back), outcome);
        for (int i = 0; i < back.Count() && i < doc.Count(); ++i) {
            // Below 32 bits a pixel is opaque or transparent: a PNG entry that the
            // directory calls 24-bit keeps its partial alpha only until saved.
            const TmyImagePal& read = doc.Image(i);
            const auto px = read.Pixels();
            const bool holdsItsAlpha =
                read.BitCount == 32 || std::all_of(px.begin(), px.end(), [](const TmyPixel& p) { return p.A % 255 == 0; });
            if (holdsItsAlpha) {
                EXPECT_TRUE(back.Image(i).Equals(read)) << i;
            }
        }
    }
}

TEST(Seeds, AnimatedCursorFilesKeepTheirOutcome) {
    const std::pair<const char*, const char*> rows[] = {
        {"broken-frame.ani", "4x4/24 4x4/24"},  // a frame that does not load drops its steps
        {"depths.ani", "8x8/1 5x3/4 3x3/8"},
        {"icon-two-images.ani", "6x6/32"},
        {"odd-chunks.ani", "3x5/32"},
        {"png-frame.ani", "4x4/32"},
        {"seq-rate-info.ani", "2x2/32 2x2/32 2x2/32"},
    };
    for (const auto& [file, outcome] : rows) {
        SCOPED_TRACE(file);
        TmyANI doc;
        const bool ok = TmyANIIO(false).LoadFromBytes(doc, Seed(std::string("ani/") + file));
        EXPECT_EQ(Images(ok, doc), outcome);
        if (!ok) continue;
        Bytes saved;
        ASSERT_TRUE(TmyANIIO(false).SaveToBytes(doc, saved));
        TmyANI back;
        ASSERT_TRUE(TmyANIIO(false).LoadFromBytes(back, saved));
        EXPECT_EQ(Images(true, back), outcome);
        for (int i = 0; i < back.Count() && i < doc.Count(); ++i) EXPECT_TRUE(back.Image(i).Equals(doc.Image(i))) << i;
    }
}
