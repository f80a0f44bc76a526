// The crafted files the GIF fuzz target starts from, each a named regression
// case: hostile ones are refused with their error or read to the frames they
// hold, and what was read writes and reads back to the same pixels.
#include <filesystem>

#include "GifTestUtil.h"
#include "platform/FileIO.h"

using namespace giftest;

namespace {

Bytes Seed(const char* name) {
    Bytes b;
    EXPECT_TRUE(ReadWholeFile((std::filesystem::path(VELTO_SOURCE_DIR) / "fuzz/seeds/gif" / name).string(), b)) << name;
    return b;
}

TEST(GifSeeds, CraftedFilesKeepTheirOutcome) {
    const struct {
        const char* file;
        std::string outcome;  // the frames' sizes when read, else the error text
        std::vector<std::string> warnings;
        // Saving raises this (frames on no colour map count one colour: pixels above 0 are refused).
        std::string saveError = "";
    } rows[] = {
        {"one-byte-blocks.gif", "6x5", {}},         // codes spread over many 1-byte sub-blocks
        {"circular-table.gif", "Circular decoder table entry", {}},
        {"code-size-12.gif", "Invalid GIF data", {}},
        {"data-after-pixels.gif", "1x1 1x1", {}},  // the leftover sub-blocks are no blocks
        {"loop-cut.gif", "Premature end of data", {}},
        {"app-size-10.gif", "2x2", {}},
        {"app-size-12.gif", "2x2", {}},
        // Unknown data under the loop's identifier that the loop could not read.
        {"app-size-12-loop-name.gif", "0x0", {"Invalid extension introducer", "Unknown GIF block type", "Invalid Image trailer"}},
        {"huge-frame.gif", "Out of memory", {}},
        {"prefix-unknown-block.gif", "2x2", {"Unknown GIF block type", "Invalid Image trailer"}},
        {"no-palette.gif", "2x2 0x0", {}, "Color not in color table"},
        {"text-zero-frame.gif", "3x2", {"Image exceeds Logical Screen size"}},
        {"header-bits.gif", "16x16", {}},
        // A frame of no rows (the screen's height 0 stands in for its own): no pixels to write to.
        {"zero-height.gif", "1x0", {"Image exceeds Logical Screen size", "Unknown GIF block type", "Invalid Image trailer"}},
        // A frame of no pixels (zero width) with its own map, which is not written.
        {"empty-frame-with-map.gif", "0x514", {"Invalid extension introducer", "Image exceeds Logical Screen size"}},
        // A screen 0 pixels wide under frames restored to the background.
        {"zero-width-screen.gif", "1x1 1x1", {}},
        {"feature.gif", "40x30 20x10 13x7 9x5 40x30", {}},
        {"feature-rle.gif", "40x30 20x10 13x7 9x5 40x30", {}},
    };
    std::size_t seen = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        TGIFImage gif;
        WarningLog log;
        log.Attach(gif);
        const std::string error = Load(gif, Seed(row.file));
        std::string outcome = error;
        for (int i = 0; error.empty() && i < gif.Images().Count(); ++i)
            outcome += (i ? " " : "") + std::to_string(gif.Images()[i].Width()) + "x" +
                       std::to_string(gif.Images()[i].Height());
        EXPECT_EQ(outcome, row.outcome);
        EXPECT_EQ(log.texts, row.warnings);
        if (!row.saveError.empty()) {
            try {
                Save(gif);
                ADD_FAILURE() << "saved";
            } catch (const GIFException& e) {
                EXPECT_EQ(e.what(), row.saveError);
            }
        } else if (error.empty()) {
            TGIFImage back;
            const Bytes written = Save(gif);
            ASSERT_EQ(Load(back, written), "");
            const RawGif a = FromOurs(gif), b = FromOurs(back);
            ASSERT_EQ(a.frames.size(), b.frames.size());
            for (std::size_t i = 0; i < a.frames.size(); ++i) EXPECT_EQ(a.frames[i].indices, b.frames[i].indices);
            // Nothing drifts on a second pass, extensions included (a file
            // whose frames were all empty keeps none to write).
            if (!back.Empty()) {
                EXPECT_EQ(Save(back), written);
            }
        }
        ++seen;
    }
    std::size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(VELTO_SOURCE_DIR) / "fuzz/seeds/gif"))
        files += e.is_regular_file();
    EXPECT_EQ(files, seen) << "every seed has its row";
}

}  // namespace
