// The update engine's tree: insertion order, the add/replace/delete decision
// table with its pruning, parked data, and the layout of the rebuilt section.
#include <gtest/gtest.h>

#include <functional>

#include "EditSupport.h"
#include "resources/PeModule.h"

using namespace velto;
using namespace restest;

namespace {

const ResName kType = ResName::FromId(5);
ResName Id(std::uint32_t n) { return ResName::FromId(n); }
ResName Str(const char* s) { return ResName::FromString(Utf8ToUtf16(s)); }

// The tree of a file as "type/name/lang=size" lines in directory order.
std::string Listing(const Bytes& file) {
    PeModule m;
    if (!m.LoadFromMemory(file)) return "unloadable " + std::to_string(m.Error());
    std::string out;
    for (const ResName& t : m.ResourceTypes())
        for (const ResName& n : m.ResourceNames(t))
            for (const std::uint32_t l : m.ResourceLanguages(t, n))
                out += ResNameText(t) + "/" + ResNameText(n) + "/" + std::to_string(l) + "=" +
                       std::to_string(m.FindResource(t, n, l)->size()) + " ";
    return out;
}

bool Put(TResourceUpdateHandle* h, const ResName& type, const ResName& name, std::uint16_t lang, std::size_t size,
         std::uint8_t fill = 0xAB) {
    const Bytes data(size + 1, fill);  // never a null pointer: that would delete
    return UpdateResourceEntry(h, type, name, lang, data.data(), static_cast<std::uint32_t>(size));
}
bool Del(TResourceUpdateHandle* h, const ResName& type, const ResName& name, std::uint16_t lang) {
    return UpdateResourceEntry(h, type, name, lang, nullptr, 0);
}

}  // namespace

TEST(ResourceEngine, NamesSortBeforeIdsAndLanguagesAscend) {
    const Bytes out = Edit(BuildPe({}), [](TResourceUpdateHandle* h) {
        Put(h, kType, Str("b"), 0, 1);
        Put(h, kType, Id(7), 0, 2);
        Put(h, kType, Str("a"), 0, 3);
        Put(h, kType, Id(3), 0, 4);
        Put(h, kType, Id(3), 1033, 5);
        Put(h, kType, Id(3), 7, 6);
        Put(h, Str("ZZ"), Id(1), 0, 7);
        // Code-unit order also for a name beyond ASCII: U+00E9 sorts after "z".
        Put(h, kType, Str("\xC3\xA9"), 0, 8);
        Put(h, kType, Str("z"), 0, 9);
    });
    EXPECT_EQ(Listing(out), "ZZ/#1/0=7 #5/a/0=3 #5/b/0=1 #5/z/0=9 #5/\xC3\xA9/0=8 #5/#3/0=4 #5/#3/7=6 #5/#3/1033=5 #5/#7/0=2 ");
}

