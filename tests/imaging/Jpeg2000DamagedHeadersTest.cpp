// JPEG 2000 headers that no walk over them may follow for ever: tile parts
// whose length is shorter than their own header or points back onto it, and
// size markers of billions of tiles with no component. Each road that reads
// them (the cost, the header, the load, the data's end) ends at once; a
// damaged file is refused as damaged, not as too large. The roads run in a
// child process that the system ends after 20 s of processor time.
#include <gtest/gtest.h>

#include "ChildCost.h"
#include "CostlyFiles.h"
#include "Sanitizer.h"
#include "imaging/Classes.h"
#include "imaging/FormatJpeg2000.h"

namespace velto {
namespace {

using namespace test::costly;

// 64 x 64, one component, one tile part: the SOT segment (12 bytes), a tile
// COD (14 bytes) when asked, SOD, and a packet for every resolution (or none).
Bytes OneTilePart(bool tileCod, bool packets = true) {
    J2kStream s;
    s.tileHeaders = {tileCod ? J2kCod(J2kStyle{}) : Bytes{}};
    s.emptyPackets = packets;
    return J2kCodeStream(s);
}

struct DamagedRow {
    const char* name;
    Bytes stream;
};

std::vector<DamagedRow> DamagedStreams() {
    const Bytes bare = OneTilePart(false), withCod = OneTilePart(true);
    std::vector<DamagedRow> rows = {
        {"a tile part of 12 bytes ending on its own SOD", J2kWithSot(bare, 10, 12)},
        {"a tile part ending inside its SOD", J2kWithSot(withCod, 10, 27)},
        {"a tile part ending inside its COD", J2kWithSot(withCod, 10, 19)},
        {"a tile part shorter than its SOT segment", J2kWithSot(withCod, 10, 5)},
        {"an SOT segment shorter than its fields", J2kWithSot(withCod, 4, 28)},
    };
    // Size markers of 2^32 and (2^32 - 1)^2 one-pixel tiles of no component.
    for (const std::uint32_t side : {65536u, 0xFFFFFFFFu}) {
        J2kStream none;
        none.width = none.height = side;
        none.tileWidth = none.tileHeight = 1;
        none.components = 0;
        rows.push_back({side == 65536 ? "2^32 tiles of no component" : "(2^32 - 1)^2 tiles of no component",
                        J2kCodeStream(none)});
    }
    return rows;
}

TEST(Jpeg2000DamagedHeaders, EveryRoadEndsAtOnceAndRefusesThemAsDamaged) {
    // The sound streams load; a tile part of exactly its SOT segment followed
    // by the next marker (an empty one) is no damage either.
    for (const bool tileCod : {false, true}) {
        const Bytes sound = OneTilePart(tileCod);
        EXPECT_FALSE(Jpeg2000Cost(sound, false).Damaged);
        TMemoryStream stream(sound);
        TSingleImage image;
        EXPECT_NO_THROW(image.LoadFromStream(stream));
        EXPECT_EQ(image.Width(), 64);
    }
    Bytes empty = OneTilePart(false, false);
    empty.erase(empty.end() - 4, empty.end() - 2);  // the SOD
    EXPECT_FALSE(Jpeg2000Cost(J2kWithSot(empty, 10, 12), false).Damaged);

    for (const DamagedRow& row : DamagedStreams()) {
        for (const bool jp2 : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (jp2 ? " in a JP2 file" : ""));
            const Bytes file = jp2 ? J2kInJp2(row.stream) : row.stream;
            const test::ChildCost cost = test::RunInChild([&] {
                test::LimitProcessorSeconds(20);
                TJpeg2000Header header;
                if (!Jpeg2000Cost(file, jp2).Damaged || ReadJpeg2000Header(file, header)) return 1;
                if (Jpeg2000DataEnd(file, jp2) > file.size()) return 2;
                try {
                    TMemoryStream stream(file);
                    TSingleImage image;
                    image.LoadFromStream(stream);
                    return 3;
                } catch (const EImagingError& e) {
                    return e.FileStatus() == FileError::None ? 0 : 4;
                }
            });
            ASSERT_TRUE(cost.exited) << "ended by the system after 20 s of processor time";
            EXPECT_EQ(cost.exitCode, 0) << "1: not damaged, 2: ends past the data, 3: loaded, 4: refused as too large";
            if (!test::kUnderSanitizer) {
                EXPECT_LT(cost.cpuSeconds, 0.5);
            }
        }
    }
}

}  // namespace
}  // namespace velto
