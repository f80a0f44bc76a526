// The image checksum against the word-by-word definition, and every fuzz
// seed as a named case of the module reader and the update engine.
#include <gtest/gtest.h>

#include <random>

#include "PeTestImage.h"
#include "resources/PeModule.h"

using namespace velto;
using namespace restest;

namespace {

// The definition: 16-bit words added one by one, folded whenever the sum
// passes 0xFFFF; an odd last byte added alone; the length added at the end.
std::uint32_t ReferenceChecksum(const Bytes& f) {
    std::uint32_t s = 0;
    for (std::size_t i = 0; i + 1 < f.size(); i += 2) {
        s += static_cast<std::uint32_t>(f[i] | f[i + 1] << 8);
        if (s > 0xFFFF) s = (s & 0xFFFF) + (s >> 16);
    }
    if (f.size() % 2) {
        s += f.back();
        if (s > 0xFFFF) s = (s & 0xFFFF) + (s >> 16);
    }
    return static_cast<std::uint32_t>(f.size()) + (((s & 0xFFFF) + (s >> 16)) & 0xFFFF);
}

}  // namespace

TEST(PeChecksum, MatchesTheWordByWordSumInAnyPieces) {
    std::mt19937 rng(7);
    auto random = [&](std::size_t n) {
        Bytes b(n);
        for (auto& x : b) x = static_cast<std::uint8_t>(rng());
        return b;
    };
    const struct {
        const char* name;
        Bytes data;
    } rows[] = {
        {"empty", {}},
        {"one byte", {0x80}},
        {"all zero", Bytes(1000, 0)},
        {"all 0xFF: sums that fold to 0xFFFF", Bytes(1 << 18, 0xFF)},
        {"0xFF, odd length", Bytes((1 << 18) + 1, 0xFF)},
        {"random, odd length", random(100001)},
        {"random, past a lane block", random(65536 * 8 * 2 + 10)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::uint32_t expect = ReferenceChecksum(row.data);
        PeChecksum whole;
        whole.Update(row.data);
        EXPECT_EQ(whole.Finish(), expect);
        // Pieces of odd sizes split words between calls.
        PeChecksum pieces;
        for (std::size_t at = 0, n = 1; at < row.data.size(); at += n, n = n * 3 + 1)
            pieces.Update(std::span(row.data).subspan(at, std::min(n, row.data.size() - at)));
        EXPECT_EQ(pieces.Finish(), expect);
    }
    // The field itself counts as 0.
    Bytes image = BuildPe({});
    Put32(image, 0x80 + 24 + 64, 0xDEADBEEF);
    ASSERT_TRUE(UpdatePeChecksum(image));
    Bytes zeroed = image;
    Put32(zeroed, 0x80 + 24 + 64, 0);
    EXPECT_EQ(Get32(image, 0x80 + 24 + 64), ReferenceChecksum(zeroed));
    Bytes notPe(100, 0);
    EXPECT_FALSE(UpdatePeChecksum(notPe));
}

TEST(FuzzSeeds, EachSeedReadsAndUpdatesAsExpected) {
    const std::string folder = std::string(VELTO_SOURCE_DIR) + "/fuzz/seeds/pe/";
    const struct {
        const char* file;
        bool loads;
        std::size_t cursorGroups;
        bool updates;
    } rows[] = {
        {"crafted-pe32-debug-symbols-certificate.dll", true, 0, true},
        {"crafted-pe32plus-empty-root.dll", true, 0, true},
        {"crafted-tree-loop.dll", false, 0, false},
        // A directory inside the resources' last page, past their end: the
        // rewrite could fill that page, so no update begins.
        {"crash-directory-in-resource-page.dll", true, 35, false},
        // A symbol table "past the end" of the file: moved with the tail, it
        // would have wrapped into the new resources.
        {"crash-symbol-table-past-the-end.dll", true, 35, false},
        {"gnu-pe32plus-symbols-reloc.dll", true, 3, true},
        {"lld-pe32-cursors.dll", true, 3, true},
        {"lld-pe32plus-cursors.dll", true, 3, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        const Bytes seed = ReadFile(folder + row.file);
        ASSERT_FALSE(seed.empty());
        PeModule m;
        ASSERT_EQ(m.LoadFromMemory(seed), row.loads);
        if (!row.loads) {
            EXPECT_EQ(m.Error(), kErrorInvalidData);
            EXPECT_EQ(BeginUpdateResourceMemory(seed, false), nullptr);
            continue;
        }
        std::size_t groups = 0;
        for (const ResName& n : m.ResourceNames(ResName::FromId(RT_GROUP_CURSOR)))
            groups += m.ResourceLanguages(ResName::FromId(RT_GROUP_CURSOR), n).size();
        EXPECT_EQ(groups, row.cursorGroups);
        TResourceUpdateHandle* h = BeginUpdateResourceMemory(seed, false);
        if (!row.updates) {
            EXPECT_EQ(h, nullptr);
            EXPECT_EQ(GetLastError(), kErrorInvalidData);
            if (h) EndUpdateResourceFile(h, true);
            continue;
        }
        ASSERT_NE(h, nullptr) << GetLastError();
        ASSERT_TRUE(UpdateResourceEntry(h, ResName::FromId(RT_CURSOR), ResName::FromString(u"SEED"), 0, "data", 4));
        Bytes out;
        ASSERT_TRUE(CommitResourceUpdateToMemory(h, out)) << GetLastError();
        PeModule again;
        ASSERT_TRUE(again.LoadFromMemory(out));
        EXPECT_EQ(again.FindResource(ResName::FromId(RT_CURSOR), ResName::FromString(u"SEED"), 0)->size(), 4u);
    }
}