TEST(ResourceEngine, DecisionTable) {
    // The starting tree: type 5 with name 1 (languages 0 and 1033) and name 2
    // (language 1033), type 6 with name 1 (language 0).
    const Bytes base = Edit(BuildPe({}), [](TResourceUpdateHandle* h) {
        Put(h, kType, Id(1), 0, 1);
        Put(h, kType, Id(1), 1033, 2);
        Put(h, kType, Id(2), 1033, 3);
        Put(h, Id(6), Id(1), 0, 4);
    });
    ASSERT_EQ(Listing(base), "#5/#1/0=1 #5/#1/1033=2 #5/#2/1033=3 #6/#1/0=4 ");
    const struct {
        const char* name;
        std::function<bool(TResourceUpdateHandle*)> edit;
        const char* expect;
    } rows[] = {
        {"replace a leaf", [](auto h) { return Put(h, kType, Id(1), 1033, 9); },
         "#5/#1/0=1 #5/#1/1033=9 #5/#2/1033=3 #6/#1/0=4 "},
        {"delete one of two languages keeps the name", [](auto h) { return Del(h, kType, Id(1), 1033); },
         "#5/#1/0=1 #5/#2/1033=3 #6/#1/0=4 "},
        {"delete the only language of the only name removes the type", [](auto h) { return Del(h, Id(6), Id(1), 0); },
         "#5/#1/0=1 #5/#1/1033=2 #5/#2/1033=3 "},
        {"add a language", [](auto h) { return Put(h, kType, Id(2), 7, 5); },
         "#5/#1/0=1 #5/#1/1033=2 #5/#2/7=5 #5/#2/1033=3 #6/#1/0=4 "},
        {"missing language, neutral: the whole name goes", [](auto h) { return Del(h, kType, Id(2), 0); },
         "#5/#1/0=1 #5/#1/1033=2 #6/#1/0=4 "},
        {"missing language, not neutral: nothing", [](auto h) { return Del(h, kType, Id(2), 7); },
         "#5/#1/0=1 #5/#1/1033=2 #5/#2/1033=3 #6/#1/0=4 "},
        {"new name", [](auto h) { return Put(h, kType, Str("N"), 0, 6); },
         "#5/N/0=6 #5/#1/0=1 #5/#1/1033=2 #5/#2/1033=3 #6/#1/0=4 "},
        {"missing name 0, neutral: the whole type goes", [](auto h) { return Del(h, kType, Id(0), 0); },
         "#6/#1/0=4 "},
        {"missing name, otherwise: nothing", [](auto h) { return Del(h, kType, Id(9), 0); },
         "#5/#1/0=1 #5/#1/1033=2 #5/#2/1033=3 #6/#1/0=4 "},
        {"new type", [](auto h) { return Put(h, Str("T"), Id(1), 0, 2); },
         "T/#1/0=2 #5/#1/0=1 #5/#1/1033=2 #5/#2/1033=3 #6/#1/0=4 "},
        {"missing type, no data: nothing", [](auto h) { return Del(h, Id(99), Id(0), 0); },
         "#5/#1/0=1 #5/#1/1033=2 #5/#2/1033=3 #6/#1/0=4 "},
        {"an empty entry is stored", [](auto h) { return Put(h, kType, Id(4), 0, 0); },
         "#5/#1/0=1 #5/#1/1033=2 #5/#2/1033=3 #5/#4/0=0 #6/#1/0=4 "},
        {"replacing twice keeps the second", [](auto h) { return Put(h, Id(6), Id(1), 0, 11) && Put(h, Id(6), Id(1), 0, 12); },
         "#5/#1/0=1 #5/#1/1033=2 #5/#2/1033=3 #6/#1/0=12 "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        bool result = false;
        const Bytes out = Edit(base, [&](TResourceUpdateHandle* h) { result = row.edit(h); });
        EXPECT_TRUE(result);
        EXPECT_EQ(Listing(out), row.expect);
    }
}

TEST(ResourceEngine, DeleteExistingStartsEmptyAndBadCallsFail) {
    const Bytes base = Edit(BuildPe({}), [](TResourceUpdateHandle* h) { Put(h, kType, Id(1), 0, 1); });
    EXPECT_EQ(Listing(Edit(base, [](TResourceUpdateHandle* h) { Put(h, kType, Id(2), 0, 3); }, true)), "#5/#2/0=3 ");
    EXPECT_EQ(Listing(Edit(base, [](TResourceUpdateHandle*) {}, true)), "");

    // A null handle is refused, not reported as done; so is an empty string name.
    EXPECT_FALSE(UpdateResourceEntry(nullptr, kType, Id(1), 0, "x", 1));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    EXPECT_FALSE(EndUpdateResourceFile(nullptr, false));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    const std::uint8_t* data = reinterpret_cast<const std::uint8_t*>(1);
    std::uint32_t size = 1;
    EXPECT_FALSE(GetResourceEntry(nullptr, kType, Id(1), 0, data, size));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0u);
    TResourceUpdateHandle* h = BeginUpdateResourceMemory(base, false);
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(UpdateResourceEntry(h, kType, ResName::FromString(u""), 0, "x", 1));
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
    // Data read from the file is served; data given in this update is not.
    ASSERT_TRUE(GetResourceEntry(h, kType, Id(1), 0, data, size));
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(data[0], 0xAB);
    Put(h, kType, Id(1), 0, 2);
    ASSERT_TRUE(GetResourceEntry(h, kType, Id(1), 0, data, size));
    EXPECT_EQ(data, nullptr);
    EXPECT_FALSE(GetResourceEntry(h, kType, Id(1), 1, data, size));
    EXPECT_TRUE(EndUpdateResourceFile(h, true));
}

