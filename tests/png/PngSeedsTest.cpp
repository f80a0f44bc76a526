// The crafted files the PNG fuzz target starts from, each a named regression
// case: hostile ones are refused with their error or read to the size they
// declare, and what was read writes and reads back alike.
#include <gtest/gtest.h>

#include <filesystem>

#include "PngTestUtil.h"
#include "platform/FileIO.h"

using namespace velto;
using namespace pngtest;

namespace {

Bytes Seed(const char* name) {
    Bytes b;
    EXPECT_TRUE(ReadWholeFile((std::filesystem::path(VELTO_SOURCE_DIR) / "fuzz/seeds/png" / name).string(), b)) << name;
    return b;
}

}  // namespace

TEST(PngSeeds, CraftedFilesKeepTheirOutcome) {
    const std::string zlib = std::string(EPNGZLIBErrorText) + "\n Description: ";
    const struct {
        const char* file;
        std::uint32_t chunks;  // the chunk limit the fuzz target reads with, or 0 for the default
        std::string outcome;   // "W x H" when read, else the error text
    } rows[] = {
        {"fdict.png", 0, zlib + "need dictionary (2)"},  // a dictionary request must not wait for input forever
        {"junk-after-zlib.png", 0, "4 x 3"},
        {"missing-idat-part.png", 0, "8 x 8"},
        {"palette2-interlaced.png", 0, "7 x 5"},
        {"rgba16-split.png", 0, "3 x 2"},
        {"text-no-separator.png", 0, "1 x 1"},
        {"trns-short.png", 0, "2 x 1"},
        {"many-chunks.png", 256, EPNGOutMemoryText},
        {"many-chunks.png", 0, "2 x 2"},
        {"palette-soft-shadow.png", 0, "16 x 16"},
        {"palette2-partial-trns.png", 0, "5 x 3"},
        {"rgb16-key-gamma.png", 0, "3 x 1"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file);
        TPNGObject png;
        if (r.chunks) png.Limits.chunks = r.chunks;
        std::string outcome;
        bool loaded = false;
        try {
            Load(png, Seed(r.file));
            outcome = std::to_string(png.Width()) + " x " + std::to_string(png.Height());
            loaded = true;
        } catch (const EPngError& e) {
            outcome = e.what();
        }
        EXPECT_EQ(outcome, r.outcome);
        // Palettes and colours pass the gamma tables both ways, which need not be exact inverses.
        if (!loaded || png.GammaTable[200] != 200) continue;
        TPNGObject back;
        Load(back, Save(png));
        EXPECT_EQ(DescribeMismatch(ToRgba(back), ToRgba(png)), "");
    }
}