TEST(ResourceEngine, IconGroupDeletion) {
    // Group 1 lists icons 1 and 2, group 2 lists icon 2; icon 1 also exists in language 7.
    auto group = [](std::vector<std::uint16_t> ids) {
        Bytes g(6 + 14 * ids.size(), 0);
        Put16(g, 2, 1);
        Put16(g, 4, static_cast<std::uint16_t>(ids.size()));
        for (std::size_t i = 0; i < ids.size(); ++i) Put16(g, 6 + 14 * i + 12, ids[i]);
        return g;
    };
    const Bytes base = Edit(BuildPe({}), [&](TResourceUpdateHandle* h) {
        const Bytes g1 = group({1, 2}), g2 = group({2});
        UpdateResourceEntry(h, Id(RT_GROUP_ICON), Id(1), 0, g1.data(), static_cast<std::uint32_t>(g1.size()));
        UpdateResourceEntry(h, Id(RT_GROUP_ICON), Id(2), 0, g2.data(), static_cast<std::uint32_t>(g2.size()));
        Put(h, Id(RT_ICON), Id(1), 0, 4);
        Put(h, Id(RT_ICON), Id(1), 7, 5);
        Put(h, Id(RT_ICON), Id(2), 0, 6);
    });
    ASSERT_EQ(Listing(base), "#3/#1/0=4 #3/#1/7=5 #3/#2/0=6 #14/#1/0=34 #14/#2/0=20 ");
    bool missing = false, deleted = false;
    const Bytes out = Edit(base, [&](TResourceUpdateHandle* h) {
        missing = DeleteIconGroupResource(h, Id(9), 0);
        deleted = DeleteIconGroupResource(h, Id(1), 0);
    });
    EXPECT_TRUE(missing);
    EXPECT_TRUE(deleted);
    // Icon 1 goes in its language only; icon 2 stays, group 2 still lists it.
    EXPECT_EQ(Listing(out), "#3/#1/7=5 #3/#2/0=6 #14/#2/0=20 ");
}

TEST(ResourceEngine, SectionLayoutReservesNameRoomAndAlignsData) {
    // Two named and three id children under one type: 6 spare name bytes.
    auto root = NewDirectory();
    TResourceNode* type = AddDirectoryChild(*root, kType);
    for (const ResName& n : {Str("ab"), Str("c"), Id(1), Id(2), Id(3)}) {
        TResourceNode* leaf = AddLanguageLeaf(*AddDirectoryChild(*type, n), 0);
        leaf->NewData = {1, 2, 3};
        leaf->Size = 3;
    }
    const TResourceMeasure m = MeasureResourceTree(*root);
    EXPECT_EQ(m.D, 16 + 8 + 16 + 5 * 8 + 5 * (16 + 8 + 16));
    EXPECT_EQ(m.N, (2 + 4) + (2 + 2) + 3 * 2);
    EXPECT_EQ(m.A, 5 * 4);
    const std::optional<TResourceLayout> written = WriteResourceTree(*root, 0x3000);
    ASSERT_TRUE(written);
    const TResourceLayout& layout = *written;
    ASSERT_EQ(layout.Head.size(), AlignUp(m.D + m.N, 4));
    ASSERT_EQ(layout.Leaves.size(), 5u);
    // The first leaf's data entry: the data area starts right after the names.
    const std::size_t firstLeaf = 16 + 8 + 16 + 5 * 8 + 16 + 8;
    EXPECT_EQ(Get32(layout.Head, firstLeaf), 0x3000 + layout.Head.size());
    // The next leaf follows its name directory; its data 4 bytes on.
    EXPECT_EQ(Get32(layout.Head, firstLeaf + 16 + 24), 0x3000 + layout.Head.size() + 4);
}

TEST(ResourceEngine, LargeDataIsParkedAndRemoved) {
    TempDir dir;
    const std::string lib = dir.File("lib.dll");
    WriteFile(lib, BuildPe({}));
    const Bytes before = ReadFile(lib);
    for (const bool discard : {true, false}) {
        SCOPED_TRACE(discard ? "discarded" : "committed");
        TResourceUpdateHandle* h = BeginUpdateResourceFile(lib, false);
        ASSERT_NE(h, nullptr);
        ASSERT_TRUE(Put(h, kType, Id(1), 0, kParkThreshold, 1));
        EXPECT_TRUE(ParkFiles().empty());
        ASSERT_TRUE(Put(h, kType, Id(2), 0, kParkThreshold + 1, 2));
        const auto parked = ParkFiles();
        ASSERT_EQ(parked.size(), 1u);
        const std::string name = parked[0].substr(parked[0].find_last_of('/') + 1);
        EXPECT_EQ(name.rfind("$rsx$res$", 0), 0u) << name;
        EXPECT_EQ(name.back(), '$');
        struct stat st {};
        ASSERT_EQ(::stat(parked[0].c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        // Replacing the parked leaf with small data drops its file.
        ASSERT_TRUE(Put(h, kType, Id(3), 0, kParkThreshold + 5, 3));
        ASSERT_TRUE(Put(h, kType, Id(3), 0, 10, 3));
        EXPECT_EQ(ParkFiles().size(), 1u);
        EXPECT_TRUE(EndUpdateResourceFile(h, discard));
        EXPECT_TRUE(ParkFiles().empty());
    }
    PeModule m;
    ASSERT_TRUE(m.Load(lib));
    const auto big = m.FindResource(kType, Id(2), 0);
    ASSERT_TRUE(big);
    EXPECT_EQ(Bytes(big->begin(), big->end()), Bytes(kParkThreshold + 1, 2));
}

TEST(ResourceEngine, ParkNameTakenBySomeoneElseMovesOn) {
    // A file (or a planted link) under the name the engine would use is never
    // opened: the engine takes the next free name.
    TempDir dir;
    const std::string lib = dir.File("lib.dll");
    WriteFile(lib, BuildPe({}));
    TResourceUpdateHandle* h = BeginUpdateResourceFile(lib, false);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(Put(h, kType, Id(1), 0, kParkThreshold + 1, 1));
    const std::string first = ParkFiles().at(0);
    ASSERT_TRUE(Del(h, kType, Id(1), 0));
    ASSERT_EQ(::symlink(dir.File("victim").c_str(), first.c_str()), 0);
    ASSERT_TRUE(Put(h, kType, Id(1), 0, kParkThreshold + 1, 1));
    EXPECT_FALSE(std::filesystem::exists(dir.File("victim")));
    EXPECT_TRUE(EndUpdateResourceFile(h, false));
    ::unlink(first.c_str());
    EXPECT_TRUE(ParkFiles().empty());
}

TEST(ResourceEngine, DataThatCannotBeParkedFailsAndIsNeverWrittenAsZeros) {
    TempDir dir;
    const std::string lib = dir.File("lib.dll");
    WriteFile(lib, BuildPe({}));
    const Bytes before = ReadFile(lib);
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    ::setenv("TMPDIR", dir.File("no-such-folder").c_str(), 1);
    TResourceUpdateHandle* h = BeginUpdateResourceFile(lib, false);
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(Put(h, kType, Id(1), 0, kParkThreshold + 1));
    EXPECT_EQ(GetLastError(), kErrorWriteFault);
    EXPECT_TRUE(Put(h, kType, Id(2), 0, 10));
    EXPECT_FALSE(EndUpdateResourceFile(h, false));
    if (old) ::setenv("TMPDIR", saved.c_str(), 1);
    else ::unsetenv("TMPDIR");
    EXPECT_EQ(ReadFile(lib), before);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"lib.dll"});
}

TEST(ResourceEngine, TextRoutines) {
    const struct {
        const char* name;
        std::uint64_t value;
        int digits;
        const char* expect;
    } hex[] = {{"zero", 0, 0, "$0"}, {"padded", 26, 8, "$0000001a"}, {"wider than asked", 0x123456789, 4, "$123456789"}};
    for (const auto& row : hex) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(IntToHexEx(row.value, row.digits, '0'), row.expect);
    }
    EXPECT_LT(CompareStr("abc", "abd"), 0);
    EXPECT_LT(CompareStr("ab", "abc"), 0);
    EXPECT_GT(CompareStr("\xE9", "z"), 0);  // bytes compare unsigned
    EXPECT_EQ(CompareStr(u"same", u"same"), 0);
    const std::string name = GetResTempFileName(0xbeef);
    EXPECT_EQ(name.substr(name.find_last_of('/') + 1),
              "$rsx$res" + IntToHexEx(static_cast<std::uint64_t>(::getpid()), 8, '0') + "$beef$");
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("A\xC3\xA9\xF0\x9F\x98\x80")), "A\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, static_cast<char16_t>(0xD800))), "\xEF\xBF\xBD");
}
